// The result files of the orbit-determination view: the residual block of
// the report files, the one-line element layouts, the proposed file names,
// the solution file written and read back (bit for bit, refusals that leave
// the live solution alone), the report files in code page 932, and 2015 AB
// solved, saved and restored in a fresh view.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "astro/time_scales.h"
#include "data/element_file.h"
#include "data/element_record.h"
#include "determination/element_text.h"
#include "determination/obs_loading.h"
#include "determination/residual_report.h"
#include "determination/result_files.h"
#include "determination/solution_file.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/text_util.h"
#include "tests/determination/determination_test_support.h"

namespace {

constexpr double kArcsec = M_PI / 180.0 / 3600.0;
constexpr double kDegR = M_PI / 180.0;

// count observations on 2015 Jan 1 + i days at 0.25 UTC, all used, "568".
void GiveObservations(CDeterminationDisplay& view, int count) {
  DetClass& det = *view.m_pDetClass;
  std::free(det.m_pOrbObs);
  det.m_pOrbObs = static_cast<ObservationRecord*>(std::calloc(count + 1, sizeof(ObservationRecord)));
  for (int i = 0; i < count; ++i) {
    ObservationRecord& o = det.m_pOrbObs[i];
    o.m_dJdUtc = CalendarToJd(2015, 1, 1.25 + i);
    o.m_dJdTt = o.m_dJdUtc + 0.0008;
    std::strcpy(o.m_szStation, "568");
    o.m_chQuality = ' ';
    o.m_dWeight = 1.0;
  }
  det.m_pOrbObs[count].m_dJdUtc = -1.0;
  det.m_nObsCount = count;
}

ObservationRecord Obs(double raArcsec, double decArcsec, int rejected, int unknown = 0) {
  ObservationRecord o{};
  o.m_dResRa = raArcsec * kArcsec;
  o.m_dResDec = decArcsec * kArcsec;
  o.m_bRejected = static_cast<unsigned char>(rejected);
  o.m_nUnknownStation = unknown;
  return o;
}

TEST(ResidualCells, UsedRejectedLargeAndUnknown) {
  struct Case {
    ObservationRecord obs;
    const char* ra;
    const char* dec;
  };
  const Case cases[] = {
      {Obs(1.23, -0.56, 0), "  1.2+ ", " 0.6- "},
      {Obs(0.0, 0.0, 0), "  0.0  ", " 0.0  "},
      {Obs(-0.04, 0.04, 0), "  0.0  ", " 0.0  "},  // prints as 0.0: no sign
      {Obs(12.34, -3.0, 1), "(12.3+ ", " 3.0-)"},
      {Obs(1.5, 2.0, 1), " (1.5+ ", " 2.0+)"},
      {Obs(0.0, 0.0, 1), " (0.0+ ", " 0.0+)"},
      {Obs(99.949, 1.0, 0), " 99.9+ ", " 1.0+ "},
      // 99.95" in either coordinate: both in degrees.
      {Obs(99.951, 1.0, 0), " 0.03+ ", "0.00  "},
      {Obs(1.0, -180.0, 0), " 0.00  ", "0.05- "},
      {Obs(-99.951, 1.0, 1), "(0.03- ", "0.00 )"},
      {Obs(5.0, 5.0, 1, 1), "(  .   ", "  .  )"},
  };
  for (const Case& c : cases) {
    std::string ra, dec;
    FormatResidualCells(c.obs, ra, dec);
    EXPECT_EQ(ra, c.ra) << c.obs.m_dResRa / kArcsec;
    EXPECT_EQ(dec, c.dec) << c.obs.m_dResDec / kArcsec;
  }
}

TEST(ResidualBlock, HeadingByTheDatesOfTheUsedObservations) {
  CDeterminationDisplay view(false);
  GiveObservations(view, 3);
  ObservationRecord* obs = view.m_pDetClass->m_pOrbObs;
  struct Case {
    double first, last;  // UTC calendar days of 2015 (Jan 1 = 1)
    double mean;
    const char* heading;
  };
  const Case cases[] = {
      {-0.75, 3.75, 0.456, ">From 2 observations 2014 Dec. 30-2015 Jan. 3, mean residual 0\".46."},
      {3.25, 38.5, 1.995, ">From 2 observations 2015 Jan. 3-Feb. 7, mean residual 2\".00."},
      {3.25, 17.5, 12.3449, ">From 2 observations 2015 Jan. 3-17, mean residual 12\".34."},
      {3.25, 3.75, -1.0, ">From 2 observations 2015 Jan. 3-3, mean residual 0\".00."},
  };
  for (const Case& c : cases) {
    obs[0].m_dJdUtc = CalendarToJd(2015, 1, c.first);
    obs[2].m_dJdUtc = CalendarToJd(2015, 1, c.last);
    obs[1].m_bRejected = 1;  // between them, not counted
    view.m_pEngine->m_dMeanResidual = c.mean;
    const std::string block = FormatResidualBlock(view, nullptr);
    EXPECT_EQ(block.substr(0, block.find('\n')), c.heading);
  }
  // No used observation: no dates to print.
  for (int i = 0; i < 3; ++i) obs[i].m_bRejected = 1;
  const std::string block = FormatResidualBlock(view, nullptr);
  EXPECT_EQ(block.substr(0, block.find('\n')), ">From 0 observations, mean residual 0\".00.");
}

TEST(ResidualBlock, ThreeColumnsDownThePageAndOneStation) {
  CDeterminationDisplay view(false);
  GiveObservations(view, 7);
  ObservationRecord* obs = view.m_pDetClass->m_pOrbObs;
  obs[1].m_dResRa = 1.23 * kArcsec;
  obs[1].m_dResDec = -0.56 * kArcsec;
  obs[4].m_chQuality = 'Y';
  std::strcpy(obs[4].m_szStation, "G96");
  obs[4].m_dJdUtc = CalendarToJd(2015, 1, 5.123454);
  const std::string all = FormatResidualBlock(view, nullptr);
  EXPECT_EQ(all.substr(all.find('\n') + 1),
            "150101 568  0.0   0.0    150104 568  0.0   0.0    150107 568  0.0   0.0   \n"
            "150102 568  1.2+  0.6-   150105 G96  0.0   0.0  Y\n"
            "150103 568  0.0   0.0    150106 568  0.0   0.0   \n");
  const std::string g96 = FormatResidualBlock(view, "G96");
  EXPECT_EQ(g96.substr(g96.find('\n') + 1), "2015 01 05.12345 G96  0.0   0.0  Y\n");
  EXPECT_EQ(FormatResidualBlock(view, "XXX").find('\n') + 1, FormatResidualBlock(view, "XXX").size());
  // One observation: one row of one cell, nothing read beyond the array.
  GiveObservations(view, 1);
  const std::string one = FormatResidualBlock(view, nullptr);
  EXPECT_EQ(one.substr(one.find('\n') + 1), "150101 568  0.0   0.0   \n");
}

TEST(ResidualBlock, NonGravitationalParametersFollowTheHeading) {
  CDeterminationDisplay view(false);
  GiveObservations(view, 2);
  OrbitEngine& engine = *view.m_pEngine;
  engine.m_bNonGrav = 1;
  engine.m_bNonGravA3 = 1;
  engine.m_state.m_el.m_dA1 = 1.5e-8;
  engine.m_state.m_el.m_dA2 = -2.5e-10;
  std::string block = FormatResidualBlock(view, "568");
  EXPECT_NE(block.find(", mean residual 0\".00.   Nongravitational\n"
                       "      parameters A1 = +1.5000, A2 = -0.025000, A3 = +0.000000.\n2015 01 01.25000"),
            std::string::npos)
      << block;
  engine.m_nNonGravModel = 1;
  engine.m_bNonGravA3 = 0;
  block = FormatResidualBlock(view, "568");
  EXPECT_NE(block.find("      parameters Y1 = +1.5000, Y2 = -0.025000.\n"
                       "      Sublimating molecules are CO or N2 using Yabushita's theory.\n"),
            std::string::npos)
      << block;
}

// ---- one-line elements and names ----

ElementBlock Ellipse() {
  ElementBlock el{};
  el.m_dEpoch = CalendarToJd(2025, 11, 30.5);
  el.m_dT = el.m_dEpoch - 100.0;
  el.m_dQ = 1.2;
  el.m_dE = 0.4;
  el.m_dPeri = 10.0 * kDegR;
  el.m_dNode = 200.0 * kDegR;
  el.m_dIncl = 5.5 * kDegR;
  return el;
}

TEST(OneLineElements, PackedEpochs) {
  EXPECT_EQ(PackedEpoch(2025, 11, 30), "K25BU");
  EXPECT_EQ(PackedEpoch(2024, 3, 5), "K2435");
  EXPECT_EQ(PackedEpoch(1899, 12, 31), "I99CV");
}

// The decimal points stand where the catalogue's do, so every field lines up.
void SameDecimalPoints(const std::string& ours, const std::string& theirs, size_t from, size_t to) {
  for (size_t i = from; i < to; ++i) {
    EXPECT_EQ(ours[i] == '.', theirs[i] == '.') << "column " << i + 1 << "\n" << ours << "\n" << theirs;
  }
}

TEST(OneLineElements, ReadBackByTheCatalogueReaders) {
  CDeterminationDisplay view(false);
  OrbitEngine& engine = *view.m_pEngine;
  engine.m_state.m_el = Ellipse();
  engine.m_state.m_bAsteroid = 1;
  engine.m_bPerturbations = 1;
  const double a = 1.2 / 0.6, n = 0.01720209895 / std::pow(a, 1.5) / kDegR;
  const double m = 100.0 * n;  // degrees after 100 days
  // A line of each catalogue, when the reference data are there.
  std::string mpcorb, cometEls;
  const std::string mpcorbPath = TestDataPath("catalogues/skyfield_MPCORB.excerpt.DAT");
  const std::string cometPath = TestDataPath("catalogues/skyfield_CometEls.txt");
  if (!mpcorbPath.empty() && TestDataFileExists(mpcorbPath)) {
    const std::string text = ReadTestFile(mpcorbPath);
    mpcorb = text.substr(text.find("\n00001 ") + 1, 202);
  }
  if (!cometPath.empty() && TestDataFileExists(cometPath)) cometEls = ReadTestFile(cometPath).substr(0, 160);

  for (const char* desig : {"A0345       ", "     K15A00B"}) {
    view.m_strDesignation = desig;
    const std::string line = FormatMpcOneLine(view);
    ASSERT_EQ(line.size(), 203u);
    EXPECT_EQ(line.substr(0, 7), desig[0] == ' ' ? "K15A00B" : "A0345  ");
    EXPECT_EQ(line.substr(20, 5), "K25BU");
    // Blank magnitude columns: the catalogue reader's own layout test wants
    // H and G, so the line is read as a catalogue line directly.
    ElementRecord r;
    ParseElementLine(&r, line.substr(0, 202), 2);
    if (!mpcorb.empty()) SameDecimalPoints(line, mpcorb, 20, 103);
    EXPECT_NEAR(r.m_dM, m, 6e-6);
    EXPECT_NEAR(r.m_dPeri, 10.0, 6e-6);
    EXPECT_NEAR(r.m_dNode, 200.0, 6e-6);
    EXPECT_NEAR(r.m_dIncl, 5.5, 6e-6);
    EXPECT_NEAR(r.m_dE, 0.4, 6e-8);
    EXPECT_NEAR(r.m_dA, a, 6e-8);
    EXPECT_NEAR(r.m_dEpoch, CalendarToJd(2025, 11, 30.0), 1e-9);
    EXPECT_EQ(line.substr(81, 10), FormatC("%10.8f", n));  // degrees per day
  }

  // A comet, and a minor planet beyond e = 0.97: the comet layout.
  view.m_strDesignation = "    CK20F030";
  for (int asteroid : {0, 1}) {
    engine.m_state.m_bAsteroid = asteroid;
    engine.m_state.m_el.m_dE = 0.999191;
    engine.m_state.m_el.m_dQ = 0.294707;
    const std::string line = FormatMpcOneLine(view);
    ASSERT_EQ(line.size(), 169u);
    const std::string l = line.substr(0, 168);
    ASSERT_EQ(ElementLineLayout(l), 3) << l;
    if (!cometEls.empty()) SameDecimalPoints(l, cometEls, 12, 89);
    ElementRecord r;
    ParseElementLine(&r, l, 3);
    EXPECT_NEAR(r.m_dQ, 0.294707, 6e-7);
    EXPECT_NEAR(r.m_dE, 0.999191, 6e-7);
    EXPECT_NEAR(r.m_dT, std::floor(engine.m_state.m_el.m_dT * 1e4 + 0.5) / 1e4, 1e-4);
    EXPECT_EQ(l.substr(81, 8), "20251130");
  }
}

TEST(ResultFileNames, ProposedNames) {
  CDeterminationDisplay view(false);
  OrbitEngine& engine = *view.m_pEngine;
  engine.m_state.m_el.m_dEpoch = CalendarToJd(2024, 3, 5.5);
  std::tm today{};
  today.tm_year = 124;
  today.tm_mon = 6;
  today.tm_mday = 9;
  struct Case {
    const char* packed;
    int perturbations, nonGrav, model;
    const char* name;
  };
  const Case cases[] = {
      {"K24A01B", 1, 2 - 2, 0, "K24A01B_E20240305.IMP"},
      {"K24A01B", 1, 1, 2, "K24A01B_E20240305_C1.IMP"},
      {"K24A01B", 1, 1, 0, "K24A01B_E20240305_A1.IMP"},
      {"K24A01B", 1, 1, 1, "K24A01B_E20240305_Y1.IMP"},
      {"K24A01B", 1, 1, 3, "K24A01B_E20240305_S1.IMP"},
      {" K24A01B=K24A01C ", 1, 0, 0, "K24A01B=K24A01C_E20240305.IMP"},
      {"K24A 01B", 1, 1, 2, "--NAME--_E20240305.IMP"},
      {"K24/01B", 0, 0, 0, "--NAME--_D20240709.IMP"},
      {"", 0, 0, 0, "--NAME--_D20240709.IMP"},
      {"K24A01B", 0, 1, 2, "K24A01B_D20240709.IMP"},
  };
  for (const Case& c : cases) {
    view.m_strPackNames = c.packed;
    engine.m_bPerturbations = c.perturbations;
    engine.m_bNonGrav = c.nonGrav;
    engine.m_nNonGravModel = c.model;
    EXPECT_EQ(DefaultResultFileName(view, today), c.name);
  }
}

// ---- the solution file ----

std::string Key(const std::string& text, const std::string& key) {
  const size_t at = text.find("\r\n" + key);
  if (at == std::string::npos) return {};
  return text.substr(at + 2, text.find("\r\n", at + 2) - at - 2);
}

class SolutionFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_dir = MakeTempDir("solution_file");
    OrbitEngine& engine = *m_view.m_pEngine;
    ElementBlock& el = engine.m_state.m_el;
    el = Ellipse();
    el.m_dT = 2460000.1 + 1.0 / 3.0;
    el.m_dQ = 0.1 + 0.2;
    el.m_dPeri = std::nextafter(M_PI, 4.0);
    el.m_dNode = 1e-300;
    el.m_dIncl = 2.0 / 3.0;
    el.m_dA1 = -1.234567890123e-9;
    engine.m_state.m_dStep = -0.0625;
    engine.m_state.m_bAsteroid = 1;
    engine.m_bErrValid = 1;
    engine.m_dErrT = 1.0 / 7.0;
    engine.m_dErrA3 = 3e-12;
    engine.m_dMeanResidual = 0.123456789;
    engine.m_nUsedObs = 41;
    GiveObservations(m_view, 3);
  }
  void TearDown() override { std::filesystem::remove_all(m_dir); }

  std::string m_dir;
  HeadlessUiServices m_ui;
  ScopedUi m_scopedUi{m_ui};
  CDeterminationDisplay m_view{false};
};

TEST_F(SolutionFileTest, KeysInColumn14AndDoublesBitForBit) {
  const ElementBlock& el = m_view.m_pEngine->m_state.m_el;
  const std::string text = FormatSolutionFileText(m_view, m_view.m_pEngine->m_state);
  ForEachLine(text, [](std::string_view line) {
    if (!line.empty() && line[0] != '#' && line.find('=') != std::string_view::npos) {
      EXPECT_EQ(line.find('='), 13u) << line;
    }
  });
  EXPECT_EQ(text.substr(0, text.find("\r\n")), "# Tessarune 軌道要素(再現用)");
  EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);
  EXPECT_EQ(Key(text, "Daystep"), "Daystep      = -0.0625   # 積分間隔(日)");
  EXPECT_EQ(Key(text, "Peri "), FormatC("Peri         = 3.1415926535897936   # %.10f 度", 180.0));
  EXPECT_NE(Key(text, "# a"), "");
  EXPECT_NE(Key(text, "# M"), "");

  SolutionFileRecord rec;
  ParseSolutionFileText(text, rec);
  const double pairs[][2] = {{rec.epoch, el.m_dEpoch}, {rec.T, el.m_dT},       {rec.q, el.m_dQ},
                             {rec.e, el.m_dE},         {rec.peri, el.m_dPeri}, {rec.node, el.m_dNode},
                             {rec.incl, el.m_dIncl},   {rec.A[0], el.m_dA1},   {rec.step, -0.0625},
                             {rec.errors[0], 1.0 / 7.0}, {rec.errors[11], 3e-12}};
  for (const auto& p : pairs) EXPECT_EQ(std::memcmp(&p[0], &p[1], sizeof(double)), 0) << p[0] << " " << p[1];
  EXPECT_EQ(rec.errValid, 1);
  EXPECT_EQ(rec.mpOrbit, 1);
  EXPECT_EQ(rec.flags, "...");

  // e = 0.98: a is -1 and there is no mean anomaly.
  m_view.m_pEngine->m_state.m_el.m_dE = 0.98;
  const std::string near = FormatSolutionFileText(m_view, m_view.m_pEngine->m_state);
  EXPECT_EQ(Key(near, "# a"), "# a          = -1   # AU (q/(1-e) から求まる従属量)");
  EXPECT_EQ(Key(near, "# M"), "");
}

TEST_F(SolutionFileTest, FlagsAndWeightsLines) {
  GiveObservations(m_view, 80);
  ObservationRecord* obs = m_view.m_pDetClass->m_pOrbObs;
  obs[0].m_nUnknownStation = 1;
  obs[0].m_bRejected = obs[0].m_bByHand = 1;  // the unknown station wins
  obs[1].m_bByHand = obs[1].m_bRejected = 1;
  obs[2].m_bRejected = 1;
  for (int i = 10; i < 22; ++i) obs[i].m_dWeight = 0.5 + i;
  const std::string text = FormatSolutionFileText(m_view, m_view.m_pEngine->m_state);
  EXPECT_NE(text.find("ObsCount     = 80   # 除外1 手動除外1 コード不明1\r\n"
                      "ObsFlags     = XFR" + std::string(77, '.') + "\r\nObsFlags     = \r\n"
                      "ObsWeights   = 10:10.5 11:11.5 12:12.5 13:13.5 14:14.5 15:15.5 16:16.5 17:17.5 18:18.5 19:19.5\r\n"
                      "ObsWeights   = 20:20.5 21:21.5\r\n"),
            std::string::npos)
      << text;
  SolutionFileRecord rec;
  ParseSolutionFileText(text, rec);
  EXPECT_EQ(rec.flags.size(), 80u);
}

TEST_F(SolutionFileTest, BatchFileNotesAndDropFit) {
  const std::string path = m_dir + "batch.IMP";
  ASSERT_TRUE(WriteSolutionFileForBatch(m_view, path, m_view.m_pEngine->m_state, "first\r\nsecond\n", 1));
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(path, bytes));
  EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_EQ(bytes.substr(3, 43), "# first\r\n# second\r\n# Tessarune 軌道要素");
  for (const char* gone : {"MeanResidual", "UsedObs", "ErrValid", "ErrT ", "ErrA3"})
    EXPECT_EQ(bytes.find(gone), std::string::npos) << gone;
  // The valid errors leave two empty lines in a row where they stood.
  EXPECT_NE(bytes.find("\")\r\n\r\n\r\nObsCount"), std::string::npos);
  const std::string full = SolutionFileTextForBatch(m_view, m_view.m_pEngine->m_state, "", 0);
  EXPECT_NE(full.find("MeanResidual = 0.123456789"), std::string::npos);
  EXPECT_FALSE(WriteSolutionFileForBatch(m_view, m_dir + "no/such/folder.IMP", m_view.m_pEngine->m_state, "", 0));
}

TEST_F(SolutionFileTest, ParsingRules) {
  struct Case {
    const char* text;
    int keys;
  };
  const Case cases[] = {
      {"# T = 5\r\n", 0},
      {"  # T = 5\n", 0},       // an indented "#" is an unknown key
      {"t = 5\nEPOCH = 1\n", 0},  // keys are case-sensitive
      {"no equals sign\n", 0},
      {"\xEF\xBB\xBFT = 5   # comment\r\n", 1},
      {"T=5\nT = 6\n", 2},
  };
  for (const Case& c : cases) {
    SolutionFileRecord rec;
    ParseSolutionFileText(c.text, rec);
    EXPECT_EQ(rec.keys, c.keys) << c.text;
  }
  SolutionFileRecord rec;
  ParseSolutionFileText("T=5\nT = 6  # later wins\nq = .5x\ne = abc\nObsFlags = ..\nObsFlags = R\nObsWeights = 1:2\n", rec);
  EXPECT_EQ(rec.T, 6.0);
  EXPECT_EQ(rec.q, 0.5);
  EXPECT_TRUE(rec.hasQ);
  EXPECT_FALSE(rec.hasE);  // no number: not an eccentricity of 0
  EXPECT_EQ(rec.flags, "..R");
  EXPECT_EQ(rec.weights, " 1:2");
}

// Files the loader refuses: each leaves the elements, flags and weights as they were.
TEST_F(SolutionFileTest, RefusedFilesChangeNothing) {
  OrbitEngine& engine = *m_view.m_pEngine;
  const std::string good = FormatSolutionFileText(m_view, engine.m_state);
  ObservationRecord* obs = m_view.m_pDetClass->m_pOrbObs;
  obs[1].m_bRejected = 1;
  obs[2].m_dWeight = 3.0;
  const ElementBlock before = engine.m_state.m_el;
  const int stateBefore = engine.m_nCalcState = kCalcImprovedPerturbed;

  auto write = [&](const std::string& name, const std::string& bytes) {
    EXPECT_TRUE(WriteFileAtomic(m_dir + name, bytes));
    return m_dir + name;
  };
  const std::string cut = good.substr(0, good.find("Incl "));
  struct Case {
    std::string path;
    const char* message;
  };
  const Case cases[] = {
      {m_dir + "missing.IMP", kMsgSolutionOpenFailed},
      {write("empty.IMP", ""), kMsgSolutionBadSize},
      {write("big.IMP", std::string(5 << 20, '#')), kMsgSolutionBadSize},
      {write("comments.IMP", "# only\r\n# comments\r\nUnknown = 1\r\n"), kMsgSolutionNothingKnown},
      {write("obs.IMP", ObsLine("     K15A00B", "2015 01 03.12345", "18.5", "568") + "\n"), kMsgSolutionNothingKnown},
      {write("cut.IMP", cut), "(ない値: Incl)"},
      {write("badq.IMP", good.substr(0, good.find("\r\nq ")) + "\r\nq = -1" + good.substr(good.find("\r\ne "))),
       "(正しくない値: q)"},
      {write("exact.IMP", std::string(kSolutionFileMaxBytes, '#')), kMsgSolutionNothingKnown},
  };
  for (const Case& c : cases) {
    m_ui.m_messages.clear();
    EXPECT_EQ(LoadSolutionFile(m_view, c.path), -1) << c.path;
    ASSERT_EQ(m_ui.m_messages.size(), 1u) << c.path;
    EXPECT_NE(m_ui.m_messages[0].text.find(c.message), std::string::npos) << m_ui.m_messages[0].text;
    EXPECT_EQ(std::memcmp(&engine.m_state.m_el, &before, sizeof before), 0) << c.path;
    EXPECT_EQ(engine.m_nCalcState, stateBefore);
    EXPECT_EQ(obs[1].m_bRejected, 1);
    EXPECT_EQ(obs[2].m_dWeight, 3.0);
  }
  // Without observations: -1 and no message.
  m_ui.m_messages.clear();
  CDeterminationDisplay empty(false);
  EXPECT_EQ(LoadSolutionFile(empty, write("good.IMP", "\xEF\xBB\xBF" + good)), -1);
  EXPECT_TRUE(m_ui.m_messages.empty());
}

// ---- report files ----

TEST_F(SolutionFileTest, ReportFilesInCodePage932WithCrLf) {
  OrbitEngine& engine = *m_view.m_pEngine;
  engine.m_nCalcState = kCalcImprovedPerturbed;
  engine.m_bPerturbations = 1;
  m_view.m_strObjectName = "テスト彗星 ✓";  // the check mark has no code in code page 932
  m_view.m_strElementBlockFile = "\nBLOCK\n\n";
  m_view.m_strDesignation = "     K15A00B";
  const std::string path = m_dir + "report.txt";
  ASSERT_TRUE(WriteFileAtomic(path, "old report"));
  for (int format : {kResultMpc8Line, kResultStationCheck, kResultMpc1Line}) {
    std::string error;
    ASSERT_TRUE(WriteResultFile(m_view, path, format, "568", &error)) << error;
    std::string bytes, utf8;
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    ASSERT_TRUE(Cp932ToUtf8(bytes, utf8));
    std::string expected = format == kResultMpc1Line
                               ? FormatMpcOneLine(m_view)
                               : FormatMpcElements(m_view, engine.m_state.m_el,
                                                   format == kResultMpc8Line ? kReportFileFull : kReportFileStation) +
                                     FormatResidualBlock(m_view, format == kResultMpc8Line ? nullptr : "568");
    for (size_t p = 0; (p = expected.find('\n', p)) != std::string::npos; p += 2) expected.insert(p, "\r");
    const size_t mark = expected.find("✓");
    if (mark != std::string::npos) expected.replace(mark, std::strlen("✓"), "?");
    EXPECT_EQ(utf8, expected) << format;
  }
  // A file that cannot be written: refused with the reason, the old file kept.
  const std::string folder = m_dir + "folder.txt";
  std::filesystem::create_directory(folder);
  std::string error;
  EXPECT_FALSE(WriteResultFile(m_view, folder, kResultSolution, "", &error));
  EXPECT_EQ(error.rfind(kMsgResultNotCreated, 0), 0u) << error;
  EXPECT_TRUE(FolderExists(folder));
}

// ---- 2015 AB solved, saved, and restored in a fresh view ----

class SolutionRoundTripTest : public DeterminationTest {};

TEST_F(SolutionRoundTripTest, Asteroid2015ABComesBackDigitForDigit) {
  TSR_REQUIRE_DATA(path, "obs/mpc80/orbfit_2015AB.obs");
  const std::string obsFile = File("2015AB.obs", ObservationLinesBetween(ReadTestFile(path), 1960, 2060));
  CDeterminationDisplay& view = *m_view;
  OrbitEngine& engine = *view.m_pEngine;
  view.SetItemText(kIdStepCombo, kStepAutomatic);
  OpenObsFile(view, obsFile);
  ASSERT_TRUE(PickAndDetermine(view, CalendarToJd(2015, 1, 1), CalendarToJd(2015, 2, 28)));
  ASSERT_EQ(ImproveTwoBody(view, 20), 0);
  ASSERT_EQ(ImproveToConvergence(view, 30), 0) << engine.m_strMessage;
  ASSERT_TRUE(CanSaveResults(view));
  EXPECT_NE(view.GetItemText(kIdResultEdit).find("軌道分類: アモール群(地球接近小惑星)"), std::string::npos);
  // A weight and a rejection by hand travel with the file.
  ObservationRecord* obs = view.m_pDetClass->m_pOrbObs;
  obs[3].m_dWeight = 2.5;
  obs[5].m_bRejected = obs[5].m_bByHand = 1;
  ASSERT_EQ(ImprovementStep(view, 0), 0);

  const std::string saved = s_dir + "2015AB_EX.IMP";
  std::string error;
  ASSERT_TRUE(WriteResultFile(view, saved, kResultSolution, "", &error)) << error;
  const ElementBlock el = engine.m_state.m_el;
  const double mean = engine.m_dMeanResidual;
  const int used = engine.m_nUsedObs, count = view.m_pDetClass->m_nObsCount;
  std::vector<double> residuals;
  for (int i = 0; i < count; ++i) residuals.insert(residuals.end(), {obs[i].m_dResRa, obs[i].m_dResDec});
  const std::string report = view.GetItemText(kIdResultEdit);
  m_view.reset();

  // A new view on the same observations.
  m_view = std::make_unique<CDeterminationDisplay>();
  CDeterminationDisplay& fresh = *m_view;
  fresh.SetItemText(kIdStepCombo, kStepAutomatic);
  OpenObsFile(fresh, obsFile);
  ASSERT_EQ(fresh.m_pDetClass->m_nObsCount, count);
  m_ui.m_messages.clear();
  ASSERT_EQ(LoadSolutionFile(fresh, saved), 0) << fresh.m_pEngine->m_strMessage;
  EXPECT_TRUE(m_ui.m_messages.empty());
  const OrbitEngine& back = *fresh.m_pEngine;
  const ElementBlock& el2 = back.m_state.m_el;
  const double pairs[][2] = {{el.m_dEpoch, el2.m_dEpoch}, {el.m_dT, el2.m_dT},       {el.m_dQ, el2.m_dQ},
                             {el.m_dE, el2.m_dE},         {el.m_dPeri, el2.m_dPeri}, {el.m_dNode, el2.m_dNode},
                             {el.m_dIncl, el2.m_dIncl}};
  for (const auto& p : pairs) EXPECT_EQ(std::memcmp(&p[0], &p[1], sizeof(double)), 0) << p[0] << " " << p[1];
  EXPECT_EQ(back.m_dMeanResidual, mean);
  EXPECT_EQ(back.m_nUsedObs, used);
  EXPECT_EQ(back.m_nCalcState, kCalcImprovedPerturbed);
  const ObservationRecord* obs2 = fresh.m_pDetClass->m_pOrbObs;
  EXPECT_EQ(obs2[3].m_dWeight, 2.5);
  EXPECT_TRUE(obs2[5].m_bByHand && obs2[5].m_bRejected);
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(obs2[i].m_dResRa, residuals[2 * i]) << i;
    EXPECT_EQ(obs2[i].m_dResDec, residuals[2 * i + 1]) << i;
  }
  // The report: the same but for what the covariance gives (1/a's sigma, the P line).
  auto withoutCovariance = [](const std::string& text) {
    std::string out;
    ForEachLine(text, [&](std::string_view line) {
      if (line.rfind("1/a = ", 0) != 0 && line.rfind("P = ", 0) != 0) out += std::string(line) + "\n";
    });
    return out;
  };
  EXPECT_EQ(withoutCovariance(fresh.GetItemText(kIdResultEdit)), withoutCovariance(report));
  EXPECT_NE(fresh.m_strCalcLog.find("再現用ファイルを読み込みました: 2015AB_EX.IMP"), std::string::npos);

  // The report files decode from code page 932 unchanged.
  for (int format : {kResultMpc8Line, kResultStationCheck, kResultMpc1Line}) {
    std::string bytes, utf8;
    ASSERT_TRUE(WriteResultFile(fresh, s_dir + "2015AB.txt", format, "G96", &error)) << error;
    ASSERT_TRUE(ReadWholeFile(s_dir + "2015AB.txt", bytes));
    ASSERT_TRUE(Cp932ToUtf8(bytes, utf8));
    EXPECT_EQ(utf8.find("\n"), utf8.find("\r\n") + 1);
  }
}

}  // namespace

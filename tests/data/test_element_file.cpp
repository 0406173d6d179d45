// Element-file layouts, the catalogue line parser and ReadElementFile.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/element_file.h"
#include "platform/encoding.h"
#include "tests/common/test_data.h"

namespace {

// Catalogue line of (1) Ceres, from the MPCORB.DAT excerpt in the shared data.
const char* const kCeresMpcorb =
    "00001    3.4   0.15 K205V 162.68631   73.73161   80.28698   10.58862  0.0775571  0.21406009   "
    "2.7676569  0 MPO492748  6751 115 1801-2019 0.60 M-v 30h Williams   0000      (1) Ceres              "
    "20190915";
// AllCometEls.txt lines (shared data) and lines written in the same columns
// from the MPC comet list (CometEls.json, 2022).
const char* const kHaleBopp =
    "    CJ95O010  1997 03 29.6884  0.911359  0.994936  130.5984  283.3688   88.9864  20200707  -2.0  4.0  "
    "C/1995 O1 (Hale-Bopp)                                    MPC106342";
const char* const k73P =
    "0073P         2022 08 25.7898  0.972962  0.685329  199.4891   69.6101   11.2278  20220824  11.5  6.0  "
    "73P/Schwassmann-Wachmann                                 MPEC 2022";
const char* const kOumuamua =
    "0001I         2017 09  9.4886  0.255240  1.199252  241.6845   24.5997  122.6778  20170904  23.0  2.0  "
    "1I/`Oumuamua                                             MPC107687";
// Short minor-planet lines with the catalogue's values of (1) Ceres and of
// 2020 AB (MPC orbit record, epoch MJD 59000, M from its perihelion time).
const char* const kCeresShort =
    "00001    3.4  0.15 K205V 162.686  73.732  80.287  10.589 0.07756   2.76766  MPC  ";
const char* const k2020AbShort =
    "K20A00B 26.0  0.15 K205V  75.605 157.448 284.025   4.850 0.41184   1.67713  MPC  ";
// Long one-line comet line with Halley's elements from AllCometEls.txt.
const char* const kHalleyLong =
    "1P     19860120.43210000  0.6043870000 0.9661800000 111.22680000  58.28750000 162.30350000 20200707"
    "                            X";

constexpr double kJdTol = 1e-6;     // days
constexpr double kValueTol = 1e-12; // the columns' own digits

struct LineCase {
  const char* name;
  std::string line;
  int layout;
  const char* key;
  const char* readable;
  double epoch, t, m, q, a, e, peri, node, incl, h1, h, k1, spare, g;
  int mpcorb;
};

void ExpectRecord(const LineCase& c, const ElementRecord& r) {
  EXPECT_EQ(r.m_nLayout, c.layout);
  EXPECT_EQ(r.m_szKey, c.key);
  EXPECT_EQ(r.m_szName, c.readable);
  EXPECT_NEAR(r.m_dEpoch, c.epoch, kJdTol);
  EXPECT_NEAR(r.m_dT, c.t, kJdTol);
  EXPECT_NEAR(r.m_dM, c.m, kValueTol);
  EXPECT_NEAR(r.m_dQ, c.q, kValueTol);
  EXPECT_NEAR(r.m_dA, c.a, kValueTol);
  EXPECT_NEAR(r.m_dE, c.e, kValueTol);
  EXPECT_NEAR(r.m_dPeri, c.peri, kValueTol);
  EXPECT_NEAR(r.m_dNode, c.node, kValueTol);
  EXPECT_NEAR(r.m_dIncl, c.incl, kValueTol);
  EXPECT_NEAR(r.m_dH1, c.h1, kValueTol);
  EXPECT_NEAR(r.m_dH, c.h, kValueTol);
  EXPECT_NEAR(r.m_dK1, c.k1, kValueTol);
  EXPECT_NEAR(r.m_dMagSpare, c.spare, kValueTol);
  EXPECT_NEAR(r.m_dG, c.g, kValueTol);
  EXPECT_EQ(r.m_bMpcorb, c.mpcorb);
}

std::string Blanked(std::string line, int firstCol, int lastCol) {
  for (int col = firstCol; col <= lastCol; ++col) line[col - 1] = ' ';
  return line;
}

std::string WithColumns(std::string line, int firstCol, const std::string& text) {
  if (line.size() < firstCol - 1 + text.size()) line.resize(firstCol - 1 + text.size(), ' ');
  line.replace(firstCol - 1, text.size(), text);
  return line;
}

const std::vector<LineCase>& LineCases() {
  static const std::vector<LineCase> cases = {
      {"layout 1, numbered", kCeresShort, 1, "00001    3.4", "(1)", 2459000.5, -1, 162.686, (1 - 0.07756) * 2.76766,
       2.76766, 0.07756, 73.732, 80.287, 10.589, -1, 3.4, -1, -1, 0.15, 0},
      {"layout 1, provisional designation", k2020AbShort, 1, "K20A00B 26.0", "2020 AB", 2459000.5, -1, 75.605,
       (1 - 0.41184) * 1.67713, 1.67713, 0.41184, 157.448, 284.025, 4.850, -1, 26.0, -1, -1, 0.15, 0},
      {"layout 2, catalogue line", kCeresMpcorb, 2, "00001  ", "(1) Ceres", 2459000.5, -1, 162.68631,
       (1 - 0.0775571) * 2.7676569, 2.7676569, 0.0775571, 73.73161, 80.28698, 10.58862, -1, 3.4, -1, -1, 0.15, 1},
      {"layout 3, long-period comet", kHaleBopp, 3, "    CJ95O010", "C/1995 O1 (Hale-Bopp)                     ",
       2459037.5, 2450537.1884, -1, 0.911359, -1, 0.994936, 130.5984, 283.3688, 88.9864, -2.0, -1, 10.0, 0, -1, 0},
      {"layout 3, q of 10 AU or more", WithColumns(kHaleBopp, 31, "1"), 3, "    CJ95O010",
       "C/1995 O1 (Hale-Bopp)                     ", 2459037.5, 2450537.1884, -1, 10.911359, -1, 0.994936,
       130.5984, 283.3688, 88.9864, -2.0, -1, 10.0, 0, -1, 0},
      {"layout 3, numbered periodic comet", k73P, 3, "0073P       ", "73P/Schwassmann-Wachmann                  ",
       2459815.5, 2459817.2898, -1, 0.972962, -1, 0.685329, 199.4891, 69.6101, 11.2278, 11.5, -1, 15.0, 0, -1, 0},
      {"layout 3, hyperbolic interstellar", kOumuamua, 3, "0001I       ",
       "1I/`Oumuamua                              ", 2458000.5, 2458005.9886, -1, 0.255240, -1, 1.199252,
       241.6845, 24.5997, 122.6778, 23.0, -1, 5.0, 0, -1, 0},
      {"layout 3, blank epoch columns", Blanked(kHaleBopp, 82, 89), 3, "    CJ95O010",
       "C/1995 O1 (Hale-Bopp)                     ", -1, 2450537.1884, -1, 0.911359, -1, 0.994936, 130.5984,
       283.3688, 88.9864, -2.0, -1, 10.0, 0, -1, 0},
      {"layout 3, 56-character name keeps 42", WithColumns(k73P, 103, std::string(56, 'N')), 3, "0073P       ",
       "NNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNN", 2459815.5, 2459817.2898, -1, 0.972962, -1, 0.685329,
       199.4891, 69.6101, 11.2278, 11.5, -1, 15.0, 0, -1, 0},
      {"layout 4", kHalleyLong, 4, "1P    ", "1P    ", 2459037.5, 2446450.9321, -1, 0.604387, -1, 0.966180,
       111.2268, 58.2875, 162.3035, -1, -1, -1, -1, -1, 0},
  };
  return cases;
}

TEST(ElementLines, EachLayoutGivesItsFields) {
  for (const LineCase& c : LineCases()) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(ElementLineLayout(c.line), c.layout);
    ElementRecord r;
    r.m_dT = 123.0;  // leftovers of a previous line must not survive
    r.m_szName = "old";
    ParseElementLine(&r, c.line, c.layout);
    ExpectRecord(c, r);
  }
}

TEST(ElementLines, RecognitionNeedsEveryBlankPointAndLength) {
  struct Case {
    const char* name;
    std::string line;
    int layout;
  };
  const std::string ceresShort = kCeresShort;
  const std::string comet = kHaleBopp;
  const std::string halley = kHalleyLong;
  const Case cases[] = {
      {"catalogue line with a CR LF", std::string(kCeresMpcorb) + "\r\n", 2},
      {"catalogue line of 180 characters", std::string(kCeresMpcorb).substr(0, 180), 2},
      {"catalogue line of 179 characters", std::string(kCeresMpcorb).substr(0, 179), 0},
      {"catalogue line without the point of e", WithColumns(kCeresMpcorb, 72, "5"), 0},
      {"short line of 80 characters", ceresShort.substr(0, 80), 1},
      {"short line of 79 characters", ceresShort.substr(0, 79), 0},
      {"short line with column 8 filled", WithColumns(ceresShort, 8, "X"), 0},
      {"comet line of 102 characters", comet.substr(0, 102), 3},
      {"comet line of 101 characters", comet.substr(0, 101), 0},
      {"comet line with a letter in the year's last column", WithColumns(comet, 18, "x"), 0},
      {"comet line with q of 10 AU or more", WithColumns(comet, 31, "1"), 3},
      {"comet line with a letter before q", WithColumns(comet, 31, "x"), 0},
      {"long comet line of 127 characters", halley.substr(0, 127), 4},
      {"long comet line of 126 characters", halley.substr(0, 126), 0},
      {"long comet line with column 91 filled", WithColumns(halley, 91, "1"), 0},
      {"catalogue header rule", std::string(200, '-'), 0},
      {"empty line", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ElementLineLayout(c.line), c.layout);
    EXPECT_EQ(IsMpcorbLine(c.line), c.layout == 2 ? 1 : 0);
    EXPECT_EQ(IsCometOneLine(c.line), c.layout == 3 ? 1 : 0);
  }
}

TEST(ElementLines, CatalogueNameIsCutAndTrimmed) {
  const std::string base = std::string(kCeresMpcorb).substr(0, 166);
  ElementRecord r;
  ParseMpcorbLine(&r, base);
  EXPECT_EQ(r.m_szName, "");
  ParseMpcorbLine(&r, base + "   (433) Eros");
  EXPECT_EQ(r.m_szName, "(433) Eros");
  ParseMpcorbLine(&r, base + "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123");  // 30 characters
  EXPECT_EQ(r.m_szName, "ABCDEFGHIJKLMNOPQRSTUVWXYZ01");
  EXPECT_EQ(r.m_dT, -1.0);
  EXPECT_EQ(r.m_dH1, -1.0);
  EXPECT_EQ(r.m_dK1, -1.0);
  EXPECT_EQ(r.m_dMagSpare, -1.0);
  EXPECT_EQ(r.m_bMpcorb, 1);
  EXPECT_EQ(r.m_nLayout, 2);
}

TEST(ElementLines, ShortLineNamesUnpackOnlyTheDesignationColumns) {
  struct Case {
    const char* desig;
    const char* name;
  };
  const Case cases[] = {
      {"00433  ", "(433)"},   {"A0001  ", "(100001)"}, {"~0000  ", "(620000)"},
      {"K20A00B", "2020 AB"}, {"J95X00A", "1995 XA"},  {"K07Tf8A", "2007 TA418"},
      {"PLS2040", "2040 P-L"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.desig);
    const std::string line = WithColumns(kCeresShort, 1, c.desig);
    ASSERT_EQ(ElementLineLayout(line), 1);
    ElementRecord r;
    ParseElementLine(&r, line, 1);
    EXPECT_EQ(r.m_szName, c.name);
    EXPECT_EQ(r.m_szKey, line.substr(0, 12));
  }
}

TEST(ElementLines, PackedDates) {
  struct Case {
    const char* packed;
    double jd;
  };
  const Case cases[] = {
      {"K205V", 2459000.5},  // 2020-05-31
      {"J9611", 2450083.5},  // 1996-01-01
      {"K24CA", 2460654.5},  // 2024-12-10
      {"I0011", 2378496.5},  // 1800-01-01
      {"L0011", 2488069.5},  // 2100-01-01
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.packed);
    EXPECT_NEAR(PackedDateToJd(c.packed), c.jd, kJdTol);
  }
}

// Scripted answers to the file and object questions.
class ScriptedElementUi : public ElementFileUi {
public:
  bool AskElementFilePath(std::string& path) override {
    ++m_asks;
    if (m_path.empty()) return false;
    path = m_path;
    return true;
  }
  int SelectObject(const std::vector<ElementRecord>& records, int count) override {
    m_offered.clear();
    for (int i = 0; i < count; ++i) m_offered.push_back(records[i].m_szName);
    return m_pick;
  }
  std::string m_path;
  int m_pick = -1;
  int m_asks = 0;
  std::vector<std::string> m_offered;
};

class ScopedElementUi {
public:
  explicit ScopedElementUi(ElementFileUi& ui) { SetElementFileUi(&ui); }
  ~ScopedElementUi() { SetElementFileUi(nullptr); }
};

std::string WriteFile(const std::string& name, const std::string& text) {
  const std::string path = MakeTempDir("element_file") + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

class ReadElementFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    // Every layout, CR LF and LF endings, lines of no layout between them.
    m_path = WriteFile("mixed.txt", std::string("Des'n     H     G   Epoch\r\n") + kCeresShort + "\r\n" +
                                        kCeresMpcorb + "\r\n\r\n" + kHaleBopp + "\n" + "garbage line\n" +
                                        kHalleyLong + "\n" + k2020AbShort);
  }
  std::string m_path;
  ScriptedElementUi m_ui;
};

TEST_F(ReadElementFileTest, ReadsEveryLayoutInFileOrder) {
  std::vector<ElementRecord> records;
  int count = -5;
  ASSERT_EQ(ReadElementFile(m_path, &records, &count, nullptr), 1);
  ASSERT_EQ(count, 5);
  ASSERT_EQ(records.size(), 5u);
  const int layouts[] = {1, 2, 3, 4, 1};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(records[i].m_nLayout, layouts[i]) << i;
  EXPECT_EQ(records[1].m_szName, "(1) Ceres");
  EXPECT_EQ(records[4].m_szName, "2020 AB");
}

TEST_F(ReadElementFileTest, PickStoresTheIndexOrCancelsEverything) {
  ScopedElementUi scoped(m_ui);
  std::vector<ElementRecord> records(1);
  int count = -5;
  int selected = -5;

  m_ui.m_pick = 2;
  ASSERT_EQ(ReadElementFile(m_path, &records, &count, &selected), 1);
  EXPECT_EQ(selected, 2);
  EXPECT_EQ(count, 5);
  EXPECT_EQ(m_ui.m_offered.size(), 5u);
  EXPECT_EQ(m_ui.m_offered[2], records[2].m_szName);

  for (int pick : {-1, 5}) {
    SCOPED_TRACE(pick);
    std::vector<ElementRecord> untouched(7);
    int count2 = -5;
    int selected2 = -5;
    m_ui.m_pick = pick;
    EXPECT_EQ(ReadElementFile(m_path, &untouched, &count2, &selected2), 0);
    EXPECT_EQ(untouched.size(), 7u);
    EXPECT_EQ(count2, -5);
    EXPECT_EQ(selected2, -5);
  }
}

TEST_F(ReadElementFileTest, EmptyPathAsksForTheFile) {
  ScopedElementUi scoped(m_ui);
  std::vector<ElementRecord> records;
  int count = 0;
  EXPECT_EQ(ReadElementFile("", &records, &count, nullptr), 0);  // cancelled
  EXPECT_EQ(m_ui.m_asks, 1);
  m_ui.m_path = m_path;
  EXPECT_EQ(ReadElementFile("", &records, &count, nullptr), 1);
  EXPECT_EQ(count, 5);
}

TEST(ReadElementFile, FailuresAndEmptyFiles) {
  std::vector<ElementRecord> records;
  int count = -5;
  EXPECT_EQ(ReadElementFile(MakeTempDir("element_file") + "missing.elm", &records, &count, nullptr), -1);
  EXPECT_EQ(ReadElementFile(WriteFile("none.txt", "nothing of any layout\n"), &records, &count, nullptr), 0);
  EXPECT_EQ(ReadElementFile(WriteFile("empty.txt", ""), &records, &count, nullptr), 0);
  EXPECT_EQ(count, -5);
  // Headless: no file is asked for, nothing is picked.
  EXPECT_EQ(ReadElementFile("", &records, &count, nullptr), 0);
  int selected = -5;
  EXPECT_EQ(ReadElementFile(WriteFile("one.txt", kCeresMpcorb), &records, &count, &selected), 0);
  EXPECT_EQ(selected, -5);
}

// A file is decoded as a whole, as the observation reader decodes: the mark
// of the first line is dropped, and a code page 932 name reads as written.
TEST(ReadElementFile, EveryEncodingReadsTheSameNames) {
  const std::string comet = std::string(kHaleBopp).substr(0, 102) + "ヘール・ボップ彗星";
  const std::string text = "彗星の軌道要素\r\n" + comet + "\r\n" + kCeresMpcorb + "\r\n";
  std::string cp932, utf16;
  ASSERT_TRUE(Utf8ToCp932(text, cp932));
  ASSERT_TRUE(Utf8ToUtf16Le(text, utf16, true));
  const std::pair<const char*, std::string> files[] = {
      {"utf8.txt", text}, {"bom.txt", std::string(kUtf8Bom) + kCeresMpcorb + "\n" + text},
      {"cp932.txt", cp932}, {"utf16.txt", utf16}};
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    std::vector<ElementRecord> records;
    int count = 0;
    ASSERT_EQ(ReadElementFile(WriteFile(name, bytes), &records, &count, nullptr), 1);
    ASSERT_GE(count, 2);
    EXPECT_EQ(records[count - 2].m_szName, "ヘール・ボップ彗星");
    EXPECT_EQ(records[count - 1].m_szName, "(1) Ceres");
    EXPECT_EQ(records[0].m_szKey, count == 3 ? "00001  " : "    CJ95O010");  // the line after the mark
  }
}

TEST(ReadElementFile, RealCatalogueExtracts) {
  TSR_REQUIRE_DATA(mpcorb, "catalogues/skyfield_MPCORB.excerpt.DAT");
  TSR_REQUIRE_DATA(header, "catalogues/findorb_mpcorb.hdr");
  TSR_REQUIRE_DATA(comets, "catalogues/skyfield_CometEls.txt");
  std::vector<ElementRecord> records;
  int count = 0;
  ASSERT_EQ(ReadElementFile(mpcorb, &records, &count, nullptr), 1);
  ASSERT_EQ(count, 4);
  const char* const names[] = {"(1) Ceres", "(2) Pallas", "(3) Juno", "(4) Vesta"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(records[i].m_szName, names[i]);
    EXPECT_EQ(records[i].m_bMpcorb, 1);
  }
  EXPECT_NEAR(records[3].m_dA, 2.3620141, kValueTol);
  EXPECT_EQ(ReadElementFile(header, &records, &count, nullptr), 0);
  ASSERT_EQ(ReadElementFile(comets, &records, &count, nullptr), 1);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(records[1].m_szName.substr(0, 19), "C/2020 F3 (NEOWISE)");
  EXPECT_NEAR(records[1].m_dT, 2459034.1813, kJdTol);
  EXPECT_NEAR(records[1].m_dEpoch, 2459053.5, kJdTol);
  EXPECT_NEAR(records[1].m_dK1, 13.0, kValueTol);
}

TEST(ObjectSelection, ListsNamesAndHandsBackAValidIndex) {
  std::vector<ElementRecord> records(3);
  records[0].m_szName = "(1) Ceres";
  records[1].m_szName = "2020 AB";
  records[2].m_szName = "C/1995 O1 (Hale-Bopp)";
  ObjectSelection sel(records, 3);
  ASSERT_EQ(sel.Names().size(), 3u);
  EXPECT_EQ(sel.Names()[1], "2020 AB");
  EXPECT_EQ(sel.InitialSelection(), 0);
  sel.Confirm(2);
  EXPECT_EQ(sel.Selected(), 2);
  sel.Confirm(-1);
  EXPECT_EQ(sel.Selected(), -1);
  sel.Confirm(3);
  EXPECT_EQ(sel.Selected(), -1);
  sel.Confirm(1);
  sel.Cancel();
  EXPECT_EQ(sel.Selected(), -1);
  EXPECT_EQ(ObjectSelection(records, 0).InitialSelection(), -1);
}

}  // namespace

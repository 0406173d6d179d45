// The perturbing-asteroid file generator: its refusals, the catalogue
// search, the table it integrates on the real planetary file, the file the
// start-up loader accepts, and what a cancelled or failed run leaves behind.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "astro/angle_units.h"
#include "astro/frames.h"
#include "astro/jpl_eph.h"
#include "astro/mpeph_store.h"
#include "engine/determination_host.h"
#include "engine/mpeph_generator.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/ui_services.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "tests/engine/test_integration_support.h"

namespace {

// The dialog as the generator sees it: everything recorded; the save dialog
// answers with savePath (empty: cancelled); the engine's cancel button is
// pressed at the cancelAt-th progress line.
class RecordingWindow : public MpephGeneratorWindow {
public:
  void ClearLog() override { log.clear(); }
  void AppendLog(const std::string& text) override { log.push_back(text); }
  void ShowProgress(const std::string& text) override
  {
    progress.push_back(text);
    if (cancelAt > 0 && static_cast<int>(progress.size()) == cancelAt)
      CurrentDetermination()->m_pEngine->m_nCancel = 1;
  }
  EngineWindow* MessageWindow() override { return messageWindows == 1 ? &edit : nullptr; }
  bool ChooseSaveFile(std::string& path) override
  {
    ++saveDialogs;
    path = savePath;
    return !path.empty();
  }
  void CreateMessageWindow() override { ++messageWindows; }
  void DestroyMessageWindow() override { --messageWindows; }

  std::vector<std::string> log, progress;
  std::string savePath;
  int cancelAt = 0;
  int saveDialogs = 0;
  int messageWindows = 0;
  HostControl edit;
};

std::string TempDir()
{
  return WithSlash(TempFolder());
}

// A catalogue in the data folder: the real excerpt, and the lines of (3)
// renumbered for the asteroids it lacks when complete.
std::string WriteCatalogue(const std::string& excerpt, bool complete)
{
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(excerpt, bytes));
  if (complete) {
    const size_t at = bytes.find("\n00003 ");
    EXPECT_NE(at, std::string::npos);
    const std::string juno = bytes.substr(at + 1, bytes.find('\n', at + 1) - at);
    for (const char* number : {"00007", "00324", "00010", "00015"})
      bytes += std::string(number) + juno.substr(5);
  }
  TheApp().m_szDataDir = TempDir();
  const std::string path = TheApp().m_szDataDir + "MPCORB.DAT";
  EXPECT_TRUE(WriteFileAtomic(path, bytes));
  return path;
}

struct GeneratorFixture : testing::Test {
  HeadlessUiServices ui;
  ScopedUi scope{ui};
  RecordingWindow window;
  OrbitEngine* engine = CurrentDetermination()->m_pEngine;

  void TearDown() override
  {
    GetPerturberTable().Clear();
    engine->m_nAsteroidSet = 0;
    engine->m_bBusy = 0;
  }
  std::string LastMessage() const { return ui.m_messages.empty() ? "" : ui.m_messages.back().text; }
};

std::string FileText(const std::string& path)
{
  std::string bytes;
  return ReadWholeFile(path, bytes) ? bytes : "(none)";
}

} // namespace

// The fields' refusals, and the size of the span they give.
TEST(MpephSpan, FieldsAreCheckedAndGiveTheEpochCount)
{
  const char* bad = "開始年・終了年・元期の間隔(10〜400日)を確かめてください。";
  const char* tooMany = "組数が多すぎます。間隔を広げてください。";
  const struct {
    const char *y1, *y2, *d;
    int n;  // 0: refused with text
    const char* text;
  } rows[] = {
      {"1600", "2300", "100", 2556, ""},  {"1970", "2050", "100", 292, ""},
      {"2000", "2001", "400", 0, tooMany}, {"-3000", "5000", "10", 0, tooMany},
      {"-3001", "2000", "100", 0, bad},   {"2000", "2000", "100", 0, bad},
      {"2000", "2100", "9.9", 0, bad},    {"2000", "2100", "401", 0, bad},
      {"2000x", "2100", "100", 0, bad},   {"", "2100", "100", 0, bad},
  };
  for (const auto& r : rows) {
    MpephSpan span;
    std::string text;
    const int result = ReadMpephSpan(r.y1, r.y2, r.d, span, text);
    EXPECT_EQ(result, r.n > 0 ? 0 : -1) << r.y1 << " " << r.y2 << " " << r.d;
    EXPECT_EQ(span.n, r.n) << r.y1;
    if (r.n == 0) {
      EXPECT_EQ(text, r.text) << r.y1 << " " << r.y2 << " " << r.d;
    }
  }
  MpephSpan span;
  std::string text;
  ASSERT_EQ(ReadMpephSpan("1600", "2300", "100", span, text), 0);
  EXPECT_DOUBLE_EQ(span.jd0, 2305447.5);  // 1600 January 1.0 (Gregorian)
  const std::vector<MpephRecord> records(7 * 2557);
  MpephSlot slots[7] = {};
  EXPECT_EQ(MpephFileBytes(span, slots, records.data()).size(), 1002504u);
}

// The real excerpt holds (1) to (4): the four others are named, nothing is
// asked or written; a missing catalogue is named with its path.
TEST_F(GeneratorFixture, CatalogueRefusalsNameWhatIsMissing)
{
  TSR_REQUIRE_DATA(excerpt, "catalogues/skyfield_MPCORB.excerpt.DAT");
  WriteCatalogue(excerpt, false);
  EXPECT_EQ(GenerateAsteroidEphemeris(window, "1970", "2050", "100"), kMpephRefused);
  const std::string missing =
      "MPCORB.DAT に見つからなかった天体があります: (7) Iris (324) Bamberga (10) Hygiea (15) Eunomia";
  EXPECT_EQ(LastMessage(), missing);
  ASSERT_FALSE(window.log.empty());
  EXPECT_EQ(window.log.back(), missing);
  EXPECT_EQ(window.log[0], "摂動用小惑星暦の生成  1970年〜2050年  元期の間隔 100日  293組×7天体");

  TheApp().m_szDataDir = TempDir() + "nowhere/";
  EXPECT_EQ(GenerateAsteroidEphemeris(window, "1970", "2050", "100"), kMpephRefused);
  EXPECT_EQ(LastMessage(), "MPCORB.DAT を開けません: " + TempDir() + "nowhere/MPCORB.DAT");
  EXPECT_EQ(window.saveDialogs, 0);

  // A line of the right number that is no elliptic catalogue line is passed over.
  MpephSlot slots[7];
  const std::string odd = TempDir() + "odd.dat";
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(excerpt, bytes));
  std::string ceres = bytes.substr(0, bytes.find('\n') + 1);
  std::string hyperbolic = ceres;
  hyperbolic.replace(70, 9, "1.0775571");
  ASSERT_TRUE(WriteFileAtomic(odd, hyperbolic + ceres));
  EXPECT_EQ(FindMpephAsteroids(odd, slots), 1);
  EXPECT_NEAR(slots[0].e, 0.0775571, 1e-12);
  EXPECT_DOUBLE_EQ(slots[0].epoch, 2459000.5);
}

// 1970-2050 at 100 days from the excerpt with its four missing asteroids
// made of (3): the file the loader accepts, its Ceres near the catalogue's
// elements at their epoch, and (5303) Parijskij, which passes Ceres closely,
// brought near JPL's state by it.
TEST_F(GeneratorFixture, TableFromTheCatalogueServesTheIntegrator)
{
  TSR_REQUIRE_DATA(excerpt, "catalogues/skyfield_MPCORB.excerpt.DAT");
  TSR_REQUIRE_DATA(de, "de/lnxp1960p2060.405");
  JplReaderScope reader(de);
  WriteCatalogue(excerpt, true);
  window.savePath = TempDir() + "mpeph.dat";
  engine->m_nAsteroidSet = 4;
  ASSERT_EQ(GenerateAsteroidEphemeris(window, "1970", "2050", "100"), kMpephWritten)
      << (window.log.empty() ? "" : window.log.back());
  EXPECT_EQ(engine->m_nAsteroidSet, 4);
  EXPECT_EQ(engine->m_bBusy, 0);
  EXPECT_EQ(window.messageWindows, 0);
  EXPECT_EQ(LastMessage(), "正常に作成しました。");
  EXPECT_EQ(window.log.back(), "完成: " + window.savePath + "  (115016 バイト)");
  // Ceres (epoch index 184) runs back to 0 and forward from 185 to 292.
  EXPECT_EQ(window.progress.front(), "  (1) Ceres  JD 2458987.5  (185 / 293)");

  MpephStore& store = GetPerturberTable();
  ASSERT_EQ(LoadMpephFile(store, window.savePath), 1);
  const MpephHeader& h = store.m_header;
  EXPECT_EQ(h.nAsteroids, 7);
  EXPECT_EQ(h.nEpochs, 293);
  EXPECT_DOUBLE_EQ(h.firstEpoch, 2440587.5);
  EXPECT_DOUBLE_EQ(h.step, 100.0);
  EXPECT_EQ(h.numbers[4], 324);
  EXPECT_EQ(h.numbers[7], 0);
  EXPECT_DOUBLE_EQ(h.ceresOsculationEpoch, 2459000.5);
  for (int a = 0; a < 7; ++a)
    for (int k = 0; k < 293; ++k) {
      const MpephRecord& r = store.m_records[a * 293 + k];
      ASSERT_DOUBLE_EQ(r.epoch, 2440587.5 + 100.0 * k) << a << " " << k;
      ASSERT_GT(r.q, 0.0);
    }

  // Ceres 13 days before its catalogue epoch: the position from its record
  // against the catalogue's own two-body orbit (mean anomaly 162.68631° at
  // 2020 May 31.0, n 0.21406009°/day).
  const double t = 2458987.5;
  double fromTable[3];
  ASSERT_EQ(PerturberPositionFromTable(store, t, 0, fromTable), 1);
  const double a = 2.7676569, e = 0.0775571;
  const double T = 2459000.5 - 162.68631 / 0.21406009;
  double P[3], Q[3];
  OrbitOrientationVectors(73.73161 * kRadPerDeg, 80.28698 * kRadPerDeg, 10.58862 * kRadPerDeg, P, Q);
  double M = (t - T) * 0.21406009 * kRadPerDeg, E = M;
  for (int i = 0; i < 50; ++i)
    E = M + e * std::sin(E);
  double r[3];
  for (int c = 0; c < 3; ++c)
    r[c] = a * (std::cos(E) - e) * P[c] + a * std::sqrt(1 - e * e) * std::sin(E) * Q[c];
  const double km = DistanceKm(fromTable, r);
  std::printf("Ceres 13 days before its epoch: %.1f km from the catalogue's orbit\n", km);
  EXPECT_LT(km, 800.0);  // 257 km: the planets' pull over 13 days

  // (5303) Parijskij from 1995 to 2005 with Ceres (set "M-Pc (1)") and without.
  const double t0 = 2449718.5, t1 = 2453371.5;
  const double x0[6] = {-2.232847879711731E+00, 1.574146331186095E+00,  8.329414259670296E-01,
                        -6.247432571575564E-03, -7.431073424167182E-03, -3.231725223736132E-03};
  const double jplKm[3] = {-398052983.0882521, 122233037.4686653, 74042102.86177272};
  double sun[6];
  int valid = 0;
  JplPleph(t0, kJplSun, kJplSolarSystemBarycentre, sun, valid);
  ASSERT_EQ(valid, 1);
  double r0[3], v0[3], jpl[3];
  for (int i = 0; i < 3; ++i) {
    r0[i] = x0[i] - sun[i];
    v0[i] = x0[3 + i] - sun[3 + i];
    jpl[i] = jplKm[i] / kTestKmPerAu;
  }
  double missKm[2];
  for (int set : {0, 2}) {
    TestRun run;
    run.engine.m_nAsteroidSet = set;
    run.Prepare(t0, r0, v0, t1, 0.0, true);
    ASSERT_EQ(run.Run(), 0) << run.engine.m_strMessage;
    EXPECT_EQ(run.engine.m_nAsteroidMisses, 0);
    double r1[3], v1[3];
    run.EndState(r1, v1);
    missKm[set / 2] = DistanceKm(r1, jpl);
  }
  std::printf("Parijskij 2005 from JPL: %.0f km without asteroids, %.0f km with Ceres\n", missKm[0], missKm[1]);
  EXPECT_NEAR(missKm[0], 47467.0, 500.0);
  EXPECT_LT(missKm[1], 5000.0);  // 2,661 km measured
}

// At 10 days an epoch within 12 days of the one just integrated keeps its
// elements with its own time; a file that cannot be put in place is
// reported and nothing is claimed.
TEST_F(GeneratorFixture, ShortIntervalsKeepTheElementsReached)
{
  TSR_REQUIRE_DATA(excerpt, "catalogues/skyfield_MPCORB.excerpt.DAT");
  TSR_REQUIRE_DATA(de, "de/lnxp1960p2060.405");
  JplReaderScope reader(de);
  WriteCatalogue(excerpt, true);
  window.savePath = TempDir() + "short.dat";
  ASSERT_EQ(GenerateAsteroidEphemeris(window, "2019", "2021", "10"), kMpephWritten);
  MpephStore& store = GetPerturberTable();
  ASSERT_EQ(LoadMpephFile(store, window.savePath), 1);
  ASSERT_EQ(store.m_header.nEpochs, 74);
  // Ceres's epoch 2459000.5 lies 4 days before index 52 (2459004.5). Going
  // back: 52 and 51 keep the catalogue's elements, 50 is integrated, 49
  // keeps 50's, 48 is integrated; going forward 53 is integrated, 54 keeps it.
  const MpephRecord* c = store.m_records.data();
  const auto same = [](const MpephRecord& x, const MpephRecord& y) {
    return x.T == y.T && x.q == y.q && x.e == y.e && x.peri == y.peri && x.node == y.node && x.incl == y.incl;
  };
  EXPECT_NEAR(c[52].e, 0.0775571, 1e-15);
  EXPECT_TRUE(same(c[52], c[51]));
  EXPECT_FALSE(same(c[51], c[50]));
  EXPECT_TRUE(same(c[50], c[49]));
  EXPECT_FALSE(same(c[49], c[48]));
  EXPECT_FALSE(same(c[52], c[53]));
  EXPECT_TRUE(same(c[53], c[54]));
  EXPECT_FALSE(same(c[54], c[55]));
  EXPECT_DOUBLE_EQ(c[49].epoch - c[50].epoch, -10.0);

  // A folder where the file should go: the rename fails.
  window.savePath = TempDir() + "taken";
  ASSERT_TRUE(CreateFolder(window.savePath));
  ASSERT_TRUE(WriteFileAtomic(window.savePath + "/inside", "x"));
  ui.m_messages.clear();
  EXPECT_EQ(GenerateAsteroidEphemeris(window, "2019", "2021", "10"), kMpephWriteFailed);
  EXPECT_EQ(window.log[window.log.size() - 2], "書き込みに失敗しました。");
  EXPECT_TRUE(ui.m_messages.empty());
  EXPECT_TRUE(FolderExists(window.savePath));
  // A folder that is not there: nothing can be created.
  window.savePath = TempDir() + "missing/mpeph.dat";
  EXPECT_EQ(GenerateAsteroidEphemeris(window, "2019", "2021", "10"), kMpephWriteFailed);
  EXPECT_EQ(window.log[window.log.size() - 2], "ファイルを作れません: " + window.savePath);
  EXPECT_TRUE(ui.m_messages.empty());
}

// A cancelled run and a busy engine leave the chosen file as it was, with
// no temporary beside it, and the engine as it found it.
TEST_F(GeneratorFixture, CancelAndBusyWriteNothing)
{
  TSR_REQUIRE_DATA(excerpt, "catalogues/skyfield_MPCORB.excerpt.DAT");
  TSR_REQUIRE_DATA(de, "de/lnxp1960p2060.405");
  JplReaderScope reader(de);
  WriteCatalogue(excerpt, true);
  const std::string folder = TempDir() + "kept/";
  ASSERT_TRUE(CreateFolder(folder));
  window.savePath = folder + "mpeph.dat";
  ASSERT_TRUE(WriteFileAtomic(window.savePath, "the good table"));
  const auto entries = [&] {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      n += entry.is_regular_file() ? 1 : 0;
    return n;
  };

  engine->m_nAsteroidSet = 6;
  window.cancelAt = 1;
  EXPECT_EQ(GenerateAsteroidEphemeris(window, "2019", "2021", "10"), kMpephAborted);
  EXPECT_EQ(window.log.back(), "中止しました。ファイルは作っていません。");
  EXPECT_EQ(window.progress.size(), 1u);
  EXPECT_EQ(FileText(window.savePath), "the good table");
  EXPECT_EQ(entries(), 1);
  EXPECT_EQ(engine->m_nAsteroidSet, 6);
  EXPECT_EQ(engine->m_bBusy, 0);
  EXPECT_EQ(engine->m_nCancel, 0);
  EXPECT_EQ(window.messageWindows, 0);

  window.cancelAt = 0;
  engine->m_bBusy = 1;
  EXPECT_EQ(GenerateAsteroidEphemeris(window, "2019", "2021", "10"), kMpephAborted);
  ASSERT_GE(window.log.size(), 2u);
  EXPECT_EQ(window.log[window.log.size() - 2], "ほかの計算が動いています。");
  EXPECT_EQ(engine->m_bBusy, 1);  // not ours to end
  EXPECT_EQ(engine->m_nAsteroidSet, 6);
  EXPECT_EQ(window.progress.size(), 1u);
  EXPECT_EQ(FileText(window.savePath), "the good table");
}

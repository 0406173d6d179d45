// The Earth screening: the weighted median, the clone-track file and its
// reader, the refusals, and on real observations the impactor 2008 TC3
// solved from its observations, cloned from the covariance and screened.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "astro/jpl_eph.h"
#include "astro/time_scales.h"
#include "determination/determination_display.h"
#include "engine/determination_host.h"
#include "neocp/batch_orbit.h"
#include "neocp/clone_sampler.h"
#include "neocp/earth_screening.h"
#include "neocp/scan_dlg.h"
#include "neocp/scan_files.h"
#include "neocp/scan_row.h"
#include "tests/engine/test_improvement_support.h"
#include "tests/neocp/close_approach_solve.h"
#include "tests/neocp/obs_cuts.h"

namespace {

CloneTrackRecord Track(int nominal, int impact, int points) {
  CloneTrackRecord r{};
  r.nominal = nominal;
  r.impact = impact;
  r.plausible = 1;
  r.weight = 0.25;
  r.jd = 2454746.615;
  for (int k = 0; k < points; ++k) {
    r.track.minutes[k] = 5.0 * (k - 6);
    r.track.lat[k] = 10.0 + k;
    r.track.lon[k] = -20.0 - k;
    r.track.km[k] = 7000.0 + 100.0 * k;
  }
  r.track.count = points;
  return r;
}

double SurfaceKm(double lat1, double lon1, double lat2, double lon2) {
  const double d = M_PI / 180.0;
  const double a = std::sin((lat2 - lat1) * d / 2), b = std::sin((lon2 - lon1) * d / 2);
  return 2.0 * 6371.0 * std::asin(std::sqrt(a * a + std::cos(lat1 * d) * std::cos(lat2 * d) * b * b));
}

}  // namespace

TEST(EarthScreening, WeightedMedianOfASmallTable) {
  // Sorted: 1 (1), 2 (0.1), 3 (1), 4 (5), 5 (1); half of 8.1 is first reached at 4.
  DistanceWeight t1[] = {{5, 1}, {1, 1}, {3, 1}, {2, 0.1}, {4, 5}};
  EXPECT_EQ(WeightedMedianDistance(t1, 5), 4.0);
  // Equal weights: half of 4 is reached at the second smallest.
  DistanceWeight t2[] = {{0.4, 1}, {0.1, 1}, {0.3, 1}, {0.2, 1}};
  EXPECT_EQ(WeightedMedianDistance(t2, 4), 0.2);
  DistanceWeight t3[] = {{1, 0}};
  EXPECT_EQ(WeightedMedianDistance(t3, 1), kNoDistance);
  EXPECT_EQ(WeightedMedianDistance(t3, 0), kNoDistance);
}

TEST(EarthScreening, CloneTrackFileRoundTripAndReaderEdges) {
  const std::vector<CloneTrackRecord> recs = {Track(1, 1, 7), Track(0, 0, 13), Track(0, 0, 0)};
  const std::string text = FormatGlobeCloneTracks("2008 TC3", recs.data(), 3);
  EXPECT_EQ(text.find("# NEOCPの一括走査: 2008 TC3 の名目軌道(N)"), 0u);
  EXPECT_NE(text.find("\r\nkind\timpact\tplausible\tweight\tjd\tpoints\r\nN\t1\t1\t0.25\t2454746.615000\t-30,10.00000,"
                      "-20.00000,7000.0;-25,"),
            std::string::npos);
  EXPECT_NE(text.find("\r\nC\t0\t1\t0.25\t2454746.615000\t\r\n"), std::string::npos);  // no points: empty field
  std::vector<CloneTrackRecord> back;
  ASSERT_EQ(ParseGlobeCloneTracks(text, back), 1);
  ASSERT_EQ(back.size(), 2u);  // the pointless record is dropped
  EXPECT_EQ(back[0].nominal, 1);
  EXPECT_EQ(back[0].impact, 1);
  EXPECT_EQ(back[0].track.count, 7);
  EXPECT_EQ(back[1].track.count, 13);
  EXPECT_DOUBLE_EQ(back[1].track.km[12], 8200.0);
  EXPECT_DOUBLE_EQ(back[0].jd, 2454746.615);

  // Written and read through the file: BOM and CR LF.
  const std::string dir = MakeTempDir("clone_tracks");
  const std::string path = dir + "/t_clones.txt";
  ASSERT_NE(WriteGlobeCloneTracks(path, "2008 TC3", recs.data(), 3), 0);
  std::string read;
  ASSERT_EQ(ReadUtf8File(path, read), 1);
  ASSERT_EQ(ParseGlobeCloneTracks(read, back), 1);
  EXPECT_EQ(back.size(), 2u);
  EXPECT_EQ(WriteGlobeCloneTracks(dir + "/missing/x.txt", "x", recs.data(), 1), 0);
  std::filesystem::remove_all(dir);

  const std::string head = "# c\r\nkind\timpact\tplausible\tweight\tjd\tpoints\r\n";
  std::string fourteen = "C\t0\t0\t1\t2460000.5\t";
  for (int k = 0; k < 14; ++k) fourteen += (k ? ";" : "") + std::to_string(k) + ",1,2,7000";
  struct Case {
    const char* name;
    std::string text;
    int ok;
    std::vector<int> counts;
  };
  const Case cases[] = {
      {"only the header", head, 1, {}},
      {"header with a trailing blank", "kind\timpact\tplausible\tweight\tjd\tpoints \r\nN\t1\t1\t1\t1\t0,1,2,3\r\n", 0, {}},
      {"no header", "# only comments\r\n", 0, {}},
      {"fourteen points keep thirteen", head + fourteen + "\r\n", 1, {13}},
      {"non-finite point skipped", head + "N\t0\t1\t1\t2460000.5\t0,1,2,3;5,nan,2,3;10,1,inf,3;;15,1,2\r\n", 1, {1}},
      {"seven fields or an unknown kind", head + "N\t0\t1\t1\t1\t0,1,2,3\textra\r\nX\t0\t1\t1\t1\t0,1,2,3\r\n", 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ParseGlobeCloneTracks(c.text, back), c.ok);
    if (!c.ok) continue;
    ASSERT_EQ(back.size(), c.counts.size());
    for (size_t i = 0; i < back.size(); ++i) EXPECT_EQ(back[i].track.count, c.counts[i]);
  }
}

TEST(EarthScreening, GlobeTextsAndReferenceTime) {
  const struct {
    double p;
    const char* text;
  } percents[] = {{0.9996, "100%"}, {0.9994, "99.9%"}, {0.5, "50.0%"}, {0.01, "1.0%"}, {0.001234, "0.12%"}, {0, "0%"}};
  for (const auto& c : percents) EXPECT_EQ(FormatImpactPercent(c.p), c.text) << c.p;
  NeocpScanRow row{};
  row.desig = "  ZTF0ABC ";
  row.imp_prob = 0.001234;
  row.n_impact = 1;
  row.n_valid = 180;
  row.clo_jd = 2460100.25;
  row.nom_jd = 2460100.5;
  CloneGlobeView v;
  PrepareCloneGlobeView(row, {Track(0, 0, 3), Track(0, 1, 2)}, v);
  EXPECT_EQ(v.refJd, 2460100.25);  // no nominal record: the closest clone's time
  EXPECT_EQ(v.caption, "ZTF0ABC");
  EXPECT_EQ(v.info, "地球衝突確率 0.12%  (1/180)   月の内側を通る 2本");
  EXPECT_EQ(v.status, "  ZTF0ABC : クローン180本のうち月の軌道の内側まで来た2本を地球儀に出しました(名目軌道は月の軌道の内側まで来ません)");
  PrepareCloneGlobeView(row, {Track(1, 0, 3)}, v);
  EXPECT_EQ(v.refJd, Track(1, 0, 3).jd);
  EXPECT_NE(v.status.find("(名目軌道は赤い丸)"), std::string::npos);
}

TEST(EarthScreening, WithoutAPlanetaryFileTheScreeningRefusesAndSaysWhy) {
  CJplEph* const open = g_pJplEph;
  g_pJplEph = nullptr;
  CDeterminationDisplay view(false);
  DetClass* det = view.m_pDetClass;
  det->m_pOrbObs = static_cast<ObservationRecord*>(std::calloc(3, sizeof(ObservationRecord)));
  det->m_pOrbObs[0].m_dJdTt = 2460000.5;
  det->m_pOrbObs[1].m_dJdTt = 2460001.5;
  det->m_pOrbObs[2].m_dJdUtc = -1.0;
  det->m_nObsCount = 2;
  NeocpScanRow row{};
  row.desig = "X";
  row.clones_path = "x_clones.txt";
  CloneRecord nominal{};
  nominal.epoch = 2460001.0;
  NeocpScanSettings settings;
  EXPECT_EQ(ScreenEarthApproaches(view, settings, row, nominal, nullptr, 0, nullptr, nullptr), -1);
  g_pJplEph = open;
  EXPECT_EQ(row.status, 4);
  EXPECT_NE(row.note.find("惑星暦ファイル"), std::string::npos) << row.note;
  EXPECT_TRUE(row.clones_path.empty());
}

namespace {

// A reset row that asks for the clone-track and closest-clone files in a fresh folder.
NeocpScanRow RowWithFiles(const std::string& desig, const std::string& base) {
  const std::string dir = MakeTempDir(base + "_screen");
  NeocpScanRow row{};
  ResetScanRow(row, 0);
  row.desig = desig;
  row.clones_path = dir + "/" + base + "_clones.txt";
  row.closest_path = dir + "/" + base + "_closest_EX.IMP";
  return row;
}

// 2008 TC3 entered the atmosphere at 02:45:29 UTC; its meteorites lie near 20.8° N, 32.4° E.
constexpr double kTc3EntryUtc = 2454746.5 + (2 * 3600 + 45 * 60 + 29) / 86400.0;
// 2024 BX1 entered at 00:32:38 UTC on 21 January, over 52.6° N, 12.7° E.
constexpr double kBx1EntryUtc = 2460330.5 + (0 * 3600 + 32 * 60 + 38) / 86400.0;

// A screening of 200 clones of an object seen to its entry: all of it as
// observed, the nominal orbit first in the track file, ending 100 km up
// within 300 km of the observed point, after an approach from farther out.
void ExpectHitAt(const char* name, const NeocpScanRow& row, double entryUtc, double lat, double lon,
                 std::vector<CloneTrackRecord>& recs) {
  SCOPED_TRACE(name);
  std::printf("%s: status %d, valid %d, invalid %d, impacts %d, P %.4f, lov %d (ratio %.1f), sigma0 %.3f\n"
              "  nominal %.6f AU at %.6f, impact %d; impacts %+.1f .. %+.1f s from the entry; median %.3g AU\n  %s\n",
              name, row.status, row.n_valid, row.n_invalid, row.n_impact, row.imp_prob, row.lov_mode, row.lov_ratio,
              row.sigma0, row.nom_dist, row.nom_jd, row.nom_impact,
              (DeltaT(kDeltaTTtToUt, row.imp_jd_min) - entryUtc) * 86400.0,
              (DeltaT(kDeltaTTtToUt, row.imp_jd_max) - entryUtc) * 86400.0, row.clo_median, row.note.c_str());
  EXPECT_EQ(row.status, 9);
  EXPECT_EQ(row.n_clones, 200);
  EXPECT_EQ(row.nom_impact, 1);
  EXPECT_GE(row.imp_prob, 0.9);
  EXPECT_NEAR((DeltaT(kDeltaTTtToUt, row.imp_jd_min) - entryUtc) * 1440.0, 0.0, 2.0);
  EXPECT_NEAR((DeltaT(kDeltaTTtToUt, row.imp_jd_max) - entryUtc) * 1440.0, 0.0, 2.0);
  EXPECT_NEAR((DeltaT(kDeltaTTtToUt, row.nom_jd) - entryUtc) * 1440.0, 0.0, 2.0);
  EXPECT_EQ(row.clo_impact, 1);
  EXPECT_LT(row.clo_median, 1e-4);  // inside the Earth's capture distance

  std::string text;
  ASSERT_EQ(ReadUtf8File(row.clones_path, text), 1);
  ASSERT_EQ(ParseGlobeCloneTracks(text, recs), 1);
  ASSERT_FALSE(recs.empty());
  EXPECT_EQ(recs[0].nominal, 1);
  const ApproachTrack& t = recs[0].track;
  ASSERT_GE(t.count, 2);
  EXPECT_EQ(t.minutes[t.count - 1], 0.0);
  EXPECT_NEAR(t.km[t.count - 1], 6378.137 + 100.0, 30.0);
  const double km = SurfaceKm(t.lat[t.count - 1], t.lon[t.count - 1], lat, lon);
  std::printf("  nominal hit %.3f, %.3f: %.0f km from the observed point; %zu tracks\n", t.lat[t.count - 1],
              t.lon[t.count - 1], km, recs.size());
  EXPECT_LT(km, 300.0);
  EXPECT_LT(t.minutes[0], 0.0);
  EXPECT_GT(t.km[0], t.km[t.count - 1]);
}

class Tc3Screening : public RealObservationTest {
protected:
  // All the observations solved with perturbations; false when the data are missing or the fit fails.
  bool Solve(CDeterminationDisplay& view) {
    const int count = Load(view, "obs/mpc80/neosjl_2008TC3.txt");
    if (count < 0) return false;
    EXPECT_GT(count, 800);
    return SolveCloseApproachArc(view, 0.05);
  }
};

}  // namespace

TEST_F(Tc3Screening, ClonesHitAtTheObservedEntry) {
  HeadlessToolSinks sinks;
  ScopedToolSinks scopedSinks(sinks);
  CDeterminationDisplay view;
  ASSERT_TRUE(Solve(view)) << view.m_pEngine->m_strMessage;
  NeocpScanRow row = RowWithFiles("2008 TC3", "tc3");
  const std::string dir = row.clones_path.substr(0, row.clones_path.rfind('/'));
  NeocpScanSettings settings;  // 200 clones, 30 days before, 60 after
  const double radius = g_dGeoTrackRadius;
  ASSERT_EQ(MakeCovarianceClones(view, settings, row, nullptr, nullptr), 0) << row.note;
  EXPECT_EQ(g_dGeoTrackRadius, radius);
  std::vector<CloneTrackRecord> recs;
  ExpectHitAt("2008 TC3", row, kTc3EntryUtc, 20.8, 32.4, recs);
  ASSERT_FALSE(recs.empty());
  // The globe's Sun at the entry (02:45.5 UT, 7 October): over 5.7° S and
  // where apparent noon falls: 12 h - 2.758 h UT - 0.2 h (equation of time,
  // +12 min) = 9.04 h east, 135.6° E.
  CloneGlobeView globe;
  PrepareCloneGlobeView(row, recs, globe);
  EXPECT_EQ(globe.refJd, recs[0].jd);
  EXPECT_NEAR(globe.subSolarLat, -5.7, 0.5);
  EXPECT_NEAR(globe.subSolarLon, 135.6, 0.5);
  std::printf("  globe: sub-solar %.2f, %.2f, apex %.2f, %.2f; %s\n", globe.subSolarLat, globe.subSolarLon,
              globe.apexLat, globe.apexLon, globe.info.c_str());
  std::string closest;
  ASSERT_EQ(ReadUtf8File(row.closest_path, closest), 1);
  EXPECT_NE(closest.find("# NEOCPの一括走査: 2008 TC3 のクローン"), std::string::npos);
  EXPECT_NE(closest.find("地球に衝突"), std::string::npos);

  // Aborted before the first orbit: status 7 and no clone-track file named.
  CNeocpScanDlg dlg(&view);
  dlg.m_bAbort = 1;
  NeocpScanRow aborted = row;
  aborted.clones_path = dir + "/aborted_clones.txt";
  CloneRecord nominal;
  NominalCloneFromEngine(view.m_pEngine, nominal);
  EXPECT_EQ(ScreenEarthApproaches(view, settings, aborted, nominal, nullptr, 0, nullptr, &dlg), -9);
  EXPECT_EQ(aborted.status, 7);
  EXPECT_TRUE(aborted.clones_path.empty());
  view.m_pNeocpScanDlg = nullptr;

  // 41 clones of 200 that are no orbit warn about the probability, 40 do not
  // (short legs: the rest are copies of the nominal orbit).
  NeocpScanSettings shortLegs = settings;
  shortLegs.m_dDaysBefore = 0.2;
  shortLegs.m_dDaysAfter = 1.0;
  for (int failures : {40, 41}) {
    std::vector<CloneRecord> clones(200, nominal);
    for (int i = 0; i < failures; ++i) clones[i].e = NAN;
    NeocpScanRow r = row;
    r.note.clear();
    r.clones_path.clear();
    r.closest_path.clear();
    r.n_invalid = 0;
    EXPECT_EQ(ScreenEarthApproaches(view, shortLegs, r, nominal, clones.data(), 200, nullptr, nullptr), 0);
    EXPECT_EQ(r.n_invalid, failures);
    EXPECT_EQ(r.n_impact, 200 - failures);
    const bool warned = r.note.find("クローンの20%が積分できず、割合は確率とみなせません") != std::string::npos;
    EXPECT_EQ(warned, failures == 41) << r.note;
  }

  // A hit before the last observation makes the orbit invalid: with the last
  // observation moved past the entry, the nominal orbit and its copies fail.
  DetClass* det = view.m_pDetClass;
  ObservationRecord& lastObs = det->m_pOrbObs[det->m_nObsCount - 1];
  const double keep = lastObs.m_dJdTt;
  lastObs.m_dJdTt = kTc3EntryUtc + 0.05;
  std::vector<CloneRecord> copies(3, nominal);
  NeocpScanRow late = row;
  late.note.clear();
  late.n_invalid = 0;
  EXPECT_EQ(ScreenEarthApproaches(view, shortLegs, late, nominal, copies.data(), 3, nullptr, nullptr), -1);
  lastObs.m_dJdTt = keep;
  EXPECT_EQ(late.status, 4);
  EXPECT_EQ(late.n_invalid, 3);
  EXPECT_EQ(late.n_impact, 0);
  EXPECT_EQ(late.note, "名目軌道を調べる期間まで積分できませんでした");
  std::filesystem::remove_all(dir);
}

// 2024 BX1 from all its observations, which run to a few Earth radii eight
// minutes before the entry: solved as the scan solves it (the batch driver;
// on this 0.11-day arc the systematic ranging and its fit), then cloned from
// the covariance of the improvement and screened.
TEST_F(ScanObservationTest, Bx1ClonesHitAtTheObservedEntry) {
  HeadlessToolSinks sinks;
  ScopedToolSinks scopedSinks(sinks);
  const std::string path = TestDataPath("obs/mpc80/neosjl_2024BX1.txt");
  if (path.empty() || !TestDataFileExists(path)) GTEST_SKIP() << "obs/mpc80/neosjl_2024BX1.txt not found";
  CDeterminationDisplay view;
  NeocpScanRow row = RowWithFiles("2024 BX1", "bx1");
  NeocpScanSettings settings;  // 200 clones, 30 days before, 60 after
  NeocpScanSettings nominalOnly = settings;
  nominalOnly.m_nClones = 0;
  ASSERT_EQ(ComputeBatchOrbit(view, path, nominalOnly, row, nullptr, nullptr), 0) << row.note;
  EXPECT_EQ(row.n_obs, 328);
  EXPECT_NEAR(row.arc_days, 0.109, 0.001);
  EXPECT_EQ(view.m_pEngine->m_bCovarianceValid, 0);  // the ranging's fit is no improvement of the engine
  NeocpScanRow clones = RowWithFiles("2024 BX1", "bx1");
  ASSERT_EQ(MakeCovarianceClones(view, settings, clones, nullptr, nullptr), 0) << clones.note;
  EXPECT_EQ(view.m_pEngine->m_bCovarianceValid, 1);
  std::vector<CloneTrackRecord> recs;
  ExpectHitAt("2024 BX1", clones, kBx1EntryUtc, 52.6, 12.7, recs);
  std::filesystem::remove_all(clones.clones_path.substr(0, clones.clones_path.rfind('/')));
  std::filesystem::remove_all(row.clones_path.substr(0, row.clones_path.rfind('/')));
}

namespace {

class ShortArcScreening : public RealObservationTest {
protected:
  // The lines of the file observed on the days from..to; -1 when the file is absent.
  int LoadDays(CDeterminationDisplay& view, const std::string& relative, const std::string& from,
               const std::string& to) {
    const std::string path = TestDataPath(relative);
    if (path.empty() || !TestDataFileExists(path)) return -1;
    const std::string file = WriteTestFile(s_dir, "days.txt", ObservationLinesOnDays(ReadTestFile(path), from, to));
    return LoadSessionObservations(view, file, s_stationsFile);
  }
  // 2024 MK from its first three days; false when the file is absent.
  bool LoadMk(CDeterminationDisplay& view) { return LoadDays(view, kMkFile, "2024 06 16", "2024 06 19") >= 0; }

  static constexpr const char* kMkFile = "obs/mpc80/neosjl_2024MK.txt";
  HeadlessToolSinks m_sinks;
  ScopedToolSinks m_scopedSinks{m_sinks};
};

}  // namespace

// 2024 MK from its first three days: no clone hits, and the nominal orbit
// passes on 2024-06-29 inside the Moon's distance (0.77 LD from the full arc).
TEST_F(ShortArcScreening, Mk2024PassesInsideTheMoonsDistance) {
  HeadlessToolSinks sinks;
  ScopedToolSinks scopedSinks(sinks);
  CDeterminationDisplay view;
  const int count = LoadDays(view, "obs/mpc80/neosjl_2024MK.txt", "2024 06 16", "2024 06 19");
  if (count < 0) GTEST_SKIP() << "obs/mpc80/neosjl_2024MK.txt not found";
  ASSERT_EQ(count, 22);
  // The last fifth of the arc is left out of the three observations: with the
  // second-last night at the end the preliminary orbit fails.
  ASSERT_TRUE(SolveCloseApproachArc(view, 0.2)) << view.m_pEngine->m_strMessage;
  NeocpScanRow row = RowWithFiles("2024 MK", "mk");
  NeocpScanSettings settings;
  ASSERT_EQ(MakeCovarianceClones(view, settings, row, nullptr, nullptr), 0) << row.note;
  constexpr double kLdAu = 384400.0 / 149597870.7;
  std::printf("2024 MK: status %d, valid %d, invalid %d, impacts %d, lov %d (ratio %.1f), sigma0 %.3f, rms %.3f\n"
              "  nominal %.3f LD at JD %.5f; closest clone %.3f LD, median %.3f LD\n  %s\n",
              row.status, row.n_valid, row.n_invalid, row.n_impact, row.lov_mode, row.lov_ratio, row.sigma0, row.rms,
              row.nom_dist / kLdAu, row.nom_jd, row.clo_dist / kLdAu,
              row.clo_median / kLdAu, row.note.c_str());
  EXPECT_EQ(row.n_impact, 0);
  EXPECT_EQ(row.nom_impact, 0);
  EXPECT_GE(row.nom_jd, 2460490.5);  // 2024-06-29 0h
  EXPECT_LT(row.nom_jd, 2460491.5);
  EXPECT_GT(row.nom_dist / kLdAu, 0.5);
  EXPECT_LT(row.nom_dist / kLdAu, 1.0);
  std::string text;
  ASSERT_EQ(ReadUtf8File(row.clones_path, text), 1);
  std::vector<CloneTrackRecord> recs;
  ASSERT_EQ(ParseGlobeCloneTracks(text, recs), 1);
  ASSERT_FALSE(recs.empty());
  EXPECT_EQ(recs[0].nominal, 1) << "the nominal track first";
  EXPECT_NEAR(recs[0].jd, row.nom_jd, 1e-6);
}

// Beyond the recording radius only the integrator sees the approach: its
// distance comes with its own time, the time the recorded points give when
// the radius holds them.
TEST_F(ShortArcScreening, Mk2024ApproachBeyondTheRecordingRadiusKeepsItsTime) {
  CDeterminationDisplay view;
  if (!LoadMk(view)) GTEST_SKIP() << kMkFile << " not found";
  ASSERT_TRUE(SolveCloseApproachArc(view, 0.2)) << view.m_pEngine->m_strMessage;
  OrbitEngine* engine = view.m_pEngine;
  CloneRecord rec{};
  NominalCloneFromEngine(engine, rec);
  const double end = CalendarToJd(2024, 7, 5);
  auto approach = [&](double radiusAu) {
    const double saved = g_dGeoTrackRadius;
    g_dGeoTrackRadius = radiusAu;
    IntegrationState state{};
    CloneApproach out{};
    EXPECT_EQ(SetupCloneRun(engine, view.m_pDetClass, &state, rec, end), 1);
    RunCloneApproach(engine, &state, nullptr, out);
    g_dGeoTrackRadius = saved;
    EXPECT_EQ(out.result, 0);
    return out;
  };
  const CloneApproach recorded = approach(0.1);
  const CloneApproach unrecorded = approach(0.001);  // 0.39 LD: MK stays outside
  ASSERT_GE(recorded.jd, 2460490.5);
  ASSERT_LT(recorded.jd, 2460491.5);
  EXPECT_NEAR(unrecorded.dist * kAuKm, recorded.dist * kAuKm, 100.0);
  // The integrator's steps near the approach are minutes long.
  EXPECT_NEAR((unrecorded.jd - recorded.jd) * 1440.0, 0.0, 30.0);
  EXPECT_EQ(unrecorded.track.count, 0);
}

namespace {

// A view that counts what a scan must leave alone: the residual list's
// refreshes and scrolls.
class ListWatchingView : public CDeterminationDisplay {
public:
  void RefreshResidualList(ObservationRecord* obs, int shown) override {
    ++m_nListTouches;
    CDeterminationDisplay::RefreshResidualList(obs, shown);
  }
  void ScrollObsListTo(int index) override {
    ++m_nListTouches;
    CDeterminationDisplay::ScrollObsListTo(index);
  }
  int m_nListTouches = 0;
};

}  // namespace

// A covariance that no longer belongs to the solution is improved once more
// before the clones are drawn, without touching the view's residual list.
TEST_F(ShortArcScreening, StaleCovarianceReimprovedWithoutTheList) {
  ListWatchingView view;
  if (!LoadMk(view)) GTEST_SKIP() << kMkFile << " not found";
  ASSERT_TRUE(SolveCloseApproachArc(view, 0.2)) << view.m_pEngine->m_strMessage;
  view.m_pEngine->m_bCovarianceValid = 0;
  view.m_nListTouches = 0;
  NeocpScanRow row = RowWithFiles("2024 MK", "mk-stale");
  const std::string dir = row.clones_path.substr(0, row.clones_path.rfind('/'));
  NeocpScanSettings settings;
  settings.m_nClones = 2;
  ASSERT_EQ(MakeCovarianceClones(view, settings, row, nullptr, nullptr), 0) << row.note;
  EXPECT_EQ(view.m_pEngine->m_bCovarianceValid, 1);
  EXPECT_EQ(row.note.find("共分散がいまの解と対応していない"), std::string::npos) << row.note;
  EXPECT_EQ(view.m_nListTouches, 0);
  EXPECT_EQ(view.m_bQuietRun, 0);
  std::filesystem::remove_all(dir);
}

// The screening records out to at least 0.1 AU while it runs and gives the
// radius back; the clones spread with 0.5" added in quadrature to σ0 when
// the systematic error is on (σ0 = 0.5" becomes √0.5").
TEST_F(ShortArcScreening, RecordingRadiusAndSystematicError) {
  CDeterminationDisplay view;
  if (!LoadMk(view)) GTEST_SKIP() << kMkFile << " not found";
  ASSERT_TRUE(SolveCloseApproachArc(view, 0.2)) << view.m_pEngine->m_strMessage;
  // Every step of a screening run pumps one event: the radius seen there.
  struct RadiusUi : HeadlessUiServices {
    bool PumpOneEvent() override {
      low = std::min(low, g_dGeoTrackRadius);
      high = std::max(high, g_dGeoTrackRadius);
      return HeadlessUiServices::PumpOneEvent();
    }
    double low = 9e9, high = 0;
  };
  struct Case {
    double radius;
    int sysError;
    double seenRadius, sigma0;
  };
  const Case cases[] = {
      {0.05, 1, 0.1, std::sqrt(0.5)},
      {0.5, 0, 0.5, 0.5},
  };
  const double saved = g_dGeoTrackRadius;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.radius);
    RadiusUi ui;
    ScopedUi scopedUi(ui);
    g_dGeoTrackRadius = c.radius;
    view.m_pEngine->m_dSigma0 = 0.5;
    NeocpScanRow row = RowWithFiles("2024 MK", "mk-radius");
    const std::string dir = row.clones_path.substr(0, row.clones_path.rfind('/'));
    NeocpScanSettings settings;
    settings.m_nClones = 1;
    settings.m_bSysError = c.sysError;
    ASSERT_EQ(MakeCovarianceClones(view, settings, row, nullptr, nullptr), 0) << row.note;
    EXPECT_GT(ui.m_pumps, 10);
    EXPECT_EQ(ui.low, c.seenRadius);
    EXPECT_EQ(ui.high, c.seenRadius);
    EXPECT_EQ(g_dGeoTrackRadius, c.radius);
    EXPECT_NEAR(row.sigma0, c.sigma0, 1e-12);
    std::filesystem::remove_all(dir);
  }
  g_dGeoTrackRadius = saved;
}

// Preliminary orbits of real objects from three of their observations, read
// as the view reads them (stations from the MPC's list of observatory codes,
// observer positions from the DE405 file).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "astro/jpl_eph.h"
#include "astro/time_scales.h"
#include "data/observation_reader.h"
#include "engine/determination_host.h"
#include "engine/observation_picking.h"
#include "engine/preliminary_orbit.h"
#include "engine/view_fit_run.h"
#include "platform/app_services.h"
#include "platform/ui_services.h"
#include "tests/data/test_observation_support.h"

namespace fs = std::filesystem;

namespace {

constexpr double kRadToArcsec = 180.0 / M_PI * 3600.0;

// Lines whose year lies inside the planetary file's span (1960-2059); the two
// lines of a roving or satellite observation share their year.
std::string LinesInsideEphemeris(const std::string& text) {
  std::istringstream in(text);
  std::string line, out;
  while (std::getline(in, line)) {
    if (line.size() < 19) continue;
    const int year = std::atoi(line.substr(15, 4).c_str());
    if (year >= 1960 && year < 2060) out += line + "\n";
  }
  return out;
}

// The three picks of a window: the observations nearest its start, middle
// and end, all from one station when a station covers the window (the one
// that covers it best), otherwise from any station. Excluded, duplicate and
// unknown-station records are never picked.
std::vector<int> ChooseWellSpaced(const ObservationRecord* obs, int count, double fromTT, double toTT) {
  const double targets[3] = {fromTT, 0.5 * (fromTT + toTT), toTT};
  auto usable = [&](const ObservationRecord& o) {
    return o.m_dJdTt >= fromTT && o.m_dJdTt <= toTT && !o.m_bRejected && !o.m_bDuplicate &&
           !o.m_bStationRejected && o.m_nUnknownStation == 0 && o.m_chObsType != 'V' && o.m_chObsType != 'S';
  };
  auto nearest = [&](const std::string& station, double target) {
    int best = -1;
    for (int i = 0; i < count; ++i) {
      if (!usable(obs[i]) || (!station.empty() && station != obs[i].m_szStation)) continue;
      if (best < 0 || std::fabs(obs[i].m_dJdTt - target) < std::fabs(obs[best].m_dJdTt - target)) best = i;
    }
    return best;
  };
  auto spread = [&](const std::vector<int>& picks) {
    double worst = 0;
    for (int n = 0; n < 3; ++n) worst = std::max(worst, std::fabs(obs[picks[n]].m_dJdTt - targets[n]));
    return worst;
  };
  std::vector<int> best;
  double bestSpread = 0;
  for (int i = 0; i < count; ++i) {
    if (!usable(obs[i])) continue;
    std::vector<int> picks;
    for (double t : targets) picks.push_back(nearest(obs[i].m_szStation, t));
    if (picks[0] == picks[1] || picks[1] == picks[2]) continue;
    if (best.empty() || spread(picks) < bestSpread) {
      best = picks;
      bestSpread = spread(picks);
    }
  }
  if (best.empty() || bestSpread > 0.1 * (toTT - fromTT)) {
    best.clear();
    for (double t : targets) best.push_back(nearest("", t));
  }
  return best;
}

struct RealCase {
  const char* name;
  const char* file;
  int fromY, fromM, fromD, toY, toM, toD;  // window of the picks
  double q, e;                              // reference, AU
  double T;                                 // reference perihelion time, JD TT; 0 unchecked
};

// q and e: 1862 and 2015 AB from the least-squares elements of orbfit_testout
// (equinoctial a, h, k: e = √(h² + k²), q = a (1 - e)); Eros, C/1998 P1 and
// 1I/ʻOumuamua published (1I: perihelion 2017 September 9.5 TT).
const RealCase kRealCases[] = {
    {"433 Eros", "obs/mpc80/neosjl_433.txt", 2016, 9, 1, 2016, 11, 30, 1.133, 0.2227, 0},
    {"1862 Apollo", "obs/mpc80/orbfit_1862.obs", 2014, 3, 1, 2014, 5, 31, 0.6470, 0.5599, 0},
    {"2015 AB", "obs/mpc80/orbfit_2015AB.obs", 2015, 1, 1, 2015, 2, 28, 1.2908, 0.2836, 0},
    {"C/1998 P1", "obs/mpc80/orbitfinder_C_1998_P1.txt", 1998, 11, 10, 1999, 2, 28, 1.146, 1.0, 0},
    {"1I/2017 U1", "obs/mpc80/orbitfinder_1I.txt", 2017, 10, 19, 2017, 11, 24, 0.2556, 1.2011, 2458006.0},
};

class PreliminaryRealTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    s_dir = MakeTempDir("prelim_real");
    const std::string stations = StationLinesFromObsCodesPage();
    s_stationsFile = stations.empty() ? "" : WriteTestFile(s_dir, "stations.txt", stations);
    const std::string de = TestDataPath("de/lnxp1960p2060.405");
    s_haveEphemeris = !de.empty() && TestDataFileExists(de);
    s_oldDe406 = TheApp().m_szDe406File;
    s_oldDe441 = TheApp().m_szDe441File;
    TheApp().m_szDe406File = de;
    TheApp().m_szDe441File = s_dir + "no-de441.bin";
    delete g_pJplEph;
    g_pJplEph = new CJplEph(TheApp().Paths());
  }

  static void TearDownTestSuite() {
    delete g_pJplEph;
    g_pJplEph = nullptr;
    TheApp().m_szDe406File = s_oldDe406;
    TheApp().m_szDe441File = s_oldDe441;
    fs::remove_all(s_dir);
  }

  void SetUp() override {
    if (s_stationsFile.empty() || !s_haveEphemeris || !g_pJplEph->IsOpen())
      GTEST_SKIP() << "reference data not found: obscodes/ObsCodes.html and de/lnxp1960p2060.405";
  }

  // Reads the file's observations inside the planetary file's span into the
  // view, sorted by time as the view keeps them. False when the file is missing.
  bool Load(CDetermination& view, const std::string& relative) {
    const std::string path = TestDataPath(relative);
    if (path.empty() || !TestDataFileExists(path)) return false;
    ScopedStationsFile stations(s_stationsFile);
    const std::string file = WriteTestFile(s_dir, "obs.txt", LinesInsideEphemeris(ReadTestFile(path)));
    ObservationRecord* obs = nullptr;
    const int count = CTessaruneLib::GetMpcObs(file, &obs);
    if (count <= 0) return false;
    std::stable_sort(obs, obs + count,
                     [](const ObservationRecord& a, const ObservationRecord& b) { return a.m_dJdTt < b.m_dJdTt; });
    DetClass* det = view.m_pDetClass;
    std::free(det->m_pOrbObs);
    det->m_pOrbObs = obs;
    det->m_nObsCount = count;
    view.m_pEngine->m_nCalcState = kCalcLoaded;
    return true;
  }

  HeadlessUiServices m_ui;
  ScopedUi m_scopedUi{m_ui};

  static std::string s_dir, s_stationsFile, s_oldDe406, s_oldDe441;
  static bool s_haveEphemeris;
};

std::string PreliminaryRealTest::s_dir, PreliminaryRealTest::s_stationsFile, PreliminaryRealTest::s_oldDe406,
    PreliminaryRealTest::s_oldDe441;
bool PreliminaryRealTest::s_haveEphemeris = false;

// Three clicks in the list give the orbit of the general method: q and e
// within a few per cent of the reference, and the three picks on the orbit.
TEST_F(PreliminaryRealTest, GeneralMethodFromThreeClicks) {
  for (const RealCase& c : kRealCases) {
    SCOPED_TRACE(c.name);
    CDetermination view(false);
    ASSERT_TRUE(Load(view, c.file)) << c.file;
    DetClass* det = view.m_pDetClass;
    const double from = CalendarToJd(c.fromY, c.fromM, c.fromD), to = CalendarToJd(c.toY, c.toM, c.toD);
    const std::vector<int> picks = ChooseWellSpaced(det->m_pOrbObs, det->m_nObsCount, from, to);
    ASSERT_EQ(picks.size(), 3u);
    for (int i : picks) {
      ASSERT_GE(i, 0);
      OnObsListClick(view, i, nullptr);
    }
    const ObservationRecord* obs = det->m_pOrbObs;
    ASSERT_EQ(view.m_pEngine->m_nCalcState, kCalcPreliminary)
        << view.GetItemText(kIdResultEdit) << " " << det->m_strError;
    const ElementBlock& el = view.m_pEngine->m_state.m_el;
    EXPECT_NEAR(el.m_dQ / c.q, 1.0, 0.03);
    EXPECT_NEAR(el.m_dE, c.e, 0.03 * c.e);
    if (c.T != 0) {
      EXPECT_NEAR(el.m_dT, c.T, 0.5);
    }
    for (int i : picks) {
      EXPECT_LT(std::fabs(obs[i].m_dResRa) * kRadToArcsec, 0.1) << "pick " << i;
      EXPECT_LT(std::fabs(obs[i].m_dResDec) * kRadToArcsec, 0.1) << "pick " << i;
    }
  }
}

// The parabolic method on the long-period comet C/1998 P1 (e ≈ 1): q near
// the published value, and the ratio refinement brings the middle pick
// towards the parabola.
TEST_F(PreliminaryRealTest, ParabolaOfALongPeriodComet) {
  CDetermination view(false);
  ASSERT_TRUE(Load(view, "obs/mpc80/orbitfinder_C_1998_P1.txt"));
  DetClass* det = view.m_pDetClass;
  det->m_bParabolicMethod = 1;
  const std::vector<int> picks =
      ChooseWellSpaced(det->m_pOrbObs, det->m_nObsCount, CalendarToJd(1998, 11, 10), CalendarToJd(1999, 2, 28));
  for (int i : picks) OnObsListClick(view, i, nullptr);
  ASSERT_EQ(view.m_pEngine->m_nCalcState, kCalcPreliminary) << det->m_strError;
  const ElementBlock& el = view.m_pEngine->m_state.m_el;
  EXPECT_EQ(el.m_dE, 1.0);
  EXPECT_NEAR(el.m_dQ / 1.146, 1.0, 0.03);

  const double first = std::hypot(det->m_dPickResRa[1], det->m_dPickResDec[1]);
  for (int step = 0; step < 5; ++step) RefineParabolicRatio(ViewFitRun(view).Run());
  const double last = std::hypot(det->m_dPickResRa[1], det->m_dPickResDec[1]);
  // One ratio can zero one component of the middle residual; the other keeps
  // what a parabola cannot fit (the comet's e is 0.997): from some 1000" to
  // seconds of arc, and q closer to the published value.
  EXPECT_LT(last, first / 50);
  EXPECT_LT(last * kRadToArcsec, 15.0);
  EXPECT_NEAR(el.m_dQ / 1.146, 1.0, 0.01);
}

}  // namespace

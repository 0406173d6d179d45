#pragma once
// The orbit-determination session as a user drives it, without windows:
// observations read as the view reads them, three picks, two-body
// improvement, improvement with perturbations repeated to convergence, and a
// simple clipping of outliers between rounds. Shared by the improvement
// tests and the orbit-solution benchmark.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "astro/time_scales.h"
#include "data/comet_list.h"
#include "data/observation_reader.h"
#include "data/numerics.h"
#include "engine/auto_step.h"
#include "engine/determination_host.h"
#include "engine/differential_correction.h"
#include "engine/force_model.h"
#include "engine/improvement_epoch.h"
#include "engine/observation_picking.h"
#include "engine/two_body_correction.h"
#include "platform/app_services.h"
#include "platform/ui_services.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/data/test_observation_support.h"

#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

inline constexpr double kSupportRadToArcsec = 180.0 / M_PI * 3600.0;

// Lines of an 80-column file whose year lies in [fromYear, toYear); the two
// lines of a roving or satellite observation share their year.
inline std::string ObservationLinesBetween(const std::string& text, int fromYear, int toYear) {
  std::istringstream in(text);
  std::string line, out;
  while (std::getline(in, line)) {
    if (line.size() < 19) continue;
    const int year = std::atoi(line.substr(15, 4).c_str());
    if (year >= fromYear && year < toYear) out += line + "\n";
  }
  return out;
}

// Reads the observation file into the view, in time order. The count, or
// the reader's code.
inline int LoadSessionObservations(CDetermination& view, const std::string& obsFile, const std::string& stationsFile) {
  ScopedStationsFile stations(stationsFile);
  ObservationRecord* obs = nullptr;
  const int count = CTessaruneLib::GetMpcObs(obsFile, &obs);
  if (count <= 0) return count;
  std::stable_sort(obs, obs + count,
                   [](const ObservationRecord& a, const ObservationRecord& b) { return a.m_dJdTt < b.m_dJdTt; });
  DetClass* det = view.m_pDetClass;
  std::free(det->m_pOrbObs);
  det->m_pOrbObs = obs;
  det->m_nObsCount = count;
  // What the reader could not use stays out of the fit, as in the view.
  for (int i = 0; i < count; ++i)
    if (obs[i].m_nUnknownStation || obs[i].m_bDuplicate) obs[i].m_bRejected = 1;
  view.m_pEngine->m_nCalcState = kCalcLoaded;
  view.SetItemText(kIdStepCombo, kStepAutomatic);
  return count;
}

inline bool UsableForFit(const ObservationRecord& o) {
  return !o.m_bRejected && o.m_nUnknownStation == 0 && o.m_chObsType != 'V' && o.m_chObsType != 'S';
}

// Clicks the usable observations nearest the start, middle and end of the
// window; true when a preliminary orbit came out.
inline bool PickAndDetermine(CDetermination& view, double fromTT, double toTT) {
  DetClass* det = view.m_pDetClass;
  const ObservationRecord* obs = det->m_pOrbObs;
  std::vector<int> picks;
  for (double target : {fromTT, 0.5 * (fromTT + toTT), toTT}) {
    int best = -1;
    for (int i = 0; i < det->m_nObsCount; ++i) {
      if (!UsableForFit(obs[i]) || obs[i].m_dJdTt < fromTT || obs[i].m_dJdTt > toTT) continue;
      if (best < 0 || std::fabs(obs[i].m_dJdTt - target) < std::fabs(obs[best].m_dJdTt - target)) best = i;
    }
    if (best < 0 || std::find(picks.begin(), picks.end(), best) != picks.end()) return false;
    picks.push_back(best);
  }
  std::sort(picks.begin(), picks.end());
  for (int i : picks) OnObsListClick(view, i, nullptr);
  return view.m_pEngine->m_nCalcState == kCalcPreliminary;
}

// Excludes (by the program's own flag, not by hand) every observation
// outside [fromTT, toTT] and takes back those inside.
inline void KeepWindow(CDetermination& view, double fromTT, double toTT) {
  DetClass* det = view.m_pDetClass;
  for (int i = 0; i < det->m_nObsCount; ++i) {
    ObservationRecord& o = det->m_pOrbObs[i];
    if (o.m_nUnknownStation || o.m_bDuplicate) continue;
    o.m_bRejected = (o.m_dJdTt < fromTT || o.m_dJdTt > toTT) ? 1 : 0;
  }
}

// Called with the code after every improvement call of the helpers below
// (two-body steps and each call of a step with perturbations, redone calls
// included); empty when nobody watches.
inline std::function<void(int)>& AfterImprovementCall() {
  static std::function<void(int)> hook;
  return hook;
}

inline int Watched(int code) {
  if (AfterImprovementCall()) AfterImprovementCall()(code);
  return code;
}

// Two-body steps until the mean residual settles. The last code.
inline int ImproveTwoBody(CDetermination& view, int maxSteps) {
  OrbitEngine* engine = view.m_pEngine;
  engine->m_nCalcState = kCalcImprovedTwoBody;
  double previous = 1e300;
  for (int i = 0; i < maxSteps; ++i) {
    const int r = Watched(DifferentialCorrection(view.m_pDetClass, engine));
    if (r != 0) return r;
    if (std::fabs(previous - engine->m_dMeanResidual) < 1e-4 * engine->m_dMeanResidual + 1e-4) break;
    previous = engine->m_dMeanResidual;
  }
  return 0;
}

// The Epoch fields as a Julian day (TT); 0 when a field is empty.
inline double EpochFromFields(CDetermination& view) {
  const std::string y = view.GetItemText(kIdEpochYear), m = view.GetItemText(kIdEpochMonth),
                    d = view.GetItemText(kIdEpochDay);
  if (y.empty() || m.empty() || d.empty()) return 0.0;
  return CalendarToJd(std::atof(y.c_str()), std::atof(m.c_str()), std::atof(d.c_str()));
}

// One improvement step as the manual command makes it: up to twelve calls
// while the step asks to be redone. The last code (5 after twelve).
inline int ImprovementStep(CDetermination& view, int correct = 1) {
  int r = kEngineRedoStep;
  for (int i = 0; i < kImproveMaxRedo && r == kEngineRedoStep; ++i) {
    const double x = EpochFromFields(view);
    RoundFieldEpoch(&view, x);
    r = Watched(ImproveOrbitIteration(view.m_pEngine, x, correct));
  }
  return r;
}

// Steps with perturbations until the mean residual changes by less than a
// part in 10⁴. The last code; steps counts the steps.
inline int ImproveToConvergence(CDetermination& view, int maxSteps, int* steps = nullptr) {
  OrbitEngine* engine = view.m_pEngine;
  engine->m_bPerturbations = 1;
  double previous = 1e300;
  int n = 0, r = 0;
  for (; n < maxSteps; ++n) {
    r = ImprovementStep(view);
    if (r == kEngineRedoStep) continue;
    if (r != 0) break;
    const double mean = engine->m_dMeanResidual;
    const bool settled = std::fabs(previous - mean) <= 1e-4 * mean + 1e-5;
    previous = mean;
    if (settled) break;
  }
  if (steps) *steps = n + 1;
  return r;
}

// Excludes the observations whose larger residual component exceeds
// factor × the mean residual (at least floorArcsec) and takes back the others
// inside [fromTT, toTT]. The number excluded.
inline int ClipOutliers(CDetermination& view, double factor, double floorArcsec, double fromTT, double toTT) {
  DetClass* det = view.m_pDetClass;
  const double limit = std::max(floorArcsec, factor * view.m_pEngine->m_dMeanResidual);
  int excluded = 0;
  for (int i = 0; i < det->m_nObsCount; ++i) {
    ObservationRecord& o = det->m_pOrbObs[i];
    if (o.m_nUnknownStation || o.m_bDuplicate || o.m_bByHand) continue;
    const double worst = std::max(std::fabs(o.m_dResRa), std::fabs(o.m_dResDec)) * kSupportRadToArcsec;
    const bool out = o.m_dJdTt < fromTT || o.m_dJdTt > toTT || !(worst <= limit);
    o.m_bRejected = out ? 1 : 0;
    if (out && o.m_dJdTt >= fromTT && o.m_dJdTt <= toTT) ++excluded;
  }
  return excluded;
}

// The full solution of (99942) Apophis from its observations of 2004-2021,
// loaded: three picks of early 2005, the two-body improvement, then the
// improvement with perturbations, first over the early apparitions (only
// their span integrated) and then over the whole arc with outliers clipped
// twice. phaseDone(name) follows each phase. The code: 0, -100 when no
// preliminary orbit came out, else the failing step's.
inline int SolveApophis(CDetermination& view, const std::function<void(const char*)>& phaseDone = {}) {
  OrbitEngine& engine = *view.m_pEngine;
  const auto done = [&](const char* name) {
    if (phaseDone) phaseDone(name);
  };
  const double end = CalendarToJd(2022, 1, 1);
  KeepWindow(view, CalendarToJd(2004, 1, 1), CalendarToJd(2006, 1, 1));
  if (!PickAndDetermine(view, CalendarToJd(2005, 1, 1), CalendarToJd(2005, 3, 31))) return -100;
  done("preliminary");
  int r = ImproveTwoBody(view, 20);
  if (r != 0) return r;
  done("two-body");
  engine.m_bApophis = 1;
  for (int year : {2006, 2014}) {
    KeepWindow(view, CalendarToJd(2004, 1, 1), CalendarToJd(year, 1, 1));
    r = ImproveToConvergence(view, 30);
    if (r != 0) return r;
    done(year == 2006 ? "to 2006" : "to 2014");
  }
  engine.m_bApophis = 0;
  KeepWindow(view, CalendarToJd(2004, 1, 1), end);
  r = ImproveToConvergence(view, 30);
  if (r == 0) done("whole arc");
  for (int round = 0; round < 2 && r == 0; ++round) {
    ClipOutliers(view, 3.0, 1.5, CalendarToJd(2004, 1, 1), end);
    r = ImproveToConvergence(view, 30);
    if (r == 0) done(round == 0 ? "clipped once" : "clipped twice");
  }
  return r;
}

// A long arc as a user fits it: the recent arc first, in Apophis mode (only
// the span of the observations in use is integrated), widened stage by stage;
// then the whole arc with the epoch typed into the Epoch fields, and the
// outliers clipped.
inline int FitLongArc(CDetermination& view, const std::vector<double>& stageStarts, double endTT, double fieldEpoch,
               double clipFactor, double clipFloorArcsec, int clipRounds) {
  OrbitEngine& engine = *view.m_pEngine;
  int r = 0;
  engine.m_bApophis = 1;
  for (size_t i = 0; i + 1 < stageStarts.size(); ++i) {
    KeepWindow(view, stageStarts[i], endTT);
    r = ImproveToConvergence(view, 30);
    if (r != 0) return r;
  }
  engine.m_bApophis = 0;
  engine.m_dFieldEpoch = fieldEpoch;
  const double from = stageStarts.back();
  KeepWindow(view, from, endTT);
  r = ImproveToConvergence(view, 30);
  if (r != 0) return r;
  for (int round = 0; round < clipRounds && r == 0; ++round) {
    ClipOutliers(view, clipFactor, clipFloorArcsec, from, endTT);
    r = ImproveToConvergence(view, 30);
  }
  return r;
}

// Tests on real observations: the MPC's observatory codes and the DE405
// file of 1960-2060; skipped when the data is absent.
class RealObservationTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    s_dir = MakeTempDir("lsq_real");
    const std::string stations = StationLinesFromObsCodesPage();
    s_stationsFile = stations.empty() ? "" : WriteTestFile(s_dir, "stations.txt", stations);
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(s_dir); }

  void SetUp() override {
    const std::string de = TestDataPath("de/lnxp1960p2060.405");
    if (s_stationsFile.empty() || de.empty() || !TestDataFileExists(de))
      GTEST_SKIP() << "reference data not found: obscodes/ObsCodes.html and de/lnxp1960p2060.405";
    m_jpl = std::make_unique<JplReaderScope>(s_dir + "no-de441.bin", de);
  }

  // Observations of the file inside the planetary file's span; -1 when the file is absent.
  int Load(CDetermination& view, const std::string& relative) {
    const std::string path = TestDataPath(relative);
    if (path.empty() || !TestDataFileExists(path)) return -1;
    const std::string file = WriteTestFile(s_dir, "obs.txt", ObservationLinesBetween(ReadTestFile(path), 1960, 2060));
    return LoadSessionObservations(view, file, s_stationsFile);
  }

  HeadlessUiServices m_ui;
  ScopedUi m_scopedUi{m_ui};
  std::unique_ptr<JplReaderScope> m_jpl;
  static inline std::string s_dir, s_stationsFile;
};

// The same with the station list installed and the test folder as the data
// folder, and no comet list fetched, for the life of each test.
class RealStationsTest : public RealObservationTest {
protected:
  void SetUp() override {
    RealObservationTest::SetUp();
    if (IsSkipped()) return;
    m_stations = std::make_unique<ScopedStationsFile>(s_stationsFile);
    m_savedDataDir = TheApp().m_szDataDir;
    TheApp().m_szDataDir = s_dir;
    g_bCometElsDownloadTried = 1;
  }
  void TearDown() override {
    if (m_stations) TheApp().m_szDataDir = m_savedDataDir;
  }

  std::unique_ptr<ScopedStationsFile> m_stations;
  std::string m_savedDataDir;
};

// A calculation run of the view's solution from its epoch to end, as the forecast dialog prepares it.
inline std::unique_ptr<IntegrationState> ForecastState(OrbitEngine& engine, double end) {
  auto state = std::make_unique<IntegrationState>();
  SetupIntegrationState(&engine, state.get());
  state->m_el = engine.m_state.m_el;
  state->m_dEpoch = engine.m_state.m_dEpoch;
  state->m_dEnd = end;
  state->m_dDirection = end >= state->m_dEpoch ? 1.0 : -1.0;
  state->m_chMode = kModeCalculation;
  state->m_nBodies = 1;
  state->m_nSolveMask = 1;
  state->m_pGeoTrack = nullptr;
  const double h = CTessaruneLib::AutoIntegrationStep(state.get());
  state->m_dStep = h * state->m_dDirection;
  state->m_dStep2 = h * h;
  state->m_bStepControlWanted = 1;
  return state;
}

// The fit with perturbations: the epoch at the start of the arc's first day
// (the Earth bends the path within hours), a step fine enough for the last
// hours, outliers clipped every 40 steps. The improvement converges slowly
// on these arcs, hence the many steps.
inline int FitImpactor(CDetermination& view, double first, double last) {
  OrbitEngine& engine = *view.m_pEngine;
  view.SetItemText(kIdStepCombo, "5分37.5秒");
  engine.m_bPerturbations = 1;
  engine.m_dFieldEpoch = std::floor(first - 0.5) + 0.5;
  for (int k = 1; k <= 400; ++k) {
    if (k % 40 == 0) ClipOutliers(view, 3.0, 2.0, first, last);
    const int r = ImprovementStep(view);
    if (r != 0) return r;
  }
  return 0;
}

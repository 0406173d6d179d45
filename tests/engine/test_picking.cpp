// Picking three observations in the list, the determination the third pick
// starts, and the parabolic residuals and ratio refinement.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <regex>
#include <string>
#include <vector>

#include "engine/observation_picking.h"
#include "engine/preliminary_orbit.h"
#include "engine/view_fit_run.h"
#include "platform/ui_services.h"
#include "tests/common/test_data.h"
#include "tests/data/test_observation_support.h"
#include "tests/engine/test_preliminary_sky.h"

namespace {

constexpr double kMasPerRad = 180.0 / M_PI * 3600.0 * 1000.0;

// A view that records the calls the picking makes of it.
class RecordingView : public CDetermination {
public:
  RecordingView() : CDetermination(false) {}
  void UpdateControlsForState(int state) override { m_updates.push_back(state); }
  void RedrawObsListItem(int index) override { m_redrawn.push_back(index); }
  void ShowElementText(EngineWindow* edit, IntegrationState* state, int mode) override {
    EXPECT_EQ(edit, Window(kIdResultEdit));
    EXPECT_EQ(state, &m_pEngine->m_state);
    m_elementModes.push_back(mode);
  }
  void RefreshResidualList(ObservationRecord* obs, int shown) override {
    EXPECT_EQ(obs, m_pDetClass->m_pOrbObs);
    ++m_refreshes;
    CDetermination::RefreshResidualList(obs, shown);
  }

  int State() const { return m_pEngine->m_nCalcState; }
  std::vector<int> Picked() const {
    std::vector<int> rows;
    for (int i = 0; i < m_pDetClass->m_nObsCount; ++i)
      if (m_pDetClass->m_pOrbObs[i].m_bPicked) rows.push_back(i);
    return rows;
  }
  void Click(int row) {
    long result = -1;
    OnObsListClick(*this, row, &result);
    EXPECT_EQ(result, 0);
  }

  std::vector<int> m_updates;
  std::vector<int> m_redrawn;
  std::vector<int> m_elementModes;
  int m_refreshes = 0;
};

// Seven observations of an ellipse; the middle one at TT 2460000.3. (Gauss's
// equation can have more than one root; on this arc the iteration finds the
// orbit the observations came from.)
const SkyOrbit kEllipse = {2460000.5, 1.2, 0.3, 60, 110, 20};
const std::vector<double> kTimes = {2459940.3, 2459960.3, 2459980.3, 2460000.3, 2460020.3, 2460040.3, 2460060.3};

TEST(ObsListClick, ClicksThatDoNothing) {
  struct {
    const char* name;
    int state, row;
    bool loaded;
  } const kCases[] = {
      {"fatal state", kCalcFatal, 1, true},
      {"outside any row", kCalcLoaded, -1, true},
      {"row past the end", kCalcLoaded, 7, true},
      {"nothing loaded", kCalcLoaded, 0, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    RecordingView view;
    if (c.loaded) LoadSkyObservations(view, kEllipse, kTimes);
    view.m_pEngine->m_nCalcState = c.state;
    view.Click(c.row);
    EXPECT_TRUE(view.Picked().empty());
    EXPECT_EQ(view.State(), c.state);
    EXPECT_TRUE(view.m_updates.empty());
  }
}

// With nothing loaded or an improved orbit, a click only refreshes the controls.
TEST(ObsListClick, NoPickingWithoutObservationsOrWithAnImprovedOrbit) {
  for (int state : {kCalcNothing, kCalcImprovedTwoBody, kCalcImprovedPerturbed}) {
    SCOPED_TRACE(state);
    RecordingView view;
    LoadSkyObservations(view, kEllipse, kTimes);
    view.m_pEngine->m_nCalcState = state;
    view.Click(2);
    EXPECT_TRUE(view.Picked().empty());
    EXPECT_EQ(view.State(), state);
    EXPECT_EQ(view.m_updates, std::vector<int>{state});
  }
}

TEST(ObsListClick, ThirdPickDeterminesTheOrbit) {
  RecordingView view;
  LoadSkyObservations(view, kEllipse, kTimes);
  ElementBlock& el = view.m_pEngine->m_state.m_el;
  el.m_dA1 = el.m_dA2 = el.m_dA3 = 5.0;
  view.Click(1);
  view.Click(5);
  EXPECT_EQ(view.State(), kCalcPicking);
  EXPECT_EQ(view.m_nPicked, 2);
  EXPECT_TRUE(view.m_elementModes.empty());
  view.m_pEngine->m_nCancel = 1;  // a cancel left over from before is cleared by the pick
  view.Click(3);

  EXPECT_EQ(view.State(), kCalcPreliminary);
  EXPECT_EQ(view.m_nPicked, 3);
  EXPECT_EQ(view.m_elementModes, std::vector<int>{0});
  EXPECT_NEAR(el.m_dQ, kEllipse.q, 1e-6);
  EXPECT_NEAR(el.m_dE, kEllipse.e, 1e-6);
  // The Epoch proposal: the 40-day grid point after the middle pick
  // (TT 2460000.3), JD 2460040.5 = 2023 April 6.0.
  EXPECT_EQ(view.GetItemText(kIdEpochYear), "2023");
  EXPECT_EQ(view.GetItemText(kIdEpochMonth), "4");
  EXPECT_EQ(view.GetItemText(kIdEpochDay), "6.0");
  EXPECT_EQ(view.m_refreshes, 1);
  EXPECT_EQ(view.m_bResidualsShown, 1);
  for (int i = 0; i < view.m_pDetClass->m_nObsCount; ++i)
    EXPECT_LT(std::hypot(view.m_pDetClass->m_pOrbObs[i].m_dResRa, view.m_pDetClass->m_pOrbObs[i].m_dResDec) *
                  kMasPerRad,
              5.0);
  EXPECT_EQ(el.m_dA1, 1e-10);
  EXPECT_EQ(el.m_dA2, 1e-11);
  EXPECT_EQ(el.m_dA3, 1e-11);
  EXPECT_EQ(el.m_dA, 0.0);
  EXPECT_EQ(el.m_dM, 0.0);
  EXPECT_EQ(el.m_dN, 0.0);
  EXPECT_EQ(view.m_updates.back(), kCalcPreliminary);

  // A fourth pick is refused; clicking a pick takes it back.
  view.Click(6);
  EXPECT_EQ(view.Picked(), (std::vector<int>{1, 3, 5}));
  EXPECT_EQ(view.State(), kCalcPreliminary);
  view.Click(3);
  EXPECT_EQ(view.Picked(), (std::vector<int>{1, 5}));
  EXPECT_EQ(view.m_redrawn, (std::vector<int>{1, 5, 3, 3}));  // the fourth click repaints nothing
  EXPECT_EQ(view.m_nPicked, 2);
  EXPECT_EQ(view.State(), kCalcPicking);
  EXPECT_EQ(view.m_updates.back(), kCalcPicking);
}

// The picking on a plain run, with no view: the observer hears of the orbit
// while its non-gravitational values are still those it was found with, then
// of the Epoch proposal, then of the residuals.
class PickObserver : public FitObserver {
public:
  explicit PickObserver(const OrbitEngine& engine) : m_engine(engine) {}
  void ShowProgress(const char*) override { m_calls.push_back("progress"); }
  void LogEntry(const std::string&) override { m_calls.push_back("log"); }
  void ResidualsChanged(bool shown) override { m_calls.push_back(shown ? "residuals shown" : "residuals"); }
  void ScrollTo(int) override { m_calls.push_back("scroll"); }
  void StepUsed(double) override { m_calls.push_back("step"); }
  void NonGravChanged() override { m_calls.push_back("nongrav"); }
  void UncertaintiesChanged(const std::string&, const std::string&, int) override { m_calls.push_back("sigma"); }
  void ImprovementResultChanged(int) override { m_calls.push_back("result"); }
  void PicksChanged(int) override { m_calls.push_back("picks"); }
  void PreliminaryOrbitFound() override {
    m_calls.push_back("orbit");
    m_a1Found = m_engine.m_state.m_el.m_dA1;
  }
  void EpochProposed(double jdTT) override {
    m_calls.push_back("epoch");
    m_epoch = jdTT;
  }

  const OrbitEngine& m_engine;
  std::vector<std::string> m_calls;
  double m_a1Found = 0, m_epoch = 0;
};

TEST(PickingRun, ThreePicksDetermineTheOrbitWithoutAView) {
  CDetermination holder(false);  // only holds the engine and the observations
  LoadSkyObservations(holder, kEllipse, kTimes);
  holder.m_pEngine->m_state.m_el.m_dA1 = 5.0;
  PickObserver observer(*holder.m_pEngine);
  FitRun run{holder.m_pEngine, holder.m_pDetClass, FitOptions{}, &observer};

  struct {
    int row, outcome, picked;
  } const kClicks[] = {
      {1, kPickSet, 1}, {1, kPickCleared, 0}, {1, kPickSet, 1}, {5, kPickSet, 2},
      {-1, kPickIgnored, 2}, {7, kPickIgnored, 2}, {3, kPickThird, 3}, {6, kPickLocked, 3},
  };
  int picked = 0;
  for (const auto& c : kClicks) {
    SCOPED_TRACE(c.row);
    EXPECT_EQ(TogglePick(run, c.row, picked), c.outcome);
    EXPECT_EQ(picked, c.picked);
  }
  EXPECT_EQ(holder.m_pEngine->m_nCalcState, kCalcPicking);
  EXPECT_TRUE(observer.m_calls.empty());

  ASSERT_EQ(DeterminePickedOrbit(run), 0);
  EXPECT_EQ(observer.m_calls, (std::vector<std::string>{"orbit", "epoch", "residuals shown"}));
  EXPECT_EQ(observer.m_a1Found, 5.0);
  EXPECT_EQ(holder.m_pEngine->m_state.m_el.m_dA1, 1e-10);
  EXPECT_EQ(observer.m_epoch, 2460040.5);  // the 40-day grid point after TT 2460000.3
  EXPECT_EQ(holder.m_pEngine->m_nCalcState, kCalcPreliminary);
  EXPECT_EQ(TogglePick(run, 6, picked), kPickLocked);  // three picks and an orbit: no fourth
  EXPECT_EQ(holder.GetItemText(kIdEpochYear), "");    // the view was never written
}

// Picks whose directions coincide give no orbit: "[1]。", state 6, the
// controls left alone; taking a pick back restores the hint.
TEST(ObsListClick, FailedDeterminationAndTheWayBack) {
  RecordingView view;
  LoadSkyObservations(view, kEllipse, kTimes);
  ObservationRecord* obs = view.m_pDetClass->m_pOrbObs;
  for (int i : {3, 5}) {
    obs[i].m_dRa = obs[1].m_dRa;
    obs[i].m_dDec = obs[1].m_dDec;
    for (int j = 0; j < 3; ++j) obs[i].m_dSun[j] = obs[1].m_dSun[j];
  }
  for (int row : {1, 3}) view.Click(row);
  const size_t updates = view.m_updates.size();
  view.Click(5);
  EXPECT_EQ(view.GetItemText(kIdResultEdit), "解が求まらなかったので計算を中止しました[1]。");
  EXPECT_EQ(view.State(), kCalcPreliminaryFailed);
  EXPECT_EQ(view.m_updates.size(), updates);
  EXPECT_TRUE(view.m_elementModes.empty());

  view.Click(5);
  EXPECT_EQ(view.GetItemText(kIdResultEdit),
            "観測データをクリックして3つの観測を選択すると軌道決定できます。");
  EXPECT_EQ(view.State(), kCalcPicking);
}

// The cancel dialog's button, pressed while the iteration runs.
class CancellingUi : public HeadlessUiServices {
public:
  explicit CancellingUi(OrbitEngine* engine) : m_engine(engine) {}
  bool PumpOneEvent() override {
    m_engine->m_nCancel = 1;
    return true;
  }
  OrbitEngine* m_engine;
};

TEST(ObsListClick, CancelledDetermination) {
  RecordingView view;
  LoadSkyObservations(view, kEllipse, kTimes);
  CancellingUi ui(view.m_pEngine);
  ScopedUi scoped(ui);
  for (int row : {1, 3, 5}) view.Click(row);
  EXPECT_EQ(view.GetItemText(kIdResultEdit), "軌道決定を中止しました。3点を選び直してください。");
  EXPECT_EQ(view.State(), kCalcPreliminaryFailed);
}

TEST(ObsListClick, OperationLogBlock) {
  RecordingView view;
  LoadSkyObservations(view, kEllipse, kTimes);
  const std::string dir = MakeTempDir("picking_oplog");
  view.m_bOpLog = 1;
  view.m_strOpLogPath = dir + "oplog.txt";
  for (int row : {1, 3, 5}) view.Click(row);
  ASSERT_EQ(view.State(), kCalcPreliminary);
  const std::string text = ReadTestFile(view.m_strOpLogPath);
  const std::regex block(
      "\xEF\xBB\xBF"
      "\\[\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}\\] === 3点軌道決定\\(手動選択\\) ===\r\n"
      "選択観測: 2023/1/15\\.8000・2023/2/24\\.8000・2023/4/5\\.8000\r\n"
      "軌道要素\\(結果\\): T=[^\r\n]+\r\n");
  EXPECT_TRUE(std::regex_match(text, block)) << text;
  EXPECT_NE(text.find(view.FormatElementSummaryLine(0)), std::string::npos);
  std::filesystem::remove_all(dir);
}

// A parabola from three clicks: residuals of every observation from
// ComputeParabolicResiduals; the ratio refinement then walks Olbers' ratio
// towards the one that puts the middle pick on the orbit.
TEST(ParabolicPicking, ResidualsAndRatioRefinement) {
  RecordingView view;
  const SkyOrbit parabola = {2460000.5, 1.5, 1.0, 10, 250, 100};
  LoadSkyObservations(view, parabola, {2459970.5, 2459980.5, 2459990.5, 2460000.5, 2460010.5, 2460020.5});
  DetClass* det = view.m_pDetClass;
  det->m_bParabolicMethod = 1;
  for (int row : {1, 3, 5}) view.Click(row);
  ASSERT_EQ(view.State(), kCalcPreliminary) << det->m_strError;
  EXPECT_EQ(view.m_pEngine->m_state.m_el.m_dE, 1.0);
  EXPECT_EQ(view.m_refreshes, 1);
  const ObservationRecord* obs = det->m_pOrbObs;
  for (int n = 0; n < 3; ++n) {  // the array's picks agree with the method's own places
    EXPECT_NEAR(obs[2 * n + 1].m_dResRa * kMasPerRad, det->m_dPickResRa[n] * kMasPerRad, 1.0);
    EXPECT_NEAR(obs[2 * n + 1].m_dResDec * kMasPerRad, det->m_dPickResDec[n] * kMasPerRad, 1.0);
  }
  EXPECT_NE(obs[0].m_dResRa, 0.0);

  const double ratio = det->m_dOlbersRatio;
  const double firstMiddle = std::hypot(det->m_dPickResRa[1], det->m_dPickResDec[1]);
  RefineParabolicRatio(ViewFitRun(view).Run());
  EXPECT_EQ(det->m_dRatioAnchor, ratio);
  EXPECT_DOUBLE_EQ(det->m_dOlbersRatio, ratio + 0.01);
  EXPECT_EQ(view.m_refreshes, 2);
  for (int step = 0; step < 4; ++step) RefineParabolicRatio(ViewFitRun(view).Run());
  EXPECT_EQ(det->m_dRatioAnchor, ratio);  // the anchor stays
  const double lastMiddle = std::hypot(det->m_dPickResRa[1], det->m_dPickResDec[1]);
  EXPECT_LT(lastMiddle, 0.1 * firstMiddle);
  EXPECT_LT(lastMiddle * kMasPerRad, 100.0);
  EXPECT_NEAR(view.m_pEngine->m_state.m_el.m_dQ, parabola.q, 1e-4);
  EXPECT_EQ(view.State(), kCalcPreliminary);
  EXPECT_EQ(view.m_elementModes.size(), 1u);

  // Without the parabolic check box the command does nothing.
  det->m_bParabolicMethod = 0;
  const double before = det->m_dOlbersRatio;
  RefineParabolicRatio(ViewFitRun(view).Run());
  EXPECT_EQ(det->m_dOlbersRatio, before);
}

// A record whose place cannot be had leaves "[6]" and a zero pair; the
// other records are computed.
TEST(ParabolicResiduals, UnsolvableRecordLeavesItsText) {
  RecordingView view;
  const SkyOrbit parabola = {2460000.5, 1.5, 1.0, 10, 250, 100};
  LoadSkyObservations(view, parabola, {2459980.5, 2460000.5, 2460020.5});
  ElementBlock& el = view.m_pEngine->m_state.m_el;
  el.m_dT = parabola.T;
  el.m_dQ = parabola.q;
  el.m_dE = 1.0;
  OrbitOrientationVectors(parabola.periDeg * M_PI / 180, parabola.nodeDeg * M_PI / 180,
                          parabola.inclDeg * M_PI / 180, el.m_dP, el.m_dQvec);
  ObservationRecord* obs = view.m_pDetClass->m_pOrbObs;
  obs[2].m_dJdTt = std::numeric_limits<double>::quiet_NaN();
  obs[2].m_dResRa = obs[2].m_dResDec = 1.0;
  ComputeParabolicResiduals(ViewFitRun(view).Run());
  EXPECT_EQ(view.m_pDetClass->m_strError, "解が求まらなかったので計算を中止しました[6]");
  EXPECT_EQ(obs[2].m_dResRa, 0.0);
  EXPECT_EQ(obs[2].m_dResDec, 0.0);
  for (int i = 0; i < 2; ++i) EXPECT_LT(std::hypot(obs[i].m_dResRa, obs[i].m_dResDec) * kMasPerRad, 0.5);
  EXPECT_EQ(view.m_refreshes, 1);
}

}  // namespace

// Staging by a jump of the residuals, solution snapshots, their display of
// the non-gravitational verdicts, and re-enabling the observations, on small
// fixtures made here.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "astro/time_scales.h"
#include "engine/determination_host.h"
#include "engine/improvement_staging.h"
#include "engine/view_fit_run.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"

namespace {

constexpr double kArcsec = M_PI / 180.0 / 3600.0;

struct Obs {
  double residualArcsec;
  int rejected = 0, byHand = 0, unknownStation = 0;
};

// One observation a month from 2001 January on, with the given residuals and flags.
void MakeObservations(CDetermination& view, const std::vector<Obs>& list) {
  DetClass* det = view.m_pDetClass;
  std::free(det->m_pOrbObs);
  det->m_pOrbObs = static_cast<ObservationRecord*>(std::calloc(list.size() + 1, sizeof(ObservationRecord)));
  for (size_t i = 0; i < list.size(); ++i) {
    ObservationRecord& o = det->m_pOrbObs[i];
    o.m_dJdTt = o.m_dJdUtc = CalendarToJd(2001, 1 + static_cast<double>(i), 15);
    o.m_dResRa = list[i].residualArcsec * kArcsec;
    o.m_dResDec = -0.5 * list[i].residualArcsec * kArcsec;
    o.m_bRejected = static_cast<unsigned char>(list[i].rejected);
    o.m_bByHand = static_cast<unsigned char>(list[i].byHand);
    o.m_nUnknownStation = list[i].unknownStation;
  }
  det->m_pOrbObs[list.size()].m_dJdUtc = -1.0;
  det->m_nObsCount = static_cast<int>(list.size());
}

std::vector<int> RejectedFlags(const CDetermination& view) {
  std::vector<int> flags;
  for (int i = 0; i < view.m_pDetClass->m_nObsCount; ++i) flags.push_back(view.m_pDetClass->m_pOrbObs[i].m_bRejected);
  return flags;
}

class RepaintCountingView : public CDetermination {
public:
  void RepaintNonGravLabels() override { ++m_nRepaints; }
  int m_nRepaints = 0;
};

TEST(Staging, RejectsTheObservationsBeforeAJumpOnlyWhenMoreThanFourStayAfterIt) {
  const Obs big{5000}, small{1}, auto_{5000, 1}, hand{5000, 1, 1}, unknown{5000, 1, 0, 1};
  struct Case {
    const char* what;
    std::vector<Obs> obs;
    int result;
    std::vector<int> rejected;
    const char* log;
  };
  const Case cases[] = {
      {"jump at the third, seven after it",
       {big, big, big, big, small, small, small, small, small, small},
       3,
       {1, 1, 1, 0, 0, 0, 0, 0, 0, 0},
       "段階改良: 残差が急増する2001年3月以前の3観測を一時除外し、最新側の7観測から改良します\r\n"},
      {"by hand and unknown stations neither make nor break the run nor count",
       {auto_, big, big, hand, unknown, big, small, small, small, small, small, hand},
       2,
       {1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 1},
       "段階改良: 残差が急増する2001年3月以前の2観測を一時除外し、最新側の6観測から改良します\r\n"},
      {"four after the jump: undone, earlier automatic rejections taken back too",
       {auto_, big, big, big, big, small, small, small, hand},
       0,
       {0, 0, 0, 0, 0, 0, 0, 0, 1},
       ""},
      {"single large residuals make no jump", {big, small, big, small, small, small, small, small}, 0,
       {0, 0, 0, 0, 0, 0, 0, 0}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CDetermination view;
    MakeObservations(view, c.obs);
    std::string log;
    EXPECT_EQ(StageByResidualJump(ViewFitRun(view).Run(), log), c.result);
    EXPECT_EQ(RejectedFlags(view), c.rejected);
    EXPECT_EQ(log, c.log);
  }
}

TEST(Staging, EnableAllKeepsOnlyHandAndUnknownStationRejections) {
  CDetermination view;
  MakeObservations(view, {{1, 1}, {1, 1, 1}, {1, 1, 0, 1}, {1}});
  std::string log;
  EnableAllObservations(ViewFitRun(view).Run(), log);
  EXPECT_EQ(RejectedFlags(view), (std::vector<int>{0, 1, 1, 0}));
  EXPECT_EQ(log, "  全観測を有効化: 有効2個\r\n");
}

TEST(Snapshots, RestoreBringsTheSolutionBackAndOnlyTheFlagsOfLoadedObservations) {
  CDetermination view;
  OrbitEngine& engine = *view.m_pEngine;
  MakeObservations(view, {{1, 1}, {1}, {1, 1}, {1}, {1, 1}, {1}});
  ElementBlock& el = engine.m_state.m_el;
  el.m_dT = 2451900.5, el.m_dPeri = 1.0, el.m_dNode = 2.0, el.m_dIncl = 0.3, el.m_dQ = 0.9, el.m_dE = 0.2;
  el.m_dA1 = 2e-9, el.m_dA2 = 1e-10, el.m_dA3 = 0;
  engine.m_state.m_dEpoch = 2451980.5;
  engine.m_dMeanResidual = 0.7;
  engine.m_nUsedObs = 3;
  engine.m_bNonGrav = 1, engine.m_nNonGravModel = 2, engine.m_bNonGravA3 = 0;
  engine.m_dErrT = 0.01, engine.m_dErrN = 1e-6, engine.m_bErrValid = 1;
  SolutionSnapshot snap;
  SaveSolution(ViewFitRun(view).Run(), snap);
  EXPECT_EQ(snap.valid, 1);
  EXPECT_EQ(snap.usableCount, 3);
  EXPECT_EQ(snap.flagCount, 6);

  // Another solution, with fewer observations loaded.
  MakeObservations(view, {{1}, {1, 1}, {1}, {1, 1}});
  el = ElementBlock{};
  engine.m_dMeanResidual = 9, engine.m_nUsedObs = 1, engine.m_bNonGrav = 0, engine.m_nNonGravModel = 0;
  engine.m_dErrT = 0, engine.m_bErrValid = 0, engine.m_bHaveSaved = 1, engine.m_bCorrectionStopped = 1;
  engine.m_nWorsenRetries = 2;
  RestoreSolution(ViewFitRun(view).Run(), snap);
  EXPECT_EQ(RejectedFlags(view), (std::vector<int>{1, 0, 1, 0}));
  EXPECT_EQ(el.m_dT, 2451900.5);
  EXPECT_EQ(el.m_dA1, 2e-9);
  const double a = 0.9 / 0.8, n = 0.01720209895 / std::pow(a, 1.5);
  EXPECT_DOUBLE_EQ(el.m_dA, a);
  EXPECT_DOUBLE_EQ(el.m_dN, n);
  EXPECT_NEAR(el.m_dM, 80.0 * n, 1e-12);
  EXPECT_EQ(engine.m_dMeanResidual, 0.7);
  EXPECT_EQ(engine.m_nUsedObs, 3);
  EXPECT_EQ(engine.m_nNonGravModel, 2);
  EXPECT_EQ(view.IsChecked(kIdNonGravCheck), 1);
  EXPECT_EQ(view.GetSelection(kIdNonGravModelCombo), 2);
  EXPECT_EQ(engine.m_dErrT, 0.01);
  EXPECT_EQ(engine.m_bErrValid, 1);
  EXPECT_EQ(engine.m_bHaveSaved + engine.m_bCorrectionStopped + engine.m_nWorsenRetries, 0);
  EXPECT_EQ(snap.valid, 1);  // restoring keeps it

  SolutionSnapshot never;
  el.m_dT = 1;
  RestoreSolution(ViewFitRun(view).Run(), never);
  EXPECT_EQ(el.m_dT, 1);
}

TEST(Snapshots, RadiationPressureShowsTheAreaToMassRatioAndItsVerdict) {
  // 1 AU/day² in m/s² over the solar radiation pressure at 1 AU (N/m²).
  const double perA1 = 1.495978707e11 / (86400.0 * 86400.0) / 4.53980733564685e-6;
  struct Case {
    double am, sigmaAm;  // m²/kg; sigma 0: no valid uncertainty
    const char* text;
    const char* verdict;
  };
  const Case cases[] = {
      {0.02, 0.002, "0.02±0.002", "人工物"},  {0.0005, 0.00025, "0.0005±0.00025", "天然?"},
      {0.005, 0.001, "0.005±0.001", "中間"},  {-0.004, 0.001, "-0.004±0.001", "不定"},
      {0.02, 0.05, "0.02±0.05", "未判定"},    {0.02, 0, "0.02", "未判定"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    CDetermination view;
    OrbitEngine& engine = *view.m_pEngine;
    engine.m_nCalcState = kCalcImprovedPerturbed;
    engine.m_bNonGrav = 1;
    engine.m_nNonGravModel = 3;
    engine.m_state.m_el.m_dA1 = c.am / perA1;
    SolutionSnapshot snap;
    engine.m_dErrA1 = c.sigmaAm / perA1;
    engine.m_bErrValid = c.sigmaAm > 0 ? 1 : 0;
    SaveSolution(ViewFitRun(view).Run(), snap);
    RestoreSolutionDisplay(ViewFitRun(view).Run(), snap);
    EXPECT_EQ(view.GetItemText(kIdAreaToMassText), c.text);
    EXPECT_EQ(view.GetItemText(kIdAreaToMassVerdict), c.verdict);
    EXPECT_TRUE(view.IsItemVisible(kIdAreaToMassText));
    EXPECT_FALSE(view.IsItemVisible(kIdNonGravA3Check));
  }
}

TEST(Snapshots, VerdictColourOfCometaryForces) {
  // Observed over perihelion (q = 1 AU) out to about 2.4 AU: g(r) of the
  // water-ice law falls by far more than 3 over that range.
  struct Case {
    const char* what;
    double a1, errA1, a2;
    int colour;
  };
  const Case cases[] = {
      {"significant and cometary", 2e-8, 1e-9, 1e-9, 2},
      {"significant, pushed sunwards", -2e-8, 1e-9, 1e-9, 1},
      {"significant, transverse larger", 2e-8, 1e-9, 3e-8, 1},
      {"significant, too large for a comet", 2e-6, 1e-8, 0, 1},
      {"not significant", 2e-9, 1e-9, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RepaintCountingView view;
    MakeObservations(view, {{1}, {1}, {1}});
    ObservationRecord* obs = view.m_pDetClass->m_pOrbObs;
    OrbitEngine& engine = *view.m_pEngine;
    ElementBlock& el = engine.m_state.m_el;
    el.m_dQ = 1.0, el.m_dE = 0.6, el.m_dT = obs[1].m_dJdTt;
    obs[0].m_dJdTt = el.m_dT - 250, obs[2].m_dJdTt = el.m_dT + 250;
    el.m_dA1 = c.a1, el.m_dA2 = c.a2;
    engine.m_dErrA1 = c.errA1;
    engine.m_bErrValid = 1, engine.m_bNonGrav = 1, engine.m_nCalcState = kCalcImprovedPerturbed;
    engine.m_nUsedObs = 3;
    SolutionSnapshot snap;
    SaveSolution(ViewFitRun(view).Run(), snap);
    RestoreSolutionDisplay(ViewFitRun(view).Run(), snap);
    EXPECT_EQ(view.m_nNonGravVerdictColour, c.colour);
    EXPECT_EQ(view.m_nRepaints, c.colour != 0 ? 1 : 0);  // repainted only when it changed
    RestoreSolutionDisplay(ViewFitRun(view).Run(), snap);
    EXPECT_EQ(view.m_nRepaints, c.colour != 0 ? 1 : 0);
  }
}

}  // namespace

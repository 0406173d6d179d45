// The improvement with perturbations, call by call, on the short arc of
// 2015 AB (37 observations, 2009-2015): where the first call puts the epoch,
// the split passes, the residuals-only call, failures that leave the orbit
// and the calculation state as they were, and the covariance.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "astro/time_scales.h"
#include "engine/determination_host.h"
#include "engine/differential_correction.h"
#include "engine/improvement_covariance.h"
#include "platform/numbers.h"
#include "tests/engine/test_improvement_support.h"

namespace {

class DifferentialCorrectionTest : public RealObservationTest {
protected:
  // 2015 AB improved in two-body motion from three picks of 2015.
  void SetUp() override {
    RealObservationTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_GT(Load(m_view, "obs/mpc80/orbfit_2015AB.obs"), 30);
    ASSERT_TRUE(PickAndDetermine(m_view, CalendarToJd(2015, 1, 1), CalendarToJd(2015, 2, 28)));
    ASSERT_EQ(ImproveTwoBody(m_view, 20), 0);
    m_engine.m_bPerturbations = 1;
  }
  // An Epoch far before the default one, so that the first call moves the
  // orbit by integration.
  void TypeEarlyEpoch() {
    m_view.SetItemText(kIdEpochYear, "2014");
    m_view.SetItemText(kIdEpochMonth, "1");
    m_view.SetItemText(kIdEpochDay, "1.5");
  }
  double LastTT() const { return m_view.m_pDetClass->m_pOrbObs[m_view.m_pDetClass->m_nObsCount - 1].m_dJdTt; }

  CDetermination m_view;
  OrbitEngine& m_engine = *m_view.m_pEngine;
  IntegrationState& m_state = m_view.m_pEngine->m_state;
};

// The first call moves the two-body orbit to the 40-day grid point after the
// last observation and integrates backwards through all observations.
TEST_F(DifferentialCorrectionTest, FirstCallPlacesTheEpochAfterTheObservations) {
  TypeEarlyEpoch();
  const double x = EpochFromFields(m_view);
  ASSERT_EQ(ImprovementStep(m_view), 0) << m_engine.m_strMessage;
  const double E0 = (std::trunc(LastTT() / 40.0) + 1.0) * 40.0 + 0.5;
  ASSERT_GT(E0 - x, 180.0);  // far enough to be moved by integration
  EXPECT_EQ(m_engine.m_nCalcState, kCalcImprovedPerturbed);
  EXPECT_EQ(m_state.m_dEpoch, E0);
  EXPECT_EQ(m_state.m_el.m_dEpoch, E0);
  EXPECT_NEAR(EpochFromFields(m_view), E0, 1e-9);
  EXPECT_EQ(m_state.m_dDirection, -1.0);
  EXPECT_EQ(m_state.m_nBodies, 7);
  EXPECT_EQ(m_state.m_nSolveMask, 0x7F);
  EXPECT_EQ(m_engine.m_strStepNotes.find("残差の積分を2回に分けました"), std::string::npos);
  EXPECT_EQ(m_engine.m_nUsedObs, 37);
  EXPECT_EQ(m_engine.m_bCovarianceValid, 1);
  EXPECT_EQ(m_engine.m_nCovarianceSize, 6);
  EXPECT_EQ(m_engine.m_dCovarianceEpoch, E0);
  EXPECT_EQ(m_engine.m_nCovarianceSignature, ComputeObservationSignature(&m_engine));
  EXPECT_EQ(m_engine.m_bErrValid, 1);
  EXPECT_GT(m_engine.m_dErrT, 0.0);
  EXPECT_NE(m_view.m_strCalcLog.find("【積分間隔のログ】\r\n"), std::string::npos);
  EXPECT_NE(m_engine.m_strStepLog.find("改良本番の積分間隔: "), std::string::npos);
  ASSERT_EQ(ImproveToConvergence(m_view, 20), 0);
  EXPECT_LT(m_engine.m_dMeanResidual, 0.5);
}

// The first call with perturbations takes the two-body elements as
// osculating at the typed epoch and carries them to the grid point by
// integration: more than a year of the planets' pull changes q, e and T
// there (taken as osculating at the grid point they would stay as they were).
TEST_F(DifferentialCorrectionTest, FirstCallCarriesTheTwoBodyOrbitToTheGridPoint) {
  const ElementBlock twoBody = m_state.m_el;
  TypeEarlyEpoch();
  ASSERT_EQ(ImprovementStep(m_view, 0), 0) << m_engine.m_strMessage;
  ASSERT_GT(m_state.m_dEpoch - CalendarToJd(2014, 1, 1.5), 180.0);
  const ElementBlock& moved = m_state.m_el;
  std::printf("moved by integration: dq %.3e AU, de %.3e, dT %.3e d\n", moved.m_dQ - twoBody.m_dQ,
              moved.m_dE - twoBody.m_dE, moved.m_dT - twoBody.m_dT);
  EXPECT_GT(std::fabs(moved.m_dQ - twoBody.m_dQ), 2e-6);  // measured 9.5e-6
  EXPECT_GT(std::fabs(moved.m_dE - twoBody.m_dE), 1e-6);  // 4.0e-6
  EXPECT_GT(std::fabs(moved.m_dT - twoBody.m_dT), 0.01);  // 0.064 day
}

// An epoch typed inside the arc splits the passes; an observation exactly at
// the epoch goes forwards. The correction state is forgotten on the move.
TEST_F(DifferentialCorrectionTest, EpochInsideTheArcSplitsThePasses) {
  ASSERT_EQ(ImproveToConvergence(m_view, 20), 0);
  const ObservationRecord* obs = m_view.m_pDetClass->m_pOrbObs;
  int k = 0;
  while (obs[k].m_dJdTt < CalendarToJd(2015, 1, 1)) ++k;
  m_engine.m_dFieldEpoch = obs[k].m_dJdTt;
  ASSERT_EQ(ImprovementStep(m_view), 0) << m_engine.m_strMessage;
  EXPECT_EQ(m_state.m_dEpoch, obs[k].m_dJdTt);
  EXPECT_NE(m_engine.m_strStepNotes.find(FormatC("(元期より前の観測 %d個を逆行、元期以後の観測 %d個を順行)", k, 37 - k)),
            std::string::npos)
      << m_engine.m_strStepNotes;
  EXPECT_NE(m_view.m_strCalcLog.find("計算者の指定により、元期を "), std::string::npos);
  EXPECT_EQ(m_engine.m_nPassFirst, 0);
  EXPECT_EQ(m_engine.m_nPassLast, -1);
  const double before = m_engine.m_dMeanResidual;
  ASSERT_EQ(ImproveToConvergence(m_view, 20), 0);
  EXPECT_NEAR(m_engine.m_dMeanResidual, before, 0.05);
}

// A residuals-only call keeps the covariance but marks the uncertainties
// invalid; the mean residual belongs to the orbit as it is.
TEST_F(DifferentialCorrectionTest, ResidualsOnlyCall) {
  ASSERT_EQ(ImproveToConvergence(m_view, 20), 0);
  const double covariance = m_engine.m_covariance[0][0];
  const ElementBlock before = m_state.m_el;
  const double mean = m_engine.m_dMeanResidual;
  ASSERT_EQ(ImprovementStep(m_view, 0), 0);
  EXPECT_EQ(m_state.m_nBodies, 1);
  EXPECT_EQ(m_engine.m_bErrValid, 0);
  EXPECT_EQ(m_engine.m_dErrT, 0.0);
  EXPECT_EQ(m_engine.m_bCovarianceValid, 1);
  EXPECT_EQ(m_engine.m_covariance[0][0], covariance);
  EXPECT_EQ(m_state.m_el.m_dT, before.m_dT);
  EXPECT_NEAR(m_engine.m_dMeanResidual, mean, 0.01);
  EXPECT_EQ(m_engine.m_bHaveSaved, 0);
}

// A first call with perturbations that is cancelled, or that fails after it
// moved the orbit, leaves the two-body orbit, its epoch and the calculation
// state as they were, so that the next call starts afresh.
TEST_F(DifferentialCorrectionTest, FailedFirstCallPutsEverythingBack) {
  TypeEarlyEpoch();
  const ElementBlock before = m_state.m_el;
  const double epoch = m_state.m_dEpoch;
  const std::string day = m_view.GetItemText(kIdEpochDay);
  ObservationRecord& first = m_view.m_pDetClass->m_pOrbObs[0];
  const double firstTT = first.m_dJdTt;
  struct Case {
    const char* name;
    bool cancel;
    double firstTT;  // the first observation's time during the call
    int result;
    const char* message;
  };
  // Before the planetary file's span: the passes fail after the move.
  const Case cases[] = {{"cancelled", true, firstTT, kEngineCancelled, "[中止]ボタンにより計算を中止しました。"},
                        {"passes failed", false, CalendarToJd(1955, 1, 1), kEnginePerturbersFailed, kMsgPlanetaryData}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    first.m_dJdTt = c.firstTT;
    ASSERT_EQ(BeginBusy(&m_engine), 0);
    if (c.cancel) m_engine.m_nCancel = 1;
    EXPECT_EQ(ImproveOrbitIteration(&m_engine, EpochFromFields(m_view), 1), c.result);
    EndBusy(&m_engine);
    first.m_dJdTt = firstTT;
    EXPECT_EQ(m_engine.m_strMessage, c.message);
    EXPECT_EQ(m_engine.m_nCalcState, kCalcImprovedTwoBody);
    EXPECT_EQ(m_state.m_el.m_dT, before.m_dT);
    EXPECT_EQ(m_state.m_el.m_dQ, before.m_dQ);
    EXPECT_EQ(m_state.m_el.m_dPeri, before.m_dPeri);
    EXPECT_EQ(m_state.m_el.m_dEpoch, before.m_dEpoch);
    EXPECT_EQ(m_state.m_dEpoch, epoch);
    EXPECT_EQ(m_view.GetItemText(kIdEpochDay), day);
  }
  ASSERT_EQ(ImproveToConvergence(m_view, 20), 0) << m_engine.m_strMessage;
  EXPECT_LT(m_engine.m_dMeanResidual, 0.5);
}

// With every observation rejected the call fails and nothing moves; the
// mean residual is never reported as a number it is not.
TEST_F(DifferentialCorrectionTest, NoUsableObservationFails) {
  ASSERT_EQ(ImproveToConvergence(m_view, 20), 0);
  const ElementBlock before = m_state.m_el;
  const double mean = m_engine.m_dMeanResidual;
  DetClass* det = m_view.m_pDetClass;
  for (int i = 0; i < det->m_nObsCount; ++i) det->m_pOrbObs[i].m_bRejected = 1;
  for (int correct : {1, 0}) {
    SCOPED_TRACE(correct);
    EXPECT_EQ(ImprovementStep(m_view, correct), kEngineFailed);
    EXPECT_EQ(m_engine.m_strMessage, kMsgAllRejected);
    EXPECT_EQ(m_state.m_el.m_dT, before.m_dT);
    EXPECT_EQ(m_state.m_el.m_dE, before.m_dE);
    EXPECT_EQ(m_engine.m_dMeanResidual, mean);
  }
  m_engine.m_bApophis = 1;
  EXPECT_EQ(ImprovementStep(m_view), kEngineFailed);
  EXPECT_EQ(m_engine.m_strMessage, kMsgApophisNoObservation);
}

// Elements that cannot be integrated are refused before the passes, and the
// elements of before the last correction come back.
TEST_F(DifferentialCorrectionTest, ImpossibleElementsAreRefused) {
  ASSERT_EQ(ImprovementStep(m_view), 0);
  ASSERT_EQ(m_engine.m_bHaveSaved, 1);
  const double savedQ = m_engine.m_savedElements[4];
  struct Case {
    const char* name;
    double q, incl;
    const char* message;
  };
  for (const Case& c : {Case{"not finite", NAN, 0.1, kMsgElementsNotFinite},
                        Case{"incl beyond 180 deg", 1.0, 3.2, kMsgImpossibleElements}}) {
    SCOPED_TRACE(c.name);
    m_engine.m_bHaveSaved = 1;
    m_state.m_el.m_dQ = c.q;
    m_state.m_el.m_dIncl = c.incl;
    EXPECT_EQ(ImproveOrbitIteration(&m_engine, EpochFromFields(m_view), 1), kEngineFailed);
    EXPECT_EQ(m_engine.m_strMessage, std::string(c.message) + "(軌道要素は直前の補正前の値へ戻しました)");
    EXPECT_EQ(m_state.m_el.m_dQ, savedQ);
    EXPECT_EQ(m_engine.m_nCalcState, kCalcImprovedPerturbed);
  }
}

// The solved parameters follow the settings: fixed e leaves e out, the
// non-gravitational models add A1 (radiation pressure), A1 and A2, or A1-A3;
// a change of the settings forgets the correction history.
TEST_F(DifferentialCorrectionTest, SolvedParametersFollowTheSettings) {
  ASSERT_EQ(ImproveToConvergence(m_view, 20), 0);
  struct Case {
    const char* name;
    int fixE, nonGrav, model, a3;
    int bodies, mask;
  };
  const Case cases[] = {
      {"fixed e", 1, 0, 0, 0, 6, 0x3F},       {"radiation pressure", 0, 1, 3, 0, 8, 0xFF},
      {"A1 and A2", 0, 1, 0, 0, 9, 0x1FF},    {"A1, A2 and A3", 0, 1, 0, 1, 10, 0x3FF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_view.m_pDetClass->m_bFixEcc = c.fixE;
    m_view.SetItemText(kIdFixEEdit, FormatC("%.10f", m_state.m_el.m_dE));
    m_engine.m_bNonGrav = c.nonGrav;
    m_engine.m_nNonGravModel = c.model;
    m_engine.m_bNonGravA3 = c.a3;
    m_engine.m_bCorrectionStopped = 1;  // forgotten with the rest of the history
    const int r = ImprovementStep(m_view);
    ASSERT_TRUE(r == 0 || r == kEngineRedoStep) << m_engine.m_strMessage;
    EXPECT_EQ(m_state.m_nBodies, c.bodies);
    EXPECT_EQ(m_state.m_nSolveMask, c.mask);
    EXPECT_EQ(m_engine.m_bCorrectionStopped, 0);
    EXPECT_EQ(m_engine.m_nSnapFixE, c.fixE);
    if (r == 0 && m_engine.m_bCovarianceValid) {
      EXPECT_EQ(m_engine.m_nCovarianceSize, c.bodies - 1);
    }
  }
}

// The signature follows every input of the fit that the covariance depends on.
TEST(ObservationSignature, ChangesWithTheInputsOfTheFit) {
  CDetermination view;
  DetClass* det = view.m_pDetClass;
  OrbitEngine* engine = view.m_pEngine;
  const uint32_t settingsOnly = ComputeObservationSignature(engine);
  det->m_pOrbObs = static_cast<ObservationRecord*>(std::calloc(4, sizeof(ObservationRecord)));
  det->m_nObsCount = 3;
  for (int i = 0; i < 3; ++i) det->m_pOrbObs[i].m_dWeight = 1.0;
  det->m_pOrbObs[3].m_dJdUtc = -1.0;
  const uint32_t base = ComputeObservationSignature(engine);
  EXPECT_NE(base, settingsOnly);
  ObservationRecord& o = det->m_pOrbObs[1];
  struct Change {
    const char* name;
    void (*apply)(ObservationRecord&, OrbitEngine&, DetClass&);
    bool changes;
  };
  const Change changes[] = {
      {"weight by 0.001", [](ObservationRecord& r, OrbitEngine&, DetClass&) { r.m_dWeight = 1.001; }, true},
      {"weight by 0.0001", [](ObservationRecord& r, OrbitEngine&, DetClass&) { r.m_dWeight = 1.0001; }, false},
      {"rejected", [](ObservationRecord& r, OrbitEngine&, DetClass&) { r.m_bRejected = 1; }, true},
      {"by hand", [](ObservationRecord& r, OrbitEngine&, DetClass&) { r.m_bByHand = 1; }, true},
      {"station excluded", [](ObservationRecord& r, OrbitEngine&, DetClass&) { r.m_bStationRejected = 1; }, true},
      {"unknown station", [](ObservationRecord& r, OrbitEngine&, DetClass&) { r.m_nUnknownStation = 1; }, true},
      {"residual", [](ObservationRecord& r, OrbitEngine&, DetClass&) { r.m_dResRa = 1.0; }, false},
      {"non-grav", [](ObservationRecord&, OrbitEngine& e, DetClass&) { e.m_bNonGrav = 1; }, true},
      {"model", [](ObservationRecord&, OrbitEngine& e, DetClass&) { e.m_nNonGravModel = 2; }, true},
      {"A3", [](ObservationRecord&, OrbitEngine& e, DetClass&) { e.m_bNonGravA3 = 1; }, true},
      {"fix e", [](ObservationRecord&, OrbitEngine&, DetClass& d) { d.m_bFixEcc = 1; }, true},
      {"weight not a number", [](ObservationRecord& r, OrbitEngine&, DetClass&) { r.m_dWeight = NAN; }, true},
  };
  for (const Change& c : changes) {
    SCOPED_TRACE(c.name);
    const ObservationRecord saved = o;
    const int nonGrav = engine->m_bNonGrav, model = engine->m_nNonGravModel, a3 = engine->m_bNonGravA3;
    const int fixE = det->m_bFixEcc;
    c.apply(o, *engine, *det);
    EXPECT_EQ(ComputeObservationSignature(engine) != base, c.changes);
    o = saved;
    engine->m_bNonGrav = nonGrav, engine->m_nNonGravModel = model, engine->m_bNonGravA3 = a3;
    det->m_bFixEcc = fixE;
  }
}

}  // namespace

namespace {

// Covariance from a normal matrix made to measure: σ0² N⁻¹ with σ0 from the
// weighted residuals, the uncertainties by position, a and the period by
// first-order propagation; a matrix without a usable inverse is refused.
TEST(ImprovementCovariance, ScaledInverseOfTheNormalMatrix) {
  CDetermination view;
  OrbitEngine& engine = *view.m_pEngine;
  IntegrationState& state = engine.m_state;
  state.m_nBodies = 7;
  state.m_dEpoch = 2460000.5;
  state.m_el.m_dQ = 1.2;
  state.m_el.m_dE = 0.4;
  // N = D (I + 0.1 off-diagonal) D with scales in the units' ranges.
  const double scale[6] = {1e3, 1e5, 1e5, 1e5, 1e6, 1e6};
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 6; ++j) state.m_dNormal[i][j] = scale[i] * scale[j] * (i == j ? 1.0 : 0.1);
  engine.m_dSumWeights = 50.0;
  engine.m_dWeightedSumSq = 47.0;  // σ0 = √(47 / (100 - 6)) = √0.5
  ComputeImprovementCovariance(&engine, &state);
  ASSERT_EQ(engine.m_bCovarianceValid, 1);
  ASSERT_EQ(engine.m_bErrValid, 1);
  EXPECT_NEAR(engine.m_dSigma0, std::sqrt(0.5), 1e-15);
  EXPECT_EQ(engine.m_nCovarianceSize, 6);
  EXPECT_EQ(engine.m_dCovarianceEpoch, 2460000.5);
  // C N = σ0² I (σ0 in radians).
  const double s2 = 0.5 / (206264.80624709636 * 206264.80624709636);
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 6; ++j) {
      double cn = 0;
      for (int k = 0; k < 6; ++k) cn += engine.m_covariance[i][k] * state.m_dNormal[k][j];
      EXPECT_NEAR(cn / s2, i == j ? 1.0 : 0.0, 1e-12) << i << "," << j;
    }
  EXPECT_NEAR(engine.m_dErrT, std::sqrt(engine.m_covariance[0][0]), 1e-20);
  EXPECT_NEAR(engine.m_dErrIncl, std::sqrt(engine.m_covariance[3][3]) * 180.0 / M_PI, 1e-18);
  // σ(a) for a = q / (1 - e) with the q-e covariance.
  const double dq = 1.0 / 0.6, de = 1.2 / 0.36;
  const double va = dq * dq * engine.m_covariance[4][4] + 2 * dq * de * engine.m_covariance[4][5] +
                    de * de * engine.m_covariance[5][5];
  EXPECT_NEAR(engine.m_dErrA, std::sqrt(va), 1e-12 * std::sqrt(va));
  EXPECT_NEAR(engine.m_dErrP, 1.5 * std::sqrt(2.0) * engine.m_dErrA, 1e-20);
  EXPECT_EQ(engine.m_covariance[6][6], 0.0);

  struct Case {
    const char* name;
    double value;
  };
  for (const Case& c : {Case{"not a number", NAN}, Case{"singular", 0.0}}) {
    SCOPED_TRACE(c.name);
    engine.m_bCovarianceValid = engine.m_bErrValid = 1;
    for (int j = 0; j < 6; ++j) state.m_dNormal[2][j] = state.m_dNormal[j][2] = c.value;
    ComputeImprovementCovariance(&engine, &state);
    EXPECT_EQ(engine.m_bCovarianceValid, 0);
    EXPECT_EQ(engine.m_bErrValid, 0);
  }
}

}  // namespace

// The two-body differential correction on exact two-body observations (an
// independent universal-variable solver made them): convergence to the true
// orbit from a displaced one, the fixed eccentricity, the cut of variation
// amounts that move observations too far, and failures that leave the orbit
// as it was.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "astro/frames.h"
#include "engine/determination_host.h"
#include "engine/two_body_correction.h"
#include "engine/variation_amounts.h"
#include "platform/ui_services.h"
#include "tests/engine/test_preliminary_sky.h"

namespace {

constexpr double kDeg = M_PI / 180.0;
constexpr double kRadToArcsec = 180.0 / M_PI * 3600.0;

struct TwoBodyCase {
  const char* name;
  SkyOrbit orbit;
};
const TwoBodyCase kCases[] = {
    {"ellipse", {2460100.5, 1.1, 0.35, 40.0, 120.0, 15.0}},
    {"hyperbola", {2460100.5, 1.5, 1.2, 300.0, 60.0, 130.0}},
};

std::vector<double> ObservationTimes() {
  std::vector<double> t;
  for (int i = 0; i < 20; ++i) t.push_back(2460030.3 + 9.7 * i);
  return t;
}

class TwoBodyCorrectionTest : public ::testing::Test {
protected:
  // The view's elements: the orbit displaced by a few per cent and degrees.
  void StartDisplaced(const SkyOrbit& o) {
    ElementBlock& el = m_engine.m_state.m_el;
    el.m_dT = o.T + 1.5;
    el.m_dQ = o.q * 1.01;
    el.m_dE = o.e + 0.01;
    el.m_dPeri = (o.periDeg + 0.4) * kDeg;
    el.m_dNode = (o.nodeDeg - 0.3) * kDeg;
    el.m_dIncl = (o.inclDeg + 0.2) * kDeg;
    el.m_dEpoch = 2460000.5;
  }
  std::vector<double> Elements() const {
    const ElementBlock& el = m_engine.m_state.m_el;
    return {el.m_dT, el.m_dQ, el.m_dE, el.m_dPeri, el.m_dNode, el.m_dIncl};
  }
  int Step() { return DifferentialCorrection(m_view.m_pDetClass, &m_engine); }

  HeadlessUiServices m_ui;
  ScopedUi m_scopedUi{m_ui};
  CDetermination m_view;
  OrbitEngine& m_engine = *m_view.m_pEngine;
};

TEST_F(TwoBodyCorrectionTest, ConvergesToTheTrueOrbit) {
  for (const TwoBodyCase& c : kCases) {
    SCOPED_TRACE(c.name);
    LoadSkyObservations(m_view, c.orbit, ObservationTimes());
    ResetVariationAmounts(&m_engine);
    StartDisplaced(c.orbit);
    for (int i = 0; i < 12; ++i) ASSERT_EQ(Step(), 0) << m_view.m_pDetClass->m_strError;
    const ElementBlock& el = m_engine.m_state.m_el;
    EXPECT_NEAR(el.m_dT, c.orbit.T, 1e-7);
    EXPECT_NEAR(el.m_dQ, c.orbit.q, 1e-10);
    EXPECT_NEAR(el.m_dE, c.orbit.e, 1e-10);
    EXPECT_NEAR(el.m_dPeri / kDeg, c.orbit.periDeg, 1e-8);
    EXPECT_NEAR(el.m_dNode / kDeg, c.orbit.nodeDeg, 1e-8);
    EXPECT_NEAR(el.m_dIncl / kDeg, c.orbit.inclDeg, 1e-8);
    EXPECT_LT(m_engine.m_dMeanResidual, 1e-4);  // arcsec, of the orbit before the last step
    EXPECT_EQ(m_engine.m_nUsedObs, 20);
    // P and Q follow the angles; the epoch is the grid point before the first observation.
    double P[3], Q[3];
    OrbitOrientationVectors(el.m_dPeri, el.m_dNode, el.m_dIncl, P, Q);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(el.m_dP[k], P[k]);
    EXPECT_EQ(el.m_dEpoch, 2460000.5);
    EXPECT_EQ(m_engine.m_state.m_dEpoch, 2460000.5);
    EXPECT_EQ(m_engine.m_bCovarianceValid, 1);
    EXPECT_EQ(m_engine.m_nCovarianceSize, 6);
    EXPECT_EQ(m_engine.m_dCovarianceEpoch, 2460000.5);
    // Residuals of the nominal orbit are in the records.
    const ObservationRecord& o = m_view.m_pDetClass->m_pOrbObs[7];
    EXPECT_LT(std::fabs(o.m_dResRa) * kRadToArcsec, 1e-4);
    EXPECT_GT(o.m_dHelioDist, c.orbit.q);
  }
}

// Fixed e is read from the e edit at every step and never corrected.
TEST_F(TwoBodyCorrectionTest, FixedEccentricityComesFromTheEdit) {
  const SkyOrbit& orbit = kCases[0].orbit;
  LoadSkyObservations(m_view, orbit, ObservationTimes());
  StartDisplaced(orbit);
  m_view.m_pDetClass->m_bFixEcc = 1;
  m_view.SetItemText(kIdFixEEdit, "0.35");
  for (int i = 0; i < 10; ++i) ASSERT_EQ(Step(), 0) << m_view.m_pDetClass->m_strError;
  EXPECT_EQ(m_engine.m_state.m_el.m_dE, 0.35);
  EXPECT_EQ(m_engine.m_state.m_nSolveMask, 63);
  EXPECT_EQ(m_engine.m_nCovarianceSize, 5);
  EXPECT_NEAR(m_engine.m_state.m_el.m_dQ, orbit.q, 1e-10);
}

// A variation amount that moves observations by far more than 30" is cut so
// that it moves them by about 3", and the pass is redone.
TEST_F(TwoBodyCorrectionTest, OversizedVariationIsCut) {
  const SkyOrbit& orbit = kCases[0].orbit;
  LoadSkyObservations(m_view, orbit, ObservationTimes());
  StartDisplaced(orbit);
  SetVariationAmount(&m_engine, 3, 0.01);  // inclination: tens of arcminutes
  ASSERT_EQ(Step(), 0);
  EXPECT_LT(GetVariationAmount(&m_engine, 3), 1e-4);
  EXPECT_EQ(m_engine.m_strStepNotes.rfind("※要素変化量が大きすぎた(観測位置への最大変位 ", 0), 0u) << m_engine.m_strStepNotes;
}

// Rejected observations and those of unknown stations get residuals but are
// not fitted; with none left, or with a correction that is not a number, the
// step fails and the orbit stays as it was.
TEST_F(TwoBodyCorrectionTest, FailuresLeaveTheOrbitAsItWas) {
  const SkyOrbit& orbit = kCases[0].orbit;
  LoadSkyObservations(m_view, orbit, ObservationTimes());
  ObservationRecord* obs = m_view.m_pDetClass->m_pOrbObs;
  StartDisplaced(orbit);
  obs[2].m_bRejected = 1;
  obs[4].m_nUnknownStation = 1;
  obs[2].m_dResRa = obs[4].m_dResRa = 0.0;
  ASSERT_EQ(Step(), 0);
  EXPECT_EQ(m_engine.m_nUsedObs, 18);
  EXPECT_NE(obs[2].m_dResRa, 0.0);
  EXPECT_NE(obs[4].m_dResRa, 0.0);

  struct Case {
    const char* name;
    void (*spoil)(CDetermination&);
    const char* error;
  };
  const Case cases[] = {
      {"all rejected",
       [](CDetermination& v) {
         for (int i = 0; i < v.m_pDetClass->m_nObsCount; ++i) v.m_pDetClass->m_pOrbObs[i].m_bRejected = 1;
       },
       "全ての観測がリジェクトされました。"},
      {"zero variation amount", [](CDetermination& v) { SetVariationAmount(v.m_pEngine, 1, 0.0); },
       "解が求まらなかったので計算を中止しました[18]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoadSkyObservations(m_view, orbit, ObservationTimes());
    ResetVariationAmounts(&m_engine);
    StartDisplaced(orbit);
    c.spoil(m_view);
    const std::vector<double> before = Elements();
    EXPECT_EQ(Step(), -1);
    EXPECT_EQ(m_view.m_pDetClass->m_strError, c.error);
    EXPECT_EQ(Elements(), before);
  }
}

TEST_F(TwoBodyCorrectionTest, CancelLeavesTheOrbitAsItWas) {
  LoadSkyObservations(m_view, kCases[0].orbit, ObservationTimes());
  StartDisplaced(kCases[0].orbit);
  const std::vector<double> before = Elements();
  ASSERT_EQ(BeginBusy(&m_engine), 0);
  m_engine.m_nCancel = 1;
  EXPECT_EQ(Step(), -9);
  EndBusy(&m_engine);
  EXPECT_EQ(m_view.m_pDetClass->m_strError, "[中止]ボタンにより計算を中止しました。");
  EXPECT_EQ(Elements(), before);
}

}  // namespace

// Preliminary orbits from exact two-body observations: the general method
// must give back the orbit the observations were made from.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "engine/preliminary_orbit.h"
#include "platform/ui_services.h"
#include "tests/engine/test_preliminary_sky.h"

namespace {

constexpr double kDeg = M_PI / 180.0;
constexpr double kMasPerRad = 180.0 / M_PI * 3600.0 * 1000.0;

void Pick(CDetermination& view, std::initializer_list<int> rows) {
  for (int i = 0; i < view.m_pDetClass->m_nObsCount; ++i) view.m_pDetClass->m_pOrbObs[i].m_bPicked = 0;
  for (int i : rows) view.m_pDetClass->m_pOrbObs[i].m_bPicked = 1;
}

// An element block whose every field the determination may touch is marked.
void MarkElements(ElementBlock& el) {
  el = ElementBlock{};
  el.m_dT = 2451000.5;
  el.m_dQ = 7.0;
  el.m_dE = 0.5;
  el.m_dPeri = el.m_dNode = el.m_dIncl = 0.25;
  el.m_dP[0] = el.m_dQvec[1] = 1.0;
  el.m_dA = 14.0;
  el.m_dM = 0.125;
  el.m_dN = 0.0625;
  el.m_dEpoch = 2451040.5;
}

void ExpectElementsUnchanged(const ElementBlock& el) {
  ElementBlock marked;
  MarkElements(marked);
  EXPECT_EQ(el.m_dT, marked.m_dT);
  EXPECT_EQ(el.m_dQ, marked.m_dQ);
  EXPECT_EQ(el.m_dE, marked.m_dE);
  EXPECT_EQ(el.m_dPeri, marked.m_dPeri);
  EXPECT_EQ(el.m_dNode, marked.m_dNode);
  EXPECT_EQ(el.m_dIncl, marked.m_dIncl);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(el.m_dP[i], marked.m_dP[i]);
    EXPECT_EQ(el.m_dQvec[i], marked.m_dQvec[i]);
  }
  EXPECT_EQ(el.m_dA, marked.m_dA);
  EXPECT_EQ(el.m_dM, marked.m_dM);
  EXPECT_EQ(el.m_dN, marked.m_dN);
  EXPECT_EQ(el.m_dEpoch, marked.m_dEpoch);
}

struct GeneralCase {
  const char* name;
  SkyOrbit orbit;
  std::vector<double> days;  // observation times after T; rows 0, 2 and 4 are picked
  double period;             // days, for an ellipse whose T may be a later passage; 0 otherwise
};

const double kAphelionPeriod = 2.0 * M_PI / (kGaussK / std::pow(2.8, 1.5));

const GeneralCase kGeneralCases[] = {
    {"ellipse", {2460000.5, 1.2, 0.3, 60, 110, 20}, {40, 55, 70, 85, 100}, 0},
    // Aphelion between the first and the last pick: both estimates of T
    // must name the same passage (else T is off by half a period).
    {"arc across aphelion",
     {2460000.5, 2.8 * 0.85, 0.15, 200, 45, 8},
     {kAphelionPeriod / 2 - 40, kAphelionPeriod / 2 - 20, kAphelionPeriod / 2, kAphelionPeriod / 2 + 20,
      kAphelionPeriod / 2 + 40},
     kAphelionPeriod},
    {"near-parabolic ellipse", {2460000.5, 1.6, 0.99, 150, 30, 70}, {30, 40, 50, 60, 70}, 0},
    // A hyperbola whose mean anomaly has passed π at every pick.
    {"hyperbola far past perihelion", {2460000.5, 1.0, 2.0, 300, 200, 40}, {250, 265, 280, 295, 310}, 0},
    {"1I-like hyperbola", {2458006.0, 0.2556, 1.2011, 241.8, 24.6, 122.7}, {40, 52, 64, 76, 88}, 0},
};

// The general method returns the elements of exact observations, and every
// observation lies on the orbit.
TEST(GaussMerton, ReturnsTheOrbitOfExactObservations) {
  for (const GeneralCase& c : kGeneralCases) {
    SCOPED_TRACE(c.name);
    CDetermination view(false);
    std::vector<double> times;
    for (double d : c.days) times.push_back(c.orbit.T + d);
    LoadSkyObservations(view, c.orbit, times);
    Pick(view, {0, 2, 4});
    ElementBlock& el = view.m_pEngine->m_state.m_el;
    ASSERT_EQ(DetermineInitialOrbit(view.m_pDetClass, view.m_pEngine), 0) << view.m_pDetClass->m_strError;

    EXPECT_NEAR(el.m_dQ / c.orbit.q, 1.0, 1e-7);
    EXPECT_NEAR(el.m_dE, c.orbit.e, 1e-7);
    const double dT = c.period > 0 ? std::remainder(el.m_dT - c.orbit.T, c.period) : el.m_dT - c.orbit.T;
    EXPECT_NEAR(dT, 0.0, 1e-5);  // days
    if (c.period > 0) {
      EXPECT_LT(std::fabs(el.m_dT - times[0]), c.period / 2);
    }
    EXPECT_NEAR(el.m_dPeri, c.orbit.periDeg * kDeg, 1e-7);
    EXPECT_NEAR(el.m_dNode, c.orbit.nodeDeg * kDeg, 1e-7);
    EXPECT_NEAR(el.m_dIncl, c.orbit.inclDeg * kDeg, 1e-7);
    EXPECT_NEAR(el.m_dA / (c.orbit.q / (1.0 - c.orbit.e)), 1.0, 1e-7);
    const ObservationRecord* obs = view.m_pDetClass->m_pOrbObs;
    for (int i = 0; i < view.m_pDetClass->m_nObsCount; ++i) {
      EXPECT_LT(std::fabs(obs[i].m_dResRa) * kMasPerRad, 0.5) << "row " << i;
      EXPECT_LT(std::fabs(obs[i].m_dResDec) * kMasPerRad, 0.5) << "row " << i;
    }
    for (int n = 0; n < 3; ++n) {
      EXPECT_EQ(view.m_pDetClass->m_aPick[n].m_dResRa, view.m_pDetClass->m_dPickResRa[n]);
      EXPECT_LT(std::fabs(view.m_pDetClass->m_dPickResDec[n]) * kMasPerRad, 0.5);
    }
  }
}

// A first pick at α = 6h (cos α = 6e-17): the sky turned about the pole
// changes nothing but the frame, so q, e and T stay those of the orbit.
TEST(GaussMerton, FirstPickAtSixHours) {
  CDetermination view(false);
  const SkyOrbit orbit = {2460000.5, 1.2, 0.3, 60, 110, 20};
  LoadSkyObservations(view, orbit, {2460040.5, 2460070.5, 2460100.5});
  ObservationRecord* obs = view.m_pDetClass->m_pOrbObs;
  const double turn = M_PI / 2 - obs[0].m_dRa;
  for (int i = 0; i < 3; ++i) {
    obs[i].m_dRa += turn;
    const double x = obs[i].m_dSun[0], y = obs[i].m_dSun[1];
    obs[i].m_dSun[0] = x * std::cos(turn) - y * std::sin(turn);
    obs[i].m_dSun[1] = x * std::sin(turn) + y * std::cos(turn);
  }
  obs[0].m_dRa = M_PI / 2;
  Pick(view, {0, 1, 2});
  ASSERT_EQ(DetermineInitialOrbit(view.m_pDetClass, view.m_pEngine), 0);
  const ElementBlock& el = view.m_pEngine->m_state.m_el;
  EXPECT_NEAR(el.m_dQ, orbit.q, 1e-7);
  EXPECT_NEAR(el.m_dE, orbit.e, 1e-7);
  EXPECT_NEAR(el.m_dT, orbit.T, 1e-5);
  for (int n = 0; n < 3; ++n)
    EXPECT_LT(std::hypot(view.m_pDetClass->m_dPickResRa[n], view.m_pDetClass->m_dPickResDec[n]) * kMasPerRad, 0.5);
}

// Element epoch: for a minor planet the 40-day grid point after the last
// observation, otherwise the grid point nearest T.
TEST(GaussMerton, ElementEpochRules) {
  CDetermination view(false);
  const SkyOrbit orbit = {2459990.0, 1.2, 0.3, 60, 110, 20};
  LoadSkyObservations(view, orbit, {2459950.3, 2459970.3, 2459990.3, 2460000.3});
  Pick(view, {0, 1, 2});
  view.m_pEngine->m_state.m_bAsteroid = 1;
  ASSERT_EQ(DetermineInitialOrbit(view.m_pDetClass, view.m_pEngine), 0);
  EXPECT_EQ(view.m_pEngine->m_state.m_el.m_dEpoch, 2460040.5);
  view.m_pEngine->m_state.m_bAsteroid = 0;
  ASSERT_EQ(DetermineInitialOrbit(view.m_pDetClass, view.m_pEngine), 0);
  EXPECT_EQ(view.m_pEngine->m_state.m_el.m_dEpoch, 2460000.5);  // T = 2459990.0

  struct {
    double T, epoch;
  } const kNearT[] = {{2460021.0, 2460040.5}, {2460019.0, 2460000.5}, {2460000.5, 2460000.5}};
  for (const auto& c : kNearT) {
    ElementBlock el{};
    ParabolaFromTwoPositions(el, 0.0, 0.0, 1.0, 1.0, c.T, c.T);
    EXPECT_EQ(el.m_dT, c.T);
    EXPECT_EQ(el.m_dEpoch, c.epoch) << "T " << c.T;
  }
}

TEST(DetermineInitialOrbit, WrongNumberOfPicksKeepsTheOrbit) {
  CDetermination view(false);
  const SkyOrbit orbit = {2460000.5, 1.2, 0.3, 60, 110, 20};
  LoadSkyObservations(view, orbit, {2460040.5, 2460050.5, 2460060.5, 2460070.5});
  const std::vector<std::vector<int>> kPicks = {{}, {0, 3}, {0, 1, 2, 3}};
  for (const auto& rows : kPicks) {
    SCOPED_TRACE(rows.size());
    for (int i = 0; i < 4; ++i) view.m_pDetClass->m_pOrbObs[i].m_bPicked = 0;
    for (int i : rows) view.m_pDetClass->m_pOrbObs[i].m_bPicked = 1;
    MarkElements(view.m_pEngine->m_state.m_el);
    view.m_pDetClass->m_strError.clear();
    EXPECT_EQ(DetermineInitialOrbit(view.m_pDetClass, view.m_pEngine), -1);
    EXPECT_EQ(view.m_pDetClass->m_strError, kMsgWrongPicks);
    ExpectElementsUnchanged(view.m_pEngine->m_state.m_el);
  }
  // An empty array (only the end record).
  view.m_pDetClass->m_pOrbObs[0].m_dJdUtc = -1.0;
  view.m_pDetClass->m_strError.clear();
  EXPECT_EQ(DetermineInitialOrbit(view.m_pDetClass, view.m_pEngine), -1);
  EXPECT_EQ(view.m_pDetClass->m_strError, kMsgWrongPicks);
}

// The general method gives no text of its own when its iteration fails: the
// caller's "[1]" stands, and the previous orbit is restored.
TEST(GaussMerton, FailedIterationRestoresTheOrbit) {
  CDetermination view(false);
  const SkyOrbit orbit = {2460000.5, 1.2, 0.3, 60, 110, 20};
  LoadSkyObservations(view, orbit, {2460040.5, 2460050.5, 2460060.5});
  ObservationRecord* obs = view.m_pDetClass->m_pOrbObs;
  for (int i = 1; i < 3; ++i) {  // one direction and one observer for all three
    obs[i].m_dRa = obs[0].m_dRa;
    obs[i].m_dDec = obs[0].m_dDec;
    for (int j = 0; j < 3; ++j) obs[i].m_dSun[j] = obs[0].m_dSun[j];
  }
  Pick(view, {0, 1, 2});
  MarkElements(view.m_pEngine->m_state.m_el);
  view.m_pDetClass->m_strError = "before";
  EXPECT_EQ(DetermineInitialOrbit(view.m_pDetClass, view.m_pEngine), -1);
  EXPECT_EQ(view.m_pDetClass->m_strError, "before");
  ExpectElementsUnchanged(view.m_pEngine->m_state.m_el);
}

// A place that cannot be computed for one observation (no observer
// position): near the parabola the orbit stands with a zero pair for it and
// the message kept; an elliptic one fails the determination and every
// residual is that from before.
TEST(GaussMerton, UncomputablePlaceOfOneObservation) {
  struct Case {
    const char* name;
    SkyOrbit orbit;
    int result;
  };
  const Case cases[] = {
      {"near-parabolic", {2460000.5, 1.0, 0.99, 150, 30, 70}, 0},
      {"elliptic", {2460000.5, 1.2, 0.3, 60, 110, 20}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CDetermination view(false);
    LoadSkyObservations(view, c.orbit, {2459980.5, 2459990.5, 2460000.5, 2460010.5, 2460020.5, 2460030.5});
    ObservationRecord* obs = view.m_pDetClass->m_pOrbObs;
    obs[5].m_dSun[0] = std::numeric_limits<double>::quiet_NaN();
    for (int i = 0; i < 6; ++i) obs[i].m_dResRa = obs[i].m_dResDec = 1e-3 * (i + 1);
    Pick(view, {0, 2, 4});
    MarkElements(view.m_pEngine->m_state.m_el);
    ASSERT_EQ(DetermineInitialOrbit(view.m_pDetClass, view.m_pEngine), c.result);
    if (c.result != 0) {
      ExpectElementsUnchanged(view.m_pEngine->m_state.m_el);
      for (int i = 0; i < 6; ++i) EXPECT_EQ(obs[i].m_dResRa, 1e-3 * (i + 1)) << i;
      continue;
    }
    EXPECT_EQ(view.m_pDetClass->m_strError, PrelimFailureText(kPrelimFailAnomaly));
    EXPECT_EQ(obs[5].m_dResRa, 0.0);
    EXPECT_EQ(obs[5].m_dResDec, 0.0);
    for (int i = 0; i < 5; ++i) EXPECT_NE(obs[i].m_dResRa, 1e-3 * (i + 1)) << i;  // computed anew
  }
}

TEST(GaussMerton, CancelFlagStopsTheIteration) {
  CDetermination view(false);
  const SkyOrbit orbit = {2460000.5, 1.2, 0.3, 60, 110, 20};
  LoadSkyObservations(view, orbit, {2460040.5, 2460050.5, 2460060.5});
  Pick(view, {0, 1, 2});
  MarkElements(view.m_pEngine->m_state.m_el);
  view.m_pEngine->m_nCancel = 1;
  EXPECT_EQ(DetermineInitialOrbit(view.m_pDetClass, view.m_pEngine), -9);
  ExpectElementsUnchanged(view.m_pEngine->m_state.m_el);
}

// Near the parabola the places come from Gauss's series where it holds and
// from the exact solution beyond: both agree with the exact place.
TEST(NearParabolicResidual, PlacesAgreeWithTheExactSolution) {
  const SkyOrbit kOrbits[] = {
      {2460000.5, 0.5, 0.98, 30, 60, 50},   // series throughout
      {2460000.5, 0.5, 1.2, 30, 60, 50},    // exact solution far out
      {2460000.5, 0.005, 1.0, 30, 60, 50},  // sungrazer: σ beyond 64
  };
  for (const SkyOrbit& orbit : kOrbits) {
    SCOPED_TRACE(orbit.e);
    CDetermination view(false);
    ElementBlock& el = view.m_pEngine->m_state.m_el;
    OrbitOrientationVectors(orbit.periDeg * kDeg, orbit.nodeDeg * kDeg, orbit.inclDeg * kDeg, el.m_dP, el.m_dQvec);
    for (double days : {-3000.0, -200.0, -5.0, 0.0, 30.0, 400.0}) {
      const ObservationRecord obs[2] = {ObserveOrbit(orbit, orbit.T + days), {}};
      double ra, dec, resRa, resDec;
      ASSERT_EQ(NearParabolicResidual(view.m_pDetClass, obs, 0, orbit.T, orbit.e, orbit.q, ra, dec, resRa, resDec),
                0)
          << days << " " << view.m_pDetClass->m_strError;
      EXPECT_LT(std::hypot(resRa, resDec) * kMasPerRad, 0.5) << days;
    }
  }
}

// The parabolic method: e = 1, q and T close to the parabola the observations
// come from, the time constants corrected for light time for the next pass.
TEST(Banachiewicz, FindsTheParabola) {
  CDetermination view(false);
  const SkyOrbit orbit = {2460000.5, 1.5, 1.0, 10, 250, 100};
  LoadSkyObservations(view, orbit, {2459980.5, 2460000.5, 2460020.5});
  Pick(view, {0, 1, 2});
  DetClass* det = view.m_pDetClass;
  det->m_bParabolicMethod = 1;
  ElementBlock& el = view.m_pEngine->m_state.m_el;
  el.m_dA = 3.0;
  ASSERT_EQ(DetermineInitialOrbit(det, view.m_pEngine), 0) << det->m_strError;
  EXPECT_EQ(el.m_dE, 1.0);
  EXPECT_EQ(el.m_dA, 3.0);  // left as it was
  EXPECT_NEAR(el.m_dQ / orbit.q, 1.0, 1e-3);
  EXPECT_NEAR(el.m_dT, orbit.T, 0.1);
  EXPECT_NEAR(el.m_dIncl, orbit.inclDeg * kDeg, 1e-3);
  EXPECT_EQ(det->m_dRatioAnchor, 0.0);
  EXPECT_TRUE(det->m_strError.empty());
  const double c = kLightTimeDaysPerAu;
  const double t1 = 2459980.5 - c * det->m_dRho[0], t2 = 2460000.5 - c * det->m_dRho[1],
               t3 = 2460020.5 - c * det->m_dRho[2];
  EXPECT_DOUBLE_EQ(det->m_dTau, kGaussK * (t3 - t1));
  EXPECT_DOUBLE_EQ(det->m_dTimeRatio, (t3 - t2) / (t2 - t1));
  // Olbers' ratio is a first approximation: the picks lie within seconds of arc.
  for (int n = 0; n < 3; ++n) {
    EXPECT_GT(std::hypot(det->m_dPickResRa[n], det->m_dPickResDec[n]), 0.0);
    EXPECT_LT(std::hypot(det->m_dPickResRa[n], det->m_dPickResDec[n]) * kMasPerRad, 10000.0);
  }
}

// A parabola passing 0.2 AU from the observer at 8°/day, picked half a day
// apart around the approach: the distance changes by 5e-4 AU from pick to
// pick, so a light time settled only to 1e-3 AU would turn the places by
// 0.1". Each pick's residual is that of the found parabola's exact place,
// computed apart with universal variables and a fully settled light time.
TEST(Banachiewicz, PickResidualsWithTheLightTimeSettled) {
  constexpr double kJ2000 = 2451545.0, T = 2460000.5;
  const double lonDeg = std::fmod((2.0 * M_PI * (T - kJ2000) / 365.25636 + 1.75) / kDeg, 360.0);
  const SkyOrbit orbit = {T, 1.2, 1.0, 0, lonDeg, 90};  // perihelion outside the observer
  CDetermination view(false);
  const std::vector<double> times = {T - 0.5, T, T + 0.5};
  LoadSkyObservations(view, orbit, times);
  Pick(view, {0, 1, 2});
  DetClass* det = view.m_pDetClass;
  det->m_bParabolicMethod = 1;
  const ElementBlock& el = view.m_pEngine->m_state.m_el;
  ASSERT_EQ(DetermineInitialOrbit(det, view.m_pEngine), 0) << det->m_strError;
  ASSERT_NEAR(det->m_dRho[1], 0.2, 0.01);
  const SkyOrbit found = {el.m_dT, el.m_dQ, 1.0, el.m_dPeri / kDeg, el.m_dNode / kDeg, el.m_dIncl / kDeg};
  for (int n = 0; n < 3; ++n) {
    const ObservationRecord place = ObserveOrbit(found, times[n]);
    const ObservationRecord& o = det->m_pOrbObs[n];
    const double resRa = std::remainder(o.m_dRa - place.m_dRa, 2.0 * M_PI) * std::cos(place.m_dDec);
    const double resDec = o.m_dDec - place.m_dDec;
    EXPECT_NEAR(det->m_dPickResRa[n] * kMasPerRad, resRa * kMasPerRad, 10.0) << n;
    EXPECT_NEAR(det->m_dPickResDec[n] * kMasPerRad, resDec * kMasPerRad, 10.0) << n;
  }
}

TEST(Banachiewicz, NoRootOfEulersEquation) {
  CDetermination view(false);
  const SkyOrbit orbit = {2460000.5, 1.5, 1.0, 10, 250, 100};
  LoadSkyObservations(view, orbit, {2459980.5, 2460000.5, 2460020.5});
  // Three thousand days for an arc that the object covers in forty.
  view.m_pDetClass->m_pOrbObs[2].m_dJdTt += 3000.0;
  view.m_pDetClass->m_pOrbObs[2].m_dJdUtc += 3000.0;
  Pick(view, {0, 1, 2});
  view.m_pDetClass->m_bParabolicMethod = 1;
  MarkElements(view.m_pEngine->m_state.m_el);
  EXPECT_EQ(DetermineInitialOrbit(view.m_pDetClass, view.m_pEngine), -1);
  EXPECT_EQ(view.m_pDetClass->m_strError, "解が求まらなかったので計算を中止しました[2]");
  ExpectElementsUnchanged(view.m_pEngine->m_state.m_el);
}

TEST(PrelimFailureText, BracketedTexts) {
  EXPECT_EQ(PrelimFailureText(kPrelimFailParabolaRoot), "解が求まらなかったので計算を中止しました[2]");
  EXPECT_EQ(PrelimFailureText(kPrelimFailResidualLightTime), "解が求まらなかったので計算を中止しました[7]");
  EXPECT_STREQ(kMsgWrongPicks, "軌道決定に使う観測の選択がずれています。3つ選び直してください。");
}

}  // namespace

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "astro/constants.h"
#include "astro/impact_tracker.h"
#include "engine/close_approach.h"
#include "engine/force_model.h"
#include "engine/nongrav.h"
#include "engine/orbit_engine.h"
#include "platform/nongrav_settings.h"

namespace {

constexpr double kK2 = kGaussK * kGaussK;

// A hand-made configuration: the ten bodies on fixed points, the object at
// (1.2, 0.3, -0.1) AU moving at (0.002, 0.015, 0.001) AU/day.
struct Scene {
  OrbitEngine engine;
  std::unique_ptr<IntegrationState> state = std::make_unique<IntegrationState>();
  Scene()
  {
    engine.m_nAsteroidSet = 0;
    engine.m_bRelativity = 0;
    engine.m_bEarthJ2 = 0;
    engine.m_bNonGrav = 0;
    SetupIntegrationState(&engine, state.get());
    state->m_nBodies = 1;
    state->m_dStep = 1.0;
    for (int i = 0; i < kPerturbers; ++i)
      for (int c = 0; c < 3; ++c)
        state->m_dPert[10][c][i] = (i < 10) ? (1.0 + i) * (c == 0 ? 1.0 : c == 1 ? -0.5 : 0.1) : 9999.9;
    const double r[3] = {1.2, 0.3, -0.1}, v[3] = {0.002, 0.015, 0.001};
    for (int c = 0; c < 3; ++c) {
      state->m_dPos[10][c][0] = r[c];
      state->m_dVel[10][c][0] = v[c];
    }
  }
  void Evaluate(double t = 2460000.5)
  {
    ComputeAccelerations(&engine, state.get(), state->m_pszPerturberMask, state->m_nBodies, 10,
                         state->m_dMinusGM, state->m_dAcc, t, state->m_dPos, state->m_dPert);
  }
  double Acc(int c, int body = 0) const { return state->m_dAcc[10][c][body]; }
};

} // namespace

TEST(ForceModel, SunAndPlanetsAgreeWithADirectSum)
{
  Scene s;
  s.Evaluate();
  double expected[3] = {};
  const double r[3] = {1.2, 0.3, -0.1};
  const double rr = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
  for (int c = 0; c < 3; ++c)
    expected[c] = -kK2 * r[c] / (rr * rr * rr);
  for (int i = 0; i < 10; ++i) {
    double rho[3], d[3];
    for (int c = 0; c < 3; ++c) {
      rho[c] = s.state->m_dPert[10][c][i];
      d[c] = r[c] - rho[c];
    }
    const double dn = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    const double pn = std::sqrt(rho[0] * rho[0] + rho[1] * rho[1] + rho[2] * rho[2]);
    const double gm = kBodyMasses[i] * kK2;
    for (int c = 0; c < 3; ++c)
      expected[c] += -gm * (d[c] / (dn * dn * dn) + rho[c] / (pn * pn * pn));
  }
  for (int c = 0; c < 3; ++c)
    EXPECT_NEAR(s.Acc(c), expected[c], 1e-18);
  // Without an asteroid set the asteroid slots (here far-away markers) are neither read nor fed.
  EXPECT_EQ(s.state->m_dDistance[12], kNoDistance);
  EXPECT_EQ(s.state->m_dMinusGM[10], 0.0);
}

TEST(ForceModel, RelativityAndNonGravitationalTerms)
{
  Scene base;
  base.Evaluate();
  const double r[3] = {1.2, 0.3, -0.1}, v[3] = {0.002, 0.015, 0.001};
  const double rr = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);

  Scene rel;
  rel.engine.m_bRelativity = 1;
  rel.Evaluate();
  const double v2 = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
  const double rv = r[0] * v[0] + r[1] * v[1] + r[2] * v[2];
  // The heliocentric 1PN term k²/(c² r³) ((4 k²/r - v²) r + 4 (r·v) v), with c
  // from its SI value.
  const double light = 299792.458 * 86400.0 / kAstronomicalUnitKm;  // AU/day
  for (int k = 0; k < 3; ++k) {
    const double term = kK2 / (light * light * rr * rr * rr) * ((4.0 * kK2 / rr - v2) * r[k] + 4 * rv * v[k]);
    EXPECT_NEAR(rel.Acc(k) - base.Acc(k), term, 1e-18);  // a few ulp of the total acceleration
  }

  // Radiation pressure: only the radial term of the nominal parameters, even with A3 on.
  Scene ng;
  ng.engine.m_bNonGrav = 1;
  ng.engine.m_nNonGravModel = kNonGravRadiation;
  ng.engine.m_bNonGravA3 = 1;
  ng.state->m_el.m_dA1 = 1e-8;
  ng.state->m_el.m_dA2 = 5e-9;
  ng.state->m_el.m_dA3 = 5e-9;
  ng.Evaluate();
  for (int c = 0; c < 3; ++c)
    EXPECT_NEAR(ng.Acc(c) - base.Acc(c), 1e-8 / (rr * rr) * r[c] / rr, 1e-18);  // a few ulp of the total acceleration

  // A varied orbit in A3 gets its normal term whatever the model and the switch.
  Scene varied;
  varied.state->m_nBodies = 10;
  for (int j = 1; j < 10; ++j)
    for (int c = 0; c < 3; ++c) {
      varied.state->m_dPos[10][c][j] = r[c];
      varied.state->m_dVel[10][c][j] = v[c];
    }
  varied.engine.m_nNonGravModel = kNonGravRadiation;
  varied.state->m_dVariation[8] = 2e-9;
  varied.state->m_nSolveMask = 1 << 9;
  varied.Evaluate();
  const double h[3] = {r[1] * v[2] - r[2] * v[1], r[2] * v[0] - r[0] * v[2], r[0] * v[1] - r[1] * v[0]};
  const double hn = std::sqrt(h[0] * h[0] + h[1] * h[1] + h[2] * h[2]);
  for (int c = 0; c < 3; ++c) {
    EXPECT_NEAR(varied.Acc(c, 9) - varied.Acc(c, 0), 2e-9 / (rr * rr) * h[c] / hn, 1e-18);  // a few ulp of the total acceleration
    EXPECT_EQ(varied.Acc(c, 8), varied.Acc(c, 0));  // bit 8 not set: no term
  }
}

TEST(ForceModel, ActivityShiftScalesTheNonGravitationalTerm)
{
  Scene plain, shifted;
  for (Scene* s : {&plain, &shifted}) {
    s->engine.m_bNonGrav = 1;
    s->engine.m_nNonGravModel = kNonGravWater;
    s->state->m_el.m_dA1 = 1e-8;
    s->state->m_el.m_dT = 2460000.5 - 30;
    s->state->m_el.m_dQ = 1.0;
    s->state->m_el.m_dE = 0.5;
  }
  SetNonGravDt(0);
  plain.Evaluate();
  SetNonGravDt(20);
  shifted.Evaluate();
  SetNonGravDt(0);
  Scene grav;
  grav.Evaluate();
  const double r1 = HeliocentricDistanceAt(30, 1.0, 0.5), r2 = HeliocentricDistanceAt(10, 1.0, 0.5);
  const double ratio = NonGravLaw(0, r2) / NonGravLaw(0, r1);
  for (int c = 0; c < 3; ++c)
    EXPECT_NEAR(shifted.Acc(c) - grav.Acc(c), (plain.Acc(c) - grav.Acc(c)) * ratio, 1e-18);
}

TEST(ForceModel, FeedsTheApproachRecordAndTheEarthBookkeeping)
{
  Scene s;
  CloseApproachRecord rec;
  rec.Init(2460000, 2460100, 1);
  s.state->m_pApproach = &rec;
  // The Earth 0.001 AU away.
  for (int c = 0; c < 3; ++c)
    s.state->m_dPert[10][c][2] = s.state->m_dPos[10][c][0] - (c == 0 ? 0.001 : 0.0);
  s.Evaluate(2460000.5);
  EXPECT_NEAR(rec.closest[2].distance, 0.001, 1e-15);
  EXPECT_EQ(rec.closest[2].time, 2460000.5);
  EXPECT_EQ(rec.closest[12].time, 0.0);  // an asteroid slot without mass is not fed
  EXPECT_NEAR(s.state->m_dMinEarthDistance, 0.001, 1e-15);
  EXPECT_EQ(s.state->m_dPrevEarthTime, 2460000.5);

  // Moving 1e-5 AU/day relative to the Earth at 0.001 AU is bound to the Earth-Moon pair.
  s.state->m_dPos[10][0][0] += 1e-5;
  s.Evaluate(2460001.5);
  EXPECT_EQ(s.state->m_bEarthBound, 1);
}

TEST(ForceModel, EarthOblatenessActsOnlyNearTheEarth)
{
  Scene near, far;
  for (Scene* s : {&near, &far}) {
    s->engine.m_bEarthJ2 = 1;
    for (int c = 0; c < 3; ++c)
      s->state->m_dPert[10][c][2] = s->state->m_dPos[10][c][0] - (c == 2 ? (s == &near ? 0.0001 : 0.06) : 0.0);
  }
  Scene nearOff, farOff;
  for (Scene* s : {&nearOff, &farOff})
    for (int c = 0; c < 3; ++c)
      s->state->m_dPert[10][c][2] = s->state->m_dPos[10][c][0] - (c == 2 ? (s == &nearOff ? 0.0001 : 0.06) : 0.0);
  for (Scene* s : {&near, &far, &nearOff, &farOff})
    s->Evaluate(kJdJ2000);
  // Over the pole at J2000: the extra pull is along the pole, 3 J2 GM R² / d⁴,
  // with the Earth's J2 = 1.0826254e-3 (EGM96) and its equatorial radius.
  const double gm = kBodyMasses[2] * kK2;
  const double R = kEarthEquatorialRadiusKm / kAstronomicalUnitKm, d = 0.0001;
  const double pull = 3.0 * 1.0826254e-3 * gm * R * R / (d * d * d * d);
  EXPECT_NEAR(near.Acc(2) - nearOff.Acc(2), pull, 1e-6 * pull);
  EXPECT_EQ(far.Acc(2), farOff.Acc(2));
}

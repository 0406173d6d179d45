// The multistep integrator: start-up weights, a pure two-body run, step
// level choice and its hysteresis, the 40-day element output.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "astro/constants.h"
#include "astro/frames.h"
#include "astro/jpl_eph.h"
#include "engine/stormer_cowell.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "tests/engine/test_integration_support.h"

namespace {

// A state for ChooseStepLevel alone: no bodies near, base step 8 days.
std::unique_ptr<IntegrationState> LevelState(OrbitEngine& engine, char mode, double base)
{
  auto state = std::make_unique<IntegrationState>();
  SetupIntegrationState(&engine, state.get());
  state->m_chMode = mode;
  state->m_dBaseStep = base;
  state->m_dSunDistance10 = 30.0;  // far enough that the Sun never limits
  return state;
}

// Puts the Earth at distance d (AU) with no previous distance.
void EarthAt(IntegrationState* state, double d)
{
  state->m_dDistance[kBodyEarth] = d;
}

}  // namespace

// x(c) for a(s) = s^p is c^(p+2) / ((p+1)(p+2)): the weights reproduce it
// for every degree up to 10 and every point of the window.
TEST(StormerCowell, StartupWeightsIntegratePolynomialsExactly)
{
  EXPECT_DOUBLE_EQ(StartupWeight(1, 0), -7.722834328737106e-05);
  EXPECT_DOUBLE_EQ(StartupWeight(1, 1), 0.0009479822196836085);
  EXPECT_DOUBLE_EQ(StartupWeight(1, 5), 0.3945024776535193);
  for (int c = -5; c <= 5; ++c) {
    if (c == 0)
      continue;
    for (int m = 0; m <= 10; ++m)
      EXPECT_EQ(StartupWeight(-c, m), StartupWeight(c, 10 - m));
    for (int p = 0; p <= 10; ++p) {
      double sum = 0.0;
      for (int m = 0; m <= 10; ++m)
        sum += StartupWeight(c, m) * std::pow(m - 5.0, p);
      const double exact = std::pow(c, p + 2) / ((p + 1.0) * (p + 2.0));
      EXPECT_NEAR(sum, exact, 1e-11 * std::fmax(1.0, std::fabs(exact))) << "c " << c << " p " << p;
    }
  }
  double sum = 0.0;
  for (int m = 0; m <= 10; ++m)
    sum += StartupWeight(5, m) - StartupWeight(4, m);
  EXPECT_NEAR(sum, 4.5, 1e-13);
}

// The window's weights at any point: exact on polynomials of degree up to
// 10 for position and velocity, and the table's values at its nodes.
TEST(StormerCowell, WindowWeightsAtAnyPointIntegratePolynomialsExactly)
{
  for (const double c : {-4.6, -0.3, 0.0, 1e-7, 2.5, 4.99, 5.0}) {
    double w[kWindowPoints], wv[kWindowPoints];
    StartupWindowWeights(c, w, wv);
    for (int p = 0; p <= 10; ++p) {
      double sw = 0.0, sv = 0.0;
      for (int m = 0; m <= 10; ++m) {
        sw += w[m] * std::pow(m - 5.0, p);
        sv += wv[m] * std::pow(m - 5.0, p);
      }
      const double exactW = std::pow(c, p + 2) / ((p + 1.0) * (p + 2.0));
      const double exactV = std::pow(c, p + 1) / (p + 1.0);
      EXPECT_NEAR(sw, exactW, 1e-11 * std::fmax(1.0, std::fabs(exactW))) << "c " << c << " p " << p;
      EXPECT_NEAR(sv, exactV, 1e-11 * std::fmax(1.0, std::fabs(exactV))) << "c " << c << " p " << p;
    }
  }
  for (const int c : {-5, -2, 1, 4}) {
    double w[kWindowPoints], wv[kWindowPoints];
    StartupWindowWeights(c, w, wv);
    for (int m = 0; m <= 10; ++m)
      EXPECT_NEAR(w[m], StartupWeight(c, m), 2e-14) << "c " << c << " m " << m;
  }
}

// With every planet massless the run is a two-body problem: an eccentric
// orbit comes back on its Kepler ellipse after 1000 days, whatever the
// step; the error falls steeply as the step shrinks (order 12).
TEST(StormerCowell, TwoBodyRunFollowsTheKeplerOrbit)
{
  TSR_REQUIRE_DATA(de, "de/lnxp1960p2060.405");
  JplReaderScope scope(de);
  const double t0 = 2451545.0;
  const double r0[3] = {0.6, 0.0, 0.0};
  const double v0[3] = {0.0, 0.027, 0.004};  // e about 0.5
  double errors[3];
  const double steps[3] = {2.0, 1.0, 0.5};
  for (int i = 0; i < 3; ++i) {
    TestRun run;
    run.engine.m_bRelativity = 0;
    run.Prepare(t0, r0, v0, t0 + 1000.0, steps[i], false);
    for (int b = 0; b < 10; ++b)
      run.state->m_dMass[b] = 0.0;
    const ElementBlock start = run.state->m_el;
    ASSERT_EQ(run.Run(), 0) << run.engine.m_strMessage;
    EXPECT_EQ(run.state->m_el.m_dEpoch, t0 + 1000.0);
    // The position agrees with the Kepler orbit of the start elements.
    const double elements[6] = {start.m_dT, start.m_dPeri, start.m_dNode, start.m_dIncl, start.m_dQ, start.m_dE};
    const double zero[6] = {};
    double pos[3][kMaxBodies], vel[3][kMaxBodies], r[3], v[3], kepler[3];
    ASSERT_EQ(ComputeInitialStates(t0 + 1000.0, 1, elements, zero, pos, vel), 0);
    for (int c = 0; c < 3; ++c)
      kepler[c] = pos[c][0];
    run.EndState(r, v);
    errors[i] = DistanceKm(r, kepler);
  }
  // km after 1000 days (two revolutions): 230, 0.07, and below a metre,
  // where the element conversion's own rounding sets the floor.
  EXPECT_LT(errors[0], 500.0);
  EXPECT_LT(errors[1], 0.2);
  EXPECT_LT(errors[2], 0.002);
  EXPECT_LT(errors[1], errors[0] / 1000.0);  // order 12: about 4096 per halving
}

TEST(StormerCowell, StepLevelFollowsTheApproachAndTheFloorOfEachMode)
{
  OrbitEngine engine;
  // Far from everything the base step stays.
  auto far = LevelState(engine, kModeCalculation, 8.0);
  EXPECT_EQ(ChooseStepLevel(&engine, far.get()), 0);
  // Deep inside the Earth's reach: level 13 (84 s from 8 days) in mode 'C';
  // in other modes halving stops before 5 s (12 from a quarter day), also
  // in mode 'C' when the minimum step is kept.
  struct Row {
    char mode;
    int keepMin;
    double base;
    int level;
  } rows[] = {{kModeCalculation, 0, 8.0, 13},
              {kModeCalculation, 0, 0.25, 13},
              {kModeImprovement, 0, 0.25, 12},
              {kModeCalculation, 1, 0.25, 12},
              {kModeImprovement, 0, 8.0, 13}};
  for (const Row& row : rows) {
    auto s = LevelState(engine, row.mode, row.base);
    s->m_bKeepMinStep = row.keepMin;
    EarthAt(s.get(), 1e-6);
    EXPECT_EQ(ChooseStepLevel(&engine, s.get()), row.level) << row.mode << " " << row.base;
  }
  // The limit is 0.02 of the Earth-centric time √(d³/GM): at 0.01 AU it is
  // 0.02 × 33.5 = 0.67 day, so 8 days need four halvings (0.5 day).
  auto mid = LevelState(engine, kModeCalculation, 8.0);
  EarthAt(mid.get(), 0.01);
  EXPECT_EQ(ChooseStepLevel(&engine, mid.get()), 4);
}

TEST(StormerCowell, DoublingBackWaitsLongerEachTimeItIsUndone)
{
  OrbitEngine engine;
  auto s = LevelState(engine, kModeCalculation, 8.0);
  s->m_nStepLevel = 3;
  // Nothing near: the needed level is 0, but doubling back goes one level
  // at a time and only after 20 steps at the level.
  for (int n = 1; n < 20; ++n)
    ASSERT_EQ(ChooseStepLevel(&engine, s.get()), 3) << n;
  EXPECT_EQ(ChooseStepLevel(&engine, s.get()), 2);
  // Each undone doubling back to level 2 doubles the wait, up to 320.
  for (int undone = 1; undone <= 5; ++undone) {
    s->m_nStepLevel = 2;
    s->m_nReturnedLevel = 2;
    EarthAt(s.get(), 0.004);  // limit 0.17 day: level 6 at once
    EXPECT_EQ(ChooseStepLevel(&engine, s.get()), 6);
    EXPECT_EQ(s->m_nBackoff[2], std::min(undone, 4));
    s->m_nStepLevel = 3;
    s->m_nStepsAtLevel = 0;
    s->m_nReturnedLevel = -1;
    EarthAt(s.get(), kNoDistance);
    for (double& d : s->m_dPrevDistance)
      d = kNoDistance;
    const int wait = 20 << std::min(undone, 4);
    for (int n = 1; n < wait; ++n)
      ASSERT_EQ(ChooseStepLevel(&engine, s.get()), 3) << undone << " " << n;
    EXPECT_EQ(ChooseStepLevel(&engine, s.get()), 2);
  }
  EXPECT_EQ(s->m_nBackoff[2], 4);
}

TEST(StormerCowell, DoublingBackNeedsTwiceTheCoarserStepToSpare)
{
  OrbitEngine engine;
  auto s = LevelState(engine, kModeCalculation, 8.0);
  s->m_nStepLevel = 4;  // 0.5 day
  s->m_nStepsAtLevel = 100;
  // Limit 0.67 day (Earth at 0.01 AU): enough for the present 0.5 day, not
  // for twice the coarser 1 day.
  EarthAt(s.get(), 0.01);
  EXPECT_EQ(ChooseStepLevel(&engine, s.get()), 4);
  // Limit about 2.1 days (0.0216 AU) allows 1 day with a factor 2 to spare.
  s->m_dPrevDistance[kBodyEarth] = kNoDistance;
  EarthAt(s.get(), 0.0216);
  EXPECT_EQ(ChooseStepLevel(&engine, s.get()), 3);
}

// The approach rate limits too: closing in by a tenth of the distance in one
// step allows at most 1/45 of the distance per approach rate.
TEST(StormerCowell, ApproachRateLimitsTheStep)
{
  OrbitEngine engine;
  auto s = LevelState(engine, kModeCalculation, 1.0);
  s->m_dPrevDistance[4] = 0.55;  // Jupiter, far in its own time scale
  s->m_dDistance[4] = 0.5;
  // (0.5 / 45) × 1 / 0.05 = 0.22 day: three halvings.
  EXPECT_EQ(ChooseStepLevel(&engine, s.get()), 3);
}

// Grid epochs 40n + 0.5: each is output once, with every element converted
// even far from perihelion, and logged.
TEST(StormerCowell, GridOutputLogsFullElementsOncePerGridEpoch)
{
  OrbitEngine engine;
  engine.m_bAutoRunning = engine.m_bAutoStop = 1;
  auto state = std::make_unique<IntegrationState>();
  SetupIntegrationState(&engine, state.get());
  state->m_chMode = kModeImprovement;
  state->m_dStep = 1.0;
  // A main-belt state far from perihelion; with zero differences the
  // velocity is ΔX / h.
  const double r[3] = {-2.1, 1.4, 0.5}, v[3] = {-0.0066, -0.0071, -0.0031};
  for (int c = 0; c < 3; ++c) {
    state->m_dPos[10][c][0] = r[c];
    state->m_dDeltaX[c][0] = v[c];
  }
  std::vector<double> entries(7 * 4);
  ElementLog log{entries.data(), 0, 4};
  state->m_pElementLog = &log;

  const double times[] = {2460000.0, 2460000.7, 2460001.0, 2460000.4, 2460001.2, 2460040.6};
  for (double t : times) {
    state->m_dTime = t;
    OutputGridElements(&engine, state.get(), kModeImprovement);
  }
  // 2460000.5 once (crossed three times), then 2460040.5.
  ASSERT_EQ(log.m_nCount, 2);
  EXPECT_EQ(entries[0], 2460000.5);
  EXPECT_EQ(entries[7], 2460040.5);
  double T, q, e, peri, node, incl, M, a;
  StateToEclipticElements(2460040.6, r, v, T, q, e, peri, node, incl, M, a);
  ASSERT_GT(std::fabs(T - 2460040.6), 20.0);  // the case that used to skip the angles
  EXPECT_DOUBLE_EQ(entries[7 + 1], T);
  EXPECT_DOUBLE_EQ(entries[7 + 2], q);
  EXPECT_DOUBLE_EQ(entries[7 + 3], e);
  EXPECT_DOUBLE_EQ(entries[7 + 4], peri);
  EXPECT_DOUBLE_EQ(entries[7 + 5], node);
  EXPECT_DOUBLE_EQ(entries[7 + 6], incl);
  // M carried from the state's time back to the grid epoch on the two-body orbit.
  const double n = kGaussK / std::pow(a, 1.5);
  EXPECT_NEAR(state->m_dGridM, M - 0.1 * n, 1e-12);
  EXPECT_DOUBLE_EQ(state->m_dGridEpoch, 2460040.5);
}

namespace {

// A started window (as the drivers leave it) for an orbit 0.1 AU from the
// Sun, whose time scale asks for level 3 from a quarter-day base step.
void StartNearTheSun(TestRun& run, double end)
{
  const double t0 = 2451545.0;
  const double r[3] = {0.1, 0.0, 0.0}, v[3] = {0.0, 0.06, 0.01};
  run.engine.m_bRelativity = 0;
  run.Prepare(t0, r, v, end, 0.25, true);
  IntegrationState& s = *run.state;
  s.m_bStepControl = 1;
  s.m_dBaseStep = 0.25;
  const ElementBlock& el = s.m_el;
  const double start[6] = {el.m_dT, el.m_dPeri, el.m_dNode, el.m_dIncl, el.m_dQ, el.m_dE};
  ASSERT_EQ(ComputeInitialStates(t0, 1, start, s.m_dVariation, s.m_dPos[5], s.m_dStartVel), 0);
  ASSERT_EQ(CTessaruneLib::GetPerturberPositions(run.engine.m_pPerturberCache, &s.m_dPert[0][0][0], t0 - 1.25, 0.25,
                                                 11, 0),
            0);
  s.m_bStartup = 1;
  TaylorStart(&run.engine, &s);
  ASSERT_EQ(IterateStartup(&run.engine, &s), 0);
  s.m_bStartup = 0;
  BuildDifferenceTables(&s);
  s.m_dTimeMid = t0;
  s.m_dTime = t0 + 1.25;
}

}  // namespace

// A step that asks for a finer level restarts the run from the elements at
// the current time, unless the end is within 5.5 of the new steps.
TEST(StormerCowell, StepChangeRestartsFromTheCurrentElementsExceptNearTheEnd)
{
  TSR_REQUIRE_DATA(de, "de/lnxp1960p2060.405");
  JplReaderScope scope(de);
  TestRun far;
  StartNearTheSun(far, 2451545.0 + 100.0);
  IntegrationState& s = *far.state;
  ASSERT_EQ(AdvanceStepBookkeeping(&far.engine, nullptr, &s), kEngineRestart);
  EXPECT_EQ(s.m_nStepLevel, 3);
  EXPECT_EQ(s.m_nMaxStepLevel, 3);
  EXPECT_EQ(s.m_nReturnedLevel, -1);
  EXPECT_EQ(s.m_dStep, 0.03125);
  EXPECT_EQ(s.m_dStep2, 0.03125 * 0.03125);
  EXPECT_EQ(s.m_dEpoch, 2451545.0 + 1.5);
  EXPECT_EQ(s.m_el.m_dEpoch, s.m_dEpoch);
  EXPECT_NE(far.engine.m_strRunReport.find(" 積分間隔を 45分(0.03125日) に変更\r\n"), std::string::npos);
  // The new elements hold the state of the newest point.
  double r[3], v[3];
  far.EndState(r, v);
  double newest[3] = {s.m_dPos[10][0][0], s.m_dPos[10][1][0], s.m_dPos[10][2][0]};
  EXPECT_LT(DistanceKm(r, newest), 0.001);

  // 5.5 × 0.03125 = 0.17 day: an end 0.15 day after the step keeps the level.
  TestRun near;
  StartNearTheSun(near, 2451545.0 + 1.5 + 0.15);
  EXPECT_EQ(AdvanceStepBookkeeping(&near.engine, nullptr, near.state.get()), kEngineContinue);
  EXPECT_EQ(near.state->m_nStepLevel, 0);
}

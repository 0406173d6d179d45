#pragma once
// Test helper: an engine and a calculation-run state started from a
// heliocentric state vector, and the state at the end recovered from the
// resulting elements.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "data/numerics.h"
#include "engine/auto_step.h"
#include "engine/force_model.h"
#include "engine/integration_drivers.h"
#include "engine/orbit_engine.h"
#include "engine/state_elements.h"

inline constexpr double kTestKmPerAu = 149597870.7;

// Heliocentric state of Apophis at the reference epoch (JPL; before its 2029
// encounter with the Earth).
inline constexpr double kApophisT0 = 2462138.5359989386;
inline constexpr double kApophisR[3] = {-5.5946538550488512E-01, 8.5647564757574512E-01, 3.0415066217102493E-01};
inline constexpr double kApophisV[3] = {-1.3818324735921638E-02, -6.0088275597939191E-03, -2.5805044631309632E-03};
// A main-belt state far from perihelion.
inline constexpr double kBeltT0 = 2459961.5;
inline constexpr double kBeltR[3] = {-2.72, -0.035, 0.090};
inline constexpr double kBeltV[3] = {-0.000137, -0.01027, -0.0042};

struct TestRun {
  OrbitEngine engine;
  std::unique_ptr<IntegrationState> state = std::make_unique<IntegrationState>();

  TestRun()
  {
    ResetOrbitEngine(&engine, nullptr);
    engine.m_bAutoRunning = engine.m_bAutoStop = 1;  // quiet: no view writes
  }

  // Elements of the heliocentric state r, v at t0 into m_el; a run from t0
  // to t1 with the step h (0: the automatic step), step control as asked.
  void Prepare(double t0, const double r[3], const double v[3], double t1, double h, bool stepControl)
  {
    SetupIntegrationState(&engine, state.get());
    SetElementsFromState(t0, r, v);
    const double dir = t1 >= t0 ? 1.0 : -1.0;
    state->m_dEpoch = t0;
    state->m_dEnd = t1;
    state->m_dDirection = dir;
    state->m_chMode = kModeCalculation;
    state->m_nBodies = 1;
    state->m_nSolveMask = 1;
    if (h == 0.0)
      h = CTessaruneLib::AutoIntegrationStep(state.get());
    state->m_dStep = h * dir;
    state->m_dStep2 = h * h;
    state->m_bStepControlWanted = stepControl ? 1 : 0;
    state->m_pGeoTrack = nullptr;
  }

  void SetElementsFromState(double t, const double r[3], const double v[3])
  {
    OsculatingElements el{};
    ConvertStateToElements(t, r, v, true, el);
    ElementBlock& b = state->m_el;
    b.m_dT = el.T, b.m_dQ = el.q, b.m_dE = el.e, b.m_dPeri = el.peri, b.m_dNode = el.node, b.m_dIncl = el.incl;
    for (int c = 0; c < 3; ++c)
      b.m_dP[c] = el.P[c], b.m_dQvec[c] = el.Q[c];
    b.m_dA = el.a;
    b.m_dM = el.M;
    b.m_dEpoch = t;
  }

  int Run() { return IntegrateOrbit(&engine, nullptr, nullptr, state.get()); }

  // Heliocentric state at the element epoch from m_el.
  void EndState(double r[3], double v[3]) const
  {
    const ElementBlock& b = state->m_el;
    const double elements[6] = {b.m_dT, b.m_dPeri, b.m_dNode, b.m_dIncl, b.m_dQ, b.m_dE};
    const double zero[6] = {};
    double pos[3][kMaxBodies], vel[3][kMaxBodies];
    EXPECT_EQ(ComputeInitialStates(b.m_dEpoch, 1, elements, zero, pos, vel), 0);
    for (int c = 0; c < 3; ++c)
      r[c] = pos[c][0], v[c] = vel[c][0];
  }
};

inline double DistanceKm(const double a[3], const double b[3])
{
  const double dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
  return std::sqrt(dx * dx + dy * dy + dz * dz) * kTestKmPerAu;
}

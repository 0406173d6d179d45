#pragma once
// Calculation runs of 100 years (1960-2060, the span of the DE405 reference
// file) with the automatic step and step control, as the propagation uses
// them, for three kinds of orbit:
//   MainBelt: (5303) Parijskij, no close approach to a planet.
//   NearEarth: (99942) Apophis, through its 2029 Earth encounter (the step
//     halves down to minutes and back, each change a restart).
//   JupiterFamily: 67P/Churyumov-Gerasimenko with its non-gravitational
//     parameters (water-ice law).
// Shared by the integrator benchmark and the solution fingerprint test; the
// planetary file must be open.
#include "astro/jpl_eph.h"
#include "data/numerics.h"
#include "engine/auto_step.h"
#include "engine/force_model.h"
#include "engine/integration_drivers.h"
#include "engine/orbit_engine.h"
#include "engine/state_elements.h"

inline constexpr double kHundredYearsStart = 2436960.5;                  // 1960 Feb 1
inline constexpr double kHundredYearsEnd = kHundredYearsStart + 36500.0;  // 2060 Jan 7

struct HundredYearOrbit {
  const char* name;
  double t;          // epoch of the state
  double r[3];       // AU
  double v[3];       // AU/day
  bool barycentric;  // the state is barycentric (else heliocentric)
  double a1, a2;     // non-gravitational parameters, AU/day²
};

inline constexpr HundredYearOrbit kMainBelt = {
    "MainBelt", 2449718.5,
    {-2.232847879711731E+00, 1.574146331186095E+00, 8.329414259670296E-01},
    {-6.247432571575564E-03, -7.431073424167182E-03, -3.231725223736132E-03},
    true, 0.0, 0.0};
inline constexpr HundredYearOrbit kNearEarth = {
    "NearEarth", 2462138.5359989386,
    {-5.5946538550488512E-01, 8.5647564757574512E-01, 3.0415066217102493E-01},
    {-1.3818324735921638E-02, -6.0088275597939191E-03, -2.5805044631309632E-03},
    false, 0.0, 0.0};
inline constexpr HundredYearOrbit kJupiterFamily = {
    "JupiterFamily", 2457691.5,
    {-3.671444539611959E+00, -1.497762385991873E+00, -4.027133458856754E-01},
    {-2.291930438111897E-03, -6.813786631688840E-03, -3.374841349586171E-03},
    false, 6.253191828728E-10, -9.530938230455E-11};

// Engine and state of a run from el (at its epoch) to end.
inline void PrepareHundredYearRun(OrbitEngine& engine, IntegrationState& state, const ElementBlock& el, double end) {
  SetupIntegrationState(&engine, &state);
  state.m_el = el;
  state.m_dEpoch = el.m_dEpoch;
  state.m_dEnd = end;
  state.m_dDirection = end >= el.m_dEpoch ? 1.0 : -1.0;
  state.m_chMode = kModeCalculation;
  state.m_nBodies = 1;
  state.m_nSolveMask = 1;
  state.m_pGeoTrack = nullptr;
  const double h = CTessaruneLib::AutoIntegrationStep(&state);
  state.m_dStep = h * state.m_dDirection;
  state.m_dStep2 = h * h;
  state.m_bStepControlWanted = 1;
}

// An engine set for the orbit's runs: quiet, non-gravitational forces when
// it has them.
inline void PrepareHundredYearEngine(OrbitEngine& engine, const HundredYearOrbit& orbit) {
  ResetOrbitEngine(&engine, nullptr);
  engine.m_bAutoRunning = engine.m_bAutoStop = 1;
  engine.m_bNonGrav = orbit.a1 != 0.0 ? 1 : 0;
}

// The orbit's elements at 1960, from a run back from its own epoch. The
// run's code.
inline int HundredYearStartElements(OrbitEngine& engine, IntegrationState& state, const HundredYearOrbit& orbit,
                                    ElementBlock& start) {
  double r[3], v[3], sun[6] = {};
  int valid = 1;
  if (orbit.barycentric) JplPleph(orbit.t, kJplSun, kJplSolarSystemBarycentre, sun, valid);
  for (int c = 0; c < 3; ++c) {
    r[c] = orbit.r[c] - sun[c];
    v[c] = orbit.v[c] - sun[3 + c];
  }
  OsculatingElements oe{};
  ConvertStateToElements(orbit.t, r, v, true, oe);
  ElementBlock el{};
  el.m_dT = oe.T, el.m_dQ = oe.q, el.m_dE = oe.e, el.m_dPeri = oe.peri, el.m_dNode = oe.node, el.m_dIncl = oe.incl;
  el.m_dA1 = orbit.a1, el.m_dA2 = orbit.a2;
  el.m_dEpoch = orbit.t;
  PrepareHundredYearRun(engine, state, el, kHundredYearsStart);
  const int r0 = IntegrateOrbit(&engine, nullptr, nullptr, &state);
  start = state.m_el;
  return r0;
}

#include "engine/deep_encounter_fit.h"

#include <algorithm>
#include <cmath>

#include "data/observation_record.h"
#include "engine/ai_rules.h"
#include "engine/observation_set.h"
#include "engine/epoch_placement.h"
#include "engine/integration_drivers.h"
#include "engine/integration_state.h"
#include "engine/orbit_engine.h"
#include "engine/state_elements.h"

namespace {

constexpr int kSixElements = 6;

bool AllSixSolved(const IntegrationState* state) {
  for (int k = 0; k < kSixElements; ++k)
    if ((state->m_nSolveMask & (1 << (k + 1))) == 0) return false;
  return true;
}

// The heliocentric state at the epoch that the integration starts from.
bool EpochState(const IntegrationState* state, const double elements[kSixElements], double x[6]) {
  double pos[3][kMaxBodies], vel[3][kMaxBodies];
  const double none[kSixElements] = {};
  if (ComputeInitialStates(state->m_dEpoch, 1, elements, none, pos, vel) != 0) return false;
  for (int c = 0; c < 3; ++c) {
    x[c] = pos[c][0];
    x[3 + c] = vel[c][0];
  }
  return true;
}

}  // namespace

bool DeepEncounterFit(const OrbitEngine* engine, const IntegrationState* state) {
  const DetClass* det = engine->m_pDet;
  const int first = engine->m_nFirstObs, last = engine->m_nLastObs;
  if (!det || !det->m_pOrbObs || first < 0 || last >= det->m_nObsCount || first > last) return false;
  const double ttFirst = det->m_pOrbObs[first].m_dJdTt, ttLast = det->m_pOrbObs[last].m_dJdTt;
  // The closest distance is kept over every run since the first call, the
  // move of the epoch included: an epoch weeks from the arc (2018 LA's, moved
  // back across its impact) says the encounter is not what the passes fit.
  const double epoch = state->m_dEpoch;
  if (ttLast - ttFirst > kShortArcDays || epoch < ttFirst - kShortArcDays || epoch > ttLast + kShortArcDays)
    return false;
  // Far from any orbit (a start from three picks, tens of thousands of
  // arcseconds off) the linear step is too long for either refinement, and
  // the passes that found TC3's and BX1's orbits from their picks took the
  // plain step there.
  if (EndsWithoutOrbit(engine->m_dMeanResidual)) return false;
  // A state that never ran holds no distance (0), not an impact.
  const double closest = state->m_dMinEarthDistance;
  return closest > 0.0 && closest < kDeepEncounterAu;
}

// Over such an arc the observations pin the state near the Earth, and the
// orbits that fit about as well lie along a line of states (distance against
// radial speed) that is nearly straight. Added to the elements, the same
// correction follows the tangent of that line bent through the elements: for
// 2024 BX1 the fit 300 km and 340 m/s off at 111" took steps of 1" at a time
// along a curved valley. Taken as a state change, a step goes where the
// linear fit meant it to.
bool ApplyCorrectionAsStateChange(OrbitEngine* engine, IntegrationState* state, double fraction) {
  if (!AllSixSolved(state) || !DeepEncounterFit(engine, state)) return false;
  ElementBlock& el = state->m_el;
  const double from[kSixElements] = {el.m_dT, el.m_dPeri, el.m_dNode, el.m_dIncl, el.m_dQ, el.m_dE};
  double x0[6];
  if (!EpochState(state, from, x0)) return false;
  // Each element's column of the state's derivative, by a central difference
  // over its own variation amount as the element's precision rounds it.
  double x[6];
  std::copy(x0, x0 + 6, x);
  for (int k = 0; k < kSixElements; ++k) {
    double plus[kSixElements], minus[kSixElements], xp[6], xm[6];
    std::copy(from, from + kSixElements, plus);
    std::copy(from, from + kSixElements, minus);
    plus[k] += state->m_dVariation[k];
    minus[k] -= state->m_dVariation[k];
    const double span = plus[k] - minus[k];
    if (!(span > 0.0) || !EpochState(state, plus, xp) || !EpochState(state, minus, xm)) return false;
    const double move = fraction * engine->m_dLastCorrection[k] / span;
    for (int c = 0; c < 6; ++c) x[c] += (xp[c] - xm[c]) * move;
  }
  const double r[3] = {x[0], x[1], x[2]}, v[3] = {x[3], x[4], x[5]};
  OsculatingElements o{};
  ConvertStateToElements(state->m_dEpoch, r, v, true, o);
  for (double value : {o.T, o.peri, o.node, o.incl, o.q, o.e})
    if (!std::isfinite(value)) return false;
  el.m_dT = o.T, el.m_dPeri = o.peri, el.m_dNode = o.node, el.m_dIncl = o.incl, el.m_dQ = o.q, el.m_dE = o.e;
  return true;
}

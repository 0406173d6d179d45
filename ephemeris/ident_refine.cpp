#include "ephemeris/ident_refine.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/frames.h"
#include "data/observation_record.h"
#include "engine/determination_host.h"
#include "engine/force_model.h"
#include "engine/integration_drivers.h"
#include "engine/integration_state.h"
#include "engine/orbit_engine.h"
#include "engine/quiet_run_settings.h"

namespace {

constexpr double kRefineStepDays = 4.0;
// Within this many steps the candidate's own elements are used.
constexpr double kUnintegratedSteps = 12.0;

// Into [-π, π] by adding or subtracting 2π.
double WrapSigned(double x) {
  while (x > kPi) x -= kTwoPi;
  while (x < -kPi) x += kTwoPi;
  return x;
}

// (0, 2π] by the floating remainder.
double WrapPositive(double x) {
  x = std::fmod(x, kTwoPi);
  if (x <= 0) x += kTwoPi;
  return x;
}

}  // namespace

int CandidateResiduals(double jdT, double qAu, double e, const double P[3], const double Q[3],
                       const ObservationRecord* obs, int count, double dt, double& sumSquares, double& gradient,
                       double& curvature, double* deltaMid) {
  sumSquares = gradient = curvature = 0;
  if (deltaMid) *deltaMid = 0;
  for (int i = 0; i < count; ++i) {
    double a1, d1, delta1, r1, a2, d2, delta2, r2;
    if (!TwoBodyPositionLightTime(jdT, qAu, e, P, Q, obs[i].m_dJdTt, obs[i].m_dSun, 3, a1, d1, delta1, r1) ||
        !TwoBodyPositionLightTime(jdT + dt, qAu, e, P, Q, obs[i].m_dJdTt, obs[i].m_dSun, 3, a2, d2, delta2, r2))
      return 0;
    const double cosDec = std::cos(obs[i].m_dDec);
    const double rA = WrapSigned(obs[i].m_dRa - a1) * cosDec, rD = obs[i].m_dDec - d1;
    const double pA = cosDec * WrapSigned(a2 - a1) / dt, pD = (d2 - d1) / dt;
    sumSquares += rA * rA + rD * rD;
    gradient += pD * rD + pA * rA;
    curvature += pD * pD + pA * pA;
    if (i == count / 2 && deltaMid) *deltaMid = delta1;
  }
  return 1;
}

int MoveCandidateToTime(const IdentCandidate& c, double tmid, IntegrationState* state, EngineWindow* window,
                        bool useNormalizeAngle) {
  CDetermination* det = CurrentDetermination();
  if (!det || !det->m_pEngine || !det->m_pDetClass) return 0;
  OrbitEngine* engine = det->m_pEngine;
  *state = IntegrationState{};
  SetupIntegrationState(engine, state);

  ElementBlock& el = state->m_el;
  el.m_dT = c.m_dT;
  el.m_dQ = c.m_dQ;
  el.m_dE = c.m_dE;
  el.m_dPeri = c.m_dPeri;
  el.m_dNode = c.m_dNode;
  el.m_dIncl = c.m_dIncl;
  OrbitOrientationVectors(el.m_dPeri, el.m_dNode, el.m_dIncl, el.m_dP, el.m_dQvec);
  el.m_dA1 = el.m_dA2 = el.m_dA3 = 0;
  el.m_dA = c.m_dQ / (1.0 - c.m_dE);
  el.m_dN = kGaussK / std::pow(el.m_dA, 1.5);
  const double M = (c.m_dEpoch - c.m_dT) * el.m_dN;
  el.m_dM = useNormalizeAngle ? NormalizeAngle(M) : WrapPositive(M);
  el.m_dEpoch = c.m_dEpoch;

  state->m_dEpoch = c.m_dEpoch;
  state->m_nBodies = 1;
  state->m_nSolveMask = 127;
  state->m_chMode = kModeCalculation;
  state->m_chElementForm = 'M';
  state->m_bAsteroid = 1;
  state->m_nOrbitKind = 0;
  state->m_pApproach = nullptr;
  state->m_pImpacts = nullptr;
  state->m_pGeoTrack = nullptr;
  state->m_nStepCount = 0;
  state->m_dEnd = tmid;
  state->m_dDirection = tmid >= c.m_dEpoch ? 1.0 : -1.0;
  state->m_dStep = kRefineStepDays * state->m_dDirection;
  state->m_dStep2 = state->m_dStep * state->m_dStep;
  det->ClearElementBlockTexts();

  if (std::fabs(tmid - c.m_dEpoch) <= kUnintegratedSteps * kRefineStepDays) return 1;
  int r;
  {
    QuietRunSettings settings(engine, det->m_pDetClass);
    r = IntegrateOrbit(engine, window, nullptr, state);
  }
  return r == kEngineDone ? 1 : 0;
}

int RefineCandidatePerturbed(const IdentCandidate& c, const ObservationRecord* obs, int count, EngineWindow* window,
                             RefineResult* result) {
  *result = RefineResult{};
  if (count <= 0 || !window) return 0;
  auto state = std::make_unique<IntegrationState>();
  double first = obs[0].m_dJdTt, last = obs[0].m_dJdTt;
  for (int i = 1; i < count; ++i) {
    first = std::min(first, obs[i].m_dJdTt);
    last = std::max(last, obs[i].m_dJdTt);
  }
  if (!MoveCandidateToTime(c, (first + last) / 2, state.get(), window, false)) return 0;
  const ElementBlock& el = state->m_el;
  double P[3], Q[3];
  OrbitOrientationVectors(el.m_dPeri, el.m_dNode, el.m_dIncl, P, Q);
  constexpr double dt = 0.01;
  double ss, g, h, deltaMid;
  if (!CandidateResiduals(el.m_dT, el.m_dQ, el.m_dE, P, Q, obs, count, dt, ss, g, h, &deltaMid)) return 0;
  result->m_dRmsMoved = std::sqrt(ss / count) * kArcsecPerRad;
  result->m_dDeltaMid = deltaMid;
  double shift = 0;
  for (int i = 0; i < 12; ++i) {
    if (h <= 0) break;
    const double step = std::clamp(g / h, -5.0, 5.0);
    shift += step;
    if (!CandidateResiduals(el.m_dT + shift, el.m_dQ, el.m_dE, P, Q, obs, count, dt, ss, g, h, nullptr)) return 0;
    if (std::fabs(step) < 1e-7) break;
  }
  result->m_dShiftT = shift;
  result->m_dRmsShifted = std::sqrt(ss / count) * kArcsecPerRad;
  return 1;
}

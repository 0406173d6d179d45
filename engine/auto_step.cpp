#include "engine/auto_step.h"

#include <algorithm>
#include <cmath>

#include "astro/constants.h"
#include "engine/integration_state.h"

namespace CTessaruneLib {

double AutoIntegrationStep(const IntegrationState* state) {
  double h = 0.5;
  if (state->m_chMode == kModeCalculation && state->m_dEnd != 0.0) {
    const double span = std::fabs(state->m_dEnd - state->m_dEpoch);
    if (span / 0.5 > 100000.0)
      while (h < kAutoStepMax && span / h > 100000.0) h *= 2.0;
    while (span / h < 40.0 && h > kAutoStepMin) h *= 0.5;
    return h;
  }
  const double t0 = state->m_dEpoch, t1 = state->m_dObsFirst, t2 = state->m_dObsLast;
  const double span = std::max(std::fabs(t0 - t1), std::fabs(t2 - t1));
  while (span / h < 200.0 && h > kAutoStepMin) h *= 0.5;
  const double q = state->m_el.m_dQ, T = state->m_el.m_dT;
  if (q > 0.0 && T > std::min(t1, t0) - 40.0 && T < std::max(t2, t0) + 40.0) {
    // 0.02 of the time unit at perihelion, q^1.5 / k days.
    const double limit = 0.02 * std::pow(q, 1.5) / kGaussK;
    while (h > kAutoStepMin && h > limit) h *= 0.5;
  }
  return h;
}

}  // namespace CTessaruneLib

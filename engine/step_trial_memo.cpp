#include "engine/step_trial_memo.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "astro/jpl_eph.h"
#include "astro/perturber_positions.h"
#include "engine/epoch_placement.h"
#include "engine/integration_state.h"
#include "engine/orbit_engine.h"

namespace {

KeptStepTrial TrialInputs(const OrbitEngine& engine, const IntegrationState& base, double direction, double end,
                          double absStep) {
  KeptStepTrial k;
  const ElementBlock& el = base.m_el;
  const double head[] = {el.m_dT,  el.m_dPeri, el.m_dNode, el.m_dIncl, el.m_dQ,  el.m_dE, el.m_dA1,
                         el.m_dA2, el.m_dA3,   base.m_dEpoch, direction, end, std::fabs(absStep)};
  auto out = std::copy(std::begin(head), std::end(head), k.inputs.begin());
  out = std::copy(std::begin(base.m_dMinusGM), std::end(base.m_dMinusGM), out);
  out = std::copy(std::begin(base.m_dMass), std::end(base.m_dMass), out);
  *out++ = engine.m_bRelativity;
  *out++ = engine.m_bEarthJ2;
  *out++ = static_cast<double>(JplReaderGeneration());
  return k;
}

}  // namespace

int KeptStepTrialRun(OrbitEngine* engine, const IntegrationState& base, double direction, double end, double absStep,
                     int& level, std::string& report, std::vector<KeptStepTrial>& kept) {
  const bool keep = engine->m_bReuseWork && engine->m_nAsteroidSet == 0 && engine->m_bNonGrav == 0;
  if (!keep) return StepTrialRun(engine, base, direction, end, absStep, level, report);
  KeptStepTrial trial = TrialInputs(*engine, base, direction, end, absStep);
  const auto same = [&](const KeptStepTrial& k) {
    return std::memcmp(k.inputs.data(), trial.inputs.data(), sizeof trial.inputs) == 0;
  };
  const auto found = std::find_if(engine->m_keptTrials.begin(), engine->m_keptTrials.end(), same);
  if (found != engine->m_keptTrials.end()) {
    // What the run would leave: its texts, and no asteroid misses (it has no asteroids).
    level = found->level;
    report = found->runReport;
    engine->m_strRunReport = found->runReport;
    engine->m_strCollisionReport = found->collisionReport;
    engine->m_nAsteroidMisses = 0;
    g_nAsteroidEphMisses = 0;
    kept.push_back(*found);
    return 0;
  }
  const int result = StepTrialRun(engine, base, direction, end, absStep, level, report);
  if (result == 0) {
    trial.level = level;
    trial.runReport = report;
    trial.collisionReport = engine->m_strCollisionReport;
    kept.push_back(std::move(trial));
  }
  return result;
}

#pragma once
// The nominal-orbit trial runs of an improvement call, kept for the next
// call: a step that asked to be redone (the variation amounts re-calibrated,
// say) leaves the elements as they were, and its trials would give the same
// deepest level and texts again. A kept trial is taken only for inputs equal
// bit for bit.
#include <array>
#include <string>
#include <vector>

#include "engine/integration_state.h"

struct OrbitEngine;

inline constexpr int kStepTrialInputs = 13 + 2 * kPerturbers + 3;

struct KeptStepTrial {
  // The elements and epoch of the run, its direction, end and step, the
  // perturbers' masses, then the force-model flags and the planetary file's
  // generation.
  std::array<double, kStepTrialInputs> inputs{};
  int level = 0;                    // what the trial gave
  std::string runReport, collisionReport;  // what it left in the engine
};

// A trial of base with direction, end and |absStep| as StepTrialRun runs it,
// taken from the last call's trials when one had the same inputs (the
// engine's texts as that trial left them), else run and kept for the next
// call. Trials are kept only with m_bReuseWork, without asteroids and without
// non-gravitational forces; only those that succeeded. kept collects this
// call's trials; the caller hands them to the engine when its trials are done.
int KeptStepTrialRun(OrbitEngine* engine, const IntegrationState& base, double direction, double end, double absStep,
                     int& level, std::string& report, std::vector<KeptStepTrial>& kept);

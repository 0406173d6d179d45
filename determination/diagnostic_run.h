#pragma once
// The frame of a diagnostic test that solves trial solutions on the view's
// engine: the solution the user had is saved, the trials run quiet under the
// busy guard, and the saved solution comes back with everything that
// belongs to it (elements, switches and model, rejected flags, formal errors,
// covariance, mean residual and used count), also after a cancel or a
// failing trial.
#include <cstdint>
#include <vector>

#include "engine/improvement_staging.h"

class CDetermination;

struct DiagnosticSave {
  SolutionSnapshot solution;
  double covariance[9][9] = {};
  int covarianceSize = 0;
  int covarianceValid = 0;
  double covarianceEpoch = 0;
  uint32_t covarianceSignature = 0;
  double sigma0 = 0;
  double meanSignedResidual = 0;
  double sumWeights = 0, weightedSumSq = 0;
  int calcState = 0;
  // Residuals and distances of every observation, put back when the
  // residuals of the restored solution cannot be recomputed.
  std::vector<double> residuals;
  int autoRunning = 0, autoStop = 0, quietRun = 0;
};

// Under the busy guard (taken by the caller): saves the solution and the
// run flags, then runs the engine automatic and quiet.
void BeginDiagnosticRun(CDetermination& view, DiagnosticSave& save);
// A trial starts from the saved solution: elements, switches, flags and
// uncertainties (the view's non-gravitational display follows).
void RestoreDiagnosticSolution(CDetermination& view, const SolutionSnapshot& snapshot);
// Puts the saved solution back, recomputes its residuals at the epoch
// (JD TT), restores what the recomputation overwrote and the run flags.
// The caller then ends the busy guard.
void EndDiagnosticRun(CDetermination& view, DiagnosticSave& save, double epochJdTT);

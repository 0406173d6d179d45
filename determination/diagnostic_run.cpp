#include "determination/diagnostic_run.h"

#include <cstring>

#include "engine/determination_host.h"
#include "engine/differential_correction.h"
#include "engine/improvement_epoch.h"
#include "engine/orbit_engine.h"
#include "engine/view_fit_run.h"

namespace {

void SaveResiduals(const DetClass* det, std::vector<double>& out) {
  out.clear();
  for (int i = 0; det->m_pOrbObs && i < det->m_nObsCount; ++i) {
    const ObservationRecord& o = det->m_pOrbObs[i];
    out.insert(out.end(), {o.m_dResRa, o.m_dResDec, o.m_dHelioDist});
  }
}

void RestoreResiduals(DetClass* det, const std::vector<double>& saved) {
  for (int i = 0; det->m_pOrbObs && i < det->m_nObsCount && 3 * static_cast<size_t>(i) + 2 < saved.size(); ++i) {
    ObservationRecord& o = det->m_pOrbObs[i];
    o.m_dResRa = saved[3 * i];
    o.m_dResDec = saved[3 * i + 1];
    o.m_dHelioDist = saved[3 * i + 2];
  }
}

}  // namespace

void BeginDiagnosticRun(CDetermination& view, DiagnosticSave& save) {
  OrbitEngine& engine = *view.m_pEngine;
  SaveSolution(ViewFitRun(view).Run(), save.solution);
  std::memcpy(save.covariance, engine.m_covariance, sizeof save.covariance);
  save.covarianceSize = engine.m_nCovarianceSize;
  save.covarianceValid = engine.m_bCovarianceValid;
  save.covarianceEpoch = engine.m_dCovarianceEpoch;
  save.covarianceSignature = engine.m_nCovarianceSignature;
  save.sigma0 = engine.m_dSigma0;
  save.meanSignedResidual = engine.m_dMeanSignedResidual;
  save.sumWeights = engine.m_dSumWeights;
  save.weightedSumSq = engine.m_dWeightedSumSq;
  save.calcState = engine.m_nCalcState;
  SaveResiduals(view.m_pDetClass, save.residuals);
  save.autoRunning = engine.m_bAutoRunning;
  save.autoStop = engine.m_bAutoStop;
  save.quietRun = view.m_bQuietRun;
  engine.m_bAutoRunning = 1;
  engine.m_bAutoStop = 1;
  view.m_bQuietRun = 1;
}

void RestoreDiagnosticSolution(CDetermination& view, const SolutionSnapshot& snapshot) {
  RestoreSolution(ViewFitRun(view).Run(), snapshot);
  view.ShowNonGravParams();
}

void EndDiagnosticRun(CDetermination& view, DiagnosticSave& save, double epochJdTT) {
  OrbitEngine& engine = *view.m_pEngine;
  RestoreDiagnosticSolution(view, save.solution);
  engine.m_nCalcState = save.calcState;
  // A cancel asked for during the trials must not stop the recomputation.
  if (engine.m_nCancel == 1) engine.m_nCancel = 0;
  RoundFieldEpoch(&view, epochJdTT);
  if (ImproveOrbitIteration(&engine, epochJdTT, 0) != kEngineDone) RestoreResiduals(view.m_pDetClass, save.residuals);
  // The recomputation cleared the uncertainties and measured the residual
  // of the corrected elements; the solution keeps what it was shown with.
  RestoreSolutionDisplay(ViewFitRun(view).Run(), save.solution);
  engine.m_dMeanResidual = save.solution.meanResidual;
  engine.m_nUsedObs = save.solution.usedObs;
  engine.m_dMeanSignedResidual = save.meanSignedResidual;
  engine.m_dSumWeights = save.sumWeights;
  engine.m_dWeightedSumSq = save.weightedSumSq;
  engine.m_nCalcState = save.calcState;
  std::memcpy(engine.m_covariance, save.covariance, sizeof save.covariance);
  engine.m_nCovarianceSize = save.covarianceSize;
  engine.m_bCovarianceValid = save.covarianceValid;
  engine.m_dCovarianceEpoch = save.covarianceEpoch;
  engine.m_nCovarianceSignature = save.covarianceSignature;
  engine.m_dSigma0 = save.sigma0;
  engine.m_bAutoRunning = save.autoRunning;
  engine.m_bAutoStop = save.autoStop;
  view.m_bQuietRun = save.quietRun;
  save.solution.rejected.clear();
  view.RefreshResidualList(view.m_pDetClass->m_pOrbObs, view.m_bResidualsShown);
}

#include "neocp/batch_orbit.h"

#include <cmath>
#include <filesystem>

#include "data/observation_record.h"
#include "determination/determination_display.h"
#include "determination/obs_loading.h"
#include "determination/solution_file.h"
#include "engine/ai_improvement.h"
#include "engine/determination_host.h"
#include "engine/improvement_procedures.h"
#include "engine/orbit_engine.h"
#include "engine/view_fit_run.h"
#include "neocp/earth_screening.h"
#include "neocp/scan_object.h"
#include "neocp/scan_row.h"
#include "neocp/systematic_ranging.h"
#include "platform/numbers.h"

namespace {

// The file into the view in batch mode 1 (messages collected). True when it
// was read: a file that cannot be read leaves the previous object's
// observations loaded, which must not pass for this object's.
bool OpenObsFileInBatch(CDeterminationDisplay& view, const std::string& path) {
  view.m_nBatchMode = 1;
  view.m_strBatchMessages.clear();
  view.m_szObsFile.clear();
  OpenObsFile(view, path);
  const DetClass* det = view.m_pDetClass;
  return !view.m_szObsFile.empty() && view.m_pEngine->m_nCalcState == kCalcLoaded && det->m_pOrbObs &&
         det->m_nObsCount > 0;
}

bool IsExistingFile(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

}  // namespace

bool AiOrbitAcceptable(const CDetermination& view) {
  const OrbitEngine* engine = view.m_pEngine;
  if (view.m_nAiResult != kEngineDone && view.m_nAiResult != kEngineImpact) return false;
  if (engine->m_nCalcState != kCalcImprovedPerturbed) return false;
  const double rms = engine->m_dMeanResidual;
  if (!std::isfinite(rms) || rms <= 0.0 || rms > kBatchAiMaxResidual) return false;
  const ElementBlock& el = engine->m_state.m_el;
  return std::isfinite(el.m_dQ) && std::isfinite(el.m_dE) && el.m_dQ > 0.0;
}

bool BatchTriesAi(double arcDays, int usable) { return arcDays >= kBatchAiMinArc && usable >= kBatchAiMinObs; }

bool UsableInBatch(const ObservationRecord& o) { return KnownAndNotByHand(o); }

int ComputeBatchOrbit(CDeterminationDisplay& view, const std::string& obsPath, const NeocpScanSettings& settings,
                      NeocpScanRow& row, EngineWindow* window, ScanProgress* progress) {
  OrbitEngine* engine = view.m_pEngine;
  row.obs_path = obsPath;
  const bool loaded = OpenObsFileInBatch(view, obsPath);
  view.m_nBatchMode = 0;
  const DetClass* det = view.m_pDetClass;
  if (!loaded) {
    row.status = kScanUnreadable;
    row.note = view.m_strBatchMessages.empty() ? std::string(kMsgBatchObsUnreadable) : view.m_strBatchMessages;
    return -1;
  }

  int usable = 0;
  double first = 0.0, last = 0.0;
  for (int i = 0; i < det->m_nObsCount; ++i) {
    const ObservationRecord& o = det->m_pOrbObs[i];
    if (!UsableInBatch(o)) continue;
    if (usable == 0 || o.m_dJdTt < first) first = o.m_dJdTt;
    if (usable == 0 || o.m_dJdTt > last) last = o.m_dJdTt;
    ++usable;
  }
  row.n_obs = det->m_nObsCount;
  row.arc_days = usable > 0 ? last - first : 0.0;

  if (usable < 3) {
    row.status = kScanNoOrbit;
    row.note = FormatC(kMsgBatchTooFewObs, usable);
    if (usable < det->m_nObsCount) row.note += kMsgBatchUnknownStations;
    return -1;
  }

  if (BatchTriesAi(row.arc_days, usable)) {
    if (progress) progress->SetStatusText(FormatC(kStatusBatchAi, row.desig.c_str()));
    view.m_nAiResult = -100;
    view.m_nBatchMode = 1;
    {
      // The scan counts as busy; its own procedure passes the busy test.
      ScanOwnCall own(engine);
      OnAiImprove(view);
    }
    view.m_nBatchMode = 0;
    if (view.m_nAiResult == kEngineCancelled) {
      row.status = kScanAborted;
      return -9;
    }
    const bool accepted = AiOrbitAcceptable(view);
    if (accepted) TakeEngineOrbit(engine, row);
    if (progress && progress->PumpAndCheckCancel() != 0) {
      row.status = kScanAborted;
      return -9;
    }
    if (accepted) return MakeCovarianceClones(view, settings, row, window, progress);
  }

  if (progress) progress->SetStatusText(FormatC(kStatusBatchRanging, row.desig.c_str()));
  return RunSystematicRanging(view, settings, row, window, progress);
}

int LoadScanObject(CDeterminationDisplay& view, const std::string& obsPath, const std::string& solutionPath,
                   std::string& message) {
  message.clear();
  OrbitEngine* engine = view.m_pEngine;
  if (engine->m_bBusy == 1 || engine->m_bAutoRunning == 1) {
    message = kMsgOtherCalculationRunning;
    return -1;
  }
  if (OpenObsFileInBatch(view, obsPath)) {
    if (!IsExistingFile(solutionPath)) {
      view.m_nBatchMode = 0;
      message = view.m_strBatchMessages;
      return 1;
    }
    const int result = LoadSolutionFile(view, solutionPath);
    view.m_nBatchMode = 0;
    message = view.m_strBatchMessages;
    if (result == 0) return 0;
    // The reader's own reason, collected in batch mode, after the path.
    std::string reason = message;
    message = std::string(kMsgScanSolutionUnreadable) + solutionPath;
    if (!reason.empty()) message += "\r\n" + reason;
    return result == kEngineCancelled ? kEngineCancelled : -1;
  }
  view.m_nBatchMode = 0;
  message = std::string(kMsgScanObsUnreadable) + obsPath;
  return -1;
}

int ReimproveNominalForBatch(CDeterminationDisplay& view, const std::string& obsPath, const std::string& solutionPath,
                             double& meanResidual, int& usedCount) {
  meanResidual = 0.0;
  usedCount = 0;
  std::string message;
  if (LoadScanObject(view, obsPath, solutionPath, message) < 0) return -1;
  const double epoch = EpochFieldsJd(view);
  OrbitEngine* engine = view.m_pEngine;
  view.m_nBatchMode = 1;
  view.m_bQuietRun = 1;
  std::string log;
  const int result = IterateImprovement(ViewFitRun(view).Run(), epoch, 3, log, 1);
  view.m_nBatchMode = 0;
  view.m_bQuietRun = 0;
  if (result != 0) return result == kEngineCancelled ? kEngineCancelled : -2;
  meanResidual = engine->m_dMeanResidual;
  const DetClass* det = view.m_pDetClass;
  for (int i = 0; i < det->m_nObsCount; ++i)
    if (UsableInFit(det->m_pOrbObs[i])) ++usedCount;
  return 0;
}

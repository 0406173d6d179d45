#include "engine/improvement_procedures.h"

#include <cmath>
#include <cstdlib>
#include <utility>

#include "astro/time_scales.h"
#include "data/step_texts.h"
#include "engine/determination_host.h"
#include "engine/differential_correction.h"
#include "engine/distance_scan.h"
#include "engine/fit_run.h"
#include "engine/improvement_epoch.h"
#include "engine/improvement_staging.h"
#include "engine/orbit_engine.h"
#include "engine/two_body_correction.h"
#include "engine/view_fit_run.h"
#include "platform/app_services.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"

namespace {

// The cancel dialog normally comes up at once; a window system that never
// shows it must not hang the run.
constexpr uint32_t kDialogWaitMs = 2000;
constexpr uint32_t kDialogWaitSliceMs = 10;

bool HasObservations(const CDetermination& view) {
  const DetClass* det = view.m_pDetClass;
  return det && det->m_pOrbObs && det->m_nObsCount > 0;
}

// One step of the manual or automatic improvement: with perturbations the
// redo loop, without the two-body correction (calculation state 4).
int OneStep(FitRun& run, double x) {
  OrbitEngine* engine = run.engine;
  if (engine->m_bPerturbations) return ImproveStepWithRedo(run, x);
  engine->m_nCalcState = kCalcImprovedTwoBody;
  return DifferentialCorrection(run.det, engine);
}

const std::string& StepMessage(const FitRun& run) {
  return run.engine->m_bPerturbations ? run.engine->m_strMessage : run.det->m_strError;
}

}  // namespace

void OpenCancelDialogNow(OrbitEngine* engine) {
  engine->m_bCancelDlgStarted = 1;
  engine->m_nCancel = -1;
  CancelDialogThread(engine);
  EngineClock& clock = engine->m_pClock ? *engine->m_pClock : SystemEngineClock();
  const uint32_t start = clock.TickMs();
  while (engine->m_nCancel == -1 && clock.TickMs() - start < kDialogWaitMs)
    if (!Ui().PumpOneEvent()) clock.SleepMs(kDialogWaitSliceMs);
  if (engine->m_nCancel == -1) engine->m_nCancel = 0;
}

namespace {

// Index of the usable observation with the largest residual component, or -1.
int WorstResidualIndex(const DetClass* det) {
  int worst = -1;
  double largest = -1.0;
  for (int i = 0; i < det->m_nObsCount; ++i) {
    const ObservationRecord& o = det->m_pOrbObs[i];
    if (o.m_bRejected || o.m_nUnknownStation) continue;
    const double d = std::fmax(std::fabs(o.m_dResRa), std::fabs(o.m_dResDec));
    if (d > largest) {
      largest = d;
      worst = i;
    }
  }
  return worst;
}

// The orbit whose residuals a stage measured best: the solution as it was
// before that step (the step measures the elements it starts from).
struct BestMeasured {
  SolutionSnapshot before, best;
  double beforeEpoch = 0, bestEpoch = 0;
  double mean = 9e18;
  int iteration = 0;
};

// A last step clearly worse than the best: 1 % and 0.001".
bool ClearlyWorse(double mean, double best) { return !(mean <= best * 1.01 + 0.001); }

void ShowIterationOnList(FitRun& run);

// Puts the best measured orbit back and recomputes its residuals; 0 or the
// failing code.
int ReturnToBest(FitRun& run, double epochJdTT, const BestMeasured& b, std::string& log) {
  OrbitEngine* engine = run.engine;
  RestoreSolution(run, b.best);
  const int r = ImproveOrbitIteration(engine, epochJdTT, 0);
  if (r != 0) return r;
  RestoreSolutionDisplay(run, b.best);
  // The covariance in the engine is that of the discarded step.
  engine->m_bCovarianceValid = 0;
  log += FormatC("  → 反復%dの解が最良(平均残差 %.3f\")だったため、その解に戻しました\r\n", b.iteration,
                 engine->m_dMeanResidual);
  if (!run.options.quietRun) ShowIterationOnList(run);
  return 0;
}

// Measures the orbit the last step left (its correction applied, its
// residuals not yet computed): the residuals, mean and count the stage ends
// on are then those of the orbit the engine holds. The measurement keeps the
// uncertainties of that step and the correction history, so that the next
// stage goes on as it would have without it; 0 or the failing code.
int MeasureKeptOrbit(FitRun& run, double epochJdTT) {
  OrbitEngine* engine = run.engine;
  SolutionSnapshot step;
  SaveSolution(run, step);
  const int haveSaved = engine->m_bHaveSaved, stopped = engine->m_bCorrectionStopped;
  const int retries = engine->m_nWorsenRetries, damping = engine->m_bDampingActive;
  const int autoRunning = engine->m_bAutoRunning, autoStop = engine->m_bAutoStop;
  engine->m_bAutoRunning = engine->m_bAutoStop = 1;  // shown once below, with the step's uncertainties
  const int r = ImproveOrbitIteration(engine, epochJdTT, 0);
  engine->m_bAutoRunning = autoRunning;
  engine->m_bAutoStop = autoStop;
  if (r != 0) return r;
  engine->m_bHaveSaved = haveSaved;
  engine->m_bCorrectionStopped = stopped;
  engine->m_nWorsenRetries = retries;
  engine->m_bDampingActive = damping;
  RestoreSolutionDisplay(run, step);
  if (!EngineRunsQuiet(*engine)) run.observer->ImprovementResultChanged(1);
  return 0;
}

void ShowIterationOnList(FitRun& run) {
  if (run.options.automaticStep) run.observer->StepUsed(std::fabs(run.engine->m_state.m_dStep));
  const int worst = WorstResidualIndex(run.det);
  if (worst >= 0) run.observer->ScrollTo(worst);
  run.observer->ResidualsChanged(false);
}

// Ends the automatic run: quiet flag off, guard ended (closes the cancel
// dialog unless its button did, leaves the cancel flag 0), buttons back.
void EndAutomaticRun(CDetermination& view, const char* endTitle, int code) {
  OrbitEngine* engine = view.m_pEngine;
  engine->m_bAutoRunning = 0;
  EndBusy(engine);
  view.EnableImproveButtons(1);
  view.WriteOpLogCalcEnd(endTitle, code);
}

}  // namespace

double EpochFieldsJd(CDetermination& view) {
  std::string year, month, day;
  view.GetEpochFields(year, month, day);
  return EpochOfFieldTexts(year, month, day);
}

int ImproveStepWithRedo(FitRun& run, double epochJdTT) {
  int r = kEngineRedoStep;
  for (int i = 0; i < kImproveMaxRedo && r == kEngineRedoStep; ++i) {
    RoundFieldEpoch(run.engine, *run.observer, epochJdTT);
    r = ImproveOrbitIteration(run.engine, epochJdTT, 1);
  }
  return r;
}

void ShowCalcLogTab(CDetermination& view) {
  view.ShowResultPage(1);
}

void OnManualImprove(CDetermination& view) {
  if (!HasObservations(view)) return;
  if (TheApp().m_bDeveloper && (Ui().IsKeyDown(UiKey::Shift) || Ui().IsKeyDown(UiKey::CapsLock))) {
    RunDistanceScan(view);
    return;
  }
  OrbitEngine* engine = view.m_pEngine;
  if (BeginBusyCommand(engine) != 0) return;
  view.EnableImproveButtons(0);
  view.WriteOpLogCalcStart("[手動]改良 開始");
  ViewFitRun fit(view);
  engine->m_bNonGrav = fit.Run().options.nonGrav;
  engine->m_bNonGravA3 = fit.Run().options.nonGravA3;
  int r = 0;
  {
    ScopedWaitCursor wait;
    r = OneStep(fit.Run(), fit.Run().options.epochJdTT);
    if (engine->m_bPerturbations) {
      if (r == kEngineRedoStep) {
        view.AppendCalcLog((engine->m_strPendingNote.empty() ? std::string(kMsgRedoExhausted) : engine->m_strPendingNote) +
                           kMsgPressManualAgain);
        ShowCalcLogTab(view);
      } else if (r != 0) {
        view.SetResultText(engine->m_strMessage);
      } else if (engine->m_bCorrectionStopped) {
        view.AppendCalcLog(kMsgCorrectionStopped);
        ShowCalcLogTab(view);
      }
    } else if (r != 0) {
      view.SetResultText(view.m_pDetClass->m_strError);
    } else {
      view.ShowImprovementResult(view.ResultWindow(), engine, 0);
    }
    EndBusy(engine);
    view.EnableImproveButtons(1);
  }
  view.UpdateControlsForState(engine->m_nCalcState);
  view.WriteOpLogCalcEnd("[手動]改良 終了", r);
}

void OnAutoImprove(CDetermination& view) {
  OrbitEngine* engine = view.m_pEngine;
  if (!HasObservations(view) || BeginBusyCommand(engine) != 0) return;
  view.EnableImproveButtons(0);
  view.WriteOpLogCalcStart("[自動]改良 開始");
  OpenCancelDialogNow(engine);

  ScopedWaitCursor wait;
  ViewFitRun fit(view);
  const double x = fit.Run().options.epochJdTT;
  const int autoStop = fit.Run().options.autoStop;
  if (autoStop && !engine->m_bAutoStop) engine->m_dStopResidual = kNoStopResidual;
  engine->m_bAutoStop = autoStop;
  engine->m_bAutoRunning = 1;
  for (;;) {
    if (engine->m_nCancel != 0) {
      EndAutomaticRun(view, "[自動]改良 終了(中止)", 0);
      return;
    }
    const int r = OneStep(fit.Run(), x);
    // A step stopped by the cancel dialog ends the run as cancelled, not as failed.
    if (r == kEngineCancelled) {
      EndAutomaticRun(view, "[自動]改良 終了(中止)", 0);
      return;
    }
    if (r != 0 && r != kEngineRedoStep) {
      view.SetResultText(StepMessage(fit.Run()));
      EndAutomaticRun(view, "[自動]改良 終了(エラー)", r);
      return;
    }
    if (engine->m_bAutoStop && engine->m_dMeanResidual < engine->m_dStopResidual) {
      engine->m_dStopResidual = engine->m_dMeanResidual;
      engine->m_bAutoRunning = 0;
      view.ShowImprovementResult(view.ResultWindow(), engine, engine->m_bPerturbations);
      EndAutomaticRun(view, "[自動]改良 終了(自動停止)", 0);
      return;
    }
    Ui().PumpOneEvent();
  }
}

int IterateImprovement(FitRun& run, double epochJdTT, int iterations, std::string& log, int keepGoing) {
  OrbitEngine* engine = run.engine;
  engine->m_nCalibrationRounds = 0;
  engine->m_bAutoCalibrate = 1;
  engine->m_bNonlinearReduced = 0;
  const bool quiet = run.options.quietRun != 0;
  if (!quiet) run.observer->ResidualsChanged(true);

  double best = 9e18;
  int stall = 0, done = 0;
  BestMeasured measured;
  for (int i = 1; i <= iterations; ++i) {
    if (engine->m_nCancel == 1) return kEngineCancelled;
    done = i;
    run.observer->ShowProgress(FormatC("  反復 %d を計算中…", i).c_str());
    int r = kEngineRedoStep;
    bool snapped = false;
    for (int k = 0; k < kImproveMaxRedo && r == kEngineRedoStep; ++k) {
      RoundFieldEpoch(engine, *run.observer, epochJdTT);
      // Only an improved orbit is osculating at the epoch it keeps.
      snapped = engine->m_nCalcState == kCalcImprovedPerturbed;
      if (snapped) {
        SaveSolution(run, measured.before);
        measured.beforeEpoch = engine->m_state.m_dEpoch;
      }
      r = ImproveOrbitIteration(engine, epochJdTT, 1);
      if (!engine->m_strPendingNote.empty()) {
        log += "  " + engine->m_strPendingNote;
        run.observer->ShowProgress("  改良をやり直しています…");
      }
    }
    if (r != 0 && r != kEngineRedoStep) return r;
    if (r == 0) {
      const double mean = engine->m_dMeanResidual;
      if (snapped && mean < measured.mean) {
        std::swap(measured.best, measured.before);
        measured.bestEpoch = measured.beforeEpoch;
        measured.mean = mean;
        measured.iteration = i;
      }
      log += FormatC("  反復 %d: 平均残差 %.3f\"\r\n", i, mean);
      run.observer->ShowProgress(nullptr);
      if (!quiet) ShowIterationOnList(run);
      if (!keepGoing) {
        if (i > 2 && !(mean < kHopelessResidual)) {
          log += FormatC("  → %d反復しても平均残差が%.1f度のままなので、この3点は見込みなしと判断します\r\n", i,
                         mean / 3600.0);
          break;
        }
        if (mean < best - (0.001 * best + 0.001)) {
          best = mean;
          stall = 0;
        } else if (++stall >= 2) {
          break;
        }
      }
    }
    Ui().PumpOneEvent();
  }
  if (done > 0 && engine->m_nCalcState == kCalcImprovedPerturbed) {
    const int r = MeasureKeptOrbit(run, epochJdTT);
    if (r != 0) return r;
  }
  if (measured.best.valid && ClearlyWorse(engine->m_dMeanResidual, measured.mean) &&
      engine->m_state.m_dEpoch == measured.bestEpoch) {
    const int r = ReturnToBest(run, epochJdTT, measured, log);
    if (r != 0) return r;
  }
  log += FormatC("  → この段階の改良を終了(反復%d回, 平均残差 %.3f\")\r\n", done, engine->m_dMeanResidual);
  run.observer->ShowProgress(nullptr);
  return 0;
}

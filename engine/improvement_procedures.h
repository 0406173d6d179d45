#pragma once
// The improvement procedures behind the orbit-determination view's buttons:
// one step by hand, repeated steps until cancel or auto-stop, and the staged
// iteration that the AI improvement, the view's tests and the NEOCP scan run.
// They are operations of the view: they take the view (its engine,
// observation set and controls) and run headless. Steps use
// ImproveOrbitIteration when the engine's m_bPerturbations is on, else the
// two-body DifferentialCorrection. The improvement epoch always comes from
// the view's three Epoch fields.
#include <string>

class CDetermination;
struct FitRun;
struct OrbitEngine;

// A mean residual the staged iteration gives up on (arcsec): an orbit still
// this far from the observations is no solution.
inline constexpr double kHopelessResidual = 100000.0;

// Texts of the procedures.
inline constexpr const char* kMsgRedoExhausted = "※要素変化量の自動調整を繰り返しましたが、補正を適用できませんでした\r\n";
inline constexpr const char* kMsgPressManualAgain = "[手動]をもう一度押すと、調整後の要素変化量で改良を続行します";
inline constexpr const char* kMsgCorrectionStopped =
    "※改良は打ち切り状態のため、補正を適用していません。\r\n[要素変化量]の設定を開いて値を変えるか、非重力効果の設定(計算する／氷の種類／A3)を\r\n"
    "変更すると改良を再開します\r\n";

// Command 1062 "手動(&I)". Nothing without observations. In developer mode
// with Shift held or Caps Lock on it runs the distance scan instead. Ignored
// while EngineBusy; otherwise one step under the busy guard (with
// perturbations: up to twelve calls while the step asks to be redone).
void OnManualImprove(CDetermination& view);

// Command 1080 "自動(&A)". Nothing without observations or while EngineBusy.
// Holds the busy guard for the whole run, so that the cancel dialog (opened
// at once) stops a step inside it and no other command starts engine work
// between the steps. Repeats steps until cancel (end block "(中止)"), a
// failure ("(エラー)", the message in the result edit) or, with check box
// 1109 "自動停止", a mean residual below the value of the last stop
// ("(自動停止)"). Leaves the cancel flag 0.
void OnAutoImprove(CDetermination& view);

// The staged iteration: resets the calibration state, then up to
// `iterations` improvement steps at epoch x (JD TT), each with up to twelve
// calls while the step asks to be redone, appending "  反復 %d: 平均残差
// %.3f\"" lines and a closing line to log. The view shows the log while it
// grows when the caller registers it as view.m_pCalcLogProgress (with its
// stamp in m_strCalcLogProgressStamp); the caller appends it to the
// calculation log when its procedure is over. With keepGoing 0 it stops early after two iterations
// in a row without a gain of 0.1 % + 0.001", and gives up (0, with a line)
// when after more than two iterations the mean residual is still not below
// 100000" (a residual that is not a number included).
// Does not take the busy guard: the caller holds it (or runs quiet). Unless
// the run's quietRun option, the residual list follows each iteration.
// Each step measures the orbit it starts from and then corrects it: at the
// end the stage measures the orbit the last correction left, so that the
// residuals, mean and count it ends on belong to the orbit the engine holds
// (the closing line gives that mean). When that orbit is clearly worse than
// the best one measured (a correction can throw a good orbit far off), the
// stage ends on the best one: it is put back, its residuals recomputed, the
// covariance marked invalid, and a line says so.
// Returns 0 when the stage ended normally, -9 when the engine's cancel flag
// is 1 at the start of an iteration, else the failing code of
// ImproveOrbitIteration (which it always calls, whatever m_bPerturbations).
int IterateImprovement(FitRun& run, double epochJdTT, int iterations, std::string& log, int keepGoing);

// The improvement epoch (JD TT) of the Epoch fields; 0 when a field is empty.
double EpochFieldsJd(CDetermination& view);
// One improvement step with perturbations as every procedure makes it: up to
// twelve RoundFieldEpoch + ImproveOrbitIteration(x, 1) while the result is 5.
// The last result (5 after twelve).
int ImproveStepWithRedo(FitRun& run, double epochJdTT);
// Shows the calculation-log tab (tab 1, result edit hidden, log edit shown).
void ShowCalcLogTab(CDetermination& view);
// Opens the cancel dialog at once (not after the busy guard's delay) and
// waits, pumping events, until it has come up, at most two seconds: a window
// system that never shows it must not hang the run.
void OpenCancelDialogNow(OrbitEngine* engine);

#pragma once
// When the orbit-determination view's own commands (its menu and the shared
// toolbar) are enabled, and the controls the forecast dialog takes over,
// without the window.
#include "determination/det_state_rules.h"

class CDetermination;

// Where the forecast dialog stands.
enum ForecastPresence : int { kForecastNone = 0, kForecastHidden = 1, kForecastVisible = 2 };

// What the enabling depends on.
struct DetCommandState {
  int calcState = 0;
  bool observations = false;    // observations loaded
  bool residualsShown = false;  // the list shows residuals
  bool nonGrav = false;         // the engine's non-gravitational terms
  bool perturbations = false;   // the engine's "摂動計算あり"
  bool covarianceValid = false;
  bool viewVisible = true;      // false after "位置推算へ" hid the view's frame
  int forecast = kForecastNone;
};

// The enabling of a command of the view; Unchanged for one the view leaves
// to the main frame or to the loading commands.
Tri DetCommandEnabling(int id, const DetCommandState& s);

// The twenty controls disabled while the forecast dialog works on the view's
// engine: "小惑星", "摂動計算あり", the step and perturber-set boxes, "離心率(e)を
// 固定" and its field, "自動", "手動", "自動停止", the three reject fields and
// both spins, "リジェクト", "計算者署名", the weight buttons and field, the list.
inline constexpr int kForecastDisabledCount = 20;
extern const int kForecastDisabledControls[kForecastDisabledCount];
void DisableControlsForForecast(CDetermination& view);
// Gives the twenty back once the dialog no longer shows (the state's rules
// applied again); nothing when the dialog did not take them.
void RestoreControlsAfterForecast(CDetermination& view);

// "観測ファイルを開く(&O)" (32816) and "計算をやり直す" (147): refused while the
// forecast dialog shows, since it works on the loaded observations.
Tri LoadCommandEnabling(int forecast);

// The forecast dialog as the view reaches it; the dialog's module installs
// these (none: no dialog).
struct ForecastDialogHooks {
  int (*presence)(const CDetermination* view) = nullptr;  // ForecastPresence
  void (*reset)(const CDetermination* view) = nullptr;    // observations loaded or the calculation redone
};
ForecastDialogHooks& ForecastHooks();

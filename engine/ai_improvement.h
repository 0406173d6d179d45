#pragma once
// The AI improvement (command 1243 "AI軌道改良(&A)", developer mode): from
// the loaded observations to a finished orbit without further input, in four
// phases: a preliminary orbit (the current one, or up to seven automatic
// triplets) improved with perturbations; a staged re-admission of the
// observations set aside at a jump of the residuals; for comets, gravity only
// against the non-gravitational models; rejection passes whose thresholds
// shrink down to the user's. Every decision goes into a progress log, shown
// live after the calculation log and kept in it afterwards.
#include <string>

class CDetermination;

// Texts of the run.
inline constexpr const char* kAiLogHeading = "【AI自動改良の経過】\r\n";
inline constexpr const char* kMsgAiNoPreliminary =
    "暫定軌道の解が求まりませんでした。観測を3個選んで手動で軌道決定をお試しください。\r\n";
inline constexpr const char* kMsgAiNoOrbit =
    "※平均残差(%.1f\")が、観測が軌道から外れているとみなす大きさ(%.0f\"以上)のままのため、軌道は求まりませんでした。"
    "観測を3個選んで手動で軌道決定するか、観測期間を短くして(最新側の観測だけで)お試しください\r\n";
inline constexpr const char* kMsgAiNotCompleted =
    "AI自動改良を完了できませんでした。経過は[計算ログ]タブを参照してください。\r\n";

// Nothing at all without observations, while EngineBusy, or in calculation
// state 0 or 7. Otherwise the run holds the busy guard from start to end (no
// other command starts engine work on the view meanwhile). Interactively the
// cancel dialog opens at once (waited for at most two seconds); in batch mode
// (m_nBatchMode != 0) none opens and the caller stops the run through the
// engine's cancel flag.
//
// The final code goes to view.m_nAiResult:
//    0  finished (also after a cancel noticed between two steps);
//   -9  cancelled inside a step;
//   -1  no preliminary orbit, an orbit whose mean residual stayed at the
//       staged iteration's hopeless level (then in the state of a failed
//       determination, its covariance invalid: no command takes it for a
//       solution), or a failure without message;
//   other  the code of the improvement step that failed (-2 perturber
//          positions, -3 initial states), its text in m_strMessage.
// Interactively a finished run shows its result in edit 1000; a failed one
// says so there and leaves the calculation-log tab in front.
void OnAiImprove(CDetermination& view);

#pragma once
// The improvement side of the orbit-determination view without its window:
// the automatic rejection, the threshold spins, the observation weights, the
// non-gravitational switches and model, the perturber set and the body of
// the close-approach pane. Each acts on the view's host by control id.
#include <string>
#include <vector>

class CDeterminationDisplay;
class CTessaruneApp;

// "リジェクト(&R)": every observation is rejected or re-admitted by its era's
// threshold (hand rejections and unknown stations always stay rejected),
// the thresholds are stored in the settings and the counts go to the
// calculation log. False without observations.
struct RejectionCounts {
  int rejectedBefore = 0, totalBefore = 0;  // up to and including the boundary year
  int rejectedAfter = 0, totalAfter = 0;
};
bool RunAutomaticRejection(CDeterminationDisplay& view, CTessaruneApp& app, RejectionCounts* counts = nullptr);

// A spin of a threshold field (1460 or 1461): a positive step subtracts 0.1,
// any other adds 0.1; kept within 0.1 .. 99999.9, written as "%.1f".
void StepRejectThreshold(CDeterminationDisplay& view, int fieldId, int step);

// "設定(&W)": the weight field (0.1 .. 100) for the given rows; refused with
// a box otherwise. True when the weights were set.
bool SetWeightOfRows(CDeterminationDisplay& view, const std::vector<long>& rows);
// "リセット(&E)": weight 1.0 for the given rows.
void ResetWeightOfRows(CDeterminationDisplay& view, const std::vector<long>& rows);
// Whether a loaded observation has a weight other than 1 (the weight field
// is then drawn yellow on dark blue).
bool AnyWeightChanged(const CDeterminationDisplay& view);

// "計算する": refused (unchecked again, with a box) while e is fixed.
void OnNonGravComputeBox(CDeterminationDisplay& view);
// The model combo box: the model, its parameters reset, the display refreshed.
void OnNonGravModelChange(CDeterminationDisplay& view);

// Entries of the close-approach body list for a perturber set: "最接近",
// the ten bodies, and five slots for the set's asteroids ("(なし)" beyond).
std::vector<std::string> ApproachBodyEntries(int perturberSet);
// The list's selection kept when still valid (at most 10 + the set's size), else 0.
int KeptApproachBodySelection(int selection, int perturberSet);
// Body number of an entry for ShowCloseApproaches: 99 for entry 0 (all), else entry - 1.
int ApproachBodyOfEntry(int entry);

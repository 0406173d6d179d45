#pragma once
// What the observation list's mouse and menu commands do to the records:
// the reject toggle of a double click, the context menu's rejections.
struct ObservationRecord;
struct RejectThresholds;

// Double click on a row in a state other than 7: nothing for a picked row in
// states 1-3; else a rejected or forced row is re-admitted (both flags
// cleared) and any other row is rejected and forced. True when it changed.
bool ToggleRejectionByHand(ObservationRecord& obs, int calcState);

// "強制リジェクト": rejected and forced. "全て有効化": both cleared.
void ForceReject(ObservationRecord& obs);
void Readmit(ObservationRecord& obs);

// "条件リジェクト": rejects (the rejected flag only) an observation whose
// right-ascension or declination residual reaches its era's threshold
// (the earlier one up to and including the boundary year of its TT date),
// or whose station is unknown. True when it rejected it.
bool ConditionalReject(ObservationRecord& obs, const RejectThresholds& thresholds);

// The list's context menu opens only in states 3, 4, 5 and 7.
bool ObsContextMenuAllowed(int calcState);

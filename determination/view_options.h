#pragma once
// The "オプション(&O)" menu of the orbit-determination view without its
// window: the items that come and go with developer mode, and the five
// switches of the engine with their boxes, calculation-log texts and
// operation-log lines.
#include <vector>

class CDeterminationDisplay;

// The popup's command ids in order, as it is about to open: "一般相対論補正"
// (present in developer mode only) right after "操作ログを記録", "地球の扁平(J2)
// 補正" right after it, and "元期をEpoch欄で指定する" after the first of those
// three that exists (appended when none does). Items already placed stay.
void ArrangeOptionItems(std::vector<int>& ids, bool developer);

// Check mark of an option command; false for a command that has none.
bool OptionChecked(const CDeterminationDisplay& view, int id);

// The commands 32802 (the operation log), 32820, 32804, 32822, 32812 and
// 32823; false for any other.
bool ToggleViewOption(CDeterminationDisplay& view, int id);

#pragma once
// Command numbers of the orbit-determination view's menu (204) and its
// list's context menu (172), in the shell's numbering (app_resource_ids.h).
#include "resources/app_resource_ids.h"

enum DeterminationCommand : int {
  ID_OBS_FORCE_REJECT = kHighCommandBase + 16,   // "選択した観測を強制リジェクト(&R)"
  ID_OBS_ENABLE_ALL = kHighCommandBase + 17,     // "選択した観測を全て有効化(&E)"
  ID_OBS_DESELECT_ALL = kHighCommandBase + 20,   // "選択を全て取り消し(&C)"
  ID_ELEMENT_INPUT = kHighCommandBase + 25,      // "軌道要素を入力して計算(&I)"
  ID_OPLOG_TOGGLE = kHighCommandBase + 34,       // "操作ログを記録(&L)"
  ID_OBS_COND_REJECT = kHighCommandBase + 35,    // "選択した観測を条件リジェクト(&J)"
  ID_RELATIVITY = kHighCommandBase + 36,         // developer mode only
  ID_STATION_STATS = kHighCommandBase + 41,      // "観測所別の残差(&S)..."
  ID_NONGRAV_CHECK = kHighCommandBase + 42,      // "非重力効果の判定(&N)..."
  ID_APOPHIS_MODE = kHighCommandBase + 44,
  ID_ERA_STATS = kHighCommandBase + 49,          // "時代別の残差(&D)..."
  ID_LOAD_SOLUTION = kHighCommandBase + 50,      // "軌道要素を読み込んで計算(&L)..."
  ID_PARALLEL_VARIATION = kHighCommandBase + 52,
  ID_J2 = kHighCommandBase + 54,                 // developer mode only
  ID_EPOCH_FROM_FIELD = kHighCommandBase + 55,
};

#pragma once
// Menu 207 of the Väisälä view.
#include "resources/app_menus.h"

inline constexpr MenuItemDef kVaisalaFileItems[] = {
    {ID_OPEN_OBS_FILE, "観測ファイルを開く(&O)"},
    kSeparator,
    {ID_APP_EXIT, "終了(&X)"},
};
inline constexpr MenuItemDef kVaisalaViewItems[] = {
    {ID_SEARCH_RANGE, "捜索範囲(距離変差線)(&R)"},
};
inline constexpr MenuPopupDef kVaisalaMenu[] = {
    {"ﾌｧｲﾙ(&F)", kVaisalaFileItems},
    {"表示(&V)", kVaisalaViewItems},
    kFunctionPopup,
    kHelpPopup,
};

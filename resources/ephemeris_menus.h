#pragma once
// Menus 103 of the ephemeris view and 171 of the move-epoch view.
#include "resources/app_menus.h"

// "軌道要素ファイルを開く(&E)" (32774), shared with the comet list.
inline constexpr int ID_OPEN_ELEMENT_FILE = kHighCommandBase + 6;

inline constexpr MenuItemDef kEphFileItems[] = {
    {ID_OPEN_ELEMENT_FILE, "軌道要素ファイルを開く(&E)"},
    kSeparator,
    {ID_APP_EXIT, "終了(&X)"},
};
inline constexpr MenuItemDef kEphViewItems[] = {
    {ID_ORBIT_VIEW, "軌道図(&O)"},
    {ID_GLOBE, "地球儀(&G)"},
    {ID_MAG_CURVE, "光度曲線(&L)"},
    {ID_VISIBILITY_CHART, "観測好期チャート(&K)"},
    kSearchRangeItem,
};
inline constexpr MenuItemDef kEphWindowItems[] = {
    kResetPositionsItem,
};
inline constexpr MenuPopupDef kEphemerisMenu[] = {
    {"ﾌｧｲﾙ(&F)", kEphFileItems},
    {"表示(&V)", kEphViewItems},
    kFunctionPopup,
    {"ｳｨﾝﾄﾞｳ(&W)", kEphWindowItems},
    kHelpPopup,
};

// Menu 171 of the move-epoch view.
inline constexpr MenuItemDef kMoveEpochFileItems[] = {
    {ID_APP_EXIT, "終了(&X)"},
};
inline constexpr MenuItemDef kMoveEpochViewItems[] = {
    {ID_MP_DIS_GRAPH, "摂動体接近グラフ(&G)"},
};
inline constexpr MenuPopupDef kMoveEpochMenu[] = {
    {"ﾌｧｲﾙ(&F)", kMoveEpochFileItems},
    {"表示(&V)", kMoveEpochViewItems},
    kFunctionPopup,
    {"ｳｨﾝﾄﾞｳ(&W)", kEphWindowItems},
    kHelpPopup,
};

#pragma once
// Menu 202 of the comet list: the ephemeris view's file menu, the tool windows it feeds.
#include "resources/ephemeris_menus.h"

inline constexpr MenuItemDef kEphListViewItems[] = {
    {ID_ORBIT_VIEW, "軌道図(&O)"},
    {ID_MAG_CURVE, "光度曲線(&L)"},
    {ID_VISIBILITY_CHART, "観測好期チャート(&K)"},
    kSearchRangeItem,
};
inline constexpr MenuPopupDef kEphListMenu[] = {
    {"ﾌｧｲﾙ(&F)", kEphFileItems},
    {"表示(&V)", kEphListViewItems},
    kFunctionPopup,
    {"ｳｨﾝﾄﾞｳ(&W)", kEphWindowItems},
    kHelpPopup,
};

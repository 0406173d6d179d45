#pragma once
// Menus of the main frame (128) and of the default view (129), and the
// popups every view menu repeats. Labels carry their access keys ("&") and,
// after a tab, their accelerator. A zero id is a separator.
#include <span>

#include <wx/defs.h>

#include "resources/app_resource_ids.h"

enum class MenuItemKind { Normal, Check, Separator };

struct MenuItemDef {
  int id;
  const char* label;
  MenuItemKind kind = MenuItemKind::Normal;
};

struct MenuPopupDef {
  const char* title;
  std::span<const MenuItemDef> items;
};

inline constexpr MenuItemDef kSeparator{0, "", MenuItemKind::Separator};

// The toolbar and status-bar switches of the default view's "表示(&V)".
enum AppViewCommand : int { ID_VIEW_TOOLBAR = kHighCommandBase + 1000, ID_VIEW_STATUS_BAR = kHighCommandBase + 1001 };
// The exit command closes the main frame. Not wxID_EXIT: GTK would add its
// stock Ctrl+Q to it.
inline constexpr int ID_APP_EXIT = kHighCommandBase + 1002;

// Every view's frame closes as a document window does on this desktop: a
// "閉じる" command in its file menu (Ctrl+W, and Ctrl+F4 by the frame's keys)
// and the open views listed in "ｳｨﾝﾄﾞｳ(&W)", one command per tab.
inline constexpr int ID_CLOSE_VIEW = kHighCommandBase + 1003;
inline constexpr int ID_WINDOW_FIRST = kHighCommandBase + 1010;
inline constexpr int kWindowListSize = 9;
inline constexpr MenuItemDef kCloseViewItem{ID_CLOSE_VIEW, "閉じる(&C)\tCtrl+W"};
inline constexpr const char* kWindowPopupTitle = "ｳｨﾝﾄﾞｳ(&W)";
inline constexpr const char* kCloseViewTooltip = "閉じる";

// "機能(&T)": the same six commands in every menu.
inline constexpr MenuItemDef kFunctionItems[] = {
    {ID_VAISALA, "バイサラ軌道計算(&V)"},   {ID_DETERMINATION, "軌道計算(&D)"},
    {ID_MOVE_EPOCH, "入力して元期を移動(&M)"}, {ID_EPHEMERIDES, "位置推算(&E)"},
    {ID_EPH_LIST, "彗星一覧(&C)"},          {ID_WHOIS_OBS, "天体同定(&W)"},
};
inline constexpr MenuItemDef kHelpItems[] = {
    {ID_APP_ABOUT, "Tessarune のﾊﾞｰｼﾞｮﾝ情報(&A)..."},
};
inline constexpr MenuPopupDef kFunctionPopup{"機能(&T)", kFunctionItems};
// Items the views' own menus carry: the search range and, in their
// "ｳｨﾝﾄﾞｳ(&W)" popups, the reset of window positions.
inline constexpr MenuItemDef kSearchRangeItem{ID_SEARCH_RANGE, "捜索範囲(変差線)(&R)"};
inline constexpr MenuItemDef kResetPositionsItem{ID_RESET_POSITIONS, "表示位置を初期化(&R)"};
inline constexpr MenuPopupDef kHelpPopup{"ﾍﾙﾌﾟ(&H)", kHelpItems};

// Menu 128: the frame's own, shown while no view is open.
inline constexpr MenuItemDef kMainFileItems[] = {
    kSeparator,
    {ID_APP_EXIT, "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"},
};
inline constexpr MenuItemDef kMainViewItems[] = {
    {ID_ORBIT_VIEW, "軌道図(&O)"},
    {ID_GLOBE, "地球儀(&G)"},
    {ID_MAG_CURVE, "光度曲線(&L)"},
    {ID_VISIBILITY_CHART, "観測好期チャート(&K)"},
    kSeparator,
    {ID_LOCATION, "場所(&P)"},
};
inline constexpr MenuItemDef kMainOptionItems[] = {
    {ID_OPTIONS, "環境設定(&K)"},
    {ID_OPLOG_MANAGER, "操作ログを管理(&G)..."},
    kSeparator,
    kResetPositionsItem,
};
inline constexpr MenuPopupDef kMainMenu[] = {
    {"ﾌｧｲﾙ(&F)", kMainFileItems},
    {"表示(&V)", kMainViewItems},
    kFunctionPopup,
    {"オプション(&O)", kMainOptionItems},
    kHelpPopup,
};

// Menu 129: the default view's, with the framework's standard commands.
inline constexpr MenuItemDef kDefaultFileItems[] = {
    {wxID_NEW, "新規作成(&N)\tCtrl+N"},
    {wxID_OPEN, "開く(&O)...\tCtrl+O"},
    {wxID_CLOSE, "閉じる(&C)"},
    {wxID_SAVE, "上書き保存(&S)\tCtrl+S"},
    {wxID_SAVEAS, "名前を付けて保存(&A)..."},
    kSeparator,
    {wxID_PRINT, "印刷(&P)...\tCtrl+P"},
    {wxID_PREVIEW, "印刷ﾌﾟﾚﾋﾞｭｰ(&V)"},
    {wxID_PRINT_SETUP, "ﾌﾟﾘﾝﾀの設定(&R)..."},
    kSeparator,
    {ID_APP_EXIT, "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"},
};
inline constexpr MenuItemDef kDefaultEditItems[] = {
    {wxID_UNDO, "元に戻す(&U)\tCtrl+Z"},
    kSeparator,
    {wxID_CUT, "切り取り(&T)\tCtrl+X"},
    {wxID_COPY, "ｺﾋﾟｰ(&C)\tCtrl+C"},
    {wxID_PASTE, "貼り付け(&P)\tCtrl+V"},
};
inline constexpr MenuItemDef kDefaultViewItems[] = {
    {ID_VIEW_TOOLBAR, "ﾂｰﾙ ﾊﾞｰ(&T)", MenuItemKind::Check},
    {ID_VIEW_STATUS_BAR, "ｽﾃｰﾀｽ ﾊﾞｰ(&S)", MenuItemKind::Check},
};
inline constexpr MenuPopupDef kDefaultViewMenu[] = {
    {"ﾌｧｲﾙ(&F)", kDefaultFileItems},
    {"編集(&E)", kDefaultEditItems},
    {"表示(&V)", kDefaultViewItems},
    kFunctionPopup,
    kHelpPopup,
};

// Toolbar 128 in order; 0 is a separator.
inline constexpr int kToolbarButtons[] = {
    ID_OPEN_OBS_FILE, ID_FETCH_MPC_OBS, ID_FETCH_NEOCP_OBS, ID_SAVE_RESULT, 0,
    ID_REDO_CALC, 0,
    ID_ORBIT_VIEW, ID_GLOBE, ID_MAG_CURVE, ID_VISIBILITY_CHART, ID_SEARCH_RANGE, ID_MP_DIS_GRAPH, 0,
    ID_FORECAST, ID_EPHEMERIDES, 0,
    ID_VARIATION_AMOUNTS, 0,
    ID_OPTIONS_TOOLBAR, 0,
    ID_APP_ABOUT,
};

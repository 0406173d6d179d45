#pragma once
// Menu 204 of the orbit-determination view and the list's context menu 172.
// The developer items of "オプション(&O)" are inserted by the view when the
// popup opens.
#include "resources/app_menus.h"
#include "resources/determination_ids.h"

inline constexpr MenuItemDef kDetFileItems[] = {
    {ID_OPEN_OBS_FILE, "観測ファイルを開く(&O)\tCtrl+O"},
    {ID_FETCH_MPC_OBS, "MPCから観測データを取得(&M)..."},
    {ID_FETCH_NEOCP_OBS, "NEOCPから観測データを取得(&N)..."},
    {ID_SAVE_RESULT, "軌道改良結果を保存(&S)"},
    kSeparator,
    {ID_APP_EXIT, "終了(&X)"},
};
inline constexpr MenuItemDef kDetViewItems[] = {
    {ID_ORBIT_VIEW, "軌道図(&O)"},
    {ID_GLOBE, "地球儀(&E)"},
    {ID_MAG_CURVE, "光度曲線(&L)"},
    {ID_VISIBILITY_CHART, "観測好期チャート(&K)"},
    {ID_MP_DIS_GRAPH, "摂動体接近グラフ(&G)"},
    kSeparator,
    {ID_STATION_STATS, "観測所別の残差(&S)"},
    {ID_ERA_STATS, "時代別の残差(&D)"},
    {ID_NONGRAV_CHECK, "非重力効果の判定(&N)..."},
    kSeparator,
    {ID_FORECAST, "計算結果から元期を移動(&M)"},
    {ID_ELEMENT_INPUT, "軌道要素を入力して計算(&I)"},
    {ID_LOAD_SOLUTION, "軌道要素を読み込んで計算(&L)..."},
    kSeparator,
    {ID_LOCATION, "場所(&P)"},
};
inline constexpr MenuItemDef kDetOptionItems[] = {
    {ID_OPTIONS_TOOLBAR, "環境設定(&K)"},
    {ID_VARIATION_AMOUNTS, "要素変化量の変更(&V)"},
    {ID_OPLOG_TOGGLE, "操作ログを記録(&L)", MenuItemKind::Check},
    {ID_OPLOG_MANAGER, "操作ログを管理(&G)..."},
    {ID_APOPHIS_MODE, "Apophisモード(積分を有効観測の範囲に限定)(&A)", MenuItemKind::Check},
    {ID_PARALLEL_VARIATION, "要素変化法を並列計算(&P)", MenuItemKind::Check},
    // Developer mode only: removed (and the J2 and Epoch-field items placed)
    // each time the popup opens.
    {ID_RELATIVITY, "一般相対論補正(&G)", MenuItemKind::Check},
};
inline constexpr MenuItemDef kDetWindowItems[] = {
    kResetPositionsItem,
};
inline constexpr MenuPopupDef kDeterminationMenu[] = {
    {"ﾌｧｲﾙ(&F)", kDetFileItems},
    {"表示(&V)", kDetViewItems},
    kFunctionPopup,
    {"オプション(&O)", kDetOptionItems},
    {"ｳｨﾝﾄﾞｳ(&W)", kDetWindowItems},
    kHelpPopup,
};

// Menu 172, popup "右クリック用".
inline constexpr MenuItemDef kObsListPopupItems[] = {
    {ID_OBS_FORCE_REJECT, "選択した観測を強制リジェクト(&R)"},
    {ID_OBS_COND_REJECT, "選択した観測を条件リジェクト(&J)"},
    {ID_OBS_ENABLE_ALL, "選択した観測を全て有効化(&E)"},
    {ID_OBS_DESELECT_ALL, "選択を全て取り消し(&C)"},
    kSeparator,
    {ID_STATION_STATS, "観測所別の残差(&S)..."},
    {ID_ERA_STATS, "時代別の残差(&D)..."},
};
inline constexpr MenuPopupDef kObsListPopup{"右クリック用", kObsListPopupItems};

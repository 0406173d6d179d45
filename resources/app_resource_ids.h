#pragma once
// Command numbers of the application shell: menus, toolbar, accelerators and
// the commands other windows send. The numbers are the program's own and are
// shared by every frame and view that routes them.

// Numbers from 32768 on lie above the largest menu id wxWidgets accepts
// (32766); they keep their order, moved down to kHighCommandBase.
inline constexpr int kHighCommandBase = 20000;

enum AppCommand : int {
  ID_APP_ABOUT = 100,             // "Tessarune のﾊﾞｰｼﾞｮﾝ情報(&A)..."
  ID_EPH_LIST = 101,              // comet list
  ID_MOVE_EPOCH = 108,            // move-epoch view
  ID_CHECKING = 141,              // observation check view (no menu entry)
  ID_DETERMINATION = 143,         // orbit-determination view
  ID_SAVE_RESULT = 144,           // orbit-determination view: save
  ID_OAA_EPH_OUTPUT = 146,        // embedded dialog (no menu entry)
  ID_REDO_CALC = 147,             // orbit-determination view: start again
  ID_OPTIONS = 148,               // options sheet (menu)
  ID_FIND_ORB = 149,              // orbit-determination view: similar-orbit search (developer-mode item)
  ID_VARIATION_AMOUNTS = 154,     // orbit-determination view
  ID_FORECAST = 157,              // orbit-determination view
  ID_GET_JPL_EPH = 163,           // planetary-file download (no menu entry)
  ID_MP_DIS_GRAPH = 168,          // perturber-approach graph (views)
  ID_WHOIS_OBS = 187,             // identification view
  ID_CONVERSION_DLG = kHighCommandBase + 3,      // embedded dialog (no menu entry)
  ID_DEBUG_DLG = kHighCommandBase + 4,           // embedded developer dialog (no menu entry)
  ID_EPHEMERIDES = kHighCommandBase + 5,         // ephemeris view, filled from the current orbit
  ID_VAISALA = kHighCommandBase + 22,             // Väisälä view
  ID_GLOBE = kHighCommandBase + 28,               // tool window: globe
  ID_UPDATE_STATION_CODES = kHighCommandBase + 30,  // no menu entry
  ID_MAG_CURVE = kHighCommandBase + 32,           // tool window: magnitude curve
  ID_ORBIT_VIEW = kHighCommandBase + 33,          // tool window: orbit diagram
  ID_LOCATION = kHighCommandBase + 37,            // observer-location dialog
  ID_VISIBILITY_CHART = kHighCommandBase + 38,    // tool window: observing-season chart
  ID_RESET_POSITIONS = kHighCommandBase + 39,     // "表示位置を初期化(&R)"
  ID_OPLOG_MANAGER = kHighCommandBase + 40,       // operation-log manager
  ID_FETCH_MPC_OBS = kHighCommandBase + 43,       // orbit-determination view
  ID_SEARCH_RANGE = kHighCommandBase + 45,        // tool window: search range
  ID_OPTIONS_TOOLBAR = kHighCommandBase + 46,     // options sheet (toolbar)
  ID_OPEN_OBS_FILE = kHighCommandBase + 48,       // orbit-determination and Väisälä views
  ID_FETCH_NEOCP_OBS = kHighCommandBase + 51,     // orbit-determination view
  ID_NEOCP_SCAN = kHighCommandBase + 53,          // orbit-determination view, developer mode
};

// Resource numbers of the document templates (menu, title and view class).
enum AppTemplate : int {
  IDR_DEFAULT_VIEW = 129,
  IDR_EPHEMERIDES = 103,
  IDR_EPH_LIST = 202,
  IDR_WHOIS_OBS = 188,
  IDR_CHECKING = 203,
  IDR_DETERMINATION = 204,
  IDR_MOVE_EPOCH = 171,
  IDR_VAISALA = 207,
};

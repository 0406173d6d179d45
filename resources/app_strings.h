#pragma once
// Texts of the application shell: window titles, the command prompts and
// tooltips (prompt and tooltip separated by "\n"), the status-bar indicators
// and the shell's messages. UTF-8.
#include "resources/app_resource_ids.h"

namespace AppText {

inline constexpr const char* kMainTitle = "Tessarune V2";
inline constexpr const char* kAppTitle = "Tessarune";
inline constexpr const char* kCometListTitle = "彗星一覧";

struct CommandString {
  int id;
  const char* text;  // "prompt\ntooltip"
};

inline constexpr CommandString kCommandStrings[] = {
    {ID_OPEN_OBS_FILE, "観測ファイルを開きます。\n観測ﾌｧｲﾙを開く"},
    {ID_FETCH_MPC_OBS, "MPCの観測データベースから全観測を受信して読み込みます。\nMPCから観測を取得"},
    {ID_FETCH_NEOCP_OBS, "NEOCPの一覧から選んだ天体の観測を受信して読み込みます。\nNEOCPから観測を取得"},
    {ID_SAVE_RESULT, "軌道改良結果を保存します。\n計算結果を保存"},
    {ID_REDO_CALC, "計算を最初からやりなおします。\n計算をやり直す"},
    {ID_ORBIT_VIEW, "軌道の形を表示します\n軌道図"},
    {ID_GLOBE, "地球への突入・衝突位置を表示します\n地球儀"},
    {ID_MAG_CURVE, "光度式を決定できます\n光度曲線"},
    {ID_VISIBILITY_CHART, "いつ観測しやすいかを日付と時刻の図で表示します\n観測好期チャート"},
    {ID_SEARCH_RANGE, "捜索範囲円を表示し、近日点日を変化させたときの座標を示します\n捜索範囲円"},
    {ID_MP_DIS_GRAPH, "摂動体接近グラフが表示できます。\n惑星接近グラフ"},
    {ID_FORECAST, "元期を任意に指定して予報軌道を計算します。\n元期の移動"},
    {ID_EPHEMERIDES, "位置推算表を作成します。\n位置推算"},
    {ID_VARIATION_AMOUNTS, "要素変化量の変更ができます。\n要素変化量の変更"},
    {ID_OPTIONS_TOOLBAR, "利用環境の設定ができます。\n環境設定"},
    {ID_APP_ABOUT, "ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示\nﾊﾞｰｼﾞｮﾝ情報"},
};

// Status-bar indicators after the message pane: kana, caps, num and scroll lock.
inline constexpr const char* kIndicators[4] = {"ｶﾅ", "CAP", "NUM", "SCRL"};

inline constexpr const char* kNoEphemerisWarning =
    "DE406/DE441暦データが読み込まれていません。\n"
    "この状態のまま位置推算・軌道決定・元期移動などを行うと、\n"
    "天体・惑星の位置がすべて誤った値で計算されてしまいます。\n\n"
    "[インターネット]メニューの[DE406/DE441暦データ受信]、または\n"
    "[環境設定]で既存の暦データファイルの場所を指定してください。";

inline constexpr const char* kResetPositionsQuestion =
    "ウィンドウの表示位置と大きさの記録を消して、初期状態に戻します。\nよろしいですか?";
inline constexpr const char* kResetPositionsDone =
    "表示位置を初期化しました。\n"
    "軌道図・地球儀・光度曲線・観測好期チャート・観測リストの列幅は、\n"
    "次に開いたときから初期状態になります。";

// About box.
inline constexpr const char* kAboutCaption = "Tessaruneのﾊﾞｰｼﾞｮﾝ情報";
inline constexpr const char* kAboutTemplateVersion = "Product Version";
inline constexpr const char* kAboutLegalNotice = "Copyright (C) Tessarune developers";
inline constexpr const char* kAboutLines[3] = {
    "彗星・小惑星の軌道計算プログラム",
    "ご意見・不具合のご連絡は、配布元のページへお寄せください。",
    "地球の画像: 画像の提供元の表示に従って使用しています。",
};

// The embedded conversion dialog (command 32771).
inline constexpr const char* kConversionCaption = "変換";
inline constexpr const char* kConversionInput = "入力ファイル：";
inline constexpr const char* kConversionOutput = "出力ファイル：";
inline constexpr const char* kConversionAnswer = "応答：";
inline constexpr const char* kConversionStart = "開始(&S)";

// The embedded OAA ephemeris output dialog (command 146).
inline constexpr const char* kOaaCaption = "Dialog";
inline constexpr const char* kOaaIntro = "OAAコメットハンドブック互換の位置推算表をファイルに出力します。";
inline constexpr const char* kOaaElementLabel = "軌道要素ファイル：";
inline constexpr const char* kOaaOutputLabel = "出力ファイル：";
inline constexpr const char* kOaaBrowse = "参照";
inline constexpr const char* kOaaOutputButton = "出力(&O)";
inline constexpr const char* kOaaClose = "閉じる(&X)";
inline constexpr const char* kOaaElementTitle = "軌道要素ファイルを選択してください";
inline constexpr const char* kOaaOutputTitle = "位置推算出力ファイル名を入力してください";

}  // namespace AppText

#pragma once
// Texts of the options sheet, its data migration and the observer-location
// dialog. UTF-8.

namespace OptionText {

inline constexpr const char* kSheetCaption = "環境設定";
inline constexpr const char* kPageTitles[4] = {"基本", "惑星暦", "MPCのデータ", "データの場所"};
inline constexpr const char* kBrowse = "参照";
inline constexpr const char* kDefault = "初期値";

// Basic page.
inline constexpr const char* kDataDirLabel = "データの既定保存先：(INI・操作ログなどの置き場所。惑星暦は別)";
inline constexpr const char* kDataDirNote = "※変更したらTessaruneを起動しなおしてください";
inline constexpr const char* kObsFolderLabel = "観測データの標準フォルダー：";
inline constexpr const char* kSignatureLabel = "計算者名：";
inline constexpr const char* kSignatureNote = "軌道要素の計算者名の位置に表示される名前（最大20文字）";
inline constexpr const char* kNonGravGroup = "非重力効果";
inline constexpr const char* kCo2Label = "CO2の尺度距離 r0：";
inline constexpr const char* kCo2Note = "AU     (標準 10.8。この距離より外でCO2の昇華が急に弱まる)";
inline constexpr const char* kDtLabel = "非対称則の時刻ずれ DT：";
inline constexpr const char* kDtNote = "日     (0で対称。正なら活動の山が近日点より後ろへずれる)";
inline constexpr const char* kNonGravNote1 =
    "水氷(2.808AU)とCO・N2は固定です。r0を変えると係数A1A2の意味する大きさも変わるので、";
inline constexpr const char* kNonGravNote2 = "変更したら非重力効果の[リセット]を押してから解き直してください。";
inline constexpr const char* kDataDirChanged = "データの既定保存先の変更は、次回Tessarune起動時から有効になります。";

// Planetary page.
inline constexpr const char* kEphGroup = "惑星暦データ (DE406 / DE441)";
inline constexpr const char* kEphFileLabel = "惑星暦ファイル：";
inline constexpr const char* kEphFileTitle = "DE406のファイルを指定してください";
inline constexpr const char* kFtpServerLabel = "DE406の取得元 FTPサーバー：";
inline constexpr const char* kFtpPathLabel = "DE406の取得元 FTPパス：";
inline constexpr const char* kDe441UrlLabel = "DE441の取得元URL：";
inline constexpr const char* kEphDownload = "受信(&1)...";
inline constexpr const char* kEphDownloadNote = "受信画面が開きます。DE441を置くとDE406より優先して使われます";
inline constexpr const char* kMpephRebuild = "摂動用小惑星暦を作り直す(開発用)...";
inline constexpr const char* kEphReadFailed =
    "指定されたファイルからDE406/DE441暦データを読み込めませんでした。パスを確認してください。";

// MPC page.
inline constexpr const char* kStationsGroup = "観測所コード (Stations.txt)";
inline constexpr const char* kStationsTitle = "観測所ファイルを指定してください";
inline constexpr const char* kUrlLabel = "取得元URL：";
inline constexpr const char* kStationsDownload = "受信(&2)";
inline constexpr const char* kMpcorbGroup = "小惑星の軌道要素 (MPCORB.DAT)";
inline constexpr const char* kMpcorbTitle = "MPCORB.DAT の保存先を指定してください";
inline constexpr const char* kMpcorbDownload = "受信(&3)";
inline constexpr const char* kMpcorbNote = "300MBを超えます。天体同定で使います";
inline constexpr const char* kCometGroup = "彗星の軌道要素 (AllCometEls.txt)";
inline constexpr const char* kCometDownload = "受信(&4)";
inline constexpr const char* kCometNote = "保存先はデータの既定保存先です。彗星の名前の表示に使います";
inline constexpr const char* kAbort = "中止(&T)";
inline constexpr const char* kDownloadCaption = "受信";
inline constexpr const char* kMpcorbQuestion =
    "小惑星の軌道要素を受信します。\r\n\r\n  取得元: %s\r\n  保存先: %s\r\n\r\n"
    "300MBを超えるファイルです。回線によっては数分から数十分かかります。\r\n"
    "※既存のファイルは、受信が最後まで終わってから置き換えます。\r\n\r\n実行しますか?";
inline constexpr const char* kMpcorbDone = "MPCORB.DAT の受信が終わりました。";
inline constexpr const char* kCometReceiving = "AllCometEls.txt を受信中…";
inline constexpr const char* kCometDone = "AllCometEls.txt の受信が終わりました。";
inline constexpr const char* kCometFailed =
    "AllCometEls.txt を受信できませんでした。\r\n取得元URLと回線の状態を確認してください。";

// Data-locations page.
inline constexpr const char* kInUseGroup = "いま使っている場所";
inline constexpr const char* kInUseLabels[5] = {"設定ファイル：", "データの保存先：", "惑星暦の保存先：", "観測データ：",
                                                "観測所コード："};
inline constexpr const char* kEphDirLabel = "惑星暦の保存先を変える：";
inline constexpr const char* kEphDirChanged = "惑星暦の保存先の変更は、次回Tessarune起動時から有効になります。";
inline constexpr const char* kMigrateGroup = "Documents へ移行";
inline constexpr const char* kMigrateLines[3] = {
    "この版から、観測データや設定の既定の置き場所を Documents\\Tessarune にしました。",
    "惑星暦(数GB)は OneDrive の同期を避けるため %LOCALAPPDATA%\\Tessarune に置きます。",
    "下のボタンで、いまの場所からファイルを複製できます。元のファイルは消しません。",
};
inline constexpr const char* kMigrateButton = "移行する(&M)...";
inline constexpr const char* kMigrateTarget = "移行先: %s";
inline constexpr const char* kMigrateAlready = "すでに Documents\\Tessarune を使っています。";
inline constexpr const char* kMigrateCaption = "Documents へ移行";
inline constexpr const char* kMigrateQuestion =
    "次の場所へファイルを複製します。\r\n\r\n移行元: %s\r\n移行先: %s\r\n\r\n"
    "・設定ファイル(Tessarune.INI)・観測所コード・彗星の軌道要素を複製します。\r\n"
    "・観測データ(%d件)も複製します。\r\n"
    "・惑星暦とMPCORB.DATは大きいので複製せず、いまの場所を使い続けます\r\n"
    "　(移行先の設定にいまの絶対パスを書き込みます)。\r\n"
    "・移行元のファイルは消しません。確かめてからご自分で消してください。\r\n\r\n実行しますか？";
inline constexpr const char* kMigrateReport =
    "%d個のファイルを複製しました。\r\n\r\n移行先: %s\r\n\r\n"
    "Tessaruneを起動しなおすと、新しい場所を使い始めます。\r\n"
    "移行元のファイルはそのまま残してあります。動作を確かめてから消してください。\r\n"
    "(移行元の設定ファイルだけは Tessarune.INI.bak という名前に変えました)";
// The settings file in use already was the target's: nothing renamed.
inline constexpr const char* kMigrateReportInPlace =
    "%d個のファイルを複製しました。\r\n\r\n移行先: %s\r\n\r\n"
    "Tessaruneを起動しなおすと、新しい場所を使い始めます。\r\n"
    "移行元のファイルはそのまま残してあります。動作を確かめてから消してください。\r\n"
    "(設定ファイルはすでに移行先にあったので、そのまま書き換えました)";
inline constexpr const char* kMigrateCopyFailed =
    "設定ファイルを複製できませんでした。\r\n\r\n複製元: %s\r\n複製先: %s\r\n\r\n"
    "移行を中止しました。いまの設定ファイルはそのまま使い続けます。";
inline constexpr const char* kMigrateWriteFailed =
    "移行先の設定ファイルに書き込めませんでした。\r\n\r\n%s\r\n\r\n"
    "移行を中止しました。いまの設定ファイルはそのまま使い続けます。";

// Observer-location dialog.
inline constexpr const char* kLocationCaption = "観測地の設定";
inline constexpr const char* kLocationHint =
    "地図上をクリックすると観測地を設定できます(ホイールで拡大縮小・右ドラッグで移動)。";
inline constexpr const char* kLatLabel = "緯度(北+)";
inline constexpr const char* kLonLabel = "経度(東+)";
inline constexpr const char* kTzLabel = "時差(時)";
inline constexpr const char* kLocationNote = "この設定は観測好期チャートの日没と仰角の表示のためのものです。";
inline constexpr const char* kCancel = "キャンセル";

} // namespace OptionText

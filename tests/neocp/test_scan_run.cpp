// The scan run without its window: file names, the log lines, the job list
// of the three scan commands, the sequential run with its summary, re-sort
// and selection, the skip tests and fetch failures that keep the last
// result, local files and command-line runs.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/orbit_engine.h"
#include "neocp/scan_files.h"
#include "neocp/scan_run.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/ui_services.h"
#include "tests/data/test_http_server.h"
#include "tests/neocp/scan_run_support.h"

namespace {

std::vector<std::string> Desigs(const std::vector<const char*>& names)
{
  return {names.begin(), names.end()};
}

int CountOf(const std::string& text, const std::string& part)
{
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++n;
  return n;
}

} // namespace

TEST(ScanRunNames, SafeFileNamesAndLocalDesignations)
{
  struct Case {
    const char* desig;
    const char* name;
  };
  for (const Case& c : {Case{"ab12", "ab12_3"}, Case{"AB12", "AB12"}, Case{"2025 AB/x", "2025_AB_x_256"},
                        Case{"a:b*c?d\"e<f>g|h\\i", "a_b_c_d_e_f_g_h_i_87381"},
                        // the 32nd character's lowercase letter sets no bit
                        Case{"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAb", "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAb"},
                        Case{"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAb", "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAb_1073741824"}})
    EXPECT_EQ(MakeSafeFileName(c.desig), c.name) << c.desig;

  for (const Case& c : {Case{"C:\\obs\\K25A00X.part2.txt", "K25A00X.part2"}, Case{".hidden", ".hidden"},
                        Case{"/data/obs/2024 MK.obs", "2024 MK"}, Case{"/data/obs.d/plain", "plain"}})
    EXPECT_EQ(LocalFileDesignation(c.desig), c.name) << c.desig;

  // One designation twice, and a name that differs only in case, get files of their own.
  const NeocpScanRow rows[] = {ListRow("K25A00X"), ListRow("K25A00X"), ListRow("P21xYz"), ListRow("K25A00X")};
  EXPECT_EQ(UniqueScanBaseNames(rows, 4),
            Desigs({"K25A00X", "K25A00X(2)", "P21xYz_40", "K25A00X(3)"}));
}

TEST(ScanRunLog, RowLinesByStatusWithTheCometaryTag)
{
  NeocpScanRow r = CompleteRow("ZTF0Abc", 0.004, 0.001, 3);
  r.mode = 1;
  r.lov_mode = 1;
  r.n_obs = 12;
  r.arc_days = 0.25;
  r.rms = 0.512;
  r.note = "メモ";
  EXPECT_EQ(FormatRowResultLine(r), "ZTF0Abc  距離走査 観測 12 弧  0.25日 残差 0.51\"  名目 " + FormatLdCell(0.004) + " LD (" +
                                        FormatJdCell(r.nom_jd) + ")  最小 " + FormatLdCell(0.001) + " LD (" +
                                        FormatJdCell(r.clo_jd) + ")  衝突 3/198 (確率 1.5%)  [LOV]  メモ\r\n");
  r.clo_impact = 1;
  r.n_impact = 1;
  r.imp_prob = 0.001;
  EXPECT_NE(FormatRowResultLine(r).find("最小 衝突 LD"), std::string::npos);
  EXPECT_NE(FormatRowResultLine(r).find("(確率 0.1%)"), std::string::npos);

  // A nominal-only row on a Jupiter-family orbit.
  NeocpScanRow c = CompleteRow("C1", 0.2, 9e9);
  c.status = kScanNominalOnly;
  c.nom_impact = 1;
  c.arc_days = 1.0;
  c.qdis = 1.2;
  c.ecc = 0.6;
  c.inc = 10 * 3.141592653589793 / 180;
  c.note.clear();
  const std::string line = FormatRowResultLine(c);
  EXPECT_EQ(line.substr(0, line.find("  名目")), "C1       観測  5 弧  1.00日 残差 0.40\"");
  EXPECT_NE(line.find("名目 衝突 LD"), std::string::npos);
  // a = 3.0, e = 0.6, i = 10°: TJ = 5.2044 / 3 + 2 cos 10° sqrt(0.64 x 3 / 5.2044) = 2.93.
  EXPECT_NE(line.find("  [彗星的軌道: TJ=2.93  q=1.20AU e=0.600 i=10°]\r\n"), std::string::npos);
  c.ecc = 1.02;
  EXPECT_NE(FormatRowResultLine(c).find("  [彗星的軌道: 放物線に近い e=1.020 q=1.20AU i=10°]\r\n"), std::string::npos);
  c.arc_days = 0.49;  // too short an arc for the tag
  EXPECT_EQ(FormatRowResultLine(c).find("彗星的"), std::string::npos);

  NeocpScanRow f = ListRow("X9");
  f.status = kScanNoObservations;
  f.note = "受信できません";
  EXPECT_EQ(FormatRowResultLine(f), "X9       " + GetScanStatusName(kScanNoObservations) + "  受信できません\r\n");
}

TEST(ScanRun, ScanAllRunsListedObjectsAndSortsTheClosestFirst)
{
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  ScanRunFixture f("scan_run_all");
  NeocpScanRow gone = CompleteRow("Gone1", 0.3, 0.2);
  gone.list_state = kListRemoved;
  NeocpScanRow local = ListRow("Local1");
  local.list_state = kListLocalFile;
  local.source_path = f.dir + "Local1.obs";
  f.SetTable({ListRow("Far1"), gone, ListRow("Near1"), local, ListRow("Few1", 50, 2), ListRow("Mid1")});
  f.dlg.m_closest = {{"Far1", 0.3}, {"Near1", 0.0005}, {"Mid1", 0.02}};
  f.view.m_pEngine->m_nCancel = 0;
  f.dlg.m_bStateLoaded = 1;
  f.dlg.OnScanAll();

  EXPECT_EQ(f.dlg.m_computed, Desigs({"Far1", "Near1", "Mid1"}));  // local and gone rows passed over, Few1 skipped
  const std::string& log = f.dlg.m_strLog;
  EXPECT_NE(log.find("  4天体  クローン200個  期間: 最初の観測の30日前〜最後の観測の60日後  系統誤差を見込む ――\r\n記録: " +
                     f.dlg.m_strScanDir + "\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("  NEOCPから外れた天体 1個は走査しません"), std::string::npos);
  EXPECT_NE(log.find("―― 走査を終了  4/4天体  所要 "), std::string::npos);
  EXPECT_NE(log.find("衝突するクローンのある天体 0個 / 月より内側まで近づきうる天体 1個 ――"), std::string::npos);
  EXPECT_EQ(log.find("Few1"), std::string::npos);  // skipped: no line
  EXPECT_EQ(f.dlg.GetItemText(kIdScanStatus),
            "終了しました。いちばん近づくものが上に来るように並べ替えてあります。行を選ぶと地心軌道を表示できます");
  EXPECT_EQ(f.view.m_pEngine->m_nCancel, 0);
  EXPECT_EQ(f.view.m_pEngine->m_bScanRunning, 0);
  EXPECT_EQ(f.dlg.m_bRunning, 0);
  EXPECT_EQ(f.dlg.m_nProgressRange, 4);
  EXPECT_EQ(f.dlg.m_nProgressPos, 4);
  // Column 10 ascending: the closest first, rows without a clone result last.
  EXPECT_EQ(f.DisplayedDesigs(), Desigs({"Near1", "Mid1", "Gone1", "Far1", "Local1", "Few1"}));
  EXPECT_EQ(f.dlg.m_selection, std::vector<int>{0});

  const NeocpScanRow& near = f.dlg.m_pRows[2];
  const std::string stem = f.dlg.m_strScanDir + "/Near1_14";
  EXPECT_EQ(near.obs_path, stem + ".obs");
  EXPECT_TRUE(FileExists(stem + ".obs"));
  EXPECT_TRUE(FileExists(stem + "_log.txt"));
  EXPECT_EQ(near.best_path, stem + "_best_EX.IMP");
  std::string best;
  ASSERT_EQ(ReadUtf8File(near.best_path, best), 1);
  EXPECT_EQ(best.find("# NEOCPの一括走査: Near1 の名目軌道(観測にいちばん合う軌道。[AI軌道改良]の解)  平均残差 0.400\"  採用 5観測"),
            0u);
  EXPECT_EQ(near.closest_path, stem + "_closest_EX.IMP");
  EXPECT_GE(near.elapsed_sec, 0.0);
  EXPECT_EQ(f.dlg.m_pRows[4].status, kScanSkipped);
  EXPECT_EQ(f.dlg.m_pRows[4].note, "観測が2個(3個未満)");
  EXPECT_EQ(f.dlg.m_pRows[4].elapsed_sec, 0.0);
  EXPECT_EQ(f.dlg.m_pRows[1].status, kScanComplete);  // the gone row keeps its result
  EXPECT_TRUE(FileExists(f.dlg.StatePath()));
}

TEST(ScanRun, LimitsAbortAndTheSelectedRow)
{
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  ScanRunFixture f("scan_run_abort");
  std::vector<NeocpScanRow> rows;
  for (int i = 0; i < 10; ++i)
    rows.push_back(CompleteRow("Old" + std::to_string(i), 0.5, 0.4));
  f.SetTable(rows);

  // A command-line request for 5 computes the first 5 in display order.
  f.dlg.StartScan(0, 5);
  EXPECT_EQ(f.dlg.m_computed, Desigs({"Old0", "Old1", "Old2", "Old3", "Old4"}));

  // An abort during the third of ten: 3/10, the third aborted, the rest as they were.
  f.SetTable(rows);
  f.dlg.m_computed.clear();
  f.dlg.m_onCompute = [&f](int call, NeocpScanRow&) {
    if (call == 3)
      f.dlg.OnAbort();
  };
  f.dlg.m_strLog.clear();
  f.dlg.StartScan(0, 0);
  EXPECT_EQ(f.dlg.m_computed.size(), 3u);
  EXPECT_NE(f.dlg.m_strLog.find("―― 走査を中止  3/10天体"), std::string::npos);
  EXPECT_EQ(f.dlg.GetItemText(kIdScanStatus), "中止しました。");
  EXPECT_EQ(f.dlg.m_pRows[2].status, kScanAborted);
  EXPECT_TRUE(f.dlg.m_pRows[2].closest_path.empty());
  EXPECT_EQ(f.dlg.m_pRows[3].status, kScanComplete);
  EXPECT_EQ(f.dlg.m_pRows[3].clo_dist, 0.4);
  EXPECT_EQ(f.view.m_pEngine->m_nCancel, 0);  // the next calculation is not cancelled

  // One selected row: computed, blue, reselected in the middle of the list.
  f.SetTable(rows);
  f.dlg.m_onCompute = nullptr;
  f.dlg.m_closest = {{"Old7", 0.3}};
  f.dlg.m_selection = {7};
  f.dlg.OnScanSelected();
  EXPECT_EQ(f.dlg.m_computed.back(), "Old7");
  EXPECT_EQ(f.dlg.m_pRows[7].just_scanned, 1);
  EXPECT_EQ(f.dlg.m_pRows[6].just_scanned, 0);
  const int position = f.dlg.FindListItem(7);
  EXPECT_EQ(f.dlg.m_nCenteredPosition, position);
  EXPECT_NE(std::find(f.dlg.m_selection.begin(), f.dlg.m_selection.end(), position), f.dlg.m_selection.end());
  EXPECT_EQ(f.dlg.GetItemText(kIdScanStatus),
            "終了しました。いちばん近づくものが上に来るように並べ替えてあります。いま調べた天体は文字を青くしてあります");
}

TEST(ScanRun, SkipsAndFailedFetchesKeepTheLastResult)
{
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  ScanRunFixture f("scan_run_keep");
  NeocpScanRow scanned = CompleteRow("Kept1", 0.05, 0.002, 1);
  scanned.best_path = "/x/Kept1_best_EX.IMP";
  scanned.clones_path = "/x/Kept1_clones.txt";
  scanned.list_nobs = 2;  // the list now reports too few
  f.SetTable({scanned, ListRow("New1", 50, 2), CompleteRow("Kept2", 0.05, 0.003), ListRow("New2")});
  f.dlg.m_selection = {0, 1};
  f.dlg.m_bStateLoaded = 1;
  f.dlg.StartScan(1, 0);
  const NeocpScanRow& kept = f.dlg.m_pRows[0];
  EXPECT_EQ(kept.status, kScanComplete);
  EXPECT_EQ(kept.clo_dist, 0.002);
  EXPECT_EQ(kept.best_path, "/x/Kept1_best_EX.IMP");
  EXPECT_EQ(kept.clones_path, "/x/Kept1_clones.txt");
  EXPECT_NE(f.dlg.m_strLog.find("Kept1    " + GetScanStatusName(kScanSkipped) +
                                "  観測が2個(3個未満)  前に調べた結果はそのまま残します\r\n"),
            std::string::npos);
  EXPECT_EQ(f.dlg.m_pRows[1].status, kScanSkipped);  // never scanned: skipped
  EXPECT_EQ(f.dlg.m_strLog.find("New1"), std::string::npos);
  std::string state;
  ASSERT_EQ(ReadUtf8File(f.dlg.StatePath(), state), 1);
  EXPECT_NE(state.find("/x/Kept1_clones.txt"), std::string::npos);  // the saved table keeps them too

  // The server is down: the scanned row keeps its orbit, the new one gets status 2.
  f.dlg.m_strFetchError = "接続できません\r\nHTTP 503";
  f.dlg.m_strLog.clear();
  f.dlg.m_selection = {f.dlg.FindListItem(2), f.dlg.FindListItem(3)};
  f.dlg.StartScan(1, 0);
  EXPECT_EQ(f.dlg.m_pRows[2].status, kScanComplete);
  EXPECT_EQ(f.dlg.m_pRows[2].clo_dist, 0.003);
  EXPECT_EQ(f.dlg.m_pRows[3].status, kScanNoObservations);
  EXPECT_EQ(f.dlg.m_pRows[3].note, "接続できません HTTP 503");
  EXPECT_EQ(CountOf(f.dlg.m_strLog, "接続できません HTTP 503"), 2);
  EXPECT_NE(f.dlg.m_strLog.find("前に調べた結果はそのまま残します"), std::string::npos);
}

TEST(ScanRun, LocalFilesGetRowsAndFilesOfTheirOwn)
{
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  ScanRunFixture f("scan_run_files");
  f.SetTable({ListRow("K25A00X")});
  const std::string a = f.dir + "K25A00X.obs", b = f.dir + "other/K25A00X.txt";
  std::filesystem::create_directories(f.dir + "other");
  WriteFileText(a, "x\n");
  WriteFileText(b, "y\n");
  f.dlg.ScanFileList({a, b, a});
  ASSERT_EQ(f.dlg.m_nRows, 4);
  EXPECT_EQ(f.dlg.m_obsPaths, Desigs({a.c_str(), b.c_str(), a.c_str()}));
  std::set<std::string> bests;
  for (int i = 1; i < 4; ++i) {
    EXPECT_EQ(f.dlg.m_pRows[i].list_state, kListLocalFile);
    EXPECT_EQ(f.dlg.m_pRows[i].desig, "K25A00X");
    EXPECT_EQ(f.dlg.m_pRows[i].just_scanned, 1);
    EXPECT_EQ(f.dlg.m_pRows[i].best_path.rfind(f.dlg.m_strFileDir + "/", 0), 0u);
    bests.insert(f.dlg.m_pRows[i].best_path);
  }
  EXPECT_EQ(bests.size(), 3u);  // three rows, three solution files
  EXPECT_EQ(f.dlg.m_pRows[0].status, kScanNever);
  EXPECT_NE(f.dlg.m_strLog.find("記録: " + f.dlg.m_strFileDir + "\r\n"), std::string::npos);
  EXPECT_TRUE(FileExists(f.dlg.m_strScanDir + "/neocp_scan_files.csv") ||
              std::filesystem::exists(f.dlg.m_strFileDir));
  // "すべて走査" passes the local rows over.
  f.dlg.m_computed.clear();
  f.dlg.OnScanAll();
  EXPECT_EQ(f.dlg.m_computed, Desigs({"K25A00X"}));
}

TEST(ScanRun, CommandLineRunsNeverWaitOnABox)
{
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  CTessaruneApp& app = TheApp();
  ScanRunFixture f("scan_run_cmdline");
  const std::string file = f.dir + "2024 MK.obs";
  WriteFileText(file, "x\n");
  app.m_astrNeocpFiles = {file};
  app.m_nNeocpScan = -1;
  app.m_bNeocpExit = 1;
  app.m_nExitCode = 0;
  f.dlg.OnRefetch();
  EXPECT_TRUE(app.m_astrNeocpFiles.empty());
  EXPECT_EQ(app.m_nNeocpScan, 0);
  EXPECT_EQ(f.dlg.m_computed, Desigs({"2024 MK"}));
  EXPECT_EQ(f.dlg.m_bStateLoaded, 0);  // no state table for a file run
  EXPECT_EQ(f.dlg.m_bMainClosePosted, 1);
  EXPECT_EQ(app.m_nExitCode, 0);

  // The engine is busy: logged, exit code set, no box and still the close.
  f.SetTable({ListRow("A1")});
  app.m_nNeocpScan = 3;
  f.dlg.m_bMainClosePosted = 0;
  f.view.m_pEngine->m_bBusy = 1;
  f.dlg.OnRefetch();
  f.view.m_pEngine->m_bBusy = 0;
  EXPECT_TRUE(f.dlg.m_astrMessages.empty());
  EXPECT_NE(f.dlg.m_strLog.find("軌道計算の画面でほかの計算を実行中です。"), std::string::npos);
  EXPECT_NE(app.m_nExitCode, 0);
  EXPECT_EQ(f.dlg.m_bMainClosePosted, 1);

  // A scan folder that cannot be made: the same.
  app.m_nExitCode = 0;
  app.m_nNeocpScan = -1;
  f.dlg.m_strScanDir = f.dir + "missing/deeper/NEOCP_scan";
  f.dlg.OnRefetch();
  EXPECT_NE(f.dlg.m_strLog.find("記録を保存するフォルダーを作れませんでした。\r\n" + f.dlg.m_strScanDir),
            std::string::npos);
  EXPECT_NE(app.m_nExitCode, 0);
  // By hand, the box is shown.
  f.dlg.StartScan(0, 0);
  EXPECT_EQ(f.dlg.m_astrMessages.size(), 1u);
  app.m_nExitCode = 0;
  app.m_bNeocpExit = 0;
}

TEST(ScanRun, NeocpObservationsFromTheServiceAndKeptWhenItIsDown)
{
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  ScanRunFixture f("scan_run_service");
  const std::string root = f.dir + "server/";
  std::filesystem::create_directories(root);
  const std::string line = "     P21xYz  C2025 01 15.12345 10 20 30.00 +05 06 07.0          20.1 V      F51";
  ASSERT_TRUE(WriteBytesFile(root + "reply_get-obs-neocp.json",
                             "[{\"OBS80\": \"" + line + "\\n\", \"designation\": \"P21xYz\"}]"));
  auto server = std::make_unique<LocalHttpServer>(root);
  ASSERT_TRUE(server->Running());
  f.dlg.m_bRealFetch = true;
  f.dlg.m_strServiceUrl = server->Url("");
  f.dlg.m_bStateLoaded = 1;
  f.SetTable({ListRow("P21xYz")});
  f.dlg.OnScanAll();
  const NeocpScanRow& row = f.dlg.m_pRows[0];
  ASSERT_EQ(row.status, kScanComplete) << row.note;
  EXPECT_EQ(row.obs_path, f.dlg.m_strScanDir + "/P21xYz_40.obs");
  EXPECT_EQ(ReadFileText(row.obs_path).find(line), 0u);
  EXPECT_EQ(ReadFileText(root + "request_get-obs-neocp.body"), "{\"trksubs\": [\"P21xYz\"], \"output_format\": [\"OBS80\"]}");

  // The service is gone: the row keeps its orbit and the state file too.
  server.reset();
  f.dlg.m_strLog.clear();
  f.dlg.OnScanAll();
  EXPECT_EQ(row.status, kScanComplete);
  EXPECT_EQ(row.clo_dist, 0.01);
  EXPECT_NE(f.dlg.m_strLog.find("前に調べた結果はそのまま残します"), std::string::npos) << f.dlg.m_strLog;
  std::string state;
  ASSERT_EQ(ReadUtf8File(f.dlg.StatePath(), state), 1);
  EXPECT_NE(state.find(f.dlg.m_strScanDir + "/P21xYz_40_best_EX.IMP"), std::string::npos);
}

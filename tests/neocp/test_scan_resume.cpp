// The scan folder shared by instances and runs: a second instance only reads
// it, and rows that a run left in work take the results their workers
// finished after it, matched through the job files.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "neocp/scan_files.h"
#include "neocp/worker_pool.h"
#include "platform/named_lock.h"
#include "platform/ui_services.h"
#include "tests/neocp/scan_fixtures.h"
#include "tests/neocp/scan_run_support.h"

namespace fs = std::filesystem;

namespace {

NeocpScanRow InWork(const std::string& desig)
{
  NeocpScanRow r = ListRow(desig);
  ResetScanRow(r, 1);
  r.status = kScanComputing;
  return r;
}

// A job file in the work folder, and the result its worker wrote with the
// given id ("" none).
void WriteJob(const std::string& scanDir, const std::string& base, const std::string& desig, const std::string& id,
              const std::string& resultId, const NeocpScanRow& result)
{
  const std::string work = scanDir + "/" + kWorkFolderName;
  fs::create_directories(work);
  WorkerJob job;
  job.id = id;
  job.desig = desig;
  job.obsPath = scanDir + "/" + base + ".obs";
  job.resultPath = work + "/" + base + "_result.tsv";
  ASSERT_EQ(WriteUtf8BomFile(work + "/" + base + "_job.txt", FormatWorkerJob(job)), 1);
  if (!resultId.empty()) {
    ASSERT_EQ(WriteUtf8BomFile(job.resultPath, FormatWorkerResult(resultId, result)), 1);
  }
}

const NeocpScanRow& RowOf(const CNeocpScanDlg& dlg, const std::string& desig)
{
  for (int i = 0; i < dlg.m_nRows; ++i)
    if (dlg.m_pRows[i].desig == desig)
      return dlg.m_pRows[i];
  static NeocpScanRow none;
  ADD_FAILURE() << desig << " not in the table";
  return none;
}

} // namespace

TEST(ScanFolder, ASecondInstanceReadsTheTableButNeitherWritesNorScans)
{
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  auto first = std::make_unique<ScanDialogFixture>("scan_folder_first");
  first->SetTable({CompleteRow("HELD1", 0.02, 0.01)});
  ASSERT_TRUE(first->dlg.LoadState());
  ASSERT_TRUE(first->dlg.SaveState());
  const std::string table = ReadFileText(first->dlg.StatePath());

  ScanRunFixture second("scan_folder_second");
  second.dlg.m_strScanDir = first->dlg.m_strScanDir;
  second.dlg.m_strFileDir = first->dlg.m_strFileDir;
  EXPECT_FALSE(second.dlg.LoadState());
  EXPECT_NE(second.dlg.m_strLog.find("※この記録のフォルダーは、別に起動しているもう一つの本プログラムが使っています。"),
            std::string::npos);
  EXPECT_EQ(second.DisplayedDesigs(), std::vector<std::string>{"HELD1"}) << "shown as it is";
  EXPECT_FALSE(second.dlg.SaveState());
  EXPECT_EQ(second.dlg.SaveCsv(0), 0);
  second.dlg.m_selection = {0};
  second.dlg.OnScanSelected();
  ASSERT_EQ(second.dlg.m_astrMessages.size(), 1u);
  EXPECT_EQ(second.dlg.m_astrMessages[0].rfind("この記録のフォルダーは、別に起動しているもう一つの本プログラムが使っているので、走査できません。", 0),
            0u);
  EXPECT_TRUE(second.dlg.m_computed.empty());
  EXPECT_FALSE(fs::exists(second.dlg.m_strScanDir + "/" + kWorkFolderName));
  EXPECT_EQ(ReadFileText(first->dlg.StatePath()), table);

  // Once the first instance has closed, the folder is the second's.
  first.reset();
  EXPECT_TRUE(second.dlg.LoadState());
  EXPECT_TRUE(second.dlg.SaveState());
}

TEST(ScanFolder, RowsLeftInWorkTakeTheResultsTheirWorkersFinishedLater)
{
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  ScanDialogFixture f("scan_folder_left");
  const std::string dir = f.dlg.m_strScanDir;
  NeocpScanRow done = InWork("DONE1");
  done.known_name = "(433) Eros";  // the parent's own fields stay
  done.known_checked = 1;
  done.score = 77;
  f.SetTable({done, InWork("BUSY1"), InWork("DEAD1"), InWork("NOJOB"), CompleteRow("KEEP1", 0.3, 0.2)});
  f.dlg.m_bStateLoaded = 1;
  ASSERT_TRUE(f.dlg.SaveState());

  // DONE1: an older job of the same designation answered too; only the
  // newer job is the row's.
  WriteJob(dir, "DONE1_old", "DONE1", "7-1-1", "7-1-1", CompleteRow("DONE1", 0.9, 0.8));
  fs::last_write_time(dir + "/_work/DONE1_old_job.txt", fs::file_time_type::clock::now() - std::chrono::hours(1));
  NeocpScanRow worker = CompleteRow("DONE1", 0.004, 0.0001, 3);
  worker.score = 1;
  WriteJob(dir, "DONE1", "DONE1", "7-2-1", "7-2-1", worker);
  // BUSY1: its worker still holds the job; the result there is an old job's.
  WriteJob(dir, "BUSY1", "BUSY1", "7-2-2", "6-1-2", CompleteRow("BUSY1", 0.5, 0.5));
  FileLock busy;
  ASSERT_EQ(busy.TryLock(dir + "/_work/BUSY1_job.txt", true, false), 1);
  // DEAD1: the worker ended without an answer.
  WriteJob(dir, "DEAD1", "DEAD1", "7-2-3", "", NeocpScanRow());

  ScanDialogFixture g("scan_folder_next_start");
  g.dlg.m_strScanDir = dir;
  ASSERT_TRUE(g.dlg.LoadState());
  const NeocpScanRow& taken = RowOf(g.dlg, "DONE1");
  EXPECT_EQ(taken.status, kScanComplete);
  EXPECT_EQ(taken.clo_dist, 0.0001);
  EXPECT_EQ(taken.n_impact, 3);
  EXPECT_EQ(taken.known_name, "(433) Eros");
  EXPECT_EQ(taken.score, 77);
  EXPECT_EQ(RowOf(g.dlg, "BUSY1").status, kScanComputing) << "its worker still runs";
  EXPECT_EQ(RowOf(g.dlg, "DEAD1").status, kScanAborted);
  EXPECT_EQ(RowOf(g.dlg, "NOJOB").status, kScanAborted);
  EXPECT_EQ(RowOf(g.dlg, "KEEP1").clo_dist, 0.2);
  EXPECT_NE(g.dlg.m_strLog.find("終えていた1天体の結果を取り込みました"), std::string::npos);
  EXPECT_NE(g.dlg.m_strLog.find("まだ1天体を計算しています"), std::string::npos);
  const std::string table = ReadFileText(g.dlg.StatePath());
  EXPECT_NE(table.find(FormatScanStateLine(taken)), std::string::npos) << "kept at once";
  EXPECT_NE(table.find(FormatScanStateLine(RowOf(g.dlg, "BUSY1"))), std::string::npos);

  // The busy worker answers and ends: the next look takes its row.
  WriteJob(dir, "BUSY1", "BUSY1", "7-2-2", "7-2-2", CompleteRow("BUSY1", 0.05, 0.03));
  busy.Unlock();
  EXPECT_EQ(g.dlg.TakeLeftWorkerResults(), 1);
  EXPECT_EQ(RowOf(g.dlg, "BUSY1").status, kScanComplete);
  EXPECT_EQ(RowOf(g.dlg, "BUSY1").clo_dist, 0.03);
  EXPECT_EQ(g.dlg.TakeLeftWorkerResults(), 0) << "nothing is left in work";
}

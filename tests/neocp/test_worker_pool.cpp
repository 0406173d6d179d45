// The worker pool with a launcher of the test's own (its "processes" run the
// worker's side in this process when they end), the job and result files,
// and the worker's distrust of its job.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <map>

#include "engine/orbit_engine.h"
#include "neocp/scan_files.h"
#include "neocp/worker_host.h"
#include "neocp/worker_main.h"
#include "neocp/worker_pool.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/named_lock.h"
#include "platform/ui_services.h"
#include "tests/common/test_data.h"
#include "tests/neocp/scan_run_support.h"

namespace {

class StepClock : public EngineClock {
public:
  uint32_t TickMs() override { return m_now; }
  void SleepMs(uint32_t ms) override { m_now += ms; }
  uint32_t m_now = 4294900000u;  // wraps during the longer runs
};

// Processes that end after a number of polls, answering as the test says.
class FakeLauncher : public WorkerLauncher {
public:
  enum Answer { kWorker, kOtherJobId, kNoJobLine, kTwoLines, kNothing, kHang };
  struct Proc {
    std::string job;
    int polls = 0;
    bool ended = false;
    bool terminated = false;
  };
  explicit FakeLauncher(StepClock& clock) : m_clock(clock) {}

  bool Launch(const std::string& jobPath, long& handle, std::string& error) override
  {
    if (!m_strLaunchError.empty()) {
      error = m_strLaunchError;
      return false;
    }
    handle = m_nNext++;
    m_procs[handle].job = jobPath;
    m_maxRunning = std::max(m_maxRunning, Running());
    return true;
  }
  bool HasEnded(long handle, unsigned long& exitCode) override
  {
    Proc& p = m_procs[handle];
    if (p.ended)
      return true;
    if (m_answer == kHang || ++p.polls < m_nPolls)
      return false;
    p.ended = true;
    exitCode = 3;
    Reply(p.job);
    return true;
  }
  void Terminate(long handle) override
  {
    m_procs[handle].terminated = m_procs[handle].ended = true;
  }
  void WaitAny(const std::vector<long>& handles, int ms, CNeocpScanDlg& dlg) override
  {
    (void)handles;
    m_clock.m_now += static_cast<uint32_t>(ms);
    if (m_onWait)
      m_onWait(dlg);
  }
  int Running() const
  {
    int n = 0;
    for (const auto& [h, p] : m_procs)
      n += p.ended ? 0 : 1;
    return n;
  }
  int Terminated() const
  {
    int n = 0;
    for (const auto& [h, p] : m_procs)
      n += p.terminated ? 1 : 0;
    return n;
  }

  Answer m_answer = kWorker;
  int m_nPolls = 2;
  int m_maxRunning = 0;
  std::string m_strLaunchError;
  std::function<void(CNeocpScanDlg&)> m_onWait;
  std::map<long, Proc> m_procs;

private:
  void Reply(const std::string& jobPath)
  {
    std::string text;
    ASSERT_EQ(ReadUtf8File(jobPath, text), 1);
    std::vector<std::string> lines;
    SplitLines(text, lines);
    std::map<std::string, std::string> job;
    ParseKeyValueLines(lines, static_cast<int>(lines.size()), job);
    const std::string result = GetKeyValue(job, "result_path");
    NeocpScanRow row;
    ResetScanRow(row, 0);
    row.desig = GetKeyValue(job, "desig");
    row.status = kScanComplete;
    switch (m_answer) {
    case kWorker: {
      CDeterminationDisplay view(false);
      FakeOrbitScanDlg worker(&view);
      EXPECT_TRUE(RunWorkerJob(worker, jobPath));
      break;
    }
    case kOtherJobId: WriteUtf8BomFile(result, FormatWorkerResult("1-2-3", row)); break;
    case kNoJobLine: WriteUtf8BomFile(result, GetScanStateHeaderLine() + "\r\n" + FormatScanStateLine(row) + "\r\n"); break;
    case kTwoLines: WriteUtf8BomFile(result, "job=" + GetKeyValue(job, "job") + "\r\n" + GetScanStateHeaderLine() + "\r\n"); break;
    default: break;
    }
  }
  StepClock& m_clock;
  long m_nNext = 100;
};

struct PoolFixture : ScanRunFixture {
  explicit PoolFixture(const std::string& tag) : ScanRunFixture(tag), launcher(clock)
  {
    dlg.m_pClock = &clock;
    dlg.m_pLauncher = &launcher;
  }
  std::vector<std::string> PoolStatusLines() const
  {
    std::vector<std::string> out;
    for (const std::string& s : dlg.m_statusLines)
      if (s.find("天体が終了") != std::string::npos || s.find("計算係を終了させています") != std::string::npos)
        out.push_back(s);
    return out;
  }
  HeadlessUiServices ui;
  ScopedUi scoped{ui};
  StepClock clock;
  FakeLauncher launcher;
};

std::vector<NeocpScanRow> ListRows(const std::string& prefix, int n)
{
  std::vector<NeocpScanRow> rows;
  for (int i = 0; i < n; ++i)
    rows.push_back(ListRow(prefix + std::to_string(i)));
  return rows;
}

} // namespace

TEST(WorkerPool, FourWorkersForTenObjectsWithTheWorkersResults)
{
  PoolFixture f("pool_ten");
  std::vector<NeocpScanRow> rows = ListRows("P", 10);
  rows[4].known_name = "(433) Eros";  // the parent's match and fate stay
  rows[4].known_checked = 1;
  rows[4].fate = "2025 AB";
  f.SetTable(rows);
  f.dlg.SetItemText(kIdScanParallel, "4");
  f.launcher.m_nPolls = 6;
  f.dlg.OnScanAll();

  const std::vector<std::string> lines = f.PoolStatusLines();
  ASSERT_GE(lines.size(), 4u);
  // One start per pass: the first four passes each add a worker.
  EXPECT_EQ(lines[0], "0/10 天体が終了。1個を計算中: P0");
  EXPECT_EQ(lines[1], "0/10 天体が終了。2個を計算中: P0 P1");
  EXPECT_EQ(lines[2], "0/10 天体が終了。3個を計算中: P0 P1 P2");
  EXPECT_EQ(lines[3], "0/10 天体が終了。4個を計算中: P0 P1 P2 P3");
  EXPECT_EQ(f.launcher.m_maxRunning, 4);
  EXPECT_EQ(f.launcher.m_procs.size(), 10u);
  EXPECT_NE(f.dlg.m_strLog.find("  同時に4個ずつ計算します"), std::string::npos);
  EXPECT_NE(f.dlg.m_strLog.find("―― 走査を終了  10/10天体"), std::string::npos);
  for (int i = 0; i < 10; ++i) {
    const NeocpScanRow& r = f.dlg.m_pRows[i];
    EXPECT_EQ(r.status, kScanComplete) << r.desig;
    EXPECT_EQ(r.clo_dist, 0.01);
    EXPECT_EQ(r.best_path, f.dlg.m_strScanDir + "/" + r.desig + "_best_EX.IMP");
    EXPECT_TRUE(FileExists(r.best_path));
    EXPECT_EQ(r.obs_path, f.dlg.m_strScanDir + "/" + r.desig + ".obs");  // fetched by the parent
    EXPECT_NE(f.dlg.m_strLog.find(r.desig + "       AI+共分散"), std::string::npos);
  }
  EXPECT_EQ(f.dlg.m_pRows[4].known_name, "(433) Eros");
  EXPECT_EQ(f.dlg.m_pRows[4].known_checked, 1);
  EXPECT_EQ(f.dlg.m_pRows[4].fate, "2025 AB");
  std::string job;
  ASSERT_EQ(ReadUtf8File(f.dlg.m_strScanDir + "/_work/P3_job.txt", job), 1);
  EXPECT_NE(job.find("\r\ndesig=P3\r\nobs_path=" + f.dlg.m_strScanDir + "/P3.obs\r\nlocal=0\r\n"), std::string::npos);
  EXPECT_NE(job.find("\r\nn_clones=200\r\ndays_back=30\r\ndays_fwd=60\r\nmin_obs=3\r\nmin_arc=0\r\nsys_err=1\r\ntime_limit=0\r\n"),
            std::string::npos);
  EXPECT_TRUE(FileExists(f.dlg.m_strScanDir + "/_work/P3_result.tsv"));
  EXPECT_EQ(f.view.m_pEngine->m_nCancel, 0);
}

TEST(WorkerPool, WorkersWithoutAValidResultGiveStatus4)
{
  for (FakeLauncher::Answer answer :
       {FakeLauncher::kOtherJobId, FakeLauncher::kNoJobLine, FakeLauncher::kTwoLines, FakeLauncher::kNothing}) {
    PoolFixture f("pool_bad_result");
    f.launcher.m_answer = answer;
    f.SetTable(ListRows("B", 2));
    f.dlg.SetItemText(kIdScanParallel, "2");
    f.dlg.OnScanAll();
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(f.dlg.m_pRows[i].status, kScanNoOrbit) << answer;
      EXPECT_EQ(f.dlg.m_pRows[i].note, "計算係が結果を返さずに終了しました(終了コード 3)") << answer;
    }
  }
}

TEST(WorkerPool, StartFailuresAndSkippedRowsCountAsDone)
{
  PoolFixture f("pool_start");
  std::vector<NeocpScanRow> rows = ListRows("S", 3);
  rows[1].list_nobs = 2;  // skipped: no worker, no log line
  f.SetTable(rows);
  f.dlg.SetItemText(kIdScanParallel, "3");
  f.launcher.m_strLaunchError = "計算係を起動できませんでした(エラー 2)";
  f.dlg.OnScanAll();
  EXPECT_TRUE(f.launcher.m_procs.empty());
  EXPECT_EQ(f.dlg.m_pRows[0].status, kScanNoOrbit);
  EXPECT_EQ(f.dlg.m_pRows[0].note, "計算係を起動できませんでした(エラー 2)");
  EXPECT_EQ(f.dlg.m_pRows[1].status, kScanSkipped);
  EXPECT_EQ(f.dlg.m_strLog.find("S1 "), std::string::npos);
  EXPECT_NE(f.dlg.m_strLog.find("―― 走査を終了  3/3天体"), std::string::npos);

  // The job file cannot be written: "_work" is a file.
  PoolFixture g("pool_jobfile");
  g.SetTable(ListRows("J", 2));
  g.dlg.SetItemText(kIdScanParallel, "2");
  std::filesystem::create_directories(g.dlg.m_strScanDir);
  WriteFileText(g.dlg.m_strScanDir + "/_work", "not a folder");
  g.dlg.OnScanAll();
  EXPECT_EQ(g.dlg.m_pRows[0].status, kScanNoOrbit);
  EXPECT_EQ(g.dlg.m_pRows[0].note, "計算係への指示ファイルを書けませんでした");
}

TEST(WorkerPool, TimeLimitAndAbortEndWorkers)
{
  // Limit 300: a hung worker is ended once 360 s have passed.
  PoolFixture f("pool_limit");
  f.launcher.m_answer = FakeLauncher::kHang;
  f.SetTable(ListRows("H", 2));
  f.dlg.SetItemText(kIdScanParallel, "2");
  f.dlg.SetItemText(kIdScanTimeLimit, "300");
  const uint32_t start = f.clock.m_now;
  f.dlg.OnScanAll();
  EXPECT_EQ(f.launcher.Terminated(), 2);
  EXPECT_GE((f.clock.m_now - start) / 1000u, 360u);
  EXPECT_LT((f.clock.m_now - start) / 1000u, 362u);
  EXPECT_EQ(f.dlg.m_pRows[0].status, kScanTimedOut);
  EXPECT_EQ(f.dlg.m_pRows[0].note, "300秒の制限時間を超えても終わらなかったので、計算係を終了させました");

  // Limit 0: never ended by the parent; an abort after an hour ends the
  // three running, which do not count as done.
  PoolFixture g("pool_abort");
  std::vector<NeocpScanRow> rows = ListRows("A", 5);
  rows[0].desig = "LongDesignation-0123456789";
  rows[1].desig = "LongDesignation-abcdefghij";
  rows[2].desig = "LongDesignation-ABCDEFGHIJ";
  g.SetTable(rows);
  g.dlg.SetItemText(kIdScanParallel, "3");
  g.launcher.m_answer = FakeLauncher::kHang;
  const uint32_t t0 = g.clock.m_now;
  g.launcher.m_onWait = [&g, t0](CNeocpScanDlg& dlg) {
    if (g.clock.m_now - t0 >= 3600000u && !dlg.m_bAbort)
      dlg.OnAbort();
  };
  g.dlg.OnScanAll();
  EXPECT_EQ(g.launcher.m_procs.size(), 3u);
  EXPECT_EQ(g.launcher.Terminated(), 3);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(g.dlg.m_pRows[i].status, kScanAborted);
  EXPECT_EQ(g.dlg.m_pRows[3].status, kScanNever);
  EXPECT_NE(g.dlg.m_strLog.find("―― 走査を中止  0/5天体"), std::string::npos);
  const std::vector<std::string> lines = g.PoolStatusLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "0/5 天体が終了。3個を計算中: LongDesignation-0123456789 LongDesignation-abcdefghij LongDe ..."),
            lines.end());
  EXPECT_EQ(lines.back(), "中止しています(計算係を終了させています)...");
}

TEST(WorkerJobFiles, KeyValueLines)
{
  std::map<std::string, std::string> map{{"old", "x"}};
  ParseKeyValueLines({"a=1", "=skipped", "no equals", "", "b=x\\ty\\\\z", "a=2", "c=", "late=3"}, 7, map);
  EXPECT_EQ(map, (std::map<std::string, std::string>{{"a", "2"}, {"b", "x\ty\\z"}, {"c", ""}}));
  EXPECT_EQ(GetKeyValue(map, "b"), "x\ty\\z");
  EXPECT_EQ(GetKeyValue(map, "missing"), "");
  ParseKeyValueLines({"a=1"}, 5, map);
  EXPECT_EQ(map.size(), 1u);
}

TEST(WorkerJobFiles, TheWorkerDistrustsItsJob)
{
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  const std::string dir = MakeTempDir("worker_job") + "_work";
  std::filesystem::create_directories(dir);
  const std::string obs = dir + "/../W1.obs";
  WriteFileText(obs, "x\n");
  struct Case {
    const char* what;
    std::string result;
    bool written;
  };
  const std::string outside = dir + "/../W1_result.tsv";
  for (const Case& c : {Case{"in the job's folder", dir + "/W1_result.tsv", true},
                        Case{"up and back in", dir + "/../_work/W1_result.tsv", true},
                        Case{"outside", outside, false}, Case{"elsewhere", "/tmp/W1_result.tsv", false},
                        Case{"the folder itself", dir + "/", false}}) {
    WorkerJob job;
    job.id = "9-9-1";
    job.desig = "W1";
    job.obsPath = obs;
    job.scanDir = dir + "/..";
    job.fileDir = dir + "/../files";
    job.resultPath = c.result;
    job.nClones = 999999;
    job.daysBack = -5;
    job.daysFwd = 1e9;
    job.minObs = 1;
    job.minArc = -2;
    job.timeLimit = -1;
    job.sysErr = 7;
    const std::string jobPath = dir + "/W1_job.txt";
    ASSERT_EQ(WriteUtf8BomFileReplacing(jobPath, FormatWorkerJob(job)), 1);
    CDeterminationDisplay view(false);
    FakeOrbitScanDlg worker(&view);
    // While it computes, the job shows a later parent that its worker still runs.
    bool heldWhileComputing = false;
    worker.m_onCompute = [&](int, NeocpScanRow&) { heldWhileComputing = IsFileLockedByOther(jobPath); };
    EXPECT_EQ(RunWorkerJob(worker, jobPath), c.written) << c.what;
    EXPECT_FALSE(FileExists(outside)) << c.what;
    EXPECT_FALSE(IsFileLockedByOther(jobPath)) << c.what;
    if (!c.written)
      continue;
    EXPECT_TRUE(heldWhileComputing) << c.what;
    EXPECT_EQ(worker.m_settings.m_nClones, 100000);
    EXPECT_EQ(worker.m_settings.m_dDaysBefore, 0.0);
    EXPECT_EQ(worker.m_settings.m_dDaysAfter, 36525.0);
    EXPECT_EQ(worker.m_settings.m_nMinObs, 3);
    EXPECT_EQ(worker.m_settings.m_dMinArc, 0.0);
    EXPECT_EQ(worker.m_settings.m_nTimeLimit, 0);
    EXPECT_EQ(worker.m_settings.m_bSysError, 1);
    EXPECT_EQ(worker.m_computed, std::vector<std::string>{"W1"});
    std::string text;
    ASSERT_EQ(ReadUtf8File(c.result, text), 1);
    EXPECT_EQ(text.rfind("job=9-9-1\r\n" + GetScanStateHeaderLine() + "\r\n", 0), 0u);
  }
  // A job without its designation writes nothing.
  WriteUtf8BomFile(dir + "/bad_job.txt", "job=1\r\nobs_path=" + obs + "\r\nresult_path=" + dir + "/bad.tsv\r\n");
  CDeterminationDisplay view(false);
  FakeOrbitScanDlg worker(&view);
  EXPECT_FALSE(RunWorkerJob(worker, dir + "/bad_job.txt"));
  EXPECT_FALSE(FileExists(dir + "/bad.tsv"));
  EXPECT_FALSE(RunWorkerJob(worker, dir + "/no_such_job.txt"));
}

TEST(WorkerJobFiles, WorkerArgumentIsTakenWholeInDeveloperMode)
{
  const std::string path = "/tmp/" + std::string(1500, 'j') + "/x_job.txt";
  const std::string arg = "-neocpworker=" + path;
  const char* withDev[] = {"tessarune", "-dev", arg.c_str()};
  EXPECT_EQ(std::string(FindWorkerJobArgument(3, withDev)), path);
  const char* slash[] = {"tessarune", "/NEOCPWORKER=/j.txt", "-Developer"};
  EXPECT_EQ(std::string(FindWorkerJobArgument(3, slash)), "/j.txt");
  const char* noDev[] = {"tessarune", arg.c_str()};
  EXPECT_EQ(std::string(FindWorkerJobArgument(2, noDev)), "");
  const char* empty[] = {"tessarune", "-dev", "-neocpworker="};
  EXPECT_EQ(std::string(FindWorkerJobArgument(3, empty)), "");
}

// The worker program's host stands in for the dialog's timer and abort
// button: the object's time limit in whole seconds of a wrapping clock, and
// SIGTERM seen by either pump, both cancelling the engine.
TEST(WorkerScanHost, TimeLimitAndTerminateStopTheObject)
{
  StepClock clock;
  CDeterminationDisplay view(false);
  volatile std::sig_atomic_t terminate = 0;
  WorkerScanHost host(&view, &terminate, &clock);
  OrbitEngine& engine = *view.m_pEngine;
  struct Case {
    int limit;
    uint32_t ms;
    int code;
  } cases[] = {{2, 1999, 0}, {2, 2000, 2}, {1, 70000, 2}, {0, 4000000, 0}};
  for (const Case& c : cases) {
    host.BeginRun(c.limit);
    EXPECT_EQ(engine.m_bScanRunning, 1);
    engine.m_nCancel = 0;
    clock.m_now += c.ms;
    EXPECT_EQ(host.PumpAndCheckCancel(), c.code) << c.limit << " " << c.ms;
    EXPECT_EQ(host.ScanTimedOut(), c.code == 2) << c.ms;
    EXPECT_EQ(engine.m_nCancel, c.code == 2 ? 1 : 0) << c.ms;
    EXPECT_DOUBLE_EQ(host.ObjectSeconds(), c.ms / 1000.0);
    EXPECT_FALSE(host.ScanAborted());
    host.EndRun();
    EXPECT_EQ(engine.m_bScanRunning, 0);
  }
  host.BeginRun(0);
  engine.m_nCancel = 0;
  terminate = 1;
  host.CheckTerminate();  // what the engine's own pump calls
  EXPECT_TRUE(host.ScanAborted());
  EXPECT_EQ(engine.m_nCancel, 1);
  EXPECT_EQ(host.PumpAndCheckCancel(), 1);
  host.EndRun();
}

// A pool started from the program runs the worker program beside it, and the
// program itself only where the worker is missing.
TEST(WorkerPool, StartsTheWorkerProgramBesideTheProgramElseTheProgram)
{
  const std::string dir = MakeTempDir("worker_beside");
  const std::string program = dir + "tessarune";
  WriteFileAtomic(program, "program");
  EXPECT_EQ(ScanWorkerToStart(program), program);
  WriteFileAtomic(dir + kScanWorkerProgram, "worker");
  EXPECT_EQ(ScanWorkerToStart(program), dir + kScanWorkerProgram);
  EXPECT_EQ(ScanWorkerToStart(""), "");
}

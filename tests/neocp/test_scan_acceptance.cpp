// Real objects (first nights of 2008 TC3, 2024 BX1, 2015 AB, 2024 MK June
// 16-19, 1862 Apollo since 2000, and the NEOCP-like tracklets, one file per
// designation) scanned from their observation files twice: in this process,
// and by three processes of the worker program (started through posix_spawn
// with no display, on copies of the program and its worker beside a settings
// file that names the same planetary file and stations). The rows agree, the
// per-object files and the local CSV are there, the impactors come first, and
// every row with its files keeps the bits recorded before the scan's
// computations were parted from its dialog. A
// worker killed from outside gives status 4, an abort with three running
// gives status 7 and leaves no process behind. A parent killed while three
// workers compute finds their results in its table at the next start.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <thread>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <utility>
#include <vector>

#include "determination/determination_display.h"
#include "neocp/scan_dlg.h"
#include "neocp/scan_csv.h"
#include "neocp/scan_files.h"
#include "neocp/scan_run.h"
#include "neocp/worker_main.h"
#include "neocp/worker_pool.h"
#include "platform/child_process.h"
#include "platform/files.h"
#include "platform/named_lock.h"
#include "platform/numbers.h"
#include "tests/common/recording_compiler.h"
#include "tests/engine/test_improvement_support.h"
#include "tests/neocp/obs_cuts.h"
#include "tests/neocp/scan_settings_support.h"

namespace {

namespace fs = std::filesystem;

// Lines of an 80-column file whose date (year, month, day with fraction) lies in [from, to).
std::string Cut(const std::string& relative, double from, double to)
{
  std::istringstream in(ReadTestFile(TestDataPath(relative)));
  std::string line, out;
  while (std::getline(in, line)) {
    if (line.size() < 32)
      continue;
    const double key = std::atof(line.substr(15, 4).c_str()) * 10000 + std::atof(line.substr(20, 2).c_str()) * 100 +
                       std::atof(line.substr(23, 9).c_str());
    if (key >= from && key < to)
      out += line + "\n";
  }
  return out;
}


// Starts real workers and lets the test act on them.
class WatchedLauncher : public ProcessWorkerLauncher {
public:
  using ProcessWorkerLauncher::ProcessWorkerLauncher;
  bool Launch(const std::string& jobPath, long& handle, std::string& error) override
  {
    const bool ok = ProcessWorkerLauncher::Launch(jobPath, handle, error);
    if (ok) {
      m_pids.push_back(static_cast<int>(handle));
      if (m_bKillAtStart)
        kill(static_cast<pid_t>(handle), SIGKILL);
    }
    return ok;
  }
  std::vector<int> m_pids;
  bool m_bKillAtStart = false;
};

class ScanAcceptance : public RealObservationTest {
protected:
  void SetUp() override
  {
    RealObservationTest::SetUp();
    if (IsSkipped())
      return;
    const std::string exe = fs::path(ExecutablePath()).parent_path() / "tessarune";
    if (!FileExists(exe))
      GTEST_SKIP() << "the program is not built beside the tests";
    m_dir = MakeTempDir("scan_acceptance");
    CreateFolder(m_dir + "bin");
    if (!FileExists(ScanWorkerPathBeside(exe)))
      GTEST_SKIP() << "the worker program is not built beside the tests";
    m_program = m_dir + "bin/tessarune";
    fs::copy_file(exe, m_program);
    m_exe = ScanWorkerPathBeside(m_program);
    fs::copy_file(ScanWorkerPathBeside(exe), m_exe);
    WriteFileAtomic(m_dir + "fake.441", "not a planetary file");
    WriteFileAtomic(m_dir + "bin/Tessarune.INI", "[SYSTEM]\r\nDE441FILE=" + m_dir + "fake.441\r\nDE406FILE=" +
                                                     TestDataPath("de/lnxp1960p2060.405") +
                                                     "\r\nSTATIONSFILE=" + s_stationsFile + "\r\nOBSFOLDER=" + m_dir +
                                                     "obs\r\n");
    CreateFolder(m_dir + "in");
    struct Piece {
      const char* name;
      const char* file;
      double from, to;
    };
    for (const Piece& p : {Piece{"2008TC3.obs", "obs/mpc80/neosjl_2008TC3.txt", 20081006.0, 20081006.5},
                           Piece{"2024BX1.obs", "obs/mpc80/neosjl_2024BX1.txt", 20240120.0, 20240120.95},
                           Piece{"2024MK.obs", "obs/mpc80/neosjl_2024MK.txt", 20240616.0, 20240620.0},
                           Piece{"2015AB.obs", "obs/mpc80/orbfit_2015AB.obs", 20150102.0, 20150103.0},
                           Piece{"1862.obs", "obs/mpc80/orbfit_1862.obs", 20000101.0, 30000101.0}}) {
      const std::string text = Cut(p.file, p.from, p.to);
      if (text.empty())
        GTEST_SKIP() << p.file << " not found";
      m_files.push_back(WriteTestFile(m_dir + "in/", p.name, text));
    }
    for (const char* file : {"digest2_0000000HwDxQ.obs", "digest2_sample.obs", "digest2_sample1.obs",
                             "digest2_three-hr-tracklets.obs"})
      for (const auto& [desig, text] : ByDesignation(std::string("obs/neocp_like/") + file))
        m_files.push_back(WriteTestFile(m_dir + "in/", desig + ".obs", text));
    if (m_files.size() != 5 + 13)
      GTEST_SKIP() << "obs/neocp_like is not complete";
  }

  // A scan of the files into its own scan folder: parallel 1 here, else workers.
  void Scan(CNeocpScanDlg& dlg, const std::string& tag, int parallel)
  {
    dlg.m_strScanDir = m_dir + tag;
    dlg.m_strFileDir = dlg.m_strScanDir + "/files";
    TypeScanSettings(dlg, 100, 0, parallel);
    dlg.ScanFileList(m_files);
  }

  std::string m_dir, m_exe, m_program;
  std::vector<std::string> m_files;
};

// FNV-1a of each object's state row (without the time taken) and of its
// files, scan folders replaced by "F", the test's folder by "D/" and the
// clock's times (a solution's SavedAt, the log's "――― hh:mm:ss ―――") by
// "T": one "desig hex" line per row.
std::string RowFileDigests(const CNeocpScanDlg& dlg, const std::string& root)
{
  std::string lines;
  for (int i = 0; i < dlg.m_nRows; ++i) {
    NeocpScanRow r;
    CopyScanRow(r, dlg.m_pRows[i]);
    r.elapsed_sec = 0;
    std::string text = FormatScanStateLine(r);
    const std::string base = dlg.m_strFileDir + "/" + MakeSafeFileName(r.desig);
    for (const std::string& path : {r.best_path, r.closest_path, r.clones_path, base + "_log.txt"})
      text += "\n" + (path.empty() ? std::string("-") : ReadTestFile(path));
    for (const std::string& dir : {dlg.m_strFileDir, dlg.m_strScanDir})
      for (size_t at; (at = text.find(dir)) != std::string::npos;)
        text.replace(at, dir.size(), "F");
    for (size_t at; (at = text.find(root)) != std::string::npos;)
      text.replace(at, root.size(), "D/");
    static const std::regex saved("SavedAt( *)= [^\r\n]*"), logTime("――― [0-9]{2}:[0-9]{2}:[0-9]{2} ―――");
    text = std::regex_replace(std::regex_replace(text, saved, "SavedAt$1= T"), logTime, "――― T ―――");
    uint64_t h = 14695981039346656037ull;
    for (const unsigned char c : text)
      h = (h ^ c) * 1099511628211ull;
    lines += FormatC("%s %016llx\n", r.desig.c_str(), static_cast<unsigned long long>(h));
  }
  return lines;
}

// Taken from the dialog's own scan (gcc 12.2, x86-64, optimised) before the
// scan's computations were parted from it.
constexpr const char* kRecordedRowDigests =
    "2008TC3 283540faa6ca4da7\n"
    "2024BX1 aa4d4d638f297f30\n"
    "2024MK 56816bfbdb2133ef\n"
    "2015AB 0c0053356d2bd6d0\n"
    "1862 b25c2f6a9fe80e15\n"
    "K25W00F 17a21361e14ac262\n"
    "K16S99K 6fc7abfad76fe33b\n"
    "K23M01O d1da22bacaa1e2d2\n"
    "23662 dad974b4d67d9a42\n"
    "65558 4b71c28c6f3f5f49\n"
    "99516 80c2494a6194aa5e\n"
    "J6666 dcffba179ce4dd4b\n"
    "L7488 b375b3f33a7e94e9\n"
    "M9358 a2ed3017b0cc7cd4\n"
    "A0421 40e4d73dc4645b19\n"
    "S1795 92b0878d8f45562d\n"
    "i9130 c0b8968502665402\n"
    "K21V32W ff9863582ee2a563\n";

bool ProcessGone(int pid)
{
  siginfo_t info{};
  return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG) != 0 && kill(pid, 0) != 0;
}

} // namespace

TEST_F(ScanAcceptance, InProcessAndThreeWorkersGiveTheSameRows)
{
  ScopedStationsFile stations(s_stationsFile);
  CDeterminationDisplay view;
  PrepareScanWorkerView(view, TheApp());
  CNeocpScanDlg seq(&view);
  view.m_pNeocpScanDlg = &seq;
  Scan(seq, "seq", 1);
  CNeocpScanDlg par(&view);
  view.m_pNeocpScanDlg = &par;
  WatchedLauncher launcher(m_exe);
  par.m_pLauncher = &launcher;
  Scan(par, "par", 3);
  view.m_pNeocpScanDlg = nullptr;

  const int n = static_cast<int>(m_files.size());
  ASSERT_EQ(seq.m_nRows, n);
  ASSERT_EQ(par.m_nRows, n);
  EXPECT_EQ(launcher.m_pids.size(), m_files.size());
  for (int i = 0; i < n; ++i) {
    const NeocpScanRow &a = seq.m_pRows[i], &b = par.m_pRows[i];
    std::printf("%-8s status %d/%d mode %d used %d rms %.3f nom %.6f clo %.6f impacts %d/%d  %s\n", a.desig.c_str(),
                a.status, b.status, a.mode, a.n_used, a.rms, a.nom_dist, a.clo_dist, a.n_impact, a.n_valid,
                a.note.c_str());
    // The whole row but the time taken and the folder.
    NeocpScanRow x, y;
    CopyScanRow(x, a);
    CopyScanRow(y, b);
    x.elapsed_sec = y.elapsed_sec = 0;
    std::string lx = FormatScanStateLine(x), ly = FormatScanStateLine(y);
    for (std::string* l : {&lx, &ly})
      for (const std::string& dir : {seq.m_strScanDir, par.m_strScanDir})
        for (size_t at; (at = l->find(dir)) != std::string::npos;)
          l->replace(at, dir.size(), "F");
    EXPECT_EQ(lx, ly) << a.desig;
    EXPECT_EQ(fs::path(b.best_path).filename(), fs::path(a.best_path).filename());
    // A file that was not written leaves its path empty.
    if (b.status == kScanComplete) {
      EXPECT_FALSE(b.best_path.empty()) << b.desig;
    }
    for (const std::string& path : {b.best_path, b.closest_path, b.clones_path})
      EXPECT_TRUE(path.empty() || FileExists(path)) << path;
    const std::string base = MakeSafeFileName(b.desig);
    EXPECT_TRUE(FileExists(par.m_strFileDir + "/" + base + "_log.txt")) << base;
    EXPECT_TRUE(FileExists(par.m_strScanDir + "/_work/" + base + "_result.tsv")) << base;
  }
  for (const CNeocpScanDlg* d : {&seq, &par})
    EXPECT_TRUE(FileExists(d->m_strFileDir + "/" + kScanCsvName));
  const std::string digests = RowFileDigests(seq, m_dir);
  EXPECT_EQ(RowFileDigests(par, m_dir), digests);
  if (RecordingCompiler()) {
    EXPECT_EQ(digests, kRecordedRowDigests);
  } else {
    std::printf("the recorded digests belong to another compiler; this one gives\n%s", digests.c_str());
  }
  // Sorted by the closest approach: the rows whose closest clone hits on
  // top (the two impactors, every clone hitting, and a three-line tracklet
  // whose ranging allows a few hits), then the others by increasing distance.
  for (const CNeocpScanDlg* d : {&seq, &par}) {
    std::string top;
    bool below = false;
    for (int k = 0; k < d->m_nRows; ++k) {
      const NeocpScanRow& r = d->m_pRows[d->m_pOrder[k]];
      if (r.clo_impact == 1) {
        EXPECT_FALSE(below) << r.desig << " below a row without a hit";
        top += r.desig + " ";
      }
      below = below || r.clo_impact == 0;
      if (k > 0) {
        EXPECT_LE(GetScanSortKey(d->m_pRows[d->m_pOrder[k - 1]], 10), GetScanSortKey(r, 10)) << r.desig;
      }
      if (r.desig == "2008TC3" || r.desig == "2024BX1") {
        EXPECT_EQ(r.clo_impact, 1) << r.desig;
        EXPECT_EQ(r.n_impact, r.n_valid) << r.desig;
        EXPECT_GT(r.n_valid, 0) << r.desig;
      }
    }
    std::printf("on top: %s\n", top.c_str());
  }
  for (int pid : launcher.m_pids)
    EXPECT_TRUE(ProcessGone(pid));
}

TEST_F(ScanAcceptance, KilledWorkersAndAnAbortLeaveNoProcess)
{
  ScopedStationsFile stations(s_stationsFile);
  CDeterminationDisplay view;
  PrepareScanWorkerView(view, TheApp());
  CNeocpScanDlg killed(&view);
  WatchedLauncher launcher(m_exe);
  launcher.m_bKillAtStart = true;
  killed.m_pLauncher = &launcher;
  Scan(killed, "killed", 3);
  for (int i = 0; i < killed.m_nRows; ++i) {
    EXPECT_EQ(killed.m_pRows[i].status, kScanNoOrbit);
    EXPECT_EQ(killed.m_pRows[i].note, "計算係が結果を返さずに終了しました(終了コード 137)");
  }

  // Abort as the third starts: the three end with status 7, none of them is
  // left. (A worker starts in milliseconds: waiting for the next pass would
  // let 2024 MK's fraction of a second end on its own.)
  class AbortingLauncher : public WatchedLauncher {
  public:
    using WatchedLauncher::WatchedLauncher;
    bool Launch(const std::string& jobPath, long& handle, std::string& error) override
    {
      const bool ok = WatchedLauncher::Launch(jobPath, handle, error);
      if (ok && m_pids.size() == 3)
        m_pDlg->OnAbort();
      return ok;
    }
    CNeocpScanDlg* m_pDlg = nullptr;
  };
  CNeocpScanDlg aborted(&view);
  AbortingLauncher aborting(m_exe);
  aborting.m_pDlg = &aborted;
  aborted.m_pLauncher = &aborting;
  Scan(aborted, "aborted", 3);
  EXPECT_EQ(aborting.m_pids.size(), 3u);
  int sevens = 0;
  for (int i = 0; i < aborted.m_nRows; ++i)
    sevens += aborted.m_pRows[i].status == kScanAborted ? 1 : 0;
  EXPECT_EQ(sevens, 3);
  for (int pid : aborting.m_pids)
    EXPECT_TRUE(ProcessGone(pid)) << pid;
}

// A worker's command line given to the program (as an older parent wrote
// it) goes to the worker program beside it, with the same arguments, and
// the worker's exit code is the program's; without a worker beside it, the
// program runs the job itself.
TEST_F(ScanAcceptance, TheProgramHandsAWorkerJobOverToTheWorkerProgram)
{
  const std::string work = m_dir + "handover/" + kWorkFolderName + "/";
  fs::create_directories(work);
  WorkerJob job;
  job.id = "1-2-3";
  job.desig = "NONE";
  job.obsPath = m_dir + "no_such.obs";
  job.scanDir = m_dir + "handover";
  job.fileDir = job.scanDir + "/files";
  job.resultPath = work + "NONE_result.tsv";
  const std::string jobPath = work + "NONE_job.txt";
  WriteFileAtomic(jobPath, FormatWorkerJob(job));
  const auto run = [&] {
    int pid = -1, err = 0;
    EXPECT_TRUE(SpawnBackgroundProcess(m_program, {m_program, "-dev", "-neocpworker=" + jobPath}, 0, pid, err));
    unsigned long code = 0;
    while (!ChildProcessEnded(pid, code))
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return code;
  };

  // A stand-in worker that says how it was started.
  const std::string said = m_dir + "handover/said.txt";
  WriteFileAtomic(m_exe, "#!/bin/sh\necho \"$0 $*\" > '" + said + "'\nexit 7\n");
  fs::permissions(m_exe, fs::perms::owner_all);
  EXPECT_EQ(run(), 7u);
  EXPECT_EQ(ReadTestFile(said), m_exe + " -dev -neocpworker=" + jobPath + "\n");
  EXPECT_FALSE(FileExists(job.resultPath));

  fs::remove(m_exe);
  EXPECT_EQ(run(), 0u);
  std::string result;
  ASSERT_EQ(ReadUtf8File(job.resultPath, result), 1);
  EXPECT_EQ(result.rfind("job=1-2-3\r\n", 0), 0u);
}

namespace {

// The scanning parent of the next test, in a child process: three NEOCP rows
// with their observation files, three workers at once; once all three run
// it says their ids through the pipe and is killed.
[[noreturn]] void ScanUntilThreeRunThenDie(const std::string& scanDir, const std::string& exe,
                                           const std::vector<std::pair<std::string, std::string>>& objects, int pipe)
{
  class DyingLauncher : public ProcessWorkerLauncher {
  public:
    DyingLauncher(const std::string& program, int fd) : ProcessWorkerLauncher(program), m_fd(fd) {}
    void WaitAny(const std::vector<long>& handles, int ms, CNeocpScanDlg& dlg) override
    {
      if (handles.size() == 3) {
        const int pids[3] = {static_cast<int>(handles[0]), static_cast<int>(handles[1]), static_cast<int>(handles[2])};
        if (write(m_fd, pids, sizeof pids) != static_cast<ssize_t>(sizeof pids))
          _exit(2);
        raise(SIGKILL);
      }
      ProcessWorkerLauncher::WaitAny(handles, ms, dlg);
    }
    int m_fd;
  };
  CDeterminationDisplay view;
  PrepareScanWorkerView(view, TheApp());
  CNeocpScanDlg dlg(&view);
  DyingLauncher launcher(exe, pipe);
  dlg.m_pLauncher = &launcher;
  dlg.m_strScanDir = scanDir;
  dlg.m_strFileDir = scanDir + "/files";
  NeocpScanRow* rows = NewScanRowArray(static_cast<int>(objects.size()));
  for (size_t i = 0; i < objects.size(); ++i) {
    ResetScanRow(rows[i], 0);
    rows[i].desig = objects[i].first;
    rows[i].source_path = objects[i].second;
    rows[i].list_state = kListOnNeocp;
  }
  dlg.SetRows(rows, static_cast<int>(objects.size()));
  if (!dlg.LoadState())
    _exit(3);
  TypeScanSettings(dlg, 20, 0, 3);
  dlg.OnScanAll();
  _exit(4);  // the scan ended without three workers at once
}

} // namespace

TEST_F(ScanAcceptance, AParentKilledWhileThreeWorkersRunHasTheirResultsAtTheNextStart)
{
  ScopedStationsFile stations(s_stationsFile);
  const std::string scanDir = m_dir + "killed_parent";
  const std::vector<std::pair<std::string, std::string>> objects = {
      {"2008TC3", m_files[0]}, {"2024BX1", m_files[1]}, {"2015AB", m_files[3]}};
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t parent = fork();
  ASSERT_GE(parent, 0);
  if (parent == 0) {
    close(fds[0]);
    ScanUntilThreeRunThenDie(scanDir, m_exe, objects, fds[1]);
  }
  close(fds[1]);
  int pids[3] = {};
  const ssize_t got = read(fds[0], pids, sizeof pids);
  close(fds[0]);
  int status = 0;
  ASSERT_EQ(waitpid(parent, &status, 0), parent);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "exit " << WEXITSTATUS(status);
  ASSERT_EQ(got, static_cast<ssize_t>(sizeof pids));

  // The workers outlive their parent: wait until each has answered and let go of its job.
  const std::string work = scanDir + "/" + kWorkFolderName + "/";
  const auto finished = [&] {
    for (const auto& [desig, file] : objects)
      if (!FileExists(work + desig + "_result.tsv") || IsFileLockedByOther(work + desig + "_job.txt"))
        return false;
    return true;
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(3);
  while (!finished() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(finished());

  CDeterminationDisplay view;
  CNeocpScanDlg next(&view);
  next.m_strScanDir = scanDir;
  next.m_strFileDir = scanDir + "/files";
  ASSERT_TRUE(next.LoadState());
  ASSERT_EQ(next.m_nRows, 3);
  EXPECT_NE(next.m_strLog.find("終えていた3天体の結果を取り込みました"), std::string::npos) << next.m_strLog;
  for (int i = 0; i < next.m_nRows; ++i) {
    const NeocpScanRow& r = next.m_pRows[i];
    EXPECT_TRUE(r.status == kScanComplete || r.status == kScanNominalOnly) << r.desig << " " << r.status;
    EXPECT_GT(r.n_used, 0) << r.desig;
    EXPECT_TRUE(FileExists(r.best_path)) << r.desig;
    // The two that struck the Earth are impactors from their first night.
    if (r.desig == "2008TC3" || r.desig == "2024BX1") {
      EXPECT_EQ(r.clo_impact, 1) << r.desig;
    }
  }
  // The table keeps them: a start after that reads them without the work folder.
  next.m_folderLock.Unlock();
  fs::remove_all(work);
  CNeocpScanDlg later(&view);
  later.m_strScanDir = scanDir;
  ASSERT_TRUE(later.LoadState());
  for (int i = 0; i < later.m_nRows; ++i)
    EXPECT_EQ(FormatScanStateLine(later.m_pRows[i]), FormatScanStateLine(next.m_pRows[i]));
}

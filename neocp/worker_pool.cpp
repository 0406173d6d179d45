#include "neocp/worker_pool.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>

#include "neocp/scan_dlg.h"
#include "neocp/scan_files.h"
#include "neocp/worker_host.h"
#include "neocp/worker_main.h"
#include "neocp/scan_run.h"
#include "platform/app_services.h"
#include "platform/child_process.h"
#include "platform/files.h"
#include "platform/named_lock.h"
#include "platform/numbers.h"
#include "platform/text_util.h"

namespace {

constexpr int kWorkerNice = 10;
constexpr size_t kStatusDesigChars = 60;

// The dialog's parameter ranges, which a job file does not get around.
double ClampDays(double days)
{
  return std::isfinite(days) && days > 0 ? std::min(days, 36525.0) : 0;
}

int JobInt(const std::map<std::string, std::string>& map, const char* key)
{
  return ParseLeadingInt(GetKeyValue(map, key));
}

double JobDouble(const std::map<std::string, std::string>& map, const char* key)
{
  return ParseLeadingDouble(GetKeyValue(map, key));
}

// The designations in work, joined by one blank and cut to 60 characters.
std::string DesignationsInWork(const CNeocpScanDlg& dlg, const std::vector<WorkerSlot>& slots)
{
  std::string text;
  for (const WorkerSlot& s : slots)
    if (s.m_nRow >= 0)
      text += (text.empty() ? "" : " ") + dlg.m_pRows[s.m_nRow].desig;
  if (Utf8Length(text) > kStatusDesigChars)
    text = std::string(Utf8Prefix(text, kStatusDesigChars)) + " ...";
  return text;
}

void SaveAfterRow(CNeocpScanDlg& dlg, const NeocpScanRow& row)
{
  if (row.list_state == kListLocalFile) {
    dlg.SaveCsv(1);
  } else {
    dlg.SaveCsv(0);
    dlg.SaveState();
  }
}

} // namespace

// ---- the launcher of this program's processes ----

bool ProcessWorkerLauncher::Launch(const std::string& jobPath, long& handle, std::string& error)
{
  const std::string exe = m_strExe.empty() ? ScanWorkerToStart(ExecutablePath()) : m_strExe;
  if (exe.empty()) {
    error = "自分の実行ファイルの場所が分かりません";
    return false;
  }
  int pid = -1, err = 0;
  if (!SpawnBackgroundProcess(exe, {exe, "-dev", "-neocpworker=" + jobPath}, kWorkerNice, pid, err)) {
    error = FormatC("計算係を起動できませんでした(エラー %lu)", static_cast<unsigned long>(err));
    return false;
  }
  handle = pid;
  return true;
}

bool ProcessWorkerLauncher::HasEnded(long handle, unsigned long& exitCode)
{
  return ChildProcessEnded(static_cast<int>(handle), exitCode);
}

void ProcessWorkerLauncher::Terminate(long handle)
{
  EndChildProcess(static_cast<int>(handle), kWorkerGraceMs);
}

void ProcessWorkerLauncher::WaitAny(const std::vector<long>& handles, int ms, CNeocpScanDlg& dlg)
{
  std::vector<int> pids(handles.begin(), handles.end());
  WaitForAnyChildProcess(pids, ms, [&dlg] { dlg.DispatchIdleEvents(); });
}

// ---- key = value files ----

void ParseKeyValueLines(const std::vector<std::string>& lines, int count, std::map<std::string, std::string>& map)
{
  map.clear();
  const size_t n = std::min(lines.size(), static_cast<size_t>(std::max(count, 0)));
  for (size_t i = 0; i < n; ++i) {
    const std::string& line = lines[i];
    const size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0)
      continue;
    map[line.substr(0, eq)] = UnescapeStateField(line.substr(eq + 1));
  }
}

std::string GetKeyValue(const std::map<std::string, std::string>& map, const std::string& key)
{
  const auto it = map.find(key);
  return it == map.end() ? std::string() : it->second;
}

std::string FormatWorkerJob(const WorkerJob& job)
{
  const auto e = [](const std::string& s) { return EscapeStateField(s); };
  return FormatC("job=%s\r\ndesig=%s\r\nobs_path=%s\r\nlocal=%d\r\nscan_dir=%s\r\nfile_dir=%s\r\nresult_path=%s\r\n"
                 "n_clones=%d\r\ndays_back=%.17g\r\ndays_fwd=%.17g\r\nmin_obs=%d\r\nmin_arc=%.17g\r\nsys_err=%d\r\n"
                 "time_limit=%d\r\nbase=%s\r\n",
                 e(job.id).c_str(), e(job.desig).c_str(), e(job.obsPath).c_str(), job.local, e(job.scanDir).c_str(),
                 e(job.fileDir).c_str(), e(job.resultPath).c_str(), job.nClones, job.daysBack, job.daysFwd,
                 job.minObs, job.minArc, job.sysErr, job.timeLimit, e(job.base).c_str());
}

bool ParseWorkerJob(const std::map<std::string, std::string>& map, WorkerJob& job)
{
  job = WorkerJob();
  job.id = GetKeyValue(map, "job");
  job.desig = GetKeyValue(map, "desig");
  job.obsPath = GetKeyValue(map, "obs_path");
  job.resultPath = GetKeyValue(map, "result_path");
  if (job.id.empty() || job.desig.empty() || job.obsPath.empty() || job.resultPath.empty())
    return false;
  job.local = JobInt(map, "local") == 1 ? 1 : 0;
  job.scanDir = GetKeyValue(map, "scan_dir");
  job.fileDir = GetKeyValue(map, "file_dir");
  job.base = GetKeyValue(map, "base");
  job.nClones = std::clamp(JobInt(map, "n_clones"), 0, 100000);
  job.daysBack = ClampDays(JobDouble(map, "days_back"));
  job.daysFwd = ClampDays(JobDouble(map, "days_fwd"));
  job.minObs = std::max(JobInt(map, "min_obs"), 3);
  job.minArc = ClampDays(JobDouble(map, "min_arc"));
  job.sysErr = JobInt(map, "sys_err") != 0 ? 1 : 0;
  job.timeLimit = std::max(JobInt(map, "time_limit"), 0);
  return true;
}

bool IsResultPathInJobFolder(const std::string& resultPath, const std::string& jobPath)
{
  namespace fs = std::filesystem;
  std::error_code ec1, ec2;
  const fs::path r = fs::absolute(fs::path(resultPath), ec1).lexically_normal();
  const fs::path j = fs::absolute(fs::path(jobPath), ec2).lexically_normal();
  if (ec1 || ec2 || r.filename().empty() || r.filename() == "." || r.filename() == "..")
    return false;
  return r.parent_path() == j.parent_path();
}

std::string FormatWorkerResult(const std::string& jobId, const NeocpScanRow& row)
{
  return "job=" + EscapeStateField(jobId) + "\r\n" + GetScanStateHeaderLine() + "\r\n" + FormatScanStateLine(row) +
         "\r\n";
}

bool ReadWorkerResult(const WorkerSlot& slot, NeocpScanRow& row)
{
  std::string text;
  if (!ReadUtf8File(slot.m_strResultPath, text))
    return false;
  std::vector<std::string> lines;
  SplitLines(text, lines);
  if (lines.size() < 3)
    return false;
  std::map<std::string, std::string> map;
  ParseKeyValueLines(lines, 1, map);
  const auto job = map.find("job");
  if (job == map.end() || job->second != slot.m_strJobId)
    return false;
  std::vector<std::string> names, values;
  SplitTabFields(lines[1], names);
  SplitTabFields(lines[2], values);
  std::map<std::string, std::string> columns;
  for (size_t k = 0; k < std::min(names.size(), values.size()); ++k)
    columns[names[k]] = values[k];

  NeocpScanRow parent;
  CopyScanRow(parent, row);
  ScanRowFieldVisitor reader(&columns);
  reader.Visit(row);
  // The worker's row knew only the designation and the file; the parent's
  // list data, fate and known-object match stay.
  row.desig = parent.desig;
  row.list_state = parent.list_state;
  row.prov_des = parent.prov_des;
  row.prov_name = parent.prov_name;
  row.fate = parent.fate;
  row.fate_short = parent.fate_short;
  row.on_pccp = parent.on_pccp;
  row.nobs_at_scan = parent.nobs_at_scan;
  row.score = parent.score;
  row.list_nobs = parent.list_nobs;
  row.list_arc = parent.list_arc;
  row.h = parent.h;
  row.just_scanned = parent.just_scanned;
  row.source_path = parent.source_path;
  row.known_checked = parent.known_checked;
  row.known_is_comet = parent.known_is_comet;
  row.known_nobs = parent.known_nobs;
  row.known_arc = parent.known_arc;
  row.known_name = parent.known_name;
  row.known_desig = parent.known_desig;
  row.known_along = parent.known_along;
  row.known_cross = parent.known_cross;
  row.known_dmag = parent.known_dmag;
  row.known_shift = parent.known_shift;
  row.known_rms0 = parent.known_rms0;
  row.known_rms = parent.known_rms;
  return true;
}

// ---- the pool ----

namespace {

struct PoolRun {
  CNeocpScanDlg& dlg;
  WorkerLauncher& launcher;
  std::vector<WorkerSlot> slots;
  std::string work;
  int done = 0, running = 0;

  // Collects the slot's worker when it ended or has to be ended; true then.
  bool Collect(WorkerSlot& slot)
  {
    NeocpScanRow& row = dlg.m_pRows[slot.m_nRow];
    const uint32_t elapsedMs = dlg.NowMs() - slot.m_dwStart;
    const int limit = dlg.m_nActiveTimeLimit;
    unsigned long code = 0;
    if (launcher.HasEnded(slot.m_hProcess, code)) {
      if (!ReadWorkerResult(slot, row)) {
        ResetScanRow(row, 1);
        row.status = kScanNoOrbit;
        row.note = FormatC("計算係が結果を返さずに終了しました(終了コード %lu)", code);
      }
    } else if (dlg.m_bAbort) {
      launcher.Terminate(slot.m_hProcess);
      ResetScanRow(row, 1);
      row.status = kScanAborted;
    } else if (limit > 0 && elapsedMs / 1000u >= static_cast<uint32_t>(limit) + kWorkerOvertimeSec) {
      launcher.Terminate(slot.m_hProcess);
      ResetScanRow(row, 1);
      row.status = kScanTimedOut;
      row.note = FormatC("%d秒の制限時間を超えても終わらなかったので、計算係を終了させました", limit);
    } else {
      return false;
    }
    if (row.elapsed_sec <= 0)
      row.elapsed_sec = elapsedMs / 1000.0;
    const int index = slot.m_nRow;
    slot = WorkerSlot();
    --running;
    if (row.status != kScanAborted)
      ++done;
    dlg.UpdateRow(index);
    dlg.LogRowResult(row);
    dlg.SetProgressPos(done);
    SaveAfterRow(dlg, row);
    return true;
  }

  // Prepares the row and starts its worker; a job that does not start is done.
  void Start(int index, int position, int selectedOnly)
  {
    NeocpScanRow& row = dlg.m_pRows[index];
    if (selectedOnly == 1)
      row.just_scanned = 1;
    std::string obsPath;
    if (dlg.PrepareObservations(index, obsPath) && Launch(index, position, obsPath))
      return;
    ++done;
    dlg.UpdateRow(index);
    if (row.status != kScanSkipped && !dlg.m_bKeptPrevious)
      dlg.LogRowResult(row);
    dlg.SetProgressPos(done);
  }

  bool Launch(int index, int position, const std::string& obsPath)
  {
    NeocpScanRow& row = dlg.m_pRows[index];
    const NeocpScanSettings& s = dlg.m_settings;
    const std::string base = dlg.RowBaseName(index);
    WorkerJob job;
    job.id = FormatC("%lu-%lu-%d", static_cast<unsigned long>(getpid()), static_cast<unsigned long>(dlg.NowMs()),
                     position);
    job.desig = row.desig;
    job.obsPath = obsPath;
    job.local = row.list_state == kListLocalFile ? 1 : 0;
    job.scanDir = dlg.m_strScanDir;
    job.fileDir = dlg.m_strFileDir;
    job.resultPath = work + "/" + base + "_result.tsv";
    job.base = base;
    job.nClones = s.m_nClones;
    job.daysBack = s.m_dDaysBefore;
    job.daysFwd = s.m_dDaysAfter;
    job.minObs = s.m_nMinObs;
    job.minArc = s.m_dMinArc;
    job.sysErr = s.m_bSysError;
    job.timeLimit = dlg.m_nActiveTimeLimit;
    const std::string jobPath = work + "/" + base + "_job.txt";
    if (!WriteUtf8BomFileReplacing(jobPath, FormatWorkerJob(job))) {
      row.status = kScanNoOrbit;
      row.note = "計算係への指示ファイルを書けませんでした";
      return false;
    }
    long handle = 0;
    std::string error;
    if (!launcher.Launch(jobPath, handle, error)) {
      row.status = kScanNoOrbit;
      row.note = error;
      return false;
    }
    WorkerSlot* slot = &*std::find_if(slots.begin(), slots.end(), [](const WorkerSlot& w) { return w.m_nRow < 0; });
    slot->m_nRow = index;
    slot->m_hProcess = handle;
    slot->m_dwStart = dlg.NowMs();
    slot->m_strJobId = job.id;
    slot->m_strResultPath = job.resultPath;
    ++running;
    // The table on disk marks the row as in work, so that a later start
    // finds its job file and takes the result should this run not collect it.
    if (row.list_state != kListLocalFile)
      dlg.SaveState();
    return true;
  }
};

} // namespace

int RunWorkerPool(CNeocpScanDlg& dlg, const int* jobs, int n, int selectedOnly, int P)
{
  P = std::clamp(P, 1, kMaxWorkers);
  ProcessWorkerLauncher own;
  PoolRun pool{dlg, dlg.m_pLauncher ? *dlg.m_pLauncher : own, std::vector<WorkerSlot>(static_cast<size_t>(P)),
               dlg.m_strScanDir + "/" + kWorkFolderName};
  CreateFolder(pool.work);
  int next = 0;
  std::string shown;
  for (;;) {
    if ((next >= n || dlg.m_bAbort) && pool.running == 0)
      return pool.done;
    bool happened = false;
    for (WorkerSlot& slot : pool.slots)
      if (slot.m_nRow >= 0 && pool.Collect(slot))
        happened = true;
    if (pool.running < P && next < n && !dlg.m_bAbort) {
      const int index = jobs[next++];
      pool.Start(index, next, selectedOnly);
      happened = true;
    }
    const std::string status =
        dlg.m_bAbort ? std::string("中止しています(計算係を終了させています)...")
                     : FormatC("%d/%d 天体が終了。%d個を計算中: %s", pool.done, n, pool.running,
                               DesignationsInWork(dlg, pool.slots).c_str());
    if (status != shown) {
      dlg.SetStatusText(status);
      shown = status;
    }
    // The parent's own clock must not time the pool out.
    dlg.m_dwObjectStart = dlg.NowMs();
    dlg.PumpMessages();
    if (!happened) {
      std::vector<long> handles;
      for (const WorkerSlot& slot : pool.slots)
        if (slot.m_nRow >= 0)
          handles.push_back(slot.m_hProcess);
      pool.launcher.WaitAny(handles, kWorkerWaitMs, dlg);
    }
  }
}

bool ReadWorkerJobFile(const std::string& jobPath, WorkerJob& job)
{
  std::string text;
  if (!ReadUtf8File(jobPath, text))
    return false;
  std::vector<std::string> lines;
  SplitLines(text, lines);
  std::map<std::string, std::string> map;
  ParseKeyValueLines(lines, static_cast<int>(lines.size()), map);
  return ParseWorkerJob(map, job) && IsResultPathInJobFolder(job.resultPath, jobPath);
}

namespace {

// The job's settings, row and files; scan runs the object, and the row it
// leaves goes to the result file under the job's id.
bool RunWorkerJobWith(const std::string& jobPath,
                      const std::function<bool(const WorkerJob&, const NeocpScanSettings&, NeocpScanRow&)>& scan)
{
  TheApp().m_nNeocpScan = 0;
  FileLock inWork;
  inWork.TryLock(jobPath, true, false);
  WorkerJob job;
  if (!ReadWorkerJobFile(jobPath, job))
    return false;
  NeocpScanSettings s;
  s.m_nClones = job.nClones;
  s.m_dDaysBefore = job.daysBack;
  s.m_dDaysAfter = job.daysFwd;
  s.m_nMinObs = job.minObs;
  s.m_dMinArc = job.minArc;
  s.m_bSysError = job.sysErr;
  s.m_nTimeLimit = job.timeLimit;
  NeocpScanRow row;
  ResetScanRow(row, 0);
  row.desig = job.desig;
  row.source_path = job.obsPath;
  row.list_state = job.local ? kListLocalFile : kListOnNeocp;
  if (!scan(job, s, row))
    return false;
  return WriteUtf8BomFileReplacing(job.resultPath, FormatWorkerResult(job.id, row)) == 1;
}

} // namespace

bool RunWorkerJob(CNeocpScanDlg& dlg, const std::string& jobPath)
{
  return RunWorkerJobWith(jobPath, [&](const WorkerJob& job, const NeocpScanSettings& s, NeocpScanRow& row) {
    const int parallel = dlg.m_settings.m_nParallel;
    dlg.m_settings = s;
    dlg.m_settings.m_nParallel = parallel;
    dlg.m_strScanDir = job.scanDir;
    dlg.m_strFileDir = job.fileDir;
    dlg.m_strWorkerBase = job.base;
    NeocpScanRow* rows = NewScanRowArray(1);
    CopyScanRow(rows[0], row);
    dlg.SetRows(rows, 1);
    if (dlg.m_nRows != 1)
      return false;
    dlg.BeginScanRun();
    dlg.ScanOneObject(0);
    dlg.EndScanRun();
    CopyScanRow(row, dlg.m_pRows[0]);
    return true;
  });
}

bool RunWorkerJob(WorkerScanHost& host, const std::string& jobPath)
{
  return RunWorkerJobWith(jobPath, [&](const WorkerJob& job, const NeocpScanSettings& s, NeocpScanRow& row) {
    const std::string folder = job.local ? job.fileDir : job.scanDir;
    const std::string base = job.base.empty() ? UniqueScanBaseNames(&row, 1)[0] : job.base;
    host.BeginRun(s.m_nTimeLimit);
    if (BeginRowScan(row, s))
      ScanObject(s, {job.obsPath, folder + "/" + base}, row, host);
    else
      EndRowScan(row, host.ObjectSeconds(), s.m_nTimeLimit);
    host.EndRun();
    return true;
  });
}

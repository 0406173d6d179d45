#pragma once
// The scan's worker processes: the worker program, each computing one
// object of the job list from a job file and answering with a result file
// in the scan folder's "_work" folder. The parent keeps at most P of them
// running, polls them without blocking and takes only the scan results of
// each row back; the worker's side reads the job, scans the one object and
// writes the row.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "neocp/scan_row.h"

class CNeocpScanDlg;
class WorkerScanHost;
struct NeocpScanSettings;

inline constexpr int kMaxWorkers = 60;
inline constexpr const char* kWorkFolderName = "_work";
inline constexpr int kWorkerGraceMs = 5000;   // SIGTERM to SIGKILL
inline constexpr int kWorkerWaitMs = 200;     // longest wait between passes
inline constexpr int kWorkerOvertimeSec = 60; // past the time limit before the parent ends a worker

// One running worker of the pool.
struct WorkerSlot {
  int m_nRow = -1;          // -1: free
  long m_hProcess = 0;      // the launcher's handle; 0 none
  uint32_t m_dwStart = 0;
  std::string m_strJobId;
  std::string m_strResultPath;
};

// Starts, polls and ends workers; the pool tests put their own.
class WorkerLauncher {
public:
  virtual ~WorkerLauncher() = default;
  // Starts a worker on the job file: true with its handle, else the error text.
  virtual bool Launch(const std::string& jobPath, long& handle, std::string& error) = 0;
  // True once the worker has ended, with its exit code (128 + signal).
  virtual bool HasEnded(long handle, unsigned long& exitCode) = 0;
  // Ends a running worker; it is gone when this returns.
  virtual void Terminate(long handle) = 0;
  // Waits up to ms for one of the workers to end, dispatching events.
  virtual void WaitAny(const std::vector<long>& handles, int ms, CNeocpScanDlg& dlg) = 0;
};

// Workers as processes: posix_spawn of the executable with
// {exe, "-dev", "-neocpworker=<job>"}, nice 10, no inherited descriptors.
class ProcessWorkerLauncher : public WorkerLauncher {
public:
  // exe "" : the worker program beside this one (this program when absent).
  explicit ProcessWorkerLauncher(std::string exe = {}) : m_strExe(std::move(exe)) {}
  bool Launch(const std::string& jobPath, long& handle, std::string& error) override;
  bool HasEnded(long handle, unsigned long& exitCode) override;
  void Terminate(long handle) override;
  void WaitAny(const std::vector<long>& handles, int ms, CNeocpScanDlg& dlg) override;

private:
  std::string m_strExe;
};

// The number of jobs done (an aborted job does not count).
int RunWorkerPool(CNeocpScanDlg& dlg, const int* jobs, int n, int selectedOnly, int P);

// ---- job and result files ----
// Key=value lines: the first count lines (no more than there are); empty
// lines, lines without "=" or starting with it are skipped; values
// unescaped; a later key replaces an earlier one. The map is emptied first.
void ParseKeyValueLines(const std::vector<std::string>& lines, int count, std::map<std::string, std::string>& map);
std::string GetKeyValue(const std::map<std::string, std::string>& map, const std::string& key);

struct WorkerJob {
  std::string id, desig, obsPath, scanDir, fileDir, resultPath, base;
  int local = 0;
  int nClones = 0, minObs = 0, sysErr = 0, timeLimit = 0;
  double daysBack = 0, daysFwd = 0, minArc = 0;
};
std::string FormatWorkerJob(const WorkerJob& job);
// The job from its file's key map; false when a required key is missing or
// empty. Settings are brought into the dialog's ranges.
bool ParseWorkerJob(const std::map<std::string, std::string>& map, WorkerJob& job);
// The job file read and parsed, its result path checked to lie beside it.
bool ReadWorkerJobFile(const std::string& jobPath, WorkerJob& job);
// The result path lies in the job file's folder (no "..", no other folder).
bool IsResultPathInJobFolder(const std::string& resultPath, const std::string& jobPath);
// "job=" + id, the state header and the row's values, CR LF each.
std::string FormatWorkerResult(const std::string& jobId, const NeocpScanRow& row);
// True when the slot's result file, with the slot's job id, was read into
// the row; the fields the parent owns keep the parent's values.
bool ReadWorkerResult(const WorkerSlot& slot, NeocpScanRow& row);
// The worker's side: reads the job, scans its object, writes the result.
// True when the result file was written. The worker holds a shared lock on
// its job file until then, so that a parent started later can tell a job
// still in work from one whose worker died.
bool RunWorkerJob(CNeocpScanDlg& dlg, const std::string& jobPath);
// The same job scanned by the worker process's window-free host.
bool RunWorkerJob(WorkerScanHost& host, const std::string& jobPath);

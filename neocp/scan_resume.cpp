// The scan folder between instances and runs: one instance at a time writes
// there, and the results of workers that a run left uncollected (the program
// closed or died while they computed) are taken at the next start, matched
// to their rows through the job files in the work folder.
#include <filesystem>
#include <map>

#include "neocp/scan_dlg.h"
#include "neocp/scan_files.h"
#include "neocp/worker_pool.h"
#include "platform/files.h"
#include "platform/numbers.h"

namespace {

namespace fs = std::filesystem;

struct LeftJob {
  std::string path;
  WorkerJob job;
  fs::file_time_type written;
};

bool IsJobFileName(const std::string& name)
{
  static const std::string kEnd = "_job.txt";
  return name.size() > kEnd.size() && name.compare(name.size() - kEnd.size(), kEnd.size(), kEnd) == 0;
}

// The job files of table rows by designation; of two for one designation the
// newer is the one a row in work belongs to.
std::map<std::string, LeftJob> ReadLeftJobs(const std::string& work)
{
  std::map<std::string, LeftJob> jobs;
  std::error_code ec;
  for (fs::directory_iterator it(work, ec), end; !ec && it != end; it.increment(ec)) {
    LeftJob left;
    left.path = it->path().string();
    std::error_code timeError;
    left.written = it->last_write_time(timeError);
    if (!IsJobFileName(it->path().filename().string()) || timeError || !ReadWorkerJobFile(left.path, left.job) ||
        left.job.local)
      continue;
    const auto found = jobs.find(left.job.desig);
    if (found == jobs.end() || found->second.written < left.written)
      jobs[left.job.desig] = left;
  }
  return jobs;
}

} // namespace

bool CNeocpScanDlg::HoldScanFolder()
{
  if (m_folderLock.IsHeld())
    return true;
  CreateFolder(m_strScanDir);
  // A folder where no lock file can be made is one nobody writes into either.
  return m_folderLock.TryLock(m_strScanDir + "/" + kScanLockName, false, true) != 0;
}

int CNeocpScanDlg::TakeLeftWorkerResults()
{
  if (m_bRunning || !m_folderLock.IsHeld())
    return 0;
  std::map<std::string, LeftJob> jobs;
  bool read = false;
  int taken = 0, computing = 0, lost = 0;
  for (int i = 0; i < m_nRows; ++i) {
    NeocpScanRow& row = m_pRows[i];
    if (row.status != kScanComputing || row.list_state == kListLocalFile)
      continue;
    if (!read) {
      jobs = ReadLeftJobs(m_strScanDir + "/" + kWorkFolderName);
      read = true;
    }
    const auto found = jobs.find(row.desig);
    if (found != jobs.end()) {
      WorkerSlot slot;
      slot.m_nRow = i;
      slot.m_strJobId = found->second.job.id;
      slot.m_strResultPath = found->second.job.resultPath;
      if (ReadWorkerResult(slot, row)) {
        ++taken;
        UpdateRow(i);
        LogRowResult(row);
        continue;
      }
      if (IsFileLockedByOther(found->second.path)) {
        ++computing;
        continue;
      }
    }
    // No worker computes it any more and none left a result.
    row.status = kScanAborted;
    ++lost;
    UpdateRow(i);
  }
  if (taken > 0)
    AppendLog(FormatC("※前回の走査の途中で閉じられた後に計算係が終えていた%d天体の結果を取り込みました\r\n", taken));
  if (computing > 0)
    AppendLog(FormatC("※前回の走査の計算係が、まだ%d天体を計算しています。終わった結果は、一覧を再取得したときに取り込みます\r\n",
                      computing));
  if (taken + lost > 0) {
    SaveCsv(0);
    SaveState();
  }
  return taken;
}

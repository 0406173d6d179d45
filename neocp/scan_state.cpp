// The dialog's side of its files: the folder's lock, the log, the warning on
// a failed write and the rows an earlier run left in work. The table reads
// and writes them.
#include "neocp/scan_dlg.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"

namespace {

constexpr const char* kMsgFolderInUse =
    "※この記録のフォルダーは、別に起動しているもう一つの本プログラムが使っています。表は読むだけにして、記録の書き換えも"
    "走査もしません。向こうを閉じてから、一覧を再取得してください。\r\n  %s\r\n";

} // namespace

std::string CNeocpScanDlg::StatePath() const
{
  return m_strScanDir + "/" + kScanStateName;
}

bool CNeocpScanDlg::LoadState()
{
  // Another instance's folder is shown as it is and never written.
  const bool own = HoldScanFolder();
  if (!own)
    AppendLog(FormatC(kMsgFolderInUse, m_strScanDir.c_str()));
  std::string log;
  const int result = m_table.LoadState(m_strScanDir, own, log);
  if (!log.empty())
    AppendLog(log);
  if (result == kScanStateRead)
    RefillList();
  if (result == kScanStateNoFile)
    m_bStateLoaded = own ? 1 : 0;
  if (result < 0 || !own)
    return false;
  m_bStateLoaded = 1;
  // Rows still marked in work: their workers outlived the run that started them.
  if (result == kScanStateRead)
    TakeLeftWorkerResults();
  return true;
}

bool CNeocpScanDlg::SaveState()
{
  if (!m_bStateLoaded)
    return false;
  std::string error;
  if (m_table.SaveState(m_strScanDir, error))
    return true;
  // The callers go on without the result: on a full or read-only disk the
  // table (and the state of every row in it) would stop being kept unseen.
  if (!m_bStateSaveFailNoted) {
    m_bStateSaveFailNoted = 1;
    Ui().ShowMessage("NEOCPスキャン",
                     "スキャンの状態表を保存できませんでした。各行の状態は次に起動したときに失われます。\r\n"
                     "ディスクの空きと書き込みの権限を確かめてください。\r\n\r\n" + error,
                     MsgIcon::Warning, MsgButtons::Ok);
  }
  return false;
}

int CNeocpScanDlg::SaveCsv(int local)
{
  if (!local && !m_bStateLoaded)
    return 0;
  // The local rows' folder lies inside the scan folder.
  CreateFolder(m_strScanDir);
  return m_table.SaveCsv(local ? m_strFileDir : m_strScanDir, local);
}

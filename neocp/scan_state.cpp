// The dialog's files: the state table that carries the scan table from one
// run of the program to the next, and the CSV for a spreadsheet.
#include <cstdio>
#include <ctime>

#include "neocp/scan_csv.h"
#include "neocp/scan_dlg.h"
#include "neocp/scan_files.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"

namespace {

constexpr const char* kMsgStateUnreadable =
    "※表の記録を読めませんでした。この画面を開いている間は、表の記録を書き換えません。\r\n  %s\r\n";
constexpr const char* kMsgStateSetAside = "※表の記録の形式が違ったので、名前を変えて残し、空の表から始めます。\r\n  %s\r\n";
constexpr const char* kMsgFolderInUse =
    "※この記録のフォルダーは、別に起動しているもう一つの本プログラムが使っています。表は読むだけにして、記録の書き換えも"
    "走査もしません。向こうを閉じてから、一覧を再取得してください。\r\n  %s\r\n";
constexpr const char* kMsgStateNotMoved =
    "※表の記録の形式が違い、名前も変えられませんでした。表の記録は書き換えません。\r\n  %s\r\n";

std::string SetAsideName()
{
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d_%H%M%S", &local);
  return std::string("neocp_scan_state_読めなかった_") + stamp + ".tsv";
}

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
  const std::string path = StatePath();
  if (!FileExists(path)) {
    m_bStateLoaded = own ? 1 : 0;
    return own;
  }
  std::string text;
  if (!ReadUtf8File(path, text)) {
    AppendLog(FormatC(kMsgStateUnreadable, path.c_str()));
    return false;
  }
  std::vector<std::string> lines, header;
  SplitLines(text, lines);
  if (!lines.empty())
    SplitTabFields(lines[0], header);
  if (lines.empty() || header.size() < 2 || header[0] != "desig") {
    if (!own)
      return false;
    const std::string aside = m_strScanDir + "/" + SetAsideName();
    if (std::rename(path.c_str(), aside.c_str()) != 0) {
      AppendLog(FormatC(kMsgStateNotMoved, path.c_str()));
      return false;
    }
    AppendLog(FormatC(kMsgStateSetAside, aside.c_str()));
    m_bStateLoaded = 1;
    return true;
  }
  int locals = 0;
  for (int i = 0; i < m_nRows; ++i)
    locals += m_pRows[i].list_state == kListLocalFile ? 1 : 0;
  NeocpScanRow* rows = NewScanRowArray(static_cast<int>(lines.size()) + locals);
  if (!rows)
    return false;
  int count = 0;
  for (size_t k = 1; k < lines.size(); ++k) {
    NeocpScanRow& row = rows[count];
    ParseScanStateLine(header, lines[k], row);
    if (row.desig.empty() || row.list_state == kListLocalFile)
      continue;
    if (row.list_state < kListOnNeocp || row.list_state > kListMerged)
      row.list_state = kListOnNeocp;
    ++count;
  }
  for (int i = 0; i < m_nRows; ++i)
    if (m_pRows[i].list_state == kListLocalFile)
      CopyScanRow(rows[count++], m_pRows[i]);
  SetRows(rows, count);
  if (!own)
    return false;
  m_bStateLoaded = 1;
  // Rows still marked in work: their workers outlived the run that started them.
  TakeLeftWorkerResults();
  return true;
}

bool CNeocpScanDlg::SaveState()
{
  if (!m_bStateLoaded)
    return false;
  CreateFolder(m_strScanDir);
  std::string text;
  for (int i = 0; i < m_nRows; ++i) {
    if (m_pRows[i].list_state == kListLocalFile)
      continue;
    if (text.empty())
      text = GetScanStateHeaderLine() + "\r\n";
    text += FormatScanStateLine(m_pRows[i]) + "\r\n";
  }
  if (text.empty())
    text = GetScanStateHeaderLine() + "\r\n";
  std::string error;
  if (WriteFileAtomic(StatePath(), std::string(kUtf8Bom) + text, &error))
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
  CreateFolder(m_strScanDir);
  if (local)
    CreateFolder(m_strFileDir);
  const std::string folder = local ? m_strFileDir : m_strScanDir;
  if (!FolderExists(folder))
    return 0;
  std::string text = GetCsvHeaderLine() + "\r\n";
  std::vector<std::string> cells;
  for (int i = 0; i < m_nRows; ++i) {
    const NeocpScanRow& row = m_pRows[m_pOrder[i]];
    if ((row.list_state == kListLocalFile) != (local != 0) || row.status == kScanComputing ||
        (local && row.status == kScanNever))
      continue;
    FormatCsvRow(row, cells);
    if (cells.size() != kCsvColumns)
      return 0;
    for (size_t c = 0; c < cells.size(); ++c) {
      if (c > 0)
        text += ',';
      text += cells[c];
    }
    text += "\r\n";
  }
  return WriteUtf8BomFileReplacing(folder + "/" + kScanCsvName, text);
}

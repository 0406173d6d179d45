// The purge: finished objects leave the table for the archive
// "neocp_scan_purged.csv", which only grows.
#include <new>
#include <vector>

#include "neocp/scan_csv.h"
#include "neocp/scan_dlg.h"
#include "neocp/scan_files.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"

namespace {

constexpr const char* kPurgeHeaderLead = "パージした日時,";
constexpr const char* kPurgeCaption = "パージ";
constexpr const char* kUtf8ByteOrderMark = "\xEF\xBB\xBF";

bool IsFinishedRow(const NeocpScanRow& row)
{
  return row.list_state == kListProvisional || row.list_state == kListRemoved || row.list_state == kListMerged;
}


// True unless the archive's last header line is header.
bool ArchiveNeedsHeader(const std::string& path, const std::string& header)
{
  std::string text;
  if (!ReadUtf8File(path, text))
    return true;
  std::vector<std::string> lines;
  SplitLines(text, lines);
  const std::string lead = kPurgeHeaderLead;
  for (auto it = lines.rbegin(); it != lines.rend(); ++it)
    if (it->compare(0, lead.size(), lead) == 0)
      return *it != header;
  return true;
}

} // namespace

void CNeocpScanDlg::OnPurge()
{
  if (m_bRunning || m_bFetching || m_nRows <= 0)
    return;
  int finished = 0, designated = 0;
  for (int i = 0; i < m_nRows; ++i) {
    finished += IsFinishedRow(m_pRows[i]);
    designated += m_pRows[i].list_state == kListProvisional;
  }
  if (finished == 0) {
    SetStatusText("表から外せる天体(仮符号が付いたものなど)はありません");
    UpdateControls();
    return;
  }
  CreateFolder(m_strScanDir);
  const std::string path = m_strScanDir + "/" + kScanPurgedName;
  const std::string when = FormatLocalNow("%Y/%m/%d %H:%M");
  const std::string header = kPurgeHeaderLead + GetCsvHeaderLine();

  std::string text = ArchiveNeedsHeader(path, header) ? header + "\r\n" : std::string();
  std::string logLines;
  std::vector<std::string> cells;
  for (int k = 0; k < m_nRows; ++k) {
    const NeocpScanRow& row = m_pRows[m_pOrder[k]];
    if (!IsFinishedRow(row))
      continue;
    FormatCsvRow(row, cells);
    text += when;
    for (const std::string& cell : cells)
      text += "," + cell;
    text += "\r\n";
    logLines += FormatC("  %-8s %s %s  %s\r\n", row.desig.c_str(), GetScanStateText(row).c_str(),
                        row.prov_des.c_str(), row.fate.c_str());
  }
  // Rows leave the table only once the archive holds them: every write and
  // the close are checked, and a failed append is taken back.
  if (!AppendFileBlock(path, kUtf8ByteOrderMark, text)) {
    Ui().ShowMessage(kPurgeCaption,
                     FormatC("外す天体の結果を書き残せなかったので、表から外すのをやめました。\r\n%s\r\n"
                             "(表計算ソフトで開いたままなら、閉じてからもう一度お試しください)",
                             path.c_str()),
                     MsgIcon::Warning, MsgButtons::Ok);
    return;
  }

  const int kept = m_nRows - finished;
  NeocpScanRow* rows = kept > 0 ? NewScanRowArray(kept) : nullptr;
  int* order = kept > 0 ? new (std::nothrow) int[static_cast<size_t>(kept)] : nullptr;
  if (kept > 0 && (!rows || !order)) {
    DeleteScanRowArray(rows);
    delete[] order;
    return;
  }
  std::vector<int> newIndex(static_cast<size_t>(m_nRows), -1);
  int n = 0;
  for (int i = 0; i < m_nRows; ++i) {
    if (IsFinishedRow(m_pRows[i]))
      continue;
    CopyScanRow(rows[n], m_pRows[i]);
    newIndex[static_cast<size_t>(i)] = n++;
  }
  int position = 0;
  for (int k = 0; k < m_nRows; ++k)
    if (newIndex[static_cast<size_t>(m_pOrder[k])] >= 0)
      order[position++] = newIndex[static_cast<size_t>(m_pOrder[k])];
  DeleteScanRowArray(m_pRows);
  delete[] m_pOrder;
  m_pRows = rows;
  m_pOrder = order;
  m_nRows = kept;

  RefillList();
  SaveState();
  SaveCsv(0);
  AppendLog(FormatC("―― パージ %s  %d個を表から外しました(仮符号が付いた %d・そのほか %d)。結果は %s に残しました ――\r\n",
                    when.c_str(), finished, designated, finished - designated, kScanPurgedName) +
            logLines);
  SetStatusText(FormatC("%d個を表から外しました。外した天体の結果は %s に残してあります", finished, kScanPurgedName));
  UpdateControls();
}

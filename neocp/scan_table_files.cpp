// The table's files: the state table that carries it from one run of the
// program to the next, and the CSV for a spreadsheet. No window here, so a
// worker and the tests write the same bytes as the dialog.
#include <cstdio>
#include <vector>

#include "neocp/scan_csv.h"
#include "neocp/scan_dlg.h"
#include "neocp/scan_files.h"
#include "neocp/scan_table.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/numbers.h"

namespace {

constexpr const char* kMsgStateUnreadable =
    "※表の記録を読めませんでした。この画面を開いている間は、表の記録を書き換えません。\r\n  %s\r\n";
constexpr const char* kMsgStateSetAside = "※表の記録の形式が違ったので、名前を変えて残し、空の表から始めます。\r\n  %s\r\n";
constexpr const char* kMsgStateNotMoved =
    "※表の記録の形式が違い、名前も変えられませんでした。表の記録は書き換えません。\r\n  %s\r\n";

std::string SetAsideName()
{
  return std::string("neocp_scan_state_読めなかった_") + FormatLocalNow("%Y%m%d_%H%M%S") + ".tsv";
}

} // namespace

int NeocpScanTable::LoadState(const std::string& folder, bool mayRename, std::string& log)
{
  const std::string path = folder + "/" + kScanStateName;
  if (!FileExists(path))
    return kScanStateNoFile;
  std::string text;
  if (!ReadUtf8File(path, text)) {
    log += FormatC(kMsgStateUnreadable, path.c_str());
    return kScanStateUnreadable;
  }
  std::vector<std::string> lines, header;
  SplitLines(text, lines);
  if (!lines.empty())
    SplitTabFields(lines[0], header);
  if (lines.empty() || header.size() < 2 || header[0] != "desig") {
    if (!mayRename)
      return kScanStateNotOurs;
    const std::string aside = folder + "/" + SetAsideName();
    if (std::rename(path.c_str(), aside.c_str()) != 0) {
      log += FormatC(kMsgStateNotMoved, path.c_str());
      return kScanStateNotOurs;
    }
    log += FormatC(kMsgStateSetAside, aside.c_str());
    return kScanStateSetAside;
  }
  int locals = 0;
  for (int i = 0; i < m_nRows; ++i)
    locals += m_pRows[i].list_state == kListLocalFile ? 1 : 0;
  NeocpScanRow* rows = NewScanRowArray(static_cast<int>(lines.size()) + locals);
  if (!rows)
    return kScanStateNoMemory;
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
  Replace(rows, count);
  return kScanStateRead;
}

bool NeocpScanTable::SaveState(const std::string& folder, std::string& error) const
{
  CreateFolder(folder);
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
  return WriteFileAtomic(folder + "/" + kScanStateName, std::string(kUtf8Bom) + text, &error);
}

int NeocpScanTable::SaveCsv(const std::string& folder, int local) const
{
  CreateFolder(folder);
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

// Row actions of the scan table: a double-click loads the row's object into
// the orbit-determination view, and the context menu's one command joins its
// observations with those of the known object the match found.
#include <algorithm>

#include "data/mpc_obs_client.h"
#include "determination/determination_display.h"
#include "neocp/batch_orbit.h"
#include "engine/determination_host.h"
#include "neocp/scan_dlg.h"
#include "neocp/scan_names.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"

namespace {

constexpr const char* kLoadCaption = "軌道計算の画面への読み込み";
constexpr const char* kLinkCaption = "連結軌道を計算";

} // namespace

int CNeocpScanDlg::FetchNeocpObservations(const std::string& desig, std::string& path, std::string& error)
{
  CreateFolder(m_strScanDir);
  path = m_strScanDir + "/" + MakeSafeFileName(desig) + ".obs";
  ScopedWaitCursor wait;
  return FetchObservations(desig, path, error);
}

std::string CNeocpScanDlg::RowActionObservationFile(const NeocpScanRow& row, const char* offListStatus)
{
  const std::string own = !row.obs_path.empty() ? row.obs_path : row.source_path;
  if (!own.empty() && FileExists(own))
    return own;
  if (row.list_state != kListOnNeocp) {
    SetStatusText(FormatC(offListStatus, row.desig.c_str()));
    return {};
  }
  SetStatusText(FormatC("%s: 観測を受信しています...", row.desig.c_str()));
  std::string path, error;
  if (FetchNeocpObservations(row.desig, path, error))
    return path;
  SetStatusText(FormatC("%s: 観測を受信できませんでした(%s)", row.desig.c_str(), ReplaceLineBreaksWithBlanks(error).c_str()));
  return {};
}

void CNeocpScanDlg::OnRowDoubleClick(int item)
{
  auto* view = dynamic_cast<CDeterminationDisplay*>(m_pView);
  if (item < 0 || item >= m_nRows || m_bRunning || m_bFetching || !view)
    return;
  const int r = m_pOrder[item];
  if (r < 0 || r >= m_nRows)
    return;
  const NeocpScanRow& row = m_pRows[r];
  const std::string file = RowActionObservationFile(
      row, "%s: 観測の記録が無いので読み込めません(NEOCPから外れた天体の観測は、もう受信できません)");
  if (file.empty())
    return;
  SetStatusText(FormatC("%s: 軌道計算の画面に読み込んでいます...", row.desig.c_str()));
  std::string message;
  int result;
  {
    ScopedWaitCursor wait;
    result = LoadScanObject(*view, file, row.best_path, message);
  }
  if (result < 0) {
    SetStatusText(result == -9 ? "中止しました。" : "読み込めませんでした。");
    if (!message.empty())
      Ui().ShowMessage(kLoadCaption, message, MsgIcon::Information, MsgButtons::Ok);
    return;
  }
  SetStatusText(FormatC(result == 0 ? "%s の観測と名目軌道を、軌道計算の画面に読み込みました"
                                    : "%s の観測を、軌道計算の画面に読み込みました(名目軌道の記録はありません)",
                        row.desig.c_str()));
  if (!message.empty())
    AppendLog(row.desig + ": " + ReplaceLineBreaksWithBlanks(message) + "\r\n");
  RaiseMainWindow();
}

bool CNeocpScanDlg::PrepareRowMenu(int row, std::string& label, bool& enabled)
{
  if (row < 0 || row >= m_nRows)
    return false;
  const int position = FindListItem(row);
  if (position >= 0)
    SelectListItem(position, false);
  const NeocpScanRow& r = m_pRows[row];
  label = FormatC("連結軌道を計算(&L)   %s + %s", r.desig.c_str(),
                  r.known_name.empty() ? "(候補なし)" : r.known_name.c_str());
  enabled = !m_bRunning && !r.known_name.empty();
  return true;
}

void CNeocpScanDlg::ComputeLinkedOrbit(int r)
{
  auto* view = dynamic_cast<CDeterminationDisplay*>(m_pView);
  if (m_bRunning || m_bFetching || !view || r < 0 || r >= m_nRows)
    return;
  const NeocpScanRow& row = m_pRows[r];
  if (row.known_name.empty() || row.known_desig.empty())
    return;
  CreateFolder(m_strScanDir);
  const std::string own = RowActionObservationFile(
      row, "%s: 観測の記録が無いので連結できません(NEOCPから外れた天体の観測は、もう受信できません)");
  if (own.empty())
    return;

  const std::string work = m_strScanDir + "/_work";
  CreateFolder(work);
  SetStatusText(FormatC("%s: 既知天体 %s の観測を受信しています...", row.desig.c_str(), row.known_name.c_str()));
  const std::string known = work + "/" + MakeSafeFileName(row.known_desig) + ".obs";
  std::string error, info;
  int fetched;
  {
    ScopedWaitCursor wait;
    fetched = CTessaruneLib::FetchMpcObservations(row.known_desig, known, &error, &info, 0, m_strServiceUrl);
  }
  if (!fetched) {
    const std::string text = FormatC("%s: %s の観測を受信できませんでした(%s)", row.desig.c_str(),
                                     row.known_name.c_str(), ReplaceLineBreaksWithBlanks(error).c_str());
    SetStatusText(text);
    AppendLog(text + "\r\n");
    return;
  }

  const std::string joined = m_strScanDir + "/" + MakeSafeFileName(row.desig + "+" + row.known_desig) + ".obs";
  int k = 0, n = 0, d = 0;
  if (!CTessaruneLib::MergeObservationFiles(known, own, joined, &k, &n, &d)) {
    const std::string text = FormatC("%s: 観測をまとめられませんでした(%s)", row.desig.c_str(), joined.c_str());
    SetStatusText(text);
    AppendLog(text + "\r\n");
    return;
  }
  std::string line = FormatC("%-8s 連結 %s (%s) + %s: 既知天体の観測%d個 ＋ この天体の観測%d個", row.desig.c_str(),
                             row.known_name.c_str(), row.known_desig.c_str(), row.desig.c_str(), k, n);
  if (d > 0)
    line += FormatC("(ほかの%d個は同じ観測が既知天体側にもあるので足していません。MPCが既に同定済み)", d);
  AppendLog(line + FormatC(" = %d個  →  %s\r\n", k + n, joined.c_str()));

  SetStatusText(FormatC("%s: まとめた観測を軌道計算の画面に読み込んでいます...", row.desig.c_str()));
  std::string message;
  int result;
  {
    ScopedWaitCursor wait;
    result = LoadScanObject(*view, joined, "", message);
  }
  if (result < 0) {
    SetStatusText(result == -9 ? "中止しました。" : "読み込めませんでした。");
    if (!message.empty())
      Ui().ShowMessage(kLinkCaption, message, MsgIcon::Information, MsgButtons::Ok);
    return;
  }
  SetStatusText(FormatC("%s と %s の観測 %d個を軌道計算の画面に読み込みました。[AI]か[自動]で解いて、"
                        "全部の観測に合う1つの軌道になるか確かめてください",
                        row.desig.c_str(), row.known_name.c_str(), k + n));
  if (!message.empty())
    AppendLog(row.desig + ": " + ReplaceLineBreaksWithBlanks(message) + "\r\n");
  RaiseMainWindow();
}

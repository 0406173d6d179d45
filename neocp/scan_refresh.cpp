// The list refresh and the fates of the objects that left the NEOCP: the
// table follows the MPC's lists from one run of the program to the next.
#include <cstdlib>
#include <map>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "data/http_download.h"
#include "engine/determination_host.h"
#include "engine/orbit_engine.h"
#include "neocp/mpc_lists.h"
#include "neocp/scan_csv.h"
#include "neocp/scan_files.h"
#include "neocp/scan_list_merge.h"
#include "neocp/scan_dlg.h"
#include "platform/app_services.h"
#include "platform/numbers.h"

namespace {

constexpr const char* kMpcHostKey = "MPCWEBHOST";
constexpr const char* kNeocpListSubject = "NEOCPの一覧";
constexpr const char* kPccpSubject = "PCCPの一覧";
constexpr const char* kPrevDesSubject = "NEOCPから外れた天体の一覧";
constexpr const char* kRefreshStoppedStatus = "NEOCPの一覧の受信を中止しました。前回までの表を出しています";

std::string FateLogLine(const NeocpScanRow& row)
{
  return FormatC("  %-8s %s %s  %s\r\n", row.desig.c_str(), GetScanStateText(row).c_str(), row.prov_des.c_str(),
                 row.fate.c_str());
}

// Follows an item that names another temporary designation, at most five
// steps; merged receives the last designation followed.
const PrevDesItem& FollowMerges(const std::map<std::string, PrevDesItem>& items, const PrevDesItem& first,
                                std::string& merged)
{
  const PrevDesItem* item = &first;
  for (int step = 0; step < 5; ++step) {
    if (!item->m_strPhrase.empty() || !IsTemporaryDesignation(item->m_strAssigned))
      break;
    const auto it = items.find(item->m_strAssigned);
    if (it == items.end())
      break;
    merged = item->m_strAssigned;
    item = &it->second;
  }
  return *item;
}

bool DesigOnList(const NeocpScanRow* rows, int count, int self, const std::string& desig)
{
  for (int i = 0; i < count; ++i)
    if (i != self && rows[i].list_state == kListOnNeocp && rows[i].desig == desig)
      return true;
  return false;
}

} // namespace

std::string CNeocpScanDlg::MpcWebHost() const
{
  std::string host = m_strMpcHost;
  if (host.empty())
    host = TheApp().GetProfileString(kSettingsSection, kMpcHostKey, kDefaultMpcWebHostUrl);
  if (host.empty())
    host = kDefaultMpcWebHostUrl;
  while (!host.empty() && host.back() == '/')
    host.pop_back();
  return host;
}

int CNeocpScanDlg::FetchMpcText(const char* path, const char* subject, std::string& body, std::string* error)
{
  body.clear();
  if (m_bFetchAbort) {  // 中止 ends the refresh, not just the text it arrived in
    if (error)
      *error = "中止しました。";
    return 0;
  }
  // The window keeps drawing while the server answers; its commands and the
  // program's other calculations wait (the engine counts as busy), and 中止
  // reaches a slow or silent server as it does the other downloads.
  OrbitEngine* engine = m_pView ? m_pView->m_pEngine : nullptr;
  const int wasBusy = engine ? engine->m_bScanRunning : 0;
  if (engine)
    engine->m_bScanRunning = 1;
  const int wasFetching = m_bFetching;
  m_bFetching = 1;
  UpdateControls();
  DownloadProgress progress;
  progress.setText = [this, subject](const std::string& text) {
    // HttpGetText's progress names the NEOCP list whatever it fetches.
    const std::string name = kNeocpListSubject;
    SetStatusText(text.compare(0, name.size(), name) == 0 ? subject + text.substr(name.size()) : text);
  };
  TransferControl control;
  control.progress = &progress;
  control.stop = [this] {
    if (DispatchPendingEvents(kScanPumpMaxEvents))  // the program is closing
      m_bFetchAbort = 1;
    return m_bFetchAbort != 0;
  };
  const int ok = HttpGetText(MpcWebHost() + path, body, error, nullptr, &control);
  m_bFetching = wasFetching;
  if (engine)
    engine->m_bScanRunning = wasBusy;
  UpdateControls();
  return ok;
}

void CNeocpScanDlg::RefreshList()
{
  if (m_bFetching)  // a refresh already waits for the server
    return;
  m_bFetchAbort = 0;
  SetStatusText(kScanStatusReceiving);
  std::string json, pccp, error;
  NeocpEntry* entries = nullptr;
  NeocpReceivedLists lists;
  {
    ScopedWaitCursor wait;
    if (FetchMpcText(kMpcNeocpJsonPath, kNeocpListSubject, json, &error))
      lists.count = ParseNeocpJson(json, &entries);
    if (FetchMpcText(kMpcPccpPath, kPccpSubject, pccp, nullptr)) {
      ParsePccpText(pccp, lists.pccpDesigs, &lists.pccpEntries);
      lists.pccpReceived = true;
    }
  }
  lists.entries = entries;
  if (m_bFetchAbort) {
    std::free(entries);
    SetStatusText(kRefreshStoppedStatus);
    UpdateControls();
    return;
  }
  if (lists.count <= 0) {
    SetStatusText(!error.empty()
                      ? FormatC("NEOCPの一覧を受信できませんでした(%s)。前回までの表を出しています", error.c_str())
                      : std::string("NEOCPの一覧が空でした(MPCの一時的な不調かもしれません)。前回までの表をそのまま出しています"));
    UpdateControls();
    return;
  }
  const bool merged = TakeReceivedLists(lists);
  std::free(entries);
  if (!merged)
    return;
  ResolveFates();
  RefillList();
  SaveState();
  SaveCsv(0);
  ReportRefresh();
}

bool CNeocpScanDlg::TakeReceivedLists(const NeocpReceivedLists& lists)
{
  int count = 0, added = 0;
  NeocpScanRow* rows = MergeReceivedLists(m_pRows, m_nRows, lists, count, added);
  if (!rows)
    return false;
  SetRows(rows, count);
  AppendLog(FormatC("―― 一覧を再取得 %s ――\r\n", FormatLocalNow("%Y/%m/%d %H:%M:%S").c_str()));
  const int p = static_cast<int>(lists.pccpEntries.size());
  if (!lists.pccpReceived) {
    AppendLog("  ※PCCP(彗星の疑いのある天体)の一覧を受信できませんでした。「PCCP」の印は前回のままです\r\n");
  } else if (p > 0) {
    std::string line = FormatC("  PCCP(彗星の疑いのある天体)に %d個が載っています", p);
    if (added > 0)
      line += FormatC("(うち %d個はNEOCPの一覧に無かったので表に足しました)", added);
    AppendLog(line + "\r\n");
  }
  return true;
}

void CNeocpScanDlg::ReportRefresh()
{
  const NeocpListCounts c = CountListStates(m_pRows, m_nRows);
  AppendLog(FormatC("  NEOCPに載っている天体 %d個(新規 %d・更新 %d)  外れた天体 %d個(仮符号が付いた %d・そのほか %d)%s\r\n",
                    c.onList, c.fresh, c.updated, c.gone, c.designated, c.gone - c.designated,
                    c.finished > 0 ? "  [パージ]で、話の終わった天体を表から外せます" : ""));
  SetStatusText(FormatC("NEOCPの天体 %d個(新規 %d・更新 %d)、外れた天体 %d個(-> %d)。"
                        "[すべて走査]は、NEOCPに載っている天体だけを調べます",
                        c.onList, c.fresh, c.updated, c.gone, c.designated));
  UpdateControls();
}

void CNeocpScanDlg::ResolveFates()
{
  if (!AnyRowWithListState({kListLeft, kListPccp, kListMerged}))
    return;
  SetStatusText("NEOCPから外れた天体の行き先を調べています...");
  std::string page, pccp;
  std::map<std::string, PrevDesItem> items;
  std::set<std::string> pccpDesigs;
  bool pccpReceived = false;
  {
    ScopedWaitCursor wait;
    if (FetchMpcText(kMpcPrevDesPath, kPrevDesSubject, page, nullptr))
      ParsePrevDesPage(page, items);
    if (FetchMpcText(kMpcPccpPath, kPccpSubject, pccp, nullptr)) {
      ParsePccpText(pccp, pccpDesigs, nullptr);
      pccpReceived = true;
    }
  }
  const bool pageReceived = !items.empty();
  if (!pageReceived)
    AppendLog("  ※MPCの「Previous NEO Confirmation Page Objects」を受信できなかった(または形式が変わった)ため、"
              "外れた天体に仮符号が付いたかどうかは、次に開いたときに調べます\r\n");
  if (!pccpReceived)
    AppendLog("  ※PCCPの一覧を受信できなかったため、PCCPへ移ったかどうかは、次に開いたときに調べます\r\n");

  for (int i = 0; i < m_nRows; ++i) {
    NeocpScanRow& row = m_pRows[i];
    if (row.list_state != kListLeft && row.list_state != kListPccp && row.list_state != kListMerged)
      continue;
    const std::string before = GetScanStateText(row) + '\t' + row.prov_des + '\t' + row.fate;
    bool changed = true;
    const auto found = pageReceived ? items.find(row.desig) : items.end();
    if (found != items.end()) {
      std::string merged;
      const PrevDesItem& item = FollowMerges(items, found->second, merged);
      std::string date = item.m_strDate;
      if (!item.m_strMpec.empty())
        date += "、" + item.m_strMpec;
      if (!merged.empty())
        date = merged + "としてまとめられたのち、" + date;
      row.prov_des.clear();
      row.prov_name.clear();
      row.fate_short.clear();
      if (!item.m_strPhrase.empty()) {
        row.list_state = kListRemoved;
        const NeocpFate* fate = FindNeocpFate(item.m_strPhrase);
        row.fate_short = fate ? fate->fateShort : "削除";
        row.fate = fate ? fate->fate : item.m_strPhrase;
        row.fate += " (" + item.m_strPhrase + "、" + date + ")";
      } else if (IsTemporaryDesignation(item.m_strAssigned)) {
        row.list_state = kListMerged;
        row.fate = item.m_strAssigned + " と同じ天体だった(" + date + ")";
        if (DesigOnList(m_pRows, m_nRows, i, item.m_strAssigned))
          row.fate += "。" + item.m_strAssigned + " はこの表にあります";
      } else {
        row.list_state = kListProvisional;
        row.prov_name = item.m_strAssigned;
        row.prov_des = ToPackedDesignation(item.m_strAssigned);
        row.fate = item.m_strAssigned + " (" + date + ")";
      }
    } else if (pccpReceived && pccpDesigs.count(row.desig)) {
      row.list_state = kListPccp;
      row.fate = "彗星の疑いでPCCPへ移った";
    } else if (pccpReceived && row.list_state == kListPccp) {
      row.list_state = kListLeft;
      row.fate = "PCCPからも外れた(行き先はまだ公表されていない)";
    } else {
      changed = false;
    }
    if (changed && GetScanStateText(row) + '\t' + row.prov_des + '\t' + row.fate != before)
      AppendLog(FateLogLine(row));
  }
}

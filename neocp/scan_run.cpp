#include "neocp/scan_run.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <new>
#include <set>
#include <string>

#include "astro/angle_units.h"
#include "data/mpc_obs_client.h"
#include "determination/determination_display.h"
#include "determination/solution_file.h"
#include "engine/orbit_engine.h"
#include "neocp/earth_screening.h"
#include "neocp/scan_dlg.h"
#include "neocp/scan_files.h"
#include "neocp/worker_pool.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/numbers.h"

namespace {

constexpr double kTjJupiterA = 5.2044;

std::string LowerAscii(std::string s)
{
  for (char& c : s)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string ListMethod(int mode)
{
  return mode == 1 ? "距離走査" : mode == 2 ? "距離走査+改良" : "AI+共分散";
}

std::string DistanceText(int impact, double distance)
{
  return impact ? std::string("衝突") : FormatLdCell(distance);
}

std::string CometaryTag(const NeocpScanRow& r)
{
  if (r.n_used < 1 || (r.status != kScanNominalOnly && r.status != kScanComplete) || !(r.arc_days >= 0.5) ||
      !(r.qdis > 0) || !(r.ecc < 1.1))
    return {};
  const double i = r.inc * 180 / kPi;
  if (r.ecc >= 1)
    return FormatC("  [彗星的軌道: 放物線に近い e=%.3f q=%.2fAU i=%.0f°]", r.ecc, r.qdis, i);
  const double a = r.qdis / (1 - r.ecc);
  const double tj = kTjJupiterA / a + 2 * std::cos(r.inc) * std::sqrt((1 - r.ecc * r.ecc) * a / kTjJupiterA);
  if (tj < 3)
    return FormatC("  [彗星的軌道: TJ=%.2f  q=%.2fAU e=%.3f i=%.0f°]", tj, r.qdis, r.ecc, i);
  return {};
}

std::string LocalTimeText()
{
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &tm);
  return text;
}

} // namespace

std::vector<std::string> UniqueScanBaseNames(const NeocpScanRow* rows, int count)
{
  std::vector<std::string> names;
  std::set<std::string> used;
  for (int i = 0; i < count; ++i) {
    const std::string base = MakeSafeFileName(rows[i].desig);
    std::string name = base;
    for (int k = 2; used.count(LowerAscii(name)); ++k)
      name = base + FormatC("(%d)", k);
    used.insert(LowerAscii(name));
    names.push_back(name);
  }
  return names;
}

std::string LocalFileDesignation(const std::string& path)
{
  const size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot != 0)
    name.erase(dot);
  return name;
}

std::string FormatRowResultLine(const NeocpScanRow& r)
{
  std::string line;
  const char* desig = r.desig.c_str();
  if (r.status == kScanComplete) {
    line = FormatC("%-8s %s 観測%3d 弧%6.2f日 残差%5.2f\"  名目 %s LD (%s)  最小 %s LD (%s)  衝突 %d/%d (確率 %s)%s  %s\r\n",
                   desig, ListMethod(r.mode).c_str(), r.n_obs, r.arc_days, r.rms,
                   DistanceText(r.nom_impact, r.nom_dist).c_str(), FormatJdCell(r.nom_jd).c_str(),
                   DistanceText(r.clo_impact, r.clo_dist).c_str(), FormatJdCell(r.clo_jd).c_str(), r.n_impact,
                   r.n_valid, FormatImpactPercent(r.imp_prob).c_str(), r.lov_mode ? "  [LOV]" : "", r.note.c_str());
  } else if (r.status == kScanNominalOnly) {
    line = FormatC("%-8s 観測%3d 弧%6.2f日 残差%5.2f\"  名目 %s LD (%s)  %s\r\n", desig, r.n_obs, r.arc_days, r.rms,
                   DistanceText(r.nom_impact, r.nom_dist).c_str(), FormatJdCell(r.nom_jd).c_str(), r.note.c_str());
  } else {
    line = FormatC("%-8s %s  %s\r\n", desig, GetScanStatusName(r.status).c_str(), r.note.c_str());
  }
  const std::string tag = CometaryTag(r);
  if (!tag.empty()) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
      line.pop_back();
    line += tag + "\r\n";
  }
  return line;
}

std::string FormatNominalNote(const NeocpScanRow& r)
{
  const char* method = r.mode == 0   ? "[AI軌道改良]の解"
                       : r.mode == 1 ? "距離走査のいちばん合う標本"
                                     : "距離走査で見つけて微分改良で仕上げた解";
  return FormatC("NEOCPの一括走査: %s の名目軌道(観測にいちばん合う軌道。%s)  平均残差 %.3f\"  採用 %d観測",
                 r.desig.c_str(), method, r.rms, r.n_used);
}

ScanRunCounts CountScanOutcome(const NeocpScanRow* rows, const std::vector<int>& jobs)
{
  ScanRunCounts c;
  for (int j : jobs) {
    const NeocpScanRow& r = rows[j];
    if (r.status != kScanNominalOnly && r.status != kScanComplete)
      continue;
    if (r.n_impact >= 1 || r.nom_impact == 1)
      ++c.impacting;
    else if ((r.n_valid >= 1 ? r.clo_dist : r.nom_dist) < kLunarDistanceAu)
      ++c.insideMoon;
  }
  return c;
}

// ---- the dialog's scan run ----

std::string CNeocpScanDlg::RowFolder(int row) const
{
  return m_pRows[row].list_state == kListLocalFile ? m_strFileDir : m_strScanDir;
}

std::string CNeocpScanDlg::RowBaseName(int row) const
{
  if (!m_strWorkerBase.empty())
    return m_strWorkerBase;
  return UniqueScanBaseNames(m_pRows, row + 1)[static_cast<size_t>(row)];
}

int CNeocpScanDlg::FetchObservations(const std::string& desig, const std::string& path, std::string& error)
{
  std::string info;
  return CTessaruneLib::FetchMpcObservations(desig, path, &error, &info, 1, m_strServiceUrl);
}

void CNeocpScanDlg::SelectListItem(int position, bool center)
{
  if (std::find(m_selection.begin(), m_selection.end(), position) == m_selection.end())
    m_selection.push_back(position);
  if (center)
    m_nCenteredPosition = position;
}

void CNeocpScanDlg::DispatchIdleEvents()
{
  if (DispatchPendingEvents(kScanPumpMaxEvents))
    m_bAbort = 1;
}

void CNeocpScanDlg::OnScanAll()
{
  StartScan(0, 0);
}

void CNeocpScanDlg::OnScanSelected()
{
  StartScan(1, 0);
}

void CNeocpScanDlg::OnScanFiles()
{
  if (m_bRunning)
    return;
  std::vector<std::string> files;
  if (ChooseObservationFiles(files) && !files.empty())
    ScanFileList(files);
}

void CNeocpScanDlg::ScanFileList(const std::vector<std::string>& files)
{
  if (files.empty() || m_bRunning)
    return;
  const int total = m_nRows + static_cast<int>(files.size());
  NeocpScanRow* rows = NewScanRowArray(total);
  int* order = new (std::nothrow) int[static_cast<size_t>(total)];
  if (!rows || !order) {
    DeleteScanRowArray(rows);
    delete[] order;
    return;
  }
  for (int i = 0; i < m_nRows; ++i) {
    CopyScanRow(rows[i], m_pRows[i]);
    order[i] = m_pOrder[i];
  }
  for (size_t k = 0; k < files.size(); ++k) {
    const int i = m_nRows + static_cast<int>(k);
    ResetScanRow(rows[i], 0);
    rows[i].desig = LocalFileDesignation(files[k]);
    rows[i].source_path = files[k];
    rows[i].list_state = kListLocalFile;
    order[i] = i;
  }
  const int first = m_nRows;
  DeleteScanRowArray(m_pRows);
  delete[] m_pOrder;
  m_pRows = rows;
  m_pOrder = order;
  m_nRows = total;
  RefillList();
  std::vector<int> selected;
  for (int position = 0; position < m_nRows; ++position)
    if (m_pOrder[position] >= first)
      selected.push_back(position);
  SelectListPositions(selected);
  StartScan(1, 0);
}

bool CNeocpScanDlg::RefuseScan(const std::string& text)
{
  if (m_bCommandLineRun) {
    // Nobody is there to answer a box: the log and the exit code say it.
    AppendLog(text + "\r\n");
    SetStatusText(text);
    TheApp().m_nExitCode = 3;
  } else {
    ShowScanMessage(text);
  }
  return false;
}

void CNeocpScanDlg::StartScan(int selectedOnly, int maxCount)
{
  if (m_bRunning || !m_pView || m_nRows < 1)
    return;
  const OrbitEngine* engine = m_pView->m_pEngine;
  if (engine && (engine->m_bBusy || engine->m_bAutoRunning)) {
    RefuseScan("軌道計算の画面でほかの計算を実行中です。終わってからもう一度お試しください。");
    return;
  }
  ReadScanSettings();
  m_nActiveTimeLimit = m_settings.m_nTimeLimit;

  const std::vector<int> selectedPositions = SelectedListPositions();
  const std::set<int> selected(selectedPositions.begin(), selectedPositions.end());
  std::vector<int> jobs;
  int gone = 0, local = 0;
  for (int position = 0; position < m_nRows; ++position) {
    if (selectedOnly == 1 && !selected.count(position))
      continue;
    const int row = m_pOrder[position];
    const int state = m_pRows[row].list_state;
    if (state != kListOnNeocp && state != kListLocalFile) {
      ++gone;
      continue;
    }
    if (state == kListLocalFile && selectedOnly == 0)
      continue;
    if (maxCount > 0 && static_cast<int>(jobs.size()) >= maxCount)
      break;
    jobs.push_back(row);
    if (state == kListLocalFile)
      ++local;
  }
  if (jobs.empty()) {
    if (gone > 0)
      SetStatusText("選んだ天体はNEOCPから外れているので走査しません(前に調べた結果はそのまま残します)");
    return;
  }
  CreateFolder(m_strScanDir);
  if (local > 0)
    CreateFolder(m_strFileDir);
  if (!FolderExists(m_strScanDir) || (local > 0 && !FolderExists(m_strFileDir))) {
    RefuseScan("記録を保存するフォルダーを作れませんでした。\r\n" + m_strScanDir);
    return;
  }
  if (!HoldScanFolder()) {
    RefuseScan("この記録のフォルダーは、別に起動しているもう一つの本プログラムが使っているので、走査できません。\r\n" +
               m_strScanDir);
    return;
  }
  TakeLeftWorkerResults();
  for (int i = 0; i < m_nRows; ++i)
    m_pRows[i].just_scanned = 0;
  RefillList();
  const int rememberRow = selectedOnly == 1 && selected.size() == 1 && jobs.size() == 1 ? jobs[0] : -1;

  const int n = static_cast<int>(jobs.size());
  BeginScanRun();
  SetProgressRange(n);
  SetProgressPos(0);
  AppendLog(FormatC("―― 走査を開始 %s  %d天体  クローン%d個  期間: 最初の観測の%g日前〜最後の観測の%g日後  系統誤差%s ――\r\n"
                    "記録: %s\r\n",
                    LocalTimeText().c_str(), n, m_settings.m_nClones, m_settings.m_dDaysBefore,
                    m_settings.m_dDaysAfter, m_settings.m_bSysError ? "を見込む" : "は見込まない",
                    (local == n ? m_strFileDir : m_strScanDir).c_str()));
  const int parallel = std::min(m_settings.m_nParallel, n);
  if (m_settings.m_nParallel >= 2 && n >= 2)
    AppendLog(FormatC("  同時に%d個ずつ計算します(記録の欄には、計算の終わった順に出ます)\r\n", parallel));
  if (gone > 0)
    AppendLog(FormatC("  NEOCPから外れた天体 %d個は走査しません(仮符号が付いたものなど。前に調べた結果はそのまま残します)\r\n",
                      gone));

  const uint32_t start = NowMs();
  int done = 0;
  if (m_settings.m_nParallel >= 2 && n >= 2) {
    done = RunWorkerPool(*this, jobs.data(), n, selectedOnly, parallel);
  } else {
    for (int row : jobs) {
      if (m_bAbort)
        break;
      if (selectedOnly == 1)
        m_pRows[row].just_scanned = 1;
      ScanOneObject(row);
      SetProgressPos(++done);
      if (m_pRows[row].list_state == kListLocalFile) {
        SaveCsv(1);
      } else {
        SaveCsv(0);
        SaveState();
      }
      PumpMessages();
    }
  }
  EndScanRun();
  // The user's next calculation must not start cancelled.
  if (m_pView->m_pEngine)
    m_pView->m_pEngine->m_nCancel = 0;
  FinishScan(jobs, done, selectedOnly, rememberRow, start);
}

void CNeocpScanDlg::FinishScan(const std::vector<int>& jobs, int done, int selectedOnly, int rememberRow,
                               uint32_t startMs)
{
  const ScanRunCounts counts = CountScanOutcome(m_pRows, jobs);
  AppendLog(FormatC("―― 走査を%s  %d/%d天体  所要 %.0f秒  衝突するクローンのある天体 %d個 / 月より内側まで近づきうる天体 %d個 ――\r\n",
                    m_bAbort ? "中止" : "終了", done, static_cast<int>(jobs.size()), (NowMs() - startMs) / 1000.0,
                    counts.impacting, counts.insideMoon));
  if (m_bAbort)
    SetStatusText("中止しました。");
  else if (selectedOnly == 1)
    SetStatusText("終了しました。いちばん近づくものが上に来るように並べ替えてあります。いま調べた天体は文字を青くしてあります");
  else
    SetStatusText("終了しました。いちばん近づくものが上に来るように並べ替えてあります。行を選ぶと地心軌道を表示できます");
  if (m_nRows >= 1) {
    m_nSortColumn = -1;
    OnColumnClick(10);
  }
  const int position = rememberRow >= 0 ? FindListItem(rememberRow) : -1;
  if (position >= 0)
    SelectListItem(position, true);
  else if (m_nRows > 0)
    SelectListItem(0, false);
  UpdateControls();
}

bool CNeocpScanDlg::KeepPreviousResult(int row, const NeocpScanRow& before)
{
  NeocpScanRow& r = m_pRows[row];
  if (before.status < kScanUnreadable || before.status > kScanComplete) {
    UpdateRow(row);
    return false;
  }
  // A skipped or failed rescan does not wipe out the last orbit and its files.
  const std::string what = FormatC("%-8s %s  %s  前に調べた結果はそのまま残します\r\n", r.desig.c_str(),
                                   GetScanStatusName(r.status).c_str(), r.note.c_str());
  CopyScanRow(r, before);
  m_bKeptPrevious = 1;
  UpdateRow(row);
  AppendLog(what);
  return false;
}

bool CNeocpScanDlg::PrepareObservations(int row, std::string& obsPath)
{
  m_bKeptPrevious = 0;
  NeocpScanRow& r = m_pRows[row];
  NeocpScanRow before;
  CopyScanRow(before, r);
  const bool computed = BeginRowScan(r, m_settings);
  UpdateRow(row);
  const int position = FindListItem(row);
  if (position >= 0)
    EnsureListItemVisible(position);
  if (!computed)
    return KeepPreviousResult(row, before);
  if (!r.source_path.empty()) {
    obsPath = r.source_path;
    return true;
  }
  obsPath = RowFolder(row) + "/" + RowBaseName(row) + ".obs";
  SetStatusText(FormatC("%s: 観測を受信しています...", r.desig.c_str()));
  std::string error;
  if (!FetchObservations(r.desig, obsPath, error)) {
    r.status = kScanNoObservations;
    size_t at;
    while ((at = error.find("\r\n")) != std::string::npos)
      error.replace(at, 2, " ");
    r.note = error;
    return KeepPreviousResult(row, before);
  }
  return true;
}

void CNeocpScanDlg::ScanOneObject(int row)
{
  StartObjectClock();
  NeocpScanRow& r = m_pRows[row];
  std::string obsPath;
  if (PrepareObservations(row, obsPath))
    ScanObject(m_settings, {obsPath, RowFolder(row) + "/" + RowBaseName(row)}, r, *this);
  else if (!m_bKeptPrevious)
    EndRowScan(r, ObjectSeconds(), m_nActiveTimeLimit);
  if (m_bKeptPrevious || r.status == kScanSkipped)
    return;
  UpdateRow(row);
  LogRowResult(r);
}

void CNeocpScanDlg::LogRowResult(const NeocpScanRow& row)
{
  AppendLog(FormatRowResultLine(row));
}

// ---- the refetch: what a run of the dialog does ----

void CNeocpScanDlg::OnRefetch()
{
  if (m_bRunning)
    return;
  CTessaruneApp& app = TheApp();
  if (app.IsWorker()) {
    RunWorkerJob(*this, app.m_strNeocpWorker);
    PostCloseMainWindow();
    return;
  }
  if (!app.m_astrNeocpFiles.empty()) {
    const std::vector<std::string> files = std::move(app.m_astrNeocpFiles);
    app.m_astrNeocpFiles.clear();
    app.m_nNeocpScan = 0;
    SetStatusText("");
    m_bCommandLineRun = 1;
    ScanFileList(files);
    m_bCommandLineRun = 0;
    if (app.m_bNeocpExit)
      PostCloseMainWindow();
    return;
  }
  if (!m_bStateLoaded)
    LoadState();
  else
    TakeLeftWorkerResults();
  RefreshList();
  if (app.m_nNeocpScan != 0) {
    const int n = app.m_nNeocpScan;
    app.m_nNeocpScan = 0;
    m_bCommandLineRun = 1;
    StartScan(0, n > 0 ? n : 0);
    m_bCommandLineRun = 0;
    if (app.m_bNeocpExit)
      PostCloseMainWindow();
  }
  UpdateControls();
}

#include "neocp/scan_dlg.h"

#include <sched.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <new>

#include "engine/determination_host.h"
#include "engine/orbit_engine.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/text_util.h"
#include "platform/ui_services.h"

namespace {

constexpr int kMaxParallel = 60;

// Decimal integer of an edit: its leading number, 0 when there is none.
int EditInt(const std::string& text)
{
  const double v = StringToDouble(text);
  if (!std::isfinite(v))
    return 0;
  return static_cast<int>(std::clamp(v, -2147483648.0, 2147483647.0));
}

// A double of an edit: negative or not a number gives 0.
double EditDouble(const std::string& text)
{
  const double v = StringToDouble(text);
  return std::isfinite(v) && v > 0 ? v : 0;
}

} // namespace

int ScanProcessorCount()
{
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0)
    return 1;
  return std::max(1, CPU_COUNT(&set));
}

int DefaultScanParallel(int processors, int commandLine)
{
  const int count = commandLine >= 1 ? commandLine : std::max(1, processors) - 2;
  return std::clamp(count, 1, kMaxParallel);
}

std::string ScanFolderFor(const std::string& obsFolder, const std::string& dataDir)
{
  std::string dir = obsFolder.empty() ? dataDir : obsFolder;
  while (!dir.empty() && (dir.back() == '/' || dir.back() == '\\'))
    dir.pop_back();
  return dir + "/" + kScanFolderName;
}

CNeocpScanDlg::CNeocpScanDlg(CDetermination* view) : m_pView(view)
{
  m_settings.m_nParallel = 1;
}

CNeocpScanDlg::~CNeocpScanDlg()
{
  if (m_pView) {
    if (m_bRunning && m_pView->m_pEngine)
      m_pView->m_pEngine->m_bScanRunning = 0;
    if (m_pView->m_pNeocpScanDlg == this)
      m_pView->m_pNeocpScanDlg = nullptr;
  }
}

// ---- controls ----


void CNeocpScanDlg::SetStatusText(const std::string& text)
{
  SetItemText(kIdScanStatus, text);
}

void CNeocpScanDlg::AppendLog(const std::string& text)
{
  // A full log takes what still fits, as a limited edit does.
  const size_t room = kScanLogLimitChars - std::min(m_nLogChars, kScanLogLimitChars);
  const size_t chars = Utf8Length(text);
  const std::string part = chars <= room ? text : std::string(Utf8Prefix(text, room));
  if (part.empty())
    return;
  m_nLogChars += std::min(chars, room);
  InsertLogText(part);
}

// ---- pump, clock, timer ----

uint32_t CNeocpScanDlg::NowMs()
{
  return (m_pClock ? *m_pClock : SystemEngineClock()).TickMs();
}

bool CNeocpScanDlg::DispatchPendingEvents(int max)
{
  for (int i = 0; i < max && Ui().PumpOneEvent(); ++i) {
  }
  return false;
}

void CNeocpScanDlg::CheckTimeLimit()
{
  if (!m_bRunning || m_bTimedOut)
    return;
  if (m_nActiveTimeLimit > 0 &&
      (NowMs() - m_dwObjectStart) / 1000u >= static_cast<uint32_t>(m_nActiveTimeLimit))
    m_bTimedOut = 1;
}

int CNeocpScanDlg::PumpMessages()
{
  if (DispatchPendingEvents(kScanPumpMaxEvents))
    m_bAbort = 1;
  CheckTimeLimit();
  return m_bAbort ? 1 : m_bTimedOut ? 2 : 0;
}

void CNeocpScanDlg::StartObjectClock()
{
  m_dwObjectStart = NowMs();
  m_bTimedOut = 0;
}

void CNeocpScanDlg::BeginScanRun()
{
  m_bRunning = 1;
  m_bAbort = 0;
  m_bTimedOut = 0;
  m_nActiveTimeLimit = m_settings.m_nTimeLimit;
  if (m_pView && m_pView->m_pEngine)
    m_pView->m_pEngine->m_bScanRunning = 1;
  if (!TheApp().IsWorker())
    LockApplication();
  StartScanTimer();
  UpdateControls();
}

void CNeocpScanDlg::EndScanRun()
{
  StopScanTimer();
  UnlockApplication();
  if (m_pView && m_pView->m_pEngine)
    m_pView->m_pEngine->m_bScanRunning = 0;
  m_bRunning = 0;
  UpdateControls();
}

void CNeocpScanDlg::OnTimer()
{
  if (!m_bRunning || !m_pView)
    return;
  CheckTimeLimit();
  if ((m_bTimedOut || m_bAbort) && m_pView->m_pEngine)
    m_pView->m_pEngine->m_nCancel = 1;
}

// ---- commands ----

void CNeocpScanDlg::OnAbort()
{
  if (m_bFetching) {
    m_bFetchAbort = 1;
    return;
  }
  if (!m_bRunning)
    return;
  m_bAbort = 1;
  if (m_pView && m_pView->m_pEngine)
    m_pView->m_pEngine->m_nCancel = 1;
  SetStatusText(kScanStatusAborting);
}

void CNeocpScanDlg::OnCancel()
{
  // Esc and the close box stop a fetch or a scan as 中止 does; the window
  // closes only when nothing is in progress.
  if (m_bRunning || m_bFetching)
    OnAbort();
  else
    CloseWindow();
}

void CNeocpScanDlg::OnItemChanged()
{
  if (!m_bRunning && !m_bFetching)
    UpdateControls();
}

void CNeocpScanDlg::OnOpenFolder()
{
  std::string folder = m_strScanDir;
  const int row = GetSelectedRow();
  if (row >= 0 && m_pRows[row].list_state == kListLocalFile && FolderExists(m_strFileDir))
    folder = m_strFileDir;
  if (FolderExists(folder))
    OpenFolder(folder);
}

bool CNeocpScanDlg::AnyRowWithListState(std::initializer_list<int> states) const
{
  for (int i = 0; i < m_nRows; ++i)
    if (std::find(states.begin(), states.end(), m_pRows[i].list_state) != states.end())
      return true;
  return false;
}

void CNeocpScanDlg::UpdateControls()
{
  const bool idle = !m_bRunning && !m_bFetching;
  for (int id : {kIdScanRefetch, kIdScanAll, kIdScanSelected, kIdScanFiles, kIdScanClones, kIdScanDaysBefore,
                 kIdScanDaysAfter, kIdScanMinObs, kIdScanMinArc, kIdScanTimeLimit, kIdScanSysError,
                 kIdScanParallel, kIdScanMatchKnown, kIdScanSearchByOrbit, kIdScanOpenFolder})
    EnableItem(id, idle);
  EnableItem(kIdScanAbort, m_bRunning || m_bFetching);
  EnableItem(kIdScanPurge, false);
  if (idle) {
    EnableItem(kIdScanAll, AnyRowWithListState({kListOnNeocp}));
    EnableItem(kIdScanSelected, !SelectedListPositions().empty());
    EnableItem(kIdScanOpenFolder, FolderExists(m_strScanDir));
    EnableItem(kIdScanPurge, AnyRowWithListState({kListProvisional, kListRemoved, kListMerged}));
    EnableItem(kIdScanMatchKnown, m_nRows > 0);
  }
  const int row = idle ? GetSelectedRow() : -1;
  EnableItem(kIdScanShowNominal, row >= 0 && !m_pRows[row].best_path.empty());
  EnableItem(kIdScanShowClosest, row >= 0 && !m_pRows[row].closest_path.empty());
  EnableItem(kIdScanShowClones, row >= 0 && !m_pRows[row].clones_path.empty());
}

void CNeocpScanDlg::ReadScanSettings()
{
  NeocpScanSettings& s = m_settings;
  s.m_nClones = std::clamp(EditInt(GetItemText(kIdScanClones)), 0, 100000);
  s.m_dDaysBefore = std::min(EditDouble(GetItemText(kIdScanDaysBefore)), 36525.0);
  s.m_dDaysAfter = std::min(EditDouble(GetItemText(kIdScanDaysAfter)), 36525.0);
  s.m_nMinObs = std::max(EditInt(GetItemText(kIdScanMinObs)), 3);
  s.m_dMinArc = EditDouble(GetItemText(kIdScanMinArc));
  s.m_bSysError = IsChecked(kIdScanSysError) ? 1 : 0;
  s.m_nTimeLimit = std::max(EditInt(GetItemText(kIdScanTimeLimit)), 0);
  s.m_nParallel = std::clamp(EditInt(GetItemText(kIdScanParallel)), 1, kMaxParallel);
}

void CNeocpScanDlg::InitScanDialog(int processors)
{
  const CTessaruneApp& app = TheApp();
  m_strScanDir = ScanFolderFor(app.m_szObsFolder, app.m_szDataDir);
  m_strFileDir = m_strScanDir + "/" + kScanFileFolderName;
  SetItemText(kIdScanClones, "200");
  SetItemText(kIdScanDaysBefore, "30");
  SetItemText(kIdScanDaysAfter, "60");
  SetItemText(kIdScanMinObs, "3");
  SetItemText(kIdScanMinArc, "0");
  SetItemText(kIdScanTimeLimit, "300");
  SetCheck(kIdScanSysError, 1);
  const int p = std::max(1, processors);
  SetItemText(kIdScanParallel, FormatC("%d", DefaultScanParallel(p, app.m_nNeocpParallel)));
  SetItemText(kIdScanCpuLabel, FormatC("個 (CPUは%dスレッド。1で1つずつ)", p));
  ReadScanSettings();
  UpdateControls();
  AppendLog(kScanIntroduction);
  SetStatusText(kScanStatusReceiving);
}

// ---- the table ----

void CNeocpScanDlg::SetRows(NeocpScanRow* rows, int count)
{
  m_table.Replace(rows, count);
  RefillList();
}

void CNeocpScanDlg::RefillList()
{
  ShowListItems();
}

void CNeocpScanDlg::UpdateRow(int row)
{
  if (row < 0 || row >= m_nRows)
    return;
  const int position = FindListItem(row);
  if (position >= 0)
    ShowListRow(position);
}

int CNeocpScanDlg::FindListItem(int row) const
{
  return m_table.PositionOf(row);
}

int CNeocpScanDlg::GetSelectedRow()
{
  const std::vector<int> selected = SelectedListPositions();
  if (selected.size() != 1 || selected[0] < 0 || selected[0] >= m_nRows)
    return -1;
  return m_pOrder[selected[0]];
}

void CNeocpScanDlg::OnColumnClick(int column)
{
  if (m_bRunning || m_bFetching || column < 0 || column >= kScanListColumns)
    return;
  const int ascending = column != m_nSortColumn ? 1 : !m_bSortAscending;
  if (m_nRows >= 1) {
    m_table.SortBy(column, ascending);
    RefillList();
  }
  UpdateControls();
}

#include "neocp/ui/neocp_scan_wnd.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/display.h>
#include <wx/evtloop.h>
#include <wx/gauge.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "app/main_frame.h"
#include "app/scan_lock.h"
#include "app/tessarune_wx_app.h"
#include "data/ui/window_routines.h"
#include "determination/ui/wx_control_window.h"
#include "engine/determination_host.h"
#include "engine/orbit_engine.h"
#include "neocp/ui/scan_list_ctrl.h"
#include "platform/app_services.h"
#include "platform/wx/wx_controls.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_resource_ids.h"

namespace {

// What a control does when the dialog grows beyond its first size.
struct LayoutRule {
  int id;
  int moveX, moveY, growX, growY;
};
constexpr LayoutRule kScanLayoutTable[] = {
    {kIdScanStatus, 0, 0, 1, 0},      {kIdScanPurge, 1, 0, 0, 0},       {kIdScanRefetch, 1, 0, 0, 0},
    {kIdScanList, 0, 0, 1, 1},        {kIdScanLog, 0, 1, 1, 0},         {kIdScanShowNominal, 0, 1, 0, 0},
    {kIdScanShowClosest, 0, 1, 0, 0}, {kIdScanOpenFolder, 0, 1, 0, 0},  {kIdScanShowClones, 0, 1, 0, 0},
    {kIdScanClose, 1, 1, 0, 0},
};

// The id of a control in the window: the close button is the dialog's cancel.
int WidgetId(int id)
{
  return id == kIdScanClose ? wxID_CANCEL : id;
}

// The active loop was asked to end (the application is quitting).
class LoopExitPeek : public wxEventLoopBase {
public:
  static bool Exiting(const wxEventLoopBase* loop) { return loop->*(&LoopExitPeek::m_shouldExit); }
};

} // namespace

CNeocpScanWnd::CNeocpScanWnd(wxWindow* parent, CDetermination* view)
    : wxDialog(parent, IDD, ToWx(kScanDialogTitle), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxRESIZE_BORDER | wxCLOSE_BOX),
      CNeocpScanDlg(view)
{
  m_timer.SetOwner(this);
  CreateControls();
  BindEvents();
  OnInitDialog();
}

CNeocpScanWnd::~CNeocpScanWnd()
{
  m_timer.Stop();
  if (m_bLocked)
    UnlockAppAfterScan();
}

void CNeocpScanWnd::CreateControls()
{
  auto add = [this](int id, wxWindow* w) {
    m_controls[id] = w;
    return w;
  };
  auto label = [this](const char* text) { return new wxStaticText(this, wxID_ANY, ToWx(text)); };
  auto button = [this, add](int id, const char* text) {
    return add(id, new wxButton(this, WidgetId(id), ToWx(text)));
  };
  auto edit = [this, add](int id, int width) {
    return add(id, new wxTextCtrl(this, id, wxString(), wxDefaultPosition, wxSize(width, -1)));
  };
  const int flags = wxALIGN_CENTER_VERTICAL | wxRIGHT;

  auto* top = new wxBoxSizer(wxHORIZONTAL);
  top->Add(add(kIdScanStatus, new wxStaticText(this, kIdScanStatus, wxString(), wxDefaultPosition, wxDefaultSize,
                                               wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END)),
           1, flags, 8);
  top->Add(button(kIdScanPurge, "パージ(&P)"), 0, flags, 4);
  top->Add(button(kIdScanRefetch, "一覧を再取得(&R)"), 0, wxALIGN_CENTER_VERTICAL);

  auto* period = new wxBoxSizer(wxHORIZONTAL);
  period->Add(label("クローン数"), 0, flags, 4);
  period->Add(edit(kIdScanClones, 60), 0, flags, 12);
  period->Add(label("調べる期間: 最初の観測の"), 0, flags, 4);
  period->Add(edit(kIdScanDaysBefore, 60), 0, flags, 4);
  period->Add(label("日前 ～ 最後の観測の"), 0, flags, 4);
  period->Add(edit(kIdScanDaysAfter, 60), 0, flags, 4);
  period->Add(label("日後"), 0, wxALIGN_CENTER_VERTICAL);

  auto* limits = new wxBoxSizer(wxHORIZONTAL);
  limits->Add(label("観測"), 0, flags, 4);
  limits->Add(edit(kIdScanMinObs, 50), 0, flags, 4);
  limits->Add(label("個未満・弧"), 0, flags, 4);
  limits->Add(edit(kIdScanMinArc, 50), 0, flags, 4);
  limits->Add(label("日未満は飛ばす"), 0, flags, 16);
  limits->Add(label("1天体の制限"), 0, flags, 4);
  limits->Add(edit(kIdScanTimeLimit, 60), 0, flags, 4);
  limits->Add(label("秒"), 0, wxALIGN_CENTER_VERTICAL);

  auto* run = new wxBoxSizer(wxHORIZONTAL);
  run->Add(button(kIdScanFiles, "観測ファイルを走査(&O)..."), 0, flags, 4);
  run->Add(button(kIdScanAll, "すべて走査(&A)"), 0, flags, 4);
  run->Add(button(kIdScanSelected, "選んだ天体を走査(&S)"), 0, flags, 4);
  run->Add(button(kIdScanAbort, "中止(&X)"), 0, flags, 8);
  run->Add(add(kIdScanProgress, new wxGauge(this, kIdScanProgress, 100, wxDefaultPosition, wxSize(200, 16))), 1,
           wxALIGN_CENTER_VERTICAL);

  auto* parallel = new wxBoxSizer(wxHORIZONTAL);
  parallel->Add(label("同時に計算する天体の数"), 0, flags, 4);
  parallel->Add(edit(kIdScanParallel, 50), 0, flags, 4);
  parallel->Add(add(kIdScanCpuLabel, new wxStaticText(this, kIdScanCpuLabel, wxString())), 0, flags, 16);
  parallel->AddStretchSpacer();
  parallel->Add(button(kIdScanSearchByOrbit, "軌道計算画面の軌道で探す(&I)"), 0, flags, 4);
  parallel->Add(button(kIdScanMatchKnown, "既知の天体と照合(&K)"), 0, wxALIGN_CENTER_VERTICAL);

  m_pList = new CScanListCtrl(this, kIdScanList, this);
  m_controls[kIdScanList] = m_pList;
  m_pLog = new wxTextCtrl(this, kIdScanLog, wxString(), wxDefaultPosition, wxSize(-1, 110),
                          wxTE_MULTILINE | wxTE_READONLY);
  m_controls[kIdScanLog] = m_pLog;

  auto* bottom = new wxBoxSizer(wxHORIZONTAL);
  bottom->Add(button(kIdScanShowNominal, "名目軌道の地心軌道を表示(&B)"), 0, flags, 4);
  bottom->Add(button(kIdScanShowClosest, "いちばん近づくクローンの地心軌道を表示(&C)"), 0, flags, 4);
  bottom->Add(button(kIdScanOpenFolder, "記録のフォルダーを開く(&F)"), 0, flags, 4);
  bottom->Add(button(kIdScanShowClones, "地球儀にクローンを表示(&G)"), 0, flags, 4);
  bottom->AddStretchSpacer();
  bottom->Add(button(kIdScanClose, "閉じる"), 0, wxALIGN_CENTER_VERTICAL);

  auto* box = new wxBoxSizer(wxVERTICAL);
  box->Add(top, 0, wxEXPAND | wxALL, 6);
  box->Add(period, 0, wxLEFT | wxRIGHT | wxBOTTOM, 6);
  box->Add(limits, 0, wxLEFT | wxRIGHT | wxBOTTOM, 6);
  box->Add(add(kIdScanSysError, new wxCheckBox(this, kIdScanSysError,
                                               ToWx("観測の系統誤差(0.5″)をクローンの散らばりに見込む"))),
           0, wxLEFT | wxRIGHT | wxBOTTOM, 6);
  box->Add(run, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 6);
  box->Add(parallel, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 6);
  box->Add(m_pList, 1, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 6);
  box->Add(m_pLog, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 6);
  box->Add(bottom, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 6);

  // The engine's messages go to a hidden text window.
  m_pEngineText = new wxTextCtrl(this, wxID_ANY, wxString(), wxPoint(0, 0), wxSize(10, 10), wxTE_MULTILINE);
  m_pEngineText->Hide();
  m_engineWindow = std::make_unique<WxControlWindow>(m_pEngineText);

  // 620 x 392 dialog units, or what the controls need when that is more,
  // within the screen: the first size is also the smallest.
  const wxSize units = ConvertDialogToPixels(wxSize(620, 392));
  const wxSize need = box->CalcMin();
  wxSize size(std::max(units.x, need.x), std::max(units.y, need.y));
  const int display = wxDisplay::GetFromWindow(GetParent() ? GetParent() : this);
  const wxRect area = wxDisplay(display == wxNOT_FOUND ? 0u : static_cast<unsigned>(display)).GetClientArea();
  if (area.width > 0 && area.height > 0)
    size = wxSize(std::min(size.x, area.width * 9 / 10), std::min(size.y, area.height * 9 / 10));
  SetSizer(box);
  SetClientSize(size);
  Layout();
}

void CNeocpScanWnd::OnInitDialog()
{
  InitScanDialog(ScanProcessorCount());
  RecordLayout();
  // The first refetch once the dialog is up.
  wxQueueEvent(this, new wxCommandEvent(wxEVT_BUTTON, kIdScanRefetch));
}

void CNeocpScanWnd::RecordLayout()
{
  m_sizeClient = GetClientSize();
  for (const LayoutRule& rule : kScanLayoutTable)
    if (wxWindow* w = Control(rule.id))
      m_rcCtl[rule.id] = w->GetRect();
  // From here on the controls move by the table, not by the sizer.
  SetSizer(nullptr);
  SetMinSize(GetSize());
}

void CNeocpScanWnd::OnSize(wxSizeEvent& event)
{
  event.Skip();
  if (IsIconized() || m_rcCtl.empty())
    return;
  const wxSize now = GetClientSize();
  const int dx = std::max(0, now.x - m_sizeClient.x);
  const int dy = std::max(0, now.y - m_sizeClient.y);
  for (const LayoutRule& rule : kScanLayoutTable) {
    const auto it = m_rcCtl.find(rule.id);
    wxWindow* w = Control(rule.id);
    if (it == m_rcCtl.end() || !w)
      continue;
    const wxRect& r = it->second;
    w->SetSize(r.x + rule.moveX * dx, r.y + rule.moveY * dy, r.width + rule.growX * dx,
               r.height + rule.growY * dy);
  }
  Refresh();
}

void CNeocpScanWnd::BindEvents()
{
  Bind(wxEVT_SIZE, &CNeocpScanWnd::OnSize, this);
  Bind(wxEVT_TIMER, [this](wxTimerEvent&) { OnTimer(); });
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnRefetch(); }, kIdScanRefetch);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnAbort(); }, kIdScanAbort);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnOpenFolder(); }, kIdScanOpenFolder);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnPurge(); }, kIdScanPurge);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnCancel(); }, wxID_CANCEL);
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& e) {
    if ((m_bRunning || m_bFetching) && e.CanVeto()) {
      e.Veto();
      OnAbort();
      return;
    }
    Destroy();
  });
  BindScanRunEvents();
  m_pList->Bind(wxEVT_LIST_COL_CLICK, [this](wxListEvent& e) { OnColumnClick(e.GetColumn()); });
  m_pList->Bind(wxEVT_LIST_ITEM_SELECTED, [this](wxListEvent&) { OnItemChanged(); });
  m_pList->Bind(wxEVT_LIST_ITEM_DESELECTED, [this](wxListEvent&) { OnItemChanged(); });
  BindFollowUpEvents();
}

wxWindow* CNeocpScanWnd::Control(int id) const
{
  const auto it = m_controls.find(id);
  return it == m_controls.end() ? nullptr : it->second;
}

// ---- controls ----

std::string CNeocpScanWnd::GetItemText(int id)
{
  wxWindow* w = Control(id);
  return w ? WxControlText(w) : CNeocpScanDlg::GetItemText(id);
}

void CNeocpScanWnd::SetItemText(int id, const std::string& text)
{
  if (wxWindow* w = Control(id))
    SetWxControlText(w, text);
  else
    CNeocpScanDlg::SetItemText(id, text);
}

int CNeocpScanWnd::IsChecked(int id)
{
  const int state = WxCheckBoxState(Control(id));
  return state >= 0 ? state : CNeocpScanDlg::IsChecked(id);
}

void CNeocpScanWnd::SetCheck(int id, int checked)
{
  if (!SetWxCheckBoxState(Control(id), checked))
    CNeocpScanDlg::SetCheck(id, checked);
}

bool CNeocpScanWnd::IsItemEnabled(int id)
{
  const int enabled = WxControlEnabled(Control(id));
  return enabled >= 0 ? enabled == 1 : CNeocpScanDlg::IsItemEnabled(id);
}

void CNeocpScanWnd::EnableItem(int id, bool enable)
{
  if (!EnableWxControl(Control(id), enable))
    CNeocpScanDlg::EnableItem(id, enable);
}

void CNeocpScanWnd::SetStatusText(const std::string& text)
{
  if (wxWindow* w = Control(kIdScanStatus)) {
    w->SetLabel(ToWx(text));
    w->Update();
  }
}

EngineWindow* CNeocpScanWnd::EngineTextWindow()
{
  return m_engineWindow.get();
}

// ---- the window's side ----

std::vector<int> CNeocpScanWnd::SelectedListPositions()
{
  return m_pList ? m_pList->SelectedPositions() : std::vector<int>();
}

void CNeocpScanWnd::ShowListItems()
{
  if (m_pList)
    m_pList->Refill(m_nRows);
}

void CNeocpScanWnd::ShowListRow(int position)
{
  if (m_pList)
    m_pList->ShowRow(position);
}

void CNeocpScanWnd::InsertLogText(const std::string& text)
{
  m_pLog->AppendText(ToWx(text));
}

bool CNeocpScanWnd::DispatchPendingEvents(int max)
{
  for (int i = 0; i < max && wxTheApp && wxTheApp->Pending(); ++i)
    wxTheApp->Dispatch();
  if (wxTheApp)
    wxTheApp->ProcessPendingEvents();
  const wxEventLoopBase* loop = wxEventLoopBase::GetActive();
  return loop && LoopExitPeek::Exiting(loop);
}

void CNeocpScanWnd::LockApplication()
{
  if (m_bLocked)
    return;
  LockAppForScan(wxGetApp().MainFrame(), this);
  m_bLocked = IsAppLockedForScan();
}

void CNeocpScanWnd::UnlockApplication()
{
  if (!m_bLocked)
    return;
  UnlockAppAfterScan();
  m_bLocked = false;
}

void CNeocpScanWnd::StartScanTimer()
{
  m_timer.Start(kScanTimerMillis);
}

void CNeocpScanWnd::StopScanTimer()
{
  m_timer.Stop();
}

void CNeocpScanWnd::OpenFolder(const std::string& path)
{
  wxLaunchDefaultApplication(ToWx(path));
}

void CNeocpScanWnd::CloseWindow()
{
  Destroy();
}

// ---- command 32821 ----

void OpenNeocpScanDialog(CDetermination* view, wxWindow* parent)
{
  const CTessaruneApp& app = TheApp();
  if (!view || app.m_bDeveloper != 1 || view->m_pEngine->m_nCalcState == kCalcFatal)
    return;
  if (auto* open = dynamic_cast<CNeocpScanWnd*>(view->m_pNeocpScanDlg)) {
    open->Show();
    open->Raise();
    return;
  }
  if (EngineBusy(view->m_pEngine))
    return;
  auto* dlg = new CNeocpScanWnd(parent, view);
  view->m_pNeocpScanDlg = dlg;
  if (app.IsWorker())
    return;
  CTessaruneLib::PlaceNearMainWindow(dlg);
  dlg->Show();
}

void RegisterNeocpScanDialog()
{
  RegisterToolWindowCommand(ID_NEOCP_SCAN, [](wxWindow* window) {
    if (auto* view = dynamic_cast<CDetermination*>(window))
      OpenNeocpScanDialog(view, window);
  });
}

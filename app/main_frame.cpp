#include "app/main_frame.h"

#include <algorithm>
#include <map>

#include <wx/display.h>
#include <wx/menu.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>
#include <wx/utils.h>

#include "app/app_menus.h"
#include "app/busy_close.h"
#include "app/child_frame.h"
#include "app/ephemeris_download.h"
#include "app/form_template.h"
#include "app/form_view.h"
#include "app/frame_keys.h"
#include "app/idle_dialogs.h"
#include "app/location_dlg.h"
#include "app/option_sheet.h"
#include "app/registry/window_registry.h"
#include "app/scan_lock.h"
#include "app/tessarune_wx_app.h"
#include "app/toolbar_images.h"
#include "determination/oplog_cleanup.h"
#include "engine/determination_host.h"
#include "engine/ui/dbg_dlg.h"
#include "platform/app_services.h"
#include "platform/ui_services.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_strings.h"

wxIMPLEMENT_DYNAMIC_CLASS(CMainFrame, wxDocMDIParentFrame);

namespace {

// Commands that only a view handles: disabled when no view takes them.
constexpr int kViewCommands[] = {
    ID_OPEN_OBS_FILE, ID_FETCH_MPC_OBS, ID_FETCH_NEOCP_OBS, ID_SAVE_RESULT, ID_REDO_CALC, ID_MP_DIS_GRAPH,
    ID_FORECAST, ID_VARIATION_AMOUNTS, ID_NEOCP_SCAN, ID_FIND_ORB, wxID_CUT, wxID_COPY, wxID_PASTE,
};
constexpr int kFormCommands[] = {ID_DETERMINATION, ID_MOVE_EPOCH, ID_EPHEMERIDES, ID_EPH_LIST,
                                 ID_WHOIS_OBS,     ID_VAISALA,    ID_CHECKING};
constexpr int kToolCommands[] = {ID_ORBIT_VIEW, ID_GLOBE, ID_MAG_CURVE, ID_VISIBILITY_CHART};
// Commands of the tool windows, which arrive with their own subsystems and
// register their openers; until then a command stays disabled.
constexpr int kQuietCommands[] = {ID_ORBIT_VIEW,  ID_GLOBE,           ID_MAG_CURVE,     ID_VISIBILITY_CHART,
                                  ID_SEARCH_RANGE, ID_OPLOG_MANAGER};
constexpr int kAlwaysEnabled[] = {ID_SEARCH_RANGE,  ID_LOCATION,       ID_OPTIONS,   ID_OPTIONS_TOOLBAR,
                                  ID_OPLOG_MANAGER, ID_RESET_POSITIONS, ID_GET_JPL_EPH, ID_UPDATE_STATION_CODES,
                                  ID_CONVERSION_DLG, ID_DEBUG_DLG,     ID_OAA_EPH_OUTPUT, ID_APP_EXIT};

constexpr int kIndicatorMillis = 250;

PixelRect FromWx(const wxRect& r)
{
  return {r.x, r.y, r.width, r.height};
}

CFormView* ActiveViewOf(const CChildFrame* frame)
{
  return frame ? frame->GetFormView() : nullptr;
}

std::map<int, ToolWindowCommand>& ToolWindowCommands()
{
  static std::map<int, ToolWindowCommand> commands;
  return commands;
}

EphemerisFill& RegisteredEphemerisFill()
{
  static EphemerisFill fill;
  return fill;
}

} // namespace

void RegisterEphemerisFill(EphemerisFill fill)
{
  RegisteredEphemerisFill() = std::move(fill);
}

void FillEphemeridesFromCurrentOrbit()
{
  if (const EphemerisFill& fill = RegisteredEphemerisFill())
    fill();
}

void RegisterToolWindowCommand(int id, ToolWindowCommand open)
{
  ToolWindowCommands()[id] = std::move(open);
}

const ToolWindowCommand* FindToolWindowCommand(int id)
{
  const auto it = ToolWindowCommands().find(id);
  return it == ToolWindowCommands().end() ? nullptr : &it->second;
}

bool CMainFrame::Create(wxDocManager* manager)
{
  if (!wxDocMDIParentFrame::Create(manager, nullptr, wxID_ANY, ToWx(AppText::kMainTitle), wxPoint(0, 0),
                                   wxSize(800, 600), wxDEFAULT_FRAME_STYLE))
    return false;
  // Bound after the document frame's own close handler, so it runs first.
  Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::OnClose, this);

  SetMenuBar(BuildMenuBar(kMainMenu));
  BuildToolBar();
  BuildStatusBar();
  if (!GetToolBar() || !GetStatusBar())
    return false;

  wxAcceleratorEntry keys[] = {
      {wxACCEL_CTRL, 'N', wxID_NEW},
      {wxACCEL_CTRL, 'O', wxID_OPEN},
      {wxACCEL_CTRL, 'S', wxID_SAVE},
      {wxACCEL_CTRL, 'P', wxID_PRINT},
  };
  SetAcceleratorTable(wxAcceleratorTable(std::size(keys), keys));

  for (int id : kFormCommands) {
    if (id == ID_EPHEMERIDES)
      Bind(wxEVT_MENU, &CMainFrame::OnEphemerides, this, id);
    else
      Bind(wxEVT_MENU, &CMainFrame::OnFunctionViewCommand, this, id);
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateFormRule, this, id);
  }
  for (int id : kToolCommands)
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateToolRule, this, id);
  for (int id : kQuietCommands) {
    if (const ToolWindowCommand* open = FindToolWindowCommand(id))
      Bind(wxEVT_MENU, [this, open](wxCommandEvent&) { (*open)(this); }, id);
    else
      Bind(wxEVT_MENU, &CMainFrame::OnQuietCommand, this, id);
  }
  for (int id : kAlwaysEnabled)
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateEnabled, this, id);
  for (int id : kViewCommands)
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateDisabled, this, id);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { Close(); }, ID_APP_EXIT);
  Bind(wxEVT_MENU, &CMainFrame::OnResetPositions, this, ID_RESET_POSITIONS);
  Bind(wxEVT_MENU, &CMainFrame::OnUpdateStationCodes, this, ID_UPDATE_STATION_CODES);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { RunPlanetaryDownloadDialog(this); }, ID_GET_JPL_EPH);
  for (int id : {ID_OPTIONS, ID_OPTIONS_TOOLBAR})
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { RunOptionSheet(this); }, id);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { RunLocationDialog(this); }, ID_LOCATION);
  Bind(wxEVT_MENU, &CMainFrame::OnConversionDialog, this, ID_CONVERSION_DLG);
  Bind(wxEVT_MENU, &CMainFrame::OnOaaEphOutput, this, ID_OAA_EPH_OUTPUT);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { RunDbgDialog(this); }, ID_DEBUG_DLG);
  Bind(wxEVT_MENU, &CMainFrame::OnToggleToolBar, this, ID_VIEW_TOOLBAR);
  Bind(wxEVT_MENU, &CMainFrame::OnToggleStatusBar, this, ID_VIEW_STATUS_BAR);
  Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateToolBarCheck, this, ID_VIEW_TOOLBAR);
  Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateStatusBarCheck, this, ID_VIEW_STATUS_BAR);
  // Keys of the active view that reach the frame itself (no control has the focus).
  Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& e) {
    if (!HandleFrameKey(dynamic_cast<CChildFrame*>(GetActiveChild()), e))
      e.Skip();
  });
  Bind(wxEVT_SIZE, [this](wxSizeEvent& e) { OnSizeOrMove(); e.Skip(); });
  Bind(wxEVT_MOVE, [this](wxMoveEvent& e) { OnSizeOrMove(); e.Skip(); });

  m_indicatorTimer.SetOwner(this);
  Bind(wxEVT_TIMER, [this](wxTimerEvent&) { UpdateIndicators(); });
  m_indicatorTimer.Start(kIndicatorMillis);
  return true;
}

void CMainFrame::BuildToolBar()
{
  wxToolBar* bar = CreateToolBar(wxTB_FLAT | wxTB_HORIZONTAL | wxTB_TOP | wxTB_DOCKABLE);
  if (!bar)
    return;
  bar->SetToolBitmapSize(wxSize(16, 15));
  for (int id : kToolbarButtons) {
    if (id == 0) {
      bar->AddSeparator();
      continue;
    }
    bar->AddTool(id, wxString(), ToolbarImage(id), CommandTooltip(id));
    bar->SetToolLongHelp(id, CommandPrompt(id));
  }
  bar->Realize();
}

void CMainFrame::BuildStatusBar()
{
  wxStatusBar* bar = CreateStatusBar(5);
  if (!bar)
    return;
  int widths[5] = {-1, 0, 0, 0, 0};
  for (int i = 0; i < 4; ++i)
    widths[i + 1] = std::max(GetTextExtent(ToWx(AppText::kIndicators[i])).x + 12, 36);
  bar->SetStatusWidths(5, widths);
  SetStatusBarPane(0);
  UpdateIndicators();
}

void CMainFrame::UpdateIndicators()
{
  wxStatusBar* bar = GetStatusBar();
  if (!bar)
    return;
  // The input method's kana mode has no counterpart on this desktop.
  const bool on[4] = {false, wxGetKeyState(WXK_CAPITAL), wxGetKeyState(WXK_NUMLOCK), wxGetKeyState(WXK_SCROLL)};
  for (int i = 0; i < 4; ++i) {
    const wxString text = on[i] ? ToWx(AppText::kIndicators[i]) : wxString();
    if (bar->GetStatusText(i + 1) != text)
      bar->SetStatusText(text, i + 1);
  }
}

std::vector<CChildFrame*> CMainFrame::ChildFrames() const
{
  std::vector<CChildFrame*> frames;
  auto add = [&frames](wxWindow* w) {
    auto* f = dynamic_cast<CChildFrame*>(w);
    if (f && std::find(frames.begin(), frames.end(), f) == frames.end())
      frames.push_back(f);
  };
  add(GetActiveChild());
  if (wxWindow* client = GetClientWindow())
    for (wxWindow* w : client->GetChildren())
      add(w);
  for (wxWindow* w : GetChildren())
    add(w);
  return frames;
}

CChildFrame* CMainFrame::FindVisibleFrame(FunctionView kind) const
{
  int looked = 0;
  for (CChildFrame* f : ChildFrames()) {
    if (!f->IsShown())
      continue;
    if (++looked > 8)
      break;
    if (CFormView* v = ActiveViewOf(f); v && v->Kind() == kind)
      return f;
  }
  return nullptr;
}

std::optional<FunctionView> CMainFrame::VisibleFunctionView() const
{
  int looked = 0;
  for (CChildFrame* f : ChildFrames()) {
    CFormView* v = ActiveViewOf(f);
    if (!f->IsShown() || !v)
      continue;
    if (++looked > 4)
      break;
    return v->Kind();
  }
  return std::nullopt;
}

CFormView* CMainFrame::FindFunctionView(FunctionView kind) const
{
  for (CChildFrame* f : ChildFrames())
    if (CFormView* v = ActiveViewOf(f); v && v->Kind() == kind)
      return v;
  return nullptr;
}

bool CMainFrame::ActivateView(FunctionView kind)
{
  CChildFrame* f = FindVisibleFrame(kind);
  if (!f)
    return false;
  if (f->IsIconized())
    f->Iconize(false);
  f->ActivateFrame();
  return true;
}

void CMainFrame::OpenFunctionView(FunctionView kind)
{
  switch (DecideFunctionViewCommand(FindVisibleFrame(kind) != nullptr, VisibleFunctionView())) {
  case FunctionViewAction::ActivateVisible: ActivateView(kind); return;
  case FunctionViewAction::Nothing: return;
  case FunctionViewAction::OpenNew: break;
  }
  // The tool windows the Väisälä view replaces (orbit diagram, globe,
  // magnitude curve, observing-season chart) are closed by its view factory.
  const CFormTemplate* templ = wxGetApp().Template(kind);
  if (!templ)
    return;
  CChildFrame* frame = templ->CreateNewFrame(this);
  if (!frame)
    return;
  if (kind == FunctionView::EphList)
    frame->SetTitle(ToWx(AppText::kCometListTitle));
  templ->InitialUpdateFrame(frame);
}

void CMainFrame::HideDeterminationFrame(CChildFrame* frame)
{
  if (!frame || m_hHiddenDetFrame)
    return;
  frame->Hide();
  m_hHiddenDetFrame = frame;
}

void CMainFrame::RestoreHiddenDeterminationFrame()
{
  CChildFrame* frame = m_hHiddenDetFrame.get();
  m_hHiddenDetFrame = nullptr;
  if (frame)
    frame->ActivateFrame();
}

void CMainFrame::SetNormalRect(const PixelRect& r)
{
  m_rcNormal = r;
}

void CMainFrame::OnSizeOrMove()
{
  if (IsShown() && !IsMaximized() && !IsIconized() && !IsFullScreen())
    m_rcNormal = FromWx(GetRect());
}

void CMainFrame::OnClose(wxCloseEvent& event)
{
  if (RefuseCloseWhileScanning(event) || RefuseCloseWhileCalculating(event) || CloseAfterModalDialogs(this, event))
    return;
  CTessaruneApp& app = TheApp();
  WriteMainWindowPlacement(app, m_rcNormal, IsMaximized());
  WriteToolWindowPlaces(app);
  if (!app.IsWorker())
    CleanUpOperationLogs(app.m_szDataDir);
  m_indicatorTimer.Stop();
  event.Skip();
}

void CMainFrame::OnFunctionViewCommand(wxCommandEvent& event)
{
  if (const auto kind = FunctionViewOfCommand(event.GetId()))
    OpenFunctionView(*kind);
}

void CMainFrame::OnEphemerides(wxCommandEvent& /*event*/)
{
  if (!ActivateView(FunctionView::Ephemerides) && VisibleFunctionView())
    return;
  FillEphemeridesFromCurrentOrbit();
}

void CMainFrame::OnQuietCommand(wxCommandEvent& /*event*/)
{
}

void CMainFrame::OnUpdateStationCodes(wxCommandEvent& /*event*/)
{
  // The view reads its observations again itself when it needs the new codes.
  if (CDetermination* view = OpenWindows().m_pDetermination)
    view->UpdateStationCodes();
}

PixelRect CMainFrame::WorkArea() const
{
  const int index = wxDisplay::GetFromWindow(this);
  const wxRect area = wxDisplay(index == wxNOT_FOUND ? 0u : static_cast<unsigned>(index)).GetClientArea();
  if (area.width > 0 && area.height > 0)
    return FromWx(area);
  return {0, 0, 1024, 768};
}

void CMainFrame::GrowToActiveView()
{
  const CFormView* view = ActiveViewOf(dynamic_cast<CChildFrame*>(GetActiveChild()));
  if (!view || IsMaximized() || IsIconized())
    return;
  const wxSize lack = view->GetVirtualSize() - view->GetClientSize();
  if (lack.x <= 0 && lack.y <= 0)
    return;
  const PixelRect r = GrowWithinWorkArea(FromWx(GetRect()), lack.x, lack.y, WorkArea());
  SetSize(r.x, r.y, r.w, r.h);
  m_rcNormal = r;
}

void CMainFrame::OnResetPositions(wxCommandEvent& /*event*/)
{
  if (Ui().ShowMessage(AppText::kAppTitle, AppText::kResetPositionsQuestion, MsgIcon::Question,
                       MsgButtons::YesNo) != MsgAnswer::Yes)
    return;
  ResetStoredWindowPositions(TheApp());
  const PixelRect work = WorkArea();
  if (IsIconized())
    Iconize(false);
  if (IsMaximized())
    Maximize(false);
  const PixelRect r = CentredFourFifths(work);
  SetSize(r.x, r.y, r.w, r.h);
  m_rcNormal = r;
  Ui().ShowMessage(AppText::kAppTitle, AppText::kResetPositionsDone, MsgIcon::Information, MsgButtons::Ok);
}

void CMainFrame::OnConversionDialog(wxCommandEvent& /*event*/)
{
  CConversionDlg dlg(this);
  dlg.ShowModal();
}

void CMainFrame::OnOaaEphOutput(wxCommandEvent& /*event*/)
{
  COaaChbEphOutput dlg(this);
  dlg.ShowModal();
}

void CMainFrame::OnToggleToolBar(wxCommandEvent& /*event*/)
{
  if (wxToolBar* bar = GetToolBar()) {
    bar->Show(!bar->IsShown());
    SendSizeEvent();
  }
}

void CMainFrame::OnToggleStatusBar(wxCommandEvent& /*event*/)
{
  if (wxStatusBar* bar = GetStatusBar()) {
    bar->Show(!bar->IsShown());
    SendSizeEvent();
  }
}

void CMainFrame::OnUpdateFormRule(wxUpdateUIEvent& event)
{
  event.Enable(FormRuleEnables(event.GetId(), VisibleFunctionView()));
}

namespace {

// A command whose window no subsystem has registered yet would do nothing:
// it stays disabled, whichever window answers its update first.
bool AwaitsItsWindow(int id)
{
  return std::find(std::begin(kQuietCommands), std::end(kQuietCommands), id) != std::end(kQuietCommands) &&
         !FindToolWindowCommand(id);
}

} // namespace

void CMainFrame::OnUpdateToolRule(wxUpdateUIEvent& event)
{
  event.Enable(!AwaitsItsWindow(event.GetId()) && ToolRuleEnables(VisibleFunctionView()));
}

void CMainFrame::OnUpdateEnabled(wxUpdateUIEvent& event)
{
  event.Enable(!AwaitsItsWindow(event.GetId()));
}

void CMainFrame::OnUpdateDisabled(wxUpdateUIEvent& event)
{
  event.Enable(false);
}

void CMainFrame::OnUpdateToolBarCheck(wxUpdateUIEvent& event)
{
  event.Check(GetToolBar() && GetToolBar()->IsShown());
}

void CMainFrame::OnUpdateStatusBarCheck(wxUpdateUIEvent& event)
{
  event.Check(GetStatusBar() && GetStatusBar()->IsShown());
}

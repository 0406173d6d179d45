// The view's own commands: their enabling, the element input (32793) and
// the hand-over to the ephemeris view ("位置推算へ").
#include <wx/menu.h>

#include "app/child_frame.h"
#include "app/form_template.h"
#include "app/main_frame.h"
#include "app/tessarune_wx_app.h"
#include "determination/element_input.h"
#include "determination/ui/determination_view.h"
#include "determination/ui/elm_input_dlg.h"
#include "determination/view_commands.h"
#include "engine/orbit_engine.h"
#include "platform/app_services.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_resource_ids.h"
#include "resources/determination_ids.h"

namespace {

// Commands whose enabling the view decides.
constexpr int kRuledCommands[] = {ID_SAVE_RESULT,   ID_ORBIT_VIEW,    ID_GLOBE,      ID_MP_DIS_GRAPH,
                                  ID_STATION_STATS, ID_ERA_STATS,     ID_NONGRAV_CHECK, ID_FORECAST,
                                  ID_ELEMENT_INPUT, ID_LOAD_SOLUTION};
// Commands 157 and 32796 wait for their windows to be registered: shown
// disabled rather than doing nothing.
bool Awaiting(int id)
{
  if (id == ID_FORECAST || id == ID_GLOBE)
    return FindToolWindowCommand(id) == nullptr;
  return false;
}

} // namespace

DetCommandState CDeterminationView::CommandState() const
{
  const OrbitEngine& e = *m_pEngine;
  DetCommandState s;
  s.calcState = e.m_nCalcState;
  s.observations = ObservationCount() > 0;
  s.residualsShown = m_bResidualsShown != 0;
  s.nonGrav = e.m_bNonGrav != 0;
  s.perturbations = e.m_bPerturbations != 0;
  s.covarianceValid = e.m_bCovarianceValid != 0;
  s.viewVisible = GetParent() && GetParent()->IsShown();
  if (ForecastHooks().presence)
    s.forecast = ForecastHooks().presence(this);
  return s;
}

void CDeterminationView::BindViewCommands()
{
  for (int id : kRuledCommands)
    Bind(wxEVT_UPDATE_UI, [this, id](wxUpdateUIEvent& e) {
      const Tri rule = DetCommandEnabling(id, CommandState());
      if (rule != Tri::Unchanged)
        e.Enable(rule == Tri::On && !Awaiting(id));
    }, id);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnElementInputCommand(); }, ID_ELEMENT_INPUT);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) {
    if (const ToolWindowCommand* open = FindToolWindowCommand(ID_FORECAST))
      (*open)(this);
  }, ID_FORECAST);
  // The similar-orbit search: only the developer-mode item sends it.
  Bind(wxEVT_MENU, [this](wxCommandEvent&) {
    if (const ToolWindowCommand* open = FindToolWindowCommand(ID_FIND_ORB))
      (*open)(this);
  }, ID_FIND_ORB);
  Bind(wxEVT_UPDATE_UI, [](wxUpdateUIEvent& e) {
    e.Enable(TheApp().m_bDeveloper != 0 && FindToolWindowCommand(ID_FIND_ORB) != nullptr);
  }, ID_FIND_ORB);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnEphemerisButton(); }, kIdEphemerisButton);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) {
    if (const ToolWindowCommand* open = FindToolWindowCommand(ID_NEOCP_SCAN))
      (*open)(this);
  }, ID_NEOCP_SCAN);
  Bind(wxEVT_UPDATE_UI, [](wxUpdateUIEvent& e) { e.Enable(FindToolWindowCommand(ID_NEOCP_SCAN) != nullptr); },
       ID_NEOCP_SCAN);
}

void CDeterminationView::PlaceScanItem()
{
  auto* frame = dynamic_cast<wxFrame*>(GetParent());
  wxMenuBar* bar = frame ? frame->GetMenuBar() : nullptr;
  const int index = bar ? bar->FindMenu(ToWx("ﾌｧｲﾙ(&F)")) : wxNOT_FOUND;
  if (index == wxNOT_FOUND)
    return;
  wxMenu* menu = bar->GetMenu(index);
  // The scan, and after it the similar-orbit search, which no user menu
  // sends: developer mode is its only way in.
  const struct {
    int id, after;
    const char* label;
  } items[] = {{ID_NEOCP_SCAN, ID_FETCH_NEOCP_OBS, "NEOCPの全天体を走査(&A)..."},
               {ID_FIND_ORB, ID_NEOCP_SCAN, "類似軌道検索(&O)..."}};
  const int developer = TheApp().m_bDeveloper;
  for (const auto& entry : items) {
    wxMenuItem* item = menu->FindChildItem(entry.id);
    size_t pos = 0;
    if (developer == 0 && item)
      menu->Destroy(item);
    else if (developer == 1 && !item && menu->FindChildItem(entry.after, &pos))
      menu->Insert(pos + 1, entry.id, ToWx(entry.label));
  }
}

void CDeterminationView::OnElementInputCommand()
{
  if (EngineBusy(m_pEngine)) {
    ReportMessage(kMsgOtherCalculationRunning, "", kBoxOk, 1);
    return;
  }
  ElementInput in = PrefillElementInput(*this);
  {
    CElmInputDlg dlg(this, in);
    dlg.ShowModal();
  }
  ApplyElementInput(*this, in);
}

void CDeterminationView::OnEphemerisButton()
{
  CMainFrame* main = wxGetApp().MainFrame();
  if (EngineBusy(m_pEngine) || !main)
    return;
  // Opens the ephemeris view beside this one when needed (the menu command
  // would stop at this visible view) and fills it with this orbit.
  FillEphemeridesFromCurrentOrbit();
  // Hidden only behind an ephemeris view that will show it again.
  if (main->FindVisibleFrame(FunctionView::Ephemerides))
    main->HideDeterminationFrame(dynamic_cast<CChildFrame*>(GetParent()));
}

bool CDeterminationView::EphemerisViewAvailable()
{
  const CFormTemplate* templ = wxGetApp().Template(FunctionView::Ephemerides);
  return templ && templ->CanMakeView();
}

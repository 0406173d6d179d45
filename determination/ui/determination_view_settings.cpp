// The improvement settings' controls and the "オプション(&O)" menu of the view.
#include <algorithm>

#include <wx/choice.h>
#include <wx/menu.h>
#include <wx/spinbutt.h>
#include <wx/textctrl.h>

#include "app/child_frame.h"
#include "astro/mpeph_store.h"
#include "determination/improvement_settings.h"
#include "determination/ui/determination_view.h"
#include "determination/ui/obs_list_ctrl.h"
#include "determination/view_options.h"
#include "engine/approach_graph.h"
#include "engine/orbit_engine.h"
#include "engine/ui/mp_dis_graph_dlg.h"
#include "platform/app_services.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/determination_ids.h"

namespace {

constexpr int kOptionCommands[] = {ID_OPLOG_TOGGLE, ID_PARALLEL_VARIATION, ID_RELATIVITY, ID_J2, ID_APOPHIS_MODE,
                                   ID_EPOCH_FROM_FIELD};

const char* OptionLabel(int id)
{
  switch (id) {
  case ID_RELATIVITY: return "一般相対論補正(&G)";
  case ID_J2: return "地球の扁平(J2)補正(&J)";
  case ID_EPOCH_FROM_FIELD: return "元期をEpoch欄で指定する(&E)";
  default: return "";
  }
}

// The popup made to hold exactly ids, in that order (items are only added
// and removed; those it keeps stay as they are).
void SyncMenu(wxMenu* menu, const std::vector<int>& ids)
{
  for (wxMenuItem* item : std::vector<wxMenuItem*>(menu->GetMenuItems().begin(), menu->GetMenuItems().end()))
    if (!item->IsSeparator() && std::find(ids.begin(), ids.end(), item->GetId()) == ids.end())
      menu->Destroy(item);
  for (size_t pos = 0; pos < ids.size(); ++pos)
    if (!menu->FindItem(ids[pos]))
      menu->InsertCheckItem(pos, ids[pos], ToWx(OptionLabel(ids[pos])));
}

} // namespace

void CDeterminationView::BindSettingsControls()
{
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { RunAutomaticRejection(*this, TheApp()); }, kIdRejectButton);
  for (const auto& [spin, field] : {std::pair{kIdRejectOldSpin, kIdRejectOld}, std::pair{kIdRejectNewSpin, kIdRejectNew}}) {
    // The up arrow adds 0.1, the down arrow takes it away.
    Bind(wxEVT_SPIN_UP, [this, f = field](wxSpinEvent&) { StepRejectThreshold(*this, f, -1); }, spin);
    Bind(wxEVT_SPIN_DOWN, [this, f = field](wxSpinEvent&) { StepRejectThreshold(*this, f, 1); }, spin);
  }
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    std::vector<long> rows = SelectedRows();
    if (SetWeightOfRows(*this, rows))
      UpdateWeightColours();
  }, kIdWeightSet);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    ResetWeightOfRows(*this, SelectedRows());
    UpdateWeightColours();
  }, kIdWeightReset);
  Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { OnNonGravComputeBox(*this); }, kIdNonGravCheck);
  Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { m_pEngine->m_bNonGravA3 = IsChecked(kIdNonGravA3Check); },
       kIdNonGravA3Check);
  Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { OnNonGravModelChange(*this); }, kIdNonGravModelCombo);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ResetNonGravParameters(); }, kIdNonGravReset);
  Bind(wxEVT_CHOICE, [this](wxCommandEvent&) {
    const int set = GetSelection(kIdPerturberSet);
    if (set < 0 || set > 6)
      return;
    m_pEngine->m_nAsteroidSet = set;
    FillApproachBodies();
  }, kIdPerturberSet);
  Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { OnApproachBodyChange(); }, kIdApproachBody);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { OpenMpDisGraph(this); }, ID_MP_DIS_GRAPH);
}

void CDeterminationView::OnApproachBodyChange()
{
  CloseApproachRecord* record = m_pEngine->m_state.m_pApproach;
  if (!record)
    return;
  int members[kPerturberSetMaxMembers];
  const int count = 10 + GetPerturberSetMembers(m_pEngine->m_nAsteroidSet, members);
  ShowCloseApproaches(record, Window(kIdApproachEdit), ApproachBodyOfEntry(GetSelection(kIdApproachBody)), count,
                      m_pEngine->m_state.m_nStepClass);
}

void CDeterminationView::UpdateWeightColours()
{
  wxWindow* field = Widget(kIdWeightEdit);
  if (!field)
    return;
  // Yellow on dark blue while a weight differs from 1.
  const bool changed = AnyWeightChanged(*this);
  field->SetForegroundColour(changed ? wxColour(255, 255, 0) : wxNullColour);
  field->SetBackgroundColour(changed ? wxColour(0, 0, 128) : wxNullColour);
  field->Refresh();
}

void CDeterminationView::BindOptionCommands()
{
  for (int id : kOptionCommands) {
    Bind(wxEVT_MENU, [this, id](wxCommandEvent&) { ToggleViewOption(*this, id); }, id);
    Bind(wxEVT_UPDATE_UI, [this, id](wxUpdateUIEvent& e) {
      e.Enable(true);
      e.Check(OptionChecked(*this, id));
    }, id);
  }
}

wxMenu* CDeterminationView::OptionMenu() const
{
  auto* frame = dynamic_cast<wxFrame*>(GetParent());
  wxMenuBar* bar = frame ? frame->GetMenuBar() : nullptr;
  const int index = bar ? bar->FindMenu(ToWx("オプション(&O)")) : wxNOT_FOUND;
  return index == wxNOT_FOUND ? nullptr : bar->GetMenu(index);
}

void CDeterminationView::PlaceOptionItems()
{
  wxMenu* menu = OptionMenu();
  if (!menu)
    return;
  std::vector<int> ids;
  for (const wxMenuItem* item : menu->GetMenuItems())
    if (!item->IsSeparator())
      ids.push_back(item->GetId());
  ArrangeOptionItems(ids, TheApp().m_bDeveloper != 0);
  SyncMenu(menu, ids);
  m_nOptionsDeveloper = TheApp().m_bDeveloper != 0 ? 1 : 0;
  PlaceScanItem();
}

void CDeterminationView::ArrangeOptionMenu()
{
  wxMenu* menu = OptionMenu();
  if (!menu)
    return;
  PlaceOptionItems();
  // Placed when the popup opens; and already when developer mode changes,
  // since a popup that grows while it opens keeps its first height on GTK.
  menu->Bind(wxEVT_MENU_OPEN, [this](wxMenuEvent& e) {
    PlaceOptionItems();
    e.Skip();
  });
  auto* frame = dynamic_cast<wxFrame*>(GetParent());
  wxMenuBar* bar = frame ? frame->GetMenuBar() : nullptr;
  const int file = bar ? bar->FindMenu(ToWx("ﾌｧｲﾙ(&F)")) : wxNOT_FOUND;
  if (file != wxNOT_FOUND)
    bar->GetMenu(file)->Bind(wxEVT_MENU_OPEN, [this](wxMenuEvent& e) {
      PlaceScanItem();
      e.Skip();
    });
  Bind(wxEVT_IDLE, [this](wxIdleEvent& e) {
    if (m_nOptionsDeveloper != (TheApp().m_bDeveloper != 0 ? 1 : 0))
      PlaceOptionItems();
    e.Skip();
  });
}

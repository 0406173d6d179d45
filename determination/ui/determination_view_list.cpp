// The observation list's mouse and menu commands and the option boxes of the
// picking group.
#include <wx/checkbox.h>
#include <wx/menu.h>
#include <wx/textctrl.h>

#include "app/app_menus.h"
#include "determination/det_settings.h"
#include "determination/obs_list_rules.h"
#include "determination/ui/determination_view.h"
#include "determination/ui/obs_list_ctrl.h"
#include "engine/orbit_engine.h"
#include "platform/app_services.h"
#include "platform/ui_services.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/determination_menus.h"

namespace {

constexpr const char* kFixEDropsNonGrav =
    "[eを固定]と[非重力効果を計算する]は同時には使えないため、非重力効果のチェックを外しました。\r\n"
    "eを固定するのは、発見直後の短い弧のようにまだ一般軌道も精度良く求まらない段階で使う機能で、"
    "その段階では非重力効果を判別することもできません。";
constexpr const char* kNoSignature =
    "計算者名がまだ登録されていません。\r[オプション(O)]の[環境設定(K)]で計算者名を設定すると、\r"
    "軌道要素の計算者の位置にあなたの名前を表示すること\rができます。";

} // namespace

void CDeterminationView::BindListCommands()
{
  m_pObsList->Bind(wxEVT_CONTEXT_MENU, &CDeterminationView::OnObsContextMenu, this);
  for (int id : {ID_OBS_FORCE_REJECT, ID_OBS_COND_REJECT, ID_OBS_ENABLE_ALL, ID_OBS_DESELECT_ALL})
    Bind(wxEVT_MENU, &CDeterminationView::OnObsListCommand, this, id);
}

void CDeterminationView::OnObsContextMenu(wxContextMenuEvent& event)
{
  if (!ObsContextMenuAllowed(m_pEngine->m_nCalcState))
    return;
  wxMenu* menu = BuildPopup(kObsListPopup);
  wxPoint at = event.GetPosition();
  at = at == wxDefaultPosition ? wxDefaultPosition : ScreenToClient(at);
  PopupMenu(menu, at);
  delete menu;
}

std::vector<long> CDeterminationView::SelectedRows() const
{
  std::vector<long> rows;
  for (long i = m_pObsList->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); i != -1;
       i = m_pObsList->GetNextItem(i, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
    rows.push_back(i);
  return rows;
}

void CDeterminationView::DeselectAllRows()
{
  for (long row : SelectedRows())
    m_pObsList->SetItemState(row, 0, wxLIST_STATE_SELECTED);
  m_pObsList->Refresh();
}

void CDeterminationView::OnObsListCommand(wxCommandEvent& event)
{
  const int id = event.GetId();
  if (id != ID_OBS_DESELECT_ALL && (ObservationCount() == 0 || EngineBusy(m_pEngine)))
    return;
  RejectThresholds t;
  if (id == ID_OBS_COND_REJECT)
    GetRejectThresholds(t.year, t.before, t.after);
  for (long row : SelectedRows()) {
    if (row >= ObservationCount())
      continue;
    ObservationRecord& obs = m_pDetClass->m_pOrbObs[row];
    if (id == ID_OBS_FORCE_REJECT)
      ForceReject(obs);
    else if (id == ID_OBS_ENABLE_ALL)
      Readmit(obs);
    else if (id == ID_OBS_COND_REJECT)
      ConditionalReject(obs, t);
  }
  DeselectAllRows();
}

void CDeterminationView::OnObsListDoubleClick(long row)
{
  if (m_pEngine->m_nCalcState == 7) {
    m_pObsList->Enable(false);
    return;
  }
  // The flags a running calculation reads stay as they are until it ends.
  if (row < 0 || row >= ObservationCount() || EngineBusy(m_pEngine))
    return;
  if (ToggleRejectionByHand(m_pDetClass->m_pOrbObs[row], m_pEngine->m_nCalcState))
    m_pObsList->RefreshItem(row);
}

// ---- the option boxes ----

void CDeterminationView::BindOptionBoxes()
{
  const std::pair<int, void (CDeterminationView::*)()> boxes[] = {
      {kIdParabolicCheck, &CDeterminationView::OnParabolicBox}, {kIdAsteroidCheck, &CDeterminationView::OnAsteroidBox},
      {kIdFixECheck, &CDeterminationView::OnFixEBox},           {kIdExtendedCheck, &CDeterminationView::OnExtendedBox},
      {kIdSignatureCheck, &CDeterminationView::OnSignatureBox},
  };
  for (const auto& [id, handler] : boxes)
    Bind(wxEVT_CHECKBOX, [this, handler](wxCommandEvent&) { (this->*handler)(); }, id);
  // While a calculation runs the boxes keep what it started with.
  for (int id : {kIdParabolicCheck, kIdAsteroidCheck, kIdFixECheck, kIdPerturbationsCheck})
    Bind(wxEVT_CHECKBOX, [this, id](wxCommandEvent& e) {
      if (!EngineBusy(m_pEngine)) {
        e.Skip();
        return;
      }
      SetCheck(id, IsChecked(id) ? 0 : 1);
    }, id);
}

void CDeterminationView::OnParabolicBox()
{
  m_pDetClass->m_bParabolicMethod = m_pDetClass->m_bParabolicMethod ? 0 : 1;
  SetCheck(kIdParabolicCheck, m_pDetClass->m_bParabolicMethod);
}

void CDeterminationView::OnAsteroidBox()
{
  const int state = m_pEngine->m_nCalcState;
  if (state == 7) {
    SetCheck(kIdAsteroidCheck, m_pEngine->m_state.m_bAsteroid);
    return;
  }
  m_pEngine->m_state.m_bAsteroid = m_pEngine->m_state.m_bAsteroid ? 0 : 1;
  SetCheck(kIdAsteroidCheck, m_pEngine->m_state.m_bAsteroid);
  // The tool windows' magnitude law follows the box.
  m_displayOrbit.m_bAsteroid = m_pEngine->m_state.m_bAsteroid;
  if (state > 1)
    ShowElementText(Window(kIdResultEdit), &m_pEngine->m_state, state == 3 ? 0 : 1);
}

void CDeterminationView::OnFixEBox()
{
  auto* field = dynamic_cast<wxTextCtrl*>(Widget(kIdFixEEdit));
  if (m_pDetClass->m_bFixEcc) {
    m_pDetClass->m_bFixEcc = 0;
    if (field)
      field->SetEditable(false);
    SetCheck(kIdFixECheck, 0);
    return;
  }
  if (m_pEngine->m_bNonGrav) {
    SetCheck(kIdNonGravCheck, 0);
    m_pEngine->m_bNonGrav = 0;
    ShowNonGravParams();
    Ui().ShowMessage("", kFixEDropsNonGrav, MsgIcon::None, MsgButtons::Ok);
  }
  m_pDetClass->m_bFixEcc = 1;
  if (field) {
    if (FromWx(field->GetValue().Left(19)).empty())
      field->ChangeValue("1.0");
    field->SetEditable(true);
  }
  SetCheck(kIdFixECheck, 1);
}

void CDeterminationView::OnExtendedBox()
{
  m_bExtendedDisplay = IsChecked(kIdExtendedCheck);
  const int state = m_pEngine->m_nCalcState;
  if (ObservationCount() > 0 && state >= 3 && state <= 5)
    ShowElementText(Window(kIdResultEdit), &m_pEngine->m_state, state == 3 ? 0 : -1);
}

void CDeterminationView::OnSignatureBox()
{
  m_bSignature = m_bSignature ? 0 : 1;
  SetCheck(kIdSignatureCheck, m_bSignature);
  if (m_bSignature && TheApp().m_szSignature.empty())
    Ui().ShowMessage("", kNoSignature, MsgIcon::None, MsgButtons::Ok);
  const int state = m_pEngine->m_nCalcState;
  if (ObservationCount() > 0 && state >= 3 && state <= 5)
    ShowElementText(Window(kIdResultEdit), &m_pEngine->m_state, -1);
}

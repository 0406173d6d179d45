// Loading commands of the view: the observation-file dialog (menu, toolbar,
// Ctrl+O), the two downloads and "計算をやり直す". The loading itself is
// window-free (determination/obs_loading.h).
#include <wx/colour.h>

#include "app/child_frame.h"
#include "data/ui/file_dialogs.h"
#include "data/ui/neocp_dlg.h"
#include "determination/obs_loading.h"
#include "determination/ui/determination_view.h"
#include "determination/ui/mpc_fetch_dlg.h"
#include "determination/ui/obs_list_ctrl.h"
#include "engine/ui/set_vvalue_dlg.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_resource_ids.h"

void CDeterminationView::OpenObsFile(const std::string& path)
{
  ::OpenObsFile(*this, path);
  if (ForecastHooks().reset)
    ForecastHooks().reset(this);
}

int CDeterminationView::ForecastPresenceOfView() const
{
  return ForecastHooks().presence ? ForecastHooks().presence(this) : kForecastNone;
}

void CDeterminationView::BindObsCommands()
{
  // Ctrl+O of the main frame's accelerators arrives as the framework's Open.
  for (int id : {static_cast<int>(ID_OPEN_OBS_FILE), static_cast<int>(wxID_OPEN)})
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnOpenObsFileCommand(); }, id);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnFetchCommand(0); }, ID_FETCH_MPC_OBS);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnFetchCommand(1); }, ID_FETCH_NEOCP_OBS);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnRedoCommand(); }, ID_REDO_CALC);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnVariationAmountsCommand(); }, ID_VARIATION_AMOUNTS);
  for (int id : {ID_FETCH_MPC_OBS, ID_FETCH_NEOCP_OBS, ID_VARIATION_AMOUNTS})
    Bind(wxEVT_UPDATE_UI, [](wxUpdateUIEvent& e) { e.Enable(true); }, id);
  Bind(wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& e) {
    const int forecast = ForecastPresenceOfView();
    if (forecast != kForecastVisible)
      RestoreControlsAfterForecast(*this);
    e.Enable(LoadCommandEnabling(forecast) == Tri::On);
  }, ID_OPEN_OBS_FILE);
  Bind(wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& e) {
    e.Enable(LoadCommandEnabling(ForecastPresenceOfView()) == Tri::On);
  }, ID_REDO_CALC);
}

void CDeterminationView::OnVariationAmountsCommand()
{
  CSetVValue dlg(this, m_pEngine->m_dVariation, &m_pEngine->m_bAutoCalibrate);
  if (dlg.ShowModal() == wxID_OK)
    OnVariationAmountsConfirmed();
}

void CDeterminationView::OnOpenObsFileCommand()
{
  // A calculation that pumps events works on the loaded observations: no new
  // file replaces them under it.
  if (m_pEngine->m_nCalcState == kCalcFatal || EngineBusy(m_pEngine) || ForecastPresenceOfView() == kForecastVisible)
    return;
  std::string path;
  if (ShowFileDialog("観測ファイルを選択してください", kFileDialogOpenObservations, path, this, nullptr, nullptr))
    OpenObsFile(path);
  else
    SetViewCaption("");
}

void CDeterminationView::OnFetchCommand(int neocp)
{
  if (m_pEngine->m_nCalcState == kCalcFatal || EngineBusy(m_pEngine))
    return;
  std::string designation;
  if (neocp) {
    CNeocpDlg dlg(this);
    if (dlg.ShowModal() != wxID_OK)
      return;
    designation = dlg.m_strDesig;
  } else {
    CMpcFetchDlg dlg(this);
    if (dlg.ShowModal() != wxID_OK)
      return;
    designation = dlg.m_strDesignation;
  }
  FetchObsAndOpen(*this, designation, neocp, neocp ? "NEOCPから観測データを取得" : "MPCから観測データを取得");
}

void CDeterminationView::OnRedoCommand()
{
  if (EngineBusy(m_pEngine) || ForecastPresenceOfView() == kForecastVisible)
    return;
  OnRedoCalculation(*this);
  if (ForecastHooks().reset)
    ForecastHooks().reset(this);
}

void CDeterminationView::SetObsListItemCount(int count)
{
  CDeterminationDisplay::SetObsListItemCount(count);
  m_pObsList->SetItemCount(count);
  m_pObsList->Refresh();
}

void CDeterminationView::SetViewCaption(const std::string& text)
{
  CDeterminationDisplay::SetViewCaption(text);
  if (auto* frame = dynamic_cast<CChildFrame*>(GetParent()))
    frame->SetTitle(ToWx(text));
}

void CDeterminationView::RepaintItem(int id)
{
  wxWindow* w = Widget(id);
  if (!w)
    return;
  // The parameter fields show the non-gravitational verdict in their background.
  if (id == kIdNonGravA1Value || id == kIdNonGravA2Value || id == kIdNonGravA3Value) {
    if (m_nNonGravVerdict >= 0) {
      const unsigned c = kVerdictColours[m_nNonGravVerdict];
      w->SetBackgroundColour(wxColour((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
    } else {
      w->SetBackgroundColour(wxNullColour);
    }
  }
  w->Refresh();
}

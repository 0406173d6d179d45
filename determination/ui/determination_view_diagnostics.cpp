// The view's diagnostics commands: the station and era statistics windows
// (modeless, one of each, refilled with every residual refresh) and the
// non-gravitational significance test (modal).
#include "determination/ui/determination_view.h"
#include "determination/ui/fit_diagnostics_dlgs.h"
#include "engine/orbit_engine.h"
#include "resources/determination_ids.h"

void CDeterminationView::BindDiagnosticCommands()
{
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnStationStatsCommand(); }, ID_STATION_STATS);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnEraStatsCommand(); }, ID_ERA_STATS);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnNonGravCheckCommand(); }, ID_NONGRAV_CHECK);
}

void CDeterminationView::OnStationStatsCommand()
{
  if (ObservationCount() == 0)
    return;
  ComputeStationStats();
  if (!m_pObsStat)
    m_pObsStat = new CObsStat(this);
  else
    m_pObsStat->FillTable();
  m_pObsStat->Show();
  m_pObsStat->Raise();
}

void CDeterminationView::OnEraStatsCommand()
{
  if (ObservationCount() == 0)
    return;
  if (!m_pEraStat)
    m_pEraStat = new CEraStat(this);
  else
    m_pEraStat->FillTable();
  m_pEraStat->Show();
  m_pEraStat->Raise();
}

void CDeterminationView::OnNonGravCheckCommand()
{
  // The menu's enabling can lag behind a state that changed meanwhile.
  if (ObservationCount() == 0 || !m_pEngine->m_bNonGrav || m_pEngine->m_nCalcState != kCalcImprovedPerturbed ||
      EngineBusy(m_pEngine))
    return;
  CNonGravCheck dlg(this);
  dlg.ShowModal();
}

void CDeterminationView::RefillDiagnosticWindows()
{
  if (m_pObsStat)
    m_pObsStat->FillTable();
  if (m_pEraStat)
    m_pEraStat->FillTable();
}

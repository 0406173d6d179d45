// Loading an observation file into the view. The reader's array replaces the
// loaded one only when the read succeeded: a file that cannot be read leaves
// the observations and the orbit as they were, with the reader's message.
#include <cstdlib>

#include "data/observation_reader.h"
#include "determination/ui/determination_view.h"
#include "determination/ui/obs_list_ctrl.h"
#include "engine/observation_picking.h"

void CDeterminationView::OpenObsFile(const std::string& path)
{
  if (m_pEngine->m_nCalcState == 7)
    return;
  ObservationRecord* obs = nullptr;
  const int count = CTessaruneLib::GetMpcObs(path, &obs);
  if (count <= 0 || !obs) {
    std::free(obs);
    return;
  }
  std::free(m_pDetClass->m_pOrbObs);
  m_pDetClass->m_pOrbObs = obs;
  m_pDetClass->m_nObsCount = count;
  szObsFile = path;
  m_nPicked = 0;
  m_bResidualsShown = 0;
  m_pObsList->SetItemCount(count);
  m_pObsList->Refresh();
  SetItemText(kIdResultEdit, kMsgPickHint);
  m_pEngine->m_nCalcState = 1;
  UpdateControlsForState(1);
}

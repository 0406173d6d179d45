#include "determination/determination_display.h"
#include "neocp/batch_orbit.h"
#include "neocp/scan_dlg.h"

int CNeocpScanDlg::ComputeBatchOrbit(const std::string& obsPath, NeocpScanRow& row)
{
  auto* view = dynamic_cast<CDeterminationDisplay*>(m_pView);
  if (!view) {
    row.obs_path = obsPath;
    row.status = kScanNoOrbit;
    return -1;
  }
  return ::ComputeBatchOrbit(*view, obsPath, m_settings, row, EngineTextWindow(), this);
}

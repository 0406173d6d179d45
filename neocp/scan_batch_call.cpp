#include "neocp/scan_dlg.h"

int CNeocpScanDlg::ComputeBatchOrbit(const std::string& obsPath, NeocpScanRow& row)
{
  return ScanObjectHost::ComputeScanOrbit(m_settings, obsPath, row);
}

int CNeocpScanDlg::ComputeScanOrbit(const NeocpScanSettings& settings, const std::string& obsPath, NeocpScanRow& row)
{
  // The dialog's tests put their own driver in the dialog's virtual.
  (void)settings;
  return ComputeBatchOrbit(obsPath, row);
}

double CNeocpScanDlg::ObjectSeconds()
{
  return (NowMs() - m_dwObjectStart) / 1000.0;
}

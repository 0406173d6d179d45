// The scan window's follow-up of scanned objects: the known-object match,
// and the progress bar that the catalogue scans drive.
#include <wx/gauge.h>

#include "neocp/ui/neocp_scan_wnd.h"

void CNeocpScanWnd::BindFollowUpEvents()
{
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { MatchKnownObjects(); }, kIdScanMatchKnown);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnShowClonesOnGlobe(); }, kIdScanShowClones);
}

void CNeocpScanWnd::SetProgressRange(int range)
{
  CNeocpScanDlg::SetProgressRange(range);
  if (auto* gauge = dynamic_cast<wxGauge*>(Control(kIdScanProgress)))
    gauge->SetRange(range);
}

void CNeocpScanWnd::SetProgressPos(int pos)
{
  CNeocpScanDlg::SetProgressPos(pos);
  if (auto* gauge = dynamic_cast<wxGauge*>(Control(kIdScanProgress)))
    gauge->SetValue(pos);
}

#include "neocp/systematic_ranging.h"

#include "determination/determination_display.h"
#include "neocp/scan_dlg.h"
#include "neocp/scan_row.h"

int RunSystematicRanging(CDeterminationDisplay& view, const NeocpScanSettings& settings, NeocpScanRow& row,
                         EngineWindow* window, CNeocpScanDlg* dlg) {
  (void)view, (void)settings, (void)window, (void)dlg;
  row.mode = 1;
  row.status = kScanNoOrbit;
  row.note = kMsgRangingNoOrbit;
  return -1;
}

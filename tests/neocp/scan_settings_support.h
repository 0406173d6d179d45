#pragma once
// The scan parameters typed into a dialog's fields (30 days before, 60
// after, minimum 3 observations and no arc, systematic error on).
#include <string>

#include "neocp/scan_dlg.h"

inline void TypeScanSettings(CNeocpScanDlg& dlg, int clones, int timeLimit, int parallel)
{
  dlg.SetItemText(kIdScanClones, std::to_string(clones));
  dlg.SetItemText(kIdScanDaysBefore, "30");
  dlg.SetItemText(kIdScanDaysAfter, "60");
  dlg.SetItemText(kIdScanMinObs, "3");
  dlg.SetItemText(kIdScanMinArc, "0");
  dlg.SetItemText(kIdScanTimeLimit, std::to_string(timeLimit));
  dlg.SetItemText(kIdScanParallel, std::to_string(parallel));
  dlg.SetCheck(kIdScanSysError, 1);
}

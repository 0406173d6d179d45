#pragma once
// Rows and dialogs for the scan tests.
#include <string>
#include <vector>

#include "engine/determination_host.h"
#include "neocp/scan_dlg.h"

// A reset row with a designation and list data.
NeocpScanRow ListRow(const std::string& desig, double score = 50, double nobs = 5, double arc = 0.5,
                     double h = 21.0);
// A row scanned to status 9 with a nominal orbit and clones.
NeocpScanRow CompleteRow(const std::string& desig, double nomDist, double cloDist, int nImpact = 0);

// 2008 TC3's orbit (radians) as a scanned row keeps it.
inline void SetTc3Orbit(NeocpScanRow& r)
{
  r.tpass = 2454775.3;
  r.qdis = 0.8999;
  r.ecc = 0.3121;
  r.peri = 4.09;
  r.node = 3.39;
  r.inc = 0.0443;
}

// A dialog on a fresh scan folder with the given rows as its table.
struct ScanDialogFixture {
  explicit ScanDialogFixture(const std::string& tag);
  void SetTable(const std::vector<NeocpScanRow>& rows);
  std::vector<std::string> DisplayedDesigs() const;
  CDetermination view{false};
  CNeocpScanDlg dlg{&view};
  std::string dir;
};

std::string ReadFileText(const std::string& path);
void WriteFileText(const std::string& path, const std::string& text);

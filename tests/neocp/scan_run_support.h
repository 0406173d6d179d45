#pragma once
// A scan dialog whose orbit driver and observation fetch are the test's own:
// each object gets a result made from its designation (a table of closest
// distances), fetches succeed or fail as told.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "determination/determination_display.h"
#include "neocp/scan_dlg.h"
#include "tests/neocp/scan_fixtures.h"

class FakeOrbitScanDlg : public CNeocpScanDlg {
public:
  using CNeocpScanDlg::CNeocpScanDlg;
  int ComputeBatchOrbit(const std::string& obsPath, NeocpScanRow& row) override;
  int FetchObservations(const std::string& desig, const std::string& path, std::string& error) override;
  void SetStatusText(const std::string& text) override;
  std::vector<std::string> m_statusLines;    // every status line set

  std::map<std::string, double> m_closest;   // desig -> closest-clone distance (AU); absent: 0.01
  std::function<void(int call, NeocpScanRow& row)> m_onCompute;  // runs before the result is set
  std::string m_strFetchError;               // non-empty: every fetch fails with it
  bool m_bRealFetch = false;                 // the observation service's client
  std::vector<std::string> m_computed;       // designations in the order computed
  std::vector<std::string> m_obsPaths;
};

// A dialog on a fresh scan folder with a display view.
struct ScanRunFixture {
  explicit ScanRunFixture(const std::string& tag);
  void SetTable(const std::vector<NeocpScanRow>& rows);
  std::vector<std::string> DisplayedDesigs() const;
  CDeterminationDisplay view{false};
  FakeOrbitScanDlg dlg{&view};
  std::string dir;
};

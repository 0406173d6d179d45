#include "tests/neocp/scan_run_support.h"

#include "tests/common/test_data.h"
#include "tests/neocp/scan_settings_support.h"

int FakeOrbitScanDlg::ComputeBatchOrbit(const std::string& obsPath, NeocpScanRow& row)
{
  m_computed.push_back(row.desig);
  m_obsPaths.push_back(obsPath);
  row.obs_path = obsPath;
  if (m_onCompute)
    m_onCompute(static_cast<int>(m_computed.size()), row);
  if (m_bAbort) {
    row.status = kScanAborted;
    return -9;
  }
  const auto it = m_closest.find(row.desig);
  const NeocpScanRow done = CompleteRow(row.desig, 0.05, it == m_closest.end() ? 0.01 : it->second);
  row.status = kScanComplete;
  row.n_obs = done.n_obs;
  row.n_used = done.n_used;
  row.arc_days = done.arc_days;
  row.rms = done.rms;
  row.qdis = done.qdis;
  row.ecc = done.ecc;
  row.nom_dist = done.nom_dist;
  row.nom_jd = done.nom_jd;
  row.n_clones = done.n_clones;
  row.n_valid = done.n_valid;
  row.clo_dist = done.clo_dist;
  row.clo_jd = done.clo_jd;
  return 0;
}

int FakeOrbitScanDlg::FetchObservations(const std::string& desig, const std::string& path, std::string& error)
{
  if (m_bRealFetch)
    return CNeocpScanDlg::FetchObservations(desig, path, error);
  if (!m_strFetchError.empty()) {
    error = m_strFetchError;
    return 0;
  }
  WriteFileText(path, "     " + desig + "  C2025 01 01.00000 00 00 00.00 +00 00 00.0          20.0 V      500\n");
  return 1;
}

void FakeOrbitScanDlg::SetStatusText(const std::string& text)
{
  CNeocpScanDlg::SetStatusText(text);
  m_statusLines.push_back(text);
}

ScanRunFixture::ScanRunFixture(const std::string& tag) : dir(MakeTempDir(tag))
{
  dlg.m_strScanDir = dir + "NEOCP_scan";
  dlg.m_strFileDir = dlg.m_strScanDir + "/files";
  TypeScanSettings(dlg, 200, 0, 1);
  dlg.m_strMpcHost = "http://127.0.0.1:1";  // the list refresh fails at once
}

void ScanRunFixture::SetTable(const std::vector<NeocpScanRow>& rows)
{
  NeocpScanRow* array = NewScanRowArray(static_cast<int>(rows.size()));
  for (size_t i = 0; i < rows.size(); ++i)
    CopyScanRow(array[i], rows[i]);
  dlg.SetRows(array, static_cast<int>(rows.size()));
}

std::vector<std::string> ScanRunFixture::DisplayedDesigs() const
{
  std::vector<std::string> out;
  for (int i = 0; i < dlg.m_nRows; ++i)
    out.push_back(dlg.m_pRows[dlg.m_pOrder[i]].desig);
  return out;
}

#include "tests/neocp/scan_fixtures.h"

#include <fstream>
#include <sstream>

#include "tests/common/test_data.h"

NeocpScanRow ListRow(const std::string& desig, double score, double nobs, double arc, double h)
{
  NeocpScanRow r;
  ResetScanRow(r, 0);
  r.desig = desig;
  r.score = score;
  r.list_nobs = nobs;
  r.list_arc = arc;
  r.h = h;
  return r;
}

NeocpScanRow CompleteRow(const std::string& desig, double nomDist, double cloDist, int nImpact)
{
  NeocpScanRow r = ListRow(desig);
  r.status = kScanComplete;
  r.nobs_at_scan = r.list_nobs;
  r.n_obs = 5;
  r.n_used = 5;
  r.arc_days = 0.5;
  r.rms = 0.4;
  r.qdis = 1.1;
  r.ecc = 0.3;
  r.nom_dist = nomDist;
  r.nom_jd = 2460700.5;
  r.n_clones = 200;
  r.n_valid = 198;
  r.n_impact = nImpact;
  r.imp_prob = nImpact / 198.0;
  r.clo_dist = cloDist;
  r.clo_jd = 2460701.25;
  r.clo_median = nomDist;
  return r;
}

ScanDialogFixture::ScanDialogFixture(const std::string& tag) : dir(MakeTempDir(tag))
{
  dlg.m_strScanDir = dir + "NEOCP_scan";
  dlg.m_strFileDir = dlg.m_strScanDir + "/files";
}

void ScanDialogFixture::SetTable(const std::vector<NeocpScanRow>& rows)
{
  NeocpScanRow* array = NewScanRowArray(static_cast<int>(rows.size()));
  for (size_t i = 0; i < rows.size(); ++i)
    CopyScanRow(array[i], rows[i]);
  dlg.SetRows(array, static_cast<int>(rows.size()));
}

std::vector<std::string> ScanDialogFixture::DisplayedDesigs() const
{
  std::vector<std::string> out;
  for (int i = 0; i < dlg.m_nRows; ++i)
    out.push_back(dlg.m_pRows[dlg.m_pOrder[i]].desig);
  return out;
}

std::string ReadFileText(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFileText(const std::string& path, const std::string& text)
{
  std::ofstream(path, std::ios::binary) << text;
}

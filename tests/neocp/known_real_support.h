#pragma once
// The real data of the follow-up tests: a planetary file, the station list,
// a catalogue made of the real excerpt lines and the reference orbits of
// 1862 Apollo and 2015 TF202, the real comet lines, and observation nights.
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "data/observation_reader.h"
#include "determination/determination_display.h"
#include "determination/solution_file.h"
#include "engine/ai_improvement.h"
#include "engine/orbit_engine.h"
#include "neocp/batch_orbit.h"
#include "neocp/earth_screening.h"
#include "engine/determination_host.h"
#include "ephemeris/ident_scan.h"
#include "neocp/scan_dlg.h"
#include "platform/app_services.h"
#include "platform/ui_services.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "tests/data/test_observation_support.h"
#include "tests/ephemeris/ident_test_support.h"

// The lines of a file whose columns 16-25 start with date ("" all lines).
inline std::string ObservationNight(const std::string& relative, const std::string& date)
{
  std::istringstream in(ReadTestFile(TestDataPath(relative)));
  std::string line, out;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() >= 80 && (date.empty() || line.compare(15, date.size(), date) == 0)) out += line + "\n";
  }
  return out;
}

// H of an orbit from the observed magnitudes of a file (mean over the
// observations that give one), as the catalogue's H would be derived; 0 when
// none can be had. Needs the station list and the planetary file.
inline double AbsoluteMagnitudeFromObservations(const TestOrbit& o, const std::string& obsFile)
{
  ObservationRecord* obs = nullptr;
  const int n = CTessaruneLib::GetMpcObs(obsFile, &obs);
  if (n < 1) return 0;
  double P[3], Q[3];
  OrbitOrientationVectors(o.peri * kRadPerDeg, o.node * kRadPerDeg, o.incl * kRadPerDeg, P, Q);
  const double T = o.epoch - o.M * kRadPerDeg / (kGaussK / std::pow(o.a, 1.5));
  double sum = 0;
  int used = 0;
  for (int i = 0; i < n; ++i) {
    double ra, dec, delta, r;
    if (obs[i].m_dMag <= 0 ||
        !TwoBodyPositionLightTime(T, o.a * (1 - o.e), o.e, P, Q, obs[i].m_dJdTt, obs[i].m_dSun, 2, ra, dec, delta, r))
      continue;
    const double R = std::sqrt(obs[i].m_dSun[0] * obs[i].m_dSun[0] + obs[i].m_dSun[1] * obs[i].m_dSun[1] +
                               obs[i].m_dSun[2] * obs[i].m_dSun[2]);
    sum += obs[i].m_dMag - PredictedMagnitudeHG(0, o.G, r, delta, R);
    ++used;
  }
  std::free(obs);
  return used ? sum / used : 0;
}

// The catalogue of the acceptance into dir + "MPCORB.DAT"; "" when data is
// missing. TF202's H comes from its first half's magnitudes.
inline std::string WriteFollowUpCatalogue(const std::string& dir)
{
  const std::string excerpt = TestDataPath("catalogues/skyfield_MPCORB.excerpt.DAT");
  TestOrbit apollo, tf;
  if (excerpt.empty() || !TestDataFileExists(excerpt) ||
      !ReadReferenceOrbit(TestDataPath("orbits/orbfit_testout/1862.fel"), "1862", apollo) ||
      !ReadReferenceOrbit(TestDataPath("orbits/orbfit_testout/2015TF202.oel"), "2015TF202_1=2015TF202_2", tf))
    return "";
  apollo.H = 16.06;
  tf.H = AbsoluteMagnitudeFromObservations(tf, TestDataPath("obs/mpc80/orbfit_2015TF202_1.obs"));
  if (!(tf.H > 0)) return "";
  std::string text = "Des'n     H     G   Epoch     M        Peri.      Node       Incl.       e            n           a\n" +
                     std::string(160, '-') + "\n" + ReadTestFile(excerpt);
  text += MpcorbLine("01862", "(1862) Apollo", apollo) + "\n";
  text += MpcorbLine("K15TK2F", "2015 TF202", tf) + "\n";
  return WriteTestFile(dir, "MPCORB.DAT", text);
}

// Planetary file, stations, data folder and settings of the test's own, a
// registered orbit-determination object and a scan dialog on it.
class FollowUpReal : public ::testing::Test {
protected:
  static void SetUpTestSuite()
  {
    s_dir = MakeTempDir("follow_up_real");
    const std::string stations = StationLinesFromObsCodesPage();
    s_stations = stations.empty() ? "" : WriteTestFile(s_dir, "stations.txt", stations);
  }

  void SetUp() override
  {
    const std::string de = TestDataPath("de/lnxp1960p2060.405");
    if (s_stations.empty() || de.empty() || !TestDataFileExists(de))
      GTEST_SKIP() << MissingDataMessage("obscodes/ObsCodes.html and de/lnxp1960p2060.405");
    m_jpl = std::make_unique<JplReaderScope>(s_dir + "no-de441.bin", de);
    m_stations = std::make_unique<ScopedStationsFile>(s_stations);
    CTessaruneApp& app = TheApp();
    m_savedDataDir = app.m_szDataDir;
    m_savedProfile = app.m_profile.Path();
    m_dir = MakeTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    app.m_szDataDir = m_dir;
    app.m_profile.SetPath(m_dir + "Tessarune.INI");
    m_view = std::make_unique<CDeterminationDisplay>();
    m_dlg = std::make_unique<CNeocpScanDlg>(m_view.get());
    m_dlg->m_strScanDir = m_dir + "NEOCP_scan";
    m_dlg->m_strFileDir = m_dlg->m_strScanDir + "/files";
    m_dlg->m_bStateLoaded = 1;
    m_ready = true;
  }

  void TearDown() override
  {
    if (!m_ready) return;
    m_dlg.reset();
    m_view.reset();
    TheApp().m_szDataDir = m_savedDataDir;
    TheApp().m_profile.SetPath(m_savedProfile);
  }

  void SetTable(const std::vector<NeocpScanRow>& rows)
  {
    NeocpScanRow* array = NewScanRowArray(static_cast<int>(rows.size()));
    for (size_t i = 0; i < rows.size(); ++i) CopyScanRow(array[i], rows[i]);
    m_dlg->SetRows(array, static_cast<int>(rows.size()));
  }

  NeocpScanRow& Row(int i) { return m_dlg->m_pRows[i]; }

  // The view's AI orbit of the file, as the scan leaves it, written to each
  // solution path; the message of a failure, else "".
  std::string SolveIntoSolutionFiles(const std::string& obsPath, const std::vector<std::string>& solutions)
  {
    std::string message;
    if (LoadScanObject(*m_view, obsPath, "", message) != 1) return "not loaded: " + message;
    m_view->m_nBatchMode = 1;
    OnAiImprove(*m_view);
    m_view->m_nBatchMode = 0;
    if (m_view->m_nAiResult != 0) return "AI improvement failed";
    for (const std::string& path : solutions)
      if (!WriteSolutionFileForBatch(*m_view, path, m_view->m_pEngine->m_state, "", 0)) return "not written: " + path;
    return "";
  }

  static inline std::string s_dir, s_stations;
  std::string m_dir;
  std::unique_ptr<JplReaderScope> m_jpl;
  std::unique_ptr<ScopedStationsFile> m_stations;
  std::unique_ptr<CDeterminationDisplay> m_view;
  std::unique_ptr<CNeocpScanDlg> m_dlg;
  std::string m_savedDataDir, m_savedProfile;
  bool m_ready = false;
};

// A reference orbit as the engine's element record (angles in radians).
inline CloneRecord OrbitRecord(const TestOrbit& o)
{
  CloneRecord rec{};
  rec.epoch = o.epoch;
  rec.T = o.epoch - o.M * kRadPerDeg / (kGaussK / std::pow(o.a, 1.5));
  rec.q = o.a * (1 - o.e);
  rec.e = o.e;
  rec.peri = o.peri * kRadPerDeg;
  rec.node = o.node * kRadPerDeg;
  rec.incl = o.incl * kRadPerDeg;
  return rec;
}

// The observation service's reply holding these 80-column lines.
inline std::string ObservationReply(const std::string& lines)
{
  std::string s = "[{\"OBS80\": \"";
  std::istringstream in(lines);
  std::string line;
  while (std::getline(in, line)) s += line + "\\n";
  return s + "\"}]";
}

// The Väisälä view on real discoveries: the first night of 2015 TF202 and
// its third night, the first night of C/1998 P1 in the parabolic mode, and a
// file of two designations named through the comet list of a local server.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>

#include "astro/frames.h"
#include "astro/two_body.h"
#include "data/comet_list.h"
#include "data/observation_reader.h"
#include "engine/tool_sinks.h"
#include "ephemeris/vaisala.h"
#include "platform/app_services.h"
#include "tests/data/test_http_server.h"
#include "tests/engine/test_improvement_support.h"
#include "tests/ephemeris/vaisala_test_support.h"

namespace {

// The lines of a file whose date (columns 16-25) starts with prefix.
std::string LinesOfDate(const std::string& text, const std::string& prefix) {
  std::istringstream in(text);
  std::string line, out;
  while (std::getline(in, line))
    if (line.size() > 25 && line.compare(15, prefix.size(), prefix) == 0) out += line + "\n";
  return out;
}


}  // namespace

// No comet list and no download unless a test serves one.
class VaisalaReal : public RealStationsTest {
protected:
  void TearDown() override {
    RealStationsTest::TearDown();
    g_mapCometNames.clear();
    g_bCometNamesLoaded = 0;
  }
  // The dated lines of a shared file in a test file; "" when absent.
  std::string NightFile(const std::string& relative, const std::string& date, const std::string& name) {
    const std::string path = TestDataPath(relative);
    if (path.empty() || !TestDataFileExists(path)) return "";
    return WriteTestFile(s_dir, name, LinesOfDate(ReadTestFile(path), date));
  }

  HeadlessToolSinks m_sinks;
  ScopedToolSinks m_scopedSinks{m_sinks};
};

TEST_F(VaisalaReal, TF202FirstNightPredictsTheThirdAlongALine) {
  const std::string first = NightFile("obs/mpc80/orbfit_2015TF202.obs", "2015 10 10", "tf202_night1.obs");
  if (first.empty()) GTEST_SKIP() << MissingDataMessage("obs/mpc80/orbfit_2015TF202.obs");
  CVaisala view;
  ASSERT_TRUE(view.OpenObsFile(first));
  ASSERT_EQ(view.m_nObs, 5);
  EXPECT_EQ(view.m_strName, "2015 TF202");

  // The third night's first observation, read with its observer.
  ObservationRecord* all = nullptr;
  const std::string whole = NightFile("obs/mpc80/orbfit_2015TF202.obs", "2015 10 12", "tf202_night3.obs");
  ASSERT_GT(CTessaruneLib::GetMpcObs(whole, &all), 0);
  const ObservationRecord third = all[0];
  std::free(all);

  VaisalaObservations in;
  const ObservationRecord &a = view.m_pOrbObs[view.m_nFirst], &b = view.m_pOrbObs[view.m_nLast];
  in.t1 = a.m_dJdTt, in.t2 = b.m_dJdTt, in.ra1 = a.m_dRa, in.dec1 = a.m_dDec, in.ra2 = b.m_dRa, in.dec2 = b.m_dDec;
  for (int k = 0; k < 3; ++k) in.sun1[k] = a.m_dSun[k], in.sun2[k] = b.m_dSun[k];

  // Each distance's prediction, as offsets from the observed place (arcminutes).
  std::vector<VaisalaOrbit> orbits;
  std::vector<std::pair<double, double>> offsets;
  for (int i = 0; i < 14; ++i) {
    const VaisalaOrbit o = VaisalaEllipse(0.25 * (i + 1), in);
    orbits.push_back(o);
    if (o.Failed()) continue;
    double P[3], Q[3], ra, dec, delta, r, nu;
    OrbitOrientationVectors(o.peri, o.node, o.incl, P, Q);
    ASSERT_EQ(TwoBodyGeocentricPosition(o.T, o.q, o.e, P, Q, third.m_dJdTt, third.m_dSun, ra, dec, delta, r, nu), 0);
    double dRa = ra - third.m_dRa;
    dRa -= 2 * M_PI * std::round(dRa / (2 * M_PI));
    offsets.push_back({dRa * std::cos(third.m_dDec) * 10800 / M_PI, (dec - third.m_dDec) * 10800 / M_PI});
    std::printf("delta %.2f a %.3f e %.3f  RA %+7.2f'  Dec %+7.2f'\n", 0.25 * (i + 1), o.a, o.e,
                offsets.back().first, offsets.back().second);
  }
  ASSERT_GE(offsets.size(), 2u);
  ASSERT_FALSE(orbits[0].Failed());
  ASSERT_FALSE(orbits[1].Failed());
  // The observed place lies between the 0.25 and 0.50 AU predictions...
  // (the line runs from +1.3' at 0.25 AU to -3.2' at 3.5 AU in right ascension).
  EXPECT_GT(offsets[0].first, 0);
  EXPECT_LT(offsets[1].first, 0);
  EXPECT_NEAR(offsets[0].first, 1.3, 0.05);
  EXPECT_NEAR(offsets.back().first, -3.2, 0.1);
  // ... within half an arcminute of the line they make.
  double nearest = 1e9;
  for (size_t i = 0; i + 1 < offsets.size(); ++i) {
    const double ax = offsets[i].first, ay = offsets[i].second;
    const double dx = offsets[i + 1].first - ax, dy = offsets[i + 1].second - ay;
    const double t = std::clamp(-(ax * dx + ay * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    nearest = std::min(nearest, std::hypot(ax + t * dx, ay + t * dy));
  }
  std::printf("observed place from the line: %.3f'\n", nearest);
  EXPECT_LT(nearest, 0.5);

  // The view lists them and marks its rules' choice.
  EXPECT_EQ(Marked(view.m_candidateLines), 1);
  const int pick = PickEllipseIndex(orbits);
  ASSERT_GE(pick, 0);
  ASSERT_GE(view.m_nCandidateSel, 0);
  EXPECT_EQ(view.m_distances[view.m_nCandidateSel], 0.25 * (pick + 1));
  EXPECT_EQ(view.m_chosen[1], orbits[pick].q);
  EXPECT_EQ(view.m_residualLines.size(), 5u);
  EXPECT_NE(view.m_strEpochField.find("TT = JDT"), std::string::npos);
}

TEST_F(VaisalaReal, C1998P1FirstNightParabolicMarksOneBestLine) {
  const std::string night = NightFile("obs/mpc80/orbitfinder_C_1998_P1.txt", "1998 08 11", "p1_night1.obs");
  if (night.empty()) GTEST_SKIP() << MissingDataMessage("obs/mpc80/orbitfinder_C_1998_P1.txt");
  CVaisala view;
  ASSERT_TRUE(view.OpenObsFile(night));
  view.OnParabolic();
  std::printf("%zu lines, best %s\n", view.m_candidateLines.size(),
              view.m_nCandidateSel >= 0 ? view.m_candidateLines[view.m_nCandidateSel].c_str() : "none");
  EXPECT_LE(view.m_candidateLines.size(), 197u);
  EXPECT_GT(view.m_candidateLines.size(), 0u);
  EXPECT_EQ(Marked(view.m_candidateLines), 1);
  EXPECT_EQ(view.m_chosen[2], 1.0);
  EXPECT_TRUE(view.HasChosenOrbit());
  EXPECT_EQ(view.m_strText.find("Orbital elements:\r\nC/1998 P1\r\nT 1998 "), 0u);
}

TEST_F(VaisalaReal, TwoDesignationsShowBothNamesWithTheCometsName) {
  const std::string p1 = TestDataPath("obs/mpc80/orbitfinder_C_1998_P1.txt");
  if (p1.empty() || !TestDataFileExists(p1)) GTEST_SKIP() << MissingDataMessage("obs/mpc80/orbitfinder_C_1998_P1.txt");
  // The comet list from a local server, fetched once.
  const std::string srv = s_dir + "srv/";
  std::filesystem::create_directories(srv);
  // The shared list's lines and one more under C/1998 P1's key and name (with Hale-Bopp's elements).
  const std::string shared = TestDataPath("catalogues/skyfield_CometEls.txt");
  if (!TestDataFileExists(shared)) GTEST_SKIP() << MissingDataMessage("catalogues/skyfield_CometEls.txt");
  const std::string list = ReadTestFile(shared) + ReadTestFile(shared);  // a list is at least 1000 bytes
  WriteTestFile(srv, "AllCometEls.txt", list +
                "    CJ98P010  1997 03 29.6884  0.911359  0.994936  130.5984  283.3688   88.9864  20200707  -2.0  4.0  "
                "C/1998 P1 (Williams)                                     MPC 32384\n");
  LocalHttpServer server(srv);
  ASSERT_TRUE(server.Running());
  const std::string savedIni = TheApp().m_profile.Path();
  TheApp().m_profile.SetPath(s_dir + "Tessarune.INI");
  ASSERT_TRUE(TheApp().m_profile.WriteString("SYSTEM", "COMETELSURL", server.Url("/files/AllCometEls.txt").c_str()));
  g_bCometElsDownloadTried = 0;
  g_mapCometNames.clear();
  g_bCometNamesLoaded = 0;

  std::string lines = LinesOfDate(ReadTestFile(p1), "1998 08 11");
  std::string other = lines.substr(0, lines.find('\n') + 1);
  other.replace(0, 12, "     J98P01A");
  const std::string file = WriteTestFile(s_dir, "two.obs", lines + other);
  CVaisala view;
  const bool opened = view.OpenObsFile(file);
  TheApp().m_profile.SetPath(savedIni);
  ASSERT_TRUE(opened);
  EXPECT_EQ(view.m_strName, "C/1998 P1 (Williams) = 1998 PA1");
  EXPECT_EQ(g_bCometElsDownloadTried, 1);
}

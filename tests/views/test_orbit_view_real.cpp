// The orbit diagram on real data: where the Earth stands in the
// heliocentric scene, the 2029 approaches of (99942) Apophis recorded by a
// real integration, and the arc of 1I/ʻOumuamua on its hyperbola.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "astro/jpl_eph.h"
#include "astro/time_scales.h"
#include "platform/app_services.h"
#include "tests/common/test_data.h"
#include "tests/engine/test_integration_support.h"
#include "tests/views/recording_canvas.h"
#include "views/orbit_view.h"

namespace {

class OrbitViewReal : public ::testing::Test {
protected:
  void SetUp() override {
    const std::string de = TestDataPath("de/lnxp1960p2060.405");
    if (de.empty() || !TestDataFileExists(de)) GTEST_SKIP() << MissingDataMessage("de/lnxp1960p2060.405");
    m_saved441 = TheApp().m_szDe441File;
    m_saved406 = TheApp().m_szDe406File;
    TheApp().m_szDe441File = de;
    TheApp().m_szDe406File = "";
    delete g_pJplEph;
    g_pJplEph = new CJplEph(TheApp().Paths());
    ASSERT_TRUE(g_pJplEph->IsOpen());
    m_opened = true;
    m_savedRadius = g_dGeoTrackRadius;
    GeoTrackBuffer::Instance().Reset();
  }
  void TearDown() override {
    if (!m_opened) return;
    GeoTrackBuffer::Instance().Reset();
    g_dGeoTrackRadius = m_savedRadius;
    delete g_pJplEph;
    g_pJplEph = nullptr;
    TheApp().m_szDe441File = m_saved441;
    TheApp().m_szDe406File = m_saved406;
  }
  std::string m_saved441, m_saved406;
  bool m_opened = false;
  double m_savedRadius = 0.05;
};

// The Earth's marker: the first planet drawn.
ScenePoint EarthMarker(const RecordingCanvas& g) {
  for (const auto& s : g.shapes)
    if (s.kind == 'f' && s.argb == 0xFFFFF0B4) return s.pts[0];
  ADD_FAILURE() << "no planet drawn";
  return {};
}

} // namespace

// Seen from the ecliptic pole at azimuth 0: at the March equinox the Sun
// stands at longitude 0 from the Earth, so the Earth lies at 180° from the
// Sun (left); at the June solstice at 270° (below).
TEST_F(OrbitViewReal, EarthAroundTheSunFromThePole) {
  struct Case {
    int month, day;
    float dx, dy;  // expected direction from the Sun on the screen
  } cases[] = {{3, 20, -1, 0}, {6, 21, 0, 1}};
  for (const Case& c : cases) {
    COrbitViewDlg v;
    double y = 2024, m = c.month, d = c.day;
    const double jd = CalendarToJd(y, m, d);
    v.SetObject(jd, 1.5, 0.1, 0, 0, 0, jd, "x");
    v.m_dElevation = 90;
    v.m_dScale = 100;
    RecordingCanvas g;
    v.DrawHeliocentric(g, 600, 400);
    const ScenePoint e = EarthMarker(g);
    EXPECT_NEAR((e.x - 300) / 100, c.dx, 0.02) << c.month;
    EXPECT_NEAR((e.y - 200) / 100, c.dy, 0.02) << c.month;
  }
}

// The integration through 2029 April 13 records the path inside 0.05 AU;
// JPL's close-approach data give 21:46 UTC (21:47 TT) at 38,012 km from the
// Earth's centre. The Moon passes about 96,000 km from Apophis the next day.
TEST_F(OrbitViewReal, ApophisApproachesOf2029) {
  g_dGeoTrackRadius = 0.05;
  TestRun run;
  run.Prepare(kApophisT0, kApophisR, kApophisV, kApophisT0 + 200.0, 0.0, true);
  run.state->m_pGeoTrack = &GeoTrackBuffer::Instance();
  ASSERT_EQ(run.Run(), 0);
  ASSERT_GT(GeoTrackBuffer::Instance().m_nCount, 100);
  COrbitViewDlg v;
  ASSERT_EQ(v.FindEarthApproach(), 1);
  const SceneDateTime d = SceneDateOf(v.m_dEarthCaJd + 0.5 / 1440);
  std::printf("Earth %d/%d/%d %d:%02d TT %.0f km\n", d.year, d.month, d.day, d.hour, d.minute,
              v.m_dEarthCaDist * kTestKmPerAu);
  EXPECT_NEAR(v.m_dEarthCaJd, 2462239.5 + (21 * 60 + 47) / 1440.0, 2.0 / 1440);
  EXPECT_NEAR(v.m_dEarthCaDist * kTestKmPerAu, 38012, 10);
  ASSERT_EQ(v.FindMoonApproach(), 1);
  std::printf("Moon JD %.4f %.0f km\n", v.m_dMoonCaJd, v.m_dMoonCaDist * kTestKmPerAu);
  EXPECT_GT(v.m_dMoonCaJd, v.m_dEarthCaJd);
  EXPECT_LT(v.m_dMoonCaJd, v.m_dEarthCaJd + 1.5);
  EXPECT_NEAR(v.m_dMoonCaDist * kTestKmPerAu, 96000, 3000);
}

namespace {

// Dates of the observations of an 80-column file (columns 16-32), second
// lines of satellite and roving observers left out.
std::vector<double> ObservationDates(const std::string& path) {
  std::vector<double> times;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() < 32 || line[14] == 's' || line[14] == 'v') continue;
    double y = std::atof(line.substr(15, 4).c_str()), m = std::atof(line.substr(20, 2).c_str()),
           d = std::atof(line.substr(23, 9).c_str());
    times.push_back(CalendarToJd(y, m, d));
  }
  return times;
}

// Ecliptic x, y of a hyperbolic orbit at t, from the hyperbolic anomaly.
void HyperbolaEcliptic(double t, double T, double q, double e, double peri, double node, double incl, double& x,
                       double& y) {
  const double a = q / (e - 1), M = 0.01720209895 * (t - T) / std::pow(a, 1.5);
  double H = std::asinh(M / e);
  for (int i = 0; i < 50; ++i) H -= (e * std::sinh(H) - H - M) / (e * std::cosh(H) - 1);
  const double r = a * (e * std::cosh(H) - 1);
  const double v = 2 * std::atan(std::sqrt((e + 1) / (e - 1)) * std::tanh(H / 2));
  const double u = peri + v;
  x = r * (std::cos(node) * std::cos(u) - std::sin(node) * std::sin(u) * std::cos(incl));
  y = r * (std::sin(node) * std::cos(u) + std::cos(node) * std::sin(u) * std::cos(incl));
}

}  // namespace

// 1I/ʻOumuamua on its retrograde hyperbola (e 1.2, i 123°), seen from the
// ecliptic pole: every observation time gets its place on the arc where the
// hyperbola puts it, the places turn clockwise about the Sun, and the orbit
// is drawn above and below the ecliptic.
TEST(OrbitViewInterstellar, RetrogradeHyperbolaWithItsArc) {
  const std::string path = TestDataPath("obs/mpc80/orbitfinder_1I.txt");
  if (path.empty() || !TestDataFileExists(path)) GTEST_SKIP() << MissingDataMessage("obs/mpc80/orbitfinder_1I.txt");
  const std::vector<double> times = ObservationDates(path);
  ASSERT_GT(times.size(), 100u);
  constexpr double kDeg = 3.14159265358979323846 / 180;
  const double T = 2458006.0073, q = 0.25521, e = 1.20113;
  const double peri = 241.8105 * kDeg, node = 24.5997 * kDeg, incl = 122.7417 * kDeg;
  COrbitViewDlg v;
  v.SetObject(T, q, e, peri, node, incl, 2458080.5, "1I/ʻOumuamua");
  v.SetObservationTimes(times.data(), static_cast<int>(times.size()), 1);
  v.m_dElevation = 90;
  v.m_dScale = 100;
  RecordingCanvas g;
  v.DrawHeliocentric(g, 800, 800);
  std::vector<ScenePoint> arc;
  for (const auto& s : g.shapes)
    if (s.kind == 'f' && s.argb == 0xFFFFDC3C) arc.push_back(s.pts[0]);
  ASSERT_EQ(arc.size(), times.size());
  std::vector<std::pair<double, ScenePoint>> places;
  for (size_t i = 0; i < arc.size(); ++i) places.push_back({times[i], arc[i]});
  std::sort(places.begin(), places.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  double worst = 0, turned = 0;
  for (size_t i = 0; i < places.size(); ++i) {
    const ScenePoint p = places[i].second;
    double x, y;
    HyperbolaEcliptic(places[i].first, T, q, e, peri, node, incl, x, y);
    worst = std::max(worst, double(std::hypot(p.x - (400 + 100 * x), p.y - (400 - 100 * y))));
    if (i > 0) {
      const ScenePoint o = places[i - 1].second;
      turned += std::remainder(std::atan2(400 - p.y, p.x - 400) - std::atan2(400 - o.y, o.x - 400),
                               2 * 3.14159265358979323846);
    }
  }
  std::printf("1I: %zu places, largest offset %.3f px, turned %.1f deg\n", arc.size(), worst, turned / kDeg);
  EXPECT_LT(worst, 0.01);
  EXPECT_LT(turned, -5 * kDeg);  // clockwise seen from the north (measured -9.9°)
  EXPECT_GT(g.Count('p', 0xFFFF2828), 0);
  EXPECT_GT(g.Count('p', 0xFF821414), 0);
}

// The planets' paths across the sky of the recorded period: Mars's path
// starts where the planetary file puts Mars at the track's first time, and
// follows a new record with other times at the next drawing.
TEST_F(OrbitViewReal, PlanetPathsFollowTheTrackPeriod) {
  g_dGeoTrackRadius = 5;
  COrbitViewDlg v;
  v.m_bGeocentric = 1;
  v.m_dScale = 150;  // half extent 2 AU in 600 x 600: Mercury to Jupiter
  constexpr uint32_t kMars = 0xFFE1785F;
  for (const double start : {2460000.5, 2460400.5}) {
    GeoTrackBuffer& track = GeoTrackBuffer::Instance();
    track.Reset();
    for (int i = 0; i <= 300; ++i) {
      const double p[3] = {0.5 + 0.001 * i, 0.2, 0.1};
      track.Append(start + i, p);
    }
    RecordingCanvas g;
    v.DrawGeocentric(g, 600, 600);
    const RecordingCanvas::Shape* path = nullptr;
    for (const auto& s : g.shapes)
      if (s.kind == 'p' && s.argb == kMars) path = path ? path : &s;
    ASSERT_NE(path, nullptr) << start;
    double mars[3];
    ASSERT_EQ(JplPosition(start, 4, 3, mars), 0);
    const ScenePoint expected = v.Project(mars[0], mars[1], mars[2], 600, 600);
    EXPECT_NEAR(path->pts[0].x, expected.x, 1e-3) << start;
    EXPECT_NEAR(path->pts[0].y, expected.y, 1e-3) << start;
    EXPECT_EQ(path->pts.size(), 102u);  // 2 + 300 / 3 samples
    EXPECT_EQ(g.Count('p', 0xFFAAA096), 1) << "Mercury";
  }
}

// The approach to the Moon is refined between the best point and its
// neighbours of the same run, one earlier and one later; on a run recorded
// backwards in time the neighbours are not, and the best point stays.
TEST_F(OrbitViewReal, MoonApproachRefinedOnlyBetweenEarlierAndLaterNeighbours) {
  g_dGeoTrackRadius = 5;
  const double t0 = 2460000.5;
  const double offsets[3][2] = {{t0 - 0.5, 0.003}, {t0, 0.001}, {t0 + 0.5, -0.0012}};  // time, x from the Moon
  for (const bool bBackwards : {false, true}) {
    GeoTrackBuffer& track = GeoTrackBuffer::Instance();
    track.Reset();
    for (int k = 0; k < 3; ++k) {
      const auto& o = offsets[bBackwards ? 2 - k : k];
      double moon[3];
      ASSERT_EQ(JplPosition(o[0], 10, 3, moon), 0);
      const double p[3] = {moon[0] + o[1], moon[1], moon[2]};
      track.Append(o[0], p);
    }
    COrbitViewDlg v;
    ASSERT_EQ(v.FindMoonApproach(), 1);
    if (bBackwards) {
      EXPECT_EQ(v.m_dMoonCaJd, t0);
      EXPECT_NEAR(v.m_dMoonCaDist, 0.001, 1e-12);
    } else {
      // The offset, shrinking by 0.0044 AU a day, passes zero 0.227 day
      // after t0; the 41 samples over the day come within 0.0125 day of
      // it, where the offset is below 5.5e-5 AU (the Moon's curve adds
      // some 4e-6 AU to the straight lines).
      std::printf("Moon approach %.4f d after t0 at %.2e AU\n", v.m_dMoonCaJd - t0, v.m_dMoonCaDist);
      EXPECT_NEAR(v.m_dMoonCaJd, t0 + 0.227, 0.0125);
      EXPECT_LT(v.m_dMoonCaDist, 6e-5);
    }
  }
}

// The orbit diagram on the planetary file: where the Earth stands in the
// heliocentric scene, and the 2029 approaches of (99942) Apophis recorded by
// a real integration.
#include <cstdio>

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
    g_pJplEph = new CJplEph;
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

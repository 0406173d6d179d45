// The orbit diagram without its window: the view, the two-body place, the
// track's approaches and marks, and what the scenes draw.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include <gtest/gtest.h>

#include "astro/constants.h"
#include "astro/frames.h"
#include "astro/two_body.h"
#include "tests/views/recording_canvas.h"
#include "views/orbit_view.h"
#include "views/polyline_thinning.h"

namespace {

constexpr double kDegRad = 3.14159265358979323846 / 180;

// A view with a client area of its own.
struct SizedView : COrbitViewDlg {
  int w = 800, h = 500;
  int redraws = 0;
  bool HasWindow() const override { return true; }
  void ClientSize(int& cw, int& ch) const override { cw = w, ch = h; }
  void Redraw() override { ++redraws; }
};

struct TrackFixture : ::testing::Test {
  void SetUp() override {
    m_savedRadius = g_dGeoTrackRadius;
    g_dGeoTrackRadius = 5;
    GeoTrackBuffer::Instance().Reset();
  }
  void TearDown() override {
    GeoTrackBuffer::Instance().Reset();
    g_dGeoTrackRadius = m_savedRadius;
  }
  static void Add(double t, double x, double y, double z) {
    const double p[3] = {x, y, z};
    GeoTrackBuffer::Instance().Append(t, p);
  }
  double m_savedRadius = 0.05;
};

} // namespace

TEST(OrbitViewFit, ExtentsAndScales) {
  struct Case {
    double q, e;
    bool object;
    double extent;
  } cases[] = {
      {1, 0.5, true, 3}, {2, 1, true, 15}, {0.1, 0.2, true, 1.5}, {30, 0.9, true, 80}, {0, 0, false, 32},
  };
  for (const Case& c : cases) {
    SizedView v;
    if (c.object) v.SetObject(2460000.5, c.q, c.e, 0, 0, 0, 2460000.5, "x");
    v.FitScale();
    EXPECT_NEAR(v.m_dScale, 0.42 * 500 / c.extent, 1e-12) << c.q << " " << c.e;
  }
  SizedView geo;
  geo.m_bGeocentric = 1;
  geo.m_nStereoMode = 1;
  geo.FitScale();  // an empty track: 1.3 lunar distances over half of 800
  EXPECT_NEAR(geo.m_dScale, 0.42 * 400 / (1.3 * kLunarDistanceAu), 1e-6);
  COrbitViewDlg windowless;
  windowless.FitScale();
  EXPECT_NEAR(windowless.m_dScale, 0.42 * 500 / 32, 1e-12);
}

TEST(OrbitViewFit, EachSceneKeepsItsOwnView) {
  SizedView v;
  v.SetObject(2460000.5, 1, 0.5, 0, 0, 0, 2460000.5, "x");
  v.OnLeftDown(100, 100);
  v.OnMouseMove(150, 80);
  v.OnLeftUp();
  EXPECT_DOUBLE_EQ(v.m_dAzimuth, 20);
  EXPECT_DOUBLE_EQ(v.m_dElevation, 52);
  v.OnGeocentricCheck(true);
  EXPECT_EQ(v.m_dAzimuth, 0);
  EXPECT_EQ(v.m_bUserMoved, 0);
  v.OnGeocentricCheck(false);
  EXPECT_DOUBLE_EQ(v.m_dAzimuth, 20);
  EXPECT_DOUBLE_EQ(v.m_dElevation, 52);
  EXPECT_EQ(v.m_bUserMoved, 1);
  // A new orbit keeps a moved view; a double-click gives the fitted one back.
  v.SetObject(2460000.5, 2, 0.1, 0, 0, 0, 2460000.5, "y");
  EXPECT_DOUBLE_EQ(v.m_dAzimuth, 20);
  v.OnLeftDoubleClick();
  EXPECT_EQ(v.m_dAzimuth, 0);
  EXPECT_EQ(v.m_bUserMoved, 0);
}

TEST(OrbitViewTitle, AlternativeTitleFollowsTheName) {
  COrbitViewDlg v;
  v.SetObject(2460000.5, 1, 0.5, 0, 0, 0, 2460000.5, "(433) Eros");
  v.SetAltTitle("  433  ");
  v.m_bShowAltTitle = 1;
  v.SetAltTitle("(433) Eros");  // the name itself is no alternative
  EXPECT_EQ(v.m_strAltTitle, "");
  EXPECT_EQ(v.m_bShowAltTitle, 0);
  v.SetAltTitle("433");
  v.m_bShowAltTitle = 1;
  v.SetObject(2460001.5, 1, 0.5, 0, 0, 0, 2460001.5, "(433) Eros");
  EXPECT_EQ(v.m_strAltTitle, "433");
  EXPECT_EQ(v.m_bShowAltTitle, 1);
  v.SetObject(2460001.5, 1, 0.5, 0, 0, 0, 2460001.5, nullptr);
  EXPECT_EQ(v.m_strAltTitle, "");
  EXPECT_EQ(v.m_bShowAltTitle, 0);
}

// The two-body place against the library's universal-variable solution, from
// circles to strong hyperbolas, near and far from perihelion.
TEST(OrbitViewKepler, AgreesWithTheUniversalSolution) {
  const double es[] = {0, 0.3, 0.9, 0.97, 0.975, 0.99, 1.0, 1.01, 1.1, 1.2, 1.5, 5};
  const double dts[] = {-3000, -400, -40, -1, 0.5, 30, 200, 5000};
  double worst = 0;
  for (double e : es) {
    COrbitViewDlg v;
    v.SetObject(2460000.5, 0.8, e, 1.1, 2.2, 0.4, 2460000.5, "x");
    double P[3], Q[3];
    OrbitOrientationVectors(1.1, 2.2, 0.4, P, Q);
    for (double dt : dts) {
      double a[3], b[3];
      ASSERT_TRUE(v.KeplerPosition(2460000.5 + dt, P, Q, a)) << e << " " << dt;
      ASSERT_EQ(PropagateUniversal(dt, 0.8, e, P, Q, b, nullptr), 0);
      const double d = std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
      worst = std::max(worst, d);
      EXPECT_LT(d, 3e-10) << "e " << e << " dt " << dt;
    }
  }
  std::printf("largest difference %.2e AU\n", worst);
  COrbitViewDlg none;
  double P[3] = {1, 0, 0}, Q[3] = {0, 1, 0}, pos[3];
  EXPECT_FALSE(none.KeplerPosition(2460000.5, P, Q, pos));
}

TEST(OrbitViewArc, ObservedPositionsAreThinnedToAbout2000) {
  const auto idx = COrbitViewDlg::ObservedPositionIndices(5000);
  ASSERT_EQ(idx.size(), 1668u);
  EXPECT_EQ(idx[1], 3);
  EXPECT_EQ(idx[1666], 4998);
  EXPECT_EQ(idx.back(), 4999);
  EXPECT_EQ(COrbitViewDlg::ObservedPositionIndices(2000).size(), 2000u);
  EXPECT_TRUE(COrbitViewDlg::ObservedPositionIndices(0).empty());
}

// At 60 pixels per AU in 600 x 400 the limit radius is about 9.6 AU: Saturn's
// orbit is cut where it passes it, Uranus's is not drawn, the Earth's whole.
TEST(OrbitViewScene, PlanetOrbitsStopAtTheLimitRadius) {
  SizedView v;
  v.m_dScale = 60;
  RecordingCanvas g;
  v.DrawHeliocentric(g, 600, 400);
  int earth = 0, others = 0;
  for (const auto& s : g.shapes) {
    if (s.kind != 'p') continue;
    if (s.argb == 0xFF5A96FF) earth += static_cast<int>(s.pts.size());
    if (s.argb == 0xFF5AC8BE) others += static_cast<int>(s.pts.size());
  }
  EXPECT_EQ(earth, 257);
  // Mercury to Saturn, not Uranus; Saturn's arc stays open on its far side.
  EXPECT_EQ(others, 5 * 257);
  const auto& saturn = *std::find_if(g.shapes.rbegin(), g.shapes.rend(),
                                     [](const RecordingCanvas::Shape& s) { return s.argb == 0xFF5AC8BE; });
  EXPECT_GT(std::hypot(saturn.pts.front().x - saturn.pts.back().x, saturn.pts.front().y - saturn.pts.back().y),
            100.0f);
  // The Sun is small at this scale: the two fixed circles, no texture tried.
  EXPECT_EQ(g.Count('f', 0xFFFFF5C8), 1);
  EXPECT_EQ(g.textureCalls, 0);
  v.m_dScale = 1000;
  RecordingCanvas big;
  v.DrawHeliocentric(big, 600, 400);
  EXPECT_EQ(big.Count('g', 0xFFFFFCEB), 1);  // the gradient disc without a picture
}

TEST(OrbitViewScene, ObjectLabelAvoidsEdgesAndLabels) {
  SizedView v;
  // Near the top-right corner the label goes to the marker's left.
  ScenePoint p = v.PlaceObjectLabel(590, 20, 50, 14, 600, 400);
  EXPECT_FLOAT_EQ(p.x, 590 - 6 - 50);
  EXPECT_FLOAT_EQ(p.y, 12);
  // With the epoch line over the first places the label goes below the marker.
  RecordingCanvas g;
  v.SetObject(2460000.5, 1, 0.5, 0, 0, 0, 2460000.5, "ABCDEFGHIJKL");
  v.DrawHeliocentric(g, 600, 400);  // records the title at (8, 8) and the epoch at (8, 27)
  p = v.PlaceObjectLabel(60, 40, 50, 14, 600, 400);
  EXPECT_FLOAT_EQ(p.x, 35);
  EXPECT_FLOAT_EQ(p.y, 50);
  // Where nothing fits, the first place.
  p = v.PlaceObjectLabel(20, 20, 50, 14, 600, 400);
  EXPECT_FLOAT_EQ(p.x, 26);
  EXPECT_FLOAT_EQ(p.y, 12);
}

TEST_F(TrackFixture, ShrinkingTheRangeDropsFarPointsForGood) {
  SizedView v;
  g_dGeoTrackRadius = 1;
  for (int i = 0; i < 10; ++i) Add(2460000.5 + i, 0.02 + 0.1 * i, 0, 0);
  v.OnRangeChange(1);  // 0.1 AU
  GeoTrackBuffer& tr = GeoTrackBuffer::Instance();
  ASSERT_EQ(tr.m_nCount, 1);
  EXPECT_EQ(tr.m_pTimes[0], 2460000.5);
  v.OnRangeChange(4);  // 1 AU again
  EXPECT_EQ(tr.m_nCount, 1);
  EXPECT_EQ(g_dGeoTrackRadius, 1);
  v.OnRangeChange(9);  // no such row
  EXPECT_EQ(g_dGeoTrackRadius, 1);
}

// The nearest point of a segment between two recorded points; a point of
// another run or more than a day away is not used.
TEST_F(TrackFixture, EarthApproachOnTheSegment) {
  COrbitViewDlg v;
  Add(100.0, -0.01, 0.002, 0);
  Add(100.5, 0.01, 0.002, 0);
  Add(101.0, 0.03, 0.002, 0);
  ASSERT_EQ(v.FindEarthApproach(), 1);
  EXPECT_NEAR(v.m_dEarthCaDist, 0.002, 1e-15);
  EXPECT_NEAR(v.m_dEarthCaJd, 100.25, 1e-12);
  GeoTrackBuffer::Instance().Reset();
  Add(100.0, -0.012, 0.002, 0);
  ++GeoTrackBuffer::Instance().m_nSegment;
  Add(100.5, 0.01, 0.002, 0);
  Add(102.0, 0.03, 0.002, 0);
  ASSERT_EQ(v.FindEarthApproach(), 1);
  EXPECT_NEAR(v.m_dEarthCaDist, std::hypot(0.01, 0.002), 1e-15);
  EXPECT_EQ(v.m_dEarthCaJd, 100.5);
  GeoTrackBuffer::Instance().Reset();
  EXPECT_EQ(v.FindEarthApproach(), 0);
}

// A new run that records as many points as the last one must not keep the
// last run's approach.
TEST_F(TrackFixture, ANewRunOfEqualLengthRefreshesTheApproach) {
  SizedView v;
  v.m_bGeocentric = 1;
  v.m_bShowEarthCa = 1;
  Add(100.0, 0.01, 0.0, 0);
  Add(100.5, 0.02, 0.0, 0);
  RecordingCanvas first;
  v.DrawGeocentric(first, 800, 500);
  EXPECT_NEAR(v.m_dEarthCaDist, 0.01, 1e-15);
  GeoTrackBuffer::Instance().Reset();
  Add(200.0, 0.004, 0.0, 0);
  Add(200.5, 0.02, 0.0, 0);
  RecordingCanvas second;
  v.DrawGeocentric(second, 800, 500);
  EXPECT_NEAR(v.m_dEarthCaDist, 0.004, 1e-15);
  EXPECT_EQ(v.m_dEarthCaJd, 200.0);
}

TEST_F(TrackFixture, PathJoinsOnlyNeighboursOfOneRun) {
  SizedView v;
  v.m_bGeocentric = 1;
  Add(0, 0.001, 0, 0);
  Add(5, 0.002, 0, 0);
  Add(17, 0.003, 0, 0);  // 12 days later: not joined
  Add(18, 0.004, 0, 0);
  ++GeoTrackBuffer::Instance().m_nSegment;
  Add(18.1, 0.004, 0.0001, 0);  // another run: not joined, however close
  RecordingCanvas g;
  v.DrawGeocentric(g, 800, 500);
  std::vector<size_t> runs;
  for (const auto& s : g.shapes)
    if (s.kind == 'p' && s.argb == 0xFFFFE650) runs.push_back(s.pts.size());
  EXPECT_EQ(runs, (std::vector<size_t>{2, 2}));
}

TEST_F(TrackFixture, ObservationMarksInterpolatedOnTheTrack) {
  COrbitViewDlg v;
  Add(10, 0.01, 0, 0);
  Add(12, 0.03, 0.02, 0);
  Add(30, 0.05, 0, 0);  // 18 days on: no marks between
  const double times[] = {11.5, 10, 20, 9};
  v.SetObservationTimes(times, 4, 1);
  v.UpdateObsTrackPoints();
  ASSERT_EQ(v.m_obsTrackPoints.size(), 2u);
  EXPECT_NEAR(v.m_obsTrackPoints[0][0], 0.01, 1e-15);
  EXPECT_NEAR(v.m_obsTrackPoints[1][0], 0.025, 1e-15);
  EXPECT_NEAR(v.m_obsTrackPoints[1][1], 0.015, 1e-15);
}

TEST_F(TrackFixture, TextsOfTheGeocentricScene) {
  SizedView v;
  v.m_bGeocentric = 1;
  RecordingCanvas empty;
  g_dGeoTrackRadius = 0.05;
  Add(100, 0.01, 0, 0);  // one point: the message
  v.DrawGeocentric(empty, 800, 500);
  ASSERT_NE(empty.FindText("地心0.05 AU(月までの約19倍)"), nullptr);
  // One lunar distance reached at 23:59:50 TT shows as the next day 0:00.
  GeoTrackBuffer::Instance().Reset();
  const double jd = 2461000.5 - 10.0 / 86400;  // 2025-11-21 0h less 10 s
  Add(jd - 0.25, kLunarDistanceAu * 3, 0, 0);
  Add(jd, kLunarDistanceAu, 0, 0);
  Add(jd + 0.25, kLunarDistanceAu * 3, 0.001, 0);
  v.m_bShowEarthCa = 1;
  RecordingCanvas g;
  v.DrawGeocentric(g, 800, 500);
  const auto* line = g.FindText("地球に最接近");
  ASSERT_NE(line, nullptr);
  EXPECT_NE(line->text.find("2025/11/21 0:00  38.4 万km  (月までの距離の 1.00 倍)"), std::string::npos) << line->text;
  ASSERT_NE(g.FindText("38.4 万km"), nullptr);
}

namespace {

// Largest distance of the original points from the thinned polyline.
float LargestDeparture(const std::vector<ScenePoint>& pts, const std::vector<ScenePoint>& thin) {
  float worst = 0;
  for (const ScenePoint& p : pts) {
    float best = 1e30f;
    for (size_t k = 1; k < thin.size(); ++k) best = std::min(best, SegmentDistance2(p, thin[k - 1], thin[k]));
    worst = std::max(worst, std::sqrt(best));
  }
  return worst;
}

}  // namespace

// A dense spiral keeps a fraction of its points and every point it drops lies
// within the tolerance of what is drawn; a path that turns back keeps its
// turning point; a straight run drops at most 32 points in a row.
TEST(PolylineThinning, SamePictureWithFewerPoints) {
  std::vector<ScenePoint> spiral;
  for (int i = 0; i < 4000; ++i) {
    const float a = 0.02f * i, r = 5 + 0.06f * i;
    spiral.push_back({400 + r * std::cos(a), 300 + r * std::sin(a)});
  }
  const auto thin = ThinPolyline(spiral, 0.25f);
  std::printf("spiral: %zu of %zu points kept\n", thin.size(), spiral.size());
  EXPECT_LT(thin.size(), spiral.size() / 3);
  EXPECT_LE(LargestDeparture(spiral, thin), 0.2501f);
  EXPECT_EQ(thin.front().x, spiral.front().x);
  EXPECT_EQ(thin.back().y, spiral.back().y);

  std::vector<ScenePoint> back;
  for (int i = 0; i <= 100; ++i) back.push_back({float(i), 0});
  for (int i = 99; i >= 50; --i) back.push_back({float(i), 0.1f});
  const auto turned = ThinPolyline(back, 0.25f);
  EXPECT_LE(LargestDeparture(back, turned), 0.2501f);
  EXPECT_TRUE(std::any_of(turned.begin(), turned.end(), [](ScenePoint p) { return p.x == 100; }));

  std::vector<ScenePoint> line;
  for (int i = 0; i < 331; ++i) line.push_back({float(i), 0});
  EXPECT_EQ(ThinPolyline(line, 0.25f).size(), 11u);  // 0, 33, 66, ..., 297, 330
}

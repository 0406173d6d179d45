// The globe without its window: the body table and setters, the projection
// and its inverse against plain vector geometry, the mouse and the buttons,
// the sphere's raster colours, the texture rules and what the picture draws.
#include <cmath>
#include <cstdio>
#include <fstream>

#include <gtest/gtest.h>

#include "app/registry/window_registry.h"
#include "platform/app_services.h"
#include "tests/common/test_data.h"
#include "tests/views/sized_globe.h"
#include "views/globe.h"

namespace {

constexpr double kDeg = 3.14159265358979323846 / 180;

// Where a surface point (radius factor f) falls by plain vector geometry:
// the components along the view's east and north axes, rolled, scaled.
void ProjectByVectors(const CGlobeDlg& g, int W, int H, double lat, double lon, double f, double& x, double& y,
                      bool& front)
{
  const double p = lat * kDeg, l = lon * kDeg, p0 = g.m_dViewLat * kDeg, l0 = g.m_dViewLon * kDeg;
  const double v[3] = {std::cos(p) * std::cos(l), std::cos(p) * std::sin(l), std::sin(p)};
  const double fwd[3] = {std::cos(p0) * std::cos(l0), std::cos(p0) * std::sin(l0), std::sin(p0)};
  const double east[3] = {-std::sin(l0), std::cos(l0), 0};
  const double north[3] = {-std::sin(p0) * std::cos(l0), -std::sin(p0) * std::sin(l0), std::cos(p0)};
  const auto dot = [](const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; };
  front = dot(v, fwd) >= 0;
  const double e = f * dot(v, east), n = f * dot(v, north), r = g.m_dRoll * kDeg;
  const double s = std::min(W, H) * g.m_dDiscScale;
  x = W / 2.0 + g.m_dPanX + s * (e * std::cos(r) - n * std::sin(r));
  y = H / 2.0 + g.m_dPanY - s * (e * std::sin(r) + n * std::cos(r));
}

uint32_t Rgb(int r, int g, int b)
{
  return 0xFF000000u | (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}

// The centre pixel of a 200 x 200 raster of the globe's view.
uint32_t CentrePixel(const CGlobeDlg& g, const GlobeTexture* texture)
{
  GlobeRasterView v = g.RasterView(200, 200, 1.0);
  std::vector<uint32_t> px(200 * 200);
  RenderGlobeRaster(v, texture, px.data(), 2);
  return px[100 * 200 + 100];
}

GlobeTexture Uniform(int w, int h, uint32_t argb, int colour)
{
  GlobeTexture t;
  t.m_nTexWidth = w, t.m_nTexHeight = h, t.m_bTexColour = colour;
  t.m_pTexture.assign(size_t(w) * h, argb);
  return t;
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A JPEG's first bytes up to its frame header announcing width x height.
std::vector<unsigned char> JpegHeader(int width, int height)
{
  return {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x04, 0x4A, 0x46, 0xFF, 0xC0, 0x00, 0x11, 0x08,
          (unsigned char)(height >> 8), (unsigned char)height, (unsigned char)(width >> 8), (unsigned char)width,
          0x03};
}

} // namespace

TEST(GlobeBodies, DefaultsPathWindowsAndSetBody)
{
  const double expected[10] = {24, 24, 6, 6.2, 2.5, 2.7, 4.3, 4, 24, 24};
  for (int i = 0; i < 10; ++i)
    EXPECT_NEAR(DefaultPathHours(i), expected[i], 1e-12) << i;
  EXPECT_NEAR(DefaultPathHours(12), 6, 1e-12);  // outside the table: the Earth's values
  EXPECT_STREQ(GlobeBodyOf(-1).english, "Unknown");

  SizedGlobe g;
  EXPECT_EQ(OpenWindows().m_pGlobeDlg, &g);
  EXPECT_EQ(g.m_nBody, 2);
  EXPECT_EQ(g.m_dViewLat, 20);
  EXPECT_EQ(g.m_dViewLon, 100);
  EXPECT_EQ(g.m_dDiscScale, 0.45);
  EXPECT_EQ(g.m_dPathHours, 6);
  g.OnRangeUp();
  g.SetBody(2);  // the shown body: nothing changes, not even the widened window
  EXPECT_EQ(g.m_dPathHours, 12);
  g.SetBody(9);
  EXPECT_EQ(g.m_dBodyRadiusKm, 1737.4);
  EXPECT_EQ(g.m_dPathHours, 24);
  g.SetBody(10);
  EXPECT_EQ(g.m_nBody, 9);
}

TEST(GlobeSetters, PathStaysInTimeOrderAndResetKeepsTheBody)
{
  SizedGlobe g;
  g.AddTrackPoint(1, 1, 7000, 10);
  g.AddTrackPoint(2, 2, 7000, 12);
  g.AddTrackPoint(3, 3, 7000, 10);  // equal time: after the first
  g.AddTrackPoint(4, 4, 7000, 5);   // earliest: first
  for (int i = 0; i < 100; ++i)     // past the first growth of 64
    g.AddTrackPoint(0, 0, 8000, 20 + i);
  ASSERT_EQ(g.m_nPathCount, 104);
  EXPECT_EQ(g.m_pPathLat[0], 4);
  EXPECT_EQ(g.m_pPathLat[1], 1);
  EXPECT_EQ(g.m_pPathLat[2], 3);
  EXPECT_EQ(g.m_pPathLat[3], 2);
  EXPECT_EQ(g.m_pPathJd[103], 119);

  g.SetCaption("  2008 TC3 \t");
  EXPECT_EQ(g.m_strCaption, "2008 TC3");
  GlobeCloneTrack t;
  t.m_nPoints = 40;  // more than a track holds
  g.AddCloneTrack(t);
  EXPECT_EQ(g.m_pCloneTracks[0].m_nPoints, GlobeCloneTrack::kMaxPoints);
  g.AddCloneImpact(1, 2);
  g.AddCloneClosest(1, 2, 9000);
  g.ClearCloneTracks();
  EXPECT_EQ(g.m_nCloneTrackCount, 0);
  EXPECT_EQ(g.m_nCloneNearCount, 0);
  EXPECT_EQ(g.m_nCloneHitCount, 1);  // impacts stay
  g.SetBody(3);
  g.SetMarker(1, 1, 2, 255, "Impact");
  g.SetOrbitElements(2454700, 0.9, 0.3, 1, 2, 0.1);
  g.ResetContents();
  EXPECT_EQ(g.m_nPathCount, 0);
  EXPECT_EQ(g.m_nCloneHitCount, 0);
  EXPECT_EQ(g.m_bMarker, 0);
  EXPECT_EQ(g.m_bOrbit, 0);
  EXPECT_TRUE(g.m_strCaption.empty());
  EXPECT_EQ(g.m_nBody, 3);
  EXPECT_NEAR(g.m_dPathHours, 6.2, 1e-12);
}

TEST(GlobeTime, FormatUtcMinuteRoundsAndCarries)
{
  struct Case {
    int y, m;
    double day;  // UTC, with the fraction
    const char* text;
  } cases[] = {
      {2008, 10, 7 + (2 * 3600 + 45 * 60 + 29) / 86400.0, "2008/10/07 02:45 UTC"},
      {2008, 10, 7 + (2 * 3600 + 45 * 60 + 31) / 86400.0, "2008/10/07 02:46 UTC"},
      {2008, 12, 31 + (23 * 3600 + 59 * 60 + 45) / 86400.0, "2009/01/01 00:00 UTC"},
  };
  for (const Case& c : cases) {
    // Days of the Gregorian calendar from JD 2454466.5 (2008 January 1 0h).
    const int cum[12] = {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335};  // 2008 is a leap year
    const double jdUtc = 2454466.5 + cum[c.m - 1] + (c.day - 1);
    const double jdTT = jdUtc + (32.184 + 33) / 86400;  // TT - UTC in 2008
    std::string text;
    FormatUtcMinute(jdTT, text);
    EXPECT_EQ(text, c.text) << c.text;
  }
}

TEST(GlobeProjection, AgreesWithVectorGeometryAndRoundTrips)
{
  SizedGlobe g;
  struct View {
    double lat, lon, scale, panX, panY, roll;
  } views[] = {{20, 100, 0.45, 0, 0, 0}, {-63, -170, 1.7, 35, -20, 33}, {89, 179, 4, -300, 120, -150}};
  const double points[][2] = {{0, 0}, {21, 32}, {-45, 170}, {60, -120}, {89.5, 10}, {-10, -179.9}};
  for (const View& v : views) {
    g.m_dViewLat = v.lat, g.m_dViewLon = v.lon, g.m_dDiscScale = v.scale;
    g.m_dPanX = v.panX, g.m_dPanY = v.panY, g.m_dRoll = v.roll;
    for (const auto& p : points)
      for (double f : {1.0, 1.2, 3.0}) {
        float x = 0, y = 0;
        const int visible = g.Project(p[0], p[1], f, g.w, g.h, x, y);
        double ex = 0, ey = 0;
        bool front = false;
        ProjectByVectors(g, g.w, g.h, p[0], p[1], f, ex, ey, front);
        EXPECT_NEAR(x, ex, 2e-3);
        EXPECT_NEAR(y, ey, 2e-3);
        const double s = std::min(g.w, g.h) * v.scale;
        const bool outside = std::hypot(ex - g.w / 2.0 - v.panX, ey - g.h / 2.0 - v.panY) > s;
        EXPECT_EQ(visible != 0, front || outside) << p[0] << " " << p[1] << " f " << f;
        if (f == 1.0 && front) {
          double lat = 0, lon = 0;
          ASSERT_TRUE(g.Unproject(x, y, g.w, g.h, lat, lon));
          EXPECT_NEAR(lat, p[0], 2e-3);
          if (std::fabs(p[0]) < 89) {
            EXPECT_NEAR(WrapLongitude(lon - p[1]), 0, 2e-3);
          }
        }
      }
  }
  g.m_dPanX = g.m_dPanY = g.m_dRoll = 0;
  g.m_dDiscScale = 0.45;
  double lat = 0, lon = 0;
  EXPECT_FALSE(g.Unproject(2, 2, g.w, g.h, lat, lon));  // off the disc
}

TEST(GlobeProjection, ClipToLimbMeetsTheRim)
{
  SizedGlobe g;
  g.m_dPanX = 10;
  const float cx = 310, cy = 250, s = 225;
  // From a point above the rim to one behind the disc: where the segment enters the disc.
  const GlobePoint p{cx + 400, cy - 300}, q{cx + 20, cy + 30};
  const GlobePoint r = g.ClipToLimb(p, q, g.w, g.h);
  EXPECT_NEAR(std::hypot(r.x - cx, r.y - cy), s, 1e-3);
  EXPECT_NEAR((r.x - p.x) * (q.y - p.y) - (r.y - p.y) * (q.x - p.x), 0, 1e-1);
  // A segment that misses the disc, and one of no length, give the second point.
  const GlobePoint far{cx + 300, cy + 300}, far2{cx + 300, cy - 300};
  EXPECT_EQ(g.ClipToLimb(far, far2, g.w, g.h).y, far2.y);
  EXPECT_EQ(g.ClipToLimb(p, p, g.w, g.h).x, p.x);
}

TEST(GlobeInset, SizeCornerAndDrag)
{
  SizedGlobe g;
  SceneRect r;
  EXPECT_EQ(g.GetInsetRect(600, 500, r), 0);  // no orbit
  g.SetOrbitElements(2454700, 0.9, 0.3, 1, 2, 0.1);
  ASSERT_EQ(g.GetInsetRect(600, 500, r), 1);
  EXPECT_EQ(r.w, 166);
  EXPECT_EQ(r.x, 600 - 166 - 8);
  EXPECT_EQ(r.y, 8);
  EXPECT_EQ(g.GetInsetRect(240, 250, r), 0);  // side 80

  // Pressed inside, dragged beyond the left edge: it stops at x = 0.
  g.OnLButtonDown(500, 50);
  EXPECT_EQ(g.m_bDragInset, 1);
  g.OnMouseMove(-400, 60);
  g.OnButtonUp();
  g.GetInsetRect(600, 500, r);
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.y, 18);
  // A double-click on it without moving puts it home.
  g.OnLButtonDown(50, 50);
  g.OnButtonUp();
  g.OnLButtonDblClk(50, 50);
  g.GetInsetRect(600, 500, r);
  EXPECT_EQ(r.x, 426);
  EXPECT_EQ(r.y, 8);
  // Below the buttons' top it cannot go.
  g.buttonsTop = 300;
  g.m_dInsetDy = 1000;
  g.GetInsetRect(600, 500, r);
  EXPECT_EQ(r.y, 300 - 6 - 166);
}

TEST(GlobeMouse, DragTurnsByAQuarterDegreeAPixelAtTheDefaultScale)
{
  SizedGlobe g;
  g.OnLButtonDown(300, 200);
  g.OnMouseMove(400, 300);  // 100 right, 100 down
  EXPECT_NEAR(g.m_dViewLon, 75, 1e-9);
  EXPECT_NEAR(g.m_dViewLat, 45, 1e-9);
  g.OnButtonUp();
  g.m_dDiscScale = 0.9;  // twice the zoom: half the turn
  g.OnLButtonDown(300, 200);
  g.OnMouseMove(400, 200);
  EXPECT_NEAR(g.m_dViewLon, 62.5, 1e-9);
  g.OnMouseMove(400, 1000);
  EXPECT_EQ(g.m_dViewLat, 89);
  g.OnButtonUp();
  g.m_dDiscScale = 0.45, g.m_dViewLon = 179;
  g.OnLButtonDown(300, 200);
  g.OnMouseMove(288, 200);  // 3 degrees east
  EXPECT_NEAR(g.m_dViewLon, -178, 1e-9);
  g.OnButtonUp();
  // The right button pans.
  g.OnRButtonDown(100, 100);
  g.OnMouseMove(130, 90);
  EXPECT_EQ(g.m_dPanX, 30);
  EXPECT_EQ(g.m_dPanY, -10);
  g.OnButtonUp();
  g.OnLButtonDblClk(300, 400);
  EXPECT_EQ(g.m_dPanX, 0);
}

TEST(GlobeMouse, WheelKeepsTheSurfaceUnderTheCursor)
{
  SizedGlobe g;
  // Near the rim, upper right of the disc.
  const int x = 300 + 150, y = 250 - 150;
  double lat0 = 0, lon0 = 0;
  ASSERT_TRUE(g.Unproject(x, y, g.w, g.h, lat0, lon0));
  g.OnMouseWheel(1, x, y);
  EXPECT_NEAR(g.m_dDiscScale, 0.45 * 1.15, 1e-12);
  double lat1 = 0, lon1 = 0;
  ASSERT_TRUE(g.Unproject(x, y, g.w, g.h, lat1, lon1));
  EXPECT_NEAR(lat1, lat0, 1.0);
  EXPECT_NEAR(WrapLongitude(lon1 - lon0), 0, 1.0);
  EXPECT_NE(g.m_dViewLon, 100);
  // Off the disc: about the centre, the view stays.
  const double viewLat = g.m_dViewLat, viewLon = g.m_dViewLon;
  g.OnMouseWheel(-1, 2, 2);
  EXPECT_NEAR(g.m_dDiscScale, 0.45, 1e-12);
  EXPECT_EQ(g.m_dViewLat, viewLat);
  EXPECT_EQ(g.m_dViewLon, viewLon);
}

TEST(GlobeButtons, ImpactLookUpRangeAndRoll)
{
  SizedGlobe g;
  g.OnImpactPoint();  // neither marker nor clone impacts
  EXPECT_EQ(g.m_dDiscScale, 0.45);
  g.AddCloneImpact(10, 170);
  g.AddCloneImpact(10, -170);  // mean direction across the date line
  g.OnImpactPoint();
  EXPECT_NEAR(std::fabs(g.m_dViewLon), 180, 1e-9);
  EXPECT_NEAR(g.m_dViewLat, 10.15, 0.01);
  EXPECT_EQ(g.m_dDiscScale, 4);

  g.SetMarker(1, 21, 32, 255, "Impact");
  g.AddTrackPoint(19, 25, 40000, 1);  // the path's far end
  g.AddTrackPoint(21, 32, 6478, 2);
  for (int side : {1, 2}) {
    side == 1 ? g.OnLookUp1() : g.OnLookUp2();
    EXPECT_EQ(g.m_dDiscScale, 6);
    float tx = 0, ty = 0, fx = 0, fy = 0;
    ASSERT_TRUE(g.Project(21, 32, 1, g.w, g.h, tx, ty));
    EXPECT_NEAR(tx, 300, 1e-3);
    EXPECT_NEAR(ty, 0.62 * 500, 1e-3);
    // On the limb (88 degrees from the centre), straight above the disc centre.
    const double cx = 300 + g.m_dPanX, cy = 250 + g.m_dPanY, s = 500 * 6.0;
    EXPECT_NEAR(tx, cx, 1e-2);
    EXPECT_NEAR((cy - ty) / s, std::sin(88 * kDeg), 1e-6);
    // The path rises above the impact point.
    ASSERT_TRUE(g.Project(19, 25, 40000 / 6378.137, g.w, g.h, fx, fy));
    EXPECT_LT(fy, ty - 100);
  }
  // The two sides look from opposite directions.
  g.OnLookUp1();
  const double lon1 = g.m_dViewLon;
  g.OnLookUp2();
  EXPECT_GT(std::fabs(WrapLongitude(g.m_dViewLon - lon1)), 90);

  for (int i = 0; i < 10; ++i)
    g.OnRangeDown();
  EXPECT_EQ(g.m_dPathHours, 0.75);
  for (int i = 0; i < 10; ++i)
    g.OnRangeUp();
  EXPECT_EQ(g.m_dPathHours, 96);
  g.SetBody(4);
  for (int i = 0; i < 10; ++i)
    g.OnRangeDown();
  EXPECT_EQ(g.m_dPathHours, 0.3125);
  for (int i = 0; i < 20; ++i)
    g.OnRangeUp();
  EXPECT_NEAR(g.m_dPathHours, 4 * 24 * 71492 / 6378.137, 1e-9);

  g.m_dRoll = 0;
  for (int i = 0; i < 5; ++i)
    g.OnRotateLeft();
  EXPECT_EQ(g.m_dRoll, 15);
  for (int i = 0; i < 60; ++i)
    g.OnRotateLeft();
  EXPECT_EQ(g.m_dRoll, -165);
  g.OnWholeView();
  EXPECT_EQ(g.m_dRoll, 0);
  EXPECT_EQ(g.m_dDiscScale, 0.45);
}

TEST(GlobeRaster, PlainAndSunLitColours)
{
  SizedGlobe g;
  EXPECT_EQ(CentrePixel(g, nullptr), Rgb(12, 37, 68));  // the fixed light at 0.62 / 0.995
  g.m_dViewLat = 0, g.m_dViewLon = 0;
  g.SetSubSolar(1, 0, 180);
  EXPECT_EQ(CentrePixel(g, nullptr), Rgb(9, 27, 49));  // night: 45 %
  g.SetSubSolar(1, 0, 0);
  EXPECT_EQ(CentrePixel(g, nullptr), Rgb(20, 60, 110));
  g.SetBody(3);
  EXPECT_EQ(CentrePixel(g, nullptr), Rgb(110, 105, 100));

  // Without the Sun the light comes from the upper left and never drops below 15 %.
  g.SetSubSolar(0, 0, 0);
  GlobeRasterView v = g.RasterView(200, 200, 1.0);
  std::vector<uint32_t> px(200 * 200);
  RenderGlobeRaster(v, nullptr, px.data(), 1);
  int brightest = 0, dimmest = 255, at = 0;
  for (int i = 0; i < 200 * 200; ++i) {
    if (px[i] == 0xFF000000u)
      continue;
    const int r = (px[i] >> 16) & 0xFF;
    if (r > brightest)
      brightest = r, at = i;
    dimmest = std::min(dimmest, r);
  }
  EXPECT_GE(brightest, 108);
  EXPECT_GE(dimmest, int(110 * 0.15));
  EXPECT_LT(at % 200, 100);  // left
  EXPECT_LT(at / 200, 100);  // upper
  // Off the disc: opaque black; a scaled frame has a raster of its own size.
  EXPECT_EQ(px[0], 0xFF000000u);
  EXPECT_EQ(g.RasterView(200, 100, 2.0).width, 400);
  EXPECT_EQ(g.RasterView(200, 100, 2.0).radius, 90);
}

TEST(GlobeRaster, TextureSamplingBilinearWrappedAndClamped)
{
  // Columns: A B / C D, the left edge at -180, the top at +90.
  GlobeTexture t;
  t.m_nTexWidth = 2, t.m_nTexHeight = 2;
  t.m_pTexture = {Rgb(0, 0, 0), Rgb(200, 100, 0), Rgb(100, 50, 255), Rgb(0, 250, 100)};
  struct Case {
    double lat, lon;
    uint32_t expected;
  } cases[] = {
      {0, -90, Rgb(50, 25, 128)},    // column A/C exactly, rows half: (A + C) / 2 = 127.5 rounded up
      {0, 0, Rgb(75, 100, 89)},      // the four equally: (300, 400, 355) / 4 = 88.75
      {0, 180, Rgb(75, 100, 89)},    // the columns wrap: B and A
      {90, 90, Rgb(200, 100, 0)},    // above the top row: clamped to B
      {-90, -90, Rgb(100, 50, 255)}, // below the bottom row: C
      {45, 135, Rgb(150, 75, 0)},    // x = 1.25 (B, A at 0.25), y = 0.5 - 0.5 = 0 (top row): 0.75 B + 0.25 A
  };
  for (const Case& c : cases)
    EXPECT_EQ(GlobeSurfaceColour(&t, true, c.lat, c.lon), c.expected) << c.lat << " " << c.lon;

  // One pixel wide: both columns are the same one.
  const GlobeTexture narrow = Uniform(1, 3, Rgb(10, 20, 30), 1);
  EXPECT_EQ(GlobeSurfaceColour(&narrow, true, 12, 77), Rgb(10, 20, 30));

  // Through the raster, lit from straight above the view centre: the texture as it is.
  SizedGlobe g;
  g.m_dViewLat = 0, g.m_dViewLon = 0;
  g.SetSubSolar(1, 0, 0);
  EXPECT_EQ(CentrePixel(g, &t), Rgb(75, 100, 89));
}

TEST(GlobeRaster, HeightMapLevelsAndTheGreyTest)
{
  struct Case {
    int grey;
    uint32_t expected;
  } cases[] = {
      // 2: 1/254 of the way to the second stop, truncated when lit.
      {0, Rgb(8, 40, 110)}, {1, Rgb(8, 40, 111)}, {2, Rgb(57, 130, 64)}, {128, Rgb(174, 152, 85)},
      {255, Rgb(245, 245, 245)},
  };
  for (const Case& c : cases) {
    const GlobeTexture t = Uniform(4, 2, Rgb(c.grey, c.grey, c.grey), 0);
    EXPECT_EQ(GlobeSurfaceColour(&t, true, 10, 10), c.expected) << c.grey;
  }
  // Mean |R - G| + |G - B| of 12 is a colour image, 11 a grey one.
  std::vector<unsigned char> img(3 * 100 * 50, 0);
  for (size_t i = 0; i < img.size(); i += 3)
    img[i] = 12;
  EXPECT_TRUE(IsColourImage(img.data(), 100, 50));
  for (size_t i = 0; i < img.size(); i += 3)
    img[i] = 11;
  EXPECT_FALSE(IsColourImage(img.data(), 100, 50));
}

TEST(GlobeTexture, FilesChosenSizeLimitedAndGreyMapsDetected)
{
  const std::string dir = MakeTempDir("globe_texture");
  const std::string saved = TheApp().m_szExeDir;
  TheApp().m_szExeDir = dir;
  SizedGlobe g;
  // No file: plain colours, nothing decoded.
  g.LoadTexture();
  EXPECT_EQ(g.m_bTexture, 0);
  EXPECT_EQ(g.decodes, 0);

  // A grey height map stands in for the missing Earth texture.
  WriteBytes(dir + "heightmap.jpg", JpegHeader(4, 2));
  g.image.assign(4 * 2 * 3, 90);
  g.imageW = 4, g.imageH = 2;
  g.LoadTexture();
  EXPECT_EQ(g.m_bTexture, 1);
  EXPECT_EQ(g.m_texture.m_bTexColour, 0);
  // The Earth texture wins and is a colour image whatever it holds.
  WriteBytes(dir + "earth_texture.jpg", JpegHeader(4, 2));
  g.LoadTexture();
  EXPECT_EQ(g.m_texture.m_bTexColour, 1);
  EXPECT_EQ(g.decodes, 2);

  // A file announcing 40000 x 20000 pixels is never decoded: plain colours.
  WriteBytes(dir + "earth_texture.jpg", JpegHeader(40000, 20000));
  g.LoadTexture();
  EXPECT_EQ(g.m_bTexture, 0);
  EXPECT_EQ(g.decodes, 2);
  // Nor a file whose header cannot be read.
  WriteBytes(dir + "earth_texture.jpg", {0xFF, 0xD8, 0xFF});
  g.LoadTexture();
  EXPECT_EQ(g.m_bTexture, 0);
  EXPECT_EQ(g.decodes, 2);
  TheApp().m_szExeDir = saved;

  // An image wider than the limit is averaged down to fit.
  const int w = kMaxTextureWidth + 2, h = 4;
  std::vector<unsigned char> wide(size_t(w) * h * 3);
  for (int x = 0; x < w; ++x)
    for (int y = 0; y < h; ++y)
      wide[3 * (size_t(y) * w + x)] = (unsigned char)(x % 2 ? 200 : 100);
  GlobeTexture t;
  BuildTexture(wide.data(), w, h, t);
  EXPECT_EQ(t.m_nTexWidth, w / 2);
  EXPECT_EQ(t.m_nTexHeight, 2);
  EXPECT_EQ(t.m_pTexture[0], Rgb(150, 0, 0));
}

TEST(GlobeTexture, ReadsTheSizeOfTheDebianEarthImage)
{
  const std::string path = "/usr/share/xplanet/images/earth.jpg";
  if (!std::ifstream(path))
    GTEST_SKIP() << path << " is not installed (scripts/setup installs xplanet-images)";
  int w = 0, h = 0;
  ASSERT_TRUE(ReadImageFileSize(path, w, h));
  EXPECT_EQ(w, 2048);
  EXPECT_EQ(h, 1024);
}

TEST(GlobePicture, PathLabelsNoteLegendAndWindow)
{
  SizedGlobe g;
  // A pass over the visible side, every 10 minutes from -3 h to +3 h, closest at 0.
  const double midnightTT = 2454746.5 + 65.184 / 86400;  // 2008 October 7 0h UTC
  for (int i = -18; i <= 18; ++i)
    g.AddTrackPoint(20 + 0.2 * i, 100 + 0.5 * i, 7000 + 40.0 * i * i, midnightTT + i / 144.0);
  GlobeCanvas c;
  g.DrawGlobe(c, 600, 500);
  EXPECT_EQ(c.rasters, 1);
  EXPECT_EQ(c.Count('l', 0x8CFFC850), 37);  // a drop line at every point
  const GlobeCanvas::Sized* note = c.Find("最接近 2008/10/07 00:00 UTC");
  ASSERT_NE(note, nullptr);
  EXPECT_NE(note->text.find("\n中心距離 7000 km (表面から 622 km)"), std::string::npos) << note->text;
  ASSERT_NE(c.Find("2008/10/06 21:00 UTC"), nullptr);  // the tail's time
  ASSERT_NE(c.Find("2008/10/07 03:00 UTC"), nullptr);  // the head's time
  ASSERT_NE(c.Find("軌跡表示: 最接近±6時間"), nullptr);
  EXPECT_EQ(c.Find("軌跡表示")->at.y, 500 - 6 - 20);
  // The arrowhead: two strokes of the path pen at the later end.
  float hx = 0, hy = 0;
  g.Project(20 + 3.6, 100 + 9, (7000 + 40.0 * 324) / 6378.137, 600, 500, hx, hy);
  int headStrokes = 0;
  for (const auto& s : c.shapes)
    if (s.kind == 'l' && s.argb == 0xE6FFA028 && std::fabs(s.pts[0].x - hx) < 1e-3 &&
        std::fabs(s.pts[0].y - hy) < 1e-3)
      ++headStrokes;
  EXPECT_EQ(headStrokes, 2);

  // Three halvings: only the points within 45 minutes remain.
  for (int i = 0; i < 3; ++i)
    g.OnRangeDown();
  GlobeCanvas c2;
  g.DrawGlobe(c2, 600, 500);
  EXPECT_EQ(c2.Count('l', 0x8CFFC850), 9);
  ASSERT_NE(c2.Find("軌跡表示: 最接近±0.75時間"), nullptr);

  // With the impact marker: no note, no label at the head, the one-sided window line.
  g.m_dPathHours = 6;
  g.SetMarker(1, 23.6, 109, 255, "Impact\n2008/10/07 03:00 UTC");
  GlobeCanvas c3;
  g.DrawGlobe(c3, 600, 500);
  EXPECT_EQ(c3.Find("最接近 2008"), nullptr);
  ASSERT_NE(c3.Find("軌跡表示: 最接近-6時間"), nullptr);
  EXPECT_EQ(c3.Find("2008/10/07 03:00 UTC")->text, "Impact\n2008/10/07 03:00 UTC");
  EXPECT_EQ(c3.Count('f', 0xFFFF0000), 1);  // the marker, opaque
  g.m_dPathHours = 96;
  GlobeCanvas c4;
  g.DrawGlobe(c4, 600, 500);
  ASSERT_NE(c4.Find("軌跡表示: 全区間"), nullptr);
}

TEST(GlobePicture, MovingObjectIconAndMarkerFade)
{
  SizedGlobe g;
  const double midnightTT = 2454746.5 + 65.184 / 86400;  // 2008 October 7 0h UTC
  g.AddTrackPoint(20, 100, 6400, midnightTT);
  g.AddTrackPoint(20, 102, 40000, midnightTT + 0.1);
  g.SetMarker(1, 20, 100, 255, "Impact");
  g.m_bAnimating = 1;
  g.m_dAnimJd = midnightTT;  // over the marker, just above the ground
  GlobeCanvas c;
  g.DrawGlobe(c, 600, 500);
  EXPECT_EQ(g.m_bIconDrawn, 1);
  EXPECT_NEAR(g.m_dIconRadius, 24 * (1 - 6378.137 / 6400) + 2, 1e-9);
  EXPECT_EQ(c.Count('f', 0x2DFF0000), 1);  // the marker at alpha 45
  EXPECT_EQ(c.Count('l', 0x8CFFC850), 0);  // no drop lines while animating
  ASSERT_NE(c.Find("2008/10/07 00:00 UTC"), nullptr);  // the running time
  g.m_dAnimJd = midnightTT + 0.1;  // far out: the full size, away from the marker
  GlobeCanvas c2;
  g.DrawGlobe(c2, 600, 500);
  EXPECT_NEAR(g.m_dIconRadius, 24 * (1 - 6378.137 / 40000) + 2, 1e-9);
  EXPECT_EQ(c2.Count('f', 0xFFFF0000), 1);
  g.m_bAnimating = 0;
  GlobeCanvas c3;
  g.DrawGlobe(c3, 600, 500);
  EXPECT_EQ(g.m_bIconDrawn, 0);
}

TEST(GlobePicture, CaptionsCloneTracksAndFarSidePoints)
{
  SizedGlobe g;
  g.SetSubCaption("地球衝突確率 100.00%  (100/100)");
  GlobeCanvas c;
  g.DrawGlobe(c, 600, 500);
  ASSERT_NE(c.Find("地球衝突確率"), nullptr);
  EXPECT_EQ(c.Find("地球衝突確率")->at.y, 8);
  g.SetCaption("2008 TC3");
  GlobeCanvas c2;
  g.DrawGlobe(c2, 600, 500);
  EXPECT_EQ(c2.Find("地球衝突確率")->at.y, 32);
  EXPECT_TRUE(c2.Find("2008 TC3")->outlined);

  g.m_dViewLat = 0, g.m_dViewLon = 0;
  GlobeCloneTrack nominal;
  nominal.m_nKind = 2;
  nominal.m_nPoints = 2;
  nominal.m_adLon[0] = 120, nominal.m_adKm[0] = 2 * 6378.137;  // far side, outside the disc: drawn
  nominal.m_adLon[1] = 170, nominal.m_adKm[1] = 2 * 6378.137;  // far side, behind the disc: hidden
  g.AddCloneTrack(nominal);
  GlobeCloneTrack miss;
  miss.m_bPlausible = 1;
  miss.m_nPoints = 3;
  const double minutes[3] = {-10, 0, 10};
  for (int i = 0; i < 3; ++i)
    miss.m_adMinutes[i] = minutes[i], miss.m_adLon[i] = 10 * i, miss.m_adKm[i] = 8000;
  g.AddCloneTrack(miss);
  GlobeCanvas c3;
  g.DrawGlobe(c3, 600, 500);
  EXPECT_EQ(c3.Count('f', 0xFFFF2828), 1);
  // The track fades in towards its end: alpha (0.75 g + 0.25) 200 at g = 0.25 and 0.75.
  EXPECT_EQ(c3.Count('l', (87u << 24) | 0xAAFF50u), 1);
  EXPECT_EQ(c3.Count('l', (162u << 24) | 0xAAFF50u), 1);
  EXPECT_EQ(c3.Count('f', 0xDCAAFF50), 1);  // the closest point
}

TEST(GlobePicture, OrbitInsetStopsAtTheAsymptotesAndSixReferenceRadii)
{
  SizedGlobe g;
  g.SetOrbitElements(2454700, 1.0, 1.5, 0.3, 1.2, 0.4);
  GlobeCanvas c;
  g.DrawGlobe(c, 600, 500);
  const RecordingCanvas::Shape* orbit = nullptr;
  for (const auto& s : c.shapes)
    if (s.kind == 'p' && s.argb == 0xFFFF2828)
      orbit = &s;
  ASSERT_NE(orbit, nullptr);
  // The hyperbola's true anomaly stays within the asymptotes (1 + e cos v >= 0.02), and r <= 6 AU.
  const double limit = std::acos((0.02 - 1) / 1.5) / kDeg;
  int kept = 0;
  for (int deg = -180; deg <= 180; deg += 2) {
    const double den = 1 + 1.5 * std::cos(deg * kDeg), r = 2.5 / den;
    kept += std::fabs(double(deg)) <= limit && den >= 0.02 && r <= 6;
  }
  EXPECT_EQ(int(orbit->pts.size()), kept);
  // The extent is capped at 5.5 AU: the drawable radius (166/2 - 14 = 69 pixels) spans 5.5 AU.
  float maxR = 0;
  for (const ScenePoint& p : orbit->pts)
    maxR = std::max(maxR, std::hypot(p.x - (426 + 83), p.y - (8 + 83)));
  EXPECT_LE(maxR, 69.0 / 5.5 * 6 + 1e-3);
  EXPECT_GT(maxR, 69.0 / 5.5 * 4);
}

// The magnitude curve's mouse gestures without a window: the zoom, pan,
// perihelion-line, axis and vertical-pan arithmetic as tables, then the
// handlers on a comet and an asteroid seen with the planetary file (handle
// drags with a free or fixed slope, fixed H, the asteroid's H limits, the
// perihelion line at the edge, the pan's dead zone, the wheel, the title,
// the cursors) and on the apparition comparison's stored geometry.
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "astro/jpl_eph.h"
#include "platform/ui_services.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "tests/views/recording_canvas.h"
#include "views/mag_curve.h"

namespace {

constexpr double kDeg = 3.14159265358979323846 / 180;

} // namespace

TEST(MagCurveGestureMath, WheelZoomKeepsTheDayUnderThePointer)
{
  struct Case {
    double t0, t1, u, delta;
    bool bShift;
    double left, right;
  } cases[] = {
      {1000, 1100, 0.25, 120, false, 1005, 1085},              // a notch forward: 0.8 of the span
      {1000, 1100, 0.5, -120, false, 987.5, 1112.5},           // back: 1.25 times
      {1000, 1100, 0.0, 120, true, 1000, 1000 + 97.7932769},   // Shift: 1.25^0.1 = 1.0225651
      {0, 140000, 0.5, -120, false, 70000 - 73050, 70000 + 73050},  // 400 years at most
      {0, 2.2, 1.0, 120, false, 0.2, 2.2},                     // 2 days at least
      {0, 1, 0.5, -120, false, -0.25, 2.25},                   // a span under 2 days counts as 2
  };
  for (const Case& c : cases) {
    double left = 0, right = 0;
    WheelZoomRange(c.t0, c.t1, c.u, c.delta, c.bShift, left, right);
    EXPECT_NEAR(left, c.left, 1e-6) << c.t0 << " " << c.t1 << " " << c.delta;
    EXPECT_NEAR(right, c.right, 1e-6) << c.t0 << " " << c.t1 << " " << c.delta;
  }
}

TEST(MagCurveGestureMath, PanPerihelionLineAxisAndVerticalPan)
{
  double left = 0, right = 0;
  // 500 px over 100 days: 5 px a day; moves under 3 px change nothing.
  EXPECT_FALSE(PanRange(0, 100, 500, 2, left, right));
  EXPECT_FALSE(PanRange(0, 100, 500, -2.9, left, right));
  ASSERT_TRUE(PanRange(0, 100, 500, 50, left, right));
  EXPECT_DOUBLE_EQ(left, -10);
  EXPECT_DOUBLE_EQ(right, 90);

  // The perihelion line follows the pointer and stops 10 px inside an edge.
  struct Peri {
    double dx, left;
  } peri[] = {{100, -20}, {-100, 20}, {1000, 50 - 98}, {-1000, 50 - 2}};
  for (const Peri& p : peri) {
    PeriDragRange(0, 100, 50, 500, p.dx, left, right);
    EXPECT_NEAR(left, p.left, 1e-9) << p.dx;
    EXPECT_NEAR(right - left, 100, 1e-9);
  }
  PeriDragRange(0, 100, 50, 500, 1000, left, right);
  EXPECT_NEAR((50 - left) / (right - left) * 500, 490, 1e-9);

  // The axis: down widens by 3^(0.3 dy/height), up narrows to 0.2 mag, never above -12.
  struct Axis {
    double dy, top;
  } axis[] = {{0, 5}, {300, 15 - 10 * 1.3903892}, {-300, 15 - 10 / 1.3903892}, {-100000, 14.8}, {3000, -12}};
  for (const Axis& a : axis)
    EXPECT_NEAR(MagAxisTop(15, 5, 300, a.dy), a.top, 1e-6) << a.dy;

  // The vertical pan never leaves ± its span.
  EXPECT_DOUBLE_EQ(VPanOffset(0.5, 20, 0.05, 10), -0.5);
  EXPECT_DOUBLE_EQ(VPanOffset(0, -100000, 0.05, 10), 10);
  EXPECT_DOUBLE_EQ(VPanOffset(0, 100000, 0.05, 10), -10);

  // A handle stays within 10 % of the span beyond the range.
  EXPECT_DOUBLE_EQ(HandleTarget(12, 30, 300, 10, 20, 2, 0.1), 12.2);
  EXPECT_DOUBLE_EQ(HandleTarget(12, 30000, 300, 10, 20, 1, 1), 21);
  EXPECT_DOUBLE_EQ(HandleTarget(12, -30000, 300, 10, 20, 1, 1), 9);
}

namespace {

// Heliocentric distance on the ellipse, from Kepler's equation.
double EllipseR(double T, double q, double e, double t)
{
  const double a = q / (1 - e), n = 0.01720209895 / std::pow(a, 1.5), M = n * (t - T);
  double E = M;
  for (int i = 0; i < 50; ++i)
    E = M + e * std::sin(E);
  return a * (1 - e * std::cos(E));
}

class MagCurveGesture : public ::testing::Test {
protected:
  void SetUp() override
  {
    const std::string de = TestDataPath("de/lnxp1960p2060.405");
    if (de.empty() || !TestDataFileExists(de))
      GTEST_SKIP() << MissingDataMessage("de/lnxp1960p2060.405");
    m_jpl = std::make_unique<JplReaderScope>(de);
    ASSERT_TRUE(g_pJplEph->IsOpen());
    c.m_bHeadlessWindow = 1;
    c.m_nHeadlessWidth = 800, c.m_nHeadlessHeight = 500;  // plot 50..780 x 30..410
    c.OnInitDialog();
  }
  // An orbit with a law and points lying on it from T - 100 to T + 60 days.
  void Object(int bAsteroid, double H, double slope)
  {
    c.m_bHasOrbit = 1;
    c.m_dT = 2451000.5;
    c.m_dQ = bAsteroid ? 1.13 : 0.9;
    c.m_dE = bAsteroid ? 0.22 : 0.6;
    c.m_dPeri = 30 * kDeg, c.m_dNode = 80 * kDeg, c.m_dIncl = 12 * kDeg;
    c.m_bAsteroidLaw = bAsteroid;
    c.m_dH = H, c.m_dSlope = slope, c.m_bFitted = 1, c.m_bManual = 0;
    c.m_pPoints.clear();
    for (int i = 0; i <= 16; ++i) {
      MagCurvePoint p{};
      p.dJd = c.m_dT - 100 + 10 * i;
      ASSERT_EQ(c.ModelMagnitude(p.dJd, p.dMag), 1);
      p.dMag += 0.3 * (i % 2);
      p.bTotal = 1;
      p.nApparition = -1;
      p.dR = EllipseR(c.m_dT, c.m_dQ, c.m_dE, p.dJd);
      p.dDelta = 0.8;
      c.m_pPoints.push_back(p);
    }
    c.m_nPoints = static_cast<int>(c.m_pPoints.size());
  }
  MagPlotLayout Ranges()
  {
    MagPlotLayout L;
    EXPECT_EQ(c.GetPlotRanges(800, 500, L, 1), 1);
    return L;
  }
  double X(const MagPlotLayout& L, double t) const
  {
    return (t - L.dTimeMin) / (L.dTimeMax - L.dTimeMin) * (L.dRight - L.dLeft) + L.dLeft;
  }
  double Y(const MagPlotLayout& L, double m) const
  {
    return (m - L.dMagMin) / (L.dMagMax - L.dMagMin) * (L.dBottom - L.dTop) + L.dTop;
  }
  double Law(double t)
  {
    double m = 0;
    EXPECT_EQ(c.ModelMagnitude(t, m), 1);
    return m;
  }
  // Where a handle is drawn: 0 left, 1 right, 2 perihelion.
  void HandleAt(int handle, int& x, int& y)
  {
    const MagPlotLayout L = Ranges();
    const double t = handle == 0 ? L.dTimeMin : handle == 1 ? L.dTimeMax : c.m_dT;
    x = static_cast<int>(std::lround(handle == 0 ? L.dLeft : handle == 1 ? L.dRight : X(L, t)));
    y = static_cast<int>(std::lround(Y(L, Law(t))));
  }
  // Presses a handle 3 px off its centre and drags it dy pixels.
  bool DragHandle(int handle, int dy)
  {
    int x = 0, y = 0;
    HandleAt(handle, x, y);
    if (!c.OnLButtonDown(x + 3, y - 3) || !c.m_bDragCurve || c.m_nDragHandle != handle)
      return false;
    c.OnMouseMove(x + 3, y - 3 + dy);
    c.OnLButtonUp();
    return true;
  }
  double First() const { return c.m_pPoints.front().dJd; }
  double Last() const { return c.m_pPoints.back().dJd; }

  HeadlessUiServices ui;
  ScopedUi scoped{ui};
  std::unique_ptr<JplReaderScope> m_jpl;
  CMagCurveDlg c;
};

} // namespace

// The perihelion handle moves the curve at T with the pointer; the right
// handle with a fixed slope only shifts H; with a free slope it pivots
// about the first observation, scaled by 0.1 times the spread of log r / 0.3.
TEST_F(MagCurveGesture, CometHandles)
{
  Object(0, 8, 10);
  MagPlotLayout L = Ranges();
  double span = L.dMagMax - L.dMagMin, height = L.dBottom - L.dTop;
  const double atT = Law(c.m_dT);
  ASSERT_TRUE(DragHandle(2, 40));
  EXPECT_NEAR(Law(c.m_dT), atT + 40 / height * span, 1e-9);
  EXPECT_EQ(c.m_dSlope, 10);
  EXPECT_EQ(c.m_bManual, 1);
  EXPECT_EQ(c.AnyGesture(), false);

  c.SetCheck(kMagFixSlope, 1);
  L = Ranges();
  span = L.dMagMax - L.dMagMin, height = L.dBottom - L.dTop;
  const double atLast = Law(Last());
  ASSERT_TRUE(DragHandle(1, -30));
  EXPECT_NEAR(Law(Last()), atLast - 30 / height * span, 1e-9);
  EXPECT_EQ(c.m_dSlope, 10) << "a fixed slope only shifts H";

  c.SetCheck(kMagFixSlope, 0);
  L = Ranges();
  span = L.dMagMax - L.dMagMin, height = L.dBottom - L.dTop;
  const double atFirst = Law(First()), atLast2 = Law(Last());
  const double rFirst = EllipseR(c.m_dT, c.m_dQ, c.m_dE, First()), rLast = EllipseR(c.m_dT, c.m_dQ, c.m_dE, Last());
  const double lever = std::fabs(std::log10(rLast) - std::log10(rFirst)) / 0.3;
  ASSERT_TRUE(DragHandle(1, 60));
  // The view's distances are light-time corrected: 2.4e-4 off the plain ellipse's.
  EXPECT_NEAR(c.m_dDragLever, lever, 1e-3);
  EXPECT_NEAR(Law(First()), atFirst, 1e-9) << "the pivot";
  EXPECT_NEAR(Law(Last()), atLast2 + 60 / height * span * c.m_dDragLever * 0.1, 1e-9);
  EXPECT_NE(c.m_dSlope, 10);

  // The left handle keeps the curve at the last observation.
  const double keep = Law(Last());
  ASSERT_TRUE(DragHandle(0, 25));
  EXPECT_NEAR(Law(Last()), keep, 1e-9);

  // A fixed H ignores every handle.
  c.SetCheck(kMagFixH, 1);
  const double H = c.m_dH, K = c.m_dSlope;
  for (int handle : {0, 1, 2}) {
    ASSERT_TRUE(DragHandle(handle, 50));
    EXPECT_EQ(c.m_dH, H);
    EXPECT_EQ(c.m_dSlope, K);
  }
}

// Under the H,G law a drag that needs H outside [-5, 40] leaves the law as
// it was; inside the limits the same handles move it, G within [0, 1].
TEST_F(MagCurveGesture, AsteroidHLimits)
{
  Object(1, 39.9, 0.15);
  ASSERT_TRUE(DragHandle(2, 300));
  EXPECT_EQ(c.m_dH, 39.9) << "H would pass 40";
  ASSERT_TRUE(DragHandle(2, -20));
  EXPECT_LT(c.m_dH, 39.9);

  Object(1, -4.9, 0.15);
  ASSERT_TRUE(DragHandle(2, -300));
  EXPECT_EQ(c.m_dH, -4.9) << "H would pass -5";

  Object(1, 15, 0.15);
  for (int dy : {-300, 300}) {
    ASSERT_TRUE(DragHandle(1, dy));
    EXPECT_GE(c.m_dSlope, 0);
    EXPECT_LE(c.m_dSlope, 1);
    EXPECT_GE(c.m_dH, -5);
    EXPECT_LE(c.m_dH, 40);
  }
}

// The perihelion line dragged past an edge keeps T 10 px inside; a pan
// waits for 3 px; the axis strip stores its top without the offset; the
// right button pans at most one span either way.
TEST_F(MagCurveGesture, TimeAndMagnitudeAxes)
{
  Object(0, 8, 10);
  MagPlotLayout L = Ranges();
  const int xT = static_cast<int>(std::lround(X(L, c.m_dT)));
  const int yFree = std::fabs(Y(L, Law(c.m_dT)) - 400) > 20 ? 400 : 40;  // on the line, off its handle
  ASSERT_TRUE(c.OnLButtonDown(xT + 2, yFree));
  ASSERT_EQ(c.m_bPeriDrag, 1);
  c.OnMouseMove(xT + 2 + 2000, yFree);
  L = Ranges();
  EXPECT_NEAR(X(L, c.m_dT), L.dRight - 10, 1e-6);
  c.OnMouseMove(xT + 2 - 2000, yFree);
  L = Ranges();
  EXPECT_NEAR(X(L, c.m_dT), L.dLeft + 10, 1e-6);
  c.OnLButtonUp();

  // Pan: from a point of the plot away from the line and the handles.
  c.m_bLeftBound = c.m_bRightBound = 0;
  L = Ranges();
  const int xPan = xT > 400 ? 200 : 600;
  ASSERT_TRUE(c.OnLButtonDown(xPan, 300));
  ASSERT_EQ(c.m_bPan, 1);
  c.OnMouseMove(xPan + 2, 305);
  EXPECT_EQ(c.m_bLeftBound + c.m_bRightBound, 0);
  c.OnMouseMove(xPan - 73, 305);
  const double perPixel = (L.dTimeMax - L.dTimeMin) / (L.dRight - L.dLeft);
  EXPECT_NEAR(c.m_dLeftJd, L.dTimeMin + 73 * perPixel, 1e-6);
  EXPECT_NEAR(c.m_dRightJd, L.dTimeMax + 73 * perPixel, 1e-6);
  c.OnLButtonUp();

  // Axis strip with an offset in force: the drawn top is what the drag asked for.
  c.m_dMagOffset = 0.7;
  L = Ranges();
  ASSERT_TRUE(c.OnLButtonDown(20, 200));
  ASSERT_EQ(c.m_bMagAxisDrag, 1);
  c.OnMouseMove(20, 280);
  const double want = MagAxisTop(L.dMagMax, L.dMagMin, L.dBottom - L.dTop, 80);
  EXPECT_LT(want, L.dMagMin) << "down widens";
  EXPECT_NEAR(Ranges().dMagMin, want, 1e-9);
  c.OnLButtonUp();

  // Right button: the offset stops at ± the span.
  L = Ranges();
  const double span = L.dMagMax - L.dMagMin;
  ASSERT_TRUE(c.OnRButtonDown(xPan, 200));
  c.OnMouseMove(xPan, 200 + 100000);
  EXPECT_DOUBLE_EQ(c.m_dMagOffset, -span);
  c.OnMouseMove(xPan, 200 - 100000);
  EXPECT_DOUBLE_EQ(c.m_dMagOffset, span);
  c.OnRButtonUp();
  EXPECT_FALSE(c.AnyGesture());
  EXPECT_FALSE(c.OnRButtonDown(xPan, 450)) << "below the plot";
}

// The wheel zooms about the pointer's day, a tenth with Shift; it does
// nothing during a gesture and leaves turns below the band to others.
TEST_F(MagCurveGesture, WheelTitleAndCursors)
{
  Object(0, 8, 10);
  MagPlotLayout L = Ranges();
  const int x = 230;
  const double day = L.dTimeMin + (x - L.dLeft) / (L.dRight - L.dLeft) * (L.dTimeMax - L.dTimeMin);
  const double span = L.dTimeMax - L.dTimeMin;
  ASSERT_TRUE(c.OnMouseWheel(120, false, x, 100));
  L = Ranges();
  EXPECT_NEAR(L.dTimeMax - L.dTimeMin, 0.8 * span, 1e-6);
  EXPECT_NEAR(L.dTimeMin + (x - L.dLeft) / (L.dRight - L.dLeft) * (L.dTimeMax - L.dTimeMin), day, 1e-6);
  ASSERT_TRUE(c.OnMouseWheel(-120, true, x, 100));
  EXPECT_NEAR(Ranges().dTimeMax - Ranges().dTimeMin, 0.8 * span * std::pow(1.25, 0.1), 1e-6);
  EXPECT_FALSE(c.OnMouseWheel(120, false, x, 460)) << "below the band";
  ASSERT_TRUE(c.OnRButtonDown(400, 200));
  const double left = c.m_dLeftJd;
  EXPECT_TRUE(c.OnMouseWheel(120, false, x, 100));
  EXPECT_EQ(c.m_dLeftJd, left);
  EXPECT_EQ(c.CursorAt(400, 200), MagCursor::Pan);
  c.OnCaptureChanged();

  // The title switches names only when there is a second one.
  c.m_rcTitle = {50, 6, 120, 14};
  c.OnLButtonDown(60, 10);
  EXPECT_EQ(c.m_bShowAltTitle, 0);
  EXPECT_EQ(c.CursorAt(60, 10), MagCursor::Default);
  c.m_strAltTitle = "433 Eros";
  EXPECT_EQ(c.CursorAt(60, 10), MagCursor::Hand);
  EXPECT_FALSE(c.OnLButtonDown(60, 10));
  EXPECT_EQ(c.m_bShowAltTitle, 1);

  int hx = 0, hy = 0;
  HandleAt(1, hx, hy);
  EXPECT_EQ(c.CursorAt(hx - 7, hy + 7), MagCursor::Hand);
  EXPECT_EQ(c.CursorAt(20, 200), MagCursor::Hand) << "axis strip";
  EXPECT_EQ(c.CursorAt(hx - 100, hy > 200 ? 60 : 380), MagCursor::Default);
}

// On the comparison the same gestures use the geometry its drawing stored
// and write the comparison's own zoom; without that geometry nothing starts.
TEST_F(MagCurveGesture, ComparisonUsesItsStoredGeometry)
{
  Object(0, 8, 10);
  c.m_bCompare = 1;
  EXPECT_FALSE(c.OnLButtonDown(300, 200));
  EXPECT_FALSE(c.OnRButtonDown(300, 200));
  EXPECT_FALSE(c.OnMouseWheel(120, false, 300, 200));

  c.m_bCmpGeomValid = 1;
  c.m_dCmpLeft = 50, c.m_dCmpRight = 550, c.m_dCmpTop = 60, c.m_dCmpBottom = 360;
  c.m_dCmpDayMin = -100, c.m_dCmpDayMax = 100, c.m_dCmpMagMin = 4, c.m_dCmpMagMax = 10;
  ASSERT_TRUE(c.OnLButtonDown(300, 200));
  ASSERT_EQ(c.m_bPan, 1);
  c.OnMouseMove(300 + 50, 200);  // 2.5 px a day
  EXPECT_EQ(c.m_bCmpZoomDays, 1);
  EXPECT_DOUBLE_EQ(c.m_dCmpZoomLeft, -120);
  EXPECT_DOUBLE_EQ(c.m_dCmpZoomRight, 80);
  EXPECT_EQ(c.m_bLeftBound + c.m_bRightBound, 0) << "the time plot's zoom is left alone";
  c.OnLButtonUp();

  ASSERT_TRUE(c.OnMouseWheel(120, false, 50 + 125, 100));
  EXPECT_DOUBLE_EQ(c.m_dCmpZoomLeft, -100 + 0.25 * 200 - 0.25 * 160);
  EXPECT_DOUBLE_EQ(c.m_dCmpZoomRight, c.m_dCmpZoomLeft + 160);

  c.m_dMagOffset = 0.5;
  ASSERT_TRUE(c.OnLButtonDown(10, 200));
  EXPECT_EQ(c.CursorAt(10, 200), MagCursor::Hand);
  c.OnMouseMove(10, 200 + 300);
  EXPECT_EQ(c.m_bCmpZoomMag, 1);
  EXPECT_NEAR(c.m_dCmpZoomMag, 10 - 6 * 1.3903892 - 0.5, 1e-6);
  EXPECT_EQ(c.m_bMagMinSet, 0);
  c.OnLButtonUp();

  ASSERT_TRUE(c.OnRButtonDown(300, 200));
  EXPECT_DOUBLE_EQ(c.m_dMagPerPixel, 6.0 / 300);
  c.OnMouseMove(300, 100000);
  EXPECT_DOUBLE_EQ(c.m_dMagOffset, -6);
  c.OnRButtonUp();
  EXPECT_EQ(c.CursorAt(300, 200), MagCursor::Default);
}

// Through the comparison's own drawing: each gesture changes what the next
// drawing shows by the pixels the pointer moved.
TEST_F(MagCurveGesture, ComparisonDrawingFollowsTheGestures)
{
  Object(0, 8, 10);
  c.m_bCompare = 1;
  RecordingCanvas g;
  auto draw = [&] {
    c.DrawPlot(g, 800, 500, 0);
    EXPECT_EQ(c.m_bCmpGeomValid, 1);
  };
  draw();
  const double left = c.m_dCmpLeft, width = c.m_dCmpRight - c.m_dCmpLeft, height = c.m_dCmpBottom - c.m_dCmpTop;
  const double mid = (c.m_dCmpTop + c.m_dCmpBottom) / 2;
  double d0 = c.m_dCmpDayMin, d1 = c.m_dCmpDayMax;
  ASSERT_TRUE(c.OnLButtonDown(400, static_cast<int>(mid)));
  c.OnMouseMove(400 - 100, static_cast<int>(mid));
  c.OnLButtonUp();
  draw();
  EXPECT_NEAR(c.m_dCmpDayMin, d0 + 100 * (d1 - d0) / width, 1e-9);
  EXPECT_NEAR(c.m_dCmpDayMax, d1 + 100 * (d1 - d0) / width, 1e-9);

  d0 = c.m_dCmpDayMin, d1 = c.m_dCmpDayMax;
  const double dayAt300 = d0 + (300 - left) / width * (d1 - d0);
  ASSERT_TRUE(c.OnMouseWheel(120, false, 300, 100));
  draw();
  EXPECT_NEAR(c.m_dCmpDayMax - c.m_dCmpDayMin, 0.8 * (d1 - d0), 1e-9);
  EXPECT_NEAR(c.m_dCmpDayMin + (300 - left) / width * (c.m_dCmpDayMax - c.m_dCmpDayMin), dayAt300, 1e-9);

  const double y0 = c.m_dCmpMagMin, y1 = c.m_dCmpMagMax;
  ASSERT_TRUE(c.OnLButtonDown(20, static_cast<int>(mid)));
  c.OnMouseMove(20, static_cast<int>(mid) + 90);
  c.OnLButtonUp();
  draw();
  EXPECT_NEAR(c.m_dCmpMagMin, MagAxisTop(y1, y0, height, 90), 1e-9);
  EXPECT_NEAR(c.m_dCmpMagMax, y1, 1e-9);

  const double z0 = c.m_dCmpMagMin, z1 = c.m_dCmpMagMax;
  ASSERT_TRUE(c.OnRButtonDown(400, static_cast<int>(mid)));
  c.OnMouseMove(400, static_cast<int>(mid) - 40);
  c.OnRButtonUp();
  draw();
  EXPECT_NEAR(c.m_dCmpMagMin, z0 + 40 * (z1 - z0) / height, 1e-9);
  EXPECT_NEAR(c.m_dCmpMagMax, z1 + 40 * (z1 - z0) / height, 1e-9);
  EXPECT_EQ(c.m_bLeftBound + c.m_bRightBound + c.m_bMagMinSet, 0) << "the time plot keeps its own zoom";
}

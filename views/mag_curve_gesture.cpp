// The mouse on the magnitude curve's plot band: the law's handles bent and
// shifted, the time axis panned, zoomed with the wheel and scrolled by the
// perihelion line, the magnitude axis stretched beside it and shifted with
// the right button, the title switching between the object's two names.
// The same gestures work on the apparition comparison through the geometry
// its last drawing stored.
#include <algorithm>
#include <cmath>

#include "astro/ephemeris_rows.h"
#include "views/mag_curve.h"

namespace {

constexpr double kMinSpanDays = 2;
constexpr double kMaxSpanDays = 146100;  // 400 years
constexpr double kPanDeadZone = 3;
constexpr double kPeriInset = 10;
constexpr double kTopmostMag = -12;
constexpr double kMinMagSpan = 0.2;
// An end handle with a free slope moves the curve a tenth as fast.
constexpr double kFreeSlopeGain = 0.1;

bool Inside(double x, double y, double left, double right, double top, double bottom)
{
  return x >= left && x <= right && y >= top && y <= bottom;
}

// The time or day pan from [left, right], and the magnitude-axis drag from
// the drawn top; both start the capture.
bool StartPan(CMagCurveDlg& c, double left, double right, int x)
{
  c.m_bPan = 1;
  c.m_dPanLeft = left;
  c.m_dPanRight = right;
  c.m_nPanX = x;
  return true;
}

bool StartMagAxisDrag(CMagCurveDlg& c, double top, int y)
{
  c.m_bMagAxisDrag = 1;
  c.m_dMagAxisDragMin = top;
  c.m_dMagAxisDragY = y;
  return true;
}

} // namespace

void WheelZoomRange(double t0, double t1, double u, double delta, bool bShift, double& left, double& right)
{
  const double s = std::max(kMinSpanDays, t1 - t0);
  const double exponent = -delta / 120 * (bShift ? 0.1 : 1);
  const double s2 = std::clamp(std::pow(1.25, exponent) * s, kMinSpanDays, kMaxSpanDays);
  left = t0 + u * s - u * s2;
  right = left + s2;
}

bool PanRange(double left0, double right0, double plotWidth, double dx, double& left, double& right)
{
  if (std::fabs(dx) < kPanDeadZone || !(plotWidth > 0))
    return false;
  const double pixelsPerDay = plotWidth / std::max(kMinSpanDays, right0 - left0);
  const double shift = dx / pixelsPerDay;
  left = left0 - shift;
  right = right0 - shift;
  return true;
}

void PeriDragRange(double left0, double right0, double T, double plotWidth, double dx, double& left, double& right)
{
  const double d = std::max(kMinSpanDays, right0 - left0);
  const double moved = left0 - dx * d / plotWidth;
  const double h = std::min(0.5, kPeriInset / plotWidth);
  const double c = std::min(std::max((T - moved) / d, h), 1 - h);
  left = T - c * d;
  right = left + d;
}

double MagAxisTop(double mmax, double startTop, double plotHeight, double dy)
{
  const double s = std::pow(3.0, dy / plotHeight * 0.3);
  const double top = std::min(mmax - s * std::max(kMinMagSpan, mmax - startTop), mmax - kMinMagSpan);
  return std::max(top, kTopmostMag);
}

double VPanOffset(double startOffset, double dy, double magPerPixel, double limit)
{
  return std::clamp(startOffset - dy * magPerPixel, -limit, limit);
}

double HandleTarget(double startMag, double dy, double plotHeight, double mmin, double mmax, double lever,
                    double gain)
{
  const double span = mmax - mmin;
  const double v = dy / plotHeight * span * lever * gain + startMag;
  return std::clamp(v, mmin - 0.1 * span, mmax + 0.1 * span);
}

// ---- the window's state ----

void CMagCurveDlg::ShownTimeSpan(double t0, double t1, double& first, double& last) const
{
  bool bAny = false;
  for (const MagCurvePoint& p : m_pPoints) {
    if (!IsShown(p))
      continue;
    first = bAny ? std::min(first, p.dJd) : p.dJd;
    last = bAny ? std::max(last, p.dJd) : p.dJd;
    bAny = true;
  }
  if (!bAny || !(last > first))
    first = t0, last = t1;
}

double CMagCurveDlg::HandleLever(double t0, double t1)
{
  if (IsSlopeFixed() || !m_bHasOrbit || !(m_dQ > 0))
    return 1;
  double f = 0, g = 0;
  ShownTimeSpan(t0, t1, f, g);
  double X[2];
  const double times[2] = {f, g};
  for (int i = 0; i < 2; ++i) {
    double r = 0, delta = 0, R = 0;
    if (!GeometryAt(times[i], r, delta, R))
      return 1;
    if (!m_bAsteroidLaw) {
      X[i] = std::log10(r);
      continue;
    }
    const double alpha = TriangleAngle(r, delta, R);
    const double f1 = PhaseFunction1(alpha);
    if (!(f1 > 1e-6))
      return 1;
    X[i] = PhaseFunction2(alpha) / f1 - 1;
  }
  return std::fabs(X[1] - X[0]) / (m_bAsteroidLaw ? 3 : 0.3);
}

MagHit CMagCurveDlg::HitTimePlot(int x, int y, MagPlotLayout& L)
{
  int w = 0, h = 0;
  ClientSize(w, h);
  if (!GetPlotRanges(w, h, L, 1))
    return MagHit::None;
  const double width = L.dRight - L.dLeft;
  const bool bSpan = L.dTimeMax > L.dTimeMin;
  const double xT = bSpan ? (m_dT - L.dTimeMin) / (L.dTimeMax - L.dTimeMin) * width + L.dLeft
                          : (L.dLeft + L.dRight) / 2;
  auto Y = [&](double m) { return (m - L.dMagMin) / (L.dMagMax - L.dMagMin) * (L.dBottom - L.dTop) + L.dTop; };
  double mLeft = 0, mRight = 0, mPeri = 0;
  if (m_bFitted && ModelMagnitude(L.dTimeMin, mLeft) && ModelMagnitude(L.dTimeMax, mRight) &&
      ModelMagnitude(m_dT, mPeri)) {
    const struct {
      double x, y;
      MagHit hit;
    } handles[] = {{L.dLeft, Y(mLeft), MagHit::LeftHandle},
                   {L.dRight, Y(mRight), MagHit::RightHandle},
                   {xT, Y(mPeri), MagHit::PeriHandle}};
    for (const auto& hd : handles)
      if (std::fabs(x - hd.x) <= kMagHandleReach && std::fabs(y - hd.y) <= kMagHandleReach)
        return hd.hit;
  }
  const bool bPlotRows = y >= L.dTop && y <= L.dBottom;
  if (m_bHasOrbit && bSpan && std::fabs(x - xT) <= kMagPeriLineReach && bPlotRows)
    return MagHit::PeriLine;
  if (x >= 0 && x <= L.dLeft && bPlotRows)
    return MagHit::AxisStrip;
  if (x >= L.dLeft && x <= L.dRight && bPlotRows)
    return MagHit::Plot;
  return MagHit::None;
}

// ---- the handlers ----

bool CMagCurveDlg::OnLButtonDown(int x, int y)
{
  if (!m_strAltTitle.empty() && m_rcTitle.Contains(static_cast<float>(x), static_cast<float>(y))) {
    m_bShowAltTitle = !m_bShowAltTitle;
    InvalidatePlot(0);
    return false;
  }
  if (AnyGesture())
    return false;
  if (m_bCompare) {
    if (!m_bCmpGeomValid)
      return false;
    if (Inside(x, y, 0, m_dCmpLeft, m_dCmpTop, m_dCmpBottom))
      return StartMagAxisDrag(*this, m_dCmpMagMin, y);
    if (Inside(x, y, m_dCmpLeft, m_dCmpRight, m_dCmpTop, m_dCmpBottom))
      return StartPan(*this, m_dCmpDayMin, m_dCmpDayMax, x);
    return false;
  }
  MagPlotLayout L;
  const MagHit hit = HitTimePlot(x, y, L);
  switch (hit) {
  case MagHit::LeftHandle:
  case MagHit::RightHandle:
  case MagHit::PeriHandle: {
    double anchor = m_dT;
    if (hit == MagHit::PeriHandle) {
      m_nDragHandle = 2;
      m_dDragLever = 1.0;
    } else {
      double first = 0, last = 0;
      ShownTimeSpan(L.dTimeMin, L.dTimeMax, first, last);
      m_nDragHandle = hit == MagHit::LeftHandle ? 0 : 1;
      anchor = m_nDragHandle == 0 ? first : last;
      m_dDragLever = HandleLever(L.dTimeMin, L.dTimeMax);
    }
    if (!ModelMagnitude(anchor, m_dDragStartMag))
      return false;
    m_bDragCurve = 1;
    m_dDragStartY = y;
    return true;
  }
  case MagHit::PeriLine:
    m_bPeriDrag = 1;
    m_dPeriDragLeft = L.dTimeMin;
    m_dPeriDragRight = L.dTimeMax;
    m_nPeriDragX = x;
    return true;
  case MagHit::AxisStrip: return StartMagAxisDrag(*this, L.dMagMin, y);
  case MagHit::Plot: return StartPan(*this, L.dTimeMin, L.dTimeMax, x);
  case MagHit::None: break;
  }
  return false;
}

void CMagCurveDlg::DragCurveTo(int y)
{
  int w = 0, h = 0;
  ClientSize(w, h);
  MagPlotLayout L;
  if (!GetPlotRanges(w, h, L, 1) || !(L.dBottom > L.dTop))
    return;
  const bool bSlopeFixed = IsSlopeFixed() != 0;
  const double gain = m_nDragHandle == 2 || bSlopeFixed ? 1 : kFreeSlopeGain;
  const double v =
      HandleTarget(m_dDragStartMag, y - m_dDragStartY, L.dBottom - L.dTop, L.dMagMin, L.dMagMax, m_dDragLever, gain);
  double l = 0, m = 0;
  ShownTimeSpan(L.dTimeMin, L.dTimeMax, l, m);
  if (m_nDragHandle == 2 || bSlopeFixed) {
    const double t = m_nDragHandle == 2 ? m_dT : m_nDragHandle == 1 ? m : l;
    // The H,G law keeps H within [-5, 40], as its arrows and solves do.
    double model = 0;
    if (m_bAsteroidLaw && ModelMagnitude(t, model) && !(m_dH + v - model >= -5 && m_dH + v - model <= 40))
      return;
    ShiftHThroughPoint(t, v);
  } else {
    // The other end keeps the curve's magnitude there.
    double kept = 0;
    if (!ModelMagnitude(m_nDragHandle == 1 ? l : m, kept))
      return;
    if (m_nDragHandle == 1)
      SolveThroughTwoPoints(l, kept, m, v);
    else
      SolveThroughTwoPoints(l, v, m, kept);
  }
  InvalidatePlot(1);
}

void CMagCurveDlg::OnMouseMove(int x, int y)
{
  int w = 0, h = 0;
  ClientSize(w, h);
  MagPlotLayout L;
  GetPlotLayout(w, h, L);
  if (m_bVPan) {
    m_dMagOffset = VPanOffset(m_dVPanStartOffset, y - m_dVPanStartY, m_dMagPerPixel, m_dVPanLimit);
    InvalidatePlot(0);
  } else if (m_bPan) {
    const double width = m_bCompare ? m_dCmpRight - m_dCmpLeft : L.dRight - L.dLeft;
    double left = 0, right = 0;
    if (!PanRange(m_dPanLeft, m_dPanRight, width, x - m_nPanX, left, right))
      return;
    if (m_bCompare) {
      m_bCmpZoomDays = 1;
      m_dCmpZoomLeft = left, m_dCmpZoomRight = right;
    } else {
      m_bLeftBound = m_bRightBound = 1;
      m_dLeftJd = left, m_dRightJd = right;
    }
    InvalidatePlot(0);
  } else if (m_bPeriDrag) {
    if (!(L.dRight > L.dLeft))
      return;
    m_bLeftBound = m_bRightBound = 1;
    PeriDragRange(m_dPeriDragLeft, m_dPeriDragRight, m_dT, L.dRight - L.dLeft, x - m_nPeriDragX, m_dLeftJd,
                  m_dRightJd);
    InvalidatePlot(0);
  } else if (m_bMagAxisDrag) {
    double bottom = 0, height = 0;
    if (m_bCompare) {
      bottom = m_dCmpMagMax, height = m_dCmpBottom - m_dCmpTop;
    } else {
      if (!GetPlotRanges(w, h, L, 1))
        return;
      bottom = L.dMagMax, height = L.dBottom - L.dTop;
    }
    if (!(height > 0))
      return;
    const double top = MagAxisTop(bottom, m_dMagAxisDragMin, height, y - m_dMagAxisDragY);
    if (m_bCompare)
      m_bCmpZoomMag = 1, m_dCmpZoomMag = top - m_dMagOffset;
    else
      m_bMagMinSet = 1, m_dMagMin = top - m_dMagOffset;
    InvalidatePlot(0);
  } else if (m_bDragCurve) {
    DragCurveTo(y);
  }
}

void CMagCurveDlg::OnLButtonUp()
{
  OnCaptureChanged();
}

bool CMagCurveDlg::OnRButtonDown(int x, int y)
{
  if (AnyGesture())
    return false;
  double left = m_dCmpLeft, right = m_dCmpRight, top = m_dCmpTop, bottom = m_dCmpBottom;
  double span = m_dCmpMagMax - m_dCmpMagMin;
  if (m_bCompare) {
    if (!m_bCmpGeomValid)
      return false;
  } else {
    int w = 0, h = 0;
    ClientSize(w, h);
    MagPlotLayout L;
    if (!GetPlotRanges(w, h, L, 1))
      return false;
    left = L.dLeft, right = L.dRight, top = L.dTop, bottom = L.dBottom;
    span = L.dMagMax - L.dMagMin;
  }
  if (!Inside(x, y, left, right, top, bottom) || !(bottom > top) || !(span > 0))
    return false;
  m_bVPan = 1;
  m_dVPanStartOffset = m_dMagOffset;
  m_dVPanLimit = span;
  m_dVPanStartY = y;
  m_dMagPerPixel = span / (bottom - top);
  return true;
}

void CMagCurveDlg::OnRButtonUp()
{
  m_bVPan = 0;
}

void CMagCurveDlg::OnCaptureChanged()
{
  m_bDragCurve = m_bPeriDrag = m_bPan = m_bMagAxisDrag = m_bVPan = 0;
}

bool CMagCurveDlg::OnMouseWheel(double delta, bool bShift, int x, int y)
{
  if (AnyGesture())
    return true;
  int w = 0, h = 0;
  ClientSize(w, h);
  auto zoom = [&](double t0, double t1, double left, double right, double& outLeft, double& outRight) {
    const double u = x >= left && x <= right && right > left ? (x - left) / (right - left) : 0.5;
    WheelZoomRange(t0, t1, u, delta, bShift, outLeft, outRight);
    InvalidatePlot(0);
  };
  if (!m_bCompare) {
    MagPlotLayout L;
    if (!GetPlotRanges(w, h, L, 1) || !Inside(x, y, 0, w, 0, L.dBand))
      return false;
    m_bLeftBound = m_bRightBound = 1;
    zoom(L.dTimeMin, L.dTimeMax, L.dLeft, L.dRight, m_dLeftJd, m_dRightJd);
    return true;
  }
  if (!m_bCmpGeomValid || !Inside(x, y, 0, w, 0, m_dCmpBottom))
    return false;
  m_bCmpZoomDays = 1;
  zoom(m_dCmpDayMin, m_dCmpDayMax, m_dCmpLeft, m_dCmpRight, m_dCmpZoomLeft, m_dCmpZoomRight);
  return true;
}

MagCursor CMagCurveDlg::CursorAt(int x, int y)
{
  if (m_bVPan)
    return MagCursor::Pan;
  int w = 0, h = 0;
  ClientSize(w, h);
  const bool bInClient = x >= 0 && y >= 0 && x < w && y < h;
  if (!m_strAltTitle.empty() && bInClient && !m_bMagAxisDrag && !m_bPan && !m_bPeriDrag &&
      m_rcTitle.Contains(static_cast<float>(x), static_cast<float>(y)))
    return MagCursor::Hand;
  if (m_bCompare) {
    if (m_bMagAxisDrag || m_bPan)
      return MagCursor::Hand;
    return bInClient && m_bCmpGeomValid && Inside(x, y, 0, m_dCmpLeft, m_dCmpTop, m_dCmpBottom) ? MagCursor::Hand
                                                                                                : MagCursor::Default;
  }
  if (m_bMagAxisDrag || m_bPan || m_bPeriDrag || m_bDragCurve)
    return MagCursor::Hand;
  if (!bInClient)
    return MagCursor::Default;
  MagPlotLayout L;
  const MagHit hit = HitTimePlot(x, y, L);
  const bool bHandle = hit == MagHit::LeftHandle || hit == MagHit::RightHandle || hit == MagHit::PeriHandle;
  return bHandle || (L.bRangesValid && Inside(x, y, 0, L.dLeft, L.dTop, L.dBottom)) ? MagCursor::Hand
                                                                                     : MagCursor::Default;
}

// The apparition comparison in the magnitude curve's plot band: every
// observation at its days from the perihelion of its own return against
// m - 5 log Δ, each return in its colour with its own fitted H and K, the
// window's law and a legend.
#include <algorithm>
#include <cmath>
#include <vector>

#include "astro/ephemeris_rows.h"
#include "astro/frames.h"
#include "astro/time_scales.h"
#include "astro/two_body.h"
#include "platform/numbers.h"
#include "views/mag_curve.h"
#include "views/mag_point_runs.h"

namespace {

constexpr uint32_t kPalette[12] = {0x50DCFF, 0xFFBE46, 0x82FF96, 0xFF82B4, 0xB4A0FF, 0xFFF582,
                                   0x82BEFF, 0xFF966E, 0x78FFDC, 0xE68CFF, 0xC8EB6E, 0xAACDC3};
constexpr uint32_t kLegendText = 0xFFE1E4EB;
constexpr uint32_t kLabel = 0xFF969BA5;
constexpr uint32_t kNote = 0xFFF0AA6E;
constexpr uint32_t kAxis = 0xFF6E7684;
constexpr uint32_t kGrid = 0x5A6E7684;        // alpha 90
constexpr uint32_t kDayZero = 0xFFC85A5A;
constexpr uint32_t kWindowLaw = 0x96EB6238;   // alpha 150
constexpr uint32_t kLegendFill = 0xAA161A22;  // alpha 170
constexpr uint32_t kLegendEdge = 0x6E828C9B;  // alpha 110
constexpr int kMaxGridLines = 200;

constexpr const char* kCaption = "横軸: 近日点からの日数　　縦軸: m − 5 log Δ (地心距離の影響を除いた等級)";
constexpr const char* kCaptionShort = "横軸: 近日点からの日数　　縦軸: m − 5 log Δ";
constexpr const char* kFoldWarning =
    "※周期を一定として畳んでいます。木星接近で周期が変わった彗星では回帰の年がずれます。";

uint32_t WithAlpha(uint32_t rgb, uint32_t alpha) { return (alpha << 24) | (rgb & 0xFFFFFF); }

// A grid step of 10^n, times 5 or 2 when that would give too many lines.
double GridStep(double span, double parts, double many, double several)
{
  double step = std::pow(10.0, std::floor(std::log10(span / parts)));
  if (span / step > many)
    step *= 5;
  else if (span / step > several)
    step *= 2;
  return step;
}

int YearOf(double jd)
{
  double y = 0, m = 0, d = 0;
  JdToCalendar(jd, y, m, d);
  return static_cast<int>(y);
}

// One return as drawn.
struct Return {
  double number;   // table row, or fold number
  double T;        // its perihelion time
  int used = 0;    // points of its fit
  double first = 0, last = 0;  // their day range
  double H = 0, K = 0;
  bool fitted = false;
};

} // namespace

void CMagCurveDlg::SampleSunDistances(double T0, double d0, double span, double r[201])
{
  int lastSet = -2;
  double P[3] = {}, Q[3] = {};
  double T = m_dT, q = m_dQ, e = m_dE;
  if (!m_bApparitionsValid)
    OrbitOrientationVectors(m_dPeri, m_dNode, m_dIncl, P, Q);
  for (int i = 0; i <= 200; ++i) {
    const double t = T0 + d0 + i * span / 200;
    r[i] = 0;
    if (m_bApparitionsValid) {
      const int s = FindNearestElementSet(t);
      if (s < 0)
        continue;
      if (s != lastSet) {
        const ApparitionElementSet& set = m_pElementSets[s];
        OrbitOrientationVectors(set.dPeri, set.dNode, set.dIncl, P, Q);
        T = set.dT, q = set.dQ, e = set.dE;
        lastSet = s;
      }
    }
    double sun[3], sunOfDate[3], lambda = 0, beta = 0, R = 0;
    GeocentricSun(t, sun, sunOfDate, lambda, beta, R);
    double ra = 0, dec = 0, delta = 0, dist = 0, nu = 0;
    if (TwoBodyGeocentricPosition(T, q, e, P, Q, t, sun, ra, dec, delta, dist, nu) == 0 && dist > 0)
      r[i] = dist;
  }
}

void CMagCurveDlg::DrawLawCurve(ISceneCanvas& g, const double r[201], double H, double K, double c0, double c1,
                                double d0, double span, double m0, double m1, const SceneRect& plot, uint32_t argb,
                                float width)
{
  std::vector<ScenePoint> run;
  auto flush = [&] {
    if (run.size() >= 2)
      g.Polyline(run, ScenePen{argb, width});
    run.clear();
  };
  for (int i = 0; i <= 200; ++i) {
    const double d = d0 + i * span / 200;
    const double y = r[i] > 0 ? H + K * std::log10(r[i]) : 0;
    if (!(d >= c0 && d <= c1 && r[i] > 0 && y >= m0 && y <= m1)) {
      flush();
      continue;
    }
    run.push_back({static_cast<float>(plot.x + (d - d0) / span * plot.w),
                   static_cast<float>(plot.y + (y - m0) / (m1 - m0) * plot.h)});
  }
  flush();
}

namespace {

// The returns met by the shown points, sorted by perihelion time, and the
// return of each point (-1 none).
struct ReturnSet {
  std::vector<Return> sorted;
  std::vector<int> of;
};

// The returns in order of perihelion time, the points' numbers following them.
ReturnSet SortedByPerihelion(const std::vector<Return>& returns, std::vector<int> of)
{
  std::vector<int> order(returns.size());
  for (size_t k = 0; k < order.size(); ++k)
    order[k] = static_cast<int>(k);
  std::sort(order.begin(), order.end(), [&](int a, int b) { return returns[a].T < returns[b].T; });
  std::vector<int> position(returns.size());
  for (size_t k = 0; k < order.size(); ++k)
    position[order[k]] = static_cast<int>(k);
  ReturnSet set;
  for (int k : order)
    set.sorted.push_back(returns[k]);
  for (int& k : of)
    if (k >= 0)
      k = position[k];
  set.of = std::move(of);
  return set;
}

// The returns of the shown points, from the apparition table or by folding
// with the period.
ReturnSet CollectReturns(const CMagCurveDlg& v, double period)
{
  // In order of appearance first.
  std::vector<Return> returns;
  std::vector<int> of(v.m_pPoints.size(), -1);
  for (size_t i = 0; i < v.m_pPoints.size(); ++i) {
    const MagCurvePoint& p = v.m_pPoints[i];
    if (!(p.dDelta > 0) || !v.IsShown(p))
      continue;
    double number = 0, T = 0;
    if (v.m_bApparitionsValid) {
      if (p.nApparition < 0 || p.nApparition >= v.m_nApparitions)
        continue;
      number = p.nApparition;
      T = v.m_apparitions[p.nApparition].dT;
    } else {
      // Negative numbers (before T) are returns of their own as well.
      number = FoldNumber(p.dJd, v.m_dT, period);
      T = v.m_dT + number * period;
    }
    int k = 0;
    while (k < static_cast<int>(returns.size()) && returns[k].number != number)
      ++k;
    if (k == static_cast<int>(returns.size())) {
      if (returns.size() >= kMaxApparitions)
        continue;
      returns.push_back(Return{number, T});
    }
    of[i] = k;
  }
  return SortedByPerihelion(returns, std::move(of));
}

// The days from perihelion and the distance-free magnitude of a point.
double DaysOf(const MagCurvePoint& p, const Return& ret) { return p.dJd - ret.T; }
double ReducedMag(const MagCurvePoint& p) { return p.dMag - 5 * std::log10(p.dDelta); }

// The plot's ranges and rectangle, and the mapping of days and magnitudes to pixels.
struct ComparisonFrame {
  double d0 = 0, d1 = 0, y0 = 0, y1 = 0;
  double left = 0, right = 0, top = 0, bottom = 0;
  SceneRect plot{};
  float l = 0, r = 0, t = 0, b = 0;
  float X(double d) const { return static_cast<float>(left + (d - d0) / (d1 - d0) * (right - left)); }
  float Y(double y) const { return static_cast<float>(top + (y - y0) / (y1 - y0) * (bottom - top)); }
};

// The points' ranges, padded, then the user's zoom and offset; false when no point is in a return.
bool ComparisonRanges(const CMagCurveDlg& v, const ReturnSet& set, ComparisonFrame& f)
{
  bool bAny = false;
  double d0 = 0, d1 = 0, y0 = 0, y1 = 0;
  for (size_t i = 0; i < v.m_pPoints.size(); ++i) {
    if (set.of[i] < 0)
      continue;
    const MagCurvePoint& p = v.m_pPoints[i];
    const double d = DaysOf(p, set.sorted[set.of[i]]), y = ReducedMag(p);
    d0 = bAny ? std::min(d0, d) : d, d1 = bAny ? std::max(d1, d) : d;
    y0 = bAny ? std::min(y0, y) : y, y1 = bAny ? std::max(y1, y) : y;
    bAny = true;
  }
  if (!bAny)
    return false;
  const double dPad = 0.05 * std::max(10.0, d1 - d0), yPad = 0.08 * std::max(1.0, y1 - y0);
  d0 -= dPad, d1 += dPad, y0 -= yPad, y1 += yPad;
  if (v.m_bCmpZoomDays) {
    d0 = v.m_dCmpZoomLeft;
    d1 = std::max(v.m_dCmpZoomRight, d0 + 2);
  }
  if (v.m_bCmpZoomMag && v.m_dCmpZoomMag < y1 - 0.2)
    y0 = v.m_dCmpZoomMag;
  y0 += v.m_dMagOffset;
  y1 += v.m_dMagOffset;
  f.d0 = d0, f.d1 = d1, f.y0 = y0, f.y1 = y1;
  return true;
}

void PlaceFrame(ComparisonFrame& f, double left, double right, double top, double bottom)
{
  f.left = left, f.right = right, f.top = top, f.bottom = bottom;
  f.plot = SceneRect{static_cast<float>(left), static_cast<float>(top), static_cast<float>(right - left),
                     static_cast<float>(bottom - top)};
  f.l = f.plot.x, f.r = static_cast<float>(right), f.t = f.plot.y, f.b = static_cast<float>(bottom);
}

void DrawComparisonAxes(ISceneCanvas& g, const ComparisonFrame& f)
{
  const float l = f.l, r = f.r, t = f.t, b = f.b;
  g.Line({l, t}, {l, b}, ScenePen{kAxis, 1});
  g.Line({l, b}, {r, b}, ScenePen{kAxis, 1});

  const double G = GridStep(f.y1 - f.y0, 4, 8, 4);
  int lines = 0;
  for (double y = std::ceil(f.y0 / G) * G; y <= f.y1 && lines < kMaxGridLines; y += G, ++lines) {
    g.Line({l, f.Y(y)}, {r, f.Y(y)}, ScenePen{kGrid, 1});
    g.Text(FormatC("%.1f", y), {l - 40, f.Y(y) - 8}, SceneFont::Small, kLabel);
  }
  const double I = GridStep(f.d1 - f.d0, 5, 10, 5);
  lines = 0;
  for (double d = std::ceil(f.d0 / I) * I; d <= f.d1 && lines < kMaxGridLines; d += I, ++lines) {
    g.Line({f.X(d), t}, {f.X(d), b}, ScenePen{kGrid, 1});
    const std::string label = std::fabs(d) < I / 2 ? std::string("近日点") : FormatC("%+g", d);
    g.Text(label, {f.X(d) - g.MeasureText(label, SceneFont::Small).x / 2, b + 4}, SceneFont::Small, kLabel);
  }
}

// The caption, with the legend of the two looks when only totals enter the
// law, and under it the apparitions' summary or the folding's warning.
void DrawComparisonCaption(ISceneCanvas& g, const CMagCurveDlg& v, const ComparisonFrame& f, float captionY,
                           size_t returns)
{
  std::string caption = kCaption;
  if (!v.m_bUseNonTotal) {
    for (const char* legend : {"　　●全光度　○核光度・種別不明(光度式には使わない)", "　　●全光度　○それ以外", ""}) {
      caption = std::string(kCaption) + legend;
      if (g.MeasureText(caption, SceneFont::Small).x <= f.plot.w)
        break;
    }
  }
  if (g.MeasureText(caption, SceneFont::Small).x > f.plot.w)
    caption = kCaptionShort;
  g.Text(caption, {f.l, captionY}, SceneFont::Small, kLabel);

  if (v.m_bApparitionsValid && !v.m_strApparitionSummary.empty()) {
    const std::string& line = g.MeasureText(v.m_strApparitionSummary, SceneFont::Small).x > f.plot.w &&
                                      !v.m_strApparitionSummaryShort.empty()
                                  ? v.m_strApparitionSummaryShort
                                  : v.m_strApparitionSummary;
    g.Text(line, {f.l, captionY + 14}, SceneFont::Small, kLabel);
  } else if (returns >= 2) {
    g.Text(v.m_strApparitionSummary.empty() ? kFoldWarning : v.m_strApparitionSummary, {f.l, captionY + 14},
           SceneFont::Small, kNote);
  }
}

// Each return's own H and K from its points that enter the law.
void FitReturnLaws(const CMagCurveDlg& v, ReturnSet& set)
{
  for (size_t k = 0; k < set.sorted.size(); ++k) {
    Return& ret = set.sorted[k];
    std::vector<double> xs, ys;
    double xMin = 0, xMax = 0;
    for (size_t i = 0; i < v.m_pPoints.size(); ++i) {
      const MagCurvePoint& p = v.m_pPoints[i];
      if (set.of[i] != static_cast<int>(k) || !(p.dR > 0) || !v.TakesPart(p))
        continue;
      const double d = DaysOf(p, ret), x = std::log10(p.dR);
      ret.first = xs.empty() ? d : std::min(ret.first, d);
      ret.last = xs.empty() ? d : std::max(ret.last, d);
      xMin = xs.empty() ? x : std::min(xMin, x);
      xMax = xs.empty() ? x : std::max(xMax, x);
      xs.push_back(x);
      ys.push_back(ReducedMag(p));
    }
    ret.used = static_cast<int>(xs.size());
    double H = 0, K = 0, rms = 0;
    if (ret.used > 4 && xMax - xMin >= 0.02 && LinearFit(xs.data(), ys.data(), ret.used, H, K, rms) &&
        std::isfinite(H) && std::isfinite(K) && std::fabs(K) <= 60) {
      ret.H = H, ret.K = K, ret.fitted = true;
    }
  }
}

void DrawComparisonPoints(ISceneCanvas& g, const CMagCurveDlg& v, const ReturnSet& set, const ComparisonFrame& f)
{
  MagPointRuns runs(g);
  for (size_t i = 0; i < v.m_pPoints.size(); ++i) {
    if (set.of[i] < 0)
      continue;
    const MagCurvePoint& p = v.m_pPoints[i];
    const double d = DaysOf(p, set.sorted[set.of[i]]), y = ReducedMag(p);
    if (d < f.d0 || d > f.d1 || y < f.y0 || y > f.y1)
      continue;
    const bool filled = v.TakesPart(p);
    runs.Add({f.X(d), f.Y(y)}, WithAlpha(kPalette[set.of[i] % 12], filled ? 210 : 200), filled);
  }
}

// The window's law, then each fitted return's over its own days.
void DrawComparisonLaws(ISceneCanvas& g, CMagCurveDlg& v, const std::vector<Return>& sorted,
                        const ComparisonFrame& f)
{
  const double dSpan = f.d1 - f.d0;
  double r201[201];
  if (v.m_bFitted) {
    v.SampleSunDistances(v.m_dT, f.d0, dSpan, r201);
    v.DrawLawCurve(g, r201, v.m_dH, v.m_dSlope, f.d0, f.d1, f.d0, dSpan, f.y0, f.y1, f.plot, kWindowLaw, 3);
  }
  for (size_t k = 0; k < sorted.size(); ++k) {
    const Return& ret = sorted[k];
    if (!ret.fitted)
      continue;
    v.SampleSunDistances(ret.T, f.d0, dSpan, r201);
    v.DrawLawCurve(g, r201, ret.H, ret.K, ret.first, ret.last, f.d0, dSpan, f.y0, f.y1, f.plot,
                   WithAlpha(kPalette[k % 12], 235), 1.8f);
  }
}

// The legend at the top right: a row for each return while they fit.
void DrawComparisonLegend(ISceneCanvas& g, const std::vector<Return>& sorted, const ComparisonFrame& f)
{
  const int rows = std::min(static_cast<int>(sorted.size()),
                            std::max(1, static_cast<int>(std::floor((f.bottom - f.top - 24) / 15))));
  if (rows <= 0)
    return;
  const float r = f.r, t = f.t;
  const float bx = r - 178, by = t + 4, bh = rows * 15.0f + 8;
  g.FillPolygon({{bx, by}, {bx + 178, by}, {bx + 178, by + bh}, {bx, by + bh}}, kLegendFill);
  g.Polyline({{bx, by}, {bx + 178, by}, {bx + 178, by + bh}, {bx, by + bh}, {bx, by}}, ScenePen{kLegendEdge, 1});
  for (int i = 0; i < rows; ++i) {
    const Return& ret = sorted[i];
    const float y = t + 8 + 15.0f * i;
    const uint32_t colour = WithAlpha(kPalette[i % 12], 255);
    if (ret.fitted)
      g.Line({r - 173, y + 6.5f}, {r - 163, y + 6.5f}, ScenePen{colour, 1.8f});
    g.FillCircle({r - 171 + 3.5f, y + 3 + 3.5f}, 7, colour);
    const int year = YearOf(ret.T);
    const std::string text = ret.fitted      ? FormatC("%d年  H=%.1f  K=%.1f", year, ret.H, ret.K)
                             : ret.used == 0 ? FormatC("%d年 (全光度なし)", year)
                                             : FormatC("%d年", year);
    g.Text(text, {r - 158, y}, SceneFont::Small, kLegendText);
  }
}

} // namespace

void CMagCurveDlg::DrawApparitionComparison(ISceneCanvas& g, int clientHeight, double left, double right,
                                            double top, double bottom)
{
  m_bCmpGeomValid = 0;
  double period = 0;
  if (!GetCometPeriod(period) || m_nPoints == 0) {
    g.SizedText("回帰ごとの比較には、楕円軌道の彗星の観測が必要です。", {20, clientHeight / 2.0f - 10}, 11, false,
                kLabel);
    return;
  }
  const float captionY = static_cast<float>(top + 1);
  if (bottom - top > 140)
    top += 30;

  ReturnSet set = CollectReturns(*this, period);
  ComparisonFrame f;
  if (!ComparisonRanges(*this, set, f))
    return;
  PlaceFrame(f, left, right, top, bottom);
  m_dCmpLeft = left, m_dCmpRight = right, m_dCmpTop = top, m_dCmpBottom = bottom;
  m_dCmpDayMin = f.d0, m_dCmpDayMax = f.d1, m_dCmpMagMin = f.y0, m_dCmpMagMax = f.y1;
  m_bCmpGeomValid = 1;

  DrawComparisonAxes(g, f);
  DrawComparisonCaption(g, *this, f, captionY, set.sorted.size());
  if (f.d0 <= 0 && f.d1 >= 0)
    g.Line({f.X(0), f.b}, {f.X(0), f.t}, ScenePen{kDayZero, 1, true});
  FitReturnLaws(*this, set);
  if (m_bShowObservations)
    DrawComparisonPoints(g, *this, set, f);
  DrawComparisonLaws(g, *this, set.sorted, f);
  DrawComparisonLegend(g, set.sorted, f);
}


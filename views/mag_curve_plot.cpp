// The plot band of the magnitude curve: title, observed magnitudes against
// time, the law as a curve, perihelion, oppositions or earlier perihelia,
// today and the curve's drag handles; the law formula as rich text.
#include <algorithm>
#include <cmath>
#include <vector>

#include "astro/frames.h"
#include "astro/time_scales.h"
#include "astro/two_body.h"
#include "platform/app_services.h"
#include "platform/numbers.h"
#include "views/mag_curve.h"
#include "views/mag_point_runs.h"

namespace {

constexpr double kMagFloor = -10;
constexpr double kPlotLeft = 50;

constexpr uint32_t kBandColour = 0xFF14141E;
constexpr uint32_t kTitleColour = 0xFFDCDCDC;
constexpr uint32_t kLabelColour = 0xFF969696;
constexpr uint32_t kEventDateColour = 0xFF82DC96;
constexpr uint32_t kTotalColour = 0xFF00D0AD;
constexpr uint32_t kOtherColour = 0xFFFFEB8C;
constexpr uint32_t kAxisColour = 0xFF787878;
constexpr uint32_t kCurveColour = 0xFF5AC8FF;
constexpr uint32_t kManualCurveColour = 0xFFEB6238;
constexpr uint32_t kPerihelionColour = 0xFFFF8C8C;
constexpr uint32_t kEventColour = 0xDC6ED282;  // alpha 220
constexpr uint32_t kTodayColour = 0xFF78C878;
constexpr uint32_t kTodayTextColour = 0xFF3C963C;
constexpr uint32_t kNucleusColour = 0xFFCD9128;
constexpr uint32_t kHandleColour = 0xFFFFA028;

bool IsLeapYear(int y)
{
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int MonthLength(int y, int m)
{
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : days[(m - 1) % 12];
}

void FillRect(ISceneCanvas& g, float x, float y, float w, float h, uint32_t argb)
{
  g.FillPolygon({{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}}, argb);
}

// Magnitudes of the law over [t0, t1] at n evenly spaced times; ok[i] says
// whether the geometry held.
void SampleLaw(CMagCurveDlg& c, double t0, double t1, int n, std::vector<double>& t, std::vector<double>& m,
               std::vector<char>& ok)
{
  t.resize(n);
  m.assign(n, 0);
  ok.assign(n, 0);
  for (int i = 0; i < n; ++i) {
    t[i] = t0 + (t1 - t0) * i / (n - 1);
    ok[i] = static_cast<char>(c.ModelMagnitude(t[i], m[i]));
  }
}

} // namespace

void PlotDate(double jd, int& year, int& month, int& day)
{
  double y = 0, m = 0, d = 0;
  JdToCalendar(jd, y, m, d);
  year = static_cast<int>(y);
  month = static_cast<int>(m);
  const int rounded = static_cast<int>(std::floor(d + 0.5));
  day = rounded > MonthLength(year, month) ? static_cast<int>(std::floor(d)) : rounded;
}

std::string PlotDateText(double jd)
{
  int y = 0, m = 0, d = 0;
  PlotDate(jd, y, m, d);
  return FormatC("%d/%d/%d", y, m, d);
}

// ---- geometry and ranges ----

void CMagCurveDlg::GetPlotLayout(int width, int height, MagPlotLayout& L)
{
  L = MagPlotLayout{};
  L.bHasGroup = ItemRect(kMagParamGroup, L.rcGroup) ? 1 : 0;
  L.dBand = L.bHasGroup ? L.rcGroup.y - 6 : height - 70;
  L.dLeft = kPlotLeft;
  L.dRight = width - 20;
  L.dTop = 30;
  L.dBottom = L.dBand - 20;
}

void CMagCurveDlg::ApplyTimeZoom(double& t0, double& t1) const
{
  if (m_bLeftBound && m_bRightBound) {
    t0 = m_dLeftJd;
    t1 = m_dRightJd;
    if (t1 < t0 + 2)
      t1 = t0 + 2;
  } else if (m_bRightBound) {
    if (m_dRightJd > t0 + 2)
      t1 = m_dRightJd;
  } else if (m_bLeftBound) {
    if (m_dLeftJd < t1 - 2)
      t0 = m_dLeftJd;
  }
}

void CMagCurveDlg::ExtendRangeToCurve(double t0, double t1, double& mmin)
{
  for (int i = 0; i <= 120; ++i) {
    double m = 0;
    if (ModelMagnitude(t0 + (t1 - t0) * i / 120, m) && m < mmin)
      mmin = m;
  }
}

bool CMagCurveDlg::PointRanges(double& t0, double& t1, double& m0, double& m1, bool bCurve)
{
  bool bAny = false;
  double tmin = 0, tmax = 0;
  for (const MagCurvePoint& p : m_pPoints) {
    if (!IsShown(p))
      continue;
    if (!bAny) {
      tmin = tmax = p.dJd;
      m0 = m1 = p.dMag;
      bAny = true;
    }
    tmin = std::min(tmin, p.dJd), tmax = std::max(tmax, p.dJd);
    m0 = std::min(m0, p.dMag), m1 = std::max(m1, p.dMag);
  }
  if (!bAny)
    return false;
  const double half = std::max(std::max(std::fabs(tmax - m_dT), std::fabs(m_dT - tmin)) * 1.08, 1.0);
  t0 = m_dT - half;
  t1 = m_dT + half;
  ApplyTimeZoom(t0, t1);
  if (bCurve && m_bFitted)
    ExtendRangeToCurve(t0, t1, m0);
  const double pad = std::max(0.2, 0.15 * (m1 - m0));
  m0 -= pad;
  m1 += pad;
  if (m_bMagMinSet && m_dMagMin < m1 - 0.2)
    m0 = m_dMagMin;
  m0 += m_dMagOffset;
  m1 += m_dMagOffset;
  return true;
}

int CMagCurveDlg::GetOrbitOnlyRange(double& t0, double& t1, double& m0, double& m1)
{
  if (!m_bHasOrbit || !m_bFitted)
    return 0;
  double half = 365;
  if (m_dE < 1) {
    const double a = m_dQ / (1 - m_dE);
    if (a > 0)
      half = std::min(0.5 * std::pow(a, 1.5) * 365.25, 365.0);
  }
  half = std::max(half, 30.0);
  t0 = m_dT - half;
  t1 = m_dT + half;
  ApplyTimeZoom(t0, t1);
  bool bAny = false;
  for (int i = 0; i <= 200; ++i) {
    double m = 0;
    if (!ModelMagnitude(t0 + (t1 - t0) * i / 200, m))
      continue;
    m0 = bAny ? std::min(m0, m) : m;
    m1 = bAny ? std::max(m1, m) : m;
    bAny = true;
  }
  if (!bAny)
    return 0;
  const double pad = std::max(0.2, 0.15 * (m1 - m0));
  m0 -= pad;
  m1 += pad;
  if (m_bMagMinSet && m_dMagMin < m1 - 0.2)
    m0 = m_dMagMin;
  return 1;
}

int CMagCurveDlg::GetPlotRanges(int width, int height, MagPlotLayout& L, int bCurve)
{
  GetPlotLayout(width, height, L);
  if (m_nPoints > 0) {
    L.bRangesValid = PointRanges(L.dTimeMin, L.dTimeMax, L.dMagMin, L.dMagMax, bCurve != 0) ? 1 : 0;
  } else if (GetOrbitOnlyRange(L.dTimeMin, L.dTimeMax, L.dMagMin, L.dMagMax)) {
    L.dMagMin += m_dMagOffset;
    L.dMagMax += m_dMagOffset;
    L.bRangesValid = 1;
  }
  return L.bRangesValid;
}

// ---- oppositions ----

void CMagCurveDlg::ComputeOppositions()
{
  m_bOppositionsValid = 1;
  m_nOppositions = 0;
  if (!m_bAsteroidLaw || !m_bHasOrbit || !(m_dQ > 0) || m_nPoints == 0)
    return;
  bool bAny = false;
  double tmin = 0, tmax = 0;
  for (const MagCurvePoint& p : m_pPoints)
    if (IsShown(p)) {
      tmin = bAny ? std::min(tmin, p.dJd) : p.dJd;
      tmax = bAny ? std::max(tmax, p.dJd) : p.dJd;
      bAny = true;
    }
  if (!bAny || !(tmax > tmin))
    return;
  const double start = tmin - 1095.75, span = tmax + 1095.75 - start;
  int N = static_cast<int>(std::floor(span / 5)) + 1;
  double step = 5;
  if (N > 20000) {
    N = 20000;
    step = span / 20000;
  }
  double P[3], Q[3];
  OrbitOrientationVectors(m_dPeri, m_dNode, m_dIncl, P, Q);
  double c0 = 0, c1 = 0;
  int valid = 0;  // consecutive valid samples
  for (int i = 0; i <= N && m_nOppositions < 256; ++i) {
    const double t = start + i * step;
    double sun[3], sunOfDate[3], lambda = 0, beta = 0, R = 0;
    GeocentricSun(t, sun, sunOfDate, lambda, beta, R);
    double ra = 0, dec = 0, delta = 0, r = 0, nu = 0;
    if (TwoBodyGeocentricPosition(m_dT, m_dQ, m_dE, P, Q, t, sun, ra, dec, delta, r, nu) != 0 || !(delta > 0) ||
        !(R > 0)) {
      valid = 0;
      continue;
    }
    const double c2 = (delta * delta + R * R - r * r) / (2 * delta * R);
    if (valid >= 2 && c0 > c1 && c1 < c2 && c1 < -0.866) {
      const double den = c0 - 2 * c1 + c2;
      double F = std::fabs(den) <= 1e-12 ? 0 : 0.5 * (c0 - c2) / den;
      F = std::clamp(F, -1.0, 1.0);
      m_adOppositions[m_nOppositions++] = t - step + F * step;
    }
    c0 = c1;
    c1 = c2;
    ++valid;
  }
}

// ---- drawing ----

void CMagCurveDlg::DrawDragArrow(ISceneCanvas& g, float x, float y, float h, uint32_t argb)
{
  g.Line({x, y - h / 2 + 1}, {x, y + h / 2 - 1}, ScenePen{argb, 1.6f});
  g.FillPolygon({{x, y - h / 2}, {x - 3.5f, y - h / 2 + 5}, {x + 3.5f, y - h / 2 + 5}}, argb);
  g.FillPolygon({{x, y + h / 2}, {x - 3.5f, y + h / 2 - 5}, {x + 3.5f, y + h / 2 - 5}}, argb);
}

std::vector<CMagCurveDlg::FormulaRun> CMagCurveDlg::FormulaRuns() const
{
  enum { kRegular, kItalic, kSub, kItalicSub };
  std::vector<FormulaRun> r;
  if (!m_bAsteroidLaw) {
    r = {{"m", kItalic}, {"1", kSub}, {" = ", kRegular}};
    if (m_bFitted)
      r.push_back({FormatC("%.2f", m_dH), kRegular});
    else
      r.insert(r.end(), {{"H", kItalic}, {"1", kSub}});
    r.insert(r.end(), {{" + 5 log", kRegular}, {"10", kSub}, {" ", kRegular}, {"Δ", kItalic}});
    if (m_bFitted)
      r.insert(r.end(), {{m_dSlope < 0 ? " − " : " + ", kRegular}, {FormatC("%.1f", std::fabs(m_dSlope)), kRegular}});
    else
      r.insert(r.end(), {{" + K", kItalic}, {"1", kSub}});
    r.insert(r.end(), {{" log", kRegular}, {"10", kSub}, {" ", kRegular}, {"r", kItalic}});
    return r;
  }
  const FormulaRun H = m_bFitted ? FormulaRun{FormatC("%.2f", m_dH), kRegular} : FormulaRun{"H", kItalic};
  const FormulaRun G = m_bFitted ? FormulaRun{FormatC("%.2f", m_dSlope), kRegular} : FormulaRun{"G", kItalic};
  return {{"M", kItalic},        {" = ", kRegular},   H,
          {" − 2.5 log", kRegular}, {"10", kSub},     {"[(1−", kRegular},
          G,                     {")", kRegular},     {"Φ", kItalic},
          {"1", kSub},           {"(", kRegular},     {"α", kItalic},
          {") + ", kRegular},    G,                   {"Φ", kItalic},
          {"2", kSub},           {"(", kRegular},     {"α", kItalic},
          {")]", kRegular}};
}

void CMagCurveDlg::DrawLawFormula(ISceneCanvas& g, float left, float top, float width, float height, uint32_t argb)
{
  if (width < 28 || height < 16)
    return;
  const std::vector<FormulaRun> runs = FormulaRuns();
  auto style = [](const FormulaRun& run, float main, float sub) {
    const bool bSub = run.style >= 2;
    return SerifStyle{bSub ? sub : main, run.style == 1 || run.style == 3};
  };
  float total = 0;
  for (const FormulaRun& run : runs)
    total += g.MeasureSerifText(run.text, style(run, 15, 9.5f));
  if (!(total > 0))
    return;
  const float scale = (width - 8) / total;
  float main = 15 * scale, sub = 9.5f * scale;
  const float fit = (height - 8) / 1.45f;
  if (fit > 6 && fit < main) {
    sub = sub * fit / main;
    main = fit;
  }
  main = std::max(main, 7.0f);
  sub = std::max(sub, 5.0f);
  float x = left + 4;
  const float y = top + (height - main) / 2;
  for (const FormulaRun& run : runs) {
    const SerifStyle s = style(run, main, sub);
    g.SerifText(run.text, {x, run.style >= 2 ? y + 0.42f * main : y}, s, argb);
    x += g.MeasureSerifText(run.text, s);
  }
}

void CMagCurveDlg::DrawPlot(ISceneCanvas& g, int width, int height, int bCopy)
{
  MagPlotLayout L;
  GetPlotLayout(width, height, L);
  const float band = static_cast<float>(L.dBand);
  FillRect(g, 0, 0, static_cast<float>(width), band, kBandColour);
  L.dTop = bCopy ? 64 : 30;

  std::string title = kMagCurveTitle;
  const std::string& name = m_bShowAltTitle && !m_strAltTitle.empty() ? m_strAltTitle : m_strName;
  if (!name.empty())
    title += "  " + name;
  g.Text(title, {50, 6}, SceneFont::Bold, kTitleColour);
  if (bCopy) {
    DrawLawFormula(g, 50, 24, std::clamp(width - 210.0f, 100.0f, 300.0f), 30, 0xFFC0C0C0);
  } else {
    const ScenePoint size = g.MeasureText(title, SceneFont::Bold);
    m_rcTitle = {50, 6, size.x, size.y};
  }
  if (!m_bAsteroidLaw && !m_bCompare) {
    const float w = static_cast<float>(width);
    g.FillCircle({w - 126, 14}, 8, kTotalColour);
    g.Text("全光度", {w - 118, 8}, SceneFont::Label, kLabelColour);
    g.FillCircle({w - 56, 14}, 8, kOtherColour);
    g.Text("核光度", {w - 48, 8}, SceneFont::Label, kLabelColour);
  }
  if (L.dRight <= 60 || L.dBottom <= L.dTop + 10)
    return;
  if (m_bCompare) {
    DrawApparitionComparison(g, height, L.dLeft, L.dRight, L.dTop, L.dBottom);
    return;
  }

  auto message = [&](const char* text) { g.Text(text, {20, height / 2.0f - 10}, SceneFont::Message, kLabelColour); };
  if (m_nPoints > 0) {
    if (!PointRanges(L.dTimeMin, L.dTimeMax, L.dMagMin, L.dMagMax, true)) {
      message("表示する観測がありません([リジェクトも使う]を入れると表示されます)。");
      return;
    }
  } else if (GetOrbitOnlyRange(L.dTimeMin, L.dTimeMax, L.dMagMin, L.dMagMax)) {
    L.dMagMin += m_dMagOffset;
    L.dMagMax += m_dMagOffset;
  } else {
    message(m_bHasOrbit ? "等級記録のある観測がありません。" : "観測データがありません。");
    return;
  }
  L.bRangesValid = 1;
  DrawTimePlot(g, width, L, bCopy);
}

void CMagCurveDlg::DrawTimePlot(ISceneCanvas& g, int width, const MagPlotLayout& L, int bCopy)
{
  (void)width;
  const float left = static_cast<float>(L.dLeft), right = static_cast<float>(L.dRight);
  const float top = static_cast<float>(L.dTop), bottom = static_cast<float>(L.dBottom);
  const double t0 = L.dTimeMin, t1 = L.dTimeMax, m0 = L.dMagMin, m1 = L.dMagMax;
  auto X = [&](double t) { return static_cast<float>((t - t0) / (t1 - t0) * (L.dRight - L.dLeft) + L.dLeft); };
  auto Y = [&](double m) { return static_cast<float>((m - m0) / (m1 - m0) * (L.dBottom - L.dTop) + L.dTop); };
  const ScenePen axis{kAxisColour, 1};

  g.Line({left, top}, {left, bottom}, axis);
  g.Line({left, bottom}, {right, bottom}, axis);

  double first = std::ceil(m0), step = 1;
  if (std::floor(m1) - first + 1 > 10) {
    first = 2 * std::ceil(m0 / 2);
    step = 2;
  }
  for (double m = first; m <= m1; m += step)
    g.Text(FormatC("%.1f", m), {4, Y(m) - 6}, SceneFont::Label, kLabelColour);

  const double span = t1 - t0;
  g.Text(PlotDateText(t0 + 0.02 * span), {left, bottom + 4}, SceneFont::Label, kLabelColour);
  g.Text(PlotDateText(t1 - 0.02 * span), {right - 55, bottom + 4}, SceneFont::Label, kLabelColour);

  if (m_bHasOrbit) {
    const float x = X(m_dT);
    g.Line({x, top}, {x, bottom}, ScenePen{kPerihelionColour, 1, true});
    g.Text("近日点", {x + 2, top}, SceneFont::Label, kLabelColour);
    const std::string date = PlotDateText(m_dT);
    g.Text(date, {x - g.MeasureText(date, SceneFont::Label).x / 2, bottom + 4}, SceneFont::Label, kLabelColour);
  }

  DrawEventLines(g, L);

  const double today = LocalNowJd();
  if (today >= t0 && today <= t1) {
    const float x = X(today);
    g.Line({x, top}, {x, bottom}, ScenePen{kTodayColour, 1});
    const float w = g.MeasureText("今日", SceneFont::Label).x;
    g.Text("今日", {x - 2 - w, top}, SceneFont::Label, kTodayTextColour);
    const std::string date = PlotDateText(today);
    g.Text(date, {x - g.MeasureText(date, SceneFont::Label).x / 2, bottom + 4}, SceneFont::Label, kTodayTextColour);
  }

  if (m_bShowObservations) {
    const double lo = std::min(m0, m1), hi = std::max(m0, m1);
    MagPointRuns runs(g);
    for (const MagCurvePoint& p : m_pPoints) {
      if (!IsShown(p) || p.dJd < t0 || p.dJd > t1 || p.dMag < lo || p.dMag > hi)
        continue;
      runs.Add({X(p.dJd), Y(p.dMag)}, p.bTotal && !m_bAsteroidLaw ? kTotalColour : kOtherColour, TakesPart(p));
    }
  }

  if (m_bFitted && m_bHasOrbit && m_dQ > 0)
    DrawLawCurve(g, L);
  if (TheApp().m_bDeveloper && !m_bAsteroidLaw && m_bHasOrbit && m_dQ > 0)
    DrawNucleusCurve(g, L);
  if (!bCopy && m_bFitted && m_bHasOrbit && m_dQ > 0)
    DrawHandles(g, L);
}

void CMagCurveDlg::DrawEventLines(ISceneCanvas& g, const MagPlotLayout& L)
{
  const double t0 = L.dTimeMin, t1 = L.dTimeMax;
  std::vector<double> events;
  if (m_bAsteroidLaw) {
    if (!m_bOppositionsValid)
      ComputeOppositions();
    for (int i = 0; i < m_nOppositions; ++i)
      if (m_adOppositions[i] >= t0 && m_adOppositions[i] <= t1)
        events.push_back(m_adOppositions[i]);
  } else if (m_bHasOrbit && m_bApparitionsValid && m_nApparitions > 0) {
    auto add = [&](double t) {
      if (t >= t0 && t <= t1 && std::fabs(t - m_dT) > 0.5 && events.size() < 64)
        events.push_back(t);
    };
    for (int i = 0; i < m_nApparitions; ++i)
      add(m_apparitions[i].dT);
    const ApparitionEntry& last = m_apparitions[m_nApparitions - 1];
    const ApparitionEntry& firstRow = m_apparitions[0];
    if (last.dPeriod > 0)
      for (int k = 1; k <= 64 && last.dT + k * last.dPeriod <= t1; ++k)
        add(last.dT + k * last.dPeriod);
    if (firstRow.dPeriod > 0)
      for (int k = 1; k <= 64 && firstRow.dT - k * firstRow.dPeriod >= t0; ++k)
        add(firstRow.dT - k * firstRow.dPeriod);
  }
  if (events.size() > 64)
    events.resize(64);
  std::sort(events.begin(), events.end());

  const float top = static_cast<float>(L.dTop), bottom = static_cast<float>(L.dBottom);
  const float left = static_cast<float>(L.dLeft), right = static_cast<float>(L.dRight);
  float rowEnd[2] = {-1e9f, -1e9f};
  for (double t : events) {
    const float x = static_cast<float>((t - t0) / (t1 - t0) * (L.dRight - L.dLeft) + L.dLeft);
    g.Line({x, top}, {x, bottom}, ScenePen{kEventColour, 1, false, true});
    const std::string date = PlotDateText(t);
    const float w = g.MeasureText(date, SceneFont::Label).x;
    float lx = std::max(x - w / 2, left);
    if (lx + w > right)
      lx = right - w;
    for (int row = 0; row < 2; ++row)
      if (rowEnd[row] + 6 <= lx) {
        g.Text(date, {lx, top + 1 + 13 * row}, SceneFont::Label, kEventDateColour);
        rowEnd[row] = lx + w;
        break;
      }
  }
}

namespace {

// Joins the samples inside [m0, m1]; a failed or outside sample breaks the
// line, a segment touching the floor is dashed.
void DrawSampledLaw(ISceneCanvas& g, const std::vector<double>& t, const std::vector<double>& m,
                    const std::vector<char>& ok, const MagPlotLayout& L, uint32_t argb, float width, bool bAllDashed)
{
  const double lo = std::min(L.dMagMin, L.dMagMax), hi = std::max(L.dMagMin, L.dMagMax);
  auto X = [&](double v) {
    return static_cast<float>((v - L.dTimeMin) / (L.dTimeMax - L.dTimeMin) * (L.dRight - L.dLeft) + L.dLeft);
  };
  auto Y = [&](double v) {
    return static_cast<float>((v - L.dMagMin) / (L.dMagMax - L.dMagMin) * (L.dBottom - L.dTop) + L.dTop);
  };
  auto inside = [&](size_t i) { return ok[i] && m[i] >= lo && m[i] <= hi; };
  std::vector<ScenePoint> run;
  bool bRunDashed = false;
  auto flush = [&] {
    if (run.size() >= 2)
      g.Polyline(run, ScenePen{argb, width, bRunDashed || bAllDashed});
    run.clear();
  };
  for (size_t i = 1; i < t.size(); ++i) {
    if (!inside(i - 1) || !inside(i)) {
      flush();
      continue;
    }
    const bool bDashed = m[i - 1] <= kMagFloor || m[i] <= kMagFloor;
    if (!run.empty() && bDashed != bRunDashed)
      flush();
    if (run.empty()) {
      bRunDashed = bDashed;
      run.push_back({X(t[i - 1]), Y(m[i - 1])});
    }
    run.push_back({X(t[i]), Y(m[i])});
  }
  flush();
}

} // namespace

void CMagCurveDlg::DrawLawCurve(ISceneCanvas& g, const MagPlotLayout& L)
{
  std::vector<double> t, m;
  std::vector<char> ok;
  SampleLaw(*this, L.dTimeMin, L.dTimeMax, 121, t, m, ok);
  DrawSampledLaw(g, t, m, ok, L, m_bManual ? kManualCurveColour : kCurveColour, 2, false);
}

void CMagCurveDlg::DrawNucleusCurve(ISceneCanvas& g, const MagPlotLayout& L)
{
  double H2 = 0, K2 = 0;
  int bK2 = 0, count = 0;
  if (!FitNucleusMagnitudes(H2, K2, bK2, count))
    return;
  std::vector<double> t(121), m(121, 0);
  std::vector<char> ok(121, 0);
  const double lo = std::min(L.dMagMin, L.dMagMax), hi = std::max(L.dMagMin, L.dMagMax);
  int lastInside = -1;
  for (int i = 0; i < 121; ++i) {
    t[i] = L.dTimeMin + (L.dTimeMax - L.dTimeMin) * i / 120;
    double r = 0, delta = 0, R = 0;
    if (!GeometryAt(t[i], r, delta, R))
      continue;
    m[i] = std::max(H2 + 5 * std::log10(delta) + 5 * std::log10(r), kMagFloor);
    ok[i] = 1;
    if (m[i] >= lo && m[i] <= hi)
      lastInside = i;
  }
  DrawSampledLaw(g, t, m, ok, L, kNucleusColour, 1.5f, true);
  if (lastInside >= 0) {
    const float x = static_cast<float>((t[lastInside] - L.dTimeMin) / (L.dTimeMax - L.dTimeMin) *
                                           (L.dRight - L.dLeft) + L.dLeft);
    const float y = static_cast<float>((m[lastInside] - L.dMagMin) / (L.dMagMax - L.dMagMin) *
                                           (L.dBottom - L.dTop) + L.dTop);
    g.Text("核 (K2=5)", {x - 52, y - 16}, SceneFont::Label, kNucleusColour);
  }
}

void CMagCurveDlg::DrawHandles(ISceneCanvas& g, const MagPlotLayout& L)
{
  double mLeft = 0, mRight = 0, mPeri = 0;
  if (!ModelMagnitude(L.dTimeMin, mLeft) || !ModelMagnitude(L.dTimeMax, mRight) || !ModelMagnitude(m_dT, mPeri))
    return;
  const double lo = std::min(L.dMagMin, L.dMagMax), hi = std::max(L.dMagMin, L.dMagMax);
  auto Y = [&](double v) {
    return static_cast<float>((v - L.dMagMin) / (L.dMagMax - L.dMagMin) * (L.dBottom - L.dTop) + L.dTop);
  };
  const float span = static_cast<float>(L.dTimeMax - L.dTimeMin);
  const float xPeri = span > 0 ? static_cast<float>((m_dT - L.dTimeMin) / span * (L.dRight - L.dLeft) + L.dLeft)
                               : static_cast<float>((L.dLeft + L.dRight) / 2);
  const struct {
    float x, arrowX;
    double mag;
  } handles[] = {{static_cast<float>(L.dLeft), static_cast<float>(L.dLeft) + 16, mLeft},
                 {static_cast<float>(L.dRight), static_cast<float>(L.dRight) - 16, mRight},
                 {xPeri, xPeri + 16, mPeri}};
  for (const auto& h : handles) {
    if (h.mag < lo || h.mag > hi)
      continue;
    const ScenePoint c{h.x, Y(h.mag)};
    g.FillCircle(c, 10, kHandleColour);
    g.StrokeCircle(c, 10, ScenePen{0xFFFFFFFF, 1});
    DrawDragArrow(g, h.arrowX, c.y, 16, kLabelColour);
  }
}

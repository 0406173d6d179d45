// The apparitions of a periodic comet in the magnitude curve, with the
// engine's integration stood in for by element sets written by the test:
// the step and number of the sets, a series ended by e >= 1, the table of
// returns (40 at most), residuals and summaries, the cancel button, the timer
// waiting for a busy engine, and the comparison plot.
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "astro/frames.h"
#include "astro/time_scales.h"
#include "astro/two_body.h"
#include "engine/determination_host.h"
#include "engine/orbit_engine.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"
#include "tests/common/stepping_clock.h"
#include "tests/views/recording_canvas.h"
#include "views/mag_curve.h"

namespace {

constexpr double kArcsec = 3.14159265358979323846 / 180 / 3600;
constexpr double kT0 = 2460000.5;

// The magnitude curve with the element sets of a script: the window's
// elements at every epoch, T the last perihelion passage before it, e from
// m_eccentricity when given.
class ScriptedCurve : public CMagCurveDlg {
public:
  int IntegrateElementsTo(double t) override
  {
    ++m_nCalls;
    // The engine pumps events during a run: another window's handler.
    if (m_nCalls == m_nRunHookAt && m_runHook)
      m_runHook();
    ElementBlock& el = m_pApparitionState->m_el;
    if (m_eccentricity)
      el.m_dE = m_eccentricity(t);
    const double period = 2 * 3.14159265358979323846 * std::pow(el.m_dA, 1.5) / 0.01720209895;
    el.m_dT = m_dT + std::floor((t - m_dT) / period) * period;
    el.m_dEpoch = t;
    m_pApparitionState->m_dEpoch = t;
    return 1;
  }
  std::function<double(double)> m_eccentricity;
  int m_nCalls = 0;
  int m_nRunHookAt = -1;
  std::function<void()> m_runHook;
};

// A headless window system whose n-th pumped event clicks the cancel button.
class ClickingUi : public HeadlessUiServices {
public:
  bool PumpOneEvent() override
  {
    HeadlessUiServices::PumpOneEvent();
    if (m_pEngine && m_pumps == m_nClickAt)
      m_dialogs.PressStop(*m_pEngine);
    if (m_pumps == m_nHookAt && m_hook)
      m_hook();
    return false;
  }
  OrbitEngine* m_pEngine = nullptr;
  int m_nHookAt = -1;
  std::function<void()> m_hook;  // another window's handler run by the pumped event
  int m_nClickAt = -1;
  HeadlessCancelDialogs m_dialogs;
};

// Observations drawn as filled discs (legend discs are larger).
int Discs(const RecordingCanvas& g)
{
  int n = 0;
  for (const auto& s : g.shapes)
    n += s.kind == 'f' && s.size == 4;
  return n;
}

// A known station: the Sun 1 AU from the observer.
void KnownStation(MagCurvePoint& p)
{
  const double s[3] = {0.93, 0.33, 0.16};
  const double n = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
  for (int k = 0; k < 3; ++k)
    p.adSunFromObserver[k] = s[k] / n;
}

class Apparitions : public ::testing::Test {
protected:
  void SetUp() override
  {
    SetUi(&ui);
    SetCancelDialogs(&ui.m_dialogs);
    ui.m_pEngine = view.m_pEngine;
    c.m_bHeadlessWindow = 1;
    c.OnInitDialog();
  }
  void TearDown() override
  {
    SetCancelDialogs(nullptr);
    SetUi(nullptr);
    view.m_pEngine->m_pClock = nullptr;
  }
  // An elliptic comet of period P days and q 0.15 AU, perihelion at kT0.
  void Comet(double periodDays, double epoch = kT0)
  {
    const double a = std::pow(periodDays / 365.25, 2.0 / 3);
    c.m_bHasOrbit = 1;
    c.m_bAsteroidLaw = 0;
    c.m_dT = kT0;
    c.m_dQ = 0.15;
    c.m_dE = 1 - 0.15 / a;
    c.m_dPeri = 0.4, c.m_dNode = 1.2, c.m_dIncl = 0.3;
    c.m_dEpoch = epoch;
  }
  MagCurvePoint Point(double jd, double mag = 10, int total = 1)
  {
    MagCurvePoint p{};
    p.dJd = jd;
    p.dMag = mag;
    p.dR = 1;
    p.dDelta = 1;
    p.bTotal = total;
    p.nApparition = p.nElementSet = -1;
    KnownStation(p);
    return p;
  }
  void SetPoints(std::vector<MagCurvePoint> pts)
  {
    c.m_pPoints = std::move(pts);
    c.m_nPoints = static_cast<int>(c.m_pPoints.size());
    c.ChooseUsedMagnitudes();
  }
  // Observed where the window's orbit puts the body, moved by dRa·cos δ and dDec (arcsec).
  MagCurvePoint Observed(double jd, double dRaCosDec, double dDec)
  {
    MagCurvePoint p = Point(jd);
    double P[3], Q[3], ra = 0, dec = 0, delta = 0, r = 0, nu = 0;
    OrbitOrientationVectors(c.m_dPeri, c.m_dNode, c.m_dIncl, P, Q);
    EXPECT_EQ(TwoBodyGeocentricPosition(c.m_dT, c.m_dQ, c.m_dE, P, Q, jd, p.adSunFromObserver, ra, dec, delta, r, nu),
              0);
    p.dDec = dec + dDec * kArcsec;
    p.dRa = std::fmod(ra + dRaCosDec * kArcsec / std::cos(p.dDec) + 4 * 3.14159265358979323846,
                      2 * 3.14159265358979323846);
    return p;
  }
  void Check(int on)
  {
    c.SetCheck(kMagCompare, on);
    c.OnCompareApparitions();
  }
  // 80 sets over 800 days on a clock that brings the cancel dialog up within a few polls.
  void CheckOnLongSpan()
  {
    view.m_pEngine->m_pClock = &m_clock;
    Comet(80);
    SetPoints({Point(kT0 - 400), Point(kT0 + 400)});
    Check(1);
  }

  ClickingUi ui;
  SteppingClock m_clock{400};  // the cancel dialog comes up within a few polls
  CDetermination view;  // the current view: its engine does the work
  ScriptedCurve c;
};

} // namespace

// The step is P/8 within [10, 40] days, the sets run from before the first
// to after the last observation, sorted, and 2000 at most.
TEST_F(Apparitions, StepAndNumberOfElementSets)
{
  struct Case {
    double period, first, last, epoch, step;
  } cases[] = {
      {80, kT0 - 95, kT0 + 103, kT0 + 4, 10},
      {60, kT0 - 95, kT0 + 103, kT0 + 4, 10},
      {5.3 * 365.25, kT0 - 29 * 365.25, kT0 - 5, kT0, 40},  // epoch near the last observation: backwards only
      {5.3 * 365.25, kT0 - 100003, kT0 + 3, kT0, 0},        // 274 years: 2000 sets
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.period);
    Comet(k.period, k.epoch);
    SetPoints({Point(k.first), Point(k.last)});
    c.ClearApparitionComparison();
    ASSERT_EQ(c.ComputeApparitionElements(), 1);
    // The span is the observations' padded by P/8 within [10, 40] days (40
    // in the capped case); 2000 sets then share it.
    const double lo = std::min(k.epoch, k.first - 40), hi = std::max(k.epoch, k.last + 40);
    const double step = k.step > 0 ? k.step : (hi - lo) / 1997;
    EXPECT_NEAR(c.m_dElementStep, step, 1e-9);
    const double loStep = k.step > 0 ? std::min(k.epoch, k.first - step) : lo;
    const double hiStep = k.step > 0 ? std::max(k.epoch, k.last + step) : hi;
    const int expected = 1 + static_cast<int>(std::floor((k.epoch - loStep) / step)) +
                         (hiStep >= k.epoch + step ? static_cast<int>(std::floor((hiStep - k.epoch) / step)) : 0);
    EXPECT_EQ(c.m_nElementSets, std::min(expected, 2000));
    for (int i = 1; i < c.m_nElementSets; ++i)
      ASSERT_NEAR(c.m_pElementSets[i].dEpoch - c.m_pElementSets[i - 1].dEpoch, step, 1e-6);
    EXPECT_LE(c.m_pElementSets[0].dEpoch, k.first);
    EXPECT_GE(c.m_pElementSets[c.m_nElementSets - 1].dEpoch, std::min(k.last, k.epoch));
    EXPECT_EQ(view.m_pEngine->m_bBusy, 0);
  }
}

// Going backwards the osculating e reaches 1 about 500 days before the
// epoch: the series stops there, and the older observations get no
// apparition and are not drawn.
TEST_F(Apparitions, EccentricityOneEndsTheBackwardSeries)
{
  Comet(400);
  c.m_eccentricity = [this](double t) { return t < c.m_dEpoch ? c.m_dE + (c.m_dEpoch - t) / 1000 : c.m_dE; };
  const double cut = c.m_dEpoch - (1 - c.m_dE) * 1000;
  SetPoints({Point(kT0 - 800), Point(kT0 - 790), Point(kT0 - 30), Point(kT0 + 10), Point(kT0 + 380)});
  Check(1);
  ASSERT_EQ(c.m_bApparitionsValid, 1);
  for (int i = 0; i < c.m_nElementSets; ++i)
    EXPECT_LT(c.m_pElementSets[i].dE, 1);
  EXPECT_GT(c.m_pElementSets[0].dEpoch, cut);
  EXPECT_LT(c.m_pElementSets[0].dEpoch, cut + c.m_dElementStep + 1e-9);
  EXPECT_EQ(c.m_pPoints[0].nApparition, -1);
  EXPECT_EQ(c.m_pPoints[1].nApparition, -1);
  for (int i = 2; i < 5; ++i)
    EXPECT_GE(c.m_pPoints[i].nApparition, 0) << i;
  EXPECT_EQ(c.m_nApparitions, 2);

  RecordingCanvas g;
  c.DrawPlot(g, 900, 600, 0);
  EXPECT_EQ(Discs(g), 3);
}

// With 41 returns in the points only the first 40 met in list order get
// rows; the rows are sorted by perihelion time.
TEST_F(Apparitions, FortyOneReturnsGiveFortyRows)
{
  Comet(80);
  const double P = std::pow(c.m_dQ / (1 - c.m_dE), 1.5) * 365.2569;
  std::vector<MagCurvePoint> pts{Point(kT0 + 40 * P + 3)};
  for (int k = 0; k < 40; ++k)
    pts.push_back(Point(kT0 + k * P - 2));
  SetPoints(pts);
  Check(1);
  ASSERT_EQ(c.m_nApparitions, 40);
  for (int i = 1; i < 40; ++i)
    EXPECT_LT(c.m_apparitions[i - 1].dT, c.m_apparitions[i].dT);
  EXPECT_EQ(c.m_pPoints[0].nApparition, 39);   // met first: the last row
  EXPECT_EQ(c.m_pPoints[40].nApparition, -1);  // the 41st return met
  EXPECT_EQ(c.m_pPoints[1].nApparition, 0);
  EXPECT_NEAR(c.m_apparitions[0].dT, kT0, 1e-6);
}

// Position residuals against the set: 29" counts in the RMS only, 31" (in
// RA, times cos δ) in the count over 30" as well; a rejected point and an
// unknown station are named in the summary.
TEST_F(Apparitions, ResidualsAndSummaries)
{
  Comet(80);
  const double P = std::pow(c.m_dQ / (1 - c.m_dE), 1.5) * 365.2569;
  std::vector<MagCurvePoint> pts{Observed(kT0 - 5, 0, 29), Observed(kT0 + 4, 31, 0), Observed(kT0 + P + 2, 12, -5)};
  MagCurvePoint unknown = Point(kT0 + P - 3);
  for (double& s : unknown.adSunFromObserver)
    s = -1;
  pts.push_back(unknown);
  MagCurvePoint rejected = Observed(kT0 + P + 6, 0, 100);
  rejected.bExcluded = 1;
  pts.push_back(rejected);
  SetPoints(pts);
  Check(1);
  ASSERT_EQ(c.m_bApparitionsValid, 1);
  ASSERT_EQ(c.m_nApparitions, 2);
  const double expected[] = {29, 31, 13, -1, 100};
  for (int i = 0; i < 5; ++i)
    EXPECT_NEAR(c.m_pPoints[i].dPosResidual, expected[i], i == 3 ? 0 : 1e-5) << i;
  EXPECT_EQ(c.m_apparitions[0].nResid, 2);
  EXPECT_NEAR(c.m_apparitions[0].dRmsResid, std::sqrt((29.0 * 29 + 31.0 * 31) / 2), 1e-5);
  EXPECT_NEAR(c.m_apparitions[0].dMaxResid, 31, 1e-5);
  EXPECT_EQ(c.m_apparitions[1].nPoints, 2);  // the rejected point is not shown
  EXPECT_EQ(c.m_apparitions[1].nResid, 1);

  int y0 = 0, y1 = 0, m = 0, d = 0;
  PlotDate(c.m_apparitions[0].dT, y0, m, d);
  PlotDate(c.m_apparitions[1].dT, y1, m, d);
  const double rms = std::sqrt((29.0 * 29 + 31.0 * 31 + 13.0 * 13) / 3);
  const std::string sets = FormatC("%d組(10日ごと)", c.m_nElementSets);
  EXPECT_EQ(c.m_strApparitionSummary, FormatC("摂動計算: 2回帰／接触要素%s (%d・%d年)　位置のずれ RMS %.1f″ 最大 31.0″",
                                              sets.c_str(), y0, y1, rms) +
                                          " (30″超 1点)　リジェクト1点は除く　観測所不明1点は評価せず");
  EXPECT_EQ(c.m_strApparitionSummaryShort,
            FormatC("摂動計算: 2回帰／接触要素%s　位置のずれ RMS %.1f″", sets.c_str(), rms));

  // Using the rejected points brings the 100" one into the statistics.
  c.SetCheck(kMagUseRejected, 1);
  c.OnUseRejected();
  EXPECT_NE(c.m_strApparitionSummary.find("(30″超 2点)"), std::string::npos) << c.m_strApparitionSummary;
  EXPECT_EQ(c.m_strApparitionSummary.find("リジェクト"), std::string::npos);
}

// The cancel button after a few polls: no sets, the message, the
// comparison no longer wanted, the engine free again.
TEST_F(Apparitions, CancelButtonStopsTheComputation)
{
  ui.m_nClickAt = 12;
  CheckOnLongSpan();
  EXPECT_EQ(ui.m_dialogs.m_nOpened, 1);
  EXPECT_GT(c.m_nCalls, 5);
  EXPECT_LT(c.m_nCalls, 20);
  EXPECT_EQ(c.m_nElementSets, 0);
  EXPECT_EQ(c.m_bApparitionsValid, 0);
  EXPECT_EQ(c.m_strApparitionSummary, "回帰ごとの軌道要素の計算を中止しました。");
  EXPECT_EQ(c.m_bCompareWanted, 0);
  EXPECT_EQ(view.m_pEngine->m_bBusy, 0);
  EXPECT_EQ(view.m_pEngine->m_nCancel, 0);
  EXPECT_FALSE(ui.m_busy);  // the wait cursor is gone
}

// Another object arrives while the engine pumps events: the sets of the old
// orbit are dropped, no text is left for the new one, and the engine is free.
TEST_F(Apparitions, AnotherObjectDuringTheComputation)
{
  ui.m_nHookAt = 5;
  ui.m_hook = [this] { c.SetObject(kT0, 0.5, 0.5, 0, 0, 0, "another", 8, 10, 0); };
  CheckOnLongSpan();
  EXPECT_EQ(c.m_strName, "another");
  EXPECT_LT(c.m_nCalls, 10);
  EXPECT_EQ(c.m_nElementSets, 0);
  EXPECT_EQ(c.m_bApparitionsValid, 0);
  EXPECT_EQ(c.m_bApparitionsTried, 0);
  EXPECT_EQ(c.m_strApparitionSummary, "");
  EXPECT_EQ(c.m_bCompareWanted, 1);
  EXPECT_EQ(view.m_pEngine->m_bBusy, 0);
}

// The same while the engine pumps inside a run: the set that run ends on
// belongs to the old orbit and is not stored, even when the old sets' memory
// is already gone.
TEST_F(Apparitions, AnotherObjectDuringARun)
{
  c.m_nRunHookAt = 5;
  c.m_runHook = [this] {
    c.SetObject(kT0, 0.5, 0.5, 0, 0, 0, "another", 8, 10, 0);
    c.m_pElementSets.shrink_to_fit();
  };
  CheckOnLongSpan();
  EXPECT_EQ(c.m_strName, "another");
  EXPECT_EQ(c.m_nCalls, 5);
  EXPECT_TRUE(c.m_pElementSets.empty());
  EXPECT_EQ(c.m_nElementSets, 0);
  EXPECT_EQ(c.m_bApparitionsValid, 0);
  EXPECT_EQ(c.m_strApparitionSummary, "");
  EXPECT_EQ(view.m_pEngine->m_bBusy, 0);
}

// The timer waits while the view's engine is busy, whatever holds it; the
// check box refuses with its message. Once idle the timer computes.
TEST_F(Apparitions, BusyEngineMakesTheTimerWait)
{
  Comet(80);
  SetPoints({Point(kT0 - 30), Point(kT0 + 100)});
  OrbitEngine& engine = *view.m_pEngine;
  int OrbitEngine::*flags[] = {&OrbitEngine::m_bBusy, &OrbitEngine::m_bAutoRunning, &OrbitEngine::m_bScanRunning};
  for (int OrbitEngine::*flag : flags) {
    engine.*flag = 1;
    c.m_bCompareWanted = 1;
    c.m_bHeadlessTimerArmed = 0;
    c.OnTimer(1);
    EXPECT_EQ(c.m_bHeadlessTimerArmed, 1);
    EXPECT_EQ(c.m_bApparitionsTried, 0);
    EXPECT_EQ(c.m_nCalls, 0);
    engine.*flag = 0;
  }
  engine.m_bAutoRunning = 1;
  Check(1);
  EXPECT_EQ(c.m_strApparitionSummary, "ほかの計算が動いているため、回帰ごとの軌道要素は求めていません。");
  EXPECT_EQ(c.m_nCalls, 0);
  EXPECT_EQ(engine.m_bBusy, 0);
  engine.m_bAutoRunning = 0;

  c.ClearApparitionComparison();
  c.OnTimer(1);
  EXPECT_EQ(c.m_bHeadlessTimerArmed, 0);
  EXPECT_EQ(c.m_bApparitionsValid, 1);
  EXPECT_EQ(c.m_nApparitions, 2);
  EXPECT_GT(c.m_nCalls, 0);
}

namespace {

// Comparison points of one return: magnitudes of H + 5 log Δ + K log r at
// days around its perihelion, with r from the window's orbit.
struct ReturnSpec {
  int number;      // fold number
  int points;
  double H, K;
  int total;       // 0: nuclear magnitudes
};

} // namespace

// Folding by the period: each return with five points spread in r gets its
// own fit and curve; four points, a K of 75 or only nuclear magnitudes get
// none (the last hollow and "(全光度なし)"); a return before T (fold -1) is
// one of its own; the legend, grids, day-0 line and the stored geometry.
TEST_F(Apparitions, ComparisonByFolding)
{
  Comet(400);
  const double P = std::pow(c.m_dQ / (1 - c.m_dE), 1.5) * 365.25;
  double Pv[3], Qv[3];
  OrbitOrientationVectors(c.m_dPeri, c.m_dNode, c.m_dIncl, Pv, Qv);
  const ReturnSpec specs[] = {{-1, 5, 9, 10, 1}, {0, 4, 9.5, 8, 1}, {1, 6, 10, 75, 1}, {2, 5, 11, 12, 0},
                              {3, 6, 8.5, 15, 1}};
  std::vector<MagCurvePoint> pts;
  for (const ReturnSpec& s : specs)
    for (int i = 0; i < s.points; ++i) {
      const double t = kT0 + s.number * P - 40 + 20.0 * i;
      const double sun[3] = {0, 0, 0};
      double ra = 0, dec = 0, delta = 0, r = 0, nu = 0;
      ASSERT_EQ(TwoBodyGeocentricPosition(c.m_dT, c.m_dQ, c.m_dE, Pv, Qv, t, sun, ra, dec, delta, r, nu), 0);
      MagCurvePoint p = Point(t, s.H + 5 * std::log10(0.8) + s.K * std::log10(r), s.total);
      p.dR = r;
      p.dDelta = 0.8;
      pts.push_back(p);
    }
  SetPoints(pts);
  c.m_bCompare = 1;
  ASSERT_EQ(c.m_bUseNonTotal, 0);
  RecordingCanvas g;
  c.DrawPlot(g, 900, 600, 0);

  std::vector<std::string> legend;
  for (const auto& t : g.texts)
    if (t.argb == 0xFFE1E4EB)
      legend.push_back(t.text);
  ASSERT_EQ(legend.size(), 5u);
  auto year = [&](int n) {
    int y = 0, m = 0, d = 0;
    PlotDate(kT0 + n * P, y, m, d);
    return y;
  };
  EXPECT_EQ(legend[0], FormatC("%d年  H=9.0  K=10.0", year(-1)));
  EXPECT_EQ(legend[1], FormatC("%d年", year(0)));
  EXPECT_EQ(legend[2], FormatC("%d年", year(1)));
  EXPECT_EQ(legend[3], FormatC("%d年 (全光度なし)", year(2)));
  EXPECT_EQ(legend[4], FormatC("%d年  H=8.5  K=15.0", year(3)));
  // Curves of the fitted returns in their colours (alpha 235), hollow nuclear points.
  EXPECT_GT(g.Count('p', 0xEB50DCFF), 0);
  EXPECT_GT(g.Count('p', 0xEBB4A0FF), 0);
  for (uint32_t colour : {0xEBFFBE46u, 0xEB82FF96u, 0xEBFF82B4u})
    EXPECT_EQ(g.Count('p', colour), 0);
  int hollow = 0;
  for (const auto& s : g.shapes)
    hollow += s.kind == 's' && s.argb == 0xC8FF82B4;
  EXPECT_EQ(hollow, 5);
  EXPECT_EQ(g.Count('f', 0xD250DCFF), 5);
  auto exact = [](const RecordingCanvas& canvas, const std::string& text) {
    int n = 0;
    for (const auto& t : canvas.texts)
      n += t.text == text;
    return n;
  };
  EXPECT_EQ(exact(g, "近日点"), 1);
  EXPECT_EQ(exact(g, "+50"), 1);
  EXPECT_NE(g.FindText("●全光度"), nullptr);
  EXPECT_NE(g.FindText("※周期を一定として畳んでいます。"), nullptr);
  int red = 0;
  for (const auto& s : g.shapes)
    red += s.kind == 'l' && s.argb == 0xFFC85A5A && s.dashed;
  EXPECT_EQ(red, 1);
  // The geometry: the plot's top 30 px lower (taller than 140 px), days and magnitudes padded.
  ASSERT_EQ(c.m_bCmpGeomValid, 1);
  EXPECT_EQ(c.m_dCmpLeft, 50);
  EXPECT_EQ(c.m_dCmpTop, 60);
  EXPECT_NEAR(c.m_dCmpDayMin, -40 - 0.05 * 100, 1e-6);
  EXPECT_NEAR(c.m_dCmpDayMax, 60 + 0.05 * 100, 1e-6);

  // A day range without day 0: no red line, no "近日点".
  c.m_bCmpZoomDays = 1;
  c.m_dCmpZoomLeft = 5;
  c.m_dCmpZoomRight = 50;
  RecordingCanvas z;
  c.DrawPlot(z, 900, 600, 0);
  EXPECT_EQ(exact(z, "近日点"), 0);
  for (const auto& s : z.shapes)
    EXPECT_FALSE(s.kind == 'l' && s.argb == 0xFFC85A5A);
  EXPECT_EQ(c.m_dCmpDayMin, 5);

  // A short plot: fewer legend rows than returns.
  RecordingCanvas s;
  c.m_bCmpZoomDays = 0;
  c.DrawPlot(s, 900, 150, 0);
  int rows = 0;
  for (const auto& t : s.texts)
    rows += t.argb == 0xFFE1E4EB;
  EXPECT_LT(rows, 5);
  EXPECT_GE(rows, 1);
}

// 41 returns folded: 40 drawn. Under the asteroid law the refusal message.
TEST_F(Apparitions, FortyReturnsDrawnAndRefusal)
{
  Comet(80);
  const double P = std::pow(c.m_dQ / (1 - c.m_dE), 1.5) * 365.25;
  std::vector<MagCurvePoint> pts;
  for (int k = 0; k < 41; ++k)
    pts.push_back(Point(kT0 + k * P + 1));
  SetPoints(pts);
  c.m_bCompare = 1;
  RecordingCanvas g;
  c.DrawPlot(g, 900, 1200, 0);
  EXPECT_EQ(Discs(g), 40);

  c.m_bAsteroidLaw = 1;
  RecordingCanvas a;
  c.DrawPlot(a, 900, 600, 0);
  EXPECT_NE(a.FindText("回帰ごとの比較には、楕円軌道の彗星の観測が必要です。"), nullptr);
  EXPECT_EQ(c.m_bCmpGeomValid, 0);
}

// The magnitude curve without its window: the law fits against laws the
// points were made from, the substituted comet slope, the clamped G, the
// fixed fits and their messages, law switching and the arrows, the hand-set
// law across objects, the nucleus texts, the ranges, the date labels and the
// plot's event rows and copy mode.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "astro/time_scales.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"
#include "tests/views/recording_canvas.h"
#include "views/mag_curve.h"

namespace {

constexpr double kDegToRad = 3.14159265358979323846 / 180;

MagCurvePoint Pt(double jd, double mag, double r, double delta, double phase = 0, int total = 1)
{
  MagCurvePoint p{};
  p.dJd = jd;
  p.dMag = mag;
  p.dR = r;
  p.dDelta = delta;
  p.dPhase = phase;
  p.bTotal = total;
  p.nApparition = -1;
  return p;
}

// Magnitudes written straight from the two laws (independent of the code's
// own evaluation).
double CometMag(double H, double K, double r, double delta)
{
  return H + 5 * std::log10(delta) + K * std::log10(r);
}

double AsteroidMag(double H, double G, double r, double delta, double phaseDeg)
{
  const double t = std::tan(phaseDeg * kDegToRad / 2);
  const double f1 = std::exp(-3.33 * std::pow(t, 0.63)), f2 = std::exp(-1.87 * std::pow(t, 1.22));
  return H - 2.5 * std::log10((1 - G) * f1 + G * f2) + 5 * std::log10(r * delta);
}

class MagCurve : public ::testing::Test {
protected:
  void SetUp() override
  {
    c.m_bHeadlessWindow = 1;
    c.m_bHasOrbit = 1;
    c.m_dT = 2451000.5;
    c.m_dQ = 1;
    c.m_dE = 0.5;
    c.OnInitDialog();
  }
  void SetPoints(std::vector<MagCurvePoint> pts, int bAsteroid)
  {
    c.m_pPoints = std::move(pts);
    c.m_nPoints = static_cast<int>(c.m_pPoints.size());
    c.m_bAsteroidLaw = bAsteroid;
    c.ChooseUsedMagnitudes();
  }
  // Comet points from a law over the distances r (Δ varied too).
  void CometPoints(double H, double K, const std::vector<double>& rs)
  {
    std::vector<MagCurvePoint> pts;
    for (size_t i = 0; i < rs.size(); ++i) {
      const double delta = 0.5 + 0.1 * i;
      pts.push_back(Pt(c.m_dT + 10.0 * i, CometMag(H, K, rs[i], delta), rs[i], delta));
    }
    SetPoints(pts, 0);
  }
  void AsteroidPoints(double H, double G)
  {
    std::vector<MagCurvePoint> pts;
    for (int i = 0; i < 12; ++i) {
      const double r = 1.2 + 0.05 * i, delta = 0.3 + 0.04 * i, phase = 3 + 5.0 * i;
      pts.push_back(Pt(c.m_dT + 5.0 * i, AsteroidMag(H, G, r, delta, phase), r, delta, phase));
    }
    SetPoints(pts, 1);
  }

  HeadlessUiServices ui;
  ScopedUi scoped{ui};
  CMagCurveDlg c;
};

} // namespace

// Free fits recover the law the points were made from, and the RMS is 0.
TEST_F(MagCurve, FreeFitsRecoverTheLawOfThePoints)
{
  CometPoints(6.3, 12.5, {0.9, 1.1, 1.4, 1.8, 2.2, 3.0});
  ASSERT_EQ(c.Fit(0), 1);
  EXPECT_NEAR(c.m_dH, 6.3, 1e-9);
  EXPECT_NEAR(c.m_dSlope, 12.5, 1e-9);
  EXPECT_NEAR(c.m_dRms, 0, 1e-9);
  EXPECT_EQ(c.GetItemText(kMagHEdit), "6.30");
  EXPECT_EQ(c.GetItemText(kMagSlopeEdit), "12.5");
  EXPECT_EQ(c.m_bSlopeSubstituted, 0);

  AsteroidPoints(12.34, 0.27);
  ASSERT_EQ(c.Fit(0), 1);
  EXPECT_NEAR(c.m_dH, 12.34, 1e-9);
  EXPECT_NEAR(c.m_dSlope, 0.27, 1e-9);
  EXPECT_EQ(c.GetItemText(kMagSlopeEdit), "0.27");
  EXPECT_TRUE(ui.m_messages.empty());
}

// A short arc's slope of -200.7 is replaced by 10 with H the mean of
// m - 5 log Δ - 10 log r, shown as a fixed slope; 2 and 40 themselves stay.
TEST_F(MagCurve, CometSlopeOutsideTwoToFortyBecomesTen)
{
  CometPoints(8.0, -200.7, {1.50, 1.502, 1.505, 1.51});
  ASSERT_EQ(c.Fit(0), 1);
  double mean = 0;
  for (const MagCurvePoint& p : c.m_pPoints)
    mean += (p.dMag - 5 * std::log10(p.dDelta) - 10 * std::log10(p.dR)) / 4;
  EXPECT_EQ(c.m_dSlope, 10);
  EXPECT_NEAR(c.m_dH, mean, 1e-12);
  EXPECT_EQ(c.m_bSlopeSubstituted, 1);
  EXPECT_EQ(c.IsChecked(kMagFixSlope), 1);
  EXPECT_FALSE(c.IsReadOnly(kMagSlopeEdit));
  EXPECT_EQ(c.GetItemText(kMagSlopeEdit), "10.0");

  // r = 1, 10, 100 with Δ = 1: the line is exact in binary.
  for (double K : {2.0, 40.0}) {
    c.ResetFixControls();
    SetPoints({Pt(c.m_dT, 5, 1, 1), Pt(c.m_dT + 1, 5 + K, 10, 1), Pt(c.m_dT + 2, 5 + 2 * K, 100, 1)}, 0);
    ASSERT_EQ(c.Fit(1), 1);
    EXPECT_EQ(c.m_dSlope, K);
    EXPECT_EQ(c.m_bSlopeSubstituted, 0);
    EXPECT_EQ(c.IsChecked(kMagFixSlope), 0);
  }

  // All at one r: the line itself cannot be solved.
  CometPoints(8.0, 10, {1.5, 1.5, 1.5});
  EXPECT_EQ(c.Fit(0), 0);
  EXPECT_EQ(c.m_bFitted, 0);
  ASSERT_FALSE(ui.m_messages.empty());
  EXPECT_EQ(ui.m_messages.back().text, "フィットに失敗しました(観測点の分布が偏っている可能性があります)。");
  EXPECT_EQ(ui.m_messages.back().caption, "光度曲線");
  EXPECT_EQ(ui.m_messages.back().icon, MsgIcon::Warning);
}

// G = 1.3 from the free fit becomes 1 and H is solved again with G = 1:
// the least-squares scale of Φ2 against the reduced fluxes.
TEST_F(MagCurve, AsteroidGAboveOneIsClampedAndHRefitted)
{
  AsteroidPoints(15.0, 1.3);
  ASSERT_EQ(c.Fit(0), 1);
  double s1 = 0, s2 = 0;
  for (const MagCurvePoint& p : c.m_pPoints) {
    const double flux = std::pow(10.0, -0.4 * (p.dMag - 5 * std::log10(p.dR * p.dDelta)));
    const double f2 = std::exp(-1.87 * std::pow(std::tan(p.dPhase * kDegToRad / 2), 1.22));
    s1 += flux * f2;
    s2 += f2 * f2;
  }
  EXPECT_EQ(c.m_dSlope, 1);
  EXPECT_NEAR(c.m_dH, -2.5 * std::log10(s1 / s2), 1e-12);
  EXPECT_GT(std::fabs(c.m_dH - 15.0), 0.01);
  EXPECT_GT(c.m_dRms, 0);
}

// Fewer than two usable magnitudes: the messages, or silence when quiet.
TEST_F(MagCurve, TooFewPointsFailWithTheirMessages)
{
  SetPoints({Pt(c.m_dT, 10, 1, 1)}, 0);
  EXPECT_EQ(c.Fit(1), 0);
  EXPECT_TRUE(ui.m_messages.empty());
  EXPECT_EQ(c.Fit(0), 0);
  ASSERT_EQ(ui.m_messages.size(), 1u);
  EXPECT_EQ(ui.m_messages[0].text, "等級記録のある有効な観測が2点未満のため、フィットできません。");
  // Two points, one rejected: the list has two, the law one.
  MagCurvePoint rejected = Pt(c.m_dT + 1, 11, 1.2, 1);
  rejected.bExcluded = 1;
  SetPoints({Pt(c.m_dT, 10, 1, 1), rejected}, 0);
  EXPECT_EQ(c.Fit(0), 0);
  EXPECT_EQ(ui.m_messages.back().text, "光度式に使える観測が2点未満のため、フィットできません。");
  EXPECT_EQ(c.m_bFitted, 0);
}

// The fixed fits: the values typed are read; every complaint leaves the law.
TEST_F(MagCurve, FixedFitsAndTheirMessages)
{
  CometPoints(7.0, 15.0, {0.8, 1.0, 1.3, 1.7, 2.1});
  ASSERT_EQ(c.Fit(1), 1);
  struct Case {
    const char* name;
    int bAsteroid, fixH, fixSlope;
    const char* h;
    const char* slope;
    const char* message;  // null: success
    double expectH, expectSlope;
  } cases[] = {
      {"slope empty", 0, 0, 1, "", " ", "[K/G]欄に、固定する傾きの値を入力してください。", 0, 0},
      {"G outside", 1, 0, 1, "", "1.5", "小惑星のGは0以上1以下の範囲で入力してください。", 0, 0},
      {"H empty", 0, 1, 0, "", "", "[H]欄に、固定する等級の値を入力してください。", 0, 0},
      {"K fixed", 0, 0, 1, "", "15", nullptr, 7.0, 15.0},
      {"H fixed", 0, 1, 0, "7", "", nullptr, 7.0, 15.0},
      {"both fixed", 0, 1, 1, "9.5", "4", nullptr, 9.5, 4.0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    if (k.bAsteroid)
      AsteroidPoints(13, 0.2);
    else
      CometPoints(7.0, 15.0, {0.8, 1.0, 1.3, 1.7, 2.1});
    ASSERT_EQ(c.Fit(1), 1);
    const double H0 = c.m_dH, S0 = c.m_dSlope;
    c.SetCheck(kMagFixH, k.fixH);
    c.SetCheck(kMagFixSlope, k.fixSlope);
    c.SetItemText(kMagHEdit, k.h);
    c.SetItemText(kMagSlopeEdit, k.slope);
    ui.m_messages.clear();
    c.OnFit();
    if (k.message) {
      ASSERT_EQ(ui.m_messages.size(), 1u);
      EXPECT_EQ(ui.m_messages[0].text, k.message);
      EXPECT_EQ(c.m_dH, H0);
      EXPECT_EQ(c.m_dSlope, S0);
    } else {
      EXPECT_TRUE(ui.m_messages.empty());
      EXPECT_NEAR(c.m_dH, k.expectH, 1e-9);
      EXPECT_NEAR(c.m_dSlope, k.expectSlope, 1e-9);
      EXPECT_EQ(c.m_bFitted, 1);
    }
  }
  // No points at all with a fix box.
  SetPoints({}, 0);
  c.SetCheck(kMagFixSlope, 1);
  ui.m_messages.clear();
  c.OnFit();
  ASSERT_EQ(ui.m_messages.size(), 1u);
  EXPECT_EQ(ui.m_messages[0].text, "等級記録のある観測がありません。");
}

// Comet -> asteroid -> comet brings the comet fit back exactly, fix boxes
// and the hand-set colour included, without refitting.
TEST_F(MagCurve, LawSwitchRestoresTheLeftLawExactly)
{
  CometPoints(6.0, 11.0, {0.9, 1.2, 1.6, 2.0});
  ASSERT_EQ(c.Fit(1), 1);
  c.OnDeltaPosH(-1, false);  // hand-set: H + 0.15
  c.SetCheck(kMagFixSlope, 1);
  c.OnFixSlope();
  const double H = c.m_dH, K = c.m_dSlope, rms = c.m_dRms;
  c.SetCheck(kMagLawAsteroid, 1);
  c.OnAsteroidLaw();
  EXPECT_EQ(c.m_bFitted, 0);
  EXPECT_EQ(c.IsChecked(kMagFixSlope), 0);
  EXPECT_EQ(c.GetItemText(kMagSlopeLabel), "G:");
  EXPECT_FALSE(c.IsItemVisible(kMagUseNuclear));
  c.OnCometLaw();
  EXPECT_EQ(c.m_bFitted, 1);
  EXPECT_EQ(c.m_bManual, 1);
  EXPECT_EQ(c.m_dH, H);
  EXPECT_EQ(c.m_dSlope, K);
  EXPECT_EQ(c.m_dRms, rms);
  EXPECT_EQ(c.IsChecked(kMagFixSlope), 1);
  EXPECT_FALSE(c.IsReadOnly(kMagSlopeEdit));
  EXPECT_EQ(c.GetItemText(kMagSlopeLabel), "K:");
  EXPECT_EQ(c.GetItemText(kMagFixSlope), "Kを固定(&X)");
}

// The arrows: nothing before a law; steps, Shift steps and the asteroid clamps.
TEST_F(MagCurve, ArrowsStepTheLaw)
{
  c.OnDeltaPosH(-1, false);
  EXPECT_EQ(c.m_bManual, 0);
  EXPECT_EQ(c.m_dH, 0);

  CometPoints(6.0, 11.0, {0.9, 1.2, 1.6, 2.0});
  ASSERT_EQ(c.Fit(1), 1);
  const double H = c.m_dH, K = c.m_dSlope;
  c.OnDeltaPosH(-1, false);
  EXPECT_NEAR(c.m_dH, H + 0.15, 1e-12);
  c.OnDeltaPosH(1, true);
  EXPECT_NEAR(c.m_dH, H + 0.135, 1e-12);
  c.OnDeltaPosSlope(1, false);
  EXPECT_NEAR(c.m_dSlope, K - 1.5, 1e-12);
  EXPECT_EQ(c.m_bManual, 1);
  EXPECT_GT(c.m_dRms, 0);
  EXPECT_EQ(c.GetItemText(kMagHEdit), FormatC("%.2f", c.m_dH));

  AsteroidPoints(39.9, 0.95);
  ASSERT_EQ(c.Fit(1), 1);
  c.OnDeltaPosSlope(0, false);
  EXPECT_EQ(c.m_dSlope, 1);
  c.OnDeltaPosSlope(1, true);
  EXPECT_NEAR(c.m_dSlope, 0.99, 1e-12);
  c.OnDeltaPosH(-1, false);
  EXPECT_EQ(c.m_dH, 40);
}

// A law set by hand survives a new solution of the same object only: for
// another object the fit starts again (its law, not the first one's).
TEST_F(MagCurve, HandSetLawBelongsToItsObject)
{
  DisplayOrbit a;
  a.m_dT = 2451000.5;
  a.m_dQ = 1.1;
  a.m_dE = 0.3;
  a.m_dIncl = 0.2;
  a.m_strName = "A";
  a.m_bAsteroid = 1;
  c.SetSolution(a, nullptr, 0, "");
  AsteroidPoints(14, 0.15);
  ASSERT_EQ(c.Fit(1), 1);
  c.OnDeltaPosH(-1, false);
  ASSERT_EQ(c.m_bManual, 1);
  const double handH = c.m_dH;

  c.SetSolution(a, nullptr, 0, "");
  EXPECT_EQ(c.m_bManual, 1);
  EXPECT_EQ(c.m_bFitted, 1);
  EXPECT_EQ(c.m_dH, handH);

  DisplayOrbit b = a;
  b.m_strName = "B";
  c.SetSolution(b, nullptr, 0, "");
  EXPECT_EQ(c.m_bManual, 0);
  EXPECT_EQ(c.m_bFitted, 0) << "B has no magnitudes: no law, and not A's";
  EXPECT_EQ(c.GetItemText(kMagHEdit), "");
}

// The diameter texts and their split into the two statics.
TEST_F(MagCurve, NucleusTexts)
{
  struct Case {
    int bAsteroid;
    double H;
    const char* value;
    const char* note;
  } cases[] = {
      {0, 12, "核直径 < 26.5 km", "(上限, p=0.04, 3点)"},
      {0, 15, "核直径 < 6.65 km", "(上限, p=0.04, 3点)"},
      {0, 21, "核直径 < 419 m", "(上限, p=0.04, 3点)"},
      {1, 22, "直径 106 - 237 m", "(p=0.25-0.05と仮定)"},
      {1, 18, "直径 0.67 - 1.49 km", "(p=0.25-0.05と仮定)"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.H);
    // Three nuclear magnitudes at r = Δ = 1 (one r: no free K2) and two totals.
    std::vector<MagCurvePoint> pts;
    for (int i = 0; i < 3; ++i)
      pts.push_back(Pt(c.m_dT + i, k.H, 1, 1, 0, 0));
    pts.push_back(Pt(c.m_dT + 3, 9, 1.5, 1));
    pts.push_back(Pt(c.m_dT + 4, 9.5, 1.7, 1));
    SetPoints(pts, k.bAsteroid);
    c.m_dH = k.H;
    c.m_bFitted = 1;
    c.ShowFitResults();
    EXPECT_EQ(c.GetItemText(kMagNucleusValue), k.value);
    EXPECT_EQ(c.GetItemText(kMagNucleusNote), k.note);
  }
  // Nuclear magnitudes at three distances give K2; two are too few.
  SetPoints({Pt(c.m_dT, 15, 1, 1, 0, 0), Pt(c.m_dT + 1, 15 + 3 * std::log10(2.0), 2, 1, 0, 0),
             Pt(c.m_dT + 2, 15 + 3 * std::log10(3.0), 3, 1, 0, 0)},
            0);
  EXPECT_NE(c.NucleusText().find("3点, K2=3.0)"), std::string::npos) << c.NucleusText();
  SetPoints({Pt(c.m_dT, 15, 1, 1, 0, 0), Pt(c.m_dT + 1, 15, 2, 1, 0, 0)}, 0);
  EXPECT_EQ(c.NucleusText(), "核直径 --- (核光度の観測が3点未満)");
}

// "回帰ごとに比較(&R)" needs observations of two apparitions of an orbit
// that qualifies; otherwise it is disabled and unchecked.
TEST_F(MagCurve, ComparisonBoxFollowsTheApparitions)
{
  c.m_dQ = 1, c.m_dE = 0.5;  // a = 2 AU, P = 1033 days
  c.m_bFitted = 1;
  SetPoints({Pt(c.m_dT, 10, 1, 1), Pt(c.m_dT + 100, 11, 1.3, 1)}, 0);
  c.m_bCompare = 1;
  c.SetCheck(kMagCompare, 1);
  c.UpdateNucleusText();
  EXPECT_FALSE(c.IsItemEnabled(kMagCompare));
  EXPECT_EQ(c.m_bCompare, 0);
  EXPECT_EQ(c.IsChecked(kMagCompare), 0);
  SetPoints({Pt(c.m_dT, 10, 1, 1), Pt(c.m_dT + 1033, 11, 1.3, 1)}, 0);
  c.UpdateNucleusText();
  EXPECT_TRUE(c.IsItemEnabled(kMagCompare));
}

// The date labels round the day unless that passes the month's end.
TEST(MagCurveDates, DayRoundsWithinTheMonth)
{
  struct Case {
    int y, m;
    double d;
    const char* text;
  } cases[] = {
      {2024, 1, 31.6, "2024/1/31"}, {2024, 1, 15.6, "2024/1/16"}, {2024, 1, 15.4, "2024/1/15"},
      {2023, 2, 28.7, "2023/2/28"}, {2024, 2, 28.7, "2024/2/29"}, {1900, 2, 28.7, "1900/2/28"},
  };
  for (const Case& k : cases)
    EXPECT_EQ(PlotDateText(CalendarToJd(k.y, k.m, k.d)), k.text) << k.d;
}

// The time range: symmetric about T even when every point lies before it,
// then the zoom bounds; the magnitudes padded, the brightest end set by hand.
TEST_F(MagCurve, RangesAroundPerihelionAndTheZoom)
{
  SetPoints({Pt(c.m_dT - 100, 10, 1, 1), Pt(c.m_dT - 40, 12, 1, 1)}, 0);
  MagPlotLayout L;
  c.m_nHeadlessWidth = 800, c.m_nHeadlessHeight = 500;
  ASSERT_EQ(c.GetPlotRanges(800, 500, L, 0), 1);
  EXPECT_NEAR(L.dTimeMin, c.m_dT - 108, 1e-9);
  EXPECT_NEAR(L.dTimeMax, c.m_dT + 108, 1e-9);
  EXPECT_NEAR(L.dMagMin, 10 - 0.3, 1e-12);
  EXPECT_NEAR(L.dMagMax, 12 + 0.3, 1e-12);
  EXPECT_EQ(L.dBand, 430);
  EXPECT_EQ(L.dBottom, 410);

  c.m_bMagMinSet = 1, c.m_dMagMin = 5;
  c.m_dMagOffset = 1;
  ASSERT_EQ(c.GetPlotRanges(800, 500, L, 0), 1);
  EXPECT_NEAR(L.dMagMin, 6, 1e-12);
  EXPECT_NEAR(L.dMagMax, 13.3, 1e-12);

  struct Zoom {
    int left, right;
    double l, r, t0, t1;
  } zooms[] = {
      {1, 1, 100, 101, 100, 102}, {0, 1, 0, 50, -10, 50}, {0, 1, 0, -9, -10, 10}, {1, 0, -5, 0, -5, 10},
      {1, 0, 9, 0, -10, 10},
  };
  for (const Zoom& z : zooms) {
    c.m_bLeftBound = z.left, c.m_bRightBound = z.right, c.m_dLeftJd = z.l, c.m_dRightJd = z.r;
    double t0 = -10, t1 = 10;
    c.ApplyTimeZoom(t0, t1);
    EXPECT_EQ(t0, z.t0);
    EXPECT_EQ(t1, z.t1);
  }
}

namespace {

std::vector<const RecordingCanvas::TextItem*> TextsOfColour(const RecordingCanvas& g, uint32_t argb)
{
  std::vector<const RecordingCanvas::TextItem*> out;
  for (const auto& t : g.texts)
    if (t.argb == argb) out.push_back(&t);
  return out;
}

} // namespace

// Oppositions 20 days apart take the two label rows; a third close one has
// no room. More than ten whole magnitudes label only the even ones. Hollow
// circles for magnitudes outside the law.
TEST_F(MagCurve, PlotEventRowsLabelsAndPoints)
{
  std::vector<MagCurvePoint> pts;
  for (int i = 0; i < 16; ++i)
    pts.push_back(Pt(c.m_dT - 300 + 40 * i, 5 + i, 1, 1, 10, i % 2));
  SetPoints(pts, 0);
  c.m_bAsteroidLaw = 1;
  c.m_bUseNonTotal = 0;  // as if: the odd points take no part
  c.m_bOppositionsValid = 1;
  c.m_nOppositions = 3;
  c.m_adOppositions[0] = c.m_dT - 100;
  c.m_adOppositions[1] = c.m_dT - 80;
  c.m_adOppositions[2] = c.m_dT - 70;
  RecordingCanvas g;
  c.DrawPlot(g, 800, 500, 0);
  const auto dates = TextsOfColour(g, 0xFF82DC96);
  ASSERT_EQ(dates.size(), 2u);
  EXPECT_EQ(dates[0]->at.y, 31);
  EXPECT_EQ(dates[1]->at.y, 44);
  EXPECT_EQ(dates[0]->text, PlotDateText(c.m_dT - 100));
  int dotted = 0;
  for (const auto& s : g.shapes)
    dotted += s.kind == 'l' && s.argb == 0xDC6ED282;
  EXPECT_EQ(dotted, 3);
  // Magnitudes 5 to 20 padded: even labels only.
  std::vector<std::string> labels;
  for (const auto* t : TextsOfColour(g, 0xFF969696))
    if (t->at.x == 4) labels.push_back(t->text);
  ASSERT_FALSE(labels.empty());
  for (const std::string& l : labels)
    EXPECT_EQ(std::stoi(l) % 2, 0) << l;
  EXPECT_EQ(g.Count('f', 0xFFFFEB8C), 8);
  EXPECT_EQ(g.Count('s', 0xFFFFEB8C), 8);
  ASSERT_NE(g.FindText("光度曲線"), nullptr);
  EXPECT_EQ(g.FindText("光度曲線")->at.y, 6);
}

// Nothing to show: the messages of the band.
TEST_F(MagCurve, PlotMessagesWithoutPoints)
{
  struct Case {
    int bHasOrbit, nPoints, bExcluded;
    const char* text;
  } cases[] = {
      {0, 0, 0, "観測データがありません。"},
      {1, 0, 0, "等級記録のある観測がありません。"},
      {1, 1, 1, "表示する観測がありません([リジェクトも使う]を入れると表示されます)。"},
  };
  for (const Case& k : cases) {
    c.m_bHasOrbit = k.bHasOrbit;
    c.m_bFitted = 0;
    std::vector<MagCurvePoint> pts;
    if (k.nPoints) {
      pts.push_back(Pt(c.m_dT, 10, 1, 1));
      pts.back().bExcluded = k.bExcluded;
    }
    SetPoints(pts, 0);
    RecordingCanvas g;
    c.DrawPlot(g, 800, 500, 0);
    const auto* t = g.FindText(k.text);
    ASSERT_NE(t, nullptr) << k.text;
    EXPECT_EQ(t->at.x, 20);
    EXPECT_EQ(t->at.y, 240);
  }
}

// Copy mode: the formula inside the band, the plot 64 px down; the screen
// mode measures the title for its clicks.
TEST_F(MagCurve, CopyModeCarriesTheFormula)
{
  CometPoints(6.0, 11.0, {0.9, 1.2, 1.6, 2.0});
  ASSERT_EQ(c.Fit(1), 1);
  RecordingCanvas copy;
  c.DrawPlot(copy, 800, 430, 1);
  ASSERT_NE(copy.FindText("6.00"), nullptr);
  EXPECT_NE(copy.FindText("11.0"), nullptr);
  const RecordingCanvas::TextItem* peri = copy.FindText("近日点");
  ASSERT_NE(peri, nullptr);
  EXPECT_EQ(peri->at.y, 64);

  c.m_strName = "C/2099 A1";
  RecordingCanvas screen;
  c.DrawPlot(screen, 800, 500, 0);
  EXPECT_EQ(screen.FindText("6.00"), nullptr);
  EXPECT_EQ(screen.FindText("近日点")->at.y, 30);
  ASSERT_NE(screen.FindText("光度曲線  C/2099 A1"), nullptr);
  EXPECT_EQ(c.m_rcTitle.w, 7.0f * 15);
}

// The formula's runs: a negative K is written with a minus sign; without a
// law the letters stand in.
TEST_F(MagCurve, FormulaRuns)
{
  auto joined = [&] {
    std::string s;
    for (const auto& r : c.FormulaRuns())
      s += r.text;
    return s;
  };
  c.m_bFitted = 1, c.m_dH = 7.25, c.m_dSlope = -3.5;
  EXPECT_EQ(joined(), "m1 = 7.25 + 5 log10 Δ − 3.5 log10 r");
  c.m_bFitted = 0;
  EXPECT_EQ(joined(), "m1 = H1 + 5 log10 Δ + K1 log10 r");
  c.m_bAsteroidLaw = 1, c.m_bFitted = 1, c.m_dH = 10.31, c.m_dSlope = 0.2;
  EXPECT_EQ(joined(), "M = 10.31 − 2.5 log10[(1−0.20)Φ1(α) + 0.20Φ2(α)]");
}

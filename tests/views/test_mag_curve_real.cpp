// The magnitude curve fed as the orbit-determination view feeds it, on real
// observation files improved by the view's own automatic improvement: the
// comet law and the nucleus limit of C/1998 P1, the H,G law of (433) Eros
// and (99942) Apophis against their published H, Eros's oppositions against
// the elongation of the ephemeris rows, and the law's floor of -10.
#include <cmath>
#include <cstdio>
#include <vector>

#include <gtest/gtest.h>

#include "astro/ephemeris_rows.h"
#include "determination/obs_loading.h"
#include "engine/ai_improvement.h"
#include "engine/orbit_engine.h"
#include "platform/ui_services.h"
#include "platform/numbers.h"
#include "tests/common/stepping_clock.h"
#include "tests/determination/determination_test_support.h"
#include "tests/views/recording_canvas.h"
#include "views/mag_curve.h"

namespace {

class CurveSinks : public HeadlessToolSinks {
public:
  MagCurveSink* MagCurve() override { return m_pCurve; }
  CMagCurveDlg* m_pCurve = nullptr;
};

class MagCurveReal : public DeterminationTest {
protected:
  void SetUp() override
  {
    DeterminationTest::SetUp();
    if (IsSkipped())
      return;
    m_curve.m_bHeadlessWindow = 1;
    m_curve.OnInitDialog();
    m_sinks.m_pCurve = &m_curve;
    SetToolSinks(&m_sinks);
  }
  void TearDown() override
  {
    SetToolSinks(nullptr);
    DeterminationTest::TearDown();
  }
  // Opens the file's observations of the years as the view does and runs
  // the automatic improvement, which hands its solution to the curve.
  bool OpenAndImprove(const std::string& relative, int fromYear, int toYear)
  {
    const std::string path = TestDataPath(relative);
    if (path.empty() || !TestDataFileExists(path))
      return false;
    m_view = std::make_unique<CDeterminationDisplay>();
    OpenObsFile(*m_view, File("curve.obs", ObservationLinesBetween(ReadTestFile(path), fromYear, toYear)));
    OnAiImprove(*m_view);
    return true;
  }
  int Count(bool bTotal) const
  {
    int n = 0;
    for (const MagCurvePoint& p : m_curve.m_pPoints)
      n += (p.bTotal != 0) == bTotal;
    return n;
  }

  CMagCurveDlg m_curve;
  CurveSinks m_sinks;
};

} // namespace

// C/1998 P1: 195 total and 38 nuclear magnitudes; the comet law's slope is
// either a fitted one inside [2, 40] or the substituted 10 shown as fixed;
// the nucleus limit comes from the nuclear magnitudes.
TEST_F(MagCurveReal, LongPeriodCometLawAndNucleus)
{
  if (!OpenAndImprove("obs/mpc80/orbitfinder_C_1998_P1.txt", 1960, 2060))
    GTEST_SKIP() << "obs/mpc80/orbitfinder_C_1998_P1.txt not found";
  ASSERT_EQ(m_view->m_pEngine->m_nCalcState, kCalcImprovedPerturbed) << m_view->m_strCalcLog;
  EXPECT_EQ(m_curve.m_strName, m_view->m_displayOrbit.m_strName);
  EXPECT_EQ(Count(true), 195);
  EXPECT_EQ(Count(false), 38);
  EXPECT_EQ(m_curve.m_bAsteroidLaw, 0);
  ASSERT_EQ(m_curve.m_bFitted, 1);
  std::printf("C/1998 P1: H1 %.2f K1 %.2f RMS %.3f substituted %d; %s %s\n", m_curve.m_dH, m_curve.m_dSlope,
              m_curve.m_dRms, m_curve.m_bSlopeSubstituted, m_curve.GetItemText(kMagNucleusValue).c_str(),
              m_curve.GetItemText(kMagNucleusNote).c_str());
  if (m_curve.m_bSlopeSubstituted) {
    EXPECT_EQ(m_curve.m_dSlope, 10);
    EXPECT_EQ(m_curve.IsChecked(kMagFixSlope), 1);
  } else {
    EXPECT_GE(m_curve.m_dSlope, 2);
    EXPECT_LE(m_curve.m_dSlope, 40);
  }
  // Total magnitudes only (at least five of them): an independent mean
  // residual of the fitted law over them is zero (least squares).
  double sum = 0;
  int n = 0;
  for (const MagCurvePoint& p : m_curve.m_pPoints)
    if (p.bTotal && !p.bExcluded) {
      sum += m_curve.m_dH + 5 * std::log10(p.dDelta) + m_curve.m_dSlope * std::log10(p.dR) - p.dMag;
      ++n;
    }
  ASSERT_GT(n, 150);
  if (!m_curve.m_bSlopeSubstituted) {
    EXPECT_NEAR(sum / n, 0, 1e-9);
  }
  // The nucleus: H2 as the mean of m - 5 log Δ - 5 log r over the shown nuclear magnitudes.
  double h2 = 0;
  int nuclear = 0;
  for (const MagCurvePoint& p : m_curve.m_pPoints)
    if (!p.bTotal && !p.bExcluded) {
      h2 += p.dMag - 5 * std::log10(p.dDelta) - 5 * std::log10(p.dR);
      ++nuclear;
    }
  ASSERT_GE(nuclear, 3);
  h2 /= nuclear;
  const double d = 6645 * std::pow(10.0, -h2 / 5);
  const std::string value = m_curve.GetItemText(kMagNucleusValue);
  ASSERT_EQ(value.rfind("核直径 < ", 0), 0u) << value;
  const double shown = std::atof(value.substr(std::string("核直径 < ").size()).c_str());
  const bool metres = value.find(" m") != std::string::npos;
  EXPECT_NEAR(shown, metres ? d * 1000 : d, (metres ? d * 1000 : d) * 0.01) << value;
  EXPECT_NE(m_curve.GetItemText(kMagNucleusNote).find(FormatC("%d点", nuclear)), std::string::npos);
}

// Eros (2016-2025) and Apophis: the H,G law on raw magnitudes of mixed
// bands lands within half a magnitude of the published H (10.4, 19.1).
TEST_F(MagCurveReal, AsteroidLawsAgainstPublishedH)
{
  struct Case {
    const char* file;
    int from, to;
    double H;
  } cases[] = {
      {"obs/mpc80/neosjl_433.txt", 2016, 2025, 10.4},
      {"obs/mpc80/neosjl_99942.dat", 2004, 2025, 19.1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    if (!OpenAndImprove(c.file, c.from, c.to))
      GTEST_SKIP() << c.file << " not found";
    ASSERT_EQ(m_view->m_pEngine->m_nCalcState, kCalcImprovedPerturbed) << m_view->m_strCalcLog;
    EXPECT_EQ(m_curve.m_bAsteroidLaw, 1);
    ASSERT_EQ(m_curve.m_bFitted, 1);
    std::printf("%s: %d points, H %.2f G %.3f RMS %.3f; %s\n", c.file, m_curve.m_nPoints, m_curve.m_dH,
                m_curve.m_dSlope, m_curve.m_dRms, m_curve.GetItemText(kMagNucleusValue).c_str());
    EXPECT_NEAR(m_curve.m_dH, c.H, 0.5);
    EXPECT_GE(m_curve.m_dSlope, 0);
    EXPECT_LE(m_curve.m_dSlope, 1);
  }
}

// Each opposition of Eros lies within 3 days of a maximum of the elongation
// in daily ephemeris rows of the same orbit.
TEST_F(MagCurveReal, ErosOppositionsAtElongationMaxima)
{
  if (!OpenAndImprove("obs/mpc80/neosjl_433.txt", 2016, 2025)) GTEST_SKIP() << "neosjl_433.txt not found";
  ASSERT_EQ(m_curve.m_bFitted, 1);
  m_curve.ComputeOppositions();
  ASSERT_GE(m_curve.m_nOppositions, 4);
  double tmin = 1e99, tmax = -1e99;
  for (const MagCurvePoint& p : m_curve.m_pPoints)
    if (!p.bExcluded) tmin = std::min(tmin, p.dJd), tmax = std::max(tmax, p.dJd);
  const double start = std::floor(tmin - 1100);
  const int days = static_cast<int>(tmax + 1100 - start);
  std::vector<EphemerisRow> rows(days);
  const CMagCurveDlg& c = m_curve;
  ASSERT_EQ(ComputeEphemerisRows(1, 0, 0, start, 1.0, days, c.m_dT, c.m_dQ, c.m_dE, c.m_dPeri, c.m_dNode, c.m_dIncl,
                                 0, 0, 0, 0, 0, 0, rows.data()),
            days);
  std::vector<double> maxima;
  for (int i = 1; i + 1 < days; ++i)
    if (rows[i].m_dElongationDeg > 150 && rows[i].m_dElongationDeg >= rows[i - 1].m_dElongationDeg &&
        rows[i].m_dElongationDeg > rows[i + 1].m_dElongationDeg)
      maxima.push_back(rows[i].m_dJdTT);
  for (int k = 0; k < c.m_nOppositions; ++k) {
    double best = 1e99;
    for (double t : maxima) best = std::min(best, std::fabs(t - c.m_adOppositions[k]));
    EXPECT_LT(best, 3.0) << PlotDateText(c.m_adOppositions[k]);
  }
  std::printf("Eros: %d oppositions, first %s, last %s\n", c.m_nOppositions, PlotDateText(c.m_adOppositions[0]).c_str(),
              PlotDateText(c.m_adOppositions[c.m_nOppositions - 1]).c_str());
}

// A law that reaches -12 mag stops at the floor of -10: the range tops out
// at -10 less its pad and the stretch at the floor is dashed.
TEST_F(MagCurveReal, LawFloorAtMinusTen)
{
  if (!OpenAndImprove("obs/mpc80/orbitfinder_C_1998_P1.txt", 1960, 2060)) GTEST_SKIP() << "file not found";
  ASSERT_EQ(m_curve.m_bFitted, 1);
  m_curve.m_dH = -13;  // brighter than -10 near the Earth
  m_curve.m_dSlope = 10;
  double m = 0;
  ASSERT_EQ(m_curve.ModelMagnitude(m_curve.m_dT, m), 1);
  EXPECT_EQ(m, -10);
  MagPlotLayout L;
  ASSERT_EQ(m_curve.GetPlotRanges(900, 600, L, 1), 1);
  double mmax = -1e99;
  for (const MagCurvePoint& p : m_curve.m_pPoints)
    if (!p.bExcluded) mmax = std::max(mmax, p.dMag);
  EXPECT_NEAR(L.dMagMin, -10 - 0.15 * (mmax + 10), 1e-9);
  RecordingCanvas g;
  m_curve.DrawPlot(g, 900, 600, 0);
  int dashed = 0, solid = 0;
  for (const auto& s : g.shapes)
    if (s.kind == 'p' && s.argb == 0xFF5AC8FF) (s.dashed ? dashed : solid)++;
  EXPECT_GT(dashed, 0);
  EXPECT_GT(solid, 0);
}


namespace {

constexpr double kDegToRad = 3.14159265358979323846 / 180;

// A headless window system whose n-th pumped event clicks the cancel button.
class CancellingUi : public HeadlessUiServices {
public:
  bool PumpOneEvent() override
  {
    HeadlessUiServices::PumpOneEvent();
    if (m_pEngine && m_pumps == m_nClickAt)
      m_dialogs.PressStop(*m_pEngine);
    return false;
  }
  OrbitEngine* m_pEngine = nullptr;
  int m_nClickAt = -1;
  HeadlessCancelDialogs m_dialogs;
};

// The user's four engine settings, distinct from what the integration uses.
void SetUserSettings(CDetermination& view)
{
  view.m_pEngine->m_bAutoRunning = 0;
  view.m_pEngine->m_bAutoStop = 0;
  view.m_pEngine->m_bNonGrav = 1;
  view.m_pDetClass->m_bFixEcc = 1;
}

void ExpectUserSettings(const CDetermination& view)
{
  EXPECT_EQ(view.m_pEngine->m_bAutoRunning, 0);
  EXPECT_EQ(view.m_pEngine->m_bAutoStop, 0);
  EXPECT_EQ(view.m_pEngine->m_bNonGrav, 1);
  EXPECT_EQ(view.m_pDetClass->m_bFixEcc, 1);
  EXPECT_EQ(view.m_pEngine->m_bBusy, 0);
}

} // namespace

// (433) Eros since 1960 under the comet law, compared return by return: the
// element sets every 40 days cover the span, every shown observation belongs
// to a return, one row per observed return, the rows whole periods apart with
// the solution's own perihelion among them, and the sets reproduce the
// observed positions to a few arcseconds. The user's engine settings come back.
TEST_F(MagCurveReal, ErosReturnsSince1960)
{
  if (!OpenAndImprove("obs/mpc80/neosjl_433.txt", 1960, 2060)) GTEST_SKIP() << "neosjl_433.txt not found";
  ASSERT_EQ(m_view->m_pEngine->m_nCalcState, kCalcImprovedPerturbed) << m_view->m_strCalcLog;
  m_curve.SetCheck(kMagLawComet, 1);
  m_curve.OnCometLaw();
  SetUserSettings(*m_view);
  m_curve.SetCheck(kMagCompare, 1);
  m_curve.OnCompareApparitions();
  ExpectUserSettings(*m_view);
  ASSERT_EQ(m_curve.m_bApparitionsValid, 1) << m_curve.m_strApparitionSummary;
  double P = 0;
  ASSERT_EQ(m_curve.GetCometPeriod(P), 1);
  const int rows = m_curve.m_nApparitions;
  const ApparitionEntry* row = m_curve.m_apparitions;
  std::printf("Eros: T %.5f q %.7f e %.7f peri %.5f node %.5f incl %.5f epoch %.1f\n", m_curve.m_dT, m_curve.m_dQ,
              m_curve.m_dE, m_curve.m_dPeri / kDegToRad, m_curve.m_dNode / kDegToRad, m_curve.m_dIncl / kDegToRad,
              m_curve.m_dEpoch);
  std::printf("Eros: P %.1f d, %d element sets every %.0f d, %d rows over %.1f periods\n%s\n", P,
              m_curve.m_nElementSets, m_curve.m_dElementStep, rows, (row[rows - 1].dT - row[0].dT) / P + 1,
              m_curve.m_strApparitionSummary.c_str());
  for (int i = 0; i < rows; ++i)
    std::printf("  %s  q %.4f e %.4f P %.2f  %d points (%d total)  RMS %.2f″ max %.2f″\n",
                PlotDateText(row[i].dT).c_str(), row[i].dQ, row[i].dE, row[i].dPeriod, row[i].nPoints,
                row[i].nTotal, row[i].dRmsResid, row[i].dMaxResid);
  EXPECT_EQ(m_curve.m_dElementStep, 40);
  EXPECT_NEAR(m_curve.m_nElementSets, 600, 30);
  EXPECT_NEAR((row[rows - 1].dT - row[0].dT) / P + 1, 37, 1.5);

  int shown = 0, unassigned = 0, inRows = 0, evaluated = 0;
  double sumSq = 0;
  for (const MagCurvePoint& p : m_curve.m_pPoints) {
    if (!m_curve.IsShown(p))
      continue;
    ++shown;
    unassigned += p.nApparition < 0;
    if (p.dPosResidual >= 0)
      sumSq += p.dPosResidual * p.dPosResidual, ++evaluated;
  }
  for (int i = 0; i < rows; ++i) {
    EXPECT_GT(row[i].nPoints, 0) << i;
    inRows += row[i].nPoints;
  }
  std::printf("Eros: %d shown points, %d without a return, %d in the rows, %d with a residual\n", shown, unassigned,
              inRows, evaluated);
  EXPECT_EQ(unassigned, 0);
  EXPECT_EQ(inRows, shown);
  ASSERT_GT(evaluated, shown * 9 / 10);
  EXPECT_LT(std::sqrt(sumSq / evaluated), 10);

  double nearest = 1e99;
  for (int i = 0; i < rows; ++i) {
    nearest = std::min(nearest, std::fabs(row[i].dT - m_curve.m_dT));
    if (i == 0)
      continue;
    const double periods = (row[i].dT - row[i - 1].dT) / P;
    EXPECT_GE(std::round(periods), 1) << i;
    EXPECT_NEAR(periods, std::round(periods), 0.02) << i;
  }
  EXPECT_LT(nearest, 1.0);
}

// The cancel button pressed while the engine integrates a step: no sets,
// the message, and the user's four engine settings back.
TEST_F(MagCurveReal, CancelInsideTheIntegrationRestoresTheEngine)
{
  if (!OpenAndImprove("obs/mpc80/neosjl_433.txt", 2016, 2025)) GTEST_SKIP() << "neosjl_433.txt not found";
  ASSERT_EQ(m_view->m_pEngine->m_nCalcState, kCalcImprovedPerturbed) << m_view->m_strCalcLog;
  m_curve.SetCheck(kMagLawComet, 1);
  m_curve.OnCometLaw();
  CancellingUi ui;
  SteppingClock clock(400);  // the cancel dialog comes up within a few polls
  ui.m_pEngine = m_view->m_pEngine;
  ui.m_nClickAt = 40;  // the loop polls once a set; the integration every step
  SetUi(&ui);
  SetCancelDialogs(&ui.m_dialogs);
  m_view->m_pEngine->m_pClock = &clock;
  SetUserSettings(*m_view);
  m_curve.SetCheck(kMagCompare, 1);
  m_curve.OnCompareApparitions();
  m_view->m_pEngine->m_pClock = nullptr;
  SetCancelDialogs(nullptr);
  SetUi(&m_ui);
  EXPECT_GE(ui.m_pumps, 40);
  ExpectUserSettings(*m_view);
  EXPECT_EQ(m_curve.m_strApparitionSummary, "回帰ごとの軌道要素の計算を中止しました。");
  EXPECT_EQ(m_curve.m_nElementSets, 0);
  EXPECT_EQ(m_curve.m_bCompareWanted, 0);
  EXPECT_EQ(m_view->m_pEngine->m_nCancel, 0);
}

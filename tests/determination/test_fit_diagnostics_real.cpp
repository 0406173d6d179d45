// The fit diagnostics on real observations: station statistics of 6489
// Golevka, (99942) Apophis and 433 Eros against a recomputation from the
// residuals, the leave-one-station-out test on Golevka with one station's
// declinations moved, the non-gravitational test on 1I/ʻOumuamua, C/1998 P1
// and 2015 AB, and the era statistics of Eros. Every test ends with the
// solution exactly as it was, also when cancelled midway.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "determination/era_stats.h"
#include "determination/nongrav_check.h"
#include "determination/station_stats.h"
#include "engine/improvement_procedures.h"
#include "platform/numbers.h"
#include "tests/determination/determination_test_support.h"

namespace {

constexpr double kArcsecRad = M_PI / 180.0 / 3600.0;

// Everything a diagnostic must leave as it found it.
struct SolutionState {
  std::vector<double> values;  // elements, errors, covariance, mean residual
  std::vector<int> flags;      // rejected flags, counts, switches, state
};

SolutionState Capture(const CDetermination& view) {
  const OrbitEngine& e = *view.m_pEngine;
  const ElementBlock& el = e.m_state.m_el;
  SolutionState s;
  s.values = {el.m_dT,   el.m_dQ,    el.m_dE,    el.m_dPeri, el.m_dNode,  el.m_dIncl,  el.m_dA1,   el.m_dA2,
              el.m_dA3,  el.m_dA,    el.m_dM,    el.m_dN,    el.m_dEpoch, e.m_dErrT,   e.m_dErrPeri, e.m_dErrNode,
              e.m_dErrIncl, e.m_dErrQ, e.m_dErrE, e.m_dErrA1, e.m_dErrA2, e.m_dErrA3, e.m_dErrA, e.m_dErrP,
              e.m_dErrN, e.m_dMeanResidual, e.m_dCovarianceEpoch, e.m_dSigma0};
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) s.values.push_back(e.m_covariance[i][j]);
  s.flags = {e.m_bErrValid, e.m_nUsedObs, e.m_nCovarianceSize, e.m_bCovarianceValid,
             static_cast<int>(e.m_nCovarianceSignature), e.m_nCalcState, e.m_bNonGrav, e.m_nNonGravModel,
             e.m_bNonGravA3, e.m_bAutoRunning, e.m_bAutoStop, e.m_bBusy, view.m_bQuietRun};
  for (int i = 0; i < view.m_pDetClass->m_nObsCount; ++i) s.flags.push_back(view.m_pDetClass->m_pOrbObs[i].m_bRejected);
  return s;
}

// Bit for bit.
void ExpectSameSolution(const SolutionState& before, const SolutionState& after) {
  ASSERT_EQ(before.values.size(), after.values.size());
  for (size_t i = 0; i < before.values.size(); ++i)
    EXPECT_EQ(std::memcmp(&before.values[i], &after.values[i], sizeof(double)), 0)
        << "value " << i << ": " << before.values[i] << " became " << after.values[i];
  EXPECT_EQ(before.flags, after.flags);
}

// An engine clock that runs 50 ms a reading, so that the cancel dialog
// comes up after a few dozen readings.
class FastClock : public EngineClock {
public:
  uint32_t TickMs() override { return m_now += 50; }
  void SleepMs(uint32_t) override {}
  uint32_t m_now = 0;
};

// Presses the cancel dialog's stop button once, at the first pumped event
// from the n-th on that finds the dialog up.
class StoppingUi : public HeadlessUiServices {
public:
  bool PumpOneEvent() override {
    HeadlessUiServices::PumpOneEvent();
    if (m_pEngine && !m_bPressed && m_pumps >= m_nStopAt) {
      m_dialogs.PressStop(*m_pEngine);
      m_bPressed = m_pEngine->m_nCancel == 1;
    }
    return false;
  }
  OrbitEngine* m_pEngine = nullptr;
  int m_nStopAt = -1;
  bool m_bPressed = false;
  HeadlessCancelDialogs m_dialogs;
};

class FitDiagnosticsReal : public DeterminationTest {
protected:
  void SetUp() override {
    DeterminationTest::SetUp();
    if (IsSkipped()) return;
    m_view->SetItemText(kIdStepCombo, kStepAutomatic);
  }

  // Observations of the file from fromYear on (within the planetary file).
  bool LoadFrom(const std::string& relative, int fromYear) {
    const std::string path = TestDataPath(relative);
    if (path.empty() || !TestDataFileExists(path)) return false;
    const std::string file = File("obs.txt", ObservationLinesBetween(ReadTestFile(path), fromYear, 2060));
    return LoadSessionObservations(*m_view, file, s_stationsFile) > 0;
  }

  // Moves the declinations of a station's observations by arcsec.
  void MoveDeclinations(const char* code, double arcsec) {
    DetClass* det = m_view->m_pDetClass;
    for (int i = 0; i < det->m_nObsCount; ++i)
      if (std::strncmp(det->m_pOrbObs[i].m_szStation, code, 3) == 0) det->m_pOrbObs[i].m_dDec += arcsec * kArcsecRad;
  }

  // Preliminary orbit from the pick window, two-body improvement, then the
  // perturbed improvement converged on each window (from, to) in turn and
  // outliers of the last one clipped (3 × mean, at least clipFloor)
  // clipRounds times. The residual list is shown.
  void Fit(double pickFrom, double pickTo, const std::vector<std::pair<double, double>>& windows, int clipRounds = 0,
           double clipFloor = 1.5) {
    OrbitEngine& engine = *m_view->m_pEngine;
    KeepWindow(*m_view, windows.front().first, windows.front().second);
    ASSERT_TRUE(PickAndDetermine(*m_view, pickFrom, pickTo));
    ASSERT_EQ(ImproveTwoBody(*m_view, 20), 0) << m_view->m_pDetClass->m_strError;
    for (const auto& [from, to] : windows) {
      KeepWindow(*m_view, from, to);
      ASSERT_EQ(ImproveToConvergence(*m_view, 30), 0) << engine.m_strMessage;
    }
    for (int round = 0; round < clipRounds; ++round) {
      ClipOutliers(*m_view, 3.0, clipFloor, windows.back().first, windows.back().second);
      ASSERT_EQ(ImproveToConvergence(*m_view, 30), 0) << engine.m_strMessage;
    }
    ASSERT_EQ(engine.m_nCalcState, kCalcImprovedPerturbed);
    ASSERT_FALSE(EpochFromFields(*m_view) == 0.0);
    m_view->RefreshResidualList(m_view->m_pDetClass->m_pOrbObs, 1);
  }

  // Non-gravitational terms of the model switched on, as the check box and
  // the model combo box do.
  void SwitchNonGravOn(int model) {
    m_view->SetCheck(kIdNonGravCheck, 1);
    m_view->m_pEngine->m_bNonGrav = 1;
    m_view->SetNonGravModel(model);
    m_view->ResetNonGravParameters();
  }

  // The non-gravitational test, its report printed; the solution as before.
  NonGravCheckResult CheckNonGrav(const char* name) {
    const SolutionState before = Capture(*m_view);
    NonGravCheckResult r{};
    EXPECT_EQ(RunNonGravSignificanceTest(*m_view, r), 0);
    std::printf("---- %s ----\n%s\n", name, FormatNonGravVerdict(r).c_str());
    ExpectSameSolution(before, Capture(*m_view));
    return r;
  }

  std::vector<StationResidualStats> ViewStats() const {
    m_view->EnsureStationStats();
    return {m_view->m_pStationStats.get(), m_view->m_pStationStats.get() + m_view->m_nStationStats};
  }

  // Each station once, the counts adding up to the observations, the means
  // and scatter as recomputed here from the residuals.
  void CheckStatsAgainstResiduals() {
    const DetClass* det = m_view->m_pDetClass;
    const auto stats = ViewStats();
    struct Sum {
      int used = 0, all = 0;
      double ra = 0, dec = 0, sq = 0;
    };
    std::map<std::string, Sum> sums;
    for (int i = 0; i < det->m_nObsCount; ++i) {
      const ObservationRecord& o = det->m_pOrbObs[i];
      Sum& s = sums[std::string(o.m_szStation, 3)];
      ++s.all;
      if (o.m_bRejected || o.m_nUnknownStation) continue;
      const double ra = o.m_dResRa / kArcsecRad, dec = o.m_dResDec / kArcsecRad;
      ++s.used;
      s.ra += ra;
      s.dec += dec;
      s.sq += ra * ra + dec * dec;
    }
    ASSERT_EQ(stats.size(), sums.size());
    int total = 0;
    for (const StationResidualStats& st : stats) {
      SCOPED_TRACE(st.code);
      ASSERT_EQ(sums.count(st.code), 1u);
      const Sum& s = sums[st.code];
      total += st.used + st.excluded;
      EXPECT_EQ(st.used, s.used);
      EXPECT_EQ(st.used + st.excluded, s.all);
      if (s.used == 0) continue;
      EXPECT_NEAR(st.meanRa, s.ra / s.used, 1e-9);
      EXPECT_NEAR(st.meanDec, s.dec / s.used, 1e-9);
      EXPECT_NEAR(st.scatter, std::sqrt(s.sq / (2.0 * s.used)), 1e-9);
    }
    EXPECT_EQ(total, det->m_nObsCount);
  }

  void PrintFlagged(const char* name) {
    for (const StationResidualStats& s : ViewStats())
      if (s.flag)
        std::printf("%s: %s flag %d, %d used, bias %.2f\" toward %.0f°, scatter %.2f\"\n", name, s.code, s.flag, s.used,
                    s.bias, s.angle, s.scatter);
  }

  const StationResidualStats* Station(const char* code) const {
    m_view->EnsureStationStats();
    for (int k = 0; k < m_view->m_nStationStats; ++k)
      if (std::strcmp(m_view->m_pStationStats[k].code, code) == 0) return &m_view->m_pStationStats[k];
    return nullptr;
  }
};

// Golevka over 1991-2015 with station 704's declinations moved by 5":
// 704 becomes a large bias and the test finds it first; the solution is
// back bit for bit afterwards, and also after a cancel in the middle.
TEST_F(FitDiagnosticsReal, GolevkaWithAMovedStation) {
  if (!LoadFrom("obs/mpc80/orbitfinder_6489.txt", 1960)) GTEST_SKIP() << "obs/mpc80/orbitfinder_6489.txt not found";
  MoveDeclinations("704", 5.0);
  ASSERT_NO_FATAL_FAILURE(Fit(CalendarToJd(2003, 1, 1), CalendarToJd(2003, 12, 31),
                              {{CalendarToJd(2002, 1, 1), CalendarToJd(2030, 1, 1)},
                               {CalendarToJd(1960, 1, 1), CalendarToJd(2030, 1, 1)}}));
  OrbitEngine& engine = *m_view->m_pEngine;
  std::printf("Golevka: mean residual %.3f\" over %d\n", engine.m_dMeanResidual, engine.m_nUsedObs);
  CheckStatsAgainstResiduals();
  PrintFlagged("Golevka");
  const StationResidualStats* s704 = Station("704");
  ASSERT_TRUE(s704);
  EXPECT_EQ(s704->flag, kStationFlagLarge);

  const SolutionState before = Capture(*m_view);
  std::string text;
  ASSERT_EQ(RunStationExclusionTest(*m_view, text), 0) << text;
  std::printf("%s\n", text.c_str());
  // The first station line of the report is 704's.
  const size_t first = text.find(" を除外");
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(text.substr(first - 3, 3), "704") << text;
  ExpectSameSolution(before, Capture(*m_view));

  // Cancelled in the middle of the trials.
  StoppingUi stopping;
  stopping.m_pEngine = &engine;
  FastClock clock;
  engine.m_pClock = &clock;
  SetCancelDialogs(&stopping.m_dialogs);
  {
    ScopedUi scoped(stopping);
    stopping.m_nStopAt = 150;
    EXPECT_EQ(RunStationExclusionTest(*m_view, text), -9);
  }
  SetCancelDialogs(nullptr);
  engine.m_pClock = nullptr;
  EXPECT_TRUE(stopping.m_bPressed);
  EXPECT_EQ(text, "[中止]が押されたので試験をやめました。\r\n軌道要素は試験前の状態に戻してあります。");
  ExpectSameSolution(before, Capture(*m_view));
}

// Golevka with two stations pulling in opposite directions: the summary
// names them.
TEST_F(FitDiagnosticsReal, GolevkaTugOfWar) {
  if (!LoadFrom("obs/mpc80/orbitfinder_6489.txt", 1960)) GTEST_SKIP() << "obs/mpc80/orbitfinder_6489.txt not found";
  MoveDeclinations("117", 3.0);
  MoveDeclinations("608", -3.0);
  ASSERT_NO_FATAL_FAILURE(Fit(CalendarToJd(2003, 1, 1), CalendarToJd(2003, 12, 31),
                              {{CalendarToJd(2002, 1, 1), CalendarToJd(2030, 1, 1)},
                               {CalendarToJd(1960, 1, 1), CalendarToJd(2030, 1, 1)}}));
  PrintFlagged("Golevka ±3\"");
  const std::string summary = StationSummaryText(m_view->m_pStationStats.get(), m_view->m_nStationStats);
  std::printf("%s\n", summary.c_str());
  EXPECT_TRUE(summary.find("★117と608の偏りがほぼ逆向きで同程度") != std::string::npos ||
              summary.find("★608と117の偏りがほぼ逆向きで同程度") != std::string::npos)
      << summary;
}

// (99942) Apophis over 2004-2021: the statistics agree with the residuals.
TEST_F(FitDiagnosticsReal, ApophisStationStatistics) {
  if (!LoadFrom("obs/mpc80/neosjl_99942.dat", 1960)) GTEST_SKIP() << "obs/mpc80/neosjl_99942.dat not found";
  const double end = CalendarToJd(2022, 1, 1), start = CalendarToJd(2004, 1, 1);
  ASSERT_NO_FATAL_FAILURE(Fit(CalendarToJd(2005, 1, 1), CalendarToJd(2005, 3, 31),
                              {{start, CalendarToJd(2006, 1, 1)}, {start, CalendarToJd(2014, 1, 1)}, {start, end}}, 2));
  std::printf("Apophis: mean residual %.3f\" over %d, %d stations\n", m_view->m_pEngine->m_dMeanResidual,
              m_view->m_pEngine->m_nUsedObs, static_cast<int>(ViewStats().size()));
  CheckStatsAgainstResiduals();
  PrintFlagged("Apophis");
}

// 433 Eros since 1960: statistics against the residuals, what the TESS
// lines (C57) show, and the era statistics' break between photographic
// plates and CCDs with thresholds that fill the three fields.
TEST_F(FitDiagnosticsReal, ErosStationAndEraStatistics) {
  if (!LoadFrom("obs/mpc80/neosjl_433.txt", 1960)) GTEST_SKIP() << "obs/mpc80/neosjl_433.txt not found";
  const double end = CalendarToJd(2026, 1, 1);
  ASSERT_NO_FATAL_FAILURE(Fit(CalendarToJd(2016, 9, 1), CalendarToJd(2016, 11, 30),
                              {{CalendarToJd(2016, 1, 1), end}, {CalendarToJd(1995, 1, 1), end},
                               {CalendarToJd(1960, 1, 1), end}},
                              2));
  std::printf("Eros: mean residual %.3f\" over %d, %d stations\n", m_view->m_pEngine->m_dMeanResidual,
              m_view->m_pEngine->m_nUsedObs, static_cast<int>(ViewStats().size()));
  CheckStatsAgainstResiduals();
  PrintFlagged("Eros");
  const StationResidualStats* tess = Station("C57");
  ASSERT_TRUE(tess);
  std::printf("Eros: C57 %d used, %d excluded, bias %.2f\" toward %.0f°, scatter %.2f\", flag %d\n", tess->used,
              tess->excluded, tess->bias, tess->angle, tess->scatter, tess->flag);

  const EraTable yearly = ComputeEraTable(*m_view, 1);
  for (const EraBin& b : yearly.bins)
    if (b.startYear >= 2019)
      std::printf("Eros %d: %d obs, median %.2f, p90 %.2f%s\n", b.startYear, b.count, b.median, b.p90,
                  b.outlier ? " 突出" : "");
  const EraTable t = ComputeEraTable(*m_view, 0);
  for (const EraBin& b : t.bins)
    std::printf("Eros %s: %d obs, median %.2f, p90 %.2f%s\n", EraCellText(b, 0).c_str(), b.count, b.median, b.p90,
                b.outlier ? " 突出" : "");
  std::printf("%s\n", t.summary.c_str());
  ASSERT_TRUE(t.canApply) << t.summary;
  EXPECT_GE(t.proposal.breakYear, 1989);
  EXPECT_LE(t.proposal.breakYear, 2009);
  EXPECT_GT(t.proposal.oldThreshold, t.proposal.newThreshold);
  ShowRejectThresholds(*m_view, t.proposal.breakYear, t.proposal.oldThreshold, t.proposal.newThreshold);
  int year = 0;
  double older = 0, newer = 0;
  m_view->GetRejectThresholds(year, older, newer);
  EXPECT_EQ(year, t.proposal.breakYear);
  EXPECT_EQ(older, t.proposal.oldThreshold);
  EXPECT_EQ(newer, t.proposal.newThreshold);
}

// 1I/ʻOumuamua solved with radiation pressure: the terms are detected with
// A1 near the published 2.5e-7 AU/day².
TEST_F(FitDiagnosticsReal, OumuamuaRadiationPressureIsDetected) {
  if (!LoadFrom("obs/mpc80/orbitfinder_1I.txt", 1960)) GTEST_SKIP() << "obs/mpc80/orbitfinder_1I.txt not found";
  const double end = CalendarToJd(2019, 1, 1), start = CalendarToJd(2017, 10, 1);
  ASSERT_NO_FATAL_FAILURE(Fit(CalendarToJd(2017, 10, 19), CalendarToJd(2017, 11, 30), {{start, end}}));
  SwitchNonGravOn(3);
  ASSERT_EQ(ImproveToConvergence(*m_view, 30), 0) << m_view->m_pEngine->m_strMessage;
  const NonGravCheckResult r = CheckNonGrav("1I");
  EXPECT_EQ(r.verdict, 2);
  EXPECT_NEAR(r.a1, 25.0, 8.0);  // × 1e-8 AU/day²
}

// C/1998 P1, nine months of a long-period comet with water-ice terms: the
// test completes and gives a verdict; cancelled midway the solution stays.
TEST_F(FitDiagnosticsReal, LongPeriodCometCompletesAndCancels) {
  if (!LoadFrom("obs/mpc80/orbitfinder_C_1998_P1.txt", 1960))
    GTEST_SKIP() << "obs/mpc80/orbitfinder_C_1998_P1.txt not found";
  const double start = CalendarToJd(1998, 1, 1), end = CalendarToJd(2000, 1, 1);
  ASSERT_NO_FATAL_FAILURE(Fit(CalendarToJd(1998, 8, 11), CalendarToJd(1998, 10, 31), {{start, end}}));
  SwitchNonGravOn(0);
  ASSERT_EQ(ImproveToConvergence(*m_view, 30), 0) << m_view->m_pEngine->m_strMessage;
  const NonGravCheckResult r = CheckNonGrav("C/1998 P1");
  EXPECT_EQ(r.valid, 1);

  OrbitEngine& engine = *m_view->m_pEngine;
  const SolutionState before = Capture(*m_view);
  StoppingUi stopping;
  stopping.m_pEngine = &engine;
  FastClock clock;
  engine.m_pClock = &clock;
  SetCancelDialogs(&stopping.m_dialogs);
  NonGravCheckResult cancelled{};
  {
    ScopedUi scoped(stopping);
    stopping.m_nStopAt = 1000;
    EXPECT_EQ(RunNonGravSignificanceTest(*m_view, cancelled), -9);
  }
  SetCancelDialogs(nullptr);
  engine.m_pClock = nullptr;
  EXPECT_TRUE(stopping.m_bPressed);
  EXPECT_EQ(NonGravOutcome(-9, cancelled).status, "判定を取りやめました");
  ExpectSameSolution(before, Capture(*m_view));
}

// 2015 AB, an asteroid, solved with water-ice terms: no detection.
TEST_F(FitDiagnosticsReal, AsteroidWithWaterIceTermsIsNotDetected) {
  if (!LoadFrom("obs/mpc80/orbfit_2015AB.obs", 1960)) GTEST_SKIP() << "obs/mpc80/orbfit_2015AB.obs not found";
  ASSERT_NO_FATAL_FAILURE(Fit(CalendarToJd(2015, 1, 1), CalendarToJd(2015, 2, 28),
                              {{CalendarToJd(1960, 1, 1), CalendarToJd(2060, 1, 1)}}));
  SwitchNonGravOn(0);
  ASSERT_EQ(ImproveToConvergence(*m_view, 30), 0) << m_view->m_pEngine->m_strMessage;
  const NonGravCheckResult r = CheckNonGrav("2015 AB");
  EXPECT_EQ(r.valid, 1);
  EXPECT_NE(r.verdict, 2);
}

}  // namespace

// The systematic ranging's parts on small fixtures: the value-and-rate fit
// (apart from the distance scan's), the attributable's anchor and window,
// the bound interval, the failure reasons of a trial orbit, the grid's
// bounds, the six-parameter fit on exact two-body observations, and the
// rules that choose and keep the covariance clones.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "astro/constants.h"
#include "determination/determination_display.h"
#include "engine/distance_scan.h"
#include "engine/state_elements.h"
#include "engine/tool_sinks.h"
#include "neocp/attributable.h"
#include "neocp/batch_orbit.h"
#include "neocp/earth_screening.h"
#include "neocp/range_grid.h"
#include "neocp/six_param_fit.h"
#include "neocp/systematic_ranging.h"
#include "tests/engine/test_improvement_support.h"
#include "tests/engine/test_preliminary_sky.h"

namespace {

ObservationRecord At(double t, const char* station, double ra, double dec) {
  ObservationRecord o{};
  o.m_dJdTt = o.m_dJdUtc = t;
  std::memcpy(o.m_szStation, station, 4);
  o.m_dRa = ra;
  o.m_dDec = dec;
  // The observer moves 0.01 AU/day along x.
  o.m_dSun[0] = -(1.0 + 0.01 * (t - 2455000.0));
  o.m_dSun[1] = -0.2;
  o.m_dSun[2] = 0.0;
  o.m_dWeight = 1.0;
  return o;
}

// Two-body observations of an object about 0.2 AU outside the test observer,
// four on each of three nights, from station T01, with a fixed pattern of
// errors of 0.3" (exact places would let the fit gain forever).
const SkyOrbit kSynthetic{2455001.5, 1.2, 0.25, 266.0, 0.0, 8.0};
constexpr double kSyntheticT0 = 2455000.5;

std::vector<double> SyntheticTimes(int nights, int perNight) {
  std::vector<double> times;
  for (int n = 0; n < nights; ++n)
    for (int k = 0; k < perNight; ++k) times.push_back(kSyntheticT0 + n + 0.012 * k);
  return times;
}

void LoadSynthetic(CDetermination& view, const std::vector<double>& times) {
  LoadSkyObservations(view, kSynthetic, times);
  constexpr double kError = 0.3 / 206264.806;
  for (int i = 0; i < view.m_pDetClass->m_nObsCount; ++i) {
    ObservationRecord& o = view.m_pDetClass->m_pOrbObs[i];
    std::memcpy(o.m_szStation, "T01", 4);
    o.m_dRa += (i % 2 ? kError : -kError) / std::cos(o.m_dDec);
    o.m_dDec += (i % 3 == 1 ? kError : -kError);
  }
  view.m_pEngine->m_bPerturbations = 1;
}

// The true attributable parameters at t: direction, rates and distance with
// their rates by central differences of the exact observations.
void TrueParameters(double t, double p[6]) {
  constexpr double h = 1e-3;
  auto delta = [](double time) {
    const ObservationRecord o = ObserveOrbit(kSynthetic, time);
    double d = 0, s = 0;
    // Distance from the observer: |object - observer| with the observer at -sun.
    double pos[3], P[3], Q[3];
    constexpr double kDeg = M_PI / 180.0;
    OrbitOrientationVectors(kSynthetic.periDeg * kDeg, kSynthetic.nodeDeg * kDeg, kSynthetic.inclDeg * kDeg, P, Q);
    for (int pass = 0; pass < 50; ++pass) {
      PropagateUniversal(time - kLightTimeDaysPerAu * d - kSynthetic.T, kSynthetic.q, kSynthetic.e, P, Q, pos, nullptr);
      s = 0;
      for (int i = 0; i < 3; ++i) s += (pos[i] + o.m_dSun[i]) * (pos[i] + o.m_dSun[i]);
      d = std::sqrt(s);
    }
    return d;
  };
  const ObservationRecord o = ObserveOrbit(kSynthetic, t), a = ObserveOrbit(kSynthetic, t + h),
                          b = ObserveOrbit(kSynthetic, t - h);
  p[0] = o.m_dRa;
  p[1] = o.m_dDec;
  p[2] = std::remainder(a.m_dRa - b.m_dRa, 2.0 * M_PI) / (2 * h);
  p[3] = (a.m_dDec - b.m_dDec) / (2 * h);
  p[4] = delta(t);
  p[5] = (delta(t + h) - delta(t - h)) / (2 * h);
}

Attributable SyntheticAttributable(double t, const double p[6]) {
  Attributable a{};
  a.t0 = t;
  a.alpha = p[0], a.delta = p[1], a.alphaDot = p[2], a.deltaDot = p[3];
  double later[3], earlier[3];
  TestObserverSun(t + 1e-3, later);
  TestObserverSun(t - 1e-3, earlier);
  TestObserverSun(t, a.obsPos);
  for (int k = 0; k < 3; ++k) {
    a.obsPos[k] = -a.obsPos[k];
    a.obsVel[k] = -(later[k] - earlier[k]) / 2e-3;
  }
  return a;
}

}  // namespace

TEST(RangingParts, ValueAndRateFitsKeepTheirOwnRules) {
  // y = 1 + 2t + 3t²: through three points the ranging takes the parabola
  // (slope 2 at 0), the distance scan the least-squares line (slope 10.75/6.5).
  const double t3[] = {-1.0, 0.5, 1.0}, y3[] = {2.0, 2.75, 6.0};
  const double t2[] = {1.0, 3.0}, y2[] = {5.0, 9.0};
  struct Case {
    const double *t, *y;
    int n;
    int ok;
    double value, rate;       // ranging
    double scanValue, scanRate;  // distance scan
  };
  const Case cases[] = {
      {t3, y3, 3, 0, 1.0, 2.0, 3.5833333333333335 - 10.75 / 6.5 * (0.5 / 3.0), 10.75 / 6.5},
      {t2, y2, 2, 0, 3.0, 2.0, 3.0, 2.0},
      {t2, y2, 1, -1, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    double v = 0, r = 0, sv = 0, sr = 0;
    ASSERT_EQ(ranging::FitValueAndRate(c.t, c.y, c.n, v, r), c.ok) << c.n;
    ASSERT_EQ(FitValueAndRate(c.t, c.y, c.n, sv, sr), c.ok) << c.n;
    if (c.ok != 0) continue;
    EXPECT_NEAR(v, c.value, 1e-12) << c.n;
    EXPECT_NEAR(r, c.rate, 1e-12) << c.n;
    EXPECT_NEAR(sv, c.scanValue, 1e-12) << c.n;
    EXPECT_NEAR(sr, c.scanRate, 1e-12) << c.n;
  }
  // Equal times give no line.
  const double same[] = {2.0, 2.0, 2.0};
  double v = 0, r = 0;
  EXPECT_EQ(ranging::FitValueAndRate(same, y3, 3, v, r), -1);
}

TEST(RangingParts, AttributableAnchorAndWindow) {
  const double t = 2455000.0;
  Attributable a{};
  int used = 0;
  double window = 0;
  char station[4] = {};

  // Two observations half a day apart: the window doubles from 0.06 to 0.96
  // day, and the rates are those of the line through them.
  const ObservationRecord pair[] = {At(t, "G96", 1.0, 0.2), At(t + 0.5, "G96", 1.01, 0.19)};
  ASSERT_EQ(ComputeAttributable(pair, 2, a, used, window, station), 1);
  EXPECT_EQ(used, 2);
  EXPECT_DOUBLE_EQ(window, 0.96);
  EXPECT_STREQ(station, "G96");
  const double t0 = a.t0;
  EXPECT_TRUE(t0 == t || t0 == t + 0.5);
  EXPECT_NEAR(a.alphaDot, 0.02, 1e-12);
  EXPECT_NEAR(a.deltaDot, -0.02, 1e-12);
  EXPECT_NEAR(a.alpha, 1.0 + 0.02 * (t0 - t), 1e-12);
  EXPECT_NEAR(a.obsVel[0], 0.01, 1e-12);
  EXPECT_NEAR(a.obsPos[0], 1.0 + 0.01 * (t0 - 2455000.0), 1e-12);

  // Across 0h: right ascensions near 2π and near 0 are one run.
  const double rate = 0.01;  // rad/day
  std::vector<ObservationRecord> across;
  for (int k = 0; k < 5; ++k) {
    double ra = 2.0 * M_PI - 0.0002 + rate * 0.01 * k;
    if (ra >= 2.0 * M_PI) ra -= 2.0 * M_PI;
    across.push_back(At(t + 0.01 * k, "F51", ra, -0.3));
  }
  ASSERT_EQ(ComputeAttributable(across.data(), 5, a, used, window, station), 1);
  EXPECT_EQ(used, 5);
  EXPECT_DOUBLE_EQ(window, 0.06);
  EXPECT_DOUBLE_EQ(a.t0, t + 0.02);  // the middle one: all have five neighbours
  EXPECT_NEAR(a.alphaDot, rate, 1e-9);
  EXPECT_NEAR(std::remainder(a.alpha - (2.0 * M_PI - 0.0002 + rate * 0.02), 2.0 * M_PI), 0.0, 1e-11);

  // The station with most observations within 0.06 day gives the anchor.
  std::vector<ObservationRecord> mixed = {At(t, "G96", 1.0, 0.2), At(t + 0.01, "G96", 1.0001, 0.2),
                                          At(t + 0.2, "703", 1.002, 0.2), At(t + 0.21, "703", 1.0021, 0.2),
                                          At(t + 0.22, "703", 1.0022, 0.2)};
  ASSERT_EQ(ComputeAttributable(mixed.data(), 5, a, used, window, station), 1);
  EXPECT_STREQ(station, "703");
  EXPECT_EQ(used, 3);
  // Among its three equals the one nearest the arc's middle (t + 0.11).
  EXPECT_DOUBLE_EQ(a.t0, t + 0.2);

  // Two observations from two stations: one at the anchor station, no rates.
  const ObservationRecord two[] = {At(t, "G96", 1.0, 0.2), At(t + 0.01, "703", 1.0001, 0.2)};
  EXPECT_EQ(ComputeAttributable(two, 2, a, used, window, station), 0);
  // An observation excluded by hand or of an unknown station does not count.
  ObservationRecord three[] = {At(t, "G96", 1.0, 0.2), At(t + 0.01, "G96", 1.0001, 0.2), At(t + 0.02, "G96", 1.0002, 0.2)};
  three[1].m_bRejected = three[1].m_bByHand = 1;
  three[2].m_nUnknownStation = 1;
  EXPECT_EQ(ComputeAttributable(three, 3, a, used, window, station), 0);
}

TEST(RangingParts, BoundIntervalEndsAreParabolic) {
  double p[6];
  TrueParameters(kSyntheticT0, p);
  const Attributable a = SyntheticAttributable(kSyntheticT0, p);
  for (double rho : {0.01, 0.25, 0.8}) {
    double emission = 0, r[3], v[3], H = 0, sqrtJ = 0;
    ASSERT_EQ(AttributableToState(a, rho, 0.0, emission, r, v, &H, &sqrtJ), 1) << rho;
    EXPECT_DOUBLE_EQ(emission, kSyntheticT0 - rho / kLightDayAu);
    // At both ends of -H ± √J the heliocentric energy is zero; inside it is negative.
    for (double rate : {-H - sqrtJ, -H + sqrtJ, -H}) {
      AttributableToState(a, rho, rate, emission, r, v);
      const double energy = 0.5 * (v[0] * v[0] + v[1] * v[1] + v[2] * v[2]) -
                            kGaussK * kGaussK / std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
      if (rate == -H)
        EXPECT_LT(energy, -1e-6) << rho;
      else
        EXPECT_NEAR(energy, 0.0, 1e-12) << rho;
    }
  }
  // An angular motion no bound orbit can have: no interval at any distance.
  Attributable fast = a;
  fast.alphaDot = 50.0;
  double emission, r[3], v[3], H, sqrtJ;
  EXPECT_EQ(AttributableToState(fast, 1.0, 0.0, emission, r, v, &H, &sqrtJ), 0);
}

TEST(RangingParts, TrialOrbitFailureReasons) {
  CDeterminationDisplay view;  // no observations: a trial that gets that far fails on its residuals
  OrbitEngine* engine = view.m_pEngine;
  // Perihelion states (position on x, velocity on y) of q and e.
  auto perihelion = [](double q, double e, double r[3], double v[3]) {
    r[0] = q, r[1] = r[2] = 0.0;
    v[0] = v[2] = 0.0;
    v[1] = kGaussK * std::sqrt((1.0 + e) / q);
  };
  struct Case {
    const char* name;
    double q, e;
    int bound;
    int reason;
  };
  const Case cases[] = {
      {"inside the Sun", 0.004, 0.5, 0, 2},
      {"a = 120 AU, bound test", 1.2, 0.99, 1, 3},
      {"a = 120 AU, no bound test", 1.2, 0.99, 0, 4},
      {"hyperbola, bound test", 1.0, 1.5, 1, 3},
      {"a = 80 AU, bound test", 0.8, 0.99, 1, 4},
  };
  for (const Case& c : cases) {
    double r[3], v[3], rms = 0;
    perihelion(c.q, c.e, r, v);
    CloneRecord rec{};
    RangeSampleFailure failure{-1, -1};
    EXPECT_EQ(EvaluateRangeSample(engine, 2455000.5, r, v, c.bound, rec, rms, &failure), 0) << c.name;
    EXPECT_EQ(failure.reason, c.reason) << c.name;
    EXPECT_EQ(g_nSampleFailReason, c.reason) << c.name;
    // Reason 4 carries the iteration's own non-zero code.
    if (c.reason == 4) {
      EXPECT_NE(failure.iterationResult, 0) << c.name;
    }
  }
  double r[3] = {NAN, 0, 0}, v[3] = {0, 0.01, 0}, rms = 0;
  CloneRecord rec{};
  EXPECT_EQ(EvaluateRangeSample(engine, 2455000.5, r, v, 0, rec, rms), 0);
  EXPECT_EQ(g_nSampleFailReason, 1);
}

TEST(RangingParts, CovarianceCloneRules) {
  struct Case {
    int code;
    double rms, rel;
    int clones;
    bool use;
  };
  const Case use[] = {
      {0, 2.9, 0.019, 200, true},  {0, 2.9, 0.021, 200, false}, {0, 3.0, 0.019, 200, true},
      {0, 3.2, 0.019, 200, false}, {1, 2.9, 0.019, 200, false}, {0, 2.9, 0.019, 0, false},
  };
  for (const Case& c : use)
    EXPECT_EQ(UseCovarianceClones(c.code, c.rms, c.rel, c.clones), c.use) << c.rms << " " << c.rel << " " << c.clones;
  EXPECT_FALSE(KeepCovarianceClones(30, 11, 200, 0));  // 41 × 100 > 4000
  EXPECT_TRUE(KeepCovarianceClones(30, 10, 200, 0));
  EXPECT_TRUE(KeepCovarianceClones(30, 11, 200, 2));  // the loop was ended: keep what was made
  // The automatic improvement is tried from half a day and five observations.
  EXPECT_FALSE(BatchTriesAi(0.49, 10));
  EXPECT_TRUE(BatchTriesAi(0.5, 5));
  EXPECT_FALSE(BatchTriesAi(0.5, 4));
}

TEST(RangingParts, AutomaticImprovementKeptUpToThreeArcseconds) {
  CDeterminationDisplay view;
  OrbitEngine* engine = view.m_pEngine;
  engine->m_nCalcState = kCalcImprovedPerturbed;
  engine->m_state.m_el.m_dQ = 0.9;
  engine->m_state.m_el.m_dE = 0.4;
  struct Case {
    int result, state;
    double rms, q;
    bool kept;
  };
  const Case cases[] = {
      {0, kCalcImprovedPerturbed, 3.0, 0.9, true},   {4, kCalcImprovedPerturbed, 1.0, 0.9, true},
      {0, kCalcImprovedPerturbed, 3.2, 0.9, false},  {0, kCalcImprovedPerturbed, 3.0001, 0.9, false},
      {0, kCalcImprovedTwoBody, 1.0, 0.9, false},
      {-1, kCalcImprovedPerturbed, 1.0, 0.9, false}, {0, kCalcImprovedPerturbed, 0.0, 0.9, false},
      {0, kCalcImprovedPerturbed, NAN, 0.9, false},  {0, kCalcImprovedPerturbed, 1.0, -0.1, false},
  };
  for (const Case& c : cases) {
    view.m_nAiResult = c.result;
    engine->m_nCalcState = c.state;
    engine->m_dMeanResidual = c.rms;
    engine->m_state.m_el.m_dQ = c.q;
    EXPECT_EQ(AiOrbitAcceptable(view), c.kept) << c.result << " " << c.state << " " << c.rms << " " << c.q;
  }
}

class RangingSynthetic : public RealObservationTest {
protected:
  // The synthetic observations in the view (quiet engine) and their attributable.
  void Load(int nights, int perNight) {
    m_times = SyntheticTimes(nights, perNight);
    LoadSynthetic(m_view, m_times);
    m_view.m_pEngine->m_bAutoRunning = m_view.m_pEngine->m_bAutoStop = 1;
    const DetClass* det = m_view.m_pDetClass;
    double window = 0;
    char station[4] = {};
    ASSERT_EQ(ComputeAttributable(det->m_pOrbObs, det->m_nObsCount, m_a, m_used, window, station), 1);
  }
  CDeterminationDisplay m_view;
  std::vector<double> m_times;
  Attributable m_a{};
  int m_used = 0;
};

TEST_F(RangingSynthetic, AttributableAndFitRecoverTheObject) {
  ASSERT_NO_FATAL_FAILURE(Load(3, 4));
  const Attributable& a = m_a;
  DetClass* det = m_view.m_pDetClass;
  const std::vector<double>& times = m_times;
  // The middle night's observations, all of its station, within 0.06 day.
  EXPECT_EQ(m_used, 4);
  EXPECT_GE(a.t0, kSyntheticT0 + 1.0);
  EXPECT_LE(a.t0, kSyntheticT0 + 1.036);
  double truth[6];
  TrueParameters(a.t0, truth);
  // Within the errors of four places over 0.036 day.
  EXPECT_NEAR(a.alpha, truth[0], 3e-6);
  EXPECT_NEAR(a.delta, truth[1], 3e-6);
  EXPECT_NEAR(a.alphaDot, truth[2], 3e-4);
  EXPECT_NEAR(a.deltaDot, truth[3], 3e-4);

  // From a start 20 % off in distance the fit comes back to the object.
  double p[6] = {a.alpha, a.delta, a.alphaDot, a.deltaDot, 1.2 * truth[4], truth[5] + 0.002};
  double rms = 0, cov[6][6] = {}, sigma = 0;
  int covValid = 0;
  std::string log;
  OrbitEngine* engine = m_view.m_pEngine;
  ASSERT_EQ(FitSixParameters(engine, det, a, p, times.back() - times.front(), "synthetic", nullptr, rms, cov, covValid,
                             sigma, log),
            0);
  std::printf("%s", log.c_str());
  EXPECT_LT(rms, 0.4);
  ASSERT_EQ(covValid, 1);
  EXPECT_DOUBLE_EQ(sigma, 0.5);  // S / (n − 6) is below 0.25
  ASSERT_GT(cov[4][4], 0.0);
  ASSERT_GT(cov[5][5], 0.0);
  EXPECT_NEAR(cov[4][5], cov[5][4], 1e-9 * std::sqrt(cov[4][4] * cov[5][5]));
  // Back from 20 % off to within three of its own sigmas, which are small.
  std::printf("rho %.6g (true %.6g, sigma %.2g), rho dot %.6g (true %.6g, sigma %.2g)\n", p[4], truth[4],
              std::sqrt(cov[4][4]), p[5], truth[5], std::sqrt(cov[5][5]));
  EXPECT_NEAR(p[4], truth[4], 3.0 * std::sqrt(cov[4][4]));
  EXPECT_NEAR(p[5], truth[5], 3.0 * std::sqrt(cov[5][5]));
  EXPECT_LT(std::sqrt(cov[4][4]), 0.05 * truth[4]);

  // Three used observations: nothing is fitted.
  for (int i = 3; i < det->m_nObsCount; ++i) det->m_pOrbObs[i].m_bRejected = 1;
  double q[6] = {a.alpha, a.delta, a.alphaDot, a.deltaDot, truth[4], truth[5]};
  EXPECT_EQ(FitSixParameters(engine, det, a, q, 1.0, "synthetic", nullptr, rms, cov, covValid, sigma, log), 0);
  EXPECT_EQ(rms, -1.0);
  EXPECT_EQ(covValid, 0);
  EXPECT_EQ(q[4], truth[4]);
}

// A trial orbit of the ranging runs with the engine's track detached: it
// neither records into nor clears the shared track the orbit view draws
// (the improvement used to clear it whenever the track was not kept).
TEST_F(RangingSynthetic, DetachedTrialOrbitLeavesTheSharedTrack) {
  ASSERT_NO_FATAL_FAILURE(Load(3, 4));
  OrbitEngine* engine = m_view.m_pEngine;
  double truth[6];
  TrueParameters(m_a.t0, truth);
  double emission = 0, r[3], v[3];
  ASSERT_EQ(AttributableToState(m_a, truth[4], truth[5], emission, r, v), 1);
  GeoTrackBuffer& shared = GeoTrackBuffer::Instance();
  GeoTrackBuffer* const attached = engine->m_state.m_pGeoTrack;
  ASSERT_EQ(attached, &shared);
  ASSERT_EQ(g_bKeepGeoTrack, 0);
  const double point[3] = {1e-4, 2e-4, 3e-4};
  for (GeoTrackBuffer* track : {static_cast<GeoTrackBuffer*>(nullptr), attached}) {
    shared.Reset();
    shared.Append(1.0, point);
    engine->m_state.m_pGeoTrack = track;
    CloneRecord rec{};
    double rms = 0;
    EXPECT_EQ(EvaluateRangeSample(engine, emission, r, v, 1, rec, rms), 1);
    const bool kept = shared.m_nCount > 0 && shared.m_pTimes[0] == 1.0;
    EXPECT_EQ(kept, track == nullptr) << (track ? "attached" : "detached");
  }
  engine->m_state.m_pGeoTrack = attached;
  shared.Reset();
}

TEST_F(RangingSynthetic, GridKeepsToItsRangeAndPriorIsClamped) {
  ASSERT_NO_FATAL_FAILURE(Load(2, 3));
  const Attributable& a = m_a;
  DetClass* det = m_view.m_pDetClass;
  OrbitEngine* engine = m_view.m_pEngine;
  std::string log;
  RangeGrid grid;
  ASSERT_EQ(ScanRangeGrid(engine, det, a, 0, nullptr, 0, det->m_nObsCount, "synthetic", nullptr, grid, log), 0);
  std::printf("%s", log.c_str());
  ASSERT_GE(grid.best, 0);
  const RangeSample& best = grid.samples[grid.best];
  EXPECT_EQ(best.orbit.range, best.rho);
  EXPECT_LE(grid.count, kRangeGridMaxSamples);
  double smallest = 9e18;
  for (int i = 0; i < grid.count; ++i) {
    const RangeSample& s = grid.samples[i];
    EXPECT_GE(s.log_rho, std::log(kRangeGridRhoMin));
    EXPECT_LE(s.log_rho, std::log(kRangeGridRhoMax));
    EXPECT_GE(s.frac, 0.0);
    EXPECT_LE(s.frac, 1.0);
    if (s.valid) smallest = std::min(smallest, s.rms);
  }
  EXPECT_EQ(grid.bestRms, smallest);
  // The best sample's χ² is 0: D is its own mean residual.
  EXPECT_NEAR(best.chi2, 0.0, 1e-9);

  // A prior beyond 3 AU is clamped: the second pass's box ends at 3 AU.
  const RangePrior far{10.0, 0.0, grid.bestRms};
  RangeGrid second;
  ASSERT_EQ(ScanRangeGrid(engine, det, a, 0, &far, 100000, det->m_nObsCount, "synthetic", nullptr, second, log), 0);
  ASSERT_GE(second.lastPass, 1);
  EXPECT_DOUBLE_EQ(second.logRhoHigh[1], std::log(kRangeGridRhoMax));
  // Samples of earlier passes inside a later pass's box are superseded.
  int superseded = 0;
  for (int i = 0; i < second.count; ++i) superseded += second.samples[i].superseded;
  EXPECT_GT(superseded, 0);

  // No bound interval at any distance: an observer faster than escape,
  // moving the way the object moves on the sky.
  Attributable fast = a;
  fast.alphaDot = 50.0;
  const double eAlpha[3] = {-std::sin(a.alpha), std::cos(a.alpha), 0.0};
  for (int k = 0; k < 3; ++k) fast.obsVel[k] = 0.1 * eAlpha[k];
  RangeGrid none;
  EXPECT_EQ(ScanRangeGrid(engine, det, fast, 0, nullptr, 0, det->m_nObsCount, "synthetic", nullptr, none, log), 0);
  EXPECT_EQ(none.count, 0);
  EXPECT_EQ(none.best, -1);
}

// Impactors end to end: the orbit determined from the real observations,
// propagated forward with impact trackers (the impact time and place in the
// report and on the globe), and the impact probability of its clones.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "astro/frames.h"
#include "astro/impact_tracker.h"
#include "data/numerics.h"
#include "engine/force_model.h"
#include "engine/impact_probability.h"
#include "engine/move_epoch.h"
#include "engine/tool_sinks.h"
#include "tests/engine/test_improvement_support.h"

namespace {

struct Impactor {
  const char* name;
  const char* file;
  double entryJdUtc;          // atmospheric entry
  double latDeg, lonDeg;      // where it was seen to enter
  const char* impactDate;     // UTC day of the tracker report
};

// 2008 TC3 entered the atmosphere at 02:45:29 UTC (the data's README) and
// burst at 37 km over 20.8° N, 32.2° E after a west-to-east path about 20°
// steep: its 100 km point (the trackers' capture height) lies about 170 km
// uprange, near 21.0° N, 30.6° E.
const Impactor kImpactors[] = {
    {"2008 TC3", "obs/mpc80/neosjl_2008TC3.txt", 2454746.5 + (2 * 3600 + 45 * 60 + 29) / 86400.0, 21.0, 30.6,
     "2008/10/ 7"},
};

class ImpactorTest : public RealObservationTest, public ::testing::WithParamInterface<Impactor> {};

}  // namespace

TEST_P(ImpactorTest, DeterminedOrbitHitsTheEarthWithCertainty) {
  const Impactor& c = GetParam();
  HeadlessToolSinks sinks;
  ScopedToolSinks scopedSinks(sinks);
  CDetermination view;
  const int count = Load(view, c.file);
  ASSERT_GT(count, 100) << c.file;
  OrbitEngine& engine = *view.m_pEngine;
  const ObservationRecord* obs = view.m_pDetClass->m_pOrbObs;
  const double first = obs[0].m_dJdTt, last = obs[count - 1].m_dJdTt;
  ASSERT_TRUE(PickAndDetermine(view, first, last - 0.05 * (last - first)));
  ASSERT_EQ(ImproveTwoBody(view, 20), 0) << view.m_pDetClass->m_strError;
  ASSERT_EQ(FitImpactor(view, first, last), 0) << engine.m_strMessage;
  EXPECT_LT(engine.m_dMeanResidual, 1.0);
  ASSERT_EQ(engine.m_bCovarianceValid, 1);
  std::printf("%s: mean residual %.3f\" over %d observations, epoch %.1f\n", c.name, engine.m_dMeanResidual,
              engine.m_nUsedObs, engine.m_state.m_dEpoch);

  // Forward past the entry: the run stops at the impact.
  const double end = std::floor(c.entryJdUtc + 0.5) + 0.5;
  auto state = ForecastState(engine, end);
  ImpactTrackerSet trackers;
  state->m_pImpacts = &trackers;
  HostControl result;
  ASSERT_EQ(MoveEpochAndReport(&engine, &result, state.get(), nullptr, nullptr, nullptr, kApproachAllBodies, 0),
            kEngineImpact)
      << result.m_strText;
  const std::string& text = result.m_strText;
  // The epoch lies a day before the entry, already inside the Earth's sphere
  // of influence: the starting block is shown whole, at its own epoch.
  EXPECT_NE(text.find("その前に地球へ衝突したため表示しません。\r\n※積分開始時点で既に地球の影響圏内だったため、"
                      "開始時(元の元期)の軌道要素を表示しています。"),
            std::string::npos)
      << text;
  EXPECT_EQ(std::memcmp(&state->m_el, &engine.m_state.m_el, sizeof(ElementBlock)), 0);
  EXPECT_EQ(state->m_dEpoch, engine.m_state.m_dEpoch);
  const ImpactTracker& earth = trackers.m_trackers[kBodyEarth];
  ASSERT_EQ(earth.m_bHit, 1);
  std::string report;
  earth.FormatReport(report);
  EXPECT_NE(text.find(report), std::string::npos) << text;
  EXPECT_NE(report.find(c.impactDate), std::string::npos) << report;
  const double hitUtc = DeltaT(kDeltaTTtToUt, earth.m_dHitJd);
  const double latDeg = earth.m_dLat * 180.0 / M_PI, lonDeg = earth.m_dLon * 180.0 / M_PI;
  std::printf("%s: hit %+.1f s from the observed entry at %.2f, %.2f\n%s\n", c.name, (hitUtc - c.entryJdUtc) * 86400.0,
              latDeg, lonDeg, report.c_str());
  EXPECT_NEAR((hitUtc - c.entryJdUtc) * 86400.0, 0.0, 10.0);  // measured 0.3 s
  EXPECT_NEAR(latDeg, c.latDeg, 0.5);
  EXPECT_NEAR(lonDeg, c.lonDeg, 0.5);
  const HeadlessGlobe& globe = sinks.m_globe;
  EXPECT_EQ(globe.m_nBody, kBodyEarth);
  EXPECT_EQ(globe.m_bMarker, 1);
  EXPECT_EQ(globe.m_crMarker, 255u);
  EXPECT_NEAR(globe.m_dMarkerLat, latDeg, 1e-9);

  // From ten days earlier the run enters the sphere: the block is that of
  // the moment before, whole (its P, Q and n belong to the same elements).
  auto back = ForecastState(engine, engine.m_state.m_dEpoch - 10.0);
  ASSERT_EQ(MoveEpochAndReport(&engine, &result, back.get(), nullptr, nullptr, nullptr, kApproachAllBodies, 0),
            kEngineDone);
  auto early = ForecastState(engine, end);
  early->m_el = back->m_el;
  early->m_dEpoch = back->m_dEpoch;
  ImpactTrackerSet second;
  early->m_pImpacts = &second;
  ASSERT_EQ(MoveEpochAndReport(&engine, &result, early.get(), nullptr, nullptr, nullptr, kApproachAllBodies, 0),
            kEngineImpact);
  EXPECT_NE(result.m_strText.find("※以下は地球の影響圏(半径 0.006 AU)に入る直前の軌道要素です。"), std::string::npos)
      << result.m_strText;
  const ElementBlock& el = early->m_el;
  ASSERT_EQ(early->m_bSoiEntered[kBodyEarth], 1);
  EXPECT_EQ(el.m_dEpoch, early->m_dSoiEpoch[kBodyEarth]);
  EXPECT_EQ(early->m_dEpoch, el.m_dEpoch);
  EXPECT_GT(el.m_dEpoch, back->m_dEpoch);
  EXPECT_LT(el.m_dEpoch, engine.m_state.m_dEpoch);
  EXPECT_EQ(el.m_dQ, early->m_dSoiQ[kBodyEarth]);
  double P[3], Q[3];
  OrbitOrientationVectors(el.m_dPeri, el.m_dNode, el.m_dIncl, P, Q);
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(el.m_dP[k], P[k], 1e-12);
    EXPECT_NEAR(el.m_dQvec[k], Q[k], 1e-12);
  }
  EXPECT_NEAR(el.m_dN, 0.01720209895 / std::pow(el.m_dA, 1.5), 1e-15);

  // Quiet, as the automatic procedures run it: no impact report in the text,
  // the globe still updated.
  auto quiet = ForecastState(engine, end);
  ImpactTrackerSet third;
  quiet->m_pImpacts = &third;
  sinks.m_globe = HeadlessGlobe{};
  engine.m_bAutoRunning = engine.m_bAutoStop = 1;
  const int rQuiet = MoveEpochAndReport(&engine, &result, quiet.get(), nullptr, nullptr, nullptr, kApproachAllBodies, 0);
  engine.m_bAutoRunning = engine.m_bAutoStop = 0;
  EXPECT_EQ(rQuiet, kEngineImpact);
  EXPECT_EQ(result.m_strText.find("【地球衝突を検出】"), std::string::npos) << result.m_strText;
  EXPECT_TRUE(sinks.m_globe.m_bShown);
  EXPECT_EQ(sinks.m_globe.m_bMarker, 1);

  // The clones of the covariance all hit.
  auto nominal = ForecastState(engine, end);
  HostControl probability;
  ASSERT_EQ(ComputeImpactProbability(&engine, &probability, nominal.get(), 100, nullptr, nullptr, 1u), 0);
  const std::string& p = probability.m_strText;
  std::printf("%s\n", p.substr(0, p.find("※クローンは")).c_str());
  EXPECT_NE(p.find("衝突確率    : 100.00 %  (100 / 100)  対象: 地球\r\n"), std::string::npos) << p;
  EXPECT_NE(p.find("名目軌道    : 地球に衝突する ("), std::string::npos) << p;
  EXPECT_EQ(globe.m_strSubCaption, "地球衝突確率 100.00%  (100/100)");
  EXPECT_EQ(globe.m_cloneImpacts.size(), 100u);
}

INSTANTIATE_TEST_SUITE_P(Impactors, ImpactorTest, ::testing::ValuesIn(kImpactors),
                         [](const ::testing::TestParamInfo<Impactor>& impactor) {
                           std::string name = impactor.param.name;
                           return name.substr(name.find(' ') + 1);
                         });

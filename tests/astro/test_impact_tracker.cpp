// Impact trackers on synthetic tracks that cross, graze and miss.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "astro/impact_tracker.h"
#include "astro/jpl_eph.h"
#include "platform/app_services.h"
#include "tests/common/test_data.h"

namespace {

constexpr double kKmPerAu = 149597870.7;
constexpr double kT0 = 2460000.5;
constexpr double kEarthCaptureKm = 6478.137;

// Feeds a sample given in km.
void StepKm(ImpactTracker& t, double jd, double xKm, double yKm, double zKm) {
  const double v[3] = {xKm / kKmPerAu, yKm / kKmPerAu, zKm / kKmPerAu};
  t.Step(jd, std::sqrt(xKm * xKm + yKm * yKm + zKm * zKm) / kKmPerAu, v);
}

TEST(ImpactTracker, EarthTrackWindowAndCaptureDistance) {
  ImpactTracker t;  // the Earth by default
  EXPECT_EQ(t.m_nBody, 2);
  EXPECT_NEAR(t.CaptureDistanceAu(), 4.330367116649074e-05, 1e-19);
  StepKm(t, kT0, 390000.0, 0, 0);         // beyond 60.268 radii (384397.6 km)
  StepKm(t, kT0 + 0.1, 384000.0, 0, 0);   // inside
  StepKm(t, kT0 + 0.2, 6478.2, 0, 0);     // just above the capture distance
  ASSERT_EQ(t.m_track.size(), 2u);
  EXPECT_NEAR(t.m_track[0].distKm, 384000.0, 1e-6);
  EXPECT_EQ(t.m_track[1].jdTT, kT0 + 0.2);
  EXPECT_EQ(t.m_bHit, 0);
  EXPECT_EQ(t.m_nDirection, 1);
  EXPECT_EQ(ImpactTracker().ClosestApproachTime(), 0.0);
}

// A track that enters the capture distance between two samples: crossing
// interpolated linearly in distance, found when the run ends even though no
// later sample ever comes.
TEST(ImpactTracker, CrossingInTheLastSegmentIsFoundWhenTheRunEnds) {
  const double dt = 600.0 / 86400.0;
  ImpactTracker t;
  StepKm(t, kT0, 20000.0, 0, 0);
  StepKm(t, kT0 + dt, 10000.0, 0, 0);
  StepKm(t, kT0 + 2 * dt, 5000.0, 0, 0);  // inside: the run ends here
  EXPECT_EQ(t.m_bHit, 0);                 // the segment waits for a later sample
  t.FinishRun();
  ASSERT_EQ(t.m_bHit, 1);
  EXPECT_EQ(t.m_nMode, kImpactModeCrossing);
  const double f = (10000.0 - kEarthCaptureKm) / 5000.0;
  EXPECT_NEAR((t.m_dHitJd - (kT0 + dt)) / dt, f, 1e-6);
  EXPECT_NEAR(t.m_dHitDistKm, kEarthCaptureKm, 1e-6);
  // Times near JD 2.46e6 carry about 4e-5 s of rounding.
  EXPECT_NEAR(t.m_dSpeedKmS, 5000.0 / 600.0, 1e-6);
  EXPECT_NEAR(t.m_dSampleInterval * 86400.0, 600.0, 1e-4);
  ASSERT_FALSE(t.m_track.empty());
  EXPECT_EQ(t.m_track.back().jdTT, t.m_dHitJd);
  EXPECT_NEAR(t.m_track.back().distKm, kEarthCaptureKm, 1e-6);

  // A further sample changes nothing once hit.
  StepKm(t, kT0 + 3 * dt, 100.0, 0, 0);
  EXPECT_NEAR(t.m_dHitDistKm, kEarthCaptureKm, 1e-6);
}

// Straight passes between two samples both outside the capture distance:
// the closest point inside the segment decides.
TEST(ImpactTracker, ClosestPointBetweenSamplesHitsGrazesAndMisses) {
  struct Case {
    const char* name;
    double missKm;  // distance of the straight line from the centre
    bool hit;
  } cases[] = {
      {"through 5000 km", 5000.0, true},
      {"grazing inside", kEarthCaptureKm - 0.05, true},
      {"grazing outside", kEarthCaptureKm + 0.05, false},
      {"miss at 20000 km", 20000.0, false},
  };
  const double dt = 0.01;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ImpactTracker t;
    // The first sample 30000 km out, the second past the closest point, then
    // two more so that the segment is tested by Step.
    const double half = std::sqrt(9e8 - c.missKm * c.missKm);
    StepKm(t, kT0, -half, c.missKm, 0);
    StepKm(t, kT0 + dt, half * 0.5, c.missKm, 0);
    StepKm(t, kT0 + 2 * dt, half * 2.0, c.missKm, 0);
    StepKm(t, kT0 + 3 * dt, half * 3.0, c.missKm, 0);
    t.FinishRun();
    EXPECT_EQ(t.m_bHit, c.hit ? 1 : 0);
    if (!c.hit) continue;
    EXPECT_EQ(t.m_nMode, kImpactModeClosest);
    EXPECT_NEAR(t.m_dHitDistKm, c.missKm, 1e-6);
    // The closest point lies at 2/3 of the first segment (x from -half to +half/2).
    EXPECT_NEAR(t.m_dHitJd, kT0 + dt * 2.0 / 3.0, 1e-9);
    EXPECT_NEAR(t.m_dSpeedKmS, 1.5 * half / (dt * 86400.0), 1e-5);  // km/s
  }
}

TEST(ImpactTracker, RepeatedSampleReplacesAndIsNotTestedTwice) {
  ImpactTracker t;
  StepKm(t, kT0, 20000.0, 0, 0);
  StepKm(t, kT0 + 0.01, 5000.0, 0, 0);   // a trial step inside the body...
  StepKm(t, kT0 + 0.01, 15000.0, 0, 0);  // ...recomputed outside: it replaces the sample
  StepKm(t, kT0 + 0.02, 12000.0, 0, 0);
  t.FinishRun();
  EXPECT_EQ(t.m_bHit, 0);
  EXPECT_EQ(t.m_last.jdTT, kT0 + 0.02);
  EXPECT_NEAR(t.m_prev.distAu * kKmPerAu, 15000.0, 1e-6);
}

TEST(ImpactTracker, BackwardRunKeepsTheTrackInItsOwnOrder) {
  const double dt = 0.01;
  ImpactTracker t;
  for (int i = 0; i < 6; ++i) StepKm(t, kT0 - i * dt, 30000.0 - 4000.0 * i, 100.0, 0);
  StepKm(t, kT0 - 6 * dt, 3000.0, 100.0, 0);
  t.FinishRun();
  ASSERT_EQ(t.m_bHit, 1);
  EXPECT_EQ(t.m_nDirection, -1);
  EXPECT_GT(t.m_dSpeedKmS, 0.0);
  EXPECT_GT(t.m_dSampleInterval, 0.0);
  for (size_t i = 1; i < t.m_track.size(); ++i) EXPECT_LT(t.m_track[i].jdTT, t.m_track[i - 1].jdTT);
  std::string report;
  t.FormatReport(report);
  EXPECT_NE(report.find("※過去方向の積分中の検出です。"), std::string::npos);

  // An earlier time in a forward track replaces what follows it.
  ImpactTracker f;
  const double v[3] = {1e-4, 0, 0};
  for (double jd : {kT0, kT0 + 1, kT0 + 2, kT0 + 1.5}) f.AddTrackPoint(jd, v);
  ASSERT_EQ(f.m_track.size(), 3u);
  EXPECT_EQ(f.m_track.back().jdTT, kT0 + 1.5);
}

TEST(ImpactTracker, TrimKeepsTheLastDayOrMoreForLargeBodies) {
  const double v[3] = {1e-3, 0, 0};
  for (int body : {2, 4}) {
    SCOPED_TRACE(body);
    ImpactTracker t;
    t.m_nBody = body;
    for (int h = 0; h <= 400; ++h) t.AddTrackPoint(kT0 + h / 24.0, v);
    t.m_dHitJd = kT0 + 400 / 24.0;
    t.TrimTrack();
    const double keepDays = body == 2 ? 1.0 : 71492.0 / 6378.137;  // 24 h, or 11.2 days for Jupiter
    EXPECT_EQ(t.m_track.size(), static_cast<size_t>(std::floor(keepDays * 24.0 + 1e-9)) + 1);
    EXPECT_GE(t.m_track.front().jdTT, t.m_dHitJd - keepDays);
  }
}

TEST(ImpactTracker, ReportTexts) {
  ImpactTracker t;
  t.m_nBody = 4;
  t.m_bHit = 1;
  t.m_dHitJd = 2454746.614919 + 0.000754;  // 2008-10-07 02:45:29 UTC in TT
  t.m_dLat = 10.0 / 57.295779513082320876798;
  t.m_dLon = -30.0 / 57.295779513082320876798;
  t.m_dSpeedKmS = 61.234;
  t.m_dSampleInterval = 600.0 / 86400.0;
  t.m_nMode = kImpactModeCrossing;
  std::string text;
  t.FormatTimeUtc(text);
  EXPECT_EQ(text, "2008/10/ 7  2:45 UTC");
  t.FormatReport(text);
  EXPECT_EQ(text,
            "【木星衝突を検出】 2008/10/ 7  2:45 UTC\r\n"
            "  衝突点の緯度: +10.000°\r\n"
            "  衝突点の経度: -30.000° (体系III西経 30.000°W)\r\n"
            "  突入速度(木星との相対速度): 61.23 Km/s\r\n"
            "  検出方式: 閾値通過 (サンプル間隔 600.0 秒)\r\n");
  t.m_nBody = 9;
  t.m_nMode = kImpactModeClosest;
  t.FormatReport(text);
  EXPECT_NE(text.find("  衝突点の経度: -30.000°\r\n"), std::string::npos);
  EXPECT_NE(text.find("検出方式: サンプル間最接近"), std::string::npos);
  t.m_bHit = 0;
  t.FormatReport(text);
  EXPECT_EQ(text, "");
}

TEST(ImpactTrackerSet, FirstHitOrClosest) {
  {
    ImpactTrackerSet set;
    EXPECT_EQ(set.AnyHit(), 0);
    EXPECT_EQ(set.FirstHitOrClosest(), 2);
    for (int i = 0; i < kBodyCount; ++i) EXPECT_EQ(set.m_trackers[i].m_nBody, i);
  }
  {
    ImpactTrackerSet set;
    set.m_trackers[9].m_bHit = 1;
    set.m_trackers[9].m_dHitJd = 10.0;
    set.m_trackers[2].m_bHit = 1;
    set.m_trackers[2].m_dHitJd = 10.0;
    EXPECT_EQ(set.AnyHit(), 1);
    EXPECT_EQ(set.FirstHitOrClosest(), 2);
    set.m_trackers[9].m_dHitJd = 9.0;
    EXPECT_EQ(set.FirstHitOrClosest(), 9);
  }
  {
    // 64000 km from the Earth is 10.03 radii, 700000 km from Jupiter 9.79.
    ImpactTrackerSet set;
    const double earth[3] = {64000.0 / kKmPerAu, 0, 0}, jupiter[3] = {700000.0 / kKmPerAu, 0, 0};
    set.m_trackers[2].AddTrackPoint(kT0, earth);
    set.m_trackers[4].AddTrackPoint(kT0, jupiter);
    EXPECT_EQ(set.FirstHitOrClosest(), 4);
    EXPECT_EQ(set.m_trackers[2].ClosestApproachTime(), kT0);
  }
  {
    // Ending the run tests every tracker's last segment.
    ImpactTrackerSet set;
    const double a[3] = {3000.0 / kKmPerAu, 0, 0}, b[3] = {1000.0 / kKmPerAu, 0, 0};
    set.m_trackers[9].Step(kT0, 3000.0 / kKmPerAu, a);
    set.m_trackers[9].Step(kT0 + 0.01, 1000.0 / kKmPerAu, b);
    EXPECT_EQ(set.AnyHit(), 0);
    set.FinishRun();
    EXPECT_EQ(set.AnyHit(), 1);
    EXPECT_EQ(set.FirstHitOrClosest(), 9);
  }
}

// Sub-solar and apex points need the planetary file.
TEST(ImpactTracker, SubSolarAndApexPoints) {
  ImpactTracker t;
  const double v[3] = {1e-4, 0, 0};
  const double solstice = 2460482.5 + 20.0 / 24.0 + 51.0 / 1440.0;  // 2024-06-20 20:51 UTC
  t.AddTrackPoint(solstice, v);
  double lat = 1, lon = 1;
  CJplEph* saved = g_pJplEph;
  g_pJplEph = nullptr;
  t.m_nBody = 4;
  t.SubSolarPoint(lat, lon);
  EXPECT_EQ(lat, 0.0);
  EXPECT_EQ(lon, 0.0);
  g_pJplEph = saved;

  TSR_REQUIRE_DATA(path, "de/lnxp1960p2060.405");
  CTessaruneApp& app = TheApp();
  const std::string savedDe441 = app.m_szDe441File, savedDe406 = app.m_szDe406File;
  app.m_szDe441File = path;
  app.m_szDe406File.clear();
  g_pJplEph = new CJplEph(TheApp().Paths());
  ASSERT_TRUE(g_pJplEph->IsOpen());
  t.m_nBody = 2;
  t.SubSolarPoint(lat, lon);
  // The Sun over the tropic of Cancer (declination 23.4393 degrees), as the
  // geodetic latitude of that direction.
  const double tropic = std::atan(std::tan(23.4393 / 57.29577951308232) / (0.9966471893352525 * 0.9966471893352525));
  EXPECT_NEAR(lat, tropic * 57.29577951308232, 0.005);
  t.ApexSubPoint(lat, lon);
  EXPECT_NEAR(lat, 0.0, 0.5);  // the Earth moves towards the equinox direction then
  // Jupiter: the Sun's latitude is the angle between its direction and the
  // equator, under the pole of the IAU model (267.99 deg, 64.50 deg in 2024).
  t.m_nBody = 4;
  t.SubSolarPoint(lat, lon);
  double sun[3];
  ASSERT_EQ(JplPosition(solstice, kJplSun, 5, sun), 0);
  const double T = (solstice - 2451545.0) / 36525, ra = (268.056595 - 0.006499 * T) / 57.29577951308232,
               dec = (64.495303 + 0.002413 * T) / 57.29577951308232;
  const double pole[3] = {std::cos(dec) * std::cos(ra), std::cos(dec) * std::sin(ra), std::sin(dec)};
  const double sunLat = std::asin((pole[0] * sun[0] + pole[1] * sun[1] + pole[2] * sun[2]) /
                                  std::sqrt(sun[0] * sun[0] + sun[1] * sun[1] + sun[2] * sun[2]));
  EXPECT_NEAR(lat, sunLat * 57.29577951308232, 1e-6);
  delete g_pJplEph;
  g_pJplEph = saved;
  app.m_szDe441File = savedDe441;
  app.m_szDe406File = savedDe406;
}

}  // namespace

// Two-body ephemeris rows against an independent computation in this file:
// Kepler's equation by Newton's method, rotation from the ecliptic, light time
// iterated to convergence, and the angles from dot products.
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "astro/constants.h"
#include "astro/ephemeris_rows.h"
#include "astro/frames.h"
#include "astro/jpl_eph.h"
#include "platform/app_services.h"
#include "tests/common/test_data.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDeg = kPi / 180.0;

// Tolerances, each in the unit of the compared quantity.
constexpr double kAngleTolRad = 5e-9;       // 1 mas
constexpr double kDistTolAu = 1e-9;         // 150 m
constexpr double kDegTol = 3e-7;            // 1 mas, in degrees
constexpr double kMagTol = 1e-9;            // magnitudes
constexpr double kArcminTol = 2e-5;         // 1 mas, in arcminutes
constexpr double kTimeMinTol = 2e-6;        // minutes of time (about 1 mas at the equator)
constexpr double kPaTolDeg = 1e-4;          // position angle of a motion of minutes per day

struct Orbit {
  double T, q, e, peri, node, incl;  // JD TT, AU, -, radians
};

// (1) Ceres from its catalogue line: epoch 2020 May 31.0 TT, M 162.68631,
// peri 73.73161, node 80.28698, incl 10.58862, e 0.0775571, a 2.7676569.
Orbit Ceres() {
  const double a = 2.7676569, e = 0.0775571;
  const double n = kGaussK / std::pow(a, 1.5);
  return {2459000.5 - 162.68631 * kDeg / n, a * (1 - e), e, 73.73161 * kDeg, 80.28698 * kDeg, 10.58862 * kDeg};
}

struct Vec {
  double x, y, z;
};
double Dot(const Vec& a, const Vec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double Norm(const Vec& a) { return std::sqrt(Dot(a, a)); }
double AngleBetween(const Vec& a, const Vec& b) {
  const Vec c{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
  return std::atan2(Norm(c), Dot(a, b));
}
Vec Unit(double ra, double dec) { return {std::cos(dec) * std::cos(ra), std::cos(dec) * std::sin(ra), std::sin(dec)}; }

// Heliocentric J2000 equatorial position of an elliptic orbit at t.
Vec Heliocentric(const Orbit& o, double t) {
  const double a = o.q / (1 - o.e);
  double M = std::fmod(kGaussK / std::pow(a, 1.5) * (t - o.T), 2 * kPi);
  double E = M;
  for (int i = 0; i < 50; ++i) E -= (E - o.e * std::sin(E) - M) / (1 - o.e * std::cos(E));
  const double xo = a * (std::cos(E) - o.e), yo = a * std::sqrt(1 - o.e * o.e) * std::sin(E);
  // Rz(node) Rx(incl) Rz(peri) applied to the orbit-plane vector, in the ecliptic.
  const double cw = std::cos(o.peri), sw = std::sin(o.peri), cn = std::cos(o.node), sn = std::sin(o.node);
  const double ci = std::cos(o.incl), si = std::sin(o.incl);
  const double x1 = cw * xo - sw * yo, y1 = sw * xo + cw * yo;
  const double y2 = ci * y1, z2 = si * y1;
  const double xe = cn * x1 - sn * y2, ye = sn * x1 + cn * y2, ze = z2;
  const double ce = std::cos(kObliquityJ2000Rad), se = std::sin(kObliquityJ2000Rad);
  return {xe, ce * ye - se * ze, se * ye + ce * ze};
}

Vec SunFromEarth(double t) {
  double s[3];
  EXPECT_EQ(JplPosition(t, kJplSun, kJplEarth, s), 0);
  return {s[0], s[1], s[2]};
}

struct Seen {
  Vec helio, geo;
  double ra, dec, delta, r;
};

Seen Observe(const Orbit& o, double t, const Vec& sun) {
  Seen s{};
  double delta = 0;
  for (int i = 0; i < 20; ++i) {
    s.helio = Heliocentric(o, t - kLightTimeDaysPerAu * delta);
    s.geo = {s.helio.x + sun.x, s.helio.y + sun.y, s.helio.z + sun.z};
    delta = Norm(s.geo);
  }
  s.delta = delta;
  s.r = Norm(s.helio);
  s.ra = std::atan2(s.geo.y, s.geo.x);
  if (s.ra < 0) s.ra += 2 * kPi;
  s.dec = std::asin(s.geo.z / delta);
  return s;
}

double ArcminOfRad(double x) { return x / kDeg * 60; }

class EphemerisRowsTest : public ::testing::Test {
protected:
  void SetUp() override {
    const std::string de = TestDataPath("de/lnxp1960p2060.405");
    if (de.empty() || !TestDataFileExists(de)) GTEST_SKIP() << "reference data not found: de/lnxp1960p2060.405";
    m_saved441 = TheApp().m_szDe441File;
    m_saved406 = TheApp().m_szDe406File;
    TheApp().m_szDe441File = de;
    TheApp().m_szDe406File = "";
    delete g_pJplEph;
    g_pJplEph = new CJplEph(TheApp().Paths());
    ASSERT_TRUE(g_pJplEph->IsOpen());
    m_opened = true;
  }
  void TearDown() override {
    if (!m_opened) return;
    delete g_pJplEph;
    g_pJplEph = nullptr;
    TheApp().m_szDe441File = m_saved441;
    TheApp().m_szDe406File = m_saved406;
  }
  // One row at t with motion and the given magnitude parameters.
  EphemerisRow OneRow(const Orbit& o, double t, double H1, double H2, double K1, double K2,
                      double shift = 0.0, int noMotion = 0, int variation = 0) {
    EphemerisRow row{};
    EXPECT_EQ(ComputeEphemerisRows(noMotion, 'C', variation, t, 1.0, 1, o.T, o.q, o.e, o.peri, o.node, o.incl,
                                   H1, H2, K1, K2, 0.15, shift, &row),
              1);
    return row;
  }
  std::string m_saved441, m_saved406;
  bool m_opened = false;
};

TEST_F(EphemerisRowsTest, NumberedAsteroidMatchesIndependentTwoBody) {
  const Orbit o = Ceres();
  const double start = 2458850.5, step = 50.0;  // 2020 Jan 1, then every 50 days
  const int n = 6;
  const double H1 = 5.0, K1 = 10.0, H2 = 3.4, K2 = 5.0;
  std::vector<EphemerisRow> rows(n);
  ASSERT_EQ(ComputeEphemerisRows(0, 'C', 0, start, step, n, o.T, o.q, o.e, o.peri, o.node, o.incl, H1, H2, K1,
                                 K2, 0.15, 0.0, rows.data()),
            n);
  for (int k = 0; k < n; ++k) {
    const double t = start + k * step;
    SCOPED_TRACE(t);
    const EphemerisRow& row = rows[k];
    const Vec sun = SunFromEarth(t);
    const Seen s = Observe(o, t, sun);
    EXPECT_EQ(row.m_dJdTT, t);
    EXPECT_NEAR(row.m_dSunDistanceAu, Norm(sun), kDistTolAu);
    EXPECT_NEAR(row.m_dRaRad, s.ra, kAngleTolRad);
    EXPECT_NEAR(row.m_dDecRad, s.dec, kAngleTolRad);
    EXPECT_NEAR(row.m_dRaHours, s.ra / kDeg / 15, kAngleTolRad / kDeg / 15);
    EXPECT_NEAR(row.m_dDecDeg, s.dec / kDeg, kDegTol);
    EXPECT_NEAR(row.m_dDeltaAu, s.delta, kDistTolAu);
    EXPECT_NEAR(row.m_dRAu, s.r, kDistTolAu);
    const double elong = AngleBetween(s.geo, sun) / kDeg;
    const double phase = AngleBetween(Vec{-s.helio.x, -s.helio.y, -s.helio.z},
                                      Vec{-s.geo.x, -s.geo.y, -s.geo.z}) / kDeg;
    EXPECT_NEAR(row.m_dElongationDeg, elong, kDegTol);
    EXPECT_NEAR(row.m_dPhaseDeg, phase, kDegTol);
    EXPECT_NEAR(row.m_dM1, H1 + 5 * std::log10(s.delta) + K1 * std::log10(s.r), kMagTol);
    EXPECT_NEAR(row.m_dM2, H2 + 5 * std::log10(s.delta) + K2 * std::log10(s.r) + 0.03 * phase, kMagTol);

    // Motion over one day: the rate is an angle turned into arcminutes.
    const Seen s1 = Observe(o, t + 1, SunFromEarth(t + 1));
    const double rate = AngleBetween(s.geo, s1.geo);
    EXPECT_NEAR(row.m_dRateArcminPerDay, ArcminOfRad(rate), kArcminTol);
    EXPECT_GT(row.m_dRateArcminPerDay, 1.0);  // Ceres moves several arcminutes a day
    double dra = s1.ra - s.ra;
    if (dra > kPi) dra -= 2 * kPi;
    if (dra < -kPi) dra += 2 * kPi;
    EXPECT_NEAR(row.m_dRaChangeMin, dra / kDeg * 4, kTimeMinTol);
    EXPECT_NEAR(row.m_dDecChangeArcmin, ArcminOfRad(s1.dec - s.dec), kArcminTol);
    double pa = std::atan2(std::sin(dra) * std::cos(s1.dec),
                           std::cos(s.dec) * std::sin(s1.dec) - std::sin(s.dec) * std::cos(s1.dec) * std::cos(dra));
    if (pa < 0) pa += 2 * kPi;
    EXPECT_NEAR(row.m_dMotionPaDeg, pa / kDeg, kPaTolDeg);

    // The Moon, of date, against the object's J2000 place and the Sun of date.
    double moonRa = 0, moonDec = 0;
    GeocentricMoon(t, moonRa, moonDec);
    EXPECT_EQ(row.m_dMoonRaRad, moonRa);
    EXPECT_EQ(row.m_dMoonDecRad, moonDec);
    EXPECT_NEAR(row.m_dMoonSeparationDeg, AngleBetween(Unit(s.ra, s.dec), Unit(moonRa, moonDec)) / kDeg, kDegTol);
    double sunJ2000[3], sunOfDate[3], lambda, beta, dist;
    GeocentricSun(t, sunJ2000, sunOfDate, lambda, beta, dist);
    const double psi = AngleBetween(Vec{sunOfDate[0], sunOfDate[1], sunOfDate[2]}, Unit(moonRa, moonDec));
    EXPECT_NEAR(row.m_dMoonIllumination, (1 - std::cos(psi)) / 2, 1e-9);
    EXPECT_EQ(row.m_dSunLongitudeRad, lambda);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(row.m_dSunAu[i], sunJ2000[i]);
  }
}

TEST_F(EphemerisRowsTest, MagnitudeRules) {
  const Orbit o = Ceres();
  const double t = 2459000.5;
  const EphemerisRow base = OneRow(o, t, 5.0, 6.0, 10.0, 4.0);
  const double logD = 5 * std::log10(base.m_dDeltaAu), logR = std::log10(base.m_dRAu);
  struct Case {
    const char* name;
    double H1, H2, K1, K2;
    double m1, m2;
  };
  const Case cases[] = {
      {"H1 = 0 is unknown, m2 still computed", 0.0, 6.0, 10.0, 4.0, 99.9, 6.0 + logD + 4.0 * logR},
      {"H2 = 0 is unknown", 5.0, 0.0, 10.0, 4.0, 5.0 + logD + 10.0 * logR, 99.9},
      {"K2 = 5 adds 0.03 per degree of phase", 5.0, 6.0, 10.0, 5.0, 5.0 + logD + 10.0 * logR,
       6.0 + logD + 5.0 * logR + 0.03 * base.m_dPhaseDeg},
      {"K2 = 5.0001 adds no phase term", 5.0, 6.0, 10.0, 5.0001, 5.0 + logD + 10.0 * logR,
       6.0 + logD + 5.0001 * logR},
      {"below -10 stores -10", -30.0, -30.0, 1.0, 1.0, -10.0, -10.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const EphemerisRow row = OneRow(o, t, c.H1, c.H2, c.K1, c.K2);
    EXPECT_NEAR(row.m_dM1, c.m1, kMagTol);
    EXPECT_NEAR(row.m_dM2, c.m2, kMagTol);
  }
  // The time shift moves only the r of m1.
  const double shift = 30.0;
  const EphemerisRow shifted = OneRow(o, t, 5.0, 6.0, 10.0, 4.0, shift);
  const Vec helio = Heliocentric(o, t + shift - kLightTimeDaysPerAu * shifted.m_dDeltaAu);
  EXPECT_NEAR(shifted.m_dM1, 5.0 + logD + 10.0 * std::log10(Norm(helio)), kMagTol);
  EXPECT_NE(shifted.m_dM1, base.m_dM1);
  EXPECT_EQ(shifted.m_dM2, base.m_dM2);
}

TEST_F(EphemerisRowsTest, MotionFlags) {
  const Orbit o = Ceres();
  const double t = 2459100.5;
  const EphemerisRow daily = OneRow(o, t, 5, 6, 10, 4);
  const EphemerisRow still = OneRow(o, t, 5, 6, 10, 4, 0.0, 1, 1);
  EXPECT_EQ(still.m_dRaChangeMin, -1.0);
  EXPECT_EQ(still.m_dDecChangeArcmin, -1.0);
  EXPECT_EQ(still.m_dRateArcminPerDay, -1.0);
  EXPECT_EQ(still.m_dMotionPaDeg, -1.0);
  EXPECT_EQ(still.m_dRaRad, daily.m_dRaRad);

  // Variation: the change of position when T grows by one day, for e <= 0.98.
  const EphemerisRow varied = OneRow(o, t, 5, 6, 10, 4, 0.0, 0, 1);
  Orbit later = o;
  later.T += 1.0;
  const Vec sun = SunFromEarth(t);
  const Seen s0 = Observe(o, t, sun), s1 = Observe(later, t, sun);
  EXPECT_NEAR(varied.m_dRaChangeMin, (s1.ra - s0.ra) / kDeg * 4, kTimeMinTol);
  EXPECT_NEAR(varied.m_dDecChangeArcmin, ArcminOfRad(s1.dec - s0.dec), kArcminTol);
  EXPECT_EQ(varied.m_dRateArcminPerDay, daily.m_dRateArcminPerDay);
  EXPECT_EQ(varied.m_dMotionPaDeg, daily.m_dMotionPaDeg);

  // Above e = 0.98 the variation flag gives the daily motion.
  const Orbit comet{2459100.5 + 20.0, 0.8, 0.99, 1.0, 2.0, 0.5};
  const EphemerisRow cometDaily = OneRow(comet, t, 5, 6, 10, 4);
  const EphemerisRow cometVaried = OneRow(comet, t, 5, 6, 10, 4, 0.0, 0, 1);
  EXPECT_EQ(cometVaried.m_dRaChangeMin, cometDaily.m_dRaChangeMin);
  EXPECT_EQ(cometVaried.m_dDecChangeArcmin, cometDaily.m_dDecChangeArcmin);
}

TEST_F(EphemerisRowsTest, FailedPositionEndsTheTableWithMissingMarks) {
  // A hyperbolic orbit seen at perihelion, then 1e200 days on, where its
  // distance overflows: the first row stays as a table of one row gives it,
  // the second and every later row get the missing marks.
  const Orbit comet{2459000.5, 1.0, 1.5, 0.1, 0.2, 0.3};
  const EphemerisRow alone = OneRow(comet, comet.T, 5, 6, 10, 4);
  std::vector<EphemerisRow> rows(3);
  for (EphemerisRow& r : rows) r.m_dRaRad = r.m_dM1 = 12345.0;  // what the caller's buffer held
  EXPECT_EQ(ComputeEphemerisRows(0, 'C', 0, comet.T, 1e200, 3, comet.T, comet.q, comet.e, comet.peri, comet.node,
                                 comet.incl, 5, 6, 10, 4, 0.15, 0.0, rows.data()),
            1);
  EXPECT_EQ(rows[0].m_dRaRad, alone.m_dRaRad);
  EXPECT_EQ(rows[0].m_dDeltaAu, alone.m_dDeltaAu);
  EXPECT_EQ(rows[0].m_dM1, alone.m_dM1);
  EXPECT_EQ(rows[0].m_dRateArcminPerDay, alone.m_dRateArcminPerDay);
  EXPECT_GT(rows[0].m_dSunDistanceAu, 0.98);
  for (int k = 1; k < 3; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(rows[k].m_dRaRad, -1.0);
    EXPECT_EQ(rows[k].m_dDeltaAu, -1.0);
    EXPECT_EQ(rows[k].m_dM1, 99.9);
    EXPECT_EQ(rows[k].m_dM2, 99.9);
    EXPECT_EQ(rows[k].m_dRateArcminPerDay, -1.0);
  }
  EXPECT_EQ(rows[2].m_dJdTT, comet.T + 2e200);

  EphemerisRow untouched{};
  untouched.m_dJdTT = 7.0;
  EXPECT_EQ(ComputeEphemerisRows(0, 'C', 0, 2459000.5, 1.0, 0, 2459000.5, 1.0, 0.5, 0, 0, 0, 5, 6, 10, 4, 0.15,
                                 0.0, &untouched),
            0);
  EXPECT_EQ(untouched.m_dJdTT, 7.0);
}

TEST_F(EphemerisRowsTest, AnglesStayFiniteWithoutPlanetaryFile) {
  // With no process reader the Sun is a zero vector and the triangle is
  // degenerate; the open reader kept aside must not be used.
  const Orbit o = Ceres();
  CJplEph* const saved = g_pJplEph;
  g_pJplEph = nullptr;
  const EphemerisRow row = OneRow(o, 2459000.5, 5, 6, 10, 4);
  g_pJplEph = saved;
  EXPECT_EQ(row.m_dSunDistanceAu, 0.0);
  EXPECT_EQ(row.m_dMoonRaRad, 0.0);
  EXPECT_TRUE(std::isfinite(row.m_dElongationDeg));
  EXPECT_TRUE(std::isfinite(row.m_dPhaseDeg));
  EXPECT_TRUE(std::isfinite(row.m_dMoonIllumination));
  EXPECT_TRUE(std::isfinite(row.m_dM2));
  EXPECT_GT(OneRow(o, 2459000.5, 5, 6, 10, 4).m_dSunDistanceAu, 0.98);
}

TEST(TriangleAngle, LawOfCosinesWithClampedCosine) {
  EXPECT_NEAR(TriangleAngle(3, 4, 5), 90.0, 1e-12);
  EXPECT_NEAR(TriangleAngle(1, 1, 1), 60.0, 1e-12);
  EXPECT_EQ(TriangleAngle(1, 2, 3), 180.0);            // flat
  EXPECT_EQ(TriangleAngle(1, 1, 2.0000000001), 180.0); // cosine past -1
  EXPECT_EQ(TriangleAngle(1, 1, 0), 0.0);
}

TEST(LinearFit, LineAndSingularCases) {
  double a = 7, b = 7, rms = 7;
  const double x1[] = {0, 1}, y1[] = {1, 3};
  ASSERT_EQ(LinearFit(x1, y1, 2, a, b, rms), 1);
  EXPECT_NEAR(a, 1.0, 1e-15);
  EXPECT_NEAR(b, 2.0, 1e-15);
  EXPECT_NEAR(rms, 0.0, 1e-15);
  const double x2[] = {0, 1, 2, 3}, y2[] = {0, 1, 1, 3};
  ASSERT_EQ(LinearFit(x2, y2, 4, a, b, rms), 1);
  EXPECT_NEAR(a, -0.1, 1e-12);
  EXPECT_NEAR(b, 0.9, 1e-12);
  EXPECT_NEAR(rms, std::sqrt(0.70 / 4), 1e-12);
  const double same[] = {2, 2};
  EXPECT_EQ(LinearFit(same, y1, 2, a, b, rms), 0);
  EXPECT_EQ(LinearFit(x1, y1, 1, a, b, rms), 0);
}

}  // namespace

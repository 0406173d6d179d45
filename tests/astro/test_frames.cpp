// Frames, the Sun and Moon from the planetary file, observatory positions and
// the sub-points of the rotation models.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "astro/body_rotation.h"
#include "astro/constants.h"
#include "astro/frames.h"
#include "astro/jpl_eph.h"
#include "astro/observatory.h"
#include "astro/time_scales.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kRadPerDeg = kPi / 180;

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void UnitVector(double raRad, double decRad, double v[3]) {
  v[0] = std::cos(decRad) * std::cos(raRad);
  v[1] = std::cos(decRad) * std::sin(raRad);
  v[2] = std::sin(decRad);
}

TEST(Frames, NormalizeAngleIntoOneTurn) {
  const struct {
    double x, expected;
  } kCases[] = {{0, 2 * kPi}, {-0.5, 2 * kPi - 0.5}, {7, 7 - 2 * kPi}, {2 * kPi, 2 * kPi}, {-4 * kPi - 1, 2 * kPi - 1}};
  for (const auto& c : kCases) EXPECT_NEAR(NormalizeAngle(c.x), c.expected, 1e-15) << c.x;
  EXPECT_EQ(NormalizeAngle(0), 2 * kPi);
}

// Latitudes next to longitude 90 and 270 degrees, where x is all but zero,
// against asin(z / |v|); longitudes stay inside one turn.
TEST(Frames, SkyAnglesNextToTheYzPlane) {
  const struct {
    double v[3], lon;
  } kCases[] = {{{1e-13, 0.6, 0.8}, kPi / 2},       {{-1e-13, 0.6, 0.8}, kPi / 2},
                {{1e-13, -0.6, -0.8}, 1.5 * kPi},   {{-3e-14, -0.3, 0.1}, 1.5 * kPi},
                {{0.0, 0.6, -0.8}, kPi / 2},        {{0.6, -1e-30, 0.8}, 0.0},
                {{-0.6, -1e-17, 0.0}, kPi}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.v[0] << " " << c.v[1] << " " << c.v[2]);
    double lon, lat;
    SkyAngles(c.v, lon, lat);
    EXPECT_GE(lon, 0.0);
    EXPECT_LT(lon, 2 * kPi);
    EXPECT_NEAR(lon, c.lon, 1e-12);
    EXPECT_NEAR(lat, std::asin(c.v[2] / std::sqrt(Dot(c.v, c.v))), 1e-15);
  }
  const double zero[3] = {0, 0, 0};
  double lon, lat;
  SkyAngles(zero, lon, lat);
  EXPECT_EQ(lon, 0.0);
  EXPECT_EQ(lat, 0.0);
}

// The orientation vectors against the rotation of the ecliptic unit vectors
// by node, inclination and argument, then by the obliquity.
TEST(Frames, OrbitOrientationVectorsAreTheRotatedOrbitAxes) {
  const struct {
    double peri, node, incl;
  } kCases[] = {{0, 0, 0}, {1.2, 0.3, 0.5}, {5.9, 4.1, 2.8}, {3.0, 1.0, kPi / 2}};
  for (const auto& c : kCases) {
    double P[3], Q[3];
    OrbitOrientationVectors(c.peri, c.node, c.incl, P, Q);
    for (int k = 0; k < 2; ++k) {
      const double u = c.peri + k * kPi / 2;  // angle in the orbit from the node
      const double ecl[3] = {std::cos(c.node) * std::cos(u) - std::sin(c.node) * std::sin(u) * std::cos(c.incl),
                             std::sin(c.node) * std::cos(u) + std::cos(c.node) * std::sin(u) * std::cos(c.incl),
                             std::sin(u) * std::sin(c.incl)};
      const double eq[3] = {ecl[0], ecl[1] * std::cos(kObliquityJ2000Rad) - ecl[2] * std::sin(kObliquityJ2000Rad),
                            ecl[1] * std::sin(kObliquityJ2000Rad) + ecl[2] * std::cos(kObliquityJ2000Rad)};
      const double* got = k == 0 ? P : Q;
      for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], eq[i], 1e-15);
    }
    EXPECT_NEAR(Dot(P, Q), 0, 1e-15);
  }
}

TEST(Frames, PositionAngleAndSeparation) {
  double pa, sep;
  PositionAngleAndSeparation(1.0, 0.2, 1.0, 0.5, pa, sep);  // due north
  EXPECT_EQ(pa, 0);
  EXPECT_NEAR(sep, 0.3, 1e-15);
  PositionAngleAndSeparation(1.0, 0.5, 1.0, 0.2, pa, sep);  // due south
  EXPECT_NEAR(pa, kPi, 1e-15);
  EXPECT_NEAR(sep, 0.3, 1e-15);
  PositionAngleAndSeparation(0.0, 0.0, 0.1, 0.0, pa, sep);  // due east on the equator
  EXPECT_NEAR(pa, kPi / 2, 1e-15);
  EXPECT_NEAR(sep, 0.1, 1e-15);

  // Against vector geometry: separation from the dot product, position angle
  // from the components along the local north and east.
  const struct {
    double ra1, dec1, ra2, dec2;
  } kCases[] = {{0.3, 0.4, 0.35, 0.38}, {5.0, -1.2, 1.0, 0.7}, {2.0, 0.1, 4.5, -0.2}, {6.2, 1.5, 0.1, 1.45}};
  for (const auto& c : kCases) {
    PositionAngleAndSeparation(c.ra1, c.dec1, c.ra2, c.dec2, pa, sep);
    double a[3], b[3];
    UnitVector(c.ra1, c.dec1, a);
    UnitVector(c.ra2, c.dec2, b);
    const double east[3] = {-std::sin(c.ra1), std::cos(c.ra1), 0};
    const double north[3] = {-std::sin(c.dec1) * std::cos(c.ra1), -std::sin(c.dec1) * std::sin(c.ra1), std::cos(c.dec1)};
    double expectedPa = std::atan2(Dot(b, east), Dot(b, north));
    if (expectedPa < 0) expectedPa += 2 * kPi;
    EXPECT_NEAR(pa, expectedPa, 1e-12);
    EXPECT_NEAR(sep, std::acos(Dot(a, b)), 1e-9);
  }
}

TEST(Frames, GeocentricSunWithoutPlanetaryFileIsZeroNotNaN) {
  JplReaderScope none("");
  ASSERT_FALSE(g_pJplEph->IsOpen());
  double j2000[3], ofDate[3], lambda = 9, beta = 9, dist = 9;
  GeocentricSun(2460000.5, j2000, ofDate, lambda, beta, dist);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(j2000[i], 0);
    EXPECT_EQ(ofDate[i], 0);
  }
  EXPECT_EQ(dist, 0);
  EXPECT_EQ(lambda, 0);
  EXPECT_EQ(beta, 0);
  double ra = 9, dec = 9;
  GeocentricMoon(2460000.5, ra, dec);
  EXPECT_EQ(ra, 0);
  EXPECT_EQ(dec, 0);
}

// The Sun against the Astronomical Almanac's low-precision formulae (good to
// 0.01 degree; its longitude includes the aberration of -20.5"), at dates
// decades from J2000 so that a fault in the precession would show.
TEST(Frames, GeocentricSunAgainstAlmanacFormula) {
  TSR_REQUIRE_DATA(path, "de/lnxp1960p2060.405");
  JplReaderScope reader(path);
  for (const double jd : {2438000.5, 2451545.0, 2460400.25, 2470000.75}) {
    SCOPED_TRACE(jd);
    double j2000[3], ofDate[3], lambda, beta, dist;
    GeocentricSun(jd, j2000, ofDate, lambda, beta, dist);
    const double n = jd - kJdJ2000;
    const double g = (357.528 + 0.9856003 * n) * kRadPerDeg;
    const double lonDeg = 280.460 + 0.9856474 * n + 1.915 * std::sin(g) + 0.020 * std::sin(2 * g) + 20.5 / 3600;
    const double diffDeg = std::remainder(lambda / kRadPerDeg - lonDeg, 360.0);
    EXPECT_NEAR(diffDeg, 0, 0.01);
    EXPECT_NEAR(beta / kRadPerDeg, 0, 0.0005);
    EXPECT_NEAR(dist, 1.00014 - 0.01671 * std::cos(g) - 0.00014 * std::cos(2 * g), 1e-4);
    EXPECT_NEAR(std::sqrt(Dot(j2000, j2000)), dist, 1e-15);
    EXPECT_NEAR(std::sqrt(Dot(ofDate, ofDate)), dist, 1e-15);
  }
}

// The Moon of 1992 April 12, 0h TD, worked from the full lunar theory:
// apparent RA 134.688470 deg, Dec 13.768368 deg. The nutation (about 17" here)
// and the theory's truncation stay inside 0.02 degree; the precession since
// J2000 (0.1 degree) does not.
TEST(Frames, GeocentricMoonOfDate) {
  TSR_REQUIRE_DATA(path, "de/lnxp1960p2060.405");
  JplReaderScope reader(path);
  double ra, dec;
  GeocentricMoon(2448724.5, ra, dec);
  EXPECT_NEAR(ra / kRadPerDeg, 134.688470, 0.02);
  EXPECT_NEAR(dec / kRadPerDeg, 13.768368, 0.02);
}

TEST(BodyRotation, EarthSubPointExamples) {
  const struct {
    double x, y, z, latDeg, lonDeg;
  } kCases[] = {{1, 0, 0, -0.0016, 79.807}, {1, 0, 1, 45.191, 79.809}};
  for (const auto& c : kCases) {
    double lat, lon;
    PlanetRotationSubPoint(kBodyEarth, 2451545.0, c.x, c.y, c.z, lat, lon);
    EXPECT_NEAR(lat / kRadPerDeg, c.latDeg, 0.0005);
    EXPECT_NEAR(lon / kRadPerDeg, c.lonDeg, 0.0005);
  }
}

TEST(BodyRotation, BodiesOutsideTheTableAndZeroDirections) {
  for (const int body : {10, -1}) {
    double lat = 9, lon = 9;
    PlanetRotationSubPoint(body, 2451545.0, 1, 0, 0, lat, lon);
    EXPECT_EQ(lat, 0);
    EXPECT_EQ(lon, 0);
  }
  double lat = 9, lon = 9;
  PlanetRotationSubPoint(kBodyMoon, 2451545.0, 0, 0, 0, lat, lon);
  EXPECT_EQ(lat, 0);
  EXPECT_EQ(lon, 0);
}

// The pole direction of each model lies under latitude +90 degrees, and the
// ascending node of the body's equator on the J2000 equator under longitude
// -W: read back from the published models.
TEST(BodyRotation, PoleAndPrimeMeridianOfTheModels) {
  const struct {
    BodyIndex body;
    double ra0, raPerT, dec0, decPerT, w0, wPerDay;
  } kModels[] = {
      {kBodyMercury, 281.0103, -0.0328, 61.4155, -0.0049, 329.5988, 6.1385108},
      {kBodyVenus, 272.76, 0, 67.16, 0, 160.2, -1.4813688},
      {kBodyJupiter, 268.056595, -0.006499, 64.495303, 0.002413, 284.95, 870.536},
      {kBodySaturn, 40.589, -0.036, 83.537, -0.004, 38.9, 810.7939024},
      {kBodyUranus, 257.311, 0, -15.175, 0, 203.81, -501.1600928},
      {kBodyPluto, 132.993, 0, -6.163, 0, 302.695, 56.3625225},
  };
  const double jd = 2460123.4;
  const double d = jd - kJdJ2000, t = d / 36525;
  for (const auto& m : kModels) {
    SCOPED_TRACE(m.body);
    const double ra = (m.ra0 + m.raPerT * t) * kRadPerDeg, dec = (m.dec0 + m.decPerT * t) * kRadPerDeg;
    double pole[3];
    UnitVector(ra, dec, pole);
    double lat, lon;
    PlanetRotationSubPoint(m.body, jd, pole[0], pole[1], pole[2], lat, lon);
    EXPECT_NEAR(lat, kPi / 2, 1e-7);
    PlanetRotationSubPoint(m.body, jd, -std::sin(ra), std::cos(ra), 0, lat, lon);
    EXPECT_NEAR(lat, 0, 1e-12);
    const double expectedLon = std::remainder(-(m.w0 + m.wPerDay * d) * kRadPerDeg, 2 * kPi);
    EXPECT_NEAR(std::remainder(lon - expectedLon, 2 * kPi), 0, 1e-9);
  }
  // The Moon's pole at J2000 (series evaluated): 266.86 deg, 65.64 deg.
  double pole[3], lat, lon;
  UnitVector(266.8577 * kRadPerDeg, 65.6411 * kRadPerDeg, pole);
  PlanetRotationSubPoint(kBodyMoon, kJdJ2000, pole[0], pole[1], pole[2], lat, lon);
  EXPECT_GT(lat / kRadPerDeg, 89.99);
  // Mars at J2000 with its long-period terms: the pole and meridian of the
  // older model (317.68143, 52.88650, W 176.630), which has none.
  UnitVector(317.68143 * kRadPerDeg, 52.88650 * kRadPerDeg, pole);
  PlanetRotationSubPoint(kBodyMars, kJdJ2000, pole[0], pole[1], pole[2], lat, lon);
  EXPECT_NEAR(lat / kRadPerDeg, 90, 0.001);
  PlanetRotationSubPoint(kBodyMars, kJdJ2000, -std::sin(317.68143 * kRadPerDeg), std::cos(317.68143 * kRadPerDeg), 0,
                         lat, lon);
  EXPECT_NEAR(lon / kRadPerDeg, -176.630, 0.003);
  // Neptune's pole moves with N.
  const double n = (357.85 + 52.316 * t) * kRadPerDeg;
  UnitVector((299.36 + 0.7 * std::sin(n)) * kRadPerDeg, (43.46 - 0.51 * std::cos(n)) * kRadPerDeg, pole);
  PlanetRotationSubPoint(kBodyNeptune, jd, pole[0], pole[1], pole[2], lat, lon);
  EXPECT_NEAR(lat, kPi / 2, 1e-7);
}

// The poles against another source: each body's obliquity (the angle between
// its pole and the normal of its orbit) as the planetary fact sheets give it,
// with the orbit normal from the planetary file's position and velocity. The
// normal of the osculating orbit wanders by a few hundredths of a degree.
TEST(BodyRotation, PolesGiveTheFactSheetObliquities) {
  TSR_REQUIRE_DATA(de405, "de/lnxp1960p2060.405");
  JplReaderScope reader(de405);
  const struct {
    BodyIndex body;
    double obliquityDeg;
  } kBodies[] = {{kBodyMercury, 0.034}, {kBodyVenus, 177.36}, {kBodyMars, 25.19},  {kBodyJupiter, 3.13},
                 {kBodySaturn, 26.73},  {kBodyUranus, 97.77}, {kBodyNeptune, 28.32}};
  const double jd = 2451545.0;
  for (const auto& b : kBodies) {
    SCOPED_TRACE(b.body);
    double state[6];
    int valid = 0;
    JplPleph(jd, b.body + 1, kJplSun, state, valid);
    ASSERT_EQ(valid, 1);
    const double* r = state;
    const double* v = state + 3;
    const double normal[3] = {r[1] * v[2] - r[2] * v[1], r[2] * v[0] - r[0] * v[2], r[0] * v[1] - r[1] * v[0]};
    double lat, lon;
    PlanetRotationSubPoint(b.body, jd, normal[0], normal[1], normal[2], lat, lon);
    // A retrograde rotator's north pole is the one north of the ecliptic.
    const double obliquity = b.obliquityDeg > 90 ? 180 - b.obliquityDeg : b.obliquityDeg;
    EXPECT_NEAR(90 - lat / kRadPerDeg, obliquity, 0.02);
  }
}

TEST(Observatory, ZeroConstantsLeaveTheVectorUnchanged) {
  double v[3] = {0.3, -0.9, 0.4};
  ObservatoryPosition(2460000.5, 139.7, 0, 0, v);
  EXPECT_EQ(v[0], 0.3);
  EXPECT_EQ(v[1], -0.9);
  EXPECT_EQ(v[2], 0.4);
}

// A sea-level station placed on the rotating Earth and found again under its
// own direction by the Earth's sub-point: the two rotation chains invert each
// other, and the signs of the stored constants and of east longitude agree.
TEST(Observatory, StationFoundAgainUnderItsDirection) {
  constexpr double kEarthRadiusAu = 4.2635212454e-5;
  constexpr double kOneMinusF = 0.9966471893352525;
  const struct {
    double latDeg, lonDeg, jdUT;
  } kStations[] = {{35.0, 139.7, 2460000.25}, {-33.9, 18.5, 2451545.0}, {64.1, -21.9, 2440000.75}, {0.0, 180.0, 2455555.5}};
  for (const auto& s : kStations) {
    SCOPED_TRACE(s.latDeg);
    const double phi = s.latDeg * kRadPerDeg;
    const double c = 1 / std::sqrt(std::cos(phi) * std::cos(phi) + std::pow(kOneMinusF, 4) * std::sin(phi) * std::sin(phi));
    const double rhoCos = c * std::cos(phi), rhoSin = kOneMinusF * kOneMinusF * c * std::sin(phi);
    const double station[3] = {s.lonDeg, rhoCos * -kEarthRadiusAu * 1e7, rhoSin * -kEarthRadiusAu * 1e7};
    double v[3] = {0, 0, 0};
    ObservatoryPosition(s.jdUT, station, v);
    EXPECT_NEAR(std::sqrt(Dot(v, v)), kEarthRadiusAu * std::hypot(rhoCos, rhoSin), 1e-18);

    // The sub-point takes TT and goes back to UT by the step table itself.
    double lat, lon;
    PlanetRotationSubPoint(kBodyEarth, DeltaT(kDeltaTUtToTt, s.jdUT), -v[0], -v[1], -v[2], lat, lon);
    EXPECT_NEAR(lat / kRadPerDeg, s.latDeg, 1e-9);
    EXPECT_NEAR(std::remainder(lon / kRadPerDeg - s.lonDeg, 360.0), 0, 1e-9);
  }
}

}  // namespace

#include "astro/frames.h"

#include <cmath>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/jpl_eph.h"
#include "astro/rotations.h"

namespace {

// J2000 vector to the mean equator of date at jdTT. The interval starts at the
// earlier of the two epochs; before J2000 the angles of the interval from the
// date to J2000 are used with their signs reversed.
void PrecessJ2000ToDate(double v[3], double jdTT) {
  const double centuries = (jdTT - kJdJ2000) / 36525;
  const double sign = centuries >= 0 ? 1 : -1;
  const double start = centuries >= 0 ? 0 : centuries;
  double zeta, z, theta;
  PrecessionAngles(start, std::fabs(centuries), zeta, z, theta);
  RotateZ(v, -zeta * sign);
  RotateY(v, theta * sign);
  RotateZ(v, -z * sign);
}

}  // namespace

void OrbitOrientationVectors(double periRad, double nodeRad, double inclRad, double P[3], double Q[3]) {
  const double cw = std::cos(periRad), sw = std::sin(periRad);
  const double cn = std::cos(nodeRad), sn = std::sin(nodeRad);
  const double ci = std::cos(inclRad), si = std::sin(inclRad);
  const double ce = std::cos(kObliquityJ2000Rad), se = std::sin(kObliquityJ2000Rad);
  P[0] = cw * cn - sw * sn * ci;
  P[1] = (cw * sn + sw * cn * ci) * ce - sw * si * se;
  P[2] = (cw * sn + sw * cn * ci) * se + sw * si * ce;
  Q[0] = -sw * cn - cw * sn * ci;
  Q[1] = (cw * cn * ci - sw * sn) * ce - cw * si * se;
  Q[2] = (cw * cn * ci - sw * sn) * se + cw * si * ce;
}

void PositionAngleAndSeparation(double ra1Rad, double dec1Rad, double ra2Rad, double dec2Rad, double& paRad,
                                double& sepRad) {
  const double dra = ra2Rad - ra1Rad;
  const double m = std::sin(dra) * std::cos(dec2Rad);
  paRad = std::atan2(m, std::sin(dec2Rad) * std::cos(dec1Rad) - std::cos(dec2Rad) * std::sin(dec1Rad) * std::cos(dra));
  while (paRad < 0) paRad += kTwoPi;
  const double sinPa = std::sin(paRad);
  if (m == 0 || sinPa == 0) {
    // Along a meridian the quotient below is 0/0.
    sepRad = std::fabs(dec2Rad - dec1Rad);
    return;
  }
  sepRad = std::atan((m / sinPa) /
                     (std::cos(dec1Rad) * std::cos(dec2Rad) * std::cos(dra) + std::sin(dec1Rad) * std::sin(dec2Rad)));
  while (sepRad < 0) sepRad += kPi;
}

double NormalizeAngle(double xRad) {
  double r = std::fmod(xRad, kTwoPi);
  if (r <= 0) r += kTwoPi;
  return r;
}

void PrecessionAngles(double startCenturies, double intervalCenturies, double& zetaRad, double& zRad,
                      double& thetaRad) {
  const double t = startCenturies, tau = intervalCenturies;
  const double rate = 2306.2181 + 1.39656 * t - 0.000139 * t * t;
  const double zeta = rate * tau + (0.30188 - 0.000344 * t) * tau * tau + 0.017998 * tau * tau * tau;
  const double z = rate * tau + (1.09468 + 0.000066 * t) * tau * tau + 0.018203 * tau * tau * tau;
  const double theta = (2004.3109 - 0.8533 * t - 0.000217 * t * t) * tau - (0.42665 + 0.000217 * t) * tau * tau -
                       0.041833 * tau * tau * tau;
  zetaRad = zeta * kRadPerArcsec;
  zRad = z * kRadPerArcsec;
  thetaRad = theta * kRadPerArcsec;
}

void GeocentricSun(double jdTT, double sunJ2000Au[3], double sunOfDateAu[3], double& lambdaRad, double& betaRad,
                   double& distAu) {
  double s[3];
  if (JplPosition(jdTT, kJplSun, kJplEarth, s) != 0) s[0] = s[1] = s[2] = 0;
  for (int i = 0; i < 3; ++i) sunJ2000Au[i] = sunOfDateAu[i] = s[i];
  distAu = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
  PrecessJ2000ToDate(sunOfDateAu, jdTT);

  const double t = (jdTT - kJdJ2000) / 36525;
  const double epsDeg = 23.43928108333 - 0.01300416667 * t - 1.6388e-7 * t * t + 5.0361e-7 * t * t * t;
  const double ce = std::cos(epsDeg * kRadPerDeg), se = std::sin(epsDeg * kRadPerDeg);
  const double x = sunOfDateAu[0], y = sunOfDateAu[1], z = sunOfDateAu[2];
  const double yEcl = y * ce + z * se;
  const double zEcl = z * ce - y * se;
  const double ecliptic[3] = {x, yEcl, zEcl};
  SkyAngles(ecliptic, lambdaRad, betaRad);
}

void SkyAngles(const double v[3], double& lonRad, double& latRad) {
  lonRad = std::atan2(v[1], v[0]);
  if (lonRad < 0) lonRad += kTwoPi;
  if (lonRad >= kTwoPi) lonRad = 0;  // -0.0 and the tiniest negative angles round up to 2 pi
  // Not atan(cos(lon) z / x): near 90 and 270 degrees both factors vanish and
  // their ratio keeps no digits.
  latRad = std::atan2(v[2], std::hypot(v[0], v[1]));
}

void GeocentricMoon(double jdTT, double& raRad, double& decRad) {
  double v[3];
  if (JplPosition(jdTT, kJplMoon, kJplEarth, v) != 0) {
    raRad = decRad = 0;
    return;
  }
  PrecessJ2000ToDate(v, jdTT);
  SkyAngles(v, raRad, decRad);
}

#include "astro/body_rotation.h"

#include <algorithm>
#include <cmath>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/rotations.h"
#include "astro/time_scales.h"

namespace {

// 1 - f for the Earth's flattening 1/298.257223563.
constexpr double kEarthOneMinusF = 0.9966471893352525;

// Pole (right ascension, declination) and prime meridian, degrees, as linear
// functions of T (Julian centuries) and d (days) from J2000 TT: the IAU
// working group's models. Mars and Neptune add periodic terms; the Moon has
// its own series.
struct RotationModel {
  double ra0, raPerT;
  double dec0, decPerT;
  double w0, wPerDay;
};
const RotationModel kModels[kBodyCount] = {
    {281.0103, -0.0328, 61.4155, -0.0049, 329.5988, 6.1385108},                     // 0 Mercury
    {272.76, 0, 67.16, 0, 160.2, -1.4813688},                                       // 1 Venus
    {0, 0, 0, 0, 0, 0},                                                             // 2 Earth (own model)
    {317.269202, -0.10927547, 54.432516, -0.05827105, 176.049863, 350.891982443297},  // 3 Mars
    {268.056595, -0.006499, 64.495303, 0.002413, 284.95, 870.536},                  // 4 Jupiter
    {40.589, -0.036, 83.537, -0.004, 38.9, 810.7939024},                            // 5 Saturn
    {257.311, 0, -15.175, 0, 203.81, -501.1600928},                                 // 6 Uranus
    {299.36, 0, 43.46, 0, 249.978, 541.1397757},                                    // 7 Neptune (+ N terms)
    {132.993, 0, -6.163, 0, 302.695, 56.3625225},                                   // 8 Pluto
    {0, 0, 0, 0, 0, 0},                                                             // 9 Moon (series)
};

double SinDeg(double deg) { return std::sin(deg * kRadPerDeg); }
double CosDeg(double deg) { return std::cos(deg * kRadPerDeg); }

void MoonOrientation(double d, double t, double& ra, double& dec, double& w) {
  const double e1 = 125.045 - 0.0529921 * d, e2 = 250.089 - 0.1059842 * d, e3 = 260.008 + 13.0120009 * d;
  const double e4 = 176.625 + 13.3407154 * d, e5 = 357.529 + 0.9856003 * d, e6 = 311.589 + 26.4057084 * d;
  const double e7 = 134.963 + 13.064993 * d, e8 = 276.617 + 0.3287146 * d, e9 = 34.226 + 1.7484877 * d;
  const double e10 = 15.134 - 0.1589763 * d, e11 = 119.743 + 0.0036096 * d, e12 = 239.961 + 0.1643573 * d;
  const double e13 = 25.053 + 12.9590088 * d;
  ra = 269.9949 + 0.0031 * t - 3.8787 * SinDeg(e1) - 0.1204 * SinDeg(e2) + 0.07 * SinDeg(e3) - 0.0172 * SinDeg(e4) +
       0.0072 * SinDeg(e6) - 0.0052 * SinDeg(e10) + 0.0043 * SinDeg(e13);
  dec = 66.5392 + 0.013 * t + 1.5419 * CosDeg(e1) + 0.0239 * CosDeg(e2) - 0.0278 * CosDeg(e3) +
        0.0068 * CosDeg(e4) - 0.0029 * CosDeg(e6) + 0.0009 * CosDeg(e7) + 0.0008 * CosDeg(e10) -
        0.0009 * CosDeg(e13);
  w = 38.3213 + 13.17635815 * d - 1.4e-12 * d * d + 3.561 * SinDeg(e1) + 0.1208 * SinDeg(e2) -
      0.0642 * SinDeg(e3) + 0.0158 * SinDeg(e4) + 0.0252 * SinDeg(e5) - 0.0066 * SinDeg(e6) -
      0.0047 * SinDeg(e7) - 0.0046 * SinDeg(e8) + 0.0028 * SinDeg(e9) + 0.0052 * SinDeg(e10) +
      0.004 * SinDeg(e11) + 0.0019 * SinDeg(e12) - 0.0044 * SinDeg(e13);
}

void EarthSubPoint(double jdTT, double x, double y, double z, double& latRad, double& lonRad) {
  const double jdUT = DeltaT(kDeltaTTtToUt, jdTT);
  double dpsi, deps, eps0;
  Nutation(jdUT, dpsi, deps, eps0);
  double v[3] = {x, y, z};
  PrecessFromJ2000(v, (jdUT - kJdJ2000) / 36525);
  NutateMeanToTrue(v, dpsi, deps, eps0);
  const double gast = GreenwichMeanSiderealTime(jdUT) + dpsi * std::cos(eps0 + deps);
  lonRad = std::atan2(v[1], v[0]) - gast;
  while (lonRad > kPi) lonRad -= 2 * kPi;
  while (lonRad < -kPi) lonRad += 2 * kPi;
  latRad = std::atan2(v[2], std::sqrt(v[0] * v[0] + v[1] * v[1]) * (kEarthOneMinusF * kEarthOneMinusF));
}

}  // namespace

void PlanetRotationSubPoint(BodyIndex body, double jdTT, double x, double y, double z, double& latRad,
                            double& lonRad) {
  latRad = lonRad = 0;
  if (body < 0 || body >= kBodyCount) return;
  if (body == kBodyEarth) {
    EarthSubPoint(jdTT, x, y, z, latRad, lonRad);
    return;
  }
  const double d = jdTT - kJdJ2000;
  const double t = d / 36525;
  double ra, dec, w;
  if (body == kBodyMoon) {
    MoonOrientation(d, t, ra, dec, w);
  } else {
    const RotationModel& m = kModels[body];
    ra = m.ra0 + m.raPerT * t;
    dec = m.dec0 + m.decPerT * t;
    w = m.w0 + m.wPerDay * d;
    if (body == kBodyNeptune) {
      const double n = 357.85 + 52.316 * t;
      ra += 0.7 * SinDeg(n);
      dec -= 0.51 * CosDeg(n);
      w -= 0.48 * SinDeg(n);
    }
    if (body == kBodyMars) {
      // The model's constants belong with its long-period terms (IAU WGCCRE
      // 2015): without them the pole is 1.6 degrees off the older models and
      // the obliquity reads 23.9 degrees instead of 25.19. The short-period
      // terms, all below 0.0003 degrees, are left out.
      const double p = 0.5042615 * t;
      ra += 0.419057 * SinDeg(79.398797 + p);
      dec += 1.591274 * CosDeg(166.325722 + p);
      w += 0.584542 * SinDeg(95.391654 + p);
    }
  }
  double b[3] = {x, y, z};
  RotateZ(b, (90 + ra) * kRadPerDeg);
  RotateX(b, (90 - dec) * kRadPerDeg);
  RotateZ(b, std::fmod(w, 360.0) * kRadPerDeg);
  const double len = std::sqrt(b[0] * b[0] + b[1] * b[1] + b[2] * b[2]);
  if (len == 0) return;
  latRad = std::asin(std::clamp(b[2] / len, -1.0, 1.0));
  lonRad = std::atan2(b[1], b[0]);
}

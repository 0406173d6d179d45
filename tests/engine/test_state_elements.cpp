#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "astro/constants.h"
#include "engine/state_elements.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDeg = kPi / 180.0;

struct Elements {
  double T, q, e, peri, node, incl;
};

// Independent reference: the heliocentric J2000 equatorial state at t from
// perihelion elements, by Newton's method on Kepler's equation (elliptic and
// hyperbolic) and Barker's equation (parabolic).
void StateFromElements(const Elements& el, double t, double r[3], double v[3])
{
  const double k = kGaussK;
  double x, y, vx, vy;
  const double dt = t - el.T;
  if (std::fabs(el.e - 1.0) < 1e-9) {  // Kepler's equation loses every digit there
    const double W = 3.0 * k * dt / std::sqrt(2.0 * el.q * el.q * el.q);
    const double Y = std::cbrt(W / 2.0 + std::sqrt(W * W / 4.0 + 1.0));
    const double s = Y - 1.0 / Y;  // tan(nu/2)
    const double rr = el.q * (1.0 + s * s);
    x = el.q * (1.0 - s * s);
    y = 2.0 * el.q * s;
    const double h = std::sqrt(2.0 * el.q) * k;
    const double nu = 2.0 * std::atan(s);
    vx = -k * k / h * std::sin(nu);
    vy = k * k / h * (1.0 + std::cos(nu));
    (void)rr;
  } else if (el.e < 1.0) {
    const double a = el.q / (1.0 - el.e);
    const double M = k / std::pow(a, 1.5) * dt;
    double E = M;
    for (int i = 0; i < 100; ++i)
      E -= (E - el.e * std::sin(E) - M) / (1.0 - el.e * std::cos(E));
    const double b = a * std::sqrt(1.0 - el.e * el.e);
    const double rr = a * (1.0 - el.e * std::cos(E));
    x = a * (std::cos(E) - el.e);
    y = b * std::sin(E);
    vx = -k * std::sqrt(a) * std::sin(E) / rr;
    vy = k * std::sqrt(a) * std::sqrt(1.0 - el.e * el.e) * std::cos(E) / rr;
  } else {
    const double a = el.q / (el.e - 1.0);
    const double M = k / std::pow(a, 1.5) * dt;
    double F = std::asinh(M / el.e);
    for (int i = 0; i < 200; ++i)
      F -= (el.e * std::sinh(F) - F - M) / (el.e * std::cosh(F) - 1.0);
    const double rr = a * (el.e * std::cosh(F) - 1.0);
    x = a * (el.e - std::cosh(F));
    y = a * std::sqrt(el.e * el.e - 1.0) * std::sinh(F);
    vx = -k * std::sqrt(a) * std::sinh(F) / rr;
    vy = k * std::sqrt(a) * std::sqrt(el.e * el.e - 1.0) * std::cosh(F) / rr;
  }
  const double cw = std::cos(el.peri), sw = std::sin(el.peri);
  const double cn = std::cos(el.node), sn = std::sin(el.node);
  const double ci = std::cos(el.incl), si = std::sin(el.incl);
  const double P[3] = {cw * cn - sw * sn * ci, cw * sn + sw * cn * ci, sw * si};
  const double Q[3] = {-sw * cn - cw * sn * ci, -sw * sn + cw * cn * ci, cw * si};
  const double ce = std::cos(kObliquityJ2000Rad), se = std::sin(kObliquityJ2000Rad);
  double ecl[3], eclv[3];
  for (int i = 0; i < 3; ++i) {
    ecl[i] = x * P[i] + y * Q[i];
    eclv[i] = vx * P[i] + vy * Q[i];
  }
  r[0] = ecl[0];
  r[1] = ce * ecl[1] - se * ecl[2];
  r[2] = se * ecl[1] + ce * ecl[2];
  v[0] = eclv[0];
  v[1] = ce * eclv[1] - se * eclv[2];
  v[2] = se * eclv[1] + ce * eclv[2];
}

double AngleDiff(double a, double b)
{
  return std::remainder(a - b, 2.0 * kPi);
}

} // namespace

TEST(StateToEclipticElements, RoundTripsFromCircularToHyperbolic)
{
  const double t = 2460000.5;
  struct Case {
    const char* name;
    Elements el;
    bool anglesDefined;  // node, perihelion and T are well defined
  } cases[] = {
      {"main belt", {t - 300, 2.2, 0.15, 70 * kDeg, 80 * kDeg, 10 * kDeg}, true},
      {"exactly circular", {t - 100, 1.0, 0.0, 30 * kDeg, 40 * kDeg, 5 * kDeg}, false},
      {"in the ecliptic", {t - 50, 1.1, 0.3, 30 * kDeg, 40 * kDeg, 0.0}, false},
      {"retrograde in the ecliptic", {t - 50, 1.1, 0.3, 30 * kDeg, 40 * kDeg, kPi}, false},
      {"perihelion at the node", {t - 20, 0.9, 0.4, 0.0, 100 * kDeg, 20 * kDeg}, true},
      {"node at the equinox", {t - 20, 0.9, 0.4, 100 * kDeg, 0.0, 20 * kDeg}, true},
      {"polar", {t + 40, 0.7, 0.6, 200 * kDeg, 300 * kDeg, 90 * kDeg}, true},
      {"e at the branch point", {t - 30, 0.5, 0.97, 10 * kDeg, 20 * kDeg, 30 * kDeg}, true},
      {"near parabolic elliptic", {t - 60, 1.2, 0.999, 150 * kDeg, 250 * kDeg, 120 * kDeg}, true},
      {"parabolic", {t - 60, 1.2, 1.0, 150 * kDeg, 250 * kDeg, 120 * kDeg}, true},
      {"near parabolic hyperbolic", {t + 80, 0.3, 1.05, 300 * kDeg, 10 * kDeg, 60 * kDeg}, true},
      {"hyperbolic past the series", {t - 90, 0.25, 1.2001, 241 * kDeg, 24 * kDeg, 123 * kDeg}, true},
      {"strongly hyperbolic", {t - 10, 1.5, 5.0, 45 * kDeg, 135 * kDeg, 170 * kDeg}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    double r[3], v[3];
    StateFromElements(c.el, t, r, v);
    OsculatingElements out{};
    ConvertStateToElements(t, r, v, true, out);
    for (double x : {out.T, out.q, out.e, out.peri, out.node, out.incl, out.a})
      ASSERT_TRUE(std::isfinite(x));
    EXPECT_NEAR(out.q, c.el.q, 1e-11);
    EXPECT_NEAR(out.e, c.el.e, 1e-11);
    EXPECT_NEAR(out.incl, c.el.incl, 1e-9);
    if (c.anglesDefined) {
      EXPECT_NEAR(AngleDiff(out.peri, c.el.peri), 0.0, 1e-9);
      EXPECT_NEAR(AngleDiff(out.node, c.el.node), 0.0, 1e-9);
      // The near-parabolic series is a truncated expansion: seconds there.
      EXPECT_NEAR(out.T, c.el.T, c.el.e > 0.97 && c.el.e <= 1.2 ? 1e-4 : 1e-7);
    }
    // Whatever the convention for an undefined angle, the elements give the state back.
    Elements back{out.T, out.q, out.e, out.peri, out.node, out.incl};
    double r2[3], v2[3];
    StateFromElements(back, t, r2, v2);
    const double tolPos = c.el.e > 0.97 && c.el.e <= 1.2 ? 1e-8 : 1e-10;
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(r2[i], r[i], tolPos);
      EXPECT_NEAR(v2[i], v[i], tolPos * 0.02);
    }
  }
}

TEST(StateToEclipticElements, MeanAnomalyOnlyForEllipses)
{
  const double t = 2460000.5;
  double r[3], v[3];
  StateFromElements({t - 100, 2.0, 0.1, 1.0, 2.0, 0.3}, t, r, v);
  double T, q, e, peri, node, incl, M = 5, a;
  StateToEclipticElements(t, r, v, T, q, e, peri, node, incl, M, a);
  const double n = kGaussK / std::pow(a, 1.5);
  EXPECT_NEAR(M, 100 * n, 1e-12);
  EXPECT_NEAR(a, 2.0 / 0.9, 1e-12);

  StateFromElements({t - 100, 0.5, 1.5, 1.0, 2.0, 0.3}, t, r, v);
  StateToEclipticElements(t, r, v, T, q, e, peri, node, incl, M, a);
  EXPECT_EQ(M, -1.0);
  EXPECT_LT(a, 0.0);

  OsculatingElements kept{};
  kept.M = 1.25;
  ConvertStateToElements(t, r, v, false, kept);
  EXPECT_EQ(kept.M, 1.25);
}

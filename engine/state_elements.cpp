#include "engine/state_elements.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "astro/angle_units.h"
#include "astro/constants.h"

namespace {


double Dot(const double a[3], const double b[3])
{
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

double Wrap2Pi(double x)
{
  return x < 0.0 ? x + kTwoPi : x;
}

// Perihelion time of a near-parabolic or hyperbolic orbit from the true anomaly.
double PerihelionTimeFarFromEllipse(double t, double e, double q, double nu)
{
  const double k = kGaussK;
  const double tau = std::tan(nu / 2.0);
  if (e > 1.2) {
    double arg = std::sqrt((e - 1.0) / (e + 1.0)) * tau;
    arg = std::clamp(arg, -0.9999999999999, 0.9999999999999);
    const double F = 2.0 * std::atanh(arg);
    return t - (e * std::sinh(F) - F) * std::pow(q / (e - 1.0), 1.5) / k;
  }
  double A = (1.0 - e) * tau * tau / (1.0 + e);
  for (int pass = 0; pass < 1000; ++pass) {
    const double A2 = A * A, A3 = A2 * A, A4 = A3 * A, A5 = A4 * A, A6 = A5 * A, A7 = A6 * A;
    const double w1 = tau / ((1.0 + 0.4 * A + 0.21714286 * A2 + 0.12495238 * A3 + 0.07339814 * A4 +
                              0.0435161 * A5 + 0.02592289 * A6 + 0.01548368 * A7) *
                             std::sqrt(5.0 * (1.0 + e) / (1.0 + 9.0 * e)));
    const double Anew = w1 * w1 * 5.0 * (1.0 - e) / (1.0 + 9.0 * e);
    if (std::fabs(Anew - A) <= 1e-14) {
      const double c = 1.0 - 0.017142857 * A2 - 0.003809524 * A3 - 0.001104267 * A4 - 0.000367358 * A5 -
                       0.000131675 * A6 - 4.9577e-05 * A7;
      return t - std::pow(q, 1.5) * std::sqrt(2.0) * w1 * (w1 * w1 / 3.0 + 1.0) /
                     (c * std::sqrt((1.0 + 9.0 * e) / 10.0) * k);
    }
    A = Anew;
  }
  if (std::fabs(e - 1.0) <= 1e-9)
    return t - std::pow(q, 1.5) * std::sqrt(2.0) * (tau * tau * tau / 3.0 + tau) / k;
  if (e <= 1.0) {
    const double den = 1.0 + e * std::cos(nu);
    const double E = std::atan2(std::sqrt(1.0 - e * e) * std::sin(nu) / den, (std::cos(nu) + e) / den);
    return t - (E - e * std::sin(E)) * std::pow(q / (1.0 - e), 1.5) / k;
  }
  double arg = std::clamp(std::sqrt((e - 1.0) / (e + 1.0)) * tau, -0.9999999999999, 0.9999999999999);
  const double F = 2.0 * std::atanh(arg);
  return t - (e * std::sinh(F) - F) * std::pow(q / (e - 1.0), 1.5) / k;
}

// Node, argument of perihelion and inclination from P and Q (equatorial).
void Angles(const double P[3], const double Q[3], OsculatingElements& el)
{
  const double ce = std::cos(kObliquityJ2000Rad), se = std::sin(kObliquityJ2000Rad);
  // P and Q in the ecliptic frame.
  const double px = P[0], py = ce * P[1] + se * P[2], pz = ce * P[2] - se * P[1];
  const double qx = Q[0], qy = ce * Q[1] + se * Q[2], qz = ce * Q[2] - se * Q[1];
  const double peri = std::atan2(pz, qz);
  const double cw = std::cos(peri), sw = std::sin(peri);
  // The node direction cos(w) P - sin(w) Q lies in the ecliptic.
  const double node = std::atan2(cw * py - sw * qy, cw * px - sw * qx);
  // sin i from the out-of-plane parts, cos i from the orbit normal P x Q:
  // finite at i = 0 and 180 degrees and at w = 0 or node = 0.
  const double sini = std::sqrt(pz * pz + qz * qz);
  const double cosi = px * qy - py * qx;
  el.peri = Wrap2Pi(peri);
  el.node = Wrap2Pi(node);
  el.incl = std::atan2(sini, cosi);
}

} // namespace

void ConvertStateToElements(double t, const double position[3], const double velocity[3], bool setMeanAnomaly,
                            OsculatingElements& el)
{
  const double k = kGaussK;
  const double* rv = position;
  const double w[3] = {velocity[0] / k, velocity[1] / k, velocity[2] / k};
  const double r = std::sqrt(Dot(rv, rv));
  const double w2 = Dot(w, w);
  const double rw = Dot(rv, w);
  double alpha = 2.0 - r * w2;
  if (std::fabs(alpha) < 1e-12)
    alpha = alpha < 0.0 ? -1e-12 : 1e-12;
  double a = r / alpha;
  const double p = w2 * r * r - rw * rw;
  double e = std::sqrt(std::max(0.0, 1.0 - p / a));

  double P[3], Q[3];
  if (e <= 0.97) {
    const double sqa = std::sqrt(a);
    const double ecosE = r * w2 - 1.0;
    const double esinE = rw / sqa;
    const double E = std::atan2(esinE, ecosE);
    double M = E - esinE;
    if (M < 0.0)
      M += kTwoPi;
    const double n = k / std::pow(a, 1.5);
    el.T = M >= std::numbers::pi ? t + (kTwoPi - M) / n : t - M / n;
    el.M = M;
    e = std::sqrt(esinE * esinE + ecosE * ecosE);
    const double cE = std::cos(E), sE = std::sin(E);
    const double s = std::sqrt(1.0 - e * e);
    for (int i = 0; i < 3; ++i) {
      P[i] = (cE / r) * rv[i] - sqa * sE * w[i];
      Q[i] = (sqa * (cE - e) * w[i] + (sE / r) * rv[i]) / s;
    }
  } else {
    const double sp = std::sqrt(p);
    const double sinNu = sp * rw / (e * r);
    const double cosNu = (p / r - 1.0) / e;
    for (int i = 0; i < 3; ++i) {
      P[i] = rv[i] * (e + cosNu) / p - w[i] * r * sinNu / sp;
      Q[i] = w[i] * r * cosNu / sp + rv[i] * sinNu / p;
    }
    const double nu = std::atan2(sinNu, cosNu);
    // q = p / (1 + e) equals |a (1 - e)| but keeps its digits when the state
    // is so close to parabolic that a is huge and 1 - e is all rounding.
    const double q = p / (1.0 + e);
    el.T = PerihelionTimeFarFromEllipse(t, e, q, nu);
    if (setMeanAnomaly)
      el.M = -1.0;
  }
  Angles(P, Q, el);
  for (int i = 0; i < 3; ++i) {
    el.P[i] = P[i];
    el.Q[i] = Q[i];
  }
  el.e = e;
  el.a = a;
  el.q = e <= 0.97 ? (1.0 - e) * a : p / (1.0 + e);
}

void StateToEclipticElements(double t, const double position[3], const double velocity[3], double& T, double& q,
                             double& e, double& peri, double& node, double& incl, double& M, double& a)
{
  OsculatingElements el{};
  el.M = M;
  ConvertStateToElements(t, position, velocity, true, el);
  T = el.T;
  q = el.q;
  e = el.e;
  peri = el.peri;
  node = el.node;
  incl = el.incl;
  M = el.M;
  a = el.a;
}

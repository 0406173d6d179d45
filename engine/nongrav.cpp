#include "engine/nongrav.h"

#include <cmath>
#include <numbers>

#include "astro/constants.h"
#include "platform/nongrav_settings.h"

namespace {

// Marsden's sublimation law with scale distance r0 and normalisation norm.
double SublimationLaw(double r, double r0, double norm)
{
  const double x = r / r0;
  return norm * std::pow(x, -2.15) * std::pow(1.0 + std::pow(x, 5.093), -4.6142);
}

} // namespace

double NonGravLaw(int model, double r)
{
  switch (model) {
  case kNonGravCoN2:
    // Not normalised to g(1) = 1 (g(1) is about 1.37): kept as the program has always computed it.
    return 2.75 / (0.2004 * r * r) * std::pow(10.0, -0.22185 * (r - 1.0) / 3.0) * 0.1 /
           (1.0 + 0.0006 * std::pow(r, 5.0));
  case kNonGravCo2:
    return SublimationLaw(r, g_dCo2R0, g_dCo2Norm);
  case kNonGravRadiation:
    return r > 0.0 ? 1.0 / (r * r) : 0.0;
  default:
    return SublimationLaw(r, 2.808, 0.111262);
  }
}

const char* NonGravModelName(int model)
{
  switch (model) {
  case kNonGravCoN2: return "CO・N2";
  case kNonGravCo2: return "CO2";
  case kNonGravRadiation: return "太陽光圧";
  default: return "マースデンTypeII(水氷)";
  }
}

double HeliocentricDistanceAt(double dt, double q, double e)
{
  const double k = kGaussK;
  if (!(q > 0.0))
    return -1.0;
  if (std::fabs(e - 1.0) < 1e-9) {
    const double W = 3.0 * k * dt / std::sqrt(2.0 * q * q * q);
    const double y = std::cbrt(std::sqrt(1.0 + W * W / 4.0) + W / 2.0);
    if (!(y > 0.0))
      return -1.0;
    const double s = y - 1.0 / y;
    return q * (1.0 + s * s);
  }
  if (e < 1.0) {
    const double twoPi = 2.0 * std::numbers::pi;
    const double a = q / (1.0 - e);
    const double turns = k * dt / std::pow(a, 1.5) / twoPi;
    double M = (turns - std::trunc(turns)) * twoPi;
    if (M <= 0.0)
      M += twoPi;
    double E = M + 0.85 * e * (std::sin(M) >= 0.0 ? 1.0 : -1.0);
    for (int pass = 0; pass < 60; ++pass) {
      const double d = 1.0 - e * std::cos(E);
      if (std::fabs(d) < 1e-14)
        break;
      const double En = E - (E - e * std::sin(E) - M) / d;
      const double change = std::fabs(En - E);
      E = En;
      if (change < 1e-12)
        break;
    }
    const double s = std::sin(E / 2.0);
    return q + 2.0 * a * e * s * s;
  }
  const double a = q / (e - 1.0);
  const double N = k * dt / std::pow(a, 1.5);
  const double absN = std::fabs(N);
  double F = absN < 1.0 ? std::cbrt(6.0 * absN / e) : std::log(2.0 * absN / e + 1.8);
  if (N < 0.0)
    F = -F;
  for (int pass = 0; pass < 80; ++pass) {
    const double d = e * std::cosh(F) - 1.0;
    if (std::fabs(d) < 1e-14)
      break;
    const double Fn = F - (e * std::sinh(F) - F - N) / d;
    const double change = std::fabs(Fn - F);
    F = Fn;
    if (change < 1e-12)
      break;
  }
  const double s = std::sinh(F / 2.0);
  return q + 2.0 * a * e * s * s;
}

#include "astro/observatory.h"

#include <cmath>
#include <numbers>

#include "astro/constants.h"
#include "astro/rotations.h"
#include "astro/time_scales.h"

namespace {
// The station table keeps its parallax constants multiplied by this.
constexpr double kStoredScale = 10000000;
}  // namespace

void ObservatoryPosition(double jdUT, double lonDeg, double rhoCosStored, double rhoSinStored, double v[3]) {
  double dpsi, deps, eps0;
  Nutation(jdUT, dpsi, deps, eps0);
  const double gast = GreenwichMeanSiderealTime(jdUT) + dpsi * std::cos(eps0 + deps);
  const double angle = gast + lonDeg * std::numbers::pi / 180;

  const double c1 = rhoCosStored / kStoredScale;
  const double c2 = rhoSinStored / kStoredScale;
  double w[3] = {c1 * std::cos(angle), c1 * std::sin(angle), c2};  // true equator of date
  NutateTrueToMean(w, dpsi, deps, eps0);
  PrecessToJ2000(w, (jdUT - kJdJ2000) / 36525);
  for (int i = 0; i < 3; ++i) v[i] += w[i];
}

void ObservatoryPosition(double jdUT, const double station[3], double v[3]) {
  ObservatoryPosition(jdUT, station[0], station[1], station[2], v);
}

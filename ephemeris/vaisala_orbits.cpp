// Väisälä orbits, their element text and their residual lines.
#include <cmath>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/frames.h"
#include "astro/sexagesimal.h"
#include "astro/time_scales.h"
#include "astro/two_body.h"
#include "ephemeris/vaisala.h"
#include "platform/numbers.h"

namespace {


double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void UnitVector(double ra, double dec, double u[3]) {
  u[0] = std::cos(dec) * std::cos(ra);
  u[1] = std::cos(dec) * std::sin(ra);
  u[2] = std::sin(dec);
}

// The geometry shared by both solvers at the trial distance delta of the last
// observation: the heliocentric position there and the unit vectors.
struct Geometry {
  double rho1[3], rho2[3], r2[3], r;
};

Geometry MakeGeometry(double delta, const VaisalaObservations& in) {
  Geometry g{};
  UnitVector(in.ra1, in.dec1, g.rho1);
  UnitVector(in.ra2, in.dec2, g.rho2);
  for (int i = 0; i < 3; ++i) g.r2[i] = delta * g.rho2[i] - in.sun2[i];
  g.r = std::sqrt(Dot(g.r2, g.r2));
  return g;
}

// The first observation's distance that puts the object at perihelion (or
// aphelion) at the last one, and the velocity there (units of k), for the
// interval tau (k times days, first minus last).
double FirstDistance(const Geometry& g, const VaisalaObservations& in, double tau, double v2[3]) {
  const double r3 = g.r * g.r * g.r;
  const double f = 1.0 - tau * tau / (2.0 * r3);
  const double gg = tau - tau * tau * tau / (6.0 * r3);
  const double rho = (f * g.r * g.r + Dot(g.r2, in.sun1)) / Dot(g.r2, g.rho1);
  for (int i = 0; i < 3; ++i) v2[i] = (rho * g.rho1[i] - in.sun1[i] - f * g.r2[i]) / gg;
  return rho;
}

void ToEcliptic(const double v[3], double out[3]) {
  const double c = std::cos(kObliquityJ2000Rad), s = std::sin(kObliquityJ2000Rad);
  out[0] = v[0];
  out[1] = c * v[1] + s * v[2];
  out[2] = -s * v[1] + c * v[2];
}

double Wrap2Pi(double x) {
  x = std::fmod(x, kTwoPi);
  return x < 0 ? x + kTwoPi : x;
}

// Argument of perihelion, node and inclination from the state (position AU,
// velocity in units of k, equatorial).
void Orientation(const double r2[3], const double v2[3], VaisalaOrbit& o) {
  double r[3], v[3];
  ToEcliptic(r2, r);
  ToEcliptic(v2, v);
  const double h[3] = {r[1] * v[2] - r[2] * v[1], r[2] * v[0] - r[0] * v[2], r[0] * v[1] - r[1] * v[0]};
  const double hxy = std::hypot(h[0], h[1]);
  const double hh = std::sqrt(Dot(h, h));
  o.incl = std::atan2(hxy, h[2]);
  o.node = Wrap2Pi(std::atan2(h[0], -h[1]));
  // Argument of latitude in the orbit plane, true anomaly from the state.
  const double cn = std::cos(o.node), sn = std::sin(o.node);
  const double along = r[0] * cn + r[1] * sn;
  const double across = (-h[2] * sn * r[0] + h[2] * cn * r[1] + (h[0] * sn - h[1] * cn) * r[2]) / hh;
  const double u = std::atan2(across, along);
  const double rr = std::sqrt(Dot(r, r));
  const double p = hh * hh;
  const double nu = std::atan2(std::sqrt(p) * Dot(r, v) / rr, p / rr - 1.0);
  o.peri = Wrap2Pi(u - nu);
}

}  // namespace

double VaisalaEpoch(double t2Corrected) {
  return 20.0 * (std::floor(std::floor(t2Corrected) / 20.0) + 1.0) + 0.5;
}

VaisalaOrbit VaisalaEllipse(double delta, const VaisalaObservations& in) {
  VaisalaOrbit o;
  const Geometry g = MakeGeometry(delta, in);
  const double light = delta * kLightTimeDaysPerAu;
  const double t2c = in.t2 - light;
  const double tau = kGaussK * (in.t1 - in.t2);
  double v2[3];
  FirstDistance(g, in, tau, v2);
  const double denom = 2.0 - g.r * Dot(v2, v2);
  if (!(denom > 0) || !std::isfinite(denom)) return o;  // hyperbolic, parabolic or undefined
  const double a = g.r / denom;
  const double ecosE = 1.0 - g.r / a;
  const double esinE = Dot(g.r2, v2) / std::sqrt(a);
  const double e = std::hypot(ecosE, esinE);
  if (!(e <= 0.99)) return o;
  const double E = std::atan2(esinE, ecosE);
  const double n = kGaussK / std::pow(a, 1.5);
  const double epoch = VaisalaEpoch(t2c);
  const double M = Wrap2Pi(E - e * std::sin(E) + n * (epoch - t2c));
  o.a = a;
  o.e = e;
  o.q = (1.0 - e) * a;
  o.epoch = epoch;
  o.M = M * kDegPerRad;
  o.T = M <= kPi ? epoch - M / n : epoch + (kTwoPi - M) / n;
  Orientation(g.r2, v2, o);
  return o;
}

VaisalaOrbit VaisalaParabola(double delta, const VaisalaObservations& in) {
  VaisalaOrbit o;
  o.a = -1;
  const Geometry g = MakeGeometry(delta, in);
  const double t2c = in.t2 - delta * kLightTimeDaysPerAu;
  double x = delta, v2[3] = {};
  bool kept = false;
  for (int pass = 0; pass < 100; ++pass) {
    const double tau = kGaussK * ((in.t1 - x * kLightTimeDaysPerAu) - t2c);
    const double rho = FirstDistance(g, in, tau, v2);
    if (std::isnan(rho) || !(std::fabs(rho) < 1e300)) return o;
    if (std::fabs(rho - x) <= 0.01) {
      kept = true;
      break;
    }
    x = rho;
  }
  if (!kept) return o;
  const double speed = std::sqrt(Dot(v2, v2));
  if (!(speed > 0)) return o;
  const double scale = std::sqrt(2.0 / g.r) / speed;
  for (double& c : v2) c *= scale;
  const double rv = Dot(g.r2, v2);
  const double q = (2.0 * g.r - rv * rv) / 2.0;
  if (q < 0) return o;
  o.q = q;
  o.T = t2c;
  o.e = 1.0;
  Orientation(g.r2, v2, o);
  return o;
}

std::string FormatVaisalaElements(const std::string& name, double epoch, double T, double q, double e, double peri,
                                  double node, double incl, double a) {
  std::string text = "Orbital elements:\r\n" + name + "\r\n";
  double y, m, d;
  if (e == 1.0) {
    const int month = JdToCalendar(T, y, m, d);
    text += FormatC("T %d %s %.5f TT\r\n", static_cast<int>(y), g_aszMonthAbbrev[month - 1], d);
    text += FormatC("q  %9.6f             (2000.0)\r\n", q);
    text += FormatC("                   Peri.  %8.4f\r\n", peri * kDegPerRad);
    text += FormatC("                   Node   %8.4f\r\n", node * kDegPerRad);
    text += FormatC("e   1.0            Incl.  %8.4f\r\n", incl * kDegPerRad);
    return text;
  }
  const int month = JdToCalendar(epoch, y, m, d);
  const double n = kGaussK / std::pow(a, 1.5);
  const double M = Wrap2Pi(n * (epoch - T));
  text += FormatC("Epoch %d %s %4.1f TT = JDT %9.1f\r\n", static_cast<int>(y), g_aszMonthAbbrev[month - 1], d, epoch);
  text += FormatC("M %9.5f              (2000.0)\r\n", M * kDegPerRad);
  text += FormatC("n %12.8f     Peri.  %9.5f\r\n", n * kDegPerRad, peri * kDegPerRad);
  text += FormatC("a %11.7f      Node   %9.5f\r\n", a, node * kDegPerRad);
  text += FormatC("e   %9.7f      Incl.  %9.5f\r\n", e, incl * kDegPerRad);
  text += FormatC("P%7.2f\r\n", std::pow(a, 1.5));
  return text;
}

bool VaisalaObservedMinusComputed(const ObservationRecord& obs, double T, double q, double e, const double P[3],
                                  const double Q[3], double& dRa, double& dDec) {
  double dist = 1.0, geo[3] = {};
  bool settled = false;
  for (int pass = 0; pass < 100 && !settled; ++pass) {
    double helio[3];
    if (TwoBodyGeocentricPositionEx(obs.m_dJdTt, T, q, e, P, Q, dist, helio, nullptr) != 0) return false;
    for (int i = 0; i < 3; ++i) geo[i] = helio[i] + obs.m_dSun[i];
    const double next = std::sqrt(Dot(geo, geo));
    settled = std::fabs(next - dist) <= 1e-6;
    dist = next;
  }
  if (!settled) return false;
  const double ra = Wrap2Pi(std::atan2(geo[1], geo[0]));
  const double dec = std::atan2(geo[2], std::hypot(geo[0], geo[1]));
  dRa = obs.m_dRa - ra;
  dRa -= kTwoPi * std::ceil((dRa - kPi) / kTwoPi);  // into (-pi, pi]
  dDec = obs.m_dDec - dec;
  return true;
}

std::string VaisalaResidualLine(const ObservationRecord& obs, double T, double q, double e, double peri, double node,
                                double incl) {
  double y, m, d;
  JdToCalendar(obs.m_dJdUtc, y, m, d);
  int rh, rm, dd, dm;
  double rs, ds;
  SplitSexagesimal(Wrap2Pi(obs.m_dRa) * kDegPerRad / 15.0, 3, rh, rm, rs);
  SplitSexagesimal(std::fabs(obs.m_dDec) * kDegPerRad, 2, dd, dm, ds);
  std::string line = FormatC("%.4d %02d %09.6f %02d %02d %06.3f %c%02d %02d %05.2f %.3s%c", static_cast<int>(y),
                             static_cast<int>(m), d, rh, rm, rs, obs.m_dDec < 0 ? '-' : '+', dd, dm, ds,
                             obs.m_szStation, obs.m_chQuality ? obs.m_chQuality : ' ');
  double P[3], Q[3], dRa = 0, dDec = 0;
  OrbitOrientationVectors(peri, node, incl, P, Q);
  if (obs.m_nUnknownStation || !VaisalaObservedMinusComputed(obs, T, q, e, P, Q, dRa, dDec))
    return line + "(    .       .  )";
  const double ra = dRa * std::cos(obs.m_dDec) * kArcsecPerRad;
  const double de = dDec * kArcsecPerRad;
  return line + FormatC(" %6.1f%c %6.1f%c ", std::fabs(ra), ra < 0 ? '-' : '+', std::fabs(de), de < 0 ? '-' : '+');
}

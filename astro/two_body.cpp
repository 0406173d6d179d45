#include "astro/two_body.h"

#include <cmath>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/frames.h"

namespace {

// Largest e solved by the series; 0.97 < e <= 1.2 is near-parabolic.
constexpr double kEllipticMaxE = 0.97;
constexpr double kSeriesMaxE = 1.2;

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
double Norm(const double a[3]) { return std::sqrt(Dot(a, a)); }

void Combine(double a, const double P[3], double b, const double Q[3], double out[3]) {
  for (int i = 0; i < 3; ++i) out[i] = a * P[i] + b * Q[i];
}

void TrialVectors(const TrialOrbitVectors& table, int iOrbit, double v[3]) {
  for (int c = 0; c < 3; ++c) v[c] = table[c][iOrbit];
}

// --- The series about the parabola --------------------------------------------
// tan(nu/2) and the distance factor as power series in L = lambda w^2, with w
// the root of w + w^3/3 = K (Barker's equation, exact for e = 1).

struct NearParabola {
  double q, e;
  double lambda;  // 5 (1 - e)/(1 + 9 e)
  double mu;      // sqrt((1 + 9 e)/10)
  double sigma;   // sqrt(5 (1 + e)/(1 + 9 e))
  double J;       // sqrt(2) q^1.5
};

NearParabola MakeNearParabola(double q, double e) {
  NearParabola s;
  s.q = q;
  s.e = e;
  s.lambda = 5.0 * (1.0 - e) / (1.0 + 9.0 * e);
  s.mu = std::sqrt((1.0 + 9.0 * e) / 10.0);
  s.sigma = std::sqrt(5.0 * (1.0 + e) / (1.0 + 9.0 * e));
  s.J = std::sqrt(2.0) * std::pow(q, 1.5);
  return s;
}

// K for the time dt since perihelion (days) and the current Z.
double SeriesK(const NearParabola& s, double dtDays, double Z) { return dtDays * kGaussK * s.mu * Z / s.J; }

// Newton's method for w + w^3/3 = K from w = 1; false when it does not settle
// within maxSteps steps of at most tol.
bool SolveBarkerW(double K, double tol, int maxSteps, double& w) {
  w = 1.0;
  for (int i = 0; i < maxSteps; ++i) {
    const double next = (2.0 * w * w * w / 3.0 + K) / (w * w + 1.0);
    const double step = std::fabs(next - w);
    w = next;
    if (step <= tol) return true;
    if (!std::isfinite(w)) return false;
  }
  return false;
}

double SeriesZ(double L) {
  const double L2 = L * L, L3 = L2 * L, L4 = L3 * L, L5 = L4 * L, L6 = L5 * L, L7 = L6 * L;
  return 1.0 - 0.017142857 * L2 - 0.003809524 * L3 - 0.001104267 * L4 - 0.000367358 * L5 -
         0.000131675 * L6 - 0.000049577 * L7;
}

constexpr double kSeriesToleranceAu = 1e-11;

struct SeriesPoint {
  double tau;   // tan(nu/2)
  double rho0;  // distance factor: r = rho0 (1 + tau^2)
  double pos[3];
};

void SeriesPosition(const NearParabola& s, double w, double L, const double P[3], const double Q[3],
                    SeriesPoint& out) {
  const double L2 = L * L, L3 = L2 * L, L4 = L3 * L, L5 = L4 * L, L6 = L5 * L, L7 = L6 * L;
  out.tau = s.sigma * w *
            (1.0 + 0.4 * L + 0.21714286 * L2 + 0.12495238 * L3 + 0.07339814 * L4 + 0.0435161 * L5 +
             0.02592289 * L6 + 0.01548368 * L7);
  out.rho0 = s.q * (1.0 - L + 0.2 * L2 + 0.00571429 * L3 + 0.00495238 * L4 + 0.00132888 * L5 +
                    0.00048295 * L6 + 0.00017652 * L7);
  Combine(out.rho0 * (1.0 - out.tau * out.tau), P, 2.0 * out.rho0 * out.tau, Q, out.pos);
}

double SeriesErrorBound(double L) {
  const double L2 = L * L, L4 = L2 * L2, L8 = L4 * L4;
  return 0.05 * L8 + 1.5e-8 * L2;
}

// Whether the truncated series is exact to about 1e-11 AU at this point. Its
// relative error, measured against an exact solution over 0.97 < e <= 1.2,
// is below 0.025 L^8 (the omitted terms) plus 6e-9 L^2 (the coefficients are
// printed to eight or nine digits); the bound takes twice that, times r. Far
// from perihelion L is large and the series settles on a wrong answer.
bool SeriesIsExact(double L, const SeriesPoint& pt) {
  const double r = pt.rho0 * (1.0 + pt.tau * pt.tau);
  if (!std::isfinite(r) || !(pt.rho0 > 0.0)) return false;
  return SeriesErrorBound(L) * r <= kSeriesToleranceAu;
}

// An L so large that the series cannot be exact even at perihelion (r >= q):
// its loops give up at once instead of iterating towards a useless answer.
bool SeriesHopeless(const NearParabola& s, double L) {
  return !(SeriesErrorBound(L) * s.q <= 10.0 * kSeriesToleranceAu);
}

void SeriesVelocity(const NearParabola& s, double tau, const double P[3], const double Q[3], double vel[3]) {
  const double p = s.q * (1.0 + s.e);
  const double t2 = tau * tau;
  const double cosNu = (1.0 - t2) / (1.0 + t2);
  const double sinNu = 2.0 * tau / (1.0 + t2);
  const double f = kGaussK / std::sqrt(p);
  Combine(-f * sinNu, P, f * (s.e + cosNu), Q, vel);
}

// Heliocentric state dt days after perihelion by the series with the strict
// tolerances of the state solvers (no light time). False when it does not
// settle or is not exact there; the caller then uses universal variables.
bool SeriesState(double dtDays, double q, double e, double lTol, const double P[3], const double Q[3],
                 double pos[3], double vel[3]) {
  if (!(q > 0.0)) return false;
  const NearParabola s = MakeNearParabola(q, e);
  double Z = 1.0, Lprev = 0.0;
  for (int pass = 0; pass < 10000; ++pass) {
    double w;
    if (!SolveBarkerW(SeriesK(s, dtDays, Z), 1e-11, 10000, w)) return false;
    const double L = s.lambda * w * w;
    if (SeriesHopeless(s, L)) return false;
    Z = SeriesZ(L);
    if (std::fabs(L - Lprev) > lTol) {
      Lprev = L;
      continue;
    }
    SeriesPoint pt;
    SeriesPosition(s, w, L, P, Q, pt);
    if (!SeriesIsExact(L, pt)) return false;
    for (int i = 0; i < 3; ++i) pos[i] = pt.pos[i];
    if (vel) SeriesVelocity(s, pt.tau, P, Q, vel);
    return true;
  }
  return false;
}

// --- Kepler's equation (elliptic) ----------------------------------------------

// Mean anomaly in [-pi, pi] from a fmod into (-2 pi, 2 pi).
double ReduceMeanAnomaly(double M) {
  M = std::fmod(M, kTwoPi);
  if (M > kPi) M -= kTwoPi;
  else if (M < -kPi) M += kTwoPi;
  return M;
}


// Light time from a position and the observer's Sun vector.
double ObserverDistance(const double pos[3], const double sunAu[3], double observer[3]) {
  for (int i = 0; i < 3; ++i) observer[i] = pos[i] + sunAu[i];
  return Norm(observer);
}

// The near-parabolic branch of TwoBodyGeocentricPosition; false hands over to
// universal variables.
bool GeocentricSeries(double jdT, double q, double e, const double P[3], const double Q[3], double jdTT,
                      const double sunAu[3], double pos[3], double rho[3], double& nu) {
  if (!(q > 0.0)) return false;
  const NearParabola s = MakeNearParabola(q, e);
  double Z = 1.0, Lprev = 0.0, delta = 0.0, deltaPrev = 0.0;
  for (int ltPass = 0; ltPass < 100; ++ltPass) {
    const double dt = jdTT - kLightTimeDaysPerAu * delta - jdT;
    double w = 0.0, L = 0.0;
    bool settled = false;
    for (int inner = 0; inner < 100 && !settled; ++inner) {
      if (!SolveBarkerW(SeriesK(s, dt, Z), 1e-5, 100, w)) return false;
      L = s.lambda * w * w;
      if (SeriesHopeless(s, L)) return false;
      Z = SeriesZ(L);
      if (std::fabs(L - Lprev) > 1e-6)
        Lprev = L;
      else
        settled = true;
    }
    if (!settled) return false;
    SeriesPoint pt;
    SeriesPosition(s, w, L, P, Q, pt);
    if (!SeriesIsExact(L, pt)) return false;
    const double d = ObserverDistance(pt.pos, sunAu, rho);
    for (int i = 0; i < 3; ++i) pos[i] = pt.pos[i];
    nu = 2.0 * std::atan(pt.tau);
    if (!(std::fabs(d - deltaPrev) >= 1e-6)) return true;
    delta = deltaPrev = d;
  }
  return false;
}

// The elliptic branch of TwoBodyGeocentricPosition: Kepler's equation by the
// fixed-point iteration, carried from one light-time pass to the next. After
// the 100th pass the last position stands. False only when the iteration
// does not settle (rounding near e = 0.97); universal variables then answer.
bool GeocentricElliptic(double jdT, double q, double e, const double P[3], const double Q[3], double jdTT,
                        const double sunAu[3], double pos[3], double rho[3], double& nu) {
  const double a = q / (1.0 - e);
  const double n = kGaussK / std::pow(a, 1.5);
  const double b = std::sqrt(1.0 - e * e);
  double delta = 1.0, x = 0.0;
  for (int pass = 0; pass < 100; ++pass) {
    const double M = ReduceMeanAnomaly((jdTT - kLightTimeDaysPerAu * delta - jdT) * n);
    if (!SolveKeplerFixedPoint(M, e, 1e-13, 2000, x)) return false;
    const double E = M + x;
    const double sinE = std::sin(E), cosE = std::cos(E);
    nu = std::atan2(b * sinE, cosE - e);
    Combine(a * (cosE - e), P, a * b * sinE, Q, pos);
    const double d = ObserverDistance(pos, sunAu, rho);
    const bool settled = std::fabs(d - delta) < 1e-10;
    delta = d;
    if (settled) break;
  }
  return true;
}

// c3 as the sum of (-x)^k/(2k+3)! for |x| < 1: there sqrt(x) - sin(sqrt(x))
// cancels (to about 1e-9 relative near x = 1e-6).
double StumpffC3Series(double x) {
  double term = 1.0 / 6.0, sum = term;
  for (int k = 1; k < 12; ++k) {
    term *= -x / ((2.0 * k + 2.0) * (2.0 * k + 3.0));
    sum += term;
  }
  return sum;
}

// Universal variables wrapped in the light-time iteration from a first
// distance: stops when the distance moves by less than 1e-10 AU; false after
// 100 passes or when the solution fails.
bool UniversalWithLightTime(double jdTT, double jdT, double q, double e, const double P[3], const double Q[3],
                            const double sunAu[3], double delta, double helio[3], double observer[3],
                            double& deltaOut) {
  for (int pass = 0; pass < 100; ++pass) {
    if (PropagateUniversal(jdTT - kLightTimeDaysPerAu * delta - jdT, q, e, P, Q, helio, nullptr) != 0)
      return false;
    const double d = ObserverDistance(helio, sunAu, observer);
    const bool settled = std::fabs(d - delta) < 1e-10;
    delta = d;
    if (settled) {
      deltaOut = d;
      return true;
    }
  }
  return false;
}

}  // namespace

bool SolveKeplerFixedPoint(double M, double e, double tol, int maxIter, double& x) {
  for (int i = 0; i < maxIter; ++i) {
    const double next = e * std::sin(M + x);
    const double change = std::fabs(next - x);
    x = next;
    if (change < tol) return true;
  }
  return false;
}

void StumpffC2C3(double x, double& c2, double& c3) {
  if (x > 1e-6) {
    const double sx = std::sqrt(x);
    // 1 - cos(sx) as 2 sin^2(sx/2): no cancellation for small x.
    const double h = std::sin(0.5 * sx);
    c2 = 2.0 * h * h / x;
    c3 = x < 1.0 ? StumpffC3Series(x) : (sx - std::sin(sx)) / (x * sx);
  } else if (x < -1e-6) {
    const double y = -x;
    const double sy = std::sqrt(y);
    const double h = std::sinh(0.5 * sy);
    c2 = 2.0 * h * h / y;
    c3 = y < 1.0 ? StumpffC3Series(x) : (std::sinh(sy) - sy) / (y * sy);
  } else {
    c2 = 0.5 - x / 24.0 + x * x / 720.0;
    c3 = 1.0 / 6.0 - x / 120.0 + x * x / 5040.0;
  }
}

int PropagateUniversal(double tauDays, double qAu, double e, const double P[3], const double Q[3],
                       double posAu[3], double velAuPerDay[3]) {
  const double q = qAu;
  if (!(q > 0.0)) return -1;
  const double alpha = (1.0 - e) / q;
  const double kt = kGaussK * tauDays;
  auto F = [&](double s, double& dF) {
    double c2, c3;
    StumpffC2C3(alpha * s * s, c2, c3);
    dF = q + e * s * s * c2;
    return q * s + e * s * s * s * c3 - kt;
  };

  double s0 = kt / q;
  if (e > 1e-12) {
    const double cube = std::cbrt(6.0 * kt / e);
    if (std::fabs(cube) < std::fabs(s0)) s0 = cube;
  }

  double h = std::fabs(s0) + 1.0;
  double lower = s0 - h, upper = s0 + h, dF;
  int expansions = 0;
  while (F(lower, dF) > 0.0) {
    if (++expansions > 300) return -1;
    h *= 2.0;
    upper = lower;
    lower -= h;
  }
  expansions = 0;
  while (F(upper, dF) < 0.0) {
    if (++expansions > 300) return -1;
    h *= 2.0;
    lower = upper;
    upper += h;
  }

  double s = 0.5 * (lower + upper);
  const double tol = (std::fabs(kt) + q) * 1e-13;
  for (int i = 0; i < 200; ++i) {
    const double f = F(s, dF);
    if (std::fabs(f) <= tol) break;
    if (f > 0.0)
      upper = s;
    else
      lower = s;
    double next = s - f / dF;
    if (!(dF > 1e-300 && dF < 1e300) || !(next > lower && next < upper)) next = 0.5 * (lower + upper);
    s = next;
    if (upper - lower <= std::fabs(s) * 1e-15 + 1e-300) break;
  }

  const double f = F(s, dF);
  if (!(std::fabs(f) <= (std::fabs(kt) + q) * 1e-9) || !(dF > 0.0)) return -1;

  double c2, c3;
  StumpffC2C3(alpha * s * s, c2, c3);
  const double vq = kGaussK * std::sqrt((1.0 + e) / q);
  Combine(q - s * s * c2, P, vq * (tauDays - s * s * s * c3 / kGaussK), Q, posAu);
  if (velAuPerDay) {
    const double r = dF;
    Combine(-kGaussK * s * (1.0 - alpha * s * s * c3) / r, P, vq * (1.0 - s * s * c2 / r), Q, velAuPerDay);
  }
  return 0;
}

int ElementsToState(double jdTT, double jdT, double qAu, double e, const double P[3], const double Q[3],
                    double posAu[3], double velAuPerDay[3]) {
  const double dt = jdTT - jdT;
  if (e <= kSeriesMaxE && SeriesState(dt, qAu, e, 1e-15, P, Q, posAu, velAuPerDay)) return 0;
  return PropagateUniversal(dt, qAu, e, P, Q, posAu, velAuPerDay);
}

int TwoBodyStateLightTime(double jdTT, double jdT, double qAu, double e, const double P[3],
                          const double Q[3], double deltaAu, double posAu[3], double velAuPerDay[3]) {
  const double dt = jdTT - kLightTimeDaysPerAu * deltaAu - jdT;
  if (e <= kEllipticMaxE) {
    const double a = qAu / (1.0 - e);
    const double M = ReduceMeanAnomaly(kGaussK * dt / std::pow(a, 1.5));
    double x = 0.0;
    // For e near 0.97 rounding can keep the iteration from ever moving by
    // less than 1e-15 (its contraction is e |cos E|): the orbit is solvable,
    // so universal variables answer instead of a failure.
    if (!SolveKeplerFixedPoint(M, e, 1e-15, 10000, x))
      return PropagateUniversal(dt, qAu, e, P, Q, posAu, velAuPerDay);
    const double E = M + x;
    const double sinE = std::sin(E), cosE = std::cos(E);
    const double b = std::sqrt(1.0 - e * e);
    Combine(a * (cosE - e), P, a * b * sinE, Q, posAu);
    if (velAuPerDay) {
      const double r = Norm(posAu);
      const double f = kGaussK / (r * std::sqrt(a));
      Combine(-f * a * sinE, P, f * a * b * cosE, Q, velAuPerDay);
    }
    return 0;
  }
  if (e <= kSeriesMaxE && SeriesState(dt, qAu, e, 1e-11, P, Q, posAu, velAuPerDay)) return 0;
  return PropagateUniversal(dt, qAu, e, P, Q, posAu, velAuPerDay);
}

int TwoBodyGeocentricPositionUniversal(double jdTT, double jdT, double qAu, double e, const double P[3],
                                       const double Q[3], const double sunAu[3], double helioAu[3],
                                       double observerAu[3], double& deltaAu, double& trueAnomalyRad) {
  if (!UniversalWithLightTime(jdTT, jdT, qAu, e, P, Q, sunAu, 0.0, helioAu, observerAu, deltaAu)) return -1;
  trueAnomalyRad = std::atan2(Dot(helioAu, Q), Dot(helioAu, P));
  return 0;
}

int TwoBodyGeocentricPosition(double jdT, double qAu, double e, const double P[3], const double Q[3],
                              double jdTT, const double sunAu[3], double& raRad, double& decRad,
                              double& deltaAu, double& rAu, double& trueAnomalyRad) {
  double pos[3], rho[3], nu = 0.0;
  bool solved = false;
  if (e <= kEllipticMaxE)
    solved = GeocentricElliptic(jdT, qAu, e, P, Q, jdTT, sunAu, pos, rho, nu);
  else if (e <= kSeriesMaxE)
    solved = GeocentricSeries(jdT, qAu, e, P, Q, jdTT, sunAu, pos, rho, nu);
  if (!solved) {
    double delta;
    if (TwoBodyGeocentricPositionUniversal(jdTT, jdT, qAu, e, P, Q, sunAu, pos, rho, delta, nu) != 0)
      return -1;
  }
  SkyAngles(rho, raRad, decRad);
  rAu = Norm(pos);
  deltaAu = Norm(rho);
  trueAnomalyRad = nu;
  return 0;
}

int TwoBodyPositionForObserverUniversal(int iOrbit, double jdTT, double jdT, double qAu, double e,
                                        const TrialOrbitVectors& Ptab, const TrialOrbitVectors& Qtab,
                                        const double sunAu[3], double helioAu[3], double observerAu[3]) {
  double P[3], Q[3], delta;
  TrialVectors(Ptab, iOrbit, P);
  TrialVectors(Qtab, iOrbit, Q);
  return UniversalWithLightTime(jdTT, jdT, qAu, e, P, Q, sunAu, 1.0, helioAu, observerAu, delta) ? 0 : -1;
}

int TwoBodyPositionForObserver(int iOrbit, double jdTT, double jdT, double qAu, double e,
                               const TrialOrbitVectors& Ptab, const TrialOrbitVectors& Qtab,
                               const double sunAu[3], double helioAu[3], double observerAu[3]) {
  if (e <= kSeriesMaxE && qAu > 0.0) {
    double P[3], Q[3];
    TrialVectors(Ptab, iOrbit, P);
    TrialVectors(Qtab, iOrbit, Q);
    const NearParabola s = MakeNearParabola(qAu, e);
    double Z = 1.0, Lprev = 0.0, delta = 1.0;
    // One loop for both iterations: a pass whose L still moves only updates
    // L' and Z; a settled pass computes the position and tests the light time.
    for (int pass = 0; pass < 10000; ++pass) {
      double w;
      if (!SolveBarkerW(SeriesK(s, jdTT - kLightTimeDaysPerAu * delta - jdT, Z), 1e-11, 10000, w)) break;
      const double L = s.lambda * w * w;
      if (SeriesHopeless(s, L)) break;
      if (std::fabs(L - Lprev) > 1e-11) {
        Lprev = L;
        Z = SeriesZ(L);
        continue;
      }
      SeriesPoint pt;
      SeriesPosition(s, w, L, P, Q, pt);
      if (!SeriesIsExact(L, pt)) break;
      const double d = ObserverDistance(pt.pos, sunAu, observerAu);
      for (int i = 0; i < 3; ++i) helioAu[i] = pt.pos[i];
      if (std::fabs(d - delta) < 1e-10) return 0;
      delta = d;
      Z = SeriesZ(L);
    }
  }
  return TwoBodyPositionForObserverUniversal(iOrbit, jdTT, jdT, qAu, e, Ptab, Qtab, sunAu, helioAu, observerAu);
}

// Gauss's equations y^2 = m/(l + x) and y^3 - y^2 = h (y + 1/9) with
// h = m/(l + 5/6 + xi), xi = 2/35 x^2 + 52/1575 x^3 + ... (Gauss's series).
int GaussSectorTriangleRatio(double r1Au, double r2Au, double kappa, double tau, double& y) {
  const double m = tau * tau / (kappa * kappa * kappa);
  const double l = ((r1Au + r2Au) / kappa - 1.0) / 2.0;
  double xi = 0.0, yv = 1.0, yPrev = 0.0;
  for (int outer = 0; outer < 500; ++outer) {
    const double h = m / (l + 5.0 / 6.0 + xi);
    bool settled = false;
    for (int i = 0; i < 500; ++i) {
      const double next = 1.0 + (yv + 1.0 / 9.0) * h / (yv * yv);
      const double step = std::fabs(next - yv);
      yv = next;
      if (step <= 1e-8) {
        settled = true;
        break;
      }
    }
    if (!settled) return -1;
    const double x = m / (yv * yv) - l;
    if (std::fabs(yv - yPrev) <= 1e-8) {
      y = yv;
      return 0;
    }
    const double x2 = x * x, x3 = x2 * x, x4 = x3 * x, x5 = x4 * x, x6 = x5 * x;
    xi = 0.057142857143 * x2 + 0.033015873016 * x3 + 0.02055686271 * x4 + 0.013492336235 * x5 +
         0.009249235541 * x6;
    yPrev = yv;
  }
  return -1;
}

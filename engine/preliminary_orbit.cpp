#include "engine/preliminary_orbit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/two_body.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"

namespace {

constexpr double k = kGaussK;
constexpr double c = kLightTimeDaysPerAu;
constexpr int kGaussPassLimit = 500;
// Gauss's near-parabolic series, truncated after A⁷, holds a place to 1e-11
// of the distance up to |A| = 0.1 and goes wrong quickly beyond (arcseconds
// at e = 1.2 a hundred days after perihelion); there the exact
// universal-variable solution gives the place.
constexpr double kSeriesLimitA = 0.1;
// Above this eccentricity the residuals come from the near-parabolic method
// and the ellipse keeps no minor axis.
constexpr double kNearParabolicE = 0.97;

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
double Norm(const double a[3]) { return std::sqrt(Dot(a, a)); }
void Cross(const double a[3], const double b[3], double out[3]) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

// Direction, observer-to-Sun vector of pick n from the work area.
void Direction(const DetClass* det, int n, double L[3]) {
  for (int i = 0; i < 3; ++i) L[i] = det->m_dDirCos[i][n];
}
void SunVector(const DetClass* det, int n, double R[3]) {
  for (int i = 0; i < 3; ++i) R[i] = det->m_dSun[i][n];
}

// Fills the direction cosines and the terms of r_n² = ρ² + ρ m_dLinCoef + R².
// The parabolic method keeps R² in m_dSunTerm, the general method |R|.
void FillDirections(DetClass* det, bool squaredSunTerm) {
  for (int n = 0; n < 3; ++n) {
    const ObservationRecord& p = det->m_aPick[n];
    const double cosDec = std::cos(p.m_dDec);
    det->m_dDirCos[0][n] = cosDec * std::cos(p.m_dRa);
    det->m_dDirCos[1][n] = cosDec * std::sin(p.m_dRa);
    det->m_dDirCos[2][n] = std::sin(p.m_dDec);
    double L[3], R[3];
    Direction(det, n, L);
    SunVector(det, n, R);
    det->m_dLinCoef[n] = -2.0 * Dot(L, R);
    const double R2 = Dot(R, R);
    det->m_dSunTerm[n] = squaredSunTerm ? R2 : std::sqrt(R2);
  }
}

// 40-day grid point nearest T (JD TT).
double EpochNearT(double T) {
  double epoch = 40.0 * std::trunc(T / 40.0) + 0.5;
  if (T - epoch > 20.0) epoch += 40.0;
  return epoch;
}

}  // namespace

bool SolveBarker(double w, double tolerance, bool relative, int maxSteps, double& sigma) {
  double s = 1.0;
  for (int i = 0; i < maxSteps; ++i) {
    const double next = (2.0 * s * s * s / 3.0 + w) / (s * s + 1.0);
    const double change = std::fabs(next - s);
    s = next;
    // Beyond |σ| = 1 an absolute step of 1e-14 can lie below the spacing of
    // doubles, and Newton's rule then ends in a two-point cycle that never
    // meets it (from |σ| = 64, e.g. q = 0.005 AU 3000 days from perihelion):
    // the step is measured against |σ| there.
    const double limit = relative ? (std::fabs(s) + 1.0) * tolerance : std::max(1.0, std::fabs(s)) * tolerance;
    if (change <= limit) {
      sigma = s;
      return true;
    }
  }
  return false;
}

namespace {

void ComputedPlace(const double rho[3], double& raRad, double& decRad) {
  raRad = std::atan2(rho[1], rho[0]);
  decRad = std::atan(rho[2] / std::sqrt(rho[0] * rho[0] + rho[1] * rho[1]));
}

struct SavedElements {
  explicit SavedElements(const ElementBlock& el) : m_el(el) {}
  void RestoreInto(ElementBlock& el) const {
    el.m_dT = m_el.m_dT;
    el.m_dQ = m_el.m_dQ;
    el.m_dE = m_el.m_dE;
    el.m_dPeri = m_el.m_dPeri;
    el.m_dNode = m_el.m_dNode;
    el.m_dIncl = m_el.m_dIncl;
    for (int i = 0; i < 3; ++i) {
      el.m_dP[i] = m_el.m_dP[i];
      el.m_dQvec[i] = m_el.m_dQvec[i];
    }
    el.m_dA = m_el.m_dA;
    el.m_dM = m_el.m_dM;
    el.m_dN = m_el.m_dN;
    el.m_dEpoch = m_el.m_dEpoch;
  }
  ElementBlock m_el;
};

// The residuals of every observation, put back when a determination fails
// so that the list never shows those of an orbit that was not kept.
class SavedResiduals {
public:
  explicit SavedResiduals(const ObservationRecord* obs) {
    for (int i = 0; obs && obs[i].m_dJdUtc != -1.0; ++i) m_pairs.push_back({obs[i].m_dResRa, obs[i].m_dResDec});
  }
  void RestoreInto(ObservationRecord* obs) const {
    for (size_t i = 0; i < m_pairs.size(); ++i) {
      obs[i].m_dResRa = m_pairs[i][0];
      obs[i].m_dResDec = m_pairs[i][1];
    }
  }

private:
  std::vector<std::array<double, 2>> m_pairs;
};

// ρ1 and ρ3 of the Gauss–Merton pass from κ1 ρ1 L1 + κ3 ρ3 L3 = V. The x and y
// components give them as the method always took them, dividing by λ1 and by
// μ1 λ3 - μ3 λ1. When either is (nearly) zero (a first pick at α = 6h or 18h,
// where cos α is 6e-17 and the quotient is noise, or L1 and L3 with parallel
// x-y projections) the solution comes from the components normal to L1 × L3.
constexpr double kMinXyDivisor = 1e-6;
void SolveOuterDistances(const double L1[3], const double L3[3], double kappa1, double kappa3, const double V[3],
                         double& rho1, double& rho3) {
  const double cross13 = L1[1] * L3[0] - L3[1] * L1[0];
  if (std::fabs(cross13) >= kMinXyDivisor && std::fabs(L1[0]) >= kMinXyDivisor) {
    rho3 = (L1[1] * V[0] - L1[0] * V[1]) / (kappa3 * cross13);
    rho1 = (V[0] - kappa3 * rho3 * L3[0]) / (kappa1 * L1[0]);
    return;
  }
  double n13[3], vx3[3], l1xv[3];
  Cross(L1, L3, n13);
  Cross(V, L3, vx3);
  Cross(L1, V, l1xv);
  const double nn = Dot(n13, n13);
  rho1 = Dot(vx3, n13) / nn / kappa1;
  rho3 = Dot(l1xv, n13) / nn / kappa3;
}

}  // namespace

std::string PrelimFailureText(int place) {
  return FormatC("解が求まらなかったので計算を中止しました[%d]", place);
}

void ResidualPair(double obsRaRad, double obsDecRad, double raRad, double decRad, double& resRaRad,
                  double& resDecRad) {
  double dRa = std::fmod(obsRaRad - raRad, kTwoPi);
  if (dRa > kPi) dRa -= kTwoPi;
  if (dRa < -kPi) dRa += kTwoPi;
  resRaRad = dRa * std::cos(decRad);
  resDecRad = obsDecRad - decRad;
}

// ---- the determination ----

int DetermineInitialOrbit(DetClass* det, OrbitEngine* engine) {
  ElementBlock& el = engine->m_state.m_el;
  const SavedElements saved(el);
  for (ObservationRecord& pick : det->m_aPick) pick = ObservationRecord{};

  const ObservationRecord* obs = det->m_pOrbObs;
  if (!obs || obs[0].m_dJdUtc == -1.0) {
    det->m_strError = kMsgWrongPicks;
    return -1;
  }
  int picked = 0;
  for (int i = 0; obs[i].m_dJdUtc != -1.0; ++i) {
    if (obs[i].m_bPicked != 1) continue;
    if (picked < 3) {
      ObservationRecord& pick = det->m_aPick[picked];
      pick.m_dJdUtc = obs[i].m_dJdUtc;
      pick.m_dJdTt = obs[i].m_dJdTt;
      pick.m_dRa = obs[i].m_dRa;
      pick.m_dDec = obs[i].m_dDec;
      for (int j = 0; j < 3; ++j) pick.m_dSun[j] = obs[i].m_dSun[j];
    }
    ++picked;
  }
  if (picked != 3) {
    det->m_strError = kMsgWrongPicks;
    return -1;
  }
  for (int n = 0; n < 3; ++n)
    for (int i = 0; i < 3; ++i) det->m_dSun[i][n] = det->m_aPick[n].m_dSun[i];
  const SavedResiduals savedResiduals(obs);

  int result;
  if (det->m_bParabolicMethod != 0) {
    el.m_dE = 1.0;
    FillDirections(det, true);
    double R1[3], R2[3], R3[3], L1[3], L2[3], L3[3], r2xl2[3];
    SunVector(det, 0, R1);
    SunVector(det, 1, R2);
    SunVector(det, 2, R3);
    Direction(det, 0, L1);
    Direction(det, 1, L2);
    Direction(det, 2, L3);
    for (int i = 0; i < 3; ++i) det->m_dSunChord[i] = R3[i] - R1[i];
    det->m_dSunChord2 = Dot(det->m_dSunChord, det->m_dSunChord);
    Cross(R2, L2, r2xl2);
    det->m_dOlbersRatio = Dot(L1, r2xl2) / Dot(L3, r2xl2);
    det->m_dRatioAnchor = 0.0;
    const double t1 = det->m_aPick[0].m_dJdTt, t2 = det->m_aPick[1].m_dJdTt, t3 = det->m_aPick[2].m_dJdTt;
    det->m_dTau = k * (t3 - t1);
    det->m_dTimeRatio = (t3 - t2) / (t2 - t1);
    result = BanachiewiczParabola(det, engine);
  } else {
    result = GaussMertonOrbit(det, engine);
  }
  if (result != 0) {
    saved.RestoreInto(el);
    savedResiduals.RestoreInto(det->m_pOrbObs);
  }
  return result;
}

int GaussMertonOrbit(DetClass* det, OrbitEngine* engine) {
  ElementBlock& el = engine->m_state.m_el;
  FillDirections(det, false);
  double L[3][3], R[3][3], t[3];
  for (int n = 0; n < 3; ++n) {
    Direction(det, n, L[n]);
    SunVector(det, n, R[n]);
    t[n] = det->m_aPick[n].m_dJdTt;
  }

  double N[3], d[3];
  Cross(L[2], L[0], N);
  const double C = -Dot(L[1], N);
  for (int n = 0; n < 3; ++n) d[n] = Dot(R[n], N);
  const double tau1 = k * (t[2] - t[1]), tau2 = k * (t[2] - t[0]), tau3 = k * (t[1] - t[0]);
  double a1 = tau1 / tau2, a3 = tau3 / tau2;
  double b1 = (1.0 + a1) * tau1 * tau3 / 6.0, b3 = (1.0 + a3) * tau1 * tau3 / 6.0;
  double rho2 = (a1 * d[0] - d[1] + a3 * d[2]) / C;

  double pos[3][3], r[3], tc[3];  // heliocentric positions, lengths, light-time corrected times
  double y1 = 0, y2 = 0, y3 = 0;
  bool converged = false;
  for (int pass = 0; pass < kGaussPassLimit && !converged; ++pass) {
    if (engine->m_nCancel == 1) return -9;
    Ui().PumpOneEvent();

    const double A = (a1 * d[0] - d[1] + a3 * d[2]) / C;
    const double B = (b1 * d[0] + b3 * d[2]) / C;
    double r2 = 0.0;
    bool settled = false;
    for (int i = 0; i < kGaussPassLimit; ++i) {
      r2 = std::sqrt(rho2 * rho2 + rho2 * det->m_dLinCoef[1] + det->m_dSunTerm[1] * det->m_dSunTerm[1]);
      const double next = A + B / (r2 * r2 * r2);
      const double change = std::fabs(next - rho2);
      rho2 = next;
      if (change <= 1e-7) {
        settled = true;
        break;
      }
    }
    det->m_dRhoIter = rho2;
    if (!settled) return -1;

    const double r2cube = r2 * r2 * r2;
    const double kappa1 = a1 + b1 / r2cube, kappa3 = a3 + b3 / r2cube;
    double V[3];
    for (int i = 0; i < 3; ++i) V[i] = kappa1 * R[0][i] - R[1][i] + kappa3 * R[2][i] + rho2 * L[1][i];
    double rho1, rho3;
    SolveOuterDistances(L[0], L[2], kappa1, kappa3, V, rho1, rho3);
    det->m_dRho[0] = rho1;
    det->m_dRho[1] = rho2;
    det->m_dRho[2] = rho3;
    if (!std::isfinite(rho1) || !std::isfinite(rho3)) return -1;

    for (int n = 0; n < 3; ++n) {
      for (int i = 0; i < 3; ++i) pos[n][i] = det->m_dRho[n] * L[n][i] - R[n][i];
      r[n] = Norm(pos[n]);
      tc[n] = t[n] - c * det->m_dRho[n];
    }
    auto ratio = [&](int a, int b, double tauAB, double& y) {
      const double kappa = std::sqrt(2.0 * (r[a] * r[b] + Dot(pos[a], pos[b])));
      return GaussSectorTriangleRatio(r[a], r[b], kappa, tauAB, y) == 0;
    };
    if (!ratio(1, 2, k * (tc[2] - tc[1]), y1) || !ratio(0, 2, k * (tc[2] - tc[0]), y2) ||
        !ratio(0, 1, k * (tc[1] - tc[0]), y3))
      return -1;

    const double a1c = (tc[2] - tc[1]) / (tc[2] - tc[0]);
    const double a3c = (tc[1] - tc[0]) / (tc[2] - tc[0]);
    if (std::fabs(y2 * a1c / y1 - kappa1) <= 1e-12 && std::fabs(y2 * a3c / y3 - kappa3) <= 1e-12) {
      converged = true;
      break;
    }
    b1 = (y2 / y1 - 1.0) * a1c * r2cube;
    b3 = (y2 / y3 - 1.0) * a3c * r2cube;
    a1 = a1c;
    a3 = a3c;
  }
  if (!converged) return -1;

  // Elements from the first and third positions.
  const double tau2c = k * (tc[2] - tc[0]);
  const double K = Dot(pos[0], pos[2]) / (r[0] * r[0]);
  double r0[3];
  for (int i = 0; i < 3; ++i) r0[i] = pos[2][i] - K * pos[0][i];
  const double r0Len = Norm(r0);
  const double sinF = r0Len / r[2], cosF = K * r[0] / r[2];
  const double pv = y2 * r[0] * r0Len / tau2c;
  const double p = pv * pv;
  const double eCos1 = p / r[0] - 1.0;
  const double eSin1 = ((p / r[0] - 1.0) * cosF - (p / r[2] - 1.0)) / sinF;
  const double theta1 = std::atan2(eSin1, eCos1);
  const double e = std::sqrt(eSin1 * eSin1 + eCos1 * eCos1);
  const double theta3 = theta1 + std::atan2(sinF, cosF);

  double n = 0.0, b = 0.0;
  el.m_dE = e;
  if (e == 1.0) {
    ParabolaFromTwoPositions(el, theta1, theta3, r[0], r[2], tc[0], tc[2]);
  } else {
    double M1, M3;
    if (e < 1.0) {
      const double V = kPi / 4.0 - 0.5 * std::atan(e / std::sqrt(1.0 - e * e));
      const double E1 = 2.0 * std::atan2(std::sin(theta1 / 2.0) * std::sin(V), std::cos(theta1 / 2.0) * std::cos(V));
      const double E3 = 2.0 * std::atan2(std::sin(theta3 / 2.0) * std::sin(V), std::cos(theta3 / 2.0) * std::cos(V));
      M1 = E1 - e * std::sin(E1);
      M3 = E3 - e * std::sin(E3);
    } else {
      const double V = 0.5 * std::atan(std::sqrt(e * e - 1.0));
      const double G1 = 2.0 * std::atan(std::sin(theta1 / 2.0) * std::sin(V) / (std::cos(theta1 / 2.0) * std::cos(V)));
      const double G3 = 2.0 * std::atan(std::sin(theta3 / 2.0) * std::sin(V) / (std::cos(theta3 / 2.0) * std::cos(V)));
      M1 = e * std::tan(G1) - std::log(std::tan(G1 / 2.0 + kPi / 4.0));
      M3 = e * std::tan(G3) - std::log(std::tan(G3 / 2.0 + kPi / 4.0));
    }
    el.m_dA = p / (1.0 - e * e);
    el.m_dQ = p / (1.0 + e);
    if (M3 < M1) M3 += kTwoPi;
    n = (M3 - M1) / (tc[2] - tc[0]);
    // On an ellipse the mean anomalies are brought, both by the same turn,
    // to the perihelion passage nearest the first pick, so that the two
    // estimates of T agree even when the arc passes aphelion. On a hyperbola
    // the mean anomaly is no angle: T follows from it as it is.
    double shift = 0.0;
    if (e < 1.0 && M1 > kPi) shift = -kTwoPi;
    el.m_dT = 0.5 * ((tc[2] - (M3 + shift) / n) + (tc[0] - (M1 + shift) / n));
    if (e <= kNearParabolicE) b = el.m_dA * std::sqrt(1.0 - e * e);
  }

  // Element epoch: after the last observation for a minor planet, nearest T otherwise.
  if (engine->m_state.m_bAsteroid == 1) {
    double tLast = 0.0;
    for (int i = 0; det->m_pOrbObs[i].m_dJdUtc != -1.0; ++i) tLast = det->m_pOrbObs[i].m_dJdTt;
    el.m_dEpoch = 40.0 * std::trunc(tLast / 40.0 + 1.0) + 0.5;
  } else {
    el.m_dEpoch = EpochNearT(el.m_dT);
  }

  OrientationFromPositions(el, pos[0], r0, theta1, r[0], r0Len);

  // Residuals of the picks and of every observation. Only an elliptic place
  // of an observation that cannot be computed fails the determination; a
  // pick's, or a near-parabolic place (its message stays in m_strError), keeps
  // the pair zero: which triplets succeed depends on this.
  const bool nearParabolic = e > kNearParabolicE;
  double aP[3] = {}, bQ[3] = {};
  if (!nearParabolic)
    for (int i = 0; i < 3; ++i) {
      aP[i] = el.m_dA * el.m_dP[i];
      bQ[i] = b * el.m_dQvec[i];
    }
  auto residual = [&](const ObservationRecord* records, int index, double& resRa, double& resDec) {
    double ra = 0, dec = 0;
    resRa = resDec = 0.0;
    if (nearParabolic) return NearParabolicResidual(det, records, index, el.m_dT, e, el.m_dQ, ra, dec, resRa, resDec);
    return EllipticResidual(records, index, n, el.m_dT, e, aP, bQ, ra, dec, resRa, resDec);
  };
  for (int m = 0; m < 3; ++m) {
    residual(det->m_aPick, m, det->m_dPickResRa[m], det->m_dPickResDec[m]);
    det->m_aPick[m].m_dResRa = det->m_dPickResRa[m];
    det->m_aPick[m].m_dResDec = det->m_dPickResDec[m];
  }
  ObservationRecord* obs = det->m_pOrbObs;
  for (int i = 0; obs[i].m_dJdUtc != -1.0; ++i)
    if (residual(obs, i, obs[i].m_dResRa, obs[i].m_dResDec) != 0 && !nearParabolic) return -1;
  return 0;
}

void ParabolaFromTwoPositions(ElementBlock& el, double theta1Rad, double theta3Rad, double r1Au, double r3Au,
                              double t1TT, double t3TT) {
  const double c1 = std::cos(theta1Rad / 2.0), c3 = std::cos(theta3Rad / 2.0);
  const double q = 0.5 * (r1Au * c1 * c1 + r3Au * c3 * c3);
  const double s1 = std::tan(theta1Rad / 2.0), s3 = std::tan(theta3Rad / 2.0);
  const double h = std::sqrt(2.0) * std::pow(q, 1.5) / k;
  el.m_dQ = q;
  el.m_dT = 0.5 * ((t3TT - (s3 + s3 * s3 * s3 / 3.0) * h) + (t1TT - (s1 + s1 * s1 * s1 / 3.0) * h));
  el.m_dEpoch = EpochNearT(el.m_dT);
}

void OrientationFromPositions(ElementBlock& el, const double r1Au[3], const double r0Au[3], double theta1Rad,
                              double r1LenAu, double r0LenAu) {
  const double ct = std::cos(theta1Rad), st = std::sin(theta1Rad);
  double* P = el.m_dP;
  double* Q = el.m_dQvec;
  for (int i = 0; i < 3; ++i) {
    const double u = r1Au[i] / r1LenAu, w = r0Au[i] / r0LenAu;
    P[i] = ct * u - st * w;
    Q[i] = st * u + ct * w;
  }
  const double ce = std::cos(kObliquityJ2000Rad), se = std::sin(kObliquityJ2000Rad);
  const double Pz = P[2] * ce - P[1] * se;
  const double Qz = Q[2] * ce - Q[1] * se;

  double peri = std::atan2(Pz, Qz);
  if (peri < 0) peri += kTwoPi;
  const double cw = std::cos(peri), sw = std::sin(peri);
  double node = std::atan2((cw * P[1] - sw * Q[1]) / ce, cw * P[0] - sw * Q[0]);
  if (node < 0) node += kTwoPi;
  double incl = std::atan2(Pz / sw, -(cw * Q[0] + sw * P[0]) / std::sin(node));
  if (!std::isfinite(incl)) {
    // ω or Ω at 0 or 180°: sin i and cos i from the orbit's pole instead.
    const double Py = P[1] * ce + P[2] * se, Qy = Q[1] * ce + Q[2] * se;
    incl = std::atan2(std::sqrt(Pz * Pz + Qz * Qz), P[0] * Qy - Py * Q[0]);
  }
  if (incl < 0) incl += kTwoPi;
  el.m_dPeri = peri;
  el.m_dNode = node;
  el.m_dIncl = incl;
}

int EllipticResidual(const ObservationRecord* obs, int index, double nRadPerDay, double T, double e,
                     const double aP[3], const double bQ[3], double& raRad, double& decRad, double& resRaRad,
                     double& resDecRad) {
  const ObservationRecord& o = obs[index];
  double light = 1.0, s = 0.0;
  for (int pass = 0; pass < 10000; ++pass) {
    const double M = nRadPerDay * (o.m_dJdTt - c * light - T);
    bool solved = false;
    for (int i = 0; i < 10000; ++i) {
      const double next = e * std::sin(M + s);
      const double change = std::fabs(next - s);
      s = next;
      if (change < 1e-9) {
        solved = true;
        break;
      }
    }
    if (!solved) return -1;
    const double E = M + s;
    const double cosTerm = std::cos(E) - e, sinTerm = std::sin(E);
    double rho[3];
    for (int i = 0; i < 3; ++i) rho[i] = cosTerm * aP[i] + sinTerm * bQ[i] + o.m_dSun[i];
    const double dist = Norm(rho);
    if (std::fabs(dist - light) < 1e-8) {
      ComputedPlace(rho, raRad, decRad);
      ResidualPair(o.m_dRa, o.m_dDec, raRad, decRad, resRaRad, resDecRad);
      return 0;
    }
    light = dist;
  }
  return -2;
}

int NearParabolicResidual(DetClass* det, const ObservationRecord* obs, int index, double T, double e, double q,
                          double& raRad, double& decRad, double& resRaRad, double& resDecRad) {
  const ObservationRecord& o = obs[index];
  const ElementBlock& el = det->m_pEngine->m_state.m_el;
  const double g0 = std::sqrt((1.0 + 9.0 * e) / 10.0);
  const double f = 5.0 * (1.0 - e) / (1.0 + 9.0 * e);
  const double g = std::sqrt(5.0 * (1.0 + e) / (1.0 + 9.0 * e));
  const double h = std::sqrt(2.0) * std::pow(q, 1.5);
  double light = 1.0, m = 1.0, Aprev = 0.0;
  for (int pass = 0; pass < 10000; ++pass) {
    const double t = o.m_dJdTt - c * light - T;
    double sigma = 0.0, A = 0.0;
    bool settled = false, exact = false;
    for (int rep = 0; rep < 10000; ++rep) {
      if (!SolveBarker(m * g0 * k * t / h, 1e-14, false, 10000, sigma)) {
        det->m_strError = PrelimFailureText(kPrelimFailAnomaly);
        return -1;
      }
      A = f * sigma * sigma;
      if (std::fabs(A) > kSeriesLimitA) {
        exact = true;
        break;
      }
      const double A2 = A * A, A3 = A2 * A, A4 = A3 * A, A5 = A4 * A, A6 = A5 * A, A7 = A6 * A;
      m = 1.0 - 0.017142857 * A2 - 0.003809524 * A3 - 0.001104267 * A4 - 3.67358e-4 * A5 - 1.31675e-4 * A6 -
          4.9577e-5 * A7;
      const double change = std::fabs(A - Aprev);
      if (change <= 1e-9) {
        settled = true;
        break;
      }
      Aprev = A;
    }
    double rho[3];
    if (exact) {
      if (PropagateUniversal(t, q, e, el.m_dP, el.m_dQvec, rho, nullptr) != 0) {
        det->m_strError = PrelimFailureText(kPrelimFailSeries);
        return -1;
      }
      for (int i = 0; i < 3; ++i) rho[i] += o.m_dSun[i];
    } else {
      if (!settled) {
        det->m_strError = PrelimFailureText(kPrelimFailSeries);
        return -1;
      }
      const double A2 = A * A, A3 = A2 * A, A4 = A3 * A, A5 = A4 * A, A6 = A5 * A, A7 = A6 * A;
      const double G = q * (1.0 - A + 0.2 * A2 + 0.00571429 * A3 + 0.00495238 * A4 + 0.00132888 * A5 +
                            4.8295e-4 * A6 + 1.7652e-4 * A7);
      const double s = (1.0 + 0.4 * A + 0.21714286 * A2 + 0.12495238 * A3 + 0.07339814 * A4 + 0.0435161 * A5 +
                        0.02592289 * A6 + 0.01548368 * A7) *
                       g * sigma;
      for (int i = 0; i < 3; ++i)
        rho[i] = G * (1.0 - s * s) * el.m_dP[i] + 2.0 * G * s * el.m_dQvec[i] + o.m_dSun[i];
    }
    const double dist = Norm(rho);
    if (std::fabs(dist - light) < 1e-8) {
      ComputedPlace(rho, raRad, decRad);
      ResidualPair(o.m_dRa, o.m_dDec, raRad, decRad, resRaRad, resDecRad);
      det->m_strError.clear();
      return 0;
    }
    light = dist;
  }
  det->m_strError = PrelimFailureText(kPrelimFailLightTime);
  return -1;
}

int BanachiewiczParabola(DetClass* det, OrbitEngine* engine) {
  ElementBlock& el = engine->m_state.m_el;
  double L1[3], L2[3], L3[3], R[3][3];
  Direction(det, 0, L1);
  Direction(det, 1, L2);
  Direction(det, 2, L3);
  for (int n = 0; n < 3; ++n) SunVector(det, n, R[n]);
  const double Mf = -det->m_dOlbersRatio * det->m_dTimeRatio;
  det->m_dRho3Factor = Mf;
  double dv[3];
  for (int i = 0; i < 3; ++i) dv[i] = Mf * L3[i] - L1[i];
  const double dd = Dot(dv, dv), dChord = Dot(dv, det->m_dSunChord);

  // Euler's equation: geometric chord minus the chord the time allows.
  auto F = [&](double rho1) {
    const double rho3 = Mf * rho1;
    det->m_dRho[0] = rho1;
    det->m_dRho[2] = rho3;
    det->m_dRhoIter = rho1;
    const double r1 = std::sqrt(rho1 * rho1 + rho1 * det->m_dLinCoef[0] + det->m_dSunTerm[0]);
    const double r3 = std::sqrt(rho3 * rho3 + rho3 * det->m_dLinCoef[2] + det->m_dSunTerm[2]);
    const double eta = 2.0 * det->m_dTau / std::pow(r1 + r3, 1.5);
    const double e2 = eta * eta, e4 = e2 * e2, e6 = e4 * e2, e8 = e4 * e4, e10 = e8 * e2, e12 = e6 * e6,
                 e14 = e12 * e2;
    const double sEuler = (r1 + r3) * eta *
                          (1.0 + 0.04166667 * e2 + 0.01302083 * e4 + 0.00640191 * e6 + 0.00388336 * e8 +
                           0.00273084 * e10 + 0.00205945 * e12 + 0.00163767 * e14);
    const double sChord = std::sqrt(rho1 * rho1 * dd - 2.0 * rho1 * dChord + det->m_dSunChord2);
    return sChord - sEuler;
  };

  double rho1 = 0.1, step = 1.0, Fprev = 0.0;
  int count = 0;
  bool first = true;
  for (;;) {
    const double Fv = F(rho1);
    ++count;
    if (first) {
      first = false;
      Fprev = Fv;
      rho1 += step;
      continue;
    }
    if (Fprev * Fv <= 0.0) {
      if (step <= 1e-8 || std::fabs(Fv) <= 1e-8) break;
      rho1 = rho1 - std::fabs(Fv) * step / (std::fabs(Fprev) + std::fabs(Fv)) - step / 5.0;
      step /= 10.0;
      count = 0;
      first = true;
      continue;
    }
    Fprev = Fv;
    if (count >= 10) {
      det->m_strError = PrelimFailureText(kPrelimFailParabolaRoot);
      return -1;
    }
    rho1 += step;
  }

  const double rho3 = Mf * rho1;
  det->m_dRho[0] = rho1;
  det->m_dRho[2] = rho3;
  const double t[3] = {det->m_aPick[0].m_dJdTt, det->m_aPick[1].m_dJdTt, det->m_aPick[2].m_dJdTt};
  double r1v[3], r3v[3];
  for (int i = 0; i < 3; ++i) {
    r1v[i] = rho1 * L1[i] - R[0][i];
    r3v[i] = rho3 * L3[i] - R[2][i];
  }
  const double r1 = Norm(r1v), r3 = Norm(r3v);
  const double t1c = t[0] - c * rho1, t3c = t[2] - c * rho3;
  const double K = Dot(r1v, r3v) / (r1 * r1);
  double r0[3];
  for (int i = 0; i < 3; ++i) r0[i] = r3v[i] - K * r1v[i];
  const double r0Len = Norm(r0);
  const double f = std::atan2(r0Len / r3, Dot(r1v, r3v) / (r1 * r3));
  const double theta1 = 2.0 * std::atan2(1.0 / (std::tan(f / 2.0) * std::sqrt(r1)) -
                                             1.0 / (std::sqrt(r3) * std::sin(f / 2.0)),
                                         1.0 / std::sqrt(r1));
  ParabolaFromTwoPositions(el, theta1, theta1 + f, r1, r3, t1c, t3c);
  OrientationFromPositions(el, r1v, r0, theta1, r1, r0Len);

  // Places of the three picks on the parabola; the light distance carries
  // from one pick to the next.
  const double q = el.m_dQ, T = el.m_dT;
  const double h = std::sqrt(2.0) * std::pow(q, 1.5);
  double light = rho1;
  for (int n = 0; n < 3; ++n) {
    const ObservationRecord& pick = det->m_aPick[n];
    bool settled = false;
    double rho[3] = {};
    for (int pass = 0; pass < 100; ++pass) {
      double sigma = 0.0;
      if (!SolveBarker(k * (t[n] - c * light - T) / h, 1e-10, true, 200, sigma)) {
        det->m_strError = PrelimFailureText(kPrelimFailAnomaly);
        return -1;
      }
      for (int i = 0; i < 3; ++i)
        rho[i] = q * (1.0 - sigma * sigma) * el.m_dP[i] + 2.0 * q * sigma * el.m_dQvec[i] + R[n][i];
      const double dist = Norm(rho);
      if (std::fabs(dist - light) < 1e-5) {
        settled = true;
        break;
      }
      light = dist;
      det->m_dRhoIter = light;
    }
    if (!settled) {
      det->m_strError = PrelimFailureText(kPrelimFailSeries);
      return -1;
    }
    det->m_dRho[n] = Norm(rho);
    double ra, dec;
    ComputedPlace(rho, ra, dec);
    ResidualPair(pick.m_dRa, pick.m_dDec, ra, dec, det->m_dPickResRa[n], det->m_dPickResDec[n]);
  }

  const double tc1 = t[0] - c * det->m_dRho[0], tc2 = t[1] - c * det->m_dRho[1], tc3 = t[2] - c * det->m_dRho[2];
  det->m_dTau = k * (tc3 - tc1);
  det->m_dTimeRatio = (tc3 - tc2) / (tc2 - tc1);
  det->m_strError.clear();
  return 0;
}

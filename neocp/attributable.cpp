#include "neocp/attributable.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "astro/angle_units.h"
#include "data/observation_record.h"
#include "engine/differential_correction.h"
#include "engine/observation_set.h"
#include "engine/orbit_engine.h"
#include "engine/state_elements.h"
#include "neocp/batch_orbit.h"
#include "neocp/earth_screening.h"

int g_nSampleFailReason = 0;
int g_nLastIterationResult = 0;

namespace {

constexpr double kSingular = 1e-12;

double Det3(const double m[3][3]) {
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// The usable observations of the anchor's station within w of t0, in array
// order, at most 256.
std::vector<int> CollectStation(const ObservationRecord* obs, int count, int anchor, double w) {
  std::vector<int> picked;
  const ObservationRecord& a = obs[anchor];
  for (int i = 0; i < count && static_cast<int>(picked.size()) < kAttributableMaxObs; ++i) {
    const ObservationRecord& o = obs[i];
    if (!UsableInBatch(o) || std::strncmp(o.m_szStation, a.m_szStation, 3) != 0) continue;
    if (std::fabs(o.m_dJdTt - a.m_dJdTt) <= w) picked.push_back(i);
  }
  return picked;
}

// Usable observations of i's station within 0.06 day of it, i included.
int NeighbourCount(const ObservationRecord* obs, int count, int i) {
  int n = 0;
  for (int j = 0; j < count; ++j)
    if (UsableInBatch(obs[j]) && std::strncmp(obs[j].m_szStation, obs[i].m_szStation, 3) == 0 &&
        std::fabs(obs[j].m_dJdTt - obs[i].m_dJdTt) <= kAttributableFirstWindow)
      ++n;
  return n;
}

}  // namespace

namespace ranging {

int FitValueAndRate(const double* t, const double* y, int count, double& value, double& rate) {
  if (count <= 1) return -1;
  double S[5] = {}, T[3] = {};
  for (int i = 0; i < count; ++i) {
    double p = 1.0;
    for (int k = 0; k < 5; ++k, p *= t[i]) {
      S[k] += p;
      if (k < 3) T[k] += p * y[i];
    }
  }
  if (count == 2) {
    const double D = S[0] * S[2] - S[1] * S[1];
    if (std::fabs(D) < kSingular) return -1;
    rate = (S[0] * T[1] - S[1] * T[0]) / D;
    value = (S[2] * T[0] - S[1] * T[1]) / D;
    return 0;
  }
  const double N[3][3] = {{S[0], S[1], S[2]}, {S[1], S[2], S[3]}, {S[2], S[3], S[4]}};
  const double D = Det3(N);
  if (std::fabs(D) < kSingular) return -1;
  double c0[3][3], c1[3][3];
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      c0[r][c] = c == 0 ? T[r] : N[r][c];
      c1[r][c] = c == 1 ? T[r] : N[r][c];
    }
  value = Det3(c0) / D;
  rate = Det3(c1) / D;
  return 0;
}

}  // namespace ranging

int ComputeAttributable(const ObservationRecord* obs, int obsCount, Attributable& out, int& used, double& window,
                        char station[4]) {
  int usable = 0;
  double first = 0.0, last = 0.0;
  for (int i = 0; i < obsCount; ++i) {
    if (!UsableInBatch(obs[i])) continue;
    if (usable == 0 || obs[i].m_dJdTt < first) first = obs[i].m_dJdTt;
    if (usable == 0 || obs[i].m_dJdTt > last) last = obs[i].m_dJdTt;
    ++usable;
  }
  if (usable < 2) return 0;
  const double arc = last - first, middle = 0.5 * (first + last);

  int anchor = -1, most = 0;
  for (int i = 0; i < obsCount; ++i) {
    if (!UsableInBatch(obs[i])) continue;
    const int n = NeighbourCount(obs, obsCount, i);
    if (anchor < 0 || n > most ||
        (n == most && std::fabs(obs[i].m_dJdTt - middle) < std::fabs(obs[anchor].m_dJdTt - middle))) {
      anchor = i;
      most = n;
    }
  }
  const ObservationRecord& a = obs[anchor];
  const double t0 = a.m_dJdTt;

  double w = kAttributableFirstWindow;
  std::vector<int> picked = CollectStation(obs, obsCount, anchor, w);
  while (picked.size() < 3 && 2.0 * w <= arc + 1.0) {
    w *= 2.0;
    picked = CollectStation(obs, obsCount, anchor, w);
  }
  const int n = static_cast<int>(picked.size());
  std::vector<double> tau(n), ra(n), dec(n), pos[3];
  for (auto& p : pos) p.resize(n);
  double largest = 0.0;
  for (int k = 0; k < n; ++k) {
    const ObservationRecord& o = obs[picked[k]];
    tau[k] = (o.m_dJdTt - t0) / w;
    largest = std::fmax(largest, std::fabs(tau[k]));
    // Into (α_anchor − π, α_anchor + π].
    double alpha = o.m_dRa;
    while (alpha <= a.m_dRa - kPi) alpha += kTwoPi;
    while (alpha > a.m_dRa + kPi) alpha -= kTwoPi;
    ra[k] = alpha;
    dec[k] = o.m_dDec;
    for (int c = 0; c < 3; ++c) pos[c][k] = -o.m_dSun[c];
  }
  if (n < 2 || !(largest > 0.0)) return 0;
  for (double& t : tau) t /= largest;

  Attributable r{};
  r.t0 = t0;
  const double scale = largest * w;
  if (ranging::FitValueAndRate(tau.data(), ra.data(), n, r.alpha, r.alphaDot) != 0 ||
      ranging::FitValueAndRate(tau.data(), dec.data(), n, r.delta, r.deltaDot) != 0)
    return 0;
  for (int c = 0; c < 3; ++c)
    if (ranging::FitValueAndRate(tau.data(), pos[c].data(), n, r.obsPos[c], r.obsVel[c]) != 0) return 0;
  r.alphaDot /= scale;
  r.deltaDot /= scale;
  for (double& v : r.obsVel) v /= scale;
  out = r;
  used = n;
  window = w;
  std::memcpy(station, a.m_szStation, 3);
  station[3] = '\0';
  return 1;
}

int AttributableToState(const Attributable& a, double rho, double rhoDot, double& emission, double position[3],
                        double velocity[3], double* H, double* sqrtJ) {
  const double ca = std::cos(a.alpha), sa = std::sin(a.alpha), cd = std::cos(a.delta), sd = std::sin(a.delta);
  const double u[3] = {ca * cd, sa * cd, sd};
  const double w[3] = {rho * (-sa * cd * a.alphaDot - ca * sd * a.deltaDot) + a.obsVel[0],
                       rho * (ca * cd * a.alphaDot - sa * sd * a.deltaDot) + a.obsVel[1],
                       rho * (cd * a.deltaDot) + a.obsVel[2]};
  for (int k = 0; k < 3; ++k) {
    position[k] = rho * u[k] + a.obsPos[k];
    velocity[k] = rhoDot * u[k] + w[k];
  }
  emission = a.t0 - rho / kLightDayAu;
  if (!H && !sqrtJ) return 1;
  const double h = u[0] * w[0] + u[1] * w[1] + u[2] * w[2];
  const double r = std::sqrt(position[0] * position[0] + position[1] * position[1] + position[2] * position[2]);
  const double J = h * h - ((w[0] * w[0] + w[1] * w[1] + w[2] * w[2]) - kTwoGaussK2 / r);
  if (H) *H = h;
  if (!(J > 0.0)) {
    if (sqrtJ) *sqrtJ = 0.0;
    return 0;
  }
  if (sqrtJ) *sqrtJ = std::sqrt(J);
  return 1;
}

namespace {

// The sample's failure reason (0 ok); iterationResult is set when the residuals were computed.
int TryRangeSample(OrbitEngine* engine, double epoch, const double position[3], const double velocity[3],
                   int boundTest, CloneRecord& out, double& meanResidual, int& iterationResult, bool& iterated) {
  double T = 0, q = 0, e = 0, peri = 0, node = 0, incl = 0, M = 0, a = 0;
  StateToEclipticElements(epoch, position, velocity, T, q, e, peri, node, incl, M, a);
  if (!std::isfinite(T) || !std::isfinite(q) || !std::isfinite(e) || !std::isfinite(peri) || !std::isfinite(node) ||
      !std::isfinite(incl)) {
    return 1;
  }
  if (!(q > kRangingSunRadiusAu) || !(e >= 0.0)) {
    return 2;
  }
  if (boundTest && (e >= 1.0 || q / (1.0 - e) >= kRangingMaxBoundA)) {
    return 3;
  }
  CloneRecord rec{};
  rec.epoch = epoch;
  rec.T = T, rec.q = q, rec.e = e, rec.peri = peri, rec.node = node, rec.incl = incl;
  ApplyCloneElements(rec, &engine->m_state);
  engine->m_dOsculatingEpoch = epoch;
  engine->m_dPendingEpoch = epoch;
  engine->m_bCovarianceValid = 0;
  engine->m_nCalcState = kCalcLoaded;
  iterationResult = ImproveOrbitIteration(engine, epoch, 0);
  iterated = true;
  if (iterationResult != 0) {
    return 4;
  }
  if (!std::isfinite(engine->m_dMeanResidual) || engine->m_dMeanResidual < 0.0) {
    return 5;
  }
  NominalCloneFromEngine(engine, out);
  meanResidual = engine->m_dMeanResidual;
  return 0;
}

}  // namespace

int EvaluateRangeSample(OrbitEngine* engine, double epoch, const double position[3], const double velocity[3],
                        int boundTest, CloneRecord& out, double& meanResidual, RangeSampleFailure* failure) {
  int iterationResult = 0;
  bool iterated = false;
  const int reason =
      TryRangeSample(engine, epoch, position, velocity, boundTest, out, meanResidual, iterationResult, iterated);
  // The logs' copies; the iteration's code keeps its last value when no residuals were computed.
  g_nSampleFailReason = reason;
  if (iterated) g_nLastIterationResult = iterationResult;
  if (failure) *failure = {reason, g_nLastIterationResult};
  return reason == 0 ? 1 : 0;
}

void ComputeResidualTrend(const DetClass* det, double t0, int& count, double& sumSq, double& detrendedSumSq,
                          ResidualTrend& trend) {
  count = 0;
  sumSq = detrendedSumSq = 0.0;
  trend = ResidualTrend{};
  double Sb = 0, Sbb = 0, Sd = 0, Sc = 0, Sdb = 0, Scb = 0;
  const ObservationRecord* obs = det->m_pOrbObs;
  for (int i = 0; i < det->m_nObsCount; ++i) {
    if (!UsableInFit(obs[i])) continue;
    const double b = obs[i].m_dJdTt - t0;
    const double d = obs[i].m_dResRa * kRangingArcsecPerRad, c = obs[i].m_dResDec * kRangingArcsecPerRad;
    sumSq += d * d + c * c;
    ++count;
    Sb += b, Sbb += b * b, Sd += d, Sc += c, Sdb += d * b, Scb += c * b;
  }
  const double n = count;
  const double D = n * Sbb - Sb * Sb;
  if (count > 2 && D > n * kSingular * Sbb) {
    trend.raRate = (n * Sdb - Sd * Sb) / D;
    trend.decRate = (n * Scb - Sc * Sb) / D;
    trend.raOffset = (Sd - trend.raRate * Sb) / n;
    trend.decOffset = (Sc - trend.decRate * Sb) / n;
  } else if (count > 2) {
    trend.raOffset = Sd / n;
    trend.decOffset = Sc / n;
  }
  for (int i = 0; i < det->m_nObsCount; ++i) {
    if (!UsableInFit(obs[i])) continue;
    const double b = obs[i].m_dJdTt - t0;
    const double d = obs[i].m_dResRa * kRangingArcsecPerRad - trend.raOffset - trend.raRate * b;
    const double c = obs[i].m_dResDec * kRangingArcsecPerRad - trend.decOffset - trend.decRate * b;
    detrendedSumSq += d * d + c * c;
  }
}

int ComputeResidualVector(OrbitEngine* engine, const DetClass* det, const Attributable& a, const double params[6],
                          double* vector, int expectedLength, double& sumSq) {
  Attributable p = a;
  p.alpha = params[0], p.delta = params[1], p.alphaDot = params[2], p.deltaDot = params[3];
  if (!(params[4] > 0.0)) return 0;
  double emission = 0, position[3], velocity[3];
  AttributableToState(p, params[4], params[5], emission, position, velocity);
  CloneRecord rec;
  double rms = 0;
  if (!EvaluateRangeSample(engine, emission, position, velocity, 0, rec, rms)) return 0;
  int n = 0;
  sumSq = 0.0;
  const ObservationRecord* obs = det->m_pOrbObs;
  for (int i = 0; i < det->m_nObsCount; ++i) {
    if (!UsableInFit(obs[i])) continue;
    if (n + 2 > expectedLength) return 0;
    const double d = obs[i].m_dResRa * kRangingArcsecPerRad, c = obs[i].m_dResDec * kRangingArcsecPerRad;
    vector[n++] = d;
    vector[n++] = c;
    sumSq += d * d + c * c;
  }
  return n == expectedLength && std::isfinite(sumSq) ? 1 : 0;
}

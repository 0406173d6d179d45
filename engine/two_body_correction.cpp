#include "engine/two_body_correction.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>
#include <string>
#include <vector>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/frames.h"
#include "data/numerics.h"
#include "data/observation_record.h"
#include "engine/approach_graph.h"
#include "engine/close_approach.h"
#include "engine/correction_step.h"
#include "engine/determination_host.h"
#include "engine/differential_correction.h"
#include "engine/improvement_epoch.h"
#include "engine/orbit_engine.h"
#include "engine/variation_amounts.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"

namespace {

constexpr double kMaxDisplacementRad = 0.0001454441043328608;  // 30"
constexpr double kTargetDisplacementRad = 1.454441043328608e-05;  // 3"
constexpr int kMaxReductions = 3;
constexpr int kMaxLimitHalvings = 12;
constexpr int kMaxPasses = 10000;
constexpr int kStride = 20;

const char* const kMsgNoMemory = "メモリー不足です";
const char* const kMsgNoSolution = "解が求まらなかったので計算を中止しました[17]";
// The solved correction is not a number (a zero variation amount, a
// singular system): nothing is applied.
const char* const kMsgCorrectionNotFinite = "解が求まらなかったので計算を中止しました[18]";


// Grid point of the 40-day epochs at or before jdTT.
// The elliptic two-body place of one orbit with light time; l carries the
// light distance in and out.
int EllipticPosition(double t, double T, double q, double e, const TrialOrbitVectors& P, const TrialOrbitVectors& Q,
                     int i, const double sun[3], double& l, double helio[3], double geo[3]) {
  const double a = q / (1.0 - e);
  const double nm = kGaussK / std::pow(a, 1.5);
  const double b = a * std::sqrt(1.0 - e * e);
  double s = 0.0;
  for (int pass = 0; pass < kMaxPasses; ++pass) {
    const double M = std::remainder(nm * (t - kLightTimeDaysPerAu * l - T), kTwoPi);
    int steps = 0;
    for (;;) {
      const double next = e * std::sin(M + s);
      const double change = std::fabs(next - s);
      s = next;
      if (change < 1e-14) break;
      if (++steps >= kMaxPasses) return -1;
    }
    const double E = M + s;
    const double cx = a * (std::cos(E) - e), sy = b * std::sin(E);
    for (int c = 0; c < 3; ++c) {
      helio[c] = cx * P[c][i] + sy * Q[c][i];
      geo[c] = helio[c] + sun[c];
    }
    const double g = std::sqrt(geo[0] * geo[0] + geo[1] * geo[1] + geo[2] * geo[2]);
    if (std::fabs(g - l) < 1e-10) return 0;
    l = g;
  }
  return -1;
}

// Normal equations of one pass.
struct NormalSystem {
  double a[CTessaruneLib::kMaxNormalUnknowns][CTessaruneLib::kNormalRowDoubles] = {};
};

}  // namespace

int TwoBodyOrbitPositions(int j, int count, const double nominal[6], const double variations[6],
                          const TrialOrbitVectors& P, const TrialOrbitVectors& Q, const ObservationRecord* obs,
                          double helio[][3], double geo[][3]) {
  const ObservationRecord& o = obs[j];
  double l = 1.0;
  for (int i = 0; i < count; ++i) {
    const double T = nominal[0] + (i == 1 ? variations[0] : 0.0);
    const double q = nominal[4] + (i == 5 ? variations[4] : 0.0);
    const double e = nominal[5] + (i == 6 ? variations[5] : 0.0);
    if (e > 0.97) {
      if (TwoBodyPositionAtObservation(j, i, o.m_dJdTt, T, q, e, P, Q, obs, helio[i], geo[i]) != 0) return -1;
      l = std::sqrt(geo[i][0] * geo[i][0] + geo[i][1] * geo[i][1] + geo[i][2] * geo[i][2]);
    } else if (EllipticPosition(o.m_dJdTt, T, q, e, P, Q, i, o.m_dSun, l, helio[i], geo[i]) != 0) {
      return -1;
    }
  }
  return 0;
}

int TwoBodyResiduals(int j, int count, const double nominal[6], const double variations[6],
                     const TrialOrbitVectors& P, const TrialOrbitVectors& Q, ObservationRecord* obs, double* buffer) {
  double helio[kTwoBodyOrbitsMax][3], geo[kTwoBodyOrbitsMax][3];
  if (TwoBodyOrbitPositions(j, count, nominal, variations, P, Q, obs, helio, geo) != 0) return -1;
  ObservationRecord& o = obs[j];
  for (int i = 0; i < count; ++i) {
    const double* g = geo[i];
    double ra = std::atan2(g[1], g[0]);
    if (ra < 0.0) ra += kTwoPi;
    const double dec = std::atan(g[2] / std::sqrt(g[0] * g[0] + g[1] * g[1]));
    const double dRa = std::remainder(o.m_dRa - ra, kTwoPi) * std::cos(dec);
    const double dDec = o.m_dDec - dec;
    if (i == 0) {
      o.m_dResRa = dRa;
      o.m_dResDec = dDec;
      o.m_dHelioDist = std::sqrt(helio[0][0] * helio[0][0] + helio[0][1] * helio[0][1] + helio[0][2] * helio[0][2]);
    } else {
      buffer[kStride * j + i - 1] = dRa;
      buffer[kStride * j + i + 9] = dDec;
    }
  }
  return 0;
}

int DifferentialCorrection(DetClass* det, OrbitEngine* engine) {
  CDetermination* view = CurrentDetermination();
  IntegrationState& state = engine->m_state;
  ElementBlock& el = state.m_el;

  // 1. The old approach list belongs to an orbit that is about to change.
  if (state.m_pApproach) {
    state.m_pApproach->Reset();
    ShowCloseApproaches(state.m_pApproach, view ? view->ApproachWindow() : nullptr, -1, 10, 0);
  }

  // 2. Buffer and statistics.
  const int nObs = det->m_pOrbObs ? det->m_nObsCount : 0;
  std::vector<double> buffer;
  try {
    buffer.assign(static_cast<size_t>(std::max(nObs, 1)) * kStride, 0.0);
  } catch (const std::bad_alloc&) {
    det->m_strError = kMsgNoMemory;
    return -1;
  }
  engine->m_nUsedObs = 0;
  engine->m_dSumWeights = 0.0;
  engine->m_dWeightedSumSq = 0.0;
  engine->m_strStepNotes.clear();

  // 3. Fixed or free eccentricity.
  int mask = 127, count = 7, n = 6;
  if (det->m_bFixEcc == 1) {
    mask = 63;
    count = 6;
    n = 5;
    double e = 0.0;
    if (view && ParseDouble(view->FixedEccentricityText(), e)) el.m_dE = e;
  }
  state.m_nSolveMask = mask;

  // 4. Passes, repeated while a variation moves some observation too far.
  ObservationRecord* obs = det->m_pOrbObs;
  double nominal[6], variations[6], gridOfT = 0.0;
  NormalSystem ns;
  double sum = 0.0, sumSq = 0.0, sumW = 0.0, sumWSq = 0.0;
  int used = 0;
  for (int reductions = 0;; ++reductions) {
    for (int k = 0; k < 6; ++k) variations[k] = GetVariationAmount(engine, k);
    nominal[0] = el.m_dT;
    nominal[1] = el.m_dPeri;
    nominal[2] = el.m_dNode;
    nominal[3] = el.m_dIncl;
    nominal[4] = el.m_dQ;
    nominal[5] = el.m_dE;
    gridOfT = 40.0 * std::trunc(nominal[0] / 40.0) + 0.5;
    if (nominal[0] - gridOfT > 20.0) gridOfT += 40.0;

    TrialOrbitVectors P{}, Q{};
    for (int i = 0; i < count; ++i) {
      double angles[3] = {nominal[1], nominal[2], nominal[3]};
      if (i >= 2 && i <= 4) angles[i - 2] += variations[i - 1];
      double p[3], q[3];
      OrbitOrientationVectors(angles[0], angles[1], angles[2], p, q);
      for (int c = 0; c < 3; ++c) {
        P[c][i] = p[c];
        Q[c][i] = q[c];
      }
    }

    // First sweep: residuals of every record, statistics of the usable ones.
    // The varied orbits only where the normal equations read them: a varied
    // orbit that fails at a record out of the fit stops nothing.
    used = 0;
    sum = sumSq = 0.0;
    for (int j = 0; j < nObs; ++j) {
      const int orbits = UsableInFit(obs[j]) || !engine->m_bReuseWork ? count : 1;
      if (TwoBodyResiduals(j, orbits, nominal, variations, P, Q, obs, buffer.data()) != 0) {
        det->m_strError = kMsgNoSolution;
        return -1;
      }
      if (UsableInFit(obs[j])) {
        const double ra = obs[j].m_dResRa * kArcsecPerRad, dec = obs[j].m_dResDec * kArcsecPerRad;
        ++used;
        sum += ra + dec;
        sumSq += ra * ra + dec * dec;
      }
      if (engine->m_bAutoRunning == 1 && engine->m_nCancel == 0) Ui().PumpOneEvent();
      if (PumpAndCheckCancel(engine) == 1) {
        det->m_strError = kMsgCancelledByButton;
        return -9;
      }
    }
    engine->m_nUsedObs = used;
    if (used > 0) {
      engine->m_dMeanSignedResidual = sum / (2.0 * used);
      engine->m_dMeanResidual = std::sqrt(sumSq / (2.0 * used));
    }

    // Second sweep: the normal equations and the largest displacement of each varied orbit.
    ns = NormalSystem{};
    double displacement[6] = {};
    sumW = sumWSq = 0.0;
    for (int j = 0; j < nObs; ++j) {
      if (!UsableInFit(obs[j])) continue;
      double w = obs[j].m_dWeight;
      if (!(w >= 0.1 && w <= 100.0)) w = 1.0;
      const double ra = obs[j].m_dResRa, dec = obs[j].m_dResDec;
      sumW += w;
      sumWSq += w * ((ra * kArcsecPerRad) * (ra * kArcsecPerRad) + (dec * kArcsecPerRad) * (dec * kArcsecPerRad));
      double pa[7], pd[7];
      const double* row = buffer.data() + static_cast<size_t>(kStride) * j;
      for (int k = 0; k < n; ++k) {
        const double dRa = ra - row[k], dDec = dec - row[10 + k];
        pa[k] = dRa / variations[k];
        pd[k] = dDec / variations[k];
        displacement[k] = std::max(displacement[k], std::max(std::fabs(dRa), std::fabs(dDec)));
      }
      pa[n] = ra;
      pd[n] = dec;
      for (int r = 0; r < n; ++r)
        for (int c = 0; c <= n; ++c) ns.a[r][c] += w * (pa[r] * pa[c] + pd[r] * pd[c]);
    }
    engine->m_dSumWeights = sumW;
    engine->m_dWeightedSumSq = sumWSq;

    if (reductions >= kMaxReductions) break;
    double largest = 0.0;
    bool reduced = false;
    for (int k = 0; k < n; ++k)
      if (displacement[k] > kMaxDisplacementRad) {
        SetVariationAmount(engine, k, variations[k] * kTargetDisplacementRad / displacement[k]);
        largest = std::max(largest, displacement[k]);
        reduced = true;
      }
    if (!reduced) break;
    engine->m_strStepNotes +=
        FormatC("※要素変化量が大きすぎた(観測位置への最大変位 %.0f\")ため、変位が約3\"になるよう自動的に縮小し、改良をやり直しました\r\n",
                largest * kArcsecPerRad);
  }

  // Nothing to fit: the orbit stays as it was.
  if (used == 0) {
    det->m_strError = kMsgAllRejected;
    return -1;
  }

  // 5. Solve; only a finite correction reaches the elements.
  double x[CTessaruneLib::kMaxNormalUnknowns] = {};
  CTessaruneLib::SolveLinearSystem(n, ns.a, x);
  if (!CTessaruneLib::SolutionIsFinite(n, x)) {
    det->m_strError = kMsgCorrectionNotFinite;
    return -1;
  }
  double d[6] = {};
  for (int k = 0; k < n; ++k) d[k] = (mask & (1 << (k + 1))) ? x[k] : 0.0;

  // 6. Damping towards a possible orbit.
  double f = 1.0;
  int halvings = 0;
  for (;;) {
    if (halvings >= kMaxLimitHalvings) {
      f = 1.0 / 4096.0;
      break;
    }
    const double e1 = el.m_dE + f * d[5];
    if (el.m_dQ + f * d[4] > 0.0 && e1 >= 0.0 && (e1 <= 1.5 || e1 <= 2.0 * el.m_dE + 0.5)) break;
    f *= 0.5;
    ++halvings;
  }
  if (f < 1.0) {
    for (double& c : d) c *= f;
    engine->m_strStepNotes = "※軌道が不成立になるため補正量を制限しました(観測誤差に対して軌道が敏感です)\r\n";
  }

  // 7. Apply.
  el.m_dT += d[0];
  el.m_dPeri = ReduceAngle(el.m_dPeri + d[1]);
  el.m_dNode = ReduceAngle(el.m_dNode + d[2]);
  el.m_dIncl = ReduceAngle(el.m_dIncl + d[3]);
  if (el.m_dIncl > std::numbers::pi) {
    el.m_dIncl = kTwoPi - el.m_dIncl;
    el.m_dNode = ReduceAngle(el.m_dNode + std::numbers::pi);
    el.m_dPeri = ReduceAngle(el.m_dPeri + std::numbers::pi);
  }
  el.m_dE += d[5];
  el.m_dQ += d[4];
  if (el.m_dQ < kSunRadiusAu) {
    el.m_dQ = kSunRadiusAu;
    engine->m_strStepNotes = "※近日点距離が太陽表面より小さくなったため 0.00465 AU に制限して改良を続けています\r\n";
  }
  if (el.m_dE < 0.0) el.m_dE = 0.0;

  // 9. The statistics describe the orbit before the correction.
  engine->m_dMeanSignedResidual = sum / (2.0 * used);
  engine->m_dMeanResidual = std::sqrt(sumSq / (2.0 * used));
  OrbitOrientationVectors(el.m_dPeri, el.m_dNode, el.m_dIncl, el.m_dP, el.m_dQvec);

  // 10. Epoch: the grid point at or before the first observation.
  const double first = nObs > 0 ? obs[0].m_dJdTt : 0.0;
  const double epoch = nObs > 0 && first > 0.0 ? GridAtOrBefore(first) : gridOfT;
  state.m_dEpoch = epoch;
  el.m_dEpoch = epoch;
  DeriveMeanElements(&state);

  // 11. Covariance of the solved elements, scaled by the unit-weight error.
  if (ns.a[0][0] != 0.0) {
    const double sigma = sumW > 0.0 ? std::sqrt(sumWSq / (2.0 * sumW)) : engine->m_dMeanResidual;
    const double s = (sigma / kArcsecPerRad) * (sigma / kArcsecPerRad);
    double cov[CTessaruneLib::kMaxNormalUnknowns][CTessaruneLib::kMaxNormalUnknowns] = {};
    bool finite = std::isfinite(s);
    for (int i = 0; i < n && finite; ++i) {
      NormalSystem unit = ns;
      for (int r = 0; r < n; ++r) unit.a[r][n] = r == i ? 1.0 : 0.0;
      double col[CTessaruneLib::kMaxNormalUnknowns] = {};
      CTessaruneLib::SolveLinearSystem(n, unit.a, col);
      finite = CTessaruneLib::SolutionIsFinite(n, col) && col[i] > 0.0;
      for (int k = 0; k < n; ++k) cov[k][i] = s * col[k];
    }
    if (finite) {
      for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 9; ++c) engine->m_covariance[r][c] = r < n && c < n ? cov[r][c] : 0.0;
      engine->m_nCovarianceSize = n;
      engine->m_bCovarianceValid = 1;
      engine->m_dCovarianceEpoch = epoch;
      engine->m_nCovarianceSignature = ComputeObservationSignature(engine);
      engine->m_bAddSystematicError = 0;
    } else {
      engine->m_bCovarianceValid = 0;
    }
  }
  return 0;
}

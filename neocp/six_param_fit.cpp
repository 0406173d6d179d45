#include "neocp/six_param_fit.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "data/observation_record.h"
#include "engine/matrix_fit.h"
#include "engine/observation_set.h"
#include "engine/orbit_engine.h"
#include "neocp/range_grid.h"
#include "neocp/scan_object.h"
#include "platform/numbers.h"

namespace {

constexpr double kFiveArcsec = 2.4240684084516093e-05;  // rad
constexpr int kDampedTries = 8;
constexpr int kMaxIterations = 10;
constexpr double kConvergedGain = 1e-4;
constexpr double kLambdaStart = 0.001;
constexpr double kLambdaFloor = 1e-9;
constexpr double kSigmaFloorSq = 0.25;  // (0.5")²
constexpr int kStride = kMatrixStride;

// How a fit ended.
enum FitEnd { kFitConverged, kFitStuck, kFitPumped, kFitOther };

struct SixFit {
  OrbitEngine* engine;
  const DetClass* det;
  const Attributable& a;
  int n;
  ScanProgress* progress;

  // Residual vector of q; false when it cannot be measured.
  bool Residuals(const double q[6], std::vector<double>& r, double& S) const {
    return ComputeResidualVector(engine, det, a, q, r.data(), n, S) == 1;
  }
  // The pump before an evaluation; its code (0 go on).
  int Pump() const {
    const int code = progress ? progress->PumpAndCheckCancel() : 0;
    engine->m_nCancel = 0;
    return code;
  }
};

int UsedObservations(const DetClass* det) {
  int used = 0;
  for (int i = 0; i < det->m_nObsCount; ++i)
    if (UsableInFit(det->m_pOrbObs[i])) ++used;
  return used;
}

}  // namespace

void CholeskySolve6(const double* L, const double* b, double* x) {
  double y[6];
  for (int i = 0; i < 6; ++i) {
    double s = b[i];
    for (int k = 0; k < i; ++k) s -= L[i * kStride + k] * y[k];
    y[i] = s / L[i * kStride + i];
  }
  for (int i = 5; i >= 0; --i) {
    double s = y[i];
    for (int k = i + 1; k < 6; ++k) s -= L[k * kStride + i] * x[k];
    x[i] = s / L[i * kStride + i];
  }
}

int FitSixParameters(OrbitEngine* engine, const DetClass* det, const Attributable& a, double p[6], double timeScale,
                     const std::string& desig, ScanProgress* progress, double& meanResidual, double covariance[6][6],
                     int& covarianceValid, double& sigma, std::string& log) {
  covarianceValid = 0;
  meanResidual = -1.0;
  sigma = 0.5;
  const int used = UsedObservations(det);
  if (used < 4) return 0;
  const int n = 2 * used;
  SixFit fit{engine, det, a, n, progress};
  std::vector<double> r(n), forward(n), backward(n), trial(n), J(static_cast<size_t>(n) * 6);
  double A[kStride * kStride] = {}, S = 0;
  if (!fit.Residuals(p, r, S)) return 0;
  log += FormatC("  6つの数の当てはめ: 出発点の残差 %.3f\"\r\n", std::sqrt(S / n));
  double lambda = kLambdaStart;
  const double b = timeScale > 0.02 ? timeScale / 2.0 : 0.01;
  double h[6] = {};
  int code = 0;
  FitEnd end = kFitOther;

  for (int it = 1;; ++it) {
    if (progress)
      progress->SetStatusText(FormatC("%s: 6つの数の当てはめ 反復%d  残差 %.3f\"", desig.c_str(), it, std::sqrt(S / n)));
    h[0] = kFiveArcsec / std::max(std::cos(p[1]), 0.01);
    h[1] = kFiveArcsec;
    h[2] = h[0] / b;
    h[3] = kFiveArcsec / b;
    h[4] = 0.01 * p[4];
    h[5] = h[4] / b;
    double asymmetry[6];
    bool columnsDone = true;
    for (int j = 0; j < 6 && columnsDone; ++j) {
      if ((code = fit.Pump()) != 0) break;
      bool hasForward = false, hasBackward = false;
      for (int attempt = 0; attempt < 2 && !hasForward && !hasBackward; ++attempt) {
        if (attempt == 1) h[j] /= 2.0;
        double q[6], Sq = 0;
        std::copy(p, p + 6, q);
        q[j] = p[j] + h[j];
        hasForward = fit.Residuals(q, forward, Sq);
        q[j] = p[j] - h[j];
        hasBackward = fit.Residuals(q, backward, Sq);
      }
      if (!hasForward && !hasBackward) {
        log += FormatC("    ※%d番目の数を前後どちらへ動かしても残差を測れませんでした(理由%d 戻り値%d %s)\r\n", j + 1,
                       g_nSampleFailReason, g_nLastIterationResult, engine->m_strMessage.c_str());
        columnsDone = false;
        break;
      }
      double columnSq = 0, curvature = 0;
      for (int i = 0; i < n; ++i) {
        double d;
        if (hasForward && hasBackward) {
          d = (forward[i] - backward[i]) / 2.0;
          const double c = forward[i] + backward[i] - 2.0 * r[i];
          curvature += c * c;
        } else {
          d = hasForward ? forward[i] - r[i] : r[i] - backward[i];
        }
        J[static_cast<size_t>(i) * 6 + j] = d;
        columnSq += d * d;
      }
      asymmetry[j] = columnSq > 0.0 ? std::sqrt(curvature / columnSq) : -1.0;
    }
    if (code != 0) {
      end = kFitPumped;
      break;
    }
    if (!columnsDone) break;
    log += FormatC("    偏微分の前後の食い違い(割合): α %.3f  δ %.3f  α̇ %.3f  δ̇ %.3f  ρ %.3f  ρ̇ %.3f\r\n", asymmetry[0],
                   asymmetry[1], asymmetry[2], asymmetry[3], asymmetry[4], asymmetry[5]);

    double g[6] = {};
    for (int j = 0; j < 6; ++j) {
      for (int k = 0; k < 6; ++k) {
        double s = 0;
        for (int i = 0; i < n; ++i) s += J[static_cast<size_t>(i) * 6 + j] * J[static_cast<size_t>(i) * 6 + k];
        A[j * kStride + k] = s;
      }
      for (int i = 0; i < n; ++i) g[j] -= J[static_cast<size_t>(i) * 6 + j] * r[i];
    }

    bool accepted = false;
    int tries = 0;
    double pTrial[6], Strial = 0;
    for (tries = 1; tries <= kDampedTries && !accepted; ++tries) {
      double N[kStride * kStride], L[kStride * kStride] = {};
      std::copy(A, A + kStride * kStride, N);
      for (int j = 0; j < 6; ++j) N[j * kStride + j] *= 1.0 + lambda;
      if (CholeskyDecompose(N, 6, L)) {
        double delta[6];
        CholeskySolve6(L, g, delta);
        for (int j = 0; j < 6; ++j) pTrial[j] = p[j] + delta[j] * h[j];
        if ((code = fit.Pump()) != 0) break;
        if (fit.Residuals(pTrial, trial, Strial) && Strial < S) {
          accepted = true;
          break;
        }
      }
      lambda *= 10.0;
    }
    if (code != 0) {
      end = kFitPumped;
      break;
    }
    if (!accepted) {
      end = kFitStuck;
      break;
    }
    const double gain = (S - Strial) / S;
    std::copy(pTrial, pTrial + 6, p);
    r.swap(trial);
    S = Strial;
    log += FormatC("  6つの数の当てはめ 反復%d: 残差 %.3f\"  距離 %.6g AU  視線速度 %+.3f km/s  (歯止めλ=%.0e、%d回目の試しで採用)\r\n",
                   it, std::sqrt(S / n), p[4], p[5] * kKmPerSecondPerAuPerDay, lambda, tries);
    if (lambda > kLambdaFloor) lambda /= 10.0;
    if (gain < kConvergedGain) {
      end = kFitConverged;
      break;
    }
    if (it >= kMaxIterations) break;
  }

  meanResidual = std::sqrt(S / n);
  if ((end == kFitConverged || end == kFitStuck) && n > 6) {
    double L[kStride * kStride] = {};
    if (CholeskyDecompose(A, 6, L)) {
      const double s2 = std::max(kSigmaFloorSq, S / (n - 6));
      sigma = std::sqrt(s2);
      for (int m = 0; m < 6; ++m) {
        double e[6] = {}, x[6];
        e[m] = 1.0;
        CholeskySolve6(L, e, x);
        for (int k = 0; k < 6; ++k) covariance[k][m] = s2 * h[k] * h[m] * x[k];
      }
      covarianceValid = 1;
    }
  }
  return end == kFitPumped ? code : 0;
}

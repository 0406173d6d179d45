#include "engine/improvement_covariance.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "data/numerics.h"
#include "engine/differential_correction.h"
#include "engine/integration_state.h"
#include "engine/orbit_engine.h"

namespace {

constexpr int kParamQ = 4, kParamE = 5;

void MarkInvalid(OrbitEngine* engine) {
  engine->m_bCovarianceValid = 0;
  engine->m_bErrValid = 0;
}

}  // namespace

void ComputeImprovementCovariance(OrbitEngine* engine, const IntegrationState* state) {
  const int m = std::clamp(state->m_nBodies - 1, 0, CTessaruneLib::kMaxNormalUnknowns);
  const double sigma0 = engine->m_dSumWeights > 0.0
                            ? std::sqrt(engine->m_dWeightedSumSq / std::max(1.0, 2.0 * engine->m_dSumWeights - m))
                            : engine->m_dMeanResidual;
  engine->m_dSigma0 = sigma0;
  if (m == 0 || state->m_dNormal[0][0] == 0.0 || !std::isfinite(sigma0)) {
    MarkInvalid(engine);
    return;
  }

  const double s = sigma0 / kArcsecPerRad;
  double inverse[CTessaruneLib::kMaxNormalUnknowns][CTessaruneLib::kMaxNormalUnknowns] = {};
  for (int j = 0; j < m; ++j) {
    double a[CTessaruneLib::kMaxNormalUnknowns][CTessaruneLib::kNormalRowDoubles];
    for (int r = 0; r < m; ++r) {
      for (int c = 0; c < m; ++c) a[r][c] = state->m_dNormal[r][c];
      a[r][m] = r == j ? 1.0 : 0.0;
    }
    double column[CTessaruneLib::kMaxNormalUnknowns] = {};
    CTessaruneLib::SolveLinearSystem(m, a, column);
    // A variance that is not a positive number means no usable covariance.
    if (!CTessaruneLib::SolutionIsFinite(m, column) || !(column[j] > 0.0)) {
      MarkInvalid(engine);
      return;
    }
    for (int i = 0; i < m; ++i) inverse[i][j] = column[i];
  }

  double sigma[CTessaruneLib::kMaxNormalUnknowns] = {};
  for (int j = 0; j < m; ++j) sigma[j] = std::sqrt(inverse[j][j]) * s;
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) engine->m_covariance[i][j] = i < m && j < m ? s * s * inverse[i][j] : 0.0;
  engine->m_nCovarianceSize = m;
  engine->m_dCovarianceEpoch = state->m_dEpoch;
  engine->m_nCovarianceSignature = ComputeObservationSignature(engine);
  engine->m_bCovarianceValid = 1;

  auto at = [&](int k) { return k < m ? sigma[k] : 0.0; };
  engine->m_dErrT = at(0);
  engine->m_dErrPeri = at(1) * kDegPerRad;
  engine->m_dErrNode = at(2) * kDegPerRad;
  engine->m_dErrIncl = at(3) * kDegPerRad;
  engine->m_dErrQ = at(kParamQ);
  engine->m_dErrE = at(kParamE);
  engine->m_dErrA1 = at(6);
  engine->m_dErrA2 = at(7);
  engine->m_dErrA3 = at(8);

  // a = q / (1 - e), or 1/a = (1 - e) / q: first-order propagation with the
  // q-e covariance (e is not solved while it is fixed).
  const ElementBlock& el = state->m_el;
  const double q = el.m_dQ, e = el.m_dE;
  const double cqq = kParamQ < m ? engine->m_covariance[kParamQ][kParamQ] : 0.0;
  const double cee = kParamE < m ? engine->m_covariance[kParamE][kParamE] : 0.0;
  const double cqe = kParamE < m ? engine->m_covariance[kParamQ][kParamE] : 0.0;
  double dq, de;
  if (e <= 0.97) {
    dq = 1.0 / (1.0 - e);
    de = q / ((1.0 - e) * (1.0 - e));
  } else {
    dq = -(1.0 - e) / (q * q);
    de = -1.0 / q;
  }
  const double variance = dq * dq * cqq + 2.0 * dq * de * cqe + de * de * cee;
  engine->m_dErrA = std::sqrt(std::max(0.0, variance));
  if (e <= 0.97) {
    const double a = q / (1.0 - e);
    engine->m_dErrP = 1.5 * std::sqrt(a) * engine->m_dErrA;
    engine->m_dErrN = 1.5 * kGaussK * engine->m_dErrA / std::pow(a, 2.5) * kDegPerRad;
  } else {
    engine->m_dErrP = engine->m_dErrN = -1.0;
  }
  engine->m_bErrValid = 1;
}

#include "neocp/clone_sampler.h"

#include <algorithm>
#include <cmath>

#include "astro/angle_units.h"
#include "engine/matrix_fit.h"
#include "neocp/earth_screening.h"
#include "platform/encoding.h"

namespace {

constexpr int S = kMatrixStride;
constexpr double kLovSpan = 3.0;
constexpr double kLn4 = 1.3862943611198906;

// Into (0, 2π].
double ReduceAngle(double x) {
  double f = x / kTwoPi;
  f -= std::floor(f);
  double r = f * kTwoPi;
  return r <= 0.0 ? r + kTwoPi : r;
}

}  // namespace

CloneSampler::CloneSampler() : generator(5489u) {}

double CloneSampler::Uniform() {
  const uint32_t a = generator(), b = generator();
  return (static_cast<double>(b) * 2097152.0 + static_cast<double>(a >> 11)) * 0x1p-53;
}

double CloneSampler::Normal() {
  if (has_stored_normal) {
    has_stored_normal = 0;
    return stored_normal;
  }
  double x, y, r;
  do {
    x = 2.0 * Uniform() - 1.0;
    y = 2.0 * Uniform() - 1.0;
    r = x * x + y * y;
  } while (!(r < 1.0) || x == 0.0 || y == 0.0);
  double g;
  if (r > 1e-4) {
    g = std::log(r);
  } else {
    const int k = std::ilogb(std::max(std::fabs(x), std::fabs(y)));
    x = std::scalbn(x, -k);
    y = std::scalbn(y, -k);
    r = x * x + y * y;
    g = std::log(r) + k * kLn4;
  }
  const double f = std::sqrt(-2.0 * g / r);
  stored_normal = f * y;
  has_stored_normal = 1;
  return f * x * 1.0 + 0.0;
}

void CloneSampler::Init(const double cov[9][9], int count, double scale, uint32_t seed) {
  lov_mode = 0;
  lov_ratio = 0;
  cov_diag_only = 0;
  sigma_lov = 0;
  n = std::clamp(count, 0, 9);
  generator.seed(seed);
  has_stored_normal = 0;
  double Sm[S * S] = {}, sigma[S] = {};
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) Sm[S * i + j] = scale * scale * (cov[i][j] + cov[j][i]) / 2.0;
  bool allPositive = true;
  for (int i = 0; i < n; ++i) {
    sigma[i] = Sm[S * i + i] > 0.0 ? std::sqrt(Sm[S * i + i]) : 0.0;
    if (!(sigma[i] > 0.0)) allPositive = false;
  }
  for (auto& v : u) v = 0.0;
  if (n > 1 && allPositive) {
    double R[S * S] = {}, values[S] = {}, V[S * S] = {};
    for (int k = 0; k < n; ++k)
      for (int l = 0; l < n; ++l) R[S * k + l] = Sm[S * k + l] / (sigma[k] * sigma[l]);
    JacobiEigenSymmetric(R, n, values, V);
    if (values[1] > 0.0) lov_ratio = values[0] / values[1];
    if (values[0] > 0.0 && values[1] > 0.0 && values[0] / values[1] >= kCloneLovRatio) {
      double len = 0.0;
      for (int k = 0; k < n; ++k) {
        u[k] = V[S * k] * sigma[k];
        len += u[k] * u[k];
      }
      len = std::sqrt(len);
      if (len > 0.0)
        for (int k = 0; k < n; ++k) u[k] /= len;
      double quad = 0.0;
      for (int k = 0; k < n; ++k)
        for (int l = 0; l < n; ++l) quad += Sm[S * k + l] * u[k] * u[l];
      if (quad > 0.0) {
        sigma_lov = std::sqrt(quad);
        lov_mode = 1;
      }
    }
  }
  double Lf[S * S] = {};
  if (!CholeskyDecompose(Sm, n, Lf)) {
    cov_diag_only = 1;
    for (int i = 0; i < S * S; ++i) Lf[i] = 0.0;
    for (int i = 0; i < n; ++i) Lf[S * i + i] = Sm[S * i + i] > 0.0 ? std::sqrt(Sm[S * i + i]) : 0.0;
  }
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) L[i][j] = (i < n && j <= i) ? Lf[S * i + j] : 0.0;
}

void CloneSampler::Draw(int j, int N, double offsets[9], double& weight) {
  double z[9] = {};
  for (int i = 0; i < n; ++i) z[i] = Normal();
  for (int i = 0; i < 9; ++i) {
    offsets[i] = 0.0;
    if (i >= n) continue;
    for (int k = 0; k <= i; ++k) offsets[i] += L[i][k] * z[k];
  }
  weight = 1.0;
  if (lov_mode == 1 && N > 0) {
    const double c = ((j - 1) + 0.5) * 2.0 * kLovSpan / N - kLovSpan;
    double p = 0.0;
    for (int i = 0; i < n; ++i) p += u[i] * offsets[i];
    for (int i = 0; i < n; ++i) offsets[i] += (c * sigma_lov - p) * u[i];
    weight = std::exp(-c * c / 2.0);
  }
}

int PerturbCloneElements(CloneRecord& rec, const double d[9], int m) {
  rec.T += d[0];
  if (m > 1) rec.peri = ReduceAngle(rec.peri + d[1]);
  if (m > 2) rec.node = ReduceAngle(rec.node + d[2]);
  if (m > 3) rec.incl += d[3];
  if (m > 4) rec.q += d[4];
  if (m > 5) rec.e += d[5];
  if (m > 6) rec.A1 += d[6];
  if (m > 7) rec.A2 += d[7];
  if (m > 8) rec.A3 += d[8];
  const auto turn = [&rec]() {
    rec.node = ReduceAngle(rec.node + kPi);
    rec.peri = ReduceAngle(rec.peri + kPi);
  };
  if (rec.incl < 0.0) {
    rec.incl = -rec.incl;
    turn();
  }
  if (rec.incl > kPi) {
    rec.incl = kTwoPi - rec.incl;
    turn();
  }
  if (rec.q < 0.0 || rec.e < 0.0) return 0;
  for (double v : {rec.T, rec.q, rec.e, rec.peri, rec.node, rec.incl})
    if (!std::isfinite(v)) return 0;
  return 1;
}

uint32_t CloneSeed(const std::string& desigUtf8, int obsCount) {
  std::string bytes;
  Utf8ToUtf16Le(desigUtf8, bytes, false);
  uint32_t h = 2166136261u;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const uint32_t unit = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
    h = (h ^ unit) * 16777619u;
  }
  return (h ^ static_cast<uint32_t>(obsCount)) * 16777619u;
}

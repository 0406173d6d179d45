#pragma once
// Clones of an orbit drawn from the covariance of its solved parameters
// (T, peri, node, incl, q, e, A1, A2, A3 in the engine's units). The uniform
// and normal deviates are made here from the raw 32-bit generator so that a
// rescan reproduces its clones bit for bit whatever the standard library.
// With one dominant direction (λ1/λ2 ≥ 100 of the correlation matrix) the
// clones sit evenly along the line of variations within ±3σ, Gaussian-weighted.
#include <cstdint>
#include <random>
#include <string>

struct CloneRecord;

inline constexpr double kCloneLovRatio = 100.0;

class CloneSampler {
public:
  CloneSampler();
  // cov: rows of 9 (only the first min(count, 9) are used); scale s multiplies
  // the deviations; the seed restarts the generator.
  void Init(const double cov[9][9], int count, double scale, uint32_t seed);
  // Clone j (1-based) of N: offsets (9, zero beyond n) and its weight.
  void Draw(int j, int N, double offsets[9], double& weight);
  // Deviates as Draw uses them.
  double Uniform();
  double Normal();

  int n = 0;
  int lov_mode = 0;
  double lov_ratio = 0;
  int cov_diag_only = 0;
  double L[9][9] = {};
  double u[9] = {};
  double sigma_lov = 0;
  std::mt19937 generator;
  int has_stored_normal = 0;
  double stored_normal = 0;
};

// Adds the offsets of the first m parameters to the record's elements; angles
// into (0, 2π], a negative or beyond-π inclination folded back with node and
// argument of perihelion turned by π. 1 valid, 0 invalid (q or e negative, an
// element not finite).
int PerturbCloneElements(CloneRecord& rec, const double offsets[9], int m);

// FNV-1a over the UTF-16 code units of the designation, then the observation count.
uint32_t CloneSeed(const std::string& desigUtf8, int obsCount);

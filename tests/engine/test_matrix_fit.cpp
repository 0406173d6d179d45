// The matrix and fit routines against independent computations: factors
// multiplied back, eigenpairs put back into A v = λ v, exponential series
// with a known time constant, and UTC texts whose rounding crosses a day.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "astro/time_scales.h"
#include "engine/matrix_fit.h"

namespace {

constexpr int S = kMatrixStride;

// A symmetric positive definite n x n matrix B Bᵀ + n I from a fixed draw.
void RandomSpd(int n, unsigned seed, double* A) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  double B[S * S];
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) B[S * i + j] = u(gen);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      double x = i == j ? n : 0.0;
      for (int k = 0; k < n; ++k) x += B[S * i + k] * B[S * j + k];
      A[S * i + j] = x;
    }
}

}  // namespace

TEST(CholeskyDecompose, KnownFactorsAndRefusal) {
  double L[S * S];
  const double identity[S * S] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  ASSERT_EQ(CholeskyDecompose(identity, 3, L), 1);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_EQ(L[S * i + j], i == j ? 1.0 : 0.0);

  double A[S * S] = {};
  A[0] = 4, A[1] = 2, A[S] = 2, A[S + 1] = 3;
  for (double& x : L) x = 7.0;  // the upper part must be zeroed
  ASSERT_EQ(CholeskyDecompose(A, 2, L), 1);
  EXPECT_DOUBLE_EQ(L[0], 2.0);
  EXPECT_EQ(L[1], 0.0);
  EXPECT_DOUBLE_EQ(L[S], 1.0);
  EXPECT_DOUBLE_EQ(L[S + 1], std::sqrt(2.0));

  A[0] = 1, A[1] = 2, A[S] = 2, A[S + 1] = 1;  // eigenvalues 3 and -1
  EXPECT_EQ(CholeskyDecompose(A, 2, L), 0);
  L[0] = 5.0;
  EXPECT_EQ(CholeskyDecompose(A, 0, L), 1);
  EXPECT_EQ(L[0], 5.0);
}

TEST(CholeskyDecompose, NineByNineMultipliesBack) {
  double A[S * S], L[S * S];
  RandomSpd(9, 42, A);
  // Only the lower triangle is read: spoil the upper one.
  double spoiled[S * S];
  for (int i = 0; i < S * S; ++i) spoiled[i] = A[i];
  for (int i = 0; i < 9; ++i)
    for (int j = i + 1; j < 9; ++j) spoiled[S * i + j] = 1e6;
  ASSERT_EQ(CholeskyDecompose(spoiled, 9, L), 1);
  double worst = 0;
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) {
      double x = 0;
      for (int k = 0; k < 9; ++k) x += L[S * i + k] * L[S * j + k];
      worst = std::fmax(worst, std::fabs(x - A[S * i + j]) / A[S * i + i]);
      if (j > i) {
        EXPECT_EQ(L[S * i + j], 0.0);
      }
    }
  EXPECT_LT(worst, 1e-15);  // measured 1.6e-16
}

TEST(JacobiEigenSymmetric, KnownPairsInDecreasingOrder) {
  double A[S * S] = {}, values[S], V[S * S];
  A[0] = 1, A[S + 1] = 3, A[2 * S + 2] = 2;
  JacobiEigenSymmetric(A, 3, values, V);
  EXPECT_EQ(values[0], 3.0);
  EXPECT_EQ(values[1], 2.0);
  EXPECT_EQ(values[2], 1.0);
  const int unit[3] = {1, 2, 0};  // e2, e3, e1
  for (int k = 0; k < 3; ++k)
    for (int r = 0; r < 3; ++r) EXPECT_EQ(V[S * r + k], r == unit[k] ? 1.0 : 0.0);

  double B[S * S] = {};
  B[0] = 2, B[1] = 1, B[S] = 1, B[S + 1] = 2;
  JacobiEigenSymmetric(B, 2, values, V);
  EXPECT_NEAR(values[0], 3.0, 1e-15);
  EXPECT_NEAR(values[1], 1.0, 1e-15);
  const double h = std::sqrt(0.5);
  EXPECT_NEAR(std::fabs(V[0]), h, 1e-15);
  EXPECT_NEAR(V[S], V[0], 1e-15);   // (1, 1)/√2
  EXPECT_NEAR(V[S + 1], -V[1], 1e-15);  // (-1, 1)/√2
  EXPECT_NEAR(std::fabs(V[1]), h, 1e-15);
}

TEST(JacobiEigenSymmetric, PairsSatisfyTheEquationAndLeaveAUnchanged) {
  double A[S * S] = {}, values[S], V[S * S];
  RandomSpd(6, 7, A);
  double copy[S * S];
  for (int i = 0; i < S * S; ++i) copy[i] = A[i];
  JacobiEigenSymmetric(A, 6, values, V);
  for (int i = 0; i < S * S; ++i) ASSERT_EQ(A[i], copy[i]);
  double trace = 0, sum = 0;
  for (int k = 0; k < 6; ++k) {
    trace += A[S * k + k];
    sum += values[k];
    if (k > 0) {
      EXPECT_GE(values[k - 1], values[k]);
    }
    for (int r = 0; r < 6; ++r) {
      double Av = 0;
      for (int c = 0; c < 6; ++c) Av += A[S * r + c] * V[S * c + k];
      EXPECT_NEAR(Av, values[k] * V[S * r + k], 3e-14) << "pair " << k << " row " << r;  // measured 9e-15
    }
  }
  EXPECT_NEAR(sum, trace, 1e-12);
}

TEST(FitErrorGrowthTime, Cases) {
  const double e = std::exp(1.0);
  struct Case {
    const char* name;
    double times[4], errors[4];
    int n;
    double expected;
  } cases[] = {
      {"e-fold of one", {0, 1, 2}, {1, e, e * e}, 3, 1.0},
      {"negative errors count by size", {0, 2, 4}, {-1, e, -e * e}, 3, 2.0},
      {"decreasing errors", {0, 1, 2}, {4, 2, 1}, 3, 0.0},
      {"two usable points", {0, 1, 2}, {1, 0, e * e}, 3, 0.0},
      {"zero errors skipped", {0, 1, 2, 3}, {1, e, 0, e * e * e}, 4, 1.0},
      {"one time only", {5, 5, 5}, {1, 2, 4}, 3, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NEAR(FitErrorGrowthTime(c.times, c.errors, c.n), c.expected, 1e-12);
  }
}

TEST(FormatTtAsUtc, RoundingCarriesIntoTheNextDayMonthAndYear) {
  struct Case {
    int y, m, d;
    double secondsOfDay;
    const char* expected;
  } cases[] = {
      {2024, 1, 31, 86399.9996, "2024/2/1 0:00:00.000 UTC"},
      {2024, 12, 31, 86399.9996, "2025/1/1 0:00:00.000 UTC"},
      {2024, 2, 28, 86399.9996, "2024/2/29 0:00:00.000 UTC"},
      {2008, 10, 7, 2 * 3600 + 45 * 60 + 40.25, "2008/10/7 2:45:40.250 UTC"},
      {2024, 3, 5, 59.9990, "2024/3/5 0:00:59.999 UTC"},
  };
  for (const Case& c : cases) {
    const double utc = CalendarToJd(c.y, c.m, c.d) + c.secondsOfDay / 86400.0;
    std::string text;
    FormatTtAsUtc(DeltaT(kDeltaTUtToTt, utc), text);
    EXPECT_EQ(text, c.expected);
  }
}

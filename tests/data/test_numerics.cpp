#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "data/numerics.h"

namespace {

using CTessaruneLib::SolutionIsFinite;
using CTessaruneLib::SolveLinearSystem;

TEST(SolveLinearSystem, SymmetricPositiveDefiniteSystem) {
  // A = [[4,1,2],[1,5,1],[2,1,6]], x = (1, -2, 3) gives b = A x.
  const double A[3][3] = {{4, 1, 2}, {1, 5, 1}, {2, 1, 6}};
  const double want[3] = {1, -2, 3};
  double a[9][10] = {};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      a[i][j] = A[i][j];
      a[i][3] += A[i][j] * want[j];
    }
  }
  double before[9][10];
  std::copy(&a[0][0], &a[0][0] + 90, &before[0][0]);
  double x[3];
  SolveLinearSystem(3, a, x);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(x[i], want[i], 1e-14);  // pure arithmetic
  EXPECT_TRUE(SolutionIsFinite(3, x));
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 10; ++j) EXPECT_EQ(a[i][j], before[i][j]) << "the matrix must stay unchanged";
}

TEST(SolveLinearSystem, NineUnknownsDiagonallyDominant) {
  double a[9][10] = {};
  double want[9];
  for (int i = 0; i < 9; ++i) want[i] = i - 4.0;
  for (int i = 0; i < 9; ++i) {
    for (int j = 0; j < 9; ++j) a[i][j] = i == j ? 10.0 + i : 1.0 / (1 + i + j);
  }
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) a[i][9] += a[i][j] * want[j];
  double x[9];
  SolveLinearSystem(9, a, x);
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(x[i], want[i], 1e-12);
}

// A regular matrix with a zero first pivot: no row exchange, so the result is
// not finite, and the finiteness test that every caller applies catches it.
TEST(SolveLinearSystem, ZeroPivotGivesNonFiniteResult) {
  double a[9][10] = {{0, 1, 1, 2}, {1, 0, 1, 2}, {1, 1, 0, 2}};
  double x[3];
  SolveLinearSystem(3, a, x);
  EXPECT_FALSE(std::isfinite(x[0]));
  EXPECT_FALSE(SolutionIsFinite(3, x));
}

TEST(SolveLinearSystem, RefusesSizesBeyondItsRows) {
  double a[9][10] = {};
  for (int i = 0; i < 9; ++i) a[i][i] = a[i][9] = 1.0;
  for (int n : {0, -1, 10, 1000}) {
    double x[12];
    std::fill(x, x + 12, 7.0);
    EXPECT_EQ(SolveLinearSystem(n, a, x), -1) << n;
    EXPECT_TRUE(std::all_of(x, x + 12, [](double v) { return v == 7.0; })) << n;
  }
  double x[9];
  EXPECT_EQ(SolveLinearSystem(9, a, x), 0);
  EXPECT_EQ(x[8], 1.0);
}

}  // namespace

#include "astro/jpl_eph.h"
#include "astro/perturber_positions.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"

namespace {

using CTessaruneLib::GetPerturberPositions;

constexpr double kSentinel = -7.0;

struct PerturberBuffers {
  PerturberBuffers() {
    std::fill(&rows[0][0], &rows[0][0] + 16 * 46, kSentinel);
    std::fill(&blocks[0][0], &blocks[0][0] + 16 * 45, kSentinel);
  }
  bool Untouched() const {
    return std::all_of(&rows[0][0], &rows[0][0] + 16 * 46, [](double v) { return v == kSentinel; }) &&
           std::all_of(&blocks[0][0], &blocks[0][0] + 16 * 45, [](double v) { return v == kSentinel; });
  }
  double rows[16][46];
  double blocks[16][45];
};

// Rows are coordinate-major (x of all 15 bodies, then y, then z) while the
// planetary batch gives triples; each body must land in its own column.
TEST(GetPerturberPositions, PlanetsInCoordinateMajorRows) {
  TSR_REQUIRE_DATA(path, "de/lnxp1960p2060.405");
  JplReaderScope reader(path);
  PerturberBuffers b;
  const double start = 2451545.0 - 2.5, step = 0.5;
  ASSERT_EQ(GetPerturberPositions(b.rows, b.blocks, start, step, 11, 0), 0);
  for (int i = 0; i < 11; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(b.rows[i][0], start + i * step);
    for (int body = 0; body < 10; ++body) {
      double pos[3];
      ASSERT_EQ(JplPosition(start + i * step, body + 1, 11, pos), 0);
      for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(b.rows[i][1 + 15 * c + body], pos[c], 1e-12) << "body " << body;  // AU: 0.15 m
        EXPECT_EQ(b.blocks[i][15 * c + body], b.rows[i][1 + 15 * c + body]);
      }
    }
    for (int slot = 10; slot < 15; ++slot)
      for (int c = 0; c < 3; ++c) EXPECT_EQ(b.rows[i][1 + 15 * c + slot], kSentinel) << "asteroid slots left alone";
  }
  EXPECT_EQ(b.rows[11][0], kSentinel);
}

TEST(GetPerturberPositions, FailuresWriteNothing) {
  {
    JplReaderScope none("", "");
    PerturberBuffers b;
    EXPECT_EQ(GetPerturberPositions(b.rows, b.blocks, 2451545.0, 0.5, 11, 0), -5);
    EXPECT_TRUE(b.Untouched());
  }
  TSR_REQUIRE_DATA(path, "de/lnxp1960p2060.405");
  JplReaderScope reader(path);
  PerturberBuffers b;
  // The last of the times falls beyond the end of the file's span.
  EXPECT_EQ(GetPerturberPositions(b.rows, b.blocks, g_dJplEnd - 2.0, 0.5, 11, 0), -1);
  EXPECT_TRUE(b.Untouched());
  EXPECT_EQ(GetPerturberPositions(b.rows, b.blocks, 2451545.0, 0.5, 17, 0), -1);
  EXPECT_TRUE(b.Untouched());
}

// With a perturber set and no loaded store the five slots carry the mark of
// a missing position.
TEST(GetPerturberPositions, AsteroidSlotsWithASet) {
  TSR_REQUIRE_DATA(path, "de/lnxp1960p2060.405");
  JplReaderScope reader(path);
  PerturberBuffers b;
  ASSERT_EQ(GetPerturberPositions(b.rows, b.blocks, 2451545.0, 1.0, 2, 1), 0);
  for (int slot = 10; slot < 15; ++slot)
    for (int c = 0; c < 3; ++c) {
      const double v = b.rows[1][1 + 15 * c + slot];
      EXPECT_TRUE(v == kMissingAsteroidCoordinate || std::fabs(v) < 10.0) << slot;
      EXPECT_NE(v, kSentinel);
    }
}

}  // namespace

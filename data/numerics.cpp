#include "data/numerics.h"

#include <algorithm>
#include <cmath>

#include "astro/constants.h"
#include "astro/perturber_positions.h"
#include "astro/perturber_row_table.h"

namespace CTessaruneLib {

int SolveLinearSystem(int n, const double a[][kNormalRowDoubles], double* x) {
  if (n < 1 || n > kMaxNormalUnknowns) return -1;
  double w[kMaxNormalUnknowns][kNormalRowDoubles];
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= n; ++j) w[i][j] = a[i][j];
  for (int c = 0; c < n; ++c) {
    for (int r = 0; r < n; ++r) {
      const double d = w[r][c];
      if (d != 0.0)
        for (int j = 0; j <= n; ++j) w[r][j] /= d;
    }
    for (int r = 0; r < n; ++r) {
      if (r == c || w[r][c] == 0.0) continue;
      for (int j = c; j <= n; ++j) w[r][j] -= w[c][j];
    }
  }
  // Rows may have been rescaled after their own column was cleared.
  for (int i = 0; i < n; ++i) x[i] = w[i][n] / w[i][i];
  return 0;
}

bool SolutionIsFinite(int n, const double* x) {
  for (int i = 0; i < n; ++i)
    if (!std::isfinite(x[i])) return false;
  return true;
}

int GetPerturberPositions(double rows[][46], double blocks[][45], double start, double step, int count,
                          int asteroidSet) {
  return GetPerturberPositions(&rows[0][0], &blocks[0][0], start, step, count, asteroidSet);
}

int GetPerturberPositions(double* rows, double* blocks, double start, double step, int count, int asteroidSet,
                          PerturberRowTable* table, double epoch) {
  // More times than the buffers hold is refused, never cut short silently.
  if (count > kPerturberPositionsMaxCount) return -1;
  if (count < 1) return 0;
  double tri[kPerturberPositionsMaxCount][kPerturberRowCoordinates];
  const char* mask = asteroidSet != 0 ? "111111111111111" : "111111111100000";
  const int rc = table && asteroidSet == 0 ? table->Rows(epoch, step, start, step, count, &tri[0][0])
                                           : JplBodiesForIntegrator(start, step, count, mask, &tri[0][0], asteroidSet);
  if (rc != 0) return rc;
  const int bodies = asteroidSet != 0 ? 15 : 10;
  double t = start;
  for (int i = 0; i < count; ++i) {
    double* row = rows + i * kSeedRowDoubles;
    double* block = blocks + i * kPerturberRowCoordinates;
    row[0] = t;
    // Row of triples in, coordinate-major out: x of every body, then y, then z.
    for (int j = 0; j < bodies; ++j)
      for (int c = 0; c < 3; ++c) {
        row[1 + c * 15 + j] = tri[i][j * 3 + c];
        block[c * 15 + j] = tri[i][j * 3 + c];
      }
    t += step;
  }
  return 0;
}

}  // namespace CTessaruneLib

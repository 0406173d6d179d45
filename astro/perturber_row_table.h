#pragma once
// Rows of the major perturbers (Mercury to Pluto and the Moon, no asteroids)
// that an improvement has computed, kept by integration step: the trial run,
// the passes and the next call of an improvement integrate on the same grid
// of times (epoch + n h) and would otherwise evaluate every planetary record
// again. A row is handed out only for the very time it was computed at, so
// the rows are those JplBodiesForIntegrator gives, bit for bit. Not safe for
// concurrent use.
#include <memory>
#include <vector>

class PerturberRowTable {
public:
  // The rows of JplBodiesForIntegrator(t0, step, count, "111111111100000",
  // rows, 0) for a run on the grid epoch + n |gridStep|: the same times,
  // values and codes (the five asteroid triples of each row are left as they
  // were). A single step's row asks with step 0 and the run's step as
  // gridStep.
  int Rows(double epoch, double gridStep, double t0, double step, int count, double* rows);

  // Forgets every row.
  void Clear();

  // Rows handed out from the table rather than computed, since construction.
  long long Served() const { return served_; }

private:
  // The rows of one grid (epoch, |step|): slot n ≥ 0 in ahead, n < 0 in
  // behind at -n - 1, in blocks of slots allocated as the runs reach them (a
  // growing vector would copy every row it holds at each growth).
  struct Grid {
    double epoch = 0.0, step = 0.0;
    std::vector<std::unique_ptr<double[]>> ahead, behind;
  };
  Grid& GridOf(double epoch, double step);
  // The slot of step n, or null beyond the table's size.
  static double* Slot(Grid& grid, long long n);

  std::vector<Grid> grids_;  // most recently used first
  long long generation_ = -1;
  long long served_ = 0;
};

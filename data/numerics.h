#pragma once
// Numerical routines the orbit computations share: the normal-equation
// solver and the perturber positions that seed an integration.
class PerturberRowTable;

namespace CTessaruneLib {

inline constexpr int kMaxNormalUnknowns = 9;
inline constexpr int kNormalRowDoubles = 10;  // n coefficients, then the right-hand side

// Solves the n × n system given as augmented rows a[i][0..n-1] | a[i][n]
// into x[0..n-1]; a is unchanged. Gauss-Jordan elimination without row
// exchange: a zero on the diagonal leaves its column uneliminated and the
// result non-finite. Callers test the result with SolutionIsFinite before
// applying it. 0, or -1 with x untouched when n is outside 1..9.
int SolveLinearSystem(int n, const double a[][kNormalRowDoubles], double* x);
// True when all n values are finite.
bool SolutionIsFinite(int n, const double* x);

// Perturber positions for count (1..16) times start, start + step, ...:
// rows[i] = time, then the x of the 15 perturbers, their y, their z (AU,
// heliocentric, J2000 equatorial; Mercury .. Pluto, the Moon, the five
// asteroid slots); blocks[i] = the same 45 coordinates without the time. The
// asteroid slots are filled only when asteroidSet is not 0; entries of bodies
// left out keep their values. 0, or the planetary reader's error code with
// nothing written; -1 for a count above 16.
int GetPerturberPositions(double rows[][46], double blocks[][45], double start, double step, int count,
                          int asteroidSet);

// Perturber rows that seed an integration: count (at most 16) rows of
// kSeedRowDoubles (time, then 15 x, 15 y and 15 z coordinates; AU,
// heliocentric, J2000 equatorial) and count coordinate blocks of the same 45
// coordinates, for the times start, start + step, ... . asteroidSet not 0
// adds the five asteroid slots; entries of bodies left out stay as they were.
// 0, or the planetary reader's error code with nothing written; -1 for a
// count above 16. With a row table (asteroidSet 0 only) the rows come
// through it, for a run whose epoch is epoch.
inline constexpr int kPerturberPositionsMaxCount = 16;
inline constexpr int kSeedRowDoubles = 46;
int GetPerturberPositions(double* rows, double* blocks, double start, double step, int count, int asteroidSet,
                          PerturberRowTable* table = nullptr, double epoch = 0.0);

}  // namespace CTessaruneLib

#pragma once
// Numerical routines the orbit computations share: the normal-equation
// solver, the perturber positions that seed an integration, and the automatic
// integration step.
struct IntegrationState;

namespace CTessaruneLib {

inline constexpr int kMaxNormalUnknowns = 9;
inline constexpr int kNormalRowDoubles = 10;  // n coefficients, then the right-hand side

// Solves the n × n system (n ≤ 9) given as augmented rows a[i][0..n-1] | a[i][n]
// into x[0..n-1]; a is unchanged. Gauss-Jordan elimination without row
// exchange: a zero on the diagonal leaves its column uneliminated and the
// result non-finite. Callers test the result with SolutionIsFinite before
// applying it.
void SolveLinearSystem(int n, const double a[][kNormalRowDoubles], double* x);
// True when all n values are finite.
bool SolutionIsFinite(int n, const double* x);

// Shortest and longest automatic steps, days.
inline constexpr double kAutoStepMin = 0.0001220703125;  // 2^-13
inline constexpr double kAutoStepMax = 8.0;
// The automatic step of a state, a power of two in days: for a calculation
// run ('C' with an end time) 40 to 100000 steps over the span where the
// limits allow; otherwise at least 200 steps over the observations and, near
// a perihelion passage inside the arc, at most 0.02 of the orbit's time unit
// at perihelion.
double AutoIntegrationStep(const IntegrationState* state);

}  // namespace CTessaruneLib

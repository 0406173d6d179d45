#pragma once
// Small numerical routines shared by the impact probability, the clone
// sampler of the NEOCP scan and the forecast dialog: the Cholesky factor and
// the eigen-decomposition of a symmetric matrix of at most 9 x 9 (six
// elements and up to three non-gravitational parameters), the e-folding time
// of a growing error, and a UTC text of a TT time to the millisecond.
// Matrices have a row stride of 9 whatever n is: (i, j) is at 9 i + j.
#include <string>

inline constexpr int kMatrixStride = 9;

// Lower triangular L with A = L Lᵀ; only the lower triangle of A is read and
// the upper part of L is zeroed. 1 when A is positive definite, 0 as soon as
// a diagonal term is not positive (L then holds the rows done so far);
// n ≤ 0 gives 1 and leaves L as it is.
int CholeskyDecompose(const double* A, int n, double* L);

// Eigenvalues of symmetric A in decreasing order, the eigenvector of value k
// in column k of vectors (stride 9). Classical Jacobi with the largest
// off-diagonal element, at most 100 rotations: a 9 x 9 matrix may come back
// with its off-diagonal elements not yet negligible. A is not changed.
void JacobiEigenSymmetric(const double* A, int n, double* values, double* vectors);

// e-folding time of errors growing as exp(t / τ): least-squares slope of
// ln |error| against time over the points with a non-zero error; τ in the
// unit of the times, or 0 with fewer than 3 points, a degenerate spread of
// times, or an error that does not grow.
double FitErrorGrowthTime(const double* times, const double* errors, int n);

// "%d/%d/%d %d:%02d:%06.3f UTC" of a JD TT (UT by the ΔT table).
void FormatTtAsUtc(double jdTT, std::string& text);

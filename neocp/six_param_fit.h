#pragma once
// The six-parameter least-squares fit of the systematic ranging: the
// attributable's α, δ, α̇, δ̇ with the range ρ and range rate ρ̇, refined by
// damped (Levenberg-Marquardt) steps on central-difference partials of the
// residual vector, with the covariance of the six numbers when it converged.
#include <string>

#include "neocp/attributable.h"

class ScanProgress;

// Solves (L Lᵀ) x = b for the lower factor L of a 6 × 6 matrix in rows of 9.
void CholeskySolve6(const double* L, const double* b, double* x);

// p: α, δ (rad), α̇, δ̇ (rad/day), ρ (AU), ρ̇ (AU/day), refined in place.
// timeScale: the usable arc in days. Outputs: the mean residual (arcsec, -1
// when the fit did nothing), the covariance of p in its own units with its
// flag (only after convergence or when no damped step improves any more,
// and with more than 6 residuals), the unit-weight error (arcsec, at least
// 0.5). 0, or the scan pump's code (1 aborted, 2 time limit) when it ended
// the fit (then without covariance).
int FitSixParameters(OrbitEngine* engine, const DetClass* det, const Attributable& a, double p[6], double timeScale,
                     const std::string& desig, ScanProgress* progress, double& meanResidual, double covariance[6][6],
                     int& covarianceValid, double& sigma, std::string& log);

#pragma once
// The AI improvement's thresholds and verdicts, as plain rules: residuals in
// arcseconds.
#include <algorithm>

// Staged extension: the residual below which set-aside observations come
// back, from the mean residual and the count of rounds in a row that took
// none back (a second round waits at 300", later ones at 1000").
inline double StageReadmitThreshold(double meanResidual, int idleRounds) {
  double w = std::max(10.0, 5.0 * meanResidual);
  if (idleRounds == 1 && w < 300.0) w = 300.0;
  if (idleRounds >= 2) w = std::max(1000.0, w);
  return w;
}

// A run ends without an orbit when its final mean residual reaches 1000": the
// size at which the staging calls two observations in a row a jump off the
// orbit it holds. An orbit whose mean observation lies that far off fits none
// of them, whatever the iterations settled on (raw 2024 PT5's first hundred
// lines ended "完了" at 41,659"); the observations' weights, never below 0.1,
// allow errors of a few arcseconds. Not a number ends without one too.
inline constexpr double kNoOrbitResidual = 1000.0;
inline bool EndsWithoutOrbit(double meanResidual) { return !(meanResidual < kNoOrbitResidual); }

// A non-gravitational model is taken only when it lowers the mean residual
// below 95 % of the gravity-only one.
inline bool ModelBeatsGravity(double modelResidual, double gravityResidual) {
  return modelResidual < 0.95 * gravityResidual;
}

// A rejection pass is undone when it would leave fewer than 5 usable
// observations, or fewer than a fifth of those before it.
inline bool RejectionLeavesTooFew(int usable, int usableBefore) { return usable < 5 || 5 * usable < usableBefore; }

// The next rejection threshold on the way down to the user's own: halved
// above 6" (not below 6"), one arcsecond less from there, never below the
// user's, raised to a tenth of an arcsecond.
double NextRejectThreshold(double threshold, double userThreshold);

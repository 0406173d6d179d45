#pragma once
// The building blocks of the systematic ranging: the attributable (one
// direction and its angular rates at one time, from one station), the state
// of a (distance, range rate) pair with the interval of bound orbits, one
// trial orbit measured against all observations with the engine and the
// reason when it fails, the residual trend of a trial orbit, and the
// residual vector of the six-parameter fit.
struct OrbitEngine;
class DetClass;
struct CloneRecord;
struct ObservationRecord;

inline constexpr double kLightDayAu = 173.14463267424;                  // AU/day
inline constexpr double kTwoGaussK2 = 0.0005918244165711823;            // 2k², AU³/day²
inline constexpr double kRangingArcsecPerRad = 206264.806;
inline constexpr double kRangingSunRadiusAu = 0.00465;
inline constexpr double kRangingMaxBoundA = 100.0;                      // AU
inline constexpr double kAttributableFirstWindow = 0.06;                // days
inline constexpr int kAttributableMaxObs = 256;

struct Attributable {
  double t0;                  // JD TT
  double alpha, delta;        // rad, equatorial J2000
  double alphaDot, deltaDot;  // rad/day; the plain rate of α (not × cos δ)
  double obsPos[3];           // observer, heliocentric, AU
  double obsVel[3];           // AU/day
};

// Offsets (arcsec) and rates (arcsec/day) of the residuals against time; the
// RA residual is the one on the sky (× cos δ).
struct ResidualTrend {
  double raOffset, raRate, decOffset, decRate;
};

// Why the last EvaluateRangeSample failed: 0 ok, 1 no finite elements,
// 2 q ≤ 0.00465 AU or e < 0, 3 not bound with a < 100 AU (only when asked),
// 4 the residual computation failed, 5 a mean residual that is not a number
// or negative.
extern int g_nSampleFailReason;
// The code of the last ImproveOrbitIteration made by EvaluateRangeSample.
extern int g_nLastIterationResult;

namespace ranging {
// Least squares of y against t: a straight line through 2 points, the
// parabola through 3 or more; value and slope at t = 0. 0, or -1 for fewer
// than 2 points or a determinant below 1e-12. (The distance scan has its own
// fit with other rules.)
int FitValueAndRate(const double* t, const double* y, int count, double& value, double& rate);
}  // namespace ranging

// The attributable at the usable observation that has most observations of
// its own station within 0.06 day (between equals the one nearest the
// middle of the arc), from at most 256 observations of that station within
// a window that doubles from 0.06 day until 3 are in it. 1, or 0 with fewer
// than 2 usable observations or a fit that fails. station: 3 characters and
// a terminating zero.
int ComputeAttributable(const ObservationRecord* obs, int obsCount, Attributable& out, int& used, double& window,
                        char station[4]);

// Heliocentric position and velocity of the object at distance rho (AU) and
// range rate rhoDot (AU/day) from the observer, and the emission time. With
// H and sqrtJ asked for: the bound range rates at rho are -H - √J .. -H + √J;
// 0 when no bound orbit exists there.
int AttributableToState(const Attributable& a, double rho, double rhoDot, double& emission, double position[3],
                        double velocity[3], double* H = nullptr, double* sqrtJ = nullptr);

// Why a trial orbit failed: the reason as in g_nSampleFailReason and the
// code of the last ImproveOrbitIteration made for a sample.
struct RangeSampleFailure {
  int reason = 0;
  int iterationResult = 0;
};

// The trial orbit of the state at epoch into the engine, its residuals over
// all observations; 1 with the engine's orbit and mean residual, else 0 with
// the reason in *failure when asked for (and in g_nSampleFailReason, which
// only this function writes).
int EvaluateRangeSample(OrbitEngine* engine, double epoch, const double position[3], const double velocity[3],
                        int boundTest, CloneRecord& out, double& meanResidual, RangeSampleFailure* failure = nullptr);

// Residuals of the used observations against time from t0 (days): count,
// sum of squares, the sum left after each coordinate's own offset and rate,
// and the trend.
void ComputeResidualTrend(const DetClass* det, double t0, int& count, double& sumSq, double& detrendedSumSq,
                          ResidualTrend& trend);

// The residual vector (RA, Dec of each used observation, arcsec) of the six
// parameters α, δ, α̇, δ̇, ρ, ρ̇ on the attributable's time and observer.
// 1, or 0 when ρ ≤ 0, the orbit fails, the length is not expectedLength or
// the sum of squares is not finite.
int ComputeResidualVector(OrbitEngine* engine, const DetClass* det, const Attributable& a, const double params[6],
                          double* vector, int expectedLength, double& sumSq);

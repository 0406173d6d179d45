#pragma once
// One correction step of the differential correction with perturbations:
// the normal equations from the residuals of the nominal and the
// element-varied orbits, a limited correction, and the guards of the
// iteration (re-scaled variation amounts from the measured displacement,
// shortened or undone corrections after which the mean residual grew, a
// diverged solution, a stopped improvement). Parameters, in this fixed order:
// T (days), argument of perihelion, node, inclination (rad), q (AU), e,
// A1, A2, A3 (AU/day²); parameter k is varied in body slot k + 1 and solved
// when bit k + 1 of the state's mask is set.
struct OrbitEngine;
struct IntegrationState;
struct ElementBlock;

// 0.5", 3" and 20" in radians: the displacement band the calibration aims at.
inline constexpr double kHalfArcsecRad = 2.42406840554768e-06;
inline constexpr double kThreeArcsecRad = 1.454441043328608e-05;
inline constexpr double kTwentyArcsecRad = 9.69627362219072e-05;
// The Sun's radius, AU: the smallest perihelion distance a correction keeps.
inline constexpr double kSunRadiusAu = 0.00465;

// Forms the normal equations (in the state's m_dNormal, m - 1 unknowns where
// m is the state's body count) from the residuals of the usable observations
// (residuals: 20 per observation, varied orbit j + 1 in entry j and 10 + j)
// and applies the limited correction. Fills m_nUsedObs, m_dSumWeights,
// m_dWeightedSumSq, the state's residual sums and m_strStepNotes.
// 0: the correction was applied, or the improvement is stopped and nothing
// was applied. 1: nothing was applied, the elements or the variation amounts
// changed, the reason is in m_strPendingNote and the step must be redone.
// A correction that is not finite never reaches the elements.
int ApplyCorrection(OrbitEngine* engine, const double* residuals, IntegrationState* state);

// Adds fraction × m_dLastCorrection to the solved elements (angles reduced
// into (0, 2π], an inclination beyond π folded back, q kept above the Sun's
// radius, e not below 0), then derives a, n and M.
void ApplyCorrectionByMask(OrbitEngine* engine, IntegrationState* state, double fraction);
// Puts m_savedElements back into the state and derives a, n and M.
void RestoreSavedElements(OrbitEngine* engine, IntegrationState* state);
// With a saved copy: restores it, forgets it, resets the damping and
// appends "(軌道要素は直前の補正前の値へ戻しました)" to m_strMessage.
void RevertLastCorrection(OrbitEngine* engine, IntegrationState* state);

// a = q / (1 - e), n and M at the state's start epoch for e ≤ 0.97; all -1
// above; and the orientation vectors of the angles.
void DeriveMeanElements(IntegrationState* state);
// P and Q of the block from its argument of perihelion, node and inclination:
// whatever changes the angles calls it, so that no reader of the vectors
// meets an orientation the angles no longer have.
void SyncOrientationVectors(ElementBlock& el);
// x reduced into (0, 2π].
double ReduceAngle(double x);

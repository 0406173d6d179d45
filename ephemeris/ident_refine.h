#pragma once
// Identification, second stage: a candidate of the first stage moved with
// the perturbed integration of the current orbit-determination object to
// the middle of the observations, and its two-body residuals there; for the
// NEOCP scan also the time of perihelion refined by Newton steps.
#include "ephemeris/ident_scan.h"

struct IntegrationState;
class EngineWindow;

// What RefineCandidatePerturbed gives.
struct RefineResult {
  double m_dRmsMoved;   // RMS of the candidate as moved, arcsec
  double m_dShiftT;     // shift of T by the Newton fit, days
  double m_dRmsShifted; // RMS after the shift, arcsec
  double m_dDeltaMid;   // geocentric distance at the middle observation, AU
};

// Sums over the observations of the residuals at T and of their derivative
// by T (a difference over dt days): Σ(rα² + rδ²), Σ(p·r), Σp² (radians, per
// day), and the distance at the middle observation (index count / 2) when
// deltaMid is not null. 1, or 0 when a position fails.
int CandidateResiduals(double jdT, double qAu, double e, const double P[3], const double Q[3],
                       const ObservationRecord* obs, int count, double dt, double& sumSquares, double& gradient,
                       double& curvature, double* deltaMid);

// Moves the candidate's elements from its epoch to tmid in state (zeroed and
// prepared here; integrated with 4-day steps when more than 48 days away,
// else left as they are), with the engine of the current orbit-determination
// object. useNormalizeAngle picks the mean anomaly's reduction of the view's
// refinement. 1, or 0 when there is no engine or the integration fails.
int MoveCandidateToTime(const IdentCandidate& candidate, double tmid, IntegrationState* state, EngineWindow* window,
                        bool useNormalizeAngle);

// The candidate moved to the middle of the observations, its residuals, and
// the Newton fit of T (at most 12 steps of at most ±5 days). 1, or 0 on
// failure (no observations or window, no engine, a failed integration or position).
int RefineCandidatePerturbed(const IdentCandidate& candidate, const ObservationRecord* obs, int count,
                             EngineWindow* window, RefineResult* result);

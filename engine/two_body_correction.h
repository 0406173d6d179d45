#pragma once
// One least-squares correction step of the six elements (five with the
// eccentricity fixed) in pure two-body motion about the Sun, for the
// improvement without perturbations. Partial derivatives by finite
// differences: orbit 0 is the nominal orbit, orbit i = 1..6 has element
// i - 1 (T, peri, node, incl, q, e) increased by its variation amount; each
// keeps its own P and Q vectors (TrialOrbitVectors columns).
#include "astro/two_body.h"

class DetClass;
struct OrbitEngine;
struct ObservationRecord;

inline constexpr int kTwoBodyOrbitsMax = 7;

// One step on the engine's ElementBlock: residuals of every observation
// (of the varied orbits only at the usable ones, unless m_bReuseWork is 0),
// the weighted normal equations of the usable ones (variation amounts cut
// so that no varied orbit moves an observation by more than 30"), a
// correction limited to a possible orbit, the element epoch moved to the
// 40-day grid point at or before the first observation, the covariance.
// 0 done; -1 failure with the reason in det->m_strError (the elements stay
// as they were); -9 cancelled.
int DifferentialCorrection(DetClass* det, OrbitEngine* engine);

// Heliocentric and observer-centred positions (AU, J2000 equatorial) of
// orbits 0..count-1 at observation j, light time iterated (the light
// distance carries over from orbit to orbit). nominal: T, peri, node, incl,
// q, e; variations the same order. 0, or -1 when a solver fails.
int TwoBodyOrbitPositions(int j, int count, const double nominal[6], const double variations[6],
                          const TrialOrbitVectors& P, const TrialOrbitVectors& Q, const ObservationRecord* obs,
                          double helio[][3], double geo[][3]);

// Residuals of the orbits at observation j: orbit 0 into the record
// (residual pair, heliocentric distance), orbit i ≥ 1 into
// buffer[20 j + i - 1] (Δα cos δ) and buffer[20 j + i + 9] (Δδ). 0 or -1.
int TwoBodyResiduals(int j, int count, const double nominal[6], const double variations[6],
                     const TrialOrbitVectors& P, const TrialOrbitVectors& Q, ObservationRecord* obs, double* buffer);

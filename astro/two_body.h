#pragma once
// Unperturbed (Keplerian) motion about the Sun (mass 1, k = kGaussK) from
// perihelion elements: perihelion time T (JD TT), perihelion distance q (AU),
// eccentricity e, and the orientation vectors P, Q of OrbitOrientationVectors
// (unit vectors, J2000 equatorial). Positions are AU, velocities AU/day, J2000
// equatorial. Light time: a body at distance delta (AU) from the observer is
// seen where it was at t - kLightTimeDaysPerAu * delta.
//
// Three regimes: Kepler's equation for e <= 0.97, a series about the
// parabola for 0.97 < e <= 1.2, universal variables above. The series is used
// only where its truncation is below 1e-11 AU; elsewhere (far from perihelion,
// where it would settle on a wrong answer) the universal-variable solution
// takes over, so every branch agrees with the exact two-body solution.
//
// Result codes: 0 success, -1 no solution (an iteration ran out, q <= 0).

// --- Kepler's equation ------------------------------------------------------------

// E = M + x solves Kepler's equation E = M + e sin E (radians, elliptic e):
// the fixed-point iteration x <- e sin(M + x) from the given x, until a
// change below tol; false after maxIter iterations (x then the last value).
bool SolveKeplerFixedPoint(double M, double e, double tol, int maxIter, double& x);

// --- Universal variables -----------------------------------------------------

// Stumpff functions c2(x) and c3(x); exactly 1/2 and 1/6 at x = 0.
void StumpffC2C3(double x, double& c2, double& c3);

// Heliocentric position and, when velAuPerDay is not null, velocity tauDays
// after perihelion. -1 for q <= 0 or when the solution does not converge.
int PropagateUniversal(double tauDays, double qAu, double e, const double P[3], const double Q[3],
                       double posAu[3], double velAuPerDay[3]);

// --- Heliocentric states -------------------------------------------------------

// Heliocentric state at jdTT (no light time): the series for e <= 1.2, else
// universal variables. Its callers use it for e > 0.97.
int ElementsToState(double jdTT, double jdT, double qAu, double e, const double P[3], const double Q[3],
                    double posAu[3], double velAuPerDay[3]);

// Heliocentric state at jdTT - kLightTimeDaysPerAu * deltaAu for a given
// delta (no light-time iteration); velAuPerDay may be null.
int TwoBodyStateLightTime(double jdTT, double jdT, double qAu, double e, const double P[3],
                          const double Q[3], double deltaAu, double posAu[3], double velAuPerDay[3]);

// The same function under the name later code calls it by.
inline int TwoBodyGeocentricPositionEx(double jdTT, double jdT, double qAu, double e, const double P[3],
                                       const double Q[3], double deltaAu, double posAu[3],
                                       double velAuPerDay[3]) {
  return TwoBodyStateLightTime(jdTT, jdT, qAu, e, P, Q, deltaAu, posAu, velAuPerDay);
}

// --- Observer-centred positions with light time --------------------------------

// Sky position seen by an observer, light time iterated. sunAu is the Sun
// relative to the observer (J2000). Returns right ascension in [0, 2*pi) and
// declination (J2000, radians), observer distance delta and Sun distance r
// (AU), true anomaly (radians). The elliptic branch never fails (after 100
// light-time passes the last position stands); -1 when Kepler's equation or
// the universal solution does not converge.
int TwoBodyGeocentricPosition(double jdT, double qAu, double e, const double P[3], const double Q[3],
                              double jdTT, const double sunAu[3], double& raRad, double& decRad,
                              double& deltaAu, double& rAu, double& trueAnomalyRad);

// Universal-variable solution with light time (starting from delta = 0):
// heliocentric and observer-centred positions, delta, true anomaly.
int TwoBodyGeocentricPositionUniversal(double jdTT, double jdT, double qAu, double e, const double P[3],
                                       const double Q[3], const double sunAu[3], double helioAu[3],
                                       double observerAu[3], double& deltaAu, double& trueAnomalyRad);

// Trial-orbit tables of the two-body differential correction: the P (or Q)
// vectors of up to ten orbits, all x components, then all y, then all z.
using TrialOrbitVectors = double[3][10];

// Position of trial orbit iOrbit (0-9) with light time iterated from
// delta = 1 AU, seen from an observer whose Sun vector is sunAu: the series
// for e <= 1.2, else universal variables. Callers use it for e > 0.97.
int TwoBodyPositionForObserver(int iOrbit, double jdTT, double jdT, double qAu, double e,
                               const TrialOrbitVectors& P, const TrialOrbitVectors& Q, const double sunAu[3],
                               double helioAu[3], double observerAu[3]);
// The universal-variable solution behind it.
int TwoBodyPositionForObserverUniversal(int iOrbit, double jdTT, double jdT, double qAu, double e,
                                        const TrialOrbitVectors& P, const TrialOrbitVectors& Q,
                                        const double sunAu[3], double helioAu[3], double observerAu[3]);

// The same at observation iObs of an observation array (records with the
// observer-to-Sun vector m_dSun, AU, J2000).
template <class Observation>
int TwoBodyPositionAtObservation(int iObs, int iOrbit, double jdTT, double jdT, double qAu, double e,
                                 const TrialOrbitVectors& P, const TrialOrbitVectors& Q,
                                 const Observation* observations, double helioAu[3], double observerAu[3]) {
  return TwoBodyPositionForObserver(iOrbit, jdTT, jdT, qAu, e, P, Q, observations[iObs].m_dSun, helioAu,
                                    observerAu);
}
template <class Observation>
int TwoBodyPositionAtObservationUniversal(int iObs, int iOrbit, double jdTT, double jdT, double qAu, double e,
                                          const TrialOrbitVectors& P, const TrialOrbitVectors& Q,
                                          const Observation* observations, double helioAu[3],
                                          double observerAu[3]) {
  return TwoBodyPositionForObserverUniversal(iOrbit, jdTT, jdT, qAu, e, P, Q, observations[iObs].m_dSun,
                                             helioAu, observerAu);
}

// --- Preliminary orbits -------------------------------------------------------

// Gauss's sector-to-triangle ratio y for two heliocentric distances r1, r2
// (AU), kappa = sqrt(2 (r1 r2 + r1.r2)) and tau = k * (t2 - t1). -1 when the
// iteration does not settle.
int GaussSectorTriangleRatio(double r1Au, double r2Au, double kappa, double tau, double& y);

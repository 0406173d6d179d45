#pragma once
// Preliminary orbit from the three picked observations of the view's
// observation array: the Gauss–Merton iteration for a general orbit (ellipse,
// parabola or hyperbola) and Banachiewicz's method for a parabola, with the
// residuals they leave in the observation records.
//
// The elements go into the ElementBlock of the engine's own state (T, q, e,
// angles in radians, ecliptic J2000; P and Q J2000 equatorial). The picks are
// taken in array order, which is time order. Residual pairs are
// (Δα cos δ, Δδ) in radians, observed minus computed, Δα reduced into -π..π
// and multiplied by the cosine of the computed declination.
//
// Result codes: 0 orbit found; -1 failure (text in DetClass::m_strError where
// the method gives one); -9 cancelled through OrbitEngine::m_nCancel (general
// method only).
#include <string>

#include "data/observation_record.h"
#include "engine/determination_host.h"
#include "engine/integration_state.h"
#include "engine/orbit_engine.h"

// ---- failure texts ----
inline constexpr const char* kMsgWrongPicks =
    "軌道決定に使う観測の選択がずれています。3つ選び直してください。";

// Places of "解が求まらなかったので計算を中止しました[n]"; each number is
// used at one kind of failure only.
enum PrelimFailPlace : int {
  kPrelimFailDetermination = 1,   // the view: the determination failed (text ends with "。")
  kPrelimFailParabolaRoot = 2,    // Banachiewicz: Euler's equation has no root in 0.1..9.1 AU
  kPrelimFailAnomaly = 3,         // σ + σ³/3 = w not solved
  kPrelimFailSeries = 4,          // near-parabolic series or parabolic light time not settled
  kPrelimFailLightTime = 5,       // near-parabolic light time not settled
  kPrelimFailResidualAnomaly = 6, // parabolic residuals: σ not solved
  kPrelimFailResidualLightTime = 7,  // parabolic residuals: light time not settled
};
// "解が求まらなかったので計算を中止しました[n]" (without a closing "。").
std::string PrelimFailureText(int place);

// ---- the determination ----

// Copies the three picks (every record with m_bPicked == 1, in array order)
// and runs the method chosen by DetClass::m_bParabolicMethod. On any nonzero result
// T, q, e, the angles, P, Q, a, M, n, the epoch and the residuals of every
// observation are restored. Two or four
// picks, or an empty array: kMsgWrongPicks, -1.
int DetermineInitialOrbit(DetClass* det, OrbitEngine* engine);

// Gauss–Merton iteration on the picks copied by DetermineInitialOrbit. Writes
// T, q, e, the angles, P, Q, a (e != 1) and the epoch, and the residuals of
// the picks and of every record of the array. -1 when an iteration runs out,
// a sector-to-triangle ratio fails or the position of any observation cannot
// be computed; -9 when cancelled (one event is dispatched per outer pass).
int GaussMertonOrbit(DetClass* det, OrbitEngine* engine);

// Banachiewicz's parabola (e = 1) from the work area DetermineInitialOrbit
// filled: ρ3 = M ρ1 by Olbers' ratio, ρ1 from Euler's equation. Writes T, q,
// the angles, P, Q and the epoch, the picks' residual pairs, and the
// light-time corrected time constants for the next pass. -1 with [2], [3] or
// [4] in m_strError.
int BanachiewiczParabola(DetClass* det, OrbitEngine* engine);

// q, T and the epoch (the 40-day grid point nearest T) of the parabola
// through two positions at true anomalies θ1, θ3 (rad), distances r1, r3
// (AU), light-time corrected times t1, t3 (JD TT).
void ParabolaFromTwoPositions(ElementBlock& el, double theta1Rad, double theta3Rad, double r1Au, double r3Au,
                              double t1TT, double t3TT);

// P, Q and the ecliptic angles from the first position r1 (AU, J2000
// equatorial), the component r0 of the third position normal to it, the true
// anomaly θ1 of r1 (rad) and the lengths of r1 and r0.
void OrientationFromPositions(ElementBlock& el, const double r1Au[3], const double r0Au[3], double theta1Rad,
                              double r1LenAu, double r0LenAu);

// Place of obs[index] on the ellipse of mean motion n (rad/day), perihelion
// time T (JD TT), eccentricity e and axes a·P, b·Q (AU), light time iterated
// from 1 AU: computed α, δ (rad) and the residual pair. 0; -1 Kepler's
// equation not solved; -2 light time not converged.
int EllipticResidual(const ObservationRecord* obs, int index, double nRadPerDay, double T, double e,
                     const double aP[3], const double bQ[3], double& raRad, double& decRad, double& resRaRad,
                     double& resDecRad);

// Place of obs[index] by Gauss's method for orbits near the parabola (T, e, q;
// P and Q from the engine's ElementBlock): computed α, δ and the residual
// pair. 0 (m_strError emptied), or -1 with [3], [4] or [5] in m_strError.
int NearParabolicResidual(DetClass* det, const ObservationRecord* obs, int index, double T, double e, double q,
                          double& raRad, double& decRad, double& resRaRad, double& resDecRad);

// Solves Barker's equation σ + σ³/3 = w by Newton's rule from σ = 1 until a
// step is at most tolerance × (|σ| + 1) (relative) or tolerance × max(1, |σ|);
// false after maxSteps steps.
bool SolveBarker(double w, double tolerance, bool relative, int maxSteps, double& sigma);

// Residual pair of a computed place (α, δ in radians) against the observed one.
void ResidualPair(double obsRaRad, double obsDecRad, double raRad, double decRad, double& resRaRad,
                  double& resDecRad);

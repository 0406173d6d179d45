#pragma once
// The fixed-step multistep integrator of every orbit: a Störmer–Cowell method
// of order 12 in backward-difference form (eleven differences of the
// acceleration, no corrector), its iterated 11-point start, one step, the
// per-step bookkeeping of calculation runs (end test, 40-day element output,
// collisions, sphere-of-influence entries, impacts, progress, step control)
// and the choice of the step level.
//
// A run: initial states at point 5 of the window (the drivers) → TaylorStart
// → IterateStartup → BuildDifferenceTables → repeated AdvanceStepBookkeeping
// (and the caller's own work) with StormerCowellStep. A step change restarts
// the run from the elements at the current time; differences are never
// rescaled.
#include <cstdint>
#include <string>

#include "engine/integration_state.h"

struct OrbitEngine;
class EngineWindow;

// Sphere-of-influence radii (AU) by BodyIndex; entering one records the
// heliocentric elements just before (m_bSoiEntered and m_dSoi* of the state).
extern const double kSoiRadiusAu[10];

// Start-up weight W(c, m), c = -5..5, m = 0..10: x(epoch + c h) = x5 + c h v5
// + h² Σ W(c, m) a_m over the 11 points of the window.
double StartupWeight(int c, int m);
// The same weights for any real c in [-5, 5] (w), and those of the
// velocity, v(epoch + c h) = v5 + h Σ wv(c, m) a_m.
void StartupWindowWeights(double c, double w[kWindowPoints], double wv[kWindowPoints]);
// Position and velocity of the nominal orbit at epoch + c h from the
// converged start-up window (before the first step).
void StartupWindowState(const IntegrationState* state, double c, double r[3], double v[3]);
// σ_m (positions) and ρ_m (velocities) of the backward-difference formulas, m = 0..10.
double StormerSigma(int m);
double VelocityRho(int m);

// Second-order start of the window around point 5 (the initial states).
void TaylorStart(OrbitEngine* engine, IntegrationState* state);
// Iterates the 11 start-up points until the accelerations settle (change
// below 1e-17 or 5e-14 relative). 0; -2 after 10000 passes ([11] in
// m_strMessage); -1 when cancelled.
int IterateStartup(OrbitEngine* engine, IntegrationState* state);
// Differences ∇⁰..∇¹⁰ at point 10 and m_dDeltaX from the 11 start-up points.
void BuildDifferenceTables(IntegrationState* state);
// Time of the newest point after n steps from the epoch, never a sum of
// steps: the parallel run's producer computes its times the same way.
inline double NewestPointTime(double epoch, int64_t n, double h)
{
  return epoch + static_cast<double>(n + 5) * h;
}
// One step: new point 10, perturbers, accelerations, differences. 0, or -1
// when the perturber positions of the new point cannot be had.
int StormerCowellStep(OrbitEngine* engine, IntegrationState* state);

// Osculating elements of the nominal orbit at the newest point (time t,
// position pos[c][0], velocity from deltaX and the differences), barycentric
// when sunBary (position, velocity) is given. With targetEpoch not 0 the
// epoch is the target and M is carried there on the two-body orbit (T
// stays). mode 'R' never shows the block; '-' always does; the run's own
// letters show it only within 20 days of perihelion. Elements are always
// converted in full. M is left as it is for e > 0.97. Returns 0.
int ElementsFromDifferenceTables(OrbitEngine* engine, char mode, double t, const double deltaX[3][kMaxBodies],
                                 double h, IntegrationState* state, const double pos[3][kMaxBodies], double& T,
                                 double& q, double& e, double& peri, double& node, double& incl, double& M, double& a,
                                 double& epoch, double P[3], double Q[3], double targetEpoch,
                                 const double* sunBary);

// Once per loop turn, before the caller's own work:
// 0 go on with the caller's work (modes other than 'C', worker copies);
// 1 run finished (elements in m_el; an end inside the start-up window from
// the window's polynomial); 2 a step was made; 3 restart with a new
// step from the current elements; 4 an impact tracker reports a hit;
// -1 failure (message shown); -2 step failure.
int AdvanceStepBookkeeping(OrbitEngine* engine, EngineWindow* window, IntegrationState* state);
// The step level (0..13) to use now, from the perturber and Sun distances.
int ChooseStepLevel(OrbitEngine* engine, IntegrationState* state);

// The 40-day grid output of the current step (elements at the grid epoch
// into m_dGrid*, an entry in the element log when attached).
void OutputGridElements(OrbitEngine* engine, IntegrationState* state, char mode);

// Work counters of the integrations run on the calling thread (for
// benchmarks and diagnostics; each thread has its own).
struct IntegratorCounters {
  long long forceEvaluations = 0;  // calls of the force model, one point each
  long long steps = 0;             // multistep steps
  long long startups = 0;          // completed start-ups
  long long restarts = 0;          // restarts of calculation runs (step changes, approach checks)
};
IntegratorCounters& ThreadIntegratorCounters();

// "%6d/%02d/%05.2f" of a Julian day, the date form of the run report.
std::string FormatRunDate(double jd);

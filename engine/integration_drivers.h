#pragma once
// How an integration run is driven: the initial states of the nominal and
// varied orbits, the start of a run with its approach check, the serial loop
// with the light-time interpolation at the observation times (improvement
// runs, mode 'N'), and IntegrateOrbit for calculation runs (mode 'C') with
// its restarts and run report.
#include "engine/integration_state.h"

struct OrbitEngine;
class EngineWindow;
struct ObservationRecord;

// Doubles per observation in the output array of an improvement run:
// ΔRA·cos δ of bodies 1..10, then their ΔDec (radians).
inline constexpr int kVariedResidualStride = 20;

// A run never starts with a step of 0 or one that is not finite: it would
// never reach its end.
inline constexpr const char* kMsgUnusableStep = "積分間隔が0か数値でないため計算を中止しました。";

// A run over the observations that could not go on: the light time did not
// settle (backward and forward passes), or a parallel run's ring failed.
inline constexpr const char* kMsgInterpolationBackward = "解が求まらなかったので計算を中止しました[15]";
inline constexpr const char* kMsgInterpolationForward = "解が求まらなかったので計算を中止しました[16]";

// Heliocentric states at t of count orbits from elements T, peri, node,
// incl, q, e; orbit i = 1..6 adds variations[i - 1] to element i - 1.
// 0, or -1 when a solver does not converge.
int ComputeInitialStates(double t, int count, const double elements[6], const double variations[6],
                         double positions[3][kMaxBodies], double velocities[3][kMaxBodies]);

// Initial states, start-up and approach check, then the serial (or
// parallel) loop. Result of the loop, or -3 initial states failed, -2
// start-up perturbers failed, -1 start-up failed or a step of 0 or not
// finite (kMsgUnusableStep), 3 restart asked by the approach check. output:
// kVariedResidualStride doubles per observation, or null.
int StartAndIntegrate(OrbitEngine* engine, EngineWindow* window, double* output, IntegrationState* state);

// The loop on one thread; at an observation out of the fit only the nominal
// orbit is interpolated (all orbits when the engine's m_bReuseWork is 0).
// 0 done, 3 restart, -1 interpolation failed or a
// bookkeeping failure, -2 step failed, -9 cancelled or aborted, 4 impact.
int IntegrateSerial(OrbitEngine* engine, EngineWindow* window, double* output, IntegrationState* state);

// Observations first..last of the current pass of an improvement run: the
// engine's pass range, or (when it is empty) the Apophis-mode range or all.
void ObservationPassRange(const OrbitEngine* engine, int& first, int& last);

// Residuals of bodies first..end-1 at one observation, light time iterated,
// from the degree-5 interpolation over window points 3..8 around tMid (the
// time of point 5). Body 0 writes into the observation (residuals and
// heliocentric distance), body b ≥ 1 into outputs[b - 1] and outputs[b + 9].
// 0, or -1 when the light time does not settle.
int InterpolateObservation(double tMid, int firstBody, int endBody, double h, ObservationRecord* obs,
                           double* outputs, const double positions[kWindowPoints][3][kMaxBodies]);

// A calculation run from m_el at m_dEpoch to m_dEnd with step control and
// restarts; m_el holds the elements at the end (or at the stop distance).
// 0, -1, -9, or the last code of StartAndIntegrate (4, -2, -3, and 3 after
// 100000 restarts). An attached impact-tracker set is finished however the
// run ends.
int IntegrateOrbit(OrbitEngine* engine, EngineWindow* window, double* unused, IntegrationState* state);

// Processors this process may run on, read once (at least 1).
int ProcessorCount();

// Whether StartAndIntegrate hands this run to the parallel integration:
// an improvement run with varied orbits and an output array, parallel runs
// allowed, not nested, more than one processor, and a pass of at least
// 100,000 steps (the farther observation's distance from the epoch over h).
bool WantsParallelRun(const OrbitEngine* engine, const IntegrationState* state, const double* output);

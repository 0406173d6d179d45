#pragma once
// The force model of every integration and the preparation of a state for a
// run: the Sun, Mercury to Pluto, the Moon, up to five perturbing asteroids,
// the Sun's relativistic term, the Earth's oblateness near the Earth and the
// non-gravitational forces with the activity shift.
#include "engine/integration_state.h"

struct OrbitEngine;

// Planet and Moon masses (solar masses) in BodyIndex order.
extern const double kBodyMasses[10];

// Prepares a state for a run from the engine's settings (masses, -GM, the
// variation amounts, the per-run bookkeeping); the caller sets the elements,
// times, step, mode, bodies and attachments.
void SetupIntegrationState(OrbitEngine* engine, IntegrationState* state);
// Resets the distances of the last evaluation and the collision and
// Earth-binding records (what an epoch move must forget).
void ResetApproachBookkeeping(IntegrationState* state);
// Resets the per-run bookkeeping: step levels, distances, collision,
// sphere-of-influence and Earth-binding records, grid and step times.
void ResetRunBookkeeping(IntegrationState* state);
// The five asteroid masses of the engine's perturber set from the loaded
// store (0 for an empty slot or without a store), then -GM of all 15.
void SetAsteroidMasses(OrbitEngine* engine, IntegrationState* state);

// Fills point k (0..10) of acc for the bodies to integrate at time t (TT):
// positions pos and velocities (the state's m_dVel) of the bodies, the
// perturbers' heliocentric positions pert. Feeds the attachments for the
// nominal orbit (close approaches, impact trackers, geocentric track) and the
// Earth bookkeeping. The mask is passed along and not read.
void ComputeAccelerations(OrbitEngine* engine, IntegrationState* state, const char* mask, int bodies, int k,
                          const double* minusGM, double (*acc)[3][kMaxBodies], double t,
                          double (*pos)[3][kMaxBodies], double (*pert)[3][kPerturbers]);

// g(r) of the engine's non-gravitational model.
double NonGravG(const OrbitEngine* engine, double r);

#pragma once
// The differential correction of one deep encounter: an arc of at most a day
// over which the nominal orbit came within ten Earth radii.

struct OrbitEngine;
struct IntegrationState;

// Whether the improvement this state belongs to fits one deep encounter.
bool DeepEncounterFit(const OrbitEngine* engine, const IntegrationState* state);

// Applies `fraction` of the engine's last correction of the six elements as
// the change of the heliocentric state at the epoch that it stands for, and
// puts the elements of the changed state in the block (A1-A3 untouched).
// False, with nothing changed, when the fit is no deep encounter, an element
// is held, or a state cannot be had.
bool ApplyCorrectionAsStateChange(OrbitEngine* engine, IntegrationState* state, double fraction);

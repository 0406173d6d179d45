#pragma once
// Collisions of a calculation run with the planets, the Moon and the Sun.
#include <string>

#include "engine/integration_state.h"

struct OrbitEngine;
class EngineWindow;

// Collision radii (km) by BodyIndex; the Earth's 0 leaves it to the impact trackers.
extern const double kCollisionRadiusKm[10];
// Names of the bodies by BodyIndex (0 Mercury ... 8 Pluto, 9 the Moon).
extern const char* const kCollisionBodyNames[10];
// The Sun's photosphere, AU (696000 km).
inline constexpr double kSunCollisionRadiusAu = 0.0046524726370988385;

// After each step of a calculation run: records the smallest distance per
// body, reports a crossing of a body's surface once per body and of the
// photosphere once per run into m_strCollisionReport and (unless the engine
// runs quiet) the window. The run goes on.
void DetectCollision(OrbitEngine* engine, EngineWindow* window, IntegrationState* state);

// A TT Julian day as the UTC calendar date rounded to the minute.
void CollisionTimeUtc(double jdTT, int& year, int& month, int& day, int& hour, int& minute);

#pragma once
// The automatic integration step of a run.
struct IntegrationState;

namespace CTessaruneLib {

// Shortest and longest automatic steps, days.
inline constexpr double kAutoStepMin = 0.0001220703125;  // 2^-13
inline constexpr double kAutoStepMax = 8.0;
// The automatic step of a state, a power of two in days: for a calculation
// run ('C' with an end time) 40 to 100000 steps over the span where the
// limits allow; otherwise at least 200 steps over the observations and, near
// a perihelion passage inside the arc, at most 0.02 of the orbit's time unit
// at perihelion.
double AutoIntegrationStep(const IntegrationState* state);

}  // namespace CTessaruneLib

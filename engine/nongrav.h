#pragma once
// Non-gravitational activity laws g(r) and the two-body heliocentric distance
// that the activity shift uses.

// NonGravModel values: 0 (and anything but 1-3) water ice, Marsden's type II;
// 1 CO/N2 sublimation; 2 CO2 sublimation with scale distance g_dCo2R0;
// 3 solar radiation pressure, 1/r^2.
enum NonGravModel : int { kNonGravWater = 0, kNonGravCoN2 = 1, kNonGravCo2 = 2, kNonGravRadiation = 3 };

// g(r) of a model at heliocentric distance r (AU).
double NonGravLaw(int model, double r);

// Name of a model as the windows show it.
const char* NonGravModelName(int model);

// Heliocentric distance (AU) on a two-body orbit dt days after perihelion, or
// -1 when q <= 0 (or not a number) or the parabolic solution fails.
double HeliocentricDistanceAt(double dt, double q, double e);

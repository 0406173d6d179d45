#pragma once
// Position of an observatory on the rotating Earth.

// Adds to v (J2000 equatorial, AU) the observer's term for UT time jdUT. The
// station is its east longitude (degrees) and its two parallax constants as the
// station table stores them: rho cos phi' and rho sin phi' in Earth radii, each
// multiplied by -4.2635212454e-5 * 1e7. A tenth-millionth of a stored constant
// is minus the observer's offset in AU, so adding the term to the geocentric
// Sun gives the Sun seen from the observer. Zero constants leave v unchanged.
void ObservatoryPosition(double jdUT, double lonDeg, double rhoCosStored, double rhoSinStored, double v[3]);
// The same with the three station values in a row (longitude, rho cos, rho sin).
void ObservatoryPosition(double jdUT, const double station[3], double v[3]);

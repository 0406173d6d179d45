#pragma once
// Rotation models of the ten bodies: the point of a body under a direction.
#include "astro/frames.h"

// Latitude and longitude (radians, east positive, longitude in [-pi, pi]) of
// the point of body (a BodyIndex) under the direction x, y, z (J2000
// equatorial, from the body's centre) at jdTT. The Earth: precession,
// nutation and apparent sidereal time at UT = jdTT - DeltaT, geodetic latitude
// for the flattening 1/298.257223563. The others: IAU pole and prime-meridian
// models, planetocentric latitude (a zero direction gives 0 and 0). A body
// outside 0-9 gives 0 and 0.
void PlanetRotationSubPoint(BodyIndex body, double jdTT, double x, double y, double z, double& latRad,
                            double& lonRad);

#include "astro/body_rotation.h"
void PlanetRotationSubPoint(BodyIndex, double, double, double, double, double& lat, double& lon) { lat = lon = 0; }

#include "astro/frames.h"
void OrbitOrientationVectors(double, double, double, double P[3], double Q[3]) { for (int i = 0; i < 3; ++i) P[i] = Q[i] = 0; }
void PositionAngleAndSeparation(double, double, double, double, double& pa, double& sep) { pa = sep = 0; }
double NormalizeAngle(double x) { return x; }
void PrecessionAngles(double, double, double& a, double& b, double& c) { a = b = c = 0; }
void GeocentricSun(double, double s[3], double d[3], double& l, double& b, double& r) { for (int i = 0; i < 3; ++i) s[i] = d[i] = 0; l = b = r = 0; }
void GeocentricMoon(double, double& ra, double& dec) { ra = dec = 0; }

#include "astro/observatory.h"
void ObservatoryPosition(double, double, double, double, double*) {}
void ObservatoryPosition(double t, const double s[3], double v[3]) { ObservatoryPosition(t, s[0], s[1], s[2], v); }

#include "platform/nongrav_settings.h"

#include <cmath>

static double Co2Norm(double r0)
{
  return std::pow(r0, -2.15) * std::pow(1.0 + std::pow(r0, -5.093), 4.6142);
}

double g_dCo2R0 = 10.8;
double g_dCo2Norm = Co2Norm(10.8);
double g_dNonGravDt = 0.0;

void SetCo2ScaleDistance(double r0)
{
  if (!(r0 >= 1.0 && r0 <= 200.0))
    r0 = 10.8;
  g_dCo2R0 = r0;
  g_dCo2Norm = Co2Norm(r0);
}

void SetNonGravDt(double dt)
{
  g_dNonGravDt = (std::fabs(dt) <= 400.0) ? dt : 0.0;
}

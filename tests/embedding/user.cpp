// Uses a routine of the embedded astronomy library: J2000.0 is 2000 January 1.5.
#include <cstdio>

#include "astro/time_scales.h"

int main()
{
  double y = 0, m = 0, d = 0;
  JdToCalendar(2451545.0, y, m, d);
  std::printf("%.0f/%.0f/%.1f\n", y, m, d);
  return y == 2000 && m == 1 && d == 1.5 ? 0 : 1;
}

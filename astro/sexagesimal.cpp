#include "astro/sexagesimal.h"

#include <cmath>

void SplitSexagesimal(double value, int decimals, int& whole, int& minutes, double& seconds) {
  const double scale = std::pow(10.0, decimals);
  const long long units = std::llround(value * 3600.0 * scale);
  const long long perMinute = static_cast<long long>(60 * scale);
  whole = static_cast<int>(units / (60 * perMinute));
  minutes = static_cast<int>(units / perMinute % 60);
  seconds = static_cast<double>(units % perMinute) / scale;
}

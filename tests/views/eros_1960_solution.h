#pragma once
// (433) Eros as the orbit-determination view's automatic improvement solves
// its observations of 1960-2025 on DE405 (test_mag_curve_real prints them).
#include "engine/tool_sinks.h"

inline DisplayOrbit Eros1960Solution()
{
  constexpr double kDeg = 3.14159265358979323846 / 180;
  DisplayOrbit orbit;
  orbit.m_dT = 2461088.82250;
  orbit.m_dQ = 1.1332108;
  orbit.m_dE = 0.2228666;
  orbit.m_dPeri = 178.92410 * kDeg;
  orbit.m_dNode = 304.26856 * kDeg;
  orbit.m_dIncl = 10.82864 * kDeg;
  orbit.m_dEpoch = 2461040.5;
  orbit.m_strName = "(433) Eros";
  return orbit;
}

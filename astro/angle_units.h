#pragma once
// Angle units, each defined once from π.
#include <numbers>

inline constexpr double kPi = std::numbers::pi;
inline constexpr double kTwoPi = 2.0 * std::numbers::pi;
inline constexpr double kDegPerRad = 180.0 / std::numbers::pi;
inline constexpr double kRadPerDeg = std::numbers::pi / 180.0;
inline constexpr double kArcsecPerRad = 180.0 / std::numbers::pi * 3600.0;  // 206264.806247...
inline constexpr double kRadPerArcsec = std::numbers::pi / (180.0 * 3600.0);

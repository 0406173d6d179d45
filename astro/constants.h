#pragma once
// Constants of the program's astronomy, with the values it has always used.

// Gauss's gravitational constant (AU^1.5 / day, the Sun's mass 1).
inline constexpr double kGaussK = 0.01720209895;
// Light time per astronomical unit (days / AU).
inline constexpr double kLightTimeDaysPerAu = 0.005775518308;
// Obliquity of the ecliptic at J2000 (radians), between the J2000 equator and the J2000 ecliptic.
inline constexpr double kObliquityJ2000Rad = 0.40909280420293637;
// Julian day of J2000.0 (TT).
inline constexpr double kJdJ2000 = 2451545.0;
// Kilometres per astronomical unit, where kilometres are shown.
inline constexpr double kAstronomicalUnitKm = 149597870.7;
// The Earth's equatorial radius (km).
inline constexpr double kEarthEquatorialRadiusKm = 6378.137;
// The same radius in AU, as the force model has always written it (one unit
// in the last place away from kEarthEquatorialRadiusKm / kAstronomicalUnitKm).
inline constexpr double kEarthEquatorialRadiusAu = 4.263520978042905e-05;
// One lunar distance (AU), 384400 km.
inline constexpr double kLunarDistanceAu = 0.0025695552897999907;

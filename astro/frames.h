#pragma once
// Frames shared by every computation. Vectors are AU (AU/day) in the J2000
// equatorial frame of the planetary file; orbital elements are angles in the
// J2000 ecliptic (obliquity kObliquityJ2000Rad); "of date" means the mean
// equator and equinox of date by the IAU 1976 precession.

// Bodies addressed by the impact trackers, the close-approach record, the
// perturber lists and the globe. JPL body number = BodyIndex + 1.
using BodyIndex = int;
inline constexpr BodyIndex kBodyMercury = 0;
inline constexpr BodyIndex kBodyVenus = 1;
inline constexpr BodyIndex kBodyEarth = 2;
inline constexpr BodyIndex kBodyMars = 3;
inline constexpr BodyIndex kBodyJupiter = 4;
inline constexpr BodyIndex kBodySaturn = 5;
inline constexpr BodyIndex kBodyUranus = 6;
inline constexpr BodyIndex kBodyNeptune = 7;
inline constexpr BodyIndex kBodyPluto = 8;
inline constexpr BodyIndex kBodyMoon = 9;
inline constexpr int kBodyCount = 10;
// Perturber lists append five asteroid slots, 10 to 14.
inline constexpr int kPerturberSlotCount = 15;

// --- Orbit orientation and sky angles ----------------------------------------

// Unit vectors towards perihelion (P) and 90 degrees ahead in the orbit plane
// (Q), J2000 equatorial, from the argument of perihelion, node and
// inclination (radians, J2000 ecliptic).
void OrbitOrientationVectors(double periRad, double nodeRad, double inclRad, double P[3], double Q[3]);

// Position angle (north through east, [0, 2*pi)) of the second direction seen
// from the first, and their separation ([0, pi)); all radians. For equal
// right ascensions the separation is |dec2 - dec1|.
void PositionAngleAndSeparation(double ra1Rad, double dec1Rad, double ra2Rad, double dec2Rad,
                                double& paRad, double& sepRad);

// Longitude in [0, 2*pi) and latitude (radians) of a vector: right ascension
// and declination of an equatorial one.
void SkyAngles(const double v[3], double& lonRad, double& latRad);

// The same angle in (0, 2*pi]; 0 gives 2*pi.
double NormalizeAngle(double xRad);

// --- Precession ------------------------------------------------------------------

// IAU 1976 precession angles zeta, z, theta (radians) for a start epoch
// T centuries from J2000 and an interval of tau centuries.
void PrecessionAngles(double startCenturies, double intervalCenturies, double& zetaRad, double& zRad,
                      double& thetaRad);

// --- Sun and Moon from the planetary file --------------------------------------

// Geocentric Sun at jdTT: J2000 vector (AU), the same vector precessed to the
// mean equator of date, ecliptic longitude of date in [0, 2*pi) and latitude
// (radians), distance (AU). Without a planetary file covering jdTT the vectors,
// the distance and both angles are 0.
void GeocentricSun(double jdTT, double sunJ2000Au[3], double sunOfDateAu[3], double& lambdaRad,
                   double& betaRad, double& distAu);

// Geocentric right ascension ([0, 2*pi)) and declination of the Moon, mean
// equator and equinox of date, at jdTT. Without a planetary file covering jdTT
// both are 0.
void GeocentricMoon(double jdTT, double& raRad, double& decRad);

#pragma once
// Osculating heliocentric elements from a state vector.

// The result of the common conversion. Angles in radians, ecliptic and
// equinox J2000; q and a in AU; T and the state's time in Julian days (TT).
struct OsculatingElements {
  double T;      // perihelion time
  double q;      // perihelion distance
  double e;      // eccentricity
  double peri;   // argument of perihelion
  double node;   // longitude of the ascending node
  double incl;   // inclination
  double M;      // mean anomaly at t (e <= 0.97), otherwise as the caller asks
  double a;      // semi-major axis (negative for a hyperbola)
  double P[3];   // unit vector towards perihelion, J2000 equatorial
  double Q[3];   // unit vector 90 degrees ahead of P in the orbit plane, J2000 equatorial
};

// The common conversion of a heliocentric state (J2000 equatorial, AU and
// AU/day) at time t into elements. For e > 0.97 the mean anomaly is set to -1
// when setMeanAnomaly is true and left as el.M holds it otherwise. Exactly
// circular, equatorial-ecliptic (i = 0 or 180 degrees) and zero-angle states
// give finite elements: the undefined angle is then 0 and the others carry
// the orientation.
void ConvertStateToElements(double t, const double position[3], const double velocity[3], bool setMeanAnomaly,
                            OsculatingElements& el);

// Osculating ecliptic elements of a heliocentric state; M is -1 for e > 0.97.
void StateToEclipticElements(double t, const double position[3], const double velocity[3], double& T, double& q,
                             double& e, double& peri, double& node, double& incl, double& M, double& a);

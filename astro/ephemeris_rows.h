#pragma once
// Two-body ephemeris tables: geocentric positions with light time at equally
// spaced times (TT), with distances, elongation, phase, magnitudes, apparent
// motion and the Moon; and two small routines the charts share.

// One row of the table. Angles of the object are J2000 equatorial.
struct EphemerisRow {
  double m_dRaHours;           // right ascension, hours
  double m_dDecDeg;            // declination, degrees
  double m_dRaRad;             // right ascension, radians [0, 2*pi)
  double m_dDecRad;            // declination, radians
  double m_dRaChangeMin;       // change in right ascension, minutes of time (-1: not computed)
  double m_dDecChangeArcmin;   // change in declination, arcminutes (-1: not computed)
  double m_dDeltaAu;           // distance from the Earth's centre, AU
  double m_dRAu;               // distance from the Sun, AU
  double m_dTrueAnomalyRad;    // true anomaly, radians
  double m_dElongationDeg;     // angle Sun-Earth-object, degrees [0, 180]
  double m_dPhaseDeg;          // angle Sun-object-Earth, degrees [0, 180]
  double m_dSunLongitudeRad;   // the Sun's ecliptic longitude of date, radians
  double m_dSunDistanceAu;     // R, the Sun's distance from the Earth, AU
  double m_dJdTT;              // the row's time, JD TT
  double m_dSunAu[3];          // geocentric Sun, J2000 equatorial, AU
  double m_dM1;                // total magnitude m1 (99.9 unknown)
  double m_dM2;                // nuclear magnitude m2 (99.9 unknown)
  double m_dMoonRaRad;         // the Moon's right ascension, mean equator of date, radians
  double m_dMoonDecRad;        // the Moon's declination, mean equator of date, radians
  double m_dRateArcminPerDay;  // rate of motion, arcminutes per day (-1: not computed)
  double m_dMotionPaDeg;       // position angle of the motion, degrees (-1: not computed)
  double m_dMoonIllumination;  // the Moon's illuminated fraction, 0-1
  double m_dMoonSeparationDeg; // angular distance object-Moon, degrees
};
static_assert(sizeof(EphemerisRow) == 25 * sizeof(double), "25 doubles in the table's order");

// Missing marks of a row whose position could not be computed.
inline constexpr double kEphemerisMissing = -1.0;
inline constexpr double kEphemerisUnknownMagnitude = 99.9;
// The nuclear slope K2 that gives an asteroid's H + 5 log10(r delta) law
// with the linear phase term.
inline constexpr double kEphemerisAsteroidK2 = 5.0;

// Fills rows[0 .. count-1] for the times start + k * step (JD TT, days) on the
// two-body orbit (T JD TT, q AU, e; peri, node, incl radians, J2000 ecliptic),
// seen from the Earth's centre with light time. Needs the planetary file for
// the Sun and the Moon (without it they come from a zero Sun vector).
//   noMotion != 0: the changes, the rate and its position angle are -1.
//   variation == 1 and e <= 0.98: the two changes are those of the position
//     when T grows by one day; otherwise the motion over one day.
//   unused, G: carried for the callers, not used.
//   m1 = H1 + 5 log10(delta) + K1 log10(r'), r' the Sun distance at the time
//     moved by rShiftDays (r itself for 0); m2 = H2 + 5 log10(delta) +
//     K2 log10(r), + 0.03 per degree of phase when K2 is exactly 5. A
//     magnitude whose H is 0 is unknown (99.9); none is below -10.
// Returns the number of rows computed. When a position fails, that row and
// the later ones keep the Sun, Moon and time fields and get the missing
// marks (-1, magnitudes 99.9) in the object's fields.
int ComputeEphemerisRows(int noMotion, char unused, int variation, double startJdTT, double stepDays,
                         int count, double jdT, double qAu, double e, double periRad, double nodeRad,
                         double inclRad, double H1, double H2, double K1, double K2, double G,
                         double rShiftDays, EphemerisRow* rows);

// The two halves of ComputeEphemerisRows, for callers that put many orbits
// on the same times: the Sun, Moon and time fields of the rows, then the
// object's fields of rows whose Sun, Moon and time fields are already filled
// (left as they are). Same arguments and result as ComputeEphemerisRows.
void FillEphemerisSunAndMoon(double startJdTT, double stepDays, int count, EphemerisRow* rows);
int FillEphemerisObjectRows(int noMotion, int variation, int count, double jdT, double qAu, double e,
                            double periRad, double nodeRad, double inclRad, double H1, double H2, double K1,
                            double K2, double rShiftDays, EphemerisRow* rows);

// The angle (degrees) between the sides a and b of a triangle, opposite c;
// the cosine is limited to [-1, 1].
double TriangleAngle(double a, double b, double c);

// Least-squares line y = intercept + slope * x over n points, with the rms of
// the residuals. 1 on success; 0 when n < 2 or the system is singular (the
// outputs are then untouched).
int LinearFit(const double x[], const double y[], int n, double& intercept, double& slope, double& rms);

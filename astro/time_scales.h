#pragma once
// Time scales and the calendar. Every time is a Julian day in a double; whether
// it is TT or UTC is the convention of the field that holds it. UTC stands in
// for UT wherever UT is needed (no UT1 - UTC term). All functions are pure.

// --- Calendar ------------------------------------------------------------

// Calendar date of a Julian day, in the scale of jd: the Julian calendar up
// to 1582 October 4, the Gregorian from October 15. Years are astronomical
// (0 is 1 BC). day carries the fraction (1.5 is noon of the first).
// Returns the month as an integer as well.
int JdToCalendar(double jd, double& year, double& month, double& day);

// Julian day of a calendar date (day with fraction). Gregorian when
// year + (month - 1)/12 + day/365.25 > 1582.763, Julian otherwise; the ten
// days dropped in 1582 are accepted, not refused.
double CalendarToJd(double year, double month, double day);

// Julian day by the Gregorian formula at every date (modern file formats).
double YmdToJd(int year, int month, double day);

// Rounds the minute to a whole minute and carries a full 60 minutes into the
// hour, day, month and year (month lengths of the calendar in force). The day
// is whole on entry.
void CarryDateTime(double& year, double& month, double& day, double& hour, double& minute);

// "Jan.", "Feb.", ... "Dec.", indexed by month - 1.
extern const char* const g_aszMonthAbbrev[12];

// --- Time scales -----------------------------------------------------------

inline constexpr int kDeltaTUtToTt = 1;
inline constexpr int kDeltaTTtToUt = 2;

// jd converted between UT and TT by the step table of TT - UT: direction 2
// (kDeltaTTtToUt) subtracts, any other value adds. 0 up to 1681 January 1 (JD
// 2335033.5), the last step's 69.2 s after 2017, no extrapolation.
double DeltaT(int direction, double jd);

// Greenwich mean sidereal time (IAU 1982), radians in [0, 2*pi), for jd in UT.
double GreenwichMeanSiderealTime(double jdUT);

// Low-precision nutation in longitude and obliquity and the mean obliquity of
// date (radians) for jd in TT. Returns eps0 as well.
double Nutation(double jdTT, double& dpsiRad, double& depsRad, double& eps0Rad);

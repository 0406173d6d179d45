#include "astro/time_scales.h"

const char* const g_aszMonthAbbrev[12] = {"Jan.", "Feb.", "Mar.", "Apr.", "May ", "June",
                                          "July", "Aug.", "Sep.", "Oct.", "Nov.", "Dec."};

int JdToCalendar(double, double& year, double& month, double& day) { year = month = day = 0; return 0; }
double CalendarToJd(double, double, double) { return 0; }
double YmdToJd(int, int, double) { return 0; }
void CarryDateTime(double&, double&, double&, double&, double&) {}
double DeltaT(int, double jd) { return jd; }
double GreenwichMeanSiderealTime(double) { return 0; }
double Nutation(double, double& a, double& b, double& c) { a = b = c = 0; return 0; }

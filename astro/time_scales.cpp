#include "astro/time_scales.h"

#include <cmath>

#include "astro/angle_units.h"

const char* const g_aszMonthAbbrev[12] = {"Jan.", "Feb.", "Mar.", "Apr.", "May ", "June",
                                          "July", "Aug.", "Sep.", "Oct.", "Nov.", "Dec."};

namespace {

// Julian rule before 1582 (signed remainder: -4 is a leap year, -1 is not),
// Gregorian from 1582 on.
bool IsLeapYear(double year) {
  const long long y = static_cast<long long>(year);
  if (year < 1582) return y % 4 == 0;
  return y % 400 == 0 || (y % 4 == 0 && y % 100 != 0);
}

int MonthLength(double year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && IsLeapYear(year)) return 29;
  return kDays[month - 1];
}

// TT - UT by steps: the first row whose threshold lies strictly before the
// time applies. Thresholds are 0 h UT of January 1 or July 1 of the step's
// year (2410637.0 stands twelve hours before 1888 January 1, as always used).
// The values come from the published yearly TT - UT, rounded to about 0.1 s;
// a new leap second adds a row at the top.
struct DeltaTStep {
  double fromJd;
  double ttMinusUtDays;
};
const DeltaTStep kDeltaTSteps[] = {
    {2457754.5, 0.000801},  {2457204.5, 0.000789},  {2456109.5, 0.000777},  {2454832.5, 0.000766},
    {2453736.5, 0.000754},  {2451179.5, 0.000742},  {2450630.5, 0.000731},  {2450083.5, 0.000719},
    {2449534.5, 0.000708},  {2449169.5, 0.000696},  {2448804.5, 0.000685},  {2448257.5, 0.000673},
    {2447892.5, 0.000662},  {2447161.5, 0.00065},   {2446247.5, 0.000639},  {2445516.5, 0.000627},
    {2445151.5, 0.000616},  {2444786.5, 0.000604},  {2444239.5, 0.000592},  {2443874.5, 0.00058},
    {2443509.5, 0.000569},  {2443144.5, 0.000558},  {2442778.5, 0.000546},  {2442413.5, 0.000534},
    {2442048.5, 0.000523},  {2441683.5, 0.000511},  {2441499.5, 0.0005},    {2441317.5, 0.000488},
    {2440952.5, 0.000482},  {2440587.5, 0.000471},  {2440222.5, 0.000459},  {2439856.5, 0.000448},
    {2439491.5, 0.000438},  {2439126.5, 0.000428},  {2438761.5, 0.000418},  {2438395.5, 0.00041},
    {2438030.5, 0.000402},  {2437665.5, 0.000396},  {2437300.5, 0.000391},  {2436934.5, 0.000387},
    {2436569.5, 0.000381},  {2436204.5, 0.000376},  {2435839.5, 0.000369},  {2435473.5, 0.000365},
    {2435108.5, 0.000366},  {2434743.5, 0.00036},   {2434378.5, 0.000358},  {2434012.5, 0.000351},
    {2433647.5, 0.000343},  {2433282.5, 0.000341},  {2432551.5, 0.00033},   {2432186.5, 0.00032},
    {2431456.5, 0.00031},   {2430725.5, 0.0003},    {2429995.5, 0.00029},   {2428899.5, 0.00028},
    {2425612.5, 0.00027},   {2425246.5, 0.00026},   {2424516.5, 0.00027},   {2423785.5, 0.00026},
    {2423055.5, 0.00025},   {2422324.5, 0.00024},   {2421959.5, 0.00023},   {2421594.5, 0.00021},
    {2421229.5, 0.00022},   {2420863.5, 0.0002},    {2420133.5, 0.00018},   {2419768.5, 0.00017},
    {2419037.5, 0.00014},   {2418672.5, 0.00012},   {2418307.5, 0.0001},    {2417941.5, 0.00008},
    {2417576.5, 0.00007},   {2417211.5, 0.00005},   {2416846.5, 0.00004},   {2416480.5, 0.00002},
    {2416115.5, 0.00001},   {2415750.5, -0.00001},  {2415385.5, -0.00003},  {2415020.5, -0.00005},
    {2414290.5, -0.000068}, {2413559.5, -0.00008},  {2412829.5, -0.000089}, {2412098.5, -0.000095},
    {2411368.5, -0.000083}, {2410637.0, -0.000094}, {2409907.5, -0.000088}, {2409176.5, -0.000095},
    {2408446.5, -0.000093}, {2407715.5, -0.000097}, {2406985.5, -0.000092}, {2406254.5, -0.000089},
    {2405524.5, -0.000082}, {2405159.5, -0.000067}, {2404793.5, -0.000047}, {2404428.5, -0.00004},
    {2404063.5, -0.000022}, {2403698.5, -0.000002}, {2403332.5, 0.000004},  {2402967.5, 0.00001},
    {2401871.5, 0.000022},  {2400776.5, 0.000031},  {2400410.5, 0.000049},  {2398219.5, 0.000039},
    {2396758.5, 0.000033},  {2396393.5, 0.000014},  {2396027.5, 0.000041},  {2395662.5, 0.000014},
    {2395297.5, 0.000032},  {2394566.5, 0.000003},  {2394201.5, 0.000028},  {2390914.5, -0.000003},
    {2390183.5, 0.000027},  {2389818.5, 0.000011},  {2387627.5, 0.000029},  {2386896.5, 0.000039},
    {2385800.5, 0.000058},  {2382513.5, 0.000054},  {2378861.5, 0.000066},  {2375574.5, 0.000086},
    {2373018.5, 0.000096},  {2369000.5, 0.000076},  {2363886.5, 0.000024},  {2359138.5, -0.000005},
    {2355851.5, -0.000034}, {2351833.5, -0.000088}, {2345624.5, -0.000139}, {2335033.5, -0.000156},
};
static_assert(sizeof(kDeltaTSteps) / sizeof(kDeltaTSteps[0]) == 128);

}  // namespace

double CalendarToJd(double year, double month, double day) {
  const double s = year > 0 ? year + (month - 1) / 12 + day / 365.25
                            : -(std::fabs(year) + (month - 1) / 12 + day / 365.25);
  const bool gregorian = s > 1582.763;
  double m = month;
  double y = year;
  if (month < 2.1) {  // January and February as months 13 and 14 of the year before
    m = month + 12;
    y = year - 1;
  }
  const double k = std::trunc((m - 2) * 30.59);
  const double e = y * 365.25;
  if (gregorian) return std::trunc(e) + k + std::trunc(y / 400) - std::trunc(y / 100) + 1721088.5 + day;
  if (y >= 0) return std::trunc(e) + k + 1721086.5 + day;
  return std::trunc(e + 0.25) + k + 1721085.5 + day;
}

double YmdToJd(int year, int month, double day) {
  if (month == 1 || month == 2) {
    month += 12;
    year -= 1;
  }
  const double whole = std::trunc(year * 365.25) + std::trunc((month - 2) * 30.59) + year / 400 - year / 100;
  return whole + day + 1721088.5;
}

int JdToCalendar(double jd, double& year, double& month, double& day) {
  double y = std::floor(jd / 365.25 - 4712);
  double a = jd - CalendarToJd(y, 1, 0);  // day of the year from January 0
  for (int i = 0; i < 64; ++i) {
    a = jd - CalendarToJd(y, 1, 0);
    if (std::trunc(a) < 1) {
      y -= 1;
      continue;
    }
    if (std::trunc(jd - CalendarToJd(y + 1, 1, 0)) < 1) break;
    y += 1;
  }
  // From October 15 on, 1582 skips the ten days of the reform (day 277 of the
  // Julian count is October 4).
  if (y == 1582 && std::trunc(a) >= 278) a += 10;

  const double d = std::trunc(a);
  double passed = 0;
  int m = 12;
  for (int j = 1; j <= 12; ++j) {
    if (d - passed - MonthLength(y, j) <= 0) {
      m = j;
      break;
    }
    if (j < 12) passed += MonthLength(y, j);
  }
  year = y;
  month = m;
  day = a - passed;
  return m;
}

void CarryDateTime(double& year, double& month, double& day, double& hour, double& minute) {
  if (minute - std::trunc(minute) < 0.5) {
    minute = std::trunc(minute);
    return;
  }
  const double rounded = std::trunc(minute) + 1;
  if (rounded < 60) {
    minute = rounded;
    return;
  }
  minute = 0;
  hour += 1;
  if (hour < 24) return;
  hour = 0;
  day += 1;
  const int m = static_cast<int>(month);
  if (m >= 1 && m <= 12 && day <= MonthLength(year, m)) return;
  day = 1;
  month += 1;
  if (month > 12) {
    month = 1;
    year += 1;
  }
}

double DeltaT(int direction, double jd) {
  double dt = 0;
  if (jd > kDeltaTSteps[127].fromJd) {
    for (const DeltaTStep& step : kDeltaTSteps) {
      if (step.fromJd < jd) {
        dt = step.ttMinusUtDays;
        break;
      }
    }
  }
  return direction == kDeltaTTtToUt ? jd - dt : jd + dt;
}

double GreenwichMeanSiderealTime(double jdUT) {
  const double t = (jdUT - 2451545.0) / 36525;
  const double seconds = 67310.54841 + 3164400184.812866 * t + 0.093104 * t * t - 6.2e-6 * t * t * t;
  double deg = std::fmod(seconds / 240, 360);
  if (deg < 0) deg += 360;
  if (deg >= 360) deg = 0;  // a tiny negative remainder must not become a full turn
  return deg * kRadPerDeg;
}

double Nutation(double jdTT, double& dpsiRad, double& depsRad, double& eps0Rad) {
  const double t = (jdTT - 2451545) / 36525;
  const double node = (125.04452 - 1934.136261 * t) * kRadPerDeg;
  const double sunLon = (280.4665 + 36000.7698 * t) * kRadPerDeg;
  const double moonLon = (218.3165 + 481267.8813 * t) * kRadPerDeg;
  const double dpsi = -17.2 * std::sin(node) - 1.32 * std::sin(2 * sunLon) - 0.23 * std::sin(2 * moonLon) +
                      0.21 * std::sin(2 * node);
  const double deps = 9.2 * std::cos(node) + 0.57 * std::cos(2 * sunLon) + 0.1 * std::cos(2 * moonLon) -
                      0.09 * std::cos(2 * node);
  const double eps0Deg = 23.439291111 - (46.815 * t + 0.00059 * t * t - 0.001813 * t * t * t) / 3600;
  dpsiRad = dpsi / 3600 * kRadPerDeg;
  depsRad = deps / 3600 * kRadPerDeg;
  eps0Rad = eps0Deg * kRadPerDeg;
  return eps0Rad;
}

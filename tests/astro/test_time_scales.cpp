// Calendar conversions, clock carries, the TT - UT table, sidereal time and
// nutation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <numbers>
#include <string>

#include "astro/jpl_eph.h"
#include "astro/time_scales.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"

namespace {

constexpr double kRadPerDeg = std::numbers::pi / 180;
constexpr double kRadPerArcsec = kRadPerDeg / 3600;

struct CalendarCase {
  const char* name;
  double year, month, day, jd;
};

// Dates and Julian days agree in both directions, across the 1582 reform, at
// year 0 and before the era.
const CalendarCase kCalendar[] = {
    {"J2000", 2000, 1, 1.5, 2451545.0},
    {"first Gregorian day", 1582, 10, 15.0, 2299160.5},
    {"last Julian day", 1582, 10, 4.0, 2299159.5},
    {"last Julian day, noon", 1582, 10, 4.5, 2299160.0},
    {"year 1", 1, 1, 1.0, 1721423.5},
    {"year 0", 0, 1, 1.0, 1721057.5},
    {"JD 0", -4712, 1, 1.5, 0.0},
    {"leap day of year -4 (Julian rule)", -4, 2, 29.0, 1719655.5},
    {"1900 March 1 (not a leap year)", 1900, 3, 1.0, 2415079.5},
    {"2024 leap day, evening", 2024, 2, 29.75, 2460370.25},
    {"December 31", 2023, 12, 31.0, 2460309.5},
};

TEST(Calendar, DatesAndJulianDaysBothWays) {
  for (const CalendarCase& c : kCalendar) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CalendarToJd(c.year, c.month, c.day), c.jd);
    double y, m, d;
    EXPECT_EQ(JdToCalendar(c.jd, y, m, d), static_cast<int>(c.month));
    EXPECT_EQ(y, c.year);
    EXPECT_EQ(m, c.month);
    EXPECT_EQ(d, c.day);
  }
}

TEST(Calendar, DroppedDaysOf1582AreTakenAsGregorian) {
  EXPECT_EQ(CalendarToJd(1582, 10, 5), 2299150.5);
  EXPECT_EQ(CalendarToJd(1582, 10, 14), 2299159.5);
}

TEST(Calendar, RoundTripOverTheWholeRange) {
  for (double jd = -250000.25; jd < 3000000; jd += 977.3) {
    double y, m, d;
    JdToCalendar(jd, y, m, d);
    ASSERT_GE(m, 1);
    ASSERT_LE(m, 12);
    ASSERT_GE(d, 1);
    ASSERT_LT(d, 32);
    ASSERT_NEAR(CalendarToJd(y, m, d), jd, 1e-8) << y << "-" << m << "-" << d;
  }
  // Consecutive days stay consecutive through the year -1/0 boundary and the reform.
  for (const double jd0 : {1720690.5, 2299155.5}) {
    for (int i = 0; i < 400; ++i) {
      double y1, m1, d1, y2, m2, d2;
      JdToCalendar(jd0 + i, y1, m1, d1);
      JdToCalendar(jd0 + i + 1, y2, m2, d2);
      const bool sameMonth = y2 == y1 && m2 == m1 && d2 == d1 + 1;
      const bool nextMonth = d2 == 1 && ((y2 == y1 && m2 == m1 + 1) || (m1 == 12 && m2 == 1 && y2 == y1 + 1));
      const bool reform = y1 == 1582 && m1 == 10 && d1 == 4 && d2 == 15;
      const bool nextDay = sameMonth || nextMonth || reform;
      ASSERT_TRUE(nextDay) << y1 << "-" << m1 << "-" << d1 << " then " << y2 << "-" << m2 << "-" << d2;
    }
  }
}

TEST(Calendar, GregorianOnlyFormulaForIntegerDates) {
  EXPECT_EQ(YmdToJd(2000, 1, 1.5), 2451545.0);
  EXPECT_EQ(YmdToJd(2024, 3, 1.0), 2460370.5);
  EXPECT_EQ(YmdToJd(1900, 2, 28.0), 2415078.5);
  // No Julian branch: 1582 October 4 is read as Gregorian.
  EXPECT_EQ(YmdToJd(1582, 10, 4.0), 2299149.5);
}

// Against the C library's month names: a name of at most four letters is
// written out (blank-padded to four), any other is cut to three letters and
// a point.
TEST(Calendar, MonthAbbreviations) {
  for (int i = 0; i < 12; ++i) {
    std::tm date{};
    date.tm_mon = i;
    char full[32], shortName[32];
    ASSERT_GT(std::strftime(full, sizeof full, "%B", &date), 0u);
    ASSERT_GT(std::strftime(shortName, sizeof shortName, "%b", &date), 0u);
    std::string expected = std::strlen(full) <= 4 ? std::string(full) : std::string(shortName, 3) + ".";
    expected.resize(4, ' ');
    EXPECT_EQ(std::string(g_aszMonthAbbrev[i]), expected) << full;
  }
}

TEST(CarryDateTime, RoundsTheMinuteAndCarriesThroughTheCalendar) {
  const struct {
    const char* name;
    double y, m, d, h, min;
    double ey, em, ed, eh, emin;
  } kCases[] = {
      {"end of November", 2023, 11, 30, 23, 59.6, 2023, 12, 1, 0, 0},
      {"end of year", 2023, 12, 31, 23, 59.5, 2024, 1, 1, 0, 0},
      {"leap February", 2024, 2, 28, 23, 59.7, 2024, 2, 29, 0, 0},
      {"Julian leap year 1500", 1500, 2, 28, 23, 59.7, 1500, 2, 29, 0, 0},
      {"1900 is no leap year", 1900, 2, 28, 23, 59.7, 1900, 3, 1, 0, 0},
      {"rounds down", 2023, 5, 6, 7, 12.4, 2023, 5, 6, 7, 12},
      {"rounds up within the hour", 2023, 5, 6, 7, 12.5, 2023, 5, 6, 7, 13},
      {"carries into the hour only", 2023, 5, 6, 7, 59.9, 2023, 5, 6, 8, 0},
      {"carries into the day only", 2023, 5, 6, 23, 59.9, 2023, 5, 7, 0, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    double y = c.y, m = c.m, d = c.d, h = c.h, min = c.min;
    CarryDateTime(y, m, d, h, min);
    EXPECT_EQ(y, c.ey);
    EXPECT_EQ(m, c.em);
    EXPECT_EQ(d, c.ed);
    EXPECT_EQ(h, c.eh);
    EXPECT_EQ(min, c.emin);
  }
}

TEST(DeltaT, StepsAtTheirThresholds) {
  const struct {
    const char* name;
    int direction;
    double jd, expectedShift;
  } kCases[] = {
      {"threshold belongs to the row below", 1, 2457754.5, 0.000789},
      {"just after the last threshold", 1, 2457754.5000001, 0.000801},
      {"no extrapolation", 1, 2460000, 0.000801},
      {"TT to UT subtracts", 2, 2460000, -0.000801},
      {"other directions add", 0, 2460000, 0.000801},
      {"the twelve-hour step of 1888", 1, 2410637.0, -0.000088},
      {"just after it", 1, 2410637.2, -0.000094},
      {"oldest row", 1, 2335033.6, -0.000156},
      {"before the table", 1, 2335033.5, 0},
      {"before the table, TT to UT", 2, 2000000, 0},
      {"non-monotonic values", 1, 2435473.6, 0.000365},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DeltaT(c.direction, c.jd), c.jd + c.expectedShift);
  }
}

TEST(SiderealTime, GreenwichMeanAtJ2000AndRange) {
  EXPECT_NEAR(GreenwichMeanSiderealTime(2451545.0) / kRadPerDeg, 280.46061837, 1e-8);
  for (double jd = 2000000.3; jd < 2800000; jd += 12345.678) {
    const double g = GreenwichMeanSiderealTime(jd);
    ASSERT_GE(g, 0);
    ASSERT_LT(g, 2 * std::numbers::pi);
  }
  // One sidereal day later the angle is back (to the polynomial's day rate).
  EXPECT_NEAR(GreenwichMeanSiderealTime(2451545.0 + 0.99726956633), GreenwichMeanSiderealTime(2451545.0), 1e-8);
}

// Against the worked example of 1987 April 10, 0h TD (JD 2446895.5): the
// full theory gives dpsi = -3.788", deps = +9.443", eps0 = 23 26' 27.407";
// the short series is good to about half an arcsecond.
TEST(Nutation, ShortSeriesAgainstTheFullTheory) {
  double dpsi, deps, eps0;
  const double returned = Nutation(2446895.5, dpsi, deps, eps0);
  EXPECT_EQ(returned, eps0);
  EXPECT_NEAR(dpsi / kRadPerArcsec, -3.788, 0.5);
  EXPECT_NEAR(deps / kRadPerArcsec, 9.443, 0.1);
  EXPECT_NEAR(eps0 / kRadPerArcsec, (23 * 60 + 26) * 60 + 27.407, 0.01);
}

// Each coefficient of the short series, against the nutation that JPL's DE405
// file carries (the full 1980 theory): the code's difference from JPL is
// projected onto the argument of each term over five turns of the Moon's
// node (1961-2054, every 0.73 days), where the other terms of the theory average
// out. The projection is the code's coefficient minus the theory's, a few
// thousandths of an arcsecond from the rounding to two decimals; a
// coefficient wrong by 0.01" shows.
TEST(Nutation, EachTermAgainstJplNutations) {
  TSR_REQUIRE_DATA(de405, "de/lnxp1960p2060.405");
  JplReaderScope reader(de405);
  ASSERT_TRUE(g_pJplEph->IsOpen());
  struct Term {
    const char* name;
    double sinDpsi, cosDeps;  // projections of the residual, arcseconds
  };
  Term terms[4] = {{"node", 0, 0}, {"2 Sun", 0, 0}, {"2 Moon", 0, 0}, {"2 node", 0, 0}};
  const double first = 2437300.5, step = 0.73;  // 1961 Feb 1, then five turns of the node
  const int n = 46565;
  for (int i = 0; i < n; ++i) {
    const double jd = first + i * step;
    double dpsi, deps, eps0, jpl[6];
    Nutation(jd, dpsi, deps, eps0);
    int valid = 0;
    JplPleph(jd, kJplNutations, 0, jpl, valid);
    ASSERT_EQ(valid, 1);
    const double rPsi = (dpsi - jpl[0]) / kRadPerArcsec, rEps = (deps - jpl[1]) / kRadPerArcsec;
    // Mean arguments (degrees): the Moon's node, the mean longitudes of the Sun and the Moon.
    const double t = (jd - 2451545.0) / 36525;
    const double node = (125.04452 - 1934.136261 * t) * kRadPerDeg;
    const double sun = (280.4665 + 36000.7698 * t) * kRadPerDeg;
    const double moon = (218.3165 + 481267.8813 * t) * kRadPerDeg;
    const double args[4] = {node, 2 * sun, 2 * moon, 2 * node};
    for (int k = 0; k < 4; ++k) {
      terms[k].sinDpsi += 2.0 / n * rPsi * std::sin(args[k]);
      terms[k].cosDeps += 2.0 / n * rEps * std::cos(args[k]);
    }
  }
  for (const Term& term : terms) {
    SCOPED_TRACE(term.name);
    EXPECT_NEAR(term.sinDpsi, 0.0, 0.008);
    EXPECT_NEAR(term.cosDeps, 0.0, 0.008);
  }
}

}  // namespace

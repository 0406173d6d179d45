#pragma once
// The ephemeris table as text: the time grid of a period, the fixed-column
// fields, and the two layouts (standard, comet handbook) over computed rows.
#include <string>
#include <vector>

#include "astro/ephemeris_rows.h"

// ---- time grid ----
// Most rows one run computes; a tiny step over decades asks for millions.
inline constexpr long kMaxEphemerisRows = 100000;

struct EphemerisPeriod {
  double startYear = 0, startMonth = 0, startDay = 0;
  double endYear = 0, endMonth = 0, endDay = 0;
  double hour = 0;      // start hour, used in hour steps only
  double step = 0;      // days (whole) or hours, as read
  bool bHours = false;  // hour steps
};

enum EphemerisGridStatus : int {
  kGridOk = 0,
  kGridNoStep = 1,    // step not above 0 (a day step of 0.5 reads as 0)
  kGridNoRows = 2,    // the end lies before the start
  kGridTooMany = 3,   // more than kMaxEphemerisRows rows
};

struct EphemerisGrid {
  double startJd = 0;  // first instant, JD TT
  double stepDays = 0;
  long count = 0;      // rows; the instants are startJd + k * stepDays
  int status = kGridOk;
};

// The grid of a period: the end date is the last instant (the end day plus
// one step, truncated; half a step more in hour steps, where the hour field
// applies to both ends).
EphemerisGrid BuildEphemerisGrid(const EphemerisPeriod& p);
// Why a grid gives no table, for the output box; empty for kGridOk.
std::string GridRefusalText(const EphemerisGrid& g);

// ---- fields ----
// Right-aligned in width characters, with the given decimals; a value that
// needs more room loses decimals first, and when it still does not fit the
// field is filled with '*' (never cut: a cut drops signs and leading digits).
// withSign: '+' or '-' before the absolute value.
std::string FitFixed(double value, int decimals, size_t width, bool withSign = false);
// Right ascension "hh mm.mm" and declination "±dd mm.m" by the table's rounding.
std::string FormatEphemerisRa(double raHours);
std::string FormatEphemerisDec(double decDeg);
// The row's date: JdToCalendar of jd with the minute rounded and carried
// into hour, day, month and year. hour and minute whole.
void EphemerisRowDate(double jd, int& year, int& month, int& day, int& hour, int& minute);

// ---- layouts ----
struct EphemerisLayoutInput {
  std::string name;           // object name as entered
  bool bHours = false;        // hour steps (standard layout: time after the date)
  bool bVariation = false;    // motion for T + 1 day (only when e <= 0.98)
  double e = 0;
  // Handbook heading.
  double epochJd = 0;         // 0: no epoch line
  double tYear = 0, tMonth = 0, tDay = 0;  // T fields as entered
  double jdT = 0;             // T as computed (names the month when the entered one has no name)
  double q = 0, a = 0, n = 0, P = 0;       // AU, AU, deg/day, years
  double periDeg = 0, nodeDeg = 0, inclDeg = 0;
  double H1 = 0, K1 = 0;
  long rf = 0;                // days
  std::string startYearText, endYearText;  // the period's year fields
};

std::string FormatStandardLayout(const EphemerisLayoutInput& in, const EphemerisRow* rows, long count);
std::string FormatHandbookLayout(const EphemerisLayoutInput& in, const EphemerisRow* rows, long count);

#pragma once
// The comet list "彗星一覧" without its window: one row per object of an
// element file at one instant, with where it stands, how bright it is, its
// days from perihelion and its brightest day of the next three years; the
// row cells, the column order, the first-return and brightness filters.
#include <string>

#include "astro/ephemeris_rows.h"
#include "data/element_record.h"

// Days computed ahead of the instant for the peak.
inline constexpr int kCometListDays = 1095;
// Peak date of a row with no peak ahead (the instant is its brightest day,
// or no day has a known m1).
inline constexpr double kNoPeakJd = 9999999.0;
// Columns of the list; only 0 to kLastSortColumn sort.
inline constexpr int kCometListColumns = 14;
inline constexpr int kLastSortColumn = 10;

struct CometListRow {
  std::string m_szName;        // readable name, at most 30 characters (UTF-8)
  int m_bAsteroidForm = 1;     // 1: asteroid magnitude law (H2, G) in the tool windows
  double m_dMeanAnomalyForm = 0;  // 1.0: epoch and mean anomaly (minor-planet layouts)
  double m_dEpoch = 0;         // element epoch, JD TT; 0 for comets
  double m_dT = 0;             // perihelion time, JD TT
  double m_dE = 0;
  double m_dPeri = 0, m_dNode = 0, m_dIncl = 0;  // degrees, J2000 ecliptic
  double m_dH1 = 0, m_dH2 = 0;  // total and nuclear absolute magnitudes (H2: the asteroids' H); 0 unknown
  double m_dK1 = 0, m_dK2 = 0;  // their slopes
  double m_dG = 0;             // slope parameter
  double m_dM = 0;             // mean anomaly: degrees as read, radians in (-pi, pi] for the mean-anomaly form
  double m_dQ = 0;             // perihelion distance, AU
  double m_dA = 0;             // semimajor axis, AU
  // At the instant (from the first ephemeris row).
  double m_dRa = 0;            // hours, J2000
  double m_dDec = 0;           // degrees
  double m_dDelta = 0;         // AU
  double m_dR = 0;             // AU
  double m_dTrueAnomaly = 0;   // radians
  double m_dElong = 0;         // degrees
  double m_dPhase = 0;         // degrees
  double m_dInstant = 0;       // JD of the calculation
  double m_dM1 = 0, m_dM2 = 0; // magnitudes (99.9 unknown)
  double m_dPeriod = 0;        // days; 0 when e > 0.999
  double m_dMoon = 0;          // distance from the Moon, degrees
  double m_dPeakM1 = 0;        // brightest m1 within kCometListDays days
  double m_dPeakJd = 0;        // its day (JD), kNoPeakJd when none lies ahead
  double m_dPeriDays = 0;      // days from the nearest perihelion, 0 to period / 2
};

// The row of a record with the defaults, T and q of the mean-anomaly form and
// the period (no position yet). The one-line comet layout and the long comet
// layout are comets: their T and the comet law are kept.
CometListRow MakeCometListRow(const ElementRecord& record);
// Days from the nearest perihelion passage (0 to period / 2; the plain
// |instant - T| without a period above 1 day).
double DaysFromNearestPerihelion(const CometListRow& row, double instant);
// instant - T reduced by the period into [-P/2, P/2] (plain without a period above 1 day).
double ElapsedFromPerihelion(const CometListRow& row, double instant);
// Fills the instant's fields and the peak of a row from its table of
// kCometListDays daily rows (the first at the instant).
void StoreCometListEphemeris(CometListRow& row, double instant, const EphemerisRow* table);

// ---- filters ----
// An unnumbered periodic comet ("P/" with a readable year and half-month
// letter) discovered before its last aphelion passage before the instant.
bool PassesCometListFirstReturn(const CometListRow& row, double instant);
// m1 (or m2 with bM2) at or below the limit.
bool PassesBrightnessLimit(const CometListRow& row, double limit, bool bM2);

// ---- cells and order ----
// The text of a cell (column 0 to 13).
std::string CometListCell(const CometListRow& row, int column);
// Right ascension "hh mm.mm" and declination "±dd mm.m" of the list, the
// minutes that round to 60 carried into the hour or degree.
std::string CometListRaText(double raHours);
std::string CometListDecText(double decDeg);

// The designation order: provisional designations (year, letters, number)
// before numbered comets (by number).
struct DesignationKey {
  int numbered = 0;   // 1: a periodic-comet number leads the name
  long number = 0;    // that number, or the number after the letters
  long year = 0;
  std::string letters;
};
DesignationKey DesignationSortKey(const std::string& name);
// <0, 0, >0: a before, with, after b in ascending order of the column (0-10).
int CompareCometListColumn(const CometListRow& a, const CometListRow& b, int column);

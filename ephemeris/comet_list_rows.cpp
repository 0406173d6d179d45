#include "ephemeris/comet_list_rows.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/time_scales.h"
#include "ephemeris/ephemerides.h"
#include "ephemeris/ephemeris_fields.h"
#include "platform/numbers.h"
#include "platform/text_util.h"

namespace {

constexpr size_t kNameChars = 30;
constexpr double kDaysPerYear = 365.25;
constexpr double kMaxPeriodicE = 0.999;
// Defaults of absent magnitude parameters.
constexpr double kDefaultH1 = 12.0, kDefaultK1 = 10.0;
constexpr double kDefaultH2 = 14.0, kDefaultK2 = 10.0, kDefaultG = 0.15;
// The nuclear slope that makes the ephemeris add the phase term: an
// asteroid's H + 5 log(r delta) law.
constexpr double kAsteroidK2 = 5.0;

std::string LastChars(const std::string& text, size_t n) { return text.size() > n ? text.substr(text.size() - n) : text; }

template <typename T>
int Sign(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

bool PositionKnown(const CometListRow& row) { return row.m_dDelta > 0; }

}  // namespace

CometListRow MakeCometListRow(const ElementRecord& r) {
  CometListRow row;
  const bool comet = r.m_nLayout == 3 || r.m_nLayout == 4;
  const bool meanAnomaly = r.m_nLayout == 1 || r.m_nLayout == 2;
  row.m_szName = std::string(Utf8Prefix(r.m_szName, kNameChars));
  row.m_bAsteroidForm = comet ? 0 : 1;
  row.m_dMeanAnomalyForm = meanAnomaly ? 1.0 : 0.0;
  row.m_dEpoch = comet ? 0 : r.m_dEpoch;
  row.m_dT = comet ? r.m_dT : 0;
  row.m_dE = r.m_dE;
  row.m_dPeri = r.m_dPeri;
  row.m_dNode = r.m_dNode;
  row.m_dIncl = r.m_dIncl;
  row.m_dH1 = r.m_dH1;
  row.m_dH2 = r.m_dH;
  row.m_dK1 = r.m_dK1;
  row.m_dK2 = r.m_dMagSpare;
  row.m_dG = r.m_dG;
  row.m_dM = r.m_dM;
  row.m_dQ = r.m_dQ;
  row.m_dA = r.m_dA;

  if (!row.m_bAsteroidForm && row.m_dH1 == -1.0) {
    row.m_dH1 = kDefaultH1;
    row.m_dK1 = kDefaultK1;
  }
  if (row.m_dH2 == -1.0) {
    row.m_dH2 = kDefaultH2;
    row.m_dK2 = kDefaultK2;
    row.m_dG = kDefaultG;
  }
  if (row.m_bAsteroidForm) {
    if (row.m_dG == 0) row.m_dG = kDefaultG;
    // No total magnitude without its parameters (0 makes m1 unknown), and the
    // asteroids' H takes the asteroid law rather than a slope of -1.
    if (row.m_dH1 == -1.0) row.m_dH1 = 0;
    if (row.m_dK2 == -1.0) row.m_dK2 = kAsteroidK2;
  }

  if (meanAnomaly) {
    double M = row.m_dM / kDegPerRad;
    if (M > kPi) M -= kTwoPi;
    row.m_dM = M;
    row.m_dQ = row.m_dA * (1.0 - row.m_dE);
    row.m_dT = row.m_dA > 0 ? row.m_dEpoch - M / (kGaussK / std::pow(row.m_dA, 1.5)) : 0;
  }
  if (row.m_dE <= kMaxPeriodicE) {
    if (!meanAnomaly) row.m_dA = row.m_dQ / (1.0 - row.m_dE);
    row.m_dPeriod = row.m_dA > 0 ? std::pow(row.m_dA, 1.5) * kDaysPerYear : 0;
  }
  return row;
}

double DaysFromNearestPerihelion(const CometListRow& row, double instant) {
  double d = std::fabs(instant - row.m_dT);
  if (row.m_dPeriod > 1) {
    d = std::fmod(d, row.m_dPeriod);
    if (d > row.m_dPeriod / 2) d = row.m_dPeriod - d;
  }
  return d;
}

double ElapsedFromPerihelion(const CometListRow& row, double instant) {
  double d = instant - row.m_dT;
  const double P = row.m_dPeriod;
  if (P > 1) {
    d = std::fmod(d, P);
    if (d > P / 2)
      d -= P;
    else if (d < -P / 2)
      d += P;
  }
  return d;
}

void StoreCometListEphemeris(CometListRow& row, double instant, const EphemerisRow* table) {
  const EphemerisRow& now = table[0];
  row.m_dInstant = instant;
  row.m_dRa = now.m_dRaHours;
  row.m_dDec = now.m_dDecDeg;
  row.m_dDelta = now.m_dDeltaAu;
  row.m_dR = now.m_dRAu;
  row.m_dTrueAnomaly = now.m_dTrueAnomalyRad;
  row.m_dElong = now.m_dElongationDeg;
  row.m_dPhase = now.m_dPhaseDeg;
  row.m_dM1 = now.m_dM1;
  row.m_dM2 = now.m_dM2;
  row.m_dMoon = now.m_dMoonSeparationDeg;
  row.m_dPeriDays = DaysFromNearestPerihelion(row, instant);
  // The first strictly brightest day; none ahead when it is the instant or
  // when no day has a known m1.
  double best = kEphemerisUnknownMagnitude;
  int peak = -1;
  for (int k = 0; k < kCometListDays; ++k)
    if (table[k].m_dM1 < best) {
      best = table[k].m_dM1;
      peak = k;
    }
  row.m_dPeakM1 = best;
  row.m_dPeakJd = peak > 0 ? table[peak].m_dJdTT : kNoPeakJd;
}

bool PassesCometListFirstReturn(const CometListRow& row, double instant) {
  const std::string name = TrimText(row.m_szName);
  if (name.rfind("P/", 0) != 0 || !(row.m_dPeriod > 1)) return false;
  const size_t slash = 1;
  if (name.size() <= slash + 6 || name[slash + 6] < 'A' || name[slash + 6] > 'Y') return false;
  const double discovered = FirstReturnDiscoveryJd(name);
  if (!(discovered > 0)) return false;
  const double P = row.m_dPeriod;
  const double k = std::floor((instant - row.m_dT) / P - 0.5);
  const double lastAphelion = row.m_dT + P * (k + 0.5);
  return discovered < lastAphelion;
}

bool PassesBrightnessLimit(const CometListRow& row, double limit, bool bM2) {
  return (bM2 ? row.m_dM2 : row.m_dM1) <= limit;
}

std::string CometListRaText(double raHours) {
  int h = static_cast<int>(raHours);
  std::string minutes = LastChars(FormatC("0%2.2f", (raHours - h) * 60.0), 5);
  if (minutes == "60.00") {
    h = (h + 1) % 24;
    minutes = "00.00";
  }
  return FormatC("%.2d %s", h, minutes.c_str());
}

std::string CometListDecText(double decDeg) {
  const double a = std::fabs(decDeg);
  int d = static_cast<int>(a);
  std::string minutes = LastChars(FormatC("0%2.1f", (a - d) * 60.0), 4);
  if (minutes == "60.0") {
    ++d;
    minutes = "00.0";
  }
  return FormatC("%s%s %s", decDeg < 0 ? "-" : "+", LastChars(FormatC("0%d", d), 2).c_str(), minutes.c_str());
}

std::string CometListCell(const CometListRow& row, int column) {
  if (column >= 2 && column <= 11 && !PositionKnown(row)) return std::string();
  switch (column) {
    case 0: return row.m_szName;
    case 1: return FormatC("%+.0f", ElapsedFromPerihelion(row, row.m_dInstant));
    case 2: return FormatC("%+.1f", row.m_dTrueAnomaly * kDegPerRad);
    case 3: return CometListRaText(row.m_dRa);
    case 4: return CometListDecText(row.m_dDec);
    case 5: return FormatC("%.4f", row.m_dDelta);
    case 6: return FormatC("%.4f", row.m_dR);
    case 7: return FormatC("%.1f", row.m_dElong);
    case 8: return FormatC("%.1f", row.m_dPhase);
    case 9: return FormatC("%.1f", row.m_dM1);
    case 10: return FormatC("%.1f", row.m_dM2);
    case 11: return FormatC("%.0f", row.m_dMoon);
    case 12:
    case 13: {
      if (row.m_dPeakJd == kNoPeakJd) return std::string();
      if (column == 13) return FormatC("%.1f", row.m_dPeakM1);
      double y, m, d;
      JdToCalendar(row.m_dPeakJd, y, m, d);
      return FormatC("%4d/%02d/%02d", static_cast<int>(y), static_cast<int>(m), static_cast<int>(d));
    }
    default: return std::string();
  }
}

DesignationKey DesignationSortKey(const std::string& name) {
  DesignationKey key;
  size_t i = name.find_first_not_of(' ');
  if (i == std::string::npos) return key;
  auto isDigit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
  auto isLetter = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; };
  if (isDigit(name[i])) {
    key.numbered = 1;
    key.number = std::strtol(name.c_str() + i, nullptr, 10);
    return key;
  }
  const size_t slash = name.find('/', i);
  if (slash == std::string::npos) return key;
  key.year = std::strtol(name.c_str() + slash + 1, nullptr, 10);
  const size_t blank = name.find(' ', slash);
  if (blank == std::string::npos) return key;
  size_t j = blank + 1;
  while (j < name.size() && isLetter(name[j]) && key.letters.size() < 7) key.letters += name[j++];
  if (j < name.size() && isDigit(name[j])) key.number = std::strtol(name.c_str() + j, nullptr, 10);
  return key;
}

int CompareCometListColumn(const CometListRow& a, const CometListRow& b, int column) {
  switch (column) {
    case 0: {
      const DesignationKey ka = DesignationSortKey(a.m_szName), kb = DesignationSortKey(b.m_szName);
      if (ka.numbered != kb.numbered) return ka.numbered ? 1 : -1;
      if (ka.numbered) return Sign(ka.number, kb.number);
      if (ka.year != kb.year) return Sign(ka.year, kb.year);
      if (const int c = ka.letters.compare(kb.letters)) return c < 0 ? -1 : 1;
      return Sign(ka.number, kb.number);
    }
    case 1:
      return Sign(std::fabs(ElapsedFromPerihelion(a, a.m_dInstant)), std::fabs(ElapsedFromPerihelion(b, b.m_dInstant)));
    case 2: return Sign(std::fabs(a.m_dTrueAnomaly), std::fabs(b.m_dTrueAnomaly));
    case 3: return Sign(a.m_dRa, b.m_dRa);
    case 4: return Sign(a.m_dDec, b.m_dDec);
    case 5: return Sign(a.m_dDelta, b.m_dDelta);
    case 6: return Sign(a.m_dR, b.m_dR);
    case 7: return Sign(a.m_dElong, b.m_dElong);
    case 8: return Sign(a.m_dPhase, b.m_dPhase);
    case 9: return Sign(a.m_dM1, b.m_dM1);
    case 10: return Sign(a.m_dM2, b.m_dM2);
    default: return 0;
  }
}

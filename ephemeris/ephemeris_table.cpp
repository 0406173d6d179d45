#include "ephemeris/ephemeris_table.h"

#include <cmath>

#include "astro/time_scales.h"
#include "platform/numbers.h"

namespace {

// Month names of the handbook heading, five characters each.
const char* const kMonthName5[12] = {"Jan. ", "Feb. ", "Mar. ", "Apr. ", "May  ", "June ",
                                     "July ", "Aug. ", "Sept.", "Oct. ", "Nov. ", "Dec. "};

std::string Last(const std::string& text, size_t n) { return text.size() > n ? text.substr(text.size() - n) : text; }

const char* MonthName4(int month) { return month >= 1 && month <= 12 ? g_aszMonthAbbrev[month - 1] : "????"; }

std::string RaParts(double raHours, std::string& minutes) {
  int h = static_cast<int>(raHours);
  double m = 0.01 * std::trunc(6000.0 * (raHours - h) + 0.5);
  if (m >= 60.0) {
    m = 0.0;
    ++h;
  }
  if (h >= 24) h = 0;
  minutes = FormatC("%05.2f", m);
  return FormatC("%02d", h);
}

std::string DecParts(double decDeg, std::string& arcmin) {
  const double a = std::fabs(decDeg);
  int d = static_cast<int>(a);
  double m = 0.1 * std::trunc(600.0 * (a - d) + 0.5);
  if (m >= 60.0) {
    m = 0.0;
    ++d;
  }
  arcmin = FormatC("%04.1f", m);
  return FormatC("%s%02d", decDeg < 0 ? "-" : "+", d);
}

std::string Rate(double rate) { return rate >= 9999.95 ? std::string("9999.9") : FitFixed(rate, 1, 6); }

std::string PositionAngle(double pa) {
  const std::string s = FitFixed(pa, 0, 3);
  return s == "360" ? std::string("  0") : s;
}

std::string Magnitude(double m) { return m == kEphemerisUnknownMagnitude ? std::string("--.-") : FitFixed(m, 1, 4); }

// ---- standard layout ----

std::string StandardHeader(const EphemerisLayoutInput& in) {
  std::string l1 = in.bHours ? "Date/            TT  " : FormatC("Date/ %.2dh  %s  ", 0, "TT");
  std::string l2 = in.bHours ? "               h  m  " : "               ";
  l1 += "R.A.(2000.0) Decl     Delta      r       ";
  l2 += "  h  m       o  '      AU        AU       ";
  l1 += in.bVariation ? "Variation T=+1  " : " Daily motion   ";
  l2 += "  m       '     ";
  l1 += "   Mot./PA   Elong  Phase   m1    m2   Moon Age\r\n";
  l2 += "    '    o     o      o                 o      \r\n";
  return l1 + l2;
}

std::string StandardRow(const EphemerisLayoutInput& in, const EphemerisRow& r) {
  int y, mo, d, h, mi;
  EphemerisRowDate(r.m_dJdTT, y, mo, d, h, mi);
  std::string date = Last(FormatC("    %d", y), 5) + " " + MonthName4(mo) + " " + FormatC("%.2d", d);
  if (in.bHours) date += FormatC(" %.2d:%.2d", h, mi);
  std::string raMin, decMin;
  const std::string raH = RaParts(r.m_dRaHours, raMin);
  const std::string dec = DecParts(r.m_dDecDeg, decMin);
  return FormatC("%s  %s %s  %s %s  %s  %s  %s  %s    %s/%s  %s  %s  %s  %s  %s  %s\r\n", date.c_str(), raH.c_str(),
                 raMin.c_str(), dec.c_str(), decMin.c_str(), FitFixed(r.m_dDeltaAu, 5, 8).c_str(),
                 FitFixed(r.m_dRAu, 4, 8).c_str(), FitFixed(r.m_dRaChangeMin, 2, 7, true).c_str(),
                 FitFixed(r.m_dDecChangeArcmin, 1, 5, true).c_str(), Rate(r.m_dRateArcminPerDay).c_str(),
                 PositionAngle(r.m_dMotionPaDeg).c_str(), FitFixed(r.m_dElongationDeg, 1, 5).c_str(),
                 FitFixed(r.m_dPhaseDeg, 1, 5).c_str(), Magnitude(r.m_dM1).c_str(), Magnitude(r.m_dM2).c_str(),
                 FitFixed(r.m_dMoonSeparationDeg, 0, 3).c_str(), FitFixed(r.m_dMoonIllumination, 2, 4).c_str());
}

// ---- handbook layout ----

std::string HandbookElements(const EphemerisLayoutInput& in) {
  std::string s;
  if (in.epochJd > 0) {
    double y, m, d;
    JdToCalendar(in.epochJd, y, m, d);
    const int mi = static_cast<int>(m);
    s += FormatC("          Epoch = %4d %s %-8.1f TT\r\n", static_cast<int>(y), kMonthName5[mi - 1], d);
  }
  // The T fields as entered; a month without a name is shown as the date the
  // calculation made of them.
  double ty = in.tYear, tm = in.tMonth, td = in.tDay;
  const int enteredMonth = static_cast<int>(tm);
  if (enteredMonth < 1 || enteredMonth > 12) JdToCalendar(in.jdT, ty, tm, td);
  s += FormatC("          T     = %4d %s %8.5f TT\r\n", static_cast<int>(ty), kMonthName5[static_cast<int>(tm) - 1],
               td + 1e-13);
  const double peri = in.periDeg + 1e-13, node = in.nodeDeg + 1e-13, incl = in.inclDeg + 1e-13;
  const double q = in.q + 1e-12, e = in.e + 1e-9;
  if (in.e > 0.98) {
    s += FormatC("          Peri. = %9.5f\r\n", peri);
    s += FormatC("          Node  = %9.5f   2000.0\r\n", node);
    s += FormatC("          Incl. = %9.5f\r\n", incl);
    s += FormatC("          q     = %11.7f AU\r\n", q);
    s += FormatC("          e     = %11.7f   \r\n\r\n", e);
  } else {
    s += FormatC("          Peri. = %9.5f                e =  %10.7f\r\n", peri, e);
    s += FormatC("          Node  = %9.5f   2000.0       a = %11.7f AU\r\n", node, in.a);
    s += FormatC("          Incl. = %9.5f                n =  %11.8f\r\n", incl, in.n);
    s += FormatC("          q     = %11.7f AU           P =%7.2f years\r\n\r\n", q, in.P);
  }
  if (in.rf != 0)
    s += FormatC("          m1 = %4.1f + 5 log(Delta) + %4.1f log(r(t%c%ld))\r\n\r\n", in.H1, in.K1,
                 in.rf < 0 ? '-' : '+', in.rf < 0 ? -in.rf : in.rf);
  else
    s += FormatC("          m1 = %4.1f + 5 log(Delta) + %4.1f log(r)\r\n\r\n", in.H1, in.K1);
  return s;
}

std::string HandbookHeader(const EphemerisLayoutInput& in) {
  const std::string years = in.startYearText.substr(0, 4) + "/" + Last(in.endYearText, 2);
  std::string s = "  0h TT   R.A.(2000) Decl.   Delta    r    ";
  if (in.bVariation) {
    s += " Variation     m1   Mot./PA   Elong. \r\n";
    s += years + "    h  m      。 ，                 for T=+1 day          '    。    。\r\n";
  } else {
    s += "Daily motion   m1   Elong. \r\n";
    s += years + "    h  m      。 ，                   m       ，           。\r\n";
  }
  return s;
}

std::string HandbookRow(const EphemerisLayoutInput& in, const EphemerisRow& r) {
  double y, m, d;
  JdToCalendar(r.m_dJdTT, y, m, d);
  std::string raMin, decMin;
  const std::string raH = RaParts(r.m_dRaHours, raMin);
  const std::string dec = DecParts(r.m_dDecDeg, decMin);
  std::string raMotion = FitFixed(r.m_dRaChangeMin, 2, 7, true);
  if (raMotion == "  +0.00" || raMotion == "  -0.00") raMotion = "   0.00";
  std::string decMotion = FitFixed(r.m_dDecChangeArcmin, 1, 5, true);
  if (decMotion == " +0.0" || decMotion == " -0.0") decMotion = "  0.0";
  const std::string m1 = r.m_dM1 >= 22.05 ? std::string("  . ") : FitFixed(r.m_dM1, 1, 4);
  const std::string elong = FitFixed(r.m_dElongationDeg, 1, 5);
  const int day = static_cast<int>(d);
  const char* month = MonthName4(static_cast<int>(m));
  const std::string delta = FitFixed(r.m_dDeltaAu, 3, 7), dist = FitFixed(r.m_dRAu, 3, 7);
  if (in.bVariation)
    return FormatC("%s %2d  %s %s %s %s %s%s%s  %s  %s%s/%s  %s\r\n", month, day, raH.c_str(), raMin.c_str(),
                   dec.c_str(), decMin.c_str(), delta.c_str(), dist.c_str(), raMotion.c_str(), decMotion.c_str(),
                   m1.c_str(), Rate(r.m_dRateArcminPerDay).c_str(), PositionAngle(r.m_dMotionPaDeg).c_str(),
                   elong.c_str());
  return FormatC("%s %2d  %s %s %s %s %s%s%s  %s  %s  %s\r\n", month, day, raH.c_str(), raMin.c_str(), dec.c_str(),
                 decMin.c_str(), delta.c_str(), dist.c_str(), raMotion.c_str(), decMotion.c_str(), m1.c_str(),
                 elong.c_str());
}

}  // namespace

EphemerisGrid BuildEphemerisGrid(const EphemerisPeriod& p) {
  EphemerisGrid g;
  g.stepDays = p.bHours ? p.step / 24.0 : std::trunc(p.step);
  if (!(g.stepDays > 0)) {
    g.status = kGridNoStep;
    return g;
  }
  const double hourDays = p.bHours ? p.hour / 24.0 : 0.0;
  g.startJd = CalendarToJd(p.startYear, p.startMonth, p.startDay) + hourDays;
  const double endJd = CalendarToJd(p.endYear, p.endMonth, p.endDay + g.stepDays) + hourDays;
  const double rows = (endJd - g.startJd) / g.stepDays + (p.bHours ? 0.5 : 0.0);
  if (!(rows >= 1.0)) {
    g.status = kGridNoRows;
    return g;
  }
  if (rows > static_cast<double>(kMaxEphemerisRows)) {
    g.status = kGridTooMany;
    g.count = kMaxEphemerisRows;
    return g;
  }
  g.count = static_cast<long>(rows);
  return g;
}

std::string GridRefusalText(const EphemerisGrid& g) {
  switch (g.status) {
  case kGridNoStep: return "間隔が0以下のため、位置推算表を作成できません。日単位の間隔は整数で指定してください。";
  case kGridNoRows: return "期間の終わりが始まりより前のため、位置推算表を作成できません。";
  case kGridTooMany:
    return FormatC("行数が上限の%ld行を超えるため、位置推算表を作成できません。"
                   "間隔を大きくするか、期間を短くしてください。",
                   kMaxEphemerisRows);
  default: return {};
  }
}

std::string FitFixed(double value, int decimals, size_t width, bool withSign) {
  for (int d = decimals; d >= 0; --d) {
    const std::string s = withSign ? FormatC("%s%.*f", value < 0 ? "-" : "+", d, std::fabs(value))
                                   : FormatC("%.*f", d, value);
    if (s.size() <= width) return std::string(width - s.size(), ' ') + s;
  }
  return std::string(width, '*');
}

std::string FormatEphemerisRa(double raHours) {
  std::string minutes;
  const std::string h = RaParts(raHours, minutes);
  return h + " " + minutes;
}

std::string FormatEphemerisDec(double decDeg) {
  std::string arcmin;
  const std::string d = DecParts(decDeg, arcmin);
  return d + " " + arcmin;
}

void EphemerisRowDate(double jd, int& year, int& month, int& day, int& hour, int& minute) {
  double y, m, d;
  JdToCalendar(jd, y, m, d);
  double whole = std::trunc(d);
  const double frac = d - whole;
  double h = std::trunc(24.0 * frac);
  double mi = (frac - h / 24.0) * 1440.0;
  CarryDateTime(y, m, whole, h, mi);
  year = static_cast<int>(y);
  month = static_cast<int>(m);
  day = static_cast<int>(whole);
  hour = static_cast<int>(h);
  minute = static_cast<int>(mi);
}

std::string FormatStandardLayout(const EphemerisLayoutInput& in, const EphemerisRow* rows, long count) {
  std::string text = StandardHeader(in);
  text.reserve(text.size() + static_cast<size_t>(count) * 140);
  for (long k = 0; k < count; ++k) text += StandardRow(in, rows[k]);
  return text;
}

std::string FormatHandbookLayout(const EphemerisLayoutInput& in, const EphemerisRow* rows, long count) {
  std::string text = FormatC("          Comet %s\r\n\r\n", in.name.c_str());
  text += HandbookElements(in);
  text += HandbookHeader(in);
  for (long k = 0; k < count; ++k) {
    text += HandbookRow(in, rows[k]);
    if (k % 5 == 4) text += "\r\n";
  }
  return text;
}

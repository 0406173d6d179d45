#include "determination/residual_report.h"

#include "astro/angle_units.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "astro/time_scales.h"
#include "determination/determination_display.h"
#include "determination/element_text.h"
#include "engine/orbit_engine.h"
#include "platform/nongrav_settings.h"
#include "platform/numbers.h"

namespace {

constexpr double kLargeArcsec = 99.95;
constexpr double kGaussK2 = 0.00029591220828559115;
constexpr double kAuPerDay2ToMs2 = 20.040009685249487;
constexpr double kRadiationPressure1Au = 4.53980733564685e-6;

char SignOf(double v) { return v < 0 ? '-' : '+'; }

// The precision mark: a blank, 'Y' or 'X'.
char Mark(const ObservationRecord& o) { return o.m_chQuality ? o.m_chQuality : ' '; }

bool UsedInFit(const ObservationRecord& o) { return !o.m_bRejected && !o.m_bByHand && !o.m_nUnknownStation; }

struct Date {
  int year = 0, month = 0;
  double day = 0;
  const char* name = "";
};

Date UtcDate(double jd) {
  Date d;
  CalendarParts(jd, d.year, d.name, d.day);
  double y = 0, m = 0, day = 0;
  JdToCalendar(jd, y, m, day);
  d.month = static_cast<int>(m);
  return d;
}

std::string Heading(const ObservationRecord* obs, double meanResidual) {
  int count = 0;
  const ObservationRecord* first = nullptr;
  const ObservationRecord* last = nullptr;
  for (int i = 0; obs && obs[i].m_dJdUtc != -1.0; ++i) {
    if (!UsedInFit(obs[i])) continue;
    ++count;
    if (!first) first = &obs[i];
    last = &obs[i];
  }
  const long hundredths = std::max(0L, static_cast<long>(std::floor(meanResidual * 100.0 + 0.5)));
  const std::string residual = FormatC(", mean residual %ld\".%02ld.", hundredths / 100, hundredths % 100);
  // Without a used observation there are no dates to give.
  if (!first) return FormatC(">From %d observations", count) + residual;
  const Date a = UtcDate(first->m_dJdUtc), b = UtcDate(last->m_dJdUtc);
  const int da = static_cast<int>(a.day), db = static_cast<int>(b.day);
  std::string dates;
  if (a.year != b.year)
    dates = FormatC("%d %s %d-%d %s %d", a.year, a.name, da, b.year, b.name, db);
  else if (a.month != b.month)
    dates = FormatC("%d %s %d-%s %d", a.year, a.name, da, b.name, db);
  else if (a.day != b.day)
    dates = FormatC("%d %s %d-%d", a.year, a.name, da, db);
  else
    dates = FormatC("%d %s %d", a.year, a.name, da);
  return FormatC(">From %d observations ", count) + dates + residual;
}

// "+1.2345" style: sign character, then the absolute value.
std::string Signed(const char* format, double v) { return std::string(1, SignOf(v)) + FormatC(format, std::fabs(v)); }

std::string NonGravLines(const OrbitEngine& engine) {
  if (engine.m_bNonGrav == 0) return "\n";
  const ElementBlock& el = engine.m_state.m_el;
  const double a1 = el.m_dA1 * 1e8, a2 = el.m_dA2 * 1e8, a3 = el.m_dA3 * 1e8;
  const int model = engine.m_nNonGravModel;
  std::string out = "   Nongravitational\n";
  if (model == 3) {
    out += "      parameter A1 = " + Signed("%.6f", a1) + ".\n";
  } else {
    const char* n1 = model == 1 ? "Y1" : "A1";
    const char* n2 = model == 1 ? "Y2" : "A2";
    const char* n3 = model == 1 ? "Y3" : "A3";
    out += FormatC("      parameters %s = ", n1) + Signed("%.4f", a1) + FormatC(", %s = ", n2) + Signed("%.6f", a2);
    if (engine.m_bNonGravA3) out += FormatC(", %s = ", n3) + Signed("%.6f", a3);
    out += ".\n";
  }
  if (model == 3) {
    const double scale = kAuPerDay2ToMs2 / kRadiationPressure1Au;
    out += "      Solar radiation pressure, radial only (A2 = A3 = 0).\n";
    out += FormatC("      beta = %.3e, A/M = %.3e m^2/kg (assuming C_R = 1).\n", el.m_dA1 / kGaussK2,
                   el.m_dA1 * scale);
    if (engine.m_bErrValid == 1 && engine.m_dErrA1 > 0)
      out += FormatC("      A/M uncertainty +/- %.3e m^2/kg (A1 S/N = %.1f).\n", engine.m_dErrA1 * scale,
                     std::fabs(el.m_dA1) / engine.m_dErrA1);
  } else if (model == 1) {
    out += "      Sublimating molecules are CO or N2 using Yabushita's theory.\n";
  } else if (model == 2) {
    out += FormatC("      Sublimating molecule is CO2 (scale distance r0 = %.1f au).\n", g_dCo2R0);
  }
  if (g_dNonGravDt != 0) out += FormatC("      Asymmetric outgassing, peak displaced by DT = %+.1f days.\n", g_dNonGravDt);
  return out;
}

// "YYMMDD SSS<ra><dec><mark>" of the three-column layout.
std::string ShortCell(const ObservationRecord& o) {
  const Date d = UtcDate(o.m_dJdUtc);
  std::string ra, dec;
  FormatResidualCells(o, ra, dec);
  return FormatC("%02d%02d%02d %.3s%s%s%c", d.year % 100, d.month, static_cast<int>(d.day), o.m_szStation,
                 ra.c_str(), dec.c_str(), Mark(o));
}

}  // namespace

void FormatResidualCells(const ObservationRecord& obs, std::string& ra, std::string& dec) {
  if (obs.m_nUnknownStation) {
    ra = "(  .   ";
    dec = "  .  )";
    return;
  }
  double r = obs.m_dResRa * kArcsecPerRad, d = obs.m_dResDec * kArcsecPerRad;
  const char sr = SignOf(r), sd = SignOf(d);
  const bool large = std::fabs(r) >= kLargeArcsec || std::fabs(d) >= kLargeArcsec;
  if (large) {
    r /= 3600.0;
    d /= 3600.0;
  }
  r = std::fabs(r);
  d = std::fabs(d);
  const char* number = large ? "%4.2f" : "%4.1f";
  const std::string rv = FormatC(number, r), dv = FormatC(number, d);
  if (obs.m_bRejected) {
    if (large) {
      ra = rv == "0.00" ? std::string("(0.00  ") : "(" + rv + sr + " ";
      dec = dv == "0.00" ? std::string("0.00 )") : dv + sd + ")";
    } else {
      ra = "(" + rv + sr + " ";
      if (ra.compare(0, 2, "( ") == 0) ra = " (" + FormatC("%3.1f", r) + sr + " ";
      dec = dv + sd + ")";
    }
    return;
  }
  if (large) {
    ra = rv == "0.00" ? std::string(" 0.00  ") : " " + rv + sr + " ";
    dec = dv == "0.00" ? std::string("0.00  ") : dv + sd + " ";
  } else {
    ra = rv == " 0.0" ? std::string("  0.0  ") : " " + rv + sr + " ";
    dec = dv == " 0.0" ? std::string(" 0.0  ") : dv + sd + " ";
  }
}

std::string FormatResidualBlock(CDeterminationDisplay& view, const char* station) {
  const OrbitEngine& engine = *view.m_pEngine;
  const ObservationRecord* obs = view.m_pDetClass->m_pOrbObs;
  std::string out = Heading(obs, engine.m_dMeanResidual) + NonGravLines(engine);
  if (!obs) return out;
  int total = 0;
  while (obs[total].m_dJdUtc != -1.0) ++total;
  if (station && *station) {
    for (int i = 0; i < total; ++i) {
      const ObservationRecord& o = obs[i];
      if (std::strncmp(o.m_szStation, station, 3) != 0) continue;
      const Date d = UtcDate(o.m_dJdUtc);
      std::string ra, dec;
      FormatResidualCells(o, ra, dec);
      // The day always has two integer digits (judged on the printed value).
      std::string day = FormatC("%.5f", d.day);
      if (day.size() < 8) day.insert(0, "0");
      out += FormatC("%04d %02d %s %.3s%s%s%c\n", d.year, d.month, day.c_str(), o.m_szStation, ra.c_str(),
                     dec.c_str(), Mark(o));
    }
    return out;
  }
  // Three columns running down the page; a row holds only the cells that exist.
  const int rows = (total + 2) / 3;
  for (int i = 0; i < rows; ++i) {
    std::string line;
    for (int k = i; k < total && k <= i + 2 * rows; k += rows) {
      if (!line.empty()) line += ' ';
      line += ShortCell(obs[k]);
    }
    out += line + "\n";
  }
  return out;
}

#include "determination/element_text.h"

#include "astro/angle_units.h"

#include <cmath>

#include "astro/constants.h"
#include "astro/frames.h"
#include "astro/time_scales.h"
#include "determination/determination_display.h"
#include "engine/nongrav.h"
#include "engine/orbit_engine.h"
#include "platform/app_services.h"
#include "platform/numbers.h"
#include "platform/text_util.h"

namespace {

constexpr double kKmPerAu = 149597871.0;
constexpr double kJupiterA = 5.2044;
constexpr double kAuPerDay2ToMs2 = 20.040009685249487;
constexpr double kRadiationPressure1Au = 4.53980733564685e-6;
constexpr const char* kBlankColumn = "                   ";  // 19 blanks

std::string TLine(double T, bool extended) {
  int y = 0;
  const char* m = nullptr;
  double d = 0;
  CalendarParts(T, y, m, d);
  return FormatC(extended ? "T %d %s %.8f TT" : "T %d %s %.5f TT", y, m, d);
}

// Mean anomaly at the epoch in degrees, in (0, 360].
double MeanAnomalyDeg(double epoch, double T, double a) {
  const double n = kGaussK / std::pow(a, 1.5);
  double m = NormalizeAngle((epoch - T) * n) * kDegPerRad;
  if (m < 0) m += 360.0;
  return m;
}

// The lines "n ... Peri.", "a ... Node" of the comet and minor-planet forms.
void EllipseMiddleLines(const ElementLineInput& in, bool mpForm, std::vector<std::string>& lines) {
  const double nDeg = kGaussK / std::pow(in.a, 1.5) * kDegPerRad;
  const double peri = in.peri * kDegPerRad, node = in.node * kDegPerRad;
  lines.push_back(FormatC(in.extended ? "n %12.8f     Peri.  %13.9f %+11.8f     %+11.8f"
                                      : "n %12.8f     Peri.  %9.5f     %+11.8f     %+11.8f",
                          nDeg, peri, in.P[0], in.Q[0]));
  const char* aFormat = !in.extended ? "a %11.7f      Node   %9.5f     %+11.8f     %+11.8f"
                        : mpForm     ? "a %14.10f   Node   %13.9f %+11.8f     %+11.8f"
                                     : "a %11.7f      Node   %13.9f %+11.8f     %+11.8f";
  lines.push_back(FormatC(aFormat, in.a, node, in.P[1], in.Q[1]));
}

std::string ELine(const ElementLineInput& in) {
  return FormatC(in.extended ? "e   %12.10f   Incl.  %13.9f %+11.8f     %+11.8f"
                             : "e   %9.7f      Incl.  %9.5f     %+11.8f     %+11.8f",
                 in.e, in.incl * kDegPerRad, in.P[2], in.Q[2]);
}

std::string QLine(const ElementLineInput& in) {
  return FormatC(in.extended ? "q  %13.10f         (2000.0)            P               Q"
                             : "q  %10.7f            (2000.0)            P               Q",
                 in.q);
}

// "軌道分類: ..." of the orbit, or "" when q <= 0.
std::string OrbitClassLine(double q, double e, double incl, bool minorPlanet) {
  if (q <= 0) return {};
  if (e >= 1.0) {
    if (minorPlanet) return e == 1.0 ? "軌道分類: 放物線軌道" : "軌道分類: 双曲線軌道(恒星間天体の可能性)";
    return e == 1.0 ? "軌道分類: 放物線軌道の彗星" : "軌道分類: 双曲線軌道の彗星(非周期)";
  }
  const double a = q / (1.0 - e);
  const double Q = (1.0 + e) * a;
  const double tj = kJupiterA / a + 2.0 * std::cos(incl) * std::sqrt((1.0 - e * e) * a / kJupiterA);
  const double iDeg = incl * kDegPerRad;
  if (!minorPlanet) {
    const char* label = a * std::sqrt(a) > 200 ? "長周期彗星"
                        : tj < 2           ? "ハレー型彗星"
                        : tj <= 3          ? "木星族彗星"
                        : q > kJupiterA    ? "ケンタウルス族(キロン型)彗星"
                        : Q < 4.6          ? "エンケ型彗星(遠日点が木星に届かない)"
                                           : "短周期彗星";
    return FormatC("軌道分類: %s (TJ = %.2f)", label, tj);
  }
  const char* label = a > 30.1                          ? "太陽系外縁天体(TNO)"
                      : q > kJupiterA                   ? "ケンタウルス族"
                      : tj < 2                          ? "ダモクレス族(彗星的軌道)"
                      : a >= 5.05 && a <= 5.35          ? "木星のトロヤ群"
                      : Q < 0.983                       ? "アティラ群(軌道全体が地球軌道の内側)"
                      : a < 1                           ? "アテン群(地球接近小惑星)"
                      : q < 1.017                       ? "アポロ群(地球接近小惑星)"
                      : q < 1.3                         ? "アモール群(地球接近小惑星)"
                      : q < 1.666 && a < 3.2            ? "火星横断小惑星"
                      : a < 2.06 && e < 0.18 && iDeg > 14 ? "ハンガリア群"
                      : a >= 3.7 && a <= 4.2            ? "ヒルダ群(木星と3:2共鳴)"
                      : a >= 3.27 && a < 3.7            ? "キベレ族(メインベルト最外縁)"
                      : a >= 2.82 && a < 3.27           ? "メインベルト小惑星(外側)"
                      : a >= 2.5 && a < 2.82            ? "メインベルト小惑星(中間)"
                      : a >= 2.0 && a < 2.5 && iDeg > 18 ? "フォカエア群"
                      : a >= 2.0 && a < 2.5             ? "メインベルト小惑星(内側)"
                                                        : "分類外の軌道";
  return FormatC("軌道分類: %s (a = %.2f AU, TJ = %.2f)", label, a, tj);
}

// 1/a, r, Q, the period and the speed.
std::string DerivedQuantities(const OrbitEngine& engine, const ElementBlock& el, int mode, const char* eol) {
  const double q = el.m_dQ, e = el.m_dE;
  double invA = 0, sigma = 0;
  const bool haveSigma = InverseASigma(engine, q, e, invA, sigma);
  std::string out = haveSigma ? FormatC("%s1/a = %11.10f +/- %11.10f", eol, invA, sigma)
                              : FormatC("%s1/a = %11.10f", eol, invA);
  const double r = HeliocentricDistanceAt(el.m_dEpoch - el.m_dT, q, e);
  out += FormatC(", r = %.1f AU", r);
  // No distance (q <= 0 or no solution), no speed.
  const bool haveV = r > 0;
  const double v = haveV ? std::sqrt(std::max(0.0, 2.0 / r - invA)) * kGaussK * kKmPerAu / 86400.0 : 0.0;
  const std::string speedLine = haveV ? FormatC("V = %.3f km/s%s", v, eol) : std::string();
  if (e >= 1.0) {
    out += eol;
    if (mode != kReportFileFull) out += speedLine;
    return out;
  }
  const double a = q / (1.0 - e);
  out += FormatC(", Q = %.1f AU%s", (1.0 + e) * a, eol);
  const double period = a * std::sqrt(a);
  if (period >= 1e8) {
    if (mode != kReportFileFull) out += speedLine;
    return out;
  }
  const std::string p = FormatPeriodValue(period, period);
  std::string line;
  if (!haveSigma) {
    line = "P = " + p + " years";
  } else if (invA - sigma > 0 && std::pow(invA - sigma, -1.5) < 1e8) {
    const std::string plus = FormatPeriodValue(std::pow(invA - sigma, -1.5) - period, period);
    const std::string minus = FormatPeriodValue(period - std::pow(invA + sigma, -1.5), period);
    line = plus == minus ? FormatC("P = %s +/- %s years", p.c_str(), plus.c_str())
                         : FormatC("P = %s (+%s/-%s) years", p.c_str(), plus.c_str(), minus.c_str());
  } else {
    const double lower = std::pow(invA + sigma, -1.5);
    const std::string low = FormatPeriodValue(lower, lower);
    line = invA - sigma > 0 ? FormatC("P = %s years (1-sigma: %s - over 1e8)", p.c_str(), low.c_str())
                            : FormatC("P = %s years (1-sigma: %s - unbounded, e>=1 possible)", p.c_str(),
                                      low.c_str());
  }
  if (mode == kReportFileStation)
    out += speedLine;
  else if (mode != kReportFileFull)
    out += line + (haveV ? FormatC(", V = %.3f km/s", v) : std::string()) + eol;
  return out;
}

std::string Uncertainties(const OrbitEngine& engine, double e, bool fixE, const char* eol) {
  std::string out = eol;
  auto add = [&](const std::string& line) { out += line + eol; };
  add(FormatC("Delta(T)    = +/- %11.8f", engine.m_dErrT));
  add(FormatC("Delta(Peri) = +/- %11.8f", engine.m_dErrPeri));
  add(FormatC("Delta(Node) = +/- %11.8f", engine.m_dErrNode));
  add(FormatC("Delta(Inc)  = +/- %11.8f", engine.m_dErrIncl));
  add(FormatC("Delta(q)    = +/- %13.10f AU", engine.m_dErrQ));
  add(fixE ? std::string("Delta(e)    = ") : FormatC("Delta(e)    = +/- %13.10f", engine.m_dErrE));
  if (e <= 0.97) {
    add(FormatC("Delta(a)    = +/- %13.10f AU", engine.m_dErrA));
    add(FormatC("Delta(n)    = +/- %14.11f", engine.m_dErrN));
    add(FormatC("Delta(P)    = +/- %13.10f years", engine.m_dErrP));
    add(FormatC("            = +/- %11.8f   days", engine.m_dErrP * 365.25));
  } else {
    add(fixE ? std::string("Delta(1/a)  = ") : FormatC("Delta(1/a)  = +/- %13.10f 1/AU", engine.m_dErrA));
  }
  if (engine.m_bNonGrav) {
    const double s1 = engine.m_dErrA1 * 1e8, s2 = engine.m_dErrA2 * 1e8, s3 = engine.m_dErrA3 * 1e8;
    if (engine.m_nNonGravModel == 3) {
      add(FormatC("Delta(A1)   = +/- %9.6f", s1));
    } else {
      const bool co = engine.m_nNonGravModel == 1;
      add(FormatC(co ? "Delta(Y1)   = +/- %6.3f" : "Delta(A1)   = +/- %6.3f", s1));
      add(FormatC(co ? "Delta(Y2)   = +/- %8.5f" : "Delta(A2)   = +/- %8.5f", s2));
      if (engine.m_bNonGravA3) add(FormatC(co ? "Delta(Y3)   = +/- %8.5f" : "Delta(A3)   = +/- %8.5f", s3));
    }
  }
  return out;
}

}  // namespace

void CalendarParts(double jd, int& year, const char*& month, double& day) {
  double y = 0, m = 0, d = 0;
  JdToCalendar(jd, y, m, d);
  year = static_cast<int>(y);
  const int mi = static_cast<int>(m);
  month = g_aszMonthAbbrev[mi >= 1 && mi <= 12 ? mi - 1 : 0];
  day = d;
}

std::string FormatEpochLine(double epoch) {
  int y = 0;
  const char* m = nullptr;
  double d = 0;
  CalendarParts(epoch, y, m, d);
  return FormatC("Epoch %d %s %.1f TT = JDT %.1f", y, m, d, epoch);
}

std::string FormatPeriodValue(double value, double magnitude) {
  const double mag = std::fabs(magnitude);
  return FormatC(mag < 100 ? "%.3f" : mag < 10000 ? "%.1f" : "%.0f", value);
}

bool InverseASigma(const OrbitEngine& engine, double q, double e, double& invA, double& sigma) {
  invA = sigma = 0;
  if (q <= 0) return false;
  invA = (1.0 - e) / q;
  const int m = engine.m_nCovarianceSize;
  if (!engine.m_bCovarianceValid || m < 5) return false;
  const double d1 = -(1.0 - e) / (q * q);
  double var = d1 * d1 * engine.m_covariance[4][4];
  if (m >= 6) {
    const double d2 = -1.0 / q;
    var += 2.0 * d1 * d2 * engine.m_covariance[4][5] + d2 * d2 * engine.m_covariance[5][5];
  }
  if (!(var > 0)) return false;
  sigma = std::sqrt(var);
  return true;
}

std::vector<std::string> FormatElementLines(const ElementLineInput& in) {
  std::vector<std::string> lines;
  const double peri = in.peri * kDegPerRad, node = in.node * kDegPerRad, incl = in.incl * kDegPerRad;
  if (in.e == 1.0) {
    lines.push_back(TLine(in.T, false));
    lines.push_back(FormatC("q  %9.6f             (2000.0)            P               Q", in.q));
    lines.push_back(FormatC("                   Peri.  %8.4f      %+10.7f      %+10.7f", peri, in.P[0], in.Q[0]));
    lines.push_back(FormatC("                   Node   %8.4f      %+10.7f      %+10.7f", node, in.P[1], in.Q[1]));
    lines.push_back(FormatC("e   1.0            Incl.  %8.4f      %+10.7f      %+10.7f", incl, in.P[2], in.Q[2]));
    return lines;
  }
  if (in.e > 0.97) {
    std::string zColumn = kBlankColumn, sigmaColumn = kBlankColumn;
    if (in.q > 0) zColumn = FormatC("z  %+10.7f      ", (1.0 - in.e) / in.q);
    if (in.haveSigma) sigmaColumn = FormatC(" +/-%9.7f      ", in.invASigma);
    lines.push_back(TLine(in.T, in.extended));
    lines.push_back(QLine(in));
    lines.push_back(zColumn + FormatC(in.extended ? "Peri.  %13.9f %+11.8f     %+11.8f"
                                                  : "Peri.  %9.5f     %+11.8f     %+11.8f",
                                      peri, in.P[0], in.Q[0]));
    lines.push_back(sigmaColumn + FormatC(in.extended ? "Node   %13.9f %+11.8f     %+11.8f"
                                                      : "Node   %9.5f     %+11.8f     %+11.8f",
                                          node, in.P[1], in.Q[1]));
    lines.push_back(ELine(in));
    return lines;
  }
  const bool mpForm = in.mpOrbit != 0;
  if (mpForm) {
    int y = 0;
    const char* m = nullptr;
    double d = 0;
    CalendarParts(in.epoch, y, m, d);
    lines.push_back(FormatC("Epoch %d %s %4.1f TT = JDT %9.1f", y, m, d, in.epoch));
    lines.push_back(FormatC(in.extended ? "M %14.10f         (2000.0)            P               Q"
                                        : "M %9.5f              (2000.0)            P               Q",
                            MeanAnomalyDeg(in.epoch, in.T, in.a)));
  } else {
    lines.push_back(TLine(in.T, in.extended));
    lines.push_back(QLine(in));
  }
  EllipseMiddleLines(in, mpForm, lines);
  lines.push_back(ELine(in));
  lines.push_back(FormatC("P%7.2f", in.a * std::sqrt(in.a)));
  return lines;
}

std::string FormatMpcElements(CDeterminationDisplay& view, const ElementBlock& el, int mode) {
  const bool repeat = mode == kReportRepeat;
  if (repeat)
    mode = view.m_nReportMode;
  else
    view.m_nReportMode = mode;
  const bool fileMode = mode == kReportFileFull || mode == kReportFileStation;
  // A repeat is for the screen, whatever mode it repeats.
  const bool fileOutput = fileMode && !repeat;
  const char* eol = fileOutput ? "\n" : "\r\n";
  const OrbitEngine& engine = *view.m_pEngine;

  ElementLineInput in;
  in.epoch = el.m_dEpoch;
  in.T = el.m_dT;
  in.q = el.m_dQ;
  in.e = el.m_dE;
  in.peri = el.m_dPeri;
  in.node = el.m_dNode;
  in.incl = el.m_dIncl;
  in.a = el.m_dE < 1.0 && el.m_dQ > 0 ? el.m_dQ / (1.0 - el.m_dE) : 0.0;
  OrbitOrientationVectors(el.m_dPeri, el.m_dNode, el.m_dIncl, in.P, in.Q);
  in.mpOrbit = engine.m_state.m_bAsteroid;
  in.extended = view.m_bExtendedDisplay != 0;
  double invA = 0;
  in.haveSigma = InverseASigma(engine, el.m_dQ, el.m_dE, invA, in.invASigma);

  std::string out = std::string("Orbital elements:") + eol + view.m_strObjectName + eol;
  const bool fixE = view.m_pDetClass->m_bFixEcc != 0;
  if (fixE && el.m_dE != 1.0) out += std::string("Eccentricity assumed") + eol;

  std::vector<std::string> lines = FormatElementLines(in);
  if (view.m_bSignature == 1) {
    std::string& first = lines.front();
    first = std::string(Utf8Prefix(first, 56));
    first.append(56 - std::min<size_t>(56, Utf8Length(first)), ' ');
    first += TheApp().m_szSignature;
  }
  const bool mpForm = el.m_dE <= 0.97 && in.mpOrbit != 0;
  const bool perturbed = engine.m_bPerturbations == 1;
  if (!mpForm && (mode == kReportMovedEpoch || (mode != kReportPreliminary && perturbed)))
    out += FormatEpochLine(el.m_dEpoch) + eol;
  for (const std::string& line : lines) out += line + eol;

  if (mode == kReportTwoBody || mode == kReportPerturbed)
    out += FormatC("Mean %7.5f arc seconds.    Mean residual %8.6f arc seconds.", engine.m_dMeanSignedResidual,
                   engine.m_dMeanResidual) +
           eol;
  if (mode == kReportPerturbed || (mode != kReportPreliminary && perturbed))
    out += DerivedQuantities(engine, el, mode, eol);

  if (!fileMode) {
    const bool packedEmpty = view.m_strPackNames.empty();
    const bool minorPlanet = packedEmpty ? in.mpOrbit == 1 : !IsPackedCometDesignation(view.m_strPackNames);
    const std::string cls = OrbitClassLine(el.m_dQ, el.m_dE, el.m_dIncl, minorPlanet);
    if (!cls.empty()) out += cls + eol;
  }
  if (mode == kReportPreliminary) return out;

  if (mode != kReportMovedEpoch && engine.m_bErrValid == 1) out += Uncertainties(engine, el.m_dE, fixE, eol);

  if (mode == kReportMovedEpoch || mode == kReportPerturbed || fileMode || perturbed) {
    out += eol;
    out += fileOutput ? view.m_strElementBlockFile : view.m_strElementBlock;
  }
  return out;
}

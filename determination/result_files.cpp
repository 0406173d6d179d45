#include "determination/result_files.h"

#include "astro/angle_units.h"

#include <cmath>

#include "astro/time_scales.h"
#include "data/text_bytes.h"
#include "determination/determination_display.h"
#include "determination/element_text.h"
#include "determination/residual_report.h"
#include "determination/solution_file.h"
#include "engine/orbit_engine.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/text_util.h"

namespace {

constexpr double kGaussK = 0.01720209895;

struct CalendarDate {
  int year = 0, month = 0;
  double day = 0;
};

CalendarDate DateOf(double jd) {
  double y = 0, m = 0, d = 0;
  JdToCalendar(jd, y, m, d);
  return {static_cast<int>(y), static_cast<int>(m), d};
}

bool UsableName(const std::string& name) {
  return !name.empty() && name.find_first_of(" .><*/?\\") == std::string::npos;
}

char PackedDigit(int v) { return v < 10 ? static_cast<char>('0' + v) : static_cast<char>('A' + v - 10); }

// The 12 designation columns of the last object of the file.
std::string Designation12(const CDeterminationDisplay& view) {
  std::string d = view.m_strDesignation;
  d.resize(12, ' ');
  return d;
}

std::string MinorPlanetLine(const CDeterminationDisplay& view, const ElementBlock& el) {
  const std::string cols = Designation12(view);
  const std::string desig = cols[0] == ' ' ? cols.substr(5, 7) : cols.substr(0, 5) + "  ";
  const CalendarDate ep = DateOf(el.m_dEpoch);
  const double a = el.m_dQ / (1.0 - el.m_dE);
  const double n = kGaussK / std::pow(a, 1.5);
  const double m = MeanAnomalyAtEpoch(el.m_dEpoch, el.m_dT, a);
  return FormatC("%s             %s %9.5f  %9.5f  %9.5f  %9.5f  %9.7f  %10.8f %11.7f", desig.c_str(),
                 PackedEpoch(ep.year, ep.month, static_cast<int>(ep.day)).c_str(), m * kDegPerRad, el.m_dPeri * kDegPerRad,
                 el.m_dNode * kDegPerRad, el.m_dIncl * kDegPerRad, el.m_dE, n * kDegPerRad, a) +
         std::string(99, ' ') + "\n";
}

std::string CometLine(const CDeterminationDisplay& view, const ElementBlock& el) {
  const CalendarDate t = DateOf(el.m_dT);
  const CalendarDate ep = DateOf(el.m_dEpoch);
  const std::string epoch = view.m_pEngine->m_bPerturbations
                                ? FormatC("%04d%02d%02d", ep.year, ep.month, static_cast<int>(ep.day))
                                : std::string(8, ' ');
  const std::string e = el.m_dE == 1.0 ? std::string("1.000000") : FormatC("%8.6f", el.m_dE);
  return FormatC("%s  %s %9.6f  %s  %8.4f  %8.4f  %8.4f  %s", Designation12(view).c_str(),
                 FormatC("%04d %02d %7.4f", t.year, t.month, t.day).c_str(), el.m_dQ, e.c_str(), el.m_dPeri * kDegPerRad,
                 el.m_dNode * kDegPerRad, el.m_dIncl * kDegPerRad, epoch.c_str()) +
         std::string(79, ' ') + "\n";
}

}  // namespace

bool CanSaveResults(const CDeterminationDisplay& view) {
  const int state = view.m_pEngine->m_nCalcState;
  return state == kCalcImprovedTwoBody || state == kCalcImprovedPerturbed;
}

std::string PackedEpoch(int year, int month, int day) {
  return FormatC("%c%02d%c%c", static_cast<char>(year / 100 + 55), year % 100, PackedDigit(month), PackedDigit(day));
}

std::string DefaultResultFileName(const CDeterminationDisplay& view, const std::tm& today) {
  const std::string trimmed(TrimSpace(view.m_strPackNames));
  const std::string name = UsableName(trimmed) ? trimmed : "--NAME--";
  const OrbitEngine& engine = *view.m_pEngine;
  if (!engine.m_bPerturbations)
    return FormatC("%s_D20%02d%02d%02d.IMP", name.c_str(), today.tm_year % 100, today.tm_mon + 1, today.tm_mday);
  const CalendarDate ep = DateOf(engine.m_state.m_el.m_dEpoch);
  std::string suffix;
  if (engine.m_bNonGrav && UsableName(trimmed)) {
    switch (engine.m_nNonGravModel) {
    case 1: suffix = "_Y1"; break;
    case 2: suffix = "_C1"; break;
    case 3: suffix = "_S1"; break;
    default: suffix = "_A1"; break;
    }
  }
  return FormatC("%s_E%04d%02d%02d", name.c_str(), ep.year, ep.month, static_cast<int>(ep.day)) + suffix + ".IMP";
}

std::string FormatMpcOneLine(CDeterminationDisplay& view) {
  const ElementBlock& el = view.m_pEngine->m_state.m_el;
  // The minor-planet layout needs a and n: an ellipse below e = 0.97.
  if (view.m_pEngine->m_state.m_bAsteroid == 1 && el.m_dE >= 0 && el.m_dE <= 0.97 && el.m_dQ > 0)
    return MinorPlanetLine(view, el);
  return CometLine(view, el);
}

std::string ResultFileBytes(CDeterminationDisplay& view, int format, const std::string& station) {
  if (format == kResultSolution)
    return "\xEF\xBB\xBF" + FormatSolutionFileText(view, view.m_pEngine->m_state);
  std::string text;
  if (format == kResultMpc1Line) {
    text = FormatMpcOneLine(view);
  } else {
    const bool check = format == kResultStationCheck;
    text = FormatMpcElements(view, view.m_pEngine->m_state.m_el, check ? kReportFileStation : kReportFileFull);
    text += FormatResidualBlock(view, check ? station.c_str() : nullptr);
  }
  return Utf8ToCp932Lossy(WithCrLf(text));
}

bool WriteResultFile(CDeterminationDisplay& view, const std::string& path, int format, const std::string& station,
                     std::string* error) {
  std::string reason;
  if (path.empty() || !WriteFileAtomic(path, ResultFileBytes(view, format, station), &reason)) {
    if (error) *error = reason.empty() ? std::string(kMsgResultNotCreated) : kMsgResultNotCreated + ("\r\n" + reason);
    return false;
  }
  return true;
}

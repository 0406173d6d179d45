#include "engine/improvement_epoch.h"

#include <cmath>
#include <string>

#include "astro/jpl_eph.h"
#include "astro/time_scales.h"
#include "engine/determination_host.h"
#include "engine/fit_run.h"
#include "engine/integration_state.h"
#include "engine/orbit_engine.h"
#include "engine/view_fit_run.h"
#include "platform/numbers.h"

namespace {

bool IsBlank(const std::string& text) { return text.find_first_not_of(" \t\r\n\xE3\x80\x80") == std::string::npos; }

}  // namespace

std::string WholeDayText(double jd) {
  double y = 0, m = 0, d = 0;
  JdToCalendar(jd, y, m, d);
  return FormatC("%d/%d/%d", static_cast<int>(y), static_cast<int>(m), static_cast<int>(d));
}

std::string EpochDateText(double jd) {
  double y = 0, m = 0, d = 0;
  JdToCalendar(jd, y, m, d);
  return FormatC("%d/%d/%.1f", static_cast<int>(y), static_cast<int>(m), d);
}

void EpochFieldTexts(double jdTT, std::string& year, std::string& month, std::string& day) {
  double y = 0, m = 0, d = 0;
  JdToCalendar(jdTT, y, m, d);
  year = FormatC("%d", static_cast<int>(y));
  month = FormatC("%d", static_cast<int>(m));
  day = FormatC("%.1f", d);
}

double EpochOfFieldTexts(const std::string& year, const std::string& month, const std::string& day) {
  double y = 0, m = 0, d = 0;
  if (!ParseDouble(year, y) || !ParseDouble(month, m) || !ParseDouble(day, d)) return 0.0;
  return CalendarToJd(y, m, d);
}

double EpochAsWrittenToFields(double jdTT) {
  std::string year, month, day;
  EpochFieldTexts(jdTT, year, month, day);
  return EpochOfFieldTexts(year, month, day);
}

void WriteEpochFields(CDetermination* view, double jdTT) {
  std::string year, month, day;
  EpochFieldTexts(jdTT, year, month, day);
  view->SetEpochFields(year, month, day);
}

void RoundFieldEpoch(CDetermination* view, double jdTT) {
  ViewFitObserver observer(*view);
  RoundFieldEpoch(view->m_pEngine, observer, jdTT);
}

void RoundFieldEpoch(OrbitEngine* enginePtr, FitObserver& observer, double jdTT) {
  OrbitEngine& engine = *enginePtr;
  if (engine.m_bEpochFromField != 1) return;
  const double elementEpoch = engine.m_state.m_el.m_dEpoch;
  if (std::fabs(jdTT - elementEpoch) < 0.05) {
    engine.m_dFieldEpoch = elementEpoch;
    return;
  }
  // Half days keep the epoch clear of rounding in the day fraction.
  const double rounded = std::floor(2.0 * jdTT + 0.5) * 0.5;
  if (std::fabs(rounded - jdTT) > 1e-6)
    observer.LogEntry("Epoch欄の " + EpochDateText(jdTT) + " は、時刻の丸めの誤差を避けるため 0.5日単位の " +
                      EpochDateText(rounded) + " に丸めて使います。\r\n");
  engine.m_dFieldEpoch = rounded;
}

void CheckEpochFieldRange(CDetermination* view, IntegrationState* state) {
  OrbitEngine& engine = *view->m_pEngine;
  std::string year, month, day;
  view->GetEpochFields(year, month, day);
  double epoch = state->m_el.m_dEpoch;
  if (!IsBlank(year) && !IsBlank(month) && !IsBlank(day)) {
    const double y = StringToDouble(year), m = StringToDouble(month), d = StringToDouble(day);
    epoch = CalendarToJd(y, m, d);
    if (g_pJplEph) {
      // Without an open file g_dJplStart and g_dJplEnd are 0 and no date is allowed.
      const double first = g_dJplStart + kEpochSpanMarginDays, last = g_dJplEnd - kEpochSpanMarginDays;
      if (!(epoch >= first && epoch <= last)) {
        view->AppendCalcLog(FormatC("Epoch欄の %d/%d/%.1f は計算可能な範囲(", static_cast<int>(y),
                                    static_cast<int>(m), d) +
                            WholeDayText(first) + " 〜 " + WholeDayText(last) +
                            ")の外なので、軌道要素の元期を使いました。\r\n");
        epoch = state->m_el.m_dEpoch;
      }
    }
    state->m_el.m_dEpoch = epoch;
  }

  state->m_dEpoch = epoch;
  const DetClass* det = engine.m_pDet;
  if (det && det->m_pOrbObs && det->m_nObsCount > 0) {
    int first = 0, last = det->m_nObsCount - 1;
    if (engine.m_bApophis && engine.m_nFirstObs >= 0 && engine.m_nLastObs < det->m_nObsCount &&
        engine.m_nFirstObs <= engine.m_nLastObs) {
      first = engine.m_nFirstObs;
      last = engine.m_nLastObs;
    }
    state->m_dObsFirst = det->m_pOrbObs[first].m_dJdTt;
    state->m_dObsLast = det->m_pOrbObs[last].m_dJdTt;
  }
  state->m_dDirection = epoch > state->m_dObsLast ? -1.0 : 1.0;
  state->m_chMode = kModeImprovement;
  WriteEpochFields(view, epoch);
}

double GridAtOrBefore(double jdTT) {
  double g = std::trunc(jdTT / 40.0) * 40.0 + 0.5;
  if (jdTT < g) g -= 40.0;
  return g;
}

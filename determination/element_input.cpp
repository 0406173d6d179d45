#include "determination/element_input.h"

#include "astro/angle_units.h"

#include <cctype>
#include <cmath>

#include "astro/time_scales.h"
#include "determination/determination_display.h"
#include "engine/correction_step.h"
#include "engine/differential_correction.h"
#include "engine/improvement_epoch.h"
#include "engine/improvement_procedures.h"
#include "engine/orbit_engine.h"
#include "platform/app_services.h"
#include "platform/numbers.h"

namespace {

constexpr double kGauss = 0.01720209895;  // rad/day
constexpr double kNonGravUnit = 1e-8;     // AU/day² of one typed unit

// The example elements shown when there is no solution to start from.
constexpr const char* kExample[kElmFieldCount] = {
    "2011", "3", "26.893368", "", " 2.05518664", "", "0.19571243", "176.517292", " 94.078658", " 14.054099",
    "", "", "", "", "", ""};

const char* MemoSection(int memo) { return memo == 2 ? "ELMMEMO2" : "ELMMEMO1"; }

// The leading whole number of a text (blanks first, a sign), 0 when none.
double WholeNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  const bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  double value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && value < 1e15; ++i)
    value = value * 10 + (text[i] - '0');
  return negative ? -value : value;
}

} // namespace

ElementTexts InitialElementTexts(const ElementInput& in) {
  ElementTexts t;
  if (in.m_dTYear != 0 || in.m_dTMonth != 0 || in.m_dTDay != 0) {
    const double deg = 180 / kPi;
    t[kElmTYear] = FormatC("%d", static_cast<int>(in.m_dTYear));
    t[kElmTMonth] = FormatC("%d", static_cast<int>(in.m_dTMonth));
    t[kElmTDay] = FormatC("%.9f", in.m_dTDay);
    t[kElmQ] = FormatC("%.9f", in.m_dQ);
    t[kElmE] = FormatC("%.9f", in.m_dE);
    t[kElmPeri] = FormatC("%.9f", in.m_dPeri * deg);
    t[kElmNode] = FormatC("%.9f", in.m_dNode * deg);
    t[kElmIncl] = FormatC("%.9f", in.m_dIncl * deg);
  } else {
    for (int i = 0; i < kElmFieldCount; ++i) t[i] = kExample[i];
  }
  if (in.m_dEpochYear != 0) {
    t[kElmEpochYear] = FormatC("%d", static_cast<int>(in.m_dEpochYear));
    t[kElmEpochMonth] = FormatC("%d", static_cast<int>(in.m_dEpochMonth));
    t[kElmEpochDay] = FormatC("%g", in.m_dEpochDay);
  }
  return t;
}

std::string AcceptElementTexts(const ElementTexts& t, int asteroidForm, ElementInput& out) {
  const double rad = kPi / 180;
  out.m_bAsteroidForm = asteroidForm ? 1 : 0;
  out.m_dTYear = WholeNumber(t[kElmTYear]);
  out.m_dTMonth = WholeNumber(t[kElmTMonth]);
  out.m_dTDay = StringToDouble(t[kElmTDay]);
  out.m_dEpochYear = WholeNumber(t[kElmEpochYear]);
  out.m_dEpochMonth = WholeNumber(t[kElmEpochMonth]);
  out.m_dEpochDay = StringToDouble(t[kElmEpochDay]);
  out.m_dPeri = StringToDouble(t[kElmPeri]) * rad;
  out.m_dNode = StringToDouble(t[kElmNode]) * rad;
  out.m_dIncl = StringToDouble(t[kElmIncl]) * rad;
  out.m_dQ = StringToDouble(t[kElmQ]);
  out.m_dE = StringToDouble(t[kElmE]);
  // The engine keeps M in radians, whichever form it was typed in.
  out.m_dM = StringToDouble(t[kElmM]) * rad;
  out.m_dA1 = StringToDouble(t[kElmA1]) * kNonGravUnit;
  out.m_dA2 = StringToDouble(t[kElmA2]) * kNonGravUnit;
  out.m_dA3 = StringToDouble(t[kElmA3]) * kNonGravUnit;
  if (!asteroidForm) {
    // A perihelion distance of 0 or less, or a negative e, is no orbit the
    // integrator can start from.
    if (!(out.m_dQ > 0) || !(out.m_dE >= 0)) return kMsgCometFormQE;
    out.m_bCancelled = 0;
    return {};
  }
  out.m_dA = StringToDouble(t[kElmA]);
  if (!(out.m_dA > 0) || !(out.m_dE >= 0 && out.m_dE < 1)) return kMsgAsteroidFormAE;
  if (out.m_dEpochYear == 0 && out.m_dEpochMonth == 0 && out.m_dEpochDay == 0) return kMsgAsteroidFormEpoch;
  const double epoch = CalendarToJd(out.m_dEpochYear, out.m_dEpochMonth, out.m_dEpochDay);
  out.m_dQ = (1 - out.m_dE) * out.m_dA;
  const double n = kGauss / std::pow(out.m_dA, 1.5);
  if (out.m_dM > kPi) out.m_dM -= 2 * kPi;
  JdToCalendar(epoch - out.m_dM / n, out.m_dTYear, out.m_dTMonth, out.m_dTDay);
  out.m_bCancelled = 0;
  return {};
}

void SaveElementMemo(CTessaruneApp& app, int memo, const std::string& note, const ElementTexts& texts) {
  const char* section = MemoSection(memo);
  app.WriteProfileString(section, "NOTE", note.c_str());
  for (int i = 0; i < kElmFieldCount; ++i) app.WriteProfileString(section, kElementMemoKeys[i], texts[i].c_str());
}

bool LoadElementMemo(const CTessaruneApp& app, int memo, std::string& note, ElementTexts& texts) {
  const char* section = MemoSection(memo);
  if (app.GetProfileString(section, "Q").empty()) return false;
  note = app.GetProfileString(section, "NOTE");
  for (int i = 0; i < kElmFieldCount; ++i) texts[i] = app.GetProfileString(section, kElementMemoKeys[i]);
  return true;
}

std::string ElementMemoNote(const CTessaruneApp& app, int memo) {
  return app.GetProfileString(MemoSection(memo), "NOTE");
}

ElementInput PrefillElementInput(const CDeterminationDisplay& view) {
  ElementInput in;
  const OrbitEngine& engine = *view.m_pEngine;
  if (engine.m_nCalcState != kCalcImprovedPerturbed || !engine.m_bPerturbations) return in;
  const ElementBlock& el = engine.m_state.m_el;
  JdToCalendar(el.m_dT, in.m_dTYear, in.m_dTMonth, in.m_dTDay);
  JdToCalendar(engine.m_state.m_dEpoch, in.m_dEpochYear, in.m_dEpochMonth, in.m_dEpochDay);
  in.m_dQ = el.m_dQ;
  in.m_dE = el.m_dE;
  in.m_dPeri = el.m_dPeri;
  in.m_dNode = el.m_dNode;
  in.m_dIncl = el.m_dIncl;
  in.m_dM = el.m_dM;
  in.m_dA1 = el.m_dA1;
  in.m_dA2 = el.m_dA2;
  in.m_dA3 = el.m_dA3;
  return in;
}

int ApplyElementInput(CDeterminationDisplay& view, const ElementInput& in) {
  if (in.m_bCancelled) return -1;
  OrbitEngine* engine = view.m_pEngine;
  // Refused before anything of the engine changes: a running calculation
  // works on these elements.
  if (BeginBusyCommand(engine) != 0) {
    view.ReportMessage(kMsgOtherCalculationRunning, "", kBoxOk, 1);
    return -1;
  }
  ElementBlock& el = engine->m_state.m_el;
  el.m_dT = CalendarToJd(in.m_dTYear, in.m_dTMonth, in.m_dTDay);
  el.m_dPeri = in.m_dPeri;
  el.m_dNode = in.m_dNode;
  el.m_dIncl = in.m_dIncl;
  el.m_dQ = in.m_dQ;
  el.m_dE = in.m_dE;
  el.m_dM = in.m_dM;
  el.m_dA1 = in.m_dA1;
  el.m_dA2 = in.m_dA2;
  el.m_dA3 = in.m_dA3;
  if (in.m_dE <= 0.97) el.m_dA = in.m_dQ / (1 - in.m_dE);
  SyncOrientationVectors(el);
  // The covariance of the previous solution does not belong to these elements.
  engine->m_bCovarianceValid = 0;
  int r = 0;
  {
    ScopedWaitCursor wait;
    engine->m_bPerturbations = 1;
    view.SetCheck(kIdPerturbationsCheck, 1);
    double epoch = 0;
    if (in.m_dEpochYear != 0 && in.m_dEpochMonth != 0 && in.m_dEpochDay != 0) {
      epoch = CalendarToJd(in.m_dEpochYear, in.m_dEpochMonth, in.m_dEpochDay);
      engine->m_dOsculatingEpoch = epoch;
      view.AppendCalcLog(FormatC("軌道要素を入力して計算: 入力要素の元期 %d/%d/%g から元期を移動して残差を計算します\r\n",
                                 static_cast<int>(in.m_dEpochYear), static_cast<int>(in.m_dEpochMonth),
                                 in.m_dEpochDay));
    } else {
      epoch = EpochFieldsJd(view);
    }
    RoundFieldEpoch(&view, epoch);
    r = ImproveOrbitIteration(engine, epoch, 0);
    if (r != 0) view.SetItemText(kIdResultEdit, engine->m_strMessage);
    EndBusy(engine);
  }
  view.UpdateControlsForState(engine->m_nCalcState);
  return r;
}

// The ephemeris view filled from the current orbit-determination view.
#include "astro/angle_units.h"
#include "astro/time_scales.h"
#include "engine/determination_host.h"
#include "ephemeris/ephemerides.h"
#include "ephemeris/ephemeris_fields.h"
#include "ephemeris/ephemeris_form.h"
#include "ephemeris/vaisala.h"
#include "platform/numbers.h"

namespace {

// T as a calendar date, q, e and the angles in the formats of the fill.
void FillOrbitFields(CEphemerides& view, double T, double q, double e, double peri, double node, double incl) {
  double y, m, d;
  JdToCalendar(T, y, m, d);
  view.SetItemText(kEphTYear, FormatC("%d", static_cast<int>(y)));
  view.SetItemText(kEphTMonth, FormatC("%2d", static_cast<int>(m)));
  view.SetItemText(kEphTDay, FormatC("%7.5f", d));
  view.SetItemText(kEphQ, FormatC("%.7f", q));
  view.SetItemText(kEphE, FormatC("%.7f", e));
  view.SetItemText(kEphPeri, FormatC("%.5f", peri * kDegPerRad));
  view.SetItemText(kEphNode, FormatC("%.5f", node * kDegPerRad));
  view.SetItemText(kEphIncl, FormatC("%.5f", incl * kDegPerRad));
}

// Today and 90 days on, in one-day steps.
void FillPeriod(CEphemerides& view) {
  const std::time_t now = view.Now();
  std::tm local{};
  localtime_r(&now, &local);
  view.SetItemText(kEphStartYear, FormatC("%d", local.tm_year + 1900));
  view.SetItemText(kEphStartMonth, FormatC("%d", local.tm_mon + 1));
  view.SetItemText(kEphStartDay, FormatC("%d", local.tm_mday));
  double y, m, d;
  JdToCalendar(CalendarToJd(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) + 90, y, m, d);
  view.SetItemText(kEphEndYear, FormatC("%d", static_cast<int>(y)));
  view.SetItemText(kEphEndMonth, FormatC("%d", static_cast<int>(m)));
  view.SetItemText(kEphEndDay, FormatC("%d", static_cast<int>(d)));
  view.SetItemText(kEphStep, "1");
}

void ClearMagnitudeFields(CEphemerides& view) {
  for (int id : {kEphH1, kEphK1, kEphH2, kEphK2, kEphG}) view.SetItemText(id, "");
}

}  // namespace

bool FillFromDetermination(CEphemerides& view, CDetermination* det) {
  if (!det || !det->m_pEngine) return false;
  const int state = det->m_pEngine->m_nCalcState;
  if (state != kCalcPreliminary && state != kCalcImprovedTwoBody && state != kCalcImprovedPerturbed) return false;
  const ElementBlock& el = det->m_pEngine->m_state.m_el;

  view.OnCometMagnitude();
  view.OnCometElements();
  view.SetItemText(kEphObject, TrimText(det->m_strObjectName));
  view.SetItemText(kEphEpochYear, det->GetItemText(kIdEpochYear));
  view.SetItemText(kEphEpochMonth, det->GetItemText(kIdEpochMonth));
  view.SetItemText(kEphEpochDay, det->GetItemText(kIdEpochDay));
  FillOrbitFields(view, el.m_dT, el.m_dQ, el.m_dE, el.m_dPeri, el.m_dNode, el.m_dIncl);
  // A solution carries no magnitude parameters: none of the last object's stays.
  ClearMagnitudeFields(view);
  view.DeriveAsteroidElements();
  FillPeriod(view);
  return true;
}

bool FillFromVaisala(CEphemerides& view, const CVaisala* vaisala) {
  if (!vaisala || !vaisala->HasChosenOrbit()) return false;
  const double* c = vaisala->m_chosen;
  // A parabola goes in the comet form; an ellipse in the asteroid form at its epoch.
  const bool comet = c[2] >= 1.0 || c[8] <= 0;
  if (comet) {
    view.OnCometMagnitude();
    view.OnCometElements();
    view.SetEpochFields(0);
  } else {
    view.OnAsteroidMagnitude();
    view.OnAsteroidElements();
    view.SetEpochFields(c[8]);
  }
  // A Väisälä orbit carries no magnitude parameters: none of the last object's stays.
  ClearMagnitudeFields(view);
  view.SetItemText(kEphObject, TrimText(vaisala->m_strName));
  FillOrbitFields(view, c[0], c[1], c[2], c[3], c[4], c[5]);
  if (!comet) view.DeriveAsteroidElements();
  FillPeriod(view);
  return true;
}

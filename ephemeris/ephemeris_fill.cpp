// The ephemeris view filled from the current orbit-determination view.
#include "astro/angle_units.h"
#include "astro/time_scales.h"
#include "engine/determination_host.h"
#include "ephemeris/ephemerides.h"
#include "ephemeris/ephemeris_fields.h"
#include "ephemeris/ephemeris_form.h"
#include "platform/numbers.h"

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
  double y, m, d;
  JdToCalendar(el.m_dT, y, m, d);
  view.SetItemText(kEphTYear, FormatC("%d", static_cast<int>(y)));
  view.SetItemText(kEphTMonth, FormatC("%2d", static_cast<int>(m)));
  view.SetItemText(kEphTDay, FormatC("%7.5f", d));
  view.SetItemText(kEphQ, FormatC("%.7f", el.m_dQ));
  view.SetItemText(kEphE, FormatC("%.7f", el.m_dE));
  view.SetItemText(kEphPeri, FormatC("%.5f", el.m_dPeri * kDegPerRad));
  view.SetItemText(kEphNode, FormatC("%.5f", el.m_dNode * kDegPerRad));
  view.SetItemText(kEphIncl, FormatC("%.5f", el.m_dIncl * kDegPerRad));
  view.SetItemText(kEphH1, "");
  view.SetItemText(kEphK1, "");
  view.DeriveAsteroidElements();

  // Today and 90 days on, in one-day steps.
  const std::time_t now = view.Now();
  std::tm local{};
  localtime_r(&now, &local);
  view.SetItemText(kEphStartYear, FormatC("%d", local.tm_year + 1900));
  view.SetItemText(kEphStartMonth, FormatC("%d", local.tm_mon + 1));
  view.SetItemText(kEphStartDay, FormatC("%d", local.tm_mday));
  JdToCalendar(CalendarToJd(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) + 90, y, m, d);
  view.SetItemText(kEphEndYear, FormatC("%d", static_cast<int>(y)));
  view.SetItemText(kEphEndMonth, FormatC("%d", static_cast<int>(m)));
  view.SetItemText(kEphEndDay, FormatC("%d", static_cast<int>(d)));
  view.SetItemText(kEphStep, "1");
  return true;
}

#include "ephemeris/ephemerides.h"

#include <cmath>

#include "app/registry/window_registry.h"
#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/time_scales.h"
#include "ephemeris/ephemeris_fields.h"
#include "ephemeris/ephemeris_form.h"
#include "platform/app_services.h"
#include "platform/numbers.h"

CEphemerides::CEphemerides(bool bRegister) : m_bRegistered(bRegister) {
  if (m_bRegistered) OpenWindows().m_pEphemerides = this;
}

CEphemerides::~CEphemerides() {
  if (m_bRegistered && OpenWindows().m_pEphemerides == this) OpenWindows().m_pEphemerides = nullptr;
}

// ---- controls ----

void CEphemerides::SetItemText(int id, const std::string& text) {
  ControlsById::SetItemText(id, text);
  if (id == kEphE) OnEccentricityChange();
}

// ---- set-up and switches ----

void CEphemerides::InitForm() {
  OnCometMagnitude();
  OnStepDays();
  OnDailyMotion();
  OnCometElements();
  m_bHandbookLayout = 0;
  SetCheck(kEphHandbook, 0);
  m_pElements.clear();
  m_nElements = 0;
  m_nCurElement = 0;
  OnEccentricityChange();
}

void CEphemerides::OnCometMagnitude() {
  SetCheck(kEphMagComet, 1);
  SetCheck(kEphMagAsteroid, 0);
  m_chMagLaw = 'C';
  for (int id : {kEphH1, kEphK1}) {
    SetReadOnly(id, false);
    EnableItem(id, true);
  }
  for (int id : {kEphH2, kEphK2, kEphG}) {
    SetReadOnly(id, true);
    EnableItem(id, false);
  }
}

void CEphemerides::OnAsteroidMagnitude() {
  SetCheck(kEphMagComet, 0);
  SetCheck(kEphMagAsteroid, 1);
  m_chMagLaw = 'M';
  for (int id : {kEphH1, kEphK1}) {
    SetReadOnly(id, true);
    EnableItem(id, false);
  }
  for (int id : {kEphH2, kEphK2, kEphG}) {
    SetReadOnly(id, false);
    EnableItem(id, true);
  }
}

void CEphemerides::OnCometElements() {
  SetCheck(kEphFormComet, 1);
  SetCheck(kEphFormAsteroid, 0);
  m_nElementForm = 0;
  SetReadOnly(kEphM, true);
  SetReadOnly(kEphA, true);
  EnableItem(kEphM, true);
  EnableItem(kEphA, true);
  SetReadOnly(kEphQ, false);
  EnableItem(kEphQ, true);
}

void CEphemerides::OnAsteroidElements() {
  SetCheck(kEphFormComet, 0);
  SetCheck(kEphFormAsteroid, 1);
  m_nElementForm = 1;
  SetReadOnly(kEphM, false);
  SetReadOnly(kEphA, false);
  SetReadOnly(kEphQ, true);
  EnableItem(kEphQ, false);
}

void CEphemerides::OnStepDays() {
  SetCheck(kEphStepDays, 1);
  SetCheck(kEphStepHours, 0);
  m_chStepUnit = 'D';
  SetReadOnly(kEphHour, true);
}

void CEphemerides::OnStepHours() {
  SetCheck(kEphStepDays, 0);
  SetCheck(kEphStepHours, 1);
  m_chStepUnit = 'H';
  SetReadOnly(kEphHour, false);
}

void CEphemerides::OnVariation() {
  SetCheck(kEphVariation, 1);
  SetCheck(kEphDailyMotion, 0);
  m_nMotionItem = 1;
}

void CEphemerides::OnDailyMotion() {
  SetCheck(kEphDailyMotion, 1);
  SetCheck(kEphVariation, 0);
  m_nMotionItem = 0;
}

void CEphemerides::OnHandbookLayout() {
  m_bHandbookLayout = m_bHandbookLayout ? 0 : 1;
  SetCheck(kEphHandbook, m_bHandbookLayout);
}

void CEphemerides::OnEccentricityChange() {
  const std::string text = GetItemText(kEphE);
  const bool allowed = !TrimText(text).empty() && StringToDouble(text) <= 0.98;
  EnableItem(kEphVariation, allowed);
  if (!allowed && IsChecked(kEphVariation)) OnDailyMotion();
}

void CEphemerides::OnSample() {
  SetItemText(kEphObject, "2024 RW1");
  SetEpochFields(0);
  SetItemText(kEphTYear, "2024");
  SetItemText(kEphTMonth, "10");
  SetItemText(kEphTDay, "17.43771");
  SetItemText(kEphH2, "");
  SetItemText(kEphM, "");
  SetItemText(kEphQ, "0.7340340");
  SetItemText(kEphPeri, "249.62867");
  SetItemText(kEphNode, "162.45371");
  SetItemText(kEphIncl, "0.53092");
  SetItemText(kEphE, "0.7115577");
  SetItemText(kEphA, "");
  SetItemText(kEphStartYear, "2024");
  SetItemText(kEphStartMonth, "9");
  SetItemText(kEphStartDay, "3");
  SetItemText(kEphEndYear, "2024");
  SetItemText(kEphEndMonth, "9");
  SetItemText(kEphEndDay, "5");
  SetItemText(kEphStep, "0.1");
  for (int id : {kEphH1, kEphK1, kEphH2, kEphK2}) SetItemText(id, "");
  OnCometMagnitude();
  OnStepHours();
  OnDailyMotion();
  OnCometElements();
}

void CEphemerides::SetEpochFields(double jd) {
  if (jd > 0) {
    double y, m, d;
    JdToCalendar(jd, y, m, d);
    SetItemText(kEphEpochYear, FormatC("%d", static_cast<int>(y)));
    SetItemText(kEphEpochMonth, FormatC("%d", static_cast<int>(m)));
    SetItemText(kEphEpochDay, FormatC("%.1f", d));
  } else {
    for (int id : {kEphEpochYear, kEphEpochMonth, kEphEpochDay}) SetItemText(id, "");
  }
}

void CEphemerides::DeriveAsteroidElements() {
  const double q = ReadNumber(GetItemText(kEphQ));
  const double e = ReadNumber(GetItemText(kEphE));
  bool ellipse = false;
  double a = 0;
  if (q > 0 && e >= 0 && e < 1) {
    a = q / (1.0 - e);
    ellipse = a <= 1000.0;
  }
  if (ellipse)
    SetItemText(kEphA, FormatC("%.7f", a));
  else
    SetItemText(kEphA, "");

  const double epoch = ReadEpochFields(GetItemText(kEphEpochYear), GetItemText(kEphEpochMonth),
                                       GetItemText(kEphEpochDay));
  if (!ellipse) {
    SetItemText(kEphM, "");
  } else if (epoch > 0) {
    double jdT = 0;
    if (ReadDateFields(GetItemText(kEphTYear), GetItemText(kEphTMonth), GetItemText(kEphTDay), jdT)) {
      double m = std::fmod((epoch - jdT) * kGaussK / std::pow(a, 1.5) * kDegPerRad, 360.0);
      if (m < 0) m += 360.0;
      SetItemText(kEphM, FormatC("%3.5f", m));
    }
  }
  EnableItem(kEphFormAsteroid, ellipse);
  if (!ellipse && m_nElementForm == 1) OnCometElements();
}

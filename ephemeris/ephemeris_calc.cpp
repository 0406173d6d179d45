// The calculation behind "位置推算(&C)": the form read, the orbit handed to
// the tool windows, the two-body table, the Earth impact test with the globe,
// and the text in the chosen layout.
#include <cmath>
#include <new>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/ephemeris_rows.h"
#include "astro/impact_tracker.h"
#include "astro/jpl_eph.h"
#include "astro/time_scales.h"
#include "engine/move_epoch.h"
#include "ephemeris/ephemerides.h"
#include "ephemeris/ephemeris_fields.h"
#include "ephemeris/ephemeris_form.h"
#include "ephemeris/ephemeris_globe.h"
#include "ephemeris/ephemeris_table.h"
#include "platform/numbers.h"

namespace {

struct CalcOrbit {
  double T = 0, q = 0, e = 0, a = 0, P = 0, epoch = 0;
  double periDeg = 0, nodeDeg = 0, inclDeg = 0;
};

}  // namespace

void CEphemerides::OnCalc() {
  SetOutputText("");
  m_nMotionItem = IsChecked(kEphVariation) ? 1 : 0;

  // The orbit, the epoch and the magnitude law.
  CalcOrbit o;
  const double epochEntered =
      ReadEpochFields(GetItemText(kEphEpochYear), GetItemText(kEphEpochMonth), GetItemText(kEphEpochDay));
  const double tYear = ReadNumber(GetItemText(kEphTYear)), tMonth = ReadNumber(GetItemText(kEphTMonth)),
               tDay = ReadNumber(GetItemText(kEphTDay));
  o.e = ReadNumber(GetItemText(kEphE));
  o.periDeg = ReadNumber(GetItemText(kEphPeri));
  o.nodeDeg = ReadNumber(GetItemText(kEphNode));
  o.inclDeg = ReadNumber(GetItemText(kEphIncl));
  // Under the asteroid law the greyed H1 and K1 may be another object's: no m1.
  const bool asteroidLaw = m_chMagLaw == 'M';
  const double H1 = asteroidLaw ? 0.0 : ReadNumber(GetItemText(kEphH1)), H2 = ReadNumber(GetItemText(kEphH2));
  const double K1 = asteroidLaw ? 0.0 : ReadNumber(GetItemText(kEphK1));
  // An asteroid's H0 with no slope takes H0 + 5 log(r delta) and the phase
  // term, as the comet list does: without it m2 forgot r and the phase.
  const bool asteroidSlope = asteroidLaw && TrimText(GetItemText(kEphK2)).empty();
  const double K2 = asteroidSlope ? kEphemerisAsteroidK2 : ReadNumber(GetItemText(kEphK2));
  double G = ReadNumber(GetItemText(kEphG));
  if (m_chMagLaw == 'C' && H1 == 0) {
    SetItemText(kEphH1, "");
    SetItemText(kEphK1, "");
  }
  if (H2 == 0) {
    SetItemText(kEphH2, "");
    SetItemText(kEphK2, "");
  }
  if (m_chMagLaw == 'M' && G == 0) G = 0.15;
  const long rf = ReadInteger(GetItemText(kEphRF));
  SetItemText(kEphRF, FormatC("%ld", rf));
  SetItemText(kEphG, FormatC("%.2f", G));

  if (m_nElementForm == 0) {
    o.T = CalendarToJd(tYear, tMonth, tDay);
    o.q = ReadNumber(GetItemText(kEphQ));
    if (o.e <= 0.999) o.a = o.q / (1.0 - o.e);
    o.epoch = epochEntered;
    ShowDerivedFields(epochEntered > 0);
  } else {
    double M = ReadNumber(GetItemText(kEphM)) / kDegPerRad;
    if (M > kPi) M -= kTwoPi;
    o.a = ReadNumber(GetItemText(kEphA));
    o.epoch = epochEntered > 0 ? epochEntered : CalendarToJd(tYear, tMonth, tDay);
    o.q = (1.0 - o.e) * o.a;
    o.T = o.epoch - M / (kGaussK / std::pow(o.a, 1.5));
    ShowCometFormFields(o.T, o.q, epochEntered > 0);
  }
  o.P = o.e <= 0.999 ? std::pow(o.a, 1.5) : 0.0;

  // The time grid.
  EphemerisPeriod period;
  period.startYear = static_cast<double>(ReadInteger(GetItemText(kEphStartYear)));
  period.startMonth = static_cast<double>(ReadInteger(GetItemText(kEphStartMonth)));
  period.startDay = ReadNumber(GetItemText(kEphStartDay));
  period.endYear = static_cast<double>(ReadInteger(GetItemText(kEphEndYear)));
  period.endMonth = static_cast<double>(ReadInteger(GetItemText(kEphEndMonth)));
  period.endDay = ReadNumber(GetItemText(kEphEndDay));
  period.bHours = m_chStepUnit == 'H';
  period.hour = ReadNumber(GetItemText(kEphHour));
  period.step = period.bHours ? ReadNumber(GetItemText(kEphStep)) : static_cast<double>(ReadInteger(GetItemText(kEphStep)));
  const EphemerisGrid grid = BuildEphemerisGrid(period);
  if (grid.status != kGridOk) {
    SetOutputText(GridRefusalText(grid));
    return;
  }
  // The Sun and the Moon come from the planetary file, also one day after the last row.
  const std::string noFile = PlanetaryFileRefusal(grid.startJd, grid.startJd + grid.stepDays * (grid.count - 1) + 1.0);
  if (!noFile.empty()) {
    SetOutputText(noFile);
    return;
  }
  std::vector<EphemerisRow> rows;
  try {
    rows.assign(static_cast<size_t>(grid.count) + 1, EphemerisRow{});
  } catch (const std::bad_alloc&) {
    SetOutputText("メモリが不足したため、位置推算表を作成できません。期間を短くしてください。");
    return;
  }

  // The orbit of the tool windows.
  double sy, sm, sd;
  JdToCalendar(grid.startJd, sy, sm, sd);
  m_dOrbitStartJd = CalendarToJd(sy, sm, std::trunc(sd));
  m_orbit = DisplayOrbit();
  m_orbit.m_dT = o.T;
  m_orbit.m_dQ = o.q;
  m_orbit.m_dE = o.e;
  m_orbit.m_dPeri = o.periDeg / kDegPerRad;
  m_orbit.m_dNode = o.nodeDeg / kDegPerRad;
  m_orbit.m_dIncl = o.inclDeg / kDegPerRad;
  m_orbit.m_dEpoch = o.epoch;
  m_orbit.m_strName = TrimText(GetItemText(kEphObject));
  m_orbit.m_nMpOrbit = m_nElementForm;
  m_orbit.m_bAsteroid = asteroidLaw ? 1 : 0;
  m_orbit.m_bValid = o.q > 0 ? 1 : 0;
  m_dOrbitH = asteroidLaw ? H2 : H1;
  m_dOrbitK = asteroidLaw ? G : K1;
  PushElementsToWindows();

  const bool variation = m_nMotionItem == 1 && o.e <= 0.98;
  const int computed = ComputeEphemerisRows(0, ' ', m_nMotionItem, grid.startJd, grid.stepDays,
                                            static_cast<int>(grid.count) + 1, o.T, o.q, o.e, m_orbit.m_dPeri,
                                            m_orbit.m_dNode, m_orbit.m_dIncl, H1, H2, K1, K2, G,
                                            static_cast<double>(rf), rows.data());
  // Only rows whose position was computed are fed and printed.
  const long used = std::min<long>(grid.count, std::max(computed, 0));

  ImpactTracker earth;
  FeedEarthTracker(rows.data(), used, earth);
  if (earth.m_bHit || !earth.m_track.empty()) ShowEarthApproach(earth, m_orbit);

  SetItemText(kEphP, o.P != 0 ? FormatC("%.2f", o.P) : std::string());

  EphemerisLayoutInput in;
  in.name = GetItemText(kEphObject);
  in.bHours = period.bHours;
  in.bVariation = variation;
  in.e = o.e;
  in.epochJd = o.epoch;
  in.tYear = tYear;
  in.tMonth = tMonth;
  in.tDay = tDay;
  in.jdT = o.T;
  in.q = o.q;
  in.a = o.a;
  in.P = o.P;
  in.n = o.P > 0 ? kDegPerRad * kGaussK / o.P : 0.0;
  in.periDeg = o.periDeg;
  in.nodeDeg = o.nodeDeg;
  in.inclDeg = o.inclDeg;
  in.H1 = H1;
  in.K1 = K1;
  in.rf = rf;
  in.startYearText = TrimText(GetItemText(kEphStartYear));
  in.endYearText = TrimText(GetItemText(kEphEndYear));
  std::string text = m_bHandbookLayout ? FormatHandbookLayout(in, rows.data(), used)
                                       : FormatStandardLayout(in, rows.data(), used);
  if (used < grid.count)
    text += FormatC("※%ld行目以降は位置を計算できませんでした。\r\n", used + 1);
  SetOutputText(text);
}

void CEphemerides::ShowDerivedFields(bool hasEpoch) {
  DeriveAsteroidElements();
  // Without an epoch there is no M to show, only the last object's.
  if (!hasEpoch) SetItemText(kEphM, "");
}

void CEphemerides::ShowCometFormFields(double T, double q, bool hasEpoch) {
  if (!(q > 0)) return;
  // With the epoch fields empty the T fields held the epoch: it moves there, digit for digit.
  if (!hasEpoch) {
    double jd = 0;
    if (!ReadDateFields(GetItemText(kEphTYear), GetItemText(kEphTMonth), GetItemText(kEphTDay), jd)) return;
    SetItemText(kEphEpochYear, GetItemText(kEphTYear));
    SetItemText(kEphEpochMonth, GetItemText(kEphTMonth));
    SetItemText(kEphEpochDay, GetItemText(kEphTDay));
  }
  double y, m, d;
  JdToCalendar(T, y, m, d);
  SetItemText(kEphTYear, FormatC("%d", static_cast<int>(y)));
  SetItemText(kEphTMonth, FormatC("%d", static_cast<int>(m)));
  SetItemText(kEphTDay, FormatC("%.5f", d));
  SetItemText(kEphQ, FormatC("%.7f", q));
}

void CEphemerides::PushElementsToWindows() {
  if (!m_orbit.m_bValid) return;
  if (OrbitDiagramSink* diagram = ToolSinks().OrbitDiagram()) {
    DisplayOrbit shown = m_orbit;
    shown.m_dEpoch = m_orbit.m_dEpoch > 0 ? m_orbit.m_dEpoch : m_orbit.m_dT;
    diagram->ShowOrbit(shown, std::string(), {}, false);
  }
  if (MagCurveSink* curve = ToolSinks().MagCurve()) {
    const DisplayOrbit& o = m_orbit;
    curve->SetObject(o.m_dT, o.m_dQ, o.m_dE, o.m_dPeri, o.m_dNode, o.m_dIncl, o.m_strName, m_dOrbitH,
                     m_dOrbitK, m_chMagLaw == 'M' ? 1 : 0);
  }
  if (VisibilityChartSink* chart = ToolSinks().VisibilityChart()) {
    const DisplayOrbit& o = m_orbit;
    if (m_dOrbitStartJd > 0) chart->SetStartDate(m_dOrbitStartJd);
    chart->SetObject(o.m_dT, o.m_dQ, o.m_dE, o.m_dPeri, o.m_dNode, o.m_dIncl, o.m_strName, m_dOrbitH, m_dOrbitK,
                     m_chMagLaw == 'M' ? 1 : 0);
  }
  if (SearchRangeSink* range = ToolSinks().SearchRange()) {
    const DisplayOrbit& o = m_orbit;
    const bool asteroid = m_chMagLaw == 'M';
    range->SetObject(o.m_strName, o.m_dT, o.m_dQ, o.m_dE, o.m_dPeri, o.m_dNode, o.m_dIncl, asteroid ? 0 : m_dOrbitH,
                     asteroid || m_dOrbitK == 0 ? 10.0 : m_dOrbitK);
  }
}

void CEphemerides::OnMagCurve() {
  ToolSinks().OpenMagCurve();
  PushElementsToWindows();
}

void CEphemerides::OnVisibilityChart() {
  ToolSinks().OpenVisibilityChart();
  PushElementsToWindows();
}

void CEphemerides::OnSearchRange() {
  SearchRangeSink* range = ToolSinks().OpenSearchRange();
  if (!range) return;
  if (m_nElementForm == 1) {
    // The asteroid form has no T field: the orbit of the last calculation.
    PushElementsToWindows();
    return;
  }
  // The comet form's fields as they stand, computed or not.
  const bool asteroidLaw = m_chMagLaw == 'M';
  const double K = ReadNumber(GetItemText(kEphK1));
  range->SetObject(TrimText(GetItemText(kEphObject)),
                   CalendarToJd(ReadNumber(GetItemText(kEphTYear)), ReadNumber(GetItemText(kEphTMonth)),
                                ReadNumber(GetItemText(kEphTDay))),
                   ReadNumber(GetItemText(kEphQ)), ReadNumber(GetItemText(kEphE)),
                   ReadNumber(GetItemText(kEphPeri)) / kDegPerRad, ReadNumber(GetItemText(kEphNode)) / kDegPerRad,
                   ReadNumber(GetItemText(kEphIncl)) / kDegPerRad, asteroidLaw ? 0 : ReadNumber(GetItemText(kEphH1)),
                   asteroidLaw || K == 0 ? 10.0 : K);
}

void CEphemerides::OnOrbitView() {
  ToolSinks().OpenOrbitDiagram();
  PushElementsToWindows();
}

void CEphemerides::OnGlobe() {
  if (GlobeSink* globe = ToolSinks().OpenGlobe()) globe->ShowGlobe();
}

#include "determination/determination_display.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "astro/constants.h"
#include "astro/frames.h"
#include "astro/mpeph_store.h"
#include "astro/time_scales.h"
#include "data/comet_list.h"
#include "data/designation.h"
#include "data/mp_names.h"
#include "data/step_texts.h"
#include "determination/element_text.h"
#include "determination/improvement_settings.h"
#include "engine/approach_graph.h"
#include "engine/close_approach.h"
#include "engine/force_model.h"
#include "engine/nongrav.h"
#include "platform/numbers.h"
#include "platform/text_util.h"

namespace {

constexpr double kAuPerDay2ToMs2 = 20.040009685249487;
constexpr double kRadiationPressure1Au = 4.53980733564685e-6;

double AreaToMass(double a1) { return a1 * kAuPerDay2ToMs2 / kRadiationPressure1Au; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

// ---- element texts ----

void CDeterminationDisplay::ShowElementText(EngineWindow* edit, IntegrationState* state, int mode) {
  const ElementBlock& el = state ? state->m_el : m_pEngine->m_state.m_el;
  const std::string text = FormatMpcElements(*this, el, mode);
  if (edit) edit->SetText(text);
  if (mode != kReportElementsOnly) PublishElementsToViews(state, mode);
  if (state && state->m_nBodies > 1) ShowNonGravParams();
}

void CDeterminationDisplay::FormatElementBlock(int kind, double epoch, double T, double q, double e, double peri,
                                               double node, double incl, double a, double M, const double P[3],
                                               const double Q[3]) {
  (void)kind, (void)M;  // the block's own mean anomaly comes from epoch, T and a
  ElementLineInput in;
  in.epoch = epoch;
  in.T = T;
  in.q = q;
  in.e = e;
  in.peri = peri;
  in.node = node;
  in.incl = incl;
  in.a = a;
  for (int i = 0; i < 3; ++i) {
    in.P[i] = P[i];
    in.Q[i] = Q[i];
  }
  in.mpOrbit = m_pEngine->m_state.m_bAsteroid;
  double invA = 0;
  in.haveSigma = ComputeInverseASigma(q, e, invA, in.invASigma) == 1;
  std::vector<std::string> lines = FormatElementLines(in);
  if (e == 1.0) lines.emplace_back();
  // The minor-planet form carries its epoch in its own lines (or, above
  // e = 0.97, none); the comet form gets it first whatever e is.
  if (m_pEngine->m_bPerturbations && in.mpOrbit == 0)
    lines.insert(lines.begin(), FormatEpochLine(epoch));
  for (const std::string& line : lines) {
    m_strElementBlock += "\r\n" + line;
    m_strElementBlockFile += "\n" + line;
  }
  m_strElementBlock += "\r\n";
  m_strElementBlockFile += "\n\n";
}

int CDeterminationDisplay::ComputeInverseASigma(double q, double e, double& invA, double& sigma) {
  return InverseASigma(*m_pEngine, q, e, invA, sigma) ? 1 : 0;
}

void CDeterminationDisplay::ShowImprovementResult(EngineWindow* result, OrbitEngine* engine, int bWithStepLog) {
  IntegrationState& state = engine->m_state;
  ShowElementText(result, &state, bWithStepLog ? kReportPerturbed : kReportTwoBody);
  RefreshResidualList(m_pDetClass->m_pOrbObs, 1);
  if (!bWithStepLog) {
    if (state.m_pApproach) {
      state.m_pApproach->Reset();
      ShowCloseApproaches(state.m_pApproach, Window(kIdApproachEdit), -1, 0, state.m_nStepClass);
    }
  } else {
    const bool automatic = GetItemText(kIdStepCombo) == kStepAutomatic;
    SetItemText(kIdStepUsedLabel,
                automatic ? CTessaruneLib::FormatStepLength(std::fabs(state.m_dStep)) : std::string());
    if (state.m_pApproach) {
      const int entry = GetSelection(kIdApproachBodyCombo);
      const int body = entry >= 1 ? entry - 1 : 99;
      int members[kPerturberSetMaxMembers] = {};
      ShowCloseApproaches(state.m_pApproach, Window(kIdApproachEdit), body,
                          10 + GetPerturberSetMembers(engine->m_nAsteroidSet, members), state.m_nStepClass);
    }
  }
  std::string log = engine->m_strStepNotes;
  if (bWithStepLog && !engine->m_strStepLog.empty()) log += "【積分間隔のログ】\r\n" + engine->m_strStepLog;
  AppendCalcLog(log);
}

void CDeterminationDisplay::RefreshResidualList(ObservationRecord* obs, int shown) {
  if (!obs) return;
  int count = 0;
  while (obs[count].m_dJdUtc != -1.0) ++count;
  m_bResidualsShown = shown;
  FreeStationStats();
  m_bStationStatsStale = shown != 0;
  SetObsListItemCount(count);
}

void CDeterminationDisplay::FillApproachBodies() {
  const int set = m_pEngine->m_nAsteroidSet;
  HostControl& bodies = Control(kIdApproachBodyCombo);
  bodies.m_items = ApproachBodyEntries(set);
  bodies.m_nSelection = KeptApproachBodySelection(bodies.m_nSelection, set);
}

// ---- hand-over ----

void CDeterminationDisplay::PublishElementsToViews(const IntegrationState* state, int mode) {
  DisplayOrbit& d = m_displayOrbit;
  if (state) {
    const ElementBlock& el = state->m_el;
    d.m_dT = el.m_dT;
    d.m_dQ = el.m_dQ;
    d.m_dE = el.m_dE;
    d.m_dPeri = el.m_dPeri;
    d.m_dNode = el.m_dNode;
    d.m_dIncl = el.m_dIncl;
    d.m_dEpoch = el.m_dEpoch;
    d.m_nMpOrbit = m_pEngine->m_state.m_bAsteroid;
    d.m_nMode = mode;
    d.m_strName = std::string(TrimSpace(m_strObjectName));
    d.m_bValid = el.m_dQ > 0 ? 1 : 0;
  }
  if (!d.m_bValid) return;
  if (VisibilityChartSink* chart = ToolSinks().VisibilityChart()) {
    // The chart starts at 0 h of the element epoch's date; no magnitude law.
    double year, month, day;
    JdToCalendar(d.ReferenceTime(), year, month, day);
    chart->SetStartDate(CalendarToJd(year, month, std::floor(day)));
    chart->SetObject(d.m_dT, d.m_dQ, d.m_dE, d.m_dPeri, d.m_dNode, d.m_dIncl, d.m_strName, 0,
                     d.m_nMpOrbit ? 0.0 : 10.0, d.m_nMpOrbit);
  }
  OrbitDiagramSink* diagram = ToolSinks().OrbitDiagram();
  MagCurveSink* curve = m_pDetClass ? ToolSinks().MagCurve() : nullptr;
  if (!diagram && !curve) return;
  std::string alt(TrimSpace(FormatObjectDisplayName()));
  if (alt == d.m_strName) alt.clear();
  const ObservationRecord* obs = m_pDetClass ? m_pDetClass->m_pOrbObs : nullptr;
  int count = 0;
  while (obs && obs[count].m_dJdUtc != -1.0) ++count;
  if (diagram) {
    std::vector<double> times;
    for (int i = 0; i < count; ++i)
      if (!obs[i].m_bRejected && !obs[i].m_bByHand) times.push_back(obs[i].m_dJdTt);
    diagram->ShowOrbit(d, alt, times, d.m_nMode != kReportMovedEpoch);
  }
  if (curve) curve->SetSolution(d, obs, count, alt);
}

void CDeterminationDisplay::ResetToolWindows() {
  if (OrbitDiagramSink* diagram = ToolSinks().OrbitDiagram()) {
    GeoTrackBuffer::Instance().Reset();
    diagram->ResetContents();
  }
  if (GlobeSink* globe = ToolSinks().Globe()) globe->ResetContents();
  if (VisibilityChartSink* chart = ToolSinks().VisibilityChart()) chart->ResetContents();
  if (MagCurveSink* curve = ToolSinks().MagCurve()) curve->Clear();
  m_displayOrbit.m_bValid = 0;
}

std::string CDeterminationDisplay::FormatObjectDisplayName() {
  const ObservationRecord* obs = m_pDetClass->m_pOrbObs;
  if (!obs || obs[0].m_dJdUtc == -1.0) return {};
  char cols[13];
  std::memcpy(cols, obs[0].m_szDesig, 13);
  cols[12] = '\0';
  for (size_t i = std::strlen(cols); i < 12; ++i) cols[i] = ' ';
  if (IsDigit(cols[0]) && IsDigit(cols[1]) && IsDigit(cols[2]) && IsDigit(cols[3]) &&
      (cols[4] == 'D' || cols[4] == 'I' || cols[4] == 'P'))
    for (int i = 5; i < 12; ++i) cols[i] = ' ';
  const std::string packed(cols, 12);
  std::string text = UnpackDesignation(packed);
  const std::string_view trimmed = TrimSpace(text);
  if (trimmed.size() > 2 && trimmed[0] == '(') {
    const long number = std::strtol(std::string(trimmed.substr(1)).c_str(), nullptr, 10);
    if (number > 0 && EnsureMpNamesLoaded()) {
      const auto it = g_mapMpNames.find(std::to_string(number));
      if (it != g_mapMpNames.end()) return FormatC("(%ld) %s", number, it->second.c_str());
    }
  }
  AppendCometName(packed, text);
  return std::string(TrimSpace(text));
}

// ---- non-gravitational display ----

void CDeterminationDisplay::ShowNonGravParams() {
  const OrbitEngine& engine = *m_pEngine;
  const ElementBlock& el = engine.m_state.m_el;
  const bool shown = engine.m_bNonGrav == 1 && engine.m_nCalcState == kCalcImprovedPerturbed;
  std::string a1, a2, a3;
  if (shown) {
    a1 = FormatC("%9.7f", el.m_dA1 * 1e8);
    if (engine.m_nNonGravModel != 3) {
      a2 = FormatC("%9.7f", el.m_dA2 * 1e8);
      if (engine.m_bNonGravA3) a3 = FormatC("%9.7f", el.m_dA3 * 1e8);
    }
  }
  SetItemText(kIdNonGravA1Value, a1);
  SetItemText(kIdNonGravA2Value, a2);
  SetItemText(kIdNonGravA3Value, a3);
  ShowNonGravModelControls();
  UpdateNonGravVerdict();
}

void CDeterminationDisplay::ShowNonGravModelControls() {
  const OrbitEngine& engine = *m_pEngine;
  const int model = engine.m_nNonGravModel;
  if (GetSelection(kIdNonGravModelCombo) != model) SetSelection(kIdNonGravModelCombo, model);
  const bool pressure = model == 3;
  for (int id : {1146, static_cast<int>(kIdNonGravA2Value), 1147, static_cast<int>(kIdNonGravA3Value),
                 static_cast<int>(kIdNonGravA3Check)})
    ShowItem(id, !pressure);
  for (int id : {1506, static_cast<int>(kIdAreaToMassValue), 1508, static_cast<int>(kIdAreaToMassClass)})
    ShowItem(id, pressure);
  if (!pressure) return;
  if (engine.m_bNonGrav != 1 || engine.m_nCalcState != kCalcImprovedPerturbed) {
    SetItemText(kIdAreaToMassValue, "");
    SetItemText(kIdAreaToMassClass, "");
    return;
  }
  const double a1 = engine.m_state.m_el.m_dA1;
  const double am = AreaToMass(a1);
  double s = 0;
  if (engine.m_bErrValid && engine.m_dErrA1 > 0) {
    s = std::fabs(a1) / engine.m_dErrA1;
    SetItemText(kIdAreaToMassValue, FormatC("%.3g±%.3g", am, AreaToMass(engine.m_dErrA1)));
  } else {
    SetItemText(kIdAreaToMassValue, FormatC("%.3g", am));
  }
  std::string cls = s < 1        ? "未判定"
                    : am <= 0    ? "不定"
                    : am >= 0.01 ? "人工物"
                    : am <= 0.001 ? "天然"
                                  : "中間";
  if (s >= 1 && s < 3) cls += "?";
  SetItemText(kIdAreaToMassClass, cls);
}

void CDeterminationDisplay::UpdateNonGravVerdict() {
  const OrbitEngine& engine = *m_pEngine;
  const ObservationRecord* obs = m_pDetClass->m_pOrbObs;
  int verdict = kVerdictNone;
  if (engine.m_bNonGrav == 1 && engine.m_nCalcState == kCalcImprovedPerturbed && engine.m_bErrValid &&
      engine.m_nUsedObs > 0 && obs) {
    const ElementBlock& el = engine.m_state.m_el;
    double tmin = 0, tmax = 0;
    bool any = false;
    for (int i = 0; obs[i].m_dJdUtc != -1.0; ++i) {
      if (obs[i].m_bRejected || obs[i].m_nUnknownStation) continue;
      if (!any || obs[i].m_dJdTt < tmin) tmin = obs[i].m_dJdTt;
      if (!any || obs[i].m_dJdTt > tmax) tmax = obs[i].m_dJdTt;
      any = true;
    }
    double ratio = 0;
    if (any && tmin < tmax) {
      const double r1 = HeliocentricDistanceAt(tmin - el.m_dT, el.m_dQ, el.m_dE);
      const double r2 = HeliocentricDistanceAt(tmax - el.m_dT, el.m_dQ, el.m_dE);
      const double rmin = el.m_dT >= tmin && el.m_dT <= tmax ? el.m_dQ : std::min(r1, r2);
      const double rmax = std::max(r1, r2);
      const double gmax = NonGravG(&engine, rmax);
      ratio = gmax <= 0 || !(r1 > 0) || !(r2 > 0) ? 0.0 : NonGravG(&engine, rmin) / gmax;
    }
    const double a1 = el.m_dA1 * 1e8, a2 = el.m_dA2 * 1e8, sa1 = engine.m_dErrA1 * 1e8;
    const double s = sa1 <= 0 ? 0.0 : std::fabs(a1) / sa1;
    const bool plausible = a1 > 0 && std::fabs(a1) >= std::fabs(a2) && std::fabs(a1) <= 100;
    verdict = s < 3 ? kVerdictNotSignificant : plausible && ratio >= 3 ? kVerdictPlausible : kVerdictDoubtful;
  }
  if (verdict == m_nNonGravVerdict) return;
  m_nNonGravVerdict = verdict;
  for (int id : {kIdNonGravA1Value, kIdNonGravA2Value, kIdNonGravA3Value}) RepaintItem(id);
}

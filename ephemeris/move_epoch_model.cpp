#include "ephemeris/move_epoch_model.h"

#include <cmath>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/impact_tracker.h"
#include "astro/jpl_eph.h"
#include "astro/mpeph_store.h"
#include "astro/time_scales.h"
#include "engine/approach_graph.h"
#include "engine/close_approach.h"
#include "engine/determination_host.h"
#include "engine/force_model.h"
#include "engine/move_epoch.h"
#include "ephemeris/forecast.h"
#include "platform/numbers.h"
#include "platform/text_util.h"

namespace {

const char* const kBodyNames[] = {"最接近", "水星", "金星", "地球", "火星", "木星",
                                  "土星",   "天王星", "海王星", "冥王星", "月"};
constexpr int kMajorBodies = 10;

std::string Trimmed(MoveEpochForm& form, int id) { return std::string(TrimSpace(form.Text(id))); }
double Number(MoveEpochForm& form, int id) { return StringToDouble(Trimmed(form, id)); }

double DateOf(MoveEpochForm& form, int yearId, int monthId, int dayId) {
  return CalendarToJd(Number(form, yearId), Number(form, monthId), Number(form, dayId));
}

std::string DayText(double jd) {
  double y = 0, m = 0, d = 0;
  JdToCalendar(jd, y, m, d);
  return FormatC("%d/%d/%d", static_cast<int>(y), static_cast<int>(m), static_cast<int>(d));
}

int BodyIndexOf(int selection) { return selection <= 0 ? kApproachAllBodies : selection - 1; }

}  // namespace

std::vector<std::string> MoveEpochBodyNames(int asteroidSet) {
  std::vector<std::string> names(std::begin(kBodyNames), std::end(kBodyNames));
  for (int row = 0; row < kPerturberSetMaxMembers; ++row) names.push_back(GetPerturberName(asteroidSet, row));
  return names;
}

int KeptBodySelection(int previous, int members) {
  return previous >= 0 && previous <= kMajorBodies + members ? previous : 0;
}

bool PerihelionFromMeanAnomaly(double a, double e, double M, double epoch, double& q, double& T) {
  if (!(a > 0.0) || !(e >= 0.0 && e < 1.0)) return false;
  const double n = kGaussK / std::pow(a, 1.5);
  double m = std::fmod(M, 2 * kPi);
  if (m < 0) m += 2 * kPi;
  q = a * (1.0 - e);
  T = m <= kPi ? epoch - m / n : epoch + (2 * kPi - m) / n;
  return true;
}

MoveEpochModel::MoveEpochModel() : m_pState(std::make_unique<IntegrationState>()) {}

MoveEpochModel::~MoveEpochModel() {
  m_pState->m_pApproach = nullptr;
  m_pState->m_pImpacts = nullptr;
}

int MoveEpochModel::MemberCount() const {
  int members[kPerturberSetMaxMembers];
  return GetPerturberSetMembers(m_nAsteroidSet, members);
}

void MoveEpochModel::InitForm(MoveEpochForm& form) {
  OnFormComet(form);
  m_nElementForm = m_nNonGravType = m_nAsteroidSet = 0;
  std::vector<std::string> sets;
  for (int s = 0; s < kPerturberSetCount; ++s) sets.push_back(GetPerturberSetLabel(s));
  form.SetItems(kMeSet, sets, 0);
  std::vector<std::string> steps;
  for (int i = 0; i < kForecastStepCount; ++i) steps.push_back(ForecastStepText(i));
  form.SetItems(kMeStep, steps, 0);
  if (g_pJplEph && g_pJplEph->IsOpen() && g_dJplEnd > 0)
    form.SetText(kMeSpan, "適応範囲：" + DayText(g_dJplStart) + "～" + DayText(g_dJplEnd));
  form.SetItems(kMeBody, MoveEpochBodyNames(m_nAsteroidSet), 0);
}

void MoveEpochModel::OnFormComet(MoveEpochForm& form) {
  m_nElementForm = 0;
  form.SetReadOnly(kMeM, true);
  form.SetReadOnly(kMeA, true);
  form.SetReadOnly(kMeQ, false);
}

void MoveEpochModel::OnFormAsteroid(MoveEpochForm& form) {
  m_nElementForm = 1;
  form.SetReadOnly(kMeM, false);
  form.SetReadOnly(kMeA, false);
  form.SetReadOnly(kMeQ, true);
}

void MoveEpochModel::OnAsteroidSetChange(MoveEpochForm& form) {
  const int set = form.Selection(kMeSet);
  if (set < 0 || set >= kPerturberSetCount) return;
  m_nAsteroidSet = set;
  FillBodyCombo(form);
}

void MoveEpochModel::FillBodyCombo(MoveEpochForm& form) {
  form.SetItems(kMeBody, MoveEpochBodyNames(m_nAsteroidSet), KeptBodySelection(form.Selection(kMeBody), MemberCount()));
}

void MoveEpochModel::OnBodyChange(MoveEpochForm& form) {
  if (!m_pState->m_pApproach) return;
  ShowCloseApproaches(m_pState->m_pApproach, form.Window(kMeApproach), BodyIndexOf(form.Selection(kMeBody)),
                      kMajorBodies + MemberCount(), m_pState->m_nStepClass);
}

void MoveEpochModel::OnSample(MoveEpochForm& form) {
  const std::pair<int, const char*> sample[] = {
      {kMeEpochYear, "1991"}, {kMeEpochMonth, "9"},          {kMeEpochDay, "21.0"},
      {kMeTYear, "1991"},     {kMeTMonth, "9"},              {kMeTDay, "11.65404314"},
      {kMeQ, "0.9532942201"}, {kMeE, "0.7194864561"},        {kMePeri, "174.90191140"},
      {kMeNode, "226.78317884"}, {kMeIncl, "9.25206287"},    {kMeNewYear, "1985"},
      {kMeNewMonth, "6"},     {kMeNewDay, "24"},
  };
  for (const auto& [id, text] : sample) form.SetText(id, text);
}

void MoveEpochModel::OnSnapNewEpoch(MoveEpochForm& form) {
  std::string y = form.Text(kMeNewYear), m = form.Text(kMeNewMonth), d = form.Text(kMeNewDay);
  if (!SnapToStandardDate(y, m, d, 0)) return;
  form.SetText(kMeNewYear, y);
  form.SetText(kMeNewMonth, m);
  form.SetText(kMeNewDay, d);
}

// The end time of the run; false when a field is empty (no end would be set,
// and the run would take whatever end the state kept).
bool MoveEpochModel::ReadNewEpoch(MoveEpochForm& form, double& end) {
  for (int id : {kMeNewYear, kMeNewMonth, kMeNewDay})
    if (Trimmed(form, id).empty()) return false;
  end = DateOf(form, kMeNewYear, kMeNewMonth, kMeNewDay);
  return true;
}

void MoveEpochModel::ReadElements(MoveEpochForm& form) {
  ElementBlock& el = m_pState->m_el;
  const double epoch = m_pState->m_dEpoch;
  el.m_dEpoch = epoch;
  el.m_dM = Number(form, kMeM) * kRadPerDeg;
  el.m_dQ = Number(form, kMeQ);
  el.m_dA = Number(form, kMeA);
  el.m_dT = DateOf(form, kMeTYear, kMeTMonth, kMeTDay);
  el.m_dE = Number(form, kMeE);
  el.m_dPeri = Number(form, kMePeri) * kRadPerDeg;
  el.m_dNode = Number(form, kMeNode) * kRadPerDeg;
  el.m_dIncl = Number(form, kMeIncl) * kRadPerDeg;
  // The engine starts from T and q: the minor-planet form's a and M give them,
  // and the read-only fields show what ran.
  double q, T;
  if (m_nElementForm == 1 && PerihelionFromMeanAnomaly(el.m_dA, el.m_dE, el.m_dM, epoch, q, T)) {
    el.m_dQ = q;
    el.m_dT = T;
    double y = 0, m = 0, d = 0;
    JdToCalendar(T, y, m, d);
    form.SetText(kMeQ, FormatC("%.9f", q));
    form.SetText(kMeTYear, FormatC("%d", static_cast<int>(y)));
    form.SetText(kMeTMonth, FormatC("%d", static_cast<int>(m)));
    form.SetText(kMeTDay, FormatC("%.7f", d));
  }
  // Typed in AU/day², the unit of the state.
  el.m_dA1 = Number(form, kMeA1);
  el.m_dA2 = Number(form, kMeA2);
  el.m_dA3 = Number(form, kMeA3);
}

int MoveEpochModel::Calculate(MoveEpochForm& form) {
  CDetermination* view = CurrentDetermination();
  OrbitEngine* engine = view->m_pEngine;
  if (EngineBusy(engine)) return -1;
  IntegrationState& s = *m_pState;

  const double a1 = Number(form, kMeA1), a2 = Number(form, kMeA2), a3 = Number(form, kMeA3);
  m_bNonGrav = a1 != 0.0 || a2 != 0.0 || a3 != 0.0 ? 1 : 0;
  const double start = DateOf(form, kMeEpochYear, kMeEpochMonth, kMeEpochDay);
  double end = 0.0;
  const bool haveEnd = ReadNewEpoch(form, end);
  if (haveEnd) {
    double y = 0, m = 0, d = 0;
    JdToCalendar(end, y, m, d);
    form.SetText(kMeNewYear, FormatC("%d", static_cast<int>(y)));
    form.SetText(kMeNewMonth, FormatC("%d", static_cast<int>(m)));
    form.SetText(kMeNewDay, FormatC("%d", static_cast<int>(d)));
  }
  // The times and the step decide whether anything runs; the engine is
  // touched only after that.
  auto setTimes = [&] {
    s.m_dEpoch = start;
    s.m_dEnd = end;
    s.m_chMode = kModeCalculation;
    s.m_dDirection = end > start ? 1.0 : -1.0;
    ApplyStepText(form.Text(kMeStep), &s);
  };
  setTimes();
  if (!haveEnd || 5 * std::fabs(s.m_dStep) >= std::fabs(end - start)) {
    view->ReportMessage(kMsgNewEpochTooNear, "Tessarune", kBoxOk | kBoxIconWarning, 1);
    return -1;
  }

  // The view's set and switches go to the engine before the state takes its masses from it.
  engine->m_bPerturbations = 1;
  engine->m_nAsteroidSet = m_nAsteroidSet;
  engine->m_bNonGrav = m_bNonGrav;
  if (m_bNonGrav) engine->m_bNonGravA3 = a3 != 0.0 ? 1 : 0;
  view->ClearElementBlockTexts();
  s.m_pApproach = nullptr;
  s.m_pImpacts = nullptr;
  SetupIntegrationState(engine, &s);
  setTimes();
  ReadElements(form);

  const double h = std::fabs(s.m_dStep);
  m_pApproach = std::make_unique<CloseApproachRecord>();
  m_pApproach->Init(start, end, h);
  s.m_pApproach = m_pApproach.get();
  m_pImpacts = std::make_unique<ImpactTrackerSet>();
  s.m_pImpacts = m_pImpacts.get();

  s.m_nSolveMask = 127;
  if (m_bNonGrav) s.m_nSolveMask |= a3 != 0.0 ? 0x380 : 0x180;
  s.m_nBodies = 1;
  s.m_pApproach->Reset();
  return MoveEpochAndReport(engine, form.Window(kMeResult), &s, form.Window(kMeProgress), form.Window(kMeStatus),
                            form.Window(kMeApproach), BodyIndexOf(form.Selection(kMeBody)),
                            form.Checked(kMeRoundTrip) ? kMoveRoundTrip : 0);
}

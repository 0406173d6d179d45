// The apparitions of a periodic comet in the magnitude curve: osculating
// element sets integrated across the observed span, the table of returns,
// each point's geometry and position residual from its nearest set, and the
// check box and timer that start the computation.
#include "views/mag_apparitions.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "astro/angle_units.h"
#include "astro/frames.h"
#include "astro/time_scales.h"
#include "astro/two_body.h"
#include "engine/auto_step.h"
#include "engine/determination_host.h"
#include "engine/force_model.h"
#include "engine/integration_drivers.h"
#include "engine/orbit_engine.h"
#include "engine/quiet_run_settings.h"
#include "platform/app_services.h"
#include "platform/numbers.h"
#include "views/mag_curve.h"

namespace {

constexpr double kRadToArcsec = 180 / kPi * 3600;
constexpr double kGauss = 0.01720209895;
constexpr double kYearDays = 365.2569;

// The element set of a state's element block.
ApparitionElementSet SetFromBlock(const ElementBlock& el)
{
  ApparitionElementSet s{};
  s.dEpoch = el.m_dEpoch;
  s.dT = el.m_dT, s.dQ = el.m_dQ, s.dE = el.m_dE;
  s.dPeri = el.m_dPeri, s.dNode = el.m_dNode, s.dIncl = el.m_dIncl;
  s.dA = el.m_dA;
  s.dPeriod = s.dA > 0 ? std::pow(s.dA, 1.5) * kYearDays : 0;
  return s;
}

// The state starts again from a set: its epoch and elements, a, n and M from
// them, no non-gravitational terms, the force cache cleared.
void StartStateAt(IntegrationState& s, const ApparitionElementSet& set)
{
  ElementBlock& el = s.m_el;
  el.m_dT = set.dT, el.m_dQ = set.dQ, el.m_dE = set.dE;
  el.m_dPeri = set.dPeri, el.m_dNode = set.dNode, el.m_dIncl = set.dIncl;
  OrbitOrientationVectors(el.m_dPeri, el.m_dNode, el.m_dIncl, el.m_dP, el.m_dQvec);
  el.m_dA1 = el.m_dA2 = el.m_dA3 = 0;
  el.m_dA = set.dA;
  el.m_dN = kGauss / std::pow(set.dA, 1.5);
  el.m_dM = NormalizeAngle((set.dEpoch - set.dT) * el.m_dN);
  el.m_dEpoch = set.dEpoch;
  s.m_dEpoch = set.dEpoch;
  s.m_nStepCount = 0;
  s.m_dPrevStepTime = 0;
  s.m_dLastGridEpoch = 0;
}

} // namespace

double ApparitionStepDays(double periodDays) { return std::clamp(periodDays / 8, 10.0, 40.0); }

double FoldNumber(double t, double T, double period) { return std::floor((t - T) / period + 0.5); }

int NearestElementSet(const ApparitionElementSet* sets, int n, double t)
{
  if (n <= 0)
    return -1;
  if (t <= sets[0].dEpoch)
    return 0;
  if (t >= sets[n - 1].dEpoch)
    return n - 1;
  int lo = 0, hi = n - 1;  // sets[lo].dEpoch < t < sets[hi].dEpoch
  while (hi - lo > 1) {
    const int mid = (lo + hi) / 2;
    if (sets[mid].dEpoch <= t)
      lo = mid;
    else
      hi = mid;
  }
  return t - sets[lo].dEpoch <= sets[hi].dEpoch - t ? lo : hi;
}

double NearestPerihelion(const ApparitionElementSet& set, double t)
{
  const double next = set.dT + set.dPeriod;
  return std::fabs(next - t) < std::fabs(set.dT - t) ? next : set.dT;
}

// ---- the qualifying orbit ----

int CMagCurveDlg::GetCometPeriod(double& period) const
{
  period = 0;
  if (m_bAsteroidLaw || !m_bHasOrbit || !(m_dQ > 0) || !(m_dE >= 0) || !(m_dE < 1))
    return 0;
  const double a = m_dQ / (1 - m_dE);
  if (!(a > 0) || a > kApparitionMaxA)
    return 0;
  period = std::pow(a, 1.5) * 365.25;
  return period > kApparitionMinPeriod ? 1 : 0;
}

int CMagCurveDlg::CountFoldNumbers() const
{
  double period = 0;
  if (!GetCometPeriod(period))
    return 0;
  std::vector<double> seen;
  for (const MagCurvePoint& p : m_pPoints) {
    const double k = FoldNumber(p.dJd, m_dT, period);
    if (seen.size() < 64 && std::find(seen.begin(), seen.end(), k) == seen.end())
      seen.push_back(k);
  }
  return static_cast<int>(seen.size());
}

int CMagCurveDlg::FindNearestElementSet(double t) const
{
  return NearestElementSet(m_pElementSets.data(), std::min<int>(m_nElementSets, m_pElementSets.size()), t);
}

int CMagCurveDlg::ElementSetForPoint(double t) const
{
  // A series ended early (e >= 1, a failed run) leaves older or later
  // observations far from every set: no set describes them.
  const int k = FindNearestElementSet(t);
  return k >= 0 && std::fabs(t - m_pElementSets[k].dEpoch) <= m_dElementStep ? k : -1;
}

// ---- the element sets ----

namespace {

// The hidden edit 1373 of the window, through the control calls.
class ItemWindow : public EngineWindow {
public:
  ItemWindow(CMagCurveDlg& dlg, int id) : m_dlg(dlg), m_id(id) {}
  std::string GetText() const override { return m_dlg.GetItemText(m_id); }
  void SetText(const std::string& text) override { m_dlg.SetItemText(m_id, text); }

private:
  CMagCurveDlg& m_dlg;
  int m_id;
};

} // namespace

EngineWindow* CMagCurveDlg::MessageWindow()
{
  if (!HasItem(kMagMessageEdit))
    return nullptr;
  if (!m_pMessageWindow)
    m_pMessageWindow = std::make_unique<ItemWindow>(*this, kMagMessageEdit);
  return m_pMessageWindow.get();
}

int CMagCurveDlg::IntegrateElementsTo(double t)
{
  CDetermination* det = CurrentDetermination();
  EngineWindow* window = MessageWindow();
  if (!m_pApparitionState || !det || !det->m_pEngine || !det->m_pDetClass || !window)
    return 0;
  IntegrationState& s = *m_pApparitionState;
  s.m_dEnd = t;
  s.m_dDirection = t >= s.m_dEpoch ? 1.0 : -1.0;
  const double h = CTessaruneLib::AutoIntegrationStep(&s) * s.m_dDirection;
  s.m_dStep = h;
  s.m_dStep2 = h * h;
  if (12 * std::fabs(h) >= std::fabs(t - s.m_dEpoch))
    return 1;
  int result;
  {
    QuietRunSettings quiet(det->m_pEngine, det->m_pDetClass);
    result = IntegrateOrbit(det->m_pEngine, window, nullptr, &s);
  }
  return result == kEngineDone ? 1 : 0;
}

int CMagCurveDlg::ComputeApparitionElements()
{
  bool bAny = false;
  double tmin = 0, tmax = 0, period = 0;
  for (const MagCurvePoint& p : m_pPoints)
    if (IsShown(p)) {
      tmin = bAny ? std::min(tmin, p.dJd) : p.dJd;
      tmax = bAny ? std::max(tmax, p.dJd) : p.dJd;
      bAny = true;
    }
  if (!bAny || !(tmin < tmax) || !(m_dEpoch > 0) || !GetCometPeriod(period))
    return 0;

  double f = ApparitionStepDays(period);
  const double hi = std::max(m_dEpoch, tmax + f), lo = std::min(m_dEpoch, tmin - f);
  int capacity = static_cast<int>(std::floor((hi - lo) / f)) + 3;
  if (capacity > kMaxElementSets) {
    f = (hi - lo) / (kMaxElementSets - 3);
    capacity = kMaxElementSets;
  }
  m_dElementStep = f;

  CDetermination* det = CurrentDetermination();
  if (!det || !det->m_pEngine || !det->m_pDetClass) {
    m_strApparitionSummary = "摂動計算の準備ができないため、回帰ごとの軌道要素は求めていません。";
    return 0;
  }
  OrbitEngine* engine = det->m_pEngine;
  try {
    if (!m_pApparitionState)
      m_pApparitionState = std::make_unique<IntegrationState>();
    m_pElementSets.assign(capacity, ApparitionElementSet{});
  } catch (const std::bad_alloc&) {
    m_pElementSets.clear();
    m_nElementSets = 0;
    return 0;
  }
  m_nElementSets = 0;
  // The one busy test: an automatic procedure that pumps events holds the
  // engine as much as a calculation does.
  if (BeginBusyCommand(engine) != 0) {
    m_strApparitionSummary = "ほかの計算が動いているため、回帰ごとの軌道要素は求めていません。";
    return 0;
  }
  const int generation = m_nApparitionGeneration;
  m_bApparitionsCancelled = 0;

  IntegrationState& s = *m_pApparitionState;
  s = IntegrationState{};
  SetupIntegrationState(engine, &s);
  s.m_chMode = kModeCalculation;
  s.m_chElementForm = 'C';
  s.m_bAsteroid = 0;
  s.m_nBodies = 1;
  s.m_nSolveMask = 127;
  s.m_pApproach = nullptr;
  s.m_pImpacts = nullptr;
  s.m_pGeoTrack = nullptr;
  s.m_pElementLog = nullptr;
  s.m_nOrbitKind = 0;
  s.m_dStopDistance = 0;

  ApparitionElementSet first{};
  first.dEpoch = m_dEpoch;
  first.dT = m_dT, first.dQ = m_dQ, first.dE = m_dE;
  first.dPeri = m_dPeri, first.dNode = m_dNode, first.dIncl = m_dIncl;
  first.dA = m_dQ / (1 - m_dE);
  first.dPeriod = std::pow(first.dA, 1.5) * kYearDays;
  StartStateAt(s, first);
  det->ClearElementBlockTexts();

  std::vector<ApparitionElementSet>& sets = m_pElementSets;
  int count = 0;
  sets[count++] = first;
  // One step of a series; false ends the series in its direction.
  auto advance = [&](double t) {
    if (PumpAndCheckCancel(engine) == 1 || m_nApparitionGeneration != generation) {
      m_bApparitionsCancelled = 1;
      return false;
    }
    if (!IntegrateElementsTo(t)) {
      // The engine's own loop saw the cancel button first.
      if (engine->m_nCancel == 1)
        m_bApparitionsCancelled = 1;
      return false;
    }
    // The run pumps events too: a handler may have brought another object
    // and dropped these sets.
    if (m_nApparitionGeneration != generation) {
      m_bApparitionsCancelled = 1;
      return false;
    }
    const ApparitionElementSet set = SetFromBlock(s.m_el);
    if (!(set.dA > 0) || !(set.dE >= 0) || !(set.dE < 1))
      return false;
    sets[count++] = set;
    return true;
  };
  for (double t = m_dEpoch - f; t >= lo && count < capacity && advance(t); t -= f) {
  }
  if (!m_bApparitionsCancelled && hi >= m_dEpoch + f) {
    StartStateAt(s, first);
    for (double t = m_dEpoch + f; t <= hi && count < capacity && advance(t); t += f) {
    }
  }
  EndBusy(engine);

  if (m_nApparitionGeneration != generation) {
    // Another object or solution arrived while the engine pumped events:
    // these sets belong to an orbit that is gone.
    m_bApparitionsCancelled = 0;
    return 0;
  }
  if (m_bApparitionsCancelled) {
    m_nElementSets = 0;
    m_strApparitionSummary = "回帰ごとの軌道要素の計算を中止しました。";
    return 0;
  }
  std::sort(sets.begin(), sets.begin() + count,
            [](const ApparitionElementSet& a, const ApparitionElementSet& b) { return a.dEpoch < b.dEpoch; });
  m_nElementSets = count;
  return count > 0 ? 1 : 0;
}

// ---- the table of apparitions ----

void CMagCurveDlg::BuildApparitionTable()
{
  if (m_nElementSets <= 0 || m_pPoints.empty())
    return;
  int rows = 0;
  for (const MagCurvePoint& p : m_pPoints) {
    const int k = ElementSetForPoint(p.dJd);
    if (k < 0)
      continue;
    const ApparitionElementSet& set = m_pElementSets[k];
    const double c = NearestPerihelion(set, p.dJd);
    bool bKnown = false;
    for (int i = 0; i < rows && !bKnown; ++i)
      bKnown = std::fabs(c - m_apparitions[i].dT) < 0.25 * set.dPeriod;
    if (!bKnown && rows < kMaxApparitions)
      m_apparitions[rows++] = ApparitionEntry{c, set.dQ, set.dE, set.dPeriod, 0, 0, 0, 0, 0};
  }
  if (rows == 0)
    return;
  std::sort(m_apparitions, m_apparitions + rows,
            [](const ApparitionEntry& a, const ApparitionEntry& b) { return a.dT < b.dT; });
  for (int i = 0; i < rows; ++i) {
    const ApparitionElementSet& set = m_pElementSets[FindNearestElementSet(m_apparitions[i].dT)];
    m_apparitions[i].dQ = set.dQ;
    m_apparitions[i].dE = set.dE;
    m_apparitions[i].dPeriod = set.dPeriod;
  }
  m_nApparitions = rows;
  m_bApparitionsValid = 1;
  AssignApparitions();
}

void CMagCurveDlg::AssignApparitions()
{
  if (!m_bApparitionsValid || m_nApparitions <= 0 || m_nElementSets <= 0)
    return;
  for (int i = 0; i < m_nApparitions; ++i) {
    ApparitionEntry& row = m_apparitions[i];
    row.nPoints = row.nTotal = row.nResid = 0;
    row.dMaxResid = row.dRmsResid = 0;
  }
  int unknownStations = 0, rejected = 0, shownResid = 0, over = 0;
  double sumSq = 0;
  int lastSet = -1;
  double P[3] = {}, Q[3] = {};
  for (MagCurvePoint& p : m_pPoints) {
    p.nApparition = p.nElementSet = -1;
    p.dPosResidual = 0;
    const int s = ElementSetForPoint(p.dJd);
    if (s < 0)
      continue;
    const ApparitionElementSet& set = m_pElementSets[s];
    const double c = NearestPerihelion(set, p.dJd);
    int k = -1;
    for (int i = 0; i < m_nApparitions && k < 0; ++i)
      if (std::fabs(c - m_apparitions[i].dT) < 0.25 * set.dPeriod)
        k = i;
    if (k < 0)
      continue;
    if (s != lastSet) {
      OrbitOrientationVectors(set.dPeri, set.dNode, set.dIncl, P, Q);
      lastSet = s;
    }
    const double* from = p.adSunFromObserver;
    const double len = std::sqrt(from[0] * from[0] + from[1] * from[1] + from[2] * from[2]);
    const bool bKnownStation = len > 0.9 && len < 1.1;
    double sun[3] = {from[0], from[1], from[2]}, R = len;
    if (!bKnownStation) {
      double sunOfDate[3], lambda = 0, beta = 0;
      GeocentricSun(p.dJd, sun, sunOfDate, lambda, beta, R);
    }
    double ra = 0, dec = 0, delta = 0, r = 0, nu = 0;
    if (TwoBodyGeocentricPosition(set.dT, set.dQ, set.dE, P, Q, p.dJd, sun, ra, dec, delta, r, nu) != 0 || !(r > 0) ||
        !(delta > 0))
      continue;
    p.dR = r;
    p.dDelta = delta;
    p.dPhase = std::acos(std::clamp((r * r + delta * delta - R * R) / (2 * r * delta), -1.0, 1.0)) * 180 / kPi;
    p.nApparition = k;
    p.nElementSet = s;
    ApparitionEntry& row = m_apparitions[k];
    const bool bShown = IsShown(p);
    if (bShown) {
      ++row.nPoints;
      row.nTotal += p.bTotal ? 1 : 0;
    }
    if (!bKnownStation) {
      p.dPosResidual = -1;
      ++unknownStations;
      continue;
    }
    const double dRa = std::remainder(p.dRa - ra, 2 * kPi);
    const double dDec = p.dDec - dec;
    const double cosDec = std::cos(p.dDec);
    p.dPosResidual = std::sqrt(dDec * dDec + cosDec * dRa * cosDec * dRa) * kRadToArcsec;
    if (!bShown) {
      ++rejected;
      continue;
    }
    row.dRmsResid += p.dPosResidual * p.dPosResidual;
    ++row.nResid;
    row.dMaxResid = std::max(row.dMaxResid, p.dPosResidual);
    sumSq += p.dPosResidual * p.dPosResidual;
    ++shownResid;
    over += p.dPosResidual > kResidualNoteArcsec ? 1 : 0;
  }
  double maxResid = 0;
  std::string years;
  int observed = 0;
  for (int i = 0; i < m_nApparitions; ++i) {
    ApparitionEntry& row = m_apparitions[i];
    if (row.nResid > 0)
      row.dRmsResid = std::sqrt(row.dRmsResid / row.nResid);
    maxResid = std::max(maxResid, row.dMaxResid);
    if (row.nPoints > 0) {
      double y = 0, mo = 0, d = 0;
      JdToCalendar(row.dT, y, mo, d);
      years += (observed++ ? "・" : "") + FormatC("%d", static_cast<int>(y));
    }
  }
  const double rms = shownResid > 0 ? std::sqrt(sumSq / shownResid) : 0;
  m_strApparitionSummary =
      FormatC("摂動計算: %d回帰／接触要素%d組(%.0f日ごと) (%s年)　位置のずれ RMS %.1f″ 最大 %.1f″", observed,
              m_nElementSets, m_dElementStep, years.c_str(), rms, maxResid);
  if (over > 0)
    m_strApparitionSummary += FormatC(" (%.0f″超 %d点)", kResidualNoteArcsec, over);
  if (rejected > 0)
    m_strApparitionSummary += FormatC("　リジェクト%d点は除く", rejected);
  if (unknownStations > 0)
    m_strApparitionSummary += FormatC("　観測所不明%d点は評価せず", unknownStations);
  m_strApparitionSummaryShort = FormatC("摂動計算: %d回帰／接触要素%d組(%.0f日ごと)　位置のずれ RMS %.1f″", observed,
                                        m_nElementSets, m_dElementStep, rms);
}

// ---- check box and timer ----

namespace {

constexpr const char* kMsgApparitionsFailed = "摂動計算に失敗したため、回帰ごとの軌道要素は求まりませんでした。";

} // namespace

void CMagCurveDlg::TryApparitions()
{
  m_bApparitionsTried = 1;
  m_nApparitions = 0;
  m_bApparitionsValid = 0;
  m_strApparitionSummary.clear();
  double period = 0;
  if (!GetCometPeriod(period) || m_nPoints == 0 || !(m_dEpoch > 0))
    return;
  const int generation = m_nApparitionGeneration;
  int ok = 0;
  {
    ScopedWaitCursor wait;
    ok = ComputeApparitionElements();
  }
  // Another object or solution came in while the engine pumped events: it
  // starts afresh, nothing of this computation belongs to it.
  if (m_nApparitionGeneration != generation)
    return;
  if (ok)
    BuildApparitionTable();
  else if (m_strApparitionSummary.empty())
    m_strApparitionSummary = kMsgApparitionsFailed;
}

void CMagCurveDlg::OnCompareApparitions()
{
  m_bCompare = IsChecked(kMagCompare) ? 1 : 0;
  if (!m_bCompare && !m_bCompareWanted)
    KillApparitionTimer();
  if (m_bCompare) {
    m_bCompareWanted = 1;
    if (!m_bApparitionsTried) {
      TryApparitions();
      if (!m_bApparitionsValid && m_bApparitionsCancelled)
        m_bCompareWanted = 0;
    }
    if (m_bApparitionsValid) {
      RefitQuietly();
      ShowFitResults();
      UpdateNucleusText();
    }
  }
  InvalidatePlot(1);
}

void CMagCurveDlg::OnTimer(int id)
{
  if (id != 1)
    return;
  KillApparitionTimer();
  double period = 0;
  if (!(m_bCompare || m_bCompareWanted) || m_bApparitionsTried || !GetCometPeriod(period) || m_nPoints == 0 ||
      CountFoldNumbers() < 2)
    return;
  // Wait while the view's engine works: a calculation, or an automatic
  // procedure (improvement, scan) that pumps events between its runs.
  if (CurrentCalculationRunning()) {
    RestartApparitionTimer();
    return;
  }
  TryApparitions();
  if (m_bApparitionsValid) {
    ChooseUsedMagnitudes();
    if (!m_bManual)
      Fit(1);
    ShowFitResults();
    UpdateNucleusText();
  } else if (m_bApparitionsCancelled) {
    m_bCompareWanted = 0;
  }
  Invalidate();
}

// The magnitude curve's object, points, controls and handlers.
#include "views/mag_curve.h"

#include <cmath>
#include <ctime>
#include <new>

#include "app/registry/window_registry.h"
#include "astro/angle_units.h"
#include "astro/frames.h"
#include "astro/time_scales.h"
#include "astro/two_body.h"
#include "data/observation_record.h"
#include "engine/orbit_engine.h"
#include "ephemeris/ephemerides.h"
#include "ephemeris/ephemeris_form.h"
#include "platform/app_services.h"
#include "platform/numbers.h"
#include "platform/text_util.h"
#include "platform/ui_services.h"

namespace {


// The arrows' steps for H, K1 and G; with Shift H and K1 move a tenth of
// theirs, G by 0.01.
constexpr double kStepH = 0.15, kStepK = 1.5, kStepG = 0.15;

} // namespace

CMagCurveDlg::CMagCurveDlg() { OpenWindows().m_pMagCurveDlg = this; }

CMagCurveDlg::~CMagCurveDlg()
{
  if (OpenWindows().m_pMagCurveDlg == this)
    OpenWindows().m_pMagCurveDlg = nullptr;
}

// ---- controls, headless ----

bool CMagCurveDlg::ItemRect(int id, SceneRect& rect) const
{
  (void)id;
  (void)rect;
  return false;
}

double CMagCurveDlg::LocalNowJd() const
{
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return CalendarToJd(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday + t.tm_hour / 24.0 + t.tm_min / 1440.0);
}

void CMagCurveDlg::Message(const std::string& text, bool bInformation)
{
  Ui().ShowMessage(kMagCurveTitle, text, bInformation ? MsgIcon::Information : MsgIcon::Warning, MsgButtons::Ok);
}

// ---- feeders ----

void CMagCurveDlg::FreePoints()
{
  m_pPoints.clear();
  m_pPoints.shrink_to_fit();
  m_nPoints = 0;
}

void CMagCurveDlg::ClearZoom()
{
  m_bRightBound = m_bLeftBound = 0;
  m_bMagMinSet = 0;
  m_dMagOffset = 0;
  m_bCmpZoomDays = 0;
  m_dCmpZoomLeft = m_dCmpZoomRight = 0;
  m_bCmpZoomMag = 0;
  m_dCmpZoomMag = 0;
}

void CMagCurveDlg::SetObject(double T, double q, double e, double peri, double node, double incl,
                             const std::string& name, double H, double slope, int bAsteroidLaw)
{
  const std::string newName = name;
  const bool bSame = m_bHasOrbit && newName == m_strName;
  m_dT = T, m_dQ = q, m_dE = e, m_dPeri = peri, m_dNode = node, m_dIncl = incl;
  m_dEpoch = T;
  m_strName = newName;
  m_bHasOrbit = q > 0 ? 1 : 0;
  ClearApparitionComparison();
  FreePoints();
  m_bAsteroidLaw = bAsteroidLaw != 0 ? 1 : 0;
  m_dH = H;
  m_dSlope = slope;
  m_dRms = 0;
  m_bFitted = m_bHasOrbit;
  m_bManual = 0;
  m_lawSlots[0] = m_lawSlots[1] = LawSlot{};
  if (!bSame)
    ClearZoom();
  if (HasWindow()) {
    ShowLawChoice();
    ShowFitResults();
    Invalidate();
  }
}

void CMagCurveDlg::SetSolution(const DisplayOrbit& orbit, const ObservationRecord* obs, int count,
                               const std::string& altTitle)
{
  const bool bSame = m_bHasOrbit && orbit.m_strName == m_strName;
  m_dT = orbit.m_dT, m_dQ = orbit.m_dQ, m_dE = orbit.m_dE;
  m_dPeri = orbit.m_dPeri, m_dNode = orbit.m_dNode, m_dIncl = orbit.m_dIncl;
  m_dEpoch = orbit.m_dEpoch > 0 ? orbit.m_dEpoch : orbit.m_dT;
  m_strName = orbit.m_strName;
  ClearApparitionComparison();
  m_bHasOrbit = 1;
  m_bAsteroidLaw = orbit.m_bAsteroid ? 1 : 0;
  m_lawSlots[0] = m_lawSlots[1] = LawSlot{};
  if (!bSame) {
    ClearZoom();
    // A law set by hand belongs to its object: another object's solution
    // must not be drawn (or sent on) with it.
    m_bManual = 0;
  }
  if (!m_bManual)
    m_bFitted = 0;

  FreePoints();
  if (m_dQ > 0 && obs && count > 0) {
    try {
      m_pPoints.assign(count, MagCurvePoint{});
    } catch (const std::bad_alloc&) {
      m_pPoints.clear();
    }
    double P[3], Q[3];
    OrbitOrientationVectors(m_dPeri, m_dNode, m_dIncl, P, Q);
    int n = 0;
    for (int i = 0; i < count && !m_pPoints.empty(); ++i) {
      const ObservationRecord& o = obs[i];
      if (!(o.m_dMag > 0))
        continue;
      double sun[3], sunOfDate[3], lambda = 0, beta = 0, R = 0;
      GeocentricSun(o.m_dJdTt, sun, sunOfDate, lambda, beta, R);
      double ra = 0, dec = 0, delta = 0, r = 0, nu = 0;
      if (TwoBodyGeocentricPosition(m_dT, m_dQ, m_dE, P, Q, o.m_dJdTt, sun, ra, dec, delta, r, nu) != 0 || !(r > 0) ||
          !(delta > 0))
        continue;
      MagCurvePoint& p = m_pPoints[n++];
      p.dJd = o.m_dJdTt;
      p.dMag = o.m_dMag;
      p.dR = r;
      p.dDelta = delta;
      double c = (r * r + delta * delta - R * R) / (2 * r * delta);
      c = c < -1 ? -1 : c > 1 ? 1 : c;
      p.dPhase = std::acos(c) * kDegPerRad;
      p.bTotal = o.m_chBand == 'T' ? 1 : 0;
      p.bExcluded = o.m_bRejected || o.m_bByHand ? 1 : 0;
      for (int k = 0; k < 3; ++k)
        p.adSunFromObserver[k] = o.m_dSun[k];
      p.dRa = o.m_dRa;
      p.dDec = o.m_dDec;
      p.nApparition = -1;
    }
    m_pPoints.resize(n);
    m_nPoints = n;
    ChooseUsedMagnitudes();
  }

  if (HasWindow()) {
    ShowLawChoice();
    ResetFixControls();
    if (!m_bManual)
      Fit(1);
    ShowFitResults();
    Invalidate();
    if (m_bCompare || m_bCompareWanted)
      RestartApparitionTimer();
  }

  std::string alt(TrimSpace(altTitle));
  if (alt == m_strName)
    alt.clear();
  if (alt != m_strAltTitle) {
    m_strAltTitle = alt;
    if (alt.empty())
      m_bShowAltTitle = 0;
    Invalidate();
  }
}

void CMagCurveDlg::Clear()
{
  m_bHasOrbit = 0;
  m_strName.clear();
  FreePoints();
  ClearApparitionComparison();
  m_bFitted = m_bManual = 0;
  ClearZoom();
  m_lawSlots[0] = m_lawSlots[1] = LawSlot{};
  if (HasWindow())
    ResetFixControls();
  ShowFitResults();
  Invalidate();
}

// ---- window state ----

void CMagCurveDlg::ShowLawChoice()
{
  SetCheck(kMagLawComet, m_bAsteroidLaw ? 0 : 1);
  SetCheck(kMagLawAsteroid, m_bAsteroidLaw);
  UpdateLawLabels();
}

void CMagCurveDlg::OnInitDialog()
{
  ShowLawChoice();
  SetCheck(kMagUseRejected, m_bUseRejected);
  SetCheck(kMagUseNuclear, m_bUseNuclear);
  SetCheck(kMagShowObservations, m_bShowObservations);
  for (int id : {kMagHEdit, kMagSlopeEdit, kMagRmsEdit})
    SetReadOnly(id, true);
  ShowFitResults();
}

void CMagCurveDlg::UpdateLawLabels()
{
  if (!HasWindow())
    return;
  SetItemText(kMagSlopeLabel, m_bAsteroidLaw ? "G:" : "K:");
  if (HasItem(kMagFixSlope))
    SetItemText(kMagFixSlope, m_bAsteroidLaw ? "Gを固定(&X)" : "Kを固定(&X)");
  SetItemText(kMagRecommend,
              m_bAsteroidLaw ? "観測が少ないときは平均的なG=0.15を推奨" : "観測が少ないときはK=10.0を推奨");
  if (HasItem(kMagUseNuclear))
    ShowItem(kMagUseNuclear, !m_bAsteroidLaw);
}

void CMagCurveDlg::ShowFitResults()
{
  if (!HasWindow())
    return;
  if (m_bFitted) {
    if (!IsHFixed())
      SetItemText(kMagHEdit, FormatC("%.2f", m_dH));
    if (!IsSlopeFixed())
      SetItemText(kMagSlopeEdit, FormatC(m_bAsteroidLaw ? "%.2f" : "%.1f", m_dSlope));
    SetItemText(kMagRmsEdit, FormatC("%.3f", m_dRms));
    UpdateNucleusText();
    return;
  }
  for (int id : {kMagHEdit, kMagSlopeEdit, kMagRmsEdit, kMagNucleusValue, kMagNucleusNote})
    SetItemText(id, "");
  m_strNucleusText.clear();
}

void CMagCurveDlg::ResetFixControls()
{
  if (HasItem(kMagFixSlope)) {
    SetCheck(kMagFixSlope, 0);
    SetReadOnly(kMagSlopeEdit, true);
  }
  if (HasItem(kMagFixH)) {
    SetCheck(kMagFixH, 0);
    SetReadOnly(kMagHEdit, true);
  }
}

void CMagCurveDlg::ChooseUsedMagnitudes()
{
  m_bOppositionsValid = 0;
  if (m_bAsteroidLaw) {
    m_bUseNonTotal = 1;
    return;
  }
  int totals = 0;
  for (const MagCurvePoint& p : m_pPoints)
    if (IsShown(p) && p.bTotal)
      ++totals;
  m_bUseNonTotal = m_bUseNuclear || totals < 5 ? 1 : 0;
}

void CMagCurveDlg::ClearApparitionComparison()
{
  m_nApparitions = m_bApparitionsValid = m_bApparitionsTried = 0;
  m_strApparitionSummary.clear();
  m_strApparitionSummaryShort.clear();
  m_nElementSets = 0;
  m_pElementSets.clear();
  ++m_nApparitionGeneration;
  for (MagCurvePoint& p : m_pPoints) {
    p.nApparition = -1;
    p.nElementSet = -1;
    p.dPosResidual = 0;
  }
}

int CMagCurveDlg::IsSlopeFixed() { return HasItem(kMagFixSlope) && IsChecked(kMagFixSlope) ? 1 : 0; }
int CMagCurveDlg::IsHFixed() { return HasItem(kMagFixH) && IsChecked(kMagFixH) ? 1 : 0; }

// ---- handlers ----

void CMagCurveDlg::SwitchLaw(int bAsteroid)
{
  if (m_bAsteroidLaw == bAsteroid)
    return;
  LawSlot& leaving = m_lawSlots[m_bAsteroidLaw];
  leaving = {1, m_bFitted, m_bManual, IsSlopeFixed(), IsHFixed(), m_dH, m_dSlope, m_dRms};
  m_bAsteroidLaw = bAsteroid;
  m_bOppositionsValid = 0;
  UpdateLawLabels();
  ChooseUsedMagnitudes();
  const LawSlot& slot = m_lawSlots[bAsteroid];
  if (slot.bValid && slot.bFitted) {
    m_bFitted = 1;
    m_bManual = slot.bManual;
    m_dH = slot.dH;
    m_dSlope = slot.dSlope;
    m_dRms = slot.dRms;
    if (HasItem(kMagFixSlope)) {
      SetCheck(kMagFixSlope, slot.bSlopeFixed);
      SetReadOnly(kMagSlopeEdit, !slot.bSlopeFixed);
    }
    if (HasItem(kMagFixH)) {
      SetCheck(kMagFixH, slot.bHFixed);
      SetReadOnly(kMagHEdit, !slot.bHFixed);
    }
    if (HasWindow()) {
      SetItemText(kMagHEdit, FormatC("%.2f", m_dH));
      SetItemText(kMagSlopeEdit, FormatC(bAsteroid ? "%.2f" : "%.1f", m_dSlope));
    }
  } else {
    m_bFitted = m_bManual = 0;
    ResetFixControls();
  }
  ShowFitResults();
  Invalidate();
}

void CMagCurveDlg::StepLaw(bool bSlope, int delta, bool bShift)
{
  if (!m_bFitted)
    return;
  double step = bSlope ? (m_bAsteroidLaw ? kStepG : kStepK) : kStepH;
  if (bShift)
    step = bSlope && m_bAsteroidLaw ? 0.01 : step / 10;
  double& value = bSlope ? m_dSlope : m_dH;
  value += delta <= 0 ? step : -step;
  if (m_bAsteroidLaw) {
    m_dH = m_dH < -5 ? -5 : m_dH > 40 ? 40 : m_dH;
    m_dSlope = m_dSlope < 0 ? 0 : m_dSlope > 1 ? 1 : m_dSlope;
  }
  m_bManual = 1;
  ComputeRms();
  SetItemText(kMagHEdit, FormatC("%.2f", m_dH));
  SetItemText(kMagSlopeEdit, FormatC(m_bAsteroidLaw ? "%.2f" : "%.1f", m_dSlope));
  ShowFitResults();
  InvalidatePlot(1);
}

void CMagCurveDlg::OnDeltaPosH(int delta, bool bShift) { StepLaw(false, delta, bShift); }
void CMagCurveDlg::OnDeltaPosSlope(int delta, bool bShift) { StepLaw(true, delta, bShift); }

void CMagCurveDlg::OnFixSlope()
{
  const bool bChecked = IsChecked(kMagFixSlope) != 0;
  SetReadOnly(kMagSlopeEdit, !bChecked);
  if (!bChecked)
    ShowFitResults();
}

void CMagCurveDlg::OnFixH()
{
  const bool bChecked = IsChecked(kMagFixH) != 0;
  SetReadOnly(kMagHEdit, !bChecked);
  if (!bChecked)
    ShowFitResults();
}

void CMagCurveDlg::OnSendToEphemeris()
{
  if (!m_bFitted) {
    Message("先に[フィット]を実行してください。", true);
    return;
  }
  CEphemerides* eph = OpenWindows().m_pEphemerides;
  if (!eph) {
    Message("先に[位置推算]画面を開いてください。", true);
    return;
  }
  if (m_bAsteroidLaw) {
    eph->OnAsteroidMagnitude();
    eph->SetItemText(kEphH2, FormatC("%.2f", m_dH));
    eph->SetItemText(kEphG, FormatC("%.3f", m_dSlope));
  } else {
    eph->OnCometMagnitude();
    eph->SetItemText(kEphH1, FormatC("%.2f", m_dH));
    eph->SetItemText(kEphK1, FormatC("%.2f", m_dSlope));
  }
  Message("位置推算画面に反映しました。", true);
}

void CMagCurveDlg::OnZoomToNow()
{
  if (m_nPoints == 0 && !m_bHasOrbit)
    return;
  double y = 0, mo = 0, d = 0;
  JdToCalendar(LocalNowJd(), y, mo, d);
  const double today = CalendarToJd(y, mo, std::floor(d));
  m_bLeftBound = m_bRightBound = 1;
  m_dLeftJd = today - 365.25;
  m_dRightJd = today + 365.25;
  InvalidatePlot(1);
}

void CMagCurveDlg::OnUseRejected()
{
  m_bUseRejected = IsChecked(kMagUseRejected) ? 1 : 0;
  // Rejected points now count (or no longer do) in the apparitions' statistics.
  AssignApparitions();
  ChooseUsedMagnitudes();
  RefitQuietly();
  ShowFitResults();
  UpdateNucleusText();
  Invalidate();
}

void CMagCurveDlg::OnUseNuclear()
{
  m_bUseNuclear = IsChecked(kMagUseNuclear) ? 1 : 0;
  ChooseUsedMagnitudes();
  RefitQuietly();
  ShowFitResults();
  UpdateNucleusText();
  Invalidate();
}

void CMagCurveDlg::OnShowObservations()
{
  m_bShowObservations = IsChecked(kMagShowObservations) ? 1 : 0;
  Invalidate();
}

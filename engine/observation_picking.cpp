#include "engine/observation_picking.h"

#include <cmath>
#include <ctime>
#include <string>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/time_scales.h"
#include "engine/correction_step.h"
#include "engine/determination_host.h"
#include "engine/fit_run.h"
#include "engine/improvement_epoch.h"
#include "engine/preliminary_orbit.h"
#include "engine/view_fit_run.h"
#include "platform/app_services.h"
#include "platform/numbers.h"

namespace {

// The operation-log block of a determination started by the third pick.
void WritePickedOrbitLog(CDetermination& view) {
  const DetClass* det = view.m_pDetClass;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  char header[128] = "";
  if (!localtime_r(&now, &local) ||
      std::strftime(header, sizeof header, "[%Y/%m/%d %H:%M:%S] === 3点軌道決定(手動選択) ===\r\n", &local) == 0)
    header[0] = '\0';
  std::string block = header;
  block += "選択観測: ";
  for (int n = 0; n < 3; ++n) {
    double y = 0, m = 0, d = 0;
    JdToCalendar(det->m_aPick[n].m_dJdTt, y, m, d);
    if (n > 0) block += "・";
    block += FormatC("%d/%d/%.4f", static_cast<int>(y), static_cast<int>(m), d);
  }
  block += "\r\n軌道要素(結果): " + view.FormatElementSummaryLine(0) + "\r\n";
  view.WriteOpLog(block);
}

}  // namespace

double EpochProposal(double middlePickJdTT) { return 40.0 * std::trunc(middlePickJdTT / 40.0 + 1.0) + 0.5; }

void ProposeEpoch(FitRun& run, double middlePickJdTT) {
  const double epoch = EpochProposal(middlePickJdTT);
  run.observer->EpochProposed(epoch);
  run.options.epochJdTT = EpochAsWrittenToFields(epoch);
}

void ResetPreliminaryNonGravValues(ElementBlock& el) {
  // A1..A3 and the three values that follow them in the block (a, M, n).
  el.m_dA1 = 1e-10;
  el.m_dA2 = 1e-11;
  el.m_dA3 = 1e-11;
  el.m_dA = 0.0;
  el.m_dM = 0.0;
  el.m_dN = 0.0;
}

int TogglePick(FitRun& run, int nItem, int& picked) {
  OrbitEngine* engine = run.engine;
  DetClass* det = run.det;
  ObservationRecord* obs = det->m_pOrbObs;
  const int state = engine->m_nCalcState;
  if (state == kCalcFatal || nItem < 0 || !obs || nItem >= det->m_nObsCount) return kPickIgnored;
  if (state == kCalcNothing || state == kCalcImprovedTwoBody || state == kCalcImprovedPerturbed)
    return kPickLocked;

  picked = 0;
  for (int i = 0; i < det->m_nObsCount; ++i)
    if (obs[i].m_bPicked == 1) ++picked;

  ObservationRecord& clicked = obs[nItem];
  if (clicked.m_bPicked == 1) {
    clicked.m_bPicked = 0;
    --picked;
    engine->m_nCancel = 0;
    const bool afterFailure = engine->m_nCalcState == kCalcPreliminaryFailed;
    engine->m_nCalcState = kCalcPicking;
    return afterFailure ? kPickClearedAfterFailure : kPickCleared;
  }
  if (picked >= 3) return kPickLocked;
  clicked.m_bPicked = 1;
  ++picked;
  if (picked < 3) {
    engine->m_nCalcState = kCalcPicking;
    return kPickSet;
  }
  return kPickThird;
}

int DeterminePickedOrbit(FitRun& run) {
  OrbitEngine* engine = run.engine;
  DetClass* det = run.det;
  engine->m_nCancel = 0;
  const int result = DetermineInitialOrbit(det, engine);
  if (result != 0) {
    engine->m_nCalcState = kCalcPreliminaryFailed;
    return result;
  }
  ElementBlock& el = engine->m_state.m_el;
  // The element text shows the orbit as found, before the reset below.
  run.observer->PreliminaryOrbitFound();
  ProposeEpoch(run, det->m_aPick[1].m_dJdTt);
  if (el.m_dE == 1.0)
    ComputeParabolicResiduals(run);
  else
    run.observer->ResidualsChanged(true);
  // The determination's vectors come from two positions and its angles from
  // those vectors: metres apart. What follows integrates the angles.
  SyncOrientationVectors(el);

  ResetPreliminaryNonGravValues(el);
  engine->m_nCalcState = kCalcPreliminary;
  return 0;
}

void OnObsListClick(CDetermination& view, int nItem, long* pResult) {
  if (pResult) *pResult = 0;
  ViewFitRun fit(view);
  int picked = view.m_nPicked;
  const int outcome = TogglePick(fit.Run(), nItem, picked);
  if (outcome == kPickIgnored) return;
  view.m_nPicked = picked;
  if (outcome == kPickClearedAfterFailure) view.SetResultText(kMsgPickHint);
  if (outcome != kPickLocked) view.RedrawObsListItem(nItem);
  if (outcome == kPickThird) {
    TheApp().DoWaitCursor(1);
    const int result = DeterminePickedOrbit(fit.Run());
    TheApp().DoWaitCursor(-1);
    if (result != 0) {
      view.SetResultText(result == -9 ? kMsgPickCancelled : kMsgPickFailed);
      return;
    }
    if (view.m_bOpLog) WritePickedOrbitLog(view);
  }
  view.UpdateControlsForState(view.m_pEngine->m_nCalcState);
}

namespace {

void ParabolicResiduals(DetClass* det, OrbitEngine* engine, ObservationRecord* obs) {
  const ElementBlock& el = engine->m_state.m_el;
  const double q = el.m_dQ, T = el.m_dT;
  const double h = std::sqrt(2.0) * std::pow(q, 1.5);
  for (int i = 0; obs[i].m_dJdUtc != -1.0; ++i) {
    ObservationRecord& o = obs[i];
    double resRa = 0.0, resDec = 0.0, light = 1.0;
    bool placed = false, solved = true;
    for (int pass = 0; pass < 10000 && solved && !placed; ++pass) {
      const double w = kGaussK * (o.m_dJdTt - kLightTimeDaysPerAu * light - T) / h;
      double sigma = 0.0;
      solved = SolveBarker(w, 1e-14, false, 10000, sigma);
      if (!solved) break;
      double rho[3];
      for (int j = 0; j < 3; ++j)
        rho[j] = q * (1.0 - sigma * sigma) * el.m_dP[j] + 2.0 * q * sigma * el.m_dQvec[j] + o.m_dSun[j];
      const double dist = std::sqrt(rho[0] * rho[0] + rho[1] * rho[1] + rho[2] * rho[2]);
      if (std::fabs(dist - light) < 1e-8) {
        const double ra = std::atan2(rho[1], rho[0]);
        const double dec = std::atan(rho[2] / std::sqrt(rho[0] * rho[0] + rho[1] * rho[1]));
        ResidualPair(o.m_dRa, o.m_dDec, ra, dec, resRa, resDec);
        det->m_strError.clear();
        placed = true;
      } else {
        light = dist;
      }
    }
    if (!solved)
      det->m_strError = PrelimFailureText(kPrelimFailResidualAnomaly);
    else if (!placed)
      det->m_strError = PrelimFailureText(kPrelimFailResidualLightTime);
    o.m_dResRa = resRa;
    o.m_dResDec = resDec;
  }
}

}  // namespace

void ComputeParabolicResiduals(FitRun& run) {
  ParabolicResiduals(run.det, run.engine, run.det->m_pOrbObs);
  run.observer->ResidualsChanged(true);
}

void RefineParabolicRatio(FitRun& run) {
  DetClass* det = run.det;
  OrbitEngine* engine = run.engine;
  if (!det->m_pOrbObs || det->m_bParabolicMethod == 0) return;
  engine->m_state.m_el.m_dE = 1.0;
  if (det->m_dRatioAnchor == 0.0) {
    det->m_dAnchorResRa = det->m_dPickResRa[1];
    det->m_dAnchorResDec = det->m_dPickResDec[1];
    det->m_dRatioAnchor = det->m_dOlbersRatio;
    det->m_dOlbersRatio += 0.01;
  } else {
    const bool byRa = std::fabs(det->m_dPickResRa[1]) > std::fabs(det->m_dPickResDec[1]);
    const double f = byRa ? det->m_dPickResRa[1] : det->m_dPickResDec[1];
    const double fa = byRa ? det->m_dAnchorResRa : det->m_dAnchorResDec;
    // Equal residuals give no secant; the ratio then stays where it is.
    if (fa != f)
      det->m_dOlbersRatio =
          det->m_dRatioAnchor + (det->m_dOlbersRatio - det->m_dRatioAnchor) * fa / (fa - f);
  }
  BanachiewiczParabola(det, engine);
  ComputeParabolicResiduals(run);
  SyncOrientationVectors(engine->m_state.m_el);
}

double LargerResidualArcsec(const ObservationRecord& o)
{
  return std::fmax(std::fabs(o.m_dResRa), std::fabs(o.m_dResDec)) * kArcsecPerRad;
}

#include "engine/improvement_staging.h"

#include <algorithm>
#include <cmath>

#include "astro/time_scales.h"
#include "engine/correction_step.h"
#include "engine/fit_run.h"
#include "engine/force_model.h"
#include "engine/improvement_procedures.h"
#include "engine/nongrav.h"
#include "engine/observation_picking.h"
#include "engine/observation_set.h"
#include "engine/orbit_engine.h"
#include "platform/numbers.h"

namespace {

constexpr double kJumpArcsec = 1000.0;
constexpr int kStageMinKept = 5;

// Index of the older observation of the first pair of large residuals met
// going back from the newest, or -1.
int ResidualJumpIndex(const DetClass* det) {
  int run = 0;
  for (int i = det->m_nObsCount - 1; i >= 0; --i) {
    const ObservationRecord& o = det->m_pOrbObs[i];
    if (!KnownAndNotByHand(o)) continue;
    run = LargerResidualArcsec(o) >= kJumpArcsec ? run + 1 : 0;
    if (run == 2) return i;
  }
  return -1;
}

double* ErrorField(OrbitEngine& e, int k) {
  double* fields[12] = {&e.m_dErrT,  &e.m_dErrPeri, &e.m_dErrNode, &e.m_dErrIncl, &e.m_dErrQ, &e.m_dErrE,
                        &e.m_dErrA1, &e.m_dErrA2,   &e.m_dErrA3,   &e.m_dErrA,    &e.m_dErrP, &e.m_dErrN};
  return fields[k];
}

double* ElementField(ElementBlock& el, int k) {
  double* fields[9] = {&el.m_dT, &el.m_dPeri, &el.m_dNode, &el.m_dIncl, &el.m_dQ,
                       &el.m_dE, &el.m_dA1,   &el.m_dA2,   &el.m_dA3};
  return fields[k];
}

void SetNonGravSwitches(OrbitEngine* engine, int nonGrav, int a3) {
  engine->m_bNonGrav = nonGrav;
  engine->m_bNonGravA3 = a3;
}

void ClearCorrectionHistory(OrbitEngine* engine) {
  engine->m_bHaveSaved = 0;
  engine->m_bCorrectionStopped = 0;
  engine->m_nWorsenRetries = 0;
}

// "未判定", "不定", "人工物", "天然" or "中間" ("?" added while 1 ≤ S < 3).
std::string AreaToMassVerdict(double ratio, double significance) {
  if (significance < 1.0) return "未判定";
  std::string verdict = ratio <= 0.0 ? "不定" : ratio >= 0.01 ? "人工物" : ratio <= 0.001 ? "天然" : "中間";
  if (significance < 3.0) verdict += "?";
  return verdict;
}

// The area-to-mass text and its verdict of model 3; both empty otherwise.
void AreaToMassTexts(const OrbitEngine& engine, std::string& text, std::string& verdict) {
  text.clear();
  verdict.clear();
  if (engine.m_nNonGravModel != 3 || !engine.m_bNonGrav || engine.m_nCalcState != kCalcImprovedPerturbed) return;
  const double a1 = engine.m_state.m_el.m_dA1;
  const double ratio = AreaToMassRatio(a1);
  double significance = 0.0;
  if (engine.m_bErrValid && engine.m_dErrA1 > 0.0) {
    significance = std::fabs(a1) / engine.m_dErrA1;
    text = FormatC("%.3g±%.3g", ratio, AreaToMassRatio(engine.m_dErrA1));
  } else {
    text = FormatC("%.3g", ratio);
  }
  verdict = AreaToMassVerdict(ratio, significance);
}

// g(r) at the nearest usable heliocentric distance over g(r) at the farthest
// end of the arc; 0 when it cannot be had.
double NonGravLawRatio(const OrbitEngine& engine, const DetClass* det) {
  double tmin = 0, tmax = 0;
  bool any = false;
  for (int i = 0; det->m_pOrbObs && det->m_pOrbObs[i].m_dJdUtc != -1.0; ++i) {
    const ObservationRecord& o = det->m_pOrbObs[i];
    if (o.m_bRejected || o.m_nUnknownStation) continue;
    tmin = any ? std::min(tmin, o.m_dJdTt) : o.m_dJdTt;
    tmax = any ? std::max(tmax, o.m_dJdTt) : o.m_dJdTt;
    any = true;
  }
  if (!any || !(tmin < tmax)) return 0.0;
  const ElementBlock& el = engine.m_state.m_el;
  const double r1 = HeliocentricDistanceAt(tmin - el.m_dT, el.m_dQ, el.m_dE);
  const double r2 = HeliocentricDistanceAt(tmax - el.m_dT, el.m_dQ, el.m_dE);
  if (!(r1 > 0.0 && r2 > 0.0)) return 0.0;
  const double rmin = el.m_dT >= tmin && el.m_dT <= tmax ? el.m_dQ : std::min(r1, r2);
  const double den = NonGravG(&engine, std::max(r1, r2));
  return den > 0.0 ? NonGravG(&engine, rmin) / den : 0.0;
}

int NonGravVerdictColour(const OrbitEngine& engine, const DetClass* det) {
  if (!engine.m_bNonGrav || engine.m_nCalcState != kCalcImprovedPerturbed || !engine.m_bErrValid ||
      engine.m_nUsedObs <= 0)
    return 0;
  const ElementBlock& el = engine.m_state.m_el;
  const double significance = engine.m_dErrA1 > 0.0 ? std::fabs(el.m_dA1) / engine.m_dErrA1 : 0.0;
  if (significance < 3.0) return 0;
  const bool cometary = el.m_dA1 > 0.0 && std::fabs(el.m_dA1) >= std::fabs(el.m_dA2) &&
                        std::fabs(el.m_dA1) * 1e8 <= 100.0 && NonGravLawRatio(engine, det) >= 3.0;
  return cometary ? 2 : 1;
}

}  // namespace

double AreaToMassRatio(double a1) { return a1 * 20.040009685249487 / 4.53980733564685e-6; }

int StageByResidualJump(FitRun& run, std::string& log) {
  DetClass* det = run.det;
  if (!det->m_pOrbObs) return 0;
  const int jump = ResidualJumpIndex(det);
  if (jump < 0) return 0;
  int kept = 0, rejected = 0;
  for (int i = 0; i < det->m_nObsCount; ++i) {
    ObservationRecord& o = det->m_pOrbObs[i];
    if (!KnownAndNotByHand(o) || o.m_bRejected) continue;
    if (i > jump) {
      ++kept;
    } else {
      o.m_bRejected = 1;
      ++rejected;
    }
  }
  if (kept < kStageMinKept) {
    for (int i = 0; i <= jump; ++i)
      if (KnownAndNotByHand(det->m_pOrbObs[i])) det->m_pOrbObs[i].m_bRejected = 0;
    return 0;
  }
  double y = 0, m = 0, d = 0;
  JdToCalendar(det->m_pOrbObs[jump].m_dJdTt, y, m, d);
  log += FormatC("段階改良: 残差が急増する%d年%d月以前の%d観測を一時除外し、最新側の%d観測から改良します\r\n",
                 static_cast<int>(y), static_cast<int>(m), rejected, kept);
  run.observer->ShowProgress(nullptr);
  run.observer->ResidualsChanged(false);
  run.observer->ScrollTo(jump);
  return rejected;
}

void SaveSolution(FitRun& run, SolutionSnapshot& snapshot) {
  OrbitEngine& engine = *run.engine;
  const DetClass* det = run.det;
  for (int k = 0; k < 9; ++k) snapshot.elements[k] = *ElementField(engine.m_state.m_el, k);
  snapshot.meanResidual = engine.m_dMeanResidual;
  snapshot.nonGrav = engine.m_bNonGrav;
  snapshot.nonGravModel = engine.m_nNonGravModel;
  snapshot.nonGravA3 = engine.m_bNonGravA3;
  for (int k = 0; k < 12; ++k) snapshot.errors[k] = *ErrorField(engine, k);
  snapshot.errValid = engine.m_bErrValid;
  snapshot.usedObs = engine.m_nUsedObs;
  const int count = det->m_pOrbObs ? det->m_nObsCount : 0;
  snapshot.rejected.assign(static_cast<size_t>(count) + 1, 0);
  snapshot.usableCount = 0;
  for (int i = 0; i < count; ++i) {
    const ObservationRecord& o = det->m_pOrbObs[i];
    snapshot.rejected[i] = o.m_bRejected;
    if (UsableInFit(o) && o.m_dJdUtc != -1.0) ++snapshot.usableCount;
  }
  snapshot.flagCount = count;
  snapshot.valid = 1;
}

void RestoreSolution(FitRun& run, const SolutionSnapshot& snapshot) {
  if (!snapshot.valid) return;
  OrbitEngine& engine = *run.engine;
  for (int k = 0; k < 9; ++k) *ElementField(engine.m_state.m_el, k) = snapshot.elements[k];
  DeriveMeanElements(&engine.m_state);
  SetNonGravSwitches(&engine, snapshot.nonGrav, snapshot.nonGravA3);
  SelectNonGravModel(&engine, snapshot.nonGravModel);
  run.observer->NonGravChanged();
  DetClass* det = run.det;
  const int n = det->m_pOrbObs ? std::min(snapshot.flagCount, det->m_nObsCount) : 0;
  for (int i = 0; i < n; ++i) det->m_pOrbObs[i].m_bRejected = snapshot.rejected[i];
  engine.m_dMeanResidual = snapshot.meanResidual;
  engine.m_nUsedObs = snapshot.usedObs;
  ClearCorrectionHistory(&engine);
  RestoreSolutionDisplay(run, snapshot);
}

void RestoreSolutionDisplay(FitRun& run, const SolutionSnapshot& snapshot) {
  if (!snapshot.valid) return;
  OrbitEngine& engine = *run.engine;
  for (int k = 0; k < 12; ++k) *ErrorField(engine, k) = snapshot.errors[k];
  engine.m_bErrValid = snapshot.errValid;
  std::string areaToMass, verdict;
  AreaToMassTexts(engine, areaToMass, verdict);
  run.observer->UncertaintiesChanged(areaToMass, verdict, NonGravVerdictColour(engine, run.det));
}

void EnableAllObservations(FitRun& run, std::string& log) {
  DetClass* det = run.det;
  int usable = 0;
  for (int i = 0; det->m_pOrbObs && det->m_pOrbObs[i].m_dJdUtc != -1.0; ++i) {
    ObservationRecord& o = det->m_pOrbObs[i];
    o.m_bRejected = (o.m_bByHand || o.m_nUnknownStation) ? 1 : 0;
    if (!o.m_bRejected) ++usable;
  }
  log += FormatC("  全観測を有効化: 有効%d個\r\n", usable);
  run.observer->ShowProgress(nullptr);
  run.observer->ResidualsChanged(false);
}

int TryNonGravModel(FitRun& run, int model, const SolutionSnapshot& snapshot, double epochJdTT,
                    std::string& log) {
  static const char* const kNames[4] = {"マースデンTypeII(水氷)", "薮下理論(CO・N2)", "CO2", "太陽光圧"};
  log += FormatC("── %s の昇華を仮定して解いてみます ──\r\n", kNames[std::clamp(model, 0, 3)]);
  run.observer->ShowProgress(nullptr);
  RestoreSolution(run, snapshot);
  SetNonGravSwitches(run.engine, 1, 0);
  SelectNonGravModel(run.engine, model);
  ResetNonGravValues(run.engine);
  run.observer->NonGravChanged();
  ClearCorrectionHistory(run.engine);
  return IterateImprovement(run, epochJdTT, 40, log, 0);
}

void SelectNonGravModel(OrbitEngine* engine, int model) {
  if (model < 0 || model > 3) model = 0;
  engine->m_nNonGravModel = model;
  if (model == 3) {
    // Radiation pressure acts along the radius only.
    engine->m_state.m_el.m_dA2 = engine->m_state.m_el.m_dA3 = 0.0;
    engine->m_bNonGravA3 = 0;
  }
}

void ResetNonGravValues(OrbitEngine* engine) {
  ElementBlock& el = engine->m_state.m_el;
  const bool pressure = engine->m_nNonGravModel == 3;
  el.m_dA1 = 1e-10;
  el.m_dA2 = pressure ? 0.0 : 1e-11;
  el.m_dA3 = pressure ? 0.0 : 1e-11;
}

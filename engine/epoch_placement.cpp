#include "engine/epoch_placement.h"

#include "engine/force_model.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <vector>

#include "astro/frames.h"
#include "astro/time_scales.h"
#include "astro/two_body.h"
#include "data/observation_record.h"
#include "engine/close_approach.h"
#include "engine/determination_host.h"
#include "engine/differential_correction.h"
#include "engine/improvement_epoch.h"
#include "engine/integration_drivers.h"
#include "engine/integration_state.h"
#include "engine/orbit_engine.h"
#include "platform/numbers.h"

namespace {

constexpr double kGridDays = 40.0;
constexpr double kEarthCheckAu = 0.1;
constexpr double kEarthCrossingAu = 0.01;
constexpr double kSameEpochDays = 0.01;
constexpr int kMinMoveSteps = 40;

// Observer distance of the two-body orbit at observation o.
bool TwoBodyDistance(const ElementBlock& el, const ObservationRecord& o, double& deltaAu) {
  double P[3], Q[3];
  OrbitOrientationVectors(el.m_dPeri, el.m_dNode, el.m_dIncl, P, Q);
  double ra = 0, dec = 0, r = 0, nu = 0;
  return TwoBodyGeocentricPosition(el.m_dT, el.m_dQ, el.m_dE, P, Q, o.m_dJdTt, o.m_dSun, ra, dec, deltaAu, r, nu) ==
         0;
}

// Epoch inside the span for an object captured by the Earth: the grid point
// at the start when it lies inside, else the grid point nearest the median
// observation night. False when none lies inside.
bool CapturedEpochInside(const EpochPlacement& p, double from, double& epoch) {
  const double G = std::floor((from - 0.5) / kGridDays + 0.5) * kGridDays + 0.5;
  if (std::fabs(from - G) <= kSameEpochDays && G > p.ttFirst && G < p.ttLast) {
    epoch = G;
    return true;
  }
  const OrbitEngine& engine = *p.engine;
  const DetClass* det = engine.m_pDet;
  std::vector<double> nights;
  for (int i = engine.m_nFirstObs; det && i <= engine.m_nLastObs && i < det->m_nObsCount; ++i) {
    const ObservationRecord& o = det->m_pOrbObs[i];
    if (o.m_bRejected || o.m_nUnknownStation || o.m_bByHand) continue;
    if (nights.empty() || o.m_dJdTt > nights.back() + 0.5) nights.push_back(o.m_dJdTt);
  }
  const size_t n = nights.size();
  if (n == 0) return false;
  const double tm = (nights[(n - 1) / 2] + nights[n / 2]) / 2.0;
  const double g = std::floor((tm - 0.5) / kGridDays) * kGridDays + 0.5;
  const bool gInside = g > p.ttFirst && g < p.ttLast;
  const bool nextInside = g + kGridDays > p.ttFirst && g + kGridDays < p.ttLast;
  if (gInside) {
    epoch = (g + kGridDays < p.ttLast && tm - g > g + kGridDays - tm) ? g + kGridDays : g;
    return true;
  }
  if (nextInside) {
    epoch = g + kGridDays;
    return true;
  }
  return false;
}

// 0 when the run reached its end; otherwise the message and code of a failed move.
int MoveFailure(OrbitEngine* engine, int result) {
  if (result == kEngineCancelled) return kEngineCancelled;
  if (result == kEnginePerturbersFailed) {
    engine->m_strMessage = kMsgPlanetaryData;
    return kEnginePerturbersFailed;
  }
  // Any other end (start-up failure, endless restarts) leaves the elements short of the target.
  engine->m_strMessage = kMsgMoveFailed;
  return kEngineFailed;
}

// A note of the placement for the calculation log, in quiet runs too (the
// automatic run shows there why its epoch moved), but not for the distance
// scan's trial orbits, which are thrown away.
void PlacementNote(const EpochPlacement& p, const std::string& text) {
  if (!p.engine->m_bTrialOrbits) p.view->AppendCalcLog(text);
}

}  // namespace

double DefaultImprovementEpoch(const EpochPlacement& p) {
  double epoch = (std::trunc(p.ttLast / kGridDays) + 1.0) * kGridDays + 0.5;
  const OrbitEngine& engine = *p.engine;
  const DetClass* det = engine.m_pDet;
  if (!det || !det->m_pOrbObs) return epoch;
  double d1 = 0, d2 = 0;
  if (!TwoBodyDistance(p.state->m_el, det->m_pOrbObs[engine.m_nFirstObs], d1) ||
      !TwoBodyDistance(p.state->m_el, det->m_pOrbObs[engine.m_nLastObs], d2))
    return epoch;
  const double span = p.ttLast - p.ttFirst;
  if (d2 < kEarthCheckAu && span > 1e-6 && d2 < d1 && span * d2 / (d1 - d2) < epoch - p.ttLast) {
    if (span <= kShortArcDays && d2 < kDeepEncounterAu) {
      epoch = std::floor(p.ttLast - 0.5) + 0.5;
      PlacementNote(p, FormatC("観測期間が1日以内で、終わりには地球の半径の10倍以内(地心距離 %.6f AU)まで近づいているため、元期を最後の観測の日の0時(",
                               d2) +
                       EpochDateText(epoch) +
                       ")に置きました。観測から離れた元期では、二体の軌道をその元期の接触軌道として積分し始めるため、"
                       "地球の引力による曲がりが初めの軌道に入らず、改良が発散します。\r\n");
      return epoch;
    }
    epoch = GridAtOrBefore(p.ttFirst);
    PlacementNote(p, FormatC("観測期間の終わりで地球に接近(地心距離 %.5f AU)しているため、元期を観測期間の手前(", d2) +
                     EpochDateText(epoch) +
                     ")に置きました。元期を接近の先に置くと、積分が接近を横断して改良が収束しなくなります。\r\n");
  }
  return epoch;
}

int StepTrialRun(OrbitEngine* engine, const IntegrationState& base, double direction, double end, double absStep,
                 int& level, std::string& report) {
  std::unique_ptr<IntegrationState> copy(new (std::nothrow) IntegrationState(base));
  if (!copy) return kEnginePerturbersFailed;
  IntegrationState& s = *copy;
  s.m_nBodies = 1;
  s.m_nSingleBody = 0;
  s.m_chMode = kModeCalculation;
  s.m_pApproach = nullptr;
  s.m_pImpacts = nullptr;
  s.m_pGeoTrack = nullptr;
  s.m_pElementLog = nullptr;
  s.m_pProgress = nullptr;
  s.m_pStatus = nullptr;
  s.m_pRing = nullptr;
  s.m_nOrbitKind = 0;
  s.m_bKeepMinStep = 1;
  s.m_bStepControlWanted = 1;
  s.m_dDirection = direction;
  s.m_dEnd = end;
  s.m_dStep = std::fabs(absStep) * direction;
  s.m_dStep2 = s.m_dStep * s.m_dStep;
  const int running = engine->m_bAutoRunning, stop = engine->m_bAutoStop;
  engine->m_bAutoRunning = 1;
  engine->m_bAutoStop = 1;
  const int result = IntegrateOrbit(engine, nullptr, nullptr, &s);
  engine->m_bAutoRunning = running;
  engine->m_bAutoStop = stop;
  level = s.m_nMaxStepLevel;
  report = engine->m_strRunReport;
  return result;
}

int MoveElementsToEpoch(const EpochPlacement& p, double target, double from, bool evenSteps, bool mayReplace,
                        double& placed) {
  OrbitEngine* engine = p.engine;
  IntegrationState* state = p.state;
  const ElementBlock before = state->m_el;
  bool insideSpan = false;
  for (int pass = 0; pass < 2; ++pass) {
    const double direction = target > from ? 1.0 : -1.0;
    state->m_nBodies = 1;
    state->m_chMode = kModeCalculation;
    state->m_dDirection = direction;
    state->m_dEnd = target;
    state->m_dEpoch = from;
    state->m_el.m_dEpoch = from;
    state->m_dMinEarthDistance = kNoDistance;
    state->m_dMinEarthTime = 0.0;
    p.view->ApplyStepSetting(state);
    if (evenSteps || insideSpan) {
      const double span = std::fabs(target - from);
      const double h = std::fabs(state->m_dStep);
      // Counted in doubles: a step of 0 gives an infinite count (and a step
      // of 0, which the run refuses) instead of an undefined conversion.
      const double steps = std::max(static_cast<double>(kMinMoveSteps), std::ceil(span / h - 1e-9));
      state->m_dStep = span / steps * direction;
      state->m_dStep2 = state->m_dStep * state->m_dStep;
      if (state->m_bStepControlWanted) {
        int level = 0;
        std::string report;
        const int trial = StepTrialRun(engine, *state, direction, target, state->m_dStep, level, report);
        if (trial != 0) return MoveFailure(engine, trial);
        state->m_dStep = std::fabs(state->m_dStep) * direction / std::ldexp(1.0, level);
        state->m_dStep2 = state->m_dStep * state->m_dStep;
        state->m_bStepControlWanted = 0;
      }
    }
    p.view->ClearElementBlockTexts();
    delete state->m_pApproach;
    state->m_pApproach = nullptr;
    const int result = IntegrateOrbit(engine, p.resultEdit, nullptr, state);
    if (result != 0) return MoveFailure(engine, result);

    if (pass == 1 || !mayReplace || !(state->m_dMinEarthDistance < kEarthCrossingAu)) {
      placed = target;
      return 0;
    }
    // The move crossed the Earth: integrating back from beyond the approach
    // would cross it again, so the epoch goes before the span (or inside it
    // for an object the Earth has captured).
    const double closest = state->m_dMinEarthDistance;
    double epoch = 0.0;
    const bool inside = state->m_bEarthBound && CapturedEpochInside(p, from, epoch);
    if (!inside) epoch = GridAtOrBefore(p.ttFirst);
    state->m_el = before;
    state->m_el.m_dEpoch = from;
    state->m_dEpoch = from;
    ResetApproachBookkeeping(state);
    if (inside)
      PlacementNote(p,
          FormatC("元期の移動が地球への接近(地心距離 %.5f AU)を横切りました。この天体は地球に捕獲されて周回している(地球に対する運動の"
                  "エネルギーが負)ので、元期を観測期間の中(",
                  closest) +
          EpochDateText(epoch) +
          ")に置きます。観測期間の手前に置くと、地球にいちばん近づいたころの観測まで、途中の近地点を全部越えて積分することになり、"
          "改良が収束しにくくなります。元期より前の観測は逆行、後の観測は順行の積分で通ります。\r\n");
    else
      PlacementNote(p,
          FormatC("元期の移動が地球への接近(地心距離 %.5f AU)を横切ったため、元期を観測期間の手前(", closest) +
          EpochDateText(epoch) +
          ")に置き直します。接近を跨いだ元期では、要素を移した先から観測まで積分し直すときに接近をもう一度横断することになり、"
          "残差が桁違いに大きくなります。\r\n");
    if (std::fabs(epoch - from) <= kSameEpochDays) {
      placed = from;
      return 0;
    }
    target = epoch;
    insideSpan = inside;
  }
  placed = target;
  return 0;
}

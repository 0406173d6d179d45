#include "engine/integration_drivers.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/frames.h"
#include "astro/impact_tracker.h"
#include "astro/jpl_eph.h"
#include "astro/mpeph_store.h"
#include "astro/perturber_positions.h"
#include "astro/time_scales.h"
#include "astro/two_body.h"
#include "data/numerics.h"
#include "data/observation_record.h"
#include "data/step_texts.h"
#include "engine/determination_host.h"
#include "engine/force_model.h"
#include "engine/orbit_engine.h"
#include "engine/parallel_integration.h"
#include "engine/stormer_cowell.h"
#include "engine/tool_sinks.h"
#include "platform/numbers.h"
#include "platform/threads.h"
#include "platform/ui_services.h"

namespace {

constexpr int kMaxRestarts = 100000;
constexpr int kRestartsPerSeries = 50;
constexpr double kParallelSteps = 100000.0;  // steps of a pass from which the parallel run wins

const char* const kAsteroidNames[kMpephMaxAsteroids] = {"ケレス",     "パラス", "ベスタ",    "アイリス",
                                                        "バンバーガ", "ヒギエア", "エウノミア"};

double WrapPi(double x)
{
  x = std::fmod(x, kTwoPi);
  if (x > std::numbers::pi)
    x -= kTwoPi;
  else if (x < -std::numbers::pi)
    x += kTwoPi;
  return x;
}

// Fixed eccentricity of the orbit-determination view that owns this engine,
// when its fix-e option is on and the edit holds a number.
bool FixedEccentricity(OrbitEngine* engine, double& e)
{
  if (!engine->m_pDet || engine->m_pDet->m_bFixEcc == 0)
    return false;
  CDetermination* view = CurrentDetermination();
  if (!view || view->m_pEngine != engine)
    return false;
  return ParseDouble(view->FixedEccentricityText(), e);
}

// The smallest step the step control may take in this run.
double StartupFloorStep(const IntegrationState* state)
{
  return (state->m_chMode == kModeCalculation && state->m_bKeepMinStep == 0) ? 0.0 : kMinStepDays;
}

// Level j (step days) for the restarted start-up, with its report line;
// false when the level does not change or the run is too short for the step.
bool TakeStartupLevel(OrbitEngine* engine, EngineWindow* window, IntegrationState* state, int j, double step,
                      const char* what)
{
  if (j == state->m_nStepLevel || !(std::fabs(state->m_dEnd - state->m_dTime) > 5.5 * step))
    return false;
  state->m_nStepLevel = j;
  state->m_nMaxStepLevel = std::max(state->m_nMaxStepLevel, j);
  state->m_dStep = step * state->m_dDirection;
  state->m_dStep2 = state->m_dStep * state->m_dStep;
  state->m_nReturnedLevel = -1;
  state->m_nStepsAtLevel = 0;
  const std::string line =
      FormatRunDate(state->m_dTime) + what + CTessaruneLib::FormatStepLengthWithDays(step) + " に変更\r\n";
  engine->m_strRunReport += line;
  if (!EngineRunsQuiet(*engine))
    AppendEngineLog(engine, window, line);
  return true;
}

// What a thrown-away start-up fed the attachments, taken back.
void UndoStartup(IntegrationState* state, const ImpactTrackerSet* trackersBefore, double minEarthBefore,
                 double minEarthTimeBefore)
{
  if (trackersBefore)
    *state->m_pImpacts = *trackersBefore;
  state->m_dMinEarthDistance = minEarthBefore;
  state->m_dMinEarthTime = minEarthTimeBefore;
}

// The approach check after the start-up: a smaller step when body 0 comes
// too near a perturber within the start-up window. True when the level grew.
bool ApproachCheck(OrbitEngine* engine, EngineWindow* window, IntegrationState* state)
{
  const int n = engine->m_nAsteroidSet != 0 ? kPerturbers : 10;
  const double h0 = std::fabs(state->m_dBaseStep / std::ldexp(1.0, state->m_nStepLevel));
  double L = 9e9;
  for (int i = 0; i < n; ++i) {
    const double gm = -state->m_dMinusGM[i];
    if (!(gm > 0.0))
      continue;
    double previous = 0.0;
    for (int k = 0; k < kWindowPoints; ++k) {
      double d2 = 0.0;
      for (int c = 0; c < 3; ++c) {
        const double dc = state->m_dPos[k][c][0] - state->m_dPert[k][c][i];
        d2 += dc * dc;
      }
      const double d = std::sqrt(d2);
      if (d > 0.0)
        L = std::fmin(L, 0.02 * std::sqrt(d * d * d / gm));
      // A fast approach, as the step control sees it in flight: a run that
      // starts near the Earth on a fly-by must not keep the free-fall step.
      if (k > 0 && previous > d && d > 0.0)
        L = std::fmin(L, (d / 45.0) * h0 / (previous - d));
      previous = d;
    }
  }
  const int j0 = state->m_nStepLevel;
  if (j0 >= kMaxStepLevel)
    return false;
  int j = j0;
  double step = state->m_dBaseStep / std::ldexp(1.0, j);
  while (step > L && j < kMaxStepLevel) {
    const double half = step / 2.0;
    if (half < StartupFloorStep(state))
      break;
    step = half;
    ++j;
  }
  return TakeStartupLevel(engine, window, state, j, step, " 立ち上げ区間で摂動体へ接近: 積分間隔を ");
}

// A start-up that does not settle (a window through a close pass, say) is
// tried again with half the step while the step control may shrink it.
bool HalveStartupStep(OrbitEngine* engine, EngineWindow* window, IntegrationState* state)
{
  const int j = state->m_nStepLevel + 1;
  const double step = state->m_dBaseStep / std::ldexp(1.0, j);
  if (j > kMaxStepLevel || step < StartupFloorStep(state))
    return false;
  return TakeStartupLevel(engine, window, state, j, step, " 積分の立ち上げが収束しないため積分間隔を ");
}

std::string CalendarDay(double jd)
{
  double y = 0, m = 0, d = 0;
  JdToCalendar(jd, y, m, d);
  return FormatC("%d/%d/%d", static_cast<int>(y), static_cast<int>(m), static_cast<int>(d));
}

void AppendAsteroidLine(OrbitEngine* engine)
{
  const MpephStore& store = GetPerturberTable();
  int members[kPerturberSetMaxMembers];
  const int n = GetPerturberSetMembers(engine->m_nAsteroidSet, members);
  std::string line;
  if (store.m_bLoaded && n > 0) {
    line = FormatC("摂動体の小惑星: %s =", GetPerturberSetLabel(engine->m_nAsteroidSet));
    for (int m = 0; m < n; ++m) {
      const int index = members[m];
      const bool known = index >= 0 && index < kMpephMaxAsteroids;
      const int number = known ? store.m_header.numbers[index] : 0;
      line += FormatC(" (%d)%s", number, known ? kAsteroidNames[index] : "?");
    }
    const int de = (g_pJplEph && g_pJplEph->IsOpen()) ? g_nJplDeNumber : 0;
    line += "  詳しい記号 " + MakePerturberSetCode(engine->m_nAsteroidSet, de);
  } else {
    line = "摂動体の小惑星: 摂動用小惑星暦(mpeph.dat)が読めないため加えていません";
  }
  engine->m_strRunReport += line + "\r\n";
}

// The degree-5 Lagrange basis on the nodes -2..3 at u: L[n + 2] is the
// product over the other nodes m, in rising order, of (u - m) / (n - m).
// The denominators are written out so that the compiler sees constants (the
// products are those of the loop, operation for operation).
void LagrangeWeights(double u, double L[6])
{
  const double a = u - -2.0, b = u - -1.0, c = u - 0.0, d = u - 1.0, e = u - 2.0, f = u - 3.0;
  L[0] = 1.0 * (b / -1.0) * (c / -2.0) * (d / -3.0) * (e / -4.0) * (f / -5.0);
  L[1] = 1.0 * (a / 1.0) * (c / -1.0) * (d / -2.0) * (e / -3.0) * (f / -4.0);
  L[2] = 1.0 * (a / 2.0) * (b / 1.0) * (d / -1.0) * (e / -2.0) * (f / -3.0);
  L[3] = 1.0 * (a / 3.0) * (b / 2.0) * (c / 1.0) * (e / -1.0) * (f / -2.0);
  L[4] = 1.0 * (a / 4.0) * (b / 3.0) * (c / 2.0) * (d / 1.0) * (f / -1.0);
  L[5] = 1.0 * (a / 5.0) * (b / 4.0) * (c / 3.0) * (d / 2.0) * (e / 1.0);
}

} // namespace

int ProcessorCount()
{
  static const int count = AvailableProcessors();
  return count;
}

int ComputeInitialStates(double t, int count, const double elements[6], const double variations[6],
                         double positions[3][kMaxBodies], double velocities[3][kMaxBodies])
{
  for (int i = 0; i < count && i < kMaxBodies; ++i) {
    double el[6];
    for (int m = 0; m < 6; ++m)
      el[m] = elements[m];
    if (i >= 1 && i <= 6)
      el[i - 1] += variations[i - 1];
    const double T = el[0], q = el[4], e = el[5];
    double P[3], Q[3];
    OrbitOrientationVectors(el[1], el[2], el[3], P, Q);
    double x[3], v[3];
    if (e > 0.97) {
      if (ElementsToState(t, T, q, e, P, Q, x, v) != 0)
        return -1;
    } else {
      const double a = q / (1.0 - e);
      const double M = (t - T) * kGaussK / std::pow(a, 1.5);
      double s = 0.0;
      if (!SolveKeplerFixedPoint(M, e, 1e-14, 10000, s))
        return -1;
      const double E = M + s;
      const double cE = std::cos(E), sE = std::sin(E);
      const double b = a * std::sqrt(1.0 - e * e);
      for (int c = 0; c < 3; ++c)
        x[c] = a * (cE - e) * P[c] + b * sE * Q[c];
      const double r = std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]);
      const double f = kGaussK / (r * std::sqrt(a));
      for (int c = 0; c < 3; ++c)
        v[c] = f * (b * cE * Q[c] - a * sE * P[c]);
    }
    for (int c = 0; c < 3; ++c) {
      positions[c][i] = x[c];
      velocities[c][i] = v[c];
    }
  }
  return 0;
}

bool WantsParallelRun(const OrbitEngine* engine, const IntegrationState* state, const double* output)
{
  if (state->m_chMode != kModeImprovement || state->m_nBodies <= 1 || !output ||
      engine->m_bParallel != 1 || state->m_pRing || state->m_bWorker || ProcessorCount() <= 1)
    return false;
  const double h = std::fabs(state->m_dStep);
  if (!(h > 0.0))
    return false;
  // Every thread pays the step's fixed work (the perturbers, the nominal
  // orbit's bookkeeping and observations) again, and only the varied orbits'
  // forces are shared out: measured on 2, 4 and 8 cores, runs of up to
  // 50,000 steps a pass (Eros's 12,000 observations over a century, Apollo,
  // Apophis, 2015 AB) ran slower in parallel than on one core, the
  // 240,000-step passes of Icarus's perihelion steps faster.
  const double span =
      std::max(std::fabs(state->m_dEpoch - state->m_dObsLast), std::fabs(state->m_dEpoch - state->m_dObsFirst));
  const double from = engine->m_options.m_dParallelFromSteps > 0.0 ? engine->m_options.m_dParallelFromSteps : kParallelSteps;
  return span / h >= from;
}

int StartAndIntegrate(OrbitEngine* engine, EngineWindow* window, double* output, IntegrationState* state)
{
  if (!(std::isfinite(state->m_dStep) && state->m_dStep != 0.0)) {
    engine->m_strMessage = kMsgUnusableStep;
    if (window)
      window->SetText(kMsgUnusableStep);
    return kEngineFailed;
  }
  SetAsteroidMasses(engine, state);
  ElementBlock& el = state->m_el;
  // The view's fixed e belongs to its improvement (the passes over the
  // observations), not to the other runs that borrow the engine.
  double fixedE = 0.0;
  if (output && FixedEccentricity(engine, fixedE))
    el.m_dE = fixedE;
  const double start[9] = {el.m_dT, el.m_dPeri, el.m_dNode, el.m_dIncl, el.m_dQ, el.m_dE, el.m_dA1, el.m_dA2, el.m_dA3};
  for (int i = 0; i < 9; ++i)
    state->m_dStartElements[i] = start[i];

  const double h = state->m_dStep;
  const double epoch = state->m_dEpoch;
  const int bodies = state->m_nBodies;
  double scratch[3][kMaxBodies];
  if (engine->m_bNonGrav == 1 || engine->m_bRelativity == 1)
    for (int k = 0; k < kWindowPoints; ++k)
      if (ComputeInitialStates(epoch - 5.0 * h + k * h, bodies, start, state->m_dVariation, scratch,
                               state->m_dVel[k]) != 0)
        return kEngineInitialStatesFailed;
  if (ComputeInitialStates(epoch, bodies, start, state->m_dVariation, state->m_dPos[5], state->m_dStartVel) != 0)
    return kEngineInitialStatesFailed;

  if (!engine->m_pPerturberCache ||
      CTessaruneLib::GetPerturberPositions(engine->m_pPerturberCache, &state->m_dPert[0][0][0], epoch - 5.0 * h, h,
                                           kWindowPoints, engine->m_nAsteroidSet, ActiveRowTable(engine), epoch) != 0)
    return kEnginePerturbersFailed;
  engine->m_nPerturberEvaluations += 1;

  // The start-up feeds the impact trackers and the Earth minimum; a
  // start-up that is thrown away (for the approach check, or because it did
  // not settle) must leave them as they were, or a sample of its coarse
  // window (days ahead, on a path through the planet) stays and makes a
  // false hit with the first sample of the fine start-up.
  std::unique_ptr<ImpactTrackerSet> trackersBefore;
  if (state->m_pImpacts && state->m_bStepControl == 1)
    trackersBefore = std::make_unique<ImpactTrackerSet>(*state->m_pImpacts);
  const double minEarthBefore = state->m_dMinEarthDistance;
  const double minEarthTimeBefore = state->m_dMinEarthTime;
  state->m_bStartup = 1;
  TaylorStart(engine, state);
  const int started = IterateStartup(engine, state);
  state->m_bStartup = 0;
  if (started == -2 && state->m_bStepControl == 1 && state->m_dBaseStep > 0.0 &&
      HalveStartupStep(engine, window, state)) {
    UndoStartup(state, trackersBefore.get(), minEarthBefore, minEarthTimeBefore);
    engine->m_strMessage.clear();  // the [11] of the window given up is no failure of the run
    return kEngineRestart;
  }
  if (started != 0)
    return kEngineFailed;
  ++ThreadIntegratorCounters().startups;

  if (state->m_bStepControl == 1 && state->m_dBaseStep > 0.0 && ApproachCheck(engine, window, state)) {
    UndoStartup(state, trackersBefore.get(), minEarthBefore, minEarthTimeBefore);
    return kEngineRestart;
  }

  if (state->m_pGeoTrack)
    for (int k = 0; k < kWindowPoints; ++k) {
      double geo[3];
      for (int c = 0; c < 3; ++c)
        geo[c] = state->m_dPos[k][c][0] - state->m_dPert[k][c][2];
      state->m_pGeoTrack->Append(epoch + (k - 5) * h, geo);
    }

  BuildDifferenceTables(state);
  // The newest point's distance, so that a distance stop never acts on a
  // value left from an earlier run.
  state->m_dSunDistance = std::sqrt(state->m_dPos[10][0][0] * state->m_dPos[10][0][0] +
                                    state->m_dPos[10][1][0] * state->m_dPos[10][1][0] +
                                    state->m_dPos[10][2][0] * state->m_dPos[10][2][0]);

  if (WantsParallelRun(engine, state, output))
    return IntegrateParallel(engine, window, output, state);
  return IntegrateSerial(engine, window, output, state);
}

void ObservationPassRange(const OrbitEngine* engine, int& first, int& last)
{
  first = engine->m_nPassFirst;
  last = engine->m_nPassLast;
  if (last >= first)
    return;
  if (engine->m_bApophis) {
    first = engine->m_nFirstObs;
    last = engine->m_nLastObs;
  } else {
    first = 0;
    last = engine->m_pDet ? engine->m_pDet->m_nObsCount - 1 : -1;
  }
}

int IntegrateSerial(OrbitEngine* engine, EngineWindow* window, double* output, IntegrationState* state)
{
  const double h = state->m_dStep;
  int first, end;
  IntegratedBodies(*state, first, end);
  if (!output && state->m_nSingleBody < 1)
    end = std::min(end, 1);  // without an output array only the nominal orbit has somewhere to go
  state->m_nStepCount = 0;
  state->m_dTimeMid = state->m_dEpoch;
  state->m_dTime = 5.0 * h + state->m_dEpoch;

  DetClass* det = engine->m_pDet;
  ObservationRecord* obs = det ? det->m_pOrbObs : nullptr;
  int lo, hi;
  ObservationPassRange(engine, lo, hi);
  const bool withObs = state->m_chMode == kModeImprovement;
  if (withObs) {
    if (!obs || hi < lo || lo < 0)
      return kEngineDone;
    state->m_nObsIndex = h > 0.0 ? lo : hi;
  } else if (state->m_chMode != kModeCalculation) {
    return kEngineDone;  // neither observations nor an end time: nothing to integrate towards
  }

  double unusedOutputs[kVariedResidualStride];
  for (;;) {
    if (!state->m_bWorker) {
      if (engine->m_bAutoRunning == 1 && engine->m_nCancel == 0)
        Ui().PumpOneEvent();
      if (PumpAndCheckCancel(engine) == 1)
        return EndWithCancel(engine, window);
    }
    if (PerturberRingAborted(state))
      return kEngineCancelled;
    const int r = AdvanceStepBookkeeping(engine, window, state);
    if (r == kEngineRunFinished)
      return kEngineDone;
    if (r == kEngineContinue)
      continue;
    if (r == kEngineRestart)
      return kEngineRestart;
    if (r != 0)
      return r;
    if (withObs) {
      for (;;) {
        const int i = state->m_nObsIndex;
        const double tt = obs[i].m_dJdTt;
        const bool within = h > 0.0 ? tt <= state->m_dTimeMid + h : tt >= state->m_dTimeMid + h;
        if (!within)
          break;
        state->m_nPrevObsIndex = i;
        double* outputs = output ? output + static_cast<size_t>(i) * kVariedResidualStride : unusedOutputs;
        // The normal equations read the varied orbits only at the usable records.
        const int bodies = UsableInFit(obs[i]) || !engine->m_bReuseWork ? end : std::min(end, 1);
        if (InterpolateObservation(state->m_dTimeMid, first, bodies, h, &obs[i], outputs, state->m_dPos) != 0) {
          if (window)
            window->SetText(h > 0.0 ? kMsgInterpolationForward : kMsgInterpolationBackward);
          return kEngineFailed;
        }
        state->m_nObsIndex = h > 0.0 ? i + 1 : i - 1;
        if (state->m_nObsIndex < lo || state->m_nObsIndex > hi)
          return kEngineDone;
      }
    }
    if (StormerCowellStep(engine, state) != 0)
      return kEnginePerturbersFailed;
  }
}

int InterpolateObservation(double tMid, int firstBody, int endBody, double h, ObservationRecord* obs,
                           double* outputs, const double positions[kWindowPoints][3][kMaxBodies])
{
  // Every orbit's light-time iteration starts from 1 AU, so the weights of
  // its first pass are the same for all of them.
  double firstL[6];
  LagrangeWeights((obs->m_dJdTt - 1.0 * kLightTimeDaysPerAu - tMid) / h, firstL);
  for (int b = firstBody; b < endBody; ++b) {
    double rho = 1.0;
    double x[3] = {}, d[3] = {};
    int pass = 0;
    for (;;) {
      double L[6];
      if (pass == 0)
        std::copy(firstL, firstL + 6, L);
      else
        LagrangeWeights((obs->m_dJdTt - rho * kLightTimeDaysPerAu - tMid) / h, L);
      for (int c = 0; c < 3; ++c) {
        double s = 0.0;
        for (int n = 0; n < 6; ++n)
          s += L[n] * positions[3 + n][c][b];
        x[c] = s;
        d[c] = s + obs->m_dSun[c];
      }
      const double dist = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
      const bool settled = std::fabs(dist - rho) < 1e-10;
      if (settled)
        break;
      rho = dist;
      if (++pass >= 10000)
        return -1;
    }
    double ra = std::atan2(d[1], d[0]);
    if (ra < 0.0)
      ra += kTwoPi;
    const double dec = std::atan(d[2] / std::sqrt(d[0] * d[0] + d[1] * d[1]));
    const double dRa = WrapPi(obs->m_dRa - ra);
    const double dDec = WrapPi(obs->m_dDec - dec);
    if (b == 0) {
      obs->m_dResRa = dRa * std::cos(dec);
      obs->m_dResDec = dDec;
      obs->m_dHelioDist = std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]);
    } else {
      outputs[b - 1] = dRa * std::cos(dec);
      outputs[b + 9] = dDec;
    }
  }
  return 0;
}

int IntegrateOrbit(OrbitEngine* engine, EngineWindow* window, double* /*unused*/, IntegrationState* state)
{
  if (state->m_bStepControlWanted == 1)
    state->m_bStepControl = 1;
  const bool stepControlWanted = state->m_bStepControlWanted == 1;
  const double firstEpoch = state->m_dEpoch;
  ResetRunBookkeeping(state);
  state->m_dBaseStep = std::fabs(state->m_dStep);

  engine->m_strCollisionReport.clear();
  g_nAsteroidEphMisses = 0;
  engine->m_strRunReport = "積分開始: " + FormatRunDate(state->m_dEpoch) + " → " + FormatRunDate(state->m_dEnd) +
                           "   積分間隔 " + CTessaruneLib::FormatStepLengthWithDays(state->m_dStep);
  if (state->m_bStepControl == 0)
    engine->m_strRunReport += " (手動指定のため固定)";
  engine->m_strRunReport += "\r\n";
  if (engine->m_nAsteroidSet != 0)
    AppendAsteroidLine(engine);

  int result = 0;
  int restarts = 0, inSeries = 0;
  double seriesTime = 0.0;
  for (;;) {
    result = StartAndIntegrate(engine, window, nullptr, state);
    if (result != kEngineRestart)
      break;
    ++ThreadIntegratorCounters().restarts;
    if (PumpAndCheckCancel(engine) == 1) {
      result = EndWithCancel(engine, window);
      break;
    }
    if (inSeries == 0 || std::fabs(state->m_dTime - seriesTime) > 20.0 * state->m_dBaseStep) {
      seriesTime = state->m_dTime;
      inSeries = 1;
    } else if (++inSeries >= kRestartsPerSeries) {
      double y = 0, m = 0, d = 0;
      JdToCalendar(state->m_dTime, y, m, d);
      engine->m_strMessage = FormatC(
          "積分間隔の立ち上げ直しが同じ時刻(%d/%02d/%05.2f)で繰り返されるため計算を中止しました。\r\n"
          "積分間隔を手動で固定値に設定して再実行をお試しください。\r\n",
          static_cast<int>(y), static_cast<int>(m), d);
      if (window)
        window->SetText(engine->m_strMessage);
      engine->m_strRunReport += engine->m_strMessage;
      result = kEngineFailed;
      break;
    }
    if (++restarts >= kMaxRestarts)
      break;  // result stays 3
  }

  if (engine->m_nAsteroidSet != 0) {
    engine->m_nAsteroidMisses = static_cast<int>(std::min<long>(g_nAsteroidEphMisses, 2000000000L));
    if (engine->m_nAsteroidMisses > 0) {
      const MpephStore& store = GetPerturberTable();
      if (store.m_bLoaded) {
        const MpephHeader& hd = store.m_header;
        const double firstJd = hd.firstEpoch - hd.step / 2.0;
        const double lastJd = hd.firstEpoch + (hd.nEpochs - 1) * hd.step + hd.step / 2.0;
        engine->m_strRunReport +=
            FormatC("※小惑星の摂動を掛けられなかった時刻があります(%ld回)。摂動用小惑星暦の収録は ",
                    static_cast<long>(engine->m_nAsteroidMisses)) +
            CalendarDay(firstJd) + " 〜 " + CalendarDay(lastJd) + " です\r\n";
      } else {
        engine->m_strRunReport += "※摂動用小惑星暦(mpeph.dat)が読めないため、小惑星の摂動を掛けていません\r\n";
      }
    }
  } else {
    engine->m_nAsteroidMisses = 0;
  }

  if (stepControlWanted && state->m_nMaxStepLevel > 0 && !EngineRunsQuiet(*engine)) {
    const double w = std::ldexp(1.0, state->m_nMaxStepLevel);
    const double hm = state->m_dBaseStep / w;
    const double steps = std::fabs(state->m_dEnd - firstEpoch) / hm;
    engine->m_strRunReport += "実際に使われた最小の積分間隔: " + CTessaruneLib::FormatStepLengthWithDays(hm) +
                              " = 基準 " + CTessaruneLib::FormatStepLengthWithDays(state->m_dBaseStep) +
                              FormatC(" の 1/%.0f\r\n", w);
    const StepChoice* match = nullptr;
    for (const StepChoice& choice : kStepChoices)
      if (std::fabs(choice.days - hm) <= hm * 1e-9)
        match = &choice;
    if (match)
      engine->m_strRunReport +=
          FormatC("(参考)全区間をこの間隔で固定して計算し直すには[積分間隔]で「%s」を選ぶ。概算 %.0f "
                  "ステップ(基準間隔のときの %.0f 倍)\r\n",
                  match->text, steps, w);
    else
      engine->m_strRunReport += FormatC(
          "(参考)この間隔は[積分間隔]の選択肢より細かいため固定値では指定できない。概算 %.0f "
          "ステップ(基準間隔のときの %.0f 倍)\r\n",
          steps, w);
  }

  // However the run ended, the trackers test their last segment before
  // anyone reads their hit flags.
  if (state->m_pImpacts)
    state->m_pImpacts->FinishRun();
  state->m_bStepControl = 0;
  return result;
}

#include "engine/stormer_cowell.h"

#include <cmath>
#include <numbers>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/impact_tracker.h"
#include "astro/jpl_eph.h"
#include "astro/perturber_positions.h"
#include "astro/time_scales.h"
#include "data/step_texts.h"
#include "engine/collision.h"
#include "engine/determination_host.h"
#include "engine/force_model.h"
#include "engine/orbit_engine.h"
#include "engine/parallel_integration.h"
#include "engine/state_elements.h"
#include "platform/numbers.h"

const double kSoiRadiusAu[10] = {0.000752, 0.004118, 0.00618, 0.003851, 0.322,
                                 0.365,    0.346,    0.58,    0.021,    0.000443};

namespace {

constexpr double kGaussK2 = kGaussK * kGaussK;
constexpr double kFar = 9e8;                    // distances at or above this are "none yet"
constexpr double kGridDays = 40.0;
constexpr int kStartupCheckPasses = 100;        // passes between the settling checks of a start-up that may shrink
constexpr double kPerihelionWindowDays = 20.0;

const char* const kMsgStartupFailed = "解が求まらなかったので計算を中止しました[11]";
const char* const kMsgNoBarycentre =
    "惑星データにアクセスできなかったため、太陽系重心への変換ができませんでした。";

// W(c, m) for c = 1..5 (rows), m = 0..10: ∫₀ᶜ (c - s) Lₘ(s) ds, Lₘ the
// degree-10 Lagrange basis on the nodes -5..5 that is 1 at node m - 5.
constexpr double kStartupWeights[5][11] = {
    {-7.722834328737106e-05, 0.0009479822196836085, -0.00552379887666346, 0.020908364397947733,
     -0.06333059639049222, 0.3945024776535193, 0.17839747299382716, -0.032048085016835016,
     0.007298884805395222, -0.0011665994435091657, 9.112600041419486e-05},
    {-0.00014055902944791834, 0.0017569878680989792, -0.010501843835177169, 0.0412987012987013,
     -0.13321468654801988, 0.897651114317781, 1.1522206188872857, 0.04638447971781305, 0.0057511624178290845,
     -0.001322484100261878, 0.00011650900539789428},
    {-0.00026963271103896106, 0.0033030641233766232, -0.019234730113636363, 0.07308238636363637,
     -0.2253119926948052, 1.4246195211038961, 2.2043166599025974, 0.9419379058441558, 0.10383649553571428,
     -0.006709111201298701, 0.0004294338474025974},
    {-0.00011116455560900006, 0.0016204371759927316, -0.011415744749078083, 0.05366682700016033,
     -0.21112714446047778, 1.7965303831970498, 3.4130767997434663, 1.820875420875421, 1.0664870931537598,
     0.07172251616696061, -0.00132542354764577},
    {-0.0020204786372321096, 0.022970956673213618, -0.12055348562510021, 0.3919872083934584,
     -0.9305096788820747, 3.2300387931898347, 3.5114640013728557, 3.538845172959756, 1.671337710562971,
     1.128447431073299, 0.057992368919018225},
};
// W(5, m) - W(4, m): the weights of x₁₀ - x₉.
constexpr double kDeltaXWeights[11] = {
    -0.0019093140816231096, 0.021350519497220884, -0.10913774087602213, 0.33832038139329806,
    -0.7193825344215969,    1.4335084099927848,   0.09838720162938941,  1.7179697520843351,
    0.6048506174092112,     1.0567249149063385,   0.05931779246666399};

constexpr double kSigma[11] = {1.0,
                               0.0,
                               1.0 / 12.0,
                               1.0 / 12.0,
                               19.0 / 240.0,
                               3.0 / 40.0,
                               863.0 / 12096.0,
                               275.0 / 4032.0,
                               33953.0 / 518400.0,
                               8183.0 / 129600.0,
                               3250433.0 / 53222400.0};
constexpr double kRho[11] = {1.0 / 2.0,
                             -1.0 / 6.0,
                             -1.0 / 24.0,
                             -1.0 / 45.0,
                             -7.0 / 480.0,
                             -107.0 / 10080.0,
                             -199.0 / 24192.0,
                             -6031.0 / 907200.0,
                             -5741.0 / 1036800.0,
                             -1129981.0 / 239500800.0,
                             -435569.0 / 106444800.0};

// 6-point Gauss–Legendre rule on [-1, 1]: exact for polynomials of degree
// up to 11, which the start-up window's integrands are.
constexpr double kGaussNodes[3] = {0.23861918608319690863, 0.66120938646626451366, 0.93246951420315202781};
constexpr double kGaussWeights[3] = {0.46791393457269104739, 0.36076157304813860757, 0.17132449237917034504};

thread_local IntegratorCounters t_counters;

// Bodies a call works on, last one included.
void BodyRange(const IntegrationState* state, int& first, int& last)
{
  IntegratedBodies(*state, first, last);
  --last;
}

// Lₘ(s): the degree-10 Lagrange basis on the nodes -5..5, 1 at node m - 5.
double StartupBasis(int m, double s)
{
  double l = 1.0;
  for (int n = 0; n <= 10; ++n)
    if (n != m)
      l *= (s - (n - 5)) / static_cast<double>(m - n);
  return l;
}

// Elements of a heliocentric (or barycentric) state r, v of the nominal orbit
// at t; the rest as ElementsFromDifferenceTables.
void ElementsFromState(OrbitEngine* engine, char mode, double t, const double r[3], const double v[3], double& T,
                       double& q, double& e, double& peri, double& node, double& incl, double& M, double& a,
                       double& epoch, double P[3], double Q[3], double targetEpoch);

void Accelerations(OrbitEngine* engine, IntegrationState* state, int k, double t)
{
  ++t_counters.forceEvaluations;
  ComputeAccelerations(engine, state, state->m_pszPerturberMask, state->m_nBodies, k, state->m_dMinusGM,
                       state->m_dAcc, t, state->m_dPos, state->m_dPert);
}

// Velocity of body j at the newest point from the differences.
double NewestVelocity(const IntegrationState* state, const double deltaX[3][kMaxBodies], double h, int c, int j)
{
  double s = 0.0;
  for (int m = 0; m <= 10; ++m)
    s += kRho[m] * state->m_dDiff[m][c][j];
  return deltaX[c][j] / h + h * s;
}

void AppendRunReport(OrbitEngine* engine, EngineWindow* window, const std::string& line)
{
  engine->m_strRunReport += line;
  if (!EngineRunsQuiet(*engine))
    AppendEngineLog(engine, window, line);
}

// Mean motion and epoch of the state's m_el once its elements are in.
void FinishBlock(IntegrationState* state, double epoch)
{
  ElementBlock& el = state->m_el;
  el.m_dN = el.m_dE <= 0.97 && el.m_dA > 0.0 ? kGaussK / std::pow(el.m_dA, 1.5) : -1.0;
  el.m_dEpoch = epoch;
  state->m_dEpoch = epoch;
}

// Elements of the nominal orbit at the newest point into the state's m_el.
void ElementsIntoBlock(OrbitEngine* engine, IntegrationState* state, char mode, double target, const double* sunBary)
{
  ElementBlock& el = state->m_el;
  double epoch = 0.0;
  ElementsFromDifferenceTables(engine, mode, state->m_dTime, state->m_dDeltaX, state->m_dStep, state,
                               state->m_dPos[10], el.m_dT, el.m_dQ, el.m_dE, el.m_dPeri, el.m_dNode, el.m_dIncl,
                               el.m_dM, el.m_dA, epoch, el.m_dP, el.m_dQvec, target, sunBary);
  FinishBlock(state, epoch);
}

// Elements at the end of a run that ends inside its start-up window, from
// the window's own polynomial at the end time (before any step is made).
void EndElementsInsideWindow(OrbitEngine* engine, IntegrationState* state)
{
  double r[3], v[3];
  StartupWindowState(state, (state->m_dEnd - state->m_dEpoch) / state->m_dStep, r, v);
  ElementBlock& el = state->m_el;
  double epoch = 0.0;
  ElementsFromState(engine, '-', state->m_dEnd, r, v, el.m_dT, el.m_dQ, el.m_dE, el.m_dPeri, el.m_dNode,
                    el.m_dIncl, el.m_dM, el.m_dA, epoch, el.m_dP, el.m_dQvec, 0.0);
  FinishBlock(state, epoch);
}

// The largest 40n + 0.5 in (min(p, t), max(p, t)], 0 when none.
double GridEpochBetween(double p, double t)
{
  if (p == t)
    return 0.0;
  const double lo = std::fmin(p, t), hi = std::fmax(p, t);
  const double g = std::floor((hi - 0.5) / kGridDays) * kGridDays + 0.5;
  return g > lo ? g : 0.0;
}

// std::fmin(L, x) for an L that is a number, without the call: x when it is
// smaller, else L (also for an x that is no number).
double Smaller(double L, double x)
{
  return x < L ? x : L;
}

} // namespace

IntegratorCounters& ThreadIntegratorCounters()
{
  return t_counters;
}

std::string FormatRunDate(double jd)
{
  double y = 0, mo = 0, d = 0;
  JdToCalendar(jd, y, mo, d);
  return FormatC("%6d/%02d/%05.2f", static_cast<int>(y), static_cast<int>(mo), d);
}

double StartupWeight(int c, int m)
{
  if (c == 0 || c < -5 || c > 5 || m < 0 || m > 10)
    return 0.0;
  return c > 0 ? kStartupWeights[c - 1][m] : kStartupWeights[-c - 1][10 - m];
}

void StartupWindowWeights(double c, double w[kWindowPoints], double wv[kWindowPoints])
{
  for (int m = 0; m < kWindowPoints; ++m) {
    double sw = 0.0, sv = 0.0;
    for (int i = 0; i < 3; ++i)
      for (const double sign : {-1.0, 1.0}) {
        const double s = c / 2.0 * (1.0 + sign * kGaussNodes[i]);
        const double l = StartupBasis(m, s);
        sw += kGaussWeights[i] * (c - s) * l;
        sv += kGaussWeights[i] * l;
      }
    w[m] = c / 2.0 * sw;
    wv[m] = c / 2.0 * sv;
  }
}

void StartupWindowState(const IntegrationState* state, double c, double r[3], double v[3])
{
  const double h = state->m_dStep;
  double w[kWindowPoints], wv[kWindowPoints];
  StartupWindowWeights(c, w, wv);
  for (int k = 0; k < 3; ++k) {
    double sx = 0.0, sv = 0.0;
    for (int m = 0; m < kWindowPoints; ++m) {
      sx += w[m] * state->m_dAcc[m][k][0];
      sv += wv[m] * state->m_dAcc[m][k][0];
    }
    r[k] = state->m_dPos[5][k][0] + c * h * state->m_dStartVel[k][0] + h * h * sx;
    v[k] = state->m_dStartVel[k][0] + h * sv;
  }
}

double StormerSigma(int m)
{
  return m >= 0 && m <= 10 ? kSigma[m] : 0.0;
}

double VelocityRho(int m)
{
  return m >= 0 && m <= 10 ? kRho[m] : 0.0;
}

void TaylorStart(OrbitEngine* engine, IntegrationState* state)
{
  const double h = state->m_dStep;
  const double t = state->m_dEpoch;
  state->m_dTime = t;
  int first, last;
  BodyRange(state, first, last);
  state->m_nStartupOffset = 0;
  Accelerations(engine, state, 5, t);
  for (int c = 0; c < 3; ++c)
    for (int j = first; j <= last; ++j)
      state->m_dDiff[5][c][j] = state->m_dAcc[5][c][j];
  for (int k = 0; k < kWindowPoints; ++k) {
    if (k == 5)
      continue;
    const double ch = (k - 5) * h;
    for (int c = 0; c < 3; ++c)
      for (int j = first; j <= last; ++j)
        state->m_dPos[k][c][j] =
            state->m_dPos[5][c][j] + ch * state->m_dStartVel[c][j] + ch * ch * state->m_dAcc[5][c][j] / 2.0;
    state->m_nStartupOffset = k - 5;
    Accelerations(engine, state, k, t);
  }
}

namespace {

// Whether the last pass of the start-up changed every acceleration by less
// than a thousandth: a window through a close pass keeps changing by tens of
// per cent however long it iterates.
bool StartupSettling(const IntegrationState* state, int first, int last)
{
  for (int k = 0; k < kWindowPoints; ++k)
    for (int c = 0; c < 3; ++c)
      for (int j = first; j <= last; ++j) {
        const double a = state->m_dAcc[k][c][j];
        if (!(std::fabs(a - state->m_dDiff[k][c][j]) <= 1e-3 * std::fabs(a)))
          return false;
      }
  return true;
}

} // namespace

int IterateStartup(OrbitEngine* engine, IntegrationState* state)
{
  const double h = state->m_dStep;
  const double h2 = h * h;
  const double t = state->m_dEpoch;
  int first, last;
  BodyRange(state, first, last);
  // A start-up that the step control can begin again with a smaller step
  // need not spend its 10000 passes on a window it cannot settle.
  const bool mayShrink =
      state->m_bStepControl == 1 && state->m_dBaseStep > 0.0 && state->m_nStepLevel < kMaxStepLevel;
  int n = 0;
  for (;;) {
    if (n % 200 == 199 && PumpAndCheckCancel(engine) == 1) {
      engine->m_strMessage = kMsgCancelledByButton;
      return -1;
    }
    for (int k = 0; k < kWindowPoints; ++k) {
      if (k == 5)
        continue;
      const int c5 = k - 5;
      for (int c = 0; c < 3; ++c)
        for (int j = first; j <= last; ++j) {
          double s = 0.0;
          for (int m = 0; m <= 10; ++m)
            s += StartupWeight(c5, m) * state->m_dAcc[m][c][j];
          state->m_dPos[k][c][j] = state->m_dPos[5][c][j] + c5 * h * state->m_dStartVel[c][j] + h2 * s;
        }
    }
    for (int k = 0; k < kWindowPoints; ++k) {
      if (k == 5)
        continue;
      for (int c = 0; c < 3; ++c)
        for (int j = first; j <= last; ++j)
          state->m_dDiff[k][c][j] = state->m_dAcc[k][c][j];
      state->m_nStartupOffset = k - 5;
      Accelerations(engine, state, k, t);
    }
    bool settled = true;
    for (int k = 0; k < kWindowPoints && settled; ++k)
      for (int c = 0; c < 3 && settled; ++c)
        for (int j = first; j <= last; ++j) {
          const double a = state->m_dAcc[k][c][j];
          const double change = std::fabs(a - state->m_dDiff[k][c][j]);
          if (!(change < 1e-17 || change < 5e-14 * std::fabs(a))) {
            settled = false;
            break;
          }
        }
    if (settled)
      break;
    ++n;
    if (n % kStartupCheckPasses == 0 && mayShrink && !StartupSettling(state, first, last)) {
      engine->m_strMessage = kMsgStartupFailed;
      return -2;
    }
    if (n >= 10000) {
      engine->m_strMessage = kMsgStartupFailed;
      return -2;
    }
  }
  if (n > 999)
    engine->m_strRunReport +=
        FormatRunDate(state->m_dTime) + FormatC(" 積分立ち上げの収束に%d回の反復を要しました\r\n", n + 1);
  return 0;
}

void BuildDifferenceTables(IntegrationState* state)
{
  const double h = state->m_dStep;
  int first, last;
  BodyRange(state, first, last);
  for (int c = 0; c < 3; ++c)
    for (int j = first; j <= last; ++j) {
      double d[kWindowPoints];
      for (int k = 0; k < kWindowPoints; ++k)
        d[k] = state->m_dAcc[k][c][j];
      state->m_dDiff[0][c][j] = d[10];
      for (int m = 1; m <= 10; ++m) {
        for (int k = 10; k >= m; --k)
          d[k] -= d[k - 1];
        state->m_dDiff[m][c][j] = d[10];
      }
      double s = 0.0;
      for (int m = 0; m <= 10; ++m)
        s += kDeltaXWeights[m] * state->m_dAcc[m][c][j];
      state->m_dDeltaX[c][j] = h * state->m_dStartVel[c][j] + h * h * s;
    }
}

int StormerCowellStep(OrbitEngine* engine, IntegrationState* state)
{
  const double h = state->m_dStep;
  const double h2 = h * h;
  int first, last;
  BodyRange(state, first, last);
  // The bodies' sums side by side: each is still summed in the order of m,
  // but one no longer waits for the rounding of another.
  for (int c = 0; c < 3; ++c) {
    double s[kMaxBodies] = {};
    for (int m = 0; m <= 10; ++m)
      for (int j = first; j <= last; ++j)
        s[j] += kSigma[m] * state->m_dDiff[m][c][j];
    for (int j = first; j <= last; ++j) {
      state->m_dDeltaX[c][j] += h2 * s[j];
      for (int k = 3; k < 10; ++k)
        state->m_dPos[k][c][j] = state->m_dPos[k + 1][c][j];
      state->m_dPos[10][c][j] += state->m_dDeltaX[c][j];
    }
  }
  // The clock from the step count: a sum of steps that are not powers of two
  // drifts by a rounding error per step (kilometres over a long run).
  state->m_nStepCount += 1;
  state->m_dTimeMid = state->m_dEpoch + static_cast<double>(state->m_nStepCount) * h;
  state->m_dTime = NewestPointTime(state->m_dEpoch, state->m_nStepCount, h);
  ++t_counters.steps;

  if (state->m_pRing) {
    if (ReadPerturberRing(state) != 0)
      return -1;
  } else {
    double row[kPerturberRowCoordinates] = {};
    const int set = engine->m_nAsteroidSet;
    const char* mask = set != 0 ? "111111111111111" : "111111111100000";
    PerturberRowTable* table = ActiveRowTable(engine);
    if ((table ? table->Rows(state->m_dEpoch, h, state->m_dTime, 0.0, 1, row)
               : JplBodiesForIntegrator(state->m_dTime, 0.0, 1, mask, row, set)) != 0)
      return -1;
    const int n = set != 0 ? kPerturbers : 10;
    double* cache = engine->m_pPerturberCache ? engine->m_pPerturberCache + 10 * kPerturberRowDoubles : nullptr;
    if (cache)
      cache[0] = state->m_dTime;
    for (int i = 0; i < n; ++i)
      for (int c = 0; c < 3; ++c) {
        state->m_dPert[10][c][i] = row[i * 3 + c];
        if (cache)
          cache[1 + c * kPerturbers + i] = row[i * 3 + c];
      }
    engine->m_nPerturberEvaluations += 1;
  }

  if (engine->m_bNonGrav == 1 || engine->m_bRelativity == 1)
    for (int c = 0; c < 3; ++c)
      for (int j = first; j <= last; ++j)
        state->m_dVel[10][c][j] = NewestVelocity(state, state->m_dDeltaX, h, c, j);

  Accelerations(engine, state, 10, state->m_dTime);
  const double x = state->m_dPos[10][0][0], y = state->m_dPos[10][1][0], z = state->m_dPos[10][2][0];
  state->m_dSunDistance = std::sqrt(x * x + y * y + z * z);

  for (int c = 0; c < 3; ++c) {
    double oldPrev[kMaxBodies];
    for (int j = first; j <= last; ++j) {
      oldPrev[j] = state->m_dDiff[0][c][j];
      state->m_dDiff[0][c][j] = state->m_dAcc[10][c][j];
    }
    for (int m = 1; m <= 10; ++m)
      for (int j = first; j <= last; ++j) {
        const double old = state->m_dDiff[m][c][j];
        state->m_dDiff[m][c][j] = state->m_dDiff[m - 1][c][j] - oldPrev[j];
        oldPrev[j] = old;
      }
  }
  return 0;
}

int ElementsFromDifferenceTables(OrbitEngine* engine, char mode, double t, const double deltaX[3][kMaxBodies],
                                 double h, IntegrationState* state, const double pos[3][kMaxBodies], double& T,
                                 double& q, double& e, double& peri, double& node, double& incl, double& M, double& a,
                                 double& epoch, double P[3], double Q[3], double targetEpoch,
                                 const double* sunBary)
{
  double r[3], v[3];
  for (int c = 0; c < 3; ++c) {
    r[c] = pos[c][0];
    v[c] = NewestVelocity(state, deltaX, h, c, 0);
    if (sunBary) {
      r[c] += sunBary[c];
      v[c] += sunBary[3 + c];
    }
  }
  ElementsFromState(engine, mode, t, r, v, T, q, e, peri, node, incl, M, a, epoch, P, Q, targetEpoch);
  return 0;
}

namespace {

void ElementsFromState(OrbitEngine* engine, char mode, double t, const double r[3], const double v[3], double& T,
                       double& q, double& e, double& peri, double& node, double& incl, double& M, double& a,
                       double& epoch, double P[3], double Q[3], double targetEpoch)
{
  epoch = targetEpoch != 0.0 ? targetEpoch : t;
  OsculatingElements el{};
  el.M = M;
  // Always the full conversion: the 40-day log and the grid elements need
  // every element wherever the object is on its orbit.
  ConvertStateToElements(t, r, v, false, el);
  T = el.T;
  q = el.q;
  e = el.e;
  peri = el.peri;
  node = el.node;
  incl = el.incl;
  a = el.a;
  for (int c = 0; c < 3; ++c) {
    P[c] = el.P[c];
    Q[c] = el.Q[c];
  }
  if (e <= 0.97) {
    double mean = el.M;
    if (targetEpoch != 0.0) {
      const double n = kGaussK / std::pow(a, 1.5);
      mean = std::fmod(mean + (targetEpoch - t) * n, kTwoPi);
      if (mean < 0.0)
        mean += kTwoPi;
    }
    M = mean;
  }
  // The run's own letters list the elements only around a perihelion passage.
  const bool show = mode != 'R' && !EngineRunsQuiet(*engine) &&
                    (mode == '-' || std::fabs(T - t) <= kPerihelionWindowDays);
  if (show)
    CurrentDetermination()->FormatElementBlock(0, epoch, T, q, e, peri, node, incl, a, M, P, Q);
}

} // namespace

void OutputGridElements(OrbitEngine* engine, IntegrationState* state, char mode)
{
  const double p = state->m_dPrevStepTime;
  const double t = state->m_dTime;
  state->m_dPrevStepTime = t;
  if (p == 0.0)
    return;
  const double g = GridEpochBetween(p, t);
  if (g == 0.0 || g == state->m_dLastGridEpoch)
    return;
  // The grid epoch's orientation is not the element block's: written into
  // m_el it would leave the block's vectors at another epoch than its angles.
  double gridP[3], gridQ[3];
  ElementsFromDifferenceTables(engine, mode, t, state->m_dDeltaX, state->m_dStep, state, state->m_dPos[10],
                               state->m_dGridT, state->m_dGridQ, state->m_dGridE, state->m_dGridPeri,
                               state->m_dGridNode, state->m_dGridIncl, state->m_dGridM, state->m_dGridA,
                               state->m_dGridEpoch, gridP, gridQ, g, nullptr);
  state->m_dLastGridEpoch = g;
  ElementLog* log = state->m_pElementLog;
  if (log && log->m_pEntries && log->m_nCount < log->m_nCapacity) {
    double* entry = log->m_pEntries + 7 * log->m_nCount;
    entry[0] = state->m_dGridEpoch;
    entry[1] = state->m_dGridT;
    entry[2] = state->m_dGridQ;
    entry[3] = state->m_dGridE;
    entry[4] = state->m_dGridPeri;
    entry[5] = state->m_dGridNode;
    entry[6] = state->m_dGridIncl;
    log->m_nCount += 1;
  }
}

int ChooseStepLevel(OrbitEngine* engine, IntegrationState* state)
{
  const int n = engine->m_nAsteroidSet != 0 ? kPerturbers : 10;
  const int j = state->m_nStepLevel;
  const double base = state->m_dBaseStep;
  const double hCur = base / std::ldexp(1.0, j);
  double L = 9e9;
  for (int i = 0; i < n; ++i) {
    const double d = state->m_dDistance[i];
    const double gm = -state->m_dMinusGM[i];
    if (!(d > 0.0 && d < kFar) || !(gm > 0.0))
      continue;
    L = Smaller(L, 0.02 * std::sqrt(d * d * d / gm));
    const double p = state->m_dPrevDistance[i];
    if (p < kFar && p > d)
      L = Smaller(L, (d / 45.0) * hCur / (p - d));
  }
  const double ds = state->m_dSunDistance10;
  if (ds > 0.0 && ds < kFar) {
    L = Smaller(L, 0.02 * std::sqrt(ds * ds * ds / kGaussK2));
    const double p = state->m_dPrevSunDistance;
    if (p < kFar && p > ds)
      L = Smaller(L, (ds / 45.0) * hCur / (p - ds));
  }
  state->m_dPrevSunDistance = ds;
  for (int i = 0; i < n; ++i)
    state->m_dPrevDistance[i] = state->m_dDistance[i];
  state->m_nStepsAtLevel += 1;

  const double floorStep =
      (state->m_chMode == kModeCalculation && state->m_bKeepMinStep == 0) ? 0.0 : kMinStepDays;
  double g = base;
  int need = 0;
  while (L < g) {
    g /= 2.0;
    if (g < floorStep)
      break;
    ++need;
    if (need >= kMaxStepLevel)
      break;
  }

  if (need > j) {
    if (state->m_nReturnedLevel == j && j <= kMaxStepLevel && state->m_nBackoff[j] < 4)
      state->m_nBackoff[j] += 1;
    return need;
  }
  if (need < j) {
    const int b = state->m_nBackoff[j - 1];
    if (state->m_nStepsAtLevel >= 20 * (1 << b))
      return L >= 2.0 * base / std::ldexp(1.0, j - 1) ? j - 1 : j;
    return j;
  }
  return j;
}

int AdvanceStepBookkeeping(OrbitEngine* engine, EngineWindow* window, IntegrationState* state)
{
  if (state->m_nSingleBody > 1)
    return 0;
  if (state->m_chMode != kModeCalculation) {
    OutputGridElements(engine, state, state->m_chMode);
    return 0;
  }
  const double h = state->m_dStep;
  if ((state->m_nOrbitKind == 1 || state->m_nOrbitKind == 2) && state->m_dSunDistance >= state->m_dStopDistance) {
    double sun[6];
    int valid = 0;
    if (g_pJplEph && state->m_dTime >= g_dJplStart && state->m_dTime < g_dJplEnd)
      JplPleph(state->m_dTime, kJplSun, kJplSolarSystemBarycentre, sun, valid);
    if (!valid) {
      engine->m_strMessage = kMsgNoBarycentre;
      if (window)
        window->SetText(kMsgNoBarycentre);
      return -1;
    }
    ElementsIntoBlock(engine, state, '-', 0.0, sun);
    state->m_el.m_dEpoch = state->m_dTime;
  } else if ((state->m_dEnd - state->m_dTime) * (h >= 0.0 ? 1.0 : -1.0) > std::fabs(h) / 2.0) {
    // The end still lies ahead by more than half a step (an end already
    // passed, which the start-up window can overshoot, finishes the run).
    if (StormerCowellStep(engine, state) != 0)
      return -2;
    OutputGridElements(engine, state, state->m_chMode);
    DetectCollision(engine, window, state);
    for (int i = 0; i < 10; ++i) {
      const double d = state->m_dDistance[i];
      if (d >= kFar)
        continue;
      // An entry needs a previous distance outside: a run that starts inside
      // a sphere has not entered it.
      const double prev = state->m_dSoiPrevDistance[i];
      if (prev < kFar && prev > kSoiRadiusAu[i] && d <= kSoiRadiusAu[i]) {
        double epoch = 0.0;
        ElementsFromDifferenceTables(engine, 'R', state->m_dTime, state->m_dDeltaX, h, state, state->m_dPos[10],
                                     state->m_dSoiT[i], state->m_dSoiQ[i], state->m_dSoiE[i], state->m_dSoiPeri[i],
                                     state->m_dSoiNode[i], state->m_dSoiIncl[i], state->m_dSoiM[i],
                                     state->m_dSoiA[i], epoch, state->m_dSoiP[i], state->m_dSoiQvec[i], 0.0,
                                     nullptr);
        state->m_dSoiEpoch[i] = epoch;
        state->m_bSoiEntered[i] = 1;
      }
      state->m_dSoiPrevDistance[i] = d;
    }
    if (state->m_pImpacts && state->m_pImpacts->AnyHit())
      return 4;
    ShowIntegrationProgress(engine, state);
    if (state->m_bStepControl == 0)
      return 2;
    const int level = ChooseStepLevel(engine, state);
    if (level == state->m_nStepLevel)
      return 2;
    const double hNew = state->m_dBaseStep / std::ldexp(1.0, level);
    if (std::fabs(state->m_dEnd - state->m_dTime) <= 5.5 * hNew)
      return 2;
    ElementsIntoBlock(engine, state, 'R', 0.0, nullptr);
    state->m_nReturnedLevel = level < state->m_nStepLevel ? level : -1;
    state->m_nStepLevel = level;
    if (level > state->m_nMaxStepLevel)
      state->m_nMaxStepLevel = level;
    state->m_dStep = hNew * state->m_dDirection;
    state->m_dStep2 = state->m_dStep * state->m_dStep;
    for (double& d : state->m_dPrevDistance)
      d = kNoDistance;
    state->m_dPrevSunDistance = kNoDistance;
    state->m_nStepsAtLevel = 0;
    AppendRunReport(engine, window,
                    FormatRunDate(state->m_dTime) + " 積分間隔を " + CTessaruneLib::FormatStepLengthWithDays(hNew) +
                        " に変更\r\n");
    return 3;
  } else if (state->m_nStepCount == 0 && std::fabs(state->m_dEnd - state->m_dEpoch) < 5.0 * std::fabs(h)) {
    // Point 10 lies beyond the end: carrying its elements back on the
    // two-body orbit would leave out up to five steps of perturbations.
    EndElementsInsideWindow(engine, state);
  } else {
    ElementsIntoBlock(engine, state, '-', state->m_dEnd, nullptr);
    state->m_el.m_dEpoch = state->m_dEpoch;
  }
  if (EngineRunsQuiet(*engine))
    return 1;
  // The run's own result pane (the forecast dialog's, say), else the view's.
  CDetermination* view = CurrentDetermination();
  view->ShowElementText(window ? window : view->ResultWindow(), state, 4);
  return 1;
}

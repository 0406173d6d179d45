#include "engine/distance_scan.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/frames.h"
#include "astro/jpl_eph.h"
#include "astro/time_scales.h"
#include "engine/determination_host.h"
#include "engine/differential_correction.h"
#include "engine/fit_run.h"
#include "engine/orbit_engine.h"
#include "engine/state_elements.h"
#include "engine/view_fit_run.h"
#include "platform/app_services.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"

namespace {

constexpr int kSampleMax = 256;
constexpr double kNotEvaluable = 999999999.0;

struct FitSample {
  std::vector<double> x, ra, dec, pos[3];
  int Size() const { return static_cast<int>(x.size()); }
};

// Observations of the reference's station within w of t0: times, unwrapped
// right ascensions, declinations and heliocentric observer positions.
FitSample CollectSample(const DetClass* det, int ref, double w) {
  const ObservationRecord& r = det->m_pOrbObs[ref];
  FitSample s;
  for (int i = 0; i < det->m_nObsCount && s.Size() < kSampleMax; ++i) {
    const ObservationRecord& o = det->m_pOrbObs[i];
    if (!UsableInFit(o) || std::strncmp(o.m_szStation, r.m_szStation, 3) != 0) continue;
    if (std::fabs(o.m_dJdTt - r.m_dJdTt) > w) continue;
    s.x.push_back(o.m_dJdTt - r.m_dJdTt);
    s.ra.push_back(r.m_dRa + std::remainder(o.m_dRa - r.m_dRa, kTwoPi));
    s.dec.push_back(o.m_dDec);
    for (int k = 0; k < 3; ++k) s.pos[k].push_back(-o.m_dSun[k]);
  }
  return s;
}

// Observer velocity from the sample; false when a fit fails or the positions
// do not move (a file that gives every observation one observer position).
bool ObserverVelocityFromSample(const FitSample& s, double velocity[3]) {
  bool moves = false;
  for (int k = 0; k < 3; ++k) {
    double value = 0;
    if (FitValueAndRate(s.x.data(), s.pos[k].data(), s.Size(), value, velocity[k]) != 0) return false;
    for (double p : s.pos[k]) moves = moves || p != s.pos[k][0];
  }
  return moves;
}

// The Earth's heliocentric velocity from the planetary file; false without it.
bool EarthVelocity(double t0, double velocity[3]) {
  if (!g_pJplEph || g_dJplEnd <= 0.0 || t0 - 0.05 < g_dJplStart || t0 + 0.05 >= g_dJplEnd) return false;
  double later[6], earlier[6];
  int ok1 = 0, ok2 = 0;
  JplPleph(t0 + 0.05, 11, 3, later, ok1);
  JplPleph(t0 - 0.05, 11, 3, earlier, ok2);
  if (!ok1 || !ok2) return false;
  for (int k = 0; k < 3; ++k) velocity[k] = -(later[k] - earlier[k]) / 0.1;
  return true;
}

// What the scan needs of the arc.
struct ScanGeometry {
  int usable = 0, sampleSize = 0;
  double arc = 0, t0 = 0, w = 0;
  double L[3] = {}, Ldot[3] = {}, obsPos[3] = {}, obsVel[3] = {};
  double raRate = 0, decRate = 0, dec0 = 0;
};

// Steps 1-5 of the scan; false after a message box.
bool PrepareGeometry(CDetermination& view, ScanGeometry& g) {
  const DetClass* det = view.m_pDetClass;
  auto refuse = [&view](const char* text) {
    view.ReportWarning(text);
    return false;
  };
  if (!det->m_pOrbObs || det->m_nObsCount <= 0) return refuse(kMsgScanNoObservations);
  double tFirst = 0, tLast = 0;
  for (int i = 0; i < det->m_nObsCount; ++i) {
    const ObservationRecord& o = det->m_pOrbObs[i];
    if (!UsableInFit(o)) continue;
    if (g.usable == 0) tFirst = o.m_dJdTt;
    tLast = o.m_dJdTt;
    ++g.usable;
  }
  if (g.usable < 5) return refuse(kMsgScanTooFew);
  g.arc = tLast - tFirst;
  const double mid = 0.5 * (tFirst + tLast);
  int ref = -1;
  for (int i = 0; i < det->m_nObsCount; ++i)
    if (UsableInFit(det->m_pOrbObs[i]) &&
        (ref < 0 || std::fabs(det->m_pOrbObs[i].m_dJdTt - mid) < std::fabs(det->m_pOrbObs[ref].m_dJdTt - mid)))
      ref = i;
  g.t0 = det->m_pOrbObs[ref].m_dJdTt;
  g.w = 0.35;
  FitSample s = CollectSample(det, ref, g.w);
  while (s.Size() < 3) {
    g.w *= 2.0;
    if (g.w > g.arc + 1.0) break;
    s = CollectSample(det, ref, g.w);
  }
  g.sampleSize = s.Size();
  double a0 = 0, d0 = 0;
  if (s.Size() < 2 || FitValueAndRate(s.x.data(), s.ra.data(), s.Size(), a0, g.raRate) != 0 ||
      FitValueAndRate(s.x.data(), s.dec.data(), s.Size(), d0, g.decRate) != 0)
    return refuse(kMsgScanFitFailed);
  g.dec0 = d0;
  const double ca = std::cos(a0), sa = std::sin(a0), cd = std::cos(d0), sd = std::sin(d0);
  g.L[0] = cd * ca, g.L[1] = cd * sa, g.L[2] = sd;
  g.Ldot[0] = -sa * cd * g.raRate - ca * sd * g.decRate;
  g.Ldot[1] = ca * cd * g.raRate - sa * sd * g.decRate;
  g.Ldot[2] = cd * g.decRate;
  for (int k = 0; k < 3; ++k) g.obsPos[k] = -det->m_pOrbObs[ref].m_dSun[k];

  if (!ObserverVelocityFromSample(CollectSample(det, ref, g.w), g.obsVel)) {
    if (!EarthVelocity(g.t0, g.obsVel)) return refuse("惑星データにアクセスできませんでした。");
    view.AppendCalcLog("  ※観測者速度は地球中心の暦で代用しました(トラックレットが短すぎる)\r\n");
  }
  return true;
}

std::string ScanHeader(const ScanGeometry& g) {
  double y = 0, m = 0, d = 0;
  JdToCalendar(g.t0, y, m, d);
  return FormatC("【距離走査による初期軌道決定(試作)】\r\n  有効観測 %d個 / 弧 %.1f日 / 中央時刻 %d/%d/%.2f TT "
                 "(あてはめ %d個・窓±%.1f日)\r\n  角速度 dα/dt=%+.4f度/日  dδ/dt=%+.4f度/日\r\n",
                 g.usable, g.arc, static_cast<int>(y), static_cast<int>(m), d, g.sampleSize, g.w,
                 g.raRate * std::cos(g.dec0) / kRadPerDeg, g.decRate / kRadPerDeg) +
         "  格子: ρ=0.002〜0.032AU(対数12点) × ρ̇=±3km/s(13点) → 最良点の周りを7×7で細分\r\n"
         "  ※走査中は画面が固まります。Escキーで中止\r\n";
}

// The orbit, residuals and bookkeeping the user had before the scan.
struct UserOrbit {
  ElementBlock el{};
  double epoch = 0, meanResidual = 0;
  int usedObs = 0, covarianceValid = 0, errValid = 0;
  std::vector<ObservationRecord> obs;

  void Save(const OrbitEngine& e, const DetClass& det) {
    el = e.m_state.m_el;
    epoch = e.m_state.m_dEpoch;
    meanResidual = e.m_dMeanResidual;
    usedObs = e.m_nUsedObs;
    covarianceValid = e.m_bCovarianceValid;
    errValid = e.m_bErrValid;
    obs.assign(det.m_pOrbObs, det.m_pOrbObs + det.m_nObsCount + 1);
  }
  void Restore(OrbitEngine& e, DetClass& det) const {
    e.m_state.m_el = el;
    e.m_state.m_dEpoch = epoch;
    e.m_dMeanResidual = meanResidual;
    e.m_nUsedObs = usedObs;
    e.m_bCovarianceValid = covarianceValid;
    e.m_bErrValid = errValid;
    std::copy(obs.begin(), obs.end(), det.m_pOrbObs);
  }
};

// The grid search of steps 8-11: best ρ (AU), ρ̇ (AU/day) and cost.
class GridScan {
public:
  GridScan(FitRun& run, const ScanGeometry& g, std::string& rows) : run_(run), g_(g), rows_(rows) {}

  void Run() {
    for (int i = 0; i < 12 && !stopped_; ++i) Row(1, 0.002 * std::pow(16.0, i / 11.0), [](int j) {
        return (0.5 * j - 3.0) * kKmPerSecondInAuPerDay;
      }, 13);
    for (int i = 0; i < 7 && !stopped_; ++i) Row(2, bestRho_ * std::pow(1.287, (i - 3) / 3.0), [this](int j) {
        return bestRhoDot_ + (j - 3) / 6.0 * kKmPerSecondInAuPerDay;
      }, 7);
    if (stopped_) rows_ += "  --- Escキーにより中止しました ---\r\n";
  }

  double bestRho_ = 0, bestRhoDot_ = 0, bestCost_ = kScanRejected;
  int evaluated_ = 0, skipped_ = 0;
  bool stopped_ = false;

  double Cost(double rho, double rhoDot) const {
    double pos[3], vel[3];
    for (int k = 0; k < 3; ++k) {
      pos[k] = g_.obsPos[k] + rho * g_.L[k];
      vel[k] = g_.obsVel[k] + rhoDot * g_.L[k] + rho * g_.Ldot[k];
    }
    return DistanceScanCost(run_.engine, g_.t0, pos, vel);
  }

private:
  template <class RateOf>
  void Row(int stage, double rho, RateOf rateOf, int count) {
    double rowCost = kScanRejected, rowRate = 0;
    for (int j = 0; j < count; ++j) {
      OrbitEngine* engine = run_.engine;
      if (PumpAndCheckCancel(engine) == 1 || engine->m_nCancel == 1 || EscapeRequested()) {
        stopped_ = true;
        break;
      }
      const double rate = rateOf(j);
      const double cost = Cost(rho, rate);
      if (cost >= kNotEvaluable) {
        ++skipped_;
        continue;
      }
      ++evaluated_;
      if (cost < rowCost) rowCost = cost, rowRate = rate;
      if (cost < bestCost_) bestCost_ = cost, bestRho_ = rho, bestRhoDot_ = rate;
    }
    rows_ += rowCost < kNotEvaluable
                 ? FormatC("  [%d段] ρ=%.5f AU : 最良 %.1f\" (ρ̇=%+.2f km/s)\r\n", stage, rho, rowCost,
                           rowRate / kKmPerSecondInAuPerDay)
                 : FormatC("  [%d段] ρ=%.5f AU : 候補なし\r\n", stage, rho);
    run_.observer->ShowProgress(nullptr);
  }

  FitRun& run_;
  const ScanGeometry& g_;
  std::string& rows_;
};

// The engine runs quiet while the trials are evaluated and comes back as it was.
class QuietEngine {
public:
  explicit QuietEngine(OrbitEngine* e) : e_(e), running_(e->m_bAutoRunning), stop_(e->m_bAutoStop), state_(e->m_nCalcState) {
    e->m_bAutoRunning = e->m_bAutoStop = 1;
    e->m_bTrialOrbits = 1;
  }
  ~QuietEngine() {
    e_->m_bTrialOrbits = 0;
    e_->m_bAutoRunning = running_;
    e_->m_bAutoStop = stop_;
    e_->m_nCalcState = state_;
  }
  QuietEngine(const QuietEngine&) = delete;
  QuietEngine& operator=(const QuietEngine&) = delete;

private:
  OrbitEngine* e_;
  int running_, stop_, state_;
};

}  // namespace

int FitValueAndRate(const double* x, const double* y, int count, double& value, double& rate) {
  if (count < 2) return -1;
  double scale = 0.0;
  for (int i = 0; i < count; ++i) scale = std::fmax(scale, std::fabs(x[i]));
  if (!(scale > 0.0)) return -1;
  double S[5] = {}, T[3] = {};
  for (int i = 0; i < count; ++i) {
    const double u = x[i] / scale;
    double p = 1.0;
    for (int k = 0; k < 5; ++k, p *= u) {
      S[k] += p;
      if (k < 3) T[k] += p * y[i];
    }
  }
  if (count <= 4) {
    const double D = S[2] * S[0] - S[1] * S[1];
    if (std::fabs(D) < 1e-12) return -1;
    value = (T[0] * S[2] - T[1] * S[1]) / D;
    rate = (T[1] * S[0] - T[0] * S[1]) / D / scale;
    return 0;
  }
  auto det3 = [](const double m[3][3]) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  };
  const double N[3][3] = {{S[0], S[1], S[2]}, {S[1], S[2], S[3]}, {S[2], S[3], S[4]}};
  const double D = det3(N);
  if (std::fabs(D) < 1e-12) return -1;
  double c0[3][3], c1[3][3];
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      c0[r][c] = c == 0 ? T[r] : N[r][c];
      c1[r][c] = c == 1 ? T[r] : N[r][c];
    }
  value = det3(c0) / D;
  rate = det3(c1) / D / scale;
  return 0;
}

double DistanceScanCost(OrbitEngine* engine, double t0, const double position[3], const double velocity[3]) {
  double T = 0, q = 0, e = 0, peri = 0, node = 0, incl = 0, M = 0, a = 0;
  StateToEclipticElements(t0, position, velocity, T, q, e, peri, node, incl, M, a);
  if (!std::isfinite(T) || !std::isfinite(peri) || !std::isfinite(node) || !std::isfinite(incl)) return kScanRejected;
  if (!(q >= 0.2 && q <= 2.0 && e >= 0.0 && e <= 0.9)) return kScanRejected;
  ElementBlock& el = engine->m_state.m_el;
  el.m_dT = T, el.m_dQ = q, el.m_dE = e, el.m_dPeri = peri, el.m_dNode = node, el.m_dIncl = incl;
  el.m_dEpoch = t0;
  engine->m_state.m_dEpoch = t0;
  el.m_dA = q / (1.0 - e);
  el.m_dN = kGaussK / std::pow(el.m_dA, 1.5);
  el.m_dM = NormalizeAngle((t0 - T) * el.m_dN);
  engine->m_bCovarianceValid = 0;
  engine->m_dOsculatingEpoch = t0;
  if (ImproveOrbitIteration(engine, t0, 0) != 0) return kScanRejected;
  return engine->m_dMeanResidual;
}

void RunDistanceScan(CDetermination& view) {
  ScanGeometry g;
  if (!PrepareGeometry(view, g)) return;
  view.AppendCalcLog(ScanHeader(g));
  OrbitEngine* engine = view.m_pEngine;
  if (BeginBusyCommand(engine) != 0) return;
  ClearEscapeKey();
  view.EnableImproveButtons(0);
  TheApp().DoWaitCursor(1);
  view.WriteOpLogCalcStart("[距離走査]開始");

  UserOrbit user;
  user.Save(*engine, *view.m_pDetClass);
  std::string rows;
  const std::string* progress = view.m_pCalcLogProgress;
  view.m_pCalcLogProgress = &rows;
  ViewFitRun fit(view);
  GridScan scan(fit.Run(), g, rows);
  {
    QuietEngine quiet(engine);
    scan.Run();
    if (scan.bestCost_ < kNotEvaluable) {
      const double cost = scan.Cost(scan.bestRho_, scan.bestRhoDot_);
      rows += FormatC("【距離走査の結果】評価 %d候補(場違いで省略 %d)\r\n  最良: ρ=%.5f AU  ρ̇=%+.2f km/s  平均残差 %.3f\"\r\n"
                      "  この解を画面に設定しました。[手動]で改良してください。\r\n",
                      scan.evaluated_, scan.skipped_, scan.bestRho_, scan.bestRhoDot_ / kKmPerSecondInAuPerDay, cost);
    } else {
      // A rejected trial must not take the place of the orbit the user had.
      user.Restore(*engine, *view.m_pDetClass);
      rows += "【距離走査の結果】格子内に評価できる候補がありませんでした。\r\n";
    }
  }
  view.m_pCalcLogProgress = progress;
  view.AppendCalcLog(rows);
  TheApp().DoWaitCursor(-1);
  EndBusy(engine);
  view.EnableImproveButtons(1);
  view.WriteOpLogCalcEnd("[距離走査]終了", scan.bestCost_ < kNotEvaluable ? 0 : -1);
}

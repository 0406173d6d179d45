#include "neocp/range_grid.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/determination_host.h"
#include "engine/orbit_engine.h"
#include "neocp/scan_object.h"
#include "platform/numbers.h"

namespace {

const double kLogRhoMin = std::log(kRangeGridRhoMin);
const double kLogRhoMax = std::log(kRangeGridRhoMax);
constexpr int kStatusEverySamples = 8;
constexpr double kChi2Within3Sigma = 9.0;
constexpr double kChi2WidenBox = 25.0;
constexpr double kBestRefinedEnough = 3.0;     // arcsec: the first grid stops there
constexpr double kBestGainToGoOn = 0.8;
constexpr double kBoxShrinkToGoOn = 0.6;

struct Box {
  double lrLow, lrHigh, fLow, fHigh;
  double Area() const { return (lrHigh - lrLow) * (fHigh - fLow); }
  void Widen(double lr, double f) {
    lrLow = std::min(lrLow, lr), lrHigh = std::max(lrHigh, lr);
    fLow = std::min(fLow, f), fHigh = std::max(fHigh, f);
  }
  bool Holds(double lr, double f) const { return lr >= lrLow && lr <= lrHigh && f >= fLow && f <= fHigh; }
};

Box EmptyBox() {
  const double inf = std::numeric_limits<double>::infinity();
  return Box{inf, -inf, inf, -inf};
}

// D of the χ²: the best mean residual, with a prior the smaller of its and the best.
double ChiReference(const RangeGrid& grid, const RangePrior* prior) {
  return prior ? std::min(prior->rms, grid.bestRms) : grid.bestRms;
}

void SetChi2(RangeGrid& grid, const RangePrior* prior, int obsCount, int* within3) {
  const double D = ChiReference(grid, prior);
  grid.sigma = std::max(D, 0.5);
  if (within3) *within3 = 0;
  for (int i = 0; i < grid.count; ++i) {
    RangeSample& s = grid.samples[i];
    if (!s.valid) continue;
    s.chi2 = 2.0 * obsCount * (s.rms * s.rms - D * D) / (grid.sigma * grid.sigma);
    if (within3 && s.chi2 <= kChi2Within3Sigma) ++*within3;
  }
}

void ShowGridStatus(ScanProgress* progress, const std::string& desig, int pass, const RangeGrid& grid) {
  if (!progress) return;
  if (grid.best < 0)
    progress->SetStatusText(FormatC("%s: 距離走査 %d回目の格子 %d本", desig.c_str(), pass + 1, grid.count));
  else
    progress->SetStatusText(FormatC("%s: 距離走査 %d回目の格子 %d本  いちばん合う距離 %.4g AU (残差 %.2f\")", desig.c_str(),
                               pass + 1, grid.count, grid.samples[grid.best].rho, grid.bestRms));
}

}  // namespace

int EvaluateGridSample(OrbitEngine* engine, const DetClass* det, const Attributable& a, double rho, double rhoDot,
                       int refit, double bestSoFar, RangeSample& sample, int& refitAttempted) {
  refitAttempted = 0;
  sample.valid = 0;
  double emission = 0, position[3], velocity[3], rms = 0;
  AttributableToState(a, rho, rhoDot, emission, position, velocity);
  if (!EvaluateRangeSample(engine, emission, position, velocity, 1, sample.orbit, rms)) return 0;
  sample.valid = 1;
  sample.rms = rms;
  sample.alpha = a.alpha, sample.delta = a.delta, sample.alpha_dot = a.alphaDot, sample.delta_dot = a.deltaDot;
  if (!refit) return 1;

  int n = 0;
  double sumSq = 0, detrended = 0;
  ResidualTrend trend;
  ComputeResidualTrend(det, a.t0, n, sumSq, detrended, trend);
  const double cosDelta = std::cos(a.delta);
  if (n < 3 || std::fabs(cosDelta) < 0.01) return 1;
  const bool haveBest = bestSoFar < 9e17;
  const double g = haveBest && bestSoFar > 0.5 ? bestSoFar : 0.5;
  if ((sumSq - detrended) / (g * g) <= 1.0) return 1;
  if (haveBest && (detrended - 2.0 * n * bestSoFar * bestSoFar) / (g * g) > 40.0) return 1;

  Attributable shifted = a;
  shifted.alpha += trend.raOffset / cosDelta / kRangingArcsecPerRad;
  shifted.alphaDot += trend.raRate / cosDelta / kRangingArcsecPerRad;
  shifted.delta += trend.decOffset / kRangingArcsecPerRad;
  shifted.deltaDot += trend.decRate / kRangingArcsecPerRad;
  refitAttempted = 1;
  CloneRecord orbit;
  double shiftedRms = 0;
  AttributableToState(shifted, rho, rhoDot, emission, position, velocity);
  if (EvaluateRangeSample(engine, emission, position, velocity, 1, orbit, shiftedRms) && shiftedRms < sample.rms) {
    sample.orbit = orbit;
    sample.rms = shiftedRms;
    sample.alpha = shifted.alpha, sample.delta = shifted.delta;
    sample.alpha_dot = shifted.alphaDot, sample.delta_dot = shifted.deltaDot;
  }
  return 1;
}

int ScanRangeGrid(OrbitEngine* engine, const DetClass* det, const Attributable& a, int refit, const RangePrior* prior,
                  int target, int obsCount, const std::string& desig, ScanProgress* progress, RangeGrid& grid,
                  std::string& log) {
  grid = RangeGrid{};
  try {
    grid.samples.assign(kRangeGridMaxSamples, RangeSample{});
  } catch (const std::bad_alloc&) {
    grid.samples.clear();
    return 0;
  }
  Box box{kLogRhoMin, kLogRhoMax, 0.0, 1.0};
  double priorLr = 0, priorFrac = 0.5;
  if (prior) {
    const double rho = std::clamp(prior->rho, kRangeGridRhoMin, kRangeGridRhoMax);
    priorLr = std::clamp(std::log(rho), kLogRhoMin, kLogRhoMax);
    double emission, position[3], velocity[3], H = 0, sqrtJ = 0;
    if (AttributableToState(a, rho, 0.0, emission, position, velocity, &H, &sqrtJ))
      priorFrac = std::clamp(((H + prior->rhoDot) / sqrtJ + 1.0) / 2.0, 0.0, 1.0);
  }

  int t = 0, code = 0;
  double previousBest = kRangeGridNone;
  for (int u = 0; u < kRangeGridPasses; ++u) {
    int A = u == 0 ? 20 : 12, K = 9;
    if (t >= 2) A = 12 * t, K = 9 * t;
    grid.logRhoLow[u] = box.lrLow, grid.logRhoHigh[u] = box.lrHigh;
    grid.fracLow[u] = box.fLow, grid.fracHigh[u] = box.fHigh;
    const double B = (box.lrHigh - box.lrLow) / A, C = (box.fHigh - box.fLow) / K;
    for (int m = 0; m < A && code == 0 && grid.count < kRangeGridMaxSamples; ++m) {
      const double lr = box.lrLow + (m + 0.5) * B, rho = std::exp(lr);
      double emission, position[3], velocity[3], H = 0, sqrtJ = 0;
      if (!AttributableToState(a, rho, 0.0, emission, position, velocity, &H, &sqrtJ)) continue;
      for (int r = 0; r < K && grid.count < kRangeGridMaxSamples; ++r) {
        if (progress && (code = progress->PumpAndCheckCancel()) != 0) break;
        engine->m_nCancel = 0;
        RangeSample& s = grid.samples[grid.count];
        s.log_rho = lr;
        s.frac = box.fLow + (r + 0.5) * C;
        s.rho = rho;
        s.rho_dot = (2.0 * s.frac - 1.0) * sqrtJ - H;
        s.volume = 2.0 * C * sqrtJ * rho * B;
        s.pass = u;
        const double bestSoFar = prior ? std::min(prior->rms, grid.bestRms) : grid.bestRms;
        int refitted = 0;
        if (EvaluateGridSample(engine, det, a, rho, s.rho_dot, refit, bestSoFar, s, refitted)) {
          s.orbit.range = rho;
          if (s.rms < grid.bestRms) {
            grid.bestRms = s.rms;
            grid.best = grid.count;
          }
        }
        grid.refits += refitted;
        ++grid.count;
        if (grid.count % kStatusEverySamples == 0) ShowGridStatus(progress, desig, u, grid);
      }
    }
    if (grid.best < 0 || code != 0) break;

    int within3 = 0;
    SetChi2(grid, prior, obsCount, &within3);
    const double best = grid.bestRms, E = std::max(best, 0.5);
    Box next = EmptyBox();
    if (prior) next.Widen(priorLr, priorFrac);
    for (int i = 0; i < grid.count; ++i) {
      const RangeSample& s = grid.samples[i];
      if (s.valid && (2.0 * obsCount * (s.rms * s.rms - best * best) / (E * E) <= kChi2WidenBox || i == grid.best))
        next.Widen(s.log_rho, s.frac);
    }
    grid.lastPass = u;
    const RangeSample& b = grid.samples[grid.best];
    log += FormatC("  %d回目の格子: 距離 %.5g〜%.5g AU  ここまでの標本%d本  いちばん合う標本 距離 %.5g AU・視線速度 %+.2f km/s・"
                   "残差 %.2f\"  3σ以内 %d本\r\n",
                   u + 1, std::exp(box.lrLow), std::exp(box.lrHigh), grid.count, b.rho, b.rho_dot * kKmPerSecondPerAuPerDay,
                   best, within3);

    if (u == kRangeGridPasses - 1 || t >= 2) break;
    if (prior && within3 >= target) break;
    if (!prior && (best <= kBestRefinedEnough || (u > 0 && !(best < kBestGainToGoOn * previousBest)))) break;

    next.lrLow = std::max(kLogRhoMin, next.lrLow - B), next.lrHigh = std::min(kLogRhoMax, next.lrHigh + B);
    next.fLow = std::max(0.0, next.fLow - C), next.fHigh = std::min(1.0, next.fHigh + C);
    if (next.Area() > kBoxShrinkToGoOn * box.Area()) {
      if (!prior) break;
      const int dense = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(target) / std::max(within3, 1))));
      t = std::clamp(dense, 2, 4);
    }
    box = next;
    previousBest = best;
  }

  // Samples of a pass the scan did not finish are dropped.
  for (int i = 0; i < grid.count; ++i)
    if (grid.samples[i].pass > grid.lastPass) grid.samples[i].valid = 0;
  grid.best = -1;
  grid.bestRms = kRangeGridNone;
  for (int i = 0; i < grid.count; ++i)
    if (grid.samples[i].valid && grid.samples[i].rms < grid.bestRms) {
      grid.bestRms = grid.samples[i].rms;
      grid.best = i;
    }
  if (grid.best >= 0) SetChi2(grid, prior, obsCount, nullptr);
  for (int i = 0; i < grid.count; ++i) {
    RangeSample& s = grid.samples[i];
    for (int v = s.pass + 1; v <= grid.lastPass && !s.superseded; ++v) {
      const Box later{grid.logRhoLow[v], grid.logRhoHigh[v], grid.fracLow[v], grid.fracHigh[v]};
      if (later.Holds(s.log_rho, s.frac)) s.superseded = 1;
    }
  }
  return code;
}

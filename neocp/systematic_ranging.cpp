#include "neocp/systematic_ranging.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "astro/angle_units.h"
#include "astro/time_scales.h"
#include "data/observation_record.h"
#include "determination/determination_display.h"
#include "engine/determination_host.h"
#include "engine/orbit_engine.h"
#include "neocp/attributable.h"
#include "neocp/batch_orbit.h"
#include "neocp/clone_sampler.h"
#include "neocp/earth_screening.h"
#include "neocp/range_grid.h"
#include "neocp/scan_object.h"
#include "neocp/scan_row.h"
#include "neocp/six_param_fit.h"
#include "platform/numbers.h"

namespace {

constexpr uint32_t kStatusRefreshMs = 250;
constexpr double kCovCloneMaxRms = 3.0;        // arcsec
constexpr double kCovCloneMaxRelError = 0.02;  // of the distance
constexpr double kCloneChi2Plausible = 25.0;   // 5σ
constexpr int kCloneDropPercent = 20;
constexpr double kSampleCloneChi2 = 40.0;
constexpr double kPlausibleChi2 = 9.0;
constexpr double kNominalMaxRms = 30.0;
constexpr double kNominalLargeRms = 3.0;
constexpr int kPumpAborted = 1;
constexpr int kPumpTimeLimit = 2;

// What the ranging changes on the engine and the view, given back on every path.
class PreparedEngine {
public:
  explicit PreparedEngine(CDeterminationDisplay& view) : view_(view), engine_(view.m_pEngine) {
    autoRunning_ = engine_->m_bAutoRunning;
    autoStop_ = engine_->m_bAutoStop;
    cancel_ = engine_->m_nCancel;
    track_ = engine_->m_state.m_pGeoTrack;
    engine_->m_bAutoRunning = engine_->m_bAutoStop = 1;
    engine_->m_nCancel = 0;
    // The trial orbits neither record into nor clear the shared track.
    engine_->m_state.m_pGeoTrack = nullptr;
    engine_->m_bNonGrav = 0;
    view.SetCheck(kIdNonGravCheck, 0);
    view.m_nBatchMode = 2;
  }
  ~PreparedEngine() {
    ReattachTrack();
    RestoreQuietPair();
    view_.m_nBatchMode = 0;
  }
  PreparedEngine(const PreparedEngine&) = delete;
  PreparedEngine& operator=(const PreparedEngine&) = delete;

  void ReattachTrack() { engine_->m_state.m_pGeoTrack = track_; }
  void RestoreQuietPair() {
    engine_->m_bAutoRunning = autoRunning_;
    engine_->m_bAutoStop = autoStop_;
    engine_->m_nCancel = cancel_;
  }

private:
  CDeterminationDisplay& view_;
  OrbitEngine* engine_;
  int autoRunning_, autoStop_, cancel_;
  GeoTrackBuffer* track_;
};

// Failures of trial orbits counted by reason.
struct FailureCounts {
  int byReason[6] = {};
  int Total() const {
    int t = 0;
    for (int c : byReason) t += c;
    return t;
  }
  void Add(int reason) { ++byReason[reason >= 1 && reason <= 5 ? reason : 0]; }
};

struct FitResult {
  int ran = 0, accepted = 0, code = 0, covValid = 0;
  double p[6] = {};
  double rms = -1.0, sigma = 0.5;
  double cov[6][6] = {};
  double relError = 9e18;
};

std::string ReportHeader(const Attributable& a, const char* station, int used, double window, int usable) {
  double y = 0, m = 0, d = 0;
  JdToCalendar(a.t0, y, m, d);
  const double cd = std::cos(a.delta);
  const double motion = std::hypot(a.alphaDot * cd, a.deltaDot) * kRangingArcsecPerRad / 1440.0;
  const double toDeg = 180.0 / kPi;
  return FormatC("【距離走査】(NEOCPの一括走査)\r\n  可観測量: %d/%d/%.5f TT  観測所 %s の%d観測(窓±%.2f日)から  "
                 "見かけの動き %.2f\"/分 (dα/dt・cosδ=%+.4f dδ/dt=%+.4f 度/日)\r\n"
                 "  調べる範囲: 距離 %g〜%g AU、視線速度は太陽に束縛される範囲。観測%d個の全部で残差を測る\r\n",
                 static_cast<int>(y), static_cast<int>(m), d, station, used, window, motion, a.alphaDot * cd * toDeg,
                 a.deltaDot * toDeg, kRangeGridRhoMin, kRangeGridRhoMax, usable);
}

void SetAngles(Attributable& a, const double p[6]) {
  a.alpha = p[0], a.delta = p[1], a.alphaDot = p[2], a.deltaDot = p[3];
}

// The clones of the fit's covariance; false when they are dropped (the
// plausible-region grid runs instead).
struct CovarianceClones {
  double t = 1.0, Q = 0.0;
  CloneSampler sampler;
  std::vector<CloneRecord> clones;
  FailureCounts failures;
};

bool MakeFitClones(OrbitEngine* engine, const NeocpScanSettings& settings, NeocpScanRow& row, const DetClass* det,
                   const Attributable& fitted, const FitResult& fit, int usable, ScanProgress* progress,
                   CovarianceClones& out, int& pumpCode, std::string& report) {
  const double s = fit.sigma;
  if (settings.m_bSysError && s > 0.0) out.t = std::sqrt(s * s + 0.25) / s;
  out.Q = out.t * s;
  double cov[9][9] = {};
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 6; ++j) cov[i][j] = fit.cov[i][j];
  out.sampler.Init(cov, 6, out.t, CloneSeed(row.desig, det->m_nObsCount));
  const int N = settings.m_nClones;
  try {
    out.clones.reserve(N);
  } catch (const std::bad_alloc&) {
    return false;
  }
  EngineClock& clock = engine->m_pClock ? *engine->m_pClock : SystemEngineClock();
  uint32_t lastStatus = clock.TickMs();
  int beyond = 0;
  double largestRms = 0.0;
  std::string firstIntegrationFailure;
  for (int j = 1; j <= N; ++j) {
    if (progress && (pumpCode = progress->PumpAndCheckCancel()) != 0) break;
    engine->m_nCancel = 0;
    const uint32_t now = clock.TickMs();
    if (progress && now - lastStatus > kStatusRefreshMs) {
      progress->SetStatusText(FormatC("%s: クローンを作っています %d/%d", row.desig.c_str(), j, N));
      lastStatus = now;
    }
    double offsets[9], weight = 1.0;
    out.sampler.Draw(j, N, offsets, weight);
    double p[6];
    for (int k = 0; k < 6; ++k) p[k] = fit.p[k] + offsets[k];
    if (!(p[4] > 0.0)) {
      out.failures.Add(2);
      continue;
    }
    Attributable a = fitted;
    SetAngles(a, p);
    double emission = 0, position[3], velocity[3], rms = 0;
    AttributableToState(a, p[4], p[5], emission, position, velocity);
    CloneRecord clone;
    RangeSampleFailure failure;
    if (!EvaluateRangeSample(engine, emission, position, velocity, 0, clone, rms, &failure)) {
      out.failures.Add(failure.reason);
      if (failure.reason == 4 && firstIntegrationFailure.empty())
        firstIntegrationFailure = FormatC("    積分の失敗の1本目: 戻り値%d %s\r\n", failure.iterationResult,
                                          engine->m_strMessage.c_str());
      continue;
    }
    const double chi2 = 2.0 * usable * (rms * rms - fit.rms * fit.rms) / (out.Q * out.Q);
    clone.weight = weight;
    clone.plausible = chi2 <= kCloneChi2Plausible ? 1 : 0;
    clone.rms = rms;
    clone.range = p[4];
    if (chi2 > kCloneChi2Plausible) ++beyond;
    largestRms = std::max(largestRms, rms);
    out.clones.push_back(clone);
  }
  const FailureCounts& f = out.failures;
  report += FormatC("  共分散からクローン%d本: 観測誤差 %.2f\"(系統誤差込み)  残差は最大 %.2f\"  名目軌道から5σより外れたもの %d本%s\r\n",
                    static_cast<int>(out.clones.size()), out.Q, largestRms, beyond,
                    out.sampler.lov_mode ? "  (LOVに沿って等間隔)" : "");
  if (f.Total() > 0) {
    report += FormatC("    成立しなかったもの %d本(要素へ直せない %d  qかeが範囲外 %d  積分の失敗 %d  残差が数値でない %d)\r\n",
                      f.Total(), f.byReason[1], f.byReason[2], f.byReason[4],
                      f.byReason[0] + f.byReason[3] + f.byReason[5]);
    report += firstIntegrationFailure;
  }
  if (KeepCovarianceClones(f.Total(), beyond, N, pumpCode)) {
    row.n_invalid += f.Total();
    row.lov_mode = out.sampler.lov_mode;
    row.lov_ratio = out.sampler.lov_ratio;
    row.cov_diag_only = out.sampler.cov_diag_only;
    return true;
  }
  report += "    → 共分散から作ったクローンは使わず、格子の標本でやり直します\r\n";
  out.clones.clear();
  return false;
}

// How the pump ended the steps: the first stop's code, and whether the time limit came.
struct PumpStops {
  int code = 0, timeLimit = 0;
  bool Stopped(int c) {
    if (c == kPumpTimeLimit) timeLimit = 1;
    if (c != 0) code = c;
    return c != 0;
  }
};

// Every usable observation in use, none rejected; their count and arc (days).
int ResetUsableObservations(DetClass* det, double& arc) {
  int usable = 0;
  double first = 0.0, last = 0.0;
  for (int i = 0; i < det->m_nObsCount; ++i) {
    ObservationRecord& o = det->m_pOrbObs[i];
    if (!UsableInBatch(o)) continue;
    o.m_bPicked = 0;
    o.m_bRejected = 0;
    if (usable == 0 || o.m_dJdTt < first) first = o.m_dJdTt;
    if (usable == 0 || o.m_dJdTt > last) last = o.m_dJdTt;
    ++usable;
  }
  arc = last - first;
  return usable;
}

// The six-parameter fit from the grid's best sample; the fitted angles go to
// `fitted` when it is no worse than the grid. True when its covariance is to
// give the clones.
bool FitFromGridBest(OrbitEngine* engine, const DetClass* det, const NeocpScanSettings& settings,
                     const NeocpScanRow& row, const Attributable& attributable, double arc, const RangeGrid& grid,
                     ScanProgress* progress, PumpStops& stops, FitResult& fit, Attributable& fitted,
                     std::string& report) {
  const RangeSample& b = grid.samples[grid.best];
  const double start[6] = {b.alpha, b.delta, b.alpha_dot, b.delta_dot, b.rho, b.rho_dot};
  std::copy(start, start + 6, fit.p);
  fit.ran = 1;
  fit.code = FitSixParameters(engine, det, attributable, fit.p, arc, row.desig, progress, fit.rms, fit.cov,
                              fit.covValid, fit.sigma, report);
  stops.Stopped(fit.code);
  fit.accepted = fit.rms >= 0.0 && fit.rms <= grid.bestRms;
  if (!fit.accepted) return false;
  SetAngles(fitted, fit.p);
  if (fit.covValid && fit.cov[4][4] > 0.0) fit.relError = std::sqrt(fit.cov[4][4]) / fit.p[4];
  if (!fit.covValid) {
    report += FormatC("  当てはめの結果: 残差 %.3f\"(格子の最良は %.3f\")  距離 %.6g AU  誤差は求まらず\r\n", fit.rms,
                      grid.bestRms, fit.p[4]);
    return false;
  }
  report += FormatC("  当てはめの結果: 残差 %.3f\"(格子の最良は %.3f\")  距離 %.6g AU ± %.2g%%\r\n", fit.rms,
                    grid.bestRms, fit.p[4], fit.relError * 100.0);
  return UseCovarianceClones(fit.code, fit.rms, fit.relError, settings.m_nClones);
}

// The plausible region sampled again around the fit (or the grid's best),
// each sample's attributable fitted anew; it replaces the grid when it found a best.
void RescanPlausibleRegion(OrbitEngine* engine, const DetClass* det, const NeocpScanSettings& settings,
                           const NeocpScanRow& row, const Attributable& fitted, const FitResult& fit, int usable,
                           ScanProgress* progress, PumpStops& stops, RangeGrid& grid, std::string& report) {
  report += "  ありうる範囲を測ります(標本ごとに可観測量を合わせ直す)\r\n";
  const RangeSample& b = grid.samples[grid.best];
  const RangePrior prior = fit.accepted ? RangePrior{fit.p[4], fit.p[5], fit.rms} : RangePrior{b.rho, b.rho_dot, grid.bestRms};
  RangeGrid second;
  stops.Stopped(ScanRangeGrid(engine, det, fitted, 1, &prior, std::max(settings.m_nClones / 8, 30), usable, row.desig, progress,
                              second, report));
  if (second.refits > 0)
    report += FormatC("  標本%d本のうち%d本は、可観測量を合わせ直して測り直した\r\n", second.count, second.refits);
  if (second.best >= 0) grid = std::move(second);
}

// The row of a ranging that found no orbit to go on with: aborted, out of time or none.
int EndWithoutOrbit(NeocpScanRow& row, const PumpStops& stops) {
  if (stops.code == kPumpAborted) {
    row.status = kScanAborted;
    return -9;
  }
  if (stops.timeLimit) {
    row.status = kScanTimedOut;
    return -1;
  }
  row.status = kScanNoOrbit;
  row.note = kMsgRangingNoOrbit;
  return -1;
}

// The nominal orbit, the fit's when it is at least as good as the grid's best,
// evaluated into `nominal` with its mean residual; false when that failed.
bool EvaluateNominal(OrbitEngine* engine, const RangeGrid& grid, const FitResult& fit, const Attributable& fitted,
                     NeocpScanRow& row, CloneRecord& nominal, double& nominalRms) {
  const RangeSample& best = grid.samples[grid.best];
  Attributable nominalAttr = fitted;
  double rho = fit.p[4], rhoDot = fit.p[5];
  if (!(fit.accepted && grid.bestRms >= fit.rms)) {
    const double p[6] = {best.alpha, best.delta, best.alpha_dot, best.delta_dot, best.rho, best.rho_dot};
    SetAngles(nominalAttr, p);
    rho = best.rho, rhoDot = best.rho_dot;
  }
  row.rho_best = rho;
  double emission = 0, position[3], velocity[3];
  AttributableToState(nominalAttr, rho, rhoDot, emission, position, velocity);
  return EvaluateRangeSample(engine, emission, position, velocity, 0, nominal, nominalRms);
}

// The valid samples counted into the row, and the distances of the plausible
// ones (the best distance when none is).
void PlausibleDistances(const RangeGrid& grid, NeocpScanRow& row, double& lo, double& hi) {
  int valid = 0;
  lo = 9e18, hi = -9e18;
  for (int i = 0; i < grid.count; ++i) {
    const RangeSample& s = grid.samples[i];
    if (!s.valid) continue;
    ++valid;
    if (s.chi2 <= kPlausibleChi2) lo = std::min(lo, s.rho), hi = std::max(hi, s.rho);
  }
  if (lo > hi) lo = hi = row.rho_best;
  row.n_samples = valid;
}

// The samples close enough to the best as clones, weighted by their χ² and volume.
void SampleClones(const RangeGrid& grid, std::vector<CloneRecord>& out) {
  for (int i = 0; i < grid.count; ++i) {
    const RangeSample& s = grid.samples[i];
    if (!s.valid || s.superseded || s.chi2 > kSampleCloneChi2) continue;
    CloneRecord c = s.orbit;
    c.weight = std::exp(-s.chi2 / 2.0) * s.volume;
    c.plausible = s.chi2 <= kPlausibleChi2 ? 1 : 0;
    c.rms = s.rms;
    c.range = s.rho;
    out.push_back(c);
  }
}

// What the ranging found, in the row, and the clones the screening takes: the
// covariance's, or the samples' when clones are wanted and no pump stopped the run.
const std::vector<CloneRecord>* ChooseClones(const NeocpScanSettings& settings, NeocpScanRow& row,
                                             const RangeGrid& grid, const FitResult& fit, bool covClones,
                                             CovarianceClones& cov, const PumpStops& stops, double firstGridBest,
                                             double nominalRms, std::vector<CloneRecord>& sampleClones) {
  double lo = 0, hi = 0;
  PlausibleDistances(grid, row, lo, hi);
  const std::vector<CloneRecord>* clones = &sampleClones;
  std::string note;
  if (covClones) {
    row.mode = 2;
    row.sigma0 = cov.Q;
    const double spread = 3.0 * cov.t * std::sqrt(fit.cov[4][4]);
    lo = std::max(0.0, fit.p[4] - spread);
    hi = fit.p[4] + spread;
    note = FormatC("距離 %.5g AU ± %.2g%%(1σ)  当てはめで残差 %.2f\"→%.2f\"、その共分散からクローン", fit.p[4],
                   fit.relError * cov.t * 100.0, firstGridBest, nominalRms);
    clones = &cov.clones;
  } else {
    row.sigma0 = grid.sigma;
    if (stops.code == 0 && settings.m_nClones > 0) SampleClones(grid, sampleClones);
    note = FormatC("距離 %.4g〜%.4g AU(最良 %.4g AU)  標本%d本", lo, hi, row.rho_best, row.n_samples);
    if (fit.accepted && nominalRms < firstGridBest - 0.005)
      note += FormatC("  当てはめで残差 %.2f\"→%.2f\"", firstGridBest, nominalRms);
  }
  row.note = note;
  if (nominalRms > kNominalLargeRms)
    AppendScanNote(row.note, FormatC("平均残差が%.1f\"と大きい(外れた観測が混じっているか、解が合っていません)", nominalRms));
  row.rho_lo = lo;
  row.rho_hi = hi;
  return clones;
}

}  // namespace

bool UseCovarianceClones(int fitCode, double fitRms, double relError, int clones) {
  return fitCode == 0 && fitRms <= kCovCloneMaxRms && relError < kCovCloneMaxRelError && clones > 0;
}

bool KeepCovarianceClones(int failures, int beyond, int clones, int pumpCode) {
  return pumpCode != 0 || (failures + beyond) * 100 <= clones * kCloneDropPercent;
}

int RunSystematicRanging(CDeterminationDisplay& view, const NeocpScanSettings& settings, NeocpScanRow& row,
                         EngineWindow* window, ScanProgress* progress) {
  OrbitEngine* engine = view.m_pEngine;
  DetClass* det = view.m_pDetClass;
  row.mode = 1;
  double arc = 0.0;
  const int usable = ResetUsableObservations(det, arc);
  Attributable attributable{};
  int attributableObs = 0;
  double window0 = 0;
  char station[4] = {};
  if (usable < 2 || !ComputeAttributable(det->m_pOrbObs, det->m_nObsCount, attributable, attributableObs, window0,
                                         station)) {
    row.status = kScanNoOrbit;
    row.note = kMsgRangingNoAttributable;
    return -1;
  }
  std::string report = ReportHeader(attributable, station, attributableObs, window0, usable);
  Attributable fitted = attributable;

  PreparedEngine prepared(view);
  PumpStops stops;
  RangeGrid grid;
  stops.Stopped(ScanRangeGrid(engine, det, attributable, 0, nullptr, 0, usable, row.desig, progress, grid, report));

  FitResult fit;
  bool covClones = false;
  if (grid.best >= 0 && stops.code != kPumpAborted)
    covClones = FitFromGridBest(engine, det, settings, row, attributable, arc, grid, progress, stops, fit, fitted,
                                report);
  const double firstGridBest = grid.bestRms;

  CovarianceClones cov;
  if (covClones) {
    int pumpCode = 0;
    covClones = MakeFitClones(engine, settings, row, det, fitted, fit, usable, progress, cov, pumpCode, report);
    stops.Stopped(pumpCode);
  }
  if (!covClones && stops.code == 0 && grid.best >= 0 && settings.m_nClones > 0)
    RescanPlausibleRegion(engine, det, settings, row, fitted, fit, usable, progress, stops, grid, report);

  view.m_nBatchMode = 0;
  view.AppendCalcLog(report);
  if (grid.count == 0 || grid.best < 0 || stops.code == kPumpAborted) return EndWithoutOrbit(row, stops);

  prepared.ReattachTrack();
  CloneRecord nominal;
  double nominalRms = 0;
  const bool evaluated = EvaluateNominal(engine, grid, fit, fitted, row, nominal, nominalRms);
  prepared.RestoreQuietPair();
  if (!evaluated) {
    row.status = kScanNoOrbit;
    row.note = kMsgRangingNominalFailed;
    return -1;
  }

  view.ShowImprovementResult(view.Window(kIdResultEdit), engine, 1);
  view.UpdateControlsForState(engine->m_nCalcState);
  TakeEngineOrbit(engine, row);
  if (nominalRms > kNominalMaxRms) {
    row.status = kScanLargeResidual;
    row.note = FormatC("観測に合う軌道が見つかりませんでした(平均残差 %.1f\")。最接近は調べていません", nominalRms);
    return -1;
  }

  std::vector<CloneRecord> sampleClones;
  const std::vector<CloneRecord>* clones = ChooseClones(settings, row, grid, fit, covClones, cov, stops, firstGridBest,
                                                        nominalRms, sampleClones);
  if (stops.timeLimit) {
    row.status = kScanTimedOut;
    AppendScanNote(row.note, "距離走査の途中で制限時間を超えました");
    return -1;
  }
  const int result = ScreenEarthApproaches(view, settings, row, nominal, clones->data(),
                                           static_cast<int>(clones->size()), window, progress);
  if (covClones) {
    row.n_clones = settings.m_nClones;
    if (result == 0 && row.cov_diag_only == 1)
      AppendScanNote(row.note, "共分散を分解できず相関を捨てて作ったクローンです(広がりは目安)");
  }
  return result;
}

#include "engine/impact_probability.h"

#include <cmath>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/impact_tracker.h"
#include "engine/determination_host.h"
#include "engine/differential_correction.h"
#include "engine/integration_drivers.h"
#include "engine/matrix_fit.h"
#include "engine/move_epoch.h"
#include "engine/orbit_engine.h"
#include "engine/tool_sinks.h"
#include "platform/numbers.h"
#include "platform/text_util.h"
#include "platform/ui_services.h"

namespace {

constexpr uint32_t kRefreshMs = 200;
constexpr double kSystematicArcsec = 0.5;
constexpr double kLovSpanSigma = 3.0;
constexpr double kUnreliableSigma0 = 10.0;  // arcsec
constexpr size_t kFirstListSize = 256;
constexpr int S = kMatrixStride;

const char* BodyName(int b) { return b >= 0 && b < kBodyCount ? kImpactBodyNames[b] : "?"; }

// Into (0, 2π].
double ReduceAngle(double x) {
  x -= kTwoPi * std::trunc(x / kTwoPi);
  return x <= 0.0 ? x + kTwoPi : x;
}

// How the clones are drawn: the scaled covariance, its factor and the line of variations.
struct CloneSampler {
  int n = 0;
  double C[S * S] = {}, L[S * S] = {}, sigma[S] = {};
  double scale = 1.0;  // systematic error in quadrature: √(σ0² + 0.5²) / σ0
  double ratio = 0.0;  // λ0 / λ1 of the correlation matrix
  bool lov = false;
  double d[S] = {};    // unit LOV direction in parameter space
  double sigmaLov = 0.0;
  bool diagonalOnly = false;  // the covariance was not positive definite
};

void ChooseLineOfVariations(CloneSampler& s) {
  const int n = s.n;
  for (int i = 0; i < n; ++i)
    if (!(s.sigma[i] > 0.0)) return;  // ratio 0, no LOV
  double R[S * S] = {}, values[S] = {}, U[S * S] = {};
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) R[S * i + j] = s.C[S * i + j] / (s.sigma[i] * s.sigma[j]);
  JacobiEigenSymmetric(R, n, values, U);
  if (n < 2) return;
  s.ratio = values[1] > 0.0 ? values[0] / values[1] : 0.0;
  if (!(values[0] > 0.0 && values[1] > 0.0 && s.ratio >= kLovRatio)) return;
  double len = 0.0;
  for (int i = 0; i < n; ++i) {
    s.d[i] = U[S * i] * s.sigma[i];
    len += s.d[i] * s.d[i];
  }
  len = std::sqrt(len);
  if (!(len > 0.0)) return;
  for (int i = 0; i < n; ++i) s.d[i] /= len;
  double dCd = 0.0;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) dCd += s.d[i] * s.C[S * i + j] * s.d[j];
  if (!(dCd > 0.0)) return;
  s.sigmaLov = std::sqrt(dCd);
  s.lov = true;
}

void BuildSampler(const OrbitEngine& engine, CloneSampler& s) {
  s.n = std::min(engine.m_nCovarianceSize, S);
  const int n = s.n;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) s.C[S * i + j] = (engine.m_covariance[i][j] + engine.m_covariance[j][i]) / 2.0;
  const double sigma0 = engine.m_dSigma0;
  if (engine.m_bAddSystematicError && sigma0 > 0.0)
    s.scale = std::sqrt(sigma0 * sigma0 + kSystematicArcsec * kSystematicArcsec) / sigma0;
  if (s.scale != 1.0)
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) s.C[S * i + j] *= s.scale * s.scale;
  for (int i = 0; i < n; ++i) s.sigma[i] = s.C[S * i + i] > 0.0 ? std::sqrt(s.C[S * i + i]) : 0.0;
  ChooseLineOfVariations(s);
  if (!CholeskyDecompose(s.C, n, s.L)) {
    s.diagonalOnly = true;
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) s.L[S * i + j] = i == j ? s.sigma[i] : 0.0;
  }
}

// Clone i (1..N) of the nominal block into el with its weight; false when
// the drawn elements are not an orbit.
bool DrawClone(const CloneSampler& s, int i, int N, std::mt19937& gen, std::normal_distribution<double>& normal,
               ElementBlock& el, double& w) {
  const int n = s.n;
  double z[S], delta[S] = {};
  for (int r = 0; r < n; ++r) z[r] = normal(gen);
  for (int r = 0; r < n; ++r)
    for (int c = 0; c <= r; ++c) delta[r] += s.L[S * r + c] * z[c];
  w = 1.0;
  if (s.lov) {
    const double c = (i - 0.5) * 2.0 * kLovSpanSigma / N - kLovSpanSigma;
    double along = 0.0;
    for (int r = 0; r < n; ++r) along += s.d[r] * delta[r];
    for (int r = 0; r < n; ++r) delta[r] += (c * s.sigmaLov - along) * s.d[r];
    w = std::exp(-c * c / 2.0);
  }
  double* fields[S] = {&el.m_dT, &el.m_dPeri, &el.m_dNode, &el.m_dIncl, &el.m_dQ,
                       &el.m_dE, &el.m_dA1,   &el.m_dA2,   &el.m_dA3};
  for (int r = 0; r < n; ++r) *fields[r] += delta[r];
  el.m_dPeri = ReduceAngle(el.m_dPeri);
  el.m_dNode = ReduceAngle(el.m_dNode);
  if (el.m_dE <= 0.97) {
    el.m_dA = el.m_dQ / (1.0 - el.m_dE);
    el.m_dN = kGaussK / std::pow(el.m_dA, 1.5);
    el.m_dM = ReduceAngle(el.m_dN * (el.m_dEpoch - el.m_dT));
  } else {
    el.m_dA = el.m_dN = el.m_dM = -1.0;
  }
  const auto turn = [&el]() {
    el.m_dNode = ReduceAngle(el.m_dNode + kPi);
    el.m_dPeri = ReduceAngle(el.m_dPeri + kPi);
  };
  if (el.m_dIncl < 0.0) {
    el.m_dIncl = -el.m_dIncl;
    turn();
  }
  if (el.m_dIncl > kPi) {
    el.m_dIncl = kTwoPi - el.m_dIncl;
    turn();
  }
  const double check[] = {el.m_dT, el.m_dQ, el.m_dE, el.m_dPeri, el.m_dNode, el.m_dIncl, el.m_dA, el.m_dN, el.m_dM};
  for (double x : check)
    if (!std::isfinite(x)) return false;
  return el.m_dQ >= 0.0 && el.m_dE >= 0.0;
}

struct CloneImpact {
  double latRad, lonRad;
  int body;
};
struct CloneApproach {
  double latDeg, lonDeg, distKm;
  int body;
};

// What the clones gave.
struct CloudStats {
  int valid = 0, invalid = 0, hits = 0;
  double sumW = 0.0, sumWHit = 0.0;
  double earliest = 9e9, latest = -9e9;  // impact times, JD TT
  int count[kBodyCount] = {};
  std::vector<CloneImpact> impacts;
  std::vector<CloneApproach> approaches;
  bool interrupted = false;
};

// Step 7.10: one valid clone's hit and its closest approaches to the other bodies.
void RecordClone(const ImpactTrackerSet& set, double w, CloudStats& st) {
  ++st.valid;
  st.sumW += w;
  if (set.AnyHit()) {
    const int b = set.FirstHitOrClosest();
    const ImpactTracker& t = set.m_trackers[b];
    st.impacts.push_back({t.m_dLat, t.m_dLon, b});  // capacity N reserved
    ++st.count[b];
    ++st.hits;
    st.sumWHit += w;
    st.earliest = std::min(st.earliest, t.m_dHitJd);
    st.latest = std::max(st.latest, t.m_dHitJd);
  }
  for (const ImpactTracker& t : set.m_trackers) {
    if (t.m_bHit || t.m_track.empty()) continue;
    const ImpactTrackPoint* best = &t.m_track[0];
    for (const ImpactTrackPoint& p : t.m_track)
      if (p.distKm < best->distKm) best = &p;
    try {
      if (st.approaches.size() == st.approaches.capacity()) st.approaches.reserve(2 * st.approaches.capacity());
      st.approaches.push_back({best->latDeg, best->lonDeg, best->distKm, t.m_nBody});
    } catch (const std::bad_alloc&) {
      return;  // the remaining points of this clone are dropped
    }
  }
}

bool HasHitOrTrack(const ImpactTrackerSet* set) {
  if (!set) return false;
  for (const ImpactTracker& t : set->m_trackers)
    if (t.m_bHit || !t.m_track.empty()) return true;
  return false;
}

bool Unreliable(const OrbitEngine& engine, const CloudStats& st, int N) {
  return engine.m_dSigma0 > kUnreliableSigma0 || (N > 0 && 100LL * st.invalid > 20LL * N);
}

double Probability(const CloudStats& st) { return st.sumW > 0.0 ? st.sumWHit / st.sumW : 0.0; }

std::string ProbabilityLines(const CloudStats& st) {
  const double p = Probability(st);
  int bodies = 0, only = -1;
  for (int b = 0; b < kBodyCount; ++b)
    if (st.count[b] > 0) ++bodies, only = b;
  if (bodies == 1)
    return FormatC("衝突確率    : %.2f %%  (%d / %d)  対象: %s\r\n", 100.0 * p, st.hits, st.valid, BodyName(only));
  std::string text = FormatC("衝突確率    : %.2f %%  (%d / %d)\r\n", 100.0 * p, st.hits, st.valid);
  if (bodies > 1)
    for (int b = 0; b < kBodyCount; ++b)
      if (st.count[b] > 0)
        text += FormatC("  内訳 %s: %.2f %% (%d)\r\n", BodyName(b), 100.0 * st.count[b] / st.valid, st.count[b]);
  return text;
}

std::string ApproachLines(const CloudStats& st) {
  std::string text;
  for (int b = 0; b < kBodyCount; ++b) {
    int points = 0;
    double lo = 0.0, hi = 0.0;
    for (const CloneApproach& a : st.approaches) {
      if (a.body != b) continue;
      lo = points == 0 ? a.distKm : std::min(lo, a.distKm);
      hi = points == 0 ? a.distKm : std::max(hi, a.distKm);
      ++points;
    }
    if (points > 0) text += FormatC("最接近点群  : %s %d点 (中心距離 %.0f ～ %.0f km)\r\n", BodyName(b), points, lo, hi);
  }
  return text;
}

std::string TimeLines(const CloudStats& st) {
  if (st.hits == 0) return FormatC("(衝突は検出されませんでした。95%%上限の目安: %.2f %%)\r\n", 300.0 / st.valid);
  const double p = Probability(st);
  std::string text = FormatC("95%%信頼区間 : ±%.2f %%\r\n", 100.0 * 1.96 * std::sqrt(p * (1.0 - p) / st.valid));
  std::string first, last;
  FormatTtAsUtc(st.earliest, first);
  if (st.latest - st.earliest > 1e-9) {
    FormatTtAsUtc(st.latest, last);
    return text + "衝突時刻    : " + first + " ～ " + last + "\r\n";
  }
  return text + "衝突時刻    : " + first + "\r\n";
}

std::string NominalLines(const ImpactTrackerSet* nominalSet) {
  if (!nominalSet || !nominalSet->AnyHit()) return "名目軌道    : 衝突しない\r\n";
  const ImpactTracker& t = nominalSet->m_trackers[nominalSet->FirstHitOrClosest()];
  std::string when;
  t.FormatTimeUtc(when);
  std::string text = FormatC("名目軌道    : %sに衝突する (%s)  [検出サンプル間隔 %.1f 秒]\r\n", BodyName(t.m_nBody),
                             when.c_str(), t.m_dSampleInterval * 86400.0);
  if (t.m_nDirection == -1)
    text += "※過去方向の積分中の検出のため位置・時刻の信頼性が低い。未来方向で確認のこと\r\n";
  return text;
}

// Step 11.
std::string FormatReport(const OrbitEngine& engine, const CloneSampler& s, const CloudStats& st,
                         const ImpactTrackerSet* nominalSet, int N) {
  const double sigma0 = engine.m_dSigma0;
  std::string text = "【惑星衝突確率(モンテカルロ法)】\r\n";
  if (st.interrupted) text += "※[ESC]で中止されたため途中までの結果です\r\n";
  text += FormatC("クローン数  : %d (有効 %d, 不成立 %d)\r\n", N, st.valid, st.invalid);
  if (sigma0 > kUnreliableSigma0)
    text += FormatC("※この確率は信用できません: 観測誤差σ0が%.1f\"もあり、軌道がまだ観測に合っていません。\r\n"
                    "  共分散は「解の近くでは直線とみなせる」という前提で作るので、この段階では意味を持ちません。\r\n"
                    "  先に軌道改良を収束させてください(平均残差が観測の精度なりの値に落ち着くまで)。\r\n",
                    sigma0);
  if (N > 0 && 100LL * st.invalid > 20LL * N)
    text += FormatC("※この確率は信用できません: %d個中%d個(%.0f%%)が軌道として成立せず捨てられました。\r\n"
                    "  捨てたぶんだけ残りは公平な標本でなくなるため、割合を確率とみなせません。\r\n",
                    N, st.invalid, 100.0 * st.invalid / N);
  if (s.lov)
    text += FormatC("散らばらせ方: LOV(いちばん決まっていない方向の線に沿って±%.0fσを等間隔)\r\n", kLovSpanSigma);
  else
    text += FormatC("散らばらせ方: 点群(共分散にもとづく正規分布)  偏り %.1f倍 (%.0f倍でLOVへ切替)\r\n", s.ratio,
                    kLovRatio);
  if (engine.m_bAddSystematicError && sigma0 > 0.0)
    text += FormatC("観測の誤差  : σ0 %.3f\" に系統誤差 %.1f\" を見込んで %.3f\" として計算\r\n", sigma0,
                    kSystematicArcsec, s.scale * sigma0);
  else
    text += FormatC("観測の誤差  : 残差から求めたσ0 %.3f\" のみ(系統誤差は見込んでいない)\r\n", sigma0);
  text += ProbabilityLines(st) + ApproachLines(st) + TimeLines(st) + NominalLines(nominalSet);
  text += "※クローンは軌道改良で得た共分散行列(観測誤差起因)から生成\r\n";
  if (s.diagonalOnly)
    text += "※共分散が正定値でないため、要素間の相関を無視してクローンを生成しました。\r\n"
            "　 衝突点の広がりは実際より狭く、衝突確率は実際より低く出ています。\r\n"
            "　 観測を増やすか、解く要素を減らして軌道改良をやり直してください。\r\n";
  return text;
}

// Step 13: the nominal approach, the clones' impact and closest-approach
// points and the probability line on the globe.
void HandCloudToGlobe(const IntegrationState* nominal, const ImpactTrackerSet* nominalSet, const CloudStats& st,
                      bool unreliable) {
  const bool nominalNear = HasHitOrTrack(nominalSet);
  if (st.hits == 0 && !nominalNear) return;
  int B = kBodyEarth;
  if (nominalNear) {
    B = nominalSet->FirstHitOrClosest();
  } else {
    for (int b = 0; b < kBodyCount; ++b)
      if (st.count[b] > st.count[B]) B = b;
  }
  GlobeSink* globe = ToolSinks().OpenGlobe();
  if (!globe) return;
  const ElementBlock& el = nominal->m_el;
  globe->SetBody(B);
  globe->SetOrbitElements(el.m_dT, el.m_dQ, el.m_dE, el.m_dPeri, el.m_dNode, el.m_dIncl);
  globe->SetMarker(0, 0.0, 0.0, 0, "");
  globe->ClearPath();
  globe->ClearCloneImpacts();
  globe->ClearCloneTracks();
  const CDetermination* view = CurrentDetermination();
  globe->SetCaption(view ? std::string(TrimSpace(view->m_strObjectName)) : std::string());
  if (OrbitDiagramSink* diagram = ToolSinks().OrbitDiagram()) {
    const bool hit = nominalSet && nominalSet->AnyHit();
    diagram->SetImpactJd(hit ? nominalSet->m_trackers[nominalSet->FirstHitOrClosest()].m_dHitJd : 0.0);
  }
  if (nominalNear) ShowTrackerOnGlobe(*globe, nominalSet->m_trackers[B]);
  for (const CloneImpact& c : st.impacts)
    if (c.body == B) globe->AddCloneImpact(c.latRad * kDegPerRad, c.lonRad * kDegPerRad);
  for (const CloneApproach& a : st.approaches)
    if (a.body == B) globe->AddCloneClosest(a.latDeg, a.lonDeg, a.distKm);
  std::string line = FormatC("%s衝突確率 %.2f%%  (%d/%d)", BodyName(B), 100.0 * st.count[B] / st.valid, st.count[B],
                             st.valid);
  if (unreliable) line += "  ※信用できません(計算ログを参照)";
  globe->SetSubCaption(line);
  globe->ShowGlobe();
}

int Refuse(const std::string& text) {
  CurrentDetermination()->ReportWarning(text);
  return kEngineFailed;
}

// Everything one call works with.
struct CloudRun {
  CloudRun(OrbitEngine* e, EngineWindow* r, const IntegrationState* nom, int n, EngineWindow* p, EngineWindow* st,
           const CloneSampler* s, uint32_t seed)
      : engine(e), result(r), nominal(nom), N(n), progress(p), status(st), sampler(s), gen(seed) {}
  OrbitEngine* engine;
  EngineWindow* result;
  const IntegrationState* nominal;
  int N;
  EngineWindow* progress;
  EngineWindow* status;
  const CloneSampler* sampler;
  std::mt19937 gen;
  std::normal_distribution<double> normal{0.0, 1.0};
  std::unique_ptr<IntegrationState> work = std::make_unique<IntegrationState>();
  std::unique_ptr<ImpactTrackerSet> nominalSet;
  std::string before;   // the result edit's text before the nominal run
  std::string scratch;
  CloudStats stats;
};

void RefreshStatus(CloudRun& run, int i) {
  if (run.progress && run.progress->IsLive()) run.progress->SetProgress(run.N > 0 ? i * 100 / run.N : 0);
  if (run.status && run.status->IsLive())
    run.status->SetText(FormatC("衝突確率計算中: %4d/%4d   衝突 %4d   [ESC]で中止", i, run.N, run.stats.hits));
}

// Step 7.9: the nominal orbit's set, text and step log.
void KeepNominal(CloudRun& run, std::unique_ptr<ImpactTrackerSet> set) {
  OrbitEngine* engine = run.engine;
  run.nominalSet = std::move(set);
  // What the nominal run wrote (its collision notes); the edit's earlier
  // content is replaced by the report and must not pile up in it.
  run.scratch = run.result && run.result->IsLive() ? run.result->GetText() : std::string();
  if (run.scratch.compare(0, run.before.size(), run.before) == 0) run.scratch.erase(0, run.before.size());
  if (engine->m_strRunReport.empty()) return;
  const std::string log = "\r\n【積分間隔のログ(名目軌道)】\r\n" + engine->m_strRunReport;
  if (engine->m_pLogWnd) {
    if (engine->m_pLogWnd->IsLive()) engine->m_pLogWnd->SetText("");
    AppendEngineLog(engine, run.result, log);
  } else {
    run.scratch += log;
  }
}

// One orbit of the loop (i = 0 the nominal one). false when the run was cancelled.
bool RunOrbit(CloudRun& run, int i) {
  OrbitEngine* engine = run.engine;
  IntegrationState* work = run.work.get();
  *work = *run.nominal;
  work->m_pApproach = nullptr;
  work->m_pGeoTrack = nullptr;
  work->m_pProgress = work->m_pStatus = nullptr;
  double w = 1.0;
  if (i >= 1) {
    work->m_pElementLog = nullptr;
    if (!DrawClone(*run.sampler, i, run.N, run.gen, run.normal, work->m_el, w)) {
      ++run.stats.invalid;
      return true;
    }
  }
  auto set = std::make_unique<ImpactTrackerSet>();
  work->m_pImpacts = set.get();
  if (i == 0 && run.result && run.result->IsLive()) run.before = run.result->GetText();
  const int autoRunning = engine->m_bAutoRunning, autoStop = engine->m_bAutoStop;
  if (i >= 1) engine->m_bAutoRunning = engine->m_bAutoStop = 1;
  const int r = IntegrateOrbit(engine, run.result, nullptr, work);
  engine->m_bAutoRunning = autoRunning;
  engine->m_bAutoStop = autoStop;
  if (r == kEngineCancelled) return false;
  if (r != kEngineDone && r != kEngineImpact) {
    if (i >= 1) ++run.stats.invalid;
    return true;
  }
  if (i == 0)
    KeepNominal(run, std::move(set));
  else
    RecordClone(*set, w, run.stats);
  return true;
}

void RunLoop(CloudRun& run) {
  OrbitEngine* engine = run.engine;
  EngineClock& clock = engine->m_pClock ? *engine->m_pClock : SystemEngineClock();
  uint32_t lastRefresh = clock.TickMs();
  ClearEscapeKey();
  for (int i = 0; i <= run.N; ++i) {
    const uint32_t now = clock.TickMs();
    if (now - lastRefresh > kRefreshMs) {
      lastRefresh = now;
      RefreshStatus(run, i);
    }
    Ui().PumpOneEvent();
    if (EscapeRequested() || engine->m_nCancel == 1 || !RunOrbit(run, i)) {
      run.stats.interrupted = true;
      break;
    }
  }
}

}  // namespace

int ComputeImpactProbability(OrbitEngine* engine, EngineWindow* result, const IntegrationState* nominal, int N,
                             EngineWindow* progress, EngineWindow* status) {
  EngineClock& clock = engine->m_pClock ? *engine->m_pClock : SystemEngineClock();
  return ComputeImpactProbability(engine, result, nominal, N, progress, status, clock.TickMs());
}

int ComputeImpactProbability(OrbitEngine* engine, EngineWindow* result, const IntegrationState* nominal, int N,
                             EngineWindow* progress, EngineWindow* status, uint32_t seed) {
  if (!engine->m_bCovarianceValid) return Refuse(kMsgNoCovariance);
  if (std::fabs(engine->m_dCovarianceEpoch - nominal->m_dEpoch) > 1e-6) return Refuse(kMsgCovarianceEpoch);
  if (ComputeObservationSignature(engine) != engine->m_nCovarianceSignature) return Refuse(kMsgCovarianceStale);
  if (N < 0) N = 0;
  CloneSampler sampler;
  BuildSampler(*engine, sampler);
  std::unique_ptr<CloudRun> run;
  try {
    run.reset(new CloudRun(engine, result, nominal, N, progress, status, &sampler, seed));
    run->stats.impacts.reserve(static_cast<size_t>(N));
    run->stats.approaches.reserve(kFirstListSize);
  } catch (const std::bad_alloc&) {
    return kEngineFailed;
  }
  if (BeginBusyCommand(engine) != 0) return Refuse(kMsgOtherCalculationRunning);
  if (progress && progress->IsLive()) progress->SetProgress(0);
  Ui().SetBusyCursor(true);
  RunLoop(*run);
  Ui().SetBusyCursor(false);
  EndBusy(engine);
  CloudStats& st = run->stats;
  if (progress && progress->IsLive()) progress->SetProgress(st.interrupted ? 0 : 100);
  if (status && status->IsLive()) status->SetText(st.interrupted ? "中止しました" : "計算完了");
  if (st.valid == 0) return st.interrupted ? -2 : kEngineFailed;

  const std::string report = FormatReport(*engine, sampler, st, run->nominalSet.get(), N);
  if (result && result->IsLive()) result->SetText(report + "\r\n" + run->scratch);
  HandCloudToGlobe(nominal, run->nominalSet.get(), st, Unreliable(*engine, st, N));
  return 0;
}

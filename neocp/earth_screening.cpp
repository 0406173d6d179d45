#include "neocp/earth_screening.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>

#include "astro/angle_units.h"
#include "astro/body_rotation.h"
#include "astro/constants.h"
#include "astro/frames.h"
#include "astro/impact_tracker.h"
#include "astro/jpl_eph.h"
#include "astro/time_scales.h"
#include "determination/determination_display.h"
#include "determination/solution_file.h"
#include "engine/auto_step.h"
#include "engine/determination_host.h"
#include "engine/differential_correction.h"
#include "engine/force_model.h"
#include "engine/improvement_procedures.h"
#include "engine/integration_drivers.h"
#include "engine/orbit_engine.h"
#include "engine/tool_sinks.h"
#include "engine/view_fit_run.h"
#include "neocp/clone_sampler.h"
#include "neocp/scan_object.h"
#include "neocp/scan_files.h"
#include "neocp/scan_row.h"

namespace {

constexpr uint32_t kStatusRefreshMs = 250;
constexpr double kMinuteDays = 1.0 / 1440.0;

std::string Printf(const char* format, ...) {
  char buf[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  return buf;
}

// Into (0, 2π].
double ReduceAngle(double x) {
  double f = x / kTwoPi;
  f -= std::floor(f);
  const double r = f * kTwoPi;
  return r <= 0.0 ? r + kTwoPi : r;
}

struct TimeDistance {
  double t, r2;
};

// The smallest squared distance refined by a parabola through its neighbours.
void RefineMinimum(const std::vector<TimeDistance>& pts, double& dist, double& jd) {
  size_t k = 0;
  for (size_t i = 1; i < pts.size(); ++i)
    if (pts[i].r2 < pts[k].r2) k = i;
  const double t0 = pts[k].t, y0 = pts[k].r2;
  dist = std::sqrt(y0);
  jd = t0;
  int before = -1, after = -1;
  for (int i = static_cast<int>(k) - 1; i >= 0; --i)
    if (t0 - pts[i].t >= 1e-9) {
      before = i;
      break;
    }
  for (size_t i = k + 1; i < pts.size(); ++i)
    if (pts[i].t - t0 >= 1e-9) {
      after = static_cast<int>(i);
      break;
    }
  if (before < 0 || after < 0) return;
  const double d1 = pts[before].t - t0, d2 = pts[after].t - t0;
  if (d1 < -1.0 || d2 > 1.0 || -d1 > 8.0 * d2 || d2 > -8.0 * d1) return;
  const double y1 = pts[before].r2, y2 = pts[after].r2;
  const double s = (y2 - y0) / d2;
  const double c = (s - (y1 - y0) / d1) / (d2 - d1);
  const double b = s - c * d2;
  if (!(c > 0.0)) return;
  const double u = -b / (2.0 * c);
  const double v = y0 + b * u + c * u * u;
  if (u >= d1 && u <= d2 && v > 0.0 && v <= y0) {
    dist = std::sqrt(v);
    jd = t0 + u;
  }
}

// "minutes,lat,lon,km" in the C locale whatever the process's; true when all
// four are finite numbers (text after the fourth is ignored, as a scan would).
bool ParsePoint(const std::string& piece, double v[4]) {
  const char* p = piece.data();
  const char* const end = p + piece.size();
  for (int k = 0; k < 4; ++k) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    if (p < end && *p == '+') ++p;
    const auto r = std::from_chars(p, end, v[k]);
    if (r.ec != std::errc() || !std::isfinite(v[k])) return false;
    p = r.ptr;
    if (k < 3) {
      if (p >= end || *p != ',') return false;
      ++p;
    }
  }
  return true;
}

}  // namespace

int CompareFirstDouble(const void* a, const void* b) {
  const double x = *static_cast<const double*>(a), y = *static_cast<const double*>(b);
  return x < y ? -1 : (x > y ? 1 : 0);
}

double WeightedMedianDistance(DistanceWeight* pairs, int count) {
  double total = 0.0;
  for (int i = 0; i < count; ++i) total += pairs[i].weight;
  if (count < 1 || !(total > 0.0)) return kNoDistance;
  std::qsort(pairs, count, sizeof(DistanceWeight), CompareFirstDouble);
  double median = pairs[count - 1].dist, acc = 0.0;
  for (int i = 0; i < count; ++i) {
    acc += pairs[i].weight;
    if (acc >= 0.5 * total) {
      median = pairs[i].dist;
      break;
    }
  }
  return median;
}

void NominalCloneFromEngine(const OrbitEngine* engine, CloneRecord& rec) {
  const ElementBlock& el = engine->m_state.m_el;
  rec = CloneRecord{};
  rec.epoch = engine->m_state.m_dEpoch;
  rec.T = el.m_dT;
  rec.q = el.m_dQ;
  rec.e = el.m_dE;
  rec.peri = el.m_dPeri;
  rec.node = el.m_dNode;
  rec.incl = el.m_dIncl;
  rec.A1 = el.m_dA1;
  rec.A2 = el.m_dA2;
  rec.A3 = el.m_dA3;
  rec.weight = 1.0;
  rec.plausible = 1;
  rec.rms = -1.0;
  rec.range = 0.0;
}

void ApplyCloneElements(const CloneRecord& rec, IntegrationState* state) {
  ElementBlock& el = state->m_el;
  state->m_dEpoch = el.m_dEpoch = rec.epoch;
  el.m_dT = rec.T;
  el.m_dQ = rec.q;
  el.m_dE = rec.e;
  el.m_dPeri = rec.peri;
  el.m_dNode = rec.node;
  el.m_dIncl = rec.incl;
  el.m_dA1 = rec.A1;
  el.m_dA2 = rec.A2;
  el.m_dA3 = rec.A3;
  if (rec.e <= 0.97) {
    el.m_dA = rec.q / (1.0 - rec.e);
    el.m_dN = kGaussK / std::pow(el.m_dA, 1.5);
    el.m_dM = ReduceAngle((rec.epoch - rec.T) * el.m_dN);
  } else {
    el.m_dA = el.m_dN = el.m_dM = -1.0;
  }
}

int SetupCloneRun(OrbitEngine* engine, const DetClass* det, IntegrationState* state, const CloneRecord& rec,
                  double endJd) {
  *state = engine->m_state;
  SetupIntegrationState(engine, state);
  state->m_pApproach = nullptr;
  state->m_pImpacts = nullptr;
  state->m_pGeoTrack = nullptr;
  state->m_pElementLog = nullptr;
  state->m_pProgress = state->m_pStatus = nullptr;
  ApplyCloneElements(rec, state);
  state->m_dEnd = endJd;
  if (det && det->m_nObsCount > 0) {
    state->m_dObsFirst = det->m_pOrbObs[0].m_dJdTt;
    state->m_dObsLast = det->m_pOrbObs[det->m_nObsCount - 1].m_dJdTt;
  }
  state->m_chMode = kModeCalculation;
  state->m_dDirection = rec.epoch < endJd ? 1.0 : -1.0;
  state->m_nBodies = 1;
  state->m_nSingleBody = 0;
  state->m_nSolveMask = 1;
  if (engine->m_bNonGrav) state->m_nSolveMask |= engine->m_bNonGravA3 ? 0x380 : 0x180;
  state->m_chElementForm = engine->m_state.m_bAsteroid == 1 ? 'M' : 'C';
  // A record that is no orbit never reaches the step estimate.
  const ElementBlock& el = state->m_el;
  if (rec.q < 0.0 || rec.e < 0.0 || rec.incl > kPi) return 0;
  for (double v : {rec.T, rec.q, rec.e, rec.peri, rec.node, rec.incl, el.m_dA, el.m_dN, el.m_dM})
    if (!std::isfinite(v)) return 0;
  // Close passes need the automatic step of a calculation run.
  state->m_bStepControlWanted = 1;
  const double h = CTessaruneLib::AutoIntegrationStep(state);
  state->m_nStepClass = h >= 1.0 ? 0 : (h >= 0.5 ? 1 : (h >= 0.25 ? 2 : 3));
  state->m_dStep = state->m_dDirection * h;
  state->m_dStep2 = h * h;
  return std::fabs(5.0 * h) < std::fabs(endJd - rec.epoch) ? 1 : 0;
}

void SampleApproachTrack(const GeoTrackBuffer& points, double approachJd, const ImpactTracker* hit,
                         ApproachTrack& out) {
  out = ApproachTrack{};
  const int last = hit ? -1 : 6;
  for (int i = -6; i <= last && out.count < kApproachTrackMax; ++i) {
    const double t = approachJd + 5.0 * i * kMinuteDays;
    int a = -1, b = -1;
    for (int k = 0; k < points.m_nCount; ++k) {
      const double tk = points.m_pTimes[k];
      if (tk <= t && (a < 0 || tk >= points.m_pTimes[a])) a = k;
      if (tk >= t && (b < 0 || tk < points.m_pTimes[b])) b = k;
    }
    if (a < 0 || b < 0) continue;
    const double ta = points.m_pTimes[a], tb = points.m_pTimes[b];
    const double f = tb == ta ? 0.0 : (t - ta) / (tb - ta);
    double r[3];
    for (int c = 0; c < 3; ++c) r[c] = points.m_pPositions[a][c] + f * (points.m_pPositions[b][c] - points.m_pPositions[a][c]);
    double lat = 0.0, lon = 0.0;
    PlanetRotationSubPoint(kBodyEarth, t, r[0], r[1], r[2], lat, lon);
    const int n = out.count++;
    out.minutes[n] = 5.0 * i;
    out.lat[n] = lat * 180.0 / kPi;
    out.lon[n] = lon * 180.0 / kPi;
    out.km[n] = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]) * kAuKm;
  }
  if (hit && out.count < kApproachTrackMax) {
    const int n = out.count++;
    out.minutes[n] = 0.0;
    out.lat[n] = hit->m_dLat * 180.0 / kPi;
    out.lon[n] = hit->m_dLon * 180.0 / kPi;
    out.km[n] = hit->m_dHitDistKm;
  }
}

void RunCloneApproach(OrbitEngine* engine, IntegrationState* state, EngineWindow* window, CloneApproach& out) {
  out = CloneApproach{};
  out.dist = kNoDistance;
  auto trackers = std::make_unique<ImpactTrackerSet>();
  auto track = std::make_unique<GeoTrackBuffer>();
  state->m_pImpacts = trackers.get();
  state->m_pGeoTrack = track.get();
  const int autoRunning = engine->m_bAutoRunning, autoStop = engine->m_bAutoStop;
  engine->m_bAutoRunning = engine->m_bAutoStop = 1;
  out.result = IntegrateOrbit(engine, window, nullptr, state);
  engine->m_bAutoRunning = autoRunning;
  engine->m_bAutoStop = autoStop;
  state->m_pImpacts = nullptr;
  state->m_pGeoTrack = nullptr;
  if (out.result != kEngineDone && out.result != kEngineImpact) return;
  if (track->m_nCount > 0) {
    std::vector<TimeDistance> pts(track->m_nCount);
    for (int i = 0; i < track->m_nCount; ++i) {
      const double* p = track->m_pPositions[i];
      pts[i] = {track->m_pTimes[i], p[0] * p[0] + p[1] * p[1] + p[2] * p[2]};
    }
    std::stable_sort(pts.begin(), pts.end(), [](const TimeDistance& a, const TimeDistance& b) { return a.t < b.t; });
    RefineMinimum(pts, out.dist, out.jd);
  }
  // The integrator sees every step, also beyond the recording radius: its
  // minimum comes with its own time, so a distance is never shown without one.
  if (state->m_dMinEarthDistance < 9e8 && state->m_dMinEarthDistance < out.dist) {
    out.dist = state->m_dMinEarthDistance;
    out.jd = state->m_dMinEarthTime;
  }
  const ImpactTracker& earth = trackers->m_trackers[kBodyEarth];
  if (earth.m_bHit) {
    out.impact = 1;
    out.jd = earth.m_dHitJd;
    out.dist = std::min(out.dist, earth.m_dHitDistKm / kAuKm);
    SampleApproachTrack(*track, out.jd, &earth, out.track);
  } else if (out.dist <= kLunarDistanceAu) {
    SampleApproachTrack(*track, out.jd, nullptr, out.track);
  }
}

namespace {

// What one orbit's two legs gave.
struct OrbitOutcome {
  bool valid = false;
  CloneApproach kept{};
};

OrbitOutcome ScreenOneOrbit(OrbitEngine* engine, const DetClass* det, IntegrationState* state,
                            const CloneRecord& rec, double start, double end, double lastObs, EngineWindow* window) {
  OrbitOutcome o;
  o.kept.dist = kNoDistance;
  int succeeded = 0;
  bool failed = false;
  const double targets[2] = {start < rec.epoch ? start : rec.epoch, end > rec.epoch ? end : rec.epoch};
  for (double target : targets) {
    if (target == rec.epoch) continue;
    if (!SetupCloneRun(engine, det, state, rec, target)) continue;
    CloneApproach a;
    RunCloneApproach(engine, state, window, a);
    if ((a.result != kEngineDone && a.result != kEngineImpact) || (a.impact && a.jd < lastObs)) {
      failed = true;
      break;
    }
    ++succeeded;
    const bool take = a.impact ? (!o.kept.impact || a.jd < o.kept.jd) : (!o.kept.impact && a.dist < o.kept.dist);
    if (take) o.kept = a;
  }
  o.valid = succeeded > 0 && !failed;
  return o;
}

// The closest plausible clone's solution file; false when it was not written.
bool WriteClosestCloneFile(CDeterminationDisplay& view, const NeocpScanRow& row, const CloneRecord& clone) {
  IntegrationState state = view.m_pEngine->m_state;
  ApplyCloneElements(clone, &state);
  double y = 0, m = 0, d = 0;
  JdToCalendar(DeltaT(kDeltaTTtToUt, row.clo_jd), y, m, d);
  const std::string when = Printf("%d/%d/%.4f UT", static_cast<int>(y), static_cast<int>(m), d);
  const std::string residual =
      clone.rms >= 0.0
          ? Printf("この軌道の観測との平均残差 %.3f\" (名目軌道は %.3f\")", clone.rms, row.rms)
          : Printf("クローンの散らばりに使った観測誤差 %.3f\" (%s)", row.sigma0,
                   row.lov_mode != 0 ? "LOVに沿って等間隔" : "正規分布の点群");
  const std::string note = Printf(
      "NEOCPの一括走査: %s のクローン%d本(%s)のうち、地球にいちばん近づいた軌道\n%s  地心距離 %.6f AU (%.2f LD, %.0f km)  "
      "%s\n観測にいちばん合う軌道(名目軌道)ではありません。観測の誤差の範囲でありうる軌道の1つです。\n%s",
      row.desig.c_str(), row.n_valid, row.mode == 1 ? "距離走査の標本" : "共分散から作成", when.c_str(),
      row.clo_dist, row.clo_dist / kLunarDistanceAu, row.clo_dist * kAuKm, row.clo_impact ? "地球に衝突" : "最接近",
      residual.c_str());
  return WriteSolutionFileForBatch(view, row.closest_path, state, note, 1);
}

// Whether the clone replaces the row's closest clone.
bool IsCloser(const NeocpScanRow& row, const CloneApproach& a) {
  if (a.impact) return !row.clo_impact || a.jd < row.clo_jd;
  return !row.clo_impact && a.dist < row.clo_dist;
}

}  // namespace

namespace {

// The interval screened: the observations widened by the settings and kept
// inside the planetary file; false, with the row's failure, when there is none.
bool ScreeningInterval(const DetClass* det, const NeocpScanSettings& settings, NeocpScanRow& row, double& start,
                       double& end) {
  if (!det || det->m_nObsCount < 1) {
    row.status = 4;
    AppendScanNote(row.note, "観測がありません");
    return false;
  }
  const double firstObs = det->m_pOrbObs[0].m_dJdTt, lastObs = det->m_pOrbObs[det->m_nObsCount - 1].m_dJdTt;
  start = firstObs - settings.m_dDaysBefore, end = lastObs + settings.m_dDaysAfter;
  // Without a planetary file the clamp would turn the interval inside out
  // and every orbit would "fail": say what is missing instead.
  if (!g_pJplEph || !(g_dJplEnd > g_dJplStart)) {
    row.status = 4;
    AppendScanNote(row.note, "惑星暦ファイル(JPL DE)が開かれていないため、地球への接近を調べられません");
    row.clones_path.clear();
    row.closest_path.clear();
    return false;
  }
  start = std::max(start, g_dJplStart + kScreenMarginDays);
  end = std::min(end, g_dJplEnd - kScreenMarginDays);
  if (!(start < end)) {
    row.status = 4;
    AppendScanNote(row.note, "調べる期間が惑星暦ファイルの範囲に入りません");
    row.clones_path.clear();
    row.closest_path.clear();
    return false;
  }
  return true;
}

void ResetScreeningCounts(NeocpScanRow& row, int count) {
  row.n_clones = count;
  row.n_valid = row.n_impact = 0;  // n_invalid may already hold clones that were no orbit
  row.clo_dist = kNoDistance;
  row.clo_jd = 0;
  row.clo_impact = 0;
  row.imp_jd_min = row.imp_jd_max = 0;
}

void ShowScreeningStatus(ScanProgress& progress, const NeocpScanRow& row, int j, int count) {
  if (j == 0)
    progress.SetStatusText(Printf("%s: 名目軌道の最接近を調べています...", row.desig.c_str()));
  else if (row.clo_dist < kNoDistance)
    progress.SetStatusText(Printf("%s: クローン %d/%d  衝突 %d  最小 %.2f LD", row.desig.c_str(), j, count,
                                  row.n_impact, row.clo_dist / kLunarDistanceAu));
  else
    progress.SetStatusText(Printf("%s: クローン %d/%d  衝突 %d", row.desig.c_str(), j, count, row.n_impact));
}

// What the screened orbits add up to beyond the row's own counts.
struct ScreeningTally {
  double totalWeight = 0.0, impactWeight = 0.0;
  int nPairs = 0;
  bool nominalDone = false, nominalFailed = false, haveClosest = false;
  CloneRecord closest{};
};

void TallyNominal(const OrbitOutcome& o, NeocpScanRow& row, ScreeningTally& tally) {
  tally.nominalDone = true;
  if (o.valid) {
    row.nom_dist = o.kept.dist;
    row.nom_jd = o.kept.jd;
    row.nom_impact = o.kept.impact;
  } else {
    tally.nominalFailed = true;
  }
}

void TallyClone(const OrbitOutcome& o, const CloneRecord& rec, NeocpScanRow& row, DistanceWeight* pairs,
                ScreeningTally& tally) {
  if (!o.valid) {
    ++row.n_invalid;
    return;
  }
  ++row.n_valid;
  tally.totalWeight += rec.weight;
  pairs[tally.nPairs++] = {o.kept.dist, rec.weight};
  if (o.kept.impact) {
    ++row.n_impact;
    tally.impactWeight += rec.weight;
    if (row.imp_jd_min == 0 || o.kept.jd < row.imp_jd_min) row.imp_jd_min = o.kept.jd;
    if (o.kept.jd > row.imp_jd_max) row.imp_jd_max = o.kept.jd;
  }
  if (rec.plausible && IsCloser(row, o.kept)) {
    row.clo_dist = o.kept.dist;
    row.clo_jd = o.kept.jd;
    row.clo_impact = o.kept.impact;
    row.clo_rms = rec.rms;
    tally.closest = rec;
    tally.haveClosest = true;
  }
}

// The closest plausible clone's elements and solution file, and the
// clone-track file unless the scan was aborted; a path not written is cleared.
void WriteScreeningFiles(CDeterminationDisplay& view, NeocpScanRow& row, const ScreeningTally& tally,
                         const std::vector<CloneTrackRecord>& tracks, bool aborted) {
  if (tally.haveClosest && !row.closest_path.empty()) {
    const CloneRecord& closest = tally.closest;
    row.c_tpass = closest.T;
    row.c_qdis = closest.q;
    row.c_ecc = closest.e;
    row.c_peri = closest.peri;
    row.c_node = closest.node;
    row.c_inc = closest.incl;
    if (!WriteClosestCloneFile(view, row, closest)) row.closest_path.clear();
  } else {
    row.closest_path.clear();
  }
  if (!aborted && !tracks.empty() && !row.clones_path.empty()) {
    if (!WriteGlobeCloneTracks(row.clones_path, row.desig, tracks.data(), static_cast<int>(tracks.size())))
      row.clones_path.clear();
  } else {
    row.clones_path.clear();
  }
}

// The row's status and notes after the loop, and the screening's result.
int ScreeningResult(NeocpScanRow& row, const ScreeningTally& tally, int pump, int count) {
  if (pump == 1) {
    row.status = 7;
    return -9;
  }
  if (tally.nominalFailed && row.n_valid == 0) {
    row.status = 4;
    row.note = "名目軌道を調べる期間まで積分できませんでした";
    return -1;
  }
  if (!tally.nominalDone) {
    row.status = 6;
    return -1;
  }
  if (tally.nominalFailed)
    AppendScanNote(row.note, "名目軌道は調べる期間まで積分できませんでした(最後の観測より前に地球へ落ちる軌道か、積分の失敗)。"
                         "クローンだけを調べました");
  if (pump == 2) AppendScanNote(row.note, Printf("制限時間のためクローンは%d本で打ち切りました", row.n_invalid + row.n_valid));
  row.status = row.n_valid > 0 ? 9 : 8;
  if (count > 0 && row.n_invalid * 100 > count * 20)
    AppendScanNote(row.note, Printf("クローンの%d%%が積分できず、割合は確率とみなせません", row.n_invalid * 100 / count));
  return 0;
}

}  // namespace

int ScreenEarthApproaches(CDeterminationDisplay& view, const NeocpScanSettings& settings, NeocpScanRow& row,
                          const CloneRecord& nominal, const CloneRecord* clones, int count, EngineWindow* window,
                          ScanProgress* progress) {
  OrbitEngine* engine = view.m_pEngine;
  const DetClass* det = view.m_pDetClass;
  double start = 0, end = 0;
  if (!ScreeningInterval(det, settings, row, start, end)) return -1;
  const double lastObs = det->m_pOrbObs[det->m_nObsCount - 1].m_dJdTt;
  row.scan_jd0 = std::min(start, nominal.epoch);
  row.scan_jd1 = std::max(end, nominal.epoch);

  auto state = std::unique_ptr<IntegrationState>(new (std::nothrow) IntegrationState{});
  std::unique_ptr<DistanceWeight[]> pairs(new (std::nothrow) DistanceWeight[count + 1]);
  if (!state || !pairs) {
    row.status = 4;
    row.note = "メモリーが足りません";
    return -1;
  }
  std::vector<CloneTrackRecord> tracks;
  tracks.reserve(count + 1);

  const int savedCancel = engine->m_nCancel;
  engine->m_nCancel = 0;
  const double savedRadius = g_dGeoTrackRadius;
  if (g_dGeoTrackRadius < kScreenMinRadiusAu) g_dGeoTrackRadius = kScreenMinRadiusAu;
  ResetScreeningCounts(row, count);
  EngineClock& clock = engine->m_pClock ? *engine->m_pClock : SystemEngineClock();
  uint32_t lastStatus = clock.TickMs() - kStatusRefreshMs - 1;
  ScreeningTally tally;
  int pump = 0;
  for (int j = 0; j <= count; ++j) {
    const uint32_t now = clock.TickMs();
    if (progress && now - lastStatus > kStatusRefreshMs) {
      lastStatus = now;
      ShowScreeningStatus(*progress, row, j, count);
    }
    if (progress) pump = progress->PumpAndCheckCancel();
    if (pump != 0) break;
    engine->m_nCancel = 0;
    const CloneRecord& rec = j == 0 ? nominal : clones[j - 1];
    const OrbitOutcome o = ScreenOneOrbit(engine, det, state.get(), rec, start, end, lastObs, window);
    if (o.valid && o.kept.track.count > 0)
      tracks.push_back({j == 0 ? 1 : 0, o.kept.impact, rec.plausible, rec.weight, o.kept.jd, o.kept.track});
    if (j == 0)
      TallyNominal(o, row, tally);
    else
      TallyClone(o, rec, row, pairs.get(), tally);
  }
  if (savedRadius > 0.0) g_dGeoTrackRadius = savedRadius;
  engine->m_nCancel = savedCancel;

  row.imp_prob = tally.totalWeight > 0.0 ? tally.impactWeight / tally.totalWeight : 0.0;
  row.clo_median = row.n_valid > 0 ? WeightedMedianDistance(pairs.get(), tally.nPairs) : kNoDistance;
  WriteScreeningFiles(view, row, tally, tracks, pump == 1);
  return ScreeningResult(row, tally, pump, count);
}

int MakeCovarianceClones(CDeterminationDisplay& view, const NeocpScanSettings& settings, NeocpScanRow& row,
                         EngineWindow* window, ScanProgress* progress) {
  OrbitEngine* engine = view.m_pEngine;
  row.mode = 0;
  bool wanted = settings.m_nClones > 0;
  const auto belongs = [engine]() {
    return engine->m_bCovarianceValid == 1 && std::fabs(engine->m_dCovarianceEpoch - engine->m_state.m_dEpoch) <= 1e-6 &&
           ComputeObservationSignature(engine) == engine->m_nCovarianceSignature;
  };
  if (wanted && !belongs()) {
    const int autoRunning = engine->m_bAutoRunning, autoStop = engine->m_bAutoStop;
    engine->m_bAutoRunning = engine->m_bAutoStop = 1;
    engine->m_nCancel = 0;
    // A scan leaves the view's residual list alone.
    const int quietRun = view.m_bQuietRun;
    view.m_bQuietRun = 1;
    std::string log;
    const int r = IterateImprovement(ViewFitRun(view).Run(), engine->m_state.m_dEpoch, 1, log, 1);
    view.m_bQuietRun = quietRun;
    engine->m_bAutoRunning = autoRunning;
    engine->m_bAutoStop = autoStop;
    if (r != 0 || !belongs()) {
      wanted = false;
      AppendScanNote(row.note, "共分散がいまの解と対応していないため、クローンは作っていません");
    } else {
      TakeEngineOrbit(engine, row);
    }
  }
  const int s = std::min(engine->m_nCovarianceSize, 9);
  if (s < 1) wanted = false;
  CloneRecord nominal;
  NominalCloneFromEngine(engine, nominal);
  double f = 1.0;
  const double sigma0 = engine->m_dSigma0;
  if (settings.m_bSysError && sigma0 > 0.0) f = std::sqrt(sigma0 * sigma0 + 0.25) / sigma0;
  row.sigma0 = f * sigma0;
  std::vector<CloneRecord> clones;
  if (wanted) {
    clones.reserve(settings.m_nClones);
    CloneSampler sampler;
    sampler.Init(engine->m_covariance, s, f, CloneSeed(row.desig, view.m_pDetClass->m_nObsCount));
    row.lov_mode = sampler.lov_mode;
    row.lov_ratio = sampler.lov_ratio;
    row.cov_diag_only = sampler.cov_diag_only;
    int invalid = 0;
    for (int j = 1; j <= settings.m_nClones; ++j) {
      double offsets[9], weight = 1.0;
      sampler.Draw(j, settings.m_nClones, offsets, weight);
      CloneRecord c = nominal;
      c.weight = weight;
      if (PerturbCloneElements(c, offsets, s))
        clones.push_back(c);
      else
        ++invalid;
    }
    row.n_invalid = invalid;
    const int result = ScreenEarthApproaches(view, settings, row, nominal, clones.data(),
                                             static_cast<int>(clones.size()), window, progress);
    row.n_clones = settings.m_nClones;
    if (result == 0 && row.cov_diag_only == 1)
      AppendScanNote(row.note, "共分散を分解できず相関を捨てて作ったクローンです(広がりは目安)");
    return result;
  }
  row.n_invalid = 0;
  const int result = ScreenEarthApproaches(view, settings, row, nominal, nullptr, 0, window, progress);
  row.n_clones = 0;
  return result;
}

std::string FormatGlobeCloneTracks(const std::string& desig, const CloneTrackRecord* recs, int count) {
  std::string text = "# NEOCPの一括走査: " + desig +
                     " の名目軌道(N)とクローン(C)のうち、月の軌道の内側まで来たものの、最接近のまわりの軌跡(地球儀の表示用)\r\n"
                     "# points = 最接近(衝突したものは衝突)からのずれ(分),緯度(度),経度(度。東経が正),地心距離(km) "
                     "を「;」でつないだもの。緯度・経度は地球に固定した座標\r\n";
  text += kCloneTrackHeader;
  text += "\r\n";
  for (int i = 0; i < count; ++i) {
    const CloneTrackRecord& r = recs[i];
    text += Printf("%s\t%d\t%d\t%.6g\t%.6f\t", r.nominal ? "N" : "C", r.impact, r.plausible, r.weight, r.jd);
    const int n = std::clamp(r.track.count, 0, kApproachTrackMax);
    for (int k = 0; k < n; ++k) {
      if (k > 0) text += ";";
      text += Printf("%.0f,%.5f,%.5f,%.1f", r.track.minutes[k], r.track.lat[k], r.track.lon[k], r.track.km[k]);
    }
    text += "\r\n";
  }
  return text;
}

int WriteGlobeCloneTracks(const std::string& path, const std::string& desig, const CloneTrackRecord* recs,
                          int count) {
  return WriteUtf8BomFile(path, FormatGlobeCloneTracks(desig, recs, count));
}

int ParseGlobeCloneTracks(const std::string& text, std::vector<CloneTrackRecord>& out) {
  out.clear();
  std::vector<std::string> lines, fields;
  SplitLines(text, lines);
  bool header = false;
  for (const std::string& line : lines) {
    if (!line.empty() && line[0] == '#') continue;
    if (!header) {
      if (line != kCloneTrackHeader) return 0;
      header = true;
      continue;
    }
    SplitTabFields(line, fields);
    if (fields.size() != 6 || (fields[0] != "N" && fields[0] != "C")) continue;
    CloneTrackRecord r{};
    r.nominal = fields[0] == "N" ? 1 : 0;
    r.impact = ParseLeadingInt(fields[1]);
    r.plausible = ParseLeadingInt(fields[2]);
    r.weight = ParseLeadingDouble(fields[3]);
    r.jd = ParseLeadingDouble(fields[4]);
    size_t pos = 0;
    const std::string& pts = fields[5];
    while (pos <= pts.size() && r.track.count < kApproachTrackMax) {
      size_t next = pts.find(';', pos);
      if (next == std::string::npos) next = pts.size();
      const std::string piece = pts.substr(pos, next - pos);
      pos = next + 1;
      double v[4];
      if (!ParsePoint(piece, v)) continue;
      const int n = r.track.count++;
      r.track.minutes[n] = v[0];
      r.track.lat[n] = v[1];
      r.track.lon[n] = v[2];
      r.track.km[n] = v[3];
    }
    if (r.track.count > 0) out.push_back(r);
  }
  return header ? 1 : 0;
}

std::string FormatImpactPercent(double probability) {
  const double p = probability * 100.0;
  if (p >= 99.95) return "100%";
  if (p >= 1.0) return Printf("%.1f%%", p);
  return Printf("%.2g%%", p);
}

void PrepareCloneGlobeView(const NeocpScanRow& row, const std::vector<CloneTrackRecord>& recs, CloneGlobeView& out) {
  out = CloneGlobeView{};
  for (const CloneTrackRecord& r : recs) {
    if (r.nominal) {
      ++out.nominalCount;
      if (r.jd > 0.0) out.refJd = r.jd;
    } else {
      ++out.cloneCount;
    }
  }
  if (!(out.refJd > 0.0)) out.refJd = row.clo_jd > 0.0 ? row.clo_jd : row.nom_jd;
  double s0[3], s1[3], ofDate[3], lambda = 0, beta = 0, dist = 0;
  if (out.refJd > 0.0) GeocentricSun(out.refJd, s0, ofDate, lambda, beta, dist);
  // Without a planetary file the Sun comes back as a zero vector: show no
  // Sun rather than one on the equator at the sidereal time.
  if (out.refJd > 0.0 && dist > 0.0) {
    GeocentricSun(out.refJd + 0.02, s1, ofDate, lambda, beta, dist);
    double lat = 0, lon = 0;
    PlanetRotationSubPoint(kBodyEarth, out.refJd, s0[0], s0[1], s0[2], lat, lon);
    out.subSolarLat = lat * 180.0 / kPi;
    out.subSolarLon = lon * 180.0 / kPi;
    out.subSolarValid = 1;
    const double d[3] = {-(s1[0] - s0[0]), -(s1[1] - s0[1]), -(s1[2] - s0[2])};
    const double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    lat = lon = 0.0;
    if (len > 0.0) PlanetRotationSubPoint(kBodyEarth, out.refJd, d[0] / len, d[1] / len, d[2] / len, lat, lon);
    out.apexLat = lat * 180.0 / kPi;
    out.apexLon = lon * 180.0 / kPi;
    out.apexValid = 1;
  }
  const size_t b = row.desig.find_first_not_of(" \t"), e = row.desig.find_last_not_of(" \t");
  out.caption = b == std::string::npos ? std::string() : row.desig.substr(b, e - b + 1);
  out.info = Printf("地球衝突確率 %s  (%d/%d)   月の内側を通る %d本", FormatImpactPercent(row.imp_prob).c_str(),
                    row.n_impact, row.n_valid, out.cloneCount);
  out.status = Printf("%s: クローン%d本のうち月の軌道の内側まで来た%d本を地球儀に出しました(%s)", row.desig.c_str(),
                      row.n_valid, out.cloneCount,
                      out.nominalCount > 0 ? "名目軌道は赤い丸" : "名目軌道は月の軌道の内側まで来ません");
}

void AppendScanNote(std::string& note, const std::string& text) {
  if (!note.empty()) note += " / ";
  note += text;
}

void TakeEngineOrbit(const OrbitEngine* engine, NeocpScanRow& row) {
  const ElementBlock& el = engine->m_state.m_el;
  row.n_used = engine->m_nUsedObs;
  row.rms = engine->m_dMeanResidual;
  row.epoch = engine->m_state.m_dEpoch;
  row.tpass = el.m_dT;
  row.qdis = el.m_dQ;
  row.ecc = el.m_dE;
  row.peri = el.m_dPeri;
  row.node = el.m_dNode;
  row.inc = el.m_dIncl;
}

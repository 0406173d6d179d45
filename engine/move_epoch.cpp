#include "engine/move_epoch.h"

#include <cmath>
#include <memory>

#include "astro/angle_units.h"
#include "astro/body_rotation.h"
#include "astro/constants.h"
#include "astro/impact_tracker.h"
#include "astro/jpl_eph.h"
#include "astro/mpeph_store.h"
#include "astro/time_scales.h"
#include "engine/approach_graph.h"
#include "engine/collision.h"
#include "engine/determination_host.h"
#include "engine/differential_correction.h"
#include "engine/integration_drivers.h"
#include "engine/orbit_engine.h"
#include "engine/stormer_cowell.h"
#include "engine/tool_sinks.h"
#include "platform/numbers.h"
#include "platform/text_util.h"
#include "platform/ui_services.h"

namespace {

constexpr double kFar = 9e8;  // AU: no minimum recorded

const char* BodyName(int b) { return b >= 0 && b < kBodyCount ? kImpactBodyNames[b] : "?"; }

std::string TextOf(const EngineWindow* w) { return w && w->IsLive() ? w->GetText() : std::string(); }
void SetTextOf(EngineWindow* w, const std::string& text) {
  if (w && w->IsLive()) w->SetText(text);
}
void SetProgressOf(EngineWindow* w, int percent) {
  if (w && w->IsLive()) w->SetProgress(percent);
}

// Integration with the busy cursor shown.
int RunWithBusyCursor(OrbitEngine* engine, EngineWindow* result, IntegrationState* state) {
  Ui().SetBusyCursor(true);
  const int r = IntegrateOrbit(engine, result, nullptr, state);
  Ui().SetBusyCursor(false);
  return r;
}

void AttachWindows(IntegrationState* state, EngineWindow* progress, EngineWindow* status) {
  state->m_pProgress = progress;
  state->m_pStatus = status;
  state->m_dProgressStart = state->m_dEpoch;
  state->m_dwProgressTick = 0;
  SetProgressOf(progress, 0);
}

// Step 6: the windows' closing status.
void ShowRunStatus(int r, EngineWindow* progress, EngineWindow* status) {
  if (r == kEngineDone) {
    SetProgressOf(progress, 100);
    SetTextOf(status, "計算完了");
  } else if (r == kEngineImpact) {
    SetTextOf(status, "衝突を検出したため積分を打ち切りました");
  } else if (r == kEngineCancelled) {
    SetTextOf(status, "中止しました");
  }
}

void WriteRunLog(OrbitEngine* engine, EngineWindow* result) {
  if (engine->m_strRunReport.empty()) return;
  EngineWindow* log = engine->m_pLogWnd;
  if (log && log->IsLive()) log->SetText("");
  AppendEngineLog(engine, result, "\r\n【積分間隔のログ】\r\n" + engine->m_strRunReport);
  if (log && log->IsLive()) log->ScrollToTop();
}

// Step 9: after an impact the block shows the elements before the body's
// sphere of influence was entered, or the starting ones.
void ShowElementsBeforeImpact(IntegrationState* state, const ElementBlock& start, double startEpoch,
                              EngineWindow* result) {
  const int b = state->m_pImpacts ? state->m_pImpacts->FirstHitOrClosest() : kBodyEarth;
  double y = 0, m = 0, d = 0;
  JdToCalendar(state->m_dEnd, y, m, d);
  std::string note = FormatC("※指定元期(%d/%d/%.1f)の軌道要素は、その前に%sへ衝突したため表示しません。\r\n",
                             static_cast<int>(y), static_cast<int>(m), d, BodyName(b));
  ElementBlock& el = state->m_el;
  if (b >= 0 && b < kBodyCount && state->m_bSoiEntered[b]) {
    el.m_dT = state->m_dSoiT[b];
    el.m_dQ = state->m_dSoiQ[b];
    el.m_dE = state->m_dSoiE[b];
    el.m_dPeri = state->m_dSoiPeri[b];
    el.m_dNode = state->m_dSoiNode[b];
    el.m_dIncl = state->m_dSoiIncl[b];
    el.m_dM = state->m_dSoiM[b];
    el.m_dA = state->m_dSoiA[b];
    // P, Q and n of the same moment, so that the whole block belongs to its epoch.
    for (int c = 0; c < 3; ++c) {
      el.m_dP[c] = state->m_dSoiP[b][c];
      el.m_dQvec[c] = state->m_dSoiQvec[b][c];
    }
    el.m_dN = el.m_dA > 0.0 ? kGaussK / std::pow(el.m_dA, 1.5) : -1.0;
    el.m_dEpoch = state->m_dEpoch = state->m_dSoiEpoch[b];
    note += FormatC("※以下は%sの影響圏(半径 %.3f AU)に入る直前の軌道要素です。\r\n\r\n", BodyName(b),
                    kSoiRadiusAu[b]);
  } else {
    // The whole starting block: its a, M, n, P and Q belong to the starting epoch too.
    el = start;
    el.m_dEpoch = state->m_dEpoch = startEpoch;
    note += FormatC("※積分開始時点で既に%sの影響圏内だったため、開始時(元の元期)の軌道要素を表示しています。\r\n\r\n",
                    BodyName(b));
  }
  CurrentDetermination()->ShowElementText(result, state, 4);
  SetTextOf(result, note + TextOf(result));
}

// Step 12: the step class from the smallest step actually used.
void UpdateStepClass(IntegrationState* state) {
  if (state->m_bStepControlWanted != 1 || !(state->m_dBaseStep > 0.0)) return;
  const double s = state->m_dBaseStep / std::ldexp(1.0, state->m_nMaxStepLevel);
  state->m_nStepClass = s >= 1.0 ? 0 : s >= 0.5 ? 1 : s >= 0.25 ? 2 : 3;
}

// Step 11: the return run to the starting epoch and its error block. The
// whole forward state is kept and put back, so that every element of the
// block, the per-body records and the attachments belong to the end time.
void RoundTrip(OrbitEngine* engine, EngineWindow* result, IntegrationState* state, EngineWindow* progress,
               EngineWindow* status, const ElementBlock& start, double startEpoch) {
  const std::string kept = TextOf(result);
  auto forward = std::make_unique<IntegrationState>(*state);
  state->m_pApproach = nullptr;
  state->m_pImpacts = nullptr;
  state->m_nOrbitKind = 0;
  state->m_dEpoch = state->m_el.m_dEpoch;
  state->m_dEnd = startEpoch;
  state->m_dDirection = -state->m_dDirection;
  state->m_dStep = -state->m_dStep;
  AttachWindows(state, progress, status);
  const int r = RunWithBusyCursor(engine, result, state);
  state->m_pProgress = state->m_pStatus = nullptr;
  std::string block;
  if (r == kEngineDone) {
    SetProgressOf(progress, 100);
    SetTextOf(status, "計算完了");
    block = FormatRoundTripBlock(start, startEpoch, state->m_el, state->m_el.m_dEpoch);
  } else {
    if (r == kEngineCancelled) SetTextOf(status, "中止しました");
    block = "\r\n【積分誤差】復路の積分が完了しなかったため計算できませんでした。\r\n";
  }
  *state = *forward;
  SetTextOf(result, kept + block);
}

}  // namespace

std::string FormatSurfaceNotes(const IntegrationState* state) {
  std::string text;
  for (int i = 0; i < kBodyCount; ++i) {
    const double R = kCollisionRadiusKm[i];
    const double dmin = state->m_dCollMinDistance[i];
    if (R <= 0.0 || dmin >= kFar) continue;
    const double rAu = R / kAstronomicalUnitKm;
    if (dmin > 3.0 * rAu) continue;
    int y, mo, d, h, mi;
    CollisionTimeUtc(state->m_dCollMinTime[i], y, mo, d, h, mi);
    if (dmin <= rAu && !state->m_bCollided[i])
      text += FormatC("【惑星衝突(事後判定)】%s の表面下に到達していました: %d/%02d/%02d %02d:%02d UTC 頃 "
                      "(最小中心距離 %.0f km < 半径 %.0f km)\r\n",
                      BodyName(i), y, mo, d, h, mi, dmin * kAstronomicalUnitKm, R);
    else if (dmin > rAu)
      text += FormatC("【接近】%s の表面から %.0f km を通過: %d/%02d/%02d %02d:%02d UTC 頃 (中心距離は半径の %.2f 倍) "
                      "- 衝突には至りませんでした\r\n",
                      BodyName(i), (dmin - rAu) * kAstronomicalUnitKm, y, mo, d, h, mi, dmin / rAu);
  }
  return text;
}

namespace {

void PutNotesInFront(OrbitEngine* engine, EngineWindow* result, const std::string& notes) {
  if (notes.empty() || EngineRunsQuiet(*engine)) return;
  const std::string text = TextOf(result);
  const std::string& coll = engine->m_strCollisionReport;
  if (!coll.empty() && text.compare(0, coll.size(), coll) == 0)
    SetTextOf(result, coll + notes + text.substr(coll.size()));
  else
    SetTextOf(result, notes + "\r\n" + text);
}

bool HasHitOrTrack(const ImpactTrackerSet& set) {
  for (const ImpactTracker& t : set.m_trackers)
    if (t.m_bHit || !t.m_track.empty()) return true;
  return false;
}

std::string TrimmedObjectName() {
  const CDetermination* view = CurrentDetermination();
  return view ? std::string(TrimSpace(view->m_strObjectName)) : std::string();
}

}  // namespace

// ---- shared with the impact probability: the nominal approach on the globe ----

void ShowTrackerOnGlobe(GlobeSink& globe, const ImpactTracker& t) {
  for (const ImpactTrackPoint& p : t.m_track) globe.AddTrackPoint(p.latDeg, p.lonDeg, p.distKm, p.jdTT);
  double lat = 0, lon = 0;
  t.SubSolarPoint(lat, lon);
  globe.SetSubSolar(1, lat, lon);
  t.ApexSubPoint(lat, lon);
  globe.SetApex(1, lat, lon);
  int subEarth = 0;
  lat = lon = 0;
  if (t.m_nBody != kBodyEarth && g_pJplEph && g_pJplEph->IsOpen()) {
    const double time = t.ClosestApproachTime();
    double dir[3];
    if (JplPosition(time, kJplEarth, t.m_nBody + 1, dir) == 0) {
      double latRad = 0, lonRad = 0;
      PlanetRotationSubPoint(t.m_nBody, time, dir[0], dir[1], dir[2], latRad, lonRad);
      lat = latRad * kDegPerRad;
      lon = lonRad * kDegPerRad;
      subEarth = 1;
    }
  }
  globe.SetSubEarth(subEarth, lat, lon);
  if (t.m_bHit) {
    std::string when;
    t.FormatTimeUtc(when);
    globe.SetMarker(1, t.m_dLat * kDegPerRad, t.m_dLon * kDegPerRad, 255, "Impact\n" + when);
  }
}

namespace {

// Step 17: the approach path and the impact point on the globe.
void HandToGlobe(const IntegrationState* state) {
  const ImpactTrackerSet* set = state->m_pImpacts;
  if (!set || !HasHitOrTrack(*set)) return;
  const ImpactTracker& t = set->m_trackers[set->FirstHitOrClosest()];
  GlobeSink* globe = ToolSinks().OpenGlobe();
  if (!globe) return;
  const ElementBlock& el = state->m_el;
  globe->SetBody(t.m_nBody);
  globe->SetOrbitElements(el.m_dT, el.m_dQ, el.m_dE, el.m_dPeri, el.m_dNode, el.m_dIncl);
  globe->SetMarker(0, 0.0, 0.0, 0, "");
  globe->ClearCloneImpacts();
  globe->ClearCloneTracks();
  globe->SetSubCaption("");
  globe->SetCaption(TrimmedObjectName());
  if (OrbitDiagramSink* diagram = ToolSinks().OrbitDiagram()) diagram->SetImpactJd(t.m_bHit ? t.m_dHitJd : 0.0);
  globe->ClearPath();
  ShowTrackerOnGlobe(*globe, t);
  globe->ShowGlobe();
}

}  // namespace

std::string FormatRoundTripBlock(const ElementBlock& start, double startEpoch, const ElementBlock& back,
                                 double backEpoch) {
  const auto arcsec = [](double after, double before) {
    double d = after - before;
    while (d > kPi) d -= 2.0 * kPi;
    while (d <= -kPi) d += 2.0 * kPi;
    return d * kDegPerRad * 3600.0;
  };
  return "\r\n【積分誤差(往復積分による評価)】\r\n" +
         FormatC("  復路帰着日と開始元期のずれ: %+.6f 日\r\n", backEpoch - startEpoch) +
         FormatC("  ΔT    : %+.8f 日\r\n", back.m_dT - start.m_dT) +
         FormatC("  ΔPeri.: %+.6f \"\r\n", arcsec(back.m_dPeri, start.m_dPeri)) +
         FormatC("  ΔNode : %+.6f \"\r\n", arcsec(back.m_dNode, start.m_dNode)) +
         FormatC("  ΔIncl.: %+.6f \"\r\n", arcsec(back.m_dIncl, start.m_dIncl)) +
         FormatC("  Δq    : %+.3e AU\r\n", back.m_dQ - start.m_dQ) + FormatC("  Δe    : %+.3e\r\n", back.m_dE - start.m_dE);
}

int MoveEpochAndReport(OrbitEngine* engine, EngineWindow* result, IntegrationState* state, EngineWindow* progress,
                       EngineWindow* status, EngineWindow* approachEdit, int approachBody, int roundTrip) {
  if (BeginBusy(engine) != 0) return kEngineFailed;
  const ElementBlock start = state->m_el;
  const double startEpoch = state->m_dEpoch;

  AttachWindows(state, progress, status);
  SetTextOf(status, "");
  SetTextOf(result, "");
  if (engine->m_pLogWnd && engine->m_pLogWnd->IsLive()) engine->m_pLogWnd->SetText("");

  const int r = RunWithBusyCursor(engine, result, state);
  ShowRunStatus(r, progress, status);
  state->m_pProgress = state->m_pStatus = nullptr;
  WriteRunLog(engine, result);

  if (r == kEngineCancelled || r == kEngineFailed || r == kEnginePerturbersFailed) {
    EndBusy(engine);
    if (r == kEngineFailed) SetTextOf(result, "収束が起きなかったので計算を中止しました[21]");
    if (r == kEnginePerturbersFailed) SetTextOf(result, kMsgPlanetaryData);
    return r;
  }
  if (r == kEngineImpact) ShowElementsBeforeImpact(state, start, startEpoch, result);
  if (!engine->m_strCollisionReport.empty())
    SetTextOf(result, engine->m_strCollisionReport + "\r\n" + TextOf(result));

  UpdateStepClass(state);
  // The round trip stays inside the busy guard: commands stay refused and Cancel stops it.
  if (roundTrip == kMoveRoundTrip && r == kEngineDone) RoundTrip(engine, result, state, progress, status, start, startEpoch);
  EndBusy(engine);

  if (state->m_pApproach) {
    int members[kPerturberSetMaxMembers];
    const int n = GetPerturberSetMembers(engine->m_nAsteroidSet, members);
    ShowCloseApproaches(state->m_pApproach, approachEdit, approachBody, n + 10, state->m_nStepClass);
  }
  std::string notes = FormatSurfaceNotes(state);
  if (state->m_pImpacts && state->m_pImpacts->AnyHit()) {
    for (const ImpactTracker& t : state->m_pImpacts->m_trackers) {
      if (!t.m_bHit) continue;
      std::string report;
      t.FormatReport(report);
      notes += report;
    }
  }
  PutNotesInFront(engine, result, notes);
  HandToGlobe(state);
  return r;
}

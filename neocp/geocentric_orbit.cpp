#include "neocp/geocentric_orbit.h"

#include <algorithm>
#include <memory>
#include <new>

#include "astro/impact_tracker.h"
#include "astro/jpl_eph.h"
#include "determination/determination_display.h"
#include "determination/obs_loading.h"
#include "determination/solution_file.h"
#include "engine/move_epoch.h"
#include "engine/orbit_engine.h"
#include "engine/tool_sinks.h"
#include "neocp/earth_screening.h"
#include "neocp/scan_dlg.h"
#include "platform/app_services.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"

int GeoTrackRangeRowFor(double distance, double currentRadius)
{
  const double need = 1.5 * distance;
  if (!(distance < kScanNoDistance) || currentRadius >= need)
    return -1;
  int row = 6;
  for (int i = 0; i < 7; ++i) {
    if (kGeoTrackRadii[i] >= need) {
      row = i;
      break;
    }
  }
  return kGeoTrackRadii[row] == currentRadius ? -1 : row;
}

namespace {

// Outcome of the handler: the status line it leaves.
enum class GeoOutcome { Failed, Cancelled, Done };

} // namespace

void CNeocpScanDlg::ShowGeocentricOrbit(int closest)
{
  auto* view = dynamic_cast<CDeterminationDisplay*>(m_pView);
  if (m_bRunning || !view)
    return;
  const int r = GetSelectedRow();
  if (r < 0)
    return;
  const NeocpScanRow& row = m_pRows[r];
  const std::string& solution = closest ? row.closest_path : row.best_path;
  const double distance = closest ? row.clo_dist : row.nom_dist;
  const char* label = closest ? "いちばん近づくクローンの軌道" : "名目軌道";
  SetStatusText(FormatC("%s: 軌道を読み込んで、調べた期間を積分し直しています...", row.desig.c_str()));
  ScopedWaitCursor wait;
  OrbitEngine* engine = view->m_pEngine;
  std::string message;
  GeoOutcome outcome = GeoOutcome::Failed;
  [&] {
    if (row.obs_path.empty() || solution.empty()) {
      message = "この天体には記録した軌道がありません。";
      return;
    }
    if (engine->m_bBusy == 1 || engine->m_bAutoRunning == 1) {
      message = kMsgOtherCalculationRunning;
      return;
    }
    view->m_nBatchMode = 1;
    view->m_strBatchMessages.clear();
    OpenObsFile(*view, row.obs_path);
    view->m_nBatchMode = 0;
    const DetClass* det = view->m_pDetClass;
    if (engine->m_nCalcState != kCalcLoaded || !det->m_pOrbObs || det->m_nObsCount < 1) {
      message = "観測ファイルを読み込めませんでした。\r\n" + row.obs_path;
      return;
    }
    const int loaded = LoadSolutionFile(*view, solution);
    if (loaded != 0) {
      message = "軌道要素を読み込めませんでした。\r\n" + solution;
      if (loaded == kEngineCancelled)
        outcome = GeoOutcome::Cancelled;
      return;
    }
    OrbitDiagramSink* diagram = ToolSinks().OpenOrbitDiagram();
    view->PublishElementsToViews(nullptr, -1);
    if (diagram) {
      const int rangeRow = GeoTrackRangeRowFor(distance, g_dGeoTrackRadius);
      if (rangeRow >= 0)
        diagram->SelectRange(rangeRow);
    }
    GeoTrackBuffer& track = GeoTrackBuffer::Instance();
    track.Reset();

    CloneRecord orbit{};
    NominalCloneFromEngine(engine, orbit);
    double start = det->m_pOrbObs[0].m_dJdTt - m_settings.m_dDaysBefore;
    double end = det->m_pOrbObs[det->m_nObsCount - 1].m_dJdTt + m_settings.m_dDaysAfter;
    start = std::max(start, g_dJplStart + kScreenMarginDays);
    end = std::min(end, g_dJplEnd - kScreenMarginDays);
    std::unique_ptr<IntegrationState> state(new (std::nothrow) IntegrationState{});
    if (!state)
      return;
    const int savedCancel = engine->m_nCancel;
    int result = 0;
    for (const double target : {start, end}) {
      const bool leg = target == start ? orbit.epoch > start : orbit.epoch < end;
      if (!leg || result == kEngineCancelled || !SetupCloneRun(engine, det, state.get(), orbit, target))
        continue;
      auto trackers = std::make_unique<ImpactTrackerSet>();
      state->m_pImpacts = trackers.get();
      state->m_pGeoTrack = &track;
      ++track.m_nSegment;  // no line joins the ends of two legs
      result = MoveEpochAndReport(engine, EngineTextWindow(), state.get(), nullptr, nullptr, nullptr,
                                  kApproachAllBodies, 0);
      state->m_pImpacts = nullptr;
      state->m_pGeoTrack = nullptr;
    }
    state.reset();
    engine->m_nCancel = savedCancel;

    view->PublishElementsToViews(&engine->m_state, 3);
    if (diagram) {
      diagram->ShowGeocentricScene();
      ToolSinks().OpenOrbitDiagram();  // in front, repainted
    }
    if (result == kEngineCancelled) {
      outcome = GeoOutcome::Cancelled;
      return;
    }
    if (track.m_nCount == 0)
      message = FormatC("この軌道は、調べた期間に地球から %g AU 以内へ近づきません。\r\n"
                        "地心の軌道図には何も描かれません(軌道図の[範囲]を広げると遠くまで記録します)。",
                        g_dGeoTrackRadius);
    outcome = GeoOutcome::Done;
  }();
  SetStatusText(outcome == GeoOutcome::Cancelled ? std::string("中止しました。")
                : outcome == GeoOutcome::Failed
                    ? std::string("表示できませんでした。")
                    : FormatC("%s の%sを軌道計算の画面に読み込み、軌道図を[地心]で開きました", row.desig.c_str(), label));
  if (!message.empty())
    Ui().ShowMessage(kGeoOrbitCaption, message, MsgIcon::Information, MsgButtons::Ok);
}

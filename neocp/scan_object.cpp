#include "neocp/scan_object.h"

#include "determination/determination_display.h"
#include "determination/solution_file.h"
#include "engine/orbit_engine.h"
#include "neocp/batch_orbit.h"
#include "neocp/scan_files.h"
#include "neocp/scan_row.h"
#include "neocp/scan_run.h"
#include "platform/numbers.h"

int ScanObjectHost::ComputeScanOrbit(const NeocpScanSettings& settings, const std::string& obsPath,
                                     NeocpScanRow& row)
{
  auto* view = dynamic_cast<CDeterminationDisplay*>(ScanView());
  if (!view) {
    row.obs_path = obsPath;
    row.status = kScanNoOrbit;
    return -1;
  }
  return ComputeBatchOrbit(*view, obsPath, settings, row, ScanEngineWindow(), this);
}

bool BeginRowScan(NeocpScanRow& r, const NeocpScanSettings& settings)
{
  ResetScanRow(r, 1);
  r.nobs_at_scan = r.list_nobs;
  r.status = kScanComputing;
  if (r.list_nobs != kScanUnknown && r.list_nobs < settings.m_nMinObs) {
    r.status = kScanSkipped;
    r.note = FormatC("観測が%.0f個(%d個未満)", r.list_nobs, settings.m_nMinObs);
  } else if (r.list_arc != kScanUnknown && r.list_arc < settings.m_dMinArc) {
    r.status = kScanSkipped;
    r.note = FormatC("弧が%.2f日(%g日未満)", r.list_arc, settings.m_dMinArc);
  }
  return r.status != kScanSkipped;
}

void ScanObject(const NeocpScanSettings& settings, const ScanObjectPaths& paths, NeocpScanRow& r,
                ScanObjectHost& host)
{
  r.best_path = paths.stem + "_best_EX.IMP";
  r.closest_path = paths.stem + "_closest_EX.IMP";
  r.clones_path = paths.stem + "_clones.txt";
  const int result = host.ComputeScanOrbit(settings, paths.obsPath, r);
  CDetermination* view = host.ScanView();
  WriteUtf8BomFile(paths.stem + "_log.txt", view ? view->m_strCalcLog : std::string());
  if (host.ScanAborted())
    r.status = kScanAborted;
  else if (result == -9 || (host.ScanTimedOut() && r.status != kScanNominalOnly && r.status != kScanComplete))
    r.status = kScanTimedOut;
  auto* display = dynamic_cast<CDeterminationDisplay*>(view);
  if (r.n_used < 1 || !display ||
      !WriteSolutionFileForBatch(*display, r.best_path, display->m_pEngine->m_state, FormatNominalNote(r), 0))
    r.best_path.clear();
  EndRowScan(r, host.ObjectSeconds(), settings.m_nTimeLimit);
}

void EndRowScan(NeocpScanRow& r, double seconds, int timeLimit)
{
  if (r.status != kScanComplete) {
    r.closest_path.clear();
    r.clones_path.clear();
  }
  if (r.status == kScanSkipped)
    return;
  r.elapsed_sec = seconds;
  if (r.status == kScanTimedOut && r.note.empty())
    r.note = FormatC("%d秒の制限時間を超えました", timeLimit);
}

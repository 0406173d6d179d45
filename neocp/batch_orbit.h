#pragma once
// The batch orbit engine's entry points on the orbit-determination view: the
// per-object driver of the NEOCP scan (observations, the automatic
// improvement or the systematic ranging, clones and the Earth screening),
// the loading of a scanned object back into the view, and the three further
// improvement steps of a stored nominal orbit. They run on the calling
// thread; long steps keep their host alive through the scan's progress pump.
// Every function sets the view's batch mode back to 0 before it returns.
#include <string>

class CDeterminationDisplay;
class ScanProgress;
class EngineWindow;
struct NeocpScanRow;
struct NeocpScanSettings;

// Texts of the driver.
inline constexpr const char* kMsgBatchObsUnreadable = "観測ファイルを読み込めませんでした";
inline constexpr const char* kMsgBatchTooFewObs = "使える観測が%d個しかありません(3個必要)";
inline constexpr const char* kMsgBatchUnknownStations = "。観測所コードの分からない観測があります";
inline constexpr const char* kStatusBatchAi = "%s: 軌道を求めています([AI軌道改良])...";
inline constexpr const char* kStatusBatchRanging = "%s: 距離走査で軌道を探しています...";
inline constexpr const char* kMsgScanObsUnreadable = "観測ファイルを読み込めませんでした。\r\n";
inline constexpr const char* kMsgScanSolutionUnreadable = "観測は読み込みましたが、名目軌道を読み込めませんでした。\r\n";

// The automatic improvement's orbit is kept up to this mean residual (arcsec).
inline constexpr double kBatchAiMaxResidual = 3.0;
// The automatic improvement is tried from this arc (days) and usable count on.
inline constexpr double kBatchAiMinArc = 0.5;
inline constexpr int kBatchAiMinObs = 5;

class CDetermination;
// The automatic improvement is tried on arcs of at least half a day with at
// least five usable observations.
bool BatchTriesAi(double arcDays, int usable);
// Its orbit is kept when it finished (0 or the impact code), improved with
// perturbations, to a finite mean residual above 0 and at most 3", with
// finite q > 0 and e.
bool AiOrbitAcceptable(const CDetermination& view);

// An observation the batch engine may use: station known, not excluded by hand.
struct ObservationRecord;
bool UsableInBatch(const ObservationRecord& o);

// The per-object driver. The caller resets the row and sets best_path,
// closest_path and clones_path to the files it wants (cleared when a file is
// not written). window: the host's engine text window; progress: the scan's
// status line and pump, null for none.
//  0: nominal orbit found and screened (row status 8 or 9);
// -1: failure (status 3, 4, 5 or 6, with a note but where the time limit
//     ended the ranging before its first sample);
// -9: the scan's pump reported an abort (or the time limit right after the
//     automatic improvement), status 7; the caller turns it into 6 when its
//     time-limit flag is set.
int ComputeBatchOrbit(CDeterminationDisplay& view, const std::string& obsPath, const NeocpScanSettings& settings,
                      NeocpScanRow& row, EngineWindow* window, ScanProgress* progress);

// A scanned object's observation file and stored nominal solution back into
// the view. 0 both loaded; 1 observations loaded and no solution file given
// or found; -1 engine busy, observations or solution unreadable; -9 the
// solution reader was cancelled. message: the collected batch messages, or
// the failure text followed by them (the solution reader's reason: no box is
// shown).
int LoadScanObject(CDeterminationDisplay& view, const std::string& obsPath, const std::string& solutionPath,
                   std::string& message);

// LoadScanObject, then three improvement steps at the view's Epoch fields.
// 0 with the mean residual (arcsec) and the used count (neither rejected nor
// of an unknown station); -1 LoadScanObject failed; -2 the improvement
// failed; -9 cancelled.
int ReimproveNominalForBatch(CDeterminationDisplay& view, const std::string& obsPath, const std::string& solutionPath,
                             double& meanResidual, int& usedCount);

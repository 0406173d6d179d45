#pragma once
// The engine context of one orbit-determination view: its own integration
// state, force-model settings, variation amounts, results of the last
// improvement, the calculation state, the busy guard and the texts the engine
// produces. The busy guard keeps one calculation at a time, keeps the windows
// alive while the calculation runs on the main thread, and after three seconds
// opens the cancel dialog, whose button sets m_nCancel.
#include <cstdint>
#include <memory>
#include <string>

#include "astro/perturber_row_table.h"

#include "engine/integration_state.h"
#include "engine/step_trial_memo.h"

class DetClass;
class CCancelDlg;

// ---- a window the engine writes into ----
class EngineWindow {
public:
  virtual ~EngineWindow() = default;
  // False once the window is gone.
  virtual bool IsLive() const { return true; }
  virtual std::string GetText() const = 0;
  virtual void SetText(const std::string& text) = 0;
  // Inserts text at the end of an edit, scrolls to it and repaints at once.
  virtual void AppendText(const std::string& text) { SetText(GetText() + text); }
  // Replaces oldEnd, with which the edit's text ends, by newEnd, and
  // repaints as AppendText does; false when the window cannot (the caller
  // then sets the whole text). A long edit whose end changes often keeps
  // its start instead of being laid out again whole.
  virtual bool ReplaceEnd(const std::string& oldEnd, const std::string& newEnd) {
    (void)oldEnd;
    (void)newEnd;
    return false;
  }
  // Scrolls a multi-line edit so that its end is visible.
  virtual void ScrollToEnd() {}
  // Scrolls a multi-line edit back to its first line.
  virtual void ScrollToTop() {}
  // Position 0..100 of a progress bar.
  virtual void SetProgress(int percent) { (void)percent; }
};

// Run codes of the engine's operations.
enum EngineResult : int {
  kEngineDone = 0,
  kEngineRunFinished = 1,
  kEngineContinue = 2,
  kEngineRestart = 3,
  kEngineImpact = 4,
  kEngineRedoStep = 5,
  kEngineFailed = -1,            // failure with a message (also: busy, from BeginBusy)
  kEnginePerturbersFailed = -2,  // perturber positions could not be had
  kEngineInitialStatesFailed = -3,
  kEngineCancelled = -9,
};

// CalcState: what the orbit-determination view holds.
enum CalcState : int {
  kCalcNothing = 0,           // nothing loaded
  kCalcLoaded = 1,            // observations loaded (or the solution reset)
  kCalcPicking = 2,           // picking the three observations
  kCalcPreliminary = 3,       // preliminary orbit
  kCalcImprovedTwoBody = 4,   // improved without perturbations
  kCalcImprovedPerturbed = 5, // improved with perturbations
  kCalcPreliminaryFailed = 6, // preliminary orbit failed
  kCalcFatal = 7,             // station list or planetary file missing
};

// Texts of the busy guard.
inline constexpr const char* kMsgOtherCalculationRunning =
    "ほかの計算を実行中です。終わってからもう一度お試しください。";
inline constexpr const char* kMsgCancelledByButton = "[中止]ボタンにより計算を中止しました。";

inline constexpr double kNoStopResidual = 9999999999.9;  // arcsec: the automatic improvement never stops on it
inline constexpr int kPerturberCacheRows = 11;
inline constexpr int kPerturberRowDoubles = 46;           // time + 45 coordinates

// Millisecond ticks and sleeps of the busy guard; tests give a fake clock.
class EngineClock {
public:
  virtual ~EngineClock() = default;
  virtual uint32_t TickMs() = 0;
  virtual void SleepMs(uint32_t ms) = 0;
};
// The steady clock of the process.
EngineClock& SystemEngineClock();

// How the engine may spread its work over threads; tests and benchmarks
// set them, the program keeps the defaults.
struct EngineRunOptions {
  int m_nParallelThreads = 0;  // at most this many integrating threads, the calling thread included (0: the processors)
  int m_nFailThreadStart = -1; // the thread start with this index fails as if the system refused it (0 the producer,
                               // 1.. the body threads in order); -1 none
  double m_dParallelFromSteps = 0.0;  // passes of at least this many steps go parallel (0: the measured rule's)
};

struct OrbitEngine {
  OrbitEngine();  // as InitOrbitEngine
  ~OrbitEngine(); // frees the perturber cache
  OrbitEngine(const OrbitEngine&) = delete;
  OrbitEngine& operator=(const OrbitEngine&) = delete;

  IntegrationState m_state{};     // the view's own runs; copied whole by callers that need a separate run
  double* m_pPerturberCache = nullptr;  // 11 rows of (time, 45 coordinates); owned, zeroed at allocation
  int m_bAutoRunning = 0;         // an automatic procedure drives the engine
  int m_bAutoStop = 0;            // the view's "自動停止"; with m_bAutoRunning the engine runs quiet
  int m_bTrialOrbits = 0;         // 1 while the distance scan evaluates trial orbits: no epoch-placement notes
  int m_bScanRunning = 0;         // the NEOCP scan drives the engine (counts as busy)
  int m_bScanOwnCall = 0;         // one pass of the busy test for the scan's own next command
  int m_nAsteroidSet = 0;         // PerturberSet 0..6
  int m_nAsteroidMisses = 0;      // steps of the last run without an asteroid position
  int m_bNonGrav = 0;             // non-gravitational forces on
  int m_bNonGravA3 = 0;           // A3 used and solved
  int m_nNonGravModel = 0;        // NonGravModel 0..3
  CCancelDlg* m_pCancelDlg = nullptr;  // the open cancel dialog, or null
  void* m_hCancelDlg = nullptr;   // its window, published by the dialog; null when none
  double m_dVariation[9] = {};    // variation amounts: T (d), peri, node, incl (rad), q (AU), e, A1-A3 (AU/d²)
  double m_dErrT = 0, m_dErrPeri = 0, m_dErrNode = 0, m_dErrIncl = 0, m_dErrQ = 0, m_dErrE = 0,
         m_dErrA = 0, m_dErrP = 0, m_dErrN = 0, m_dErrA1 = 0, m_dErrA2 = 0, m_dErrA3 = 0;
                                  // 1σ: T d, angles deg, q and a AU, P yr, n deg/d, A1-A3 AU/d²
  int m_nUsedObs = 0;             // observations used by the last improvement step
  double m_dSumWeights = 0;       // sum of the weights of the last step
  double m_dWeightedSumSq = 0;    // sum of weight × residual², arcsec²
  double m_dMeanSignedResidual = 0;  // arcsec
  double m_dMeanResidual = 0;     // mean residual of the last solution, arcsec
  double m_dStopResidual = kNoStopResidual;  // auto-stop value of the automatic improvement, arcsec
  int m_nCancel = 0;              // -1 dialog being opened, 0 no cancel, 1 cancel asked for
  int m_bBusy = 0;                // a calculation runs
  int m_bCancelDlgStarted = 0;    // the cancel dialog was opened for this calculation
  int m_bCancelDlgWatchBusy = 0;  // hand-over: the next dialog closes itself when m_bBusy drops
  uint32_t m_dwBusyStart = 0;     // ms tick of BeginBusy
  uint32_t m_dwLastPump = 0;      // ms tick of the last dispatched event
  uint32_t m_dwBusyElapsed = 0;   // ms of the last calculation
  int m_bParallel = 1;            // parallel integration of the varied orbits allowed
  EngineRunOptions m_options;     // its thread limit and the thread-start seam
  int m_bReuseWork = 1;           // an improvement skips what nobody reads and reuses what it has (0: all afresh, the same
                                  // results; kept to prove that)
  std::unique_ptr<PerturberRowTable> m_pRowTable;  // planetary rows of the improvement's runs, kept between calls
  int m_bRowTableActive = 0;      // an improvement call runs: its runs take their planetary rows through m_pRowTable
  std::vector<KeptStepTrial> m_keptTrials;  // the last improvement call's trial runs
  int m_nRingEntries = 0;         // perturber entries produced by parallel runs, summed
  double m_dEphSeconds = 0, m_dProducerCpu = 0, m_dWorkerCpu = 0, m_dCallerCpu = 0;  // parallel statistics, s
  int m_bPerturbations = 0;       // the view's "摂動計算あり"
  int m_nCalcState = kCalcNothing;
  double m_covariance[9][9] = {}; // covariance of the solved parameters (T d, angles rad, q AU, e, A1-A3 AU/d²)
  int m_nCovarianceSize = 0;
  int m_bAddSystematicError = 0;
  double m_dSigma0 = 0;           // unit-weight error, arcsec
  int m_bCovarianceValid = 0;
  int m_bErrValid = 0;
  double m_dCovarianceEpoch = 0;  // JD TT of the elements the covariance belongs to
  uint32_t m_nCovarianceSignature = 0;
  int m_nPerturberEvaluations = 0;
  std::string m_strMessage;       // last message or error text
  std::string m_strStepLog;       // log of the automatic step of the last improvement step
  std::string m_strCollisionReport;
  std::string m_strRunReport;
  EngineWindow* m_pLogWnd = nullptr;  // receives every AppendEngineLog text when set
  std::string m_strStepNotes;     // notes ("※...") of the last improvement step
  std::string m_strPendingNote;   // note of a step that asked to be redone
  int m_bAutoCalibrate = 1;       // re-scale the variation amounts from the measured displacement
  int m_nCalibrationRounds = 0;
  int m_bHaveSaved = 0;           // m_savedElements holds the elements before the last correction
  double m_dPrevMeanResidual = 0;
  int m_nPrevUsedObs = 0;
  double m_dPrevObsChecksum = 0;
  double m_savedElements[9] = {}; // T, peri, node, incl, q, e, A1, A2, A3
  int m_bRelativity = 1;          // solar relativistic term
  int m_bEarthJ2 = 1;             // Earth oblateness term
  int m_bCorrectionStopped = 0;
  int m_nWorsenRetries = 0;
  double m_dLastCorrection[9] = {};
  double m_dDamping = 1.0;
  int m_bDampingActive = 0;
  int m_bNonlinearReduced = 0;
  int m_bApophis = 0;             // "Apophisモード"
  int m_nFirstObs = 0, m_nLastObs = 0;
  int m_bApophisPlaced = 0;
  double m_dOsculatingEpoch = 0;  // one-shot, JD TT, 0 none
  int m_bEpochFromField = 0;
  double m_dFieldEpoch = 0;       // one-shot, JD TT, 0 none
  double m_dPendingEpoch = 0;     // one-shot, JD TT, 0 none: the next step keeps its elements at this epoch (trial orbits)
  int m_nPassFirst = 0, m_nPassLast = -1;  // observation range of the current pass; 0, -1 = all
  int m_nSnapNonGrav = -1, m_nSnapModel = -1, m_nSnapA3 = -1, m_nSnapFixE = -1;
  DetClass* m_pDet = nullptr;     // the view's observations

  // Not part of the view's record: the clock of the busy guard (null: the
  // system clock).
  EngineClock* m_pClock = nullptr;
};

// The row table the engine's runs take their planetary rows through: while
// an improvement call runs with m_bReuseWork and without asteroids; else null.
inline PerturberRowTable* ActiveRowTable(const OrbitEngine* engine) {
  return engine->m_bRowTableActive && engine->m_bReuseWork && engine->m_nAsteroidSet == 0 ? engine->m_pRowTable.get()
                                                                                          : nullptr;
}

// ---- life cycle ----
// Rebuilds the engine as constructed: empty texts, zeroed state with the
// shared geocentric track attached, standard variation amounts, flags as
// documented on the members. Returns the engine.
OrbitEngine* InitOrbitEngine(OrbitEngine* engine);
// Non-gravitational forces off, model 0, covariance invalid, no cancel
// dialog, m_pDet = det; allocates the zeroed perturber cache once.
// 0, or -1 when the cache cannot be allocated (the pointer stays null).
int ResetOrbitEngine(OrbitEngine* engine, DetClass* det);

// ---- busy guard ----
// The one busy test of every command that would start engine work: a
// calculation holds the guard (m_bBusy), or an automatic procedure drives the
// engine (m_bAutoRunning). Both pump events while they run, so the handlers
// of other commands, the closing of a frame and the dialogs see this true and
// must do nothing (or say kMsgOtherCalculationRunning). A running NEOCP scan
// (m_bScanRunning) pumps events between its objects and steps as well and
// counts as busy, except for the one command the scan itself starts while it
// holds m_bScanOwnCall (ScanOwnCall).
bool EngineBusy(const OrbitEngine* engine);
// What a command does before engine work: -1 when EngineBusy, else BeginBusy
// (which uses up the scan's pass). Procedures that run inside an automatic
// run they started themselves call BeginBusy directly.
int BeginBusyCommand(OrbitEngine* engine);
// The scan's own command through the busy test: set for the life of the
// object, used up by the first BeginBusyCommand.
class ScanOwnCall {
public:
  explicit ScanOwnCall(OrbitEngine* engine) : m_pEngine(engine) { m_pEngine->m_bScanOwnCall = 1; }
  ~ScanOwnCall() { m_pEngine->m_bScanOwnCall = 0; }
  ScanOwnCall(const ScanOwnCall&) = delete;
  ScanOwnCall& operator=(const ScanOwnCall&) = delete;

private:
  OrbitEngine* m_pEngine;
};
// -1 when a calculation already runs (the caller shows
// kMsgOtherCalculationRunning); otherwise marks the engine busy and returns 0.
int BeginBusy(OrbitEngine* engine);
// Called by every long loop: dispatches at most one event per 100 ms, opens
// the cancel dialog once 3000 ms have passed. 1 when cancel was asked for.
int PumpAndCheckCancel(OrbitEngine* engine);
// Ends the calculation: elapsed time, busy 0, closes the cancel dialog if it
// was opened (unless its button closed it), and leaves m_nCancel 0.
void EndBusy(OrbitEngine* engine);
// Opens the cancel dialog for the engine (hand-over flag honoured and
// cleared). The improvement procedures call it directly when they begin.
// Returns 0.
int CancelDialogThread(OrbitEngine* engine);
// Closes the open cancel dialog, as the improvement procedures do when they
// stop on their own.
void CloseCancelDialog(OrbitEngine* engine);
// The common cancel path of the engine's loops: m_strMessage =
// kMsgCancelledByButton, the window's text set to it when a window is given.
// Returns kEngineCancelled.
int EndWithCancel(OrbitEngine* engine, EngineWindow* wnd);

// ---- writers to windows ----
// Appends text to m_pLogWnd when set (at its end, scrolled there), else to
// wnd's text; nothing when neither is a live window.
void AppendEngineLog(OrbitEngine* engine, EngineWindow* wnd, const std::string& text);
// Progress share and "計算中: ..." status of the state's attached windows,
// at most every 200 ms.
void ShowIntegrationProgress(OrbitEngine* engine, IntegrationState* state);

// True while the automatic procedures run the engine quiet (no window text,
// no log appends, no element display).
inline bool EngineRunsQuiet(const OrbitEngine& engine) {
  return engine.m_bAutoRunning == 1 && engine.m_bAutoStop == 1;
}

// ---- the cancel dialog behind a seam ----
// The window side of the cancel dialog. Open makes the dialog for the engine
// on the main thread and behaves as the dialog's initialisation does:
// publishes its handle in m_hCancelDlg, the dialog in m_pCancelDlg, sets
// m_nCancel to 0, and when pnBusy is given closes itself (checked every
// 100 ms) once *pnBusy is 0. The button sets m_nCancel to 1 and closes the
// dialog; a closed dialog clears m_pCancelDlg and m_hCancelDlg.
class CancelDialogService {
public:
  virtual ~CancelDialogService() = default;
  virtual void Open(OrbitEngine& engine, int* pnBusy) = 0;
  // Asks the dialog with this handle to close (the posted WM_CLOSE).
  virtual void PostClose(OrbitEngine& engine, void* hDlg) = 0;
  // True when hDlg is a live dialog of this service.
  virtual bool IsLiveWindow(void* hDlg) const = 0;
};

// Without windows: the dialog comes up at once and is never seen; PressStop
// stands for the user's click on "中止(&C)".
class HeadlessCancelDialogs : public CancelDialogService {
public:
  void Open(OrbitEngine& engine, int* pnBusy) override;
  void PostClose(OrbitEngine& engine, void* hDlg) override;
  bool IsLiveWindow(void* hDlg) const override;
  void PressStop(OrbitEngine& engine);

  int m_nOpened = 0;      // dialogs opened
  int m_nCloseRequests = 0;
  int* m_pnBusy = nullptr;  // busy flag watched by the open dialog, or null

private:
  int m_nToken = 0;  // its address is the handle of the open dialog
  bool m_bOpen = false;
};

// The process's current implementation; a HeadlessCancelDialogs until the
// windows install theirs (null restores it). The caller keeps ownership.
CancelDialogService& CancelDialogs();
void SetCancelDialogs(CancelDialogService* service);

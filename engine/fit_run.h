#pragma once
// One run of the improvement procedures on plain inputs: the engine, the
// observation set, the fit's options (read once from the view's controls
// before the run) and an observer for what the run tells the outside world.
// The procedures read no control and call no view: the window and the
// headless host implement the observer, and a batch run or a test can give
// one of its own.
#include <string>

class DetClass;
struct OrbitEngine;

// The settings a fit takes from the orbit-determination view.
struct FitOptions {
  int nonGrav = 0;          // "非重力効果" switched on
  int nonGravA3 = 0;        // A3 solved as well
  int autoStop = 0;         // "自動停止" of the automatic improvement
  int rejectYear = 1820;    // boundary year of the reject thresholds
  double rejectOld = 6.0;   // arcsec, observations up to the boundary year
  double rejectNew = 2.0;   // arcsec, later observations
  double epochJdTT = 0.0;   // improvement epoch as the Epoch fields hold it; 0 when a field is empty
  int automaticStep = 0;    // the step combo box on "自動": the step used is shown after each step
  int batchMode = 0;        // 0 interactive; 1 messages collected; 2 also no calculation log
  int quietRun = 0;         // the residual list does not follow the iterations
  std::string designation;  // the object's designation as loaded
};

// What a run tells the outside world. Every call is for display only: the
// results are in the engine and the observation set when it is made.
class FitObserver {
public:
  virtual ~FitObserver() = default;
  // The running procedure's log grew; text (may be null) is shown after it
  // until the next call.
  virtual void ShowProgress(const char* text) = 0;
  // A stamped entry for the calculation log.
  virtual void LogEntry(const std::string& text) = 0;
  // Residuals or rejected flags changed; showResiduals switches the list's
  // residual display on, else it keeps its mode.
  virtual void ResidualsChanged(bool showResiduals) = 0;
  // The observation list should bring row index into view.
  virtual void ScrollTo(int index) = 0;
  // The automatic step chose this step length (days).
  virtual void StepUsed(double days) = 0;
  // The engine's non-gravitational switches, model or parameters changed.
  virtual void NonGravChanged() = 0;
  // The uncertainties of the solution changed: the area-to-mass texts of
  // model 3 (empty otherwise) and the verdict colour of the
  // non-gravitational labels (0 none, 1 significant, 2 significant and
  // cometary).
  virtual void UncertaintiesChanged(const std::string& areaToMass, const std::string& areaToMassVerdict,
                                    int verdictColour) = 0;
  // The improvement's result belongs in the result edit (with the engine's
  // step log when withStepLog).
  virtual void ImprovementResultChanged(int withStepLog) = 0;
  // The picks of the observation list changed: count is 3 or 0.
  virtual void PicksChanged(int count) = 0;
  // A preliminary orbit was determined from three picks: its elements, as
  // the determination left them, belong in the result edit.
  virtual void PreliminaryOrbitFound() = 0;
  // A preliminary orbit proposes this improvement epoch (JD TT) for the
  // Epoch fields.
  virtual void EpochProposed(double jdTT) = 0;
};

struct FitRun {
  OrbitEngine* engine = nullptr;
  DetClass* det = nullptr;
  FitOptions options;
  FitObserver* observer = nullptr;
};

#pragma once
// The orbit-determination view as the improvement procedures' observer, and
// a fit's options read from its controls: what a handler needs to run a
// procedure on the view (window or headless host) and to show what it does.
#include "engine/fit_run.h"

class CDetermination;

// The fit's options from the view: its two non-gravitational switches, the
// auto-stop box, the reject thresholds it last accepted (GetRejectThresholds
// checks the fields), the Epoch fields, the step combo box, batch and quiet
// modes and the designation. Reads only.
FitOptions ReadFitOptions(CDetermination& view);

// Shows a run's reports through the view's own writers.
class ViewFitObserver : public FitObserver {
public:
  explicit ViewFitObserver(CDetermination& view) : view_(view) {}
  void ShowProgress(const char* text) override;
  void LogEntry(const std::string& text) override;
  void ResidualsChanged(bool showResiduals) override;
  void ScrollTo(int index) override;
  void StepUsed(double days) override;
  void NonGravChanged() override;
  void UncertaintiesChanged(const std::string& areaToMass, const std::string& areaToMassVerdict,
                            int verdictColour) override;
  void ImprovementResultChanged(int withStepLog) override;
  void PicksChanged(int count) override;
  void PreliminaryOrbitFound() override;
  void EpochProposed(double jdTT) override;

private:
  CDetermination& view_;
};

// A run on the view: its engine and observation set, the options read now,
// the view as observer.
class ViewFitRun {
public:
  explicit ViewFitRun(CDetermination& view);
  ViewFitRun(const ViewFitRun&) = delete;
  ViewFitRun& operator=(const ViewFitRun&) = delete;
  FitRun& Run() { return run_; }

private:
  ViewFitObserver observer_;
  FitRun run_;
};

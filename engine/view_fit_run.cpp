#include "engine/view_fit_run.h"

#include "data/step_texts.h"
#include "engine/determination_host.h"
#include "engine/improvement_epoch.h"
#include "engine/improvement_procedures.h"
#include "engine/orbit_engine.h"

FitOptions ReadFitOptions(CDetermination& view) {
  FitOptions o;
  o.nonGrav = view.NonGravChecked();
  o.nonGravA3 = view.NonGravA3Checked();
  o.autoStop = view.AutoStopChecked();
  o.rejectYear = view.m_nRejectYear;
  o.rejectOld = view.m_dRejectOld;
  o.rejectNew = view.m_dRejectNew;
  o.epochJdTT = EpochFieldsJd(view);
  o.automaticStep = view.AutomaticStepSelected() ? 1 : 0;
  o.batchMode = view.m_nBatchMode;
  o.quietRun = view.m_bQuietRun;
  o.designation = view.m_strDesignation;
  return o;
}

void ViewFitObserver::ShowProgress(const char* text) { view_.ShowCalcLogProgress(text); }

void ViewFitObserver::LogEntry(const std::string& text) { view_.AppendCalcLog(text); }

void ViewFitObserver::ResidualsChanged(bool showResiduals) {
  view_.RefreshResidualList(view_.m_pDetClass->m_pOrbObs, showResiduals ? 1 : view_.m_bResidualsShown);
}

void ViewFitObserver::ScrollTo(int index) { view_.ScrollObsListTo(index); }

void ViewFitObserver::StepUsed(double days) {
  view_.SetStepUsedText(CTessaruneLib::FormatStepLength(days));
}

void ViewFitObserver::NonGravChanged() {
  const OrbitEngine& engine = *view_.m_pEngine;
  view_.SetNonGravChecks(engine.m_bNonGrav, engine.m_bNonGravA3);
  view_.SetNonGravModel(engine.m_nNonGravModel);
  view_.ShowNonGravParams();
}

void ViewFitObserver::UncertaintiesChanged(const std::string& areaToMass, const std::string& areaToMassVerdict,
                                           int verdictColour) {
  const int model = view_.m_pEngine->m_nNonGravModel;
  view_.SetNonGravModelSelection(model);
  view_.ShowNonGravModelControls(model);
  view_.SetAreaToMassTexts(areaToMass, areaToMassVerdict);
  if (verdictColour != view_.m_nNonGravVerdictColour) {
    view_.m_nNonGravVerdictColour = verdictColour;
    view_.RepaintNonGravLabels();
  }
}

void ViewFitObserver::ImprovementResultChanged(int withStepLog) {
  view_.ShowImprovementResult(view_.ResultWindow(), view_.m_pEngine, withStepLog);
}

void ViewFitObserver::PicksChanged(int count) {
  view_.m_nPicked = count;
  for (int i = 0; i < view_.m_pDetClass->m_nObsCount; ++i) view_.RedrawObsListItem(i);
}

void ViewFitObserver::PreliminaryOrbitFound() {
  view_.ShowElementText(view_.ResultWindow(), &view_.m_pEngine->m_state, 0);
}

void ViewFitObserver::EpochProposed(double jdTT) { WriteEpochFields(&view_, jdTT); }

ViewFitRun::ViewFitRun(CDetermination& view) : observer_(view) {
  run_.engine = view.m_pEngine;
  run_.det = view.m_pDetClass;
  run_.options = ReadFitOptions(view);
  run_.observer = &observer_;
}

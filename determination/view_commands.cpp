#include "determination/view_commands.h"

#include "determination/det_form.h"
#include "engine/determination_host.h"
#include "resources/determination_ids.h"

const int kForecastDisabledControls[kForecastDisabledCount] = {
    kIdAsteroidCheck, kIdPerturbationsCheck, kIdStepCombo,   kIdPerturberSet,  kIdFixECheck,
    kIdFixEEdit,      kIdAutoImprove,        kIdManualImprove, kIdAutoStopCheck, kIdRejectYear,
    kIdRejectOld,     kIdRejectNew,          kIdRejectOldSpin, kIdRejectNewSpin, kIdRejectButton,
    kIdSignatureCheck, kIdWeightReset,       kIdWeightSet,     kIdWeightEdit,    kIdObsList,
};

namespace {

Tri Of(bool on) { return on ? Tri::On : Tri::Off; }

Tri SaveEnabling(const DetCommandState& s) {
  if (s.viewVisible) return Of(s.calcState == kCalcImprovedTwoBody || s.calcState == kCalcImprovedPerturbed);
  // Hidden behind the ephemeris view: the forecast dialog decides.
  switch (s.forecast) {
  case kForecastNone: return Tri::On;
  case kForecastVisible: return Tri::Off;
  default: return Tri::Unchanged;
  }
}

} // namespace

Tri DetCommandEnabling(int id, const DetCommandState& s) {
  switch (id) {
  case ID_SAVE_RESULT: return SaveEnabling(s);
  case ID_FETCH_MPC_OBS:
  case ID_FETCH_NEOCP_OBS:
  case ID_ORBIT_VIEW:
  case ID_GLOBE:
  case ID_MP_DIS_GRAPH:
  case ID_VARIATION_AMOUNTS:
  case ID_OPTIONS_TOOLBAR:
  case ID_OPLOG_MANAGER:
  case ID_OPLOG_TOGGLE:
  case ID_APOPHIS_MODE:
  case ID_PARALLEL_VARIATION:
  case ID_RELATIVITY:
  case ID_J2:
  case ID_EPOCH_FROM_FIELD: return Tri::On;
  case ID_STATION_STATS:
  case ID_ERA_STATS: return Of(s.observations && s.residualsShown);
  case ID_NONGRAV_CHECK: return Of(s.observations && s.nonGrav && s.calcState == kCalcImprovedPerturbed);
  case ID_FORECAST: return Of((s.calcState == kCalcImprovedPerturbed && s.perturbations) || s.covarianceValid);
  case ID_ELEMENT_INPUT: return Of(s.calcState != kCalcNothing);
  case ID_LOAD_SOLUTION: return Of(s.observations);
  default: return Tri::Unchanged;
  }
}

void DisableControlsForForecast(CDetermination& view) {
  for (int id : kForecastDisabledControls) view.EnableItem(id, false);
  view.m_bForecastTookControls = 1;
}

void RestoreControlsAfterForecast(CDetermination& view) {
  if (!view.m_bForecastTookControls) return;
  view.m_bForecastTookControls = 0;
  for (int id : kForecastDisabledControls) view.EnableItem(id, true);
  view.UpdateControlsForState(view.m_pEngine->m_nCalcState);
}

Tri LoadCommandEnabling(int forecast) { return forecast == kForecastVisible ? Tri::Off : Tri::On; }

ForecastDialogHooks& ForecastHooks() {
  static ForecastDialogHooks hooks;
  return hooks;
}

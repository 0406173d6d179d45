#include "determination/det_state_rules.h"

#include "determination/det_form.h"
#include "engine/determination_host.h"

namespace {

// Controls that follow the perturbation switch once an orbit exists.
constexpr int kPerturbationControls[] = {kIdStepCombo, kIdPerturberSet, kIdWeightSet, kIdWeightReset,
                                         kIdWeightEdit};
// The non-gravitational controls: left alone before an orbit exists.
constexpr int kNonGravControls[] = {kIdNonGravCheck, kIdNonGravA3Check, kIdNonGravModelCombo, kIdNonGravReset,
                                    kIdA1Value,      kIdA2Value,        kIdA3Value,           kIdA1Label,
                                    kIdA2Label,      kIdA3Label};
// Controls that need an orbit.
constexpr int kOrbitControls[] = {kIdFixECheck,   kIdFixEEdit,      kIdAutoImprove, kIdManualImprove,
                                  kIdAutoStopCheck, kIdRejectButton, kIdRejectYear,  kIdRejectOld,
                                  kIdRejectNew,   kIdRejectOldSpin, kIdRejectNewSpin};

Tri Of(bool on) { return on ? Tri::On : Tri::Off; }

}  // namespace

std::vector<ControlRule> StateControlRules(int state, bool perturbations) {
  std::vector<ControlRule> rules;
  const bool loaded = state == 0 || state == 1;
  const bool improved = state == 4 || state == 5;
  if (!loaded && !improved && state != 3) return rules;
  const Tri withPerturbations = loaded ? Tri::Off : Of(perturbations);

  rules.push_back({kIdParabolicCheck, Of(!improved), Tri::Unchanged});
  if (loaded) rules.push_back({kIdAsteroidCheck, Tri::On, Tri::Unchanged});
  if (loaded)
    rules.push_back({kIdPerturbationsCheck, Tri::Off, Tri::Unchanged});
  else if (state == 3)
    rules.push_back({kIdPerturbationsCheck, Tri::On, Of(perturbations)});
  else if (perturbations)
    rules.push_back({kIdPerturbationsCheck, Tri::On, Tri::On});
  for (int id : kPerturbationControls) rules.push_back({id, withPerturbations, Tri::Unchanged});
  if (!loaded) {
    for (int id : kNonGravControls) rules.push_back({id, withPerturbations, Tri::Unchanged});
    rules.push_back({kIdNonGravGroup, Tri::On, Tri::Unchanged});
  }
  for (int id : kOrbitControls) rules.push_back({id, Of(!loaded), Tri::Unchanged});
  return rules;
}

// The enabling of the view's controls by calculation state.
#include <gtest/gtest.h>

#include <optional>

#include "determination/det_form.h"
#include "determination/det_state_rules.h"
#include "engine/determination_host.h"

namespace {

std::optional<ControlRule> RuleFor(int state, bool perturbations, int id)
{
  for (const ControlRule& r : StateControlRules(state, perturbations))
    if (r.id == id)
      return r;
  return std::nullopt;
}

struct Case {
  const char* name;
  int state;
  bool perturbations;
  int id;
  Tri enable;  // Unchanged also when the control has no rule
  Tri check;
};

constexpr Tri U = Tri::Unchanged, On = Tri::On, Off = Tri::Off;

constexpr Case kCases[] = {
    {"parabolic before an orbit", 1, true, kIdParabolicCheck, On, U},
    {"parabolic after improvement", 5, true, kIdParabolicCheck, Off, U},
    {"asteroid when loaded", 0, false, kIdAsteroidCheck, On, U},
    {"asteroid left alone with an orbit", 3, true, kIdAsteroidCheck, U, U},
    {"perturbations box off when loaded", 1, true, kIdPerturbationsCheck, Off, U},
    {"perturbations box unchecked in state 3 when off", 3, false, kIdPerturbationsCheck, On, Off},
    {"perturbations box checked in state 3 when on", 3, true, kIdPerturbationsCheck, On, On},
    {"perturbations box untouched in state 4 when off", 4, false, kIdPerturbationsCheck, U, U},
    {"perturbations box checked in state 5 when on", 5, true, kIdPerturbationsCheck, On, On},
    {"step combo disabled when loaded", 1, true, kIdStepCombo, Off, U},
    {"step combo follows perturbations off", 4, false, kIdStepCombo, Off, U},
    {"weight field follows perturbations on", 3, true, kIdWeightEdit, On, U},
    {"non-grav check untouched when loaded", 1, true, kIdNonGravCheck, U, U},
    {"non-grav model follows perturbations", 5, false, kIdNonGravModelCombo, Off, U},
    {"A2 label follows perturbations", 4, true, kIdA2Label, On, U},
    {"non-grav group enabled with an orbit", 4, false, kIdNonGravGroup, On, U},
    {"fix e disabled when loaded", 0, true, kIdFixECheck, Off, U},
    {"automatic improvement enabled in state 3", 3, false, kIdAutoImprove, On, U},
    {"reject spin enabled in state 5", 5, true, kIdRejectNewSpin, On, U},
    {"AI button never in the table", 5, true, kIdAiImprove, U, U},
    {"picking changes nothing", 2, true, kIdAutoImprove, U, U},
    {"failed orbit changes nothing", 6, true, kIdParabolicCheck, U, U},
    {"missing files change nothing", 7, true, kIdStepCombo, U, U},
};

} // namespace

TEST(StateControlRules, FollowTheTableOfStates)
{
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::optional<ControlRule> r = RuleFor(c.state, c.perturbations, c.id);
    EXPECT_EQ(r ? r->enable : U, c.enable);
    EXPECT_EQ(r ? r->check : U, c.check);
  }
}

TEST(StateControlRules, EveryRuleNamesAControlOfTheForm)
{
  for (int state : {0, 1, 3, 4, 5})
    for (const ControlRule& r : StateControlRules(state, true))
      EXPECT_NE(FindDetFormControl(r.id), nullptr) << "control " << r.id << " in state " << state;
}

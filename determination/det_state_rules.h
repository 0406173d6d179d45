#pragma once
// What the view's controls become for a calculation state (CalcState): the
// second part of UpdateControlsForState, as data the window applies.
#include <vector>

enum class Tri { Unchanged, Off, On };

struct ControlRule {
  int id;      // control id
  Tri enable;  // enabled, disabled or left as it is
  Tri check;   // checked, unchecked or left as it is
};

// Rules for the state and the engine's perturbation switch. States 0 and 1
// share a column, so do 4 and 5; states 2, 6 and 7 change nothing.
std::vector<ControlRule> StateControlRules(int state, bool perturbations);

#pragma once
// Which function-view and tool-window commands the main frame enables, and
// what a function-view command does, given the function view now visible.
// At most one function view is visible at a time.
#include <optional>

// The seven function views, in the fixed order in which they are tested.
enum class FunctionView { Vaisala, Determination, MoveEpoch, Ephemerides, EphList, WhoisObs, Checking };
inline constexpr FunctionView kFunctionViewOrder[] = {
    FunctionView::Vaisala,     FunctionView::Determination, FunctionView::MoveEpoch, FunctionView::Ephemerides,
    FunctionView::EphList,     FunctionView::WhoisObs,      FunctionView::Checking,
};

// The view a function-view command opens (143, 108, 32773, 101, 187, 32790,
// 141); nullopt for any other command.
std::optional<FunctionView> FunctionViewOfCommand(int command);
// The document template (resource number) that makes the view.
int TemplateOfFunctionView(FunctionView view);

// Form rule: with no function view visible every function-view command is
// enabled, otherwise only the visible view's own.
bool FormRuleEnables(int command, std::optional<FunctionView> visible);
// Tool rule: the tool-window commands (32801, 32796, 32800, 32806) are
// disabled while the Väisälä view is visible.
bool IsToolRuleCommand(int command);
bool ToolRuleEnables(std::optional<FunctionView> visible);

// What a function-view command does.
enum class FunctionViewAction {
  ActivateVisible,  // a visible frame already shows the view
  Nothing,          // another function view is visible
  OpenNew,          // ask the view's template for a new frame
};
// targetShown: a visible frame shows the target's view (it need not be the
// first function view found).
FunctionViewAction DecideFunctionViewCommand(bool targetShown, std::optional<FunctionView> visible);

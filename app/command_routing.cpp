#include "app/command_routing.h"

#include "resources/app_resource_ids.h"

namespace {

struct CommandView {
  int command;
  FunctionView view;
  int templ;
};

constexpr CommandView kCommandViews[] = {
    {ID_VAISALA, FunctionView::Vaisala, IDR_VAISALA},
    {ID_DETERMINATION, FunctionView::Determination, IDR_DETERMINATION},
    {ID_MOVE_EPOCH, FunctionView::MoveEpoch, IDR_MOVE_EPOCH},
    {ID_EPHEMERIDES, FunctionView::Ephemerides, IDR_EPHEMERIDES},
    {ID_EPH_LIST, FunctionView::EphList, IDR_EPH_LIST},
    {ID_WHOIS_OBS, FunctionView::WhoisObs, IDR_WHOIS_OBS},
    {ID_CHECKING, FunctionView::Checking, IDR_CHECKING},
};

} // namespace

std::optional<FunctionView> FunctionViewOfCommand(int command)
{
  for (const CommandView& c : kCommandViews)
    if (c.command == command)
      return c.view;
  return std::nullopt;
}

int TemplateOfFunctionView(FunctionView view)
{
  for (const CommandView& c : kCommandViews)
    if (c.view == view)
      return c.templ;
  return 0;
}

bool FormRuleEnables(int command, std::optional<FunctionView> visible)
{
  const std::optional<FunctionView> own = FunctionViewOfCommand(command);
  if (!own)
    return false;
  return !visible || *visible == *own;
}

bool IsToolRuleCommand(int command)
{
  return command == ID_ORBIT_VIEW || command == ID_GLOBE || command == ID_MAG_CURVE ||
         command == ID_VISIBILITY_CHART;
}

bool ToolRuleEnables(std::optional<FunctionView> visible)
{
  return visible != FunctionView::Vaisala;
}

FunctionViewAction DecideFunctionViewCommand(bool targetShown, std::optional<FunctionView> visible)
{
  if (targetShown)
    return FunctionViewAction::ActivateVisible;
  return visible ? FunctionViewAction::Nothing : FunctionViewAction::OpenNew;
}

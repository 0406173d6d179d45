#include "determination/ui/register_determination_view.h"

#include "app/app_menus.h"
#include "app/form_template.h"
#include "determination/ui/determination_view.h"
#include "resources/determination_menus.h"

void RegisterDeterminationView()
{
  RegisterFunctionView(
      FunctionView::Determination, [](CChildFrame* frame) -> CFormView* { return new CDeterminationView(frame); },
      [] { return BuildMenuBar(kDeterminationMenu); });
}

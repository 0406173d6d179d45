#include "determination/ui/register_determination_view.h"

#include "app/app_menus.h"
#include "app/form_template.h"
#include "app/main_frame.h"
#include "determination/ui/determination_view.h"
#include "determination/ui/oplog_man_dlg.h"
#include "resources/app_resource_ids.h"
#include "resources/determination_menus.h"

void RegisterDeterminationView()
{
  RegisterFunctionView(
      FunctionView::Determination, [](CChildFrame* frame) -> CFormView* { return new CDeterminationView(frame); },
      [] { return BuildMenuBar(kDeterminationMenu); });
  RegisterToolWindowCommand(ID_OPLOG_MANAGER, RunOpLogManager);
}

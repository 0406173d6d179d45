#include "app/busy_close.h"

#include <wx/event.h>

#include "engine/determination_host.h"
#include "platform/ui_services.h"
#include "resources/app_strings.h"

bool RefuseCloseWhileCalculating(wxCloseEvent& event)
{
  if (!event.CanVeto() || !CurrentCalculationRunning())
    return false;
  event.Veto();
  Ui().ShowMessage(AppText::kAppTitle, kMsgOtherCalculationRunning, MsgIcon::Warning, MsgButtons::Ok);
  return true;
}

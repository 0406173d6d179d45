#include "app/busy_close.h"

#include <wx/dialog.h>
#include <wx/event.h>
#include <wx/toplevel.h>

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

bool CloseAfterModalDialogs(wxWindow* window, wxCloseEvent& event)
{
  bool anyModal = false;
  for (wxWindow* w : wxTopLevelWindows)
    if (auto* dialog = dynamic_cast<wxDialog*>(w); dialog && dialog->IsModal()) {
      dialog->EndModal(wxID_CANCEL);
      anyModal = true;
    }
  if (!anyModal)
    return false;
  const bool force = !event.CanVeto();
  window->CallAfter([window, force] { window->Close(force); });
  return true;
}

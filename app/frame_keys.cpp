#include "app/frame_keys.h"

#include <memory>

#include <wx/accel.h>
#include <wx/event.h>
#include <wx/menu.h>

#include "app/child_frame.h"
#include "engine/determination_host.h"
#include "engine/ui/cancel_dlg.h"
#include "resources/app_menus.h"

namespace {

// The modifiers an accelerator can name; the event's others (Num Lock's
// meta state) play no part.
int AccelModifiers(const wxKeyEvent& key)
{
  return key.GetModifiers() & (wxMOD_ALT | wxMOD_CONTROL | wxMOD_SHIFT);
}

bool MatchesItem(const wxMenuItem& item, const wxKeyEvent& key)
{
  const std::unique_ptr<wxAcceleratorEntry> accel(item.GetAccel());
  return accel && accel->GetKeyCode() == key.GetKeyCode() &&
         (accel->GetFlags() & (wxACCEL_ALT | wxACCEL_CTRL | wxACCEL_SHIFT)) == AccelModifiers(key);
}

int FindAccelCommand(const wxMenu& menu, const wxKeyEvent& key)
{
  for (const wxMenuItem* item : menu.GetMenuItems()) {
    if (item->IsSubMenu()) {
      if (const int id = FindAccelCommand(*item->GetSubMenu(), key))
        return id;
    } else if (!item->IsSeparator() && MatchesItem(*item, key)) {
      return item->GetId();
    }
  }
  return 0;
}

bool CommandEnabled(CChildFrame* frame, int id)
{
  wxUpdateUIEvent update(id);
  update.SetEventObject(frame);
  frame->ProcessWindowEvent(update);
  return !update.GetSetEnabled() || update.GetEnabled();
}

void RunCommand(CChildFrame* frame, int id)
{
  wxCommandEvent command(wxEVT_MENU, id);
  command.SetEventObject(frame);
  frame->ProcessWindowEvent(command);
}

bool IsCloseKey(const wxKeyEvent& key)
{
  return AccelModifiers(key) == wxMOD_CONTROL && (key.GetKeyCode() == 'W' || key.GetKeyCode() == WXK_F4);
}

} // namespace

bool HandleFrameKey(CChildFrame* frame, const wxKeyEvent& key)
{
  if (key.GetKeyCode() == WXK_ESCAPE && AccelModifiers(key) == 0) {
    CDetermination* det = CurrentDetermination();
    return det && det->m_pEngine && CancelByKey(*det->m_pEngine);
  }
  if (!frame)
    return false;
  if (IsCloseKey(key)) {
    RunCommand(frame, ID_CLOSE_VIEW);
    return true;
  }
  const wxMenuBar* bar = frame->GetMenuBar();
  if (AccelModifiers(key) == 0 || !bar)
    return false;
  for (size_t i = 0; i < bar->GetMenuCount(); ++i) {
    const int id = FindAccelCommand(*bar->GetMenu(i), key);
    if (!id)
      continue;
    if (CommandEnabled(frame, id))
      RunCommand(frame, id);
    return true;
  }
  return false;
}

#include "app/scan_lock.h"

#include <algorithm>
#include <vector>

#include <wx/app.h>
#include <wx/event.h>
#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/weakref.h>

#include "app/child_frame.h"
#include "app/main_frame.h"
#include "platform/ui_services.h"

namespace {

struct MenuBarState {
  wxWeakRef<wxMenuBar> bar;
  std::vector<bool> enabled;
};

// Drops what is addressed to the locked frame or a window inside it, except
// the scan dialog and what lies inside the dialog.
class ScanLockFilter : public wxEventFilter {
public:
  int FilterEvent(wxEvent& event) override;
};

struct AppLock {
  bool taken = false;
  wxWeakRef<wxWindow> frame;
  wxWeakRef<wxWindow> dialog;
  std::vector<wxWeakRef<wxWindow>> children;
  std::vector<MenuBarState> menus;
  bool refusing = false;
  ScanLockFilter filter;
};

AppLock& Lock()
{
  static AppLock lock;
  return lock;
}

// True when w is the locked frame or lies inside it but not inside the dialog.
bool InsideLockedFrame(wxWindow* w)
{
  AppLock& lock = Lock();
  for (; w; w = w->GetParent()) {
    if (w == lock.dialog.get())
      return false;
    if (w == lock.frame.get())
      return true;
  }
  return false;
}

wxWindow* TargetWindow(wxEvent& event)
{
  wxObject* object = event.GetEventObject();
  if (auto* menu = wxDynamicCast(object, wxMenu))
    return menu->GetWindow();
  return wxDynamicCast(object, wxWindow);
}

int ScanLockFilter::FilterEvent(wxEvent& event)
{
  const wxEventType type = event.GetEventType();
  const bool key = type == wxEVT_KEY_DOWN || type == wxEVT_KEY_UP || type == wxEVT_CHAR || type == wxEVT_CHAR_HOOK;
  const bool command = type == wxEVT_MENU || type == wxEVT_DROP_FILES;
  if ((key || command) && InsideLockedFrame(TargetWindow(event)))
    return Event_Ignore;
  return Event_Skip;
}

// The menu bars the frame shows: its own and those of its child frames.
std::vector<wxMenuBar*> MenuBarsOf(wxWindow* frame)
{
  std::vector<wxMenuBar*> bars;
  if (auto* f = dynamic_cast<wxFrame*>(frame); f && f->GetMenuBar())
    bars.push_back(f->GetMenuBar());
  if (auto* main = dynamic_cast<CMainFrame*>(frame))
    for (CChildFrame* child : main->ChildFrames())
      if (wxMenuBar* bar = child->GetMenuBar(); bar && std::find(bars.begin(), bars.end(), bar) == bars.end())
        bars.push_back(bar);
  return bars;
}

void DisableChildren(wxWindow* frame, AppLock& lock)
{
  for (wxWindow* child : frame->GetChildren()) {
    // Dialogs and tool windows are windows of their own, not the frame's children.
    if (child->IsTopLevel() || !child->IsThisEnabled())
      continue;
    child->Disable();
    lock.children.emplace_back(child);
  }
}

} // namespace

void LockAppForScan(wxWindow* frame, wxWindow* dialog)
{
  AppLock& lock = Lock();
  if (!frame || lock.taken)
    return;
  lock.taken = true;
  lock.frame = frame;
  lock.dialog = dialog;
  lock.children.clear();
  lock.menus.clear();
  DisableChildren(frame, lock);
  for (wxMenuBar* bar : MenuBarsOf(frame)) {
    MenuBarState state{bar, {}};
    for (size_t i = 0; i < bar->GetMenuCount(); ++i) {
      state.enabled.push_back(bar->IsEnabledTop(i));
      bar->EnableTop(i, false);
    }
    lock.menus.push_back(std::move(state));
  }
  wxEvtHandler::AddFilter(&lock.filter);
}

void UnlockAppAfterScan()
{
  AppLock& lock = Lock();
  if (!lock.taken)
    return;
  wxEvtHandler::RemoveFilter(&lock.filter);
  for (MenuBarState& state : lock.menus) {
    wxMenuBar* bar = state.bar.get();
    if (!bar || bar->GetMenuCount() < state.enabled.size())
      continue;
    for (size_t i = 0; i < state.enabled.size(); ++i)
      if (state.enabled[i])
        bar->EnableTop(i, true);
  }
  for (wxWeakRef<wxWindow>& child : lock.children)
    if (wxWindow* w = child.get())
      w->Enable();
  lock.children.clear();
  lock.menus.clear();
  lock.frame = nullptr;
  lock.dialog = nullptr;
  lock.taken = false;
}

bool IsAppLockedForScan()
{
  return Lock().taken;
}

bool RefuseCloseWhileScanning(wxCloseEvent& event)
{
  AppLock& lock = Lock();
  if (!lock.taken || !event.CanVeto())
    return false;
  event.Veto();
  if (lock.refusing)
    return true;
  lock.refusing = true;
  Ui().ShowMessage(kScanLockCaption, kMsgScanRefusesClose, MsgIcon::Information, MsgButtons::Ok);
  lock.refusing = false;
  return true;
}

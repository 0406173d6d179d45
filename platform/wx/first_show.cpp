#include "platform/wx/first_show.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <memory>

#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/stopwatch.h>
#include <wx/utils.h>

void ShowAtItsSize(wxTopLevelWindow* window)
{
  auto* widget = static_cast<GtkWidget*>(window->GetHandle());
  if (widget && !gtk_widget_get_realized(widget)) {
    const wxSize size = window->GetSize();
    GtkAllocation first{0, 0, size.x, size.y};
    gtk_widget_set_allocation(widget, &first);
  }
  window->Show();
}

bool WaitUntilOnScreen(wxTopLevelWindow* window, int timeoutMs)
{
  auto* widget = static_cast<GtkWidget*>(window->GetHandle());
  if (!widget)
    return false;
  // Start-up runs before the application's loop: lend it one meanwhile.
  wxEventLoop own;
  wxEventLoopBase* loop = wxEventLoopBase::GetActive();
  std::unique_ptr<wxEventLoopActivator> activate;
  if (!loop) {
    activate = std::make_unique<wxEventLoopActivator>(&own);
    loop = &own;
  }
  const wxStopWatch clock;
  while (!gtk_widget_get_mapped(widget)) {
    if (clock.Time() >= timeoutMs)
      return false;
    if (loop->Pending())
      loop->Dispatch();
    else
      wxMilliSleep(5);
  }
  // Let the window manager's answer to the map arrive too.
  while (loop->Pending())
    loop->Dispatch();
  return true;
}

unsigned long X11WindowId(const wxWindow* window)
{
  auto* widget = static_cast<GtkWidget*>(window->GetHandle());
  GdkWindow* gdk = widget ? gtk_widget_get_window(widget) : nullptr;
  if (!gdk || !GDK_IS_X11_WINDOW(gdk))
    return 0;
  return gdk_x11_window_get_xid(gdk);
}

namespace {

bool ModalDialogOpen()
{
  for (wxWindow* w : wxTopLevelWindows)
    if (auto* dialog = dynamic_cast<wxDialog*>(w); dialog && dialog->IsModal())
      return true;
  return false;
}

} // namespace

void KeepOutOfModalGrabs(wxTopLevelWindow* window)
{
  auto* widget = window ? static_cast<GtkWidget*>(window->GetHandle()) : nullptr;
  if (!widget || !GTK_IS_WINDOW(widget))
    return;
  // While a modal dialog runs, the toolkit puts a window that has a transient
  // parent in another group back into that parent's group, grabbing the input
  // for it, as soon as one of its scroll bars is realised: the modal dialog
  // then takes no clicks or keys until the window is gone. A window opened
  // during a modal dialog therefore stands without a transient parent (it
  // stays the wx child of its parent and is destroyed with it).
  if (ModalDialogOpen())
    gtk_window_set_transient_for(GTK_WINDOW(widget), nullptr);
  GtkWindowGroup* group = gtk_window_group_new();
  gtk_window_group_add_window(group, GTK_WINDOW(widget));
  g_object_unref(group);  // the window keeps its group alive
}

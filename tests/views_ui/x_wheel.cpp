#include "tests/views_ui/x_wheel.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

bool TurnWheel(bool forward)
{
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy)
    return false;
  const unsigned button = forward ? 4 : 5;
  XTestFakeButtonEvent(dpy, button, True, CurrentTime);
  XTestFakeButtonEvent(dpy, button, False, CurrentTime);
  XFlush(dpy);
  XCloseDisplay(dpy);
  return true;
}

#include "platform/wx/display_check.h"

#include <cstdlib>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

std::string NoDisplayReason()
{
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const bool hasX11 = x11 && *x11;
  if (wayland && *wayland)
    return {};  // the toolkit takes Wayland first
  if (!hasX11)
    return "DISPLAY is not set";
  // A stale DISPLAY (an ended ssh session, a stopped X server) or one we may not use.
  Display* display = XOpenDisplay(x11);
  if (!display)
    return "DISPLAY=" + std::string(x11) + " cannot be opened";
  XCloseDisplay(display);
  return {};
}

namespace {

// The value of a colour channel from a pixel, scaled to 0..255.
unsigned char Channel(unsigned long pixel, unsigned long mask)
{
  if (!mask)
    return 0;
  int shift = 0;
  while (!((mask >> shift) & 1))
    ++shift;
  const unsigned long max = mask >> shift;
  return static_cast<unsigned char>(((pixel & mask) >> shift) * 255 / max);
}

} // namespace

wxImage CaptureScreenArea(const wxRect& area)
{
  Display* display = XOpenDisplay(nullptr);
  if (!display)
    return {};
  XImage* shot = XGetImage(display, DefaultRootWindow(display), area.x, area.y, static_cast<unsigned>(area.width),
                           static_cast<unsigned>(area.height), AllPlanes, ZPixmap);
  wxImage image;
  if (shot) {
    image.Create(area.width, area.height, false);
    for (int y = 0; y < area.height; ++y)
      for (int x = 0; x < area.width; ++x) {
        const unsigned long p = XGetPixel(shot, x, y);
        image.SetRGB(x, y, Channel(p, shot->red_mask), Channel(p, shot->green_mask), Channel(p, shot->blue_mask));
      }
    XDestroyImage(shot);
  }
  XCloseDisplay(display);
  return image;
}

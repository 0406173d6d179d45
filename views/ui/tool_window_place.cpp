#include "views/ui/tool_window_place.h"

#include <wx/display.h>

#include "app/window_positions.h"
#include "platform/app_services.h"

namespace {

PixelRect VirtualScreen()
{
  wxRect all;
  for (unsigned i = 0; i < wxDisplay::GetCount(); ++i)
    all.Union(wxDisplay(i).GetGeometry());
  return {all.x, all.y, all.width, all.height};
}

} // namespace

void PlaceToolWindow(wxTopLevelWindow* window, const char* keyPrefix, int defX, int defY)
{
  const PixelRect corner = StoredToolWindowCorner(TheApp(), keyPrefix, VirtualScreen(), defX, defY);
  window->Move(corner.x, corner.y);
  SetToolWindowPlaceSource(keyPrefix, [window](int& x, int& y) {
    window->GetPosition(&x, &y);
    return true;
  });
}

void ForgetToolWindowPlace(const char* keyPrefix)
{
  SetToolWindowPlaceSource(keyPrefix, nullptr);
}

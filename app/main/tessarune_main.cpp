// Entry point: refuses at once, in one line, when there is no display.
#include <cstdio>
#include <cstdlib>

#include <wx/init.h>

#include "app/tessarune_wx_app.h"
#include "determination/ui/register_determination_view.h"

int main(int argc, char** argv)
{
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if ((!x11 || !*x11) && (!wayland || !*wayland)) {
    std::fprintf(stderr, "tessarune: no display found (DISPLAY is not set); start it on a desktop or under xvfb-run\n");
    return 2;
  }
  RegisterDeterminationView();
  // Created here so that the linker keeps the application class.
  wxApp::SetInstance(new CTessaruneWxApp);
  return wxEntry(argc, argv);
}

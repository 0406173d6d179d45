// Entry point: a scan worker's command line goes to the worker program (run
// here, without any window, only when that is missing); otherwise the
// program refuses at once, in one line, when there is no display to use.
#include <cstdio>
#include <string>

#include <wx/init.h>

#include "app/main/program_windows.h"
#include "app/tessarune_wx_app.h"
#include "neocp/worker_main.h"
#include "platform/app_services.h"
#include "platform/wx/display_check.h"

int main(int argc, char** argv)
{
  HandWorkerJobOver(argc, argv);
  if (int rc = 0; RunScanWorkerIfAsked(argc, argv, rc))
    return rc;
  if (const std::string why = NoDisplayReason(); !why.empty()) {
    std::fprintf(stderr, "tessarune: no display found (%s); start it on a desktop or under xvfb-run\n", why.c_str());
    return 2;
  }
  RegisterProgramWindows();
  // Created here so that the linker keeps the application class.
  wxApp::SetInstance(new CTessaruneWxApp);
  const int rc = wxEntry(argc, argv);
  return rc != 0 ? rc : TheApp().m_nExitCode;
}

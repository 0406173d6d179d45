#include "neocp/worker_main.h"

#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "astro/jpl_eph.h"
#include "astro/mpeph_store.h"
#include "determination/det_form.h"
#include "determination/det_settings.h"
#include "determination/determination_display.h"
#include "engine/orbit_engine.h"
#include "neocp/worker_host.h"
#include "neocp/worker_pool.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/text_util.h"
#include "platform/ui_services.h"

namespace {

volatile std::sig_atomic_t g_bTerminate = 0;

void OnTerminateSignal(int)
{
  g_bTerminate = 1;
}

// The engine's own pumps reach the signal through the interface services.
class WorkerUiServices : public HeadlessUiServices {
public:
  bool PumpOneEvent() override
  {
    if (m_pHost)
      m_pHost->CheckTerminate();
    return false;
  }
  WorkerScanHost* m_pHost = nullptr;
};

} // namespace

void PrepareScanWorkerView(CDeterminationDisplay& view, const CTessaruneApp& app)
{
  OrbitEngine* engine = view.m_pEngine;
  engine->m_bEpochFromField = app.m_bDeveloper ? 1 : 0;
  const RejectThresholds r = ReadStoredRejectThresholds(app);
  view.m_nRejectYear = r.year;
  view.m_dRejectOld = r.before;
  view.m_dRejectNew = r.after;
  view.m_bSignature = 1;
  view.SetCheck(kIdSignatureCheck, 1);
  engine->m_bPerturbations = 1;
  view.SetCheck(kIdPerturbationsCheck, 1);
  engine->m_bAutoStop = 1;
  engine->m_dStopResidual = kNoStopResidual;
  view.SetCheck(kIdAutoStopCheck, 1);
  view.SetItemText(kIdStepCombo, kStepAutomatic);
  view.SetSelection(kIdPerturberSet, engine->m_nAsteroidSet);
  engine->m_nCalcState = 0;
}

namespace {

bool IsSwitch(const char* arg, const char* name, bool prefix)
{
  if (arg[0] != '-' && arg[0] != '/')
    return false;
  const std::string a(arg + 1);
  const std::string_view n(name);
  return EqualsNoCaseAscii(prefix ? std::string_view(a).substr(0, n.size()) : std::string_view(a), n);
}

} // namespace

const char* FindWorkerJobArgument(int argc, const char* const* argv)
{
  bool developer = false;
  const char* job = "";
  for (int i = 1; i < argc; ++i) {
    if (IsSwitch(argv[i], "dev", false) || IsSwitch(argv[i], "developer", false))
      developer = true;
    else if (IsSwitch(argv[i], "neocpworker=", true) && argv[i][13] != '\0')
      job = argv[i] + 13;
  }
  return developer ? job : "";
}

std::string ScanWorkerPathBeside(const std::string& programPath)
{
  // The program's own folder, a Debug/ or Release/ one included: the worker
  // is built and installed next to it.
  const size_t slash = programPath.rfind('/');
  return (slash == std::string::npos ? std::string() : programPath.substr(0, slash + 1)) + kScanWorkerProgram;
}

std::string ScanWorkerToStart(const std::string& programPath)
{
  if (programPath.empty())
    return programPath;
  const std::string worker = ScanWorkerPathBeside(programPath);
  return FileExists(worker) ? worker : programPath;
}

void HandWorkerJobOver(int argc, const char* const* argv)
{
  if (FindWorkerJobArgument(argc, argv)[0] == '\0')
    return;
  const std::string worker = ScanWorkerPathBeside(ExecutablePath());
  if (!FileExists(worker))
    return;
  std::vector<char*> args;
  args.push_back(const_cast<char*>(worker.c_str()));
  for (int i = 1; i < argc; ++i)
    args.push_back(const_cast<char*>(argv[i]));
  args.push_back(nullptr);
  execv(worker.c_str(), args.data());
}

bool RunScanWorkerIfAsked(int argc, const char* const* argv, int& exitCode)
{
  // The path comes from argv itself: the command line's slots would cut a
  // long one.
  const std::string jobPath = FindWorkerJobArgument(argc, argv);
  if (jobPath.empty())
    return false;
  struct sigaction sa {};
  sa.sa_handler = OnTerminateSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);

  CTessaruneApp& app = TheApp();
  CMyAppCommandLineInfo cmd;
  cmd.ParseArguments(argc, argv);
  InterpretCommandLine(app, cmd);
  app.m_strNeocpWorker = jobPath;
  app.m_astrNeocpFiles.clear();
  LoadSettings();
  LoadMpephFromFolders(app.Paths());
  ReplacePlanetaryReader(app.Paths());

  WorkerUiServices ui;
  ScopedUi scoped(ui);
  {
    CDeterminationDisplay view;
    PrepareScanWorkerView(view, app);
    WorkerScanHost host(&view, &g_bTerminate);
    ui.m_pHost = &host;
    exitCode = RunWorkerJob(host, jobPath) ? 0 : 1;
    ui.m_pHost = nullptr;
  }
  ClosePlanetaryReader();
  return true;
}

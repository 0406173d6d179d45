#include "app/tessarune_wx_app.h"

#include <string>

#include <wx/display.h>
#include <wx/image.h>

#include "app/about_dlg.h"
#include "app/child_frame.h"
#include "app/cpu_selection.h"
#include "app/doc_shells.h"
#include "app/ephemeris_download.h"
#include "app/form_template.h"
#include "app/form_view.h"
#include "app/main_frame.h"
#include "app/registry/window_registry.h"
#include "app/toolkit_language.h"
#include "astro/jpl_eph.h"
#include "astro/mpeph_store.h"
#include "data/ui/element_file_dialogs.h"
#include "engine/ui/cancel_dlg.h"
#include "platform/files.h"
#include "platform/wx/first_show.h"
#include "resources/app_strings.h"

wxIMPLEMENT_APP_NO_MAIN(CTessaruneWxApp);

namespace {

constexpr int kOnScreenWaitMs = 3000;

bool PlanetaryReaderUsable()
{
  return g_pJplEph && g_pJplEph->IsOpen() && g_dJplEnd > 0;
}

// The first of the arguments the command line looks at (argv[1..8]) that
// names an existing file; switches never do.
std::string CommandLineFile(const std::vector<std::string>& args)
{
  for (size_t i = 1; i < args.size() && i <= CMyAppCommandLineInfo::kSlots; ++i)
    if (!args[i].empty() && args[i][0] != '-' && FileExists(args[i]))
      return args[i];
  return {};
}

} // namespace

PixelRect VirtualScreen()
{
  wxRect all;
  for (unsigned i = 0; i < wxDisplay::GetCount(); ++i)
    all = all.IsEmpty() ? wxDisplay(i).GetGeometry() : all.Union(wxDisplay(i).GetGeometry());
  return {all.x, all.y, all.width, all.height};
}

CTessaruneWxApp::CTessaruneWxApp()
{
  Bind(wxEVT_MENU, &CTessaruneWxApp::OnAppAbout, this, ID_APP_ABOUT);
}

CTessaruneWxApp::~CTessaruneWxApp() = default;

std::string CTessaruneWxApp::DocumentsFolderInUse() const
{
  return m_env ? m_env->documents : DocumentsFolder();
}

bool CTessaruneWxApp::OnInit()
{
  return InitInstance();
}

// Start-up. Steps of the Windows program with no counterpart here: the
// control container (wx needs none), the hook that restyled single-line edits
// (GTK entries already centre their text), the power-throttling opt-out (no
// such throttling) and the recent-file list read from the framework's own
// profile (the list is kept for the run only).
bool CTessaruneWxApp::InitInstance()
{
  InstallQuietAssertHandler();
  InstallEscapeKeyFilter();
  SetAppName(AppText::kAppTitle);
  UseJapaneseToolkitTexts();
  m_wxUi = std::make_unique<WxUiServices>();
  SetUi(m_pUiOverride ? m_pUiOverride : m_wxUi.get());

  // Image decoding (JPEG textures, bitmaps) in place of GDI+.
  wxInitAllImageHandlers();
  KeepToHighestCapacityCpus();
  m_pDocManager = new CDocManager;

  CTessaruneApp& app = TheApp();
  LoadSettings(app, m_env ? *m_env : CurrentEnvironment());
  LoadMpephFromFolders(app.Paths());

  RegisterShellDocTemplates(m_pDocManager);
  RegisterTemplates();

  m_pMainFrame = new CMainFrame;
  if (!m_pMainFrame->Create(m_pDocManager)) {
    m_pMainFrame->Destroy();
    m_pMainFrame = nullptr;
    return false;
  }
  m_wxUi->SetMainFrame(m_pMainFrame);
  m_pMainFrame->Bind(wxEVT_DESTROY, [this](wxWindowDestroyEvent& e) {
    if (e.GetEventObject() == m_pMainFrame.get())
      m_wxUi->SetMainFrame(nullptr);
    e.Skip();
  });
  SetTopWindow(m_pMainFrame);

  std::vector<std::string> args;
  std::vector<const char*> ptrs;
  for (int i = 0; i < argc; ++i)
    args.push_back(FromWx(argv[i]));
  for (const std::string& a : args)
    ptrs.push_back(a.c_str());
  CMyAppCommandLineInfo cmd;
  cmd.ParseArguments(static_cast<int>(ptrs.size()), ptrs.data());
  InterpretCommandLine(app, cmd);

  const bool worker = app.IsWorker();
  if (worker) {
    app.m_astrNeocpFiles.clear();
    // A worker shows no window and never waits on a message box.
    m_workerUi = std::make_unique<HeadlessUiServices>();
    if (!m_pUiOverride)
      SetUi(m_workerUi.get());
  } else {
    // The engine's cancel dialog, and the element reader asking for its file
    // and its object, through the windows.
    InstallCancelDialogs();
    InstallElementFileDialogs();
  }

  OpenWindows().m_pEphemerides = nullptr;
  OpenWindows().m_pMpDisGraphDlg = nullptr;
  OpenWindows().m_pGlobeDlg = nullptr;
  OpenWindows().m_pOrbitViewDlg = nullptr;
  OpenWindows().m_pMagCurveDlg = nullptr;
  OpenWindows().m_pVisibilityChartDlg = nullptr;
  OpenWindows().m_pSearchRangeDlg = nullptr;

  ReplacePlanetaryReader(app.Paths());

  const std::optional<PixelRect> placed = PlaceMainWindow();
  if (!worker) {
    ShowAtItsSize(m_pMainFrame);
    const bool maximised = StoredMainWindowMaximised(app);
    if (maximised)
      m_pMainFrame->Maximize(true);
    // The start-up dialogs belong in front of the frame: it must be on screen first.
    WaitUntilOnScreen(m_pMainFrame, kOnScreenWaitMs);
    // A window manager may place a new window by its own rule, ignoring the
    // stored corner; the next close would then store its choice.
    if (placed && !maximised && m_pMainFrame->GetPosition() != wxPoint(placed->x, placed->y)) {
      m_pMainFrame->Move(placed->x, placed->y);
      m_pMainFrame->SetNormalRect(*placed);
    }
    m_pMainFrame->Update();
  }

  if (!worker && !FileExists(app.m_szDe441File)) {
    RunPlanetaryDownloadDialog(m_pMainFrame);
    if (FileExists(app.m_szDe441File))
      ReplacePlanetaryReader(app.Paths());
  }

  if (!worker && !PlanetaryReaderUsable())
    Ui().ShowMessage(AppText::kAppTitle, AppText::kNoEphemerisWarning, MsgIcon::Warning, MsgButtons::Ok);

  if (CChildFrame* frame = m_pTemplDetermination->CreateNewFrame(m_pMainFrame)) {
    m_pTemplDetermination->InitialUpdateFrame(frame);
    // An observation file named on the command line is opened in the view.
    const std::string file = CommandLineFile(args);
    if (!file.empty() && !worker && frame->GetFormView())
      frame->GetFormView()->OpenCommandLineFile(file);
    // Once the view has laid itself out in the frame's first size.
    if (!placed && !worker)
      m_pMainFrame->CallAfter([frame = m_pMainFrame] { frame->GrowToActiveView(); });
  }
  return true;
}

void CTessaruneWxApp::RegisterTemplates()
{
  auto add = [this](int id, FunctionView kind) {
    m_templates.push_back(std::make_unique<CFormTemplate>(id, kind));
    return m_templates.back().get();
  };
  // The views register their factories with these templates as they are built.
  m_pTemplEphemerides = add(IDR_EPHEMERIDES, FunctionView::Ephemerides);
  m_pTemplEphList = add(IDR_EPH_LIST, FunctionView::EphList);
  m_pTemplWhoisObs = add(IDR_WHOIS_OBS, FunctionView::WhoisObs);
  m_pTemplChecking = add(IDR_CHECKING, FunctionView::Checking);
  m_pTemplDetermination = add(IDR_DETERMINATION, FunctionView::Determination);
  m_pTemplMoveEpoch = add(IDR_MOVE_EPOCH, FunctionView::MoveEpoch);
  m_pTemplVaisala = add(IDR_VAISALA, FunctionView::Vaisala);
  std::vector<CFormTemplate*> all;
  for (const auto& t : m_templates)
    all.push_back(t.get());
  ApplyRegisteredViews(all);
}

CFormTemplate* CTessaruneWxApp::Template(FunctionView kind) const
{
  for (const auto& t : m_templates)
    if (t->Kind() == kind)
      return t.get();
  return nullptr;
}

std::optional<PixelRect> CTessaruneWxApp::PlaceMainWindow()
{
  const auto r = StoredMainWindowRect(TheApp(), VirtualScreen());
  if (r) {
    m_pMainFrame->SetSize(r->x, r->y, r->w, r->h);
    m_pMainFrame->SetNormalRect(*r);
  }
  return r;
}

void CTessaruneWxApp::OnAppAbout(wxCommandEvent& /*event*/)
{
  CAboutDlg dlg(m_pMainFrame);
  dlg.ShowModal();
}

int CTessaruneWxApp::OnExit()
{
  ClosePlanetaryReader();
  delete m_pDocManager;
  m_pDocManager = nullptr;
  SetUi(nullptr);
  RemoveEscapeKeyFilter();
  return wxApp::OnExit();
}

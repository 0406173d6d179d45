#pragma once
// The wxWidgets application: runs start-up and shutdown around the process's
// CTessaruneApp (TheApp()), owns the document templates and the main frame.
#include <memory>
#include <optional>
#include <vector>

#include <wx/app.h>
#include <wx/weakref.h>

#include "app/command_routing.h"
#include "app/main_frame.h"
#include "app/window_positions.h"
#include "platform/app_services.h"
#include "platform/wx/wx_ui_services.h"

class CFormTemplate;
class wxDocManager;

class CTessaruneWxApp : public wxApp {
public:
  CTessaruneWxApp();
  ~CTessaruneWxApp() override;

  bool OnInit() override;
  int OnExit() override;

  // Tests: the folders to find instead of the machine's, and the message
  // boxes to use instead of real ones (the caller keeps ownership).
  void UseEnvironment(const AppEnvironment& env) { m_env = env; }
  void UseUi(UiServices* ui) { m_pUiOverride = ui; }

  CMainFrame* MainFrame() const { return m_pMainFrame; }
  // The Documents folder of the environment in use.
  std::string DocumentsFolderInUse() const;
  // The template of a function view; null for an unknown kind.
  CFormTemplate* Template(FunctionView kind) const;

  // The function views' templates (103, 202, 188, 203, 204, 171, 207).
  CFormTemplate* m_pTemplEphemerides = nullptr;
  CFormTemplate* m_pTemplEphList = nullptr;
  CFormTemplate* m_pTemplWhoisObs = nullptr;
  CFormTemplate* m_pTemplChecking = nullptr;
  CFormTemplate* m_pTemplDetermination = nullptr;
  CFormTemplate* m_pTemplMoveEpoch = nullptr;
  CFormTemplate* m_pTemplVaisala = nullptr;

private:
  bool InitInstance();
  void RegisterTemplates();
  // The stored placement, when there is one that fits the screens.
  std::optional<PixelRect> PlaceMainWindow();
  void OnAppAbout(wxCommandEvent& event);

  std::optional<AppEnvironment> m_env;
  UiServices* m_pUiOverride = nullptr;
  std::unique_ptr<WxUiServices> m_wxUi;
  std::unique_ptr<HeadlessUiServices> m_workerUi;
  std::vector<std::unique_ptr<CFormTemplate>> m_templates;
  wxDocManager* m_pDocManager = nullptr;
  wxWeakRef<CMainFrame> m_pMainFrame;
};

wxDECLARE_APP(CTessaruneWxApp);

// The bounding rectangle of all monitors.
PixelRect VirtualScreen();

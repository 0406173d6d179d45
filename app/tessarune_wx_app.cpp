#include "app/tessarune_wx_app.h"

#include <string>
#include <vector>

#include <wx/frame.h>

#include "platform/app_services.h"

wxIMPLEMENT_APP_NO_MAIN(CTessaruneWxApp);

bool CTessaruneWxApp::OnInit()
{
  InstallQuietAssertHandler();
  m_ui = std::make_unique<WxUiServices>();
  SetUi(m_ui.get());

  CTessaruneApp& app = TheApp();
  LoadSettings();
  CMyAppCommandLineInfo cmd;
  std::vector<std::string> args;
  std::vector<const char*> ptrs;
  for (int i = 0; i < argc; ++i)
    args.push_back(FromWx(argv[i]));
  for (const std::string& a : args)
    ptrs.push_back(a.c_str());
  cmd.ParseArguments(static_cast<int>(ptrs.size()), ptrs.data());
  InterpretCommandLine(app, cmd);

  auto* frame = new wxFrame(nullptr, wxID_ANY, wxString::FromUTF8("Tessarune V2"), wxDefaultPosition,
                            wxSize(800, 600));
  frame->CreateStatusBar();
  m_ui->SetMainFrame(frame);
  SetTopWindow(frame);
  if (!app.IsWorker())
    frame->Show();
  return true;
}

int CTessaruneWxApp::OnExit()
{
  SetUi(nullptr);
  return wxApp::OnExit();
}

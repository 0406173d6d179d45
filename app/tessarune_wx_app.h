#pragma once
// The wxWidgets application: owns the window side of start-up and hands the
// process's CTessaruneApp (TheApp()) its settings and command line.
#include <memory>

#include <wx/app.h>

#include "platform/wx/wx_ui_services.h"

class CTessaruneWxApp : public wxApp {
public:
  bool OnInit() override;
  int OnExit() override;

private:
  std::unique_ptr<WxUiServices> m_ui;
};

wxDECLARE_APP(CTessaruneWxApp);

#pragma once
// Steps that open an observation file as a user does: the view's first menu
// clicked, its "open" item clicked, the path answered in the file chooser;
// they end once the view holds the file's observations.
#include <string>
#include <vector>

#include <wx/filedlg.h>

#include "determination/ui/determination_view.h"
#include "engine/orbit_engine.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_resource_ids.h"
#include "tests/determination_ui/dialog_watch.h"
#include "tests/determination_ui/view_session.h"

// watch must be registered and, like chosen, outlive the steps.
inline std::vector<ViewStep> OpenObsFileThroughMenuSteps(DialogWatch<wxFileDialog>& watch, const std::string& path,
                                                         bool& chosen)
{
  auto view = [] { return ViewSession::View(); };
  return {
      {"view shown", nullptr, [view] { return view() && view()->IsShownOnScreen(); }},
      ViewSession::OpenMenuStep(0, ID_OPEN_OBS_FILE),
      {"open command", [] { ViewSession::ClickMenuItem(ID_OPEN_OBS_FILE); },
       [&watch] { return watch.m_pOpen != nullptr; }},
      {"file chosen", nullptr,
       [&watch, &chosen, path, view] {
         AnswerFileChooser(watch.m_pOpen, ToWx(path), chosen);
         return view()->m_pEngine->m_nCalcState == kCalcLoaded;
       }},
  };
}

// Commands 144 and 32818 of the orbit-determination view under xvfb-run: 2015
// AB solved, the save dialog opened from the menu command and confirmed (the
// 8-line report in code page 932 written beside the observations), then a
// solution file restored through the open dialog of command 32818.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include <wx/eventfilter.h>
#include <wx/filedlg.h>
#include <wx/uiaction.h>

#include "astro/time_scales.h"
#include "determination/result_files.h"
#include "determination/ui/determination_view.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "resources/determination_ids.h"
#include "tests/common/test_data.h"
#include "tests/determination_ui/view_session.h"
#include "tests/engine/test_improvement_support.h"

namespace {

// The native file dialog is no top-level window of wx: its show event tells.
class FileDialogShown : public wxEventFilter {
public:
  FileDialogShown() { wxEvtHandler::AddFilter(this); }
  ~FileDialogShown() override { wxEvtHandler::RemoveFilter(this); }
  int FilterEvent(wxEvent& event) override
  {
    if (event.GetEventType() == wxEVT_SHOW)
      if (auto* d = dynamic_cast<wxFileDialog*>(event.GetEventObject()))
        m_dialog = static_cast<wxShowEvent&>(event).IsShown() ? d : nullptr;
    return Event_Skip;
  }
  wxFileDialog* m_dialog = nullptr;
};

// Keys go to the dialog under the pointer.
void KeysToDialog()
{
  wxUIActionSimulator().MouseMove(200, 200);
}

} // namespace

TEST(ResultFileCommands, SaveByMenuAndRestoreThroughTheOpenDialog)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(source, "obs/mpc80/orbfit_2015AB.obs");
  setenv("GSETTINGS_BACKEND", "memory", 1);
  ViewSession session("result_files");
  // The observations in the session's own folder: the report is offered beside them.
  const std::string obsFile =
      WriteTestFile(session.m_dir, "2015AB.obs", ObservationLinesBetween(ReadTestFile(source), 1960, 2060));
  FileDialogShown watch;
  std::string reportPath, solutionPath, reportBytes, calcLog;
  int shownFor = 0;
  auto dialogUp = [&] {
    shownFor = watch.m_dialog ? shownFor + 1 : 0;
    return shownFor > 10;
  };
  std::vector<ViewStep> steps = {
      {"loaded", nullptr, [] { return ViewSession::View() && ViewSession::View()->m_pEngine->m_nCalcState == 1; }},
      {"solve", [] {
         CDeterminationView& view = *ViewSession::View();
         if (PickAndDetermine(view, CalendarToJd(2015, 1, 1), CalendarToJd(2015, 2, 28)) &&
             ImproveTwoBody(view, 20) == 0)
           ImproveToConvergence(view, 30);
       },
       [] { return CanSaveResults(*ViewSession::View()); }},
      {"command 144", [&] {
         std::tm today{};
         const std::time_t now = std::time(nullptr);
         localtime_r(&now, &today);
         reportPath = session.m_dir + DefaultResultFileName(*ViewSession::View(), today);
         ViewSession::PostCommand(ID_SAVE_RESULT);
       },
       dialogUp},
      {"save dialog", [] { ViewSession::SaveScreen("save_results_dialog"); }, nullptr},
      {"confirm", [] {
         KeysToDialog();
         wxUIActionSimulator().Char(WXK_RETURN);
       },
       [&] { return !watch.m_dialog && FileExists(reportPath); }, 30, 0.3},
      {"solution file", [&] {
         solutionPath = session.m_dir + "2015AB_EX.IMP";
         WriteResultFile(*ViewSession::View(), solutionPath, kResultSolution, "", nullptr);
         ViewSession::PostCommand(ID_LOAD_SOLUTION);
       },
       dialogUp},
      {"open dialog", [] { ViewSession::SaveScreen("load_solution_dialog"); }, nullptr},
      {"type the path", [&] {
         KeysToDialog();
         wxUIActionSimulator().Text(solutionPath.c_str());
       },
       nullptr, 30, 0.5},
      {"open", [] { wxUIActionSimulator().Char(WXK_RETURN); },
       [] { return ViewSession::View()->m_strCalcLog.find("再現用ファイルを読み込みました") != std::string::npos; }},
      {"result pane", [&] {
         calcLog = ViewSession::View()->m_strCalcLog;
         ViewSession::SaveScreenshot(ViewSession::View(), "solution_loaded");
       },
       nullptr, 30, 0.5},
  };
  ASSERT_TRUE(session.Run({obsFile}, steps));
  EXPECT_EQ(session.FailedSteps(), "");
  EXPECT_TRUE(session.m_ui.m_messages.empty()) << session.m_ui.m_messages.front().text;
  ASSERT_TRUE(ReadWholeFile(reportPath, reportBytes)) << reportPath;
  std::string report;
  ASSERT_TRUE(Cp932ToUtf8(reportBytes, report));
  EXPECT_EQ(report.rfind("Orbital elements:\r\n", 0), 0u) << report;
  EXPECT_NE(report.find("\r\n>From "), std::string::npos);
  EXPECT_NE(calcLog.find("再現用ファイルを読み込みました: 2015AB_EX.IMP"), std::string::npos);
}

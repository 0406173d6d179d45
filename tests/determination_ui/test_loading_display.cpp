// Opening an observation file through the view's menu and the real event
// loop, three picks to a preliminary orbit, the element report in the
// result pane and "計算をやり直す" (under xvfb-run).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <utility>
#include <vector>

#include <wx/filedlg.h>
#include <wx/modalhook.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "app/main_frame.h"
#include "app/tessarune_wx_app.h"
#include "determination/ui/determination_view.h"
#include "determination/ui/mpc_fetch_dlg.h"
#include "engine/observation_picking.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_resource_ids.h"
#include "tests/common/test_data.h"
#include "tests/determination_ui/dialog_watch.h"
#include "tests/determination_ui/menu_open_steps.h"
#include "tests/determination_ui/view_session.h"

TEST(DeterminationLoading, MenuOpenPicksRedoAndCtrlO)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(obsFile, "obs/mpc80/orbfit_2015AB.obs");
  const std::string path = std::filesystem::canonical(obsFile).string();
  ViewSession session("detview_loading");
  DialogWatch<wxFileDialog> watch;
  watch.Register();
  std::string caption, result, redone, screenshot;
  bool chosen = false;
  int loadedState = -1, prelimState = -1, redoState = -1, afterCancelRows = -1, afterCancelState = -1;
  auto view = [] { return ViewSession::View(); };
  // The menu and its item clicked.
  std::vector<ViewStep> steps = OpenObsFileThroughMenuSteps(watch, path, chosen);
  steps.push_back({"loaded", [&] {
                     loadedState = view()->m_pEngine->m_nCalcState;
                     caption = view()->m_strViewCaption;
                   },
                   nullptr});
  for (const auto& [row, until] : std::vector<std::pair<int, std::function<bool()>>>{
           {14, [&] { return view()->m_nPicked == 1; }},
           {24, [&] { return view()->m_nPicked == 2; }},
           {36, [&] { return view()->m_pEngine->m_nCalcState == kCalcPreliminary; }}})
    for (ViewStep& step : ViewSession::ClickObsRowSteps(row, until))
      steps.push_back(std::move(step));
  std::vector<ViewStep> rest = {
      {"result pane",
       [&] {
         prelimState = view()->m_pEngine->m_nCalcState;
         result = view()->GetItemText(kIdResultEdit);
         screenshot = ViewSession::SaveScreenshot(wxGetApp().MainFrame(), "determination_result_pane");
         ViewSession::ClickTool(ID_REDO_CALC);
       },
       [&] { return view()->m_pEngine->m_nCalcState == kCalcLoaded; }},
      {"redone",
       [&] {
         redoState = view()->m_pEngine->m_nCalcState;
         redone = view()->GetItemText(kIdResultEdit);
         view()->SetFocus();
         wxUIActionSimulator().Char('O', wxMOD_CONTROL);
       },
       [&] { return watch.m_pOpen != nullptr; }},
      // Ctrl+O opens the dialog again; cancelled, it empties the caption and
      // leaves the observations.
      {"cancelled", [&] { watch.m_pOpen->EndModal(wxID_CANCEL); },
       [&] { return watch.m_pOpen == nullptr && view()->m_strViewCaption.empty(); }},
      {"after cancel",
       [&] {
         afterCancelRows = view()->m_pDetClass->m_nObsCount;
         afterCancelState = view()->m_pEngine->m_nCalcState;
       },
       nullptr},
  };
  for (ViewStep& step : rest)
    steps.push_back(std::move(step));
  ASSERT_TRUE(session.Run({}, steps));
  watch.Unregister();
  EXPECT_TRUE(session.m_failures.empty()) << (session.m_failures.empty() ? "" : session.m_failures.front());
  EXPECT_EQ(loadedState, kCalcLoaded);
  EXPECT_EQ(caption, path);
  EXPECT_EQ(prelimState, kCalcPreliminary);
  EXPECT_EQ(result.rfind("Orbital elements:\r\n", 0), 0u) << result;
  EXPECT_NE(result.find("Epoch "), std::string::npos) << result;
  EXPECT_EQ(redoState, kCalcLoaded);
  EXPECT_EQ(redone, kMsgPickHint);
  EXPECT_EQ(afterCancelRows, 37);
  EXPECT_EQ(afterCancelState, kCalcLoaded);
  for (const auto& m : session.m_ui.m_messages)
    ADD_FAILURE() << "message: " << m.text;
}

TEST(DeterminationLoading, MpcFetchDialogKeepsAnEmptyEntryOpen)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  // Without the planetary file the start-up warns about it in a box.
  TSR_REQUIRE_DATA(de, "de/lnxp1960p2060.405");
  ViewSession session("detview_fetch");
  DialogWatch<CMpcFetchDlg> watch;
  watch.Register();
  std::string title, screenshot;
  bool openAfterEmptyOk = false, focused = false;
  auto ok = [&] {
    wxCommandEvent click(wxEVT_BUTTON, wxID_OK);
    click.SetEventObject(watch.m_pOpen);
    watch.m_pOpen->GetEventHandler()->ProcessEvent(click);
  };
  std::vector<ViewStep> steps = {
      {"view shown", nullptr, [] { return ViewSession::View() && ViewSession::View()->IsShownOnScreen(); }},
      {"fetch command", [] { ViewSession::PostCommand(ID_FETCH_MPC_OBS); },
       [&] { return watch.m_pOpen && watch.m_pOpen->IsShownOnScreen(); }},
      {"blanks only, then OK",
       [&] {
         title = FromWx(watch.m_pOpen->GetTitle());
         focused = wxWindow::FindFocus() == watch.m_pOpen->m_pEdit;
         watch.m_pOpen->m_pEdit->ChangeValue("   ");
         ok();
       },
       [&, ticks = 0]() mutable { return ++ticks > 4; }},
      {"still open; screenshot; cancel",
       [&] {
         openAfterEmptyOk = watch.m_pOpen != nullptr;
         if (!watch.m_pOpen)
           return;
         watch.m_pOpen->m_pEdit->ChangeValue(ToWx("  C/2025 A1 "));
         screenshot = ViewSession::SaveScreenshot(watch.m_pOpen, "mpc_fetch_dialog");
         watch.m_pOpen->EndModal(wxID_CANCEL);
       },
       [&] { return watch.m_pOpen == nullptr; }},
  };
  ASSERT_TRUE(session.Run({}, steps));
  watch.Unregister();
  EXPECT_TRUE(session.m_failures.empty()) << (session.m_failures.empty() ? "" : session.m_failures.front());
  EXPECT_EQ(title, "MPCから観測データを取得");
  EXPECT_TRUE(focused);
  EXPECT_TRUE(openAfterEmptyOk);
  for (const auto& m : session.m_ui.m_messages)
    ADD_FAILURE() << "message: " << m.text;
}

namespace {

// The messages with the frame's title while each box is up.
class TitleAtMessage : public ViewSessionUi {
public:
  MsgAnswer ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                        MsgButtons buttons) override
  {
    wxWindow* frame = ViewSession::View() ? ViewSession::View()->GetParent() : nullptr;
    m_titles.push_back(frame ? FromWx(frame->GetLabel()) : std::string());
    return ViewSessionUi::ShowMessage(caption, text, icon, buttons);
  }
  std::vector<std::string> m_titles;
};

} // namespace

// 1862 Apollo observed from 1930 with the planetary file of 1960-2060: the
// file is there, so the refusal names its span and the first observation
// outside it, and the frame's title does not name the refused file.
TEST(DeterminationLoading, ObservationsBeforeThePlanetaryFileAreRefusedWithTheSpan)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(obsFile, "obs/mpc80/orbfit_1862.obs");
  const std::string path = std::filesystem::canonical(obsFile).string();
  ViewSession session("detview_span");
  DialogWatch<wxFileDialog> watch;
  watch.Register();
  TitleAtMessage ui;
  bool chosen = false;
  std::string titleBefore, titleAfter;
  auto view = [] { return ViewSession::View(); };
  std::vector<ViewStep> steps = {
      {"view shown", nullptr, [&] { return view() && view()->IsShownOnScreen(); }},
      {"title", [&] {
         titleBefore = FromWx(view()->GetParent()->GetLabel());
         SetUi(&ui);
       },
       nullptr},
      ViewSession::OpenMenuStep(0, ID_OPEN_OBS_FILE),
      {"open command", [] { ViewSession::ClickMenuItem(ID_OPEN_OBS_FILE); }, [&] { return watch.m_pOpen != nullptr; }},
      {"file chosen", nullptr,
       [&] {
         AnswerFileChooser(watch.m_pOpen, ToWx(path), chosen);
         return !ui.m_messages.empty();
       }},
      {"after", [&] {
         titleAfter = FromWx(view()->GetParent()->GetLabel());
         SetUi(&session.m_ui);
       },
       nullptr},
  };
  ASSERT_TRUE(session.Run({}, steps));
  watch.Unregister();
  EXPECT_TRUE(session.m_failures.empty()) << (session.m_failures.empty() ? "" : session.m_failures.front());
  ASSERT_EQ(ui.m_messages.size(), 1u);
  const std::string& text = ui.m_messages[0].text;
  EXPECT_NE(text.find("惑星暦ファイルの範囲(1959/12/10～2060/1/30)の前の観測があるため"), std::string::npos) << text;
  EXPECT_NE(text.find("範囲外の最初の観測: 1930/12/13.19"), std::string::npos) << text;
  EXPECT_EQ(text.find("DE406"), std::string::npos);
  ASSERT_EQ(ui.m_titles.size(), 1u);
  EXPECT_EQ(ui.m_titles[0].find("orbfit_1862"), std::string::npos) << ui.m_titles[0];
  EXPECT_EQ(titleAfter, titleBefore);
}

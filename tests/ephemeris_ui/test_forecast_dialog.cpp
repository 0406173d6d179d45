// The forecast dialog in the running program (under xvfb-run): 2015 AB
// determined with perturbations, command 157 of the view's menu opens the
// dialog; an epoch typed and "計算(&C)" give the elements of 2030/1/1 with
// the result tab in front; Enter in a field does nothing; "閉じる(&X)" hides
// the dialog and the command shows it again with its contents. While it
// shows, the view's twenty controls and its open and redo commands wait.
// C/1998 P1, whose original orbit stops at the planetary file's start, gets
// no classification from it.
#include <gtest/gtest.h>

#include <cstdlib>

#include <wx/frame.h>
#include <wx/gauge.h>
#include <wx/menu.h>
#include <wx/notebook.h>
#include <wx/textctrl.h>
#include <wx/toolbar.h>
#include <wx/uiaction.h>

#include "app/help_pages.h"
#include "app/main_frame.h"
#include "app/tessarune_wx_app.h"
#include "data/ui/info_help.h"
#include "determination/ui/determination_view.h"
#include "engine/orbit_engine.h"
#include "ephemeris/ui/forecast_dlg.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_resource_ids.h"
#include "resources/determination_ids.h"
#include "tests/common/test_data.h"
#include "tests/determination_ui/view_session.h"

namespace {

void Append(std::vector<ViewStep>& steps, std::vector<ViewStep> more) {
  for (ViewStep& s : more) steps.push_back(std::move(s));
}

CForecastDlg* Shown() { return g_pForecastDlg && g_pForecastDlg->IsShownOnScreen() ? g_pForecastDlg : nullptr; }

void TypeInto(int id, const char* keys) {
  auto* edit = static_cast<wxTextCtrl*>(g_pForecastDlg->Control(id));
  edit->SetFocus();
  edit->SelectAll();
  wxUIActionSimulator().Text(keys);
}

std::string TextOf(int id) { return g_pForecastDlg->Text(id); }

// From the loaded file to its solution with perturbations: three rows
// picked, "摂動計算あり" checked, "自動(&A)" clicked until the improvement ends.
std::vector<ViewStep> ImprovedWithPerturbationsSteps(int row1, int row2, int row3) {
  auto view = [] { return ViewSession::View(); };
  auto idle = [view] { return !EngineBusy(view()->m_pEngine) && !view()->m_pEngine->m_bAutoRunning; };
  std::vector<ViewStep> steps = {
      {"loaded", nullptr, [view] { return view() && view()->m_pEngine->m_nCalcState == kCalcLoaded; }},
  };
  Append(steps, ViewSession::ClickObsRowSteps(row1, [view] { return view()->m_pEngine->m_nCalcState == 2; }));
  Append(steps, ViewSession::ClickObsRowSteps(row2, [view] { return view()->m_nPicked == 2; }));
  Append(steps, ViewSession::ClickObsRowSteps(row3, [view] { return view()->m_pEngine->m_nCalcState == 3; }));
  steps.push_back({"perturbations", [view] {
                     if (!view()->IsChecked(kIdPerturbationsCheck))
                       ViewSession::ClickControlSteps(kIdPerturbationsCheck, nullptr)[1].run();
                   },
                   [view] { return view()->m_pEngine->m_bPerturbations == 1; }, 30, 0.3});
  Append(steps, ViewSession::ClickControlSteps(kIdAutoImprove, [view, idle] {
           return view()->m_pEngine->m_nCalcState == kCalcImprovedPerturbed && idle();
         }));
  return steps;
}

bool ToolEnabled(int id) {
  wxToolBar* bar = wxGetApp().MainFrame()->GetToolBar();
  return bar && bar->GetToolEnabled(id);
}

}  // namespace

TEST(ForecastDialog, OpenedByTheViewsCommandMovesTheSolution) {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(obsFile, "obs/mpc80/orbfit_2015AB.obs");
  ViewSession session("forecast_dialog");
  auto view = [] { return ViewSession::View(); };
  bool enabledAfter = false, shownAfterEnter = false, hidden = false, takenAfterRun = false;
  int tab = -1, progress = -1;
  std::string result, status, day, again;
  std::vector<std::string> helpTitles;
  std::vector<ViewStep> steps = ImprovedWithPerturbationsSteps(14, 24, 36);
  std::vector<ViewStep> dialog = {
      // The "表示(&V)" menu opened from the keyboard is updated as it opens.
      {"Alt+V", [view] {
         view()->SetFocus();
         wxUIActionSimulator().Char('v', wxMOD_ALT);
       },
       nullptr, 30, 0.8},
      {"menu", [&] {
         wxMenuBar* bar = dynamic_cast<wxFrame*>(view()->GetParent())->GetMenuBar();
         enabledAfter = bar->IsEnabled(ID_FORECAST);
         wxUIActionSimulator().Char(WXK_ESCAPE);
       },
       nullptr, 30, 0.5},
      {"command 157", [] { ViewSession::PostCommand(ID_FORECAST); }, [] { return Shown() != nullptr; }, 30, 0.5},
      // The view's controls and its loading commands wait while the dialog shows.
      {"view taken", nullptr, [view] {
         return !view()->IsItemEnabled(kIdAutoImprove) && !view()->IsItemEnabled(kIdObsList) &&
                !ToolEnabled(ID_OPEN_OBS_FILE) && !ToolEnabled(ID_REDO_CALC);
       }},
      {"year", [] { TypeInto(kFcEpochYear, "2030"); }, [] { return TextOf(kFcEpochYear) == "2030"; }},
      {"month", [] { TypeInto(kFcEpochMonth, "1"); }, [] { return TextOf(kFcEpochMonth) == "1"; }},
      {"day", [] { TypeInto(kFcEpochDay, "1"); }, [] { return TextOf(kFcEpochDay) == "1"; }, 30, 0.3},
      {"Enter", [] { wxUIActionSimulator().Char(WXK_RETURN); }, nullptr, 30, 0.5},
      {"calculate", [&] {
         shownAfterEnter = Shown() != nullptr && TextOf(kFcStatus).empty();
         ViewSession::ClickButtonOf(g_pForecastDlg, kFcCalc);
       },
       [] { return TextOf(kFcStatus) == "計算完了" && !EngineBusy(ViewSession::View()->m_pEngine); }, 120, 0.5},
      {"screenshot", [&] {
         result = TextOf(kFcResult);
         status = TextOf(kFcStatus);
         day = TextOf(kFcEpochDay);
         progress = static_cast<wxGauge*>(g_pForecastDlg->Control(kFcProgress))->GetValue();
         takenAfterRun = !view()->IsItemEnabled(kIdAutoImprove);
         tab = static_cast<wxNotebook*>(g_pForecastDlg->Control(kFcTabs))->GetSelection();
         ViewSession::SaveScreenshot(g_pForecastDlg, "forecast_dialog");
       },
       nullptr},
      // The three information marks: two illustrated pages and a topic.
      {"mark 1336", [] { ViewSession::ClickButtonOf(g_pForecastDlg, kFcOrgFutHelp); },
       [] { return g_pOrgFutHelp && g_pOrgFutHelp->IsShownOnScreen(); }, 30, 0.5},
      {"original and future", [&] {
         helpTitles.push_back(g_pOrgFutHelp->m_strTitle);
         ViewSession::SaveScreenshot(g_pOrgFutHelp, "help_org_fut");
         ViewSession::ClickButtonOf(g_pOrgFutHelp, wxID_OK);
       },
       [] { return g_pOrgFutHelp == nullptr; }},
      {"mark 1408", [] { ViewSession::ClickButtonOf(g_pForecastDlg, kFcImpactHelp); },
       [] { return g_pImpactHelp && g_pImpactHelp->IsShownOnScreen(); }, 30, 0.5},
      {"clone count", [&] {
         helpTitles.push_back(g_pImpactHelp->m_strTitle);
         ViewSession::SaveScreenshot(g_pImpactHelp, "help_impact");
         ViewSession::ClickButtonOf(g_pImpactHelp, wxID_OK);
       },
       [] { return g_pImpactHelp == nullptr; }},
      {"mark 1407", [] { ViewSession::ClickButtonOf(g_pForecastDlg, kFcStepHelp); },
       [] { return g_pInfoHelp && g_pInfoHelp->IsShownOnScreen(); }, 30, 0.5},
      {"step topic", [&] {
         helpTitles.push_back(g_pInfoHelp->m_strTitle);
         ViewSession::SaveScreenshot(g_pInfoHelp, "help_forecast_step");
         ViewSession::ClickButtonOf(g_pInfoHelp, wxID_OK);
       },
       [] { return g_pInfoHelp == nullptr; }},
      {"close", [] { ViewSession::ClickButtonOf(g_pForecastDlg, wxID_CLOSE); }, [] { return Shown() == nullptr; }},
      {"view given back", nullptr, [view] {
         return view()->IsItemEnabled(kIdAutoImprove) && view()->IsItemEnabled(kIdObsList) &&
                ToolEnabled(ID_OPEN_OBS_FILE) && ToolEnabled(ID_REDO_CALC);
       }},
      {"again", [&] {
         hidden = g_pForecastDlg != nullptr;
         ViewSession::PostCommand(ID_FORECAST);
       },
       [] { return Shown() != nullptr; }},
      {"contents", [&] { again = TextOf(kFcResult); }, nullptr},
  };
  Append(steps, std::move(dialog));
  ASSERT_TRUE(session.Run({obsFile}, steps));
  EXPECT_EQ(session.FailedSteps(), "");
  EXPECT_TRUE(enabledAfter);
  EXPECT_EQ(helpTitles, (std::vector<std::string>{"原初軌道・未来軌道とは", "クローン数とは", "積分間隔の自動調整とは"}));
  EXPECT_TRUE(shownAfterEnter);
  EXPECT_EQ(day, "1.0");
  EXPECT_EQ(tab, 0);
  EXPECT_EQ(progress, 100);
  EXPECT_NE(result.find("2030"), std::string::npos) << result;
  EXPECT_TRUE(hidden);
  EXPECT_TRUE(takenAfterRun) << "the run's state change gave the view's controls back";
  EXPECT_EQ(again, result);
  EXPECT_TRUE(session.m_ui.m_messages.empty()) << session.m_ui.m_messages[0].text;
}

// C/1998 P1's original orbit meets the start of the 1960-2060 planetary file
// (near 63 AU) before 250 AU: the window's report says that its class line
// and its 1/a are not the original orbit's, and draws no conclusion from them.
TEST(ForecastDialog, OriginalOrbitStoppedAtTheFilesStartIsNotClassified) {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(obsFile, "obs/mpc80/orbitfinder_C_1998_P1.txt");
  ViewSession session("forecast_stopped");
  std::string result;
  std::vector<ViewStep> steps = ImprovedWithPerturbationsSteps(0, 235, 470);
  Append(steps, {
      {"command 157", [] { ViewSession::PostCommand(ID_FORECAST); }, [] { return Shown() != nullptr; }, 30, 0.5},
      {"原初・未来", [] { ViewSession::ClickButtonOf(g_pForecastDlg, kFcModeBoth); }, nullptr, 30, 0.5},
      {"calculate", [] { ViewSession::ClickButtonOf(g_pForecastDlg, kFcCalc); },
       [] { return TextOf(kFcStatus) == "計算完了" && !EngineBusy(ViewSession::View()->m_pEngine); }, 300, 0.5},
      {"read", [&] {
         result = TextOf(kFcResult);
         ViewSession::SaveScreenshot(g_pForecastDlg, "forecast_stopped");
       },
       nullptr},
  });
  ASSERT_TRUE(session.Run({obsFile}, steps));
  EXPECT_EQ(session.FailedSteps(), "");
  EXPECT_NE(result.find("===== 原初軌道 (日心: 250 AU に届く前に 1960/1/19 で惑星暦の範囲の端に達して停止"),
            std::string::npos)
      << result;
  EXPECT_NE(result.find("軌道分類: 双曲線軌道の彗星(非周期)   (250 AU に届く前の軌道による分類: 原初軌道の分類ではありません)\r\n"),
            std::string::npos)
      << result;
  EXPECT_NE(result.find("AU^-1   (250 AU に届く前の値: 軌道の分類には使えません)\r\n  未来 1/a"), std::string::npos)
      << result;
  EXPECT_NE(result.find("原初軌道・未来軌道の分類と変化の向きは判定できません。"), std::string::npos) << result;
}

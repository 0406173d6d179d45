// The orbit-determination view in the running program (under xvfb-run).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include <wx/clipbrd.h>
#include <wx/image.h>
#include <wx/menu.h>
#include <wx/notebook.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "app/child_frame.h"
#include "app/main_frame.h"
#include "app/tessarune_wx_app.h"
#include "determination/ui/determination_view.h"
#include "determination/ui/obs_list_ctrl.h"
#include "engine/orbit_engine.h"
#include "platform/app_services.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_resource_ids.h"
#include "resources/determination_ids.h"
#include "tests/common/test_data.h"
#include "tests/data/test_observation_support.h"
#include "tests/determination_ui/view_session.h"

namespace {

bool HaveDisplay()
{
  const char* d = std::getenv("DISPLAY");
  return d && *d;
}

void Append(std::vector<ViewStep>& steps, std::vector<ViewStep> more)
{
  for (ViewStep& s : more)
    steps.push_back(std::move(s));
}

std::string Joined(const std::vector<std::string>& texts)
{
  std::string all;
  for (const std::string& t : texts)
    all += (all.empty() ? "" : ", ") + t;
  return all;
}

// Glyphs in a screenshot: runs of at least three neighbouring pixel columns
// that hold a pixel darker than the corner's background (a one-pixel border
// or separator is no glyph).
int GlyphColumnRuns(const std::string& png)
{
  wxImage image;
  if (!image.LoadFile(png, wxBITMAP_TYPE_PNG))
    return -1;
  auto sum = [&](int x, int y) { return image.GetRed(x, y) + image.GetGreen(x, y) + image.GetBlue(x, y); };
  const int background = sum(0, 0);
  int runs = 0, width = 0;
  for (int x = 0; x <= image.GetWidth(); ++x) {
    bool ink = false;
    for (int y = 0; x < image.GetWidth() && y < image.GetHeight() && !ink; ++y)
      ink = sum(x, y) < background - 60;
    width = ink ? width + 1 : 0;
    runs += width == 3;
  }
  return runs;
}

} // namespace

TEST(DeterminationView, OpensAtStartUpWithTheFileOfTheCommandLine)
{
  if (!HaveDisplay())
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(obsFile, "obs/mpc80/orbfit_2015AB.obs");
  ViewSession session("detview_start");
  std::string title, menu, cell, screenshot, fileItems, laterItems;
  bool epochFocused = true;
  std::string asteroidFlags;
  int rows = -1, state = -1;
  std::vector<int> spinGlyphs;
  std::vector<ViewStep> steps = {
      {"view shown with its menu", nullptr,
       [] {
         CDeterminationView* v = ViewSession::View();
         wxMenuBar* bar = v ? dynamic_cast<wxFrame*>(v->GetParent())->GetMenuBar() : nullptr;
         return v && v->IsShownOnScreen() && bar && bar->IsShown();
       }},
      {"read", [&] {
         CDeterminationView* v = ViewSession::View();
         title = FromWx(static_cast<wxWindow*>(v->GetParent())->GetLabel());
         wxMenuBar* bar = dynamic_cast<wxFrame*>(v->GetParent())->GetMenuBar();
         menu = bar ? FromWx(bar->GetMenuLabel(0)) : "";
         rows = v->ObsList()->GetItemCount();
         state = v->m_pEngine->m_nCalcState;
         cell = v->ObsCellText(0, 0);
         screenshot = ViewSession::SaveScreenshot(wxGetApp().MainFrame(), "determination_start");
         // The rejection spins draw their "-" and "+" and nothing else: no counter of their own.
         for (int id : {kIdRejectOldSpin, kIdRejectNewSpin})
           spinGlyphs.push_back(GlyphColumnRuns(
               ViewSession::SaveScreenshot(v->Widget(id), "determination_reject_spin_" + std::to_string(id))));
       },
       nullptr},
      // The menus as the user opens them: the loading commands are offered,
      // the diagnostics of later work are not.
      ViewSession::OpenMenuStep(0, ID_OPEN_OBS_FILE),
      {"read ﾌｧｲﾙ", [&] {
         wxMenuBar* bar = ViewSession::ShownMenuBar();
         for (int id : {ID_OPEN_OBS_FILE, ID_FETCH_MPC_OBS, ID_FETCH_NEOCP_OBS})
           fileItems += bar->IsEnabled(id) ? "1" : "0";
         wxUIActionSimulator().Char(WXK_ESCAPE);
       },
       nullptr, 30, 0.4},
      // A click on a read-only Epoch field is swallowed: no caret in it.
      {"focus the list", [] { ViewSession::View()->ObsList()->SetFocus(); }, nullptr, 30, 0.3},
      {"click the Epoch month", [] {
         wxWindow* month = ViewSession::View()->Widget(kIdEpochMonth);
         wxUIActionSimulator sim;
         sim.MouseMove(month->ClientToScreen(wxPoint(month->GetSize().x / 2, month->GetSize().y / 2)));
         sim.MouseClick();
       },
       nullptr, 30, 0.5},
      {"read the focus", [&] { epochFocused = ViewSession::View()->Widget(kIdEpochMonth)->HasFocus(); }, nullptr},
      // "小惑星" unchecked by a click: the engine and the tool windows take a comet.
      {"click 小惑星", [] {
         wxWindow* box = ViewSession::View()->Widget(kIdAsteroidCheck);
         wxUIActionSimulator sim;
         sim.MouseMove(box->ClientToScreen(wxPoint(8, box->GetSize().y / 2)));
         sim.MouseClick();
       },
       [] { return ViewSession::View()->IsChecked(kIdAsteroidCheck) == 0; }},
      {"read the asteroid flags", [&] {
         asteroidFlags = std::to_string(ViewSession::View()->m_pEngine->m_state.m_bAsteroid) +
                         std::to_string(ViewSession::View()->m_displayOrbit.m_bAsteroid);
       },
       nullptr},
      ViewSession::OpenMenuStep(1, ID_STATION_STATS),
      {"read 表示", [&] {
         wxMenuBar* bar = ViewSession::ShownMenuBar();
         for (int id : {ID_STATION_STATS, ID_ERA_STATS, ID_NONGRAV_CHECK})
           laterItems += bar->IsEnabled(id) ? "1" : "0";
         ViewSession::SaveScreen("determination_view_menu");
         wxUIActionSimulator().Char(WXK_ESCAPE);
       },
       nullptr, 30, 0.4},
  };
  ASSERT_TRUE(session.Run({obsFile}, steps));
  EXPECT_TRUE(session.m_failures.empty());
  EXPECT_EQ(title, obsFile);  // the loaded file is the frame's caption
  EXPECT_EQ(menu, "ﾌｧｲﾙ(&F)");
  EXPECT_EQ(rows, 37);
  EXPECT_EQ(state, 1);
  EXPECT_EQ(cell.size(), 17u);  // "yyyy mm dd.dddddd"
  EXPECT_EQ(fileItems, "111");
  EXPECT_EQ(laterItems, "000");
  EXPECT_FALSE(epochFocused);
  EXPECT_EQ(asteroidFlags, "00");
  EXPECT_EQ(spinGlyphs, (std::vector<int>{2, 2}));
}

TEST(DeterminationView, PicksPreliminaryOrbitAndImprovementsThroughTheEventLoop)
{
  if (!HaveDisplay())
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(obsFile, "obs/mpc80/orbfit_2015AB.obs");
  ViewSession session("detview_picks");
  int state = -1;
  std::string flags, result, residualCell, log, enabledInState3;
  double twoBodyResidual = -1, perturbedResidual = -1;
  auto view = [] { return ViewSession::View(); };
  auto stateIs = [view](int s) { return [view, s] { return view() && view()->m_pEngine->m_nCalcState == s; }; };
  std::vector<ViewStep> steps = {{"loaded", nullptr, stateIs(1)}};
  Append(steps, ViewSession::ClickObsRowSteps(14, stateIs(2)));
  Append(steps, ViewSession::ClickObsRowSteps(24, [view] { return view()->m_nPicked == 2; }));
  Append(steps, ViewSession::ClickObsRowSteps(36, stateIs(3)));
  steps.push_back({"settle", nullptr, nullptr, 30, 0.5});
  steps.push_back(
      {"read the preliminary orbit", [&] {
         state = view()->m_pEngine->m_nCalcState;
         for (int id : {kIdParabolicCheck, kIdStepCombo, kIdAutoImprove, kIdManualImprove, kIdRejectYear})
           enabledInState3 += view()->Widget(id)->IsEnabled() ? "1" : "0";
         flags = view()->ObsCellText(14, 6) + view()->ObsCellText(24, 6) + view()->ObsCellText(36, 6);
         result = view()->GetItemText(kIdResultEdit);
         ViewSession::SaveScreenshot(wxGetApp().MainFrame(), "determination_preliminary");
       },
       nullptr});
  // Without perturbations: the box off, then two steps by hand.
  auto idleIn = [view](int s) {
    return [view, s] { return view()->m_pEngine->m_nCalcState == s && !EngineBusy(view()->m_pEngine); };
  };
  Append(steps, ViewSession::ClickControlSteps(kIdPerturbationsCheck, [view] { return !view()->m_pEngine->m_bPerturbations; }));
  Append(steps, ViewSession::ClickControlSteps(kIdManualImprove, idleIn(4)));
  Append(steps, ViewSession::ClickControlSteps(kIdManualImprove, idleIn(4)));
  steps.push_back({"read the two-body orbit", [&] { twoBodyResidual = view()->m_pEngine->m_dMeanResidual; }, nullptr});
  // With perturbations.
  Append(steps, ViewSession::ClickControlSteps(kIdPerturbationsCheck, [view] { return view()->m_pEngine->m_bPerturbations == 1; }));
  for (int i = 0; i < 3; ++i)
    Append(steps, ViewSession::ClickControlSteps(kIdManualImprove, idleIn(5)));
  steps.push_back({"settle", nullptr, nullptr, 30, 0.5});
  steps.push_back({"read the residuals", [&] {
                     perturbedResidual = view()->m_pEngine->m_dMeanResidual;
                     residualCell = view()->ObsCellText(20, 4);
                     ViewSession::SaveScreenshot(view()->ObsList(), "determination_list");
                   },
                   nullptr});
  Append(steps, ViewSession::ClickTabSteps(0, [view] { return view()->IsItemVisible(kIdResultEdit); }));
  steps.push_back({"settle", nullptr, nullptr, 30, 0.5});
  steps.push_back({"read the result", [&] {
                     result = view()->GetItemText(kIdResultEdit);
                     ViewSession::SaveScreenshot(view()->Widget(kIdTabs), "determination_result");
                   },
                   nullptr});
  Append(steps, ViewSession::ClickTabSteps(1, [view] { return view()->IsItemVisible(kIdCalcLogEdit); }));
  steps.push_back({"settle", nullptr, nullptr, 30, 0.5});
  steps.push_back({"read the log", [&] {
                     log = view()->GetItemText(kIdCalcLogEdit);
                     ViewSession::SaveScreenshot(view()->Widget(kIdTabs), "determination_log");
                     ViewSession::SaveScreenshot(wxGetApp().MainFrame(), "determination_improved");
                   },
                   nullptr});

  ASSERT_TRUE(session.Run({obsFile}, steps));
  EXPECT_EQ(Joined(session.m_failures), "");
  EXPECT_EQ(state, 3);
  EXPECT_EQ(enabledInState3, "11111");
  EXPECT_EQ(flags, "***");
  EXPECT_FALSE(result.empty());
  EXPECT_GT(twoBodyResidual, 0);
  EXPECT_GT(perturbedResidual, 0);
  EXPECT_LT(perturbedResidual, 0.5);  // arcsec: both oppositions fitted
  EXPECT_NE(residualCell, "----.- ");
  EXPECT_FALSE(log.empty());
}

TEST(DeterminationView, ListCommandsSplitterAndReopeningByTheMenu)
{
  if (!HaveDisplay())
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(obsFile, "obs/mpc80/orbfit_2015AB.obs");
  ViewSession session("detview_list");
  auto view = [] { return ViewSession::View(); };
  auto flags = [view](int row) { return view()->ObsCellText(row, 6); };
  std::string afterDoubleClick, afterContextMenu, afterForce, afterReadmit, reopenedTitle;
  int selectedAfterForce = -1, listTopBefore = 0, listTopAfter = 0, tabChrome = 0, reopenedListTop = 0;
  CDeterminationView* first = nullptr;
  auto stateIs = [view](int s) { return [view, s] { return view() && view()->m_pEngine->m_nCalcState == s; }; };
  std::vector<ViewStep> steps = {{"loaded", nullptr, stateIs(1)}};
  // With three picks a double click on another row rejects and forces it.
  Append(steps, ViewSession::ClickObsRowSteps(14, stateIs(2)));
  Append(steps, ViewSession::ClickObsRowSteps(24, [view] { return view()->m_nPicked == 2; }));
  Append(steps, ViewSession::ClickObsRowSteps(36, stateIs(3)));
  Append(steps, ViewSession::ClickObsRowSteps(3, [flags] { return flags(3) == "RF"; }, 2));
  steps.push_back({"read", [&] { afterDoubleClick = flags(3); }, nullptr});
  // The context menu of a selected row, its item chosen by its access key.
  steps.push_back({"context menu", [view] {
                     CObsListCtrl* list = view()->ObsList();
                     list->SetItemState(8, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
                     wxRect rect;
                     list->GetItemRect(8, rect);
                     wxUIActionSimulator sim;
                     sim.MouseMove(list->ClientToScreen(wxPoint(rect.x + 60, rect.y + rect.height / 2)));
                     sim.MouseClick(wxMOUSE_BTN_RIGHT);
                   },
                   nullptr, 30, 0.8});
  steps.push_back({"choose by key", [] {
                     wxUIActionSimulator sim;
                     sim.Char('r');
                   },
                   [flags] { return flags(8) == "RF"; }, 10});
  steps.push_back({"read", [&] { afterContextMenu = flags(8); }, nullptr});
  // The list's menu commands on the selected rows.
  steps.push_back({"select", [view] {
                     for (long row : {5, 6})
                       view()->ObsList()->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
                     ViewSession::PostCommand(ID_OBS_FORCE_REJECT);
                   },
                   [flags] { return flags(5) == "RF" && flags(6) == "RF"; }});
  steps.push_back({"read", [&] {
                     afterForce = flags(5) + flags(6);
                     selectedAfterForce = view()->ObsList()->GetSelectedItemCount();
                     view()->ObsList()->SetItemState(5, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
                     ViewSession::PostCommand(ID_OBS_ENABLE_ALL);
                   },
                   [flags] { return flags(5).empty(); }});
  steps.push_back({"read", [&] { afterReadmit = flags(5) + "|" + flags(6); }, nullptr});
  // The splitter dragged far up with the pointer: the tab area keeps 60 pixels.
  steps.push_back({"drag the splitter", [&] {
                     listTopBefore = view()->ObsList()->GetPosition().y;
                     auto* tabs = dynamic_cast<wxNotebook*>(view()->Widget(kIdTabs));
                     tabChrome = tabs->GetSize().y - tabs->GetCurrentPage()->GetSize().y;
                     wxWindow* line = view()->Widget(kIdSplitterLine);
                     const wxPoint from = line->ClientToScreen(wxPoint(40, 1));
                     wxUIActionSimulator sim;
                     sim.MouseMove(from);
                     sim.MouseDown();
                     sim.MouseMove(from - wxPoint(0, 800));
                     sim.MouseUp();
                   },
                   [view] { return !view()->FormAnchors().IsDragging(); }, 30, 0.5});
  steps.push_back({"read", [&] {
                     listTopAfter = view()->ObsList()->GetPosition().y;
                     view()->ObsList()->SetColumnWidth(0, 150);
                     first = view();
                     // Closing the view's frame, as its close box does.
                     first->GetParent()->Close();
                   },
                   [view] { return view() == nullptr; }});
  steps.push_back({"reopen by the menu", [] { ViewSession::PostCommand(ID_DETERMINATION); },
                   [view] { return view() && view()->IsShownOnScreen(); }});
  steps.push_back({"read", [&] {
                     reopenedTitle = FromWx(view()->GetParent()->GetLabel());
                     reopenedListTop = view()->ObsList()->GetPosition().y;
                     ViewSession::SaveScreenshot(wxGetApp().MainFrame(), "determination_reopened");
                   },
                   nullptr});
  ASSERT_TRUE(session.Run({obsFile}, steps));
  EXPECT_EQ(Joined(session.m_failures), "");
  EXPECT_EQ(afterDoubleClick, "RF");
  EXPECT_EQ(afterContextMenu, "RF");
  EXPECT_EQ(afterForce, "RFRF");
  EXPECT_EQ(selectedAfterForce, 0);
  EXPECT_EQ(afterReadmit, "|RF");
  // The tab area shrank to 60 pixels of page below its tabs, and the list
  // moved up by as much.
  EXPECT_EQ(listTopBefore - listTopAfter, 330 - 60 - tabChrome);
  EXPECT_EQ(session.Setting("OBSSPLIT"), std::to_string(listTopAfter - listTopBefore));
  EXPECT_EQ(session.Setting("OBSCOL0"), "150");
  EXPECT_EQ(reopenedTitle, "軌道計算");
  EXPECT_EQ(reopenedListTop, listTopAfter);  // the stored splitter
}

TEST(DeterminationView, DeveloperModeShowsTheAiButtonAndOpensTheEpochFields)
{
  if (!HaveDisplay())
    GTEST_SKIP() << "no display: run under xvfb-run";
  ViewSession session("detview_dev");
  auto view = [] { return ViewSession::View(); };
  bool aiShown = false, aiEnabled = true, epochEditable = false;
  int autoY = -1, autoYAgain = -1, autoYNormal = -1;
  std::string month, day, dayAfterExponent = "?";
  std::vector<ViewStep> steps = {{"shown", nullptr, [view] { return view() && view()->IsShownOnScreen(); }}};
  steps.push_back({"read", [&] {
                     aiShown = view()->Widget(kIdAiImprove)->IsShown();
                     aiEnabled = view()->Widget(kIdAiImprove)->IsEnabled();
                     epochEditable = dynamic_cast<wxTextCtrl*>(view()->Widget(kIdEpochMonth))->IsEditable();
                     autoY = view()->Widget(kIdAutoImprove)->GetPosition().y;
                     view()->ApplyDeveloperLayout();
                     autoYAgain = view()->Widget(kIdAutoImprove)->GetPosition().y;
                     TheApp().m_bDeveloper = 0;
                     view()->ApplyDeveloperLayout();
                     autoYNormal = view()->Widget(kIdAutoImprove)->GetPosition().y;
                     TheApp().m_bDeveloper = 1;
                     view()->ApplyDeveloperLayout();
                   },
                   nullptr});
  // Typing into the month field: letters, a sign and a third digit are refused.
  Append(steps, ViewSession::ClickControlSteps(kIdEpochMonth, [view] { return view()->Widget(kIdEpochMonth)->HasFocus(); }));
  steps.push_back({"type", [] {
                     wxUIActionSimulator sim;
                     sim.Text("1a-23");
                   },
                   nullptr, 30, 0.5});
  // Pasting: a number with an exponent is refused, blanks around digits pass.
  auto paste = [](const char* text) {
    return [text] {
      if (wxTheClipboard->Open()) {
        wxTheClipboard->SetData(new wxTextDataObject(text));
        wxTheClipboard->Close();
      }
      wxUIActionSimulator sim;
      sim.Char('v', wxMOD_CONTROL);
    };
  };
  Append(steps, ViewSession::ClickControlSteps(kIdEpochDay, [view] { return view()->Widget(kIdEpochDay)->HasFocus(); }));
  steps.push_back({"paste an exponent", paste("1e5"), nullptr, 30, 0.5});
  steps.push_back({"read", [&] { dayAfterExponent = view()->GetItemText(kIdEpochDay); }, nullptr});
  steps.push_back({"paste with blanks", paste(" 12 "), [&] { return !view()->GetItemText(kIdEpochDay).empty(); }});
  steps.push_back({"read", [&] {
                     day = view()->GetItemText(kIdEpochDay);
                     month = view()->GetItemText(kIdEpochMonth);
                     ViewSession::SaveScreenshot(wxGetApp().MainFrame(), "determination_developer");
                   },
                   nullptr});
  ASSERT_TRUE(session.Run({"dev"}, steps));
  EXPECT_EQ(Joined(session.m_failures), "");
  EXPECT_TRUE(aiShown);
  EXPECT_TRUE(aiEnabled);
  EXPECT_TRUE(epochEditable);
  EXPECT_EQ(autoY, autoYAgain);  // the same mode twice moves nothing
  EXPECT_LT(autoYNormal, autoY);
  EXPECT_EQ(month, "12");
  EXPECT_EQ(dayAfterExponent, "");
  EXPECT_EQ(day, " 12 ");
}

TEST(DeterminationView, ErosOpensQuicklyScrollsAndShowsTheHoveredObservation)
{
  if (!HaveDisplay())
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(eros, "obs/mpc80/neosjl_433.txt");
  ViewSession session("detview_eros");
  // The observations inside the test planetary file's span (1960-2060).
  std::istringstream in(ReadTestFile(eros));
  std::string line, lines;
  while (std::getline(in, line))
    if (line.size() >= 19 && std::atoi(line.substr(15, 4).c_str()) >= 1960)
      lines += line + "\n";
  const std::string obsFile = WriteTestFile(session.m_dir, "eros.obs", lines);

  auto view = [] { return ViewSession::View(); };
  int rows = 0, lastVisible = -1, middleTop = -1, page = 0;
  std::string status;
  std::vector<ViewStep> steps = {
      {"listed", nullptr, [&] { return view() && view()->ObsList()->GetItemCount() > 0; }},
      {"go to the end", [&] {
         rows = view()->ObsList()->GetItemCount();
         view()->ObsList()->SetFocus();
         wxUIActionSimulator sim;
         sim.Char(WXK_END);
       },
       [&] { return view()->ObsList()->GetTopItem() + view()->ObsList()->GetCountPerPage() >= rows; }},
      {"hover a row", [&] {
         CObsListCtrl* list = view()->ObsList();
         lastVisible = list->GetTopItem() + 2;
         wxRect rect;
         list->GetItemRect(lastVisible, rect);
         wxUIActionSimulator sim;
         sim.MouseMove(list->ClientToScreen(wxPoint(rect.x + 40, rect.y + rect.height / 2)));
       },
       [&] {
         // The program's status texts go through its UiServices, here the session's.
         status = session.m_ui.m_status;
         return status.rfind("観測番号", 0) == 0;
       }},
      {"screenshot", [] { ViewSession::SaveScreenshot(wxGetApp().MainFrame(), "determination_eros"); }, nullptr},
      // The engine's scroll to a row being worked on: near the middle of the page.
      {"scroll to a row", [&] { view()->ScrollObsListTo(5000); },
       [&] {
         CObsListCtrl* list = view()->ObsList();
         middleTop = list->GetTopItem();
         page = list->GetCountPerPage();
         return middleTop <= 5000 && 5000 < middleTop + page;
       }},
      {"scroll beyond the end", [&] { view()->ScrollObsListTo(rows + 50); },
       [&] { return view()->ObsList()->GetTopItem() + view()->ObsList()->GetCountPerPage() >= rows; }},
  };
  ASSERT_TRUE(session.Run({obsFile}, steps));
  EXPECT_EQ(Joined(session.m_failures), "");
  EXPECT_GT(rows, 12000);
  EXPECT_EQ(status.substr(0, status.find("   ")), "観測番号 " + std::to_string(lastVisible + 1));
  EXPECT_NE(status.find("観測所 "), std::string::npos);
  EXPECT_NEAR(middleTop, 5000 - page / 2, 1);
}

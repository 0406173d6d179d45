// The move-epoch view in the running program (under xvfb-run): "入力して元期を
// 移動(&M)" from the function menu once the orbit-determination frame is
// closed, "入力例(&S)", a new-epoch day typed as 24.5 and "計算(&C)" move the
// sample back to 1985 on the fallback engine; "摂動体接近グラフ(&G)" shows
// the run's approaches, and closing the view takes the graph with it.
#include <gtest/gtest.h>

#include <cstdlib>

#include <wx/uiaction.h>

#include "app/child_frame.h"
#include "app/main_frame.h"
#include "app/registry/window_registry.h"
#include "app/tessarune_wx_app.h"
#include "determination/ui/determination_view.h"
#include "engine/approach_graph.h"
#include "ephemeris/ui/move_epoch_view.h"
#include "platform/app_services.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_resource_ids.h"
#include "tests/determination_ui/view_session.h"

namespace {

CMoveEpochDlg* View() {
  CMainFrame* main = wxGetApp().MainFrame();
  return main ? dynamic_cast<CMoveEpochDlg*>(main->FindFunctionView(FunctionView::MoveEpoch)) : nullptr;
}

std::string Text(int id) { return View() ? View()->Text(id) : std::string(); }

void Click(int id) {
  wxWindow* w = View()->Control(id);
  wxUIActionSimulator sim;
  sim.MouseMove(w->ClientToScreen(wxPoint(w->GetSize().x / 2, w->GetSize().y / 2)));
  sim.MouseClick();
}

void TypeInto(int id, const char* text) {
  Click(id);
  wxUIActionSimulator sim;
  sim.Char('a', wxMOD_CONTROL);
  sim.Text(text);
}

wxWindow* Graph() { return dynamic_cast<wxWindow*>(OpenWindows().m_pMpDisGraphDlg); }

}  // namespace

TEST(MoveEpochView, MenuSampleCalculationAndApproachGraph) {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) GTEST_SKIP() << "no display: run under xvfb-run";
  ViewSession session("move_epoch_view");
  std::string title, result, newEpoch, status;
  bool graphShown = false, graphGone = false;
  int graphRows = 0;
  auto shown = [] { return View() && View()->IsShownOnScreen(); };
  std::vector<ViewStep> steps = {
      ViewSession::CloseStartUpViewStep(),
      {"open 機能", [] { ViewSession::ClickMenuTitle(2); }, nullptr, 30, 0.6},
      {"down to 入力して元期を移動(&M)", [] {
         wxUIActionSimulator sim;
         for (int i = 0; i < 3; ++i) sim.Char(WXK_DOWN);
       },
       nullptr, 30, 0.5},
      {"入力して元期を移動(&M)", [] { wxUIActionSimulator().Char(WXK_RETURN); }, shown, 5},
      {"settle", nullptr, nullptr, 30, 0.4},
      {"入力例(&S)", [] { Click(kMeSample); }, [] { return Text(kMeEpochYear) == "1991"; }},
      {"new day 24.5", [] { TypeInto(kMeNewDay, "24.5"); }, [] { return Text(kMeNewDay) == "24.5"; }},
      {"計算(&C)", [] { Click(kMeCalc); },
       [] { return Text(kMeStatus) == "計算完了" && !EngineBusy(CurrentDetermination()->m_pEngine); }, 120},
      {"settle", nullptr, nullptr, 30, 0.4},
      {"read", [&] {
         title = FromWx(View()->GetParent()->GetLabel());
         result = Text(kMeResult);
         status = Text(kMeStatus);
         newEpoch = Text(kMeNewYear) + "/" + Text(kMeNewMonth) + "/" + Text(kMeNewDay);
         ViewSession::SaveScreenshot(wxGetApp().MainFrame(), "move_epoch_view");
       },
       nullptr},
      {"摂動体接近グラフ(&G)", [] { ViewSession::PostCommand(ID_MP_DIS_GRAPH); },
       [] { return Graph() && Graph()->IsShownOnScreen(); }},
      {"settle", nullptr, nullptr, 30, 0.5},
      {"graph", [&] {
         graphShown = true;
         graphRows = OpenWindows().m_pMpDisGraphDlg->m_nTrackRows;
         ViewSession::SaveScreenshot(Graph(), "move_epoch_graph");
       },
       nullptr},
      {"close the view", [] { dynamic_cast<CChildFrame*>(View()->GetParent())->Close(true); },
       [] { return !View(); }},
      {"graph gone", [&] { graphGone = OpenWindows().m_pMpDisGraphDlg == nullptr; }, nullptr},
  };
  ASSERT_TRUE(session.Run({}, steps));
  EXPECT_EQ(session.FailedSteps(), "");
  EXPECT_EQ(title, "入力して元期を移動");
  EXPECT_EQ(newEpoch, "1985/6/24");
  EXPECT_NE(result.find("1985"), std::string::npos) << result;
  EXPECT_TRUE(graphShown);
  EXPECT_GT(graphRows, 0);
  EXPECT_TRUE(graphGone);
  EXPECT_TRUE(session.m_ui.m_messages.empty()) << session.m_ui.m_messages[0].text;
}

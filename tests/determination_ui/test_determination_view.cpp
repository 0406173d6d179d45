// The orbit-determination view in the running program (under xvfb-run).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include <wx/menu.h>

#include "app/child_frame.h"
#include "app/main_frame.h"
#include "app/tessarune_wx_app.h"
#include "determination/ui/determination_view.h"
#include "determination/ui/obs_list_ctrl.h"
#include "engine/orbit_engine.h"
#include "platform/wx/wx_ui_services.h"
#include "tests/common/test_data.h"
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

} // namespace

TEST(DeterminationView, OpensAtStartUpWithTheFileOfTheCommandLine)
{
  if (!HaveDisplay())
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(obsFile, "obs/mpc80/orbfit_2015AB.obs");
  ViewSession session("detview_start");
  std::string title, menu, cell, screenshot;
  int rows = -1, state = -1;
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
       },
       nullptr},

  };
  ASSERT_TRUE(session.Run({obsFile}, steps));
  EXPECT_TRUE(session.m_failures.empty());
  EXPECT_EQ(title, obsFile);  // the loaded file is the frame's caption
  EXPECT_EQ(menu, "ﾌｧｲﾙ(&F)");
  EXPECT_EQ(rows, 37);
  EXPECT_EQ(state, 1);
  EXPECT_EQ(cell.size(), 17u);  // "yyyy mm dd.dddddd"
}

TEST(DeterminationView, PicksPreliminaryOrbitAndImprovementsThroughTheEventLoop)
{
  if (!HaveDisplay())
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(obsFile, "obs/mpc80/orbfit_2015AB.obs");
  ViewSession session("detview_picks");
  int state = -1;
  std::string flags, result, residualCell, log;
  double twoBodyResidual = -1, perturbedResidual = -1;
  auto view = [] { return ViewSession::View(); };
  auto stateIs = [view](int s) { return [view, s] { return view() && view()->m_pEngine->m_nCalcState == s; }; };
  std::vector<ViewStep> steps = {{"loaded", nullptr, stateIs(1)}};
  Append(steps, ViewSession::ClickObsRowSteps(14, stateIs(2)));
  Append(steps, ViewSession::ClickObsRowSteps(24, [view] { return view()->m_nPicked == 2; }));
  Append(steps, ViewSession::ClickObsRowSteps(36, stateIs(3)));
  steps.push_back(
      {"read the preliminary orbit", [&] {
         state = view()->m_pEngine->m_nCalcState;
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
  EXPECT_EQ(flags, "***");
  EXPECT_FALSE(result.empty());
  EXPECT_GT(twoBodyResidual, 0);
  EXPECT_GT(perturbedResidual, 0);
  EXPECT_LT(perturbedResidual, 0.5);  // arcsec: both oppositions fitted
  EXPECT_NE(residualCell, "----.- ");
  EXPECT_FALSE(log.empty());
}

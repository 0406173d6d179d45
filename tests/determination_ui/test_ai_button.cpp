// The button "AI軌道改良(&A)" of the orbit-determination view in developer
// mode, clicked in the running program on a freshly opened file: the run
// finds its own orbit and shows it, the calculation log keeps what it chose
// (under xvfb-run).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "determination/ui/determination_view.h"
#include "engine/orbit_engine.h"
#include "tests/common/test_data.h"
#include "tests/determination_ui/view_session.h"

TEST(AiButton, ClickedOnAFreshFileFindsTheOrbitAndShowsIt)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(obsFile, "obs/mpc80/orbfit_2015AB.obs");
  ViewSession session("ai_button");
  session.m_ui.m_bRealEvents = true;
  auto view = [] { return ViewSession::View(); };
  bool enabledBefore = false, enabledAfter = false, resultShown = false;
  int state = -1, result = -100, tab = -1;
  double mean = -1;
  std::string log, paneLog, resultText, screenshot;
  std::vector<ViewStep> steps = {{"loaded", [view] { view()->m_nAiResult = -100; },
                                  [view] { return view() && view()->m_pEngine->m_nCalcState == kCalcLoaded; }}};
  steps.push_back({"read before", [&] { enabledBefore = view()->Widget(kIdAiImprove)->IsEnabled(); }, nullptr});
  for (ViewStep& s : ViewSession::ClickControlSteps(kIdAiImprove, [view] { return view()->m_nAiResult != -100; }))
    steps.push_back(std::move(s));
  steps.push_back({"settled", nullptr, [view] { return !EngineBusy(view()->m_pEngine); }, 30, 0.5});
  steps.push_back({"read", [&] {
                     const OrbitEngine& engine = *view()->m_pEngine;
                     state = engine.m_nCalcState;
                     mean = engine.m_dMeanResidual;
                     result = view()->m_nAiResult;
                     log = view()->m_strCalcLog;
                     paneLog = view()->GetItemText(kIdCalcLogEdit);
                     resultText = view()->GetItemText(kIdResultEdit);
                     resultShown = view()->Widget(kIdResultEdit)->IsShown();
                     tab = view()->GetSelection(kIdTabs);
                     enabledAfter = view()->Widget(kIdAiImprove)->IsEnabled();
                     screenshot = ViewSession::SaveScreenshot(view()->GetParent(), "ai_button");
                   },
                   nullptr});
  ASSERT_TRUE(session.Run({"dev", obsFile}, steps));
  EXPECT_EQ(session.FailedSteps(), "");
  EXPECT_TRUE(enabledBefore);
  EXPECT_EQ(result, 0) << log;
  EXPECT_EQ(state, kCalcImprovedPerturbed);
  EXPECT_GT(mean, 0.0);
  EXPECT_LT(mean, 1.0) << log;
  EXPECT_NE(log.find("【AI自動改良の経過】\r\n暫定軌道決定: "), std::string::npos) << log;
  EXPECT_NE(log.find("リジェクト完了: "), std::string::npos) << log;
  // The pane, whose progress end was replaced in place during the run,
  // holds the log exactly.
  EXPECT_EQ(paneLog, log);
  EXPECT_FALSE(resultText.empty());
  EXPECT_TRUE(resultShown);
  EXPECT_EQ(tab, 0);
  EXPECT_TRUE(enabledAfter);
  std::printf("screenshot: %s\n", screenshot.c_str());
}

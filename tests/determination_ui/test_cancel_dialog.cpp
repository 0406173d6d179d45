// A long calculation in the running program: after three seconds the cancel
// dialog of the busy guard comes up, the main window refuses to close, and a
// click on "中止(&C)" stops the calculation (under xvfb-run).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "app/main_frame.h"
#include "app/tessarune_wx_app.h"
#include "determination/ui/determination_view.h"
#include "engine/orbit_engine.h"
#include "engine/ui/cancel_dlg.h"
#include "platform/wx/wx_ui_services.h"
#include "tests/common/test_data.h"
#include "tests/determination_ui/view_session.h"

namespace {

// The cancel dialog on screen, or null.
CCancelDlg* ShownCancelDialog()
{
  for (wxWindow* w : wxTopLevelWindows)
    if (auto* dlg = dynamic_cast<CCancelDlg*>(w); dlg && dlg->IsShownOnScreen())
      return dlg;
  return nullptr;
}

} // namespace

TEST(CancelDialog, StopButtonEndsALongImprovementAndTheFrameStaysOpenMeanwhile)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(obsFile, "obs/mpc80/orbfit_2015AB.obs");
  ViewSession session("cancel_dialog");
  session.m_ui.m_bRealEvents = true;
  auto view = [] { return ViewSession::View(); };
  auto busy = [view] { return EngineBusy(view()->m_pEngine); };
  std::string title, result, screenshot;
  bool closeRefused = false;
  size_t messagesBefore = 0;
  std::chrono::steady_clock::time_point clicked;
  double stopSeconds = -1;
  std::vector<ViewStep> steps = {{"loaded", nullptr, [view] { return view() && view()->m_pEngine->m_nCalcState == 1; }}};
  // Each click waits for its pick, so that a slow machine cannot run two
  // clicks together.
  int picks = 0;
  for (const int row : {14, 24, 36})
    for (ViewStep& s : ViewSession::ClickObsRowSteps(row, [view, row, n = ++picks] {
           return row == 36 ? view()->m_pEngine->m_nCalcState == 3 : view()->m_nPicked == n;
         }))
      steps.push_back(std::move(s));
  // A step of 22.5 minutes over the arc: the automatic improvement takes long.
  steps.push_back({"typed step", [view] { view()->SetItemText(kIdStepCombo, "22分30秒"); }, nullptr});
  for (ViewStep& s : ViewSession::ClickControlSteps(kIdAutoImprove, busy))
    steps.push_back(std::move(s));
  steps.push_back({"dialog shown", nullptr, [] { return ShownCancelDialog() != nullptr; }, 30, 0.5});
  steps.push_back({"close refused", [&] {
                     CCancelDlg* dlg = ShownCancelDialog();
                     if (!dlg)
                       return;
                     title = FromWx(dlg->GetTitle());
                     screenshot = ViewSession::SaveScreenshot(dlg, "cancel_dialog");
                     messagesBefore = session.m_ui.m_messages.size();
                     closeRefused = !wxGetApp().MainFrame()->Close(false) && wxGetApp().MainFrame()->IsShown();
                   },
                   nullptr});
  steps.push_back({"press 中止", [&] {
                     ViewSession::ClickButtonOf(ShownCancelDialog(), CCancelDlg::IDC_STOP);
                     clicked = std::chrono::steady_clock::now();
                   },
                   [busy] { return !busy(); }, 30});
  steps.push_back({"read", [&] {
                     stopSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - clicked).count();
                     result = view()->m_pEngine->m_strMessage;
                   },
                   nullptr});

  ASSERT_TRUE(session.Run({obsFile}, steps));
  EXPECT_EQ(session.FailedSteps(), "");
  EXPECT_EQ(title, "計算中");
  EXPECT_TRUE(closeRefused);
  ASSERT_GT(session.m_ui.m_messages.size(), messagesBefore);
  EXPECT_EQ(session.m_ui.m_messages[messagesBefore].text, kMsgOtherCalculationRunning);
  EXPECT_EQ(result, kMsgCancelledByButton);
  EXPECT_GE(stopSeconds, 0.0);
  EXPECT_LT(stopSeconds, 5.0);
}

// A long calculation in the running program: after three seconds the cancel
// dialog of the busy guard comes up, the main window refuses to close, and a
// click on "中止(&C)" stops the calculation; the open and redo buttons do
// nothing meanwhile (under xvfb-run).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include <wx/modalhook.h>

#include "app/main_frame.h"
#include "app/tessarune_wx_app.h"
#include "determination/ui/determination_view.h"
#include "engine/orbit_engine.h"
#include "engine/ui/cancel_dlg.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_resource_ids.h"
#include "tests/common/test_data.h"
#include "tests/determination_ui/dialog_watch.h"
#include "tests/determination_ui/view_session.h"

namespace {

CCancelDlg* ShownCancelDialog()
{
  return ShownTopLevel<CCancelDlg>();
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
  bool closeRefused = false, stillBusy = false;
  int stateBefore = -1, stateWhileBusy = -2;
  ModalCounter dialogs;
  dialogs.Register();
  size_t messagesBefore = 0;
  std::chrono::steady_clock::time_point clicked;
  double stopSeconds = -1;
  std::vector<ViewStep> steps = ViewSession::LongImprovementSteps();
  steps.push_back({"dialog shown", nullptr, [] { return ShownCancelDialog() != nullptr; }, 30, 0.5});
  steps.push_back({"close refused", [&] {
                     CCancelDlg* dlg = ShownCancelDialog();
                     if (!dlg)
                       return;
                     title = FromWx(dlg->GetTitle());
                     screenshot = ViewSession::SaveScreenshot(dlg, "cancel_dialog");
                     messagesBefore = session.m_ui.m_messages.size();
                     closeRefused = !wxGetApp().MainFrame()->Close(false) && wxGetApp().MainFrame()->IsShown();
                     stateBefore = view()->m_pEngine->m_nCalcState;
                   },
                   nullptr});
  // The loading commands would replace the observations under the
  // calculation: their toolbar buttons do nothing meanwhile.
  steps.push_back({"open button", [] { ViewSession::ClickTool(ID_OPEN_OBS_FILE); }, nullptr, 30, 0.3});
  steps.push_back({"redo button", [] { ViewSession::ClickTool(ID_REDO_CALC); }, nullptr, 30, 0.3});
  steps.push_back({"commands refused", [&] {
                     stateWhileBusy = view()->m_pEngine->m_nCalcState;
                     stillBusy = busy();
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
  dialogs.Unregister();
  EXPECT_EQ(session.FailedSteps(), "");
  EXPECT_TRUE(stillBusy);
  EXPECT_EQ(stateWhileBusy, stateBefore);
  EXPECT_EQ(dialogs.m_nShown, 0);  // no file dialog
  EXPECT_EQ(title, "計算中");
  EXPECT_TRUE(closeRefused);
  ASSERT_GT(session.m_ui.m_messages.size(), messagesBefore);
  EXPECT_EQ(session.m_ui.m_messages[messagesBefore].text, kMsgOtherCalculationRunning);
  EXPECT_EQ(result, kMsgCancelledByButton);
  EXPECT_GE(stopSeconds, 0.0);
  EXPECT_LT(stopSeconds, 5.0);
}

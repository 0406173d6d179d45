// Command 154 opens the variation-amount dialog, and its information mark
// opens the single information-help window (under xvfb-run).
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/tessarune_wx_app.h"
#include "data/ui/info_help.h"
#include "determination/ui/determination_view.h"
#include "engine/ui/set_vvalue_dlg.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_resource_ids.h"
#include "tests/common/test_data.h"
#include "tests/determination_ui/view_session.h"

namespace {

CSetVValue* ShownVariationDialog()
{
  for (wxWindow* w : wxTopLevelWindows)
    if (auto* dlg = dynamic_cast<CSetVValue*>(w); dlg && dlg->IsShownOnScreen())
      return dlg;
  return nullptr;
}

} // namespace

TEST(VariationHelp, CommandOpensTheDialogAndItsMarkOneHelpWindow)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(obsFile, "obs/mpc80/orbfit_2015AB.obs");
  ViewSession session("variation_help");
  std::string helpTitle;
  int helpWindows = 0;
  CInfoHelp* first = nullptr;
  auto helpShown = [] { return g_pInfoHelp && g_pInfoHelp->IsShownOnScreen(); };
  std::vector<ViewStep> steps = {
      {"loaded", nullptr, [] { return ViewSession::View() && ViewSession::View()->m_pEngine->m_nCalcState == 1; }},
      {"command 154", [] { ViewSession::PostCommand(ID_VARIATION_AMOUNTS); },
       [] { return ShownVariationDialog() != nullptr; }, 30, 0.5},
      {"screenshot", [] { ViewSession::SaveScreenshot(ShownVariationDialog(), "variation_dialog"); }, nullptr},
      {"click ?", [] { ViewSession::ClickButtonOf(ShownVariationDialog(), CSetVValue::IDC_INFO); }, helpShown, 30, 0.5},
      {"read", [&] {
         first = g_pInfoHelp;
         helpTitle = FromWx(g_pInfoHelp->GetTitle());
         ViewSession::SaveScreenshot(g_pInfoHelp, "info_help");
       },
       nullptr},
      {"click ? again", [] { ViewSession::ClickButtonOf(ShownVariationDialog(), CSetVValue::IDC_INFO); }, nullptr, 30, 0.5},
      {"count", [&] {
         for (wxWindow* w : wxTopLevelWindows)
           if (dynamic_cast<CInfoHelp*>(w) && !w->IsBeingDeleted())
             ++helpWindows;
       },
       nullptr},
      {"close help", [] { ViewSession::ClickButtonOf(g_pInfoHelp, wxID_OK); }, [] { return g_pInfoHelp == nullptr; }},
      {"cancel dialog", [] { ViewSession::ClickButtonOf(ShownVariationDialog(), wxID_CANCEL); },
       [] { return ShownVariationDialog() == nullptr; }},
  };
  ASSERT_TRUE(session.Run({obsFile}, steps));
  EXPECT_EQ(session.FailedSteps(), "");
  EXPECT_EQ(helpTitle, "要素変化量とは");
  EXPECT_EQ(helpWindows, 1);
  EXPECT_EQ(g_pInfoHelp, nullptr);
  EXPECT_NE(first, nullptr);
}

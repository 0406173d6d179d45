// Button 1539 in the running program (under xvfb-run): the view holds 2015
// TF202's first half solved, the data folder the follow-up catalogue, the
// comet lines and an ITF with the second half hidden among real lines; the
// scan dialog, opened by its command, searches along the view's orbit, lists
// TF202 as the close known orbit, finds and links the tracklet, and the view
// then holds the joined observations.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/tessarune_wx_app.h"
#include "determination/ui/determination_view.h"
#include "engine/orbit_engine.h"
#include "neocp/ui/neocp_scan_wnd.h"
#include "platform/app_services.h"
#include "resources/app_resource_ids.h"
#include "tests/common/test_data.h"
#include "tests/determination_ui/view_session.h"
#include "tests/neocp/itf_fixture.h"

namespace {

CNeocpScanWnd* Dialog()
{
  CDeterminationView* view = ViewSession::View();
  return view ? dynamic_cast<CNeocpScanWnd*>(view->m_pNeocpScanDlg) : nullptr;
}

} // namespace

TEST(ViewOrbitSearchWindow, SearchThroughTheButtonLinksTheTracklet)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(comets, "catalogues/skyfield_CometEls.txt");
  ViewSession session("view_orbit_search_window");
  std::string status, log, obsFile;
  int obsCount = 0;
  double firstHalfRms = 0;
  std::vector<ViewStep> steps = {
      {"view", nullptr, [] { return ViewSession::View() != nullptr; }},
      {"TF202's first half solved, the catalogues and the ITF", [&] {
         TheApp().m_bDeveloper = 1;
         const std::string data = TheApp().m_szDataDir;
         ASSERT_FALSE(WriteFollowUpCatalogue(data).empty());
         WriteTestFile(data, "AllCometEls.txt", ReadTestFile(comets));
         ASSERT_TRUE(WriteItf(data + "itf.txt.gz", TrackletLines(0)));
         ASSERT_TRUE(SolveTf202FirstHalf(*ViewSession::View(), data + "2015TF202_1.obs", firstHalfRms));
       },
       [] {
         wxMenuBar* bar = ViewSession::ShownMenuBar();
         return bar && bar->FindItem(ID_NEOCP_SCAN) != nullptr;
       }},
      ViewSession::OpenMenuStep(0, ID_NEOCP_SCAN),
      {"the command", [] { ViewSession::ClickMenuItem(ID_NEOCP_SCAN); },
       [] { return Dialog() && Dialog()->IsShownOnScreen(); }},
      {"settle", nullptr, nullptr, 30, 0.5},
      {"軌道計算画面の軌道で探す(&I)", [] { ViewSession::ClickButtonOf(Dialog(), kIdScanSearchByOrbit); },
       [&] {
         status = Dialog()->GetItemText(kIdScanStatus);
         return Dialog()->m_bRunning == 0 && status.rfind("ITFで ", 0) == 0;
       },
       180},
      {"settle", nullptr, nullptr, 30, 0.8},
      {"picture of the log", [&] {
         log = Dialog()->m_strLog.empty() ? Dialog()->GetItemText(kIdScanLog) : Dialog()->m_strLog;
         obsFile = ViewSession::View()->m_szObsFile;
         obsCount = ViewSession::View()->m_pDetClass->m_nObsCount;
         Dialog()->Raise();
       },
       nullptr, 30, 0.5},
      {"screenshot", [] { ViewSession::SaveScreenshot(Dialog(), "view_orbit_search_log"); }, nullptr, 30, 0.3},
      {"close", [] { ViewSession::ClickButtonOf(Dialog(), wxID_CANCEL); },
       [] { return ViewSession::View()->m_pNeocpScanDlg == nullptr; }},
  };
  ASSERT_TRUE(session.Run({}, std::move(steps)));
  EXPECT_EQ(session.FailedSteps(), "");
  EXPECT_LT(firstHalfRms, 1.0);
  EXPECT_EQ(status.rfind("ITFで 11件の観測が見つかりました。まとめた観測 28個を軌道計算の画面に読み込みました。", 0), 0u)
      << status;
  EXPECT_NE(log.find("    1. 2015 TF202"), std::string::npos) << log;
  EXPECT_NE(log.find("← これを連結します"), std::string::npos) << log;
  EXPECT_NE(obsFile.find("2015TF202+ITF.obs"), std::string::npos);
  EXPECT_EQ(obsCount, 28);
  EXPECT_TRUE(session.m_ui.m_messages.empty()) << session.m_ui.m_messages.front().text;
}

// The view's file menu in the running program (under xvfb-run): outside
// developer mode it has no "NEOCPの全天体を走査(&A)..." item, and the item
// comes right after "NEOCPから観測データを取得(&N)..." once developer mode is
// on, and goes again when it is off.
#include <gtest/gtest.h>

#include <cstdlib>

#include <wx/menu.h>
#include <wx/uiaction.h>

#include "platform/app_services.h"
#include "resources/app_resource_ids.h"
#include "tests/determination_ui/view_session.h"

namespace {

// Whether the open file menu holds the scan item, and right after the fetch item.
struct ScanItemSeen {
  bool present = false;
  bool afterFetch = false;
};

ScanItemSeen SeeScanItem()
{
  ScanItemSeen seen;
  wxMenuBar* bar = ViewSession::ShownMenuBar();
  wxMenu* menu = nullptr;
  seen.present = bar && bar->FindItem(ID_NEOCP_SCAN, &menu) != nullptr;
  size_t fetch = 0, scan = 0;
  seen.afterFetch = seen.present && menu->FindChildItem(ID_FETCH_NEOCP_OBS, &fetch) &&
                    menu->FindChildItem(ID_NEOCP_SCAN, &scan) && scan == fetch + 1;
  return seen;
}

ViewStep CloseMenuStep()
{
  return {"close the menu", [] { wxUIActionSimulator().Char(WXK_ESCAPE); },
          [] { return !ViewSession::MenuItemShown(ID_FETCH_NEOCP_OBS); }, 10, 0.3};
}

} // namespace

TEST(ScanItemWindow, OnlyInDeveloperMode)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  ViewSession session("scan_item_window");
  ScanItemSeen normal, developer, normalAgain;
  std::vector<ViewStep> steps = {
      {"view", [] { TheApp().m_bDeveloper = 0; }, [] { return ViewSession::View() != nullptr; }},
      ViewSession::OpenMenuStep(0, ID_FETCH_NEOCP_OBS),
      {"screenshot", [&] {
         normal = SeeScanItem();
         ViewSession::SaveScreen("scan_item_not_developer");
       },
       nullptr},
      CloseMenuStep(),
      {"developer mode", [] { TheApp().m_bDeveloper = 1; }, nullptr},
      ViewSession::OpenMenuStep(0, ID_NEOCP_SCAN),
      {"seen", [&] { developer = SeeScanItem(); }, nullptr},
      CloseMenuStep(),
      {"developer mode off", [] { TheApp().m_bDeveloper = 0; }, nullptr},
      ViewSession::OpenMenuStep(0, ID_FETCH_NEOCP_OBS),
      {"seen again", [&] { normalAgain = SeeScanItem(); }, nullptr},
      CloseMenuStep(),
  };
  ASSERT_TRUE(session.Run({}, std::move(steps)));
  EXPECT_EQ(session.FailedSteps(), "");
  EXPECT_FALSE(normal.present);
  EXPECT_TRUE(developer.present);
  EXPECT_TRUE(developer.afterFetch);
  EXPECT_FALSE(normalAgain.present);
}

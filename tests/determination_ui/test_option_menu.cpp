// The "オプション(&O)" menu of the view in the running program: once in
// developer mode, opened from the keyboard, it shows the relativity, J2 and
// Epoch-field items; switching relativity off by its command shows its box.
#include <gtk/gtk.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <wx/menu.h>
#include <wx/uiaction.h>

#include "app/tessarune_wx_app.h"
#include "determination/ui/determination_view.h"
#include "engine/orbit_engine.h"
#include "platform/app_services.h"
#include "resources/determination_ids.h"
#include "tests/determination_ui/view_session.h"

namespace {

wxMenu* OptionMenu()
{
  auto* frame = dynamic_cast<wxFrame*>(ViewSession::View()->GetParent());
  wxMenuBar* bar = frame ? frame->GetMenuBar() : nullptr;
  const int index = bar ? bar->FindMenu(wxString::FromUTF8("オプション(&O)")) : wxNOT_FOUND;
  return index == wxNOT_FOUND ? nullptr : bar->GetMenu(index);
}

std::vector<int> Ids(wxMenu* menu)
{
  std::vector<int> ids;
  for (const wxMenuItem* item : menu->GetMenuItems())
    if (!item->IsSeparator())
      ids.push_back(item->GetId());
  return ids;
}

// The whole screen (an open menu is a window of its own).
void SaveScreen(const std::string& name)
{
  GdkWindow* root = gdk_get_default_root_window();
  GdkPixbuf* pixbuf =
      gdk_pixbuf_get_from_window(root, 0, 0, gdk_window_get_width(root), gdk_window_get_height(root));
  if (pixbuf) {
    gdk_pixbuf_save(pixbuf, (ScreenshotDir() + name + ".png").c_str(), "png", nullptr, nullptr);
    g_object_unref(pixbuf);
  }
}

} // namespace

TEST(OptionMenu, DeveloperItemsWhenItOpensAndTheRelativityBox)
{
  ViewSession session("option_menu");
  std::vector<int> ids;
  int relativity = -1;
  std::vector<ViewStep> steps = {
      {"view", nullptr, [] { return ViewSession::View() && OptionMenu(); }},
      {"developer mode", [] { TheApp().m_bDeveloper = 1; }, [] { return OptionMenu()->FindItem(ID_J2) != nullptr; }},
      {"Alt+O", [] {
         ViewSession::View()->SetFocus();
         wxUIActionSimulator sim;
         sim.Char('o', wxMOD_ALT);
       },
       [] { return ViewSession::MenuItemShown(ID_J2); }, 30, 0.8},
      {"screenshot", [&] {
         SaveScreen("option_menu_developer");
         ids = Ids(OptionMenu());
         wxUIActionSimulator sim;
         sim.Char(WXK_ESCAPE);
       },
       nullptr, 30, 0.5},
      {"relativity off", [] { ViewSession::PostCommand(ID_RELATIVITY); },
       [&] { return ViewSession::View()->m_pEngine->m_bRelativity == 0; }},
      {"read", [&] { relativity = ViewSession::View()->m_pEngine->m_bRelativity; }, nullptr},
  };
  ASSERT_TRUE(session.Run({}, std::move(steps)));
  EXPECT_EQ(session.FailedSteps(), "");
  // Started outside developer mode, the Epoch-field item followed the log
  // toggle; the two developer items come in right after the toggle.
  const auto toggle = std::find(ids.begin(), ids.end(), ID_OPLOG_TOGGLE);
  ASSERT_LE(toggle + 4, ids.end());
  EXPECT_EQ(std::vector<int>(toggle + 1, toggle + 4), (std::vector<int>{ID_RELATIVITY, ID_J2, ID_EPOCH_FROM_FIELD}));
  EXPECT_EQ(relativity, 0);
  bool boxShown = false;
  for (const auto& m : session.m_ui.m_messages)
    boxShown |= m.text.find("一般相対論補正をOFFにしました") != std::string::npos;
  EXPECT_TRUE(boxShown);
}

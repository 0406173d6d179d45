// The ephemeris view in the running program: "位置推算(&E)" from the menu,
// "入力例(&S)" and "位置推算(&C)" clicked, the e rule as the user types, and
// the record spin over a loaded comet file.
#include <gtest/gtest.h>

#include <cstdlib>

#include <wx/radiobut.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "app/child_frame.h"
#include "app/main_frame.h"
#include "app/registry/window_registry.h"
#include "app/tessarune_wx_app.h"
#include "data/element_file.h"
#include "determination/ui/determination_view.h"
#include "ephemeris/ephemeris_fields.h"
#include "ephemeris/ui/ephemerides_view.h"
#include "platform/app_services.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_resource_ids.h"
#include "tests/common/test_data.h"
#include "tests/determination_ui/view_session.h"
#include "views/ui/globe_wnd.h"

namespace {

CEphemeridesView* View()
{
  return dynamic_cast<CEphemeridesView*>(OpenWindows().m_pEphemerides);
}

void ClickAt(wxWindow* w, wxPoint at)
{
  wxUIActionSimulator sim;
  sim.MouseMove(w->ClientToScreen(at));
  sim.MouseClick();
}

// Clicks the middle of a control (a radio or check box: its box at the left).
void ClickControl(int id)
{
  wxWindow* w = View() ? View()->Widget(id) : nullptr;
  if (!w)
    return;
  const wxSize size = w->GetSize();
  ClickAt(w, dynamic_cast<wxRadioButton*>(w) ? wxPoint(8, size.y / 2) : wxPoint(size.x / 2, size.y / 2));
}

// Replaces the text of a field as the user does: click, select all, type.
void TypeInto(int id, const char* text)
{
  ClickControl(id);
  wxUIActionSimulator sim;
  sim.Char('a', wxMOD_CONTROL);
  sim.Text(text);
}

std::string Text(int id)
{
  return View() ? View()->GetItemText(id) : std::string();
}

bool Enabled(int id)
{
  return View() && View()->Widget(id)->IsEnabled();
}

} // namespace

TEST(EphemerisView, MenuExampleRuleAndSpinThroughTheEventLoop)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(comets, "catalogues/skyfield_CometEls.txt");
  ViewSession session("ephemeris_view");
  int rows = 0, recordAfterSpin = -1;
  std::string title, variationAt099, variationAt05, spunName, spunOutput;
  auto ephemerisShown = [] { return View() && View()->IsShownOnScreen(); };
  std::vector<ViewStep> steps = {
      // Only with no function view visible does the function menu offer the ephemeris view.
      ViewSession::CloseStartUpViewStep(),
      {"open 機能", [] { ViewSession::ClickMenuTitle(2); }, nullptr, 30, 0.6},
      {"menu shown", [] { ViewSession::SaveScreen("ephemeris_menu"); }, nullptr},
      {"down to 位置推算(&E)", [] {
         wxUIActionSimulator sim;
         for (int i = 0; i < 4; ++i)
           sim.Char(WXK_DOWN);
       },
       nullptr, 30, 0.5},
      {"menu item", [] { ViewSession::SaveScreen("ephemeris_menu_item"); }, nullptr},
      {"位置推算(&E)", [] { wxUIActionSimulator().Char(WXK_RETURN); }, ephemerisShown, 5},
      {"settle", nullptr, nullptr, 30, 0.4},
      {"入力例(&S)", [] { ClickControl(kEphSample); }, [] { return Text(kEphObject) == "2024 RW1"; }},
      {"位置推算(&C)", [] { ClickControl(kEphCalc); }, [] { return !Text(kEphOutput).empty(); }},
      // 2024 RW1 hit the Earth: the calculation opened the globe with its path and impact point.
      {"the globe shows the impact", nullptr, [] {
         auto* globe = dynamic_cast<CGlobeWnd*>(OpenWindows().m_pGlobeDlg);
         return globe && globe->IsShownOnScreen() && globe->m_bMarker == 1 && globe->m_nPathCount > 1;
       }},
      {"close the globe", [] { dynamic_cast<CGlobeWnd*>(OpenWindows().m_pGlobeDlg)->Close(); },
       [] { return !dynamic_cast<CGlobeWnd*>(OpenWindows().m_pGlobeDlg)->IsShown(); }},
      {"settle", nullptr, nullptr, 30, 0.6},
      {"read the table", [&] {
         title = FromWx(static_cast<wxWindow*>(View()->GetParent())->GetLabel());
         const std::string out = Text(kEphOutput);
         for (size_t at = out.find("\r\n"); at != std::string::npos; at = out.find("\r\n", at + 2))
           ++rows;
         ViewSession::SaveScreenshot(wxGetApp().MainFrame(), "ephemeris_example");
       },
       nullptr},
      // The e rule as the user types: 0.99 disables "Variation", 0.5 enables it.
      {"type e 0.99", [] { TypeInto(kEphE, "0.99"); },
       [] { return Text(kEphE) == "0.99" && View() && !Enabled(kEphVariation); }},
      {"read 0.99", [&] { variationAt099 = Enabled(kEphVariation) ? "on" : "off"; }, nullptr},
      {"type e 0.5", [] { TypeInto(kEphE, "0.5"); },
       [] { return Text(kEphE) == "0.5" && Enabled(kEphVariation); }},
      {"read 0.5", [&] { variationAt05 = Enabled(kEphVariation) ? "on" : "off"; }, nullptr},
      {"choose Variation", [] { ClickControl(kEphVariation); }, [] { return View()->m_nMotionItem == 1; }},
      // A comet file's records, then the arrow moves to the next and computes it.
      {"records", [&] {
         std::vector<ElementRecord> records;
         int count = 0;
         ReadElementFile(comets, &records, &count, nullptr);
         records.resize(static_cast<size_t>(count));
         View()->SetElements(records, 0);
         View()->ShowRecord(0);
       },
       [] { return TrimText(Text(kEphObject)) == "C/1995 O1 (Hale-Bopp)"; }},
      {"settle", nullptr, nullptr, 30, 0.4},
      {"spin to the next", [] {
         wxWindow* spin = View()->Widget(kEphRecordSpin);
         ClickAt(spin, wxPoint(spin->GetSize().x * 3 / 4, spin->GetSize().y / 2));
       },
       [] { return View()->m_nCurElement == 1 && !Text(kEphOutput).empty(); }},
      {"settle", nullptr, nullptr, 30, 0.6},
      {"read the spin", [&] {
         recordAfterSpin = View()->m_nCurElement;
         spunName = TrimText(Text(kEphObject));
         spunOutput = Text(kEphOutput).substr(0, 19);
         ViewSession::SaveScreenshot(wxGetApp().MainFrame(), "ephemeris_spin");
       },
       nullptr},
  };
  // Every later step needs the view.
  for (ViewStep& s : steps)
    if (s.run && s.name != "open 機能" && s.name != "menu shown" && s.name != "位置推算(&E)" &&
        s.name != "down to 位置推算(&E)" && s.name != "menu item")
      s.run = [run = s.run] {
        if (View())
          run();
      };
  for (ViewStep& s : steps)
    if (s.until && s.name != "start-up view closed")
      s.until = [until = s.until] { return View() && until(); };
  ASSERT_TRUE(session.Run({}, steps));
  EXPECT_TRUE(session.m_failures.empty()) << session.FailedSteps();
  EXPECT_EQ(title, "位置推算");
  EXPECT_EQ(rows, 2 + 481);
  EXPECT_EQ(variationAt099, "off");
  EXPECT_EQ(variationAt05, "on");
  EXPECT_EQ(recordAfterSpin, 1);
  EXPECT_EQ(spunName, "C/2020 F3 (NEOWISE)");
  EXPECT_EQ(spunOutput, "Date/            TT");  // the example's hour steps stay
}

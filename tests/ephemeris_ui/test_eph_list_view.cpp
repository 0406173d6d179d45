// The comet list in the running program: "彗星一覧(&C)" from the function
// menu, the element file through its menu and the file chooser, a date
// typed, "計算(&C)" clicked, "m1" sorted both ways by its header, a row
// clicked (the hand-over reaches the tool windows) and "1行全体をコピー(&R)"
// from the row's context menu.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <wx/filedlg.h>
#include <wx/listctrl.h>
#include <wx/radiobut.h>
#include <wx/uiaction.h>

#include "app/child_frame.h"
#include "app/main_frame.h"
#include "app/tessarune_wx_app.h"
#include "determination/ui/determination_view.h"
#include "engine/tool_sinks.h"
#include "ephemeris/ui/eph_list_view.h"
#include "platform/numbers.h"
#include "ephemeris/ephemeris_fields.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_resource_ids.h"
#include "resources/ephemeris_menus.h"
#include "tests/common/test_data.h"
#include "tests/determination_ui/dialog_watch.h"
#include "tests/determination_ui/view_session.h"
#include "tests/ephemeris/comet_els_fixture.h"

namespace {

CEphListView* ListView()
{
  CMainFrame* main = wxGetApp().MainFrame();
  return main ? dynamic_cast<CEphListView*>(main->FindFunctionView(FunctionView::EphList)) : nullptr;
}


void Click(wxWindow* w, wxPoint at, int button = wxMOUSE_BTN_LEFT)
{
  wxUIActionSimulator sim;
  sim.MouseMove(w->ClientToScreen(at));
  sim.MouseClick(button);
}

void ClickControl(int id)
{
  wxWindow* w = ListView() ? ListView()->Widget(id) : nullptr;
  if (w)
    Click(w, dynamic_cast<wxRadioButton*>(w) ? wxPoint(8, w->GetSize().y / 2)
                                               : wxPoint(w->GetSize().x / 2, w->GetSize().y / 2));
}

void TypeInto(int id, const char* text)
{
  ClickControl(id);
  wxUIActionSimulator sim;
  sim.Char('a', wxMOD_CONTROL);
  sim.Text(text);
}

std::string FieldText(int id)
{
  auto* edit = ListView() ? dynamic_cast<wxTextCtrl*>(ListView()->Widget(id)) : nullptr;
  return edit ? FromWx(edit->GetValue()) : std::string();
}

// The header of a column (the generic list draws it across the top of its client area).
void ClickHeader(int column)
{
  wxListCtrl* list = ListView()->List();
  int x = 0;
  for (int c = 0; c < column; ++c)
    x += list->GetColumnWidth(c);
  Click(list, wxPoint(x + list->GetColumnWidth(column) / 2, 8));
}

void ClickRow(int row, int button = wxMOUSE_BTN_LEFT)
{
  wxListCtrl* list = ListView()->List();
  wxRect rect;
  list->GetItemRect(row, rect);
  Click(list, wxPoint(rect.x + 60, rect.y + rect.height / 2), button);
}

} // namespace

TEST(CometListView, MenuFileCalcSortSelectAndCopy)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(json, "catalogues/kstars_CometEls.json.gz");
  ViewSession session("eph_list_view");
  int count = 0;
  const std::string path = session.m_dir + "CometEls.txt";
  std::ofstream(path) << comet_els_fixture::CometElsLines(json, count);
  DialogWatch<wxFileDialog> watch;
  watch.Register();
  HeadlessToolSinks sinks;
  bool chosen = false;
  std::string brightest, title, firstAscending, firstDescending, status, clipboard, handedOver;
  int rows = -1;
  double m1First = 0, m1Last = 0;
  auto shown = [] { return ListView() && ListView()->IsShownOnScreen(); };
  auto sorted = [](int column, int ascending) {
    return [=] { return ListView()->m_nSortColumn == column && ListView()->m_bSortAscending == ascending; };
  };
  std::vector<ViewStep> steps = {
      // The function views' rule: only with none visible does the menu offer the list.
      ViewSession::CloseStartUpViewStep(),
      ViewSession::OpenMenuStep(2, ID_EPH_LIST),
      {"彗星一覧(&C)", [] { ViewSession::ClickMenuItem(ID_EPH_LIST); }, shown},
      {"settle", [&] { SetToolSinks(&sinks); }, nullptr, 30, 0.5},
      ViewSession::OpenMenuStep(0, ID_OPEN_ELEMENT_FILE),
      {"軌道要素ファイルを開く(&E)", [] { ViewSession::ClickMenuItem(ID_OPEN_ELEMENT_FILE); },
       [&] { return watch.m_pOpen != nullptr; }},
      {"file chosen", nullptr,
       [&] {
         AnswerFileChooser(watch.m_pOpen, ToWx(path), chosen);
         return ListView()->m_nElements == 952;
       }},
      {"year", [] { TypeInto(kListYear, "2023"); }, [] { return FieldText(kListYear) == "2023"; }},
      {"month", [] { TypeInto(kListMonth, "3"); }, [] { return FieldText(kListMonth) == "3"; }},
      {"day", [] { TypeInto(kListDay, "11"); }, [] { return FieldText(kListDay) == "11"; }},
      {"計算(&C)", [] { ClickControl(kListCalc); }, [] { return ListView()->List()->GetItemCount() == 952; }, 60},
      {"read the rows", [&] {
         rows = ListView()->List()->GetItemCount();
         status = session.m_ui.m_status;
         title = FromWx(static_cast<wxWindow*>(ListView()->GetParent())->GetLabel());
       },
       nullptr},
      {"m1 ascending", [] { ClickHeader(9); }, sorted(9, 1)},
      {"settle", nullptr, nullptr, 30, 0.4},
      {"read ascending", [&] {
         firstAscending = ListView()->GetCellText(0, 9);
         m1First = ListView()->m_pRows.front().m_dM1;
         ViewSession::SaveScreenshot(wxGetApp().MainFrame(), "comet_list_m1_ascending");
       },
       nullptr},
      {"m1 descending", [] { ClickHeader(9); }, sorted(9, 0)},
      {"settle", nullptr, nullptr, 30, 0.4},
      {"read descending", [&] {
         firstDescending = ListView()->GetCellText(0, 9);
         m1Last = ListView()->m_pRows.front().m_dM1;
       },
       nullptr},
      // The brightest row is now the last: sort ascending again and take the first.
      {"m1 ascending again", [] { ClickHeader(9); }, sorted(9, 1)},
      {"settle", nullptr, nullptr, 30, 0.4},
      {"select the brightest", [] { ClickRow(0); }, [&] { return sinks.m_magCurve.m_got.m_nShown > 0; }},
      {"read the hand-over", [&] {
         handedOver = sinks.m_diagram.m_orbit.m_strName;
         brightest = TrimText(ListView()->GetCellText(0, 0));
       },
       nullptr},
      {"context menu", [] { ClickRow(0, wxMOUSE_BTN_RIGHT); }, nullptr, 30, 1.0},
      {"menu open", [] { ViewSession::SaveScreen("comet_list_copy_menu"); }, nullptr},
      {"1行全体をコピー(&R)", [] {
         wxUIActionSimulator sim;
         sim.Char(WXK_DOWN);
         sim.Char(WXK_DOWN);
         sim.Char(WXK_RETURN);
       },
       [&] { return !session.m_ui.m_clipboard.empty(); }},
      {"read the copy", [&] {
         clipboard = session.m_ui.m_clipboard;
         ViewSession::SaveScreenshot(wxGetApp().MainFrame(), "comet_list_selected");
         SetToolSinks(nullptr);
       },
       nullptr},
  };
  for (size_t i = 4; i < steps.size(); ++i) {
    if (steps[i].run)
      steps[i].run = [run = steps[i].run] {
        if (ListView())
          run();
      };
    if (steps[i].until)
      steps[i].until = [until = steps[i].until] { return ListView() && until(); };
  }
  ASSERT_TRUE(session.Run({}, steps));
  watch.Unregister();
  SetToolSinks(nullptr);
  EXPECT_TRUE(session.m_failures.empty()) << session.FailedSteps();
  EXPECT_EQ(title, "彗星一覧");
  EXPECT_EQ(rows, 952);
  EXPECT_EQ(status, "");
  EXPECT_LT(m1First, m1Last);
  EXPECT_EQ(firstAscending, FormatC("%.1f", m1First));
  EXPECT_EQ(firstDescending, FormatC("%.1f", m1Last));
  EXPECT_FALSE(handedOver.empty());
  EXPECT_EQ(handedOver, brightest);
  ASSERT_FALSE(clipboard.empty());
  EXPECT_EQ(std::count(clipboard.begin(), clipboard.end(), '\t'), 13);
  EXPECT_EQ(clipboard.rfind(handedOver + "\t", 0), 0u) << clipboard;
  for (const auto& m : session.m_ui.m_messages)
    ADD_FAILURE() << "message: " << m.text;
}

// The function views as a new user meets them (under xvfb-run): the program
// starts with the orbit-determination view; a click into its log and Ctrl+O
// opens the observation-file dialog, Ctrl+W closes the view; then each
// function view opens from "機能(&T)", is listed under "ｳｨﾝﾄﾞｳ(&W)" and closes by
// its tab's close control, "閉じる", Ctrl+W or Ctrl+F4. Esc stops a long
// calculation, and the toolkit's own boxes speak Japanese.
#include <gtest/gtest.h>

#include <gtk/gtk.h>

#include <cstdlib>
#include <unistd.h>
#include <functional>
#include <string>
#include <vector>

#include <wx/button.h>
#include <wx/display.h>
#include <wx/menu.h>
#include <wx/modalhook.h>
#include <wx/progdlg.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/bookctrl.h>
#include <wx/uiaction.h>

#include "app/child_frame.h"
#include "app/form_view.h"
#include "app/main_frame.h"
#include "app/option_sheet.h"
#include "app/tessarune_wx_app.h"
#include "determination/ui/determination_view.h"
#include "engine/orbit_engine.h"
#include "engine/ui/cancel_dlg.h"
#include "platform/app_services.h"
#include "platform/ini_file.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_menus.h"
#include "resources/option_strings.h"
#include "tests/common/folder_checks.h"
#include "tests/common/test_data.h"
#include "tests/determination_ui/dialog_watch.h"
#include "tests/determination_ui/view_session.h"

namespace {

CCancelDlg* ShownCancelDialog()
{
  return ShownTopLevel<CCancelDlg>();
}

CMainFrame* Main()
{
  return wxGetApp().MainFrame();
}

CChildFrame* Shown(FunctionView kind)
{
  return Main() ? Main()->FindVisibleFrame(kind) : nullptr;
}

// What the menus would show for a command now, as the framework asks when a menu opens.
bool Enabled(int id)
{
  wxWindow* target = Main()->GetActiveChild() ? static_cast<wxWindow*>(Main()->GetActiveChild()) : Main();
  wxUpdateUIEvent e(id);
  e.SetEventObject(target);
  target->ProcessWindowEvent(e);
  return !e.GetSetEnabled() || e.GetEnabled();
}

void ClickMiddle(wxWindow* w)
{
  wxUIActionSimulator sim;
  sim.MouseMove(w->ClientToScreen(wxPoint(w->GetClientSize().x / 2, w->GetClientSize().y / 2)));
  sim.MouseClick();
}

void ClickGtk(GtkWidget* widget)
{
  GtkAllocation box;
  gtk_widget_get_allocation(widget, &box);
  int x = 0, y = 0;
  gdk_window_get_origin(gtk_widget_get_window(widget), &x, &y);
  wxUIActionSimulator sim;
  sim.MouseMove(x + box.x + box.width / 2, y + box.y + box.height / 2);
  sim.MouseClick();
}

void Key(int key, int modifiers = wxMOD_NONE)
{
  wxUIActionSimulator().Char(key, modifiers);
}

int WindowMenuPos()
{
  wxMenuBar* bar = ViewSession::ShownMenuBar();
  return bar ? bar->FindMenu(ToWx(kWindowPopupTitle)) : wxNOT_FOUND;
}

std::string MenuLabel(int id)
{
  wxMenuBar* bar = ViewSession::ShownMenuBar();
  const wxMenuItem* item = bar ? bar->FindItem(id) : nullptr;
  return item ? FromWx(item->GetItemLabel()) : std::string();
}

void Append(std::vector<ViewStep>& steps, std::vector<ViewStep> more)
{
  for (ViewStep& s : more)
    steps.push_back(std::move(s));
}

bool SkipWithoutDisplay()
{
  const char* display = std::getenv("DISPLAY");
  return !display || !*display;
}

std::string FocusName()
{
  wxWindow* w = wxWindow::FindFocus();
  return w ? FromWx(w->GetClassInfo()->GetClassName()) + "/" + std::to_string(w->GetId()) + " " : "none ";
}

struct ViewOpening {
  FunctionView kind;
  int command;
  const char* closedBy;
};

} // namespace

TEST(FunctionViewWindows, EveryViewOpensFromTheFirstStateAndClosesAsADocumentWindow)
{
  if (SkipWithoutDisplay())
    GTEST_SKIP() << "no display: run under xvfb-run";
  ViewSession session("function_view_windows");
  ModalCounter dialogs;
  dialogs.Register();
  auto det = [] { return ViewSession::View(); };
  bool greyedWhileOpen = true, enabledAfterClose = false;
  int fileDialogs = -1;
  std::string focusWhere;
  std::vector<ViewStep> steps = {{"start-up view", nullptr, [det] { return det() && det()->IsShownOnScreen(); }}};
  steps.push_back({"functions while it is open", [&] {
                     for (int id : {ID_EPH_LIST, ID_WHOIS_OBS, ID_VAISALA, ID_MOVE_EPOCH})
                       greyedWhileOpen = greyedWhileOpen && !Enabled(id);
                   },
                   nullptr});
  Append(steps, ViewSession::ClickTabSteps(1, [det] { return det()->IsItemVisible(kIdCalcLogEdit); }));
  steps.push_back({"click into the log", [det] { ClickMiddle(det()->Widget(kIdCalcLogEdit)); }, nullptr, 30, 0.4});
  steps.push_back({"Ctrl+O in the log", [] { Key('O', wxMOD_CONTROL); }, [&] { return dialogs.m_nShown == 1; }, 5});
  // The other kinds of control of the view: the tab row, the list, an edit.
  Append(steps, ViewSession::ClickTabSteps(0, [det] { return det()->Widget(kIdObsList)->IsShownOnScreen(); }));
  const std::vector<std::pair<std::string, std::function<void()>>> others = {
      {"tabs", [det] { det()->Widget(kIdTabs)->SetFocus(); }},
      {"list", [det] { ClickMiddle(det()->Widget(kIdObsList)); }},
      {"result", [det] { ClickMiddle(det()->Widget(kIdResultEdit)); }},
  };
  int opened = 1;
  for (const auto& [place, focus] : others) {
    steps.push_back({"focus the " + place, focus, nullptr, 30, 0.4});
    steps.push_back({"Ctrl+O in the " + place, [&focusWhere] {
                       focusWhere += FocusName();
                       Key('O', wxMOD_CONTROL);
                     },
                     [&dialogs, n = ++opened] { return dialogs.m_nShown == n; }, 5});
  }
  steps.push_back({"Ctrl+W", [&] {
                     fileDialogs = dialogs.m_nShown;
                     Key('W', wxMOD_CONTROL);
                   },
                   [det] { return !det() && Main()->ChildFrames().empty(); }, 5});
  steps.push_back({"functions with no view", [&] {
                     enabledAfterClose = true;
                     for (const MenuItemDef& item : kFunctionItems)
                       enabledAfterClose = enabledAfterClose && Enabled(item.id);
                   },
                   nullptr});

  const ViewOpening openings[] = {
      {FunctionView::EphList, ID_EPH_LIST, "tab"},       {FunctionView::WhoisObs, ID_WHOIS_OBS, "menu"},
      {FunctionView::Vaisala, ID_VAISALA, "Ctrl+F4"},    {FunctionView::MoveEpoch, ID_MOVE_EPOCH, "Ctrl+W"},
      {FunctionView::Ephemerides, ID_EPHEMERIDES, "tab"}, {FunctionView::Determination, ID_DETERMINATION, "menu"},
  };
  std::vector<std::string> listed, closeLabels;
  for (const ViewOpening& o : openings) {
    const std::string name = std::to_string(static_cast<int>(o.kind));
    steps.push_back(ViewSession::OpenMenuStep(2, o.command));
    steps.push_back({"open " + name, [o] { ViewSession::ClickMenuItem(o.command); },
                     [o] { return Shown(o.kind) && Shown(o.kind)->IsShownOnScreen(); }, 30, 0.5});
    steps.push_back({"shot " + name, [o] { ViewSession::SaveScreenshot(Main(), "view_tab_" + std::string(o.closedBy) +
                                                                               std::to_string(static_cast<int>(o.kind))); },
                     nullptr});
    steps.push_back({"window menu " + name, [] { ViewSession::ClickMenuTitle(WindowMenuPos()); },
                     [] { return ViewSession::MenuItemShown(ID_WINDOW_FIRST); }, 10, 0.3});
    steps.push_back({"read window menu " + name, [&listed, &closeLabels] {
                       listed.push_back(MenuLabel(ID_WINDOW_FIRST) + (MenuLabel(ID_WINDOW_FIRST + 1).empty() ? "" : "+"));
                       closeLabels.push_back(MenuLabel(ID_CLOSE_VIEW));
                       Key(WXK_ESCAPE);
                     },
                     nullptr, 30, 0.3});
    const std::string by = o.closedBy;
    if (by == "tab") {
      steps.push_back({"close by the tab " + name, [o] {
                         if (Shown(o.kind))
                           ClickGtk(Shown(o.kind)->TabCloseButton());
                       },
                       [] { return Main()->ChildFrames().empty(); }, 10});
    } else if (by == "menu") {
      steps.push_back(ViewSession::OpenMenuStep(0, ID_CLOSE_VIEW));
      steps.push_back({"close by 閉じる " + name, [] { ViewSession::ClickMenuItem(ID_CLOSE_VIEW); },
                       [] { return Main()->ChildFrames().empty(); }, 10});
    } else {
      const int key = by == "Ctrl+W" ? int{'W'} : int{WXK_F4};
      steps.push_back({"click into " + name, [o] {
                         if (Shown(o.kind))
                           ClickMiddle(Shown(o.kind)->GetFormView());
                       }, nullptr, 30, 0.4});
      steps.push_back({"close by " + by + " " + name, [key] { Key(key, wxMOD_CONTROL); },
                       [] { return Main()->ChildFrames().empty(); }, 10});
    }
  }

  ASSERT_TRUE(session.Run({}, steps));
  dialogs.Unregister();
  EXPECT_EQ(session.FailedSteps(), "");
  EXPECT_TRUE(greyedWhileOpen);
  // Ctrl+O from the log, the tab row, the list and the result each opened the file dialog.
  EXPECT_EQ(fileDialogs, 4);
  EXPECT_EQ(focusWhere, "wxNotebook/1244 wxListCtrl/1057 wxTextCtrl/1000 ");
  EXPECT_TRUE(enabledAfterClose);
  // Each view listed alone (no "+": no second tab), under its own name, with the close command beside it.
  const std::vector<std::string> names = {"&1 彗星一覧", "&1 天体同定", "&1 バイサラ軌道計算", "&1 入力して元期を移動",
                                          "&1 位置推算", "&1 軌道計算"};
  ASSERT_EQ(listed.size(), names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(listed[i], names[i]);
    EXPECT_EQ(closeLabels[i], "閉じる(&C)\tCtrl+W");
  }
}

// Esc stops the calculation wherever the focus is: on the cancel dialog (the
// toolkit took the key for the dialog's close, which left the calculation
// running), in the view's list, its tab row, the row of document tabs and the
// log; the view's menu keys work from the dialog too.
TEST(FunctionViewWindows, EscStopsALongImprovementFromEveryControl)
{
  if (SkipWithoutDisplay())
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(obsFile, "obs/mpc80/orbfit_2015AB.obs");
  ViewSession session("esc_cancel");
  session.m_ui.m_bRealEvents = true;
  auto view = [] { return ViewSession::View(); };
  auto busy = [view] { return EngineBusy(view()->m_pEngine); };
  struct Place {
    const char* name;
    std::function<wxWindow*()> control;  // null: the cancel dialog
  };
  const std::vector<Place> places = {
      {"dialog", nullptr},
      {"list", [view] { return view()->Widget(kIdObsList); }},
      {"tabs", [view] { return view()->Widget(kIdTabs); }},
      {"document tabs", [] { return Main()->GetClientWindow(); }},
      {"log", [view] { return view()->Widget(kIdCalcLogEdit); }},
  };
  std::vector<std::string> results;
  std::string wasBusy, focusNames;
  std::vector<ViewStep> steps = ViewSession::LongImprovementSteps();
  for (const Place& p : places) {
    const std::string name = p.name;
    if (name != "dialog")
      Append(steps, ViewSession::ClickControlSteps(kIdAutoImprove, busy));
    if (name == "log")
      Append(steps, ViewSession::ClickTabSteps(1, [view] { return view()->IsItemVisible(kIdCalcLogEdit); }));
    steps.push_back({"dialog shown " + name, nullptr, [] { return ShownCancelDialog() != nullptr; }, 30, 0.5});
    // The key goes where the focus is: the place has it before the key.
    auto target = [p]() -> wxWindow* { return p.control ? p.control() : ShownCancelDialog(); };
    steps.push_back({"focus " + name, [p, target] {
                       wxWindow* top = wxGetTopLevelParent(target());
                       top->Raise();
                       if (!p.control)
                         target()->SetFocus();
                       else if (p.control() == ViewSession::View()->Widget(kIdTabs))
                         ViewSession::ClickBookTab(dynamic_cast<wxBookCtrlBase*>(target()), 0);
                       else if (p.control() == Main()->GetClientWindow())
                         target()->SetFocus();
                       else
                         ClickMiddle(target());
                     },
                     [target] {
                       wxWindow* focus = wxWindow::FindFocus();
                       return focus && (focus == target() || focus->GetParent() == target() ||
                                        wxGetTopLevelParent(focus) == target());
                     },
                     5, 0.3});
    // The view's menu keys also work from the dialog: Ctrl+W asks to close
    // the view, which the running calculation refuses with its message.
    if (name == "dialog")
      steps.push_back({"Ctrl+W on the dialog", [] { Key('W', wxMOD_CONTROL); },
                       [&session] {
                         for (const auto& m : session.m_ui.m_messages)
                           if (m.text == kMsgOtherCalculationRunning)
                             return true;
                         return false;
                       },
                       5});
    steps.push_back({"Esc in " + name, [&wasBusy, busy, &focusNames] {
                       wasBusy += busy() ? "1" : "0";
                       focusNames += FocusName();
                       Key(WXK_ESCAPE);
                     },
                     [busy] { return !busy(); }, 5});
    steps.push_back({"read " + name, [&results, view] { results.push_back(view()->m_pEngine->m_strMessage); },
                     nullptr, 30, 0.5});
  }

  ASSERT_TRUE(session.Run({obsFile}, steps));
  EXPECT_EQ(session.FailedSteps(), "");
  EXPECT_EQ(wasBusy, std::string(places.size(), '1'));
  EXPECT_EQ(focusNames, "wxButton/1105 wxListCtrl/1057 wxNotebook/1244 wxMDIClientWindow/-2007 wxTextCtrl/1245 ");
  ASSERT_EQ(results.size(), places.size());
  for (size_t i = 0; i < places.size(); ++i)
    EXPECT_EQ(results[i], kMsgCancelledByButton) << places[i].name;
}

TEST(FunctionViewWindows, TheToolkitsBoxesSpeakJapanese)
{
  if (SkipWithoutDisplay())
    GTEST_SKIP() << "no display: run under xvfb-run";
  ViewSession session("toolkit_texts");
  std::vector<std::string> texts;
  std::string shot;
  std::vector<ViewStep> steps = {
      {"start-up view", nullptr, [] { return ViewSession::View() && ViewSession::View()->IsShownOnScreen(); }},
      // The video export's progress box, as the export makes it.
      {"progress box", [&] {
         wxProgressDialog box("Tessarune", ToWx("動画を保存しています…"), 100, Main(),
                              wxPD_APP_MODAL | wxPD_AUTO_HIDE | wxPD_CAN_ABORT | wxPD_ELAPSED_TIME |
                                  wxPD_REMAINING_TIME);
         box.Update(10);
         for (const wxWindow* w : box.GetChildren())
           if (dynamic_cast<const wxStaticText*>(w) || dynamic_cast<const wxButton*>(w))
             texts.push_back(FromWx(w->GetLabel()));
         shot = ViewSession::SaveScreenshot(&box, "progress_box");
         // The file dialog's refusal of a name that does not exist.
         texts.push_back(FromWx(wxGetTranslation("Please choose an existing file.")));
         // GTK draws the box's stock button itself, from its own catalogue.
         texts.push_back(g_dgettext("gtk30", "_Cancel"));
       },
       nullptr},
  };
  ASSERT_TRUE(session.Run({}, steps));
  EXPECT_EQ(session.FailedSteps(), "");
  const std::string joined = [&] {
    std::string all;
    for (const std::string& t : texts)
      all += t + "|";
    return all;
  }();
  EXPECT_NE(joined.find("経過時間:"), std::string::npos) << joined;
  EXPECT_NE(joined.find("残り時間:"), std::string::npos) << joined;
  EXPECT_EQ(joined.find("Cancel"), std::string::npos) << joined;
  EXPECT_NE(joined.find("キャンセル"), std::string::npos) << joined;
  EXPECT_EQ(joined.find("time"), std::string::npos) << joined;
  EXPECT_NE(joined.find("存在するファイルを選んでください。"), std::string::npos) << joined;
}

TEST(FunctionViewWindows, FirstWindowFitsTheViewAndItsNewSizeIsStored)
{
  if (SkipWithoutDisplay())
    GTEST_SKIP() << "no display: run under xvfb-run";
  ViewSession session("first_window");
  IniFile ini(session.m_dir + "bin/Tessarune.INI");
  for (const char* key : {"MAINWND_X", "MAINWND_Y", "MAINWND_W", "MAINWND_H"})
    ini.WriteString("SYSTEM", key, nullptr);
  wxSize lack(-1, -1), first;
  wxRect work;
  std::string shot;
  auto view = [] { return ViewSession::View(); };
  std::vector<ViewStep> first_run = {
      {"start-up view", nullptr, [view] { return view() && view()->IsShownOnScreen(); }},
      {"settle", nullptr, nullptr, 30, 1.0},
      {"read", [&] {
         lack = view()->GetVirtualSize() - view()->GetClientSize();
         first = Main()->GetSize();
         work = wxDisplay(0u).GetClientArea();
         shot = ViewSession::SaveScreenshot(Main(), "first_window");
       },
       nullptr},
      // The user makes it smaller and quits through the menu: the size the next start takes.
      {"resize", [] { Main()->SetSize(30, 20, 1000, 700); }, [] { return Main()->GetSize() == wxSize(1000, 700); }},
      {"settle", nullptr, nullptr, 30, 0.5},
      ViewSession::OpenMenuStep(0, ID_APP_EXIT),
      {"終了", [] { ViewSession::ClickMenuItem(ID_APP_EXIT); }, [] { return !Main() || !Main()->IsShown(); }, 10},
  };
  ASSERT_TRUE(session.Run({}, first_run));
  EXPECT_EQ(session.FailedSteps(), "");
  // The whole designed form fits (the work area of the test screen is large enough for it).
  EXPECT_LE(lack.x, 0) << first.x;
  EXPECT_LE(lack.y, 0) << first.y;
  EXPECT_LE(first.x, work.width);
  EXPECT_LE(first.y, work.height);
  EXPECT_EQ(session.Setting("MAINWND_W"), "1000");
  EXPECT_EQ(session.Setting("MAINWND_H"), "700");

  // The next start, on the same settings folder, in a process of its own: the
  // toolkit starts only once in a process.
  const std::string command = "TSR_NEXT_START_DIR='" + session.m_dir + "' /proc/" + std::to_string(getpid()) +
                              "/exe --gtest_filter=FunctionViewWindows.NextStartOfTheFirstWindow";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(Contents(session.m_dir + "next_start.txt"), "30 20 1000 700");
}

// The second start of the test above (skipped when run alone): writes the
// main window's rectangle once the start-up view is up.
TEST(FunctionViewWindows, NextStartOfTheFirstWindow)
{
  const char* dir = std::getenv("TSR_NEXT_START_DIR");
  if (SkipWithoutDisplay() || !dir)
    GTEST_SKIP() << "the second start of FirstWindowFitsTheViewAndItsNewSizeIsStored";
  ViewSession session("next_start");
  session.m_dir = dir;
  wxRect again;
  std::vector<ViewStep> steps = {
      {"start-up view", nullptr, [] { return ViewSession::View() && ViewSession::View()->IsShownOnScreen(); }},
      {"settle", nullptr, nullptr, 30, 1.0},
      {"read", [&] {
         again = Main()->GetRect();
         ViewSession::SaveScreenshot(Main(), "next_start_window");
       },
       nullptr},
  };
  ASSERT_TRUE(session.Run({}, steps));
  EXPECT_EQ(session.FailedSteps(), "");
  WriteFileAtomic(session.m_dir + "next_start.txt", std::to_string(again.x) + " " + std::to_string(again.y) + " " +
                                                        std::to_string(again.width) + " " +
                                                        std::to_string(again.height));
}

namespace {

// The shown window under top whose label is text (a button, a static text), or null.
wxWindow* Labelled(wxWindow* top, const std::string& text)
{
  for (wxWindow* w : top->GetChildren()) {
    if (w->IsShown() && FromWx(w->GetLabel()) == text && !dynamic_cast<wxStaticBox*>(w))
      return w;
    if (wxWindow* inner = Labelled(w, text))
      return inner;
  }
  return nullptr;
}

COption* ShownSheet()
{
  return ShownTopLevel<COption>();
}

} // namespace

TEST(FunctionViewWindows, DeveloperButtonOfThePlanetaryPageStandsClearOfItsLabels)
{
  if (SkipWithoutDisplay())
    GTEST_SKIP() << "no display: run under xvfb-run";
  ViewSession session("developer_options");
  wxRect button, label;
  bool shown = false;
  std::string shot;
  auto ephPage = [] {
    COption* sheet = ShownSheet();
    wxBookCtrlBase* book = sheet ? sheet->GetBookCtrl() : nullptr;
    for (size_t i = 0; book && i < book->GetPageCount(); ++i)
      if (dynamic_cast<COptionPageEph*>(book->GetPage(i)))
        return static_cast<int>(i);
    return -1;
  };
  std::vector<ViewStep> steps = {
      {"start-up view", nullptr, [] { return ViewSession::View() && ViewSession::View()->IsShownOnScreen(); }},
      {"環境設定 in developer mode", [] {
         TheApp().m_bDeveloper = 1;
         ViewSession::PostCommand(ID_OPTIONS);
       },
       [] { return ShownSheet() != nullptr; }},
      {"planetary page", [ephPage] { ViewSession::ClickBookTab(ShownSheet()->GetBookCtrl(), ephPage()); },
       [ephPage] { return ephPage() >= 0 && ShownSheet()->GetBookCtrl()->GetSelection() == ephPage(); }, 10, 0.5},
      {"read", [&] {
         wxWindow* page = ShownSheet()->GetBookCtrl()->GetCurrentPage();
         wxWindow* b = Labelled(page, OptionText::kMpephRebuild);
         wxWindow* l = Labelled(page, OptionText::kEphFileLabel);
         shown = b && l;
         if (shown) {
           button = b->GetScreenRect();
           label = l->GetScreenRect();
         }
         shot = ViewSession::SaveScreenshot(ShownSheet(), "options_planetary_developer");
         ShownSheet()->EndModal(wxID_CANCEL);
       },
       nullptr},
  };
  ASSERT_TRUE(session.Run({}, steps));
  EXPECT_EQ(session.FailedSteps(), "");
  ASSERT_TRUE(shown);
  EXPECT_FALSE(button.Intersects(label)) << button.x << "," << button.y << " " << label.x << "," << label.y;
}

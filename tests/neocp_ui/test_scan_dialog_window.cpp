// The NEOCP scan dialog in the running program (under xvfb-run), developer
// mode: "NEOCPの全天体を走査(&A)..." of the view's file menu opens it on a
// state table of the 63 objects of the real NEOCP list and a row of every
// status; clicking the "H" header sorts ascending, again descending; the
// window grows by its layout table; a scan run takes the application over:
// the main frame refuses to close (the refusal recorded), its menus are
// disabled, its commands and keys are dropped, while Esc in the dialog aborts.
#include <gtest/gtest.h>

#include <cstdlib>

#include <wx/frame.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/uiaction.h>

#include "app/main_frame.h"
#include "app/registry/window_registry.h"
#include "app/scan_lock.h"
#include "app/tessarune_wx_app.h"
#include "data/neocp_list.h"
#include "determination/ui/determination_view.h"
#include "neocp/scan_files.h"
#include "neocp/ui/neocp_scan_wnd.h"
#include "neocp/ui/scan_list_ctrl.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "resources/app_resource_ids.h"
#include "platform/numbers.h"
#include "tests/common/test_data.h"
#include "tests/determination_ui/view_session.h"

namespace {

constexpr int kHColumn = 15;

CNeocpScanWnd* Dialog()
{
  CDeterminationView* view = ViewSession::View();
  return view ? dynamic_cast<CNeocpScanWnd*>(view->m_pNeocpScanDlg) : nullptr;
}

// The state table of the real list (the list's values) and one row of every status.
int WriteStateTable(const std::string& folder)
{
  std::string json;
  ReadWholeFile(TestDataPath("catalogues/neocp_json_derived_from_neosjl_neocp_txt.json"), json);
  NeocpEntry* entries = nullptr;
  const int n = ParseNeocpJson(json, &entries);
  std::string text = GetScanStateHeaderLine() + "\r\n";
  for (int i = 0; i < n; ++i) {
    NeocpScanRow r;
    ResetScanRow(r, 0);
    r.desig = entries[i].m_szDesig;
    r.score = entries[i].m_dScore;
    r.list_nobs = entries[i].m_dNObs;
    r.list_arc = entries[i].m_dArc;
    r.h = entries[i].m_dH;
    text += FormatScanStateLine(r) + "\r\n";
  }
  std::free(entries);
  for (int status = kScanSkipped; status <= kScanComplete; ++status) {
    NeocpScanRow r;
    ResetScanRow(r, 0);
    r.desig = "ZZ" + std::to_string(status);
    r.status = status;
    r.list_state = status == kScanTimedOut ? kListProvisional : kListOnNeocp;
    r.prov_des = status == kScanTimedOut ? "2025 YA1" : "";
    r.h = 20 + status;
    r.list_nobs = r.nobs_at_scan = 6;
    if (status >= kScanNominalOnly) {
      r.n_obs = r.n_used = 6;
      r.arc_days = 1.2;
      r.rms = 0.3;
      r.nom_dist = 0.03;
      r.nom_jd = 2461000.5;
      r.n_valid = 180;
      r.clo_dist = 0.002;
      r.clo_jd = 2461000.75;
      r.clo_median = 0.02;
      r.n_impact = status == kScanComplete ? 1 : 0;
      r.imp_prob = r.n_impact / 180.0;
    }
    text += FormatScanStateLine(r) + "\r\n";
  }
  CreateFolder(folder);
  WriteUtf8BomFile(folder + "/neocp_scan_state.tsv", text);
  return n + 9;
}

// Clicks the header of a column of the list.
// Cells and headers whose text does not fit their column with the list's
// margins ("row/column: text").
std::string ClippedCells(CScanListCtrl* list)
{
  std::string out;
  for (int col = 0; col < list->GetColumnCount(); ++col) {
    wxListItem header;
    header.SetMask(wxLIST_MASK_TEXT);
    list->GetColumn(col, header);
    std::vector<std::pair<int, wxString>> texts = {{-1, header.GetText()}};
    for (int item = 0; item < list->GetItemCount(); ++item)
      texts.emplace_back(item, list->GetItemText(item, col));
    for (const auto& [item, text] : texts)
      if (list->GetTextExtent(text).x + 8 > list->GetColumnWidth(col))
        out += FormatC("%d/%d: ", item, col) + FromWx(text) + "; ";
  }
  return out;
}

void ClickHeader(CScanListCtrl* list, int column)
{
  int x = 0;
  for (int c = 0; c < column; ++c)
    x += list->GetColumnWidth(c);
  x += list->GetColumnWidth(column) / 2;
  // The columns fit their texts and may run past the list: scrolled to it, as a user would.
  const int shown = list->GetClientSize().x;
  if (x - list->GetScrollPos(wxHORIZONTAL) > shown - 20)
    list->ScrollList(x - shown / 2 - list->GetScrollPos(wxHORIZONTAL), 0);
  x -= list->GetScrollPos(wxHORIZONTAL);
  wxUIActionSimulator sim;
  sim.MouseMove(list->GetScreenPosition() + wxPoint(x, 10));
  sim.MouseClick();
}

std::vector<double> HColumn(const CNeocpScanWnd* dlg)
{
  std::vector<double> h;
  for (int i = 0; i < dlg->m_nRows; ++i)
    h.push_back(dlg->m_pRows[dlg->m_pOrder[i]].h);
  return h;
}

// Counts key events that reach the main frame or a window inside it.
class MainFrameKeys : public wxEventFilter {
public:
  int FilterEvent(wxEvent& event) override
  {
    if (event.GetEventType() == wxEVT_KEY_DOWN)
      for (auto* w = wxDynamicCast(event.GetEventObject(), wxWindow); w; w = w->GetParent())
        if (w == wxGetApp().MainFrame()) {
          ++m_count;
          break;
        }
    return Event_Skip;
  }
  int m_count = 0;
};

} // namespace

TEST(ScanDialogWindow, OpenedByTheViewsCommandSortsGrowsAndLocksTheApplication)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(listFile, "catalogues/neocp_json_derived_from_neosjl_neocp_txt.json");
  ViewSession session("scan_dialog_window");
  MainFrameKeys keys;
  int rows = 0, keysBefore = -1, keysLocked = -1;
  std::vector<double> ascending, descending;
  std::string clipped = "not read";
  wxSize smallest, initial;
  wxRect list0, log0, close0, list1, log1, close1, refetch0, refetch1;
  bool menuEnabledLocked = true, menuEnabledAfter = false, stillShown = false;
  std::string refusal, status;
  std::vector<ViewStep> steps = {
      {"view", nullptr, [] { return ViewSession::View() != nullptr; }},
      {"developer mode and a state table", [&] {
         TheApp().m_bDeveloper = 1;
         // The opening refresh asks a port where nobody listens: no network, the table as loaded.
         TheApp().WriteProfileString(kSettingsSection, "MPCWEBHOST", "http://127.0.0.1:1");
         const CTessaruneApp& app = TheApp();
         rows = WriteStateTable(ScanFolderFor(app.m_szObsFolder, app.m_szDataDir));
         wxEvtHandler::AddFilter(&keys);
       },
       [] {
         wxMenuBar* bar = ViewSession::ShownMenuBar();
         return bar && bar->FindItem(ID_NEOCP_SCAN) != nullptr;
       }},
      ViewSession::OpenMenuStep(0, ID_NEOCP_SCAN),
      {"the command", [] { ViewSession::ClickMenuItem(ID_NEOCP_SCAN); },
       [&] { return Dialog() && Dialog()->IsShownOnScreen() && Dialog()->m_bStateLoaded && Dialog()->m_nRows == rows; }},
      {"H ascending", [] { ClickHeader(Dialog()->List(), kHColumn); },
       [&] { return Dialog()->m_nSortColumn == kHColumn && Dialog()->m_bSortAscending == 1; }, 30, 1.0},
      // Clicked again (well apart, so no double click) until the second click counts.
      {"H descending", [&] { ascending = HColumn(Dialog()); },
       [ticks = 0]() mutable {
         if (Dialog()->m_bSortAscending == 0)
           return true;
         if (ticks++ % 30 == 0)
           ClickHeader(Dialog()->List(), kHColumn);
         return false;
       },
       30, 0.5},
      {"screenshot sorted", [&] {
         descending = HColumn(Dialog());
         clipped = ClippedCells(Dialog()->List());
         ViewSession::SaveScreenshot(Dialog(), "scan_dialog_sorted");
         list0 = Dialog()->Control(kIdScanList)->GetRect();
         log0 = Dialog()->Control(kIdScanLog)->GetRect();
         close0 = Dialog()->Control(kIdScanClose)->GetRect();
         refetch0 = Dialog()->Control(kIdScanRefetch)->GetRect();
         Dialog()->SetSize(Dialog()->GetSize() + wxSize(120, 90));
       },
       [] { return Dialog()->GetClientSize().x >= Dialog()->InitialClientSize().x + 100; }, 30, 0.5},
      {"grown; then made small", [&] {
         list1 = Dialog()->Control(kIdScanList)->GetRect();
         log1 = Dialog()->Control(kIdScanLog)->GetRect();
         close1 = Dialog()->Control(kIdScanClose)->GetRect();
         refetch1 = Dialog()->Control(kIdScanRefetch)->GetRect();
         Dialog()->SetSize(wxSize(300, 200));
       },
       nullptr, 30, 0.5},
      {"a key to the main frame", [&] {
         smallest = Dialog()->GetClientSize();
         initial = Dialog()->InitialClientSize();
         ViewSession::View()->SetFocus();
         wxUIActionSimulator().Char('q');
       },
       [&] { return keys.m_count > 0; }, 10, 0.3},
      {"a scan takes the application", [&] {
         keysBefore = keys.m_count;
         Dialog()->BeginScanRun();
         ViewSession::View()->SetFocus();
         wxUIActionSimulator().Char('q');
         ViewSession::PostCommand(ID_ORBIT_VIEW);
         wxGetApp().MainFrame()->Close();
       },
       [&] { return !session.m_ui.m_messages.empty(); }, 10, 0.5},
      {"Esc in the dialog", [&] {
         keysLocked = keys.m_count;
         wxMenuBar* bar = ViewSession::ShownMenuBar();
         menuEnabledLocked = bar && bar->IsEnabledTop(0);
         refusal = session.m_ui.m_messages.back().text;
         stillShown = wxGetApp().MainFrame()->IsShown();
         Dialog()->Raise();
         Dialog()->List()->SetFocus();
         wxUIActionSimulator().Char(WXK_ESCAPE);
       },
       [] { return Dialog()->m_bAbort == 1; }, 10, 0.3},
      {"screenshot locked", [&] {
         status = Dialog()->GetItemText(kIdScanStatus);
         ViewSession::SaveScreenshot(Dialog(), "scan_dialog_locked");
         Dialog()->EndScanRun();
       },
       [&] {
         wxMenuBar* bar = ViewSession::ShownMenuBar();
         menuEnabledAfter = bar && bar->IsEnabledTop(0);
         return menuEnabledAfter;
       }},
      {"close", [] { ViewSession::ClickButtonOf(Dialog(), wxID_CANCEL); },
       [] { return ViewSession::View()->m_pNeocpScanDlg == nullptr; }},
  };
  ASSERT_TRUE(session.Run({}, std::move(steps)));
  wxEvtHandler::RemoveFilter(&keys);
  EXPECT_EQ(session.FailedSteps(), "");

  ASSERT_EQ(static_cast<int>(ascending.size()), rows);
  EXPECT_EQ(ascending.front(), 13.3) << "the smallest H of the real list first";
  EXPECT_TRUE(std::is_sorted(ascending.begin(), ascending.end()));
  EXPECT_TRUE(std::is_sorted(descending.rbegin(), descending.rend()));
  EXPECT_EQ(clipped, "") << "cells cut off by their column";
  // Growing widens the list and the log, lengthens only the list, moves the
  // log down and the refetch and close buttons right.
  const int dx = list1.width - list0.width, dy = list1.height - list0.height;
  EXPECT_GE(dx, 100);
  EXPECT_GE(dy, 70);
  EXPECT_EQ(log1.width - log0.width, dx);
  EXPECT_EQ(log1.height, log0.height);
  EXPECT_EQ(log1.y - log0.y, dy);
  EXPECT_EQ(close1.GetPosition(), close0.GetPosition() + wxPoint(dx, dy));
  EXPECT_EQ(refetch1.GetPosition(), refetch0.GetPosition() + wxPoint(dx, 0));
  EXPECT_GE(smallest.x, initial.x) << "no smaller than the first size";
  EXPECT_GE(smallest.y, initial.y);
  // Locked: refused, menus off, the key and the command dropped.
  EXPECT_EQ(refusal, kMsgScanRefusesClose);
  EXPECT_TRUE(stillShown);
  EXPECT_FALSE(menuEnabledLocked);
  EXPECT_TRUE(menuEnabledAfter);
  EXPECT_GT(keysBefore, 0);
  EXPECT_EQ(keysLocked, keysBefore);
  EXPECT_EQ(OpenWindows().m_pOrbitViewDlg, nullptr);
  EXPECT_EQ(status, kScanStatusAborting);
}

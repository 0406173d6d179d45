// The NEOCP scan dialog following the MPC's lists in the running program
// (under xvfb-run), its host set to a server on 127.0.0.1 through the setting
// MPCWEBHOST: the opening refresh takes the real list, the refetch button a
// later one from which six objects left (grey rows, their fates in "補足"); a
// slow server leaves the window working with its commands disabled; Esc, the
// close box and the 中止 button each stop a dripping or silent one within a
// second, the table and its files as they were; the purge button takes the
// finished rows out into neocp_scan_purged.csv.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>

#include <gtk/gtk.h>
#include <wx/listctrl.h>
#include <wx/uiaction.h>

#include "app/tessarune_wx_app.h"
#include "data/neocp_list.h"
#include "determination/ui/determination_view.h"
#include "neocp/scan_csv.h"
#include "neocp/ui/neocp_scan_wnd.h"
#include "neocp/ui/scan_list_ctrl.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "resources/app_resource_ids.h"
#include "tests/common/test_data.h"
#include "tests/data/test_http_server.h"
#include "tests/determination_ui/view_session.h"

namespace {

constexpr int kNoteColumn = 18;  // "補足"

CNeocpScanWnd* Dialog()
{
  CDeterminationView* view = ViewSession::View();
  return view ? dynamic_cast<CNeocpScanWnd*>(view->m_pNeocpScanDlg) : nullptr;
}

std::string Status()
{
  return Dialog()->GetItemText(kIdScanStatus);
}

bool StatusStartsWith(const std::string& lead)
{
  return Dialog() && Status().compare(0, lead.size(), lead) == 0;
}

bool WriteText(const std::string& path, const std::string& text)
{
  return WriteBytesFile(path, text);
}

// The real list without the objects of gone, in neocp.json's layout.
std::string ListWithout(const std::vector<std::string>& gone, std::vector<std::string>& desigs)
{
  std::string json;
  ReadWholeFile(TestDataPath("catalogues/neocp_json_derived_from_neosjl_neocp_txt.json"), json);
  NeocpEntry* entries = nullptr;
  const int n = ParseNeocpJson(json, &entries);
  std::string out = "[\n";
  desigs.clear();
  for (int i = 0; i < n; ++i) {
    const NeocpEntry& e = entries[i];
    desigs.push_back(e.m_szDesig);
    if (std::find(gone.begin(), gone.end(), e.m_szDesig) != gone.end())
      continue;
    out += FormatC("%s{\"Temp_Desig\": \"%s\", \"Score\": %g, \"NObs\": %g, \"Arc\": %g, \"H\": %g}\n",
                   out.size() > 2 ? "," : "", e.m_szDesig, e.m_dScore, e.m_dNObs, e.m_dArc, e.m_dH);
  }
  std::free(entries);
  return out + "]\n";
}

const NeocpScanRow* RowOf(const std::string& desig)
{
  for (int i = 0; i < Dialog()->m_nRows; ++i)
    if (Dialog()->m_pRows[i].desig == desig)
      return &Dialog()->m_pRows[i];
  return nullptr;
}

// The "補足" cell the list shows for a row.
std::string NoteCell(const std::string& desig)
{
  CNeocpScanWnd* dlg = Dialog();
  for (int k = 0; k < dlg->m_nRows; ++k)
    if (dlg->m_pRows[dlg->m_pOrder[k]].desig == desig)
      return dlg->List()->GetItemText(k, kNoteColumn).utf8_string();
  return "<none>";
}

// The window manager's close box: GTK's delete event on the dialog's window.
void PressCloseBox(wxWindow* window)
{
  GdkEvent* event = gdk_event_new(GDK_DELETE);
  event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(static_cast<GtkWidget*>(window->GetHandle()))));
  event->any.send_event = TRUE;
  gtk_main_do_event(event);
  gdk_event_free(event);
}

// What a stopped fetch must leave as it was: the rows, the state file and the CSV.
std::string TableAndFiles()
{
  std::string state, csv;
  ReadWholeFile(Dialog()->m_strScanDir + "/" + kScanStateName, state);
  ReadWholeFile(Dialog()->m_strScanDir + "/" + kScanCsvName, csv);
  std::string rows;
  for (int i = 0; i < Dialog()->m_nRows; ++i)
    rows += Dialog()->m_pRows[i].desig + "/" + std::to_string(Dialog()->m_pRows[i].list_state) + " ";
  return rows + "\n" + state + "\n" + csv;
}

struct StoppedFetch {
  bool abortEnabled = false;
  bool stopped = false;
  bool dialogKept = false;
  bool tableKept = false;
  std::chrono::steady_clock::duration took{};
};

// A refetch from the server at hostPath, stopped by stop() once it waits.
std::vector<ViewStep> StopFetchSteps(const std::string& name, const std::string& hostPath,
                                     const std::function<void()>& stop, const std::string& kept,
                                     StoppedFetch& out)
{
  auto asked = std::make_shared<std::chrono::steady_clock::time_point>();
  return {
      {name + ": refetch", [hostPath] {
         TheApp().WriteProfileString(kSettingsSection, "MPCWEBHOST", hostPath.c_str());
         ViewSession::ClickButtonOf(Dialog(), kIdScanRefetch);
       },
       [] { return Dialog()->m_bFetching != 0; }, 30, 0.5},
      {name + ": stop", [&out, stop, asked] {
         out.abortEnabled = Dialog()->IsItemEnabled(kIdScanAbort);
         stop();
         *asked = std::chrono::steady_clock::now();
       },
       nullptr},
      {name + ": stopped", nullptr, [&out, &kept, asked] {
         if (!Dialog() || Dialog()->m_bFetching || !StatusStartsWith("NEOCPの一覧の受信を中止しました"))
           return false;
         out.took = std::chrono::steady_clock::now() - *asked;
         out.stopped = true;
         out.dialogKept = Dialog()->IsShown();
         out.tableKept = TableAndFiles() == kept;
         return true;
       }},
  };
}

} // namespace

TEST(ScanRefreshWindow, RefreshesFromTheHostSettingResolvesFatesAndPurges)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(listFile, "catalogues/neocp_json_derived_from_neosjl_neocp_txt.json");
  ViewSession session("scan_refresh_window");
  const std::string served = MakeTempDir("scan_refresh_served");
  LocalHttpServer server(served);
  ASSERT_TRUE(server.Running());
  std::vector<std::string> d;
  const std::string realList = ListWithout({}, d);
  ASSERT_EQ(d.size(), 63u);
  ASSERT_TRUE(WriteText(served + "neocp.json", realList));
  ASSERT_TRUE(WriteText(served + "pccp.txt", "PCC1 88 2025 12 16.4 7.1 +30.2 20.5 x 6 0.8 18.5 0.2\r\n"));

  int rowsFirst = 0, rowsSecond = 0, rowsPurged = 0;
  bool refetchOffWhileFetching = true, purgeOffWhileFetching = true;
  std::string statusSlow, purgeStatus, archive, kept;
  StoppedFetch byEsc, byCloseBox, byAbort;
  std::map<std::string, std::string> notes;
  std::map<std::string, int> states;
  std::vector<ViewStep> steps = {
      {"view", nullptr, [] { return ViewSession::View() != nullptr; }},
      {"developer mode, the host setting", [&] {
         TheApp().m_bDeveloper = 1;
         TheApp().WriteProfileString(kSettingsSection, "MPCWEBHOST", server.Url("/files").c_str());
       },
       [] {
         wxMenuBar* bar = ViewSession::ShownMenuBar();
         return bar && bar->FindItem(ID_NEOCP_SCAN) != nullptr;
       }},
      ViewSession::OpenMenuStep(0, ID_NEOCP_SCAN),
      {"the command and its opening refresh", [] { ViewSession::ClickMenuItem(ID_NEOCP_SCAN); },
       [] { return StatusStartsWith("NEOCPの天体 64個"); }},
      {"a later list, the page of fates; refetch", [&] {
         rowsFirst = Dialog()->m_nRows;
         WriteText(served + "neocp.json", ListWithout({d[1], d[2], d[3], d[4], d[5], d[6]}, d));
         WriteText(served + "pccp.txt", "PCC1 88 2025 12 16.4 7.1 +30.2 20.5 x 6 0.8 18.5 0.2\r\n" + d[5] + " 60\r\n");
         WriteText(served + "ToConfirm_PrevDes.html",
                   "<html><body><ul>\n<li>2025 XA12 = " + d[1] + " (Dec. 17.23 UT) [see MPEC 2025-X123]\n" +
                       "<li>Comet C/2025 X1 (Lemmon) = " + d[2] + " (Dec. 17.3 UT)\n<li>" + d[3] +
                       " was not confirmed (Dec. 17.4 UT)\n<li>" + d[8] + " = " + d[4] + " (Dec. 17.5 UT)\n" +
                       "</ul></body></html>\n");
         ViewSession::ClickButtonOf(Dialog(), kIdScanRefetch);
       },
       [] { return StatusStartsWith("NEOCPの天体 58個"); }},
      {"screenshot after the second refresh", [&] {
         rowsSecond = Dialog()->m_nRows;
         for (int i = 1; i <= 6; ++i) {
           notes[d[static_cast<size_t>(i)]] = NoteCell(d[static_cast<size_t>(i)]);
           states[d[static_cast<size_t>(i)]] = RowOf(d[static_cast<size_t>(i)])->list_state;
         }
         // The last rows in view, and room for "補足" as a user makes it
         // by narrowing the columns no scan has filled yet.
         Dialog()->List()->EnsureVisible(Dialog()->m_nRows - 1);
         for (int column : {2, 4, 7, 8, 9, 10, 11, 12, 13, 14, 17})
           Dialog()->List()->SetColumnWidth(column, 24);
       },
       nullptr, 30, 0.5},
      {"slow server", [&] {
         ViewSession::SaveScreenshot(Dialog(), "scan_refresh_second");
         TheApp().WriteProfileString(kSettingsSection, "MPCWEBHOST", server.Url("/slow?ms=1500&path=").c_str());
         ViewSession::ClickButtonOf(Dialog(), kIdScanRefetch);
       },
       // Seen from a step of the running loop: the window works while the server waits.
       [&] {
         if (!Dialog()->m_bFetching)
           return false;
         refetchOffWhileFetching = !Dialog()->IsItemEnabled(kIdScanRefetch);
         purgeOffWhileFetching = !Dialog()->IsItemEnabled(kIdScanPurge);
         return true;
       }},
      {"slow answer read", nullptr, [&] {
         if (!StatusStartsWith("NEOCPの一覧が空でした"))
           return false;
         statusSlow = Status();
         kept = TableAndFiles();
         return true;
       }},
  };
  // The lists dripping a byte every 500 ms after their first 100 bytes, or no answer at all.
  const std::string drip = server.Url("/deliver?cut=100&then=drip&ms=500&file=");
  const std::string silent = server.Url("/slow?ms=20000&path=");
  for (ViewStep& step : StopFetchSteps("Esc", drip, [] {
         Dialog()->Raise();
         Dialog()->List()->SetFocus();
         wxUIActionSimulator().Char(WXK_ESCAPE);
       }, kept, byEsc))
    steps.push_back(std::move(step));
  for (ViewStep& step : StopFetchSteps("close box", silent, [] { PressCloseBox(Dialog()); }, kept, byCloseBox))
    steps.push_back(std::move(step));
  for (ViewStep& step : StopFetchSteps("中止", silent, [] {
         ViewSession::SaveScreenshot(Dialog(), "scan_refresh_fetching");
         ViewSession::ClickButtonOf(Dialog(), kIdScanAbort);
       }, kept, byAbort))
    steps.push_back(std::move(step));
  std::vector<ViewStep> tail = {
      {"purge", [&] {
         ViewSession::ClickButtonOf(Dialog(), kIdScanPurge);
       },
       [&] { return Dialog()->m_nRows < rowsSecond; }},
      {"screenshot after the purge", [&] {
         rowsPurged = Dialog()->m_nRows;
         purgeStatus = Status();
         ReadWholeFile(Dialog()->m_strScanDir + "/neocp_scan_purged.csv", archive);
         Dialog()->List()->EnsureVisible(Dialog()->m_nRows - 1);
       },
       nullptr, 30, 0.5},
      {"close", [] {
         ViewSession::SaveScreenshot(Dialog(), "scan_refresh_purged");
         ViewSession::ClickButtonOf(Dialog(), wxID_CANCEL);
       },
       [] { return ViewSession::View()->m_pNeocpScanDlg == nullptr; }},
  };
  for (ViewStep& step : tail)
    steps.push_back(std::move(step));
  ASSERT_TRUE(session.Run({}, std::move(steps)));
  EXPECT_EQ(session.FailedSteps(), "");

  EXPECT_EQ(rowsFirst, 64);
  EXPECT_EQ(rowsSecond, 64);
  EXPECT_EQ(notes[d[1]], "2025 XA12 (12月17.23日、MPEC 2025-X123)");
  EXPECT_EQ(notes[d[2]], "C/2025 X1 (Lemmon) (12月17.3日)");
  EXPECT_EQ(notes[d[3]].compare(0, 39, "追跡観測で確認されなかった"), 0) << notes[d[3]];
  EXPECT_EQ(notes[d[4]].compare(0, d[8].size(), d[8]), 0) << notes[d[4]];
  EXPECT_EQ(notes[d[5]], "彗星の疑いでPCCPへ移った");
  EXPECT_EQ(notes[d[6]], "NEOCPから外れた(行き先はまだ公表されていない)");
  EXPECT_EQ(states[d[1]], kListProvisional);
  EXPECT_EQ(states[d[4]], kListMerged);
  EXPECT_TRUE(refetchOffWhileFetching);
  EXPECT_TRUE(purgeOffWhileFetching);
  EXPECT_EQ(statusSlow, "NEOCPの一覧が空でした(MPCの一時的な不調かもしれません)。前回までの表をそのまま出しています");
  for (const auto& [how, stop] : {std::pair{"Esc", &byEsc}, {"close box", &byCloseBox}, {"中止", &byAbort}}) {
    SCOPED_TRACE(how);
    EXPECT_TRUE(stop->abortEnabled);
    EXPECT_TRUE(stop->stopped);
    EXPECT_TRUE(stop->dialogKept);
    EXPECT_TRUE(stop->tableKept);
    EXPECT_LT(stop->took, std::chrono::seconds(1));
  }
  EXPECT_EQ(rowsPurged, 60);
  EXPECT_EQ(purgeStatus, "4個を表から外しました。外した天体の結果は neocp_scan_purged.csv に残してあります");
  EXPECT_NE(archive.find("," + d[1] + ","), std::string::npos) << archive.substr(0, 300);
}

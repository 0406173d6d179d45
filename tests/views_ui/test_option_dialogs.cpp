// The options sheet and the observer-location dialog in the running program
// (under xvfb-run): opened by their menu commands, driven by simulated mouse
// and keys, downloads against a server on 127.0.0.1, screenshots of each page
// and of the map.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <wx/bookctrl.h>
#include <wx/dirdlg.h>
#include <wx/eventfilter.h>
#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "app/location_dlg.h"
#include "app/registry/window_registry.h"
#include "data/ui/info_help.h"
#include "astro/jpl_eph.h"
#include "data/ui/get_jpl_eph_dlg.h"
#include "engine/determination_host.h"
#include "engine/orbit_engine.h"
#include "app/option_sheet.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_resource_ids.h"
#include "resources/option_strings.h"
#include "tests/common/test_data.h"
#include "tests/data/test_http_server.h"
#include "tests/determination_ui/view_session.h"
#include "tests/views_ui/x_wheel.h"

namespace {

template <class T>
T* Shown()
{
  for (wxWindow* w : wxTopLevelWindows)
    if (auto* d = dynamic_cast<T*>(w); d && d->IsShown())
      return d;
  return nullptr;
}

bool NoDisplay()
{
  const char* display = std::getenv("DISPLAY");
  return !display || !*display;
}

void MoveTo(const wxPoint& screen)
{
  wxUIActionSimulator sim;
  sim.MouseMove(screen);
}

void ClickAt(const wxPoint& screen)
{
  wxUIActionSimulator sim;
  sim.MouseMove(screen);
  sim.MouseClick();
}

// Clicks the tab of the sheet's page.
void ClickTab(int page)
{
  ViewSession::ClickBookTab(Shown<COption>()->GetBookCtrl(), page);
}

int Page()
{
  return Shown<COption>()->GetBookCtrl()->GetSelection();
}

wxWindow* Control(int id)
{
  return Shown<COption>()->FindWindow(id);
}

std::string Text(wxWindow* top, int id)
{
  auto* edit = dynamic_cast<wxTextCtrl*>(top->FindWindow(id));
  return edit ? FromWx(edit->GetValue()) : std::string();
}

void Fill(wxWindow* top, int id, const std::string& text)
{
  // Selected and typed over, as a user replaces a field.
  auto* edit = dynamic_cast<wxTextCtrl*>(top->FindWindow(id));
  edit->SetFocus();
  edit->SelectAll();
  wxUIActionSimulator sim;
  sim.Text(text.c_str());
}

// The native folder chooser of GTK is no member of the top-level window
// list: its show events tell when it is open.
class FolderDialogWatch : public wxEventFilter {
public:
  FolderDialogWatch() { wxEvtHandler::AddFilter(this); }
  ~FolderDialogWatch() override { wxEvtHandler::RemoveFilter(this); }
  int FilterEvent(wxEvent& event) override
  {
    if (event.GetEventType() == wxEVT_SHOW)
      if (auto* d = dynamic_cast<wxDirDialog*>(event.GetEventObject()))
        m_shown = static_cast<wxShowEvent&>(event).IsShown() ? d : nullptr;
    return Event_Skip;
  }
  wxDirDialog* m_shown = nullptr;
};

bool Recorded(const ViewSession& s, const std::string& text)
{
  for (const auto& m : s.m_ui.m_messages)
    if (m.text == text)
      return true;
  return false;
}

} // namespace

TEST(OptionSheetDisplay, MenuOpensEachPageDownloadsLockTheSheetAndOkWrites)
{
  if (NoDisplay())
    GTEST_SKIP() << "no display: run under xvfb-run";
  ViewSession session("options_display");
  LocalHttpServer server(session.m_dir);
  ASSERT_TRUE(server.Running());
  session.m_ui.m_bRealEvents = true;
  const std::string mpcorb = session.m_dir + "MPCORB.DAT";
  // 4 MB in 64 KiB pieces 40 ms apart: a few seconds, long enough to press 中止.
  const std::string slowUrl = server.Url("/trickle?size=4194304&chunk=65536&ms=40");

  const std::string obsCodes = TestDataPath("obscodes/ObsCodes.html");
  if (obsCodes.empty() || !FileExists(obsCodes))
    GTEST_SKIP() << MissingDataMessage("obscodes/ObsCodes.html");
  CopyWholeFile(obsCodes, session.m_dir + "ObsCodes.html");
  const std::string codesUrl = server.Url("/files/ObsCodes.html");
  std::string stationReport;
  size_t messagesBefore = 0;
  const std::string obsFolder = session.m_dir + "bin/obs/";
  std::unique_ptr<FolderDialogWatch> watch;
  std::string chosenFolder;
  const std::string html = session.m_dir + "page.html";
  WriteFileAtomic(html, "<html><body>Not Found</body></html>");
  const std::string newIni = session.m_dir + "docs/Tessarune/Tessarune.INI";
  std::vector<std::string> topics;
  bool refusedWhileBusy = false, downloadDialogShown = false;
  std::string iniLineAfter;
  bool ephButtonHidden = false, lockedWhileBusy = false, tabStayed = false, unlockedAfter = false;
  int progressSeen = 0;
  std::string statusBusy, statusAfter, locStatus;
  bool migrateEnabled = false;
  std::vector<ViewStep> steps = {
      {"view", nullptr, [] { return ViewSession::View() != nullptr; }},
      {"command 148 while a calculation runs", [] {
         OpenWindows().m_pDetermination->m_pEngine->m_bBusy = 1;
         ViewSession::PostCommand(ID_OPTIONS);
       },
       [&] { return Recorded(session, kMsgOtherCalculationRunning); }, 30, 0.5},
      {"calculation ends", [&] {
         refusedWhileBusy = Shown<COption>() == nullptr;
         OpenWindows().m_pDetermination->m_pEngine->m_bBusy = 0;
       },
       nullptr},
      {"command 148", [] { ViewSession::PostCommand(ID_OPTIONS); }, [] { return Shown<COption>() != nullptr; }, 30,
       0.8},
      {"observation folder", [&] { Fill(Shown<COption>(), 1090, obsFolder); },
       [&] { return Text(Shown<COption>(), 1090) == obsFolder; }},
      {"参照", [&] {
         watch = std::make_unique<FolderDialogWatch>();
         ViewSession::ClickButtonOf(Shown<COption>(), 1088);
       },
       [&] { return watch->m_shown != nullptr; }, 30, 1.5},
      {"choose the folder shown", [] {
         wxUIActionSimulator sim;
         sim.Char(WXK_RETURN);
       },
       [&] { return watch->m_shown == nullptr; }, 30, 0.5},
      {"basic page", [&] {
         watch.reset();
         chosenFolder = Text(Shown<COption>(), 1090);
         ViewSession::SaveScreenshot(Shown<COption>(), "options_basic");
       },
       nullptr},
      {"tab 惑星暦", [] { ClickTab(1); }, [] { return Page() == 1; }, 30, 0.6},
      {"planetary page", [&] {
         ephButtonHidden = Control(1501) && !Control(1501)->IsShown();
         ViewSession::SaveScreenshot(Shown<COption>(), "options_planetary");
       },
       nullptr},
      // The information mark opens its topic beside the modal sheet.
      {"mark 1412", [] { ViewSession::ClickButtonOf(Shown<COption>(), 1412); },
       [] { return g_pInfoHelp && g_pInfoHelp->IsShownOnScreen(); }, 30, 0.5},
      {"planetary topic", [&] {
         topics.push_back(g_pInfoHelp->m_strTitle);
         ViewSession::SaveScreenshot(g_pInfoHelp, "options_planetary_topic");
         ViewSession::ClickButtonOf(g_pInfoHelp, wxID_OK);
       },
       [] { return g_pInfoHelp == nullptr; }},
      {"受信(&1)...", [] { ViewSession::ClickButtonOf(Shown<COption>(), 1279); },
       [] { return Shown<CGetJplEph>() != nullptr; }, 30, 0.5},
      {"close the download dialog", [&] {
         downloadDialogShown = true;
         ViewSession::ClickButtonOf(Shown<CGetJplEph>(), wxID_OK);
       },
       [] { return Shown<CGetJplEph>() == nullptr; }},
      {"planetary file", [&] { Fill(Shown<COption>(), 1089, html); },
       [&] { return Text(Shown<COption>(), 1089) == html; }},
      {"tab MPC", [] { ClickTab(2); }, [] { return Page() == 2; }, 30, 0.6},
      {"station URL", [&] { Fill(Shown<COption>(), 1212, codesUrl); },
       [&] { return Text(Shown<COption>(), 1212) == codesUrl; }},
      {"受信(&2)", [&] {
         messagesBefore = session.m_ui.m_messages.size();
         ViewSession::ClickButtonOf(Shown<COption>(), 1280);
       },
       [&] { return session.m_ui.m_messages.size() > messagesBefore; }},
      {"station report", [&] { stationReport = session.m_ui.m_messages.back().text; }, nullptr},
      {"catalogue fields", [&] {
         Fill(Shown<COption>(), 1281, mpcorb);
       },
       [&] { return Text(Shown<COption>(), 1281) == mpcorb; }},
      {"catalogue URL", [&] { Fill(Shown<COption>(), 1283, slowUrl); },
       [&] { return Text(Shown<COption>(), 1283) == slowUrl; }},
      {"受信(&3)", [&] {
         session.m_ui.m_scriptedAnswers = {MsgAnswer::Ok};
         ViewSession::ClickButtonOf(Shown<COption>(), 1284);
       },
       [] { return dynamic_cast<wxGauge*>(Control(1287))->GetValue() >= 10; }},
      {"busy", [&] {
         progressSeen = dynamic_cast<wxGauge*>(Control(1287))->GetValue();
         statusBusy = FromWx(dynamic_cast<wxStaticText*>(Control(1288))->GetLabel());
         lockedWhileBusy = !Control(wxID_OK)->IsEnabled() && !Control(wxID_CANCEL)->IsEnabled() &&
                           !Control(1280)->IsEnabled() && !Control(1282)->IsEnabled() &&
                           !Control(1495)->IsEnabled() && Control(1289)->IsEnabled();
         ViewSession::SaveScreenshot(Shown<COption>(), "options_mpc_downloading");
         ClickTab(3);
       },
       nullptr, 30, 0.5},
      {"中止(&T)", [&] {
         tabStayed = Page() == 2;
         ViewSession::ClickButtonOf(Shown<COption>(), 1289);
       },
       [] { return Control(wxID_OK)->IsEnabled(); }},
      {"after abort", [&] {
         statusAfter = FromWx(dynamic_cast<wxStaticText*>(Control(1288))->GetLabel());
         unlockedAfter = Control(1284)->IsEnabled() && !Control(1289)->IsEnabled() &&
                         dynamic_cast<wxGauge*>(Control(1287))->GetValue() == 0;
       },
       nullptr},
      {"comet URL", [&] { Fill(Shown<COption>(), 1285, server.Url("/status/404")); },
       [&] { return Text(Shown<COption>(), 1285) == server.Url("/status/404"); }},
      {"受信(&4)", [] { ViewSession::ClickButtonOf(Shown<COption>(), 1286); },
       [&] { return Recorded(session, OptionText::kCometFailed); }},
      {"MPC page", [] { ViewSession::SaveScreenshot(Shown<COption>(), "options_mpc"); }, nullptr, 30, 0.3},
      {"tab データの場所", [] { ClickTab(3); }, [] { return Page() == 3; }, 30, 0.6},
      {"locations page", [&] {
         locStatus = FromWx(dynamic_cast<wxStaticText*>(Control(1392))->GetLabel());
         migrateEnabled = Control(1391)->IsEnabled();
         ViewSession::SaveScreenshot(Shown<COption>(), "options_locations");
       },
       nullptr},
      {"mark 1410", [] { ViewSession::ClickButtonOf(Shown<COption>(), 1410); },
       [] { return g_pInfoHelp && g_pInfoHelp->IsShownOnScreen(); }, 30, 0.5},
      {"locations topic", [&] {
         topics.push_back(g_pInfoHelp->m_strTitle);
         ViewSession::SaveScreenshot(g_pInfoHelp, "options_locations_topic");
         ViewSession::ClickButtonOf(g_pInfoHelp, wxID_OK);
       },
       [] { return g_pInfoHelp == nullptr; }},
      {"移行する(&M)...", [&] {
         session.m_ui.m_scriptedAnswers = {MsgAnswer::Ok, MsgAnswer::Ok};
         ViewSession::ClickButtonOf(Shown<COption>(), 1391);
       },
       [&] { return FileExists(newIni) && !session.m_ui.m_messages.empty() &&
                    session.m_ui.m_messages.back().caption == OptionText::kMigrateCaption &&
                    session.m_ui.m_messages.back().icon == MsgIcon::Information; }},
      {"after the migration", [&] {
         iniLineAfter = TheApp().m_profile.Path();
         ViewSession::SaveScreenshot(Shown<COption>(), "options_locations_migrated");
       },
       nullptr, 30, 0.3},
      {"OK", [] { ViewSession::ClickButtonOf(Shown<COption>(), wxID_OK); },
       [] { return Shown<COption>() == nullptr; }},
  };
  ASSERT_TRUE(session.Run({}, std::move(steps)));
  EXPECT_EQ(session.FailedSteps(), "");
  EXPECT_TRUE(refusedWhileBusy);
  EXPECT_EQ(chosenFolder, session.m_dir + "bin/obs");
  EXPECT_TRUE(downloadDialogShown);
  EXPECT_EQ(topics, (std::vector<std::string>{"なぜ惑星暦という巨大なデータが要るのか", "なぜ2か所に分けるのか"}));
  EXPECT_TRUE(ephButtonHidden);
  EXPECT_GE(progressSeen, 10);
  EXPECT_EQ(statusBusy.rfind("MPCORB.DAT を受信中", 0), 0u) << statusBusy;
  EXPECT_TRUE(lockedWhileBusy);
  EXPECT_TRUE(tabStayed);
  EXPECT_TRUE(Recorded(session, "中止しました。"));
  EXPECT_EQ(statusAfter, "");
  EXPECT_TRUE(unlockedAfter);
  EXPECT_FALSE(FileExists(mpcorb));
  EXPECT_FALSE(FileExists(mpcorb + ".part"));
  EXPECT_EQ(locStatus, "移行先: " + session.m_dir + "docs/Tessarune/");
  EXPECT_TRUE(migrateEnabled);
  // The migration moved the old settings aside and made the copy the one in use.
  EXPECT_EQ(iniLineAfter, newIni);
  EXPECT_TRUE(FileExists(session.m_dir + "bin/Tessarune.INI.bak"));
  EXPECT_EQ(session.Setting("SIGNATURE"), "<none>");
  // The downloads wrote their keys before it; OK wrote the visited pages' keys into the new file.
  const IniFile ini(newIni);
  auto key = [&ini](const char* k) { return ini.GetString(kSettingsSection, k, "<none>"); };
  EXPECT_EQ(key("WHOIS_MPCORB"), mpcorb);
  EXPECT_EQ(key("WHOIS_MPCORBURL"), slowUrl);
  EXPECT_EQ(key("COMETELSURL"), server.Url("/status/404"));
  EXPECT_EQ(key("OBSCODESURL"), codesUrl);
  // The station list the session made from the same page gains nothing.
  EXPECT_EQ(stationReport.rfind("観測所コードファイルを更新しました。\r\n\r\n追加: 0件   上書き: 0件", 0), 0u)
      << stationReport;
  EXPECT_EQ(key("SIGNATURE"), "");
  EXPECT_EQ(key("OBSFOLDER"), session.m_dir + "bin/obs");
  EXPECT_EQ(key("CO2R0"), "10.8");
  EXPECT_EQ(key("DATADIR"), "");
  EXPECT_EQ(key("EPHDIR"), session.m_dir + "bin/");
  // The new planetary path is no planetary file: the reader has none and says so.
  EXPECT_EQ(key("DE406FILE"), html);
  EXPECT_TRUE(Recorded(session, OptionText::kEphReadFailed));
  EXPECT_EQ(g_dJplEnd, 0);
}

namespace {

CLocationDlg* Location()
{
  return Shown<CLocationDlg>();
}

// The screen point of a place on the map as the dialog shows it now.
wxPoint ScreenOf(double lon, double lat)
{
  CLocationDlg* dlg = Location();
  const MapPoint p = ToMap(dlg->Area(), dlg->View(), lon, lat);
  return dlg->MapWindow()->ClientToScreen(wxPoint(static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y))));
}

} // namespace

TEST(LocationDisplay, ClickZoomAndDragTheMapThenOkStoresTheNormalisedPlace)
{
  if (NoDisplay())
    GTEST_SKIP() << "no display: run under xvfb-run";
  ViewSession session("location_display");
  const std::string texture = "/usr/share/xplanet/images/earth.jpg";
  std::string clickedLon, clickedTz;
  MapView zoomed, dragged;
  GeoPoint underCursor{0, 0};
  bool textured = FileExists(texture);
  std::vector<ViewStep> steps = {
      {"view", nullptr, [] { return ViewSession::View() != nullptr; }},
      {"command 32805", [] { ViewSession::PostCommand(ID_LOCATION); }, [] { return Location() != nullptr; }, 30, 0.8},
      {"plain map", [] { ViewSession::SaveScreenshot(Location(), "location_zoom1_plain"); }, nullptr},
      {"click 7.5° E", [] { ClickAt(ScreenOf(7.5, 10)); },
       [] { return Text(Location(), CLocationDlg::IDC_TZ) == "1.0"; }},
      {"click 7.5° W", [&] {
         clickedLon = Text(Location(), CLocationDlg::IDC_LON);
         ClickAt(ScreenOf(-7.5, 10));
       },
       [] { return Text(Location(), CLocationDlg::IDC_LON) == "-7.50"; }},
      {"cancel", [&] {
         clickedTz = Text(Location(), CLocationDlg::IDC_TZ);
         ViewSession::ClickButtonOf(Location(), wxID_CANCEL);
         if (textured)
           CopyWholeFile(texture, session.m_dir + "bin/earth_texture.jpg");
       },
       [] { return Location() == nullptr; }},
      {"command 32805 again", [] { ViewSession::PostCommand(ID_LOCATION); }, [] { return Location() != nullptr; },
       30, 0.8},
      {"textured map", [] { ViewSession::SaveScreenshot(Location(), "location_zoom1_texture"); }, nullptr},
      {"pointer over Japan", [] { MoveTo(ScreenOf(135, 35)); }, nullptr, 30, 0.3},
      {"wheel", [] { TurnWheel(true); }, [] { return Location()->View().zoom == 2; }},
      {"wheel again", [] { TurnWheel(true); }, [] { return Location()->View().zoom == 4; }, 30, 0.5},
      {"zoomed", [&] {
         zoomed = Location()->View();
         const wxPoint at = Location()->MapWindow()->ScreenToClient(wxGetMousePosition());
         underCursor = FromMap(Location()->Area(), zoomed, at.x, at.y);
         ViewSession::SaveScreenshot(Location(), "location_zoom4_texture");
       },
       nullptr},
      {"right button down", [] {
         wxUIActionSimulator sim;
         sim.MouseDown(wxMOUSE_BTN_RIGHT);
       },
       [] { return Location()->Dragging(); }},
      {"drag", [] {
         const wxPoint at = wxGetMousePosition();
         wxUIActionSimulator sim;
         for (int i = 1; i <= 10; ++i)
           sim.MouseMove(at.x - 10 * i, at.y);
       },
       // Until the last move has reached the map, not for a fixed time.
       [&] { return std::fabs(Location()->View().centreLon - zoomed.centreLon - 12.5) < 1e-9; }, 30, 0.5},
      {"right button up", [] {
         wxUIActionSimulator sim;
         sim.MouseUp(wxMOUSE_BTN_RIGHT);
       },
       [] { return !Location()->Dragging(); }},
      {"dragged", [&] {
         dragged = Location()->View();
         ViewSession::SaveScreenshot(Location(), "location_zoom4_dragged");
       },
       nullptr},
      {"type latitude", [] { Fill(Location(), CLocationDlg::IDC_LAT, "95"); },
       [] { return Text(Location(), CLocationDlg::IDC_LAT) == "95"; }},
      {"type longitude", [] { Fill(Location(), CLocationDlg::IDC_LON, "540"); },
       [] { return Text(Location(), CLocationDlg::IDC_LON) == "540"; }},
      {"type zone", [] { Fill(Location(), CLocationDlg::IDC_TZ, "15"); },
       [] { return Text(Location(), CLocationDlg::IDC_TZ) == "15"; }},
      {"OK", [] { ViewSession::ClickButtonOf(Location(), wxID_OK); }, [] { return Location() == nullptr; }},
  };
  ASSERT_TRUE(session.Run({}, std::move(steps)));
  EXPECT_EQ(session.FailedSteps(), "");
  EXPECT_EQ(clickedLon, "7.50");
  EXPECT_EQ(clickedTz, "0.0");
  // The wheel kept 135° E, 35° N under the pointer (within a pixel: 0.125° at zoom 4).
  EXPECT_EQ(zoomed.zoom, 4);
  EXPECT_NEAR(underCursor.lon, 135, 0.25);
  EXPECT_NEAR(underCursor.lat, 35, 0.25);
  // 100 pixels to the left at zoom 4: 100/720 of 90° further east.
  EXPECT_NEAR(dragged.centreLon - zoomed.centreLon, 12.5, 1e-9);
  EXPECT_EQ(dragged.centreLat, zoomed.centreLat);
  EXPECT_EQ(session.Setting("OBSLAT"), "90.0000");
  EXPECT_EQ(session.Setting("OBSLON"), "180.0000");
  EXPECT_EQ(session.Setting("OBSTZ"), "14.00");
}

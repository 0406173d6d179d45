// Following up a scanned object in the running program (under xvfb-run):
// the scan dialog, opened by its command, holds a scanned row of 2024 MK
// (a week of NEOCP-like observations, its solution files); a double-click
// loads its observations and orbit into the orbit-determination view, button
// 1531 shows the closest clone's path in the orbit diagram's geocentric scene
// with the range entry chosen for its distance, and a right-click opens the
// row's context menu.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include <wx/choice.h>
#include <wx/listctrl.h>
#include <wx/uiaction.h>

#include "app/registry/window_registry.h"
#include "app/tessarune_wx_app.h"
#include "determination/solution_file.h"
#include "determination/ui/determination_view.h"
#include "engine/ai_improvement.h"
#include "engine/orbit_engine.h"
#include "engine/tool_sinks.h"
#include "neocp/batch_orbit.h"
#include "neocp/scan_files.h"
#include "neocp/ui/neocp_scan_wnd.h"
#include "neocp/ui/scan_list_ctrl.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "resources/app_resource_ids.h"
#include "tests/common/test_data.h"
#include "tests/data/test_observation_support.h"
#include "tests/determination_ui/view_session.h"
#include "views/ui/orbit_view_wnd.h"

namespace {

constexpr int kRangeChoiceId = 1483;

CNeocpScanWnd* Dialog()
{
  CDeterminationView* view = ViewSession::View();
  return view ? dynamic_cast<CNeocpScanWnd*>(view->m_pNeocpScanDlg) : nullptr;
}

COrbitViewWnd* Diagram()
{
  return dynamic_cast<COrbitViewWnd*>(OpenWindows().m_pOrbitViewDlg);
}

// The lines of the first week that 2024 MK stood on the NEOCP.
std::string FirstWeek()
{
  std::string out;
  std::istringstream in(ReadTestFile(TestDataPath("obs/mpc80/neosjl_2024MK.txt")));
  std::string line;
  while (std::getline(in, line))
    if (line.size() >= 80 && line.compare(15, 10, "2024 06 16") >= 0 && line.compare(15, 10, "2024 06 22") <= 0)
      out += line + "\n";
  return out;
}

// The screen point of the middle of a row of the list (its second column).
wxPoint RowPoint(CScanListCtrl* list, int position)
{
  wxRect r;
  list->GetItemRect(position, r);
  return list->ClientToScreen(wxPoint(r.x + list->GetColumnWidth(0) + 20, r.y + r.height / 2));
}

} // namespace

TEST(ScanFollowUpWindow, DoubleClickGeocentricOrbitAndContextMenu)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(mk, "obs/mpc80/neosjl_2024MK.txt");
  ViewSession session("scan_follow_up_window");
  std::string folder, obsPath, best, closest, loadStatus, geoStatus, mkText;
  int rangeSelection = -1, selectedAfterMenu = -1;
  bool geocentric = false, mkInView = false;
  double solvedT = 0, loadedT = 0, radius = 0;
  int trackSegments = 0, trackPoints = 0, expectedLegs = 0;
  std::vector<ViewStep> steps = {
      {"view", nullptr, [] { return ViewSession::View() != nullptr; }},
      // The row as a scan leaves it: observations, the AI orbit in both solution files.
      {"a scanned row of 2024 MK", [&] {
         TheApp().m_bDeveloper = 1;
         const CTessaruneApp& app = TheApp();
         folder = ScanFolderFor(app.m_szObsFolder, app.m_szDataDir);
         CreateFolder(folder);
         obsPath = WriteTestFile(folder + "/", "K24M00K.obs", FirstWeek());
         best = folder + "/K24M00K_best_EX.IMP";
         closest = folder + "/K24M00K_closest_EX.IMP";
         CDeterminationView& view = *ViewSession::View();
         std::string message;
         ASSERT_EQ(LoadScanObject(view, obsPath, "", message), 1) << message;
         view.m_nBatchMode = 1;
         OnAiImprove(view);
         view.m_nBatchMode = 0;
         ASSERT_EQ(view.m_nAiResult, 0);
         solvedT = view.m_pEngine->m_state.m_el.m_dT;
         ASSERT_TRUE(WriteSolutionFileForBatch(view, best, view.m_pEngine->m_state, "", 0));
         ASSERT_TRUE(WriteSolutionFileForBatch(view, closest, view.m_pEngine->m_state, "", 1));
         NeocpScanRow row;
         ResetScanRow(row, 0);
         row.desig = "K24M00K";
         row.status = kScanComplete;
         row.list_nobs = row.nobs_at_scan = row.n_obs = row.n_used = view.m_pDetClass->m_nObsCount;
         row.rms = view.m_pEngine->m_dMeanResidual;
         row.obs_path = obsPath;
         row.best_path = best;
         row.closest_path = closest;
         row.nom_dist = 0.0020;
         row.clo_dist = 0.3;  // the 0.5 AU entry records it
         row.known_checked = 1;
         NeocpScanRow other = row;
         other.desig = "P21xyzw";
         other.obs_path = other.best_path = other.closest_path = "";
         other.known_name = "2015 TF202";
         other.known_desig = "K15TK2F";
         other.known_rms = 0.53;
         other.known_arc = 4.35;
         WriteUtf8BomFile(folder + "/neocp_scan_state.tsv", GetScanStateHeaderLine() + "\r\n" +
                                                                FormatScanStateLine(row) + "\r\n" +
                                                                FormatScanStateLine(other) + "\r\n");
         g_dGeoTrackRadius = 0.05;
       },
       [] {
         wxMenuBar* bar = ViewSession::ShownMenuBar();
         return bar && bar->FindItem(ID_NEOCP_SCAN) != nullptr;
       }},
      ViewSession::OpenMenuStep(0, ID_NEOCP_SCAN),
      {"the command", [] { ViewSession::ClickMenuItem(ID_NEOCP_SCAN); },
       [] { return Dialog() && Dialog()->IsShownOnScreen() && Dialog()->m_nRows == 2; }},
      {"settle", nullptr, nullptr, 30, 0.5},
      {"double-click the 2024 MK row", [] {
         ViewSession::View()->m_pDetClass->m_nObsCount = 0;  // shows that the load happened
         wxUIActionSimulator sim;
         sim.MouseMove(RowPoint(Dialog()->List(), Dialog()->FindListItem(0)));
         sim.MouseDblClick();
       },
       [&] {
         loadStatus = Dialog()->GetItemText(kIdScanStatus);
         return loadStatus == "K24M00K の観測と名目軌道を、軌道計算の画面に読み込みました";
       }},
      {"the view holds them", [&] {
         CDeterminationView& view = *ViewSession::View();
         const DetClass& det = *view.m_pDetClass;
         mkInView = view.m_szObsFile == obsPath && det.m_nObsCount > 40;
         loadedT = view.m_pEngine->m_state.m_el.m_dT;
         const double epoch = view.m_pEngine->m_state.m_el.m_dEpoch;
         expectedLegs = (epoch > det.m_pOrbObs[0].m_dJdTt - 30) + (epoch < det.m_pOrbObs[det.m_nObsCount - 1].m_dJdTt + 60);
         Dialog()->Hide();  // the view in full for its picture
       },
       nullptr, 30, 0.8},
      {"picture of the view", [] {
         ViewSession::SaveScreenshot(wxGetApp().MainFrame(), "scan_follow_up_loaded");
         Dialog()->Show();
         Dialog()->Raise();
       },
       [] { return Dialog()->IsShownOnScreen(); }, 30, 0.5},
      {"いちばん近づくクローンの地心軌道を表示(&C)", [] { ViewSession::ClickButtonOf(Dialog(), kIdScanShowClosest); },
       [&] {
         geoStatus = Dialog()->GetItemText(kIdScanStatus);
         return geoStatus.find("[地心]で開きました") != std::string::npos && Diagram() && Diagram()->IsShownOnScreen();
       },
       120},
      {"settle", nullptr, nullptr, 30, 1.0},
      {"the geocentric scene", [&] {
         geocentric = Diagram()->m_bGeocentric == 1;
         if (auto* range = dynamic_cast<wxChoice*>(Diagram()->FindWindow(kRangeChoiceId)))
           rangeSelection = range->GetSelection();
         radius = g_dGeoTrackRadius;
         const GeoTrackBuffer& track = GeoTrackBuffer::Instance();
         trackPoints = track.m_nCount;
         trackSegments = track.m_nCount ? track.m_pSegments[track.m_nCount - 1] - track.m_pSegments[0] + 1 : 0;
         ViewSession::SaveScreenshot(Diagram(), "scan_follow_up_geocentric");
         Dialog()->Raise();
       },
       nullptr, 30, 0.5},
      {"right-click the other row", [] {
         Dialog()->List()->SetItemState(0, 0, wxLIST_STATE_SELECTED);
         wxUIActionSimulator sim;
         sim.MouseMove(RowPoint(Dialog()->List(), Dialog()->FindListItem(1)));
         sim.MouseClick(wxMOUSE_BTN_RIGHT);
       },
       nullptr, 30, 0.8},
      {"menu", [&] {
         selectedAfterMenu = Dialog()->GetSelectedRow();
         ViewSession::SaveScreen("scan_follow_up_menu");
         wxUIActionSimulator().Char(WXK_ESCAPE);
       },
       nullptr, 30, 0.5},
      {"close", [] { ViewSession::ClickButtonOf(Dialog(), wxID_CANCEL); },
       [] { return ViewSession::View()->m_pNeocpScanDlg == nullptr; }},
  };
  ASSERT_TRUE(session.Run({}, std::move(steps)));
  EXPECT_EQ(session.FailedSteps(), "");
  EXPECT_TRUE(mkInView);
  EXPECT_EQ(loadedT, solvedT);
  EXPECT_EQ(geoStatus, "K24M00K のいちばん近づくクローンの軌道を軌道計算の画面に読み込み、軌道図を[地心]で開きました");
  EXPECT_TRUE(geocentric);
  EXPECT_EQ(rangeSelection, 3);  // 0.3 AU needs 0.45: the 0.5 AU entry
  EXPECT_EQ(radius, 0.5);
  EXPECT_GT(trackPoints, 0);
  EXPECT_EQ(trackSegments, expectedLegs);  // one segment per leg
  EXPECT_EQ(selectedAfterMenu, 1);
  EXPECT_TRUE(session.m_ui.m_messages.empty()) << session.m_ui.m_messages.front().text;
}

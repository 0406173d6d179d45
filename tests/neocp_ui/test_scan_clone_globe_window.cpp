// Button "地球儀にクローンを表示(&G)" of the NEOCP scan dialog in the running
// program (under xvfb-run): the dialog opened by the view's file menu on a
// state table of one scanned object with its clone-track file; the row is
// clicked, the button pressed, and the globe shows the nominal track, the
// clones that hit and miss, the orbit and the sub-solar point.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/uiaction.h>

#include "app/registry/window_registry.h"
#include "app/tessarune_wx_app.h"
#include "determination/ui/determination_view.h"
#include "neocp/scan_files.h"
#include "neocp/ui/neocp_scan_wnd.h"
#include "neocp/ui/scan_list_ctrl.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "resources/app_resource_ids.h"
#include "tests/determination_ui/view_session.h"
#include "tests/neocp/scan_fixtures.h"
#include "views/ui/globe_wnd.h"

namespace {

CNeocpScanWnd* Dialog()
{
  CDeterminationView* view = ViewSession::View();
  return view ? dynamic_cast<CNeocpScanWnd*>(view->m_pNeocpScanDlg) : nullptr;
}

CGlobeWnd* Globe()
{
  return dynamic_cast<CGlobeWnd*>(OpenWindows().m_pGlobeDlg);
}

// Tracks of an object that enters over north-east Africa: the nominal
// orbit, five hits around it and three clones that pass by.
std::string CloneTrackText()
{
  std::string text = "# NEOCPの一括走査: 8TA9D69\r\n# points\r\nkind\timpact\tplausible\tweight\tjd\tpoints\r\n";
  auto line = [&](const char* kind, int impact, int plausible, double dLat, double dLon, double endKm, int points) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "%s\t%d\t%d\t1\t%.6f\t", kind, impact, plausible, 2454746.615673);
    text += buf;
    for (int i = 0; i < points; ++i) {
      const int minutes = (i - points + 1) * 5 + (impact ? 0 : 15);
      const double f = static_cast<double>(points - 1 - i) / (points - 1);
      const double km = impact ? endKm + f * 30000 : endKm + std::abs(minutes) * 900.0;
      std::snprintf(buf, sizeof buf, "%s%d,%.5f,%.5f,%.1f", i ? ";" : "", minutes, 21.1 + dLat - 9 * f,
                    30.5 + dLon + 16 * f - (impact ? 0 : 6 * (1 - f)), km);
      text += buf;
    }
    text += "\r\n";
  };
  line("N", 1, 1, 0, 0, 6478.1, 8);
  for (int k = -2; k <= 2; ++k)
    if (k)
      line("C", 1, 1, 0.4 * k, -0.8 * k, 6478.1, 8);
  line("C", 1, 0, -1.2, 1.5, 6478.1, 8);
  for (int k = 1; k <= 3; ++k)
    line("C", 0, k != 3, -3.0 * k, 5.0 * k, 7000.0 + 3000 * k, 7);
  return text;
}

// One row scanned to the end, its clone-track file beside the state file.
void WriteStateTable(const std::string& folder)
{
  CreateFolder(folder);
  const std::string clones = folder + "/8TA9D69_clones.txt";
  WriteUtf8BomFile(clones, CloneTrackText());
  NeocpScanRow r;
  ResetScanRow(r, 0);
  r.desig = "8TA9D69";
  r.status = kScanComplete;
  r.list_state = kListOnNeocp;
  r.list_nobs = r.nobs_at_scan = r.n_obs = r.n_used = 883;
  r.arc_days = 0.72;
  r.rms = 0.9;
  SetTc3Orbit(r);
  r.nom_dist = 4.2e-5;
  r.nom_jd = r.clo_jd = 2454746.615673;
  r.n_clones = 200;
  r.n_valid = r.n_impact = 175;
  r.imp_prob = 1.0;
  r.clones_path = clones;
  WriteUtf8BomFile(folder + "/neocp_scan_state.tsv", GetScanStateHeaderLine() + "\r\n" + FormatScanStateLine(r) + "\r\n");
}

void ClickFirstRow(CScanListCtrl* list)
{
  wxRect item;
  list->GetItemRect(0, item);
  wxUIActionSimulator sim;
  sim.MouseMove(list->ClientToScreen(wxPoint(item.x + 40, item.y + item.height / 2)));
  sim.MouseClick();
}

} // namespace

TEST(ScanCloneGlobeWindow, ButtonShowsTheRowsCloneTracksOnTheGlobe)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  ViewSession session("scan_clone_globe_window");
  std::string status, caption, info;
  bool orbit = false, sun = false;
  double lon0 = 0;
  int kinds[3] = {0, 0, 0};
  std::vector<ViewStep> steps = {
      {"view", nullptr, [] { return ViewSession::View() != nullptr; }},
      {"developer mode and a state table", [] {
         TheApp().m_bDeveloper = 1;
         // The opening refresh asks a port where nobody listens: no network.
         TheApp().WriteProfileString(kSettingsSection, "MPCWEBHOST", "http://127.0.0.1:1");
         WriteStateTable(ScanFolderFor(TheApp().m_szObsFolder, TheApp().m_szDataDir));
       },
       [] {
         wxMenuBar* bar = ViewSession::ShownMenuBar();
         return bar && bar->FindItem(ID_NEOCP_SCAN) != nullptr;
       }},
      ViewSession::OpenMenuStep(0, ID_NEOCP_SCAN),
      {"the command", [] { ViewSession::ClickMenuItem(ID_NEOCP_SCAN); },
       [] { return Dialog() && Dialog()->IsShownOnScreen() && Dialog()->m_bStateLoaded && Dialog()->m_nRows == 1; }},
      {"the row", [] { ClickFirstRow(Dialog()->List()); }, [] { return Dialog()->GetSelectedRow() == 0; }, 30, 1.0},
      {"the button", [] { ViewSession::ClickButtonOf(Dialog(), kIdScanShowClones); },
       [] { return Globe() && Globe()->IsShownOnScreen() && Globe()->m_nCloneTrackCount == 9; }, 30, 1.0},
      {"screenshot", [&] {
         status = Dialog()->GetItemText(kIdScanStatus);
         const CGlobeWnd* g = Globe();
         caption = g->m_strCaption;
         info = g->m_strInfo;
         orbit = g->m_bOrbit;
         sun = g->m_bSubSolar && g->m_bApex;
         for (int i = 0; i < g->m_nCloneTrackCount; ++i)
           ++kinds[g->m_pCloneTracks[i].m_nKind];
         ViewSession::SaveScreenshot(Globe(), "scan_clone_globe");
       },
       nullptr, 10, 0.5},
      // Dragged to the right, the globe turns the tracks over north-east Africa into view.
      {"drag", [&] {
         lon0 = Globe()->m_dViewLon;
         wxUIActionSimulator sim;
         const wxPoint c = Globe()->Picture()->GetScreenPosition() + Globe()->Picture()->GetSize() / 2;
         sim.MouseMove(c);
         sim.MouseDown();
         for (int dx = 20; dx <= 200; dx += 20)
           sim.MouseMove(c + wxPoint(dx, 0));
         sim.MouseUp();
       },
       [&] { return Globe()->m_dViewLon != lon0 && !Globe()->Picture()->HasCapture(); }},
      {"screenshot turned", [] { ViewSession::SaveScreenshot(Globe(), "scan_clone_globe_turned"); }, nullptr, 10,
       0.5},
      {"close", [] {
         Globe()->Close();
         ViewSession::ClickButtonOf(Dialog(), wxID_CANCEL);
       },
       [] { return ViewSession::View()->m_pNeocpScanDlg == nullptr; }},
  };
  ASSERT_TRUE(session.Run({}, std::move(steps)));
  EXPECT_EQ(session.FailedSteps(), "");
  EXPECT_TRUE(session.m_ui.m_messages.empty());
  EXPECT_EQ(status, "8TA9D69: クローン175本のうち月の軌道の内側まで来た8本を地球儀に出しました(名目軌道は赤い丸)");
  EXPECT_EQ(caption, "8TA9D69");
  EXPECT_EQ(info, "地球衝突確率 100%  (175/175)   月の内側を通る 8本");
  EXPECT_TRUE(orbit);
  EXPECT_TRUE(sun);
  EXPECT_EQ(kinds[2], 1);
  EXPECT_EQ(kinds[1], 5);
  EXPECT_EQ(kinds[0], 3);
}

// The globe's window in the running program: opened by its toolbar command
// from the orbit-determination view, filled through the sink by a real
// propagation (Apophis through its 2029 approach), turned, zoomed with the
// wheel at the rim, driven by each button, copied with its button and with
// Ctrl+C, hidden by Esc; screenshots with the Debian texture, the object
// mid-path and clone tracks.
#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/panel.h>
#include <wx/uiaction.h>

#include "app/registry/window_registry.h"
#include "astro/impact_tracker.h"
#include "engine/determination_host.h"
#include "engine/move_epoch.h"
#include "engine/tool_sinks.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "resources/app_resource_ids.h"
#include "tests/common/test_data.h"
#include "tests/determination_ui/view_session.h"
#include "tests/engine/test_integration_support.h"
#include "tests/views_ui/clipboard_bitmap.h"
#include "tests/views_ui/x_wheel.h"
#include "views/ui/globe_wnd.h"

namespace {

CGlobeWnd* Window()
{
  return dynamic_cast<CGlobeWnd*>(OpenWindows().m_pGlobeDlg);
}

// Apophis from its 2029 state through the approach, with the impact
// trackers, as the forecast runs it: the engine opens and fills the globe.
void PropagateApophis()
{
  TestRun run;
  run.Prepare(kApophisT0, kApophisR, kApophisV, kApophisT0 + 200.0, 0.0, true);
  run.engine.m_bAutoRunning = 0;
  ImpactTrackerSet trackers;
  run.state->m_pImpacts = &trackers;
  HostControl result;
  MoveEpochAndReport(&run.engine, &result, run.state.get(), nullptr, nullptr, nullptr, kApproachAllBodies, 0);
}

// Clone tracks around the approach as the clone display hands them over:
// a nominal track, misses fanning out and two hits.
void AddCloneTracks()
{
  GlobeSink* globe = ToolSinks().Globe();
  const CGlobeWnd* w = Window();
  double tc = 0;
  w->FindClosestPathPoint(tc);
  int ic = 0;
  while (ic + 1 < w->m_nPathCount && w->m_pPathJd[ic] < tc)
    ++ic;
  for (int k = -6; k <= 6; ++k) {
    GlobeCloneTrack t;
    t.m_nKind = k == 0 ? 2 : (std::abs(k) == 6 ? 1 : 0);
    t.m_bPlausible = std::abs(k) % 2 == 0;
    t.m_dJd = tc;
    t.m_nPoints = 9;
    for (int i = 0; i < 9; ++i) {
      const int src = std::clamp(ic - 16 + 4 * i, 0, w->m_nPathCount - 1);
      t.m_adMinutes[i] = (w->m_pPathJd[src] - tc) * 1440;
      if (i == 4)
        t.m_adMinutes[i] = 0;
      t.m_adLat[i] = w->m_pPathLat[src] + 0.8 * k;
      t.m_adLon[i] = w->m_pPathLon[src] + 0.5 * k;
      t.m_adKm[i] = std::abs(k) == 6 ? w->m_pPathKm[src] * (0.2 + 0.1 * i) : w->m_pPathKm[src] * (1 + 0.02 * k);
    }
    globe->AddCloneTrack(t);
    globe->AddCloneClosest(t.m_adLat[4], t.m_adLon[4], t.m_adKm[4]);
  }
}

wxPoint PictureAt(double fx, double fy)
{
  wxWindow* p = Window()->Picture();
  int w = 0, h = 0;
  Window()->ClientSize(w, h);
  return p->ClientToScreen(wxPoint(int(w * fx), int(h * fy)));
}


// A step that clicks a button of the window and waits for its effect.
ViewStep Press(int id, const char* name, std::function<bool()> until)
{
  return {name, [id] { ViewSession::ClickButtonOf(Window(), id); }, std::move(until)};
}

} // namespace

TEST(GlobeWindow, OpenedByItsCommandFilledTurnedZoomedPressedAndCopied)
{
  ViewSession session("globe_window");
  const std::string texture = "/usr/share/xplanet/images/earth.jpg";
  const bool bTextured = FileExists(texture);
  double lon0 = 0, scale0 = 0, hours0 = 0;
  wxSize copied, copiedByKey, picture;
  int textured = 0;
  std::vector<ViewStep> steps = {
      {"view open", [&] {
         if (bTextured)
           CopyWholeFile(texture, session.m_dir + "bin/earth_texture.jpg");
       },
       [] { return ViewSession::View() != nullptr; }},
      {"toolbar 地球儀 (32796)", [] { ViewSession::ClickTool(ID_GLOBE); },
       [] { return Window() && Window()->IsShownOnScreen(); }, 30, 0.5},
      {"screenshot empty", [&] {
         textured = Window()->m_bTexture;
         ViewSession::SaveScreenshot(Window(), "globe_empty");
       },
       nullptr},
      {"propagate Apophis", [] { PropagateApophis(); },
       [] { return Window()->m_nPathCount > 10 && Window()->m_bSubSolar == 1 && Window()->IsShownOnScreen(); }, 120,
       0.5},
      {"screenshot Apophis", [] { ViewSession::SaveScreenshot(Window(), "globe_apophis"); }, nullptr},
      {"drag", [&] {
         lon0 = Window()->m_dViewLon;
         wxUIActionSimulator sim;
         const wxPoint c = PictureAt(0.5, 0.45);
         sim.MouseMove(c);
         sim.MouseDown();
         sim.MouseMove(c + wxPoint(20, 0));
         sim.MouseMove(c + wxPoint(60, 8));
         sim.MouseUp();
       },
       [&] { return Window()->m_dViewLon != lon0 && !Window()->Picture()->HasCapture(); }},
      {"pointer at the rim", [] {
         int w = 0, h = 0;
         Window()->ClientSize(w, h);
         const double s = std::min(w, h) * Window()->m_dDiscScale;
         wxUIActionSimulator sim;
         sim.MouseMove(Window()->Picture()->ClientToScreen(
             wxPoint(int(w / 2.0 + Window()->m_dPanX + 0.97 * s), int(h / 2.0 + Window()->m_dPanY))));
       },
       nullptr, 30, 0.3},
      {"wheel at the rim", [&] {
         scale0 = Window()->m_dDiscScale;
         lon0 = Window()->m_dViewLon;
         ASSERT_TRUE(TurnWheel(true));
       },
       [&] { return Window()->m_dDiscScale > scale0 * 1.1 && Window()->m_dViewLon != lon0; }},
      Press(1218, "全体", [] { return Window()->m_dDiscScale == 0.45; }),
      Press(1219, "拡大", [] { return std::fabs(Window()->m_dDiscScale - 0.675) < 1e-12; }),
      Press(1220, "縮小", [] { return std::fabs(Window()->m_dDiscScale - 0.45) < 1e-12; }),
      Press(1221, "左回転", [] { return Window()->m_dRoll == 3; }),
      Press(1222, "右回転", [] { return Window()->m_dRoll == 0; }),
      {"範囲-", [&] {
         hours0 = Window()->m_dPathHours;
         ViewSession::ClickButtonOf(Window(), 1225);
       },
       [&] { return Window()->m_dPathHours == hours0 / 2; }},
      Press(1226, "範囲+", [&] { return Window()->m_dPathHours == hours0; }),
      {"impact marker through the sink", [] {
         ToolSinks().Globe()->AddCloneImpact(21, 32);
         ToolSinks().Globe()->AddCloneImpact(22, 33);
       },
       [] { return Window()->m_nCloneHitCount == 2; }},
      Press(1215, "衝突点", [] { return Window()->m_dDiscScale == 4 && std::fabs(Window()->m_dViewLat - 21.5) < 0.1; }),
      Press(1216, "見上げ1", [] { return Window()->m_dDiscScale == 6 && Window()->m_dRoll != 0; }),
      {"screenshot 見上げ1", [] { ViewSession::SaveScreenshot(Window(), "globe_lookup1"); }, nullptr},
      Press(1217, "見上げ2", [] { return Window()->m_dDiscScale == 6 && Window()->m_dPanY != 0; }),
      {"clear the clone impacts", [] { ToolSinks().Globe()->ClearCloneImpacts(); },
       [] { return Window()->m_nCloneHitCount == 0; }},
      Press(1218, "全体 again", [] { return Window()->m_dDiscScale == 0.45 && Window()->m_dRoll == 0; }),
      {"コピー", [] {
         ClearClipboard();
         ViewSession::ClickButtonOf(Window(), 1224);
       },
       [&] { return ClipboardBitmapSize(copied); }},
      {"Ctrl+C, Enter", [] {
         ClearClipboard();
         wxUIActionSimulator sim;
         sim.MouseMove(PictureAt(0.1, 0.1));
         sim.MouseClick();
         sim.Char('c', wxMOD_CONTROL);
         sim.Char(WXK_RETURN);
       },
       [&] {
         picture = wxSize(Window()->GetClientSize().x, Window()->GetPictureHeight());
         return ClipboardBitmapSize(copiedByKey) && Window()->IsShown();
       }},
      {"the object mid-path", [] {
         // The test stands in for the animation: the object part way along
         // the window, the view over the closest approach, zoomed out to
         // show the path 6 radii out.
         CGlobeWnd* w = Window();
         double start = 0, end = 0, tc = 0;
         w->GetPathWindow(start, end);
         w->FindClosestPathPoint(tc);
         for (int i = 0; i < w->m_nPathCount; ++i)
           if (w->m_pPathJd[i] == tc)
             w->m_dViewLat = w->m_pPathLat[i], w->m_dViewLon = w->m_pPathLon[i];
         w->m_dDiscScale = 0.09;
         w->m_dAnimJd = start + 0.4 * (end - start);
         w->m_bAnimating = 1;
         w->Redraw();
       },
       nullptr, 30, 0.3},
      {"screenshot object", [] { ViewSession::SaveScreenshot(Window(), "globe_object"); }, nullptr},
      {"clone tracks", [] {
         Window()->m_bAnimating = 0;
         AddCloneTracks();
       },
       [] { return Window()->m_nCloneTrackCount == 13; }, 30, 0.3},
      {"screenshot clones", [] { ViewSession::SaveScreenshot(Window(), "globe_clones"); }, nullptr},
      {"Esc hides", [] {
         wxUIActionSimulator sim;
         sim.MouseMove(PictureAt(0.1, 0.1));
         sim.MouseClick();
         sim.Char(WXK_ESCAPE);
       },
       [] { return Window() && !Window()->IsShown(); }},
      {"the command shows it again", [] { ViewSession::ClickTool(ID_GLOBE); },
       [] { return Window()->IsShownOnScreen() && Window()->m_nCloneTrackCount == 13; }},
  };
  ASSERT_TRUE(session.Run({}, std::move(steps)));
  EXPECT_EQ(session.FailedSteps(), "");
  EXPECT_EQ(textured, bTextured ? 1 : 0);
  EXPECT_EQ(copied, picture);
  EXPECT_EQ(copiedByKey, picture);
  EXPECT_EQ(picture, wxSize(708, 530));
  // The stored place is written when the main window closes.
  EXPECT_NE(session.Setting("GLOBEDLG_X"), "<none>");
}

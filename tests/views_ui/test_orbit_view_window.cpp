// The orbit diagram's window in the running program: opened by its menu
// command, fed as the orbit-determination view feeds it, turned with the
// mouse, zoomed with the wheel, switched to the geocentric scene with its box
// and copied with its context menu and with Ctrl+C.
#include <fstream>

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/uiaction.h>

#include "app/registry/window_registry.h"
#include "astro/frames.h"
#include "astro/time_scales.h"
#include "determination/ui/determination_view.h"
#include "engine/tool_sinks.h"
#include "platform/app_services.h"
#include "resources/app_resource_ids.h"
#include "tests/common/test_data.h"
#include "tests/determination_ui/view_session.h"
#include "tests/engine/test_integration_support.h"
#include "tests/views_ui/clipboard_bitmap.h"
#include "tests/views_ui/x_wheel.h"
#include "views/ui/orbit_view_wnd.h"

namespace {

constexpr double kDeg = 3.14159265358979323846 / 180;

COrbitViewWnd* Window()
{
  return dynamic_cast<COrbitViewWnd*>(OpenWindows().m_pOrbitViewDlg);
}

// The dates of the observations of the file from 1960 on (columns 16-32).
std::vector<double> ObservationDates(const std::string& path)
{
  std::vector<double> times;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() < 32 || line[14] == 's' || line[14] == 'v')
      continue;
    double y = std::atof(line.substr(15, 4).c_str()), m = std::atof(line.substr(20, 2).c_str()),
           d = std::atof(line.substr(23, 9).c_str());
    if (y >= 1960)
      times.push_back(CalendarToJd(y, m, d));
  }
  return times;
}

// (433) Eros: osculating elements of 2023 (JPL), with the times of its
// observations, as the orbit-determination view hands an orbit over.
void PublishEros(const std::string& path)
{
  DisplayOrbit eros;
  eros.m_dT = 2459868.0585;
  eros.m_dQ = 1.13346;
  eros.m_dE = 0.222778;
  eros.m_dPeri = 178.8773 * kDeg;
  eros.m_dNode = 304.2993 * kDeg;
  eros.m_dIncl = 10.8289 * kDeg;
  eros.m_dEpoch = 2460000.5;
  eros.m_strName = "(433) Eros";
  eros.m_bValid = 1;
  ToolSinks().OrbitDiagram()->ShowOrbit(eros, "433", ObservationDates(path), true);
}

// Apophis integrated through 2029 into the shared track, and its orbit shown.
void RecordApophis()
{
  TestRun run;
  run.Prepare(kApophisT0, kApophisR, kApophisV, kApophisT0 + 200.0, 0.0, true);
  run.state->m_pGeoTrack = &GeoTrackBuffer::Instance();
  run.Run();
  DisplayOrbit apophis;
  const ElementBlock& el = run.state->m_el;
  apophis.m_dT = el.m_dT, apophis.m_dQ = el.m_dQ, apophis.m_dE = el.m_dE;
  apophis.m_dPeri = el.m_dPeri, apophis.m_dNode = el.m_dNode, apophis.m_dIncl = el.m_dIncl;
  apophis.m_dEpoch = el.m_dEpoch;
  apophis.m_strName = "(99942) Apophis";
  apophis.m_bValid = 1;
  ToolSinks().OrbitDiagram()->ShowOrbit(apophis, "", {2462240.3, 2462240.35}, true);
}

wxPoint PictureCentre()
{
  wxWindow* p = Window()->Picture();
  return p->ClientToScreen(wxPoint(p->GetClientSize().x / 2, p->GetClientSize().y / 2));
}

bool Near(const wxImage& img, int x, int y, unsigned rgb, int tol)
{
  const int r = img.GetRed(x, y), g = img.GetGreen(x, y), b = img.GetBlue(x, y);
  return std::abs(r - int(rgb >> 16)) <= tol && std::abs(g - int((rgb >> 8) & 0xFF)) <= tol &&
         std::abs(b - int(rgb & 0xFF)) <= tol;
}

int CountNear(const wxImage& img, unsigned rgb, int tol)
{
  int n = 0;
  for (int y = 0; y < img.GetHeight(); ++y)
    for (int x = 0; x < img.GetWidth(); ++x)
      n += Near(img, x, y, rgb, tol);
  return n;
}

} // namespace

TEST(OrbitViewWindow, OpenedByItsCommandTurnedZoomedSwitchedAndCopied)
{
  TSR_REQUIRE_DATA(eros, "obs/mpc80/neosjl_433.txt");
  ViewSession session("orbit_view");
  double az0 = 0, scale0 = 0;
  wxSize pictureSize, clientSize, menuCopy;
  bool bCopied = false;
  wxImage heliocentric, sunLarge;
  std::vector<ViewStep> steps = {
      {"view open", nullptr, [] { return ViewSession::View() != nullptr; }},
      {"open 軌道図", [] { ViewSession::PostCommand(ID_ORBIT_VIEW); },
       [] { return Window() && Window()->IsShownOnScreen(); }},
      {"publish Eros", [&] { PublishEros(eros); }, [] { return Window()->m_bHasObject == 1; }, 30, 0.5},
      {"screenshot", [&] {
         ViewSession::SaveScreenshot(Window(), "orbit_view_eros");
         heliocentric = Window()->RenderPicture().ConvertToImage();
         az0 = Window()->m_dAzimuth;
       },
       nullptr},
      {"drag", [] {
         wxUIActionSimulator sim;
         const wxPoint c = PictureCentre();
         sim.MouseMove(c);
         sim.MouseDown();
         sim.MouseMove(c + wxPoint(20, 0));
         sim.MouseMove(c + wxPoint(50, 10));
         sim.MouseUp();
       },
       [&] { return Window()->m_dAzimuth != az0 && !Window()->HasCapture(); }},
      {"wheel", [&] {
         scale0 = Window()->m_dScale;
         ASSERT_TRUE(TurnWheel(true));
       },
       [&] { return Window()->m_dScale > scale0 * 1.1; }},
      {"screenshot turned", [] { ViewSession::SaveScreenshot(Window(), "orbit_view_turned"); }, nullptr},
      {"sun large", [&] {
         Window()->m_dScale = 10000;
         Window()->m_dPanX = Window()->m_dPanY = 0;
         sunLarge = Window()->RenderPicture().ConvertToImage();
       },
       nullptr},
      {"record Apophis", [] { RecordApophis(); }, [] { return GeoTrackBuffer::Instance().m_nCount > 100; }},
      {"click 地心", [] {
         wxCheckBox* box = dynamic_cast<wxCheckBox*>(Window()->FindWindow(1479));
         wxUIActionSimulator sim;
         sim.MouseMove(box->ClientToScreen(wxPoint(8, box->GetSize().y / 2)));
         sim.MouseClick();
       },
       [] { return Window()->m_bGeocentric == 1; }},
      {"click approaches", [] {
         for (int id : {1505, 1504}) {
           wxCheckBox* box = dynamic_cast<wxCheckBox*>(Window()->FindWindow(id));
           wxUIActionSimulator sim;
           sim.MouseMove(box->ClientToScreen(wxPoint(8, box->GetSize().y / 2)));
           sim.MouseClick();
           wxYield();
         }
       },
       [] { return Window()->m_bShowEarthCa == 1 && Window()->m_bShowMoon == 1; }, 30, 0.5},
      {"screenshot geocentric", [] { ViewSession::SaveScreenshot(Window(), "orbit_view_geocentric"); }, nullptr},
      {"context menu", [] {
         ClearClipboard();
         wxUIActionSimulator sim;
         sim.MouseMove(PictureCentre() + wxPoint(0, 40));
         sim.MouseClick(wxMOUSE_BTN_RIGHT);
       },
       nullptr, 30, 0.8},
      {"画像をコピー by its key", [] {
         wxUIActionSimulator sim;
         sim.Char('c');
       },
       [&] { return ClipboardBitmapSize(menuCopy); }, 10},
      {"Ctrl+C", [&] {
         ClearClipboard();
         wxUIActionSimulator sim;
         sim.MouseMove(PictureCentre());
         sim.MouseClick();
         sim.Char('c', wxMOD_CONTROL);
       },
       [&] {
         bCopied = ClipboardBitmapSize(pictureSize);
         clientSize = Window()->Picture()->GetClientSize();
         return bCopied;
       }},
      {"focus the stereo box", [] { Window()->FindWindow(1487)->SetFocus(); },
       [] { return wxWindow::FindFocus() == Window()->FindWindow(1487); }},
      {"交差法 by the keyboard", [] {
         wxUIActionSimulator sim;
         sim.Char(WXK_DOWN);
         sim.Char(WXK_DOWN);
       },
       [] { return Window()->m_nStereoMode == 2; }, 30, 0.5},
      {"screenshot stereo", [] { ViewSession::SaveScreenshot(Window(), "orbit_view_stereo"); }, nullptr},
  };
  ASSERT_TRUE(session.Run({}, std::move(steps)));
  EXPECT_EQ(session.FailedSteps(), "");
  EXPECT_TRUE(bCopied);
  EXPECT_EQ(pictureSize, clientSize);
  EXPECT_EQ(menuCopy, clientSize) << "the context menu's 画像をコピー";
  // Black ground, the small Sun at the centre at the fitted scale, and both
  // pens of the orbit (above and below the ecliptic).
  ASSERT_TRUE(heliocentric.IsOk());
  const int cx = heliocentric.GetWidth() / 2, cy = heliocentric.GetHeight() / 2;
  EXPECT_TRUE(Near(heliocentric, 2, 2, 0x000000, 0));
  EXPECT_TRUE(Near(heliocentric, cx, cy, 0xFFF5C8, 12));
  EXPECT_GT(CountNear(heliocentric, 0xFF2828, 20), 30);
  EXPECT_GT(CountNear(heliocentric, 0x821414, 20), 30);
  // At 10000 pixels per AU the Sun is a gradient disc, white-yellow at its centre.
  ASSERT_TRUE(sunLarge.IsOk());
  EXPECT_TRUE(Near(sunLarge, sunLarge.GetWidth() / 2, sunLarge.GetHeight() / 2, 0xFFFCEB, 12));
  // The stored place is written when the main window closes.
  EXPECT_NE(session.Setting("ORBITVIEW_X"), "<none>");
}

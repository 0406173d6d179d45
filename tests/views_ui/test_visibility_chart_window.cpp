// The observing-season chart's window in the running program: opened from the
// view's menu, fed (433) Eros as the feeders do, the crosshair under the
// mouse, another palette, a resize, and copies by Ctrl+C and by the context
// menu that never carry the crosshair.
#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/choice.h>
#include <wx/clipbrd.h>
#include <wx/uiaction.h>

#include "astro/angle_units.h"
#include "astro/time_scales.h"
#include "engine/tool_sinks.h"
#include "platform/app_services.h"
#include "resources/app_resource_ids.h"
#include "tests/determination_ui/view_session.h"
#include "views/ui/visibility_chart_wnd.h"

namespace {

CVisibilityChartWnd* Window() { return VisibilityChartWindow(); }

void FeedEros()
{
  VisibilityChartSink* chart = ToolSinks().VisibilityChart();
  ASSERT_NE(chart, nullptr);
  chart->SetStartDate(CalendarToJd(2024, 4, 1));
  chart->SetObject(2459868.0585, 1.13346, 0.222778, 178.8773 * kRadPerDeg, 304.2993 * kRadPerDeg,
                   10.8289 * kRadPerDeg, "(433) Eros", 10.4, 0.46, 1);
}

wxPoint PlotPoint(int x, int y) { return Window()->ClientToScreen(wxPoint(x, y)); }

void ClearClipboard()
{
  if (wxTheClipboard->Open()) {
    wxTheClipboard->Clear();
    wxTheClipboard->Close();
  }
}

bool ClipboardImage(wxImage& img)
{
  if (!wxTheClipboard->Open())
    return false;
  wxBitmapDataObject data;
  const bool bHas = wxTheClipboard->IsSupported(wxDF_BITMAP) && wxTheClipboard->GetData(data);
  if (bHas)
    img = data.GetBitmap().ConvertToImage();
  wxTheClipboard->Close();
  return bHas;
}

// Pixels of the column x from the plot's top to its bottom that are nearly white.
int WhiteInColumn(const wxImage& img, int x, int y0, int y1)
{
  int n = 0;
  for (int y = y0; y < y1; ++y)
    n += img.GetRed(x, y) > 240 && img.GetGreen(x, y) > 240 && img.GetBlue(x, y) > 240;
  return n;
}

// Height of the box of the dark text pixels in a rectangle of the light ground.
int TextHeight(const wxImage& img, int x0, int y0, int x1, int y1)
{
  int top = y1, bottom = y0 - 1;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (img.GetRed(x, y) < 160 && img.GetGreen(x, y) < 160 && img.GetBlue(x, y) < 160)
        top = std::min(top, y), bottom = std::max(bottom, y);
  return bottom - top + 1;
}

} // namespace

TEST(VisibilityChartWindow, OpenedFromTheMenuFedHoveredRecolouredResizedAndCopied)
{
  ViewSession session("visibility_chart");
  int renders = 0;
  wxImage copy, menuCopy, shown;
  const wxPoint mouse(300, 200);
  std::vector<ViewStep> steps = {
      {"view open", nullptr, [] { return ViewSession::View() != nullptr; }},
      ViewSession::OpenMenuStep(1, ID_VISIBILITY_CHART),
      {"click 観測好期チャート", [] { ViewSession::ClickMenuItem(ID_VISIBILITY_CHART); },
       [] { return Window() && Window()->IsShownOnScreen() && Window()->m_nRenders > 0; }},
      {"screenshot empty", [] { ViewSession::SaveScreenshot(Window(), "visibility_chart_empty"); }, nullptr, 30,
       0.3},
      {"feed Eros", [] { FeedEros(); }, [] { return Window()->m_bValid && !Window()->m_bDirty; }},
      {"screenshot Eros", [] { ViewSession::SaveScreenshot(Window(), "visibility_chart_eros"); }, nullptr, 30, 0.3},
      {"mouse over the plot", [&] {
         renders = Window()->m_nRenders;
         wxUIActionSimulator sim;
         sim.MouseMove(PlotPoint(mouse.x - 5, mouse.y));
         sim.MouseMove(PlotPoint(mouse.x, mouse.y));
       },
       [&] { return Window()->m_bHover && Window()->m_ptMouse == mouse; }, 30, 0.5},
      {"screenshot crosshair", [&] {
         ViewSession::SaveScreenshot(Window(), "visibility_chart_crosshair");
         // The crosshair is drawn over the cached chart: no new rendering.
         EXPECT_EQ(Window()->m_nRenders, renders);
       },
       nullptr},
      {"Ctrl+C", [] {
         ClearClipboard();
         wxUIActionSimulator sim;
         sim.Char('c', wxMOD_CONTROL);
       },
       [&] { return ClipboardImage(copy); }},
      {"Enter does nothing", [] {
         wxUIActionSimulator sim;
         sim.Char(WXK_RETURN);
       },
       [] { return Window() && Window()->IsShown(); }, 30, 0.3},
      {"context menu", [&] {
         ClearClipboard();
         wxUIActionSimulator sim;
         sim.MouseMove(PlotPoint(mouse.x, mouse.y));
         sim.MouseClick(wxMOUSE_BTN_RIGHT);
       },
       nullptr, 30, 0.8},
      {"画像をコピー by its key", [] {
         wxUIActionSimulator sim;
         sim.Char('c');
       },
       [&] { return ClipboardImage(menuCopy); }, 10},
      {"focus the palette", [] { Window()->PaletteChoice()->SetFocus(); },
       [] { return wxWindow::FindFocus() == Window()->PaletteChoice(); }},
      {"マグマ by the keyboard", [] {
         wxUIActionSimulator sim;
         for (int i = 0; i < 5; ++i) sim.Char(WXK_DOWN);
       },
       [] { return Window()->m_nPalette == 5 && Window()->m_bCacheValid; }, 30, 0.5},
      {"screenshot マグマ", [] { ViewSession::SaveScreenshot(Window(), "visibility_chart_magma"); }, nullptr},
      {"resize", [] { Window()->SetSize(1000, 640); },
       [] {
         return !Window()->m_bSizing && Window()->m_bCacheValid && Window()->GetSize() == wxSize(1000, 640);
       },
       30, 0.5},
      {"screenshot resized", [&] {
         ViewSession::SaveScreenshot(Window(), "visibility_chart_resized");
         shown = Window()->RenderChart().ConvertToImage();
       },
       nullptr},
  };
  ASSERT_TRUE(session.Run({}, std::move(steps)));
  EXPECT_EQ(session.FailedSteps(), "");
  ASSERT_TRUE(copy.IsOk());
  ASSERT_TRUE(menuCopy.IsOk());
  EXPECT_EQ(copy.GetSize(), menuCopy.GetSize());
  // The copies carry no crosshair: its white line along x would fill the column.
  EXPECT_LT(WhiteInColumn(copy, mouse.x, 60, copy.GetHeight() - 40), 50);
  EXPECT_LT(WhiteInColumn(menuCopy, mouse.x, 60, menuCopy.GetHeight() - 40), 50);
  // The date labels below the plot in the chart's 11-pixel face: their digits
  // stand 9 pixels high at least, as an 11-pixel em gives (the toolkit's
  // 11-pixel line made them 6).
  const int h = copy.GetHeight();
  EXPECT_GE(TextHeight(copy, 0, h - 28, copy.GetWidth() - 60, h), 9);
  // After the resize the chart fills the new client area.
  ASSERT_TRUE(shown.IsOk());
  EXPECT_GT(shown.GetWidth(), 900);
  EXPECT_EQ(session.Setting("VISIBILITYCHART_PALETTE"), "5");
  EXPECT_EQ(session.Setting("VISIBILITYCHART_W"), "1000");
}

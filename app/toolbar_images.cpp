#include "app/toolbar_images.h"

#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/settings.h>

#include "resources/app_resource_ids.h"

namespace {

constexpr int kW = 16;
constexpr int kH = 15;

const wxColour kInk(40, 40, 40);
const wxColour kBlue(30, 90, 200);
const wxColour kGreen(20, 140, 60);
const wxColour kRed(200, 50, 40);
const wxColour kYellow(230, 190, 40);
const wxColour kOrange(230, 130, 30);
const wxColour kPurple(130, 60, 170);

void DrawFolder(wxDC& dc)
{
  dc.SetPen(wxPen(kInk));
  dc.SetBrush(wxBrush(kYellow));
  dc.DrawRectangle(1, 4, 14, 9);
  dc.DrawRectangle(1, 2, 6, 3);
}

void DrawDownload(wxDC& dc, const wxColour& c)
{
  dc.SetPen(wxPen(c, 2));
  dc.DrawLine(8, 1, 8, 9);
  dc.DrawLine(4, 6, 8, 10);
  dc.DrawLine(12, 6, 8, 10);
  dc.SetPen(wxPen(kInk));
  dc.DrawLine(2, 13, 14, 13);
  dc.DrawLine(2, 10, 2, 13);
  dc.DrawLine(14, 10, 14, 13);
}

void DrawDisk(wxDC& dc)
{
  dc.SetPen(wxPen(kInk));
  dc.SetBrush(wxBrush(kBlue));
  dc.DrawRectangle(2, 1, 13, 13);
  dc.SetBrush(*wxWHITE_BRUSH);
  dc.DrawRectangle(5, 2, 7, 5);
  dc.DrawRectangle(5, 9, 7, 5);
}

void DrawRedo(wxDC& dc)
{
  dc.SetPen(wxPen(kGreen, 2));
  dc.SetBrush(*wxTRANSPARENT_BRUSH);
  dc.DrawArc(12, 8, 4, 8, 8, 8);
  dc.DrawLine(12, 8, 14, 5);
  dc.DrawLine(12, 8, 9, 6);
}

void DrawOrbit(wxDC& dc)
{
  dc.SetPen(wxPen(kBlue));
  dc.SetBrush(*wxTRANSPARENT_BRUSH);
  dc.DrawEllipse(1, 4, 14, 7);
  dc.SetPen(wxPen(kOrange));
  dc.SetBrush(wxBrush(kOrange));
  dc.DrawCircle(6, 7, 2);
}

void DrawGlobe(wxDC& dc)
{
  dc.SetPen(wxPen(kInk));
  dc.SetBrush(wxBrush(wxColour(90, 160, 230)));
  dc.DrawCircle(8, 7, 6);
  dc.SetPen(wxPen(kGreen, 2));
  dc.DrawLine(5, 5, 8, 5);
  dc.DrawLine(9, 9, 11, 10);
}

void DrawCurve(wxDC& dc)
{
  dc.SetPen(wxPen(kInk));
  dc.DrawLine(1, 1, 1, 13);
  dc.DrawLine(1, 13, 15, 13);
  dc.SetPen(wxPen(kRed, 2));
  const wxPoint pts[] = {{2, 11}, {5, 6}, {8, 4}, {11, 6}, {14, 11}};
  dc.DrawLines(5, pts);
}

void DrawChart(wxDC& dc)
{
  dc.SetPen(wxPen(kInk));
  dc.SetBrush(wxBrush(wxColour(20, 30, 80)));
  dc.DrawRectangle(1, 1, 14, 13);
  dc.SetBrush(wxBrush(kYellow));
  dc.SetPen(wxPen(kYellow));
  dc.DrawRectangle(4, 4, 3, 7);
  dc.DrawRectangle(9, 3, 3, 9);
}

void DrawTarget(wxDC& dc)
{
  dc.SetBrush(*wxTRANSPARENT_BRUSH);
  dc.SetPen(wxPen(kPurple));
  dc.DrawCircle(8, 7, 6);
  dc.DrawCircle(8, 7, 3);
  dc.DrawLine(1, 7, 15, 7);
  dc.DrawLine(8, 0, 8, 14);
}

void DrawBars(wxDC& dc)
{
  dc.SetPen(wxPen(kInk));
  dc.SetBrush(wxBrush(kGreen));
  dc.DrawRectangle(2, 8, 3, 6);
  dc.DrawRectangle(6, 3, 3, 11);
  dc.DrawRectangle(10, 6, 3, 8);
}

void DrawClock(wxDC& dc)
{
  dc.SetPen(wxPen(kInk));
  dc.SetBrush(*wxWHITE_BRUSH);
  dc.DrawCircle(8, 7, 6);
  dc.SetPen(wxPen(kRed, 2));
  dc.DrawLine(8, 7, 8, 3);
  dc.DrawLine(8, 7, 11, 9);
}

void DrawTable(wxDC& dc)
{
  dc.SetPen(wxPen(kInk));
  dc.SetBrush(*wxWHITE_BRUSH);
  dc.DrawRectangle(1, 1, 14, 13);
  for (int y = 4; y < 14; y += 3)
    dc.DrawLine(1, y, 15, y);
  dc.DrawLine(6, 1, 6, 14);
}

void DrawSliders(wxDC& dc)
{
  dc.SetPen(wxPen(kInk));
  for (int y : {3, 7, 11})
    dc.DrawLine(1, y, 15, y);
  dc.SetBrush(wxBrush(kOrange));
  dc.DrawRectangle(3, 1, 3, 5);
  dc.DrawRectangle(10, 5, 3, 5);
  dc.DrawRectangle(6, 9, 3, 5);
}

void DrawGear(wxDC& dc)
{
  dc.SetPen(wxPen(kInk, 3));
  dc.DrawLine(8, 1, 8, 14);
  dc.DrawLine(1, 7, 15, 7);
  dc.DrawLine(3, 2, 13, 12);
  dc.DrawLine(13, 2, 3, 12);
  dc.SetPen(wxPen(kInk));
  dc.SetBrush(wxBrush(wxColour(160, 160, 160)));
  dc.DrawCircle(8, 7, 4);
  dc.SetBrush(*wxWHITE_BRUSH);
  dc.DrawCircle(8, 7, 1);
}

void DrawQuestion(wxDC& dc)
{
  dc.SetPen(wxPen(kInk));
  dc.SetBrush(wxBrush(kBlue));
  dc.DrawCircle(8, 7, 7);
  dc.SetFont(wxFontInfo(wxSize(0, 11)).Bold());
  dc.SetTextForeground(*wxWHITE);
  const wxSize ext = dc.GetTextExtent("?");
  dc.DrawText("?", 8 - ext.x / 2, 7 - ext.y / 2);
}

} // namespace

wxBitmap ToolbarImage(int command)
{
  // Drawn on the toolbar's own colour, so that smoothed edges blend into it;
  // that colour is then made transparent.
  const wxColour face = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
  wxBitmap bmp(kW, kH, 24);
  {
    wxMemoryDC dc(bmp);
    dc.SetBackground(wxBrush(face));
    dc.Clear();
    switch (command) {
    case ID_OPEN_OBS_FILE: DrawFolder(dc); break;
    case ID_FETCH_MPC_OBS: DrawDownload(dc, kBlue); break;
    case ID_FETCH_NEOCP_OBS: DrawDownload(dc, kRed); break;
    case ID_SAVE_RESULT: DrawDisk(dc); break;
    case ID_REDO_CALC: DrawRedo(dc); break;
    case ID_ORBIT_VIEW: DrawOrbit(dc); break;
    case ID_GLOBE: DrawGlobe(dc); break;
    case ID_MAG_CURVE: DrawCurve(dc); break;
    case ID_VISIBILITY_CHART: DrawChart(dc); break;
    case ID_SEARCH_RANGE: DrawTarget(dc); break;
    case ID_MP_DIS_GRAPH: DrawBars(dc); break;
    case ID_FORECAST: DrawClock(dc); break;
    case ID_EPHEMERIDES: DrawTable(dc); break;
    case ID_VARIATION_AMOUNTS: DrawSliders(dc); break;
    case ID_OPTIONS_TOOLBAR: DrawGear(dc); break;
    case ID_APP_ABOUT: DrawQuestion(dc); break;
    default: break;
    }
  }
  wxImage img = bmp.ConvertToImage();
  img.SetMaskColour(face.Red(), face.Green(), face.Blue());
  img.InitAlpha();
  return wxBitmap(img);
}

#include "views/ui/visibility_chart_wnd.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include <wx/choice.h>
#include <wx/clipbrd.h>
#include <wx/dcbuffer.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/display.h>
#include <wx/fontenum.h>
#include <wx/frame.h>
#include <wx/graphics.h>
#include <wx/menu.h>
#include <wx/panel.h>

#include "app/registry/window_registry.h"
#include "astro/angle_units.h"
#include "data/ui/info_help.h"
#include "data/ui/info_mark.h"
#include "data/ui/window_routines.h"
#include "platform/wx/raster_draw.h"
#include "platform/app_services.h"
#include "platform/numbers.h"
#include "platform/wx/readable_font.h"
#include "platform/wx/wx_ui_services.h"
#include "views/ui/wx_scene_canvas.h"
#include "resources/info_topics.h"

namespace {

enum { IDC_PALETTE = 1247, IDC_INFO = 1409, ID_COPY_IMAGE = 1 };

constexpr const char* kSection = "SYSTEM";
// Quiet time after the last size event that ends an interactive resize, ms.
constexpr int kSizeQuietMs = 200;

CVisibilityChartWnd*& Current()
{
  static CVisibilityChartWnd* wnd = nullptr;
  return wnd;
}

wxFont ChartFont(int px, bool bold)
{
  static const bool bHasNoto = wxFontEnumerator::IsValidFacename("Noto Sans CJK JP");
  wxFontInfo info(ReadableFontPoints(px));
  info.Family(wxFONTFAMILY_SWISS);
  if (bHasNoto)
    info.FaceName("Noto Sans CJK JP");
  if (bold)
    info.Bold();
  return wxFont(info);
}

void FillRect(wxGraphicsContext* gc, uint32_t argb, double x, double y, double w, double h)
{
  gc->SetPen(*wxTRANSPARENT_PEN);
  gc->SetBrush(gc->CreateBrush(wxBrush(ArgbColour(argb))));
  gc->DrawRectangle(x, y, w, h);
}

void Text(wxGraphicsContext* gc, const wxFont& font, uint32_t argb, const std::string& text, double x, double y)
{
  gc->SetFont(font, ArgbColour(argb));
  gc->DrawText(ToWx(text), x, y);
}

void Measure(wxGraphicsContext* gc, const wxFont& font, const std::string& text, double& w, double& h)
{
  gc->SetFont(font, *wxBLACK);
  gc->GetTextExtent(ToWx(text), &w, &h);
}

} // namespace

CVisibilityChartWnd* VisibilityChartWindow() { return Current(); }

CVisibilityChartWnd::CVisibilityChartWnd(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, ToWx("観測好期チャート"), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxRESIZE_BORDER | wxFRAME_TOOL_WINDOW | wxCLIP_CHILDREN),
      m_sizeTimer(this)
{
  Current() = this;
  OpenWindows().m_pVisibilityChartDlg = this;
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  m_pInfoMark = new CInfoMark(this, IDC_INFO, wxPoint(4, 4));
  m_pInfoMark->SetToolTip(ToWx(kTopicChart.title));
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ShowInfoHelp(kTopicChart.title, kTopicChart.text, this); }, IDC_INFO);
  m_pPalette = new wxChoice(this, IDC_PALETTE);
  for (const char* name : g_aChartPaletteNames)
    m_pPalette->Append(ToWx(name));

  CTessaruneApp& app = TheApp();
  int w = std::max(420, app.GetProfileInt(kSection, "VISIBILITYCHART_W", 780));
  int h = std::max(320, app.GetProfileInt(kSection, "VISIBILITYCHART_H", 540));
  const int disp = wxDisplay::GetFromWindow(parent ? parent : this);
  const wxRect work = wxDisplay(disp == wxNOT_FOUND ? 0u : static_cast<unsigned>(disp)).GetClientArea();
  if (!work.IsEmpty()) {
    w = std::min(w, work.width);
    h = std::min(h, work.height);
  }
  SetMinSize(wxSize(std::min(420, w), std::min(320, h)));
  const int x = app.GetProfileInt(kSection, "VISIBILITYCHART_X", -1);
  const int y = app.GetProfileInt(kSection, "VISIBILITYCHART_Y", -1);
  SetSize(w, h);
  if (x < 0 || y < 0)
    CTessaruneLib::PlaceNearMainWindow(this);
  else
    Move(x, y);
  m_nPalette = app.GetProfileInt(kSection, "VISIBILITYCHART_PALETTE", 0);
  if (m_nPalette < 0 || m_nPalette > 7)
    m_nPalette = 0;
  m_pPalette->SetSelection(m_nPalette);
  PlaceControls();

  Bind(wxEVT_PAINT, [this](wxPaintEvent&) { OnPaint(); });
  Bind(wxEVT_SIZE, [this](wxSizeEvent& e) {
    PlaceControls();
    m_bCacheValid = 0;
    if (m_cache.IsOk()) {
      m_bSizing = 1;
      m_sizeTimer.StartOnce(kSizeQuietMs);
    }
    Refresh(false);
    e.Skip();
  });
  Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
    m_bSizing = 0;
    Refresh(false);
  });
  m_pPalette->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { OnPaletteChange(m_pPalette->GetSelection()); });
  Bind(wxEVT_MOTION, &CVisibilityChartWnd::OnMotion, this);
  Bind(wxEVT_LEAVE_WINDOW, [this](wxMouseEvent&) {
    if (m_bHover) {
      m_bHover = 0;
      Refresh(false);
    }
  });
  Bind(wxEVT_RIGHT_UP, &CVisibilityChartWnd::OnRightUp, this);
  Bind(wxEVT_CHAR_HOOK, &CVisibilityChartWnd::OnKey, this);
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { Destroy(); });
}

CVisibilityChartWnd::~CVisibilityChartWnd()
{
  SavePlacement();
  if (OpenWindows().m_pVisibilityChartDlg == this)
    OpenWindows().m_pVisibilityChartDlg = nullptr;
  if (Current() == this)
    Current() = nullptr;
}

void CVisibilityChartWnd::SavePlacement()
{
  const wxRect r = GetRect();
  CTessaruneApp& app = TheApp();
  app.WriteProfileInt(kSection, "VISIBILITYCHART_X", r.x);
  app.WriteProfileInt(kSection, "VISIBILITYCHART_Y", r.y);
  app.WriteProfileInt(kSection, "VISIBILITYCHART_W", r.width);
  app.WriteProfileInt(kSection, "VISIBILITYCHART_H", r.height);
}

void CVisibilityChartWnd::PlaceControls()
{
  if (m_pPalette)
    m_pPalette->SetSize(GetClientSize().x - 158, 4, 150, -1);
}

void CVisibilityChartWnd::OnPaletteChange(int index)
{
  if (index < 0 || index > 7 || index == m_nPalette)
    return;
  m_nPalette = index;
  TheApp().WriteProfileInt(kSection, "VISIBILITYCHART_PALETTE", index);
  m_bCacheValid = 0;
  Refresh(false);
}

// ---- painting ----

void CVisibilityChartWnd::OnPaint()
{
  wxAutoBufferedPaintDC dc(this);
  const wxSize size = GetClientSize();
  if (size.x <= 0 || size.y <= 0)
    return;
  if (m_bSizing && m_cache.IsOk()) {
    dc.SetBackground(wxBrush(wxColour(240, 240, 240)));
    dc.Clear();
    dc.DrawBitmap(m_cache, 0, 0);
    return;
  }
  if (!m_bCacheValid || !m_cache.IsOk() || m_cache.GetSize() != size)
    m_cache = RenderChart();
  m_bCacheValid = m_cache.IsOk();
  dc.DrawBitmap(m_cache, 0, 0);
  if (m_bHover) {
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
    DrawCrosshair(gc.get(), size.x, size.y);
  }
}

wxBitmap CVisibilityChartWnd::RenderChart()
{
  const wxSize size = GetClientSize();
  if (size.x <= 0 || size.y <= 0)
    return wxBitmap();
  wxBitmap bmp(size.x, size.y, 24);
  wxMemoryDC mdc(bmp);
  {
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(mdc));
    gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
    DrawChart(gc.get(), size.x, size.y);
  }
  mdc.SelectObject(wxNullBitmap);
  ++m_nRenders;
  return bmp;
}

void CVisibilityChartWnd::DrawChart(wxGraphicsContext* gc, int W, int H)
{
  const wxFont font = ChartFont(11, false);
  FillRect(gc, 0xFFF0F0F0, 0, 0, W, H);
  const ObserverSite site = AppObserver();
  if (!m_strName.empty()) {
    const double x0 = m_pInfoMark ? m_pInfoMark->GetRect().GetRight() + 1 + 6 : 22;
    const double width = W - 166 - x0;
    if (width > 20) {
      const wxFont title = ChartFont(13, true);
      gc->SetFont(title, ArgbColour(0xFF141414));
      wxString text = ToWx(m_strName);
      double tw, th;
      gc->GetTextExtent(text, &tw, &th);
      while (tw > width && text.length() > 1) {
        text = text.Left(text.length() - 2) + wxString::FromUTF8("…");
        gc->GetTextExtent(text, &tw, &th);
      }
      gc->DrawText(text, x0, 5);
    }
  }
  const CTessaruneApp& app = TheApp();
  Text(gc, font, 0xFF5A5A5A,
       FormatC("観測地 緯度%.1f 経度%.1f 時差%+.0f時", app.m_dObsLat, app.m_dObsLon, app.m_dObsTz), 8, 26);
  Text(gc, font, 0xFF5A5A5A, "高度", 208, 26);
  for (int l = 0; l <= 8; ++l) {
    FillRect(gc, 0xFF000000 | ChartPaletteColour(m_nPalette, l), 240 + 30 * l, 27, 30, 12);
    Text(gc, font, 0xFF5A5A5A, FormatC("%d", 10 * l), 240 + 30 * l - 4, 40);
  }
  Text(gc, font, 0xFF5A5A5A, "度", 512, 27);
  if (!m_bValid) {
    Text(gc, font, 0xFF5A5A5A, "天体が選択されていません。彗星一覧で天体を選ぶと、その観測好期を表示します。", 20,
         H / 2);
    return;
  }
  if (m_bDirty)
    Precompute(site);
  const ChartPlot p = Plot(W, H);
  if (m_dayRows.empty() || !p.exists)
    return;

  ChartRaster raster;
  if (m_nSunMissing == 0) {
    raster = RenderRaster(W, H, site);
    if (raster.w > 0 && raster.h > 0) {
      // Bytes B, G, R, A: on this little-endian platform the words 0xAARRGGBB.
      std::vector<uint32_t> words(static_cast<size_t>(raster.w) * raster.h);
      std::memcpy(words.data(), raster.bgra.data(), words.size() * 4);
      DrawRgbRaster(gc, words.data(), raster.w, raster.h, 56, 58, raster.w, raster.h);
    }
    const int n = static_cast<int>(m_dayRows.size());
    for (double x = 92.4; x < p.R - 10; x += 52) {
      const double a = (x - 56) / p.pxPerDay;
      if (a < 0 || a >= n)
        continue;
      const NightRuns runs = AnalyseNight(a, 58, p.B, p.pxPerHour, site);
      if (runs.dMoonLen >= 26)
        DrawMoonIcon(gc, x, runs.dMoonMid, 9, runs.dMoonFraction);
    }
    const double xs[2] = {56 + 0.35 * p.width, 56 + 0.65 * p.width};
    for (int i = 0; i < 2; ++i) {
      const NightRuns runs = AnalyseNight((xs[i] - 56) / p.pxPerDay, 58, p.B, p.pxPerHour, site);
      const double len = i == 0 ? runs.dFirstLen : runs.dLastLen, mid = i == 0 ? runs.dFirstMid : runs.dLastMid;
      if (len >= 22)
        DrawSunIcon(gc, xs[i], mid, 7);
    }
    const auto labels = PlaceBandLabels(p, site, [&](const std::string& t, double& w, double& h) {
      Measure(gc, font, t, w, h);
    });
    for (const ChartLabel& l : labels) {
      for (int dx : {-1, 1})
        for (int dy : {-1, 1})
          Text(gc, font, 0xD7000000, l.text, l.x + dx, l.y + dy);
      Text(gc, font, 0xFFFFFFFF, l.text, l.x, l.y);
    }
  } else {
    FillRect(gc, 0xFF32323C, 56, 58, p.width, p.height);
  }
  const std::string message = PlotMessage(raster);
  if (!message.empty()) {
    const wxFont bold = ChartFont(14, true);
    double w, h;
    Measure(gc, bold, message, w, h);
    const double tx = std::max(62.0, (p.width - w) / 2 + 56), ty = p.height / 2 + 58 - h / 2;
    gc->SetBrush(gc->CreateBrush(wxBrush(ArgbColour(0xCD191923))));
    gc->SetPen(gc->CreatePen(wxGraphicsPenInfo(ArgbColour(0xD2FFFFFF), 1)));
    gc->DrawRectangle(tx - 10, ty - 6, w + 20, h + 12);
    Text(gc, bold, 0xFFFFFFFF, message, tx, ty);
  }
  gc->SetPen(gc->CreatePen(wxGraphicsPenInfo(ArgbColour(0xFF3C3C3C), 1)));
  gc->SetBrush(*wxTRANSPARENT_BRUSH);
  gc->DrawRectangle(56, 58, p.width, p.height);
  std::vector<ChartLabel> left, right;
  HourLabels(p, site.tz, left, right);
  for (size_t i = 0; i < left.size(); ++i) {
    const double y = left[i].y + 7;
    gc->StrokeLine(53, y, 56, y);
    gc->StrokeLine(p.R, y, p.R + 3, y);
    Text(gc, font, 0xFF5A5A5A, left[i].text, left[i].x, left[i].y);
    Text(gc, font, 0xFF5A5A5A, right[i].text, right[i].x, right[i].y);
  }
  Text(gc, font, 0xFF5A5A5A, "地方時", 6, 42);
  Text(gc, font, 0xFF5A5A5A, "世界時", p.R + 4, 42);
  for (const ChartLabel& l : DateLabels(p)) {
    gc->StrokeLine(l.x, p.B, l.x, p.B + 3);
    Text(gc, font, 0xFF5A5A5A, l.text, l.x - 20, l.y);
  }
  Text(gc, font, 0xFF5A5A5A, "日付", p.R + 5, p.B + 5);
}

void CVisibilityChartWnd::DrawSunIcon(wxGraphicsContext* gc, double cx, double cy, double r)
{
  gc->SetPen(gc->CreatePen(wxGraphicsPenInfo(ArgbColour(0xEBFFAA14), 1.8)));
  for (int i = 0; i < 12; ++i) {
    const double a = i * kTwoPi / 12, c = std::cos(a), s = std::sin(a);
    gc->StrokeLine(cx + (r + 2) * c, cy + (r + 2) * s, cx + (r + 5) * c, cy + (r + 5) * s);
  }
  gc->SetBrush(gc->CreateBrush(wxBrush(ArgbColour(0xFFFFC828))));
  gc->SetPen(gc->CreatePen(wxGraphicsPenInfo(ArgbColour(0xFFE1870A), 1.2)));
  gc->DrawEllipse(cx - r, cy - r, 2 * r, 2 * r);
}

const wxBitmap* CVisibilityChartWnd::EnsureMoonDisk()
{
  if (!m_bMoonDiskTried) {
    m_bMoonDiskTried = 1;
    const std::string path = TheApp().m_szExeDir + "moon_texture.jpg";
    wxImage tex;
    if (wxFileExists(ToWx(path)) && tex.LoadFile(ToWx(path)) && tex.GetWidth() > 0 && tex.GetHeight() > 0) {
      const int w = tex.GetWidth(), h = tex.GetHeight();
      wxImage disc(96, 96);
      disc.InitAlpha();
      for (int j = 0; j < 96; ++j)
        for (int i = 0; i < 96; ++i) {
          const double u = (i + 0.5) / 96 * 2 - 1, v = 1 - (j + 0.5) / 96 * 2, s = 1 - u * u - v * v;
          if (s <= 0) {
            disc.SetAlpha(i, j, 0);
            continue;
          }
          const double lon = std::atan2(u, std::sqrt(s)) / kRadPerDeg, lat = std::asin(v) / kRadPerDeg;
          const int tx = std::clamp(static_cast<int>((lon + 180) / 360 * w), 0, w - 1);
          const int ty = std::clamp(static_cast<int>((90 - lat) / 180 * h), 0, h - 1);
          disc.SetRGB(i, j, tex.GetRed(tx, ty), tex.GetGreen(tx, ty), tex.GetBlue(tx, ty));
          disc.SetAlpha(i, j, 255);
        }
      m_moonDisk = wxBitmap(disc);
    }
  }
  return m_moonDisk.IsOk() ? &m_moonDisk : nullptr;
}

void CVisibilityChartWnd::DrawMoonIcon(wxGraphicsContext* gc, double cx, double cy, double r, double k)
{
  k = std::clamp(k, 0.0, 1.0);
  const double w = std::max(0.4, std::fabs(1 - 2 * k) * r);
  if (const wxBitmap* disc = EnsureMoonDisk()) {
    gc->DrawBitmap(*disc, cx - r, cy - r, 2 * r, 2 * r);
  } else {
    gc->SetPen(*wxTRANSPARENT_PEN);
    gc->SetBrush(gc->CreateBrush(wxBrush(ArgbColour(0xFFE4E2D2))));
    gc->DrawEllipse(cx - r, cy - r, 2 * r, 2 * r);
  }
  // The dark side: the left half of the disc bounded by the terminator's half ellipse.
  wxGraphicsPath path = gc->CreatePath();
  const int steps = 24;
  for (int i = 0; i <= steps; ++i) {
    const double a = (90 + 180.0 * i / steps) * kRadPerDeg;
    if (i == 0)
      path.MoveToPoint(cx + r * std::cos(a), cy + r * std::sin(a));
    else
      path.AddLineToPoint(cx + r * std::cos(a), cy + r * std::sin(a));
  }
  const double sweep = k >= 0.5 ? -180 : 180;
  for (int i = 0; i <= steps; ++i) {
    const double a = (-90 + sweep * i / steps) * kRadPerDeg;
    path.AddLineToPoint(cx + w * std::cos(a), cy + r * std::sin(a));
  }
  path.CloseSubpath();
  gc->SetPen(*wxTRANSPARENT_PEN);
  gc->SetBrush(gc->CreateBrush(wxBrush(ArgbColour(0xCD121426))));
  gc->FillPath(path);
  gc->SetBrush(*wxTRANSPARENT_BRUSH);
  gc->SetPen(gc->CreatePen(wxGraphicsPenInfo(ArgbColour(0xBE3C3C4B), 1)));
  gc->DrawEllipse(cx - r, cy - r, 2 * r, 2 * r);
}

// ---- crosshair ----

void CVisibilityChartWnd::OnMotion(wxMouseEvent& e)
{
  const wxSize size = GetClientSize();
  const ChartPlot p = Plot(size.x, size.y);
  const wxPoint pt = e.GetPosition();
  const int hover = m_bValid && p.exists && pt.x >= 56 && pt.x < p.R && pt.y >= 58 && pt.y < p.B &&
                    !m_dayRows.empty();
  if (hover == m_bHover && (!hover || pt == m_ptMouse))
    return;
  m_bHover = hover;
  m_ptMouse = pt;
  Refresh(false);
}

void CVisibilityChartWnd::DrawCrosshair(wxGraphicsContext* gc, int W, int H)
{
  const CrosshairInfo info = Crosshair(m_ptMouse.x, m_ptMouse.y, W, H, AppObserver());
  if (!info.bShown)
    return;
  const ChartPlot p = Plot(W, H);
  const double x = m_ptMouse.x, y = m_ptMouse.y;
  gc->SetAntialiasMode(wxANTIALIAS_NONE);
  const std::pair<uint32_t, double> pens[2] = {{0x6E000000, 3}, {0xEBFFFFFF, 1}};
  for (const auto& pen : pens) {
    gc->SetPen(gc->CreatePen(wxGraphicsPenInfo(ArgbColour(pen.first), pen.second)));
    gc->StrokeLine(56, y, p.R, y);
    gc->StrokeLine(x, 58, x, p.B);
  }
  gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);

  const wxFont font = ChartFont(12, false);
  double labelW = 0, valueW = 0, lineH = 0;
  for (const auto& row : info.rows) {
    double w, h;
    Measure(gc, font, row.first, w, h);
    labelW = std::max(labelW, w);
    lineH = std::max(lineH, h);
    Measure(gc, font, row.second, w, h);
    valueW = std::max(valueW, w);
    lineH = std::max(lineH, h);
  }
  const double boxW = labelW + valueW + 24, boxH = info.rows.size() * lineH + 12;
  const double bx = std::max(58.0, p.R - 8 - boxW);
  gc->SetBrush(gc->CreateBrush(wxBrush(ArgbColour(0xEEFCFAE6))));
  gc->SetPen(gc->CreatePen(wxGraphicsPenInfo(ArgbColour(0xFF5A5A5A), 1)));
  gc->DrawRectangle(bx, 66, boxW, boxH);
  for (size_t i = 0; i < info.rows.size(); ++i) {
    Text(gc, font, 0xFF5A5A5A, info.rows[i].first, bx + 8, 72 + i * lineH);
    Text(gc, font, 0xFF141414, info.rows[i].second, bx + 8 + labelW + 8, 72 + i * lineH);
  }
}

// ---- copy, keys, menu ----

void CVisibilityChartWnd::CopyImage()
{
  const wxBitmap bmp = RenderChart();
  if (!bmp.IsOk())
    return;
  if (wxTheClipboard->Open()) {
    wxTheClipboard->SetData(new wxBitmapDataObject(bmp));
    wxTheClipboard->Close();
  }
}

void CVisibilityChartWnd::OnKey(wxKeyEvent& e)
{
  const int key = e.GetKeyCode();
  if (key == WXK_RETURN || key == WXK_NUMPAD_ENTER)
    return;  // Enter neither presses a button nor closes the window
  if (e.ControlDown() && (key == 'C' || key == 'c')) {
    CopyImage();
    return;
  }
  e.Skip();
}

void CVisibilityChartWnd::OnRightUp(wxMouseEvent& e)
{
  wxMenu menu;
  menu.Append(ID_COPY_IMAGE, ToWx("画像をコピー(&C)\tCtrl+C"));
  if (GetPopupMenuSelectionFromUser(menu, e.GetPosition()) == ID_COPY_IMAGE)
    CopyImage();
}

CVisibilityChartWnd* OpenVisibilityChart(wxWindow* mainFrame)
{
  CVisibilityChartWnd* wnd = Current();
  if (!wnd)
    wnd = new CVisibilityChartWnd(mainFrame);
  wnd->Show();
  wnd->Raise();
  return wnd;
}

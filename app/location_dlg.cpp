#include "app/location_dlg.h"

#include <memory>

#include <wx/button.h>
#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/graphics.h>
#include <wx/log.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "engine/tool_sinks.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/wx/hand_cursor.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/option_strings.h"

namespace {

constexpr int kMapWidth = 720;
constexpr int kMapHeight = 360;

wxColour Argb(unsigned argb)
{
  return wxColour((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF, (argb >> 24) & 0xFF);
}

} // namespace

std::string LocationTexturePath(const std::string& exeDir)
{
  for (const char* name : {"earth_texture.jpg", "heightmap.jpg"})
    if (FileExists(exeDir + name))
      return exeDir + name;
  return {};
}

bool LocationMapPainter::LoadTexture(const std::string& path)
{
  if (!wxImage::FindHandler(wxBITMAP_TYPE_JPEG))
    wxImage::AddHandler(new wxJPEGHandler);
  m_texture = wxImage();
  if (path.empty() || !FileExists(path))
    return false;
  wxLogNull quiet;  // a broken file simply leaves no texture
  return m_texture.LoadFile(ToWx(path)) && m_texture.IsOk();
}

void LocationMapPainter::Rescale(int width, int height, const MapView& view)
{
  const TextureRect src = TextureSourceRect(view, m_texture.GetWidth(), m_texture.GetHeight());
  // The clamps keep the view inside the world, so the part lies inside the texture.
  wxRect r(static_cast<int>(src.x + 0.5), static_cast<int>(src.y + 0.5), std::max(1, static_cast<int>(src.w + 0.5)),
           std::max(1, static_cast<int>(src.h + 0.5)));
  r.Intersect(wxRect(0, 0, m_texture.GetWidth(), m_texture.GetHeight()));
  m_scaled = wxBitmap(m_texture.GetSubImage(r).Scale(width, height, wxIMAGE_QUALITY_BILINEAR));
  m_scaledWidth = width;
  m_scaledHeight = height;
  m_scaledView = view;
}

wxBitmap LocationMapPainter::Compose(int width, int height, const MapView& view, double lat, double lon)
{
  if (HasTexture() && (width != m_scaledWidth || height != m_scaledHeight || view.zoom != m_scaledView.zoom ||
                       view.centreLon != m_scaledView.centreLon || view.centreLat != m_scaledView.centreLat))
    Rescale(width, height, view);
  wxBitmap picture(width, height, 24);
  wxMemoryDC dc(picture);
  if (HasTexture()) {
    dc.DrawBitmap(m_scaled, 0, 0);
  } else {
    dc.SetBackground(wxBrush(Argb(0xFF1E283C)));
    dc.Clear();
  }
  std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
  if (gc) {
    gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
    const MapArea area{0, 0, width, height};
    gc->SetPen(wxPen(Argb(0x50FFFFFF), 1));
    const double spacing = GraticuleSpacing(view.zoom);
    for (double lonLine : MeridianLongitudes(spacing)) {
      const double x = ToMap(area, view, lonLine, 0).x;
      if (x >= 0 && x <= width)
        gc->StrokeLine(x, 0, x, height);
    }
    for (double latLine : ParallelLatitudes(spacing)) {
      const double y = ToMap(area, view, 0, latLine).y;
      if (y >= 0 && y <= height)
        gc->StrokeLine(0, y, width, y);
    }
    const MapPoint p = ToMap(area, view, lon, lat);
    if (p.x >= 0 && p.x <= width && p.y >= 0 && p.y <= height) {
      gc->SetPen(wxPen(Argb(0xFFFF5050), 2));
      gc->StrokeLine(p.x - 8, p.y, p.x + 8, p.y);
      gc->StrokeLine(p.x, p.y - 8, p.x, p.y + 8);
      gc->SetBrush(*wxTRANSPARENT_BRUSH);
      gc->DrawEllipse(p.x - 4, p.y - 4, 8, 8);
    }
    const wxString label = ToWx(FormatC("×%.0f", view.zoom));
    const wxFont font(wxFontInfo(9).FaceName(ToWx("ＭＳ Ｐゴシック")));
    gc->SetFont(font, Argb(0xBE000000));
    gc->DrawText(label, 5, 4);
    gc->SetFont(font, Argb(0xE6FFFFFF));
    gc->DrawText(label, 4, 3);
  }
  dc.SelectObject(wxNullBitmap);
  return picture;
}

CLocationDlg::CLocationDlg(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, ToWx(OptionText::kLocationCaption)),
      m_lat(TheApp().m_dObsLat), m_lon(TheApp().m_dObsLon), m_tz(TheApp().m_dObsTz)
{
  m_painter.LoadTexture(LocationTexturePath(TheApp().m_szExeDir));
  auto* top = new wxBoxSizer(wxVERTICAL);
  m_map = new wxWindow(this, IDC_MAP, wxDefaultPosition, wxSize(kMapWidth + 2, kMapHeight + 2), wxBORDER_NONE);
  m_map->SetBackgroundStyle(wxBG_STYLE_PAINT);
  top->Add(m_map, 0, wxALL, 8);
  top->Add(new wxStaticText(this, wxID_ANY, ToWx(OptionText::kLocationHint)), 0, wxLEFT | wxRIGHT, 8);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  const char* labels[3] = {OptionText::kLatLabel, OptionText::kLonLabel, OptionText::kTzLabel};
  for (int i = 0; i < 3; ++i) {
    row->Add(new wxStaticText(this, wxID_ANY, ToWx(labels[i])), 0, wxALIGN_CENTER_VERTICAL | wxLEFT, i ? 16 : 0);
    m_edits[i] = new wxTextCtrl(this, IDC_LAT + i, wxString(), wxDefaultPosition, wxSize(90, -1));
    row->Add(m_edits[i], 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 4);
  }
  top->Add(row, 0, wxALL, 8);
  top->Add(new wxStaticText(this, wxID_ANY, ToWx(OptionText::kLocationNote)), 0, wxLEFT | wxRIGHT, 8);
  auto* buttons = new wxStdDialogButtonSizer;
  buttons->AddButton(new wxButton(this, wxID_OK, "OK"));
  buttons->AddButton(new wxButton(this, wxID_CANCEL, ToWx(OptionText::kCancel)));
  buttons->Realize();
  top->Add(buttons, 0, wxALIGN_RIGHT | wxALL, 8);
  SetSizerAndFit(top);
  FillEdits();

  m_map->Bind(wxEVT_PAINT, [this](wxPaintEvent&) { OnPaint(); });
  m_map->Bind(wxEVT_LEFT_DOWN, &CLocationDlg::OnLeftDown, this);
  m_map->Bind(wxEVT_MOUSEWHEEL, &CLocationDlg::OnWheel, this);
  m_map->Bind(wxEVT_RIGHT_DOWN, &CLocationDlg::OnRightDown, this);
  m_map->Bind(wxEVT_MOTION, &CLocationDlg::OnMotion, this);
  m_map->Bind(wxEVT_RIGHT_UP, &CLocationDlg::OnRightUp, this);
  m_map->Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) { m_bDragging = 0; });
  Bind(wxEVT_BUTTON, &CLocationDlg::OnOK, this, wxID_OK);
  Centre();
}

MapArea CLocationDlg::Area() const
{
  const wxSize size = m_map->GetClientSize();
  return {1, 1, size.x - 2, size.y - 2};
}

void CLocationDlg::FillEdits()
{
  m_edits[0]->ChangeValue(ToWx(FormatC("%.2f", m_lat)));
  m_edits[1]->ChangeValue(ToWx(FormatC("%.2f", m_lon)));
  m_edits[2]->ChangeValue(ToWx(FormatC("%.1f", m_tz)));
}

void CLocationDlg::OnPaint()
{
  wxAutoBufferedPaintDC dc(m_map);
  dc.SetBackground(wxBrush(GetBackgroundColour()));
  dc.Clear();
  const MapArea area = Area();
  dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW)));
  dc.SetBrush(*wxTRANSPARENT_BRUSH);
  dc.DrawRectangle(0, 0, area.width + 2, area.height + 2);
  if (!area.Usable())
    return;
  dc.DrawBitmap(m_painter.Compose(area.width, area.height, m_view, m_lat, m_lon), area.left, area.top);
}

void CLocationDlg::OnLeftDown(wxMouseEvent& e)
{
  const MapArea area = Area();
  if (!area.Usable() || !area.Contains(e.GetX(), e.GetY()))
    return;
  const GeoPoint g = FromMap(area, m_view, e.GetX(), e.GetY());
  m_lon = g.lon;
  m_lat = g.lat;
  m_tz = ZoneOfLongitude(g.lon);
  FillEdits();
  m_map->Refresh(false);
}

void CLocationDlg::OnWheel(wxMouseEvent& e)
{
  const MapArea area = Area();
  if (!area.Usable() || !area.Contains(e.GetX(), e.GetY())) {
    e.Skip();
    return;
  }
  if (ZoomAbout(m_view, area, e.GetX(), e.GetY(), e.GetWheelRotation()))
    m_map->Refresh(false);
}

void CLocationDlg::OnRightDown(wxMouseEvent& e)
{
  const MapArea area = Area();
  if (!area.Usable() || !area.Contains(e.GetX(), e.GetY()) || !CanPan(m_view))
    return;
  m_bDragging = 1;
  m_last = e.GetPosition();
  if (!m_map->HasCapture())
    m_map->CaptureMouse();
  m_map->SetCursor(GetHandCursor());
}

void CLocationDlg::OnMotion(wxMouseEvent& e)
{
  const MapArea area = Area();
  if (m_bDragging && area.Usable()) {
    PanBy(m_view, area, e.GetX() - m_last.x, e.GetY() - m_last.y);
    m_last = e.GetPosition();
    m_map->Refresh(false);
    m_map->SetCursor(GetHandCursor());
    return;
  }
  m_map->SetCursor(area.Contains(e.GetX(), e.GetY()) ? wxCursor(wxCURSOR_CROSS) : wxNullCursor);
}

void CLocationDlg::OnRightUp(wxMouseEvent& /*e*/)
{
  EndDrag();
}

void CLocationDlg::EndDrag()
{
  if (!m_bDragging)
    return;
  m_bDragging = 0;
  if (m_map->HasCapture())
    m_map->ReleaseMouse();
  m_map->SetCursor(wxCursor(wxCURSOR_CROSS));
}

void CLocationDlg::OnOK(wxCommandEvent& e)
{
  ObserverLocation loc{StringToDouble(FromWx(m_edits[0]->GetValue())),
                       StringToDouble(FromWx(m_edits[1]->GetValue())),
                       StringToDouble(FromWx(m_edits[2]->GetValue()))};
  StoreLocation(TheApp(), NormaliseLocation(loc));
  e.Skip();
}

void RunLocationDialog(wxWindow* parent)
{
  CLocationDlg dlg(parent);
  if (dlg.ShowModal() != wxID_OK)
    return;
  // The observing-season chart is computed again for the new place.
  if (VisibilityChartSink* chart = ToolSinks().VisibilityChart())
    chart->RequestRecompute();
}

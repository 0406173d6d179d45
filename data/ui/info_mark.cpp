#include "data/ui/info_mark.h"

#include <algorithm>
#include <memory>

#include <wx/dcclient.h>
#include <wx/graphics.h>
#include <wx/settings.h>

CInfoMark::CInfoMark(wxWindow* parent, int id, const wxPoint& pos, const wxSize& size)
{
  // Painted whole each time: no background erase, so hovering does not flicker.
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Create(parent, id, pos, size, wxBORDER_NONE);
  SetInitialSize(size);
  SetCursor(wxCursor(wxCURSOR_HAND));
  Bind(wxEVT_PAINT, &CInfoMark::OnPaint, this);
  Bind(wxEVT_ENTER_WINDOW, [this](wxMouseEvent& e) {
    SetHover(1);
    e.Skip();
  });
  Bind(wxEVT_MOTION, [this](wxMouseEvent& e) {
    SetHover(1);
    e.Skip();
  });
  Bind(wxEVT_LEAVE_WINDOW, [this](wxMouseEvent& e) {
    SetHover(0);
    e.Skip();
  });
  Bind(wxEVT_LEFT_DOWN, [](wxMouseEvent&) {});
  Bind(wxEVT_LEFT_DCLICK, [this](wxMouseEvent& e) { OnLeftUp(e); });
  Bind(wxEVT_LEFT_UP, &CInfoMark::OnLeftUp, this);
}

void CInfoMark::SetHover(int hover)
{
  if (m_bHover == hover)
    return;
  m_bHover = hover;
  Refresh(false);
}

void CInfoMark::OnLeftUp(wxMouseEvent& event)
{
  const wxSize size = GetClientSize();
  const wxPoint at = event.GetPosition();
  if (at.x < 0 || at.y < 0 || at.x >= size.x || at.y >= size.y)
    return;
  wxCommandEvent click(wxEVT_BUTTON, GetId());
  click.SetEventObject(this);
  ProcessWindowEvent(click);
}

void CInfoMark::OnPaint(wxPaintEvent&)
{
  wxPaintDC dc(this);
  const wxSize size = GetClientSize();
  dc.SetBackground(wxBrush(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE)));
  dc.Clear();
  std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
  if (!gc)
    return;
  gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
  const wxColour colour = m_bHover ? wxColour(0, 110, 200) : wxColour(110, 115, 125);
  const double cx = size.x / 2, cy = size.y / 2;
  const double r = std::min(size.x, size.y) * 0.5 - 1.5;
  gc->SetPen(gc->CreatePen(wxGraphicsPenInfo(colour, 1.4)));
  gc->SetBrush(*wxTRANSPARENT_BRUSH);
  gc->DrawEllipse(cx - r, cy - r, 2 * r, 2 * r);
  gc->SetPen(*wxTRANSPARENT_PEN);
  gc->SetBrush(wxBrush(colour));
  gc->DrawEllipse(cx - 0.16 * r, cy - 0.62 * r, 0.32 * r, 0.32 * r);
  gc->DrawRectangle(cx - 0.14 * r, cy - 0.14 * r, 0.28 * r, 0.72 * r);
}

#include "data/ui/help_canvas.h"

#include <algorithm>

#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/display.h>
#include <wx/fontenum.h>

#include "platform/wx/first_show.h"
#include "platform/wx/wx_ui_services.h"

namespace {

constexpr unsigned kCanvasBackground = 0xFAFCFC;  // RGB(252, 252, 250)

// A Japanese proportional face at size points (the four help fonts).
wxFont HelpFont(double points, bool bold)
{
  wxFontInfo info(points);
  info.Family(wxFONTFAMILY_SWISS);
  if (wxFontEnumerator::IsValidFacename("Noto Sans CJK JP"))
    info.FaceName("Noto Sans CJK JP");
  if (bold)
    info.Bold();
  return wxFont(info);
}

wxRect WorkAreaOf(const wxWindow* window)
{
  const int index = window ? wxDisplay::GetFromWindow(window) : wxNOT_FOUND;
  return wxDisplay(index == wxNOT_FOUND ? 0u : static_cast<unsigned>(index)).GetClientArea();
}

} // namespace

wxColour ColorRefColour(unsigned colorRef)
{
  return wxColour(colorRef & 0xFF, (colorRef >> 8) & 0xFF, (colorRef >> 16) & 0xFF);
}

void DrawColoredText(wxDC& dc, int x, int y, const std::string& text, unsigned colorRef)
{
  dc.SetTextForeground(ColorRefColour(colorRef));
  dc.DrawText(ToWx(text), x, y);
}

// ---- canvas ----

CHelpCanvas::CHelpCanvas()
    : m_fontTitle(HelpFont(12, true)), m_fontHeading(HelpFont(10, true)), m_fontText(HelpFont(9.5, false)),
      m_fontSmall(HelpFont(8.5, false))
{
}

bool CHelpCanvas::CreateCanvas(wxWindow* parent)
{
  // The page paints every pixel itself from one off-screen bitmap.
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  // Made at a usable size: GTK complains about a scroll bar allocated in a
  // few pixels, and the dialog lays the canvas out at once anyway.
  if (!Create(parent, IDC_CANVAS, wxPoint(0, 0), wxSize(kHelpMinTrackWidth, kHelpMinTrackHeight),
              wxBORDER_SUNKEN | wxVSCROLL | wxWANTS_CHARS))
    return false;
  SetCursor(wxCursor(wxCURSOR_ARROW));
  Bind(wxEVT_SIZE, &CHelpCanvas::OnSize, this);
  Bind(wxEVT_PAINT, &CHelpCanvas::OnPaint, this);
  for (const auto type : {wxEVT_SCROLLWIN_TOP, wxEVT_SCROLLWIN_BOTTOM, wxEVT_SCROLLWIN_LINEUP,
                          wxEVT_SCROLLWIN_LINEDOWN, wxEVT_SCROLLWIN_PAGEUP, wxEVT_SCROLLWIN_PAGEDOWN,
                          wxEVT_SCROLLWIN_THUMBTRACK, wxEVT_SCROLLWIN_THUMBRELEASE})
    Bind(type, &CHelpCanvas::OnScroll, this);
  Bind(wxEVT_MOUSEWHEEL, &CHelpCanvas::OnMouseWheel, this);
  Bind(wxEVT_KEY_DOWN, &CHelpCanvas::OnKeyDown, this);
  Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& e) {
    SetFocus();
    e.Skip();
  });
  return true;
}

void CHelpCanvas::Measure()
{
  if (!GetHandle())
    return;
  const wxSize client = GetClientSize();
  wxClientDC dc(this);
  dc.SetFont(m_fontText);
  m_nContentHeight = Draw(dc, kHelpMargin, 0, HelpLayoutWidth(client.x), true) + 2 * kHelpMargin;
  m_nScrollPos = ClampHelpScroll(m_nScrollPos, m_nContentHeight, client.y);
  if (client.x >= 2 * kHelpMargin && client.y >= 2 * kHelpLine)
    SetScrollbar(wxVERTICAL, m_nScrollPos, client.y, std::max(m_nContentHeight, 0));
  Refresh(false);
}

void CHelpCanvas::OnSize(wxSizeEvent& event)
{
  event.Skip();
  Measure();
}

void CHelpCanvas::OnPaint(wxPaintEvent&)
{
  wxPaintDC paint(this);
  const wxSize client = GetClientSize();
  if (client.x < 1 || client.y < 1)
    return;
  wxBitmap bitmap(client.x, client.y);
  wxMemoryDC dc(bitmap);
  dc.SetBackground(wxBrush(ColorRefColour(kCanvasBackground)));
  dc.Clear();
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  dc.SetFont(m_fontText);
  dc.SetDeviceOrigin(0, -m_nScrollPos);
  Draw(dc, kHelpMargin, kHelpMargin, HelpLayoutWidth(client.x), false);
  dc.SetDeviceOrigin(0, 0);
  paint.Blit(0, 0, client.x, client.y, &dc, 0, 0);
}

void CHelpCanvas::ScrollTo(int position)
{
  position = ClampHelpScroll(position, m_nContentHeight, ClientHeight());
  if (position == m_nScrollPos)
    return;
  m_nScrollPos = position;
  SetScrollPos(wxVERTICAL, position);
  Refresh(false);
  Update();
}

void CHelpCanvas::OnScroll(wxScrollWinEvent& event)
{
  const int page = ClientHeight() - kHelpLine;
  const wxEventType type = event.GetEventType();
  if (type == wxEVT_SCROLLWIN_TOP)
    ScrollTo(0);
  else if (type == wxEVT_SCROLLWIN_BOTTOM)
    ScrollTo(m_nContentHeight);
  else if (type == wxEVT_SCROLLWIN_LINEUP)
    ScrollTo(m_nScrollPos - kHelpLine);
  else if (type == wxEVT_SCROLLWIN_LINEDOWN)
    ScrollTo(m_nScrollPos + kHelpLine);
  else if (type == wxEVT_SCROLLWIN_PAGEUP)
    ScrollTo(m_nScrollPos - page);
  else if (type == wxEVT_SCROLLWIN_PAGEDOWN)
    ScrollTo(m_nScrollPos + page);
  else
    ScrollTo(event.GetPosition());
}

void CHelpCanvas::OnMouseWheel(wxMouseEvent& event)
{
  if (event.GetWheelAxis() != wxMOUSE_WHEEL_VERTICAL)
    return;
  if (const int pixels = m_wheel.Add(event.GetWheelRotation()))
    ScrollTo(m_nScrollPos - pixels);
}

void CHelpCanvas::OnKeyDown(wxKeyEvent& event)
{
  const int page = ClientHeight() - kHelpLine;
  switch (event.GetKeyCode()) {
  case WXK_PAGEUP: ScrollTo(m_nScrollPos - page); break;
  case WXK_PAGEDOWN: ScrollTo(m_nScrollPos + page); break;
  case WXK_HOME: ScrollTo(0); break;
  case WXK_END: ScrollTo(m_nContentHeight); break;
  case WXK_UP: ScrollTo(m_nScrollPos - kHelpLine); break;
  case WXK_DOWN: ScrollTo(m_nScrollPos + kHelpLine); break;
  default: event.Skip(); break;
  }
}

// ---- dialog ----

bool CHelpDlg::CreatePage(wxWindow* parent)
{
  if (!Create(parent, wxID_ANY, ToWx(m_strTitle), wxDefaultPosition, wxSize(m_nWidth, kHelpMinHeight),
              wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxRESIZE_BORDER))
    return false;
  m_pClose = new wxButton(this, wxID_OK, ToWx("閉じる"));
  CHelpCanvas* canvas = GetCanvas();
  if (!canvas || !canvas->CreateCanvas(this))
    return false;
  SetMinSize(wxSize(kHelpMinTrackWidth, kHelpMinTrackHeight));
  Bind(wxEVT_SIZE, &CHelpDlg::OnDialogSize, this);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Destroy(); }, wxID_OK);
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { Destroy(); });
  Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& e) {
    const int key = e.GetKeyCode();
    if (key == WXK_ESCAPE || key == WXK_RETURN || key == WXK_NUMPAD_ENTER)
      Destroy();
    else
      e.Skip();
  });

  // Open at the largest height the work area allows, measure the page at its
  // real width, then shrink to what the page needs.
  const wxRect work = WorkAreaOf(parent);
  const int maxHeight = HelpMaxHeight(work.height);
  PlaceInWorkArea(maxHeight);
  const int dialogFrame = GetSize().y - GetClientSize().y;
  const int canvasFrame = canvas->GetSize().y - canvas->GetClientSize().y;
  int height =
      HelpFittedHeight(canvas->m_nContentHeight, dialogFrame, m_pClose->GetSize().y, canvasFrame, maxHeight);
  PlaceInWorkArea(height);
  const int overflow = canvas->m_nContentHeight - canvas->ClientHeight();
  if (overflow > 0 && height < maxHeight)
    PlaceInWorkArea(std::min(maxHeight, height + overflow));
  // Readable and closable also beside the modal dialog that opened it.
  KeepOutOfModalGrabs(this);
  Show();
  canvas->SetFocus();
  return true;
}

void CHelpDlg::PlaceInWorkArea(int height)
{
  const wxRect work = WorkAreaOf(GetParent());
  SetSize(work.x + (work.width - m_nWidth) / 2, work.y + std::max(0, (work.height - height) / 2), m_nWidth, height);
  const wxSize client = GetClientSize();
  LayoutPage(client.x, client.y);
  if (CHelpCanvas* canvas = GetCanvas())
    canvas->Measure();
}

void CHelpDlg::OnDialogSize(wxSizeEvent&)
{
  const wxSize client = GetClientSize();
  LayoutPage(client.x, client.y);
}

void CHelpDlg::LayoutPage(int width, int height)
{
  CHelpCanvas* canvas = GetCanvas();
  if (!canvas || !canvas->GetHandle() || !m_pClose)
    return;
  const wxSize button = m_pClose->GetSize();
  canvas->SetSize(0, 0, width, std::max(height - button.y - 12, 2 * kHelpLine));
  m_pClose->Move(width - 10 - button.x, height - button.y - 6);
}

bool CHelpDlg::Destroy()
{
  ClosePage();
  return wxDialog::Destroy();
}

void CHelpDlg::ClosePage()
{
  if (m_bClosed)
    return;
  m_bClosed = true;
  OnPageClosed();
}

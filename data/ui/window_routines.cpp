#include "data/ui/window_routines.h"

#include <wx/app.h>
#include <wx/dc.h>
#include <wx/display.h>
#include <wx/window.h>

#include "data/window_text.h"
#include "platform/ui_services.h"
#include "platform/wx/wx_ui_services.h"

void PlaceNearClientArea(int clientX, int clientY, int width, int height, const wxRect& workArea, int& x, int& y)
{
  x = clientX + 32;
  y = clientY + 32;
  if (workArea.IsEmpty())
    return;
  if (x + width > workArea.GetRight() + 1)
    x = workArea.GetRight() + 1 - width;
  if (y + height > workArea.GetBottom() + 1)
    y = workArea.GetBottom() + 1 - height;
  if (y < workArea.GetTop())
    y = workArea.GetTop();
  if (x < workArea.GetLeft())
    x = workArea.GetLeft();
}

wxString WrapTextForWindow(const wxWindow* window, const std::string& text, int width)
{
  std::vector<WrappedLine> lines;
  LayoutWrappedText(
      text, width, 1,
      [window](std::string_view run) {
        int w = 0, h = 0;
        window->GetTextExtent(ToWx(std::string(run)), &w, &h);
        return w;
      },
      &lines);
  std::string out;
  int lastY = 0;
  for (const WrappedLine& line : lines) {
    if (!out.empty() || line.y > 0)
      out.append(static_cast<size_t>(line.y - lastY), '\n');
    out += line.text;
    lastY = line.y;
  }
  return ToWx(out);
}

namespace CTessaruneLib {

void PlaceNearMainWindow(wxWindow* pWnd)
{
  wxWindow* main = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
  if (!pWnd || !main || pWnd == main)
    return;
  const wxPoint client = main->ClientToScreen(wxPoint(0, 0));
  const wxSize size = pWnd->GetSize();
  int index = wxDisplay::GetFromWindow(main);
  if (index == wxNOT_FOUND)
    index = 0;
  wxRect work;
  if (static_cast<unsigned>(index) < wxDisplay::GetCount())
    work = wxDisplay(static_cast<unsigned>(index)).GetClientArea();
  int x = 0, y = 0;
  PlaceNearClientArea(client.x, client.y, size.x, size.y, work, x, y);
  pWnd->Move(x, y);
}

int PumpOneMessage()
{
  return Ui().PumpOneEvent() ? 1 : 0;
}

int DrawWrappedText(wxDC* pDC, const std::string& szText, int x, int y, int nWidth, bool bCentre,
                    bool bMeasureOnly)
{
  if (!pDC)
    return 0;
  wxCoord w = 0, h = 0, descent = 0, leading = 0;
  pDC->GetTextExtent(ToWx("あ"), &w, &h, &descent, &leading);
  const int lineHeight = WrappedLineHeight(h, leading);
  std::vector<WrappedLine> lines;
  const int height = LayoutWrappedText(
      szText, nWidth, lineHeight,
      [pDC](std::string_view run) {
        wxCoord rw = 0, rh = 0;
        pDC->GetTextExtent(ToWx(std::string(run)), &rw, &rh);
        return static_cast<int>(rw);
      },
      bMeasureOnly ? nullptr : &lines);
  for (const WrappedLine& line : lines) {
    const int lx = bCentre ? x + (nWidth - line.width) / 2 : x;
    pDC->DrawText(ToWx(line.text), lx, y + line.y);
  }
  return height;
}

} // namespace CTessaruneLib

#include "determination/ui/obs_list_ctrl.h"

#include <algorithm>
#include <string_view>
#include <typeinfo>

#include "determination/det_settings.h"
#include "determination/obs_list_cells.h"
#include "determination/ui/determination_view.h"
#include "platform/app_services.h"
#include "platform/ui_services.h"
#include "platform/wx/wx_controls.h"
#include "platform/wx/wx_ui_services.h"

namespace {

wxColour FromColorRef(uint32_t c)
{
  return wxColour(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// The generic list's child that draws the rows (not the header).
wxWindow* RowsWindow(wxListCtrl* list)
{
  for (wxWindow* child : list->GetChildren())
    if (std::string_view(typeid(*child).name()).find("wxListMainWindow") != std::string_view::npos)
      return child;
  return list->GetChildren().empty() ? list : list->GetChildren().front();
}

} // namespace

CObsListCtrl::CObsListCtrl(CDeterminationView* view, wxWindowID id, const wxPoint& pos, const wxSize& size)
    : wxListCtrl(view, id, pos, size, wxLC_REPORT | wxLC_VIRTUAL | wxBORDER_SUNKEN | wxLC_HRULES | wxLC_VRULES),
      m_pView(view)
{
  SetDoubleBuffered(true);
  // The rows are drawn by the list's main window, which gets the mouse.
  wxWindow* rows = RowsWindow(this);
  rows->Bind(wxEVT_MOTION, &CObsListCtrl::OnMouseMove, this);
  rows->Bind(wxEVT_LEAVE_WINDOW, &CObsListCtrl::OnMouseLeave, this);
  rows->Bind(wxEVT_LEFT_DOWN, &CObsListCtrl::OnLeftDown, this);
  rows->Bind(wxEVT_LEFT_UP, &CObsListCtrl::OnLeftUp, this);
  rows->Bind(wxEVT_LEFT_DCLICK, [this](wxMouseEvent& e) {
    m_nPressedItem = -2;  // the release of a double click is no click
    e.Skip();
  });
}

void CObsListCtrl::SetupColumns(const CTessaruneApp& app)
{
  DeleteAllColumns();
  // The widths are the designed ones unless this font needs more for a
  // typical cell or the heading.
  static const char* const kSamples[kObsColumnCount] = {"2015 01 02.360000", "06 30 15.250", "+63 05 04.75",
                                                        "G96Y", "(123.4+)", "(123.4+)", "*RFX", "100"};
  for (int i = 0; i < kObsColumnCount; ++i) {
    const ObsColumnDef& c = kObsColumns[i];
    const int needed = std::max(GetTextExtent(ToWx(kSamples[i])).x, GetTextExtent(ToWx(c.heading)).x) + 16;
    const int width = StoredObsColumnWidth(app, i).value_or(std::max(c.width, needed));
    InsertColumn(i, ToWx(c.heading), c.rightAligned ? wxLIST_FORMAT_RIGHT : wxLIST_FORMAT_LEFT, width);
  }
}

void CObsListCtrl::StoreColumnWidths(CTessaruneApp& app)
{
  for (int i = 0; i < GetColumnCount() && i < kObsColumnCount; ++i)
    StoreObsColumnWidth(app, i, GetColumnWidth(i));
}

void CObsListCtrl::ScrollTo(int index)
{
  const int n = GetItemCount();
  if (n == 0)
    return;
  const int page = std::max(1, GetCountPerPage());
  const int top = std::max(0, std::clamp(index, 0, n - 1) - page / 2);
  EnsureVisible(std::min(n, top + page) - 1);
  EnsureVisible(top);
  Refresh();
  // An improvement scrolls at every iteration: the loop's pumps paint it.
  RepaintNowUnlessJustDone(this);
}

wxString CObsListCtrl::OnGetItemText(long item, long column) const
{
  return ToWx(m_pView->ObsCellText(item, column));
}

wxItemAttr* CObsListCtrl::OnGetItemAttr(long item) const
{
  const ObservationRecord* obs = m_pView->ObsRecord(item);
  if (!obs)
    return nullptr;
  const ObsRowColours c = ObsRowColour(*obs, m_pView->ObsBiasFlag(item));
  if (!c.hasBackground && !c.hasText)
    return nullptr;
  m_attr = wxItemAttr();
  if (c.hasBackground)
    m_attr.SetBackgroundColour(FromColorRef(c.background));
  if (c.hasText)
    m_attr.SetTextColour(FromColorRef(c.text));
  return &m_attr;
}

void CObsListCtrl::OnMouseMove(wxMouseEvent& event)
{
  int flags = 0;
  const long item = HitTest(event.GetPosition(), flags);
  SetHoverItem(item == wxNOT_FOUND ? -1 : static_cast<int>(item));
  event.Skip();
}

// A click is a press and a release: picking runs on the release, before a
// second press can make it a double click.
void CObsListCtrl::OnLeftDown(wxMouseEvent& event)
{
  int flags = 0;
  const long item = HitTest(event.GetPosition(), flags);
  m_nPressedItem = item == wxNOT_FOUND ? -1 : static_cast<int>(item);
  event.Skip();
}

void CObsListCtrl::OnLeftUp(wxMouseEvent& event)
{
  event.Skip();
  const int pressed = m_nPressedItem;
  m_nPressedItem = -2;
  if (pressed == -2)
    return;
  int flags = 0;
  const long item = HitTest(event.GetPosition(), flags);
  m_pView->OnObsListClickAt(item == wxNOT_FOUND ? -1 : static_cast<int>(item));
}

void CObsListCtrl::OnMouseLeave(wxMouseEvent& event)
{
  m_nHoverItem = -1;
  Ui().SetStatusText("");
  event.Skip();
}

void CObsListCtrl::SetHoverItem(int item)
{
  if (item == m_nHoverItem)
    return;
  m_nHoverItem = item;
  Ui().SetStatusText(item < 0 ? std::string() : m_pView->ObsHoverStatus(item));
}

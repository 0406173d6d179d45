#include "neocp/ui/scan_list_ctrl.h"

#include <algorithm>

#include "neocp/scan_dlg.h"
#include "platform/wx/wx_ui_services.h"

namespace {

// COLORREF 0x00BBGGRR.
wxColour FromColorRef(uint32_t c)
{
  return wxColour(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// Room beside a cell's text for the list's own margins, and beside a
// header's for its sort arrow.
constexpr int kCellMargin = 14;
constexpr int kHeaderMargin = 20;

} // namespace

CScanListCtrl::CScanListCtrl(wxWindow* parent, int id, const CNeocpScanDlg* scan)
    : wxListCtrl(parent, id, wxDefaultPosition, wxDefaultSize,
                 wxLC_REPORT | wxLC_VIRTUAL | wxLC_HRULES | wxLC_VRULES | wxBORDER_SUNKEN),
      m_pScan(scan)
{
  for (int i = 0; i < kScanListColumns; ++i) {
    const ScanListColumn& c = kScanListColumnDefs[i];
    AppendColumn(ToWx(c.header), c.right ? wxLIST_FORMAT_RIGHT : wxLIST_FORMAT_LEFT, c.width);
  }
  FitColumns(0, 0, true);
}

void CScanListCtrl::FitColumns(int first, int end, bool bFromDesigned)
{
  // The designed widths are those of a smaller face: each column widens to
  // its header and its widest cell, so that no text is cut off.
  for (int col = 0; col < kScanListColumns; ++col) {
    int width = bFromDesigned ? std::max(kScanListColumnDefs[col].width,
                                         GetTextExtent(ToWx(kScanListColumnDefs[col].header)).x + kHeaderMargin)
                              : GetColumnWidth(col);
    for (int item = first; item < end; ++item)
      width = std::max(width, GetTextExtent(OnGetItemText(item, col)).x + kCellMargin);
    if (width != GetColumnWidth(col))
      SetColumnWidth(col, width);
  }
}

void CScanListCtrl::Refill(int count)
{
  for (long i = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); i >= 0;
       i = GetNextItem(i, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
    SetItemState(i, 0, wxLIST_STATE_SELECTED);
  SetItemCount(count);
  FitColumns(0, count, true);
  Refresh();
}

void CScanListCtrl::ShowRow(int position)
{
  // A row scanned again may hold a longer text than any before: widened, never narrowed.
  FitColumns(position, position + 1, false);
  RefreshItem(position);
}

std::vector<int> CScanListCtrl::SelectedPositions() const
{
  std::vector<int> out;
  for (long i = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); i >= 0;
       i = GetNextItem(i, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
    out.push_back(static_cast<int>(i));
  return out;
}

wxString CScanListCtrl::OnGetItemText(long item, long column) const
{
  if (item < 0 || item >= m_pScan->m_nRows)
    return wxString();
  return ToWx(GetScanListCell(m_pScan->m_pRows[m_pScan->m_pOrder[item]], static_cast<int>(column)));
}

wxListItemAttr* CScanListCtrl::OnGetItemAttr(long item) const
{
  if (item < 0 || item >= m_pScan->m_nRows)
    return nullptr;
  const ScanRowColours c = GetScanRowColours(m_pScan->m_pRows[m_pScan->m_pOrder[item]]);
  if (!c.hasBackground && !c.hasText)
    return nullptr;
  m_attr = wxListItemAttr();
  if (c.hasBackground)
    m_attr.SetBackgroundColour(FromColorRef(c.background));
  if (c.hasText)
    m_attr.SetTextColour(FromColorRef(c.text));
  // A selected just-scanned row keeps its blue text readable on a pale band.
  if (c.keepSelectedReadable && GetItemState(item, wxLIST_STATE_SELECTED))
    m_attr.SetBackgroundColour(FromColorRef(c.selectedBackground));
  return &m_attr;
}

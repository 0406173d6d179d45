// The scan window's follow-up of scanned objects: the known-object match and
// the progress bar that the catalogue scans drive, the geocentric-orbit
// buttons, and the list's double-click and context menu.
#include <algorithm>

#include <wx/app.h>
#include <wx/gauge.h>
#include <wx/listctrl.h>
#include <wx/menu.h>

#include "platform/wx/wx_ui_services.h"
#include "neocp/ui/neocp_scan_wnd.h"
#include "neocp/ui/scan_list_ctrl.h"

namespace {

constexpr int kLinkedOrbitCommand = 1;

// The item under a point of the list's client area, or -1. Item rectangles
// are in the same coordinates (the header included), unlike HitTest's.
long ItemAt(const wxListCtrl* list, wxPoint at)
{
  const long first = list->GetTopItem();
  const long last = std::min<long>(list->GetItemCount(), first + list->GetCountPerPage() + 2);
  for (long i = std::max(0L, first); i < last; ++i) {
    wxRect r;
    if (list->GetItemRect(i, r) && r.Contains(at))
      return i;
  }
  return -1;
}

} // namespace

void CNeocpScanWnd::BindFollowUpEvents()
{
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { MatchKnownObjects(); }, kIdScanMatchKnown);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnSearchByViewOrbit(); }, kIdScanSearchByOrbit);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnShowClonesOnGlobe(); }, kIdScanShowClones);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ShowGeocentricOrbit(0); }, kIdScanShowNominal);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ShowGeocentricOrbit(1); }, kIdScanShowClosest);
  m_pList->Bind(wxEVT_LIST_ITEM_ACTIVATED, [this](wxListEvent& e) { OnRowDoubleClick(static_cast<int>(e.GetIndex())); });
  m_pList->Bind(wxEVT_CONTEXT_MENU, [this](wxContextMenuEvent& e) { OnListContextMenu(e.GetPosition()); });
}

void CNeocpScanWnd::OnListContextMenu(wxPoint screen)
{
  int row = -1;
  wxPoint at(16, 16);  // from the keyboard: near the list's top-left corner
  if (screen == wxDefaultPosition) {
    row = GetSelectedRow();
  } else {
    at = m_pList->ScreenToClient(screen);
    const long item = ItemAt(m_pList, at);
    if (item < 0 || item >= m_nRows)
      return;
    row = m_pOrder[item];
  }
  std::string label;
  bool enabled = false;
  if (!PrepareRowMenu(row, label, enabled))
    return;
  wxMenu menu;
  menu.Append(kLinkedOrbitCommand, ToWx(label))->Enable(enabled);
  if (m_pList->GetPopupMenuSelectionFromUser(menu, at) == kLinkedOrbitCommand)
    ComputeLinkedOrbit(row);
}

void CNeocpScanWnd::RaiseMainWindow()
{
  CNeocpScanDlg::RaiseMainWindow();
  if (wxWindow* main = wxTheApp ? wxTheApp->GetTopWindow() : nullptr)
    main->Raise();
}

void CNeocpScanWnd::SetProgressRange(int range)
{
  CNeocpScanDlg::SetProgressRange(range);
  if (auto* gauge = dynamic_cast<wxGauge*>(Control(kIdScanProgress)))
    gauge->SetRange(range);
}

void CNeocpScanWnd::SetProgressPos(int pos)
{
  CNeocpScanDlg::SetProgressPos(pos);
  if (auto* gauge = dynamic_cast<wxGauge*>(Control(kIdScanProgress)))
    gauge->SetValue(pos);
}

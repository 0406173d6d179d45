#pragma once
// The observation list: a virtual report list that stores no text and asks
// its view for each visible cell, so that 20,000 observations cost nothing
// until they are painted.
#include <wx/listctrl.h>

class CDeterminationView;
class CTessaruneApp;

class CObsListCtrl : public wxListCtrl {
public:
  CObsListCtrl(CDeterminationView* view, wxWindowID id, const wxPoint& pos, const wxSize& size);

  // The eight columns with their stored widths ("OBSCOL%d").
  void SetupColumns(const CTessaruneApp& app);
  // Stores the column widths that are at most 2000.
  void StoreColumnWidths(CTessaruneApp& app);
  // Brings row index near the middle of the page.
  void ScrollTo(int index);

  int m_nHoverItem = -1;

protected:
  wxString OnGetItemText(long item, long column) const override;
  wxItemAttr* OnGetItemAttr(long item) const override;

private:
  void OnMouseMove(wxMouseEvent& event);
  void OnLeftDown(wxMouseEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnMouseLeave(wxMouseEvent& event);
  void SetHoverItem(int item);

  CDeterminationView* m_pView;
  int m_nPressedItem = -2;  // row of the press (-1 none); -2 no click under way
  mutable wxItemAttr m_attr;
};

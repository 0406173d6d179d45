#pragma once
// The scan table's list (control 1515): a virtual report list whose rows
// are the dialog's rows in display order; cells and colours come from the
// table as the list draws them.
#include <wx/listctrl.h>

class CNeocpScanDlg;

class CScanListCtrl : public wxListCtrl {
public:
  CScanListCtrl(wxWindow* parent, int id, const CNeocpScanDlg* scan);

  // Shows the table's current rows (the selection is dropped, as it is when
  // a list is filled again).
  void Refill(int count);
  std::vector<int> SelectedPositions() const;
  // Shows a changed row, its columns widened to its texts.
  void ShowRow(int position);

protected:
  wxString OnGetItemText(long item, long column) const override;
  wxListItemAttr* OnGetItemAttr(long item) const override;

private:
  // Each column as wide as its widest cell of rows first..end - 1, and from
  // its designed width and its header when bFromDesigned, else from its width.
  void FitColumns(int first, int end, bool bFromDesigned);

  const CNeocpScanDlg* m_pScan;
  mutable wxListItemAttr m_attr;
};

#pragma once
// The NEOCP pick dialog (template 209, "NEOCPから観測データを取得"): the
// current NEO Confirmation Page list as a sortable table, fetched once the
// dialog is on the screen and again on "再取得(&R)", and an edit for the
// designation. ShowModal, then m_strDesig after wxID_OK. Main thread only.
#include <string>

#include <wx/dialog.h>

#include "data/neocp_list.h"

class wxButton;
class wxCommandEvent;
class wxListCtrl;
class wxListEvent;
class wxStaticText;
class wxTextCtrl;

class CNeocpDlg : public wxDialog {
public:
  enum {
    IDC_NEOCP_LIST = 1511,
    IDC_NEOCP_DESIG = 1512,
    IDC_NEOCP_STATUS = 1513,
    IDC_NEOCP_REFRESH = 1514,
  };

  explicit CNeocpDlg(wxWindow* pParent);
  ~CNeocpDlg() override;

  void OnRefresh(wxCommandEvent& event);
  void OnListItemChanged(wxListEvent& event);
  void OnListDblClk(wxListEvent& event);
  void OnListColumnClick(wxListEvent& event);
  void OnOK(wxCommandEvent& event);
  void FillList();

  std::string m_strDesig;          // the chosen designation, set by OK
  wxListCtrl* m_list = nullptr;    // control 1511
  NeocpEntry* m_pEntries = nullptr;  // the last successful refresh (free())
  int m_nEntries = 0;
  int m_nSortColumn = -1;          // 0-10; -1 the received order
  int m_bSortDescending = 0;
  // Where the list comes from (the Minor Planet Center's neocp.json).
  std::string m_strListUrl;

private:
  void FreeEntries();

  wxStaticText* m_pStatus = nullptr;
  wxTextCtrl* m_pDesig = nullptr;
};

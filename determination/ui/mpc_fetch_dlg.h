#pragma once
// "MPCから観測データを取得": asks for the designation whose observations the
// Minor Planet Center's service is to send.
#include <string>

#include <wx/dialog.h>

class wxTextCtrl;

class CMpcFetchDlg : public wxDialog {
public:
  enum { IDC_FETCH_DESIGNATION = 1341 };

  explicit CMpcFetchDlg(wxWindow* parent);

  // Closes the dialog only when the trimmed entry is not empty.
  void OnOK(wxCommandEvent& event);

  std::string m_strDesignation;  // the trimmed entry, set by OK
  wxTextCtrl* m_pEdit = nullptr;
};

#pragma once
// Dialogs the application keeps without giving them work, each shown modally
// by a command that no menu, toolbar or key sends: the conversion dialog
// (32771) and the OAA-compatible ephemeris output (146). Their start and
// output buttons do nothing.
#include <wx/dialog.h>

class wxTextCtrl;

class CConversionDlg : public wxDialog {
public:
  explicit CConversionDlg(wxWindow* parent);
};

class COaaChbEphOutput : public wxDialog {
public:
  explicit COaaChbEphOutput(wxWindow* parent);

private:
  void OnBrowseElements(wxCommandEvent& event);
  void OnBrowseOutput(wxCommandEvent& event);

  wxTextCtrl* m_pElementFile = nullptr;  // 1084
  wxTextCtrl* m_pOutputFile = nullptr;   // 1085
};

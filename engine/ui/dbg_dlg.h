#pragma once
// The developer dialog (template 132, "Debug Dialog"): the generator of the
// perturbing-asteroid file with its three fields, its log and its progress
// line, and two checks that print into the log (the test ephemeris of a
// parabolic comet and the planets' places from the planetary file). Shown
// modally by command 32772 and by the ephemeris options page's hidden button.
#include <string>

#include <wx/dialog.h>
#include <wx/font.h>

class wxTextCtrl;
class wxWindow;

class CDbg : public wxDialog {
public:
  enum {
    IDD = 132,
    IDC_EDIT1000 = 1000, IDC_EDIT1001 = 1001, IDC_STATUS = 1002, IDC_BUTTON1 = 1004, IDC_TEST_EPHEMERIS = 1005,
    IDC_LOG = 1006, IDC_PLANET_DUMP = 1075, IDC_BUTTON6 = 1140, IDC_GENERATE = 1496, IDC_START_YEAR = 1497,
    IDC_END_YEAR = 1498, IDC_INTERVAL = 1499, IDC_MESSAGE_EDIT = 1500,
  };

  explicit CDbg(wxWindow* parent);

  wxTextCtrl* m_editLog = nullptr;     // 1006
  wxTextCtrl* m_editStatus = nullptr;  // 1002

private:
  void OnTestEphemeris(wxCommandEvent& event);
  void OnPlanetaryDump(wxCommandEvent& event);
  void OnGenerate(wxCommandEvent& event);

  wxFont m_fontLog;
};

// Appends text to the dialog's log as a new line, scrolls to it and lets one
// window event through.
void AppendDbgLog(CDbg* dialog, const std::string& text);

// Runs the developer dialog modally over parent.
void RunDbgDialog(wxWindow* parent);

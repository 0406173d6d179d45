#pragma once
// The file dialogs of the observation and result files, on wxWidgets:
// ShowFileDialog's open dialog for observation files and its save dialog
// with a choice of output format (CFileOptionDlg), and the folder browser of
// the option pages' "参照" buttons. Main thread only.
#include <string>

#include <wx/event.h>
#include <wx/filedlgcustomize.h>

class wxWindow;

// Types of ShowFileDialog.
inline constexpr int kFileDialogOpenObservations = 1;
inline constexpr int kFileDialogSaveWithFormat = 2;

// Output formats of the save dialog.
enum SaveFormat : int {
  kSaveMpc8Line = 0,     // MPC 8-line elements with residuals
  kSaveStationCheck = 1, // elements with the residuals of one station
  kSaveMpc1Line = 2,     // MPC 1-line elements with residuals
  kSaveSolution = 3,     // the program's own solution file ("_EX")
};

// Type 1: asks for an observation file in the observation folder; szPath
// receives it. Type 2: the save dialog with the proposed name in szPath;
// on OK szPath is the chosen path, *pnFormat the format and *szStation the
// observatory code (empty for format 0). 1 on OK, 0 when cancelled.
int ShowFileDialog(const std::string& szTitle, int nType, std::string& szPath, wxWindow* hWnd, int* pnFormat,
                   std::string* szStation);

// The folder browser titled "フォルダを選んでください", opened on folder (the
// root when it is empty or gone; a final "/" does not matter). On OK
// folder is the chosen one without a final "/". 1 chosen, 0 cancelled.
int BrowseFolderCallback(wxWindow* owner, std::string& folder);

// The format panel under the save dialog: four formats, the observatory
// code (enabled for format 1) and a guide line. The native dialog of GTK
// lets no one rewrite its file name while it is open, so the "_EX" rule of
// the chosen format is applied to the confirmed name (ShowFileDialog).
class CFileOptionDlg : public wxFileDialogCustomizeHook {
public:
  enum {
    IDC_FORMAT_MPC8 = 1186,
    IDC_FORMAT_CHECK = 1187,
    IDC_FORMAT_MPC1 = 1443,
    IDC_FORMAT_SOLUTION = 1472,
    IDC_STATION_LABEL = 1188,
    IDC_STATION_EDIT = 1189,
    IDC_GUIDE = 1190,
  };

  void AddCustomControls(wxFileDialogCustomize& customizer) override;
  void TransferDataFromCustomControls() override;

  // A format button: sets m_nFormat, checks the button, enables the
  // observatory code for format 1 and sets the guide text.
  void ApplyFormat(int format);

  int m_nFormat = kSaveMpc8Line;
  std::string m_szStation;  // at most 3 characters
  int m_bInitialized = 0;

private:
  wxFileDialogRadioButton* m_apFormat[4] = {};
  wxFileDialogStaticText* m_pStationLabel = nullptr;
  wxFileDialogTextCtrl* m_pStation = nullptr;
  wxFileDialogStaticText* m_pGuide = nullptr;
};

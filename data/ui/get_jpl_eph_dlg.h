#pragma once
// The planetary-file download dialog (template 163, "惑星データ受信(DE406/DE441)").
// Each download button starts its download and, pressed again while it
// runs, cancels it; the work itself is data/planetary_download.h, run on the
// main thread with one event dispatched per chunk. Main thread only.
#include <string>

#include <wx/dialog.h>

#include "data/planetary_download.h"

class wxButton;
class wxCloseEvent;
class wxCommandEvent;
class wxGauge;
class wxStaticText;

class CGetJplEph : public wxDialog {
public:
  enum {
    IDC_PROGRESS = 1148,
    IDC_RECEIVE_DE406 = 1149,
    IDC_PERCENT = 1150,
    IDC_STATUS = 1151,
    IDC_RECEIVE_DE441 = 1211,
  };

  // Created without a parent, as the start-up shows it before the main window.
  explicit CGetJplEph(wxWindow* pParent = nullptr);

  // Disables each download button whose target file exists.
  void OnInitDialog();
  void OnReceiveDe406(wxCommandEvent& event);
  void OnReceiveDe441(wxCommandEvent& event);
  // Converts "de406.unx" of the data folder into the DE406 target; 0 on success.
  int ConvertDe406ToLittleEndian();

  int m_bRunning = 0;  // 1 while a download (either kind) runs
  int m_bCancel = 0;   // 1 when the running download is to stop
  wxGauge* m_progress = nullptr;  // control 1148, range 0..100

private:
  PlanetaryDownloadHost MakeHost(int runningButton, const char* idleCaption);
  void OnClose(wxCloseEvent& event);
  void OnCloseButton(wxCommandEvent& event);

  wxButton* m_pClose = nullptr;
  wxButton* m_pDe406 = nullptr;
  wxButton* m_pDe441 = nullptr;
  wxStaticText* m_pPercent = nullptr;
  wxStaticText* m_pStatus = nullptr;
};

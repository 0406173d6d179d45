#pragma once
// The cancel dialog of the busy guard (template 106, "計算中", one button
// "中止(&C)"), on wxWidgets. GTK allows no second GUI thread, so the dialog is
// modeless on the main thread; the running calculation delivers its events
// through PumpAndCheckCancel. Main thread only.
#include <set>

#include <wx/dialog.h>
#include <wx/timer.h>

#include "engine/orbit_engine.h"

class CCancelDlg : public wxDialog {
public:
  enum { IDD = 106, IDC_STOP = 1105, kBusyTimerId = 1 };

  // pnBusy: when set, the dialog closes itself once *pnBusy is 0 (checked every 100 ms).
  CCancelDlg(wxWindow* parent, OrbitEngine& engine, int* pnBusy);
  ~CCancelDlg() override;

  // Publishes the dialog in the engine, clears the cancel flag, starts the busy watch.
  void OnInitDialog();
  void OnStopButton(wxCommandEvent& event);
  void OnCharHook(wxKeyEvent& event);
  void OnTimer(wxTimerEvent& event);
  void OnClose(wxCloseEvent& event);
  // Unpublishes the dialog at once and destroys the window.
  void CloseDialog();

  int* m_pnCancel = nullptr;           // the engine's m_nCancel
  void** m_phWnd = nullptr;            // the engine's m_hCancelDlg
  int* m_pnBusy = nullptr;             // the engine's m_bBusy, or null
  CCancelDlg** m_ppDlg = nullptr;      // the engine's m_pCancelDlg

private:
  wxTimer m_timer;
  bool m_bClosing = false;
};

// CancelDialogService on CCancelDlg.
class WxCancelDialogs : public CancelDialogService {
public:
  void Open(OrbitEngine& engine, int* pnBusy) override;
  void PostClose(OrbitEngine& engine, void* hDlg) override;
  bool IsLiveWindow(void* hDlg) const override;

  void Forget(CCancelDlg* dlg) { m_live.erase(dlg); }

private:
  std::set<const void*> m_live;
};

// The cancel key (Esc) during a calculation of engine: what "中止(&C)" does,
// also before the dialog has come up. False when the engine runs nothing.
bool CancelByKey(OrbitEngine& engine);

// Installs the window implementation for the life of the process (start-up).
void InstallCancelDialogs();

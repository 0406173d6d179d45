#pragma once
// "NEOCPの全天体を走査(開発者用)" (template 210): the developer's modeless window
// onto the NEOCP scan. What it does is CNeocpScanDlg; this class gives it the
// widgets, the event pump of the running program, the timer and the lock of
// the application. Created by command 32821 of the orbit-determination view,
// which holds it in m_pNeocpScanDlg.
#include <map>
#include <memory>

#include <wx/dialog.h>
#include <wx/timer.h>

#include "neocp/scan_dlg.h"

class CScanListCtrl;
class WxControlWindow;
class wxTextCtrl;

class CNeocpScanWnd : public wxDialog, public CNeocpScanDlg {
public:
  enum { IDD = 210 };
  CNeocpScanWnd(wxWindow* parent, CDetermination* view);
  ~CNeocpScanWnd() override;

  // ---- controls by id ----
  std::string GetItemText(int id) override;
  void SetItemText(int id, const std::string& text) override;
  int IsChecked(int id) override;
  void SetCheck(int id, int checked) override;
  bool IsItemEnabled(int id) override;
  void EnableItem(int id, bool enable) override;
  void SetStatusText(const std::string& text) override;
  EngineWindow* EngineTextWindow() override;

  wxWindow* Control(int id) const;
  CScanListCtrl* List() const { return m_pList; }
  // The client size the dialog was laid out in (its smallest).
  wxSize InitialClientSize() const { return m_sizeClient; }

protected:
  std::vector<int> SelectedListPositions() override;
  void ShowListItems() override;
  void ShowListRow(int position) override;
  void InsertLogText(const std::string& text) override;
  bool DispatchPendingEvents(int max) override;
  void LockApplication() override;
  void UnlockApplication() override;
  void StartScanTimer() override;
  void StopScanTimer() override;
  void OpenFolder(const std::string& path) override;
  void CloseWindow() override;
  // The scan run's side (neocp_scan_wnd_run.cpp).
  void SelectListPositions(const std::vector<int>& positions) override;
  void EnsureListItemVisible(int position) override;
  void SelectListItem(int position, bool center) override;
  void ShowScanMessage(const std::string& text) override;
  bool ChooseObservationFiles(std::vector<std::string>& files) override;
  void PostCloseMainWindow() override;

public:
  void SetProgressRange(int range) override;
  void SetProgressPos(int pos) override;
  void RaiseMainWindow() override;

private:
  void CreateControls();
  void OnInitDialog();
  void BindEvents();
  // The buttons and list actions that follow up scanned objects (scan_follow_up_wnd.cpp).
  void BindFollowUpEvents();
  void BindScanRunEvents();
  // The list's context menu; screen is wxDefaultPosition from the keyboard.
  void OnListContextMenu(wxPoint screen);
  void RecordLayout();
  void OnSize(wxSizeEvent& event);

  std::map<int, wxWindow*> m_controls;
  CScanListCtrl* m_pList = nullptr;
  wxTextCtrl* m_pLog = nullptr;
  wxTextCtrl* m_pEngineText = nullptr;
  std::unique_ptr<WxControlWindow> m_engineWindow;
  wxTimer m_timer;
  wxSize m_sizeClient;
  std::map<int, wxRect> m_rcCtl;
  bool m_bLocked = false;
};

// Command 32821: opens the one scan dialog of the view, or shows it again.
void OpenNeocpScanDialog(CDetermination* view, wxWindow* parent);
// Registers command 32821 with the shell.
void RegisterNeocpScanDialog();

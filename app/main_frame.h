#pragma once
// The main window: menus, toolbar and status bar; routes the commands that
// open the function views and the tool windows, keeps at most one function
// view visible, and saves the window positions when it closes.
#include <functional>
#include <optional>
#include <vector>

#include <wx/docmdi.h>
#include <wx/timer.h>
#include <wx/weakref.h>

#include "app/command_routing.h"
#include "app/window_positions.h"

class CChildFrame;
class CFormView;

// Windows of the subsystems above the shell that a main-frame command opens
// (the tool windows): registered before the frame is made, like the views.
using ToolWindowCommand = std::function<void(wxWindow* mainFrame)>;
void RegisterToolWindowCommand(int id, ToolWindowCommand open);
const ToolWindowCommand* FindToolWindowCommand(int id);

// FillEphemeridesFromCurrentOrbit: opens the ephemeris view when needed and
// fills it from the current orbit; registered by the ephemeris view, run by
// the ephemeris command and the orbit-determination view's "位置推算へ".
using EphemerisFill = std::function<void()>;
void RegisterEphemerisFill(EphemerisFill fill);
void FillEphemeridesFromCurrentOrbit();

class CMainFrame : public wxDocMDIParentFrame {
public:
  CMainFrame() = default;

  // Makes the window with menu 128, the toolbar and the five-pane status bar,
  // at (0, 0), 800 x 600. False when the window or one of its bars cannot be made.
  bool Create(wxDocManager* manager);

  // Child frames, the active one first.
  std::vector<CChildFrame*> ChildFrames() const;
  // The first visible frame showing that function view; null when none.
  CChildFrame* FindVisibleFrame(FunctionView kind) const;
  // The first visible function view (at most four frames are looked at).
  std::optional<FunctionView> VisibleFunctionView() const;
  // That view in any frame, shown or hidden; null when none.
  CFormView* FindFunctionView(FunctionView kind) const;
  // Activates (restoring first) the visible frame of that view; false when none.
  bool ActivateView(FunctionView kind);
  // A function-view command: activate its view, or do nothing while another
  // function view is visible, or open it through its template.
  void OpenFunctionView(FunctionView kind);

  // The first start (no stored placement): grows the window by what the
  // active view lacks of its designed size, within the work area.
  void GrowToActiveView();

  // The window's rectangle when neither maximised nor minimised.
  PixelRect NormalRect() const { return m_rcNormal; }
  void SetNormalRect(const PixelRect& r);

  // The orbit-determination frame hidden while the ephemeris view shows its
  // orbit: hiding keeps the first frame hidden while it still exists; the
  // ephemeris view's end shows it again, activated and maximised.
  void HideDeterminationFrame(CChildFrame* frame);
  void RestoreHiddenDeterminationFrame();
  wxWeakRef<CChildFrame> m_hHiddenDetFrame;

private:
  void BuildToolBar();
  void BuildStatusBar();
  void UpdateIndicators();
  // The desktop's work area of the frame's monitor (1024 x 768 at the origin when unknown).
  PixelRect WorkArea() const;

  void OnClose(wxCloseEvent& event);
  void OnSizeOrMove();
  void OnFunctionViewCommand(wxCommandEvent& event);
  void OnEphemerides(wxCommandEvent& event);
  void OnQuietCommand(wxCommandEvent& event);
  void OnResetPositions(wxCommandEvent& event);
  void OnUpdateStationCodes(wxCommandEvent& event);
  void OnConversionDialog(wxCommandEvent& event);
  void OnOaaEphOutput(wxCommandEvent& event);
  void OnToggleToolBar(wxCommandEvent& event);
  void OnToggleStatusBar(wxCommandEvent& event);

  void OnUpdateFormRule(wxUpdateUIEvent& event);
  void OnUpdateToolRule(wxUpdateUIEvent& event);
  void OnUpdateEnabled(wxUpdateUIEvent& event);
  void OnUpdateDisabled(wxUpdateUIEvent& event);
  void OnUpdateToolBarCheck(wxUpdateUIEvent& event);
  void OnUpdateStatusBarCheck(wxUpdateUIEvent& event);

  PixelRect m_rcNormal{0, 0, 800, 600};
  wxTimer m_indicatorTimer;

  wxDECLARE_DYNAMIC_CLASS(CMainFrame);
};

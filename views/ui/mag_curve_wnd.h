#pragma once
// The magnitude curve's window "光度曲線": a tool window whose canvas paints
// the plot band above the law's controls and the formula below them. Every
// rule lives in CMagCurveDlg; this class is its window.
#include <map>

#include <wx/bitmap.h>
#include <wx/dialog.h>
#include <wx/timer.h>

#include "views/mag_curve.h"

class wxPanel;

class CMagCurveWnd : public wxDialog, public CMagCurveDlg {
public:
  explicit CMagCurveWnd(wxWindow* parent);
  ~CMagCurveWnd() override;

  bool HasWindow() const override { return true; }
  bool HasItem(int id) const override;
  std::string GetItemText(int id) override;
  void SetItemText(int id, const std::string& text) override;
  int IsChecked(int id) override;
  void SetCheck(int id, int checked) override;
  void EnableItem(int id, bool enable) override;
  bool IsItemEnabled(int id) override;
  void ShowItem(int id, bool show) override;
  bool IsItemVisible(int id) override;
  void SetReadOnly(int id, bool readOnly) override;
  bool IsReadOnly(int id) override;
  bool ItemRect(int id, SceneRect& rect) const override;
  void Invalidate() override;
  void InvalidatePlot(int bFormula) override;
  void ClientSize(int& w, int& h) const override;
  void RestartApparitionTimer() override;
  void KillApparitionTimer() override;

  // The plot band in copy mode as a bitmap (client width x band height).
  wxBitmap RenderCopy();
  // "コピー(&P)" and Ctrl+C: that bitmap on the clipboard.
  void OnCopy();

  wxPanel* Canvas() const { return m_pCanvas; }

private:
  void BuildControls();
  void BindControls();
  void OnPaint();
  void OnKey(wxKeyEvent& e);
  // The plot band's mouse: forwarded to the gestures, with the capture and
  // the cursor they ask for.
  void BindMouse();
  void OnMouse(wxMouseEvent& e);
  void OnWheel(wxMouseEvent& e);
  void ShowCursor(MagCursor cursor);
  wxWindow* Item(int id) const;

  wxPanel* m_pCanvas = nullptr;
  MagCursor m_cursor = MagCursor::Default;
  wxTimer m_apparitionTimer;  // timer 1: the element sets of a newly published solution
};

// Command 32800: makes the window once, shows it, and returns it.
CMagCurveWnd* OpenMagCurve(wxWindow* mainFrame);

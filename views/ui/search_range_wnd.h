#pragma once
// The search range's window "捜索範囲(変差線)": a fixed-size tool window with
// the target date, T±, 刻み and 視野 edits, the buttons, the chart canvas and
// the table. Every rule lives in CSearchRangeDlg; this class is its window.
#include <wx/bitmap.h>
#include <wx/dialog.h>

#include "views/search_range.h"

class wxPanel;
class wxTextCtrl;

class CSearchRangeWnd : public wxDialog, public CSearchRangeDlg {
public:
  explicit CSearchRangeWnd(wxWindow* parent);
  ~CSearchRangeWnd() override;

  bool HasWindow() const override { return true; }
  std::string GetItemText(int id) override;
  void SetItemText(int id, const std::string& text) override;
  void InvalidateAll() override;
  void InvalidateChart() override;

  // "表コピー(&T)": the whole table on the clipboard, the selection kept.
  void OnCopyTable();
  // The picture "画像コピー(&G)" copies; null when the chart area is empty.
  wxBitmap RenderCopyImage();
  void OnCopyImage();

  wxPanel* Chart() const { return m_pChart; }
  wxTextCtrl* Table() const { return m_pTable; }
  int m_nChartPaints = 0;  // paints of the chart canvas

private:
  void BuildControls();
  void BindControls();
  void OnChartPaint();
  void OnWheel(wxMouseEvent& e);
  void OnKey(wxKeyEvent& e);
  wxTextCtrl* Edit(int id) const;

  wxPanel* m_pChart = nullptr;
  wxTextCtrl* m_pTable = nullptr;
  int m_nWheelSum = 0;  // smooth-scroll deltas not yet a whole notch
};

// Command 32813 and the feeders' commands: makes the window once, shows it, and returns it.
CSearchRangeWnd* OpenSearchRange(wxWindow* mainFrame);

#pragma once
// The modeless help windows: a CHelpDlg (one "閉じる" button) hosting one
// CHelpCanvas, a scrolling child on which a page draws its text and figures.
// A page is made with new by its owner and deletes itself when closed; its
// OnPageClosed clears the pointer by which the owner finds it. Main thread
// only.
#include <string>

#include <wx/dialog.h>
#include <wx/font.h>
#include <wx/window.h>

#include "data/help_layout.h"

class wxButton;
class wxDC;

// A colour given as 0x00BBGGRR (the form the pages' colour tables use).
wxColour ColorRefColour(unsigned colorRef);

// Sets the text colour and writes text (UTF-8) at (x, y) in one line.
void DrawColoredText(wxDC& dc, int x, int y, const std::string& text, unsigned colorRef);

class CHelpCanvas : public wxWindow {
public:
  enum : int { IDC_CANVAS = 1335 };

  CHelpCanvas();
  // Makes the window: a child of the dialog with a sunken edge and a
  // vertical scroll bar.
  bool CreateCanvas(wxWindow* parent);

  // Lays the page out from (x, y) within width and draws it unless
  // bMeasureOnly; the height of the content below y, the same in both modes.
  // The DC arrives with m_fontText selected; a page restores what it selects.
  virtual int Draw(wxDC& dc, int x, int y, int width, bool bMeasureOnly) = 0;

  // Scrolls to position (clamped to the page) and repaints at once.
  void ScrollTo(int position);
  // Measures the page at the client width and sets the scroll bar.
  void Measure();
  int ClientHeight() const { return GetClientSize().y; }

  wxFont m_fontTitle;    // 12 pt bold
  wxFont m_fontHeading;  // 10 pt bold
  wxFont m_fontText;     // 9.5 pt
  wxFont m_fontSmall;    // 8.5 pt
  int m_nContentHeight = 0;  // the whole page with its margins; 0 until measured
  int m_nScrollPos = 0;

private:
  void OnSize(wxSizeEvent& event);
  void OnPaint(wxPaintEvent& event);
  void OnScroll(wxScrollWinEvent& event);
  void OnMouseWheel(wxMouseEvent& event);
  void OnKeyDown(wxKeyEvent& event);

  WheelAccumulator m_wheel;
};

class CHelpDlg : public wxDialog {
public:
  CHelpDlg(const std::string& title, int width) : m_strTitle(title), m_nWidth(width) {}

  // Makes the modeless window on parent, sizes it to its page within the
  // work area and shows it; false (nothing shown) when a window could not be
  // made: the caller then deletes the object.
  bool CreatePage(wxWindow* parent);

  // The page's canvas (made with the page, given its window by CreatePage).
  virtual CHelpCanvas* GetCanvas() = 0;
  // Called once just before the page goes away.
  virtual void OnPageClosed() {}

  // Closing ("閉じる", Enter, Esc, the close box) destroys the window.
  bool Destroy() override;

  std::string m_strTitle;
  int m_nWidth;

protected:
  // Runs OnPageClosed once; the concrete pages call it from their
  // destructors too, for a page deleted with its parent window.
  void ClosePage();

private:
  void OnDialogSize(wxSizeEvent& event);
  void LayoutPage(int width, int height);
  void PlaceInWorkArea(int height);

  wxButton* m_pClose = nullptr;
  bool m_bClosed = false;
};

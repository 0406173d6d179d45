#pragma once
// The single information-help window: a topic text ("■" lines are headings,
// other lines paragraphs, empty lines gaps) in a modeless window 620 pixels
// wide with its own scrolling canvas. Main thread only.
#include <string>

#include <wx/dialog.h>
#include <wx/scrolwin.h>

class CInfoHelpCanvas : public wxScrolledWindow {
public:
  CInfoHelpCanvas(wxWindow* parent, const std::string& text);

  // Lays out (and, unless bMeasureOnly, draws) the text from y at x within
  // width; the height it takes.
  int Draw(wxDC& dc, int x, int y, int width, bool bMeasureOnly);

  std::string m_strText;

private:
  void OnPaint(wxPaintEvent& event);
  void OnSize(wxSizeEvent& event);
};

class CInfoHelp : public wxDialog {
public:
  CInfoHelp(wxWindow* parent, const std::string& title, const std::string& text);
  ~CInfoHelp() override;

  CInfoHelpCanvas* GetCanvas() const { return m_pCanvas; }

private:
  CInfoHelpCanvas* m_pCanvas = nullptr;
};

// The open information-help window, or null.
extern CInfoHelp* g_pInfoHelp;

// Shows the topic: the open window when it has this title (brought to the
// front), else a new window in place of any open one.
void ShowInfoHelp(const std::string& title, const std::string& text, wxWindow* parent);

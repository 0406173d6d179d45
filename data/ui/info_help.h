#pragma once
// The single information-help window: a topic text ("■" lines are headings,
// other lines paragraphs, empty lines gaps) on a help canvas in a modeless
// help dialog 620 pixels wide. Main thread only.
#include <string>

#include "data/ui/help_canvas.h"

class CInfoHelpCanvas : public CHelpCanvas {
public:
  explicit CInfoHelpCanvas(const std::string& text) : m_strText(text) {}

  int Draw(wxDC& dc, int x, int y, int width, bool bMeasureOnly) override;

  std::string m_strText;
};

class CInfoHelp : public CHelpDlg {
public:
  CInfoHelp(const std::string& title, const std::string& text);
  ~CInfoHelp() override;

  CHelpCanvas* GetCanvas() override { return m_pCanvas; }
  // Gives up its place as the open window as soon as it closes.
  bool Destroy() override;

private:
  CInfoHelpCanvas* m_pCanvas;
};

// The open information-help window, or null.
extern CInfoHelp* g_pInfoHelp;

// Shows the topic: the open window when it has this title (brought to the
// front), else a new window in place of any open one.
void ShowInfoHelp(const std::string& title, const std::string& text, wxWindow* parent);

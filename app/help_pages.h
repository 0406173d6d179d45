#pragma once
// The four illustrated help pages: the three-observation selection of the
// orbit-determination view, the non-gravitational significance test, original
// and future orbits, and the clone count of the impact probability. Each is a
// modeless help dialog whose canvas draws fixed text and figures (the same
// picture every time); one window per page kind, found through its pointer.
#include <string>
#include <vector>

#include "data/ui/help_canvas.h"

// ---- text items of the impact, original/future and three-observation pages ----

enum HelpItemKind : int { kHelpHeading = 0, kHelpParagraph = 1, kHelpFormula = 2, kHelpNote = 3 };

struct HelpTextItem {
  int kind;
  const char* text;
};

// Lays the items out from y at x within width (each after its space before,
// followed by 3 pixels) and draws them unless bMeasureOnly; the height used.
int DrawHelpItems(const CHelpCanvas& canvas, wxDC& dc, int x, int y, int width, bool bMeasureOnly,
                  const std::vector<HelpTextItem>& items);
// A page title at (x, y) with its rule 4 pixels below when drawing; its height.
int DrawHelpTitle(const CHelpCanvas& canvas, wxDC& dc, int x, int y, int width, bool bMeasureOnly,
                  const std::string& title);

// ---- pages ----

class CImpactHelpCanvas : public CHelpCanvas {
public:
  int Draw(wxDC& dc, int x, int y, int width, bool bMeasureOnly) override;
};

class COrgFutHelpCanvas : public CHelpCanvas {
public:
  int Draw(wxDC& dc, int x, int y, int width, bool bMeasureOnly) override;
};

class CPrepareHelpCanvas : public CHelpCanvas {
public:
  int Draw(wxDC& dc, int x, int y, int width, bool bMeasureOnly) override;
  // The four closing items; the height used with the 3 pixels after the last.
  int DrawItems(wxDC& dc, int x, int y, int width, bool bMeasureOnly, const std::vector<HelpTextItem>& items);
};

class CNgHelpCanvas : public CHelpCanvas {
public:
  int Draw(wxDC& dc, int x, int y, int width, bool bMeasureOnly) override;
  // Figure 0-2 from (x, y) within width; its height (214, 214, 226).
  int DrawFigure(wxDC& dc, int x, int y, int width, int figure, bool bMeasureOnly);

private:
  int DrawTable(wxDC& dc, int x, int y, int width, int table, bool bMeasureOnly);
};

// A page whose canvas is made with it and given its window when the page opens.
template <class Canvas>
class CHelpPage : public CHelpDlg {
public:
  CHelpPage(const char* title, int width) : CHelpDlg(title, width), m_pCanvas(new Canvas) {}
  ~CHelpPage() override
  {
    // A canvas whose window was never made is no child to be deleted.
    if (!m_pCanvas->GetHandle())
      delete m_pCanvas;
  }
  CHelpCanvas* GetCanvas() override { return m_pCanvas; }
  Canvas* m_pCanvas;
};

class CImpactHelp : public CHelpPage<CImpactHelpCanvas> {
public:
  CImpactHelp() : CHelpPage("クローン数とは", 560) {}
  ~CImpactHelp() override { ClosePage(); }
  void OnPageClosed() override;
};

class COrgFutHelp : public CHelpPage<COrgFutHelpCanvas> {
public:
  COrgFutHelp() : CHelpPage("原初軌道・未来軌道とは", 560) {}
  ~COrgFutHelp() override { ClosePage(); }
  void OnPageClosed() override;
};

class CPrepareHelp : public CHelpPage<CPrepareHelpCanvas> {
public:
  CPrepareHelp() : CHelpPage("前準備(3点選択)とは", 620) {}
  ~CPrepareHelp() override { ClosePage(); }
  void OnPageClosed() override;
};

class CNgHelp;
// A window that keeps one non-gravitational help page open (the test dialog).
struct CNgHelpOwner {
  CNgHelp* m_pNgHelp = nullptr;
};

class CNgHelp : public CHelpPage<CNgHelpCanvas> {
public:
  explicit CNgHelp(CNgHelpOwner* owner) : CHelpPage("非重力効果の判定とは", 700), m_pOwner(owner) {}
  ~CNgHelp() override { ClosePage(); }
  void OnPageClosed() override;
  CNgHelpOwner* m_pOwner;
};

// The open pages, or null.
extern CImpactHelp* g_pImpactHelp;
extern COrgFutHelp* g_pOrgFutHelp;
extern CPrepareHelp* g_pPrepareHelp;

// Each shows its page: the open one brought to the front, else a new window
// on parent.
void ShowImpactHelp(wxWindow* parent);
void ShowOrgFutHelp(wxWindow* parent);
void ShowPrepareHelp(wxWindow* parent);
void ShowNgHelp(CNgHelpOwner* owner, wxWindow* parent);

#pragma once
// The perturber-approach graph window ("摂動体接近グラフ", template 167): a
// tab per body over the graph area, a readout and three date labels. The
// drawing itself is computed by LayoutApproachGraph; this window paints it.
#include <wx/dialog.h>

#include "app/registry/window_registry.h"
#include "engine/approach_graph.h"

class wxNotebook;
class wxPanel;
class wxStaticText;
class wxTextCtrl;

class CMpDisGraphWnd : public wxDialog, public CMpDisGraphDlg {
public:
  enum { IDD = 167, IDC_TABS = 1159, IDC_GRAPH = 1160, IDC_READOUT = 1163, IDC_DATE_START = 1165,
         IDC_DATE_MIDDLE = 1166, IDC_DATE_END = 1167 };

  explicit CMpDisGraphWnd(wxWindow* parent);

  void RefreshTabs() override;
  void DrawGraph() override;

private:
  void OnTabChange(wxCommandEvent& event);
  void OnPaintGraph(wxPaintEvent& event);
  void OnGraphClick(wxMouseEvent& event);
  void OnCloseWindow(wxCloseEvent& event);

  wxNotebook* m_pTabs = nullptr;
  wxPanel* m_pGraph = nullptr;
  wxTextCtrl* m_pReadout = nullptr;
  wxStaticText* m_pDates[3] = {};
  int m_nCursorX = -1;  // x of the cursor line, -1 for none
};

// Creates the application's graph when it holds none (stored in
// OpenWindows().m_pMpDisGraphDlg), then shows it. Closing hides the window;
// the object lives until the process ends.
CMpDisGraphWnd* OpenMpDisGraph(wxWindow* parent);

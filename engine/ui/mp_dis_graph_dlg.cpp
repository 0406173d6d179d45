#include "engine/ui/mp_dis_graph_dlg.h"

#include <wx/dcbuffer.h>
#include <wx/notebook.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "app/registry/window_registry.h"
#include "engine/determination_host.h"
#include "platform/app_services.h"
#include "platform/wx/wx_ui_services.h"

namespace {

wxColour Colour(uint32_t rgb)
{
  return wxColour((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

int CurrentSet()
{
  CDetermination* det = OpenWindows().m_pDetermination;
  return det && det->m_pEngine ? det->m_pEngine->m_nAsteroidSet : 0;
}

} // namespace

CMpDisGraphWnd::CMpDisGraphWnd(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, wxString::FromUTF8("摂動体接近グラフ"), wxDefaultPosition, wxSize(538, 255),
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER)
{
  auto* top = new wxBoxSizer(wxVERTICAL);
  m_pTabs = new wxNotebook(this, IDC_TABS);
  top->Add(m_pTabs, 0, wxEXPAND);
  m_pGraph = new wxPanel(this, IDC_GRAPH, wxDefaultPosition, wxSize(530, 150));
  m_pGraph->SetBackgroundStyle(wxBG_STYLE_PAINT);
  top->Add(m_pGraph, 1, wxEXPAND | wxALL, 2);
  auto* dates = new wxBoxSizer(wxHORIZONTAL);
  for (int i = 0; i < 3; ++i) {
    const long align = i == 0 ? wxALIGN_LEFT : i == 1 ? wxALIGN_CENTRE_HORIZONTAL : wxALIGN_RIGHT;
    m_pDates[i] = new wxStaticText(this, IDC_DATE_START + i, "-YYYY/MM/DD", wxDefaultPosition, wxDefaultSize,
                                   align | wxST_NO_AUTORESIZE);
    dates->Add(m_pDates[i], 1);
  }
  top->Add(dates, 0, wxEXPAND | wxLEFT | wxRIGHT, 2);
  m_pReadout = new wxTextCtrl(this, IDC_READOUT, "", wxDefaultPosition, wxDefaultSize, wxTE_READONLY);
  top->Add(m_pReadout, 0, wxEXPAND | wxALL, 2);
  SetSizer(top);

  m_pTabs->Bind(wxEVT_NOTEBOOK_PAGE_CHANGED, &CMpDisGraphWnd::OnTabChange, this);
  m_pGraph->Bind(wxEVT_PAINT, &CMpDisGraphWnd::OnPaintGraph, this);
  m_pGraph->Bind(wxEVT_LEFT_DOWN, &CMpDisGraphWnd::OnGraphClick, this);
  m_pGraph->Bind(wxEVT_LEFT_DCLICK, &CMpDisGraphWnd::OnGraphClick, this);
  Bind(wxEVT_CLOSE_WINDOW, &CMpDisGraphWnd::OnCloseWindow, this);

  if (parent) {
    const wxRect client = parent->GetClientRect();
    SetPosition(parent->ClientToScreen(wxPoint(client.GetRight() - 545, client.GetBottom() - 248)));
  }
  m_nCurTab = 0;
  m_nTabs = 0;
  RefreshTabs();
  m_pTrack = nullptr;
  m_nTrackRows = 0;
  DrawGraph();
}

void CMpDisGraphWnd::RefreshTabs()
{
  const int n = GetApproachBodyCount() + 1;
  if (static_cast<int>(m_pTabs->GetPageCount()) == n && m_nTabs == n)
    return;
  m_pTabs->DeleteAllPages();
  const auto labels = ApproachGraphTabLabels(n - 1, CurrentSet());
  for (const std::string& label : labels)
    m_pTabs->AddPage(new wxPanel(m_pTabs, wxID_ANY, wxDefaultPosition, wxSize(1, 1)), ToWx(label));
  m_nTabs = n;
  if (m_nCurTab >= n)
    m_nCurTab = 0;
  m_pTabs->ChangeSelection(m_nCurTab);
}

void CMpDisGraphWnd::DrawGraph()
{
  m_nCursorX = -1;
  if (IsShown())
    m_pGraph->Refresh();
}

void CMpDisGraphWnd::OnTabChange(wxCommandEvent& /*event*/)
{
  m_nCurTab = m_pTabs->GetSelection();
  DrawGraph();
}

void CMpDisGraphWnd::OnPaintGraph(wxPaintEvent& /*event*/)
{
  wxAutoBufferedPaintDC dc(m_pGraph);
  const wxSize size = m_pGraph->GetClientSize();
  dc.SetBackground(wxBrush(wxColour(240, 240, 240)));
  dc.Clear();
  dc.SetPen(*wxTRANSPARENT_PEN);
  dc.SetBrush(wxBrush(Colour(kApproachGraphBackground)));
  dc.DrawRectangle(0, 0, size.x - 4, size.y - 4);
  m_pReadout->ChangeValue(m_nCursorX >= 0 ? m_pReadout->GetValue() : wxString());
  for (wxStaticText* label : m_pDates)
    label->SetLabel("");

  const ApproachGraphLayout layout =
      LayoutApproachGraph(m_pTrack, m_nTrackRows, m_nCurTab, GetApproachBodyCount(), size.x, size.y);
  if (!layout.hasScale)
    return;
  m_dScale = layout.scale;
  m_pDates[0]->SetLabel(ToWx(layout.dateStart));
  m_pDates[1]->SetLabel(ToWx(layout.dateMiddle));
  m_pDates[2]->SetLabel(ToWx(layout.dateEnd));
  for (const ApproachGraphLayout::Curve& curve : layout.curves) {
    dc.SetPen(wxPen(Colour(ApproachSlotColour(curve.slot))));
    for (const auto& line : curve.lines) {
      if (line.size() == 1)
        dc.DrawPoint(line[0].x, line[0].y);
      for (size_t i = 1; i < line.size(); ++i)
        dc.DrawLine(line[i - 1].x, line[i - 1].y, line[i].x, line[i].y);
    }
  }
  dc.SetTextForeground(Colour(kApproachGraphLabel));
  dc.SetBackgroundMode(wxTRANSPARENT);
  dc.DrawText(ToWx(layout.topLabel), 0, 0);
  dc.DrawText("0AU", 0, 119);
  if (m_nCursorX >= 0) {
    dc.SetPen(wxPen(Colour(kApproachGraphLabel)));
    dc.DrawLine(m_nCursorX, 0, m_nCursorX, size.y - 4);
  }
}

void CMpDisGraphWnd::OnGraphClick(wxMouseEvent& event)
{
  if (m_nCurTab < 1 || !m_pTrack)
    return;
  const int a = event.GetX() - 2;
  std::string text;
  const int row = ApproachGraphCursor(m_pTrack, m_nTrackRows, m_nCurTab, a, text);
  if (row < 0)
    return;
  m_nCursorX = static_cast<int>(m_pTrack[row][m_nCurTab - 1].aux);
  m_pReadout->ChangeValue(ToWx(text));
  m_pGraph->Refresh();
}

void CMpDisGraphWnd::OnCloseWindow(wxCloseEvent& /*event*/)
{
  Hide();
}

CMpDisGraphWnd* OpenMpDisGraph(wxWindow* parent)
{
  auto* graph = dynamic_cast<CMpDisGraphWnd*>(OpenWindows().m_pMpDisGraphDlg);
  if (!graph) {
    graph = new CMpDisGraphWnd(parent);
    OpenWindows().m_pMpDisGraphDlg = graph;
  }
  graph->Show();
  graph->Raise();
  graph->DrawGraph();
  return graph;
}

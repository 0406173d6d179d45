#include "views/ui/search_range_wnd.h"

#include <wx/button.h>
#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "app/registry/window_registry.h"
#include "data/ui/info_help.h"
#include "data/ui/window_routines.h"
#include "platform/app_services.h"
#include "platform/wx/readable_font.h"
#include "platform/wx/wx_controls.h"
#include "platform/wx/wx_ui_services.h"
#include "views/ui/wx_scene_canvas.h"

namespace {

enum class Kind { Static, Edit, Button, DefaultButton, Mark, Chart, Table };

// The controls in dialog units (template 195: 432 x 382).
struct ControlSpec {
  int id;
  Kind kind;
  const char* text;
  int x, y, w, h;
};

const ControlSpec kControls[] = {
    {0, Kind::Static, "対象日時(TT):", 6, 9, 50, 10},
    {kRangeYear, Kind::Edit, "", 56, 6, 28, 14},
    {kRangeMonth, Kind::Edit, "", 86, 6, 18, 14},
    {kRangeDay, Kind::Edit, "", 106, 6, 26, 14},
    {0, Kind::Static, "T±", 138, 9, 10, 10},
    {kRangeHalfSpan, Kind::Edit, "", 149, 6, 22, 14},
    {0, Kind::Static, "日", 173, 9, 8, 10},
    {0, Kind::Static, "刻み", 184, 9, 16, 10},
    {kRangeStep, Kind::Edit, "", 201, 6, 22, 14},
    {0, Kind::Static, "日", 225, 9, 8, 10},
    {0, Kind::Static, "視野", 236, 9, 16, 10},
    {kRangeFov, Kind::Edit, "", 253, 6, 22, 14},
    {0, Kind::Static, "分", 277, 9, 8, 10},
    {kRangeCompute, Kind::DefaultButton, "計算(&C)", 288, 5, 36, 15},
    {kRangeCopyTable, Kind::Button, "表コピー(&T)", 326, 5, 44, 15},
    {kRangeCopyImage, Kind::Button, "画像コピー(&G)", 372, 5, 46, 15},
    {kRangeInfo, Kind::Mark, "", 420, 7, 10, 11},
    {kRangeChart, Kind::Chart, "", 6, 24, 420, 172},
    {kRangeTable, Kind::Table, "", 6, 202, 420, 174},
};

} // namespace

CSearchRangeWnd::CSearchRangeWnd(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, ToWx(kSearchRangeTitle), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxFRAME_TOOL_WINDOW)
{
  OpenWindows().m_pSearchRangeDlg = this;
  SetClientSize(ConvertDialogToPixels(wxSize(432, 382)));
  BuildControls();
  BindControls();
  CSearchRangeDlg::OnInitDialog();
  CTessaruneLib::PlaceNearMainWindow(this);
}

CSearchRangeWnd::~CSearchRangeWnd()
{
  if (OpenWindows().m_pSearchRangeDlg == this)
    OpenWindows().m_pSearchRangeDlg = nullptr;
}

void CSearchRangeWnd::BuildControls()
{
  for (const ControlSpec& c : kControls) {
    const wxPoint pos = ConvertDialogToPixels(wxPoint(c.x, c.y));
    const wxSize size = ConvertDialogToPixels(wxSize(c.w, c.h));
    const int id = c.id ? c.id : wxID_ANY;
    const wxString text = ToWx(c.text);
    switch (c.kind) {
    case Kind::Static: new wxStaticText(this, id, text, pos, size, wxST_NO_AUTORESIZE); break;
    case Kind::Edit: new wxTextCtrl(this, id, text, pos, size); break;
    case Kind::Button: new wxButton(this, id, text, pos, size); break;
    case Kind::DefaultButton: (new wxButton(this, id, text, pos, size))->SetDefault(); break;
    case Kind::Mark: new wxButton(this, id, L"ⓘ", pos, size, wxBU_EXACTFIT | wxBORDER_NONE); break;
    case Kind::Chart:
      m_pChart = new wxPanel(this, id, pos, size, wxFULL_REPAINT_ON_RESIZE);
      m_pChart->SetBackgroundStyle(wxBG_STYLE_PAINT);
      break;
    case Kind::Table:
      m_pTable = new wxTextCtrl(this, id, text, pos, size, wxTE_MULTILINE | wxTE_READONLY | wxVSCROLL | wxTE_DONTWRAP);
      // "ＭＳ ゴシック" 14 pixels high: the fixed-pitch CJK face keeps the columns.
      m_pTable->SetFont(FixedPitchWxFont(wxFontInfo(ReadableFontPoints(14))));
      break;
    }
  }
}

void CSearchRangeWnd::BindControls()
{
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Compute(); }, kRangeCompute);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnCopyTable(); }, kRangeCopyTable);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnCopyImage(); }, kRangeCopyImage);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ShowInfoHelp(HelpTitle(), HelpText(), this); }, kRangeInfo);
  m_pChart->Bind(wxEVT_PAINT, [this](wxPaintEvent&) { OnChartPaint(); });
  m_pChart->Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& e) {
    const wxSize size = m_pChart->GetClientSize();
    ClickZoom(e.GetX(), e.GetY(), size.x, size.y);
    e.Skip();
  });
  m_pChart->Bind(wxEVT_MOTION, [this](wxMouseEvent& e) {
    const wxSize size = m_pChart->GetClientSize();
    SetHotButton(ZoomButtonAt(e.GetX(), e.GetY(), size.x, size.y));
    e.Skip();
  });
  m_pChart->Bind(wxEVT_LEAVE_WINDOW, [this](wxMouseEvent& e) {
    SetHotButton(0);
    e.Skip();
  });
  m_pChart->Bind(wxEVT_MOUSEWHEEL, &CSearchRangeWnd::OnWheel, this);
  Bind(wxEVT_CHAR_HOOK, &CSearchRangeWnd::OnKey, this);
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { Destroy(); });
}

wxTextCtrl* CSearchRangeWnd::Edit(int id) const
{
  return dynamic_cast<wxTextCtrl*>(FindWindow(id));
}

std::string CSearchRangeWnd::GetItemText(int id)
{
  if (wxTextCtrl* edit = Edit(id))
    return WxControlText(edit);
  return CSearchRangeDlg::GetItemText(id);
}

void CSearchRangeWnd::SetItemText(int id, const std::string& text)
{
  if (wxTextCtrl* edit = Edit(id))
    SetWxControlText(edit, text);
  else
    CSearchRangeDlg::SetItemText(id, text);
}

void CSearchRangeWnd::InvalidateAll()
{
  Refresh(false);
  InvalidateChart();
}

void CSearchRangeWnd::InvalidateChart()
{
  if (m_pChart)
    m_pChart->Refresh(false);
}

void CSearchRangeWnd::OnChartPaint()
{
  wxAutoBufferedPaintDC dc(m_pChart);
  const wxSize size = m_pChart->GetClientSize();
  if (size.x <= 0 || size.y <= 0)
    return;
  if (wxGraphicsContext* gc = wxGraphicsContext::Create(dc)) {
    {
      WxSceneCanvas canvas(gc, nullptr);
      DrawRangeChart(canvas, size.x, size.y, true);
    }
    delete gc;
  }
  ++m_nChartPaints;
}

void CSearchRangeWnd::OnWheel(wxMouseEvent& e)
{
  ForEachWheelNotch(e, m_nWheelSum, [&](int notch) { WheelZoom(notch); });
}

void CSearchRangeWnd::OnKey(wxKeyEvent& e)
{
  const int key = e.GetKeyCode();
  if (key == WXK_RETURN || key == WXK_NUMPAD_ENTER)
    return;  // Enter presses no button
  e.Skip();
}

void CSearchRangeWnd::OnCopyTable()
{
  long from = 0, to = 0;
  m_pTable->GetSelection(&from, &to);
  m_pTable->SelectAll();
  m_pTable->ShowPosition(m_pTable->GetInsertionPoint());
  m_pTable->Copy();
  m_pTable->SetSelection(from, to);
  m_pTable->ShowPosition(m_pTable->GetInsertionPoint());
}

wxBitmap CSearchRangeWnd::RenderCopyImage()
{
  const wxSize chart = m_pChart->GetClientSize();
  const RangeCopyLayout layout = CopyImageLayout(chart.x, chart.y);
  return DrawSceneBitmap(layout.width, layout.height, nullptr,
                         [&](ISceneCanvas& canvas) { DrawCopyImage(canvas, layout); });
}

void CSearchRangeWnd::OnCopyImage()
{
  PutBitmapOnClipboard(RenderCopyImage());
}

CSearchRangeWnd* OpenSearchRange(wxWindow* mainFrame)
{
  auto* wnd = dynamic_cast<CSearchRangeWnd*>(OpenWindows().m_pSearchRangeDlg);
  if (!wnd)
    wnd = new CSearchRangeWnd(mainFrame);
  wnd->Show();
  wnd->Raise();
  return wnd;
}

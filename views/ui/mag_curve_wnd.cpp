#include "views/ui/mag_curve_wnd.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/clipbrd.h>
#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/radiobut.h>
#include <wx/settings.h>
#include <wx/spinbutt.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "app/registry/window_registry.h"
#include "data/ui/info_help.h"
#include "data/ui/info_mark.h"
#include "platform/app_services.h"
#include "platform/wx/hand_cursor.h"
#include "platform/wx/wx_controls.h"
#include "platform/wx/wx_ui_services.h"
#include "views/ui/mag_curve_help.h"
#include "views/ui/tool_window_place.h"
#include "views/ui/wx_scene_canvas.h"

namespace {

constexpr int kDefaultX = 430;
constexpr int kDefaultY = 420;

enum class Kind { Group, Radio, Static, Edit, Spin, Check, Button, Mark, HiddenStatic, HiddenEdit };

// The controls in dialog units (template 182: 500 x 350).
struct ControlSpec {
  int id;
  Kind kind;
  const char* text;
  int x, y, w, h;
};

const ControlSpec kControls[] = {
    {kMagParamGroup, Kind::Group, "光度パラメータ", 4, 216, 492, 130},
    {kMagKindGroup, Kind::Group, "天体の種類", 10, 227, 84, 44},
    {kMagLawComet, Kind::Radio, "彗星(&C)", 16, 240, 60, 11},
    {kMagLawAsteroid, Kind::Radio, "小惑星(&M)", 16, 254, 60, 11},
    {kMagInfoKind, Kind::Mark, "", 78, 239, 11, 11},
    {0, Kind::Static, "H:", 102, 233, 16, 10},
    {kMagHEdit, Kind::Edit, "", 120, 230, 46, 14},
    {kMagSpinH, Kind::Spin, "", 167, 230, 10, 14},
    {kMagFixH, Kind::Check, "Hを固定(&J)", 210, 232, 70, 11},
    {kMagInfoLaw, Kind::Mark, "", 282, 231, 11, 11},
    {kMagSlopeLabel, Kind::Static, "K/G:", 102, 250, 18, 10},
    {kMagSlopeEdit, Kind::Edit, "", 120, 247, 46, 14},
    {kMagSpinSlope, Kind::Spin, "", 167, 247, 10, 14},
    {kMagFixSlope, Kind::Check, "K/Gを固定(&X)", 210, 249, 70, 11},
    {0, Kind::Static, "RMS:", 102, 267, 18, 10},
    {kMagRmsEdit, Kind::Edit, "", 120, 264, 46, 14},
    {kMagRecommend, Kind::Static, "", 210, 267, 186, 10},
    {kMagFit, Kind::Button, "フィット(&F)", 400, 228, 88, 15},
    {kMagCopy, Kind::Button, "コピー(&P)", 400, 246, 88, 15},
    {kMagToEphemeris, Kind::Button, "位置推算へ(&A)", 400, 264, 88, 15},
    {kMagZoomNow, Kind::Button, "現在へズーム(&Z)", 400, 282, 88, 15},
    {kMagCompare, Kind::Check, "回帰ごとに比較(&R)", 10, 284, 86, 11},
    {kMagInfoCompare, Kind::Mark, "", 97, 284, 11, 11},
    {kMagUseRejected, Kind::Check, "リジェクトも使う(&U)", 114, 284, 86, 11},
    {kMagUseNuclear, Kind::Check, "核光度も使う(&N)", 204, 284, 76, 11},
    {kMagInfoUsed, Kind::Mark, "", 281, 284, 11, 11},
    {kMagShowObservations, Kind::Check, "観測データ(&O)", 298, 284, 80, 11},
    {kMagNucleusValue, Kind::Static, "", 10, 300, 120, 10},
    {kMagInfoNucleus, Kind::Mark, "", 131, 299, 11, 11},
    {kMagNucleusNote, Kind::Static, "", 146, 300, 250, 10},
    {kMagFormula, Kind::HiddenStatic, "", 10, 314, 386, 24},
    {kMagMessageEdit, Kind::HiddenEdit, "", 400, 330, 10, 10},
};

CMagCurveWnd* MagCurveWindow()
{
  return dynamic_cast<CMagCurveWnd*>(OpenWindows().m_pMagCurveDlg);
}

} // namespace

CMagCurveWnd::CMagCurveWnd(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, ToWx(kMagCurveTitle), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxFRAME_TOOL_WINDOW)
{
  SetClientSize(ConvertDialogToPixels(wxSize(500, 350)));
  m_pCanvas = new wxPanel(this, wxID_ANY, wxPoint(0, 0), GetClientSize(), wxTAB_TRAVERSAL);
  m_pCanvas->SetBackgroundStyle(wxBG_STYLE_PAINT);
  BuildControls();
  BindControls();
  CMagCurveDlg::OnInitDialog();
  PlaceToolWindow(this, "MAGCURVE", kDefaultX, kDefaultY);
}

CMagCurveWnd::~CMagCurveWnd()
{
  m_apparitionTimer.Stop();
  ForgetToolWindowPlace("MAGCURVE");
}

void CMagCurveWnd::BuildControls()
{
  bool bFirstRadio = true;
  for (const ControlSpec& c : kControls) {
    const wxPoint pos = ConvertDialogToPixels(wxPoint(c.x, c.y));
    const wxSize size = ConvertDialogToPixels(wxSize(c.w, c.h));
    const int id = c.id ? c.id : wxID_ANY;
    const wxString text = ToWx(c.text);
    switch (c.kind) {
    case Kind::Group: new wxStaticBox(m_pCanvas, id, text, pos, size); break;
    case Kind::Radio:
      new wxRadioButton(m_pCanvas, id, text, pos, size, bFirstRadio ? wxRB_GROUP : 0);
      bFirstRadio = false;
      break;
    case Kind::Static: new wxStaticText(m_pCanvas, id, text, pos, size, wxST_NO_AUTORESIZE); break;
    case Kind::Edit: new wxTextCtrl(m_pCanvas, id, text, pos, size, wxTE_PROCESS_ENTER); break;
    case Kind::Spin: {
      // GTK's arrows need their own size ("-" and "+" side by side),
      // centred on the edit's row.
      auto* spin = new wxSpinButton(m_pCanvas, id, pos, wxDefaultSize, wxSP_HORIZONTAL);
      spin->Move(pos.x, pos.y + (size.y - spin->GetBestSize().y) / 2);
      spin->SetRange(-1000, 1000);
      spin->SetValue(0);
      break;
    }
    case Kind::Check: new wxCheckBox(m_pCanvas, id, text, pos, size); break;
    case Kind::Button: new wxButton(m_pCanvas, id, text, pos, size); break;
    case Kind::Mark: new CInfoMark(m_pCanvas, id, pos, size); break;
    case Kind::HiddenStatic: (new wxStaticText(m_pCanvas, id, text, pos, size))->Hide(); break;
    case Kind::HiddenEdit: (new wxTextCtrl(m_pCanvas, id, text, pos, size))->Hide(); break;
    }
  }
}

void CMagCurveWnd::BindControls()
{
  m_pCanvas->Bind(wxEVT_PAINT, [this](wxPaintEvent&) { OnPaint(); });
  Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { OnCometLaw(); }, kMagLawComet);
  Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { OnAsteroidLaw(); }, kMagLawAsteroid);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnFit(); }, kMagFit);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnCopy(); }, kMagCopy);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnSendToEphemeris(); }, kMagToEphemeris);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnZoomToNow(); }, kMagZoomNow);
  Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { OnFixH(); }, kMagFixH);
  Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { OnFixSlope(); }, kMagFixSlope);
  Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { OnUseRejected(); }, kMagUseRejected);
  Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { OnUseNuclear(); }, kMagUseNuclear);
  Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { OnShowObservations(); }, kMagShowObservations);
  Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { OnCompareApparitions(); }, kMagCompare);
  m_apparitionTimer.SetOwner(this);
  Bind(wxEVT_TIMER, [this](wxTimerEvent&) { OnTimer(1); }, m_apparitionTimer.GetId());
  // The arrows keep no position of their own: up raises the value, down lowers it.
  for (const int id : {kMagSpinH, kMagSpinSlope}) {
    auto step = [this, id](wxSpinEvent& e, int delta) {
      const bool bShift = wxGetKeyState(WXK_SHIFT);
      if (id == kMagSpinH)
        OnDeltaPosH(delta, bShift);
      else
        OnDeltaPosSlope(delta, bShift);
      e.Veto();
    };
    Bind(wxEVT_SPIN_UP, [step](wxSpinEvent& e) { step(e, -1); }, id);
    Bind(wxEVT_SPIN_DOWN, [step](wxSpinEvent& e) { step(e, 1); }, id);
  }
  for (const MagCurveHelpTopic& topic : kMagCurveHelp)
    Bind(wxEVT_BUTTON, [this, &topic](wxCommandEvent&) { ShowInfoHelp(topic.title, topic.text, this); },
         topic.markId);
  BindMouse();
  Bind(wxEVT_CHAR_HOOK, &CMagCurveWnd::OnKey, this);
  // Closing hides the window: its object and law stay for the next opening.
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& e) {
    if (e.CanVeto())
      Hide();
    else
      Destroy();
  });
  Bind(wxEVT_SYS_COLOUR_CHANGED, [this](wxSysColourChangedEvent& e) {
    e.Skip();
    Refresh(true);
  });
}

void CMagCurveWnd::BindMouse()
{
  for (const auto type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_DCLICK, wxEVT_LEFT_UP, wxEVT_RIGHT_DOWN, wxEVT_RIGHT_UP,
                          wxEVT_MOTION, wxEVT_LEAVE_WINDOW})
    m_pCanvas->Bind(type, &CMagCurveWnd::OnMouse, this);
  m_pCanvas->Bind(wxEVT_MOUSEWHEEL, &CMagCurveWnd::OnWheel, this);
  m_pCanvas->Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) {
    OnCaptureChanged();
    ShowCursor(MagCursor::Default);
  });
}

void CMagCurveWnd::OnMouse(wxMouseEvent& e)
{
  const int x = e.GetX(), y = e.GetY();
  const wxEventType type = e.GetEventType();
  bool bCapture = false;
  // A second click of a double click is another press.
  if (type == wxEVT_LEFT_DOWN || type == wxEVT_LEFT_DCLICK) {
    bCapture = OnLButtonDown(x, y);
  } else if (type == wxEVT_RIGHT_DOWN) {
    bCapture = OnRButtonDown(x, y);
  } else if (type == wxEVT_LEFT_UP) {
    OnLButtonUp();
  } else if (type == wxEVT_RIGHT_UP) {
    OnRButtonUp();
  } else if (type == wxEVT_MOTION) {
    if (AnyGesture())
      OnMouseMove(x, y);
    else
      e.Skip();
  }
  if (bCapture && !m_pCanvas->HasCapture())
    m_pCanvas->CaptureMouse();
  else if (!AnyGesture() && m_pCanvas->HasCapture())
    m_pCanvas->ReleaseMouse();
  ShowCursor(type == wxEVT_LEAVE_WINDOW && !AnyGesture() ? MagCursor::Default : CursorAt(x, y));
}

void CMagCurveWnd::OnWheel(wxMouseEvent& e)
{
  const int notch = e.GetWheelDelta() > 0 ? e.GetWheelDelta() : 120;
  const double delta = 120.0 * e.GetWheelRotation() / notch;
  if (e.GetWheelAxis() != wxMOUSE_WHEEL_VERTICAL || !OnMouseWheel(delta, e.ShiftDown(), e.GetX(), e.GetY()))
    e.Skip();
}

void CMagCurveWnd::ShowCursor(MagCursor cursor)
{
  if (cursor == m_cursor)
    return;
  m_cursor = cursor;
  if (cursor == MagCursor::Pan)
    m_pCanvas->SetCursor(GetHandCursor());
  else if (cursor == MagCursor::Hand)
    m_pCanvas->SetCursor(wxCursor(wxCURSOR_HAND));
  else
    m_pCanvas->SetCursor(wxNullCursor);
}

wxWindow* CMagCurveWnd::Item(int id) const
{
  return m_pCanvas ? m_pCanvas->FindWindow(id) : nullptr;
}

bool CMagCurveWnd::HasItem(int id) const
{
  return Item(id) != nullptr;
}

std::string CMagCurveWnd::GetItemText(int id)
{
  if (auto* edit = dynamic_cast<wxTextCtrl*>(Item(id)))
    return edit->GetValue().utf8_string();
  if (wxWindow* w = Item(id))
    return w->GetLabel().utf8_string();
  return {};
}

void CMagCurveWnd::SetItemText(int id, const std::string& text)
{
  if (auto* edit = dynamic_cast<wxTextCtrl*>(Item(id))) {
    edit->ChangeValue(ToWx(text));
  } else if (wxWindow* w = Item(id)) {
    if (w->GetLabel() != ToWx(text))
      w->SetLabel(ToWx(text));
  }
}

int CMagCurveWnd::IsChecked(int id)
{
  if (auto* box = dynamic_cast<wxCheckBox*>(Item(id)))
    return box->GetValue() ? 1 : 0;
  if (auto* radio = dynamic_cast<wxRadioButton*>(Item(id)))
    return radio->GetValue() ? 1 : 0;
  return 0;
}

void CMagCurveWnd::SetCheck(int id, int checked)
{
  if (auto* box = dynamic_cast<wxCheckBox*>(Item(id)))
    box->SetValue(checked != 0);
  else if (auto* radio = dynamic_cast<wxRadioButton*>(Item(id)); radio && checked)
    radio->SetValue(true);
}

void CMagCurveWnd::EnableItem(int id, bool enable)
{
  EnableWxControl(Item(id), enable);
}

bool CMagCurveWnd::IsItemEnabled(int id)
{
  return WxControlEnabled(Item(id)) == 1;
}

void CMagCurveWnd::ShowItem(int id, bool show)
{
  ShowWxControl(Item(id), show);
}

bool CMagCurveWnd::IsItemVisible(int id)
{
  return WxControlShown(Item(id)) == 1;
}

void CMagCurveWnd::SetReadOnly(int id, bool readOnly)
{
  if (auto* edit = dynamic_cast<wxTextCtrl*>(Item(id)))
    edit->SetEditable(!readOnly);
}

bool CMagCurveWnd::IsReadOnly(int id)
{
  auto* edit = dynamic_cast<wxTextCtrl*>(Item(id));
  return edit && !edit->IsEditable();
}

bool CMagCurveWnd::ItemRect(int id, SceneRect& rect) const
{
  const wxWindow* w = Item(id);
  if (!w)
    return false;
  const wxRect r = w->GetRect();
  rect = {static_cast<float>(r.x), static_cast<float>(r.y), static_cast<float>(r.width),
          static_cast<float>(r.height)};
  return true;
}

void CMagCurveWnd::ClientSize(int& w, int& h) const
{
  m_pCanvas->GetClientSize(&w, &h);
}

void CMagCurveWnd::RestartApparitionTimer()
{
  m_apparitionTimer.StartOnce(500);
}

void CMagCurveWnd::KillApparitionTimer()
{
  m_apparitionTimer.Stop();
}

void CMagCurveWnd::Invalidate()
{
  if (m_pCanvas)
    m_pCanvas->Refresh(false);
}

void CMagCurveWnd::InvalidatePlot(int bFormula)
{
  int w = 0, h = 0;
  ClientSize(w, h);
  MagPlotLayout L;
  GetPlotLayout(w, h, L);
  m_pCanvas->RefreshRect(wxRect(0, 0, w, static_cast<int>(std::ceil(L.dBand))), false);
  SceneRect r;
  if (bFormula && ItemRect(kMagFormula, r))
    m_pCanvas->RefreshRect(wxRect(static_cast<int>(r.x), static_cast<int>(r.y), static_cast<int>(r.w),
                                  static_cast<int>(r.h)),
                           false);
}

void CMagCurveWnd::OnPaint()
{
  wxAutoBufferedPaintDC dc(m_pCanvas);
  int w = 0, h = 0;
  ClientSize(w, h);
  dc.SetBackground(wxBrush(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE)));
  dc.Clear();
  if (w <= 0 || h <= 0)
    return;
  wxGraphicsContext* gc = wxGraphicsContext::Create(dc);
  if (!gc)
    return;
  {
    WxSceneCanvas canvas(gc, nullptr);
    MagPlotLayout L;
    GetPlotLayout(w, h, L);
    const float band = static_cast<float>(std::clamp(L.dBand, 0.0, static_cast<double>(h)));
    canvas.PushState();
    canvas.ClipRect({0, 0, static_cast<float>(w), band});
    DrawPlot(canvas, w, h, 0);
    canvas.PopState();
    SceneRect r;
    if (ItemRect(kMagFormula, r) && r.w > 20 && r.h > 10)
      DrawLawFormula(canvas, r.x, r.y, r.w, r.h, 0xFF1E1812);
  }
  delete gc;
}

wxBitmap CMagCurveWnd::RenderCopy()
{
  int w = 0, h = 0;
  ClientSize(w, h);
  MagPlotLayout L;
  GetPlotLayout(w, h, L);
  const int band = static_cast<int>(L.dBand);
  if (w <= 0 || band <= 0)
    return wxNullBitmap;
  wxBitmap bmp(w, band, 24);
  wxMemoryDC dc(bmp);
  dc.SetBackground(*wxBLACK_BRUSH);
  dc.Clear();
  if (wxGraphicsContext* gc = wxGraphicsContext::Create(dc)) {
    WxSceneCanvas canvas(gc, nullptr);
    DrawPlot(canvas, w, band, 1);
    delete gc;
  }
  dc.SelectObject(wxNullBitmap);
  return bmp;
}

void CMagCurveWnd::OnCopy()
{
  const wxBitmap bmp = RenderCopy();
  if (!bmp.IsOk() || !wxTheClipboard->Open())
    return;
  wxTheClipboard->SetData(new wxBitmapDataObject(bmp));
  wxTheClipboard->Close();
}

void CMagCurveWnd::OnKey(wxKeyEvent& e)
{
  const int key = e.GetKeyCode();
  if (key == WXK_ESCAPE) {
    Hide();
    return;
  }
  if (key == WXK_RETURN || key == WXK_NUMPAD_ENTER) {
    const wxWindow* focus = FindFocus();
    if (focus && (focus == Item(kMagHEdit) || focus == Item(kMagSlopeEdit)))
      OnFit();
    return;  // never closes the window nor presses a button
  }
  if (e.ControlDown() && (key == 'C' || key == 'c')) {
    OnCopy();
    return;
  }
  e.Skip();
}

CMagCurveWnd* OpenMagCurve(wxWindow* mainFrame)
{
  CMagCurveWnd* wnd = MagCurveWindow();
  if (!wnd)
    wnd = new CMagCurveWnd(mainFrame);
  wnd->Show();
  wnd->Raise();
  return wnd;
}

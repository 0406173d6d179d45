#include "views/ui/orbit_view_wnd.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/valtext.h>

#include "app/registry/window_registry.h"
#include "app/tessarune_wx_app.h"
#include "platform/app_services.h"
#include "platform/numbers.h"
#include "platform/wx/hand_cursor.h"
#include "platform/wx/wx_controls.h"
#include "platform/wx/wx_ui_services.h"
#include "views/ui/movie_export_ui.h"
#include "views/ui/tool_window_place.h"
#include "views/ui/wx_scene_canvas.h"

namespace {

enum {
  IDC_ANIMATION = 1474,
  IDC_DAYS_BACK = 1475,
  IDC_SPEED = 1476,
  IDC_EXPORT_VIDEO = 1477,
  IDC_COPY = 1478,
  IDC_GEOCENTRIC = 1479,
  IDC_CLEAR_TRACK = 1480,
  IDC_KEEP_TRACK = 1482,
  IDC_RANGE = 1483,
  IDC_STEREO = 1487,
  IDC_SHOW_MOON = 1504,
  IDC_SHOW_EARTH_CA = 1505,
  ID_COPY_PICTURE = 1,
};

constexpr int kDefaultX = 60;
constexpr int kDefaultY = 420;

COrbitViewWnd* OrbitViewWindow()
{
  return dynamic_cast<COrbitViewWnd*>(OpenWindows().m_pOrbitViewDlg);
}

} // namespace

COrbitViewWnd::COrbitViewWnd(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, ToWx("軌道図"), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxFRAME_TOOL_WINDOW)
{
  SetBackgroundColour(*wxBLACK);
  m_timer.SetOwner(this, 1);
  Bind(wxEVT_TIMER, [this](wxTimerEvent&) { OnTimer(); }, 1);
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  m_pPicture = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxWANTS_CHARS);
  m_pPicture->SetBackgroundStyle(wxBG_STYLE_PAINT);
  sizer->Add(m_pPicture, 1, wxEXPAND);
  auto* strip = new wxPanel(this);
  strip->SetBackgroundColour(*wxBLACK);
  strip->SetForegroundColour(*wxWHITE);
  BuildStrip(strip);
  sizer->Add(strip, 0, wxEXPAND);
  SetSizer(sizer);
  SetClientSize(ConvertDialogToPixels(wxSize(590, 360)));

  PlaceToolWindow(this, "ORBITVIEW", kDefaultX, kDefaultY);

  m_pPicture->Bind(wxEVT_PAINT, [this](wxPaintEvent&) { OnPaint(); });
  for (const auto type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_UP, wxEVT_MOTION, wxEVT_LEFT_DCLICK, wxEVT_RIGHT_DOWN})
    m_pPicture->Bind(type, &COrbitViewWnd::OnMouse, this);
  m_pPicture->Bind(wxEVT_RIGHT_UP, &COrbitViewWnd::OnRightUpEvent, this);
  m_pPicture->Bind(wxEVT_MOUSEWHEEL, &COrbitViewWnd::OnWheelEvent, this);
  m_pPicture->Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) {
    m_bRotating = 0;
    m_bPanning = 0;
  });
  m_pPicture->Bind(wxEVT_SIZE, [this](wxSizeEvent& e) {
    if (!m_bUserMoved)
      FitScale();
    m_pPicture->Refresh();
    e.Skip();
  });
  Bind(wxEVT_CHAR_HOOK, &COrbitViewWnd::OnKey, this);
  // Closing hides the window: its orbit and view stay for the next opening.
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& e) {
    if (e.CanVeto())
      Hide();
    else
      Destroy();
  });
  FitScale();
}

COrbitViewWnd::~COrbitViewWnd()
{
  m_timer.Stop();
  ForgetToolWindowPlace("ORBITVIEW");
}

void COrbitViewWnd::BuildStrip(wxPanel* strip)
{
  auto label = [strip](const char* text) {
    auto* s = new wxStaticText(strip, wxID_ANY, ToWx(text));
    s->SetForegroundColour(*wxWHITE);
    return s;
  };
  auto check = [strip](int id, const char* text) {
    auto* c = new wxCheckBox(strip, id, ToWx(text));
    c->SetForegroundColour(*wxWHITE);
    return c;
  };
  auto* row1 = new wxBoxSizer(wxHORIZONTAL);
  auto* row2 = new wxBoxSizer(wxHORIZONTAL);
  const int gap = 6;

  auto* animate = new wxButton(strip, IDC_ANIMATION, ToWx("アニメ(&M)"));
  row1->Add(animate, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
  row1->Add(label("さかのぼり"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 2);
  m_pDaysBack = new wxTextCtrl(strip, IDC_DAYS_BACK, FormatC("%d", m_nDaysBack), wxDefaultPosition,
                               wxSize(48, -1), 0, wxTextValidator(wxFILTER_DIGITS));
  row1->Add(m_pDaysBack, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 2);
  row1->Add(label("日"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
  row1->Add(label("速さ"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 2);
  m_pSpeed = new wxTextCtrl(strip, IDC_SPEED, FormatC("%g", m_dSpeed), wxDefaultPosition, wxSize(48, -1));
  row1->Add(m_pSpeed, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 2);
  row1->Add(label("倍"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
  auto* video = new wxButton(strip, IDC_EXPORT_VIDEO, ToWx("動画保存(&V)"));
  row1->Add(video, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
  row1->Add(new wxButton(strip, IDC_COPY, ToWx("コピー(&P)")), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
  m_pStereo = new wxChoice(strip, IDC_STEREO);
  for (const char* s : {"平面", "平行法", "交差法"})
    m_pStereo->Append(ToWx(s));
  m_pStereo->SetSelection(m_nStereoMode);
  row1->Add(m_pStereo, 0, wxALIGN_CENTER_VERTICAL);

  m_pGeocentric = check(IDC_GEOCENTRIC, "地心(&G)");
  row2->Add(m_pGeocentric, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
  m_pEarthCa = check(IDC_SHOW_EARTH_CA, "地球への最接近位置を表示(&E)");
  row2->Add(m_pEarthCa, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
  m_pMoon = check(IDC_SHOW_MOON, "月の位置を表示(&O)");
  row2->Add(m_pMoon, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
  m_pKeep = check(IDC_KEEP_TRACK, "軌跡を残す(&K)");
  m_pKeep->SetValue(g_bKeepGeoTrack != 0);
  row2->Add(m_pKeep, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
  row2->Add(label("範囲"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 2);
  m_pRange = new wxChoice(strip, IDC_RANGE);
  int row = 0;
  for (int i = 0; i < 7; ++i) {
    m_pRange->Append(FormatC("%g AU", kGeoTrackRadii[i]));
    if (std::fabs(kGeoTrackRadii[i] - g_dGeoTrackRadius) < 1e-9)
      row = i;
  }
  m_pRange->SetSelection(row);
  row2->Add(m_pRange, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
  row2->Add(new wxButton(strip, IDC_CLEAR_TRACK, ToWx("消去(&D)")), 0, wxALIGN_CENTER_VERTICAL);

  auto* rows = new wxBoxSizer(wxVERTICAL);
  rows->Add(row1, 0, wxALL, 4);
  rows->Add(row2, 0, wxLEFT | wxRIGHT | wxBOTTOM, 4);
  strip->SetSizer(rows);
  EnableGeocentricBoxes();

  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { CopyPicture(); }, IDC_COPY);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnAnimation(); }, IDC_ANIMATION);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ExportVideo(); }, IDC_EXPORT_VIDEO);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnClearTrack(); }, IDC_CLEAR_TRACK);
  Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { g_bKeepGeoTrack = m_pKeep->GetValue() ? 1 : 0; }, IDC_KEEP_TRACK);
  Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
    m_bShowMoon = m_pMoon->GetValue() ? 1 : 0;
    Redraw();
  }, IDC_SHOW_MOON);
  Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
    m_bShowEarthCa = m_pEarthCa->GetValue() ? 1 : 0;
    Redraw();
  }, IDC_SHOW_EARTH_CA);
  Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { OnGeocentricBox(); }, IDC_GEOCENTRIC);
  Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { OnRangeChange(m_pRange->GetSelection()); }, IDC_RANGE);
  Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { OnStereoModeChange(m_pStereo->GetSelection()); }, IDC_STEREO);
}

void COrbitViewWnd::EnableGeocentricBoxes()
{
  for (wxCheckBox* box : {m_pEarthCa, m_pMoon, m_pKeep})
    box->Enable(m_bGeocentric != 0);
}

void COrbitViewWnd::OnGeocentricBox()
{
  OnGeocentricCheck(m_pGeocentric->GetValue());
  EnableGeocentricBoxes();
}

void COrbitViewWnd::ShowGeocentricScene()
{
  m_pGeocentric->SetValue(true);
  OnGeocentricBox();
}

void COrbitViewWnd::SelectRange(int row)
{
  if (row < 0 || row > 6)
    return;
  m_pRange->SetSelection(row);
  OnRangeChange(row);
}

std::string COrbitViewWnd::AnimationEditText(int id) const
{
  return WxControlText(id == IDC_DAYS_BACK ? m_pDaysBack : id == IDC_SPEED ? m_pSpeed : nullptr);
}

void COrbitViewWnd::SetAnimationEditText(int id, const std::string& text)
{
  SetWxControlText(id == IDC_DAYS_BACK ? m_pDaysBack : id == IDC_SPEED ? m_pSpeed : nullptr, text);
}

void COrbitViewWnd::SetAnimationCaption(const std::string& caption)
{
  if (wxWindow* button = FindWindow(IDC_ANIMATION))
    button->SetLabel(ToWx(caption));
}

void COrbitViewWnd::SetAnimationTimer(bool bOn)
{
  if (bOn)
    m_timer.Start(60);
  else
    m_timer.Stop();
}

bool COrbitViewWnd::AskMovieSavePath(const MovieSaveRequest& request, std::string& path, int& index)
{
  return AskMovieSavePathWx(this, request, path, index);
}

void COrbitViewWnd::DrawMovieFrame(MovieFrame& frame, int width, int height)
{
  DrawSceneIntoFrame(frame, m_sunImage.IsOk() ? &m_sunImage : nullptr,
                     [&](ISceneCanvas& canvas) { DrawScene(canvas, width, height); });
}

bool COrbitViewWnd::ExportProgress(int done, int total)
{
  return !m_pProgress || m_pProgress->Update(done, total);
}

void COrbitViewWnd::ExportVideo()
{
  RunMovieExport(this, ToWx(kOrbitViewTitle), m_timer, m_pProgress, [this] { OnExportVideo(); },
                 [this] { return m_bAnimating != 0; });
}

void COrbitViewWnd::ClientSize(int& w, int& h) const
{
  m_pPicture->GetClientSize(&w, &h);
}

void COrbitViewWnd::Redraw()
{
  m_pPicture->Refresh(false);
}

double COrbitViewWnd::LoadSunImage(const std::string& path)
{
  wxImage image;
  if (!wxFileExists(ToWx(path)) || !image.LoadFile(ToWx(path)) || image.GetWidth() < 64 || image.GetHeight() < 64)
    return 0;
  m_sunImage = image;
  return MeasureSunDiskFraction(image.GetData() + 3 * size_t(image.GetWidth()) * (image.GetHeight() / 2),
                                image.GetWidth());
}

wxBitmap COrbitViewWnd::RenderPicture()
{
  int w = 0, h = 0;
  ClientSize(w, h);
  return DrawSceneBitmap(w, h, m_sunImage.IsOk() ? &m_sunImage : nullptr,
                         [&](ISceneCanvas& canvas) { DrawScene(canvas, w, h); });
}

void COrbitViewWnd::CopyPicture()
{
  PutBitmapOnClipboard(RenderPicture());
}

void COrbitViewWnd::OnPaint()
{
  wxAutoBufferedPaintDC dc(m_pPicture);
  dc.SetBackground(*wxBLACK_BRUSH);
  dc.Clear();
  int w = 0, h = 0;
  ClientSize(w, h);
  if (w <= 0 || h <= 0)
    return;
  m_bAtRest = m_bAnimating && m_nHoldTicks < 1 ? 0 : 1;
  if (wxGraphicsContext* gc = wxGraphicsContext::Create(dc)) {
    WxSceneCanvas canvas(gc, m_sunImage.IsOk() ? &m_sunImage : nullptr);
    DrawScene(canvas, w, h);
    delete gc;
  }
}

void COrbitViewWnd::UpdateCursor(int x, int y)
{
  if (m_bPanning)
    m_pPicture->SetCursor(GetHandCursor());
  else if (!m_bRotating && OverToggleableTitle(x, y))
    m_pPicture->SetCursor(wxCursor(wxCURSOR_HAND));
  else
    m_pPicture->SetCursor(wxNullCursor);
}

void COrbitViewWnd::OnMouse(wxMouseEvent& e)
{
  const int x = e.GetX(), y = e.GetY();
  if (e.GetEventType() == wxEVT_LEFT_DOWN) {
    m_pPicture->SetFocus();
    if (!OnLeftDown(x, y) && !m_pPicture->HasCapture())
      m_pPicture->CaptureMouse();
  } else if (e.GetEventType() == wxEVT_LEFT_UP) {
    OnLeftUp();
    if (m_pPicture->HasCapture() && !m_bPanning)
      m_pPicture->ReleaseMouse();
  } else if (e.GetEventType() == wxEVT_LEFT_DCLICK) {
    OnLeftDoubleClick();
  } else if (e.GetEventType() == wxEVT_RIGHT_DOWN) {
    OnRightDown(x, y);
    if (!m_pPicture->HasCapture())
      m_pPicture->CaptureMouse();
  } else if (e.GetEventType() == wxEVT_MOTION) {
    OnMouseMove(x, y);
  }
  UpdateCursor(x, y);
}

void COrbitViewWnd::OnRightUpEvent(wxMouseEvent& e)
{
  const bool bMenu = OnRightUp();
  if (m_pPicture->HasCapture() && !m_bRotating)
    m_pPicture->ReleaseMouse();
  m_pPicture->SetCursor(wxNullCursor);
  if (!bMenu)
    return;
  wxMenu menu;
  menu.Append(ID_COPY_PICTURE, ToWx("画像をコピー(&C)\tCtrl+C"));
  if (m_pPicture->GetPopupMenuSelectionFromUser(menu, e.GetPosition()) == ID_COPY_PICTURE)
    CopyPicture();
}

void COrbitViewWnd::OnWheelEvent(wxMouseEvent& e)
{
  ForEachWheelNotch(e, m_nWheelSum, [&](int notch) { OnWheel(notch); });
}

void COrbitViewWnd::OnKey(wxKeyEvent& e)
{
  const int key = e.GetKeyCode();
  if (key == WXK_ESCAPE) {
    Hide();
    return;
  }
  if (key == WXK_RETURN || key == WXK_NUMPAD_ENTER)
    return;  // neither presses a button nor closes the window
  const wxWindow* focus = FindFocus();
  if (e.ControlDown() && (key == 'C' || key == 'c') && focus != m_pDaysBack && focus != m_pSpeed) {
    CopyPicture();
    return;
  }
  e.Skip();
}

COrbitViewWnd* OpenOrbitView(wxWindow* mainFrame)
{
  COrbitViewWnd* wnd = OrbitViewWindow();
  if (!wnd)
    wnd = new COrbitViewWnd(mainFrame);
  wnd->Show();
  wnd->Raise();
  return wnd;
}

#include "views/ui/globe_wnd.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/dcbuffer.h>
#include <wx/graphics.h>
#include <wx/image.h>
#include <wx/panel.h>

#include <thread>

#include "app/registry/window_registry.h"
#include "app/tessarune_wx_app.h"
#include "app/window_positions.h"
#include "platform/app_services.h"
#include "platform/wx/hand_cursor.h"
#include "platform/wx/wx_ui_services.h"
#include "views/ui/wx_scene_canvas.h"

namespace {

struct ButtonPlace {
  int id;
  const char* caption;
  int x, y, width;  // dialog units; every button is 14 high
};

// In the order the picture's operations walk them.
constexpr ButtonPlace kButtons[13] = {
    {1364, "アニメ(&M)", 6, 326, 54},   {1365, "動画保存(&V)", 64, 326, 58},  {1225, "範囲-(&D)", 378, 326, 44},
    {1226, "範囲+(&U)", 426, 326, 40},  {1215, "衝突点(&I)", 6, 343, 54},    {1216, "見上げ1(&1)", 64, 343, 58},
    {1217, "見上げ2(&2)", 126, 343, 58}, {1218, "全体(&W)", 188, 343, 46},     {1219, "拡大(&Z)", 238, 343, 42},
    {1220, "縮小(&X)", 284, 343, 42},   {1221, "左回転(&L)", 330, 343, 44},   {1222, "右回転(&R)", 378, 343, 44},
    {1224, "コピー(&P)", 426, 343, 40},
};
constexpr int kIdAnimation = 1364;
constexpr int kIdVideo = 1365;

constexpr double kDluX = 1.5;
constexpr double kDluY = 1.625;

constexpr int kDefaultX = 800;
constexpr int kDefaultY = 70;

} // namespace

CGlobeWnd::CGlobeWnd(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, ToWx(g_aGlobeBodies[2].title), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxFRAME_TOOL_WINDOW)
{
  SetBackgroundColour(*wxBLACK);
  m_timer.SetOwner(this, 1);
  Bind(wxEVT_TIMER, [this](wxTimerEvent&) { OnTimer(); }, 1);
  BuildButtons();
  int w = 0, h = 0;
  ClientSize(w, h);
  m_pPicture = new wxPanel(this, wxID_ANY, wxPoint(0, 0), wxSize(w, std::min(h, ButtonsTop())), wxWANTS_CHARS);
  m_pPicture->SetBackgroundStyle(wxBG_STYLE_PAINT);
  m_pPicture->Lower();
  m_nRasterThreads = int(std::max(1u, std::min(8u, std::thread::hardware_concurrency())));

  const PixelRect corner = StoredToolWindowCorner(TheApp(), "GLOBEDLG", VirtualScreen(), kDefaultX, kDefaultY);
  Move(corner.x, corner.y);
  SetToolWindowPlaceSource("GLOBEDLG", [this](int& x, int& y) {
    GetPosition(&x, &y);
    return true;
  });

  m_pPicture->Bind(wxEVT_PAINT, [this](wxPaintEvent&) { OnPaint(); });
  for (const auto type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_UP, wxEVT_MOTION, wxEVT_LEFT_DCLICK, wxEVT_RIGHT_DOWN,
                          wxEVT_RIGHT_UP})
    m_pPicture->Bind(type, &CGlobeWnd::OnMouse, this);
  m_pPicture->Bind(wxEVT_MOUSEWHEEL, &CGlobeWnd::OnWheelEvent, this);
  m_pPicture->Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) { OnButtonUp(); });
  Bind(wxEVT_CHAR_HOOK, &CGlobeWnd::OnKey, this);
  // Closing hides the window: its contents and view stay for the next writer.
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& e) {
    if (e.CanVeto())
      Hide();
    else
      Destroy();
  });
  LoadTexture();
}

CGlobeWnd::~CGlobeWnd()
{
  m_timer.Stop();
  SetToolWindowPlaceSource("GLOBEDLG", nullptr);
}

void CGlobeWnd::BuildButtons()
{
  // The layout in dialog units of the dialog font (1.5 x 1.625 pixels a
  // unit): a picture of 708 pixels by 530 above the buttons. The toolkit's
  // buttons need more height than 14 units give, so each row takes its
  // natural height and the window grows by the difference.
  const wxFont font = wxFont(wxFontInfo(8).Family(wxFONTFAMILY_SWISS));
  int rowHeight = 23;
  for (const ButtonPlace& b : kButtons) {
    auto* button = new wxButton(this, b.id, ToWx(b.caption), wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT);
    button->SetFont(font);
    rowHeight = std::max(rowHeight, button->GetBestSize().y);
    m_buttons.push_back(button);
  }
  const int upper = int(326 * kDluY + 0.5), lower = upper + rowHeight + 2;
  for (size_t i = 0; i < m_buttons.size(); ++i) {
    const ButtonPlace& b = kButtons[i];
    m_buttons[i]->SetSize(int(b.x * kDluX + 0.5), b.y == 326 ? upper : lower, int(b.width * kDluX + 0.5), rowHeight);
  }
  SetClientSize(int(472 * kDluX + 0.5), lower + rowHeight + int(3 * kDluY + 0.5));
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnAnimate(); }, kIdAnimation);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ExportVideo(); }, kIdVideo);
  const std::pair<int, void (CGlobeDlg::*)()> actions[] = {
      {1225, &CGlobeDlg::OnRangeDown}, {1226, &CGlobeDlg::OnRangeUp},   {1215, &CGlobeDlg::OnImpactPoint},
      {1216, &CGlobeDlg::OnLookUp1},   {1217, &CGlobeDlg::OnLookUp2},   {1218, &CGlobeDlg::OnWholeView},
      {1219, &CGlobeDlg::OnZoomIn},    {1220, &CGlobeDlg::OnZoomOut},   {1221, &CGlobeDlg::OnRotateLeft},
      {1222, &CGlobeDlg::OnRotateRight}, {1224, &CGlobeDlg::CopyPicture},
  };
  for (const auto& [id, action] : actions)
    Bind(wxEVT_BUTTON, [this, action = action](wxCommandEvent&) { (this->*action)(); }, id);
}

void CGlobeWnd::ClientSize(int& w, int& h) const
{
  GetClientSize(&w, &h);
}

int CGlobeWnd::ButtonsTop() const
{
  int top = 1 << 30;
  for (const wxButton* b : m_buttons)
    top = std::min(top, b->GetPosition().y);
  return top;
}

void CGlobeWnd::Redraw()
{
  if (m_pPicture)
    m_pPicture->Refresh(false);
}

void CGlobeWnd::SetTitleText(const std::string& title)
{
  SetTitle(ToWx(title));
}

void CGlobeWnd::ShowWindowNow()
{
  Show();
  Raise();
}

bool CGlobeWnd::DecodeImage(const std::string& path, std::vector<unsigned char>& rgb, int& w, int& h)
{
  wxImage image;
  {
    wxLogNull quiet;  // an undecodable file draws plain, without a message
    if (!image.LoadFile(ToWx(path)) || !image.IsOk())
      return false;
  }
  w = image.GetWidth();
  h = image.GetHeight();
  rgb.assign(image.GetData(), image.GetData() + size_t(w) * h * 3);
  return true;
}

wxBitmap CGlobeWnd::RenderPicture()
{
  // The full client size is drawn; the buttons' rows fall away below the bitmap.
  int w = 0, h = 0;
  ClientSize(w, h);
  return DrawSceneBitmap(w, h > 0 ? GetPictureHeight() : 0, nullptr,
                         [&](ISceneCanvas& canvas) { DrawGlobe(canvas, w, h); });
}

void CGlobeWnd::CopyPicture()
{
  PutBitmapOnClipboard(RenderPicture());
}

void CGlobeWnd::SetAnimationCaption(const std::string& caption)
{
  if (wxWindow* button = FindWindow(kIdAnimation))
    button->SetLabel(ToWx(caption));
}

void CGlobeWnd::SetAnimationTimer(bool bOn)
{
  if (bOn)
    m_timer.Start(60);
  else
    m_timer.Stop();
}

bool CGlobeWnd::AskMovieSavePath(const MovieSaveRequest& request, std::string& path, int& index)
{
  return AskMovieSavePathWx(nullptr, request, path, index);
}

void CGlobeWnd::DrawMovieFrame(MovieFrame& frame, int width, int height)
{
  DrawSceneIntoFrame(frame, nullptr, [&](ISceneCanvas& canvas) { DrawGlobe(canvas, width, height); });
}

bool CGlobeWnd::ExportProgress(int done, int total)
{
  return !m_pProgress || m_pProgress->Update(done, total);
}

void CGlobeWnd::ExportVideo()
{
  RunMovieExport(this, GetTitle(), m_timer, m_pProgress, [this] { OnExportVideo(); },
                 [this] { return m_bAnimating || m_bSpinning; });
}

void CGlobeWnd::OnPaint()
{
  wxAutoBufferedPaintDC dc(m_pPicture);
  int w = 0, h = 0;
  ClientSize(w, h);
  if (w <= 0 || h <= 0)
    return;
  if (wxGraphicsContext* gc = wxGraphicsContext::Create(dc)) {
    WxSceneCanvas canvas(gc, nullptr);
    DrawGlobe(canvas, w, h);
    delete gc;
  }
}

void CGlobeWnd::UpdateCursor(int x, int y)
{
  if (m_bDragPan || m_bDragInset || (!m_bDragRotate && OverInset(x, y)))
    m_pPicture->SetCursor(GetHandCursor());
  else
    m_pPicture->SetCursor(wxNullCursor);
}

void CGlobeWnd::EndDrag()
{
  OnButtonUp();
  if (m_pPicture->HasCapture())
    m_pPicture->ReleaseMouse();
}

void CGlobeWnd::OnMouse(wxMouseEvent& e)
{
  const int x = e.GetX(), y = e.GetY();
  const wxEventType type = e.GetEventType();
  if (type == wxEVT_LEFT_DOWN || type == wxEVT_RIGHT_DOWN || type == wxEVT_LEFT_DCLICK) {
    m_pPicture->SetFocus();
    if (type == wxEVT_LEFT_DOWN)
      OnLButtonDown(x, y);
    else if (type == wxEVT_RIGHT_DOWN)
      OnRButtonDown(x, y);
    else
      OnLButtonDblClk(x, y);
    if ((m_bDragRotate || m_bDragPan || m_bDragInset) && !m_pPicture->HasCapture())
      m_pPicture->CaptureMouse();
  } else if (type == wxEVT_LEFT_UP || type == wxEVT_RIGHT_UP) {
    EndDrag();
  } else if (type == wxEVT_MOTION) {
    OnMouseMove(x, y);
  }
  UpdateCursor(x, y);
}

void CGlobeWnd::OnWheelEvent(wxMouseEvent& e)
{
  ForEachWheelNotch(e, m_nWheelSum, [&](int notch) { OnMouseWheel(notch, e.GetX(), e.GetY()); });
}

void CGlobeWnd::OnKey(wxKeyEvent& e)
{
  const int key = e.GetKeyCode();
  if (key == WXK_ESCAPE) {
    Hide();
    return;
  }
  if (key == WXK_RETURN || key == WXK_NUMPAD_ENTER)
    return;  // the window never closes on Enter
  if (e.ControlDown() && (key == 'C' || key == 'c')) {
    CopyPicture();
    return;
  }
  e.Skip();
}

CGlobeWnd* GlobeWindow(wxWindow* mainFrame)
{
  if (auto* wnd = dynamic_cast<CGlobeWnd*>(OpenWindows().m_pGlobeDlg))
    return wnd;
  return new CGlobeWnd(mainFrame);
}

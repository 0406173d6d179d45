#include "engine/ui/cancel_dlg.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/sizer.h>

#include "platform/wx/wx_ui_services.h"

namespace {

WxCancelDialogs& TheWxCancelDialogs() {
  static WxCancelDialogs dialogs;
  return dialogs;
}

}  // namespace

CCancelDlg::CCancelDlg(wxWindow* parent, OrbitEngine& engine, int* pnBusy)
    : wxDialog(parent, wxID_ANY, ToWx("計算中"), wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSTAY_ON_TOP),
      m_pnCancel(&engine.m_nCancel),
      m_phWnd(&engine.m_hCancelDlg),
      m_pnBusy(pnBusy),
      m_ppDlg(&engine.m_pCancelDlg),
      m_timer(this, kBusyTimerId) {
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(new wxButton(this, IDC_STOP, ToWx("中止(&C)")), 0, wxALL | wxALIGN_CENTER, 16);
  SetSizerAndFit(sizer);
  // Esc on the dialog stops the calculation, as the button does.
  SetEscapeId(IDC_STOP);
  Bind(wxEVT_BUTTON, &CCancelDlg::OnStopButton, this, IDC_STOP);
  Bind(wxEVT_CHAR_HOOK, &CCancelDlg::OnCharHook, this);
  Bind(wxEVT_TIMER, &CCancelDlg::OnTimer, this, kBusyTimerId);
  Bind(wxEVT_CLOSE_WINDOW, &CCancelDlg::OnClose, this);
  if (parent) CentreOnParent();
}

CCancelDlg::~CCancelDlg() {
  m_timer.Stop();
  TheWxCancelDialogs().Forget(this);
  if (m_phWnd && *m_phWnd == this) *m_phWnd = nullptr;
  if (m_ppDlg && *m_ppDlg == this) *m_ppDlg = nullptr;
}

void CCancelDlg::OnInitDialog() {
  if (m_phWnd) *m_phWnd = this;
  if (m_ppDlg) *m_ppDlg = this;
  if (m_pnCancel) *m_pnCancel = 0;
  if (m_pnBusy) m_timer.Start(100);
}

void CCancelDlg::OnStopButton(wxCommandEvent&) {
  if (m_pnCancel) *m_pnCancel = 1;
  CloseDialog();
}

void CCancelDlg::OnCharHook(wxKeyEvent& event) {
  // A dialog keeps its keys from its parent: hand the others to the main
  // window, which runs the active view's menu keys (Ctrl+W while the
  // calculation runs), so that they work with the focus here too.
  event.Skip();
  if (event.GetKeyCode() == WXK_ESCAPE || !GetParent()) return;
  wxKeyEvent forwarded(event);
  forwarded.SetEventObject(GetParent());
  if (GetParent()->ProcessWindowEvent(forwarded)) event.Skip(false);
}

void CCancelDlg::OnTimer(wxTimerEvent& event) {
  if (event.GetId() == kBusyTimerId && m_pnBusy && *m_pnBusy == 0) {
    m_timer.Stop();
    CloseDialog();
    return;
  }
  event.Skip();
}

void CCancelDlg::OnClose(wxCloseEvent&) { CloseDialog(); }

void CCancelDlg::CloseDialog() {
  if (m_bClosing) return;
  m_bClosing = true;
  m_timer.Stop();
  // The engine waits for the handle to clear: clear it now, not when the
  // window is finally deleted at idle time.
  TheWxCancelDialogs().Forget(this);
  if (m_phWnd && *m_phWnd == this) *m_phWnd = nullptr;
  if (m_ppDlg && *m_ppDlg == this) *m_ppDlg = nullptr;
  Hide();
  Destroy();
}

void WxCancelDialogs::Open(OrbitEngine& engine, int* pnBusy) {
  wxWindow* parent = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
  auto* dlg = new CCancelDlg(parent, engine, pnBusy);
  m_live.insert(dlg);
  dlg->OnInitDialog();
  dlg->Show();
}

void WxCancelDialogs::PostClose(OrbitEngine&, void* hDlg) {
  if (!IsLiveWindow(hDlg)) return;
  static_cast<CCancelDlg*>(hDlg)->CloseDialog();
}

bool WxCancelDialogs::IsLiveWindow(void* hDlg) const { return hDlg && m_live.count(hDlg) != 0; }

bool CancelByKey(OrbitEngine& engine) {
  if (!engine.m_bBusy) return false;
  if (CCancelDlg* dlg = engine.m_pCancelDlg; dlg && TheWxCancelDialogs().IsLiveWindow(dlg)) {
    wxCommandEvent click(wxEVT_BUTTON, CCancelDlg::IDC_STOP);
    dlg->OnStopButton(click);
  } else {
    engine.m_nCancel = 1;
  }
  return true;
}

void InstallCancelDialogs() { SetCancelDialogs(&TheWxCancelDialogs()); }

#include "determination/ui/wx_control_window.h"

#include <wx/gauge.h>
#include <wx/textctrl.h>

#include "platform/wx/wx_controls.h"
#include "platform/wx/wx_ui_services.h"

std::string WxControlWindow::GetText() const { return WxControlText(m_window.get()); }

void WxControlWindow::SetText(const std::string& text) {
  if (wxWindow* w = m_window.get()) {
    SetWxControlText(w, text);
    RepaintNowUnlessJustDone(w);
  }
}

void WxControlWindow::AppendText(const std::string& text) {
  wxWindow* w = m_window.get();
  if (!AppendWxEditText(w, text)) {
    SetText(GetText() + text);
    return;
  }
  RepaintNowUnlessJustDone(w);
}

bool WxControlWindow::ReplaceEnd(const std::string& oldEnd, const std::string& newEnd) {
  wxWindow* w = m_window.get();
  if (!ReplaceWxEditEnd(w, oldEnd, newEnd)) return false;
  RepaintNowUnlessJustDone(w);
  return true;
}

void WxControlWindow::ScrollToEnd() {
  if (auto* edit = dynamic_cast<wxTextCtrl*>(m_window.get())) edit->ShowPosition(edit->GetLastPosition());
}

void WxControlWindow::SetProgress(int percent) {
  if (auto* gauge = dynamic_cast<wxGauge*>(m_window.get())) gauge->SetValue(percent);
}

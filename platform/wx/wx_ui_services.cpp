#include "platform/wx/wx_ui_services.h"

#include <chrono>
#include <cstdio>

#include <wx/app.h>
#include <wx/clipbrd.h>
#include <wx/eventfilter.h>
#include <wx/event.h>
#include <wx/frame.h>
#include <wx/msgdlg.h>
// After msgdlg.h, which declares its base.
#include <wx/generic/msgdlgg.h>
#include <wx/utils.h>

wxString ToWx(const std::string& utf8)
{
  return wxString::FromUTF8(utf8.data(), utf8.size());
}

std::string FromWx(const wxString& text)
{
  const wxScopedCharBuffer buf = text.utf8_str();
  return std::string(buf.data(), buf.length());
}

namespace {

// The buttons carry the program's own words whatever the desktop's language.
void LabelButtonsInJapanese(wxMessageDialogBase& dlg, MsgButtons buttons)
{
  const wxString yes = ToWx("はい"), no = ToWx("いいえ"), cancel = ToWx("キャンセル"), ok = "OK";
  switch (buttons) {
  case MsgButtons::Ok: dlg.SetOKLabel(ok); break;
  case MsgButtons::OkCancel: dlg.SetOKCancelLabels(ok, cancel); break;
  case MsgButtons::YesNo: dlg.SetYesNoLabels(yes, no); break;
  case MsgButtons::YesNoCancel: dlg.SetYesNoCancelLabels(yes, no, cancel); break;
  }
}

} // namespace

MsgAnswer WxUiServices::ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                                    MsgButtons buttons)
{
  long style = 0;
  switch (buttons) {
  case MsgButtons::Ok: style |= wxOK; break;
  case MsgButtons::OkCancel: style |= wxOK | wxCANCEL; break;
  case MsgButtons::YesNo: style |= wxYES_NO; break;
  case MsgButtons::YesNoCancel: style |= wxYES_NO | wxCANCEL; break;
  }
  switch (icon) {
  case MsgIcon::Information: style |= wxICON_INFORMATION; break;
  case MsgIcon::Warning: style |= wxICON_EXCLAMATION; break;
  case MsgIcon::Error: style |= wxICON_ERROR; break;
  case MsgIcon::Question: style |= wxICON_QUESTION; break;
  case MsgIcon::None: break;
  }
  wxWindow* parent = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
  // A box without a caption of its own carries the application's title. The
  // toolkit's own box shows no icon; this one shows the theme's.
  wxGenericMessageDialog dlg(parent, ToWx(text), ToWx(caption.empty() ? std::string("Tessarune") : caption),
                             style);
  LabelButtonsInJapanese(dlg, buttons);
  switch (dlg.ShowModal()) {
  case wxID_OK: return MsgAnswer::Ok;
  case wxID_YES: return MsgAnswer::Yes;
  case wxID_NO: return MsgAnswer::No;
  default: return MsgAnswer::Cancel;
  }
}

void WxUiServices::SetStatusText(const std::string& text)
{
  if (m_pFrame && m_pFrame->GetStatusBar())
    m_pFrame->SetStatusText(ToWx(text), 0);
}

void WxUiServices::SetBusyCursor(bool busy)
{
  if (busy == m_busy)
    return;
  m_busy = busy;
  if (busy)
    wxBeginBusyCursor();
  else
    wxEndBusyCursor();
}

namespace {

// A look at the toolkit's queue costs system calls; the long loops look at
// every step, thousands of times a second. After finding the queue empty the
// next look waits this long, far below what a user could notice.
constexpr auto kEmptyQueueRest = std::chrono::milliseconds(5);
std::chrono::steady_clock::time_point s_nextLook;

} // namespace

bool WxUiServices::PumpOneEvent()
{
  const auto now = std::chrono::steady_clock::now();
  if (now < s_nextLook)
    return false;
  if (!wxTheApp || !wxTheApp->Pending()) {
    s_nextLook = now + kEmptyQueueRest;
    return false;
  }
  wxTheApp->Dispatch();
  return true;
}

bool WxUiServices::IsKeyDown(UiKey key)
{
  switch (key) {
  // Only the modifiers can be polled under GTK; Esc is what the Esc event
  // filter latched since the running loop cleared it.
  case UiKey::Escape: return EscapeKeyLatched();
  case UiKey::Shift: return wxGetKeyState(WXK_SHIFT);
  case UiKey::CapsLock: return wxGetKeyState(WXK_CAPITAL);
  case UiKey::Control: return wxGetKeyState(WXK_CONTROL);
  }
  return false;
}

bool WxUiServices::SetClipboardText(const std::string& text)
{
  wxClipboardLocker lock;
  if (!lock)
    return false;
  return wxTheClipboard->SetData(new wxTextDataObject(ToWx(text)));
}

namespace {

// Latches every Esc key press, whichever window gets it.
class EscapeKeyFilter : public wxEventFilter {
public:
  int FilterEvent(wxEvent& event) override
  {
    const wxEventType type = event.GetEventType();
    if ((type == wxEVT_CHAR_HOOK || type == wxEVT_KEY_DOWN) &&
        static_cast<wxKeyEvent&>(event).GetKeyCode() == WXK_ESCAPE)
      LatchEscapeKey();
    return Event_Skip;
  }
};

EscapeKeyFilter g_escapeFilter;
bool g_bEscapeFilterInstalled = false;

} // namespace

void InstallEscapeKeyFilter()
{
  if (g_bEscapeFilterInstalled)
    return;
  wxEvtHandler::AddFilter(&g_escapeFilter);
  g_bEscapeFilterInstalled = true;
}

void RemoveEscapeKeyFilter()
{
  if (!g_bEscapeFilterInstalled)
    return;
  wxEvtHandler::RemoveFilter(&g_escapeFilter);
  g_bEscapeFilterInstalled = false;
}

static void QuietAssertHandler(const wxString& file, int line, const wxString& func, const wxString& cond,
                               const wxString& msg)
{
  std::fprintf(stderr, "wx assertion: %s:%d %s: %s %s\n", FromWx(file).c_str(), line, FromWx(func).c_str(),
               FromWx(cond).c_str(), FromWx(msg).c_str());
}

void InstallQuietAssertHandler()
{
  wxSetAssertHandler(QuietAssertHandler);
}

#include "platform/wx/wx_controls.h"

#include <chrono>

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "platform/text_util.h"
#include "platform/wx/wx_ui_services.h"

namespace {

std::string ToLf(const std::string& text)
{
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n')
        continue;
      out += '\n';
      continue;
    }
    out += text[i];
  }
  return out;
}

// A repaint forced at once waits for the display server, which on a busy
// machine costs more than the calculation that changed the text; a running
// calculation changes its texts many times a second and pumps events, which
// paint them anyway.
constexpr auto kForcedRepaintGap = std::chrono::milliseconds(50);

} // namespace

std::string WxControlText(wxWindow* w)
{
  if (auto* edit = dynamic_cast<wxTextCtrl*>(w))
    return edit->IsMultiLine() ? WithCrLf(FromWx(edit->GetValue())) : FromWx(edit->GetValue());
  if (auto* choice = dynamic_cast<wxChoice*>(w))
    return FromWx(choice->GetStringSelection());
  return w ? FromWx(w->GetLabel()) : std::string();
}

void SetWxControlText(wxWindow* w, const std::string& text)
{
  if (auto* edit = dynamic_cast<wxTextCtrl*>(w)) {
    edit->ChangeValue(ToWx(edit->IsMultiLine() ? ToLf(text) : text));
    return;
  }
  if (auto* choice = dynamic_cast<wxChoice*>(w)) {
    const int index = choice->FindString(ToWx(text));
    if (index != wxNOT_FOUND)
      choice->SetSelection(index);
    return;
  }
  if (auto* label = dynamic_cast<wxStaticText*>(w)) {
    label->SetLabelText(ToWx(text));
    return;
  }
  if (w)
    w->SetLabel(ToWx(text));
}

void RepaintNowUnlessJustDone(wxWindow* w)
{
  static std::chrono::steady_clock::time_point s_lastForced;
  if (!w || std::chrono::steady_clock::now() - s_lastForced < kForcedRepaintGap)
    return;
  w->Update();
  s_lastForced = std::chrono::steady_clock::now();
}

bool AppendWxEditText(wxWindow* w, const std::string& text)
{
  auto* edit = dynamic_cast<wxTextCtrl*>(w);
  if (edit)
    edit->AppendText(ToWx(edit->IsMultiLine() ? ToLf(text) : text));
  return edit != nullptr;
}

bool ReplaceWxEditEnd(wxWindow* w, const std::string& oldEnd, const std::string& newEnd)
{
  auto* edit = dynamic_cast<wxTextCtrl*>(w);
  if (!edit)
    return false;
  const bool multiLine = edit->IsMultiLine();
  const wxString removed = ToWx(multiLine ? ToLf(oldEnd) : oldEnd);
  const long last = edit->GetLastPosition();
  const long from = last - static_cast<long>(removed.length());
  // Positions count characters: an end that does not read back the same
  // (text the conversion changed) would cut in the wrong place.
  if (from < 0 || edit->GetRange(from, last) != removed)
    return false;
  edit->Replace(from, last, ToWx(multiLine ? ToLf(newEnd) : newEnd));
  return true;
}

int WxCheckBoxState(wxWindow* w)
{
  auto* box = dynamic_cast<wxCheckBox*>(w);
  return box ? (box->GetValue() ? 1 : 0) : -1;
}

bool SetWxCheckBoxState(wxWindow* w, int checked)
{
  auto* box = dynamic_cast<wxCheckBox*>(w);
  if (box)
    box->SetValue(checked != 0);
  return box != nullptr;
}

int WxControlEnabled(wxWindow* w)
{
  return w ? (w->IsThisEnabled() ? 1 : 0) : -1;
}

bool EnableWxControl(wxWindow* w, bool enable)
{
  if (w)
    w->Enable(enable);
  return w != nullptr;
}

int WxControlShown(wxWindow* w)
{
  return w ? (w->IsShown() ? 1 : 0) : -1;
}

bool ShowWxControl(wxWindow* w, bool show)
{
  if (w)
    w->Show(show);
  return w != nullptr;
}

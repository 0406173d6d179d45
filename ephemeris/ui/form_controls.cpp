#include "ephemeris/ui/form_controls.h"

#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/radiobut.h>

#include "determination/ui/wx_control_window.h"
#include "platform/wx/wx_controls.h"
#include "platform/wx/wx_ui_services.h"

FormControls::FormControls() = default;
FormControls::~FormControls() = default;

wxWindow* FormControls::Control(int id) const {
  const auto it = m_controls.find(id);
  return it == m_controls.end() ? nullptr : it->second;
}

std::string FormControls::Text(int id) const {
  wxWindow* w = Control(id);
  if (auto* combo = dynamic_cast<wxComboBox*>(w)) return FromWx(combo->GetValue());
  return w ? WxControlText(w) : std::string();
}

void FormControls::SetText(int id, const std::string& text) {
  if (wxWindow* w = Control(id)) SetWxControlText(w, text);
}

int FormControls::Selection(int id) const {
  auto* combo = dynamic_cast<wxComboBox*>(Control(id));
  return combo ? combo->GetSelection() : -1;
}

int FormControls::Checked(int id) const {
  wxWindow* w = Control(id);
  if (auto* box = dynamic_cast<wxCheckBox*>(w)) return box->GetValue() ? 1 : 0;
  if (auto* radio = dynamic_cast<wxRadioButton*>(w)) return radio->GetValue() ? 1 : 0;
  return 0;
}

EngineWindow* FormControls::Window(int id) {
  wxWindow* w = Control(id);
  if (!w) return nullptr;
  auto& slot = m_windows[id];
  if (!slot) slot = std::make_unique<WxControlWindow>(w);
  return slot.get();
}

void FormControls::Clear() {
  m_windows.clear();
  m_controls.clear();
}

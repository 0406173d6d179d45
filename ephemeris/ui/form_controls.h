#pragma once
// The widgets of a form by control id, read and written as the window-free
// models see them (texts, selections, checks, engine windows).
#include <map>
#include <memory>
#include <string>

#include <wx/window.h>

class EngineWindow;
class WxControlWindow;

class FormControls {
public:
  FormControls();
  ~FormControls();

  wxWindow* Add(int id, wxWindow* w) {
    m_controls[id] = w;
    return w;
  }
  wxWindow* Control(int id) const;
  std::string Text(int id) const;
  void SetText(int id, const std::string& text);
  // A combo box's selection, -1 for none or another control.
  int Selection(int id) const;
  // A check box or a radio button.
  int Checked(int id) const;
  EngineWindow* Window(int id);
  void Clear();

private:
  std::map<int, wxWindow*> m_controls;
  std::map<int, std::unique_ptr<WxControlWindow>> m_windows;
};

#pragma once
// A widget of the form as the engine's window (EngineWindow), and the text
// of a widget as the host's controls read and write it. Multi-line panes
// hold "\n" line ends; the engine's texts carry "\r\n", restored on reading.
#include <string>

#include <wx/weakref.h>
#include <wx/window.h>

#include "engine/orbit_engine.h"

std::string WxControlText(wxWindow* w);
void SetWxControlText(wxWindow* w, const std::string& text);

class WxControlWindow : public EngineWindow {
public:
  explicit WxControlWindow(wxWindow* w) : m_window(w) {}

  bool IsLive() const override { return m_window.get() != nullptr; }
  std::string GetText() const override;
  void SetText(const std::string& text) override;
  void AppendText(const std::string& text) override;
  void ScrollToEnd() override;
  void SetProgress(int percent) override;

private:
  wxWeakRef<wxWindow> m_window;
};

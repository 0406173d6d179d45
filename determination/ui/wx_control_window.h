#pragma once
// A widget of the form as the engine's window (EngineWindow): its text as
// WxControlText reads and writes it.
#include <string>

#include <wx/weakref.h>
#include <wx/window.h>

#include "engine/orbit_engine.h"

class WxControlWindow : public EngineWindow {
public:
  explicit WxControlWindow(wxWindow* w) : m_window(w) {}

  bool IsLive() const override { return m_window.get() != nullptr; }
  std::string GetText() const override;
  void SetText(const std::string& text) override;
  void AppendText(const std::string& text) override;
  bool ReplaceEnd(const std::string& oldEnd, const std::string& newEnd) override;
  void ScrollToEnd() override;
  void SetProgress(int percent) override;

private:
  wxWeakRef<wxWindow> m_window;
};

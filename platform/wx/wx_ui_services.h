#pragma once
// The windows' implementation of UiServices, on wxWidgets. Main thread only.
#include "platform/ui_services.h"

#include <wx/string.h>

class wxFrame;

class WxUiServices : public UiServices {
public:
  MsgAnswer ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                        MsgButtons buttons) override;
  void SetStatusText(const std::string& text) override;
  void SetBusyCursor(bool busy) override;
  bool PumpOneEvent() override;
  bool IsKeyDown(UiKey key) override;
  bool SetClipboardText(const std::string& text) override;

  // The frame whose status bar carries the status texts (may be null).
  void SetMainFrame(wxFrame* frame) { m_pFrame = frame; }

private:
  wxFrame* m_pFrame = nullptr;
  bool m_busy = false;
};

// Reports wxWidgets assertions on stderr instead of opening a dialog, so that
// no test or batch run ever waits on one.
void InstallQuietAssertHandler();

// The application's Esc event filter: every Esc key press latches
// LatchEscapeKey (platform/ui_services.h), for the long loops that stop on
// Esc. Installed once at start-up, removed at exit.
void InstallEscapeKeyFilter();
void RemoveEscapeKeyFilter();

// UTF-8 std::string <-> wxString.
wxString ToWx(const std::string& utf8);
std::string FromWx(const wxString& text);

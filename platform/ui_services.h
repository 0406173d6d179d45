#pragma once
// What the computation and data code asks of the windows, behind one seam.
// The windows supply a wxWidgets implementation (platform/wx); tests, batch
// runs and worker processes use HeadlessUiServices, which never blocks.
#include <string>
#include <vector>

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Cancel, Yes, No };
enum class UiKey { Escape, Shift, CapsLock, Control };

class UiServices {
public:
  virtual ~UiServices() = default;

  // A message box; returns the button chosen.
  virtual MsgAnswer ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                                MsgButtons buttons) = 0;
  // Text of the first pane of the main status bar.
  virtual void SetStatusText(const std::string& text) = 0;
  // Shows or hides the busy cursor (the nesting count lives in the application object).
  virtual void SetBusyCursor(bool busy) = 0;
  // Dispatches at most one pending window event; false when there was none.
  virtual bool PumpOneEvent() = 0;
  // Current state of a key (Caps Lock: its toggle state).
  virtual bool IsKeyDown(UiKey key) = 0;
  // Puts text on the clipboard; false when the clipboard cannot be had.
  virtual bool SetClipboardText(const std::string& text) = 0;
};

// The process's current implementation; a HeadlessUiServices until the
// windows install theirs.
UiServices& Ui();
// Installs an implementation (null restores the headless default). The caller
// keeps ownership and must uninstall it before destroying it.
void SetUi(UiServices* ui);

// Records every message and status text, answers with a scripted default.
class HeadlessUiServices : public UiServices {
public:
  struct Message {
    std::string caption;
    std::string text;
    MsgIcon icon;
    MsgButtons buttons;
  };

  MsgAnswer ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                        MsgButtons buttons) override;
  void SetStatusText(const std::string& text) override { m_status = text; }
  void SetBusyCursor(bool busy) override { m_busy = busy; }
  bool PumpOneEvent() override { ++m_pumps; return false; }
  bool IsKeyDown(UiKey key) override;
  bool SetClipboardText(const std::string& text) override { m_clipboard = text; return true; }

  // Answers given in order to the next boxes; after them the default: Ok for
  // an Ok box, else Cancel for OkCancel / YesNoCancel, No for YesNo.
  std::vector<MsgAnswer> m_scriptedAnswers;
  std::vector<Message> m_messages;
  std::string m_status;
  std::string m_clipboard;
  bool m_busy = false;
  int m_pumps = 0;
  bool m_keys[4] = {false, false, false, false};
};

// ---- Esc for long loops ----
// GTK reports keys only as events, never as a state that can be polled, so
// the windows install an event filter (platform/wx) that latches every Esc
// key press here. A loop that stops on Esc clears the latch when it starts,
// keeps events flowing (PumpOneEvent) and polls EscapeRequested. Main thread.
void LatchEscapeKey();
void ClearEscapeKey();
bool EscapeKeyLatched();
// True when Esc was latched since the last clear, or the UiServices reports
// the key down (headless: its scripted key state).
bool EscapeRequested();

// Installs a UiServices for the life of the object (tests).
class ScopedUi {
public:
  explicit ScopedUi(UiServices& ui) { SetUi(&ui); }
  ~ScopedUi() { SetUi(nullptr); }
  ScopedUi(const ScopedUi&) = delete;
  ScopedUi& operator=(const ScopedUi&) = delete;
};

#pragma once
// A form's controls as the windows' id-based accessors read and write them.
// Multi-line edits hold "\n" line ends; the texts they are given and give
// back carry "\r\n". Each helper that can miss says so, and the caller then
// answers from its own record of the id.
#include <string>

class wxWindow;

// The text of an edit, the selected string of a choice, else the label;
// empty for no window.
std::string WxControlText(wxWindow* w);
// Sets what WxControlText reads (a choice selects the string if it has it).
void SetWxControlText(wxWindow* w, const std::string& text);
// Repaints w at once (wxWindow::Update) unless a forced repaint was done
// less than 50 ms ago; the event loop paints it then.
void RepaintNowUnlessJustDone(wxWindow* w);
// Appends text to an edit as SetWxControlText writes it; false when w is no
// edit.
bool AppendWxEditText(wxWindow* w, const std::string& text);
// Replaces oldEnd at the end of an edit by newEnd, both as SetWxControlText
// writes them; false when w is no edit or its text does not end with oldEnd.
bool ReplaceWxEditEnd(wxWindow* w, const std::string& oldEnd, const std::string& newEnd);

// A check box's state (1 or 0), or -1 when w is no check box.
int WxCheckBoxState(wxWindow* w);
// Checks or clears a check box; false when w is no check box.
bool SetWxCheckBoxState(wxWindow* w, int checked);

// Whether the control itself is enabled (not its parent), or -1 for no window.
int WxControlEnabled(wxWindow* w);
// Enables or disables the control; false for no window.
bool EnableWxControl(wxWindow* w, bool enable);

// Whether the control is shown, or -1 for no window.
int WxControlShown(wxWindow* w);
// Shows or hides the control; false for no window.
bool ShowWxControl(wxWindow* w, bool show);

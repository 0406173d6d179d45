#pragma once
// Showing a top-level window for the first time on GTK under a window manager.
#include <wx/toplevel.h>

// Shows the window with its first layout at its own size. Under a window
// manager that reports frame extents the toolkit realises a new window at
// 2 x 1 pixels and may lay its menu, toolbar and tabs out at that size before
// the real size arrives (GTK then reports negative sizes).
void ShowAtItsSize(wxTopLevelWindow* window);

// Runs the event loop until the window is on screen or timeoutMs has passed;
// false on time-out. A dialog opened before its parent is on screen can end
// up beneath it.
bool WaitUntilOnScreen(wxTopLevelWindow* window, int timeoutMs);

// The X window of a top-level window once it is realised; 0 before, or off X.
unsigned long X11WindowId(const wxWindow* window);

// Puts the window in a window group of its own, so that a modal dialog open
// elsewhere in the program does not take its input (a modeless help window
// read beside a modal dialog). Called before the window is first shown; while
// a modal dialog runs it also drops the window's transient parent, so that
// the window takes no input from the modal dialog either.
void KeepOutOfModalGrabs(wxTopLevelWindow* window);

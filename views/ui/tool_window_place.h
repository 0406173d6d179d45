#pragma once
// Where a tool window opens: its stored corner ("<prefix>_X", "<prefix>_Y")
// when that lies on the screens, else the default; the main frame writes the
// window's corner back when it closes.
#include <wx/toplevel.h>

void PlaceToolWindow(wxTopLevelWindow* window, const char* keyPrefix, int defX, int defY);
// The window no longer gives its corner (its destructor).
void ForgetToolWindowPlace(const char* keyPrefix);

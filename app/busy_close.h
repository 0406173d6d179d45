#pragma once
// Frames refuse to close while a calculation runs on the main thread: it
// pumps events, and a closed frame would delete the view it works for. A
// close under a modal dialog waits until the dialog has ended.
class wxCloseEvent;
class wxWindow;

// Vetoes a close that may be vetoed while CurrentCalculationRunning(), with
// the busy message; true when it did (the caller then stops).
bool RefuseCloseWhileCalculating(wxCloseEvent& event);

// A close that comes while a modal dialog runs (forced, as at the end of a
// session) ends the dialogs and closes window again once the program is back
// in its main loop: deleting the frame now would delete the view whose
// handler still runs the dialog's loop, and a dialog made on that handler's
// stack. True when it did (the caller then stops).
bool CloseAfterModalDialogs(wxWindow* window, wxCloseEvent& event);

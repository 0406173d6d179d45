#pragma once
// Frames refuse to close while a calculation runs on the main thread: it
// pumps events, and a closed frame would delete the view it works for.
class wxCloseEvent;

// Vetoes a close that may be vetoed while CurrentCalculationRunning(), with
// the busy message; true when it did (the caller then stops).
bool RefuseCloseWhileCalculating(wxCloseEvent& event);

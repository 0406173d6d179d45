#pragma once
// Window routines that windows of every subsystem share, on wxWidgets: a
// dialog placed near the main window, one event moved during long work, and
// Japanese text wrapped to a width (the breaking itself is in
// data/window_text.h). Main thread only.
#include <string>

#include <wx/string.h>

class wxDC;
class wxRect;
class wxWindow;

namespace CTessaruneLib {

// Moves pWnd (not resized, not activated) to 32 pixels right of and below the
// top-left corner of the main window's client area, kept inside the desktop
// work area. Nothing when pWnd or the main window is missing.
void PlaceNearMainWindow(wxWindow* pWnd);

// Dispatches one pending event of the thread; 1 when one was dispatched, 0
// when none was pending. Callers keep their state consistent before calling:
// the event may re-enter their own handlers.
int PumpOneMessage();

// Draws szText (UTF-8) from (x, y) downwards wrapped at nWidth pixels in the
// DC's font, each line at x or centred in the width; with bMeasureOnly
// nothing is drawn. The height the text takes.
int DrawWrappedText(wxDC* pDC, const std::string& szText, int x, int y, int nWidth, bool bCentre,
                    bool bMeasureOnly);

} // namespace CTessaruneLib

// text (UTF-8) with line feeds where DrawWrappedText's rules break it at
// width pixels in the window's font: wxStaticText::Wrap breaks only at
// blanks, which Japanese text seldom has.
wxString WrapTextForWindow(const wxWindow* window, const std::string& text, int width);

// Where PlaceNearMainWindow puts a window of size (width, height) for a main
// client area whose top-left corner is at (clientX, clientY) on the screen,
// inside workArea (an empty work area places without limits).
void PlaceNearClientArea(int clientX, int clientY, int width, int height, const wxRect& workArea, int& x, int& y);

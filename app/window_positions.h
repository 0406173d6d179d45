#pragma once
// The stored places of the main window and the tool windows (section
// "SYSTEM"): reading the main window's placement at start-up, writing the
// positions at close, and the reset command. Screen pixels throughout.
#include <functional>
#include <optional>
#include <string>

class CTessaruneApp;

struct PixelRect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
};

// Overlap of two rectangles (width or height 0 when they do not meet).
PixelRect Intersect(const PixelRect& a, const PixelRect& b);

// The stored normal rectangle of the main window, when it is at least 320 x
// 240, both corners were stored and it overlaps the virtual screen (the
// bounding box of all monitors) by at least 120 x 60; otherwise nullopt.
std::optional<PixelRect> StoredMainWindowRect(const CTessaruneApp& app, const PixelRect& virtualScreen);
bool StoredMainWindowMaximised(const CTessaruneApp& app);

// "MAINWND_X", "MAINWND_Y", "MAINWND_W", "MAINWND_H" and "MAINWND_MAX".
void WriteMainWindowPlacement(CTessaruneApp& app, const PixelRect& normal, bool maximised);
// keyPrefix "GLOBEDLG", "ORBITVIEW" or "MAGCURVE": "<prefix>_X" and "<prefix>_Y" as "%d".
void WriteToolWindowPosition(CTessaruneApp& app, const char* keyPrefix, int x, int y);

// The stored corner of a tool window ("<prefix>_X", "<prefix>_Y"), when both
// are set and x lies within the virtual screen's left edge .. its right edge
// less 50 pixels (y likewise); otherwise (defX, defY).
PixelRect StoredToolWindowCorner(const CTessaruneApp& app, const char* keyPrefix, const PixelRect& virtualScreen,
                                 int defX, int defY);

// The open tool windows whose places the main frame writes when it closes:
// each gives its left and top screen edges (false: nothing to write). An
// empty source removes the window's entry.
using ToolPlaceSource = std::function<bool(int& x, int& y)>;
void SetToolWindowPlaceSource(const std::string& keyPrefix, ToolPlaceSource source);
void WriteToolWindowPlaces(CTessaruneApp& app);

// Deletes every stored window position and size and the observation list's
// splitter and column widths.
void ResetStoredWindowPositions(CTessaruneApp& app);
// A rectangle four fifths of the work area's width and height, centred in it.
PixelRect CentredFourFifths(const PixelRect& workArea);

// The first window, with no stored placement: the window grown by what its
// view lacks (growW, growH; never shrunk), no larger than the work area, and
// moved into it where it would stand out.
PixelRect GrowWithinWorkArea(const PixelRect& window, int growW, int growH, const PixelRect& workArea);

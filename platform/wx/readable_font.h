#pragma once
// Sizes of text meant to be read. The drawings give their fonts as an em
// height in pixels, as the original layouts do; the toolkit's own pixel size
// is the whole line height instead, which made an 11-pixel font a 6-point one
// whose digits stood 7 pixels high. Converted here at the screen's
// resolution, and never below the desktop's small font.

// The desktop's small font, in points (the toolkit's small stock font, which
// it derives from the desktop's font).
double DesktopSmallFontPoints();

// An em height in pixels as points at the screen's resolution, at least the
// desktop's small font.
double ReadableFontPoints(double emPixels);

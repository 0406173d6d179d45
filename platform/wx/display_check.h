#pragma once
// Whether the program can open a window at all, tested before the toolkit
// starts (which would end in a toolkit error and a trap instead).
#include <string>

#include <wx/gdicmn.h>
#include <wx/image.h>

// "" when a display can be opened; else why not, in a few words.
std::string NoDisplayReason();

// What the X server shows in that area of the screen now (an empty image when
// it cannot be read). Toolkit screen contexts may keep an older copy.
wxImage CaptureScreenArea(const wxRect& area);

#pragma once
// The toolbar's 16 x 15 button images, drawn at start-up.
#include <wx/bitmap.h>

wxBitmap ToolbarImage(int command);

#pragma once
// The hand shown while a picture is dragged (the orbit diagram, the globe,
// the magnitude curve, the observer-location map): made on first use, kept.
#include <wx/cursor.h>

const wxCursor& GetHandCursor();

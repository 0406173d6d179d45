#pragma once
// A spin control that is only its two arrows ("-" and "+" side by side): the
// value lives in the edit beside it. The toolkit's spin button is an entry
// with arrows, and at a form's designed size it showed its own counter as a
// stray "0" field between the edit and the arrows.
#include <wx/spinbutt.h>

wxSpinButton* NewArrowsOnlySpin(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size);

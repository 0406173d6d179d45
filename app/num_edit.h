#pragma once
// The numeric edit field of the forms: refuses, with a beep, every keystroke
// and paste that would leave text that is not a number of its shape.
#include <wx/textctrl.h>

#include "platform/num_edit_rules.h"

class CNumEdit : public wxTextCtrl {
public:
  CNumEdit(wxWindow* parent, wxWindowID id, const wxPoint& pos = wxDefaultPosition,
           const wxSize& size = wxDefaultSize);

  // Sets the shape and the text limit; in modes 1 and 2 the input method is
  // kept off the field so that the keyboard types plain ASCII digits.
  void Configure(const NumEditShape& shape);
  const NumEditShape& Shape() const { return m_shape; }

  // A read-only field is no tab stop.
  bool AcceptsFocusFromKeyboard() const override { return IsEditable() && wxTextCtrl::AcceptsFocusFromKeyboard(); }

  // Whether inserting text at the current selection would be accepted.
  bool AcceptsInsertion(const wxString& text) const;

private:
  void OnChar(wxKeyEvent& event);
  void OnPaste(wxClipboardTextEvent& event);

  NumEditShape m_shape;
};

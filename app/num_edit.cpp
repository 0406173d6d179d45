#include "app/num_edit.h"

#include <gtk/gtk.h>

#include <wx/clipbrd.h>
#include <wx/utils.h>

#include "platform/wx/wx_ui_services.h"

CNumEdit::CNumEdit(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size)
    : wxTextCtrl(parent, id, wxString(), pos, size)
{
  Bind(wxEVT_CHAR, &CNumEdit::OnChar, this);
  Bind(wxEVT_TEXT_PASTE, &CNumEdit::OnPaste, this);
}

void CNumEdit::Configure(const NumEditShape& shape)
{
  m_shape = shape;
  const int limit = NumEditTextLimit(shape);
  if (limit > 0)
    SetMaxLength(limit);
  if (shape.mode == 1 || shape.mode == 2) {
    // The simple input context commits each key as it is: no composition.
    if (GtkWidget* entry = static_cast<GtkWidget*>(GetHandle()); entry && GTK_IS_ENTRY(entry)) {
      g_object_set(G_OBJECT(entry), "im-module", "gtk-im-context-simple", nullptr);
      gtk_entry_set_input_purpose(GTK_ENTRY(entry), GTK_INPUT_PURPOSE_NUMBER);
    }
  }
}

bool CNumEdit::AcceptsInsertion(const wxString& text) const
{
  long from = 0, to = 0;
  GetSelection(&from, &to);
  return NumEditAccepts(m_shape, NumEditCandidate(FromWx(GetValue()), from, to, FromWx(text)));
}

void CNumEdit::OnChar(wxKeyEvent& event)
{
  const wxChar ch = event.GetUnicodeKey();
  if (ch == WXK_NONE || ch < 32 || event.ControlDown() || event.AltDown()) {
    event.Skip();
    return;
  }
  if (AcceptsInsertion(wxString(ch)))
    event.Skip();
  else
    wxBell();
}

void CNumEdit::OnPaste(wxClipboardTextEvent& event)
{
  wxString text;
  if (wxTheClipboard->Open()) {
    if (wxTheClipboard->IsSupported(wxDF_UNICODETEXT)) {
      wxTextDataObject data;
      wxTheClipboard->GetData(data);
      text = data.GetText();
    }
    wxTheClipboard->Close();
  }
  if (AcceptsInsertion(text))
    event.Skip();
  else
    wxBell();
}

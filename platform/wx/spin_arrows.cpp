#include "platform/wx/spin_arrows.h"

#include <gtk/gtk.h>

namespace {

// The entry part keeps its place but draws nothing: no frame, no text, no caret.
constexpr const char* kArrowsOnlyCss =
    "spinbutton.horizontal, spinbutton.horizontal > entry {"
    " background: none; border-color: transparent; box-shadow: none; color: transparent;"
    " caret-color: transparent; min-width: 0; padding-left: 0; padding-right: 0; }";

} // namespace

wxSpinButton* NewArrowsOnlySpin(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size)
{
  auto* spin = new wxSpinButton(parent, id, pos, size, wxSP_HORIZONTAL);
  if (auto* widget = static_cast<GtkWidget*>(spin->GetHandle()); widget && GTK_IS_SPIN_BUTTON(widget)) {
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, kArrowsOnlyCss, -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget), GTK_STYLE_PROVIDER(css),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
    gtk_widget_set_can_focus(widget, FALSE);
  }
  return spin;
}

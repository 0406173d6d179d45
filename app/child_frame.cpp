#include "app/child_frame.h"

#include <gtk/gtk.h>

#include "app/busy_close.h"
#include "app/frame_keys.h"
#include "app/form_view.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_menus.h"

namespace {

void OnTabCloseClicked(GtkButton* /*button*/, gpointer frame)
{
  static_cast<CChildFrame*>(frame)->Close();
}

} // namespace

CChildFrame::CChildFrame(wxDocument* doc, wxView* view, wxMDIParentFrame* parent, const wxString& title)
    : wxDocMDIChildFrame(doc, view, parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize,
                         wxDEFAULT_FRAME_STYLE | wxMAXIMIZE)
{
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& event) {
    if (!RefuseCloseWhileCalculating(event) && !CloseAfterModalDialogs(this, event))
      event.Skip();
  });
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { Close(); }, ID_CLOSE_VIEW);
  Bind(wxEVT_UPDATE_UI, [](wxUpdateUIEvent& e) { e.Enable(true); }, ID_CLOSE_VIEW);
  Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& e) {
    if (!HandleFrameKey(this, e))
      e.Skip();
  });
  InstallTabCloseButton();
}

void CChildFrame::SetFormView(CFormView* view)
{
  m_pFormView = view;
}

void CChildFrame::ActivateFrame()
{
  if (!IsShown())
    Show();
  Maximize(true);
  Activate();
}

void CChildFrame::SetTitle(const wxString& title)
{
  wxDocMDIChildFrame::SetTitle(title);
  InstallTabCloseButton();
}

void CChildFrame::InstallTabCloseButton()
{
  wxMDIParentFrame* parent = GetMDIParent();
  wxWindow* client = parent ? parent->GetClientWindow() : nullptr;
  GtkWidget* book = client ? static_cast<GtkWidget*>(client->GetHandle()) : nullptr;
  GtkWidget* page = static_cast<GtkWidget*>(GetHandle());
  if (!book || !page || !GTK_IS_NOTEBOOK(book) || gtk_notebook_page_num(GTK_NOTEBOOK(book), page) < 0)
    return;
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
  GtkWidget* label = gtk_label_new(GetTitle().utf8_str());
  GtkWidget* button = gtk_button_new_from_icon_name("window-close-symbolic", GTK_ICON_SIZE_MENU);
  gtk_button_set_relief(GTK_BUTTON(button), GTK_RELIEF_NONE);
  gtk_widget_set_focus_on_click(button, FALSE);
  gtk_widget_set_tooltip_text(button, ToWx(kCloseViewTooltip).utf8_str());
  g_signal_connect(button, "clicked", G_CALLBACK(OnTabCloseClicked), this);
  gtk_box_pack_start(GTK_BOX(box), label, TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(box), button, FALSE, FALSE, 0);
  gtk_widget_show_all(box);
  gtk_notebook_set_tab_label(GTK_NOTEBOOK(book), page, box);
  m_pTabClose = button;
}

bool CChildFrame::TryBefore(wxEvent& event)
{
  const wxEventType type = event.GetEventType();
  if (m_pFormView && (type == wxEVT_MENU || type == wxEVT_UPDATE_UI)) {
    wxWindow* from = static_cast<wxWindow*>(event.GetPropagatedFrom());
    if ((!from || !from->IsDescendant(m_pFormView)) && m_pFormView->GetEventHandler()->ProcessEventLocally(event))
      return true;
  }
  return wxDocMDIChildFrame::TryBefore(event);
}

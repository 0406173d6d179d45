#include "app/child_frame.h"

#include "app/busy_close.h"
#include "app/form_view.h"

CChildFrame::CChildFrame(wxDocument* doc, wxView* view, wxMDIParentFrame* parent, const wxString& title)
    : wxDocMDIChildFrame(doc, view, parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize,
                         wxDEFAULT_FRAME_STYLE | wxMAXIMIZE)
{
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& event) {
    if (!RefuseCloseWhileCalculating(event) && !CloseAfterModalDialogs(this, event))
      event.Skip();
  });
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

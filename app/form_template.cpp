#include "app/form_template.h"

#include <wx/menu.h>

#include "app/child_frame.h"
#include "app/form_view.h"

CChildFrame* CFormTemplate::CreateNewFrame(wxMDIParentFrame* parent, wxDocument* doc) const
{
  if (!m_makeView || !parent)
    return nullptr;
  auto* frame = new CChildFrame(doc, nullptr, parent, wxString());
  CFormView* view = m_makeView(frame);
  if (!view) {
    frame->Destroy();
    return nullptr;
  }
  frame->SetFormView(view);
  if (m_makeMenu)
    frame->SetMenuBar(m_makeMenu());
  return frame;
}

void CFormTemplate::InitialUpdateFrame(CChildFrame* frame, wxDocument* /*doc*/, bool makeVisible) const
{
  if (!frame)
    return;
  if (CFormView* view = frame->GetFormView())
    view->OnInitialUpdate();
  if (makeVisible)
    frame->ActivateFrame();
}

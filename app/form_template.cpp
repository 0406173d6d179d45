#include "app/form_template.h"

#include <vector>

#include <wx/menu.h>

#include "app/child_frame.h"
#include "app/form_view.h"
#include "app/window_menu.h"

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
    frame->SetMenuBar(AddDocumentWindowItems(m_makeMenu()));
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

namespace {

struct RegisteredView {
  FunctionView kind;
  CFormTemplate::ViewFactory makeView;
  CFormTemplate::MenuFactory makeMenu;
};

std::vector<RegisteredView>& RegisteredViews()
{
  static std::vector<RegisteredView> views;
  return views;
}

} // namespace

void RegisterFunctionView(FunctionView kind, CFormTemplate::ViewFactory makeView, CFormTemplate::MenuFactory makeMenu)
{
  for (RegisteredView& r : RegisteredViews()) {
    if (r.kind == kind) {
      r.makeView = std::move(makeView);
      r.makeMenu = std::move(makeMenu);
      return;
    }
  }
  RegisteredViews().push_back({kind, std::move(makeView), std::move(makeMenu)});
}

void ApplyRegisteredViews(std::span<CFormTemplate* const> templates)
{
  for (CFormTemplate* t : templates) {
    for (const RegisteredView& r : RegisteredViews()) {
      if (r.kind != t->Kind())
        continue;
      t->SetViewFactory(r.makeView);
      t->SetMenuFactory(r.makeMenu);
    }
  }
}

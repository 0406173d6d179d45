#include "app/doc_shells.h"

#include <wx/app.h>
#include <wx/choicdlg.h>
#include <wx/filehistory.h>
#include <wx/mdi.h>

#include "app/app_menus.h"
#include "app/child_frame.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_menus.h"

wxIMPLEMENT_DYNAMIC_CLASS(CTessaruneDoc, wxDocument);
wxIMPLEMENT_DYNAMIC_CLASS(CTessaruneView, wxView);

bool CTessaruneDoc::DoOpenDocument(const wxString& /*file*/)
{
  return true;
}

bool CTessaruneDoc::DoSaveDocument(const wxString& /*file*/)
{
  return true;
}

bool CTessaruneView::OnCreate(wxDocument* doc, long /*flags*/)
{
  auto* parent = wxDynamicCast(wxTheApp->GetTopWindow(), wxMDIParentFrame);
  if (!parent)
    return false;
  auto* frame = new CChildFrame(doc, this, parent, doc->GetUserReadableName());
  frame->SetMenuBar(BuildMenuBar(kDefaultViewMenu));
  SetFrame(frame);
  frame->ActivateFrame();
  return true;
}

void CTessaruneView::OnDraw(wxDC* /*dc*/)
{
}

bool CTessaruneView::OnClose(bool deleteWindow)
{
  if (!wxView::OnClose(deleteWindow))
    return false;
  Activate(false);
  return true;
}

wxDocument* CShellDocTemplate::CreateDocument(const wxString& path, long flags)
{
  if (!m_viewClassInfo)
    return nullptr;
  return wxDocTemplate::CreateDocument(path, flags);
}

wxFileHistory* CDocManager::OnCreateFileHistory()
{
  return new wxFileHistory(4);
}

wxDocTemplate* CDocManager::SelectDocumentType(wxDocTemplate** templates, int noTemplates, bool /*sort*/)
{
  wxArrayString names;
  wxDocTemplate* visible[16];
  int n = 0;
  for (int i = 0; i < noTemplates && n < 16; ++i) {
    if (!templates[i]->IsVisible())
      continue;
    names.Add(templates[i]->GetDescription());
    visible[n++] = templates[i];
  }
  if (n == 0)
    return nullptr;
  if (n == 1)
    return visible[0];
  wxSingleChoiceDialog dlg(wxTheApp->GetTopWindow(), ToWx("新規(&N)"), ToWx("新規"), names);
  return dlg.ShowModal() == wxID_OK ? visible[dlg.GetSelection()] : nullptr;
}

void RegisterShellDocTemplates(wxDocManager* manager)
{
  // The ephemeris view (template 103) is a form view; it is opened with a
  // document only when its view class is given here.
  new CShellDocTemplate(manager, "Marvek", "*.*", "", "", "Marvek Document", "Marvek View",
                        CLASSINFO(CTessaruneDoc), CLASSINFO(CTessaruneView));
  new CShellDocTemplate(manager, "Epheme", "*.eph", "", "eph",
                        "Epheme Document", "Ephemerides View", CLASSINFO(CTessaruneDoc), nullptr);
}

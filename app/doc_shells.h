#pragma once
// The document and default-view classes the framework's New and Open
// commands need (templates 129 and 103), and the document manager that holds
// them with a recent-file list of 4 entries.
#include <wx/docview.h>

// Holds no data.
class CTessaruneDoc : public wxDocument {
public:
  // Nothing to read or write: opening keeps the name, saving writes nothing.
  bool DoOpenDocument(const wxString& file) override;
  bool DoSaveDocument(const wxString& file) override;

private:
  wxDECLARE_DYNAMIC_CLASS(CTessaruneDoc);
};

// Draws nothing; shown in a CChildFrame under menu 129.
class CTessaruneView : public wxView {
public:
  bool OnCreate(wxDocument* doc, long flags) override;
  void OnDraw(wxDC* dc) override;
  bool OnClose(bool deleteWindow) override;

private:
  wxDECLARE_DYNAMIC_CLASS(CTessaruneView);
};

// A template whose view class does not exist in this build creates no
// document, so New and Open with it do nothing.
class CShellDocTemplate : public wxDocTemplate {
public:
  using wxDocTemplate::wxDocTemplate;
  wxDocument* CreateDocument(const wxString& path, long flags = 0) override;
};

class CDocManager : public wxDocManager {
public:
  wxFileHistory* OnCreateFileHistory() override;
  wxDocTemplate* SelectDocumentType(wxDocTemplate** templates, int noTemplates, bool sort = false) override;
};

// Registers templates 129 and 103 with the manager.
void RegisterShellDocTemplates(wxDocManager* manager);

#pragma once
// The frame of every view: an MDI child (a tab of the main frame), always
// shown maximised. A function view's frame has no document.
#include <wx/docmdi.h>

class CFormView;

class CChildFrame : public wxDocMDIChildFrame {
public:
  CChildFrame(wxDocument* doc, wxView* view, wxMDIParentFrame* parent, const wxString& title);

  // The form view filling the frame (null for the default view's frame).
  void SetFormView(CFormView* view);
  CFormView* GetFormView() const { return m_pFormView; }

  // Shows and activates the frame maximised, whatever was asked.
  void ActivateFrame();

  // A tab is no top-level window: showing and hiding it must not move it as one.
  bool Show(bool show = true) override { return wxWindow::Show(show); }

protected:
  // Menu and update-UI events go to the form view first.
  bool TryBefore(wxEvent& event) override;

private:
  CFormView* m_pFormView = nullptr;
};

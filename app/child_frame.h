#pragma once
// The frame of every view: an MDI child (a tab of the main frame), always
// shown maximised. A function view's frame has no document. It closes as a
// document window does on this desktop: the close control on its tab, the
// "閉じる" command, Ctrl+W and Ctrl+F4; a close during a calculation is refused.
#include <wx/docmdi.h>

class CFormView;
typedef struct _GtkWidget GtkWidget;

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

  // The toolkit writes a new title as a plain tab label: the close control is put back.
  void SetTitle(const wxString& title) override;

  // The close control on the frame's tab; null when the frame is no tab.
  GtkWidget* TabCloseButton() const { return m_pTabClose; }

protected:
  // Menu and update-UI events go to the form view first.
  bool TryBefore(wxEvent& event) override;

private:
  void InstallTabCloseButton();

  CFormView* m_pFormView = nullptr;
  GtkWidget* m_pTabClose = nullptr;
};

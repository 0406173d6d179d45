#pragma once
// A modal dialog of one class while it is open, seen through the modal hook
// (GTK's file chooser is no top-level window of the program's list).
#include <wx/dialog.h>
#include <wx/filedlg.h>
#include <wx/modalhook.h>
#include <wx/toplevel.h>

template <class Dialog>
class DialogWatch : public wxModalDialogHook {
public:
  Dialog* m_pOpen = nullptr;

protected:
  int Enter(wxDialog* dialog) override
  {
    if (auto* d = dynamic_cast<Dialog*>(dialog))
      m_pOpen = d;
    return wxID_NONE;
  }
  void Exit(wxDialog* dialog) override
  {
    if (dialog == m_pOpen)
      m_pOpen = nullptr;
  }
};

// Counts the modal dialogs that would open, and keeps them closed.
class ModalCounter : public wxModalDialogHook {
public:
  int m_nShown = 0;

protected:
  int Enter(wxDialog*) override
  {
    ++m_nShown;
    return wxID_CANCEL;
  }
  void Exit(wxDialog*) override {}
};

// The user's answer in an open file chooser (null: none open): the path,
// then "open" once the chooser has read the folder and selected it.
inline void AnswerFileChooser(wxFileDialog* dlg, const wxString& path, bool& chosen)
{
  if (!dlg)
    return;
  if (!chosen)
    dlg->SetPath(path);
  chosen = true;
  if (!dlg->GetPath().empty())
    dlg->EndModal(wxID_OK);
}

// The first top-level window of class W on screen, or null.
template <class W>
W* ShownTopLevel()
{
  for (wxWindow* w : wxTopLevelWindows)
    if (auto* found = dynamic_cast<W*>(w); found && found->IsShownOnScreen())
      return found;
  return nullptr;
}

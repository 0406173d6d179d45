#pragma once
// The element reader's two questions, on wxWidgets: the open-file dialog for
// an element file and the object-selection dialog CSelObjDlg. Main thread only.
#include <vector>

#include <wx/dialog.h>

#include "data/element_file.h"

class wxChoice;
class wxTextCtrl;

// Object-selection dialog (template 136, "オブジェクト選択画面"): a drop-down
// list of the records' names under "天体一覧:", OK and "ｷｬﾝｾﾙ". ShowModal,
// then Selected(): the chosen record index, -1 when nothing was chosen.
class CSelObjDlg : public wxDialog {
public:
  enum { IDC_OBJECT_LIST = 1050, IDC_OBJECT_EDIT = 1049 };

  CSelObjDlg(wxWindow* parent, const std::vector<ElementRecord>& records, int count);
  int Selected() const { return m_selection.Selected(); }

  bool TransferDataToWindow() override;  // OnInitDialog: fills the list, selects the first
  void OnOK(wxCommandEvent& event);
  void OnCancel(wxCommandEvent& event);

private:
  ObjectSelection m_selection;
  wxChoice* m_pList = nullptr;
  wxTextCtrl* m_pEdit = nullptr;  // part of the template; not used
};

// ElementFileUi on the dialogs above.
class WxElementFileUi : public ElementFileUi {
public:
  bool AskElementFilePath(std::string& path) override;
  int SelectObject(const std::vector<ElementRecord>& records, int count) override;
};

// Installs one WxElementFileUi for the life of the process (the application's start-up).
void InstallElementFileDialogs();

#pragma once
// "操作ログの管理": the operation logs of the data folder, newest first, to
// open with the desktop's program, delete several at once, or open the
// folder. A modal dialog of the main frame's command 32808.
#include <string>
#include <vector>

#include <wx/dialog.h>

#include "determination/oplog_manager.h"

class wxButton;
class wxListCtrl;
class wxStaticText;

class COpLogMan : public wxDialog {
public:
  enum : int { IDC_OPLOG_LIST = 1001, IDC_OPLOG_OPEN, IDC_OPLOG_DELETE, IDC_OPLOG_FOLDER, IDC_OPLOG_STATUS };

  explicit COpLogMan(wxWindow* parent);

  // Lists the folder again; no row selected afterwards.
  void RefreshList();
  // folder + the row's name; "" outside the rows.
  std::string GetItemPath(long row) const;
  wxListCtrl* List() const { return m_list; }
  std::string StatusText() const;

private:
  std::vector<long> SelectedRows() const;
  void UpdateButtons();
  void OnOpen();
  void OnDelete();
  void OnOpenFolder();
  void OnCharHook(wxKeyEvent& event);

  OpLogFileOps* m_ops;
  std::string m_strFolder;
  std::vector<std::string> m_names;  // the rows' file names
  wxListCtrl* m_list = nullptr;
  wxStaticText* m_status = nullptr;
  wxButton* m_open = nullptr;
  wxButton* m_delete = nullptr;
};

// Command 32808 of the main frame: the dialog, run modally.
void RunOpLogManager(wxWindow* mainFrame);

#include "determination/ui/oplog_man_dlg.h"

#include <algorithm>

#include <wx/button.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/utils.h>

#include "platform/app_services.h"
#include "platform/ui_services.h"
#include "platform/wx/wx_ui_services.h"

namespace {

constexpr const char* kHint =
    "複数選択して削除できます。開くときは拡張子に関連付けられたソフトが起動します。";

// The desktop opens files and folders with the program it associates with them.
class DesktopOpLogFiles : public OpLogFileOps {
public:
  bool Open(const std::string& path) override { return wxLaunchDefaultApplication(ToWx(path)); }
};

}  // namespace

COpLogMan::COpLogMan(wxWindow* parent) : wxDialog(parent, wxID_ANY, ToWx(kOpLogManTitle))
{
  static DesktopOpLogFiles desktop;
  m_ops = OpLogFileOpsOverride() ? OpLogFileOpsOverride() : &desktop;
  m_strFolder = TheApp().m_szDataDir;

  auto* top = new wxBoxSizer(wxVERTICAL);
  m_status = new wxStaticText(this, IDC_OPLOG_STATUS, wxEmptyString);
  top->Add(m_status, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 10);
  m_list = new wxListCtrl(this, IDC_OPLOG_LIST, wxDefaultPosition, wxDefaultSize,
                          wxLC_REPORT | wxBORDER_SUNKEN | wxLC_HRULES | wxLC_VRULES);
  // The names are cut at 200 pixels in the fonts of GTK: as wide as one needs.
  const int nameWidth = std::max(200, m_list->GetTextExtent("Tessarune_OpLog_20240101_000000.txt").x + 16);
  m_list->SetMinSize(wxSize(nameWidth + 90 + 140 + 24, 340));
  m_list->AppendColumn(ToWx("ファイル"), wxLIST_FORMAT_LEFT, nameWidth);
  m_list->AppendColumn(ToWx("大きさ"), wxLIST_FORMAT_RIGHT, 90);
  m_list->AppendColumn(ToWx("更新日時"), wxLIST_FORMAT_LEFT, 140);
  top->Add(m_list, 1, wxEXPAND | wxALL, 10);

  auto* row = new wxBoxSizer(wxHORIZONTAL);
  m_open = new wxButton(this, IDC_OPLOG_OPEN, ToWx("開く(&O)"));
  m_delete = new wxButton(this, IDC_OPLOG_DELETE, ToWx("削除(&D)"));
  row->Add(m_open, 0, wxRIGHT, 6);
  row->Add(m_delete, 0, wxRIGHT, 6);
  row->Add(new wxButton(this, IDC_OPLOG_FOLDER, ToWx("フォルダーを開く(&F)")));
  top->Add(row, 0, wxLEFT | wxRIGHT, 10);
  top->Add(new wxStaticText(this, wxID_ANY, ToWx(kHint)), 0, wxALL, 10);
  auto* close = new wxButton(this, wxID_OK, ToWx("閉じる"));
  top->Add(close, 0, wxALIGN_RIGHT | wxLEFT | wxRIGHT | wxBOTTOM, 10);
  SetSizerAndFit(top);
  SetEscapeId(wxID_OK);

  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnOpen(); }, IDC_OPLOG_OPEN);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnDelete(); }, IDC_OPLOG_DELETE);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnOpenFolder(); }, IDC_OPLOG_FOLDER);
  Bind(wxEVT_LIST_ITEM_ACTIVATED, [this](wxListEvent&) { OnOpen(); }, IDC_OPLOG_LIST);
  Bind(wxEVT_LIST_ITEM_SELECTED, [this](wxListEvent&) { UpdateButtons(); }, IDC_OPLOG_LIST);
  Bind(wxEVT_LIST_ITEM_DESELECTED, [this](wxListEvent&) { UpdateButtons(); }, IDC_OPLOG_LIST);
  Bind(wxEVT_CHAR_HOOK, &COpLogMan::OnCharHook, this);
  RefreshList();
}

void COpLogMan::RefreshList()
{
  const std::vector<OpLogFileEntry> entries = SortOpLogEntries(m_ops->List(m_strFolder));
  m_list->Freeze();
  m_list->DeleteAllItems();
  m_names.clear();
  for (const OpLogFileEntry& e : entries) {
    const long row = m_list->InsertItem(m_list->GetItemCount(), ToWx(e.name));
    m_list->SetItem(row, 1, ToWx(FormatOpLogSize(e.bytes)));
    m_list->SetItem(row, 2, ToWx(e.modified));
    m_names.push_back(e.name);
  }
  m_list->Thaw();
  m_status->SetLabel(ToWx(FormatOpLogStatus(entries, m_strFolder)));
  UpdateButtons();
}

std::string COpLogMan::GetItemPath(long row) const
{
  if (row < 0 || row >= static_cast<long>(m_names.size()))
    return {};
  return m_strFolder + m_names[static_cast<size_t>(row)];
}

std::string COpLogMan::StatusText() const { return FromWx(m_status->GetLabel()); }

std::vector<long> COpLogMan::SelectedRows() const
{
  std::vector<long> rows;
  for (long row = m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); row != -1;
       row = m_list->GetNextItem(row, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
    rows.push_back(row);
  return rows;
}

void COpLogMan::UpdateButtons()
{
  const int selected = m_list->GetSelectedItemCount();
  m_open->Enable(OpLogOpenEnabled(selected));
  m_delete->Enable(OpLogDeleteEnabled(selected));
}

void COpLogMan::OnOpen()
{
  const std::vector<long> rows = SelectedRows();
  if (rows.empty())
    return;
  const std::string path = GetItemPath(rows.front());
  if (!m_ops->Open(path))
    Ui().ShowMessage(kOpLogManTitle, FormatOpenFailure(path), MsgIcon::Warning, MsgButtons::Ok);
}

void COpLogMan::OnDelete()
{
  std::vector<std::string> names;
  for (long row : SelectedRows())
    names.push_back(m_names[static_cast<size_t>(row)]);
  if (names.empty())
    return;
  if (Ui().ShowMessage(kOpLogManTitle, FormatDeleteQuestion(names), MsgIcon::Warning, MsgButtons::OkCancel) !=
      MsgAnswer::Ok)
    return;
  const OpLogDeleteResult result = DeleteOperationLogs(*m_ops, m_strFolder, names);
  RefreshList();
  if (result.failed > 0)
    Ui().ShowMessage(kOpLogManTitle, FormatDeleteFailure(result), MsgIcon::Warning, MsgButtons::Ok);
}

void COpLogMan::OnOpenFolder() { m_ops->Open(m_strFolder); }

void COpLogMan::OnCharHook(wxKeyEvent& event)
{
  // Enter neither presses a button nor closes the dialog.
  if (event.GetKeyCode() == WXK_RETURN || event.GetKeyCode() == WXK_NUMPAD_ENTER)
    return;
  event.Skip();
}

void RunOpLogManager(wxWindow* mainFrame)
{
  COpLogMan dlg(mainFrame);
  dlg.ShowModal();
}

#include "data/ui/element_file_dialogs.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/filedlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "platform/wx/wx_ui_services.h"

namespace {

wxWindow* TopWindow() { return wxTheApp ? wxTheApp->GetTopWindow() : nullptr; }

}  // namespace

CSelObjDlg::CSelObjDlg(wxWindow* parent, const std::vector<ElementRecord>& records, int count)
    : wxDialog(parent, wxID_ANY, ToWx("オブジェクト選択画面")), m_selection(records, count) {
  auto* top = new wxBoxSizer(wxVERTICAL);
  top->Add(new wxStaticText(this, wxID_ANY, ToWx("天体一覧:")), 0, wxLEFT | wxRIGHT | wxTOP, 10);
  m_pList = new wxChoice(this, IDC_OBJECT_LIST, wxDefaultPosition, wxSize(320, -1));
  top->Add(m_pList, 0, wxEXPAND | wxALL, 10);
  m_pEdit = new wxTextCtrl(this, IDC_OBJECT_EDIT);
  m_pEdit->Hide();
  top->Add(m_pEdit, 0, wxEXPAND | wxLEFT | wxRIGHT, 10);
  auto* buttons = new wxStdDialogButtonSizer();
  buttons->AddButton(new wxButton(this, wxID_OK, "OK"));
  buttons->AddButton(new wxButton(this, wxID_CANCEL, ToWx("ｷｬﾝｾﾙ")));
  buttons->Realize();
  top->Add(buttons, 0, wxALIGN_RIGHT | wxALL, 10);
  SetSizerAndFit(top);
  Bind(wxEVT_BUTTON, &CSelObjDlg::OnOK, this, wxID_OK);
  Bind(wxEVT_BUTTON, &CSelObjDlg::OnCancel, this, wxID_CANCEL);
  CentreOnParent();
}

bool CSelObjDlg::TransferDataToWindow() {
  m_pList->Clear();
  for (const std::string& name : m_selection.Names()) m_pList->Append(ToWx(name));
  m_pList->SetSelection(m_selection.InitialSelection() < 0 ? wxNOT_FOUND : m_selection.InitialSelection());
  return true;
}

void CSelObjDlg::OnOK(wxCommandEvent&) {
  const int sel = m_pList->GetSelection();
  m_selection.Confirm(sel == wxNOT_FOUND ? -1 : sel);
  EndModal(wxID_OK);
}

void CSelObjDlg::OnCancel(wxCommandEvent&) {
  m_selection.Cancel();
  EndModal(wxID_CANCEL);
}

bool WxElementFileUi::AskElementFilePath(std::string& path) {
  wxFileDialog dlg(TopWindow(), ToWx("軌道要素ファイルを選んでください"), wxEmptyString, "*.txt",
                   "(*.txt)|*.txt|(*.elm)|*.elm|(*.*)|*.*", wxFD_OPEN | wxFD_FILE_MUST_EXIST);
  if (dlg.ShowModal() != wxID_OK) return false;
  path = FromWx(dlg.GetPath());
  return true;
}

int WxElementFileUi::SelectObject(const std::vector<ElementRecord>& records, int count) {
  CSelObjDlg dlg(TopWindow(), records, count);
  dlg.ShowModal();
  return dlg.Selected();
}

void InstallElementFileDialogs() {
  static WxElementFileUi ui;
  SetElementFileUi(&ui);
}

#include "determination/ui/mpc_fetch_dlg.h"

#include <string>

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "platform/text_util.h"
#include "platform/wx/wx_ui_services.h"

namespace {

constexpr const char* kTitle = "MPCから観測データを取得";
constexpr const char* kExample = "例: C/2025 A1、2P、332P、2024 YR4";
constexpr const char* kExplanation =
    "MPCに報告された全観測をダウンロードして観測フォルダーへ保存し、そのまま読み込みます。"
    "既存ファイルに追記した未発表の観測(MPC参照符号なし)は残して併合します。";

}  // namespace

CMpcFetchDlg::CMpcFetchDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, ToWx(kTitle))
{
  auto* top = new wxBoxSizer(wxVERTICAL);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(new wxStaticText(this, wxID_ANY, ToWx("天体名:")), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
  m_pEdit = new wxTextCtrl(this, IDC_FETCH_DESIGNATION, wxEmptyString, wxDefaultPosition, wxSize(260, -1));
  row->Add(m_pEdit, 1, wxEXPAND);
  top->Add(row, 0, wxEXPAND | wxALL, 10);
  top->Add(new wxStaticText(this, wxID_ANY, ToWx(kExample)), 0, wxLEFT | wxRIGHT, 10);
  // GTK wraps only at blanks, which Japanese text has none of: one line per sentence.
  std::string explanation = kExplanation;
  if (const size_t stop = explanation.find("。"); stop != std::string::npos && stop + 3 < explanation.size())
    explanation.insert(stop + 3, "\n");
  top->Add(new wxStaticText(this, wxID_ANY, ToWx(explanation)), 0, wxALL, 10);
  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  buttons->AddStretchSpacer();
  buttons->Add(new wxButton(this, wxID_OK, ToWx("取得(&G)")), 0, wxRIGHT, 6);
  buttons->Add(new wxButton(this, wxID_CANCEL, ToWx("キャンセル")));
  top->Add(buttons, 0, wxEXPAND | wxALL, 10);
  SetSizerAndFit(top);
  Bind(wxEVT_BUTTON, &CMpcFetchDlg::OnOK, this, wxID_OK);
  m_pEdit->SetFocus();
}

void CMpcFetchDlg::OnOK(wxCommandEvent& /*event*/)
{
  m_strDesignation = std::string(TrimSpace(FromWx(m_pEdit->GetValue())));
  if (!m_strDesignation.empty())
    EndModal(wxID_OK);
}

#include "data/ui/neocp_dlg.h"

#include <cstdlib>

#include <wx/button.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "data/http_download.h"
#include "data/neocp_table.h"
#include "data/ui/window_routines.h"
#include "platform/numbers.h"
#include "platform/wx/wx_ui_services.h"

namespace {

const char* const kReceiving = "NEOCPの一覧を受信しています...";

} // namespace

CNeocpDlg::CNeocpDlg(wxWindow* pParent)
    : wxDialog(pParent, wxID_ANY, ToWx("NEOCPから観測データを取得")),
      m_strListUrl(std::string(kDefaultMpcWebHostUrl) + "/Extended_Files/neocp.json")
{
  auto* top = new wxBoxSizer(wxVERTICAL);

  auto* statusRow = new wxBoxSizer(wxHORIZONTAL);
  m_pStatus = new wxStaticText(this, IDC_NEOCP_STATUS, wxEmptyString, wxDefaultPosition,
                               ConvertDialogToPixels(wxSize(366, 10)), wxST_NO_AUTORESIZE);
  statusRow->Add(m_pStatus, 1, wxALIGN_CENTER_VERTICAL);
  statusRow->Add(new wxButton(this, IDC_NEOCP_REFRESH, ToWx("再取得(&R)")), 0, wxLEFT, 8);
  top->Add(statusRow, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 10);

  m_list = new wxListCtrl(this, IDC_NEOCP_LIST, wxDefaultPosition, ConvertDialogToPixels(wxSize(426, 190)),
                          wxLC_REPORT | wxLC_SINGLE_SEL | wxLC_HRULES | wxLC_VRULES | wxBORDER_SUNKEN);
  for (int c = 0; c < kNeocpColumnCount; ++c) {
    const NeocpColumn& col = NeocpColumnAt(c);
    m_list->AppendColumn(ToWx(col.header), col.rightAligned ? wxLIST_FORMAT_RIGHT : wxLIST_FORMAT_LEFT, col.width);
  }
  top->Add(m_list, 1, wxEXPAND | wxALL, 10);

  auto* desigRow = new wxBoxSizer(wxHORIZONTAL);
  desigRow->Add(new wxStaticText(this, wxID_ANY, ToWx("仮符号:")), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
  m_pDesig = new wxTextCtrl(this, IDC_NEOCP_DESIG, wxEmptyString, wxDefaultPosition,
                            wxSize(ConvertDialogToPixels(wxSize(92, 0)).x, -1));
  desigRow->Add(m_pDesig, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
  desigRow->Add(new wxStaticText(this, wxID_ANY,
                                 WrapTextForWindow(this,
                                                   "一覧から選ぶか、仮符号を直接入力してください(大文字・小文字は"
                                                   "区別されます)。",
                                                   ConvertDialogToPixels(wxSize(295, 0)).x)),
                0, wxALIGN_CENTER_VERTICAL);
  top->Add(desigRow, 0, wxEXPAND | wxLEFT | wxRIGHT, 10);

  auto* note = new wxStaticText(
      this, wxID_ANY,
      WrapTextForWindow(this,
                        "選んだ天体の観測(MPC 80桁形式)をNEOCPから受け取り、観測フォルダーへ保存してそのまま読み込みます。"
                        "スコアはNEOらしさ(0～100)で、100に近いほど地球近傍天体の可能性が高いものです。"
                        "NEOCPの天体は、符号が確定するか一覧から外されると取得できなくなります。",
                        ConvertDialogToPixels(wxSize(426, 0)).x));
  top->Add(note, 0, wxEXPAND | wxALL, 10);

  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  auto* ok = new wxButton(this, wxID_OK, ToWx("取得(&G)"));
  ok->SetDefault();
  buttons->Add(ok, 0, wxRIGHT, 8);
  buttons->Add(new wxButton(this, wxID_CANCEL, ToWx("キャンセル")));
  top->Add(buttons, 0, wxALIGN_RIGHT | wxLEFT | wxRIGHT | wxBOTTOM, 10);
  SetSizerAndFit(top);

  Bind(wxEVT_BUTTON, &CNeocpDlg::OnRefresh, this, IDC_NEOCP_REFRESH);
  Bind(wxEVT_BUTTON, &CNeocpDlg::OnOK, this, wxID_OK);
  m_list->Bind(wxEVT_LIST_ITEM_SELECTED, &CNeocpDlg::OnListItemChanged, this);
  m_list->Bind(wxEVT_LIST_ITEM_ACTIVATED, &CNeocpDlg::OnListDblClk, this);
  m_list->Bind(wxEVT_LIST_COL_CLICK, &CNeocpDlg::OnListColumnClick, this);

  m_pStatus->SetLabel(ToWx(kReceiving));
  // The first refresh runs once the dialog is on the screen.
  CallAfter([this] {
    wxCommandEvent click(wxEVT_BUTTON, IDC_NEOCP_REFRESH);
    click.SetEventObject(FindWindow(IDC_NEOCP_REFRESH));
    OnRefresh(click);
  });
  CentreOnParent();
}

CNeocpDlg::~CNeocpDlg()
{
  FreeEntries();
}

void CNeocpDlg::FreeEntries()
{
  std::free(m_pEntries);
  m_pEntries = nullptr;
  m_nEntries = 0;
}

void CNeocpDlg::OnRefresh(wxCommandEvent&)
{
  FreeEntries();
  m_list->DeleteAllItems();
  m_pStatus->SetLabel(ToWx(kReceiving));
  m_pStatus->Update();

  std::string json, error;
  int ok = 0;
  {
    wxBusyCursor busy;
    ok = HttpGetText(m_strListUrl, json, &error);
  }
  if (!ok) {
    m_pStatus->SetLabel(ToWx(error));
    return;
  }
  NeocpEntry* entries = nullptr;
  const int count = ParseNeocpJson(json, &entries);
  if (count < 1) {
    m_pStatus->SetLabel(ToWx("確認待ちの天体は今ありません(または一覧の形式が変わりました)。"));
    return;
  }
  m_pEntries = entries;
  m_nEntries = count;
  SortNeocpEntries(m_pEntries, m_nEntries, m_nSortColumn, m_bSortDescending);
  FillList();
  m_pStatus->SetLabel(ToWx(FormatC(
      "確認待ちの天体 %d個   スコアはNEOらしさ(0〜100)   列の見出しをクリックすると並べ替えます", count)));
}

void CNeocpDlg::FillList()
{
  m_list->Freeze();
  m_list->DeleteAllItems();
  for (int i = 0; i < m_nEntries; ++i) {
    const long row = m_list->InsertItem(i, ToWx(m_pEntries[i].m_szDesig));
    for (int c = 1; c < kNeocpColumnCount; ++c)
      m_list->SetItem(row, c, ToWx(NeocpCellText(m_pEntries[i], c)));
  }
  m_list->Thaw();
  m_list->Refresh();
}

void CNeocpDlg::OnListItemChanged(wxListEvent& event)
{
  const long row = event.GetIndex();
  if (row >= 0 && row < m_nEntries)
    m_pDesig->ChangeValue(ToWx(m_pEntries[row].m_szDesig));
}

void CNeocpDlg::OnListDblClk(wxListEvent& event)
{
  const long row = event.GetIndex();
  if (row < 0 || row >= m_nEntries)
    return;
  m_pDesig->ChangeValue(ToWx(m_pEntries[row].m_szDesig));
  wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
  OnOK(ok);
}

void CNeocpDlg::OnListColumnClick(wxListEvent& event)
{
  const int column = event.GetColumn();
  if (column < 0 || column >= kNeocpColumnCount)
    return;
  NeocpSortClick(column, m_nSortColumn, m_bSortDescending);
  const std::string typed = FromWx(m_pDesig->GetValue());
  SortNeocpEntries(m_pEntries, m_nEntries, m_nSortColumn, m_bSortDescending);
  FillList();
  if (typed.empty())
    return;
  const int row = FindNeocpEntry(m_pEntries, m_nEntries, typed);
  if (row >= 0) {
    m_list->SetItemState(row, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                         wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    m_list->EnsureVisible(row);
  }
}

void CNeocpDlg::OnOK(wxCommandEvent&)
{
  wxString text = m_pDesig->GetValue();
  text.Trim(true).Trim(false);
  m_strDesig = FromWx(text);
  if (!m_strDesig.empty())
    EndModal(wxID_OK);
}

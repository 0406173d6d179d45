// "時代別の残差": residuals by period, the break proposal and its hand-over
// to the view's rejection fields.
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "data/ui/window_routines.h"
#include "determination/ui/determination_view.h"
#include "determination/ui/fit_diagnostics_dlgs.h"
#include "platform/wx/wx_ui_services.h"

CEraStat::CEraStat(CDeterminationView* view)
    : wxDialog(view, wxID_ANY, ToWx("時代別の残差"), wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      m_pView(view)
{
  auto* top = new wxBoxSizer(wxVERTICAL);
  m_list = new wxListCtrl(this, IDC_LIST, wxDefaultPosition, wxDefaultSize,
                          wxLC_REPORT | wxLC_SINGLE_SEL | wxBORDER_SUNKEN | wxLC_HRULES | wxLC_VRULES);
  int width = 0;
  for (int c = 0; c < kEraColumns; ++c) {
    m_list->AppendColumn(ToWx(kEraColumnInfo[c].title),
                         kEraColumnInfo[c].rightAligned ? wxLIST_FORMAT_RIGHT : wxLIST_FORMAT_LEFT,
                         kEraColumnInfo[c].width + 16);
    width += kEraColumnInfo[c].width + 16;
  }
  m_list->SetMinSize(wxSize(width + 24, 280));
  top->Add(m_list, 1, wxEXPAND | wxALL, 8);
  m_summary = new wxStaticText(this, IDC_SUMMARY, wxEmptyString, wxDefaultPosition, wxSize(width + 24, -1));
  top->Add(m_summary, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);
  auto* explain = new wxStaticText(this, IDC_EXPLAIN, wxEmptyString);
  explain->SetLabel(WrapTextForWindow(explain, kEraExplanation, width + 24));
  top->Add(explain, 0, wxALL, 8);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  m_yearly = new wxCheckBox(this, IDC_YEARLY, ToWx("1年ごとに表示する(&Y)"));
  m_apply = new wxButton(this, IDC_APPLY, ToWx("この境目を使う(&A)"));
  row->Add(m_yearly, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
  row->Add(m_apply, 0, wxRIGHT, 8);
  row->AddStretchSpacer();
  row->Add(new wxButton(this, wxID_OK, ToWx("閉じる")));
  top->Add(row, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 8);
  SetSizerAndFit(top);
  SetEscapeId(wxID_OK);
  Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
    m_bYearly = m_yearly->GetValue() ? 1 : 0;
    FillTable();
  }, IDC_YEARLY);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    const EraProposal& p = m_table.proposal;
    if (p.breakYear > 0)
      ShowRejectThresholds(*m_pView, p.breakYear, p.oldThreshold, p.newThreshold);
  }, IDC_APPLY);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Destroy(); }, wxID_OK);
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { Destroy(); });
  CTessaruneLib::PlaceNearMainWindow(this);
  FillTable();
}

CEraStat::~CEraStat()
{
  if (m_pView->m_pEraStat == this)
    m_pView->m_pEraStat = nullptr;
}

std::string CEraStat::SummaryText() const { return FromWx(m_summary->GetLabel()); }

void CEraStat::FillTable()
{
  m_table = ComputeEraTable(*m_pView, m_bYearly);
  m_list->Freeze();
  m_list->DeleteAllItems();
  for (const EraBin& b : m_table.bins) {
    const long row = m_list->InsertItem(m_list->GetItemCount(), ToWx(EraCellText(b, 0)));
    for (int c = 1; c < kEraColumns; ++c)
      m_list->SetItem(row, c, ToWx(EraCellText(b, c)));
    if (b.outlier) {
      m_list->SetItemBackgroundColour(row, wxColour(255, 255, 128));
      m_list->SetItemTextColour(row, *wxBLACK);
    }
  }
  m_list->Thaw();
  m_summary->SetLabel(ToWx(m_table.summary));
  m_summary->Wrap(m_list->GetSize().x);
  m_apply->Enable(m_table.canApply);
  Layout();
}

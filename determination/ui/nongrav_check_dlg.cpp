// "非重力効果の判定": runs the significance test and shows the verdict line
// in its colour and the report; "再判定(&R)" runs it again.
#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "data/ui/info_mark.h"
#include "determination/nongrav_check.h"
#include "determination/ui/determination_view.h"
#include "determination/ui/fit_diagnostics_dlgs.h"
#include "platform/app_services.h"
#include "platform/wx/wx_ui_services.h"

CNonGravCheck::CNonGravCheck(CDeterminationView* view)
    : wxDialog(view, wxID_ANY, ToWx("非重力効果の判定"), wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      m_pView(view)
{
  auto* top = new wxBoxSizer(wxVERTICAL);
  m_verdict = new wxStaticText(this, IDC_VERDICT, wxEmptyString);
  wxFont bold = m_verdict->GetFont();
  bold.SetWeight(wxFONTWEIGHT_BOLD);
  m_verdict->SetFont(bold);
  top->Add(m_verdict, 0, wxEXPAND | wxALL, 8);
  m_report = new wxTextCtrl(this, IDC_REPORT, wxEmptyString, wxDefaultPosition, wxSize(640, 420),
                            wxTE_MULTILINE | wxTE_READONLY | wxHSCROLL | wxTE_DONTWRAP);
  m_report->SetFont(wxFont(9, wxFONTFAMILY_MODERN, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false,
                           ToWx("ＭＳ ゴシック")));
  top->Add(m_report, 1, wxEXPAND | wxLEFT | wxRIGHT, 8);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  auto* again = new wxButton(this, IDC_AGAIN, ToWx("再判定(&R)"));
  row->Add(again);
  row->Add(new CInfoMark(this, IDC_HELP), 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 8);
  row->AddStretchSpacer();
  row->Add(new wxButton(this, wxID_OK, ToWx("閉じる")));
  top->Add(row, 0, wxEXPAND | wxALL, 8);
  SetSizerAndFit(top);
  SetMinSize(GetSize());  // no smaller than the initial size
  SetEscapeId(wxID_OK);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { RunCheck(); }, IDC_AGAIN);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ShowNgHelp(this, this); }, IDC_HELP);
  CentreOnParent();
  RunCheck();
  again->SetFocus();
}

CNonGravCheck::~CNonGravCheck()
{
  if (CNgHelp* page = m_pNgHelp) {
    page->m_pOwner = nullptr;
    m_pNgHelp = nullptr;
    delete page;
  }
}

std::string CNonGravCheck::VerdictText() const { return FromWx(m_verdict->GetLabel()); }
std::string CNonGravCheck::ReportText() const { return FromWx(m_report->GetValue()); }

void CNonGravCheck::RunCheck()
{
  m_verdict->SetLabel(ToWx(kNonGravChecking));
  m_verdict->SetForegroundColour(wxNullColour);
  m_nVerdictState = -1;
  m_report->Clear();
  NonGravCheckResult result{};
  int r = 0;
  {
    ScopedWaitCursor wait;
    Enable(false);
    r = RunNonGravSignificanceTest(*m_pView, result);
    Enable(true);
  }
  const NonGravCheckOutcome outcome = NonGravOutcome(r, result);
  m_nVerdictState = outcome.verdictState;
  m_verdict->SetLabel(ToWx(outcome.status));
  if (const unsigned c = NonGravVerdictLineColour(m_nVerdictState))
    m_verdict->SetForegroundColour(wxColour((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
  m_verdict->Refresh();
  m_report->ChangeValue(ToWx(outcome.report));
  m_report->ShowPosition(0);
}

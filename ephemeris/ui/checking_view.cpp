#include "ephemeris/ui/checking_view.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "app/app_menus.h"
#include "app/child_frame.h"
#include "app/form_template.h"
#include "data/ui/file_dialogs.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_menus.h"

CCheckingView::CCheckingView(CChildFrame* frame) : CFormView(frame, FunctionView::Checking)
{
  // A fixed-width face for the listing's columns.
  m_font = wxFont(wxFontInfo(10).Family(wxFONTFAMILY_TELETYPE).FaceName("Noto Sans Mono CJK JP"));
  if (!m_font.IsOk())
    m_font = wxFont(wxFontInfo(10).Family(wxFONTFAMILY_TELETYPE));
  auto* top = new wxBoxSizer(wxVERTICAL);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(new wxStaticText(this, wxID_ANY, ToWx("観測データファイル：")), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
  row->Add(new wxButton(this, IDC_BROWSE, ToWx("開く(&O)")), 0, wxRIGHT, 6);
  m_pPath = new wxTextCtrl(this, IDC_PATH, wxString(), wxDefaultPosition, wxSize(420, -1));
  m_pPath->SetMaxLength(499);
  row->Add(m_pPath, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
  row->Add(new wxButton(this, IDC_CHECK, ToWx("計算開始(&C)")), 0);
  top->Add(row, 0, wxALL | wxEXPAND, 6);
  m_pOutput = new wxTextCtrl(this, IDC_OUTPUT, wxString(), wxDefaultPosition, wxSize(700, 400),
                             wxTE_MULTILINE | wxTE_READONLY | wxHSCROLL | wxTE_DONTWRAP);
  top->Add(m_pOutput, 1, wxALL | wxEXPAND, 6);
  SetSizer(top);
  // The view has no title of its own: its frame carries the application's.
  frame->SetTitle("Tessarune");
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnBrowse(); }, IDC_BROWSE);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnCheck(); }, IDC_CHECK);
}

CCheckingView::~CCheckingView()
{
  DestroyChildren();
}

std::string CCheckingView::GetPath()
{
  return FromWx(m_pPath->GetValue());
}

void CCheckingView::SetPath(const std::string& path)
{
  m_pPath->ChangeValue(ToWx(path));
}

void CCheckingView::SetOutput(const std::string& text)
{
  CChecking::SetOutput(text);
  m_pOutput->SetFont(m_font);
  std::string lf;
  for (char c : text)
    if (c != '\r')
      lf += c;
  m_pOutput->ChangeValue(ToWx(lf));
}

bool CCheckingView::AskObsFile(std::string& path)
{
  return ShowFileDialog("観測ファイルを選択してください", kFileDialogOpenObservations, path, this, nullptr, nullptr) == 1;
}

void RegisterCheckingView()
{
  RegisterFunctionView(
      FunctionView::Checking, [](CChildFrame* frame) -> CFormView* { return new CCheckingView(frame); },
      [] { return BuildMenuBar(kMainMenu); });
}

#include "app/idle_dialogs.h"

#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "platform/wx/wx_ui_services.h"
#include "resources/app_strings.h"

namespace {

enum { IDC_CONV_IN = 1000, IDC_CONV_OUT = 1001, IDC_CONV_ANSWER = 1002, IDC_CONV_START = 1003 };
enum { IDC_OAA_OUTPUT = 1083, IDC_OAA_ELEMENTS = 1084, IDC_OAA_FILE = 1085, IDC_OAA_BROWSE_ELEMENTS = 1086,
       IDC_OAA_BROWSE_FILE = 1087 };

wxBoxSizer* LabelledRow(wxWindow* parent, const char* label, wxWindow* field, wxWindow* extra = nullptr)
{
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(new wxStaticText(parent, wxID_ANY, ToWx(label)), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
  row->Add(field, 1, wxALIGN_CENTER_VERTICAL);
  if (extra)
    row->Add(extra, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 6);
  return row;
}

} // namespace

CConversionDlg::CConversionDlg(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, ToWx(AppText::kConversionCaption))
{
  auto* top = new wxBoxSizer(wxVERTICAL);
  top->Add(LabelledRow(this, AppText::kConversionInput, new wxTextCtrl(this, IDC_CONV_IN, {}, wxDefaultPosition,
                                                                       wxSize(320, -1))),
           0, wxEXPAND | wxALL, 8);
  top->Add(LabelledRow(this, AppText::kConversionOutput, new wxTextCtrl(this, IDC_CONV_OUT)), 0,
           wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 8);
  auto* answer = new wxTextCtrl(this, IDC_CONV_ANSWER, {}, wxDefaultPosition, wxSize(40, -1));
  answer->SetMaxLength(1);
  top->Add(LabelledRow(this, AppText::kConversionAnswer, answer), 0, wxLEFT | wxRIGHT | wxBOTTOM, 8);
  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  buttons->Add(new wxButton(this, IDC_CONV_START, ToWx(AppText::kConversionStart)), 0, wxRIGHT, 6);
  buttons->Add(new wxButton(this, wxID_CANCEL, ToWx(AppText::kOaaClose)));
  top->Add(buttons, 0, wxALIGN_RIGHT | wxALL, 8);
  SetSizerAndFit(top);
}

COaaChbEphOutput::COaaChbEphOutput(wxWindow* parent) : wxDialog(parent, wxID_ANY, ToWx(AppText::kOaaCaption))
{
  auto* top = new wxBoxSizer(wxVERTICAL);
  top->Add(new wxStaticText(this, wxID_ANY, ToWx(AppText::kOaaIntro)), 0, wxALL, 8);
  m_pElementFile = new wxTextCtrl(this, IDC_OAA_ELEMENTS, {}, wxDefaultPosition, wxSize(320, -1));
  m_pOutputFile = new wxTextCtrl(this, IDC_OAA_FILE);
  top->Add(LabelledRow(this, AppText::kOaaElementLabel, m_pElementFile,
                       new wxButton(this, IDC_OAA_BROWSE_ELEMENTS, ToWx(AppText::kOaaBrowse))),
           0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 8);
  top->Add(LabelledRow(this, AppText::kOaaOutputLabel, m_pOutputFile,
                       new wxButton(this, IDC_OAA_BROWSE_FILE, ToWx(AppText::kOaaBrowse))),
           0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 8);
  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  buttons->Add(new wxButton(this, IDC_OAA_OUTPUT, ToWx(AppText::kOaaOutputButton)), 0, wxRIGHT, 6);
  buttons->Add(new wxButton(this, wxID_CANCEL, ToWx(AppText::kOaaClose)));
  top->Add(buttons, 0, wxALIGN_RIGHT | wxALL, 8);
  SetSizerAndFit(top);
  Bind(wxEVT_BUTTON, &COaaChbEphOutput::OnBrowseElements, this, IDC_OAA_BROWSE_ELEMENTS);
  Bind(wxEVT_BUTTON, &COaaChbEphOutput::OnBrowseOutput, this, IDC_OAA_BROWSE_FILE);
}

void COaaChbEphOutput::OnBrowseElements(wxCommandEvent& /*event*/)
{
  wxFileDialog dlg(this, ToWx(AppText::kOaaElementTitle), {}, {}, "*.*|*.*", wxFD_OPEN | wxFD_FILE_MUST_EXIST);
  m_pElementFile->SetValue(dlg.ShowModal() == wxID_OK ? dlg.GetPath() : wxString());
}

void COaaChbEphOutput::OnBrowseOutput(wxCommandEvent& /*event*/)
{
  wxFileDialog dlg(this, ToWx(AppText::kOaaOutputTitle), {}, {}, "*.*|*.*", wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
  wxString path;
  if (dlg.ShowModal() == wxID_OK) {
    path = dlg.GetPath();
    if (!path.AfterLast('/').Contains("."))
      path += ".imp";
  }
  m_pOutputFile->SetValue(path);
}

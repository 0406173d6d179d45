#include "engine/ui/set_vvalue_dlg.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "data/ui/info_help.h"
#include "data/ui/info_mark.h"
#include "platform/ui_services.h"
#include "platform/wx/wx_ui_services.h"

namespace {

constexpr int kEditIds[kVariationCount] = {
    CSetVValue::IDC_T, CSetVValue::IDC_PERI, CSetVValue::IDC_NODE, CSetVValue::IDC_INCL, CSetVValue::IDC_Q,
    CSetVValue::IDC_E, CSetVValue::IDC_A1,   CSetVValue::IDC_A2,   CSetVValue::IDC_A3};
constexpr int kLabelIds[kVariationCount] = {wxID_ANY, wxID_ANY, wxID_ANY, wxID_ANY, wxID_ANY, wxID_ANY,
                                            CSetVValue::IDC_LABEL_A1, CSetVValue::IDC_LABEL_A2,
                                            CSetVValue::IDC_LABEL_A3};

std::function<void(const std::string&, const std::string&, wxWindow*)>& HelpHandler() {
  static std::function<void(const std::string&, const std::string&, wxWindow*)> handler =
      [](const std::string& title, const std::string& text, wxWindow* parent) { ShowInfoHelp(title, text, parent); };
  return handler;
}

}  // namespace

void CSetVValue::SetHelpHandler(std::function<void(const std::string&, const std::string&, wxWindow*)> h) {
  HelpHandler() = std::move(h);
}

CSetVValue::CSetVValue(wxWindow* parent, double* amounts, int* pbAutoCalibrate)
    : wxDialog(parent, wxID_ANY, ToWx(kVariationDialogTitle)), m_pAmounts(amounts),
      m_pbAutoCalibrate(pbAutoCalibrate) {
  for (int i = 0; i < kVariationCount; ++i) m_dValues[i] = amounts[i];

  auto* top = new wxBoxSizer(wxVERTICAL);
  auto* grid = new wxFlexGridSizer(2, 4, 8);
  for (int i = 0; i < kVariationCount; ++i) {
    grid->Add(new wxStaticText(this, kLabelIds[i], ToWx(kVariationLabels[i])), 0, wxALIGN_CENTER_VERTICAL);
    m_pEdits[i] = new wxTextCtrl(this, kEditIds[i], wxEmptyString, wxDefaultPosition, wxSize(200, -1));
    grid->Add(m_pEdits[i], 1, wxEXPAND);
  }
  top->Add(grid, 0, wxALL | wxEXPAND, 10);
  top->Add(new wxStaticText(this, wxID_ANY, ToWx("小数点以下15桁以内で入力してください")), 0, wxLEFT | wxRIGHT, 10);
  m_pAutoCalibrate = new wxCheckBox(this, IDC_AUTO_CALIBRATE, ToWx("変位を実測して自動校正(&A)"));
  top->Add(m_pAutoCalibrate, 0, wxALL, 10);

  auto* presets = new wxBoxSizer(wxHORIZONTAL);
  presets->Add(new wxButton(this, IDC_STANDARD, ToWx("標準(&H)")), 0, wxRIGHT, 6);
  presets->Add(new wxButton(this, IDC_SMALL, ToWx("微少量(&S)")), 0, wxRIGHT, 6);
  presets->Add(new CInfoMark(this, IDC_INFO), 0, wxALIGN_CENTER_VERTICAL);
  top->Add(presets, 0, wxLEFT | wxRIGHT, 10);
  top->Add(new wxStaticText(this, wxID_ANY, ToWx("この設定は保存されません")), 0, wxALL, 10);

  auto* buttons = new wxStdDialogButtonSizer;
  buttons->AddButton(new wxButton(this, wxID_OK, "OK"));
  buttons->AddButton(new wxButton(this, wxID_CANCEL, ToWx("キャンセル")));
  buttons->Realize();
  top->Add(buttons, 0, wxALL | wxALIGN_RIGHT, 10);
  SetSizerAndFit(top);

  Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { ApplyCheckRule(); }, IDC_AUTO_CALIBRATE);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    VariationDialogValues v = ReadValues();
    FillStandardVariationEdits(v);
    ShowValues(v);
  }, IDC_STANDARD);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    VariationDialogValues v = ReadValues();
    FillSmallVariationEdits(v);
    ShowValues(v);
  }, IDC_SMALL);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { HelpHandler()(kVariationHelpTitle, kVariationHelpText, this); },
       IDC_INFO);
  if (parent) CentreOnParent();
}

bool CSetVValue::TransferDataToWindow() {
  ShowValues(VariationValuesFromAmounts(m_dValues, *m_pbAutoCalibrate));
  m_pAutoCalibrate->SetValue(*m_pbAutoCalibrate != 0);
  for (int id : {IDC_A1, IDC_A2, IDC_A3, IDC_LABEL_A1, IDC_LABEL_A2, IDC_LABEL_A3})
    if (wxWindow* w = FindWindow(id)) w->Enable();
  ApplyCheckRule();
  return true;
}

bool CSetVValue::TransferDataFromWindow() {
  double amounts[kVariationCount];
  std::string error;
  const int bad = ReadVariationEdits(ReadValues(), amounts, error);
  if (bad >= 0) {
    Ui().ShowMessage(kVariationDialogTitle, error, MsgIcon::Warning, MsgButtons::Ok);
    m_pEdits[bad]->SetFocus();
    m_pEdits[bad]->SelectAll();
    return false;
  }
  for (int i = 0; i < kVariationCount; ++i) m_pAmounts[i] = amounts[i];
  *m_pbAutoCalibrate = m_pAutoCalibrate->GetValue() ? 1 : 0;
  return true;
}

void CSetVValue::ApplyCheckRule() {
  // While calibrating, the amounts come from the measured displacement.
  const bool manual = !m_pAutoCalibrate->GetValue();
  for (wxTextCtrl* e : m_pEdits) e->Enable(manual);
}

void CSetVValue::ShowValues(const VariationDialogValues& values) {
  for (int i = 0; i < kVariationCount; ++i) m_pEdits[i]->ChangeValue(ToWx(values.edits[i]));
}

VariationDialogValues CSetVValue::ReadValues() const {
  VariationDialogValues v;
  for (int i = 0; i < kVariationCount; ++i) v.edits[i] = FromWx(m_pEdits[i]->GetValue());
  v.bAutoCalibrate = m_pAutoCalibrate->GetValue() ? 1 : 0;
  return v;
}

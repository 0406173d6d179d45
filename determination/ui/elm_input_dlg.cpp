#include "determination/ui/elm_input_dlg.h"

#include <wx/button.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "app/num_edit.h"
#include "platform/app_services.h"
#include "platform/ui_services.h"
#include "platform/wx/wx_ui_services.h"

namespace {

// Shapes of the numeric fields (the A fields are plain edits).
NumEditShape ShapeOf(int field)
{
  switch (field) {
  case kElmTYear:
  case kElmEpochYear: return {1, 6, 0, 1};
  case kElmTMonth:
  case kElmEpochMonth: return {1, 2, 0, 0};
  case kElmTDay:
  case kElmEpochDay: return {2, 2, 9, 0};
  case kElmA: return {2, 4, 9, 0};
  default: return {2, 3, 9, 0};
  }
}

bool IsNumeric(int field)
{
  return field != kElmA1 && field != kElmA2 && field != kElmA3;
}

} // namespace

CElmInputDlg::CElmInputDlg(wxWindow* parent, ElementInput& members)
    : wxDialog(parent, wxID_ANY, ToWx("軌道改良用の軌道要素入力")), m_members(members)
{
  CreateControls();
  OnInitDialog();
}

void CElmInputDlg::CreateControls()
{
  for (int i = 0; i < kElmFieldCount; ++i) {
    if (IsNumeric(i)) {
      auto* edit = new CNumEdit(this, IDC_FIELD0 + i, wxDefaultPosition, wxSize(i == kElmTYear || i == kElmEpochYear ? 70 : 120, -1));
      m_pFields[i] = edit;
    } else {
      m_pFields[i] = new wxTextCtrl(this, IDC_FIELD0 + i, wxString(), wxDefaultPosition, wxSize(120, -1));
    }
  }
  for (int i : {kElmTMonth, kElmEpochMonth})
    m_pFields[i]->SetMinSize(wxSize(50, -1));
  auto label = [this](const char* text) { return new wxStaticText(this, wxID_ANY, ToWx(text)); };
  auto date = [this](int first) {
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    for (int i = 0; i < 3; ++i)
      row->Add(m_pFields[first + i], 0, wxRIGHT, 4);
    return row;
  };

  auto* form = new wxStaticBoxSizer(wxVERTICAL, this, ToWx("軌道要素の形式"));
  auto* radios = new wxBoxSizer(wxHORIZONTAL);
  m_pComet = new wxRadioButton(this, IDC_COMET_FORM, ToWx("彗星形式"), wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
  m_pAsteroid = new wxRadioButton(this, IDC_ASTEROID_FORM, ToWx("小惑星形式"));
  radios->Add(m_pComet, 0, wxRIGHT, 16);
  radios->Add(m_pAsteroid);
  form->Add(radios, 0, wxALL, 4);

  auto* grid = new wxFlexGridSizer(2, 4, 8);
  grid->Add(label("Epoch:"), 0, wxALIGN_CENTER_VERTICAL);
  grid->Add(date(kElmEpochYear));
  m_pTLabel = new wxStaticText(this, IDC_T_LABEL, ToWx("T/Epoch"));
  grid->Add(m_pTLabel, 0, wxALIGN_CENTER_VERTICAL);
  grid->Add(date(kElmTYear));
  const std::pair<int, const char*> singles[] = {{kElmM, "M"},       {kElmQ, "q"},       {kElmA, "a"},
                                                 {kElmE, "e"},       {kElmPeri, "Peri."}, {kElmNode, "Node"},
                                                 {kElmIncl, "Incl."}};
  for (const auto& [field, text] : singles) {
    grid->Add(label(text), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(m_pFields[field]);
  }
  const char* aLabels[3] = {"A1/Y1", "A2/Y2", "A3/Y3"};
  for (int i = 0; i < 3; ++i) {
    m_pALabels[i] = label(aLabels[i]);
    grid->Add(m_pALabels[i], 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(m_pFields[kElmA1 + i]);
    // Typed values could not be told apart from the model's own: never enabled.
    m_pALabels[i]->Disable();
    m_pFields[kElmA1 + i]->Disable();
  }
  form->Add(grid, 0, wxALL, 4);

  auto* memos = new wxStaticBoxSizer(wxVERTICAL, this, ToWx("メモ(要素一式と備考をINIに記録)"));
  const char* noteLabels[2] = {"備考1:", "備考2:"};
  const char* saveLabels[2] = {"保存(&1)", "保存(&2)"};
  const char* loadLabels[2] = {"呼出(&3)", "呼出(&4)"};
  for (int m = 0; m < 2; ++m) {
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(label(noteLabels[m]), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    m_pNotes[m] = new wxTextCtrl(this, IDC_NOTE1 + m, wxString(), wxDefaultPosition, wxSize(180, -1));
    row->Add(m_pNotes[m], 1, wxRIGHT, 4);
    row->Add(new wxButton(this, m == 0 ? IDC_SAVE1 : IDC_SAVE2, ToWx(saveLabels[m])), 0, wxRIGHT, 4);
    row->Add(new wxButton(this, m == 0 ? IDC_LOAD1 : IDC_LOAD2, ToWx(loadLabels[m])));
    memos->Add(row, 0, wxEXPAND | wxALL, 4);
  }

  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  buttons->AddStretchSpacer();
  buttons->Add(new wxButton(this, wxID_OK, "OK"), 0, wxRIGHT, 8);
  buttons->Add(new wxButton(this, wxID_CANCEL, ToWx("キャンセル")));

  auto* top = new wxBoxSizer(wxVERTICAL);
  top->Add(form, 0, wxEXPAND | wxALL, 8);
  top->Add(memos, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);
  top->Add(buttons, 0, wxEXPAND | wxALL, 8);
  SetSizerAndFit(top);

  Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { ApplyForm(0); }, IDC_COMET_FORM);
  Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { ApplyForm(1); }, IDC_ASTEROID_FORM);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnOk(); }, wxID_OK);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnCancel(); }, wxID_CANCEL);
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { OnCancel(); });
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { SaveMemo(1); }, IDC_SAVE1);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { LoadMemo(1); }, IDC_LOAD1);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { SaveMemo(2); }, IDC_SAVE2);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { LoadMemo(2); }, IDC_LOAD2);
}

void CElmInputDlg::OnInitDialog()
{
  for (int i = 0; i < kElmFieldCount; ++i)
    if (auto* edit = dynamic_cast<CNumEdit*>(m_pFields[i]))
      edit->Configure(ShapeOf(i));
  m_pComet->SetValue(true);
  m_pAsteroid->SetValue(false);
  ApplyForm(0);
  const ElementTexts texts = InitialElementTexts(m_members);
  for (int i = 0; i < kElmFieldCount; ++i)
    m_pFields[i]->ChangeValue(ToWx(texts[i]));
  const CTessaruneApp& app = TheApp();
  for (int m = 0; m < 2; ++m)
    m_pNotes[m]->ChangeValue(ToWx(ElementMemoNote(app, m + 1)));
}

void CElmInputDlg::ApplyForm(int asteroid)
{
  m_members.m_bAsteroidForm = asteroid;
  m_pTLabel->SetLabel(ToWx(asteroid ? "T:(自動)" : "T:"));
  m_pFields[kElmM]->Enable(asteroid != 0);
  m_pFields[kElmA]->Enable(asteroid != 0);
  for (int i : {kElmQ, kElmTYear, kElmTMonth, kElmTDay})
    m_pFields[i]->Enable(asteroid == 0);
}

ElementTexts CElmInputDlg::FieldTexts() const
{
  ElementTexts texts;
  for (int i = 0; i < kElmFieldCount; ++i)
    texts[i] = FromWx(m_pFields[i]->GetValue());
  return texts;
}

void CElmInputDlg::OnOk()
{
  ElementInput read = m_members;
  const std::string refusal = AcceptElementTexts(FieldTexts(), m_members.m_bAsteroidForm, read);
  if (!refusal.empty()) {
    Ui().ShowMessage(kElementInputCaption, refusal, MsgIcon::None, MsgButtons::Ok);
    return;
  }
  m_members = read;
  m_members.m_bCancelled = 0;
  EndModal(wxID_OK);
}

void CElmInputDlg::OnCancel()
{
  m_members.m_bCancelled = 1;
  if (IsModal())
    EndModal(wxID_CANCEL);
  else
    Hide();
}

void CElmInputDlg::SaveMemo(int memo)
{
  SaveElementMemo(TheApp(), memo, FromWx(m_pNotes[memo - 1]->GetValue()), FieldTexts());
}

void CElmInputDlg::LoadMemo(int memo)
{
  std::string note;
  ElementTexts texts;
  if (!LoadElementMemo(TheApp(), memo, note, texts))
    return;
  m_pNotes[memo - 1]->ChangeValue(ToWx(note));
  for (int i = 0; i < kElmFieldCount; ++i)
    m_pFields[i]->ChangeValue(ToWx(texts[i]));
}

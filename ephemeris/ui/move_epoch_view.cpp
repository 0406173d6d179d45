#include "ephemeris/ui/move_epoch_view.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/fontenum.h>
#include <wx/gauge.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "app/app_menus.h"
#include "app/child_frame.h"
#include "app/form_template.h"
#include "app/num_edit.h"
#include "app/registry/window_registry.h"
#include "engine/approach_graph.h"
#include "engine/close_approach.h"
#include "engine/determination_host.h"
#include "engine/ui/mp_dis_graph_dlg.h"
#include "platform/app_services.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/ephemeris_menus.h"

namespace {

struct NumField {
  int id;
  NumEditShape shape;
  int width;
};

// The numeric fields and their shapes (integer 1 / decimal 2, digits, sign).
// The fractions hold the example's digits (eight for T's day and the angles,
// ten for q and e): a shorter field would drop them.
constexpr NumField kNumFields[] = {
    {kMeEpochYear, {1, 6, 0, 1}, 70}, {kMeEpochMonth, {1, 2, 0, 0}, 40}, {kMeEpochDay, {2, 2, 3, 0}, 70},
    {kMeTYear, {1, 6, 0, 1}, 70},     {kMeTMonth, {1, 2, 0, 0}, 40},     {kMeTDay, {2, 2, 8, 0}, 130},
    {kMeNewYear, {1, 6, 0, 1}, 70},   {kMeNewMonth, {1, 2, 0, 0}, 40},   {kMeNewDay, {2, 2, 3, 0}, 70},
    {kMeM, {2, 3, 8, 0}, 140},        {kMePeri, {2, 3, 8, 0}, 140},      {kMeNode, {2, 3, 8, 0}, 140},
    {kMeIncl, {2, 3, 8, 0}, 140},     {kMeQ, {2, 3, 10, 0}, 140},        {kMeE, {2, 3, 10, 0}, 140},
    {kMeA, {2, 4, 10, 0}, 140},
};

}  // namespace

CMoveEpochDlg::CMoveEpochDlg(CChildFrame* frame)
    : CFormView(frame, FunctionView::MoveEpoch),
      m_font(wxFontInfo(10).Family(wxFONTFAMILY_TELETYPE).FaceName(ToWx("ＭＳ ゴシック"))) {
  // Without that face, a fixed-width one that also draws Japanese keeps the columns.
  if (!wxFontEnumerator::IsValidFacename(ToWx("ＭＳ ゴシック")))
    m_font = wxFont(wxFontInfo(10).Family(wxFONTFAMILY_TELETYPE).FaceName("Noto Sans Mono CJK JP"));
  CreateControls();
  BindEvents();
}

CMoveEpochDlg::~CMoveEpochDlg() {
  // The graph draws this view's approach record: it goes first.
  if (auto* graph = dynamic_cast<CMpDisGraphWnd*>(OpenWindows().m_pMpDisGraphDlg)) {
    graph->SetTrack(nullptr, 0);
    OpenWindows().m_pMpDisGraphDlg = nullptr;
    graph->Destroy();
  }
  DestroyChildren();
  m_controls.Clear();
}

void CMoveEpochDlg::CreateControls() {
  auto add = [this](int id, wxWindow* w) { return m_controls.Add(id, w); };
  auto label = [this](const char* text) { return new wxStaticText(this, wxID_ANY, ToWx(text)); };
  for (const NumField& f : kNumFields) {
    auto* edit = new CNumEdit(this, f.id, wxDefaultPosition, wxSize(f.width, -1));
    edit->Configure(f.shape);
    m_controls.Add(f.id, edit);
  }
  auto date = [&](const char* text, int y, int m, int d) {
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(label(text), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    for (int id : {y, m, d}) row->Add(Control(id), 0, wxRIGHT, 4);
    return row;
  };

  auto* form = new wxStaticBoxSizer(wxHORIZONTAL, this, ToWx("軌道要素形式"));
  form->Add(add(kMeFormComet, new wxRadioButton(this, kMeFormComet, ToWx("彗星"), wxDefaultPosition, wxDefaultSize,
                                                wxRB_GROUP)),
            0, wxRIGHT, 10);
  form->Add(add(kMeFormAsteroid, new wxRadioButton(this, kMeFormAsteroid, ToWx("小惑星"))));

  auto* elements = new wxFlexGridSizer(4, 4, 8);
  const std::pair<const char*, int> cells[] = {{"M", kMeM},         {"Peri.", kMePeri}, {"q", kMeQ},
                                               {"Node", kMeNode}, {"a", kMeA},         {"Incl.", kMeIncl},
                                               {"e", kMeE}};
  for (const auto& [text, id] : cells) {
    elements->Add(label(text), 0, wxALIGN_CENTER_VERTICAL);
    elements->Add(Control(id));
  }

  auto* nonGrav = new wxStaticBoxSizer(wxVERTICAL, this, ToWx("非重力パラメータ"));
  auto* values = new wxBoxSizer(wxHORIZONTAL);
  const std::pair<const char*, int> aFields[] = {{"A1", kMeA1}, {"A2", kMeA2}, {"A3", kMeA3}};
  for (const auto& [text, id] : aFields) {
    values->Add(label(text), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    values->Add(add(id, new wxTextCtrl(this, id, wxString(), wxDefaultPosition, wxSize(110, -1))), 0, wxRIGHT, 8);
  }
  nonGrav->Add(values, 0, wxALL, 2);
  auto* type = new wxStaticBoxSizer(wxHORIZONTAL, this, ToWx("非重力タイプ"));
  type->Add(add(kMeMarsden, new wxRadioButton(this, kMeMarsden, ToWx("Marsden Type II"), wxDefaultPosition,
                                              wxDefaultSize, wxRB_GROUP)),
            0, wxRIGHT, 10);
  type->Add(add(kMeYabushita, new wxRadioButton(this, kMeYabushita, ToWx("Yabushita"))));
  nonGrav->Add(type, 0, wxALL, 2);

  // The step combo also takes a typed step.
  auto combo = [this](int id, int width) {
    auto* c = new wxComboBox(this, id, wxString(), wxDefaultPosition, wxSize(width, -1), 0, nullptr,
                             id == kMeStep ? 0 : wxCB_READONLY);
    m_controls.Add(id, c);
    return c;
  };
  auto* run = new wxBoxSizer(wxHORIZONTAL);
  run->Add(combo(kMeSet, 170), 0, wxRIGHT, 8);
  run->Add(label("積分間隔:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
  run->Add(combo(kMeStep, 130), 0, wxRIGHT, 8);
  run->Add(add(kMeRoundTrip, new wxCheckBox(this, kMeRoundTrip, ToWx("積分誤差を計算する(計算時間が2倍必要)"))), 0,
           wxALIGN_CENTER_VERTICAL);
  Control(kMeStep)->SetFont(m_font);

  auto* newEpoch = date("Epoch(新元期):", kMeNewYear, kMeNewMonth, kMeNewDay);
  newEpoch->Add(add(kMeSnap, new wxButton(this, kMeSnap, ToWx("基準日に修正(&C)"))), 0, wxRIGHT, 8);
  auto* span = new wxStaticText(this, kMeSpan, ToWx("適応範囲：―"));
  newEpoch->Add(add(kMeSpan, span), 0, wxALIGN_CENTER_VERTICAL);

  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  buttons->Add(add(kMeCalc, new wxButton(this, kMeCalc, ToWx("計算(&C)"))), 0, wxRIGHT, 8);
  buttons->Add(add(kMeSample, new wxButton(this, kMeSample, ToWx("入力例(&S)"))), 0, wxRIGHT, 8);
  buttons->Add(add(kMeProgress, new wxGauge(this, kMeProgress, 100, wxDefaultPosition, wxSize(200, 16))), 0,
               wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
  auto* status = new wxStaticText(this, kMeStatus, wxString());
  status->SetFont(m_font);
  buttons->Add(add(kMeStatus, status), 1, wxALIGN_CENTER_VERTICAL);

  auto* result = new wxTextCtrl(this, kMeResult, wxString(), wxDefaultPosition, wxSize(-1, 220),
                                wxTE_MULTILINE | wxTE_READONLY | wxHSCROLL | wxTE_DONTWRAP);
  add(kMeResult, result);
  // Panes squeezed below their scroll bars upset GTK while the frame is still small.
  result->SetMinSize(wxSize(300, 160));
  auto* approach = new wxBoxSizer(wxHORIZONTAL);
  approach->Add(combo(kMeBody, 130), 0, wxRIGHT, 4);
  approach->Add(add(kMeApproach, new wxTextCtrl(this, kMeApproach, wxString(), wxDefaultPosition, wxSize(-1, 70),
                                                wxTE_MULTILINE | wxTE_READONLY | wxHSCROLL | wxTE_DONTWRAP)),
                1, wxEXPAND);
  Control(kMeApproach)->SetFont(m_font);
  Control(kMeApproach)->SetMinSize(wxSize(300, 70));

  auto* top = new wxBoxSizer(wxVERTICAL);
  top->Add(form, 0, wxALL, 6);
  top->Add(date("Epoch:", kMeEpochYear, kMeEpochMonth, kMeEpochDay), 0, wxLEFT | wxRIGHT, 6);
  top->Add(date("T:", kMeTYear, kMeTMonth, kMeTDay), 0, wxALL, 6);
  top->Add(elements, 0, wxLEFT | wxRIGHT, 6);
  top->Add(nonGrav, 0, wxALL, 6);
  top->Add(run, 0, wxLEFT | wxRIGHT, 6);
  top->Add(newEpoch, 0, wxALL, 6);
  top->Add(label("Memo:DE406のサポート範囲は-3000/2/23～3000/3/3"), 0, wxLEFT | wxRIGHT, 6);
  top->Add(buttons, 0, wxEXPAND | wxALL, 6);
  top->Add(result, 1, wxEXPAND | wxLEFT | wxRIGHT, 6);
  top->Add(approach, 0, wxEXPAND | wxALL, 6);
  SetSizer(top);
}

void CMoveEpochDlg::BindEvents() {
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnCalculate(); }, kMeCalc);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { m_model.OnSnapNewEpoch(*this); }, kMeSnap);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { m_model.OnSample(*this); }, kMeSample);
  Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { m_model.OnFormComet(*this); }, kMeFormComet);
  Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { m_model.OnFormAsteroid(*this); }, kMeFormAsteroid);
  Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { m_model.OnNonGravType(0); }, kMeMarsden);
  Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { m_model.OnNonGravType(1); }, kMeYabushita);
  Bind(wxEVT_COMBOBOX, [this](wxCommandEvent&) { m_model.OnAsteroidSetChange(*this); }, kMeSet);
  Bind(wxEVT_COMBOBOX, [this](wxCommandEvent&) { m_model.OnBodyChange(*this); }, kMeBody);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnApproachGraph(); }, ID_MP_DIS_GRAPH);
  Bind(wxEVT_UPDATE_UI, [](wxUpdateUIEvent& e) { e.Enable(true); }, ID_MP_DIS_GRAPH);
}

void CMoveEpochDlg::OnInitialUpdate() {
  if (auto* frame = dynamic_cast<CChildFrame*>(GetParent())) frame->SetTitle(ToWx(kMoveEpochTitle));
  m_model.InitForm(*this);
  static_cast<wxRadioButton*>(Control(kMeFormComet))->SetValue(true);
  static_cast<wxRadioButton*>(Control(kMeMarsden))->SetValue(true);
  Layout();
}

void CMoveEpochDlg::OnCalculate() {
  Control(kMeResult)->SetFont(m_font);
  m_model.Calculate(*this);
}

void CMoveEpochDlg::OnApproachGraph() {
  CMpDisGraphWnd* graph = OpenMpDisGraph(this);
  // A graph opened after the run draws that run's approaches.
  if (CloseApproachRecord* record = m_model.Approach())
    graph->SetTrack(record->track, record->m_nTrackRows);
}

std::string CMoveEpochDlg::Text(int id) { return m_controls.Text(id); }
void CMoveEpochDlg::SetText(int id, const std::string& text) { m_controls.SetText(id, text); }
int CMoveEpochDlg::Selection(int id) { return m_controls.Selection(id); }
int CMoveEpochDlg::Checked(int id) { return m_controls.Checked(id); }
EngineWindow* CMoveEpochDlg::Window(int id) { return m_controls.Window(id); }

void CMoveEpochDlg::SetReadOnly(int id, bool readOnly) {
  if (auto* edit = dynamic_cast<wxTextCtrl*>(Control(id))) edit->SetEditable(!readOnly);
}

void CMoveEpochDlg::SetItems(int id, const std::vector<std::string>& items, int selection) {
  auto* c = dynamic_cast<wxComboBox*>(Control(id));
  if (!c) return;
  c->Clear();
  for (const std::string& item : items) c->Append(ToWx(item));
  c->SetSelection(selection);
}

void RegisterMoveEpochView() {
  RegisterFunctionView(
      FunctionView::MoveEpoch, [](CChildFrame* frame) -> CFormView* { return new CMoveEpochDlg(frame); },
      [] { return BuildMenuBar(kMoveEpochMenu); });
}

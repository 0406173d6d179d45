#include "ephemeris/ui/forecast_dlg.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/gauge.h>
#include <wx/notebook.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "app/help_pages.h"
#include "app/main_frame.h"
#include "app/num_edit.h"
#include "astro/jpl_eph.h"
#include "astro/mpeph_store.h"
#include "astro/time_scales.h"
#include "data/ui/info_help.h"
#include "data/ui/info_mark.h"
#include "data/ui/window_routines.h"
#include "determination/ui/determination_view.h"
#include "determination/ui/wx_control_window.h"
#include "determination/view_commands.h"
#include "engine/determination_host.h"
#include "platform/app_services.h"
#include "platform/numbers.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_resource_ids.h"
#include "resources/info_topics.h"

CForecastDlg* g_pForecastDlg = nullptr;

namespace {

const char* const kBodyNames[] = {"最接近", "水星", "金星", "地球", "火星", "木星",
                                  "土星",   "天王星", "海王星", "冥王星", "月"};
const char* const kAsteroidNames[] = {"ケレス", "パラス", "ベスタ", "アイリス", "バンバーガ", "ヒギエア", "エウノミア"};
const char* const kCloneCounts[] = {"100", "300", "1000", "3000"};
constexpr int kModeRadios[] = {kFcModeEpoch, kFcModeOriginal, kFcModeFuture, kFcModeBoth};

std::string DateText(double jd) {
  double y = 0, m = 0, d = 0;
  JdToCalendar(jd, y, m, d);
  return FormatC("%d/%d/%d", static_cast<int>(y), static_cast<int>(m), static_cast<int>(d));
}

bool ConfirmErrorGrowth(CDetermination* view) {
  return view->ReportMessage("目標元期までの区間を5段階に分けて、それぞれ往復積分を行います。\r\n"
                             "[計算]で積分誤差まで求める場合の約2倍の時間がかかります。\r\n\r\n実行しますか?",
                             "Tessarune", kBoxOkCancel | kBoxIconInformation, 1) == 1;
}

}  // namespace

CForecastDlg::CForecastDlg(wxWindow* parent, CDetermination* view)
    : wxDialog(parent, wxID_ANY, ToWx("予報軌道の計算・元期の移動"), wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      m_model(view),
      m_font(wxFontInfo(10).Family(wxFONTFAMILY_MODERN).FaceName(ToWx("ＭＳ ゴシック"))) {
  CreateControls();
  BindEvents();
  OnInitDialog();
  // The generated test observations load as the view's open command loads a file.
  m_model.m_openObsFile = [view](const std::string& path) {
    auto* shown = dynamic_cast<CDeterminationView*>(view);
    if (!shown) return 0;
    shown->OpenObsFile(path);
    return shown->m_pDetClass ? shown->m_pDetClass->m_nObsCount : 0;
  };
}

CForecastDlg::~CForecastDlg() {
  if (g_pForecastDlg == this) g_pForecastDlg = nullptr;
}

void CForecastDlg::CreateControls() {
  auto label = [this](const char* text, int id = wxID_ANY) {
    auto* s = new wxStaticText(this, id, ToWx(text));
    if (id != wxID_ANY) m_controls.Add(id, s);
    return s;
  };
  auto add = [this](int id, wxWindow* w) { return m_controls.Add(id, w); };

  auto* select = new wxStaticBoxSizer(wxVERTICAL, this, ToWx("選択"));
  const char* modeLabels[] = {"元期を入力", "原初軌道", "未来軌道", "原初＋未来"};
  auto* modes = new wxBoxSizer(wxHORIZONTAL);
  for (int i = 0; i < 4; ++i)
    modes->Add(add(kModeRadios[i], new wxRadioButton(this, kModeRadios[i], ToWx(modeLabels[i]), wxDefaultPosition,
                                                     wxDefaultSize, i == 0 ? wxRB_GROUP : 0)),
               0, wxRIGHT, 10);
  modes->Add(new CInfoMark(this, kFcOrgFutHelp), 0, wxALIGN_CENTER_VERTICAL);
  select->Add(modes, 0, wxALL, 4);
  select->Add(label("Epochに指定した日の軌道要素を計算します。"), 0, wxLEFT | wxBOTTOM, 4);
  auto* epoch = new wxBoxSizer(wxHORIZONTAL);
  epoch->Add(label("Epoch(元期):"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
  const int widths[] = {70, 40, 90};
  for (int i = 0; i < 3; ++i)
    epoch->Add(add(kFcEpochYear + i, new CNumEdit(this, kFcEpochYear + i, wxDefaultPosition, wxSize(widths[i], -1))),
               0, wxRIGHT, 4);
  epoch->Add(add(kFcSnap, new wxButton(this, kFcSnap, ToWx("基準日に修正(&C)"))), 0, wxRIGHT, 8);
  epoch->Add(label("適応範囲：―", kFcSpan), 0, wxALIGN_CENTER_VERTICAL);
  select->Add(epoch, 0, wxALL, 4);
  auto* step = new wxBoxSizer(wxHORIZONTAL);
  step->Add(label("積分間隔"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
  step->Add(add(kFcStep, new wxComboBox(this, kFcStep, wxString(), wxDefaultPosition, wxSize(130, -1))), 0, wxRIGHT, 4);
  step->Add(new CInfoMark(this, kFcStepHelp), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
  step->Add(add(kFcRoundTrip, new wxCheckBox(this, kFcRoundTrip, ToWx("積分誤差を計算する(計算時間が2倍必要)"))), 0,
            wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
  step->Add(label("境界 250 AU"), 0, wxALIGN_CENTER_VERTICAL);
  select->Add(step, 0, wxALL, 4);

  auto* run = new wxBoxSizer(wxHORIZONTAL);
  run->Add(add(kFcCalc, new wxButton(this, kFcCalc, ToWx("計算(&C)"))), 0, wxRIGHT, 8);
  run->Add(add(kFcProgress, new wxGauge(this, kFcProgress, 100, wxDefaultPosition, wxSize(200, 16))), 0,
           wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
  run->Add(label("", kFcStatus), 1, wxALIGN_CENTER_VERTICAL);
  Control(kFcStatus)->SetFont(m_font);

  m_pTabs = new wxNotebook(this, kFcTabs, wxDefaultPosition, wxSize(640, 300));
  m_controls.Add(kFcTabs, m_pTabs);
  for (int id : {kFcResult, kFcLog}) {
    auto* pane = new wxTextCtrl(m_pTabs, id, wxString(), wxDefaultPosition, wxDefaultSize,
                                wxTE_MULTILINE | wxTE_READONLY | wxHSCROLL | wxTE_DONTWRAP);
    pane->SetFont(m_font);
    m_controls.Add(id, pane);
  }
  m_pTabs->AddPage(Control(kFcResult), ToWx("軌道要素"), true);
  m_pTabs->AddPage(Control(kFcLog), ToWx("計算ログ"));

  auto* approach = new wxBoxSizer(wxHORIZONTAL);
  approach->Add(add(kFcBody, new wxComboBox(this, kFcBody, wxString(), wxDefaultPosition, wxSize(130, -1), 0, nullptr,
                                            wxCB_READONLY)),
                0, wxRIGHT, 4);
  approach->Add(add(kFcApproach, new wxTextCtrl(this, kFcApproach, wxString(), wxDefaultPosition, wxSize(-1, 70),
                                                wxTE_MULTILINE | wxTE_READONLY | wxHSCROLL | wxTE_DONTWRAP)),
                1, wxEXPAND);
  Control(kFcApproach)->SetFont(m_font);

  auto* impact = new wxStaticBoxSizer(wxHORIZONTAL, this, ToWx("惑星衝突計算"));
  impact->Add(add(kFcImpact, new wxButton(this, kFcImpact, ToWx("衝突確率(&P)"))), 0, wxRIGHT, 8);
  impact->Add(label("クローン数:", kFcClonesLabel), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
  impact->Add(add(kFcClones, new wxComboBox(this, kFcClones, wxString(), wxDefaultPosition, wxSize(90, -1))), 0,
              wxRIGHT, 4);
  impact->Add(new CInfoMark(this, kFcImpactHelp), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
  impact->Add(add(kFcSystematic, new wxCheckBox(this, kFcSystematic, ToWx("系統誤差を見込む"))), 0,
              wxALIGN_CENTER_VERTICAL);

  auto* bottom = new wxBoxSizer(wxHORIZONTAL);
  bottom->Add(add(kFcErrorGrowth, new wxButton(this, kFcErrorGrowth, ToWx("誤差の伸びを測る(&G)"))), 0, wxRIGHT, 8);
  bottom->Add(label("開発者用  Ctrl+[計算]：衝突テスト軌道\nCtrl+Shift+[計算]：テスト観測データ作成", kFcDevNote), 0,
              wxRIGHT, 8);
  bottom->AddStretchSpacer();
  bottom->Add(new wxButton(this, wxID_CLOSE, ToWx("閉じる(&X)")));

  auto* top = new wxBoxSizer(wxVERTICAL);
  top->Add(select, 0, wxEXPAND | wxALL, 8);
  top->Add(run, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);
  top->Add(m_pTabs, 1, wxEXPAND | wxALL, 8);
  top->Add(approach, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);
  top->Add(impact, 0, wxEXPAND | wxALL, 8);
  top->Add(bottom, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 8);
  SetSizerAndFit(top);
}

void CForecastDlg::OnInitDialog() {
  CTessaruneLib::PlaceNearMainWindow(this);
  static_cast<CNumEdit*>(Control(kFcEpochYear))->Configure({1, 6, 0, 1});
  static_cast<CNumEdit*>(Control(kFcEpochMonth))->Configure({1, 2, 0, 0});
  static_cast<CNumEdit*>(Control(kFcEpochDay))->Configure({2, 2, 5, 0});
  FillBodyCombo();
  if (g_pJplEph && g_pJplEph->IsOpen() && g_dJplEnd > 0)
    SetText(kFcSpan, "適応範囲：" + DateText(g_dJplStart) + "～" + DateText(g_dJplEnd));
  auto* step = static_cast<wxComboBox*>(Control(kFcStep));
  for (int i = 0; i < kForecastStepCount; ++i) step->Append(ToWx(ForecastStepText(i)));
  step->SetSelection(0);
  SetText(kFcLog, "積分間隔の変更など、計算の過程がここに表示されます。");
  static_cast<wxRadioButton*>(Control(kFcModeEpoch))->SetValue(true);
  auto* clones = static_cast<wxComboBox*>(Control(kFcClones));
  for (const char* c : kCloneCounts) clones->Append(c);
  clones->SetSelection(1);
  Control(kFcClonesLabel)->SetToolTip(
      ToWx("軌道の誤差(観測誤差)の範囲内で少しずつ違う仮想の軌道を多数作り、それぞれが地球に衝突するかを数えて衝突確率を"
           "求めます(モンテカルロ法)。この仮想軌道の本数が「クローン数」です。"));
  clones->SetToolTip(ToWx("クローン数が多いほど確率の精度が上がりますが、計算時間はほぼ本数に比例します。まず300で傾向を見"
                          "て、確率が小さい(1%未満)ときは1000以上がおすすめです。"));
  ShowDeveloperControls();
  ShowTab(0);
}

void CForecastDlg::FillBodyCombo() {
  auto* body = static_cast<wxComboBox*>(Control(kFcBody));
  body->Clear();
  for (const char* name : kBodyNames) body->Append(ToWx(name));
  int members[kPerturberSetMaxMembers];
  const int n = GetPerturberSetMembers(static_cast<PerturberSet>(View()->m_pEngine->m_nAsteroidSet), members);
  for (int k = 0; k < 5; ++k)
    body->Append(ToWx(k >= n ? "(なし)" : members[k] >= 0 && members[k] <= 6 ? kAsteroidNames[members[k]] : "?"));
  body->SetSelection(0);
}

void CForecastDlg::ShowDeveloperControls() {
  const bool dev = TheApp().m_bDeveloper != 0;
  Control(kFcErrorGrowth)->Show(dev);
  Control(kFcDevNote)->Show(dev);
  Layout();
}

void CForecastDlg::BindEvents() {
  for (int i = 0; i < 4; ++i)
    Bind(wxEVT_RADIOBUTTON, [this, i](wxCommandEvent&) { OnMode(i); }, kModeRadios[i]);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnCalc(); }, kFcCalc);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnSnapToStandardDate(); }, kFcSnap);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnErrorGrowth(); }, kFcErrorGrowth);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnImpactProbability(); }, kFcImpact);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ShowOrgFutHelp(this); }, kFcOrgFutHelp);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ShowImpactHelp(this); }, kFcImpactHelp);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ShowInfoHelp(kTopicForecastStep.title, kTopicForecastStep.text, this); },
       kFcStepHelp);
  Bind(wxEVT_COMBOBOX, [this](wxCommandEvent&) { m_model.ShowBodyApproaches(*this); }, kFcBody);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Hide(); }, wxID_CLOSE);
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { Hide(); });
  Bind(wxEVT_SHOW, [this](wxShowEvent& e) {
    if (e.IsShown()) ShowDeveloperControls();
    e.Skip();
  });
  // Enter neither closes the dialog nor presses a button.
  Bind(wxEVT_CHAR_HOOK, [](wxKeyEvent& e) {
    if (e.GetKeyCode() != WXK_RETURN && e.GetKeyCode() != WXK_NUMPAD_ENTER) e.Skip();
  });
}

void CForecastDlg::OnMode(int mode) {
  m_model.State().m_nOrbitKind = mode;
  for (int id : {kFcEpochYear, kFcEpochMonth, kFcEpochDay, kFcSnap}) Control(id)->Enable(mode == kForecastEpoch);
}

void CForecastDlg::OnCalc() {
  if (EngineBusy(View()->m_pEngine)) return;
  m_model.Calculate(*this);
}

void CForecastDlg::OnSnapToStandardDate() {
  std::string y = Text(kFcEpochYear), m = Text(kFcEpochMonth), d = Text(kFcEpochDay);
  if (SnapToStandardDate(y, m, d, 1)) {
    SetText(kFcEpochYear, y);
    SetText(kFcEpochMonth, m);
    SetText(kFcEpochDay, d);
  }
}

void CForecastDlg::OnErrorGrowth() { m_model.MeasureErrorGrowth(*this, ConfirmErrorGrowth); }

void CForecastDlg::OnImpactProbability() {
  if (EngineBusy(View()->m_pEngine)) return;
  m_model.ImpactProbability(*this);
}

void CForecastDlg::Reset() {
  for (int id : {kFcResult, kFcLog, kFcApproach, kFcStatus, kFcEpochYear, kFcEpochMonth, kFcEpochDay}) SetText(id, "");
  static_cast<wxGauge*>(Control(kFcProgress))->SetValue(0);
  static_cast<wxRadioButton*>(Control(kFcModeEpoch))->SetValue(true);
  OnMode(kForecastEpoch);
  static_cast<wxComboBox*>(Control(kFcStep))->SetSelection(0);
  ShowTab(0);
}

std::string CForecastDlg::Text(int id) { return m_controls.Text(id); }
void CForecastDlg::SetText(int id, const std::string& text) { m_controls.SetText(id, text); }
int CForecastDlg::Selection(int id) { return m_controls.Selection(id); }
int CForecastDlg::Checked(int id) { return m_controls.Checked(id); }
EngineWindow* CForecastDlg::Window(int id) { return m_controls.Window(id); }

void CForecastDlg::ShowTab(int tab) {
  if (tab == 1) SetText(kFcLog, "");
  m_pTabs->ChangeSelection(tab);
  Control(tab == 1 ? kFcLog : kFcResult)->Update();
}

void OpenForecastDialog(CDetermination* view, wxWindow* parent) {
  // The dialog works on the view's engine: the view's own settings wait.
  DisableControlsForForecast(*view);
  if (!g_pForecastDlg) g_pForecastDlg = new CForecastDlg(parent, view);
  g_pForecastDlg->Show();
  g_pForecastDlg->Raise();
}

void RegisterForecastDialog() {
  RegisterToolWindowCommand(ID_FORECAST, [](wxWindow* window) {
    if (auto* view = dynamic_cast<CDetermination*>(window)) OpenForecastDialog(view, window);
  });
  ForecastDialogHooks& hooks = ForecastHooks();
  hooks.presence = [](const CDetermination* view) {
    if (!g_pForecastDlg || g_pForecastDlg->View() != view) return static_cast<int>(kForecastNone);
    return static_cast<int>(g_pForecastDlg->IsShown() ? kForecastVisible : kForecastHidden);
  };
  hooks.reset = [](const CDetermination* view) {
    if (g_pForecastDlg && g_pForecastDlg->View() == view) g_pForecastDlg->Reset();
  };
}

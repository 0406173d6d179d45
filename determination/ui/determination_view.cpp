#include "determination/ui/determination_view.h"
#include "determination/view_commands.h"

#include <algorithm>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/notebook.h>
#include <wx/spinbutt.h>
#include <wx/statbox.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "app/child_frame.h"
#include "app/num_edit.h"
#include "data/ui/info_mark.h"
#include "determination/det_settings.h"
#include "determination/det_state_rules.h"
#include "determination/improvement_settings.h"
#include "determination/obs_list_cells.h"
#include "determination/ui/obs_list_ctrl.h"
#include "determination/ui/wx_control_window.h"
#include "data/station_table.h"
#include "engine/ai_improvement.h"
#include "engine/improvement_procedures.h"
#include "engine/observation_picking.h"
#include "astro/mpeph_store.h"
#include "platform/app_services.h"
#include "platform/numbers.h"
#include "platform/wx/spin_arrows.h"
#include "platform/wx/wx_controls.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_resource_ids.h"

namespace {

constexpr const char* kViewTitle = "軌道計算";
constexpr const char* kOpenHint = "[ﾌｧｲﾙ(F)]→[観測ファイルを開く(O)]で観測ファイルを読み込んでください。";

} // namespace

CDeterminationView::CDeterminationView(CChildFrame* frame)
    : CFormView(frame, FunctionView::Determination), CDeterminationDisplay(true)
{
  // The result panes, the list and the step box share one fixed-width font.
  m_font = wxFont(wxFontInfo(10).Family(wxFONTFAMILY_TELETYPE).FaceName("Noto Sans Mono CJK JP"));
  if (!m_font.IsOk())
    m_font = wxFont(wxFontInfo(10).Family(wxFONTFAMILY_TELETYPE));
  CreateControls();
  BindControls();
  BindListCommands();
  BindDiagnosticCommands();
  BindOptionBoxes();
  BindLayoutEvents();
}

CDeterminationView::~CDeterminationView()
{
  // Before the widgets go: the column widths the user set.
  if (m_pObsList)
    m_pObsList->StoreColumnWidths(TheApp());
  // The widgets go while the view they call back into is still whole.
  DestroyChildren();
  m_pObsList = nullptr;
  m_pTabs = nullptr;
  m_widgets.clear();
}

void CDeterminationView::CreateControls()
{
  for (const DetFormControl& c : DetFormControls()) {
    wxWindow* w = CreateControl(c);
    if (w && c.id != 0)
      m_widgets[c.id] = w;
    if (w && w->GetParent() == this)
      m_formChildren.push_back(w);
  }
}

wxWindow* CDeterminationView::CreateControl(const DetFormControl& c)
{
  const wxPoint pos(c.x, c.y);
  const wxSize size(c.w, c.h);
  const wxString text = ToWx(c.text);
  const int id = c.id != 0 ? c.id : wxID_ANY;
  switch (c.kind) {
  case DetCtlKind::Group: return new wxStaticBox(this, id, text, pos, size);
  case DetCtlKind::Label: return new wxStaticText(this, id, text, pos, size, wxST_NO_AUTORESIZE);
  case DetCtlKind::Check: return new wxCheckBox(this, id, text, pos, size);
  case DetCtlKind::Button: return new wxButton(this, id, text, pos, size);
  case DetCtlKind::Edit: return new wxTextCtrl(this, id, text, pos, size);
  case DetCtlKind::NumEdit: return new CNumEdit(this, id, pos, size);
  case DetCtlKind::Combo: return new wxChoice(this, id, pos, size);
  case DetCtlKind::Spin: return NewArrowsOnlySpin(this, id, pos, size);
  case DetCtlKind::Line: return new wxStaticLine(this, id, pos, size, wxLI_HORIZONTAL);
  case DetCtlKind::Mark: return new CInfoMark(this, id, pos, size);
  case DetCtlKind::Tabs:
    m_pTabs = new wxNotebook(this, id, pos, size);
    return m_pTabs;
  case DetCtlKind::List:
    m_pObsList = new CObsListCtrl(this, id, pos, size);
    return m_pObsList;
  case DetCtlKind::Pane: {
    // The result and log panes are the pages of the tab control.
    const bool page = (c.id == kIdResultEdit || c.id == kIdCalcLogEdit) && m_pTabs;
    wxWindow* parent = page ? static_cast<wxWindow*>(m_pTabs) : this;
    auto* pane = new wxTextCtrl(parent, id, wxString(), parent == this ? pos : wxDefaultPosition,
                                parent == this ? size : wxDefaultSize,
                                wxTE_MULTILINE | wxTE_READONLY | wxHSCROLL | wxTE_DONTWRAP);
    pane->SetFont(m_font);
    return pane;
  }
  }
  return nullptr;
}

void CDeterminationView::BindControls()
{
  if (m_pTabs) {
    m_pTabs->AddPage(m_widgets[kIdResultEdit], ToWx("軌道要素"), true);
    m_pTabs->AddPage(m_widgets[kIdCalcLogEdit], ToWx("計算ログ"), false);
  }
  if (m_pObsList) {
    m_pObsList->Bind(wxEVT_LIST_ITEM_ACTIVATED, [this](wxListEvent& e) { OnObsListDoubleClick(e.GetIndex()); });
    m_pObsList->SetFont(m_font);
  }
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnManualImprove(*this); }, kIdManualImprove);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnAutoImprove(*this); }, kIdAutoImprove);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnAiImprove(*this); }, kIdAiImprove);
  Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { OnPerturbationsBox(); }, kIdPerturbationsCheck);
  Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { OnAutoStopBox(); }, kIdAutoStopCheck);
  BindObsCommands();
  BindResultFileCommands();
  BindSettingsControls();
  BindOptionCommands();
  BindViewCommands();
  BindInfoMarks();
}

void CDeterminationView::OnInitialUpdate()
{
  CTessaruneApp& app = TheApp();
  if (auto* frame = dynamic_cast<CChildFrame*>(GetParent()))
    frame->SetTitle(ToWx(kViewTitle));
  ArrangeOptionMenu();
  m_pEngine->m_bEpochFromField = app.m_bDeveloper ? 1 : 0;
  m_pObsList->SetupColumns(app);
  ConfigureNumericEdits();
  ReadRejectThresholds();
  SetItemText(kIdResultEdit, kOpenHint);
  ClearCalcLog();
  m_bSignature = 1;
  SetCheck(kIdSignatureCheck, 1);
  m_pEngine->m_bPerturbations = 1;
  SetCheck(kIdPerturbationsCheck, 1);
  m_pEngine->m_bAutoStop = 1;
  m_pEngine->m_dStopResidual = kNoStopResidual;
  SetCheck(kIdAutoStopCheck, 1);
  FillCombos();
  m_pEngine->m_nCalcState = 0;
  UpdateControlsForState(0);
  // Until the ephemeris view exists the hand-over has nowhere to go.
  EnableItem(kIdEphemerisButton, EphemerisViewAvailable());
  BuildLayoutTable();
  // A scan asked for on the command line opens the scan dialog.
  if (app.m_bDeveloper == 1 && app.m_nNeocpScan != 0) {
    wxCommandEvent open(wxEVT_MENU, ID_NEOCP_SCAN);
    wxPostEvent(this, open);
  }
}

void CDeterminationView::ConfigureNumericEdits()
{
  struct Shape {
    int id;
    NumEditShape shape;
  };
  static constexpr Shape kShapes[] = {
      {kIdEpochYear, {1, 6, 0, 1}},  {kIdEpochMonth, {1, 2, 0, 0}}, {kIdEpochDay, {2, 2, 3, 0}},
      {kIdFixEEdit, {2, 1, 9, 0}},   {kIdRejectYear, {1, 4, 0, 0}}, {kIdRejectOld, {2, 4, 2, 0}},
      {kIdRejectNew, {2, 4, 2, 0}},
  };
  for (const Shape& s : kShapes)
    if (auto* edit = dynamic_cast<CNumEdit*>(Widget(s.id)))
      edit->Configure(s.shape);
}

void CDeterminationView::ReadRejectThresholds()
{
  const CTessaruneApp& app = TheApp();
  const RejectThresholds r = ReadStoredRejectThresholds(app);
  m_nRejectYear = r.year;
  m_dRejectOld = r.before;
  m_dRejectNew = r.after;
  SetItemText(kIdRejectYear, FormatC("%d", m_nRejectYear));
  SetItemText(kIdRejectOld, FormatC("%.1f", m_dRejectOld));
  SetItemText(kIdRejectNew, FormatC("%.1f", m_dRejectNew));
}

void CDeterminationView::FillCombos()
{
  if (auto* step = dynamic_cast<wxChoice*>(Widget(kIdStepCombo))) {
    step->SetFont(m_font);
    step->Append(ToWx(kStepAutomatic));
    for (const StepChoice& s : kStepChoices)
      step->Append(ToWx(s.text));
    step->SetSelection(0);
  }
  if (auto* set = dynamic_cast<wxChoice*>(Widget(kIdPerturberSet))) {
    for (int i = 0; i < kPerturberSetCount; ++i)
      set->Append(ToWx(GetPerturberSetLabel(i)));
    set->SetSelection(m_pEngine->m_nAsteroidSet);
  }
  FillApproachBodies();
  if (auto* model = dynamic_cast<wxChoice*>(Widget(kIdNonGravModelCombo))) {
    for (const char* name : {"水氷", "CO・N2", "CO2", "太陽光圧"})
      model->Append(ToWx(name));
    SetNonGravModel(m_pEngine->m_nNonGravModel);
  }
}

void CDeterminationView::FillApproachBodies()
{
  auto* bodies = dynamic_cast<wxChoice*>(Widget(kIdApproachBody));
  if (!bodies)
    return;
  const int kept = bodies->GetSelection();
  bodies->Clear();
  for (const std::string& entry : ApproachBodyEntries(m_pEngine->m_nAsteroidSet))
    bodies->Append(ToWx(entry));
  bodies->SetSelection(KeptApproachBodySelection(kept, m_pEngine->m_nAsteroidSet));
}

void CDeterminationView::OnPerturbationsBox()
{
  m_pEngine->m_bPerturbations = m_pEngine->m_bPerturbations ? 0 : 1;
  SetCheck(kIdPerturbationsCheck, m_pEngine->m_bPerturbations);
  // The enabling of an improved orbit with or without perturbations; the
  // state itself stays.
  const int state = m_pEngine->m_bPerturbations ? 5 : 4;
  for (const ControlRule& r : StateControlRules(state, m_pEngine->m_bPerturbations != 0))
    if (r.enable != Tri::Unchanged)
      EnableItem(r.id, r.enable == Tri::On);
}

void CDeterminationView::OnAutoStopBox()
{
  const int was = m_pEngine->m_bAutoStop;
  m_pEngine->m_bAutoStop = IsChecked(kIdAutoStopCheck);
  if (!was && m_pEngine->m_bAutoStop)
    m_pEngine->m_dStopResidual = kNoStopResidual;
}

// ---- controls by id ----

wxWindow* CDeterminationView::Widget(int id) const
{
  const auto it = m_widgets.find(id);
  return it == m_widgets.end() ? nullptr : it->second;
}

std::string CDeterminationView::GetItemText(int id)
{
  wxWindow* w = Widget(id);
  if (!w)
    return CDetermination::GetItemText(id);
  return WxControlText(w);
}

void CDeterminationView::SetItemText(int id, const std::string& text)
{
  if (wxWindow* w = Widget(id))
    SetWxControlText(w, text);
  else
    CDetermination::SetItemText(id, text);
}

int CDeterminationView::IsChecked(int id)
{
  const int state = WxCheckBoxState(Widget(id));
  return state >= 0 ? state : CDetermination::IsChecked(id);
}

void CDeterminationView::SetCheck(int id, int checked)
{
  if (!SetWxCheckBoxState(Widget(id), checked))
    CDetermination::SetCheck(id, checked);
}

bool CDeterminationView::IsItemEnabled(int id)
{
  const int enabled = WxControlEnabled(Widget(id));
  return enabled >= 0 ? enabled == 1 : CDetermination::IsItemEnabled(id);
}

void CDeterminationView::EnableItem(int id, bool enable)
{
  if (!EnableWxControl(Widget(id), enable))
    CDetermination::EnableItem(id, enable);
}

bool CDeterminationView::IsItemVisible(int id)
{
  if (m_pTabs && (id == kIdResultEdit || id == kIdCalcLogEdit))
    return m_pTabs->GetCurrentPage() == Widget(id);
  const int shown = WxControlShown(Widget(id));
  return shown >= 0 ? shown == 1 : CDetermination::IsItemVisible(id);
}

void CDeterminationView::ShowItem(int id, bool show)
{
  if (m_pTabs && (id == kIdResultEdit || id == kIdCalcLogEdit)) {
    // Showing a pane selects its tab; hiding one selects the other.
    const int page = (id == kIdResultEdit) == show ? 0 : 1;
    if (m_pTabs->GetSelection() != page)
      m_pTabs->ChangeSelection(page);
    return;
  }
  if (!ShowWxControl(Widget(id), show))
    CDetermination::ShowItem(id, show);
}

int CDeterminationView::GetSelection(int id)
{
  if (auto* choice = dynamic_cast<wxChoice*>(Widget(id)))
    return choice->GetSelection();
  if (id == kIdTabs && m_pTabs)
    return m_pTabs->GetSelection();
  return CDetermination::GetSelection(id);
}

void CDeterminationView::SetSelection(int id, int index)
{
  if (auto* choice = dynamic_cast<wxChoice*>(Widget(id)))
    choice->SetSelection(index);
  else if (id == kIdTabs && m_pTabs)
    m_pTabs->ChangeSelection(index);
  else
    CDetermination::SetSelection(id, index);
}

EngineWindow* CDeterminationView::Window(int id)
{
  wxWindow* w = Widget(id);
  if (!w)
    return CDetermination::Window(id);
  auto& slot = m_windows[id];
  if (!slot)
    slot = std::make_unique<WxControlWindow>(w);
  return slot.get();
}

// ---- operations ----

void CDeterminationView::UpdateControlsForState(int state)
{
  ApplyDeveloperLayout();
  for (const ControlRule& r : StateControlRules(state, m_pEngine->m_bPerturbations != 0)) {
    if (r.enable != Tri::Unchanged)
      EnableItem(r.id, r.enable == Tri::On);
    if (r.check != Tri::Unchanged)
      SetCheck(r.id, r.check == Tri::On ? 1 : 0);
  }
  // A run of the forecast dialog moves the state: its controls stay taken.
  if (m_bForecastTookControls)
    DisableControlsForForecast(*this);
}


void CDeterminationView::EnableImproveButtons(int enable)
{
  CDetermination::EnableImproveButtons(enable);
  if (m_bForecastTookControls)
    for (int id : {kIdAutoImprove, kIdManualImprove})
      EnableItem(id, false);
  // Forced repaints at most every 50 ms; the event loop paints the rest.
  for (int id : {kIdAutoImprove, kIdManualImprove, kIdAiImprove})
    if (wxWindow* w = Widget(id))
      RepaintNowUnlessJustDone(w);
}

int CDeterminationView::ObservationCount() const
{
  return m_pDetClass->m_pOrbObs ? m_pDetClass->m_nObsCount : 0;
}

void CDeterminationView::ScrollObsListTo(int index)
{
  m_pObsList->ScrollTo(index);
}

void CDeterminationView::RedrawObsListItem(int index)
{
  if (index >= 0 && index < ObservationCount())
    m_pObsList->RefreshItem(index);
}

void CDeterminationView::RefreshResidualList(ObservationRecord* obs, int shown)
{
  CDeterminationDisplay::RefreshResidualList(obs, shown);
  RefillDiagnosticWindows();
}

void CDeterminationView::OnObsListClickAt(int row)
{
  // A click that arrives while a calculation pumps events must not start a
  // preliminary orbit inside it.
  if (EngineBusy(m_pEngine))
    return;
  long result = 0;
  OnObsListClick(*this, row, &result);
}

const ObservationRecord* CDeterminationView::ObsRecord(long row) const
{
  if (row < 0 || row >= ObservationCount())
    return nullptr;
  return &m_pDetClass->m_pOrbObs[row];
}

std::string CDeterminationView::ObsCellText(long row, long column) const
{
  const ObservationRecord* obs = ObsRecord(row);
  if (!obs)
    return {};
  return FormatObsCell(*obs, static_cast<int>(column), {m_pEngine->m_nCalcState, m_bResidualsShown});
}

int CDeterminationView::ObsBiasFlag(long row)
{
  EnsureStationStats();
  return row >= 0 && row < m_nObsBiasFlags ? m_pObsBiasFlag[row] : 0;
}

std::string CDeterminationView::ObsHoverStatus(int row)
{
  const ObservationRecord* obs = ObsRecord(row);
  if (!obs)
    return {};
  if (!m_pDetClass->m_pStations)
    LoadStationTable(&m_pDetClass->m_pStations);
  return ObsHoverText(row, *obs, m_pDetClass->m_pStations);
}

#include "ephemeris/ui/ephemerides_view.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/spinbutt.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/wupdlock.h>

#include "app/app_menus.h"
#include "app/child_frame.h"
#include "app/form_template.h"
#include "app/num_edit.h"
#include "app/registry/window_registry.h"
#include "app/tessarune_wx_app.h"
#include "platform/wx/spin_arrows.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/ephemeris_menus.h"

CEphemeridesView::CEphemeridesView(CChildFrame* frame)
    : CFormView(frame, FunctionView::Ephemerides), CEphemerides(true)
{
  // The table's columns need a fixed-width face that also draws the Japanese marks.
  m_fontOutput = wxFont(wxFontInfo(10).Family(wxFONTFAMILY_TELETYPE).FaceName("Noto Sans Mono CJK JP"));
  if (!m_fontOutput.IsOk())
    m_fontOutput = wxFont(wxFontInfo(10).Family(wxFONTFAMILY_TELETYPE));
  for (const EphFormControl& c : EphemerisFormControls()) {
    wxWindow* w = CreateControl(c);
    if (w && c.id != 0)
      m_widgets[c.id] = w;
  }
  BindControls();
  Bind(wxEVT_SIZE, [this](wxSizeEvent& e) {
    PlaceOutputBox();
    e.Skip();
  });
}

CEphemeridesView::~CEphemeridesView()
{
  // The widgets go while the view they call back into is still whole.
  DestroyChildren();
  m_widgets.clear();
  CMainFrame* main = wxGetApp().MainFrame();
  if (main && !main->IsBeingDeleted())
    main->RestoreHiddenDeterminationFrame();
}

wxWindow* CEphemeridesView::CreateControl(const EphFormControl& c)
{
  const wxPoint pos(c.x, c.y);
  const wxSize size(c.w, c.h);
  const wxString text = ToWx(c.text);
  const int id = c.id != 0 ? c.id : wxID_ANY;
  switch (c.kind) {
  case EphCtlKind::Group: return new wxStaticBox(this, id, text, pos, size);
  case EphCtlKind::Label: return new wxStaticText(this, id, text, pos, size);
  case EphCtlKind::Edit: {
    auto* edit = new wxTextCtrl(this, id, wxString(), pos, size, wxTE_READONLY);
    return edit;
  }
  case EphCtlKind::NumEdit: {
    auto* edit = new CNumEdit(this, id, pos, size);
    edit->Configure(c.shape);
    return edit;
  }
  case EphCtlKind::Radio: return new wxRadioButton(this, id, text, pos, size, c.firstInGroup ? wxRB_GROUP : 0);
  case EphCtlKind::Check: return new wxCheckBox(this, id, text, pos, size);
  case EphCtlKind::Button: return new wxButton(this, id, text, pos, size);
  case EphCtlKind::Spin: {
    // Side by side ("-" previous, "+" next): GTK's stacked arrows need more height than the row has.
    auto* spin = NewArrowsOnlySpin(this, id, pos, size);
    spin->SetRange(-1000000, 1000000);
    return spin;
  }
  case EphCtlKind::Output: {
    auto* box = new wxTextCtrl(this, id, wxString(), pos, size,
                               wxTE_MULTILINE | wxTE_READONLY | wxHSCROLL | wxTE_DONTWRAP);
    box->SetFont(m_fontOutput);
    return box;
  }
  }
  return nullptr;
}

void CEphemeridesView::BindControls()
{
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { RunCalc(); }, kEphCalc);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnSample(); }, kEphSample);
  struct Radio {
    int id;
    void (CEphemerides::*handler)();
  };
  static constexpr Radio kRadios[] = {
      {kEphMagComet, &CEphemerides::OnCometMagnitude},   {kEphMagAsteroid, &CEphemerides::OnAsteroidMagnitude},
      {kEphFormComet, &CEphemerides::OnCometElements},   {kEphFormAsteroid, &CEphemerides::OnAsteroidElements},
      {kEphStepDays, &CEphemerides::OnStepDays},         {kEphStepHours, &CEphemerides::OnStepHours},
      {kEphVariation, &CEphemerides::OnVariation},       {kEphDailyMotion, &CEphemerides::OnDailyMotion},
  };
  for (const Radio& r : kRadios)
    Bind(wxEVT_RADIOBUTTON, [this, h = r.handler](wxCommandEvent&) { (this->*h)(); }, r.id);
  Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { OnHandbookLayout(); }, kEphHandbook);
  Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { OnFirstReturnOnly(); }, kEphFirstReturn);
  Bind(wxEVT_TEXT, [this](wxCommandEvent&) { OnEccentricityChange(); }, kEphE);
  Bind(wxEVT_SPIN_UP, [this](wxSpinEvent& e) { OnRecordSpin(1) ? e.Skip() : e.Veto(); }, kEphRecordSpin);
  Bind(wxEVT_SPIN_DOWN, [this](wxSpinEvent& e) { OnRecordSpin(-1) ? e.Skip() : e.Veto(); }, kEphRecordSpin);
  for (int id : {kEphEpochYear, kEphEpochMonth, kEphEpochDay})
    if (wxWindow* w = Widget(id))
      w->Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& e) {
        DeriveAsteroidElements();
        e.Skip();
      });

  Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnOpenElementFile(); }, ID_OPEN_ELEMENT_FILE);
  Bind(wxEVT_UPDATE_UI, [](wxUpdateUIEvent& e) { e.Enable(true); }, ID_OPEN_ELEMENT_FILE);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnOrbitView(); }, ID_ORBIT_VIEW);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnGlobe(); }, ID_GLOBE);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnMagCurve(); }, ID_MAG_CURVE);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnVisibilityChart(); }, ID_VISIBILITY_CHART);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnSearchRange(); }, ID_SEARCH_RANGE);
}

void CEphemeridesView::OnInitialUpdate()
{
  if (auto* frame = dynamic_cast<CChildFrame*>(GetParent()))
    frame->SetTitle(ToWx(kEphViewTitle));
  InitForm();
  PlaceOutputBox();
}

void CEphemeridesView::PlaceOutputBox()
{
  wxWindow* box = Widget(kEphOutput);
  if (!box)
    return;
  const wxSize client = GetClientSize();
  const EphOutputRect r = EphemerisOutputRect(client.x, client.y);
  box->SetSize(r.x, r.y, std::max(r.w, 50), std::max(r.h, 50));
}

void CEphemeridesView::RunCalc()
{
  // The table goes into the box in one piece while the window is frozen.
  wxWindowUpdateLocker freeze(this);
  if (wxWindow* box = Widget(kEphOutput))
    box->SetFont(m_fontOutput);
  OnCalc();
}

wxWindow* CEphemeridesView::Widget(int id) const
{
  const auto it = m_widgets.find(id);
  return it == m_widgets.end() ? nullptr : it->second;
}

std::string CEphemeridesView::GetItemText(int id)
{
  if (auto* edit = dynamic_cast<wxTextCtrl*>(Widget(id)))
    return FromWx(edit->GetValue());
  return CEphemerides::GetItemText(id);
}

void CEphemeridesView::SetItemText(int id, const std::string& text)
{
  if (auto* edit = dynamic_cast<wxTextCtrl*>(Widget(id))) {
    edit->ChangeValue(ToWx(text));
    if (id == kEphE)
      OnEccentricityChange();
    return;
  }
  CEphemerides::SetItemText(id, text);
}

int CEphemeridesView::IsChecked(int id)
{
  if (auto* radio = dynamic_cast<wxRadioButton*>(Widget(id)))
    return radio->GetValue() ? 1 : 0;
  if (auto* check = dynamic_cast<wxCheckBox*>(Widget(id)))
    return check->GetValue() ? 1 : 0;
  return CEphemerides::IsChecked(id);
}

void CEphemeridesView::SetCheck(int id, int checked)
{
  if (auto* radio = dynamic_cast<wxRadioButton*>(Widget(id))) {
    // GTK unchecks a radio only by checking another of its group.
    if (checked)
      radio->SetValue(true);
    return;
  }
  if (auto* check = dynamic_cast<wxCheckBox*>(Widget(id))) {
    check->SetValue(checked != 0);
    return;
  }
  CEphemerides::SetCheck(id, checked);
}

bool CEphemeridesView::IsItemEnabled(int id)
{
  if (wxWindow* w = Widget(id))
    return w->IsEnabled();
  return CEphemerides::IsItemEnabled(id);
}

void CEphemeridesView::EnableItem(int id, bool enable)
{
  if (wxWindow* w = Widget(id)) {
    w->Enable(enable);
    return;
  }
  CEphemerides::EnableItem(id, enable);
}

bool CEphemeridesView::IsReadOnly(int id)
{
  if (auto* edit = dynamic_cast<wxTextCtrl*>(Widget(id)))
    return !edit->IsEditable();
  return CEphemerides::IsReadOnly(id);
}

void CEphemeridesView::SetReadOnly(int id, bool readOnly)
{
  if (auto* edit = dynamic_cast<wxTextCtrl*>(Widget(id))) {
    edit->SetEditable(!readOnly);
    return;
  }
  CEphemerides::SetReadOnly(id, readOnly);
}

int OpenEphemeridesView()
{
  if (OpenWindows().m_pEphemerides)
    return 1;
  CTessaruneWxApp& app = wxGetApp();
  const CFormTemplate* templ = app.m_pTemplEphemerides;
  CChildFrame* frame = templ && app.MainFrame() ? templ->CreateNewFrame(app.MainFrame()) : nullptr;
  if (!frame)
    return 0;
  templ->InitialUpdateFrame(frame);
  return 1;
}

void RegisterEphemerisView()
{
  RegisterFunctionView(
      FunctionView::Ephemerides, [](CChildFrame* frame) -> CFormView* { return new CEphemeridesView(frame); },
      [] { return BuildMenuBar(kEphemerisMenu); });
  RegisterEphemerisFill([] {
    if (!OpenEphemeridesView())
      return;
    // The Väisälä view's chosen orbit first, whatever the orbit determination holds.
    if (auto* view = OpenWindows().m_pEphemerides)
      if (!FillFromVaisala(*view, OpenWindows().m_pVaisala))
        FillFromDetermination(*view, OpenWindows().m_pDetermination);
  });
}

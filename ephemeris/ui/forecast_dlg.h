#pragma once
// "予報軌道の計算・元期の移動" (template 158): the modeless dialog of the
// orbit-determination view that carries its orbit in time. One dialog at a
// time (g_pForecastDlg), hidden by "閉じる(&X)" and shown again by command
// 157 with its last contents; what it computes is ForecastModel.
#include <memory>

#include <wx/dialog.h>

#include "ephemeris/forecast.h"
#include "ephemeris/ui/form_controls.h"

class CDetermination;
class CNumEdit;
class wxComboBox;
class wxNotebook;
class wxTextCtrl;

class CForecastDlg : public wxDialog, public ForecastForm {
public:
  enum { IDD = 158 };
  CForecastDlg(wxWindow* parent, CDetermination* view);
  ~CForecastDlg() override;

  // ---- ForecastForm ----
  std::string Text(int id) override;
  void SetText(int id, const std::string& text) override;
  int Selection(int id) override;
  int Checked(int id) override;
  EngineWindow* Window(int id) override;
  void ShowTab(int tab) override;

  // The view loaded observations or redid a calculation: back to mode 0 with empty fields.
  void Reset();
  ForecastModel& Model() { return m_model; }
  CDetermination* View() const { return m_model.View(); }
  wxWindow* Control(int id) const { return m_controls.Control(id); }

private:
  void CreateControls();
  void OnInitDialog();
  void BindEvents();
  void FillBodyCombo();
  void OnMode(int mode);
  void OnCalc();
  void OnSnapToStandardDate();
  void OnErrorGrowth();
  void OnImpactProbability();
  void ShowDeveloperControls();

  ForecastModel m_model;
  FormControls m_controls;
  wxNotebook* m_pTabs = nullptr;
  wxFont m_font;
};

// The one dialog, or null.
extern CForecastDlg* g_pForecastDlg;

// Command 157 of the orbit-determination view: creates the dialog for the
// view on first use, then shows it.
void OpenForecastDialog(CDetermination* view, wxWindow* parent);
// Registers command 157 and the view's hooks with the shell.
void RegisterForecastDialog();

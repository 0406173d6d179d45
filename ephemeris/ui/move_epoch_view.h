#pragma once
// The move-epoch view "入力して元期を移動" (form 108, template and menu 171)
// on wxWidgets: the controls of MoveEpochModel, which computes.
#include <wx/font.h>

#include "app/form_view.h"
#include "ephemeris/move_epoch_model.h"
#include "ephemeris/ui/form_controls.h"

class CMoveEpochDlg : public CFormView, public MoveEpochForm {
public:
  enum { IDD = 108 };
  explicit CMoveEpochDlg(CChildFrame* frame);
  ~CMoveEpochDlg() override;

  void OnInitialUpdate() override;

  // ---- MoveEpochForm ----
  std::string Text(int id) override;
  void SetText(int id, const std::string& text) override;
  int Selection(int id) override;
  int Checked(int id) override;
  void SetReadOnly(int id, bool readOnly) override;
  void SetItems(int id, const std::vector<std::string>& items, int selection) override;
  EngineWindow* Window(int id) override;

  MoveEpochModel& Model() { return m_model; }
  wxWindow* Control(int id) const { return m_controls.Control(id); }

private:
  void CreateControls();
  void BindEvents();
  void OnCalculate();
  void OnApproachGraph();

  MoveEpochModel m_model;
  FormControls m_controls;
  wxFont m_font;
};

// The view's template; call before the application starts.
void RegisterMoveEpochView();

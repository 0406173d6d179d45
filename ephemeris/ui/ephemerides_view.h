#pragma once
// The ephemeris view "位置推算" on wxWidgets: the form of ephemeris_form.h on
// the headless CEphemerides, whose control calls it implements on its
// widgets. The output box fills the view below the form.
#include <map>

#include <wx/font.h>

#include "app/form_view.h"
#include "ephemeris/ephemerides.h"
#include "ephemeris/ephemeris_form.h"

class CEphemeridesView : public CFormView, public CEphemerides {
public:
  explicit CEphemeridesView(CChildFrame* frame);
  ~CEphemeridesView() override;

  void OnInitialUpdate() override;

  std::string GetItemText(int id) override;
  void SetItemText(int id, const std::string& text) override;
  int IsChecked(int id) override;
  void SetCheck(int id, int checked) override;
  bool IsItemEnabled(int id) override;
  void EnableItem(int id, bool enable) override;
  bool IsReadOnly(int id) override;
  void SetReadOnly(int id, bool readOnly) override;

  wxWindow* Widget(int id) const;

private:
  wxWindow* CreateControl(const EphFormControl& c);
  void BindControls();
  void PlaceOutputBox();
  void RunCalc();

  std::map<int, wxWindow*> m_widgets;
  wxFont m_fontOutput;
};

// The view's template and FillEphemeridesFromCurrentOrbit, registered with
// the shell; call before the application starts.
void RegisterEphemerisView();
// Opens the ephemeris view through its template unless one exists: 1 done,
// 0 when the template makes no frame.
int OpenEphemeridesView();

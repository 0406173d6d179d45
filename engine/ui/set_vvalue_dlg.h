#pragma once
// The variation-amount dialog (template 107, "要素変化量の設定"), on
// wxWidgets. Modal; OK writes the nine amounts and the calibration switch
// back through the pointers it was given, after checking every edit.
#include <functional>
#include <string>

#include <wx/dialog.h>

#include "engine/variation_amounts.h"

class wxCheckBox;
class wxTextCtrl;

class CSetVValue : public wxDialog {
public:
  enum {
    IDD = 107,
    IDC_T = 1114, IDC_PERI = 1115, IDC_NODE = 1116, IDC_INCL = 1117, IDC_Q = 1110, IDC_E = 1111,
    IDC_A1 = 1112, IDC_A2 = 1113, IDC_A3 = 1431,
    IDC_LABEL_A1 = 1157, IDC_LABEL_A2 = 1156, IDC_LABEL_A3 = 1440,
    IDC_AUTO_CALIBRATE = 1481, IDC_STANDARD = 1118, IDC_SMALL = 1142, IDC_INFO = 1401,
  };

  // amounts: the engine's nine amounts (read now, written on OK);
  // pbAutoCalibrate: the engine's calibration switch.
  CSetVValue(wxWindow* parent, double* amounts, int* pbAutoCalibrate);

  bool TransferDataToWindow() override;    // OnInitDialog
  bool TransferDataFromWindow() override;  // OK: refuses a bad edit and keeps the dialog open

  // How the information mark shows its help (the application's single help
  // window); a message box until the application installs its own.
  static void SetHelpHandler(std::function<void(const std::string& title, const std::string& text, wxWindow*)> h);

private:
  void ApplyCheckRule();
  void ShowValues(const VariationDialogValues& values);
  VariationDialogValues ReadValues() const;

  double m_dValues[kVariationCount];
  double* m_pAmounts;
  int* m_pbAutoCalibrate;
  wxTextCtrl* m_pEdits[kVariationCount] = {};
  wxCheckBox* m_pAutoCalibrate = nullptr;
};

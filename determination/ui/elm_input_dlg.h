#pragma once
// "軌道改良用の軌道要素入力" (template 160): elements typed in the comet form
// (T and q) or the asteroid form (epoch, M and a), and two element memos.
// What OK reads and checks is AcceptElementTexts (determination/).
#include <string>

#include <wx/dialog.h>

#include "determination/element_input.h"

class CNumEdit;
class wxRadioButton;
class wxStaticText;
class wxTextCtrl;

class CElmInputDlg : public wxDialog {
public:
  enum { IDD = 160, IDC_COMET_FORM = 1700, IDC_ASTEROID_FORM = 1701, IDC_T_LABEL = 1702, IDC_FIELD0 = 1710,
         IDC_NOTE1 = 1740, IDC_NOTE2 = 1741, IDC_SAVE1 = 1742, IDC_LOAD1 = 1743, IDC_SAVE2 = 1744,
         IDC_LOAD2 = 1745 };

  // The members are read at creation and written on OK (m_bCancelled 0) or
  // Cancel (m_bCancelled 1).
  CElmInputDlg(wxWindow* parent, ElementInput& members);

  // The window of a field (ElementField order).
  wxTextCtrl* Field(int field) const { return m_pFields[field]; }
  ElementTexts FieldTexts() const;

private:
  void CreateControls();
  void OnInitDialog();
  void ApplyForm(int asteroid);
  void OnOk();
  void OnCancel();
  void SaveMemo(int memo);
  void LoadMemo(int memo);

  ElementInput& m_members;
  wxRadioButton* m_pComet = nullptr;
  wxRadioButton* m_pAsteroid = nullptr;
  wxStaticText* m_pTLabel = nullptr;
  wxTextCtrl* m_pFields[kElmFieldCount] = {};
  wxStaticText* m_pALabels[3] = {};
  wxTextCtrl* m_pNotes[2] = {};
};

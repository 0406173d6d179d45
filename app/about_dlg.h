#pragma once
// The About box: the version line from the version compiled in, and a
// double-click on its picture that switches developer mode for this run.
#include <wx/dialog.h>

class wxStaticText;
class wxGenericStaticBitmap;

class CAboutDlg : public wxDialog {
public:
  explicit CAboutDlg(wxWindow* parent);

  void OnToggleDeveloperMode();

  wxStaticText* m_pVersion = nullptr;  // 1119
  wxStaticText* m_pLegal = nullptr;    // 1432
  wxGenericStaticBitmap* m_pPicture = nullptr;  // 1144

private:
  void OnPictureDoubleClick(wxMouseEvent& event);
};

// Flips developer mode and lays out the open orbit-determination view to match.
void ToggleDeveloperMode();

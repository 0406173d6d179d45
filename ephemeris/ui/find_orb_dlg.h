#pragma once
// The similar-orbit search "類似軌道検索" (dialog 150) on wxWidgets: the
// orbit's time of perihelion above, "検索(&F)" filling the list with the
// catalogue lines near the orbit. Opened modally by command 149 of the
// orbit-determination view with its current elements.
#include <wx/dialog.h>
#include <wx/font.h>

#include "ephemeris/similar_orbits.h"

class wxListBox;
class wxTextCtrl;

class CFindOrbDlg : public wxDialog, public CFindOrb {
public:
  CFindOrbDlg(wxWindow* parent, const FindOrbElements& orbit);

  wxListBox* List() const { return m_pList; }
  wxTextCtrl* Header() const { return m_pHeader; }

  // The id of "検索(&F)".
  static constexpr int kSearchButtonId = 1001;

private:
  void OnSearchButton();

  wxFont m_font;
  wxTextCtrl* m_pHeader = nullptr;
  wxListBox* m_pList = nullptr;
};

// Command 149 of the orbit-determination view; call before the application starts.
void RegisterFindOrbDialog();

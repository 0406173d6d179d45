#include "app/ephemeris_download.h"

#include <wx/dialog.h>

#include "data/ui/get_jpl_eph_dlg.h"

void RunPlanetaryDownloadDialog(wxWindow* parent)
{
  CGetJplEph dlg(parent);
  // In front of its parent and taking the keyboard, whatever the window
  // manager's rule for a window that maps while another one is active.
  dlg.Bind(wxEVT_SHOW, [&dlg](wxShowEvent& e) {
    if (e.IsShown())
      dlg.CallAfter([&dlg] { dlg.Raise(); });
    e.Skip();
  });
  dlg.ShowModal();
}

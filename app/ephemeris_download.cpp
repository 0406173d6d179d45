#include "app/ephemeris_download.h"

#include "data/ui/get_jpl_eph_dlg.h"

void RunPlanetaryDownloadDialog(wxWindow* parent)
{
  CGetJplEph dlg(parent);
  dlg.ShowModal();
}

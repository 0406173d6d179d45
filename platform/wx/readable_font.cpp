#include "platform/wx/readable_font.h"

#include <algorithm>

#include <wx/font.h>
#include <wx/gdicmn.h>

double DesktopSmallFontPoints()
{
  return wxSMALL_FONT->GetFractionalPointSize();
}

double ReadableFontPoints(double emPixels)
{
  const int ppi = wxGetDisplayPPI().y;
  const double points = emPixels * 72.0 / (ppi > 0 ? ppi : 96);
  return std::max(points, DesktopSmallFontPoints());
}

#pragma once
// The globe of the benchmarks: a client area of its own and the contents a
// propagation of 2008 TC3 with its clones writes (the Debian Earth texture,
// a 400-point approach path, 100 clone tracks, the orbit inset).
#include <wx/image.h>

#include "views/globe.h"

template <class Globe>
struct BenchGlobe : Globe {
  int w = 720, h = 600;
  bool HasWindow() const override { return true; }
  void ClientSize(int& cw, int& ch) const override { cw = w, ch = h; }
};

// The globe filled as a propagation fills it, with the texture decoded.
inline bool Fill(CGlobeDlg& g)
{
  static const bool bHandlers = (wxInitAllImageHandlers(), true);
  (void)bHandlers;
  wxImage image;
  if (!image.LoadFile("/usr/share/xplanet/images/earth.jpg"))
    return false;
  g.AdoptTexture(image.GetData(), image.GetWidth(), image.GetHeight(), false);
  g.SetSubSolar(1, 6, 140);
  g.SetApex(1, -10, 60);
  g.SetOrbitElements(2454746.5, 0.9, 0.31, 3.0, 3.2, 0.04);
  g.SetCaption("2008 TC3");
  g.SetSubCaption("地球衝突確率 100.00%  (100/100)");
  g.SetMarker(1, 21, 31, 255, "Impact\n2008/10/07 02:45 UTC");
  for (int i = 0; i < 400; ++i)
    g.AddTrackPoint(21 - 0.02 * (400 - i), 31 - 0.05 * (400 - i), 6478 + 100.0 * (400 - i),
                    2454746.615 - (400 - i) / 1440.0);
  for (int k = 0; k < 100; ++k) {
    GlobeCloneTrack t;
    t.m_nKind = k == 0 ? 2 : k % 3 == 0;
    t.m_bPlausible = k % 2;
    t.m_nPoints = 16;
    for (int i = 0; i < 16; ++i) {
      t.m_adMinutes[i] = (i - 15) * 4.0;
      t.m_adLat[i] = 21 + 0.03 * k - 0.2 * (15 - i);
      t.m_adLon[i] = 31 + 0.02 * k - 0.5 * (15 - i);
      t.m_adKm[i] = 6478 + 500.0 * (15 - i);
    }
    g.AddCloneTrack(t);
  }
  return true;
}


#pragma once
// The observer-location dialog "観測地の設定" (command 32805): a world map to
// click, zoom with the wheel and pan with the right button, and the three
// fields of latitude, longitude and time zone. The rules are in
// app/location_rules.
#include <string>

#include <wx/bitmap.h>
#include <wx/dialog.h>
#include <wx/image.h>

#include "app/location_rules.h"

class wxTextCtrl;

// The map's picture: the part of the texture in view scaled to the area
// (kept while the view stays), the graticule, the marker and the zoom label.
class LocationMapPainter {
public:
  // A texture that cannot be loaded leaves none (the map is dark blue).
  bool LoadTexture(const std::string& path);
  bool HasTexture() const { return m_texture.IsOk(); }
  wxBitmap Compose(int width, int height, const MapView& view, double lat, double lon);

private:
  void Rescale(int width, int height, const MapView& view);
  wxImage m_texture;
  wxBitmap m_scaled;
  int m_scaledWidth = 0;
  int m_scaledHeight = 0;
  MapView m_scaledView{-9999, -9999, -9999};
};

// "earth_texture.jpg" in the folder, else "heightmap.jpg"; "" when neither exists.
std::string LocationTexturePath(const std::string& exeDir);

class CLocationDlg : public wxDialog {
public:
  enum { IDC_MAP = 1446, IDC_LAT = 1447, IDC_LON = 1448, IDC_TZ = 1449 };
  explicit CLocationDlg(wxWindow* parent);

  // The map area in the map window's client coordinates.
  MapArea Area() const;
  const MapView& View() const { return m_view; }
  bool Dragging() const { return m_bDragging != 0; }
  wxWindow* MapWindow() const { return m_map; }

private:
  void FillEdits();
  void OnPaint();
  void OnLeftDown(wxMouseEvent& e);
  void OnWheel(wxMouseEvent& e);
  void OnRightDown(wxMouseEvent& e);
  void OnMotion(wxMouseEvent& e);
  void OnRightUp(wxMouseEvent& e);
  void EndDrag();
  void OnOK(wxCommandEvent& e);

  wxWindow* m_map = nullptr;
  wxTextCtrl* m_edits[3] = {};
  LocationMapPainter m_painter;
  double m_lat;
  double m_lon;
  double m_tz;
  MapView m_view;
  int m_bDragging = 0;
  wxPoint m_last;
};

// Command 32805; an open observing-season chart is recomputed after OK.
void RunLocationDialog(wxWindow* parent);

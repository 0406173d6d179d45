#pragma once
// The observer-location dialog without its window: the map's projection,
// zoom about the cursor, panning and its clamps, the graticule, the part of
// the texture in view, the time zone of a clicked place and OK's
// normalisation and settings writes.
#include <vector>

class CTessaruneApp;

struct MapArea {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  // Mouse and paint steps act only on an area wider and taller than 10 pixels.
  bool Usable() const { return width > 10 && height > 10; }
  bool Contains(int x, int y) const { return x >= left && y >= top && x < left + width && y < top + height; }
};

// The visible map spans 360/zoom by 180/zoom degrees about the centre.
struct MapView {
  double zoom = 1;
  double centreLon = 0;
  double centreLat = 0;
};

struct GeoPoint {
  double lon;
  double lat;
};
struct MapPoint {
  double x;
  double y;
};

MapPoint ToMap(const MapArea& area, const MapView& view, double lon, double lat);
GeoPoint FromMap(const MapArea& area, const MapView& view, double x, double y);

// Keeps the view inside the world (at zoom 1 always centred on 0, 0).
void ClampCentre(MapView& view);
// Doubles (positive delta) or halves the zoom within 1..8, keeping the map
// point under (x, y) there; false when the zoom did not change.
bool ZoomAbout(MapView& view, const MapArea& area, int x, int y, int wheelDelta);
// A right-button drag step of (dx, dy) pixels.
void PanBy(MapView& view, const MapArea& area, int dx, int dy);
// Panning starts only when zoomed in.
inline bool CanPan(const MapView& view) { return view.zoom > 1; }

// The nearest whole hour to lon/15, an exact half going up.
double ZoneOfLongitude(double lon);

// Graticule spacing (degrees) and the lines inside the world.
double GraticuleSpacing(double zoom);
std::vector<double> MeridianLongitudes(double spacing);
std::vector<double> ParallelLatitudes(double spacing);

// The part of a W x H equirectangular texture in view (pixels).
struct TextureRect {
  double x, y, w, h;
};
TextureRect TextureSourceRect(const MapView& view, int textureWidth, int textureHeight);

struct ObserverLocation {
  double lat;
  double lon;
  double tz;
};
// Latitude into -90..90, longitude by whole turns into -180..180, zone into -12..14.
ObserverLocation NormaliseLocation(ObserverLocation loc);
// Stores the location in the application and writes "OBSLAT", "OBSLON", "OBSTZ".
void StoreLocation(CTessaruneApp& app, const ObserverLocation& loc);

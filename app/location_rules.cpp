#include "app/location_rules.h"

#include <algorithm>
#include <cmath>

#include "platform/app_services.h"
#include "platform/numbers.h"

namespace {

constexpr double kMinZoom = 1;
constexpr double kMaxZoom = 8;

} // namespace

MapPoint ToMap(const MapArea& area, const MapView& view, double lon, double lat)
{
  const double spanLon = 360 / view.zoom, spanLat = 180 / view.zoom;
  return {area.left + (lon - (view.centreLon - 180 / view.zoom)) / spanLon * area.width,
          area.top + (90 / view.zoom + view.centreLat - lat) / spanLat * area.height};
}

GeoPoint FromMap(const MapArea& area, const MapView& view, double x, double y)
{
  const double spanLon = 360 / view.zoom, spanLat = 180 / view.zoom;
  return {view.centreLon - 180 / view.zoom + (x - area.left) / area.width * spanLon,
          90 / view.zoom + view.centreLat - (y - area.top) / area.height * spanLat};
}

void ClampCentre(MapView& view)
{
  const double lonLimit = 180 - 180 / view.zoom, latLimit = 90 - 90 / view.zoom;
  view.centreLon = std::clamp(view.centreLon, -lonLimit, lonLimit);
  view.centreLat = std::clamp(view.centreLat, -latLimit, latLimit);
}

bool ZoomAbout(MapView& view, const MapArea& area, int x, int y, int wheelDelta)
{
  const double old = view.zoom;
  const double zoom = std::clamp(wheelDelta > 0 ? old * 2 : old / 2, kMinZoom, kMaxZoom);
  if (zoom == old)
    return false;
  const double g = static_cast<double>(x - area.left) / area.width;
  const double h = static_cast<double>(y - area.top) / area.height;
  view.centreLon = (view.centreLon - 180 / old + g * 360 / old) - (g - 0.5) * 360 / zoom;
  view.centreLat = (90 / old + view.centreLat - h * 180 / old) + (h - 0.5) * 180 / zoom;
  view.zoom = zoom;
  ClampCentre(view);
  return true;
}

void PanBy(MapView& view, const MapArea& area, int dx, int dy)
{
  view.centreLon -= static_cast<double>(dx) / area.width * 360 / view.zoom;
  view.centreLat += static_cast<double>(dy) / area.height * 180 / view.zoom;
  ClampCentre(view);
}

double ZoneOfLongitude(double lon)
{
  return std::floor(lon / 15 + 0.5);
}

double GraticuleSpacing(double zoom)
{
  if (zoom >= 8)
    return 5;
  if (zoom >= 4)
    return 10;
  if (zoom >= 2)
    return 15;
  return 30;
}

std::vector<double> MeridianLongitudes(double spacing)
{
  std::vector<double> lines;
  for (int i = 0; -180 + i * spacing <= 180; ++i)
    lines.push_back(-180 + i * spacing);
  return lines;
}

std::vector<double> ParallelLatitudes(double spacing)
{
  std::vector<double> lines;
  for (int i = 1; i * spacing - 90 <= 90 - spacing / 2; ++i)
    lines.push_back(i * spacing - 90);
  return lines;
}

TextureRect TextureSourceRect(const MapView& view, int textureWidth, int textureHeight)
{
  return {(view.centreLon - 180 / view.zoom + 180) / 360 * textureWidth,
          (90 - (90 / view.zoom + view.centreLat)) / 180 * textureHeight, textureWidth / view.zoom,
          textureHeight / view.zoom};
}

ObserverLocation NormaliseLocation(ObserverLocation loc)
{
  loc.lat = std::clamp(loc.lat, -90.0, 90.0);
  // Whole turns at once: a huge typed value must not loop for ever.
  if (loc.lon > 180)
    loc.lon -= 360 * std::ceil((loc.lon - 180) / 360);
  else if (loc.lon < -180)
    loc.lon += 360 * std::ceil((-180 - loc.lon) / 360);
  loc.tz = std::clamp(loc.tz, -12.0, 14.0);
  if (!std::isfinite(loc.lat) || !std::isfinite(loc.lon) || !std::isfinite(loc.tz))
    loc = {std::isfinite(loc.lat) ? loc.lat : 0, std::isfinite(loc.lon) ? loc.lon : 0,
           std::isfinite(loc.tz) ? loc.tz : 0};
  return loc;
}

void StoreLocation(CTessaruneApp& app, const ObserverLocation& loc)
{
  app.m_dObsLat = loc.lat;
  app.m_dObsLon = loc.lon;
  app.m_dObsTz = loc.tz;
  app.WriteProfileString(kSettingsSection, "OBSLAT", FormatC("%.4f", loc.lat).c_str());
  app.WriteProfileString(kSettingsSection, "OBSLON", FormatC("%.4f", loc.lon).c_str());
  app.WriteProfileString(kSettingsSection, "OBSTZ", FormatC("%.2f", loc.tz).c_str());
}

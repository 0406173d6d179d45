#include "app/window_positions.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>

#include "platform/app_services.h"
#include "platform/numbers.h"

namespace {

constexpr int kUnsetCorner = -30000;

} // namespace

PixelRect Intersect(const PixelRect& a, const PixelRect& b)
{
  const int left = std::max(a.x, b.x);
  const int top = std::max(a.y, b.y);
  const int right = std::min(a.x + a.w, b.x + b.w);
  const int bottom = std::min(a.y + a.h, b.y + b.h);
  if (right <= left || bottom <= top)
    return {left, top, 0, 0};
  return {left, top, right - left, bottom - top};
}

std::optional<PixelRect> StoredMainWindowRect(const CTessaruneApp& app, const PixelRect& virtualScreen)
{
  const PixelRect r{app.GetProfileInt(kSettingsSection, "MAINWND_X", kUnsetCorner),
                    app.GetProfileInt(kSettingsSection, "MAINWND_Y", kUnsetCorner),
                    app.GetProfileInt(kSettingsSection, "MAINWND_W", 0),
                    app.GetProfileInt(kSettingsSection, "MAINWND_H", 0)};
  if (r.w < 320 || r.h < 240 || r.x <= kUnsetCorner || r.y <= kUnsetCorner)
    return std::nullopt;
  const PixelRect seen = Intersect(r, virtualScreen);
  if (seen.w < 120 || seen.h < 60)
    return std::nullopt;
  return r;
}

bool StoredMainWindowMaximised(const CTessaruneApp& app)
{
  return app.GetProfileInt(kSettingsSection, "MAINWND_MAX", 0) != 0;
}

void WriteMainWindowPlacement(CTessaruneApp& app, const PixelRect& normal, bool maximised)
{
  app.WriteProfileInt(kSettingsSection, "MAINWND_X", normal.x);
  app.WriteProfileInt(kSettingsSection, "MAINWND_Y", normal.y);
  app.WriteProfileInt(kSettingsSection, "MAINWND_W", normal.w);
  app.WriteProfileInt(kSettingsSection, "MAINWND_H", normal.h);
  app.WriteProfileInt(kSettingsSection, "MAINWND_MAX", maximised ? 1 : 0);
}

PixelRect StoredToolWindowCorner(const CTessaruneApp& app, const char* keyPrefix, const PixelRect& virtualScreen,
                                 int defX, int defY)
{
  const std::string prefix = keyPrefix;
  const std::string xs = app.GetProfileString(kSettingsSection, prefix + "_X", "");
  const std::string ys = app.GetProfileString(kSettingsSection, prefix + "_Y", "");
  if (!xs.empty() && !ys.empty()) {
    const int x = std::atoi(xs.c_str());
    const int y = std::atoi(ys.c_str());
    if (x >= virtualScreen.x && x <= virtualScreen.x + virtualScreen.w - 50 && y >= virtualScreen.y &&
        y <= virtualScreen.y + virtualScreen.h - 50)
      return {x, y, 0, 0};
  }
  return {defX, defY, 0, 0};
}

namespace {

std::map<std::string, ToolPlaceSource>& PlaceSources()
{
  static std::map<std::string, ToolPlaceSource> sources;
  return sources;
}

} // namespace

void SetToolWindowPlaceSource(const std::string& keyPrefix, ToolPlaceSource source)
{
  if (source)
    PlaceSources()[keyPrefix] = std::move(source);
  else
    PlaceSources().erase(keyPrefix);
}

void WriteToolWindowPlaces(CTessaruneApp& app)
{
  for (const auto& [prefix, source] : PlaceSources()) {
    int x = 0, y = 0;
    if (source(x, y))
      WriteToolWindowPosition(app, prefix.c_str(), x, y);
  }
}

void WriteToolWindowPosition(CTessaruneApp& app, const char* keyPrefix, int x, int y)
{
  const std::string prefix = keyPrefix;
  app.WriteProfileString(kSettingsSection, prefix + "_X", FormatC("%d", x).c_str());
  app.WriteProfileString(kSettingsSection, prefix + "_Y", FormatC("%d", y).c_str());
}

void ResetStoredWindowPositions(CTessaruneApp& app)
{
  static constexpr const char* kKeys[] = {
      "MAINWND_X",         "MAINWND_Y",         "MAINWND_W",         "MAINWND_H",   "MAINWND_MAX",
      "GLOBEDLG_X",        "GLOBEDLG_Y",        "ORBITVIEW_X",       "ORBITVIEW_Y", "MAGCURVE_X",
      "MAGCURVE_Y",        "VISIBILITYCHART_X", "VISIBILITYCHART_Y", "VISIBILITYCHART_W",
      "VISIBILITYCHART_H", "OBSSPLIT",
  };
  for (const char* key : kKeys)
    app.WriteProfileString(kSettingsSection, key, nullptr);
  for (int i = 0; i < 16; ++i)
    app.WriteProfileString(kSettingsSection, FormatC("OBSCOL%d", i), nullptr);
}

PixelRect CentredFourFifths(const PixelRect& workArea)
{
  const int w = workArea.w * 4 / 5;
  const int h = workArea.h * 4 / 5;
  return {workArea.x + (workArea.w - w) / 2, workArea.y + (workArea.h - h) / 2, w, h};
}

PixelRect GrowWithinWorkArea(const PixelRect& window, int growW, int growH, const PixelRect& workArea)
{
  PixelRect r = window;
  r.w = std::min(window.w + std::max(growW, 0), workArea.w);
  r.h = std::min(window.h + std::max(growH, 0), workArea.h);
  r.x = std::clamp(window.x, workArea.x, workArea.x + workArea.w - r.w);
  r.y = std::clamp(window.y, workArea.y, workArea.y + workArea.h - r.h);
  return r;
}

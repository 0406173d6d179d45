#include "views/globe.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "app/registry/window_registry.h"
#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/time_scales.h"
#include "platform/app_services.h"
#include "platform/text_util.h"

namespace {

constexpr double kWheelStep = 1.15;

const GlobeBody kUnknownBody = {"Unknown", "?", "", "?", kEarthEquatorialRadiusKm, 360.9854903887613};

bool FileExists(const std::string& path)
{
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f)
    return false;
  std::fclose(f);
  return true;
}

double ClampLat(double lat)
{
  return std::clamp(lat, -89.0, 89.0);
}

} // namespace

const GlobeBody g_aGlobeBodies[10] = {
    {"Mercury", "水星", "mercury", "水星儀", 2439.7, 6.1385108},
    {"Venus", "金星", "venus", "金星儀", 6051.8, -1.4813688},
    {"Earth", "地球", "earth", "地球儀", kEarthEquatorialRadiusKm, 360.9854903887613},
    {"Mars", "火星", "mars", "火星儀", 3396.2, 350.891982443297},
    {"Jupiter", "木星", "jupiter", "木星儀", 71492, 870.536},
    {"Saturn", "土星", "saturn", "土星儀", 60268, 810.7939024},
    {"Uranus", "天王星", "uranus", "天王星儀", 25559, -501.1600928},
    {"Neptune", "海王星", "neptune", "海王星儀", 24764, 541.1397757},
    {"Pluto", "冥王星", "pluto", "冥王星儀", 1188.3, 56.3625225},
    {"Moon", "月", "moon", "月球儀", 1737.4, 13.17635815},
};

const GlobeBody& GlobeBodyOf(int index)
{
  return index >= 0 && index <= 9 ? g_aGlobeBodies[index] : kUnknownBody;
}

double WrapLongitude(double lonDeg)
{
  return std::fmod(std::fmod(lonDeg + 180.0, 360.0) + 360.0, 360.0) - 180.0;
}

double DefaultPathHours(int index)
{
  const GlobeBody& body = GlobeBodyOf(index);
  const double R = body.radiusKm > 0 ? body.radiusKm : kEarthEquatorialRadiusKm;
  const double w = std::fabs(body.rotationDegPerDay);
  const double base = std::max(24.0, 24.0 * R / kEarthEquatorialRadiusKm);
  if (w <= 0)
    return base;
  const double q = 2160.0 / w;  // hours the body takes to turn by 90 degrees
  const double g = std::pow(10.0, std::floor(std::log10(q)) - 1);
  return std::min(base, std::floor(q / g + 0.5) * g);
}

double MaxPathHours(int index)
{
  const double R = GlobeBodyOf(index).radiusKm;
  return std::max(96.0, 4 * std::max(24.0, 24.0 * R / kEarthEquatorialRadiusKm));
}

void FormatUtcMinute(double jdTT, std::string& out)
{
  double year = 0, month = 0, day = 0;
  JdToCalendar(DeltaT(kDeltaTTtToUt, jdTT), year, month, day);
  const double whole = std::floor(day), fraction = day - whole;
  day = whole;
  double hour = std::floor(fraction * 24);
  double minute = (fraction - hour / 24) * 1440;
  CarryDateTime(year, month, day, hour, minute);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d/%02d/%02d %02d:%02d UTC", int(year), int(month), int(day), int(hour),
                int(minute));
  out = buf;
}

CGlobeDlg::CGlobeDlg()
{
  m_dPathHours = DefaultPathHours(m_nBody);
  OpenWindows().m_pGlobeDlg = this;
}

CGlobeDlg::~CGlobeDlg()
{
  if (OpenWindows().m_pGlobeDlg == this)
    OpenWindows().m_pGlobeDlg = nullptr;
}

// ---- setters ----

void CGlobeDlg::SetBody(int index)
{
  if (index < 0 || index > 9 || index == m_nBody)
    return;
  m_nBody = index;
  m_dBodyRadiusKm = g_aGlobeBodies[index].radiusKm;
  m_dPathHours = DefaultPathHours(index);
  LoadTexture();
  if (HasWindow()) {
    SetTitleText(g_aGlobeBodies[index].title);
    Redraw();
  }
}

void CGlobeDlg::AddTrackPoint(double latDeg, double lonDeg, double km, double jd)
{
  if (m_nPathCount >= int(m_pPathJd.size())) {
    const size_t grown = m_pPathJd.empty() ? 64 : 2 * m_pPathJd.size();
    try {
      for (std::vector<double>* v : {&m_pPathLat, &m_pPathLon, &m_pPathKm, &m_pPathJd})
        v->resize(grown);
    } catch (const std::bad_alloc&) {
      return;  // the stored points stay as they were
    }
  }
  int i = m_nPathCount;
  while (i > 0 && m_pPathJd[i - 1] > jd) {
    m_pPathLat[i] = m_pPathLat[i - 1];
    m_pPathLon[i] = m_pPathLon[i - 1];
    m_pPathKm[i] = m_pPathKm[i - 1];
    m_pPathJd[i] = m_pPathJd[i - 1];
    --i;
  }
  m_pPathLat[i] = latDeg;
  m_pPathLon[i] = lonDeg;
  m_pPathKm[i] = km;
  m_pPathJd[i] = jd;
  ++m_nPathCount;
  Redraw();
}

void CGlobeDlg::SetOrbitElements(double T, double q, double e, double peri, double node, double incl)
{
  m_dOrbitT = T, m_dOrbitQ = q, m_dOrbitE = e, m_dOrbitPeri = peri, m_dOrbitNode = node, m_dOrbitIncl = incl;
  m_bOrbit = q > 0;
  Redraw();
}

void CGlobeDlg::ClearCloneTracks()
{
  m_nCloneNearCount = 0;
  m_nCloneTrackCount = 0;
  Redraw();
}

void CGlobeDlg::SetCaption(const std::string& text)
{
  m_strCaption = std::string(TrimSpace(text));
  Redraw();
}

void CGlobeDlg::SetSubCaption(const std::string& text)
{
  m_strInfo = text;
  Redraw();
}

void CGlobeDlg::ResetContents()
{
  m_bMarker = 0;
  m_nPathCount = 0;
  m_nCloneHitCount = m_nCloneNearCount = m_nCloneTrackCount = 0;
  m_bSubSolar = m_bApex = m_bSubEarth = 0;
  m_strCaption.clear();
  m_strInfo.clear();
  m_dOrbitT = m_dOrbitQ = m_dOrbitE = m_dOrbitPeri = m_dOrbitNode = m_dOrbitIncl = 0;
  m_bOrbit = 0;
  Redraw();
}

void CGlobeDlg::ClearPath()
{
  m_nPathCount = 0;
  Redraw();
}

void CGlobeDlg::SetMarker(int bOn, double latDeg, double lonDeg, uint32_t colour, const std::string& text)
{
  m_dMarkerLat = latDeg, m_dMarkerLon = lonDeg, m_crMarker = colour, m_strMarker = text;
  m_bMarker = bOn;
  Redraw();
}

void CGlobeDlg::SetSubSolar(int bOn, double latDeg, double lonDeg)
{
  m_dSubSolarLat = latDeg, m_dSubSolarLon = lonDeg;
  m_bSubSolar = bOn;
  Redraw();
}

void CGlobeDlg::SetApex(int bOn, double latDeg, double lonDeg)
{
  m_dApexLat = latDeg, m_dApexLon = lonDeg;
  m_bApex = bOn;
  Redraw();
}

void CGlobeDlg::SetSubEarth(int bOn, double latDeg, double lonDeg)
{
  m_dSubEarthLat = latDeg, m_dSubEarthLon = lonDeg;
  m_bSubEarth = bOn;
  Redraw();
}

namespace {

// Appends one entry to parallel arrays of one group, growing them together
// from `first` entries by doubling; false (nothing changed) when they cannot grow.
template <typename... V>
bool GrowFor(int count, size_t first, V&... arrays)
{
  const size_t have = std::min({arrays.size()...});
  if (size_t(count) < have)
    return true;
  try {
    const size_t grown = have == 0 ? first : 2 * have;
    (arrays.resize(grown), ...);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

} // namespace

void CGlobeDlg::AddCloneImpact(double latDeg, double lonDeg)
{
  if (!GrowFor(m_nCloneHitCount, 256, m_pCloneHitLat, m_pCloneHitLon))
    return;
  m_pCloneHitLat[m_nCloneHitCount] = latDeg;
  m_pCloneHitLon[m_nCloneHitCount] = lonDeg;
  ++m_nCloneHitCount;
  Redraw();
}

void CGlobeDlg::ClearCloneImpacts()
{
  m_nCloneHitCount = 0;
  Redraw();
}

void CGlobeDlg::AddCloneClosest(double latDeg, double lonDeg, double km)
{
  if (!GrowFor(m_nCloneNearCount, 256, m_pCloneNearLat, m_pCloneNearLon, m_pCloneNearKm))
    return;
  m_pCloneNearLat[m_nCloneNearCount] = latDeg;
  m_pCloneNearLon[m_nCloneNearCount] = lonDeg;
  m_pCloneNearKm[m_nCloneNearCount] = km;
  ++m_nCloneNearCount;
  Redraw();
}

void CGlobeDlg::AddCloneTrack(const GlobeCloneTrack& track)
{
  if (!GrowFor(m_nCloneTrackCount, 64, m_pCloneTracks))
    return;
  GlobeCloneTrack& t = m_pCloneTracks[m_nCloneTrackCount];
  t = track;
  t.m_nPoints = std::clamp(t.m_nPoints, 0, GlobeCloneTrack::kMaxPoints);
  ++m_nCloneTrackCount;
  Redraw();
}

// ---- texture ----

void CGlobeDlg::LoadTexture()
{
  const std::string& dir = TheApp().m_szExeDir;
  std::string path;
  bool bHeightMap = false;
  if (m_nBody == 2) {
    path = dir + "earth_texture.jpg";
    if (!FileExists(path)) {
      path = dir + "heightmap.jpg";
      bHeightMap = true;
    }
  } else {
    path = dir + GlobeBodyOf(m_nBody).stem + "_texture.jpg";
  }
  m_bTexture = 0;
  m_texture = GlobeTexture();
  int w = 0, h = 0;
  // The header's size decides before anything is decoded: a huge file draws plain.
  if (!FileExists(path) || !ReadImageFileSize(path, w, h) || !TextureSizeAcceptable(w, h))
    return;
  std::vector<unsigned char> rgb;
  try {
    if (!DecodeImage(path, rgb, w, h) || w <= 0 || h <= 0 || rgb.size() < size_t(w) * h * 3)
      return;
    AdoptTexture(rgb.data(), w, h, bHeightMap);
  } catch (const std::bad_alloc&) {
    m_texture = GlobeTexture();
    m_bTexture = 0;
  }
}

void CGlobeDlg::AdoptTexture(const unsigned char* rgb, int width, int height, bool bHeightMapFile)
{
  BuildTexture(rgb, width, height, m_texture);
  m_texture.m_bTexColour = bHeightMapFile ? IsColourImage(rgb, width, height) : 1;
  m_bTexture = !m_texture.Empty();
}

// ---- projection ----

int CGlobeDlg::Project(double latDeg, double lonDeg, double radiusFactor, int width, int height, float& x,
                       float& y) const
{
  const double cx = width / 2.0 + m_dPanX, cy = height / 2.0 + m_dPanY;
  const double s = std::min(width, height) * m_dDiscScale;
  const double phi = latDeg * kRadPerDeg, phi0 = m_dViewLat * kRadPerDeg, dl = (lonDeg - m_dViewLon) * kRadPerDeg;
  int visible = std::cos(phi0) * std::cos(phi) * std::cos(dl) + std::sin(phi0) * std::sin(phi) >= 0;
  double yp = (std::cos(phi0) * std::sin(phi) - std::sin(phi0) * std::cos(phi) * std::cos(dl)) * radiusFactor;
  double xp = std::cos(phi) * std::sin(dl) * radiusFactor;
  if (!visible)
    visible = std::sqrt(xp * xp + yp * yp) > 1;
  if (m_dRoll != 0) {
    const double r = m_dRoll * kRadPerDeg;
    const double xr = xp * std::cos(r) - yp * std::sin(r), yr = xp * std::sin(r) + yp * std::cos(r);
    xp = xr, yp = yr;
  }
  x = float(xp * s + cx);
  y = float(cy - yp * s);
  return visible;
}

bool CGlobeDlg::Unproject(double px, double py, int width, int height, double& latDeg, double& lonDeg) const
{
  const double cx = width / 2.0 + m_dPanX, cy = height / 2.0 + m_dPanY;
  const double s = std::min(width, height) * m_dDiscScale;
  if (s <= 0)
    return false;
  const double u = (px - cx) / s, v = (cy - py) / s, r = m_dRoll * kRadPerDeg;
  const double X = u * std::cos(r) + v * std::sin(r), Y = v * std::cos(r) - u * std::sin(r);
  const double rho = std::sqrt(X * X + Y * Y);
  if (rho > 1)
    return false;
  if (rho < 0.000000001) {
    latDeg = m_dViewLat, lonDeg = m_dViewLon;
    return true;
  }
  const double c = std::asin(std::min(1.0, rho)), phi0 = m_dViewLat * kRadPerDeg;
  latDeg = std::asin(std::clamp(std::cos(c) * std::sin(phi0) + Y * std::sin(c) * std::cos(phi0) / rho, -1.0, 1.0)) /
           kRadPerDeg;
  lonDeg = m_dViewLon + std::atan2(X * std::sin(c), rho * std::cos(phi0) * std::cos(c) -
                                                        Y * std::sin(phi0) * std::sin(c)) / kRadPerDeg;
  return true;
}

GlobePoint CGlobeDlg::ClipToLimb(GlobePoint p, GlobePoint q, int width, int height) const
{
  const double cx = width / 2.0 + m_dPanX, cy = height / 2.0 + m_dPanY;
  const double s = std::min(width, height) * m_dDiscScale;
  const double dx = double(q.x) - p.x, dy = double(q.y) - p.y;
  const double a = dx * dx + dy * dy;
  if (a <= 0.000000001)
    return q;
  const double px = p.x - cx, py = p.y - cy;
  const double b = 2 * (px * dx + py * dy), c = px * px + py * py - s * s;
  const double disc = b * b - 4 * a * c;
  if (disc < 0)
    return q;
  const double t = std::clamp((-b - std::sqrt(disc)) / (2 * a), 0.0, 1.0);
  return {float(p.x + t * dx), float(p.y + t * dy)};
}

int CGlobeDlg::GetPictureHeight() const
{
  int w = 0, h = 0;
  ClientSize(w, h);
  return std::max(40, std::min(h, ButtonsTop()));
}

int CGlobeDlg::GetPictureBottom(int targetHeight) const
{
  int w = 0, h = 0;
  ClientSize(w, h);
  // Without a window the picture has no buttons below it.
  int limit = h > 0 ? GetPictureHeight() : std::max(40, targetHeight);
  if (h > 0 && h != targetHeight)
    limit = targetHeight * limit / h;
  return std::max(40, limit - 6);
}

int CGlobeDlg::GetInsetRect(int width, int height, SceneRect& r)
{
  if (!m_bOrbit || m_dOrbitQ <= 0)
    return 0;
  const int c = std::min(170, std::min(width, height) / 3);
  if (c < 90)
    return 0;
  const double x0 = width - c - 8;
  const double x = std::clamp(x0 + m_dInsetDx, 0.0, std::max(0.0, double(width - c)));
  const double y = std::clamp(8 + m_dInsetDy, 0.0, std::max(0.0, double(GetPictureBottom(height) - c)));
  m_dInsetDx = x - x0;
  m_dInsetDy = y - 8;
  r = {float(x), float(y), float(c), float(c)};
  return 1;
}

// ---- mouse ----

bool CGlobeDlg::OverInset(int x, int y)
{
  int w = 0, h = 0;
  ClientSize(w, h);
  SceneRect r;
  return GetInsetRect(w, h, r) && r.Contains(float(x), float(y));
}

void CGlobeDlg::OnLButtonDown(int x, int y)
{
  if (OverInset(x, y)) {
    m_bDragInset = 1;
    m_bInsetMoved = 0;
  } else {
    m_bDragRotate = 1;
  }
  m_ptLast[0] = x, m_ptLast[1] = y;
}

void CGlobeDlg::OnRButtonDown(int x, int y)
{
  m_bDragPan = 1;
  m_ptLast[0] = x, m_ptLast[1] = y;
}

void CGlobeDlg::OnMouseMove(int x, int y)
{
  if (!m_bDragInset && !m_bDragPan && !m_bDragRotate)
    return;
  const int dx = x - m_ptLast[0], dy = y - m_ptLast[1];
  m_ptLast[0] = x, m_ptLast[1] = y;
  if (m_bDragInset) {
    if (dx || dy)
      m_bInsetMoved = 1;
    m_dInsetDx += dx;
    m_dInsetDy += dy;
    int w = 0, h = 0;
    ClientSize(w, h);
    SceneRect r;
    GetInsetRect(w, h, r);
  } else if (m_bDragPan) {
    m_dPanX += dx;
    m_dPanY += dy;
  } else {
    const double k = 0.25 / m_dDiscScale * 0.45;
    m_dViewLat = ClampLat(m_dViewLat + dy * k);
    m_dViewLon = WrapLongitude(m_dViewLon - dx * k);
  }
  Redraw();
}

void CGlobeDlg::OnButtonUp()
{
  m_bDragRotate = m_bDragPan = m_bDragInset = 0;
}

void CGlobeDlg::OnMouseWheel(int notch, int x, int y)
{
  int w = 0, h = 0;
  ClientSize(w, h);
  double lat1 = 0, lon1 = 0;
  const bool bOn = Unproject(x, y, w, h, lat1, lon1);
  m_dDiscScale = std::clamp(notch >= 1 ? m_dDiscScale * kWheelStep : m_dDiscScale / kWheelStep, 0.01, 25.0);
  double lat2 = 0, lon2 = 0;
  if (bOn && Unproject(x, y, w, h, lat2, lon2)) {
    m_dViewLat = ClampLat(m_dViewLat + lat1 - lat2);
    m_dViewLon = WrapLongitude(m_dViewLon + lon1 - lon2);
  }
  Redraw();
}

void CGlobeDlg::OnLButtonDblClk(int x, int y)
{
  if (OverInset(x, y)) {
    if (m_bInsetMoved) {
      OnLButtonDown(x, y);
    } else {
      m_dInsetDx = m_dInsetDy = 0;
    }
  } else {
    m_dPanX = m_dPanY = m_dRoll = 0;
  }
  Redraw();
}

// ---- buttons ----

bool CGlobeDlg::ImpactTarget(double& latDeg, double& lonDeg) const
{
  if (m_bMarker) {
    latDeg = m_dMarkerLat, lonDeg = m_dMarkerLon;
    return true;
  }
  if (m_nCloneHitCount <= 0)
    return false;
  double v[3] = {0, 0, 0};
  for (int i = 0; i < m_nCloneHitCount; ++i) {
    const double phi = m_pCloneHitLat[i] * kRadPerDeg, lam = m_pCloneHitLon[i] * kRadPerDeg;
    v[0] += std::cos(phi) * std::cos(lam);
    v[1] += std::cos(phi) * std::sin(lam);
    v[2] += std::sin(phi);
  }
  const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (len <= 0.000000001)
    return false;
  latDeg = std::asin(v[2] / len) / kRadPerDeg;
  lonDeg = std::atan2(v[1], v[0]) / kRadPerDeg;
  return true;
}

void CGlobeDlg::OnImpactPoint()
{
  double lat = 0, lon = 0;
  if (!ImpactTarget(lat, lon))
    return;
  m_dViewLat = ClampLat(lat);
  m_dViewLon = lon;
  m_dDiscScale = 4;
  m_dPanX = m_dPanY = m_dRoll = 0;
  Redraw();
}

void CGlobeDlg::LookUp(int side)
{
  double latT = 0, lonT = 0;
  if (!ImpactTarget(latT, lonT))
    return;
  const double phiT = latT * kRadPerDeg, lamT = lonT * kRadPerDeg;
  double beta = 0;
  if (m_nPathCount > 1) {
    int far = 0;
    for (int i = 1; i < m_nPathCount; ++i)
      if (m_pPathKm[i] > m_pPathKm[far])
        far = i;
    const double phiP = m_pPathLat[far] * kRadPerDeg, lamP = m_pPathLon[far] * kRadPerDeg;
    beta = std::atan2(std::sin(lamP - lamT) * std::cos(phiP),
                      std::cos(phiT) * std::sin(phiP) - std::sin(phiT) * std::cos(phiP) * std::cos(lamP - lamT));
  }
  const double bearing = beta + side * 90 * kRadPerDeg, arc = 88 * kRadPerDeg;
  const double phiC =
      std::asin(std::sin(phiT) * std::cos(arc) + std::cos(phiT) * std::sin(arc) * std::cos(bearing));
  const double lamC = lamT + std::atan2(std::sin(bearing) * std::sin(arc) * std::cos(phiT),
                                        std::cos(arc) - std::sin(phiC) * std::sin(phiT));
  m_dViewLat = ClampLat(phiC / kRadPerDeg);
  m_dViewLon = WrapLongitude(lamC / kRadPerDeg);
  const double pc = m_dViewLat * kRadPerDeg, d = lamT - m_dViewLon * kRadPerDeg;
  const double xT = std::sin(d) * std::cos(phiT);
  const double yT = std::cos(pc) * std::sin(phiT) - std::sin(pc) * std::cos(phiT) * std::cos(d);
  m_dRoll = xT == 0 && yT == 0 ? 0 : 90 - std::atan2(yT, xT) / kRadPerDeg;
  m_dDiscScale = 6;
  m_dPanX = m_dPanY = 0;
  int w = 0, h = 0;
  ClientSize(w, h);
  float x = 0, y = 0;
  Project(latT, lonT, 1, w, h, x, y);
  m_dPanX = w / 2.0 - x;
  m_dPanY = 0.62 * h - y;
  Redraw();
}

void CGlobeDlg::OnWholeView()
{
  m_dDiscScale = 0.45;
  m_dPanX = m_dPanY = m_dRoll = 0;
  Redraw();
}

void CGlobeDlg::OnZoomIn()
{
  m_dDiscScale = std::min(25.0, m_dDiscScale * 1.5);
  Redraw();
}

void CGlobeDlg::OnZoomOut()
{
  m_dDiscScale = std::max(0.01, m_dDiscScale / 1.5);
  Redraw();
}

void CGlobeDlg::OnRotateLeft()
{
  m_dRoll += 3;
  if (m_dRoll > 180)
    m_dRoll -= 360;
  Redraw();
}

void CGlobeDlg::OnRotateRight()
{
  m_dRoll -= 3;
  if (m_dRoll < -180)
    m_dRoll += 360;
  Redraw();
}

void CGlobeDlg::OnRangeDown()
{
  m_dPathHours = std::max(m_dPathHours / 2, std::min(0.75, DefaultPathHours(m_nBody) * 0.125));
  Redraw();
}

void CGlobeDlg::OnRangeUp()
{
  m_dPathHours = std::min(m_dPathHours * 2, MaxPathHours(m_nBody));
  Redraw();
}

// The globe's picture: the sphere, the graticule, the marks, the approach
// path with the moving object, the clone points and tracks, the texts, the
// impact marker and the orbit inset.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "astro/angle_units.h"
#include "astro/body_rotation.h"
#include "astro/frames.h"
#include "astro/jpl_eph.h"
#include "astro/two_body.h"
#include "views/globe.h"

namespace {

// The obliquity of the inset's ecliptic projection.
constexpr double kInsetObliquity = 0.4090928040284035;

ScenePoint Pt(double x, double y)
{
  return {float(x), float(y)};
}

std::string Format(const char* format, double a)
{
  char buf[128];
  std::snprintf(buf, sizeof buf, format, a);
  return buf;
}

// The same colour with another alpha.
uint32_t WithAlpha(uint32_t argb, unsigned alpha)
{
  return (argb & 0x00FFFFFFu) | (uint32_t(alpha & 0xFF) << 24);
}

// A filled arrowhead at tip, pointing along the unit vector (dx, dy).
void ArrowHead(ISceneCanvas& g, ScenePoint tip, double dx, double dy, double len, uint32_t argb)
{
  g.FillPolygon({tip, Pt(tip.x - len * (0.866 * dx - 0.5 * dy), tip.y - len * (0.5 * dx + 0.866 * dy)),
                 Pt(tip.x - len * (0.866 * dx + 0.5 * dy), tip.y - len * (0.866 * dy - 0.5 * dx))},
                argb);
}

// Draws runs of consecutive visible points as polylines (a single visible point draws nothing).
struct RunStroker {
  ISceneCanvas& g;
  ScenePen pen;
  std::vector<ScenePoint> run;
  void Add(bool visible, ScenePoint p) {
    if (visible) {
      run.push_back(p);
      return;
    }
    Flush();
  }
  void Flush() {
    if (run.size() >= 2)
      g.Polyline(run, pen);
    run.clear();
  }
};

} // namespace

double CGlobeDlg::GetAnimLonOffset() const
{
  double tc = 0;
  if (!m_bAnimating || !FindClosestPathPoint(tc))
    return 0;
  return (m_dAnimJd - tc) * -GlobeBodyOf(m_nBody).rotationDegPerDay;
}

GlobeRasterView CGlobeDlg::RasterView(int width, int height, double k) const
{
  GlobeRasterView v;
  v.width = std::max(1, int(width * k + 0.5));
  v.height = std::max(1, int(height * k + 0.5));
  const double kk = double(v.width) / width;
  v.cx = kk * m_dPanX + v.width / 2.0;
  v.cy = kk * m_dPanY + v.height / 2.0;
  v.radius = std::min(width, height) * m_dDiscScale * kk;
  v.rollRad = m_dRoll * kRadPerDeg;
  v.viewLatDeg = m_dViewLat;
  v.viewLonDeg = m_dViewLon;
  v.bSubSolar = m_bSubSolar;
  v.subSolarLatDeg = m_dSubSolarLat;
  v.subSolarLonDeg = m_dSubSolarLon + GetAnimLonOffset();
  v.bEarth = m_nBody == 2;
  return v;
}

void CGlobeDlg::DrawGlobe(ISceneCanvas& g, int W, int H)
{
  if (W <= 0 || H <= 0)
    return;
  g.FillPolygon({Pt(0, 0), Pt(W, 0), Pt(W, H), Pt(0, H)}, 0xFF000000);

  double k = g.WorldScale();
  if (!(k > 0))
    k = 1;
  const GlobeRasterView view = RasterView(W, H, k);
  m_raster.resize(size_t(view.width) * view.height);
  RenderGlobeRaster(view, m_bTexture ? &m_texture : nullptr, m_raster.data(), m_nRasterThreads);
  g.Raster(m_raster.data(), view.width, view.height, {0, 0, float(W), float(H)});

  const ScenePen grid{0x3CFFFFFF, 1.0f};
  for (int lat = -60; lat <= 60; lat += 30)
    DrawParallel(g, grid, W, H, lat);
  DrawParallel(g, {0x5AFFF0B4, 1.2f}, W, H, 0);
  for (int lon = -180; lon < 180; lon += 30) {
    RunStroker meridian{g, grid, {}};
    for (int lat = -90; lat <= 90; lat += 3) {
      float x = 0, y = 0;
      const bool bVisible = Project(lat, lon, 1, W, H, x, y);
      meridian.Add(bVisible, {x, y});
    }
    meridian.Flush();
  }

  const double cx = W / 2.0 + m_dPanX, cy = H / 2.0 + m_dPanY, s = std::min(W, H) * m_dDiscScale;
  g.StrokeCircle(Pt(cx, cy), float(2 * s), {0x78B4C8FF, 1.0f});

  const double offset = GetAnimLonOffset();
  if (m_bSubSolar)
    DrawSubPointMark(g, W, H, m_dSubSolarLat, m_dSubSolarLon + offset, 0xFFFF4646, "太陽");
  if (m_bSubEarth && m_nBody != 2)
    DrawSubPointMark(g, W, H, m_dSubEarthLat, m_dSubEarthLon + offset, 0xFF5A96FF, "地球");

  m_bIconDrawn = 0;
  DrawApproachPath(g, W, H);
  DrawClonePoints(g, W, H);
  DrawCloneTracks(g, W, H);
  for (int i = 0; i < m_nCloneHitCount; ++i) {
    float x = 0, y = 0;
    if (Project(m_pCloneHitLat[i], m_pCloneHitLon[i], 1, W, H, x, y))
      g.FillCircle({x, y}, 4.4f, 0x96FF5A00);
  }

  if (!m_strCaption.empty())
    g.OutlinedText(m_strCaption, Pt(8, 8), 12, true, 0xFFFF7878);
  if (!m_strInfo.empty())
    g.OutlinedText(m_strInfo, Pt(8, m_strCaption.empty() ? 8 : 32), 12, true, 0xFFFFC83C);
  if (m_bApex)
    DrawMotionDirection(g, W, H);
  if (m_bMarker)
    DrawMarker(g, W, H);
  DrawOrbitInset(g, W, H);
}

void CGlobeDlg::DrawParallel(ISceneCanvas& g, const ScenePen& pen, int W, int H, double latDeg)
{
  RunStroker parallel{g, pen, {}};
  for (int lon = -180; lon <= 180; lon += 3) {
    float x = 0, y = 0;
    const bool bVisible = Project(latDeg, lon, 1, W, H, x, y);
    parallel.Add(bVisible, {x, y});
  }
  parallel.Flush();
}

void CGlobeDlg::DrawSubPointMark(ISceneCanvas& g, int W, int H, double latDeg, double lonDeg, uint32_t argb,
                                 const std::string& label)
{
  float x1 = 0, y1 = 0, x0 = 0, y0 = 0;
  const bool bOut = Project(latDeg, lonDeg, 1.6, W, H, x1, y1);
  Project(latDeg, lonDeg, 1.0, W, H, x0, y0);
  const ScenePoint centre = Pt(W / 2.0 + m_dPanX, H / 2.0 + m_dPanY);
  ScenePen dotted{argb, 1.5f};
  dotted.dotted = true;
  if (bOut) {
    g.Line(centre, {x0, y0}, dotted);
    g.Line({x0, y0}, {x1, y1}, {argb, 2.0f});
    g.OutlinedText(label, Pt(x1 + 4, y1 - 6), 9, true, argb);
    return;
  }
  const uint32_t faint = WithAlpha(argb, 120);
  dotted.argb = faint;
  g.Line(centre, {x1, y1}, dotted);
  g.OutlinedText(label, Pt(x1 + 4, y1 - 6), 9, true, faint);
}

void CGlobeDlg::DrawClonePoints(ISceneCanvas& g, int W, int H)
{
  for (int i = 0; i < m_nCloneNearCount; ++i) {
    float x = 0, y = 0;
    if (Project(m_pCloneNearLat[i], m_pCloneNearLon[i], std::max(1.0, m_pCloneNearKm[i] / m_dBodyRadiusKm), W, H,
                x, y))
      g.FillCircle({x, y}, 4.4f, 0xC8AAFF50);
  }
}

void CGlobeDlg::DrawCloneTracks(ISceneCanvas& g, int W, int H)
{
  const auto passOf = [](const GlobeCloneTrack& t) {
    if (t.m_nKind == 2)
      return 3;
    if (!t.m_bPlausible)
      return 0;
    return t.m_nKind == 1 ? 2 : 1;
  };
  for (int pass = 0; pass < 4; ++pass)
    for (int n = 0; n < m_nCloneTrackCount; ++n) {
      const GlobeCloneTrack& t = m_pCloneTracks[n];
      const int count = std::clamp(t.m_nPoints, 0, GlobeCloneTrack::kMaxPoints);
      if (count == 0 || passOf(t) != pass)
        continue;
      std::vector<ScenePoint> pts(count);
      std::vector<char> visible(count);
      for (int i = 0; i < count; ++i)
        visible[i] = char(Project(t.m_adLat[i], t.m_adLon[i], std::max(1.0, t.m_adKm[i] / m_dBodyRadiusKm), W, H,
                                  pts[i].x, pts[i].y));
      if (t.m_nKind == 2) {
        for (int i = 0; i < count; ++i)
          if (visible[i]) {
            g.FillCircle(pts[i], 7, 0xFFFF2828);
            g.StrokeCircle(pts[i], 7, {0xFF000000, 1.2f});
          }
        continue;
      }
      const bool bHit = t.m_nKind == 1, bStrong = t.m_bPlausible != 0;
      const uint32_t rgb = bHit ? 0xFF5A00u : 0xAAFF50u;
      const float width = bHit ? 1.6f : 1.0f, dotRadius = bHit ? 2.6f : 2.2f;
      const int lineAlpha = bStrong ? (bHit ? 230 : 200) : 55;
      const int dotAlpha = bStrong ? (bHit ? 240 : 220) : 70;
      const double t0 = t.m_adMinutes[0], span = t.m_adMinutes[count - 1] - t0;
      for (int i = 1; i < count; ++i) {
        if (!visible[i - 1] || !visible[i])
          continue;
        const double along = span <= 0 ? 1 : ((t.m_adMinutes[i - 1] + t.m_adMinutes[i]) / 2 - t0) / span;
        g.Line(pts[i - 1], pts[i], {WithAlpha(rgb, unsigned(int((0.75 * along + 0.25) * lineAlpha))), width});
      }
      for (int i = 0; i < count; ++i)
        if (std::fabs(t.m_adMinutes[i]) <= 0.000001) {
          if (visible[i])
            g.FillCircle(pts[i], 2 * dotRadius, WithAlpha(rgb, unsigned(dotAlpha)));
          break;
        }
    }
}

bool CGlobeDlg::ScreenDirection(double latDeg, double lonDeg, double& dx, double& dy) const
{
  const double phi = latDeg * kRadPerDeg, dl = (lonDeg - m_dViewLon) * kRadPerDeg, phi0 = m_dViewLat * kRadPerDeg;
  double x = std::cos(phi) * std::sin(dl);
  double y = std::cos(phi0) * std::sin(phi) - std::sin(phi0) * std::cos(phi) * std::cos(dl);
  if (m_dRoll != 0) {
    const double r = m_dRoll * kRadPerDeg;
    const double xr = x * std::cos(r) - y * std::sin(r), yr = x * std::sin(r) + y * std::cos(r);
    x = xr, y = yr;
  }
  const double len = std::hypot(x, y);
  if (len <= 0.000001)
    return false;
  dx = x / len;
  dy = -y / len;
  return true;
}

void CGlobeDlg::DrawMotionDirection(ISceneCanvas& g, int W, int H)
{
  const double lat = m_dApexLat, lon = m_dApexLon + GetAnimLonOffset();
  constexpr uint32_t kCompass = 0xFF96E6FF, kArrows = 0xFF78DCFF;
  double dx = 0, dy = 0;
  if (ScreenDirection(lat, lon, dx, dy)) {
    const double P = GetPictureBottom(H);
    const ScenePoint C = Pt(46, P - 98), E = Pt(C.x + 30 * dx, C.y + 30 * dy);
    ScenePen pen{kCompass, 3.0f};
    pen.roundCaps = true;
    g.Line(Pt(C.x - 30 * dx, C.y - 30 * dy), E, pen);
    ArrowHead(g, E, dx, dy, 11, kCompass);
    g.OutlinedText(std::string(GlobeBodyOf(m_nBody).japanese) + "の進行方向", Pt(8, P - 80), 9, true, kCompass);
  }
  float x = 0, y = 0;
  if (!Project(lat, lon, 1, W, H, x, y))
    return;
  double ux = x - (W / 2.0 + m_dPanX), uy = y - (H / 2.0 + m_dPanY);
  const double len = std::hypot(ux, uy);
  if (len <= 0.000001)
    ux = 1, uy = 0;
  else
    ux /= len, uy /= len;
  const double nx = -uy, ny = ux;
  ScenePen pen{kArrows, 1.2f};
  pen.roundCaps = true;
  for (int off = -12; off <= 12; off += 12) {
    const double qx = x + off * nx, qy = y + off * ny;
    g.Line(Pt(qx - 11 * ux, qy - 11 * uy), Pt(qx + ux, qy + uy), pen);
    g.FillPolygon({Pt(qx + 11 * ux, qy + 11 * uy), Pt(qx + ux + 7 * nx, qy + uy + 7 * ny),
                   Pt(qx + ux - 7 * nx, qy + uy - 7 * ny)},
                  kArrows);
  }
  g.SizedText("進行方向", Pt(x + 38 * ux, y + 38 * uy - 7), 10, true, kArrows);
}

void CGlobeDlg::DrawMarker(ISceneCanvas& g, int W, int H)
{
  float x = 0, y = 0;
  if (!Project(m_dMarkerLat, m_dMarkerLon, 1, W, H, x, y))
    return;
  unsigned alpha = 255;
  if (m_bIconDrawn && std::hypot(x - m_dIconX, y - m_dIconY) < m_dIconRadius + 5)
    alpha = 45;
  const uint32_t r = m_crMarker & 0xFF, gr = (m_crMarker >> 8) & 0xFF, b = (m_crMarker >> 16) & 0xFF;
  g.FillCircle({x, y}, 10, (alpha << 24) | (r << 16) | (gr << 8) | b);
  g.StrokeCircle({x, y}, 10, {alpha << 24, 1.2f});
  g.OutlinedText(m_strMarker, Pt(x + 7, y - 8), 9, true, 0xFFFFFFFF);
}

// ---- the approach path ----

int CGlobeDlg::FindClosestPathPoint(double& jd) const
{
  if (m_nPathCount <= 0)
    return 0;
  int ic = 0;
  for (int i = 1; i < m_nPathCount; ++i)
    if (m_pPathKm[i] < m_pPathKm[ic])
      ic = i;
  jd = m_pPathJd[ic];
  return 1;
}

int CGlobeDlg::GetPathWindow(double& start, double& end) const
{
  double tc = 0;
  if (m_nPathCount < 2 || !FindClosestPathPoint(tc))
    return 0;
  start = std::max(tc - m_dPathHours / 24, m_pPathJd[0]);
  end = std::min(tc + m_dPathHours / 24, m_pPathJd[m_nPathCount - 1]);
  return end > start;
}

bool CGlobeDlg::OrbitPosition(double t, double pos[3]) const
{
  double P[3], Q[3], sun[3], sunOfDate[3], lambda = 0, beta = 0, dist = 0;
  OrbitOrientationVectors(m_dOrbitPeri, m_dOrbitNode, m_dOrbitIncl, P, Q);
  GeocentricSun(t, sun, sunOfDate, lambda, beta, dist);
  double ra = 0, dec = 0, delta = 0, r = 0, nu = 0;
  if (TwoBodyGeocentricPosition(m_dOrbitT, m_dOrbitQ, m_dOrbitE, P, Q, t, sun, ra, dec, delta, r, nu) != 0)
    return false;
  for (int c = 0; c < 3; ++c)
    pos[c] = r * std::cos(nu) * P[c] + r * std::sin(nu) * Q[c];
  return r > 0;
}

int CGlobeDlg::GetMotionSubPoint(double jd, double& latDeg, double& lonDeg) const
{
  if (!m_bOrbit || m_dOrbitQ <= 0)
    return 0;
  double a[3], b[3];
  if (!OrbitPosition(jd - 0.05, a) || !OrbitPosition(jd + 0.05, b))
    return 0;
  const double d[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  const double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  if (len < 0.000000000001)
    return 0;
  double lat = 0, lon = 0;
  PlanetRotationSubPoint(m_nBody, jd, d[0] / len, d[1] / len, d[2] / len, lat, lon);
  latDeg = lat / kRadPerDeg;
  lonDeg = lon / kRadPerDeg;
  return 1;
}

void CGlobeDlg::DrawApproachPath(ISceneCanvas& g, int W, int H)
{
  if (m_nPathCount <= 0)
    return;
  const double R = m_dBodyRadiusKm;
  const ScenePen pathPen{0xE6FFA028, 2.0f}, dropPen{0x8CFFC850, 1.0f};
  int ic = 0;
  for (int i = 1; i < m_nPathCount; ++i)
    if (m_pPathKm[i] < m_pPathKm[ic])
      ic = i;
  const double half = m_dPathHours / 24, tc = m_pPathJd[ic];
  int iS = ic, iE = ic;
  for (int i = 0; i < ic; ++i)
    if (tc - m_pPathJd[i] <= half) {
      iS = i;
      break;
    }
  for (int i = m_nPathCount - 1; i > ic; --i)
    if (m_pPathJd[i] - tc <= half) {
      iE = i;
      break;
    }

  std::vector<ScenePoint> A(m_nPathCount), G(m_nPathCount);
  std::vector<char> aVis(m_nPathCount), gVis(m_nPathCount);
  for (int i = iS; i <= iE; ++i) {
    aVis[i] = char(Project(m_pPathLat[i], m_pPathLon[i], std::max(1.0, m_pPathKm[i] / R), W, H, A[i].x, A[i].y));
    gVis[i] = char(Project(m_pPathLat[i], m_pPathLon[i], 1, W, H, G[i].x, G[i].y));
  }
  if (!m_bAnimating) {
    RunStroker path{g, pathPen, {}};
    for (int i = iS; i <= iE; ++i) {
      if (aVis[i] && gVis[i])
        g.Line(A[i], G[i], dropPen);
      path.Add(aVis[i], A[i]);
    }
    path.Flush();
  } else {
    DrawMovingObject(g, W, H, iS, iE);
  }

  if (iE > iS && !m_bAnimating) {
    const int head = m_pPathJd[iS] > m_pPathJd[iE] ? iS : iE, tail = head == iS ? iE : iS;
    std::string when;
    if (aVis[tail]) {
      FormatUtcMinute(m_pPathJd[tail], when);
      g.SizedText(when, Pt(A[tail].x + 6, A[tail].y + 4), 8, false, 0xFFFFC878);
    }
    if (aVis[head]) {
      if (!m_bMarker) {
        FormatUtcMinute(m_pPathJd[head], when);
        g.SizedText(when, Pt(A[head].x + 6, A[head].y + 4), 8, false, 0xFFFFC878);
      }
      const int nb = head == iS ? iS + 1 : iE - 1;
      const double ddx = double(A[head].x) - A[nb].x, ddy = double(A[head].y) - A[nb].y,
                   len = std::hypot(ddx, ddy);
      if (aVis[nb] && len > 0.000001) {
        const double dx = ddx / len, dy = ddy / len;
        const ScenePoint h = A[head];
        g.Line(h, Pt(h.x - 12 * (0.866 * dx - 0.5 * dy), h.y - 12 * (0.5 * dx + 0.866 * dy)), pathPen);
        g.Line(h, Pt(h.x - 12 * (0.866 * dx + 0.5 * dy), h.y - 12 * (0.866 * dy - 0.5 * dx)), pathPen);
      }
    }
  }

  if (!m_bMarker && aVis[ic]) {
    constexpr uint32_t kNote = 0xFF00FFFF;
    const GlobePoint a{A[ic].x, A[ic].y}, gp{G[ic].x, G[ic].y};
    const GlobePoint end = gVis[ic] ? gp : ClipToLimb(a, gp, W, H);
    g.Line(A[ic], {end.x, end.y}, {kNote, 2.0f});
    if (gVis[ic])
      g.FillCircle(G[ic], 5, kNote);
    g.FillCircle(A[ic], 8, kNote);
    std::string when;
    FormatUtcMinute(tc, when);
    char buf[256];
    std::snprintf(buf, sizeof buf, "最接近 %s\n中心距離 %.0f km (表面から %.0f km)", when.c_str(), m_pPathKm[ic],
                  m_pPathKm[ic] - R);
    g.SizedText(buf, Pt(A[ic].x + 8, A[ic].y - 6), 9, true, kNote);
  }

  const double P = GetPictureBottom(H);
  if (!m_bAnimating) {
    g.SizedText("太い線 = 接近の通り道(公転軌道ではありません)", Pt(8, P - 58), 8, false, 0xFFFFBE6E);
    g.SizedText("細い線 = 各時刻の真下の地表へ下ろした垂線(高度)", Pt(8, P - 42), 8, false, 0xFFDCBE82);
  }
  std::string window = "軌跡表示: 全区間";
  if (m_dPathHours < MaxPathHours(m_nBody))
    window = Format(m_bMarker ? "軌跡表示: 最接近-%.3g時間" : "軌跡表示: 最接近±%.3g時間", m_dPathHours);
  g.SizedText(window, Pt(8, P - 20), 8, false, 0xFFAAAAAA);
}

void CGlobeDlg::DrawMovingObject(ISceneCanvas& g, int W, int H, int iS, int iE)
{
  (void)iS, (void)iE;
  if (m_nPathCount < 2)
    return;
  const double t = m_dAnimJd, R = m_dBodyRadiusKm;
  int k = m_nPathCount - 1;
  for (int i = 1; i < m_nPathCount; ++i)
    if (m_pPathJd[i] >= t) {
      k = i;
      break;
    }
  const double span = m_pPathJd[k] - m_pPathJd[k - 1];
  const double f = span == 0 ? 0 : std::clamp((t - m_pPathJd[k - 1]) / span, 0.0, 1.0);
  const double lat = m_pPathLat[k - 1] + (m_pPathLat[k] - m_pPathLat[k - 1]) * f;
  const double km = m_pPathKm[k - 1] + (m_pPathKm[k] - m_pPathKm[k - 1]) * f;
  double dLon = m_pPathLon[k] - m_pPathLon[k - 1];
  if (dLon > 180)
    dLon -= 360;
  else if (dLon < -180)
    dLon += 360;
  const double lon = m_pPathLon[k - 1] + dLon * f;

  float ax = 0, ay = 0, gx = 0, gy = 0;
  if (!Project(lat, lon, std::max(1.0, km / R), W, H, ax, ay))
    return;
  const bool bGround = Project(lat, lon, 1, W, H, gx, gy);
  const GlobePoint ground = bGround ? GlobePoint{gx, gy} : ClipToLimb({ax, ay}, {gx, gy}, W, H);
  g.Line({ax, ay}, {ground.x, ground.y}, {0xFFFFE63C, 2.0f});

  double lx = -0.6, ly = -0.8;
  if (m_bSubSolar) {
    float sx = 0, sy = 0;
    Project(m_dSubSolarLat, m_dSubSolarLon + GetAnimLonOffset(), 1, W, H, sx, sy);
    const double ddx = sx - (W / 2.0 + m_dPanX), ddy = sy - (H / 2.0 + m_dPanY), len = std::hypot(ddx, ddy);
    if (len > 0.000001)
      lx = ddx / len, ly = ddy / len;
  }
  const double factor = km > 0 && R > 0 ? std::clamp(1 - R / km, 0.0, 1.0) : 1.0;
  const double radius = 24 * factor + 2;
  double start = 0, end = 0;
  GetPathWindow(start, end);
  const double rotation = (t - start) * 720 / (end > start ? end - start : 1);
  DrawAsteroidIcon(g, {ax, ay}, float(radius), rotation, lx, ly);
  m_bIconDrawn = 1;
  m_dIconX = ax, m_dIconY = ay, m_dIconRadius = radius;

  double mLat = 0, mLon = 0, dx = 0, dy = 0;
  if (GetMotionSubPoint(t, mLat, mLon) && ScreenDirection(mLat, mLon, dx, dy)) {
    constexpr uint32_t kMotion = 0xFFFFC35F;
    const ScenePoint S = Pt(ax + (radius + 5) * dx, ay + (radius + 5) * dy), E = Pt(S.x + 34 * dx, S.y + 34 * dy);
    ScenePen pen{kMotion, 2.6f};
    pen.roundCaps = true;
    g.Line(S, E, pen);
    ArrowHead(g, E, dx, dy, 10, kMotion);
    g.SizedText("進行方向", Pt(E.x + 4, E.y - 6), 8, true, kMotion);
  }
  std::string when;
  FormatUtcMinute(t, when);
  const double y = (m_strCaption.empty() ? 8 : 32) + (m_strInfo.empty() ? 0 : 24);
  g.SizedText(when, Pt(8, y), 10, true, 0xFFFFE63C);
}

// ---- the object icon ----

namespace {

struct Crater {
  double distance, angleDeg, size;
};
constexpr Crater kCraters[10] = {{0.26, 20, 0.3},  {0.55, 128, 0.19}, {0.44, 246, 0.23}, {0.7, 310, 0.13},
                                 {0.14, 190, 0.16}, {0.62, 62, 0.11},  {0.36, 300, 0.09}, {0.66, 165, 0.1},
                                 {0.3, 95, 0.12},  {0.52, 205, 0.08}};
constexpr double kOutline[22] = {1.0,  0.9,  0.84, 0.97, 1.06, 0.99, 0.86, 0.79, 0.88, 1.01, 1.08,
                                 1.02, 0.91, 0.83, 0.93, 1.05, 1.0,  0.89, 0.82, 0.94, 1.03, 0.96};

} // namespace

std::vector<ScenePoint> ClosedCardinalSpline(const std::vector<ScenePoint>& p, double tension)
{
  // Each piece from p[i] to p[i+1] leaves and arrives along the chord of the
  // neighbours, scaled by tension / 3.
  const size_t n = p.size();
  std::vector<ScenePoint> bez;
  if (n < 3)
    return bez;
  bez.push_back(p[0]);
  const double k = tension / 3;
  for (size_t i = 0; i < n; ++i) {
    const ScenePoint& a = p[(i + n - 1) % n];
    const ScenePoint& b = p[i];
    const ScenePoint& c = p[(i + 1) % n];
    const ScenePoint& d = p[(i + 2) % n];
    bez.push_back(Pt(b.x + k * (c.x - a.x), b.y + k * (c.y - a.y)));
    bez.push_back(Pt(c.x - k * (d.x - b.x), c.y - k * (d.y - b.y)));
    bez.push_back(c);
  }
  return bez;
}

void CGlobeDlg::DrawAsteroidIcon(ISceneCanvas& g, ScenePoint C, float a, double rotationDeg, double lx, double ly)
{
  const double beta = rotationDeg * kRadPerDeg;
  std::vector<ScenePoint> outline(22);
  for (int i = 0; i < 22; ++i) {
    const double theta = 2 * kPi * i / 22 + beta;
    outline[i] = Pt(C.x + a * kOutline[i] * std::cos(theta), C.y + a * kOutline[i] * std::sin(theta));
  }
  const std::vector<ScenePoint> path = ClosedCardinalSpline(outline, 0.3);
  // The gradient spans the square of side 2.7 a along the light's direction.
  const double angle = std::atan2(ly, lx);
  const double ux = std::cos(angle), uy = std::sin(angle);
  const double reach = 1.35 * a * (std::fabs(ux) + std::fabs(uy));
  g.FillPathGradient(path, Pt(C.x - reach * ux, C.y - reach * uy), Pt(C.x + reach * ux, C.y + reach * uy),
                     0xFF161618, 0xFFC4C2BC);
  g.PushState();
  g.ClipPath(path);
  for (int i = 0; i < 6; ++i) {
    const double ang = (61.0 * i + 37) * kRadPerDeg + beta, dist = (0.11 * i + 0.2) * a, N = (0.3 - 0.02 * i) * a;
    g.FillEllipse(Pt(C.x + dist * std::cos(ang), C.y + dist * std::sin(ang)), float(2 * N), float(1.5 * N),
                  i % 2 ? 0x1AFFFFFA : 0x1E000000);
  }
  for (const Crater& c : kCraters) {
    const double ang = c.angleDeg * kRadPerDeg + beta, rho = c.size * a;
    const double kx = C.x + c.distance * a * std::cos(ang), ky = C.y + c.distance * a * std::sin(ang);
    g.FillCircle(Pt(kx - 0.3 * rho * lx, ky - 0.3 * rho * ly), float(2 * rho), 0x5AE1DED6);
    // The dark disc's bounding square has its corner at K - (rho, rho) + 0.12 rho L.
    g.FillCircle(Pt(kx - 0.05 * rho + 0.12 * rho * lx, ky - 0.05 * rho + 0.12 * rho * ly), float(1.9 * rho),
                 0x78121214);
  }
  g.PopState();
  g.StrokePath(path, {0xDC0C0C0E, 1.2f});
}

// ---- the orbit inset ----

void CGlobeDlg::DrawOrbitInset(ISceneCanvas& g, int W, int H)
{
  SceneRect sq;
  if (!m_bOrbit || m_dOrbitQ <= 0 || !GetInsetRect(W, H, sq))
    return;
  const double c = sq.w, h = c / 2, mx = sq.x + h, my = sq.y + h;
  double t = 0, start = 0, end = 0;
  if (m_bAnimating && m_dAnimJd > 0)
    t = m_dAnimJd;
  else if (GetPathWindow(start, end))
    t = (start + end) / 2;
  const double ce = std::cos(kInsetObliquity), se = std::sin(kInsetObliquity);
  const auto ecliptic = [ce, se](const double v[3], double& x, double& y) {
    x = v[0];
    y = v[1] * ce + v[2] * se;
  };

  const bool bEarthLike = m_nBody == 2 || m_nBody == 9;
  double r0 = 1, xb = 0, yb = 0, rb = 0;
  bool bBody = false;
  const double tBody = t > 0 ? t : m_dOrbitT;
  if (!bEarthLike && m_nBody >= 0 && m_nBody <= 9 && g_pJplEph && g_pJplEph->IsOpen() && tBody > 0) {
    double pos[3];
    if (JplPosition(tBody, m_nBody + 1, kJplSun, pos) == 0) {
      ecliptic(pos, xb, yb);
      rb = std::hypot(xb, yb);
      if (rb > 0) {
        bBody = true;
        r0 = std::max(1.0, rb);
      }
    }
  }

  double P[3], Q[3];
  OrbitOrientationVectors(m_dOrbitPeri, m_dOrbitNode, m_dOrbitIncl, P, Q);
  std::vector<std::pair<double, double>> samples;
  double extent = 1.15 * r0;
  for (int deg = -180; deg <= 180; deg += 2) {
    const double nu = deg * kRadPerDeg, den = 1 + m_dOrbitE * std::cos(nu);
    if (m_dOrbitE >= 1 && den < 0.02)
      continue;
    const double r = (1 + m_dOrbitE) * m_dOrbitQ / den;
    if (!(r > 0 && r <= 6 * r0))
      continue;
    double v[3], x = 0, y = 0;
    for (int k = 0; k < 3; ++k)
      v[k] = r * std::cos(nu) * P[k] + r * std::sin(nu) * Q[k];
    ecliptic(v, x, y);
    samples.push_back({x, y});
    extent = std::max(extent, std::hypot(x, y));
  }
  const double S = std::min(extent, 5.5 * r0), k = (h - 14) / S;
  const bool bUnitCircle = bEarthLike || k >= 6;

  g.FillPolygon({Pt(sq.x, sq.y), Pt(sq.x + c, sq.y), Pt(sq.x + c, sq.y + c), Pt(sq.x, sq.y + c)}, 0xBE060A18);
  g.Polyline({Pt(sq.x, sq.y), Pt(sq.x + c, sq.y), Pt(sq.x + c, sq.y + c), Pt(sq.x, sq.y + c), Pt(sq.x, sq.y)},
             {0xFF465064, 1.0f});
  if (bUnitCircle)
    g.StrokeCircle(Pt(mx, my), float(2 * k), {0xFF5A96FF, 1.2f});
  if (bBody)
    g.StrokeCircle(Pt(mx, my), float(2 * k * rb), {0xFF5AC8BE, 1.2f});
  if (samples.size() >= 2) {
    std::vector<ScenePoint> pts;
    pts.reserve(samples.size());
    for (const auto& [x, y] : samples)
      pts.push_back(Pt(mx + k * x, my - k * y));
    g.Polyline(pts, {0xFFFF2828, 1.4f});
  }
  g.FillCircle(Pt(mx, my), 7, 0xFFFFDC50);
  if (t > 0) {
    double sun[3], sunOfDate[3], lambda = 0, beta = 0, dist = 0;
    GeocentricSun(t, sun, sunOfDate, lambda, beta, dist);
    const double earth[3] = {-sun[0], -sun[1], -sun[2]};
    double ex = 0, ey = 0;
    ecliptic(earth, ex, ey);
    if (bUnitCircle) {
      const ScenePoint e = Pt(mx + k * ex, my - k * ey);
      g.FillCircle(e, 6, 0xFF78BEFF);
      if (!bEarthLike)
        g.SizedText("地球", Pt(e.x + 4, e.y - 7), 8, false, 0xFF78BEFF);
    }
    if (bBody) {
      const ScenePoint b = Pt(mx + k * xb, my - k * yb);
      g.FillCircle(b, 7, 0xFF96EBE1);
      g.SizedText(GlobeBodyOf(m_nBody).japanese, Pt(b.x + 5, b.y - 7), 8, false, 0xFF96EBE1);
    }
    double pos[3];
    if (OrbitPosition(t, pos)) {
      double x = 0, y = 0;
      ecliptic(pos, x, y);
      g.FillCircle(Pt(mx + k * x, my - k * y), 6, 0xFFFFFFFF);
    }
  }
  if (t > 0)
    g.SizedText(Format("黄道面 %.1fAU", S), Pt(sq.x + 4, sq.y + c - 15), 8, false, 0xFFAAB2BE);
}

// The orbit diagram's two scenes, drawn on an ISceneCanvas.
#include <algorithm>

#include "astro/angle_units.h"
#include <cmath>

#include "astro/constants.h"
#include "astro/frames.h"
#include "astro/jpl_eph.h"
#include "astro/time_scales.h"
#include "platform/app_services.h"
#include "platform/numbers.h"
#include "views/orbit_view.h"

namespace {

constexpr double kSunRadiusAu = 0.0046524726370988385;
constexpr double kHalfMinuteDays = 0.00034722222222222224;
constexpr size_t kMaxLabels = 16;

constexpr uint32_t kGrey = 0xFFC8C8C8;
constexpr uint32_t kTitle = 0xFFFF7878;

uint32_t PlanetArgb(const OrbitViewPlanet& p) {
  return 0xFF000000u | (uint32_t{p.rgb[0]} << 16) | (uint32_t{p.rgb[1]} << 8) | p.rgb[2];
}

bool PlanetaryFileCovers(double t) {
  return g_pJplEph && g_pJplEph->IsOpen() && t >= g_dJplStart && t < g_dJplEnd;
}

SceneRect TextRect(ISceneCanvas& g, const std::string& text, ScenePoint p, SceneFont font) {
  const ScenePoint size = g.MeasureText(text, font);
  return {p.x, p.y, size.x, size.y};
}

float Length(ScenePoint a, ScenePoint b) { return std::hypot(b.x - a.x, b.y - a.y); }

ScenePoint Mid(ScenePoint a, ScenePoint b, float dx, float dy) {
  return {(a.x + b.x) * 0.5f + dx, (a.y + b.y) * 0.5f + dy};
}

std::string DateText(double jd) {
  const SceneDateTime d = SceneDateOf(jd);
  return FormatC("%d/%d/%d", d.year, d.month, d.day);
}

} // namespace

void COrbitViewDlg::RecordLabel(const SceneRect& r) {
  if (m_labels.size() < kMaxLabels) m_labels.push_back(r);
}

bool COrbitViewDlg::OverlapsLabel(const SceneRect& r, float margin) const {
  return std::any_of(m_labels.begin(), m_labels.end(), [&](const SceneRect& l) { return l.Overlaps(r, margin); });
}

std::string COrbitViewDlg::TitleText() const {
  return m_bShowAltTitle && !m_strAltTitle.empty() ? m_strAltTitle : m_strName;
}

void COrbitViewDlg::DrawTitle(ISceneCanvas& g, bool bRecord) {
  const std::string title = TitleText();
  if (title.empty()) return;
  const ScenePoint at{8, 8};
  g.Text(title, at, SceneFont::Bold, kTitle);
  const SceneRect r = TextRect(g, title, at, SceneFont::Bold);
  if (bRecord) RecordLabel(r);
  if (!m_bTitleRectValid && !m_bExporting) {
    m_rcTitle = r;
    m_bTitleRectValid = 1;
  }
}

void COrbitViewDlg::DrawScene(ISceneCanvas& g, int width, int height) {
  if (!m_bDrawingHalf) m_bTitleRectValid = 0;
  if (m_nStereoMode != 0 && !m_bDrawingHalf)
    DrawStereoPair(g, width, height);
  else if (m_bGeocentric)
    DrawGeocentric(g, width, height);
  else
    DrawHeliocentric(g, width, height);
}

void COrbitViewDlg::DrawStereoPair(ISceneCanvas& g, int width, int height) {
  const int half = width / 2;
  const double d = m_nStereoMode == 1 ? 1 : -1;
  const double kept = m_dAzimuth;
  m_bDrawingHalf = 1;
  g.PushState();
  g.ClipRect({0, 0, static_cast<float>(half), static_cast<float>(height)});
  m_dAzimuth = kept - 2.5 * d;
  DrawScene(g, half, height);
  g.PopState();
  g.PushState();
  g.ClipRect({static_cast<float>(half), 0, static_cast<float>(width - half), static_cast<float>(height)});
  g.Translate(static_cast<float>(half), 0);
  m_dAzimuth = kept + 2.5 * d;
  DrawScene(g, width - half, height);
  g.PopState();
  m_dAzimuth = kept;
  m_bDrawingHalf = 0;
  g.Line({static_cast<float>(half), 0}, {static_cast<float>(half), static_cast<float>(height)},
         ScenePen{0x5AA0A0AA, 1, false});
}

void COrbitViewDlg::DrawOrbitCurve(ISceneCanvas& g, int width, int height, const ScenePen& pen,
                                   const ScenePen* below, double q, double e, double peri, double node, double incl,
                                   double limit) {
  if (!(q > 0)) return;
  double P[3], Q[3];
  OrbitOrientationVectors(peri, node, incl, P, Q);
  const double p = (1 + e) * q;
  double vMax = kPi;
  if (!(e < 1 && limit >= p / (1 - e))) vMax = std::acos(std::clamp((p / limit - 1) / std::max(e, 1e-9), -1.0, 1.0));
  const double ce = std::cos(kObliquityJ2000Rad), se = std::sin(kObliquityJ2000Rad);
  std::vector<ScenePoint> run;
  const ScenePen* runPen = nullptr;
  auto flush = [&] {
    if (run.size() >= 2 && runPen) g.Polyline(run, *runPen);
    run.clear();
  };
  bool bPrevValid = false;
  double prevHeight = 0;
  ScenePoint prev{};
  for (int k = 0; k <= 256; ++k) {
    const double v = 2 * vMax * k / 256 - vMax;
    const double r = p / (1 + e * std::cos(v));
    if (r <= 0 || r > 1.1 * limit) {
      flush();
      bPrevValid = false;
      continue;
    }
    double pos[3];
    for (int i = 0; i < 3; ++i) pos[i] = r * (std::cos(v) * P[i] + std::sin(v) * Q[i]);
    const double h = pos[2] * ce - pos[1] * se;
    const ScenePoint s = Project(pos[0], pos[1], pos[2], width, height);
    if (bPrevValid) {
      const ScenePen* use = below && (prevHeight + h) * 0.5 < 0 ? below : &pen;
      if (use != runPen) {
        flush();
        runPen = use;
        run.push_back(prev);
      }
      run.push_back(s);
    }
    prev = s;
    prevHeight = h;
    bPrevValid = true;
  }
  flush();
}

void COrbitViewDlg::DrawSun(ISceneCanvas& g, int width, int height) {
  const ScenePoint c = Project(0, 0, 0, width, height);
  const float rs = static_cast<float>(m_dScale * kSunRadiusAu);
  if (rs < 3) {
    g.FillCircle(c, 18, 0x46FFE696);
    g.FillCircle(c, 8, 0xFFFFF5C8);
    return;
  }
  g.RadialGradientCircle(c, 6 * rs, 0x46FFF0D7, 0x00FFF0D7);
  g.RadialGradientCircle(c, 2.2f * rs, 0x96FFF8E6, 0x00FFF8E6);
  if (!m_bSunImageTried) {
    m_bSunImageTried = 1;
    std::string dir = TheApp().m_szExeDir;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    const double fraction = LoadSunImage(dir + "sun_texture.jpg");
    if (fraction > 0) {
      m_bHasSunImage = 1;
      m_dSunDiskFraction = fraction;
    }
  }
  if (m_bHasSunImage && g.SunTexture(c, 0.995f * rs, static_cast<float>(rs / m_dSunDiskFraction))) return;
  g.RadialGradientCircle(c, rs, 0xFFFFFCEB, 0xFFEB963C);
}

void COrbitViewDlg::DrawPlanetPositions(ISceneCanvas& g, int width, int height, double t) {
  if (!PlanetaryFileCovers(t)) return;
  static constexpr int kOrder[9] = {2, 0, 1, 3, 4, 5, 6, 7, 8};
  for (const int i : kOrder) {
    double pos[3];
    if (JplPosition(t, i + 1, 11, pos) != 0) continue;
    const ScenePoint s = Project(pos[0], pos[1], pos[2], width, height);
    if (s.x < -50 || s.y < -50 || s.x > width + 50 || s.y > height + 50) continue;
    g.FillCircle(s, 4, 0xFFFFF0B4);
    const double inner = i == 0 ? 0 : g_aOrbitViewPlanets[i - 1].a;
    if (i != 2 && (g_aOrbitViewPlanets[i].a - inner) * m_dScale < 16) continue;
    const ScenePoint at{s.x + 5, s.y - 6};
    const SceneRect r = TextRect(g, g_aOrbitViewPlanets[i].name, at, SceneFont::Small);
    if (OverlapsLabel(r, 2)) continue;
    g.Text(g_aOrbitViewPlanets[i].name, at, SceneFont::Small, kGrey);
    RecordLabel(r);
  }
}

void COrbitViewDlg::DrawObservedPositions(ISceneCanvas& g, int width, int height) {
  if (m_bObsPositionsDirty) {
    m_bObsPositionsDirty = 0;
    m_obsPositions.clear();
    if (m_bHasObject && m_bShowObsPositions && !m_obsTimes.empty()) {
      double P[3], Q[3];
      OrbitOrientationVectors(m_dPeri, m_dNode, m_dIncl, P, Q);
      for (const int i : ObservedPositionIndices(static_cast<int>(m_obsTimes.size()))) {
        std::array<double, 3> pos;
        if (KeplerPosition(m_obsTimes[i], P, Q, pos.data())) m_obsPositions.push_back(pos);
      }
    }
  }
  for (const auto& pos : m_obsPositions) g.FillCircle(Project(pos[0], pos[1], pos[2], width, height), 2, 0xFFFFDC3C);
}

ScenePoint COrbitViewDlg::PlaceObjectLabel(float x, float y, float w, float h, int width, int height) const {
  const ScenePoint places[10] = {{x + 6, y - 8},          {x + 6, y + 2},      {x - 6 - w, y - 8},
                                 {x - 6 - w, y + 2},      {x - w / 2, y - 10 - h}, {x - w / 2, y + 10},
                                 {x + 14, y - 22},        {x - 14 - w, y - 22}, {x + 14, y + 16},
                                 {x - 14 - w, y + 16}};
  for (const ScenePoint& p : places) {
    if (p.x < 2 || p.y < 2 || p.x + w > width - 2 || p.y + h > height - 2) continue;
    if (!OverlapsLabel({p.x, p.y, w, h}, 2)) return p;
  }
  return places[0];
}

void COrbitViewDlg::DrawObjectMarker(ISceneCanvas& g, int width, int height, double t, const std::string& title) {
  double P[3], Q[3], pos[3];
  OrbitOrientationVectors(m_dPeri, m_dNode, m_dIncl, P, Q);
  if (!KeplerPosition(t, P, Q, pos) || !(pos[0] * pos[0] + pos[1] * pos[1] + pos[2] * pos[2] < 1e8)) return;
  const ScenePoint s = Project(pos[0], pos[1], pos[2], width, height);
  g.FillCircle(s, 7, 0xFFFF3C3C);
  if (title.empty()) return;
  ScenePoint at{s.x + 6, s.y - 8};
  if (m_bAtRest) {
    const ScenePoint size = g.MeasureText(title, SceneFont::Bold);
    at = PlaceObjectLabel(s.x, s.y, size.x, size.y, width, height);
  }
  g.Text(title, at, SceneFont::Bold, kTitle);
}

void COrbitViewDlg::DrawHeliocentric(ISceneCanvas& g, int width, int height) {
  m_labels.clear();
  const double limit = std::clamp(std::sqrt(double(width) * width + double(height) * height) * 0.5 / m_dScale * 1.6,
                                  2.0, 300.0);
  const double t = m_bAnimating ? m_dAnimJd : m_dImpactJd > 0 ? m_dImpactJd : m_dEpoch;
  const ScenePen planetPen{0xFF5AC8BE, 1, false}, earthPen{0xFF5A96FF, 1, false};
  for (int i = 0; i < 9; ++i) {
    const OrbitViewPlanet& pl = g_aOrbitViewPlanets[i];
    DrawOrbitCurve(g, width, height, i == 2 ? earthPen : planetPen, nullptr, (1 - pl.e) * pl.a, pl.e,
                   pl.periDeg * kRadPerDeg, pl.nodeDeg * kRadPerDeg, pl.inclDeg * kRadPerDeg, limit);
  }
  DrawSun(g, width, height);
  if (!m_bHasObject) return;
  DrawPlanetPositions(g, width, height, t);
  if (m_dQ > 0) {
    const ScenePen above{0xFFFF2828, 2, false}, below{0xFF821414, 2, false};
    DrawOrbitCurve(g, width, height, above, &below, m_dQ, m_dE, m_dPeri, m_dNode, m_dIncl, limit);
  }
  DrawObservedPositions(g, width, height);
  DrawTitle(g, true);
  auto dateLine = [&](const char* format, double jd, float y, uint32_t argb) {
    double yr, mo, dy;
    JdToCalendar(jd, yr, mo, dy);
    const std::string text = FormatC(format, static_cast<int>(yr), g_aszMonthAbbrev[static_cast<int>(mo) - 1], dy);
    g.Text(text, {8, y}, SceneFont::Small, argb);
    RecordLabel(TextRect(g, text, {8, y}, SceneFont::Small));
  };
  dateLine("Epoch %d %s %.1f TT", m_dEpoch, 27, kGrey);
  if (m_dImpactJd > 0) dateLine("Impact %d %s %.2f TT", m_dImpactJd, 44, 0xFFFFA03C);
  DrawObjectMarker(g, width, height, t, TitleText());
}

// ---- geocentric scene ----

void COrbitViewDlg::DrawMoonOrbit(ISceneCanvas& g, int width, int height, bool& bDrawn) {
  bDrawn = m_dScale * kLunarDistanceAu >= 8;
  if (!bDrawn) return;
  const double ce = std::cos(kObliquityJ2000Rad), se = std::sin(kObliquityJ2000Rad);
  std::vector<ScenePoint> pts;
  for (int k = 0; k <= 72; ++k) {
    const double a = 5 * k * kRadPerDeg;
    const double r = kLunarDistanceAu;
    pts.push_back(Project(r * std::cos(a), r * std::sin(a) * ce, r * std::sin(a) * se, width, height));
  }
  g.FillPolygon(pts, std::sin(m_dElevation * kRadPerDeg) >= 0 ? 0x2EFF4646 : 0x2E508CFF);
  g.Polyline(pts, ScenePen{0xFF828296, 1, false});
}

const COrbitViewDlg::PlanetPath& COrbitViewDlg::PlanetPathOf(int planet, double first, double last, int samples) {
  PlanetPath& path = m_planetPaths[planet];
  if (path.first == first && path.last == last && path.samples == samples && path.fileStart == g_dJplStart &&
      path.fileEnd == g_dJplEnd)
    return path;
  path = {first, last, g_dJplStart, g_dJplEnd, samples, {}, {}};
  path.pos.resize(samples);
  path.ok.assign(samples, 0);
  for (int k = 0; k < samples; ++k) {
    const double t = first + (last - first) / (samples - 1) * k;
    path.ok[k] = PlanetaryFileCovers(t) && JplPosition(t, planet + 1, 3, path.pos[k].data()) == 0;
  }
  return path;
}

void COrbitViewDlg::DrawPlanetPaths(ISceneCanvas& g, int width, int height) {
  const GeoTrackBuffer& tr = GeoTrackBuffer::Instance();
  double tf = 0, tl = 0;
  if (tr.m_nCount < 2 || !g_pJplEph || !g_pJplEph->IsOpen() || m_bExporting || !tr.TimeRange(tf, tl) || !(tl > tf))
    return;
  const double H = std::min(width, height) * 0.5 / m_dScale;
  const int N = static_cast<int>(std::min(3000.0, 2 + std::floor((tl - tf) / 3)));
  for (int i = 0; i < 9; ++i) {
    if (i == 2) continue;
    const OrbitViewPlanet& pl = g_aOrbitViewPlanets[i];
    const double far = (1 + pl.e) * pl.a + 1;
    if (far < 0.15 * H || far > 4 * H) continue;
    const PlanetPath& path = PlanetPathOf(i, tf, tl, N);
    const ScenePen pen{PlanetArgb(pl), 1, false};
    std::vector<ScenePoint> run;
    bool bAny = false;
    ScenePoint last{};
    for (int k = 0; k < N; ++k) {
      if (!path.ok[k]) {
        if (run.size() >= 2) g.Polyline(run, pen);
        run.clear();
        continue;
      }
      const auto& pos = path.pos[k];
      last = Project(pos[0], pos[1], pos[2], width, height);
      run.push_back(last);
      bAny = true;
    }
    if (run.size() >= 2) g.Polyline(run, pen);
    if (!bAny || last.x < -40 || last.y < -40 || last.x > width + 40 || last.y > height + 40) continue;
    const ScenePoint at{last.x + 5, last.y - 6};
    g.Text(pl.name, at, SceneFont::Small, PlanetArgb(pl));
    RecordLabel(TextRect(g, pl.name, at, SceneFont::Small));
  }
}

void COrbitViewDlg::DrawTrack(ISceneCanvas& g, int width, int height) {
  const GeoTrackBuffer& tr = GeoTrackBuffer::Instance();
  const ScenePen pen{0xFFFFE650, 1.6f, false};
  std::vector<ScenePoint> run;
  for (int i = 0; i < tr.m_nCount; ++i) {
    const double* p = tr.m_pPositions[i];
    const ScenePoint s = Project(p[0], p[1], p[2], width, height);
    const bool bJoined =
        i > 0 && tr.m_pSegments[i] == tr.m_pSegments[i - 1] && std::fabs(tr.m_pTimes[i] - tr.m_pTimes[i - 1]) < 10;
    if (!bJoined) {
      if (run.size() >= 2) g.Polyline(run, pen);
      run.clear();
    }
    run.push_back(s);
  }
  if (run.size() >= 2) g.Polyline(run, pen);
  if (m_bObsTrackDirty || m_nObsTrackVersion != tr.m_nVersion) UpdateObsTrackPoints();
  for (const auto& p : m_obsTrackPoints) {
    const ScenePoint s = Project(p[0], p[1], p[2], width, height);
    g.FillCircle(s, 5, 0xFFFF2828);
    g.StrokeCircle(s, 5, ScenePen{0xFF000000, 1, false});
  }
}

void COrbitViewDlg::DrawApproaches(ISceneCanvas& g, int width, int height) {
  const GeoTrackBuffer& tr = GeoTrackBuffer::Instance();
  const ScenePoint earth = Project(0, 0, 0, width, height);
  auto distanceText = [&](ScenePoint a, ScenePoint b, double au, uint32_t argb) {
    if (Length(a, b) < 40) return;
    const std::string text = FormatC("%.1f 万km", AuToManKm(au));
    const ScenePoint at = Mid(a, b, 4, -6);
    g.Text(text, at, SceneFont::Small, argb);
    RecordLabel(TextRect(g, text, at, SceneFont::Small));
  };
  if (m_bShowEarthCa) {
    if (m_dEarthCaJd <= 0 || m_nEarthCaVersion != tr.m_nVersion) FindEarthApproach();
    if (m_dEarthCaJd > 0) {
      const ScenePoint p = Project(m_vEarthCaPos[0], m_vEarthCaPos[1], m_vEarthCaPos[2], width, height);
      g.Line(earth, p, ScenePen{0xC882AFE1, 1, true});
      g.StrokeCircle(p, 10, ScenePen{0xFF8CC8FF, 1.8f, false});
      distanceText(earth, p, m_dEarthCaDist, 0xFFBEDCFF);
    }
  }
  if (m_bShowMoon) {
    if (m_dMoonCaJd <= 0 || m_nMoonCaVersion != tr.m_nVersion) FindMoonApproach();
    if (m_dMoonCaJd > 0) {
      const ScenePoint moon = Project(m_vMoonCaMoon[0], m_vMoonCaMoon[1], m_vMoonCaMoon[2], width, height);
      const ScenePoint obj = Project(m_vMoonCaObject[0], m_vMoonCaObject[1], m_vMoonCaObject[2], width, height);
      g.Line(moon, obj, ScenePen{0xC8AABEDC, 1, true});
      g.FillCircle(moon, 7, 0xFFF0F0F8);
      g.StrokeCircle(obj, 10, ScenePen{0xFF78DCFF, 1.8f, false});
      const ScenePoint at{moon.x + 6, moon.y - 6};
      g.Text("月", at, SceneFont::Small, 0xFFE1E1F0);
      RecordLabel(TextRect(g, "月", at, SceneFont::Small));
      distanceText(moon, obj, m_dMoonCaDist, 0xFFE1E1F0);
    }
  }
}

void COrbitViewDlg::DrawDateMarks(ISceneCanvas& g, int width, int height) {
  const GeoTrackBuffer& tr = GeoTrackBuffer::Instance();
  double tf = 0, tl = 0;
  if (!tr.TimeRange(tf, tl)) return;
  const double step = (tl - tf) / 7;
  double next = tf;
  for (int i = 0; i < tr.m_nCount; ++i) {
    if (tr.m_pTimes[i] < next) continue;
    next = tr.m_pTimes[i] + step;
    const double* p = tr.m_pPositions[i];
    const ScenePoint s = Project(p[0], p[1], p[2], width, height);
    if (s.x < 0 || s.y < 0 || s.x > width || s.y > height) continue;
    const std::string text = DateText(tr.m_pTimes[i]);
    const ScenePoint at{s.x + 5, s.y - 6};
    const SceneRect r = TextRect(g, text, at, SceneFont::Small);
    if (OverlapsLabel(r, 2)) continue;
    g.Text(text, at, SceneFont::Small, 0xFFE6E6A0);
    g.FillCircle(s, 4, 0xFFFFDC3C);
    RecordLabel(r);
  }
}

void COrbitViewDlg::DrawGeocentricTexts(ISceneCanvas& g) {
  const GeoTrackBuffer& tr = GeoTrackBuffer::Instance();
  double tf = 0, tl = 0;
  tr.TimeRange(tf, tl);
  const SceneDateTime a = SceneDateOf(tf), b = SceneDateOf(tl);
  g.Text(FormatC("地心の軌跡  %d/%d/%d 〜 %d/%d/%d  (%d 点)", a.year, a.month, a.day, b.year, b.month, b.day,
                 tr.m_nCount),
         {8, 27}, SceneFont::Small, kGrey);
  const double extent = tr.MaxAbsCoordinate();
  if (extent > 0)
    g.Text(FormatC("記録の広がり  %.0f 万km  (月までの距離の %.1f 倍)", AuToManKm(extent), extent / kLunarDistanceAu),
           {8, 44}, SceneFont::Small, kGrey);
  float y = 61;
  if (!m_obsTrackPoints.empty()) {
    g.Text(FormatC("赤い点  観測 %d 件", static_cast<int>(m_obsTrackPoints.size())), {8, y}, SceneFont::Small,
           0xFFFF2828);
    y = 78;
  }
  auto approachLine = [&](const char* label, double jd, double au, uint32_t argb) {
    const SceneDateTime d = SceneDateOf(jd + kHalfMinuteDays);
    g.Text(FormatC("%s  %d/%d/%d %d:%02d  %.1f 万km  (月までの距離の %.2f 倍)", label, d.year, d.month, d.day, d.hour,
                   d.minute, AuToManKm(au), au / kLunarDistanceAu),
           {8, y}, SceneFont::Small, argb);
    y += 17;
  };
  if (m_bShowEarthCa && m_dEarthCaJd > 0) approachLine("地球に最接近", m_dEarthCaJd, m_dEarthCaDist, 0xFFBEDCFF);
  if (m_bShowMoon && m_dMoonCaJd > 0) approachLine("月に最接近", m_dMoonCaJd, m_dMoonCaDist, 0xFFE1E1F0);
}

void COrbitViewDlg::DrawGeocentric(ISceneCanvas& g, int width, int height) {
  m_labels.clear();
  const GeoTrackBuffer& tr = GeoTrackBuffer::Instance();
  bool bMoonOrbit = false;
  DrawMoonOrbit(g, width, height, bMoonOrbit);
  DrawPlanetPaths(g, width, height);
  const ScenePoint earth = Project(0, 0, 0, width, height);
  g.FillCircle(earth, 8, 0xFF78BEFF);
  g.Text("地球", {earth.x + 7, earth.y - 6}, SceneFont::Small, kGrey);
  RecordLabel(TextRect(g, "地球", {earth.x + 7, earth.y - 6}, SceneFont::Small));
  if (bMoonOrbit) {
    const double ce = std::cos(kObliquityJ2000Rad), se = std::sin(kObliquityJ2000Rad);
    const ScenePoint p = Project(0, -kLunarDistanceAu * ce, -kLunarDistanceAu * se, width, height);
    g.Text("月の軌道", {p.x + 4, p.y}, SceneFont::Small, kGrey);
    RecordLabel(TextRect(g, "月の軌道", {p.x + 4, p.y}, SceneFont::Small));
  }
  if (tr.m_nCount < 2) {
    g.Text(FormatC("地心の軌跡がありません。\r\n軌道改良か[計算結果から元期を移動]を実行すると、\r\n"
                   "地心%g AU(月までの約%.0f倍)の内側を通った区間が記録されます。",
                   g_dGeoTrackRadius, g_dGeoTrackRadius / kLunarDistanceAu),
           {8, 8}, SceneFont::Small, kGrey);
    return;
  }
  DrawTrack(g, width, height);
  DrawApproaches(g, width, height);
  DrawDateMarks(g, width, height);
  DrawTitle(g, false);
  DrawGeocentricTexts(g);
}

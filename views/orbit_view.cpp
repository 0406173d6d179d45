#include "views/orbit_view.h"

#include "app/registry/window_registry.h"
#include "astro/angle_units.h"

#include <algorithm>
#include <cmath>

#include "astro/constants.h"
#include "astro/frames.h"
#include "astro/jpl_eph.h"
#include "astro/time_scales.h"
#include "astro/two_body.h"
#include "platform/app_services.h"
#include "platform/text_util.h"

namespace {

// 1.3 lunar distances: the smallest extent of the geocentric scene.
constexpr double kMinGeoExtentAu = 0.003340421876739988;
constexpr double kMinScale = 0.05;
constexpr double kMaxScale = 500000;

int SceneIndex(int bGeocentric) { return bGeocentric ? 1 : 0; }

double Dist2(const double a[3], const double b[3]) {
  const double dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
  return dx * dx + dy * dy + dz * dz;
}

double Norm(const double a[3]) { return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]); }

// Position on a near-parabolic orbit from the time since perihelion: Barker's
// cubic solved for s by Newton's method, with the factor A refined until
// z = g s² settles, then r cos²(v/2) and tan(v/2) as series in z truncated
// after z⁷; false when a loop runs out or the truncated series is not
// accurate at this point.
bool NearParabolicPosition(double dt, double q, double e, const double P[3], const double Q[3], double pos[3]) {
  const double c = std::sqrt((1 + 9 * e) / 10);
  const double g = 5 * (1 - e) / (1 + 9 * e);
  const double h = std::sqrt(5 * (1 + e) / (1 + 9 * e));
  const double W = std::pow(q, 1.5) * 1.414213562373095;
  double A = 1, zPrev = 0, z = 0, s = 1;
  bool settled = false;
  for (int pass = 0; pass < 10000 && !settled; ++pass) {
    const double m = A * kGaussK * c * dt / W;
    s = 1;
    bool found = false;
    for (int it = 0; it < 10000; ++it) {
      const double next = (2 * s * s * s / 3 + m) / (s * s + 1);
      const bool done = std::fabs(next - s) <= 1e-11;
      s = next;
      if (done) {
        found = true;
        break;
      }
    }
    if (!found) return false;
    z = g * s * s;
    if (std::fabs(z - zPrev) <= 1e-15) {
      settled = true;
      break;
    }
    const double z2 = z * z, z3 = z2 * z, z4 = z3 * z, z5 = z4 * z, z6 = z5 * z, z7 = z6 * z;
    A = 1 - 0.017142857 * z2 - 0.003809524 * z3 - 0.001104267 * z4 - 0.000367358 * z5 - 0.000131675 * z6 -
        0.000049577 * z7;
    zPrev = z;
  }
  if (!settled) return false;
  const double z2 = z * z, z3 = z2 * z, z4 = z3 * z, z5 = z4 * z, z6 = z5 * z, z7 = z6 * z;
  const double F = q * (1 - z + 0.2 * z2 + 0.00571429 * z3 + 0.00495238 * z4 + 0.00132888 * z5 +
                        0.00048295 * z6 + 0.00017652 * z7);
  const double tau = h * s *
                     (1 + 0.4 * z + 0.21714286 * z2 + 0.12495238 * z3 + 0.07339814 * z4 + 0.0435161 * z5 +
                      0.02592289 * z6 + 0.01548368 * z7);
  // Far from perihelion z grows and the truncated series drifts from the
  // conic (the omitted terms go as z^8, the printed coefficients as z^2):
  // beyond 1e-8 AU the exact solution takes over.
  const double r = F * (1 + tau * tau);
  const double bound = (0.05 * z4 * z4 + 1.5e-8 * z2) * std::fabs(r);
  if (!std::isfinite(r) || bound > 1e-8) return false;
  for (int i = 0; i < 3; ++i) pos[i] = F * (1 - tau * tau) * P[i] + 2 * F * tau * Q[i];
  return true;
}

} // namespace

const OrbitViewPlanet g_aOrbitViewPlanets[9] = {
    {"水星", 0.3871, 0.20563, 7.005, 48.331, 29.125, {170, 160, 150}},
    {"金星", 0.72333, 0.00677, 3.395, 76.68, 54.884, {225, 205, 140}},
    {"地球", 1.0, 0.01671, 0.0, 0.0, 102.937, {120, 190, 255}},
    {"火星", 1.52368, 0.0934, 1.85, 49.558, 286.502, {225, 120, 95}},
    {"木星", 5.2026, 0.04849, 1.303, 100.464, 273.867, {215, 170, 120}},
    {"土星", 9.55491, 0.05551, 2.489, 113.666, 339.391, {210, 195, 130}},
    {"天王星", 19.21845, 0.0463, 0.773, 74.006, 96.999, {130, 210, 210}},
    {"海王星", 30.11039, 0.00899, 1.77, 131.784, 276.34, {120, 155, 235}},
    {"冥王星", 39.48168, 0.24881, 17.142, 110.303, 113.763, {190, 165, 195}},
};

double AuToManKm(double au) { return au * kAstronomicalUnitKm / 10000; }

SceneDateTime SceneDateOf(double jd) {
  double y, m, d;
  JdToCalendar(jd, y, m, d);
  const double frac = d - std::floor(d);
  const int minutes = static_cast<int>(frac * 1440);
  return {static_cast<int>(y), static_cast<int>(m), static_cast<int>(std::floor(d)), minutes / 60, minutes % 60};
}

COrbitViewDlg::COrbitViewDlg() { OpenWindows().m_pOrbitViewDlg = this; }

COrbitViewDlg::~COrbitViewDlg() {
  if (OpenWindows().m_pOrbitViewDlg == this) OpenWindows().m_pOrbitViewDlg = nullptr;
}

void COrbitViewDlg::SetObject(double T, double q, double e, double peri, double node, double incl, double epoch,
                              const char* name) {
  SetElements(T, q, e, peri, node, incl);
  m_dEpoch = epoch;
  const std::string newName = name ? name : "";
  if (newName != m_strName) {
    m_strAltTitle.clear();
    m_bShowAltTitle = 0;
  }
  m_strName = newName;
  m_bHasObject = 1;
  m_bObsPositionsDirty = 1;
  m_dImpactJd = 0;
  if (!m_bUserMoved) FitScale();
  Redraw();
}

void COrbitViewDlg::SetAltTitle(const std::string& text) {
  std::string alt(TrimSpace(text));
  if (alt == m_strName) alt.clear();
  if (alt == m_strAltTitle) return;
  m_strAltTitle = alt;
  if (alt.empty()) m_bShowAltTitle = 0;
  Redraw();
}

void COrbitViewDlg::SetObservationTimes(const double* times, int count, int bShow) {
  m_obsTimes.assign(times, times + (times ? std::max(count, 0) : 0));
  m_bShowObsPositions = bShow;
  m_bObsPositionsDirty = 1;
  m_bObsTrackDirty = 1;
  Redraw();
}

void COrbitViewDlg::Clear() {
  GeoTrackBuffer::Instance().Reset();
  m_bHasObject = 0;
  m_strName.clear();
  m_strAltTitle.clear();
  m_bShowAltTitle = 0;
  m_dImpactJd = 0;
  m_obsTimes.clear();
  m_obsPositions.clear();
  m_bObsPositionsDirty = 1;
  m_dMoonCaJd = m_dEarthCaJd = 0;
  m_nMoonCaVersion = m_nEarthCaVersion = ~0u;
  m_bUserMoved = 0;
  m_aSavedView[0].valid = m_aSavedView[1].valid = 0;
  FitScale();
  Redraw();
}

void COrbitViewDlg::SetImpactJd(double jd) {
  m_dImpactJd = jd;
  Redraw();
}

void COrbitViewDlg::ShowOrbit(const DisplayOrbit& orbit, const std::string& altTitle,
                              const std::vector<double>& obsTimes, bool bDrawArc) {
  SetObject(orbit.m_dT, orbit.m_dQ, orbit.m_dE, orbit.m_dPeri, orbit.m_dNode, orbit.m_dIncl,
            orbit.ReferenceTime(), orbit.m_strName.c_str());
  SetAltTitle(altTitle);
  SetObservationTimes(obsTimes.data(), static_cast<int>(obsTimes.size()), bDrawArc ? 1 : 0);
}

void COrbitViewDlg::FitScale() {
  int w = 0, h = 0;
  if (HasWindow()) ClientSize(w, h);
  const bool bEmpty = !HasWindow() || w <= 0 || h <= 0;
  double extent, size;
  if (m_bGeocentric) {
    extent = std::max(kMinGeoExtentAu, GeoTrackBuffer::Instance().MaxAbsCoordinate());
    size = std::min(m_nStereoMode != 0 ? w / 2 : w, h);
  } else {
    extent = 32;
    if (m_bHasObject && m_dQ > 0) {
      extent = m_dE < 1 ? (1 + m_dE) * m_dQ / (1 - m_dE) : 6 * m_dQ + 3;
      extent = std::clamp(extent, 1.5, 80.0);
    }
    size = std::min(w, h);
  }
  if (bEmpty) size = 500;
  m_dScale = 0.42 * size / extent;
  m_dAzimuth = 0;
  m_dElevation = 60;
  m_dPanX = m_dPanY = 0;
}

ScenePoint COrbitViewDlg::Project(double x, double y, double z, double width, double height) const {
  const double ce = std::cos(kObliquityJ2000Rad), se = std::sin(kObliquityJ2000Rad);
  const double xe = x, ye = ce * y + se * z, ze = ce * z - se * y;
  const double a = (m_dSpin + m_dAzimuth) * kRadPerDeg, h = m_dElevation * kRadPerDeg;
  const double sx = (std::cos(a) * xe - std::sin(a) * ye) * m_dScale + width * 0.5 + m_dPanX;
  const double w = std::sin(a) * xe + std::cos(a) * ye;
  const double sy = height * 0.5 + m_dPanY - (std::sin(h) * w + std::cos(h) * ze) * m_dScale;
  return {static_cast<float>(sx), static_cast<float>(sy)};
}

void COrbitViewDlg::ResetView(int scene) {
  m_bUserMoved = 0;
  m_aSavedView[scene].valid = 0;
  FitScale();
  Redraw();
}

void COrbitViewDlg::OnRangeChange(int row) {
  if (row < 0 || row > 6) return;
  const double radius = kGeoTrackRadii[row];
  const double old = g_dGeoTrackRadius;
  g_dGeoTrackRadius = radius;
  if (radius < old) GeoTrackBuffer::Instance().RemoveBeyond(radius);
  ResetView(SceneIndex(m_bGeocentric));
}

void COrbitViewDlg::OnStereoModeChange(int row) {
  if (row < 0 || row > 2) return;
  m_nStereoMode = row;
  m_bUserMoved = 0;
  m_aSavedView[0].valid = m_aSavedView[1].valid = 0;
  FitScale();
  Redraw();
}

void COrbitViewDlg::OnGeocentricCheck(bool bChecked) {
  if (m_bUserMoved) {
    SavedView& v = m_aSavedView[SceneIndex(m_bGeocentric)];
    v = {m_dAzimuth, m_dElevation, m_dScale, m_dPanX, m_dPanY, 1};
  }
  m_bGeocentric = bChecked ? 1 : 0;
  const SavedView& v = m_aSavedView[SceneIndex(m_bGeocentric)];
  if (v.valid) {
    m_dAzimuth = v.azimuth;
    m_dElevation = v.elevation;
    m_dScale = v.scale;
    m_dPanX = v.panX;
    m_dPanY = v.panY;
    m_bUserMoved = 1;
  } else {
    m_bUserMoved = 0;
    FitScale();
  }
  Redraw();
}

void COrbitViewDlg::OnClearTrack() {
  GeoTrackBuffer::Instance().Reset();
  Redraw();
}

bool COrbitViewDlg::OverToggleableTitle(int x, int y) const {
  return !m_strAltTitle.empty() && m_bTitleRectValid &&
         m_rcTitle.Contains(static_cast<float>(x), static_cast<float>(y));
}

bool COrbitViewDlg::OnLeftDown(int x, int y) {
  if (OverToggleableTitle(x, y)) {
    m_bShowAltTitle = !m_bShowAltTitle;
    Redraw();
    return true;
  }
  m_bRotating = 1;
  m_ptRotateLast[0] = x;
  m_ptRotateLast[1] = y;
  return false;
}

void COrbitViewDlg::OnRightDown(int x, int y) {
  m_bPanning = 1;
  m_bPanMoved = 0;
  m_ptPanLast[0] = x;
  m_ptPanLast[1] = y;
}

bool COrbitViewDlg::OnRightUp() {
  const bool bPanned = m_bPanning && m_bPanMoved;
  m_bPanning = 0;
  return !bPanned;
}

void COrbitViewDlg::OnMouseMove(int x, int y) {
  if (m_bPanning) {
    m_bPanMoved = 1;
    m_dPanX += x - m_ptPanLast[0];
    m_dPanY += y - m_ptPanLast[1];
    m_ptPanLast[0] = x;
    m_ptPanLast[1] = y;
    Redraw();
  } else if (m_bRotating) {
    m_dAzimuth += 0.4 * (x - m_ptRotateLast[0]);
    m_dElevation = std::clamp(m_dElevation + 0.4 * (y - m_ptRotateLast[1]), -90.0, 90.0);
    m_ptRotateLast[0] = x;
    m_ptRotateLast[1] = y;
    m_bUserMoved = 1;
    Redraw();
  }
}

void COrbitViewDlg::OnWheel(int delta) {
  m_dScale = std::clamp(delta > 0 ? m_dScale * 1.2 : m_dScale / 1.2, kMinScale, kMaxScale);
  m_bUserMoved = 1;
  Redraw();
}

void COrbitViewDlg::OnLeftDoubleClick() { ResetView(SceneIndex(m_bGeocentric)); }

bool COrbitViewDlg::KeplerPosition(double t, const double P[3], const double Q[3], double pos[3]) const {
  const double q = m_dQ, e = m_dE;
  if (!(q > 0)) return false;
  bool bNearParabolic = e > 0.97;
  if (e <= 0.97) {
    const double a = q / (1 - e);
    double M = std::fmod(kGaussK / std::pow(a, 1.5) * (t - m_dT), kTwoPi);
    if (M <= 0) M += kTwoPi;
    double E = M, prev = 0;
    bool settled = false;
    for (int i = 0; i < 10000; ++i) {
      E = M + e * std::sin(E);
      const double corr = E - M;
      if (i > 0 && std::fabs(corr - prev) < 1e-14) {
        settled = true;
        break;
      }
      prev = corr;
    }
    if (settled) {
      const double x = a * (std::cos(E) - e), y = a * std::sqrt(1 - e * e) * std::sin(E);
      for (int k = 0; k < 3; ++k) pos[k] = x * P[k] + y * Q[k];
      return true;
    }
    bNearParabolic = true;
  }
  if (e > 1.2) return PropagateUniversal(t - m_dT, q, e, P, Q, pos, nullptr) == 0;
  if (bNearParabolic && NearParabolicPosition(t - m_dT, q, e, P, Q, pos)) return true;
  return PropagateUniversal(t - m_dT, q, e, P, Q, pos, nullptr) == 0;
}

std::vector<int> COrbitViewDlg::ObservedPositionIndices(int n) {
  std::vector<int> idx;
  if (n <= 0) return idx;
  const int s = std::max(1, (n + 1999) / 2000);
  for (int i = 0; i < n; i += s) idx.push_back(i);
  if (s > 1 && n > 1 && (n - 1) % s != 0) idx.push_back(n - 1);
  return idx;
}

double COrbitViewDlg::MeasureSunDiskFraction(const unsigned char* rgbRow, int width) {
  const int half = width / 2;
  for (int x = 0; x < half; ++x) {
    const unsigned char* p = rgbRow + 3 * x;
    if (p[0] + p[1] + p[2] > 90) return static_cast<double>(half - x) / half;
  }
  return 0.9;
}

int COrbitViewDlg::FindEarthApproach() {
  const GeoTrackBuffer& tr = GeoTrackBuffer::Instance();
  m_dEarthCaJd = 0;
  m_dEarthCaDist = 0;
  m_nEarthCaVersion = tr.m_nVersion;
  const int n = tr.m_nCount;
  if (n <= 0) return 0;
  int best = 0;
  double bestD2 = 0;
  for (int i = 0; i < n; ++i) {
    const double* p = tr.m_pPositions[i];
    const double d2 = p[0] * p[0] + p[1] * p[1] + p[2] * p[2];
    if (i == 0 || d2 < bestD2) {
      bestD2 = d2;
      best = i;
    }
  }
  m_dEarthCaJd = tr.m_pTimes[best];
  for (int k = 0; k < 3; ++k) m_vEarthCaPos[k] = tr.m_pPositions[best][k];
  m_dEarthCaDist = std::sqrt(bestD2);
  // The nearest point on the segments to the neighbours of one run, a day apart at most.
  for (const int other : {best - 1, best + 1}) {
    if (other < 0 || other >= n || tr.m_pSegments[other] != tr.m_pSegments[best]) continue;
    const int i0 = std::min(best, other), i1 = std::max(best, other);
    const double t0 = tr.m_pTimes[i0], t1 = tr.m_pTimes[i1];
    if (std::fabs(t1 - t0) > 1) continue;
    const double* P0 = tr.m_pPositions[i0];
    const double* P1 = tr.m_pPositions[i1];
    const double d[3] = {P1[0] - P0[0], P1[1] - P0[1], P1[2] - P0[2]};
    const double dd = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    double u = dd > 0 ? -(P0[0] * d[0] + P0[1] * d[1] + P0[2] * d[2]) / dd : 0;
    u = std::clamp(u, 0.0, 1.0);
    const double p[3] = {P0[0] + u * d[0], P0[1] + u * d[1], P0[2] + u * d[2]};
    const double dist = Norm(p);
    if (dist < m_dEarthCaDist) {
      m_dEarthCaDist = dist;
      m_dEarthCaJd = t0 + u * (t1 - t0);
      for (int k = 0; k < 3; ++k) m_vEarthCaPos[k] = p[k];
    }
  }
  return 1;
}

namespace {

bool MoonAt(double t, double moon[3]) {
  if (!g_pJplEph || !g_pJplEph->IsOpen() || t < g_dJplStart || t >= g_dJplEnd) return false;
  return JplPosition(t, 10, 3, moon) == 0;
}

} // namespace

int COrbitViewDlg::FindMoonApproach() {
  const GeoTrackBuffer& tr = GeoTrackBuffer::Instance();
  m_dMoonCaJd = 0;
  m_dMoonCaDist = 0;
  m_nMoonCaVersion = tr.m_nVersion;
  const int n = tr.m_nCount;
  if (!g_pJplEph || !g_pJplEph->IsOpen() || n <= 0) return 0;
  int best = -1;
  for (int i = 0; i < n; ++i) {
    double moon[3];
    if (!MoonAt(tr.m_pTimes[i], moon)) continue;
    const double d = std::sqrt(Dist2(tr.m_pPositions[i], moon));
    if (best < 0 || d < m_dMoonCaDist) {
      best = i;
      m_dMoonCaDist = d;
      m_dMoonCaJd = tr.m_pTimes[i];
      for (int k = 0; k < 3; ++k) {
        m_vMoonCaMoon[k] = moon[k];
        m_vMoonCaObject[k] = tr.m_pPositions[i][k];
      }
    }
  }
  if (best < 0) return 0;
  const double tb = tr.m_pTimes[best];
  double A = tb, D = tb;
  const bool bPrev = best > 0 && tr.m_pSegments[best - 1] == tr.m_pSegments[best] &&
                     tb - tr.m_pTimes[best - 1] > 0 && tb - tr.m_pTimes[best - 1] < 1;
  const bool bNext = best + 1 < n && tr.m_pSegments[best + 1] == tr.m_pSegments[best] &&
                     tr.m_pTimes[best + 1] - tb > 0 && tr.m_pTimes[best + 1] - tb < 1;
  if (bPrev) A = tr.m_pTimes[best - 1];
  if (bNext) D = tr.m_pTimes[best + 1];
  if (A >= D) return 1;
  for (int j = 0; j <= 40; ++j) {
    const double K = A + (D - A) * j / 40;
    const int i0 = K <= tb ? best - 1 : best;
    const int i1 = i0 + 1;
    if ((i0 == best - 1 && !bPrev) || (i0 == best && !bNext)) continue;
    const double f = (K - tr.m_pTimes[i0]) / (tr.m_pTimes[i1] - tr.m_pTimes[i0]);
    double obj[3], moon[3];
    for (int k = 0; k < 3; ++k) obj[k] = tr.m_pPositions[i0][k] + f * (tr.m_pPositions[i1][k] - tr.m_pPositions[i0][k]);
    if (!MoonAt(K, moon)) continue;
    const double d = std::sqrt(Dist2(obj, moon));
    if (d < m_dMoonCaDist) {
      m_dMoonCaDist = d;
      m_dMoonCaJd = K;
      for (int k = 0; k < 3; ++k) {
        m_vMoonCaMoon[k] = moon[k];
        m_vMoonCaObject[k] = obj[k];
      }
    }
  }
  return 1;
}

void COrbitViewDlg::UpdateObsTrackPoints() {
  const GeoTrackBuffer& tr = GeoTrackBuffer::Instance();
  m_obsTrackPoints.clear();
  m_nObsTrackVersion = tr.m_nVersion;
  m_bObsTrackDirty = 0;
  const int n = tr.m_nCount;
  if (m_obsTimes.empty() || n < 2) return;
  std::vector<double> times(m_obsTimes);
  std::sort(times.begin(), times.end());
  std::vector<std::array<double, 3>> slot(times.size());
  std::vector<char> found(times.size(), 0);
  for (int i = 1; i < n; ++i) {
    if (tr.m_pSegments[i] != tr.m_pSegments[i - 1]) continue;
    const double ta = tr.m_pTimes[i - 1], tb = tr.m_pTimes[i];
    if (ta == tb || std::fabs(tb - ta) >= 10) continue;
    const double lo = std::min(ta, tb), hi = std::max(ta, tb);
    for (auto it = std::lower_bound(times.begin(), times.end(), lo); it != times.end() && *it <= hi; ++it) {
      const size_t k = static_cast<size_t>(it - times.begin());
      const double f = (*it - ta) / (tb - ta);
      for (int c = 0; c < 3; ++c)
        slot[k][c] = tr.m_pPositions[i - 1][c] + (tr.m_pPositions[i][c] - tr.m_pPositions[i - 1][c]) * f;
      found[k] = 1;
    }
  }
  for (size_t k = 0; k < times.size(); ++k)
    if (found[k]) m_obsTrackPoints.push_back(slot[k]);
}

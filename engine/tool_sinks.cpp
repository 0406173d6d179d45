#include "engine/tool_sinks.h"

#include "astro/time_scales.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

double g_dGeoTrackRadius = 0.05;
int g_bKeepGeoTrack = 0;

GeoTrackBuffer::~GeoTrackBuffer() { Reset(); }

GeoTrackBuffer& GeoTrackBuffer::Instance() {
  static GeoTrackBuffer buffer;
  return buffer;
}

void GeoTrackBuffer::Append(double t, const double pos[3]) {
  // Called at every force evaluation: one comparison for a point outside the radius.
  if (pos[0] * pos[0] + pos[1] * pos[1] + pos[2] * pos[2] > g_dGeoTrackRadius * g_dGeoTrackRadius) return;
  if (m_nStride > 1) {
    if (++m_nSkip < m_nStride) return;
    m_nSkip = 0;
  }
  if (m_nCount >= m_nCapacity) {
    if (m_nCapacity >= kMaxPoints) {
      // Full: keep every second point, so the record stays spread over the whole run.
      int kept = 0;
      for (int i = 0; i < m_nCount; i += 2, ++kept) {
        m_pPositions[kept][0] = m_pPositions[i][0];
        m_pPositions[kept][1] = m_pPositions[i][1];
        m_pPositions[kept][2] = m_pPositions[i][2];
        m_pTimes[kept] = m_pTimes[i];
        m_pSegments[kept] = m_pSegments[i];
      }
      m_nCount = kept;
      m_nStride *= 2;
      m_nSkip = 0;
    } else {
      const int newCapacity = m_nCapacity == 0 ? kInitialCapacity : std::min(2 * m_nCapacity, kMaxPoints);
      void* p = std::realloc(m_pPositions, sizeof(double[3]) * newCapacity);
      if (!p) return;
      m_pPositions = static_cast<double(*)[3]>(p);
      p = std::realloc(m_pTimes, sizeof(double) * newCapacity);
      if (!p) return;
      m_pTimes = static_cast<double*>(p);
      p = std::realloc(m_pSegments, sizeof(int32_t) * newCapacity);
      if (!p) return;
      m_pSegments = static_cast<int32_t*>(p);
      m_nCapacity = newCapacity;
    }
  }
  m_pPositions[m_nCount][0] = pos[0];
  m_pPositions[m_nCount][1] = pos[1];
  m_pPositions[m_nCount][2] = pos[2];
  m_pTimes[m_nCount] = t;
  m_pSegments[m_nCount] = m_nSegment;
  ++m_nCount;
  ++m_nVersion;
}

void GeoTrackBuffer::Reset() {
  std::free(m_pPositions);
  std::free(m_pTimes);
  std::free(m_pSegments);
  m_pPositions = nullptr;
  m_pTimes = nullptr;
  m_pSegments = nullptr;
  m_nCount = 0;
  m_nCapacity = 0;
  m_nStride = 1;
  m_nSkip = 0;
  ++m_nVersion;
}

void GeoTrackBuffer::RemoveBeyond(double radius) {
  const double r2 = radius * radius;
  int kept = 0;
  for (int i = 0; i < m_nCount; ++i) {
    const double* p = m_pPositions[i];
    if (p[0] * p[0] + p[1] * p[1] + p[2] * p[2] > r2) continue;
    if (kept != i) {
      m_pPositions[kept][0] = p[0];
      m_pPositions[kept][1] = p[1];
      m_pPositions[kept][2] = p[2];
      m_pTimes[kept] = m_pTimes[i];
      m_pSegments[kept] = m_pSegments[i];
    }
    ++kept;
  }
  m_nCount = kept;
  ++m_nVersion;
}

double GeoTrackBuffer::MaxAbsCoordinate() const {
  double m = 0.0;
  for (int i = 0; i < m_nCount; ++i)
    for (int c = 0; c < 3; ++c) m = std::max(m, std::fabs(m_pPositions[i][c]));
  return m;
}

int GeoTrackBuffer::TimeRange(double& first, double& last) const {
  if (m_nCount <= 0) return 0;
  double lo = m_pTimes[0], hi = m_pTimes[0];
  for (int i = 1; i < m_nCount; ++i) {
    lo = std::min(lo, m_pTimes[i]);
    hi = std::max(hi, m_pTimes[i]);
  }
  first = lo;
  last = hi;
  return 1;
}

// ---- tool windows ----

namespace {

ToolWindowSinks* g_pToolSinks = nullptr;

HeadlessToolSinks& DefaultToolSinks() {
  static HeadlessToolSinks sinks;
  return sinks;
}

std::string TrimBlanks(const std::string& text) {
  const size_t b = text.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  const size_t e = text.find_last_not_of(" \t\r\n");
  return text.substr(b, e - b + 1);
}

}  // namespace

ToolWindowSinks& ToolSinks() { return g_pToolSinks ? *g_pToolSinks : DefaultToolSinks(); }

void SetToolSinks(ToolWindowSinks* sinks) { g_pToolSinks = sinks; }

void HeadlessGlobe::SetBody(int body) {
  if (body < 0 || body > 9 || body == m_nBody) return;
  m_nBody = body;
}

void HeadlessGlobe::SetOrbitElements(double T, double q, double e, double peri, double node, double incl) {
  const double el[6] = {T, q, e, peri, node, incl};
  std::copy(el, el + 6, m_orbit);
}

void HeadlessGlobe::ClearCloneTracks() {
  m_cloneClosest.clear();
  m_cloneTracks.clear();
}

void HeadlessGlobe::AddTrackPoint(double latDeg, double lonDeg, double distKm, double jd) {
  const PathPoint p{latDeg, lonDeg, distKm, jd};
  auto at = std::upper_bound(m_path.begin(), m_path.end(), jd,
                             [](double t, const PathPoint& q) { return t < q.jd; });
  m_path.insert(at, p);
}

void HeadlessGlobe::SetCaption(const std::string& text) { m_strCaption = TrimBlanks(text); }

void HeadlessGlobe::SetMarker(int bOn, double latDeg, double lonDeg, uint32_t colour, const std::string& text) {
  m_bMarker = bOn;
  m_dMarkerLat = latDeg;
  m_dMarkerLon = lonDeg;
  m_crMarker = colour;
  m_strMarker = text;
}

void HeadlessGlobe::SetSubSolar(int bOn, double latDeg, double lonDeg) {
  m_bSubSolar = bOn;
  m_dSubSolarLat = latDeg;
  m_dSubSolarLon = lonDeg;
}

void HeadlessGlobe::SetApex(int bOn, double latDeg, double lonDeg) {
  m_bApex = bOn;
  m_dApexLat = latDeg;
  m_dApexLon = lonDeg;
}

void HeadlessGlobe::SetSubEarth(int bOn, double latDeg, double lonDeg) {
  m_bSubEarth = bOn;
  m_dSubEarthLat = latDeg;
  m_dSubEarthLon = lonDeg;
}

void HeadlessGlobe::AddCloneImpact(double latDeg, double lonDeg) { m_cloneImpacts.push_back({latDeg, lonDeg, 0, 0}); }

void HeadlessGlobe::AddCloneClosest(double latDeg, double lonDeg, double distKm) {
  m_cloneClosest.push_back({latDeg, lonDeg, distKm, 0});
}

void HeadlessGlobe::ResetContents() {
  const bool shown = m_bShown;
  const int body = m_nBody;
  *this = HeadlessGlobe();
  m_bShown = shown;
  m_nBody = body;
}

void HeadlessOrbitDiagram::ShowOrbit(const DisplayOrbit& orbit, const std::string& altTitle,
                                     const std::vector<double>& obsTimes, bool bDrawArc) {
  m_orbit = orbit;
  m_strAltTitle = altTitle;
  m_obsTimes = obsTimes;
  m_bDrawArc = bDrawArc;
  m_dImpactJd = 0;
  ++m_nShown;
}

void HeadlessOrbitDiagram::ResetContents() {
  m_orbit = DisplayOrbit();
  m_strAltTitle.clear();
  m_obsTimes.clear();
  m_bDrawArc = false;
  m_dImpactJd = 0;
}

namespace {

void Record(HeadlessHandOver& got, double T, double q, double e, double peri, double node, double incl,
            const std::string& name, double h, double gk, int bAsteroid) {
  const double orbit[6] = {T, q, e, peri, node, incl};
  std::copy(orbit, orbit + 6, got.m_orbit);
  got.m_strName = name;
  got.m_dH = h;
  got.m_dGK = gk;
  got.m_bAsteroid = bAsteroid;
  ++got.m_nShown;
}

}  // namespace

void HeadlessMagCurve::SetObject(double T, double q, double e, double peri, double node, double incl,
                                 const std::string& name, double h, double gk, int bAsteroid) {
  Record(m_got, T, q, e, peri, node, incl, name, h, gk, bAsteroid);
}

void HeadlessVisibilityChart::SetStartDate(double jd) {
  if (jd > 0) m_got.m_dStartJd = jd;
}

void HeadlessVisibilityChart::SetObject(double T, double q, double e, double peri, double node, double incl,
                                        const std::string& name, double h, double gk, int bAsteroid) {
  Record(m_got, T, q, e, peri, node, incl, name, h, gk, bAsteroid);
}

void HeadlessSearchRange::SetObject(const std::string& name, double T, double q, double e, double peri,
                                    double node, double incl, double H, double K) {
  Record(m_got, T, q, e, peri, node, incl, name, H, K, H == 0 ? 1 : 0);
}

SearchRangeFamily MakeSearchRangeFamily(const std::string& name, const VaisalaCandidate* family, int count, int best,
                                        double lastObsTT) {
  SearchRangeFamily f;
  f.m_strName = TrimBlanks(name);
  const int n = std::clamp(count, 0, SearchRangeFamily::kMaxFamily);
  if (family) f.m_family.assign(family, family + n);
  f.m_nBest = (best >= 0 && best < n) ? best : 0;
  f.m_bValid = n > 0 ? 1 : 0;
  if (lastObsTT > 0) {
    double y, m, d;
    JdToCalendar(lastObsTT + 1.0, y, m, d);
    f.m_nYear = static_cast<int>(y);
    f.m_nMonth = static_cast<int>(m);
    f.m_nDay = static_cast<int>(d);
  }
  return f;
}

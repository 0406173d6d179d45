#include "astro/impact_tracker.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>

#include "astro/angle_units.h"
#include "astro/body_rotation.h"
#include "astro/constants.h"
#include "astro/jpl_eph.h"
#include "astro/time_scales.h"
#include "platform/numbers.h"

const double kImpactBodyRadiusKm[kBodyCount] = {
    2439.7,    // 0 Mercury
    6051.8,    // 1 Venus
    kEarthEquatorialRadiusKm,  // 2 Earth
    3396.2,    // 3 Mars
    71492.0,   // 4 Jupiter
    60268.0,   // 5 Saturn
    25559.0,   // 6 Uranus
    24764.0,   // 7 Neptune
    1188.3,    // 8 Pluto
    1737.4,    // 9 Moon
};

const char* const kImpactBodyNames[kBodyCount] = {"水星", "金星", "地球", "火星", "木星",
                                                 "土星", "天王星", "海王星", "冥王星", "月"};

namespace {

constexpr double kKmPerAu = kAstronomicalUnitKm;
constexpr double kEarthRadiusKm = kEarthEquatorialRadiusKm;
constexpr double kEarthCaptureMarginKm = 100.0;  // the atmosphere
constexpr double kTrackWindowRadii = 60.268;     // about the Moon's distance for the Earth

bool ValidBody(int body) { return body >= 0 && body < kBodyCount; }

double Length(const double v[3]) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

void SubPointDeg(int body, double jdTT, const double v[3], double& latDeg, double& lonDeg) {
  double lat, lon;
  PlanetRotationSubPoint(body, jdTT, v[0], v[1], v[2], lat, lon);
  latDeg = lat * kDegPerRad;
  lonDeg = lon * kDegPerRad;
}

}  // namespace

double ImpactTracker::CaptureDistanceAu() const {
  if (!ValidBody(m_nBody)) return 0.0;
  const double r = kImpactBodyRadiusKm[m_nBody];
  return (m_nBody == kBodyEarth ? r + kEarthCaptureMarginKm : r) / kKmPerAu;
}

double ImpactTracker::TrackWindowAu() const {
  return ValidBody(m_nBody) ? kTrackWindowRadii * kImpactBodyRadiusKm[m_nBody] / kKmPerAu : 0.0;
}

void ImpactTracker::Step(double jdTT, double distAu, const double relAu[3]) {
  if (m_bHit) return;
  if (distAu > CaptureDistanceAu() && distAu <= TrackWindowAu()) AddTrackPoint(jdTT, relAu);

  // A recomputed step replaces its sample.
  if (m_last.present && m_last.jdTT == jdTT) {
    m_last.distAu = distAu;
    std::copy(relAu, relAu + 3, m_last.relAu);
    return;
  }
  if (m_last.present && m_prev.present && TestSegment(m_prev, m_last)) return;
  m_prev = m_last;
  m_last = {jdTT, distAu, {relAu[0], relAu[1], relAu[2]}, 1};
}

void ImpactTracker::FinishRun() {
  if (!m_bHit && m_last.present && m_prev.present) TestSegment(m_prev, m_last);
}

bool ImpactTracker::TestSegment(const ImpactSample& a, const ImpactSample& b) {
  const double capture = CaptureDistanceAu();
  if (!(a.distAu > capture)) return false;
  return b.distAu <= capture ? CrossingTest(a, b) : ClosestPointTest(a, b);
}

bool ImpactTracker::CrossingTest(const ImpactSample& a, const ImpactSample& b) {
  const double capture = CaptureDistanceAu();
  // Where the straight segment meets the capture sphere: the distance is not
  // linear in time along an oblique chord (samples thousands of km apart put
  // a linear crossing hundreds of km off).
  double D[3];
  for (int i = 0; i < 3; ++i) D[i] = b.relAu[i] - a.relAu[i];
  const double dd = D[0] * D[0] + D[1] * D[1] + D[2] * D[2];
  const double ad = a.relAu[0] * D[0] + a.relAu[1] * D[1] + a.relAu[2] * D[2];
  const double c = Length(a.relAu) * Length(a.relAu) - capture * capture;
  const double disc = ad * ad - dd * c;
  double f = -1.0;
  if (dd > 0.0 && disc >= 0.0) f = (-ad - std::sqrt(disc)) / dd;
  if (!(f >= 0.0 && f <= 1.0)) {
    // Distances that do not match the positions: interpolate the distance.
    f = a.distAu == b.distAu ? 0.0 : (a.distAu - capture) / (a.distAu - b.distAu);
    f = std::clamp(f, 0.0, 1.0);
  }
  double point[3];
  for (int i = 0; i < 3; ++i) point[i] = a.relAu[i] + f * D[i];
  RecordHit(a.jdTT + f * (b.jdTT - a.jdTT), point, Length(point) * kKmPerAu, a, b, kImpactModeCrossing);
  return true;
}

bool ImpactTracker::ClosestPointTest(const ImpactSample& a, const ImpactSample& b) {
  double D[3];
  for (int i = 0; i < 3; ++i) D[i] = b.relAu[i] - a.relAu[i];
  const double dd = D[0] * D[0] + D[1] * D[1] + D[2] * D[2];
  if (!(dd > 0.0)) return false;
  const double s = -(a.relAu[0] * D[0] + a.relAu[1] * D[1] + a.relAu[2] * D[2]) / dd;
  if (!(s > 0.0 && s < 1.0)) return false;
  double C[3];
  for (int i = 0; i < 3; ++i) C[i] = a.relAu[i] + s * D[i];
  const double dist = Length(C);
  if (!(dist <= CaptureDistanceAu())) return false;
  RecordHit(a.jdTT + s * (b.jdTT - a.jdTT), C, dist * kKmPerAu, a, b, kImpactModeClosest);
  return true;
}

void ImpactTracker::RecordHit(double jdTT, const double point[3], double distKm, const ImpactSample& a,
                              const ImpactSample& b, int mode) {
  m_dHitJd = jdTT;
  m_dHitDistKm = distKm;
  PlanetRotationSubPoint(m_nBody, jdTT, point[0], point[1], point[2], m_dLat, m_dLon);
  const double interval = std::fabs(b.jdTT - a.jdTT);
  double D[3];
  for (int i = 0; i < 3; ++i) D[i] = b.relAu[i] - a.relAu[i];
  m_dSpeedKmS = interval == 0.0 ? 0.0 : Length(D) * kKmPerAu / (interval * 86400.0);
  m_dSampleInterval = interval;
  m_nMode = mode;
  AddTrackPoint(jdTT, point);
  TrimTrack();
  m_bHit = 1;
}

void ImpactTracker::AddTrackPoint(double jdTT, const double relAu[3]) {
  if (m_nDirection == 0 && !m_track.empty()) {
    if (m_track.back().jdTT == jdTT)
      m_track.pop_back();
    else
      m_nDirection = jdTT > m_track.back().jdTT ? 1 : -1;
  }
  if (m_nDirection > 0)
    while (!m_track.empty() && m_track.back().jdTT >= jdTT) m_track.pop_back();
  else if (m_nDirection < 0)
    while (!m_track.empty() && m_track.back().jdTT <= jdTT) m_track.pop_back();

  if (m_track.size() == m_track.capacity()) {
    try {
      m_track.reserve(m_track.capacity() == 0 ? 64 : 2 * m_track.capacity());
    } catch (const std::bad_alloc&) {
      return;  // the point is dropped, the run goes on
    } catch (const std::length_error&) {
      return;
    }
  }
  ImpactTrackPoint p;
  SubPointDeg(m_nBody, jdTT, relAu, p.latDeg, p.lonDeg);
  p.distKm = Length(relAu) * kKmPerAu;
  p.jdTT = jdTT;
  m_track.push_back(p);
}

void ImpactTracker::TrimTrack() {
  const double radius = ValidBody(m_nBody) ? kImpactBodyRadiusKm[m_nBody] : kEarthRadiusKm;
  const double keepHours = std::max(24.0, 24.0 * radius / kEarthRadiusKm);
  const double from = m_dHitJd - keepHours / 24.0;
  std::erase_if(m_track, [from](const ImpactTrackPoint& p) { return !(p.jdTT >= from); });
}

double ImpactTracker::ClosestApproachTime() const {
  if (m_bHit) return m_dHitJd;
  const ImpactTrackPoint* best = nullptr;
  for (const ImpactTrackPoint& p : m_track)
    if (!best || p.distKm < best->distKm) best = &p;
  return best ? best->jdTT : 0.0;
}

// The Sun relative to the body at jdTT: for the Earth the geocentric Sun, for
// the others the planetary file.
bool ImpactTracker::SunFromBody(double jdTT, double sun[3]) const {
  if (!ValidBody(m_nBody)) return false;
  if (m_nBody == kBodyEarth) {
    double ofDate[3], lambda, beta, dist;
    GeocentricSun(jdTT, sun, ofDate, lambda, beta, dist);
    return dist > 0.0;  // zero without a planetary file covering jdTT
  }
  if (!g_pJplEph || !g_pJplEph->IsOpen()) return false;
  return JplPosition(jdTT, kJplSun, m_nBody + 1, sun) == 0;
}

void ImpactTracker::SubSolarPoint(double& latDeg, double& lonDeg) const {
  latDeg = lonDeg = 0.0;
  const double t = ClosestApproachTime();
  double sun[3];
  if (SunFromBody(t, sun)) SubPointDeg(m_nBody, t, sun, latDeg, lonDeg);
}

void ImpactTracker::ApexSubPoint(double& latDeg, double& lonDeg) const {
  latDeg = lonDeg = 0.0;
  const double t = ClosestApproachTime();
  double s1[3], s2[3];
  if (!SunFromBody(t, s1) || !SunFromBody(t + 0.02, s2)) return;
  // The Sun's apparent motion reversed is the body's heliocentric motion.
  double dir[3] = {-(s2[0] - s1[0]), -(s2[1] - s1[1]), -(s2[2] - s1[2])};
  const double len = Length(dir);
  if (!(len > 0.0)) return;
  for (double& c : dir) c /= len;
  SubPointDeg(m_nBody, t, dir, latDeg, lonDeg);
}

void ImpactTracker::FormatTimeUtc(std::string& text) const {
  const double ut = DeltaT(kDeltaTTtToUt, m_dHitJd);
  double year, month, day;
  JdToCalendar(ut, year, month, day);
  const double whole = std::floor(day);
  const double hours = (day - whole) * 24.0;
  double hour = std::floor(hours);
  double minute = (hours - hour) * 60.0;
  day = whole;
  CarryDateTime(year, month, day, hour, minute);
  text = FormatC("%4d/%2d/%2d %2d:%02d UTC", static_cast<int>(year), static_cast<int>(month),
                 static_cast<int>(day), static_cast<int>(hour), static_cast<int>(minute));
}

void ImpactTracker::FormatReport(std::string& text) const {
  text.clear();
  if (!m_bHit) return;
  const char* name = ValidBody(m_nBody) ? kImpactBodyNames[m_nBody] : "?";
  std::string when;
  FormatTimeUtc(when);
  const double latDeg = m_dLat * kDegPerRad, lonDeg = m_dLon * kDegPerRad;
  text = FormatC("【%s衝突を検出】 %s\r\n  衝突点の緯度: %+.3f°\r\n", name, when.c_str(), latDeg);
  if (m_nBody == kBodyJupiter || m_nBody == kBodySaturn) {
    double west = std::fmod(360.0 - lonDeg, 360.0);
    if (west < 0.0) west += 360.0;
    text += FormatC("  衝突点の経度: %+.3f° (体系III西経 %.3f°W)\r\n", lonDeg, west);
  } else {
    text += FormatC("  衝突点の経度: %+.3f°\r\n", lonDeg);
  }
  text += FormatC("  突入速度(%sとの相対速度): %.2f Km/s\r\n  検出方式: %s (サンプル間隔 %.1f 秒)\r\n", name,
                  m_dSpeedKmS, m_nMode == kImpactModeCrossing ? "閾値通過" : "サンプル間最接近",
                  m_dSampleInterval * 86400.0);
  if (m_nDirection == -1)
    text +=
        "  ※過去方向の積分中の検出です。位置・時刻の信頼性が低いため、\r\n"
        "    元期を衝突より前に置いた未来方向の計算で確認してください。\r\n";
}

ImpactTrackerSet::ImpactTrackerSet() {
  for (int i = 0; i < kBodyCount; ++i) m_trackers[i].m_nBody = i;
}

int ImpactTrackerSet::AnyHit() const {
  for (const ImpactTracker& t : m_trackers)
    if (t.m_bHit) return 1;
  return 0;
}

int ImpactTrackerSet::FirstHitOrClosest() const {
  int best = -1;
  for (int i = 0; i < kBodyCount; ++i)
    if (m_trackers[i].m_bHit && (best < 0 || m_trackers[i].m_dHitJd < m_trackers[best].m_dHitJd)) best = i;
  if (best >= 0) return best;

  double bestQuotient = 9e9;
  for (int i = 0; i < kBodyCount; ++i) {
    for (const ImpactTrackPoint& p : m_trackers[i].m_track) {
      const double quotient = p.distKm / kImpactBodyRadiusKm[i];
      if (quotient < bestQuotient) {
        bestQuotient = quotient;
        best = i;
      }
    }
  }
  return best >= 0 ? best : kBodyEarth;
}

void ImpactTrackerSet::FinishRun() {
  for (ImpactTracker& t : m_trackers) t.FinishRun();
}

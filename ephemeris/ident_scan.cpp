#include "ephemeris/ident_scan.h"

#include <cmath>
#include <cstring>
#include <string>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/frames.h"
#include "data/element_file.h"
#include "data/element_record.h"
#include "data/observation_record.h"
#include "platform/text_util.h"

namespace {

// Observations this far from the reference still span the motion of a many-tracklet query.
constexpr double kMotionSpanDays = 3.0;
// A shorter span leaves the motion test off.
constexpr double kShortestMotionSpan = 0.003;

// Into (-π, π].
double WrapPi(double x) {
  x = std::fmod(x, kTwoPi);
  if (x > kPi) x -= kTwoPi;
  if (x <= -kPi) x += kTwoPi;
  return x;
}

bool StopAsked(const std::atomic<int>* cancel) { return cancel && cancel->load(std::memory_order_relaxed) != 0; }

void CopyText(char* dst, size_t size, std::string_view text, size_t chars) {
  const std::string_view cut = Utf8Prefix(TrimSpace(text), chars);
  const size_t n = std::min(cut.size(), size - 1);
  std::memcpy(dst, cut.data(), n);
  dst[n] = '\0';
}

// Observed motion (degrees/day) between observations i and j of the slice.
void SetObservedMotion(ScanSlice* s, int first, int last) {
  s->m_nFirst = first;
  s->m_nLast = last;
  const ObservationRecord& a = s->m_pObs[first];
  const ObservationRecord& b = s->m_pObs[last];
  const double dt = b.m_dJdTt - a.m_dJdTt;
  if (dt < kShortestMotionSpan) return;
  s->m_dMotionRa = std::cos(a.m_dDec) * WrapPi(b.m_dRa - a.m_dRa) * kDegPerRad / dt;
  s->m_dMotionDec = (b.m_dDec - a.m_dDec) * kDegPerRad / dt;
  s->m_dMotionTotal = std::hypot(s->m_dMotionRa, s->m_dMotionDec);
}

void BeginSlice(ScanSlice* s, const ObservationRecord* obs, int count, double pathWindowRad, double crossWindowRad,
                double magTolerance, const std::atomic<int>* cancel) {
  *s = ScanSlice{};
  s->m_pObs = obs;
  s->m_nObs = count;
  s->m_nRef = count / 2;
  s->m_dPathWindow = pathWindowRad;
  s->m_dCrossWindow = crossWindowRad;
  s->m_dMagTolerance = magTolerance;
  s->m_pCancel = cancel;
  if (count < 1) return;
  double sum = 0;
  int n = 0;
  for (int i = 0; i < count; ++i)
    if (obs[i].m_dMag > 0) {
      sum += obs[i].m_dMag;
      ++n;
    }
  s->m_dMeanMag = n > 0 ? sum / n : 0.0;
}

}  // namespace

int TwoBodyPositionLightTime(double jdT, double qAu, double e, const double P[3], const double Q[3], double jdTT,
                             const double sunAu[3], int passes, double& raRad, double& decRad, double& deltaAu,
                             double& rAu) {
  const double a = qAu / (1.0 - e);
  if (!(a > 0.0) || e < 0.0) return 0;
  const double b = a * std::sqrt(1.0 - e * e);
  const double n = kGaussK / std::pow(a, 1.5);
  double distance = 0, x[3] = {0, 0, 0}, r = 0;
  for (int pass = 0; pass <= passes; ++pass) {
    const double M = WrapPi((jdTT - distance * kLightTimeDaysPerAu - jdT) * n);
    double E = M + 0.85 * e * (std::sin(M) >= 0 ? 1.0 : -1.0);
    bool converged = false;
    for (int i = 0; i < 60; ++i) {
      const double d = 1.0 - e * std::cos(E);
      if (std::fabs(d) < 1e-12) return 0;
      const double step = (E - e * std::sin(E) - M) / d;
      E -= step;
      if (std::fabs(step) < 1e-12) {
        converged = true;
        break;
      }
    }
    if (!converged) return 0;
    const double cosE = std::cos(E), sinE = std::sin(E);
    r = a * (1.0 - e * cosE);
    for (int k = 0; k < 3; ++k) x[k] = a * (cosE - e) * P[k] + b * sinE * Q[k] + sunAu[k];
    distance = std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]);
  }
  raRad = std::atan2(x[1], x[0]);
  if (raRad < 0) raRad += kTwoPi;
  decRad = std::atan2(x[2], std::sqrt(x[0] * x[0] + x[1] * x[1]));
  deltaAu = distance;
  rAu = r;
  return 1;
}

bool PrepareScanRecord(const ElementRecord& r, double& jdT, double P[3], double Q[3]) {
  if (!(r.m_dA > 0.0) || !(r.m_dE >= 0.0) || !(r.m_dE < 1.0) || !(r.m_dQ > 0.0) || !(r.m_dEpoch > 0.0)) return false;
  OrbitOrientationVectors(r.m_dPeri * kRadPerDeg, r.m_dNode * kRadPerDeg, r.m_dIncl * kRadPerDeg, P, Q);
  const double n = kGaussK / std::pow(r.m_dA, 1.5);
  jdT = r.m_dEpoch - r.m_dM * kRadPerDeg / n;
  return true;
}

double PredictedMagnitudeHG(double H, double G, double rAu, double deltaAu, double sunObserverAu) {
  double cosBeta = (rAu * rAu + deltaAu * deltaAu - sunObserverAu * sunObserverAu) / (2.0 * rAu * deltaAu);
  cosBeta = std::fmax(-1.0, std::fmin(1.0, cosBeta));
  const double tau = std::tan(std::acos(cosBeta) / 2.0);
  double phi = (1.0 - G) * std::exp(-3.33 * std::pow(tau, 0.63)) + G * std::exp(-1.87 * std::pow(tau, 1.22));
  if (phi <= 0) phi = 1e-10;
  return H + 5.0 * std::log10(rAu * deltaAu) - 2.5 * std::log10(phi);
}

int TestCandidate(const ElementRecord& record, double jdT, const double P[3], const double Q[3],
                  const ScanSlice& s, IdentCandidate* out) {
  const double q = record.m_dQ, e = record.m_dE;
  const ObservationRecord* obs = s.m_pObs;
  const ObservationRecord& ref = obs[s.m_nRef];
  double ra0, dec0, delta, r;
  if (!TwoBodyPositionLightTime(jdT, q, e, P, Q, ref.m_dJdTt, ref.m_dSun, 1, ra0, dec0, delta, r)) return 0;
  const double R = std::sqrt(ref.m_dSun[0] * ref.m_dSun[0] + ref.m_dSun[1] * ref.m_dSun[1] +
                             ref.m_dSun[2] * ref.m_dSun[2]);
  const double V = PredictedMagnitudeHG(record.m_dH, record.m_dG, r, delta, R);
  const bool magTest = s.m_dMeanMag > 0 && s.m_dMagTolerance > 0;
  if (magTest && std::fabs(V - s.m_dMeanMag) > s.m_dMagTolerance) return 0;

  // The direction of the path: where the object is one day further along.
  double ra1, dec1, d1, r1;
  if (!TwoBodyPositionLightTime(jdT - 1.0, q, e, P, Q, ref.m_dJdTt, ref.m_dSun, 1, ra1, dec1, d1, r1)) return 0;
  double ux = WrapPi(ra1 - ra0) * std::cos(dec0), uy = dec1 - dec0;
  const double len = std::hypot(ux, uy);
  if (len < 1e-12) {
    ux = 1.0;
    uy = 0.0;
  } else {
    ux /= len;
    uy /= len;
  }

  double along = 0, cross = 0, lastDelta = delta;
  double raFirst = 0, decFirst = 0, raLast = 0, decLast = 0;
  for (int i = 0; i < s.m_nObs; ++i) {
    double ra = ra0, dec = dec0;
    if (i != s.m_nRef) {
      double di, ri;
      if (!TwoBodyPositionLightTime(jdT, q, e, P, Q, obs[i].m_dJdTt, obs[i].m_dSun, 1, ra, dec, di, ri)) return 0;
      lastDelta = di;
    }
    const double dAlpha = WrapPi(ra - obs[i].m_dRa) * std::cos(obs[i].m_dDec);
    const double dDelta = dec - obs[i].m_dDec;
    const double a = dAlpha * ux + dDelta * uy;
    const double c = dDelta * ux - dAlpha * uy;
    if (std::fabs(a) > s.m_dPathWindow || std::fabs(c) > s.m_dCrossWindow) return 0;
    if (std::fabs(a) > std::fabs(along)) along = a;
    if (std::fabs(c) > std::fabs(cross)) cross = c;
    if (i == s.m_nFirst) {
      raFirst = ra;
      decFirst = dec;
    }
    if (i == s.m_nLast) {
      raLast = ra;
      decLast = dec;
    }
  }

  double L = 0;
  if (s.m_dMotionTotal > 0) {
    const double dt = obs[s.m_nLast].m_dJdTt - obs[s.m_nFirst].m_dJdTt;
    const double pRa = std::cos(decFirst) * WrapPi(raLast - raFirst) * kDegPerRad / dt;
    const double pDec = (decLast - decFirst) * kDegPerRad / dt;
    L = std::hypot(pRa - s.m_dMotionRa, pDec - s.m_dMotionDec) / s.m_dMotionTotal;
    if (L > 1.0) return 0;
  }

  IdentCandidate& c = *out;
  c = IdentCandidate{};
  CopyText(c.m_szName, sizeof c.m_szName, record.m_szName, kCandidateNameChars);
  CopyText(c.m_szDesig, sizeof c.m_szDesig, record.m_szKey, kCandidateDesigChars);
  c.m_dEpoch = record.m_dEpoch;
  c.m_dT = jdT;
  c.m_dQ = q;
  c.m_dE = e;
  c.m_dPeri = record.m_dPeri * kRadPerDeg;
  c.m_dNode = record.m_dNode * kRadPerDeg;
  c.m_dIncl = record.m_dIncl * kRadPerDeg;
  c.m_dH = record.m_dH;
  c.m_dG = record.m_dG;
  c.m_dAlong = along * kDegPerRad;
  c.m_dCross = cross * kDegPerRad;
  c.m_dMagDiff = magTest ? V - s.m_dMeanMag : 0.0;
  c.m_dMotionRatio = L;
  c.m_dDelta = s.m_nObs > 1 ? lastDelta : delta;
  c.m_dPredictedMag = V;
  const double m = magTest ? c.m_dMagDiff / s.m_dMagTolerance : 0.0;
  const double x = cross / s.m_dCrossWindow, y = along / s.m_dPathWindow;
  c.m_dScore = std::sqrt(m * m + x * x + 4.0 * L * L + 0.04 * y * y);
  return 1;
}

void SetupTrackletQuery(TrackletQuery* query, double pathWindowRad, double crossWindowRad, double magTolerance,
                        const std::atomic<int>* cancel) {
  ScanSlice* s = &query->m_slice;
  BeginSlice(s, query->m_pObs, query->m_nObs, pathWindowRad, crossWindowRad, magTolerance, cancel);
  if (query->m_nObs < 1) return;
  const ObservationRecord* obs = query->m_pObs;
  const double tRef = obs[s->m_nRef].m_dJdTt;
  int first = s->m_nRef, last = s->m_nRef;
  for (int i = 0; i < query->m_nObs; ++i) {
    if (std::fabs(obs[i].m_dJdTt - tRef) > kMotionSpanDays) continue;
    if (obs[i].m_dJdTt < obs[first].m_dJdTt || (i < first && obs[i].m_dJdTt == obs[first].m_dJdTt)) first = i;
    if (obs[i].m_dJdTt > obs[last].m_dJdTt || (i < last && obs[i].m_dJdTt == obs[last].m_dJdTt)) last = i;
  }
  SetObservedMotion(s, first, last);
}

void SetupSingleTrackletSlice(ScanSlice* s, const ObservationRecord* obs, int count, double pathWindowRad,
                              double crossWindowRad, double magTolerance, const std::atomic<int>* cancel) {
  BeginSlice(s, obs, count, pathWindowRad, crossWindowRad, magTolerance, cancel);
  if (count < 1) return;
  int first = 0, last = 0;
  for (int i = 1; i < count; ++i) {
    if (obs[i].m_dJdTt < obs[first].m_dJdTt) first = i;
    if (obs[i].m_dJdTt > obs[last].m_dJdTt) last = i;
  }
  SetObservedMotion(s, first, last);
}

void InsertTopCandidate(IdentCandidate* list, int* count, const IdentCandidate& c) {
  int n = *count;
  if (n >= kTopCandidates) {
    if (c.m_dScore >= list[kTopCandidates - 1].m_dScore) return;
    n = kTopCandidates - 1;
  } else {
    *count = n + 1;
  }
  int at = n;
  while (at > 0 && list[at - 1].m_dScore > c.m_dScore) {
    list[at] = list[at - 1];
    --at;
  }
  list[at] = c;
}

int ScanSliceWorker(ScanSlice* s) {
  s->m_nOut = 0;
  ElementRecord record;
  for (int i = 0; i < s->m_nRecords; ++i) {
    if (i % 256 == 0 && StopAsked(s->m_pCancel)) break;
    ParseMpcorbLine(&record, s->m_pLines[i]);
    double T, P[3], Q[3];
    if (!PrepareScanRecord(record, T, P, Q)) continue;
    if (TestCandidate(record, T, P, Q, *s, &s->m_pOut[s->m_nOut])) ++s->m_nOut;
  }
  return 0;
}

int ScanSliceWorkerMulti(MultiScanSlice* s) {
  ElementRecord record;
  IdentCandidate candidate;
  for (int i = 0; i < s->m_nRecords; ++i) {
    if (i % 64 == 0 && StopAsked(s->m_pCancel)) break;
    ParseMpcorbLine(&record, s->m_pLines[i]);
    double T, P[3], Q[3];
    if (!PrepareScanRecord(record, T, P, Q)) continue;
    for (int k = 0; k < s->m_nQueries; ++k) {
      const TrackletQuery& q = s->m_pQueries[k];
      if (q.m_nObs < 1 || !TestCandidate(record, T, P, Q, q.m_slice, &candidate)) continue;
      ++s->m_pPassedCounts[k];
      InsertTopCandidate(s->m_pLists + k * kTopCandidates, &s->m_pListCounts[k], candidate);
    }
  }
  return 0;
}

#include "neocp/itf_search.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include <sys/stat.h>

#include "astro/angle_units.h"
#include "astro/frames.h"
#include "astro/jpl_eph.h"
#include "astro/time_scales.h"
#include "ephemeris/ident_scan.h"

namespace {

// A fixed-column number (1-based columns first..last); blanks read as 0.
double ColumnNumber(const char* line, int first, int last)
{
  char text[24];
  const int n = std::min(last - first + 1, int(sizeof text) - 1);
  std::memcpy(text, line + first - 1, size_t(n));
  text[n] = '\0';
  return std::strtod(text, nullptr);
}

// A difference in degrees reduced into (-180, 180].
double WrapDegrees(double d)
{
  d = std::fmod(d, 360.0);
  if (d > 180)
    d -= 360;
  else if (d <= -180)
    d += 360;
  return d;
}

// The log entry nearest to jd (the later of two at equal distance), or -1
// when the log is empty or the nearest lies more than 40 days away.
int NearestEntry(const ItfSearchContext& ctx, double jd)
{
  if (ctx.logCount < 1)
    return -1;
  int lo = 0, hi = ctx.logCount;  // first entry with time >= jd
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (ctx.log[7 * mid] < jd)
      lo = mid + 1;
    else
      hi = mid;
  }
  int best;
  if (lo == 0)
    best = 0;
  else if (lo == ctx.logCount)
    best = lo - 1;
  else
    best = jd - ctx.log[7 * (lo - 1)] < ctx.log[7 * lo] - jd ? lo - 1 : lo;
  return std::fabs(ctx.log[7 * best] - jd) <= kItfLogReachDays ? best : -1;
}

// The geocentric Sun at jdTT rounded to 0.02 day into the cache; false when
// the planetary file cannot give it.
bool UpdateSun(ItfSearchContext& ctx, double jdTT)
{
  const double t = std::floor(jdTT / kItfSunStepDays + 0.5) * kItfSunStepDays;
  if (t == ctx.sunTime)
    return true;
  double sun[3];
  if (JplPosition(t, kJplSun, kJplEarth, sun) != 0)
    return false;
  std::copy(sun, sun + 3, ctx.sun);
  ctx.sunTime = t;
  return true;
}

// The two-body place of entry i at jdTT seen from the cached Sun vector.
bool EntryPlace(ItfSearchContext& ctx, int i, double jdTT, double& ra, double& dec)
{
  const double* e = ctx.log + 7 * i;
  if (i != ctx.lastEntry) {
    OrbitOrientationVectors(e[4], e[5], e[6], ctx.P, ctx.Q);
    ctx.lastEntry = i;
  }
  double delta = 0, r = 0;
  return TwoBodyPositionLightTime(e[1], e[2], e[3], ctx.P, ctx.Q, jdTT, ctx.sun, 2, ra, dec, delta, r) != 0;
}

// The rate (deg/day) between two places dt days apart, RA scaled by cos dec0.
void Rate(double ra0, double dec0, double ra1, double dec1, double dt, double& vra, double& vdec)
{
  vra = std::cos(dec0) * WrapDegrees((ra1 - ra0) * kDegPerRad) / dt;
  vdec = (dec1 - dec0) * kDegPerRad / dt;
}

void CopyField(char* out, const char* line, int first, int last)
{
  const int n = last - first + 1;
  std::memcpy(out, line + first - 1, size_t(n));
  out[n] = '\0';
}

} // namespace

int ItfTestLine(void* context, const char* line, int length)
{
  auto& ctx = *static_cast<ItfSearchContext*>(context);
  if (length < 80) {
    ++ctx.skipped;
    return 1;
  }
  const char note = line[14];
  const int year = static_cast<int>(ColumnNumber(line, 16, 19));
  const int month = static_cast<int>(ColumnNumber(line, 21, 22));
  const double day = ColumnNumber(line, 24, 32);
  const char sign = line[44];
  if (note == 'R' || note == 'r' || note == 's' || note == 'v' || year <= 1800 || year >= 2200 || month < 1 ||
      month > 12 || !(day > 0) || (sign != '+' && sign != '-')) {
    ++ctx.skipped;
    return 1;
  }
  ++ctx.tested;
  const double utc = YmdToJd(year, month, day);
  const double tt = DeltaT(kDeltaTUtToTt, utc);
  if (!UpdateSun(ctx, tt))
    return 1;
  const int entry = NearestEntry(ctx, tt);
  double raP = 0, decP = 0;
  if (entry < 0 || !EntryPlace(ctx, entry, tt, raP, decP)) {
    ++ctx.outside;
    return 1;
  }

  const double raO = (ColumnNumber(line, 33, 34) + ColumnNumber(line, 36, 37) / 60 + ColumnNumber(line, 39, 44) / 3600) * 15;
  double decO = ColumnNumber(line, 46, 47) + ColumnNumber(line, 49, 50) / 60 + ColumnNumber(line, 52, 56) / 3600;
  if (sign == '-')
    decO = -decO;
  const double dDec = decO - decP * kDegPerRad;
  if (std::fabs(dDec) > kItfAlongDeg)
    return 1;
  const double dRa = WrapDegrees(raO - raP * kDegPerRad) * std::cos(decO * kRadPerDeg);
  if (dRa * dRa + dDec * dDec > kItfAlongDeg * kItfAlongDeg)
    return 1;

  // The place a day later is seen from the Earth of that day: the Earth's
  // own motion dominates the apparent motion of a near object.
  const int next = NearestEntry(ctx, tt + 1);
  double ra1 = 0, dec1 = 0;
  if (next < 0 || !UpdateSun(ctx, tt + 1) || !EntryPlace(ctx, next, tt + 1, ra1, dec1))
    return 1;
  double vra, vdec;
  Rate(raP, decP, ra1, dec1, 1.0, vra, vdec);
  const double v = std::hypot(vra, vdec);
  if (v < 1e-9)
    return 1;
  const double along = (dRa * vra + dDec * vdec) / v;
  const double across = (vra * dDec - vdec * dRa) / v;
  if (std::fabs(along) > kItfAlongDeg || std::fabs(across) > kItfAcrossDeg)
    return 1;
  if (ctx.hitCount >= ctx.hitCapacity)
    return 1;

  ItfHit& h = ctx.hits[ctx.hitCount++];
  h.jd_utc = utc;
  h.jd_tt = tt;
  h.ra = raO * kRadPerDeg;
  h.dec = decO * kRadPerDeg;
  h.along = along;
  h.across = across;
  CopyField(h.line, line, 1, 80);
  CopyField(h.station, line, 78, 80);
  CopyField(h.desig, line, 1, 12);
  h.residual = 0;
  return 1;
}

int ItfPredictPosition(ItfSearchContext* ctx, double jdTT, double& ra, double& dec)
{
  const int entry = NearestEntry(*ctx, jdTT);
  if (entry < 0 || !UpdateSun(*ctx, jdTT))
    return 0;
  return EntryPlace(*ctx, entry, jdTT, ra, dec) ? 1 : 0;
}

int CompareElementLogTimes(const void* a, const void* b)
{
  const double x = *static_cast<const double*>(a), y = *static_cast<const double*>(b);
  return x < y ? -1 : x > y ? 1 : 0;
}

int CompareItfHits(const void* a, const void* b)
{
  const auto& x = *static_cast<const ItfHit*>(a);
  const auto& y = *static_cast<const ItfHit*>(b);
  if (const int c = std::strcmp(x.desig, y.desig))
    return c < 0 ? -1 : 1;
  if (x.jd_utc != y.jd_utc)
    return x.jd_utc < y.jd_utc ? -1 : 1;
  const int c = std::strcmp(x.station, y.station);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

int CheckItfMotion(ItfSearchContext& ctx, int& groups, int& rejected, int& unmeasured)
{
  groups = rejected = unmeasured = 0;
  std::qsort(ctx.hits, size_t(ctx.hitCount), sizeof(ItfHit), CompareItfHits);
  int kept = 0;
  for (int first = 0; first < ctx.hitCount;) {
    int end = first + 1;
    while (end < ctx.hitCount && std::strcmp(ctx.hits[end].desig, ctx.hits[first].desig) == 0)
      ++end;
    ++groups;
    const ItfHit& a = ctx.hits[first];
    const ItfHit& b = ctx.hits[end - 1];
    const double span = b.jd_tt - a.jd_tt;
    bool keep = true;
    if (end - first < 2 || span < kItfMinSpanDays) {
      ++unmeasured;
    } else {
      double wra, wdec;
      Rate(a.ra, a.dec, b.ra, b.dec, span, wra, wdec);
      const double wo = std::hypot(wra, wdec);
      double ra0, dec0, ra1, dec1;
      if (wo > 0 && ItfPredictPosition(&ctx, a.jd_tt, ra0, dec0) && ItfPredictPosition(&ctx, b.jd_tt, ra1, dec1)) {
        double pra, pdec;
        Rate(ra0, dec0, ra1, dec1, span, pra, pdec);
        if (std::hypot(pra - wra, pdec - wdec) / wo > kItfMotionTolerance) {
          keep = false;
          ++rejected;
        }
      }
    }
    if (keep)
      for (int i = first; i < end; ++i)
        ctx.hits[kept++] = ctx.hits[i];
    first = end;
  }
  ctx.hitCount = kept;
  return kept;
}

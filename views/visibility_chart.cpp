#include "views/visibility_chart.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <thread>

#include "astro/angle_units.h"
#include "astro/ephemeris_rows.h"
#include "astro/frames.h"
#include "astro/time_scales.h"
#include "astro/two_body.h"
#include "platform/app_services.h"
#include "platform/numbers.h"

const char* const g_aChartPaletteNames[8] = {"ディープスカイ", "トワイライト", "ゴールド＆ティール", "モノクローム",
                                             "ヴィリディス",   "マグマ",       "プラズマ",           "オーロラ"};

const uint32_t g_aChartPalettes[8][10] = {
    {0xD0F0FA, 0xA0E0F5, 0x6EC8EB, 0x46AADC, 0x2D87C8, 0x2364B4, 0x28469B, 0x372D7D, 0x3C235F, 0x3C235F},
    {0xF5D6D6, 0xE8C3CD, 0xD8B0C6, 0xC49EC0, 0xAC8FBA, 0x9280B2, 0x7670A8, 0x5A5F98, 0x3E4C80, 0x3E4C80},
    {0xD6A856, 0xDEBC7C, 0xE4D0A5, 0xE2DCCD, 0xD7D7D7, 0xB4CDCD, 0x8CB9B9, 0x5F9B9E, 0x2D6E76, 0x2D6E76},
    {0xE8ECF5, 0xCED5E6, 0xB4BED7, 0x9AA6C8, 0x808FB9, 0x6677A8, 0x4E6094, 0x38497D, 0x22305F, 0x22305F},
    {0xFDE725, 0xAADC32, 0x5CC863, 0x27AD81, 0x21908D, 0x2C718E, 0x3B518B, 0x472C7A, 0x440154, 0x440154},
    {0xFCFDBF, 0xFEC287, 0xFB8761, 0xE55064, 0xB63679, 0x812581, 0x50127B, 0x34105A, 0x2D144B, 0x2D144B},
    {0xF0F921, 0xFDD428, 0xF8A03C, 0xE76F5A, 0xCC4778, 0xA82296, 0x7D03A8, 0x4B03A1, 0x260E8C, 0x260E8C},
    {0xDCFFC8, 0xA0FA96, 0x64F082, 0x3CD796, 0x3CBEBE, 0x5A96D2, 0x8C6ECD, 0xAF46AF, 0x82236E, 0x82236E},
};

namespace {

constexpr double kSiderealDay = 6.300388098665736;    // sidereal radians in one solar day
constexpr double kMinElongation = 0.20943951023931953; // 12 degrees
constexpr double kSynodicMonth = 29.530589;
constexpr double kElongationPerDay = 0.21276870932644068;
constexpr double kTwilight = -18.0;

double Lerp(double a, double b, double u) { return a + (b - a) * u; }

double Altitude(double sinDec, double cosDec, double ra, double theta, const ObserverSite& site)
{
  double s = site.sinLat * sinDec + site.cosLat * cosDec * std::cos(theta - ra);
  return std::asin(std::clamp(s, -1.0, 1.0));
}

double Altitude(double ra, double dec, double theta, const ObserverSite& site)
{
  return Altitude(std::sin(dec), std::cos(dec), ra, theta, site);
}

double Separation(double ra1, double sinDec1, double cosDec1, double ra2, double sinDec2, double cosDec2)
{
  double c = sinDec1 * sinDec2 + cosDec1 * cosDec2 * std::cos(ra1 - ra2);
  return std::acos(std::clamp(c, -1.0, 1.0));
}

// The J2000 Sun; false without a planetary file covering jd.
bool SunVector(double jd, double sun[3], double& dist)
{
  double ofDate[3], lambda, beta;
  GeocentricSun(jd, sun, ofDate, lambda, beta, dist);
  return std::sqrt(sun[0] * sun[0] + sun[1] * sun[1] + sun[2] * sun[2]) > 0;
}

double Unwrap(double value, double previous)
{
  while (value - previous > kPi) value -= kTwoPi;
  while (previous - value > kPi) value += kTwoPi;
  return value;
}

double CurrentLocalDateJd()
{
  std::time_t now = std::time(nullptr);
  std::tm tmv{};
  if (!localtime_r(&now, &tmv)) return CalendarToJd(0, 0, 0);
  return CalendarToJd(tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_mday);
}

} // namespace

ObserverSite MakeObserverSite(double latDeg, double lonDeg, double tzHours)
{
  ObserverSite s;
  s.sinLat = std::sin(latDeg * kRadPerDeg);
  s.cosLat = std::cos(latDeg * kRadPerDeg);
  s.lon = lonDeg * kRadPerDeg;
  s.tz = tzHours;
  return s;
}

ObserverSite AppObserver()
{
  const auto& app = TheApp();
  return MakeObserverSite(app.m_dObsLat, app.m_dObsLon, app.m_dObsTz);
}

uint32_t ChartPaletteColour(int palette, int band)
{
  if (palette < 0 || palette > 7) palette = 0;
  return g_aChartPalettes[palette][std::clamp(band, 0, 9)];
}

int StarCore(int x, int y)
{
  uint32_t h = static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u;
  h ^= h >> 13;
  h *= 1540483477u;
  h ^= h >> 15;
  if (h & 0x1FF) return 0;
  double b = ((h >> 9) & 0xFF) / 255.0;
  return static_cast<int>(210 * b * b * b + 45);
}

int StarGlow(int x, int y)
{
  int v = StarCore(x, y);
  if (v) return v;
  const int nb[4][2] = {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}};
  for (const auto& p : nb) {
    int c = StarCore(p[0], p[1]);
    if (c > 170) v = std::max(v, c / 4);
  }
  return v;
}

namespace {

void SkyColour(const SkyState& s, int x, int y, double rgb[3])
{
  const double alt = s.dSunAlt / kRadPerDeg;
  if (alt > kTwilight) {
    double m = std::min(1.0, (alt + 18) / 18);
    rgb[0] = 200 - 60 * m;
    rgb[1] = 245 - 15 * m;
    rgb[2] = 250;
    return;
  }
  const double l = s.dMoonLight;
  const double o = std::min(1.0, l / 0.12);
  const double k = (3 - 2 * o) * o * o;
  const double n = std::min(230.0, 160 * l + 70);
  const double nb = n > 210 ? 255 : n + 20;
  rgb[0] = (n - 16) * k + 16;
  rgb[1] = (n - 18) * k + 18;
  rgb[2] = (nb - 60) * k + 60;
  if (k < 0.95) {
    if (int v = StarGlow(x, y)) {
      double p = (1 - k) * v / 255.0;
      rgb[0] = std::clamp(rgb[0] + 255 * p, 0.0, 255.0);
      rgb[1] = std::clamp(rgb[1] + 232 * p, 0.0, 255.0);
      rgb[2] = std::clamp(rgb[2] + 90 * p, 0.0, 255.0);
    }
  }
}

} // namespace

void SkyPixel(const SkyState& s, int x, int y, int rgb[3])
{
  double c[3];
  SkyColour(s, x, y, c);
  for (int i = 0; i < 3; ++i) rgb[i] = static_cast<int>(c[i]);
}

double MoonSunElongation(double jd)
{
  double sun[3], dist;
  if (!SunVector(jd, sun, dist)) return 0;
  double len = std::sqrt(sun[0] * sun[0] + sun[1] * sun[1] + sun[2] * sun[2]);
  double ra, dec;
  GeocentricMoon(jd, ra, dec);
  const double m[3] = {std::cos(dec) * std::cos(ra), std::cos(dec) * std::sin(ra), std::sin(dec)};
  const double s[3] = {sun[0] / len, sun[1] / len, sun[2] / len};
  const double cx = s[1] * m[2] - s[2] * m[1], cy = s[2] * m[0] - s[0] * m[2], cz = s[0] * m[1] - s[1] * m[0];
  return std::atan2(std::sqrt(cx * cx + cy * cy + cz * cz), s[0] * m[0] + s[1] * m[1] + s[2] * m[2]);
}

// ---- the object and the feeders ----

CVisibilityChartDlg::CVisibilityChartDlg() = default;

void CVisibilityChartDlg::MarkDirty()
{
  m_bDirty = 1;
  m_bCacheValid = 0;
  if (HasWindow()) InvalidateChart();
}

void CVisibilityChartDlg::SetStartDate(double jd)
{
  if (jd <= 0 || jd == m_dStartJd) return;
  m_dStartJd = jd;
  MarkDirty();
}

void CVisibilityChartDlg::SetObject(double T, double q, double e, double peri, double node, double incl,
                                    const std::string& name, double h, double slope, int bAsteroid)
{
  SetElements(T, q, e, peri, node, incl);
  m_strName = name;
  m_dH = h;
  m_bValid = q > 0;
  m_bAsteroid = bAsteroid;
  m_dSlope = (!bAsteroid && slope == 0) ? 10.0 : slope;
  MarkDirty();
}

void CVisibilityChartDlg::Clear()
{
  m_bValid = 0;
  m_strName.clear();
  m_dStartJd = 0;
  MarkDirty();
}

void CVisibilityChartDlg::RequestRecompute() { MarkDirty(); }

// ---- tables ----

void CVisibilityChartDlg::Precompute(const ObserverSite& site)
{
  m_moonRa.clear();
  m_moonDec.clear();
  m_objRa.clear();
  m_objDec.clear();
  m_moonValid.clear();
  m_objValid.clear();
  m_dayRows.clear();
  m_bDirty = 0;
  m_nObjValid = 0;
  m_nSamples = 0;
  m_nSunMissing = 0;
  if (!m_bValid || m_nDays <= 0) return;
  if (m_dStartJd <= 0) m_dStartJd = CurrentLocalDateJd();

  m_dTableStep = 0.25;
  m_dTableStart = m_dStartJd - 1;
  const int n = static_cast<int>((m_nDays + 4) * 4.0) + 1;
  m_moonRa.assign(n, 0);
  m_moonDec.assign(n, 0);
  m_objRa.assign(n, 0);
  m_objDec.assign(n, 0);
  m_moonValid.assign(n, 0);
  m_objValid.assign(n, 0);
  m_nSamples = n;

  double P[3], Q[3];
  OrbitOrientationVectors(m_dPeri, m_dNode, m_dIncl, P, Q);
  double lastObjRa = 0;
  for (int i = 0; i < n; ++i) {
    const double t = m_dTableStart + i * 0.25;
    double sun[3], dist;
    const bool bSun = SunVector(t, sun, dist);
    if (!bSun) ++m_nSunMissing;
    // Without the planetary file the Moon is undefined: the sample keeps the
    // last value and is marked, so that it adds no moonlight.
    double ra = i > 0 ? m_moonRa[i - 1] : 0, dec = 0;
    if (bSun) {
      GeocentricMoon(t, ra, dec);
      if (i > 0) ra = Unwrap(ra, m_moonRa[i - 1]);
      m_moonValid[i] = 1;
    }
    m_moonRa[i] = ra;
    m_moonDec[i] = dec;

    double ora, odec, delta, r, nu;
    if (bSun && TwoBodyGeocentricPosition(m_dT, m_dQ, m_dE, P, Q, t, sun, ora, odec, delta, r, nu) == 0 &&
        delta > 0) {
      if (i > 0) ora = Unwrap(ora, lastObjRa);
      m_objRa[i] = lastObjRa = ora;
      m_objDec[i] = odec;
      m_objValid[i] = 1;
      ++m_nObjValid;
    } else {
      m_objRa[i] = lastObjRa;
    }
  }

  m_dayRows.assign(m_nDays, ChartDayRow{});
  for (int d = 0; d < m_nDays; ++d) {
    ChartDayRow& row = m_dayRows[d];
    row.dJd = m_dStartJd + d;
    const double tm = row.dJd + (m_dHourFrom + m_dHourTo) * 0.5 / 24 - site.tz / 24;
    double sun[3], dist;
    if (!SunVector(tm, sun, dist)) {
      ++m_nSunMissing;
      continue;
    }
    const double len = std::sqrt(sun[0] * sun[0] + sun[1] * sun[1] + sun[2] * sun[2]);
    row.bSunKnown = 1;
    row.dSunRa = std::atan2(sun[1], sun[0]);
    row.dSunDec = std::asin(sun[2] / len);
    row.dSunSinDec = std::sin(row.dSunDec);
    row.dSunCosDec = std::cos(row.dSunDec);
    const double am = Interpolate(m_moonRa, tm), dm = Interpolate(m_moonDec, tm);
    double c = std::cos(row.dSunRa - am) * std::cos(row.dSunDec) * std::cos(dm) +
               std::sin(row.dSunDec) * std::sin(dm);
    row.dMoonFraction = (1 - std::clamp(c, -1.0, 1.0)) * 0.5;
  }
}

double CVisibilityChartDlg::Interpolate(const std::vector<double>& v, double t) const
{
  if (m_nSamples < 2 || static_cast<int>(v.size()) < m_nSamples) return 0;
  const double x = (t - m_dTableStart) / m_dTableStep;
  const int k = std::clamp(static_cast<int>(std::floor(x)), 0, m_nSamples - 2);
  const double f = std::clamp(x - k, 0.0, 1.0);
  return v[k] + (v[k + 1] - v[k]) * f;
}

namespace {

// Table index of t whose two samples are both flagged, else -1.
int FlaggedIndex(const std::vector<uint8_t>& flags, int nSamples, double start, double step, double t)
{
  const double x = std::floor((t - start) / step);
  if (x < 0 || x > nSamples - 2) return -1;
  const int k = static_cast<int>(x);
  return flags[k] && flags[k + 1] ? k : -1;
}

} // namespace

SkyState CVisibilityChartDlg::EvaluateSky(double a, double hour, const ObserverSite& site, bool bPixel) const
{
  SkyState s;
  const int n = static_cast<int>(m_dayRows.size());
  if (n <= 0) return s;
  const int A = std::clamp(static_cast<int>(std::floor(a)), 0, n - 1);
  int B = A;
  double u = 0;
  if (A + 1 < n) {
    B = A + 1;
    u = std::clamp(a - A, 0.0, 1.0);
  }
  const ChartDayRow& ra = m_dayRows[A];
  const ChartDayRow& rb = m_dayRows[B];
  const double t = A + m_dStartJd + hour / 24 - site.tz / 24;
  const double theta = GreenwichMeanSiderealTime(t) + site.lon;
  const double theta2 = theta + kSiderealDay;

  s.dSunAlt = Lerp(Altitude(ra.dSunSinDec, ra.dSunCosDec, ra.dSunRa, theta, site),
                   Altitude(rb.dSunSinDec, rb.dSunCosDec, rb.dSunRa, theta2, site), u);
  s.dMoonFraction = Lerp(ra.dMoonFraction, rb.dMoonFraction, u);

  // Moonlight colours only the dark sky.
  if (!bPixel || s.dSunAlt / kRadPerDeg <= kTwilight) {
    auto moonlight = [&](double tt, double th, double fraction) {
      if (FlaggedIndex(m_moonValid, m_nSamples, m_dTableStart, m_dTableStep, tt) < 0) return 0.0;
      double h = Altitude(Interpolate(m_moonRa, tt), Interpolate(m_moonDec, tt), th, site);
      return h > 0 ? std::sin(h) * fraction : 0.0;
    };
    s.dMoonLight =
        std::clamp(Lerp(moonlight(t, theta, ra.dMoonFraction), moonlight(t + 1, theta2, rb.dMoonFraction), u), 0.0, 1.0);
  }

  if (FlaggedIndex(m_objValid, m_nSamples, m_dTableStart, m_dTableStep, t) < 0 ||
      FlaggedIndex(m_objValid, m_nSamples, m_dTableStart, m_dTableStep, t + 1) < 0)
    return s;
  const double a1 = Interpolate(m_objRa, t), d1 = Interpolate(m_objDec, t);
  const double a2 = Interpolate(m_objRa, t + 1), d2 = Interpolate(m_objDec, t + 1);
  const double s1 = std::sin(d1), c1 = std::cos(d1), s2 = std::sin(d2), c2 = std::cos(d2);
  s.dObjAlt = Lerp(Altitude(s1, c1, a1, theta, site), Altitude(s2, c2, a2, theta2, site), u);
  // A pixel shows its band only from 10 degrees up.
  if (bPixel && s.dObjAlt / kRadPerDeg < 10) return s;
  const double e = Lerp(Separation(a1, s1, c1, ra.dSunRa, ra.dSunSinDec, ra.dSunCosDec),
                        Separation(a2, s2, c2, rb.dSunRa, rb.dSunSinDec, rb.dSunCosDec), u);
  s.bElongationOk = e >= kMinElongation;
  return s;
}

ChartPlot CVisibilityChartDlg::Plot(double W, double H) const
{
  ChartPlot p;
  p.R = W - 56;
  p.B = H - 34;
  p.width = p.R - ChartPlot::kLeft;
  p.height = p.B - ChartPlot::kTop;
  p.exists = p.R > 76 && p.B > 78;
  const int n = static_cast<int>(m_dayRows.size());
  p.pxPerDay = n > 0 ? p.width / n : 0;
  p.pxPerHour = p.height / (m_dHourTo - m_dHourFrom);
  return p;
}

ChartRaster CVisibilityChartDlg::RenderRaster(int W, int H, const ObserverSite& site) const
{
  ChartRaster r;
  const ChartPlot p = Plot(W, H);
  const int n = static_cast<int>(m_dayRows.size());
  if (!p.exists || n <= 0) return r;
  r.w = static_cast<int>(p.width);
  r.h = static_cast<int>(p.height);
  r.bgra.assign(static_cast<size_t>(r.w) * r.h * 4, 0);
  // Columns are independent: bands of them are rendered on several threads,
  // each keeping its own highest altitude and band flag.
  const int x0 = 56, x1 = std::min(static_cast<int>(p.R) - 1, 56 + r.w - 1);
  const int nThreads = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 8);
  std::vector<double> maxAlt(nThreads, -kPi);
  std::vector<int> anyAlt(nThreads, 0);
  auto columns = [&](int part) {
    for (int x = x0 + part; x <= x1; x += nThreads) {
      const double a = (x + 0.5 - 56) / p.pxPerDay;
      if (a < 0 || a >= n) continue;
      for (int y = 58; y <= static_cast<int>(p.B) - 1 && y - 58 < r.h; ++y) {
        const SkyState s = EvaluateSky(a, m_dHourTo - (y + 0.5 - 58) / p.pxPerHour, site, true);
        double c[3];
        SkyColour(s, x, y, c);
        maxAlt[part] = std::max(maxAlt[part], s.dObjAlt);
        const double altDeg = s.dObjAlt / kRadPerDeg;
        if (s.bElongationOk && altDeg >= 10) {
          const uint32_t pc = ChartPaletteColour(m_nPalette, static_cast<int>(altDeg / 10));
          const double band[3] = {double((pc >> 16) & 0xFF), double((pc >> 8) & 0xFF), double(pc & 0xFF)};
          for (int i = 0; i < 3; ++i) c[i] = 0.62 * band[i] + 0.38 * c[i];
          anyAlt[part] = 1;
        }
        uint8_t* px = &r.bgra[(static_cast<size_t>(y - 58) * r.w + (x - 56)) * 4];
        px[0] = static_cast<uint8_t>(c[2]);
        px[1] = static_cast<uint8_t>(c[1]);
        px[2] = static_cast<uint8_t>(c[0]);
        px[3] = 255;
      }
    }
  };
  std::vector<std::thread> workers;
  for (int part = 1; part < nThreads; ++part) workers.emplace_back(columns, part);
  columns(0);
  for (std::thread& t : workers) t.join();
  for (int part = 0; part < nThreads; ++part) {
    r.dMaxAlt = std::max(r.dMaxAlt, maxAlt[part]);
    r.bAnyAltitude |= anyAlt[part];
  }
  return r;
}

NightRuns CVisibilityChartDlg::AnalyseNight(double a, double y0, double y1, double pxPerHour,
                                            const ObserverSite& site) const
{
  NightRuns res;
  int previous = -1, dayRuns = 0;
  double runStart = y0;
  for (double y = y0; y <= y1; y += 1) {
    int cls = -1;
    if (y < y1) {
      const SkyState s = EvaluateSky(a, m_dHourTo - (y - y0) / pxPerHour, site);
      cls = s.dSunAlt / kRadPerDeg > kTwilight ? 0 : s.dMoonLight >= 0.12 ? 1 : 2;
      if (res.dMoonFraction <= 0) res.dMoonFraction = s.dMoonFraction;
    }
    if (cls == previous) continue;
    const double len = y - runStart, mid = runStart + len / 2;
    if (previous == 1 && len > res.dMoonLen) {
      res.dMoonMid = mid;
      res.dMoonLen = len;
    } else if (previous == 0 && len > 0) {
      if (dayRuns == 0) {
        res.dFirstMid = mid;
        res.dFirstLen = len;
      }
      res.dLastMid = mid;
      res.dLastLen = len;
      ++dayRuns;
    }
    runStart = y;
    previous = cls;
  }
  if (dayRuns < 2) res.dLastLen = 0;
  return res;
}

std::vector<ChartLabel> CVisibilityChartDlg::PlaceBandLabels(
    const ChartPlot& plot, const ObserverSite& site,
    const std::function<void(const std::string&, double&, double&)>& measure) const
{
  struct Cell {
    double x = 0, mid = 0, len = 0;
  };
  Cell cells[9][6];
  const int n = static_cast<int>(m_dayRows.size());
  for (double x = 68; x < plot.R - 12; x += 24) {
    const double a = (x - 56) / plot.pxPerDay;
    if (a < 0 || a >= n) continue;
    const int seg = std::clamp(static_cast<int>((x - 56) / plot.width * 6), 0, 5);
    int previous = -1;
    double runStart = 58;
    const int last = static_cast<int>(plot.B);
    for (int y = 58; y <= last; ++y) {
      int d = -1;
      if (y < last) {
        const SkyState s = EvaluateSky(a, m_dHourTo - (y - 58) / plot.pxPerHour, site);
        const double alt = s.dObjAlt / kRadPerDeg;
        if (s.dSunAlt / kRadPerDeg <= kTwilight && s.bElongationOk && alt >= 10)
          d = std::min(static_cast<int>(alt / 10), 8);
      }
      if (d == previous) continue;
      if (previous >= 1 && y - runStart > cells[previous][seg].len)
        cells[previous][seg] = {x, runStart + (y - runStart) / 2, y - runStart};
      runStart = y;
      previous = d;
    }
  }

  struct Box {
    double x, y, w, h;
  };
  std::vector<Box> placed;
  std::vector<ChartLabel> out;
  for (int m = 1; m <= 8; ++m) {
    std::vector<int> order;
    for (int s = 0; s < 6; ++s)
      if (cells[m][s].len >= 14) order.push_back(s);
    std::stable_sort(order.begin(), order.end(), [&](int i, int j) { return cells[m][i].len > cells[m][j].len; });
    const std::string text = FormatC("%d°", 10 * m + 5);
    double w = 0, h = 0;
    measure(text, w, h);
    for (int s : order) {
      double x = std::max(58.0, cells[m][s].x - w / 2);
      if (x + w > plot.R - 2) x = plot.R - 2 - w;
      const double y = cells[m][s].mid - h / 2;
      const bool hit = std::any_of(placed.begin(), placed.end(), [&](const Box& b) {
        return b.x + b.w + 4 > x && x + w + 4 > b.x && b.y + b.h + 2 > y && y + h + 2 > b.y;
      });
      if (hit) continue;
      placed.push_back({x, y, w, h});
      out.push_back({x, y, text});
      break;
    }
  }
  return out;
}

void CVisibilityChartDlg::HourLabels(const ChartPlot& plot, double tz, std::vector<ChartLabel>& left,
                                     std::vector<ChartLabel>& right) const
{
  for (double h = std::ceil(m_dHourFrom); h <= m_dHourTo; h += 1) {
    const double y = plot.B - (h - m_dHourFrom) * plot.pxPerHour;
    if (y < 58 || y > plot.B || static_cast<int>(h) % 24 % 2 != 0) continue;
    left.push_back({22, y - 7, FormatC("%d時", static_cast<int>(h) % 24)});
    right.push_back({plot.R + 5, y - 7, FormatC("%d時", (static_cast<int>(h - tz) % 24 + 24) % 24)});
  }
}

std::vector<ChartLabel> CVisibilityChartDlg::DateLabels(const ChartPlot& plot) const
{
  std::vector<ChartLabel> out;
  double last = -1000;
  for (int d = 0; d < static_cast<int>(m_dayRows.size()); ++d) {
    double year, month, day;
    JdToCalendar(m_dayRows[d].dJd, year, month, day);
    const int dd = static_cast<int>(day);
    if (dd != 1 && d % 10 != 0) continue;
    const double x = (d + 0.5) * plot.pxPerDay + 56;
    if (x - last < 54) continue;
    last = x;
    out.push_back({x, plot.B + 5, FormatC("%d月%d日", static_cast<int>(month), dd)});
  }
  return out;
}

std::string CVisibilityChartDlg::PlotMessage(const ChartRaster& raster) const
{
  if (m_nSunMissing > 0)
    return "惑星暦ファイルがないか、この期間を含まないため、太陽と月の位置が計算できません";
  if (raster.bAnyAltitude) return {};
  if (m_nObjValid <= 0) return "この期間の天体の位置が計算できないため、高度は表示していません";
  const double a = raster.dMaxAlt / kRadPerDeg;
  if (a < 0) return FormatC("この期間・時間帯では、天体は地平線の上に出ません(最高高度 %.1f度)", a);
  if (a < 10) return FormatC("この期間・時間帯では、天体の高度は最高でも%.1f度で、表示の下限(10度)に届きません", a);
  return FormatC("この期間、天体は太陽との離角が%.0f度未満のため、高度は表示していません", 12.0);
}

// ---- crosshair ----

namespace {

double MoonAge(double j)
{
  const double i0 = MoonSunElongation(j);
  double f = i0 / kTwoPi;
  if (MoonSunElongation(j + 0.005) < i0) f = 1 - f;
  double k = j - f * kSynodicMonth;
  for (int n = 0; n < 6; ++n) {
    double l = MoonSunElongation(k);
    if (MoonSunElongation(k + 0.005) < l) l = -l;
    k -= l / kElongationPerDay;
  }
  double age = std::fmod(j - k, kSynodicMonth);
  if (age < 0) age += kSynodicMonth;
  return age;
}

} // namespace

CrosshairInfo CVisibilityChartDlg::Crosshair(int x, int y, double W, double H, const ObserverSite& site) const
{
  CrosshairInfo c;
  const ChartPlot p = Plot(W, H);
  const int n = static_cast<int>(m_dayRows.size());
  if (!p.exists || n <= 0 || x < 56 || x >= p.R || y < 58 || y >= p.B) return c;
  const int d = static_cast<int>(std::floor((x + 0.5 - 56) / p.pxPerDay));
  if (d < 0 || d >= n) return c;
  const double g = m_dHourTo - (y + 0.5 - 58) / p.pxPerHour;
  const int q = static_cast<int>(std::floor(4 * g + 0.5));
  c.bShown = 1;
  c.hour = (q / 4) % 24;
  c.minute = (q % 4) * 15;
  double year, month, day;
  JdToCalendar(d + m_dStartJd + (q * 0.25 >= 24 ? 1 : 0), year, month, day);
  c.year = static_cast<int>(year);
  c.month = static_cast<int>(month);
  c.day = static_cast<int>(day);
  const double j = q * 0.25 / 24 + d + m_dStartJd - site.tz / 24;
  c.dJd = j;

  double sun[3], R;
  const bool bSun = SunVector(j, sun, R);
  if (bSun) c.dMoonAge = MoonAge(j);
  double P[3], Q[3];
  OrbitOrientationVectors(m_dPeri, m_dNode, m_dIncl, P, Q);
  double ra, dec, delta, r, nu;
  if (bSun && TwoBodyGeocentricPosition(m_dT, m_dQ, m_dE, P, Q, j, sun, ra, dec, delta, r, nu) == 0 && delta > 0 &&
      r > 0) {
    c.bAltitude = 1;
    c.dAltDeg = Altitude(ra, dec, GreenwichMeanSiderealTime(j) + site.lon, site) / kRadPerDeg;
    if (m_dH != 0) {
      double m;
      if (m_bAsteroid) {
        const double beta = TriangleAngle(r, delta, R) * kRadPerDeg;
        const double tq = std::tan(beta / 2), g2 = m_dSlope;
        m = m_dH -
            2.5 * std::log10((1 - g2) * std::exp(-3.33 * std::pow(tq, 0.63)) +
                             g2 * std::exp(-1.87 * std::pow(tq, 1.22))) +
            5 * std::log10(r * delta);
      } else {
        m = m_dH + 5 * std::log10(delta) + m_dSlope * std::log10(r);
      }
      c.bMagnitude = 1;
      c.dMag = std::max(m, -10.0);
    }
  }
  c.rows.push_back({"日時", FormatC("%d年%2d月%2d日 %2d時%02d分", c.year, c.month, c.day, c.hour, c.minute)});
  c.rows.push_back({"月齢", bSun ? FormatC("%4.1f", c.dMoonAge) : std::string("―")});
  c.rows.push_back({"高度", c.bAltitude ? FormatC("%+5.1f°", c.dAltDeg) : std::string("―")});
  if (c.bMagnitude) c.rows.push_back({"光度", FormatC("%5.1f等", c.dMag)});
  return c;
}

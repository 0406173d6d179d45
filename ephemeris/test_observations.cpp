#include "ephemeris/test_observations.h"

#include <cmath>
#include <cstdio>
#include <numbers>

#include "astro/angle_units.h"
#include "astro/frames.h"
#include "astro/jpl_eph.h"
#include "astro/time_scales.h"
#include "engine/determination_host.h"
#include "engine/differential_correction.h"
#include "engine/improvement_epoch.h"
#include "engine/orbit_engine.h"
#include "engine/state_elements.h"
#include "platform/numbers.h"

const TestImpactScenario g_aTestImpactScenarios[10] = {
    {12, 2, 6, 3, 0.4},  {12, 2, 6, 3, 0.4},  {4, 2, 6, 3, 0.4},   {16, 2, 6, 3, 0.4},  {60, 5, 7, 3, 0.4},
    {90, 5, 7, 3, 0.4},  {150, 5, 8, 3, 0.3}, {150, 5, 8, 3, 0.3}, {150, 5, 8, 3, 0.3}, {4, 2, 6, 3, 0.4},
};

namespace {

constexpr double kGauss = 0.01720209895;

uint32_t NextLcg(uint32_t x) { return x * 1103515245u + 12345u; }

// Sexagesimal fields of a non-negative value, the last rounded to 1/scale
// with its carries.
void Sexagesimal(double value, double scale, int& a, int& b, double& c)
{
  a = static_cast<int>(std::floor(value));
  const double minutes = (value - a) * 60;
  b = static_cast<int>(std::floor(minutes));
  c = std::floor((minutes - b) * 60 * scale + 0.5) / scale;
  if (c >= 60) {
    c -= 60;
    ++b;
  }
  if (b >= 60) {
    b -= 60;
    ++a;
  }
}

void PutField(std::string& line, int column, const std::string& text)
{
  line.replace(static_cast<size_t>(column - 1), text.size(), text);
}

} // namespace

double GaussianRandom(uint32_t& seed)
{
  uint32_t x = seed;
  double u1 = 0;
  do {
    x = NextLcg(x);
    u1 = (x >> 8) / 16777216.0;
  } while (!(u1 > 1e-12));
  x = NextLcg(x);
  const double u2 = (x >> 8) / 16777216.0;
  seed = x;
  return std::sqrt(-2 * std::log(u1)) * std::cos(kTwoPi * u2);
}

std::string FormatObs80Line(const std::string& packed, double jd, double ra, double dec, const char* station)
{
  std::string line(80, ' ');
  PutField(line, 6, packed.substr(0, 7));
  PutField(line, 15, "C");
  double y = 0, m = 0, d = 0;
  JdToCalendar(jd, y, m, d);
  PutField(line, 16, FormatC("%04d %02d %08.5f", static_cast<int>(y), static_cast<int>(m), d).substr(0, 16));
  double hours = ra * 12 / std::numbers::pi;
  if (hours < 0) hours += 24;
  if (hours >= 24) hours -= 24;
  int h = 0, mi = 0;
  double s = 0;
  Sexagesimal(hours, 100, h, mi, s);
  PutField(line, 33, FormatC("%02d %02d %05.2f", h % 24, mi % 60, s).substr(0, 11));
  int dd = 0, dm = 0;
  double ds = 0;
  Sexagesimal(std::fabs(dec) * 180 / std::numbers::pi, 10, dd, dm, ds);
  PutField(line, 45, FormatC("%c%02d %02d %04.1f", dec < 0 ? '-' : '+', dd, dm % 60, ds).substr(0, 11));
  PutField(line, 78, std::string(station).substr(0, 3));
  return line;
}

int WriteObs80File(const std::string& path, const std::string& packed, const double* times, const int* stations,
                   int count, const double* ra, const double* dec)
{
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  bool ok = true;
  for (int i = 0; i < count && ok; ++i) {
    const std::string line = FormatObs80Line(packed, times[i], ra ? ra[i] : 0, dec ? dec[i] : 0,
                                             kTestStations[stations[i] & 3]) + "\r\n";
    ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
  }
  // A short write or a failed close leaves no file that passes for whole.
  ok = std::fclose(f) == 0 && ok;
  return ok ? 1 : 0;
}

int MakeTestImpactorElements(int body, double t, TestOrbitElements& el, std::string& message)
{
  message.clear();
  const int target = body + 1;  // JPL numbers: 1 Mercury ... 9 Pluto, 10 the Moon
  double r[3], before[3], after[3];
  if (JplPosition(t, target, 11, r) != 0 || JplPosition(t - 0.01, target, 11, before) != 0 ||
      JplPosition(t + 0.01, target, 11, after) != 0) {
    message = "惑星暦から惑星の位置を取得できませんでした。";
    return -1;
  }
  const double len = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
  if (len < 1e-9) return -1;
  double v[3];
  for (int i = 0; i < 3; ++i) v[i] = (after[i] - before[i]) / 0.02 - r[i] / len * kTestImpactSpeed;
  double M = 0, a = 0;
  StateToEclipticElements(t, r, v, el.dT, el.dQ, el.dE, el.dPeri, el.dNode, el.dIncl, M, a);
  if (!std::isfinite(el.dT) || !std::isfinite(el.dQ) || !std::isfinite(el.dE) || !(el.dQ > 0) ||
      !std::isfinite(el.dPeri) || !std::isfinite(el.dNode) || !std::isfinite(el.dIncl)) {
    message = "テスト軌道の要素変換に失敗しました。";
    return -1;
  }
  return 0;
}

bool PlanTestObservations(int body, double t, TestObservationPlan& plan)
{
  const TestImpactScenario& sc = g_aTestImpactScenarios[body];
  plan = TestObservationPlan{};
  plan.dEpoch = std::floor((t - sc.dLead - 0.5) / 40) * 40 + 0.5;
  if (plan.dEpoch <= 0 || plan.dEpoch >= t) return false;
  const double nightMinutes = 12.0 / 1440;
  plan.dFirst = plan.dEpoch - 1 - (sc.nPerNight - 1) * nightMinutes - sc.dArc;
  for (int i = 0; i < sc.nNights; ++i)
    for (int j = 0; j < sc.nPerNight && plan.nCount < kMaxTestObservations; ++j) {
      plan.adTimes[plan.nCount] = plan.dFirst + i * sc.dArc / (sc.nNights - 1) + j * nightMinutes;
      plan.anStations[plan.nCount++] = i % 4;
    }
  return true;
}

std::string TestReadableDesignation(int year, int body)
{
  return FormatC("%d Z%c99", year, kTestDesignationLetters[body]);
}

std::string TestPackedDesignation(int year, int body)
{
  return FormatC("%c%02dZ99%c", static_cast<char>(year / 100 + 55), year % 100, kTestDesignationLetters[body]);
}

void PutTestElements(ElementBlock& el, const TestOrbitElements& in, double epoch)
{
  el.m_dT = in.dT;
  el.m_dQ = in.dQ;
  el.m_dE = in.dE;
  el.m_dPeri = in.dPeri;
  el.m_dNode = in.dNode;
  el.m_dIncl = in.dIncl;
  el.m_dA1 = el.m_dA2 = el.m_dA3 = 0;
  el.m_dEpoch = epoch;
  if (in.dE >= 0 && in.dE <= 0.97) {
    el.m_dA = in.dQ / (1 - in.dE);
    el.m_dN = kGauss / std::pow(el.m_dA, 1.5);
  } else {
    el.m_dA = el.m_dN = el.m_dM = -1;
  }
}

int SetTestOrbitAndResiduals(CDetermination& view, const TestOrbitElements& in, double epoch)
{
  OrbitEngine* engine = view.m_pEngine;
  IntegrationState& s = engine->m_state;
  PutTestElements(s.m_el, in, epoch);
  s.m_dEpoch = epoch;
  s.m_bAsteroid = 0;  // a test orbit is shown and improved in comet form, whatever the designation reads as
  ElementBlock& el = s.m_el;
  if (el.m_dN > 0) {
    const double turns = (epoch - in.dT) * el.m_dN / kTwoPi;
    double M = (turns - std::floor(turns)) * kTwoPi;
    if (M <= 0) M += kTwoPi;
    el.m_dM = M;
  }
  WriteEpochFields(&view, epoch);
  return ImproveOrbitIteration(engine, epoch, 0);
}

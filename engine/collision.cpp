#include "engine/collision.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/time_scales.h"
#include "engine/orbit_engine.h"
#include "platform/numbers.h"

const double kCollisionRadiusKm[10] = {2439.7, 6051.8, 0.0,   3396.2, 71492.0,
                                       60268.0, 25559.0, 24764.0, 1188.3, 1737.4};
const char* const kCollisionBodyNames[10] = {"水星", "金星", "地球", "火星", "木星",
                                            "土星", "天王星", "海王星", "冥王星", "月"};

namespace {

constexpr double kKmPerAu = kAstronomicalUnitKm;
constexpr double kFar = 9e8;

// The surface radii in AU, divided once rather than at every step.
const std::array<double, 10> kCollisionRadiusAu = [] {
  std::array<double, 10> au{};
  for (int i = 0; i < 10; ++i)
    au[i] = kCollisionRadiusKm[i] / kKmPerAu;
  return au;
}();

// Angle between two vectors in degrees; a vector shorter than 1e-12 counts as 1e-12 long.
double AngleDeg(const double a[3], const double b[3])
{
  const double na = std::max(std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]), 1e-12);
  const double nb = std::max(std::sqrt(b[0] * b[0] + b[1] * b[1] + b[2] * b[2]), 1e-12);
  const double c = std::clamp((a[0] * b[0] + a[1] * b[1] + a[2] * b[2]) / (na * nb), -1.0, 1.0);
  return std::acos(c) * kDegPerRad;
}

// Time at which the distance crossed the radius between the last two steps.
double CrossingTime(const IntegrationState* state, double prev, double now, double radiusAu)
{
  const double h = state->m_dStep;
  return (state->m_dTime - h) + h * (prev - radiusAu) / (prev - now);
}

std::string UtcText(double jdTT)
{
  int y, mo, d, hh, mi;
  CollisionTimeUtc(jdTT, y, mo, d, hh, mi);
  return FormatC("%d/%02d/%02d %02d:%02d UTC", y, mo, d, hh, mi);
}

std::string PlanetReport(const IntegrationState* state, int i, double radiusKm, double tc)
{
  std::string text;
  if (state->m_pImpacts)
    text = FormatC("【惑星衝突】%s に衝突 (表面半径 %.0f km を通過)\r\n", kCollisionBodyNames[i], radiusKm);
  else
    text = FormatC("【惑星衝突】%s に衝突: %s (表面半径 %.0f km を通過)\r\n", kCollisionBodyNames[i], UtcText(tc).c_str(),
                   radiusKm);
  const double* n = state->m_dRel[i];
  double toEarth[3], toSun[3];
  for (int c = 0; c < 3; ++c) {
    toEarth[c] = n[c] - state->m_dRel[2][c];
    toSun[c] = n[c] - state->m_dPos[10][c][0];
  }
  const double E = AngleDeg(n, toEarth);
  const double S = AngleDeg(n, toSun);
  if (E < 90.0)
    text += FormatC("  衝突点は地球から見て%s (地球方向との中心角 %.0f 度、縁から %.0f 度%s)\r\n", "見える面(表側)", E,
                    std::fabs(E - 90.0), "内側");
  else
    text += FormatC("  衝突点は地球から見て%s (地球方向との中心角 %.0f 度、縁から %.0f 度%s)\r\n", "見えない面(裏側)",
                    E, std::fabs(E - 90.0), "裏");
  if (E >= 90.0 && E < 110.0)
    text += "  ※縁のすぐ裏側です。惑星の自転により衝突痕が間もなく可視面に回ってくる位置です\r\n";
  text += FormatC("  衝突点は太陽の当たる%s (太陽方向との中心角 %.0f 度)\r\n", S < 90.0 ? "昼側" : "夜側", S);
  if (state->m_dStep < 0.0)
    text += "  ※過去へ向かう積分での検出のため、実時間では表面から出る点(脱出点)にあたります\r\n";
  return text;
}

void Report(OrbitEngine* engine, EngineWindow* window, const std::string& text)
{
  engine->m_strCollisionReport += text;
  if (!EngineRunsQuiet(*engine) && window && window->IsLive())
    window->AppendText(text);
}

} // namespace

void CollisionTimeUtc(double jdTT, int& year, int& month, int& day, int& hour, int& minute)
{
  double y, mo, d;
  JdToCalendar(DeltaT(kDeltaTTtToUt, jdTT), y, mo, d);
  double whole = std::floor(d);
  double hours = (d - whole) * 24.0;
  double h = std::floor(hours);
  double m = (hours - h) * 60.0;
  CarryDateTime(y, mo, whole, h, m);
  year = static_cast<int>(y);
  month = static_cast<int>(mo);
  day = static_cast<int>(whole);
  hour = static_cast<int>(h);
  minute = static_cast<int>(m);
}

void DetectCollision(OrbitEngine* engine, EngineWindow* window, IntegrationState* state)
{
  for (int i = 0; i < 10; ++i) {
    const double d = state->m_dDistance[i];
    const double p = state->m_dCollPrevDistance[i];
    state->m_dCollPrevDistance[i] = d;
    if (d < kFar && d < state->m_dCollMinDistance[i]) {
      state->m_dCollMinDistance[i] = d;
      state->m_dCollMinTime[i] = state->m_dTime;
    }
    const double R = kCollisionRadiusKm[i];
    const double Rau = kCollisionRadiusAu[i];
    if (R > 0.0 && !state->m_bCollided[i] && d < kFar && p < kFar && p > Rau && d <= Rau) {
      state->m_bCollided[i] = 1;
      Report(engine, window, PlanetReport(state, i, R, CrossingTime(state, p, d, Rau)));
    }
  }
  const double d = state->m_dSunDistance10;
  const double p = state->m_dSunPrevDistance;
  state->m_dSunPrevDistance = d;
  if (!state->m_bSunReached && d < kFar && p < kFar && p > kSunCollisionRadiusAu && d <= kSunCollisionRadiusAu) {
    state->m_bSunReached = 1;
    std::string text = "【太陽衝突】太陽の光球面(半径696000km)に到達: " +
                       UtcText(CrossingTime(state, p, d, kSunCollisionRadiusAu)) + "\r\n";
    if (state->m_dStep < 0.0)
      text += "  ※過去へ向かう積分での検出のため、実時間では表面から出る点にあたります\r\n";
    Report(engine, window, text);
  }
}

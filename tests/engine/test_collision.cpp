#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "astro/time_scales.h"
#include "engine/collision.h"
#include "engine/force_model.h"
#include "engine/orbit_engine.h"

namespace {

constexpr double kKmPerAu = 149597870.7;

class TextWindow : public EngineWindow {
public:
  std::string GetText() const override { return m_text; }
  void SetText(const std::string& text) override { m_text = text; }
  std::string m_text;
};

struct CalcRun {
  OrbitEngine engine;
  std::unique_ptr<IntegrationState> state = std::make_unique<IntegrationState>();
  TextWindow window;
  CalcRun()
  {
    SetupIntegrationState(&engine, state.get());
    state->m_dStep = 0.01;
  }
  // One step at time t with the distances (km) of every body and of the Sun.
  void Step(double t, double bodyKm, int body, double sunAu = 1.0)
  {
    state->m_dTime = t;
    for (int i = 0; i < 10; ++i)
      state->m_dDistance[i] = i == body ? bodyKm / kKmPerAu : 1.0;
    state->m_dSunDistance10 = sunAu;
    DetectCollision(&engine, &window, state.get());
  }
};

} // namespace

TEST(DetectCollision, ReportsTheMoonOnceAndNeverTheEarth)
{
  CalcRun run;
  const double t0 = CalendarToJd(2030, 5, 1.5);
  // Geometry of the impact: object 1000 km from the Moon towards the Sun's side.
  for (int c = 0; c < 3; ++c) {
    run.state->m_dRel[9][c] = c == 0 ? 1000.0 / kKmPerAu : 0.0;   // from the Moon to the object
    run.state->m_dRel[2][c] = c == 0 ? 1000.0 / kKmPerAu - 0.00257 : 0.0;  // from the Earth, beyond the object
    run.state->m_dPos[10][c][0] = c == 0 ? -1.0 : 0.0;           // the object, heliocentric
  }
  run.Step(t0, 3000.0, 9);
  run.Step(t0 + 0.01, 1000.0, 9);
  run.Step(t0 + 0.02, 500.0, 9);
  run.Step(t0 + 0.03, 3000.0, 2);
  run.Step(t0 + 0.04, 10.0, 2);  // the Earth has no collision radius here
  const std::string& text = run.engine.m_strCollisionReport;
  EXPECT_EQ(text.find("【惑星衝突】月 に衝突: "), 0u);
  EXPECT_EQ(text.find("【惑星衝突】", 1), std::string::npos);
  EXPECT_NE(text.find("(表面半径 1737 km を通過)\r\n"), std::string::npos);
  EXPECT_NE(text.find("見える面(表側)"), std::string::npos);
  EXPECT_NE(text.find("衝突点は太陽の当たる昼側"), std::string::npos);
  EXPECT_EQ(run.window.m_text, text);
  EXPECT_NEAR(run.state->m_dCollMinDistance[9], 500.0 / kKmPerAu, 1e-15);

  // The crossing time: between the two samples, where 1737.4 km was passed.
  int y, mo, d, hh, mi;
  const double tc = t0 + 0.01 * (3000.0 - 1737.4) / (3000.0 - 1000.0);
  CollisionTimeUtc(tc, y, mo, d, hh, mi);
  char when[64];
  std::snprintf(when, sizeof when, "%d/%02d/%02d %02d:%02d UTC", y, mo, d, hh, mi);
  EXPECT_NE(text.find(when), std::string::npos);
}

TEST(DetectCollision, SunOncePerRunAndTheBackwardNote)
{
  CalcRun run;
  run.state->m_dStep = -0.5;
  const double t0 = CalendarToJd(2031, 1, 1.0);
  run.Step(t0, 9e9, -1, 0.01);
  run.Step(t0 - 0.5, 9e9, -1, 0.004);
  run.Step(t0 - 1.0, 9e9, -1, 0.01);
  run.Step(t0 - 1.5, 9e9, -1, 0.003);
  const std::string& text = run.engine.m_strCollisionReport;
  EXPECT_EQ(text.find("【太陽衝突】太陽の光球面(半径696000km)に到達: "), 0u);
  EXPECT_EQ(text.find("【太陽衝突】", 1), std::string::npos);
  EXPECT_NE(text.find("※過去へ向かう積分での検出のため、実時間では表面から出る点にあたります"), std::string::npos);
}

TEST(CollisionTimeUtc, RoundsToTheMinuteWithCarries)
{
  struct Case {
    int y, m;
    double day;  // UTC
    int ey, em, ed, eh, emin;
  } cases[] = {
      {2030, 11, 30 + (23 * 3600 + 59 * 60 + 40) / 86400.0, 2030, 12, 1, 0, 0},
      {2030, 12, 31 + (23 * 3600 + 59 * 60 + 40) / 86400.0, 2031, 1, 1, 0, 0},
      {2032, 2, 28 + (23 * 3600 + 59 * 60 + 31) / 86400.0, 2032, 2, 29, 0, 0},
      {2030, 6, 15 + (10 * 3600 + 20 * 60 + 29) / 86400.0, 2030, 6, 15, 10, 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.day);
    const double jdTT = DeltaT(kDeltaTUtToTt, CalendarToJd(c.y, c.m, c.day));
    int y, mo, d, hh, mi;
    CollisionTimeUtc(jdTT, y, mo, d, hh, mi);
    EXPECT_EQ(y, c.ey);
    EXPECT_EQ(mo, c.em);
    EXPECT_EQ(d, c.ed);
    EXPECT_EQ(hh, c.eh);
    EXPECT_EQ(mi, c.emin);
  }
}

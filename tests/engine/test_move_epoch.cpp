// Moving elements to a new epoch with its report: the round trip and the
// block it leaves, the busy guard around both runs, the refusal of a busy
// engine, the 2029 approach of (99942) Apophis with its globe hand-over, and
// the after-the-fact surface notes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "astro/constants.h"
#include "astro/impact_tracker.h"
#include "engine/close_approach.h"
#include "engine/collision.h"
#include "engine/determination_host.h"
#include "engine/move_epoch.h"
#include "engine/tool_sinks.h"
#include "platform/ui_services.h"
#include "tests/common/stepping_clock.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "tests/engine/test_integration_support.h"

namespace {

constexpr double k1960 = 2436960.5;  // 1960 Feb 1
constexpr double kHundredYears = 36500.0;

// Number after a label in the report.
double ValueAfter(const std::string& text, const std::string& label) {
  const size_t at = text.find(label);
  if (at == std::string::npos) return NAN;
  return std::strtod(text.c_str() + at + label.size(), nullptr);
}

class MoveEpoch : public ::testing::Test {
protected:
  void SetUp() override {
    const std::string de = TestDataPath("de/lnxp1960p2060.405");
    if (de.empty() || !TestDataFileExists(de)) GTEST_SKIP() << "reference data not found: de/lnxp1960p2060.405";
    m_jpl = std::make_unique<JplReaderScope>(de);
  }

  // A main-belt run prepared from 1960 Feb 1 over days, not quiet.
  void PrepareBelt(TestRun& run, double days) {
    run.Prepare(kBeltT0, kBeltR, kBeltV, k1960, 0.0, true);
    ASSERT_EQ(run.Run(), 0);
    const ElementBlock at1960 = run.state->m_el;
    run.Prepare(kBeltT0, kBeltR, kBeltV, k1960 + days, 0.0, true);
    run.state->m_el = at1960;
    run.state->m_dEpoch = k1960;
    run.engine.m_bAutoRunning = 0;
  }

  HeadlessUiServices m_ui;
  ScopedUi m_scopedUi{m_ui};
  HeadlessToolSinks m_sinks;
  ScopedToolSinks m_scopedSinks{m_sinks};
  HostControl m_result, m_progress, m_status, m_approach;
  std::unique_ptr<JplReaderScope> m_jpl;
};

}  // namespace

// A hundred years out and back: the return lands within 1e-5 day of the
// starting T, and the state leaves with the whole block of the end time,
// exactly as a run without the round trip leaves it.
TEST_F(MoveEpoch, HundredYearRoundTripKeepsTheEndBlock) {
  TestRun once, twice;
  PrepareBelt(once, kHundredYears);
  PrepareBelt(twice, kHundredYears);
  ImpactTrackerSet trackers;
  twice.state->m_pImpacts = &trackers;
  HostControl plain;
  ASSERT_EQ(MoveEpochAndReport(&once.engine, &plain, once.state.get(), nullptr, nullptr, nullptr, 99, 0), 0);
  ASSERT_EQ(MoveEpochAndReport(&twice.engine, &m_result, twice.state.get(), &m_progress, &m_status, nullptr, 99,
                               kMoveRoundTrip),
            0);
  const std::string& text = m_result.m_strText;
  ASSERT_NE(text.find("\r\n【積分誤差(往復積分による評価)】\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  復路帰着日と開始元期のずれ: +0.000000 日\r\n"), std::string::npos) << text;
  const double dT = ValueAfter(text, "  ΔT    : ");
  std::printf("%s\n", text.substr(text.find("【積分誤差")).c_str());
  EXPECT_LT(std::fabs(dT), 1e-5);
  EXPECT_LT(std::fabs(ValueAfter(text, "  Δq    : ")), 1e-12);  // measured 4e-14

  const IntegrationState& a = *once.state;
  const IntegrationState& b = *twice.state;
  EXPECT_EQ(std::memcmp(&a.m_el, &b.m_el, sizeof(ElementBlock)), 0) << "a, M, n, P or Q of the return run left behind";
  EXPECT_EQ(b.m_el.m_dEpoch, k1960 + kHundredYears);
  EXPECT_EQ(b.m_dEpoch, a.m_dEpoch);
  EXPECT_EQ(b.m_dEnd, a.m_dEnd);
  EXPECT_EQ(b.m_dDirection, 1.0);
  EXPECT_EQ(b.m_dStep, a.m_dStep);
  EXPECT_EQ(b.m_pImpacts, &trackers);
  EXPECT_EQ(b.m_pProgress, nullptr);
  EXPECT_EQ(m_status.m_strText, "計算完了");
  EXPECT_EQ(m_progress.m_nProgress, 100);
  EXPECT_EQ(twice.engine.m_bBusy, 0);
  EXPECT_EQ(m_sinks.m_bGlobeOpen, false);  // no tracker came near anything
}

// The return run holds the busy guard: events are dispatched during it and
// the cancel button stops it; the forward result stays with a note.
TEST_F(MoveEpoch, RoundTripRunsInsideTheBusyGuardAndCanBeCancelled) {
  class CancelOnReturn : public HeadlessUiServices {
  public:
    bool PumpOneEvent() override {
      if (m_result && m_result->m_strText.find("【積分間隔のログ】") != std::string::npos) {
        m_nBusyOnReturn = m_engine->m_bBusy;
        m_engine->m_nCancel = 1;
      }
      return false;
    }
    OrbitEngine* m_engine = nullptr;
    HostControl* m_result = nullptr;
    int m_nBusyOnReturn = -1;
  } ui;
  ScopedUi scoped(ui);
  SteppingClock clock(50);  // the busy guard pumps
  TestRun run;
  PrepareBelt(run, 2000.0);
  run.engine.m_pClock = &clock;
  ui.m_engine = &run.engine;
  ui.m_result = &m_result;
  ASSERT_EQ(MoveEpochAndReport(&run.engine, &m_result, run.state.get(), &m_progress, &m_status, nullptr, 99,
                               kMoveRoundTrip),
            0);
  EXPECT_EQ(ui.m_nBusyOnReturn, 1);
  EXPECT_NE(m_result.m_strText.find("\r\n【積分誤差】復路の積分が完了しなかったため計算できませんでした。\r\n"),
            std::string::npos)
      << m_result.m_strText;
  EXPECT_EQ(m_status.m_strText, "中止しました");
  EXPECT_EQ(run.engine.m_bBusy, 0);
  EXPECT_EQ(run.engine.m_nCancel, 0);
  EXPECT_EQ(run.state->m_el.m_dEpoch, k1960 + 2000.0);
}

TEST_F(MoveEpoch, BusyEngineRefusesAndChangesNothing) {
  TestRun run;
  PrepareBelt(run, 100.0);
  const ElementBlock before = run.state->m_el;
  run.engine.m_bBusy = 1;
  m_result.m_strText = "前の結果";
  EXPECT_EQ(MoveEpochAndReport(&run.engine, &m_result, run.state.get(), &m_progress, &m_status, nullptr, 99, 1), -1);
  EXPECT_EQ(m_result.m_strText, "前の結果");
  EXPECT_EQ(std::memcmp(&before, &run.state->m_el, sizeof before), 0);
  EXPECT_EQ(run.engine.m_bBusy, 1);
}

// (99942) Apophis through 2029 April 13: the approach list gives the date
// and the distance, the globe the approach path without an impact marker.
TEST_F(MoveEpoch, ApophisApproachOf2029) {
  TestRun run;
  run.Prepare(kApophisT0, kApophisR, kApophisV, kApophisT0 + 200.0, 0.0, true);
  run.engine.m_bAutoRunning = 0;
  CloseApproachRecord record;
  record.Init(kApophisT0, kApophisT0 + 200.0, run.state->m_dStep);
  ImpactTrackerSet trackers;
  run.state->m_pApproach = &record;
  run.state->m_pImpacts = &trackers;
  m_sinks.m_bDiagramOpen = true;
  m_sinks.m_diagram.m_dImpactJd = 1.0;
  ASSERT_EQ(MoveEpochAndReport(&run.engine, &m_result, run.state.get(), nullptr, nullptr, &m_approach,
                               kApproachAllBodies, 0),
            0)
      << m_result.m_strText;
  // JPL's close-approach data: 2029-04-13 21:46 UTC (21:47 TT), 0.000254 AU = 38,012 km from the centre.
  const std::string& list = m_approach.m_strText;
  const size_t earth = list.find("地球");
  ASSERT_NE(earth, std::string::npos) << list;
  const std::string entry = list.substr(earth, list.find("火星") - earth);
  std::printf("%s\n", entry.c_str());
  EXPECT_NE(entry.find("  2029/ 4/13.90"), std::string::npos) << entry;
  EXPECT_NEAR(ValueAfter(entry, "AU\r\n"), 38012.0, 20.0) << entry;
  const HeadlessGlobe& globe = m_sinks.m_globe;
  ASSERT_TRUE(globe.m_bShown);
  EXPECT_EQ(globe.m_nBody, kBodyEarth);
  EXPECT_EQ(globe.m_bMarker, 0);
  ASSERT_FALSE(globe.m_path.empty());
  double closest = 1e30, when = 0;
  for (const auto& p : globe.m_path)
    if (p.distKm < closest) closest = p.distKm, when = p.jd;
  std::printf("closest track point %.1f km at JD %.5f\n", closest, when);
  EXPECT_NEAR(closest, 38012.0, 20.0);
  EXPECT_NEAR(when, 2462240.4077, 0.002);
  EXPECT_EQ(globe.m_bSubSolar, 1);
  EXPECT_EQ(globe.m_bSubEarth, 0);
  EXPECT_EQ(m_sinks.m_diagram.m_dImpactJd, 0.0);
  EXPECT_EQ(m_result.m_strText.find("【接近】"), std::string::npos);
}

TEST(MoveEpochSurfaceNotes, PassesNearAndBelowTheSurface) {
  constexpr double kMarsAu = 3396.2 / kAstronomicalUnitKm, kMoonAu = 1737.4 / kAstronomicalUnitKm;
  const double t = 2460000.5;  // 2023 Feb 25 0:00 TT
  struct Case {
    const char* name;
    int body;
    double dmin;
    int reported;
    const char* expected;  // "" when no line
  } cases[] = {
      {"Mars at 2.5 radii", kBodyMars, 2.5 * kMarsAu, 0,
       "【接近】火星 の表面から 5094 km を通過: 2023/02/24 23:59 UTC 頃 (中心距離は半径の 2.50 倍) - "
       "衝突には至りませんでした\r\n"},
      {"Mars at 3.5 radii", kBodyMars, 3.5 * kMarsAu, 0, ""},
      {"the Earth never", kBodyEarth, 1e-6, 0, ""},
      {"the Moon below its surface", kBodyMoon, 0.5 * kMoonAu, 0,
       "【惑星衝突(事後判定)】月 の表面下に到達していました: 2023/02/24 23:59 UTC 頃 (最小中心距離 869 km < 半径 "
       "1737 km)\r\n"},
      {"already reported", kBodyMoon, 0.5 * kMoonAu, 1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto state = std::make_unique<IntegrationState>();
    for (int i = 0; i < 10; ++i) state->m_dCollMinDistance[i] = kNoDistance;
    state->m_dCollMinDistance[c.body] = c.dmin;
    state->m_dCollMinTime[c.body] = t;
    state->m_bCollided[c.body] = static_cast<unsigned char>(c.reported);
    EXPECT_EQ(FormatSurfaceNotes(state.get()), c.expected);
  }
}

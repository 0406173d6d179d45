// The improvement epoch through the Epoch fields: half-day rounding of a
// typed epoch, and the epoch of a run read back inside the planetary file's
// span less 40 days.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "astro/jpl_eph.h"
#include "astro/time_scales.h"
#include "engine/determination_host.h"
#include "engine/improvement_epoch.h"
#include "platform/ui_services.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"

namespace {

// Observations at the given TT times (no places: only the times matter here).
void LoadTimes(CDetermination& view, const std::vector<double>& times) {
  DetClass* det = view.m_pDetClass;
  std::free(det->m_pOrbObs);
  det->m_pOrbObs = static_cast<ObservationRecord*>(std::calloc(times.size() + 1, sizeof(ObservationRecord)));
  for (size_t i = 0; i < times.size(); ++i) det->m_pOrbObs[i].m_dJdTt = det->m_pOrbObs[i].m_dJdUtc = times[i];
  det->m_pOrbObs[times.size()].m_dJdUtc = -1.0;
  det->m_nObsCount = static_cast<int>(times.size());
}

void TypeEpoch(CDetermination& view, const char* y, const char* m, const char* d) {
  view.SetItemText(kIdEpochYear, y);
  view.SetItemText(kIdEpochMonth, m);
  view.SetItemText(kIdEpochDay, d);
}

class ImprovementEpochTest : public ::testing::Test {
protected:
  HeadlessUiServices m_ui;
  ScopedUi m_scopedUi{m_ui};
  CDetermination m_view;
  OrbitEngine& m_engine = *m_view.m_pEngine;
  IntegrationState& m_state = m_view.m_pEngine->m_state;
};

TEST_F(ImprovementEpochTest, TypedEpochIsRoundedToHalfDays) {
  m_state.m_el.m_dEpoch = 2460000.5;
  const double typed = CalendarToJd(2024, 5, 10.3);

  RoundFieldEpoch(&m_view, typed);  // option off
  EXPECT_EQ(m_engine.m_dFieldEpoch, 0.0);

  m_engine.m_bEpochFromField = 1;
  RoundFieldEpoch(&m_view, typed);
  EXPECT_DOUBLE_EQ(m_engine.m_dFieldEpoch, CalendarToJd(2024, 5, 10.5));
  EXPECT_NE(m_view.m_strCalcLog.find("Epoch欄の 2024/5/10.3 は、時刻の丸めの誤差を避けるため 0.5日単位の 2024/5/10.5 "
                                     "に丸めて使います。\r\n"),
            std::string::npos)
      << m_view.m_strCalcLog;

  // Within 0.05 day of the element epoch: the element epoch, silently.
  m_view.m_strCalcLog.clear();
  RoundFieldEpoch(&m_view, m_state.m_el.m_dEpoch + 0.04);
  EXPECT_EQ(m_engine.m_dFieldEpoch, m_state.m_el.m_dEpoch);
  // Already on a half day: no note.
  RoundFieldEpoch(&m_view, 2460100.0);
  EXPECT_EQ(m_engine.m_dFieldEpoch, 2460100.0);
  EXPECT_TRUE(m_view.m_strCalcLog.empty()) << m_view.m_strCalcLog;
}

TEST_F(ImprovementEpochTest, EmptyFieldKeepsTheElementEpoch) {
  LoadTimes(m_view, {2460010.2, 2460030.7, 2460050.1});
  m_state.m_el.m_dEpoch = 2460080.5;
  TypeEpoch(m_view, "2024", "", "1.0");
  CheckEpochFieldRange(&m_view, &m_state);
  EXPECT_EQ(m_state.m_dEpoch, 2460080.5);
  EXPECT_EQ(m_state.m_el.m_dEpoch, 2460080.5);
  EXPECT_EQ(m_state.m_dObsFirst, 2460010.2);
  EXPECT_EQ(m_state.m_dObsLast, 2460050.1);
  EXPECT_EQ(m_state.m_dDirection, -1.0);  // the epoch after the last observation
  EXPECT_EQ(m_state.m_chMode, kModeImprovement);
  // The fields are written back from the epoch: JD 2460080.5 is 2023 May 16.0.
  EXPECT_EQ(m_view.GetItemText(kIdEpochYear), "2023");
  EXPECT_EQ(m_view.GetItemText(kIdEpochMonth), "5");
  EXPECT_EQ(m_view.GetItemText(kIdEpochDay), "16.0");
}

TEST_F(ImprovementEpochTest, TypedEpochInsideThePlanetarySpan) {
  TSR_REQUIRE_DATA(de, "de/lnxp2000p2040.405");
  JplReaderScope jpl(de);
  ASSERT_TRUE(g_pJplEph->IsOpen());
  LoadTimes(m_view, {2460010.2, 2460030.7, 2460050.1, 2460070.9});
  m_state.m_el.m_dEpoch = 2460080.5;

  TypeEpoch(m_view, "2023", "4", "24.0");  // JD 2460058.5, inside the arc
  CheckEpochFieldRange(&m_view, &m_state);
  EXPECT_EQ(m_state.m_dEpoch, 2460058.5);
  EXPECT_EQ(m_state.m_el.m_dEpoch, 2460058.5);
  EXPECT_EQ(m_state.m_dDirection, 1.0);
  EXPECT_TRUE(m_view.m_strCalcLog.empty());

  // Apophis mode: the observation times of the span in use.
  m_engine.m_bApophis = 1;
  m_engine.m_nFirstObs = 1;
  m_engine.m_nLastObs = 2;
  CheckEpochFieldRange(&m_view, &m_state);
  EXPECT_EQ(m_state.m_dObsFirst, 2460030.7);
  EXPECT_EQ(m_state.m_dObsLast, 2460050.1);
  EXPECT_EQ(m_state.m_dDirection, -1.0);
}

// 40 days short of either end of the file's span is refused with a log
// line naming the span; the element epoch stays in force.
TEST_F(ImprovementEpochTest, EpochOutsideThePlanetarySpanFallsBack) {
  TSR_REQUIRE_DATA(de, "de/lnxp2000p2040.405");
  JplReaderScope jpl(de);
  ASSERT_TRUE(g_pJplEph->IsOpen());
  LoadTimes(m_view, {2460010.2, 2460050.1});
  m_state.m_el.m_dEpoch = 2460080.5;
  const double start = g_dJplStart;  // 1999 December 24.0

  struct Case {
    double jd;
    bool allowed;
  };
  for (const Case c : {Case{start + 39.5, false}, Case{start + 40.0, true}, Case{g_dJplEnd - 39.5, false}}) {
    double y = 0, m = 0, d = 0;
    JdToCalendar(c.jd, y, m, d);
    SCOPED_TRACE(c.jd);
    TypeEpoch(m_view, std::to_string(static_cast<int>(y)).c_str(), std::to_string(static_cast<int>(m)).c_str(),
              std::to_string(d).c_str());
    m_view.m_strCalcLog.clear();
    m_state.m_el.m_dEpoch = 2460080.5;
    CheckEpochFieldRange(&m_view, &m_state);
    EXPECT_NEAR(m_state.m_dEpoch, c.allowed ? c.jd : 2460080.5, 1e-6);
    EXPECT_EQ(m_view.m_strCalcLog.find("計算可能な範囲(2000/2/2 〜 2039/11/28)の外なので、軌道要素の元期を使いました。") !=
                  std::string::npos,
              !c.allowed)
        << m_view.m_strCalcLog;
  }
}

}  // namespace

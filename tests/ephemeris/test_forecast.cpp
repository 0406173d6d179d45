// The forecast dialog without its window: the epoch fields and the range
// check, the standard dates, the 1/a report, the preparation (what it leaves
// of the view's engine and when it switches the view's state), the modes on
// a solution, and the error-growth measurement.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "astro/jpl_eph.h"
#include "astro/impact_tracker.h"
#include "astro/time_scales.h"
#include "engine/close_approach.h"
#include "engine/integration_drivers.h"
#include "engine/tool_sinks.h"
#include "platform/app_services.h"
#include "tests/engine/test_improvement_support.h"
#include "tests/engine/test_integration_support.h"
#include "tests/ephemeris/forecast_form.h"

namespace {

TEST(ForecastText, EpochDayAndStandardDate) {
  EXPECT_EQ(FormatEpochDay(21.5), "21.5");
  EXPECT_EQ(FormatEpochDay(21.0), "21.0");
  EXPECT_EQ(FormatEpochDay(1.25), "1.25");
  EXPECT_EQ(FormatEpochDay(3.123456), "3.12346");

  struct Case {
    const char *y, *m, *d;
    bool snapped;
    const char* result;
  };
  const Case cases[] = {
      {"2030", "1", "15", true, "2030/1/19.0"},  // between 2029/12/30 and 2030/1/19
      {"2030", "1", "19", true, "2030/1/19.0"},  // already a standard date
      {"2030", "13", "1", false, "2030/13/1"},
      {"2030", "1", "32", false, "2030/1/32"},
      {"2030", "", "1", false, "2030//1"},
  };
  for (const Case& c : cases) {
    std::string y = c.y, m = c.m, d = c.d;
    EXPECT_EQ(SnapToStandardDate(y, m, d, 1), c.snapped) << c.result;
    EXPECT_EQ(y + "/" + m + "/" + d, c.result);
  }
  // The grid itself: Julian days 20n + 0.5.
  std::string y = "2030", m = "1", d = "15";
  SnapToStandardDate(y, m, d, 1);
  const double jd = CalendarToJd(2030, 1, 19.0);
  EXPECT_DOUBLE_EQ(std::fmod(jd - 0.5, 20.0), 0.0);
}

TEST(ForecastText, InverseAReport) {
  const std::string equal = FormatInverseAReport(0.001, 0.001);
  EXPECT_NE(equal.find("  原初 1/a = +0.00100000 AU^-1   (a = 1000 AU)\r\n"), std::string::npos) << equal;
  EXPECT_NE(equal.find("惑星からエネルギーを受け取り、軌道が大きくなりました。"), std::string::npos);
  const std::string zero = FormatInverseAReport(5e-10, -0.5);
  EXPECT_NE(zero.find("  原初 1/a = +0.00000000 AU^-1\r\n"), std::string::npos) << zero;
  EXPECT_NE(zero.find("  未来 1/a = -0.50000000 AU^-1   (双曲線 = 太陽系から脱出)\r\n"), std::string::npos);
  EXPECT_NE(zero.find("  Δ(1/a) = -0.50000000 AU^-1\r\n"), std::string::npos);
  const std::string shrink = FormatInverseAReport(-0.1, 0.2);
  EXPECT_NE(shrink.find("  原初 1/a = -0.10000000 AU^-1   (双曲線)\r\n"), std::string::npos) << shrink;
  EXPECT_NE(shrink.find("惑星にエネルギーを奪われ、軌道が小さくなりました。"), std::string::npos);
  // An original orbit stopped at the planetary file's start (C/1998 P1 at 63 AU) classifies nothing.
  const std::string stopped = FormatInverseAReport(-0.0004, 0.0002, false, true);
  EXPECT_NE(stopped.find("  原初 1/a = -0.00040000 AU^-1   (250 AU に届く前の値: 軌道の分類には使えません)\r\n"),
            std::string::npos) << stopped;
  EXPECT_EQ(stopped.find("双曲線"), std::string::npos);
  EXPECT_EQ(stopped.find("エネルギー"), std::string::npos);
  EXPECT_NE(stopped.find("  未来 1/a = +0.00020000 AU^-1   (a = 5000 AU)\r\n"), std::string::npos);
}

TEST(ForecastText, CloneCount) {
  EXPECT_EQ(ForecastModel::CloneCount("1000"), 1000);
  EXPECT_EQ(ForecastModel::CloneCount("0"), 300);
  EXPECT_EQ(ForecastModel::CloneCount("abc"), 300);
}

// A main-belt solution of 2023 Jan 22 in the view's engine, with the DE405
// file of 1960-2060.
class ForecastOnSolution : public ::testing::Test {
protected:
  void SetUp() override {
    const std::string de = TestDataPath("de/lnxp1960p2060.405");
    if (de.empty() || !TestDataFileExists(de)) GTEST_SKIP() << "reference data not found: de/lnxp1960p2060.405";
    m_jpl = std::make_unique<JplReaderScope>("", de);
    double p[3];
    JplPosition(2451545.0, 3, 11, p);  // opens the file: its span is known from here on
    TestRun run;
    run.Prepare(kBeltT0, kBeltR, kBeltV, kBeltT0 + 1, 0.0, true);
    OrbitEngine& e = *m_view.m_pEngine;
    e.m_state.m_el = run.state->m_el;
    e.m_state.m_dEpoch = kBeltT0;
    e.m_bPerturbations = 1;
    e.m_nCalcState = kCalcImprovedTwoBody;
    m_form.SetText(kFcStep, kStepAutomatic);
    m_form.m_controls[kFcBody].m_nSelection = 0;
  }

  HeadlessUiServices m_ui;
  ScopedUi m_scopedUi{m_ui};
  HeadlessToolSinks m_sinks;
  ScopedToolSinks m_scopedSinks{m_sinks};
  std::unique_ptr<JplReaderScope> m_jpl;
  CountingView m_view;
  TestForecastForm m_form;
};

TEST_F(ForecastOnSolution, EpochRangeByMode) {
  ForecastModel model(&m_view);
  IntegrationState s{};
  s.m_dEpoch = kBeltT0;
  m_form.SetEpoch("2030", "1", "1");
  model.CheckEpochRange(m_form, s);
  EXPECT_EQ(s.m_dEnd, CalendarToJd(2030, 1, 1));
  EXPECT_EQ(m_form.Epoch(), "2030/1/1.0");
  EXPECT_EQ(s.m_dDirection, 1.0);
  EXPECT_TRUE(m_ui.m_messages.empty());

  // 40 days inside each end of the file's span.
  m_form.SetEpoch("2060", "1", "1");
  model.CheckEpochRange(m_form, s);
  EXPECT_EQ(s.m_dEnd, 0.0);
  ASSERT_EQ(m_ui.m_messages.size(), 1u);
  EXPECT_EQ(m_ui.m_messages[0].text.rfind("入力された元期は計算可能な範囲外です。\n", 0), 0u) << m_ui.m_messages[0].text;
  EXPECT_NE(m_ui.m_messages[0].text.find("  1960年"), std::string::npos) << m_ui.m_messages[0].text;

  m_form.SetEpoch("2030", "", "1");
  model.CheckEpochRange(m_form, s);
  EXPECT_EQ(s.m_dEnd, 0.0);
  EXPECT_EQ(m_ui.m_messages.size(), 1u);  // an empty field says nothing

  for (int mode : {kForecastOriginal, kForecastFuture}) {
    m_form.SetEpoch("2030", "1", "1");
    s.m_nOrbitKind = mode;
    model.CheckEpochRange(m_form, s);
    EXPECT_EQ(s.m_dEnd, mode == kForecastOriginal ? g_dJplStart + 40 : g_dJplEnd - 40);
    EXPECT_EQ(s.m_dDirection, mode == kForecastOriginal ? -1.0 : 1.0);
    EXPECT_EQ(m_form.Epoch(), "//");
  }
}

// The preparation copies the engine's state, whose attachments belong to the
// engine: they stay where they are and the dialog attaches its own.
TEST_F(ForecastOnSolution, PreparationLeavesTheEnginesAttachmentsAlone) {
  CloseApproachRecord engineRecord;
  engineRecord.Init(kBeltT0, kBeltT0 + 100, 1.0);
  ImpactTrackerSet engineTrackers;
  OrbitEngine& e = *m_view.m_pEngine;
  e.m_state.m_pApproach = &engineRecord;
  e.m_state.m_pImpacts = &engineTrackers;
  ForecastModel model(&m_view);
  m_form.SetEpoch("2030", "1", "1");
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(model.ComputeElementsAtEpoch(m_form));
    EXPECT_EQ(model.State().m_pApproach, model.Approach());
    EXPECT_NE(model.State().m_pApproach, &engineRecord);
    EXPECT_NE(model.State().m_pImpacts, &engineTrackers);
  }
  EXPECT_EQ(e.m_state.m_pApproach, &engineRecord);
  EXPECT_EQ(e.m_state.m_pImpacts, &engineTrackers);
  EXPECT_EQ(engineRecord.m_dStep, 1.0);  // still the engine's own window
  e.m_state.m_pApproach = nullptr;
  e.m_state.m_pImpacts = nullptr;
}

// A refused preparation leaves the view's state as it was; an accepted one
// switches it to 5 and has the view follow.
TEST_F(ForecastOnSolution, ViewStateChangesOnlyWhenARunStarts) {
  OrbitEngine& e = *m_view.m_pEngine;
  ForecastModel model(&m_view);
  int y, m;
  double d, yy, mm;
  JdToCalendar(kBeltT0 + 2, yy, mm, d);
  y = static_cast<int>(yy), m = static_cast<int>(mm);
  m_form.SetEpoch(std::to_string(y), std::to_string(m), FormatEpochDay(d));
  m_form.SetText(kFcStep, "1日");  // five steps exceed the two days
  EXPECT_FALSE(model.ComputeElementsAtEpoch(m_form));
  m_form.SetText(kFcStep, kStepAutomatic);
  ASSERT_EQ(m_ui.m_messages.size(), 1u);
  EXPECT_EQ(m_ui.m_messages[0].text, kMsgEpochTooNear);
  EXPECT_EQ(e.m_nCalcState, kCalcImprovedTwoBody);
  EXPECT_EQ(m_view.m_nUpdates, 0);

  e.m_state.m_el.m_dE = -0.1;
  m_form.SetEpoch("2030", "1", "1");
  EXPECT_FALSE(model.ComputeElementsAtEpoch(m_form));
  EXPECT_EQ(m_form.Text(kFcResult), kMsgNoSolution);
  EXPECT_EQ(e.m_nCalcState, kCalcImprovedTwoBody);
  EXPECT_EQ(m_view.m_nUpdates, 0);

  e.m_state.m_el.m_dE = std::fabs(e.m_state.m_el.m_dE);
  // A failed determination's last orbit is no solution either, though the
  // dialog was open before the determination failed.
  e.m_nCalcState = kCalcPreliminaryFailed;
  m_form.SetText(kFcResult, "");
  EXPECT_FALSE(model.ComputeElementsAtEpoch(m_form));
  EXPECT_EQ(m_form.Text(kFcResult), kMsgNoSolution);
  EXPECT_EQ(e.m_nCalcState, kCalcPreliminaryFailed);
  EXPECT_EQ(m_view.m_nUpdates, 0);
  e.m_nCalcState = kCalcImprovedTwoBody;

  EXPECT_TRUE(model.ComputeElementsAtEpoch(m_form));
  EXPECT_EQ(e.m_nCalcState, kCalcImprovedPerturbed);
  EXPECT_EQ(m_view.m_nUpdates, 1);
  EXPECT_EQ(m_view.m_nLastState, kCalcImprovedPerturbed);
}

// Mode 0 to 2030: the elements at the epoch in the result pane, which comes
// back to the front; the approaches of another body without a new run.
TEST_F(ForecastOnSolution, ElementsAtTheTypedEpoch) {
  ForecastModel model(&m_view);
  m_form.SetEpoch("2030", "1", "1");
  ASSERT_EQ(model.Calculate(m_form), kEngineDone) << m_form.Text(kFcResult);
  EXPECT_EQ(m_form.m_nTab, 0);
  EXPECT_EQ(m_form.Text(kFcStatus), "計算完了");
  EXPECT_EQ(model.State().m_el.m_dEpoch, CalendarToJd(2030, 1, 1));
  EXPECT_NE(m_form.Text(kFcLog).find("【積分間隔のログ】"), std::string::npos) << m_form.Text(kFcLog);
  const std::string all = m_form.Text(kFcApproach);
  m_form.m_controls[kFcBody].m_nSelection = 5;  // 木星
  model.ShowBodyApproaches(m_form);
  EXPECT_NE(m_form.Text(kFcApproach), all);
  EXPECT_FALSE(m_form.Text(kFcApproach).empty());
}

bool Yes(CDetermination*) { return true; }

// Busy first: the measurement neither prepares nor touches the view's state.
TEST_F(ForecastOnSolution, ErrorGrowthRefusedWhileBusy) {
  OrbitEngine& e = *m_view.m_pEngine;
  ForecastModel model(&m_view);
  m_form.SetEpoch("2030", "1", "1");
  e.m_bBusy = 1;
  EXPECT_EQ(model.MeasureErrorGrowth(m_form, Yes), -1);
  e.m_bBusy = 0;
  EXPECT_EQ(model.State().m_pApproach, nullptr);
  EXPECT_EQ(e.m_nCalcState, kCalcImprovedTwoBody);
  EXPECT_EQ(m_view.m_nUpdates, 0);
  EXPECT_TRUE(m_ui.m_messages.empty());
}

// Twenty years in five stages: a row each, the conclusion, and the dialog's
// state and the engine's flags as they were.
TEST_F(ForecastOnSolution, ErrorGrowthRowsAndRestoredState) {
  OrbitEngine& e = *m_view.m_pEngine;
  ForecastModel model(&m_view);
  m_form.SetEpoch("2043", "1", "1");
  e.m_bAutoStop = 1;
  ASSERT_EQ(model.MeasureErrorGrowth(m_form, Yes), 0) << m_form.Text(kFcResult);
  const std::string text = m_form.Text(kFcResult);
  std::printf("%s\n", text.c_str());
  EXPECT_EQ(text.rfind("【積分誤差の伸び】\r\n起点 2023/01/17.00  →  目標 2043/01/01.00  (20.0 年)\r\n", 0), 0u) << text;
  int rows = 0;
  for (size_t at = text.find("\r\n     "); at != std::string::npos; at = text.find("\r\n     ", at + 2)) ++rows;
  EXPECT_EQ(rows, 5) << text;
  EXPECT_NE(text.find("「立上げ直し」は積分間隔の変更回数"), std::string::npos);
  EXPECT_EQ(m_form.Text(kFcStatus), "計算完了");
  const IntegrationState& s = model.State();
  EXPECT_EQ(s.m_pApproach, model.Approach());
  EXPECT_EQ(s.m_dEpoch, kBeltT0);
  EXPECT_EQ(s.m_dEnd, CalendarToJd(2043, 1, 1));
  EXPECT_EQ(s.m_el.m_dT, e.m_state.m_el.m_dT);
  EXPECT_EQ(e.m_bAutoRunning, 0);
  EXPECT_EQ(e.m_bAutoStop, 1);
  EXPECT_EQ(e.m_bBusy, 0);
}

// A cancel pressed in the first stage: the run's own reason reaches the
// result pane, under the heading and over the conclusion.
TEST_F(ForecastOnSolution, ErrorGrowthCancelledShowsTheRunsReason) {
  struct CancellingUi : HeadlessUiServices {
    bool PumpOneEvent() override {
      if (++m_pumps == 50) m_engine->m_nCancel = 1;
      return false;
    }
    OrbitEngine* m_engine = nullptr;
  } ui;
  ui.m_engine = m_view.m_pEngine;
  ScopedUi scoped(ui);
  ForecastModel model(&m_view);
  m_form.SetEpoch("2043", "1", "1");
  EXPECT_EQ(model.MeasureErrorGrowth(m_form, Yes), kEngineCancelled);
  const std::string text = m_form.Text(kFcResult);
  const size_t heading = text.find("【積分誤差の伸び】"), reason = text.find(kMsgCancelledByButton),
               conclusion = text.find("※[中止]ボタンにより途中で打ち切りました。");
  EXPECT_EQ(heading, 0u) << text;
  ASSERT_NE(reason, std::string::npos) << text;
  EXPECT_LT(reason, conclusion) << text;
  EXPECT_NE(conclusion, std::string::npos) << text;
}

// A target so near that only the whole interval exceeds twelve steps of 8 days.
TEST_F(ForecastOnSolution, ErrorGrowthWithOneRow) {
  ForecastModel model(&m_view);
  m_form.SetText(kFcStep, "8日");
  int y, m;
  double d, yy, mm;
  JdToCalendar(kBeltT0 + 150, yy, mm, d);
  y = static_cast<int>(yy), m = static_cast<int>(mm);
  m_form.SetEpoch(std::to_string(y), std::to_string(m), FormatEpochDay(d));
  ASSERT_EQ(model.MeasureErrorGrowth(m_form, Yes), 0);
  const std::string text = m_form.Text(kFcResult);
  EXPECT_NE(text.find("測定できた区間が少ないため、伸び方を判定できませんでした。"), std::string::npos) << text;
  EXPECT_EQ(text.find("\r\n       0.2 "), std::string::npos) << text;
}

// Ctrl+計算 in developer mode replaces the solution by an orbit that meets the
// chosen body at the typed epoch: the run from ten days before ends in the
// collision; without a body chosen the preparation refuses with its message.
TEST_F(ForecastOnSolution, CtrlCalcRunsTheTestImpactor) {
  const int developer = TheApp().m_bDeveloper;
  TheApp().m_bDeveloper = 1;
  m_ui.m_keys[static_cast<int>(UiKey::Control)] = true;
  ForecastModel model(&m_view);
  m_form.SetEpoch("2031", "6", "15");
  EXPECT_EQ(model.Calculate(m_form), -1);
  ASSERT_FALSE(m_ui.m_messages.empty());
  EXPECT_NE(m_ui.m_messages.back().text.find("衝突テストでは"), std::string::npos);
  // The Earth's pull brings its impact half an hour early, Mars's minutes.
  const char* detected[2] = {"【地球衝突を検出】 2031/ 6/14 23:", "【火星衝突を検出】 2031/ 6/14 23:"};
  for (int sel : {3, 4}) {  // the Earth, Mars
    m_form.m_controls[kFcBody].m_nSelection = sel;
    EXPECT_EQ(model.Calculate(m_form), kEngineImpact) << sel;
    const std::string text = m_form.Text(kFcResult);
    EXPECT_NE(text.find(detected[sel - 3]), std::string::npos) << text.substr(0, 400);
    EXPECT_NE(text.find("※指定元期(2031/6/25.0)の軌道要素は"), std::string::npos) << text.substr(0, 600);
  }
  m_ui.m_keys[static_cast<int>(UiKey::Control)] = false;
  TheApp().m_bDeveloper = developer;
}

}  // namespace

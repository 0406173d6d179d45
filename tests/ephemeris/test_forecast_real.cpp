// The forecast dialog on solutions of the orbit-determination view from real
// observations: the original and future orbits of 1I/ʻOumuamua.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "engine/tool_sinks.h"
#include "tests/engine/test_improvement_support.h"
#include "tests/ephemeris/forecast_form.h"

namespace {

double ValueAfter(const std::string& text, const std::string& label) {
  const size_t at = text.find(label);
  return at == std::string::npos ? NAN : std::strtod(text.c_str() + at + label.size(), nullptr);
}

class ForecastReal : public RealObservationTest {
protected:
  // The view's solution with perturbations.
  void Determine(CDetermination& view, const char* file, double pickFrom, double pickTo) {
    if (Load(view, file) < 0) GTEST_SKIP() << MissingDataMessage(file);
    ASSERT_TRUE(PickAndDetermine(view, pickFrom, pickTo));
    ASSERT_EQ(ImproveTwoBody(view, 20), 0) << view.m_pDetClass->m_strError;
    ASSERT_EQ(ImproveToConvergence(view, 30), 0) << view.m_pEngine->m_strMessage;
    view.m_pEngine->m_nCalcState = kCalcImprovedPerturbed;
  }

  HeadlessToolSinks m_sinks;
  ScopedToolSinks m_scopedSinks{m_sinks};
};

// Both legs of 1I: the original orbit reaches 250 AU before 1960, the future
// one meets the end of the 1960-2060 file first, near 242 AU, and says so;
// 1/a is hyperbolic on both sides, classified only for the leg that reached 250 AU.
TEST_F(ForecastReal, OumuamuaOriginalAndFutureOrbits) {
  CDetermination view;
  Determine(view, "obs/mpc80/orbitfinder_1I.txt", CalendarToJd(2017, 10, 19), CalendarToJd(2017, 11, 24));
  if (HasFatalFailure() || IsSkipped()) return;
  std::printf("1I: mean residual %.3f\" e %.5f\n", view.m_pEngine->m_dMeanResidual, view.m_pEngine->m_state.m_el.m_dE);
  TestForecastForm form;
  form.SetText(kFcStep, kStepAutomatic);
  ForecastModel model(&view);
  model.State().m_nOrbitKind = kForecastBoth;
  ASSERT_EQ(model.Calculate(form), kEngineDone) << form.Text(kFcResult);
  const std::string text = form.Text(kFcResult);
  std::printf("%s\n", text.substr(text.find("===== 惑星摂動")).c_str());
  EXPECT_EQ(form.m_nTab, 0);
  EXPECT_EQ(model.State().m_nOrbitKind, kForecastBoth);
  EXPECT_EQ(text.rfind("===== 原初軌道 (太陽系重心, 250 AU) =====\r\n", 0), 0u) << text.substr(0, 200);
  const size_t future = text.find("===== 未来軌道 (日心: 250 AU に届く前に 2059/");
  ASSERT_NE(future, std::string::npos) << text;
  EXPECT_NE(text.find("で惑星暦の範囲の端に達して停止, 太陽から ", future), std::string::npos);
  const double r = ValueAfter(text.substr(future), "太陽から ");
  EXPECT_NEAR(r, 242.0, 3.0);
  const double original = ValueAfter(text, "  原初 1/a = "), fut = ValueAfter(text, "  未来 1/a = ");
  EXPECT_NEAR(original, -0.786, 0.02 * 0.786);
  EXPECT_NEAR(fut, -0.786, 0.02 * 0.786);
  EXPECT_NE(text.find("AU^-1   (双曲線)\r\n"), std::string::npos);
  // The future leg stopped at 242 AU: its 1/a is not called the future orbit's.
  EXPECT_NE(text.find("  未来 1/a = -0."), std::string::npos);
  EXPECT_NE(text.find("AU^-1   (250 AU に届く前の値: 軌道の分類には使えません)\r\n"), std::string::npos);
  const std::string log = form.Text(kFcLog);
  EXPECT_EQ(log.rfind("===== 原初軌道(時間を遡る) =====\r\n", 0), 0u) << log.substr(0, 200);
  EXPECT_NE(log.find("\r\n===== 未来軌道(時間を進める) =====\r\n"), std::string::npos);
}

}  // namespace

namespace {

// 2008 TC3 from its observations: "衝突確率(&P)" with 300 clones to the day
// after the entry finds them all hitting the Earth; the dialog's own state
// and approach record stay as they were.
TEST_F(ForecastReal, TC3ImpactProbabilityWith300Clones) {
  CDetermination view;
  const int count = Load(view, "obs/mpc80/neosjl_2008TC3.txt");
  if (count < 0) GTEST_SKIP() << MissingDataMessage("obs/mpc80/neosjl_2008TC3.txt");
  OrbitEngine& engine = *view.m_pEngine;
  const ObservationRecord* obs = view.m_pDetClass->m_pOrbObs;
  const double first = obs[0].m_dJdTt, last = obs[count - 1].m_dJdTt;
  ASSERT_TRUE(PickAndDetermine(view, first, last - 0.05 * (last - first)));
  ASSERT_EQ(ImproveTwoBody(view, 20), 0);
  // With perturbations, the epoch at the start of the arc's first day and a fine step.
  view.SetItemText(kIdStepCombo, "5分37.5秒");
  engine.m_bPerturbations = 1;
  engine.m_dFieldEpoch = std::floor(first - 0.5) + 0.5;
  for (int k = 1; k <= 400; ++k) {
    if (k % 40 == 0) ClipOutliers(view, 3.0, 2.0, first, last);
    ASSERT_EQ(ImprovementStep(view), 0) << engine.m_strMessage;
  }
  ASSERT_EQ(engine.m_bCovarianceValid, 1);
  TestForecastForm form;
  form.SetText(kFcStep, kStepAutomatic);
  form.SetText(kFcClones, "300");
  form.SetEpoch("2008", "10", "8");
  ForecastModel model(&view);
  ASSERT_EQ(model.ImpactProbability(form), 0) << form.Text(kFcResult);
  const std::string text = form.Text(kFcResult);
  std::printf("%s\n", text.substr(0, 400).c_str());
  EXPECT_EQ(text.rfind("【惑星衝突確率(モンテカルロ法)】\r\n", 0), 0u);
  const size_t at = text.find("衝突確率    : ");
  ASSERT_NE(at, std::string::npos) << text;
  EXPECT_GE(std::strtod(text.c_str() + at + std::string("衝突確率    : ").size(), nullptr), 99.0) << text;
  EXPECT_EQ(model.State().m_pApproach, nullptr);
}

}  // namespace

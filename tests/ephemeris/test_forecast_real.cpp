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
// 1/a is hyperbolic on both sides.
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
  EXPECT_NE(text.find("AU^-1   (双曲線 = 太陽系から脱出)\r\n"), std::string::npos);
  const std::string log = form.Text(kFcLog);
  EXPECT_EQ(log.rfind("===== 原初軌道(時間を遡る) =====\r\n", 0), 0u) << log.substr(0, 200);
  EXPECT_NE(log.find("\r\n===== 未来軌道(時間を進める) =====\r\n"), std::string::npos);
}

}  // namespace

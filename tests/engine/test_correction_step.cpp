// The correction step on normal equations made to measure: residuals of a
// linear model whose exact correction is known, so that the solution, the
// damping after a worsening, the calibration of the variation amounts, the
// guard against a diverged solution and the step limit can be checked
// exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/correction_step.h"
#include "engine/determination_host.h"
#include "engine/integration_drivers.h"
#include "engine/variation_amounts.h"
#include "platform/ui_services.h"

namespace {

constexpr double kArcsec = M_PI / 180.0 / 3600.0;
constexpr int kObs = 24;
constexpr int kParams = 6;
const double kStart[9] = {2460000.5, 1.0, 2.0, 0.5, 1.2, 0.3, 0, 0, 0};  // T, peri, node, incl, q, e, A1-A3

class CorrectionStepTest : public ::testing::Test {
protected:
  void SetUp() override {
    DetClass* det = m_view.m_pDetClass;
    det->m_pOrbObs = static_cast<ObservationRecord*>(std::calloc(kObs + 1, sizeof(ObservationRecord)));
    det->m_nObsCount = kObs;
    for (int i = 0; i < kObs; ++i) {
      det->m_pOrbObs[i].m_dJdTt = 2460000.0 + i;
      det->m_pOrbObs[i].m_dWeight = 1.0;
    }
    det->m_pOrbObs[kObs].m_dJdUtc = -1.0;
    m_state.m_nBodies = kParams + 1;
    m_state.m_nSolveMask = 0x7F;
    m_state.m_dEpoch = 2460040.5;
    for (int j = 0; j < 9; ++j) m_state.m_dVariation[j] = m_engine.m_dVariation[j];
    SetElements(kStart);
    // Partials that move each observation by 1.5"-7" per variation amount.
    for (int i = 0; i < kObs; ++i)
      for (int j = 0; j < kParams; ++j)
        for (int c = 0; c < 2; ++c) {
          const double k = 0.3 + std::fmod(0.37 * (i + 1) * (j + 2) + 0.61 * c + 0.13 * j * j, 1.1);
          m_partial[i][c][j] = ((i + j + c) % 3 == 0 ? -1 : 1) * 5.0 * k * kArcsec / kStandardVariation[j];
        }
  }

  void SetElements(const double el[9]) {
    ElementBlock& b = m_state.m_el;
    b.m_dT = el[0], b.m_dPeri = el[1], b.m_dNode = el[2], b.m_dIncl = el[3], b.m_dQ = el[4], b.m_dE = el[5];
    b.m_dA1 = el[6], b.m_dA2 = el[7], b.m_dA3 = el[8];
  }
  std::vector<double> Elements() const {
    const ElementBlock& b = m_state.m_el;
    return {b.m_dT, b.m_dPeri, b.m_dNode, b.m_dIncl, b.m_dQ, b.m_dE};
  }

  // Residuals of an orbit that is `truth` away from the elements: the
  // nominal ones in the records, the varied orbits' in the table.
  void MakeResiduals(const double truth[kParams], double scale = 1.0) {
    m_table.assign(kObs * kVariedResidualStride, 0.0);
    for (int i = 0; i < kObs; ++i) {
      ObservationRecord& o = m_view.m_pDetClass->m_pOrbObs[i];
      double r[2] = {0, 0};
      for (int c = 0; c < 2; ++c)
        for (int j = 0; j < kParams; ++j) r[c] += m_partial[i][c][j] * truth[j];
      o.m_dResRa = r[0] * scale;
      o.m_dResDec = r[1] * scale;
      for (int j = 0; j < kParams; ++j) {
        m_table[i * kVariedResidualStride + j] = o.m_dResRa - m_partial[i][0][j] * m_state.m_dVariation[j];
        m_table[i * kVariedResidualStride + 10 + j] = o.m_dResDec - m_partial[i][1][j] * m_state.m_dVariation[j];
      }
    }
  }

  int Apply() { return ApplyCorrection(&m_engine, m_table.data(), &m_state); }

  HeadlessUiServices m_ui;
  ScopedUi m_scopedUi{m_ui};
  CDetermination m_view;
  OrbitEngine& m_engine = *m_view.m_pEngine;
  IntegrationState& m_state = m_view.m_pEngine->m_state;
  double m_partial[kObs][2][kParams] = {};
  std::vector<double> m_table;
};

const double kTruth[kParams] = {0.002, -1.5e-5, 2e-5, 1e-5, 2e-6, -3e-6};

// The solution is the correction that made the residuals; excluded
// observations and odd weights do not disturb it.
TEST_F(CorrectionStepTest, SolvesTheNormalEquationsExactly) {
  MakeResiduals(kTruth);
  ObservationRecord* obs = m_view.m_pDetClass->m_pOrbObs;
  obs[3].m_bRejected = 1;
  obs[3].m_dResRa = 1e-3;  // an outlier that is excluded
  obs[5].m_nUnknownStation = 1;
  obs[5].m_dResDec = -1e-3;
  obs[7].m_dWeight = 1000.0;  // out of range: counts as 1
  obs[8].m_dWeight = NAN;
  ASSERT_EQ(Apply(), 0) << m_engine.m_strPendingNote;
  EXPECT_EQ(m_engine.m_nUsedObs, kObs - 2);
  EXPECT_DOUBLE_EQ(m_engine.m_dSumWeights, kObs - 2.0);
  const std::vector<double> el = Elements();
  for (int j = 0; j < kParams; ++j) EXPECT_NEAR(el[j], kStart[j] + kTruth[j], 1e-12 * (1 + std::fabs(kStart[j]))) << j;
  EXPECT_EQ(m_engine.m_bHaveSaved, 1);
  EXPECT_EQ(m_engine.m_savedElements[4], kStart[4]);
  EXPECT_EQ(m_engine.m_bDampingActive, 1);
  // Derived elements at the start epoch.
  const double a = m_state.m_el.m_dA;
  EXPECT_NEAR(a, m_state.m_el.m_dQ / (1 - m_state.m_el.m_dE), 1e-15);
  EXPECT_NEAR(m_state.m_el.m_dN, 0.01720209895 / std::pow(a, 1.5), 1e-18);
}

// A step after which the mean residual grew retries the same correction at
// 1/2, 1/4, 1/8 and 1/16; a further worsening restores the elements and cuts
// the variation amounts to a tenth.
TEST_F(CorrectionStepTest, WorseningShortensThenUndoes) {
  MakeResiduals(kTruth);
  ASSERT_EQ(Apply(), 0);
  const std::vector<double> full = Elements();
  for (int k = 1; k <= 4; ++k) {
    SCOPED_TRACE(k);
    MakeResiduals(kTruth, 10.0);  // the corrected orbit fits ten times worse
    ASSERT_EQ(Apply(), 1);
    const double f = std::ldexp(1.0, -k);
    EXPECT_NEAR(m_state.m_el.m_dT, kStart[0] + f * (full[0] - kStart[0]), 1e-9);
    EXPECT_NE(m_engine.m_strPendingNote.find(std::string("同じ補正を1/") + std::to_string(1 << k) + "に縮めてやり直します"),
              std::string::npos)
        << m_engine.m_strPendingNote;
  }
  MakeResiduals(kTruth, 10.0);
  ASSERT_EQ(Apply(), 1);
  EXPECT_EQ(Elements()[0], kStart[0]);
  EXPECT_EQ(m_engine.m_bHaveSaved, 0);
  EXPECT_EQ(m_engine.m_nWorsenRetries, 1);
  for (int j = 0; j < kParams; ++j) EXPECT_DOUBLE_EQ(m_engine.m_dVariation[j], 0.1 * kStandardVariation[j]);
  EXPECT_EQ(m_engine.m_strPendingNote.rfind("※歩幅を縮めても平均残差の悪化(", 0), 0u);

  // After four such cuts a worsening is accepted for once.
  MakeResiduals(kTruth);
  m_engine.m_bAutoCalibrate = 0;
  ASSERT_EQ(Apply(), 0);
  m_engine.m_nWorsenRetries = 4;
  MakeResiduals(kTruth, 10.0);
  EXPECT_EQ(Apply(), 0);
  EXPECT_EQ(m_engine.m_nWorsenRetries, 0);
  EXPECT_NE(m_engine.m_strStepNotes.find("一時的な悪化を許容して改良を続行します"), std::string::npos);
}

// Calibration: an amount that moves nothing grows tenfold, one that moves
// an observation by 60" is cut to move it by 3"; the step is redone.
TEST_F(CorrectionStepTest, CalibrationRescalesTheAmounts) {
  for (int i = 0; i < kObs; ++i)
    for (int c = 0; c < 2; ++c) {
      m_partial[i][c][2] = 0.0;
      m_partial[i][c][4] = 0.0;
    }
  m_partial[6][0][4] = 60.0 * kArcsec / kStandardVariation[4];
  MakeResiduals(kTruth);
  const std::vector<double> before = Elements();
  ASSERT_EQ(Apply(), 1);
  EXPECT_EQ(Elements(), before);
  EXPECT_DOUBLE_EQ(m_engine.m_dVariation[2], 10.0 * kStandardVariation[2]);
  EXPECT_DOUBLE_EQ(m_state.m_dVariation[2], 10.0 * kStandardVariation[2]);
  EXPECT_NEAR(m_engine.m_dVariation[4], kStandardVariation[4] / 20.0, 1e-18);
  EXPECT_EQ(m_engine.m_nCalibrationRounds, 1);
  EXPECT_EQ(m_engine.m_strPendingNote.rfind("※変分軌道が観測位置に与える変位が適正範囲(0.5\"〜20.0\")を外れていた(最大 1.0分: "
                                            "観測7 / 最小 0.00\": 観測1)ため、変位が約3\"になるよう要素変化量を自動調整しました("
                                            "2要素)。改良をやり直します\r\n",
                                            0),
            0u)
      << m_engine.m_strPendingNote;

  // The seventh round in a row gives up calibrating and corrects.
  m_engine.m_nCalibrationRounds = 6;
  MakeResiduals(kTruth);
  EXPECT_EQ(Apply(), 1);  // the singular column: a diverged solution
  EXPECT_EQ(m_engine.m_bAutoCalibrate, 0);
  EXPECT_EQ(m_engine.m_strPendingNote.rfind("※補正量が数値として不正(変分軌道の発散)", 0), 0u) << m_engine.m_strPendingNote;
}

// A solution that is not finite never reaches the elements: the amounts are
// cut to a tenth, and at their lower bound the improvement stops, after
// which correcting calls apply nothing.
TEST_F(CorrectionStepTest, DivergedSolutionNeverReachesTheElements) {
  m_engine.m_bAutoCalibrate = 0;
  SetVariationAmount(&m_engine, 3, 0.0);  // an emptied amount in the dialog
  m_state.m_dVariation[3] = 0.0;
  MakeResiduals(kTruth);
  const std::vector<double> before = Elements();
  ASSERT_EQ(Apply(), 1);
  EXPECT_EQ(Elements(), before);
  EXPECT_DOUBLE_EQ(m_engine.m_dVariation[3], 1e-4 * kStandardVariation[3]);
  EXPECT_DOUBLE_EQ(m_engine.m_dVariation[0], 0.1 * kStandardVariation[0]);
  EXPECT_EQ(m_engine.m_bHaveSaved, 0);

  for (int j = 0; j < kParams; ++j) {
    SetVariationAmount(&m_engine, j, 1e-4 * kStandardVariation[j]);
    m_state.m_dVariation[j] = m_engine.m_dVariation[j];
    for (int i = 0; i < kObs; ++i) m_partial[i][0][1] = m_partial[i][1][1] = 0.0;  // a singular system
  }
  MakeResiduals(kTruth);
  ASSERT_EQ(Apply(), 1);
  EXPECT_EQ(m_engine.m_bCorrectionStopped, 1);
  EXPECT_EQ(m_engine.m_strPendingNote, "※要素変化量が下限(標準の1/10000)でも補正量が不正なため、改良を打ち切りました\r\n");
  EXPECT_EQ(Apply(), 0);
  EXPECT_EQ(Elements(), before);
  EXPECT_EQ(m_engine.m_strStepNotes, "※要素変化量が下限(標準の1/10000)でも補正量が不正なため、改良を打ち切りました\r\n");
  EXPECT_EQ(Apply(), 0);
  EXPECT_EQ(m_engine.m_strStepNotes.rfind("※補正量が不正になるため、改良は打ち切り済みです", 0), 0u);
}

// A correction that would change e by more than 0.25 is halved until it
// does not, with a note.
TEST_F(CorrectionStepTest, LimitsTheChangeOfQAndE) {
  m_engine.m_bAutoCalibrate = 0;
  const double jump[kParams] = {0, 0, 0, 0, 0, 0.6};
  MakeResiduals(jump);
  ASSERT_EQ(Apply(), 0);
  EXPECT_NEAR(m_state.m_el.m_dE, kStart[5] + 0.15, 1e-9);  // s = 1/4
  EXPECT_NE(m_engine.m_strStepNotes.find("※補正量を制限しました"), std::string::npos);
}

TEST_F(CorrectionStepTest, ApplyingFoldsTheInclinationAndClampsQAndE) {
  m_state.m_nSolveMask = 0x7F;
  m_state.m_el.m_dIncl = 3.1;
  m_state.m_el.m_dQ = 0.01;
  const double correction[9] = {0, 0, 0, 0.1, -0.02, -0.5, 0, 0, 0};
  std::copy(correction, correction + 9, m_engine.m_dLastCorrection);
  m_engine.m_strStepNotes.clear();
  ApplyCorrectionByMask(&m_engine, &m_state, 1.0);
  EXPECT_NEAR(m_state.m_el.m_dIncl, 2 * M_PI - 3.2, 1e-12);
  EXPECT_NEAR(m_state.m_el.m_dNode, 2.0 + M_PI, 1e-12);
  EXPECT_NEAR(m_state.m_el.m_dPeri, 1.0 + M_PI, 1e-12);
  EXPECT_EQ(m_state.m_el.m_dQ, kSunRadiusAu);
  EXPECT_EQ(m_state.m_el.m_dE, 0.0);
  EXPECT_NE(m_engine.m_strStepNotes.find("0.00465 AU に制限"), std::string::npos);

  // Undo to the saved copy, once.
  for (int j = 0; j < 9; ++j) m_engine.m_savedElements[j] = kStart[j];
  m_engine.m_bHaveSaved = 1;
  RevertLastCorrection(&m_engine, &m_state);
  EXPECT_EQ(m_state.m_el.m_dIncl, kStart[3]);
  EXPECT_EQ(m_engine.m_strMessage, "(軌道要素は直前の補正前の値へ戻しました)");
  RevertLastCorrection(&m_engine, &m_state);
  EXPECT_EQ(m_engine.m_strMessage, "(軌道要素は直前の補正前の値へ戻しました)");
}

}  // namespace

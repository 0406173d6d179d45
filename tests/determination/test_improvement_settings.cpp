// The improvement settings of the view without its window: automatic
// rejection, threshold spins, weights, the non-gravitational switches and
// model, the close-approach body list.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "astro/time_scales.h"
#include "determination/det_form.h"
#include "determination/determination_display.h"
#include "determination/improvement_settings.h"
#include "engine/orbit_engine.h"
#include "platform/app_services.h"
#include "platform/ui_services.h"
#include "tests/common/test_data.h"

namespace {

constexpr double kRadPerArcsec = 3.14159265358979323846 / 180 / 3600;

struct Obs {
  int year;
  double resRa, resDec;  // arcsec
  int byHand, unknown, rejected;
};

class SettingsTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetUi(&m_ui);
    m_app.m_profile.SetPath(MakeTempDir("settings") + "Tessarune.INI");
    m_view = std::make_unique<CDeterminationDisplay>();
  }
  void TearDown() override {
    m_view.reset();
    SetUi(nullptr);
  }
  void Load(const std::vector<Obs>& list) {
    auto* obs = static_cast<ObservationRecord*>(std::calloc(list.size() + 1, sizeof(ObservationRecord)));
    for (size_t i = 0; i < list.size(); ++i) {
      ObservationRecord& o = obs[i];
      double y = list[i].year, m = 6, d = 1.5;
      o.m_dJdUtc = o.m_dJdTt = CalendarToJd(y, m, d);
      o.m_dResRa = list[i].resRa * kRadPerArcsec;
      o.m_dResDec = list[i].resDec * kRadPerArcsec;
      o.m_bByHand = static_cast<unsigned char>(list[i].byHand);
      o.m_bRejected = static_cast<unsigned char>(list[i].rejected || list[i].byHand);
      o.m_nUnknownStation = list[i].unknown;
      o.m_dWeight = 1.0;
    }
    obs[list.size()].m_dJdUtc = -1.0;
    std::free(m_view->m_pDetClass->m_pOrbObs);
    m_view->m_pDetClass->m_pOrbObs = obs;
    m_view->m_pDetClass->m_nObsCount = static_cast<int>(list.size());
  }
  ObservationRecord& At(int i) { return m_view->m_pDetClass->m_pOrbObs[i]; }
  void Fields(const char* year, const char* before, const char* after) {
    m_view->SetItemText(kIdRejectYear, year);
    m_view->SetItemText(kIdRejectOld, before);
    m_view->SetItemText(kIdRejectNew, after);
  }

  HeadlessUiServices m_ui;
  CTessaruneApp m_app;
  std::unique_ptr<CDeterminationDisplay> m_view;
};

} // namespace

// The boundary year takes the earlier threshold; hand rejections and unknown
// stations stay rejected; a rejection the residuals no longer justify is lifted.
TEST_F(SettingsTest, AutomaticRejectionByEra) {
  Load({
      {1820, 5.0, 0.0, 0, 0, 0},  // boundary year: 6" applies, kept
      {1821, 0.0, 2.5, 0, 0, 0},  // later: 2" applies, rejected
      {1800, 0.1, 0.1, 1, 0, 0},  // by hand: stays
      {2000, 0.1, 0.1, 0, 1, 0},  // unknown station: rejected
      {2000, 0.5, 0.5, 0, 0, 1},  // was rejected, now within: lifted
      {1700, 6.0, 0.0, 0, 0, 0},  // exactly the threshold: rejected
  });
  Fields("1820", "6.0", "2.0");
  RejectionCounts c;
  ASSERT_TRUE(RunAutomaticRejection(*m_view, m_app, &c));
  const int expected[] = {0, 1, 1, 1, 0, 1};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(At(i).m_bRejected, expected[i]) << i;
  EXPECT_EQ(At(2).m_bByHand, 1);
  EXPECT_EQ(c.totalBefore + c.totalAfter, 6);
  EXPECT_EQ(c.rejectedBefore, 2);
  EXPECT_EQ(c.rejectedAfter, 2);
  EXPECT_NE(m_view->m_strCalcLog.find("リジェクト: 1820年以前 6.0\"で 2/3個、1820年より後 2.0\"で 2/3個を除外"),
            std::string::npos)
      << m_view->m_strCalcLog;
  EXPECT_EQ(m_app.GetProfileInt(kSettingsSection, "REJECTYEAR", 0), 1820);
  EXPECT_EQ(m_app.GetProfileString(kSettingsSection, "REJECTNEW", ""), "2.0");
}

// A year outside 1000-3000 and a threshold that is no positive number keep
// the stored values, and the fields show them again.
TEST_F(SettingsTest, BadFieldsFallBackToTheStoredThresholds) {
  Load({{1900, 3.0, 0.0, 0, 0, 0}});
  m_view->m_nRejectYear = 1850;
  m_view->m_dRejectOld = 4.0;
  Fields("999", "abc", "-1");
  ASSERT_TRUE(RunAutomaticRejection(*m_view, m_app));
  EXPECT_EQ(m_view->GetItemText(kIdRejectYear), "1850");
  EXPECT_EQ(m_view->GetItemText(kIdRejectOld), "4.0");
  EXPECT_EQ(m_view->GetItemText(kIdRejectNew), "2.0");
  EXPECT_EQ(At(0).m_bRejected, 1);  // 1900 is after 1850: 2" applies
  CDeterminationDisplay empty;
  EXPECT_FALSE(RunAutomaticRejection(empty, m_app));
}

TEST_F(SettingsTest, ThresholdSpinsStayInRange) {
  struct Case {
    const char* text;
    int step;
    const char* result;
  } cases[] = {{"2.0", -1, "2.1"}, {"2.0", 1, "1.9"}, {"0.1", 1, "0.1"}, {"99999.9", -1, "99999.9"}, {"x", -1, "0.1"}};
  for (const Case& c : cases) {
    m_view->SetItemText(kIdRejectNew, c.text);
    StepRejectThreshold(*m_view, kIdRejectNew, c.step);
    EXPECT_EQ(m_view->GetItemText(kIdRejectNew), c.result) << c.text << " " << c.step;
  }
}

TEST_F(SettingsTest, WeightsWithinTheirRange) {
  Load({{2000, 0, 0, 0, 0, 0}, {2000, 0, 0, 0, 0, 0}, {2000, 0, 0, 0, 0, 0}});
  m_view->m_pEngine->m_bCovarianceValid = 1;
  struct Case {
    const char* text;
    bool accepted;
  } cases[] = {{"100", true}, {"0.1", true}, {"100.01", false}, {"0.09", false}, {"abc", false}, {"", false}};
  for (const Case& c : cases) {
    m_ui.m_messages.clear();
    At(1).m_dWeight = 1.0;
    m_view->SetItemText(kIdWeightEdit, c.text);
    EXPECT_EQ(SetWeightOfRows(*m_view, {1, 7}), c.accepted) << c.text;
    EXPECT_EQ(At(1).m_dWeight, c.accepted ? std::atof(c.text) : 1.0) << c.text;
    EXPECT_EQ(m_ui.m_messages.size(), c.accepted ? 0u : 1u) << c.text;
  }
  EXPECT_EQ(m_view->m_pEngine->m_bCovarianceValid, 0);
  EXPECT_EQ(At(0).m_dWeight, 1.0);
  m_view->SetItemText(kIdWeightEdit, "2.5");
  SetWeightOfRows(*m_view, {2});
  EXPECT_TRUE(AnyWeightChanged(*m_view));
  ResetWeightOfRows(*m_view, {1, 2});
  EXPECT_FALSE(AnyWeightChanged(*m_view));
}

// "太陽光圧" clears A2 and A3 and hides their fields; another model afterwards
// resets A1 to 1e-10 and A2, A3 to 1e-11; model 1 names them Y1-Y3.
TEST_F(SettingsTest, ModelSwitching) {
  ElementBlock& el = m_view->m_pEngine->m_state.m_el;
  el.m_dA2 = el.m_dA3 = 5e-9;
  m_view->m_pEngine->m_bNonGravA3 = 1;
  m_view->SetSelection(kIdNonGravModelCombo, 3);
  OnNonGravModelChange(*m_view);
  EXPECT_EQ(m_view->m_pEngine->m_nNonGravModel, 3);
  EXPECT_EQ(el.m_dA2, 0.0);
  EXPECT_EQ(el.m_dA3, 0.0);
  EXPECT_EQ(el.m_dA1, 1e-10);
  EXPECT_EQ(m_view->m_pEngine->m_bNonGravA3, 0);
  EXPECT_FALSE(m_view->IsItemVisible(kIdA2Value));
  m_view->SetSelection(kIdNonGravModelCombo, 1);
  OnNonGravModelChange(*m_view);
  EXPECT_EQ(el.m_dA2, 1e-11);
  EXPECT_EQ(el.m_dA3, 1e-11);
  EXPECT_TRUE(m_view->IsItemVisible(kIdA2Value));
  EXPECT_EQ(m_view->GetItemText(kIdA1Label), "Y1");
  m_view->SetNonGravModel(7);
  EXPECT_EQ(m_view->m_pEngine->m_nNonGravModel, 0);
  EXPECT_EQ(m_view->GetItemText(kIdA3Label), "A3");
}

TEST_F(SettingsTest, NonGravRefusedWhileEIsFixed) {
  m_view->m_pDetClass->m_bFixEcc = 1;
  m_view->SetCheck(kIdNonGravCheck, 1);
  OnNonGravComputeBox(*m_view);
  EXPECT_EQ(m_view->IsChecked(kIdNonGravCheck), 0);
  EXPECT_EQ(m_view->m_pEngine->m_bNonGrav, 0);
  ASSERT_EQ(m_ui.m_messages.size(), 1u);
  m_view->m_pDetClass->m_bFixEcc = 0;
  m_view->SetCheck(kIdNonGravCheck, 1);
  OnNonGravComputeBox(*m_view);
  EXPECT_EQ(m_view->m_pEngine->m_bNonGrav, 1);
}

// The body list: "最接近", the ten bodies, five asteroid slots; a selection
// beyond the new set's members falls back to entry 0.
TEST(ApproachBodies, EntriesAndKeptSelection) {
  const auto entries = ApproachBodyEntries(0);
  ASSERT_EQ(entries.size(), 16u);
  EXPECT_EQ(entries[0], "最接近");
  EXPECT_EQ(entries[3], "地球");
  EXPECT_EQ(entries[10], "月");
  EXPECT_EQ(entries[11], "(なし)");  // set 0 has no asteroids
  EXPECT_EQ(KeptApproachBodySelection(10, 0), 10);
  EXPECT_EQ(KeptApproachBodySelection(11, 0), 0);
  // "パラス" chosen under a set of three; a set of one member drops it.
  EXPECT_EQ(ApproachBodyEntries(1)[12], "パラス");
  EXPECT_EQ(ApproachBodyEntries(2)[12], "(なし)");
  EXPECT_EQ(KeptApproachBodySelection(12, 1), 12);
  EXPECT_EQ(KeptApproachBodySelection(12, 2), 0);
  EXPECT_EQ(ApproachBodyOfEntry(0), 99);
  EXPECT_EQ(ApproachBodyOfEntry(3), 2);
}

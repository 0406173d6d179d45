// The Väisälä solvers against known orbits, the rules that pick a distance,
// the texts, and the view's state after each kind of calculation.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/tool_sinks.h"
#include "ephemeris/ephemerides.h"
#include "ephemeris/ephemeris_form.h"
#include "ephemeris/vaisala.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"
#include "tests/ephemeris/ephemeris_test_support.h"
#include "tests/ephemeris/vaisala_test_support.h"

TEST(VaisalaSolvers, EllipseFindsTheOrbitAtItsTrueDistance) {
  // A main-belt-like orbit at perihelion, seen over 30 minutes and over a day.
  const KnownOrbit truth{2.2, 0.12, 150.0, 80.0, 12.0};
  for (double dt : {30.0 / 1440.0, 1.0}) {
    const SyntheticPair s = MakePair(truth, 1.4, dt);
    const VaisalaOrbit o = VaisalaEllipse(1.4, s.in);
    ASSERT_FALSE(o.Failed()) << dt;
    const double a = truth.q / (1 - truth.e);
    EXPECT_NEAR(o.a, a, 1e-4 * a) << dt;
    EXPECT_NEAR(o.e, truth.e, 2e-4) << dt;
    EXPECT_NEAR(o.q, truth.q, 1e-4) << dt;
    EXPECT_NEAR(o.incl * kDegPerRad, truth.incl, 2e-3) << dt;
    EXPECT_NEAR(o.node * kDegPerRad, truth.node, 2e-3) << dt;
    EXPECT_NEAR(o.peri * kDegPerRad, truth.peri, 2e-2) << dt;
    // T is the nearer perihelion passage, the one the truth was built on.
    EXPECT_NEAR(o.T, s.T, 0.02) << dt;
    // M at the epoch agrees with the epoch and T.
    const double n = kGaussK / std::pow(o.a, 1.5) * kDegPerRad;
    EXPECT_NEAR(o.M, std::fmod(n * (o.epoch - o.T) + 360.0, 360.0), 1e-6);
  }
}

TEST(VaisalaSolvers, ParabolaFindsTheParabolaAtItsTrueDistance) {
  const KnownOrbit truth{0.8, 1.0, 30.0, 200.0, 110.0};
  const SyntheticPair s = MakePair(truth, 0.6, 0.5);
  const VaisalaOrbit o = VaisalaParabola(0.6, s.in);
  ASSERT_FALSE(o.Failed());
  EXPECT_EQ(o.e, 1.0);
  EXPECT_NEAR(o.q, truth.q, 1e-4);
  EXPECT_NEAR(o.incl * kDegPerRad, truth.incl, 2e-3);
  EXPECT_NEAR(o.node * kDegPerRad, truth.node, 2e-3);
  EXPECT_NEAR(o.peri * kDegPerRad, truth.peri, 2e-2);
  EXPECT_DOUBLE_EQ(o.T, s.in.t2 - 0.6 * kLightTimeDaysPerAu);
}

TEST(VaisalaSolvers, OrbitsTooOpenForAnEllipseFail) {
  // e above 0.99 and a hyperbola: both are failures marked by e and a of 999.
  for (const KnownOrbit& truth : {KnownOrbit{1.0, 0.995, 10, 20, 30}, KnownOrbit{1.0, 1.6, 10, 20, 30}}) {
    const SyntheticPair s = MakePair(truth, 0.5, 0.3);
    const VaisalaOrbit o = VaisalaEllipse(0.5, s.in);
    EXPECT_EQ(o.e, 999) << truth.e;
    EXPECT_EQ(o.a, 999) << truth.e;
  }
}

TEST(VaisalaSolvers, EpochIsTheNextTwentyDayDate) {
  const double n20 = 20.0 * 122865;
  EXPECT_EQ(VaisalaEpoch(n20 + 0.3), n20 + 20.5);
  EXPECT_EQ(VaisalaEpoch(n20 + 0.7), n20 + 20.5);
  EXPECT_EQ(VaisalaEpoch(n20 + 19.9), n20 + 20.5);
  EXPECT_EQ(VaisalaEpoch(n20 + 20.1), n20 + 40.5);
}

TEST(VaisalaRules, EllipsePreferenceOrder) {
  struct Row {
    const char* what;
    std::vector<std::vector<double>> orbits;  // a, e, M (degrees)
    int pick;
  };
  const std::vector<Row> rows = {
      {"near perihelion: first e < 0.15", {{2.5, 0.18, 5}, {2.6, 0.12, 10}, {2.7, 0.10, 350}}, 1},
      {"near perihelion: first e < 0.2", {{2.5, 0.25, 5}, {2.6, 0.18, 10}, {2.7, 0.19, 350}}, 1},
      {"near perihelion: last e < 0.3", {{2.5, 0.25, 5}, {2.6, 0.28, 10}, {2.7, 0.35, 350}}, 1},
      {"near perihelion: last of the class", {{2.5, 0.35, 5}, {2.6, 0.38, 10}, {2.7, 0.31, 100}}, 1},
      {"the near class wins", {{2.5, 0.10, 100}, {2.6, 0.35, 10}}, 1},
      {"else the other class", {{2.5, 0.35, 100}, {2.6, 0.12, 200}, {1.5, 0.05, 10}}, 1},
      {"else all: last e < 0.2", {{1.5, 0.10, 5}, {1.6, 0.15, 5}, {1.7, 0.30, 5}}, 1},
      {"else all: last e < 0.4", {{1.5, 0.50, 5}, {1.6, 0.35, 5}, {1.7, 0.45, 5}}, 1},
      {"else all: last e < 1.0", {{1.5, 0.70, 5}, {1.6, 0.95, 5}, {999, 999, -1}}, 1},
      {"nothing", {{999, 999, -1}, {999, 999, -1}}, -1},
  };
  for (const Row& row : rows) {
    std::vector<VaisalaOrbit> orbits;
    for (const auto& v : row.orbits) {
      VaisalaOrbit o;
      o.a = v[0], o.e = v[1], o.M = v[2];
      orbits.push_back(o);
    }
    EXPECT_EQ(PickEllipseIndex(orbits), row.pick) << row.what;
  }
}

TEST(VaisalaRules, ProbeTakesTheNearestAcceptedSemiMajorAxis) {
  auto orbit = [](double a, double e, double inclDeg) {
    VaisalaOrbit o;
    o.a = a, o.e = e, o.incl = inclDeg * kRadPerDeg;
    return o;
  };
  const VaisalaProbe& hungaria = kVaisalaProbes[0];
  // 1.95 is nearer 1.91 than 1.85; e or inclination outside the limits is passed over.
  EXPECT_EQ(PickProbeIndex(hungaria, {orbit(1.85, 0.1, 20), orbit(1.95, 0.1, 20), orbit(1.91, 0.3, 20)}), 1);
  EXPECT_EQ(PickProbeIndex(hungaria, {orbit(1.91, 0.1, 10), orbit(1.88, 0.1, 20)}), 1);
  // An exact tie keeps the first.
  EXPECT_EQ(PickProbeIndex(hungaria, {orbit(1.93, 0.1, 20), orbit(1.89, 0.1, 20)}), 0);
  EXPECT_EQ(PickProbeIndex(kVaisalaProbes[2], {orbit(5.5, 0.1, 10), VaisalaOrbit{}}), -1);
}

TEST(VaisalaTexts, ElementTextsOfBothForms) {
  const double rad = kRadPerDeg;
  EXPECT_EQ(FormatVaisalaElements("C/2020 A1", -1, 2459000.5, 0.5, 1.0, 10 * rad, 20 * rad, 30 * rad, -1),
            "Orbital elements:\r\nC/2020 A1\r\n"
            "T 2020 May  31.00000 TT\r\n"
            "q   0.500000             (2000.0)\r\n"
            "                   Peri.   10.0000\r\n"
            "                   Node    20.0000\r\n"
            "e   1.0            Incl.   30.0000\r\n");
  // a = 4: n = k / 8 rad/day; 10 days after T.
  const std::string text =
      FormatVaisalaElements("2015 XA", 2459000.5, 2458990.5, 3.6, 0.1, 10 * rad, 20 * rad, 30 * rad, 4.0);
  const double n = 0.01720209895 / 8 * 180 / M_PI;
  char expected[512];
  std::snprintf(expected, sizeof expected,
                "Orbital elements:\r\n2015 XA\r\n"
                "Epoch 2020 May  31.0 TT = JDT 2459000.5\r\n"
                "M %9.5f              (2000.0)\r\n"
                "n %12.8f     Peri.   10.00000\r\n"
                "a   4.0000000      Node    20.00000\r\n"
                "e   0.1000000      Incl.   30.00000\r\n"
                "P   8.00\r\n",
                10 * n, n);
  EXPECT_EQ(text, expected);
}

TEST(VaisalaTexts, ResidualLineRoundsWithoutSixtySeconds) {
  ObservationRecord o{};
  std::snprintf(o.m_szStation, sizeof o.m_szStation, "G45");
  o.m_chQuality = ' ';
  o.m_dJdUtc = 2457305.81408;
  o.m_dJdTt = o.m_dJdUtc + 68.0 / 86400.0;
  o.m_dRa = (2 + 9.0 / 60 + 59.99996 / 3600) * 15 * kRadPerDeg;  // shows as 02 10 00.000
  o.m_dDec = -(18 + 26.0 / 60 + 59.999 / 3600) * kRadPerDeg;      // shows as -18 27 00.00
  o.m_nUnknownStation = 1;
  EXPECT_EQ(VaisalaResidualLine(o, 0, 1, 1, 0, 0, 0), "2015 10 10.314080 02 10 00.000 -18 27 00.00 G45 (    .       .  )");
}

class VaisalaView : public ::testing::Test {
protected:
  HeadlessUiServices m_ui;
  ScopedUi m_scopedUi{m_ui};
  HeadlessToolSinks m_sinks;
  ScopedToolSinks m_scopedSinks{m_sinks};
  CVaisala m_view;
};

TEST_F(VaisalaView, ParabolicModeOverThirtyMinutes) {
  const SyntheticPair s = MakePair({0.9, 1.0, 40, 120, 60}, 0.7, 30.0 / 1440.0);
  LoadPair(m_view, s.in);
  m_view.OnParabolic();
  EXPECT_LE(m_view.m_candidateLines.size(), 197u);
  EXPECT_GT(m_view.m_candidateLines.size(), 150u);
  EXPECT_EQ(m_view.m_nCandidates, 50);  // every fourth from 0.1 AU
  EXPECT_EQ(m_view.m_candidates[1].dDelta, 0.2);
  EXPECT_EQ(Marked(m_view.m_candidateLines), 1);
  ASSERT_GE(m_view.m_nCandidateSel, 0);
  EXPECT_EQ(m_view.m_nCandidateTop, m_view.m_nCandidateSel < 5 ? 0 : m_view.m_nCandidateSel - 4);
  EXPECT_EQ(m_view.m_chosen[2], 1.0);
  EXPECT_EQ(m_view.m_chosen[8], -1.0);
  EXPECT_NE(m_view.m_chosen[3], -1.0);
  EXPECT_TRUE(m_view.m_strEpochField.empty());
  EXPECT_EQ(m_view.m_residualLines.size(), 2u);
  // The pane: elements, residuals, then the candidate lines.
  EXPECT_EQ(m_view.m_strText.find("Orbital elements:\r\n2015 XA\r\nT "), 0u);
  EXPECT_NE(m_view.m_strText.find(m_view.m_strCandidates), std::string::npos);
}

TEST_F(VaisalaView, FamilyProbeHitLeavesNothingOfTheLastCalculation) {
  // The edge case of the rules: at 0.9 AU a = 1.9, e = 0.1, inclination 20 degrees.
  const SyntheticPair s = MakePair({1.71, 0.1, 70, 40, 20}, 0.9, 0.03);
  LoadPair(m_view, s.in);
  m_view.OnParabolic();
  ASSERT_GT(m_view.m_nCandidates, 0);
  m_view.OnElliptic();
  EXPECT_TRUE(m_view.m_candidateLines.empty());
  EXPECT_TRUE(m_view.m_strCandidates.empty());
  EXPECT_EQ(m_view.m_nCandidates, 0);
  EXPECT_EQ(m_view.m_nDistances, 0);
  EXPECT_EQ(m_view.m_nChosen, -1);
  // The chosen orbit is the ellipse at 0.9 AU.
  const VaisalaOrbit at09 = VaisalaEllipse(0.9, s.in);
  EXPECT_NEAR(at09.a, 1.9, 1e-3);
  EXPECT_EQ(m_view.m_chosen[7], at09.a);
  EXPECT_EQ(m_view.m_chosen[8], at09.epoch);
  EXPECT_NE(m_view.m_strEpochField.find("TT = JDT"), std::string::npos);
  // No family: the search range has nothing to take.
  m_view.OnSearchRange();
  ASSERT_EQ(m_ui.m_messages.size(), 1u);
  EXPECT_EQ(m_ui.m_messages[0].text, kVaisalaNoFamily);
}

TEST_F(VaisalaView, EllipticRunThatFindsNothingClearsTheChoice) {
  const SyntheticPair good = MakePair({0.9, 1.0, 40, 120, 60}, 0.7, 30.0 / 1440.0);
  LoadPair(m_view, good.in);
  m_view.OnParabolic();
  ASSERT_TRUE(m_view.HasChosenOrbit());
  // A fast hyperbola: no distance gives an ellipse.
  const SyntheticPair fast = MakePair({0.3, 4.0, 10, 20, 30}, 0.05, 0.2);
  for (int i = 0; i < 14; ++i) ASSERT_TRUE(VaisalaEllipse(0.25 * (i + 1), fast.in).Failed()) << i;
  LoadPair(m_view, fast.in);
  m_view.m_bParabolic = 0;
  m_view.ComputeVaisalaCandidates();
  EXPECT_FALSE(m_view.HasChosenOrbit());
  EXPECT_EQ(m_view.m_nCandidates, 0);
  EXPECT_TRUE(m_view.m_strCandidates.empty());
  EXPECT_TRUE(m_view.m_strText.empty());
  EXPECT_TRUE(m_view.m_strEpochField.empty());
}

TEST_F(VaisalaView, FirstAndLastAtOneInstantComputeNothing) {
  SyntheticPair s = MakePair({0.9, 1.0, 40, 120, 60}, 0.7, 30.0 / 1440.0);
  s.in.t1 = s.in.t2;
  LoadPair(m_view, s.in);
  for (int mode : {0, 1}) {
    m_view.m_bParabolic = mode;
    m_view.ComputeVaisalaCandidates();
    EXPECT_EQ(m_view.m_strText, kVaisalaSameInstant);
    EXPECT_FALSE(m_view.HasChosenOrbit());
    EXPECT_EQ(m_view.m_nCandidates, 0);
    EXPECT_TRUE(m_view.m_candidateLines.empty());
  }
}

TEST_F(VaisalaView, SearchRangeTakesTheFamilyAndSelectionChangesOnlyTheChosenOrbit) {
  const SyntheticPair s = MakePair({0.9, 1.0, 40, 120, 60}, 0.7, 30.0 / 1440.0);
  LoadPair(m_view, s.in);
  m_view.OnParabolic();
  EXPECT_EQ(m_sinks.m_searchRange.m_nFamilies, 0);  // not open: nothing handed over
  m_view.OnSearchRange();
  const SearchRangeFamily& f = m_sinks.m_searchRange.m_family;
  EXPECT_TRUE(m_sinks.m_bSearchRangeOpen);
  EXPECT_EQ(f.m_family.size(), 50u);
  EXPECT_EQ(f.m_nBest, m_view.m_nChosen);
  EXPECT_EQ(f.m_nMode, 1);
  EXPECT_EQ(f.m_bValid, 1);
  EXPECT_EQ(f.m_dK, 10.0);
  EXPECT_EQ(f.m_strName, "2015 XA");
  // The day after the last observation (2015 Oct. 5.3 TT).
  EXPECT_EQ(f.m_nYear * 10000 + f.m_nMonth * 100 + f.m_nDay, 20151006);

  const int computed = m_sinks.m_searchRange.m_nFamilies;
  const double before = m_view.m_chosen[1];
  m_view.OnCandidateSelect(0);
  EXPECT_EQ(m_sinks.m_searchRange.m_nFamilies, computed);
  EXPECT_NE(m_view.m_chosen[1], before);
  EXPECT_EQ(m_view.m_chosen[1], VaisalaParabola(0.1, s.in).q);
  // With the window open a new calculation hands the family over itself.
  m_view.OnElliptic();
  m_view.OnParabolic();
  EXPECT_GT(m_sinks.m_searchRange.m_nFamilies, computed);
}

TEST_F(VaisalaView, ChosenOrbitFillsTheEphemerisForm) {
  const SyntheticPair s = MakePair({2.2, 0.12, 150.0, 80.0, 12.0}, 1.4, 0.02);
  LoadPair(m_view, s.in);
  EphForm form;
  EXPECT_FALSE(FillFromVaisala(form, &m_view));  // nothing computed yet
  m_view.OnElliptic();
  ASSERT_TRUE(m_view.HasChosenOrbit());
  ASSERT_TRUE(FillFromVaisala(form, &m_view));
  EXPECT_EQ(form.m_nElementForm, 1);  // an ellipse at its epoch: the asteroid form
  EXPECT_EQ(form.GetItemText(kEphObject), "2015 XA");
  EXPECT_EQ(form.GetItemText(kEphQ), FormatC("%.7f", m_view.m_chosen[1]));
  EXPECT_EQ(form.GetItemText(kEphIncl), FormatC("%.5f", m_view.m_chosen[5] * kDegPerRad));
  m_view.OnParabolic();
  ASSERT_TRUE(FillFromVaisala(form, &m_view));
  EXPECT_EQ(form.m_nElementForm, 0);
  EXPECT_EQ(form.GetItemText(kEphE), "1.0000000");
}

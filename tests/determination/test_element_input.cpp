// The start-element input without its window: the texts it opens with, the
// checks and conversions of OK, the memos, and the command that hands the
// elements to the engine.
#include <gtest/gtest.h>

#include <cmath>

#include "astro/time_scales.h"
#include "determination/determination_display.h"
#include "determination/element_input.h"
#include "determination/improvement_settings.h"
#include "engine/improvement_procedures.h"
#include "engine/orbit_engine.h"
#include "platform/app_services.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"
#include "tests/common/test_data.h"
#include "tests/engine/test_improvement_support.h"

namespace {

constexpr double kDegree = M_PI / 180;

ElementTexts AsteroidTexts(const char* a, const char* e, const char* M, const char* ey, const char* em,
                           const char* ed) {
  ElementTexts t;
  t[kElmA] = a;
  t[kElmE] = e;
  t[kElmM] = M;
  t[kElmEpochYear] = ey;
  t[kElmEpochMonth] = em;
  t[kElmEpochDay] = ed;
  t[kElmPeri] = "10";
  return t;
}

double TOf(const ElementInput& in) { return CalendarToJd(in.m_dTYear, in.m_dTMonth, in.m_dTDay); }

} // namespace

// a 2.5, e 0.1 at 2020/1/1.0: M 0 puts T on the epoch, M 270° a quarter
// period after it (Kepler's third law with the sidereal year of a massless
// body, 365.2568983 days for 1 AU).
TEST(ElementInput, AsteroidFormGivesTAndQ) {
  const double epoch = CalendarToJd(2020, 1, 1.0);
  ElementInput in;
  ASSERT_EQ(AcceptElementTexts(AsteroidTexts("2.5", "0.1", "0", "2020", "1", "1.0"), 1, in), "");
  EXPECT_EQ(in.m_bCancelled, 0);
  EXPECT_NEAR(in.m_dQ, 2.25, 1e-12);
  EXPECT_EQ(in.m_dA, 2.5);
  EXPECT_NEAR(TOf(in), epoch, 1e-6);
  EXPECT_NEAR(in.m_dPeri, 10 * kDegree, 1e-15);

  ASSERT_EQ(AcceptElementTexts(AsteroidTexts("2.5", "0.1", "270", "2020", "1", "1.0"), 1, in), "");
  const double quarter = 365.2568983 * std::pow(2.5, 1.5) / 4;
  EXPECT_NEAR(TOf(in) - epoch, quarter, 1e-4);
  EXPECT_NEAR(in.m_dM, -90 * kDegree, 1e-15);
}

// What OK refuses (the dialog stays open with the message) and accepts.
TEST(ElementInput, RefusalsOfBothForms) {
  struct Case {
    const char* what;
    int asteroid;
    ElementTexts texts;
    const char* message;
  } cases[] = {
      {"asteroid e = 1", 1, AsteroidTexts("2.5", "1", "0", "2020", "1", "1"), kMsgAsteroidFormAE},
      {"asteroid a = 0", 1, AsteroidTexts("0", "0.1", "0", "2020", "1", "1"), kMsgAsteroidFormAE},
      {"asteroid no epoch", 1, AsteroidTexts("2.5", "0.1", "0", "", "", ""), kMsgAsteroidFormEpoch},
      {"asteroid epoch 0/0/0", 1, AsteroidTexts("2.5", "0.1", "0", "0", "0", "0"), kMsgAsteroidFormEpoch},
      {"asteroid only the day", 1, AsteroidTexts("2.5", "0.1", "0", "", "", "5"), ""},
      {"comet q = 0", 0, {"2020", "1", "1", "", "0", "", "0.5"}, kMsgCometFormQE},
      {"comet q < 0", 0, {"2020", "1", "1", "", "-1", "", "0.5"}, kMsgCometFormQE},
      {"comet e < 0", 0, {"2020", "1", "1", "", "1", "", "-0.1"}, kMsgCometFormQE},
      {"comet e = 1.5", 0, {"2020", "1", "1", "", "1", "", "1.5"}, ""},
      {"comet parabola", 0, {"2020", "1", "1", "", "0.3", "", "1"}, ""},
  };
  for (const Case& c : cases) {
    ElementInput in;
    EXPECT_EQ(AcceptElementTexts(c.texts, c.asteroid, in), c.message) << c.what;
    EXPECT_EQ(in.m_bCancelled, *c.message ? 1 : 0) << c.what;
  }
}

// Both forms hand M over in radians; the A fields are 10⁻⁸ AU/day².
TEST(ElementInput, CometFormReadsEveryField) {
  ElementTexts t{"2011", "3", "26.893368", "90", " 2.05518664", "", "0.19571243", "176.517292", " 94.078658",
                 " 14.054099", "2011", "4", "1.5", "2", "-1", ""};
  ElementInput in;
  ASSERT_EQ(AcceptElementTexts(t, 0, in), "");
  EXPECT_EQ(in.m_dTYear, 2011);
  EXPECT_EQ(in.m_dTMonth, 3);
  EXPECT_EQ(in.m_dTDay, 26.893368);
  EXPECT_NEAR(in.m_dM, M_PI / 2, 1e-15);
  EXPECT_EQ(in.m_dQ, 2.05518664);
  EXPECT_NEAR(in.m_dNode, 94.078658 * kDegree, 1e-15);
  EXPECT_EQ(in.m_dEpochDay, 1.5);
  EXPECT_NEAR(in.m_dA1, 2e-8, 1e-22);
  EXPECT_NEAR(in.m_dA2, -1e-8, 1e-22);
  EXPECT_EQ(in.m_dA3, 0.0);
}

TEST(ElementInput, OpeningTexts) {
  const ElementTexts example = InitialElementTexts(ElementInput{});
  EXPECT_EQ(example[kElmTYear], "2011");
  EXPECT_EQ(example[kElmTDay], "26.893368");
  EXPECT_EQ(example[kElmQ], " 2.05518664");
  EXPECT_EQ(example[kElmIncl], " 14.054099");
  for (int f : {kElmM, kElmA, kElmA1, kElmA2, kElmA3, kElmEpochYear, kElmEpochMonth, kElmEpochDay})
    EXPECT_EQ(example[f], "") << f;

  ElementInput in;
  in.m_dTYear = 2020;
  in.m_dTMonth = 5;
  in.m_dTDay = 10.25;
  in.m_dQ = 1.1;
  in.m_dPeri = M_PI / 4;
  in.m_dEpochYear = 2020;
  in.m_dEpochMonth = 6;
  in.m_dEpochDay = 11.5;
  in.m_dM = 1.0;
  const ElementTexts t = InitialElementTexts(in);
  EXPECT_EQ(t[kElmTYear], "2020");
  EXPECT_EQ(t[kElmTDay], "10.250000000");
  EXPECT_EQ(t[kElmPeri], "45.000000000");
  EXPECT_EQ(t[kElmEpochDay], "11.5");
  EXPECT_EQ(t[kElmM], "");
}

// The memos through the settings file: a recall of a memo without "Q"
// changes nothing, and in worker mode nothing is written.
TEST(ElementInput, MemosThroughTheSettingsFile) {
  CTessaruneApp app;
  app.m_profile.SetPath(MakeTempDir("elmmemo") + "Tessarune.INI");
  ElementTexts saved = InitialElementTexts(ElementInput{});
  saved[kElmA1] = "3";
  saved[kElmQ] = "2.05518664";  // the settings file drops blanks around a value, as the profile functions do
  saved[kElmNode] = "94.078658";
  saved[kElmIncl] = "14.054099";
  SaveElementMemo(app, 2, "テスト彗星", saved);
  std::string note;
  ElementTexts read;
  ASSERT_TRUE(LoadElementMemo(app, 2, note, read));
  EXPECT_EQ(note, "テスト彗星");
  EXPECT_EQ(read, saved);
  EXPECT_EQ(app.GetProfileString("ELMMEMO2", "Q"), "2.05518664");
  EXPECT_EQ(ElementMemoNote(app, 1), "");

  app.WriteProfileString("ELMMEMO1", "NOTE", "note only");
  ElementTexts untouched{};
  untouched[kElmQ] = "keep";
  std::string keptNote = "kept";
  EXPECT_FALSE(LoadElementMemo(app, 1, keptNote, untouched));
  EXPECT_EQ(untouched[kElmQ], "keep");
  EXPECT_EQ(keptNote, "kept");

  app.m_strNeocpWorker = "job.txt";
  SaveElementMemo(app, 1, "worker", saved);
  EXPECT_EQ(app.GetProfileString("ELMMEMO1", "Q"), "");
  EXPECT_EQ(app.GetProfileString("ELMMEMO1", "NOTE"), "note only");
}

// Cancelled, or while a calculation runs, the engine keeps its elements.
TEST(ElementInput, BusyOrCancelledKeepsTheElements) {
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  CDeterminationDisplay view;
  OrbitEngine& engine = *view.m_pEngine;
  engine.m_state.m_el.m_dQ = 1.5;
  ElementInput in;
  ASSERT_EQ(AcceptElementTexts({"2020", "1", "1", "", "3", "", "0.5"}, 0, in), "");
  engine.m_bBusy = 1;
  EXPECT_EQ(ApplyElementInput(view, in), -1);
  EXPECT_EQ(engine.m_state.m_el.m_dQ, 1.5);
  ASSERT_EQ(ui.m_messages.size(), 1u);
  EXPECT_EQ(ui.m_messages[0].text, kMsgOtherCalculationRunning);
  engine.m_bBusy = 0;
  in.m_bCancelled = 1;
  EXPECT_EQ(ApplyElementInput(view, in), -1);
  EXPECT_EQ(engine.m_state.m_el.m_dQ, 1.5);
  EXPECT_EQ(engine.m_bPerturbations, 0);
}

// 433 Eros solved from 1960 on with perturbations; its elements typed into
// the asteroid form (with the epoch) and into the comet form (without: the
// Epoch fields give it) give back the solution's mean residual.
// "リジェクト(&R)" then counts every loaded observation once.
using ElementInputRealTest = RealObservationTest;

TEST_F(ElementInputRealTest, ErosTypedBackGivesItsMeanResidual) {
  CDeterminationDisplay view;
  const int loaded = Load(view, "obs/mpc80/neosjl_433.txt");
  ASSERT_GT(loaded, 10000);
  OrbitEngine& engine = *view.m_pEngine;
  const double end = CalendarToJd(2026, 1, 1);
  KeepWindow(view, CalendarToJd(2016, 1, 1), end);
  ASSERT_TRUE(PickAndDetermine(view, CalendarToJd(2016, 9, 1), CalendarToJd(2016, 11, 30)));
  ASSERT_EQ(ImproveTwoBody(view, 20), 0);
  ASSERT_EQ(FitLongArc(view, {CalendarToJd(2016, 1, 1), CalendarToJd(1995, 1, 1), CalendarToJd(1960, 1, 1)}, end,
                       CalendarToJd(2020, 1, 1.5), 3.0, 1.5, 1),
            0)
      << engine.m_strMessage;
  ASSERT_EQ(engine.m_nCalcState, kCalcImprovedPerturbed);
  const double solved = engine.m_dMeanResidual;
  const ElementBlock el = engine.m_state.m_el;
  const double epoch = engine.m_state.m_dEpoch;
  std::printf("433 Eros: mean residual %.4f\" at epoch %.1f\n", solved, epoch);

  // The asteroid form: a and M at the epoch, from the solved T, q, e.
  const double a = el.m_dQ / (1 - el.m_dE);
  double M = std::fmod(0.01720209895 / std::pow(a, 1.5) * (epoch - el.m_dT) / kDegree, 360.0);
  if (M < 0) M += 360;
  double ey, em, ed;
  JdToCalendar(epoch, ey, em, ed);
  const ElementTexts asteroid{"", "", "", FormatC("%.9f", M), "", FormatC("%.9f", a), FormatC("%.9f", el.m_dE),
                              FormatC("%.9f", el.m_dPeri / kDegree), FormatC("%.9f", el.m_dNode / kDegree),
                              FormatC("%.9f", el.m_dIncl / kDegree), FormatC("%d", int(ey)), FormatC("%d", int(em)),
                              FormatC("%.9g", ed), "", "", ""};
  ElementInput in;
  ASSERT_EQ(AcceptElementTexts(asteroid, 1, in), "");
  engine.m_state.m_el.m_dQ *= 1.01;  // the typed elements must be the ones used
  ASSERT_EQ(ApplyElementInput(view, in), 0) << engine.m_strMessage;
  std::printf("asteroid form: mean residual %.4f\"\n", engine.m_dMeanResidual);
  EXPECT_NEAR(engine.m_dMeanResidual, solved, 0.01);
  EXPECT_NE(view.m_strCalcLog.find("軌道要素を入力して計算: 入力要素の元期"), std::string::npos);

  // The comet form without an epoch: the elements now shown, osculating at
  // the date of the Epoch fields.
  const ElementBlock now = engine.m_state.m_el;
  ASSERT_NEAR(EpochFieldsJd(view), engine.m_state.m_dEpoch, 0.05);
  double ty, tm, td;
  JdToCalendar(now.m_dT, ty, tm, td);
  const ElementTexts comet{FormatC("%d", int(ty)), FormatC("%d", int(tm)), FormatC("%.9f", td), "",
                           FormatC("%.9f", now.m_dQ), "", FormatC("%.9f", now.m_dE),
                           FormatC("%.9f", now.m_dPeri / kDegree), FormatC("%.9f", now.m_dNode / kDegree),
                           FormatC("%.9f", now.m_dIncl / kDegree), "", "", "", "", "", ""};
  ASSERT_EQ(AcceptElementTexts(comet, 0, in), "");
  engine.m_state.m_el.m_dE *= 0.99;
  ASSERT_EQ(ApplyElementInput(view, in), 0) << engine.m_strMessage;
  std::printf("comet form: mean residual %.4f\"\n", engine.m_dMeanResidual);
  EXPECT_NEAR(engine.m_dMeanResidual, solved, 0.01);

  CTessaruneApp app;
  app.m_profile.SetPath(MakeTempDir("eros_reject") + "Tessarune.INI");
  RejectionCounts counts;
  ASSERT_TRUE(RunAutomaticRejection(view, app, &counts));
  EXPECT_EQ(counts.totalBefore, 0);  // nothing before 1960 was loaded
  EXPECT_EQ(counts.totalBefore + counts.totalAfter, loaded);
  int rejected = 0;
  for (int i = 0; i < loaded; ++i) rejected += view.m_pDetClass->m_pOrbObs[i].m_bRejected;
  EXPECT_EQ(counts.rejectedBefore + counts.rejectedAfter, rejected);
  EXPECT_GT(rejected, 0);
  EXPECT_LT(rejected, loaded / 2);
}

// What the AI improvement leaves behind, from raw observation files: the
// orbit it reports is the orbit the engine holds (a solution file saved
// right after reloads with the same residuals), and a run that found no
// orbit ends as failed with nothing treating that orbit as a solution.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/two_body.h"
#include "determination/element_input.h"
#include "determination/obs_loading.h"
#include "determination/result_files.h"
#include "determination/solution_file.h"
#include "determination/view_commands.h"
#include "engine/ai_improvement.h"
#include "engine/ai_rules.h"
#include "engine/improvement_procedures.h"
#include "engine/integration_drivers.h"
#include "engine/triplet_search.h"
#include "astro/impact_tracker.h"
#include "data/numerics.h"
#include "engine/move_epoch.h"
#include "engine/tool_sinks.h"
#include "platform/numbers.h"
#include "resources/app_resource_ids.h"
#include "tests/determination/determination_test_support.h"

namespace {

class AiOutcome : public DeterminationTest {
protected:
  void SetUp() override {
    DeterminationTest::SetUp();
    if (IsSkipped()) return;
    SetCancelDialogs(&m_dialogs);
  }
  void TearDown() override {
    SetCancelDialogs(nullptr);
    DeterminationTest::TearDown();
  }
  // A view with the file's observations of 1960-2060 (the planetary file's
  // span), opened as the window opens them; null when the file is absent.
  // firstLines > 0 keeps only the file's first lines.
  std::unique_ptr<CDeterminationDisplay> Open(const std::string& relative, size_t firstLines = 0) {
    const std::string path = TestDataPath(relative);
    if (path.empty() || !TestDataFileExists(path)) return nullptr;
    std::string text = ReadTestFile(path);
    for (size_t at = 0, kept = 0; firstLines > 0 && at < text.size(); ++kept) {
      if (kept == firstLines) {
        text.resize(at);
        break;
      }
      const size_t end = text.find('\n', at);
      at = end == std::string::npos ? text.size() : end + 1;
    }
    m_obsFile = File("ai.obs", ObservationLinesBetween(text, 1960, 2060));
    auto view = std::make_unique<CDeterminationDisplay>();
    OpenObsFile(*view, m_obsFile);
    view->m_nAiResult = -100;
    return view;
  }

  HeadlessCancelDialogs m_dialogs;
  std::string m_obsFile;
};

struct Residual {
  double ra, dec;  // arcsec
};

std::vector<Residual> UsableResiduals(const CDetermination& view) {
  std::vector<Residual> out;
  const DetClass& det = *view.m_pDetClass;
  for (int i = 0; i < det.m_nObsCount; ++i) {
    const ObservationRecord& o = det.m_pOrbObs[i];
    if (o.m_bRejected || o.m_nUnknownStation) continue;
    out.push_back({o.m_dResRa * kArcsecPerRad, o.m_dResDec * kArcsecPerRad});
  }
  return out;
}

// Saved right after the run (as the NEOCP scan saves its best orbit) and
// reloaded into a fresh view: the residuals, mean and count the run left on
// screen are those of the orbit it kept.
TEST_F(AiOutcome, ASolutionSavedAfterTheRunReloadsWithTheResidualsItShowed) {
  const char* files[] = {"obs/mpc80/orbfit_2015TF202_1.obs", "obs/mpc80/orbfit_2015AB.obs",
                         "obs/mpc80/orbfit_1862.obs", "obs/mpc80/orbitfinder_6489.txt",
                         "obs/mpc80/orbitfinder_C_1998_P1.txt"};
  int ran = 0;
  for (const char* file : files) {
    SCOPED_TRACE(file);
    auto view = Open(file);
    if (!view) continue;
    ++ran;
    OnAiImprove(*view);
    const OrbitEngine& engine = *view->m_pEngine;
    ASSERT_EQ(view->m_nAiResult, 0) << view->m_strCalcLog;
    ASSERT_EQ(engine.m_nCalcState, kCalcImprovedPerturbed);
    const std::vector<Residual> shown = UsableResiduals(*view);
    const double mean = engine.m_dMeanResidual;
    const int used = engine.m_nUsedObs;
    const std::string solution = s_dir + "kept.txt";
    ASSERT_TRUE(WriteSolutionFileForBatch(*view, solution, engine.m_state, "", 0));

    auto again = std::make_unique<CDeterminationDisplay>();
    OpenObsFile(*again, m_obsFile);
    ASSERT_EQ(LoadSolutionFile(*again, solution), 0) << again->m_strCalcLog;
    const std::vector<Residual> reloaded = UsableResiduals(*again);
    EXPECT_NEAR(again->m_pEngine->m_dMeanResidual, mean, 0.002) << view->m_strCalcLog;
    EXPECT_EQ(again->m_pEngine->m_nUsedObs, used);
    ASSERT_EQ(reloaded.size(), shown.size());
    double worst = 0;
    for (size_t i = 0; i < shown.size(); ++i)
      worst = std::fmax(worst, std::fmax(std::fabs(reloaded[i].ra - shown[i].ra), std::fabs(reloaded[i].dec - shown[i].dec)));
    EXPECT_LT(worst, 0.002) << view->m_strCalcLog;
  }
  if (ran == 0) GTEST_SKIP() << "none of the observation files found";
}

// Runs that found no orbit, from the raw 2024 PT5 file (190 days, a
// temporary companion of the Earth): the whole file ends on an orbit still
// some 37 degrees off; its first hundred lines (16 days) settle at 41,659"
// and ended "完了". Both end as a failed determination: failure code, the
// state of a failed preliminary orbit, no covariance, and nothing that saves,
// carries forward or reports that orbit; the log says why and what to try.
TEST_F(AiOutcome, ARunThatFoundNoOrbitEndsAsFailed) {
  for (size_t lines : {size_t{0}, size_t{100}}) {
    SCOPED_TRACE(lines);
    auto view = Open("obs/mpc80/neosjl_2024PT5.txt", lines);
    if (!view) GTEST_SKIP() << "obs/mpc80/neosjl_2024PT5.txt not found";
    OnAiImprove(*view);
    const OrbitEngine& engine = *view->m_pEngine;
    const std::string& log = view->m_strCalcLog;
    EXPECT_EQ(view->m_nAiResult, kEngineFailed) << log;
    EXPECT_EQ(engine.m_nCalcState, kCalcPreliminaryFailed);
    EXPECT_GE(engine.m_dMeanResidual, kNoOrbitResidual);
    EXPECT_EQ(engine.m_bCovarianceValid, 0);
    EXPECT_EQ(engine.m_bErrValid, 0);
    EXPECT_NE(log.find(FormatC(kMsgAiNoOrbit, engine.m_dMeanResidual, kNoOrbitResidual)), std::string::npos) << log;
    EXPECT_EQ(log.find("完了\r\n"), std::string::npos) << log;
    EXPECT_EQ(view->GetItemText(kIdResultEdit), kMsgAiNotCompleted);
    EXPECT_EQ(view->GetSelection(kIdTabs), 1);
    EXPECT_FALSE(CanSaveResults(*view));
    DetCommandState commands;
    commands.calcState = engine.m_nCalcState;
    commands.observations = true;
    commands.perturbations = engine.m_bPerturbations != 0;
    commands.covarianceValid = engine.m_bCovarianceValid != 0;
    commands.viewVisible = true;
    for (int id : {ID_SAVE_RESULT, ID_FORECAST}) EXPECT_EQ(DetCommandEnabling(id, commands), Tri::Off) << id;
    EXPECT_FALSE(EngineBusy(&engine));
  }
}

// Heliocentric distance (km) at the block's epoch between the state the
// integrator starts from (the angles) and the state the readers of the
// stored orientation vectors compute.
double VectorsToAnglesGapKm(const OrbitEngine& engine) {
  const ElementBlock& el = engine.m_state.m_el;
  const double elements[6] = {el.m_dT, el.m_dPeri, el.m_dNode, el.m_dIncl, el.m_dQ, el.m_dE};
  const double none[6] = {};
  double pos[3][kMaxBodies], vel[3][kMaxBodies], fromVectors[3], v[3];
  if (ComputeInitialStates(el.m_dEpoch, 1, elements, none, pos, vel) != 0 ||
      PropagateUniversal(el.m_dEpoch - el.m_dT, el.m_dQ, el.m_dE, el.m_dP, el.m_dQvec, fromVectors, v) != 0)
    return 1e30;
  double sum = 0;
  for (int c = 0; c < 3; ++c) sum += (pos[c][0] - fromVectors[c]) * (pos[c][0] - fromVectors[c]);
  return std::sqrt(sum) * kAstronomicalUnitKm;
}

// Every procedure that changes the angles leaves the block's P and Q those
// of its angles: the preliminary orbit, a manual improvement step, the
// automatic run, typed elements and a reloaded solution file.
TEST_F(AiOutcome, TheOrientationVectorsFollowTheAnglesAfterEveryProcedure) {
  auto view = Open("obs/mpc80/orbfit_2015AB.obs");
  if (!view) GTEST_SKIP() << "obs/mpc80/orbfit_2015AB.obs not found";
  constexpr double kMillimetreKm = 1e-6;
  OrbitEngine& engine = *view->m_pEngine;
  std::string log;
  ASSERT_EQ(SelectTripletAndDetermine(*view, log, 0), 0) << log;
  EXPECT_LT(VectorsToAnglesGapKm(engine), kMillimetreKm) << "preliminary orbit";
  engine.m_bPerturbations = 1;
  OnManualImprove(*view);
  ASSERT_EQ(engine.m_nCalcState, kCalcImprovedPerturbed);
  EXPECT_LT(VectorsToAnglesGapKm(engine), kMillimetreKm) << "manual step";
  OnAiImprove(*view);
  ASSERT_EQ(view->m_nAiResult, 0) << view->m_strCalcLog;
  EXPECT_LT(VectorsToAnglesGapKm(engine), kMillimetreKm) << "automatic run";

  const std::string solution = s_dir + "orientation.txt";
  ASSERT_TRUE(WriteSolutionFileForBatch(*view, solution, engine.m_state, "", 0));
  ElementInput typed = PrefillElementInput(*view);
  typed.m_dPeri += 0.01;
  typed.m_dNode += 0.02;
  typed.m_dIncl += 0.005;
  typed.m_bCancelled = 0;
  ASSERT_EQ(ApplyElementInput(*view, typed), 0) << engine.m_strMessage;
  EXPECT_LT(VectorsToAnglesGapKm(engine), kMillimetreKm) << "typed elements";

  auto again = std::make_unique<CDeterminationDisplay>();
  OpenObsFile(*again, m_obsFile);
  ASSERT_EQ(LoadSolutionFile(*again, solution), 0);
  EXPECT_LT(VectorsToAnglesGapKm(*again->m_pEngine), kMillimetreKm) << "solution file";
}


// The Earth tracker's hit of the view's orbit run forward from its epoch to
// the day after entryUtc: seconds from entryUtc (UTC), NAN when it misses.
double HitSecondsFromEntry(OrbitEngine& engine, double entryUtc) {
  auto state = ForecastState(engine, std::floor(entryUtc + 0.5) + 0.5);
  ImpactTrackerSet trackers;
  state->m_pImpacts = &trackers;
  HostControl result;
  const int r = MoveEpochAndReport(&engine, &result, state.get(), nullptr, nullptr, nullptr, kApproachAllBodies, 0);
  const ImpactTracker& earth = trackers.m_trackers[kBodyEarth];
  if (r != kEngineImpact || !earth.m_bHit) return NAN;
  return (DeltaT(kDeltaTTtToUt, earth.m_dHitJd) - entryUtc) * 86400.0;
}


// The raw files of two impactors whose arcs end within a few Earth radii:
// the run finds the orbit (its epoch at 0h TT of the last observation's day,
// where the epoch 25 days before the arc diverged: TC3 194,449" headless and
// 35,066" on "自動", BX1 3,185" and a failure) with the headless view's empty
// step and with "自動", and the orbit run forward meets the Earth when the
// objects were seen to enter. BX1's fit needs the partials divided by the
// change the varied orbits really got (it crawled to 82" without) and, on
// "自動", the corrections taken as changes of the state (it crawled to 111").
TEST_F(AiOutcome, RawImpactorFilesFindTheirOrbits) {
  HeadlessToolSinks sinks;
  ScopedToolSinks scopedSinks(sinks);
  constexpr double kTc3Entry = 2454746.5 + (2 * 3600 + 45 * 60 + 29) / 86400.0;  // 02:45:29 UTC at 100 km
  constexpr double kBx1Entry = 2460330.5 + (32 * 60 + 38) / 86400.0;             // 00:32:38 UTC
  struct Case {
    const char* file;
    const char* step;
    double entryUtc;  // observed atmospheric entry, JD UTC
    double epoch;     // JD TT
    double maxMean, maxHitSeconds;
  };
  const Case cases[] = {
      // Measured 0.667" and 0.678", +0.6 s and +1.5 s.
      {"obs/mpc80/neosjl_2008TC3.txt", "", kTc3Entry, 2454746.5, 1.0, 5.0},
      {"obs/mpc80/neosjl_2008TC3.txt", kStepAutomatic, kTc3Entry, 2454746.5, 1.0, 5.0},
      // Measured 0.775" and 0.754", +8.0 s and -6.0 s (was 81.6" and 169.7",
      // +22 s and +39 s).
      {"obs/mpc80/neosjl_2024BX1.txt", "", kBx1Entry, 2460330.5, 1.0, 15.0},
      {"obs/mpc80/neosjl_2024BX1.txt", kStepAutomatic, kBx1Entry, 2460330.5, 1.0, 15.0},
  };
  int ran = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " step '" + c.step + "'");
    auto view = Open(c.file);
    if (!view) continue;
    ++ran;
    view->SetItemText(kIdStepCombo, c.step);
    OnAiImprove(*view);
    OrbitEngine& engine = *view->m_pEngine;
    ASSERT_EQ(view->m_nAiResult, 0) << view->m_strCalcLog;
    EXPECT_EQ(engine.m_nCalcState, kCalcImprovedPerturbed);
    EXPECT_EQ(engine.m_state.m_dEpoch, c.epoch);
    EXPECT_LT(engine.m_dMeanResidual, c.maxMean);
    EXPECT_NEAR(HitSecondsFromEntry(engine, c.entryUtc), 0.0, c.maxHitSeconds);
  }
  if (ran == 0) GTEST_SKIP() << "neither impactor's observation file found";
}

// The "自動" button on three picks of the raw 2008 TC3 file keeps the epoch
// among the observations and brings the mean residual down press by press
// (it stopped at 67,072" from an epoch on 2008 September 11).
TEST_F(AiOutcome, AutomaticButtonOnAnImpactorKeepsItsEpochAmongTheObservations) {
  auto view = Open("obs/mpc80/neosjl_2008TC3.txt");
  if (!view) GTEST_SKIP() << "obs/mpc80/neosjl_2008TC3.txt not found";
  OrbitEngine& engine = *view->m_pEngine;
  const ObservationRecord* obs = view->m_pDetClass->m_pOrbObs;
  const double first = obs[0].m_dJdTt, last = obs[view->m_pDetClass->m_nObsCount - 1].m_dJdTt;
  ASSERT_TRUE(PickAndDetermine(*view, first, last - 0.05 * (last - first)));
  ASSERT_EQ(ImproveTwoBody(*view, 20), 0);
  engine.m_bPerturbations = 1;
  view->SetCheck(kIdPerturbationsCheck, 1);
  view->SetItemText(kIdStepCombo, kStepAutomatic);
  view->SetCheck(kIdAutoStopCheck, 1);
  double previous = 1e30;
  for (int press = 0; press < 6; ++press) {
    SCOPED_TRACE(press);
    OnAutoImprove(*view);
    EXPECT_EQ(engine.m_state.m_dEpoch, 2454746.5);
    EXPECT_LE(engine.m_dMeanResidual, previous);
    previous = engine.m_dMeanResidual;
  }
  // Measured 124.3" after six presses, every observation still counted.
  EXPECT_LT(previous, 200.0);
}
}  // namespace

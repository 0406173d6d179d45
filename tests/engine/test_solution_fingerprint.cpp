// The bit pattern of the engine's results on real data: the full solution of
// (99942) Apophis (elements, residual pairs, covariance and the texts of every
// improvement call, phase by phase) and three 100-year calculation runs.
// Work the engine skips or reuses must leave every bit as it was: the
// recorded table was taken before any of it, on the compiler below, and the
// solution with the reuse switched off must match the one with it on.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "engine/stormer_cowell.h"
#include "platform/numbers.h"
#include "tests/engine/solution_hash.h"
#include "tests/common/recording_compiler.h"
#include "tests/engine/test_hundred_years.h"
#include "tests/engine/test_improvement_support.h"

namespace {

// What one improvement call leaves: its code, the elements, the statistics,
// the variation amounts, every residual pair and the texts of its runs.
void AddCall(Fingerprint& f, int code, const CDetermination& view) {
  const OrbitEngine& e = *view.m_pEngine;
  f.Int(code);
  AddElements(f, e.m_state);
  AddResiduals(f, *view.m_pDetClass);
  for (double v : {e.m_dMeanResidual, e.m_dMeanSignedResidual, e.m_dSumWeights, e.m_dWeightedSumSq, e.m_state.m_dStep})
    f.Double(v);
  f.Int(e.m_nUsedObs);
  for (double v : e.m_dVariation) f.Double(v);
  for (const std::string* t : std::initializer_list<const std::string*>{&e.m_strRunReport, &e.m_strStepLog, &e.m_strStepNotes, &e.m_strPendingNote,
                               &e.m_strMessage, &e.m_strCollisionReport, &view.m_pDetClass->m_strError})
    f.Text(*t);
}

std::string Hex(uint64_t v) { return FormatC("%016llx", static_cast<unsigned long long>(v)); }

// One line per phase of the solution: calls made, then the hashes of the
// elements, the residual pairs, the covariance and all calls of the phase.
std::string SolutionFingerprint(CDetermination& view, int reuse) {
  view.m_pEngine->m_bReuseWork = reuse;
  std::string lines;
  Fingerprint calls;
  int count = 0;
  AfterImprovementCall() = [&](int code) {
    AddCall(calls, code, view);
    ++count;
  };
  const int r = SolveApophis(view, [&](const char* phase) {
    Fingerprint el, res, cov;
    AddElements(el, view.m_pEngine->m_state);
    el.Double(view.m_pEngine->m_dMeanResidual);
    AddResiduals(res, *view.m_pDetClass);
    AddCovariance(cov, *view.m_pEngine);
    lines += FormatC("%s: %d calls el %s res %s cov %s calls %s\n", phase, count, Hex(el.Value()).c_str(),
                     Hex(res.Value()).c_str(), Hex(cov.Value()).c_str(), Hex(calls.Value()).c_str());
    calls = Fingerprint{};
    count = 0;
  });
  AfterImprovementCall() = nullptr;
  if (r != 0) lines += FormatC("failed: %d %s\n", r, view.m_pEngine->m_strMessage.c_str());
  return lines;
}

// One line per orbit: the elements at 1960 and at 2060, the deepest step
// level and the run report.
std::string HundredYearFingerprint() {
  std::string lines;
  for (const HundredYearOrbit* orbit : {&kMainBelt, &kNearEarth, &kJupiterFamily}) {
    OrbitEngine engine;
    PrepareHundredYearEngine(engine, *orbit);
    auto state = std::make_unique<IntegrationState>();
    ElementBlock start{};
    Fingerprint f;
    f.Int(HundredYearStartElements(engine, *state, *orbit, start));
    AddElements(f, *state);
    PrepareHundredYearRun(engine, *state, start, kHundredYearsEnd);
    f.Int(IntegrateOrbit(&engine, nullptr, nullptr, state.get()));
    AddElements(f, *state);
    f.Int(state->m_nMaxStepLevel);
    f.Text(engine.m_strRunReport);
    lines += FormatC("%s: %s\n", orbit->name, Hex(f.Value()).c_str());
  }
  return lines;
}

// Taken on the engine before any work was skipped or reused, built with
// GCC 12.2 for x86-64 at -O2 and -ffp-contract=off (the project's flags).
constexpr const char* kRecordedSolution =
    "preliminary: 0 calls el 15cb262b34945e40 res 6122817f1788737a cov bfdd35cec6ed9345 calls cbf29ce484222325\n"
    "two-body: 7 calls el d4057029fd524577 res fceacb1629dd2ac4 cov c944285610d43494 calls 79744a3e4ef3e638\n"
    "to 2006: 4 calls el b189440744d9471e res 5bc48adeb107dd89 cov daf9d6dca18e917a calls 9818b04be19c2b0c\n"
    "to 2014: 4 calls el 2527868edca4c7b7 res 4ab8fd1acd243619 cov 09764491dfc8a493 calls 9218c7f7b5007f87\n"
    "whole arc: 5 calls el aa09169657be3bce res 23e44f73a2b7e9ed cov 997b823768d33bd0 calls 7c682d8c44878100\n"
    "clipped once: 4 calls el 4cae9e6255097ddf res 77d665e93f8bb8fd cov 9bc8cadaa095e4d3 calls 063c63eb5a74d7fe\n"
    "clipped twice: 3 calls el 21ac15d7b0bdb6dd res ff2aff70949a8084 cov 0264c45812572569 calls 26f0ad01135bd3dc\n";
// NearEarth taken again once the integrator's start-up began to shorten its
// step on a fast approach to a planet (an intended change of that run).
constexpr const char* kRecordedHundredYears =
    "MainBelt: 59581c41bac06fe7\n"
    "NearEarth: 36c1dbcb5bcc12cd\n"
    "JupiterFamily: 322d23c1226f84c1\n";

class SolutionFingerprintTest : public RealObservationTest {
protected:
  // The solution with the given reuse setting, from freshly loaded observations; empty without the data.
  std::string Solve(int reuse) {
    CDetermination view;
    if (Load(view, "obs/mpc80/neosjl_99942.dat") <= 0) return {};
    return SolutionFingerprint(view, reuse);
  }
};

TEST_F(SolutionFingerprintTest, SolutionAndHundredYearRunsKeepTheRecordedBits) {
  const std::string solution = Solve(1);
  if (solution.empty()) GTEST_SKIP() << "reference data not found: obs/mpc80/neosjl_99942.dat";
  const std::string runs = HundredYearFingerprint();
  if (!RecordingCompiler())
    GTEST_SKIP() << "the recorded bits belong to another compiler; this one gives\n" << solution << runs;
  EXPECT_EQ(solution, kRecordedSolution);
  EXPECT_EQ(runs, kRecordedHundredYears);
}

TEST_F(SolutionFingerprintTest, SolutionWithoutReuseHasTheSameBits) {
  // Start-ups on this thread: the trial runs, which a redone step takes from
  // its predecessor, so the reuse must show in them (the passes may run on
  // other threads).
  IntegratorCounters& counters = ThreadIntegratorCounters();
  const long long before = counters.startups;
  const std::string reused = Solve(1);
  if (reused.empty()) GTEST_SKIP() << "reference data not found: obs/mpc80/neosjl_99942.dat";
  const long long reusedStartups = counters.startups - before;
  EXPECT_EQ(reused.find("failed"), std::string::npos) << reused;
  EXPECT_EQ(Solve(0), reused);
  EXPECT_LT(reusedStartups, counters.startups - before - reusedStartups);
}

}  // namespace

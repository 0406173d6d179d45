// The AI improvement, wall time from a freshly opened file (its lines of
// 1960-2060, which the DE405 file covers) to the finished orbit: 2015 AB,
// 1862 Apollo, 6489 Golevka, C/1998 P1, 433 Eros (about 12,000 observations),
// 99942 Apophis (7,818) and 1566 Icarus. Opening the file is not timed; run
// with --benchmark_repetitions=5 for medians. The second
// argument allows (1) or forbids (0) the parallel integration of the varied
// orbits; run under `taskset -c 0` for the one-core figure. A run that does
// not end in calculation state 5 below 1" is reported as an error.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "data/comet_list.h"
#include "determination/determination_display.h"
#include "determination/obs_loading.h"
#include "engine/ai_improvement.h"
#include "engine/stormer_cowell.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "tests/engine/solution_hash.h"
#include "tests/engine/test_improvement_support.h"

namespace {

const char* const kFiles[] = {"obs/mpc80/orbfit_2015AB.obs",         "obs/mpc80/orbfit_1862.obs",
                              "obs/mpc80/orbitfinder_6489.txt",      "obs/mpc80/orbitfinder_C_1998_P1.txt",
                              "obs/mpc80/neosjl_433.txt",            "obs/mpc80/neosjl_99942.dat",
                              "obs/mpc80/orbfit_1566.obs"};

struct AiSetup {
  bool ok = false;
  std::string dir;
  std::unique_ptr<JplReaderScope> jpl;
  std::unique_ptr<ScopedStationsFile> scoped;

  AiSetup() {
    const std::string de = TestDataPath("de/lnxp1960p2060.405");
    const std::string lines = StationLinesFromObsCodesPage();
    if (!TestDataFileExists(de) || lines.empty()) return;
    dir = MakeTempDir("bench_ai");
    jpl = std::make_unique<JplReaderScope>(dir + "no-de441.bin", de);
    scoped = std::make_unique<ScopedStationsFile>(WriteTestFile(dir, "stations.txt", lines));
    TheApp().m_szDataDir = dir;
    g_bCometElsDownloadTried = 1;
    ok = g_pJplEph->IsOpen();
  }
  ~AiSetup() {
    scoped.reset();
    jpl.reset();
    if (!dir.empty()) std::filesystem::remove_all(dir);
  }
};

AiSetup& Setup() {
  static AiSetup setup;
  return setup;
}

void BM_AiImprovement(benchmark::State& st) {
  const std::string relative = kFiles[st.range(0)];
  st.SetLabel(relative);
  AiSetup& setup = Setup();
  const std::string source = TestDataPath(relative);
  if (!setup.ok || !TestDataFileExists(source)) {
    st.SkipWithError(MissingDataMessage(relative + ", de/lnxp1960p2060.405, obscodes").c_str());
    return;
  }
  const std::string file = WriteTestFile(setup.dir, "ai.obs", ObservationLinesBetween(ReadTestFile(source), 1960, 2060));
  HeadlessUiServices ui;
  ScopedUi scopedUi(ui);
  std::unique_ptr<CDeterminationDisplay> view;
  const IntegratorCounters before = ThreadIntegratorCounters();
  for (auto _ : st) {
    st.PauseTiming();
    view = std::make_unique<CDeterminationDisplay>();
    OpenObsFile(*view, file);
    view->m_pEngine->m_bParallel = static_cast<int>(st.range(1));
    st.ResumeTiming();
    OnAiImprove(*view);
  }
  const OrbitEngine& engine = *view->m_pEngine;
  if (view->m_nAiResult != 0 || engine.m_nCalcState != kCalcImprovedPerturbed || !(engine.m_dMeanResidual < 1.0)) {
    st.SkipWithError(FormatC("result %d, state %d, mean %.3f\"", view->m_nAiResult, engine.m_nCalcState,
                             engine.m_dMeanResidual)
                         .c_str());
    return;
  }
  // The hash of the solution shows a speed-up that changed a bit.
  st.SetLabel(relative + FormatC(" solution %016llx",
                                 static_cast<unsigned long long>(SolutionHash(engine, *view->m_pDetClass))));
  st.counters["observations"] = view->m_pDetClass->m_nObsCount;
  st.counters["used"] = engine.m_nUsedObs;
  st.counters["mean_residual_arcsec"] = engine.m_dMeanResidual;
  // The calling thread's integrator work per run (the varied orbits of a
  // parallel run are not counted): what a change of the work shows.
  const IntegratorCounters& after = ThreadIntegratorCounters();
  const double runs = static_cast<double>(st.iterations());
  st.counters["steps"] = static_cast<double>(after.steps - before.steps) / runs;
  st.counters["forces"] = static_cast<double>(after.forceEvaluations - before.forceEvaluations) / runs;
  st.counters["startups"] = static_cast<double>(after.startups - before.startups) / runs;
}
BENCHMARK(BM_AiImprovement)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5, 6}, {0, 1}})
    ->ArgNames({"file", "parallel"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace

BENCHMARK_MAIN();

// One improvement step with perturbations over the whole 2004-2021 arc of
// (99942) Apophis (7,818 observations, the nominal orbit and six varied
// orbits), serial against the parallel integration of the varied orbits.
// The solution it starts from is made once, outside the timed loop.
//
// step: 0 the automatic step (as a user runs it; the passes are then a small
// part of the step's work), 1 a fixed step of 3 hours (four times the steps).
// threads: -1 the serial loop; 0 the parallel run with its threads capped by
// the processors this process may use; n > 0 at most n integrating threads
// (the calling thread included; 7 gives each orbit a thread of its own).
// Counters: the engine's statistics of the last step (ring entries, seconds
// spent computing them, CPU seconds of the producer, the body threads and the
// calling thread) and the mean residual, which must not depend on threads.
//
// Fewer processors: `taskset -c 0,1 bench_parallel_integration` (the cap
// follows the affinity mask).
#include <benchmark/benchmark.h>

#include <string>

#include "astro/time_scales.h"
#include "bench/apophis_setup.h"
#include "engine/determination_host.h"
#include "engine/integration_drivers.h"
#include "engine/parallel_integration.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"
#include "tests/engine/test_improvement_support.h"

namespace {

struct Solution {
  HeadlessUiServices ui;
  std::unique_ptr<ScopedUi> scoped;
  std::unique_ptr<CDetermination> view;
  int code = -100;
};

// The early apparitions first (Apophis mode), then the whole arc.
Solution& ApophisSolution()
{
  static Solution s;
  if (s.view)
    return s;
  ApophisSetup& setup = Setup();
  s.scoped = std::make_unique<ScopedUi>(s.ui);
  s.view = std::make_unique<CDetermination>();
  if (!setup.ok)
    return s;
  CDetermination& view = *s.view;
  if (LoadSessionObservations(view, setup.observations, setup.stations) <= 0)
    return s;
  KeepWindow(view, CalendarToJd(2004, 1, 1), CalendarToJd(2006, 1, 1));
  if (!PickAndDetermine(view, CalendarToJd(2005, 1, 1), CalendarToJd(2005, 3, 31)))
    return s;
  s.code = ImproveTwoBody(view, 20);
  OrbitEngine& engine = *view.m_pEngine;
  engine.m_bApophis = 1;
  for (double to : {CalendarToJd(2006, 1, 1), CalendarToJd(2014, 1, 1)}) {
    if (s.code != 0)
      return s;
    KeepWindow(view, CalendarToJd(2004, 1, 1), to);
    s.code = ImproveToConvergence(view, 30);
  }
  engine.m_bApophis = 0;
  KeepWindow(view, CalendarToJd(2004, 1, 1), CalendarToJd(2022, 1, 1));
  if (s.code == 0)
    s.code = ImproveToConvergence(view, 30);
  return s;
}

void BM_ApophisImprovementStep(benchmark::State& st)
{
  Solution& s = ApophisSolution();
  if (!Setup().ok) {
    st.SkipWithError("reference data not found: obs/mpc80/neosjl_99942.dat, de/lnxp1960p2060.405, obscodes");
    return;
  }
  if (s.code != 0) {
    st.SkipWithError(FormatC("the starting solution failed (%d)", s.code).c_str());
    return;
  }
  const int threads = static_cast<int>(st.range(0));
  OrbitEngine& engine = *s.view->m_pEngine;
  s.view->SetItemText(kIdStepCombo, st.range(1) == 0 ? kStepAutomatic : "3時間");
  engine.m_bParallel = threads < 0 ? 0 : 1;
  engine.m_options.m_nParallelThreads = threads > 0 ? threads : 0;
  for (auto _ : st) {
    const int r = ImprovementStep(*s.view);
    if (r != 0) {
      st.SkipWithError((FormatC("improvement step failed (%d): ", r) + engine.m_strMessage).c_str());
      break;
    }
  }
  engine.m_options.m_nParallelThreads = 0;
  engine.m_bParallel = 1;
  s.view->SetItemText(kIdStepCombo, kStepAutomatic);
  st.counters["processors"] = ProcessorCount();
  st.counters["ring_entries"] = engine.m_nRingEntries;
  st.counters["eph_s"] = engine.m_dEphSeconds;
  st.counters["producer_cpu_s"] = engine.m_dProducerCpu;
  st.counters["workers_cpu_s"] = engine.m_dWorkerCpu;
  st.counters["caller_cpu_s"] = engine.m_dCallerCpu;
  st.counters["bodies"] = engine.m_state.m_nBodies;
  st.counters["step_d"] = std::fabs(engine.m_state.m_dStep);
  st.counters["mean_residual_arcsec"] = benchmark::Counter(engine.m_dMeanResidual);
}
BENCHMARK(BM_ApophisImprovementStep)
    ->ArgNames({"threads", "step"})
    ->ArgsProduct({{-1, 0, 2, 4, 7}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

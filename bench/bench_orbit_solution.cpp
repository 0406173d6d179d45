// The full least-squares solution of (99942) Apophis from its 7,818
// observations of 2004-2021: three picks of early 2005, the
// two-body improvement, then the improvement with perturbations, first over
// the early apparitions (only their span integrated) and then over the
// whole arc with outliers clipped. The observations are read once outside
// the timed loop.
#include <benchmark/benchmark.h>

#include <string>

#include "astro/time_scales.h"
#include "engine/determination_host.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"
#include "bench/apophis_setup.h"
#include "tests/engine/test_improvement_support.h"

namespace {

void BM_ApophisFullSolution(benchmark::State& st) {
  ApophisSetup& setup = Setup();
  if (!setup.ok) {
    st.SkipWithError(MissingDataMessage("obs/mpc80/neosjl_99942.dat, de/lnxp1960p2060.405, obscodes").c_str());
    return;
  }
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  CDetermination view;
  const int count = LoadSessionObservations(view, setup.observations, setup.stations);
  for (auto _ : st) {
    st.PauseTiming();
    LoadSessionObservations(view, setup.observations, setup.stations);
    st.ResumeTiming();
    const int r = SolveApophis(view);
    if (r != 0) {
      st.SkipWithError((FormatC("solution failed (%d): ", r) + view.m_pEngine->m_strMessage + view.m_pDetClass->m_strError).c_str());
      return;
    }
  }
  st.counters["observations"] = count;
  st.counters["used"] = view.m_pEngine->m_nUsedObs;
  st.counters["mean_residual_arcsec"] = view.m_pEngine->m_dMeanResidual;
}
BENCHMARK(BM_ApophisFullSolution)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();

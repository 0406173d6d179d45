// Calculation runs of 100 years (1960-2060, the span of the DE405 reference
// file) with the automatic step and step control, as the propagation uses
// them:
//   MainBelt: (5303) Parijskij, no close approach to a planet.
//   NearEarth: (99942) Apophis, through its 2029 Earth encounter (the step
//     halves down to minutes and back, each change a restart).
//   JupiterFamily: 67P/Churyumov-Gerasimenko with its non-gravitational
//     parameters (water-ice law).
// Counters per run: force evaluations, steps, start-ups and restarts.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/de405_reader.h"
#include "astro/jpl_eph.h"
#include "data/numerics.h"
#include "engine/force_model.h"
#include "engine/integration_drivers.h"
#include "engine/orbit_engine.h"
#include "engine/state_elements.h"
#include "engine/stormer_cowell.h"
#include "platform/app_services.h"
#include "tests/common/test_data.h"
#include "tests/engine/test_hundred_years.h"

namespace {

void BM_HundredYears(benchmark::State& bench, const HundredYearOrbit& orbit)
{
  if (!OpenDe405Reader()) {
    bench.SkipWithError(MissingDataMessage("de/lnxp1960p2060.405").c_str());
    return;
  }
  OrbitEngine engine;
  PrepareHundredYearEngine(engine, orbit);
  auto state = std::make_unique<IntegrationState>();
  ElementBlock start{};
  if (HundredYearStartElements(engine, *state, orbit, start) != 0) {
    bench.SkipWithError(("run back to 1960 failed: " + engine.m_strMessage).c_str());
    return;
  }

  IntegratorCounters& counters = ThreadIntegratorCounters();
  long long runs = 0;
  IntegratorCounters before = counters;
  int result = 0;
  for (auto _ : bench) {
    PrepareHundredYearRun(engine, *state, start, kHundredYearsEnd);
    result = IntegrateOrbit(&engine, nullptr, nullptr, state.get());
    benchmark::DoNotOptimize(state->m_el);
    ++runs;
  }
  if (result != 0) {
    bench.SkipWithError(("run failed: " + engine.m_strMessage).c_str());
    return;
  }
  const double n = static_cast<double>(runs);
  bench.counters["force_evals"] = static_cast<double>(counters.forceEvaluations - before.forceEvaluations) / n;
  bench.counters["steps"] = static_cast<double>(counters.steps - before.steps) / n;
  bench.counters["startups"] = static_cast<double>(counters.startups - before.startups) / n;
  bench.counters["restarts"] = static_cast<double>(counters.restarts - before.restarts) / n;
  bench.counters["max_level"] = state->m_nMaxStepLevel;
  bench.SetLabel("base step " + std::to_string(state->m_dBaseStep) + " d");
}

BENCHMARK_CAPTURE(BM_HundredYears, MainBelt, kMainBelt)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HundredYears, NearEarth, kNearEarth)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HundredYears, JupiterFamily, kJupiterFamily)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// Clones per second of the impact probability: each clone is a full
// calculation run with ten impact trackers.
//   MainBelt: a main-belt orbit over one year, nothing near.
//   ApophisEncounter: (99942) Apophis over 200 days through its 2029 Earth
//     encounter (the step halves down to minutes and back in every clone).
// The covariance is made to measure (1 s in T, 0.1″ in the angles, 1e-8 in
// q and e), the clones quiet as in the program.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>

#include "engine/determination_host.h"
#include "engine/differential_correction.h"
#include "engine/impact_probability.h"
#include "engine/tool_sinks.h"
#include "platform/ui_services.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "tests/engine/test_integration_support.h"

namespace {

constexpr int kClones = 50;

struct Case {
  double t0;
  const double* r;
  const double* v;
  double days;
};
const Case kMainBelt = {kBeltT0, kBeltR, kBeltV, 365.25};
const Case kApophis = {kApophisT0, kApophisR, kApophisV, 200.0};

void BM_ImpactProbability(benchmark::State& bench, const Case& c) {
  const std::string de = TestDataPath("de/lnxp1960p2060.405");
  if (de.empty() || !TestDataFileExists(de)) {
    bench.SkipWithError("reference data de/lnxp1960p2060.405 not found");
    return;
  }
  JplReaderScope jpl(de);
  HeadlessUiServices ui;
  ScopedUi scopedUi(ui);
  HeadlessToolSinks sinks;
  ScopedToolSinks scopedSinks(sinks);
  TestRun run;
  run.Prepare(c.t0, c.r, c.v, c.t0 + c.days, 0.0, true);
  run.engine.m_bAutoRunning = run.engine.m_bAutoStop = 0;
  OrbitEngine& e = run.engine;
  const double sigma[6] = {1.0 / 86400.0, 4.8e-7, 4.8e-7, 4.8e-7, 1e-8, 1e-8};
  for (int i = 0; i < 6; ++i) e.m_covariance[i][i] = sigma[i] * sigma[i];
  e.m_nCovarianceSize = 6;
  e.m_bCovarianceValid = 1;
  e.m_dCovarianceEpoch = run.state->m_dEpoch;
  e.m_nCovarianceSignature = ComputeObservationSignature(&e);
  e.m_dSigma0 = 0.5;
  HostControl result;
  uint32_t seed = 1;
  for (auto _ : bench) {
    if (ComputeImpactProbability(&e, &result, run.state.get(), kClones, nullptr, nullptr, seed++) != 0) {
      bench.SkipWithError("no report");
      return;
    }
  }
  bench.counters["clones_per_second"] =
      benchmark::Counter(static_cast<double>(kClones) * static_cast<double>(bench.iterations()),
                         benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK_CAPTURE(BM_ImpactProbability, MainBelt, kMainBelt)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImpactProbability, ApophisEncounter, kApophis)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

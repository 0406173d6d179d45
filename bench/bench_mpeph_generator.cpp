// The perturbing-asteroid generator's cost per asteroid-century: (1) Ceres
// from its catalogue elements (the real excerpt, epoch 2020) integrated to
// every epoch of 1960-2060 (the span of the DE405 reference file), at the
// generator's default interval of 100 days and at its shortest, 10 days
// (where every other epoch keeps the elements reached). Counters per run:
// multistep steps and start-ups (one per integrated epoch).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/de405_reader.h"
#include "astro/jpl_eph.h"
#include "engine/determination_host.h"
#include "engine/mpeph_generator.h"
#include "engine/stormer_cowell.h"
#include "platform/app_services.h"
#include "tests/common/test_data.h"

namespace {

class NoProgress : public MpephProgress {
public:
  void AppendLog(const std::string&) override {}
  void ShowProgress(const std::string&) override {}
  EngineWindow* MessageWindow() override { return nullptr; }
};

void BM_CeresCentury(benchmark::State& bench, const char* interval)
{
  const std::string catalogue = TestDataPath("catalogues/skyfield_MPCORB.excerpt.DAT");
  MpephSlot slots[kMpephGenAsteroids];
  if (!OpenDe405Reader() || catalogue.empty() || FindMpephAsteroids(catalogue, slots) < 1) {
    bench.SkipWithError(MissingDataMessage("de/lnxp1960p2060.405, catalogues/skyfield_MPCORB.excerpt.DAT").c_str());
    return;
  }
  for (int i = 1; i < kMpephGenAsteroids; ++i)
    slots[i].q = 0;  // Ceres alone
  MpephSpan span;
  std::string refusal;
  if (ReadMpephSpan("1960", "2060", interval, span, refusal) != 0) {
    bench.SkipWithError(refusal.c_str());
    return;
  }
  std::vector<MpephRecord> records(static_cast<size_t>(kMpephGenAsteroids) * (span.n + 1));
  CDetermination* det = CurrentDetermination();
  NoProgress progress;
  IntegratorCounters& counters = ThreadIntegratorCounters();
  const IntegratorCounters before = counters;
  for (auto _ : bench) {
    const int r = IntegrateMpephTable(det->m_pEngine, det->m_pDetClass, slots, span, records.data(), progress);
    if (r != 0) {
      bench.SkipWithError("integration failed");
      return;
    }
    benchmark::DoNotOptimize(records.data());
  }
  const double runs = static_cast<double>(bench.iterations());
  bench.counters["epochs"] = span.n + 1;
  bench.counters["steps"] = static_cast<double>(counters.steps - before.steps) / runs;
  bench.counters["startups"] = static_cast<double>(counters.startups - before.startups) / runs;
  bench.counters["asteroid_centuries_per_s"] =
      benchmark::Counter(static_cast<double>(bench.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK_CAPTURE(BM_CeresCentury, Interval100Days, "100")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CeresCentury, Interval10Days, "10")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

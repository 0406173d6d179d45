// "計算(&C)" of the comet list over the MPC comet list of 2022 (949 comets
// read, 1095 daily rows each: about 1.04 million ephemeris rows) at
// 2023-03-11 on one core, headless. The window is frozen meanwhile: target
// under 2 s. The Sun and the Moon are computed once per day for all objects.
#include <benchmark/benchmark.h>

#include <fstream>

#include "data/element_file.h"
#include "engine/tool_sinks.h"
#include "ephemeris/eph_list.h"
#include "platform/ui_services.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "tests/ephemeris/comet_els_fixture.h"

namespace {

void BM_CometListCalc(benchmark::State& state) {
  const std::string json = TestDataPath("catalogues/kstars_CometEls.json.gz");
  if (json.empty() || !TestDataFileExists(json)) {
    state.SkipWithError("catalogues/kstars_CometEls.json.gz missing");
    return;
  }
  JplReaderScope jpl(TestDataPath("de/lnxp1960p2060.405"));
  HeadlessUiServices ui;
  ScopedUi scopedUi(ui);
  HeadlessToolSinks sinks;
  ScopedToolSinks scopedSinks(sinks);
  int count = 0;
  const std::string path = MakeTempDir("bench_comet_list") + "CometEls.txt";
  std::ofstream(path) << comet_els_fixture::CometElsLines(json, count);
  std::vector<ElementRecord> records;
  int read = 0;
  ReadElementFile(path, &records, &read, nullptr);
  records.resize(static_cast<size_t>(read));
  CEphList list;
  list.SetElements(std::move(records));
  list.m_form.year = "2023";
  list.m_form.month = "3";
  list.m_form.day = "11";
  for (auto _ : state) benchmark::DoNotOptimize(list.OnCalc());
  state.counters["objects"] = read;
  state.counters["rows"] = static_cast<double>(read) * kCometListDays;
}
BENCHMARK(BM_CometListCalc)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

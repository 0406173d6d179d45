// The systematic ranging of the NEOCP scan on arcs cut from two impactors:
// 2008 TC3 before 2008-10-06 12:00 UT (15 lines, 0.10 day) and 2024 BX1's
// first hour (13 lines, 0.04 day), from the loaded observations to the
// screened clones (200 clones, 30 days before and 60 after). Loading the
// file is not timed. Counters: the valid samples of the ranging's grid and
// the samples per second of the whole run, its status and mode.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "determination/determination_display.h"
#include "determination/obs_loading.h"
#include "neocp/scan_dlg.h"
#include "neocp/scan_row.h"
#include "neocp/systematic_ranging.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "tests/engine/test_improvement_support.h"
#include "tests/neocp/obs_cuts.h"

namespace {

struct RangingCase {
  const char* name;
  ObsCut cut;
};

const RangingCase kCases[] = {
    {"2008 TC3 before 10-06 12:00", {"neosjl_2008TC3.txt", 0, 2454746.0, nullptr, 0}},
    {"2024 BX1 first hour", {"neosjl_2024BX1.txt", 0, 1.0 / 24.0, nullptr, 0}},
};

struct RangingSetup {
  bool ok = false;
  std::string dir;
  std::unique_ptr<JplReaderScope> jpl;
  std::unique_ptr<ScopedStationsFile> scoped;

  RangingSetup() {
    const std::string de = TestDataPath("de/lnxp1960p2060.405");
    const std::string lines = StationLinesFromObsCodesPage();
    if (!TestDataFileExists(de) || lines.empty()) return;
    dir = MakeTempDir("bench_ranging");
    jpl = std::make_unique<JplReaderScope>(dir + "no-de441.bin", de);
    scoped = std::make_unique<ScopedStationsFile>(WriteTestFile(dir, "stations.txt", lines));
    ok = g_pJplEph->IsOpen();
  }
  ~RangingSetup() {
    scoped.reset();
    jpl.reset();
    if (!dir.empty()) std::filesystem::remove_all(dir);
  }
};

RangingSetup& Setup() {
  static RangingSetup setup;
  return setup;
}

void BM_SystematicRanging(benchmark::State& st) {
  const RangingCase& c = kCases[st.range(0)];
  st.SetLabel(c.name);
  RangingSetup& setup = Setup();
  const std::string source = TestDataPath(std::string("obs/mpc80/") + c.cut.file);
  if (!setup.ok || !TestDataFileExists(source)) {
    st.SkipWithError(MissingDataMessage(std::string(c.cut.file) + ", de/lnxp1960p2060.405, obscodes").c_str());
    return;
  }
  int lines = 0;
  const std::string file = WriteTestFile(setup.dir, "cut.obs", CutObsLines(ReadTestFile(source), c.cut, lines));
  HeadlessUiServices ui;
  ScopedUi scopedUi(ui);
  HeadlessToolSinks sinks;
  ScopedToolSinks scopedSinks(sinks);
  NeocpScanSettings settings;
  NeocpScanRow row{};
  int samples = 0;
  for (auto _ : st) {
    st.PauseTiming();
    auto view = std::make_unique<CDeterminationDisplay>();
    OpenObsFile(*view, file);
    ResetScanRow(row, 0);
    row.desig = c.name;
    st.ResumeTiming();
    RunSystematicRanging(*view, settings, row, nullptr, nullptr);
    samples += row.n_samples;
  }
  if (row.status != kScanComplete && row.status != kScanNominalOnly) {
    st.SkipWithError(FormatC("status %d: %s", row.status, row.note.c_str()).c_str());
    return;
  }
  st.counters["lines"] = lines;
  st.counters["valid_samples"] = row.n_samples;
  st.counters["samples_per_s"] = benchmark::Counter(samples, benchmark::Counter::kIsRate);
  st.counters["mode"] = row.mode;
  st.counters["impacts"] = row.n_impact;
}
BENCHMARK(BM_SystematicRanging)->DenseRange(0, 1)->ArgName("cut")->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();

// The orbit-determination view without windows: opening the observation file
// of (433) Eros (its lines of 1960-2060, which the DE405 file covers) up to
// the filled list, with the peak memory of the process; and the third pick
// of 2015 AB up to the preliminary orbit's element report in the result pane.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "astro/time_scales.h"
#include "data/comet_list.h"
#include "determination/determination_display.h"
#include "determination/obs_loading.h"
#include "engine/observation_picking.h"
#include "platform/ui_services.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "tests/engine/test_improvement_support.h"

namespace {

struct ViewSetup {
  bool ok = false;
  std::string dir, eros, ab, stations;
  std::unique_ptr<JplReaderScope> jpl;
  std::unique_ptr<ScopedStationsFile> scoped;

  ViewSetup() {
    const std::string erosFile = TestDataPath("obs/mpc80/neosjl_433.txt");
    const std::string abFile = TestDataPath("obs/mpc80/orbfit_2015AB.obs");
    const std::string de = TestDataPath("de/lnxp1960p2060.405");
    const std::string lines = StationLinesFromObsCodesPage();
    if (!TestDataFileExists(erosFile) || !TestDataFileExists(abFile) || !TestDataFileExists(de) || lines.empty())
      return;
    dir = MakeTempDir("bench_view");
    stations = WriteTestFile(dir, "stations.txt", lines);
    eros = WriteTestFile(dir, "433.obs", ObservationLinesBetween(ReadTestFile(erosFile), 1960, 2060));
    ab = WriteTestFile(dir, "2015AB.obs", ReadTestFile(abFile));
    jpl = std::make_unique<JplReaderScope>(dir + "no-de441.bin", de);
    scoped = std::make_unique<ScopedStationsFile>(stations);
    TheApp().m_szDataDir = dir;
    g_bCometElsDownloadTried = 1;
    ok = g_pJplEph->IsOpen();
  }
  ~ViewSetup() {
    scoped.reset();
    jpl.reset();
    if (!dir.empty()) std::filesystem::remove_all(dir);
  }
};

ViewSetup& Setup() {
  static ViewSetup setup;
  return setup;
}

// Peak resident memory of the process, MiB (VmHWM).
double PeakResidentMiB() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return 0;
  char line[256];
  double kib = 0;
  while (std::fgets(line, sizeof line, f))
    if (std::strncmp(line, "VmHWM:", 6) == 0) kib = std::atof(line + 6);
  std::fclose(f);
  return kib / 1024.0;
}

void BM_OpenErosToList(benchmark::State& st) {
  ViewSetup& setup = Setup();
  if (!setup.ok) {
    st.SkipWithError("reference data not found: obs/mpc80/neosjl_433.txt, de/lnxp1960p2060.405, obscodes");
    return;
  }
  HeadlessUiServices ui;
  ScopedUi scopedUi(ui);
  CDeterminationDisplay view;
  for (auto _ : st) {
    OpenObsFile(view, setup.eros);
    if (view.m_nObsListItemCount <= 0) st.SkipWithError("the file did not load");
  }
  st.counters["observations"] = view.m_nObsListItemCount;
  st.counters["peak_MiB"] = PeakResidentMiB();
}
BENCHMARK(BM_OpenErosToList)->Unit(benchmark::kMillisecond);

void BM_ThirdPickToPreliminaryOrbit(benchmark::State& st) {
  ViewSetup& setup = Setup();
  if (!setup.ok) {
    st.SkipWithError("reference data not found: obs/mpc80/orbfit_2015AB.obs, de/lnxp1960p2060.405, obscodes");
    return;
  }
  HeadlessUiServices ui;
  ScopedUi scopedUi(ui);
  CDeterminationDisplay view;
  OpenObsFile(view, setup.ab);
  // The rows of three observations of January and February 2015, as a user picks them.
  const int rows[3] = {14, 24, 36};
  OnObsListClick(view, rows[0], nullptr);
  OnObsListClick(view, rows[1], nullptr);
  for (auto _ : st) {
    OnObsListClick(view, rows[2], nullptr);
    if (view.m_pEngine->m_nCalcState != kCalcPreliminary || view.GetItemText(kIdResultEdit).empty())
      st.SkipWithError("no preliminary orbit");
    st.PauseTiming();
    OnObsListClick(view, rows[2], nullptr);  // unpicked again
    st.ResumeTiming();
  }
}
BENCHMARK(BM_ThirdPickToPreliminaryOrbit)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

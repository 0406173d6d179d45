// The element sets of the apparition comparison: (433) Eros's observations
// since 1960 under the comet law, its solution integrated with the planets
// every 40 days across the 65 years (about 600 sets), wall time. The user
// waits on it (the cancel dialog comes after 3 s): the aim is under 2 s.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "data/observation_reader.h"
#include "engine/determination_host.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "tests/engine/test_improvement_support.h"
#include "tests/views/eros_1960_solution.h"
#include "views/mag_curve.h"

namespace {

void BM_ErosElementSets(benchmark::State& st)
{
  const std::string de = TestDataPath("de/lnxp1960p2060.405");
  const std::string source = TestDataPath("obs/mpc80/neosjl_433.txt");
  if (!TestDataFileExists(de) || !TestDataFileExists(source)) {
    st.SkipWithError(MissingDataMessage("de/lnxp1960p2060.405, obs/mpc80/neosjl_433.txt").c_str());
    return;
  }
  const std::string stations = StationLinesFromObsCodesPage();
  if (stations.empty()) {
    st.SkipWithError(MissingDataMessage("obscodes/ObsCodes.html").c_str());
    return;
  }
  const std::string dir = MakeTempDir("bench_apparitions");
  JplReaderScope jpl(dir + "no-de441.bin", de);
  ScopedStationsFile scopedStations(WriteTestFile(dir, "stations.txt", stations));
  HeadlessUiServices ui;
  ScopedUi scopedUi(ui);
  CDetermination view;  // the current view: its engine integrates
  const std::string file =
      WriteTestFile(dir, "eros.obs", ObservationLinesBetween(ReadTestFile(source), 1960, 2060));
  ObservationRecord* obs = nullptr;
  const int count = CTessaruneLib::GetMpcObs(file, &obs);
  const DisplayOrbit eros = Eros1960Solution();
  CMagCurveDlg curve;
  curve.m_bHeadlessWindow = 1;
  curve.OnInitDialog();
  curve.SetSolution(eros, obs, count, "");
  std::free(obs);
  int ok = 0;
  for (auto _ : st) {
    curve.ClearApparitionComparison();
    ok = curve.ComputeApparitionElements();
  }
  if (!ok) {
    st.SkipWithError(FormatC("%d observations, %d points: %s", count, curve.m_nPoints,
                             curve.m_strApparitionSummary.c_str())
                         .c_str());
  } else {
    curve.BuildApparitionTable();
    st.counters["points"] = curve.m_nPoints;
    st.counters["sets"] = curve.m_nElementSets;
    st.counters["returns"] = curve.m_nApparitions;
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ErosElementSets)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();

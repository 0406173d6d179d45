// The forecast dialog's original and future orbits of 1I/ʻOumuamua (mode 3:
// back to 1960 and forward to 2060 with the 1/a report) on the solution of
// its observations, and the growth of the integration error of (99942)
// Apophis to 2040 (five stages there and back), each solution determined
// once outside the timed loop.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "astro/time_scales.h"
#include "bench/apophis_setup.h"
#include "engine/tool_sinks.h"
#include "ephemeris/forecast.h"
#include "tests/engine/test_improvement_support.h"
#include "tests/ephemeris/forecast_form.h"

namespace {

void BM_ForecastOriginalAndFuture1I(benchmark::State& st) {
  const std::string de = TestDataPath("de/lnxp1960p2060.405"), obsPath = TestDataPath("obs/mpc80/orbitfinder_1I.txt");
  const std::string stationLines = StationLinesFromObsCodesPage();
  if (de.empty() || !TestDataFileExists(de) || obsPath.empty() || !TestDataFileExists(obsPath) || stationLines.empty()) {
    st.SkipWithError(MissingDataMessage("de/lnxp1960p2060.405, obs/mpc80/orbitfinder_1I.txt, obscodes").c_str());
    return;
  }
  const std::string dir = MakeTempDir("bench_forecast");
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  HeadlessToolSinks sinks;
  ScopedToolSinks scopedSinks(sinks);
  JplReaderScope jpl(dir + "no-de441.bin", de);
  CDetermination view;
  const std::string stations = WriteTestFile(dir, "stations.txt", stationLines);
  const std::string obs = WriteTestFile(dir, "obs.txt", ObservationLinesBetween(ReadTestFile(obsPath), 1960, 2060));
  if (LoadSessionObservations(view, obs, stations) <= 0 ||
      !PickAndDetermine(view, CalendarToJd(2017, 10, 19), CalendarToJd(2017, 11, 24)) ||
      ImproveTwoBody(view, 20) != 0 || ImproveToConvergence(view, 30) != 0) {
    std::filesystem::remove_all(dir);
    st.SkipWithError("1I: no solution");
    return;
  }
  std::filesystem::remove_all(dir);
  TestForecastForm form;
  form.SetText(kFcStep, kStepAutomatic);
  ForecastModel model(&view);
  for (auto _ : st) {
    model.State().m_nOrbitKind = kForecastBoth;
    if (model.Calculate(form) != kEngineDone) {
      st.SkipWithError(("mode 3 failed: " + form.Text(kFcResult)).c_str());
      return;
    }
  }
}
BENCHMARK(BM_ForecastOriginalAndFuture1I)->Unit(benchmark::kMillisecond);

bool Go(CDetermination*) { return true; }

void BM_ApophisErrorGrowthTo2040(benchmark::State& st) {
  ApophisSetup& setup = Setup();
  if (!setup.ok) {
    st.SkipWithError(MissingDataMessage("obs/mpc80/neosjl_99942.dat, de/lnxp1960p2060.405, obscodes").c_str());
    return;
  }
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  HeadlessToolSinks sinks;
  ScopedToolSinks scopedSinks(sinks);
  CDetermination view;
  if (LoadSessionObservations(view, setup.observations, setup.stations) <= 0 || SolveApophis(view) != 0) {
    st.SkipWithError("Apophis: no solution");
    return;
  }
  view.m_pEngine->m_nCalcState = kCalcImprovedPerturbed;
  TestForecastForm form;
  form.SetText(kFcStep, kStepAutomatic);
  form.SetEpoch("2040", "1", "1");
  ForecastModel model(&view);
  for (auto _ : st) {
    if (model.MeasureErrorGrowth(form, Go) != 0) {
      st.SkipWithError(("error growth failed: " + form.Text(kFcResult)).c_str());
      return;
    }
  }
}
BENCHMARK(BM_ApophisErrorGrowthTo2040)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();

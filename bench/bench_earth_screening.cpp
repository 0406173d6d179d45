// The Earth screening of covariance clones, clones per second through
// ScreenEarthApproaches: 200 clones with 30 days before and 60 after, for
// 2008 TC3 (all its lines; every plausible clone hits) and 2024 MK (its 22
// lines of 2024-06-16..19; all pass near 0.77 LD). The orbit, its
// covariance and the clones are made once, outside the timing; every
// iteration screens them again on a fresh row, files included.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "determination/determination_display.h"
#include "engine/tool_sinks.h"
#include "neocp/clone_sampler.h"
#include "neocp/earth_screening.h"
#include "neocp/scan_dlg.h"
#include "neocp/scan_row.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "tests/neocp/close_approach_solve.h"

namespace {

struct Object {
  const char* desig;
  const char* file;
  const char* fromDay;
  const char* toDay;
  double cutFromEnd;  // where the three observations of the first orbit end
};
const Object kObjects[] = {{"2008 TC3", "obs/mpc80/neosjl_2008TC3.txt", "2008 10 06", "2008 10 07", 0.05},
                           {"2024 MK", "obs/mpc80/neosjl_2024MK.txt", "2024 06 16", "2024 06 19", 0.2}};

struct ScreeningSetup {
  std::string dir, stations, error;
  std::unique_ptr<JplReaderScope> jpl;
  HeadlessUiServices ui;
  std::unique_ptr<ScopedUi> scopedUi;
  HeadlessToolSinks sinks;
  std::unique_ptr<ScopedToolSinks> scopedSinks;
  std::unique_ptr<CDeterminationDisplay> view;
  NeocpScanSettings settings;
  CloneRecord nominal{};
  std::vector<CloneRecord> clones;

  explicit ScreeningSetup(const Object& o) {
    const std::string de = TestDataPath("de/lnxp1960p2060.405"), source = TestDataPath(o.file);
    const std::string lines = StationLinesFromObsCodesPage();
    if (!TestDataFileExists(de) || !TestDataFileExists(source) || lines.empty()) {
      error = MissingDataMessage(std::string(o.file) + ", de/lnxp1960p2060.405, obscodes");
      return;
    }
    dir = MakeTempDir("bench_screening");
    jpl = std::make_unique<JplReaderScope>(dir + "no-de441.bin", de);
    stations = WriteTestFile(dir, "stations.txt", lines);
    scopedUi = std::make_unique<ScopedUi>(ui);
    scopedSinks = std::make_unique<ScopedToolSinks>(sinks);
    view = std::make_unique<CDeterminationDisplay>();
    const std::string obs = WriteTestFile(dir, "obs.txt", ObservationLinesOnDays(ReadTestFile(source), o.fromDay, o.toDay));
    if (LoadSessionObservations(*view, obs, stations) < 3 || !SolveCloseApproachArc(*view, o.cutFromEnd)) {
      error = std::string("no orbit with covariance for ") + o.desig;
      return;
    }
    // The clones as the covariance clones of the scan draw them.
    OrbitEngine* engine = view->m_pEngine;
    NominalCloneFromEngine(engine, nominal);
    const int size = std::min(engine->m_nCovarianceSize, 9);
    const double sigma0 = engine->m_dSigma0;
    const double scale = settings.m_bSysError && sigma0 > 0.0 ? std::sqrt(sigma0 * sigma0 + 0.25) / sigma0 : 1.0;
    CloneSampler sampler;
    sampler.Init(engine->m_covariance, size, scale, CloneSeed(o.desig, view->m_pDetClass->m_nObsCount));
    for (int j = 1; j <= settings.m_nClones; ++j) {
      double offsets[9], weight = 1.0;
      sampler.Draw(j, settings.m_nClones, offsets, weight);
      CloneRecord c = nominal;
      c.weight = weight;
      if (PerturbCloneElements(c, offsets, size)) clones.push_back(c);
    }
  }
  ~ScreeningSetup() {
    view.reset();
    scopedSinks.reset();
    scopedUi.reset();
    jpl.reset();
    if (!dir.empty()) std::filesystem::remove_all(dir);
  }
};

void BM_ScreenEarthApproaches(benchmark::State& st) {
  const Object& o = kObjects[st.range(0)];
  st.SetLabel(o.desig);
  ScreeningSetup setup(o);
  if (!setup.error.empty()) {
    st.SkipWithError(setup.error.c_str());
    return;
  }
  NeocpScanRow row{};
  int result = 0;
  for (auto _ : st) {
    ResetScanRow(row, 0);
    row.desig = o.desig;
    row.clones_path = setup.dir + "clones.txt";
    row.closest_path = setup.dir + "closest_EX.IMP";
    result = ScreenEarthApproaches(*setup.view, setup.settings, row, setup.nominal, setup.clones.data(),
                                   static_cast<int>(setup.clones.size()), nullptr, nullptr);
  }
  if (result != 0) {
    st.SkipWithError(FormatC("screening %d, status %d: %s", result, row.status, row.note.c_str()).c_str());
    return;
  }
  st.counters["clones_per_s"] =
      benchmark::Counter(static_cast<double>(setup.clones.size()), benchmark::Counter::kIsIterationInvariantRate);
  st.counters["clones"] = static_cast<double>(setup.clones.size());
  st.counters["valid"] = row.n_valid;
  st.counters["impacts"] = row.n_impact;
}
BENCHMARK(BM_ScreenEarthApproaches)->DenseRange(0, 1)->ArgName("object")->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();

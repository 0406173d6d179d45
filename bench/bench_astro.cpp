// Speed of the planetary reader and of the rotation models.
//   JplPosition inside one record: the integrator's normal case, no file reads.
//   JplPosition across records: every call seeks and reads a record.
//   PlanetRotationSubPoint: the Earth (precession, nutation, sidereal time)
//   and a body with a series model (the Moon).
#include <benchmark/benchmark.h>

#include <string>

#include "bench/de405_reader.h"
#include "astro/body_rotation.h"
#include "astro/jpl_eph.h"
#include "platform/app_services.h"
#include "tests/common/test_data.h"

namespace {

void BM_JplPositionWithinRecord(benchmark::State& state) {
  if (!OpenDe405Reader()) {
    state.SkipWithError(MissingDataMessage("de/lnxp1960p2060.405").c_str());
    return;
  }
  const int target = static_cast<int>(state.range(0));
  const double t0 = 2451545.0;
  double pos[3];
  int i = 0;
  for (auto _ : state) {
    const double t = t0 + 0.001 * (i++ & 8191);  // 8.2 days inside one 32-day record
    benchmark::DoNotOptimize(JplPosition(t, target, kJplSun, pos));
    benchmark::DoNotOptimize(pos);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("positions");
}
BENCHMARK(BM_JplPositionWithinRecord)->Arg(kJplEarth)->Arg(5)->Arg(kJplMoon);

void BM_JplPositionAcrossRecords(benchmark::State& state) {
  if (!OpenDe405Reader()) {
    state.SkipWithError(MissingDataMessage("de/lnxp1960p2060.405").c_str());
    return;
  }
  const double step = JplCurrentHeader().daysPerRecord;
  double pos[3];
  int i = 0;
  for (auto _ : state) {
    const double t = g_dJplStart + 1 + step * (i++ % 1000);  // a new record at every call
    benchmark::DoNotOptimize(JplPosition(t, kJplEarth, kJplSun, pos));
    benchmark::DoNotOptimize(pos);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("positions");
}
BENCHMARK(BM_JplPositionAcrossRecords);

void BM_PlanetRotationSubPoint(benchmark::State& state) {
  const BodyIndex body = static_cast<BodyIndex>(state.range(0));
  double lat, lon;
  int i = 0;
  for (auto _ : state) {
    const double t = 2460000.5 + 0.01 * (i++ & 1023);
    PlanetRotationSubPoint(body, t, 0.6, -0.48, 0.64, lat, lon);
    benchmark::DoNotOptimize(lat);
    benchmark::DoNotOptimize(lon);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlanetRotationSubPoint)->Arg(kBodyEarth)->Arg(kBodyMoon)->Arg(kBodyJupiter);

}  // namespace

BENCHMARK_MAIN();

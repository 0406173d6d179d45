// Positions per second of the two-body solvers, per branch: Kepler's
// equation, the series about the parabola (near perihelion, where it is
// used), universal variables (near-parabolic far out, hyperbolic), and the
// observer-centred position with light time.
#include <benchmark/benchmark.h>

#include "astro/two_body.h"

namespace {

const double kP[3] = {0.36, 0.48, 0.8};
const double kQ[3] = {-0.8, 0.6, 0.0};
const double kSun[3] = {0.21, -0.88, -0.38};
constexpr double kT = 2460000.5;

void StateLoop(benchmark::State& state, double q, double e, double firstDay, double span) {
  double pos[3], vel[3];
  int i = 0;
  for (auto _ : state) {
    const double t = kT + firstDay + span * (i++ % 64) / 64.0;
    benchmark::DoNotOptimize(ElementsToState(t, kT, q, e, kP, kQ, pos, vel));
    benchmark::DoNotOptimize(pos);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_StateSeriesNearPerihelion(benchmark::State& s) { StateLoop(s, 0.5, 0.99, -20.0, 40.0); }
void BM_StateUniversalNearParabolicFar(benchmark::State& s) { StateLoop(s, 0.3, 0.975, 3000.0, 600.0); }
void BM_StateUniversalHyperbolic(benchmark::State& s) { StateLoop(s, 0.8, 2.0, -200.0, 400.0); }

void BM_StateKeplerElliptic(benchmark::State& state) {
  double pos[3], vel[3];
  int i = 0;
  for (auto _ : state) {
    const double t = kT + 1000.0 * (i++ % 64) / 64.0;
    benchmark::DoNotOptimize(TwoBodyStateLightTime(t, kT, 2.5, 0.3, kP, kQ, 1.5, pos, vel));
    benchmark::DoNotOptimize(pos);
  }
  state.SetItemsProcessed(state.iterations());
}

void ObserverLoop(benchmark::State& state, double q, double e) {
  double ra, dec, delta, r, nu;
  int i = 0;
  for (auto _ : state) {
    const double t = kT - 100.0 + 200.0 * (i++ % 64) / 64.0;
    benchmark::DoNotOptimize(TwoBodyGeocentricPosition(kT, q, e, kP, kQ, t, kSun, ra, dec, delta, r, nu));
    benchmark::DoNotOptimize(ra);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_ObserverElliptic(benchmark::State& s) { ObserverLoop(s, 2.5, 0.3); }
void BM_ObserverNearParabolic(benchmark::State& s) { ObserverLoop(s, 1.0, 0.999); }
void BM_ObserverHyperbolic(benchmark::State& s) { ObserverLoop(s, 0.8, 2.0); }

}  // namespace

BENCHMARK(BM_StateKeplerElliptic);
BENCHMARK(BM_StateSeriesNearPerihelion);
BENCHMARK(BM_StateUniversalNearParabolicFar);
BENCHMARK(BM_StateUniversalHyperbolic);
BENCHMARK(BM_ObserverElliptic);
BENCHMARK(BM_ObserverNearParabolic);
BENCHMARK(BM_ObserverHyperbolic);
BENCHMARK_MAIN();

// Force evaluations per second: 1 and 10 orbits, with and without the five asteroid slots.
#include <benchmark/benchmark.h>

#include <memory>

#include "engine/force_model.h"
#include "engine/orbit_engine.h"

static void BM_ComputeAccelerations(benchmark::State& st)
{
  const int bodies = static_cast<int>(st.range(0));
  OrbitEngine engine;
  engine.m_nAsteroidSet = static_cast<int>(st.range(1));
  engine.m_bRelativity = 1;
  engine.m_bEarthJ2 = 1;
  auto state = std::make_unique<IntegrationState>();
  SetupIntegrationState(&engine, state.get());
  for (int i = 0; i < kPerturbers; ++i)
    for (int c = 0; c < 3; ++c)
      state->m_dPert[10][c][i] = (1.0 + i) * (c == 0 ? 1.0 : c == 1 ? -0.5 : 0.1);
  for (int j = 0; j < bodies; ++j)
    for (int c = 0; c < 3; ++c) {
      state->m_dPos[10][c][j] = (c == 0 ? 1.2 : 0.3) + 1e-6 * j;
      state->m_dVel[10][c][j] = 0.01;
    }
  double t = 2460000.5;
  for (auto _ : st) {
    ComputeAccelerations(&engine, state.get(), state->m_pszPerturberMask, bodies, 10, state->m_dMinusGM,
                         state->m_dAcc, t, state->m_dPos, state->m_dPert);
    benchmark::DoNotOptimize(state->m_dAcc[10][0][0]);
    t += 1e-3;
  }
  st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_ComputeAccelerations)->ArgNames({"orbits", "asteroidSet"})->Args({1, 0})->Args({1, 6})->Args({10, 0})->Args({10, 6});

BENCHMARK_MAIN();

// Calculation runs of 100 years (1960-2060, the span of the DE405 reference
// file) with the automatic step and step control, as the propagation uses
// them:
//   MainBelt: (5303) Parijskij, no close approach to a planet.
//   NearEarth: (99942) Apophis, through its 2029 Earth encounter (the step
//     halves down to minutes and back, each change a restart).
//   JupiterFamily: 67P/Churyumov-Gerasimenko with its non-gravitational
//     parameters (water-ice law).
// Counters per run: force evaluations, steps, start-ups and restarts.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "astro/jpl_eph.h"
#include "data/numerics.h"
#include "engine/force_model.h"
#include "engine/integration_drivers.h"
#include "engine/orbit_engine.h"
#include "engine/state_elements.h"
#include "engine/stormer_cowell.h"
#include "platform/app_services.h"
#include "tests/common/test_data.h"

namespace {

constexpr double kStart = 2436960.5;          // 1960 Feb 1
constexpr double kEnd = kStart + 36500.0;     // 2060 Jan 7

bool OpenReader()
{
  if (g_pJplEph != nullptr && g_pJplEph->IsOpen())
    return true;
  const std::string path = TestDataPath("de/lnxp1960p2060.405");
  if (path.empty() || !TestDataFileExists(path))
    return false;
  TheApp().m_szDe441File = path;
  TheApp().m_szDe406File.clear();
  delete g_pJplEph;
  g_pJplEph = new CJplEph;
  return g_pJplEph->IsOpen();
}

struct Orbit {
  double t;          // epoch of the state
  double r[3];       // AU
  double v[3];       // AU/day
  bool barycentric;  // the state is barycentric (else heliocentric)
  double a1, a2;     // non-gravitational parameters, AU/day²
};

const Orbit kMainBelt = {2449718.5,
                         {-2.232847879711731E+00, 1.574146331186095E+00, 8.329414259670296E-01},
                         {-6.247432571575564E-03, -7.431073424167182E-03, -3.231725223736132E-03},
                         true,
                         0.0,
                         0.0};
const Orbit kNearEarth = {2462138.5359989386,
                          {-5.5946538550488512E-01, 8.5647564757574512E-01, 3.0415066217102493E-01},
                          {-1.3818324735921638E-02, -6.0088275597939191E-03, -2.5805044631309632E-03},
                          false,
                          0.0,
                          0.0};
const Orbit kJupiterFamily = {2457691.5,
                              {-3.671444539611959E+00, -1.497762385991873E+00, -4.027133458856754E-01},
                              {-2.291930438111897E-03, -6.813786631688840E-03, -3.374841349586171E-03},
                              false,
                              6.253191828728E-10,
                              -9.530938230455E-11};

// Engine and state of a run from el (at its epoch) to end.
void Prepare(OrbitEngine& engine, IntegrationState& state, const ElementBlock& el, double end)
{
  SetupIntegrationState(&engine, &state);
  state.m_el = el;
  state.m_dEpoch = el.m_dEpoch;
  state.m_dEnd = end;
  state.m_dDirection = end >= el.m_dEpoch ? 1.0 : -1.0;
  state.m_chMode = kModeCalculation;
  state.m_nBodies = 1;
  state.m_nSolveMask = 1;
  state.m_pGeoTrack = nullptr;
  const double h = CTessaruneLib::AutoIntegrationStep(&state);
  state.m_dStep = h * state.m_dDirection;
  state.m_dStep2 = h * h;
  state.m_bStepControlWanted = 1;
}

void BM_HundredYears(benchmark::State& bench, const Orbit& orbit)
{
  if (!OpenReader()) {
    bench.SkipWithError(MissingDataMessage("de/lnxp1960p2060.405").c_str());
    return;
  }
  OrbitEngine engine;
  ResetOrbitEngine(&engine, nullptr);
  engine.m_bAutoRunning = engine.m_bAutoStop = 1;
  engine.m_bNonGrav = orbit.a1 != 0.0 ? 1 : 0;
  auto state = std::make_unique<IntegrationState>();
  // The orbit's elements at 1960, from a run back from its own epoch.
  double r[3], v[3], sun[6] = {};
  int valid = 1;
  if (orbit.barycentric)
    JplPleph(orbit.t, kJplSun, kJplSolarSystemBarycentre, sun, valid);
  for (int c = 0; c < 3; ++c) {
    r[c] = orbit.r[c] - sun[c];
    v[c] = orbit.v[c] - sun[3 + c];
  }
  OsculatingElements oe{};
  ConvertStateToElements(orbit.t, r, v, true, oe);
  ElementBlock el{};
  el.m_dT = oe.T, el.m_dQ = oe.q, el.m_dE = oe.e, el.m_dPeri = oe.peri, el.m_dNode = oe.node, el.m_dIncl = oe.incl;
  el.m_dA1 = orbit.a1, el.m_dA2 = orbit.a2;
  el.m_dEpoch = orbit.t;
  Prepare(engine, *state, el, kStart);
  if (IntegrateOrbit(&engine, nullptr, nullptr, state.get()) != 0) {
    bench.SkipWithError(("run back to 1960 failed: " + engine.m_strMessage).c_str());
    return;
  }
  const ElementBlock start = state->m_el;

  IntegratorCounters& counters = ThreadIntegratorCounters();
  long long runs = 0;
  IntegratorCounters before = counters;
  int result = 0;
  for (auto _ : bench) {
    Prepare(engine, *state, start, kEnd);
    result = IntegrateOrbit(&engine, nullptr, nullptr, state.get());
    benchmark::DoNotOptimize(state->m_el);
    ++runs;
  }
  if (result != 0) {
    bench.SkipWithError(("run failed: " + engine.m_strMessage).c_str());
    return;
  }
  const double n = static_cast<double>(runs);
  bench.counters["force_evals"] = static_cast<double>(counters.forceEvaluations - before.forceEvaluations) / n;
  bench.counters["steps"] = static_cast<double>(counters.steps - before.steps) / n;
  bench.counters["startups"] = static_cast<double>(counters.startups - before.startups) / n;
  bench.counters["restarts"] = static_cast<double>(counters.restarts - before.restarts) / n;
  bench.counters["max_level"] = state->m_nMaxStepLevel;
  bench.SetLabel("base step " + std::to_string(state->m_dBaseStep) + " d");
}

BENCHMARK_CAPTURE(BM_HundredYears, MainBelt, kMainBelt)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HundredYears, NearEarth, kNearEarth)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HundredYears, JupiterFamily, kJupiterFamily)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

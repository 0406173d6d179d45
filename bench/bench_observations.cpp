// Reading observation files: CTessaruneLib::GetMpcObs on the history of 433 Eros.
//
// The planetary file of the test data spans 1960-2060, so the full reading
// (stations, Sun, observer positions) runs on the 14,493 lines from 1960 on;
// the whole file of 19,258 lines runs against a station file that knows none
// of its codes, which measures decoding, conversion and line parsing alone.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "astro/jpl_eph.h"
#include "data/observation_reader.h"
#include "platform/app_services.h"
#include "platform/ui_services.h"
#include "tests/common/test_data.h"

namespace {

std::string ReadAll(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::string& text)
{
  std::ofstream(path, std::ios::binary) << text;
}

size_t CountLines(const std::string& text)
{
  size_t n = 0;
  for (char c : text)
    n += c == '\n';
  return n;
}

struct ErosSetup {
  bool ok = false;
  std::string dir, erosAll, eros1960, stations, noStations;
  size_t linesAll = 0, lines1960 = 0;

  ErosSetup()
  {
    const std::string eros = TestDataPath("obs/mpc80/neosjl_433.txt");
    const std::string codes = TestDataPath("obscodes/ObsCodes.html");
    const std::string de = TestDataPath("de/lnxp1960p2060.405");
    if (eros.empty() || !TestDataFileExists(eros) || !TestDataFileExists(codes) || !TestDataFileExists(de))
      return;
    dir = MakeTempDir("bench_obs");
    const std::string all = ReadAll(eros);
    std::string from1960;
    std::istringstream in(all);
    for (std::string line; std::getline(in, line);) {
      const int year = line.size() >= 19 ? std::atoi(line.substr(15, 4).c_str()) : 0;
      if (year >= 1960 && year < 2060)
        from1960 += line + "\n";
    }
    erosAll = eros;
    eros1960 = dir + "eros1960.txt";
    WriteAll(eros1960, from1960);
    linesAll = CountLines(all);
    lines1960 = CountLines(from1960);

    const std::string html = ReadAll(codes);
    const size_t pre = html.find('\n', html.find("<pre>")) + 1;
    stations = dir + "stations.txt";
    WriteAll(stations, html.substr(pre, html.find("</pre>") - pre));
    noStations = dir + "none.txt";
    WriteAll(noStations, "ZZZ   0.0000 0.60000 +0.80000 Nowhere\n");

    TheApp().m_szDe406File = de;
    TheApp().m_szDe441File = dir + "no-de441.bin";
    delete g_pJplEph;
    g_pJplEph = new CJplEph(TheApp().Paths());
    ok = g_pJplEph->IsOpen();
  }
  ~ErosSetup()
  {
    if (!dir.empty())
      std::filesystem::remove_all(dir);
  }
};

ErosSetup& Setup()
{
  static ErosSetup setup;
  return setup;
}

void Run(benchmark::State& state, const std::string& file, const std::string& stations, size_t lines)
{
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  TheApp().m_szStationsFile = stations;
  int count = 0;
  for (auto _ : state) {
    ObservationRecord* obs = nullptr;
    count = CTessaruneLib::GetMpcObs(file, &obs);
    benchmark::DoNotOptimize(obs);
    std::free(obs);
  }
  if (count < 0)
    state.SkipWithError("GetMpcObs failed");
  state.counters["observations"] = count;
  state.counters["lines/s"] =
      benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_GetMpcObs_ErosFrom1960(benchmark::State& state)
{
  ErosSetup& s = Setup();
  if (!s.ok) {
    state.SkipWithError(MissingDataMessage("obs, obscodes, de/lnxp1960p2060.405").c_str());
    return;
  }
  Run(state, s.eros1960, s.stations, s.lines1960);
}

void BM_GetMpcObs_ErosWholeFileUnknownStations(benchmark::State& state)
{
  ErosSetup& s = Setup();
  if (!s.ok) {
    state.SkipWithError(MissingDataMessage("obs, obscodes, de/lnxp1960p2060.405").c_str());
    return;
  }
  Run(state, s.erosAll, s.noStations, s.linesAll);
}

} // namespace

BENCHMARK(BM_GetMpcObs_ErosFrom1960)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetMpcObs_ErosWholeFileUnknownStations)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

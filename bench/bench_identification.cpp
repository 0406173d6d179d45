// The identification's first stage over a catalogue the size of MPCORB.DAT:
// 1.5 million generated lines (fixed seed, main-belt and near-Earth orbits,
// the real excerpt lines and 1862 Apollo inside), written once into the build
// folder beside the program and reused. Records per second of reading alone,
// of reading and parsing on one thread, of the single-tracklet scan of the
// 1862 Apollo night on 1, 2, 4 and 8 threads and on "自動" (processors - 1),
// and of the many-tracklet scan of the ten three-hour NEOCP-like tracklets.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "data/element_file.h"
#include "data/element_record.h"
#include "data/observation_reader.h"
#include "ephemeris/ident_catalogue.h"
#include "platform/files.h"
#include "platform/text_util.h"
#include "platform/threads.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "tests/data/test_observation_support.h"
#include "tests/ephemeris/ident_test_support.h"

namespace {

constexpr long kLines = 1500000;

// The catalogue beside the program's folder; "" when it can't be written.
const std::string& CataloguePath() {
  static const std::string path = [] {
    const std::string exe = ExecutablePath();
    const std::string dir = exe.substr(0, exe.rfind('/') + 1) + "../ident_bench/";
    std::filesystem::create_directories(dir);
    const std::string file = dir + "MPCORB.DAT";
    if (FileExists(file) && std::filesystem::file_size(file) > 290000000) return file;
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) return std::string();
    std::fputs("MINOR PLANET CENTER ORBIT DATABASE (generated for the benchmark)\n\n", f);
    std::mt19937 rng(1862);
    TestOrbit apollo{};
    const bool haveApollo = ReadReferenceOrbit(TestDataPath("orbits/orbfit_testout/1862.fel"), "1862", apollo);
    apollo.H = 16.06;
    const std::string excerpt = ReadTestFile(TestDataPath("catalogues/skyfield_MPCORB.excerpt.DAT"));
    for (long i = 0; i < kLines; ++i) {
      std::string line;
      if (i == 1000 && !excerpt.empty()) {
        line = excerpt.substr(0, excerpt.size() - 1);
      } else if (i == 700000 && haveApollo) {
        line = MpcorbLine("01862", "(1862) Apollo", apollo);
      } else {
        char key[8];
        std::snprintf(key, sizeof key, "%c%06ld", 'a' + static_cast<int>(i / 1000000), i % 1000000);
        line = MpcorbLine(key, std::string("(") + key + ") Generated", RandomOrbit(rng, i % 40 == 0, 2461000.5));
      }
      line += '\n';
      std::fwrite(line.data(), 1, line.size(), f);
    }
    std::fclose(f);
    return file;
  }();
  return path;
}

// Observations of a file read as the view reads them, with the shared data's
// stations and 1960-2060 planetary file.
struct RealTracklets {
  std::string dir;
  std::unique_ptr<JplReaderScope> jpl;
  ObservationRecord* obs = nullptr;
  int count = 0;

  explicit RealTracklets(const std::string& lines) {
    dir = MakeTempDir("bench_ident");
    const std::string de = TestDataPath("de/lnxp1960p2060.405"), stations = StationLinesFromObsCodesPage();
    if (de.empty() || stations.empty()) return;
    jpl = std::make_unique<JplReaderScope>(dir + "none.441", de);
    ScopedStationsFile scoped(WriteTestFile(dir, "stations.txt", stations));
    count = CTessaruneLib::GetMpcObs(WriteTestFile(dir, "obs.txt", lines), &obs);
  }
  ~RealTracklets() {
    std::free(obs);
    std::filesystem::remove_all(dir);
  }
};

std::string ApolloNight() {
  std::string out;
  ForEachLine(ReadTestFile(TestDataPath("obs/mpc80/orbfit_1862.obs")), [&](std::string_view line) {
    if (line.size() >= 80 && line.substr(15, 10) == "2008 02 13") out += std::string(line) + "\n";
  });
  return out;
}

void Rate(benchmark::State& state, long long records) {
  state.counters["records/s"] = benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
}

void BM_ReadLines(benchmark::State& state) {
  if (CataloguePath().empty()) return state.SkipWithError("catalogue not written");
  long long records = 0;
  for (auto _ : state) {
    CatalogueLineReader reader;
    reader.Open(CataloguePath());
    CatalogueBatch batch;
    while (NextMpcorbBatch(reader, batch)) records += batch.Count();
  }
  Rate(state, records);
}

void BM_ReadAndParse(benchmark::State& state) {
  if (CataloguePath().empty()) return state.SkipWithError("catalogue not written");
  long long records = 0;
  ElementRecord r;
  for (auto _ : state) {
    CatalogueLineReader reader;
    reader.Open(CataloguePath());
    CatalogueBatch batch;
    while (NextMpcorbBatch(reader, batch)) {
      const std::string_view* lines = batch.Lines();
      for (int i = 0; i < batch.Count(); ++i) ParseMpcorbLine(&r, lines[i]);
      records += batch.Count();
    }
    benchmark::DoNotOptimize(r.m_dA);
  }
  Rate(state, records);
}

// Argument: threads, 0 for "自動".
void BM_Stage1(benchmark::State& state) {
  static RealTracklets night(ApolloNight());
  if (CataloguePath().empty() || night.count <= 0) return state.SkipWithError("data not found");
  ScanSlice summary;
  SetupSingleTrackletSlice(&summary, night.obs, night.count, 15 * kRadPerDeg, kRadPerDeg, 3.0, nullptr);
  const int threads = state.range(0) > 0 ? static_cast<int>(state.range(0)) : std::max(1, AvailableProcessors() - 1);
  long long records = 0;
  size_t candidates = 0;
  for (auto _ : state) {
    CatalogueLineReader reader;
    reader.Open(CataloguePath());
    std::vector<IdentCandidate> out;
    records += ScanMpcorbSingle(reader, summary, threads, out, 200000, [] {}, nullptr);
    candidates = out.size();
  }
  Rate(state, records);
  state.counters["threads"] = threads;
  state.counters["candidates"] = static_cast<double>(candidates);
}

void BM_MultiTenTracklets(benchmark::State& state) {
  static RealTracklets tracklets(ReadTestFile(TestDataPath("obs/neocp_like/digest2_three-hr-tracklets.obs")));
  if (CataloguePath().empty() || tracklets.count <= 0) return state.SkipWithError("data not found");
  std::vector<TrackletQuery> queries;
  for (int i = 0; i < tracklets.count; ++i) {
    if (queries.empty() || std::string(queries.back().m_pObs->m_szDesig) != tracklets.obs[i].m_szDesig) {
      queries.push_back(TrackletQuery{});
      queries.back().m_pObs = tracklets.obs + i;
    }
    ++queries.back().m_nObs;
  }
  const int threads = static_cast<int>(state.range(0));
  long long records = 0;
  for (auto _ : state)
    records += ScanMpcorbMulti(CataloguePath(), queries.data(), static_cast<int>(queries.size()), threads, nullptr,
                               nullptr);
  Rate(state, records);
  state.counters["tracklets"] = static_cast<double>(queries.size());
}

}  // namespace

BENCHMARK(BM_ReadLines)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadAndParse)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Stage1)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MultiTenTracklets)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();

// The readers on the large inputs that once took quadratic time, as the
// reference data's fuzz/make_superlinear_inputs.py writes them (run here into
// a temporary folder): ADES XML with 65,536 unclosed tags in one <optical>
// (197 KB) and with 65,536 "<optical>" and one "</optical>" (590 KB), through
// GetMpcObs; the merge of two files of 32,000 observations; the observatory
// page with 200,000 entities; the NEOCP list whose "Updated" holds 333,000
// " UT". The station merge of 32,000 new lines of one repeated code has no
// file there and is made here. Each now reads its input in one pass.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "data/mpc_obs_client.h"
#include "data/neocp_list.h"
#include "data/obscode_update.h"
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

struct Inputs {
  bool ok = false;
  std::string dir;

  Inputs()
  {
    const std::string script = TestDataPath("fuzz/make_superlinear_inputs.py");
    if (script.empty() || !TestDataFileExists(script))
      return;
    dir = MakeTempDir("bench_untrusted");
    ok = std::system(("python3 '" + script + "' '" + dir + "'").c_str()) == 0;
    std::ofstream(dir + "stations.txt", std::ios::binary) << "G96 249.21128 0.845107+0.533611Mt. Lemmon\r\n";
  }
  std::string Path(const char* name) const { return dir + name; }
};

const Inputs& Setup()
{
  static Inputs inputs;
  return inputs;
}

bool Ready(benchmark::State& state)
{
  if (Setup().ok)
    return true;
  state.SkipWithError(MissingDataMessage("fuzz/make_superlinear_inputs.py (and python3)").c_str());
  return false;
}

void SetBytes(benchmark::State& state, size_t bytes)
{
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void ReadAdes(benchmark::State& state, const char* name)
{
  if (!Ready(state))
    return;
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  TheApp().m_szStationsFile = Setup().Path("stations.txt");
  const std::string path = Setup().Path(name);
  int count = 0;
  for (auto _ : state) {
    ObservationRecord* obs = nullptr;
    count = CTessaruneLib::GetMpcObs(path, &obs);
    std::free(obs);
  }
  state.counters["result"] = count;  // -1: no usable observation, as neither file holds one
  SetBytes(state, std::filesystem::file_size(path));
}

void BM_GetMpcObs_AdesUnclosedTags197k(benchmark::State& state)
{
  ReadAdes(state, "ades_unclosed_tags_197k.xml");
}

void BM_GetMpcObs_AdesOpticalOpenings590k(benchmark::State& state)
{
  ReadAdes(state, "ades_optical_open_590k.xml");
}

void BM_MergeObservationFiles_TwoOf32000(benchmark::State& state)
{
  if (!Ready(state))
    return;
  const Inputs& in = Setup();
  int first = 0, kept = 0, dropped = 0;
  for (auto _ : state)
    CTessaruneLib::MergeObservationFiles(in.Path("merge_a_32k.obs"), in.Path("merge_b_32k.obs"),
                                         in.Path("merged.obs"), &first, &kept, &dropped);
  state.counters["lines"] = first + kept + dropped;
  state.counters["dropped"] = dropped;
}

void BM_ExtractStationCodeLines_Entities1M(benchmark::State& state)
{
  if (!Ready(state))
    return;
  const std::string page = ReadAll(Setup().Path("obscodes_entities_1m.html"));
  std::vector<std::string> lines;
  for (auto _ : state)
    ExtractStationCodeLines(page, lines);
  SetBytes(state, page.size());
}

void BM_ParseNeocpJson_UpdatedUt1M(benchmark::State& state)
{
  if (!Ready(state))
    return;
  const std::string json = ReadAll(Setup().Path("neocp_updated_ut_1m.json"));
  for (auto _ : state) {
    NeocpEntry* entries = nullptr;
    benchmark::DoNotOptimize(ParseNeocpJson(json, &entries));
    std::free(entries);
  }
  SetBytes(state, json.size());
}

// 32,000 page lines of one code the file lacks, each added before the first
// greater code of a file of 2,000 stations.
void BM_MergeStationCodeLines_RepeatedNewCode32000(benchmark::State& state)
{
  std::vector<std::string> local;
  for (int i = 0; i < 2000; ++i) {
    const char code[4] = {static_cast<char>('A' + i / 100), static_cast<char>('0' + i / 10 % 10),
                          static_cast<char>('0' + i % 10), 0};
    local.push_back(std::string(code) + "  10.0000 0.50000 +0.80000 Site");
  }
  const std::vector<std::string> remote(32000, "K5Z  10.0000 0.50000 +0.80000 New site");
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  for (auto _ : state) {
    std::vector<std::string> merged = local;
    benchmark::DoNotOptimize(MergeStationCodeLines(merged, remote).added);
  }
}

} // namespace

BENCHMARK(BM_GetMpcObs_AdesUnclosedTags197k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetMpcObs_AdesOpticalOpenings590k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MergeObservationFiles_TwoOf32000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExtractStationCodeLines_Entities1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseNeocpJson_UpdatedUt1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MergeStationCodeLines_RepeatedNewCode32000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

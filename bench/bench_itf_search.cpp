// The line test of the ITF search over a synthetic isolated tracklet file of
// the real file's size (about 133 MB compressed): tracklets of four lines a
// few minutes apart, dated 1990-2026 and spread over the sky, read as a
// compressed stream through our own inflater and tested against an element
// log of 2015 TF202's orbit every 40 days. The file is generated once into
// the build folder (itf_bench/) and reused; it is never committed.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/time_scales.h"
#include "data/gzip_line_reader.h"
#include "neocp/itf_search.h"
#include "tests/astro/test_jpl_scope.h"
#include "bench/thread_seconds.h"
#include "tests/common/test_data.h"

namespace {

constexpr int64_t kTargetCompressed = int64_t(133) << 20;

// The file, written when missing or too small.
std::string ItfFile()
{
  const std::string dir = "itf_bench";
  const std::string path = dir + "/itf.txt.gz";
  std::error_code ec;
  if (std::filesystem::exists(path, ec) && std::filesystem::file_size(path, ec) >= uint64_t(kTargetCompressed))
    return path;
  std::filesystem::create_directories(dir, ec);
  gzFile gz = gzopen(path.c_str(), "wb6");
  if (!gz)
    return "";
  uint32_t x = 20151014;
  auto next = [&x] { return x = x * 1664525u + 1013904223u; };
  char line[128];
  for (int64_t tracklet = 0; gzoffset(gz) < kTargetCompressed; ++tracklet) {
    const int year = 1990 + static_cast<int>(next() % 37);
    const int month = 1 + static_cast<int>(next() % 12);
    const double day = 1 + (next() % 2700000) / 100000.0;
    double ra = (next() % 8640000) / 100000.0;  // hours
    const double dec = -30 + (next() % 1200000) / 10000.0;
    const double rate = 0.001 + (next() % 1000) / 100000.0;
    const unsigned station = next() % 999;
    for (int k = 0; k < 4; ++k) {
      const double h = ra + k * rate;
      const int hh = static_cast<int>(h) % 24, mm = static_cast<int>((h - std::floor(h)) * 60);
      const double ss = ((h - std::floor(h)) * 60 - mm) * 60;
      const double ad = std::fabs(dec);
      const int dd = static_cast<int>(ad), dm = static_cast<int>((ad - dd) * 60);
      const double ds = ((ad - dd) * 60 - dm) * 60;
      std::snprintf(line, sizeof line,
                    "     %07lld  C%04d %02d %08.5f %02d %02d %05.2f %c%02d %02d %04.1f          %04.1f G      %03u\n",
                    static_cast<long long>(tracklet % 10000000), year, month, day + k * 0.006, hh, mm, ss,
                    dec < 0 ? '-' : '+', dd, dm, ds, 18 + (next() % 40) / 10.0, station);
      gzputs(gz, line);
    }
  }
  gzclose(gz);
  return path;
}

void BM_ItfLineTest(benchmark::State& state)
{
  const std::string de = TestDataPath("de/lnxp1960p2060.405");
  if (de.empty() || !TestDataFileExists(de))
    return state.SkipWithError("de/lnxp1960p2060.405 not found");
  const std::string path = ItfFile();
  if (path.empty())
    return state.SkipWithError("the synthetic ITF could not be written");
  JplReaderScope jpl(MakeTempDir("bench_itf") + "none.441", de);

  // TF202's orbit (a = 2.19 AU, e = 0.41) on the 40-day grid of 1990-2027.
  std::vector<double> log;
  const double start = std::floor((YmdToJd(1990, 1, 1.0) - 0.5) / 40) * 40 + 40.5;
  const double T = 2457209.655, q = 1.2824, e = 0.4052;
  const double P = 2 * kPi / (kGaussK / std::pow(q / (1 - e), 1.5));
  for (double t = start; t < YmdToJd(2027, 1, 1.0); t += 40)
    log.insert(log.end(), {t, T + std::round((t - T) / P) * P, q, e, 308.04 * kRadPerDeg, 8.50 * kRadPerDeg,
                           7.16 * kRadPerDeg});
  std::vector<ItfHit> hits(kItfMaxHits);
  int64_t tested = 0, lines = 0;
  double seconds = 0, compressed = 0;
  for (auto _ : state) {
    ItfSearchContext ctx;
    ctx.log = log.data();
    ctx.logCount = static_cast<int>(log.size() / 7);
    ctx.hits = hits.data();
    GzipLineReader reader;
    if (!reader.Open(path))
      return state.SkipWithError(reader.m_strError.c_str());
    reader.m_pfnLine = ItfTestLine;
    reader.m_pContext = &ctx;
    const double t0 = ThreadSeconds();
    if (!reader.ReadLines())
      return state.SkipWithError(reader.m_strError.c_str());
    seconds += ThreadSeconds() - t0;
    tested += ctx.tested;
    lines += reader.m_nLineCount;
    compressed = double(reader.FileSize());
    state.counters["hits"] = ctx.hitCount;
    state.counters["outside"] = ctx.outside;
  }
  state.counters["compressed_MB"] = compressed / 1048576.0;
  state.counters["lines"] = double(lines) / double(state.iterations());
  state.counters["tested_per_s"] = double(tested) / seconds;
  state.counters["lines_per_s"] = double(lines) / seconds;
}
BENCHMARK(BM_ItfLineTest)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();

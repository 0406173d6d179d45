// Inflating a large gzip of 80-column observation lines: our line reader
// against zlib reading the same file and cutting the same lines. The ratio
// (ours / zlib, in line bytes handed over per second) is printed at the end.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <ctime>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "data/gzip_line_reader.h"
#include "bench/thread_seconds.h"
#include "tests/common/test_data.h"

namespace {

constexpr size_t kTargetBytes = size_t(120) << 20;

struct LineTally {
  int64_t lines = 0;
  int64_t bytes = 0;
};

int CountLine(void* context, const char* line, int length)
{
  auto* t = static_cast<LineTally*>(context);
  ++t->lines;
  t->bytes += length;
  benchmark::DoNotOptimize(line);
  return 1;
}

// Real 80-column lines from the shared observation files, repeated (each copy
// lies far outside the 32 KB window, so it compresses like fresh text); a
// synthetic set when the data is absent.
std::string SourceText()
{
  std::string text;
  const std::string dir = TestDataPath("obs/mpc80");
  std::error_code ec;
  if (!dir.empty() && std::filesystem::is_directory(dir, ec)) {
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
      FILE* f = std::fopen(entry.path().c_str(), "rb");
      if (!f)
        continue;
      char buf[1 << 16];
      size_t n;
      while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
      std::fclose(f);
    }
  }
  if (text.empty()) {
    uint32_t x = 12345;
    for (int i = 0; i < 40000; ++i) {
      char line[96];
      x = x * 1103515245u + 12345u;
      std::snprintf(line, sizeof line, "     K%02uA%05u  C20%02u %02u %02u.%05u %02u %02u %05.2f +%02u %02u %04.1f"
                    "          %04.1f V      %03u\r\n",
                    x % 30, x % 99999, x % 26, 1 + x % 12, 1 + x % 28, x % 100000, x % 24, x % 60,
                    (x % 6000) / 100.0, x % 90, x % 60, (x % 600) / 10.0, 15 + (x % 80) / 10.0, x % 999);
      text += line;
    }
  }
  return text;
}

const std::string& GzipFile()
{
  static std::string path;
  if (!path.empty())
    return path;
  const std::string text = SourceText();
  path = MakeTempDir("bench_gzip") + "lines.txt.gz";
  gzFile gz = gzopen(path.c_str(), "wb6");
  size_t written = 0;
  while (gz && written < kTargetBytes) {
    gzwrite(gz, text.data(), unsigned(text.size()));
    written += text.size();
  }
  if (gz)
    gzclose(gz);
  return path;
}

double g_oursRate = 0;
double g_zlibRate = 0;

void BM_GzipLineReader(benchmark::State& state)
{
  const std::string& path = GzipFile();
  LineTally tally;
  int64_t inflated = 0;
  const double t0 = ThreadSeconds();
  for (auto _ : state) {
    GzipLineReader reader;
    tally = {};
    if (!reader.Open(path)) {
      state.SkipWithError(reader.m_strError.c_str());
      return;
    }
    reader.m_pfnLine = CountLine;
    reader.m_pContext = &tally;
    if (!reader.ReadLines()) {
      state.SkipWithError(reader.m_strError.c_str());
      return;
    }
    inflated += tally.bytes;
  }
  const double seconds = ThreadSeconds() - t0;
  g_oursRate = double(inflated) / seconds;
  state.SetBytesProcessed(inflated);
  state.counters["lines"] = double(tally.lines);
}

void BM_ZlibLines(benchmark::State& state)
{
  const std::string& path = GzipFile();
  std::vector<char> buf(GzipLineReader::kOutputSize);
  LineTally tally;
  int64_t inflated = 0;
  const double t0 = ThreadSeconds();
  for (auto _ : state) {
    gzFile gz = gzopen(path.c_str(), "rb");
    gzbuffer(gz, GzipLineReader::kInputSize);
    tally = {};
    size_t have = 0;
    for (;;) {
      int n = gzread(gz, buf.data() + have, unsigned(buf.size() - have));
      if (n <= 0)
        break;
      size_t end = have + size_t(n);
      size_t start = 0;
      while (const void* lf = std::memchr(buf.data() + start, '\n', end - start)) {
        size_t at = size_t(static_cast<const char*>(lf) - buf.data());
        size_t len = at - start;
        if (len > 0 && buf[at - 1] == '\r')
          --len;
        CountLine(&tally, buf.data() + start, int(len));
        start = at + 1;
      }
      std::memmove(buf.data(), buf.data() + start, end - start);
      have = end - start;
    }
    gzclose(gz);
    inflated += tally.bytes;
  }
  const double seconds = ThreadSeconds() - t0;
  g_zlibRate = double(inflated) / seconds;
  state.SetBytesProcessed(inflated);
  state.counters["lines"] = double(tally.lines);
}

BENCHMARK(BM_ZlibLines)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_GzipLineReader)->Unit(benchmark::kMillisecond)->MinTime(3.0);

} // namespace

int main(int argc, char** argv)
{
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_oursRate > 0 && g_zlibRate > 0)
    std::printf("GzipLineReader / zlib throughput: %.1f / %.1f MB/s = %.2f\n", g_oursRate / 1e6, g_zlibRate / 1e6,
                g_oursRate / g_zlibRate);
  std::error_code ec;
  std::filesystem::remove_all(std::filesystem::path(GzipFile()).parent_path(), ec);
  return 0;
}

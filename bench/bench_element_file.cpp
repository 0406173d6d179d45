// Reading a minor-planet catalogue with ReadElementFile: lines per second and
// the reader's peak memory on a generated catalogue the size of MPCORB.DAT
// (1.4 million lines, about 284 MB), made in the temporary folder and removed
// afterwards. Each run reads in a child process, so that its peak resident
// size is the reader's own and not the generator's or an earlier run's.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "data/element_file.h"
#include "tests/common/test_data.h"

namespace {

// A catalogue line in the columns of MPCORB.DAT; the numbers vary with i so
// that no two lines are alike.
std::string CatalogueLine(long i) {
  char line[256];
  std::snprintf(line, sizeof line,
                "%07ld %5.2f  0.15 K25BL %9.5f  %9.5f  %9.5f  %9.5f  %9.7f  %10.8f %11.7f  0 MPO%06ld  %4ld  %2ld "
                "2000-2024 0.%02ld M-v 3Ek MPCLINUX   0000      (%ld) Gen %-10ld 20240101",
                i % 10000000, 10.0 + static_cast<double>(i % 900) / 100.0, static_cast<double>(i * 7 % 36000) / 100.0,
                static_cast<double>(i * 11 % 36000) / 100.0, static_cast<double>(i * 13 % 36000) / 100.0,
                static_cast<double>(i * 17 % 3000) / 100.0, static_cast<double>(i % 9000) / 10000.0,
                0.2 + static_cast<double>(i % 1000) / 10000.0, 2.0 + static_cast<double>(i % 20000) / 10000.0,
                i % 1000000, 100 + i % 9000, 3 + i % 90, i % 100, i, i);
  return line;
}

struct Catalogue {
  std::string dir, path;
  long lines = 0;
  long long bytes = 0;

  explicit Catalogue(long n) : lines(n) {
    dir = MakeTempDir("bench_elements");
    path = dir + "MPCORB.DAT";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fputs("MINOR PLANET CENTER ORBIT DATABASE (generated)\n\n", f);
    for (long i = 1; i <= n; ++i) {
      const std::string line = CatalogueLine(i);
      std::fwrite(line.data(), 1, line.size(), f);
      std::fputc('\n', f);
    }
    bytes = std::ftell(f);
    std::fclose(f);
  }
  ~Catalogue() { std::filesystem::remove_all(dir); }
};

// Reads the catalogue in a child; its peak resident size in MB, or -1 when
// the child did not read every line.
double ReadInChild(const Catalogue& c) {
  const pid_t child = fork();
  if (child == 0) {
    std::vector<ElementRecord> records;
    int count = 0;
    const int result = ReadElementFile(c.path, &records, &count, nullptr);
    _exit(result == 1 && count == c.lines ? 0 : 1);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return -1;
  return usage.ru_maxrss / 1024.0;  // kB
}

void BM_ReadElementFile_Catalogue(benchmark::State& state) {
  static Catalogue catalogue(state.range(0));
  if (catalogue.bytes <= 0) {
    state.SkipWithError("the catalogue could not be written");
    return;
  }
  double peakMb = 0;
  for (auto _ : state) {
    peakMb = ReadInChild(catalogue);
    if (peakMb < 0) {
      state.SkipWithError("ReadElementFile did not read every line");
      return;
    }
  }
  state.counters["lines/s"] =
      benchmark::Counter(static_cast<double>(catalogue.lines), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["file_MB"] = static_cast<double>(catalogue.bytes) / (1024.0 * 1024.0);
  state.counters["peak_MB"] = peakMb;
  state.counters["record_bytes"] = static_cast<double>(sizeof(ElementRecord));
}

}  // namespace

BENCHMARK(BM_ReadElementFile_Catalogue)->Arg(1400000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

BENCHMARK_MAIN();

// The conversion to code page 932 that writes the observatory-code file, on
// the Minor Planet Center's page of 2,712 codes (about 2,700 lines) as it
// is, all convertible, and with one letter that code page 932 lacks ("ő" in
// one observatory's name): one letter must not turn the whole text into a
// slow path (the second should stay within 1.5 times the first).
#include <benchmark/benchmark.h>

#include <string>

#include "data/text_bytes.h"
#include "platform/files.h"
#include "tests/common/test_data.h"

namespace {

const std::string& Page()
{
  static const std::string page = [] {
    std::string bytes;
    const std::string path = TestDataPath("obscodes/ObsCodes.html");
    return !path.empty() && ReadWholeFile(path, bytes) ? bytes : std::string();
  }();
  return page;
}

void Convert(benchmark::State& state, const std::string& text)
{
  if (text.empty()) {
    state.SkipWithError(MissingDataMessage("obscodes/ObsCodes.html").c_str());
    return;
  }
  size_t size = 0;
  for (auto _ : state)
    size = Utf8ToCp932Lossy(text).size();
  state.counters["bytes_out"] = static_cast<double>(size);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_Utf8ToCp932Lossy_ObsCodesPage(benchmark::State& state)
{
  Convert(state, Page());
}

void BM_Utf8ToCp932Lossy_ObsCodesPageOneForeignLetter(benchmark::State& state)
{
  std::string text = Page();
  const size_t at = text.find("Ondrejov");
  if (at != std::string::npos)
    text.replace(at + 3, 1, "\xC5\x91");  // U+0151, not in code page 932
  else if (!text.empty())
    text.insert(text.size() / 2, "\xC5\x91");
  Convert(state, text);
}

// Hostile input: a page as long as the observatory page made of stray
// continuation bytes, each of which becomes one "?".
void BM_Utf8ToCp932Lossy_StrayBytesPage(benchmark::State& state)
{
  Convert(state, std::string(Page().empty() ? 300000 : Page().size(), '\x80'));
}

} // namespace

BENCHMARK(BM_Utf8ToCp932Lossy_ObsCodesPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Utf8ToCp932Lossy_ObsCodesPageOneForeignLetter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Utf8ToCp932Lossy_StrayBytesPage)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

// The known-object match of the scan table (button 1538) end to end: 60 rows
// of real observation nights against a catalogue the size of MPCORB.DAT,
// about 1.4 million lines made from the real ones (the real excerpt lines and
// the reference orbits of 1862 Apollo and 2015 TF202, their angles drawn
// anew and their shape varied a little; fixed seed), written once into the
// build folder and reused. Reports the catalogue records compared per second
// and the wall time of the whole match (reading the rows, both catalogue
// passes, the refinement of every candidate, the saving).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "data/element_file.h"
#include "data/element_record.h"
#include "determination/determination_display.h"
#include "neocp/scan_dlg.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/ui_services.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "tests/data/test_observation_support.h"
#include "tests/ephemeris/ident_test_support.h"

namespace {

constexpr long kLines = 1400000;
constexpr int kRows = 60;

// The real orbits the catalogue is made from.
std::vector<TestOrbit> Templates()
{
  std::vector<TestOrbit> out;
  std::istringstream in(ReadTestFile(TestDataPath("catalogues/skyfield_MPCORB.excerpt.DAT")));
  std::string line;
  while (std::getline(in, line)) {
    ElementRecord r;
    if (!IsMpcorbLine(line)) continue;
    ParseMpcorbLine(&r, line);
    out.push_back({r.m_dEpoch, r.m_dM, r.m_dPeri, r.m_dNode, r.m_dIncl, r.m_dE, r.m_dA, r.m_dH, r.m_dG});
  }
  TestOrbit o{};
  if (ReadReferenceOrbit(TestDataPath("orbits/orbfit_testout/1862.fel"), "1862", o)) {
    o.H = 16.06;
    out.push_back(o);
  }
  if (ReadReferenceOrbit(TestDataPath("orbits/orbfit_testout/2015TF202.oel"), "2015TF202_1=2015TF202_2", o)) {
    o.H = 20.3;
    out.push_back(o);
  }
  return out;
}

// The catalogue beside the program's folder; "" when it can't be written.
const std::string& CataloguePath()
{
  static const std::string path = [] {
    const std::string exe = ExecutablePath();
    const std::string dir = exe.substr(0, exe.rfind('/') + 1) + "../known_bench/";
    std::filesystem::create_directories(dir);
    const std::string file = dir + "MPCORB.DAT";
    if (FileExists(file) && std::filesystem::file_size(file) > 270000000) return file;
    const std::vector<TestOrbit> templates = Templates();
    if (templates.size() < 6) return std::string();
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) return std::string();
    std::fputs("MINOR PLANET CENTER ORBIT DATABASE (made for the benchmark)\n\n", f);
    std::mt19937 rng(1538);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (long i = 0; i < kLines; ++i) {
      TestOrbit o = templates[static_cast<size_t>(i) % templates.size()];
      if (i >= static_cast<long>(templates.size())) {
        o.M = 360 * u(rng);
        o.peri = 360 * u(rng);
        o.node = 360 * u(rng);
        o.incl *= 0.8 + 0.4 * u(rng);
        o.e = std::min(0.95, o.e * (0.8 + 0.4 * u(rng)));
        o.a *= 0.9 + 0.2 * u(rng);
        o.H += 4 * u(rng) - 1;
      }
      char key[8];
      std::snprintf(key, sizeof key, "%c%06ld", 'a' + static_cast<int>(i / 1000000), i % 1000000);
      const std::string line = MpcorbLine(key, std::string("(") + key + ") Made", o) + "\n";
      std::fwrite(line.data(), 1, line.size(), f);
    }
    std::fclose(f);
    return file;
  }();
  return path;
}

// Nights of the real observation files, one file each, at least three lines.
std::vector<std::string> Nights()
{
  const char* files[] = {"obs/mpc80/neosjl_2024MK.txt",   "obs/mpc80/neosjl_2008TC3.txt", "obs/mpc80/neosjl_2024BX1.txt",
                         "obs/mpc80/neosjl_2018LA.txt",   "obs/mpc80/neosjl_2014AA.txt",  "obs/mpc80/neosjl_2023DW.txt",
                         "obs/mpc80/neosjl_2024PT5.txt",  "obs/mpc80/orbfit_1862.obs",    "obs/mpc80/orbfit_2015TF202.obs",
                         "obs/mpc80/neosjl_2020NB1.txt",  "obs/mpc80/neosjl_2023QR6.txt", "obs/mpc80/orbfit_2015AB.obs"};
  std::vector<std::string> out;
  for (const char* file : files) {
    std::map<std::string, std::string> byDate;
    std::istringstream in(ReadTestFile(TestDataPath(file)));
    std::string line;
    while (std::getline(in, line))
      if (line.size() >= 80 && line[14] != 's' && line[14] != 'v') byDate[line.substr(15, 10)] += line + "\n";
    int taken = 0;
    for (const auto& [date, lines] : byDate) {
      if (std::count(lines.begin(), lines.end(), '\n') < 3 || taken >= 8) continue;
      out.push_back(lines);
      ++taken;
      if (static_cast<int>(out.size()) == kRows) return out;
    }
  }
  return out;
}

void BM_MatchSixtyRows(benchmark::State& state)
{
  const std::string de = TestDataPath("de/lnxp1960p2060.405"), stations = StationLinesFromObsCodesPage();
  if (de.empty() || stations.empty() || CataloguePath().empty()) return state.SkipWithError("data not found");
  const std::string dir = MakeTempDir("bench_known_match");
  JplReaderScope jpl(dir + "none.441", de);
  ScopedStationsFile scopedStations(WriteTestFile(dir, "stations.txt", stations));
  HeadlessUiServices ui;
  ScopedUi scopedUi(ui);
  CTessaruneApp& app = TheApp();
  app.m_szDataDir = dir;
  app.m_profile.SetPath(dir + "Tessarune.INI");
  app.WriteProfileString(kSettingsSection, "WHOIS_MPCORB", CataloguePath().c_str());
  WriteTestFile(dir, "AllCometEls.txt", ReadTestFile(TestDataPath("catalogues/skyfield_CometEls.txt")));
  const std::vector<std::string> nights = Nights();
  CDeterminationDisplay view;
  CNeocpScanDlg dlg(&view);
  dlg.m_strScanDir = dir + "NEOCP_scan";
  dlg.m_strFileDir = dlg.m_strScanDir + "/files";
  dlg.m_bStateLoaded = 1;
  double seconds = 0;
  long long records = 0;
  for (auto _ : state) {
    NeocpScanRow* rows = NewScanRowArray(static_cast<int>(nights.size()));
    for (size_t i = 0; i < nights.size(); ++i) {
      ResetScanRow(rows[i], 0);
      rows[i].desig = "R" + std::to_string(i);
      rows[i].obs_path = WriteTestFile(dir, rows[i].desig + ".obs", nights[i]);
    }
    dlg.SetRows(rows, static_cast<int>(nights.size()));
    dlg.m_strLog.clear();
    const auto start = std::chrono::steady_clock::now();
    dlg.MatchKnownObjects();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const size_t at = dlg.m_strLog.rfind("小惑星");
    records += at == std::string::npos ? 0 : std::atoll(dlg.m_strLog.c_str() + at + std::string("小惑星").size());
  }
  std::printf("%s", dlg.m_strLog.c_str());
  state.counters["rows"] = static_cast<double>(nights.size());
  state.counters["records/s"] = benchmark::Counter(static_cast<double>(records) / seconds);
  state.counters["wall s"] = seconds / static_cast<double>(state.iterations());
}

}  // namespace

BENCHMARK(BM_MatchSixtyRows)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK_MAIN();

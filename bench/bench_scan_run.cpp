// The NEOCP scan run over twelve local observation files, 100 clones
// screened 30 days before to 60 days after: objects per minute in this
// process and with 2, 4 and 6 worker processes (copies of the worker program
// and the program beside a settings file that names the same planetary file
// and stations), and the start-up cost of one worker (a job whose
// observation file cannot be read: start, settings, planetary file, exit),
// started directly and through the program's hand-over. Two kinds of object: 2024 MK from June
// 16-19 2024 (22 lines, the automatic improvement, a fraction of a second
// each) and 2008 TC3 from the morning of 2008-10-06 (15 lines, the
// systematic ranging and its fit, about a second each).
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "determination/determination_display.h"
#include "neocp/scan_dlg.h"
#include "neocp/worker_main.h"
#include "neocp/worker_pool.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/data/test_observation_support.h"
#include "tests/neocp/scan_settings_support.h"

namespace {

namespace fs = std::filesystem;
constexpr int kObjects = 12;

struct ScanSetup {
  bool ok = false;
  std::string dir, exe, worker, stations, de;
  std::vector<std::string> mk, tc3;
};

// The 80-column lines of text whose date ("YYYY MM DD.ddddd") lies in [from, to).
std::string LinesBetween(const std::string& text, const std::string& from, const std::string& to)
{
  std::istringstream in(text);
  std::string line, out;
  while (std::getline(in, line))
    if (line.size() >= 32 && line.substr(15, 16) >= from && line.substr(15, 16) < to)
      out += line + "\n";
  return out;
}

ScanSetup& Setup()
{
  static ScanSetup s = [] {
    ScanSetup r;
    const std::string exe = fs::path(ExecutablePath()).parent_path() / "tessarune";
    const std::string worker = ScanWorkerPathBeside(exe);
    const std::string stations = StationLinesFromObsCodesPage();
    r.de = TestDataPath("de/lnxp1960p2060.405");
    const std::string mk = TestDataPath("obs/mpc80/neosjl_2024MK.txt");
    const std::string tc3 = TestDataPath("obs/mpc80/neosjl_2008TC3.txt");
    if (!FileExists(exe) || !FileExists(worker) || stations.empty() || !FileExists(r.de) || !FileExists(mk) || !FileExists(tc3))
      return r;
    r.dir = MakeTempDir("bench_scan_run");
    CreateFolder(r.dir + "bin");
    r.exe = r.dir + "bin/tessarune";
    fs::copy_file(exe, r.exe);
    r.worker = ScanWorkerPathBeside(r.exe);
    fs::copy_file(worker, r.worker);
    r.stations = r.dir + "stations.txt";
    WriteFileAtomic(r.stations, stations);
    WriteFileAtomic(r.dir + "fake.441", "not a planetary file");
    WriteFileAtomic(r.dir + "bin/Tessarune.INI", "[SYSTEM]\r\nDE441FILE=" + r.dir + "fake.441\r\nDE406FILE=" + r.de +
                                                     "\r\nSTATIONSFILE=" + r.stations + "\r\n");
    const std::string june = LinesBetween(ReadTestFile(mk), "2024 06 16", "2024 06 20");
    const std::string morning = LinesBetween(ReadTestFile(tc3), "2008 10 06", "2008 10 06.5");
    CreateFolder(r.dir + "in");
    for (int i = 0; i < kObjects; ++i) {
      r.mk.push_back(r.dir + "in/MK" + std::to_string(i) + ".obs");
      WriteFileAtomic(r.mk.back(), june);
      r.tc3.push_back(r.dir + "in/TC3_" + std::to_string(i) + ".obs");
      WriteFileAtomic(r.tc3.back(), morning);
    }
    r.ok = true;
    return r;
  }();
  return s;
}

void BM_ScanObjects(benchmark::State& st)
{
  ScanSetup& s = Setup();
  if (!s.ok) {
    st.SkipWithError("needs the program and its worker beside the benchmark, obscodes, de/lnxp1960p2060.405 and 2024 MK");
    return;
  }
  const int parallel = static_cast<int>(st.range(0));
  const std::vector<std::string>& files = st.range(1) == 0 ? s.mk : s.tc3;
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  JplReaderScope jpl(s.dir + "fake.441", s.de);
  const std::string savedStations = TheApp().m_szStationsFile;
  TheApp().m_szStationsFile = s.stations;
  CDeterminationDisplay view;
  PrepareScanWorkerView(view, TheApp());
  ProcessWorkerLauncher launcher(s.worker);
  int run = 0, complete = 0;
  double seconds = 0;
  for (auto _ : st) {
    CNeocpScanDlg dlg(&view);
    dlg.m_pLauncher = &launcher;
    dlg.m_strScanDir =
        s.dir + "scan" + std::to_string(st.range(1)) + "_" + std::to_string(parallel) + "_" + std::to_string(run++);
    dlg.m_strFileDir = dlg.m_strScanDir + "/files";
    TypeScanSettings(dlg, 100, 0, parallel);
    const auto t0 = std::chrono::steady_clock::now();
    dlg.ScanFileList(files);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    complete = 0;
    for (int i = 0; i < dlg.m_nRows; ++i)
      complete += dlg.m_pRows[i].status == kScanComplete ? 1 : 0;
    view.m_pNeocpScanDlg = nullptr;
  }
  TheApp().m_szStationsFile = savedStations;
  st.counters["objects_per_minute"] = kObjects * run / seconds * 60.0;
  st.counters["complete"] = complete;
}
// Arguments: workers (1: in this process), objects (0: 2024 MK, 1: 2008 TC3).
BENCHMARK(BM_ScanObjects)
    ->ArgsProduct({{1, 2, 4, 6}, {0, 1}})
    ->ArgNames({"parallel", "tc3"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

void BM_WorkerStartUp(benchmark::State& st)
{
  ScanSetup& s = Setup();
  if (!s.ok) {
    st.SkipWithError("needs the program and its worker beside the benchmark, obscodes, de/lnxp1960p2060.405 and 2024 MK");
    return;
  }
  const std::string work = s.dir + "startup/_work";
  fs::create_directories(work);
  WorkerJob job;
  job.id = "1-1-1";
  job.desig = "NONE";
  job.obsPath = s.dir + "no_such_file.obs";
  job.scanDir = s.dir + "startup";
  job.fileDir = job.scanDir + "/files";
  job.resultPath = work + "/NONE_result.tsv";
  WriteFileAtomic(work + "/NONE_job.txt", FormatWorkerJob(job));
  ProcessWorkerLauncher launcher(st.range(0) == 0 ? s.worker : s.exe);
  for (auto _ : st) {
    long handle = 0;
    std::string error;
    if (!launcher.Launch(work + "/NONE_job.txt", handle, error)) {
      st.SkipWithError(error.c_str());
      return;
    }
    unsigned long code = 0;
    while (!launcher.HasEnded(handle, code))
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}
// Argument: 0 the worker program, 1 the program handing the job over to it.
BENCHMARK(BM_WorkerStartUp)->Arg(0)->Arg(1)->ArgName("handover")->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

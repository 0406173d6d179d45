// The operation log's calculation-start block for the 7,818 observations of
// (99942) Apophis, as written before every improvement run; and 1,000
// entries appended to a full calculation log in the view's pane (a wx
// multi-line edit: run under xvfb-run).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/textctrl.h>

#include "bench/wx_bench_main.h"
#include "data/observation_reader.h"
#include "determination/determination_display.h"
#include "determination/ui/wx_control_window.h"
#include "platform/files.h"
#include "platform/ui_services.h"
#include "bench/apophis_setup.h"

namespace {

void BM_CalcStartBlockApophis(benchmark::State& state) {
  ApophisSetup& setup = Setup();
  if (!setup.ok) {
    state.SkipWithError("reference data not found");
    return;
  }
  HeadlessUiServices ui;
  ScopedUi scopedUi(ui);
  ScopedStationsFile stations(setup.stations);
  CDeterminationDisplay view(false);
  ObservationRecord* records = nullptr;
  const int count = CTessaruneLib::GetMpcObs(setup.observations, &records);
  if (count <= 0) {
    state.SkipWithError("observations not read");
    return;
  }
  view.m_pDetClass->m_pOrbObs = records;
  view.m_pDetClass->m_nObsCount = count;
  const std::string path = TempFolder() + "bench_oplog.txt";
  view.m_strOpLogPath = path;
  view.m_bOpLog = 1;
  for (auto _ : state) view.WriteOpLogCalcStart("[手動]改良 開始");
  state.counters["observations"] = count;
  std::remove(path.c_str());
}

// The view's log pane on a real edit.
class PaneView : public CDetermination {
public:
  explicit PaneView(wxTextCtrl* edit) : CDetermination(false), m_pane(edit) {}
  EngineWindow* Window(int id) override { return id == kIdCalcLogEdit ? &m_pane : CDetermination::Window(id); }
  WxControlWindow m_pane;
};

void BM_AppendToFullCalcLogPane(benchmark::State& state) {
  auto* frame = new wxFrame(nullptr, wxID_ANY, "log", wxDefaultPosition, wxSize(900, 600));
  auto* edit = new wxTextCtrl(frame, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                              wxTE_MULTILINE | wxTE_READONLY | wxHSCROLL | wxTE_DONTWRAP);
  frame->Show();
  PaneView view(edit);
  const std::string line = "積分開始:    2015/02/27.00 →  2009/09/15.23   積分間隔 0.5日\r\n";
  while (CountCharacters(view.m_strCalcLog) < kCalcLogMaxChars - 200) view.AppendCalcLog(line);
  for (auto _ : state)
    for (int i = 0; i < 1000; ++i) view.AppendCalcLog(line);
  state.counters["ms_per_append"] =
      benchmark::Counter(1000.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  frame->Destroy();
}

BENCHMARK(BM_CalcStartBlockApophis)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AppendToFullCalcLogPane)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
  return RunWxBenchmarks(argc, argv, "bench_operation_log");
}

// The ephemeris view's calculation of a year in hour steps (2025, 8,761 rows)
// of the worked example's orbit: the table alone, and the table written into
// a shown multi-line box of the view's font while its window is frozen, as
// "位置推算(&C)" does. Target: under a second. Needs a display (xvfb-run).
#include <memory>

#include <wx/frame.h>
#include <wx/textctrl.h>
#include <wx/wupdlock.h>

#include "bench/wx_bench_main.h"
#include "ephemeris/ephemerides.h"
#include "ephemeris/ephemeris_form.h"
#include "platform/wx/wx_ui_services.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"

namespace {

// The form with its output box on a widget.
struct BoxForm : CEphemerides {
  void SetItemText(int id, const std::string& text) override {
    if (id == kEphOutput && m_pBox)
      m_pBox->ChangeValue(ToWx(text));
    else
      CEphemerides::SetItemText(id, text);
  }
  wxTextCtrl* m_pBox = nullptr;
};

void FillYearInHours(CEphemerides& f) {
  f.InitForm();
  f.OnSample();
  f.SetItemText(kEphHour, "0");
  f.SetItemText(kEphStartYear, "2025");
  f.SetItemText(kEphStartMonth, "1");
  f.SetItemText(kEphStartDay, "1");
  f.SetItemText(kEphEndYear, "2026");
  f.SetItemText(kEphEndMonth, "1");
  f.SetItemText(kEphEndDay, "1");
  f.SetItemText(kEphStep, "1");
}

void BM_YearInHoursTable(benchmark::State& state) {
  JplReaderScope jpl(TestDataPath("de/lnxp1960p2060.405"));
  HeadlessToolSinks sinks;
  ScopedToolSinks scoped(sinks);
  BoxForm f;
  FillYearInHours(f);
  for (auto _ : state) f.OnCalc();
  state.counters["bytes"] = double(f.GetItemText(kEphOutput).size());
}

void BM_YearInHoursIntoTheBox(benchmark::State& state) {
  JplReaderScope jpl(TestDataPath("de/lnxp1960p2060.405"));
  HeadlessToolSinks sinks;
  ScopedToolSinks scoped(sinks);
  auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(1400, 900));
  auto* box = new wxTextCtrl(frame, kEphOutput, wxString(), wxDefaultPosition, wxDefaultSize,
                             wxTE_MULTILINE | wxTE_READONLY | wxHSCROLL | wxTE_DONTWRAP);
  box->SetFont(wxFont(wxFontInfo(10).Family(wxFONTFAMILY_TELETYPE).FaceName("Noto Sans Mono CJK JP")));
  frame->Show();
  wxYield();
  BoxForm f;
  f.m_pBox = box;
  FillYearInHours(f);
  for (auto _ : state) {
    {
      wxWindowUpdateLocker freeze(frame);
      f.OnCalc();
    }
    frame->Update();
  }
  state.counters["lines"] = double(box->GetNumberOfLines());
  frame->Destroy();
  wxYield();
}

}  // namespace

BENCHMARK(BM_YearInHoursTable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_YearInHoursIntoTheBox)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return RunWxBenchmarks(argc, argv, "bench_ephemeris_view"); }

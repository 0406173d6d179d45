// The AI improvement as a user meets it: the program started, a file opened,
// the button "AI軌道改良(&A)" clicked with the pointer, timed from the press
// of its mouse button, as the program receives it, to the run's end in the
// real event loop; and beside it, in the same process on
// the same file, the headless run of the same command. Prints the medians and
// their ratio per object, in wall time and in the process's CPU time (which a
// busy machine tilts less), and each run's solution hash. The headless run
// takes the window's step setting ("自動" as the view starts), so that both
// compute the same orbit: the hashes must agree. Run under xvfb-run with a
// window manager (openbox):
//   bench_ai_window [runs] [object...]   objects: 2015AB Apollo Apophis Eros
// The files are the lines of 1960-2060 (Apollo: of 1973-2060), which the
// DE405 file covers.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/eventfilter.h>

#include "app/registry/window_registry.h"
#include "determination/determination_display.h"
#include "determination/obs_loading.h"
#include "determination/ui/determination_view.h"
#include "engine/ai_improvement.h"
#include "engine/orbit_engine.h"
#include "platform/ui_services.h"
#include "tests/common/test_data.h"
#include "tests/determination_ui/view_session.h"
#include "tests/engine/solution_hash.h"
#include "tests/engine/test_improvement_support.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Object {
  const char* name;
  const char* file;
  int fromYear;
};

const Object kObjects[] = {
    {"2015AB", "obs/mpc80/orbfit_2015AB.obs", 1960},
    {"Apollo", "obs/mpc80/orbfit_1862.obs", 1973},
    {"Apophis", "obs/mpc80/neosjl_99942.dat", 1960},
    {"Eros", "obs/mpc80/neosjl_433.txt", 1960},
};

double Median(std::vector<double> v)
{
  if (v.empty())
    return 0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Seconds(Clock::time_point a, Clock::time_point b)
{
  return std::chrono::duration<double>(b - a).count();
}

// CPU time of all the process's threads (the parallel integration's too).
double ProcessSeconds()
{
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

struct Timings {
  std::vector<double> window, headless, windowCpu, headlessCpu;
  std::vector<uint64_t> hashes;
  std::string failure;
};

uint64_t ViewSolutionHash(CDetermination& view)
{
  return SolutionHash(*view.m_pEngine, *view.m_pDetClass);
}

// The engine's procedures read their settings from the current view. A view
// made here takes that place and leaves it empty when it goes, so that the
// window's later runs read a blank stand-in (no step setting, so no step
// trials: Apollo's second window run reached another orbit): the window's
// view gets it back.
class CurrentViewKept {
public:
  CurrentViewKept() : m_pView(OpenWindows().m_pDetermination) {}
  ~CurrentViewKept() { OpenWindows().m_pDetermination = m_pView; }
  CurrentViewKept(const CurrentViewKept&) = delete;
  CurrentViewKept& operator=(const CurrentViewKept&) = delete;

private:
  CDetermination* m_pView;
};

// The moment the program receives the press on the button, armed just before
// the pointer is moved there. The input simulator waits about 50 ms after
// moving the pointer and again after the press, before either reaches the
// program: from the start of the simulated click, a fifth of a short run's
// time in the window was these waits, which no user's click contains.
class PressClock : public wxEventFilter {
public:
  PressClock() { wxEvtHandler::AddFilter(this); }
  ~PressClock() override { wxEvtHandler::RemoveFilter(this); }
  PressClock(const PressClock&) = delete;
  PressClock& operator=(const PressClock&) = delete;

  void Arm(wxWindow* button) { m_pButton = button; }
  int FilterEvent(wxEvent& e) override
  {
    if (m_pButton && e.GetEventType() == wxEVT_LEFT_DOWN && e.GetEventObject() == m_pButton) {
      m_pressed = Clock::now();
      m_dPressedCpu = ProcessSeconds();
      m_pButton = nullptr;
    }
    return Event_Skip;
  }
  Clock::time_point m_pressed;
  double m_dPressedCpu = 0;

private:
  wxWindow* m_pButton = nullptr;
};

// The headless run of the command on a view of its own, as in batch use,
// with the window's step setting.
void HeadlessRun(const std::string& file, const std::string& step, Timings& t)
{
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  const CurrentViewKept kept;
  CDeterminationDisplay view;
  OpenObsFile(view, file);
  view.SetItemText(kIdStepCombo, step);
  const double cpu0 = ProcessSeconds();
  const Clock::time_point t0 = Clock::now();
  OnAiImprove(view);
  t.headless.push_back(Seconds(t0, Clock::now()));
  t.headlessCpu.push_back(ProcessSeconds() - cpu0);
  if (view.m_nAiResult != 0 || view.m_pEngine->m_nCalcState != kCalcImprovedPerturbed)
    t.failure = "headless run ended with " + std::to_string(view.m_nAiResult);
  t.hashes.push_back(ViewSolutionHash(view));
}

Timings Measure(const Object& object, int runs)
{
  Timings t;
  const std::string source = TestDataPath(object.file);
  if (!TestDataFileExists(source)) {
    t.failure = MissingDataMessage(object.file);
    return t;
  }
  ViewSession session(std::string("bench_ai_window_") + object.name);
  session.m_ui.m_bRealEvents = true;
  const std::string file =
      WriteTestFile(session.m_dir, "ai.obs", ObservationLinesBetween(ReadTestFile(source), object.fromYear, 2060));
  auto view = [] { return ViewSession::View(); };
  PressClock clock;
  std::vector<ViewStep> steps = {
      {"loaded", nullptr, [view] { return view() && view()->m_pEngine->m_nCalcState == kCalcLoaded; }, 300}};
  // The clock runs from the press on the button to the end of the command's
  // handler, to which the button hands its event.
  steps.push_back({"bind", [view, &clock, &t] {
                     auto timed = [view, &clock, &t](wxCommandEvent& e) {
                       view()->GetEventHandler()->ProcessEvent(e);
                       t.window.push_back(Seconds(clock.m_pressed, Clock::now()));
                       t.windowCpu.push_back(ProcessSeconds() - clock.m_dPressedCpu);
                     };
                     view()->Widget(kIdAiImprove)->Bind(wxEVT_BUTTON, timed);
                   },
                   nullptr});
  for (int run = 0; run < runs; ++run) {
    // Each run starts from the freshly read file, as the first did.
    if (run > 0)
      steps.push_back({"reopen", [view, file] { OpenObsFile(*view(), file); },
                       [view] { return view()->m_pEngine->m_nCalcState == kCalcLoaded; }, 300, 0.3});
    steps.push_back({"mark", [view] { view()->m_nAiResult = -100; }, nullptr});
    std::vector<ViewStep> click = ViewSession::ClickControlSteps(
        kIdAiImprove, [view] { return view()->m_nAiResult != -100 && !EngineBusy(view()->m_pEngine); });
    std::function<void()> press = std::move(click[1].run);
    click[1].run = [press, view, &clock] {
      clock.Arm(view()->Widget(kIdAiImprove));
      press();
    };
    for (ViewStep& s : click)
      steps.push_back(std::move(s));
    steps.push_back({"check", [view, &t] {
                       if (view()->m_nAiResult != 0 || view()->m_pEngine->m_nCalcState != kCalcImprovedPerturbed)
                         t.failure = "window run ended with " + std::to_string(view()->m_nAiResult);
                       t.hashes.push_back(ViewSolutionHash(*view()));
                     },
                     nullptr});
    steps.push_back(
        {"headless", [view, file, &t] { HeadlessRun(file, view()->GetItemText(kIdStepCombo), t); }, nullptr});
  }
  if (!session.Run({"dev", file}, steps))
    t.failure = "the program did not start";
  else if (!session.FailedSteps().empty())
    t.failure = "steps timed out: " + session.FailedSteps();
  return t;
}

} // namespace

int main(int argc, char** argv)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    std::fprintf(stderr, "bench_ai_window: needs a display (run it under xvfb-run)\n");
    return 2;
  }
  int runs = argc > 1 ? std::atoi(argv[1]) : 5;
  runs = std::max(1, runs);
  std::vector<const Object*> chosen;
  for (int i = 2; i < argc; ++i)
    for (const Object& o : kObjects)
      if (std::strcmp(o.name, argv[i]) == 0)
        chosen.push_back(&o);
  if (chosen.empty())
    for (const Object& o : kObjects)
      chosen.push_back(&o);
  // The toolkit starts once per process: more objects, more processes.
  if (chosen.size() > 1) {
    int status = 0;
    for (const Object* o : chosen)
      status |= std::system((std::string(argv[0]) + " " + std::to_string(runs) + " " + o->name).c_str()) != 0;
    return status;
  }
  std::printf("%-8s %5s %9s %11s %6s %9s %11s %6s  %s\n", "object", "runs", "window_s", "headless_s", "ratio",
              "window_cpu", "headless_cpu", "ratio", "solution");
  int status = 0;
  for (const Object* o : chosen) {
    const Timings t = Measure(*o, runs);
    if (!t.failure.empty()) {
      std::printf("%-8s error: %s\n", o->name, t.failure.c_str());
      status = 1;
      continue;
    }
    // Every run, in the window and headless, must reach the same solution.
    if (std::adjacent_find(t.hashes.begin(), t.hashes.end(), std::not_equal_to<>()) != t.hashes.end()) {
      std::printf("%-8s error: the runs reached different solutions (window, headless by turns):", o->name);
      for (uint64_t h : t.hashes)
        std::printf(" %016llx", static_cast<unsigned long long>(h));
      std::printf("\n");
      status = 1;
      continue;
    }
    const double w = Median(t.window), h = Median(t.headless);
    const double wc = Median(t.windowCpu), hc = Median(t.headlessCpu);
    std::printf("%-8s %5zu %9.3f %11.3f %6.2f %9.3f %11.3f %6.2f  %016llx\n", o->name, t.window.size(), w, h,
                h > 0 ? w / h : 0.0, wc, hc, hc > 0 ? wc / hc : 0.0,
                static_cast<unsigned long long>(t.hashes.empty() ? 0 : t.hashes.front()));
    std::fflush(stdout);
  }
  return status;
}

// The AI improvement as a user meets it: the program started, a file opened,
// the button "AI軌道改良(&A)" clicked with the pointer, timed from the click to
// the run's end in the real event loop; and beside it, in the same process on
// the same file, the headless run of the same command. Prints the medians and
// their ratio per object. Run under xvfb-run with a window manager (openbox):
//   bench_ai_window [runs] [object...]   objects: 2015AB Apollo Apophis Eros
// The files are the lines of 1960-2060 (Apollo: of 1973-2060), which the
// DE405 file covers.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wx/app.h>

#include "determination/determination_display.h"
#include "determination/obs_loading.h"
#include "determination/ui/determination_view.h"
#include "engine/ai_improvement.h"
#include "engine/orbit_engine.h"
#include "platform/ui_services.h"
#include "tests/common/test_data.h"
#include "tests/determination_ui/view_session.h"
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

struct Timings {
  std::vector<double> window, headless;
  std::string failure;
};

// The headless run of the command on a view of its own, as in batch use.
double HeadlessRun(const std::string& file, std::string& failure)
{
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  CDeterminationDisplay view;
  OpenObsFile(view, file);
  const Clock::time_point t0 = Clock::now();
  OnAiImprove(view);
  const double s = Seconds(t0, Clock::now());
  if (view.m_nAiResult != 0 || view.m_pEngine->m_nCalcState != kCalcImprovedPerturbed)
    failure = "headless run ended with " + std::to_string(view.m_nAiResult);
  return s;
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
  Clock::time_point clicked;
  std::vector<ViewStep> steps = {
      {"loaded", nullptr, [view] { return view() && view()->m_pEngine->m_nCalcState == kCalcLoaded; }, 300}};
  // The clock runs from the pointer's click to the end of the command's
  // handler, to which the button hands its event.
  steps.push_back({"bind", [view, &clicked, &t] {
                     view()->Widget(kIdAiImprove)->Bind(wxEVT_BUTTON, [view, &clicked, &t](wxCommandEvent& e) {
                       view()->GetEventHandler()->ProcessEvent(e);
                       t.window.push_back(Seconds(clicked, Clock::now()));
                     });
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
    click[1].run = [press, &clicked] {
      clicked = Clock::now();
      press();
    };
    for (ViewStep& s : click)
      steps.push_back(std::move(s));
    steps.push_back({"check", [view, &t] {
                       if (view()->m_nAiResult != 0 || view()->m_pEngine->m_nCalcState != kCalcImprovedPerturbed)
                         t.failure = "window run ended with " + std::to_string(view()->m_nAiResult);
                     },
                     nullptr});
    steps.push_back({"headless", [file, &t] { t.headless.push_back(HeadlessRun(file, t.failure)); }, nullptr});
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
  std::printf("%-8s %5s %12s %12s %7s\n", "object", "runs", "window_s", "headless_s", "ratio");
  int status = 0;
  for (const Object* o : chosen) {
    const Timings t = Measure(*o, runs);
    if (!t.failure.empty()) {
      std::printf("%-8s error: %s\n", o->name, t.failure.c_str());
      status = 1;
      continue;
    }
    const double w = Median(t.window), h = Median(t.headless);
    std::printf("%-8s %5zu %12.3f %12.3f %7.2f\n", o->name, t.window.size(), w, h, h > 0 ? w / h : 0.0);
    std::fflush(stdout);
  }
  return status;
}

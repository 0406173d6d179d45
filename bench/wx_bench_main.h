#pragma once
// The main of a benchmark program that needs wxWidgets (and a display: run
// it under xvfb-run).
#include <benchmark/benchmark.h>

#include <cstdio>

#include <wx/app.h>
#include <wx/init.h>

inline int RunWxBenchmarks(int argc, char** argv, const char* program)
{
  wxApp::SetInstance(new wxApp);
  int wxArgc = 1;
  if (!wxEntryStart(wxArgc, argv)) {
    std::fprintf(stderr, "%s: needs a display (run it under xvfb-run)\n", program);
    return 2;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  wxEntryCleanup();
  return 0;
}

// One step of a right-button pan of the observer-location map: the part of
// the shipped world image in view scaled again to the 720 x 360 area, then
// graticule, marker and zoom label composed over it. A drag repaints at the
// rate of the pointer's moves, so a step must stay well under one frame of
// 16 ms. Needs a display (xvfb-run) and earth_texture.jpg beside the program.
#include <benchmark/benchmark.h>

#include "app/location_dlg.h"
#include "bench/wx_bench_main.h"
#include "platform/files.h"

namespace {

constexpr int kWidth = 720, kHeight = 360;

std::string ExeFolder()
{
  const std::string exe = ExecutablePath();
  return exe.substr(0, exe.rfind('/') + 1);
}

void PanStep(benchmark::State& state, double zoom, bool texture)
{
  LocationMapPainter painter;
  if (texture && !painter.LoadTexture(LocationTexturePath(ExeFolder()))) {
    state.SkipWithError("no earth_texture.jpg beside the program");
    return;
  }
  const MapArea area{0, 0, kWidth, kHeight};
  MapView view{zoom, 135, 35};
  ClampCentre(view);
  int dx = 6;
  for (auto _ : state) {
    PanBy(view, area, dx, 2);
    dx = -dx;
    wxBitmap picture = painter.Compose(kWidth, kHeight, view, 35.7, 139.7);
    benchmark::DoNotOptimize(picture);
  }
}

void BM_PanStepZoom8(benchmark::State& state)
{
  PanStep(state, 8, true);
}
// At zoom 1 the map does not pan: a repaint keeps the scaled image.
void BM_RepaintZoom1(benchmark::State& state)
{
  PanStep(state, 1, true);
}
void BM_PanStepZoom8NoTexture(benchmark::State& state)
{
  PanStep(state, 8, false);
}

} // namespace

BENCHMARK(BM_PanStepZoom8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintZoom1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PanStepZoom8NoTexture)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
  return RunWxBenchmarks(argc, argv, "bench_location_map");
}

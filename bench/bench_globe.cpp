// The globe's picture through the toolkit's graphics context (the path of
// the screen, the clipboard and the video frames): the Debian Earth texture
// lit by the Sun, an approach path of 400 points, clone tracks and the orbit
// inset, at the window's size (708 x 530 above the buttons, drawn as the
// window's 720 x 600) and at an export frame of 2560 x 2132. The animation
// draws a frame every 60 ms: 30 frames a second or more leave it room. The
// sphere's rows go to 1 thread (one core) or to every core. Needs a display
// (xvfb-run) and /usr/share/xplanet/images/earth.jpg.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <thread>

#include <wx/app.h>
#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/graphics.h>
#include <wx/image.h>

#include "bench/globe_bench_fill.h"
#include "bench/wx_bench_main.h"
#include "views/globe.h"
#include "views/ui/wx_scene_canvas.h"

namespace {

void DrawFrames(benchmark::State& state, int w, int h)
{
  BenchGlobe<CGlobeDlg> g;
  g.w = w, g.h = h;
  if (!Fill(g)) {
    state.SkipWithError("no /usr/share/xplanet/images/earth.jpg");
    return;
  }
  g.m_nRasterThreads = state.range(0) ? int(std::max(1u, std::thread::hardware_concurrency())) : 1;
  wxBitmap bmp(w, h, 24);
  for (auto _ : state) {
    wxMemoryDC dc(bmp);
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
    WxSceneCanvas canvas(gc.get(), nullptr);
    g.DrawGlobe(canvas, w, h);
  }
  state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["threads"] = g.m_nRasterThreads;
}

void BM_GlobeWindow(benchmark::State& state)
{
  DrawFrames(state, 720, 600);
}

void BM_GlobeExportFrame(benchmark::State& state)
{
  DrawFrames(state, 2560, 2132);
}

// The sphere's raster alone at the window's size.
void BM_GlobeRasterWindow(benchmark::State& state)
{
  BenchGlobe<CGlobeDlg> g;
  if (!Fill(g)) {
    state.SkipWithError("no /usr/share/xplanet/images/earth.jpg");
    return;
  }
  const int threads = state.range(0) ? int(std::max(1u, std::thread::hardware_concurrency())) : 1;
  const GlobeRasterView view = g.RasterView(720, 600, 1.0);
  std::vector<uint32_t> pixels(size_t(view.width) * view.height);
  for (auto _ : state) {
    RenderGlobeRaster(view, &g.m_texture, pixels.data(), threads);
    benchmark::DoNotOptimize(pixels.data());
  }
  state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_GlobeWindow)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GlobeExportFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GlobeRasterWindow)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
  return RunWxBenchmarks(argc, argv, "bench_globe");
}

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

#include "bench/wx_bench_main.h"
#include "views/globe.h"
#include "views/ui/wx_scene_canvas.h"

namespace {

struct BenchGlobe : CGlobeDlg {
  int w = 720, h = 600;
  bool HasWindow() const override { return true; }
  void ClientSize(int& cw, int& ch) const override { cw = w, ch = h; }
};

// The globe filled as a propagation fills it, with the texture decoded.
bool Fill(BenchGlobe& g)
{
  static const bool bHandlers = (wxInitAllImageHandlers(), true);
  (void)bHandlers;
  wxImage image;
  if (!image.LoadFile("/usr/share/xplanet/images/earth.jpg"))
    return false;
  g.AdoptTexture(image.GetData(), image.GetWidth(), image.GetHeight(), false);
  g.SetSubSolar(1, 6, 140);
  g.SetApex(1, -10, 60);
  g.SetOrbitElements(2454746.5, 0.9, 0.31, 3.0, 3.2, 0.04);
  g.SetCaption("2008 TC3");
  g.SetSubCaption("地球衝突確率 100.00%  (100/100)");
  g.SetMarker(1, 21, 31, 255, "Impact\n2008/10/07 02:45 UTC");
  for (int i = 0; i < 400; ++i)
    g.AddTrackPoint(21 - 0.02 * (400 - i), 31 - 0.05 * (400 - i), 6478 + 100.0 * (400 - i),
                    2454746.615 - (400 - i) / 1440.0);
  for (int k = 0; k < 100; ++k) {
    GlobeCloneTrack t;
    t.m_nKind = k == 0 ? 2 : k % 3 == 0;
    t.m_bPlausible = k % 2;
    t.m_nPoints = 16;
    for (int i = 0; i < 16; ++i) {
      t.m_adMinutes[i] = (i - 15) * 4.0;
      t.m_adLat[i] = 21 + 0.03 * k - 0.2 * (15 - i);
      t.m_adLon[i] = 31 + 0.02 * k - 0.5 * (15 - i);
      t.m_adKm[i] = 6478 + 500.0 * (15 - i);
    }
    g.AddCloneTrack(t);
  }
  return true;
}

void DrawFrames(benchmark::State& state, int w, int h)
{
  BenchGlobe g;
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
  BenchGlobe g;
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

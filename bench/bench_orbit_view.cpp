// The orbit diagram's picture at 900 x 600 through the toolkit's graphics
// context (the path of the screen, the clipboard and the video frames): the
// heliocentric scene with the thinned arc of (433) Eros's observations, and
// the geocentric scene with a full track of 40000 points and the planets'
// paths. The animation draws a frame every 60 ms: 30 frames a second or more
// leave it room. Needs a display (xvfb-run).
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include <wx/app.h>
#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/graphics.h>

#include "bench/wx_bench_main.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "views/orbit_view.h"
#include "views/ui/wx_scene_canvas.h"

namespace {

constexpr int kWidth = 900, kHeight = 600;
constexpr double kDeg = 3.14159265358979323846 / 180;

struct SizedView : COrbitViewDlg {
  bool HasWindow() const override { return true; }
  void ClientSize(int& w, int& h) const override { w = kWidth, h = kHeight; }
};

void DrawFrames(benchmark::State& state, SizedView& view)
{
  wxBitmap bmp(kWidth, kHeight, 24);
  for (auto _ : state) {
    wxMemoryDC dc(bmp);
    dc.SetBackground(*wxBLACK_BRUSH);
    dc.Clear();
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
    WxSceneCanvas canvas(gc.get(), nullptr);
    view.DrawScene(canvas, kWidth, kHeight);
  }
  state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_HeliocentricEros(benchmark::State& state)
{
  JplReaderScope jpl(TestDataPath("de/lnxp1960p2060.405"));
  SizedView view;
  std::vector<double> times;
  // About 12,000 observations spread over six decades, as the file has.
  for (int i = 0; i < 12000; ++i)
    times.push_back(2437300.5 + 22000.0 * i / 12000);
  view.SetObject(2459868.0585, 1.13346, 0.222778, 178.8773 * kDeg, 304.2993 * kDeg, 10.8289 * kDeg, 2460000.5,
                 "(433) Eros");
  view.SetAltTitle("433");
  view.SetObservationTimes(times.data(), int(times.size()), 1);
  DrawFrames(state, view);
}

void BM_GeocentricTrack(benchmark::State& state)
{
  JplReaderScope jpl(TestDataPath("de/lnxp1960p2060.405"));
  const double saved = g_dGeoTrackRadius;
  g_dGeoTrackRadius = 5;
  GeoTrackBuffer& track = GeoTrackBuffer::Instance();
  track.Reset();
  // A slow spiral out to 2 AU over 11 years: the planets' paths are drawn.
  for (int i = 0; i < 40000; ++i) {
    const double t = 2460000.5 + 0.1 * i;
    const double r = 0.05 + 1.95 * i / 40000.0, a = 0.02 * i;
    const double p[3] = {r * std::cos(a), r * std::sin(a), 0.1 * r};
    track.Append(t, p);
  }
  SizedView view;
  view.SetObject(2460000.5, 0.9, 0.2, 0, 0, 0.1, 2460000.5, "track");
  view.m_bGeocentric = 1;
  view.m_bShowEarthCa = view.m_bShowMoon = 1;
  view.FitScale();
  view.m_dScale *= 2;  // half the extent in view: the inner planets' paths are drawn
  DrawFrames(state, view);
  track.Reset();
  g_dGeoTrackRadius = saved;
}

BENCHMARK(BM_HeliocentricEros)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GeocentricTrack)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
  return RunWxBenchmarks(argc, argv, "bench_orbit_view");
}

// The video export of the two windows: 225-frame MP4s (a 9-second clip at
// 25 frames a second) of the orbit diagram's heliocentric pass of 1I and of
// the globe's flight of 2008 TC3 with its clone tracks, at 1280 and 2560
// pixels wide. Each run writes one file; the counters give the seconds of
// the whole clip and of its drawing, the rest being conversion and encoding.
// Needs a display (xvfb-run) and /usr/share/xplanet/images/earth.jpg.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "bench/globe_bench_fill.h"
#include "bench/wx_bench_main.h"
#include "tests/common/test_data.h"
#include "views/movie_export.h"
#include "views/orbit_view.h"
#include "views/ui/wx_scene_canvas.h"

namespace {

constexpr double kDeg = 3.14159265358979323846 / 180;

// Forwards to a window's source and adds up the time its frames take to draw.
class TimedSource : public IMovieFrameSource {
public:
  explicit TimedSource(IMovieFrameSource& inner) : m_inner(inner) {}
  void PrepareFrame(int index, int count) override { m_inner.PrepareFrame(index, count); }
  void DrawFrame(MovieFrame& frame, int width, int height) override
  {
    const auto t0 = std::chrono::steady_clock::now();
    m_inner.DrawFrame(frame, width, height);
    m_drawSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
  double m_drawSeconds = 0;

private:
  IMovieFrameSource& m_inner;
};

struct BenchOrbit : COrbitViewDlg {
  int w = 885, h = 470;  // the window's picture at its default size
  bool HasWindow() const override { return true; }
  void ClientSize(int& cw, int& ch) const override { cw = w, ch = h; }
  void DrawMovieFrame(MovieFrame& frame, int width, int height) override
  {
    DrawSceneIntoFrame(frame, nullptr, [&](ISceneCanvas& c) { DrawScene(c, width, height); });
  }
};

struct FilmedGlobe : CGlobeDlg {
  void DrawMovieFrame(MovieFrame& frame, int width, int height) override
  {
    DrawSceneIntoFrame(frame, nullptr, [&](ISceneCanvas& c) { DrawGlobe(c, width, height); });
  }
};

void Report(benchmark::State& state, double seconds, double drawSeconds, int runs)
{
  state.counters["clip s"] = seconds / runs;
  state.counters["draw s"] = drawSeconds / runs;
  state.counters["encode s"] = (seconds - drawSeconds) / runs;
}

void Write(benchmark::State& state, IMovieFrameSource& source, const MovieFrameSettings& s)
{
  const std::string path = MakeTempDir("bench_movie") + "clip.mp4";
  double total = 0, draw = 0;
  int runs = 0;
  for (auto _ : state) {
    TimedSource timed(source);
    std::string error;
    const auto t0 = std::chrono::steady_clock::now();
    if (!WriteMp4Movie(path, timed, s, &error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    draw += timed.m_drawSeconds;
    ++runs;
  }
  Report(state, total, draw, runs);
}

void BM_OrbitMp4(benchmark::State& state)
{
  BenchOrbit v;
  v.SetObject(2458006.0073, 0.255240, 1.201133, 241.8105 * kDeg, 24.5997 * kDeg, 122.7417 * kDeg, 2458080.5,
              "1I/2017 U1");
  MovieFrameSettings s;
  FillMovieFrameSettings(v.w, v.h, v.h, int(state.range(0)), 225, 40, 3000, s);
  v.m_bAnimating = v.m_bExporting = 1;
  COrbitFrameSource source(&v, 2458080.5 - 60, 2458080.5);
  Write(state, source, s);
}

void BM_GlobeMp4(benchmark::State& state)
{
  BenchGlobe<FilmedGlobe> g;
  g.w = 708, g.h = 530;
  if (!Fill(g)) {
    state.SkipWithError("no /usr/share/xplanet/images/earth.jpg");
    return;
  }
  g.m_nRasterThreads = int(std::max(1u, std::min(8u, std::thread::hardware_concurrency())));
  MovieFrameSettings s;
  CGlobeFrameSource source;
  double jd = 0, lon = 0;
  int animating = 0;
  if (!g.FillGlobeFrameSettings(int(state.range(0)), 225, 40, s, source, jd, lon, animating)) {
    state.SkipWithError("no path window");
    return;
  }
  Write(state, source, s);
}

} // namespace

BENCHMARK(BM_OrbitMp4)->Arg(1280)->Arg(2560)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_GlobeMp4)->Arg(1280)->Arg(2560)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char** argv)
{
  return RunWxBenchmarks(argc, argv, "bench_movie_export");
}

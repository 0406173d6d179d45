// The magnitude curve's plot band through the toolkit's graphics context
// (the path of the screen and the clipboard copy) with 12,000 magnitudes of
// (433) Eros over 25 years and the fitted H,G law: dragging the curve or the
// axes repaints the band at every mouse move, so 60 frames a second is the
// aim. Needs a display (xvfb-run).
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/graphics.h>

#include "bench/wx_bench_main.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "views/mag_curve.h"
#include "views/ui/wx_scene_canvas.h"

namespace {

constexpr int kWidth = 1000, kHeight = 765;
constexpr double kDeg = 3.14159265358979323846 / 180;

void BM_ErosBand(benchmark::State& state)
{
  JplReaderScope jpl(TestDataPath("de/lnxp1960p2060.405"));
  CMagCurveDlg curve;
  DisplayOrbit eros;
  eros.m_dT = 2460445.6582;
  eros.m_dQ = 1.133442;
  eros.m_dE = 0.222684;
  eros.m_dPeri = 178.9031 * kDeg;
  eros.m_dNode = 304.2759 * kDeg;
  eros.m_dIncl = 10.8277 * kDeg;
  eros.m_strName = "(433) Eros";
  eros.m_bAsteroid = 1;
  curve.SetSolution(eros, nullptr, 0, "");
  // Magnitudes of the law itself, scattered by up to a magnitude.
  curve.m_dH = 10.8, curve.m_dSlope = 0.59, curve.m_bFitted = 1;
  for (int i = 0; i < 12000; ++i) {
    MagCurvePoint p{};
    p.dJd = 2451544.5 + 9131.0 * i / 12000;
    if (!curve.ModelMagnitude(p.dJd, p.dMag))
      continue;
    p.dMag += std::sin(i * 0.7);
    p.dR = p.dDelta = 1;
    p.nApparition = -1;
    curve.m_pPoints.push_back(p);
  }
  curve.m_nPoints = static_cast<int>(curve.m_pPoints.size());
  curve.ChooseUsedMagnitudes();
  wxBitmap bmp(kWidth, kHeight, 24);
  for (auto _ : state) {
    wxMemoryDC dc(bmp);
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
    WxSceneCanvas canvas(gc.get(), nullptr);
    curve.DrawPlot(canvas, kWidth, kHeight, 0);
  }
  state.counters["points"] = curve.m_nPoints;
  state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_ErosBand)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
  return RunWxBenchmarks(argc, argv, "bench_mag_curve");
}

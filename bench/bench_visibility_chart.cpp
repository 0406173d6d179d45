// The observing-season chart of (433) Eros at Tokyo: the tables of 300 days
// (a new object or place), the full picture at 780 x 540 and 1600 x 1000
// through the toolkit's graphics context (a palette change or the end of a
// resize renders it once and should take well under 0.25 s), and the
// crosshair's repaint over the cached picture. Needs a display (xvfb-run).
#include <benchmark/benchmark.h>

#include <memory>

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/graphics.h>

#include "astro/angle_units.h"
#include "astro/time_scales.h"
#include "bench/wx_bench_main.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "views/ui/visibility_chart_wnd.h"

namespace {

void FeedEros(CVisibilityChartDlg& c)
{
  c.SetStartDate(CalendarToJd(2024, 4, 1));
  c.SetObject(2459868.0585, 1.13346, 0.222778, 178.8773 * kRadPerDeg, 304.2993 * kRadPerDeg, 10.8289 * kRadPerDeg,
              "(433) Eros", 10.4, 0.46, 1);
}

void BM_Precompute(benchmark::State& state)
{
  JplReaderScope jpl(TestDataPath("de/lnxp1960p2060.405"));
  CVisibilityChartDlg chart;
  FeedEros(chart);
  const ObserverSite site = MakeObserverSite(35.7, 139.7, 9);
  for (auto _ : state)
    chart.Precompute(site);
}
BENCHMARK(BM_Precompute)->Unit(benchmark::kMillisecond);

// The whole chart drawn once at the size (tables ready), as after a palette change.
void BM_FullRender(benchmark::State& state)
{
  JplReaderScope jpl(TestDataPath("de/lnxp1960p2060.405"));
  const int w = int(state.range(0)), h = int(state.range(1));
  auto* wnd = new CVisibilityChartWnd(nullptr);
  FeedEros(*wnd);
  wnd->Precompute(AppObserver());
  wxBitmap bmp(w, h, 24);
  int palette = 0;
  for (auto _ : state) {
    wnd->m_nPalette = palette++ % 8;
    wxMemoryDC dc(bmp);
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
    wnd->DrawChart(gc.get(), w, h);
  }
  wnd->Destroy();
}
BENCHMARK(BM_FullRender)->Args({780, 540})->Args({1600, 1000})->Unit(benchmark::kMillisecond);

// A crosshair position: the cached picture copied and the crosshair and box drawn over it.
void BM_CrosshairRepaint(benchmark::State& state)
{
  JplReaderScope jpl(TestDataPath("de/lnxp1960p2060.405"));
  auto* wnd = new CVisibilityChartWnd(nullptr);
  FeedEros(*wnd);
  wnd->SetClientSize(780, 540);
  const wxBitmap cache = wnd->RenderChart();
  const wxSize size = cache.GetSize();
  wxBitmap back(size.x, size.y, 24);
  int x = 100;
  for (auto _ : state) {
    wxMemoryDC dc(back);
    dc.DrawBitmap(cache, 0, 0);
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
    wnd->m_ptMouse = wxPoint(56 + (x++ % 600), 200);
    wnd->DrawCrosshair(gc.get(), size.x, size.y);
  }
  wnd->Destroy();
}
BENCHMARK(BM_CrosshairRepaint)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) { return RunWxBenchmarks(argc, argv, "bench_visibility_chart"); }

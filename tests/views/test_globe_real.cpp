// Impactors on the globe: the orbit determined from the real observations
// and propagated past the impact hands its path, impact point and Sun to the
// globe through the sink; the picture puts the marker where the report puts
// the impact and the arrowhead at the later end of the path.
#include <cmath>
#include <cstdio>

#include <gtest/gtest.h>

#include "astro/impact_tracker.h"
#include "engine/move_epoch.h"
#include "engine/tool_sinks.h"
#include "tests/engine/test_improvement_support.h"
#include "tests/views/sized_globe.h"

namespace {

constexpr double kDeg = 3.14159265358979323846 / 180;

struct Impactor {
  const char* name;
  const char* file;
  double entryJdUtc;      // atmospheric entry
  double latDeg, lonDeg;  // where the trackers' 100 km point lies
  double tolDeg;          // of the place
  double sunAltMin, sunAltMax;  // the Sun's altitude there, degrees
};

// 2008 TC3 over northern Sudan at 02:45:29 UTC, an hour before sunrise
// (measured 21.10 N, 30.47 E, the Sun 16 degrees below the horizon);
// 2024 BX1 west of Berlin at 00:32:38 UTC, in the middle of the night: the
// fit of its short arc puts the hit 4 minutes late at 52.82 N, 11.85 E.
const Impactor kImpactors[] = {
    {"2008 TC3", "obs/mpc80/neosjl_2008TC3.txt", 2454746.5 + (2 * 3600 + 45 * 60 + 29) / 86400.0, 21.0, 30.6, 0.5,
     -25, 0},
    {"2024 BX1", "obs/mpc80/neosjl_2024BX1.txt", 2460330.5 + (0 * 3600 + 32 * 60 + 38) / 86400.0, 52.6, 12.7, 1.5,
     -70, -30},
};

// The engine's globe is the test's window-free one.
struct GlobeOnlySinks : ToolWindowSinks {
  CGlobeDlg* globe = nullptr;
  GlobeSink* Globe() override { return globe; }
  GlobeSink* OpenGlobe() override { return globe; }
  OrbitDiagramSink* OrbitDiagram() override { return nullptr; }
};

class GlobeImpactor : public RealObservationTest, public ::testing::WithParamInterface<Impactor> {};

} // namespace

TEST_P(GlobeImpactor, MarkerOnTheReportedImpactAndArrowheadAtTheLaterEnd)
{
  const Impactor& c = GetParam();
  SizedGlobe globe;
  GlobeOnlySinks sinks;
  sinks.globe = &globe;
  ScopedToolSinks scoped(sinks);
  CDetermination view;
  const int count = Load(view, c.file);
  ASSERT_GT(count, 20) << c.file;
  const ObservationRecord* obs = view.m_pDetClass->m_pOrbObs;
  const double first = obs[0].m_dJdTt, last = obs[count - 1].m_dJdTt;
  ASSERT_TRUE(PickAndDetermine(view, first, last - 0.05 * (last - first)));
  ASSERT_EQ(ImproveTwoBody(view, 20), 0) << view.m_pDetClass->m_strError;
  ASSERT_EQ(FitImpactor(view, first, last), 0) << view.m_pEngine->m_strMessage;
  auto state = ForecastState(*view.m_pEngine, std::floor(c.entryJdUtc + 0.5) + 0.5);
  ImpactTrackerSet trackers;
  state->m_pImpacts = &trackers;
  HostControl result;
  ASSERT_EQ(MoveEpochAndReport(view.m_pEngine, &result, state.get(), nullptr, nullptr, nullptr, kApproachAllBodies,
                               0),
            kEngineImpact);
  const ImpactTracker& earth = trackers.m_trackers[kBodyEarth];
  ASSERT_EQ(earth.m_bHit, 1);

  // The marker is the report's impact point.
  ASSERT_EQ(globe.m_bMarker, 1);
  EXPECT_NEAR(globe.m_dMarkerLat, earth.m_dLat / kDeg, 1e-9);
  EXPECT_NEAR(globe.m_dMarkerLon, earth.m_dLon / kDeg, 1e-9);
  EXPECT_NEAR(globe.m_dMarkerLat, c.latDeg, c.tolDeg);
  EXPECT_NEAR(globe.m_dMarkerLon, c.lonDeg, c.tolDeg);
  std::string when;
  earth.FormatTimeUtc(when);
  EXPECT_EQ(globe.m_strMarker, "Impact\n" + when);
  ASSERT_GT(globe.m_nPathCount, 2);
  ASSERT_EQ(globe.m_bSubSolar, 1);
  const double phi = globe.m_dMarkerLat * kDeg, phis = globe.m_dSubSolarLat * kDeg,
               dl = (globe.m_dMarkerLon - globe.m_dSubSolarLon) * kDeg;
  const double sunAlt =
      std::asin(std::sin(phi) * std::sin(phis) + std::cos(phi) * std::cos(phis) * std::cos(dl)) / kDeg;
  std::printf("%s: impact %.2f, %.2f, %s; Sun's altitude there %.1f; %d path points\n", c.name, globe.m_dMarkerLat,
              globe.m_dMarkerLon, when.c_str(), sunAlt, globe.m_nPathCount);
  EXPECT_GT(sunAlt, c.sunAltMin);
  EXPECT_LT(sunAlt, c.sunAltMax);

  // Centred on the impact: the marker at the disc centre, drawn opaque, on the night side of the raster.
  globe.OnImpactPoint();
  GlobeCanvas canvas;
  globe.DrawGlobe(canvas, globe.w, globe.h);
  const RecordingCanvas::Shape* marker = nullptr;
  for (const auto& s : canvas.shapes)
    if (s.kind == 'f' && s.argb == 0xFFFF0000 && s.size == 10)
      marker = &s;
  ASSERT_NE(marker, nullptr);
  EXPECT_NEAR(marker->pts[0].x, globe.w / 2.0, 1e-3);
  EXPECT_NEAR(marker->pts[0].y, globe.h / 2.0, 1e-3);
  std::vector<uint32_t> px(size_t(globe.w) * globe.h);
  RenderGlobeRaster(globe.RasterView(globe.w, globe.h, 1.0), nullptr, px.data(), 2);
  const uint32_t centre = px[size_t(globe.h / 2) * globe.w + globe.w / 2];
  EXPECT_LE(centre & 0xFF, 55u) << std::hex << centre;  // at most half of the plain blue's 110

  // The path's later end, the impact, carries the arrowhead and no time label.
  double start = 0, end = 0;
  ASSERT_TRUE(globe.GetPathWindow(start, end));
  int head = globe.m_nPathCount - 1;
  while (head > 0 && globe.m_pPathJd[head] > end)
    --head;
  float hx = 0, hy = 0;
  ASSERT_TRUE(globe.Project(globe.m_pPathLat[head], globe.m_pPathLon[head],
                            std::max(1.0, globe.m_pPathKm[head] / globe.m_dBodyRadiusKm), globe.w, globe.h, hx, hy));
  int strokes = 0;
  for (const auto& s : canvas.shapes)
    if (s.kind == 'l' && s.argb == 0xE6FFA028 && std::hypot(s.pts[0].x - hx, s.pts[0].y - hy) < 1e-3 &&
        std::fabs(std::hypot(s.pts[1].x - hx, s.pts[1].y - hy) - 12) < 1e-3)
      ++strokes;
  EXPECT_EQ(strokes, 2);
  EXPECT_NEAR(globe.m_pPathJd[head], earth.m_dHitJd, 1.0 / 1440);
  EXPECT_EQ(canvas.Find("中心距離"), nullptr);
  ASSERT_NE(canvas.Find("軌跡表示: 最接近-6時間"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Impactors, GlobeImpactor, ::testing::ValuesIn(kImpactors),
                         [](const ::testing::TestParamInfo<Impactor>& impactor) {
                           std::string name = impactor.param.name;
                           return name.substr(name.find(' ') + 1);
                         });

#include <gtest/gtest.h>

#include "app/registry/window_registry.h"
#include "astro/time_scales.h"
#include "engine/approach_graph.h"
#include "engine/determination_host.h"
#include "platform/app_services.h"

namespace {

// A graph without a window: counts what the engine asks of it.
class RecordingGraph : public CMpDisGraphDlg {
public:
  void RefreshTabs() override { ++m_nRefreshes; }
  void DrawGraph() override { ++m_nDraws; }
  int m_nRefreshes = 0;
  int m_nDraws = 0;
};

class TextWindow : public EngineWindow {
public:
  std::string GetText() const override { return m_text; }
  void SetText(const std::string& text) override { m_text = text; }
  std::string m_text;
};

// A record over 100 days with the Earth approaching to 0.01 AU at day 50 and Jupiter far away.
void FillFlyby(CloseApproachRecord& rec, double t0)
{
  rec.Init(t0, t0 + 100, 1);
  for (int d = 0; d <= 100; ++d)
    for (int s = 0; s < 10; ++s)
      rec.Update(s, t0 + d, s == 2 ? 0.01 + 0.002 * std::abs(d - 50) : s == 4 ? 120.0 : 1.0 + s);
}

} // namespace

TEST(ApproachGraph, LayoutScalesCutsAndStoresDrawnPositions)
{
  CloseApproachRecord rec;
  const double t0 = CalendarToJd(2029, 1, 1.0);
  FillFlyby(rec, t0);

  // All bodies: Jupiter's 120 AU is drawn on the 50 AU scale and falls out of the lines.
  ApproachGraphLayout all = LayoutApproachGraph(rec.track, rec.m_nTrackRows, 0, 10, 534, 200);
  ASSERT_TRUE(all.hasScale);
  EXPECT_EQ(all.scale, 50.0);
  EXPECT_EQ(all.topLabel, "50.0AU");
  EXPECT_EQ(all.dateStart, "2029/1/1");
  EXPECT_EQ(all.dateMiddle, "2029/2/20");
  EXPECT_EQ(all.dateEnd, "2029/4/11");
  ASSERT_EQ(all.curves.size(), 10u);
  EXPECT_TRUE(all.curves[4].lines.empty());
  ASSERT_EQ(all.curves[2].lines.size(), 1u);
  EXPECT_EQ(all.curves[2].lines[0].size(), 101u);
  EXPECT_EQ(all.curves[2].lines[0].back().x, 530);

  // One body: its own scale. The samples at the scale itself land at y = -1,
  // above the area, and are left out; the closest sample lies lowest.
  ApproachGraphLayout earth = LayoutApproachGraph(rec.track, rec.m_nTrackRows, 3, 10, 534, 200);
  EXPECT_NEAR(earth.scale, 0.11, 1e-12);
  ASSERT_EQ(earth.curves[0].lines.size(), 1u);
  const auto& pts = earth.curves[0].lines[0];
  ASSERT_EQ(pts.size(), 99u);
  EXPECT_EQ(pts[0].y, 200 - static_cast<int>(196 / 0.11 * 0.108) - 5);
  EXPECT_EQ(pts[49].y, 200 - static_cast<int>(196 / 0.11 * 0.01) - 5);

  // The cursor finds the first sample at or right of the click.
  std::string text;
  EXPECT_EQ(ApproachGraphCursor(rec.track, rec.m_nTrackRows, 3, -1, text), -1);
  const int row = ApproachGraphCursor(rec.track, rec.m_nTrackRows, 3, pts[49].x, text);
  ASSERT_GE(row, 0);
  EXPECT_EQ(rec.track[row][2].time, t0 + 50);
  EXPECT_EQ(text, "2029年2月20.0日 0.01000AU");
  EXPECT_EQ(ApproachGraphCursor(rec.track, rec.m_nTrackRows, 3, 531, text), -1);  // right of the last sample

  EXPECT_FALSE(LayoutApproachGraph(nullptr, 0, 0, 10, 534, 200).hasScale);
}

TEST(ApproachGraph, TabsFollowThePerturberSet)
{
  EXPECT_EQ(ApproachGraphTabLabels(10, 0).size(), 11u);
  const auto labels = ApproachGraphTabLabels(15, 6);
  ASSERT_EQ(labels.size(), 16u);
  EXPECT_EQ(labels[0], "全摂動体");
  EXPECT_EQ(labels[10], "月");
  EXPECT_EQ(labels[11], "ケレス");
}

TEST(ShowCloseApproaches, FillsTheEditAndHandsTheGraphTheTrack)
{
  RecordingGraph graph;
  OpenWindows().m_pMpDisGraphDlg = &graph;
  TextWindow edit;
  {
    CloseApproachRecord rec;
    FillFlyby(rec, CalendarToJd(2029, 1, 1.0));
    ShowCloseApproaches(&rec, &edit, 2, 10, 0);
    EXPECT_EQ(edit.m_text, "  2029/ 2/20\r\n  0.01000 AU\r\n\r\n");
    EXPECT_EQ(graph.m_pTrack, rec.track);
    EXPECT_EQ(graph.m_nRefreshes, 1);

    edit.m_text = "kept";
    ShowCloseApproaches(&rec, &edit, 99, 16, 0);  // count outside 10..15: nothing changes
    EXPECT_EQ(edit.m_text, "kept");

    ShowCloseApproaches(&rec, &edit, -1, 10, 0);
    EXPECT_EQ(edit.m_text, "");
    EXPECT_EQ(graph.m_pTrack, nullptr);
    ShowCloseApproaches(&rec, &edit, 99, 10, 0);
  }
  // The record took its track away from the graph when it went.
  EXPECT_EQ(graph.m_pTrack, nullptr);
  EXPECT_EQ(graph.m_nTrackRows, 0);
  OpenWindows().m_pMpDisGraphDlg = nullptr;
}

// Buttons 1530 and 1531 on real observations: 2015 TF202's second half and
// its solution loaded, integrated again over the screened interval into the
// shared geocentric track (one segment per leg), the diagram's range chosen
// and its geocentric scene shown. TF202 passes 0.57 AU from the Earth.
#include <gtest/gtest.h>

#include <set>

#include "determination/solution_file.h"
#include "engine/ai_improvement.h"
#include "engine/orbit_engine.h"
#include "engine/tool_sinks.h"
#include "neocp/batch_orbit.h"
#include "neocp/geocentric_orbit.h"
#include "tests/neocp/known_real_support.h"
#include "tests/neocp/scan_fixtures.h"

namespace {

// The diagram's range row sets the recording radius, as its window does.
struct RangeDiagram : HeadlessOrbitDiagram {
  void SelectRange(int row) override
  {
    HeadlessOrbitDiagram::SelectRange(row);
    g_dGeoTrackRadius = kGeoTrackRadii[row];
  }
};

struct DiagramSinks : ToolWindowSinks {
  GlobeSink* Globe() override { return nullptr; }
  GlobeSink* OpenGlobe() override { return nullptr; }
  OrbitDiagramSink* OrbitDiagram() override { return open ? &diagram : nullptr; }
  OrbitDiagramSink* OpenOrbitDiagram() override
  {
    open = true;
    ++opened;
    return &diagram;
  }
  RangeDiagram diagram;
  bool open = false;
  int opened = 0;
};

std::set<int> Segments(const GeoTrackBuffer& track)
{
  return std::set<int>(track.m_pSegments, track.m_pSegments + track.m_nCount);
}

} // namespace

TEST(GeocentricOrbit, RangeRowForThePass)
{
  struct Case {
    double distance, current;
    int row;
  };
  const Case cases[] = {
      {0.3, 0.05, 3},         // needs 0.45: the 0.5 AU entry
      {4.0, 0.05, 6},         // needs 6: the largest, 5 AU
      {0.02, 0.05, -1},       // 0.03 is recorded already
      {0.1, 0.1, 2},          // needs 0.15: 0.2 AU
      {1.0 / 1.5, 0.5, 4},    // exactly 1 AU needed: 1 AU
      {9e9, 0.05, -1},        // no distance
      {4.0, 5.0, -1},         // the largest is already chosen
  };
  for (const Case& c : cases)
    EXPECT_EQ(GeoTrackRangeRowFor(c.distance, c.current), c.row) << c.distance << " " << c.current;
}

namespace {

class GeocentricOrbitReal : public FollowUpReal {
protected:
  void SetUp() override
  {
    FollowUpReal::SetUp();
    if (!m_ready) return;
    const std::string half2 = ObservationNight("obs/mpc80/orbfit_2015TF202_2.obs", "");
    if (half2.empty()) GTEST_SKIP() << MissingDataMessage("obs/mpc80/orbfit_2015TF202_2.obs");
    m_scopedUi = std::make_unique<ScopedUi>(m_ui);
    m_scopedSinks = std::make_unique<ScopedToolSinks>(m_sinks);
    m_savedRadius = g_dGeoTrackRadius;
    g_dGeoTrackRadius = 0.05;
    NeocpScanRow row = CompleteRow("TF202b", 0.6, 4.0);
    row.obs_path = WriteTestFile(m_dir, "tf202b.obs", half2);
    row.best_path = m_dir + "TF202b_best_EX.IMP";
    row.closest_path = m_dir + "TF202b_closest_EX.IMP";
    ASSERT_EQ(SolveIntoSolutionFiles(row.obs_path, {row.best_path, row.closest_path}), "");
    m_epoch = m_view->m_pEngine->m_state.m_el.m_dEpoch;
    SetTable({row});
    m_dlg->m_selection = {0};
    m_firstObs = m_view->m_pDetClass->m_pOrbObs[0].m_dJdTt;
    // Another object in the view before the button.
    std::string message;
    LoadScanObject(*m_view, WriteTestFile(m_dir, "other.obs", ObservationNight("obs/mpc80/orbfit_2015TF202_1.obs", "")),
                   "", message);
  }
  void TearDown() override
  {
    if (m_ready) g_dGeoTrackRadius = m_savedRadius;
    m_scopedSinks.reset();
    FollowUpReal::TearDown();
  }
  HeadlessUiServices m_ui;
  std::unique_ptr<ScopedUi> m_scopedUi;
  DiagramSinks m_sinks;
  std::unique_ptr<ScopedToolSinks> m_scopedSinks;
  double m_savedRadius = 0.05, m_epoch = 0, m_firstObs = 0;
};

} // namespace

TEST_F(GeocentricOrbitReal, LegsRangeAndScene)
{
  GeoTrackBuffer& track = GeoTrackBuffer::Instance();
  struct Case {
    const char* what;
    int closest;
    bool epochAtStart;  // the interval starts at the orbit's epoch: one leg
    double radius;      // before the button
    int range;          // the row selected, -1 none
    const char* status;
  };
  const Case cases[] = {
      {"nominal orbit (0.6 AU: the 1 AU entry)", 0, false, 0.05, 4,
       "TF202b の名目軌道を軌道計算の画面に読み込み、軌道図を[地心]で開きました"},
      {"closest clone (4 AU: 5 AU entry)", 1, false, 0.05, 6,
       "TF202b のいちばん近づくクローンの軌道を軌道計算の画面に読み込み、軌道図を[地心]で開きました"},
      {"epoch at the interval's start, radius enough", 0, true, 1.0, -1,
       "TF202b の名目軌道を軌道計算の画面に読み込み、軌道図を[地心]で開きました"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_dGeoTrackRadius = c.radius;
    m_sinks.diagram = RangeDiagram{};
    m_sinks.diagram.m_nRange = -1;
    m_dlg->m_settings.m_dDaysBefore = c.epochAtStart ? -(m_epoch - m_firstObs) : 30;
    m_dlg->ShowGeocentricOrbit(c.closest);
    EXPECT_EQ(m_dlg->GetItemText(kIdScanStatus), c.status);
    EXPECT_TRUE(m_ui.m_messages.empty()) << m_ui.m_messages.back().text;
    EXPECT_EQ(m_view->m_pDetClass->m_nObsCount, 11);
    EXPECT_EQ(m_sinks.diagram.m_nRange, c.range);
    EXPECT_TRUE(m_sinks.diagram.m_bGeocentric);
    EXPECT_EQ(m_sinks.diagram.m_orbit.m_nMode, 3);
    ASSERT_GT(track.m_nCount, 0);
    EXPECT_EQ(Segments(track).size(), c.epochAtStart ? 1u : 2u);
    double first = 0, last = 0;
    track.TimeRange(first, last);
    std::printf("%d points, %.2f .. %.2f (epoch %.2f)\n", track.m_nCount, first, last, m_epoch);
    EXPECT_LT(first, c.epochAtStart ? m_epoch + 1 : m_epoch - 1);
    EXPECT_GT(last, m_epoch + 1);
  }
}

TEST_F(GeocentricOrbitReal, RefusalsAndAPassBeyondTheRadius)
{
  struct Case {
    const char* what;
    int busy;
    bool clearPath;
    const char* message;
    const char* status;
  };
  const Case cases[] = {
      {"busy", 1, false, kMsgOtherCalculationRunning, "表示できませんでした。"},
      {"no solution", 0, true, "この天体には記録した軌道がありません。", "表示できませんでした。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m_ui.m_messages.clear();
    m_view->m_pEngine->m_bBusy = c.busy;
    const std::string saved = Row(0).best_path;
    if (c.clearPath) Row(0).best_path.clear();
    m_dlg->ShowGeocentricOrbit(0);
    m_view->m_pEngine->m_bBusy = 0;
    Row(0).best_path = saved;
    EXPECT_EQ(m_dlg->GetItemText(kIdScanStatus), c.status);
    ASSERT_EQ(m_ui.m_messages.size(), 1u);
    EXPECT_EQ(m_ui.m_messages[0].caption, kGeoOrbitCaption);
    EXPECT_EQ(m_ui.m_messages[0].text, c.message);
    EXPECT_EQ(m_view->m_pDetClass->m_nObsCount, 17);  // the view keeps what it had
  }

  // Nothing is recorded inside a tiny radius: the message, but done.
  m_ui.m_messages.clear();
  g_dGeoTrackRadius = 1e-6;
  Row(0).nom_dist = 9e9;
  m_dlg->ShowGeocentricOrbit(0);
  EXPECT_EQ(m_dlg->GetItemText(kIdScanStatus), "TF202b の名目軌道を軌道計算の画面に読み込み、軌道図を[地心]で開きました");
  ASSERT_EQ(m_ui.m_messages.size(), 1u);
  EXPECT_EQ(m_ui.m_messages[0].text.rfind("この軌道は、調べた期間に地球から 1e-06 AU 以内へ近づきません。\r\n", 0), 0u);

  // No selection: nothing at all.
  m_ui.m_messages.clear();
  m_dlg->m_selection.clear();
  m_dlg->SetStatusText("");
  m_dlg->ShowGeocentricOrbit(0);
  EXPECT_EQ(m_dlg->GetItemText(kIdScanStatus), "");
  EXPECT_TRUE(m_ui.m_messages.empty());
}

// The help windows' rules that need no drawing: dialog heights, the page
// width, wheel scrolling, the topic layout and the figures' constants.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/help_layout.h"

TEST(HelpLayout, DialogHeights)
{
  // The largest height follows the work area within 420 … 860.
  struct Case {
    int workArea, maxHeight;
  };
  for (const Case& c : {Case{1000, 860}, Case{450, 420}, Case{800, 720}, Case{300, 420}, Case{2000, 860}}) {
    SCOPED_TRACE(c.workArea);
    EXPECT_EQ(HelpMaxHeight(c.workArea), c.maxHeight);
  }
  // A short page opens at 420; a long one at the largest height; one in
  // between at exactly its content plus the frames, the button and 12.
  EXPECT_EQ(HelpFittedHeight(100, 30, 34, 2, 860), 420);
  EXPECT_EQ(HelpFittedHeight(5000, 30, 34, 2, 860), 860);
  EXPECT_EQ(HelpFittedHeight(500, 30, 34, 2, 860), 578);
  EXPECT_EQ(HelpFittedHeight(500, 30, 34, 2, 420), 420);
}

TEST(HelpLayout, WidthAndScrollLimits)
{
  EXPECT_EQ(HelpLayoutWidth(620), 580);
  EXPECT_EQ(HelpLayoutWidth(280), 240);
  EXPECT_EQ(HelpLayoutWidth(200), 240);  // narrower windows still lay out 240 wide
  EXPECT_EQ(ClampHelpScroll(-5, 1000, 400), 0);
  EXPECT_EQ(ClampHelpScroll(900, 1000, 400), 600);
  EXPECT_EQ(ClampHelpScroll(300, 1000, 400), 300);
  EXPECT_EQ(ClampHelpScroll(50, 300, 400), 0);  // a page that fits never scrolls
}

TEST(HelpLayout, WheelDeltasAddUp)
{
  struct Case {
    const char* name;
    std::vector<int> deltas;
    std::vector<int> pixels;
  };
  const Case cases[] = {
      {"notch", {120, -120}, {72, -72}},
      {"two notches at once", {240}, {144}},
      {"half notches scroll too", {60, 60}, {36, 36}},
      {"touchpad steps add up", {10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10}, {6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6}},
      {"a remainder carries", {7, 7, 7}, {4, 4, 4}},
      {"reversal drops the remainder", {3, -3}, {1, -1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WheelAccumulator wheel;
    std::vector<int> got;
    for (int d : c.deltas)
      got.push_back(wheel.Add(d));
    EXPECT_EQ(got, c.pixels);
  }
  // Many small deltas scroll as far as the notches they add up to.
  WheelAccumulator wheel;
  int total = 0;
  for (int i = 0; i < 120; ++i)
    total += wheel.Add(-3);
  EXPECT_EQ(total, -216);
}

TEST(HelpLayout, TopicLines)
{
  struct Drawn {
    std::string line;
    bool heading;
    int y;
  };
  struct Case {
    const char* name;
    const char* text;
    std::vector<std::string> lines;  // "H:" heading, "P:" paragraph
    std::vector<int> ys;
    int height;
  };
  // Every line is 15 pixels tall here.
  const Case cases[] = {
      {"heading, gap, paragraph", "■見出し\n\n本文", {"H:■見出し", "P:本文"}, {100, 125}, 42},
      {"final line feed ends with a gap", "本文\n", {"P:本文"}, {100}, 25},
      {"carriage returns dropped", "■A\r\nB\r\n\r\nC", {"H:■A", "P:B", "P:C"}, {100, 117, 142}, 59},
      {"empty text", "", {}, {}, 8},
      {"a mark later in the line is no heading", "本文■\n", {"P:本文■"}, {100}, 25},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Drawn> drawn;
    const int height = LayoutInfoTopic(c.text, 100, [&](const std::string& line, bool heading, int y) {
      drawn.push_back({line, heading, y});
      return 15;
    });
    EXPECT_EQ(height, c.height);
    std::vector<std::string> lines;
    std::vector<int> ys;
    for (const Drawn& d : drawn) {
      lines.push_back((d.heading ? "H:" : "P:") + d.line);
      ys.push_back(d.y);
    }
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(ys, c.ys);
  }
}

TEST(HelpLayout, CloneFigureHasTwentyHitsInSixty)
{
  const auto clones = HelpImpactClones();
  int hits = 0;
  for (const HelpClone& c : clones) {
    hits += c.hit ? 1 : 0;
    EXPECT_EQ(c.hit, c.a * c.a + c.b * c.b <= 289);
    EXPECT_LE(std::abs(c.a), 66);
    EXPECT_LE(std::abs(c.b), 45);
  }
  EXPECT_EQ(hits, 20);
  // The first clones of the seed, worked out by hand from the generator.
  EXPECT_EQ(clones[0].a, 6);
  EXPECT_EQ(clones[0].b, -7);
  EXPECT_EQ(clones[1].a, -19);
  EXPECT_EQ(clones[1].b, -20);
  // Always the same picture.
  const auto again = HelpImpactClones();
  for (int i = 0; i < kHelpCloneCount; ++i)
    EXPECT_EQ(again[static_cast<size_t>(i)].a, clones[static_cast<size_t>(i)].a);
}

TEST(HelpLayout, CometPathObservations)
{
  // The path of the three-observation page for W = 620 at x = 0, H = 0.
  const HelpPoint p[4] = {{8, 230}, {60, 179}, {140, 90}, {612, 86}};
  EXPECT_EQ(HelpBezierPoint(p, 0.0), (HelpPoint{8, 230}));
  EXPECT_EQ(HelpBezierPoint(p, 1.0), (HelpPoint{612, 86}));
  // 0.30: x = 0.343·8 + 0.441·60 + 0.189·140 + 0.027·612 = 72.188.
  EXPECT_EQ(HelpBezierPoint(p, 0.30), (HelpPoint{72, 177}));
  EXPECT_EQ(HelpBezierPoint(p, 0.52), (HelpPoint{163, 137}));
  EXPECT_EQ(HelpBezierPoint(p, 0.74), (HelpPoint{317, 104}));
}

TEST(HelpLayout, TableColumnEdges)
{
  struct Case {
    int x, w;
    std::array<int, 3> percents;
    std::array<int, 4> edges;
  };
  const Case cases[] = {
      {20, 660, {26, 42, 32}, {20, 191, 468, 680}},  // 171.6 → 171, 448.8 → 448
      {20, 660, {24, 40, 36}, {20, 178, 442, 680}},  // 158.4, 422.4
      {0, 240, {26, 42, 32}, {0, 62, 163, 240}},     // 62.4, 163.2
      {20, 1160, {26, 42, 32}, {20, 321, 808, 1180}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.w);
    EXPECT_EQ(HelpTableEdges(c.x, c.w, c.percents), c.edges);
  }
}

#include <gtest/gtest.h>

#include "astro/time_scales.h"
#include "engine/close_approach.h"

TEST(CloseApproachRecord, WindowAndTrackFromTheRun)
{
  struct Case {
    double t0, t1, h, start, end, step;
    int rows;
  } cases[] = {
      {2460000, 2459000, -2, 2458990, 2460010, 2, 522},
      {2460000, 2460100, 0, 2460000, 2460100, 1, 112},
      {2400000, 2500000, 1, 2399995, 2500005, 5.0005, 20012},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.h);
    CloseApproachRecord rec;
    rec.Init(c.t0, c.t1, c.h);
    EXPECT_EQ(rec.m_dWindowStart, c.start);
    EXPECT_EQ(rec.m_dWindowEnd, c.end);
    EXPECT_NEAR(rec.m_dTrackStep, c.step, 1e-12);
    EXPECT_EQ(rec.m_nTrackRows, c.rows);
    EXPECT_EQ(rec.closest[3].distance, kNoApproachDistance);
  }
}

TEST(CloseApproachRecord, SamplesMinimaAndRestarts)
{
  CloseApproachRecord rec;
  rec.Init(2460000, 2460100, 1);
  rec.Update(2, 2460001, 0.3);
  rec.Update(2, 2460002, 0.2);
  rec.Update(2, 2460003, 0.25);
  EXPECT_EQ(rec.closest[2].time, 2460002);
  EXPECT_EQ(rec.closest[2].distance, 0.2);
  EXPECT_EQ(rec.Minima(2)[0].time, 2460002);
  EXPECT_EQ(rec.Minima(2)[1].time, 0);

  rec.Update(2, 2460003, 0.01);  // the same time again changes nothing
  EXPECT_EQ(rec.latest[2].distance, 0.25);
  rec.Update(2, 2459998, 0.01);  // back by less than six steps: ignored
  EXPECT_EQ(rec.closest[2].distance, 0.2);

  // A second minimum, deeper, goes first.
  rec.Update(2, 2460004, 0.1);
  rec.Update(2, 2460005, 0.15);
  EXPECT_EQ(rec.Minima(2)[0].distance, 0.1);
  EXPECT_EQ(rec.Minima(2)[1].distance, 0.2);
  // The track keeps the sample in its row: trunc((t - start) / step) + 5.
  EXPECT_EQ(rec.track[static_cast<int>(2460005 - rec.m_dWindowStart) + 5][2].distance, 0.15);

  rec.Update(2, 2459999, 0.5);  // six steps back: a new run empties the slot first
  EXPECT_EQ(rec.closest[2].distance, 0.5);
  EXPECT_EQ(rec.Minima(2)[0].time, 0);
  EXPECT_EQ(rec.track[static_cast<int>(2460005 - rec.m_dWindowStart) + 5][2].distance, 0.15);
}

TEST(CloseApproachRecord, ListsApproachesWithTheKmLineBelow400000Km)
{
  CloseApproachRecord rec;
  rec.Init(2460000, 2460100, 1);
  std::string text = "unchanged";
  EXPECT_TRUE(FormatCloseApproaches(rec, 99, 10, 0, 0, text));
  EXPECT_EQ(text, "");  // no approach at all

  const double jd = CalendarToJd(2024, 3, 15.25);
  for (int k = 0; k < 10; ++k)
    rec.Update(k, jd, 1.0 + k);
  rec.Update(9, jd + 1, 0.002);
  rec.Update(2, jd + 1, 0.003);

  EXPECT_TRUE(FormatCloseApproaches(rec, 9, 10, 0, 0, text));
  EXPECT_EQ(text, "  2024/ 3/16\r\n  0.00200 AU\r\n    299195Km\r\n\r\n");
  EXPECT_TRUE(FormatCloseApproaches(rec, 2, 10, 2, 0, text));
  EXPECT_EQ(text, "  2024/ 3/16.25\r\n  0.00300 AU\r\n\r\n");

  EXPECT_TRUE(FormatCloseApproaches(rec, 99, 10, 1, 0, text));
  EXPECT_EQ(text.rfind("水星  \r\n  2024/ 3/15.2\r\n  1.00000 AU\r\n\r\n金星", 0), 0u);
  EXPECT_NE(text.find("月    \r\n  2024/ 3/16.2\r\n  0.00200 AU\r\n    299195Km\r\n\r\n"), std::string::npos);

  text = "unchanged";
  EXPECT_FALSE(FormatCloseApproaches(rec, 99, 16, 0, 0, text));
  EXPECT_FALSE(FormatCloseApproaches(rec, 99, 9, 0, 0, text));
  EXPECT_EQ(text, "unchanged");
}

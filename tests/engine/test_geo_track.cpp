#include <gtest/gtest.h>

#include <cmath>

#include "engine/tool_sinks.h"

namespace {

class GeoTrack : public ::testing::Test {
protected:
  void SetUp() override { g_dGeoTrackRadius = 0.05; }
  void TearDown() override { g_dGeoTrackRadius = 0.05; }
  static void AppendNear(GeoTrackBuffer& b, double t) {
    const double p[3] = {0.01, -0.02, 0.001 * std::fmod(t, 7.0)};
    b.Append(t, p);
  }
};

TEST_F(GeoTrack, EmptyBuffer) {
  GeoTrackBuffer b;
  double first = -1, last = -1;
  EXPECT_EQ(b.m_nCount, 0);
  EXPECT_EQ(b.MaxAbsCoordinate(), 0.0);
  EXPECT_EQ(b.TimeRange(first, last), 0);
  EXPECT_EQ(first, -1);
}

TEST_F(GeoTrack, RadiusIsInclusiveAndPassedOverPointsDoNotCountForTheStride) {
  g_dGeoTrackRadius = 0.625;  // binary fractions, so the boundary is exact
  GeoTrackBuffer b;
  const double on[3] = {0.375, 0.5, 0.0};  // |r| = 0.625
  const double beyond[3] = {0.375, 0.5, 1.0 / 1024};
  b.Append(1.0, on);
  b.Append(2.0, beyond);
  ASSERT_EQ(b.m_nCount, 1);
  EXPECT_EQ(b.m_pTimes[0], 1.0);
  EXPECT_EQ(b.m_nSkip, 0);
  EXPECT_EQ(b.MaxAbsCoordinate(), 0.5);
}

TEST_F(GeoTrack, GrowsToFortyThousandThenThinsByHalves) {
  GeoTrackBuffer b;
  b.m_nSegment = 3;
  for (int i = 0; i < 4096; ++i) AppendNear(b, i);
  EXPECT_EQ(b.m_nCapacity, 4096);
  AppendNear(b, 4096);
  EXPECT_EQ(b.m_nCapacity, 8192);
  for (int i = 4097; i < 40000; ++i) AppendNear(b, i);
  EXPECT_EQ(b.m_nCount, 40000);
  EXPECT_EQ(b.m_nCapacity, 40000);
  EXPECT_EQ(b.m_nStride, 1);

  AppendNear(b, 40000);  // the 40001st: thinning, then recorded as point 20001
  EXPECT_EQ(b.m_nCount, 20001);
  EXPECT_EQ(b.m_nStride, 2);
  EXPECT_EQ(b.m_nCapacity, 40000);
  EXPECT_EQ(b.m_pTimes[0], 0.0);
  EXPECT_EQ(b.m_pTimes[1], 2.0);
  EXPECT_EQ(b.m_pTimes[19999], 39998.0);
  EXPECT_EQ(b.m_pTimes[20000], 40000.0);
  EXPECT_EQ(b.m_pSegments[20000], 3);
  AppendNear(b, 40001);  // passed over
  EXPECT_EQ(b.m_nCount, 20001);
  AppendNear(b, 40002);  // recorded
  EXPECT_EQ(b.m_nCount, 20002);
  EXPECT_EQ(b.m_pTimes[20001], 40002.0);

  double first = 0, last = 0;
  EXPECT_EQ(b.TimeRange(first, last), 1);
  EXPECT_EQ(first, 0.0);
  EXPECT_EQ(last, 40002.0);

  b.Reset();
  EXPECT_EQ(b.m_nCount, 0);
  EXPECT_EQ(b.m_nCapacity, 0);
  EXPECT_EQ(b.m_nStride, 1);
  EXPECT_EQ(b.m_nSegment, 3) << "the segment number survives a reset";
  b.m_nSegment++;
  AppendNear(b, 1.0);
  EXPECT_EQ(b.m_pSegments[0], 4);
}

TEST(HeadlessGlobe, PathInTimeOrderAndTrimmedCaption) {
  HeadlessToolSinks sinks;
  EXPECT_EQ(sinks.Globe(), nullptr);
  GlobeSink* g = sinks.OpenGlobe();
  ASSERT_EQ(sinks.Globe(), g);
  g->AddTrackPoint(1, 2, 7000, 10.0);
  g->AddTrackPoint(3, 4, 6500, 5.0);
  g->AddTrackPoint(5, 6, 6400, 7.5);
  ASSERT_EQ(sinks.m_globe.m_path.size(), 3u);
  EXPECT_EQ(sinks.m_globe.m_path[0].jd, 5.0);
  EXPECT_EQ(sinks.m_globe.m_path[1].jd, 7.5);
  EXPECT_EQ(sinks.m_globe.m_path[2].jd, 10.0);
  g->SetCaption("  衝突確率  ");
  EXPECT_EQ(sinks.m_globe.m_strCaption, "衝突確率");
  g->SetBody(12);
  EXPECT_EQ(sinks.m_globe.m_nBody, 2);
  g->SetBody(9);
  EXPECT_EQ(sinks.m_globe.m_nBody, 9);
}

}  // namespace

// The observing-season chart without its window: the feeders' rules, the sky
// colours, the tables and the sky model on the real planetary file at Tokyo,
// the raster, the axis labels and the crosshair's Moon age.
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "astro/angle_units.h"
#include "astro/jpl_eph.h"
#include "astro/time_scales.h"
#include "platform/app_services.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "views/visibility_chart.h"

namespace {

// (433) Eros, osculating elements of 2023 (angles J2000 ecliptic).
void FeedEros(CVisibilityChartDlg& c)
{
  c.SetObject(2459868.0585, 1.13346, 0.222778, 178.8773 * kRadPerDeg, 304.2993 * kRadPerDeg,
              10.8289 * kRadPerDeg, "(433) Eros", 10.4, 0.46, 1);
}

TEST(VisibilityChart, FeedersKeepTheirRules)
{
  CVisibilityChartDlg c;
  c.SetObject(2460000.5, 1, 0.9, 0, 0, 0, "C/2024 A1", 8, 0, 0);
  EXPECT_EQ(c.m_bValid, 1);
  EXPECT_EQ(c.m_dSlope, 10.0);  // a comet without K gets 10
  c.SetObject(2460000.5, 1, 0.1, 0, 0, 0, "x", 15, 0, 1);
  EXPECT_EQ(c.m_dSlope, 0.0);   // an asteroid keeps G = 0
  c.SetObject(2460000.5, 0, 0.1, 0, 0, 0, "x", 15, 0.15, 1);
  EXPECT_EQ(c.m_bValid, 0);

  c.SetStartDate(2460400.5);
  c.m_bDirty = 0;
  c.SetStartDate(2460400.5);
  c.SetStartDate(0);
  c.SetStartDate(-5);
  EXPECT_EQ(c.m_bDirty, 0);
  EXPECT_EQ(c.m_dStartJd, 2460400.5);
  c.Clear();
  EXPECT_EQ(c.m_bDirty, 1);
  EXPECT_EQ(c.m_dStartJd, 0);
  EXPECT_TRUE(c.m_strName.empty());
}

TEST(VisibilityChart, SkyColours)
{
  struct Case {
    double sunDeg, moonLight;
    int x, y;
    int rgb[3];
  } cases[] = {
      {5, 0, 100, 100, {140, 230, 250}},   // daylight
      {0, 0.5, 100, 100, {140, 230, 250}}, // the Moon does not matter by day
      {-9, 0, 100, 100, {170, 237, 250}},  // twilight half way
      {-30, 1.0, 100, 100, {230, 230, 255}},  // full moonlight: N' 230, blue 255
  };
  for (const Case& k : cases) {
    SkyState s;
    s.dSunAlt = k.sunDeg * kRadPerDeg;
    s.dMoonLight = k.moonLight;
    int rgb[3];
    SkyPixel(s, k.x, k.y, rgb);
    EXPECT_EQ(rgb[0], k.rgb[0]) << k.sunDeg;
    EXPECT_EQ(rgb[1], k.rgb[1]) << k.sunDeg;
    EXPECT_EQ(rgb[2], k.rgb[2]) << k.sunDeg;
  }
  // A moonless night: (16, 18, 60) off the stars, brighter on a star.
  int star = 0, dark = 0;
  for (int x = 0; x < 200 && !(star && dark); ++x)
    for (int y = 0; y < 200; ++y) {
      SkyState s;
      s.dSunAlt = -40 * kRadPerDeg;
      int rgb[3];
      SkyPixel(s, x, y, rgb);
      const int v = StarGlow(x, y);
      if (!v) {
        EXPECT_EQ(rgb[0], 16);
        EXPECT_EQ(rgb[1], 18);
        EXPECT_EQ(rgb[2], 60);
        ++dark;
      } else if (StarCore(x, y) && !star) {
        EXPECT_GE(v, 45);
        EXPECT_EQ(rgb[0], std::min(255, static_cast<int>(16 + v)));
        EXPECT_EQ(rgb[2], static_cast<int>(60 + 90.0 * v / 255));
        ++star;
      }
    }
  EXPECT_TRUE(star && dark);
  // About one pixel in 512 carries a star.
  int cores = 0;
  for (int x = 0; x < 512; ++x)
    for (int y = 0; y < 64; ++y) cores += StarCore(x, y) != 0;
  EXPECT_GT(cores, 32);
  EXPECT_LT(cores, 100);
}

TEST(VisibilityChart, WithoutPlanetaryFileTheChartSaysSoAndTheMoonGivesNoLight)
{
  if (g_pJplEph) GTEST_SKIP() << "a planetary file is open";
  CVisibilityChartDlg c;
  c.SetStartDate(2460401.5);
  FeedEros(c);
  const ObserverSite site = MakeObserverSite(35.7, 139.7, 9);
  c.Precompute(site);
  EXPECT_EQ(c.m_nSamples, 1217);
  EXPECT_GT(c.m_nSunMissing, 0);
  EXPECT_EQ(c.m_nObjValid, 0);
  const ChartRaster r = c.RenderRaster(780, 540, site);
  EXPECT_NE(c.PlotMessage(r).find("惑星暦"), std::string::npos);
  EXPECT_EQ(c.EvaluateSky(10.5, 24, site).dMoonLight, 0);
  EXPECT_FALSE(c.Crosshair(300, 200, 780, 540, site).bAltitude);
}

TEST(VisibilityChart, LabelsOfTheAxes)
{
  CVisibilityChartDlg c;
  c.m_dayRows.resize(300);
  for (int d = 0; d < 300; ++d) c.m_dayRows[d].dJd = CalendarToJd(2024, 4, 1) + d;
  // The plot needs more than 132 x 112 pixels.
  EXPECT_FALSE(c.Plot(132, 540).exists);
  EXPECT_FALSE(c.Plot(780, 112).exists);
  EXPECT_TRUE(c.Plot(133, 113).exists);
  const ChartPlot p = c.Plot(780, 540);
  struct Case {
    double tz;
    int first;
  } cases[] = {{9, 5}, {5.5, 8}, {-5, 19}};
  for (const Case& k : cases) {
    std::vector<ChartLabel> left, right;
    c.HourLabels(p, k.tz, left, right);
    ASSERT_EQ(left.size(), 11u);
    EXPECT_EQ(left[0].text, "14時");
    EXPECT_EQ(right[0].text, std::to_string(k.first) + "時") << k.tz;
    EXPECT_DOUBLE_EQ(left[0].y, p.B - 7);
    if (k.tz == 9) {
      for (size_t i = 0; i < left.size(); ++i)
        EXPECT_EQ((std::stoi(left[i].text) - 9 + 24) % 24, std::stoi(right[i].text));
    }
  }
  const std::vector<ChartLabel> dates = c.DateLabels(p);
  ASSERT_GE(dates.size(), 5u);
  EXPECT_EQ(dates[0].text, "4月1日");
  for (size_t i = 1; i < dates.size(); ++i) EXPECT_GE(dates[i].x - dates[i - 1].x, 54);
}

class VisibilityChartReal : public ::testing::Test {
protected:
  void SetUp() override {
    const std::string de = TestDataPath("de/lnxp1960p2060.405");
    if (de.empty() || !TestDataFileExists(de)) GTEST_SKIP() << MissingDataMessage("de/lnxp1960p2060.405");
    m_jpl = std::make_unique<JplReaderScope>(de);
    ASSERT_TRUE(g_pJplEph->IsOpen());
    m_chart.SetStartDate(CalendarToJd(2024, 4, 1));
    FeedEros(m_chart);
    m_chart.Precompute(m_site);
  }
  int Day(int y, int m, int d) const { return static_cast<int>(CalendarToJd(y, m, d) - m_chart.m_dStartJd); }
  // Hours of the column's middle with the Sun at -18 degrees or lower.
  double NightHours(int d) const {
    int minutes = 0;
    for (int i = 0; i < 20 * 60; ++i)
      minutes += m_chart.EvaluateSky(d + 0.5, 14 + (i + 0.5) / 60, m_site).dSunAlt <= -18 * kRadPerDeg;
    return minutes / 60.0;
  }
  std::unique_ptr<JplReaderScope> m_jpl;
  ObserverSite m_site = MakeObserverSite(35.7, 139.7, 9);
  CVisibilityChartDlg m_chart;
};

TEST_F(VisibilityChartReal, TablesAtTokyo)
{
  const CVisibilityChartDlg& c = m_chart;
  ASSERT_EQ(c.m_nSamples, 1217);
  EXPECT_DOUBLE_EQ(c.m_dTableStart, c.m_dStartJd - 1);
  ASSERT_EQ(c.m_dayRows.size(), 300u);
  EXPECT_EQ(c.m_nSunMissing, 0);
  EXPECT_EQ(c.m_nObjValid, 1217);
  // The Moon crosses 0 h about ten times: the unwrapped series never jumps.
  double maxStep = 0;
  for (int i = 1; i < c.m_nSamples; ++i) maxStep = std::max(maxStep, std::fabs(c.m_moonRa[i] - c.m_moonRa[i - 1]));
  EXPECT_LT(maxStep, 0.25);
  EXPECT_GT(c.m_moonRa.back() - c.m_moonRa.front(), 9 * kTwoPi);
  // The last day blends with nothing.
  const SkyState a = c.EvaluateSky(299, 25, m_site), b = c.EvaluateSky(299.8, 25, m_site);
  EXPECT_EQ(a.dSunAlt, b.dSunAlt);
  EXPECT_EQ(a.dObjAlt, b.dObjAlt);

  EXPECT_NEAR(NightHours(Day(2024, 6, 21)), 5.8, 10.0 / 60);
  EXPECT_NEAR(NightHours(Day(2024, 12, 21)), 11.2, 10.0 / 60);
  // Full moon 2024-04-23 23:49 UTC.
  EXPECT_GE(c.m_dayRows[Day(2024, 4, 23)].dMoonFraction, 0.99);
  EXPECT_LT(c.m_dayRows[Day(2024, 4, 8)].dMoonFraction, 0.01);
}

TEST_F(VisibilityChartReal, RasterAndCrosshair)
{
  const ChartRaster r = m_chart.RenderRaster(780, 540, m_site);
  ASSERT_EQ(r.w, 668);
  ASSERT_EQ(r.h, 448);
  ASSERT_TRUE(r.bAnyAltitude);
  EXPECT_TRUE(m_chart.PlotMessage(r).empty());
  const ChartPlot p = m_chart.Plot(780, 540);
  auto pixel = [&](int x, int y, int i) { return r.bgra[((y - 58) * r.w + (x - 56)) * 4 + 2 - i]; };
  auto hourOf = [&](int y) { return m_chart.m_dHourTo - (y + 0.5 - 58) / p.pxPerHour; };
  auto dayOf = [&](int x) { return (x + 0.5 - 56) / p.pxPerDay; };
  int day = 0, dark = 0, band = 0;
  for (int x = 56; x < 724; x += 3)
    for (int y = 58; y < 506; y += 2) {
      const SkyState s = m_chart.EvaluateSky(dayOf(x), hourOf(y), m_site);
      const bool onBand = s.bElongationOk && s.dObjAlt >= 10 * kRadPerDeg;
      const double sun = s.dSunAlt / kRadPerDeg;
      if (!onBand && sun >= 0) {
        EXPECT_EQ(pixel(x, y, 0), 140);
        EXPECT_EQ(pixel(x, y, 1), 230);
        EXPECT_EQ(pixel(x, y, 2), 250);
        ++day;
      } else if (!onBand && sun < -18 && s.dMoonLight == 0 && !StarGlow(x, y)) {
        EXPECT_EQ(pixel(x, y, 0), 16);
        EXPECT_EQ(pixel(x, y, 1), 18);
        EXPECT_EQ(pixel(x, y, 2), 60);
        ++dark;
      } else if (onBand && sun >= 0) {
        const uint32_t c = g_aChartPalettes[0][std::min(9, static_cast<int>(s.dObjAlt / kRadPerDeg / 10))];
        EXPECT_EQ(pixel(x, y, 0), static_cast<int>(0.62 * (c >> 16) + 0.38 * 140));
        EXPECT_EQ(pixel(x, y, 1), static_cast<int>(0.62 * ((c >> 8) & 0xFF) + 0.38 * 230));
        EXPECT_EQ(pixel(x, y, 2), static_cast<int>(0.62 * (c & 0xFF) + 0.38 * 250));
        ++band;
      }
    }
  EXPECT_GT(day, 100);
  EXPECT_GT(dark, 100);
  EXPECT_GT(band, 10);

  // New moon 2024-04-08 18:21 UTC: the crosshair at 03:15 local of the 9th.
  const int d = Day(2024, 4, 8);
  const int x = static_cast<int>(56 + (d + 0.5) * p.pxPerDay);
  const CrosshairInfo c = m_chart.Crosshair(x, 208, 780, 540, m_site);
  ASSERT_TRUE(c.bShown);
  EXPECT_EQ(c.day, 9);  // after local midnight: the next date
  EXPECT_EQ(c.hour, 3);
  EXPECT_EQ(c.minute, 15);
  EXPECT_LT(std::min(c.dMoonAge, 29.530589 - c.dMoonAge), 0.3);
  EXPECT_TRUE(c.bAltitude);
  EXPECT_TRUE(c.bMagnitude);
  ASSERT_EQ(c.rows.size(), 4u);
  EXPECT_EQ(c.rows[0].second, "2024年 4月 9日  3時15分");
  // Night runs: the evening day run at the bottom, the morning at the top.
  const NightRuns n = m_chart.AnalyseNight(d + 0.5, 58, p.B, p.pxPerHour, m_site);
  EXPECT_GT(n.dFirstLen, 22);
  EXPECT_GT(n.dLastLen, 22);
  EXPECT_LT(n.dFirstMid, n.dLastMid);
  EXPECT_EQ(n.dMoonLen, 0);  // no moonlit run at new moon
}

TEST_F(VisibilityChartReal, MessagesWhenNoAltitudeIsDrawn)
{
  // Upper culmination at Tokyo: 90 - 35.7 + dec.
  struct Case {
    double decDeg;
    const char* text;
    double maxAltDeg;
  } cases[] = {
      {-80, "天体は地平線の上に出ません(最高高度 -25.7度)", -25.7},
      {-50, "天体の高度は最高でも4.3度で、表示の下限(10度)に届きません", 4.3},
  };
  for (const Case& k : cases) {
    CVisibilityChartDlg& c = m_chart;
    for (int i = 0; i < c.m_nSamples; ++i) c.m_objDec[i] = k.decDeg * kRadPerDeg;
    const ChartRaster r = c.RenderRaster(780, 540, m_site);
    EXPECT_FALSE(r.bAnyAltitude);
    EXPECT_NEAR(r.dMaxAlt / kRadPerDeg, k.maxAltDeg, 0.04);
    EXPECT_NE(c.PlotMessage(r).find(k.text), std::string::npos) << c.PlotMessage(r);
  }
  // An object 5 degrees east of the Sun rises above 10 degrees only by day.
  for (int i = 0; i < m_chart.m_nSamples; ++i) {
    const double t = m_chart.m_dTableStart + i * 0.25;
    const int d = std::clamp(static_cast<int>(t - m_chart.m_dStartJd), 0, 299);
    double ra = m_chart.m_dayRows[d].dSunRa + 5 * kRadPerDeg;
    while (i > 0 && ra - m_chart.m_objRa[i - 1] > kPi) ra -= kTwoPi;  // continuous, as the tables are
    while (i > 0 && m_chart.m_objRa[i - 1] - ra > kPi) ra += kTwoPi;
    m_chart.m_objRa[i] = ra;
    m_chart.m_objDec[i] = m_chart.m_dayRows[d].dSunDec;
  }
  ChartRaster r = m_chart.RenderRaster(780, 540, m_site);
  EXPECT_FALSE(r.bAnyAltitude);
  EXPECT_GT(r.dMaxAlt, 10 * kRadPerDeg);
  EXPECT_EQ(m_chart.PlotMessage(r), "この期間、天体は太陽との離角が12度未満のため、高度は表示していません");
  m_chart.m_nObjValid = 0;
  EXPECT_EQ(m_chart.PlotMessage(r), "この期間の天体の位置が計算できないため、高度は表示していません");
}

} // namespace

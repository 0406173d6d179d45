// The ephemeris table's text: fields that do not fit, the rounding and
// carries of positions and dates, the time grid and its refusals, and the
// two layouts' headers and special texts.
#include <gtest/gtest.h>

#include <string>

#include "astro/time_scales.h"
#include "ephemeris/ephemeris_table.h"
#include "tests/ephemeris/ephemeris_test_support.h"

namespace {

EphemerisRow PlainRow(double jd) {
  EphemerisRow r{};
  r.m_dJdTT = jd;
  r.m_dRaHours = 12.5;
  r.m_dDecDeg = 10.25;
  r.m_dDeltaAu = 1.23456;
  r.m_dRAu = 2.3456;
  r.m_dRaChangeMin = 1.5;
  r.m_dDecChangeArcmin = -2.5;
  r.m_dRateArcminPerDay = 12.3;
  r.m_dMotionPaDeg = 45.0;
  r.m_dElongationDeg = 120.0;
  r.m_dPhaseDeg = 20.0;
  r.m_dM1 = 12.3;
  r.m_dM2 = 99.9;
  r.m_dMoonSeparationDeg = 90.0;
  r.m_dMoonIllumination = 0.5;
  return r;
}

}  // namespace

// A value wider than its column loses decimals, then becomes stars: never a
// dropped sign or leading digit (keeping the last n characters printed a Δ of
// 123.45 AU as 23.45, an m1 of -10.0 as 10.0, a Dec motion of -123.4 as 123.4).
TEST(EphemerisFields, ValuesThatDoNotFitCannotBeMisread) {
  struct Case {
    double value;
    int decimals;
    size_t width;
    bool sign;
    const char* text;
  } const cases[] = {
      {1.23456, 5, 8, false, " 1.23456"},  {123.45, 5, 8, false, "123.4500"},  {-10.0, 1, 4, false, " -10"},
      {12.3, 1, 4, false, "12.3"},         {-123.4, 1, 5, true, " -123"},      {99.9, 1, 5, true, "+99.9"},
      {-0.001, 2, 7, true, "  -0.00"},     {123456.0, 1, 5, true, "*****"},    {0.53, 2, 4, false, "0.53"},
      {-12345.678, 2, 7, true, " -12346"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FitFixed(c.value, c.decimals, c.width, c.sign), c.text);
  }
}

TEST(EphemerisFields, PositionsRoundAndCarry) {
  EXPECT_EQ(FormatEphemerisRa(23.0 + 59.996 / 60.0), "00 00.00");
  EXPECT_EQ(FormatEphemerisRa(5.5), "05 30.00");
  EXPECT_EQ(FormatEphemerisDec(-0.5), "-00 30.0");
  EXPECT_EQ(FormatEphemerisDec(0.5), "+00 30.0");
  EXPECT_EQ(FormatEphemerisDec(-11.0 - 59.96 / 60.0), "-12 00.0");
}

TEST(EphemerisFields, RowTimesCarryIntoTheNextMonthAndYear) {
  struct Case {
    int y, m, d;
    double seconds;  // into the day
    int ey, em, ed, eh, emin;
  } const cases[] = {
      {2024, 11, 30, 86399.0, 2024, 12, 1, 0, 0},
      {2024, 12, 31, 86370.0, 2025, 1, 1, 0, 0},
      {2024, 2, 28, 86390.0, 2024, 2, 29, 0, 0},
      {2023, 2, 28, 86390.0, 2023, 3, 1, 0, 0},
      {2024, 9, 4, 16 * 3600.0 + 41 * 60.0 + 29.0, 2024, 9, 4, 16, 41},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.y * 10000 + c.m * 100 + c.d);
    int y, m, d, h, mi;
    EphemerisRowDate(CalendarToJd(c.y, c.m, c.d) + c.seconds / 86400.0, y, m, d, h, mi);
    EXPECT_EQ(y, c.ey);
    EXPECT_EQ(m, c.em);
    EXPECT_EQ(d, c.ed);
    EXPECT_EQ(h, c.eh);
    EXPECT_EQ(mi, c.emin);
  }
}

TEST(EphemerisGrid, RowsOfAPeriodAndItsRefusals) {
  EphemerisPeriod days{2024, 9, 3, 2024, 9, 5, 0, 1, false};
  EphemerisGrid g = BuildEphemerisGrid(days);
  EXPECT_EQ(g.status, kGridOk);
  EXPECT_EQ(g.count, 3);
  EXPECT_EQ(g.startJd, CalendarToJd(2024, 9, 3));

  EphemerisPeriod hours{2024, 9, 3, 2024, 9, 5, 0, 0.1, true};
  g = BuildEphemerisGrid(hours);
  EXPECT_EQ(g.count, 481);
  EXPECT_DOUBLE_EQ(g.stepDays, 0.1 / 24);

  EphemerisPeriod half = days;
  half.step = 0.5;  // a day step is whole: 0
  g = BuildEphemerisGrid(half);
  EXPECT_EQ(g.status, kGridNoStep);
  EXPECT_EQ(g.count, 0);
  EXPECT_FALSE(GridRefusalText(g).empty());

  EphemerisPeriod backwards{2024, 9, 5, 2024, 9, 3, 0, 1, false};
  EXPECT_EQ(BuildEphemerisGrid(backwards).status, kGridNoRows);

  EphemerisPeriod decades{1990, 1, 1, 2030, 1, 1, 0, 0.001, true};  // 350 million rows
  g = BuildEphemerisGrid(decades);
  EXPECT_EQ(g.status, kGridTooMany);
  EXPECT_NE(GridRefusalText(g).find("100000"), std::string::npos);

  EphemerisPeriod year{2024, 1, 1, 2025, 1, 1, 0, 1, true};
  EXPECT_EQ(BuildEphemerisGrid(year).count, 8785);  // 366 days of hours and the last instant
}

TEST(EphemerisLayouts, StandardHeaderAndRows) {
  EphemerisLayoutInput in;
  const EphemerisRow row = PlainRow(CalendarToJd(2024, 9, 3));
  std::string text = FormatStandardLayout(in, &row, 1);
  EXPECT_EQ(text.rfind("Date/ 00h  TT  R.A.(2000.0) Decl", 0), 0u) << text;
  EXPECT_NE(text.find(" Daily motion "), std::string::npos);
  std::vector<std::string> body = TextLines(text, 2);
  ASSERT_EQ(body.size(), 1u);
  EXPECT_EQ(body[0],
            " 2024 Sep. 03  12 30.00  +10 15.0   1.23456    2.3456    +1.50   -2.5      12.3/ 45  120.0   20.0  "
            "12.3  --.-   90  0.50");

  in.bHours = true;
  in.bVariation = true;
  EphemerisRow odd = PlainRow(CalendarToJd(2024, 9, 3) + 0.1 / 24);
  odd.m_dMotionPaDeg = 359.7;
  odd.m_dRateArcminPerDay = 10000.0;
  text = FormatStandardLayout(in, &odd, 1);
  EXPECT_EQ(text.rfind("Date/            TT  R.A.", 0), 0u);
  EXPECT_NE(text.find("Variation T=+1"), std::string::npos);
  body = TextLines(text, 2);
  EXPECT_EQ(body[0].substr(0, 19), " 2024 Sep. 03 00:06");
  EXPECT_NE(body[0].find("9999.9/  0"), std::string::npos) << body[0];
}

TEST(EphemerisLayouts, HandbookHeadingRowsAndBlankLines) {
  EphemerisLayoutInput in;
  in.name = "2P/Encke";
  in.e = 0.85;
  in.epochJd = CalendarToJd(2023, 9, 8);
  in.tYear = 2023;
  in.tMonth = 10;
  in.tDay = 22.5;
  in.jdT = CalendarToJd(2023, 10, 22.5);
  in.q = 0.34;
  in.a = 2.2;
  in.P = 3.3;
  in.n = 0.3;
  in.H1 = 11.5;
  in.K1 = 10.0;
  in.rf = -5;
  in.startYearText = "2024";
  in.endYearText = "2025";
  std::vector<EphemerisRow> rows(6, PlainRow(CalendarToJd(2024, 9, 3)));
  rows[0].m_dRaChangeMin = -0.001;
  rows[0].m_dDecChangeArcmin = 0.01;
  rows[0].m_dM1 = 22.1;
  const std::string text = FormatHandbookLayout(in, rows.data(), 6);
  EXPECT_EQ(text.rfind("          Comet 2P/Encke\r\n\r\n          Epoch = 2023 Sept. 8.0      TT\r\n", 0), 0u)
      << text;
  EXPECT_NE(text.find("          T     = 2023 Oct.  22.50000 TT\r\n"), std::string::npos);
  EXPECT_NE(text.find("P =   3.30 years"), std::string::npos);
  EXPECT_NE(text.find("log(r(t-5))"), std::string::npos);
  EXPECT_NE(text.find("\r\n2024/25    h  m"), std::string::npos);
  EXPECT_NE(text.find("Sep.  3  12 30.00 +10 15.0   1.235  2.346   0.00    0.0    . "), std::string::npos) << text;
  // An empty line after every fifth row.
  EXPECT_NE(text.find("120.0\r\n\r\nSep."), std::string::npos);

  // A T month with no name: the date the calculation made of the fields.
  in.tMonth = 13;
  in.tYear = 2023;
  in.tDay = 5;
  in.jdT = CalendarToJd(2024, 1, 5);
  EXPECT_NE(FormatHandbookLayout(in, rows.data(), 1).find("T     = 2024 Jan.   5.00000 TT"), std::string::npos);
}

// The search range on real elements: 67P/Churyumov-Gerasimenko (JPL K212/38,
// osculating 2016 October 30, M1 12.8, k1 8) typed into the ephemeris view
// and handed over by its calculation, for the target date 2016 October 30.
// The nominal and +1 day rows read back as the ephemeris rows of that date
// and their variation for T + 1 day.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "astro/angle_units.h"
#include "astro/ephemeris_rows.h"
#include "astro/time_scales.h"
#include "platform/numbers.h"
#include "tests/ephemeris/ephemeris_test_support.h"
#include "views/search_range.h"

namespace {

struct RangeWindow : CSearchRangeDlg {
  RangeWindow() {
    m_bHeadlessWindow = 1;
    OnInitDialog();
    SetItemText(kRangeYear, "2016");
    SetItemText(kRangeMonth, "10");
    SetItemText(kRangeDay, "30");
  }
};

// The open search range is this headless one.
struct RangeSinks : HeadlessToolSinks {
  SearchRangeSink* SearchRange() override { return &range; }
  SearchRangeSink* OpenSearchRange() override { return &range; }
  RangeWindow range;
};

// Right ascension (hours) and declination (degrees) printed from column 9.
void PrintedPlace(const std::string& row, double& raHours, double& decDeg) {
  raHours = std::atof(row.substr(9, 2).c_str()) + std::atof(row.substr(12, 2).c_str()) / 60 +
            std::atof(row.substr(15, 4).c_str()) / 3600;
  decDeg = (row[21] == '-' ? -1 : 1) * (std::atof(row.substr(22, 2).c_str()) +
                                        std::atof(row.substr(25, 2).c_str()) / 60 +
                                        std::atof(row.substr(28, 2).c_str()) / 3600);
}

}  // namespace

class SearchRangeReal : public EphCalcTest {
protected:
  RangeSinks m_rangeSinks;
  ScopedToolSinks m_scopedRange{m_rangeSinks};
};

TEST_F(SearchRangeReal, Comet67PAgreesWithTheEphemerisRows) {
  TSR_REQUIRE_DATA(horizons, "ephem/horizons_67P_K212-38_excerpt.txt");
  const double T = 2457247.9181367746;
  double y, m, d;
  JdToCalendar(T, y, m, d);
  EphForm& f = m_form;
  f.SetItemText(kEphObject, "67P/Churyumov-Gerasimenko");
  f.SetItemText(kEphTYear, FormatC("%d", static_cast<int>(y)));
  f.SetItemText(kEphTMonth, FormatC("%d", static_cast<int>(m)));
  f.SetItemText(kEphTDay, FormatC("%.10f", d));
  f.SetItemText(kEphQ, "1.240472505873183");
  f.SetItemText(kEphE, "0.6419142432787543");
  f.SetItemText(kEphPeri, "12.83931267126669");
  f.SetItemText(kEphNode, "50.04561279541581");
  f.SetItemText(kEphIncl, "7.052951527506115");
  f.SetItemText(kEphH1, "12.8");
  f.SetItemText(kEphK1, "8");
  f.SetItemText(kEphStartYear, "2016");
  f.SetItemText(kEphStartMonth, "10");
  f.SetItemText(kEphStartDay, "30");
  f.SetItemText(kEphEndYear, "2016");
  f.SetItemText(kEphEndMonth, "10");
  f.SetItemText(kEphEndDay, "31");
  f.SetItemText(kEphStep, "1");
  f.OnCalc();

  RangeWindow& r = m_rangeSinks.range;
  const std::vector<std::string> lines = TextLines(r.m_strTable);
  ASSERT_EQ(lines.size(), 14u) << r.GetItemText(kRangeTable);
  EXPECT_EQ(lines[0], "捜索範囲(変差線)  67P/Churyumov-Gerasimenko");
  EXPECT_EQ(lines[1], "対象日時: 2016/10/30 TT   T=2015/8/13.41814  q=1.24047  e=0.64191");
  const std::string& nominal = lines[8];
  const std::string& plusOne = lines[9];
  ASSERT_EQ(nominal.substr(0, 7), "  +0.00");
  ASSERT_EQ(plusOne.substr(0, 7), "  +1.00");

  // The ephemeris rows for 0 h TT with the variation for T + 1 day, and those of the orbit with T + 1.
  const DisplayOrbit& o = f.m_orbit;
  const double t = CalendarToJd(2016, 10, 30);
  EphemerisRow rows[1], shifted[1];
  ASSERT_EQ(ComputeEphemerisRows(0, ' ', 1, t, 1.0, 1, o.m_dT, o.m_dQ, o.m_dE, o.m_dPeri, o.m_dNode, o.m_dIncl, 12.8,
                                 0, 8, 0, 0, 0, rows), 1);
  ASSERT_EQ(ComputeEphemerisRows(0, ' ', 1, t, 1.0, 1, o.m_dT + 1, o.m_dQ, o.m_dE, o.m_dPeri, o.m_dNode, o.m_dIncl,
                                 12.8, 0, 8, 0, 0, 0, shifted), 1);
  const double raHalf = 0.05 / 3600 + 1e-9, decHalf = 0.5 / 3600 + 1e-9;
  double ra, dec;
  PrintedPlace(nominal, ra, dec);
  EXPECT_NEAR(ra, rows[0].m_dRaHours, raHalf);
  EXPECT_NEAR(dec, rows[0].m_dDecDeg, decHalf);
  EXPECT_EQ(nominal.substr(46, 7), FormatC("  %5.1f", rows[0].m_dM1));
  PrintedPlace(plusOne, ra, dec);
  EXPECT_NEAR(ra, rows[0].m_dRaHours + rows[0].m_dRaChangeMin / 60, raHalf + 1e-7);
  EXPECT_NEAR(dec, rows[0].m_dDecDeg + rows[0].m_dDecChangeArcmin / 60, decHalf + 1e-6);
  EXPECT_NEAR(ra, shifted[0].m_dRaHours, raHalf);
  EXPECT_NEAR(dec, shifted[0].m_dDecDeg, decHalf);
  EXPECT_EQ(plusOne.substr(46, 7), FormatC("  %5.1f", shifted[0].m_dM1));
  std::printf("%s\n%s\n", nominal.c_str(), plusOne.c_str());

  // The separations grow with |ΔT| on both sides.
  for (int side : {-1, 1}) {
    double last = 0;
    for (int k = 1; k <= 5; ++k) {
      const double sep = std::atof(lines[8 + side * k].substr(32, 7).c_str());
      EXPECT_GT(sep, last) << lines[8 + side * k];
      last = sep;
    }
  }
}

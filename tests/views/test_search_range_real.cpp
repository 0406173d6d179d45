// The search range on real data: 67P/Churyumov-Gerasimenko (JPL K212/38,
// osculating 2016 October 30, M1 12.8, k1 8) typed into the ephemeris view
// and handed over by its calculation, for the target date 2016 October 30:
// the nominal and +1 day rows read back as the ephemeris rows of that date
// and their variation for T + 1 day. And the Väisälä view's family of a
// first night, whose distance line passes the object's place two nights on.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "astro/angle_units.h"
#include "astro/ephemeris_rows.h"
#include "astro/time_scales.h"
#include "data/comet_list.h"
#include "data/observation_reader.h"
#include "ephemeris/vaisala.h"
#include "platform/app_services.h"
#include "platform/numbers.h"
#include "tests/data/test_observation_support.h"
#include "tests/engine/test_improvement_support.h"
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

// The ephemeris view's own command takes the comet form's fields as they
// stand, before any calculation: T from the date fields, angles in degrees,
// K 10 when empty, no magnitude under the asteroid law.
TEST(SearchRangeFeed, EphemerisViewCommandTakesTheTypedFields) {
  RangeSinks sinks;
  ScopedToolSinks scoped(sinks);
  EphForm f;
  f.SetItemText(kEphObject, " 67P ");
  f.SetItemText(kEphTYear, "2015");
  f.SetItemText(kEphTMonth, "8");
  f.SetItemText(kEphTDay, "13.41814");
  f.SetItemText(kEphQ, "1.24047");
  f.SetItemText(kEphE, "0.64191");
  f.SetItemText(kEphPeri, "12.8393");
  f.SetItemText(kEphNode, "50.0456");
  f.SetItemText(kEphIncl, "7.0530");
  f.SetItemText(kEphH1, "12.8");
  f.SetItemText(kEphK1, "");
  f.OnSearchRange();
  const RangeWindow& r = sinks.range;
  EXPECT_EQ(r.m_strName, "67P");
  EXPECT_EQ(r.m_dT, CalendarToJd(2015, 8, 13.41814));
  EXPECT_EQ(r.m_dQ, 1.24047);
  EXPECT_NEAR(r.m_dNode, 50.0456 * kRadPerDeg, 1e-15);
  EXPECT_EQ(r.m_dH, 12.8);
  EXPECT_EQ(r.m_dSlope, 10.0);
  EXPECT_EQ(r.m_nMode, 0);
  EXPECT_EQ(r.m_nPoints, 11);
  f.OnAsteroidMagnitude();
  f.OnSearchRange();
  EXPECT_EQ(r.m_dH, 0.0);
}

// The Väisälä view's family of 2015 TF202 from its first night (G45, 2015
// October 10), handed over by the view's command and computed for the time of
// the first observation of the third night: the observed place lies 0.12'
// from the distance line (geocentric; the station's parallax is of that
// order), whose 14 points run up to 2.8' apart.
class SearchRangeFamilyReal : public RealStationsTest {
protected:
  // The lines of a shared file observed on one date, in a file of the test folder.
  std::string NightFile(const std::string& date, const std::string& name) {
    const std::string path = TestDataPath("obs/mpc80/orbfit_2015TF202.obs");
    if (path.empty() || !TestDataFileExists(path)) return "";
    std::istringstream in(ReadTestFile(path));
    std::string line, out;
    while (std::getline(in, line))
      if (line.size() > 25 && line.compare(15, date.size(), date) == 0) out += line + "\n";
    return WriteTestFile(s_dir, name, out);
  }

  RangeSinks m_sinks;
  ScopedToolSinks m_scopedSinks{m_sinks};
};

TEST_F(SearchRangeFamilyReal, TF202ThirdNightLiesOnTheDistanceLine) {
  const std::string first = NightFile("2015 10 10", "tf202_night1.obs");
  const std::string third = NightFile("2015 10 12", "tf202_night3.obs");
  if (first.empty() || third.empty()) GTEST_SKIP() << MissingDataMessage("obs/mpc80/orbfit_2015TF202.obs");
  CVaisala view;
  ASSERT_TRUE(view.OpenObsFile(first));
  view.OnSearchRange();
  RangeWindow& r = m_sinks.range;
  ASSERT_EQ(r.m_nMode, 1);
  ASSERT_GT(view.m_nCandidates, 1);
  EXPECT_EQ(r.m_nFamily, view.m_nCandidates);
  EXPECT_EQ(r.m_nBest, view.m_nChosen);
  // The day after the last observation.
  EXPECT_EQ(r.GetItemText(kRangeYear) + "/" + r.GetItemText(kRangeMonth) + "/" + r.GetItemText(kRangeDay),
            "2015/10/11");
  EXPECT_EQ(r.m_nPoints, r.m_nFamily);

  ObservationRecord* obs = nullptr;
  ASSERT_GT(CTessaruneLib::GetMpcObs(third, &obs), 0);
  const ObservationRecord seen = obs[0];
  std::free(obs);
  double y, m, d;
  JdToCalendar(seen.m_dJdTt, y, m, d);
  r.SetItemText(kRangeDay, FormatC("%.6f", d));
  r.Compute();
  ASSERT_EQ(r.m_nPoints, r.m_nFamily);
  ASSERT_GE(r.m_nNominal, 0);

  // Offsets (arcmin) of the line's points from the observed place; the
  // nearest approach of the line to it.
  std::vector<std::pair<double, double>> offsets;
  for (int j = 0; j < r.m_nPoints; ++j) {
    double dRa = r.m_aPoints[j].dRa - seen.m_dRa;
    dRa -= kTwoPi * std::round(dRa / kTwoPi);
    offsets.push_back(
        {dRa * std::cos(seen.m_dDec) * kDegPerRad * 60, (r.m_aPoints[j].dDec - seen.m_dDec) * kDegPerRad * 60});
  }
  double nearest = 1e9, spacing = 0;
  for (size_t i = 0; i + 1 < offsets.size(); ++i) {
    const double ax = offsets[i].first, ay = offsets[i].second;
    const double dx = offsets[i + 1].first - ax, dy = offsets[i + 1].second - ay;
    const double u = std::clamp(-(ax * dx + ay * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    nearest = std::min(nearest, std::hypot(ax + u * dx, ay + u * dy));
    spacing = std::max(spacing, std::hypot(dx, dy));
  }
  std::printf("%d candidates, best %.2f AU; observed place %.3f' from the line (largest step %.2f')\n",
              r.m_nPoints, r.m_aPoints[r.m_nNominal].dLabel, nearest, spacing);
  EXPECT_LT(nearest, 0.4);
  EXPECT_GT(spacing, 4 * nearest);
}

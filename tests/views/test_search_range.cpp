// The search range without its window: the position text, the tables of
// both modes with their messages and input rules, the family hand-over, and
// the chart's geometry, zoom, hover and copied picture.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "astro/angle_units.h"
#include "astro/jpl_eph.h"
#include "astro/time_scales.h"
#include "platform/numbers.h"
#include "tests/ephemeris/ephemeris_test_support.h"
#include "tests/views/recording_canvas.h"
#include "views/search_range.h"

namespace {

// A window whose controls are the model's map, opened on 2024 March 10.
struct Range : CSearchRangeDlg {
  Range() {
    m_bHeadlessWindow = 1;
    OnInitDialog();
  }
  void Today(int& year, int& month, int& day) const override { year = 2024, month = 3, day = 10; }
};

const double kT = CalendarToJd(2024, 3, 10);  // perihelion at the target date

// A comet at perihelion on the target date.
void FeedComet(CSearchRangeDlg& r, double H = 0, double K = 10) {
  r.SetObject("  2P/Encke ", kT, 1.5, 0.6, 30 * kRadPerDeg, 60 * kRadPerDeg, 20 * kRadPerDeg, H, K);
}

// Right ascension (rad) and declination (rad) printed in a row from column 9.
void ParsePosition(const std::string& row, double& ra, double& dec) {
  const double h = std::atof(row.substr(9, 2).c_str()), m = std::atof(row.substr(12, 2).c_str()),
               s = std::atof(row.substr(15, 4).c_str());
  const double d = std::atof(row.substr(22, 2).c_str()), am = std::atof(row.substr(25, 2).c_str()),
               as = std::atof(row.substr(28, 2).c_str());
  ra = (h + m / 60 + s / 3600) * 15 * kRadPerDeg;
  dec = (row[21] == '-' ? -1 : 1) * (d + am / 60 + as / 3600) * kRadPerDeg;
}

// Separation (arcmin) and position angle (deg, north through east) by vectors.
void SeparationAndAngle(double ra0, double dec0, double ra, double dec, double& sepArcmin, double& paDeg) {
  const double a[3] = {std::cos(dec0) * std::cos(ra0), std::cos(dec0) * std::sin(ra0), std::sin(dec0)};
  const double b[3] = {std::cos(dec) * std::cos(ra), std::cos(dec) * std::sin(ra), std::sin(dec)};
  const double cross[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  sepArcmin = std::atan2(std::sqrt(cross[0] * cross[0] + cross[1] * cross[1] + cross[2] * cross[2]),
                         a[0] * b[0] + a[1] * b[1] + a[2] * b[2]) * kDegPerRad * 60;
  // East and north unit vectors at the first place.
  const double east[3] = {-std::sin(ra0), std::cos(ra0), 0};
  const double north[3] = {-std::sin(dec0) * std::cos(ra0), -std::sin(dec0) * std::sin(ra0), std::cos(dec0)};
  paDeg = std::atan2(b[0] * east[0] + b[1] * east[1], b[0] * north[0] + b[1] * north[1] + b[2] * north[2]) *
          kDegPerRad;
  if (paDeg < 0) paDeg += 360;
}

std::vector<VaisalaCandidate> Family(int n) {
  std::vector<VaisalaCandidate> family;
  for (int i = 0; i < n; ++i)
    family.push_back({0.1 * (i + 1), kT - 20 + 0.05 * i, 1.2 + 0.002 * i, 0.3, 0.5, 1.0, 0.2});
  return family;
}

}  // namespace

TEST(SearchRange, PositionTextRoundsAndCarries) {
  struct Case {
    double raHours, decDeg;
    const char* expected;
  } cases[] = {
      {12 + 34 / 60.0 + 56.78 / 3600, 45 + 6 / 60.0 + 7.4 / 3600, "12 34 56.8  +45 06 07"},
      // 59.96 s and 59.6" carry into the minute, the hour and the degree.
      {1 + 59 / 60.0 + 59.96 / 3600, -(10 + 59 / 60.0 + 59.6 / 3600), "02 00 00.0  -11 00 00"},
      {23 + 59 / 60.0 + 59.97 / 3600, 0.2 / 3600, "00 00 00.0  +00 00 00"},
      {5 + 4 / 60.0 + 59.94 / 3600, -1.4 / 3600, "05 04 59.9  -00 00 01"},
      {-1, 89.99999, "23 00 00.0  +90 00 00"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SearchRangePositionText(c.raHours * 15 * kRadPerDeg, c.decDeg * kRadPerDeg), c.expected)
        << c.raHours;
}

TEST(SearchRange, OpensWithTodayAndItsDefaults) {
  Range r;
  EXPECT_EQ(r.GetItemText(kRangeYear), "2024");
  EXPECT_EQ(r.GetItemText(kRangeMonth), "3");
  EXPECT_EQ(r.GetItemText(kRangeDay), "10");
  EXPECT_EQ(r.GetItemText(kRangeHalfSpan), "5");
  EXPECT_EQ(r.GetItemText(kRangeStep), "1");
  EXPECT_EQ(r.GetItemText(kRangeFov), "60");
  EXPECT_EQ(r.HelpTitle(), "変差線とは");
}

// Mode 0: the rows from -T± to +T±, the shift 0 always the nominal row.
TEST(SearchRange, ShiftTablesFollowTheirInputRules) {
  ASSERT_EQ(g_pJplEph, nullptr);  // the Sun at the observer: delta = r
  struct Case {
    const char *half, *step;
    std::vector<double> shifts;  // empty: from first to last by stride
    double first, last, stride;
  } cases[] = {
      {"5", "1", {}, -5, 5, 1},
      {"300", "1", {}, -300, 300, 2},  // 601 shifts: the step doubles
      {"-5", "-1", {}, -5, 5, 1},
      {"0", "1", {}, -5, 5, 1},
      {"abc", "", {}, -5, 5, 1},
      {"5", "2", {-5, -3, -1, 0, 1, 3, 5}, 0, 0, 0},  // 0 is not on the grid: it is added
      {"4.4", "2", {-4.4, -2.4, -0.4, 0, 1.6, 3.6}, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.half) + "/" + c.step);
    Range r;
    r.SetItemText(kRangeHalfSpan, c.half);
    r.SetItemText(kRangeStep, c.step);
    FeedComet(r);
    std::vector<double> shifts = c.shifts;
    if (shifts.empty())
      for (double d = c.first; d <= c.last + 1e-9; d += c.stride) shifts.push_back(d);

    const std::vector<std::string> lines = TextLines(r.GetItemText(kRangeTable));
    EXPECT_EQ(r.m_strTable, r.GetItemText(kRangeTable));
    ASSERT_EQ(lines.size(), shifts.size() + 3);
    EXPECT_EQ(lines[0], "捜索範囲(変差線)  2P/Encke");
    EXPECT_EQ(lines[1], "対象日時: 2024/3/10 TT   T=2024/3/10.00000  q=1.50000  e=0.60000");
    EXPECT_EQ(lines[2], "  ΔT日    R.A. (2000.0) Decl.       離角′   PA°    m1");
    ASSERT_EQ(r.m_nPoints, static_cast<int>(shifts.size()));
    const int zero = static_cast<int>(std::find(shifts.begin(), shifts.end(), 0.0) - shifts.begin());
    EXPECT_EQ(r.m_nNominal, zero);
    double ra0, dec0;
    ParsePosition(lines[3 + zero], ra0, dec0);
    for (size_t i = 0; i < shifts.size(); ++i) {
      const std::string& row = lines[3 + i];
      SCOPED_TRACE(row);
      EXPECT_EQ(row.substr(0, 7), FormatC("%+7.2f", shifts[i]));
      EXPECT_EQ(row.substr(46, 7), "   --.-");  // H 0: no magnitude
      if (static_cast<int>(i) == zero) {
        EXPECT_EQ(row.substr(30), "      0.0    ---   --.-  ←予報位置");
        continue;
      }
      EXPECT_EQ(row.find("←"), std::string::npos);
      double ra, dec, sep, pa;
      ParsePosition(row, ra, dec);
      SeparationAndAngle(ra0, dec0, ra, dec, sep, pa);
      // The printed places are rounded to 0.1 s and 1": the offsets agree to that.
      EXPECT_NEAR(std::atof(row.substr(32, 7).c_str()), sep, 0.05 + 0.03);
      if (sep > 1) {
        EXPECT_NEAR(std::atof(row.substr(41, 5).c_str()), pa, 0.05 + 2.0 / sep);
      }
    }
  }
}

TEST(SearchRange, MagnitudeColumn) {
  ASSERT_EQ(g_pJplEph, nullptr);
  Range r;
  // At perihelion, seen from the Sun: m1 = H + (5 + K) log10 q.
  FeedComet(r, 10, 8);
  std::vector<std::string> lines = TextLines(r.m_strTable);
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_EQ(lines[8].substr(46, 7), FormatC("  %5.1f", 10 + 13 * std::log10(1.5)));
  EXPECT_NEAR(r.m_aPoints[5].dMag, 10 + 13 * std::log10(1.5), 1e-6);
  // Never brighter than -10.
  FeedComet(r, -50, 8);
  lines = TextLines(r.m_strTable);
  EXPECT_EQ(lines[8].substr(46, 7), "  -10.0");
}

TEST(SearchRange, MessagesLeaveNoPointsAndKeepTheLastTable) {
  Range r;
  r.Compute();
  EXPECT_EQ(r.GetItemText(kRangeTable), kRangeNoOrbit);
  FeedComet(r);
  const std::string table = r.m_strTable;
  ASSERT_EQ(r.m_nPoints, 11);

  struct Case {
    int id;
    const char* text;
    const char* message;
  } cases[] = {
      {kRangeDay, "0", kRangeNoDate},
      {kRangeMonth, "", kRangeNoDate},
      {kRangeYear, "年", kRangeNoDate},
  };
  for (const Case& c : cases) {
    Range m;
    FeedComet(m);
    const std::string before = m.m_strTable;
    m.SetItemText(c.id, c.text);
    m.Compute();
    EXPECT_EQ(m.GetItemText(kRangeTable), c.message);
    EXPECT_EQ(m.m_nPoints, 0);
    EXPECT_EQ(m.m_nNominal, -1);
    EXPECT_EQ(m.m_strTable, before);
    RecordingCanvas g;
    m.DrawRangeChart(g, 600, 300, true);
    ASSERT_EQ(g.texts.size(), 1u);
    EXPECT_EQ(g.texts[0].text, kRangeEmptyChart);
  }
  // An orbit whose place cannot be computed.
  r.SetObject("x", std::nan(""), 1.5, 0.6, 0, 0, 0, 0, 10);
  EXPECT_EQ(r.GetItemText(kRangeTable), kRangeNoPosition);
  EXPECT_EQ(r.m_nPoints, 0);
  EXPECT_EQ(r.m_strTable, table);
  // No orbit at all.
  r.SetObject("x", kT, 0, 0.6, 0, 0, 0, 0, 10);
  EXPECT_EQ(r.GetItemText(kRangeTable), kRangeNoOrbit);
}

// Mode 1: one row per candidate that has a place, offsets from the best one.
TEST(SearchRange, FamilyRowsMarkTheBestAndSkipCandidatesWithoutPerihelion) {
  Range r;
  r.m_dZoom = 3;
  std::vector<VaisalaCandidate> family = Family(5);
  family[1].q = 0;
  r.SetVaisalaFamily(" 2024 AB ", family.data(), 5, 3, CalendarToJd(2024, 4, 1.8));
  EXPECT_EQ(r.m_nMode, 1);
  EXPECT_EQ(r.m_dZoom, 1.0);
  EXPECT_EQ(r.m_dH, 0.0);
  EXPECT_EQ(r.HelpTitle(), "距離変差線の見かた");
  // The day after the last observation, whole.
  EXPECT_EQ(r.GetItemText(kRangeYear), "2024");
  EXPECT_EQ(r.GetItemText(kRangeMonth), "4");
  EXPECT_EQ(r.GetItemText(kRangeDay), "2");

  const std::string table = r.m_strTable;
  const std::vector<std::string> lines = TextLines(table);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "捜索範囲(距離変差線)  2024 AB");
  EXPECT_EQ(lines[1], "対象日時: 2024/4/2 TT   バイサラ軌道の候補 5個(地心距離を仮定した軌道の族)");
  EXPECT_EQ(lines[2], "  Δ(AU)   R.A. (2000.0) Decl.       離角′   PA°");
  const char* labels[] = {"   0.10", "   0.30", "   0.40", "   0.50"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(lines[3 + i].substr(0, 7), labels[i]);
  EXPECT_EQ(lines[5].substr(30), "      0.0    ---  ←最良の候補");
  EXPECT_EQ(lines[6].size(), 46u);  // no m1 column
  EXPECT_EQ(r.m_nNominal, 2);
  EXPECT_EQ(r.m_aPoints[2].dLabel, 0.4);

  // T± and 刻み take no part.
  r.SetItemText(kRangeHalfSpan, "300");
  r.SetItemText(kRangeStep, "7");
  r.Compute();
  EXPECT_EQ(r.m_strTable, table);

  // A best candidate without a place, and an empty family.
  family[3].q = -1;
  r.SetVaisalaFamily("x", family.data(), 5, 3, 0);
  EXPECT_EQ(r.GetItemText(kRangeTable), kRangeNoFamily);
  EXPECT_EQ(r.GetItemText(kRangeDay), "2");  // no last observation: the date stays
  r.SetVaisalaFamily("x", family.data(), 0, 0, 0);
  EXPECT_EQ(r.GetItemText(kRangeTable), kRangeNoOrbit);
}

// 450 candidates with the best at 420: only 401 are kept, and the best index
// is checked against those, so the reference is a kept candidate.
TEST(SearchRange, FamilyLargerThanTheTableKeepsADefinedBest) {
  const std::vector<VaisalaCandidate> family = Family(450);
  SearchRangeFamily given;
  given.m_strName = "big";
  given.m_family = family;
  given.m_nBest = 420;
  given.m_bValid = 1;
  for (int way = 0; way < 2; ++way) {
    Range r;
    if (way == 0)
      r.SetVaisalaFamily("big", family.data(), 450, 420, kT);
    else
      r.SetVaisalaFamily(given);
    EXPECT_EQ(r.m_nFamily, 401);
    EXPECT_EQ(r.m_nBest, 0);
    EXPECT_EQ(r.m_nPoints, 401);
    EXPECT_EQ(r.m_nNominal, 0);
    const std::vector<std::string> lines = TextLines(r.m_strTable);
    ASSERT_EQ(lines.size(), 404u);
    EXPECT_NE(lines[3].find("←最良の候補"), std::string::npos);
    EXPECT_EQ(r.m_strTable.find("←最良の候補"), r.m_strTable.rfind("←最良の候補"));
  }
}

// ---- chart ----

TEST(SearchRangeChart, EmptyBeforeTheFirstComputation) {
  Range r;
  RecordingCanvas g;
  r.DrawRangeChart(g, 600, 300, true);
  ASSERT_EQ(g.texts.size(), 1u);
  EXPECT_EQ(g.texts[0].text, kRangeEmptyChart);
  EXPECT_EQ(g.texts[0].at.x, 10);
  EXPECT_EQ(g.texts[0].at.y, 10);
}

// The field circle is a third of the height whatever the line's length; with
// no field the farthest point lies 0.42 of the smaller side from the centre.
TEST(SearchRangeChart, ScaleFromTheFieldOrTheLine) {
  const int W = 640, H = 300;
  for (const char* half : {"5", "50"}) {
    Range r;
    r.SetItemText(kRangeHalfSpan, half);
    FeedComet(r);
    RecordingCanvas g;
    r.DrawRangeChart(g, W, H, true);
    ASSERT_EQ(g.Count('s', 0xFF6E788C), 1);
    for (const auto& s : g.shapes)
      if (s.kind == 's') {
        EXPECT_NEAR(s.size, H / 3.0, 1e-3);
        EXPECT_TRUE(s.dashed);
        EXPECT_EQ(s.pts[0].x, W / 2);
        EXPECT_EQ(s.pts[0].y, H / 2);
      }
    ASSERT_NE(g.FindText("視野 60′"), nullptr);
    EXPECT_NEAR(g.FindText("視野 60′")->at.x, W / 2 + 0.72 * H / 6, 1e-3);
  }
  Range r;
  r.SetItemText(kRangeFov, "0");
  FeedComet(r);
  RecordingCanvas g;
  r.DrawRangeChart(g, W, H, true);
  EXPECT_EQ(g.Count('s', 0xFF6E788C), 0);
  double farthest = 0;
  for (const auto& s : g.shapes)
    if (s.kind == 'f') farthest = std::max(farthest, std::hypot(s.pts[0].x - W / 2.0, s.pts[0].y - H / 2.0));
  EXPECT_NEAR(farthest, 0.42 * H, 1e-3);
  // The reference is the orange disc at the centre; east is to the left.
  EXPECT_EQ(g.Count('f', 0xFFFFA028), 1);
  EXPECT_EQ(g.Count('f', 0xFF5AC8FF), 10);
  EXPECT_EQ(g.Count('l', 0xFF5AC8FF), 10);
}

TEST(SearchRangeChart, HundredPointsAreLabelledEveryFifth) {
  Range r;
  r.m_nMode = 1;
  for (int j = 0; j < 100; ++j) r.m_aPoints.push_back({0.1 * (j + 1), 1.0 + 1e-4 * j, 0.2 + 5e-5 * j, 99.9});
  r.m_nPoints = 100;
  r.m_nNominal = 50;
  RecordingCanvas g;
  r.DrawRangeChart(g, 640, 300, true);
  std::vector<std::string> labels, expected;
  for (const auto& t : g.texts)
    if (t.font == SceneFont::Label && t.argb == 0xFF8C91A0 && t.text.find_first_not_of("0123456789.") == std::string::npos)
      labels.push_back(t.text);
  for (int j = 0; j < 100; j += 5)
    if (j != 50) expected.push_back(FormatC("%g", 0.1 * (j + 1)));
  EXPECT_EQ(labels, expected);
  EXPECT_NE(g.FindText("点の数値 = 仮定した地心距離(AU)   橙 = 最良の候補"), nullptr);
}

TEST(SearchRangeChart, ZoomByButtonsAndWheelStaysWithinItsLimits) {
  const int W = 640, H = 300;
  Range r;
  FeedComet(r);
  const std::vector<double> expected = {1.25, 1.5625, 1.953125};
  for (double z : expected) {
    EXPECT_TRUE(r.ClickZoom(W - 45, H - 19, W, H));
    EXPECT_DOUBLE_EQ(r.m_dZoom, z);
  }
  for (int i = 0; i < 30; ++i) r.ClickZoom(W - 45, H - 19, W, H);
  EXPECT_EQ(r.m_dZoom, 20.0);
  for (int i = 0; i < 40; ++i) r.ClickZoom(W - 19, H - 19, W, H);
  EXPECT_EQ(r.m_dZoom, 0.1);
  for (int i = 0; i < 40; ++i) r.WheelZoom(1);
  EXPECT_EQ(r.m_dZoom, 20.0);
  for (int i = 0; i < 40; ++i) r.WheelZoom(-1);
  EXPECT_EQ(r.m_dZoom, 0.1);
  r.WheelZoom(1);
  EXPECT_DOUBLE_EQ(r.m_dZoom, 0.115);
  EXPECT_FALSE(r.ClickZoom(W / 2, H / 2, W, H));
  EXPECT_DOUBLE_EQ(r.m_dZoom, 0.115);

  // One [+] and one [−] from 1: no zoom text.
  r.m_dZoom = 1;
  r.ClickZoom(W - 45, H - 19, W, H);
  RecordingCanvas zoomed;
  r.DrawRangeChart(zoomed, W, H, true);
  ASSERT_NE(zoomed.FindText("×"), nullptr);
  EXPECT_EQ(zoomed.FindText("×")->at.x, W - 56 - 34);
  r.ClickZoom(W - 19, H - 19, W, H);
  RecordingCanvas back;
  r.DrawRangeChart(back, W, H, true);
  EXPECT_EQ(back.FindText("×"), nullptr);
  // The zoom scales the field circle.
  r.m_dZoom = 2;
  RecordingCanvas twice;
  r.DrawRangeChart(twice, W, H, true);
  for (const auto& s : twice.shapes) {
    if (s.kind == 's') {
      EXPECT_NEAR(s.size, 2 * H / 3.0, 1e-3);
    }
  }
}

TEST(SearchRangeChart, ButtonsAndHover) {
  const int W = 640, H = 300;
  struct Case {
    float x, y;
    int button;
  } cases[] = {
      {W - 56, H - 30, 1}, {W - 35, H - 9, 1}, {W - 34, H - 20, 0}, {W - 57, H - 20, 0},
      {W - 30, H - 30, 2}, {W - 9, H - 9, 2},  {W - 8, H - 20, 0},  {W - 40, H - 31, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(CSearchRangeDlg::ZoomButtonAt(c.x, c.y, W, H), c.button) << c.x << "," << c.y;

  Range r;
  FeedComet(r);
  EXPECT_TRUE(r.SetHotButton(2));
  EXPECT_FALSE(r.SetHotButton(2));
  RecordingCanvas g;
  r.DrawRangeChart(g, W, H, true);
  EXPECT_EQ(g.Count('y', 0xE6465478), 1);
  EXPECT_EQ(g.Count('y', 0xBE283046), 1);
  EXPECT_EQ(g.Count('l', 0xFFE1E6F0), 3);  // "+" has two strokes, "−" one
  EXPECT_TRUE(r.SetHotButton(0));
}

TEST(SearchRangeChart, ScaleBar) {
  struct Case {
    double v, bar;
  } cases[] = {
      {125, 120}, {60, 60}, {59.9, 50}, {10, 10}, {9.5, 9}, {1, 1},
      {0.99, 50 / 60.0}, {0.2, 10 / 60.0}, {0.1, 6 / 60.0}, {0.01, 0},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(ScaleBarArcmin(c.v), c.bar) << c.v;

  // Field 60': the circle (1°) is 100 pixels wide, so a quarter of the
  // height (75 px) is 45' and the bar 40', 66.7 pixels.
  Range r;
  FeedComet(r);
  RecordingCanvas g;
  r.DrawRangeChart(g, 640, 300, true);
  bool found = false;
  for (const auto& s : g.shapes)
    if (s.kind == 'l' && s.argb == 0xFFC8CDD7) {
      found = true;
      EXPECT_EQ(s.pts[0].x, 10);
      EXPECT_EQ(s.pts[0].y, 286);
      EXPECT_NEAR(s.pts[1].x, 10 + 200 / 3.0, 1e-3);
    }
  EXPECT_TRUE(found);
  ASSERT_NE(g.FindText("40′"), nullptr);
  EXPECT_NEAR(g.FindText("40′")->at.x, 12 + 200 / 3.0, 1e-3);
  // Field 10' zoomed 20 times: a quarter of the height is 22.5", the bar 20".
  r.SetItemText(kRangeFov, "10");
  r.Compute();
  r.m_dZoom = 20;
  RecordingCanvas in;
  r.DrawRangeChart(in, 640, 300, true);
  ASSERT_NE(in.FindText("20″"), nullptr);
  EXPECT_NEAR(in.FindText("20″")->at.x, 12 + 75 * 20 / 22.5, 1e-3);
}

TEST(SearchRangeChart, CopiedPictureSizeAndContents) {
  Range r;
  struct Case {
    std::string table;
    int chartW, chartH, width, height;
  } cases[] = {
      {"", 640, 300, 400, 300},
      // 19 bytes in code page 932; the empty line does not count.
      {"捜索範囲(変差線)  X\r\n\r\nab\r\n", 640, 300, 400, 300 + 2 * 17 + 16},
      {std::string(70, 'a') + "\r\n", 640, 300, 580, 300 + 17 + 16},
      // Wider than the chart: the chart's width, lines not wrapped.
      {std::string(200, 'a') + "\n" + std::string(3, 'b'), 640, 300, 640, 300 + 2 * 17 + 16},
      {"a", 640, 0, 0, 0},
  };
  for (const Case& c : cases) {
    r.m_strTable = c.table;
    const RangeCopyLayout layout = r.CopyImageLayout(c.chartW, c.chartH);
    EXPECT_EQ(layout.width, c.width) << c.table;
    EXPECT_EQ(layout.height, c.height) << c.table;
  }

  FeedComet(r);
  r.m_dZoom = 2;
  r.SetHotButton(1);
  const RangeCopyLayout layout = r.CopyImageLayout(640, 300);
  ASSERT_EQ(layout.lines.size(), 14u);
  RecordingCanvas g;
  r.DrawCopyImage(g, layout);
  EXPECT_EQ(g.Count('l', 0xFFE1E6F0), 0);  // no button glyphs
  EXPECT_EQ(g.Count('y', 0xE6465478) + g.Count('y', 0xBE283046), 0);
  EXPECT_EQ(g.FindText("×"), nullptr);
  int row = 0;
  for (const auto& t : g.texts)
    if (t.font == SceneFont::Table) {
      EXPECT_EQ(t.text, layout.lines[row]);
      EXPECT_EQ(t.at.x, 10);
      EXPECT_EQ(t.at.y, 300 + 8 + 17 * row);
      ++row;
    }
  EXPECT_EQ(row, 14);
}

// The comet list without its window: rows from element records, the cells,
// the column order, the filters, the peak, the calculation's stop and busy
// refusal, the hand-over to the tool windows and the copy texts.
#include <gtest/gtest.h>

#include <cmath>

#include "astro/time_scales.h"
#include "data/element_file.h"
#include "engine/determination_host.h"
#include "engine/orbit_engine.h"
#include "engine/tool_sinks.h"
#include "ephemeris/comet_list_rows.h"
#include "ephemeris/eph_list.h"
#include "platform/ui_services.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"

namespace {

ElementRecord ParsedLine(const std::string& line) {
  ElementRecord r;
  const int layout = ElementLineLayout(line);
  EXPECT_NE(layout, 0) << line;
  ParseElementLine(&r, line, layout);
  return r;
}

// Real catalogue lines: Vesta (MPCORB), 12P in the one-line comet layout,
// and 12P's elements in the long comet layout.
const std::string kVestaLine =
    "00004    3.0   0.15 K205V 204.32771  150.87484  103.80908    7.14190  0.0885158  0.27150657   2.3620141  0 "
    "MPO530953  6964 102 1821-2020 0.60 M-p 18h MPCW       0000      (4) Vesta              202002";
const std::string k12PLine =
    "0012P         2024 04 20.8249  0.781076  0.954750  198.9678  255.8177   74.1690  20220824   9.0  4.0  "
    "12P/Pons-Brooks                                          MPEC 2022";

CometListRow RowAt(const std::string& name, double ra, double dec) {
  CometListRow r;
  r.m_szName = name;
  r.m_dRa = ra;
  r.m_dDec = dec;
  r.m_dDelta = 1.0;
  r.m_dPeakJd = kNoPeakJd;
  return r;
}

}  // namespace

// The layouts reach the row with the right law and times: the minor-planet
// line's T from its mean anomaly (checked with the line's own daily motion),
// the comet's T kept with the comet law and the defaults of absent parameters.
TEST(CometListRows, RecordsBecomeRows) {
  const CometListRow vesta = MakeCometListRow(ParsedLine(kVestaLine));
  EXPECT_EQ(vesta.m_bAsteroidForm, 1);
  EXPECT_EQ(vesta.m_dMeanAnomalyForm, 1.0);
  EXPECT_EQ(vesta.m_dEpoch, 2459000.5);
  // M 204.32771° is -155.67229°, at n = 0.27150657°/day from the line: 1e-4 day covers n's last digit.
  EXPECT_NEAR(vesta.m_dT, 2459000.5 + 155.67229 / 0.27150657, 1e-4);
  EXPECT_NEAR(vesta.m_dM, (204.32771 - 360.0) * M_PI / 180.0, 1e-12);
  EXPECT_NEAR(vesta.m_dQ, 2.3620141 * (1 - 0.0885158), 1e-12);
  EXPECT_EQ(vesta.m_dH2, 3.0);
  EXPECT_EQ(vesta.m_dG, 0.15);
  EXPECT_EQ(vesta.m_dH1, 0.0);  // no total magnitude: m1 unknown
  EXPECT_EQ(vesta.m_dK2, 5.0);  // the asteroid law, not a slope of -1

  const CometListRow pons = MakeCometListRow(ParsedLine(k12PLine));
  EXPECT_EQ(pons.m_bAsteroidForm, 0);
  EXPECT_EQ(pons.m_dEpoch, 0.0);
  EXPECT_NEAR(pons.m_dT, CalendarToJd(2024, 4, 20.8249), 1e-9);
  EXPECT_EQ(pons.m_dH1, 9.0);
  EXPECT_EQ(pons.m_dK1, 10.0);
  EXPECT_EQ(pons.m_dH2, 14.0);  // nuclear defaults
  EXPECT_EQ(pons.m_dK2, 10.0);
  EXPECT_NEAR(pons.m_dA, 0.781076 / (1 - 0.95475), 1e-9);
  EXPECT_NEAR(pons.m_dPeriod / 365.25, 71.7, 0.05);  // the osculating a of 17.26 AU

  // The long comet layout carries T: a comet row, never T = 0 on the asteroid law.
  ElementRecord longRecord;
  longRecord.m_nLayout = 4;
  longRecord.m_szName = "0012P";
  longRecord.m_dT = 2460421.3249;
  longRecord.m_dEpoch = 2459815.5;
  longRecord.m_dQ = 0.781076;
  longRecord.m_dE = 0.95475;
  longRecord.m_dPeri = 198.9678;
  longRecord.m_dNode = 255.8177;
  longRecord.m_dIncl = 74.169;
  const CometListRow fromLong = MakeCometListRow(longRecord);
  EXPECT_EQ(fromLong.m_bAsteroidForm, 0);
  EXPECT_EQ(fromLong.m_dT, 2460421.3249);
  EXPECT_EQ(fromLong.m_dH1, 12.0);
  EXPECT_EQ(fromLong.m_dK1, 10.0);
}

TEST(CometListRows, DaysFromPerihelion) {
  struct Case {
    const char* name;
    double T, period, instant;
    double nearest, elapsed;
  };
  const Case cases[] = {
      {"before T", 1000, 0, 900, 100, -100},
      {"no period: plain", 1000, 0, 5000, 4000, 4000},
      {"a period of one day is none", 1000, 1, 1010.25, 10.25, 10.25},
      {"three periods later", 1000, 2000, 7300, 300, 300},
      {"past half the period", 1000, 2000, 8300, 700, -700},
      {"before T by more than half", 1000, 2000, -300, 700, 700},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CometListRow row;
    row.m_dT = c.T;
    row.m_dPeriod = c.period;
    EXPECT_DOUBLE_EQ(DaysFromNearestPerihelion(row, c.instant), c.nearest);
    EXPECT_DOUBLE_EQ(ElapsedFromPerihelion(row, c.instant), c.elapsed);
  }
}

TEST(CometListRows, CellTexts) {
  struct Case {
    const char* name;
    double ra, dec;
    const char* raText;
    const char* decText;
  };
  const Case cases[] = {
      {"plain", 14.025167, -11.2075, "14 01.51", "-11 12.4"},
      {"minutes round up to the next hour", 5.9999999, 7.9999999, "06 00.00", "+08 00.0"},
      {"the last hour turns to 0", 23.9999999, -0.9999999, "00 00.00", "-01 00.0"},
      {"just below zero", 0.05, -0.5, "00 03.00", "-00 30.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CometListRow row = RowAt("C/2022 E3 (ZTF)", c.ra, c.dec);
    EXPECT_EQ(CometListCell(row, 3), c.raText);
    EXPECT_EQ(CometListCell(row, 4), c.decText);
  }

  CometListRow row = RowAt("  12P/Pons-Brooks", 1, 1);
  row.m_dT = 2460421.3249;
  row.m_dPeriod = 26000;
  row.m_dInstant = 2460014.5;
  row.m_dTrueAnomaly = -3.0;
  row.m_dDelta = 3.46003;
  row.m_dR = 0.78;
  row.m_dElong = 93.26;
  row.m_dPhase = 15.04;
  row.m_dM1 = 14.96;
  row.m_dM2 = 99.9;
  row.m_dMoon = 80.5;
  EXPECT_EQ(CometListCell(row, 0), "  12P/Pons-Brooks");
  EXPECT_EQ(CometListCell(row, 1), "-407");
  EXPECT_EQ(CometListCell(row, 2), "-171.9");
  EXPECT_EQ(CometListCell(row, 5), "3.4600");
  EXPECT_EQ(CometListCell(row, 6), "0.7800");
  EXPECT_EQ(CometListCell(row, 7), "93.3");
  EXPECT_EQ(CometListCell(row, 8), "15.0");
  EXPECT_EQ(CometListCell(row, 9), "15.0");
  EXPECT_EQ(CometListCell(row, 10), "99.9");
  EXPECT_EQ(CometListCell(row, 11), "80");  // printf rounds the half to even
  EXPECT_EQ(CometListCell(row, 12), "");
  EXPECT_EQ(CometListCell(row, 13), "");
  row.m_dPeakJd = CalendarToJd(2024, 4, 21.9);
  row.m_dPeakM1 = 8.94;
  EXPECT_EQ(CometListCell(row, 12), "2024/04/21");
  EXPECT_EQ(CometListCell(row, 13), "8.9");
  // A position that could not be computed leaves its cells empty.
  row.m_dDelta = -1;
  EXPECT_EQ(CometListCell(row, 3), "");
  EXPECT_EQ(CometListCell(row, 9), "");
}

// Peak over the daily rows: the first strictly brightest day; none when the
// instant is brightest or when no day has a known m1 (never Julian day 0).
TEST(CometListRows, PeakOfTheDays) {
  struct Case {
    const char* name;
    int minDay;        // day of the minimum, -1: every m1 unknown
    double minMag;
    bool tieLater;     // the same minimum once more later
    double peakJd;
  };
  const double instant = 2460014.5;
  const Case cases[] = {
      {"brightening to day 400", 400, 8.9, false, instant + 400},
      {"fading from the instant", 0, 10.0, false, kNoPeakJd},
      {"first of two equal days", 200, 9.5, true, instant + 200},
      {"no known magnitude", -1, 99.9, false, kNoPeakJd},
  };
  std::vector<EphemerisRow> table(kCometListDays);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int k = 0; k < kCometListDays; ++k) {
      EphemerisRow& t = table[static_cast<size_t>(k)];
      t = EphemerisRow{};
      t.m_dJdTT = instant + k;
      t.m_dDeltaAu = 1;
      t.m_dM1 = c.minDay < 0 ? 99.9 : c.minMag + 0.01 * std::abs(k - c.minDay);
      if (c.tieLater && k == c.minDay + 300) t.m_dM1 = c.minMag;
    }
    CometListRow row;
    StoreCometListEphemeris(row, instant, table.data());
    EXPECT_EQ(row.m_dPeakJd, c.peakJd);
    if (c.minDay >= 0) {
      EXPECT_DOUBLE_EQ(row.m_dPeakM1, c.minMag);
    }
    EXPECT_EQ(CometListCell(row, 12).empty(), c.peakJd == kNoPeakJd);
  }
}

TEST(CometListRows, FirstReturnFilter) {
  const double instant = CalendarToJd(2026, 1, 1);
  struct Case {
    const char* name;
    const char* desig;
    double period;       // days, 0 parabola
    double T;            // last perihelion
    bool kept;
  };
  // P/2019 LD2 was found on 2019 June 1 (L: index 10).
  const double found = CalendarToJd(2019, 6, 1);
  const Case cases[] = {
      {"aphelion after discovery", "P/2019 LD2 (ATLAS)", 1000, found - 100, true},
      {"aphelion before discovery", "P/2019 LD2 (ATLAS)", 6000, found - 100, false},
      {"numbered", "12P/Pons-Brooks", 1000, found - 100, false},
      {"long-period", "C/2019 L3 (ATLAS)", 1000, found - 100, false},
      {"no period", "P/2019 LD2 (ATLAS)", 0, found - 100, false},
      {"no half-month letter", "P/2019 Z2", 1000, found - 100, false},
      {"year out of range", "P/0999 LD2", 1000, found - 100, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CometListRow row;
    row.m_szName = c.desig;
    row.m_dPeriod = c.period;
    row.m_dT = c.T;
    EXPECT_EQ(PassesCometListFirstReturn(row, instant), c.kept);
  }
}

TEST(CometListRows, BrightnessLimitIsInclusive) {
  struct Case {
    double m1, m2, limit;
    bool m2Law;
    bool kept;
  };
  const Case cases[] = {
      {12.0, 99.9, 12.0, false, true},  {12.05, 5, 12.0, false, false}, {99.9, 5, 12.0, false, false},
      {99.9, 5, 99.9, false, true},     {5, 12.0, 12.0, true, true},    {5, 12.1, 12.0, true, false},
  };
  for (const Case& c : cases) {
    CometListRow row;
    row.m_dM1 = c.m1;
    row.m_dM2 = c.m2;
    EXPECT_EQ(PassesBrightnessLimit(row, c.limit, c.m2Law), c.kept) << c.m1 << " " << c.m2 << " " << c.limit;
  }
}

TEST(CometListRows, DesignationOrder) {
  struct KeyCase {
    const char* name;
    int numbered;
    long number, year;
    const char* letters;
  };
  const KeyCase keys[] = {
      {"12P/Pons-Brooks", 1, 12, 0, ""},          {"  67P/Churyumov-Gerasimenko", 1, 67, 0, ""},
      {"C/2022 E3 (ZTF)", 0, 3, 2022, "E"},       {"P/2019 LD2 (ATLAS)", 0, 2, 2019, "LD"},
      {"C/1995 O1 (Hale-Bopp)", 0, 1, 1995, "O"}, {"(4) Vesta", 0, 0, 0, ""},
      {"C/2014 UN271", 0, 271, 2014, "UN"},
  };
  for (const KeyCase& k : keys) {
    SCOPED_TRACE(k.name);
    const DesignationKey key = DesignationSortKey(k.name);
    EXPECT_EQ(key.numbered, k.numbered);
    EXPECT_EQ(key.number, k.number);
    EXPECT_EQ(key.year, k.year);
    EXPECT_EQ(key.letters, k.letters);
  }
  // Ascending order, each name before the next.
  const char* ordered[] = {"C/1995 O1 (Hale-Bopp)", "C/2022 A2 (PanSTARRS)", "C/2022 E3 (ZTF)",
                           "C/2022 E10 (x)",        "P/2022 EA1",            "2P/Encke",
                           "12P/Pons-Brooks",       "67P/Churyumov-Gerasimenko"};
  for (size_t i = 0; i + 1 < std::size(ordered); ++i) {
    const CometListRow a = RowAt(ordered[i], 0, 0), b = RowAt(ordered[i + 1], 0, 0);
    EXPECT_LT(CompareCometListColumn(a, b, 0), 0) << ordered[i] << " / " << ordered[i + 1];
    EXPECT_GT(CompareCometListColumn(b, a, 0), 0) << ordered[i + 1] << " / " << ordered[i];
  }
  // The other columns: the elapsed days and true anomaly by size, the rest by value.
  CometListRow a = RowAt("a", 2, -5), b = RowAt("b", 1, 5);
  a.m_dInstant = b.m_dInstant = 1000;
  a.m_dT = 1000 + 30;  // 30 days before perihelion
  b.m_dT = 1000 - 40;  // 40 days after
  a.m_dTrueAnomaly = -0.5;
  b.m_dTrueAnomaly = 0.2;
  EXPECT_LT(CompareCometListColumn(a, b, 1), 0);
  EXPECT_GT(CompareCometListColumn(a, b, 2), 0);
  EXPECT_GT(CompareCometListColumn(a, b, 3), 0);
  EXPECT_LT(CompareCometListColumn(a, b, 4), 0);
  EXPECT_EQ(CompareCometListColumn(a, b, 11), 0);
}

// The view's model: header clicks, the hand-over, the copy and the stop.
class EphListModel : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* name : {"67P/Churyumov-Gerasimenko", "C/2022 E3 (ZTF)", "12P/Pons-Brooks"}) {
      CometListRow row = RowAt(name, 1, 1);
      row.m_dQ = 1.2;
      row.m_dE = 0.6;
      row.m_dT = 2459520.5;
      row.m_dPeri = 22.145;
      row.m_dM1 = m_list.m_pRows.empty() ? 15.0 : 10.0 + static_cast<double>(m_list.m_pRows.size());
      row.m_bAsteroidForm = 0;
      row.m_dH1 = 11.0;
      row.m_dK1 = 0.0;
      m_list.m_pRows.push_back(row);
    }
    m_list.m_nRows = 3;
    m_list.m_dListJd = 2460014.5;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (int i = 0; i < m_list.m_nRows; ++i) names.push_back(m_list.GetCellText(i, 0));
    return names;
  }

  HeadlessUiServices m_ui;
  ScopedUi m_scopedUi{m_ui};
  HeadlessToolSinks m_sinks;
  ScopedToolSinks m_scopedSinks{m_sinks};
  CEphList m_list;
};

TEST_F(EphListModel, HeaderClicksSortAndReverse) {
  m_list.OnColumnClick(11);  // "Moon" does not sort
  EXPECT_EQ(m_list.m_nSortColumn, -1);
  m_list.OnColumnClick(9);
  EXPECT_EQ(Names(), (std::vector<std::string>{"C/2022 E3 (ZTF)", "12P/Pons-Brooks", "67P/Churyumov-Gerasimenko"}));
  m_list.OnColumnClick(9);
  EXPECT_EQ(m_list.m_bSortAscending, 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"67P/Churyumov-Gerasimenko", "12P/Pons-Brooks", "C/2022 E3 (ZTF)"}));
  m_list.OnColumnClick(0);
  EXPECT_EQ(m_list.m_bSortAscending, 1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"C/2022 E3 (ZTF)", "12P/Pons-Brooks", "67P/Churyumov-Gerasimenko"}));
  EXPECT_EQ(m_list.GetCellText(3, 0), "");
}

TEST_F(EphListModel, SelectedRowGoesToTheToolWindows) {
  m_list.OnItemChanged(0, true, true);  // already selected: nothing
  EXPECT_FALSE(m_sinks.m_bDiagramOpen);
  m_list.OnItemChanged(0, false, true);
  ASSERT_TRUE(m_sinks.m_bDiagramOpen);
  EXPECT_EQ(m_sinks.m_diagram.m_orbit.m_strName, "67P/Churyumov-Gerasimenko");
  EXPECT_EQ(m_sinks.m_diagram.m_orbit.m_dEpoch, 2460014.5);  // the list's instant
  EXPECT_NEAR(m_sinks.m_diagram.m_orbit.m_dPeri, 22.145 * M_PI / 180, 1e-15);
  ASSERT_TRUE(m_sinks.m_bMagCurveOpen);
  EXPECT_EQ(m_sinks.m_magCurve.m_got.m_dH, 11.0);
  EXPECT_EQ(m_sinks.m_magCurve.m_got.m_bAsteroid, 0);
  EXPECT_EQ(m_sinks.m_chart.m_got.m_nShown, 0);  // not open: left alone
  EXPECT_EQ(m_sinks.m_searchRange.m_got.m_nShown, 0);

  m_sinks.m_bChartOpen = true;
  m_list.m_form.year = "2023";
  m_list.m_form.month = "3";
  m_list.m_form.day = "11.7";
  m_list.OnSearchRange(1);
  EXPECT_TRUE(m_sinks.m_bSearchRangeOpen);
  EXPECT_EQ(m_sinks.m_searchRange.m_got.m_strName, "C/2022 E3 (ZTF)");
  EXPECT_EQ(m_sinks.m_searchRange.m_got.m_dH, 11.0);
  EXPECT_EQ(m_sinks.m_searchRange.m_got.m_dGK, 10.0);  // K1 0 becomes 10
  EXPECT_EQ(m_sinks.m_chart.m_got.m_dStartJd, CalendarToJd(2023, 3, 11));
  EXPECT_EQ(m_sinks.m_chart.m_got.m_strName, "C/2022 E3 (ZTF)");

  m_list.m_pRows[2].m_dQ = 0;  // no orbit: nothing handed over
  const int shown = m_sinks.m_diagram.m_nShown;
  m_list.OnItemChanged(2, false, true);
  EXPECT_EQ(m_sinks.m_diagram.m_nShown, shown);
}

TEST_F(EphListModel, CopyMenu) {
  m_list.m_pRows[0].m_szName = "  67P/Churyumov-Gerasimenko  ";
  EXPECT_EQ(m_list.ContextMenuRow(true, -1, 2), -1);  // keyboard without a selection
  EXPECT_EQ(m_list.ContextMenuRow(true, 1, 2), 1);
  EXPECT_EQ(m_list.ContextMenuRow(false, 1, -1), -1);  // mouse off the rows
  EXPECT_EQ(m_list.ContextMenuRow(false, 1, 2), 2);
  m_list.OnCopy(0, false);
  EXPECT_EQ(m_ui.m_clipboard, "67P/Churyumov-Gerasimenko");
  m_list.OnCopy(0, true);
  const std::string& whole = m_ui.m_clipboard;
  EXPECT_EQ(std::count(whole.begin(), whole.end(), '\t'), 13);
  EXPECT_EQ(whole.rfind("67P/Churyumov-Gerasimenko\t", 0), 0u);
  EXPECT_EQ(whole.back(), '\t');  // the empty peak cells end it, without a line end
  m_list.m_nRows = 0;
  m_list.m_pRows.clear();
  EXPECT_EQ(m_list.ContextMenuRow(true, 0, 0), -1);
}

// A long list stops on Esc and keeps the rows it showed; another calculation
// running, or a planetary file that misses the three years, refuses it with a message.
TEST_F(EphListModel, CalculationStopsOnEscAndWaitsForOthers) {
  std::vector<ElementRecord> records(3, ParsedLine(k12PLine));
  m_list.SetElements(records);
  m_list.m_form.year = "2023";
  m_list.m_form.month = "3";
  m_list.m_form.day = "11";
  EXPECT_EQ(m_list.OnCalc(), kListCalcNothing);  // no planetary file yet
  ASSERT_EQ(m_ui.m_messages.size(), 1u);
  EXPECT_NE(m_ui.m_messages[0].text.find("彗星一覧を作成できません。"), std::string::npos);
  m_ui.m_messages.clear();
  TSR_REQUIRE_DATA(de, "de/lnxp1960p2060.405");
  JplReaderScope jpl(de);
  m_list.m_form.year = "2058";  // the file ends in January 2060
  EXPECT_EQ(m_list.OnCalc(), kListCalcNothing);
  ASSERT_EQ(m_ui.m_messages.size(), 1u);
  EXPECT_EQ(m_ui.m_messages[0].text.rfind("期間が惑星暦ファイルの範囲(", 0), 0u) << m_ui.m_messages[0].text;
  m_ui.m_messages.clear();
  m_list.m_form.year = "2023";
  EXPECT_EQ(Names(), (std::vector<std::string>{"67P/Churyumov-Gerasimenko", "C/2022 E3 (ZTF)", "12P/Pons-Brooks"}));

  m_ui.m_keys[static_cast<int>(UiKey::Escape)] = true;
  EXPECT_EQ(m_list.OnCalc(), kListCalcStopped);
  EXPECT_EQ(Names(), (std::vector<std::string>{"67P/Churyumov-Gerasimenko", "C/2022 E3 (ZTF)", "12P/Pons-Brooks"}));
  EXPECT_EQ(m_ui.m_status, "");
  m_ui.m_keys[static_cast<int>(UiKey::Escape)] = false;

  OrbitEngine* engine = CurrentDetermination()->m_pEngine;
  ASSERT_EQ(BeginBusy(engine), 0);
  EXPECT_EQ(m_list.OnCalc(), kListCalcBusy);
  EndBusy(engine);
  ASSERT_EQ(m_ui.m_messages.size(), 1u);
  EXPECT_EQ(m_ui.m_messages[0].text, kMsgOtherCalculationRunning);
  EXPECT_EQ(m_list.m_nRows, 3);

  // The JA(+9) instant is 9 hours earlier.
  m_list.OnZoneJst();
  EXPECT_EQ(m_list.OnCalc(), kListCalcDone);
  EXPECT_EQ(m_list.m_nRows, 3);
  EXPECT_EQ(m_list.m_dListJd, CalendarToJd(2023, 3, 11) - 0.375);
  EXPECT_FALSE(EngineBusy(engine));
}

// A long file shows how far the calculation has come (rows the first-return
// filter drops cost nothing, so 3000 records stay quick).
TEST(EphListForm, LongFileShowsItsProgress) {
  TSR_REQUIRE_DATA(de, "de/lnxp1960p2060.405");
  JplReaderScope jpl(de);
  struct StatusLog : HeadlessUiServices {
    void SetStatusText(const std::string& text) override { m_texts.push_back(text); }
    std::vector<std::string> m_texts;
  } ui;
  ScopedUi scoped(ui);
  CEphList list;
  list.SetElements(std::vector<ElementRecord>(3000, ParsedLine(k12PLine)));
  list.m_form.year = "2023";
  list.m_form.month = "3";
  list.m_form.day = "11";
  list.m_form.bFirstReturn = 1;
  EXPECT_EQ(list.OnCalc(), kListCalcDone);
  EXPECT_EQ(list.m_nRows, 0);
  EXPECT_EQ(ui.m_texts, (std::vector<std::string>{kListStatusComputing,
                                                  "計算中です。しばらくお待ちください。 1024 / 3000  [ESC]で中止",
                                                  "計算中です。しばらくお待ちください。 2048 / 3000  [ESC]で中止",
                                                  kListStatusShowing, ""}));
}

TEST(EphListForm, StartsOnTodayInUt) {
  struct Fixed : CEphList {
    std::time_t Now() const override { return 1678492800; }  // 2023-03-11 00:00 UTC
  } list;
  list.InitForm();
  EXPECT_EQ(list.m_form.bUt, 1);
  EXPECT_EQ(list.m_form.bM2, 0);
  EXPECT_EQ(list.m_form.hour, "0");
  EXPECT_EQ(list.m_form.year, "2023");
  EXPECT_EQ(list.m_form.month, "3");
  EXPECT_TRUE(list.m_form.day == "11" || list.m_form.day == "10") << list.m_form.day;  // the local zone decides
  EXPECT_EQ(list.OnCalc(), kListCalcNothing);  // no element file
}

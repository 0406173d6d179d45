// The observation list's cells, colours, hover text and reject commands.
#include <gtest/gtest.h>

#include <cstring>

#include "data/observation_record.h"
#include "data/station_table.h"
#include "determination/det_settings.h"
#include "determination/obs_list_cells.h"
#include "determination/obs_list_rules.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kRadPerArcsec = kPi / 180.0 / 3600.0;
constexpr double kJd20150101 = 2457023.5;  // 2015 Jan 1.0

ObservationRecord Obs()
{
  ObservationRecord o{};
  o.m_dJdUtc = kJd20150101 + 1.36;
  o.m_dJdTt = o.m_dJdUtc + 68.184 / 86400.0;
  o.m_dRa = (6 + 30 / 60.0 + 15.25 / 3600.0) * 15.0 * kPi / 180.0;
  o.m_dDec = -(14 + 47 / 60.0 + 5.5 / 3600.0) * kPi / 180.0;
  std::strcpy(o.m_szStation, "G96");
  o.m_chQuality = ' ';
  o.m_dWeight = 1.0;
  return o;
}

} // namespace

TEST(ObsListCells, PositionAndStationColumns)
{
  ObservationRecord o = Obs();
  const ObsCellContext c{1, 0};
  EXPECT_EQ(FormatObsCell(o, 0, c), "2015 01 02.360000");
  EXPECT_EQ(FormatObsCell(o, 1, c), "06 30 15.250");
  EXPECT_EQ(FormatObsCell(o, 2, c), "-14 47 05.50");
  EXPECT_EQ(FormatObsCell(o, 3, c), "G96 ");
  o.m_chQuality = 'Y';
  EXPECT_EQ(FormatObsCell(o, 3, c), "G96Y");
  o.m_dDec = (1 + 2 / 60.0 + 3.25 / 3600.0) * kPi / 180.0;
  EXPECT_EQ(FormatObsCell(o, 2, c), "+01 02 03.25");
  EXPECT_EQ(FormatObsCell(o, 8, c), "");
}

TEST(ObsListCells, ResidualsFlagsAndWeight)
{
  struct Case {
    const char* name;
    double resRa, resDec;  // arcsec
    int rejected, byHand, unknown, picked;
    int state, shown;
    double weight;
    const char* ra;
    const char* dec;
    const char* flags;
    const char* weightText;
  };
  const Case cases[] = {
      {"negative residual", -1.23, 0.0, 0, 0, 0, 0, 4, 1, 1.0, "1.2- ", "0.0+ ", "", ""},
      {"rejected in brackets", 2.06, -0.04, 1, 0, 0, 0, 5, 1, 1.0, "(2.1+)", "(0.0-)", "R", ""},
      {"residuals not shown", 2.06, 1.0, 1, 1, 0, 0, 1, 0, 1.0, "----.- ", "----.- ", "RF", ""},
      {"unknown station", 2.0, 1.0, 0, 0, 1, 0, 3, 1, 1.0, "(     )", "(     )", "X", ""},
      {"picked while picking", 0, 0, 0, 0, 0, 1, 2, 0, 1.0, "----.- ", "----.- ", "*", ""},
      {"picked mark gone after improvement", 0, 0, 0, 0, 0, 1, 4, 1, 1.0, "0.0+ ", "0.0+ ", "", ""},
      {"weight within 1e-9 of 1", 0, 0, 0, 0, 0, 0, 1, 0, 1.0000000001, "----.- ", "----.- ", "", ""},
      {"heavier", 0, 0, 0, 0, 0, 0, 1, 0, 1.5, "----.- ", "----.- ", "", "1.5"},
      {"lighter", 0, 0, 0, 0, 0, 0, 1, 0, 0.5, "----.- ", "----.- ", "", "0.5"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    ObservationRecord o = Obs();
    o.m_dResRa = k.resRa * kRadPerArcsec;
    o.m_dResDec = k.resDec * kRadPerArcsec;
    o.m_bRejected = k.rejected;
    o.m_bByHand = k.byHand;
    o.m_nUnknownStation = k.unknown;
    o.m_bPicked = k.picked;
    o.m_dWeight = k.weight;
    const ObsCellContext c{k.state, k.shown};
    EXPECT_EQ(FormatObsCell(o, 4, c), k.ra);
    EXPECT_EQ(FormatObsCell(o, 5, c), k.dec);
    EXPECT_EQ(FormatObsCell(o, 6, c), k.flags);
    EXPECT_EQ(FormatObsCell(o, 7, c), k.weightText);
  }
}

TEST(ObsListCells, RowColours)
{
  ObservationRecord o = Obs();
  ObsRowColours c = ObsRowColour(o, 0);
  EXPECT_FALSE(c.hasBackground || c.hasText);
  c = ObsRowColour(o, 2);
  EXPECT_TRUE(c.hasBackground && !c.hasText);
  EXPECT_EQ(c.background, 0xC8C8FFu);
  EXPECT_EQ(ObsRowColour(o, 1).background, 0xBEF0FFu);
  o.m_dWeight = 1.5;  // takes precedence over the bias colour
  c = ObsRowColour(o, 2);
  EXPECT_TRUE(c.hasBackground && c.hasText);
  EXPECT_EQ(c.background, 0x800000u);
  EXPECT_EQ(c.text, 0x00FFFFu);
  o.m_dWeight = 0.5;
  EXPECT_FALSE(ObsRowColour(o, 0).hasBackground);
}

TEST(ObsListCells, HoverTextNamesTheStation)
{
  StationRecord table[3]{};
  std::strcpy(table[0].m_szCode, "291");
  std::strcpy(table[0].m_szName, "LPL/Spacewatch II");
  std::strcpy(table[1].m_szCode, "G96");
  std::strcpy(table[1].m_szName, "Mt. Lemmon Survey");
  std::strcpy(table[2].m_szCode, "END");
  table[2].m_dLongitude = -1.0;
  table[2].m_dRhoSin = -1.0;
  ObservationRecord o = Obs();
  o.m_dMag = 18.3;
  o.m_chBand = 'V';
  EXPECT_EQ(ObsHoverText(4, o, table), "観測番号 5   光度 18.3V   観測所 G96 Mt. Lemmon Survey");
  o.m_dMag = 0;
  std::strcpy(o.m_szStation, "Z99");
  EXPECT_EQ(ObsHoverText(0, o, table), "観測番号 1   光度 (報告なし)   観測所 Z99 (不明なコード)");
  EXPECT_EQ(ObsHoverText(0, o, nullptr), "観測番号 1   光度 (報告なし)   観測所 Z99");
}

TEST(ObsListRules, DoubleClickTogglesTheRejectionByHand)
{
  struct Case {
    const char* name;
    int picked, rejected, byHand, state;
    bool changed;
    int rejectedAfter, byHandAfter;
  };
  const Case cases[] = {
      {"picked row while picking", 1, 0, 0, 2, false, 0, 0},
      {"picked row with a preliminary orbit", 1, 0, 0, 3, false, 0, 0},
      {"unpicked row while picking", 0, 0, 0, 2, true, 1, 1},
      {"picked row after improvement", 1, 0, 0, 4, true, 1, 1},
      {"forced row re-admitted", 0, 1, 1, 5, true, 0, 0},
      {"automatically rejected row re-admitted", 0, 1, 0, 5, true, 0, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    ObservationRecord o = Obs();
    o.m_bPicked = k.picked;
    o.m_bRejected = k.rejected;
    o.m_bByHand = k.byHand;
    EXPECT_EQ(ToggleRejectionByHand(o, k.state), k.changed);
    EXPECT_EQ(o.m_bRejected, k.rejectedAfter);
    EXPECT_EQ(o.m_bByHand, k.byHandAfter);
  }
  // A second double click rejects and forces the re-admitted row again.
  ObservationRecord o = Obs();
  o.m_bRejected = o.m_bByHand = 1;
  ToggleRejectionByHand(o, 5);
  ToggleRejectionByHand(o, 5);
  EXPECT_EQ(o.m_bRejected, 1);
  EXPECT_EQ(o.m_bByHand, 1);
}

TEST(ObsListRules, ConditionalRejectionUsesTheThresholdOfTheEra)
{
  const RejectThresholds t{1820, 6.0, 2.0};
  const double jd1820 = 2385980.5;  // 1820 Jun 29
  const double jd1821 = 2386200.5;  // 1821 Feb 4
  struct Case {
    const char* name;
    double jdTT, resRa, resDec;
    int unknown;
    bool rejected;
  };
  const Case cases[] = {
      {"1820 below the earlier threshold", jd1820, 5.9, -5.9, 0, false},
      {"1820 at the earlier threshold", jd1820, 0.0, -6.0, 0, true},
      {"1821 at the later threshold", jd1821, 2.0, 0.0, 0, true},
      {"1821 below it", jd1821, 1.9, 1.9, 0, false},
      {"unknown station", jd1821, 0.0, 0.0, 1, true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    ObservationRecord o = Obs();
    o.m_dJdTt = k.jdTT;
    o.m_dResRa = k.resRa * kRadPerArcsec;
    o.m_dResDec = k.resDec * kRadPerArcsec;
    o.m_nUnknownStation = k.unknown;
    EXPECT_EQ(ConditionalReject(o, t), k.rejected);
    EXPECT_EQ(o.m_bRejected, k.rejected ? 1 : 0);
    EXPECT_EQ(o.m_bByHand, 0);
  }
}

TEST(ObsListRules, ContextMenuStates)
{
  for (int s = 0; s <= 7; ++s)
    EXPECT_EQ(ObsContextMenuAllowed(s), s == 3 || s == 4 || s == 5 || s == 7) << s;
}

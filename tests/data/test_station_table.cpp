#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "data/station_table.h"
#include "platform/encoding.h"
#include "tests/data/test_observation_support.h"

namespace {

struct StationTable {
  ~StationTable() { std::free(table); }
  StationRecord* table = nullptr;
  int result = 0;
};

void Load(const std::string& path, StationTable& t)
{
  ScopedStationsFile stations(path);
  t.result = LoadStationTable(&t.table);
}

// Stored form of a parallax constant, computed as the table computes it.
double Stored(double c)
{
  return c * -4.2635212454e-5 * 1e7;
}

class StationTableTest : public ::testing::Test {
protected:
  void SetUp() override { m_dir = MakeTempDir("stations"); }
  void TearDown() override { std::filesystem::remove_all(m_dir); }
  std::string m_dir;
};

TEST_F(StationTableTest, ReadsTheMpcList)
{
  const std::string lines = StationLinesFromObsCodesPage();
  if (lines.empty())
    GTEST_SKIP() << "reference data not found: obscodes/ObsCodes.html";
  StationTable t;
  Load(WriteTestFile(m_dir, "stations.txt", lines), t);
  ASSERT_EQ(t.result, 2713);  // the header line and 2712 codes
  EXPECT_STREQ(t.table[2713].m_szCode, "END");
  EXPECT_EQ(t.table[2713].m_dLongitude, -1.0);

  struct Case {
    const char* code;
    double longitude, rhoCos, rhoSin;
    const char* name;
  };
  static const Case kCases[] = {
      {"000", 0.0, 0.62411, +0.77873, "Greenwich"},
      {"G96", 249.21128, 0.845107, +0.533611, "University of Arizona Mt. Lemmon Survey"},
      {"J38", 353.60924, 0.726887, +0.684518, "Observatorio La Vara, Valdes"},
      {"T12", 204.53054, 0.941733, +0.337201, "University of Hawaii 88-inch telescope, Maunakea"},
      {"C51", 0.0, 0.0, 0.0, "WISE"},  // space-based: blank constants read 0
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.code);
    double lon = 7, rc = 7, rs = 7;
    ASSERT_EQ(FindStation(c.code, t.table, &lon, &rc, &rs), 0);
    EXPECT_EQ(lon, c.longitude);
    EXPECT_EQ(rc, Stored(c.rhoCos));
    EXPECT_EQ(rs, Stored(c.rhoSin));
    for (const StationRecord* r = t.table; !IsStationTableEnd(*r); ++r)
      if (std::strcmp(r->m_szCode, c.code) == 0) {
        EXPECT_STREQ(r->m_szName, c.name);
        break;
      }
  }
  // The header line is a record like any other; it matches no station code.
  EXPECT_STREQ(t.table[0].m_szCode, "Cod");
  double lon = 7, rc = 7, rs = 7;
  EXPECT_EQ(FindStation("ZZZ", t.table, &lon, &rc, &rs), -1);
  EXPECT_EQ(lon, 7.0);
  EXPECT_EQ(FindStation("g96", t.table, &lon, &rc, &rs), -1);  // case-sensitive
  EXPECT_EQ(FindStation("G96xyz", t.table, &lon, &rc, &rs), 0);  // the first three characters
}

TEST_F(StationTableTest, FirstOfTwoEqualCodesWinsAndBlankConstantsReadZero)
{
  const std::string text =
      "XY1  10.0000 0.50000 +0.80000 First\n"
      "XY1  20.0000 0.60000 -0.70000 Second\n"
      "XY2 123.4500                  No constants\n";
  StationTable t;
  Load(WriteTestFile(m_dir, "stations.txt", text), t);
  ASSERT_EQ(t.result, 3);
  double lon, rc, rs;
  ASSERT_EQ(FindStation("XY1", t.table, &lon, &rc, &rs), 0);
  EXPECT_EQ(lon, 10.0);
  EXPECT_EQ(rs, Stored(0.8));
  ASSERT_EQ(FindStation("XY2", t.table, &lon, &rc, &rs), 0);
  EXPECT_EQ(lon, 123.45);
  EXPECT_EQ(rc, 0.0);
  EXPECT_EQ(rs, 0.0);
}

TEST_F(StationTableTest, EncodingsReadAlike)
{
  // A Japanese name in the 8-bit code page and the same text in UTF-16 with its mark.
  const std::string utf8 =
      "Q01 139.5430 0.81000 +0.58400 国立天文台\r\n"
      "Q02  -0.5000 0.70000 -0.71000 Ondrejov\r\n";
  std::string cp932, utf16;
  ASSERT_TRUE(Utf8ToCp932(utf8, cp932));
  ASSERT_TRUE(Utf8ToUtf16Le(utf8, utf16, true));
  for (const std::string* bytes : {&cp932, &utf16}) {
    StationTable t;
    Load(WriteTestFile(m_dir, "stations.txt", *bytes), t);
    ASSERT_EQ(t.result, 2);
    EXPECT_STREQ(t.table[0].m_szCode, "Q01");
    EXPECT_STREQ(t.table[0].m_szName, "国立天文台");
    EXPECT_EQ(t.table[0].m_dLongitude, 139.543);
    EXPECT_EQ(t.table[1].m_dLongitude, -0.5);
    EXPECT_EQ(t.table[1].m_dRhoSin, Stored(-0.71));
    EXPECT_STREQ(t.table[1].m_szName, "Ondrejov");  // no carriage return kept
  }
}

TEST_F(StationTableTest, LongNamesAndLongLines)
{
  const std::string longName(60, 'n');
  // 249 characters make one record; the rest of a longer line is a record of its own.
  const std::string exact = "L01   1.0000 0.50000 +0.50000 " + std::string(249 - 30, 'a');
  const std::string over = "L02   2.0000 0.50000 +0.50000 " + std::string(249 - 30, 'b') + "L03  3.0000";
  const std::string text = "L00   0.5000 0.50000 +0.50000 " + longName + "\n" + exact + "\n" + over + "\n";
  StationTable t;
  Load(WriteTestFile(m_dir, "stations.txt", text), t);
  ASSERT_EQ(t.result, 4);
  EXPECT_EQ(std::string(t.table[0].m_szName), std::string(51, 'n'));
  EXPECT_STREQ(t.table[1].m_szCode, "L01");
  EXPECT_STREQ(t.table[2].m_szCode, "L02");
  EXPECT_STREQ(t.table[3].m_szCode, "L03");
  EXPECT_EQ(t.table[3].m_dLongitude, 3.0);
  EXPECT_EQ(t.table[4].m_dLongitude, -1.0);

  // Many long lines: every piece is counted before the table is filled.
  std::string many;
  for (int i = 0; i < 50; ++i)
    many += std::string(1000, 'x') + "\n";
  StationTable m;
  Load(WriteTestFile(m_dir, "many.txt", many), m);
  EXPECT_EQ(m.result, 50 * 5);  // 1000 characters: four pieces of 249 and one of 4
  EXPECT_EQ(m.table[250].m_dLongitude, -1.0);

  // The name limit counts characters, not bytes.
  std::string kanjiName;
  for (int i = 0; i < 60; ++i)
    kanjiName += "星";
  std::string cp932;
  ASSERT_TRUE(Utf8ToCp932("K01   1.0000 0.50000 +0.50000 " + kanjiName + "\n", cp932));
  StationTable k;
  Load(WriteTestFile(m_dir, "kanji.txt", cp932), k);
  ASSERT_EQ(k.result, 1);
  EXPECT_EQ(std::strlen(k.table[0].m_szName), 51u * 3);
}

// An empty or CR-only line (a hand-edited file) is an empty record between
// the stations, not a copy from a null pointer (the sanitizer build reports
// that); the stations around it read as usual.
TEST_F(StationTableTest, EmptyAndCarriageReturnOnlyLines)
{
  const std::string greenwich = "000   0.0000 0.62411 +0.77873 Greenwich\n";
  const std::string crowborough = "001   0.1542 0.62992 +0.77411 Crowborough\n";
  for (const std::string blank : {"\n", "\r\n"}) {
    SCOPED_TRACE(blank.size());
    StationTable t;
    Load(WriteTestFile(m_dir, "stations.txt", greenwich + blank + crowborough), t);  // as the fuzzed file
    ASSERT_EQ(t.result, 3);
    EXPECT_STREQ(t.table[1].m_szCode, "");
    EXPECT_STREQ(t.table[1].m_szName, "");
    EXPECT_EQ(t.table[1].m_dLongitude, 0.0);
    double lon = 7, rc = 7, rs = 7;
    ASSERT_EQ(FindStation("001", t.table, &lon, &rc, &rs), 0);
    EXPECT_EQ(lon, 0.1542);
    EXPECT_EQ(rs, Stored(0.77411));
    EXPECT_STREQ(t.table[2].m_szName, "Crowborough");
  }
}

// A station at longitude -1.0 (1° west, as a hand-edited file may hold it) is
// a station like any other, not the end of the table, and a line coded END
// there does not end it either: the fuzzed files had every station after such
// a line unknown.
TEST_F(StationTableTest, StationAtLongitudeMinusOneDoesNotEndTheTable)
{
  const std::string text =
      "W01  -1.0000 0.62411 +0.77873 One degree west\n"
      "102  -1.0000 0.52992 +0.77411 Also there\n"
      "END  -1.0000 0.00000 +0.00000 Looks like the end record\n"
      "001   0.1542 0.62992 +0.77411 Crowborough\n";
  StationTable t;
  Load(WriteTestFile(m_dir, "stations.txt", text), t);
  ASSERT_EQ(t.result, 4);
  EXPECT_FALSE(IsStationTableEnd(t.table[0]));
  EXPECT_FALSE(IsStationTableEnd(t.table[2]));
  EXPECT_TRUE(IsStationTableEnd(t.table[4]));
  for (const auto& [code, longitude] : {std::pair{"W01", -1.0}, {"102", -1.0}, {"001", 0.1542}}) {
    double lon = 7, rc = 7, rs = 7;
    ASSERT_EQ(FindStation(code, t.table, &lon, &rc, &rs), 0) << code;
    EXPECT_EQ(lon, longitude) << code;
  }
}

TEST_F(StationTableTest, EmptyAndMissingFiles)
{
  StationTable empty;
  Load(WriteTestFile(m_dir, "empty.txt", ""), empty);
  EXPECT_EQ(empty.result, 0);
  ASSERT_NE(empty.table, nullptr);
  EXPECT_STREQ(empty.table[0].m_szCode, "END");
  double lon, rc, rs;
  EXPECT_EQ(FindStation("000", empty.table, &lon, &rc, &rs), -1);

  StationTable missing;
  Load(m_dir + "none.txt", missing);
  EXPECT_EQ(missing.result, -1);
  EXPECT_EQ(missing.table, nullptr);
}

} // namespace

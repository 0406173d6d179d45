#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/json_reader.h"
#include "data/neocp_list.h"
#include "platform/files.h"
#include "tests/common/test_data.h"

namespace {

struct EntryArray {
  NeocpEntry* p = nullptr;
  ~EntryArray() { std::free(p); }
};

TEST(NeocpList, ReadsTheRealList)
{
  TSR_REQUIRE_DATA(path, "catalogues/neocp_json_derived_from_neosjl_neocp_txt.json");
  std::string json;
  ASSERT_TRUE(ReadWholeFile(path, json));
  EntryArray a;
  ASSERT_EQ(ParseNeocpJson(json, &a.p), 63);
  const NeocpEntry& first = a.p[0];
  EXPECT_STREQ(first.m_szDesig, "TF25LD3");
  EXPECT_STREQ(first.m_szUpdated, "追加 12月16.73日");
  EXPECT_EQ(first.m_dScore, 100.0);
  EXPECT_EQ(first.m_dDiscYear, 2025.0);
  EXPECT_EQ(first.m_dDiscMonth, 12.0);
  EXPECT_EQ(first.m_dDiscDay, 16.3);
  EXPECT_EQ(first.m_dRa, 6.124);
  EXPECT_EQ(first.m_dDec, 20.1517);
  EXPECT_EQ(first.m_dV, 20.3);
  EXPECT_EQ(first.m_dNObs, 2.0);
  EXPECT_EQ(first.m_dArc, 0.0);
  EXPECT_EQ(first.m_dH, 29.6);
  EXPECT_EQ(first.m_dNotSeenDays, 0.495);
  EXPECT_STREQ(a.p[1].m_szDesig, "ZTF109e");
  for (int i = 0; i < 63; ++i) {
    SCOPED_TRACE(i);
    EXPECT_NE(a.p[i].m_szDesig[0], '\0');
    EXPECT_NE(a.p[i].m_dScore, kJsonMissingNumber);
  }
}

TEST(NeocpList, DamagedAndPartialJson)
{
  struct Case {
    const char* name;
    std::string json;
    int count;
    std::vector<std::string> desigs;
  };
  const std::vector<Case> cases = {
      {"empty text", "", 0, {}},
      {"no object", "[1, 2, 3]", 0, {}},
      {"objects without designation", "[{\"Score\": 5}, {\"Temp_Desig\": \"\"}]", 0, {}},
      {"object without designation skipped", "[{\"Score\": 5}, {\"Temp_Desig\": \"A1\"}, {\"Temp_Desig\": \"B2\"}]", 2,
       {"A1", "B2"}},
      {"cut inside the last object", "[{\"Temp_Desig\": \"A1\"}, {\"Temp_Desig\": \"B2\", \"Sco", 2, {"A1", "B2"}},
      {"cut inside a string", "[{\"Temp_Desig\": \"A1", 1, {"A1"}},
      {"designation cut to 15 characters", "{\"Temp_Desig\": \"ABCDEFGHIJKLMNOPQR\"}", 1, {"ABCDEFGHIJKLMNO"}},
      {"garbage between objects", "{\"Temp_Desig\": \"A1\"} ]]]:,, {\"Temp_Desig\": \"B2\"}", 2, {"A1", "B2"}},
      {"braces inside a value", "[{\"Temp_Desig\": \"A1\", \"Updated\": \"" + std::string(100000, '{') + "\"}]", 1,
       {"A1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EntryArray a;
    EXPECT_EQ(ParseNeocpJson(c.json, &a.p), c.count);
    if (c.count == 0) {
      EXPECT_EQ(a.p, nullptr);
      continue;
    }
    ASSERT_NE(a.p, nullptr);
    for (int i = 0; i < c.count; ++i)
      EXPECT_EQ(a.p[i].m_szDesig, c.desigs[i]);
  }

  // Missing and non-numeric values read as -9999.0.
  EntryArray a;
  ASSERT_EQ(ParseNeocpJson("{\"Temp_Desig\": \"X\", \"Score\": null, \"V\": \"\", \"H\": \"21.5\", \"Arc\": n/a}", &a.p),
            1);
  EXPECT_EQ(a.p[0].m_dScore, kJsonMissingNumber);
  EXPECT_EQ(a.p[0].m_dV, kJsonMissingNumber);
  EXPECT_EQ(a.p[0].m_dH, 21.5);
  EXPECT_EQ(a.p[0].m_dArc, kJsonMissingNumber);
  EXPECT_EQ(a.p[0].m_dNObs, kJsonMissingNumber);
  EXPECT_STREQ(a.p[0].m_szUpdated, "");
}

// Coordinates the cells cannot show (a list value beyond the int range once
// showed as -2147483648) read as missing; the edges of the ranges stay.
TEST(NeocpList, CoordinatesOutsideTheirRangeReadAsMissing)
{
  const struct {
    const char* ra;
    const char* dec;
    double wantRa, wantDec;
  } cases[] = {
      {"1e10", "5", kJsonMissingNumber, 5.0},  // the fuzzed list's rows
      {"5", "-1e10", 5.0, kJsonMissingNumber},
      {"-0.1", "90.5", kJsonMissingNumber, kJsonMissingNumber},
      {"24.5", "-1e400", kJsonMissingNumber, kJsonMissingNumber},
      {"0", "-90", 0.0, -90.0},
      {"23.99", "90", 23.99, 90.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.ra) + " " + c.dec);
    const std::string json = std::string("{\"Temp_Desig\": \"A1\", \"R.A.\": ") + c.ra + ", \"Decl.\": " + c.dec + "}\n";
    EntryArray a;
    ASSERT_EQ(ParseNeocpJson(json, &a.p), 1);
    EXPECT_EQ(a.p[0].m_dRa, c.wantRa);
    EXPECT_EQ(a.p[0].m_dDec, c.wantDec);
    if (c.wantRa == kJsonMissingNumber) {
      EXPECT_EQ(FormatRaCell(a.p[0].m_dRa), "-");
    }
    if (c.wantDec == kJsonMissingNumber) {
      EXPECT_EQ(FormatDecCell(a.p[0].m_dDec), "-");
    }
  }
}

TEST(NeocpList, UpdateTextInJapanese)
{
  const std::pair<const char*, const char*> cases[] = {
      {"Updated Sept. 12.5 UT", "更新 9月12.5日"},
      {"Added Dec. 16.73 UT", "追加 12月16.73日"},
      {"Added May 3.1 UT", "追加 5月3.1日"},
      {"Updated June 30.99 UT", "更新 6月30.99日"},
      {"Updated Jun. 30.99 UT", "Updated Jun. 30.99 UT"},  // only "June" is a month name
      {"Updated Dec. 15.37 UT S", "更新 12月15.37 S日"},
      {"Updated Dec. 1 U UTT", "更新 12月1日"},  // a removal that joins another " UT"
      {"Moved Dec. 1.0 UT", "Moved Dec. 1.0 UT"},
      {"Updated", "Updated"},
      {" Updated Dec. 1 UT", " Updated Dec. 1 UT"},
      {"Updated dec. 1 UT", "Updated dec. 1 UT"},
      {"", ""},
  };
  for (const auto& [in, out] : cases)
    EXPECT_EQ(ConvertUpdatedText(in), out) << in;
  EXPECT_EQ(ConvertUpdatedText(std::string(100, 'x')), std::string(63, 'x'));
}

TEST(NeocpList, CellTexts)
{
  const std::pair<double, const char*> ra[] = {
      {5.5, "05 30.0"}, {6.124, "06 07.4"}, {0.0, "00 00.0"}, {5.999999, "06 00.0"}, {23.9999999, "00 00.0"},
      {-9999.0, "-"},
  };
  for (const auto& [v, text] : ra)
    EXPECT_EQ(FormatRaCell(v), text) << v;
  const std::pair<double, const char*> dec[] = {
      {20.1517, "+20 09"}, {-0.5, "-00 30"}, {19.999, "+20 00"}, {-68.99999, "-69 00"}, {0.0, "+00 00"},
      {-9999.0, "-"},
  };
  for (const auto& [v, text] : dec)
    EXPECT_EQ(FormatDecCell(v), text) << v;
  EXPECT_EQ(FormatNumberCell(20.25, "%.1f"), "20.2");
  EXPECT_EQ(FormatNumberCell(4.0, "%.0f"), "4");
  EXPECT_EQ(FormatNumberCell(-9999.0, "%.1f"), "-");
}

TEST(NeocpList, SortOrder)
{
  auto make = [](const char* desig, double score, double year, const char* updated) {
    NeocpEntry e{};
    std::snprintf(e.m_szDesig, sizeof e.m_szDesig, "%s", desig);
    std::snprintf(e.m_szUpdated, sizeof e.m_szUpdated, "%s", updated);
    e.m_dScore = score;
    e.m_dDiscYear = year;
    e.m_dDiscMonth = 1;
    e.m_dDiscDay = 1;
    return e;
  };
  const std::vector<NeocpEntry> base = {
      make("C3", 50, 2025, "b"), make("A1", kJsonMissingNumber, 2024, "a"), make("b2", 80, 2025, "c"),
      make("B2", 50, kJsonMissingNumber, "a"), make("D4", kJsonMissingNumber, 2026, "d"),
  };
  struct Case {
    const char* name;
    int column;
    int descending;
    std::vector<std::string> order;
  };
  const std::vector<Case> cases = {
      {"score ascending, missing last", 1, 0, {"B2", "C3", "b2", "A1", "D4"}},
      {"score descending, missing still last", 1, 1, {"b2", "C3", "B2", "D4", "A1"}},
      {"designation, lower case first", 0, 0, {"A1", "b2", "B2", "C3", "D4"}},
      {"date key with a missing year", 2, 0, {"B2", "A1", "b2", "C3", "D4"}},
      {"update text, ties by designation, descending", 10, 1, {"D4", "b2", "C3", "B2", "A1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<NeocpEntry> v = base;
    g_nNeocpSortColumn = c.column;
    g_bNeocpSortDescending = c.descending;
    std::qsort(v.data(), v.size(), sizeof(NeocpEntry), CompareNeocpEntries);
    std::vector<std::string> got;
    for (const NeocpEntry& e : v)
      got.push_back(e.m_szDesig);
    EXPECT_EQ(got, c.order);
  }
  g_nNeocpSortColumn = 99;
  EXPECT_EQ(CompareNeocpEntries(&base[0], &base[1]), 0);
  g_nNeocpSortColumn = 0;
  g_bNeocpSortDescending = 0;
}

} // namespace

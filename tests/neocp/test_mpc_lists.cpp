// The MPC's follow-up lists read into the scan's terms: pccp.txt lines by
// token count, the items of the page of objects that left the NEOCP, month
// names in Japanese and the designation helpers.
#include <gtest/gtest.h>

#include "neocp/mpc_lists.h"

TEST(MpcLists, PccpLinesGiveSetKeysAndDetailedEntriesByTokenCount)
{
  // 33 tokens: the last four fields come from tokens 28..31, token 32 is dropped.
  std::string longLine = "LONG33 77 2025 12 16.5 6.5 -12.3 20.1";
  for (int t = 8; t < 28; ++t)
    longLine += " w" + std::to_string(t);
  longLine += " 14 2.75 18.4 0.9 IGNORED";
  const std::string text = "  ELEVEN 10 2025 12 16 1.5 2.5 20 a b c\r\n"  // 11 tokens: key only
                           "\n"
                           "TWELVE\t96.5x 2025 12 16.25 5.0536 +25.9431 19.5 word 4 0.12 28.5 abc\r\n" +
                           longLine + "\n" +
                           "DUP 1 2025 1 1 1 1 1 x 1 1 1 1\n"
                           "DUP 2 2025 1 1 1 1 1 x 9 9 9 9\n"
                           "VERYLONGDESIGNATION17 1 2 3 4 5 6 7 8 9 10 11";
  std::set<std::string> desigs;
  std::map<std::string, NeocpEntry> entries;
  ParsePccpText(text, desigs, &entries);
  EXPECT_EQ(desigs, (std::set<std::string>{"ELEVEN", "TWELVE", "LONG33", "DUP", "VERYLONGDESIGNATION17"}));
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries.count("ELEVEN"), 0u);

  const NeocpEntry& t = entries.at("TWELVE");
  EXPECT_STREQ(t.m_szDesig, "TWELVE");
  EXPECT_DOUBLE_EQ(t.m_dScore, 96.5);  // leading number of "96.5x"
  EXPECT_DOUBLE_EQ(t.m_dDiscDay, 16.25);
  EXPECT_DOUBLE_EQ(t.m_dRa, 5.0536);
  EXPECT_DOUBLE_EQ(t.m_dDec, 25.9431);
  EXPECT_DOUBLE_EQ(t.m_dNObs, 4);
  EXPECT_DOUBLE_EQ(t.m_dArc, 0.12);
  EXPECT_DOUBLE_EQ(t.m_dH, 28.5);
  EXPECT_DOUBLE_EQ(t.m_dNotSeenDays, 0);  // "abc" is no number
  EXPECT_STREQ(t.m_szUpdated, "");

  const NeocpEntry& l = entries.at("LONG33");
  EXPECT_DOUBLE_EQ(l.m_dDec, -12.3);
  EXPECT_DOUBLE_EQ(l.m_dNObs, 14);
  EXPECT_DOUBLE_EQ(l.m_dArc, 2.75);
  EXPECT_DOUBLE_EQ(l.m_dH, 18.4);
  EXPECT_DOUBLE_EQ(l.m_dNotSeenDays, 0.9);

  EXPECT_DOUBLE_EQ(entries.at("DUP").m_dNObs, 9);  // the later line replaces
  EXPECT_STREQ(entries.at("VERYLONGDESIGNATION17").m_szDesig, "VERYLONGDESIGNA");

  std::set<std::string> only;
  ParsePccpText(text, only, nullptr);
  EXPECT_EQ(only, desigs);
}

TEST(MpcLists, PccpNumbersTakeTheLongestDecimalPrefix)
{
  struct Case {
    const char* token;
    double value;
  } const cases[] = {{"12.5abc", 12.5}, {"-3e2x", -300}, {"1e", 1}, {"+.5", 0.5}, {"e5", 0}, {"-", 0},
                     {".", 0},          {"7.", 7},       {"inf", 0}, {"0x10", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.token);
    std::set<std::string> desigs;
    std::map<std::string, NeocpEntry> entries;
    ParsePccpText(std::string("K ") + c.token + " 0 0 0 0 0 0 0 0 0 0", desigs, &entries);
    EXPECT_DOUBLE_EQ(entries.at("K").m_dScore, c.value);
  }
}

TEST(MpcLists, PrevDesItemsReadEveryFormOnThePage)
{
  const std::string page =
      "<html><body><p>Objects</p>\n<ul>\n"
      "<li> <a href=\"x\">2024 AB12</a> = A10xyz (Jan. 5.23 UT)&nbsp; [see <a href=\"m\">MPEC 2024-A123</a>]\n"
      "<li>Comet C/2024 A1 (Name) = A10cmt\t(Feb.\r\n 6 UT)\n"
      "<li>A10nc was not confirmed (Mar. 7.5 UT)\n"
      "<li>A10amp was eaten &amp; gone  (June 1 UT)\n"
      "<li>A10nodate was not confirmed\n"
      "<li>A10oneword (Sept. 3 UT)\n"
      "<li>A10rep was a star (Oct. 1 UT)\n"
      "<li>2024 ZZ9 = A10rep (Oct. 2 UT)\n"
      "<li>Latin1 \xE9t\xE9 was a star (Dec. 9 UT)\n"
      "</ul>\n"
      "<li>A10after was a star (Nov. 1 UT)"
      "<p>2024 XX1 = A10outside (Nov. 2 UT)</p>";
  std::map<std::string, PrevDesItem> items;
  ParsePrevDesPage(page, items);

  struct Want {
    const char* key;
    const char* assigned;
    const char* phrase;
    const char* date;
    const char* mpec;
  } const wants[] = {
      {"A10xyz", "2024 AB12", "", "1月5.23日", "MPEC 2024-A123"},
      {"A10cmt", "C/2024 A1 (Name)", "", "2月6日", ""},
      {"A10nc", "", "was not confirmed", "3月7.5日", ""},
      {"A10amp", "", "was eaten & gone", "6月1日", ""},
      {"A10rep", "", "was a star", "10月1日", ""},  // the first item of a key wins
      {"Latin1", "", "\xC3\xA9t\xC3\xA9 was a star", "12月9日", ""},
      {"A10after", "", "was a star", "11月1日", ""},  // after </ul> the item runs to the page's end
  };
  for (const Want& w : wants) {
    SCOPED_TRACE(w.key);
    ASSERT_EQ(items.count(w.key), 1u);
    const PrevDesItem& item = items.at(w.key);
    EXPECT_EQ(item.m_strAssigned, w.assigned);
    EXPECT_EQ(item.m_strPhrase, w.phrase);
    EXPECT_EQ(item.m_strDate, w.date);
    EXPECT_EQ(item.m_strMpec, w.mpec);
  }
  EXPECT_EQ(items.size(), std::size(wants));  // no date, one-word head: skipped
}

TEST(MpcLists, MonthDaysInJapanese)
{
  struct Case {
    const char* in;
    const char* out;
  } const cases[] = {
      {"Jan. 5.23", "1月5.23日"}, {" Sept. 12.5 ", "9月12.5日"}, {"June 3", "6月3日"}, {"July. .7", "7月7日"},
      {"Dec 31", "12月31日"},     {" Jun. 3", " Jun. 3"},       {"jan. 5", "jan. 5"}, {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatJapaneseMonthDay(c.in), c.out) << c.in;
}

TEST(MpcLists, DesignationKindsAndPackedForms)
{
  struct Case {
    const char* desig;
    bool numberedComet;
    bool temporary;
    const char* packed;
  } const cases[] = {
      {"29P", true, false, "29P"},
      {"123456D", false, true, "123456D"},  // seven characters: not a numbered comet
      {"1I", true, false, "1I"},
      {"P", false, true, "P"},
      {"A10xyz", false, true, "A10xyz"},
      {"2024 AB12", false, false, "K24A12B"},
      {" 1995 XA ", false, false, "J95X00A"},
      {"C/2024 A1", false, false, "CK24A010"},
      {"C/2024 A1 (Name)", false, false, "CK24A010"},
      {"(433)", false, false, "(433)"},
      {"", false, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.desig);
    EXPECT_EQ(IsNumberedCometDesignation(c.desig), c.numberedComet);
    EXPECT_EQ(IsTemporaryDesignation(c.desig), c.temporary);
    EXPECT_EQ(ToPackedDesignation(c.desig), c.packed);
  }
}

TEST(MpcLists, FateTableMatchesPhrasesExactly)
{
  ASSERT_NE(FindNeocpFate("was not confirmed"), nullptr);
  EXPECT_STREQ(FindNeocpFate("was not confirmed")->fateShort, "確認されず");
  EXPECT_STREQ(FindNeocpFate("had bad astrometry")->fate, "位置の測定に問題があった");
  EXPECT_EQ(FindNeocpFate("Was not confirmed"), nullptr);
  EXPECT_EQ(FindNeocpFate("was not confirmed "), nullptr);
}

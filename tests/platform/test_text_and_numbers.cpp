#include <gtest/gtest.h>

#include <clocale>

#include "platform/encoding.h"
#include "platform/fixed_field.h"
#include "platform/numbers.h"

TEST(FixedField, ReadsColumnsAsTheFormatsWriteThem)
{
  // An 80-column observation line: RA hours in 33-34, Dec degrees in 45-47.
  const std::string line =
      "     K08T03C  C2008 10 06.96936 23 35 41.57 +07 05 54.0          20.0 V      G96";
  struct Case {
    const char* name;
    int first, last;
    double value;
  } cases[] = {
      {"year", 16, 19, 2008},         {"day with fraction", 24, 32, 6.96936},
      {"ra hours", 33, 34, 23},       {"ra seconds", 39, 44, 41.57},
      {"signed dec degrees", 45, 47, 7}, {"blank magnitude columns", 59, 64, 0},
      {"past the end", 81, 90, 0},    {"magnitude", 66, 70, 20.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_DOUBLE_EQ(FixedDouble(line, c.first, c.last), c.value);
  }
  EXPECT_EQ(FixedInt(line, 16, 19), 2008);
  EXPECT_TRUE(FixedBlank(line, 59, 64));
  EXPECT_FALSE(FixedBlank(line, 66, 70));
}

TEST(FixedField, DecimalReaderStopsAtTheFirstOtherCharacter)
{
  struct Case {
    const char* text;
    double value;
  } cases[] = {
      {"", 0},         {"   ", 0},      {"-0.5", -0.5},    {"+12 34", 12},  {"  .25x", 0.25},
      {"1e3", 1000},   {"1e", 1},       {"-", 0},          {"abc", 0},      {"0.1", 0.1},
      {"-07", -7},     {"123456.789012", 123456.789012},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_DOUBLE_EQ(ReadDecimal(c.text), c.value);
  }
}

TEST(Numbers, FormattingAndParsingIgnoreTheUserLocale)
{
  // A locale with a decimal comma, when the machine has one.
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = old ? old : "C";
  bool switched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  EXPECT_EQ(FormatC("%.3f", 1.5), "1.500");
  double v = 0;
  EXPECT_TRUE(ParseDouble(" 2.25 ", v));
  EXPECT_EQ(v, 2.25);
  EXPECT_DOUBLE_EQ(StringToDouble("10.8"), 10.8);
  std::setlocale(LC_NUMERIC, saved.c_str());
  if (!switched)
    GTEST_LOG_(INFO) << "no decimal-comma locale here; checked in the C locale only";

  for (const char* bad : {"", "1.5x", "nan", "inf", "1,5", "--1"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(ParseDouble(bad, v));
  }
  EXPECT_EQ(FormatC("%s", std::string(600, 'x').c_str()).size(), 600u);
}

TEST(Encoding, ProgramTextsRoundTripThroughCodePage932)
{
  // Half-width kana, the long dash of the calculation log, and a message text.
  const std::string texts[] = {
      "Epheme ﾌｧｲﾙ (*.eph)",
      "――― 12:34:56 ―――\r\n",
      "ほかの計算を実行中です。終わってからもう一度お試しください。",
  };
  for (const std::string& t : texts) {
    SCOPED_TRACE(t);
    std::string sjis, back;
    ASSERT_TRUE(Utf8ToCp932(t, sjis));
    ASSERT_TRUE(Cp932ToUtf8(sjis, back));
    EXPECT_EQ(back, t);
  }
  std::string sjis;
  ASSERT_TRUE(Utf8ToCp932("ﾌ", sjis));
  EXPECT_EQ(sjis, "\xCC");  // half-width kana are single bytes in CP932
}

TEST(Encoding, DecodesTheThreeFileEncodings)
{
  std::string utf16;
  ASSERT_TRUE(Utf8ToUtf16Le("軌道 K08T03C", utf16, true));
  std::string sjis;
  ASSERT_TRUE(Utf8ToCp932("軌道 K08T03C", sjis));
  struct Case {
    const char* name;
    std::string bytes;
    TextEncoding encoding;
  } cases[] = {
      {"utf-16 with bom", utf16, TextEncoding::Utf16Le},
      {"utf-8 with bom", std::string(kUtf8Bom) + "軌道 K08T03C", TextEncoding::Utf8},
      {"utf-8", "軌道 K08T03C", TextEncoding::Utf8},
      {"cp932", sjis, TextEncoding::Cp932},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text;
    TextEncoding enc;
    ASSERT_TRUE(DecodeTextBytes(c.bytes, text, &enc));
    EXPECT_EQ(text, "軌道 K08T03C");
    EXPECT_EQ(enc, c.encoding);
  }
}

TEST(Encoding, StrictUtf8RejectsMalformedSequences)
{
  const char* bad[] = {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE3\x81", "\x80"};
  for (const char* b : bad) {
    SCOPED_TRACE(::testing::PrintToString(std::string(b)));
    EXPECT_FALSE(IsStrictUtf8(b));
  }
  EXPECT_TRUE(IsStrictUtf8("ascii and 日本語 and \xF0\x9F\x98\x80"));
  std::string out;
  EXPECT_FALSE(Utf16LeToUtf8(std::string("\xFF\xFE\x00\xD8", 4), out));  // lone high surrogate
  EXPECT_FALSE(Utf16LeToUtf8(std::string("\xFF\xFE\x41", 3), out));      // odd length
}

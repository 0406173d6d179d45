#include <gtest/gtest.h>

#include <string>

#include "data/text_bytes.h"
#include "data/text_columns.h"

// Every character that code page 932 lacks, and every malformed sequence,
// becomes one "?" and the conversion goes on after it; the expected bytes
// are those of the code page's own table (日 = 93 FA, half-width ｱ = B1,
// ～ = 81 60).
TEST(TextBytes, Cp932LossyReplacesEachBadCharacterAndGoesOn)
{
  const struct {
    const char* utf8;
    std::string cp932;
  } cases[] = {
      {"abc", "abc"},
      {"日本", "\x93\xFA\x96\x7B"},
      {"\xEF\xBD\xB1", "\xB1"},
      {"\xEF\xBD\x9E", "\x81\x60"},
      {"a\xC3\xA9\xE6\x97\xA5", "a?\x93\xFA"},                     // é, 日
      {"\xF0\x9F\x98\x80x\xC5\x91\xC5\x91y", "?x??y"},              // an emoji, two ő
      {"a\xFF" "b\xE6\x97" "c", "a?b??c"},                           // a stray byte, a cut sequence
      {"\xE6\x97\xA5\xC5\x91", "\x93\xFA?"},                         // the bad character last
      {"\xC5\x91\xE6\x97\xA5\xE6\x97", "?\x93\xFA??"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Utf8ToCp932Lossy(c.utf8), c.cp932) << c.utf8;
  // A long text with one bad letter keeps everything around it.
  const std::string page = std::string(50000, 'x') + "\xC5\x91" + std::string(50000, 'y');
  EXPECT_EQ(Utf8ToCp932Lossy(page), std::string(50000, 'x') + "?" + std::string(50000, 'y'));
  // Long texts of three-byte characters (converted piece by piece, and the
  // pieces must never cut one) with a bad letter among them.
  std::string kanji, expected;
  for (int i = 0; i < 5000; ++i) {
    kanji += i == 2000 ? "\xC5\x91" : "\xE6\x97\xA5";
    expected += i == 2000 ? "?" : "\x93\xFA";
  }
  EXPECT_EQ(Utf8ToCp932Lossy(kanji), expected);
  EXPECT_EQ(Utf8ToCp932Lossy("a" + kanji), "a" + expected);
  // Runs of stray continuation bytes across the pieces' ends: one "?" each,
  // and a whole character right before a run keeps its code.
  for (const size_t lead : {4090, 4091, 4092, 4093, 4095}) {
    const std::string text = std::string(lead, 'x') + "\xE6\x97\xA5" + std::string(9000, '\x80') + "z";
    EXPECT_EQ(Utf8ToCp932Lossy(text), std::string(lead, 'x') + "\x93\xFA" + std::string(9000, '?') + "z") << lead;
  }
}

// Code page 932 text longer than the converter's output buffer, and a text
// with one bad line: every line but that one is converted (日本 = 93 FA 96 7B,
// half-width ｱ = B1, three UTF-8 bytes from one), the bad one keeps its ASCII.
TEST(TextBytes, Cp932ToUtf8KeepsLongTextsAndSpoilsOnlyABadLine)
{
  std::string sjis, utf8;
  for (int i = 0; i < 2000; ++i) {
    sjis += "\x93\xFA\x96\x7B\xB1\n";
    utf8 += "日本ｱ\n";
  }
  // Compared whole, without printing twenty kilobytes on a failure.
  EXPECT_TRUE(Cp932ToUtf8Lenient(sjis) == utf8);
  EXPECT_TRUE(BytesToUtf8(sjis) == utf8);

  const std::string bad = "K24A01A \x81\n";  // a lead byte with no second byte
  const std::string mixed = Cp932ToUtf8Lenient(sjis + bad + sjis);
  EXPECT_TRUE(mixed == utf8 + "K24A01A ?\n" + utf8) << mixed.substr(utf8.size(), 20);
  EXPECT_EQ(BytesToUtf8(bad + "\xB1"), "K24A01A ?\n?");  // no conversion: ASCII only
}

// Line breaking of wrapped Japanese text, with a measurer of fixed widths:
// 5 pixels for a byte below 0x80, 10 for any other character.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/window_text.h"

namespace {

int FixedWidth(std::string_view utf8)
{
  int w = 0;
  for (unsigned char c : utf8) {
    if (c < 0x80)
      w += 5;
    else if ((c & 0xC0) != 0x80)
      w += 10;
  }
  return w;
}

std::vector<std::string> Lines(const std::string& text, int width)
{
  std::vector<WrappedLine> lines;
  LayoutWrappedText(text, width, 20, FixedWidth, &lines);
  std::vector<std::string> out;
  for (const WrappedLine& l : lines)
    out.push_back(l.text);
  return out;
}

TEST(WrappedText, BreaksByTheRulesOfJapaneseAndWords)
{
  struct Case {
    const char* name;
    const char* text;
    int width;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"fits on one line", "あいう", 50, {"あいう"}},
      {"kana break anywhere", "あいうえおかきくけこさ", 50, {"あいうえお", "かきくけこ", "さ"}},
      {"full stop after a full line stays on it", "あいうえお。かき", 50, {"あいうえお。", "かき"}},
      {"two closing marks stay", "あいうえお」。か", 50, {"あいうえお」。", "か"}},
      {"a third goes to the next line", "あいうえお）」。か", 50, {"あいうえお）」", "。か"}},
      {"long vowel mark and ASCII comma are held back too", "あいうえおーかきくけこ,さ", 50,
       {"あいうえおー", "かきくけこ,", "さ"}},
      {"English words move whole to the next line", "hello world again", 50, {"hello ", "world ", "again"}},
      {"a word wider than the line is cut inside", "abcdefghijklmnop", 50, {"abcdefghij", "klmnop"}},
      {"no blank on the line: the word is cut", "軌道要素Tessarune計算", 50, {"軌道要素Te", "ssarune計", "算"}},
      {"blank before a word in mixed text", "計算 Tessarune です", 50, {"計算 ", "Tessarune ", "です"}},
      {"digits are word characters", "値 12345678", 40, {"値 ", "12345678"}},
      {"kana and kanji are not word characters", "ab 計算計算計算", 40, {"ab 計算", "計算計算"}},
      {"a character wider than the width still takes a line", "あい", 5, {"あ", "い"}},
      {"carriage returns dropped, line feeds end lines", "あい\r\nう", 50, {"あい", "う"}},
      {"blanks after a break are skipped", "abcde     fgh", 25, {"abcde", "fgh"}},
      {"full-width letters are word characters", "Ａ ＢＣＤＥＦ", 40, {"Ａ ", "ＢＣＤＥ", "Ｆ"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Lines(c.text, c.width), c.lines);
  }
}

TEST(WrappedText, HeightCountsEmptyParagraphs)
{
  // Every line feed starts a paragraph, so a final one adds an empty line.
  EXPECT_EQ(LayoutWrappedText("\n\n", 100, 20, FixedWidth, nullptr), 60);
  EXPECT_EQ(LayoutWrappedText("あ\n", 100, 20, FixedWidth, nullptr), 40);
  EXPECT_EQ(LayoutWrappedText("あいうえおか\n\nき", 50, 20, FixedWidth, nullptr), 80);

  std::vector<WrappedLine> lines;
  LayoutWrappedText("あ\n\nいう", 100, 17, FixedWidth, &lines);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].y, 0);
  EXPECT_EQ(lines[1].y, 34);
  EXPECT_EQ(lines[1].width, 20);
}

TEST(WrappedText, LineHeightFromFont)
{
  EXPECT_EQ(WrappedLineHeight(16, 0), 20);  // 16 + 41 / 10
  EXPECT_EQ(WrappedLineHeight(12, 2), 17);  // 12 + 33 / 10 + 2
  EXPECT_EQ(WrappedLineHeight(10, 0), 12);  // 10 + 29 / 10
}

} // namespace

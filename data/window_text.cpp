#include "data/window_text.h"

#include <cstddef>

namespace {

// The text of one paragraph as code points, with the byte offset of each in
// the UTF-8 text (one more entry for the end).
struct CodePoints {
  std::u32string chars;
  std::vector<size_t> offsets;
};

// Lenient UTF-8 decoding: a byte that starts no valid sequence stands for itself.
CodePoints Decode(std::string_view s)
{
  CodePoints out;
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    size_t len = 1;
    char32_t c = b;
    if (b >= 0xC2 && b <= 0xF4) {
      len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
      c = b & (0x7F >> len);
      bool ok = i + len <= s.size();
      for (size_t k = 1; ok && k < len; ++k) {
        const unsigned char t = static_cast<unsigned char>(s[i + k]);
        ok = (t & 0xC0) == 0x80;
        c = (c << 6) | (t & 0x3F);
      }
      if (!ok) {
        len = 1;
        c = b;
      }
    }
    out.chars.push_back(c);
    out.offsets.push_back(i);
    i += len;
  }
  out.offsets.push_back(s.size());
  return out;
}

bool IsBlank(char32_t c)
{
  return c == U' ' || c == U'\t' || c == U'\u3000';
}

// Letters and digits of the alphabetic scripts (Latin, Greek, Cyrillic, and
// their full-width forms): the characters of words that must not be split.
// Kana and kanji are not among them; Japanese breaks between any two of them.
bool IsWordChar(char32_t c)
{
  if ((c >= U'0' && c <= U'9') || (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z'))
    return true;
  if (c >= 0xC0 && c <= 0x24F)
    return c != 0xD7 && c != 0xF7;
  if (c >= 0x370 && c <= 0x4FF)
    return true;
  return (c >= 0xFF10 && c <= 0xFF19) || (c >= 0xFF21 && c <= 0xFF3A) || (c >= 0xFF41 && c <= 0xFF5A);
}

} // namespace

int WrappedLineHeight(int fontHeight, int externalLeading)
{
  return fontHeight + (2 * fontHeight + 9) / 10 + externalLeading;
}

bool IsLineStartProhibited(char32_t c)
{
  static const std::u32string_view kSet = U"、。，．・：；？！ゝゞ々ー）〕］｝〉》」』】,.:;?!)]";
  return kSet.find(c) != std::u32string_view::npos;
}

int LayoutWrappedText(std::string_view text, int width, int lineHeight, const TextMeasurer& measure,
                      std::vector<WrappedLine>* lines)
{
  std::string copy;
  copy.reserve(text.size());
  for (char ch : text)
    if (ch != '\r')
      copy.push_back(ch);

  int y = 0;
  size_t start = 0;
  while (true) {
    const size_t lf = copy.find('\n', start);
    const std::string_view para =
        std::string_view(copy).substr(start, lf == std::string::npos ? std::string::npos : lf - start);
    if (para.empty()) {
      y += lineHeight;
    } else {
      const CodePoints cp = Decode(para);
      const size_t n = cp.chars.size();
      auto run = [&](size_t from, size_t to) {
        return para.substr(cp.offsets[from], cp.offsets[to] - cp.offsets[from]);
      };
      size_t i = 0;
      while (i < n) {
        // The longest run that fits, at least one character.
        size_t j = i + 1;
        while (j < n && measure(run(i, j + 1)) <= width)
          ++j;
        // A word is not split when the line has a blank to break at.
        if (j < n && IsWordChar(cp.chars[j]) && IsWordChar(cp.chars[j - 1])) {
          for (size_t p = j - 1; p >= i + 1; --p) {
            if (IsBlank(cp.chars[p])) {
              j = p + 1;
              break;
            }
          }
        }
        for (int k = 0; k < 2 && j < n && IsLineStartProhibited(cp.chars[j]); ++k)
          ++j;
        if (lines) {
          const std::string_view line = run(i, j);
          lines->push_back({std::string(line), measure(line), y});
        }
        i = j;
        while (i < n && IsBlank(cp.chars[i]))
          ++i;
        y += lineHeight;
      }
    }
    if (lf == std::string::npos)
      break;
    start = lf + 1;
  }
  return y;
}

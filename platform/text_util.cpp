#include "platform/text_util.h"

namespace {

bool IsContinuation(unsigned char c)
{
  return (c & 0xC0) == 0x80;
}

char LowerAscii(char c)
{
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

void AppendUtf8(std::string& out, char32_t cp)
{
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

size_t Utf8CharLength(std::string_view text, size_t i)
{
  const unsigned char c = static_cast<unsigned char>(text[i]);
  const size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
  if (i + len > text.size())
    return 1;
  for (size_t k = 1; k < len; ++k)
    if (!IsContinuation(static_cast<unsigned char>(text[i + k])))
      return 1;
  return len;
}

std::string_view Utf8Prefix(std::string_view utf8, size_t n)
{
  size_t i = 0;
  while (i < utf8.size() && n > 0) {
    ++i;
    while (i < utf8.size() && IsContinuation(static_cast<unsigned char>(utf8[i])))
      ++i;
    --n;
  }
  return utf8.substr(0, i);
}

size_t Utf8Length(std::string_view utf8)
{
  size_t n = 0;
  for (char c : utf8)
    if (!IsContinuation(static_cast<unsigned char>(c)))
      ++n;
  return n;
}

std::vector<std::string_view> SplitLines(std::string_view text)
{
  std::vector<std::string_view> lines;
  ForEachLine(text, [&](std::string_view line) { lines.push_back(line); });
  return lines;
}

std::string WithCrLf(std::string_view text)
{
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
      out += '\r';
    out += text[i];
  }
  return out;
}

std::string_view TrimSpace(std::string_view text)
{
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; };
  while (!text.empty() && space(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && space(text.back()))
    text.remove_suffix(1);
  return text;
}

bool EqualsNoCaseAscii(std::string_view a, std::string_view b)
{
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i]))
      return false;
  return true;
}

#include "data/text_bytes.h"

#include "platform/encoding.h"

namespace {

bool IsContinuation(unsigned char c)
{
  return (c & 0xC0) == 0x80;
}

} // namespace

std::string BytesToUtf8(std::string_view bytes)
{
  if (IsStrictUtf8(bytes)) {
    if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom)
      bytes.remove_prefix(kUtf8Bom.size());
    return std::string(bytes);
  }
  std::string out;
  if (Cp932ToUtf8(bytes, out))
    return out;
  out.clear();
  for (char c : bytes)
    out += static_cast<unsigned char>(c) < 0x80 ? c : '?';
  return out;
}

std::string Utf8ToCp932Lossy(std::string_view utf8)
{
  std::string out;
  if (Utf8ToCp932(utf8, out))
    return out;
  out.clear();
  size_t i = 0;
  while (i < utf8.size()) {
    size_t n = 1;
    while (i + n < utf8.size() && IsContinuation(static_cast<unsigned char>(utf8[i + n])))
      ++n;
    std::string one;
    if (Utf8ToCp932(utf8.substr(i, n), one))
      out += one;
    else
      out += '?';
    i += n;
  }
  return out;
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

std::string_view TrimSpace(std::string_view text)
{
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && space(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && space(text.back()))
    text.remove_suffix(1);
  return text;
}

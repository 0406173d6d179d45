#include "data/text_bytes.h"

#include "platform/encoding.h"

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
    const size_t n = Utf8CharLength(utf8, i);
    std::string one;
    if (Utf8ToCp932(utf8.substr(i, n), one))
      out += one;
    else
      out += '?';
    i += n;
  }
  return out;
}

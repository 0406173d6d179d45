#include "data/text_columns.h"

#include "platform/encoding.h"
#include "platform/text_util.h"

std::string Utf16LeToUtf8Lenient(std::string_view bytes)
{
  std::string out;
  out.reserve(bytes.size() / 2);
  const size_t units = bytes.size() / 2;
  const auto unit = [&](size_t k) {
    return static_cast<char32_t>(static_cast<unsigned char>(bytes[2 * k]) |
                                 (static_cast<unsigned char>(bytes[2 * k + 1]) << 8));
  };
  for (size_t k = 0; k < units; ++k) {
    char32_t cp = unit(k);
    if (cp >= 0xD800 && cp <= 0xDBFF && k + 1 < units && unit(k + 1) >= 0xDC00 && unit(k + 1) <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(k + 1) - 0xDC00);
      ++k;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

std::string Cp932ToUtf8Lenient(std::string_view bytes)
{
  bool ascii = true;
  for (char c : bytes)
    ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii)
    return std::string(bytes);
  // One converter for each thread, opened at its first text.
  thread_local Cp932Decoder decoder;
  std::string out;
  if (decoder.AppendUtf8(bytes, out))
    return out;
  // A line feed never occurs inside a code page 932 character, so a bad byte
  // spoils only its own line.
  size_t start = 0;
  while (start <= bytes.size()) {
    size_t end = bytes.find('\n', start);
    const bool last = end == std::string_view::npos;
    if (last)
      end = bytes.size();
    const std::string_view line = bytes.substr(start, end - start);
    if (!decoder.AppendUtf8(line, out)) {
      const size_t at = out.size();
      out += line;
      for (size_t i = at; i < out.size(); ++i)
        if (static_cast<unsigned char>(out[i]) >= 0x80)
          out[i] = '?';
    }
    if (last)
      break;
    out += '\n';
    start = end + 1;
  }
  return out;
}

std::string ToColumnText(std::string_view utf8)
{
  // Observation files are nearly all ASCII: their runs are copied whole, and
  // only the other characters are looked at one by one.
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    size_t run = i;
    while (run < utf8.size() && static_cast<unsigned char>(utf8[run]) < 0x80)
      ++run;
    out.append(utf8.data() + i, run - i);
    if (run == utf8.size())
      break;
    out += '?';
    i = run + Utf8CharLength(utf8, run);
  }
  return out;
}

std::string DecodeColumnFile(std::string_view bytes, TextEncoding* encoding, bool* utf8Bom)
{
  const bool utf16 = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                     static_cast<unsigned char>(bytes[1]) == 0xFE;
  const bool bom = !utf16 && bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom;
  if (utf8Bom)
    *utf8Bom = bom;
  TextEncoding found = TextEncoding::Utf16Le;
  std::string text;
  if (utf16) {
    text = Utf16LeToUtf8Lenient(bytes.substr(2));
  } else if (IsStrictUtf8(bytes)) {
    found = TextEncoding::Utf8;
    text.assign(bytes.substr(bom ? kUtf8Bom.size() : 0));
  } else {
    found = TextEncoding::Cp932;
    text = Cp932ToUtf8Lenient(bytes);
  }
  if (encoding)
    *encoding = found;
  return text;
}

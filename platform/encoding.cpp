#include "platform/encoding.h"

#include <cerrno>
#include <iconv.h>

#include "platform/text_util.h"

namespace {

// Decodes one UTF-8 sequence at bytes[i]; returns its length or 0 when malformed.
size_t DecodeUtf8(std::string_view b, size_t i, char32_t& cp)
{
  const auto u = [&](size_t k) { return static_cast<unsigned char>(b[k]); };
  unsigned char c = u(i);
  size_t len;
  char32_t min;
  if (c < 0x80) {
    cp = c;
    return 1;
  } else if ((c & 0xE0) == 0xC0) {
    len = 2, cp = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3, cp = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4, cp = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > b.size())
    return 0;
  for (size_t k = 1; k < len; ++k) {
    if ((u(i + k) & 0xC0) != 0x80)
      return 0;
    cp = (cp << 6) | (u(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return len;
}

// The output goes through a small buffer and is appended as it fills: a
// buffer sized for the worst case of the whole text (four bytes for each)
// was zero-filled on every call, four times the text for a few lines.
bool AppendConverted(iconv_t cd, std::string_view in, std::string& out)
{
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // the initial shift state
  const size_t kept = out.size();
  out.reserve(kept + in.size() + in.size() / 2 + 16);
  char chunk[4096];
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  // The input, then the shift back to the initial state (nullptr input).
  for (bool flushed = false; !flushed;) {
    char* outPtr = chunk;
    size_t outLeft = sizeof chunk;
    const bool last = inLeft == 0;
    const size_t r = last ? iconv(cd, nullptr, nullptr, &outPtr, &outLeft) : iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      out.resize(kept);
      return false;
    }
    flushed = last && r != static_cast<size_t>(-1);
    out.append(chunk, static_cast<size_t>(outPtr - chunk));
  }
  return true;
}

bool IconvConvert(const char* to, const char* from, std::string_view in, std::string& out)
{
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1))
    return false;
  std::string result;
  const bool ok = AppendConverted(cd, in, result);
  iconv_close(cd);
  if (ok)
    out = std::move(result);
  return ok;
}

} // namespace

bool IsStrictUtf8(std::string_view bytes)
{
  for (size_t i = 0; i < bytes.size();) {
    char32_t cp;
    size_t n = DecodeUtf8(bytes, i, cp);
    if (n == 0)
      return false;
    i += n;
  }
  return true;
}

bool Utf16LeToUtf8(std::string_view bytes, std::string& utf8)
{
  if (bytes.size() % 2 != 0)
    return false;
  size_t i = 0;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
    i = 2;
  std::string out;
  out.reserve(bytes.size());
  const auto unit = [&](size_t k) {
    return static_cast<char16_t>(static_cast<unsigned char>(bytes[k]) | (static_cast<unsigned char>(bytes[k + 1]) << 8));
  };
  for (; i < bytes.size(); i += 2) {
    char32_t cp = unit(i);
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      if (i + 3 >= bytes.size())
        return false;
      char32_t lo = unit(i + 2);
      if (lo < 0xDC00 || lo > 0xDFFF)
        return false;
      cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
      i += 2;
    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
      return false;
    }
    AppendUtf8(out, cp);
  }
  utf8 = std::move(out);
  return true;
}

bool Utf8ToUtf16Le(std::string_view utf8, std::string& bytes, bool withBom)
{
  std::string out;
  if (withBom)
    out += "\xFF\xFE";
  const auto put = [&](char32_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>((u >> 8) & 0xFF);
  };
  for (size_t i = 0; i < utf8.size();) {
    char32_t cp;
    size_t n = DecodeUtf8(utf8, i, cp);
    if (n == 0)
      return false;
    i += n;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      put(0xD800 + (cp >> 10));
      put(0xDC00 + (cp & 0x3FF));
    } else {
      put(cp);
    }
  }
  bytes = std::move(out);
  return true;
}

bool Cp932ToUtf8(std::string_view bytes, std::string& utf8)
{
  return IconvConvert("UTF-8", "CP932", bytes, utf8);
}

Cp932Decoder::Cp932Decoder() : m_cd(iconv_open("UTF-8", "CP932")) {}

Cp932Decoder::~Cp932Decoder()
{
  if (m_cd != reinterpret_cast<iconv_t>(-1))
    iconv_close(static_cast<iconv_t>(m_cd));
}

bool Cp932Decoder::AppendUtf8(std::string_view bytes, std::string& utf8)
{
  return m_cd != reinterpret_cast<iconv_t>(-1) && AppendConverted(static_cast<iconv_t>(m_cd), bytes, utf8);
}

bool Utf8ToCp932(std::string_view utf8, std::string& bytes)
{
  return IconvConvert("CP932", "UTF-8", utf8, bytes);
}

bool DecodeTextBytes(std::string_view bytes, std::string& utf8, TextEncoding* detected)
{
  bool ok = true;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
    if (detected)
      *detected = TextEncoding::Utf16Le;
    ok = Utf16LeToUtf8(bytes, utf8);
  } else if (IsStrictUtf8(bytes)) {
    utf8.assign(bytes);
    if (detected)
      *detected = TextEncoding::Utf8;
  } else {
    if (detected)
      *detected = TextEncoding::Cp932;
    return Cp932ToUtf8(bytes, utf8);
  }
  // Every leading mark goes, not only the first: a file saved twice with a
  // mark would otherwise begin with U+FEFF and hide its first line.
  size_t marks = 0;
  while (utf8.compare(marks, kUtf8Bom.size(), kUtf8Bom) == 0)
    marks += kUtf8Bom.size();
  utf8.erase(0, marks);
  return ok;
}

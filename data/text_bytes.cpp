#include "data/text_bytes.h"

#include <cerrno>
#include <iconv.h>

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
  out.assign(bytes);
  for (char& c : out)
    if (static_cast<unsigned char>(c) >= 0x80)
      c = '?';
  return out;
}

std::string Utf8ToCp932Lossy(std::string_view utf8)
{
  // One converter for the whole text: a character with no code in CP932 (or
  // a malformed sequence) becomes "?" and the conversion goes on after it,
  // where opening a converter per character cost seven times the whole text.
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1))
    return std::string(utf8.size(), '?');
  std::string out(utf8.size() + 16, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  char* put = out.data();
  size_t putLeft = out.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &put, &putLeft) != static_cast<size_t>(-1))
      break;
    const size_t used = static_cast<size_t>(put - out.data());
    if (errno == E2BIG || putLeft == 0) {
      out.resize(out.size() * 2);
      put = out.data() + used;
      putLeft = out.size() - used;
      continue;
    }
    if (errno != EILSEQ && errno != EINVAL)
      break;
    *put++ = '?';
    --putLeft;
    const size_t at = static_cast<size_t>(in - utf8.data());
    const size_t skip = Utf8CharLength(utf8, at);
    in += skip;
    inLeft -= skip;
  }
  iconv_close(cd);
  out.resize(static_cast<size_t>(put - out.data()));
  return out;
}

#include "data/text_bytes.h"

#include <algorithm>
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

namespace {

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The end of the piece that starts at `at`: before the first byte of the
// character the plain end would cut. A character has at most three
// continuation bytes, so a longer run is malformed anyway and is cut where
// it stands (stepping back through it would make a text of stray bytes
// cost a piece's length per byte).
size_t PieceEnd(std::string_view utf8, size_t at, size_t piece)
{
  const size_t end = std::min(utf8.size(), at + piece);
  size_t back = end;
  for (int k = 0; k < 3 && back > at + 1 && back < utf8.size() && IsContinuationByte(utf8[back]); ++k)
    --back;
  return back < utf8.size() && IsContinuationByte(utf8[back]) ? end : back;
}

} // namespace

std::string Utf8ToCp932Lossy(std::string_view utf8)
{
  // One converter for the whole text: a character with no code in CP932 (or
  // a malformed sequence) becomes "?" and the conversion goes on after it,
  // where opening a converter per character cost seven times the whole text.
  // The text goes in pieces of a few kilobytes ending on a character's first
  // byte: after a refused character the converter converts its whole input
  // again up to it, which over the whole text doubled the time of one letter.
  constexpr size_t kPiece = 4096;
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1))
    return std::string(utf8.size(), '?');
  std::string out(utf8.size() + 16, '\0');
  char* in = const_cast<char*>(utf8.data());
  const char* const textEnd = utf8.data() + utf8.size();
  char* put = out.data();
  size_t putLeft = out.size();
  while (in < textEnd) {
    const size_t at = static_cast<size_t>(in - utf8.data());
    size_t end = PieceEnd(utf8, at, kPiece);
    size_t inLeft = end - at;
    if (iconv(cd, &in, &inLeft, &put, &putLeft) != static_cast<size_t>(-1))
      continue;
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
    in += Utf8CharLength(utf8, static_cast<size_t>(in - utf8.data()));
  }
  iconv_close(cd);
  out.resize(static_cast<size_t>(put - out.data()));
  return out;
}

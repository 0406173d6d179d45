#pragma once
// Small operations on UTF-8 text and ASCII case, shared by the file readers.
#include <string>
#include <string_view>
#include <vector>

// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);
// Byte length of the character that starts at text[i]: its lead byte's count
// when the continuation bytes are present, else 1 (a malformed byte alone).
size_t Utf8CharLength(std::string_view text, size_t i);
// The first n characters (code points) of UTF-8 text, never cut inside one.
std::string_view Utf8Prefix(std::string_view utf8, size_t n);
// Number of characters (code points) of UTF-8 text.
size_t Utf8Length(std::string_view utf8);
// Calls each(line) for the lines of text split at LF, each without its LF
// and its trailing CRs; a final LF opens no further line.
template <typename F>
void ForEachLine(std::string_view text, F each)
{
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos)
      end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    while (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    each(line);
    pos = end + 1;
  }
}
// The same lines as a list.
std::vector<std::string_view> SplitLines(std::string_view text);
// Each LF as CR LF (a CR LF already there stays as it is).
std::string WithCrLf(std::string_view text);
// Text without the white space (blank, tab, CR, LF, VT, FF) at both ends.
std::string_view TrimSpace(std::string_view text);
// Equal when compared without regard to the case of ASCII letters.
bool EqualsNoCaseAscii(std::string_view a, std::string_view b);

#include "neocp/scan_files.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <type_traits>

#include "platform/encoding.h"
#include "platform/files.h"

namespace {

constexpr long kMaxReadBytes = 268435456;  // 256 MiB

// from_chars on the text after its leading blanks and one optional '+'.
template <class T>
T LeadingNumber(const std::string& text, T zero)
{
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
    ++i;
  if (i < text.size() && text[i] == '+')
    ++i;
  T v = zero;
  const char* first = text.data() + i;
  const char* last = text.data() + text.size();
  if constexpr (std::is_floating_point_v<T>) {
    if (std::from_chars(first, last, v, std::chars_format::general).ec != std::errc())
      return zero;
  } else {
    if (std::from_chars(first, last, v).ec != std::errc())
      return zero;
  }
  return v;
}

} // namespace

std::string EscapeStateField(const std::string& text)
{
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
    case '\\': out += "\\\\"; break;
    case '\t': out += "\\t"; break;
    case '\n': out += "\\n"; break;
    case '\r': out += "\\r"; break;
    default: out += c; break;
    }
  }
  return out;
}

std::string UnescapeStateField(const std::string& text)
{
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char next = text[++i];
    out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
  }
  return out;
}

int ReadUtf8File(const std::string& path, std::string& text)
{
  text.clear();
  FilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f)
    return 0;
  if (std::fseek(f.get(), 0, SEEK_END) != 0)
    return 0;
  const long size = std::ftell(f.get());
  if (size < 0 || size > kMaxReadBytes || std::fseek(f.get(), 0, SEEK_SET) != 0)
    return 0;
  std::string bytes(static_cast<size_t>(size), '\0');
  if (size > 0 && std::fread(bytes.data(), 1, bytes.size(), f.get()) != bytes.size())
    return 0;
  if (bytes.size() > 2 && bytes.compare(0, kUtf8Bom.size(), kUtf8Bom) == 0)
    bytes.erase(0, kUtf8Bom.size());
  text = std::move(bytes);
  return 1;
}

int WriteUtf8BomFile(const std::string& path, const std::string& text)
{
  // Whole or not at all, as every other file of the scan: a log, clone track
  // or group file cut short by a full disk or a kill would read as a whole
  // one.
  return WriteUtf8BomFileReplacing(path, text);
}

int WriteUtf8BomFileReplacing(const std::string& path, const std::string& text)
{
  std::string bytes(kUtf8Bom);
  bytes += text;
  return WriteFileAtomic(path, bytes) ? 1 : 0;
}

void SplitLines(const std::string& text, std::vector<std::string>& lines)
{
  lines.clear();
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    std::string piece = text.substr(start, end - start);
    while (!piece.empty() && piece.back() == '\r')
      piece.pop_back();
    if (!piece.empty())
      lines.push_back(std::move(piece));
    start = end + 1;
  }
}

void SplitTabFields(const std::string& line, std::vector<std::string>& fields)
{
  fields.clear();
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    if (tab == std::string::npos) {
      fields.push_back(line.substr(start));
      return;
    }
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
}

int CompareDoublesAscending(const void* a, const void* b)
{
  const double x = *static_cast<const double*>(a);
  const double y = *static_cast<const double*>(b);
  return x < y ? -1 : x > y ? 1 : 0;
}

double ParseLeadingDouble(const std::string& text)
{
  return LeadingNumber<double>(text, 0.0);
}

int ParseLeadingInt(const std::string& text)
{
  return LeadingNumber<int>(text, 0);
}

std::string FormatLocalTime(std::time_t t, const char* format)
{
  std::tm local{};
  char text[128];
  if (!localtime_r(&t, &local) || std::strftime(text, sizeof text, format, &local) == 0)
    return "";
  return text;
}

std::string FormatLocalNow(const char* format)
{
  return FormatLocalTime(std::time(nullptr), format);
}

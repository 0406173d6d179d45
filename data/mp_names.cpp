#include "data/mp_names.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string_view>

#include "platform/app_services.h"
#include "platform/encoding.h"
#include "platform/files.h"

std::unordered_map<std::string, std::string> g_mapMpNames;
int g_bMpNamesLoaded = 0;
int g_bMpNamesRebuildTried = 0;

namespace {

constexpr const char* kIndexName = "MpNames.txt";
// The readable designation of an MPCORB line: columns 167-194.
constexpr size_t kDesignationStart = 166;
constexpr size_t kDesignationChars = 28;

std::string_view TrimBlanks(std::string_view s)
{
  const size_t first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos)
    return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::string_view CutAtLineEnd(std::string_view s) { return s.substr(0, s.find_first_of("\r\n")); }

// Catalogue and index text is ASCII in practice; anything else is taken as
// UTF-8 when it is, else as the Japanese ANSI code page.
std::string ToUtf8(std::string_view bytes)
{
  std::string utf8;
  if (!IsStrictUtf8(bytes) && Cp932ToUtf8(bytes, utf8))
    return utf8;
  return std::string(bytes);
}

std::string IndexPath() { return TheApp().m_szDataDir + kIndexName; }

// "(433) Eros" -> number "433", name "Eros"; false for unnumbered objects
// and for numbered ones that carry only a provisional designation.
bool SplitReadableDesignation(std::string_view field, std::string_view& number, std::string_view& name)
{
  if (field.size() < 4 || field[0] != '(')
    return false;
  const size_t close = field.find(')');
  if (close == std::string_view::npos || close < 2)
    return false;
  number = TrimBlanks(field.substr(1, close - 1));
  name = TrimBlanks(field.substr(close + 1));
  return !number.empty() && !name.empty() && !std::isdigit(static_cast<unsigned char>(name[0]));
}

} // namespace

void GetMpcorbPath(std::string& path)
{
  path = std::string(TrimBlanks(TheApp().GetProfileString(kSettingsSection, "WHOIS_MPCORB", "")));
  if (path.empty())
    path = TheApp().m_szDataDir + "MPCORB.DAT";
}

bool BuildMpNamesIndex()
{
  std::string catalogue;
  GetMpcorbPath(catalogue);
  FILE* in = std::fopen(catalogue.c_str(), "rb");
  if (!in)
    return false;
  std::string index;
  int count = 0;
  char buf[511];
  while (std::fgets(buf, sizeof buf, in)) {
    const std::string_view line = CutAtLineEnd(buf);
    if (line.size() <= kDesignationStart)
      continue;
    const std::string field = ToUtf8(TrimBlanks(line.substr(kDesignationStart, kDesignationChars)));
    std::string_view number, name;
    if (!SplitReadableDesignation(field, number, name))
      continue;
    index.append(number).append(1, ' ').append(name).append(1, '\n');
    ++count;
  }
  std::fclose(in);
  // Written whole to a temporary file and renamed, so that an interrupted
  // build never leaves a partial index that looks newer than the catalogue.
  return count > 0 && WriteFileAtomic(IndexPath(), index);
}

bool LoadMpNames()
{
  g_mapMpNames.clear();
  g_bMpNamesLoaded = 0;
  FILE* in = std::fopen(IndexPath().c_str(), "r");
  if (!in)
    return false;
  char buf[255];
  while (std::fgets(buf, sizeof buf, in)) {
    const std::string line = ToUtf8(CutAtLineEnd(buf));
    const size_t blank = line.find(' ');
    if (line.empty() || blank == std::string::npos || blank == 0)
      continue;
    const std::string_view value = TrimBlanks(std::string_view(line).substr(blank + 1));
    if (value.empty())
      continue;
    g_mapMpNames[line.substr(0, blank)] = std::string(value);
  }
  std::fclose(in);
  if (g_mapMpNames.empty())
    return false;
  g_bMpNamesLoaded = 1;
  return true;
}

bool EnsureMpNamesLoaded()
{
  if (g_bMpNamesLoaded)
    return true;
  const std::string index = IndexPath();
  if (FileExists(index)) {
    std::string catalogue;
    GetMpcorbPath(catalogue);
    std::error_code ec1, ec2;
    const bool current = !FileExists(catalogue) ||
                         std::filesystem::last_write_time(index, ec1) >= std::filesystem::last_write_time(catalogue, ec2);
    if (current && !ec1 && !ec2 && LoadMpNames())
      return true;
  }
  if (!g_bMpNamesRebuildTried) {
    g_bMpNamesRebuildTried = 1;
    TheApp().DoWaitCursor(1);
    const bool built = BuildMpNamesIndex();
    TheApp().DoWaitCursor(-1);
    if (built)
      return LoadMpNames();
  }
  return false;
}

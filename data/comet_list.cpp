#include "data/comet_list.h"

#include <algorithm>
#include <cstdint>

#include "data/element_file.h"
#include "data/http_download.h"
#include "data/text_bytes.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/text_util.h"

std::unordered_map<std::string, std::string> g_mapCometNames(10);
int g_bCometNamesLoaded = 0;
int g_bCometElsDownloadTried = 0;

namespace {

// A shorter answer is an error page, not the list.
constexpr std::size_t kMinListBytes = 1000;
// The list is about a megabyte; an answer far beyond that is no list.
constexpr std::size_t kMaxListBytes = 16u << 20;
// Of the non-blank lines, at least this share must be comet lines: a page or
// noise that happens to hold one such line is no list.
constexpr double kCometLineShare = 0.95;
constexpr std::size_t kNameColumn = 103;  // 1-based
constexpr std::size_t kNameChars = 56;    // columns 103-158
constexpr std::size_t kKeyChars = 12;

bool IsDigit(char c)
{
  return c >= '0' && c <= '9';
}

bool IsLower(char c)
{
  return c >= 'a' && c <= 'z';
}

// The key of a designation: its first 12 characters, blank-padded. The list's
// lines are keyed by the same rule, so a designation with bytes beyond ASCII
// is found under the key it was stored with.
std::string Packed12(std::string_view packed)
{
  std::string key(Utf8Prefix(packed, kKeyChars));
  key.append(kKeyChars - std::min(kKeyChars, Utf8Length(key)), ' ');
  return key;
}

// The packed designation and the name of one list line; false for a line
// too short to hold a name.
bool SplitCometLine(std::string_view bytes, std::string& key, std::string& name)
{
  const std::string line = BytesToUtf8(bytes);
  if (Utf8Length(line) < kNameColumn)
    return false;
  const std::string_view head = Utf8Prefix(line, kNameColumn - 1);
  key = Packed12(line);
  name = std::string(TrimSpace(Utf8Prefix(std::string_view(line).substr(head.size()), kNameChars)));
  return true;
}

// True when nearly every non-blank line is a one-line comet orbit with a
// comet's orbit type in column 5, and the text ends with its last line whole.
bool ReadsAsCometList(std::string_view text)
{
  if (text.empty() || text.back() != '\n')
    return false;
  int lines = 0, comets = 0;
  ForEachLine(text, [&](std::string_view raw) {
    if (TrimSpace(raw).empty())
      return;
    ++lines;
    const bool type = raw.size() > 4 && std::string_view("PCDXIA").find(raw[4]) != std::string_view::npos;
    comets += type && IsCometOneLine(raw) ? 1 : 0;
  });
  return comets > 0 && comets >= kCometLineShare * lines;
}

bool Lookup(const std::string& key, std::string& name)
{
  const auto it = g_mapCometNames.find(key);
  if (it == g_mapCometNames.end())
    return false;
  name = it->second;
  return true;
}

} // namespace

std::string CometElementsPath()
{
  return TheApp().m_szDataDir + "AllCometEls.txt";
}

std::string CometElementsUrl()
{
  const std::string stored(TrimSpace(TheApp().GetProfileString(kSettingsSection, "COMETELSURL")));
  std::string oldHttp = kOldCometElsUrl;
  oldHttp.replace(0, 5, "http");
  if (stored.empty() || EqualsNoCaseAscii(stored, kOldCometElsUrl) || EqualsNoCaseAscii(stored, oldHttp))
    return kDefaultCometElsUrl;
  return stored;
}

int DownloadCometElements(const HttpTimeouts* timeouts, const TransferControl* control)
{
  const std::string url = CometElementsUrl();
  TheApp().DoWaitCursor(1);
  std::string text;
  const TextFetchResult fetched =
      FetchText(url, timeouts ? *timeouts : DownloadTimeouts(), kMaxListBytes, "AllCometEls.txt", control, text);
  // Only a whole list replaces the old one: an error page, noise, a body cut
  // short or a failed write keeps it.
  int result = 0;
  if (fetched.end == TextFetchEnd::Ok && text.size() >= kMinListBytes && ReadsAsCometList(text) &&
      WriteFileAtomic(CometElementsPath(), text))
    result = 1;
  TheApp().DoWaitCursor(-1);
  return result;
}

int LoadCometNames()
{
  g_mapCometNames.clear();
  g_bCometNamesLoaded = 0;
  std::string bytes;
  if (!ReadWholeFile(CometElementsPath(), bytes))
    return 0;
  ForEachLine(bytes, [](std::string_view raw) {
    std::string key, name;
    if (SplitCometLine(raw, key, name) && !name.empty())
      g_mapCometNames[key] = name;
  });
  if (g_mapCometNames.empty())
    return 0;
  g_bCometNamesLoaded = 1;
  return 1;
}

int FindCometName(std::string_view packed, std::string& name)
{
  const std::string key = Packed12(packed);
  if (Lookup(key, name))
    return 1;
  if (IsDigit(key[0]) && IsDigit(key[1]) && IsDigit(key[2]) && IsDigit(key[3]) &&
      Lookup(key.substr(0, 5) + "       ", name))
    return 1;
  if (IsLower(key[11]) && Lookup(key.substr(0, 11) + "0", name))
    return 1;
  // A parent that the list holds only as fragments: its first fragment.
  const std::string* best = nullptr;
  const std::string* bestName = nullptr;
  for (const auto& [k, v] : g_mapCometNames) {
    if (k.size() == kKeyChars && IsLower(k[11]) && k.compare(0, 11, key, 0, 11) == 0 && (!best || k < *best)) {
      best = &k;
      bestName = &v;
    }
  }
  if (!bestName)
    return 0;
  name = *bestName;
  return 1;
}

void AppendCometName(std::string_view packed, std::string& text, const TransferControl* control)
{
  const std::string key = Packed12(packed);
  const bool numbered = IsDigit(key[0]) && IsDigit(key[1]) && IsDigit(key[2]) && IsDigit(key[3]) &&
                        (key[4] == 'D' || key[4] == 'I' || key[4] == 'P');
  const bool provisional = key.compare(0, 4, "    ") == 0 && std::string_view("ACDIPX").find(key[4]) != std::string_view::npos &&
                           key[5] >= 'I' && key[5] <= 'L';
  if (!numbered && !provisional)
    return;

  if (!g_bCometNamesLoaded && !LoadCometNames()) {
    if (g_bCometElsDownloadTried)
      return;
    g_bCometElsDownloadTried = 1;
    if (!DownloadCometElements(nullptr, control) || !LoadCometNames())
      return;
  }
  std::string name;
  if (!FindCometName(key, name)) {
    if (g_bCometElsDownloadTried)
      return;
    g_bCometElsDownloadTried = 1;
    if (!DownloadCometElements(nullptr, control) || !LoadCometNames() || !FindCometName(key, name))
      return;
  }

  if (numbered) {
    if (text.find('/') != std::string::npos)
      return;
    const std::size_t slash = name.find('/');
    if (slash == std::string::npos)
      return;
    const std::string_view part = TrimSpace(std::string_view(name).substr(slash + 1));
    if (!part.empty())
      text += "/" + std::string(part);
  } else {
    const std::size_t paren = name.find('(');
    if (paren != std::string::npos)
      text += " " + std::string(TrimSpace(std::string_view(name).substr(paren)));
  }
}

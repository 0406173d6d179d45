#include "data/obscode_update.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

#include "data/http_download.h"
#include "data/text_bytes.h"
#include "platform/app_services.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"

namespace {

// A page with fewer code lines is not the full list.
constexpr std::size_t kMinRemoteCodes = 100;
// The page is a few hundred kilobytes; far more is no list of codes.
constexpr std::size_t kMaxPageBytes = 8u << 20;
const char* const kCaption = "観測所コードの更新";

// How the local file was stored, so that it is written back the same way.
enum class StationFileEncoding { Cp932, Utf8, Utf8Bom, Utf16 };

bool IsCodeChar(char c)
{
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
}

std::string Code(std::string_view line)
{
  return std::string(line.substr(0, 3));
}


// Every occurrence of from replaced, in one pass (a replacement in place
// would move the rest of the text each time).
void ReplaceAll(std::string& s, std::string_view from, std::string_view to)
{
  std::string out;
  std::size_t done = 0;
  for (std::size_t p; (p = s.find(from, done)) != std::string::npos; done = p + from.size()) {
    if (done == 0)
      out.reserve(s.size());
    out.append(s, done, p - done);
    out += to;
  }
  if (done == 0)
    return;
  out.append(s, done);
  s = std::move(out);
}

void ShowError(const char* text)
{
  Ui().ShowMessage("", text, MsgIcon::Warning, MsgButtons::Ok);
}

bool HasNonAscii(std::string_view bytes)
{
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80)
      return true;
  return false;
}

// The station file as UTF-8 text and its encoding, in the station reader's
// order (UTF-16 after FF FE, strict UTF-8, code page 932); a file that is
// valid UTF-8 beyond ASCII stays UTF-8, with its mark when it had one. False
// when it cannot be read or decoded: it must not be rewritten from a misread
// copy.
bool ReadStationFile(const std::string& path, std::string& text, StationFileEncoding& encoding)
{
  std::string bytes;
  if (!ReadWholeFile(path, bytes))
    return false;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
    encoding = StationFileEncoding::Utf16;
    return Utf16LeToUtf8(bytes, text);
  }
  if (HasNonAscii(bytes) && IsStrictUtf8(bytes)) {
    const bool bom = bytes.compare(0, kUtf8Bom.size(), kUtf8Bom) == 0;
    encoding = bom ? StationFileEncoding::Utf8Bom : StationFileEncoding::Utf8;
    text = bom ? bytes.substr(kUtf8Bom.size()) : bytes;
    return true;
  }
  encoding = StationFileEncoding::Cp932;
  return Cp932ToUtf8(bytes, text);
}

std::string EncodeStationFile(const std::vector<std::string>& lines, StationFileEncoding encoding)
{
  std::size_t size = 0;
  for (const std::string& line : lines)
    size += line.size() + 2;
  std::string text;
  text.reserve(size);
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  std::string bytes;
  switch (encoding) {
  case StationFileEncoding::Utf16:
    Utf8ToUtf16Le(text, bytes, true);
    return bytes;
  case StationFileEncoding::Utf8Bom:
    return std::string(kUtf8Bom) + text;
  case StationFileEncoding::Utf8:
    return text;
  case StationFileEncoding::Cp932:
    break;
  }
  return Utf8ToCp932Lossy(text);
}

// Adds the remote lines whose codes the local file lacks, each before the
// first station line with a greater code, as if inserted one by one in the
// remote order. Done in one merge: a new line goes before the first local
// line whose code exceeds it (found on the running maximum of the local codes,
// which only the local lines decide, as every earlier new line standing
// before it has a smaller code); new lines that meet before the same local
// line stand in code order, equal codes in remote order.
void InsertNewStations(std::vector<std::string>& local, const std::vector<std::string>& remote,
                       const std::unordered_map<std::string, std::size_t>& localIndex, StationMergeCounts& counts)
{
  std::vector<std::string> maxima;  // greatest station code among local[0..i]
  std::vector<std::size_t> stationAt;
  for (std::size_t i = 0; i < local.size(); ++i) {
    if (!IsStationCodeLine(local[i]))
      continue;
    const std::string code = Code(local[i]);
    if (maxima.empty() || code > maxima.back()) {
      maxima.push_back(code);
      stationAt.push_back(i);
    }
  }
  struct Added {
    std::size_t before;  // index of the local line it goes before (local.size(): the end)
    std::string code;
    std::size_t order;
  };
  std::vector<Added> added;
  for (std::size_t k = 0; k < remote.size(); ++k) {
    std::string code = Code(remote[k]);
    if (localIndex.count(code))
      continue;
    const std::size_t m = static_cast<std::size_t>(std::upper_bound(maxima.begin(), maxima.end(), code) - maxima.begin());
    added.push_back({m < maxima.size() ? stationAt[m] : local.size(), std::move(code), k});
  }
  if (added.empty())
    return;
  std::sort(added.begin(), added.end(), [](const Added& a, const Added& b) {
    if (a.before != b.before)
      return a.before < b.before;
    if (a.code != b.code)
      return a.code < b.code;
    return a.order < b.order;
  });
  std::vector<std::string> merged;
  merged.reserve(local.size() + added.size());
  std::size_t next = 0;
  for (std::size_t i = 0; i <= local.size(); ++i) {
    for (; next < added.size() && added[next].before == i; ++next)
      merged.push_back(remote[added[next].order]);
    if (i < local.size())
      merged.push_back(std::move(local[i]));
  }
  counts.added += static_cast<int>(added.size());
  local = std::move(merged);
}

} // namespace

bool IsStationCodeLine(std::string_view line)
{
  return line.size() > 3 && IsCodeChar(line[0]) && IsCodeChar(line[1]) && IsCodeChar(line[2]);
}

bool ExtractStationCodeLines(std::string_view page, std::vector<std::string>& lines)
{
  lines.clear();
  std::size_t start = page.find("<pre>");
  if (start == std::string_view::npos)
    start = page.find("<PRE>");
  std::size_t end = page.find("</pre>");
  if (end == std::string_view::npos)
    end = page.find("</PRE>");
  if (start == std::string_view::npos || end == std::string_view::npos || end < start + 5)
    return false;
  std::string block(page.substr(start + 5, end - start - 5));
  ReplaceAll(block, "&amp;", "&");
  ReplaceAll(block, "&lt;", "<");
  ReplaceAll(block, "&gt;", ">");
  for (const std::string_view line : SplitLines(block))
    if (IsStationCodeLine(line))
      lines.emplace_back(line);
  return true;
}

StationMergeCounts MergeStationCodeLines(std::vector<std::string>& local, const std::vector<std::string>& remote)
{
  StationMergeCounts counts;
  std::unordered_map<std::string, std::size_t> localIndex;  // a repeated code: its last line
  for (std::size_t i = 0; i < local.size(); ++i)
    if (IsStationCodeLine(local[i]))
      localIndex[Code(local[i])] = i;
  std::unordered_set<std::string> remoteCodes;
  for (const std::string& r : remote)
    remoteCodes.insert(Code(r));

  for (const std::string& r : remote) {
    const auto it = localIndex.find(Code(r));
    if (it == localIndex.end())
      continue;
    std::string& l = local[it->second];
    if (TrimSpace(l) == TrimSpace(r))
      continue;
    const std::string question =
        FormatC("観測所コード %s のデータが小惑星センターと異なります。\r\n\r\n現在: %s\r\n新規: %s\r\n\r\n上書きしますか？",
                Code(r).c_str(), l.c_str(), r.c_str());
    if (Ui().ShowMessage(kCaption, question, MsgIcon::Question, MsgButtons::YesNo) == MsgAnswer::Yes) {
      l = r;
      ++counts.overwritten;
    }
  }

  InsertNewStations(local, remote, localIndex, counts);

  for (const std::string& l : local)
    if (IsStationCodeLine(l) && !remoteCodes.count(Code(l)))
      ++counts.localOnly;
  return counts;
}

int RunStationCodeUpdate(const HttpTimeouts* timeouts, const TransferControl* control)
{
  std::string url(TrimSpace(TheApp().GetProfileString(kSettingsSection, "OBSCODESURL")));
  if (url.empty())
    url = kDefaultObsCodesUrl;

  TheApp().DoWaitCursor(1);
  std::string page;
  const HttpTimeouts used = timeouts ? *timeouts : DownloadTimeouts();
  const TextFetchResult fetched = FetchText(url, used, kMaxPageBytes, "観測所コード一覧", control, page);
  TheApp().DoWaitCursor(-1);
  if (fetched.end == TextFetchEnd::NoConnection) {
    ShowError("小惑星センターに接続できませんでした。");
    return -1;
  }
  if (fetched.end != TextFetchEnd::Ok) {
    ShowError((TextFetchMessage(fetched, "観測所コード一覧", used, kMaxPageBytes) + "\r\n観測所コードファイルはそのままです。").c_str());
    return -1;
  }

  std::vector<std::string> remote;
  if (!ExtractStationCodeLines(BytesToUtf8(page), remote)) {
    ShowError("受信したデータの形式が想定と異なります(観測所コード一覧が見つかりません)。");
    return -1;
  }
  if (remote.size() < kMinRemoteCodes) {
    ShowError("受信した観測所コードの件数が少なすぎます。更新を中止しました。");
    return -1;
  }

  const std::string path = TheApp().m_szStationsFile;
  std::string text;
  StationFileEncoding encoding = StationFileEncoding::Cp932;
  if (!ReadStationFile(path, text, encoding)) {
    ShowError("観測所コードファイルを開けませんでした。");
    return -1;
  }
  std::vector<std::string> local;
  ForEachLine(text, [&](std::string_view line) { local.emplace_back(line); });
  const StationMergeCounts counts = MergeStationCodeLines(local, remote);

  // Without a backup the old list would be lost with a bad merge: stop.
  if (!CopyWholeFile(path, path + ".bak")) {
    ShowError("観測所コードファイルの控え(.bak)を保存できませんでした。更新を中止しました。");
    return -1;
  }
  if (!WriteFileAtomic(path, EncodeStationFile(local, encoding))) {
    ShowError("観測所コードファイルに書き込めませんでした。");
    return -1;
  }
  Ui().ShowMessage(kCaption,
                   FormatC("観測所コードファイルを更新しました。\r\n\r\n追加: %d件   上書き: %d件\r\n"
                           "ローカル独自のコード %d件はそのまま維持しています。\r\n(更新前のファイルは .bak として保存済み)",
                           counts.added, counts.overwritten, counts.localOnly),
                   MsgIcon::Information, MsgButtons::Ok);
  return 0;
}

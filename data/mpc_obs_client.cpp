#include "data/mpc_obs_client.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/text_bytes.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/fixed_field.h"
#include "platform/numbers.h"

namespace {

constexpr std::size_t kMaxServiceMessage = 300;
// Two lines of one station closer than this (days, about 1.7 s) are one observation.
constexpr double kSameTimeDays = 0.00002;
constexpr int kPublishedLineChars = 77;
constexpr int kStationLineChars = 80;

const char* const kConnectError = "MPCに接続できませんでした。ネットワークの状態を確認してください。";

void SetText(std::string* s, std::string text)
{
  if (s)
    *s = std::move(text);
}

// The next line of buf from pos (LF-terminated or to the end), without a final CR.
bool NextLine(const char* buf, std::size_t len, std::size_t& pos, const char*& line, std::size_t& n)
{
  if (pos >= len)
    return false;
  const void* lf = std::memchr(buf + pos, '\n', len - pos);
  const std::size_t end = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - buf) : len;
  line = buf + pos;
  n = end - pos;
  if (n > 0 && line[n - 1] == '\r')
    --n;
  pos = lf ? end + 1 : len;
  return true;
}

bool IsSatelliteSecondLine(const char* buf, std::size_t len, std::size_t pos, const char*& line, std::size_t& n,
                           std::size_t& after)
{
  after = pos;
  return NextLine(buf, len, after, line, n) && n >= 15 && line[14] == 's';
}

// Entries enough for every line of both texts, whatever their lengths.
std::size_t EntryCapacity(std::string_view a, std::string_view b)
{
  std::size_t lines = 2;
  for (char c : a)
    lines += c == '\n';
  for (char c : b)
    lines += c == '\n';
  return lines + 8;
}

bool SameObservation(const ObsLineEntry& a, const ObsLineEntry& b)
{
  return a.m_nLineLen >= kStationLineChars && b.m_nLineLen >= kStationLineChars &&
         std::memcmp(a.m_pLine + 77, b.m_pLine + 77, 3) == 0 &&
         std::fabs(a.m_dTimeKey - b.m_dTimeKey) <= kSameTimeDays;
}

// Where an entry's time falls on a grid of twice the tolerance: two times
// within the tolerance lie in the same or neighbouring cells, whatever the
// rounding of the division.
double TimeCell(double timeKey)
{
  return std::floor(timeKey / (2 * kSameTimeDays)) + 0.0;  // + 0.0: no negative zero
}

// The station code and time cell of an entry, as the key of a hash set.
std::string CellKey(const ObsLineEntry& e, double cell)
{
  std::string key(e.m_pLine + 77, 3);
  key.append(reinterpret_cast<const char*>(&cell), sizeof cell);
  return key;
}

// Whether an entry can repeat another at all: a station line with a time that
// compares (a time that is not finite is within no tolerance of anything).
bool Comparable(const ObsLineEntry& e)
{
  return e.m_nLineLen >= kStationLineChars && std::isfinite(e.m_dTimeKey);
}

// Drops the entries of the second text (from index first, count second) that
// repeat an entry of the first; the last one takes the place of a dropped one.
// The first text's entries are found through their station and time cell, so
// each entry of the second is compared only with the few that can match.
int DropDuplicates(ObsLineEntry* entries, int first, int& second)
{
  std::unordered_map<std::string, std::vector<int>> cells;
  for (int j = 0; j < first; ++j)
    if (Comparable(entries[j]))
      cells[CellKey(entries[j], TimeCell(entries[j].m_dTimeKey))].push_back(j);
  const auto repeats = [&](const ObsLineEntry& e) {
    if (!Comparable(e))
      return false;
    const double cell = TimeCell(e.m_dTimeKey);
    for (const double c : {cell - 1, cell, cell + 1}) {
      const auto found = cells.find(CellKey(e, c));
      if (found == cells.end())
        continue;
      for (const int j : found->second)
        if (SameObservation(e, entries[j]))
          return true;
    }
    return false;
  };
  int dropped = 0;
  int i = first;
  while (i < first + second) {
    if (repeats(entries[i])) {
      entries[i] = entries[first + second - 1];
      --second;
      ++dropped;
    } else {
      ++i;
    }
  }
  return dropped;
}

std::string BuildText(ObsLineEntry* entries, int count)
{
  std::qsort(entries, static_cast<std::size_t>(count), sizeof(ObsLineEntry), CTessaruneLib::CompareObsLines);
  std::string out;
  for (int i = 0; i < count; ++i) {
    out.append(entries[i].m_pLine, static_cast<std::size_t>(entries[i].m_nLineLen));
    out += "\r\n";
    if (entries[i].m_pSecondLine) {
      out.append(entries[i].m_pSecondLine, static_cast<std::size_t>(entries[i].m_nSecondLen));
      out += "\r\n";
    }
  }
  return out;
}

// The service's own words from a refusal: the text after "message":, cut to
// 300 bytes (at a character boundary when it is UTF-8).
std::string ServiceMessage(const std::string& reply)
{
  const std::size_t key = reply.find("\"message\":");
  if (key == std::string::npos)
    return {};
  const std::size_t open = reply.find('"', key + 10);
  if (open == std::string::npos)
    return {};
  const std::size_t close = reply.find('"', open + 1);
  std::string_view message = std::string_view(reply).substr(
      open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
  if (message.size() > kMaxServiceMessage) {
    std::size_t cut = kMaxServiceMessage;
    if (IsStrictUtf8(message))
      while (cut > 0 && (static_cast<unsigned char>(message[cut]) & 0xC0) == 0x80)
        --cut;
    message = message.substr(0, cut);
  }
  return BytesToUtf8(message);
}

// The JSON string value that starts after the opening quote at pos, unescaped
// the service's way: \n a line end (CR LF), \r nothing, \t a blank, any other
// escaped byte itself.
std::string UnescapeObs80(const std::string& reply, std::size_t pos)
{
  std::string text;
  text.reserve(reply.size() * 2 + 4);
  for (std::size_t i = pos; i < reply.size(); ++i) {
    const char c = reply[i];
    if (c == '"')
      break;
    if (c != '\\') {
      text += c;
      continue;
    }
    if (++i >= reply.size())
      break;
    switch (reply[i]) {
    case 'n': text += "\r\n"; break;
    case 'r': break;
    case 't': text += ' '; break;
    default: text += reply[i]; break;
    }
  }
  if (!text.empty() && text.back() != '\n')
    text += "\r\n";
  return text;
}

} // namespace

HttpTimeouts MpcObsTimeouts()
{
  return HttpTimeouts{30000, 120000, 60000};
}

namespace CTessaruneLib {

int ParseObsLines(const char* buf, std::size_t len, int unpublishedOnly, ObsLineEntry* entries, int capacity,
                  std::int32_t base)
{
  int count = 0;
  double lastKey = 0.0;
  std::size_t pos = 0;
  const char* p = nullptr;
  std::size_t n = 0;
  while (count < capacity && NextLine(buf, len, pos, p, n)) {
    if (n == 0)
      continue;
    const std::string_view line(p, n);
    const char* second = nullptr;
    std::size_t secondLen = 0, after = 0;
    if (unpublishedOnly && n >= kPublishedLineChars && !FixedBlank(line, 72, 77)) {
      if (line[14] == 'S' && IsSatelliteSecondLine(buf, len, pos, second, secondLen, after))
        pos = after;
      continue;
    }
    ObsLineEntry& e = entries[count];
    if (n >= 32) {
      const double year = FixedDouble(line, 16, 19);
      const double month = FixedDouble(line, 21, 22);
      const double day = FixedDouble(line, 24, 32);
      const double key = year * 10000 + month * 100 + day;
      if (year >= 1000 && month >= 1 && month <= 12 && key >= 0)
        lastKey = key;
    }
    e.m_dTimeKey = lastKey;
    e.m_nOrder = base + count;
    e.m_pLine = p;
    e.m_nLineLen = static_cast<std::int32_t>(n);
    e.m_pSecondLine = nullptr;
    e.m_nSecondLen = 0;
    if (n >= 15 && line[14] == 'S' && IsSatelliteSecondLine(buf, len, pos, second, secondLen, after)) {
      e.m_pSecondLine = second;
      e.m_nSecondLen = static_cast<std::int32_t>(secondLen);
      pos = after;
    }
    ++count;
  }
  return count;
}

int CompareObsLines(const void* pa, const void* pb)
{
  const auto& a = *static_cast<const ObsLineEntry*>(pa);
  const auto& b = *static_cast<const ObsLineEntry*>(pb);
  if (a.m_dTimeKey != b.m_dTimeKey)
    return a.m_dTimeKey < b.m_dTimeKey ? -1 : 1;
  return a.m_nOrder < b.m_nOrder ? -1 : (a.m_nOrder > b.m_nOrder ? 1 : 0);
}

namespace {

// Step 1, the request: the service's JSON reply, or false (connection lost).
bool RequestObservations(const std::string& desig, int neocp, const std::string& serviceUrl,
                         const HttpTimeouts* timeouts, std::string& reply)
{
  // The designation goes into a JSON string: quotes and backslashes would break it.
  std::string name;
  for (char c : desig)
    if (c != '"' && c != '\\')
      name += c;
  HttpRequest request;
  request.url = (serviceUrl.empty() ? std::string(kDefaultMpcObsServiceUrl) : serviceUrl) +
                (neocp ? "/api/get-obs-neocp" : "/api/get-obs");
  request.method = "GET";
  request.body = FormatC(neocp ? "{\"trksubs\": [\"%s\"], \"output_format\": [\"OBS80\"]}"
                               : "{\"desigs\": [\"%s\"], \"output_format\": [\"OBS80\"]}",
                         name.c_str());
  request.headers = {"Content-Type: application/json"};
  request.timeouts = timeouts ? *timeouts : MpcObsTimeouts();
  HttpStream http;
  return http.Open(request) && http.ReadBody(reply);
}

// Step 2, the refusal: the observation lines of the reply, or false with the
// reason (the service's own message, no lines, no memory) in *error.
bool ObservationLinesOf(const std::string& reply, int neocp, std::string& text, std::string* error)
{
  std::size_t pos = reply.find("\"OBS80\":");
  if (pos != std::string::npos) {
    pos += 8;
    while (pos < reply.size() && (reply[pos] == ' ' || reply[pos] == '\t'))
      ++pos;
  }
  if (pos == std::string::npos || pos >= reply.size() || reply[pos] != '"') {
    const std::string message = ServiceMessage(reply);
    if (message.empty()) {
      SetText(error, "MPCの応答を解釈できませんでした(この天体の観測が無いか、APIの形式が変わった可能性があります)。");
    } else {
      const char* hint = neocp ? "仮符号(大文字・小文字も一致させてください)を確認してください。\r\n"
                                 "NEOCPの天体は、符号が確定するか一覧から外されると取得できなくなります。"
                               : "天体名の書き方(例: C/2025 A1、2P、2024 YR4)を確認してください。";
      SetText(error, FormatC("%sから観測を取得できませんでした。\r\n%s\r\n\r\nMPCの応答: %s", neocp ? "NEOCP" : "MPC",
                             hint, message.c_str()));
    }
    return false;
  }
  try {
    text = UnescapeObs80(reply, pos + 1);
  } catch (const std::bad_alloc&) {
    SetText(error, "メモリーが足りません。");
    return false;
  }
  if (text.empty()) {
    SetText(error, neocp ? "この仮符号の観測はNEOCPにありませんでした。" : "この天体の観測はMPCにありませんでした。");
    return false;
  }
  return true;
}

struct LocalMerge {
  int fetched = 0, kept = 0, duplicates = 0;
  std::string merged;  // the merged text when kept > 0
};

// Step 3, the merge: the user's own lines of the local file (those without
// the Center's reference) kept beside the fetched ones, in date order.
LocalMerge MergeWithLocalFile(const std::string& text, const std::string& outPath)
{
  LocalMerge m;
  std::string existing;
  if (!ReadWholeFile(outPath, existing) || existing.empty())
    return m;
  try {
    std::vector<ObsLineEntry> entries(EntryCapacity(text, existing));
    const int capacity = static_cast<int>(entries.size());
    m.fetched = ParseObsLines(text.data(), text.size(), 0, entries.data(), capacity, 0);
    m.kept = ParseObsLines(existing.data(), existing.size(), 1, entries.data() + m.fetched, capacity - m.fetched,
                           kSecondTextOrderBase);
    m.duplicates = DropDuplicates(entries.data(), m.fetched, m.kept);
    if (m.kept > 0)
      m.merged = BuildText(entries.data(), m.fetched + m.kept);
  } catch (const std::bad_alloc&) {
    m = LocalMerge();
  }
  return m;
}

// Step 4, the report of what the merge kept and dropped ("" when nothing was merged).
std::string MergeReport(const LocalMerge& m)
{
  std::string report;
  if (m.kept > 0)
    report = FormatC("既存ファイルにあったオリジナルの観測 %d個\r\n(MPCの参照符号が無い行=未発表の観測)を残して、\r\n"
                     "MPCから受信した観測 %d個と日付順に併合しました。",
                     m.kept, m.fetched);
  else if (m.duplicates > 0)
    report = FormatC("MPCから受信した観測 %d個で更新しました。", m.fetched);
  if (m.duplicates > 0)
    report += FormatC("\r\n\r\nオリジナルの観測のうち %d個は、同じ観測(同じ観測所・同じ時刻)が\r\n"
                      "MPCに収載済みだったため、参照符号つきのMPC版を採用し\r\n手元の控えは削除しました。",
                      m.duplicates);
  return report;
}

} // namespace

int FetchMpcObservations(const std::string& desig, const std::string& outPath, std::string* error,
                         std::string* info, int neocp, const std::string& serviceUrl, const HttpTimeouts* timeouts)
{
  SetText(error, {});
  SetText(info, {});
  std::string reply;
  if (!RequestObservations(desig, neocp, serviceUrl, timeouts, reply)) {
    SetText(error, kConnectError);
    return 0;
  }
  std::string text;
  if (!ObservationLinesOf(reply, neocp, text, error))
    return 0;
  const LocalMerge merge = MergeWithLocalFile(text, outPath);
  // A temporary file renamed over the old one: a failed write keeps the old file.
  if (!WriteFileAtomic(outPath, merge.kept > 0 ? merge.merged : text)) {
    SetText(error, FormatC("観測ファイルを書き込めませんでした。\r\n%s", outPath.c_str()));
    return 0;
  }
  SetText(info, MergeReport(merge));
  return 1;
}

int MergeObservationFiles(const std::string& firstPath, const std::string& secondPath, const std::string& outPath,
                          int* pnFirst, int* pnSecondKept, int* pnDuplicates)
{
  for (int* p : {pnFirst, pnSecondKept, pnDuplicates})
    if (p)
      *p = 0;
  std::string first, second;
  if (!ReadWholeFile(firstPath, first) || first.empty() || !ReadWholeFile(secondPath, second) || second.empty())
    return 0;
  std::string merged;
  int a = 0, b = 0, n = 0;
  try {
    std::vector<ObsLineEntry> entries(EntryCapacity(first, second));
    const int capacity = static_cast<int>(entries.size());
    a = ParseObsLines(first.data(), first.size(), 0, entries.data(), capacity, 0);
    b = ParseObsLines(second.data(), second.size(), 0, entries.data() + a, capacity - a, kSecondTextOrderBase);
    n = DropDuplicates(entries.data(), a, b);
    merged = BuildText(entries.data(), a + b);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  if (!WriteFileAtomic(outPath, merged))
    return 0;
  if (pnFirst)
    *pnFirst = a;
  if (pnSecondKept)
    *pnSecondKept = b;
  if (pnDuplicates)
    *pnDuplicates = n;
  return 1;
}

} // namespace CTessaruneLib

#include "data/download_check.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "data/element_file.h"
#include "data/gzip_line_reader.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/text_util.h"

namespace {

// The catalogue's header block is a few kilobytes; its first catalogue lines
// follow well inside this much.
constexpr std::size_t kHeadBytes = 65536;
constexpr std::size_t kTailBytes = 4096;
// Of the lines that follow the first catalogue line in the head, at least
// this share must be catalogue lines too (blank lines aside).
constexpr double kCatalogueShare = 0.95;

std::string Refusal(const std::string& cause)
{
  return cause + "\r\n" + kOldFileKept;
}

bool ReadSpan(const std::string& path, bool fromEnd, std::size_t size, std::string& bytes)
{
  const FilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f)
    return false;
  if (fromEnd) {
    if (std::fseek(f.get(), 0, SEEK_END) != 0)
      return false;
    const long length = std::ftell(f.get());
    if (length < 0 || std::fseek(f.get(), length > long(size) ? length - long(size) : 0, SEEK_SET) != 0)
      return false;
  }
  bytes.resize(size);
  bytes.resize(std::fread(bytes.data(), 1, size, f.get()));
  return !std::ferror(f.get());
}

char LowerAscii(char c)
{
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A web page: markup at its start, or an html element in its head.
bool LooksLikeHtml(std::string_view head)
{
  const std::string_view text = TrimSpace(head.substr(0, std::min<std::size_t>(head.size(), 4096)));
  if (!text.empty() && text.front() == '<')
    return true;
  std::string lower(head.substr(0, std::min<std::size_t>(head.size(), kHeadBytes)));
  std::transform(lower.begin(), lower.end(), lower.begin(), LowerAscii);
  return lower.find("<html") != std::string::npos || lower.find("<!doctype") != std::string::npos;
}

// The head's complete lines: a first catalogue line, and nearly all the
// non-blank lines after it catalogue lines too.
bool HeadReadsAsCatalogue(std::string_view head)
{
  const std::size_t lastLf = head.rfind('\n');
  if (lastLf == std::string_view::npos)
    return false;
  bool found = false;
  int lines = 0, catalogue = 0;
  ForEachLine(head.substr(0, lastLf + 1), [&](std::string_view line) {
    const bool isCatalogue = IsMpcorbLine(line) != 0;
    if (!found) {
      found = isCatalogue;
      return;
    }
    if (TrimSpace(line).empty())
      return;
    ++lines;
    catalogue += isCatalogue ? 1 : 0;
  });
  return found && catalogue >= kCatalogueShare * lines;
}

// Without an announced length only the end itself shows that nothing is
// missing: a line break after a whole catalogue line.
bool TailEndsWhole(std::string_view tail)
{
  if (tail.empty() || tail.back() != '\n')
    return false;
  std::string_view body = tail;
  while (!body.empty() && (body.back() == '\n' || body.back() == '\r'))
    body.remove_suffix(1);
  const std::size_t start = body.rfind('\n');
  if (start == std::string_view::npos && tail.size() >= kTailBytes)
    return false;
  return IsMpcorbLine(body.substr(start == std::string_view::npos ? 0 : start + 1)) != 0;
}

struct GzipCheck {
  const std::function<bool()>* stop = nullptr;
  bool stopped = false;
  bool sawText = false;
  bool html = false;
};

int OnGzipLine(void* context, const char* line, int length)
{
  auto* check = static_cast<GzipCheck*>(context);
  const std::string_view text = TrimSpace(std::string_view(line, static_cast<std::size_t>(length)));
  if (check->sawText || text.empty())
    return 1;
  check->sawText = true;
  check->html = LooksLikeHtml(text);
  return check->html ? 0 : 1;
}

int OnGzipStep(void* context)
{
  auto* check = static_cast<GzipCheck*>(context);
  if (*check->stop && (*check->stop)()) {
    check->stopped = true;
    return 0;
  }
  return 1;
}

std::string CheckGzip(const std::string& workPath, const ReceivedFileFacts& facts,
                      const std::function<bool()>& stop, bool* stopped)
{
  GzipLineReader reader;
  GzipCheck check;
  check.stop = &stop;
  int ok = reader.Open(workPath);
  if (ok) {
    reader.m_pfnLine = OnGzipLine;
    reader.m_pfnStep = OnGzipStep;
    reader.m_pContext = &check;
    ok = reader.ReadLines();
  }
  if (check.stopped) {
    if (stopped)
      *stopped = true;
    return {};
  }
  if (check.html)
    return Refusal(FormatC("%s の代わりにウェブページ(HTML)が圧縮されて届きました。\r\n取得元URLが正しいか確認してください。",
                           facts.displayName.c_str()));
  if (!ok)
    return Refusal(FormatC("届いた %s はgzipとして最後まで展開できませんでした。\r\n%s", facts.displayName.c_str(),
                           reader.m_strError.c_str()));
  return {};
}

std::string CheckCatalogue(const std::string& workPath, const ReceivedFileFacts& facts)
{
  const char* name = facts.displayName.c_str();
  std::string head;
  if (!ReadSpan(workPath, false, kHeadBytes, head))
    return Refusal(FormatC("受信した %s を読み返せませんでした。", name));
  if (LooksLikeHtml(head))
    return Refusal(FormatC("%s の代わりにウェブページ(HTML)が届きました。\r\n取得元URLが正しいか確認してください。", name));
  if (!HeadReadsAsCatalogue(head))
    return Refusal(FormatC("届いた内容は %s の形式ではありません(軌道要素の行が見つかりません)。\r\n取得元URLが正しいか確認してください。",
                           name));
  if (facts.lengthKnown)
    return {};
  std::string tail;
  if (!ReadSpan(workPath, true, kTailBytes, tail) || !TailEndsWhole(tail))
    return Refusal(FormatC("%s が最後まで届いたか確かめられませんでした(大きさの通知がなく、最後の行が欠けています)。\r\n"
                           "回線の状態を確認して、もう一度受信してください。",
                           name));
  return {};
}

} // namespace

std::string CheckReceivedFile(const std::string& workPath, const ReceivedFileFacts& facts,
                              const std::function<bool()>& stop, bool* stopped)
{
  if (stopped)
    *stopped = false;
  if (facts.gzip) {
    std::string refusal = CheckGzip(workPath, facts, stop, stopped);
    if (!refusal.empty() || (stopped && *stopped))
      return refusal;
  }
  // A compressed stream is no catalogue as it stands; the check above proved it whole.
  if (facts.catalogue)
    return CheckCatalogue(workPath, facts);
  return {};
}

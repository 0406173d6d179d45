#include "data/http_download.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <new>
#include <vector>

#include "data/download_check.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kDownloadChunk = 262144;
constexpr std::size_t kTextChunk = 8192;
// A catalogue smaller than this is an error page, not the file asked for.
constexpr std::int64_t kMinDownloadBytes = 1048576;

void SetText(std::string* s, std::string text)
{
  if (s)
    *s = std::move(text);
}

void PumpAllEvents()
{
  while (Ui().PumpOneEvent()) {
  }
}

double SecondsSince(Clock::time_point start)
{
  return std::chrono::duration<double>(Clock::now() - start).count();
}

bool EndsWithNoCase(const std::string& s, const char* suffix)
{
  const std::string tail(suffix);
  if (s.size() < tail.size())
    return false;
  for (std::size_t i = 0; i < tail.size(); ++i) {
    char c = s[s.size() - tail.size() + i];
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
    if (c != tail[i])
      return false;
  }
  return true;
}

std::string IncompleteMessage(const std::string& displayName)
{
  return FormatC("%s の受信が完了しませんでした。\r\n回線の状態とディスクの空き容量を確認してください。\r\n%s",
                 displayName.c_str(), kOldFileKept);
}

std::string StalledMessage(const std::string& displayName, const HttpTimeouts& timeouts)
{
  return FormatC("%s の受信が途中で止まりました(%ld秒間、応答がありません)。\r\n回線の状態を確認してください。\r\n%s",
                 displayName.c_str(), (timeouts.receiveMs + 999) / 1000, kOldFileKept);
}

// The body into the work file. 1 when it ended normally; 0 when the stream
// failed, a write fell short or the caller stopped it.
struct BodyResult {
  bool ok = true;
  bool cancelled = false;
  bool stalled = false;
  std::int64_t received = 0;
};

BodyResult ReceiveBody(HttpStream& http, std::FILE* work, std::vector<char>& buffer, const std::string& displayName,
                       std::int64_t expected, const DownloadProgress* progress,
                       const std::function<bool()>& cancelled)
{
  BodyResult r;
  const bool showBar = progress && progress->setPosition;
  const bool showText = progress && progress->setText;
  const auto start = Clock::now();
  for (;;) {
    const long n = http.Read(buffer.data(), buffer.size());
    if (n < 0) {
      r.ok = false;
      r.cancelled = http.Stopped();
      r.stalled = http.TimedOut();
      break;
    }
    if (n == 0)
      break;
    if (std::fwrite(buffer.data(), 1, static_cast<std::size_t>(n), work) != static_cast<std::size_t>(n)) {
      r.ok = false;
      break;
    }
    r.received += n;
    if (expected > 0 && showBar)
      progress->setPosition(static_cast<int>(r.received * 100 / expected));
    if (showText)
      progress->setText(TransferProgressText(displayName, r.received, expected, SecondsSince(start)));
    PumpAllEvents();
    if (cancelled()) {
      r.cancelled = true;
      r.ok = false;
      break;
    }
  }
  return r;
}

int Download(const std::string& url, const std::string& targetPath, const std::string& displayName,
             const DownloadProgress* progress, const std::function<bool()>& cancelled, std::string* error,
             const HttpTimeouts* timeouts)
{
  SetText(error, {});
  HttpRequest request;
  request.url = url;
  request.timeouts = timeouts ? *timeouts : DownloadTimeouts();
  // A silent or dripping server must not hold the window or the 中止 button.
  request.stop = [&cancelled] {
    PumpAllEvents();
    return cancelled();
  };
  HttpStream http;
  if (!http.Open(request)) {
    SetText(error, http.Stopped() ? std::string("中止しました。") : FormatC("接続できませんでした。\r\n%s", url.c_str()));
    return 0;
  }

  std::int64_t expected = 0;
  if (http.IsHttp()) {
    const int status = http.Status();
    if (status != 200) {
      SetText(error, FormatC("取得できませんでした(応答コード %d)。\r\n%s", status, url.c_str()));
      return 0;
    }
    expected = http.ContentLength() > 0 ? http.ContentLength() : 0;
  }

  const std::string workPath = targetPath + ".part";
  std::FILE* work = std::fopen(workPath.c_str(), "wb");
  if (!work) {
    SetText(error, FormatC("作業用ファイルを作成できませんでした。\r\n%s", workPath.c_str()));
    return 0;
  }
  std::vector<char> buffer;
  try {
    buffer.resize(kDownloadChunk);
  } catch (const std::bad_alloc&) {
    std::fclose(work);
    std::remove(workPath.c_str());
    SetText(error, "メモリーが足りません。");
    return 0;
  }

  if (progress && progress->setPosition)
    progress->setPosition(0);
  BodyResult body = ReceiveBody(http, work, buffer, displayName, expected, progress, cancelled);
  // The work file is only worth keeping when every byte reached the disk.
  if (std::fflush(work) != 0)
    body.ok = false;
  if (std::fclose(work) != 0)
    body.ok = false;

  std::string refusal;
  if (body.cancelled)
    refusal = "中止しました。";
  else if (body.stalled)
    refusal = StalledMessage(displayName, request.timeouts);
  else if (!body.ok || body.received < kMinDownloadBytes || (expected > 0 && body.received < expected))
    refusal = IncompleteMessage(displayName);
  if (refusal.empty()) {
    ReceivedFileFacts facts;
    facts.displayName = displayName;
    const bool gzName = EndsWithNoCase(targetPath, ".gz");
    const std::string& encoding = http.ContentEncoding();
    facts.gzip = gzName || encoding == "gzip" || encoding == "x-gzip";
    facts.catalogue = !gzName;
    facts.lengthKnown = expected > 0;
    bool stopped = false;
    refusal = CheckReceivedFile(workPath, facts, request.stop, &stopped);
    if (stopped)
      refusal = "中止しました。";
  }
  if (!refusal.empty()) {
    std::remove(workPath.c_str());
    SetText(error, refusal);
    return 0;
  }

  // Rename over the target: a failed rename leaves the old file in place.
  if (std::rename(workPath.c_str(), targetPath.c_str()) != 0) {
    SetText(error, RenameFailedMessage(workPath));
    return 0;
  }
  return 1;
}

} // namespace

std::function<bool()> PumpingStop(const int* flag)
{
  return [flag] {
    PumpAllEvents();
    return flag && *flag != 0;
  };
}

HttpTimeouts DownloadTimeouts()
{
  return HttpTimeouts{30000, 60000, 60000};
}

std::string TransferProgressText(const std::string& displayName, std::int64_t received, std::int64_t expected,
                                 double seconds)
{
  const double megabytes = static_cast<double>(received) / 1048576.0;
  const double rate = seconds > 0.5 ? megabytes / seconds : 0.0;
  if (expected > 0)
    return FormatC("%s を受信中… %.1f / %.1f MB   %.1f MB/秒", displayName.c_str(), megabytes,
                   static_cast<double>(expected) / 1048576.0, rate);
  return FormatC("%s を受信中… %.1f MB   %.1f MB/秒", displayName.c_str(), megabytes, rate);
}

std::string RenameFailedMessage(const std::string& workPath)
{
  return FormatC("受信は終わりましたが、ファイル名を変更できませんでした。\r\n受信内容は次の名前で残っています。\r\n%s",
                 workPath.c_str());
}

namespace CTessaruneLib {

int DownloadToFile(const std::string& url, const std::string& targetPath, const std::string& displayName,
                   const DownloadProgress* progress, const int* cancelFlag, std::string* error,
                   const HttpTimeouts* timeouts)
{
  return Download(url, targetPath, displayName, progress, [cancelFlag] { return cancelFlag && *cancelFlag != 0; },
                  error, timeouts);
}

int DownloadToFile(const std::string& url, const std::string& targetPath, const std::string& displayName,
                   const DownloadProgress* progress, const std::atomic<int>& cancelFlag, std::string* error,
                   const HttpTimeouts* timeouts)
{
  return Download(url, targetPath, displayName, progress, [&cancelFlag] { return cancelFlag.load() != 0; }, error,
                  timeouts);
}

} // namespace CTessaruneLib

namespace {

TextFetchResult ReceiveText(const std::string& url, const HttpTimeouts& timeouts, std::size_t maxBytes,
                            const std::string& displayName, const TransferControl* control, std::string& out)
{
  TextFetchResult r;
  HttpRequest request;
  request.url = url;
  request.timeouts = timeouts;
  if (control && control->stop)
    request.stop = control->stop;
  HttpStream http;
  if (!http.Open(request)) {
    r.end = http.Stopped() ? TextFetchEnd::Stopped : TextFetchEnd::NoConnection;
    return r;
  }
  r.status = 200;
  if (http.IsHttp() && http.Status() != 0)
    r.status = http.Status();
  if (r.status != 200) {
    r.end = TextFetchEnd::Status;
    return r;
  }
  const std::int64_t announced = http.ContentLength();
  if (announced > static_cast<std::int64_t>(maxBytes)) {
    r.end = TextFetchEnd::TooLarge;
    return r;
  }
  const DownloadProgress* progress = control ? control->progress : nullptr;
  const auto start = Clock::now();
  char chunk[kTextChunk];
  for (long n; r.end == TextFetchEnd::Ok && (n = http.Read(chunk, sizeof chunk)) != 0;) {
    if (n < 0)
      r.end = http.Stopped() ? TextFetchEnd::Stopped : http.TimedOut() ? TextFetchEnd::Stalled : TextFetchEnd::Cut;
    else if (out.size() + static_cast<std::size_t>(n) > maxBytes)
      r.end = TextFetchEnd::TooLarge;
    else
      out.append(chunk, static_cast<std::size_t>(n));
    if (r.end == TextFetchEnd::Ok && progress && progress->setText)
      progress->setText(TransferProgressText(displayName, static_cast<std::int64_t>(out.size()),
                                             announced > 0 ? announced : 0, SecondsSince(start)));
    if (r.end == TextFetchEnd::Ok && request.stop && request.stop())
      r.end = TextFetchEnd::Stopped;
  }
  if (r.end == TextFetchEnd::Ok && announced >= 0 && static_cast<std::int64_t>(out.size()) < announced)
    r.end = TextFetchEnd::Cut;
  return r;
}

} // namespace

TextFetchResult FetchText(const std::string& url, const HttpTimeouts& timeouts, std::size_t maxBytes,
                          const std::string& displayName, const TransferControl* control, std::string& out)
{
  out.clear();
  const TextFetchResult r = ReceiveText(url, timeouts, maxBytes, displayName, control, out);
  if (r.end != TextFetchEnd::Ok)
    out.clear();
  if (control && control->ended)
    control->ended();
  return r;
}

std::string TextFetchMessage(const TextFetchResult& result, const std::string& subject, const HttpTimeouts& timeouts,
                             std::size_t maxBytes)
{
  const char* s = subject.c_str();
  switch (result.end) {
  case TextFetchEnd::Ok:
  case TextFetchEnd::NoConnection:
    return {};
  case TextFetchEnd::Status:
    return FormatC("%sを取得できませんでした(応答コード %d)。", s, result.status);
  case TextFetchEnd::Cut:
    return FormatC("%sの受信が途中で切れました。", s);
  case TextFetchEnd::Stalled:
    return FormatC("%sの受信が途中で止まりました(%ld秒間、応答がありません)。", s, (timeouts.receiveMs + 999) / 1000);
  case TextFetchEnd::TooLarge:
    return FormatC("%sが大きすぎます(%zu MBを超えました)。受信を打ち切りました。", s, maxBytes >> 20);
  case TextFetchEnd::Stopped:
    return "中止しました。";
  }
  return {};
}

int HttpGetText(const std::string& url, std::string& out, std::string* error, const HttpTimeouts* timeouts,
                const TransferControl* control, std::size_t maxBytes)
{
  SetText(error, {});
  const HttpTimeouts used = timeouts ? *timeouts : DownloadTimeouts();
  const TextFetchResult r = FetchText(url, used, maxBytes, "NEOCPの一覧", control, out);
  if (r.end == TextFetchEnd::Ok && !out.empty())
    return 1;
  if (r.end == TextFetchEnd::NoConnection)
    SetText(error, "MPCに接続できませんでした。ネットワークの状態を確認してください。");
  else if (r.end == TextFetchEnd::Ok)
    SetText(error, "NEOCPの一覧が空でした。");
  else
    SetText(error, TextFetchMessage(r, "NEOCPの一覧", used, maxBytes));
  return 0;
}

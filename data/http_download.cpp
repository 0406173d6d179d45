#include "data/http_download.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <new>
#include <vector>

#include "platform/numbers.h"
#include "platform/ui_services.h"

namespace {

constexpr std::size_t kDownloadChunk = 262144;
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

} // namespace

HttpTimeouts DownloadTimeouts()
{
  return HttpTimeouts{30000, 60000, 60000};
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
  SetText(error, {});
  HttpRequest request;
  request.url = url;
  request.timeouts = timeouts ? *timeouts : DownloadTimeouts();
  HttpStream http;
  if (!http.Open(request)) {
    SetText(error, FormatC("接続できませんでした。\r\n%s", url.c_str()));
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

  const bool showBar = progress && progress->setPosition;
  const bool showText = progress && progress->setText;
  if (showBar)
    progress->setPosition(0);
  std::int64_t received = 0;
  bool ok = true;
  bool cancelled = false;
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    const long n = http.Read(buffer.data(), buffer.size());
    if (n < 0) {
      ok = false;
      break;
    }
    if (n == 0)
      break;
    if (std::fwrite(buffer.data(), 1, static_cast<std::size_t>(n), work) != static_cast<std::size_t>(n)) {
      ok = false;
      break;
    }
    received += n;
    if (expected > 0 && showBar)
      progress->setPosition(static_cast<int>(received * 100 / expected));
    if (showText) {
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      const double megabytes = static_cast<double>(received) / 1048576.0;
      const double rate = seconds > 0.5 ? megabytes / seconds : 0.0;
      if (expected > 0)
        progress->setText(FormatC("%s を受信中… %.1f / %.1f MB   %.1f MB/秒", displayName.c_str(), megabytes,
                                  static_cast<double>(expected) / 1048576.0, rate));
      else
        progress->setText(FormatC("%s を受信中… %.1f MB   %.1f MB/秒", displayName.c_str(), megabytes, rate));
    }
    PumpAllEvents();
    if (cancelFlag && *cancelFlag) {
      cancelled = true;
      ok = false;
      break;
    }
  }
  // The work file is only worth keeping when every byte reached the disk.
  if (std::fflush(work) != 0)
    ok = false;
  if (std::fclose(work) != 0)
    ok = false;

  if (!ok || received < kMinDownloadBytes || (expected > 0 && received < expected)) {
    std::remove(workPath.c_str());
    if (cancelled)
      SetText(error, "中止しました。");
    else
      SetText(error, FormatC("%s の受信が完了しませんでした。\r\n回線の状態とディスクの空き容量を確認してください。\r\n"
                             "元のファイルはそのまま残してあります。",
                             displayName.c_str()));
    return 0;
  }

  // Rename over the target: a failed rename leaves the old file in place.
  if (std::rename(workPath.c_str(), targetPath.c_str()) != 0) {
    SetText(error, RenameFailedMessage(workPath));
    return 0;
  }
  return 1;
}

} // namespace CTessaruneLib

int HttpGetText(const std::string& url, std::string& out, std::string* error, const HttpTimeouts* timeouts)
{
  out.clear();
  SetText(error, {});
  HttpRequest request;
  request.url = url;
  request.timeouts = timeouts ? *timeouts : DownloadTimeouts();
  HttpStream http;
  if (!http.Open(request)) {
    SetText(error, "MPCに接続できませんでした。ネットワークの状態を確認してください。");
    return 0;
  }
  int status = 200;
  if (http.IsHttp() && http.Status() != 0)
    status = http.Status();
  // A body cut short by a dropped connection is no list.
  if (status == 200 && !http.ReadBody(out))
    out.clear();
  if (status == 200 && !out.empty())
    return 1;
  if (status == 200)
    SetText(error, "NEOCPの一覧が空でした。");
  else
    SetText(error, FormatC("NEOCPの一覧を取得できませんでした(応答コード %d)。", status));
  return 0;
}

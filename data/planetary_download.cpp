#include "data/planetary_download.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include "astro/jpl_eph.h"
#include "data/http_download.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"

const char* const g_aszDe406Parts[21] = {
    "unxm3000.406", "unxm2700.406", "unxm2400.406", "unxm2100.406", "unxm1800.406",
    "unxm1500.406", "unxm1200.406", "unxm0900.406", "unxm0600.406", "unxm0300.406",
    "unxp0000.406", "unxp0300.406", "unxp0600.406", "unxp0900.406", "unxp1200.406",
    "unxp1500.406", "unxp1800.406", "unxp2100.406", "unxp2400.406", "unxp2700.406",
    nullptr,
};

namespace {

// Offsets of the DE header that the join and the conversion touch.
constexpr size_t kTitleLineChars = 84;
constexpr size_t kTitleBytes = 3 * kTitleLineChars;
constexpr size_t kStartDayText = 102;  // line 2 from character 18
constexpr size_t kFinalDayText = 186;  // line 3 from character 18
constexpr size_t kSpanWords = 2652;    // start, final day, record span
constexpr size_t kFinalDayWord = 2660;
constexpr size_t kNconWord = 2676;
constexpr size_t kAuWord = 2680;
constexpr size_t kEmratWord = 2688;
constexpr size_t kPointerWords = 2696;    // 36 int32
constexpr size_t kDeNumberWords = 2840;   // 4 int32
constexpr size_t kConstantValues = 400;  // doubles at the start of record 2

// A box without a caption of its own carries the application title.
void Message(const std::string& text)
{
  Ui().ShowMessage("Tessarune", text, MsgIcon::None, MsgButtons::Ok);
}

void Status(PlanetaryDownloadHost& host, const std::string& text)
{
  if (host.setStatus)
    host.setStatus(text);
}

void Pump(PlanetaryDownloadHost& host)
{
  if (host.pump)
    host.pump();
}

bool Cancelled(const PlanetaryDownloadHost& host)
{
  return host.cancelFlag && *host.cancelFlag != 0;
}

std::string FolderOf(const std::string& path)
{
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

bool FileSize(const std::string& path, std::uint64_t& size)
{
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    return false;
  size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

// Remaining seconds of a transfer that has done the fraction f since start.
double RemainingSeconds(std::time_t start, double f)
{
  if (!(f > 0))
    return 9999999;
  return static_cast<double>(std::time(nullptr) - start) / f * (1 - f);
}

void SplitMinutes(double remaining, int& minutes, int& seconds)
{
  const int whole = static_cast<int>(remaining);
  minutes = static_cast<int>(remaining / 60);
  seconds = whole - 60 * minutes;
}

void ShowPercent(PlanetaryDownloadHost& host, double percent)
{
  if (host.setProgress)
    host.setProgress(percent);
}

// Closes a file being written; false when the last writes did not reach it.
bool CloseWritten(FilePtr& file)
{
  std::FILE* f = file.release();
  return f && std::fclose(f) == 0;
}


// The integer written from text (leading blanks skipped, digits up to the first other character).
long long DayNumberAt(const unsigned char* title, size_t offset)
{
  size_t i = offset;
  while (i < kTitleBytes && title[i] == ' ')
    ++i;
  long long value = 0;
  while (i < kTitleBytes && title[i] >= '0' && title[i] <= '9')
    value = value * 10 + (title[i++] - '0');
  return value;
}

void Reverse(unsigned char* p, size_t width, size_t count)
{
  for (size_t k = 0; k < count; ++k, p += width)
    std::reverse(p, p + width);
}

// --- DE441 -------------------------------------------------------------------------

enum class TransferEnd { Complete, Incomplete, Cancelled, Failed };

// Whether the partial file is the whole DE file: with a length announced,
// its size is the expected total and its header describes no more than it
// holds; without one, its header accounts for every byte.
bool PartIsComplete(const std::string& part, std::uint64_t expectedTotal)
{
  std::uint64_t size = 0;
  if (!FileSize(part, size))
    return false;
  const long long described = DeFileBytesFromHeader(part);
  if (described <= 0)
    return false;
  if (expectedTotal > 0)
    return size == expectedTotal && static_cast<std::uint64_t>(described) <= size;
  return static_cast<std::uint64_t>(described) == size;
}

// Moves the completed partial file to the target.
bool FinishDe441(const std::string& part, const std::string& target)
{
  if (std::rename(part.c_str(), target.c_str()) == 0)
    return true;
  Message(RenameFailedMessage(part));
  return false;
}

// One request of the DE441 file from offset resume; the partial file is
// appended to (resume > 0 and a 206 answer) or started over.
TransferEnd FetchDe441(const std::string& url, const std::string& part, std::uint64_t& resume,
                       PlanetaryDownloadHost& host, int& status, std::uint64_t& expectedTotal)
{
  HttpRequest request;
  request.url = url;
  request.timeouts = host.timeouts;
  if (resume > 0)
    request.headers.push_back(FormatC("Range: bytes=%llu-", static_cast<unsigned long long>(resume)));
  HttpStream stream;
  if (!stream.Open(request)) {
    Message("JPLサーバーに接続できませんでした。");
    return TransferEnd::Failed;
  }
  status = stream.Status();
  if (status == 416 && resume > 0)
    return TransferEnd::Incomplete;  // the caller looks at the partial file
  if (status != 200 && status != 206) {
    Message(FormatC("サーバーがエラーを返しました(HTTP %d)。", status));
    return TransferEnd::Failed;
  }
  if (status == 200)
    resume = 0;
  const std::int64_t announced = stream.ContentLength();
  const std::uint64_t length = announced > 0 ? static_cast<std::uint64_t>(announced) : 0;
  expectedTotal = length > 0 ? length + resume : 0;

  FilePtr file(std::fopen(part.c_str(), resume > 0 ? "ab" : "wb"));
  if (!file) {
    Message(FormatC("%s が作成できませんでした。", part.c_str()));
    return TransferEnd::Failed;
  }
  std::vector<char> buffer(kPlanetaryChunkBytes);
  const std::time_t start = std::time(nullptr);
  if (host.transferStarted)
    host.transferStarted();
  Pump(host);
  ShowPercent(host, 0);
  std::uint64_t position = resume;
  while (true) {
    const long got = stream.Read(buffer.data(), buffer.size());
    if (got < 0) {
      CloseWritten(file);
      Message("JPLサーバーからの受信が途中で切れました。もう一度[DE441受信]を押すと続きから再開します。");
      return TransferEnd::Failed;
    }
    if (got == 0)
      break;
    if (std::fwrite(buffer.data(), 1, static_cast<size_t>(got), file.get()) != static_cast<size_t>(got)) {
      CloseWritten(file);
      Message("受信したDE441惑星データへの書き込みエラーが発生しました。");
      return TransferEnd::Failed;
    }
    position += static_cast<std::uint64_t>(got);
    if (length > 0) {
      const double f = static_cast<double>(position - resume) / static_cast<double>(length);
      int minutes = 0, seconds = 0;
      SplitMinutes(RemainingSeconds(start, f), minutes, seconds);
      ShowPercent(host, static_cast<double>(position) / static_cast<double>(expectedTotal) * 100);
      Status(host, FormatC("%lluMB / %lluMB 受信中...    残り%d分%d秒",
                           static_cast<unsigned long long>(position / 1000000),
                           static_cast<unsigned long long>(expectedTotal / 1000000), minutes, seconds));
    }
    Pump(host);
    if (Cancelled(host)) {
      CloseWritten(file);
      return TransferEnd::Cancelled;
    }
  }
  if (!CloseWritten(file)) {
    Message("受信したDE441惑星データへの書き込みエラーが発生しました。");
    return TransferEnd::Failed;
  }
  return Cancelled(host) ? TransferEnd::Cancelled : TransferEnd::Complete;
}

PlanetaryRunResult RunDe441(const std::string& url, const std::string& target, PlanetaryDownloadHost& host)
{
  const std::string part = target + ".part";
  std::uint64_t resume = 0;
  FileSize(part, resume);

  Status(host, "インターネットセッション確立中....");
  Pump(host);
  Pump(host);
  Status(host, "JPLサーバーに接続中....");
  Pump(host);

  // A 416 answer may be given once: the partial file is then finished or
  // started over, so the second request always asks from byte 0.
  for (int attempt = 0; attempt < 2; ++attempt) {
    int status = 0;
    std::uint64_t expectedTotal = 0;
    const TransferEnd end = FetchDe441(url, part, resume, host, status, expectedTotal);
    if (end == TransferEnd::Cancelled)
      return PlanetaryRunResult::Cancelled;
    if (end == TransferEnd::Failed)
      return PlanetaryRunResult::Failed;
    if (end == TransferEnd::Incomplete) {
      if (PartIsComplete(part, 0))
        return FinishDe441(part, target) ? PlanetaryRunResult::Succeeded : PlanetaryRunResult::Failed;
      std::remove(part.c_str());
      resume = 0;
      continue;
    }
    if (!PartIsComplete(part, expectedTotal)) {
      Message("受信したファイルのサイズが一致しません。もう一度[DE441受信]を押すと続きから再開します。");
      return PlanetaryRunResult::Failed;
    }
    return FinishDe441(part, target) ? PlanetaryRunResult::Succeeded : PlanetaryRunResult::Failed;
  }
  return PlanetaryRunResult::Failed;
}

// --- DE406 -------------------------------------------------------------------------

std::string FtpUrl(const std::string& server, const std::string& path)
{
  std::string url = "ftp://ftp:@" + server;
  if (url.back() != '/')
    url += '/';
  size_t from = 0;
  while (from < path.size() && path[from] == '/')
    ++from;
  return url + path.substr(from);
}

// Opens url and reads it to its end; false when it cannot be had.
bool FtpReadThrough(const std::string& url, const HttpTimeouts& timeouts)
{
  HttpRequest request;
  request.url = url;
  request.timeouts = timeouts;
  HttpStream stream;
  if (!stream.Open(request))
    return false;
  char buffer[4096];
  long got = 0;
  while ((got = stream.Read(buffer, sizeof buffer)) > 0) {
  }
  return got == 0;
}

enum class PartEnd { Done, Cancelled, Failed };

// One part into the data folder, read to the end of its transfer.
PartEnd FetchDe406Part(const std::string& folderUrl, const std::string& name, const std::string& local,
                       PlanetaryDownloadHost& host, std::uint64_t& count, std::time_t start)
{
  HttpRequest request;
  request.url = folderUrl + name;
  request.timeouts = host.timeouts;
  HttpStream stream;
  if (!stream.Open(request)) {
    Message(FormatC("FTPサーバーに %s が存在しません。", name.c_str()));
    return PartEnd::Failed;
  }
  FilePtr file(std::fopen(local.c_str(), "wb"));
  if (!file) {
    Message(FormatC("%s が作成できませんでした。", local.c_str()));
    return PartEnd::Failed;
  }
  ShowPercent(host, static_cast<double>(count) / kDe406TotalBytes * 100);
  std::vector<char> buffer(kPlanetaryChunkBytes);
  while (true) {
    const long got = stream.Read(buffer.data(), buffer.size());
    if (got < 0) {
      CloseWritten(file);
      Message(FormatC("FTPサーバーからの %s の受信が途中で切れました。", name.c_str()));
      return PartEnd::Failed;
    }
    if (got == 0)
      break;
    count += static_cast<std::uint64_t>(got);
    const double f = static_cast<double>(count) / kDe406TotalBytes;
    int minutes = 0, seconds = 0;
    SplitMinutes(RemainingSeconds(start, f), minutes, seconds);
    ShowPercent(host, 100 * f);
    Status(host, FormatC("%luKB / 199,769KB 受信中...    残り%d分%d秒", static_cast<unsigned long>(count / 1000),
                         minutes, seconds));
    if (std::fwrite(buffer.data(), 1, static_cast<size_t>(got), file.get()) != static_cast<size_t>(got)) {
      CloseWritten(file);
      Message("受信中にDE406惑星データへの書き込みエラーが発生しました。");
      return PartEnd::Failed;
    }
    Pump(host);
    if (Cancelled(host))
      return PartEnd::Cancelled;
  }
  if (!CloseWritten(file)) {
    Message("受信中にDE406惑星データへの書き込みエラーが発生しました。");
    return PartEnd::Failed;
  }
  return PartEnd::Done;
}

PlanetaryRunResult RunDe406(const std::string& server, const std::string& remoteFolder, const std::string& dataDir,
                            const std::string& target, PlanetaryDownloadHost& host)
{
  Status(host, "インターネットセッション確立中....");
  Pump(host);
  Pump(host);
  Status(host, "FTPサーバーに接続中....");
  if (!FtpReadThrough(FtpUrl(server, ""), host.timeouts)) {
    Message("FTPサーバーに接続できませんでした。");
    return PlanetaryRunResult::Failed;
  }
  Status(host, "FTPサーバーに正常に接続できました。");
  Status(host, "ディレクトリを移動中....");
  std::string folderUrl = FtpUrl(server, remoteFolder);
  if (folderUrl.back() != '/')
    folderUrl += '/';
  if (!FtpReadThrough(folderUrl, host.timeouts)) {
    Message("ディレクトリの移動に失敗しました。");
    return PlanetaryRunResult::Failed;
  }

  const std::time_t start = std::time(nullptr);
  if (host.transferStarted)
    host.transferStarted();
  Pump(host);
  Status(host, "FTPサーバーに接続完了。");
  std::uint64_t count = 0;
  for (int i = 0; g_aszDe406Parts[i]; ++i) {
    const PartEnd end =
        FetchDe406Part(folderUrl, g_aszDe406Parts[i], dataDir + g_aszDe406Parts[i], host, count, start);
    if (end == PartEnd::Cancelled)
      return PlanetaryRunResult::Cancelled;
    if (end == PartEnd::Failed)
      return PlanetaryRunResult::Failed;
  }

  if (host.joinStarted)
    host.joinStarted();
  Status(host, "199,769KB / 199,769KB 受信完了。");
  Status(host, "結合DE406の作成中....");
  Pump(host);
  const int joined = JoinDe406Parts(dataDir);
  for (int i = 0; g_aszDe406Parts[i]; ++i)
    std::remove((dataDir + g_aszDe406Parts[i]).c_str());
  if (joined != 0)
    return PlanetaryRunResult::Failed;
  Status(host, "UNIX BinaryからIntel Binaryへ変換中....");
  Pump(host);
  const std::string unx = dataDir + "de406.unx";
  const int converted = ConvertDe406ToLittleEndian(unx, target);
  std::remove(unx.c_str());
  return converted == 0 ? PlanetaryRunResult::Succeeded : PlanetaryRunResult::Failed;
}

} // namespace

bool QueryFreeBytes(const std::string& folder, std::uint64_t& bytes)
{
  struct statvfs vfs {};
  if (statvfs(folder.c_str(), &vfs) != 0)
    return false;
  bytes = static_cast<std::uint64_t>(vfs.f_bavail) * static_cast<std::uint64_t>(vfs.f_frsize);
  return true;
}

long long DeFileBytesFromHeader(const std::string& path)
{
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file)
    return -1;
  unsigned char raw[kJplHeaderBytes];
  if (std::fread(raw, 1, sizeof raw, file.get()) != sizeof raw)
    return -1;
  JplHeader header{};
  long long bytes = 0;
  return JplParseHeaderBytes(raw, sizeof raw, header, bytes) ? bytes : -1;
}

PlanetaryRunResult ReceiveDe441(const std::string& url, const std::string& target, PlanetaryDownloadHost& host)
{
  if (FileExists(target)) {
    Message("すでにDE441惑星データがあります。");
    return PlanetaryRunResult::Refused;
  }
  std::uint64_t resume = 0;
  FileSize(target + ".part", resume);
  std::uint64_t available = 0;
  const bool known = host.freeSpace ? host.freeSpace(FolderOf(target), available)
                                    : QueryFreeBytes(FolderOf(target), available);
  if (known && available + resume < kDe441NeededBytes) {
    Message("ディスクの空き容量が不足しています(約3GB必要です)。");
    return PlanetaryRunResult::Refused;
  }
  if (host.beginRun)
    host.beginRun();

  const PlanetaryRunResult result = RunDe441(url, target, host);
  if (host.endRun)
    host.endRun(result);
  switch (result) {
  case PlanetaryRunResult::Succeeded:
    Message("正常に受信しました。次回起動時からDE441が使用されます。");
    Status(host, "正常に受信しました。[閉じる]ボタンを押してください。");
    break;
  case PlanetaryRunResult::Cancelled:
    Status(host, "中止操作により終了しました(次回は続きから再開します)。");
    Message("中止操作により終了しました。次回は続きから再開します。");
    break;
  default: Status(host, "受信に失敗しました。"); break;
  }
  return result;
}

PlanetaryRunResult ReceiveDe406(const std::string& server, const std::string& remoteFolder,
                                const std::string& dataDir, const std::string& target,
                                PlanetaryDownloadHost& host)
{
  if (FileExists(target)) {
    Message("すでにDE406惑星データ[de406.win]があります。");
    return PlanetaryRunResult::Refused;
  }
  if (host.beginRun)
    host.beginRun();

  const PlanetaryRunResult result = RunDe406(server, remoteFolder, dataDir, target, host);
  if (host.endRun)
    host.endRun(result);
  switch (result) {
  case PlanetaryRunResult::Succeeded:
    Message("正常に受信しました。");
    Status(host, "正常に受信しました。[閉じる]ボタンを押してください。");
    break;
  case PlanetaryRunResult::Cancelled:
    Status(host, "中止操作により終了しました。");
    Message("中止操作により終了しました。");
    break;
  default: Status(host, "受信に失敗しました。"); break;
  }
  return result;
}

int JoinDe406Parts(const std::string& dataDir)
{
  long long startDay[kDe406PartCount] = {}, finalDay[kDe406PartCount] = {};
  unsigned char lastHeader[kJplHeaderBytes] = {};
  JplHeader header{};
  long long described = 0;
  for (int i = 0; i < kDe406PartCount; ++i) {
    const std::string path = dataDir + g_aszDe406Parts[i];
    FilePtr part(std::fopen(path.c_str(), "rb"));
    unsigned char raw[kJplHeaderBytes];
    if (!part) {
      Message(FormatC("%s がありません。DE406の結合処理を中止します。", path.c_str()));
      return -1;
    }
    if (std::fread(raw, 1, sizeof raw, part.get()) != sizeof raw ||
        (i == 0 && !JplParseHeaderBytes(raw, sizeof raw, header, described))) {
      Message(FormatC("%s はDE406のデータではありません。DE406の結合処理を中止します。", path.c_str()));
      return -1;
    }
    startDay[i] = DayNumberAt(raw, kStartDayText);
    finalDay[i] = DayNumberAt(raw, kFinalDayText);
    if (i == kDe406PartCount - 1)
      std::memcpy(lastHeader, raw, sizeof raw);
  }
  const long long recordBytes = header.ncoeff * 8LL;
  const long long daysPerRecord = static_cast<long long>(header.daysPerRecord);
  if (daysPerRecord <= 0) {
    Message(FormatC("%s はDE406のデータではありません。DE406の結合処理を中止します。",
                    (dataDir + g_aszDe406Parts[0]).c_str()));
    return -1;
  }

  const std::string joinedPath = dataDir + "de406.unx";
  auto writeFailed = [&]() {
    std::remove(joinedPath.c_str());
    Message(FormatC("%s が作成できませんでした。ディスク容量が不足している可能性があります。", joinedPath.c_str()));
    return -1;
  };
  FilePtr joined(std::fopen(joinedPath.c_str(), "wb"));
  if (!joined)
    return writeFailed();
  std::vector<unsigned char> record(static_cast<size_t>(recordBytes));
  for (int i = 0; i < kDe406PartCount; ++i) {
    const std::string path = dataDir + g_aszDe406Parts[i];
    FilePtr part(std::fopen(path.c_str(), "rb"));
    const long long end = i + 1 < kDe406PartCount ? startDay[i + 1] : finalDay[i];
    const long long records = (end - startDay[i]) / daysPerRecord;
    bool ok = part && records >= 0;
    if (ok && i == 0) {
      for (int h = 0; ok && h < 2; ++h) {
        ok = std::fread(record.data(), 1, record.size(), part.get()) == record.size();
        if (ok && std::fwrite(record.data(), 1, record.size(), joined.get()) != record.size())
          return writeFailed();
      }
    } else if (ok) {
      ok = fseeko(part.get(), static_cast<off_t>(2 * recordBytes), SEEK_SET) == 0;
    }
    for (long long r = 0; ok && r < records; ++r) {
      ok = std::fread(record.data(), 1, record.size(), part.get()) == record.size();
      if (ok && std::fwrite(record.data(), 1, record.size(), joined.get()) != record.size())
        return writeFailed();
    }
    if (!ok) {
      joined.reset();
      std::remove(joinedPath.c_str());
      Message(FormatC("%s のデータが足りません。DE406の結合処理を中止します。", path.c_str()));
      return -1;
    }
  }
  // Part 0's header with the final epoch of the last part.
  if (fseeko(joined.get(), static_cast<off_t>(2 * kTitleLineChars), SEEK_SET) != 0 ||
      std::fwrite(lastHeader + 2 * kTitleLineChars, 1, kTitleLineChars, joined.get()) != kTitleLineChars ||
      fseeko(joined.get(), static_cast<off_t>(kFinalDayWord), SEEK_SET) != 0 ||
      std::fwrite(lastHeader + kFinalDayWord, 1, 8, joined.get()) != 8)
    return writeFailed();
  if (!CloseWritten(joined))
    return writeFailed();
  return 0;
}

int ConvertDe406ToLittleEndian(const std::string& unxPath, const std::string& target)
{
  FilePtr in(std::fopen(unxPath.c_str(), "rb"));
  if (!in)
    return 1;
  unsigned char raw[kJplHeaderBytes];
  JplHeader header{};
  long long described = 0;
  if (std::fread(raw, 1, sizeof raw, in.get()) != sizeof raw ||
      !JplParseHeaderBytes(raw, sizeof raw, header, described) || !header.bigEndian)
    return 2;
  const size_t recordBytes = static_cast<size_t>(header.ncoeff) * 8;
  const std::string temp = target + ".tmp";
  FilePtr out(std::fopen(temp.c_str(), "wb"));
  if (!out)
    return 3;

  std::vector<unsigned char> record(recordBytes);
  bool ok = fseeko(in.get(), 0, SEEK_SET) == 0;
  // Record 1: the title and names copied, the numbers of the header reversed.
  if (ok && (ok = std::fread(record.data(), 1, recordBytes, in.get()) == recordBytes)) {
    unsigned char* r = record.data();
    Reverse(r + kSpanWords, 8, 3);
    Reverse(r + kNconWord, 4, 1);
    Reverse(r + kAuWord, 8, 1);
    Reverse(r + kEmratWord, 8, 1);
    Reverse(r + kPointerWords, 4, 36);
    Reverse(r + kDeNumberWords, 4, 4);
    ok = std::fwrite(r, 1, recordBytes, out.get()) == recordBytes;
  }
  // Record 2: the constants' values (beyond the first 400 when the file has more).
  if (ok && (ok = std::fread(record.data(), 1, recordBytes, in.get()) == recordBytes)) {
    const size_t values = std::min(recordBytes / 8, std::max<size_t>(kConstantValues, header.ncon));
    Reverse(record.data(), 8, values);
    ok = std::fwrite(record.data(), 1, recordBytes, out.get()) == recordBytes;
  }
  // Data records: every word reversed, until the input ends.
  while (ok) {
    const size_t got = std::fread(record.data(), 1, recordBytes, in.get());
    if (got == 0) {
      ok = !std::ferror(in.get());
      break;
    }
    Reverse(record.data(), 8, got / 8);
    ok = std::fwrite(record.data(), 1, got, out.get()) == got;
  }
  ok = CloseWritten(out) && ok;
  if (!ok || std::rename(temp.c_str(), target.c_str()) != 0) {
    std::remove(temp.c_str());
    return 4;
  }
  return 0;
}

#pragma once
// Two blocking web clients of the user-interface thread: a large file to disk
// through a ".part" work file, and a small text into memory.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/http_session.h"

// The Minor Planet Center's web host; the callers of HttpGetText append the
// fixed paths ("/Extended_Files/neocp.json", "/iau/NEO/pccp.txt", ...).
inline constexpr const char* kDefaultMpcWebHostUrl = "https://www.minorplanetcenter.net";

// Where a download shows its progress; either member may be left empty.
struct DownloadProgress {
  std::function<void(int percent)> setPosition;           // the progress bar, range 0..100
  std::function<void(const std::string& text)> setText;  // the status window
};

// How a blocking text transfer shows its progress and is stopped; either
// member may be left empty. Without a stop the transfer dispatches no events
// and may run on any thread.
struct TransferControl {
  const DownloadProgress* progress = nullptr;  // called on the transfer's thread
  // Asked after every chunk and at least every 50 ms while the server is
  // awaited; true ends the transfer ("中止しました。").
  std::function<bool()> stop;
  // Called once the transfer has ended, whatever its end (before the caller
  // goes on with what came).
  std::function<void()> ended;
};

// A stop for the user-interface thread: dispatches every waiting window
// event (the 中止 button among them), then true when *flag is non-zero.
std::function<bool()> PumpingStop(const int* flag);

// Time-outs of the download and the text fetch.
HttpTimeouts DownloadTimeouts();

// The progress text of a transfer: "%s を受信中… %.1f / %.1f MB   %.1f MB/秒",
// without the total when expected is 0.
std::string TransferProgressText(const std::string& displayName, std::int64_t received, std::int64_t expected,
                                 double seconds);

// How a text fetch ended.
enum class TextFetchEnd { Ok, NoConnection, Status, Cut, Stalled, TooLarge, Stopped };
struct TextFetchResult {
  TextFetchEnd end = TextFetchEnd::Ok;
  int status = 0;  // the HTTP status (200 for other schemes)
};

// The body of url into out, whole or not at all (out is emptied on failure):
// status 200, every announced byte, at most maxBytes (an announced or received
// body beyond it is refused at once). Progress texts name displayName.
TextFetchResult FetchText(const std::string& url, const HttpTimeouts& timeouts, std::size_t maxBytes,
                          const std::string& displayName, const TransferControl* control, std::string& out);

// Why a fetch of subject ("NEOCPの一覧", ...) failed, in the program's words;
// "" for Ok and NoConnection, which each caller says its own way.
std::string TextFetchMessage(const TextFetchResult& result, const std::string& subject, const HttpTimeouts& timeouts,
                             std::size_t maxBytes);

// The message of a completed download whose work file could not be renamed
// to its target: the received bytes stay under workPath, which it names.
std::string RenameFailedMessage(const std::string& workPath);

namespace CTessaruneLib {

// Brings url to targetPath through "<targetPath>.part", replacing the target
// only when the transfer is complete and what came proves to be the file
// asked for: status 200, at least 1 MiB, no fewer bytes than announced, and
// the checks of CheckReceivedFile (a ".gz" target or a gzip-encoded answer
// must inflate to its end; any other target is an element catalogue). Window
// events are dispatched after every chunk and while the server is awaited; a
// non-zero *cancelFlag stops the transfer. 1 on success; 0 with *error filled
// (the target untouched; the work file removed, except when the final rename
// fails, where it is kept and named in the error).
int DownloadToFile(const std::string& url, const std::string& targetPath, const std::string& displayName,
                   const DownloadProgress* progress = nullptr, const int* cancelFlag = nullptr,
                   std::string* error = nullptr, const HttpTimeouts* timeouts = nullptr);
// The same for a caller whose abort flag is atomic (it is also read by threads).
int DownloadToFile(const std::string& url, const std::string& targetPath, const std::string& displayName,
                   const DownloadProgress* progress, const std::atomic<int>& cancelFlag, std::string* error = nullptr,
                   const HttpTimeouts* timeouts = nullptr);

} // namespace CTessaruneLib

// The largest text HttpGetText takes: the NEOCP list and its companion pages
// are well under a megabyte.
inline constexpr std::size_t kMpcTextLimit = 16u << 20;

// The body of url in out (bytes unchanged). 1 when the answer is status 200
// with a complete, non-empty body of at most maxBytes; 0 otherwise with
// *error filled (the texts name the NEOCP list, whatever the URL).
int HttpGetText(const std::string& url, std::string& out, std::string* error = nullptr,
                const HttpTimeouts* timeouts = nullptr, const TransferControl* control = nullptr,
                std::size_t maxBytes = kMpcTextLimit);

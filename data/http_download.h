#pragma once
// Two blocking web clients of the user-interface thread: a large file to disk
// through a ".part" work file, and a small text into memory.
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

// Time-outs of the download and the text fetch.
HttpTimeouts DownloadTimeouts();

// The message of a completed download whose work file could not be renamed
// to its target: the received bytes stay under workPath, which it names.
std::string RenameFailedMessage(const std::string& workPath);

namespace CTessaruneLib {

// Brings url to targetPath through "<targetPath>.part", replacing the target
// only when the transfer is complete: status 200, at least 1 MiB, and no fewer
// bytes than announced. Window events are dispatched after every chunk; a
// non-zero *cancelFlag stops after the current chunk. 1 on success; 0 with
// *error filled (the target untouched; the work file removed, except when the
// final rename fails, where it is kept and named in the error).
int DownloadToFile(const std::string& url, const std::string& targetPath, const std::string& displayName,
                   const DownloadProgress* progress = nullptr, const int* cancelFlag = nullptr,
                   std::string* error = nullptr, const HttpTimeouts* timeouts = nullptr);

} // namespace CTessaruneLib

// The body of url in out (bytes unchanged). 1 when the answer is status 200
// with a complete, non-empty body; 0 otherwise with *error filled (the texts
// name the NEOCP list, whatever the URL).
int HttpGetText(const std::string& url, std::string& out, std::string* error = nullptr,
                const HttpTimeouts* timeouts = nullptr);

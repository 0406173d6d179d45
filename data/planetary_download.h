#pragma once
// Fetching the planetary ephemeris file, without a window: DE441 over HTTPS
// into "<target>.part" with resume, and DE406 by anonymous FTP in 20
// big-endian parts that are joined and converted into the little-endian file
// the planetary reader opens. The download dialog (data/ui/get_jpl_eph_dlg.h)
// supplies the host below; every message box goes through Ui().
#include <cstdint>
#include <functional>
#include <string>

#include "platform/http_session.h"

// The 20 DE406 part files in the order they are fetched and joined; null-terminated.
extern const char* const g_aszDe406Parts[21];
inline constexpr int kDe406PartCount = 20;
// All 20 parts together, for the DE406 progress.
inline constexpr std::uint64_t kDe406TotalBytes = 199769024;
// Space DE441 needs (the partial file counted as already there).
inline constexpr std::uint64_t kDe441NeededBytes = 3000000000ull;
// Bytes moved per read and write.
inline constexpr std::size_t kPlanetaryChunkBytes = 32000;

// How one press of a download button ended.
enum class PlanetaryRunResult {
  Refused,    // nothing started (target exists, too little space); buttons untouched
  Succeeded,
  Cancelled,
  Failed,
};

// What a download asks of its dialog. Every member may be left empty.
struct PlanetaryDownloadHost {
  std::function<void(const std::string& text)> setStatus;  // the status line
  std::function<void(double percent)> setProgress;         // the bar (truncated) and "%5.1f%%"
  std::function<void()> pump;                              // one pending window event
  std::function<void()> beginRun;         // the run starts: Close and both download buttons disabled
  std::function<void()> transferStarted;  // the running button becomes "中止" and is enabled
  std::function<void()> joinStarted;      // DE406: the running button is disabled for join and conversion
  std::function<void(PlanetaryRunResult)> endRun;  // buttons restored, before the final message
  // Bytes available to the user on the file system of folder; false when
  // unknown. Empty: statvfs (QueryFreeBytes).
  std::function<bool(const std::string& folder, std::uint64_t& bytes)> freeSpace;
  const int* cancelFlag = nullptr;  // non-zero: stop after the current chunk
  HttpTimeouts timeouts;
};

// Bytes available to an unprivileged user on the file system that holds
// folder (statvfs); false when the query fails.
bool QueryFreeBytes(const std::string& folder, std::uint64_t& bytes);

// The length of the DE file at path as its own header describes it (two
// header records and the data records of its span); -1 when the file cannot
// be read or its start is no DE header.
long long DeFileBytesFromHeader(const std::string& path);

// DE441 (button "DE441受信"): url to target through "<target>.part". A partial
// file is resumed with "Range: bytes=<size>-". The file is renamed to target
// only when it is complete: its size is the announced total and its header
// is a DE header the file holds, or, with no length announced, its header
// accounts for every byte. A partial file answered with 416 is finished when
// complete, else started over once. The rename's failure is a failure.
PlanetaryRunResult ReceiveDe441(const std::string& url, const std::string& target, PlanetaryDownloadHost& host);

// DE406 (button "DE406受信"): the parts from ftp://<server>/<remoteFolder>
// (server may carry ":port"; login "ftp" with an empty password) into dataDir,
// each read to the end of its transfer, then JoinDe406Parts and
// ConvertDe406ToLittleEndian into target; the parts and "de406.unx" are
// removed afterwards.
PlanetaryRunResult ReceiveDe406(const std::string& server, const std::string& remoteFolder,
                                const std::string& dataDir, const std::string& target,
                                PlanetaryDownloadHost& host);

// Joins the 20 parts of dataDir into "<dataDir>de406.unx": part 0's header
// records with the last part's final epoch, then the data records of every
// part without overlap. Record length and days per record come from part 0's
// header. 0 on success; -1 after a message (a part missing or too short, the
// joined file not written whole, which is then removed).
int JoinDe406Parts(const std::string& dataDir);

// Converts the big-endian DE file unxPath into the little-endian target of
// the same layout, through "<target>.tmp" renamed when every write
// succeeded. 0 on success; non-zero when a file cannot be opened, the input
// is no big-endian DE file, or a write or the rename fails (no target then).
int ConvertDe406ToLittleEndian(const std::string& unxPath, const std::string& target);

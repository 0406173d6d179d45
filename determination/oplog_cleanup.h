#pragma once
// Removal, when the main frame closes, of operation logs that recorded no
// calculation: only loading observations writes no residual list.
#include <string>
#include <string_view>

// The line the operation log writes when it records a calculation (24 bytes of UTF-8).
inline constexpr std::string_view kOpLogCalcMarker = "残差一覧(計算前):";
// Logs larger than this are kept unread.
inline constexpr size_t kOpLogScanBytes = 65536;

// True when the head of a log (its first kOpLogScanBytes at most) shows that
// it recorded no calculation.
bool IsUnusedOperationLog(std::string_view head);

// Deletes every "Tessarune_OpLog_*.txt" in dataDir (a folder ending in "/")
// that is not larger than kOpLogScanBytes, can be read and recorded no
// calculation. Returns the number of files deleted; unreadable files and
// failed deletions are left as they are.
int CleanUpOperationLogs(const std::string& dataDir);

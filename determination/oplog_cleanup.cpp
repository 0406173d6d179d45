#include "determination/oplog_cleanup.h"

#include <filesystem>
#include <fstream>
#include <vector>

bool IsUnusedOperationLog(std::string_view head)
{
  if (head.size() < kOpLogCalcMarker.size())
    return true;
  return head.find(kOpLogCalcMarker) == std::string_view::npos;
}

namespace {

bool IsOperationLogName(const std::string& name)
{
  static constexpr std::string_view kPrefix = "Tessarune_OpLog_";
  static constexpr std::string_view kSuffix = ".txt";
  return name.size() >= kPrefix.size() + kSuffix.size() && name.compare(0, kPrefix.size(), kPrefix) == 0 &&
         name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0;
}

} // namespace

int CleanUpOperationLogs(const std::string& dataDir)
{
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::directory_iterator it(dataDir, ec);
  if (ec)
    return 0;

  std::vector<fs::path> doomed;
  std::string head(kOpLogScanBytes, '\0');
  for (const fs::directory_entry& entry : it) {
    if (!IsOperationLogName(entry.path().filename().string()) || entry.is_directory(ec))
      continue;
    const auto size = entry.file_size(ec);
    if (ec || size > kOpLogScanBytes)
      continue;
    std::ifstream in(entry.path(), std::ios::binary);
    if (!in)
      continue;
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    const auto got = static_cast<size_t>(in.gcount());
    if (IsUnusedOperationLog(std::string_view(head.data(), got)))
      doomed.push_back(entry.path());
  }

  int deleted = 0;
  for (const fs::path& p : doomed)
    if (fs::remove(p, ec))
      ++deleted;
  return deleted;
}

#include "determination/oplog_manager.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <filesystem>
#include <sys/stat.h>

#include "platform/numbers.h"

namespace {

namespace fs = std::filesystem;

bool IsOperationLogName(const std::string& name) {
  static const std::string kPrefix = "Tessarune_OpLog_";
  static const std::string kSuffix = ".txt";
  return name.size() >= kPrefix.size() + kSuffix.size() && name.compare(0, kPrefix.size(), kPrefix) == 0 &&
         name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0;
}

// Last-write time of a file in local time; "" when it cannot be read.
std::string ModifiedText(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return {};
  const std::time_t seconds = st.st_mtime;
  std::tm local{};
  char buffer[64];
  if (!localtime_r(&seconds, &local) || std::strftime(buffer, sizeof buffer, "%Y/%m/%d %H:%M:%S", &local) == 0)
    return {};
  return buffer;
}

// -1, 0, 1 as a case-insensitive comparison of ASCII names.
int CompareNoCase(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const int ca = std::tolower(static_cast<unsigned char>(a[i]));
    const int cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

OpLogFileOps*& OverridingOps() {
  static OpLogFileOps* ops = nullptr;
  return ops;
}

} // namespace

std::vector<OpLogFileEntry> OpLogFileOps::List(const std::string& folder) {
  std::vector<OpLogFileEntry> entries;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!IsOperationLogName(name) || !it->is_regular_file(ec)) continue;
    OpLogFileEntry entry{name, 0, {}};
    std::error_code sizeError;
    const auto bytes = it->file_size(sizeError);
    if (!sizeError) entry.bytes = bytes;
    entry.modified = ModifiedText(it->path().string());
    entries.push_back(std::move(entry));
  }
  return entries;
}

bool OpLogFileOps::Remove(const std::string& path) {
  std::error_code ec;
  return fs::remove(path, ec) && !ec;
}

OpLogFileOps* OpLogFileOpsOverride() { return OverridingOps(); }

void SetOpLogFileOps(OpLogFileOps* ops) { OverridingOps() = ops; }

std::vector<OpLogFileEntry> SortOpLogEntries(std::vector<OpLogFileEntry> entries) {
  std::stable_sort(entries.begin(), entries.end(),
                   [](const OpLogFileEntry& a, const OpLogFileEntry& b) { return CompareNoCase(a.name, b.name) > 0; });
  return entries;
}

std::string FormatOpLogSize(std::uintmax_t bytes) { return FormatC("%.1f KB", static_cast<double>(bytes) / 1024.0); }

std::string FormatOpLogStatus(const std::vector<OpLogFileEntry>& entries, const std::string& folder) {
  if (entries.empty()) return "操作ログはありません。   置き場所: " + folder;
  std::uintmax_t total = 0;
  for (const OpLogFileEntry& e : entries) total += e.bytes;
  return FormatC("%d 個  合計 %.1f MB   置き場所: ", static_cast<int>(entries.size()),
                 static_cast<double>(total) / 1048576.0) +
         folder;
}

std::string FormatDeleteQuestion(const std::vector<std::string>& names) {
  std::string lines;
  for (size_t i = 0; i < names.size() && i < 10; ++i) lines += "  " + names[i] + "\r\n";
  if (names.size() > 10) lines += "  ...\r\n";
  return FormatC("次の %d 個の操作ログを削除します。元に戻せません。\r\n\r\n", static_cast<int>(names.size())) + lines +
         "\r\n実行しますか?";
}

OpLogDeleteResult DeleteOperationLogs(OpLogFileOps& ops, const std::string& folder,
                                      const std::vector<std::string>& names) {
  OpLogDeleteResult result;
  for (const std::string& name : names) {
    if (ops.Remove(folder + name))
      ++result.deleted;
    else
      ++result.failed;
  }
  return result;
}

std::string FormatDeleteFailure(const OpLogDeleteResult& result) {
  return FormatC("%d 個を削除しました。%d 個は削除できませんでした。\r\n他のソフトで開いたままになっていないか確認してください。",
                 result.deleted, result.failed);
}

std::string FormatOpenFailure(const std::string& path) {
  return "開けませんでした。\r\n" + path +
         "\r\n\r\n.txt に関連付けられたソフトが無いか、ファイルが大きすぎる可能性があります。";
}

#pragma once
// The operation-log manager without its window: the listing of the data
// folder's logs, the status line, the confirmation of a deletion and the
// deletion itself over file operations that tests replace.
#include <cstdint>
#include <string>
#include <vector>

// One file of the folder as the listing finds it.
struct OpLogFileEntry {
  std::string name;      // without folder
  std::uintmax_t bytes = 0;
  std::string modified;  // "%Y/%m/%d %H:%M:%S" local time; "" when unknown
};

// The file operations of the manager.
class OpLogFileOps {
public:
  virtual ~OpLogFileOps() = default;
  // Regular files of folder matching "Tessarune_OpLog_*.txt", in any order;
  // none for a missing folder.
  virtual std::vector<OpLogFileEntry> List(const std::string& folder);
  virtual bool Remove(const std::string& path);
  // Opens a file or folder with the desktop's program for it (the window
  // implementation); false when that fails.
  virtual bool Open(const std::string& path) {
    (void)path;
    return false;
  }
};

// Operations a test sets in place of the window's own (null: none set).
OpLogFileOps* OpLogFileOpsOverride();
void SetOpLogFileOps(OpLogFileOps* ops);

// The entries in descending name order, compared without regard to case
// (newest first for these names); equal names keep the listing's order.
std::vector<OpLogFileEntry> SortOpLogEntries(std::vector<OpLogFileEntry> entries);
// "%.1f KB" of bytes.
std::string FormatOpLogSize(std::uintmax_t bytes);
// "%d 個  合計 %.1f MB   置き場所: %s", or "操作ログはありません。   置き場所: %s".
std::string FormatOpLogStatus(const std::vector<OpLogFileEntry>& entries, const std::string& folder);
// The question before deleting names (up to ten listed, then "  ...").
std::string FormatDeleteQuestion(const std::vector<std::string>& names);
// Deletes folder + each name; the counts of deleted and failed files.
struct OpLogDeleteResult {
  int deleted = 0;
  int failed = 0;
};
OpLogDeleteResult DeleteOperationLogs(OpLogFileOps& ops, const std::string& folder,
                                      const std::vector<std::string>& names);
std::string FormatDeleteFailure(const OpLogDeleteResult& result);
std::string FormatOpenFailure(const std::string& path);
inline constexpr const char* kOpLogManTitle = "操作ログの管理";

// Buttons by the number of selected rows.
inline bool OpLogOpenEnabled(int selected) { return selected == 1; }
inline bool OpLogDeleteEnabled(int selected) { return selected >= 1; }

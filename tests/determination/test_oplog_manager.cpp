// The operation-log manager without its window: the listing of a folder,
// the status line, the question before deleting and a deletion that fails.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <utime.h>

#include "determination/oplog_manager.h"
#include "platform/files.h"

namespace {

void WriteBytes(const std::string& path, size_t bytes) { std::ofstream(path, std::ios::binary) << std::string(bytes, 'x'); }

// Deletion of the names in m_refuse fails, as for a file held open elsewhere.
class RefusingFiles : public OpLogFileOps {
public:
  bool Remove(const std::string& path) override {
    m_asked.push_back(path);
    return m_refuse.count(path) == 0 && OpLogFileOps::Remove(path);
  }
  std::set<std::string> m_refuse;
  std::vector<std::string> m_asked;
};

} // namespace

// The listing takes only regular "Tessarune_OpLog_*.txt" files; whatever
// order the folder gives, the later date comes first (a name in other case
// sorts as the same name); size and local time as the columns show them.
TEST(OpLogManager, ListsTheFolderNewestFirst) {
  const std::string dir = TempFolder() + "oplog_man_list/";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir + "Tessarune_OpLog_20990101_000000.txt");  // a folder
  WriteBytes(dir + "Tessarune_OpLog_20240101_120000.txt", 1536);
  WriteBytes(dir + "Tessarune_OpLog_20240102_080000.txt", 0);
  WriteBytes(dir + "Tessarune_OpLog_20231231_235959.txt", 10);
  WriteBytes(dir + "Tessarune_OpLog_20240101_120000.log", 10);
  WriteBytes(dir + "other.txt", 10);
  std::tm local{};
  local.tm_year = 124;
  local.tm_mon = 0;
  local.tm_mday = 1;
  local.tm_hour = 12;
  local.tm_min = 34;
  local.tm_sec = 56;
  local.tm_isdst = -1;
  const std::time_t when = std::mktime(&local);
  const utimbuf times{when, when};
  ASSERT_EQ(utime((dir + "Tessarune_OpLog_20240101_120000.txt").c_str(), &times), 0);

  OpLogFileOps ops;
  const std::vector<OpLogFileEntry> entries = SortOpLogEntries(ops.List(dir));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "Tessarune_OpLog_20240102_080000.txt");
  EXPECT_EQ(entries[1].name, "Tessarune_OpLog_20240101_120000.txt");
  EXPECT_EQ(entries[2].name, "Tessarune_OpLog_20231231_235959.txt");
  EXPECT_EQ(entries[1].bytes, 1536u);
  EXPECT_EQ(FormatOpLogSize(entries[1].bytes), "1.5 KB");
  EXPECT_EQ(FormatOpLogSize(entries[0].bytes), "0.0 KB");
  EXPECT_EQ(entries[1].modified, "2024/01/01 12:34:56");
  EXPECT_EQ(FormatOpLogStatus(entries, dir), "3 個  合計 0.0 MB   置き場所: " + dir);

  const auto mixed = SortOpLogEntries({{"tessarune_oplog_20240101_000000.txt", 0, {}},
                                       {"Tessarune_OpLog_20240102_000000.txt", 0, {}},
                                       {"TESSARUNE_OPLOG_20240101_000000.txt", 0, {}}});
  EXPECT_EQ(mixed[0].name, "Tessarune_OpLog_20240102_000000.txt");
  EXPECT_EQ(mixed[1].name, "tessarune_oplog_20240101_000000.txt");  // equal names keep their order
  EXPECT_EQ(mixed[2].name, "TESSARUNE_OPLOG_20240101_000000.txt");

  EXPECT_TRUE(ops.List(dir + "missing/").empty());
  EXPECT_EQ(FormatOpLogStatus({}, dir + "missing/"), "操作ログはありません。   置き場所: " + dir + "missing/");
  EXPECT_EQ(FormatOpLogStatus({{"a", 3u << 20, {}}, {"b", 1u << 19, {}}}, "/d/"), "2 個  合計 3.5 MB   置き場所: /d/");
}

TEST(OpLogManager, QuestionListsTenNamesAndDeletionCountsFailures) {
  std::vector<std::string> names;
  for (int i = 1; i <= 12; ++i) names.push_back("L" + std::to_string(i));
  std::string lines;
  for (int i = 1; i <= 10; ++i) lines += "  L" + std::to_string(i) + "\r\n";
  EXPECT_EQ(FormatDeleteQuestion(names),
            "次の 12 個の操作ログを削除します。元に戻せません。\r\n\r\n" + lines + "  ...\r\n\r\n実行しますか?");
  EXPECT_EQ(FormatDeleteQuestion({"A", "B"}),
            "次の 2 個の操作ログを削除します。元に戻せません。\r\n\r\n  A\r\n  B\r\n\r\n実行しますか?");

  const std::string dir = TempFolder() + "oplog_man_delete/";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) WriteBytes(dir + name, 1);
  RefusingFiles ops;
  ops.m_refuse.insert(dir + "b.txt");
  const OpLogDeleteResult result = DeleteOperationLogs(ops, dir, {"a.txt", "b.txt", "c.txt", "gone.txt"});
  EXPECT_EQ(result.deleted, 2);
  EXPECT_EQ(result.failed, 2);  // refused, and one that was not there
  EXPECT_FALSE(FileExists(dir + "a.txt"));
  EXPECT_TRUE(FileExists(dir + "b.txt"));
  EXPECT_FALSE(FileExists(dir + "c.txt"));
  EXPECT_EQ(FormatDeleteFailure(result),
            "2 個を削除しました。2 個は削除できませんでした。\r\n他のソフトで開いたままになっていないか確認してください。");
}

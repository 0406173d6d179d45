#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <random>
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/named_lock.h"
#include "tests/common/folder_checks.h"
#include "tests/common/test_data.h"

TEST(Files, AtomicWriteLeavesTheOldFileWholeOnFailure)
{
  const std::string dir = MakeTempDir("files");
  const std::string path = dir + "solution_EX.IMP";
  ASSERT_TRUE(WriteFileAtomic(path, "old contents"));
  // A write cut short by the file-size limit (which binds root too) fails
  // after the temporary file exists; run it in a child to keep the limit there.
  pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit small{4, 4};
    setrlimit(RLIMIT_FSIZE, &small);
    std::string error;
    bool wrote = WriteFileAtomic(path, "new contents", &error);
    _exit(!wrote && !error.empty() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(Contents(path), "old contents");
  EXPECT_EQ(EntriesIn(dir), 1) << "the temporary file is left behind";
  // A folder where the file should be: the rename fails and says so.
  ASSERT_EQ(mkdir((dir + "folder").c_str(), 0777), 0);
  std::string error;
  EXPECT_FALSE(WriteFileAtomic(dir + "folder", "x", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(EntriesIn(dir), 2);
}

// A block appended whole or not at all: the head only when the call creates
// the file; a block cut short by the file-size limit is taken back (and a
// file the call created removed), so the next block starts on a clean end.
TEST(Files, AppendedBlockIsWholeOrAbsent)
{
  const std::string dir = MakeTempDir("append");
  const std::string path = dir + "log.txt";
  ASSERT_TRUE(AppendFileBlock(path, "H", "one\r\n"));
  ASSERT_TRUE(AppendFileBlock(path, "H", "two\r\n"));
  EXPECT_EQ(Contents(path), "Hone\r\ntwo\r\n");
  pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit small{14, 14};
    setrlimit(RLIMIT_FSIZE, &small);
    std::string error, created;
    const bool cut = !AppendFileBlock(path, "H", "three\r\n", &error) && !error.empty();
    const bool fresh = !AppendFileBlock(dir + "new.txt", "H", std::string(40, 'x'), &created) && !created.empty();
    _exit(cut && fresh ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(Contents(path), "Hone\r\ntwo\r\n");
  EXPECT_EQ(EntriesIn(dir), 1) << "the part-written new file is left behind";
  std::string error;
  EXPECT_FALSE(AppendFileBlock(dir + "missing/log.txt", "H", "x", &error));
  EXPECT_NE(error.find(dir + "missing/log.txt"), std::string::npos) << error;
}

TEST(Files, AtomicWriteKeepsTheUsersTmpFileTheModeAndTheLink)
{
  const std::string dir = MakeTempDir("files");
  const std::string path = dir + "ObsCodes.html";
  ASSERT_TRUE(WriteFileAtomic(path + ".tmp", "the user's own file"));
  ASSERT_TRUE(WriteFileAtomic(path, "one"));
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  const std::string link = dir + "link.html";
  ASSERT_EQ(symlink("ObsCodes.html", link.c_str()), 0);

  ASSERT_TRUE(WriteFileAtomic(link, "two"));
  struct stat st;
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link became a plain file";
  EXPECT_EQ(Contents(path), "two");
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(Contents(path + ".tmp"), "the user's own file");

  // A new file gets the mode that open() would give it under the umask.
  const mode_t mask = umask(027);
  ASSERT_TRUE(WriteFileAtomic(dir + "new.txt", "new"));
  umask(mask);
  ASSERT_EQ(stat((dir + "new.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(Files, TwoWritersOfOnePathEachLeaveAWholeFile)
{
  const std::string dir = MakeTempDir("files");
  const std::string path = dir + "merged.obs";
  const std::string a(300000, 'a'), b(200000, 'b');
  for (int trial = 0; trial < 30; ++trial) {
    bool okA = false, okB = false;
    std::thread ta([&] { okA = WriteFileAtomic(path, a); });
    std::thread tb([&] { okB = WriteFileAtomic(path, b); });
    ta.join();
    tb.join();
    ASSERT_TRUE(okA && okB) << "trial " << trial;
    const std::string got = Contents(path);
    ASSERT_TRUE(got == a || got == b) << "trial " << trial << ": a torn file of " << got.size() << " bytes";
    ASSERT_EQ(EntriesIn(dir), 1) << "trial " << trial;
  }
}

TEST(NamedLock, ASecondHolderWaitsUntilTheTimeOut)
{
  const std::string name = "tsr_test_lock_" + std::to_string(getpid());
  NamedLock first;
  ASSERT_TRUE(first.Acquire(name, 0));
  // flock excludes across open files, so another process is refused.
  pid_t child = fork();
  if (child == 0) {
    NamedLock second;
    _exit(second.Acquire(name, 100) ? 1 : 0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  first.Release();
  NamedLock again;
  EXPECT_TRUE(again.Acquire(name, 100));
}

// A full disk while the station file's backup is copied: the copy goes
// through a temporary file, so the old backup stays whole.
TEST(Files, CopyOntoABackupKeepsTheOldBackupOnAFullDisk)
{
  const std::string dir = MakeTempDir("copy_bak");
  const std::string from = dir + "stations.txt", to = from + ".bak";
  ASSERT_TRUE(WriteFileAtomic(from, std::string(4000, 's')));
  ASSERT_TRUE(WriteFileAtomic(to, "the old backup"));
  pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit small{1000, 1000};
    setrlimit(RLIMIT_FSIZE, &small);
    _exit(CopyWholeFile(from, to) ? 1 : 0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the cut copy reported success";
  EXPECT_EQ(Contents(to), "the old backup");
  EXPECT_EQ(EntriesIn(dir), 2);
  ASSERT_TRUE(CopyWholeFile(from, to));
  EXPECT_EQ(Contents(to), std::string(4000, 's'));
}

namespace {

bool IsTemporaryOf(const std::string& name, const std::string& base)
{
  return name.size() == base.size() + 10 && name.compare(0, base.size() + 4, base + ".tmp") == 0;
}

int TemporariesOf(const std::string& dir, const std::string& base)
{
  int n = 0;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      n += IsTemporaryOf(e->d_name, base);
    closedir(d);
  }
  return n;
}

// Whole blocks only: the head, then blocks each equal to block.
bool ReadsBlockByBlock(const std::string& log, const std::string& head, const std::string& block)
{
  if (log.compare(0, head.size(), head) != 0 || (log.size() - head.size()) % block.size() != 0)
    return false;
  for (size_t at = head.size(); at < log.size(); at += block.size())
    if (log.compare(at, block.size(), block) != 0)
      return false;
  return true;
}

} // namespace

// A writer killed at random moments, 50 times: the file it replaces is always
// one whole version, the next write leaves no temporary beside it, and the
// log it appends to reads block by block once the next start has repaired it
// or the next block is appended.
TEST(Files, KillLoopLeavesNoTornFileNoTemporaryAndWholeBlocks)
{
  const std::string dir = MakeTempDir("kill_loop");
  const std::string target = dir + "solution.IMP", log = dir + "oplog.txt";
  const std::string a(200000, 'a'), b(100000, 'b');
  const std::string head = "\xEF\xBB\xBF";
  std::string block(1024 * 1024 - 2, 'x');
  block += "\r\n";
  std::mt19937 rng(20261211);
  int partial = 0, repairedCut = 0;
  for (int round = 0; round < 50; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const pid_t child = fork();
    if (child == 0) {
      for (unsigned n = 0;; ++n) {
        WriteFileAtomic(target, n % 2 ? a : b);
        AppendFileBlock(log, head, block);
      }
    }
    ASSERT_GT(child, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(2000 + rng() % 30000));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);

    const std::string now = FileExists(target) ? Contents(target) : a;
    ASSERT_TRUE(now == a || now == b) << "a torn file of " << now.size() << " bytes";
    ASSERT_TRUE(WriteFileAtomic(target, a));
    EXPECT_EQ(TemporariesOf(dir, "solution.IMP"), 0);

    const bool cut = FileExists(log) && !ReadsBlockByBlock(Contents(log), head, block);
    partial += cut;
    // The next start repairs a log that is never appended to again (every
    // other cut log here; the rest are repaired by their next append); only
    // a first block cut with its head leaves an empty file (owed its head).
    if (!cut || partial % 2 == 1) {
      RepairUnfinishedAppends(dir);
      const std::string repaired = FileExists(log) ? Contents(log) : std::string();
      ASSERT_TRUE(repaired.empty() || ReadsBlockByBlock(repaired, head, block)) << repaired.size() << " bytes";
      if (FileExists(log)) {
        EXPECT_EQ(FileExists(log + ".append"), repaired.empty());
      }
      repairedCut += cut;
    }
    ASSERT_TRUE(AppendFileBlock(log, head, block));
    ASSERT_TRUE(ReadsBlockByBlock(Contents(log), head, block)) << Contents(log).size() << " bytes";
    EXPECT_FALSE(FileExists(log + ".append"));
    std::remove(log.c_str());  // the next round's writer starts the log afresh
  }
  // The kills must land inside the appends for the loop to test anything.
  EXPECT_GT(partial, 0);
  EXPECT_GT(repairedCut, 0);
}

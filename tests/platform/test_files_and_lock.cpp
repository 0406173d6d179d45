#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/named_lock.h"
#include "tests/common/test_data.h"

TEST(Files, AtomicWriteLeavesTheOldFileWholeOnFailure)
{
  const std::string dir = MakeTempDir("files");
  const std::string path = dir + "solution_EX.IMP";
  ASSERT_TRUE(WriteFileAtomic(path, "old contents"));
  // A folder in the way of the temporary name makes the write fail.
  ASSERT_EQ(mkdir((path + ".tmp").c_str(), 0777), 0);
  std::string error;
  EXPECT_FALSE(WriteFileAtomic(path, "new contents", &error));
  EXPECT_FALSE(error.empty());
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(path, bytes));
  EXPECT_EQ(bytes, "old contents");
  rmdir((path + ".tmp").c_str());
  EXPECT_TRUE(WriteFileAtomic(path, "new contents"));
  ASSERT_TRUE(ReadWholeFile(path, bytes));
  EXPECT_EQ(bytes, "new contents");
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

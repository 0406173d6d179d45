// Copying a folder tree without replacing files, and counting its files.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "data/folder_copy.h"
#include "platform/files.h"
#include "tests/common/test_data.h"

namespace {

std::string Read(const std::string& path)
{
  std::string bytes;
  return ReadWholeFile(path, bytes) ? bytes : "<missing>";
}

TEST(FolderCopy, CopiesOnlyMissingFilesAndNeverFollowsFolderLinks)
{
  const std::string dir = MakeTempDir("foldercopy");
  const std::string src = dir + "src/", dst = dir + "dst/";
  ASSERT_TRUE(CreateFolder(src) && CreateFolder(src + "sub") && CreateFolder(src + "sub/deeper"));
  WriteFileAtomic(src + "a.txt", "new a");
  WriteFileAtomic(src + "b.txt", "new b");
  WriteFileAtomic(src + "sub/c.txt", "new c");
  WriteFileAtomic(src + "sub/deeper/d.bin", std::string(200000, 'd'));
  ASSERT_EQ(symlink(src.c_str(), (src + "sub/loop").c_str()), 0);         // a folder link back up
  ASSERT_EQ(symlink((src + "a.txt").c_str(), (src + "alias.txt").c_str()), 0);  // a file link
  ASSERT_EQ(mkfifo((src + "pipe").c_str(), 0600), 0);                     // neither file nor folder

  EXPECT_EQ(CTessaruneLib::CountFilesInFolder(src), 5);

  // The target already holds two of the files, one of them with other contents.
  ASSERT_TRUE(CreateFolder(dst) && CreateFolder(dst + "sub"));
  WriteFileAtomic(dst + "a.txt", "old a");
  WriteFileAtomic(dst + "sub/c.txt", "old c");

  EXPECT_EQ(CTessaruneLib::CopyFolderNoOverwrite(src, dst), 3);
  EXPECT_EQ(Read(dst + "a.txt"), "old a");
  EXPECT_EQ(Read(dst + "sub/c.txt"), "old c");
  EXPECT_EQ(Read(dst + "b.txt"), "new b");
  EXPECT_EQ(Read(dst + "alias.txt"), "new a");
  EXPECT_EQ(Read(dst + "sub/deeper/d.bin"), std::string(200000, 'd'));
  struct stat st {};
  EXPECT_NE(lstat((dst + "sub/loop").c_str(), &st), 0);
  EXPECT_NE(lstat((dst + "pipe").c_str(), &st), 0);
  EXPECT_EQ(CTessaruneLib::CountFilesInFolder(dst), 5);

  // A second copy finds everything there.
  EXPECT_EQ(CTessaruneLib::CopyFolderNoOverwrite(src, dst), 0);
}

TEST(FolderCopy, TargetInsideTheSourceIsNotCopiedIntoItself)
{
  const std::string dir = MakeTempDir("foldercopy_in");
  WriteFileAtomic(dir + "f.txt", "f");
  ASSERT_TRUE(CreateFolder(dir + "old"));
  WriteFileAtomic(dir + "old/g.txt", "g");
  EXPECT_EQ(CTessaruneLib::CopyFolderNoOverwrite(dir, dir + "new"), 2);
  EXPECT_EQ(Read(dir + "new/f.txt"), "f");
  EXPECT_EQ(Read(dir + "new/old/g.txt"), "g");
  EXPECT_EQ(CTessaruneLib::CountFilesInFolder(dir), 4);
}

TEST(FolderCopy, MissingSourceCopiesNothing)
{
  const std::string dir = MakeTempDir("foldercopy_none");
  EXPECT_EQ(CTessaruneLib::CopyFolderNoOverwrite(dir + "absent", dir + "t"), 0);
  EXPECT_EQ(CTessaruneLib::CountFilesInFolder(dir + "absent"), 0);
}

} // namespace

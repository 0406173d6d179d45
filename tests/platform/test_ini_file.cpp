#include <gtest/gtest.h>

#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "tests/common/test_data.h"

namespace {

std::string WriteText(const std::string& dir, const std::string& text)
{
  const std::string path = dir + "Tessarune.INI";
  EXPECT_TRUE(WriteFileAtomic(path, text));
  return path;
}

std::string ReadText(const std::string& path)
{
  std::string s;
  ReadWholeFile(path, s);
  return s;
}

} // namespace

TEST(IniFile, ReadsAsTheWindowsProfileFunctionsDo)
{
  const std::string dir = MakeTempDir("ini");
  IniFile ini(WriteText(dir, "[System]\r\n"
                             "  ObsLat = 35.5  \r\n"
                             "QUOTED=\"  spaced  \"\r\n"
                             "single='x'\r\n"
                             "half=\"open\n"
                             "empty=\r\n"
                             "neg=-120\r\n"
                             "junk=12abc\r\n"
                             "text=abc\r\n"
                             "[OTHER]\r\n"
                             "obslat=1\r\n"));
  struct Case {
    const char* section;
    const char* key;
    const char* expected;
  } cases[] = {
      {"SYSTEM", "OBSLAT", "35.5"},        // case of section and key ignored, value trimmed
      {"system", "quoted", "  spaced  "},  // one pair of enclosing quotes removed
      {"SYSTEM", "SINGLE", "x"},
      {"SYSTEM", "HALF", "\"open"},        // unmatched quote kept
      {"SYSTEM", "EMPTY", ""},
      {"SYSTEM", "MISSING", "def"},        // default when absent
      {"NOSECTION", "OBSLAT", "def"},
      {"OTHER", "OBSLAT", "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.section) + "/" + c.key);
    EXPECT_EQ(ini.GetString(c.section, c.key, "def"), c.expected);
  }
  EXPECT_EQ(ini.GetString("SYSTEM", "MISSING", "def   "), "def");  // trailing blanks of a default cut
  EXPECT_EQ(ini.GetInt("SYSTEM", "NEG", 7), -120);
  EXPECT_EQ(ini.GetInt("SYSTEM", "JUNK", 7), 12);
  EXPECT_EQ(ini.GetInt("SYSTEM", "TEXT", 7), 0);
  EXPECT_EQ(ini.GetInt("SYSTEM", "EMPTY", 7), 7);
  EXPECT_EQ(ini.GetInt("SYSTEM", "MISSING", -30000), -30000);
}

TEST(IniFile, MissingFileReadsDefaultsAndFirstWriteCreatesIt)
{
  const std::string dir = MakeTempDir("ini");
  IniFile ini(dir + "Tessarune.INI");
  EXPECT_EQ(ini.GetString("SYSTEM", "SIGNATURE", "x"), "x");
  EXPECT_EQ(ini.GetInt("SYSTEM", "MAINWND_W", 0), 0);
  ASSERT_TRUE(ini.WriteString("SYSTEM", "SIGNATURE", "T. Tester"));
  EXPECT_EQ(ReadText(ini.Path()), "[SYSTEM]\r\nSIGNATURE=T. Tester\r\n");

  IniFile nowhere(dir + "no/such/folder/Tessarune.INI");
  EXPECT_FALSE(nowhere.WriteString("SYSTEM", "A", "1"));
}

TEST(IniFile, WritesReplaceDeleteAndKeepTheRest)
{
  const std::string dir = MakeTempDir("ini");
  IniFile ini(WriteText(dir, "; comment\r\n[SYSTEM]\r\nA=1\r\nb=2\r\n\r\n[ELMMEMO1]\r\nA=memo\r\n"));
  ASSERT_TRUE(ini.WriteString("system", "B", "two"));   // replaced in place, key spelling of the write
  ASSERT_TRUE(ini.WriteString("SYSTEM", "C", "3"));     // appended after the section's last entry
  ASSERT_TRUE(ini.WriteString("SYSTEM", "A", nullptr)); // null value deletes
  ASSERT_TRUE(ini.WriteInt("NEW", "N", -5));
  EXPECT_EQ(ReadText(ini.Path()),
            "; comment\r\n[SYSTEM]\r\nB=two\r\nC=3\r\n\r\n[ELMMEMO1]\r\nA=memo\r\n[NEW]\r\nN=-5\r\n");
  ASSERT_TRUE(ini.WriteString("ELMMEMO1", nullptr, nullptr));  // null key deletes the section
  EXPECT_EQ(ini.GetString("ELMMEMO1", "A"), "");
  EXPECT_EQ(ini.GetString("SYSTEM", "C"), "3");
  EXPECT_TRUE(ini.WriteString("ABSENT", "X", nullptr));       // deleting nothing succeeds
}

TEST(IniFile, ReadsLfOnlyAndUtf16Files)
{
  const std::string dir = MakeTempDir("ini");
  IniFile lf(WriteText(dir, "[SYSTEM]\nSIGNATURE=山田\n"));
  EXPECT_EQ(lf.GetString("SYSTEM", "SIGNATURE"), "山田");

  std::string utf16;
  // A settings file saved as UTF-16 by a Windows editor.
  ASSERT_TRUE(Utf8ToUtf16Le("[SYSTEM]\r\nOBSTZ=9.5\r\n", utf16, true));
  IniFile wide(WriteText(MakeTempDir("ini"), utf16));
  EXPECT_EQ(wide.GetString("SYSTEM", "OBSTZ"), "9.5");
}

// A file that begins with two byte-order marks (saved twice by an editor that
// adds one) keeps its first section: its keys read, and a write replaces the
// key in place instead of appending a second [SYSTEM] that is never read.
TEST(IniFile, RepeatedByteOrderMarksHideNothing)
{
  std::string utf16;
  ASSERT_TRUE(Utf8ToUtf16Le("\xEF\xBB\xBF[SYSTEM]\r\nDE441FILE=/x/de441.bin\r\n", utf16, true));  // FF FE FF FE
  const std::pair<const char*, std::string> files[] = {
      {"UTF-8", "\xEF\xBB\xBF\xEF\xBB\xBF[SYSTEM]\r\nDE441FILE=/x/de441.bin\r\n"},  // the fuzzed settings file
      {"UTF-8, three marks", "\xEF\xBB\xBF\xEF\xBB\xBF\xEF\xBB\xBF[SYSTEM]\r\nDE441FILE=/x/de441.bin\r\n"},
      {"UTF-16", utf16},
  };
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    IniFile ini(WriteText(MakeTempDir("ini"), bytes));
    EXPECT_EQ(ini.GetString("SYSTEM", "DE441FILE"), "/x/de441.bin");
    ASSERT_TRUE(ini.WriteString("SYSTEM", "DE441FILE", "/y/de441.bin"));
    EXPECT_EQ(ini.GetString("SYSTEM", "DE441FILE"), "/y/de441.bin");
    EXPECT_EQ(ReadText(ini.Path()), "[SYSTEM]\r\nDE441FILE=/y/de441.bin\r\n");
  }
}

TEST(IniFile, AnUndecodableFileIsNeverReplacedByAWrite)
{
  // A Latin-1 byte followed by a line end is neither UTF-8 nor code page 932.
  const std::string original = "[SYSTEM]\r\nOBSFOLDER=/home/caf\xE9\r\nOBSLAT=35.5\r\n";
  IniFile ini(WriteText(MakeTempDir("ini"), original));
  EXPECT_EQ(ini.GetString("SYSTEM", "OBSLAT", "35.7"), "35.7");
  EXPECT_FALSE(ini.WriteString("SYSTEM", "OBSTZ", "9.00"));
  EXPECT_EQ(ReadText(ini.Path()), original);
}

// Two processes writing distinct keys at once: every write is a whole
// read-modify-write under the file's lock, so no key of either is lost.
TEST(IniFile, TwoWriterProcessesKeepEveryKey)
{
  const std::string path = MakeTempDir("ini_writers") + "Tessarune.INI";
  constexpr int kWrites = 300;
  pid_t writers[2];
  for (int w = 0; w < 2; ++w) {
    writers[w] = fork();
    if (writers[w] == 0) {
      IniFile ini(path);
      bool ok = true;
      for (int i = 0; i < kWrites; ++i)
        ok = ini.WriteInt("SYSTEM", std::string(1, static_cast<char>('A' + w)) + std::to_string(i), i) && ok;
      _exit(ok ? 0 : 1);
    }
    ASSERT_GT(writers[w], 0);
  }
  for (pid_t p : writers) {
    int status = 0;
    waitpid(p, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  IniFile ini(path);
  int lost = 0;
  for (char w : {'A', 'B'})
    for (int i = 0; i < kWrites; ++i)
      lost += ini.GetInt("SYSTEM", std::string(1, w) + std::to_string(i), -1) != i;
  EXPECT_EQ(lost, 0) << "of " << 2 * kWrites << " keys";
}

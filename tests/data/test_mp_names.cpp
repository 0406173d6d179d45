#include "data/mp_names.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/ui_services.h"
#include "tests/common/test_data.h"

namespace {

namespace fs = std::filesystem;

// An MPCORB-like line: elements up to column 166, then the readable
// designation from column 167 padded to 194, then the rest.
std::string CatalogueLine(const std::string& designation)
{
  std::string line(166, '0');
  line += designation;
  line.resize(194, ' ');
  return line + "20190915\r\n";
}

class MpNamesIndex : public ::testing::Test {
protected:
  void SetUp() override
  {
    m_savedDataDir = TheApp().m_szDataDir;
    m_savedProfile = TheApp().m_profile.Path();
    m_dir = MakeTempDir("mpnames");
    TheApp().m_szDataDir = m_dir;
    TheApp().m_profile.SetPath(m_dir + "Tessarune.INI");
    g_mapMpNames.clear();
    g_bMpNamesLoaded = 0;
    g_bMpNamesRebuildTried = 0;
  }
  void TearDown() override
  {
    TheApp().m_szDataDir = m_savedDataDir;
    TheApp().m_profile.SetPath(m_savedProfile);
    g_mapMpNames.clear();
    g_bMpNamesLoaded = 0;
    g_bMpNamesRebuildTried = 0;
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }

  std::string Catalogue() const { return m_dir + "MPCORB.DAT"; }
  std::string Index() const { return m_dir + "MpNames.txt"; }
  static void Age(const std::string& path, int hours)
  {
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(hours));
  }
  static std::string Read(const std::string& path)
  {
    std::string s;
    ReadWholeFile(path, s);
    return s;
  }

  std::string m_dir, m_savedDataDir, m_savedProfile;
  HeadlessUiServices m_ui;
  ScopedUi m_scope{m_ui};
};

TEST_F(MpNamesIndex, CataloguePath)
{
  std::string path;
  GetMpcorbPath(path);
  EXPECT_EQ(path, m_dir + "MPCORB.DAT");
  TheApp().m_profile.WriteString("SYSTEM", "WHOIS_MPCORB", "  /data/mpc/MPCORB.DAT  ");
  GetMpcorbPath(path);
  EXPECT_EQ(path, "/data/mpc/MPCORB.DAT");
}

TEST_F(MpNamesIndex, BuildKeepsNamedNumberedObjectsOnly)
{
  std::string exactly166(166, '0');
  std::string short180(166, '0');
  short180 += "(5) Astraea  ";  // with the x below, 180 characters: the last 14 are the field
  short180 += 'x';
  const std::string catalogue = CatalogueLine("(1) Ceres") + CatalogueLine("(12345) 1993 FS1") +
                                CatalogueLine("2019 AB") + CatalogueLine("(433)  Eros ") +
                                CatalogueLine("() Nobody") + CatalogueLine("(2309) Mr. Spock") + exactly166 + "\n" +
                                short180 + "\n" + exactly166.substr(0, 160) + "(7) Iris\n";
  ASSERT_TRUE(WriteFileAtomic(Catalogue(), catalogue));
  ASSERT_TRUE(BuildMpNamesIndex());
  EXPECT_EQ(Read(Index()), "1 Ceres\n433 Eros\n2309 Mr. Spock\n5 Astraea  x\n");
  EXPECT_FALSE(FileExists(Index() + ".tmp"));
}

TEST_F(MpNamesIndex, LoadTrimsValuesAndSkipsBadLines)
{
  ASSERT_TRUE(WriteFileAtomic(Index(), "433  Eros \r\n 1 Ceres\n\n99999\n2 \n1 Ceres\n1 Ceres again\n"));
  ASSERT_TRUE(LoadMpNames());
  EXPECT_EQ(g_bMpNamesLoaded, 1);
  EXPECT_EQ(g_mapMpNames.size(), 2u);
  EXPECT_EQ(g_mapMpNames["433"], "Eros");
  EXPECT_EQ(g_mapMpNames["1"], "Ceres again");

  ASSERT_TRUE(WriteFileAtomic(Index(), " 1 Ceres\n"));
  EXPECT_FALSE(LoadMpNames());
  EXPECT_EQ(g_bMpNamesLoaded, 0);
  EXPECT_TRUE(g_mapMpNames.empty());
}

TEST_F(MpNamesIndex, EnsureRebuildsAStaleIndexOnceARun)
{
  // An index older than the catalogue is rebuilt.
  ASSERT_TRUE(WriteFileAtomic(Index(), "1 Old\n"));
  Age(Index(), 2);
  ASSERT_TRUE(WriteFileAtomic(Catalogue(), CatalogueLine("(1) Ceres")));
  EXPECT_TRUE(EnsureMpNamesLoaded());
  EXPECT_EQ(g_mapMpNames["1"], "Ceres");
  EXPECT_EQ(g_bMpNamesRebuildTried, 1);
  EXPECT_EQ(TheApp().m_nWaitCursorCount, 0);
  EXPECT_FALSE(m_ui.m_busy);

  // Once loaded, nothing is read again.
  std::filesystem::remove(Index());
  EXPECT_TRUE(EnsureMpNamesLoaded());
}

TEST_F(MpNamesIndex, EmptyIndexCausesOneRebuildOnly)
{
  ASSERT_TRUE(WriteFileAtomic(Catalogue(), CatalogueLine("(12345) 1993 FS1")));
  Age(Catalogue(), 2);
  ASSERT_TRUE(WriteFileAtomic(Index(), ""));
  EXPECT_FALSE(EnsureMpNamesLoaded());
  EXPECT_EQ(g_bMpNamesRebuildTried, 1);

  // The catalogue gains a name, but this run does not try again.
  ASSERT_TRUE(WriteFileAtomic(Catalogue(), CatalogueLine("(1) Ceres")));
  EXPECT_FALSE(EnsureMpNamesLoaded());
  EXPECT_EQ(Read(Index()), "");
}

TEST_F(MpNamesIndex, FailedBuildLeavesTheOldIndex)
{
  ASSERT_TRUE(WriteFileAtomic(Index(), "1 Ceres\n"));
  Age(Index(), 2);
  ASSERT_TRUE(WriteFileAtomic(Catalogue(), CatalogueLine("2019 AB")));
  EXPECT_FALSE(BuildMpNamesIndex());
  EXPECT_EQ(Read(Index()), "1 Ceres\n");
}

TEST_F(MpNamesIndex, WithoutCatalogueAnyIndexIsLoaded)
{
  ASSERT_TRUE(WriteFileAtomic(Index(), "433 Eros\n"));
  Age(Index(), 24 * 365 * 5);
  EXPECT_TRUE(EnsureMpNamesLoaded());
  EXPECT_EQ(g_mapMpNames["433"], "Eros");
  EXPECT_EQ(g_bMpNamesRebuildTried, 0);
}

TEST_F(MpNamesIndex, RealCatalogueExcerpt)
{
  TSR_REQUIRE_DATA(excerpt, "catalogues/skyfield_MPCORB.excerpt.DAT");
  TheApp().m_profile.WriteString("SYSTEM", "WHOIS_MPCORB", excerpt.c_str());
  EXPECT_TRUE(EnsureMpNamesLoaded());
  EXPECT_EQ(Read(Index()), "1 Ceres\n2 Pallas\n3 Juno\n4 Vesta\n");
}

} // namespace

// Where the searches against known objects find their catalogues.
#include <gtest/gtest.h>

#include <filesystem>

#include "neocp/known_catalogues.h"
#include "platform/app_services.h"
#include "tests/common/test_data.h"
#include "tests/data/test_http_server.h"
#include "tests/neocp/scan_fixtures.h"

namespace {

// Data and ephemeris folders and a settings file of the test's own.
struct CatalogueFolders {
  explicit CatalogueFolders(const std::string& tag)
  {
    CTessaruneApp& app = TheApp();
    m_savedData = app.m_szDataDir;
    m_savedEph = app.m_szEphDir;
    m_savedProfile = app.m_profile.Path();
    root = MakeTempDir(tag);
    app.m_szDataDir = root + "data/";
    app.m_szEphDir = root + "eph/";
    std::filesystem::create_directories(app.m_szDataDir);
    std::filesystem::create_directories(app.m_szEphDir);
    app.m_profile.SetPath(app.m_szDataDir + "Tessarune.INI");
  }
  ~CatalogueFolders()
  {
    CTessaruneApp& app = TheApp();
    app.m_szDataDir = m_savedData;
    app.m_szEphDir = m_savedEph;
    app.m_profile.SetPath(m_savedProfile);
  }
  std::string root;

private:
  std::string m_savedData, m_savedEph, m_savedProfile;
};

} // namespace

TEST(KnownCatalogues, MpcorbFromTheSettingThenDataThenEphemerisFolder)
{
  CatalogueFolders f("known_mpcorb");
  CTessaruneApp& app = TheApp();
  const std::string chosen = f.root + "chosen/MPCORB.DAT";
  const std::string data = app.m_szDataDir + "MPCORB.DAT";
  const std::string eph = app.m_szEphDir + "MPCORB.DAT";
  std::filesystem::create_directories(f.root + "chosen");
  struct Case {
    const char* setting;  // "chosen", "missing" or ""
    bool chosenExists, dataExists, ephExists;
    std::string expected;
  };
  const Case cases[] = {
      {"chosen", true, true, true, chosen},   {"  chosen ", true, true, true, chosen},
      {"missing", false, true, true, data},   {"", false, true, true, data},
      {"", false, false, true, eph},          {"chosen", false, false, false, ""},
      {"", false, false, false, ""},
  };
  for (const Case& c : cases) {
    for (const auto& [path, exists] : {std::pair{chosen, c.chosenExists}, std::pair{data, c.dataExists},
                                       std::pair{eph, c.ephExists}}) {
      std::filesystem::remove(path);
      if (exists) WriteFileText(path, "x");
    }
    std::string setting = c.setting;
    if (setting.find("chosen") != std::string::npos) setting.replace(setting.find("chosen"), 6, chosen);
    if (setting == "missing") setting = f.root + "nowhere/MPCORB.DAT";
    app.WriteProfileString(kSettingsSection, "WHOIS_MPCORB", setting.c_str());
    EXPECT_EQ(FindMpcorbFile(), c.expected) << "setting '" << c.setting << "'";
  }
}

TEST(KnownCatalogues, CometListReceivedWhenMissingWithItsNote)
{
  CatalogueFolders f("known_comets");
  const std::string path = TheApp().m_szDataDir + "AllCometEls.txt";
  struct Case {
    bool present;       // the list is there before
    int received;       // what the download answers
    bool writes;        // the download leaves the file
    std::string expectedPath, expectedNote;
    int downloads;
  };
  const Case cases[] = {
      {true, 1, true, path, "", 0},
      {false, 1, true, path, kCometNoteReceived, 1},
      {false, 1, false, "", kCometNoteStillMissing, 1},
      {false, 0, false, "", kCometNoteNotReceived, 1},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(path);
    if (c.present) WriteFileText(path, "x");
    int downloads = 0;
    int cursorDuringDownload = 0;
    std::string note = "old";
    const std::string found = FindCometElementsFile(note, [&] {
      ++downloads;
      cursorDuringDownload = TheApp().m_nWaitCursorCount;
      if (c.writes) WriteFileText(path, "x");
      return c.received;
    });
    EXPECT_EQ(found, c.expectedPath) << c.present << c.received << c.writes;
    EXPECT_EQ(note, c.expectedNote) << c.present << c.received << c.writes;
    EXPECT_EQ(downloads, c.downloads);
    if (downloads) {
      EXPECT_GT(cursorDuringDownload, 0);
    }
    EXPECT_EQ(TheApp().m_nWaitCursorCount, 0);
  }

  // The real receiver against a list that isn't served.
  LocalHttpServer server(f.root);
  ASSERT_TRUE(server.Running());
  std::filesystem::remove(path);
  TheApp().WriteProfileString(kSettingsSection, "COMETELSURL", server.Url("/files/AllCometEls.txt").c_str());
  std::string note;
  EXPECT_EQ(FindCometElementsFile(note), "");
  EXPECT_EQ(note, kCometNoteNotReceived);
}

#include <gtest/gtest.h>

#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/nongrav_settings.h"
#include "platform/ui_services.h"
#include "tests/common/folder_checks.h"
#include "tests/common/test_data.h"

namespace {

// A fake machine: an executable folder, a home with Documents and local data.
struct FakeMachine {
  std::string root = MakeTempDir("layout");
  std::string exeDir = root + "opt/tessarune/x64/Release/";
  std::string local = root + "home/.local/share/";
  std::string docs = root + "home/Documents/";

  FakeMachine()
  {
    CreateFolder(root + "opt");
    CreateFolder(root + "opt/tessarune");
    CreateFolder(root + "opt/tessarune/x64");
    CreateFolder(exeDir);
  }
  AppEnvironment Env() const { return {exeDir + "tessarune", local, docs}; }
  std::string Base() const { return root + "opt/tessarune/x64/"; }  // Release/ cut
};

void Put(const std::string& path, const std::string& text)
{
  ASSERT_TRUE(WriteFileAtomic(path, text)) << path;
}

} // namespace

TEST(LoadSettings, ChoosesTheLayoutByTheFirstSettingsFileFound)
{
  {
    SCOPED_TRACE("portable: settings beside the executable win");
    FakeMachine m;
    Put(m.Base() + "Tessarune.INI", "[SYSTEM]\r\n");
    std::filesystem::create_directories(m.local + "Tessarune");
    Put(m.local + "Tessarune/Tessarune.INI", "[SYSTEM]\r\n");
    CTessaruneApp app;
    LoadSettings(app, m.Env());
    EXPECT_EQ(app.m_szExeDir, m.Base());
    EXPECT_EQ(app.m_szDataDir, m.Base());
    EXPECT_EQ(app.m_szEphDir, m.Base());
    EXPECT_EQ(app.m_profile.Path(), m.Base() + "Tessarune.INI");
    EXPECT_FALSE(FolderExists(m.docs + "Tessarune"));
  }
  {
    SCOPED_TRACE("local: settings in the local data folder");
    FakeMachine m;
    std::filesystem::create_directories(m.local + "Tessarune");
    Put(m.local + "Tessarune/Tessarune.INI", "[SYSTEM]\r\n");
    CTessaruneApp app;
    LoadSettings(app, m.Env());
    EXPECT_EQ(app.m_szDataDir, m.local + "Tessarune/");
    EXPECT_EQ(app.m_szEphDir, m.local + "Tessarune/");
    EXPECT_FALSE(FolderExists(m.docs + "Tessarune"));
  }
  {
    SCOPED_TRACE("standard: neither exists");
    FakeMachine m;
    CTessaruneApp app;
    LoadSettings(app, m.Env());
    EXPECT_EQ(app.m_szDataDir, m.docs + "Tessarune/");
    EXPECT_EQ(app.m_szEphDir, m.local + "Tessarune/");
    EXPECT_TRUE(FolderExists(m.docs + "Tessarune"));
    EXPECT_TRUE(FolderExists(m.local + "Tessarune"));
    EXPECT_EQ(app.m_profile.Path(), m.docs + "Tessarune/Tessarune.INI");
    EXPECT_FALSE(FileExists(app.m_profile.Path()));  // created by the first write
  }
}

TEST(LoadSettings, CutsAFinalBuildFolderInAnyCase)
{
  struct Case {
    const char* exe;
    const char* dir;
  } cases[] = {
      {"/opt/t/x64/Release/tessarune", "/opt/t/x64/"},
      {"/opt/t/debug/tessarune", "/opt/t/"},
      {"/opt/t/RELEASE/tessarune", "/opt/t/"},
      {"/opt/t/bin/tessarune", "/opt/t/bin/"},
      {"/opt/t/mydebug/tessarune", "/opt/t/mydebug/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exe);
    CTessaruneApp app;
    // A local data folder that cannot be created keeps the test off the disk.
    LoadSettings(app, {c.exe, "/proc/none/", "/proc/none/"});
    EXPECT_EQ(app.m_szExeDir, c.dir);
  }
}

TEST(LoadSettings, DefaultsOfEveryKey)
{
  FakeMachine m;
  SetCo2ScaleDistance(50);
  SetNonGravDt(3);
  CTessaruneApp app;
  LoadSettings(app, m.Env());
  const std::string data = m.docs + "Tessarune/";
  const std::string eph = m.local + "Tessarune/";
  EXPECT_EQ(app.m_szDe406File, eph + "de406.win");
  EXPECT_EQ(app.m_szDe441File, eph + "de441.bin");
  EXPECT_EQ(app.m_szObsFolder, data + "obs");
  EXPECT_TRUE(FolderExists(data + "obs"));
  EXPECT_EQ(app.m_szStationsFile, data + "stations.txt");
  EXPECT_EQ(g_dCo2R0, 10.8);
  EXPECT_EQ(g_dNonGravDt, 0.0);
  EXPECT_EQ(app.m_dObsLat, 35.7);
  EXPECT_EQ(app.m_dObsLon, 139.7);
  EXPECT_EQ(app.m_dObsTz, 9.0);
  EXPECT_EQ(app.m_szSignature, "");
  EXPECT_EQ(app.m_szDe406FtpServer, kDefaultDe406FtpServer);
  EXPECT_EQ(app.m_szDe406FtpPath, "pub/eph/export/unix/");
}

TEST(LoadSettings, KeysAreNormalisedAsRead)
{
  FakeMachine m;
  const std::string moved = m.root + "moved";
  const std::string ephMoved = m.root + "eph";
  Put(m.Base() + "stations.txt", "G96  249.2108 0.845113 +0.533614 Mt. Lemmon Survey\r\n");
  Put(m.Base() + "Tessarune.INI",
      "[SYSTEM]\r\nDATADIR=" + moved + "\r\nEPHDIR=" + ephMoved + "/\r\nNGDT=-400\r\nCO2R0=0.5\r\n"
      "OBSLAT=garbage\r\nSIGNATURE=ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n");
  CTessaruneApp app;
  LoadSettings(app, m.Env());
  EXPECT_EQ(app.m_szDataDir, moved + "/");           // "/" appended, folder created
  EXPECT_TRUE(FolderExists(moved));
  EXPECT_EQ(app.m_szEphDir, ephMoved + "/");
  EXPECT_EQ(app.m_profile.Path(), m.Base() + "Tessarune.INI");  // the settings file stays
  EXPECT_EQ(app.m_szDe441File, ephMoved + "/de441.bin");        // defaults follow the moved folders
  EXPECT_EQ(app.m_szStationsFile, moved + "/stations.txt");
  EXPECT_TRUE(FileExists(app.m_szStationsFile));                // copied from beside the executable
  EXPECT_EQ(g_dNonGravDt, -400.0);
  EXPECT_EQ(g_dCo2R0, 10.8);
  EXPECT_EQ(app.m_dObsLat, 0.0);  // the standard conversion of text that is no number
  EXPECT_EQ(app.m_szSignature, "ABCDEFGHIJKLMNOPQRST");

  struct Case {
    double ngdt, keptNgdt, co2, keptCo2;
  } cases[] = {{500, 0, 200, 200}, {400, 400, 1, 1}, {-400.5, 0, 250, 10.8}, {12.5, 12.5, 0.99, 10.8}};
  for (const Case& c : cases) {
    SetNonGravDt(c.ngdt);
    SetCo2ScaleDistance(c.co2);
    EXPECT_EQ(g_dNonGravDt, c.keptNgdt);
    EXPECT_EQ(g_dCo2R0, c.keptCo2);
  }
  SetCo2ScaleDistance(10.8);
  EXPECT_NEAR(g_dCo2Norm * std::pow(1.0 / g_dCo2R0, -2.15) * std::pow(1 + std::pow(1.0 / g_dCo2R0, 5.093), -4.6142),
              1.0, 1e-12);  // g(1 AU) = 1
  SetNonGravDt(0);
}

TEST(CommandLine, SwitchesAsTheUserTypesThem)
{
  struct Case {
    const char* name;
    std::vector<const char*> args;
    int developer, scan, exit, parallel;
    std::vector<std::string> files;
    std::string worker;
  } cases[] = {
      {"scan count and developer anywhere", {"-NEOCPSCAN=5", "/dev"}, 1, 5, 0, 0, {}, ""},
      {"bare scan asks for all", {"neocpscan"}, 0, -1, 0, 0, {}, ""},
      {"scan=0 asks for all", {"-neocpscan=0"}, 0, -1, 0, 0, {}, ""},
      {"worker needs developer mode", {"-neocpworker=/tmp/job.txt"}, 0, 0, 0, 0, {}, ""},
      {"worker", {"-neocpworker=/tmp/job.txt", "-developer"}, 1, -1, 0, 0, {}, "/tmp/job.txt"},
      {"files in order ask for all", {"-neocpfile=a.obs", "-neocpfile=B.obs", "-neocpfile="}, 0, -1, 0, 0,
       {"a.obs", "B.obs"}, ""},
      {"parallel and exit", {"-neocppar=4", "-NeocpExit", "-neocppar"}, 0, 0, 1, 4, {}, ""},
      {"parallel without a count", {"-neocppar="}, 0, 0, 0, 0, {}, ""},
      {"parallel reads digits", {"-neocppar=3x"}, 0, 0, 0, 3, {}, ""},
      {"ninth argument ignored", {"a", "b", "c", "d", "e", "f", "g", "h", "-dev"}, 0, 0, 0, 0, {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<const char*> argv{"tessarune"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    CMyAppCommandLineInfo info;
    info.ParseArguments(static_cast<int>(argv.size()), argv.data());
    CTessaruneApp app;
    InterpretCommandLine(app, info);
    EXPECT_EQ(app.m_bDeveloper, c.developer);
    EXPECT_EQ(app.m_nNeocpScan, c.scan);
    EXPECT_EQ(app.m_bNeocpExit, c.exit);
    EXPECT_EQ(app.m_nNeocpParallel, c.parallel);
    EXPECT_EQ(app.m_astrNeocpFiles, c.files);
    EXPECT_EQ(app.m_strNeocpWorker, c.worker);
  }
}

TEST(CommandLine, LongArgumentsAreCutTo1023Characters)
{
  const std::string path = "neocpfile=" + std::string(2000, 'p');
  const std::string kana = std::string(1022, 'k') + "ｶﾅ";
  const char* argv[] = {"tessarune", path.c_str(), kana.c_str()};
  CMyAppCommandLineInfo info;
  info.ParseArguments(3, argv);
  ASSERT_EQ(info.m_nParams, 2);
  EXPECT_EQ(info.m_aszParams[0].size(), 1023u);
  EXPECT_EQ(info.m_aszParams[1], std::string(1022, 'k') + "ｶ");  // never cut inside a character
}

TEST(AppServices, WorkerModeWritesNothingAndReportsSuccess)
{
  const std::string dir = MakeTempDir("worker");
  CTessaruneApp app;
  app.m_profile.SetPath(dir + "Tessarune.INI");
  app.m_strNeocpWorker = "job.txt";
  EXPECT_TRUE(app.WriteProfileInt("SYSTEM", "MAINWND_X", 10));
  EXPECT_TRUE(app.WriteProfileString("SYSTEM", "SIGNATURE", "x"));
  EXPECT_TRUE(app.WriteProfileString("SYSTEM", "SIGNATURE", nullptr));
  EXPECT_FALSE(FileExists(dir + "Tessarune.INI"));

  app.m_strNeocpWorker.clear();
  EXPECT_TRUE(app.WriteProfileInt("SYSTEM", "MAINWND_X", -10));
  EXPECT_EQ(app.GetProfileInt("SYSTEM", "MAINWND_X", -30000), -10);
}

TEST(AppServices, WaitCursorNestsUntilTheOutermostEnd)
{
  HeadlessUiServices ui;
  ScopedUi scope(ui);
  CTessaruneApp app;
  app.DoWaitCursor(1);
  app.DoWaitCursor(1);
  app.DoWaitCursor(-1);
  EXPECT_TRUE(ui.m_busy);
  app.DoWaitCursor(-1);
  EXPECT_FALSE(ui.m_busy);
  app.DoWaitCursor(-1);  // an unmatched end resets the count to 0
  EXPECT_EQ(app.m_nWaitCursorCount, 0);
  app.DoWaitCursor(1);
  EXPECT_TRUE(ui.m_busy);
}

// A settings file that cannot be written is told once (a warning naming the
// file), however many writes fail after it; each write still answers false.
TEST(Settings, FailedWriteIsToldOnce)
{
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  CTessaruneApp app;
  const std::string path = MakeTempDir("settings_unwritable") + "missing/Tessarune.INI";
  app.m_profile.SetPath(path);
  EXPECT_FALSE(app.WriteProfileInt("SYSTEM", "OBSLAT", 35));
  EXPECT_FALSE(app.WriteProfileString("SYSTEM", "SIGNATURE", "x"));
  ASSERT_EQ(ui.m_messages.size(), 1u);
  EXPECT_EQ(ui.m_messages[0].icon, MsgIcon::Warning);
  EXPECT_NE(ui.m_messages[0].text.find("設定ファイルに書き込めませんでした。"), std::string::npos);
  EXPECT_NE(ui.m_messages[0].text.find(path), std::string::npos) << ui.m_messages[0].text;
}

// At start-up the settings file's temporaries left by killed writers go; one
// a live writer holds (locked), the user's own ".tmp" file and names that
// only look alike stay.
TEST(LoadSettings, RemovesTheSettingsFilesStaleTemporaries)
{
  FakeMachine m;
  const std::string ini = m.Base() + "Tessarune.INI";
  Put(ini, "[SYSTEM]\r\n");
  for (const char* name : {".tmpAb12Cd", ".tmpLive01", ".tmp", ".tmpAb12", ".tmpAb12Cd.old"})
    Put(ini + name, "[SYSTEM]\r\nHALF=");
  const int live = open((ini + ".tmpLive01").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(live, 0);
  ASSERT_EQ(flock(live, LOCK_EX), 0);
  CTessaruneApp app;
  LoadSettings(app, m.Env());
  close(live);
  EXPECT_FALSE(FileExists(ini + ".tmpAb12Cd"));
  for (const char* name : {".tmpLive01", ".tmp", ".tmpAb12", ".tmpAb12Cd.old"})
    EXPECT_TRUE(FileExists(ini + name)) << name;
  EXPECT_TRUE(FileExists(ini));
}

// At start-up an operation log whose writer was killed inside a block loses
// the part block (it is never appended to again); a file without a note of
// an unfinished block stays as it is, whatever its end, and so do a user's
// file and its companion that only looks like a note.
TEST(LoadSettings, CutsThePartBlockOfAKilledLogsWriter)
{
  FakeMachine m;
  Put(m.Base() + "Tessarune.INI", "[SYSTEM]\r\n");
  const std::string log = m.Base() + "Tessarune_OpLog_20261211_101500.txt";
  const std::string plain = m.Base() + "notes.txt";
  Put(log, "\xEF\xBB\xBF" "one\r\ntw");
  Put(log + ".append", "8 13 0\n");
  Put(plain, "one\r\ntw");
  Put(m.Base() + "mine.txt", "kept");
  Put(m.Base() + "mine.txt.append", "my own notes");
  CTessaruneApp app;
  LoadSettings(app, m.Env());
  EXPECT_EQ(Contents(log), "\xEF\xBB\xBF" "one\r\n");
  EXPECT_FALSE(FileExists(log + ".append"));
  EXPECT_EQ(Contents(plain), "one\r\ntw");
  EXPECT_EQ(Contents(m.Base() + "mine.txt"), "kept");
  EXPECT_EQ(Contents(m.Base() + "mine.txt.append"), "my own notes");
}

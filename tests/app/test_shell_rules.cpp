#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "app/command_routing.h"
#include "app/cpu_selection.h"
#include "app/version_info.h"
#include "app/window_positions.h"
#include "determination/oplog_cleanup.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "resources/app_resource_ids.h"
#include "tests/common/test_data.h"

namespace {

void Put(const std::string& path, const std::string& bytes)
{
  ASSERT_TRUE(WriteFileAtomic(path, bytes)) << path;
}

// An application object whose settings file lives in a fresh folder.
struct TempSettings {
  std::string dir = MakeTempDir("shell");
  CTessaruneApp app;
  TempSettings() { app.m_profile.SetPath(dir + "Tessarune.INI"); app.m_szDataDir = dir; }
  bool Has(const char* key) const { return app.GetProfileString(kSettingsSection, key, "<none>") != "<none>"; }
};

} // namespace

TEST(OperationLogCleanUp, DeletesOnlyReadableSmallLogsWithoutACalculation)
{
  const std::string dir = MakeTempDir("oplog");
  const std::string marker(kOpLogCalcMarker);
  ASSERT_EQ(marker.size(), 24u);
  struct Case {
    const char* name;
    std::string bytes;
    bool deleted;
  };
  const Case cases[] = {
      {"Tessarune_OpLog_20260101_000001.txt", std::string(30, 'a'), true},
      {"Tessarune_OpLog_20260101_000002.txt", std::string(), true},
      {"Tessarune_OpLog_20260101_000003.txt", std::string(80000, 'a'), false},
      {"Tessarune_OpLog_20260101_000004.txt", std::string(100, 'a') + marker, false},  // marker ends the file
      {"Tessarune_OpLog_20260101_000005.txt", "[x] " + marker + "\r\nmore", false},
      {"Tessarune_OpLog_20260101_000006.txt", std::string(65536 - 24, 'a') + marker, false},  // the largest read
      {"Tessarune_OpLog_20260101_000007.txt", std::string(65537, 'a'), false},  // too large to read
      {"Tessarune_OpLog_20260101_000008.txt", marker.substr(0, 23), true},      // cut marker
      {"Other_20260101.txt", std::string(30, 'a'), false},
      {"Tessarune_OpLog_20260101_000009.log", std::string(30, 'a'), false},
  };
  for (const Case& c : cases)
    Put(dir + c.name, c.bytes);
  CreateFolder(dir + "Tessarune_OpLog_folder.txt");

  int expected = 0;
  for (const Case& c : cases)
    expected += c.deleted ? 1 : 0;
  EXPECT_EQ(CleanUpOperationLogs(dir), expected);
  for (const Case& c : cases)
    EXPECT_EQ(FileExists(dir + c.name), !c.deleted) << c.name;
  EXPECT_TRUE(FolderExists(dir + "Tessarune_OpLog_folder.txt"));
}

TEST(WindowPositions, ResetDeletesEveryPlaceAndNothingElse)
{
  static const char* kPlaces[] = {
      "MAINWND_X",   "MAINWND_Y",  "MAINWND_W",         "MAINWND_H",         "MAINWND_MAX",       "GLOBEDLG_X",
      "GLOBEDLG_Y",  "ORBITVIEW_X", "ORBITVIEW_Y",      "MAGCURVE_X",        "MAGCURVE_Y",        "VISIBILITYCHART_X",
      "VISIBILITYCHART_Y", "VISIBILITYCHART_W", "VISIBILITYCHART_H", "OBSSPLIT", "OBSCOL0", "OBSCOL15",
  };
  static const char* kKept[] = {"OBSCOL16", "OBSLAT", "VISIBILITYCHART_PALETTE", "GLOBEEXPORTTYPE"};
  {
    SCOPED_TRACE("normal mode");
    TempSettings s;
    for (const char* k : kPlaces)
      s.app.WriteProfileString(kSettingsSection, k, "5");
    for (const char* k : kKept)
      s.app.WriteProfileString(kSettingsSection, k, "5");
    ResetStoredWindowPositions(s.app);
    for (const char* k : kPlaces)
      EXPECT_FALSE(s.Has(k)) << k;
    for (const char* k : kKept)
      EXPECT_TRUE(s.Has(k)) << k;
  }
  {
    SCOPED_TRACE("worker mode writes nothing");
    TempSettings s;
    s.app.WriteProfileString(kSettingsSection, "MAINWND_X", "5");
    s.app.m_strNeocpWorker = "job.txt";
    ResetStoredWindowPositions(s.app);
    WriteMainWindowPlacement(s.app, {1, 2, 800, 600}, true);
    EXPECT_EQ(s.app.GetProfileString(kSettingsSection, "MAINWND_X"), "5");
    EXPECT_FALSE(s.Has("MAINWND_W"));
  }
}

TEST(WindowPositions, CloseWritesPlacementAndToolWindowCorners)
{
  TempSettings s;
  WriteMainWindowPlacement(s.app, {-8, 12, 1000, 700}, true);
  WriteToolWindowPosition(s.app, "GLOBEDLG", -1200, 40);
  EXPECT_EQ(s.app.GetProfileInt(kSettingsSection, "MAINWND_X", 0), -8);
  EXPECT_EQ(s.app.GetProfileInt(kSettingsSection, "MAINWND_Y", 0), 12);
  EXPECT_EQ(s.app.GetProfileInt(kSettingsSection, "MAINWND_W", 0), 1000);
  EXPECT_EQ(s.app.GetProfileInt(kSettingsSection, "MAINWND_H", 0), 700);
  EXPECT_EQ(s.app.GetProfileInt(kSettingsSection, "MAINWND_MAX", 0), 1);
  EXPECT_EQ(s.app.GetProfileString(kSettingsSection, "GLOBEDLG_X"), "-1200");
  EXPECT_EQ(s.app.GetProfileString(kSettingsSection, "GLOBEDLG_Y"), "40");
}

TEST(WindowPositions, StoredPlacementIsUsedOnlyWhenLargeAndOnScreen)
{
  const PixelRect screens{0, 0, 1920, 1080};
  struct Case {
    const char* name;
    const char* stored;  // settings lines
    std::optional<PixelRect> expected;
  };
  const Case cases[] = {
      {"usable", "MAINWND_X=100\r\nMAINWND_Y=50\r\nMAINWND_W=900\r\nMAINWND_H=600\r\n", PixelRect{100, 50, 900, 600}},
      {"nothing stored", "", std::nullopt},
      {"too narrow", "MAINWND_X=0\r\nMAINWND_Y=0\r\nMAINWND_W=319\r\nMAINWND_H=600\r\n", std::nullopt},
      {"too low", "MAINWND_X=0\r\nMAINWND_Y=0\r\nMAINWND_W=800\r\nMAINWND_H=239\r\n", std::nullopt},
      {"corner unset", "MAINWND_X=-30000\r\nMAINWND_Y=0\r\nMAINWND_W=800\r\nMAINWND_H=600\r\n", std::nullopt},
      {"monitor gone", "MAINWND_X=2500\r\nMAINWND_Y=0\r\nMAINWND_W=800\r\nMAINWND_H=600\r\n", std::nullopt},
      {"119 pixels seen", "MAINWND_X=1801\r\nMAINWND_Y=0\r\nMAINWND_W=800\r\nMAINWND_H=600\r\n", std::nullopt},
      {"120 x 60 seen", "MAINWND_X=1800\r\nMAINWND_Y=1020\r\nMAINWND_W=800\r\nMAINWND_H=600\r\n",
       PixelRect{1800, 1020, 800, 600}},
      {"59 pixels seen", "MAINWND_X=0\r\nMAINWND_Y=-541\r\nMAINWND_W=800\r\nMAINWND_H=600\r\n", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempSettings s;
    Put(s.dir + "Tessarune.INI", std::string("[SYSTEM]\r\n") + c.stored);
    const auto r = StoredMainWindowRect(s.app, screens);
    ASSERT_EQ(r.has_value(), c.expected.has_value());
    if (r) {
      EXPECT_EQ(r->x, c.expected->x);
      EXPECT_EQ(r->y, c.expected->y);
      EXPECT_EQ(r->w, c.expected->w);
      EXPECT_EQ(r->h, c.expected->h);
    }
  }
}

TEST(WindowPositions, ToolWindowCornerOnlyWhenOnTheVirtualScreen)
{
  const PixelRect screens{0, 0, 1920, 1080};
  struct Case {
    const char* stored;
    int x, y;
  } cases[] = {
      {"ORBITVIEW_X=300\r\nORBITVIEW_Y=200\r\n", 300, 200},
      {"ORBITVIEW_X=-10\r\nORBITVIEW_Y=200\r\n", 60, 420},   // left of the screen
      {"ORBITVIEW_X=300\r\nORBITVIEW_Y=1031\r\n", 60, 420},  // within 50 pixels of the bottom
      {"ORBITVIEW_X=1870\r\nORBITVIEW_Y=1030\r\n", 1870, 1030},
      {"ORBITVIEW_X=300\r\n", 60, 420},                        // one of the two missing
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    TempSettings s;
    Put(s.dir + "Tessarune.INI", std::string("[SYSTEM]\r\n") + c.stored);
    const PixelRect r = StoredToolWindowCorner(s.app, "ORBITVIEW", screens, 60, 420);
    EXPECT_EQ(r.x, c.x);
    EXPECT_EQ(r.y, c.y);
  }
}

TEST(WindowPositions, ResetPlacesTheFrameOnFourFifthsOfTheWorkArea)
{
  const PixelRect a = CentredFourFifths({0, 0, 1920, 1080});
  EXPECT_EQ(a.x, 192);
  EXPECT_EQ(a.y, 108);
  EXPECT_EQ(a.w, 1536);
  EXPECT_EQ(a.h, 864);
  // Integer arithmetic on an offset work area with odd sizes.
  const PixelRect b = CentredFourFifths({10, 20, 1001, 767});
  EXPECT_EQ(b.w, 800);
  EXPECT_EQ(b.h, 613);
  EXPECT_EQ(b.x, 110);
  EXPECT_EQ(b.y, 97);
}

TEST(WindowPositions, FirstWindowGrowsToItsViewWithinTheWorkArea)
{
  struct Case {
    const char* name;
    PixelRect window;
    int growW, growH;
    PixelRect work, expected;
  };
  const Case cases[] = {
      {"room enough", {0, 0, 800, 600}, 260, 190, {0, 0, 1600, 1000}, {0, 0, 1060, 790}},
      {"view smaller: never shrinks", {0, 0, 800, 600}, -40, -10, {0, 0, 1600, 1000}, {0, 0, 800, 600}},
      {"larger than the work area: cut to it", {0, 0, 800, 600}, 1000, 700, {0, 24, 1280, 776},
       {0, 24, 1280, 776}},
      {"would stand out on the right and below: moved in", {700, 500, 800, 600}, 200, 100, {0, 0, 1600, 1000},
       {600, 300, 1000, 700}},
      {"above and left of an offset work area: moved in", {0, 0, 800, 600}, 0, 0, {50, 30, 1550, 970},
       {50, 30, 800, 600}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PixelRect r = GrowWithinWorkArea(c.window, c.growW, c.growH, c.work);
    EXPECT_EQ(r.x, c.expected.x);
    EXPECT_EQ(r.y, c.expected.y);
    EXPECT_EQ(r.w, c.expected.w);
    EXPECT_EQ(r.h, c.expected.h);
  }
}

TEST(CommandRouting, FormRuleAndToolRule)
{
  const int formCommands[] = {ID_DETERMINATION, ID_MOVE_EPOCH, ID_EPHEMERIDES, ID_EPH_LIST,
                              ID_WHOIS_OBS,     ID_VAISALA,    ID_CHECKING};
  // No function view visible: every command of the form rule and of the tool rule.
  for (int id : formCommands)
    EXPECT_TRUE(FormRuleEnables(id, std::nullopt)) << id;
  EXPECT_TRUE(ToolRuleEnables(std::nullopt));

  struct Row {
    FunctionView visible;
    int ownCommand;
    bool tools;
  };
  const Row rows[] = {
      {FunctionView::Ephemerides, ID_EPHEMERIDES, true}, {FunctionView::Determination, ID_DETERMINATION, true},
      {FunctionView::Vaisala, ID_VAISALA, false},        {FunctionView::EphList, ID_EPH_LIST, true},
      {FunctionView::MoveEpoch, ID_MOVE_EPOCH, true},    {FunctionView::WhoisObs, ID_WHOIS_OBS, true},
      {FunctionView::Checking, ID_CHECKING, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.ownCommand);
    for (int id : formCommands)
      EXPECT_EQ(FormRuleEnables(id, r.visible), id == r.ownCommand) << id;
    EXPECT_EQ(ToolRuleEnables(r.visible), r.tools);
    EXPECT_EQ(FunctionViewOfCommand(r.ownCommand), r.visible);
  }
  for (int id : {ID_ORBIT_VIEW, ID_GLOBE, ID_MAG_CURVE, ID_VISIBILITY_CHART})
    EXPECT_TRUE(IsToolRuleCommand(id)) << id;
  EXPECT_FALSE(IsToolRuleCommand(ID_SEARCH_RANGE));  // always enabled
  EXPECT_FALSE(FormRuleEnables(ID_SEARCH_RANGE, std::nullopt));
  EXPECT_EQ(TemplateOfFunctionView(FunctionView::Determination), IDR_DETERMINATION);
  EXPECT_EQ(TemplateOfFunctionView(FunctionView::EphList), IDR_EPH_LIST);
}

TEST(CommandRouting, FunctionViewCommandActivatesWaitsOrOpens)
{
  EXPECT_EQ(DecideFunctionViewCommand(false, std::nullopt), FunctionViewAction::OpenNew);
  EXPECT_EQ(DecideFunctionViewCommand(true, FunctionView::Determination), FunctionViewAction::ActivateVisible);
  EXPECT_EQ(DecideFunctionViewCommand(false, FunctionView::Ephemerides), FunctionViewAction::Nothing);
  // Shown behind another function view: still activated.
  EXPECT_EQ(DecideFunctionViewCommand(true, FunctionView::Vaisala), FunctionViewAction::ActivateVisible);
}

TEST(AboutBox, VersionLine)
{
  EXPECT_EQ(FormatVersionLine(ParseVersion("2.0.8.0")), "Tessarune Version 2.0.8");
  EXPECT_EQ(FormatVersionLine(ParseVersion("2.0.8")), "Tessarune Version 2.0.8");
  EXPECT_EQ(FormatVersionLine(ParseVersion("2.1.8.3")), "Tessarune Version 2.1.8 (Build 3)");
  EXPECT_EQ(FormatVersionLine(ParseVersion("3")), "Tessarune Version 3.0.0");
  // The version compiled in is the project's, never the 0.0.0 of an unreadable text.
  EXPECT_GE(CompiledVersion().major, 2);
}

TEST(CpuSelection, KeepsTheCoresOfTheHighestCapacity)
{
  auto machine = [](std::initializer_list<std::pair<int, const char*>> cpus) {
    const std::string root = MakeTempDir("cpus");
    CreateFolder(root + "cpufreq");
    for (const auto& [n, cap] : cpus) {
      const std::string d = root + "cpu" + std::to_string(n) + "/";
      CreateFolder(d);
      if (cap)
        Put(d + "cpu_capacity", cap);
    }
    return root;
  };
  EXPECT_EQ(HighestCapacityCpus(machine({{0, "512\n"}, {1, "1024\n"}, {2, "512\n"}, {3, "1024\n"}})),
            (std::vector<int>{1, 3}));
  EXPECT_TRUE(HighestCapacityCpus(machine({{0, "1024\n"}, {1, "1024\n"}})).empty());  // one class
  EXPECT_TRUE(HighestCapacityCpus(machine({{0, nullptr}, {1, nullptr}})).empty());   // none published
  EXPECT_EQ(HighestCapacityCpus(machine({{0, "300\n"}, {10, "1024\n"}, {2, nullptr}})), (std::vector<int>{10}));
  EXPECT_TRUE(HighestCapacityCpus("/nonexistent/").empty());
}

TEST(StartWithoutDisplay, OneLineAndExitTwoWhetherDisplayIsUnsetOrUnreachable)
{
  const std::string exe = std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/tessarune";
  ASSERT_TRUE(FileExists(exe));
  struct Case {
    const char* display;
    const char* reason;
  };
  // Nothing listens on display 4321; the host name cannot resolve.
  for (const Case& c : {Case{"", "DISPLAY is not set"}, Case{":4321", "DISPLAY=:4321 cannot be opened"},
                        Case{"nohost.invalid:0", "DISPLAY=nohost.invalid:0 cannot be opened"}}) {
    const std::string command = std::string("DISPLAY=") + c.display + " WAYLAND_DISPLAY= '" + exe +
                                "' 2>&1 >/dev/null; echo \"exit $?\"";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buf[256];
    while (size_t n = fread(buf, 1, sizeof buf, pipe))
      out.append(buf, n);
    pclose(pipe);
    EXPECT_EQ(out, std::string("tessarune: no display found (") + c.reason +
                       "); start it on a desktop or under xvfb-run\nexit 2\n")
        << c.display;
  }
}

namespace {

// Runs scripts/prepare-newcomer on a folder with the given data folder; its stdout.
std::string PrepareNewcomer(const std::string& bin, const std::string& data)
{
  const char* src = std::getenv("TSR_SOURCE_DIR");
  const std::string command = "TESSARUNE_TESTDATA='" + data + "' '" + (src ? src : ".") +
                              "/scripts/prepare-newcomer' '" + bin + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  char buf[512];
  while (size_t n = pipe ? fread(buf, 1, sizeof buf, pipe) : 0)
    out.append(buf, n);
  if (pipe)
    pclose(pipe);
  return out;
}

} // namespace

TEST(PrepareNewcomer, PreparesWheneverTheDataIsThereAndSaysWhyWhenNot)
{
  const std::string root = MakeTempDir("newcomer");
  const std::string data = root + "data";
  std::filesystem::create_directories(data + "/de");
  std::filesystem::create_directories(data + "/obscodes");
  Put(data + "/de/lnxp1960p2060.405", "planetary");
  Put(data + "/obscodes/ObsCodes.html", "<pre>\nCode  Long.\n000   0.0000\n</pre>\n");

  // No data folder: nothing made, one line naming the folder and the variable.
  std::string out = PrepareNewcomer(root + "bin", root + "none");
  EXPECT_EQ(out, "prepare-newcomer: no shared data at " + root +
                     "none (set TESSARUNE_TESTDATA to the shared data folder); the settings stay in the home folder\n");
  EXPECT_FALSE(FileExists(root + "bin/Tessarune.INI"));

  // Data and no portable folder: both planetary paths on the DE405 file, the station list cut out.
  out = PrepareNewcomer(root + "bin", data);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
  EXPECT_EQ(out.rfind("prepare-newcomer: prepared the portable data folder ", 0), 0u) << out;
  CTessaruneApp app;
  app.m_profile.SetPath(root + "bin/Tessarune.INI");
  const std::string de = std::filesystem::canonical(data + "/de/lnxp1960p2060.405").string();
  EXPECT_EQ(app.GetProfileString(kSettingsSection, "DE441FILE"), de);
  EXPECT_EQ(app.GetProfileString(kSettingsSection, "DE406FILE"), de);
  std::string stations;
  ASSERT_TRUE(ReadWholeFile(root + "bin/stations.txt", stations));
  EXPECT_EQ(stations, "Code  Long.\n000   0.0000\n");

  // A portable folder already there is left as it is, and it says so.
  Put(root + "bin/Tessarune.INI", "[SYSTEM]\r\nDE441FILE=mine\r\n");
  out = PrepareNewcomer(root + "bin", data);
  EXPECT_EQ(out, "prepare-newcomer: nothing to do, the portable data folder exists (" + root + "bin/Tessarune.INI)\n");
  EXPECT_EQ(app.GetProfileString(kSettingsSection, "DE441FILE"), "mine");
}

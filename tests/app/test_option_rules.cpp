// The options sheet's OK steps, the migration to Documents and the
// observer-location map, without windows.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "app/location_rules.h"
#include "app/option_rules.h"
#include "astro/jpl_eph.h"
#include "data/comet_list.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/nongrav_settings.h"
#include "tests/common/test_data.h"

namespace {

constexpr const char* kNone = "<none>";

void Put(const std::string& path, const std::string& bytes = "x")
{
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  ASSERT_TRUE(WriteFileAtomic(path, bytes)) << path;
}

std::string Key(const CTessaruneApp& app, const char* key)
{
  return app.GetProfileString(kSettingsSection, key, kNone);
}

// An application object whose settings file lives in a fresh folder.
struct TempSettings {
  std::string dir = MakeTempDir("options");
  CTessaruneApp app;
  TempSettings()
  {
    app.m_profile.SetPath(dir + "Tessarune.INI");
    app.m_szDataDir = dir;
    app.m_szEphDir = dir + "eph/";
  }
};

} // namespace

TEST(OptionSheet, OkAtOnceWritesOnlyTheBasicKeysAndNormalisesTheNonGravSettings)
{
  TempSettings s;
  SetCo2ScaleDistance(10.8);
  SetNonGravDt(0);
  EXPECT_TRUE(ApplyBasicPage(s.app, InitialBasicPage(s.app)).empty());
  std::string text;
  ASSERT_TRUE(ReadWholeFile(s.app.m_profile.Path(), text));
  EXPECT_EQ(text, "[SYSTEM]\r\nSIGNATURE=\r\nCO2R0=10.8\r\nNGDT=0\r\n");

  struct Case {
    const char *co2, *dt, *co2Stored, *dtStored;
  };
  const Case cases[] = {{"250", "-401", "10.8", "0"}, {"0.5", "400", "10.8", "400"}, {"25.5", "-400", "25.5", "-400"},
                        {"abc", "", "10.8", "0"},     {"1", "12.25", "1", "12.25"}};
  for (const Case& c : cases) {
    BasicPageFields f = InitialBasicPage(s.app);
    f.co2R0 = c.co2;
    f.ngDt = c.dt;
    ApplyBasicPage(s.app, f);
    EXPECT_EQ(Key(s.app, "CO2R0"), c.co2Stored) << c.co2;
    EXPECT_EQ(Key(s.app, "NGDT"), c.dtStored) << c.dt;
    EXPECT_DOUBLE_EQ(g_dCo2R0, std::stod(c.co2Stored));
    EXPECT_DOUBLE_EQ(g_dNonGravDt, std::stod(c.dtStored));
  }
  SetCo2ScaleDistance(10.8);
  SetNonGravDt(0);

  // A changed data folder is written with its slash and announced; the one in use stays.
  BasicPageFields f = InitialBasicPage(s.app);
  f.dataDir = s.dir + "elsewhere";
  f.obsFolder = s.dir + "obs2";
  f.signature = "あいうえおかきくけこさしすせそたちつてとなにぬ";
  EXPECT_EQ(ApplyBasicPage(s.app, f).size(), 1u);
  EXPECT_EQ(Key(s.app, "DATADIR"), s.dir + "elsewhere/");
  EXPECT_EQ(s.app.m_szDataDir, s.dir);
  EXPECT_EQ(s.app.m_szObsFolder, s.dir + "obs2");
  EXPECT_EQ(s.app.m_szSignature, "あいうえおかきくけこさしすせそたちつてと");
}

TEST(OptionSheet, MpcPageWritesItsFiveKeysWithTheDefaultsShown)
{
  TempSettings s;
  s.app.WriteProfileString(kSettingsSection, "COMETELSURL", kOldCometElsUrl);
  const MpcPageFields f = InitialMpcPage(s.app);
  EXPECT_EQ(f.cometElsUrl, kDefaultCometElsUrl);
  ApplyMpcPage(s.app, f);
  EXPECT_EQ(Key(s.app, "STATIONSFILE"), s.dir + "stations.txt");
  EXPECT_EQ(Key(s.app, "OBSCODESURL"), kDefaultObsCodesUrl);
  EXPECT_EQ(Key(s.app, "WHOIS_MPCORB"), s.dir + "MPCORB.DAT");
  EXPECT_EQ(Key(s.app, "WHOIS_MPCORBURL"), kDefaultMpcorbUrl);
  EXPECT_EQ(Key(s.app, "COMETELSURL"), kDefaultCometElsUrl);
  EXPECT_EQ(s.app.m_szStationsFile, s.dir + "stations.txt");
  EXPECT_EQ(ShownCometElsUrl("  "), kDefaultCometElsUrl);
  EXPECT_EQ(ShownCometElsUrl("http://127.0.0.1/x.txt"), "http://127.0.0.1/x.txt");
  EXPECT_EQ(MpcorbPathOrDefault(s.app, "  "), s.dir + "MPCORB.DAT");
  EXPECT_EQ(UrlOrDefault(" http://h/a ", kDefaultMpcorbUrl), "http://h/a");
}

TEST(OptionSheet, ChangedDe406PathRebuildsThePlanetaryReader)
{
  TSR_REQUIRE_DATA(de405, "de/lnxp2000p2040.405");
  CTessaruneApp& app = TheApp();
  const std::string dir = MakeTempDir("eph");
  const std::string saved441 = app.m_szDe441File, saved406 = app.m_szDe406File;
  const IniFile savedProfile = app.m_profile;
  app.m_profile.SetPath(dir + "Tessarune.INI");
  app.m_szDe441File = dir + "missing.441";
  app.m_szDe406File = dir + "old.406";

  EphPageFields f = InitialEphPage(app);
  f.de406File = de405;
  EXPECT_TRUE(ApplyEphPage(app, f));
  EXPECT_TRUE(RebuildPlanetaryReader());
  EXPECT_EQ(g_dJplStart, 2451536.5);
  EXPECT_EQ(g_dJplEnd, 2466160.5);
  EXPECT_EQ(Key(app, "DE406FILE"), de405);
  EXPECT_FALSE(ApplyEphPage(app, f));  // unchanged: no rebuild

  // With a DE441 file the rebuilt reader still reads it, whatever the DE406 path.
  TSR_REQUIRE_DATA(wide, "de/lnxp1960p2060.405");
  app.m_szDe441File = wide;
  f.de406File = dir + "other.406";
  EXPECT_TRUE(ApplyEphPage(app, f));
  EXPECT_TRUE(RebuildPlanetaryReader());
  EXPECT_EQ(g_dJplStart, 2436912.5);
  EXPECT_EQ(g_dJplEnd, 2473488.5);
  app.m_szDe441File = dir + "missing.441";

  Put(dir + "page.html", "<html><body>Not Found</body></html>");
  f.de406File = dir + "page.html";
  EXPECT_TRUE(ApplyEphPage(app, f));
  EXPECT_FALSE(RebuildPlanetaryReader());
  EXPECT_EQ(g_dJplEnd, 0);

  delete g_pJplEph;
  g_pJplEph = nullptr;
  app.m_szDe441File = saved441;
  app.m_szDe406File = saved406;
  app.m_profile = savedProfile;
}

TEST(OptionSheet, LocationsPageWritesAChangedEphemerisFolder)
{
  TempSettings s;
  EXPECT_EQ(ApplyLocPage(s.app, s.app.m_szEphDir), "");
  EXPECT_EQ(ApplyLocPage(s.app, ""), "");
  EXPECT_EQ(Key(s.app, "EPHDIR"), kNone);
  EXPECT_NE(ApplyLocPage(s.app, s.dir + "big"), "");
  EXPECT_EQ(Key(s.app, "EPHDIR"), s.dir + "big/");
}

namespace {

// A fake home: the executable's folder, the local application data and Documents.
struct FakeHome {
  std::string dir = MakeTempDir("home");
  AppEnvironment env{dir + "bin/tessarune", dir + "local/", dir + "docs/"};
  std::string target = MigrationTarget(dir + "docs/");
  CTessaruneApp app;
  void Load() { LoadSettings(app, env); }
};

} // namespace

TEST(Migration, PortableLayoutCopiesSettingsListsAndObservations)
{
  FakeHome h;
  Put(h.dir + "bin/Tessarune.INI", "[SYSTEM]\r\nSIGNATURE=Tester\r\n");
  Put(h.dir + "bin/stations.txt");
  Put(h.dir + "bin/AllCometEls.txt");
  Put(h.dir + "bin/MPCORB.DAT");
  Put(h.dir + "bin/de441.bin");
  Put(h.dir + "bin/obs/a.obs");
  Put(h.dir + "bin/obs/b.obs");
  Put(h.dir + "bin/obs/old/c.obs");
  h.Load();
  ASSERT_EQ(h.app.m_szDataDir, h.dir + "bin/");
  EXPECT_EQ(MigrationStatusOf(h.app, h.target).enabled, true);

  const auto plan = PlanMigration(h.app, h.target);
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->obsCount, 3);
  EXPECT_NE(MigrationQuestion(*plan).find("観測データ(3件)"), std::string::npos);
  const MigrationResult r = RunMigration(h.app, *plan);
  EXPECT_TRUE(r.done);
  EXPECT_EQ(r.copied, 1 + 2 + 3);  // settings, two lists, three observations
  EXPECT_NE(r.message.find("6個のファイル"), std::string::npos);
  EXPECT_FALSE(FileExists(h.dir + "bin/Tessarune.INI"));
  EXPECT_TRUE(FileExists(h.dir + "bin/Tessarune.INI.bak"));
  EXPECT_EQ(h.app.m_profile.Path(), h.target + "Tessarune.INI");
  EXPECT_TRUE(FileExists(h.target + "obs/old/c.obs"));

  CTessaruneApp next;
  LoadSettings(next, h.env);
  EXPECT_EQ(next.m_szDataDir, h.target);
  EXPECT_EQ(next.m_szEphDir, h.dir + "bin/");
  EXPECT_EQ(next.m_szSignature, "Tester");
  EXPECT_EQ(next.m_szObsFolder, h.target + "obs");
  EXPECT_EQ(next.m_szStationsFile, h.target + "stations.txt");
  EXPECT_EQ(next.m_szDe441File, h.dir + "bin/de441.bin");
  EXPECT_EQ(Key(next, "WHOIS_MPCORB"), h.dir + "bin/MPCORB.DAT");
  EXPECT_FALSE(MigrationStatusOf(next, h.target).enabled);
  EXPECT_FALSE(PlanMigration(next, h.target));
}

TEST(Migration, LocalLayoutWithObservationsElsewhereCopiesNoneOfThem)
{
  FakeHome h;
  Put(h.dir + "local/Tessarune/Tessarune.INI", "[SYSTEM]\r\nOBSFOLDER=" + h.dir + "elsewhere/obs\r\n");
  Put(h.dir + "elsewhere/obs/a.obs");
  Put(h.dir + "local/Tessarune/CometEls.txt");
  Put(h.target + "CometEls.txt", "kept");  // never replaced
  h.Load();
  ASSERT_EQ(h.app.m_szDataDir, h.dir + "local/Tessarune/");
  const auto plan = PlanMigration(h.app, h.target);
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->obsCount, 0);
  EXPECT_NE(MigrationQuestion(*plan).find("観測データ(0件)"), std::string::npos);
  const MigrationResult r = RunMigration(h.app, *plan);
  EXPECT_TRUE(r.done);
  EXPECT_EQ(r.copied, 1);
  std::string kept;
  ASSERT_TRUE(ReadWholeFile(h.target + "CometEls.txt", kept));
  EXPECT_EQ(kept, "kept");
  EXPECT_TRUE(FileExists(h.dir + "local/Tessarune/Tessarune.INI.bak"));
  EXPECT_EQ(Key(h.app, "WHOIS_MPCORB"), kNone);  // no catalogue, no key

  CTessaruneApp next;
  LoadSettings(next, h.env);
  EXPECT_EQ(next.m_szDataDir, h.target);
  EXPECT_EQ(next.m_szObsFolder, h.dir + "elsewhere/obs");
}

TEST(Migration, SettingsFileAlreadyInTheTargetIsUpdatedInPlace)
{
  FakeHome h;
  Put(h.target + "Tessarune.INI", "[SYSTEM]\r\nDATADIR=" + h.dir + "moved\r\nSIGNATURE=Kept\r\n");
  Put(h.dir + "moved/stations.txt");
  h.Load();
  ASSERT_EQ(h.app.m_szDataDir, h.dir + "moved/");
  const auto plan = PlanMigration(h.app, h.target);
  ASSERT_TRUE(plan);
  const MigrationResult r = RunMigration(h.app, *plan);
  EXPECT_TRUE(r.done);
  EXPECT_TRUE(r.inPlace);
  EXPECT_EQ(r.copied, 1);  // the station list only
  EXPECT_TRUE(FileExists(h.target + "Tessarune.INI"));
  EXPECT_FALSE(FileExists(h.target + "Tessarune.INI.bak"));

  CTessaruneApp next;
  LoadSettings(next, h.env);
  EXPECT_EQ(next.m_szDataDir, h.target);
  EXPECT_EQ(next.m_szSignature, "Kept");
}

TEST(Migration, FailedCopyOfTheSettingsFileStopsAndKeepsIt)
{
  FakeHome h;
  Put(h.dir + "bin/Tessarune.INI", "[SYSTEM]\r\nSIGNATURE=Tester\r\n");
  Put(h.dir + "bin/stations.txt");
  std::filesystem::create_directories(h.target + "Tessarune.INI");  // a folder in the way
  h.Load();
  const auto plan = PlanMigration(h.app, h.target);
  ASSERT_TRUE(plan);
  const MigrationResult r = RunMigration(h.app, *plan);
  EXPECT_FALSE(r.done);
  EXPECT_NE(r.message.find(h.target + "Tessarune.INI"), std::string::npos);
  EXPECT_TRUE(FileExists(h.dir + "bin/Tessarune.INI"));
  EXPECT_FALSE(FileExists(h.dir + "bin/Tessarune.INI.bak"));
  EXPECT_FALSE(FileExists(h.target + "stations.txt"));
  EXPECT_EQ(h.app.m_profile.Path(), h.dir + "bin/Tessarune.INI");
  EXPECT_EQ(Key(h.app, "SIGNATURE"), "Tester");
}

// ---- the observer-location map ----

TEST(LocationMap, OkNormalisesTheTypedValues)
{
  struct Case {
    ObserverLocation in, out;
  };
  const Case cases[] = {
      {{10, 540, 9}, {10, 180, 9}},     {{10, -200, 9}, {10, 160, 9}},  {{95, 0, 0}, {90, 0, 0}},
      {{-95, 0, 0}, {-90, 0, 0}},       {{0, 0, 15}, {0, 0, 14}},       {{0, 0, -13}, {0, 0, -12}},
      {{0, 181, 0}, {0, -179, 0}},      {{0, -180, 0}, {0, -180, 0}},   {{0, 900, 0}, {0, 180, 0}},
      {{35.5, 139.75, 9}, {35.5, 139.75, 9}},
  };
  for (const Case& c : cases) {
    const ObserverLocation got = NormaliseLocation(c.in);
    EXPECT_EQ(got.lat, c.out.lat) << c.in.lat;
    EXPECT_EQ(got.lon, c.out.lon) << c.in.lon;
    EXPECT_EQ(got.tz, c.out.tz) << c.in.tz;
  }
  // A huge longitude ends at once, inside the world; what is no number becomes 0.
  const ObserverLocation far = NormaliseLocation({0, 1e15, 0});
  EXPECT_LE(std::abs(far.lon), 180);
  const ObserverLocation odd = NormaliseLocation({NAN, INFINITY, -NAN});
  EXPECT_EQ(odd.lat, 0);
  EXPECT_EQ(odd.lon, 0);
  EXPECT_EQ(odd.tz, 0);

  TempSettings s;
  StoreLocation(s.app, {35.12346, -139.5, 9.25});
  EXPECT_EQ(Key(s.app, "OBSLAT"), "35.1235");
  EXPECT_EQ(Key(s.app, "OBSLON"), "-139.5000");
  EXPECT_EQ(Key(s.app, "OBSTZ"), "9.25");
  EXPECT_EQ(s.app.m_dObsLon, -139.5);
}

TEST(LocationMap, ClicksGiveThePlaceAndItsZone)
{
  const MapArea area{1, 1, 720, 360};
  MapView view;
  // 2 pixels a degree at zoom 1: x = 1 + (lon + 180) * 2.
  const GeoPoint east = FromMap(area, view, 1 + 187.5 * 2, 1 + 90 * 2);
  EXPECT_DOUBLE_EQ(east.lon, 7.5);
  EXPECT_DOUBLE_EQ(east.lat, 0);
  EXPECT_EQ(ZoneOfLongitude(east.lon), 1);
  EXPECT_EQ(ZoneOfLongitude(FromMap(area, view, 1 + 172.5 * 2, 1).lon), 0);
  EXPECT_EQ(ZoneOfLongitude(139.7), 9);
  EXPECT_EQ(ZoneOfLongitude(-180), -12);
  const MapPoint tokyo = ToMap(area, view, 139.7, 35.7);
  EXPECT_DOUBLE_EQ(tokyo.x, 1 + 319.7 * 2);
  EXPECT_DOUBLE_EQ(tokyo.y, 1 + 54.3 * 2);
}

TEST(LocationMap, WheelZoomsAboutTheCursorWithinTheClamps)
{
  const MapArea area{1, 1, 720, 360};
  MapView view;
  EXPECT_FALSE(ZoomAbout(view, area, 300, 100, -120));  // zoom 1 does not shrink
  EXPECT_FALSE(CanPan(view));
  // At 135° E, 45° N the point stays under the cursor through 2, 4 and 8.
  const int x = 1 + 315 * 2, y = 1 + 45 * 2;
  for (double zoom : {2.0, 4.0, 8.0}) {
    ASSERT_TRUE(ZoomAbout(view, area, x, y, 120));
    EXPECT_EQ(view.zoom, zoom);
    const GeoPoint g = FromMap(area, view, x, y);
    EXPECT_NEAR(g.lon, 135, 1e-9);
    EXPECT_NEAR(g.lat, 45, 1e-9);
  }
  // At zoom 2 the centre was 135 - (315/360 - 0.5) * 180 = 67.5.
  EXPECT_FALSE(ZoomAbout(view, area, x, y, 120));  // 8 is the most
  EXPECT_TRUE(ZoomAbout(view, area, x, y, -120));
  EXPECT_EQ(view.zoom, 4);

  // Zooming out at the world's right edge: the clamp stops the centre at 180 - 180/zoom.
  MapView edge{8, 157.5, 0};
  ASSERT_TRUE(ZoomAbout(edge, area, 1 + 719, 181, -120));
  EXPECT_DOUBLE_EQ(edge.centreLon, 180 - 180 / 4.0);
  ZoomAbout(edge, area, 361, 181, -120);
  ZoomAbout(edge, area, 361, 181, -120);
  EXPECT_EQ(edge.zoom, 1);
  EXPECT_EQ(edge.centreLon, 0);
  EXPECT_EQ(edge.centreLat, 0);
}

TEST(LocationMap, RightDragPansWithinTheWorld)
{
  const MapArea area{1, 1, 720, 360};
  MapView view{4, 0, 0};
  ASSERT_TRUE(CanPan(view));
  PanBy(view, area, -72, 36);  // a tenth of the area: 9° east, 4.5° north in view
  EXPECT_DOUBLE_EQ(view.centreLon, 9);
  EXPECT_DOUBLE_EQ(view.centreLat, 4.5);
  PanBy(view, area, -7200, -3600);
  EXPECT_DOUBLE_EQ(view.centreLon, 135);
  EXPECT_DOUBLE_EQ(view.centreLat, -67.5);
}

TEST(LocationMap, GraticuleAndTexturePart)
{
  const double spacings[][2] = {{1, 30}, {2, 15}, {4, 10}, {8, 5}};
  for (const auto& s : spacings)
    EXPECT_EQ(GraticuleSpacing(s[0]), s[1]);
  EXPECT_EQ(MeridianLongitudes(30).size(), 13u);
  EXPECT_EQ(MeridianLongitudes(30).back(), 180);
  EXPECT_EQ(ParallelLatitudes(30), (std::vector<double>{-60, -30, 0, 30, 60}));
  EXPECT_EQ(ParallelLatitudes(5).size(), 35u);
  EXPECT_EQ(ParallelLatitudes(5).back(), 85);
  const TextureRect r = TextureSourceRect({8, 0, 0}, 2048, 1024);
  EXPECT_DOUBLE_EQ(r.x, 896);
  EXPECT_DOUBLE_EQ(r.y, 448);
  EXPECT_DOUBLE_EQ(r.w, 256);
  EXPECT_DOUBLE_EQ(r.h, 128);
  const TextureRect whole = TextureSourceRect({1, 0, 0}, 2048, 1024);
  EXPECT_DOUBLE_EQ(whole.x, 0);
  EXPECT_DOUBLE_EQ(whole.y, 0);
}

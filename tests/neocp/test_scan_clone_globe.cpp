// Button 1535 without its window: the row's clone-track file onto the
// headless globe, and the boxes for a file that cannot be shown.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "astro/jpl_eph.h"
#include "engine/tool_sinks.h"
#include "platform/ui_services.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "tests/neocp/scan_fixtures.h"

namespace {

// 2008 TC3's entry, 2008-10-07 02:45:29 UTC, in JD TT.
constexpr double kEntryJd = 2454746.615673;

std::string CloneFile(const std::vector<std::string>& lines)
{
  std::string text = "\xEF\xBB\xBF# NEOCPの一括走査: TC3 ...\r\n# points = ...\r\n"
                     "kind\timpact\tplausible\tweight\tjd\tpoints\r\n";
  for (const std::string& l : lines)
    text += l + "\r\n";
  return text;
}

const std::string kNominal = "N\t1\t1\t1\t2454746.615673\t-20,12.00000,45.00000,20000.0;-10,17.00000,38.00000,12000.0;"
                             "0,21.10500,30.46900,6478.1";
const std::string kHit = "C\t1\t1\t0.8\t2454746.615700\t-10,17.10000,38.10000,12000.0;0,21.20000,30.50000,6478.1";
const std::string kMiss = "C\t0\t0\t0.2\t2454746.630000\t-10,18.00000,40.00000,13000.0;0,25.00000,28.00000,9000.0;"
                          "10,27.00000,20.00000,14000.0";

NeocpScanRow GlobeRow(const std::string& clonesPath)
{
  NeocpScanRow r = CompleteRow(" 8TA9D69 ", 1e-5, 1e-5, 175);
  r.n_valid = 175;
  r.imp_prob = 1.0;
  SetTc3Orbit(r);
  r.clones_path = clonesPath;
  return r;
}

} // namespace

TEST(ScanCloneGlobe, TracksOrbitSunAndApexReachTheGlobe)
{
  TSR_REQUIRE_DATA(de, "de/lnxp1960p2060.405");
  ScanDialogFixture f("scan_clone_globe");
  JplReaderScope jpl(f.dir + "no-de441.bin", de);
  HeadlessUiServices ui;
  ScopedUi scopedUi(ui);
  HeadlessToolSinks sinks;
  ScopedToolSinks scopedSinks(sinks);
  const std::string path = f.dir + "tc3_clones.txt";
  WriteFileText(path, CloneFile({kNominal, kHit, kMiss}));
  f.SetTable({GlobeRow(path)});
  f.dlg.m_selection = {0};
  sinks.m_globe.AddCloneImpact(1, 2);  // left from an earlier calculation
  f.dlg.OnShowClonesOnGlobe();

  const HeadlessGlobe& g = sinks.m_globe;
  EXPECT_TRUE(ui.m_messages.empty());
  EXPECT_TRUE(g.m_bShown);
  EXPECT_TRUE(g.m_cloneImpacts.empty()) << "the globe was reset";
  EXPECT_EQ(g.m_nBody, 2);
  EXPECT_DOUBLE_EQ(g.m_orbit[1], 0.8999);
  EXPECT_DOUBLE_EQ(g.m_orbit[5], 0.0443);
  EXPECT_EQ(g.m_strCaption, "8TA9D69");
  EXPECT_EQ(g.m_strSubCaption, "地球衝突確率 100%  (175/175)   月の内側を通る 2本");
  ASSERT_EQ(g.m_cloneTracks.size(), 3u);
  const int kinds[] = {2, 1, 0}, plausible[] = {1, 1, 0}, points[] = {3, 2, 3};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(g.m_cloneTracks[i].m_nKind, kinds[i]) << i;
    EXPECT_EQ(g.m_cloneTracks[i].m_bPlausible, plausible[i]) << i;
    EXPECT_EQ(g.m_cloneTracks[i].m_nPoints, points[i]) << i;
  }
  EXPECT_DOUBLE_EQ(g.m_cloneTracks[0].m_dJd, kEntryJd);
  EXPECT_DOUBLE_EQ(g.m_cloneTracks[0].m_adLat[2], 21.105);
  EXPECT_DOUBLE_EQ(g.m_cloneTracks[2].m_adMinutes[2], 10.0);
  // At the entry (sidereal time 57.49° from the mean rate) the Sun, from its
  // mean longitude and centre equation at 194.22°, stood over -5.61°,
  // 135.59°; the Earth moved towards ecliptic longitude 105.25° (its
  // longitude 14.22° + 90°, tilted sunwards by e sin 273° = 0.95° as it
  // draws nearer the Sun), right ascension 106.55°, declination +22.57°.
  ASSERT_TRUE(g.m_bSubSolar && g.m_bApex);
  EXPECT_NEAR(g.m_dSubSolarLat, -5.61, 0.15);
  EXPECT_NEAR(g.m_dSubSolarLon, 135.59, 0.15);
  EXPECT_NEAR(g.m_dApexLat, 22.57, 0.3);
  EXPECT_NEAR(g.m_dApexLon, 49.05, 0.3);
  EXPECT_EQ(f.dlg.GetItemText(kIdScanStatus),
            " 8TA9D69 : クローン175本のうち月の軌道の内側まで来た2本を地球儀に出しました(名目軌道は赤い丸)");

  // Without a nominal track the Sun is placed at the row's closest approach.
  WriteFileText(path, CloneFile({kMiss}));
  f.dlg.m_pRows[0].clo_jd = kEntryJd;
  f.dlg.OnShowClonesOnGlobe();
  ASSERT_EQ(g.m_cloneTracks.size(), 1u);
  EXPECT_NEAR(g.m_dSubSolarLon, 135.59, 0.15);
  EXPECT_NE(f.dlg.GetItemText(kIdScanStatus).find("(名目軌道は月の軌道の内側まで来ません)"), std::string::npos);

  // With no planetary file there is no Sun to place: neither point is shown.
  delete g_pJplEph;
  g_pJplEph = nullptr;
  f.dlg.OnShowClonesOnGlobe();
  ASSERT_EQ(g.m_cloneTracks.size(), 1u);
  EXPECT_FALSE(g.m_bSubSolar);
  EXPECT_FALSE(g.m_bApex);
}

TEST(ScanCloneGlobe, NothingOrOneBoxWhenTheFileCannotBeShown)
{
  ScanDialogFixture f("scan_clone_globe_refused");
  const std::string path = f.dir + "clones.txt";
  struct Case {
    const char* name;
    std::string fileText;  // "" no file
    std::string clonesPath;
    int running;
    bool selected;
    std::string message;  // "" no box
  };
  const std::string header = "kind\timpact\tplausible\tweight\tjd\tpoints";
  const Case cases[] = {
      {"no file", "", path, 0, true, "地球儀用の記録を読めませんでした。\r\n" + path},
      {"blank after the header", header + " \r\n" + kNominal + "\r\n", path, 0, true,
       "地球儀用の記録の形式が違います。\r\n" + path},
      {"no header", "# only a comment\r\n" + kNominal + "\r\n", path, 0, true,
       "地球儀用の記録の形式が違います。\r\n" + path},
      {"nothing inside the Moon's orbit", CloneFile({}), path, 0, true,
       " 8TA9D69  は、名目軌道もクローン175本も、月の軌道の内側まで来ませんでした。\r\n"
       "地球儀は月の軌道より外を映せないので、出せるものがありません。"},
      {"only tracks without points", CloneFile({"N\t0\t1\t1\t2454746.6\t", "C\t0\t1\t1\t2454746.6\tnan,1,2,3"}),
       path, 0, true, "名目軌道もクローン175本も"},
      {"scan running", CloneFile({kNominal}), path, 1, true, ""},
      {"no row selected", CloneFile({kNominal}), path, 0, false, ""},
      {"row without a file", CloneFile({kNominal}), "", 0, true, ""},
  };
  for (const Case& c : cases) {
    HeadlessUiServices ui;
    ScopedUi scopedUi(ui);
    HeadlessToolSinks sinks;
    ScopedToolSinks scopedSinks(sinks);
    std::remove(path.c_str());
    if (!c.fileText.empty())
      WriteFileText(path, c.fileText);
    f.SetTable({GlobeRow(c.clonesPath)});
    f.dlg.m_selection = c.selected ? std::vector<int>{0} : std::vector<int>{};
    f.dlg.m_bRunning = c.running;
    f.dlg.OnShowClonesOnGlobe();
    f.dlg.m_bRunning = 0;
    EXPECT_EQ(sinks.Globe(), nullptr) << c.name;
    if (c.message.empty()) {
      EXPECT_TRUE(ui.m_messages.empty()) << c.name;
      continue;
    }
    ASSERT_EQ(ui.m_messages.size(), 1u) << c.name;
    EXPECT_NE(ui.m_messages[0].text.find(c.message), std::string::npos) << c.name << ": " << ui.m_messages[0].text;
    EXPECT_EQ(ui.m_messages[0].caption, "地球儀にクローンを表示") << c.name;
    EXPECT_EQ(ui.m_messages[0].icon, MsgIcon::Information) << c.name;
  }
}

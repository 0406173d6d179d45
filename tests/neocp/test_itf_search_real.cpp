// The search of the isolated tracklet file on real observations: 2015
// TF202's second half (Oct 14-18) hidden as one tracklet among the real
// lines of the shared observation files, in an ITF written here with zlib
// and received from a loopback server after consent; the view holds the
// first half solved. The line test and the motion check on the same lines
// with a two-body element log.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "engine/orbit_engine.h"
#include "neocp/earth_screening.h"
#include "neocp/itf_search.h"
#include "neocp/view_orbit_search.h"
#include "platform/numbers.h"
#include "tests/data/test_http_server.h"
#include "tests/neocp/itf_fixture.h"
#include "tests/neocp/known_real_support.h"

namespace {

class ItfSearchReal : public FollowUpReal {
protected:
  // The view holding TF202's first half, solved; the catalogues of the follow-up.
  bool PrepareView()
  {
    const std::string comets = TestDataPath("catalogues/skyfield_CometEls.txt");
    if (WriteFollowUpCatalogue(m_dir).empty() || comets.empty() || !TestDataFileExists(comets)) return false;
    WriteTestFile(m_dir, "AllCometEls.txt", ReadTestFile(comets));
    m_ownObs = m_dir + "2015TF202_1.obs";
    double rms = 0;
    if (!SolveTf202FirstHalf(*m_view, m_ownObs, rms)) return false;
    std::printf("first half: mean residual %.3f\"\n", rms);
    m_own = m_view->m_pEngine->m_state.m_el;
    m_ownCount = m_view->m_pDetClass->m_nObsCount;
    return rms > 0 && rms < 1.0;
  }

  // Serves the ITF written from the tracklet and runs button 1539, the
  // download agreed to; the clock is eight and a half days after now, so that
  // a download finished a second or two later is still eight days old.
  void Search(const std::vector<std::string>& tracklet)
  {
    const std::string serverDir = MakeTempDir("itf_server");
    ASSERT_TRUE(WriteItf(serverDir + "itf.txt.gz", tracklet));
    LocalHttpServer server(serverDir);
    ASSERT_TRUE(server.Running());
    m_dlg->m_strMpcHost = server.Url("/files");
    const std::time_t later = std::time(nullptr) + 8 * 86400 + 43200;
    m_dlg->m_fnWallClock = [later] { return later; };
    HeadlessUiServices ui;
    ui.m_scriptedAnswers = {MsgAnswer::Ok};
    ScopedUi scoped(ui);
    m_dlg->OnSearchByViewOrbit();
    std::printf("%s", m_dlg->m_strLog.c_str());
    ASSERT_EQ(ui.m_messages.size(), 1u);
    EXPECT_EQ(ui.m_messages[0].caption, "ITFから探す");
    EXPECT_NE(ui.m_messages[0].text.find("/iau/ITF/itf.txt.gz\r\n  → " + m_dir + "itf.txt.gz"), std::string::npos);
    EXPECT_EQ(m_dlg->m_bRunning, 0);
  }

  // The residual of the tracklet's trial from its log line; -1 when missing.
  double TrackletResidual() const
  {
    const std::string& log = m_dlg->m_strLog;
    const size_t at = log.find(std::string("    ") + kTracklet + "  2015/10/14.38");
    const size_t r = at == std::string::npos ? at : log.find("解くと ", at);
    double residual = -1;
    if (r != std::string::npos && r < log.find("\r\n", at))
      std::sscanf(log.c_str() + r + std::strlen("解くと "), "%lf", &residual);
    return residual;
  }

  std::string WorkFile(const char* name) const { return m_dlg->m_strScanDir + "/_work/" + name; }

  std::string m_ownObs;
  ElementBlock m_own{};
  int m_ownCount = 0;
};

} // namespace

TEST_F(ItfSearchReal, SecondHalfIsFoundFittedAndLinked)
{
  ASSERT_TRUE(PrepareView()) << MissingDataMessage("catalogues/ and orbits/orbfit_testout/");
  Search(TrackletLines(0));
  const std::string& log = m_dlg->m_strLog;
  EXPECT_NE(log.find("のもの。8日前なので、それ以後に足された観測は入っていません)\r\n"), std::string::npos);
  EXPECT_NE(log.find("  予報のもとにする軌道要素を "), std::string::npos);
  EXPECT_NE(log.find("窓(経路±1度・直交±0.05度)に入った観測 11件 / 1組"), std::string::npos);
  const double residual = TrackletResidual();
  std::printf("the tracklet's trial: %.3f\"\n", residual);
  EXPECT_GT(residual, 0);
  EXPECT_LE(residual, 3.0);
  EXPECT_NE(log.find("  11観測  予報からのずれ 経路 "), std::string::npos);
  EXPECT_NE(log.find("\"  ← これを連結します\r\n"), std::string::npos);
  EXPECT_EQ(Lines(ReadTestFile(WorkFile("itf_hits.obs"))), TrackletLines(0));
  const std::string joined = m_dlg->m_strScanDir + "/2015TF202+ITF.obs";
  const int n = m_ownCount;
  EXPECT_NE(log.find(FormatC("  いまの観測%d個 ＋ ITFの観測11個 = %d個  →  ", n, n + 11) + joined + "\r\n"),
            std::string::npos);
  EXPECT_EQ(m_view->m_szObsFile, joined);
  EXPECT_EQ(m_view->m_pDetClass->m_nObsCount, n + 11);
  EXPECT_EQ(m_dlg->GetItemText(kIdScanStatus),
            FormatC("ITFで 11件の観測が見つかりました。まとめた観測 %d個を軌道計算の画面に読み込みました。"
                    "[AI]か[自動]で解いて、全部の観測に合う1つの軌道になるか確かめてください",
                    n + 11));
  EXPECT_EQ(m_dlg->m_nMainRaised, 1);
}

TEST_F(ItfSearchReal, TrackletMovedAlongThePathIsNotLinked)
{
  ASSERT_TRUE(PrepareView()) << MissingDataMessage("catalogues/ and orbits/orbfit_testout/");
  Search(TrackletLines(0.5));
  const std::string& log = m_dlg->m_strLog;
  EXPECT_NE(log.find("に入った観測 11件 / 1組"), std::string::npos) << "still inside the 1° window";
  const double residual = TrackletResidual();
  std::printf("the moved tracklet's trial: %.3f\"\n", residual);
  EXPECT_GT(residual, 3.0);
  EXPECT_NE(log.find(FormatC("  ※どの候補も合いませんでした(いちばん良いものでも %.2f\")。", residual)), std::string::npos);
  EXPECT_EQ(log.find("← これを連結します"), std::string::npos);
  EXPECT_EQ(Lines(ReadTestFile(WorkFile("itf_hits.obs"))), TrackletLines(0.5)) << "kept for the developer";
  EXPECT_FALSE(std::filesystem::exists(m_dlg->m_strScanDir + "/2015TF202+ITF.obs"));
  // The view's own observations and orbit are back.
  EXPECT_EQ(m_view->m_szObsFile, m_ownObs);
  EXPECT_EQ(m_view->m_pDetClass->m_nObsCount, m_ownCount);
  const ElementBlock& el = m_view->m_pEngine->m_state.m_el;
  EXPECT_NEAR(el.m_dQ, m_own.m_dQ, 1e-12);
  EXPECT_NEAR(el.m_dE, m_own.m_dE, 1e-12);
  EXPECT_NEAR(el.m_dT, m_own.m_dT, 1e-9);
  EXPECT_NEAR(el.m_dNode, m_own.m_dNode, 1e-12);
  EXPECT_EQ(m_dlg->GetItemText(kIdScanStatus).rfind("ITFで 11件の観測が見つかりましたが、軌道に合う組はありませんでした", 0), 0u);
  EXPECT_EQ(m_dlg->m_nMainRaised, 0);
}

namespace {

// A context whose element log is TF202's reference orbit, one entry on 2015 Oct 17.
struct TwoBodyItf {
  explicit TwoBodyItf(const TestOrbit& o)
  {
    const CloneRecord r = OrbitRecord(o);
    const double e[7] = {2457312.5, r.T, r.q, r.e, r.peri, r.node, r.incl};
    std::copy(e, e + 7, entry);
    ctx.log = entry;
    ctx.logCount = 1;
    ctx.hits = hits.data();
  }
  double entry[7];
  std::vector<ItfHit> hits = std::vector<ItfHit>(kItfMaxHits);
  ItfSearchContext ctx;
};

} // namespace

TEST_F(ItfSearchReal, LineTestSkipsCountsAndKeeps)
{
  TestOrbit tf;
  ASSERT_TRUE(ReadReferenceOrbit(TestDataPath("orbits/orbfit_testout/2015TF202.oel"), "2015TF202_1=2015TF202_2", tf));
  const std::string base = TrackletLines(0).at(0);
  ASSERT_EQ(base.size(), 80u);
  auto with = [&base](size_t column, const char* text) { return std::string(base).replace(column - 1, std::strlen(text), text); };
  struct Case {
    const char* what;
    std::string line;
    int skipped, outside, hit;
  };
  const Case cases[] = {
      {"exactly 80 bytes", base, 0, 0, 1},
      {"with a carriage-return-free tail", base + "  ", 0, 0, 1},
      {"79 bytes", base.substr(0, 79), 1, 0, 0},
      {"radar R", with(15, "R"), 1, 0, 0},
      {"radar r", with(15, "r"), 1, 0, 0},
      {"satellite second line", with(15, "s"), 1, 0, 0},
      {"roving second line", with(15, "v"), 1, 0, 0},
      {"year 1800", with(16, "1800"), 1, 0, 0},
      {"month 13", with(21, "13"), 1, 0, 0},
      {"day 0", with(24, "00.00000"), 1, 0, 0},
      {"no declination sign", with(45, " "), 1, 0, 0},
      {"50 days after the only entry", with(21, "12 06"), 0, 1, 0},
      {"1.2 degrees off in declination", with(46, "19 51"), 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TwoBodyItf t(tf);
    EXPECT_EQ(ItfTestLine(&t.ctx, c.line.data(), static_cast<int>(c.line.size())), 1);
    EXPECT_EQ(t.ctx.skipped, c.skipped);
    EXPECT_EQ(t.ctx.tested, 1 - c.skipped);
    EXPECT_EQ(t.ctx.outside, c.outside);
    ASSERT_EQ(t.ctx.hitCount, c.hit);
    if (c.hit) {
      EXPECT_EQ(std::string(t.hits[0].line), base);
      EXPECT_STREQ(t.hits[0].station, "G45");
      EXPECT_STREQ(t.hits[0].desig, kTracklet);
      EXPECT_LT(std::fabs(t.hits[0].across), 0.01);
    }
  }
  // A full store keeps what it has.
  TwoBodyItf full(tf);
  full.ctx.hitCapacity = 0;
  ItfTestLine(&full.ctx, base.data(), 80);
  EXPECT_EQ(full.ctx.hitCount, 0);
}

TEST_F(ItfSearchReal, MotionCheckDropsOnlyMeasuredMismatches)
{
  TestOrbit tf;
  ASSERT_TRUE(ReadReferenceOrbit(TestDataPath("orbits/orbfit_testout/2015TF202.oel"), "2015TF202_1=2015TF202_2", tf));
  TwoBodyItf t(tf);
  for (const std::string& l : TrackletLines(0)) ItfTestLine(&t.ctx, l.data(), 80);
  ASSERT_EQ(t.ctx.hitCount, 11);
  auto add = [&t](const ItfHit& h, const char* desig, double dt) {
    ItfHit copy = h;
    std::snprintf(copy.desig, sizeof copy.desig, "%s", desig);
    copy.jd_tt += dt;
    copy.jd_utc += dt;
    t.hits[t.ctx.hitCount++] = copy;
  };
  // Night 1 of the tracklet, first and last line, at half the observed rate: dropped.
  add(t.hits[0], "     slow", 0);
  add(t.hits[3], "     slow", t.hits[3].jd_tt - t.hits[0].jd_tt);
  add(t.hits[0], "     single", 0);                    // one hit: unmeasured
  add(t.hits[0], "     brief", 0);                     // 0.0015 day: unmeasured
  add(t.hits[1], "     brief", -(t.hits[1].jd_tt - t.hits[0].jd_tt) + 0.0015);
  int groups = 0, rejected = 0, unmeasured = 0;
  const int kept = CheckItfMotion(t.ctx, groups, rejected, unmeasured);
  EXPECT_EQ(groups, 4);
  EXPECT_EQ(rejected, 1);
  EXPECT_EQ(unmeasured, 2);
  ASSERT_EQ(kept, 14);
  // Sorted by designation as bytes ('I' before 'b'), then time.
  EXPECT_STREQ(t.hits[0].desig, kTracklet);
  for (int i = 1; i < 11; ++i) EXPECT_LT(t.hits[i - 1].jd_utc, t.hits[i].jd_utc);
  EXPECT_STREQ(t.hits[11].desig, "     brief");
  EXPECT_STREQ(t.hits[13].desig, "     single");
}

TEST_F(ItfSearchReal, UnavailableOrCorruptFileEndsTheSearchWithOneLine)
{
  ASSERT_TRUE(PrepareView()) << MissingDataMessage("catalogues/ and orbits/orbfit_testout/");
  const std::string serverDir = MakeTempDir("itf_empty_server");
  LocalHttpServer server(serverDir);  // holds no ITF: 404
  ASSERT_TRUE(server.Running());
  m_dlg->m_strMpcHost = server.Url("/files");
  std::string good;
  {
    const std::string made = MakeTempDir("itf_made") + "itf.txt.gz";
    ASSERT_TRUE(WriteItf(made, TrackletLines(0)));
    good = ReadTestFile(made);
  }
  std::string corrupt = good;
  for (size_t i = corrupt.size() / 4; i < corrupt.size() / 4 + 64; ++i) corrupt[i] = static_cast<char>(~corrupt[i]);
  struct Case {
    const char* what;
    const char* file;  // placed in the data folder; null: none (received after consent)
    const char* line;
  };
  const Case cases[] = {
      {"not received", nullptr, "  ITFの一覧を受信できませんでした: "},
      {"corrupt", corrupt.c_str(), "  ITFの一覧を読めませんでした: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(m_dir + "itf.txt.gz");
    if (c.file) {
      ASSERT_TRUE(WriteBytesFile(m_dir + "itf.txt.gz", corrupt));
    }
    m_dlg->m_strLog.clear();
    HeadlessUiServices ui;
    ui.m_scriptedAnswers = {MsgAnswer::Ok};
    ScopedUi scoped(ui);
    m_dlg->OnSearchByViewOrbit();
    const std::string& log = m_dlg->m_strLog;
    EXPECT_EQ(ui.m_messages.size(), c.file ? 0u : 1u);
    const size_t at = log.find(c.line);
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.find("ITFを調べました"), std::string::npos);
    EXPECT_EQ(log.find("\r\n", at) + 2, log.find("―― 探索を終了")) << "one line, then the end";
    EXPECT_FALSE(std::filesystem::exists(m_dir + "itf.txt.gz.part"));
    EXPECT_EQ(m_dlg->GetItemText(kIdScanStatus), "2015 TF202 の軌道に近い既知天体は 1個でした(記録の欄を参照)");
    EXPECT_EQ(m_view->m_szObsFile, m_ownObs);
  }
}

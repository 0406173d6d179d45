// The known-object match on real observations: a night of 1862 Apollo, the
// second half of 2015 TF202 and a night of 2008 TC3 (fetched from a loopback
// NEOCP service) against a catalogue of the real excerpt lines, lines made
// from the reference orbits of Apollo and TF202, and the real comet lines.
#include <gtest/gtest.h>

#include <cstdio>

#include "data/observation_reader.h"
#include "engine/orbit_engine.h"
#include "neocp/known_match.h"
#include "tests/data/test_http_server.h"
#include "tests/neocp/known_real_support.h"
#include "tests/neocp/scan_fixtures.h"

namespace {

// Presses the dialog's abort at the first event while MPCORB.DAT is read.
struct AbortWhileReading : HeadlessUiServices {
  bool PumpOneEvent() override
  {
    if (dlg && dlg->m_strReadingFile == "MPCORB.DAT") dlg->m_bAbort = 1;
    return false;
  }
  CNeocpScanDlg* dlg = nullptr;
};

class KnownMatchReal : public FollowUpReal {
protected:
  // The rows of the acceptance; TC3 has no file and is fetched.
  bool PrepareRows()
  {
    const std::string comets = TestDataPath("catalogues/skyfield_CometEls.txt");
    if (WriteFollowUpCatalogue(m_dir).empty() || comets.empty() || !TestDataFileExists(comets)) return false;
    WriteTestFile(m_dir, "AllCometEls.txt", ReadTestFile(comets));
    NeocpScanRow apollo = ListRow("A08feb13"), tf = ListRow("TF202b"), tc3 = ListRow("TC3night"),
                 local = ListRow("local1"), gone = ListRow("gone1");
    apollo.obs_path = WriteTestFile(m_dir, "apollo.obs", ObservationNight("obs/mpc80/orbfit_1862.obs", "2008 02 13"));
    tf.obs_path = WriteTestFile(m_dir, "tf202.obs", ObservationNight("obs/mpc80/orbfit_2015TF202_2.obs", ""));
    local.list_state = kListLocalFile;
    local.source_path = m_dir + "missing.obs";
    gone.list_state = 1;
    SetTable({apollo, tf, tc3, local, gone});
    return true;
  }
};

} // namespace

TEST_F(KnownMatchReal, ApolloAndTf202AreFoundTc3IsNot)
{
  ASSERT_TRUE(PrepareRows()) << MissingDataMessage("catalogues/ and orbits/orbfit_testout/");
  const std::string serverDir = MakeTempDir("known_match_server");
  ASSERT_TRUE(WriteBytesFile(serverDir + "reply_get-obs-neocp.json",
                             ObservationReply(ObservationNight("obs/mpc80/neosjl_2008TC3.txt", "2008 10 06"))));
  LocalHttpServer server(serverDir);
  ASSERT_TRUE(server.Running());
  m_dlg->m_strServiceUrl = server.Url("");
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  OrbitEngine& engine = *m_view->m_pEngine;
  engine.m_nCancel = -1;

  m_dlg->MatchKnownObjects();

  std::printf("%s", m_dlg->m_strLog.c_str());
  EXPECT_TRUE(ui.m_messages.empty());
  EXPECT_EQ(g_nObsReadQuiet, 0);
  EXPECT_EQ(engine.m_nCancel, -1);
  EXPECT_EQ(engine.m_bScanRunning, 0);
  EXPECT_EQ(m_dlg->m_bRunning, 0);
  // Only the NEOCP row without a file was fetched, into safe(desig).obs.
  EXPECT_NE(ReadTestFile(serverDir + "request_get-obs-neocp.body").find("\"TC3night\""), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(m_dlg->m_strScanDir + "/TC3night_248.obs"));
  EXPECT_TRUE(Row(2).obs_path.empty());

  struct Expected {
    const char* desig;
    const char* known;
    int nobs;
  };
  const Expected found[] = {{"A08feb13", "01862", 13}, {"TF202b", "K15TK2F", 11}};
  for (int i = 0; i < 2; ++i) {
    const NeocpScanRow& r = Row(i);
    SCOPED_TRACE(r.desig);
    std::printf("%s: %s rms0 %.3f\" shift %+.5f d rms %.3f\" arc %.3f d along %+.5f° cross %+.5f°\n", r.desig.c_str(),
                r.known_name.c_str(), r.known_rms0, r.known_shift, r.known_rms, r.known_arc, r.known_along,
                r.known_cross);
    EXPECT_EQ(r.known_checked, 1);
    EXPECT_EQ(r.known_desig, found[i].known);
    EXPECT_EQ(r.known_nobs, found[i].nobs);
    EXPECT_EQ(r.known_is_comet, 0);
    EXPECT_TRUE(IsKnownCandidatePlausible(r));
    EXPECT_LE(r.known_rms, r.known_rms0 + 1e-9);
  }
  EXPECT_EQ(Row(0).known_name, "(1862) Apollo");
  EXPECT_LT(Row(0).known_rms, 1.5);
  EXPECT_LT(Row(1).known_rms, 1.0);
  EXPECT_NEAR(Row(1).known_arc, 4.35081, 1e-4);  // 10-14.38405 to 10-18.73486
  EXPECT_EQ(Row(2).known_checked, 1);
  EXPECT_EQ(FormatKnownCandidate(Row(2)), "なし");
  EXPECT_GT(Row(2).known_nobs, 500);
  EXPECT_EQ(Row(3).known_checked, 0);  // a local row without its file: not fetched, not matched
  EXPECT_EQ(Row(4).known_checked, 0);  // off the list without a file

  const std::string& log = m_dlg->m_strLog;
  EXPECT_NE(log.find("―― 既知の天体との照合を開始 "), std::string::npos);
  EXPECT_NE(log.find("  AllCometEls.txt: " + m_dir + "AllCometEls.txt ――\r\n"), std::string::npos);
  EXPECT_NE(log.find("A08feb13 既知の天体の候補 (1862) Apollo (01862)"), std::string::npos);
  EXPECT_NE(log.find("TF202b   既知の天体の候補 2015 TF202 (K15TK2F)"), std::string::npos);
  EXPECT_EQ(log.find("TC3night "), std::string::npos);
  EXPECT_NE(log.find("―― 照合を終了  3天体を照合(観測が無くて照合できなかった天体 2個)  比べた既知の天体 小惑星6個(MPCORB.DAT)・"
                     "彗星3個(AllCometEls.txt。楕円軌道のものだけ)  候補の見つかった天体 2個(うち確からしいもの 2個)"),
            std::string::npos);
  EXPECT_EQ(m_dlg->GetItemText(kIdScanStatus).rfind("照合が終わりました。既知天体の候補が見つかった天体は 2個(この判定だけで確からしいもの 2個)", 0), 0u);
  EXPECT_NE(ReadFileText(m_dlg->StatePath()).find("K15TK2F"), std::string::npos);
  EXPECT_NE(ReadFileText(m_dlg->m_strScanDir + "/neocp_scan.csv").find("2015 TF202"), std::string::npos);
}

TEST_F(KnownMatchReal, RefusalsAndAStopDuringTheCatalogue)
{
  ASSERT_TRUE(PrepareRows()) << MissingDataMessage("catalogues/ and orbits/orbfit_testout/");
  OrbitEngine& engine = *m_view->m_pEngine;
  struct Refusal {
    const char* what;
    int busy, autoRunning;
    bool catalogue;
    const char* caption;
    const char* message;
  };
  const Refusal refusals[] = {
      {"busy", 1, 0, true, "", kMatchBusyMessage},
      {"automatic improvement", 0, 1, true, "", kMatchBusyMessage},
      {"no catalogue", 0, 0, false, kMatchCaption, kMatchNoMpcorbMessage},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.what);
    HeadlessUiServices ui;
    ScopedUi scoped(ui);
    engine.m_bBusy = r.busy;
    engine.m_bAutoRunning = r.autoRunning;
    if (!r.catalogue) std::filesystem::rename(m_dir + "MPCORB.DAT", m_dir + "MPCORB.away");
    const std::string logBefore = m_dlg->m_strLog;
    m_dlg->MatchKnownObjects();
    ASSERT_EQ(ui.m_messages.size(), 1u);
    EXPECT_EQ(ui.m_messages[0].caption, r.caption);
    EXPECT_EQ(ui.m_messages[0].text, r.message);
    EXPECT_EQ(m_dlg->m_strLog, logBefore);
    EXPECT_EQ(m_dlg->m_bRunning, 0);
    if (!r.catalogue) std::filesystem::rename(m_dir + "MPCORB.away", m_dir + "MPCORB.DAT");
  }
  engine.m_bBusy = engine.m_bAutoRunning = 0;

  // The catalogue set by the setting wins over the data folder's; a stop
  // while it is read skips the refinement and the saving.
  std::filesystem::create_directories(m_dir + "chosen");
  std::filesystem::copy_file(m_dir + "MPCORB.DAT", m_dir + "chosen/MPCORB.DAT");
  TheApp().WriteProfileString(kSettingsSection, "WHOIS_MPCORB", (m_dir + "chosen/MPCORB.DAT").c_str());
  AbortWhileReading ui;
  ui.dlg = m_dlg.get();
  ScopedUi scoped(ui);
  m_dlg->MatchKnownObjects();
  EXPECT_TRUE(ui.m_messages.empty());
  EXPECT_NE(m_dlg->m_strLog.find("MPCORB.DAT: " + m_dir + "chosen/MPCORB.DAT"), std::string::npos);
  EXPECT_NE(m_dlg->m_strLog.find("―― 照合を中止  2天体を照合(観測が無くて照合できなかった天体 3個)  比べた既知の天体 小惑星0個"),
            std::string::npos)
      << m_dlg->m_strLog;
  EXPECT_EQ(m_dlg->GetItemText(kIdScanStatus), "中止しました。");
  for (int i = 0; i < m_dlg->m_nRows; ++i) EXPECT_EQ(Row(i).known_checked, 0) << i;
  EXPECT_FALSE(std::filesystem::exists(m_dlg->StatePath()));
  EXPECT_EQ(g_nObsReadQuiet, 0);
  EXPECT_EQ(m_dlg->m_bRunning, 0);
  EXPECT_EQ(engine.m_bScanRunning, 0);
}

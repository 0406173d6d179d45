// Loading observation files into the orbit-determination view: duplicates,
// time order, the comet-or-asteroid guess, the proposed epoch, short arcs,
// redo, failed reads and the download command against a local server.
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "data/comet_list.h"
#include "determination/obs_loading.h"
#include "engine/observation_picking.h"
#include "engine/variation_amounts.h"
#include "platform/files.h"
#include "platform/text_util.h"
#include "tests/data/test_http_server.h"
#include "tests/determination/determination_test_support.h"

namespace {

const std::string kDesig = "     K23E00A";

std::string Lines(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\r\n";
  return s;
}

double Mag(const ObservationRecord& o) { return std::round(o.m_dMag * 10) / 10; }

using LoadingTest = DeterminationTest;

TEST_F(LoadingTest, DuplicatesFlaggedSortedEpochProposedAndRedoneOnTheTwentyDayGrid) {
  const std::string path = File("dups.obs", Lines({
                                                ObsLine(kDesig, "2023 03 05.50000", "18.1", "568"),
                                                ObsLine(kDesig, "2023 03 04.50000", "18.2", "568"),
                                                ObsLine(kDesig, "2023 03 05.50000", "18.3", "568"),
                                                ObsLine(kDesig, "2023 03 05.50000", "18.4", "568"),
                                                ObsLine(kDesig, "2023 03 05.50000", "18.5", "F51"),
                                                ObsLine(kDesig, "2023 03 06.80000", "18.6", "568"),
                                            }));
  CDeterminationDisplay& view = *m_view;
  OpenObsFile(view, path);
  ASSERT_EQ(view.m_pDetClass->m_nObsCount, 6);
  EXPECT_EQ(view.m_pEngine->m_nCalcState, kCalcLoaded);
  EXPECT_EQ(view.m_szObsFile, path);
  EXPECT_EQ(view.m_strViewCaption, path);
  EXPECT_EQ(view.m_nObsListItemCount, 6);
  EXPECT_EQ(view.GetItemText(kIdResultEdit), kMsgPickHint);
  EXPECT_TRUE(Reported("3個の重複する観測データが見つかりました。"));

  const ObservationRecord* obs = view.m_pDetClass->m_pOrbObs;
  for (int i = 1; i < 6; ++i) EXPECT_LE(obs[i - 1].m_dJdTt, obs[i].m_dJdTt);
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(Mag(obs[i]));
    // The first two of the three equal lines are repeats; the last stays, and so
    // does the same moment at another station.
    const bool repeat = Mag(obs[i]) == 18.1 || Mag(obs[i]) == 18.3;
    EXPECT_EQ(obs[i].m_bDuplicate, repeat);
    EXPECT_EQ(obs[i].m_bRejected, repeat);
    EXPECT_EQ(obs[i].m_bByHand, repeat);
  }
  EXPECT_EQ(view.m_strObjectName, "2023 EA");
  EXPECT_EQ(view.m_strPackNames, "K23E00A");
  EXPECT_EQ(view.IsChecked(kIdAsteroidCheck), 1);
  // Last TT 2023 Mar 6.80080 = JD 2460010.3008: the 40-day grid gives
  // JD 2460040.5 = 2023 Apr 6.0 TT.
  EXPECT_EQ(view.GetItemText(kIdEpochYear) + "/" + view.GetItemText(kIdEpochMonth) + "/" +
                view.GetItemText(kIdEpochDay),
            "2023/4/6.0");

  // Work on the observations, then start again.
  ObservationRecord* work = view.m_pDetClass->m_pOrbObs;
  work[5].m_bRejected = work[5].m_bByHand = 1;
  work[4].m_bPicked = 1;
  work[3].m_dResRa = 1e-5;
  work[3].m_dWeight = 0.5;
  view.m_pEngine->m_nCalcState = kCalcImprovedTwoBody;
  view.SetItemText(kIdResultEdit, "elements");
  OnRedoCalculation(view);
  EXPECT_EQ(view.m_pEngine->m_nCalcState, kCalcLoaded);
  EXPECT_EQ(view.GetItemText(kIdResultEdit), kMsgPickHint);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(work[i].m_bRejected, work[i].m_bDuplicate);
    EXPECT_EQ(work[i].m_bPicked, 0);
    EXPECT_EQ(work[i].m_dResRa, 0.0);
    EXPECT_EQ(work[i].m_dWeight, 1.0);
  }
  // JD 2460020.5 = 2023 Mar 17.0 TT on the 20-day grid.
  EXPECT_EQ(view.GetItemText(kIdEpochYear) + "/" + view.GetItemText(kIdEpochMonth) + "/" +
                view.GetItemText(kIdEpochDay),
            "2023/3/17.0");
}

TEST_F(LoadingTest, ShortArcsStartFromAThousandthOfTheVariationAmounts) {
  struct Case {
    const char* name;
    std::vector<std::string> dates;
    bool scaledOnLoad, scaledOnRedo;
    const char* arc;
  };
  const Case cases[] = {
      {"one observation: arc 0", {"2023 03 06.50000"}, true, false, "0.00"},
      {"arc 2.9 days", {"2023 03 06.50000", "2023 03 09.40000"}, true, true, "2.90"},
      {"arc exactly 3 days", {"2023 03 06.50000", "2023 03 09.50000"}, false, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> lines;
    for (const auto& d : c.dates) lines.push_back(ObsLine(kDesig, d, "18.0", "568"));
    OpenObsFile(*m_view, File("arc.obs", Lines(lines)));
    OrbitEngine& engine = *m_view->m_pEngine;
    ASSERT_EQ(engine.m_nCalcState, kCalcLoaded);
    for (int pass = 0; pass < 2; ++pass) {
      const bool scaled = pass == 0 ? c.scaledOnLoad : c.scaledOnRedo;
      EXPECT_DOUBLE_EQ(engine.m_dVariation[0], scaled ? 1e-6 : 1e-3) << "pass " << pass;
      EXPECT_DOUBLE_EQ(engine.m_dVariation[8], scaled ? 1e-14 : 1e-11) << "pass " << pass;
      if (scaled)
        EXPECT_EQ(engine.m_strPendingNote, std::string("※観測弧が") + c.arc +
                                               "日と短いため、要素変化量を標準の1/1000にして改良を始めます\r\n");
      else
        EXPECT_EQ(engine.m_strPendingNote, "");
      OnRedoCalculation(*m_view);
    }
  }
}

TEST(CometDesignationText, LettersAndForms) {
  struct Case {
    const char* text;
    bool comet;
    char letter;
  };
  const Case cases[] = {
      {"12P", true, 'P'},      {"12P/Name", true, 'P'},  {"C/2023 A3", true, 'C'}, {"  A/2017 U1", true, 'A'},
      {"\t1I (Name)", true, 'I'}, {"2024 YR4", false, 0}, {"(433)", false, 0},       {"12PX", false, 0},
      {"P", false, 0},         {"", false, 0},           {"K/2020 A1", false, 0},
  };
  for (const Case& c : cases) {
    char letter = 0;
    EXPECT_EQ(IsCometDesignationText(c.text, &letter), c.comet) << c.text;
    EXPECT_EQ(letter, c.letter) << c.text;
  }
}

TEST_F(LoadingTest, CometOrAsteroidFromTheFirstDesignation) {
  struct Case {
    const char* desig;
    const char* name;
    int checkBox, engineAsteroid, toolAsteroid;
  };
  const Case cases[] = {
      {"    AK17U010", "A/2017 U1", 0, 0, 1},
      {"    CK23A030", "C/2023 A3", 0, 0, 0},
      {"0012P       ", "12P", 0, 0, 0},
      {"     K24Y04R", "2024 YR4", 1, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.desig);
    OpenObsFile(*m_view, File("guess.obs", Lines({ObsLine(c.desig, "2023 03 06.50000", "18.0", "568"),
                                                  ObsLine("     K23E00A", "2023 03 07.50000", "18.0", "568")})));
    EXPECT_EQ(TrimSpace(m_view->m_strObjectName).substr(0, std::string(c.name).size()), c.name);
    EXPECT_EQ(m_view->IsChecked(kIdAsteroidCheck), c.checkBox);
    EXPECT_EQ(m_view->m_pEngine->m_state.m_bAsteroid, c.engineAsteroid);
    EXPECT_EQ(m_view->m_displayOrbit.m_bAsteroid, c.toolAsteroid);
    EXPECT_NE(m_view->m_strPackNames.find("=K23E00A"), std::string::npos);
  }
}

TEST_F(LoadingTest, AFileThatCannotBeReadLeavesObservationsAndOrbitAsTheyWere) {
  const std::string good = File("good.obs", Lines({ObsLine(kDesig, "2023 03 04.50000", "18.0", "568"),
                                                   ObsLine(kDesig, "2023 03 06.50000", "18.0", "568")}));
  OpenObsFile(*m_view, good);
  CDeterminationDisplay& view = *m_view;
  OrbitEngine& engine = *view.m_pEngine;
  ASSERT_EQ(engine.m_nCalcState, kCalcLoaded);
  // An orbit on screen.
  engine.m_nCalcState = kCalcImprovedTwoBody;
  engine.m_state.m_el.m_dQ = 1.234;
  view.SetItemText(kIdResultEdit, "Orbital elements:");
  const ObservationRecord* before = view.m_pDetClass->m_pOrbObs;

  struct Case {
    const char* name;
    std::string path;
    const char* message;
  };
  const std::string empty = File("empty.obs", "");
  const Case cases[] = {
      {"missing file", s_dir + "absent.obs", "観測ファイルを開くことができませんでした。"},
      {"empty file", empty, "観測ファイルを開くことができませんでした。"},
      {"undecodable bytes", File("bad.obs", std::string("\xFD\xFE\xFF\x80\x81\n", 6)),
       "観測ファイルを開くことができませんでした。"},
      {"no observation line", File("text.obs", "just a note\r\n"), "観測ファイルを開くことができませんでした。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_ui.m_messages.clear();
    OpenObsFile(view, c.path);
    EXPECT_TRUE(Reported(c.message));
    EXPECT_EQ(view.m_pDetClass->m_pOrbObs, before);
    EXPECT_EQ(view.m_pDetClass->m_nObsCount, 2);
    EXPECT_EQ(engine.m_nCalcState, kCalcImprovedTwoBody);
    EXPECT_EQ(engine.m_state.m_el.m_dQ, 1.234);
    EXPECT_EQ(view.GetItemText(kIdResultEdit), "Orbital elements:");
    EXPECT_EQ(view.m_szObsFile, good);
    EXPECT_EQ(view.m_strViewCaption, good);
  }

  // Observations before the planetary file (DE405 of 1960-2060): the file is
  // there, so the refusal names its span and the first observation outside it.
  m_ui.m_messages.clear();
  OpenObsFile(view, File("apollo.obs", Lines({ObsLine(kDesig, "2023 03 04.50000", "18.0", "568"),
                                              ObsLine(kDesig, "1930 12 13.19236", "16.0", "568")})));
  EXPECT_TRUE(Reported("惑星暦ファイルの範囲(1959/12/10～2060/1/30)の前の観測があるため、読み込めません。"));
  EXPECT_TRUE(Reported("範囲外の最初の観測: 1930/12/13.19")) << m_ui.m_messages.back().text;
  EXPECT_FALSE(Reported("DE406"));
  EXPECT_EQ(view.m_strViewCaption, good);
  EXPECT_EQ(view.m_pDetClass->m_pOrbObs, before);

  // Without the station list the reader's own code is reported; nothing changes either.
  m_ui.m_messages.clear();
  {
    ScopedStationsFile none(s_dir + "no-stations.txt");
    OpenObsFile(view, good);
  }
  EXPECT_TRUE(Reported("観測所コードファイル(Stations.txt)を開くことができませんでした。"));
  EXPECT_EQ(view.m_pDetClass->m_pOrbObs, before);
  EXPECT_EQ(engine.m_nCalcState, kCalcImprovedTwoBody);
}

TEST_F(LoadingTest, BatchModeCollectsTheStationQuestionAndLoads) {
  m_view->m_nBatchMode = 1;
  OpenObsFile(*m_view, File("unknown.obs", Lines({ObsLine(kDesig, "2023 03 04.50000", "18.0", "568"),
                                                  ObsLine(kDesig, "2023 03 06.50000", "18.0", "ZZ9")})));
  EXPECT_EQ(m_view->m_pEngine->m_nCalcState, kCalcLoaded);
  EXPECT_EQ(m_view->m_pDetClass->m_nObsCount, 2);
  EXPECT_NE(m_view->m_strBatchMessages.find("観測所コードデータが古いようです。"), std::string::npos);
  for (const auto& m : m_ui.m_messages) EXPECT_EQ(m.buttons, MsgButtons::Ok) << m.text;
}

TEST_F(LoadingTest, InteractiveStationQuestionAnsweredNoKeepsTheObservations) {
  m_ui.m_scriptedAnswers = {MsgAnswer::No};
  OpenObsFile(*m_view, File("unknown.obs", Lines({ObsLine(kDesig, "2023 03 04.50000", "18.0", "568"),
                                                  ObsLine(kDesig, "2023 03 06.50000", "18.0", "ZZ9")})));
  ASSERT_FALSE(m_ui.m_messages.empty());
  EXPECT_EQ(m_ui.m_messages.front().caption, "観測所コードの更新");
  EXPECT_EQ(m_ui.m_messages.front().buttons, MsgButtons::YesNo);
  EXPECT_EQ(m_view->m_pDetClass->m_nObsCount, 2);
  EXPECT_EQ(m_view->m_pEngine->m_nCalcState, kCalcLoaded);
}

// Answered Yes, the offer updates the station list from the Minor Planet
// Center's page through the view and reads the file again: the new code is known.
TEST_F(LoadingTest, InteractiveStationQuestionAnsweredYesUpdatesTheCodesAndReadsAgain) {
  const std::string root = MakeTempDir("codes");
  LocalHttpServer server(root);
  ASSERT_TRUE(server.Running());
  std::string stations;
  ASSERT_TRUE(ReadWholeFile(s_stationsFile, stations));
  ASSERT_TRUE(WriteBytesFile(root + "stations.txt", stations));
  ScopedStationsFile own(root + "stations.txt");
  ASSERT_TRUE(WriteBytesFile(root + "codes.html", "<html><pre>\nCode  Long.   cos      sin    Name\n" + stations +
                                                      "ZZ9  10.0000 0.50000 +0.80000 New site\n</pre></html>"));
  const std::string savedIni = TheApp().m_profile.Path();
  TheApp().m_profile.SetPath(root + "Tessarune.INI");
  ASSERT_TRUE(TheApp().m_profile.WriteString("SYSTEM", "OBSCODESURL", server.Url("/files/codes.html").c_str()));
  m_ui.m_scriptedAnswers = {MsgAnswer::Yes};
  OpenObsFile(*m_view, File("unknown.obs", Lines({ObsLine(kDesig, "2023 03 04.50000", "18.0", "568"),
                                                  ObsLine(kDesig, "2023 03 06.50000", "18.0", "ZZ9")})));
  TheApp().m_profile.SetPath(savedIni);
  EXPECT_TRUE(Reported("観測所コードファイルを更新しました。\r\n\r\n追加: 1件"));
  ASSERT_EQ(m_view->m_pDetClass->m_nObsCount, 2);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(m_view->m_pDetClass->m_pOrbObs[i].m_nUnknownStation, 0) << i;
  EXPECT_EQ(m_view->m_pEngine->m_nCalcState, kCalcLoaded);
}

// The engine's cancel, pressed as the cancel dialog would once the wait has
// pumped a few events.
class CancelOnPumpUi : public HeadlessUiServices {
 public:
  bool PumpOneEvent() override {
    m_busySeen = m_busySeen || m_engine->m_bBusy;
    if (m_engine->m_bBusy && ++m_pumps >= 3) m_engine->m_nCancel = 1;
    return false;
  }
  OrbitEngine* m_engine = nullptr;
  int m_pumps = 0;
  bool m_busySeen = false;
};

// The comet list that a comet's file fetches by itself: a dripping server
// keeps the window served (the engine busy, commands waiting), shows its
// progress in the status bar and gives way to the engine's cancel; the file
// loads without the name and the engine is free afterwards.
TEST_F(LoadingTest, CometListFetchedWhileLoadingGivesWayToCancel) {
  const std::string root = MakeTempDir("cometdrip");
  LocalHttpServer server(root);
  ASSERT_TRUE(server.Running());
  std::string list;
  for (int i = 0; i < 12; ++i)
    list += "0001P         1986 01 20.4321  0.604387  0.966180  111.2268   58.2875  162.3035  20200707   4.0  6.0  "
            "1P/Halley\n";
  ASSERT_TRUE(WriteBytesFile(root + "AllCometEls.txt", list));
  const std::string savedIni = TheApp().m_profile.Path();
  TheApp().m_profile.SetPath(root + "Tessarune.INI");
  // The last 15 bytes a byte every 200 ms: three seconds unless stopped.
  const std::string url =
      server.Url("/deliver?file=AllCometEls.txt&then=drip&ms=200&cut=" + std::to_string(list.size() - 15));
  ASSERT_TRUE(TheApp().m_profile.WriteString("SYSTEM", "COMETELSURL", url.c_str()));
  g_bCometElsDownloadTried = 0;
  g_bCometNamesLoaded = 0;
  g_mapCometNames.clear();
  CancelOnPumpUi ui;
  ui.m_engine = m_view->m_pEngine;
  SetUi(&ui);
  const auto start = std::chrono::steady_clock::now();
  OpenObsFile(*m_view, File("comet.obs", Lines({ObsLine("0001P", "2023 03 04.50000", "18.0", "568"),
                                                ObsLine("0001P", "2023 03 06.50000", "18.0", "568")})));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  SetUi(&m_ui);
  TheApp().m_profile.SetPath(savedIni);
  g_bCometElsDownloadTried = 1;
  EXPECT_LT(elapsed, std::chrono::milliseconds(1500));
  EXPECT_TRUE(ui.m_busySeen);
  EXPECT_EQ(ui.m_status.rfind("AllCometEls.txt を受信中…", 0), 0u) << ui.m_status;
  EXPECT_EQ(m_view->m_pEngine->m_bBusy, 0);
  EXPECT_EQ(m_view->m_pEngine->m_nCancel, 0);
  EXPECT_EQ(TrimSpace(m_view->m_strObjectName), "1P");
  EXPECT_EQ(m_view->m_pEngine->m_nCalcState, kCalcLoaded);
  EXPECT_FALSE(FileExists(TheApp().m_szDataDir + "AllCometEls.txt"));
}

TEST(FetchedObservationPath, CleanedDesignationInTheObservationFolder) {
  const std::string saved = TheApp().m_szObsFolder;
  TheApp().m_szObsFolder = "/tmp/obs";
  EXPECT_EQ(FetchedObservationPath("C/2025 A1"), "/tmp/obs/C_2025 A1.obs");
  EXPECT_EQ(CleanFileNameDesignation("a/b\\c:d*e?f\"g<h>i|j"), "a_b_c_d_e_f_g_h_i_j");
  TheApp().m_szObsFolder = saved;
}

TEST_F(LoadingTest, FetchCommandsDownloadMergeAndOpen) {
  const std::string root = MakeTempDir("fetch");
  LocalHttpServer server(root);
  ASSERT_TRUE(server.Running());
  const std::string saved = TheApp().m_szObsFolder;
  TheApp().m_szObsFolder = root;
  std::string reply = "[{\"OBS80\": \"";
  for (const char* d : {"2023 03 04.50000", "2023 03 06.50000", "2023 03 08.50000"})
    reply += ObsLine(kDesig, d, "18.0", "568") + "\\n";
  reply += "\"}]";
  ASSERT_TRUE(WriteBytesFile(root + "reply_get-obs.json", reply));

  FetchObsAndOpen(*m_view, "2023 EA", 0, "MPCから観測データを取得", server.Url(""));
  EXPECT_EQ(m_view->m_szObsFile, root + "2023 EA.obs");
  EXPECT_EQ(m_view->m_pDetClass->m_nObsCount, 3);
  EXPECT_EQ(m_view->m_pEngine->m_nCalcState, kCalcLoaded);

  // The NEOCP service answers nothing usable: its text is shown, nothing changes.
  m_ui.m_messages.clear();
  FetchObsAndOpen(*m_view, "P21xYz", 1, "NEOCPから観測データを取得", server.Url(""));
  ASSERT_EQ(m_ui.m_messages.size(), 1u);
  EXPECT_EQ(m_ui.m_messages[0].caption, "NEOCPから観測データを取得");
  EXPECT_EQ(m_ui.m_messages[0].icon, MsgIcon::Warning);
  EXPECT_EQ(m_view->m_szObsFile, root + "2023 EA.obs");
  EXPECT_EQ(m_view->m_pDetClass->m_nObsCount, 3);
  TheApp().m_szObsFolder = saved;
  std::filesystem::remove_all(root);
}

}  // namespace

// The pieces of the known-object match that need no catalogue: the row's
// columns with the acceptance and plausibility limits, the log texts, the
// observations a query may use, and the scan folder's file names.
#include <gtest/gtest.h>

#include <cstring>

#include "neocp/known_match.h"
#include "neocp/scan_names.h"
#include "tests/neocp/scan_fixtures.h"

namespace {

IdentCandidate Candidate(const char* name, const char* desig, int comet)
{
  IdentCandidate c{};
  std::strcpy(c.m_szName, name);
  std::strcpy(c.m_szDesig, desig);
  c.m_bComet = comet;
  c.m_dAlong = 0.01;     // 0.6'
  c.m_dCross = -0.002;   // -0.12'
  c.m_dMagDiff = 0.4;    // predicted fainter than seen
  return c;
}

} // namespace

TEST(KnownMatch, AcceptanceAndPlausibilityEdges)
{
  const IdentCandidate apollo = Candidate("(1862) Apollo   ", " 01862 ", 0);
  const IdentCandidate unnamed = Candidate("", "K15TK2F", 0);
  struct Case {
    const char* what;
    const IdentCandidate* candidate;  // null: no refinement succeeded
    double rms, arc;
    bool accepted, plausible;
    const char* note;  // the end of the log line
  };
  const char* shortArc = "右クリックの[連結軌道を計算]で、両方の観測を一度に解いて確かめてください\r\n";
  const Case cases[] = {
      {"3.0 exactly is accepted", &apollo, 3.0, 1.0, true, false, shortArc},
      {"just above 3.0 is not", &apollo, 3.0000001, 1.0, false, false, ""},
      {"1.5 over 0.05 d is plausible", &apollo, 1.5, 0.05, true, true, "個)\r\n"},
      {"a small residual over a short arc", &apollo, 0.3, 0.0499, true, false, shortArc},
      {"no candidate", nullptr, 0, 0.2, false, false, ""},
      {"name empty: the designation", &unnamed, 0.5, 3.0, true, true, "個)\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    NeocpScanRow row = ListRow("P21abcd");
    row.known_name = "old";
    row.known_shift = 9;
    RefinedCandidate best{c.candidate, {c.rms + 1, 0.0123, c.rms, 0.1}};
    EXPECT_EQ(SetKnownObjectColumns(row, 7, c.arc, c.candidate ? &best : nullptr), c.accepted);
    EXPECT_EQ(row.known_checked, 1);
    EXPECT_EQ(row.known_nobs, 7);
    EXPECT_EQ(row.known_arc, c.arc);
    if (!c.accepted) {
      EXPECT_EQ(row.known_name, "");
      EXPECT_EQ(row.known_shift, 0);
      EXPECT_EQ(FormatKnownCandidate(row), "なし");
      continue;
    }
    EXPECT_EQ(IsKnownCandidatePlausible(row), c.plausible);
    EXPECT_EQ(row.known_rms, c.rms);
    EXPECT_EQ(row.known_rms0, c.rms + 1);
    EXPECT_EQ(row.known_shift, 0.0123);
    EXPECT_EQ(row.known_dmag, -0.4);
    const std::string line = FormatKnownMatchLine(row, 3);
    EXPECT_EQ(line.find("[?] ") != std::string::npos, !c.plausible) << line;
    EXPECT_GE(line.size(), std::strlen(c.note));
    EXPECT_EQ(line.compare(line.size() - std::strlen(c.note), std::string::npos, c.note), 0) << line;
    const bool shortNote = line.find("弧が短いので") != std::string::npos;
    const bool residualNote = line.find("観測の誤差より大きい") != std::string::npos;
    EXPECT_EQ(shortNote, !c.plausible && c.arc < 0.05);
    EXPECT_EQ(residualNote, !c.plausible && c.arc >= 0.05);
  }

  NeocpScanRow row = ListRow("P21abcd");
  RefinedCandidate best{&apollo, {1.234, 0.00008, 0.987, 0.1}};
  ASSERT_TRUE(SetKnownObjectColumns(row, 13, 0.1011, &best));
  EXPECT_EQ(row.known_name, "(1862) Apollo");
  EXPECT_EQ(row.known_desig, "01862");
  EXPECT_EQ(FormatKnownMatchLine(row, 2),
            "P21abcd  既知の天体の候補 (1862) Apollo (01862)  予報からのずれ: 経路方向 +0.6' 直交方向 -0.1'  "
            "等級差 -0.4  要素のままの残差 1.2\" → 軌道上の位置を +0.0001日 合わせ直すと 0.99\" "
            "(観測13個・弧0.101日。1段目を通った既知天体 2個)\r\n");
  const IdentCandidate comet = Candidate("C/2020 F3 (NEOWISE)", "CK20F030", 1);
  best.candidate = &comet;
  ASSERT_TRUE(SetKnownObjectColumns(row, 13, 0.01, &best));
  EXPECT_NE(FormatKnownMatchLine(row, 1).find("P21abcd  [?] 既知の彗星の候補 C/2020 F3 (NEOWISE) (CK20F030)"), std::string::npos);
}

TEST(KnownMatch, LogTextsOfTheStartAndTheEnd)
{
  const std::time_t now = 1700000000;
  const std::string fresh = FormatMatchStartLine(now, "/d/MPCORB.DAT", now - 13 * 86400, "");
  EXPECT_EQ(fresh.rfind("―― 既知の天体との照合を開始 ", 0), 0u);
  EXPECT_NE(fresh.find("  MPCORB.DAT: /d/MPCORB.DAT ("), std::string::npos);
  EXPECT_NE(fresh.find(" のもの) ――\r\n"), std::string::npos) << fresh;
  const std::string old = FormatMatchStartLine(now, "/d/MPCORB.DAT", now - 14 * 86400, "/d/AllCometEls.txt");
  EXPECT_NE(old.find(" のもの。14日前なので、それ以後に符号が付いた天体は見つかりません)  AllCometEls.txt: "
                     "/d/AllCometEls.txt ――\r\n"),
            std::string::npos)
      << old;
  EXPECT_EQ(FormatMatchStartLine(now, "/d/M", 0, "").find("のもの"), std::string::npos);

  KnownMatchTotals t;
  t.queries = 3, t.withoutObs = 2, t.asteroids = 6, t.comets = 3, t.matched = 2, t.plausible = 1, t.seconds = 4.4;
  EXPECT_EQ(FormatMatchEndLine(true, t),
            "―― 照合を中止  3天体を照合(観測が無くて照合できなかった天体 2個)  比べた既知の天体 小惑星6個(MPCORB.DAT)・"
            "彗星3個(AllCometEls.txt。楕円軌道のものだけ)  候補の見つかった天体 2個(うち確からしいもの 1個)  所要 4秒 ――\r\n");
  EXPECT_EQ(FormatMatchDoneStatus(t).rfind("照合が終わりました。既知天体の候補が見つかった天体は 2個(この判定だけで確からしいもの 1個)です。", 0), 0u);
}

TEST(KnownMatch, UnknownStationsAreLeftOut)
{
  ObservationRecord obs[5]{};
  const int unknown[4] = {1, 0, 1, 0};
  for (int i = 0; i < 4; ++i) {
    obs[i].m_nUnknownStation = unknown[i];
    obs[i].m_dJdUtc = 2460000.5 + i * 0.1;
  }
  obs[4].m_dJdUtc = -1.0;
  ASSERT_EQ(KeepKnownStationObservations(obs, 4), 2);
  EXPECT_EQ(obs[0].m_dJdUtc, 2460000.6);
  EXPECT_EQ(obs[1].m_dJdUtc, 2460000.8);
  EXPECT_EQ(obs[2].m_dJdUtc, -1.0);
  EXPECT_NEAR(ObservationArc(obs, 2), 0.2, 1e-9);

  for (int i = 0; i < 4; ++i) obs[i].m_nUnknownStation = 1;
  EXPECT_EQ(KeepKnownStationObservations(obs, 2), 0);
}

TEST(KnownMatch, SafeFileNames)
{
  const std::pair<const char*, const char*> cases[] = {
      {"ab12", "ab12_3"},
      {"AB12", "AB12"},
      {"2025 AB/x", "2025_AB_x_256"},
      {"P21abcd+2015 TF202", "P21abcd+2015_TF202_120"},
      {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAa", "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAa"},  // position 31 adds nothing
      {"a:b*c?\"d<e>f|g\\h", "a_b_c__d_e_f_g_h_43669"},
  };
  for (const auto& [desig, expected] : cases) EXPECT_EQ(MakeSafeFileName(desig), expected) << desig;
}

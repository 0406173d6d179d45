// Row actions of the scan table on real observations: loading a row into the
// orbit-determination view, the context menu's text, and the linked orbit of
// the second half of 2015 TF202 with its first half served as the known
// object by a loopback observation service.
#include <gtest/gtest.h>

#include "data/observation_reader.h"
#include "determination/solution_file.h"
#include "engine/ai_improvement.h"
#include "engine/orbit_engine.h"
#include "neocp/batch_orbit.h"
#include "tests/data/test_http_server.h"
#include "tests/neocp/known_real_support.h"
#include "tests/neocp/scan_fixtures.h"

namespace {

class RowActionsReal : public FollowUpReal {
protected:
  void SetUp() override
  {
    FollowUpReal::SetUp();
    if (!m_ready) return;
    m_half1 = ObservationNight("obs/mpc80/orbfit_2015TF202_1.obs", "");
    m_half2 = ObservationNight("obs/mpc80/orbfit_2015TF202_2.obs", "");
    if (m_half1.empty() || m_half2.empty()) GTEST_SKIP() << MissingDataMessage("obs/mpc80/orbfit_2015TF202_*.obs");
    m_serverDir = MakeTempDir("row_actions_server");
    m_server = std::make_unique<LocalHttpServer>(m_serverDir);
    ASSERT_TRUE(m_server->Running());
    m_dlg->m_strServiceUrl = m_server->Url("");
    m_scoped = std::make_unique<ScopedUi>(m_ui);
  }
  void Serve(const char* route, const std::string& lines)
  {
    ASSERT_TRUE(WriteBytesFile(m_serverDir + "reply_" + route + ".json", ObservationReply(lines)));
  }
  NeocpScanRow MatchedRow(const std::string& desig, const std::string& obsLines)
  {
    NeocpScanRow row = ListRow(desig);
    if (!obsLines.empty()) row.obs_path = WriteTestFile(m_dir, desig + ".obs", obsLines);
    row.known_checked = 1;
    row.known_name = "2015 TF202";
    row.known_desig = "K15TK2F";
    return row;
  }
  std::string m_half1, m_half2, m_serverDir;
  std::unique_ptr<LocalHttpServer> m_server;
  HeadlessUiServices m_ui;
  std::unique_ptr<ScopedUi> m_scoped;
};

std::string FirstLines(const std::string& text, int n)
{
  size_t at = 0;
  for (int i = 0; i < n && at != std::string::npos; ++i) at = text.find('\n', at) + 1;
  return text.substr(0, at);
}

} // namespace

TEST_F(RowActionsReal, LinkedOrbitOfTf202SolvesBelowOneArcsecond)
{
  Serve("get-obs", m_half1);
  SetTable({MatchedRow("TF202b", m_half2), MatchedRow("inside", FirstLines(m_half1, 5))});

  m_dlg->ComputeLinkedOrbit(0);
  const std::string joined = m_dlg->m_strScanDir + "/TF202b+K15TK2F_32.obs";
  EXPECT_NE(ReadTestFile(m_serverDir + "request_get-obs.body").find("\"desigs\": [\"K15TK2F\"]"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(m_dlg->m_strScanDir + "/_work/K15TK2F.obs"));
  EXPECT_EQ(m_dlg->m_strLog, "TF202b   連結 2015 TF202 (K15TK2F) + TF202b: 既知天体の観測17個 ＋ この天体の観測11個 = 28個  →  " +
                                 joined + "\r\n");
  EXPECT_EQ(m_dlg->GetItemText(kIdScanStatus),
            "TF202b と 2015 TF202 の観測 28個を軌道計算の画面に読み込みました。[AI]か[自動]で解いて、全部の観測に合う1つの軌道になるか確かめてください");
  EXPECT_EQ(m_view->m_szObsFile, joined);
  EXPECT_EQ(m_view->m_pDetClass->m_nObsCount, 28);
  EXPECT_EQ(m_dlg->m_nMainRaised, 1);
  EXPECT_TRUE(Row(0).obs_path.find("TF202b.obs") != std::string::npos);  // the row is unchanged

  // The developer's [AI] on the joined set: one orbit through both halves.
  m_view->m_nBatchMode = 1;
  OnAiImprove(*m_view);
  m_view->m_nBatchMode = 0;
  std::printf("AI improvement of the joined set: result %d, mean residual %.3f\"\n", m_view->m_nAiResult,
              m_view->m_pEngine->m_dMeanResidual);
  EXPECT_EQ(m_view->m_nAiResult, 0);
  EXPECT_GT(m_view->m_pEngine->m_dMeanResidual, 0);
  EXPECT_LT(m_view->m_pEngine->m_dMeanResidual, 1.0);

  // A row whose lines all lie in the known set adds nothing.
  m_dlg->m_strLog.clear();
  m_dlg->ComputeLinkedOrbit(1);
  EXPECT_NE(m_dlg->m_strLog.find(": 既知天体の観測17個 ＋ この天体の観測0個(ほかの5個は同じ観測が既知天体側にもあるので足していません。"
                                 "MPCが既に同定済み) = 17個  →  "),
            std::string::npos)
      << m_dlg->m_strLog;
  EXPECT_EQ(m_view->m_pDetClass->m_nObsCount, 17);
}

TEST_F(RowActionsReal, DoubleClickLoadsFetchesOrRefuses)
{
  // A solution of the second half to load with its observations.
  NeocpScanRow solved = ListRow("TF202b");
  solved.obs_path = WriteTestFile(m_dir, "tf202b.obs", m_half2);
  solved.best_path = m_dir + "TF202b_best_EX.IMP";
  ASSERT_EQ(SolveIntoSolutionFiles(solved.obs_path, {solved.best_path}), "");
  std::string message;
  const double T = m_view->m_pEngine->m_state.m_el.m_dT;
  NeocpScanRow plain = ListRow("plain1");
  plain.obs_path = WriteTestFile(m_dir, "plain1.obs", m_half1);
  NeocpScanRow fetched = ListRow("P21fetch");
  NeocpScanRow gone = ListRow("gone1");
  gone.list_state = 2;
  NeocpScanRow local = ListRow("local1");
  local.list_state = kListLocalFile;
  local.source_path = WriteTestFile(m_dir, "local1.obs", m_half1);
  SetTable({solved, plain, fetched, gone, local});
  Serve("get-obs-neocp", m_half1);
  LoadScanObject(*m_view, plain.obs_path, "", message);  // another object in the view first

  struct Case {
    const char* what;
    int row;
    const char* status;
    int obsCount;  // in the view afterwards, -1 unchanged
  };
  const Case cases[] = {
      {"observations and orbit", 0, "TF202b の観測と名目軌道を、軌道計算の画面に読み込みました", 11},
      {"observations only", 1, "plain1 の観測を、軌道計算の画面に読み込みました(名目軌道の記録はありません)", 17},
      {"fetched from the NEOCP", 2, "P21fetch の観測を、軌道計算の画面に読み込みました(名目軌道の記録はありません)", 17},
      {"off the list without a file", 3,
       "gone1: 観測の記録が無いので読み込めません(NEOCPから外れた天体の観測は、もう受信できません)", -1},
      {"a local file", 4, "local1 の観測を、軌道計算の画面に読み込みました(名目軌道の記録はありません)", 17},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.obsCount < 0) LoadScanObject(*m_view, solved.obs_path, "", message);
    const int before = m_view->m_pDetClass->m_nObsCount;
    m_dlg->OnRowDoubleClick(m_dlg->FindListItem(c.row));
    EXPECT_EQ(m_dlg->GetItemText(kIdScanStatus), c.status);
    EXPECT_EQ(m_view->m_pDetClass->m_nObsCount, c.obsCount < 0 ? before : c.obsCount);
    if (c.row == 0) {
      EXPECT_NEAR(m_view->m_pEngine->m_state.m_el.m_dT, T, 1e-9);
    }
  }
  EXPECT_TRUE(m_ui.m_messages.empty());

  // The fetched path is not kept: a second double-click fetches again.
  const std::string fetchedFile = m_dlg->m_strScanDir + "/P21fetch_248.obs";
  ASSERT_TRUE(std::filesystem::remove(fetchedFile));
  EXPECT_TRUE(Row(2).obs_path.empty());
  m_dlg->OnRowDoubleClick(m_dlg->FindListItem(2));
  EXPECT_TRUE(std::filesystem::exists(fetchedFile));

  // A failed fetch, then a busy engine.
  std::filesystem::remove(m_serverDir + "reply_get-obs-neocp.json");
  std::filesystem::remove(fetchedFile);
  m_dlg->OnRowDoubleClick(m_dlg->FindListItem(2));
  EXPECT_EQ(m_dlg->GetItemText(kIdScanStatus).rfind("P21fetch: 観測を受信できませんでした(", 0), 0u);
  m_view->m_pEngine->m_bBusy = 1;
  m_dlg->OnRowDoubleClick(m_dlg->FindListItem(1));
  m_view->m_pEngine->m_bBusy = 0;
  EXPECT_EQ(m_dlg->GetItemText(kIdScanStatus), "読み込めませんでした。");
  ASSERT_EQ(m_ui.m_messages.size(), 1u);
  EXPECT_EQ(m_ui.m_messages[0].caption, "軌道計算の画面への読み込み");
  EXPECT_EQ(m_ui.m_messages[0].text, kMsgOtherCalculationRunning);

  // Nothing while a scan runs.
  m_dlg->m_bRunning = 1;
  m_dlg->SetStatusText("");
  m_dlg->OnRowDoubleClick(m_dlg->FindListItem(0));
  m_dlg->m_bRunning = 0;
  EXPECT_EQ(m_dlg->GetItemText(kIdScanStatus), "");
}

TEST_F(RowActionsReal, MenuTextAndLinkFailures)
{
  NeocpScanRow none = ListRow("nomatch");
  none.obs_path = WriteTestFile(m_dir, "nomatch.obs", m_half2);
  NeocpScanRow gone = MatchedRow("gone1", "");
  gone.list_state = 3;
  SetTable({MatchedRow("TF202b", m_half2), none, gone});

  struct Case {
    int row;
    bool running;
    bool menu, enabled;
    const char* label;
  };
  const Case cases[] = {
      {0, false, true, true, "連結軌道を計算(&L)   TF202b + 2015 TF202"},
      {0, true, true, false, "連結軌道を計算(&L)   TF202b + 2015 TF202"},
      {1, false, true, false, "連結軌道を計算(&L)   nomatch + (候補なし)"},
      {3, false, false, false, ""},
      {-1, false, false, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    m_dlg->m_selection.clear();
    m_dlg->m_bRunning = c.running;
    std::string label;
    bool enabled = !c.enabled;
    EXPECT_EQ(m_dlg->PrepareRowMenu(c.row, label, enabled), c.menu);
    m_dlg->m_bRunning = 0;
    if (!c.menu) continue;
    EXPECT_EQ(label, c.label);
    EXPECT_EQ(enabled, c.enabled);
    EXPECT_EQ(m_dlg->m_selection, std::vector<int>{m_dlg->FindListItem(c.row)});
  }

  // No known object's observations: the status and the log say so.
  m_dlg->ComputeLinkedOrbit(0);
  const std::string failed = "TF202b: 2015 TF202 の観測を受信できませんでした(";
  EXPECT_EQ(m_dlg->GetItemText(kIdScanStatus).rfind(failed, 0), 0u);
  EXPECT_EQ(m_dlg->m_strLog.rfind(failed, 0), 0u);
  // Off the list without a file; a row without candidate does nothing.
  m_dlg->ComputeLinkedOrbit(2);
  EXPECT_EQ(m_dlg->GetItemText(kIdScanStatus),
            "gone1: 観測の記録が無いので連結できません(NEOCPから外れた天体の観測は、もう受信できません)");
  m_dlg->SetStatusText("");
  m_dlg->ComputeLinkedOrbit(1);
  EXPECT_EQ(m_dlg->GetItemText(kIdScanStatus), "");
  EXPECT_TRUE(m_ui.m_messages.empty());
}

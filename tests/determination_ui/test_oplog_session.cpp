// The operation log in the running program (under xvfb-run): switched on by
// command 32802, it records a manual and an automatic improvement of 2015 AB
// (37 observations); switched off and on it goes on in a file; at exit the
// clean-up keeps it and deletes a log that recorded no calculation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "app/tessarune_wx_app.h"
#include "determination/ui/determination_view.h"
#include "engine/orbit_engine.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "resources/determination_ids.h"
#include "tests/common/test_data.h"
#include "tests/determination_ui/view_session.h"

namespace {

void Append(std::vector<ViewStep>& steps, std::vector<ViewStep> more)
{
  for (ViewStep& s : more)
    steps.push_back(std::move(s));
}

size_t Count(const std::string& text, const std::string& part)
{
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
    ++n;
  return n;
}

// Checks each calculation-start block: its rows and that its counts add up.
void CheckStartBlocks(const std::string& log, size_t blocks)
{
  const std::string marker = "残差一覧(計算前):";
  size_t found = 0;
  for (size_t at = log.find(marker); at != std::string::npos; at = log.find(marker, at + 1), ++found) {
    const size_t rowsBegin = log.find("\r\n", at) + 2;
    const size_t countsAt = log.find("観測数: ", rowsBegin);
    ASSERT_NE(countsAt, std::string::npos);
    const std::string rows = log.substr(rowsBegin, countsAt - rowsBegin);
    EXPECT_EQ(Count(rows, "\r\n"), 37u);
    int used = -1, rejected = -1, unknown = -1;
    ASSERT_EQ(std::sscanf(log.c_str() + countsAt, "観測数: 有効=%d 除外=%d コード不明=%d", &used, &rejected, &unknown), 3);
    EXPECT_EQ(static_cast<size_t>(rejected), Count(rows, " R"));
    EXPECT_EQ(static_cast<size_t>(unknown), Count(rows, " X"));
    EXPECT_EQ(used + rejected + unknown - static_cast<int>(Count(rows, " R X")), 37);
  }
  EXPECT_EQ(found, blocks);
}

} // namespace

TEST(OpLogSession, RecordsManualAndAutomaticImprovementAndSurvivesExit)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(obsFile, "obs/mpc80/orbfit_2015AB.obs");
  ViewSession session("oplog_session");
  const std::string unused = session.m_dir + "bin/Tessarune_OpLog_20200101_000000.txt";
  WriteFileAtomic(unused, "\xEF\xBB\xBF[2020/01/01 00:00:00] === 操作ログの記録を開始 ===\r\n"
                          "[2020/01/01 00:00:05] === 操作ログの記録を停止 ===\r\n");
  auto view = [] { return ViewSession::View(); };
  auto idle = [view] { return !EngineBusy(view()->m_pEngine) && !view()->m_pEngine->m_bAutoRunning; };
  std::string firstPath, secondPath, log, afterToggles, second, calcLog;
  std::vector<ViewStep> steps = {
      {"loaded", nullptr, [view] { return view() && view()->m_pEngine->m_nCalcState == 1; }},
      {"log on", [] { ViewSession::PostCommand(ID_OPLOG_TOGGLE); }, [view] { return view()->m_bOpLog == 1; }},
      {"path", [&] { firstPath = view()->m_strOpLogPath; }, nullptr},
  };
  Append(steps, ViewSession::ClickObsRowSteps(14, [view] { return view()->m_pEngine->m_nCalcState == 2; }));
  Append(steps, ViewSession::ClickObsRowSteps(24, [view] { return view()->m_nPicked == 2; }));
  Append(steps, ViewSession::ClickObsRowSteps(36, [view] { return view()->m_pEngine->m_nCalcState == 3; }));
  Append(steps, ViewSession::ClickControlSteps(kIdManualImprove, [view, idle] {
           return view()->m_pEngine->m_nCalcState >= 4 && idle();
         }));
  Append(steps, ViewSession::ClickControlSteps(kIdAutoImprove, idle));
  steps.push_back({"wait for the end block", nullptr, [&] {
                     std::string bytes;
                     return ReadWholeFile(firstPath, bytes) && bytes.find("[自動]改良 終了") != std::string::npos;
                   },
                   180});
  steps.push_back({"read", [&] {
                     ReadWholeFile(firstPath, log);
                     calcLog = view()->m_strCalcLog;
                   },
                   nullptr});
  Append(steps, ViewSession::ClickTabSteps(1, [view] { return view()->IsItemVisible(kIdCalcLogEdit); }));
  steps.push_back({"screenshot", [] { ViewSession::SaveScreenshot(wxGetApp().MainFrame(), "oplog_session"); }, nullptr,
                   30, 0.5});
  steps.push_back({"off and on", [] {
                     ViewSession::PostCommand(ID_OPLOG_TOGGLE);
                     ViewSession::PostCommand(ID_OPLOG_TOGGLE);
                   },
                   [view] { return view()->m_bOpLog == 1 && view()->m_strOpLogPath.size() > 0; }, 30, 0.3});
  steps.push_back({"read again", [&] {
                     secondPath = view()->m_strOpLogPath;
                     ReadWholeFile(firstPath, afterToggles);
                     ReadWholeFile(secondPath, second);
                   },
                   nullptr});
  ASSERT_TRUE(session.Run({obsFile}, std::move(steps)));
  EXPECT_EQ(session.FailedSteps(), "");

  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.compare(0, 3, "\xEF\xBB\xBF"), 0);
  EXPECT_EQ(Count(log, "\xEF\xBB\xBF"), 1u);
  EXPECT_EQ(Count(log, "\n"), Count(log, "\r\n")) << "a line without CR LF";
  EXPECT_EQ(log.compare(log.size() - 2, 2, "\r\n"), 0);
  EXPECT_EQ(Count(log, "=== [手動]改良 開始 ==="), 1u);
  EXPECT_EQ(Count(log, "=== [自動]改良 開始 ==="), 1u);
  EXPECT_EQ(Count(log, "=== [手動]改良 終了 (result="), 1u);
  EXPECT_EQ(Count(log, "=== [自動]改良 終了"), 1u);
  CheckStartBlocks(log, 2);
  EXPECT_NE(log.find("観測ファイル: " + obsFile), std::string::npos);
  EXPECT_EQ(calcLog.find("※操作ログに書き込めなかった"), std::string::npos);

  // Off and on: the stop line; within the same second the same file goes on
  // without a second mark, else a new file begins with one.
  EXPECT_NE(afterToggles.find("=== 操作ログの記録を停止 ===\r\n"), std::string::npos);
  ASSERT_FALSE(second.empty());
  if (secondPath == firstPath) {
    EXPECT_EQ(Count(afterToggles, "\xEF\xBB\xBF"), 1u);
    EXPECT_EQ(Count(afterToggles, "=== 操作ログの記録を開始 ==="), 2u);
  } else {
    EXPECT_EQ(second.compare(0, 3, "\xEF\xBB\xBF"), 0);
    EXPECT_FALSE(FileExists(secondPath));  // only its start line: removed at exit
  }
  // The exit's clean-up kept the log of the calculations and removed the other.
  EXPECT_TRUE(FileExists(firstPath));
  EXPECT_FALSE(FileExists(unused));
}

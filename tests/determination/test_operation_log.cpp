// The operation log of the view without its window: switching it on and off
// (file name from the clock, byte-order mark once, a file that cannot be
// made), the blocks around a calculation and a block that cannot be written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "determination/oplog_cleanup.h"
#include "data/observation_record.h"
#include "determination/determination_display.h"
#include "determination/operation_log.h"
#include "engine/orbit_engine.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/ui_services.h"
#include "resources/determination_ids.h"

namespace {

constexpr double kRadPerArcsec = 3.141592653589793 / (180.0 * 3600.0);

// A view whose clock reads 2024-01-02 03:04:05.
class ClockedView : public CDeterminationDisplay {
public:
  ClockedView() : CDeterminationDisplay(false) {
    m_now.tm_year = 124;
    m_now.tm_mon = 0;
    m_now.tm_mday = 2;
    m_now.tm_hour = 3;
    m_now.tm_min = 4;
    m_now.tm_sec = 5;
  }
  std::tm m_now{};

protected:
  std::tm LocalTimeNow() override { return m_now; }
};

class OperationLogTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_dir = TempFolder() + "oplog_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "/";
    std::filesystem::remove_all(m_dir);
    std::filesystem::create_directories(m_dir);
    m_savedDataDir = TheApp().m_szDataDir;
    TheApp().m_szDataDir = m_dir;
  }
  void TearDown() override { TheApp().m_szDataDir = m_savedDataDir; }

  std::string Read(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(path, bytes)) << path;
    return bytes;
  }

  HeadlessUiServices m_ui;
  ScopedUi m_scoped{m_ui};
  std::string m_dir, m_savedDataDir;
};

const std::string kBom = "\xEF\xBB\xBF";
const std::string kStart = "[2024/01/02 03:04:05] === 操作ログの記録を開始 ===\r\n";
const std::string kStop = "[2024/01/02 03:04:05] === 操作ログの記録を停止 ===\r\n";

} // namespace

TEST_F(OperationLogTest, SwitchedOnAndOffWithinOneSecondAppendsToOneFile) {
  ClockedView view;
  view.OnOpLogToggle();
  const std::string path = m_dir + "Tessarune_OpLog_20240102_030405.txt";
  EXPECT_EQ(view.m_bOpLog, 1);
  EXPECT_EQ(view.m_strOpLogPath, path);
  ASSERT_EQ(m_ui.m_messages.size(), 1u);
  EXPECT_EQ(m_ui.m_messages[0].caption, "Tessarune");
  EXPECT_EQ(m_ui.m_messages[0].text, "操作ログの記録を開始しました。\n出力先: " + path);
  view.WriteOpLogLine("[要素変化法を並列計算] OFF");
  view.OnOpLogToggle();
  EXPECT_EQ(view.m_bOpLog, 0);
  EXPECT_EQ(view.m_strOpLogPath, "");
  EXPECT_EQ(m_ui.m_messages.size(), 1u);  // switching off says nothing
  view.OnOpLogToggle();
  EXPECT_EQ(Read(path), kBom + kStart + "[2024/01/02 03:04:05] [要素変化法を並列計算] OFF\r\n" + kStop + kStart);

  // The next second is a new file; a file deleted while the log is on comes
  // back with its mark.
  view.OnOpLogToggle();
  view.m_now.tm_sec = 6;
  view.OnOpLogToggle();
  const std::string second = m_dir + "Tessarune_OpLog_20240102_030406.txt";
  std::filesystem::remove(second);
  view.WriteOpLogLine(nullptr);
  EXPECT_EQ(Read(second), kBom + "[2024/01/02 03:04:06] \r\n");
  // Nothing but start, stop and stamped lines: the clean-up at exit takes it.
  EXPECT_EQ(Read(path).find(kOpLogCalcMarker), std::string::npos);
}

// The log is not switched on when its start line cannot be written, and a
// block lost later is noted once in the calculation log while the log stays on.
TEST_F(OperationLogTest, AFileThatCannotBeWrittenIsReported) {
  ClockedView view;
  TheApp().m_szDataDir = m_dir + "missing/";
  view.OnOpLogToggle();
  EXPECT_EQ(view.m_bOpLog, 0);
  EXPECT_EQ(view.m_strOpLogPath, "");
  ASSERT_EQ(m_ui.m_messages.size(), 1u);
  EXPECT_EQ(m_ui.m_messages[0].text.find("操作ログを作成できなかったため、記録を開始しませんでした。\n出力先: " + m_dir +
                                         "missing/Tessarune_OpLog_20240102_030405.txt\n"),
            0u)
      << m_ui.m_messages[0].text;
  EXPECT_EQ(m_ui.m_messages[0].icon, MsgIcon::Warning);

  TheApp().m_szDataDir = m_dir + "later/";
  std::filesystem::create_directories(m_dir + "later");
  view.OnOpLogToggle();
  ASSERT_EQ(view.m_bOpLog, 1);
  std::filesystem::remove_all(m_dir + "later");
  view.WriteOpLogLine("lost 1");
  view.WriteOpLogLine("lost 2");
  EXPECT_EQ(view.m_bOpLog, 1);
  const std::string note = "※操作ログに書き込めなかったため、記録の一部が失われました(記録は続けます)。";
  const size_t first = view.m_strCalcLog.find(note);
  EXPECT_NE(first, std::string::npos) << view.m_strCalcLog;
  EXPECT_EQ(view.m_strCalcLog.find(note, first + 1), std::string::npos);
  std::filesystem::create_directories(m_dir + "later");
  view.WriteOpLogLine("kept");
  EXPECT_EQ(Read(view.m_strOpLogPath), kBom + "[2024/01/02 03:04:05] kept\r\n");
}

TEST(OperationLogText, NonGravitationalSettingOfEachModel) {
  struct Case {
    int computed, model, a3;
    double r0, dt;
    const char* text;
  } cases[] = {
      {0, 1, 1, 10.8, 5.0, "なし"},
      {1, 1, 1, 10.8, 0.0, "薮下理論(CO・N2)(Y1Y2Y3)"},
      {1, 0, 0, 10.8, 0.0, "マースデンTypeII(水氷)(A1A2)"},
      {1, 2, 1, 10.8, 0.0, "CO2(A1A2A3) r0=10.8"},
      {1, 3, 1, 10.8, -12.5, "太陽光圧(A1のみ) DT=-12.5日"},
      {1, 0, 0, 10.8, 30.0, "マースデンTypeII(水氷)(A1A2) DT=+30日"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatNonGravSetting(c.computed, c.model, c.a3, c.r0, c.dt), c.text) << c.model;
}

// Three observations: one plain with a weight that differs from 1 by 1e-10,
// one rejected by hand from an unknown station, one of weight 0.5; then the
// end record. The counts put the second under 除外 and コード不明 only.
TEST_F(OperationLogTest, CalculationBlocksAroundARun) {
  ClockedView view;
  view.OnOpLogToggle();
  auto* obs = static_cast<ObservationRecord*>(std::calloc(4, sizeof(ObservationRecord)));
  const struct {
    double jdTt, resRa, resDec, weight;
    const char* station;
    int rejected, byHand, unknown;
  } rows[] = {
      {2460000.5, 1.5, -0.3, 1.0 + 1e-10, "568", 0, 0, 0},
      {2460001.25, -12.31, 40.0, 1.0, "XXX", 1, 1, 1},
      {2460002.75, 0.04, 0.06, 0.5, "G96", 0, 0, 0},
  };
  for (int i = 0; i < 3; ++i) {
    ObservationRecord& o = obs[i];
    o.m_dJdUtc = o.m_dJdTt = rows[i].jdTt;
    o.m_dResRa = rows[i].resRa * kRadPerArcsec;
    o.m_dResDec = rows[i].resDec * kRadPerArcsec;
    o.m_dWeight = rows[i].weight;
    std::snprintf(o.m_szStation, sizeof o.m_szStation, "%s", rows[i].station);
    o.m_bRejected = static_cast<unsigned char>(rows[i].rejected);
    o.m_bByHand = static_cast<unsigned char>(rows[i].byHand);
    o.m_nUnknownStation = rows[i].unknown;
  }
  obs[3].m_dJdUtc = -1.0;
  view.m_pDetClass->m_pOrbObs = obs;
  view.m_pDetClass->m_nObsCount = 3;
  view.m_strPackNames = "K15A00B";
  view.m_szObsFile = "/obs/2015AB.obs";
  view.SetItemText(kIdStepCombo, "自動");
  view.SetItemText(kIdRejectYear, "1820");
  view.SetItemText(kIdRejectOld, "6.0");
  view.SetItemText(kIdRejectNew, "2.0");
  view.SetItemText(kIdEpochYear, "2024");
  view.SetItemText(kIdEpochMonth, "1");
  view.SetItemText(kIdEpochDay, "2.5");
  view.m_pEngine->m_bPerturbations = 1;
  view.m_pEngine->m_nAsteroidSet = 1;

  view.WriteOpLogCalcStart("[手動]改良 開始");
  const std::string start =
      std::string(80, '-') + "\r\n" +
      "[2024/01/02 03:04:05] === [手動]改良 開始 ===\r\n"
      "天体: K15A00B  観測ファイル: /obs/2015AB.obs\r\n"
      "設定: 摂動計算=あり 小惑星=M-Pv (1)(2)(4) 非重力=なし 相対論=ON J2=ON 元期=自動 離心率固定=なし "
      "Apophisモード=OFF 並列=ON 積分間隔=自動 Reject欄=1820年以前 6.0\"/以後 2.0\" Epoch欄=2024/1/2.5\r\n"
      "軌道要素(計算前): " + view.FormatElementSummaryLine(1) + "\r\n" +
      "要素変化量(計算前): " + view.FormatVariationLine() + " 自動変更=あり\r\n" +
      "残差一覧(計算前): 番号 年 月 日 コード RA\" Dec\" 印(R=除外 F=手動除外 X=コード不明 Wn=ウエイト)\r\n"
      "    1 2023  2  25.0000 568      1.5     -0.3\r\n"
      "    2 2023  2  25.7500 XXX    -12.3     40.0 R F X\r\n"
      "    3 2023  2  27.2500 G96      0.0      0.1 W0.5\r\n"
      "観測数: 有効=2 除外=1 コード不明=1\r\n";

  OrbitEngine& e = *view.m_pEngine;
  e.m_dwBusyElapsed = 12345;
  e.m_nRingEntries = 250;
  e.m_dEphSeconds = 0.5;
  e.m_dProducerCpu = 0.25;
  e.m_dWorkerCpu = 3.0;
  e.m_dCallerCpu = 1.125;
  e.m_state.m_dStep = -0.03125;
  e.m_strStepNotes = "※注記\r\n";
  view.WriteOpLogCalcEnd("[手動]改良 終了", -1);
  const std::string end = "[2024/01/02 03:04:05] === [手動]改良 終了 (result=-1) ===\r\n"
                          "所要時間: 12.345秒  (並列: 250ステップ 暦読み 0.500秒 / CPU 暦読み 0.250秒 変分軌道計 3.000秒 "
                          "基準軌道 1.125秒)\r\n"
                          "積分間隔(実際): 45分(0.03125日)\r\n"
                          "軌道要素(結果): " + view.FormatElementSummaryLine(1) + "\r\n" +
                          "要素変化量(結果): " + view.FormatVariationLine() + "\r\n" + "注記: ※注記\r\n";
  // A fixed step and a serial run: neither the actual step nor the parallel figures.
  view.SetItemText(kIdStepCombo, "1日");
  e.m_nRingEntries = 0;
  e.m_strStepNotes.clear();
  view.WriteOpLogCalcEnd(nullptr, 0);
  const std::string plainEnd = "[2024/01/02 03:04:05] ===  (result=0) ===\r\n所要時間: 12.345秒\r\n"
                               "軌道要素(結果): " + view.FormatElementSummaryLine(1) + "\r\n" +
                               "要素変化量(結果): " + view.FormatVariationLine() + "\r\n";
  EXPECT_EQ(Read(view.m_strOpLogPath), kBom + kStart + start + end + plainEnd);
  EXPECT_NE(Read(view.m_strOpLogPath).find(kOpLogCalcMarker), std::string::npos);

  // Off: no block.
  const std::string path = view.m_strOpLogPath;
  view.OnOpLogToggle();
  view.WriteOpLogCalcStart("x");
  view.WriteOpLogCalcEnd("x", 0);
  EXPECT_EQ(Read(path), kBom + kStart + start + end + plainEnd + kStop);
}

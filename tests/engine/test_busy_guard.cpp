#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "engine/orbit_engine.h"
#include "platform/ui_services.h"

namespace {

class FakeClock : public EngineClock {
public:
  uint32_t TickMs() override { return m_now; }
  void SleepMs(uint32_t ms) override {
    m_now += ms;
    ++m_sleeps;
  }
  uint32_t m_now = 1000;
  int m_sleeps = 0;
};

// A dialog service whose dialog never comes up.
class SilentDialogs : public CancelDialogService {
public:
  void Open(OrbitEngine&, int*) override { ++m_nOpened; }
  void PostClose(OrbitEngine&, void*) override { ++m_nCloses; }
  bool IsLiveWindow(void*) const override { return false; }
  int m_nOpened = 0;
  int m_nCloses = 0;
};

class TextWindow : public EngineWindow {
public:
  std::string GetText() const override { return m_strText; }
  void SetText(const std::string& text) override { m_strText = text; }
  void SetProgress(int percent) override { m_nProgress = percent; }
  std::string m_strText;
  int m_nProgress = 0;
};

class ScopedCancelDialogs {
public:
  explicit ScopedCancelDialogs(CancelDialogService& s) { SetCancelDialogs(&s); }
  ~ScopedCancelDialogs() { SetCancelDialogs(nullptr); }
};

class BusyGuard : public ::testing::Test {
protected:
  BusyGuard() : m_scopedUi(m_ui), m_scopedDialogs(m_dialogs) { m_engine.m_pClock = &m_clock; }

  int PumpAt(uint32_t msSinceStart) {
    m_clock.m_now = m_start + msSinceStart;
    return PumpAndCheckCancel(&m_engine);
  }
  void Begin() {
    m_start = m_clock.m_now;
    ASSERT_EQ(BeginBusy(&m_engine), 0);
  }

  HeadlessUiServices m_ui;
  ScopedUi m_scopedUi;
  HeadlessCancelDialogs m_dialogs;
  ScopedCancelDialogs m_scopedDialogs;
  FakeClock m_clock;
  OrbitEngine m_engine;
  uint32_t m_start = 0;
};

TEST_F(BusyGuard, SecondCalculationIsRefused) {
  Begin();
  EXPECT_EQ(BeginBusy(&m_engine), -1);
  EXPECT_EQ(m_engine.m_bBusy, 1);
  EXPECT_STREQ(kMsgOtherCalculationRunning, "ほかの計算を実行中です。終わってからもう一度お試しください。");
  EndBusy(&m_engine);
  EXPECT_EQ(BeginBusy(&m_engine), 0);
}

TEST_F(BusyGuard, CommandsAreRefusedWhileACalculationOrAnAutomaticRunDrivesTheEngine) {
  EXPECT_FALSE(EngineBusy(&m_engine));
  m_engine.m_bAutoRunning = 1;  // an automatic procedure between its steps
  EXPECT_TRUE(EngineBusy(&m_engine));
  EXPECT_EQ(BeginBusyCommand(&m_engine), -1);
  EXPECT_EQ(m_engine.m_bBusy, 0);
  EXPECT_EQ(BeginBusy(&m_engine), 0);  // the automatic procedure itself takes the guard
  m_engine.m_bAutoRunning = 0;
  EXPECT_TRUE(EngineBusy(&m_engine));
  EXPECT_EQ(BeginBusyCommand(&m_engine), -1);
  EndBusy(&m_engine);
  m_engine.m_nCancel = 1;  // left over from an earlier run
  EXPECT_EQ(BeginBusyCommand(&m_engine), 0);
  EXPECT_EQ(m_engine.m_nCancel, 0);
}

TEST_F(BusyGuard, NotBusyNeitherPumpsNorCancels) {
  m_clock.m_now += 5000;
  EXPECT_EQ(PumpAndCheckCancel(&m_engine), 0);
  EXPECT_EQ(m_ui.m_pumps, 0);
  EXPECT_EQ(m_dialogs.m_nOpened, 0);
}

TEST_F(BusyGuard, PumpsOneEventPer100Milliseconds) {
  Begin();
  const struct {
    uint32_t at;
    int pumps;
  } steps[] = {{0, 0}, {99, 0}, {100, 1}, {150, 1}, {199, 1}, {200, 2}, {450, 3}, {460, 3}};
  for (const auto& s : steps) {
    SCOPED_TRACE(s.at);
    EXPECT_EQ(PumpAt(s.at), 0);
    EXPECT_EQ(m_ui.m_pumps, s.pumps);
  }
}

TEST_F(BusyGuard, ShortCalculationShowsNoDialogAndDoesNotWait) {
  Begin();
  EXPECT_EQ(PumpAt(2999), 0);
  EXPECT_EQ(m_dialogs.m_nOpened, 0);
  EndBusy(&m_engine);
  EXPECT_EQ(m_clock.m_sleeps, 0);
  EXPECT_EQ(m_engine.m_dwBusyElapsed, 2999u);
  EXPECT_EQ(m_engine.m_bBusy, 0);
  EXPECT_EQ(m_engine.m_nCancel, 0);
}

TEST_F(BusyGuard, DialogAfter3000MillisecondsClosedByEndBusy) {
  Begin();
  EXPECT_EQ(PumpAt(3000), 0);
  ASSERT_EQ(m_dialogs.m_nOpened, 1);
  EXPECT_EQ(m_engine.m_bCancelDlgStarted, 1);
  EXPECT_EQ(m_engine.m_bCancelDlgWatchBusy, 0) << "the hand-over flag is taken by the dialog";
  EXPECT_EQ(m_dialogs.m_pnBusy, &m_engine.m_bBusy) << "a dialog opened by the guard watches the busy flag";
  EXPECT_EQ(m_engine.m_nCancel, 0);
  EXPECT_NE(m_engine.m_hCancelDlg, nullptr);
  EXPECT_EQ(PumpAt(6000), 0);
  EXPECT_EQ(m_dialogs.m_nOpened, 1) << "one dialog per calculation";

  EndBusy(&m_engine);
  EXPECT_EQ(m_dialogs.m_nCloseRequests, 1);
  EXPECT_EQ(m_engine.m_hCancelDlg, nullptr);
  EXPECT_EQ(m_engine.m_bCancelDlgStarted, 0);
  EXPECT_EQ(m_engine.m_nCancel, 0);
  EXPECT_EQ(m_clock.m_sleeps, 0);
}

TEST_F(BusyGuard, StopButtonCancelsWithMinus9AndItsText) {
  Begin();
  PumpAt(3500);
  ASSERT_EQ(m_dialogs.m_nOpened, 1);
  m_dialogs.PressStop(m_engine);
  EXPECT_EQ(PumpAt(3600), 1);

  TextWindow result;
  EXPECT_EQ(EndWithCancel(&m_engine, &result), kEngineCancelled);
  EXPECT_EQ(kEngineCancelled, -9);
  EXPECT_EQ(m_engine.m_strMessage, "[中止]ボタンにより計算を中止しました。");
  EXPECT_EQ(result.m_strText, m_engine.m_strMessage);

  EndBusy(&m_engine);
  EXPECT_EQ(m_dialogs.m_nCloseRequests, 0) << "the dialog closed itself";
  EXPECT_EQ(m_engine.m_nCancel, 0);
}

TEST_F(BusyGuard, DialogOpenedByAProcedureHasNoBusyWatch) {
  Begin();
  CancelDialogThread(&m_engine);
  EXPECT_EQ(m_dialogs.m_nOpened, 1);
  EXPECT_EQ(m_dialogs.m_pnBusy, nullptr);
  CloseCancelDialog(&m_engine);
  EXPECT_EQ(m_engine.m_hCancelDlg, nullptr);
  EndBusy(&m_engine);
}

TEST_F(BusyGuard, DialogThatNeverComesUpIsGivenUpAfter2Seconds) {
  SilentDialogs silent;
  ScopedCancelDialogs scoped(silent);
  Begin();
  EXPECT_EQ(PumpAt(3000), 0);
  EXPECT_EQ(silent.m_nOpened, 1);
  EXPECT_EQ(m_engine.m_nCancel, -1);
  EndBusy(&m_engine);
  EXPECT_EQ(m_clock.m_sleeps, 200);
  EXPECT_EQ(silent.m_nCloses, 0);
  EXPECT_EQ(m_engine.m_nCancel, 0);
  EXPECT_EQ(m_engine.m_bCancelDlgStarted, 0);
}

TEST_F(BusyGuard, TimesSurviveTheTickWrap) {
  m_clock.m_now = 0xFFFFFF00u;
  Begin();
  EXPECT_EQ(PumpAt(2999), 0);
  EXPECT_EQ(m_dialogs.m_nOpened, 0);
  EXPECT_EQ(PumpAt(3000), 0);
  EXPECT_EQ(m_dialogs.m_nOpened, 1);
  EndBusy(&m_engine);
  EXPECT_EQ(m_engine.m_dwBusyElapsed, 3000u);
}

TEST(EngineWriters, AppendEngineLogPrefersTheLogWindow) {
  OrbitEngine engine;
  TextWindow given, log;
  given.m_strText = "a";
  AppendEngineLog(&engine, &given, "b");
  EXPECT_EQ(given.m_strText, "ab");
  engine.m_pLogWnd = &log;
  AppendEngineLog(&engine, &given, "c");
  EXPECT_EQ(given.m_strText, "ab");
  EXPECT_EQ(log.m_strText, "c");
  engine.m_pLogWnd = nullptr;
  AppendEngineLog(&engine, nullptr, "d");  // no window: nothing
}

TEST(EngineWriters, IntegrationProgressEvery200Milliseconds) {
  FakeClock clock;
  OrbitEngine engine;
  engine.m_pClock = &clock;
  IntegrationState s{};
  TextWindow bar, status;
  s.m_pProgress = &bar;
  s.m_pStatus = &status;
  s.m_dProgressStart = 2451545.0;
  s.m_dEnd = 2451645.0;
  s.m_dTime = 2451570.0;  // 2000-01-26 12:00 TT, a quarter of the way
  s.m_dStep = -0.03125;
  bar.m_nProgress = -1;
  ShowIntegrationProgress(&engine, &s);
  EXPECT_EQ(bar.m_nProgress, 25);
  EXPECT_EQ(status.m_strText, "計算中:   2000/01/26.50   積分間隔: 45分");

  s.m_dTime = 2451645.0 + 50.0;  // past the end: limited to 100, but only after 200 ms
  clock.m_now += 199;
  ShowIntegrationProgress(&engine, &s);
  EXPECT_EQ(bar.m_nProgress, 25);
  clock.m_now += 1;
  ShowIntegrationProgress(&engine, &s);
  EXPECT_EQ(bar.m_nProgress, 100);

  s.m_dEnd = s.m_dProgressStart;  // no span: the bar is left alone
  bar.m_nProgress = -1;
  clock.m_now += 1000;
  ShowIntegrationProgress(&engine, &s);
  EXPECT_EQ(bar.m_nProgress, -1);
}

}  // namespace

// The scan dialog without its window: set-up, parameters, the pump with the
// abort and the time limit, the engine's busy test while a scan runs, and
// the enabling of the controls.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/orbit_engine.h"
#include "platform/app_services.h"
#include "platform/ui_services.h"
#include "tests/neocp/scan_fixtures.h"

namespace {

class FakeClock : public EngineClock {
public:
  uint32_t TickMs() override { return m_now; }
  void SleepMs(uint32_t ms) override { m_now += ms; }
  uint32_t m_now = 4294960000u;  // wraps during the test
};

} // namespace

TEST(ScanDialog, SetUpAndParameterRanges)
{
  CTessaruneApp& app = TheApp();
  app.m_szObsFolder = "/data/obs//";
  app.m_nNeocpParallel = 0;
  ScanDialogFixture f("scan_dialog_setup");
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  f.dlg.InitScanDialog(8);
  EXPECT_EQ(f.dlg.m_strScanDir, "/data/obs/NEOCP_scan");
  EXPECT_EQ(f.dlg.m_strFileDir, "/data/obs/NEOCP_scan/files");
  EXPECT_EQ(f.dlg.GetItemText(kIdScanParallel), "6");
  EXPECT_EQ(f.dlg.GetItemText(kIdScanCpuLabel), "個 (CPUは8スレッド。1で1つずつ)");
  EXPECT_EQ(f.dlg.m_settings.m_nClones, 200);
  EXPECT_EQ(f.dlg.m_settings.m_bSysError, 1);
  EXPECT_EQ(f.dlg.m_settings.m_nTimeLimit, 300);
  EXPECT_EQ(f.dlg.GetItemText(kIdScanStatus), kScanStatusReceiving);
  EXPECT_EQ(f.dlg.m_strLog, kScanIntroduction);
  app.m_szObsFolder.clear();

  struct Parallel {
    int processors, commandLine, expected;
  };
  for (const Parallel& p : {Parallel{1, 0, 1}, Parallel{2, 0, 1}, Parallel{64, 0, 60}, Parallel{4, 7, 7},
                            Parallel{4, 99, 60}})
    EXPECT_EQ(DefaultScanParallel(p.processors, p.commandLine), p.expected) << p.processors << " " << p.commandLine;
  EXPECT_GE(ScanProcessorCount(), 1);

  struct Field {
    int id;
    const char* text;
  };
  const Field typed[] = {{kIdScanClones, "250000"}, {kIdScanDaysBefore, "-5"}, {kIdScanDaysAfter, "99999"},
                         {kIdScanMinObs, "1"},       {kIdScanMinArc, "abc"},   {kIdScanTimeLimit, "-3"},
                         {kIdScanParallel, "0"}};
  for (const Field& t : typed)
    f.dlg.SetItemText(t.id, t.text);
  f.dlg.SetCheck(kIdScanSysError, 0);
  f.dlg.ReadScanSettings();
  const NeocpScanSettings& s = f.dlg.m_settings;
  EXPECT_EQ(s.m_nClones, 100000);
  EXPECT_EQ(s.m_dDaysBefore, 0);
  EXPECT_EQ(s.m_dDaysAfter, 36525);
  EXPECT_EQ(s.m_nMinObs, 3);
  EXPECT_EQ(s.m_dMinArc, 0);
  EXPECT_EQ(s.m_nTimeLimit, 0);
  EXPECT_EQ(s.m_nParallel, 1);
  EXPECT_EQ(s.m_bSysError, 0);
  f.dlg.SetItemText(kIdScanDaysBefore, "12.5");
  f.dlg.SetItemText(kIdScanParallel, "61");
  f.dlg.ReadScanSettings();
  EXPECT_EQ(s.m_dDaysBefore, 12.5);
  EXPECT_EQ(s.m_nParallel, 60);
}

TEST(ScanDialog, PumpReportsAbortAndTimeLimitAndTheTimerCancelsTheEngine)
{
  ScanDialogFixture f("scan_dialog_pump");
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  FakeClock clock;
  f.dlg.m_pClock = &clock;
  OrbitEngine* engine = f.view.m_pEngine;
  f.dlg.m_settings.m_nTimeLimit = 3;
  f.dlg.BeginScanRun();
  f.dlg.StartObjectClock();
  EXPECT_EQ(f.dlg.PumpMessages(), 0);
  EXPECT_EQ(ui.m_pumps, 1) << "the headless pump stops at the first empty look";
  clock.m_now += 2999;
  EXPECT_EQ(f.dlg.PumpMessages(), 0);
  f.dlg.OnTimer();
  EXPECT_EQ(engine->m_nCancel, 0);
  clock.m_now += 1;
  EXPECT_EQ(f.dlg.PumpMessages(), 2);
  f.dlg.OnTimer();
  EXPECT_EQ(engine->m_nCancel, 1);
  // The next object starts its own clock.
  engine->m_nCancel = 0;
  f.dlg.StartObjectClock();
  EXPECT_EQ(f.dlg.PumpMessages(), 0);
  f.dlg.OnAbort();
  EXPECT_EQ(engine->m_nCancel, 1);
  EXPECT_EQ(f.dlg.PumpMessages(), 1);
  EXPECT_EQ(f.dlg.GetItemText(kIdScanStatus), kScanStatusAborting);
  // Closing while running aborts instead of closing.
  f.dlg.OnCancel();
  EXPECT_EQ(f.dlg.m_bClosed, 0);
  f.dlg.EndScanRun();
  f.dlg.OnCancel();
  EXPECT_EQ(f.dlg.m_bClosed, 1);

  // No limit with 0.
  f.dlg.m_settings.m_nTimeLimit = 0;
  f.dlg.BeginScanRun();
  f.dlg.StartObjectClock();
  clock.m_now += 100000000;
  EXPECT_EQ(f.dlg.PumpMessages(), 0);
  f.dlg.EndScanRun();
}

TEST(ScanDialog, ARunningScanIsBusyForEveryOtherCommand)
{
  ScanDialogFixture f("scan_dialog_busy");
  OrbitEngine* engine = f.view.m_pEngine;
  EXPECT_FALSE(EngineBusy(engine));
  f.dlg.BeginScanRun();
  EXPECT_TRUE(EngineBusy(engine));
  EXPECT_EQ(BeginBusyCommand(engine), -1) << "a tool window's command between two steps";
  {
    ScanOwnCall own(engine);
    EXPECT_EQ(BeginBusyCommand(engine), 0) << "the scan's own command";
    EXPECT_TRUE(EngineBusy(engine));
    EndBusy(engine);
    EXPECT_TRUE(EngineBusy(engine)) << "the pass is used up";
    EXPECT_EQ(BeginBusyCommand(engine), -1);
  }
  f.dlg.EndScanRun();
  EXPECT_FALSE(EngineBusy(engine));
}

TEST(ScanDialog, ControlsFollowTheTableAndTheSelection)
{
  ScanDialogFixture f("scan_dialog_controls");
  NeocpScanRow gone = CompleteRow("GONE", 0.1, 0.1);
  gone.list_state = kListProvisional;
  gone.best_path = "x_best_EX.IMP";
  NeocpScanRow local = ListRow("local");
  local.list_state = kListLocalFile;
  f.SetTable({gone, local});
  f.dlg.UpdateControls();
  EXPECT_FALSE(f.dlg.IsItemEnabled(kIdScanAll)) << "no row on the list";
  EXPECT_TRUE(f.dlg.IsItemEnabled(kIdScanPurge));
  EXPECT_TRUE(f.dlg.IsItemEnabled(kIdScanMatchKnown));
  EXPECT_FALSE(f.dlg.IsItemEnabled(kIdScanSelected));
  EXPECT_FALSE(f.dlg.IsItemEnabled(kIdScanOpenFolder)) << "no scan folder yet";
  EXPECT_FALSE(f.dlg.IsItemEnabled(kIdScanAbort));
  f.dlg.m_selection = {0};
  f.dlg.OnItemChanged();
  EXPECT_EQ(f.dlg.GetSelectedRow(), 0);
  EXPECT_TRUE(f.dlg.IsItemEnabled(kIdScanSelected));
  EXPECT_TRUE(f.dlg.IsItemEnabled(kIdScanShowNominal));
  EXPECT_FALSE(f.dlg.IsItemEnabled(kIdScanShowClosest));
  f.dlg.m_selection = {0, 1};
  EXPECT_EQ(f.dlg.GetSelectedRow(), -1);
  f.dlg.UpdateControls();
  EXPECT_FALSE(f.dlg.IsItemEnabled(kIdScanShowNominal));

  f.dlg.BeginScanRun();
  for (int id : {kIdScanRefetch, kIdScanAll, kIdScanSelected, kIdScanClones, kIdScanParallel, kIdScanPurge,
                 kIdScanOpenFolder, kIdScanShowNominal})
    EXPECT_FALSE(f.dlg.IsItemEnabled(id)) << id;
  EXPECT_TRUE(f.dlg.IsItemEnabled(kIdScanAbort));
  f.dlg.EndScanRun();

  // The folder: the scan folder, or the local-file folder for one local row.
  std::filesystem::create_directories(f.dlg.m_strFileDir);
  f.dlg.m_selection = {1};
  f.dlg.OnOpenFolder();
  EXPECT_EQ(f.dlg.m_strOpenedFolder, f.dlg.m_strFileDir);
  f.dlg.m_selection = {0};
  f.dlg.OnOpenFolder();
  EXPECT_EQ(f.dlg.m_strOpenedFolder, f.dlg.m_strScanDir);
}

TEST(ScanDialog, LogKeepsWhatFitsItsLimit)
{
  ScanDialogFixture f("scan_dialog_log");
  const std::string big(kScanLogLimitChars - 2, 'x');
  f.dlg.AppendLog(big);
  f.dlg.AppendLog("日本語");
  f.dlg.AppendLog("more");
  EXPECT_EQ(f.dlg.m_strLog, big + "日本");
}

TEST(ScanDialog, DestructionClearsTheViewsPointerAndTheScanMark)
{
  CDetermination view(false);
  auto* dlg = new CNeocpScanDlg(&view);
  view.m_pNeocpScanDlg = dlg;
  dlg->BeginScanRun();
  delete dlg;
  EXPECT_EQ(view.m_pNeocpScanDlg, nullptr);
  EXPECT_FALSE(EngineBusy(view.m_pEngine));
}

TEST(ScanDialog, AnEndingApplicationAbortsTheScan)
{
  // The window's pump reports the application's loop asked to end.
  class Ending : public CNeocpScanDlg {
  public:
    using CNeocpScanDlg::CNeocpScanDlg;
    bool m_bEnding = false;

  protected:
    bool DispatchPendingEvents(int) override { return m_bEnding; }
  };
  CDetermination view(false);
  Ending dlg(&view);
  dlg.BeginScanRun();
  dlg.StartObjectClock();
  EXPECT_EQ(dlg.PumpMessages(), 0);
  dlg.m_bEnding = true;
  EXPECT_EQ(dlg.PumpMessages(), 1);
  dlg.m_bEnding = false;
  EXPECT_EQ(dlg.PumpMessages(), 1) << "the abort stays";
  dlg.EndScanRun();
}

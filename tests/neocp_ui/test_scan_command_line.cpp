// Scans asked for on the command line, in the running program (under
// xvfb-run): "-dev neocpfile=... neocpfile=..." opens the scan dialog from
// the orbit-determination view's first update, scans both files and shows
// the result (screenshot); with "neocpexit" the program closes itself after
// the scan with exit code 0.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "app/tessarune_wx_app.h"
#include "determination/ui/determination_view.h"
#include "neocp/scan_csv.h"
#include "neocp/scan_files.h"
#include "neocp/scan_names.h"
#include "neocp/ui/neocp_scan_wnd.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "tests/common/test_data.h"
#include "tests/data/test_observation_support.h"
#include "tests/determination_ui/view_session.h"

namespace {

CNeocpScanWnd* Dialog()
{
  CDeterminationView* view = ViewSession::View();
  return view ? dynamic_cast<CNeocpScanWnd*>(view->m_pNeocpScanDlg) : nullptr;
}

// The lines of 2024 MK from June 16 to 19 2024, and its first three of them.
std::vector<std::string> WriteObservationFiles(const std::string& dir)
{
  std::istringstream in(ReadTestFile(TestDataPath("obs/mpc80/neosjl_2024MK.txt")));
  std::string line, june, first;
  int n = 0;
  while (std::getline(in, line))
    if (line.size() >= 32 && line.compare(15, 7, "2024 06") == 0 && line.compare(23, 2, "16") >= 0 &&
        line.compare(23, 2, "20") < 0) {
      june += line + "\n";
      if (n++ < 3)
        first += line + "\n";
    }
  WriteFileAtomic(dir + "2024MK_june.obs", june);
  WriteFileAtomic(dir + "2024MK_three.obs", first);
  return {dir + "2024MK_june.obs", dir + "2024MK_three.obs"};
}

bool ScanDone()
{
  CNeocpScanWnd* d = Dialog();
  if (!d || !d->IsShownOnScreen() || d->m_nRows != 2 || d->m_bRunning)
    return false;
  for (int i = 0; i < 2; ++i)
    if (d->m_pRows[i].status == kScanNever || d->m_pRows[i].status == kScanComputing)
      return false;
  return true;
}

// The program's arguments for the two files; one object at a time, since
// this test program is no worker.
std::vector<std::string> ScanArguments(const std::string& tag)
{
  const std::vector<std::string> files = WriteObservationFiles(MakeTempDir(tag));
  return {"-dev", "-neocppar=1", "-neocpfile=" + files[0], "-neocpfile=" + files[1]};
}

} // namespace

TEST(ScanCommandLine, FilesAreScannedAndShown)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(mk, "obs/mpc80/neosjl_2024MK.txt");
  const std::vector<std::string> args = ScanArguments("scan_command_line");

  int statusJune = -1, statusThree = -1;
  bool abortEnabled = true, filesEnabled = false;
  std::string log;
  {
    ViewSession session("scan_command_line");
    std::vector<ViewStep> steps = {
        {"scanned", nullptr, ScanDone, 120},
        {"screenshot", [&] {
           statusJune = Dialog()->m_pRows[0].status;
           statusThree = Dialog()->m_pRows[1].status;
           log = Dialog()->GetItemText(kIdScanLog);
           abortEnabled = Dialog()->IsItemEnabled(kIdScanAbort);
           filesEnabled = Dialog()->IsItemEnabled(kIdScanFiles);
           ViewSession::SaveScreenshot(Dialog(), "scan_dialog_command_line");
         },
         nullptr},
    };
    ASSERT_TRUE(session.Run(args, std::move(steps)));
    EXPECT_EQ(session.FailedSteps(), "");
  }
  EXPECT_EQ(statusJune, kScanComplete);
  // Three lines of one night are enough for the systematic ranging.
  EXPECT_EQ(statusThree, kScanComplete);
  EXPECT_NE(log.find("―― 走査を終了  2/2天体"), std::string::npos);
  EXPECT_FALSE(abortEnabled);
  EXPECT_TRUE(filesEnabled);
  EXPECT_TRUE(TheApp().m_astrNeocpFiles.empty());
}

// With neocpexit the program ends by itself once the scan is over.
TEST(ScanCommandLine, TheProgramClosesAfterTheScanWhenAsked)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(mk, "obs/mpc80/neosjl_2024MK.txt");
  {
    ViewSession session("scan_command_line_exit");
    std::vector<std::string> exitArgs = ScanArguments("scan_command_line_exit");
    exitArgs.push_back("-neocpexit");
    std::vector<ViewStep> steps = {
        {"the program closes itself", nullptr, [] { return false; }, 60},
    };
    ASSERT_TRUE(session.Run(exitArgs, std::move(steps)));
    EXPECT_EQ(session.FailedSteps(), "");  // the loop ended before the step's time ran out
  }
  // The scan's files are there.
  const CTessaruneApp& app = TheApp();
  const std::string files = ScanFolderFor(app.m_szObsFolder, app.m_szDataDir) + "/files/";
  EXPECT_TRUE(FileExists(files + MakeSafeFileName("2024MK_june") + "_best_EX.IMP")) << files;
  EXPECT_TRUE(FileExists(files + MakeSafeFileName("2024MK_three") + "_log.txt"));
  EXPECT_TRUE(FileExists(files + kScanCsvName));
  EXPECT_EQ(TheApp().m_nExitCode, 0);
  TheApp().m_bNeocpExit = 0;
}

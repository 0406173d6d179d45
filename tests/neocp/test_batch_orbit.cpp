// The batch orbit driver on real observation lines: unreadable files, too
// few usable observations, the loading of a scanned object with and without
// its solution file, and the three further improvement steps.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "determination/determination_display.h"
#include "determination/obs_loading.h"
#include "determination/solution_file.h"
#include "engine/determination_host.h"
#include "neocp/batch_orbit.h"
#include "neocp/scan_dlg.h"
#include "neocp/scan_row.h"
#include "tests/engine/test_improvement_support.h"
#include "tests/neocp/obs_cuts.h"

namespace {

// 2008 TC3's first lines (G96, 2008 October 6).
const char* const kTc3Lines[] = {
    "     K08T03C* C2008 10 06.27767 23 17 00.78 +07 49 22.7          18.9 Vrz9516G96",
    "     K08T03C  C2008 10 06.28762 23 16 54.58 +07 49 25.8          18.8 Vrz9516G96",
    "     K08T03C  C2008 10 06.29770 23 16 48.36 +07 49 27.6          18.8 Vrz9516G96",
};

std::string Lines(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\n";
  return text;
}

class BatchOrbit : public ScanObservationTest {
protected:
  NeocpScanRow NewRow(const char* desig) {
    NeocpScanRow row{};
    ResetScanRow(row, 0);
    row.desig = desig;
    return row;
  }

  NeocpScanSettings m_settings;
};

}  // namespace

TEST_F(BatchOrbit, UnreadableOrTooFewObservationsEndWithoutAnOrbit) {
  CDeterminationDisplay view;
  // A file that does not exist: status 3 with the reader's collected message.
  NeocpScanRow missing = NewRow("X");
  EXPECT_EQ(ComputeBatchOrbit(view, m_dir + "/none.obs", m_settings, missing, nullptr, nullptr), -1);
  EXPECT_EQ(missing.status, kScanUnreadable);
  EXPECT_EQ(missing.obs_path, m_dir + "/none.obs");
  EXPECT_EQ(missing.note, ObsReadFailureMessage(CTessaruneLib::kObsReadFailed));
  EXPECT_EQ(view.m_nBatchMode, 0);

  struct Case {
    const char* name;
    std::string text;
    int nObs;
    const char* note;
  };
  const std::string unknown = std::string(kTc3Lines[2]).replace(77, 3, "ZZ9");
  const Case cases[] = {
      {"two", Lines({kTc3Lines[0], kTc3Lines[1]}), 2, "使える観測が2個しかありません(3個必要)"},
      {"unknown station", Lines({kTc3Lines[0], kTc3Lines[1], unknown.c_str()}), 3,
       "使える観測が2個しかありません(3個必要)。観測所コードの分からない観測があります"},
  };
  for (const Case& c : cases) {
    NeocpScanRow row = NewRow("2008 TC3");
    EXPECT_EQ(ComputeBatchOrbit(view, File("few.obs", c.text), m_settings, row, nullptr, nullptr), -1) << c.name;
    EXPECT_EQ(row.status, kScanNoOrbit) << c.name;
    EXPECT_EQ(row.n_obs, c.nObs) << c.name;
    EXPECT_EQ(row.note, c.note) << c.name;
    EXPECT_NEAR(row.arc_days, 0.28762 - 0.27767, 1e-6) << c.name;
    EXPECT_EQ(view.m_nBatchMode, 0);
  }
}

TEST_F(BatchOrbit, LoadScanObjectWithAndWithoutItsSolution) {
  CDeterminationDisplay view;
  const std::string obs = File("tc3.obs", Lines({kTc3Lines[0], kTc3Lines[1], kTc3Lines[2]}));
  std::string message = "old";
  EXPECT_EQ(LoadScanObject(view, obs, "", message), 1);
  EXPECT_EQ(view.m_pDetClass->m_nObsCount, 3);
  EXPECT_EQ(view.m_pEngine->m_nCalcState, kCalcLoaded);
  EXPECT_EQ(LoadScanObject(view, obs, m_dir + "/missing.IMP", message), 1);
  EXPECT_EQ(view.m_nBatchMode, 0);

  EXPECT_EQ(LoadScanObject(view, m_dir + "/none.obs", "", message), -1);
  EXPECT_EQ(message, "観測ファイルを読み込めませんでした。\r\n" + m_dir + "/none.obs");

  // Solution files the reader refuses: observations stay, the reader's
  // reason follows the loader's message, and no box is shown.
  const std::string bad = File("bad.IMP", "nothing here\r\n");
  const std::string half = File("half.IMP", "Epoch = 2454746.5\r\nq = 0.9\r\n");
  const struct {
    std::string path, reason;
  } refused[] = {
      {bad, kMsgSolutionNothingKnown},
      {half, "再現用ファイルの軌道要素が揃っていないため"},
      {File("empty.IMP", ""), kMsgSolutionBadSize},
  };
  for (const auto& r : refused) {
    EXPECT_EQ(LoadScanObject(view, obs, r.path, message), -1);
    EXPECT_EQ(message.rfind("観測は読み込みましたが、名目軌道を読み込めませんでした。\r\n" + r.path + "\r\n", 0), 0u)
        << message;
    EXPECT_NE(message.find(r.reason), std::string::npos) << message;
    EXPECT_EQ(view.m_pDetClass->m_nObsCount, 3);
    EXPECT_EQ(view.m_nBatchMode, 0);
  }
  for (const auto& m : m_ui.m_messages) ADD_FAILURE() << "box shown: " << m.text;

  view.m_pEngine->m_bBusy = 1;
  EXPECT_EQ(LoadScanObject(view, obs, "", message), -1);
  EXPECT_EQ(message, kMsgOtherCalculationRunning);
  view.m_pEngine->m_bBusy = 0;
  view.m_pEngine->m_bAutoRunning = 1;
  EXPECT_EQ(LoadScanObject(view, obs, "", message), -1);
  view.m_pEngine->m_bAutoRunning = 0;
}

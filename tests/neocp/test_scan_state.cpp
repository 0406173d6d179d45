// The state table "neocp_scan_state.tsv": written and read back whole, read
// tolerantly, set aside when it is not ours, never overwritten when it could
// not be read.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>

#include "data/neocp_list.h"
#include "neocp/scan_files.h"
#include "platform/ui_services.h"
#include "tests/common/test_data.h"
#include "tests/neocp/scan_fixtures.h"

namespace fs = std::filesystem;

namespace {

const std::string kBom = "\xEF\xBB\xBF";

// The 63 objects of the real list as list rows, then one row of every status
// and every list state that the table stores.
std::vector<NeocpScanRow> RealAndEveryStatus()
{
  std::vector<NeocpScanRow> rows;
  const std::string json = ReadFileText(TestDataPath("catalogues/neocp_json_derived_from_neosjl_neocp_txt.json"));
  NeocpEntry* entries = nullptr;
  const int n = ParseNeocpJson(json, &entries);
  for (int i = 0; i < n; ++i)
    rows.push_back(ListRow(entries[i].m_szDesig, entries[i].m_dScore, entries[i].m_dNObs, entries[i].m_dArc,
                           entries[i].m_dH));
  std::free(entries);
  for (int status = kScanSkipped; status <= kScanComplete; ++status) {
    NeocpScanRow r = CompleteRow("S" + std::to_string(status), 0.01 * status, 0.002 * status);
    r.status = status;
    r.list_state = status % 6;
    rows.push_back(r);
  }
  return rows;
}

} // namespace

TEST(ScanState, RowsComeBackExactlyWithEscapedTextsAndNonFiniteNumbers)
{
  ScanDialogFixture f("scan_state_roundtrip");
  NeocpScanRow odd = CompleteRow("A\tB", 0.1 + 0.2, 1e-300, 3);
  odd.note = "line1\r\nline2\\n not an escape\\";
  odd.fate = "tab\there";
  odd.known_name = "(433) Eros";
  odd.known_checked = 1;
  odd.rho_best = std::numeric_limits<double>::quiet_NaN();
  odd.rho_hi = std::numeric_limits<double>::infinity();
  odd.rho_lo = -std::numeric_limits<double>::infinity();
  odd.tpass = 2460123.456789012345;
  NeocpScanRow local = ListRow("myfile");
  local.list_state = kListLocalFile;
  local.status = kScanComplete;
  std::vector<NeocpScanRow> rows = {odd, local};
  if (!TestDataDir().empty()) {
    std::vector<NeocpScanRow> more = RealAndEveryStatus();
    rows.insert(rows.end(), more.begin(), more.end());
  }
  f.SetTable(rows);
  f.dlg.m_bStateLoaded = 1;
  ASSERT_TRUE(f.dlg.SaveState());

  const std::string file = ReadFileText(f.dlg.StatePath());
  ASSERT_EQ(file.compare(0, 3, kBom), 0);
  EXPECT_EQ(file.find("myfile"), std::string::npos) << "local-file rows are not stored";
  EXPECT_NE(file.find("\r\nA\\tB\t"), std::string::npos);
  EXPECT_NE(file.find("\tnan\t"), std::string::npos);
  EXPECT_NE(file.find("\t9000000000\t"), std::string::npos) << "9e9 in %.17g";

  // A second dialog that already holds a local-file row loads the table.
  ScanDialogFixture g("scan_state_roundtrip_reader");
  g.dlg.m_strScanDir = f.dlg.m_strScanDir;
  g.SetTable({local});
  ASSERT_TRUE(g.dlg.LoadState());
  ASSERT_EQ(g.dlg.m_nRows, static_cast<int>(rows.size()));
  int k = 0;
  for (const NeocpScanRow& r : rows) {
    if (r.list_state == kListLocalFile)
      continue;
    const NeocpScanRow& back = g.dlg.m_pRows[k++];
    EXPECT_EQ(FormatScanStateLine(back), FormatScanStateLine(r)) << r.desig;
  }
  const NeocpScanRow& back = g.dlg.m_pRows[0];
  EXPECT_EQ(back.desig, "A\tB");
  EXPECT_EQ(back.note, odd.note);
  EXPECT_EQ(back.fate, odd.fate);
  EXPECT_EQ(back.nom_dist, 0.1 + 0.2);
  EXPECT_EQ(back.clo_dist, 1e-300);
  EXPECT_EQ(back.tpass, odd.tpass);
  EXPECT_TRUE(std::isnan(back.rho_best));
  EXPECT_EQ(back.rho_hi, std::numeric_limits<double>::infinity());
  EXPECT_EQ(back.rho_lo, -std::numeric_limits<double>::infinity());
  EXPECT_EQ(g.dlg.m_pRows[g.dlg.m_nRows - 1].desig, "myfile") << "the dialog's local row stays, last";
}

TEST(ScanState, ReaderTakesColumnsByNameAndRepairsStates)
{
  ScanDialogFixture f("scan_state_tolerant");
  fs::create_directories(f.dlg.m_strScanDir);
  const std::string text = kBom +
                           "desig\tunknown_col\tstatus\tscore\tlist_state\tnote\r\n"
                           "KEEP1\tzzz\t9\t87\t0\tok\r\n"
                           "WASRUNNING\t\t10\t\t9\r\n"
                           "LOCAL\t\t3\t5\t6\tx\r\n"
                           "\t\t3\t5\t0\tno designation\r\n"
                           "SHORT\tx\t4\r\n"
                           "\r\n"
                           "LONG\tx\t2\t12\t1\tnote\textra1\textra2\r\n";
  WriteFileText(f.dlg.StatePath(), text);
  ASSERT_TRUE(f.dlg.LoadState());
  ASSERT_EQ(f.DisplayedDesigs(), (std::vector<std::string>{"KEEP1", "WASRUNNING", "SHORT", "LONG"}));
  const NeocpScanRow* r = f.dlg.m_pRows;
  EXPECT_EQ(r[0].status, kScanComplete);
  EXPECT_EQ(r[0].score, 87);
  EXPECT_EQ(r[0].note, "ok");
  // Missing columns keep the reset values.
  EXPECT_EQ(r[0].h, kScanUnknown);
  EXPECT_EQ(r[0].nom_dist, kScanNoDistance);
  EXPECT_EQ(r[0].clo_rms, kScanNoResidual);
  EXPECT_EQ(r[0].n_used, 0);
  EXPECT_EQ(r[1].status, kScanAborted) << "a scan that never finished";
  EXPECT_EQ(r[1].list_state, kListOnNeocp) << "unknown list state";
  EXPECT_EQ(r[1].score, kScanUnknown) << "empty number keeps its reset";
  EXPECT_EQ(r[2].status, kScanNoOrbit);
  EXPECT_EQ(r[2].score, kScanUnknown) << "short line";
  EXPECT_EQ(r[3].list_state, kListLeft);
  EXPECT_EQ(r[3].note, "note");
}

TEST(ScanState, ForeignHeaderIsSetAsideAndANewTableStarts)
{
  for (const char* header : {"Desig\tstatus", "desig \tstatus", "desig", ""}) {
    ScanDialogFixture f("scan_state_foreign");
    fs::create_directories(f.dlg.m_strScanDir);
    WriteFileText(f.dlg.StatePath(), kBom + header + "\r\nX\t1\r\n");
    ASSERT_TRUE(f.dlg.LoadState()) << header;
    EXPECT_EQ(f.dlg.m_nRows, 0);
    EXPECT_FALSE(fs::exists(f.dlg.StatePath()));
    int aside = 0;
    for (const auto& e : fs::directory_iterator(f.dlg.m_strScanDir))
      aside += e.path().filename().string().rfind("neocp_scan_state_読めなかった_", 0) == 0 ? 1 : 0;
    EXPECT_EQ(aside, 1) << header;
    EXPECT_NE(f.dlg.m_strLog.find("※表の記録の形式が違ったので"), std::string::npos);
    // The new, empty table is the header line alone and reads back empty.
    ASSERT_TRUE(f.dlg.SaveState());
    EXPECT_EQ(ReadFileText(f.dlg.StatePath()), kBom + GetScanStateHeaderLine() + "\r\n");
    f.dlg.m_folderLock.Unlock();  // as when the dialog closes
    ScanDialogFixture g("scan_state_foreign_reread");
    g.dlg.m_strScanDir = f.dlg.m_strScanDir;
    ASSERT_TRUE(g.dlg.LoadState());
    EXPECT_EQ(g.dlg.m_nRows, 0);
  }
}

TEST(ScanState, UnreadableTableIsNeverOverwritten)
{
  ScanDialogFixture f("scan_state_unreadable");
  fs::create_directories(f.dlg.m_strScanDir);
  // Larger than the reader takes (sparse: no disk used).
  const std::string path = f.dlg.StatePath();
  WriteFileText(path, kBom + "desig\tstatus\r\n");
  ASSERT_EQ(truncate(path.c_str(), 300L * 1024 * 1024), 0);
  f.SetTable({ListRow("NEW1")});
  EXPECT_FALSE(f.dlg.LoadState());
  EXPECT_EQ(f.dlg.m_bStateLoaded, 0);
  EXPECT_NE(f.dlg.m_strLog.find("※表の記録を読めませんでした。"), std::string::npos);
  EXPECT_FALSE(f.dlg.SaveState());
  EXPECT_EQ(f.dlg.SaveCsv(0), 0);
  EXPECT_EQ(fs::file_size(path), 300u * 1024 * 1024);
  EXPECT_FALSE(fs::exists(f.dlg.m_strScanDir + "/neocp_scan.csv"));
}

TEST(ScanState, MissingTableCountsAsLoaded)
{
  ScanDialogFixture f("scan_state_missing");
  f.SetTable({ListRow("KEPT")});
  ASSERT_TRUE(f.dlg.LoadState());
  EXPECT_EQ(f.dlg.m_bStateLoaded, 1);
  EXPECT_EQ(f.DisplayedDesigs(), std::vector<std::string>{"KEPT"});
  EXPECT_TRUE(f.dlg.SaveState()) << "the folder is created";
}

TEST(ScanFiles, EscapesSplitsAndReads)
{
  struct Case {
    std::string raw, escaped;
  };
  for (const Case& c : {Case{"a\\b", "a\\\\b"}, Case{"\t\r\n", "\\t\\r\\n"}, Case{"plain", "plain"}}) {
    EXPECT_EQ(EscapeStateField(c.raw), c.escaped);
    EXPECT_EQ(UnescapeStateField(c.escaped), c.raw);
  }
  EXPECT_EQ(UnescapeStateField("x\\qy\\"), "xqy\\") << "other escapes give the character; a final one stays";
  std::vector<std::string> parts;
  SplitLines("a\r\n\r\nb\r\r\n\nc", parts);
  EXPECT_EQ(parts, (std::vector<std::string>{"a", "b", "c"}));
  SplitTabFields("\tx\t", parts);
  EXPECT_EQ(parts, (std::vector<std::string>{"", "x", ""}));
  SplitTabFields("", parts);
  EXPECT_EQ(parts, std::vector<std::string>{""});
  const std::string dir = MakeTempDir("scan_files");
  std::string text = "old";
  WriteFileText(dir + "bom", kBom + "日本");
  ASSERT_EQ(ReadUtf8File(dir + "bom", text), 1);
  EXPECT_EQ(text, "日本");
  WriteFileText(dir + "empty", "");
  EXPECT_EQ(ReadUtf8File(dir + "empty", text), 1);
  EXPECT_EQ(text, "");
  EXPECT_EQ(ReadUtf8File(dir + "absent", text), 0);
}

// A table that cannot be written (here the scan folder's name is taken by a
// file) is told once in a message box, not at every save after it, and the
// save still answers false.
TEST(ScanState, FailedSaveIsToldOnce)
{
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  ScanDialogFixture f("scan_state_unwritable");
  WriteFileText(f.dir + "taken", "a file, not a folder");
  f.dlg.m_strScanDir = f.dir + "taken";
  f.SetTable({ListRow("LOST")});
  f.dlg.m_bStateLoaded = 1;
  EXPECT_FALSE(f.dlg.SaveState());
  EXPECT_FALSE(f.dlg.SaveState());
  ASSERT_EQ(ui.m_messages.size(), 1u);
  EXPECT_EQ(ui.m_messages[0].icon, MsgIcon::Warning);
  EXPECT_NE(ui.m_messages[0].text.find("スキャンの状態表を保存できませんでした。"), std::string::npos);
  EXPECT_NE(ui.m_messages[0].text.find(f.dlg.StatePath()), std::string::npos) << ui.m_messages[0].text;
}

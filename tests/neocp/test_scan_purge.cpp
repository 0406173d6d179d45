// The purge: finished rows go to the archive "neocp_scan_purged.csv" first
// and leave the table only when it holds them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <regex>

#include "neocp/scan_csv.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"
#include "tests/common/test_data.h"
#include "tests/neocp/scan_fixtures.h"

namespace {

const std::string kBom = "\xEF\xBB\xBF";
const std::string kHeader = "パージした日時," + GetCsvHeaderLine();

NeocpScanRow StateRow(const std::string& desig, int listState)
{
  NeocpScanRow r = ListRow(desig);
  r.list_state = listState;
  if (listState == kListProvisional) {
    r.prov_name = "2025 XA12";
    r.prov_des = "K25X12A";
    r.fate = "2025 XA12 (12月17.23日)";
  } else if (listState == kListRemoved) {
    r.fate_short = "確認されず";
    r.fate = "追跡観測で確認されなかった (was not confirmed、12月17.4日)";
  }
  return r;
}

struct PurgeFixture : ScanDialogFixture {
  explicit PurgeFixture(const std::string& tag) : ScanDialogFixture(tag)
  {
    dlg.m_bStateLoaded = 1;
    CreateFolder(dlg.m_strScanDir);
  }
  std::string Archive() const { return dlg.m_strScanDir + "/neocp_scan_purged.csv"; }
  int Count(const std::string& text, const std::string& what) const
  {
    int n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
      ++n;
    return n;
  }
  HeadlessUiServices ui;
  ScopedUi scoped{ui};
};

// "YYYY/MM/DD HH:MM," and the row's 70 cells.
void ExpectArchiveLine(const std::string& line, const NeocpScanRow& row)
{
  static const std::regex when(R"(^\d{4}/\d{2}/\d{2} \d{2}:\d{2},)");
  EXPECT_TRUE(std::regex_search(line, when)) << line;
  std::vector<std::string> cells;
  FormatCsvRow(row, cells);
  std::string joined;
  for (const std::string& c : cells)
    joined += "," + c;
  EXPECT_EQ(line.substr(16), joined);
}

std::vector<std::string> Lines(const std::string& text)
{
  std::vector<std::string> lines;
  size_t pos = 0;
  for (size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", pos)) {
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  EXPECT_EQ(pos, text.size()) << "the archive ends in CR LF";
  return lines;
}

} // namespace

TEST(ScanPurge, TwoPurgesShareOneHeaderAndTheRestKeepsItsDisplayOrder)
{
  PurgeFixture f("scan_purge_twice");
  f.SetTable({StateRow("N0", kListOnNeocp), StateRow("L1", kListLeft), StateRow("P2", kListProvisional),
              StateRow("P3", kListPccp), StateRow("R4", kListRemoved), StateRow("M5", kListMerged),
              StateRow("F6", kListLocalFile), StateRow("Q0", kListOnNeocp), StateRow("X2", kListProvisional)});
  f.dlg.OnColumnClick(0);
  f.dlg.OnColumnClick(0);  // designation, descending
  ASSERT_EQ(f.DisplayedDesigs(), (std::vector<std::string>{"X2", "R4", "Q0", "P3", "P2", "N0", "M5", "L1", "F6"}));
  const std::vector<NeocpScanRow> finished = {StateRow("X2", kListProvisional), StateRow("R4", kListRemoved),
                                              StateRow("P2", kListProvisional), StateRow("M5", kListMerged)};

  f.dlg.OnPurge();
  EXPECT_EQ(f.DisplayedDesigs(), (std::vector<std::string>{"Q0", "P3", "N0", "L1", "F6"}));
  EXPECT_EQ(f.dlg.GetItemText(kIdScanStatus),
            "4個を表から外しました。外した天体の結果は neocp_scan_purged.csv に残してあります");
  std::string archive = ReadFileText(f.Archive());
  ASSERT_EQ(archive.compare(0, 3, kBom), 0);
  std::vector<std::string> lines = Lines(archive.substr(3));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], kHeader);
  for (size_t i = 0; i < finished.size(); ++i)
    ExpectArchiveLine(lines[i + 1], finished[i]);
  const std::string when = lines[1].substr(0, 16);
  EXPECT_NE(f.dlg.m_strLog.find("―― パージ " + when +
                                "  4個を表から外しました(仮符号が付いた 2・そのほか 2)。結果は neocp_scan_purged.csv "
                                "に残しました ――\r\n  X2       -> K25X12A  2025 XA12 (12月17.23日)\r\n"
                                "  R4       確認されず   追跡観測で確認されなかった (was not confirmed、12月17.4日)\r\n"),
            std::string::npos)
      << f.dlg.m_strLog;
  {
    CNeocpScanDlg reread(nullptr);
    reread.m_strScanDir = f.dlg.m_strScanDir;
    ASSERT_TRUE(reread.LoadState());
    EXPECT_EQ(reread.m_nRows, 4);  // Q0 P3 N0 L1; the local row is never written
  }
  EXPECT_EQ(ReadFileText(f.dlg.m_strScanDir + "/" + kScanCsvName).find("X2"), std::string::npos);

  // A second purge appends under the same header, without a second mark.
  for (int i = 0; i < f.dlg.m_nRows; ++i)
    if (f.dlg.m_pRows[i].desig == "N0")
      f.dlg.m_pRows[i].list_state = kListMerged;
  f.dlg.OnPurge();
  EXPECT_EQ(f.DisplayedDesigs(), (std::vector<std::string>{"Q0", "P3", "L1", "F6"}));
  archive = ReadFileText(f.Archive());
  EXPECT_EQ(f.Count(archive, kBom), 1);
  lines = Lines(archive.substr(3));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(f.Count(archive, "パージした日時,"), 1);
  EXPECT_EQ(lines[5].substr(16, 4), ",N0,");

  // Rows at 0, 1, 3 and 6 are never purged.
  f.dlg.OnPurge();
  EXPECT_EQ(f.DisplayedDesigs(), (std::vector<std::string>{"Q0", "P3", "L1", "F6"}));
  EXPECT_EQ(f.dlg.GetItemText(kIdScanStatus), "表から外せる天体(仮符号が付いたものなど)はありません");
  EXPECT_EQ(ReadFileText(f.Archive()), archive);
}

TEST(ScanPurge, AHeaderGoesBeforeThePurgeUnlessTheLastOneIsCurrent)
{
  struct Case {
    const char* name;
    std::string before;  // archive before the purge; "-" none
    bool header;
    bool bom;
  } const cases[] = {
      {"new file", "-", true, true},
      {"other columns", kBom + "パージした日時,旧い列\r\n2020/01/01 00:00,x\r\n", true, false},
      {"current after other", kBom + "パージした日時,旧い列\r\nx\r\n" + kHeader + "\r\ny\r\n", false, false},
      {"current before other", kBom + kHeader + "\r\nx\r\nパージした日時,旧い列\r\ny\r\n", true, false},
      {"empty file", "", true, false},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PurgeFixture f("scan_purge_header" + std::to_string(index++));
    if (c.before != "-")
      WriteFileText(f.Archive(), c.before);
    f.SetTable({StateRow("P2", kListProvisional), StateRow("N0", kListOnNeocp)});
    f.dlg.OnPurge();
    const std::string archive = ReadFileText(f.Archive());
    const std::string old = c.before == "-" ? "" : c.before;
    ASSERT_EQ(archive.compare(0, old.size(), old), 0) << "old lines stay as they were";
    std::string added = archive.substr(old.size());
    if (c.bom) {
      ASSERT_EQ(added.compare(0, 3, kBom), 0);
      added = added.substr(3);
    }
    const std::vector<std::string> lines = Lines(added);
    ASSERT_EQ(lines.size(), c.header ? 2u : 1u);
    if (c.header) {
      EXPECT_EQ(lines[0], kHeader);
    }
    EXPECT_EQ(lines.back().substr(16, 4), ",P2,");
    EXPECT_EQ(f.dlg.m_nRows, 1);
  }
}

TEST(ScanPurge, AnArchiveThatCannotBeWrittenKeepsEveryRow)
{
  PurgeFixture f("scan_purge_full");
  ASSERT_EQ(symlink("/dev/full", f.Archive().c_str()), 0);
  f.SetTable({StateRow("P2", kListProvisional), StateRow("N0", kListOnNeocp), StateRow("R4", kListRemoved)});
  f.dlg.OnPurge();
  EXPECT_EQ(f.DisplayedDesigs(), (std::vector<std::string>{"P2", "N0", "R4"}));
  ASSERT_EQ(f.ui.m_messages.size(), 1u);
  EXPECT_EQ(f.ui.m_messages[0].caption, "パージ");
  EXPECT_EQ(f.ui.m_messages[0].text, "外す天体の結果を書き残せなかったので、表から外すのをやめました。\r\n" + f.Archive() +
                                         "\r\n(表計算ソフトで開いたままなら、閉じてからもう一度お試しください)");
  EXPECT_EQ(f.ui.m_messages[0].icon, MsgIcon::Warning);
  EXPECT_FALSE(FileExists(f.dlg.StatePath()));
  EXPECT_EQ(f.dlg.m_strLog, "");
}

TEST(ScanPurge, PurgingEveryRowLeavesAnEmptyTable)
{
  PurgeFixture f("scan_purge_all");
  f.SetTable({StateRow("P2", kListProvisional), StateRow("M5", kListMerged)});
  f.dlg.OnPurge();
  EXPECT_EQ(f.dlg.m_nRows, 0);
  EXPECT_EQ(ReadFileText(f.dlg.m_strScanDir + "/" + kScanCsvName), kBom + GetCsvHeaderLine() + "\r\n");
  CNeocpScanDlg reread(nullptr);
  reread.m_strScanDir = f.dlg.m_strScanDir;
  ASSERT_TRUE(reread.LoadState());
  EXPECT_EQ(reread.m_nRows, 0);
  EXPECT_FALSE(f.dlg.IsItemEnabled(kIdScanPurge));
}

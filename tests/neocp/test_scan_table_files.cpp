// The table writes and reads its state table and CSV with no dialog: a
// worker or a test gets the dialog's bytes from the table alone.
#include <gtest/gtest.h>

#include <sstream>

#include "neocp/scan_csv.h"
#include "neocp/scan_table.h"
#include "tests/common/test_data.h"
#include "tests/neocp/scan_fixtures.h"

namespace {

void Fill(NeocpScanTable& table, const std::vector<NeocpScanRow>& rows)
{
  NeocpScanRow* array = NewScanRowArray(static_cast<int>(rows.size()));
  ASSERT_NE(array, nullptr);
  for (size_t i = 0; i < rows.size(); ++i)
    CopyScanRow(array[i], rows[i]);
  table.Replace(array, static_cast<int>(rows.size()));
}

// The first cell of every line after the header.
std::vector<std::string> FirstCells(const std::string& csv)
{
  std::vector<std::string> out;
  std::istringstream in(csv);
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line))
    out.push_back(line.substr(0, line.find(',')));
  return out;
}

} // namespace

TEST(ScanTableFiles, StateAndCsvComeBackByteForByteAndLocalRowsStay)
{
  const std::string dir = MakeTempDir("scan_table_files");
  NeocpScanRow odd = CompleteRow("C3", 0.1 + 0.2, 1e-300, 2);
  odd.note = "tab\there, and a \"quote\"";
  odd.list_state = kListLeft;
  NeocpScanRow computing = ListRow("RUNNING");
  computing.status = kScanComputing;
  NeocpScanRow local = CompleteRow("mine", 0.02, 0.01);
  local.list_state = kListLocalFile;
  // Table order differs from the desig order the CSV must follow.
  NeocpScanTable first;
  Fill(first, {odd, local, CompleteRow("A1", 0.05, 0.004), computing, ListRow("B2")});
  first.SortBy(0, 1);
  std::string error;
  ASSERT_TRUE(first.SaveState(dir + "a", error)) << error;
  ASSERT_EQ(first.SaveCsv(dir + "a", 0), 1);
  ASSERT_EQ(first.SaveCsv(dir + "a/files", 1), 1);
  const std::string state = ReadFileText(dir + "a/neocp_scan_state.tsv");
  const std::string csv = ReadFileText(dir + "a/" + kScanCsvName);
  EXPECT_EQ(state.find("mine"), std::string::npos) << "local-file rows are not stored";
  EXPECT_EQ(FirstCells(csv), (std::vector<std::string>{"A1", "B2", "C3"})) << "display order, none computing";
  EXPECT_EQ(FirstCells(ReadFileText(dir + "a/files/" + kScanCsvName)), std::vector<std::string>{"mine"});

  // A table that already shows a local file keeps it after the NEOCP rows.
  NeocpScanTable second;
  NeocpScanRow other = ListRow("other.obs");
  other.list_state = kListLocalFile;
  Fill(second, {other});
  std::string log;
  ASSERT_EQ(second.LoadState(dir + "a", true, log), kScanStateRead);
  EXPECT_EQ(log, "");
  ASSERT_EQ(second.m_nRows, 5);
  EXPECT_EQ(second.m_pRows[4].desig, "other.obs");
  second.SortBy(0, 1);
  ASSERT_TRUE(second.SaveState(dir + "b", error)) << error;
  ASSERT_EQ(second.SaveCsv(dir + "b", 0), 1);
  EXPECT_EQ(ReadFileText(dir + "b/neocp_scan_state.tsv"), state);
  EXPECT_EQ(ReadFileText(dir + "b/" + kScanCsvName), csv);

  // No file: the table as it was, nothing logged.
  EXPECT_EQ(second.LoadState(dir + "none", true, log), kScanStateNoFile);
  EXPECT_EQ(second.m_nRows, 5);
  EXPECT_EQ(log, "");
}

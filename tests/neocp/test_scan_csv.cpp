// "neocp_scan.csv" against cells written out by hand: quoting, a row never
// scanned, a hyperbolic orbit with clones; the same bytes under a locale with
// a decimal comma; rows being computed and unscanned local rows left out.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <numbers>

#include "neocp/scan_csv.h"
#include "platform/numbers.h"
#include "tests/common/test_data.h"
#include "tests/neocp/scan_fixtures.h"

namespace {

std::string Join(const std::vector<std::string>& cells)
{
  std::string line;
  for (size_t i = 0; i < cells.size(); ++i)
    line += (i ? "," : "") + cells[i];
  return line;
}

std::vector<std::string> Cells(std::vector<std::string> head, size_t total)
{
  head.resize(total);
  return head;
}

NeocpScanRow NeverScanned()
{
  NeocpScanRow r = ListRow("A,1", 87, 6, 0.12, 22.3);
  r.note = "say \"hi\"";
  r.fate = "gone\naway";
  return r;
}

std::vector<std::string> NeverScannedCells()
{
  return Cells({"\"A,1\"", "", "", "新規", "\"gone\naway\"", "\"say \"\"hi\"\"\"", "", "87", "22.3", "", "", "", "",
                "", "6", "6", "", "0.12"},
               kCsvColumns);
}

NeocpScanRow Hyperbolic()
{
  NeocpScanRow r = CompleteRow("B2", 2 * 0.0025695552897999907, 0.001);
  r.elapsed_sec = 12.25;
  r.epoch = 2460700.5;
  r.tpass = 2460650.25;
  r.qdis = 0.9;
  r.ecc = 1.25;
  r.peri = std::numbers::pi / 2;
  r.node = std::numbers::pi;
  r.inc = std::numbers::pi / 6;
  r.scan_jd0 = 2460600.5;
  r.scan_jd1 = 2460800.5;
  r.n_invalid = 2;
  r.clo_median = 0.01;
  r.lov_mode = 1;
  r.lov_ratio = 150;
  r.sigma0 = 0.5;
  r.obs_path = "/x/B2.obs";
  r.known_checked = 1;
  return r;
}

std::vector<std::string> HyperbolicCells()
{
  return {"B2", "", "", "完了", "", "", "", "50", "21.0", "AI+共分散",
          "", "", "", "", "5", "5", "5", "0.5000", "0.4000", "2460700.5",
          "2460650.250000", "0.90000000", "1.25000000", "90.00000", "180.00000", "30.00000", "",
          "2024/10/16 23:59", "2025/05/04 23:59", "0.00513911", "2.0000", "768800", "2025/01/24 23:59",
          "2460700.50000", "0", "200", "198", "2", "0", "0.000000", "", "",
          "0.00100000", "0.3892", "149598", "2025/01/25 17:59", "2460701.25000", "0", "",
          "0.01000000", "3.8917", "LOV", "150.0", "0.5000", "0", "12.2",
          "/x/B2.obs", "", "", "", "なし", "", "0", "0.0000", "", "", "", "", "", ""};
}

// A locale with a decimal comma, made for this program (false when it cannot be).
bool SwitchToDecimalComma()
{
  const std::string dir = MakeTempDir("locale");
  const std::string cmd = "localedef -i de_DE -f UTF-8 " + dir + "de_DE.UTF-8 >/dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0 && std::system(("test -d " + dir + "de_DE.UTF-8").c_str()) != 0)
    return false;
  setenv("LOCPATH", dir.c_str(), 1);
  return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

} // namespace

TEST(ScanCsv, CellsOfAFewRows)
{
  std::vector<std::string> cells;
  FormatCsvRow(NeverScanned(), cells);
  EXPECT_EQ(cells, NeverScannedCells());
  FormatCsvRow(Hyperbolic(), cells);
  EXPECT_EQ(cells, HyperbolicCells());
  EXPECT_EQ(HyperbolicCells().size(), static_cast<size_t>(kCsvColumns));

  // Once observations were read, columns 15 and 18 leave the list's values.
  NeocpScanRow r = NeverScanned();
  r.n_obs = 9;
  r.arc_days = 0.123456;
  FormatCsvRow(r, cells);
  EXPECT_EQ(cells[14], "9");
  EXPECT_EQ(cells[15], "6");
  EXPECT_EQ(cells[17], "0.1235");
  // An elliptic orbit gets its a.
  r = Hyperbolic();
  r.ecc = 0.5;
  FormatCsvRow(r, cells);
  EXPECT_EQ(cells[26], "1.80000000");
}

TEST(ScanCsv, FileInDisplayOrderAndUnderADecimalCommaLocale)
{
  ScanDialogFixture f("scan_csv");
  NeocpScanRow computing = ListRow("RUNNING");
  computing.status = kScanComputing;
  NeocpScanRow localNew = ListRow("localnew");
  localNew.list_state = kListLocalFile;
  NeocpScanRow localDone = Hyperbolic();
  localDone.desig = "localdone";
  localDone.list_state = kListLocalFile;
  f.SetTable({Hyperbolic(), computing, localNew, NeverScanned(), localDone});
  f.dlg.OnColumnClick(0);  // "A,1" before "B2"
  f.dlg.m_bStateLoaded = 1;
  ASSERT_EQ(f.dlg.SaveCsv(0), 1);
  const std::string expected = "\xEF\xBB\xBF" + GetCsvHeaderLine() + "\r\n" + Join(NeverScannedCells()) + "\r\n" +
                               Join(HyperbolicCells()) + "\r\n";
  const std::string path = f.dlg.m_strScanDir + "/neocp_scan.csv";
  EXPECT_EQ(ReadFileText(path), expected);
  EXPECT_EQ(GetCsvHeaderLine().substr(0, 34), "トラックレットID,仮符号,");

  ASSERT_EQ(f.dlg.SaveCsv(1), 1);
  std::vector<std::string> local = HyperbolicCells();
  local[0] = "localdone";
  EXPECT_EQ(ReadFileText(f.dlg.m_strFileDir + "/neocp_scan.csv"),
            "\xEF\xBB\xBF" + GetCsvHeaderLine() + "\r\n" + Join(local) + "\r\n");

  const std::string old = std::setlocale(LC_ALL, nullptr);
  if (!SwitchToDecimalComma()) {
    GTEST_LOG_(INFO) << "no decimal-comma locale could be made; checked in the C locale only";
    return;
  }
  ASSERT_EQ(FormatC("%.1f", 0.5), "0.5");
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 0.5);
  EXPECT_STREQ(probe, "0,5") << "the locale is in force";
  std::remove(path.c_str());
  EXPECT_EQ(f.dlg.SaveCsv(0), 1);
  EXPECT_EQ(ReadFileText(path), expected);
  std::setlocale(LC_ALL, old.c_str());
}

TEST(ScanCsv, Quoting)
{
  struct Case {
    const char* in;
    const char* out;
  };
  for (const Case& c : {Case{"plain", "plain"}, Case{"a,b", "\"a,b\""}, Case{"q\"", "\"q\"\"\""},
                        Case{"cr\r", "\"cr\r\""}, Case{"", ""}})
    EXPECT_EQ(CsvQuote(c.in), c.out) << c.in;
}

// The scan list: cell texts, sorting by clicking column headers, row colours.
#include <gtest/gtest.h>

#include "tests/neocp/scan_fixtures.h"

namespace {

NeocpScanRow WithH(const std::string& desig, double h)
{
  NeocpScanRow r = ListRow(desig);
  r.h = h;
  return r;
}

} // namespace

TEST(ScanList, ClicksToggleTheDirectionAndMissingValuesStayLast)
{
  ScanDialogFixture f("scan_sort_h");
  f.SetTable({WithH("A", 20.5), WithH("B", kScanUnknown), WithH("C", 18.0), WithH("D", 22.0), WithH("E", 18.0)});
  const int kH = 15;
  f.dlg.OnColumnClick(kH);
  EXPECT_EQ(f.DisplayedDesigs(), (std::vector<std::string>{"C", "E", "A", "D", "B"}));
  EXPECT_EQ(f.dlg.m_bSortAscending, 1);
  f.dlg.OnColumnClick(kH);
  EXPECT_EQ(f.DisplayedDesigs(), (std::vector<std::string>{"D", "A", "E", "C", "B"}));
  f.dlg.OnColumnClick(kH);
  EXPECT_EQ(f.DisplayedDesigs(), (std::vector<std::string>{"C", "E", "A", "D", "B"}));
  // Another column starts ascending; a scan in progress blocks sorting.
  f.dlg.OnColumnClick(0);
  EXPECT_EQ(f.DisplayedDesigs(), (std::vector<std::string>{"A", "B", "C", "D", "E"}));
  f.dlg.m_bRunning = 1;
  f.dlg.OnColumnClick(0);
  EXPECT_EQ(f.dlg.m_bSortAscending, 1);
  f.dlg.m_bRunning = 0;
  f.dlg.OnColumnClick(19);
  EXPECT_EQ(f.dlg.m_nSortColumn, 0);
}

TEST(ScanList, ImpactProbabilityAscendingPutsTheHighestFirst)
{
  ScanDialogFixture f("scan_sort_impact");
  f.SetTable({CompleteRow("LOW", 0.1, 0.05, 1), ListRow("UNSCANNED"), CompleteRow("HIGH", 0.1, 0.0, 20),
              CompleteRow("NONE", 0.1, 0.05, 0)});
  f.dlg.OnColumnClick(13);
  EXPECT_EQ(f.DisplayedDesigs(), (std::vector<std::string>{"HIGH", "LOW", "NONE", "UNSCANNED"}));
  f.dlg.OnColumnClick(13);
  EXPECT_EQ(f.DisplayedDesigs(), (std::vector<std::string>{"NONE", "LOW", "HIGH", "UNSCANNED"}));
}

TEST(ScanList, EmptyNotesStayLastInBothDirections)
{
  ScanDialogFixture f("scan_sort_note");
  NeocpScanRow a = ListRow("A"), b = ListRow("B"), c = ListRow("C");
  b.prov_des = "2025 XB1";
  c.on_pccp = 1;
  f.SetTable({a, b, c});
  f.dlg.OnColumnClick(1);
  EXPECT_EQ(f.DisplayedDesigs(), (std::vector<std::string>{"B", "C", "A"}));
  f.dlg.OnColumnClick(1);
  EXPECT_EQ(f.DisplayedDesigs(), (std::vector<std::string>{"C", "B", "A"}));
}

TEST(ScanList, RowColours)
{
  struct Case {
    const char* what;
    NeocpScanRow row;
    bool hasBackground;
    uint32_t background;
    bool hasText;
    uint32_t text;
  };
  NeocpScanRow computing = ListRow("X");
  computing.status = kScanComputing;
  NeocpScanRow gone = CompleteRow("X", 1.0, 1.0);
  gone.list_state = kListLeft;
  NeocpScanRow failed = ListRow("X");
  failed.status = kScanNoOrbit;
  failed.nobs_at_scan = failed.list_nobs;
  NeocpScanRow updated = failed;
  updated.list_nobs = failed.nobs_at_scan + 3;
  NeocpScanRow blue = CompleteRow("X", 1.0, 1.0);
  blue.just_scanned = 1;
  NeocpScanRow nominalImpact = CompleteRow("X", 0.0, 0.1);
  nominalImpact.nom_impact = 1;
  const Case cases[] = {
      {"closest clone inside one LD", CompleteRow("X", 0.2, 0.002), true, 0xBEE2FF, false, 0},
      {"clone impact", CompleteRow("X", 0.2, 0.0, 2), true, 0xCDCDFF, false, 0},
      {"nominal impact", nominalImpact, true, 0xCDCDFF, false, 0},
      {"within 0.05 AU", CompleteRow("X", 0.04, 0.03), true, 0xCDFAFF, false, 0},
      {"far", CompleteRow("X", 0.5, 0.3), false, 0, false, 0},
      {"computing", computing, true, 0xFFEEE1, false, 0},
      {"new", ListRow("X"), true, 0xDEF4DE, false, 0},
      {"updated since its scan", updated, true, 0xDEF4DE, false, 0},
      {"failed", failed, false, 0, true, 0x808080},
      {"left the list", gone, false, 0, true, 0x6E6E6E},
      {"just scanned", blue, false, 0, true, 0xFF0000},
  };
  for (const Case& c : cases) {
    const ScanRowColours got = GetScanRowColours(c.row);
    EXPECT_EQ(got.hasBackground, c.hasBackground) << c.what;
    if (c.hasBackground) {
      EXPECT_EQ(got.background, c.background) << c.what;
    }
    EXPECT_EQ(got.hasText, c.hasText) << c.what;
    if (c.hasText) {
      EXPECT_EQ(got.text, c.text) << c.what;
    }
  }
}

TEST(ScanList, CellTexts)
{
  NeocpScanRow r = CompleteRow("P21abc", 0.0025695552897999907, 0.05, 3);
  r.nobs_at_scan = 5;
  r.list_nobs = 8;
  r.elapsed_sec = 12.4;
  r.fate = "gone";
  r.note = "limit";
  struct Case {
    int column;
    const char* text;
  };
  const Case cases[] = {
      {3, "更新"},        {4, "AI+共分散"},   {5, "5→8"},   {6, "0.50"},         {7, "0.40"},
      {8, "1.000"},       {10, "19.5"},      {11, "7479894"}, {13, "1.5% (3/198)"}, {15, "21.0"},
      {16, "50"},         {17, "12"},        {18, "gone / limit"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(GetScanListCell(r, c.column), c.text) << c.column;
  NeocpScanRow unknown = ListRow("U", kScanUnknown, kScanUnknown, kScanUnknown, kScanUnknown);
  for (int column : {5, 6, 15, 16})
    EXPECT_EQ(GetScanListCell(unknown, column), "-") << column;
  EXPECT_EQ(GetScanListCell(unknown, 3), "新規");
}

TEST(ScanRowTexts, DerivedTexts)
{
  EXPECT_EQ(FormatLdCell(9e9), "-");
  EXPECT_EQ(FormatLdCell(0.0025695552897999907), "1.000");
  EXPECT_EQ(FormatLdCell(0.05), "19.5");
  EXPECT_EQ(FormatJdCell(0), "");
  // 2023-02-25 0h TT is 23:58:50.8 UT the day before, rounded to the minute.
  EXPECT_EQ(FormatJdCell(2460000.5), "2023/02/24 23:59");

  NeocpScanRow r = CompleteRow("X", 1, 1);
  r.arc_days = 1.0;
  r.ecc = 1.05;
  EXPECT_EQ(GetScanNote(r), "彗星的軌道") << "hyperbolic: no Tisserand test";
  r.on_pccp = 1;
  EXPECT_EQ(GetScanNote(r), "PCCP・彗星的軌道");
  r.ecc = 1.1;
  EXPECT_EQ(GetScanNote(r), "PCCP");
  // a = 3.5 AU, e = 0.6, i = 0: TJ = 5.2044/3.5 + 2 sqrt(0.64 * 3.5 / 5.2044) = 2.799 < 3.
  r.ecc = 0.6;
  r.qdis = 1.4;
  r.inc = 0;
  EXPECT_EQ(GetScanNote(r), "PCCP・彗星的軌道");
  r.qdis = 0.9;  // a = 2.25: TJ = 3.43
  EXPECT_EQ(GetScanNote(r), "PCCP");
  r.prov_des = "2025 AB";
  r.qdis = 1.4;
  EXPECT_EQ(GetScanNote(r), "2025 AB");

  NeocpScanRow k = ListRow("K");
  EXPECT_EQ(FormatKnownCandidate(k), "");
  k.known_checked = 1;
  EXPECT_EQ(FormatKnownCandidate(k), "なし");
  k.known_name = "(1) Ceres";
  k.known_rms = 0.8;
  k.known_arc = 0.1;
  k.known_along = 0.5;
  EXPECT_EQ(FormatKnownCandidate(k), "(1) Ceres  0.8\" (+30.0')");
  k.known_along = 0.001;
  k.known_is_comet = 1;
  k.known_rms = 2.0;
  EXPECT_EQ(FormatKnownCandidate(k), "? 彗星 (1) Ceres  2.0\" (+4\")");
  k.known_along = -1.25;
  EXPECT_EQ(FormatKnownCandidate(k), "? 彗星 (1) Ceres  2.0\" (-1.2°)");
}

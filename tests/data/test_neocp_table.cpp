// The NEOCP pick dialog's table: cells, sort clicks, sorting and the search
// for a typed designation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "data/neocp_table.h"

namespace {

const char* const kList = R"([
 {"Temp_Desig": "P21abcd", "Score": 87, "Discovery_year": 2025, "Discovery_month": 3, "Discovery_day": 5.25,
  "R.A.": 5.5, "Decl.": -20.15, "V": 20.34, "Updated": "Updated Sept. 12.5 UT", "NObs": 6, "Arc": 0.125,
  "H": 22.1, "Not_Seen_dys": 1.5},
 {"Temp_Desig": "A11xyz", "Discovery_month": 12, "R.A.": 23.9999, "Decl.": 10.5, "NObs": 3},
 {"Temp_Desig": "C44Q", "Score": 100, "Discovery_year": 2025, "Discovery_month": 12, "Discovery_day": 16.3,
  "R.A.": 6.124, "Decl.": 20.1517, "V": 19.5, "Updated": "Added Dec. 16.73 UT", "NObs": 2, "Arc": 0.0,
  "H": 29.6, "Not_Seen_dys": 0.495},
 {"Temp_Desig": "p21ABCD", "Score": 3, "NObs": 12}
])";

struct Entries {
  NeocpEntry* p = nullptr;
  int n = 0;
  Entries() { n = ParseNeocpJson(kList, &p); }
  ~Entries() { std::free(p); }
  std::vector<std::string> Desigs() const
  {
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i)
      out.push_back(p[i].m_szDesig);
    return out;
  }
};

TEST(NeocpTable, CellTexts)
{
  Entries e;
  ASSERT_EQ(e.n, 4);
  std::vector<std::string> row, empty;
  for (int c = 0; c < kNeocpColumnCount; ++c) {
    row.push_back(NeocpCellText(e.p[0], c));
    empty.push_back(NeocpCellText(e.p[1], c));
  }
  EXPECT_EQ(row, (std::vector<std::string>{"P21abcd", "87", "2025/03/05.2", "05 30.0", "-20 09", "20.3", "6", "0.12",
                                           "22.1", "1.50", "更新 9月12.5日"}));
  EXPECT_EQ(empty, (std::vector<std::string>{"A11xyz", "-", "-", "00 00.0", "+10 30", "-", "3", "-", "-", "-", ""}));
  EXPECT_STREQ(NeocpColumnAt(9).header, "未観測(日)");
  EXPECT_TRUE(NeocpColumnAt(1).rightAligned);
  EXPECT_FALSE(NeocpColumnAt(10).rightAligned);
  EXPECT_EQ(NeocpColumnAt(10).width, 110);
}

TEST(NeocpTable, ClicksChooseColumnAndDirection)
{
  int column = -1, descending = 0;
  const int firstDescending[kNeocpColumnCount] = {0, 1, 1, 0, 0, 0, 1, 1, 0, 0, 1};
  for (int c = 0; c < kNeocpColumnCount; ++c) {
    NeocpSortClick(c, column, descending);
    EXPECT_EQ(column, c);
    EXPECT_EQ(descending, firstDescending[c]) << c;
  }
  NeocpSortClick(10, column, descending);
  EXPECT_EQ(descending, 0);
  NeocpSortClick(11, column, descending);
  NeocpSortClick(-1, column, descending);
  EXPECT_EQ(column, 10);
  EXPECT_EQ(descending, 0);
}

TEST(NeocpTable, ScoreTwiceThenFindTheTypedDesignation)
{
  Entries e;
  int column = -1, descending = 0;
  NeocpSortClick(1, column, descending);
  SortNeocpEntries(e.p, e.n, column, descending);
  EXPECT_EQ(e.Desigs(), (std::vector<std::string>{"C44Q", "P21abcd", "p21ABCD", "A11xyz"}));
  NeocpSortClick(1, column, descending);
  SortNeocpEntries(e.p, e.n, column, descending);
  // Ascending; the object without a score stays last.
  EXPECT_EQ(e.Desigs(), (std::vector<std::string>{"p21ABCD", "P21abcd", "C44Q", "A11xyz"}));

  EXPECT_EQ(FindNeocpEntry(e.p, e.n, "P21abcd"), 1);
  EXPECT_EQ(FindNeocpEntry(e.p, e.n, "p21abcd"), -1);  // case matters
  EXPECT_EQ(FindNeocpEntry(e.p, e.n, ""), -1);

  // Unsorted (-1) keeps the received order.
  Entries fresh;
  SortNeocpEntries(fresh.p, fresh.n, -1, 0);
  EXPECT_EQ(fresh.Desigs(), (std::vector<std::string>{"P21abcd", "A11xyz", "C44Q", "p21ABCD"}));
}

} // namespace

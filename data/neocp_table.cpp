#include "data/neocp_table.h"

#include <cstdlib>

#include "data/json_reader.h"
#include "platform/numbers.h"

namespace {

const NeocpColumn kColumns[kNeocpColumnCount] = {
    {"仮符号", false, 83},   {"スコア", true, 48}, {"発見", false, 93}, {"赤経", true, 58},
    {"赤緯", true, 56},      {"V等", true, 44},    {"観測数", true, 52}, {"弧(日)", true, 52},
    {"H", true, 43},         {"未観測(日)", true, 70}, {"更新", false, 110},
};

constexpr double kMissing = kJsonMissingNumber;

} // namespace

const NeocpColumn& NeocpColumnAt(int column)
{
  return kColumns[column < 0 || column >= kNeocpColumnCount ? 0 : column];
}

std::string NeocpCellText(const NeocpEntry& e, int column)
{
  switch (column) {
  case 0: return e.m_szDesig;
  case 1: return FormatNumberCell(e.m_dScore, "%.0f");
  case 2:
    if (e.m_dDiscYear == kMissing)
      return "-";
    return FormatC("%.0f/%02.0f/%04.1f", e.m_dDiscYear, e.m_dDiscMonth, e.m_dDiscDay);
  case 3: return FormatRaCell(e.m_dRa);
  case 4: return FormatDecCell(e.m_dDec);
  case 5: return FormatNumberCell(e.m_dV, "%.1f");
  case 6: return FormatNumberCell(e.m_dNObs, "%.0f");
  case 7: return FormatNumberCell(e.m_dArc, "%.2f");
  case 8: return FormatNumberCell(e.m_dH, "%.1f");
  case 9: return FormatNumberCell(e.m_dNotSeenDays, "%.2f");
  case 10: return e.m_szUpdated;
  default: return {};
  }
}

void NeocpSortClick(int column, int& sortColumn, int& descending)
{
  if (column < 0 || column >= kNeocpColumnCount)
    return;
  if (column == sortColumn) {
    descending = descending ? 0 : 1;
    return;
  }
  sortColumn = column;
  descending = (column == 1 || column == 2 || column == 6 || column == 7 || column == 10) ? 1 : 0;
}

void SortNeocpEntries(NeocpEntry* entries, int count, int sortColumn, int descending)
{
  if (!entries || count < 2 || sortColumn < 0)
    return;
  g_nNeocpSortColumn = sortColumn;
  g_bNeocpSortDescending = descending;
  std::qsort(entries, static_cast<size_t>(count), sizeof(NeocpEntry), CompareNeocpEntries);
}

int FindNeocpEntry(const NeocpEntry* entries, int count, const std::string& desig)
{
  for (int i = 0; entries && i < count; ++i)
    if (desig == entries[i].m_szDesig)
      return i;
  return -1;
}

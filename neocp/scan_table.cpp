#include "neocp/scan_table.h"

#include <new>
#include <string>

#include "neocp/scan_dlg.h"

namespace {

// <0, 0, >0 of two rows by a column, missing values last (before the
// direction is applied: the caller reverses only the ordered part).
int CompareByColumn(const NeocpScanRow& a, const NeocpScanRow& b, int column, bool& missing)
{
  missing = false;
  if (column == 0)
    return a.desig.compare(b.desig);
  if (column == 18)
    return a.note.compare(b.note);
  if (column == 1) {
    const std::string na = GetScanNote(a), nb = GetScanNote(b);
    if (na.empty() != nb.empty()) {
      missing = true;
      return na.empty() ? 1 : -1;
    }
    return na.compare(nb);
  }
  const double ka = GetScanSortKey(a, column), kb = GetScanSortKey(b, column);
  const bool ma = ka >= kScanNoDistance, mb = kb >= kScanNoDistance;
  if (ma || mb) {
    missing = ma != mb;
    return ma == mb ? 0 : ma ? 1 : -1;
  }
  return ka < kb ? -1 : ka > kb ? 1 : 0;
}

} // namespace

NeocpScanTable::~NeocpScanTable()
{
  DeleteScanRowArray(m_pRows);
  delete[] m_pOrder;
}

void NeocpScanTable::Replace(NeocpScanRow* rows, int count)
{
  DeleteScanRowArray(m_pRows);
  delete[] m_pOrder;
  m_pRows = nullptr;
  m_pOrder = nullptr;
  m_nRows = 0;
  if (!rows || count < 1) {
    DeleteScanRowArray(rows);
    return;
  }
  m_pOrder = new (std::nothrow) int[static_cast<size_t>(count)];
  if (!m_pOrder) {
    DeleteScanRowArray(rows);
    return;
  }
  m_pRows = rows;
  m_nRows = count;
  for (int i = 0; i < count; ++i)
    m_pOrder[i] = i;
  m_nSortColumn = -1;
}

int NeocpScanTable::PositionOf(int row) const
{
  for (int i = 0; i < m_nRows; ++i)
    if (m_pOrder[i] == row)
      return i;
  return -1;
}

void NeocpScanTable::SortBy(int column, int ascending)
{
  m_nSortColumn = column;
  m_bSortAscending = ascending;
  // Row a goes before row b.
  auto before = [this, column, ascending](int a, int b) {
    bool missing = false;
    int c = CompareByColumn(m_pRows[a], m_pRows[b], column, missing);
    if (missing)
      return c < 0;
    if (c == 0)
      c = a < b ? -1 : a > b ? 1 : 0;
    return ascending ? c < 0 : c > 0;
  };
  for (int i = 1; i < m_nRows; ++i) {
    const int v = m_pOrder[i];
    int j = i - 1;
    while (j >= 0 && before(v, m_pOrder[j])) {
      m_pOrder[j + 1] = m_pOrder[j];
      --j;
    }
    m_pOrder[j + 1] = v;
  }
}

#pragma once
// The scan's table without its dialog: the rows, the order the list shows
// them in, and the column and direction that order was sorted by. The dialog
// owns one and shows it; a table never shows itself.
#include "neocp/scan_row.h"

class NeocpScanTable {
public:
  NeocpScanTable() = default;
  ~NeocpScanTable();
  NeocpScanTable(const NeocpScanTable&) = delete;
  NeocpScanTable& operator=(const NeocpScanTable&) = delete;

  // Takes the array as the table, in its own order and unsorted; null or a
  // count below 1 (or no memory for the order) leaves the table empty.
  void Replace(NeocpScanRow* rows, int count);
  // The list position of a row index, -1 when none.
  int PositionOf(int row) const;
  // Sorts the order by a column (0 to 18), missing values last whatever the
  // direction, equal rows in table order; remembers column and direction.
  void SortBy(int column, int ascending);

  NeocpScanRow* m_pRows = nullptr;
  int m_nRows = 0;
  int* m_pOrder = nullptr;  // list position -> row index
  int m_nSortColumn = -1;
  int m_bSortAscending = 1;
};

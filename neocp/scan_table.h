#pragma once
// The scan's table without its dialog: the rows, the order the list shows
// them in, and the column and direction that order was sorted by. The dialog
// owns one and shows it; a table never shows itself.
#include <string>

#include "neocp/scan_row.h"

// What reading the state table did; the negative ones leave the table as it was.
enum ScanStateLoadResult : int {
  kScanStateNoFile = 0,       // none there yet: the table as it was
  kScanStateRead = 1,         // its rows, then the table's local-file rows
  kScanStateSetAside = 2,     // not ours: renamed aside, the table as it was
  kScanStateUnreadable = -1,  // could not be read
  kScanStateNotOurs = -2,     // not ours and left in place (not allowed, or the rename failed)
  kScanStateNoMemory = -3,
};

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

  // ---- the files (no window: the dialog, a worker and the tests share them) ----
  // Reads "neocp_scan_state.tsv" of the folder. A file of another format is
  // renamed aside only when mayRename (the folder is this instance's). The
  // lines the log should get are appended to log.
  int LoadState(const std::string& folder, bool mayRename, std::string& log);
  // Writes every row but the local-file ones, whole or not at all, creating
  // the folder; false with the reason in error.
  bool SaveState(const std::string& folder, std::string& error) const;
  // "neocp_scan.csv" in the folder (created), in display order: local 0 the
  // NEOCP rows, else the local-file rows, never a row being computed nor an
  // unscanned local one. 1 written, 0 not.
  int SaveCsv(const std::string& folder, int local) const;

  NeocpScanRow* m_pRows = nullptr;
  int m_nRows = 0;
  int* m_pOrder = nullptr;  // list position -> row index
  int m_nSortColumn = -1;
  int m_bSortAscending = 1;
};

#pragma once
// The NEOCP pick dialog's table without a window: its columns, the cell text
// of each, what a click on a column header does to the sort, and the search
// for a typed designation after a sort.
#include <string>

#include "data/neocp_list.h"

inline constexpr int kNeocpColumnCount = 11;

struct NeocpColumn {
  const char* header;
  bool rightAligned;
  int width;  // pixels
};

// The 11 columns, left to right.
const NeocpColumn& NeocpColumnAt(int column);

// Text of one cell (columns 0-10); a missing number shows "-".
std::string NeocpCellText(const NeocpEntry& entry, int column);

// A click on column (0-10): the current sort column turns its direction
// round; another column becomes the sort column, descending for score,
// discovery, observations, arc and update, ascending for the others. A
// column outside 0-10 changes nothing.
void NeocpSortClick(int column, int& sortColumn, int& descending);

// Sorts the entries by column and direction (through g_nNeocpSortColumn and
// g_bNeocpSortDescending) when the column is chosen and there are at least 2.
void SortNeocpEntries(NeocpEntry* entries, int count, int sortColumn, int descending);

// Index of the first entry whose designation is exactly desig (case
// matters); -1 when none.
int FindNeocpEntry(const NeocpEntry* entries, int count, const std::string& desig);

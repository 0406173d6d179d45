#pragma once
// The table's side of a list refresh, without the dialog: the rows of the
// received lists merged with the table's (whose results and fates they keep),
// and the counts the refresh reports.
#include <map>
#include <set>
#include <string>

#include "data/neocp_list.h"
#include "neocp/scan_row.h"

// What one refresh received: neocp.json's entries and, when pccp.txt came,
// its designations and the entries of the objects it lists.
struct NeocpReceivedLists {
  const NeocpEntry* entries = nullptr;
  int count = 0;
  bool pccpReceived = false;
  std::set<std::string> pccpDesigs;
  std::map<std::string, NeocpEntry> pccpEntries;
};

// The new table: the NEOCP's objects in its order, then the PCCP's not on
// it, then the old rows that left the list, then the local files' rows.
// Rows of a designation already in the table are copies of its first free
// old row. Null when memory ran out; pccpAdded counts the PCCP objects that
// neither list nor table had.
NeocpScanRow* MergeReceivedLists(const NeocpScanRow* old, int oldCount, const NeocpReceivedLists& lists, int& count,
                                 int& pccpAdded);

// The refresh's summary of the table.
struct NeocpListCounts {
  int onList = 0;      // on the NEOCP now
  int fresh = 0;       // of those, never scanned
  int updated = 0;     // of those, with more observations than at their scan
  int gone = 0;        // left the NEOCP (list states 2 to 5)
  int designated = 0;  // of those, given a provisional designation
  int finished = 0;    // whose story has ended (list states 2, 4, 5)
};
NeocpListCounts CountListStates(const NeocpScanRow* rows, int count);

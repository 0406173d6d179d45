#include "neocp/scan_list_merge.h"

#include <new>
#include <vector>

namespace {

constexpr const char* kLeftListFate = "NEOCPから外れた(行き先はまだ公表されていない)";

// The first old row, in table order, that is free and not a local file's and
// carries desig; -1 when none.
int FindFreeRow(const NeocpScanRow* rows, int count, const std::vector<char>& taken, const std::string& desig)
{
  for (int i = 0; i < count; ++i)
    if (!taken[static_cast<size_t>(i)] && rows[i].list_state != kListLocalFile && rows[i].desig == desig)
      return i;
  return -1;
}

void SetListValues(NeocpScanRow& row, const NeocpEntry& e)
{
  row.score = e.m_dScore;
  row.list_nobs = e.m_dNObs;
  row.list_arc = e.m_dArc;
  row.h = e.m_dH;
}

void ClearFate(NeocpScanRow& row)
{
  row.prov_des.clear();
  row.prov_name.clear();
  row.fate.clear();
  row.fate_short.clear();
}

// Fills the new table row by row; the old rows it took are marked.
struct ListMerge {
  const NeocpScanRow* old;
  int oldCount;
  NeocpScanRow* rows;
  std::vector<char> taken;
  int n = 0;

  // A row for desig: a copy of its old row (true) or a new one (false).
  bool TakeRow(const std::string& desig, NeocpScanRow*& row)
  {
    row = &rows[n++];
    const int i = FindFreeRow(old, oldCount, taken, desig);
    if (i < 0) {
      ResetScanRow(*row, 0);
      row->desig = desig;
      return false;
    }
    CopyScanRow(*row, old[i]);
    taken[static_cast<size_t>(i)] = 1;
    return true;
  }

  void AddNeocp(const NeocpReceivedLists& lists, std::set<std::string>& placed)
  {
    for (int i = 0; i < lists.count; ++i) {
      const NeocpEntry& entry = lists.entries[i];
      const std::string desig = entry.m_szDesig;
      NeocpScanRow* row = nullptr;
      if (TakeRow(desig, row) && row->list_state != kListOnNeocp) {
        row->list_state = kListOnNeocp;
        ClearFate(*row);
      }
      SetListValues(*row, entry);
      if (lists.pccpReceived)
        row->on_pccp = lists.pccpDesigs.count(desig) ? 1 : 0;
      placed.insert(desig);
    }
  }

  int AddPccpOnly(const NeocpReceivedLists& lists, const std::set<std::string>& placed)
  {
    int added = 0;
    for (const auto& [desig, entry] : lists.pccpEntries) {
      if (placed.count(desig))
        continue;
      NeocpScanRow* row = nullptr;
      if (TakeRow(desig, row))
        row->list_state = kListOnNeocp;
      else
        ++added;
      SetListValues(*row, entry);
      row->on_pccp = 1;
    }
    return added;
  }

  void AddLeft()
  {
    for (int i = 0; i < oldCount; ++i) {
      if (taken[static_cast<size_t>(i)] || old[i].list_state == kListLocalFile)
        continue;
      NeocpScanRow& row = rows[n++];
      CopyScanRow(row, old[i]);
      if (row.list_state == kListOnNeocp) {
        row.list_state = kListLeft;
        row.fate = kLeftListFate;
      }
    }
  }

  void AddLocalFiles()
  {
    for (int i = 0; i < oldCount; ++i)
      if (old[i].list_state == kListLocalFile)
        CopyScanRow(rows[n++], old[i]);
  }
};

} // namespace

NeocpScanRow* MergeReceivedLists(const NeocpScanRow* old, int oldCount, const NeocpReceivedLists& lists, int& count,
                                 int& pccpAdded)
{
  count = 0;
  pccpAdded = 0;
  const int capacity = oldCount + static_cast<int>(lists.pccpEntries.size()) + lists.count;
  NeocpScanRow* rows = NewScanRowArray(capacity);
  if (!rows)
    return nullptr;
  ListMerge merge{old, oldCount, rows, {}};
  try {
    merge.taken.assign(static_cast<size_t>(oldCount), 0);
  } catch (const std::bad_alloc&) {
    DeleteScanRowArray(rows);
    return nullptr;
  }
  std::set<std::string> placed;
  merge.AddNeocp(lists, placed);
  pccpAdded = merge.AddPccpOnly(lists, placed);
  merge.AddLeft();
  merge.AddLocalFiles();
  count = merge.n;
  return rows;
}

NeocpListCounts CountListStates(const NeocpScanRow* rows, int count)
{
  NeocpListCounts c;
  for (int i = 0; i < count; ++i) {
    const NeocpScanRow& row = rows[i];
    if (row.list_state == kListOnNeocp) {
      ++c.onList;
      c.fresh += row.status == kScanNever;
      c.updated += IsRowUpdatedSinceScan(row);
    } else if (row.list_state >= kListLeft && row.list_state <= kListMerged) {
      ++c.gone;
      c.designated += row.list_state == kListProvisional;
    }
    c.finished += row.list_state == kListProvisional || row.list_state == kListRemoved ||
                  row.list_state == kListMerged;
  }
  return c;
}

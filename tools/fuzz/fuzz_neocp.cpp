// libFuzzer target for the NEOCP list (neocp.json): the entries, every cell
// of the table and the sort by every column in both directions.
#include <algorithm>
#include <cstdlib>

#include "data/json_reader.h"
#include "data/neocp_list.h"
#include "data/neocp_table.h"
#include "tools/fuzz/fuzz_support.h"

namespace {

constexpr int kSortedEntries = 24;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  NeocpEntry* entries = nullptr;
  const int count = ParseNeocpJson(FuzzBytes(data, size), &entries);
  FuzzCheck(count >= 0 && (count == 0) == (entries == nullptr), "entries exactly when counted");
  FuzzCheck(static_cast<size_t>(count) <= size / 2, "no more entries than objects");
  for (int i = 0; i < count; ++i) {
    const NeocpEntry& e = entries[i];
    FuzzCheck(e.m_dRa == kJsonMissingNumber || (e.m_dRa >= 0 && e.m_dRa <= 24), "R.A. within 0-24 h or missing");
    FuzzCheck(e.m_dDec == kJsonMissingNumber || (e.m_dDec >= -90 && e.m_dDec <= 90), "Decl. within 90° or missing");
    for (int column = 0; column < kNeocpColumnCount; ++column)
      NeocpCellText(e, column);
  }
  // The comparisons are what the sorts can get wrong, and a couple of dozen
  // entries reach every one of them: sorting thousands of empty objects 22
  // times only spent the time, and 64 entries still took a quarter of it
  // (each sort allocates a copy of the records).
  const int sorted = std::min(count, kSortedEntries);
  for (int column = 0; column < kNeocpColumnCount; ++column)
    for (int descending = 0; descending < 2; ++descending)
      SortNeocpEntries(entries, sorted, column, descending);
  if (sorted > 0)
    FuzzCheck(FindNeocpEntry(entries, count, entries[sorted - 1].m_szDesig) >= 0, "an entry is found by its name");
  std::free(entries);
  return 0;
}

// The perturber sets: members, labels, names and the solution-file code.
#include "astro/mpeph_store.h"

#include "platform/numbers.h"

namespace {

struct SetRow {
  int count;
  int members[kPerturberSetMaxMembers];  // store indices
  const char* label;
};

// Indexed by PerturberSet.
const SetRow kSets[kPerturberSetCount] = {
    {0, {}, "M-P 小惑星なし"},
    {3, {0, 1, 2}, "M-Pv (1)(2)(4)"},
    {1, {0}, "M-Pc (1)"},
    {2, {0, 1}, "M-Pp (1)(2)"},
    {4, {0, 1, 2, 6}, "M-Pe +(15)"},
    {4, {0, 1, 2, 5}, "M-Ph +(10)"},
    {5, {0, 1, 2, 3, 4}, "従来 +(7)(324)"},
};

// By store index.
const char* const kNames[kMpephMaxAsteroids] = {"ケレス", "パラス", "ベスタ", "アイリス",
                                                "バンバーガ", "ヒギエア", "エウノミア"};
// Each member's bit in the code; 0 for Iris and Bamberga, which have none.
const int kCodeValues[kMpephMaxAsteroids] = {8, 16, 32, 0, 0, 1, 64};

const SetRow& Row(PerturberSet set) { return kSets[set >= 0 && set < kPerturberSetCount ? set : 0]; }

char DeLetter(int deNumber) {
  switch (deNumber) {
    case 200: return 'd';
    case 245: return 'f';
    case 403: return 'h';
    case 405:
    case 406: return 'j';
    case 431: return 'k';
    case 441: return 'l';
    default: return '?';
  }
}

}  // namespace

int GetPerturberSetMembers(PerturberSet set, int indices[kPerturberSetMaxMembers]) {
  const SetRow& row = Row(set);
  for (int i = 0; i < row.count; ++i) indices[i] = row.members[i];
  return row.count;
}

const char* GetPerturberSetLabel(PerturberSet set) { return Row(set).label; }

const char* GetPerturberName(PerturberSet set, int row) {
  const SetRow& r = Row(set);
  if (row < 0 || row >= r.count) return "(なし)";
  return kNames[r.members[row]];
}

std::string MakePerturberSetCode(PerturberSet set, int deNumber) {
  const SetRow& row = Row(set);
  int sum = 6;  // the Earth (2) and the Moon (4), always separate bodies
  bool unvalued = false;
  for (int i = 0; i < row.count; ++i) {
    sum |= kCodeValues[row.members[i]];
    if (kCodeValues[row.members[i]] == 0) unvalued = true;
  }
  return FormatC("%02X%c%s", sum, DeLetter(deNumber), unvalued ? "+" : "");
}

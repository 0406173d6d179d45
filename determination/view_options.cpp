#include "determination/view_options.h"

#include <algorithm>

#include "determination/determination_display.h"
#include "engine/orbit_engine.h"
#include "resources/determination_ids.h"

namespace {

constexpr const char* kMsgRelativityOff =
    "一般相対論補正をOFFにしました(ニュートン重力のみ)。\n比較検証用の一時的な設定で、再起動すればONに戻ります。";
constexpr const char* kMsgJ2Off =
    "地球の扁平(J2)補正をOFFにしました(地球は質点)。\n比較検証用の一時的な設定で、再起動すればONに戻ります。";
constexpr const char* kApophisOn =
    "【Apophisモード ON】\r\n積分と残差計算を「リジェクトされていない観測の範囲」に限定します。\r\n"
    "・範囲の外(前後のリジェクト部分)は積分しないため、計算時間を大幅に短縮できます。\r\n"
    "・その代わり、範囲外の観測の残差(O-C)は更新されず、画面には古い値が残ります。\r\n"
    "・元期は範囲の末尾に合わせて自動的に移動します。\r\n"
    "・残差が小さくなったらリジェクトを少しずつ解除して範囲を広げてください。\r\n";
constexpr const char* kApophisOff = "【Apophisモード OFF】従来どおり全観測期間を積分します。\r\n";
constexpr const char* kEpochFieldOn =
    "【元期をEpoch欄で指定する ON】\r\nEpoch欄の日付を改良の元期にします(標準の元期へは自動で移しません)。\r\n"
    "・Epoch欄に年・月・日を入れられるようになります。\r\n"
    "・欄の日付がいまの要素の元期と違えば、摂動積分で要素をその日付へ移してから改良します\r\n"
    "　(日付は0.5日単位に丸めます)。\r\n"
    "・元期が観測期間の中にあれば、残差の積分を元期の前後2回に分けます。\r\n"
    "・再現用ファイルは、ファイルの元期のまま読み込みます。\r\n";
constexpr const char* kEpochFieldOff =
    "【元期をEpoch欄で指定する OFF】元期は従来どおり自動で決めます(次の[計算をやり直す]・要素の読み込みから、"
    "最後の観測の直後へ置かれます)。\r\n";

bool Has(const std::vector<int>& ids, int id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }

void Remove(std::vector<int>& ids, int id) { ids.erase(std::remove(ids.begin(), ids.end(), id), ids.end()); }

// Inserts id right after the item after (appended when after is missing or last).
void InsertAfter(std::vector<int>& ids, int after, int id) {
  const auto it = std::find(ids.begin(), ids.end(), after);
  ids.insert(it == ids.end() ? ids.end() : it + 1, id);
}

int Flip(int& flag) { return flag = flag ? 0 : 1; }

} // namespace

void ArrangeOptionItems(std::vector<int>& ids, bool developer) {
  if (developer && !Has(ids, ID_RELATIVITY)) InsertAfter(ids, ID_OPLOG_TOGGLE, ID_RELATIVITY);
  if (!developer) Remove(ids, ID_RELATIVITY);
  if (developer && !Has(ids, ID_J2)) InsertAfter(ids, ID_RELATIVITY, ID_J2);
  if (!developer) Remove(ids, ID_J2);
  if (!Has(ids, ID_EPOCH_FROM_FIELD)) {
    int after = 0;
    for (int candidate : {static_cast<int>(ID_J2), static_cast<int>(ID_RELATIVITY), static_cast<int>(ID_OPLOG_TOGGLE)})
      if (Has(ids, candidate)) {
        after = candidate;
        break;
      }
    InsertAfter(ids, after, ID_EPOCH_FROM_FIELD);
  }
}

bool OptionChecked(const CDeterminationDisplay& view, int id) {
  const OrbitEngine& e = *view.m_pEngine;
  switch (id) {
  case ID_OPLOG_TOGGLE: return view.m_bOpLog != 0;
  case ID_PARALLEL_VARIATION: return e.m_bParallel != 0;
  case ID_RELATIVITY: return e.m_bRelativity != 0;
  case ID_J2: return e.m_bEarthJ2 != 0;
  case ID_APOPHIS_MODE: return e.m_bApophis != 0;
  case ID_EPOCH_FROM_FIELD: return e.m_bEpochFromField != 0;
  default: return false;
  }
}

bool ToggleViewOption(CDeterminationDisplay& view, int id) {
  OrbitEngine& e = *view.m_pEngine;
  switch (id) {
  case ID_OPLOG_TOGGLE:
    view.OnOpLogToggle();
    return true;
  case ID_PARALLEL_VARIATION:
    view.WriteOpLogLine(Flip(e.m_bParallel) ? "[要素変化法を並列計算] ON" : "[要素変化法を並列計算] OFF");
    return true;
  case ID_RELATIVITY:
    if (!Flip(e.m_bRelativity)) view.ReportMessage(kMsgRelativityOff, "", kBoxOk, 1);
    return true;
  case ID_J2:
    if (!Flip(e.m_bEarthJ2)) view.ReportMessage(kMsgJ2Off, "", kBoxOk, 1);
    return true;
  case ID_APOPHIS_MODE: {
    const char* text = Flip(e.m_bApophis) ? kApophisOn : kApophisOff;
    view.AppendCalcLog(text);
    view.WriteOpLog(text);
    return true;
  }
  case ID_EPOCH_FROM_FIELD: {
    const bool on = Flip(e.m_bEpochFromField) != 0;
    view.ApplyDeveloperLayout();
    view.AppendCalcLog(on ? kEpochFieldOn : kEpochFieldOff);
    view.WriteOpLogLine(on ? "[元期をEpoch欄で指定する] ON" : "[元期をEpoch欄で指定する] OFF");
    return true;
  }
  default: return false;
  }
}

// The scan table as the dialog's list shows it: cells, sort keys, colours.
#include <cmath>

#include "astro/constants.h"
#include "neocp/scan_dlg.h"
#include "platform/numbers.h"

const ScanListColumn kScanListColumnDefs[kScanListColumns] = {
    {"トラックレットID", 96, false}, {"仮符号", 74, false},        {"既知天体の候補", 150, false},
    {"状態", 104, false},           {"解き方", 64, false},        {"観測", 52, true},
    {"弧(日)", 52, true},           {"残差(\")", 56, true},       {"名目(LD)", 66, true},
    {"名目の日時(UT)", 112, false},  {"最小(LD)", 66, true},       {"最小(km)", 82, true},
    {"最小の日時(UT)", 112, false},  {"衝突の確率", 100, true},    {"中央値(LD)", 74, true},
    {"H", 40, true},                {"スコア", 48, true},         {"秒", 40, true},
    {"補足", 400, false},
};

namespace {

bool HasOrbit(const NeocpScanRow& r)
{
  return r.status == kScanNominalOnly || r.status == kScanComplete;
}

bool HasClones(const NeocpScanRow& r)
{
  return r.status == kScanComplete && r.n_valid >= 1;
}

std::string ListValue(double v, const char* format)
{
  return v == kScanUnknown ? "-" : FormatC(format, v);
}

std::string ImpactCell(const NeocpScanRow& r)
{
  if (r.n_impact < 1)
    return FormatC("0 (0/%d)", r.n_valid);
  const double p = r.imp_prob * 100;
  const std::string percent = p >= 99.95 ? "100%" : p >= 1 ? FormatC("%.1f%%", p) : FormatC("%.2g%%", p);
  return FormatC("%s (%d/%d)", percent.c_str(), r.n_impact, r.n_valid);
}

std::string ClonesCell(const NeocpScanRow& r, int column)
{
  if (!HasClones(r))
    return "";
  switch (column) {
  case 10: return r.clo_impact ? "衝突" : FormatLdCell(r.clo_dist);
  case 11: return r.clo_dist < kScanNoDistance ? FormatC("%.0f", r.clo_dist * kAstronomicalUnitKm) : "-";
  case 12: return FormatJdCell(r.clo_jd);
  case 13: return ImpactCell(r);
  default: return FormatLdCell(r.clo_median);
  }
}

} // namespace

std::string GetScanListCell(const NeocpScanRow& r, int column)
{
  switch (column) {
  case 0: return r.desig;
  case 1: return GetScanNote(r);
  case 2: return FormatKnownCandidate(r);
  case 3: return GetScanStateText(r);
  case 4:
    if (r.n_used < 1)
      return "";
    return r.mode == 1 ? "距離走査" : r.mode == 2 ? "距離走査+改良" : "AI+共分散";
  case 5:
    if (IsRowUpdatedSinceScan(r))
      return FormatC("%.0f→%.0f", r.nobs_at_scan, r.list_nobs);
    if (r.n_obs >= 1)
      return FormatC("%d", r.n_obs);
    return ListValue(r.list_nobs, "%.0f");
  case 6: return r.n_obs >= 1 ? FormatC("%.2f", r.arc_days) : ListValue(r.list_arc, "%.2f");
  case 7: return r.n_used >= 1 ? FormatC("%.2f", r.rms) : "";
  case 8:
    if (!HasOrbit(r))
      return "";
    return r.nom_impact ? "衝突" : FormatLdCell(r.nom_dist);
  case 9: return HasOrbit(r) ? FormatJdCell(r.nom_jd) : "";
  case 10:
  case 11:
  case 12:
  case 13:
  case 14: return ClonesCell(r, column);
  case 15: return ListValue(r.h, "%.1f");
  case 16: return ListValue(r.score, "%.0f");
  case 17: return r.elapsed_sec > 0 ? FormatC("%.0f", r.elapsed_sec) : "";
  case 18: {
    std::string text = r.fate;
    if (!r.fate.empty() && !r.note.empty())
      text += " / ";
    return text + r.note;
  }
  default: return "";
  }
}

double GetScanSortKey(const NeocpScanRow& r, int column)
{
  const double none = kScanNoDistance;
  switch (column) {
  case 2:
    if (r.known_checked == 1 && !r.known_name.empty())
      return r.known_rms + (IsKnownCandidatePlausible(r) ? 0 : 3);
    return none;
  case 3:
    switch (r.list_state) {
    case kListLeft: return 101;
    case kListProvisional: return 104;
    case kListPccp: return 100;
    case kListRemoved: return 103;
    case kListMerged: return 102;
    default: break;
    }
    if (r.status == kScanComputing)
      return -1;
    if (r.status == kScanNever)
      return 0;
    if (IsRowUpdatedSinceScan(r))
      return 1;
    return r.status + 10;
  case 4: return r.n_used >= 1 ? r.mode : none;
  case 5:
    if (r.n_obs >= 1)
      return r.n_obs;
    return r.list_nobs != kScanUnknown ? r.list_nobs : none;
  case 6:
    if (r.n_obs >= 1)
      return r.arc_days;
    return r.list_arc != kScanUnknown ? r.list_arc : none;
  case 7: return r.n_used >= 1 ? r.rms : none;
  case 8:
    if (!HasOrbit(r))
      return none;
    return r.nom_impact ? 0 : r.nom_dist;
  case 9: return r.nom_jd > 0 ? r.nom_jd : none;
  case 10:
  case 11:
    if (!HasClones(r))
      return none;
    return r.clo_impact ? 0 : r.clo_dist;
  case 12: return r.clo_jd > 0 ? r.clo_jd : none;
  case 13: return r.n_valid >= 1 ? -r.imp_prob : none;
  case 14: return r.n_valid >= 1 ? r.clo_median : none;
  case 15: return r.h != kScanUnknown ? r.h : none;
  case 16: return r.score != kScanUnknown ? -r.score : none;
  case 17: return r.elapsed_sec > 0 ? -r.elapsed_sec : none;
  default: return none;
  }
}

ScanRowColours GetScanRowColours(const NeocpScanRow& r)
{
  ScanRowColours c;
  auto background = [&c](uint32_t colour) {
    c.hasBackground = true;
    c.background = colour;
  };
  auto text = [&c](uint32_t colour) {
    c.hasText = true;
    c.text = colour;
  };
  if (r.status == kScanComputing) {
    background(0xFFEEE1);
    return c;
  }
  bool isNew = false;
  if (r.list_state != kListOnNeocp && r.list_state != kListLocalFile) {
    text(0x6E6E6E);
  } else if (r.list_state == kListOnNeocp && (r.status == kScanNever || IsRowUpdatedSinceScan(r))) {
    background(0xDEF4DE);
    isNew = true;
  }
  if (HasOrbit(r)) {
    const double d = r.n_valid >= 1 && r.clo_dist < r.nom_dist ? r.clo_dist : r.nom_dist;
    if (r.n_impact >= 1 || r.nom_impact == 1)
      background(0xCDCDFF);
    else if (d < kLunarDistanceAu)
      background(0xBEE2FF);
    else if (d < 0.05)
      background(0xCDFAFF);
  } else if (r.status != kScanNever && !isNew && !c.hasText) {
    text(0x808080);
  }
  if (r.just_scanned == 1) {
    text(0xFF0000);
    c.keepSelectedReadable = true;
    c.selectedBackground = 0xF7E4CC;
  }
  return c;
}

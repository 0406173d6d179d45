#include "neocp/scan_row.h"

#include <cmath>
#include <new>

#include "astro/time_scales.h"
#include "neocp/scan_files.h"
#include "platform/numbers.h"

namespace {

constexpr double kJupiterA = 5.2044;  // AU, for the Tisserand parameter

} // namespace

NeocpScanRow* NewScanRowArray(int count)
{
  return count > 0 ? new (std::nothrow) NeocpScanRow[static_cast<size_t>(count)] : nullptr;
}

void DeleteScanRowArray(NeocpScanRow* rows)
{
  delete[] rows;
}

void ResetScanRow(NeocpScanRow& r, int keepListFields)
{
  if (!keepListFields) {
    r.desig.clear();
    r.score = r.list_nobs = r.list_arc = r.h = kScanUnknown;
    r.list_state = kListOnNeocp;
    r.nobs_at_scan = kScanUnknown;
    r.prov_des.clear();
    r.prov_name.clear();
    r.fate.clear();
    r.fate_short.clear();
    r.on_pccp = 0;
    r.just_scanned = 0;
    r.known_checked = r.known_is_comet = r.known_nobs = 0;
    r.known_arc = 0;
    r.known_name.clear();
    r.known_desig.clear();
    r.known_along = r.known_cross = r.known_dmag = r.known_shift = r.known_rms0 = r.known_rms = 0;
    r.source_path.clear();
  }
  r.status = kScanNever;
  r.note.clear();
  r.elapsed_sec = 0;
  r.mode = r.n_samples = 0;
  r.rho_best = r.rho_lo = r.rho_hi = 0;
  r.clo_rms = kScanNoResidual;
  r.n_obs = r.n_used = 0;
  r.arc_days = r.rms = r.epoch = r.tpass = r.qdis = r.ecc = r.peri = r.node = r.inc = 0;
  r.scan_jd0 = r.scan_jd1 = 0;
  r.nom_dist = kScanNoDistance;
  r.nom_jd = 0;
  r.nom_impact = 0;
  r.n_clones = r.n_valid = r.n_invalid = r.n_impact = 0;
  r.imp_prob = r.imp_jd_min = r.imp_jd_max = 0;
  r.lov_mode = 0;
  r.lov_ratio = 0;
  r.cov_diag_only = 0;
  r.sigma0 = 0;
  r.clo_dist = kScanNoDistance;
  r.clo_jd = 0;
  r.clo_impact = 0;
  r.clo_median = kScanNoDistance;
  r.c_tpass = r.c_qdis = r.c_ecc = r.c_peri = r.c_node = r.c_inc = r.c_a1 = r.c_a2 = r.c_a3 = 0;
  r.obs_path.clear();
  r.best_path.clear();
  r.closest_path.clear();
  r.clones_path.clear();
}

void CopyScanRow(NeocpScanRow& dst, const NeocpScanRow& src)
{
  dst = src;
}

bool IsRowUpdatedSinceScan(const NeocpScanRow& r)
{
  return r.list_state == kListOnNeocp && r.status != kScanNever && r.status != kScanComputing &&
         r.nobs_at_scan != kScanUnknown && r.list_nobs != kScanUnknown && r.nobs_at_scan < r.list_nobs;
}

bool IsKnownCandidatePlausible(const NeocpScanRow& r)
{
  return r.known_rms <= 1.5 && r.known_arc >= 0.05;
}

std::string GetScanStatusName(int status)
{
  static const char* const kNames[] = {"",         "飛ばした",     "観測を取得できず", "観測を読み込めず",
                                       "軌道が求まらず", "残差が大きい", "時間切れ",     "中止",
                                       "名目軌道のみ", "完了",        "計算中…"};
  return status >= 0 && status <= kScanComputing ? kNames[status] : "";
}

std::string GetScanStateText(const NeocpScanRow& r)
{
  if (r.status == kScanComputing)
    return "計算中…";
  switch (r.list_state) {
  case kListLeft: return "掲載終了";
  case kListProvisional: return "->";
  case kListPccp: return "PCCPへ";
  case kListRemoved: return r.fate_short.empty() ? "削除" : r.fate_short;
  case kListMerged: return "統合";
  default: break;
  }
  if (r.status == kScanNever)
    return r.list_state == kListLocalFile ? "" : "新規";
  if (IsRowUpdatedSinceScan(r))
    return "更新";
  return r.status >= 1 && r.status <= 9 ? GetScanStatusName(r.status) : "";
}

std::string GetScanNote(const NeocpScanRow& r)
{
  if (!r.prov_des.empty())
    return r.prov_des;
  std::string note = r.on_pccp == 1 ? "PCCP" : "";
  bool cometary = false;
  if (r.n_used > 0 && (r.status == kScanNominalOnly || r.status == kScanComplete) && r.arc_days >= 0.5 &&
      r.qdis > 0 && r.ecc < 1.1) {
    if (r.ecc >= 1) {
      cometary = true;
    } else {
      const double a = r.qdis / (1 - r.ecc);
      const double tj = kJupiterA / a + 2 * std::cos(r.inc) * std::sqrt((1 - r.ecc * r.ecc) * a / kJupiterA);
      cometary = tj < 3;
    }
  }
  if (cometary) {
    if (!note.empty())
      note += "・";
    note += "彗星的軌道";
  }
  return note;
}

std::string FormatKnownCandidate(const NeocpScanRow& r)
{
  if (r.known_checked == 0)
    return "";
  if (r.known_name.empty())
    return "なし";
  const double a = r.known_along;
  std::string offset;
  if (std::fabs(a) >= 1)
    offset = FormatC("%+.1f°", a);
  else if (std::fabs(a) * 60 >= 1)
    offset = FormatC("%+.1f'", a * 60);
  else
    offset = FormatC("%+.0f\"", a * 3600);
  return FormatC("%s%s%s  %.1f\" (%s)", IsKnownCandidatePlausible(r) ? "" : "? ", r.known_is_comet == 1 ? "彗星 " : "",
                 r.known_name.c_str(), r.known_rms, offset.c_str());
}

std::string FormatJdCell(double jdTT)
{
  if (!(jdTT > 0))
    return "";
  const double jd = DeltaT(kDeltaTTtToUt, jdTT) + 0.5 / 1440;
  double year = 0, month = 0, day = 0;
  JdToCalendar(jd, year, month, day);
  const double hours = (day - std::floor(day)) * 24;
  const double minutes = (hours - std::floor(hours)) * 60;
  return FormatC("%d/%02d/%02d %02d:%02d", static_cast<int>(year), static_cast<int>(month), static_cast<int>(day),
                 static_cast<int>(hours), static_cast<int>(minutes));
}

std::string FormatLdCell(double d)
{
  if (d >= kScanNoDistance)
    return "-";
  const double ld = d / kLunarDistanceAu;
  return FormatC(ld < 10 ? "%.3f" : "%.1f", ld);
}

// ---- the stored columns ----

void ScanRowFieldVisitor::Visit(NeocpScanRow& r)
{
  VisitText("desig", r.desig);
  VisitInt("list_state", r.list_state);
  VisitText("prov_des", r.prov_des);
  VisitText("prov_name", r.prov_name);
  VisitText("fate", r.fate);
  VisitText("fate_short", r.fate_short);
  VisitInt("on_pccp", r.on_pccp);
  VisitDouble("nobs_at_scan", r.nobs_at_scan);
  VisitDouble("score", r.score);
  VisitDouble("list_nobs", r.list_nobs);
  VisitDouble("list_arc", r.list_arc);
  VisitDouble("h", r.h);
  VisitInt("status", r.status);
  VisitText("note", r.note);
  VisitDouble("elapsed_sec", r.elapsed_sec);
  VisitInt("mode", r.mode);
  VisitInt("n_samples", r.n_samples);
  VisitDouble("rho_best", r.rho_best);
  VisitDouble("rho_lo", r.rho_lo);
  VisitDouble("rho_hi", r.rho_hi);
  VisitDouble("clo_rms", r.clo_rms);
  VisitInt("n_obs", r.n_obs);
  VisitInt("n_used", r.n_used);
  VisitDouble("arc_days", r.arc_days);
  VisitDouble("rms", r.rms);
  VisitDouble("epoch", r.epoch);
  VisitDouble("tpass", r.tpass);
  VisitDouble("qdis", r.qdis);
  VisitDouble("ecc", r.ecc);
  VisitDouble("peri", r.peri);
  VisitDouble("node", r.node);
  VisitDouble("inc", r.inc);
  VisitDouble("scan_jd0", r.scan_jd0);
  VisitDouble("scan_jd1", r.scan_jd1);
  VisitDouble("nom_dist", r.nom_dist);
  VisitDouble("nom_jd", r.nom_jd);
  VisitInt("nom_impact", r.nom_impact);
  VisitInt("n_clones", r.n_clones);
  VisitInt("n_valid", r.n_valid);
  VisitInt("n_invalid", r.n_invalid);
  VisitInt("n_impact", r.n_impact);
  VisitDouble("imp_prob", r.imp_prob);
  VisitDouble("imp_jd_min", r.imp_jd_min);
  VisitDouble("imp_jd_max", r.imp_jd_max);
  VisitInt("lov_mode", r.lov_mode);
  VisitDouble("lov_ratio", r.lov_ratio);
  VisitInt("cov_diag_only", r.cov_diag_only);
  VisitDouble("sigma0", r.sigma0);
  VisitDouble("clo_dist", r.clo_dist);
  VisitDouble("clo_jd", r.clo_jd);
  VisitInt("clo_impact", r.clo_impact);
  VisitDouble("clo_median", r.clo_median);
  VisitDouble("c_tpass", r.c_tpass);
  VisitDouble("c_qdis", r.c_qdis);
  VisitDouble("c_ecc", r.c_ecc);
  VisitDouble("c_peri", r.c_peri);
  VisitDouble("c_node", r.c_node);
  VisitDouble("c_inc", r.c_inc);
  VisitDouble("c_a1", r.c_a1);
  VisitDouble("c_a2", r.c_a2);
  VisitDouble("c_a3", r.c_a3);
  VisitText("obs_path", r.obs_path);
  VisitText("best_path", r.best_path);
  VisitText("closest_path", r.closest_path);
  VisitText("clones_path", r.clones_path);
  VisitInt("known_checked", r.known_checked);
  VisitInt("known_is_comet", r.known_is_comet);
  VisitInt("known_nobs", r.known_nobs);
  VisitDouble("known_arc", r.known_arc);
  VisitText("known_name", r.known_name);
  VisitText("known_desig", r.known_desig);
  VisitDouble("known_along", r.known_along);
  VisitDouble("known_cross", r.known_cross);
  VisitDouble("known_dmag", r.known_dmag);
  VisitDouble("known_shift", r.known_shift);
  VisitDouble("known_rms0", r.known_rms0);
  VisitDouble("known_rms", r.known_rms);
}

void ScanRowFieldVisitor::AppendField(const char* name, const std::string& value)
{
  if (m_nFields > 0) {
    m_strHeader += '\t';
    m_strValues += '\t';
  }
  m_strHeader += name;
  m_strValues += value;
  ++m_nFields;
}

const std::string* ScanRowFieldVisitor::Lookup(const char* name) const
{
  const auto it = m_pValues->find(name);
  return it == m_pValues->end() ? nullptr : &it->second;
}

void ScanRowFieldVisitor::VisitText(const char* name, std::string& field)
{
  if (!IsReading()) {
    AppendField(name, EscapeStateField(field));
  } else if (const std::string* v = Lookup(name)) {
    field = UnescapeStateField(*v);
  }
}

void ScanRowFieldVisitor::VisitDouble(const char* name, double& field)
{
  if (!IsReading()) {
    AppendField(name, FormatC("%.17g", field));
  } else if (const std::string* v = Lookup(name); v && !v->empty()) {
    field = ParseLeadingDouble(*v);
  }
}

void ScanRowFieldVisitor::VisitInt(const char* name, int& field)
{
  if (!IsReading()) {
    AppendField(name, FormatC("%d", field));
  } else if (const std::string* v = Lookup(name); v && !v->empty()) {
    field = ParseLeadingInt(*v);
  }
}

std::string GetScanStateHeaderLine()
{
  NeocpScanRow row;
  ResetScanRow(row, 0);
  ScanRowFieldVisitor visitor;
  visitor.Visit(row);
  return visitor.m_strHeader;
}

std::string FormatScanStateLine(const NeocpScanRow& row)
{
  NeocpScanRow copy = row;
  ScanRowFieldVisitor visitor;
  visitor.Visit(copy);
  return visitor.m_strValues;
}

void ParseScanStateLine(const std::vector<std::string>& header, const std::string& line, NeocpScanRow& row)
{
  std::vector<std::string> values;
  SplitTabFields(line, values);
  std::map<std::string, std::string> byName;
  for (size_t k = 0; k < header.size() && k < values.size(); ++k)
    byName[header[k]] = values[k];
  ResetScanRow(row, 0);
  ScanRowFieldVisitor visitor(&byName);
  visitor.Visit(row);
}

#include "neocp/scan_csv.h"

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "platform/numbers.h"

namespace {

const char* const kHeaders[kCsvColumns] = {
    "トラックレットID", "仮符号", "仮符号(ふつうの書き方)", "状態", "行き先", "補足", "PCCP", "スコア", "H", "解き方",
    "距離走査の標本数", "いちばん合う距離(AU)", "ありうる距離の下限(AU)", "ありうる距離の上限(AU)", "観測数",
    "いまの一覧の観測数", "採用観測数", "弧(日)", "平均残差(秒角)", "元期(JD TT)", "T(JD TT)", "q(AU)", "e",
    "ω(度)", "Ω(度)", "i(度)", "a(AU)", "調べた期間の始め(UT)", "調べた期間の終わり(UT)", "名目の最接近(AU)",
    "名目(LD)", "名目(km)", "名目の日時(UT)", "名目の日時(JD TT)", "名目が衝突", "クローン数", "有効", "不成立",
    "衝突数", "衝突確率", "衝突の最早(UT)", "衝突の最遅(UT)", "クローンの最小(AU)", "最小(LD)", "最小(km)",
    "最小の日時(UT)", "最小の日時(JD TT)", "最小が衝突", "最小の軌道の平均残差(秒角)", "中央値(AU)", "中央値(LD)",
    "散らばらせ方", "固有値の比", "散らばりの観測誤差(秒角)", "共分散の分解に失敗", "所要(秒)", "観測ファイル",
    "名目軌道のファイル", "最小のクローンのファイル", "地球儀用のクローンの軌跡のファイル", "既知天体の候補",
    "候補の符号", "照合した観測数", "照合した観測の弧(日)", "予報からのずれ・経路方向(分角)",
    "予報からのずれ・直交方向(分角)", "予報等級-観測の光度(等)", "軌道上の位置の合わせ直し(日)",
    "要素のままの残差(秒角)", "合わせ直したあとの残差(秒角)",
};

// Appends a number cell, or an empty one when the value does not apply.
struct CellWriter {
  std::vector<std::string>& cells;
  void Number(bool present, double value, const char* format)
  {
    cells.push_back(present ? FormatCsvNumber(value, format) : std::string());
  }
  void Text(bool present, const std::string& text) { cells.push_back(present ? CsvQuote(text) : std::string()); }
  void Jd(bool present, double jd) { cells.push_back(present ? CsvQuote(FormatJdCell(jd)) : std::string()); }
};

} // namespace

std::string GetCsvHeaderLine()
{
  std::string line;
  for (int i = 0; i < kCsvColumns; ++i) {
    if (i > 0)
      line += ',';
    line += kHeaders[i];
  }
  return line;
}

std::string CsvQuote(const std::string& text)
{
  if (text.find_first_of(",\"\r\n") == std::string::npos)
    return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"')
      out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string FormatCsvNumber(double value, const char* format)
{
  return FormatC(format, value);
}

void FormatCsvRow(const NeocpScanRow& r, std::vector<std::string>& cells)
{
  cells.clear();
  CellWriter w{cells};
  const bool used = r.n_used >= 1;
  const bool ranging = used && r.mode != 0;
  const bool orbit = r.status == kScanNominalOnly || r.status == kScanComplete;
  const bool clones = r.status == kScanComplete && r.n_valid >= 1;
  const bool checked = r.known_checked == 1;
  const bool candidate = checked && !r.known_name.empty();
  const bool hasObs = r.n_obs >= 1;

  w.Text(true, r.desig);
  w.Text(true, r.prov_des);
  w.Text(true, r.prov_name);
  w.Text(true, GetScanStateText(r));
  w.Text(true, r.fate);
  w.Text(true, r.note);
  w.Text(r.on_pccp == 1, "PCCP");
  w.Number(r.score != kScanUnknown, r.score, "%.0f");
  w.Number(r.h != kScanUnknown, r.h, "%.1f");
  w.Text(used, r.mode == 1 ? "距離走査" : r.mode == 2 ? "距離走査+改良" : "AI+共分散");
  w.Number(ranging, r.n_samples, "%.0f");
  w.Number(ranging, r.rho_best, "%.6g");
  w.Number(ranging, r.rho_lo, "%.6g");
  w.Number(ranging, r.rho_hi, "%.6g");
  if (hasObs)
    w.Number(true, r.n_obs, "%.0f");
  else
    w.Number(r.list_nobs != kScanUnknown, r.list_nobs, "%.0f");
  w.Number(r.list_nobs != kScanUnknown, r.list_nobs, "%.0f");
  w.Number(used, r.n_used, "%.0f");
  if (hasObs)
    w.Number(true, r.arc_days, "%.4f");
  else
    w.Number(r.list_arc != kScanUnknown, r.list_arc, "%.2f");
  w.Number(used, r.rms, "%.4f");
  w.Number(used, r.epoch, "%.1f");
  w.Number(used, r.tpass, "%.6f");
  w.Number(used, r.qdis, "%.8f");
  w.Number(used, r.ecc, "%.8f");
  w.Number(used, r.peri * kDegPerRad, "%.5f");
  w.Number(used, r.node * kDegPerRad, "%.5f");
  w.Number(used, r.inc * kDegPerRad, "%.5f");
  w.Number(used && r.ecc < 1, r.ecc < 1 ? r.qdis / (1 - r.ecc) : 0, "%.8f");
  w.Jd(orbit, r.scan_jd0);
  w.Jd(orbit, r.scan_jd1);
  const bool nominal = orbit && r.nom_dist < kScanNoDistance;
  w.Number(nominal, r.nom_dist, "%.8f");
  w.Number(nominal, r.nom_dist / kLunarDistanceAu, "%.4f");
  w.Number(nominal, r.nom_dist * kAstronomicalUnitKm, "%.0f");
  w.Jd(nominal, r.nom_jd);
  w.Number(nominal, r.nom_jd, "%.5f");
  w.Number(orbit, r.nom_impact, "%.0f");
  w.Number(clones, r.n_clones, "%.0f");
  w.Number(clones, r.n_valid, "%.0f");
  w.Number(clones, r.n_invalid, "%.0f");
  w.Number(clones, r.n_impact, "%.0f");
  w.Number(clones, r.imp_prob, "%.6f");
  w.Jd(clones && r.n_impact >= 1, r.imp_jd_min);
  w.Jd(clones && r.n_impact >= 1, r.imp_jd_max);
  const bool closest = clones && r.clo_dist < kScanNoDistance;
  w.Number(closest, r.clo_dist, "%.8f");
  w.Number(closest, r.clo_dist / kLunarDistanceAu, "%.4f");
  w.Number(closest, r.clo_dist * kAstronomicalUnitKm, "%.0f");
  w.Jd(closest, r.clo_jd);
  w.Number(closest, r.clo_jd, "%.5f");
  w.Number(closest, r.clo_impact, "%.0f");
  w.Number(closest && r.clo_rms >= 0, r.clo_rms, "%.4f");
  const bool median = clones && r.clo_median < kScanNoDistance;
  w.Number(median, r.clo_median, "%.8f");
  w.Number(median, r.clo_median / kLunarDistanceAu, "%.4f");
  w.Text(clones, r.lov_mode != 0 ? "LOV" : "点群");
  w.Number(clones, r.lov_ratio, "%.1f");
  w.Number(clones, r.sigma0, "%.4f");
  w.Number(clones, r.cov_diag_only, "%.0f");
  w.Number(r.elapsed_sec > 0, r.elapsed_sec, "%.1f");
  w.Text(true, r.obs_path);
  w.Text(true, r.best_path);
  w.Text(true, r.closest_path);
  w.Text(true, r.clones_path);
  w.Text(checked, candidate ? r.known_name : "なし");
  w.Text(candidate, r.known_desig);
  w.Number(checked, r.known_nobs, "%.0f");
  w.Number(checked, r.known_arc, "%.4f");
  w.Number(candidate, r.known_along * 60, "%.2f");
  w.Number(candidate, r.known_cross * 60, "%.2f");
  w.Number(candidate, r.known_dmag, "%.1f");
  w.Number(candidate, r.known_shift, "%.5f");
  w.Number(candidate, r.known_rms0, "%.2f");
  w.Number(candidate, r.known_rms, "%.2f");
}

#pragma once
// One object of the NEOCP scan table: what the list said about it, where it
// went, the result of its last scan and of the known-object match. The state
// table, the workers' result files and the CSV are written from these rows;
// ScanRowFieldVisitor is the one place that lists the stored columns.
#include <map>
#include <string>
#include <vector>

#include "astro/constants.h"

// Sentinels that the files and the list test for by value.
inline constexpr double kScanUnknown = -9999.0;      // a list value the NEOCP did not give
inline constexpr double kScanNoDistance = 9e9;       // AU: a distance not computed
inline constexpr double kScanNoResidual = -1.0;      // no closest-clone residual

// list_state
enum ScanListState : int {
  kListOnNeocp = 0,
  kListLeft = 1,
  kListProvisional = 2,
  kListPccp = 3,
  kListRemoved = 4,
  kListMerged = 5,
  kListLocalFile = 6,
};

// status
enum ScanStatus : int {
  kScanNever = 0,
  kScanSkipped = 1,
  kScanNoObservations = 2,
  kScanUnreadable = 3,
  kScanNoOrbit = 4,
  kScanLargeResidual = 5,
  kScanTimedOut = 6,
  kScanAborted = 7,
  kScanNominalOnly = 8,
  kScanComplete = 9,
  kScanComputing = 10,
};

struct NeocpScanRow {
  std::string desig;
  double score, list_nobs, list_arc, h;
  int list_state;
  double nobs_at_scan;
  std::string prov_des, prov_name, fate, fate_short;
  int on_pccp;
  int just_scanned;
  int known_checked, known_is_comet, known_nobs;
  double known_arc;
  std::string known_name, known_desig;
  double known_along, known_cross, known_dmag, known_shift, known_rms0, known_rms;
  int status;
  std::string note;
  double elapsed_sec;
  int mode, n_samples;
  double rho_best, rho_lo, rho_hi, clo_rms;
  int n_obs, n_used;
  double arc_days, rms, epoch, tpass, qdis, ecc, peri, node, inc;
  double scan_jd0, scan_jd1, nom_dist, nom_jd;
  int nom_impact;
  int n_clones, n_valid, n_invalid, n_impact;
  double imp_prob, imp_jd_min, imp_jd_max;
  int lov_mode;
  double lov_ratio;
  int cov_diag_only;
  double sigma0, clo_dist, clo_jd;
  int clo_impact;
  double clo_median;
  double c_tpass, c_qdis, c_ecc, c_peri, c_node, c_inc, c_a1, c_a2, c_a3;
  std::string source_path, obs_path, best_path, closest_path, clones_path;
};

// Rows come in one block; freeing it destroys every row. Numbers are
// undefined until ResetScanRow.
NeocpScanRow* NewScanRowArray(int count);
void DeleteScanRowArray(NeocpScanRow* rows);

// keepListFields 0: every field to its reset value; 1: the list data,
// designation, fate, known-object match, just_scanned and source_path stay.
void ResetScanRow(NeocpScanRow& row, int keepListFields);
void CopyScanRow(NeocpScanRow& dst, const NeocpScanRow& src);

// The NEOCP reports more observations than the last scan used.
bool IsRowUpdatedSinceScan(const NeocpScanRow& row);
bool IsKnownCandidatePlausible(const NeocpScanRow& row);
// "飛ばした" ... "計算中…"; empty for 0 and unknown values.
std::string GetScanStatusName(int status);
// The list's "状態" column and the CSV's state column.
std::string GetScanStateText(const NeocpScanRow& row);
// The list's "仮符号" column: the provisional designation, else "PCCP" and
// "彗星的軌道" as they apply.
std::string GetScanNote(const NeocpScanRow& row);
// The list's "既知天体の候補" column.
std::string FormatKnownCandidate(const NeocpScanRow& row);
// A TT Julian day as "%d/%02d/%02d %02d:%02d" UT rounded to the minute; empty for jd <= 0.
std::string FormatJdCell(double jdTT);
// A distance in lunar distances ("%.3f" below 10, else "%.1f"); "-" for 9e9 and more.
std::string FormatLdCell(double distanceAu);

// Walks the stored columns of a row in table order. Writing builds the
// header and value lines; reading takes each column present in the map.
class ScanRowFieldVisitor {
public:
  // Writing.
  ScanRowFieldVisitor() = default;
  // Reading from column name -> value text.
  explicit ScanRowFieldVisitor(const std::map<std::string, std::string>* values) : m_pValues(values) {}

  void Visit(NeocpScanRow& row);
  void VisitText(const char* name, std::string& field);
  void VisitDouble(const char* name, double& field);
  void VisitInt(const char* name, int& field);

  bool IsReading() const { return m_pValues != nullptr; }
  std::string m_strHeader;
  std::string m_strValues;
  int m_nFields = 0;

private:
  void AppendField(const char* name, const std::string& value);
  const std::string* Lookup(const char* name) const;
  const std::map<std::string, std::string>* m_pValues = nullptr;
};

// The header line of the stored columns (TAB-separated, no line end).
std::string GetScanStateHeaderLine();
// A row's stored values as one TAB-separated line (no line end).
std::string FormatScanStateLine(const NeocpScanRow& row);
// Reads one value line against the header's names into a freshly reset row.
void ParseScanStateLine(const std::vector<std::string>& header, const std::string& line, NeocpScanRow& row);

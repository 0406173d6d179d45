#pragma once
// Residual statistics per observing station: a station that reports its
// positions shifted in one direction pulls the solution and no improvement
// removes that, so its mean offset (the bias) is measured and flagged. The
// table of the station-statistics window (order, cells, summary with the
// tug-of-war check), the station commands on the observations, and the
// leave-one-station-out test that solves once without each influential
// station and puts the solution back afterwards.
#include <string>
#include <vector>

struct ObservationRecord;
class CDeterminationDisplay;

struct StationResidualStats {
  char code[4];          // three-character code, NUL-terminated
  int used;              // not rejected, station listed
  int excluded;          // rejected or station not listed
  double sumRa, sumDec;      // arcsec, of the used observations
  double sumSqRa, sumSqDec;  // arcsec²
  double meanRa, meanDec;    // arcsec: the bias components
  double bias;           // arcsec, sqrt(meanRa² + meanDec²)
  double angle;          // degrees 0-360 from north through east
  double scatter;        // arcsec, sqrt((sumSqRa + sumSqDec) / (2 used))
  int flag;              // 0 normal, 1 caution, 2 large bias
};

inline constexpr int kStationFlagCaution = 1;
inline constexpr int kStationFlagLarge = 2;
// A station is flagged and tested only with this many used observations.
inline constexpr int kStationMinUsed = 5;

// Statistics of the first count observations (stopping at the end record)
// into stats (room for count entries), sorted by descending bias, and each
// observation's station flag into flags (count bytes). Returns the number of
// stations. meanResidual (arcsec) sets the caution and large thresholds.
int ComputeStationResidualStats(const ObservationRecord* obs, int count, double meanResidual,
                                StationResidualStats* stats, unsigned char* flags);

// ---- the table of the station-statistics window ----
inline constexpr int kStationColumns = 9;
struct StationColumn {
  const char* title;
  int rightAligned;
  int width;  // pixels
};
extern const StationColumn kStationColumnInfo[kStationColumns];
// Row background (0xRRGGBB) of a flag; 0 keeps the default.
unsigned StationRowColour(int flag);

// The table's sort state: column -1 keeps the stations' own order.
struct StationSort {
  int column = -1;
  int ascending = 1;
};
// A click on a column header (columns 1 and 7 do not sort).
void ClickStationColumn(StationSort& sort, int column);
// Column title with " ▲" or " ▼" on the sort column.
std::string StationColumnTitle(int column, const StationSort& sort);
// Indices of the stations in display order (a stable insertion sort).
std::vector<int> StationRowOrder(const StationResidualStats* stats, int count, const StationSort& sort);
// Cell text; name is the station's name (column 1).
std::string StationCellText(const StationResidualStats& s, int column, const std::string& name);
// The summary line below the table, with the tug-of-war note when two
// strong stations pull in nearly opposite directions.
std::string StationSummaryText(const StationResidualStats* stats, int count);

// ---- the station commands (on every observation of the code) ----
// Confirmation texts and the caption of their boxes.
inline constexpr const char* kStationStatsCaption = "観測所別の残差";
inline constexpr const char* kStationTestCaption = "観測所の除外試験";
std::string ExcludeStationQuestion(const char* code);
std::string StationWeightQuestion(const char* code, double weight);
std::string ResetStationWeightQuestion(const char* code);
extern const char* const kStationWeightRangeFormat;
extern const char* const kStationTestQuestion;
inline constexpr double kStationWeightMin = 0.1;
inline constexpr double kStationWeightMax = 100.0;

// Each observation not yet excluded by hand is marked as excluded with its
// station; then all are rejected and excluded by hand.
void ExcludeStation(ObservationRecord* obs, int count, const char* code);
// Observations of a listed station carrying the mark are taken back; those
// excluded by hand before keep their exclusion.
void ReenableStation(ObservationRecord* obs, int count, const char* code);
void SetStationWeight(ObservationRecord* obs, int count, const char* code, double weight);

// The view's weight field as a station weight: true with the value inside
// 0.1-100, else the range box is shown (caption kStationStatsCaption).
bool ReadStationWeight(CDeterminationDisplay& view, double& weight);

// ---- the leave-one-station-out test ----
// 0 with the report in text; -1 refused or nothing to test, -8 another
// calculation runs, -9 cancelled (text is the message). The solution the
// view had comes back in every case, covariance included.
int RunStationExclusionTest(CDeterminationDisplay& view, std::string& text);

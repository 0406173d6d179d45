#pragma once
// Residuals by period of observation: old observations are far less
// accurate than modern ones, so the typical residual (median) and the 90%
// point of each period show where one rejection threshold stops fitting,
// and a break year with an older and a newer threshold is proposed for the
// view's two rejection thresholds. Single periods that stand out are marked
// (for a comet an outburst rather than poor observations).
#include <string>
#include <vector>

struct ObservationRecord;
class CDetermination;

struct EraBin {
  int startYear, endYear;  // first and last calendar year
  int count;
  double median;           // arcsec, value at index count/2 of the sorted values
  double p90;              // arcsec, value at index floor(0.9 count), at most count - 1
  double pctOver2, pctOver5;  // percent of values ≥ 2" and ≥ 5"
  int outlier;             // 1 when the period stands out
};

inline constexpr int kEraMaxBins = 200;

// Non-empty periods of `years` (1 or 10) years of the observations up to the
// end record (at most count) whose station is listed and that are not
// excluded by hand; an observation's value is its larger residual component.
void BinResiduals(const ObservationRecord* obs, int count, int years, std::vector<EraBin>& bins);
// Median p90 of the periods first..last with at least 5 observations; 0 when none.
double MedianP90(const std::vector<EraBin>& bins, int first, int last);

struct EraProposal {
  int breakYear = 0;  // 0: no proposal
  double oldThreshold = 0, newThreshold = 0;  // whole arcseconds
};
// The split of the 10-year periods where the typical residual drops most
// (old/new ratio at least 1.5, both sides of 5 observations or more).
EraProposal FindEraBreak(const std::vector<EraBin>& bins10);

// Everything the era window shows, from the view's observations and engine.
struct EraTable {
  std::vector<EraBin> bins;    // the displayed periods
  std::vector<EraBin> bins10;  // always 10-year periods
  EraProposal proposal;
  std::string summary;
  bool canApply = false;       // "この境目を使う(&A)" enabled
};
EraTable ComputeEraTable(const CDetermination& view, int yearly);

inline constexpr int kEraColumns = 7;
struct EraColumn {
  const char* title;
  int rightAligned;
  int width;
};
extern const EraColumn kEraColumnInfo[kEraColumns];
inline constexpr unsigned kEraOutlierColour = 0xFFFF80;  // 0xRRGGBB
std::string EraCellText(const EraBin& bin, int column);
extern const char* const kEraExplanation;

// The break year ("%d") and the two thresholds ("%.1f") into the view's
// rejection fields; nothing is applied.
void ShowRejectThresholds(CDetermination& view, int year, double oldThreshold, double newThreshold);

#pragma once
// Earlier observations of the view's object in the isolated tracklet file
// (ITF): the orbit's osculating elements every 40 days predict its place;
// every line of the compressed file is tested against a narrow window along
// the predicted path; the hits are grouped by tracklet, checked against the
// predicted motion and tried by re-improving the view's orbit with them.
// The search itself is CNeocpScanDlg::SearchItf (itf_search.cpp).
#include <cstdint>
#include <string>

#include "engine/integration_state.h"

class CNeocpScanDlg;

inline constexpr const char* kItfFileName = "itf.txt.gz";
inline constexpr const char* kItfUrlPath = "/iau/ITF/itf.txt.gz";
inline constexpr const char* kItfCaption = "ITFから探す";
inline constexpr int kItfMaxHits = 4000;
inline constexpr int kItfLogCapacity = 2000;
inline constexpr int kItfMaxTrials = 12;
inline constexpr double kItfAlongDeg = 1.0;
inline constexpr double kItfAcrossDeg = 0.05;
inline constexpr double kItfLogReachDays = 40.0;
inline constexpr double kItfSunStepDays = 0.02;
inline constexpr double kItfMotionTolerance = 0.35;
inline constexpr double kItfMinSpanDays = 0.002;
inline constexpr double kItfFitLimit = 3.0;  // arcsec

// One ITF observation inside the path window.
struct ItfHit {
  double jd_utc;
  double jd_tt;
  double ra, dec;   // rad
  double along;     // deg
  double across;    // deg
  char line[81];
  char station[4];
  char desig[13];
  double residual;  // 0 not tried, -1 no solution, > 0 mean residual (arcsec); in a group's first hit
};

struct ItfSearchContext {
  CNeocpScanDlg* dlg = nullptr;
  // The element log: entries (7 doubles each) sorted by time.
  const double* log = nullptr;
  int logCount = 0;
  int lastEntry = -1;          // the entry whose P and Q are held
  double P[3] = {}, Q[3] = {};
  double sunTime = 0;          // JD TT rounded to 0.02 day; 0 none yet
  double sun[3] = {};          // geocentric Sun, AU, J2000 equatorial
  ItfHit* hits = nullptr;
  int hitCount = 0;
  int hitCapacity = kItfMaxHits;
  int64_t tested = 0;
  int skipped = 0;
  int outside = 0;
};

// The line callback of the reader (line without its end); always 1.
int ItfTestLine(void* context, const char* line, int length);
// The predicted place (rad) at jdTT; 1 when it could be computed.
int ItfPredictPosition(ItfSearchContext* ctx, double jdTT, double& ra, double& dec);

// qsort orders: element-log entries by time; hits by designation (bytes),
// then jd_utc, then station (bytes).
int CompareElementLogTimes(const void* a, const void* b);
int CompareItfHits(const void* a, const void* b);

// The motion check over the sorted hits: drops the groups whose observed
// rate differs from the predicted one by more than 35 %, compacts the kept
// hits in order. Returns the kept count; groups, rejected and unmeasured
// groups are counted.
int CheckItfMotion(ItfSearchContext& ctx, int& groups, int& rejected, int& unmeasured);

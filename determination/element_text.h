#pragma once
// The element texts of the orbit-determination view: the element lines in the
// layout of the orbits the Minor Planet Center publishes (parabolic,
// near-parabolic, comet and minor-planet forms), the element report of the
// result pane and report files, and the element blocks that the engine asks
// for while it converts states to elements. Window-free.
#include <string>
#include <vector>

struct OrbitEngine;
struct ElementBlock;
class CDeterminationDisplay;

// Report modes.
enum ElementReportMode : int {
  kReportRepeat = -1,       // the mode stored by the last call
  kReportPreliminary = 0,
  kReportTwoBody = 1,
  kReportElementsOnly = 2,  // shown without handing the orbit over
  kReportPerturbed = 3,
  kReportMovedEpoch = 4,
  kReportFileFull = 1024,     // report file with every residual
  kReportFileStation = 1025,  // report file with one station's residuals
};

// One orbit as the element lines print it: times JD TT, angles radians,
// q and a AU, P and Q the orientation vectors (J2000 equatorial).
struct ElementLineInput {
  double epoch = 0, T = 0, q = 0, e = 0, peri = 0, node = 0, incl = 0, a = 0;
  double P[3] = {}, Q[3] = {};
  int mpOrbit = 0;        // 1: minor-planet form for e <= 0.97
  bool extended = false;  // "拡張表示"
  bool haveSigma = false; // the 1/a uncertainty below is valid
  double invASigma = 0;
};

// "Jan." .. "Dec." of the Julian day's calendar date, with the date.
void CalendarParts(double jd, int& year, const char*& month, double& day);

// The lines of the element form (no line ends): 5 for the parabolic and
// near-parabolic forms, 6 for the comet and minor-planet forms.
std::vector<std::string> FormatElementLines(const ElementLineInput& in);

// "Epoch %d %s %.1f TT = JDT %.1f" of the epoch.
std::string FormatEpochLine(double epoch);

// "%.3f" below 100 in magnitude, "%.1f" below 10000, else "%.0f", of value.
std::string FormatPeriodValue(double value, double magnitude);

// 1/a = (1 - e)/q (0 when q <= 0) and its 1-sigma from the engine's
// covariance (T, peri, node, incl, q, e, ...). True when the sigma was formed.
bool InverseASigma(const OrbitEngine& engine, double q, double e, double& invA, double& sigma);

// The element report of the elements el (the engine's element block for the
// result pane) in the given mode; stores the mode in the view unless it is
// kReportRepeat. Lines end with LF for the file modes, CR LF otherwise.
std::string FormatMpcElements(CDeterminationDisplay& view, const ElementBlock& el, int mode);

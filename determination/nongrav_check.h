#pragma once
// Whether the non-gravitational terms of a solution are real: a solution
// with more free parameters always fits at least as well, so the same
// observations are solved again without the terms, the two fits compared by
// an F statistic with the signal-to-noise ratio of A1, the variation of the
// model's g(r) over the observed distances measured, and the gravity-only
// residuals binned by distance. The solution the user had comes back.
#include <string>

class CDeterminationDisplay;

inline constexpr int kNonGravBins = 6;

struct NonGravCheckResult {
  int valid;                     // 1 when the test completed
  int model;                     // NonGravModel of the tested solution
  int used;                      // used observations of the non-gravitational solution
  double residualNg, sumSqNg;    // arcsec; 2 used residualNg²
  double residualGrav, sumSqGrav;
  double a1, a2, sigmaA1, sigmaA2;  // × 1e8 (1e-8 AU/day²)
  int addedParams;               // 1 for radiation pressure, else 2
  double fStat;
  double rMin, rMax;             // AU, of the used observations
  double gAtRMax, gAtRMin;
  int binCount;
  double binR[kNonGravBins], binRa[kNonGravBins], binDec[kNonGravBins], binScatter[kNonGravBins];
  int binN[kNonGravBins];
  int verdict;                   // 0 not detected, 1 undecided, 2 detected
  std::string warnings;          // lines ending "\r\n"
};

// 0 done; -1 no converged non-gravitational solution with perturbations (or
// the observations span no range of distances); -2 no usable gravity-only
// solution; -8 another calculation runs; -9 cancelled; other negative values
// are improvement errors. The solution comes back in every case.
int RunNonGravSignificanceTest(CDeterminationDisplay& view, NonGravCheckResult& result);

// The F statistic, the warnings and the verdict of a result whose fits and
// coefficients are filled (the test's last steps).
void JudgeNonGrav(NonGravCheckResult& result);

// The report of the dialog.
std::string FormatNonGravVerdict(const NonGravCheckResult& result);

// What the dialog shows for a test's result.
struct NonGravCheckOutcome {
  std::string status;    // the verdict line
  std::string report;    // the edit
  int verdictState;      // -1 none, else the verdict
};
inline constexpr const char* kNonGravChecking = "判定中… (重力のみの解を求めています)";
NonGravCheckOutcome NonGravOutcome(int testResult, const NonGravCheckResult& result);
// Colour (0xRRGGBB) of the verdict line; 0 keeps the default.
unsigned NonGravVerdictLineColour(int verdictState);

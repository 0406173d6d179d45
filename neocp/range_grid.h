#pragma once
// The range grid of the systematic ranging: trial orbits over geocentric
// distance (logarithmic, 1e-4 to 3 AU) and range rate (the part of the
// bound-orbit interval at each distance), measured against all observations,
// then refined around the best ones in further passes; optionally each
// sample's attributable is re-fitted to its residual trend.
#include <string>
#include <vector>

#include "astro/constants.h"
#include "neocp/attributable.h"
#include "neocp/earth_screening.h"

class ScanProgress;

inline constexpr int kRangeGridMaxSamples = 2664;
inline constexpr int kRangeGridPasses = 8;
inline constexpr double kRangeGridRhoMin = 1e-4;  // AU
inline constexpr double kRangeGridRhoMax = 3.0;   // AU
inline constexpr double kRangeGridNone = 9e18;
inline constexpr double kKmPerSecondPerAuPerDay = kAstronomicalUnitKm / 86400.0;

struct RangeSample {
  double log_rho;    // ln ρ (AU)
  double frac;       // position of ρ̇ in the bound interval at ρ, 0..1
  double rho;        // AU
  double rho_dot;    // AU/day
  double alpha, delta, alpha_dot, delta_dot;  // the attributable it was evaluated with
  double volume;     // 2 × frac step × √J × ρ × log step
  int pass;          // 0..7
  int valid;
  double rms;        // arcsec
  double chi2;       // 2a (rms² − D²) / σ²
  int superseded;    // a later pass sampled its place again
  CloneRecord orbit; // its range holds rho
};

struct RangeGrid {
  std::vector<RangeSample> samples;  // at most 2664
  int count = 0;
  int best = -1;
  double bestRms = kRangeGridNone;
  double sigma = 0.5;
  int lastPass = -1;
  int refits = 0;
  double logRhoLow[kRangeGridPasses] = {}, logRhoHigh[kRangeGridPasses] = {};
  double fracLow[kRangeGridPasses] = {}, fracHigh[kRangeGridPasses] = {};
};

// A solution the second grid is centred on.
struct RangePrior {
  double rho, rhoDot, rms;
};

// One grid point: the orbit of (ρ, ρ̇) on the attributable with the bound
// test; with refit, also the attributable shifted by the residual trend when
// the trend explains enough, kept when it fits better. 1 when the sample is
// valid.
int EvaluateGridSample(OrbitEngine* engine, const DetClass* det, const Attributable& a, double rho, double rhoDot,
                       int refit, double bestSoFar, RangeSample& sample, int& refitAttempted);

// The passes of the grid (prior null for the first scan). 0, or the scan
// pump's code (1 aborted, 2 time limit) when it stopped the scan. The log
// gets one line per pass. obsCount: the observations the χ² counts (a).
int ScanRangeGrid(OrbitEngine* engine, const DetClass* det, const Attributable& a, int refit, const RangePrior* prior,
                  int target, int obsCount, const std::string& desig, ScanProgress* progress, RangeGrid& grid,
                  std::string& log);

#pragma once
// The residual block of the MPC-style report files: a ">From ..." heading
// with the mean residual and the non-gravitational parameters, then every
// observation's residuals (one station's in time order, or all of them in
// three columns that run down the page). Window-free; lines end with LF.
#include <string>

struct ObservationRecord;
class CDeterminationDisplay;

// The two residual cells of one observation: RA 7 and Dec 6 characters while
// the values stay below 100" (below 10 degrees once either reaches 99.95",
// when both are printed in degrees). Rejected observations are bracketed;
// an unknown station gives "(  .   " and "  .  )".
void FormatResidualCells(const ObservationRecord& obs, std::string& ra, std::string& dec);

// The block for every observation (station null or empty) or for those of
// the three-character station code.
std::string FormatResidualBlock(CDeterminationDisplay& view, const char* station);

#pragma once
// Texts and names of the scan run that need no dialog: the objects' file
// base names, the designation of a local observation file, the log line of
// a row, and the run's closing counts.
#include <string>
#include <vector>

#include "neocp/scan_names.h"
#include "neocp/scan_row.h"

// The base names of a table in row order: MakeSafeFileName, and for a name
// that an earlier row already has (compared without case) "(2)", "(3)", ...
std::vector<std::string> UniqueScanBaseNames(const NeocpScanRow* rows, int count);
// The file's name after the last separator, cut before its last "." unless
// that is its first character.
std::string LocalFileDesignation(const std::string& path);
// The row's line of the scan log, the cometary tag included (CR LF ended).
std::string FormatRowResultLine(const NeocpScanRow& row);
// The note of the nominal solution file.
std::string FormatNominalNote(const NeocpScanRow& row);

// Rows of a run with an impacting clone or nominal orbit, and the others
// that may pass inside the Moon's distance.
struct ScanRunCounts {
  int impacting = 0;
  int insideMoon = 0;
};
ScanRunCounts CountScanOutcome(const NeocpScanRow* rows, const std::vector<int>& jobs);

#pragma once
// "neocp_scan.csv": the scan table for a spreadsheet, 70 columns with
// Japanese headers, one line per row in the list's display order.
#include <string>
#include <vector>

#include "neocp/scan_row.h"

inline constexpr int kCsvColumns = 70;
inline constexpr const char* kScanCsvName = "neocp_scan.csv";

// The 70 headers joined by "," (no line end).
std::string GetCsvHeaderLine();
// Clears cells and appends the row's 70 cells.
void FormatCsvRow(const NeocpScanRow& row, std::vector<std::string>& cells);
// The text between double quotes (inner ones doubled) when it holds a comma,
// a double quote, CR or LF; else as it is.
std::string CsvQuote(const std::string& text);
// printf-style, C locale.
std::string FormatCsvNumber(double value, const char* format);

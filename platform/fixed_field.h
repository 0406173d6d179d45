#pragma once
// Fixed-column text fields (80-column observations, element lines, the station
// list, catalogues). Columns are 1-based and inclusive, as the formats are
// documented; columns past the end of the line read as blanks.
#include <string>
#include <string_view>

// The text of columns firstCol..lastCol ("" where the line is shorter).
std::string_view FixedColumns(std::string_view line, int firstCol, int lastCol);

// Decimal number at the start of text: leading blanks skipped, optional sign,
// digits, optional fraction and exponent; reading stops at the first other
// character. Blank or unreadable text reads 0. Always the C locale.
double ReadDecimal(std::string_view text);

// Integer at the start of text in the same manner (optional sign, digits).
long ReadInteger(std::string_view text);

// ReadDecimal / ReadInteger of a column range: a blank field reads 0.
double FixedDouble(std::string_view line, int firstCol, int lastCol);
long FixedInt(std::string_view line, int firstCol, int lastCol);

// True when every column of the range is a blank (or past the end of the line).
bool FixedBlank(std::string_view line, int firstCol, int lastCol);

#pragma once
// ADES (XML and PSV) observations turned into MPC 80-column lines, so that
// one line parser serves every format. Only optical records with a position
// convert; radar and occultation-style records (no "ra"/"dec") are refused.
#include <map>
#include <string>
#include <string_view>
#include <vector>

// ADES field name -> value, values trimmed. Names compare case-sensitively.
using AdesFields = std::map<std::string, std::string, std::less<>>;

// The value of a field, "" when absent.
std::string LookupAdesField(const AdesFields& fields, std::string_view name);

// Appends one 80-column line (two for a roving or satellite observer) for the
// record; 1 when it did, 0 when the record was refused (nothing appended).
int ConvertAdesToMpcLines(const AdesFields& fields, std::vector<std::string>& lines);

// Writes x >= 0 right-aligned in 10 characters with as many decimals as fit;
// 1 when the text has at most 10 characters, 0 when x does not fit.
int FitNumberToWidth(double x, std::string& buf);

// Counts of one file's conversion.
struct AdesCounts {
  int converted = 0;  // records that gave lines
  int skipped = 0;    // records refused
};

// Every "<optical>" element of the text, in order, converted into lines.
void ConvertAdesXml(std::string_view text, std::vector<std::string>& lines, AdesCounts& counts);

// A PSV file's current header: its column names and a field map holding
// every name, which each data line refills rather than building its own.
struct AdesPsvHeader {
  std::vector<std::string> names;
  AdesFields fields;
};

// The PSV rules for one line that holds '|': a line naming "obsTime" replaces
// the header; a data line converts under the current header (ignored while
// there is none).
void ConvertAdesPsvLine(std::string_view line, AdesPsvHeader& header, std::vector<std::string>& lines,
                        AdesCounts& counts);

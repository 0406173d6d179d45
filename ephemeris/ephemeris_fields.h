#pragma once
// How the ephemeris form reads its fields: a decimal number from the start of
// the text (the rest ignored, 0 when there is none), an integer likewise, and
// a calendar date from three fields.
#include <string>

std::string TrimText(const std::string& text);
double ReadNumber(const std::string& text);
long ReadInteger(const std::string& text);
// Year, month and day fields, each trimmed: true with the Julian day when all
// three hold text, the month is 1-12 and the day is at least 1 and below 32.
bool ReadDateFields(const std::string& year, const std::string& month, const std::string& day, double& jd);
// The epoch fields' Julian day, 0 when absent (see ReadDateFields).
double ReadEpochFields(const std::string& year, const std::string& month, const std::string& day);

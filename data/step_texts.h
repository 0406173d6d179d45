#pragma once
// Integration step lengths as the Japanese texts of the progress line, the
// run report and the logs.
#include <string>

namespace CTessaruneLib {

// |days| as "%.6g日" from a quarter day up, else in hours, minutes and
// seconds ("1時間", "1分", "2分48.75秒", "59.9616秒").
std::string FormatStepLength(double days);
void FormatStepLength(double days, std::string& text);

// The same; below a quarter day the value in days follows in parentheses
// ("3時間" stays, "45分(0.03125日)").
std::string FormatStepLengthWithDays(double days);
void FormatStepLengthWithDays(double days, std::string& text);

}  // namespace CTessaruneLib

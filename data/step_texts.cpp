#include "data/step_texts.h"

#include <cmath>

#include "platform/numbers.h"

namespace CTessaruneLib {

std::string FormatStepLength(double days) {
  const double d = std::fabs(days);
  if (d >= 0.25) return FormatC("%.6g日", d);
  const double s = d * 86400.0;
  if (s >= 3600.0) return FormatC("%.6g時間", s / 3600.0);
  if (s >= 60.0) {
    const int m = static_cast<int>(s / 60.0);
    const double rest = s - 60.0 * m;
    if (rest < 0.005) return FormatC("%d分", m);
    return FormatC("%d分%.6g秒", m, rest);
  }
  return FormatC("%.6g秒", s);
}

void FormatStepLength(double days, std::string& text) { text = FormatStepLength(days); }

std::string FormatStepLengthWithDays(double days) {
  std::string text = FormatStepLength(days);
  const double d = std::fabs(days);
  if (d < 0.25) text = FormatC("%s(%s)", text.c_str(), FormatC("%.6g日", d).c_str());
  return text;
}

void FormatStepLengthWithDays(double days, std::string& text) { text = FormatStepLengthWithDays(days); }

}  // namespace CTessaruneLib

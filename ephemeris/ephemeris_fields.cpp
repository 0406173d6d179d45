#include "ephemeris/ephemeris_fields.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "astro/time_scales.h"
#include "platform/numbers.h"
#include "platform/text_util.h"

std::string TrimText(const std::string& text) { return std::string(TrimSpace(text)); }

double ReadNumber(const std::string& text) { return StringToDouble(TrimText(text)); }

long ReadInteger(const std::string& text) {
  const std::string t = TrimText(text);
  errno = 0;
  const long v = std::strtol(t.c_str(), nullptr, 10);
  return errno == ERANGE ? (v < 0 ? LONG_MIN : LONG_MAX) : v;
}

bool ReadDateFields(const std::string& year, const std::string& month, const std::string& day, double& jd) {
  const std::string y = TrimText(year), m = TrimText(month), d = TrimText(day);
  if (y.empty() || m.empty() || d.empty()) return false;
  const double mv = ReadNumber(m), dv = ReadNumber(d);
  if (mv < 1 || mv > 12 || dv < 1 || dv >= 32) return false;
  jd = CalendarToJd(ReadNumber(y), mv, dv);
  return true;
}

double ReadEpochFields(const std::string& year, const std::string& month, const std::string& day) {
  double jd = 0;
  return ReadDateFields(year, month, day, jd) ? jd : 0.0;
}

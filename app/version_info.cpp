#include "app/version_info.h"

#include <cstdlib>

#include "platform/numbers.h"

ProgramVersion ParseVersion(const std::string& text)
{
  int parts[4] = {0, 0, 0, 0};
  const char* p = text.c_str();
  for (int i = 0; i < 4 && *p; ++i) {
    char* end = nullptr;
    const long n = std::strtol(p, &end, 10);
    if (end == p)
      break;
    parts[i] = static_cast<int>(n);
    p = end;
    if (*p != '.')
      break;
    ++p;
  }
  return {parts[0], parts[1], parts[2], parts[3]};
}

ProgramVersion CompiledVersion()
{
  return ParseVersion(TSR_VERSION);
}

std::string FormatVersionLine(const ProgramVersion& v)
{
  if (v.revision != 0)
    return FormatC("Tessarune Version %d.%d.%d (Build %d)", v.major, v.minor, v.build, v.revision);
  return FormatC("Tessarune Version %d.%d.%d", v.major, v.minor, v.build);
}

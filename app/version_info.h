#pragma once
// The program's version as compiled in, and the About box's version line.
#include <string>

struct ProgramVersion {
  int major = 0;
  int minor = 0;
  int build = 0;
  int revision = 0;
};

// "a.b.c" or "a.b.c.d"; missing or unreadable parts read 0.
ProgramVersion ParseVersion(const std::string& text);
// The version this program was built as.
ProgramVersion CompiledVersion();
// "Tessarune Version a.b.c", with " (Build d)" when the revision is not 0.
std::string FormatVersionLine(const ProgramVersion& v);

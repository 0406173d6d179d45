#include "ephemeris/similar_orbits.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "astro/angle_units.h"
#include "platform/app_services.h"
#include "platform/fixed_field.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"

namespace {

constexpr size_t kMaxLineChars = 1023;
// The bounds hold for the decimal values of the line: 0.55 against 0.5 is
// within 0.05 although their binary difference is a little more. Far below
// the lines' last digit (1e-7).
constexpr double kDecimalSlack = 1e-9;

bool DotAt(std::string_view line, size_t column) { return line.size() >= column && line[column - 1] == '.'; }

std::string_view WithoutLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

} // namespace

std::string FindOrbHeaderText(const FindOrbElements& orbit) { return FormatC("tpass: %f\r\n", orbit.T); }

bool IsSimilarOrbitLine(std::string_view line, const FindOrbElements& orbit) {
  if (!DotAt(line, 30) || !DotAt(line, 41) || !DotAt(line, 52)) return false;
  const double node = FixedDouble(line, 49, 57);
  const double incl = FixedDouble(line, 60, 68);
  const double e = FixedDouble(line, 71, 79);
  // The shorter way round: 359.95° and 0.02° are 0.07° apart.
  double dNode = std::fmod(std::fabs(node - orbit.node * kDegPerRad), 360.0);
  if (dNode > 180.0) dNode = 360.0 - dNode;
  return std::fabs(e - orbit.e) <= kFindOrbMaxDeltaE + kDecimalSlack &&
         std::fabs(incl - orbit.incl * kDegPerRad) <= kFindOrbMaxDeltaInclDeg + kDecimalSlack &&
         dNode <= kFindOrbMaxDeltaNodeDeg + kDecimalSlack;
}

bool FindSimilarOrbits(const std::string& path, const FindOrbElements& orbit, std::vector<std::string>& found) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  char* buffer = nullptr;
  size_t capacity = 0;
  ssize_t n;
  while ((n = getline(&buffer, &capacity, file)) > 0) {
    std::string_view line(buffer, static_cast<size_t>(n));
    line = WithoutLineEnd(line.substr(0, kMaxLineChars));
    if (IsSimilarOrbitLine(line, orbit)) found.emplace_back(line);
  }
  std::free(buffer);
  std::fclose(file);
  return true;
}

void CFindOrb::OnSearch() {
  m_lines.clear();
  const std::string path = TheApp().m_szExeDir + kFindOrbFileName;
  bool opened;
  {
    ScopedWaitCursor wait;
    opened = FindSimilarOrbits(path, m_orbit, m_lines);
  }
  if (!opened)
    Ui().ShowMessage("Tessarune", kFindOrbNoFile, MsgIcon::Warning, MsgButtons::Ok);
}

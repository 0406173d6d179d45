#pragma once
// The similar-orbit search "類似軌道検索" without its window: the lines of
// the minor-planet orbit file "MPCORBcr.txt" (MPCORB line layout) whose
// node, inclination and eccentricity lie near those of the current orbit.
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* kFindOrbFileName = "MPCORBcr.txt";
inline constexpr const char* kFindOrbNoFile = "MPCORBcr.txt ファイルがありません。";
inline constexpr const char* kFindOrbTitle = "類似軌道検索";

// The orbit searched for, from the engine's element block.
struct FindOrbElements {
  double T = 0;            // perihelion time, JD TT
  double q = 0;            // AU
  double e = 0;
  double peri = 0, node = 0, incl = 0;  // radians, J2000 ecliptic
  double a = 0;            // AU
  double M = 0;            // mean anomaly, radians
};

// How close a line must lie (each bound inclusive).
inline constexpr double kFindOrbMaxDeltaE = 0.05;
inline constexpr double kFindOrbMaxDeltaInclDeg = 0.05;
inline constexpr double kFindOrbMaxDeltaNodeDeg = 0.1;

// The text above the list: "tpass: %f" of T, with CR LF.
std::string FindOrbHeaderText(const FindOrbElements& orbit);
// True for an element line (decimal points in columns 30, 41 and 52) whose
// node (49-57), inclination (60-68) and eccentricity (71-79) lie within the
// bounds; the node difference is taken across 0°/360°.
bool IsSimilarOrbitLine(std::string_view line, const FindOrbElements& orbit);
// The candidate lines of a file, in file order, without their line ends
// (lines cut at 1023 characters). False when the file cannot be opened.
bool FindSimilarOrbits(const std::string& path, const FindOrbElements& orbit, std::vector<std::string>& found);

// "検索(&F)": the lines of kFindOrbFileName in the executable's folder into
// m_lines; without the file, the message kFindOrbNoFile and an empty list.
class CFindOrb {
public:
  explicit CFindOrb(const FindOrbElements& orbit) : m_orbit(orbit) {}
  virtual ~CFindOrb() = default;
  void OnSearch();
  FindOrbElements m_orbit;
  std::vector<std::string> m_lines;
};

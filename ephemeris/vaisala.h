#pragma once
// Väisälä orbits for a new discovery whose arc is too short for an orbit
// determination: from the first and the last observation, the orbit that is at
// perihelion (or aphelion) at the last one, for each trial geocentric
// distance. The view "バイサラ軌道計算" without its window: the candidate list,
// the residual list, the text pane and the epoch field are held here; the
// window shows them after every operation (ShowResults).
#include <string>
#include <vector>

#include "data/observation_record.h"
#include "engine/tool_sinks.h"

// The two observations an orbit must pass through: TT (JD), right ascension
// and declination (radians, J2000) and the observer-to-Sun vector (AU).
struct VaisalaObservations {
  double t1 = 0, t2 = 0;
  double ra1 = 0, dec1 = 0, ra2 = 0, dec2 = 0;
  double sun1[3] = {}, sun2[3] = {};
};

// One Väisälä orbit. Angles in radians (J2000 ecliptic) except M, which is in
// degrees at the epoch. A failed ellipse has e = 999 and a = 999; a failed
// parabola e = 999. A parabola has no M, a or epoch (-1 each).
struct VaisalaOrbit {
  double T = 0, q = 0, e = 999, peri = 0, node = 0, incl = 0;
  double M = -1, a = 999, epoch = -1;
  bool Failed() const { return e > 900; }
};

// The ellipse for the trial distance delta (AU) of the last observation.
VaisalaOrbit VaisalaEllipse(double delta, const VaisalaObservations& in);
// The parabola for the trial distance delta.
VaisalaOrbit VaisalaParabola(double delta, const VaisalaObservations& in);
// The element epoch for the light-time-corrected time of the last observation:
// the next date 20n + 0.5 after the day that holds it.
double VaisalaEpoch(double t2Corrected);

// The element text: "Orbital elements:", the name, then the perihelion form
// for e = 1 or the epoch form otherwise (CR LF line ends).
std::string FormatVaisalaElements(const std::string& name, double epoch, double T, double q, double e, double peri,
                                  double node, double incl, double a);

// One line of the residual list: date (UTC), place, station and precision
// mark, then the residual in right ascension x cos(dec) and in declination
// (arcseconds, observed minus computed, the magnitude and a sign character),
// or the empty residual field for an unknown station or a light-time
// iteration that does not settle.
std::string VaisalaResidualLine(const ObservationRecord& obs, double T, double q, double e, double peri, double node,
                                double incl);

// The observed-minus-computed place of an orbit at an observation, light
// time iterated from 1 AU (at most 100 passes, to 1e-6 AU); false when the
// iteration fails or does not settle. dRa is reduced into (-pi, pi], without
// the cos(dec) factor.
bool VaisalaObservedMinusComputed(const ObservationRecord& obs, double T, double q, double e, const double P[3],
                                  const double Q[3], double& dRa, double& dDec);

// Texts of the view.
inline constexpr const char* kVaisalaTitle = "バイサラ軌道計算";
inline constexpr const char* kVaisalaNoCandidate = "この観測からは軌道の候補が求まりませんでした。";
inline constexpr const char* kVaisalaNoBestLine =
    "この観測からは基準にできる軌道の候補が求まりませんでした。\r\n"
    "観測の間隔が短すぎるか、軌道を決められない並びになっています。";
inline constexpr const char* kVaisalaSameInstant =
    "最初と最後の観測が同じ時刻なので、バイサラ軌道は求められません。\r\n"
    "時刻の異なる観測を含むファイルを開いてください。";
inline constexpr const char* kVaisalaNoFamily =
    "バイサラ軌道の候補がありません。観測ファイルを開いて計算してから実行してください。";
inline constexpr const char* kVaisalaHelpTitle = "バイサラ軌道とは";
inline constexpr const char* kVaisalaRangeHelpTitle = "距離変差線とは";
extern const char* const kVaisalaHelpText;
extern const char* const kVaisalaRangeHelpText;

class CVaisala {
public:
  static constexpr int kMaxCandidates = 401;
  static constexpr int kMaxDesignations = 100;

  // bRegister: the view is the registry's m_pVaisala until it goes.
  explicit CVaisala(bool bRegister = false);
  virtual ~CVaisala();
  CVaisala(const CVaisala&) = delete;
  CVaisala& operator=(const CVaisala&) = delete;

  // ---- what the window supplies ----
  // Asks for an observation file; false when cancelled.
  virtual bool AskObsFile(std::string& path) { (void)path; return false; }
  virtual void SetFrameTitle(const std::string& title) { m_strFrameTitle = title; }
  // The lists, the text pane and the epoch field changed.
  virtual void ShowResults() {}

  // ---- commands ----
  // "観測ファイルを開く(&O)": the file dialog, then OpenObsFile.
  void OnOpenObsFile();
  // Reads the file, sorts it, names the object and computes. False when the
  // reader failed (its message shown, the previous results kept).
  bool OpenObsFile(const std::string& path);
  void OnElliptic();
  void OnParabolic();
  void ComputeVaisalaCandidates();
  // A line of the candidate list chosen.
  void OnCandidateSelect(int index);
  // "捜索範囲(距離変差線)(&R)": the family to the search range.
  void OnSearchRange();

  // True while observations are loaded and an orbit is chosen.
  bool HasChosenOrbit() const { return m_pOrbObs && m_nObs > 0 && m_chosen[3] != -1.0; }
  // The chosen orbit as the tool windows and the ephemeris view take it.
  DisplayOrbit ChosenOrbit() const;

  // ---- state ----
  std::string m_strName;              // readable designations joined by " = "
  ObservationRecord* m_pOrbObs = nullptr;  // sorted by TT; freed with free()
  std::string szObsFile;
  int m_nObs = 0;
  int m_nFirst = 0, m_nLast = 0;
  std::string m_strCandidates;        // candidate lines joined with CR LF
  int m_bParabolic = 0;
  // T, q, e, peri, node, incl (rad), M (deg), a, epoch; peri -1 when none.
  double m_chosen[9] = {0, 0, 0, -1, 0, 0, -1, -1, -1};
  VaisalaCandidate m_candidates[kMaxCandidates] = {};
  int m_nCandidates = 0;
  int m_nChosen = -1;
  double m_distances[kMaxCandidates] = {};
  int m_nDistances = 0;

  // ---- what the controls show ----
  std::vector<std::string> m_candidateLines;  // list 1429
  int m_nCandidateSel = -1;
  int m_nCandidateTop = 0;
  std::vector<std::string> m_residualLines;   // list 1057
  std::string m_strText;                      // text pane 1000
  std::string m_strEpochField;                // epoch field 1193
  std::string m_strFrameTitle;

private:
  VaisalaObservations Inputs() const;
  VaisalaOrbit OrbitAt(double delta) const;
  // Elements, residuals and candidates into the text pane for an orbit.
  void ShowOrbit(const VaisalaOrbit& orbit);
  void SetChosen(const VaisalaOrbit& orbit);
  void ClearResults();
  // Steps of ComputeVaisalaCandidates: the selected distance, or a negative
  // value when none.
  double ComputeElliptic();
  double ComputeParabolic();
  void HandFamilyToSearchRange(SearchRangeSink& sink);
  bool m_bRegistered = false;
};

// The family probe over the given distances: the index whose a lies nearest
// the target among the accepted orbits, -1 when none. Exposed for tests.
struct VaisalaProbe {
  double firstDelta, step;
  int count;
  double aMin, aMax, eMax, inclMaxDeg, inclMinDeg, aTarget, aTolerance;
};
inline constexpr VaisalaProbe kVaisalaProbes[3] = {
    {0.7, 0.1, 6, 1.75, 2.05, 0.2, 35, 15, 1.91, 0.15},
    {2.65, 0.1, 6, 3.8, 4.1, 0.3, 20, 0, 3.94, 0.15},
    {3.7, 0.1, 8, 4.8, 5.4, 0.2, 45, 0, 5.2, 0.2},
};
// The probe's pick among orbits (a, e, inclination in degrees), -1 when none.
int PickProbeIndex(const VaisalaProbe& probe, const std::vector<VaisalaOrbit>& orbits);
// The rules' choice among the 14 ellipses (a, e, M in degrees), -1 when none.
int PickEllipseIndex(const std::vector<VaisalaOrbit>& orbits);

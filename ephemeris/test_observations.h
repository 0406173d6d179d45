#pragma once
// The developer's aids of the forecast dialog: an orbit made to hit a chosen
// body at a chosen time, and observations of such an object written as an
// 80-column file with a known noise, for trying the impact searches on
// objects whose fate is known.
#include <cstdint>
#include <string>

class CDetermination;

// One row per target body (0 Mercury ... 8 Pluto, 9 the Moon).
struct TestImpactScenario {
  double dArc;    // observing arc, days
  double dLead;   // least time from the element epoch to the impact, days
  int nNights;
  int nPerNight;
  double dError;  // arcsec
};
extern const TestImpactScenario g_aTestImpactScenarios[10];

inline constexpr const char* kTestStations[4] = {"F51", "G96", "950", "Q62"};
inline constexpr const char* kTestDesignationLetters = "ABCDEFGHJK";
inline constexpr int kMaxTestObservations = 64;
// 12 km/s, from the body towards the Sun.
inline constexpr double kTestImpactSpeed = 0.006930579928367925;

// Normal deviate of the generator's own linear congruential sequence.
double GaussianRandom(uint32_t& seed);

// One 80-column line (no line end): packed designation, the time as a date
// with fraction, right ascension and declination (rad), station code.
std::string FormatObs80Line(const std::string& packed, double jd, double ra, double dec, const char* station);

// The lines with CR LF; ra/dec null mean 0. 1 written, 0 the file could not be
// written whole.
int WriteObs80File(const std::string& path, const std::string& packed, const double* times, const int* stations,
                   int count, const double* ra, const double* dec);

// Six elements (T, q, e, argument of perihelion, node, inclination; rad).
struct TestOrbitElements {
  double dT = 0, dQ = 0, dE = 0, dPeri = 0, dNode = 0, dIncl = 0;
};

// The six elements into a block at epoch, without non-gravitational terms;
// a and n for e <= 0.97 (M is the caller's), else a, n and M are -1.
struct ElementBlock;
void PutTestElements(ElementBlock& el, const TestOrbitElements& in, double epoch);

// The orbit that meets body (0..9) at t, coming from the Sun's side at 12
// km/s. 0 made; otherwise message holds the reason ("" a silent failure).
int MakeTestImpactorElements(int body, double t, TestOrbitElements& el, std::string& message);

// Times and stations of the generator for an impact on body at t.
struct TestObservationPlan {
  double dEpoch = 0;  // on the 40-day grid 40n + 0.5, at least the lead before t
  double dFirst = 0;
  int nCount = 0;
  double adTimes[kMaxTestObservations] = {};
  int anStations[kMaxTestObservations] = {};
};
// false when no grid epoch lies before the impact.
bool PlanTestObservations(int body, double t, TestObservationPlan& plan);

// "2029 ZC99" and "K29Z99C" of the year and body.
std::string TestReadableDesignation(int year, int body);
std::string TestPackedDesignation(int year, int body);

// The elements into the view's engine at epoch E, its epoch fields written;
// the residuals of that orbit without a correction (ImproveOrbitIteration's result).
int SetTestOrbitAndResiduals(CDetermination& view, const TestOrbitElements& el, double epoch);

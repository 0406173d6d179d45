#pragma once
// The batch engine's Earth screening: the nominal orbit and its clones are
// integrated over an interval around the observations; for each orbit the
// smallest Earth distance, an impact and the path over the Earth near that
// moment are kept, and the row gets the nominal approach, the counts, the
// weighted impact probability, the weighted median distance, the closest
// plausible clone (with its solution file) and the clone-track file.
#include <string>
#include <vector>

#include "astro/constants.h"
#include "engine/integration_state.h"

struct OrbitEngine;
struct DetClass;
class EngineWindow;
class CDeterminationDisplay;
class ScanProgress;
class GeoTrackBuffer;
class ImpactTracker;
struct NeocpScanRow;
struct NeocpScanSettings;

inline constexpr double kAuKm = kAstronomicalUnitKm;
inline constexpr int kApproachTrackMax = 13;
inline constexpr double kScreenMarginDays = 40.0;
inline constexpr double kScreenMinRadiusAu = 0.1;

struct CloneRecord {
  double epoch;
  double T, q, e, peri, node, incl;
  double A1, A2, A3;
  double weight;
  int plausible;
  double rms;
  double range;
};

struct ApproachTrack {
  double minutes[kApproachTrackMax];
  double lat[kApproachTrackMax];
  double lon[kApproachTrackMax];
  double km[kApproachTrackMax];
  int count;
};

struct CloneApproach {
  double dist;  // AU, 9e9 none
  double jd;    // JD TT
  int impact;
  int result;
  ApproachTrack track;
};

struct CloneTrackRecord {
  int nominal, impact, plausible;
  double weight, jd;
  ApproachTrack track;
};

// Adds a part to a row's note; parts are joined by " / ".
void AppendScanNote(std::string& note, const std::string& text);

// Weighted-median pairs (distance, weight).
struct DistanceWeight {
  double dist, weight;
};
// qsort comparison: ascending first double.
int CompareFirstDouble(const void* a, const void* b);
// The smallest distance at which the accumulated weight reaches half the
// total; 9e9 for an empty table or a total that is not positive.
double WeightedMedianDistance(DistanceWeight* pairs, int count);

// The engine's orbit as the row's nominal orbit: used count, mean residual,
// epoch and elements.
void TakeEngineOrbit(const OrbitEngine* engine, NeocpScanRow& row);
void NominalCloneFromEngine(const OrbitEngine* engine, CloneRecord& rec);
void ApplyCloneElements(const CloneRecord& rec, IntegrationState* state);
int SetupCloneRun(OrbitEngine* engine, const DetClass* det, IntegrationState* state, const CloneRecord& rec,
                  double endJd);
void RunCloneApproach(OrbitEngine* engine, IntegrationState* state, EngineWindow* window, CloneApproach& out);
// hit: the Earth's tracker when the orbit hit, else null.
void SampleApproachTrack(const GeoTrackBuffer& points, double approachJd, const ImpactTracker* hit,
                         ApproachTrack& out);

// 0 success (status 8 or 9), -1 failure (4 or 6), -9 aborted (7).
int ScreenEarthApproaches(CDeterminationDisplay& view, const NeocpScanSettings& settings, NeocpScanRow& row,
                          const CloneRecord& nominal, const CloneRecord* clones, int count, EngineWindow* window,
                          ScanProgress* progress);

// The clones of the view's current solution from its covariance, screened.
int MakeCovarianceClones(CDeterminationDisplay& view, const NeocpScanSettings& settings, NeocpScanRow& row,
                         EngineWindow* window, ScanProgress* progress);

// ---- clone-track file ----
inline constexpr const char* kCloneTrackHeader = "kind\timpact\tplausible\tweight\tjd\tpoints";
std::string FormatGlobeCloneTracks(const std::string& desig, const CloneTrackRecord* recs, int count);
// Non-zero when written.
int WriteGlobeCloneTracks(const std::string& path, const std::string& desig, const CloneTrackRecord* recs,
                          int count);
// 1 with the kept records (at least one point each), 0 when the header is
// missing or not exact.
int ParseGlobeCloneTracks(const std::string& text, std::vector<CloneTrackRecord>& out);

// What button 1535 hands the globe, worked out without the window.
struct CloneGlobeView {
  int nominalCount = 0, cloneCount = 0;
  double refJd = 0;                       // JD TT; 0 none
  int subSolarValid = 0, apexValid = 0;
  double subSolarLat = 0, subSolarLon = 0, apexLat = 0, apexLon = 0;  // degrees
  std::string caption;                    // the designation, trimmed
  std::string info;                       // "地球衝突確率 ..."
  std::string status;                     // the dialog's status line afterwards
};
// The impact probability (0..1) as the globe's information line writes it.
std::string FormatImpactPercent(double probability);
void PrepareCloneGlobeView(const NeocpScanRow& row, const std::vector<CloneTrackRecord>& recs, CloneGlobeView& out);

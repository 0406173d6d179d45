#pragma once
// Identification of a tracklet against the catalogues, first stage: a fast
// two-body test of every catalogue record against a short series of
// observations (a tracklet). A candidate must fall inside a narrow window
// along and across the predicted path; with magnitudes, its predicted
// magnitude must be close to them, and its motion close to the observed
// motion. Each pass gets a score (lower is better).
//
// Angles of the windows in radians; the offsets a candidate keeps are in
// degrees. Times are JD TT; vectors AU, J2000 equatorial.
#include <atomic>
#include <string_view>

struct ElementRecord;
struct ObservationRecord;

// Candidates kept per tracklet by the many-tracklet scans.
inline constexpr int kTopCandidates = 10;
// Readable name (at most 31 characters) and designation (at most 15) of a candidate, UTF-8.
inline constexpr int kCandidateNameChars = 31;
inline constexpr int kCandidateDesigChars = 15;

// One catalogued object that passed the first stage.
struct IdentCandidate {
  char m_szName[kCandidateNameChars * 4 + 1];    // readable name, zero-terminated
  char m_szDesig[kCandidateDesigChars * 4 + 1];  // packed designation (key) of the record
  double m_dEpoch;         // element epoch, JD TT
  double m_dT;             // time of perihelion, JD TT (derived for the test)
  double m_dQ;             // perihelion distance, AU
  double m_dE;             // eccentricity
  double m_dPeri, m_dNode, m_dIncl;  // radians, ecliptic J2000
  double m_dH;             // absolute magnitude of the record
  double m_dG;             // slope parameter of the record
  int m_bComet;            // 1 from the comet element file
  double m_dAlong;         // along-path offset of largest size, signed, degrees
  double m_dCross;         // cross-path offset of largest size, signed, degrees
  double m_dMagDiff;       // predicted minus mean observed magnitude (0 without the magnitude test)
  double m_dMotionRatio;   // |motion difference| / observed motion (0 without the motion test)
  double m_dScore;         // first-stage score, lower is better
  int m_nRefined;          // 0 not refined, 1 refined, -1 refinement failed
  double m_dResidualRms;   // second stage: RMS, arcsec
  double m_dMeanResRa;     // second stage: mean (O - C) RA cos Dec, arcsec
  double m_dMeanResDec;    // second stage: mean (O - C) Dec, arcsec
  double m_dDelta;         // geocentric distance, AU (see TestCandidate and the refinements)
  double m_dPredictedMag;  // H,G magnitude at the reference (or, refined, the middle) observation
};

// The work order of one first-stage pass over part of a batch. The records
// are the batch's catalogue lines, parsed by the worker that tests them, so
// that the reading thread only splits lines.
struct ScanSlice {
  const std::string_view* m_pLines;  // first catalogue line of the slice (not owned)
  int m_nRecords;                    // lines in the slice
  const ObservationRecord* m_pObs;   // the tracklet (not owned)
  int m_nObs;
  int m_nRef;                        // reference observation: m_nObs / 2
  double m_dPathWindow;              // largest |along| offset, radians
  double m_dCrossWindow;             // largest |cross| offset, radians
  double m_dMeanMag;                 // mean observed magnitude; 0 switches the magnitude test off
  double m_dMagTolerance;            // largest |magnitude difference|; 0 or less switches it off
  int m_nFirst, m_nLast;             // observations that span the motion
  double m_dMotionRa;                // observed motion in RA x cos Dec, degrees/day
  double m_dMotionDec;               // observed motion in Dec, degrees/day
  double m_dMotionTotal;             // length of the observed motion; 0 switches the motion test off
  IdentCandidate* m_pOut;            // one place per line; the worker appends the passes
  int m_nOut;                        // candidates written
  const std::atomic<int>* m_pCancel; // non-zero stops the workers; may be null
};

// One tracklet of the many-tracklet scans. The caller zero-fills it and sets
// the observations and their count; the scans fill the rest.
struct TrackletQuery {
  const ObservationRecord* m_pObs;  // owned by the caller
  int m_nObs;
  ScanSlice m_slice;                // the tracklet's summary (lines, output stay empty)
  IdentCandidate m_list[kTopCandidates];  // ascending score
  int m_nList;                      // 0..10
  int m_nPassed;                    // catalogue objects that passed, kept or not
};

// The work order of one thread of the many-tracklet scan.
struct MultiScanSlice {
  const std::string_view* m_pLines;
  int m_nRecords;
  const TrackletQuery* m_pQueries;
  int m_nQueries;
  IdentCandidate* m_pLists;  // m_nQueries x 10, query-major, this thread's own
  int* m_pListCounts;        // m_nQueries
  int* m_pPassedCounts;      // m_nQueries
  const std::atomic<int>* m_pCancel;
};

// --- Two-body positions -----------------------------------------------------

// Position of an elliptic orbit (T, q, e, P, Q) seen by an observer whose Sun
// vector is sunAu, at jdTT: one geometric evaluation and then `passes`
// light-time corrections. RA in [0, 2π), Dec, distance from the observer and
// from the Sun of the last evaluation. 1, or 0 for e ≥ 1, q ≤ 0, or Kepler's
// equation not converging.
int TwoBodyPositionLightTime(double jdT, double qAu, double e, const double P[3], const double Q[3], double jdTT,
                             const double sunAu[3], int passes, double& raRad, double& decRad, double& deltaAu,
                             double& rAu);

// The record filter of every scan: a > 0, 0 ≤ e < 1, q > 0, epoch > 0. On
// true, the time of perihelion (from the epoch and M) and P, Q.
bool PrepareScanRecord(const ElementRecord& record, double& jdT, double P[3], double Q[3]);

// Magnitude by the H,G law for Sun distance r, observer distance delta and
// Sun-observer distance R (AU).
double PredictedMagnitudeHG(double H, double G, double rAu, double deltaAu, double sunObserverAu);

// --- The first-stage test -----------------------------------------------------

// 1 when the record (already through PrepareScanRecord) passes the slice's
// tracklet; the candidate is then filled. 0 otherwise.
int TestCandidate(const ElementRecord& record, double jdT, const double P[3], const double Q[3],
                  const ScanSlice& slice, IdentCandidate* candidate);

// Fills the query's summary from its observations (windows in radians).
void SetupTrackletQuery(TrackletQuery* query, double pathWindowRad, double crossWindowRad, double magTolerance,
                        const std::atomic<int>* cancel);
// The single-tracklet summary: the motion spans the earliest and latest of
// all observations (no 3-day limit).
void SetupSingleTrackletSlice(ScanSlice* slice, const ObservationRecord* obs, int count, double pathWindowRad,
                              double crossWindowRad, double magTolerance, const std::atomic<int>* cancel);

// Inserts into a list of at most 10 in ascending score; equal scores keep
// their order of arrival, and a full list keeps its last entry against an equal score.
void InsertTopCandidate(IdentCandidate* list, int* count, const IdentCandidate& candidate);

// Thread entries: the single-tracklet worker appends every pass to its
// output; the many-tracklet worker keeps its own top lists. Both return 0.
int ScanSliceWorker(ScanSlice* slice);
int ScanSliceWorkerMulti(MultiScanSlice* slice);

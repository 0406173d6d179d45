#pragma once
// Impact trackers: one ImpactTracker watches the object's distance from one
// body (a BodyIndex) along a sampled track, keeps the last part of the
// approach path over the body's surface (for the globe) and detects an
// impact, either by a crossing of the capture distance between two samples
// or by the closest point of the straight segment between them. An
// ImpactTrackerSet holds ten, one per body, fed by the integrator at each
// step.
//
// Running a tracker: Step(t, d, v) at each sample (a sample repeated at the
// same time replaces the last one), then FinishRun() when the run ends. Step
// tests a segment only once a later sample shows that its end is final, so
// the last segment of a run is tested by FinishRun alone: every run that
// ends (end time reached, stopped, cancelled) calls FinishRun on its trackers
// before their hit flags are read.
#include <string>
#include <vector>

#include "astro/frames.h"

// Body radii (km) and the Japanese names of the reports, by BodyIndex.
extern const double kImpactBodyRadiusKm[kBodyCount];
extern const char* const kImpactBodyNames[kBodyCount];

// Detection modes.
inline constexpr int kImpactModeCrossing = 1;  // "閾値通過"
inline constexpr int kImpactModeClosest = 2;   // "サンプル間最接近"

struct ImpactTrackPoint {
  double latDeg;  // sub-point latitude, degrees
  double lonDeg;  // sub-point longitude, degrees
  double distKm;  // distance from the body's centre, km
  double jdTT;    // JD TT
};

struct ImpactSample {
  double jdTT;     // JD TT
  double distAu;   // distance from the body's centre, AU
  double relAu[3]; // position relative to the body, AU, J2000 equatorial
  int present;     // 1 when the sample exists
};

class ImpactTracker {
public:
  ImpactTracker() = default;

  // One sample: time (TT), distance (AU) and position (AU, J2000 equatorial)
  // of the object relative to the body's centre. Nothing once hit.
  void Step(double jdTT, double distAu, const double relAu[3]);
  // Tests the last segment of a run (see the top of this file).
  void FinishRun();

  // Appends a track point, keeping the track strictly ordered in the
  // direction of the run (a repeated or earlier time replaces what follows).
  void AddTrackPoint(double jdTT, const double relAu[3]);
  // Keeps the points of the last max(24 h, 24 h x R / 6378.137 km) before the hit.
  void TrimTrack();

  // The hit time, else the time of the closest track point (the first on
  // ties), 0 for an empty track.
  double ClosestApproachTime() const;
  // Sub-solar point and the point facing the body's heliocentric motion
  // (degrees) at ClosestApproachTime; (0, 0) when a position cannot be had.
  void SubSolarPoint(double& latDeg, double& lonDeg) const;
  void ApexSubPoint(double& latDeg, double& lonDeg) const;
  // The hit time in UTC, "%4d/%2d/%2d %2d:%02d UTC".
  void FormatTimeUtc(std::string& text) const;
  // The impact report; empty when not hit.
  void FormatReport(std::string& text) const;

  // Capture distance (R, the Earth R + 100 km) and track window (60.268 R), AU.
  double CaptureDistanceAu() const;
  double TrackWindowAu() const;

  int m_nBody = kBodyEarth;           // BodyIndex
  int m_bHit = 0;                     // 1 once an impact is detected
  double m_dHitJd = 0.0;              // JD TT
  double m_dLat = 0.0;                // impact point latitude, radians
  double m_dLon = 0.0;                // impact point longitude, radians
  double m_dHitDistKm = 0.0;          // distance at detection, km
  double m_dSpeedKmS = 0.0;           // speed relative to the body, km/s
  double m_dSampleInterval = 0.0;     // days, positive
  int m_nMode = 0;                    // kImpactModeCrossing or kImpactModeClosest
  ImpactSample m_prev{};              // the sample before the last
  ImpactSample m_last{};              // the last sample
  std::vector<ImpactTrackPoint> m_track;  // capacity 64 at first, then doubled
  int m_nDirection = 0;               // 0 not yet known, 1 forward in time, -1 backward

private:
  bool TestSegment(const ImpactSample& a, const ImpactSample& b);
  bool CrossingTest(const ImpactSample& a, const ImpactSample& b);
  bool ClosestPointTest(const ImpactSample& a, const ImpactSample& b);
  void RecordHit(double jdTT, const double point[3], double distKm, const ImpactSample& a,
                 const ImpactSample& b, int mode);
  bool SunFromBody(double jdTT, double sun[3]) const;
};

class ImpactTrackerSet {
public:
  // Ten trackers with body indices 0-9.
  ImpactTrackerSet();

  // 1 when any tracker is hit, else 0.
  int AnyHit() const;
  // The earliest hit (lower index on ties); without a hit the closest
  // approach in units of each body's radius; 2 (the Earth) when no tracker
  // has a track.
  int FirstHitOrClosest() const;
  // Ends the run on every tracker (tests each last segment).
  void FinishRun();

  ImpactTracker m_trackers[kBodyCount];
};

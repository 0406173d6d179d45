#pragma once
// The osculating element sets of a periodic comet along its observed span,
// from which its observations are grouped into apparitions (returns to
// perihelion) and their geometry and position residuals recomputed.

// One osculating element set.
struct ApparitionElementSet {
  double dEpoch;               // osculation epoch, JD TT
  double dT;                   // perihelion time, JD TT
  double dQ, dE;               // AU, -
  double dPeri, dNode, dIncl;  // rad, ecliptic J2000
  double dA;                   // AU
  double dPeriod;              // a^1.5 x 365.2569 days
};

inline constexpr int kMaxApparitions = 40;
inline constexpr int kMaxElementSets = 2000;
inline constexpr double kApparitionMinPeriod = 30;   // days
inline constexpr double kApparitionMaxA = 2000;      // AU
inline constexpr double kResidualNoteArcsec = 30;    // residuals above it are counted in the summary

// Days between element sets: an eighth of the period within [10, 40].
double ApparitionStepDays(double periodDays);
// Index of the set nearest to t among n sets sorted by epoch: -1 without
// sets, the first or the last outside their span, the earlier on a tie.
int NearestElementSet(const ApparitionElementSet* sets, int n, double t);
// The perihelion passage of a set nearest to t: its T, or T + P when that is
// strictly nearer.
double NearestPerihelion(const ApparitionElementSet& set, double t);
// The return number of t for an orbit with perihelion T and period P.
double FoldNumber(double t, double T, double period);

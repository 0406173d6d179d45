#pragma once
// The record of one integration run and the element block it starts from and
// produces. Plain data: callers allocate a zeroed record (`IntegrationState{}`)
// or copy the engine's own record whole and adjust the copy; a copy shares the
// attachments' pointers until the caller replaces them.
//
// Units: time in Julian days (TT), positions in AU, velocities in AU/day,
// accelerations in AU/day², heliocentric, J2000 equatorial axes.
// Arrays [11][3][10]: for each of the 11 window points the x, y and z rows of
// ten bodies (body 0 the nominal orbit, body i = 1..9 the orbit varied in
// parameter i in the order T, peri, node, incl, q, e, A1, A2, A3).
// Arrays [..][3][15]: the 15 perturbers in BodyIndex order, then the five
// asteroid slots of the engine's PerturberSet.
#include <cstdint>
#include <type_traits>

class CloseApproachRecord;
class ImpactTrackerSet;
class GeoTrackBuffer;
struct PerturberRing;
class EngineWindow;

inline constexpr int kWindowPoints = 11;       // points of the difference window
inline constexpr int kMaxBodies = 10;          // nominal orbit + nine varied orbits
inline constexpr int kPerturbers = 15;         // ten major bodies + five asteroid slots
inline constexpr int kMaxStepLevel = 13;       // step = base / 2^level, level 0..13
inline constexpr double kNoDistance = 9e9;     // "no distance yet" in the bookkeeping
inline constexpr double kMinStepDays = 5.787037037037037e-05;  // 5 s: the shortest step but in calculation runs

// Elements as the engine takes and gives them (ecliptic J2000 angles).
struct ElementBlock {
  double m_dT;        // perihelion time, JD TT
  double m_dQ;        // perihelion distance, AU
  double m_dE;        // eccentricity
  double m_dPeri;     // argument of perihelion, rad
  double m_dNode;     // longitude of the ascending node, rad
  double m_dIncl;     // inclination, rad
  double m_dP[3];     // unit vector towards perihelion, J2000 equatorial
  double m_dQvec[3];  // unit vector 90° ahead in the orbit plane, J2000 equatorial
  double m_dA1;       // radial non-gravitational parameter, AU/day²
  double m_dA2;       // transverse, AU/day²
  double m_dA3;       // normal, AU/day²
  double m_dA;        // semi-major axis, AU (-1 when e > 0.97 on input; negative for hyperbolas)
  double m_dM;        // mean anomaly at the element epoch, rad (-1 when e > 0.97)
  double m_dN;        // mean motion, rad/day (-1 when e > 0.97)
  double m_dEpoch;    // element epoch, JD TT
};

// Optional log of the 40-day grid elements: each entry is 7 doubles
// (epoch, T, q, e, peri, node, incl).
struct ElementLog {
  double* m_pEntries;  // m_nCapacity × 7 doubles, owned by the caller
  int m_nCount;
  int m_nCapacity;
};

enum : char {
  kModeImprovement = 'N',  // run over the observations
  kModeCalculation = 'C',  // run from the epoch to the end time with step control
};

struct IntegrationState {
  double m_dDiff[11][3][10];      // backward differences ∇⁰..∇¹⁰ of the accelerations at the newest point
                                  // (during start-up: the previous iteration's accelerations)
  double m_dDeltaX[3][10];        // x(newest) - x(newest - 1), AU
  double m_dMinusGM[15];          // -GM of each perturber, AU³/day²
  double m_dMass[15];             // perturber masses, solar masses
  double m_dAcc[11][3][10];       // accelerations at the 11 points, AU/day²
  double m_dPos[11][3][10];       // heliocentric positions at the 11 points, AU
  double m_dPert[11][3][15];      // heliocentric perturber positions at the 11 points, AU
  double m_dNormal[9][10];        // least-squares work area: augmented normal equations, rows of 10
  double m_dVel[11][3][10];       // velocities at the 11 points, AU/day
  double m_dStartVel[3][10];      // velocities at the epoch from the initial states, AU/day
  double m_dStartElements[9];     // T, peri, node, incl, q, e, A1, A2, A3 the initial states are built from
  double m_dVariation[9];         // copy of the engine's variation amounts, same order
  double m_dTimeMid;              // time of point 5 of the window (interpolation base), JD TT
  double m_dTime;                 // time of the newest point, JD TT
  int64_t m_nStepCount;           // steps since the start-up: m_dTimeMid = m_dEpoch + n h (never summed)
  double m_dObsFirst, m_dObsLast; // first and last observation time of the run, JD TT
  double m_dDirection;            // +1 forward, -1 backward
  double m_dEnd;                  // end time of the run, JD TT
  double m_dEpoch;                // epoch of the run (time of the starting elements), JD TT
  double m_dStep;                 // step h, days, signed like the direction
  double m_dStep2;                // h², days²
  double m_dResidualSum[2];       // least-squares work values
  double m_dGridT, m_dGridQ, m_dGridE, m_dGridPeri, m_dGridNode, m_dGridIncl;  // last 40-day grid elements
  double m_dGridM, m_dGridA;      // its mean anomaly (rad) and semi-major axis (AU)
  double m_dGridEpoch;            // its epoch, JD TT
  double m_dLastGridEpoch;        // epoch of the last grid output, 0 = none
  double m_dPrevStepTime;         // time of the previous step, 0 = none
  ElementBlock m_el;              // starting and resulting elements
  double m_dSunDistance;          // heliocentric distance of the nominal orbit at the newest point, AU
  int m_nOrbitKind;               // 1, 2: stop at m_dStopDistance with barycentric elements; 0, 3: run to m_dEnd
  double m_dStopDistance;         // AU, for kinds 1 and 2
  int m_nObsIndex, m_nPrevObsIndex;  // observation being interpolated, last one reached
  int m_nStartupOffset;           // k - 5 of the start-up point being built
  int m_nStepClass;               // 0 step ≥ 1 day, 1 ≥ 0.5, 2 ≥ 0.25, 3 smaller
  int m_nBodies;                  // orbits integrated together, 1..10
  int m_nSolveMask;               // bit 0 nominal, bits 1-6 T..e varied, bits 7-9 A1..A3 varied
  const char* m_pszPerturberMask; // 15 characters '1'/'0'
  char m_chMode;                  // kModeImprovement or kModeCalculation
  char m_chElementForm;           // 'M' minor-planet form, 'C' comet form
  CloseApproachRecord* m_pApproach;  // optional, owned by the caller
  ImpactTrackerSet* m_pImpacts;      // optional, owned by the caller
  GeoTrackBuffer* m_pGeoTrack;       // optional geocentric track
  ElementLog* m_pElementLog;         // optional 40-day element log
  int m_bSoiEntered[10];          // entered the sphere of influence of body i
  double m_dSoiEpoch[10], m_dSoiT[10], m_dSoiQ[10], m_dSoiE[10], m_dSoiPeri[10], m_dSoiNode[10],
      m_dSoiIncl[10], m_dSoiM[10], m_dSoiA[10];  // heliocentric elements at each entry
  double m_dSoiP[10][3], m_dSoiQvec[10][3];      // their P and Q vectors
  double m_dSoiPrevDistance[10];  // previous distance to each body, AU (9e9 = none)
  int m_bAsteroid;                // the view's "小惑星" check box: minor-planet form
  int m_bStartup;                 // 1 while the start-up iterates
  int m_nSingleBody;              // 0 all bodies; k ≥ 1 only body k - 1 (and the rest of its group)
  int m_nBodyGroup;               // with m_nSingleBody = k ≥ 1: bodies k - 1 .. k + m_nBodyGroup - 2 (0 or 1: one)
  int m_bWorker;                  // 1 in a worker thread's copy
  int m_nRingIndex, m_nRingSeen;  // next ring entry to consume, last produced count seen
  PerturberRing* m_pRing;         // parallel run's ring, null otherwise
  int m_bStepControl;             // automatic step control active in this run
  int m_bStepControlWanted;       // the caller asks for step control (the automatic-step flag)
  int m_nStepLevel;               // current level j: step = m_dBaseStep / 2^j
  double m_dBaseStep;             // base step |h|, days
  double m_dDistance[15];         // distance of the last body evaluated to each perturber, AU (9e9 = none)
  double m_dMinEarthDistance;     // smallest Earth distance of the run, AU (9e9 = none)
  double m_dMinEarthTime;         // its time, JD TT (0 = none)
  int m_bEarthBound;              // the orbit was found bound to the Earth-Moon pair
  double m_dPrevEarthTime;        // JD TT of the previous evaluation for that test
  double m_dPrevGeo[3];           // geocentric vector of that evaluation, AU
  double m_dPrevDistance[15];     // perturber distances of the previous step, AU
  int m_nMaxStepLevel;            // largest level used in the run
  int m_bKeepMinStep;             // keep the 5-second lower step limit also in mode 'C'
  int m_nStepsAtLevel;            // steps since the last level change
  int m_nBackoff[14];             // per level: doublings back that had to be undone (≤ 4)
  int m_nReturnedLevel;           // level reached by the last doubling back, -1 otherwise
  double m_dRel[15][3];           // vector from each perturber to the last body evaluated, AU
  double m_dCollPrevDistance[15], m_dCollMinDistance[15], m_dCollMinTime[15];  // collision detector
  double m_dSunPrevDistance;      // collision detector: previous heliocentric distance, AU
  unsigned char m_bCollided[15];  // collision already reported per body
  unsigned char m_bSunReached;    // the Sun was reached
  double m_dSunDistance10;        // heliocentric distance of the nominal orbit at point 10, AU
  double m_dPrevSunDistance;      // its value at the previous step, AU
  EngineWindow* m_pProgress;      // optional progress bar
  EngineWindow* m_pStatus;        // optional status text
  double m_dProgressStart;        // start time for the progress share, JD TT
  uint32_t m_dwProgressTick;      // ms tick of the last progress update, 0 = never
};

// Bodies [first, end) the record integrates: all, or its single body with
// the rest of its group (a parallel run's thread may take several).
inline void IntegratedBodies(const IntegrationState& s, int& first, int& end)
{
  if (s.m_nSingleBody >= 1) {
    first = s.m_nSingleBody - 1;
    end = first + (s.m_nBodyGroup > 1 ? s.m_nBodyGroup : 1);
  } else {
    first = 0;
    end = s.m_nBodies;
  }
}

// Copies of the record are made whole (memcpy-style) by its callers.
static_assert(std::is_trivially_copyable_v<IntegrationState>);
static_assert(std::is_trivially_copyable_v<ElementBlock>);

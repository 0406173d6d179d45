#pragma once
// One optical observation as the orbit computations take it.
//
// An observation array is one zero-filled block of n + 1 records: the n
// observations, then an end record whose m_dJdUtc is -1.0 and whose other
// fields are zero. It is allocated with calloc and released with free().

// Quality marks (m_chQuality).
inline constexpr char kObsQualityFull = ' ';
inline constexpr char kObsQualityReduced = 'Y';    // time, right ascension or declination of reduced precision
inline constexpr char kObsQualityNoSeconds = 'X';  // declination without seconds

struct ObservationRecord {
  char m_szDesig[13];           // columns 1-12 of the first line (packed designation), zero-terminated
  char m_chObsType;             // column 15 (MPC note 2): 'C' CCD, 'V' roving observer, 'S' satellite, ...
  double m_dJdUtc;              // JD of the observation as written (UTC); -1.0 in the end record
  double m_dJdTt;               // the same instant, JD TT
  double m_dRa;                 // right ascension, radians (as observed, J2000)
  double m_dDec;                // declination, radians
  double m_dMag;                // observed magnitude; 0 when not given
  char m_chBand;                // magnitude band (column 71)
  char m_szStation[4];          // observatory code (columns 78-80), zero-terminated
  int m_nUnknownStation;        // 1 when the code is not in the station table
  double m_dLongitude;          // observer's longitude, degrees east; -1.0 for an unknown station
  double m_dRhoCos;             // rho cos phi', stored form of StationRecord (Earth radii x -4.2635212454e-5 x 1e7)
  double m_dRhoSin;             // rho sin phi', same scaling
  double m_dSun[3];             // observer -> Sun, AU, J2000 equatorial; -1.0 each for an unknown station
  double m_dHelioDist;          // object's heliocentric distance, AU (written by the orbit computations)
  double m_dResRa;              // residual in RA x cos(dec), radians (written by the orbit computations)
  double m_dResDec;             // residual in declination, radians
  double m_dWeight;             // weight in the fit; 1.0 from the reader
  char m_chQuality;             // kObsQualityFull, kObsQualityReduced or kObsQualityNoSeconds
  unsigned char m_bPicked;      // selection mark of the orbit-determination view
  unsigned char m_bRejected;    // excluded from the fit
  unsigned char m_bByHand;      // the exclusion was set by hand; automatic rejection leaves it alone
  unsigned char m_bStationRejected;  // excluded with every observation of its station
  unsigned char m_bDuplicate;   // a later record has the same designation, station and UTC time
};

// An observation the fits use: not rejected and from a known station.
inline bool UsableInFit(const ObservationRecord& o) { return o.m_bRejected == 0 && o.m_nUnknownStation == 0; }
// An observation the triplet search and the improvement stages may use: from
// a known station and not rejected by hand (an automatic rejection may be undone).
inline bool KnownAndNotByHand(const ObservationRecord& o) { return o.m_nUnknownStation == 0 && o.m_bByHand == 0; }

#pragma once
// Reader of JPL DE planetary ephemeris files in JPL's binary layout (DE405,
// DE406, DE430/431, DE440/441 and alike). Everything is taken from the file's
// header: the record length from the series pointers, the span, AU and EMRAT.
// Little-endian files are read as they are; big-endian ones (JPL's "unx"
// files) are byte-swapped on the fly. A header that is valid in neither byte
// order is refused as no file.
//
// One reader serves the process (g_pJplEph). Its state (header, record
// buffer, Chebyshev tables) is process-wide and not safe for concurrent use.
#include <cstddef>
#include <cstdio>
#include <string>

#include "platform/app_paths.h"

// JPL body numbers: BodyIndex + 1 for Mercury to the Moon (astro/frames.h).
inline constexpr int kJplMercury = 1;
inline constexpr int kJplEarth = 3;
inline constexpr int kJplPluto = 9;
inline constexpr int kJplMoon = 10;
inline constexpr int kJplSun = 11;
inline constexpr int kJplSolarSystemBarycentre = 12;
inline constexpr int kJplEarthMoonBarycentre = 13;
inline constexpr int kJplNutations = 14;
inline constexpr int kJplLibrations = 15;

// Series of a record, in the order of the header's pointers, and the
// librations after them.
enum JplSeries : int {
  kJplSeriesMercury = 0,
  kJplSeriesVenus = 1,
  kJplSeriesEarthMoonBary = 2,
  kJplSeriesMars = 3,
  kJplSeriesJupiter = 4,
  kJplSeriesSaturn = 5,
  kJplSeriesUranus = 6,
  kJplSeriesNeptune = 7,
  kJplSeriesPluto = 8,
  kJplSeriesMoon = 9,  // geocentric
  kJplSeriesSun = 10,
  kJplSeriesNutations = 11,  // two components
  kJplSeriesLibrations = 12,
  kJplSeriesCount = 13
};

// What JplState computes for a series.
inline constexpr int kJplWantNone = 0;
inline constexpr int kJplWantPosition = 1;
inline constexpr int kJplWantPositionVelocity = 2;

inline constexpr int kJplConstantsKept = 400;

// The header of the open file, as read (host byte order).
struct JplHeader {
  char titles[3][85];                             // ASCII, blank-padded, 0-terminated
  char constantNames[kJplConstantsKept][7];       // the first 400 names
  double start;                                   // JD (TDB, used as TT) of the first record's start
  double end;                                     // JD of the last record's end
  double daysPerRecord;                           // days
  int ncon;                                       // number of constants in the file
  double au;                                      // km
  double emrat;                                   // Earth/Moon mass ratio
  int pointers[kJplSeriesCount][3];               // first word (1-based), coefficients, subintervals; [12] librations
  int deNumber;
  int ncoeff;                                     // doubles per record
  double constants[kJplConstantsKept];            // values of record 2 (nothing reads them)
  bool bigEndian;                                 // the file's byte order
};

// The planetary reader. Only its file handle lives in the object; the header
// and the record cache are process-wide (JplCurrentHeader) and belong to one
// owner: the reader made when no reader owned them (or when their owner is no
// longer g_pJplEph), as ReplacePlanetaryReader makes the process's reader. Positions
// are served only while g_pJplEph points at that owner. A reader made while
// the owner is g_pJplEph only opens and checks its file: it changes no
// position, and deleting it leaves the process's reader working.
class CJplEph {
public:
  // Opens paths.de441File, else paths.de406File. A file that
  // cannot be opened or whose header is not a valid DE header counts as no
  // file. For the owner, g_dJplStart, g_dJplEnd and g_nJplDeNumber are 0 until
  // a file is accepted, and the record cache is empty.
  explicit CJplEph(const AppPaths& paths);
  virtual ~CJplEph();
  CJplEph(const CJplEph&) = delete;
  CJplEph& operator=(const CJplEph&) = delete;

  bool IsOpen() const { return m_pFile != nullptr; }

  std::FILE* m_pFile = nullptr;  // null: no planetary file
};

// The process's reader; null when none was created. Only the two functions
// below write it.
extern CJplEph* g_pJplEph;
// Replaces the process's reader by one that opens the planetary file of
// paths; true when it accepted a file with a span.
bool ReplacePlanetaryReader(const AppPaths& paths);
// Deletes the process's reader (g_pJplEph null, no file open).
void ClosePlanetaryReader();
// Span of the open file (JD); both 0 when no file is open.
extern double g_dJplStart;
extern double g_dJplEnd;
// DE number of the open file; 0 when none.
extern int g_nJplDeNumber;

// Header of the open file (meaningful while g_pJplEph->IsOpen()).
const JplHeader& JplCurrentHeader();

// Changes whenever the process's reader is made or deleted: positions kept
// from an older value may come from another file.
long long JplReaderGeneration();

// Bytes at the start of a DE file that hold the numbers of its header.
inline constexpr size_t kJplHeaderBytes = 2856;

// Reads the header of a DE file that the reader has not opened, from its
// first size bytes (at least kJplHeaderBytes), little-endian first. true when
// the bytes are a DE header in either byte order; h then holds its numbers
// and titles (not the constants' values) and fileBytes the length of the file
// it describes: two header records and the data records of its span.
bool JplParseHeaderBytes(const unsigned char* raw, size_t size, JplHeader& h, long long& fileBytes);

// --- Positions ------------------------------------------------------------

// Position of target relative to centre (JPL numbers 1-13), AU, J2000
// equatorial, at jdTT. 0 success; -2 no file open; -1 jdTT before the start
// or not before the end of the span, or the record could not be read.
int JplPosition(double jdTT, int target, int centre, double posAu[3]);

// Position and velocity (AU, AU/day) of target relative to centre (1-13);
// target 14 gives the nutations (dpsi, deps and their rates, rad and rad/day,
// in state[0..3]), 15 the librations. valid = 1 on success; 0 outside the span
// (the end itself is inside), on a read failure, for nutations or librations
// of a file without them, or with no file open. state is then not meaningful.
void JplPleph(double jdTT, int target, int centre, double state[6], int& valid);

// --- Steps of the reader ----------------------------------------------------

// Reads the record that covers jdTT and evaluates the wanted series
// (wanted[s]: kJplWantNone / Position / PositionVelocity, s a JplSeries).
// state[s] receives barycentric position and velocity in AU and AU/day (the
// Moon geocentric); nutations and librations in radians, unscaled. The Sun is
// always evaluated into state[kJplSeriesSun], with its velocity unless a
// caller that has no use for it passes sunVelocity false (the velocity is
// then 0). 0 success; -2 no file open; -1 outside the span, record
// unreadable, or a wanted series absent in the file.
int JplState(double jdTT, const int wanted[kJplSeriesCount], double state[kJplSeriesCount][6],
             bool sunVelocity = true);

// Chebyshev evaluation of one series: coef points at its first coefficient in
// the record, tau in [0, 1] is the time within the record, ncf coefficients
// per component, ncm components, na subintervals. out receives ncm values and,
// when wanted is kJplWantPositionVelocity, ncm rates per day after them.
// 0, or -1 with nothing written when ncf is outside 1..64, ncm outside 1..3
// or na below 1.
int JplInterp(const double* coef, double tau, double daysPerRecord, int ncf, int ncm, int na,
               int wanted, double* out);

// t split into whole = floor(t) and frac = t - whole in [0, 1).
void JplSplit(double t, double& whole, double& frac);

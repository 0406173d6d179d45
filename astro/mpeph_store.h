#pragma once
// The perturbing-asteroid store: osculating elements of seven massive
// asteroids at regular epochs, from the file "mpeph.dat" (written by the
// developer generator), and the perturber sets that choose among them.
//
// "mpeph.dat", little-endian: a 160-byte header (MpephHeader) and then
// N x E records of seven doubles (MpephRecord), asteroid-major: record
// index = asteroid index * E + epoch index; epoch index k stands for the
// time first epoch + k * step.
//
// The store is filled once at start-up and only read afterwards (also from
// the producer thread of a parallel integration: no lock needed).
#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/app_paths.h"

static_assert(std::endian::native == std::endian::little, "mpeph.dat is read by copying little-endian bytes");

inline constexpr int kMpephHeaderBytes = 160;
inline constexpr int kMpephRecordBytes = 56;
inline constexpr int kMpephMaxAsteroids = 7;
inline constexpr int kMpephMaxEpochs = 1000000;
inline constexpr char kMpephMagic[8] = {'T', 'S', 'M', 'P', 'E', 'P', 'H', '1'};

// Store order (asteroid index 0-6): Ceres, Pallas, Vesta, Iris, Bamberga,
// Hygiea, Eunomia; their numbers and masses (solar masses) as the generator
// writes them into the header.
inline constexpr int kMpephAsteroidNumbers[kMpephMaxAsteroids] = {1, 2, 4, 7, 324, 10, 15};
inline constexpr double kMpephAsteroidMasses[kMpephMaxAsteroids] = {
    4.719142e-10, 1.029736e-10, 1.302684e-10, 8.589039e-12, 4.666479e-12, 4.238599e-11, 1.524364e-11};

// The file's header, field for field.
struct MpephHeader {
  char magic[8];                               // "TSMPEPH1", no terminator
  int32_t nAsteroids;                          // N, 1-7
  int32_t nEpochs;                             // E per asteroid, 2-1000000
  double firstEpoch;                           // JD TT of epoch index 0
  double step;                                 // days between epochs, > 0
  int32_t numbers[8];                          // asteroid numbers in store order, then 0
  double masses[kMpephMaxAsteroids];           // solar masses, store order
  double ceresOsculationEpoch;                 // JD of the catalogue elements the table was integrated from
  unsigned char reserved[32];                  // zero
};
static_assert(sizeof(MpephHeader) == kMpephHeaderBytes);

// One record: osculating elements at an epoch.
struct MpephRecord {
  double epoch;  // JD TT (not used for positions)
  double T;      // perihelion time, JD TT
  double q;      // perihelion distance, AU; <= 0: no elements
  double e;      // eccentricity
  double peri;   // argument of perihelion, radians, J2000 ecliptic
  double node;   // longitude of the ascending node, radians, J2000 ecliptic
  double incl;   // inclination, radians, J2000 ecliptic
};
static_assert(sizeof(MpephRecord) == kMpephRecordBytes);

struct MpephStore {
  MpephHeader m_header{};               // of the loaded file; zero when none
  std::vector<MpephRecord> m_records;   // N x E, asteroid-major
  int m_bLoaded = 0;                    // 1 when a file was accepted

  // Frees the records and clears the loaded flag and the header.
  void Clear();
};

// --- The process's store and its loading ----------------------------------------

// The process-wide store, empty until loaded; its records are freed at exit.
MpephStore& GetPerturberTable();

// Empties the store, then reads one file into it. 1 when accepted: the
// 160-byte header is complete, the magic matches, 1 <= N <= 7,
// 2 <= E <= 1000000, the step is positive, and N x E whole records follow
// (the first epoch is not checked). 0 otherwise, the store left empty.
int LoadMpephFile(MpephStore& store, const std::string& path);

// Tries "<folder>mpeph.dat" in each folder in order (each folder ends in "/";
// empty folders are skipped); the first accepted file wins. Returns the index
// of that folder, or -1 with the store empty when none is accepted.
int LoadMpephFromFolders(MpephStore& store, const std::vector<std::string>& folders);

// The start-up load into GetPerturberTable() from the executable's folder,
// else the ephemeris folder, else the data folder. No message when none is
// accepted: the program runs without asteroid perturbations.
int LoadMpephFromFolders(const AppPaths& paths);

// --- Positions ------------------------------------------------------------------

// Heliocentric position (AU, J2000 equatorial) of asteroid index (0 to N-1)
// at jdTT, propagated from the record of the nearest epoch. 1 on success; 0
// when the store is not loaded, the index or the time lies outside the table
// (it serves first epoch - step/2 up to, not including, first epoch +
// (E - 1/2) steps), the record holds no elements, or the solution fails.
int PerturberPositionFromTable(const MpephStore& store, double jdTT, int asteroid, double posAu[3]);

// --- Perturber sets ---------------------------------------------------------------

// A PerturberSet is an int 0-6 (OrbitEngine::m_nAsteroidSet); any other value
// behaves as set 0 (no asteroids). A set has at most five members.
using PerturberSet = int;
inline constexpr int kPerturberSetCount = 7;
inline constexpr int kPerturberSetMaxMembers = 5;

// The members' store indices in set order; returns their count (0-5).
int GetPerturberSetMembers(PerturberSet set, int indices[kPerturberSetMaxMembers]);

// "M-P 小惑星なし", "M-Pv (1)(2)(4)", ... ; set 0's label for any other value.
const char* GetPerturberSetLabel(PerturberSet set);

// Japanese name of the set's row-th member ("ケレス" ...); "(なし)" for a
// row outside the set.
const char* GetPerturberName(PerturberSet set, int row);

// The perturber code of solution files, "%02X%c%s": 6 (Earth and Moon) OR
// the members' values (Ceres 8, Pallas 16, Vesta 32, Hygiea 1, Eunomia 64),
// the letter of the DE number ('?' when unknown) and "+" when Iris or
// Bamberga, which have no value, is a member. Set 1 with DE441: "3El".
std::string MakePerturberSetCode(PerturberSet set, int deNumber);

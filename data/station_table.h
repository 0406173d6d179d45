#pragma once
// The station table: the observatory codes of the station file (the layout of
// the MPC list of observatory codes) with longitudes and parallax constants.
#include <string_view>

// Scale of the stored parallax constants: the Earth's equatorial radius in AU,
// negated, times 1e7. A stored constant / 1e7 is minus the observer's offset in AU.
inline constexpr double kStationRadiusAu = -4.2635212454e-5;
inline constexpr double kStationScale = 1e7;
// Longest name kept, in characters.
inline constexpr int kStationNameChars = 51;

struct StationRecord {
  char m_szCode[4];                              // three-character code, zero-terminated; "END" in the end record
  char m_szName[kStationNameChars * 4 + 1];      // name, UTF-8, at most 51 characters, zero-terminated
  double m_dLongitude;                           // degrees east of Greenwich; -1.0 in the end record
  double m_dRhoCos;                              // rho cos phi' (Earth radii) x kStationRadiusAu x kStationScale
  double m_dRhoSin;                              // rho sin phi', same scaling; -1.0 in the end record
};

// Reads the station file named by TheApp().m_szStationsFile (UTF-16LE when it
// starts with FF FE, else strict UTF-8 with or without its mark, else code page
// 932, as the observation reader decodes) into a new zero-filled table of
// n + 1 records (one per line, a line longer than 249 characters split into
// pieces, then the end record). The table is stored through ppTable as soon as
// it exists; the caller releases it with free().
// Result: n; -1 the file cannot be read (no table); -2 no memory (no table);
// 0 an empty file (a table holding only the end record).
int LoadStationTable(StationRecord** ppTable);

// Whether rec is the end record: longitude -1.0 and the code "END" together,
// since a station of the file may well lie at longitude -1.0 (1° west).
bool IsStationTableEnd(const StationRecord& rec);

// 0 and the station's three values for the first record whose code equals the
// first three characters of szCode (exact, case-sensitive); -1 when the end
// record comes first (nothing written).
int FindStation(std::string_view szCode, const StationRecord* pTable, double* pdLongitude, double* pdRhoCos,
                double* pdRhoSin);

#pragma once
// Known orbits near the orbit of the orbit-determination view: the closeness
// of five elements (the perihelion time is left out, so that another
// apparition of a periodic object is found too), the list of the 12 closest
// catalogue orbits and the log texts of the search. The search itself is
// CNeocpScanDlg::OnSearchByViewOrbit (view_orbit_search.cpp).
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

#include "data/element_record.h"

inline constexpr int kCloseOrbitMax = 12;
inline constexpr double kCloseOrbitLimit = 3.0;
inline constexpr int kCloseOrbitProgressRecords = 16384;
inline constexpr const char* kViewOrbitCaption = "軌道計算画面の軌道で探す";
inline constexpr const char* kViewOrbitNotElliptic =
    "軌道計算の画面に、楕円軌道の軌道要素がありません。\r\n"
    "先に観測を読み込んで軌道を求めてから、もう一度押してください。\r\n\r\n"
    "(この機能は「この軌道の天体が、別の符号で登録されていないか」を探すものなので、公転する軌道が決まっている必要があります)";
inline constexpr const char* kViewOrbitUnnamed = "(名前なし)";

struct CloseOrbitCandidate {
  std::string name;         // readable name, trimmed; the designation when empty
  std::string designation;  // packed designation key, trimmed
  double closeness = 0;
  double q = 0, e = 0;
  double peri = 0, node = 0, incl = 0;  // rad
  double T = 0;                         // JD
  int comet = 0;
};

struct CloseOrbitList {
  double q = 0, e = 0, peri = 0, node = 0, incl = 0;  // the reference (rad, J2000 ecliptic)
  CloseOrbitCandidate entries[kCloseOrbitMax];        // ascending closeness
  int count = 0;
};

// The closeness of a record to the list's reference orbit (no limit
// applied); false when the record is no ellipse (q <= 0, e < 0 or e >= 1).
bool CloseOrbitDistance(const CloseOrbitList& list, const ElementRecord& record, double& closeness);

// Tests one catalogue record (comet 1: from the comet list) and inserts it
// when its closeness is at most 3; returns 1.
int OrbitCloseness(CloseOrbitList& list, const ElementRecord& record, int comet);

// Reads a file in blocks of 1 MiB and hands every line (line feed ended,
// carriage returns dropped, at most 1023 bytes kept; a last line without a
// line feed counts) with the bytes taken from the file so far; the callback
// returns false to stop. 1 when read (or stopped), 0 when the file cannot
// be opened or no buffer can be had.
int ReadCatalogueBlocks(const std::string& path, int64_t& fileSize,
                        const std::function<bool(std::string_view line, int64_t bytesTaken)>& onLine);

// The log texts of the search.
std::string FormatViewOrbitHeading(std::time_t now, const std::string& name, double T, const CloseOrbitList& list,
                                   double periodYears);
std::string FormatCloseOrbitLine(int number, const CloseOrbitCandidate& c, const CloseOrbitList& list, double T,
                                 double periodYears);

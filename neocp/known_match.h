#pragma once
// Matching the scan table with known objects: the pieces of the match that
// need no dialog (the observations a query may use, the choice of the
// refined candidate, the row's known-object columns and the log texts).
// The match itself is CNeocpScanDlg::MatchKnownObjects (known_match.cpp).
#include <ctime>
#include <string>

#include "data/observation_record.h"
#include "ephemeris/ident_refine.h"
#include "neocp/scan_row.h"

inline constexpr double kKnownAcceptRms = 3.0;  // arcsec
inline constexpr int kKnownAgeNoteSeconds = 1209600;  // 14 days
inline constexpr const char* kMatchBusyMessage =
    "軌道計算の画面でほかの計算を実行中です。終わってからもう一度お試しください。";
inline constexpr const char* kMatchNoMpcorbMessage =
    "MPCORB.DAT(小惑星センターが公開している既知の小惑星の軌道要素)が見つかりません。\r\n"
    "[オプション]-[環境設定]の「小惑星の軌道要素 (MPCORB.DAT)」で受信するか、ファイルの場所を指定してください。";
inline constexpr const char* kMatchCaption = "既知の天体と照合";

// Removes the observations of unknown stations from the array (ended by a
// record whose UTC time is -1.0, which moves along); the count left.
int KeepKnownStationObservations(ObservationRecord* obs, int count);

// Latest minus earliest UTC time of the observations (days).
double ObservationArc(const ObservationRecord* obs, int count);

// One candidate of a query with its refinement.
struct RefinedCandidate {
  const IdentCandidate* candidate;
  RefineResult result;
};

// The row's known-object columns after a match: checked, the count and arc
// of the observations used, the candidate columns cleared and, when best is
// given and its residual after the shift is at most 3.0″, filled from it.
// True when the candidate was accepted.
bool SetKnownObjectColumns(NeocpScanRow& row, int nobs, double arc, const RefinedCandidate* best);

// The log line of an accepted candidate (passed: catalogue objects that
// passed the first stage), with "[?] " and its note when not plausible.
std::string FormatKnownMatchLine(const NeocpScanRow& row, int passed);

// The first log line of a match: local start time, the catalogue's path and
// age (when its modification time is known, mtime > 0), the comet list's path.
std::string FormatMatchStartLine(std::time_t now, const std::string& mpcorbPath, std::time_t mtime,
                                 const std::string& cometPath);

// The last log line and the final status.
struct KnownMatchTotals {
  int queries = 0, withoutObs = 0, asteroids = 0, comets = 0, matched = 0, plausible = 0;
  double seconds = 0;
};
std::string FormatMatchEndLine(bool stopped, const KnownMatchTotals& totals);
std::string FormatMatchDoneStatus(const KnownMatchTotals& totals);

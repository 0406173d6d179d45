#pragma once
// The Minor Planet Center's observation service (80-column lines of one
// object) and the merge of observation files by date: the user's lines that
// the Center has not published are kept, those it already holds are dropped.
// Observation text stays 8-bit bytes throughout; lines end in LF, a CR before
// it is not part of the line.
#include <cstdint>
#include <string>

#include "platform/http_session.h"

// The service's host; the paths "/api/get-obs" and "/api/get-obs-neocp" are fixed.
inline constexpr const char* kDefaultMpcObsServiceUrl = "https://data.minorplanetcenter.net";

// One taken line of a buffer; points into the caller's buffer.
struct ObsLineEntry {
  double m_dTimeKey;            // year*10000 + month*100 + day (with fraction); that of the line before when unreadable
  std::int32_t m_nOrder;        // base number + position among the lines taken from its buffer
  const char* m_pLine;          // first byte of the line (not copied)
  std::int32_t m_nLineLen;      // length without CR/LF
  const char* m_pSecondLine;    // the 's' line of a satellite observation, or null
  std::int32_t m_nSecondLen;    // its length, 0 when none
};

// Base of the order numbers of the second (local) text: at equal dates the
// first text's lines come first.
inline constexpr std::int32_t kSecondTextOrderBase = 1000000;

// Time-outs of the observation request.
HttpTimeouts MpcObsTimeouts();

namespace CTessaruneLib {

// Takes the lines of buf into entries (at most capacity); with
// unpublishedOnly, lines that carry the Center's reference (columns 72-77)
// are skipped, a published 'S' line together with its 's' line. The number
// of entries filled.
int ParseObsLines(const char* buf, std::size_t len, int unpublishedOnly, ObsLineEntry* entries, int capacity,
                  std::int32_t base);

// For qsort: by date key, then by order number.
int CompareObsLines(const void* a, const void* b);

// Fetches the object's observations (a designation, or with neocp = 1 a NEOCP
// temporary designation) and writes them to outPath, merged by date with the
// unpublished lines of the file already there. 1 when the file was written
// (*info then says what happened to the old file's lines, or is empty); 0
// with *error filled, the file untouched. serviceUrl "" means the default.
int FetchMpcObservations(const std::string& desig, const std::string& outPath, std::string* error,
                         std::string* info, int neocp, const std::string& serviceUrl = {},
                         const HttpTimeouts* timeouts = nullptr);

// Merges the lines of two observation files by date into outPath; lines of
// the second that repeat one of the first (same station, within 2e-5 day) are
// dropped. 1 on success with the counts: lines of the first, lines of the
// second kept, lines of the second dropped; 0 (counts 0) when an input is
// unreadable or empty or the output cannot be written.
int MergeObservationFiles(const std::string& firstPath, const std::string& secondPath, const std::string& outPath,
                          int* pnFirst = nullptr, int* pnSecondKept = nullptr, int* pnDuplicates = nullptr);

} // namespace CTessaruneLib

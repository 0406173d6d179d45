#pragma once
// The catalogue files of the identification: streaming the lines of the
// minor-planet catalogue ("MPCORB.DAT") in batches of 20000 records, the
// worker threads of one batch, the many-tracklet scans of the NEOCP batch
// scan (minor planets on threads, comets on the caller), and the one-line
// comet element line.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ephemeris/ident_scan.h"

// Records per batch, bytes per read, characters kept of a line, threads at most.
inline constexpr int kCatalogueBatchRecords = 20000;
inline constexpr size_t kCatalogueChunkBytes = 1048576;
inline constexpr size_t kCatalogueLineChars = 1023;
inline constexpr int kScanMaxThreads = 32;

// Result codes of the many-tracklet scans (a count of 0 or more is success).
inline constexpr int kScanFileFailed = -1;  // the file can't be opened, or memory is short
inline constexpr int kScanCancelled = -9;

// Where the many-tracklet scans report how far they have read (the NEOCP
// scan dialog); called on the scanning thread between batches.
class MatchProgress {
public:
  virtual ~MatchProgress() = default;
  virtual void ReportMatchProgress(int percent) = 0;
};

// The lines of a catalogue file, read in binary through one 1 MiB buffer. A
// line ends at '\n'; '\r' is dropped; up to 1023 characters are kept. A last
// line without '\n' counts; an empty last line does not.
class CatalogueLineReader {
public:
  ~CatalogueLineReader();
  // false when the file can't be opened.
  bool Open(const std::string& path);
  // The next line, valid until the next call; false at the end.
  bool Next(std::string_view& line);
  int64_t FileLength() const { return m_nLength; }
  // Bytes consumed so far: the file position less what the buffer still holds.
  int64_t Consumed() const { return m_nRead - static_cast<int64_t>(m_nFill - m_nAt); }
  // The share consumed, 0..100 (0 for an empty file).
  int Percent() const;

private:
  bool Refill();
  std::FILE* m_pFile = nullptr;
  std::vector<char> m_buffer;
  size_t m_nAt = 0, m_nFill = 0;
  int64_t m_nRead = 0, m_nLength = 0;
  std::string m_line;
};

// The catalogue lines of one batch, copied out of the reader.
class CatalogueBatch {
public:
  CatalogueBatch();
  void Clear();
  void Add(std::string_view line);
  int Count() const { return static_cast<int>(m_offsets.size()); }
  bool Full() const { return Count() >= kCatalogueBatchRecords; }
  // The lines as views, valid until the next Add or Clear.
  const std::string_view* Lines();

private:
  std::string m_text;
  std::vector<size_t> m_offsets;
  std::vector<std::string_view> m_views;
};

// Empties the batch and fills it with the next catalogue lines (those
// IsMpcorbLine accepts, up to a full batch); false when none was left.
bool NextMpcorbBatch(CatalogueLineReader& reader, CatalogueBatch& batch);

// Cuts count records into slices of ceil(count / threads) in order; a small
// batch gets fewer slices than threads. Returns (first, size) pairs.
std::vector<std::pair<int, int>> CutSlices(int count, int threads);

// Runs work(i) for slices 0..n-1. firstOnCaller: slice 0 on the calling
// thread, the others on new threads; otherwise a single slice runs on the
// caller and several all get threads. A slice whose thread can't be started
// runs at once on the caller. waitRound, when given, is called after every
// 100 ms that the threads still run; otherwise the wait has no time-out.
// meanwhile, when given, runs on the caller once the threads are started
// (before any slice of its own), so that it overlaps their work.
void RunSlices(int n, bool firstOnCaller, const std::function<void(int)>& work,
               const std::function<void()>& waitRound, const std::function<void()>& meanwhile = nullptr);

// Single-tracklet scan of the catalogue open in reader against the summary:
// each batch on `threads` worker threads (a single slice on the caller)
// while the caller reads the next batch,
// waitRound called every 100 ms while they run, every pass appended to out
// in record order until it holds maxCandidates (a failed growth skips the
// rest of a slice). batchDone(records so far) after each batch; false stops.
// Records read, kScanFileFailed when memory is short, or kScanCancelled.
int ScanMpcorbSingle(CatalogueLineReader& reader, const ScanSlice& summary, int threads,
                     std::vector<IdentCandidate>& out, int maxCandidates, const std::function<void()>& waitRound,
                     const std::function<bool(long long)>& batchDone);

// Many-tracklet scan of the minor-planet catalogue: every query's summary
// (15°, 1°, magnitude 3.0), its top-10 list and passed count. threads is
// clamped to 1..32. Records read, 0 for no query, kScanFileFailed or kScanCancelled.
int ScanMpcorbMulti(const std::string& path, TrackletQuery* queries, int queryCount, int threads,
                    const std::atomic<int>* cancel, MatchProgress* dialog);

// 1 when the line is an elliptic comet of the one-line comet element format;
// the record is then filled (T = epoch, M = 0, H and G 0).
int ParseCometElementLine(std::string_view line, ElementRecord* record);

// The comets of a one-line comet element file against queries prepared by
// ScanMpcorbMulti, on the calling thread, without the magnitude test; adds
// to the same lists. Comet lines parsed, 0 for no query, kScanFileFailed or kScanCancelled.
int ScanCometElementsSingle(const std::string& path, TrackletQuery* queries, int queryCount,
                            const std::atomic<int>* cancel, MatchProgress* dialog);

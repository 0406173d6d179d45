#include "ephemeris/ident_catalogue.h"

#include <algorithm>
#include <climits>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "astro/angle_units.h"
#include "astro/time_scales.h"
#include "data/element_file.h"
#include "data/element_record.h"
#include "platform/fixed_field.h"
#include "platform/text_util.h"

// --- Reading ---------------------------------------------------------------------

CatalogueLineReader::~CatalogueLineReader() {
  if (m_pFile) std::fclose(m_pFile);
}

bool CatalogueLineReader::Open(const std::string& path) {
  m_pFile = std::fopen(path.c_str(), "rb");
  if (!m_pFile) return false;
  try {
    m_buffer.resize(kCatalogueChunkBytes);
    m_line.reserve(kCatalogueLineChars);
  } catch (const std::bad_alloc&) {
    std::fclose(m_pFile);
    m_pFile = nullptr;
    return false;
  }
  if (std::fseek(m_pFile, 0, SEEK_END) == 0) {
    m_nLength = ftello(m_pFile);
    std::fseek(m_pFile, 0, SEEK_SET);
  }
  return true;
}

bool CatalogueLineReader::Refill() {
  m_nAt = 0;
  m_nFill = m_pFile ? std::fread(m_buffer.data(), 1, m_buffer.size(), m_pFile) : 0;
  m_nRead += static_cast<int64_t>(m_nFill);
  return m_nFill > 0;
}

bool CatalogueLineReader::Next(std::string_view& line) {
  m_line.clear();
  bool any = false;
  for (;;) {
    if (m_nAt >= m_nFill && !Refill()) {
      line = m_line;
      return any && !m_line.empty();
    }
    any = true;
    const char* start = m_buffer.data() + m_nAt;
    const char* nl = static_cast<const char*>(std::memchr(start, '\n', m_nFill - m_nAt));
    const size_t n = nl ? static_cast<size_t>(nl - start) : m_nFill - m_nAt;
    for (size_t i = 0; i < n && m_line.size() < kCatalogueLineChars; ++i)
      if (start[i] != '\r') m_line.push_back(start[i]);
    m_nAt += n;
    if (nl) {
      ++m_nAt;
      line = m_line;
      return true;
    }
  }
}

int CatalogueLineReader::Percent() const {
  if (m_nLength < 1) return 0;
  return static_cast<int>(Consumed() * 100 / m_nLength);
}

CatalogueBatch::CatalogueBatch() {
  m_text.reserve(static_cast<size_t>(kCatalogueBatchRecords) * 210);
  m_offsets.reserve(kCatalogueBatchRecords + 1);
}

void CatalogueBatch::Clear() {
  m_text.clear();
  m_offsets.clear();
}

void CatalogueBatch::Add(std::string_view line) {
  m_offsets.push_back(m_text.size());
  m_text.append(line);
}

const std::string_view* CatalogueBatch::Lines() {
  m_views.resize(m_offsets.size());
  for (size_t i = 0; i < m_offsets.size(); ++i) {
    const size_t end = i + 1 < m_offsets.size() ? m_offsets[i + 1] : m_text.size();
    m_views[i] = std::string_view(m_text).substr(m_offsets[i], end - m_offsets[i]);
  }
  return m_views.data();
}

bool NextMpcorbBatch(CatalogueLineReader& reader, CatalogueBatch& batch) {
  batch.Clear();
  std::string_view line;
  while (!batch.Full() && reader.Next(line))
    if (IsMpcorbLine(line)) batch.Add(line);
  return batch.Count() > 0;
}

// --- Threads of one batch ---------------------------------------------------------

std::vector<std::pair<int, int>> CutSlices(int count, int threads) {
  std::vector<std::pair<int, int>> slices;
  if (count < 1) return slices;
  threads = std::clamp(threads, 1, kScanMaxThreads);
  const int size = (count + threads - 1) / threads;
  for (int first = 0; first < count; first += size) slices.emplace_back(first, std::min(size, count - first));
  return slices;
}

void RunSlices(int n, bool firstOnCaller, const std::function<void(int)>& work,
               const std::function<void()>& waitRound, const std::function<void()>& meanwhile) {
  if (n < 1) return;
  std::mutex mutex;
  std::condition_variable done;
  int running = 0;
  std::vector<std::thread> threads;
  threads.reserve(n);
  const bool callerFirst = firstOnCaller || n == 1;
  for (int i = callerFirst ? 1 : 0; i < n; ++i) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      ++running;
    }
    try {
      threads.emplace_back([&, i] {
        work(i);
        std::lock_guard<std::mutex> lock(mutex);
        --running;
        done.notify_all();
      });
    } catch (const std::system_error&) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        --running;
      }
      work(i);
    }
  }
  if (meanwhile) meanwhile();
  if (callerFirst) work(0);
  {
    std::unique_lock<std::mutex> lock(mutex);
    while (running > 0) {
      if (!waitRound) {
        done.wait(lock);
        continue;
      }
      if (!done.wait_for(lock, std::chrono::milliseconds(100), [&] { return running == 0; })) {
        lock.unlock();
        waitRound();
        lock.lock();
      }
    }
  }
  for (std::thread& t : threads) t.join();
}

// --- The many-tracklet scans ------------------------------------------------------

namespace {

void ReportProgress(MatchProgress* dialog, int percent) {
  if (dialog) dialog->ReportMatchProgress(percent);
}

bool StopAsked(const std::atomic<int>* cancel) { return cancel && cancel->load() != 0; }

// The per-thread lists of one scan and their merge into the queries.
struct ThreadLists {
  int queries = 0;
  std::vector<IdentCandidate> lists;
  std::vector<int> counts, passed;

  bool Allocate(int queryCount, int threads) {
    queries = queryCount;
    try {
      lists.resize(static_cast<size_t>(queryCount) * threads * kTopCandidates);
      counts.assign(static_cast<size_t>(queryCount) * threads, 0);
      passed.assign(static_cast<size_t>(queryCount) * threads, 0);
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }
  MultiScanSlice Slice(int thread, const std::string_view* lines, int first, int size, const TrackletQuery* q,
                       const std::atomic<int>* cancel) {
    const size_t at = static_cast<size_t>(thread) * queries;
    return MultiScanSlice{lines + first, size, q, queries, lists.data() + at * kTopCandidates,
                          counts.data() + at, passed.data() + at, cancel};
  }
  void Merge(int thread, TrackletQuery* q) {
    const size_t at = static_cast<size_t>(thread) * queries;
    for (int k = 0; k < queries; ++k) {
      q[k].m_nPassed += passed[at + k];
      const IdentCandidate* list = lists.data() + (at + k) * kTopCandidates;
      for (int j = 0; j < counts[at + k]; ++j) InsertTopCandidate(q[k].m_list, &q[k].m_nList, list[j]);
      passed[at + k] = 0;
      counts[at + k] = 0;
    }
  }
};

}  // namespace

int ScanMpcorbSingle(CatalogueLineReader& reader, const ScanSlice& summary, int threads,
                     std::vector<IdentCandidate>& out, int maxCandidates, const std::function<void()>& waitRound,
                     const std::function<bool(long long)>& batchDone) {
  std::unique_ptr<CatalogueBatch> batch, next;
  std::vector<IdentCandidate> buffer;
  try {
    batch = std::make_unique<CatalogueBatch>();
    next = std::make_unique<CatalogueBatch>();
    buffer.resize(kCatalogueBatchRecords);
  } catch (const std::bad_alloc&) {
    return kScanFileFailed;
  }
  threads = std::clamp(threads, 1, kScanMaxThreads);
  long long records = 0;
  bool have = NextMpcorbBatch(reader, *batch);
  while (have) {
    const std::string_view* lines = batch->Lines();
    const auto cuts = CutSlices(batch->Count(), threads);
    std::vector<ScanSlice> slices(cuts.size(), summary);
    for (size_t i = 0; i < cuts.size(); ++i) {
      slices[i].m_pLines = lines + cuts[i].first;
      slices[i].m_nRecords = cuts[i].second;
      slices[i].m_pOut = buffer.data() + cuts[i].first;
    }
    bool haveNext = false;
    RunSlices(static_cast<int>(slices.size()), false, [&](int i) { ScanSliceWorker(&slices[i]); }, waitRound,
              [&] { haveNext = NextMpcorbBatch(reader, *next); });
    for (const ScanSlice& s : slices) {
      for (int j = 0; j < s.m_nOut && static_cast<int>(out.size()) < maxCandidates; ++j) {
        try {
          if (out.capacity() == 0) out.reserve(4096);
          out.push_back(s.m_pOut[j]);
        } catch (const std::bad_alloc&) {
          break;
        }
      }
    }
    records += batch->Count();
    if (batchDone && !batchDone(records)) return kScanCancelled;
    std::swap(batch, next);
    have = haveNext;
  }
  return static_cast<int>(std::min<long long>(records, INT_MAX));
}

int ScanMpcorbMulti(const std::string& path, TrackletQuery* queries, int queryCount, int threads,
                    const std::atomic<int>* cancel, MatchProgress* dialog) {
  if (queryCount < 1) return 0;
  threads = std::clamp(threads, 1, kScanMaxThreads);
  CatalogueLineReader reader;
  if (!reader.Open(path)) return kScanFileFailed;
  std::unique_ptr<CatalogueBatch> batch;
  ThreadLists lists;
  try {
    batch = std::make_unique<CatalogueBatch>();
  } catch (const std::bad_alloc&) {
    return kScanFileFailed;
  }
  if (!lists.Allocate(queryCount, threads)) return kScanFileFailed;
  const double pathWindow = 15.0 * kRadPerDeg, crossWindow = 1.0 * kRadPerDeg;
  for (int k = 0; k < queryCount; ++k) {
    queries[k].m_nList = 0;
    queries[k].m_nPassed = 0;
    SetupTrackletQuery(&queries[k], pathWindow, crossWindow, 3.0, cancel);
  }

  int records = 0;
  while (NextMpcorbBatch(reader, *batch)) {
    records += batch->Count();
    const std::string_view* lines = batch->Lines();
    const auto slices = CutSlices(batch->Count(), threads);
    std::vector<MultiScanSlice> work;
    for (size_t i = 0; i < slices.size(); ++i)
      work.push_back(lists.Slice(static_cast<int>(i), lines, slices[i].first, slices[i].second, queries, cancel));
    RunSlices(static_cast<int>(work.size()), true, [&](int i) { ScanSliceWorkerMulti(&work[i]); }, nullptr);
    for (size_t i = 0; i < work.size(); ++i) lists.Merge(static_cast<int>(i), queries);
    ReportProgress(dialog, reader.Percent());
    if (StopAsked(cancel)) return kScanCancelled;
  }
  return records;
}

int ParseCometElementLine(std::string_view line, ElementRecord* r) {
  if (line.size() < 80) return 0;
  const long year = FixedInt(line, 15, 18), month = FixedInt(line, 20, 21);
  const double day = FixedDouble(line, 23, 29), q = FixedDouble(line, 31, 39), e = FixedDouble(line, 42, 49);
  if (!(year > -9000 && year < 9000 && month >= 1 && month <= 12 && day > 0 && q > 0 && e >= 0 && e < 1)) return 0;
  *r = ElementRecord{};
  r->m_szKey = std::string(FixedColumns(line, 1, 12));
  if (line.size() > 102) r->m_szName = std::string(Utf8Prefix(TrimSpace(FixedColumns(line, 103, 158)), 40));
  if (r->m_szName.empty()) r->m_szName = std::string(TrimSpace(r->m_szKey));
  r->m_dT = r->m_dEpoch = YmdToJd(static_cast<int>(year), static_cast<int>(month), day);
  r->m_dM = 0;
  r->m_dQ = q;
  r->m_dE = e;
  r->m_dA = q / (1.0 - e);
  r->m_dPeri = FixedDouble(line, 52, 59);
  r->m_dNode = FixedDouble(line, 62, 69);
  r->m_dIncl = FixedDouble(line, 72, 79);
  r->m_dH1 = line.size() >= 95 ? FixedDouble(line, 92, 95) : 0.0;
  r->m_dK1 = line.size() >= 100 ? FixedDouble(line, 97, 100) : 0.0;
  r->m_dH = r->m_dG = 0.0;
  r->m_bMpcorb = 0;
  return 1;
}

int ScanCometElementsSingle(const std::string& path, TrackletQuery* queries, int queryCount,
                            const std::atomic<int>* cancel, MatchProgress* dialog) {
  if (queryCount < 1) return 0;
  CatalogueLineReader reader;
  if (!reader.Open(path)) return kScanFileFailed;
  int parsed = 0;
  std::string_view line;
  ElementRecord record;
  IdentCandidate candidate;
  while (reader.Next(line)) {
    if (!ParseCometElementLine(line, &record)) continue;
    ++parsed;
    double T, P[3], Q[3];
    if (PrepareScanRecord(record, T, P, Q)) {
      for (int k = 0; k < queryCount; ++k) {
        TrackletQuery& q = queries[k];
        if (q.m_nObs < 1) continue;
        ScanSlice slice = q.m_slice;
        slice.m_dMeanMag = 0;
        if (!TestCandidate(record, T, P, Q, slice, &candidate)) continue;
        candidate.m_bComet = 1;
        ++q.m_nPassed;
        InsertTopCandidate(q.m_list, &q.m_nList, candidate);
      }
    }
    if (parsed % 128 == 0) {
      if (StopAsked(cancel)) return kScanCancelled;
      ReportProgress(dialog, reader.Percent());
    }
  }
  return parsed;
}

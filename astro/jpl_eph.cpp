#include "astro/jpl_eph.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

CJplEph* g_pJplEph = nullptr;
double g_dJplStart = 0;
double g_dJplEnd = 0;
int g_nJplDeNumber = 0;

namespace {

// Header layout (byte offsets of the first record).
constexpr size_t kTitlesOffset = 0;
constexpr size_t kTitleChars = 84;
constexpr size_t kNamesOffset = 252;
constexpr size_t kNameChars = 6;
constexpr size_t kSpanOffset = 2652;
constexpr size_t kNconOffset = 2676;
constexpr size_t kAuOffset = 2680;
constexpr size_t kEmratOffset = 2688;
constexpr size_t kPointersOffset = 2696;
constexpr size_t kDeNumberOffset = 2840;
constexpr size_t kLibrationOffset = 2844;
constexpr size_t kHeaderBytes = 2856;

// Bounds that no DE file comes near; a header outside them is not a DE header.
constexpr int kMaxCoefficientsPerComponent = 64;
constexpr int kMaxSubintervals = 1024;
constexpr long long kMaxNcoeff = 100000;
constexpr long long kMaxRecords = 1LL << 40;  // far beyond any file
constexpr int kMaxNcon = 100000;

// Chebyshev terms the kept tables can hold.
constexpr int kMaxTerms = kMaxCoefficientsPerComponent;

struct ReaderState {
  JplHeader header{};
  const CJplEph* owner = nullptr;  // the reader whose file the state describes
  long long recordCount = 0;
  std::vector<double> record;      // NCOEFF doubles of the cached record
  long long cachedRecord = -1;     // 1-based data record in the buffer; -1 none
  double sun[6] = {};              // barycentric Sun of the last record evaluation (AU, AU/day)

  // Chebyshev recurrence tables of the last evaluation, kept while tc stays.
  double pc[kMaxTerms] = {1, 2};
  double vc[kMaxTerms] = {0, 1};
  int np = 2;
  int nv = 3;
  double twot = 0;
};

// Never destroyed: a reader deleted during static destruction must still find it.
ReaderState& State() {
  static ReaderState* s = new ReaderState;
  return *s;
}

long long g_readerGeneration = 0;

void ResetState(ReaderState& s) {
  ++g_readerGeneration;
  s.header = JplHeader{};
  s.owner = nullptr;
  s.recordCount = 0;
  std::vector<double>().swap(s.record);
  s.cachedRecord = -1;
  std::fill(std::begin(s.sun), std::end(s.sun), 0.0);
  g_dJplStart = 0;
  g_dJplEnd = 0;
  g_nJplDeNumber = 0;
}

// Positions come from the process's reader alone: the state's owner while
// g_pJplEph points at it.
std::FILE* CurrentFile() {
  const ReaderState& s = State();
  return s.owner != nullptr && s.owner == g_pJplEph ? s.owner->m_pFile : nullptr;
}

// --- Byte order -----------------------------------------------------------------

uint32_t Load32(const unsigned char* p, bool bigEndian) {
  if (bigEndian)
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
  return (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | uint32_t{p[0]};
}

int32_t LoadInt(const unsigned char* p, bool bigEndian) { return static_cast<int32_t>(Load32(p, bigEndian)); }

double LoadDouble(const unsigned char* p, bool bigEndian) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | p[bigEndian ? i : 7 - i];
  double d;
  std::memcpy(&d, &v, sizeof d);
  return d;
}

constexpr bool HostIsBigEndian() { return std::endian::native == std::endian::big; }

void SwapDoubles(double* values, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    unsigned char b[8];
    std::memcpy(b, &values[i], 8);
    std::reverse(b, b + 8);
    std::memcpy(&values[i], b, 8);
  }
}

// --- Header -----------------------------------------------------------------------

int ComponentsOf(int series) { return series == kJplSeriesNutations ? 2 : 3; }

bool SeriesPresent(const JplHeader& h, int series) {
  return h.pointers[series][1] > 0 && h.pointers[series][2] > 0;
}

// Fills the numeric fields of h from the first kHeaderBytes in the given byte
// order and says whether they make a DE header: a positive span of a positive
// record length, positive AU and EMRAT, series pointers inside a bounded record
// that also holds the header itself, and the Sun present.
bool ParseHeaderNumbers(const unsigned char* raw, bool bigEndian, JplHeader& h) {
  h.start = LoadDouble(raw + kSpanOffset, bigEndian);
  h.end = LoadDouble(raw + kSpanOffset + 8, bigEndian);
  h.daysPerRecord = LoadDouble(raw + kSpanOffset + 16, bigEndian);
  h.ncon = LoadInt(raw + kNconOffset, bigEndian);
  h.au = LoadDouble(raw + kAuOffset, bigEndian);
  h.emrat = LoadDouble(raw + kEmratOffset, bigEndian);
  for (int s = 0; s < 12; ++s)
    for (int k = 0; k < 3; ++k) h.pointers[s][k] = LoadInt(raw + kPointersOffset + 12 * s + 4 * k, bigEndian);
  h.deNumber = LoadInt(raw + kDeNumberOffset, bigEndian);
  for (int k = 0; k < 3; ++k) h.pointers[kJplSeriesLibrations][k] = LoadInt(raw + kLibrationOffset + 4 * k, bigEndian);
  h.bigEndian = bigEndian;

  if (!std::isfinite(h.start) || !std::isfinite(h.end) || !std::isfinite(h.daysPerRecord)) return false;
  if (!(h.daysPerRecord > 0) || !(h.end > h.start)) return false;
  if (h.ncon < 0 || h.ncon > kMaxNcon) return false;
  if (!std::isfinite(h.au) || !(h.au > 0) || !std::isfinite(h.emrat) || !(h.emrat > 0)) return false;

  long long ncoeff = 0;
  for (int s = 0; s < kJplSeriesCount; ++s) {
    const int first = h.pointers[s][0];
    const int n = h.pointers[s][1];
    const int na = h.pointers[s][2];
    if (n < 0 || na < 0) return false;
    if (n == 0 || na == 0) continue;  // absent series
    if (first < 3 || n > kMaxCoefficientsPerComponent || na > kMaxSubintervals) return false;
    const long long last = first + static_cast<long long>(ComponentsOf(s)) * n * na - 1;
    ncoeff = std::max(ncoeff, last);
  }
  if (ncoeff > kMaxNcoeff || ncoeff * 8 < static_cast<long long>(kHeaderBytes)) return false;
  if (!SeriesPresent(h, kJplSeriesSun)) return false;
  h.ncoeff = static_cast<int>(ncoeff);
  return true;
}

void CopyText(char* dest, const unsigned char* src, size_t n) {
  std::memcpy(dest, src, n);
  dest[n] = '\0';
}

// The number of data records, or 0 when the span is no count at all (not
// finite, or beyond any file): the quotient is checked before it becomes an
// integer, whose conversion would otherwise be undefined.
long long RecordCount(const JplHeader& h) {
  const double records = std::ceil((h.end - h.start) / h.daysPerRecord - 1e-9);
  if (!(records >= 1.0 && records <= static_cast<double>(kMaxRecords))) return 0;
  return static_cast<long long>(records);
}

// Whether a data record's own first two words are the span the header gives it.
bool RecordSpanMatches(const JplHeader& h, const double* words, long long nr) {
  const double start = h.start + (nr - 1) * h.daysPerRecord;
  const double tolerance = 1e-6;
  return std::fabs(words[0] - start) <= tolerance && std::fabs(words[1] - (start + h.daysPerRecord)) <= tolerance;
}

// Whether the header read in one byte order describes this file: a DE header
// whose records all fit in the file and whose first data record begins where
// the header says. The last check also catches records longer than the known
// series account for (series the reader does not serve), which would
// otherwise be read at the wrong offsets.
bool HeaderFitsFile(std::FILE* fp, const unsigned char* raw, bool bigEndian, JplHeader& h, long long& recordCount) {
  if (!ParseHeaderNumbers(raw, bigEndian, h)) return false;
  recordCount = RecordCount(h);
  if (recordCount < 1) return false;
  struct stat st {};
  if (fstat(fileno(fp), &st) != 0) return false;
  const long long needed = (recordCount + 2) * h.ncoeff * 8LL;
  if (static_cast<long long>(st.st_size) < needed) return false;

  double firstSpan[2];
  if (fseeko(fp, static_cast<off_t>(2LL * h.ncoeff * 8), SEEK_SET) != 0 || std::fread(firstSpan, 8, 2, fp) != 2)
    return false;
  if (bigEndian != HostIsBigEndian()) SwapDoubles(firstSpan, 2);
  return RecordSpanMatches(h, firstSpan, 1);
}

// Reads and checks the header of an open file, little-endian first; false for
// anything that is not a DE file in either byte order.
bool ReadHeader(std::FILE* fp, JplHeader& h, long long& recordCount) {
  unsigned char raw[kHeaderBytes];
  if (std::fseek(fp, 0, SEEK_SET) != 0 || std::fread(raw, 1, kHeaderBytes, fp) != kHeaderBytes) return false;
  if (!HeaderFitsFile(fp, raw, false, h, recordCount) && !HeaderFitsFile(fp, raw, true, h, recordCount))
    return false;

  for (size_t i = 0; i < 3; ++i) CopyText(h.titles[i], raw + kTitlesOffset + i * kTitleChars, kTitleChars);
  for (size_t i = 0; i < static_cast<size_t>(kJplConstantsKept); ++i)
    CopyText(h.constantNames[i], raw + kNamesOffset + i * kNameChars, kNameChars);

  // Record 2 holds the constants' values; only the first 400 are kept.
  std::fill(std::begin(h.constants), std::end(h.constants), 0.0);
  if (fseeko(fp, static_cast<off_t>(h.ncoeff) * 8, SEEK_SET) == 0) {
    const size_t got = std::fread(h.constants, sizeof(double), kJplConstantsKept, fp);
    if (h.bigEndian != HostIsBigEndian()) SwapDoubles(h.constants, got);
  }
  return true;
}

// --- Record and Chebyshev evaluation ---------------------------------------------------

// count bytes at offset by positioned reads of the file's descriptor: one
// system call for a record where seeking and reading through the stream took
// three. False on an error or at the end of the file.
bool ReadAt(std::FILE* fp, void* buffer, size_t count, off_t offset) {
  const int fd = fileno(fp);
  auto* p = static_cast<char*>(buffer);
  while (count > 0) {
    const ssize_t got = pread(fd, p, count, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got;
    count -= static_cast<size_t>(got);
    offset += got;
  }
  return true;
}

// Reads data record nr (1-based) into the buffer unless it is there already.
bool LoadRecord(long long nr) {
  ReaderState& s = State();
  if (nr == s.cachedRecord) return true;
  std::FILE* fp = CurrentFile();
  const long long ncoeff = s.header.ncoeff;
  s.record.resize(static_cast<size_t>(ncoeff));
  const off_t offset = static_cast<off_t>((nr + 1) * ncoeff * 8);
  if (!ReadAt(fp, s.record.data(), static_cast<size_t>(ncoeff) * sizeof(double), offset)) {
    s.cachedRecord = -1;
    return false;
  }
  if (s.header.bigEndian != HostIsBigEndian()) SwapDoubles(s.record.data(), s.record.size());
  if (!RecordSpanMatches(s.header, s.record.data(), nr)) {
    s.cachedRecord = -1;
    return false;
  }
  s.cachedRecord = nr;
  return true;
}

// sums[i] = Σ t[j] · sub[i·ncf + j] over j from ncf - 1 down to lowest, for
// the ncm components. The three coordinates go through the coefficients in
// one pass; each sum still adds its terms in that order, so the values are
// those of one component at a time.
void ChebyshevSums(const double* t, const double* sub, int ncf, int ncm, int lowest, double* sums) {
  if (ncm == 3) {
    const double *x = sub, *y = sub + ncf, *z = sub + 2 * ncf;
    double sx = 0, sy = 0, sz = 0;
    for (int j = ncf - 1; j >= lowest; --j) {
      sx += t[j] * x[j];
      sy += t[j] * y[j];
      sz += t[j] * z[j];
    }
    sums[0] = sx;
    sums[1] = sy;
    sums[2] = sz;
    return;
  }
  for (int i = 0; i < ncm; ++i) {
    double sum = 0;
    for (int j = ncf - 1; j >= lowest; --j) sum += t[j] * sub[i * ncf + j];
    sums[i] = sum;
  }
}

int Interpolate(ReaderState& s, const double* coef, double tau, double daysPerRecord, int ncf, int ncm, int na,
                int wanted, double* out);

// perAu: 1 / the header's AU, worked out once by the caller.
bool EvaluateSeries(ReaderState& s, int series, double tau, int wanted, double perAu, double out[6]) {
  const JplHeader& h = s.header;
  const int* p = h.pointers[series];
  const int ncm = ComponentsOf(series);
  if (Interpolate(s, s.record.data() + (p[0] - 1), tau, h.daysPerRecord, p[1], ncm, p[2], wanted, out) != 0)
    return false;
  const int values = wanted == kJplWantPositionVelocity ? 2 * ncm : ncm;
  if (series != kJplSeriesNutations && series != kJplSeriesLibrations)
    for (int i = 0; i < values; ++i) out[i] *= perAu;
  return true;
}

// JPL body number -> the series that carries it (-1 none: Sun via its own
// series, the barycentre is the origin).
int SeriesOfBody(int body) {
  if (body == 1 || body == 2) return body - 1;
  if (body == kJplEarth || body == kJplMoon) return kJplSeriesMoon;
  if (body >= 4 && body <= 9) return body - 1;
  if (body == kJplEarthMoonBarycentre) return kJplSeriesEarthMoonBary;
  return -1;
}

bool IsEarthMoonPair(int a, int b) {
  const auto inSystem = [](int x) { return x == kJplEarth || x == kJplMoon || x == kJplEarthMoonBarycentre; };
  return inSystem(a) && inSystem(b);
}

// Barycentric state of body from the evaluated series.
void BarycentricState(int body, const double st[kJplSeriesCount][6], double emrat, int values, double out[6]) {
  std::fill(out, out + 6, 0.0);
  const double* emb = st[kJplSeriesEarthMoonBary];
  const double* moon = st[kJplSeriesMoon];
  for (int i = 0; i < values; ++i) {
    switch (body) {
      case kJplEarth: out[i] = emb[i] - moon[i] / (1 + emrat); break;
      case kJplMoon: out[i] = emb[i] + moon[i] * emrat / (1 + emrat); break;
      case kJplSun: out[i] = st[kJplSeriesSun][i]; break;
      case kJplSolarSystemBarycentre: out[i] = 0; break;
      case kJplEarthMoonBarycentre: out[i] = emb[i]; break;
      default: out[i] = st[SeriesOfBody(body)][i]; break;
    }
  }
}

// Target relative to centre, positions (want 1) or positions and velocities (want 2).
// 0 success, -2 no file, -1 outside the span, unreadable record, absent series or bad body.
int Pleph(double jdTT, int target, int centre, int want, double state[6]) {
  if (CurrentFile() == nullptr) return -2;
  const ReaderState& rs = State();
  const int values = want == kJplWantPositionVelocity ? 6 : 3;
  int wanted[kJplSeriesCount] = {};
  double st[kJplSeriesCount][6] = {};

  if (target == kJplNutations || target == kJplLibrations) {
    const int series = target == kJplNutations ? kJplSeriesNutations : kJplSeriesLibrations;
    if (!SeriesPresent(rs.header, series)) {
      std::fill(state, state + 6, 0.0);
      return -1;
    }
    wanted[series] = want;
    if (JplState(jdTT, wanted, st) != 0) return -1;
    std::fill(state, state + 6, 0.0);
    const int n = (series == kJplSeriesNutations ? 2 : 3) * (want == kJplWantPositionVelocity ? 2 : 1);
    std::copy(st[series], st[series] + n, state);
    return 0;
  }
  if (target < 1 || target > 13 || centre < 1 || centre > 13) return -1;

  const double emrat = rs.header.emrat;
  if (IsEarthMoonPair(target, centre) && target != centre) {
    wanted[kJplSeriesMoon] = want;
    if (JplState(jdTT, wanted, st) != 0) return -1;
    // Pairs inside the Earth-Moon system follow from the geocentric Moon M alone.
    const double* m = st[kJplSeriesMoon];
    for (int i = 0; i < values; ++i) {
      if (target == kJplMoon && centre == kJplEarth) state[i] = m[i];
      else if (target == kJplEarth && centre == kJplMoon) state[i] = -m[i];
      else if (target == kJplEarthMoonBarycentre && centre == kJplEarth) state[i] = m[i] / (1 + emrat);
      else if (target == kJplEarthMoonBarycentre && centre == kJplMoon) state[i] = -m[i] * emrat / (1 + emrat);
      else if (target == kJplEarth && centre == kJplEarthMoonBarycentre) state[i] = -m[i] / (1 + emrat);
      else state[i] = m[i] * emrat / (1 + emrat);  // Moon relative to the barycentre
    }
    for (int i = values; i < 6; ++i) state[i] = 0;
    return 0;
  }

  for (const int body : {target, centre}) {
    if (target == centre) break;  // zeros; the span is still checked
    if (body == kJplEarth || body == kJplMoon) {
      wanted[kJplSeriesMoon] = want;
      wanted[kJplSeriesEarthMoonBary] = want;
    } else if (const int series = SeriesOfBody(body); series >= 0) {
      wanted[series] = want;
    }
  }
  if (JplState(jdTT, wanted, st) != 0) return -1;
  if (target == centre) {
    std::fill(state, state + 6, 0.0);
    return 0;
  }
  double a[6], b[6];
  BarycentricState(target, st, emrat, values, a);
  BarycentricState(centre, st, emrat, values, b);
  for (int i = 0; i < 6; ++i) state[i] = i < values ? a[i] - b[i] : 0;
  return 0;
}

}  // namespace

// --- The reader object -----------------------------------------------------------------

CJplEph::CJplEph(const AppPaths& paths) {
  ReaderState& s = State();
  // A reader made while the process's reader lives (one that checks a fresh
  // download, say) opens its file but leaves the process-wide state alone.
  const bool owner = s.owner == nullptr || s.owner != g_pJplEph;
  if (owner) {
    ResetState(s);
    s.owner = this;
  }
  for (const std::string* path : {&paths.de441File, &paths.de406File}) {
    if (path->empty()) continue;
    std::FILE* fp = std::fopen(path->c_str(), "rb");
    if (fp == nullptr) continue;
    JplHeader h{};
    long long records = 0;
    if (!ReadHeader(fp, h, records)) {
      std::fclose(fp);
      continue;
    }
    m_pFile = fp;
    if (!owner) break;
    s.header = h;
    s.recordCount = records;
    s.record.assign(static_cast<size_t>(h.ncoeff), 0.0);
    s.cachedRecord = -1;
    g_dJplStart = h.start;
    g_dJplEnd = h.end;
    g_nJplDeNumber = h.deNumber;
    break;
  }
}

CJplEph::~CJplEph() {
  ReaderState& s = State();
  if (s.owner == this) ResetState(s);
  if (m_pFile != nullptr) std::fclose(m_pFile);
  m_pFile = nullptr;
}

const JplHeader& JplCurrentHeader() { return State().header; }

long long JplReaderGeneration() { return g_readerGeneration; }

bool ReplacePlanetaryReader(const AppPaths& paths) {
  // The old reader goes first, so that the new one owns the process's state.
  ClosePlanetaryReader();
  g_pJplEph = new CJplEph(paths);
  return g_pJplEph->IsOpen() && g_dJplEnd > 0;
}

void ClosePlanetaryReader() {
  delete g_pJplEph;
  g_pJplEph = nullptr;
}

bool JplParseHeaderBytes(const unsigned char* raw, size_t size, JplHeader& h, long long& fileBytes) {
  static_assert(kJplHeaderBytes == kHeaderBytes);
  fileBytes = 0;
  if (raw == nullptr || size < kHeaderBytes) return false;
  h = JplHeader{};
  if (!ParseHeaderNumbers(raw, false, h) && !ParseHeaderNumbers(raw, true, h)) return false;
  const long long records = RecordCount(h);
  if (records < 1) return false;
  for (size_t i = 0; i < 3; ++i) CopyText(h.titles[i], raw + kTitlesOffset + i * kTitleChars, kTitleChars);
  for (size_t i = 0; i < static_cast<size_t>(kJplConstantsKept); ++i)
    CopyText(h.constantNames[i], raw + kNamesOffset + i * kNameChars, kNameChars);
  fileBytes = (records + 2) * h.ncoeff * 8LL;
  return true;
}

// --- Steps ---------------------------------------------------------------------------------

void JplSplit(double t, double& whole, double& frac) {
  whole = std::floor(t);
  frac = t - whole;
}

int JplInterp(const double* coef, double tau, double daysPerRecord, int ncf, int ncm, int na, int wanted,
              double* out) {
  return Interpolate(State(), coef, tau, daysPerRecord, ncf, ncm, na, wanted, out);
}

namespace {

// JplInterp on the reader state s, which the caller has at hand.
int Interpolate(ReaderState& s, const double* coef, double tau, double daysPerRecord, int ncf, int ncm, int na,
                int wanted, double* out) {
  // The count is also the stride between subintervals: a count the tables
  // cannot hold is refused, never shortened.
  if (ncf < 1 || ncf > kMaxTerms || ncm < 1 || ncm > 3 || na < 1) return -1;
  const double floorTau = std::floor(tau);
  const double big = na * tau;
  // 0-based subinterval; tau = 1 falls into the last one.
  const int l = std::clamp(static_cast<int>(std::floor(big - floorTau)), 0, na - 1);
  const double tc = 2 * (big - std::floor(big) + floorTau) - 1;

  if (tc != s.pc[1]) {
    s.np = 2;
    s.nv = 3;
    s.pc[1] = tc;
    s.twot = tc + tc;
    s.vc[2] = s.twot + s.twot;
  }
  if (s.np < ncf) {
    for (int i = s.np; i < ncf; ++i) s.pc[i] = s.twot * s.pc[i - 1] - s.pc[i - 2];
    s.np = ncf;
  }
  const double* sub = coef + static_cast<std::ptrdiff_t>(l) * ncf * ncm;
  ChebyshevSums(s.pc, sub, ncf, ncm, 0, out);
  if (wanted != kJplWantPositionVelocity) return 0;

  const double vfac = (na + na) / daysPerRecord;
  if (s.nv < ncf) {
    for (int i = s.nv; i < ncf; ++i) s.vc[i] = s.twot * s.vc[i - 1] + s.pc[i - 1] + s.pc[i - 1] - s.vc[i - 2];
    s.nv = ncf;
  }
  ChebyshevSums(s.vc, sub, ncf, ncm, 1, out + ncm);
  for (int i = 0; i < ncm; ++i) out[ncm + i] *= vfac;
  return 0;
}

}  // namespace

int JplState(double jdTT, const int wanted[kJplSeriesCount], double state[kJplSeriesCount][6], bool sunVelocity) {
  if (CurrentFile() == nullptr) return -2;
  ReaderState& s = State();
  const JplHeader& h = s.header;

  double whole, frac;
  JplSplit(jdTT - 0.5, whole, frac);
  const double dayStart = whole + 0.5;
  // Written to refuse NaN as well.
  if (!(dayStart >= h.start) || !(dayStart + frac <= h.end)) return -1;

  long long nr = static_cast<long long>((dayStart - h.start) / h.daysPerRecord);
  if (dayStart != h.end) nr += 1;
  nr = std::clamp(nr, 1LL, s.recordCount);
  const double tau = (dayStart - ((nr - 1) * h.daysPerRecord + h.start) + frac) / h.daysPerRecord;

  if (!LoadRecord(nr)) return -1;

  const double perAu = 1.0 / h.au;
  if (!sunVelocity) std::fill(s.sun + 3, s.sun + 6, 0.0);
  if (!EvaluateSeries(s, kJplSeriesSun, tau, sunVelocity ? kJplWantPositionVelocity : kJplWantPosition, perAu, s.sun))
    return -1;
  for (int series = 0; series < kJplSeriesCount; ++series) {
    if (wanted[series] == kJplWantNone) continue;
    if (series == kJplSeriesSun) continue;
    if (!SeriesPresent(h, series)) return -1;
    if (!EvaluateSeries(s, series, tau, wanted[series], perAu, state[series])) return -1;
  }
  std::copy(s.sun, s.sun + 6, state[kJplSeriesSun]);
  return 0;
}

// --- Positions -------------------------------------------------------------------------------

int JplPosition(double jdTT, int target, int centre, double posAu[3]) {
  if (CurrentFile() == nullptr) return -2;
  if (!(jdTT >= g_dJplStart) || !(jdTT < g_dJplEnd)) return -1;
  double state[6];
  if (Pleph(jdTT, target, centre, kJplWantPosition, state) != 0) return -1;
  std::copy(state, state + 3, posAu);
  return 0;
}

void JplPleph(double jdTT, int target, int centre, double state[6], int& valid) {
  valid = Pleph(jdTT, target, centre, kJplWantPositionVelocity, state) == 0 ? 1 : 0;
}

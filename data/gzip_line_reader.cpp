#include "data/gzip_line_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>

// Inflating follows RFC 1951, the member layout RFC 1952. Decoding is
// table-driven: one lookup of up to 11 bits (8 for distances) resolves most
// codes, a second lookup in a subtable the longer ones; a 64-bit bit buffer
// is refilled eight bytes at a time while the input buffer has them.

namespace {

constexpr char kErrOpen[] = "ファイルを開けませんでした: ";
constexpr char kErrMemory[] = "メモリーが足りません。";
constexpr char kErrNotGzip[] = "gzip形式のファイルではありません。";
constexpr char kErrNotDeflate[] = "gzipの圧縮方式がDEFLATEではありません。";
constexpr char kErrHeader[] = "gzipの見出しが壊れています。";
constexpr char kErrBroken[] = "gzipの中身が壊れています(展開できませんでした)。";
constexpr char kErrLineTooLong[] = "gzipの中に長すぎる行があります(16MBを超えています)。";

// Table entry: bits 0-4 code length (for a subtable link: the subtable's
// index bits), bits 5-7 kind, bits 8-12 extra bits, bits 16-31 value
// (literal byte, base length or distance, code-length symbol, or subtable
// offset). An all-zero entry is an unused code.
enum : uint32_t { kInvalid = 0, kLiteral = 1, kBase = 2, kEndOfBlock = 3, kLink = 4 };

constexpr uint32_t MakeEntry(uint32_t kind, uint32_t length, uint32_t extra, uint32_t value)
{
  return length | (kind << 5) | (extra << 8) | (value << 16);
}
inline uint32_t EntryLength(uint32_t e) { return e & 31; }
inline uint32_t EntryKind(uint32_t e) { return (e >> 5) & 7; }
inline uint32_t EntryExtra(uint32_t e) { return (e >> 8) & 31; }
inline uint32_t EntryValue(uint32_t e) { return e >> 16; }

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                    33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

uint32_t SymbolEntry(GzipLineReader::HuffKind kind, int symbol, int length)
{
  switch (kind) {
  case GzipLineReader::HuffKind::CodeLen:
    return MakeEntry(kLiteral, length, 0, symbol);
  case GzipLineReader::HuffKind::Dist:
    if (symbol < 30)
      return MakeEntry(kBase, length, kDistExtra[symbol], kDistBase[symbol]);
    return kInvalid;
  case GzipLineReader::HuffKind::LitLen:
    if (symbol < 256)
      return MakeEntry(kLiteral, length, 0, symbol);
    if (symbol == 256)
      return MakeEntry(kEndOfBlock, length, 0, 0);
    if (symbol < 286)
      return MakeEntry(kBase, length, kLengthExtra[symbol - 257], kLengthBase[symbol - 257]);
    return kInvalid;
  }
  return kInvalid;
}

int RootBitsFor(GzipLineReader::HuffKind kind)
{
  switch (kind) {
  case GzipLineReader::HuffKind::LitLen: return 11;
  case GzipLineReader::HuffKind::Dist: return 8;
  case GzipLineReader::HuffKind::CodeLen: return 7;
  }
  return 7;
}

// CRC-32 of RFC 1952 (reflected polynomial 0xEDB88320), eight bytes a step.
struct CrcTables {
  uint32_t t[8][256];
};
constexpr CrcTables MakeCrcTables()
{
  CrcTables c{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t v = n;
    for (int k = 0; k < 8; ++k)
      v = (v & 1) ? 0xEDB88320u ^ (v >> 1) : v >> 1;
    c.t[0][n] = v;
  }
  for (uint32_t n = 0; n < 256; ++n)
    for (int k = 1; k < 8; ++k)
      c.t[k][n] = (c.t[k - 1][n] >> 8) ^ c.t[0][c.t[k - 1][n] & 0xFF];
  return c;
}
constexpr CrcTables kCrc = MakeCrcTables();

uint32_t Crc32Update(uint32_t crc, const unsigned char* p, size_t n)
{
  crc = ~crc;
  while (n >= 8) {
    uint32_t lo = (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24) ^ crc;
    uint32_t hi = uint32_t(p[4]) | uint32_t(p[5]) << 8 | uint32_t(p[6]) << 16 | uint32_t(p[7]) << 24;
    crc = kCrc.t[7][lo & 0xFF] ^ kCrc.t[6][(lo >> 8) & 0xFF] ^ kCrc.t[5][(lo >> 16) & 0xFF] ^ kCrc.t[4][lo >> 24] ^
          kCrc.t[3][hi & 0xFF] ^ kCrc.t[2][(hi >> 8) & 0xFF] ^ kCrc.t[1][(hi >> 16) & 0xFF] ^ kCrc.t[0][hi >> 24];
    p += 8;
    n -= 8;
  }
  while (n--)
    crc = kCrc.t[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

inline uint64_t Load64(const unsigned char* p)
{
  uint64_t v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::big)
    v = __builtin_bswap64(v);
  return v;
}

inline uint32_t ReverseBits(uint32_t code, int length)
{
  uint32_t r = 0;
  for (int i = 0; i < length; ++i) {
    r = (r << 1) | (code & 1);
    code >>= 1;
  }
  return r;
}

} // namespace

GzipLineReader::GzipLineReader() = default;

GzipLineReader::~GzipLineReader()
{
  Close();
  delete[] m_pInput;
  delete[] m_pOutput;
  delete m_pLit;
  delete m_pDist;
  m_nFileSize = 0;
  m_nLineCount = 0;
  m_bStop = 0;
}

void GzipLineReader::Close()
{
  if (m_pFile) {
    std::fclose(m_pFile);
    m_pFile = nullptr;
  }
  m_nInBase = CompressedBytesRead();  // the progress stays readable after closing
  m_nInCount = m_nInPos = 0;
  m_nBitBuf = 0;
  m_nBitCount = 0;
  m_nOutLen = m_nLineStart = 0;
  m_nCrcPos = 0;
  m_strCarry.clear();
  m_strCarry.shrink_to_fit();
}

int64_t GzipLineReader::CompressedBytesRead() const
{
  return m_nInBase + m_nInPos - m_nBitCount / 8;
}

int GzipLineReader::Open(const std::string& path)
{
  Close();
  m_strError.clear();
  m_nFileSize = 0;
  m_nInBase = 0;
  m_nBitBuf = 0;
  m_nBitCount = 0;
  m_nCrc = 0;
  m_nOutDropped = 0;
  m_bEnded = 0;
  m_bLineTooLong = 0;
  m_nLineCount = 0;
  m_bStop = 0;

  m_pFile = std::fopen(path.c_str(), "rb");
  if (!m_pFile) {
    m_strError = kErrOpen + path;
    return 0;
  }
  if (fseeko(m_pFile, 0, SEEK_END) == 0)
    m_nFileSize = ftello(m_pFile);
  fseeko(m_pFile, 0, SEEK_SET);

  // Slack after the output buffer lets a match copy run eight bytes at a time.
  // A reader that goes on to another file keeps its buffers: allocating
  // 800 KB anew for every file cost more than reading a small one.
  if (!m_pInput)
    m_pInput = new (std::nothrow) unsigned char[kInputSize];
  if (!m_pOutput)
    m_pOutput = new (std::nothrow) unsigned char[kOutputSize + 16];
  if (!m_pLit)
    m_pLit = new (std::nothrow) HuffmanTable;
  if (!m_pDist)
    m_pDist = new (std::nothrow) HuffmanTable;
  if (!m_pInput || !m_pOutput || !m_pLit || !m_pDist) {
    m_strError = kErrMemory;
    Close();
    return 0;
  }
  if (!ReadHeader()) {
    Close();
    return 0;
  }
  m_nBitBuf = 0;
  m_nBitCount = 0;
  m_nOutLen = 0;
  m_nLineStart = 0;
  return 1;
}

bool GzipLineReader::FillInput()
{
  m_nInBase += m_nInCount;
  m_nInPos = 0;
  m_nInCount = int(std::fread(m_pInput, 1, kInputSize, m_pFile));
  return m_nInCount > 0;
}

int GzipLineReader::NextByte()
{
  if (m_nInPos == m_nInCount && !FillInput())
    return -1;
  return m_pInput[m_nInPos++];
}

int GzipLineReader::ReadHeader()
{
  int id1 = NextByte();
  int id2 = NextByte();
  if (id1 != 0x1F || id2 != 0x8B) {
    m_strError = kErrNotGzip;
    return 0;
  }
  if (NextByte() != 8) {
    m_strError = kErrNotDeflate;
    return 0;
  }
  int flags = NextByte();
  if (flags < 0) {
    m_strError = kErrHeader;
    return 0;
  }
  // MTIME, XFL, OS; then the optional fields. The header CRC is not checked.
  bool ok = true;
  for (int i = 0; i < 6 && ok; ++i)
    ok = NextByte() >= 0;
  if (ok && (flags & 4)) {
    int lo = NextByte();
    int hi = NextByte();
    ok = lo >= 0 && hi >= 0;
    for (int n = ok ? lo | hi << 8 : 0; n > 0 && ok; --n)
      ok = NextByte() >= 0;
  }
  for (int bit : {8, 16}) {
    if (ok && (flags & bit)) {
      int c;
      while ((c = NextByte()) > 0) {
      }
      ok = c == 0;
    }
  }
  if (ok && (flags & 2))
    ok = NextByte() >= 0 && NextByte() >= 0;
  if (!ok)
    m_strError = kErrHeader;
  return ok ? 1 : 0;
}

// Brings the bit buffer to at least 56 bits, or to what the input holds.
void GzipLineReader::Refill()
{
  if (m_nInCount - m_nInPos >= 8 && m_nBitCount < 56) {
    m_nBitBuf |= Load64(m_pInput + m_nInPos) << m_nBitCount;
    m_nInPos += (63 - m_nBitCount) >> 3;
    m_nBitCount |= 56;
    return;
  }
  // Bits above the count may hold bytes that are still unread: clear them
  // before adding bytes one at a time.
  m_nBitBuf &= m_nBitCount ? ~uint64_t(0) >> (64 - m_nBitCount) : 0;
  while (m_nBitCount <= 56) {
    if (m_nInPos == m_nInCount && !FillInput())
      break;
    m_nBitBuf |= uint64_t(m_pInput[m_nInPos++]) << m_nBitCount;
    m_nBitCount += 8;
  }
}

int GzipLineReader::NeedBits(int n)
{
  if (m_nBitCount < n)
    Refill();
  return m_nBitCount >= n ? 1 : 0;
}

uint32_t GzipLineReader::TakeBits(int n)
{
  uint32_t v = uint32_t(m_nBitBuf & ((uint64_t(1) << n) - 1));
  m_nBitBuf >>= n;
  m_nBitCount -= n;
  return v;
}

// The entry of the next code, its bits consumed; 0 for an unused code or
// input that ends inside the code.
int GzipLineReader::DecodeSymbol(const HuffmanTable& table)
{
  if (m_nBitCount < 15)
    Refill();
  uint32_t e = table.entries[m_nBitBuf & ((1u << table.rootBits) - 1)];
  if (EntryKind(e) == kLink)
    e = table.entries[EntryValue(e) + ((m_nBitBuf >> table.rootBits) & ((1u << EntryLength(e)) - 1))];
  int length = int(EntryLength(e));
  if (e == kInvalid || length > m_nBitCount)
    return 0;
  TakeBits(length);
  return int(e);
}

int GzipLineReader::BuildHuffmanTable(HuffmanTable& table, const unsigned char* lengths, int count, HuffKind kind)
{
  int counts[16] = {0};
  for (int i = 0; i < count; ++i)
    ++counts[lengths[i] & 15];
  int maxLength = 0;
  for (int len = 1; len <= 15; ++len)
    if (counts[len])
      maxLength = len;
  if (maxLength == 0) {
    table.rootBits = 1;
    table.entries[0] = table.entries[1] = kInvalid;
    return 1;
  }
  int left = 1;
  for (int len = 1; len <= 15; ++len) {
    left <<= 1;
    left -= counts[len];
    if (left < 0)
      return 0;
  }

  // Canonical order: by length, then by symbol; codes count up in that order.
  uint16_t sorted[288];
  uint32_t codes[288];
  int offsets[16];
  uint32_t nextCode[16];
  offsets[1] = 0;
  nextCode[1] = 0;
  for (int len = 1; len < 15; ++len) {
    offsets[len + 1] = offsets[len] + counts[len];
    nextCode[len + 1] = (nextCode[len] + counts[len]) << 1;
  }
  int used = 0;
  for (int sym = 0; sym < count; ++sym)
    if (lengths[sym])
      sorted[offsets[lengths[sym]]++] = uint16_t(sym);
  used = offsets[15];
  for (int i = 0; i < used; ++i)
    codes[i] = nextCode[lengths[sorted[i]]]++;

  const int root = std::min(maxLength, RootBitsFor(kind));
  const int rootSize = 1 << root;
  table.rootBits = root;
  std::memset(table.entries, 0, sizeof(uint32_t) * rootSize);
  int nextFree = rootSize;
  uint32_t curPrefix = ~0u;
  int subOffset = 0;
  int subBits = 0;
  for (int i = 0; i < used; ++i) {
    const int len = lengths[sorted[i]];
    const uint32_t rev = ReverseBits(codes[i], len);
    const uint32_t e = SymbolEntry(kind, sorted[i], len);
    if (len <= root) {
      for (uint32_t j = rev; j < uint32_t(rootSize); j += 1u << len)
        table.entries[j] = e;
      continue;
    }
    const uint32_t prefix = rev & (rootSize - 1);
    if (prefix != curPrefix) {
      // Codes sharing a root prefix are consecutive in canonical order, the
      // longest last: it sets the subtable's size.
      int last = i;
      while (last + 1 < used && lengths[sorted[last + 1]] > root &&
             (ReverseBits(codes[last + 1], lengths[sorted[last + 1]]) & (rootSize - 1)) == prefix)
        ++last;
      subBits = lengths[sorted[last]] - root;
      subOffset = nextFree;
      nextFree += 1 << subBits;
      if (nextFree > HuffmanTable::kMaxEntries)
        return 0;
      std::memset(table.entries + subOffset, 0, sizeof(uint32_t) << subBits);
      table.entries[prefix] = MakeEntry(kLink, subBits, 0, subOffset);
      curPrefix = prefix;
    }
    for (uint32_t j = rev >> root; j < (1u << subBits); j += 1u << (len - root))
      table.entries[subOffset + j] = e;
  }
  return 1;
}

int GzipLineReader::ReadDynamicTables()
{
  if (!NeedBits(14))
    return -1;
  const int nLit = int(TakeBits(5)) + 257;
  const int nDist = int(TakeBits(5)) + 1;
  const int nCodeLen = int(TakeBits(4)) + 4;
  if (nLit > 286 || nDist > 30)
    return -1;
  unsigned char lengths[320] = {0};
  for (int i = 0; i < nCodeLen; ++i) {
    if (!NeedBits(3))
      return -1;
    lengths[kCodeLengthOrder[i]] = (unsigned char)TakeBits(3);
  }
  HuffmanTable& codeLen = *m_pDist;  // free until the distance table is built
  if (!BuildHuffmanTable(codeLen, lengths, 19, HuffKind::CodeLen))
    return -1;
  const int total = nLit + nDist;
  int i = 0;
  while (i < total) {
    uint32_t e = uint32_t(DecodeSymbol(codeLen));
    if (e == kInvalid)
      return -1;
    const int sym = int(EntryValue(e));
    if (sym < 16) {
      lengths[i++] = (unsigned char)sym;
      continue;
    }
    int repeat;
    unsigned char value = 0;
    if (sym == 16) {
      if (i == 0 || !NeedBits(2))
        return -1;
      value = lengths[i - 1];
      repeat = 3 + int(TakeBits(2));
    } else if (sym == 17) {
      if (!NeedBits(3))
        return -1;
      repeat = 3 + int(TakeBits(3));
    } else {
      if (!NeedBits(7))
        return -1;
      repeat = 11 + int(TakeBits(7));
    }
    if (i + repeat > total)
      return -1;
    std::memset(lengths + i, value, repeat);
    i += repeat;
  }
  if (lengths[256] == 0)
    return -1;
  if (!BuildHuffmanTable(*m_pLit, lengths, nLit, HuffKind::LitLen) ||
      !BuildHuffmanTable(*m_pDist, lengths + nLit, nDist, HuffKind::Dist))
    return -1;
  return 0;
}

int GzipLineReader::InflateStored()
{
  m_nBitBuf >>= m_nBitCount & 7;
  m_nBitCount &= ~7;
  if (!NeedBits(32))
    return -1;
  int remaining = int(TakeBits(16));
  TakeBits(16);  // NLEN: the trailer's CRC catches what it would
  while (remaining > 0 && m_nBitCount >= 8) {
    if (kOutputSize - m_nOutLen < kMinFree)
      EmitLines();
    m_pOutput[m_nOutLen++] = (unsigned char)TakeBits(8);
    --remaining;
  }
  if (remaining == 0)
    return 0;
  m_nBitBuf = 0;  // only prefetched copies of unread bytes remain there
  while (remaining > 0) {
    if (kOutputSize - m_nOutLen < kMinFree)
      EmitLines();
    if (m_nInPos == m_nInCount && !FillInput())
      return -1;
    int n = std::min({remaining, m_nInCount - m_nInPos, kOutputSize - kMinFree + 1 - m_nOutLen});
    std::memcpy(m_pOutput + m_nOutLen, m_pInput + m_nInPos, n);
    m_nOutLen += n;
    m_nInPos += n;
    remaining -= n;
  }
  return 0;
}

// Literal/length and distance codes up to the end of the block. The state
// lives in locals here and goes back to the members around every call out.
int GzipLineReader::InflateCodes(const HuffmanTable& lit, const HuffmanTable& dist)
{
  unsigned char* const out = m_pOutput;
  const unsigned char* const in = m_pInput;
  const uint64_t litMask = (uint64_t(1) << lit.rootBits) - 1;
  const uint64_t distMask = (uint64_t(1) << dist.rootBits) - 1;
  uint64_t bb = m_nBitBuf;
  int bc = m_nBitCount;
  int outLen = m_nOutLen;
  int inPos = m_nInPos;
  int result = -1;

  auto save = [&] {
    m_nBitBuf = bb;
    m_nBitCount = bc;
    m_nOutLen = outLen;
    m_nInPos = inPos;
  };
  auto load = [&] {
    bb = m_nBitBuf;
    bc = m_nBitCount;
    outLen = m_nOutLen;
    inPos = m_nInPos;
  };

  for (;;) {
    if (kOutputSize - outLen < kMinFree) {
      save();
      EmitLines();
      load();
      if (m_bLineTooLong)
        break;
    }
    // 48 bits hold a whole length/distance pair with its extra bits.
    if (bc < 48) {
      if (m_nInCount - inPos >= 8) {
        bb |= Load64(in + inPos) << bc;
        inPos += (63 - bc) >> 3;
        bc |= 56;
      } else {
        save();
        Refill();
        load();
      }
    }
    uint32_t e = lit.entries[bb & litMask];
    if (EntryKind(e) == kLink)
      e = lit.entries[EntryValue(e) + ((bb >> lit.rootBits) & ((1u << EntryLength(e)) - 1))];
    int n = int(EntryLength(e));
    if (e == kInvalid || n > bc)
      break;
    bb >>= n;
    bc -= n;
    const uint32_t kind = EntryKind(e);
    if (kind == kLiteral) {
      out[outLen++] = (unsigned char)EntryValue(e);
      continue;
    }
    if (kind == kEndOfBlock) {
      result = 0;
      break;
    }
    n = int(EntryExtra(e));
    if (n > bc)
      break;
    const int length = int(EntryValue(e)) + int(bb & ((uint64_t(1) << n) - 1));
    bb >>= n;
    bc -= n;

    e = dist.entries[bb & distMask];
    if (EntryKind(e) == kLink)
      e = dist.entries[EntryValue(e) + ((bb >> dist.rootBits) & ((1u << EntryLength(e)) - 1))];
    n = int(EntryLength(e));
    if (e == kInvalid || n > bc)
      break;
    bb >>= n;
    bc -= n;
    n = int(EntryExtra(e));
    if (n > bc)
      break;
    const int distance = int(EntryValue(e)) + int(bb & ((uint64_t(1) << n) - 1));
    bb >>= n;
    bc -= n;
    if (distance > outLen || length > kOutputSize - outLen)
      break;

    unsigned char* dst = out + outLen;
    const unsigned char* src = dst - distance;
    outLen += length;
    if (distance >= 8) {
      // Chunks may run up to 7 bytes past the match (into the slack).
      unsigned char* const end = dst + length;
      do {
        std::memcpy(dst, src, 8);
        dst += 8;
        src += 8;
      } while (dst < end);
    } else if (distance == 1) {
      std::memset(dst, *src, length);
    } else {
      for (int k = 0; k < length; ++k)
        dst[k] = src[k];
    }
  }
  save();
  return result;
}

void GzipLineReader::UpdateCrc(int upTo)
{
  if (upTo > m_nCrcPos)
    m_nCrc = Crc32Update(m_nCrc, m_pOutput + m_nCrcPos, size_t(upTo - m_nCrcPos));
  m_nCrcPos = upTo;
}

int GzipLineReader::ReadTrailer()
{
  UpdateCrc(m_nOutLen);
  m_nBitBuf >>= m_nBitCount & 7;
  m_nBitCount &= ~7;
  unsigned char trailer[8];
  for (unsigned char& b : trailer) {
    if (m_nBitCount >= 8) {
      b = (unsigned char)TakeBits(8);
      continue;
    }
    m_nBitBuf = 0;
    int c = NextByte();
    if (c < 0)
      return -1;
    b = (unsigned char)c;
  }
  auto le32 = [](const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  };
  const uint32_t size = uint32_t((m_nOutDropped + uint64_t(m_nOutLen)) & 0xFFFFFFFFu);
  if (le32(trailer) != m_nCrc || le32(trailer + 4) != size)
    return -1;
  m_bEnded = 1;
  return 0;
}

int GzipLineReader::InflateBlock(int& bFinal)
{
  int result = -1;
  bFinal = 0;
  if (m_pFile && !m_bLineTooLong && !m_bEnded && NeedBits(3)) {
    bFinal = int(TakeBits(1));
    switch (TakeBits(2)) {
    case 0:
      result = InflateStored();
      break;
    case 1: {
      unsigned char lengths[288 + 32];
      std::memset(lengths, 8, 144);
      std::memset(lengths + 144, 9, 112);
      std::memset(lengths + 256, 7, 24);
      std::memset(lengths + 280, 8, 8);
      std::memset(lengths + 288, 5, 30);
      BuildHuffmanTable(*m_pLit, lengths, 288, HuffKind::LitLen);
      BuildHuffmanTable(*m_pDist, lengths + 288, 30, HuffKind::Dist);
      result = InflateCodes(*m_pLit, *m_pDist);
      break;
    }
    case 2:
      result = ReadDynamicTables();
      if (result == 0)
        result = InflateCodes(*m_pLit, *m_pDist);
      break;
    default:
      break;
    }
  }
  if (result == 0 && m_bLineTooLong)
    result = -1;
  if (result == 0 && bFinal)
    result = ReadTrailer();
  if (result != 0)
    m_strError = m_bLineTooLong ? kErrLineTooLong : kErrBroken;
  return result;
}

void GzipLineReader::FailLineTooLong()
{
  m_bLineTooLong = 1;
  m_bStop = 1;
  m_strError = kErrLineTooLong;
  m_strCarry.clear();
}

void GzipLineReader::HandOver(const char* line, size_t length)
{
  if (m_strCarry.size() + length > size_t(kMaxLineBytes)) {
    FailLineTooLong();
    return;
  }
  if (!m_strCarry.empty()) {
    m_strCarry.append(line, length);
    line = m_strCarry.data();
    length = m_strCarry.size();
  }
  if (length > 0 && line[length - 1] == '\r')
    --length;
  ++m_nLineCount;
  if (m_pfnLine && m_pfnLine(m_pContext, line, int(length)) == 0)
    m_bStop = 1;
  m_strCarry.clear();
}

void GzipLineReader::EmitLines()
{
  if (!m_pOutput)
    return;
  const char* const text = reinterpret_cast<const char*>(m_pOutput);
  while (m_nLineStart < m_nOutLen) {
    const void* lf = std::memchr(text + m_nLineStart, '\n', size_t(m_nOutLen - m_nLineStart));
    if (!lf)
      break;
    const int at = int(static_cast<const char*>(lf) - text);
    if (!m_bStop)
      HandOver(text + m_nLineStart, size_t(at - m_nLineStart));
    m_nLineStart = at + 1;
  }
  if (m_bEnded) {
    // The text need not end with a line feed: its last line still counts.
    if (!m_bStop && (m_nLineStart < m_nOutLen || !m_strCarry.empty()))
      HandOver(text + m_nLineStart, size_t(m_nOutLen - m_nLineStart));
    m_nLineStart = m_nOutLen;
    m_strCarry.clear();
  }
  if (m_nOutLen > kWindowSize) {
    UpdateCrc(m_nOutLen);
    const int cut = m_nOutLen - kWindowSize;
    if (m_nLineStart < cut && !m_bStop) {
      // A line longer than the window: keep its head aside until its end.
      if (m_strCarry.size() + size_t(cut - m_nLineStart) > size_t(kMaxLineBytes)) {
        FailLineTooLong();
      } else {
        m_strCarry.append(text + m_nLineStart, size_t(cut - m_nLineStart));
      }
    }
    std::memmove(m_pOutput, m_pOutput + cut, kWindowSize);
    m_nOutDropped += uint64_t(cut);
    m_nOutLen = kWindowSize;
    m_nCrcPos = kWindowSize;
    m_nLineStart = std::max(0, m_nLineStart - cut);
  }
}

int GzipLineReader::ReadLines()
{
  m_nLineCount = 0;
  m_bStop = 0;
  int ok = m_pFile ? 1 : 0;
  while (ok) {
    int bFinal = 0;
    if (InflateBlock(bFinal) != 0) {
      ok = 0;
      break;
    }
    EmitLines();
    if (m_bLineTooLong) {
      ok = 0;
      break;
    }
    if (m_bStop)
      break;
    if (m_pfnStep && !m_pfnStep(m_pContext))
      break;
    if (bFinal)
      break;
  }
  Close();
  return ok;
}

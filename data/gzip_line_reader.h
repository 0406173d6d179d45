#pragma once
// Streaming reader of a gzip file (RFC 1952) holding text: inflates the
// DEFLATE data (RFC 1951) with its own decoder and hands every complete line
// to a callback straight from its output buffer, never holding the whole text.
// Memory is the two fixed buffers (plus the part of a line longer than the
// 32 KB window, up to kMaxLineBytes).
#include <cstdint>
#include <cstdio>
#include <string>

// (context, line bytes, length) -> non-zero to go on. The line has no line
// feed and no carriage return before it, is not terminated and stays valid
// only during the call.
typedef int (*GzipLineCallback)(void* context, const char* line, int length);
// The caller's step between blocks (progress, cancel), given the same
// context as the line callback: 0 ends the reading.
typedef int (*GzipStepCallback)(void* context);

class GzipLineReader {
public:
  static constexpr int kInputSize = 0x40000;   // compressed bytes per file read
  static constexpr int kOutputSize = 0x88000;  // inflated text with the window
  static constexpr int kWindowSize = 32768;    // DEFLATE back-reference window
  static constexpr int kMinFree = 4096;        // output emptied below this much room
  static constexpr int kMaxLineBytes = 16 << 20;

  // One decoding table. Entries pack the code length, the kind of symbol and
  // the base value with its count of extra bits (see the .cpp).
  enum class HuffKind { LitLen, Dist, CodeLen };
  struct HuffmanTable {
    // Root of at most 2048 entries plus subtables of at most 16 entries for
    // each of at most 288 symbols: enough for any code, complete or not.
    static constexpr int kMaxEntries = 2048 + 16 * 288;
    int rootBits = 0;
    uint32_t entries[kMaxEntries];
  };

  GzipLineReader();
  ~GzipLineReader();
  GzipLineReader(const GzipLineReader&) = delete;
  GzipLineReader& operator=(const GzipLineReader&) = delete;

  // Opens the file and reads the gzip member header: 1, or 0 with m_strError
  // set and the reader closed.
  int Open(const std::string& path);
  // Closes the file; the error text, the line count and the progress figures
  // stay for the caller, the buffers for the next Open (freed with the reader).
  void Close();

  // Decodes one DEFLATE block into the output buffer and sets bFinal from its
  // header: 0, or -1 with m_strError set on bad data, input ending early or a
  // line longer than kMaxLineBytes. After the final block it also reads the
  // member trailer and fails when its CRC-32 or length does not match.
  int InflateBlock(int& bFinal);
  // Hands the complete lines to the callback and keeps the last 32 KB as the
  // window. Once the member has ended (final block and good trailer), the
  // text after the last line feed is handed over as the last line. A line
  // longer than kMaxLineBytes stops the handing over with m_strError set
  // (and any further InflateBlock fails).
  void EmitLines();
  // The read loop: blocks, lines, the step callback between blocks. 1 when
  // the member was read to its end or the callback or the step stopped it;
  // 0 with m_strError set. The reader is closed afterwards.
  int ReadLines();

  // 1 when at least n (<= 56) bits are pending, reading input as needed;
  // 0 when the input ends first.
  int NeedBits(int n);
  // Builds a decoding table: 1, or 0 when the lengths over-subscribe the
  // code space. All-zero lengths give a table that decodes nothing; an
  // incomplete code is accepted (its unused codes fail when met).
  static int BuildHuffmanTable(HuffmanTable& table, const unsigned char* lengths, int count, HuffKind kind);

  // Progress: compressed bytes consumed so far (also after closing) and the
  // compressed file size measured at open.
  int64_t CompressedBytesRead() const;
  int64_t FileSize() const { return m_nFileSize; }
  bool IsOpen() const { return m_pFile != nullptr; }

  std::string m_strError;
  FILE* m_pFile = nullptr;
  int64_t m_nFileSize = 0;
  unsigned char* m_pInput = nullptr;
  int m_nInCount = 0;
  int m_nInPos = 0;
  uint64_t m_nBitBuf = 0;  // pending bits, least significant first
  int m_nBitCount = 0;
  unsigned char* m_pOutput = nullptr;
  int m_nOutLen = 0;
  int m_nLineStart = 0;
  GzipLineCallback m_pfnLine = nullptr;
  void* m_pContext = nullptr;
  GzipStepCallback m_pfnStep = nullptr;  // optional
  int64_t m_nLineCount = 0;
  int m_bStop = 0;

private:
  int ReadHeader();
  bool FillInput();
  int NextByte();
  void Refill();
  int InflateStored();
  int InflateCodes(const HuffmanTable& lit, const HuffmanTable& dist);
  int ReadDynamicTables();
  int DecodeSymbol(const HuffmanTable& table);
  uint32_t TakeBits(int n);
  int ReadTrailer();
  void UpdateCrc(int upTo);
  void HandOver(const char* line, size_t length);
  void FailLineTooLong();

  int64_t m_nInBase = 0;      // file offset of the input buffer's first byte
  int m_nCrcPos = 0;          // output bytes before this offset are in m_nCrc
  uint32_t m_nCrc = 0;
  uint64_t m_nOutDropped = 0; // output bytes moved out of the buffer so far
  int m_bEnded = 0;           // final block decoded and trailer verified
  int m_bLineTooLong = 0;     // a line passed kMaxLineBytes: the reading fails
  std::string m_strCarry;     // head of a line longer than the window
  HuffmanTable* m_pLit = nullptr;
  HuffmanTable* m_pDist = nullptr;
};

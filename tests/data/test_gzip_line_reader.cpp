#include "data/gzip_line_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/common/test_data.h"

namespace {

const char kBroken[] = "gzipの中身が壊れています(展開できませんでした)。";

struct ReadResult {
  int ok = 0;
  std::vector<std::string> lines;
  int64_t count = 0;
  std::string error;
};

struct Collector {
  std::vector<std::string>* lines;
  int stopAfter;  // return 0 from this line on (counted from 1); 0 never
};

int CollectLine(void* context, const char* line, int length)
{
  auto* c = static_cast<Collector*>(context);
  c->lines->emplace_back(line, size_t(length));
  return c->stopAfter > 0 && int(c->lines->size()) >= c->stopAfter ? 0 : 1;
}

// reuse: a reader that has read other files before, else a new one.
ReadResult ReadGzip(const std::string& path, int stopAfter = 0, GzipLineReader* reuse = nullptr)
{
  ReadResult r;
  GzipLineReader fresh;
  GzipLineReader& reader = reuse ? *reuse : fresh;
  Collector c{&r.lines, stopAfter};
  if (reader.Open(path)) {
    reader.m_pfnLine = CollectLine;
    reader.m_pContext = &c;
    r.ok = reader.ReadLines();
    EXPECT_FALSE(reader.IsOpen());
  }
  r.count = reader.m_nLineCount;
  r.error = reader.m_strError;
  return r;
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// Bitwise CRC-32, independent of the reader's table-driven one.
uint32_t Crc32(const std::string& s)
{
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : s) {
    c ^= b;
    for (int k = 0; k < 8; ++k)
      c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
  }
  return ~c;
}

std::string Le32(uint32_t v)
{
  return {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
}

const std::string kHeader("\x1F\x8B\x08\x00\0\0\0\0\0\x03", 10);

std::string Stored(const std::string& data, bool final, bool goodNlen = true)
{
  const uint16_t len = uint16_t(data.size());
  const uint16_t nlen = goodNlen ? uint16_t(~len) : uint16_t(0x1234);
  std::string s(1, char(final ? 1 : 0));
  s += {char(len & 0xFF), char(len >> 8), char(nlen & 0xFF), char(nlen >> 8)};
  return s + data;
}

std::string Trailer(const std::string& text) { return Le32(Crc32(text)) + Le32(uint32_t(text.size())); }

// DEFLATE fields, least significant bit first.
class BitWriter {
public:
  void Put(uint32_t value, int bits)
  {
    for (int i = 0; i < bits; ++i) {
      if (m_used % 8 == 0)
        m_bytes += '\0';
      if ((value >> i) & 1)
        m_bytes.back() = char(m_bytes.back() | (1 << (m_used % 8)));
      ++m_used;
    }
  }
  const std::string& Bytes() const { return m_bytes; }

private:
  std::string m_bytes;
  int m_used = 0;
};

// A dynamic block whose literal/length code gives 'a' and symbol 256 one bit
// each (or, with noEnd, 'a' and 'b' and nothing to 256), then "aa" and the end.
std::string DynamicBlock(bool noEnd)
{
  BitWriter w;
  w.Put(1, 1);   // final
  w.Put(2, 2);   // dynamic
  w.Put(0, 5);   // 257 literal/length codes
  w.Put(0, 5);   // 1 distance code
  w.Put(14, 4);  // 18 code-length code lengths: 18 and 1 get one bit each
  for (int i = 0; i < 18; ++i)
    w.Put(i == 2 || i == 17 ? 1 : 0, 3);
  auto zeros = [&](int n) {  // code-length symbol 18 (code 1)
    w.Put(1, 1);
    w.Put(uint32_t(n - 11), 7);
  };
  auto one = [&] { w.Put(0, 1); };  // code-length symbol 1 (code 0)
  zeros(97);                        // 0..96
  one();                            // 'a'
  if (noEnd) {
    one();                          // 'b'
    zeros(138);                     // 99..236
    zeros(21);                      // 237..256 and the distance code
  } else {
    zeros(138);                     // 98..235
    zeros(20);                      // 236..255
    one();                          // 256
    one();                          // distance code 0
  }
  w.Put(0, 1);
  w.Put(0, 1);
  w.Put(1, 1);
  return w.Bytes();
}

bool HavePython()
{
  static const int have = std::system("python3 -c 'import gzip, zlib' >/dev/null 2>&1") == 0 ? 1 : 0;
  return have == 1;
}

// Python's gzip: mode "level" (gzip.compress), "fname" (GzipFile with a
// name) or a set of header flags built by hand around a zlib stream.
const char kPythonScript[] = R"PY(
import gzip, struct, sys, zlib
src, dst, mode, level = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
data = open(src, 'rb').read()
if mode == 'level':
    out = gzip.compress(data, compresslevel=level, mtime=0)
elif mode == 'fname':
    import io
    buf = io.BytesIO()
    with gzip.GzipFile(filename='lines.txt', mode='wb', fileobj=buf, compresslevel=level, mtime=0) as g:
        g.write(data)
    out = buf.getvalue()
else:
    flags = 0
    extra = b''
    if 'e' in mode:
        flags |= 4; extra += struct.pack('<H', 6) + b'AB\x02\x00xy'
    if 'n' in mode:
        flags |= 8; extra += b'lines.txt\0'
    if 'c' in mode:
        flags |= 16; extra += 'コメント'.encode() + b'\0'
    head = b'\x1f\x8b\x08' + bytes([flags | (2 if 'h' in mode else 0)]) + b'\0\0\0\0\x02\x03' + extra
    if 'h' in mode:
        head += struct.pack('<H', zlib.crc32(head) & 0xffff)
    c = zlib.compressobj(level, zlib.DEFLATED, -15)
    out = head + c.compress(data) + c.flush() + struct.pack('<II', zlib.crc32(data), len(data) & 0xffffffff)
open(dst, 'wb').write(out)
)PY";

class GzipFiles : public ::testing::Test {
protected:
  void SetUp() override { m_dir = MakeTempDir("gzip"); }
  void TearDown() override { std::system(("rm -rf '" + m_dir + "'").c_str()); }

  std::string Path(const std::string& name) const { return m_dir + name; }

  // The gzip file of text made by Python; "" when Python is missing.
  std::string PythonGzip(const std::string& text, const std::string& mode, int level, const std::string& name)
  {
    if (!HavePython())
      return {};
    const std::string script = Path("make_gzip.py");
    WriteBytes(script, kPythonScript);
    WriteBytes(Path("source.txt"), text);
    const std::string out = Path(name);
    const std::string cmd = "python3 '" + script + "' '" + Path("source.txt") + "' '" + out + "' " + mode + " " +
                            std::to_string(level);
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return out;
  }

  std::string m_dir;
};

// 80-column lines with CR LF, varied enough that level 9 still uses long
// distances, and long enough (about 2 MB) to pass the output buffer several
// times.
std::string ObservationText(int lines)
{
  std::string text;
  uint32_t x = 2463;
  char line[100];
  for (int i = 0; i < lines; ++i) {
    x = x * 1664525u + 1013904223u;
    std::snprintf(line, sizeof line,
                  "     K%02uA%05u  C20%02u %02u %02u.%05u %02u %02u %05.2f %c%02u %02u %04.1f          %04.1f V      %03u",
                  (x >> 8) % 30, (x >> 4) % 99999, (x >> 12) % 26, 1 + (x >> 3) % 12, 1 + (x >> 7) % 28,
                  (x >> 5) % 100000, (x >> 9) % 24, (x >> 11) % 60, ((x >> 2) % 6000) / 100.0, (x & 1) ? '+' : '-',
                  (x >> 13) % 90, (x >> 6) % 60, ((x >> 10) % 600) / 10.0, 15 + ((x >> 14) % 80) / 10.0, (x >> 16) % 999);
    text += line;
    text += "\r\n";
  }
  return text;
}

std::vector<std::string> SplitLines(const std::string& text)
{
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t lf = text.find('\n', start);
    size_t end = lf == std::string::npos ? text.size() : lf;
    size_t len = end - start;
    if (len > 0 && text[end - 1] == '\r')
      --len;
    lines.emplace_back(text, start, len);
    start = end + 1;
  }
  return lines;
}

TEST_F(GzipFiles, HandMadeStreams)
{
  struct Case {
    const char* name;
    std::string bytes;
    int ok;
    std::vector<std::string> lines;
  };
  const std::string ab = "a\r\nb\n";
  const Case cases[] = {
      {"stored block, CR LF and LF", kHeader + Stored(ab, true) + Trailer(ab), 1, {"a", "b"}},
      {"NLEN not the complement of LEN", kHeader + Stored(ab, true, false) + Trailer(ab), 1, {"a", "b"}},
      {"last line without a line feed", kHeader + Stored("a\nlast", true) + Trailer("a\nlast"), 1, {"a", "last"}},
      {"lone CR before the end", kHeader + Stored("a\r", true) + Trailer("a\r"), 1, {"a"}},
      {"empty text", kHeader + Stored("", true) + Trailer(""), 1, {}},
      {"dynamic block", kHeader + DynamicBlock(false) + Trailer("aa"), 1, {"aa"}},
      {"dynamic block without end-of-block code", kHeader + DynamicBlock(true) + Trailer("aa"), 0, {}},
      {"block type 3", kHeader + std::string(1, '\x07') + Trailer(""), 0, {}},
      {"trailer missing: the final block's lines are held back",
       kHeader + Stored("x\ny\n", false) + Stored(ab, true), 0, {"x", "y"}},
      {"CRC-32 wrong", kHeader + Stored(ab, true) + Le32(Crc32(ab) ^ 1) + Le32(5), 0, {}},
      {"length wrong", kHeader + Stored(ab, true) + Le32(Crc32(ab)) + Le32(6), 0, {}},
      {"input ends inside a block", kHeader + Stored("x\ny\n", false) + Stored(ab, true).substr(0, 7), 0, {"x", "y"}},
      {"data after the member is ignored", kHeader + Stored(ab, true) + Trailer(ab) + "garbage", 1, {"a", "b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(Path("case.gz"), c.bytes);
    ReadResult r = ReadGzip(Path("case.gz"));
    EXPECT_EQ(r.ok, c.ok);
    EXPECT_EQ(r.lines, c.lines);
    EXPECT_EQ(r.count, int64_t(c.lines.size()));
    EXPECT_EQ(r.error, c.ok ? "" : kBroken);
  }
}

TEST(GzipHuffman, BuildTableAcceptsIncompleteRejectsOversubscribed)
{
  auto table = std::make_unique<GzipLineReader::HuffmanTable>();
  const unsigned char over[] = {1, 1, 1};
  const unsigned char incomplete[] = {1, 0, 2};
  const unsigned char zeros[] = {0, 0, 0};
  const unsigned char complete[] = {2, 2, 2, 3, 3};
  EXPECT_EQ(GzipLineReader::BuildHuffmanTable(*table, over, 3, GzipLineReader::HuffKind::Dist), 0);
  EXPECT_EQ(GzipLineReader::BuildHuffmanTable(*table, incomplete, 3, GzipLineReader::HuffKind::Dist), 1);
  EXPECT_EQ(GzipLineReader::BuildHuffmanTable(*table, zeros, 3, GzipLineReader::HuffKind::Dist), 1);
  EXPECT_EQ(GzipLineReader::BuildHuffmanTable(*table, complete, 5, GzipLineReader::HuffKind::Dist), 1);
}

TEST_F(GzipFiles, PythonLevelsGiveEveryLine)
{
  const std::string text = ObservationText(26000);
  const std::vector<std::string> expected = SplitLines(text);
  for (int level : {0, 1, 9}) {
    SCOPED_TRACE(level);
    const std::string path = PythonGzip(text, "level", level, "level.gz");
    if (path.empty()) {
      GTEST_SKIP() << "python3 not available";
    }
    ReadResult r = ReadGzip(path);
    EXPECT_EQ(r.ok, 1) << r.error;
    EXPECT_EQ(r.count, int64_t(expected.size()));
    EXPECT_TRUE(r.lines == expected);
  }
}

TEST_F(GzipFiles, OptionalHeaderFieldsAreSkipped)
{
  const std::string text = "(433) Eros\r\nlast line";
  const std::vector<std::string> expected = {"(433) Eros", "last line"};
  for (const char* mode : {"fname", "e", "n", "c", "h", "enc", "ench"}) {
    SCOPED_TRACE(mode);
    const std::string path = PythonGzip(text, mode, 6, std::string(mode) + ".gz");
    if (path.empty()) {
      GTEST_SKIP() << "python3 not available";
    }
    ReadResult r = ReadGzip(path);
    EXPECT_EQ(r.ok, 1) << r.error;
    EXPECT_EQ(r.lines, expected);
  }
}

TEST_F(GzipFiles, TruncatedAndCorruptedFiles)
{
  const std::string text = ObservationText(12000);
  const std::vector<std::string> expected = SplitLines(text);
  const std::string path = PythonGzip(text, "level", 6, "whole.gz");
  if (path.empty()) {
    GTEST_SKIP() << "python3 not available";
  }
  std::string whole;
  ASSERT_TRUE(ReadWholeFile(path, whole));

  std::string flipped = whole;
  flipped[whole.size() / 2] = char(flipped[whole.size() / 2] ^ 0x10);
  std::string badMethod = whole;
  badMethod[2] = 7;
  struct Case {
    const char* name;
    std::string bytes;
    std::string error;
  };
  const Case cases[] = {
      {"one byte", whole.substr(0, 1), "gzip形式のファイルではありません。"},
      {"not gzip", "PK\x03\x04" + whole.substr(4), "gzip形式のファイルではありません。"},
      {"method byte missing", whole.substr(0, 2), "gzipの圧縮方式がDEFLATEではありません。"},
      {"method 7", badMethod, "gzipの圧縮方式がDEFLATEではありません。"},
      {"flag byte missing", whole.substr(0, 3), "gzipの見出しが壊れています。"},
      {"header cut in MTIME", whole.substr(0, 7), "gzipの見出しが壊れています。"},
      {"header only", whole.substr(0, 10), kBroken},
      {"cut in the middle", whole.substr(0, whole.size() / 2), kBroken},
      {"length field cut", whole.substr(0, whole.size() - 2), kBroken},
      {"trailer missing", whole.substr(0, whole.size() - 8), kBroken},
      {"one bit flipped", flipped, kBroken},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(Path("bad.gz"), c.bytes);
    ReadResult r = ReadGzip(Path("bad.gz"));
    EXPECT_EQ(r.ok, 0);
    EXPECT_EQ(r.error, c.error);
    // What was handed over before the fault stays, and is the file's own text.
    ASSERT_LE(r.lines.size(), expected.size());
    if (std::string(c.name) != "one bit flipped") {
      EXPECT_TRUE(std::equal(r.lines.begin(), r.lines.end(), expected.begin()));
    }
    if (std::string(c.name) == "cut in the middle") {
      EXPECT_GT(r.lines.size(), 0u);
    }
  }

  ReadResult missing = ReadGzip(Path("none.gz"));
  EXPECT_EQ(missing.error, "ファイルを開けませんでした: " + Path("none.gz"));
}

TEST_F(GzipFiles, OneReaderGoesFromFileToFileAsNewReadersDo)
{
  const std::string text = ObservationText(12000);
  const std::string path = PythonGzip(text, "level", 9, "reused.gz");
  if (path.empty()) {
    GTEST_SKIP() << "python3 not available";
  }
  std::string whole;
  ASSERT_TRUE(ReadWholeFile(path, whole));
  const std::string ab = "a\r\nb\n";
  // A file broken off in its middle leaves the buffers full; a stop leaves lines unsent.
  WriteBytes(Path("cut.gz"), whole.substr(0, whole.size() / 2));
  WriteBytes(Path("small.gz"), kHeader + Stored(ab, true) + Trailer(ab));
  GzipLineReader reader;
  for (const auto& [name, stop] : {std::pair<std::string, int>{"cut.gz", 0}, {"reused.gz", 0}, {"small.gz", 0},
                                    {"reused.gz", 100}, {"small.gz", 0}, {"reused.gz", 0}}) {
    SCOPED_TRACE(name + " " + std::to_string(stop));
    const ReadResult again = ReadGzip(Path(name), stop, &reader);
    const ReadResult first = ReadGzip(Path(name), stop);
    EXPECT_EQ(again.ok, first.ok);
    EXPECT_TRUE(again.lines == first.lines);
    EXPECT_EQ(again.count, first.count);
    EXPECT_EQ(again.error, first.error);
  }
  EXPECT_EQ(ReadGzip(path, 0, &reader).lines, SplitLines(text));
}

TEST_F(GzipFiles, LinesLongerThanTheWindowArriveWhole)
{
  std::string longLine(40000, 'x');
  std::string huge;
  for (int i = 0; i < 1500000; ++i)
    huge += char('A' + (i * 7 + i / 13) % 26);
  const std::string text = "first\r\n" + longLine + "\r\nmiddle\n" + huge + "\nend";
  for (int level : {0, 6}) {
    SCOPED_TRACE(level);
    const std::string path = PythonGzip(text, "level", level, "long.gz");
    if (path.empty()) {
      GTEST_SKIP() << "python3 not available";
    }
    ReadResult r = ReadGzip(path);
    EXPECT_EQ(r.ok, 1) << r.error;
    ASSERT_EQ(r.lines.size(), 5u);
    EXPECT_EQ(r.lines[0], "first");
    EXPECT_TRUE(r.lines[1] == longLine);
    EXPECT_EQ(r.lines[2], "middle");
    EXPECT_TRUE(r.lines[3] == huge);
    EXPECT_EQ(r.lines[4], "end");
  }

  // Past the cap the reading fails rather than hold an unbounded line.
  const std::string path = PythonGzip("before\n" + std::string(GzipLineReader::kMaxLineBytes + 1000, 'x') + "\n", "level", 9,
                                      "toolong.gz");
  ReadResult r = ReadGzip(path);
  EXPECT_EQ(r.ok, 0);
  EXPECT_EQ(r.error, "gzipの中に長すぎる行があります(16MBを超えています)。");
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_EQ(r.lines[0], "before");
}

TEST_F(GzipFiles, CallbackStopEndsTheReading)
{
  const std::string path = PythonGzip(ObservationText(20000), "level", 6, "stop.gz");
  if (path.empty()) {
    GTEST_SKIP() << "python3 not available";
  }
  ReadResult r = ReadGzip(path, 3);
  EXPECT_EQ(r.ok, 1);
  EXPECT_EQ(r.count, 3);
  EXPECT_EQ(r.lines.size(), 3u);
  EXPECT_EQ(r.error, "");
}

// The NEOCP scan's way: its own loop over blocks with progress in between.
TEST_F(GzipFiles, BlockByBlockWithProgress)
{
  const std::string text = ObservationText(20000) + "no line feed";
  const std::string path = PythonGzip(text, "level", 6, "blocks.gz");
  if (path.empty()) {
    GTEST_SKIP() << "python3 not available";
  }
  std::vector<std::string> lines;
  Collector c{&lines, 0};
  GzipLineReader reader;
  ASSERT_EQ(reader.Open(path), 1);
  reader.m_pfnLine = CollectLine;
  reader.m_pContext = &c;
  const int64_t size = reader.FileSize();
  int64_t last = 0;
  int blocks = 0;
  for (int bFinal = 0; !bFinal;) {
    ASSERT_EQ(reader.InflateBlock(bFinal), 0) << reader.m_strError;
    reader.EmitLines();
    const int64_t pos = reader.CompressedBytesRead();
    EXPECT_GE(pos, last);
    EXPECT_LE(pos, size);
    last = pos;
    ++blocks;
  }
  reader.Close();
  EXPECT_GT(blocks, 2);
  EXPECT_EQ(reader.CompressedBytesRead(), size);
  EXPECT_TRUE(lines == SplitLines(text));
}

TEST_F(GzipFiles, StepBetweenBlocksCanEndTheLoop)
{
  const std::string path = PythonGzip(ObservationText(20000), "level", 6, "step.gz");
  if (path.empty()) {
    GTEST_SKIP() << "python3 not available";
  }
  struct Step {
    GzipLineReader* reader;
    int calls = 0;
  } step;
  GzipLineReader reader;
  step.reader = &reader;
  ASSERT_EQ(reader.Open(path), 1);
  reader.m_pfnStep = [](void* context) {
    auto* s = static_cast<Step*>(context);
    return ++s->calls < 2 ? 1 : 0;
  };
  reader.m_pContext = &step;
  EXPECT_EQ(reader.ReadLines(), 1);
  EXPECT_EQ(step.calls, 2);
  EXPECT_GT(reader.m_nLineCount, 0);
  EXPECT_LT(reader.m_nLineCount, 20000);
  EXPECT_LT(reader.CompressedBytesRead(), reader.FileSize());
}

} // namespace

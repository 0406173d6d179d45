// libFuzzer target for GzipLineReader, run by tools/run-fuzz. Besides
// memory errors (AddressSanitizer, UBSan) it checks the reader against zlib:
// whenever zlib inflates the first gzip member completely, the reader must
// succeed with the same lines. The reader is laxer than zlib in a few places
// (header CRC, reserved flags, stored-block NLEN, incomplete codes), so the
// check runs one way only.
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "data/gzip_line_reader.h"

namespace {

std::string TempPath()
{
  const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
  return std::string(dir) + "/fuzz_gzip_" + std::to_string(getpid()) + ".gz";
}

int Collect(void* context, const char* line, int length)
{
  static_cast<std::vector<std::string>*>(context)->emplace_back(line, size_t(length));
  return 1;
}

// zlib's reading of the first member, cut into lines as the reader cuts them;
// false when zlib does not reach the member's end.
bool ZlibLines(const uint8_t* data, size_t size, std::vector<std::string>& lines, size_t& longest)
{
  z_stream zs{};
  if (inflateInit2(&zs, 15 + 16) != Z_OK)
    return false;
  zs.next_in = const_cast<Bytef*>(data);
  zs.avail_in = uInt(size);
  std::string text;
  // One buffer for the run: zero-filling 64 KiB for every input cost more
  // than inflating most of them.
  static std::vector<unsigned char> buf(1 << 16);
  int rc;
  do {
    zs.next_out = buf.data();
    zs.avail_out = uInt(buf.size());
    rc = inflate(&zs, Z_NO_FLUSH);
    text.append(reinterpret_cast<char*>(buf.data()), buf.size() - zs.avail_out);
  } while (rc == Z_OK);
  inflateEnd(&zs);
  if (rc != Z_STREAM_END)
    return false;
  longest = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t lf = text.find('\n', start);
    size_t end = lf == std::string::npos ? text.size() : lf;
    longest = std::max(longest, end - start);
    size_t len = end - start;
    if (len > 0 && text[end - 1] == '\r')
      --len;
    lines.emplace_back(text, start, len);
    start = end + 1;
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static const std::string path = TempPath();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f)
    return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  std::vector<std::string> ours;
  // One reader for the run, as a reader of many files would be: its buffers
  // stay between inputs.
  static GzipLineReader reader;
  int ok = 0;
  if (reader.Open(path)) {
    reader.m_pfnLine = Collect;
    reader.m_pContext = &ours;
    ok = reader.ReadLines();
    if (reader.CompressedBytesRead() > int64_t(size))
      std::abort();
    if (ok != (reader.m_strError.empty() ? 1 : 0))
      std::abort();
  }
  if (reader.m_nLineCount != int64_t(ours.size()))
    std::abort();

  std::vector<std::string> theirs;
  size_t longest = 0;
  if (ZlibLines(data, size, theirs, longest) && longest <= size_t(GzipLineReader::kMaxLineBytes)) {
    if (!ok || ours != theirs)
      std::abort();
  }
  return 0;
}

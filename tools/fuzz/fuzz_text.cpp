// libFuzzer target for text in the four encodings the program reads (UTF-16
// with its mark, strict UTF-8, code page 932, and the column files' lenient
// mix), with the round trips that must hold.
#include <string>

#include "data/text_bytes.h"
#include "data/text_columns.h"
#include "platform/encoding.h"
#include "platform/text_util.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const std::string_view bytes = FuzzBytes(data, size);
  std::string utf8;
  if (DecodeTextBytes(bytes, utf8))
    FuzzCheck(IsStrictUtf8(utf8), "decoded text is UTF-8");
  const std::string any = BytesToUtf8(bytes);
  FuzzCheck(IsStrictUtf8(any), "any bytes become UTF-8");
  FuzzCheck(IsStrictUtf8(DecodeColumnFile(bytes)), "a column file becomes UTF-8");
  ToColumnText(any);
  Utf8Prefix(any, size / 3);

  if (IsStrictUtf8(bytes)) {
    std::string wide, back;
    FuzzCheck(Utf8ToUtf16Le(bytes, wide, true) && Utf16LeToUtf8(wide, back) && back == bytes, "UTF-16 round trip");
    Utf8ToCp932Lossy(bytes);
  }
  std::string fromCp932, cp932;
  if (Cp932ToUtf8(bytes, fromCp932))
    FuzzCheck(IsStrictUtf8(fromCp932) && Utf8ToCp932(fromCp932, cp932), "code page 932 reads and writes back");
  Utf16LeToUtf8Lenient(bytes);
  Cp932ToUtf8Lenient(bytes);
  return 0;
}
